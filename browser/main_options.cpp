// The options command: the dialog is filled from the settings, and on OK the
// settings, the list's look and the command states follow it, the store is
// written and the other instances are told to reload.
#include <windows.h>

#include "Registry.h"
#include "main.h"
#include "optionf.h"

namespace {
// Where a setting of the dialog lives in memory; integers add Offset to give
// the stored number.
struct TSettingRef {
  const char* Key;
  bool* Flag = nullptr;
  int* Number = nullptr;
  int Offset = 0;
  std::string* Text = nullptr;
};

std::vector<TSettingRef> SettingRefs(TTovixSettings& s) {
  auto& u = s.UnPack;
  auto& p = s.Pack;
  auto& o = s.Other;
  auto flag = [](const char* k, bool& b) { TSettingRef r{k}; r.Flag = &b; return r; };
  auto number = [](const char* k, int& n, int add = 0) { TSettingRef r{k}; r.Number = &n; r.Offset = add; return r; };
  auto text = [](const char* k, std::string& t) { TSettingRef r{k}; r.Text = &t; return r; };
  return {
      flag("List\\AutoSize", s.List.AutoSize), text("List\\ViewProg", s.List.ViewProg),
      text("UnPack\\DefFolder", u.DefFolder), flag("UnPack\\ArcFolder", u.ArcFolder),
      text("Pack\\DefFolder", p.DefFolder), flag("Pack\\ArcFolder", p.ArcFolder),
      flag("UnPack\\UnPackFolder", u.UnPackFolder), flag("UnPack\\NoTimeCheck", u.NoTimeCheck),
      flag("UnPack\\MakeFolder", u.MakeFolder), flag("UnPack\\All", u.All), flag("UnPack\\OpenFolder", u.OpenFolder),
      flag("UnPack\\FileNoFolder", u.FileNoFolder), flag("UnPack\\DelFolderNum", u.DelFolderNum),
      flag("UnPack\\HideDlg", u.HideDlg), flag("Pack\\PackFolder", p.PackFolder),
      flag("Pack\\NoTimeCheck", p.NoTimeCheck), flag("Pack\\All", p.All), flag("Pack\\SetDate", p.SetDate),
      flag("Pack\\AddFolder", p.AddFolder), flag("Pack\\Exit", p.Exit), flag("Pack\\Sort", p.Sort),
      flag("Pack\\HideDlg", p.HideDlg), number("Pack\\PackStyle", p.PackStyle, 5),
      number("Pack\\AutoStyle", p.AutoStyle, 1), flag("Pack\\lh0", p.lh0), number("Pack\\Zip", p.Zip),
      flag("Pack\\TGZ", p.TGZ), number("Pack\\IZip", p.IZip), number("Pack\\CabStyle", p.CabStyle),
      number("Pack\\CabLevel", p.CabLevel), flag("Pack\\CabMkBat", p.CabMkBat),
      flag("Other\\LzhDelete", o.LzhDelete), flag("Other\\ExeDelete", o.ExeDelete), flag("Other\\Expand", o.Expand),
      flag("Pos\\SaveFolder", s.Pos.SaveFolder), flag("Other\\2Err", SingleInstance), flag("Other\\icon", o.icon),
  };
}
}  // namespace

std::string TVantrelbyHalvek::OptionSetting(const std::string& key) {
  for (const TSettingRef& r : SettingRefs(Settings)) {
    if (lstrcmpiA(r.Key, key.c_str()) != 0) continue;
    if (r.Flag) return *r.Flag ? "1" : "0";
    if (r.Number) return std::to_string(*r.Number + r.Offset);
    return *r.Text;
  }
  return {};
}

void TVantrelbyHalvek::SetOptionSetting(const std::string& key, const std::string& value) {
  for (const TSettingRef& r : SettingRefs(Settings)) {
    if (lstrcmpiA(r.Key, key.c_str()) != 0) continue;
    int v = 0;
    if (r.Flag) *r.Flag = value != "0" && !value.empty();
    else if (r.Number && TryStrToInt(value, v)) *r.Number = v - r.Offset;
    else if (r.Text) *r.Text = value;
    return;
  }
}

void TVantrelbyHalvek::OP1Click(TObject* Sender) {
  TOptionDlg* dlg = new TOptionDlg(Application);
  POINT cursor{};
  GetCursorPos(&cursor);
  POINT at = OptionDlgPlace(cursor, dlg->Width(), dlg->Height(), WorkArea);
  dlg->SetBounds(at.x, at.y, dlg->Width(), dlg->Height());

  dlg->TestView1->SetFont(ListView1->Font());
  dlg->TestView1->SetColor(ListView1->Color());
  for (const TOptionField& f : dlg->Fields) dlg->SetFieldValue(f, OptionSetting(f.Key));
  dlg->Up_FileNoFolder->SetEnabled(dlg->Up_ExecFolder->Checked());
  dlg->Up_MfNum->SetEnabled(dlg->Up_MkFolder->Checked());

  if (dlg->Execute() != mrOk) {
    delete dlg;
    return;
  }

  ListView1->SetFont(dlg->TestView1->Font());
  ListView1->SetColor(dlg->TestView1->Color());
  ApplyListFont(false);
  for (const TOptionField& f : dlg->Fields) SetOptionSetting(f.Key, TOptionDlg::FieldValue(f));
  Next1->SetEnabled(!SingleInstance);
  NextBtn1->SetEnabled(!SingleInstance);
  // Never cleared while the program runs.
  if (Settings.Pack.AutoStyle == 1) FDoruEnabled = true;
  const bool open = !Archive1->ArcName().empty();
  const TArchiverMode mode = Archive1->ArcMode();
  if (open && mode == amLha) MkDoru1->SetEnabled(FDoruEnabled);
  const bool newFolder = !(open && mode != amLha && mode != amZip) && Settings.Pack.AddFolder && Settings.Pack.PackFolder;
  NewFolder1->SetEnabled(newFolder);
  NewFolderBtn1->SetEnabled(newFolder);
  NewFolder2->SetEnabled(newFolder);

  SaveSettings();
  PostMessageA(HWND_BROADCAST, WM_TOVIX_CHANGEOPTION, reinterpret_cast<WPARAM>(Handle()), 0);
  delete dlg;
}
