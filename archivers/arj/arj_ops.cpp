// The ARJ library's commands over the portable reader (see arj_ops.h).
#include "arj_ops.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "arj.h"
#include "fsio.h"
#include "text.h"

namespace arj {

namespace {

int result_code(arj::Result r) {
  switch (r) {
    case arj::Result::Ok: return 0;
    case arj::Result::Stopped: return kErrUserCancel;
    case arj::Result::BadCrc: return kErrCrc;
    case arj::Result::Unsupported: return kErrMethod;
    case arj::Result::Encrypted: return kErrPasswordFile;
    case arj::Result::BadData:
    case arj::Result::Truncated: return kErrBrokenData;
  }
  return kErrBrokenData;
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
arc::NameMatcher named(const std::vector<std::string>& names, const Opened& o) {
  arc::NameMatcher m(names);
  if (m.needs_names())
    for (auto& e : o.arc.entries) m.stored(e.name, e.is_dir());
  return m;
}

}  // namespace

int list(const std::string& archive, const std::vector<std::string>& wanted, arc::LogWriter& log) {
  Opened o;
  if (int rc = open_archive(archive, o, log)) return rc;
  const arc::NameMatcher names = named(wanted, o);
  for (auto& e : o.arc.entries) {
    if (!names.matches(e.name)) continue;
    char line[64];
    std::snprintf(line, sizeof line, "\t%lu\t%lu\t%04x-%04x\t", static_cast<unsigned long>(e.original),
              static_cast<unsigned long>(e.packed), static_cast<unsigned>(e.dosTime >> 16),
              static_cast<unsigned>(e.dosTime & 0xFFFF));
    log.line(e.name + line + arj::method_text(e));
  }
  return damage_tail(o, log, 0);
}

int test(const std::string& archive, const std::vector<std::string>& wanted, arc::LogWriter& log) {
  Opened o;
  if (int rc = open_archive(archive, o, log)) return rc;
  int rc = 0;
  const arc::NameMatcher names = named(wanted, o);
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

int print(const std::string& archive, const std::vector<std::string>& wanted, char* out, uint32_t size) {
  arc::LogWriter quiet(nullptr, 0);
  Opened o;
  if (int rc = open_archive(archive, o, quiet)) return rc;
  uint32_t used = 0;
  int rc = 0;
  bool any = false;
  const arc::NameMatcher names = named(wanted, o);
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

int extract(const std::string& archive, const ExtractOptions& options, Host& host, arc::LogWriter& log) {
  ExtractOptions opt = options;
  Opened o;
  if (int rc = open_archive(archive, o, log)) return rc;
  int rc = 0;
  const std::string& base = opt.base;
  fsio::Placer placer;
  const arc::NameMatcher names = named(opt.names, o);
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
      bool made = false;
      if (placer.make_dirs(dir, &made)) {
        if (made) log.line("mkdir " + *rel);
      } else {
        log.line("Skipped : " + e.name + "\t : フォルダを作成できません (" + fsio::place_error_text(placer.error()) +
                 ")");
        rc = kErrMakeDir;
      }
      continue;
    }
    std::string relPath = opt.withFolders ? *rel : arc::base_name(*rel);
    std::string target = fsio::join(base, relPath);
    const fsio::Placer::Kind there = placer.look(target);
    if (there != fsio::Placer::Kind::none) {
      if (there == fsio::Placer::Kind::dir) {
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
        // With the dialogs suppressed nobody can be asked: keep the existing file.
        Host::Overwrite a = opt.silent ? Host::Overwrite::No : host.ask_overwrite(target);
        if (a == Host::Overwrite::Cancel) {
          log.line("ユーザーにより中断されました。");
          return kErrUserCancel;
        }
        if (a == Host::Overwrite::No) {
          log.line("Skipped : " + e.name);
          continue;
        }
        if (a == Host::Overwrite::All) opt.yesToAll = true;
      }
    }
    std::string dir = arc::dir_part(target);
    if (!dir.empty() && !placer.make_dirs(dir)) {
      log.line("Skipped : " + e.name + "\t : フォルダを作成できません (" + fsio::place_error_text(placer.error()) +
               ")");
      rc = kErrMakeDir;
      continue;
    }
    // A new name is written in place, an old file beside itself and replaced
    // only when the CRC agrees, so a damaged entry never replaces a good file.
    auto f = placer.begin(target, there == fsio::Placer::Kind::file);
    if (!f) {
      log.line("Skipped : " + e.name + "\t : ファイルを作成できません (" + fsio::place_error_text(placer.error()) +
               ")");
      rc = kErrFileOpen;
      continue;
    }
    uint32_t written = 0;
    auto report = [&](int mode) { return host.progress(mode, e.original, written, e.name, target); };
    bool cancelled = report(kBegin);
    bool writeFailed = false;
    arj::Result r = arj::Result::Stopped;
    if (!cancelled) {
      r = arj::extract(*o.src, e, [&](const uint8_t* p, size_t n) {
        if (!f->write(p, static_cast<int64_t>(n))) {
          writeFailed = true;
          return false;
        }
        written += static_cast<uint32_t>(n);
        if (report(kInProcess)) {
          cancelled = true;
          return false;
        }
        return true;
      });
    }
    if (r == arj::Result::Ok &&
        f->finish(e.mtime, opt.allAttributes ? e.dos_attributes() & 0x27 : 0) && f->commit()) {
      log.line("Melted " + e.name);
      report(kEnd);
      continue;
    }
    const fsio::PlaceError why = f->error();
    f->discard();
    if (cancelled) {
      log.line("ユーザーにより中断されました。");
      return kErrUserCancel;
    }
    if (writeFailed || r == arj::Result::Ok) {
      log.line("Skipped : " + e.name + "\t : 書き込みに失敗しました (" + fsio::place_error_text(why) + ")");
      rc = kErrCannotWrite;
    } else {
      log.line("Skipped : " + e.name + "\t : " + arj::result_text(r));
      rc = result_code(r);
    }
  }
  return damage_tail(o, log, rc);
}

}  // namespace arj
