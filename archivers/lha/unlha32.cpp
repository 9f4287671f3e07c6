// unlha32.dll: the common archiver interface over the portable LHA code.
// The command entry takes the usual verbs and switches (README.md lists the
// meaning we give each) and hands them to lha_ops; listing goes through the
// shared listing records.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "archive.h"
#include "arcapi.h"
#include "dialogs.h"
#include "dllstate.h"
#include "lha_ops.h"
#include "listing.h"
#include "text.h"

using arcapi::HARC;
using arcapi::IndividualInfo;

namespace {

constexpr uint16_t kVersion = 100;     // 1.00
constexpr uint16_t kSubVersion = 100;

HMODULE g_module = nullptr;

std::string shown(const std::string& path) { return arc::to_backslashes(path); }

// The questions go to our dialogs, the progress to the owner window.
class DllHost : public arc::OwnerHost {
 public:
  using OwnerHost::OwnerHost;
  Overwrite ask_overwrite(const std::string& path) override {
    switch (lhadll::ask_overwrite(owner_, path)) {
      case lhadll::Overwrite::Yes: return Overwrite::Yes;
      case lhadll::Overwrite::All: return Overwrite::All;
      case lhadll::Overwrite::Cancel: return Overwrite::Cancel;
      default: return Overwrite::No;
    }
  }
  std::optional<std::string> ask_new_name(const std::string& current) override {
    return lhadll::ask_new_name(owner_, current);
  }
};

// Extraction and packing without a base folder work in the current one.
std::string base_folder(const arc::ParsedCommand& pc) {
  if (!pc.baseDir.empty()) return pc.baseDir;
  char cur[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cur);
  return cur;
}

lha::Command command_of(const arc::ParsedCommand& pc, std::string base) {
  return {pc.archive, std::move(base), pc.names};
}

lha::ExtractOptions extract_options(const arc::ParsedCommand& pc) {
  lha::ExtractOptions o;
  o.folders = arc::fold_ascii(pc.verb) == "x";
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    if (l == "-c" || l == "-c1" || l == "-c+") o.timeCheck = false;
    if (l == "-c0" || l == "-c-") o.timeCheck = true;
    if (l == "-y" || l == "-y1") o.yes = true;
    if (l == "-jf0" || l == "-jf") o.noRoot = true;
    if (l == "-a1" || l == "-a" || l == "-a2") o.attributes = true;
  }
  return o;
}

lha::AddOptions add_options(const arc::ParsedCommand& pc, bool update) {
  lha::AddOptions o;
  o.update = update;
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    if (l == "-x" || l == "-x1") o.folders = true;
    if (l == "-r" || l == "-r1" || l == "-r2") o.recurse = true;
    if (l == "-a1" || l == "-a" || l == "-a2") o.all = true;
    if (l == "-jr1") o.byStoredName = true;
    if (l == "-t1") o.newestTime = true;
    if (l == "-jm0" || l == "-z") o.level = 0;
    if (l == "-jm1" || l == "-jm2") o.level = 5;
    if (l == "-jm3") o.level = 6;
    if (l == "-jm4") o.level = 7;
  }
  return o;
}

bool has_switch(const arc::ParsedCommand& pc, std::initializer_list<const char*> any) {
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    for (const char* a : any)
      if (l == a) return true;
  }
  return false;
}

// The self-extractor program travels in this DLL as RCDATA resource 1.
std::vector<uint8_t> stub_bytes() {
  HRSRC r = FindResourceA(g_module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!r) return {};
  HGLOBAL g = LoadResource(g_module, r);
  DWORD n = SizeofResource(g_module, r);
  const void* p = g ? LockResource(g) : nullptr;
  if (!p || !n) return {};
  return std::vector<uint8_t>(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
}

int run_command(HWND owner, const char* cmd, char* buf, DWORD size) {
  if (buf && size) buf[0] = 0;
  if (arc::g_dll.running.load()) return lha::kErrAlreadyRunning;
  arc::RunningGuard guard(arc::g_dll.running);
  arc::ParsedCommand pc = arc::parse_command(cmd ? cmd : "", true);
  std::string verb = arc::fold_ascii(pc.verb);
  if (verb == "p") return lha::print(command_of(pc, pc.baseDir), buf, size);
  arc::LogWriter log(buf, size);
  if (pc.archive.empty()) {
    log.line("No archive named");
    return lha::kErrCommandName;
  }
  DllHost host(owner);
  bool newestTime = has_switch(pc, {"-t1"});
  if (verb == "e" || verb == "x")
    return lha::extract(command_of(pc, base_folder(pc)), extract_options(pc), host, log);
  if (verb == "t") return lha::test(command_of(pc, pc.baseDir), log);
  if (verb == "a" || verb == "u")
    return lha::add(command_of(pc, base_folder(pc)), add_options(pc, verb == "u"), host, log);
  if (verb == "d")
    return lha::remove(command_of(pc, pc.baseDir), has_switch(pc, {"-p", "-p1", "-p2"}), newestTime, log);
  if (verb == "n") return lha::rename(command_of(pc, pc.baseDir), host, log);
  if (verb == "s") {
    uint32_t options = 0;
    if (has_switch(pc, {"-x1", "-x"})) options |= lha::kSfxKeepFolders;
    if (has_switch(pc, {"-gw3"})) options |= lha::kSfxSecondKind;
    return lha::make_sfx(command_of(pc, pc.baseDir), options, newestTime, stub_bytes(), log);
  }
  if (verb == "j") return lha::undo_sfx(command_of(pc, pc.baseDir), newestTime, log);
  log.line("Unknown command : " + pc.verb);
  return lha::kErrCommandName;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = inst;
  return TRUE;
}

WORD WINAPI UnlhaGetVersion() { return kVersion; }
WORD WINAPI UnlhaGetSubVersion() { return kSubVersion; }
BOOL WINAPI UnlhaGetRunning() { return arc::dll_get_running(); }
BOOL WINAPI UnlhaSetBackGroundMode(BOOL v) { return arc::dll_set_background_mode(v); }
BOOL WINAPI UnlhaGetBackGroundMode() { return arc::dll_get_background_mode(); }
BOOL WINAPI UnlhaSetCursorMode(BOOL v) { return arc::dll_set_cursor_mode(v); }
BOOL WINAPI UnlhaGetCursorMode() { return arc::dll_get_cursor_mode(); }

int WINAPI Unlha(HWND owner, LPCSTR cmd, LPSTR buf, DWORD size) {
  try {
    return run_command(owner, cmd, buf, size);
  } catch (...) {
    return 0x801E;  // out of memory, or worse: never past this boundary
  }
}

HARC WINAPI UnlhaOpenArchive(HWND, LPCSTR path, DWORD) {
  try {
    lha::Archive a;
    if (!path || lha::open_archive(path, a) != lha::OpenResult::Ok) return nullptr;
    auto* l = new arc::Listing;
    l->entries.resize(a.entries.size());
    for (size_t i = 0; i < a.entries.size(); ++i) {
      const lha::Entry& e = a.entries[i];
      arc::fill_record(l->entries[i], shown(e.path), static_cast<uint32_t>(e.original),
                       static_cast<uint32_t>(e.packed), e.crc, e.dosTime, arc::attribute_text(e.attr),
                       e.dir ? std::string("-lhd-") : e.method, e.os);  // a folder stored as an empty file too
    }
    return arc::listing_open(l);
  } catch (...) {
    return nullptr;
  }
}

int WINAPI UnlhaCloseArchive(HARC h) { return arc::listing_close(h); }
int WINAPI UnlhaFindFirst(HARC h, LPCSTR wild, IndividualInfo* info) { return arc::listing_find_first(h, wild, info); }
int WINAPI UnlhaFindNext(HARC h, IndividualInfo* info) { return arc::listing_find_next(h, info); }

BOOL WINAPI UnlhaCheckArchive(LPCSTR path, int) {
  try {
    return path && lha::is_archive(path) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL WINAPI UnlhaConfigDialog(HWND, LPSTR, int) { return TRUE; }

BOOL WINAPI UnlhaSetOwnerWindow(HWND owner) { return arc::dll_set_owner_window(owner); }
BOOL WINAPI UnlhaClearOwnerWindow() { return arc::dll_clear_owner_window(); }

int WINAPI UnlhaExtractMem(HWND, LPCSTR cmd, LPBYTE buf, DWORD size, int32_t* time, WORD* attr, DWORD* written) {
  try {
    if (written) *written = 0;
    if (arc::g_dll.running.load()) return lha::kErrAlreadyRunning;
    arc::RunningGuard guard(arc::g_dll.running);
    arc::ParsedCommand pc = arc::parse_command(cmd ? cmd : "", true);
    if (pc.verb.size() > 1) pc = arc::parse_command(cmd, false);  // no verb: that was the archive
    if (pc.archive.empty() || pc.names.empty()) return lha::kErrCommandName;
    uint32_t used = 0;
    int rc = lha::extract_to_memory(pc.archive, pc.names[0], buf, size, time, attr, &used);
    if (written) *written = used;
    return rc;
  } catch (...) {
    return 0x801E;
  }
}

}  // extern "C"
