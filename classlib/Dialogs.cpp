#include "Dialogs.h"

#include <commdlg.h>

#include <vector>

#include "Forms.h"
#include "LateProc.h"
#include "text.h"

static std::string FilterText(const std::string& f) {
  std::string r = f;
  for (char& c : r)
    if (c == '|') c = '\0';
  r.push_back('\0');
  r.push_back('\0');
  return r;
}

bool TOpenDialog::Execute() { return Run(false); }

bool TOpenDialog::Run(bool save) {
  Files.Clear();
  std::string filter = FilterText(Filter);
  std::vector<char> buf(65536, '\0');
  lstrcpynA(buf.data(), FileName.c_str(), static_cast<int>(buf.size()));
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Application && Application->MainForm ? Application->MainForm->Handle() : nullptr;
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = static_cast<DWORD>(buf.size());
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  ofn.Flags = Options | OFN_EXPLORER | OFN_ENABLESIZING;
  static const auto saveName = LateProc<decltype(&GetSaveFileNameA)>("comdlg32.dll", "GetSaveFileNameA");
  static const auto openName = LateProc<decltype(&GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
  const auto run = save ? saveName : openName;
  BOOL ok = run && run(&ofn);
  if (!ok) return false;
  FilterIndex = static_cast<int>(ofn.nFilterIndex);
  const char* p = buf.data();
  std::string first = p;
  p += first.size() + 1;
  if ((Options & ofAllowMultiSelect) && *p) {
    const std::string& dir = first;
    while (*p) {
      std::string name = p;
      Files.Add(arc::join_path(dir, name));
      p += name.size() + 1;
    }
  } else {
    Files.Add(first);
  }
  FileName = Files[0];
  return true;
}

int ShowMessageBox(const std::string& text, UINT flags) {
  HWND owner = Application && Application->MainForm ? Application->MainForm->Handle() : nullptr;
  std::string title = Application ? Application->Title() : std::string();
  return MessageBoxA(owner, text.c_str(), title.c_str(), flags);
}

void ShowMessage(const std::string& text) { ShowMessageBox(text, MB_OK); }
