// unarj32j.dll: the common archiver interface over the ARJ reader. Reading
// only: list, extract, test and print.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>

#include "arcapi.h"
#include "arj.h"
#include "dllstate.h"
#include "fsio.h"
#include "listing.h"
#include "text.h"

using arcapi::HARC;
using arcapi::ExtractingInfo;
using arcapi::IndividualInfo;

namespace {

// Answers of the command entry (the common interface's error numbers).
constexpr int kErrUserSkip = 0x8007;
constexpr int kErrMethod = 0x8009;
constexpr int kErrPasswordFile = 0x800A;
constexpr int kErrFileCrc = 0x800C;
constexpr int kErrFileOpen = 0x800D;
constexpr int kErrMakeDirectory = 0x8012;
constexpr int kErrCannotWrite = 0x8013;
constexpr int kErrHuffmanCode = 0x8014;
constexpr int kErrHeaderBroken = 0x8017;
constexpr int kErrArcFileOpen = 0x8018;
constexpr int kErrNotArcFile = 0x8019;
constexpr int kErrCommandName = 0x801C;
constexpr int kErrAlreadyRunning = 0x801F;
constexpr int kErrUserCancel = 0x8020;

constexpr uint16_t kVersion = 100;     // 1.00
constexpr uint16_t kSubVersion = 100;  // .1.0

enum { kExtractBegin = 0, kExtractInProcess = 1, kExtractEnd = 2 };

// True when the owner asked to stop.
bool report(int mode, ExtractingInfo& info) { return arc::owner_asks_stop(mode, info); }


struct Options {
  bool withFolders = false;  // x
  bool overwriteOlderCheck = true;  // without -c an existing file not older than the entry stays
  bool yesToAll = false;     // -y
  bool silent = false;       // -i
  bool allAttributes = false;  // -a, -a1
};

Options read_options(const arc::ParsedCommand& pc) {
  Options o;
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

enum class Answer { Yes, No, All, Cancel };

Answer ask_overwrite(HWND owner, const std::string& path, bool silent) {
  // With the dialogs suppressed nobody can be asked: keep the existing file.
  if (silent) return Answer::No;
  std::string text = path + "\r\nこのファイルは既に存在します。上書きしますか?";
  int r = MessageBoxA(owner, text.c_str(), "unarj32j", MB_YESNOCANCEL | MB_ICONQUESTION);
  if (r == IDYES) return Answer::Yes;
  if (r == IDCANCEL) return Answer::Cancel;
  return Answer::No;
}

int result_code(arj::Result r) {
  switch (r) {
    case arj::Result::Ok: return 0;
    case arj::Result::Stopped: return kErrUserCancel;
    case arj::Result::BadCrc: return kErrFileCrc;
    case arj::Result::Unsupported: return kErrMethod;
    case arj::Result::Encrypted: return kErrPasswordFile;
    case arj::Result::BadData:
    case arj::Result::Truncated: return kErrHuffmanCode;
  }
  return kErrHuffmanCode;
}

struct Opened {
  std::unique_ptr<arj::FileSource> src;
  arj::Archive arc;
  arj::Status status = arj::Status::Ok;
};

// Opens and walks the archive; the log says why it failed.
int open_archive(const std::string& path, Opened& o, arc::LogWriter& log) {
  auto f = fsio::open_read(path);
  if (!f) {
    log.line("書庫を開けません : " + path);
    return kErrArcFileOpen;
  }
  o.src = std::make_unique<arj::FileSource>(std::move(f));
  o.status = arj::read_archive(*o.src, o.arc);
  if (o.status == arj::Status::NotArj) {
    log.line("ARJ 書庫ではありません : " + path);
    return kErrNotArcFile;
  }
  return 0;
}

// After the entries read before a damaged header were handled.
int damage_tail(const Opened& o, arc::LogWriter& log, int rc) {
  if (o.status == arj::Status::Ok) return rc;
  log.line(std::string("Error : ") + arj::status_text(o.status));
  return kErrHeaderBroken;
}

// The command's names told the archive's entries.
arc::NameMatcher named(const arc::ParsedCommand& pc, const Opened& o) {
  arc::NameMatcher m(pc.names);
  if (m.needs_names())
    for (auto& e : o.arc.entries) m.stored(e.name, e.is_dir());
  return m;
}

int do_list(const arc::ParsedCommand& pc, arc::LogWriter& log) {
  Opened o;
  if (int rc = open_archive(pc.archive, o, log)) return rc;
  const arc::NameMatcher names = named(pc, o);
  for (auto& e : o.arc.entries) {
    if (!names.matches(e.name)) continue;
    char line[64];
    wsprintfA(line, "\t%lu\t%lu\t%04x-%04x\t", static_cast<unsigned long>(e.original),
              static_cast<unsigned long>(e.packed), static_cast<unsigned>(e.dosTime >> 16),
              static_cast<unsigned>(e.dosTime & 0xFFFF));
    log.line(e.name + line + arj::method_text(e));
  }
  return damage_tail(o, log, 0);
}

int do_test(const arc::ParsedCommand& pc, arc::LogWriter& log) {
  Opened o;
  if (int rc = open_archive(pc.archive, o, log)) return rc;
  int rc = 0;
  const arc::NameMatcher names = named(pc, o);
  for (auto& e : o.arc.entries) {
    if (!names.matches(e.name) || e.is_dir()) continue;
    auto r = arj::extract(*o.src, e, [](const uint8_t*, size_t) { return true; });
    if (r == arj::Result::Ok) {
      log.line("Tested  " + e.name + "\t : OK");
    } else {
      log.line("Error   " + e.name + "\t : " + arj::result_text(r));
      rc = result_code(r);
    }
  }
  return damage_tail(o, log, rc);
}

// Print: the entry's bytes, and nothing else, go into the output buffer.
int do_print(const arc::ParsedCommand& pc, char* out, uint32_t size) {
  arc::LogWriter quiet(nullptr, 0);
  Opened o;
  if (int rc = open_archive(pc.archive, o, quiet)) return rc;
  uint32_t used = 0;
  int rc = 0;
  bool any = false;
  const arc::NameMatcher names = named(pc, o);
  for (auto& e : o.arc.entries) {
    if (!names.matches(e.name) || e.is_dir()) continue;
    any = true;
    auto r = arj::extract(*o.src, e, [&](const uint8_t* p, size_t n) {
      if (!out) return true;
      size_t room = size - used;
      size_t k = n < room ? n : room;
      std::memcpy(out + used, p, k);
      used += static_cast<uint32_t>(k);
      return true;
    });
    if (r != arj::Result::Ok) rc = result_code(r);
  }
  if (out && used < size) out[used] = 0;
  if (!any) return rc ? rc : kErrUserSkip;
  return o.status == arj::Status::Ok ? rc : kErrHeaderBroken;
}

int do_extract(HWND owner, const arc::ParsedCommand& pc, arc::LogWriter& log) {
  Options opt = read_options(pc);
  Opened o;
  if (int rc = open_archive(pc.archive, o, log)) return rc;
  int rc = 0;
  std::string base = pc.baseDir;
  const arc::NameMatcher names = named(pc, o);
  for (auto& e : o.arc.entries) {
    if (!names.matches(e.name)) continue;
    auto rel = arc::safe_relative(e.name);
    if (!rel) {
      log.line("Skipped : " + e.name + "\t : 不正なパス名です");
      rc = kErrCannotWrite;
      continue;
    }
    if (e.is_dir()) {
      if (!opt.withFolders) continue;
      std::string dir = fsio::join(base, *rel);
      if (fsio::is_dir(dir)) continue;
      if (fsio::make_dirs(dir)) {
        log.line("mkdir " + *rel);
      } else {
        log.line("Skipped : " + e.name + "\t : フォルダを作成できません");
        rc = kErrMakeDirectory;
      }
      continue;
    }
    std::string relPath = opt.withFolders ? *rel : arc::base_name(*rel);
    std::string target = fsio::join(base, relPath);
    if (fsio::exists(target)) {
      if (fsio::is_dir(target)) {
        log.line("Skipped : " + e.name + "\t : 同じ名前のフォルダがあります");
        rc = kErrCannotWrite;
        continue;
      }
      if (opt.overwriteOlderCheck) {
        int64_t have = fsio::mtime(target), mine = e.mtime;
        if (have >= 0 && have >= mine) {
          log.line("Skipped : " + e.name + "\t : 最新のファイルが存在");
          continue;
        }
      }
      if (!opt.yesToAll) {
        Answer a = ask_overwrite(owner, target, opt.silent);
        if (a == Answer::Cancel) {
          log.line("ユーザーにより中断されました。");
          return kErrUserCancel;
        }
        if (a == Answer::No) {
          log.line("Skipped : " + e.name);
          continue;
        }
        if (a == Answer::All) opt.yesToAll = true;
      }
    }
    std::string dir = arc::dir_part(target);
    if (!dir.empty() && !fsio::is_dir(dir) && !fsio::make_dirs(dir)) {
      log.line("Skipped : " + e.name + "\t : フォルダを作成できません");
      rc = kErrMakeDirectory;
      continue;
    }
    // Written beside the target and put in place only when the CRC agrees,
    // so a damaged entry never replaces a good file.
    std::string tmp = fsio::temp_beside(target);
    auto f = fsio::open_write(tmp);
    if (!f) {
      log.line("Skipped : " + e.name + "\t : ファイルを作成できません");
      rc = kErrFileOpen;
      continue;
    }
    ExtractingInfo info{};
    info.dwFileSize = e.original;
    arc::copy_text(info.szSourceFileName, sizeof info.szSourceFileName, e.name);
    arc::copy_text(info.szDestFileName, sizeof info.szDestFileName, target);
    bool cancelled = report(kExtractBegin, info);
    bool writeFailed = false;
    arj::Result r = arj::Result::Stopped;
    if (!cancelled) {
      r = arj::extract(*o.src, e, [&](const uint8_t* p, size_t n) {
        if (!f->write(p, static_cast<int64_t>(n))) {
          writeFailed = true;
          return false;
        }
        info.dwWriteSize += static_cast<uint32_t>(n);
        if (report(kExtractInProcess, info)) {
          cancelled = true;
          return false;
        }
        return true;
      });
    }
    f.reset();
    if (r == arj::Result::Ok && fsio::replace_file(tmp, target)) {
      fsio::set_mtime(target, e.mtime);
      if (opt.allAttributes) fsio::set_attributes(target, e.dos_attributes() & 0x27);
      log.line("Melted " + e.name);
      report(kExtractEnd, info);
      continue;
    }
    fsio::remove_file(tmp);
    if (cancelled) {
      log.line("ユーザーにより中断されました。");
      return kErrUserCancel;
    }
    if (writeFailed || r == arj::Result::Ok) {
      log.line("Skipped : " + e.name + "\t : 書き込みに失敗しました");
      rc = kErrCannotWrite;
    } else {
      log.line("Skipped : " + e.name + "\t : " + arj::result_text(r));
      rc = result_code(r);
    }
  }
  return damage_tail(o, log, rc);
}

}  // namespace

extern "C" {

int WINAPI Unarj(HWND owner, LPCSTR cmd, LPSTR out, DWORD size) {
  arc::LogWriter log(out, size);
  if (arc::g_dll.running > 0) return kErrAlreadyRunning;
  arc::RunningGuard guard(arc::g_dll.running);
  if (!cmd) return kErrCommandName;
  auto pc = arc::parse_command(cmd, true);
  std::string verb = arc::fold_ascii(pc.verb);
  if (pc.archive.empty()) {
    log.line("書庫名がありません");
    return kErrCommandName;
  }
  if (verb == "e" || verb == "x") return do_extract(owner, pc, log);
  if (verb == "t") return do_test(pc, log);
  if (verb == "p") return do_print(pc, out, size);
  if (verb == "l" || verb == "v") return do_list(pc, log);
  log.line("未対応のコマンドです : " + pc.verb);
  return kErrCommandName;
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
