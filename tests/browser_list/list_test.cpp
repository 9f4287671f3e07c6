// The folder model a listing builds, and the rows of the file list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "list.h"

namespace {

struct Entry {
  std::string name;
  uint32_t size = 0;
  uint32_t compressed = 0;
  double date = 0;
  std::string mode = "-lh5-";
};

// A fixed set of entries served through the engine's Find* calls.
struct Source {
  const std::vector<Entry>& entries;
  size_t at = 0;
  int FindFirst(const std::string&) { at = 0; return entries.empty() ? -1 : 0; }
  int FindNext() { return ++at < entries.size() ? 0 : -1; }
  std::string FindMode() const { return entries[at].mode; }
  std::string FindName() const { return entries[at].name; }
  double FindDate() const { return entries[at].date; }
  uint64_t FindOriginalSize() const { return entries[at].size; }
  uint64_t FindCompressedSize() const { return entries[at].compressed; }
};

// The listing's own walk over those entries.
struct Walk {
  TComponent owner{nullptr};
  TArcTree tree{&owner};
  bool slash = false;
  int count = 0;
  double newest = 0;
  explicit Walk(const std::vector<Entry>& entries, bool rar = false) {
    tree.AddRoot("a.lzh");
    Source src{entries};
    count = WalkEntries(tree, src, rar, slash, newest);
  }
  std::vector<std::string> Names(const TArcFolder* f) const {
    std::vector<std::string> out;
    if (f && f->List)
      for (int i = 0; i < f->List->Count(); ++i) out.push_back(f->List->GetItem(i)->Name);
    return out;
  }
  std::vector<std::string> Children(const TArcFolder* f) const {
    std::vector<std::string> out;
    for (auto* c : f->Children) out.push_back(c->Text);
    return out;
  }
};

using V = std::vector<std::string>;

TEST(Listing, MixedSeparatorsAndCaseGiveOneFolderInFirstMetSpelling) {
  Walk w({{"a.txt"}, {"docs\\b.txt"}, {"DOCS/c.txt"}});
  EXPECT_EQ(w.count, 3);
  EXPECT_EQ(w.Children(w.tree.Root()), V{"docs"});
  EXPECT_EQ(w.Names(w.tree.Root()), V{"a.txt"});
  EXPECT_EQ(w.Names(w.tree.FindPath("docs/")), (V{"b.txt", "c.txt"}));
  EXPECT_EQ(w.tree.FindPath("DoCs/"), w.tree.FindPath("docs/"));
  EXPECT_FALSE(w.slash);
}

TEST(Listing, LeadingAndDoubledSeparatorsStillPlaceTheEntry) {
  Walk w({{"/usr/x"}, {"a//b"}, {"\\c\\\\d\\e.txt"}});
  EXPECT_TRUE(w.slash);
  EXPECT_EQ(w.Children(w.tree.Root()), (V{"usr", "a", "c"}));
  EXPECT_EQ(w.Names(w.tree.FindPath("usr/")), V{"x"});
  EXPECT_EQ(w.Names(w.tree.FindPath("a/")), V{"b"});
  EXPECT_EQ(w.Names(w.tree.FindPath("c/d/")), V{"e.txt"});
  EXPECT_EQ(w.count, 3);
}

TEST(Listing, DoubleByteSecondByteBackslashIsNotASeparator) {
  // 表 is 0x95 0x5C in code page 932.
  const std::string hyo = "\x95\x5C";
  Walk w({{hyo + "\\" + hyo + "a.txt"}, {hyo + "/b.txt"}});
  ASSERT_EQ(w.Children(w.tree.Root()), V{hyo});
  EXPECT_EQ(w.Names(w.tree.Root()->Children[0]), (V{hyo + "a.txt", "b.txt"}));
  EXPECT_EQ(FirstSlashPos(hyo + "/x"), 3);
  EXPECT_EQ(FirstSlashPos("\x83/"), 0);  // a second byte '/' is no separator
  EXPECT_EQ(FirstSlashPos("abc"), 0);
}

TEST(Listing, FolderEntriesMakeFoldersNotRows) {
  // As from a RAR archive: its "dir" entries name folders.
  Walk w({{"docs/"}, {"-lhd-dir", 0, 0, 0, "-lhd-"}, {"pics\\2004", 0, 0, 0, "dir"}, {"pics\\2004\\a.jpg"}}, true);
  EXPECT_EQ(w.count, 3);  // the LHA folder entry is neither counted nor placed
  EXPECT_EQ(w.Children(w.tree.Root()), (V{"docs", "pics"}));
  ASSERT_NE(w.tree.FindPath("docs/"), nullptr);
  EXPECT_NE(w.tree.FindPath("docs/")->List, nullptr);
  EXPECT_TRUE(w.Names(w.tree.FindPath("docs/")).empty());
  EXPECT_TRUE(w.Names(w.tree.FindPath("pics/")).empty());
  EXPECT_EQ(w.Names(w.tree.FindPath("pics/2004/")), V{"a.jpg"});
}

TEST(Listing, ManyFoldersKeepFirstMetOrderAndLookUpByFoldedName) {
  std::vector<Entry> es;
  for (int i = 0; i < 50; ++i) es.push_back({"Dir" + std::to_string(i) + "/f.txt"});
  for (int i = 49; i >= 0; --i) es.push_back({"dir" + std::to_string(i) + "/g.txt"});
  Walk w(es);
  ASSERT_EQ(w.tree.Root()->Children.size(), 50u);
  EXPECT_EQ(w.tree.Root()->Children[7]->Text, "Dir7");
  EXPECT_EQ(w.Names(w.tree.FindPath("DIR7/")), (V{"f.txt", "g.txt"}));
  EXPECT_EQ(TArcTree::FolderPath(w.tree.FindPath("dir7/"), '/'), "Dir7/");
  EXPECT_EQ(TArcTree::FolderPath(w.tree.FindPath("dir7/"), '\\'), "Dir7\\");
  EXPECT_EQ(TArcTree::FolderPath(w.tree.Root(), '/'), "");
}

TEST(Listing, FullWidthLettersFoldToo) {
  // Ａ (0x82 0x60) and ａ (0x82 0x81).
  Walk w({{"\x82\x60/x"}, {"\x82\x81/y"}});
  EXPECT_EQ(w.tree.Root()->Children.size(), 1u);
}

TEST(Listing, ClearFreesTheListsAndTheOwnerForgetsThem) {
  TComponent owner(nullptr);
  {
    TArcTree tree(&owner);
    tree.AddRoot("x");
    bool s = false;
    std::string rest;
    for (int i = 0; i < 100; ++i) {
      std::string path = "d";
      path += std::to_string(i);
      path += "/f";
      tree.EnsureList(tree.SplitEntryPath(path, rest, s));
    }
    EXPECT_EQ(owner.ComponentCount(), 100);
    tree.Clear();
    EXPECT_EQ(owner.ComponentCount(), 0);
    tree.AddRoot("y");
    tree.EnsureList(tree.SplitEntryPath("z/f", rest, s));
    EXPECT_EQ(owner.ComponentCount(), 1);
  }
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Paths, ArchiveFolderNameLength) {
  struct {
    const char* name;
    int cut, whole;
  } cases[] = {{"data01.lzh", 4, 6},  {"data01a.lzh", 4, 7}, {"disk1of3.lzh", 7, 8}, {"2004.lzh", 4, 4},
               {"12a.lzh", 0, 3},     {"plain.zip", 5, 5},   {"noext", 5, 5},        {".lzh", 0, 0},
               {"\x95\x5C" "1.lzh", 2, 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(ArchiveFolderNameLength(c.name, true), c.cut) << c.name;
    EXPECT_EQ(ArchiveFolderNameLength(c.name, false), c.whole) << c.name;
  }
}

TEST(Texts, SizesDatesRatios) {
  EXPECT_EQ(FormatThousands(0), "0");
  EXPECT_EQ(FormatThousands(999), "999");
  EXPECT_EQ(FormatThousands(1000), "1,000");
  EXPECT_EQ(FormatThousands(3000000000u), "3,000,000,000");  // stays unsigned
  EXPECT_EQ(FormatThousands(6000000000ull), "6,000,000,000");
  // 2004-03-05 14:07:59 (days from 1899-12-30).
  double d = 38051.0 + (14 * 3600 + 7 * 60 + 59) / 86400.0;
  EXPECT_EQ(FormatListDate(d), "2004/03/05 14:07");
  EXPECT_EQ(FormatListDate(29221.0), "1980/01/01 00:00");
  EXPECT_EQ(FormatRatio(0, 0), "0.0%");
  EXPECT_EQ(FormatRatio(1000, 453), "45.3%");
  EXPECT_EQ(FormatRatio(1000, 95), "9.5%");
  EXPECT_EQ(FormatRatio(400, 49), "12.3%");  // 12.25 rounds up
  EXPECT_EQ(FormatRatio(4000000000u, 3000000000u), "75.0%");
  EXPECT_EQ(NameExtension("a.tar.gz"), ".gz");
  EXPECT_EQ(NameExtension("README"), "");
}

// Rows: two folders and entries; the fixture answers in the order shown.
struct RowsFixture : ::testing::Test {
  TFileRows rows;
  void SetUp() override {
    rows.AddFolder("zdir", 0);
    rows.AddFolder("Adir", 1);
    Add("b.TXT", 2000, 900, 38051.5, "-lh5-");   // 45.0%
    Add("A.doc", 1000, 95, 38050.5, "-lh0-");    // 9.5%
    Add("c", 3000000000u, 1359000000u, 38052.5, "-lh6-");  // 45.3%, 3 GB
    Add("d.bin", 0, 0, 38049.5, "-lh5-");        // 0.0%
  }
  void Add(const char* n, uint32_t s, uint32_t c, double d, const char* m) {
    struct ArcFileList r;
    r.Name = n;
    r.OriginalSize = s;
    r.CompressedSize = c;
    r.Date = d;
    r.Mode = m;
    rows.AddEntry(r, rows.Count() - 2, 3);
  }
  V Shown() {
    V out;
    for (int i = 0; i < rows.Count(); ++i) out.push_back(rows.Row(i).Caption);
    return out;
  }
};

TEST_F(RowsFixture, EverySortKeyBothWaysWithFolderRowsFirstAscending) {
  struct {
    TSortKey key;
    V up, down;
  } cases[] = {
      {skName, {"Adir", "zdir", "A.doc", "b.TXT", "c", "d.bin"}, {"d.bin", "c", "b.TXT", "A.doc", "zdir", "Adir"}},
      {skExt, {"zdir", "Adir", "c", "d.bin", "A.doc", "b.TXT"}, {"b.TXT", "A.doc", "d.bin", "c", "zdir", "Adir"}},
      {skSize, {"zdir", "Adir", "d.bin", "A.doc", "b.TXT", "c"}, {"c", "b.TXT", "A.doc", "d.bin", "zdir", "Adir"}},
      {skDate, {"zdir", "Adir", "d.bin", "A.doc", "b.TXT", "c"}, {"c", "b.TXT", "A.doc", "d.bin", "zdir", "Adir"}},
      // Ratios compare as text: "9.5%" after "45.3%".
      {skRate, {"zdir", "Adir", "d.bin", "b.TXT", "c", "A.doc"}, {"A.doc", "c", "b.TXT", "d.bin", "zdir", "Adir"}},
      {skType, {"zdir", "Adir", "A.doc", "b.TXT", "d.bin", "c"}, {"c", "b.TXT", "d.bin", "A.doc", "zdir", "Adir"}},
  };
  for (const auto& c : cases) {
    rows.Sort(skNone, false);
    rows.Sort(c.key, false);
    EXPECT_EQ(Shown(), c.up) << "key " << c.key;
    rows.Sort(skNone, false);
    rows.Sort(c.key, true);
    EXPECT_EQ(Shown(), c.down) << "key " << c.key << " reversed";
  }
}

TEST_F(RowsFixture, NoSortRestoresArchiveOrder) {
  rows.Sort(skName, true);
  rows.Sort(skSize, false);
  rows.Sort(skNone, false);
  EXPECT_EQ(Shown(), (V{"zdir", "Adir", "b.TXT", "A.doc", "c", "d.bin"}));
}

TEST_F(RowsFixture, SubItemsOfEntriesAndFolders) {
  // Fill order: 0 zdir, 2 b.TXT, 4 c.
  EXPECT_EQ(rows.SubItem(0, 0), "");
  EXPECT_EQ(rows.SubItem(0, 3), "-dir-");
  EXPECT_EQ(rows.SubItem(0, 4), "0");
  EXPECT_EQ(rows.SubItem(1, 5), "1");
  EXPECT_EQ(rows.SubItem(4, 0), "3,000,000,000");
  EXPECT_EQ(rows.SubItem(4, 2), "45.3%");
  EXPECT_EQ(rows.SubItem(4, 4), "3000000000");
  EXPECT_EQ(rows.SubItem(2, 1), "2004/03/05 12:00");
  EXPECT_EQ(rows.SubItem(5, 2), "0.0%");
}

TEST_F(RowsFixture, EqualKeysKeepTheirPreviousOrder) {
  TFileRows r;
  for (const char* n : {"x3", "x1", "x2"}) {
    struct ArcFileList e;
    e.Name = n;
    e.OriginalSize = 10;
    e.Mode = "-lh5-";
    r.AddEntry(e, r.Count(), 3);
  }
  r.Sort(skName, false);
  r.Sort(skSize, true);  // all equal: name order stays
  EXPECT_EQ(r.Row(0).Caption, "x1");
  EXPECT_EQ(r.Row(2).Caption, "x3");
}

TEST(Texts, SortKeysOrderAsTheLocaleComparison) {
  const char* words[] = {"abc", "ABD", "a-b", "ab", "Zeta", "zeta", "9.5%", "45.3%", "100.0%", "\x95\x5C", "\x82\xA0"};
  for (const char* a : words)
    for (const char* b : words) {
      int want = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) - CSTR_EQUAL;
      int got = TextSortKey(a).compare(TextSortKey(b));
      EXPECT_EQ(want < 0, got < 0) << a << " / " << b;
      EXPECT_EQ(want == 0, got == 0) << a << " / " << b;
    }
}

}  // namespace
