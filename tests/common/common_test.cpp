// The shared text rules of the archiver stand-ins: tokeniser, name matching,
// safe paths and the bounded log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fsio.h"
#include "text.h"

using namespace arc;

TEST(Tokenize, QuotedRunsEndAtNextQuoteWithoutEscapes) {
  auto t = tokenize(R"(e  -c0 "C:\a b\x.lzh" "C:\out\"  name)");
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0].text, "e");
  EXPECT_EQ(t[1].text, "-c0");
  EXPECT_EQ(t[2].text, R"(C:\a b\x.lzh)");
  EXPECT_TRUE(t[2].quoted);
  EXPECT_EQ(t[3].text, R"(C:\out\)");
  EXPECT_EQ(t[4].text, "name");
}

TEST(ParseCommand, ArchiveBaseFolderAndNames) {
  auto pc = parse_command(R"(e -c0 -p2 -jf0 -a1 "C:\x.lzh" "C:\out\" "docs/*.*" "a.txt")", true);
  EXPECT_EQ(pc.verb, "e");
  EXPECT_TRUE(pc.has("-p2"));
  EXPECT_EQ(pc.value("-c").value_or(""), "0");
  EXPECT_EQ(pc.archive, R"(C:\x.lzh)");
  EXPECT_EQ(pc.baseDir, R"(C:\out\)");
  ASSERT_EQ(pc.names.size(), 2u);
  EXPECT_EQ(pc.names[0], "docs/*.*");
}

TEST(ParseCommand, TrailByte5CIsNotAFolderEnd) {
  // "ソ" ends in byte 0x5C; the token is a name, not a base folder.
  auto pc = parse_command("e x.lzh \"\x83\x5C\"", true);
  EXPECT_EQ(pc.baseDir, "");
  ASSERT_EQ(pc.names.size(), 1u);
}

struct MatchCase {
  const char* pattern;
  const char* name;
  bool match;
};

class MatchNames : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchNames, Table) {
  auto c = GetParam();
  EXPECT_EQ(match_name(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchNames,
    ::testing::Values(MatchCase{"*.*", "a/b/c.txt", true}, MatchCase{"*", "x", true},
                      MatchCase{"docs/*.*", "docs/a.txt", true}, MatchCase{"docs\\*.*", "DOCS\\sub\\b.txt", true},
                      MatchCase{"docs/*.*", "docsx/a.txt", false}, MatchCase{"docs/*.*", "docs", false},
                      MatchCase{"README.TXT", "readme.txt", true}, MatchCase{"a/b.txt", "a\\B.TXT", true},
                      MatchCase{"a/*.txt", "a/x.txt", true}, MatchCase{"a/*.txt", "a/x.bin", false},
                      MatchCase{"a/?.txt", "a/\x83\x5C.txt", true}, MatchCase{"\x83\x5C/*.*", "\x83\x5C/f", true},
                      MatchCase{"\x83\x5C", "\x83\x7C", false}, MatchCase{"\x83\x5A", "\x83\x7A", false}, MatchCase{"docs", "docs/a.txt", true},
                      MatchCase{"*.*", "README", true}, MatchCase{"*.*", "dir/noext", true}));

// Code page 932 names whose second bytes are a letter's upper and lower case:
// セ 83 5A / ホ 83 7A, ケ 83 50 / パ 83 70.
const std::string kSet = "\x83\x5A\x83\x62\x83\x67.txt", kHot = "\x83\x7A\x83\x62\x83\x67.txt";
const std::string kKesu = "\x83\x50\x81\x5B\x83\x58", kPasu = "\x83\x70\x81\x5B\x83\x58";

TEST(NameRules, FoldingTouchesSingleByteLettersOnly) {
  EXPECT_FALSE(same_name(kSet, kHot));
  EXPECT_FALSE(same_name(kKesu, kPasu));
  EXPECT_NE(name_key(kSet), name_key(kHot));
  EXPECT_EQ(fold_ascii("AbC" + kSet), "abc" + kSet);
  EXPECT_TRUE(same_name("Sub\\README.txt", "sub/readme.TXT/"));
  // Whole components: a folder holds what lies below it, not a longer name.
  EXPECT_TRUE(in_folder("readme", "readme"));
  EXPECT_TRUE(in_folder("Doc", "doc\\a.txt"));
  EXPECT_FALSE(in_folder("readme", "readme.txt"));
  EXPECT_FALSE(in_folder("doc", "docs/a.txt"));
  EXPECT_TRUE(in_folder("\x95\x5C", "\x95\x5C\\x"));     // 表 ends in 5C
  EXPECT_FALSE(in_folder("\x95\x5C", "\x95\x5Cx/y"));
}

// One archive's names, and what each command name takes of them.
TEST(NameMatcher, ANameSpeltAsAStoredEntryIsThatEntryOnly) {
  const std::vector<std::pair<std::string, bool>> stored = {
      {"a?.txt", false}, {"ab.txt", false},  {"sub/ax.txt", false}, {"README", false},  {"readme", false},
      {kSet, false},     {kHot, false},      {kKesu, false},        {kPasu, false},     {"docs/", true},
      {"docs/a.txt", false}, {"a?/x.txt", false}, {"ab/y.txt", false}, {"*.*", false}};
  struct Case {
    std::string pattern;
    std::vector<std::string> takes;
  } cases[] = {
      {"a?.txt", {"a?.txt"}},
      {"a\\?.txt", {}},  // no such entry: a pattern
      {"a*.txt", {"a?.txt", "ab.txt", "sub/ax.txt", "docs/a.txt"}},
      {"sub\\a?.txt", {"sub/ax.txt"}},
      {"readme", {"readme"}},
      {"Readme", {"README", "readme"}},
      {kSet, {kSet}},
      {kHot, {kHot}},
      {kKesu, {kKesu}},
      {"docs", {"docs/", "docs/a.txt"}},  // a folder entry does not make a plain name literal
      {"docs\\*.*", {"docs/a.txt"}},
      {"a?\\*.*", {"a?/x.txt"}},
      {"a?/", {"a?/x.txt"}},
      {"*.*", {}},  // everything, even beside an entry of that name
  };
  for (auto& c : cases) {
    NameMatcher m({c.pattern});
    ASSERT_TRUE(m.needs_names() || c.pattern == "*.*");
    for (auto& [n, folder] : stored) m.stored(n, folder);
    std::vector<std::string> got;
    for (auto& [n, folder] : stored)
      if (m.matches(n)) got.push_back(n);
    if (c.pattern == "*.*") {
      EXPECT_EQ(got.size(), stored.size());
      continue;
    }
    EXPECT_EQ(got, c.takes) << c.pattern;
  }
  // Without its entries told, a name is a pattern as before; with none, all match.
  EXPECT_TRUE(NameMatcher({"a?.txt"}).matches("ab.txt"));
  EXPECT_TRUE(NameMatcher().matches("x"));
  EXPECT_FALSE(NameMatcher({"*.*"}).needs_names());
  // A plain name that must not take what lies below it.
  NameMatcher flat({"docs"}, false);
  EXPECT_TRUE(flat.matches("DOCS"));
  EXPECT_FALSE(flat.matches("docs/a.txt"));
  EXPECT_TRUE(NameMatcher({"d?cs"}, false).matches("docs"));
}

TEST(SafeRelative, RefusesEscapesAndDevices) {
  for (const char* bad : {"../x", "a/../../x", "/etc/passwd", "\\\\server\\share\\x", "C:\\x", "c:x", "CON",
                          "dir/nul.txt", "COM1", "a/ ../b", "..", "a/..."}) {
    EXPECT_FALSE(safe_relative(bad).has_value()) << bad;
  }
  EXPECT_EQ(safe_relative("./a//b\\c.txt").value_or(""), "a/b/c.txt");
  EXPECT_EQ(safe_relative("\x83\x5C\\x").value_or(""), "\x83\x5C/x");
  EXPECT_EQ(safe_relative("console.txt").value_or(""), "console.txt");
}

// "表" is 95 5C, "ソ" 83 5C: a second byte that looks like a backslash.
TEST(Paths, SeparatorsAreNeverTheSecondByteOfADoubleByteCharacter) {
  const std::string hyo = "\x95\x5C", so = "\x83\x5C";
  const std::string shiryohyo = "\x8E\x91\x97\xBF" + hyo;  // 資料表
  struct {
    std::string path;
    bool endsWithSep;
    std::string stripped, strippedKeepRoot, withSep, name;
  } cases[] = {
      {"C:\\Work\\", true, "C:\\Work", "C:\\Work", "C:\\Work\\", ""},
      {"C:\\Work", false, "C:\\Work", "C:\\Work", "C:\\Work\\", "Work"},
      {"C:\\", true, "C:", "C:\\", "C:\\", ""},
      {"C:\\a\\\\", true, "C:\\a\\", "C:\\a\\", "C:\\a\\\\", ""},
      {"\\", true, "", "\\", "\\", ""},
      {"", false, "", "", "", ""},
      {"C:\\" + shiryohyo, false, "C:\\" + shiryohyo, "C:\\" + shiryohyo, "C:\\" + shiryohyo + "\\", shiryohyo},
      {"C:\\" + shiryohyo + "\\", true, "C:\\" + shiryohyo, "C:\\" + shiryohyo, "C:\\" + shiryohyo + "\\", ""},
      {"d/" + so, false, "d/" + so, "d/" + so, "d/" + so + "\\", so},
      {"d/x/", true, "d/x", "d/x", "d/x/", ""},
      {"C:name", false, "C:name", "C:name", "C:name\\", "name"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ends_with_separator(c.path), c.endsWithSep) << c.path;
    EXPECT_EQ(without_separator(c.path), c.stripped) << c.path;
    EXPECT_EQ(without_separator(c.path, true), c.strippedKeepRoot) << c.path;
    EXPECT_EQ(with_separator(c.path), c.withSep) << c.path;
    EXPECT_EQ(c.path.substr(name_start(c.path)), c.name) << c.path;
  }
  EXPECT_EQ(join_path("C:\\" + shiryohyo, "a.txt"), "C:\\" + shiryohyo + "\\a.txt");
  EXPECT_EQ(join_path("C:\\", "a.txt"), "C:\\a.txt");
  EXPECT_EQ(join_path("C:\\x\\", "\\a.txt"), "C:\\x\\a.txt");
  EXPECT_EQ(join_path("", "a.txt"), "a.txt");
  EXPECT_EQ(folder_of("C:\\" + shiryohyo + "\\a.txt"), "C:\\" + shiryohyo);
  EXPECT_EQ(folder_of("C:\\" + shiryohyo), "C:\\");
  EXPECT_EQ(folder_of("a.txt"), "");
  EXPECT_EQ(base_name("C:\\" + shiryohyo), shiryohyo);
  EXPECT_EQ(dir_part("C:\\" + shiryohyo + "\\" + so), "C:\\" + shiryohyo + "\\");
}

// Entry names cut at '\' and '/' only; paths on disk at a drive's ':' too.
TEST(Paths, NamesAndFoldersOfEntriesAndOfPathsOnDisk) {
  const std::string so = "\x83\x5C", hyo = "\x95\x5C";  // ソ, 表
  const std::string shiryohyo = "\x8E\x91\x97\xBF" + hyo;  // 資料表
  struct {
    std::string path, base, dir, file, fileDir, folder;
  } cases[] = {
      {"C:\\w\\a.txt", "a.txt", "C:\\w\\", "a.txt", "C:\\w\\", "C:\\w"},
      {"C:\\a.txt", "a.txt", "C:\\", "a.txt", "C:\\", "C:\\"},
      {"C:a.txt", "C:a.txt", "", "a.txt", "C:", "C:"},
      {"a:b/c:d", "c:d", "a:b/", "d", "a:b/c:", "a:b/c:"},
      {"a.txt", "a.txt", "", "a.txt", "", ""},
      {"d/x/", "", "d/x/", "", "d/x/", "d/x"},
      {"\\\\srv\\share\\f", "f", "\\\\srv\\share\\", "f", "\\\\srv\\share\\", "\\\\srv\\share"},
      {"C:\\" + shiryohyo + "\\" + so, so, "C:\\" + shiryohyo + "\\", so, "C:\\" + shiryohyo + "\\",
       "C:\\" + shiryohyo},
      {"C:\\" + shiryohyo, shiryohyo, "C:\\", shiryohyo, "C:\\", "C:\\"},
      {"d/" + so + "/" + hyo, hyo, "d/" + so + "/", hyo, "d/" + so + "/", "d/" + so},
      {"", "", "", "", "", ""},
  };
  for (auto& c : cases) {
    EXPECT_EQ(base_name(c.path), c.base) << c.path;
    EXPECT_EQ(dir_part(c.path), c.dir) << c.path;
    EXPECT_EQ(file_name(c.path), c.file) << c.path;
    EXPECT_EQ(file_dir(c.path), c.fileDir) << c.path;
    EXPECT_EQ(folder_of(c.path), c.folder) << c.path;
  }
}

TEST(LogWriter, NeverPastSizeAlwaysTerminated) {
  char buf[8];
  memset(buf, 'z', sizeof buf);
  LogWriter w(buf, 6);
  w.add("abcdefghij");
  EXPECT_STREQ(buf, "abcde");
  EXPECT_EQ(buf[6], 'z');
  LogWriter none(nullptr, 0);
  none.add("x");  // discarded, no crash
}

TEST(Crc32, KnownValue) { EXPECT_EQ(crc32(0, "123456789", 9), 0xCBF43926u); }

// Eight bytes a step with a byte-wise tail: any split, any start, the same check.
TEST(Crc32, LongAndSplitBuffersGiveTheWholeValue) {
  std::vector<uint8_t> d(1000);
  for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(i * 7 + i / 5);
  EXPECT_EQ(crc32(0, d.data(), d.size()), 0x15E342A2u);
  EXPECT_EQ(crc32(0, d.data() + 3, d.size() - 3), 0x4E6252F8u);
  for (size_t cut : {1u, 7u, 8u, 9u, 500u, 999u})
    EXPECT_EQ(crc32(crc32(0, d.data(), cut), d.data() + cut, d.size() - cut), 0x15E342A2u) << cut;
}

// DOS dates run to 2107; the 32-bit runtime's time_t stops in January 2038.
TEST(DosTime, RoundTripsPast2038AndClampsAtTheEnds) {
  for (uint32_t dt : {dos_datetime(2038, 1, 19, 3, 14, 8), dos_datetime(2038, 1, 19, 12, 0, 0),
                      dos_datetime(2099, 6, 1, 12, 0, 0), dos_datetime(2107, 12, 31, 23, 59, 58),
                      dos_datetime(1980, 1, 2, 0, 0, 0)}) {
    int64_t t = dos_to_unix(dt);
    EXPECT_GT(t, 0) << std::hex << dt;
    EXPECT_EQ(unix_to_dos(t), dt) << std::hex << dt;
  }
  EXPECT_GT(dos_to_unix(dos_datetime(2099, 6, 1, 12, 0, 0)), int64_t{0x7FFFFFFF});
  EXPECT_EQ(unix_to_dos(int64_t{4102444800} * 2) >> 25, 127u);  // year 2230 stays at 2107
  EXPECT_EQ(unix_to_dos(0) >> 25, 0u);                             // 1970 comes in at 1980
}

// Known day counts on both sides of 1970, leap days and century rules.
TEST(CivilDays, KnownDatesBothWays) {
  struct {
    int64_t y;
    int m, d;
    int64_t days;
  } table[] = {{1970, 1, 1, 0},       {1969, 12, 31, -1},   {1899, 12, 30, -25569}, {2000, 2, 29, 11016},
               {1900, 3, 1, -25508},  {2038, 1, 19, 24855}, {2107, 12, 31, 50402},  {1600, 3, 1, -135080}};
  for (auto& c : table) {
    EXPECT_EQ(days_from_civil(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
    int64_t y = 0;
    int m = 0, d = 0;
    civil_from_days(c.days, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.days;
  }
}

// A file in memory that counts the reads reaching it.
class CountingFile : public fsio::File {
 public:
  explicit CountingFile(std::vector<uint8_t> d) : d_(std::move(d)) {}
  int64_t read(void* p, int64_t n) override {
    ++reads;
    int64_t k = std::min<int64_t>(n, static_cast<int64_t>(d_.size()) - pos_);
    if (k <= 0) return 0;
    std::memcpy(p, d_.data() + pos_, static_cast<size_t>(k));
    pos_ += k;
    return k;
  }
  bool write(const void*, int64_t) override { return false; }
  bool seek(int64_t pos) override { return pos >= 0 && (pos_ = pos, true); }
  int64_t tell() override { return pos_; }
  int64_t size() override { return static_cast<int64_t>(d_.size()); }
  int reads = 0;

 private:
  std::vector<uint8_t> d_;
  int64_t pos_ = 0;
};

TEST(BlockReader, AnswersTheFilesBytesAcrossBlocksSeeksAndTheEnd) {
  std::vector<uint8_t> d(300);
  for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(i * 13 + 1);
  CountingFile file(d);
  fsio::BlockReader r(file, 64);
  auto expect_at = [&](int64_t pos, int64_t n, int64_t want) {
    std::vector<uint8_t> got(static_cast<size_t>(n) + 1, 0xEE);
    ASSERT_TRUE(r.seek(pos));
    int64_t k = r.read(got.data(), n);
    ASSERT_EQ(k, want) << pos << "+" << n;
    for (int64_t i = 0; i < k; ++i) ASSERT_EQ(got[i], d[pos + i]) << pos + i;
    EXPECT_EQ(got[k], 0xEE);
    EXPECT_EQ(r.tell(), pos + k);
  };
  // Small reads and short seeks inside one block: one read of the file.
  expect_at(0, 30, 30);
  expect_at(40, 10, 10);
  expect_at(5, 3, 3);
  EXPECT_EQ(file.reads, 1);
  expect_at(60, 10, 10);    // across the block's end
  expect_at(100, 150, 150);  // a block or more goes straight through
  expect_at(290, 20, 10);   // the end cuts it short
  expect_at(300, 5, 0);
  expect_at(400, 5, 0);
  expect_at(1, 299, 299);
}

// A folder that was there before the run is listed at the second name looked
// up in it; the answers stay those of the disk, the run's own files included.
TEST(Placer, AnswersAnOldFolderFromItsListing) {
  std::string dir = fsio::join(::testing::TempDir(), "placer-old");
  std::string old = fsio::join(dir, "old");
  fsio::remove_file(fsio::join(old, "a.txt"));
  fsio::remove_file(fsio::join(old, "b.txt"));
  fsio::remove_file(fsio::join(old, "new.txt"));
  fsio::remove_file(fsio::join(old, "late.txt"));
  fsio::remove_dir(fsio::join(old, "sub"));
  ASSERT_TRUE(fsio::make_dirs(fsio::join(old, "sub")));
  ASSERT_TRUE(fsio::write_all(fsio::join(old, "a.txt"), "a", 1));
  ASSERT_TRUE(fsio::write_all(fsio::join(old, "b.txt"), "b", 1));
  using K = fsio::Placer::Kind;
  fsio::Placer p;
  EXPECT_EQ(p.look(fsio::join(old, "a.txt")), K::file);  // looked up
  EXPECT_EQ(p.look(fsio::join(old, "b.txt")), K::file);  // from here on, the listing
  EXPECT_EQ(p.look(fsio::join(old, "sub")), K::dir);
  EXPECT_EQ(p.look(fsio::join(old, "new.txt")), K::none);
  auto f = p.begin(fsio::join(old, "new.txt"), false);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->write("n", 1));
  ASSERT_TRUE(f->finish(-1, 0) && f->commit());
  EXPECT_EQ(p.look(fsio::join(old, "new.txt")), K::file);
  bool made = false;
  ASSERT_TRUE(p.make_dirs(fsio::join(old, "made"), &made));
  EXPECT_TRUE(made);
  EXPECT_EQ(p.look(fsio::join(old, "made")), K::dir);
  // A name that appeared after the listing is not replaced unasked.
  ASSERT_TRUE(fsio::write_all(fsio::join(old, "late.txt"), "l", 1));
  EXPECT_EQ(p.look(fsio::join(old, "late.txt")), K::none);
  EXPECT_FALSE(p.begin(fsio::join(old, "late.txt"), false));
  EXPECT_EQ(p.error(), fsio::PlaceError::exists);
  fsio::remove_dir(fsio::join(old, "made"));
}
