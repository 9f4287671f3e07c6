// Self-extractor stub: a ZIP archive is appended to this program; it asks for
// a folder (proposing its own) and extracts the archive there.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "text.h"
#include "winask.h"
#include "zipextract.h"

namespace {

const char kTitle[] = "ZIP 自己解凍";

int CALLBACK browse_init(HWND wnd, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageA(wnd, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

bool choose_folder(const std::string& proposed, std::string& out) {
  BROWSEINFOA bi{};
  char display[MAX_PATH] = {};
  bi.pszDisplayName = display;
  bi.lpszTitle = "解凍先のフォルダを選んでください。";
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  bi.lpfn = browse_init;
  bi.lParam = reinterpret_cast<LPARAM>(proposed.c_str());
  LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
  if (!pidl) return false;
  char path[MAX_PATH] = {};
  bool ok = SHGetPathFromIDListA(pidl, path) != FALSE;
  CoTaskMemFree(pidl);
  out = path;
  return ok && !out.empty();
}

class Hooks : public zipf::ExtractHooks {
 public:
  std::string text;
  void log(const std::string& line) override {
    if (text.size() < 4096) text += line + "\r\n";
  }
  zipf::Answer ask_overwrite(const std::string& path) override { return zipw::ask_overwrite(nullptr, path); }
  bool password(const zipf::Entry& e, bool, std::string& out) override {
    return zipw::ask_password(nullptr, e.name, out);
  }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  zipw::init_names();
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  auto f = fsio::open_read(self);
  zipf::Archive a;
  if (!f || zipf::read_archive(*f, a) != zipf::ReadStatus::ok || a.entries.empty()) {
    MessageBoxA(nullptr, "書庫が見つからないか、壊れています。", kTitle, MB_OK | MB_ICONERROR);
    return 2;
  }
  std::string proposed = arc::dir_part(self);
  if (proposed.size() > 3 && arc::ends_with_separator(proposed)) proposed.pop_back();
  std::string folder;
  CoInitialize(nullptr);
  bool chosen = choose_folder(proposed, folder);
  CoUninitialize();
  if (!chosen) return 1;
  zipf::ExtractOptions opt;
  opt.baseDir = folder;
  Hooks hooks;
  zipf::ExtractResult r = zipf::extract(*f, a, opt, hooks);
  bool ok = !r.aborted && r.errors == 0;
  std::string msg = ok ? "解凍しました。\r\n\r\n" + folder : "解凍できなかったファイルがあります。\r\n\r\n" + hooks.text;
  MessageBoxA(nullptr, msg.c_str(), kTitle, MB_OK | (ok ? MB_ICONINFORMATION : MB_ICONWARNING));
  return ok ? 0 : 1;
}
