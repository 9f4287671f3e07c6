// Folder-name rules, the folder path with backslashes, and the new-folder
// dialog's form and answers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "Forms.h"
#include "mkfol.h"

TEST(FolderName, RefusesEverySeparatorAndWildcardButPassesDoubleByteTrailBytes) {
  struct {
    const char* name;
    bool valid;
  } cases[] = {
      {"docs", true},
      {"new folder", true},
      {"a\"b", false}, {"a*b", false}, {"a,b", false}, {"a/b", false}, {"a:b", false},
      {"a;b", false}, {"a<b", false}, {"a>b", false}, {"a?b", false}, {"a\\b", false}, {"a|b", false},
      // ソ and 表 end in 0x5C, ポ in 0x7C: one character each, not a separator.
      {"\x83\x5C", true}, {"\x95\x5C\x8E\xA6", true}, {"\x83\x7C", true},
      {"\x83\x5C\\", false},
      // Control bytes and single-byte katakana pass.
      {"a\x01" "b", true}, {"\xB1\xB2", true},
      // A lone lead byte at the end is a byte of its own.
      {"a\x83", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidFolderName(c.name), c.valid) << c.name;
}

TEST(FolderName, SlashesBecomeBackslashesOutsideDoubleByteCharacters) {
  EXPECT_EQ(SlashesToBackslashes("docs/img/"), "docs\\img\\");
  EXPECT_EQ(SlashesToBackslashes(""), "");
  // 0x83 0x2F is no character of the code page, but the pair is still stepped over.
  EXPECT_EQ(SlashesToBackslashes("\x83\x5C/a/"), "\x83\x5C\\a\\");
}

TEST(FolderName, NtfsOnlyForAVolumeThatSaysSo) {
  // Wine's drives report their own names; an absent drive or a relative path never counts.
  EXPECT_FALSE(IsNtfsVolume("relative\\path"));
  EXPECT_FALSE(IsNtfsVolume(""));
  char fs[12] = {};
  const bool any = GetVolumeInformationA("C:\\", nullptr, 0, nullptr, nullptr, nullptr, fs, sizeof fs);
  EXPECT_EQ(IsNtfsVolume("C:\\windows\\x.lzh"), any && std::string(fs) == "NTFS");
}

class FolDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!Application) {
      Application = new TApplication();
      Application->Initialize();
    }
  }
};

TEST_F(FolDlgTest, FormAsDesignedWithTheSixPlaceholders) {
  TFolDlg dlg(nullptr);
  EXPECT_EQ(dlg.Caption(), "新規フォルダ名の入力");
  EXPECT_EQ(dlg.ClientWidth(), 229);
  EXPECT_EQ(dlg.ClientHeight(), 63);
  ASSERT_EQ(dlg.NewFolder->ItemCount(), 6);
  EXPECT_EQ(dlg.NewFolder->Item(0), "%WORK%");
  EXPECT_EQ(dlg.NewFolder->Item(5), "%Search%");
  EXPECT_EQ(dlg.OKBtn->ModalResult, mrOk);
  EXPECT_EQ(dlg.CancelBtn->ModalResult, mrCancel);
  EXPECT_EQ(dlg.OKBtn->Caption(), "OK");
  EXPECT_EQ(dlg.CancelBtn->Caption(), "キャンセル");
}

// The dialog shown for real and answered from another thread as a user
// would: a name typed and OK, or Cancel.
TEST_F(FolDlgTest, ShownAndAnsweredThroughItsControls) {
  struct {
    const char* typed;
    const char* button;
    int result;
  } cases[] = {
      {"work", "OK", mrOk},
      {"gone", "キャンセル", mrCancel},
  };
  for (const auto& c : cases) {
    TFolDlg dlg(nullptr);
    std::thread user([&c] {
      // This process's dialog only: tests beside this one may show theirs.
      HWND w = nullptr;
      for (int i = 0; i < 2400 && !w; ++i, Sleep(50))
        for (HWND t = nullptr; (t = FindWindowExA(nullptr, t, nullptr, "新規フォルダ名の入力")) != nullptr;) {
          DWORD pid = 0;
          GetWindowThreadProcessId(t, &pid);
          if (pid == GetCurrentProcessId() && IsWindowVisible(t)) w = t;
        }
      if (!w) return;
      // Texts are read and typed before the first press: once a press is
      // through, the dialog's thread leaves its loop and waits for this one,
      // and a message sent to its windows then would never be answered.
      if (HWND combo = FindWindowExA(w, nullptr, "ComboBox", nullptr))
        SendMessageA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.typed));
      HWND button = nullptr;
      for (HWND b = nullptr; !button && (b = FindWindowExA(w, b, "Button", nullptr)) != nullptr;) {
        char text[64] = {};
        GetWindowTextA(b, text, sizeof text);
        if (!lstrcmpA(text, c.button)) button = b;
      }
      // A click posted while the dialog is still being set up can be lost on
      // a loaded machine, so it is pressed again until the dialog is gone.
      for (int i = 0; button && i < 2400 && IsWindowVisible(w); ++i, Sleep(50))
        if (i % 20 == 0) PostMessageA(button, BM_CLICK, 0, 0);
    });
    const int result = dlg.Execute();
    user.join();
    EXPECT_EQ(result, c.result) << c.typed;
    EXPECT_EQ(dlg.NewFolder->Text(), c.typed);
  }
}
