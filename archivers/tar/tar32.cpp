// tar32.dll: the common archiver interface over the tar code. Command text
// in, log text out; questions through a dialog; progress through our own
// window and, while an owner window is set, "wm_arcextract".
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "arcapi.h"
#include "dlgtemplate.h"
#include "dllstate.h"
#include "listing.h"
#include "ops.h"
#include "tarfmt.h"
#include "text.h"

using namespace arcapi;

namespace {

constexpr uint16_t kVersion = 300;

HINSTANCE g_instance = nullptr;

enum { kExtractBegin = 0, kExtractInProcess = 1, kExtractEnd = 2, kExtractOpen = 3 };

std::string utf8_to_ansi(const std::string& s) {
  int wn = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (wn <= 0) return s;
  std::wstring w(static_cast<size_t>(wn), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], wn);
  BOOL lost = FALSE;
  int an = WideCharToMultiByte(CP_ACP, 0, w.data(), wn, nullptr, 0, nullptr, &lost);
  if (an <= 0 || lost) return s;  // not representable: keep the bytes as stored
  std::string a(static_cast<size_t>(an), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), wn, &a[0], an, nullptr, nullptr);
  return a;
}

// ---- progress window ----

class ProgressWindow {
 public:
  ProgressWindow(HWND owner, const std::string& archive, bool pump) : pump_(pump) {
    static bool registered = [] {
      INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
      InitCommonControlsEx(&icc);
      WNDCLASSA wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = g_instance;
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      wc.lpszClassName = "Tar32Progress";
      return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    RECT wa{0, 0, 800, 600};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0);
    int w = 380, h = 120;
    hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, "Tar32Progress", arc::base_name(archive).c_str(),
                            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, (wa.left + wa.right - w) / 2,
                            (wa.top + wa.bottom - h) / 2, w, h, owner, nullptr, g_instance, this);
    if (!hwnd_) return;
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    text_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 10, 8, w - 30,
                            18, hwnd_, nullptr, g_instance, nullptr);
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 32, w - 30, 18, hwnd_, nullptr,
                           g_instance, nullptr);
    SendMessageA(bar_, PBM_SETRANGE32, 0, 1000);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    UpdateWindow(hwnd_);
  }
  ~ProgressWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  // False once the user closed the window.
  bool update(const std::string& name, int64_t done, int64_t total) {
    if (!hwnd_) return true;
    // The bar moves and the window answers at most every 50 ms: for every
    // 64 KiB chunk, repainting and pumping (a trip to the window server
    // each under Wine) took longer than packing the chunk.
    DWORD now = GetTickCount();
    if (name == last_ && done < total && now - lastUpdate_ < 50) return !cancelled_;
    lastUpdate_ = now;
    if (name != last_) {
      last_ = name;
      SetWindowTextA(text_, name.c_str());
    }
    int pos = total > 0 ? static_cast<int>(done * 1000 / total) : 0;
    SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
    if (pump_) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
    }
    return !cancelled_;
  }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
      auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
      if (self) self->cancelled_ = true;
      return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
  }
  HWND hwnd_ = nullptr, text_ = nullptr, bar_ = nullptr;
  bool pump_, cancelled_ = false;
  std::string last_;
  DWORD lastUpdate_ = 0;
};

// ---- the overwrite question: Yes, Yes to all, No, Cancel ----

enum { kIdAll = 100, kIdText = 101 };


struct AskState {
  const std::string* path;
};

INT_PTR CALLBACK AskProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* st = reinterpret_cast<AskState*>(lp);
    std::string t = *st->path + "\r\n\r\nこのファイルはすでに存在します。上書きしますか?";
    SetDlgItemTextA(h, kIdText, t.c_str());
    MessageBeep(MB_ICONQUESTION);
    return TRUE;
  }
  if (msg == WM_COMMAND) {
    int id = LOWORD(wp);
    if (id == IDYES || id == IDNO || id == IDCANCEL || id == kIdAll) EndDialog(h, id);
    return TRUE;
  }
  return FALSE;
}

int ask_dialog(HWND owner, const std::string& path) {
  TDlgTemplate b(250, 86, L"tar32");
  b.Item(SS_LEFT | SS_NOPREFIX, 8, 8, 234, 44, kIdText, b.kStatic, L"");
  b.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 8, 62, 54, 16, IDYES, b.kButton, L"\u306F\u3044(&Y)");
  b.Item(BS_PUSHBUTTON | WS_TABSTOP, 68, 62, 54, 16, kIdAll, b.kButton, L"\u3059\u3079\u3066(&A)");
  b.Item(BS_PUSHBUTTON | WS_TABSTOP, 128, 62, 54, 16, IDNO, b.kButton, L"\u3044\u3044\u3048(&N)");
  b.Item(BS_PUSHBUTTON | WS_TABSTOP, 188, 62, 54, 16, IDCANCEL, b.kButton, L"\u4E2D\u6B62");
  AskState st{&path};
  INT_PTR r = DialogBoxIndirectParamA(g_instance, b.Get(), owner, AskProc,
                                      reinterpret_cast<LPARAM>(&st));
  return r <= 0 ? IDCANCEL : static_cast<int>(r);
}

// ---- the operations' host: log, questions, progress ----

class DllHost : public tarx::Host {
 public:
  DllHost(HWND owner, char* buf, uint32_t size, bool logToBuffer, bool dialog, bool pump, const std::string& archive)
      : owner_(owner), log_(logToBuffer ? buf : nullptr, logToBuffer ? size : 0), archive_(archive) {
    if (dialog) window_ = std::make_unique<ProgressWindow>(owner, archive, pump);
    notify(kExtractOpen, "", 0, 0);
  }
  ~DllHost() override { notify(kExtractEnd, last_, 0, 0); }
  void log(const std::string& line) override { log_.line(line); }
  Answer ask_overwrite(const std::string& path) override {
    int r = ask_dialog(owner_, path);
    return r == IDYES ? kYes : r == kIdAll ? kAll : r == IDNO ? kNo : kCancel;
  }
  bool progress(const std::string& name, int64_t done, int64_t total) override {
    if (window_ && !window_->update(name, done, total)) return false;
    int mode = name != last_ ? kExtractBegin : kExtractInProcess;
    last_ = name;
    return notify(mode, name, done, total);
  }

 private:
  bool notify(int mode, const std::string& name, int64_t done, int64_t total) {
    if (!arc::g_dll.owner) return true;
    arcapi::ExtractingInfo info{};
    info.dwFileSize = static_cast<uint32_t>(total > 0xFFFFFFFFll ? 0xFFFFFFFFll : total);
    info.dwWriteSize = static_cast<uint32_t>(done > 0xFFFFFFFFll ? 0xFFFFFFFFll : done);
    arc::copy_text(info.szSourceFileName, sizeof info.szSourceFileName, archive_);
    arc::copy_text(info.szDestFileName, sizeof info.szDestFileName, name);
    // A handler that answers non-zero stops the operation.
    return !arc::owner_asks_stop(mode, info);
  }
  HWND owner_;
  arc::LogWriter log_;
  std::string archive_, last_;
  std::unique_ptr<ProgressWindow> window_;
};

// ---- command text ----

struct Command {
  char op = 0;            // 'x', 'c', 't'
  bool print = false;     // -p: the entry's bytes into the buffer
  bool single = false;    // -G: one gzip/bzip2 stream, no tar
  tarx::Codec codec = tarx::Codec::None;
  bool codecGiven = false;
  int level = 0;
  bool dialog = true, pump = true, useDirs = true;
  std::string archive, baseDir;
  std::vector<std::string> names;
  bool bad = false;
};

// Letters as in "-x", "-z6", or bundled "cGvfz6".
void letters(const std::string& s, Command& c) {
  for (size_t i = 0; i < s.size(); ++i) {
    char ch = s[i];
    switch (ch) {
      case 'x': case 'e': c.op = 'x'; break;
      case 'c': c.op = 'c'; break;
      case 't': c.op = 't'; break;
      case 'p': c.print = true; break;
      case 'G': c.single = true; break;
      case 'z': c.codec = tarx::Codec::Gzip; c.codecGiven = true; break;
      case 'B': case 'j': case 'y': c.codec = tarx::Codec::Bzip2; c.codecGiven = true; break;
      case 'Z': c.codec = tarx::Codec::Compress; c.codecGiven = true; break;
      case 'v': case 'f': case 'o': break;
      default:
        if (ch >= '0' && ch <= '9') c.level = ch - '0';
        else c.bad = true;
    }
  }
}

Command parse(const char* text) {
  Command c;
  auto toks = arc::tokenize(text ? text : "");
  bool first = true, haveArchive = false, baseChecked = false;
  for (auto& t : toks) {
    bool isFirst = first;
    first = false;
    if (!t.quoted && t.text.size() > 2 && t.text.compare(0, 2, "--") == 0) {
      std::string opt = t.text.substr(2), key = opt, val = "1";
      size_t eq = opt.find('=');
      if (eq != std::string::npos) {
        key = opt.substr(0, eq);
        val = opt.substr(eq + 1);
      }
      bool on = val != "0";
      if (key == "display-dialog") c.dialog = on;
      else if (key == "message-loop") c.pump = on;
      else if (key == "use-directory") c.useDirs = on;
      continue;  // other long options change nothing here
    }
    if (!t.quoted && t.text.size() > 1 && t.text[0] == '-') {
      letters(t.text.substr(1), c);
      continue;
    }
    if (isFirst && !t.quoted) {
      bool bundle = !t.text.empty();
      for (char ch : t.text) bundle &= (std::isalnum(static_cast<unsigned char>(ch)) != 0);
      if (bundle) {
        letters(t.text, c);
        continue;
      }
    }
    if (t.text.empty()) continue;
    if (!haveArchive) {
      c.archive = t.text;
      haveArchive = true;
      continue;
    }
    if (!baseChecked) {
      baseChecked = true;
      if (arc::ends_with_separator(t.text)) {
        c.baseDir = t.text;
        continue;
      }
    }
    c.names.push_back(t.text);
  }
  return c;
}

std::string lower_ext(const std::string& path) {
  std::string b = arc::base_name(path);
  size_t dot = b.rfind('.');
  return arc::fold_ascii(dot == std::string::npos ? "" : b.substr(dot));
}

// Without a compression letter the archive's name decides.
tarx::Codec codec_for_name(const std::string& path, bool single) {
  std::string e = lower_ext(path);
  if (e == ".tgz" || e == ".gz") return tarx::Codec::Gzip;
  if (e == ".tbz" || e == ".tbz2" || e == ".bz2") return tarx::Codec::Bzip2;
  if (e == ".taz" || e == ".z") return tarx::Codec::Compress;
  return single ? tarx::Codec::Gzip : tarx::Codec::None;
}

int run(HWND owner, const char* text, char* out, uint32_t size) {
  Command c = parse(text);
  if (out && size) out[0] = 0;
  if (c.bad || !c.op || c.archive.empty()) {
    arc::LogWriter lw(out, size);
    lw.line(std::string("Error : コマンドが正しくありません : ") + (text ? text : ""));
    return tarx::kErrCommand;
  }
  std::string base = c.baseDir;
  while (base.size() > 3 && arc::ends_with_separator(base)) base.pop_back();
  if (c.op == 'x' && c.print) {
    DllHost host(owner, out, size, false, false, false, c.archive);
    size_t written = 0;
    if (c.names.empty()) return tarx::kErrNoFiles;
    return tarx::print(c.archive, c.names[0], reinterpret_cast<uint8_t*>(out), out ? size : 0, written, host);
  }
  DllHost host(owner, out, size, true, c.dialog && !arc::g_dll.background, c.pump, c.archive);
  if (c.op == 'x') return tarx::extract(c.archive, base, c.names, c.useDirs, host);
  if (c.op == 't') return tarx::test(c.archive, host);
  tarx::Codec codec = c.codecGiven ? c.codec : codec_for_name(c.archive, c.single);
  if (c.single) {
    if (c.names.empty()) return tarx::kErrNoFiles;
    // The input is a path of its own, or relative to the base folder.
    std::string in = c.names[0];
    if (!base.empty() && !(in.size() > 1 && (in[1] == ':' || in[0] == '\\' || in[0] == '/')))
      in = arc::join_path(base, in);
    return tarx::create_single(c.archive, in, codec, c.level, host);
  }
  return tarx::create_tar(c.archive, base, c.names, codec, c.level, c.useDirs, host);
}

struct ConverterInit {
  ConverterInit() { tarx::set_pax_converter(utf8_to_ansi); }
} g_converterInit;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = inst;
  return TRUE;
}

uint16_t WINAPI TarGetVersion() { return kVersion; }

BOOL_ WINAPI TarGetRunning() { return arc::dll_get_running(); }

BOOL_ WINAPI TarSetBackGroundMode(BOOL_ v) { return arc::dll_set_background_mode(v); }

BOOL_ WINAPI TarSetCursorMode(BOOL_ v) { return arc::dll_set_cursor_mode(v); }

int WINAPI Tar(HWND_ owner, const char* cmd, char* out, uint32_t size) {
  if (arc::g_dll.running.load() > 0) {
    arc::LogWriter(out, size).line("Error : 処理中です");
    return 0x8009;
  }
  arc::RunningGuard guard(arc::g_dll.running);
  try {
    return run(static_cast<HWND>(owner), cmd, out, size);
  } catch (...) {
    arc::LogWriter(out, size).line("Error : メモリが足りません");
    return 0x800A;
  }
}

HARC WINAPI TarOpenArchive(HWND_ owner, const char* path, uint32_t mode) {
  if (!path) return nullptr;
  try {
    tarx::ListResult lr;
    if (!tarx::list(path, lr)) return nullptr;
    auto* l = new arc::Listing;
    const char* method = tarx::kind_text(lr.info.kind);
    l->entries.reserve(lr.entries.size());
    l->fullSizes.reserve(lr.entries.size());
    for (auto& e : lr.entries) {
      arcapi::IndividualInfo r;
      uint32_t size = e.size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(e.size);
      uint32_t packed = e.packed > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(e.packed);
      uint32_t attrs = (tarx::is_dir_type(e.type) ? 0x10 : 0x20) | ((e.mode && !(e.mode & 0200)) ? 1 : 0);
      arc::fill_record(r, e.name, size, packed, e.crc, arc::unix_to_dos(e.mtime), arc::attribute_text(attrs), method);
      l->entries.push_back(r);
      l->fullSizes.push_back({e.size, e.packed});
    }
    return arc::listing_open(l);
  } catch (...) {
    return nullptr;
  }
}

int WINAPI TarCloseArchive(HARC h) { return arc::listing_close(h); }

int WINAPI TarFindFirst(HARC h, const char* wildcards, IndividualInfo* info) {
  return arc::listing_find_first(h, wildcards, info);
}

int WINAPI TarFindNext(HARC h, IndividualInfo* info) { return arc::listing_find_next(h, info); }

BOOL_ WINAPI TarGetOriginalSizeEx(HARC h, int64_t* size) { return arc::listing_original_size_ex(h, size); }

BOOL_ WINAPI TarGetCompressedSizeEx(HARC h, int64_t* size) { return arc::listing_compressed_size_ex(h, size); }

BOOL_ WINAPI TarCheckArchive(const char* path, int mode) {
  if (!path) return FALSE;
  tarx::ArchiveInfo info;
  return tarx::probe(path, info) ? TRUE : FALSE;
}

// 1 tar, 2 tar.gz, 3 tar.Z, 4 gz, 5 Z, 6 tar.bz2, 7 bz2; 0 not ours; -1 cannot open.
int WINAPI TarGetArchiveType(const char* path) {
  if (!path) return -1;
  tarx::ArchiveInfo info;
  if (!tarx::probe(path, info)) {
    auto f = fsio::open_read(path);
    return f ? 0 : -1;
  }
  switch (info.kind) {
    case tarx::Kind::Tar: return 1;
    case tarx::Kind::TarGz: return 2;
    case tarx::Kind::TarZ: return 3;
    case tarx::Kind::Gz: return 4;
    case tarx::Kind::Z: return 5;
    case tarx::Kind::TarBz2: return 6;
    case tarx::Kind::Bz2: return 7;
  }
  return 0;
}

BOOL_ WINAPI TarConfigDialog(HWND_ owner, char* options, int mode) {
  MessageBoxA(static_cast<HWND>(owner),
              "tar32.dll 3.00\r\ntar / gzip / bzip2 / compress\r\n\r\n設定できる項目はありません。", "tar32",
              MB_OK | MB_ICONINFORMATION);
  return TRUE;
}

BOOL_ WINAPI TarSetOwnerWindow(HWND_ owner) {
  if (!owner || arc::g_dll.owner) return FALSE;
  return arc::dll_set_owner_window(static_cast<HWND>(owner));
}

BOOL_ WINAPI TarClearOwnerWindow() { return arc::dll_clear_owner_window(); }

}  // extern "C"
