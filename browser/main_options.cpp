// The options command: the dialog is filled from the settings, and on OK the
// settings, the list's look and the command states follow it, the store is
// written and the other instances are told to reload.
#include <windows.h>

#include "Registry.h"
#include "main.h"
#include "optionf.h"

namespace {
// The table value named Section\Value, or nothing.
const TSettingRef* FindSetting(const std::vector<TSettingRef>& table, const std::string& key) {
  for (const TSettingRef& r : table)
    if (lstrcmpiA((std::string(r.Section) + "\\" + r.Name).c_str(), key.c_str()) == 0) return &r;
  return nullptr;
}
}  // namespace

std::string TVantrelbyHalvek::OptionSetting(const std::string& key) {
  const TSettingRef* r = FindSetting(SettingRefs(), key);
  if (!r) return {};
  if (r->Flag) return *r->Flag ? "1" : "0";
  if (r->Number) return std::to_string(*r->Number + r->Offset);
  return *r->Text;
}

void TVantrelbyHalvek::SetOptionSetting(const std::string& key, const std::string& value) {
  const TSettingRef* r = FindSetting(SettingRefs(), key);
  int v = 0;
  if (!r) return;
  if (r->Flag) *r->Flag = value != "0" && !value.empty();
  else if (r->Number && TryStrToInt(value, v)) *r->Number = v - r->Offset;
  else if (r->Text) *r->Text = value;
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
