// Settings of the main window: load, save, the reloads another instance
// asks for, and the small view commands.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "Disp.h"
#include "Registry.h"
#include "cmdline.h"
#include "main.h"

namespace {

const char* const kDesignListFont = "ＭＳ Ｐゴシック";
const TColor kDefaultListColor = clWindow;

std::string ColorText(TColor c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(c));
  return buf;
}

// Colours are stored as text; anything that is not a number keeps the default.
TColor ReadColor(const TRegIniFile& ini, const char* section, const char* ident, TColor def) {
  std::string s = ini.ReadString(section, ident, "");
  int v = 0;
  if (s.empty() || !TryStrToIntHex(s, v)) return def;
  // System colours beyond the known indexes would draw black.
  if (v < 0 && (static_cast<unsigned>(v) & 0x7FFFFF00u) != 0) return def;
  if (v < 0 && (v & 0xFF) > COLOR_MENUBAR) return def;
  if (v >= 0 && v > 0xFFFFFF) return def;
  return v;
}

int ReadRange(const TRegIniFile& ini, const char* section, const char* ident, int def, int lo, int hi) {
  int v = ini.ReadInteger(section, ident, def);
  return v < lo || v > hi ? def : v;
}

const char* const kColumnKeys[5] = {"NameWidth", "SizeWidth", "DateWidth", "RateWidth", "ModeWidth"};
const int kColumnDefaults[5] = {100, 80, 104, 48, 40};

// The table's defaults: the initial values of the settings.
const std::vector<TSettingRef>& Defaults() {
  static TTovixSettings settings;
  static bool singleInstance = false;
  static const std::vector<TSettingRef> table = SettingTable(settings, singleInstance);
  return table;
}

void ReadSetting(const TRegIniFile& ini, const TSettingRef& r, const TSettingRef& d) {
  if (r.Flag) {
    *r.Flag = ini.ReadBool(r.Section, r.Name, *d.Flag);
  } else if (r.Number) {
    const int def = *d.Number + r.Offset;
    int v = ini.ReadInteger(r.Section, r.Name, def);
    if (r.Lo <= r.Hi && (v < r.Lo || v > r.Hi)) v = def;
    *r.Number = v - r.Offset;
  } else {
    *r.Text = ini.ReadString(r.Section, r.Name, *d.Text);
  }
}

// Every table value, or only those a reload takes.
void ReadTable(const TRegIniFile& ini, const std::vector<TSettingRef>& live, bool reloadOnly) {
  const std::vector<TSettingRef>& defaults = Defaults();
  for (size_t i = 0; i < live.size(); ++i)
    if (!reloadOnly || live[i].Reload) ReadSetting(ini, live[i], defaults[i]);
}

// Non-empty values name1..name5, in order.
void ReadFive(const TRegIniFile& ini, const char* section, const char* name, TStrings& list) {
  list.Clear();
  for (int i = 1; i <= 5; ++i) {
    std::string v = ini.ReadString(section, std::string(name) + std::to_string(i), "");
    if (!v.empty()) list.Add(v);
  }
}

void WriteFive(TRegIniFile& ini, const char* section, const char* name, const TStrings* list) {
  int n = list ? (list->Count() < 5 ? list->Count() : 5) : 0;
  for (int i = 1; i <= 5; ++i) ini.WriteString(section, std::string(name) + std::to_string(i), i <= n ? (*list)[i - 1] : "");
}

}  // namespace

const std::vector<TSettingRef>& TVantrelbyHalvek::SettingRefs() {
  if (FSettingRefs.empty()) FSettingRefs = SettingTable(Settings, SingleInstance);
  return FSettingRefs;
}

std::vector<TSettingRef> SettingTable(TTovixSettings& s, bool& singleInstance) {
  auto& u = s.UnPack;
  auto& p = s.Pack;
  auto& o = s.Other;
  const bool R = true;  // taken by a reload
  auto flag = [](const char* sec, const char* name, bool& b, bool reload = false) {
    TSettingRef r{sec, name};
    r.Flag = &b;
    r.Reload = reload;
    return r;
  };
  auto number = [](const char* sec, const char* name, int& n, int lo, int hi, bool reload = false, int offset = 0) {
    TSettingRef r{sec, name};
    r.Number = &n;
    r.Lo = lo;
    r.Hi = hi;
    r.Reload = reload;
    r.Offset = offset;
    return r;
  };
  auto text = [](const char* sec, const char* name, std::string& t, bool reload = false) {
    TSettingRef r{sec, name};
    r.Text = &t;
    r.Reload = reload;
    return r;
  };
  return {
      flag("Pos", "SaveFolder", s.Pos.SaveFolder),
      flag("List", "AutoSize", s.List.AutoSize, R),
      text("List", "ViewProg", s.List.ViewProg, R),
      flag("UnPack", "UnPackFolder", u.UnPackFolder, R),
      flag("UnPack", "NoTimeCheck", u.NoTimeCheck, R),
      flag("UnPack", "MakeFolder", u.MakeFolder, R),
      flag("UnPack", "DelFolderNum", u.DelFolderNum, R),
      flag("UnPack", "All", u.All, R),
      flag("UnPack", "OpenFolder", u.OpenFolder, R),
      flag("UnPack", "FileNoFolder", u.FileNoFolder, R),
      flag("UnPack", "TarAttr", u.TarAttr, R),
      flag("UnPack", "HideDlg", u.HideDlg, R),
      number("Pack", "PackStyle", p.PackStyle, 5, 7, R, 5),
      flag("Pack", "PackFolder", p.PackFolder, R),
      flag("Pack", "NoTimeCheck", p.NoTimeCheck, R),
      flag("Pack", "All", p.All, R),
      flag("Pack", "SetDate", p.SetDate, R),
      flag("Pack", "Exit", p.Exit, R),
      flag("Pack", "AddFolder", p.AddFolder, R),
      number("Pack", "AutoStyle", p.AutoStyle, 1, 2, R, 1),
      number("Pack", "Zip", p.Zip, 1, 9, R),
      number("Pack", "CabStyle", p.CabStyle, 0, 1, R),
      number("Pack", "CabLevel", p.CabLevel, 15, 21, R),
      flag("Pack", "CabMkBat", p.CabMkBat, R),
      flag("Pack", "Sort", p.Sort, R),
      flag("Pack", "HideDlg", p.HideDlg, R),
      flag("Pack", "TGZ", p.TGZ),
      flag("Pack", "lh0", p.lh0),
      number("Pack", "IZip", p.IZip, 0, 9),
      flag("Other", "LzhDelete", o.LzhDelete, R),
      flag("Other", "ExeDelete", o.ExeDelete, R),
      flag("Other", "Expand", o.Expand, R),
      text("UnPack", "DefFolder", u.DefFolder, R),
      flag("UnPack", "ArcFolder", u.ArcFolder, R),
      text("Pack", "DefFolder", p.DefFolder, R),
      flag("Pack", "ArcFolder", p.ArcFolder, R),
      number("Pack", "Filter", p.Filter, 1, 11),
      flag("Other", "2Err", singleInstance),
      flag("Other", "icon", o.icon),
  };
}

void TVantrelbyHalvek::LoadPlugins(TRegIniFile& ini) {
  TextExtensions->SetCommaText(ini.ReadString("Ext", "Text", ".txt,.doc,.pas,.dpr,.c,.h,.cpp,.rtf,.htm,.html"));
  ImageExtensions->Clear();
  ImagePlugins->Clear();
  ImageExtensions->Add(".bmp");
  ImageExtensions->Add(".ico");
  int n = ReadRange(ini, "Ext", "Grph", 0, 0, 10000);
  TStringList items;
  for (int k = 0; k < n; ++k) {
    items.SetCommaText(ini.ReadString("Ext", std::string("G") + std::to_string(k), ""));
    if (items.Count() < 2) continue;
    const std::string path = items[items.Count() - 1];
    for (int i = 0; i + 1 < items.Count(); ++i) {
      ImageExtensions->Add(items[i]);
      ImagePlugins->Add(path);
    }
  }
}

void TVantrelbyHalvek::CopyListFontToTree(const TFont& font) {
  TFont f = TreeView1->Font();
  f.SetName(font.Name());
  f.SetHeight(font.Height());
  f.SetStyle(font.Style());
  f.SetColor(font.Color());
  TreeView1->SetFont(f);
}

void TVantrelbyHalvek::ApplyListFont(bool atLoad) {
  TFont& lf = ListView1->Font();
  CopyListFontToTree(lf);
  TreeView1->SetColor(ListView1->Color());
  TFont mf = Memo1->Font();
  mf.SetColor(lf.Color());
  mf.SetHeight(lf.Height());
  if (atLoad) {
    if (EfontMnu->Checked()) {
      mf.SetName("Courier New");
      mf.SetCharset(ANSI_CHARSET);
    } else {
      mf.SetName("ＭＳ ゴシック");
      mf.SetCharset(SHIFTJIS_CHARSET);
    }
  }
  Memo1->SetFont(mf);
  Memo1->SetColor(ListView1->Color());
  if (DispDlg) {
    LOGFONTA log{};
    GetObjectA(lf.Handle(), sizeof log, &log);
    DispDlg->SetMemoFont(log);
    DispDlg->SetMemoColor(ColorToRGB(ListView1->Color()));
    DispDlg->SetMemoTextColor(ColorToRGB(lf.Color()));
  }
}

// Reads the list's font and colour values (at load and on reload).
static void ReadListFont(const TRegIniFile& ini, TListView* lv) {
  TFont f = lv->Font();
  f.SetName(ini.ReadString("Font", "Name", kDesignListFont));
  int size = ini.ReadInteger("Font", "Size", 9);
  f.SetSize(size >= 1 && size <= 200 ? size : 9);
  int style = ini.ReadInteger("Font", "Style", 0);
  if (style >= 0 && style <= 3) f.SetStyle(style);
  f.SetColor(ReadColor(ini, "Font", "Color", clBlack));
  lv->SetFont(f);
  lv->SetColor(ReadColor(ini, "List", "Color", kDefaultListColor));
}

std::string SettingsKeyName() { return "software\\halvek\\Tovix"; }

void TVantrelbyHalvek::LoadSettings() {
  ReadSettings();
  PlaceWindow();
  ReadCommandLine(GetCommandLineA());
}

void TVantrelbyHalvek::ReadSettings() {
  {
    TRegIniFile ini(SettingsKeyName());
    // Pos
    int top = ini.ReadInteger("Pos", "Top", 0), left = ini.ReadInteger("Pos", "Left", 0);
    int height = ini.ReadInteger("Pos", "Height", 400), width = ini.ReadInteger("Pos", "Width", 600);
    if (height <= 0 || height > 20000) height = 400;
    if (width <= 0 || width > 20000) width = 600;
    if (top < -20000 || top > 20000) top = 0;
    if (left < -20000 || left > 20000) left = 0;
    SetBounds(left, top, width, height);
    PageControl1->SetWidth(ReadRange(ini, "Pos", "FWidth", 210, 0, 20000));
    bool tb = ini.ReadBool("Pos", "ToolBar", true);
    ToolB1->SetChecked(tb);
    ToolB2->SetChecked(tb);
    ToolBar1->SetVisible(tb);
    bool sb = ini.ReadBool("Pos", "StatusBar", true);
    StatusB1->SetChecked(sb);
    StatusBar1->SetVisible(sb);
    ToolBarLayout = ini.ReadString("Pos", "ToolBarSet", "");
    // List
    D_List->SetChecked(!ini.ReadBool("List", "ReportMode", true));
    D_Rep->SetChecked(!D_List->Checked());
    for (int i = 0; i < 5; ++i)
      ListView1->SetColumnWidth(i, ReadRange(ini, "List", kColumnKeys[i], kColumnDefaults[i], 0, 5000));
    // Font, then List\Color
    ReadListFont(ini, ListView1);
    LastExtractDir = ini.ReadString("UnPack", "ExDir", "");
    WrapMnu->SetChecked(ini.ReadBool("Other", "wrap", false));
    // The table's values.
    ReadTable(ini, SettingRefs(), false);
    ReadFive(ini, "Search", "Folder", *SearchFolders);
    SearchFlag = ini.ReadInteger("Search", "Flag", 1);
    ReadFive(ini, "Old", "Arc", *RecentArchives);
    LoadPlugins(ini);
  }
  ListView1->SetViewStyle(D_Rep->Checked() ? vsReport : vsList);
  ApplyListFont(true);
  TakeSharedStateFromClipboard();
  if (!ToolBarLayout.empty()) ApplyToolBarOrder(ToolBarLayout);
  BuildRecentMenu();
  ApplyMemoWrap();
  FStartAction = 0;
  FDoruEnabled = Settings.Pack.AutoStyle == 1;
  if (Settings.Pack.PackFolder && Settings.Pack.AddFolder) {
    NewFolder1->SetEnabled(true);
    NewFolder2->SetEnabled(true);
    NewFolderBtn1->SetEnabled(true);
  }
  Next1->SetEnabled(!SingleInstance);
  NextBtn1->SetEnabled(!SingleInstance);
}

void TVantrelbyHalvek::PlaceWindow() {
  int l = Left(), t = Top(), w = Width(), h = Height();
  if (RunningWindow) {
    // The other window's normal place: a minimized one sits far off-screen.
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    RECT r{};
    if (GetWindowPlacement(RunningWindow, &wp)) {
      r = wp.rcNormalPosition;
      if (!(GetWindowLongA(RunningWindow, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
        OffsetRect(&r, WorkArea.left, WorkArea.top);
    } else {
      GetWindowRect(RunningWindow, &r);
    }
    l = r.left + 30;
    t = r.top + 30;
  }
  if (l + w > WorkArea.right || t + h > WorkArea.bottom) {
    l = WorkArea.left;
    t = WorkArea.top;
  }
  SetBounds(l, t, w, h);
}

void TVantrelbyHalvek::SaveSettings() {
  TRegIniFile ini(SettingsKeyName());
  if (WindowState() != wsMaximized) {
    // The restored bounds, also when closed while minimized.
    RECT r = NormalBounds();
    if (!(GetWindowLongA(Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) OffsetRect(&r, WorkArea.left, WorkArea.top);
    ini.WriteInteger("Pos", "Top", r.top);
    ini.WriteInteger("Pos", "Left", r.left);
    ini.WriteInteger("Pos", "Height", r.bottom - r.top);
    ini.WriteInteger("Pos", "Width", r.right - r.left);
  }
  ini.WriteInteger("Pos", "FWidth", PageControl1->ActivePageIndex() == 0 ? PageControl1->Width() : ListView1->Width());
  ini.WriteBool("Pos", "ToolBar", ToolB1->Checked());
  ini.WriteBool("Pos", "StatusBar", StatusB1->Checked());
  ini.WriteString("Pos", "ToolBarSet", ToolBarLayout);

  ini.WriteBool("List", "ReportMode", D_Rep->Checked());
  for (int i = 0; i < 5; ++i) ini.WriteInteger("List", kColumnKeys[i], ListView1->ColumnWidth(i));

  TFont& f = ListView1->Font();
  ini.WriteString("Font", "Name", f.Name());
  ini.WriteInteger("Font", "Size", f.Size());
  ini.WriteInteger("Font", "Style", ((f.Style() & fsBold) ? 1 : 0) + ((f.Style() & fsItalic) ? 2 : 0));
  ini.WriteString("Font", "Color", ColorText(f.Color()));
  ini.WriteString("List", "Color", ColorText(ListView1->Color()));
  ini.WriteString("UnPack", "ExDir", LastExtractDir);
  ini.WriteBool("Other", "wrap", WrapMnu->Checked());
  for (const TSettingRef& r : SettingRefs()) {
    if (r.Flag) ini.WriteBool(r.Section, r.Name, *r.Flag);
    else if (r.Number) ini.WriteInteger(r.Section, r.Name, *r.Number + r.Offset);
    else ini.WriteString(r.Section, r.Name, *r.Text);
  }

  WriteFive(ini, "Search", "Folder", SearchFolders);
  ini.WriteInteger("Search", "Flag", SearchFlag);
  WriteFive(ini, "Old", "Arc", RecentArchives);

  ini.WriteString("Ext", "Text", TextExtensions ? TextExtensions->GetCommaText() : std::string());
  // Neighbouring extensions of one plug-in share a value; every item is
  // quoted when needed so a path with blanks reads back whole.
  int groups = 0;
  TStringList current;
  std::string previous;
  auto flush = [&] {
    if (current.Count() == 0) return;
    current.Add(previous);
    ini.WriteString("Ext", std::string("G") + std::to_string(groups++), current.GetCommaText());
    current.Clear();
  };
  if (ImagePlugins && ImageExtensions)
    for (int i = 0; i < ImagePlugins->Count() && i + 2 < ImageExtensions->Count(); ++i) {
      const std::string& plugin = (*ImagePlugins)[i];
      if (current.Count() && plugin == previous) {
        current.Add((*ImageExtensions)[i + 2]);
        continue;
      }
      flush();
      current.Add((*ImageExtensions)[i + 2]);
      previous = plugin;
    }
  flush();
  ini.WriteInteger("Ext", "Grph", groups);
}

void TVantrelbyHalvek::ReloadOptions() {
  {
    TRegIniFile ini(SettingsKeyName());
    ReadListFont(ini, ListView1);
    ReadTable(ini, SettingRefs(), true);
  }
  ApplyListFont(false);
}

void TVantrelbyHalvek::ReloadToolBar() {
  {
    TRegIniFile ini(SettingsKeyName());
    ToolBarLayout = ini.ReadString("Pos", "ToolBarSet", "");
  }
  ApplyToolBarOrder(ToolBarLayout);
}

void TVantrelbyHalvek::ReloadViewExt() {
  TRegIniFile ini(SettingsKeyName());
  LoadPlugins(ini);
}

void TVantrelbyHalvek::ApplyMemoWrap() {
  Memo1->SetWordWrap(WrapMnu->Checked());
  Memo1->SetScrollBars(WrapMnu->Checked() ? ssVertical : ssBoth);
}

void TVantrelbyHalvek::StatusB1Click(TObject* Sender) {
  StatusB1->SetChecked(!StatusB1->Checked());
  StatusBar1->SetVisible(StatusB1->Checked());
}

void TVantrelbyHalvek::D_RepClick(TObject* Sender) {
  D_Rep->SetChecked(true);
  ListView1->SetViewStyle(vsReport);
}

void TVantrelbyHalvek::D_ListClick(TObject* Sender) {
  D_List->SetChecked(true);
  ListView1->SetViewStyle(vsList);
}

void TVantrelbyHalvek::WrapMnuClick(TObject* Sender) {
  WrapMnu->SetChecked(!WrapMnu->Checked());
  ApplyMemoWrap();
}

void TVantrelbyHalvek::EfontMnuClick(TObject* Sender) {
  EfontMnu->SetChecked(!EfontMnu->Checked());
  TFont f = Memo1->Font();
  if (EfontMnu->Checked()) {
    f.SetName("Courier New");
    f.SetCharset(ANSI_CHARSET);
  } else {
    f.SetName("ＭＳ ゴシック");
    f.SetCharset(SHIFTJIS_CHARSET);
  }
  Memo1->SetFont(f);
}

void TVantrelbyHalvek::KC1Click(TObject* Sender) {
  if (!CustomizeToolBar()) return;
  SaveSettings();
  PostMessageA(HWND_BROADCAST, WM_TOVIX_CHANGETOOLBAR, reinterpret_cast<WPARAM>(Handle()), 0);
}

void TVantrelbyHalvek::KA1Click(TObject* Sender) {
  ShellExecuteA(Handle(), "open", "rundll32.exe", "shell32.dll,Control_RunDLL Appwiz.cpl", "", SW_SHOW);
}

void TVantrelbyHalvek::N15Click(TObject* Sender) {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  GetVersionExA(&vi);
  bool newer = vi.dwMajorVersion > 4 || vi.dwMinorVersion >= 10;
  ShellExecuteA(Handle(), "open", "rundll32.exe",
                newer ? "shell32.dll,Control_RunDLL Mmsys.cpl サウンド" : "shell32.dll,Control_RunDLL Mmsys.cpl ｻｳﾝﾄﾞ", "",
                SW_SHOW);
}

// ---- command line and DDE

static bool ArchiveTest(const std::string& path) { return IsArchiveExtension(path, KeyboardShiftState() & ssShift); }

bool TVantrelbyHalvek::IsArchiveFile(const std::string& path) { return ArchiveTest(path); }

void TVantrelbyHalvek::OpenPendingArchive(const std::string& path, bool list) {
  Archive1->SetArcName(path);
  AddRecentArchive();
  if (list) ExecStartAction(1);
}

void TVantrelbyHalvek::ReadCommandLine(const std::string& commandLine) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (!args.empty()) args.erase(args.begin());
  std::string archive;
  TStartKind k = CommandLineRequest(args, *FPendingFiles, ArchiveTest, archive);
  if (k == skOpen) {
    OpenPendingArchive(archive, false);
    FStartAction = 1;
  } else if (k == skPack) {
    FExitAfterPack = Settings.Pack.Exit;
    if (Settings.Pack.Exit) {
      // Packed now, before the window shows: the window activated when the
      // save dialog closes must not start the same packing again.
      FStartAction = 0;
      PackPending();
      FQuitAtStart = true;
    } else {
      FStartAction = 2;
    }
  }
}

void TVantrelbyHalvek::OpenArcExecuteMacro(TObject* Sender, TStrings& Msg) {
  std::string line = Msg.Count() ? Msg[0] : std::string();
  std::string archive;
  TStartKind k = MacroRequest(line, *FPendingFiles, ArchiveTest, archive);
  if (k == skOpen) {
    OpenPendingArchive(archive, true);
  } else if (k == skPack) {
    FExitAfterPack = false;
    PackPending();
  }
}
