#include <gtest/gtest.h>

#include "Classes.h"
#include "find_d.h"

TEST(FindDlgPlace, SitsLeftAboveTheCursorAndInsideTheWorkArea) {
  const RECT area{0, 0, 1024, 738};
  struct Case {
    int x, y;
    LONG left, top;
  } cases[] = {
      {500, 300, 400, 260},  // 100 left, 40 up
      {1000, 300, 1024 - 560, 260},  // right edge
      {500, 730, 400, 738 - 330},    // bottom edge
      {30, 10, 0, 0},                // near the top-left corner: not off the screen
  };
  for (const Case& c : cases) {
    POINT p = FindDlgPlace(c.x, c.y, 560, 330, area);
    EXPECT_EQ(p.x, c.left) << c.x << "," << c.y;
    EXPECT_EQ(p.y, c.top) << c.x << "," << c.y;
  }
}

TEST(EntryFileNamePart, KeepsOnlyTheNameAfterTheLastSeparator) {
  EXPECT_EQ(EntryFileNamePart("docs\\img\\a.txt"), "a.txt");
  EXPECT_EQ(EntryFileNamePart("docs/a.txt"), "a.txt");
  EXPECT_EQ(EntryFileNamePart("c:a.txt"), "a.txt");
  EXPECT_EQ(EntryFileNamePart("a.txt"), "a.txt");
  // The second byte of "\x83\x5c" is not a separator.
  EXPECT_EQ(EntryFileNamePart("dir\\\x83\x5c.txt"), "\x83\x5c.txt");
}

TEST(PushSearchFolder, MovesARepeatToTheHeadWithoutDuplicates) {
  TStringList h;
  for (const char* f : {"C:\\a", "C:\\b", "c:\\A", "C:\\c"}) PushSearchFolder(h, f);
  ASSERT_EQ(h.Count(), 3);
  EXPECT_EQ(h[0], "C:\\c");
  EXPECT_EQ(h[1], "c:\\A");
  EXPECT_EQ(h[2], "C:\\b");
}

TEST(CompareFindRows, OrdersEachColumn) {
  TFindRow a{"b.txt", 3000000000u, 38000.5, "Z:\\x\\a.lzh"};
  TFindRow b{"A.txt", 20, 38001.0, "Z:\\x\\B.zip"};
  EXPECT_GT(CompareFindRows(a, b, 1), 0);  // case-insensitive names
  EXPECT_GT(CompareFindRows(a, b, 2), 0);  // sizes past 2 GiB stay unsigned
  EXPECT_LT(CompareFindRows(a, b, 3), 0);
  EXPECT_LT(CompareFindRows(a, b, 4), 0);
}
