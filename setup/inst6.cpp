// The extension ties, the extension libraries and the sound events.
#include "inst6.h"

#include "inst1.h"
#include "text.h"

TExeDlg* ExeDlg = nullptr;

const TExtGroup ExtGroups[7] = {
    {"lha", 1, {".lzh"}, {".lzh"}},
    {"arj", 2, {".arj"}, {".arj"}},
    {"zip", 4, {".zip"}, {".zip"}},
    {"tar", 8, {".gz", ".tar", ".tgz", ".bz2"}, {".gz", ".tgz", ".tar", ".bz2"}},
    {"cab", 0x10, {".cab"}, {".cab"}},
    {"rar", 0x20, {".rar"}, {".rar"}},
    {"bga", 0x40, {".gza", ".bza"}, {".gza", ".bza"}},
};

namespace {

const char kProgId[] = "tovix";
const char kBackup[] = "tovix.bak";

void OpenOrRaise(TRegistry& reg, const std::string& key) {
  if (!reg.OpenKey(key, true)) throw ERegistryException("レジストリキー " + key + " を作成できませんでした");
}

}  // namespace

void AssociateExtension(TRegistry& reg, const std::string& E) {
  OpenOrRaise(reg, "\\" + E);
  std::string D = reg.ReadString("");
  if (D != kProgId) {
    reg.WriteString("", kProgId);
    if (!D.empty()) reg.WriteString(kBackup, D);
  }
  reg.CloseKey();
}

void RestoreAssociation(TRegistry& reg, const std::string& E) {
  if (!reg.OpenKey("\\" + E, false)) return;
  std::string D = reg.ReadString("");
  std::string B = reg.ReadString(kBackup);
  if (D == kProgId) {
    if (!B.empty()) {
      reg.WriteString("", B);
      reg.DeleteValue(kBackup);
      reg.CloseKey();
    } else {
      bool handlers = reg.KeyExists("ShellEx");
      if (handlers) {
        reg.WriteString("", "");
        reg.CloseKey();
      } else {
        reg.CloseKey();
        reg.DeleteKey("\\" + E);
      }
    }
  } else {
    if (!B.empty()) reg.DeleteValue(kBackup);
    reg.CloseKey();
  }
}

void RegisterShellExtension(const std::string& N, bool Register) {
  HMODULE lib = LoadLibraryA(arc::join_path(TargetDir, N).c_str());
  FARPROC entry = lib ? GetProcAddress(lib, Register ? "DllRegisterServer" : "DllUnregisterServer") : nullptr;
  if (!entry) {
    ErrorMsg("指定されたファイルは ActiveX サーバーではありません。");
  } else {
    using Fn = HRESULT(WINAPI*)();
    HRESULT r = reinterpret_cast<Fn>(reinterpret_cast<void*>(entry))();
    if (r != 0) ErrorMsg("シェルエクステンションの登録処理は失敗しました。");
  }
  if (lib) FreeLibrary(lib);
}

void RegisterSoundEvents() {
  static const char* const kEvents[][2] = {
      {"Schemes\\Apps\\Tovix", "Tovix"},
      {"Schemes\\Apps\\Tovix\\Open\\.Current", ""},
      {"Schemes\\Apps\\Tovix\\Close\\.Current", ""},
      {"Schemes\\Apps\\Tovix\\TX_ArcPack", "ファイルの圧縮"},
      {"Schemes\\Apps\\Tovix\\TX_ArcPack\\.Current", ""},
      {"Schemes\\Apps\\Tovix\\TX_ArcUnPack", "書庫の解凍"},
      {"Schemes\\Apps\\Tovix\\TX_ArcUnPack\\.Current", ""},
      {"EventLabels\\TX_ArcUnPack", "書庫の解凍"},
      {"EventLabels\\TX_ArcPack", "ファイルの圧縮"},
  };
  TRegistry reg(HKEY_CURRENT_USER);
  if (reg.OpenKeyReadOnly("\\AppEvents\\Schemes\\Apps\\Tovix") && !reg.ReadString("").empty()) return;
  reg.CloseKey();
  for (auto& e : kEvents) {
    OpenOrRaise(reg, std::string("\\AppEvents\\") + e[0]);
    reg.WriteString("", e[1]);
    reg.CloseKey();
  }
}

std::string GetShortPath(const std::string& path) {
  char buf[260] = {};
  DWORD n = GetShortPathNameA(path.c_str(), buf, sizeof buf);
  std::string s = n > 0 && n < sizeof buf ? std::string(buf) : path;
  // A volume without short names answers the long one; Explorer must not
  // split it at its blanks.
  if (s.find(' ') != std::string::npos) s = "\"" + s + "\"";
  return s;
}

TExeDlg::TExeDlg(TComponent* AOwner) : TForm(AOwner, "TExeDlg", bsDialog) {
  SetCaption("シェル/関連付け設定");
  PrepareDialog(this, 199, 185);
  ShellPack = new TCheckBox(this, this, "Tovix シェルエクステンション");
  ShellPack->SetBounds(10, 8, 185, 20);
  ShellPack->Hint =
      "選択ファイル数が多くても、エクスプローラのポップアップメニューから全選択ファイルを渡してTovixを起動できます。";
  ShellUnPack = new TCheckBox(this, this, "解凍シェルエクステンション");
  ShellUnPack->SetBounds(10, 30, 185, 20);
  ShellUnPack->Hint = "Tovixを起動せずエクスプローラのポップアップメニューから書庫の解凍が行えます。";
  ShellPack->ShowHint = true;
  ShellUnPack->ShowHint = true;
  auto box = [this](const char* caption, int x, int y) {
    auto* b = new TCheckBox(this, this, caption);
    b->SetBounds(x, y, 80, 20);
    return b;
  };
  LhaBox = box("Lha", 20, 60);
  ArjBox = box("Arj", 20, 82);
  ZipBox = box("Zip", 20, 104);
  BgaBox = box("Bga", 20, 126);
  TarBox = box("Tar", 108, 60);
  CabBox = box("Cab", 108, 82);
  RarBox = box("Rar", 108, 104);
  Button1 = new TButton(this, this, "次へ", mrOk);
  Button1->SetBounds(114, 152, 75, 25);
  Button1->SetDefault(true);
  ActiveControl = ShellPack;
  DoCreate();
}

TCheckBox* TExeDlg::GroupBox(int i) const {
  TCheckBox* const boxes[] = {LhaBox, ArjBox, ZipBox, TarBox, CabBox, RarBox, BgaBox};
  return boxes[i];
}

int TExeDlg::Execute() {
  return ShowModal();
}

void TForm1::SetupAssociations() {
  for (int i = 0; i < 7; ++i)
    if (ShellFlags & ExtGroups[i].bit) ExeDlg->GroupBox(i)->SetChecked(true);
  if (ShellExFlags & 1) ExeDlg->ShellPack->SetChecked(true);
  if (ShellExFlags & 2) ExeDlg->ShellUnPack->SetChecked(true);
  ExeDlg->Execute();
  if ((ShellExFlags & 1) && !ExeDlg->ShellPack->Checked()) RegisterShellExtension("tovix.dll", false);
  if ((ShellExFlags & 2) && !ExeDlg->ShellUnPack->Checked()) RegisterShellExtension("tovixu.dll", false);
  ShellExFlags = 0;
  ShellFlags = 0;
  {
    TRegistry reg(HKEY_CLASSES_ROOT);
    for (int i = 0; i < 7; ++i) {
      const TExtGroup& g = ExtGroups[i];
      if (ExeDlg->GroupBox(i)->Checked()) {
        for (const char* e : g.tie)
          if (e) AssociateExtension(reg, e);
        ShellFlags |= g.bit;
      } else {
        for (const char* e : g.restore)
          if (e) RestoreAssociation(reg, e);
      }
    }
    if (ShellFlags > 0) {
      std::string S = GetShortPath(TargetDir + "\\tovix.exe");
      OpenOrRaise(reg, std::string("\\") + kProgId + "\\DefaultIcon");
      reg.WriteString("", S + ",0");
      reg.CloseKey();
      OpenOrRaise(reg, std::string("\\") + kProgId + "\\shell\\open\\command");
      reg.WriteString("", S + " \"%1\"");
      reg.CloseKey();
    }
  }
  if (ExeDlg->ShellPack->Checked()) {
    RegisterShellExtension("tovix.dll", true);
    ShellExFlags |= 1;
  }
  if (ExeDlg->ShellUnPack->Checked()) {
    RegisterShellExtension("tovixu.dll", true);
    ShellExFlags |= 2;
  }
  TRegistry reg(HKEY_LOCAL_MACHINE);
  if (reg.OpenKey(kUninstallKey, true)) {
    try {
      reg.WriteInteger("Shell", ShellFlags);
      reg.WriteInteger("ShellEx", ShellExFlags);
    } catch (const ERegistryException&) {
    }
  }
}
