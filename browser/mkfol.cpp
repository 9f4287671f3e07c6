#include "mkfol.h"

#include "list.h"
#include "text.h"

TFolDlg::TFolDlg(TComponent* AOwner) : TForm(AOwner, "TFolDlg", bsDialog) {
  SetCaption("新規フォルダ名の入力");
  SetClientSize(229, 63);
  TFont font;
  font.SetName("MS UI Gothic");
  font.SetHeight(-12);
  font.SetColor(clBlack);
  SetFont(font);
  NewFolder = new TComboBox(this, this);
  NewFolder->Name = "NewFolder";
  // The height of a drop-down combo box is that of its open list: five items.
  NewFolder->SetBounds(8, 8, 213, 21 + 5 * 16);
  NewFolder->SetFont(font);
  for (const char* s : {"%WORK%", "%WinDir%", "%SystemDir%", "%WinRoot%", "%ProgramFiles%", "%Search%"})
    NewFolder->AddItem(s);
  OKBtn = new TButton(this, this, "OK", mrOk);
  OKBtn->Name = "OKBtn";
  OKBtn->SetBounds(38, 34, 74, 24);
  OKBtn->SetDefault(true);
  OKBtn->SetFont(font);
  CancelBtn = new TButton(this, this, "キャンセル", mrCancel);
  CancelBtn->Name = "CancelBtn";
  CancelBtn->SetBounds(117, 34, 73, 24);
  CancelBtn->SetCancel(true);
  CancelBtn->SetFont(font);
  ActiveControl = NewFolder;
}

int TFolDlg::Execute() { return ShowModal(); }

bool IsValidFolderName(const std::string& Name) {
  static const char kBad[] = "\"*,/:;<>?\\|";
  for (size_t i = 0; i < Name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(Name[i]);
    if (IsSystemLeadByte(c) && i + 1 < Name.size()) {
      ++i;
      continue;
    }
    for (const char* b = kBad; *b; ++b)
      if (c == static_cast<unsigned char>(*b)) return false;
  }
  return true;
}

std::string SlashesToBackslashes(const std::string& Path) { return arc::to_backslashes(Path); }

bool IsNtfsVolume(const std::string& Path) {
  std::string root;
  if (Path.size() >= 2 && Path[1] == ':') root = Path.substr(0, 2) + "\\";
  else if (Path.size() >= 2 && Path[0] == '\\' && Path[1] == '\\') {
    // \\server\share\ is the drive part of a network path; a name there may
    // end in a character whose second byte is 0x5C.
    size_t end = 2;
    for (int seps = 0; end < Path.size(); ++end) {
      if (arc::is_lead(static_cast<unsigned char>(Path[end])) && end + 1 < Path.size()) {
        ++end;
        continue;
      }
      if ((Path[end] == '\\' || Path[end] == '/') && ++seps == 2) break;
    }
    root = arc::with_separator(Path.substr(0, end));
  } else {
    return false;
  }
  char fs[12] = {};
  if (!GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fs, sizeof fs)) return false;
  return std::string(fs) == "NTFS";
}
