#include "extd.h"

#include <windows.h>

#include "tabXP.h"
#include "text.h"

namespace {

std::string Lower(std::string s) {
  if (!s.empty()) CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

std::string Dotted(const std::string& e) { return !e.empty() && e[0] == '.' ? e : std::string(1, '.').append(e); }

std::string Joined(const TStrings& l, const char* sep) {
  std::string s;
  for (int i = 0; i < l.Count(); ++i) s += (i ? sep : "") + l[i];
  return s;
}

bool Warn(HWND owner, const char* text) {
  MessageBoxA(owner, text, "Tovix", MB_ICONWARNING);
  return false;
}

}  // namespace

std::vector<std::string> PluginGroupLines(const TStringList& Images, const TStringList& Plugins) {
  std::vector<std::string> lines;
  std::string plugin, exts;
  bool pending = false;
  for (int i = 0; i < Plugins.Count() && i + 2 < Images.Count(); ++i) {
    if (pending && Plugins[i] == plugin) {
      exts += "," + Images[i + 2];
      continue;
    }
    if (pending) lines.push_back(exts + " = " + plugin);
    plugin = Plugins[i];
    exts = Images[i + 2];
    pending = true;
  }
  if (pending) lines.push_back(exts + " = " + plugin);
  return lines;
}

std::string PatternExtensions(const std::string& Patterns) {
  std::string out;
  for (char c : Patterns) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) out += c;
    else if (c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
    else if (c == ';') out += ',';
  }
  return out;
}

std::string PluginStoredName(const std::string& File, const std::string& SystemDir, const std::string& ProgramDir) {
  const std::string dir = arc::without_separator(arc::file_dir(File));
  if (lstrcmpiA(dir.c_str(), SystemDir.c_str()) == 0 || lstrcmpiA(dir.c_str(), ProgramDir.c_str()) == 0)
    return Lower(File.substr(dir.size() + 1));
  return Lower(File);
}

TExtDlg::TExtDlg(TComponent* AOwner) : TForm(AOwner, "TExtDlg", bsDialog) {
  Name = "ExtDlg";
  SetCaption("拡張子設定");
  SetClientSize(308, 213);
  TFont font;
  font.SetName("MS UI Gothic");
  font.SetHeight(-12);
  SetFont(font);
  char sys[MAX_PATH] = {};
  GetSystemDirectoryA(sys, MAX_PATH);
  SystemDir = sys;

  PageControl1 = new TPageControl(this, this);
  PageControl1->SetBounds(4, 4, 300, 170);
  TabSheet1 = new TXPTabSheet(this, PageControl1, "表示");
  TabSheet2 = new TXPTabSheet(this, PageControl1, "画像");
  auto place = [&](TControl* c, const char* name, int x, int y, int w, int h) {
    c->Name = name;
    c->SetBounds(x, y, w, h);
    c->SetFont(font);
  };
  Label3 = new TLabel(this, TabSheet1, "拡張子");
  place(Label3, "Label3", 8, 10, 40, 14);
  Edit1 = new TEdit(this, TabSheet1);
  place(Edit1, "Edit1", 52, 6, 100, 21);
  Button1 = new TButton(this, TabSheet1, "追加");
  place(Button1, "Button1", 160, 6, 60, 22);
  Button2 = new TButton(this, TabSheet1, "削除");
  place(Button2, "Button2", 224, 6, 60, 22);
  ListBox1 = new TListBox(this, TabSheet1);
  place(ListBox1, "ListBox1", 8, 34, 276, 100);
  Label1 = new TLabel(this, TabSheet2, "拡張子");
  place(Label1, "Label1", 8, 10, 40, 14);
  Edit2 = new TEdit(this, TabSheet2);
  place(Edit2, "Edit2", 52, 6, 100, 21);
  Label2 = new TLabel(this, TabSheet2, "plug-in");
  place(Label2, "Label2", 4, 36, 47, 14);
  Edit3 = new TEdit(this, TabSheet2);
  place(Edit3, "Edit3", 52, 32, 100, 21);
  UpDnButton1 = new TUpDnButton(this, TabSheet2);
  place(UpDnButton1, "UpDnButton1", 0, 0, 15, 21);
  UpDnButton1->SetAssociate(Edit3);
  Button3 = new TButton(this, TabSheet2, "追加");
  place(Button3, "Button3", 176, 6, 60, 22);
  Button4 = new TButton(this, TabSheet2, "削除");
  place(Button4, "Button4", 176, 32, 60, 22);
  ListBox2 = new TListBox(this, TabSheet2);
  place(ListBox2, "ListBox2", 8, 60, 276, 76);
  OKBtn = new TButton(this, this, "OK", mrOk);
  place(OKBtn, "OKBtn", 148, 182, 75, 25);
  OKBtn->SetDefault(true);
  CancelBtn = new TButton(this, this, "キャンセル", mrCancel);
  place(CancelBtn, "CancelBtn", 228, 182, 75, 25);
  CancelBtn->SetCancel(true);
  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->Name = "OpenDialog1";
  OpenDialog1->Filter = "Susie 32bit plug-in|*.spi";
  OpenDialog1->Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist | ofEnableSizing;

  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  Button3->OnClick = [this](TObject* s) { Button3Click(s); };
  Button4->OnClick = [this](TObject* s) { Button4Click(s); };
  UpDnButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
  // Help topics for F1.
  const std::pair<TControl*, int> help[] = {{Edit1, 7},     {Button1, 27}, {Button2, 30}, {Edit2, 136},
                                            {Edit3, 137},   {ListBox2, 142}, {Button3, 27}, {Button4, 30}};
  for (const auto& [control, context] : help) control->HelpContext = context;
  ListBox2->HookWindowProc([this](TMessage& m) {
    if (m.Msg != WM_LBUTTONDBLCLK) return false;
    ListBox2DblClick(ListBox2);
    return false;
  });
  ActiveControl = Edit1;
}

void TExtDlg::FormShow() {
  ListBox1->ClearItems();
  for (int i = 0; i < TextList.Count(); ++i) ListBox1->AddItem(TextList[i]);
  ListBox2->ClearItems();
  for (const std::string& line : PluginGroupLines(ImageList, PluginList)) ListBox2->AddItem(line);
}

void TExtDlg::Button1Click(TObject*) {
  if (Edit1->Text().empty()) {
    Warn(Handle(), "拡張子が設定されていません.");
    return;
  }
  const std::string ext = Dotted(Lower(Edit1->Text()));
  ListBox1->AddItem(ext);
  TextList.Add(ext);
}

void TExtDlg::Button2Click(TObject*) {
  const int i = ListBox1->ItemIndex();
  if (i < 0) return;
  ListBox1->DeleteItem(i);
  if (i < TextList.Count()) TextList.Delete(i);
}

void TExtDlg::Button3Click(TObject*) {
  if (Edit2->Text().empty()) {
    Warn(Handle(), "拡張子が設定されていません.");
    return;
  }
  if (Edit3->Text().empty()) {
    Warn(Handle(), "plug-inが設定されていません.");
    return;
  }
  TStringList pieces;
  pieces.SetCommaText(Lower(Edit2->Text()));
  TStringList added;
  for (int i = 0; i < pieces.Count(); ++i)
    if (!pieces[i].empty()) added.Add(Dotted(pieces[i]));
  if (added.Count() == 0) {
    Warn(Handle(), "拡張子が設定されていません.");
    return;
  }
  const std::string plugin = Lower(Edit3->Text());
  for (int i = 0; i < added.Count(); ++i) {
    ImageList.Add(added[i]);
    PluginList.Add(plugin);
  }
  ListBox2->AddItem(Joined(added, ",") + " = " + plugin);
}

void TExtDlg::Button4Click(TObject*) {
  const int sel = ListBox2->ItemIndex();
  if (sel < 0) return;
  // The lines are the plug-in entries in order, one run each: the chosen
  // line's entries start after those of the lines above it. Looking its
  // extensions up by name would take another group's entry when an
  // extension stands in two groups.
  auto entries = [](const std::string& line) {
    TStringList pieces;
    pieces.SetCommaText(line.substr(0, line.find(" = ")));
    return pieces.Count();
  };
  int at = 2;  // past the fixed ".bmp" and ".ico"
  for (int k = 0; k < sel; ++k) at += entries(ListBox2->Item(k));
  const int n = entries(ListBox2->Item(sel));
  ListBox2->DeleteItem(sel);
  for (int k = 0; k < n && at < ImageList.Count(); ++k) {
    ImageList.Delete(at);
    if (at - 2 < PluginList.Count()) PluginList.Delete(at - 2);
  }
}

void TExtDlg::SpeedButton1Click(TObject*) {
  if (!OpenDialog1->Execute()) return;
  std::string exe(MAX_PATH, '\0');
  exe.resize(GetModuleFileNameA(nullptr, exe.data(), MAX_PATH));
  const std::string programDir = arc::without_separator(arc::file_dir(exe));
  const std::string name = PluginStoredName(OpenDialog1->FileName, SystemDir, programDir);
  Edit3->SetText(name);
  HMODULE lib = LoadLibraryA(name.c_str());
  if (!lib) return;
  using TGetPluginInfo = int(WINAPI*)(int, LPSTR, int);
  if (auto info = reinterpret_cast<TGetPluginInfo>(reinterpret_cast<void*>(GetProcAddress(lib, "GetPluginInfo")))) {
    std::string exts;
    char buf[513];
    for (int n = 2; n < 200; n += 2) {
      buf[0] = buf[512] = '\0';
      if (info(n, buf, 512) == 0) break;
      buf[512] = '\0';
      if (!exts.empty()) exts += ',';
      exts += PatternExtensions(buf);
    }
    Edit2->SetText(exts);
  }
  FreeLibrary(lib);
}

void TExtDlg::ListBox2DblClick(TObject*) {
  const int sel = ListBox2->ItemIndex();
  if (sel < 0) return;
  const std::string line = ListBox2->Item(sel);
  // All after " = " is the plug-in, so a path with blanks stays whole.
  const size_t eq = line.find(" = ");
  const std::string name = eq == std::string::npos ? line : line.substr(eq + 3);
  HMODULE lib = LoadLibraryA(name.c_str());
  if (!lib) {
    MessageBoxA(Handle(), (name + " が見つかりません。").c_str(), "tovix", MB_ICONERROR);
    return;
  }
  using TConfigurationDlg = int(WINAPI*)(HWND, int);
  if (auto dlg = reinterpret_cast<TConfigurationDlg>(reinterpret_cast<void*>(GetProcAddress(lib, "ConfigurationDlg"))))
    dlg(Handle(), 1);
  FreeLibrary(lib);
}

int TExtDlg::Execute() {
  FormShow();
  // Centred on the mouse, kept inside the work area.
  POINT pt;
  GetCursorPos(&pt);
  RECT wa;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0);
  int l = pt.x - Width() / 2, t = pt.y - Height() / 2;
  if (l < wa.left) l = wa.left;
  if (t < wa.top) t = wa.top;
  if (l + Width() > wa.right) l = wa.right - Width();
  if (t + Height() > wa.bottom) t = wa.bottom - Height();
  SetBounds(l, t, Width(), Height());
  return ShowModal();
}
