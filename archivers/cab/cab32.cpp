// cab32.dll: the cabinet library of the common archiver interface.
#include <windows.h>

#include <atomic>
#include <cstring>

#include "arcapi.h"
#include "dllstate.h"
#include "cab_ops.h"
#include "listing.h"

extern "C" const uint8_t cab_sfx_stub[], cab_sfx_stub_end[];

namespace {

using namespace arcapi;

constexpr uint16_t kVersion = 98;


void notify(int mode, const cab::Entry* e, const std::string& name) {
  if (!arc::g_dll.owner) return;
  ExtractingInfo info{};
  if (e) {
    info.dwFileSize = e->size;
    info.dwWriteSize = mode == 2 ? e->size : 0;
  }
  lstrcpynA(info.szSourceFileName, name.c_str(), sizeof info.szSourceFileName);
  arc::owner_asks_stop(mode, info);  // these commands run to the end
}

char ask_overwrite(HWND owner, const std::string& path) {
  std::string text = path + "\r\n\r\nこのファイルはすでに存在します。上書きしますか?";
  int r = MessageBoxA(owner, text.c_str(), "cab32", MB_YESNOCANCEL | MB_ICONQUESTION);
  return r == IDYES ? 'y' : r == IDNO ? 'n' : 'c';
}

int run(HWND owner, const char* cmdText, arc::LogWriter& log) {
  if (!cmdText) return cab::kErrCommand;
  arc::ParsedCommand c = arc::parse_command(cmdText, false);
  enum { None, Extract, Pack, Test, Sfx } op = None;
  for (auto& s : c.switches) {
    if (s == "-x") op = Extract;
    else if (s == "-a") op = Pack;
    else if (s == "-t") op = Test;
    else if (s == "-f") op = Sfx;
  }
  if (op == None || c.archive.empty()) {
    log.line("Error : bad command");
    return cab::kErrCommand;
  }
  if (op == Extract) {
    cab::ExtractOptions o;
    o.base = c.baseDir;
    o.patterns = c.names;
    for (auto& s : c.switches) {
      if (s == "-o") o.overwrite = cab::Overwrite::Always;
      else if (s == "-n") o.overwrite = cab::Overwrite::Ask;
      else if (s == "-j") o.junkPaths = true;
      else if (s == "-k") o.follow = true;
    }
    o.ask = [owner](const std::string& p) { return ask_overwrite(owner, p); };
    o.progress = [](const cab::Entry& e, bool begin) { notify(begin ? 0 : 2, &e, cab::display_name(e)); };
    return cab::extract(c.archive, o, log);
  }
  if (op == Test) return cab::test(c.archive, log);
  if (op == Sfx) {
    std::string name = arc::base_name(c.archive);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    std::string out = c.baseDir.empty() ? arc::dir_part(c.archive) + name + ".exe" : c.baseDir + name + ".exe";
    std::vector<uint8_t> stub(cab_sfx_stub, cab_sfx_stub_end);
    return cab::make_sfx(c.archive, out, stub, log);
  }
  cab::PackOptions o;
  o.base = c.baseDir;
  o.names = c.names;
  for (auto& s : c.switches) {
    if (s == "-r") o.recurse = true;
    else if (s == "-g") o.skipHiddenSystem = true;
    else if (s == "-mz") o.type = cab::kMszip;
    else if (s == "-mn") o.type = cab::kNone;
    else if (s.rfind("-ml:", 0) == 0) {
      int bits = std::atoi(s.c_str() + 4);
      if (bits < 15 || bits > 21) {
        log.line("Error : LZX window must be 15 to 21");
        return cab::kErrCommand;
      }
      o.type = static_cast<uint16_t>(cab::kLzx | (bits << 8));
    } else if (s.rfind("-v:", 0) == 0) {
      long kb = std::atol(s.c_str() + 3);
      if (kb < 64) {
        log.line("Error : volumes must hold at least 64 KB");
        return cab::kErrCommand;
      }
      o.volumeSize = static_cast<uint64_t>(kb) * 1024;
    }
  }
  return cab::pack(c.archive, o, log);
}

}  // namespace

extern "C" {

uint16_t ARCAPI CabGetVersion() { return kVersion; }
BOOL_ ARCAPI CabGetRunning() { return arc::dll_get_running(); }
BOOL_ ARCAPI CabSetBackGroundMode(BOOL_ v) { return arc::dll_set_background_mode(v); }
BOOL_ ARCAPI CabGetBackGroundMode() { return arc::dll_get_background_mode(); }
BOOL_ ARCAPI CabSetCursorMode(BOOL_ v) { return arc::dll_set_cursor_mode(v); }
BOOL_ ARCAPI CabGetCursorMode() { return arc::dll_get_cursor_mode(); }

int ARCAPI Cab(HWND_ owner, const char* cmd, char* out, uint32_t size) {
  arc::LogWriter log(out, size);
  if (arc::g_dll.running.load()) {
    log.line("Error : busy");
    return cab::kErrBusy;
  }
  arc::RunningGuard guard(arc::g_dll.running);
  return run(static_cast<HWND>(owner), cmd, log);
}

HARC ARCAPI CabOpenArchive(HWND_, const char* path, uint32_t) {
  if (!path) return nullptr;
  cab::CabSet set;
  std::string err;
  if (!cab::open_set(path, true, set, err)) return nullptr;
  auto* l = new arc::Listing;
  l->entries.resize(set.entries.size());
  for (size_t i = 0; i < set.entries.size(); ++i) {
    const cab::Entry& e = set.entries[i];
    const cab::Folder& f = set.folders[e.folder];
    uint32_t packed = f.unpacked ? static_cast<uint32_t>(f.packed * e.size / f.unpacked) : 0;
    arc::fill_record(l->entries[i], cab::display_name(e), e.size, packed, 0,
                     (static_cast<uint32_t>(e.date) << 16) | e.time, arc::attribute_text(e.attribs),
                     cab::method_text(f.type));
  }
  return arc::listing_open(l);
}
int ARCAPI CabCloseArchive(HARC h) { return arc::listing_close(h); }
int ARCAPI CabFindFirst(HARC h, const char* wild, IndividualInfo* info) {
  return arc::listing_find_first(h, wild, info);
}
int ARCAPI CabFindNext(HARC h, IndividualInfo* info) { return arc::listing_find_next(h, info); }

BOOL_ ARCAPI CabCheckArchive(const char* path, int) {
  if (!path) return FALSE;
  cab::CabSet set;
  std::string err;
  return cab::open_set(path, false, set, err) ? TRUE : FALSE;
}

BOOL_ ARCAPI CabConfigDialog(HWND_ owner, char*, int) {
  MessageBoxA(static_cast<HWND>(owner), "cab32.dll ver. 0.98\r\nMSZIP / LZX", "cab32", MB_OK | MB_ICONINFORMATION);
  return TRUE;
}
BOOL_ ARCAPI CabSetOwnerWindow(HWND_ owner) { return arc::dll_set_owner_window(static_cast<HWND>(owner)); }
BOOL_ ARCAPI CabClearOwnerWindow() { return arc::dll_clear_owner_window(); }

}  // extern "C"
