// unarj32j.dll: the common archiver interface over the ARJ reader. Reading
// only: list, extract, test and print (arj_ops); here the command text, the
// overwrite question and the owner window's progress.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>

#include "arcapi.h"
#include "arj.h"
#include "arj_ops.h"
#include "dllstate.h"
#include "fsio.h"
#include "listing.h"
#include "text.h"

using arcapi::HARC;
using arcapi::IndividualInfo;

namespace {

constexpr uint16_t kVersion = 100;     // 1.00
constexpr uint16_t kSubVersion = 100;  // .1.0

// The overwrite question in a message box, the progress to the owner window.
class DllHost : public arc::OwnerHost {
 public:
  using OwnerHost::OwnerHost;
  Overwrite ask_overwrite(const std::string& path) override {
    std::string text = path + "\r\nこのファイルは既に存在します。上書きしますか?";
    int r = MessageBoxA(owner_, text.c_str(), "unarj32j", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (r == IDYES) return Overwrite::Yes;
    if (r == IDCANCEL) return Overwrite::Cancel;
    return Overwrite::No;
  }
};

arj::ExtractOptions read_options(const arc::ParsedCommand& pc) {
  arj::ExtractOptions o;
  o.base = pc.baseDir;
  o.names = pc.names;
  o.withFolders = arc::fold_ascii(pc.verb) == "x";
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    if (l == "-c" || l == "-c1") o.overwriteOlderCheck = false;
    else if (l == "-y") o.yesToAll = true;
    else if (l == "-i") o.silent = true;
    else if (l == "-a" || l == "-a1") o.allAttributes = true;
    else if (l == "-a0") o.allAttributes = false;
  }
  return o;
}

}  // namespace

extern "C" {

int WINAPI Unarj(HWND owner, LPCSTR cmd, LPSTR out, DWORD size) {
  arc::LogWriter log(out, size);
  if (arc::g_dll.running > 0) return arj::kErrAlreadyRunning;
  arc::RunningGuard guard(arc::g_dll.running);
  if (!cmd) return arj::kErrCommandName;
  auto pc = arc::parse_command(cmd, true);
  std::string verb = arc::fold_ascii(pc.verb);
  if (pc.archive.empty()) {
    log.line("書庫名がありません");
    return arj::kErrCommandName;
  }
  if (verb == "e" || verb == "x") {
    DllHost host(owner);
    return arj::extract(pc.archive, read_options(pc), host, log);
  }
  if (verb == "t") return arj::test(pc.archive, pc.names, log);
  if (verb == "p") return arj::print(pc.archive, pc.names, out, size);
  if (verb == "l" || verb == "v") return arj::list(pc.archive, pc.names, log);
  log.line("未対応のコマンドです : " + pc.verb);
  return arj::kErrCommandName;
}

WORD WINAPI UnarjGetVersion() { return kVersion; }
WORD WINAPI UnarjGetSubVersion() { return kSubVersion; }
BOOL WINAPI UnarjGetRunning() { return arc::dll_get_running(); }
BOOL WINAPI UnarjGetBackGroundMode() { return arc::dll_get_background_mode(); }
BOOL WINAPI UnarjSetBackGroundMode(BOOL v) { return arc::dll_set_background_mode(v); }
BOOL WINAPI UnarjGetCursorMode() { return arc::dll_get_cursor_mode(); }
BOOL WINAPI UnarjSetCursorMode(BOOL v) { return arc::dll_set_cursor_mode(v); }

HARC WINAPI UnarjOpenArchive(HWND, LPCSTR path, DWORD) {
  if (!path) return nullptr;
  auto f = fsio::open_read(path);
  if (!f) return nullptr;
  arj::FileSource src(std::move(f));
  arj::Archive a;
  // A damaged archive still lists the entries in front of the damage.
  if (arj::read_archive(src, a) == arj::Status::NotArj) return nullptr;
  auto* l = new arc::Listing;
  l->entries.resize(a.entries.size());
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const auto& e = a.entries[i];
    arc::fill_record(l->entries[i], e.is_dir() ? e.name + "/" : e.name, e.original, e.packed, e.crc, e.dosTime,
                     arc::attribute_text(e.dos_attributes()), arj::method_text(e), e.hostOS, e.flags);
  }
  return arc::listing_open(l);
}

int WINAPI UnarjCloseArchive(HARC h) { return arc::listing_close(h); }
int WINAPI UnarjFindFirst(HARC h, LPCSTR wild, IndividualInfo* info) { return arc::listing_find_first(h, wild, info); }
int WINAPI UnarjFindNext(HARC h, IndividualInfo* info) { return arc::listing_find_next(h, info); }

BOOL WINAPI UnarjCheckArchive(LPCSTR path, int) {
  if (!path) return FALSE;
  auto f = fsio::open_read(path);
  if (!f) return FALSE;
  arj::FileSource src(std::move(f));
  arj::Archive a;
  return arj::read_archive(src, a) == arj::Status::Ok;
}

BOOL WINAPI UnarjConfigDialog(HWND owner, LPSTR, int) {
  MessageBoxA(owner, "unarj32j.dll 1.00\r\nARJ 書庫の展開ライブラリ（設定項目はありません）", "unarj32j", MB_OK);
  return TRUE;
}

BOOL WINAPI UnarjSetOwnerWindow(HWND owner) { return arc::dll_set_owner_window(owner); }
BOOL WINAPI UnarjClearOwnerWindow() { return arc::dll_clear_owner_window(); }

}  // extern "C"
