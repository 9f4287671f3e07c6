// The ground every other test stands on: code page 932 under Wine, and
// literals compiled into it.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Platform, AnsiCodePageIs932) {
  // A wrong locale would garble every Japanese text; fail loudly instead.
  EXPECT_EQ(GetACP(), 932u);
}

TEST(Platform, LiteralsAreCp932) {
  const char* so = "ソ";
  ASSERT_EQ(strlen(so), 2u);
  EXPECT_EQ(static_cast<unsigned char>(so[0]), 0x83);
  EXPECT_EQ(static_cast<unsigned char>(so[1]), 0x5C);
  EXPECT_TRUE(IsDBCSLeadByte(static_cast<BYTE>(so[0])));
}
