// The self-extracting program: finds the LHA archive appended to itself and
// extracts it into a folder the user confirms (its own folder at first).
// "/D=folder" extracts there without any window, for scripts and tests.
// The second kind reads the archive's "$" setting file for its title and
// proposed folder, and does not extract that file.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "archive.h"
#include "text.h"

namespace {

std::string g_initial;

int CALLBACK browse_proc(HWND w, UINT msg, LPARAM, LPARAM) {
  if (msg == BFFM_INITIALIZED && !g_initial.empty())
    SendMessageA(w, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(g_initial.c_str()));
  return 0;
}

bool ask_folder(const std::string& title, std::string& folder) {
  g_initial = folder;
  char display[MAX_PATH] = {};
  BROWSEINFOA bi{};
  bi.pszDisplayName = display;
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  bi.lpfn = browse_proc;
  LPITEMIDLIST id = SHBrowseForFolderA(&bi);
  if (!id) return false;
  char path[MAX_PATH] = {};
  bool ok = SHGetPathFromIDListA(id, path) != 0;
  CoTaskMemFree(id);
  if (ok) folder = path;
  return ok;
}

std::string expand(const std::string& s) {
  char out[MAX_PATH * 2] = {};
  DWORD n = ExpandEnvironmentStringsA(s.c_str(), out, sizeof out);
  return n && n <= sizeof out ? std::string(out) : s;
}

// "$Key=value" lines of the setting file.
std::string setting(const std::string& text, const std::string& key) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string head = "$" + key + "=";
    if (line.compare(0, head.size(), head) == 0) return line.substr(head.size());
    pos = end + 1;
  }
  return {};
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string args = cmdLine ? cmdLine : "";
  bool quiet = false;
  std::string dest;
  for (auto& t : arc::tokenize(args)) {
    if (t.text.size() > 3 && (t.text.compare(0, 3, "/D=") == 0 || t.text.compare(0, 3, "/d=") == 0)) {
      dest = t.text.substr(3);
      quiet = true;
    }
  }
  lha::Archive a;
  if (lha::open_archive(self, a) != lha::OpenResult::Ok || a.sfxStart == 0) {
    if (!quiet) MessageBoxA(nullptr, "書庫が見つかりません。", "Error", MB_ICONERROR);
    return 2;
  }
  bool folders = (a.sfxOptions & lha::kSfxKeepFolders) != 0;
  bool second = (a.sfxOptions & lha::kSfxSecondKind) != 0;
  std::string title = "展開先を指定して下さい。";
  if (dest.empty()) {
    dest = arc::dir_part(self);
    if (second) {
      for (auto& e : a.entries) {
        if (e.path != "$" || e.dir) continue;
        std::string text;
        lha::decode_entry(*a.file, e, [&](const uint8_t* p, size_t n) {
          text.append(reinterpret_cast<const char*>(p), n);
          return true;
        }, 1 << 16);
        if (auto t = setting(text, "WindowTitle"); !t.empty()) title = t;
        if (auto d = setting(text, "InstallDir"); !d.empty()) dest = expand(d);
      }
    }
    CoInitialize(nullptr);
    if (!ask_folder(title, dest)) return 1;
  }
  while (dest.size() > 3 && arc::ends_with_separator(dest)) dest.pop_back();
  fsio::Placer placer;
  if (!placer.make_dirs(dest)) {
    if (!quiet) MessageBoxA(nullptr, "フォルダが作成できませんでした。", "Error", MB_ICONERROR);
    return 2;
  }
  int failed = a.damaged ? 1 : 0;
  for (auto& e : a.entries) {
    if (e.link || (second && e.path == "$") || (e.dir && e.path == ".")) continue;
    auto rel = arc::safe_relative(e.path);
    if (!rel) {
      ++failed;
      continue;
    }
    if (e.dir) {
      if (folders) placer.make_dirs(fsio::join(dest, *rel));
      continue;
    }
    std::string out = folders ? *rel : arc::base_name(*rel);
    std::string target = fsio::join(dest, out);
    std::string parent = arc::dir_part(target);
    if (!parent.empty() && !placer.make_dirs(parent)) {
      ++failed;
      continue;
    }
    const fsio::Placer::Kind there = placer.look(target);
    if (there == fsio::Placer::Kind::dir ||
        lha::extract_file(*a.file, e, placer, target, there == fsio::Placer::Kind::file, e.attr & 0x27) !=
            lha::DecodeResult::Ok) {
      ++failed;
      continue;
    }
  }
  if (!quiet)
    MessageBoxA(nullptr, failed ? "展開できなかったファイルがあります。" : "展開しました。", title.c_str(),
                failed ? MB_ICONWARNING : MB_ICONINFORMATION);
  return failed ? 3 : 0;
}
