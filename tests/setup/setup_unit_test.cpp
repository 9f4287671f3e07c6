// Version texts and code page 932 path ends, as the setup reads them.
#include <gtest/gtest.h>

#include "SBDlg.h"
#include "inst1.h"

TEST(SetupVersion, PackageVersionNeedsDigitsDotDigits) {
  struct {
    const char* text;
    bool ok;
    int version;
  } cases[] = {{"2.08", true, 208}, {"2.8", true, 208}, {"1.00", true, 100}, {"10.5", true, 1005},
               {"2", false, 0},     {"2.", false, 0},   {".5", false, 0},    {"2.08a", false, 0},
               {"v2.08", false, 0}, {"2.08 ", false, 0}, {"2.0.1", false, 0}, {"Z:\\pkg\\tovix.exe", false, 0}};
  for (auto& c : cases) {
    int major = -1, minor = -1;
    bool ok = ParseSetupVersion(c.text, major, minor);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (ok) {
      EXPECT_EQ(major * 100 + minor, c.version) << c.text;
    }
  }
}

TEST(SetupVersion, InstalledVersionJoinsTheDigits) {
  struct {
    const char* text;
    int version;
  } cases[] = {{"2.05", 205}, {"1.40", 140}, {"2.5", 25}, {"3", 3}, {"2.05 beta", 205},
               {"2x.5", 2},   {"abc", 0},    {"", 0},     {"C:\\Tovix\\tovix.exe", 0}};
  for (auto& c : cases) EXPECT_EQ(ParseInstalledVersion(c.text), c.version) << c.text;
}

TEST(SetupPaths, BrowsePreselectionStepsOverDoubleByteCharacters) {
  // "\x83\x5C" is one character whose second byte looks like a backslash.
  EXPECT_EQ(SBDlgPreselect("C:\\"), "C:\\");
  EXPECT_EQ(SBDlgPreselect("C:\\Tools\\"), "C:\\Tools");
  EXPECT_EQ(SBDlgPreselect("C:\\\x83\x5C"), "C:\\\x83\x5C");
}
