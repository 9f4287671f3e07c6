// bga32.dll: the GZA/BZA library of the common archiver interface.
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "arcapi.h"
#include "dlgtemplate.h"
#include "dllstate.h"
#include "bga_ops.h"
#include "listing.h"

extern "C" const uint8_t bga_sfx_stub[], bga_sfx_stub_end[];

namespace {

using namespace arcapi;

constexpr uint16_t kVersion = 32;


void notify(int mode, const bga::Entry& e) {
  if (!arc::g_dll.owner) return;
  ExtractingInfo info{};
  info.dwFileSize = e.size;
  info.dwWriteSize = mode == 2 ? e.size : 0;
  lstrcpynA(info.szSourceFileName, e.name.c_str(), sizeof info.szSourceFileName);
  arc::owner_asks_stop(mode, info);  // these commands run to the end
}

char ask_overwrite(HWND owner, const std::string& path) {
  std::string text = path + "\r\n\r\nこのファイルはすでに存在します。上書きしますか?";
  int r = MessageBoxA(owner, text.c_str(), "bga32", MB_YESNOCANCEL | MB_ICONQUESTION);
  return r == IDYES ? 'y' : r == IDNO ? 'n' : 'c';
}

// A small modal box asking for a new name, built in memory.
struct NameBox {
  std::string value;
  bool ok = false;
};

INT_PTR CALLBACK name_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      auto* box = reinterpret_cast<NameBox*>(lp);
      SetDlgItemTextA(dlg, 100, box->value.c_str());
      SendDlgItemMessageA(dlg, 100, EM_SETSEL, 0, -1);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        auto* box = reinterpret_cast<NameBox*>(GetWindowLongPtrA(dlg, DWLP_USER));
        if (LOWORD(wp) == IDOK) {
          char buf[1024] = {};
          GetDlgItemTextA(dlg, 100, buf, sizeof buf - 1);
          box->value = buf;
          box->ok = true;
        }
        EndDialog(dlg, LOWORD(wp));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

std::optional<std::string> ask_name(HWND owner, const std::string& old) {
  TDlgTemplate t(200, 52, L"名前の変更");
  t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 7, 186, 14, 100, t.kEdit, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 86, 30, 50, 14, IDOK, t.kButton, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 143, 30, 50, 14, IDCANCEL, t.kButton, L"キャンセル");
  NameBox box;
  box.value = old;
  DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), owner, name_proc,
                          reinterpret_cast<LPARAM>(&box));
  if (!box.ok) return std::nullopt;
  return box.value;
}

int run(HWND owner, const char* cmdText, arc::LogWriter& log) {
  if (!cmdText) return bga::kErrCommand;
  arc::ParsedCommand c = arc::parse_command(cmdText, true);
  const std::string& v = c.verb;
  if (c.archive.empty()) {
    log.line("Error : bad command");
    return bga::kErrCommand;
  }
  if (v == "x" || v == "e") {
    bga::ExtractOptions o;
    o.base = c.baseDir;
    o.patterns = c.names;
    o.junkPaths = v == "e";
    for (auto& s : c.switches) {
      if (s == "-j") o.junkPaths = true;
      else if (s == "-o") o.overwrite = true;
      else if (s == "-n") o.overwrite = false;
      else if (s == "-a") o.allAttributes = true;
    }
    o.ask = [owner](const std::string& p) { return ask_overwrite(owner, p); };
    o.progress = [](const bga::Entry& e, bool begin) { notify(begin ? 0 : 2, e); };
    return bga::extract(c.archive, o, log);
  }
  if (v == "a" || v == "u") {
    bga::AddOptions o;
    o.base = c.baseDir;
    o.names = c.names;
    o.newerOnly = v == "u";
    std::string ext = arc::base_name(c.archive);
    ext = ext.size() >= 4 ? ext.substr(ext.size() - 4) : "";
    ext = arc::fold_ascii(ext);
    o.method = ext == ".bza" ? bga::Method::Bzip2 : bga::Method::Deflate;
    bga::Archive old;
    std::string err;
    if (fsio::exists(c.archive) && bga::read_archive(c.archive, old, err) && !old.entries.empty())
      o.method = old.entries.front().method == bga::Method::Bzip2 ? bga::Method::Bzip2 : bga::Method::Deflate;
    for (auto& s : c.switches) {
      if (s == "-r") o.recurse = true;
      else if (s == "-n") o.newerOnly = true;
      else if (s == "-a") o.allAttributes = true;
      else if (s == "-m1") o.method = bga::Method::Deflate;
      else if (s == "-m2") o.method = bga::Method::Bzip2;
      else if (s.rfind("-jr", 0) == 0) o.fromBaseName = true;
      else if (s.rfind("-l", 0) == 0 && s.size() > 2) {
        int l = std::atoi(s.c_str() + 2);
        o.level = l < 0 ? 6 : l > 9 ? 9 : l;
      }
    }
    return bga::add(c.archive, o, log);
  }
  if (v == "d") return bga::remove(c.archive, c.names, c.has("-r"), log);
  if (v == "n") return bga::rename(c.archive, c.names, [owner](const std::string& n) { return ask_name(owner, n); }, log);
  if (v == "t") return bga::test(c.archive, log);
  if (v == "p") return bga::print(c.archive, c.names, log);
  if (v == "s") {
    std::string name = arc::base_name(c.archive);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    std::string out = (c.baseDir.empty() ? arc::dir_part(c.archive) : c.baseDir) + name + ".exe";
    std::vector<uint8_t> stub(bga_sfx_stub, bga_sfx_stub_end);
    return bga::make_sfx(c.archive, out, stub, log);
  }
  log.line("Error : unknown command " + v);
  return bga::kErrCommand;
}

}  // namespace

extern "C" {

uint16_t ARCAPI BgaGetVersion() { return kVersion; }
BOOL_ ARCAPI BgaGetRunning() { return arc::dll_get_running(); }

int ARCAPI Bga(HWND_ owner, const char* cmd, char* out, uint32_t size) {
  arc::LogWriter log(out, size);
  if (arc::g_dll.running.load()) {
    log.line("Error : busy");
    return bga::kErrBusy;
  }
  arc::RunningGuard guard(arc::g_dll.running);
  return run(static_cast<HWND>(owner), cmd, log);
}

HARC ARCAPI BgaOpenArchive(HWND_, const char* path, uint32_t) {
  if (!path) return nullptr;
  bga::Archive a;
  std::string err;
  if (!bga::read_archive(path, a, err)) return nullptr;
  auto* l = new arc::Listing;
  l->entries.resize(a.entries.size());
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const bga::Entry& e = a.entries[i];
    arc::fill_record(l->entries[i], e.name, e.size, e.packed, e.crc, (static_cast<uint32_t>(e.date) << 16) | e.time,
                     arc::attribute_text(e.attribs), bga::method_text(e.method));
  }
  return arc::listing_open(l);
}
int ARCAPI BgaCloseArchive(HARC h) { return arc::listing_close(h); }
int ARCAPI BgaFindFirst(HARC h, const char* wild, IndividualInfo* info) { return arc::listing_find_first(h, wild, info); }
int ARCAPI BgaFindNext(HARC h, IndividualInfo* info) { return arc::listing_find_next(h, info); }

BOOL_ ARCAPI BgaCheckArchive(const char* path, int) {
  if (!path) return FALSE;
  auto f = fsio::open_read(path);
  return f && bga::find_archive(*f) >= 0 ? TRUE : FALSE;
}

BOOL_ ARCAPI BgaConfigDialog(HWND_ owner, char*, int) {
  MessageBoxA(static_cast<HWND>(owner), "bga32.dll ver. 0.32\r\nGZA / BZA", "bga32", MB_OK | MB_ICONINFORMATION);
  return TRUE;
}
BOOL_ ARCAPI BgaSetOwnerWindow(HWND_ owner) { return arc::dll_set_owner_window(static_cast<HWND>(owner)); }
BOOL_ ARCAPI BgaClearOwnerWindow() { return arc::dll_clear_owner_window(); }

}  // extern "C"
