#include "ops.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

#include "tarfmt.h"
#include "text.h"

namespace tarx {
namespace {

constexpr size_t kChunk = 1 << 16;

// Extension with its dot, as stored (double-byte aware through base_name).
std::string extension(const std::string& path) {
  std::string b = arc::base_name(path);
  size_t dot = b.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : b.substr(dot);
}

Kind kind_for(Codec c, bool tar) {
  switch (c) {
    case Codec::Gzip: return tar ? Kind::TarGz : Kind::Gz;
    case Codec::Bzip2: return tar ? Kind::TarBz2 : Kind::Bz2;
    case Codec::Compress: return tar ? Kind::TarZ : Kind::Z;
    default: return Kind::Tar;
  }
}

std::string skipped(const std::string& name, const std::string& why) { return "Skipped : " + name + "\t : " + why; }

bool same_path(const std::string& a, const std::string& b) {
#if defined(_WIN32)
  return arc::same_name(a, b);
#else
  return a == b;
#endif
}

// Copies the current entry's data into a file opened through the placer;
// the caller finishes and commits it. On failure nothing of it is left.
enum class CopyResult { Ok, ReadFailed, WriteFailed, Cancelled };

template <class ReadFn>
CopyResult write_file(fsio::PlacedFile& out, ReadFn&& readFn, uint64_t expect, bool bounded, Host& host,
                      const std::string& name, InStream& in, int64_t total) {
  std::vector<uint8_t> buf(kChunk);
  uint64_t done = 0;
  CopyResult r = CopyResult::Ok;
  int tick = 0;
  for (;;) {
    if (bounded && done == expect) break;
    size_t want = kChunk;
    if (bounded && expect - done < want) want = static_cast<size_t>(expect - done);
    size_t got = readFn(buf.data(), want);
    if (got == 0) {
      if (bounded || in.error() != StreamError::None) r = CopyResult::ReadFailed;
      break;
    }
    if (!out.write(buf.data(), static_cast<int64_t>(got))) {
      r = CopyResult::WriteFailed;
      break;
    }
    done += got;
    if ((++tick & 15) == 0 && !host.progress(name, in.raw_position(), total)) {
      r = CopyResult::Cancelled;
      break;
    }
  }
  if (r != CopyResult::Ok) out.discard();
  return r;
}

std::string failed(const std::string& name, fsio::PlaceError why) {
  if (why == fsio::PlaceError::none) why = fsio::PlaceError::other;
  return "Skipped " + name + "\t : 解凍に失敗しました (" + fsio::place_error_text(why) + ")";
}

// Entries of a compressed tar held beside their targets until the codec's
// check values (gzip CRC and length, bzip2 stream CRCs, the end of a
// compress stream) have been read: damage found there must not have
// replaced a good file with the bytes decoded before it.
class PendingFiles {
 public:
  struct File {
    std::unique_ptr<fsio::PlacedFile> file;
    std::string name;
  };
  void add(File f) { files_.push_back(std::move(f)); }
  // Puts every file in place; answers false when one could not be.
  bool commit(Host& host) {
    bool ok = true;
    for (auto& f : files_) {
      if (f.file->commit()) {
        host.log("Melted " + f.name);
      } else {
        host.log(failed(f.name, f.file->error()));
        ok = false;
      }
    }
    files_.clear();
    return ok;
  }
  // The stream was damaged: nothing of it goes in place.
  void drop(Host* host = nullptr, const std::string& why = std::string()) {
    for (auto& f : files_) {
      f.file->discard();
      if (host) host->log("Skipped " + f.name + "\t : 解凍に失敗しました (" + why + ")");
    }
    files_.clear();
  }

 private:
  std::vector<File> files_;
};

// Gzip trailer and header facts for listing a single .gz file without decoding it.
void gzip_facts(const std::string& path, ListedEntry& e) {
  auto f = fsio::open_read(path);
  if (!f) return;
  int64_t size = f->size();
  uint8_t head[8], tail[8];
  if (size >= 18 && f->read_exact(head, 8) && f->seek(size - 8) && f->read_exact(tail, 8)) {
    uint32_t mt = head[4] | head[5] << 8 | head[6] << 16 | uint32_t(head[7]) << 24;
    if (mt) e.mtime = mt;
    e.crc = tail[0] | tail[1] << 8 | tail[2] << 16 | uint32_t(tail[3]) << 24;
    e.size = tail[4] | tail[5] << 8 | tail[6] << 16 | uint32_t(tail[7]) << 24;
  }
}

int64_t gzip_mtime(const std::string& path) {
  ListedEntry e;
  gzip_facts(path, e);
  return e.mtime;
}

// Reads what follows the end of the tar data, so that the codec's check
// values (gzip trailer, bzip2 stream CRC) are seen too.
bool drain(InStream& in) {
  std::vector<uint8_t> buf(kChunk);
  while (in.read(buf.data(), buf.size())) {
  }
  return in.error() == StreamError::None;
}

// compress streams carry no check value, so the tar's own end is the last
// evidence that the decoded bytes are the packed ones: after the first zero
// block a second one, or nothing (some writers stop there). Anything else is
// a header that damage turned into zeros, and the data before it is suspect.
bool tar_end_whole(InStream& in, Codec c) {
  if (c != Codec::Compress) return true;
  uint8_t b[512];
  size_t got = 0;
  while (got < sizeof b) {
    size_t k = in.read(b + got, sizeof b - got);
    if (!k) break;
    got += k;
  }
  for (size_t i = 0; i < got; ++i)
    if (b[i]) return false;
  return true;
}

constexpr const char* kBrokenEnd = "書庫の終わりが壊れています";

Host::Answer overwrite_answer(const std::string& target, bool exists, bool& all, Host& host) {
  if (!exists || all) return Host::kYes;
  Host::Answer a = host.ask_overwrite(target);
  if (a == Host::kAll) {
    all = true;
    return Host::kYes;
  }
  return a;
}

bool names_tar(const std::string& path) {
  std::string b = arc::fold_ascii(arc::base_name(path));
  auto ends = [&](const char* e) {
    size_t n = std::char_traits<char>::length(e);
    return b.size() > n && b.compare(b.size() - n, n, e) == 0;
  };
  for (const char* e : {".tar.z", ".taz", ".tar.gz", ".tgz", ".tar.bz2", ".tbz", ".tbz2", ".tb2"})
    if (ends(e)) return true;
  return false;
}

}  // namespace

const char* kind_text(Kind k) {
  switch (k) {
    case Kind::Tar: return "tar";
    case Kind::TarGz: return "tar.gz";
    case Kind::TarBz2: return "tar.bz2";
    case Kind::TarZ: return "tar.Z";
    case Kind::Gz: return "gzip";
    case Kind::Bz2: return "bzip2";
    case Kind::Z: return "Z";
  }
  return "";
}

bool is_tar_kind(Kind k) { return k == Kind::Tar || k == Kind::TarGz || k == Kind::TarBz2 || k == Kind::TarZ; }

bool probe(const std::string& path, ArchiveInfo& info) {
  Codec c = Codec::None;
  int64_t size = 0;
  auto in = open_in(path, &c, &size);
  if (!in) return false;
  uint8_t b[512];
  size_t got = 0;
  while (got < sizeof b) {
    size_t k = in->read(b + got, sizeof b - got);
    if (!k) break;
    got += k;
  }
  bool tar = looks_like_tar(b, got);
  // A compressed file is ours even when it is too damaged to show its content:
  // the operations then report the damage.
  if (c == Codec::None && !tar) return false;
  // A name that says tar (.tar.Z, .taz, .tgz, ...) holds one: when its first
  // decoded block is none, the stream is damaged, not a single file whose
  // decoded bytes could be written out. compress has no check value, so the
  // name is all that tells them apart.
  if (c != Codec::None && !tar && names_tar(path)) tar = true;
  info.codec = c;
  info.kind = kind_for(c, tar);
  info.fileSize = size;
  return true;
}

std::string single_entry_name(const std::string& archivePath) {
  std::string b = arc::base_name(archivePath);
  std::string ext = arc::fold_ascii(extension(b));
  std::string stem = ext.empty() ? b : b.substr(0, b.size() - ext.size());
  if (ext == ".tgz" || ext == ".taz" || ext == ".tbz" || ext == ".tbz2") return stem + ".tar";
  if (ext == ".gz" || ext == ".z" || ext == ".bz2" || ext == ".bz" || ext == ".gzip") return stem.empty() ? b : stem;
  return b + ".out";
}

bool list(const std::string& path, ListResult& out) {
  out = ListResult{};
  if (!probe(path, out.info)) return false;
  int64_t fmtime = fsio::mtime(path);
  if (!is_tar_kind(out.info.kind)) {
    ListedEntry e;
    e.name = single_entry_name(path);
    e.packed = static_cast<uint64_t>(out.info.fileSize);
    e.mtime = fmtime;
    if (out.info.kind == Kind::Gz) gzip_facts(path, e);
    out.entries.push_back(e);
    return true;
  }
  auto in = open_in(path);
  if (!in) return false;
  Reader r(*in);
  if (out.info.codec != Codec::None) r.expect_tar();
  Entry te;
  while (r.next(te)) {
    ListedEntry e;
    e.name = te.name;
    e.size = te.size;
    e.packed = te.stored;
    e.mtime = te.mtime;
    e.type = te.type;
    e.mode = te.mode;
    out.entries.push_back(std::move(e));
  }
  out.error = r.error();
  return true;
}

namespace {

// The names of a command against the archive's entries; a stream is read
// once more beforehand only when some name could be one stored as written.
arc::NameMatcher matcher_for(const std::string& archive, const std::vector<std::string>& patterns) {
  arc::NameMatcher m(patterns);
  ListResult listed;
  if (m.needs_names() && list(archive, listed))
    for (auto& le : listed.entries) m.stored(le.name, le.type == '5');
  return m;
}

}  // namespace

int extract(const std::string& archive, const std::string& baseDir, const std::vector<std::string>& patterns,
            bool usePaths, Host& host) {
  ArchiveInfo info;
  if (!fsio::exists(archive)) {
    host.log("Error : " + archive + "\t : 書庫が開けません");
    return kErrCannotOpen;
  }
  if (!probe(archive, info)) {
    host.log("Error : " + archive + "\t : 書庫ではありません");
    return kErrNotArchive;
  }
  auto in = open_in(archive);
  if (!in) return kErrCannotOpen;
  fsio::Placer placer;
  if (!baseDir.empty() && !placer.make_dirs(baseDir)) {
    host.log("Error : " + baseDir + "\t : フォルダが作成できません (" + fsio::place_error_text(placer.error()) + ")");
    return kErrWrite;
  }
  bool all = false;
  int rc = kOk;
  const int64_t total = info.fileSize;

  if (!is_tar_kind(info.kind)) {
    std::string name = single_entry_name(archive);
    std::string target = fsio::join(baseDir, name);
    if (same_path(target, archive)) {
      host.log(skipped(name, "書庫そのものと同じ名前です"));
      return kErrSomeSkipped;
    }
    const fsio::Placer::Kind k = placer.look(target);
    const bool there = k == fsio::Placer::Kind::file;
    if (k == fsio::Placer::Kind::dir) {
      host.log(skipped(name, "同じ名前のフォルダがあります"));
      return kErrSomeSkipped;
    }
    Host::Answer a = overwrite_answer(target, there, all, host);
    if (a == Host::kCancel) return kErrCancelled;
    if (a == Host::kNo) {
      host.log(skipped(name, "同じ名前のファイルがあります"));
      return kOk;
    }
    host.progress(name, 0, total);
    auto out = placer.begin(target, there);
    if (!out) {
      host.log(failed(name, placer.error()));
      return kErrWrite;
    }
    int64_t mt = info.kind == Kind::Gz ? gzip_mtime(archive) : 0;
    CopyResult cr = write_file(*out, [&](uint8_t* p, size_t n) { return in->read(p, n); }, 0, false, host, name, *in,
                               total);
    if (cr == CopyResult::Ok && !(out->finish(mt > 0 ? mt : fsio::mtime(archive), 0) && out->commit()))
      cr = CopyResult::WriteFailed;
    if (cr == CopyResult::Ok) {
      host.log("Melted " + name);
      host.progress(name, total, total);
      return kOk;
    }
    if (cr == CopyResult::Cancelled) return kErrCancelled;
    if (cr == CopyResult::ReadFailed) {
      host.log("Skipped " + name + "\t : 解凍に失敗しました (" + error_text(in->error()) + ")");
      return kErrDamaged;
    }
    host.log(failed(name, out->error()));
    return kErrWrite;
  }

  Reader r(*in);
  if (info.codec != Codec::None) r.expect_tar();
  Entry e;
  std::map<std::string, std::string> made;  // stored file name -> where its data is, for hard links
  const bool verifyFirst = info.codec != Codec::None;
  PendingFiles pending;  // after the placer: its files go first
  size_t seen = 0, matched = 0;
  const arc::NameMatcher names = matcher_for(archive, patterns);
  while (r.next(e)) {
    ++seen;
    if (!host.progress(e.name, in->raw_position(), total)) return kErrCancelled;
    if (!names.matches(e.name)) continue;
    ++matched;
    auto rel = arc::safe_relative(e.name);
    if (!rel) {
      // "./" and the like name the base folder itself.
      bool self = true;
      for (char c : arc::to_slashes(e.name)) self &= (c == '.' || c == '/');
      if (!(self && !e.name.empty())) {
        host.log(skipped(e.name, "安全でないパスのため展開しません"));
        rc = rc ? rc : kErrSomeSkipped;
      }
      continue;
    }
    std::string relPath = *rel;
    if (is_dir_type(e.type)) {
      if (!usePaths) continue;
      std::string target = fsio::join(baseDir, relPath);
      if (placer.make_dirs(target)) {
        host.log("mkdir " + e.name);
      } else {
        host.log("Skipped " + e.name + "\t : 作成に失敗しました (" + fsio::place_error_text(placer.error()) + ")");
        rc = kErrWrite;
      }
      continue;
    }
    if (!usePaths) relPath = arc::base_name(relPath);
    std::string target = fsio::join(baseDir, relPath);
    if (e.type == '2') {
      host.log(skipped(e.name, "シンボリックリンクは展開しません"));
      rc = rc ? rc : kErrSomeSkipped;
      continue;
    }
    bool hardLink = e.type == '1';
    std::string linkSource;
    if (hardLink) {
      auto lrel = arc::safe_relative(e.linkname);
      auto it = lrel ? made.find(*lrel) : made.end();
      if (it == made.end()) {
        host.log(skipped(e.name, "リンク先のファイルがありません"));
        rc = rc ? rc : kErrSomeSkipped;
        continue;
      }
      linkSource = it->second;
    } else if (!is_file_type(e.type)) {
      // Devices, fifos, sparse files of an unknown version, multi-volume parts.
      host.log(skipped(e.name, "この種類のエントリは展開しません"));
      rc = rc ? rc : kErrSomeSkipped;
      continue;
    }
    const fsio::Placer::Kind k = placer.look(target);
    const bool there = k == fsio::Placer::Kind::file;
    if (k == fsio::Placer::Kind::dir) {
      host.log(skipped(e.name, "同じ名前のフォルダがあります"));
      rc = rc ? rc : kErrSomeSkipped;
      continue;
    }
    Host::Answer a = overwrite_answer(target, there, all, host);
    if (a == Host::kCancel) return kErrCancelled;
    if (a == Host::kNo) {
      host.log(skipped(e.name, "同じ名前のファイルがあります"));
      continue;
    }
    std::string parent = arc::dir_part(target);
    if (!parent.empty() && !placer.make_dirs(parent)) {
      host.log(failed(e.name, placer.error()));
      rc = kErrWrite;
      continue;
    }
    auto out = placer.begin(target, there);
    if (!out) {
      host.log(failed(e.name, placer.error()));
      rc = kErrWrite;
      continue;
    }
    CopyResult cr;
    if (hardLink) {
      auto src = fsio::open_read(linkSource);
      cr = src ? write_file(
                     *out,
                     [&](uint8_t* p, size_t n) {
                       int64_t got = src->read(p, static_cast<int64_t>(n));
                       return got > 0 ? static_cast<size_t>(got) : size_t(0);
                     },
                     0, false, host, e.name, *in, total)
               : CopyResult::WriteFailed;
      if (!src) out->discard();
    } else {
      cr = write_file(*out, [&](uint8_t* p, size_t n) { return r.read_data(p, n); }, e.size, true, host, e.name, *in,
                      total);
    }
    if (cr == CopyResult::Cancelled) return kErrCancelled;
    if (cr == CopyResult::ReadFailed) {
      const std::string why = r.error().empty() ? error_text(in->error()) : r.error();
      pending.drop(&host, why);
      host.log("Skipped " + e.name + "\t : 解凍に失敗しました (" + why + ")");
      return kErrDamaged;
    }
    // The time goes on with the data; held files are only renamed later.
    if (cr == CopyResult::Ok && !out->finish(e.mtime, 0)) cr = CopyResult::WriteFailed;
    if (cr == CopyResult::Ok && !verifyFirst && !out->commit()) cr = CopyResult::WriteFailed;
    if (cr == CopyResult::WriteFailed) {
      host.log(failed(e.name, out->error()));
      rc = kErrWrite;
      continue;
    }
    if (verifyFirst) {
      made[*rel] = out->data_path();
      pending.add({std::move(out), e.name});
      continue;
    }
    made[*rel] = target;
    host.log("Melted " + e.name);
  }
  if (r.error().empty() && !tar_end_whole(*in, info.codec)) {
    pending.drop(&host, kBrokenEnd);
    host.log("Error : " + arc::base_name(archive) + "\t : " + kBrokenEnd);
    return kErrDamaged;
  }
  if (r.error().empty() && info.codec != Codec::None && !drain(*in)) {
    pending.drop(&host, error_text(in->error()));
    host.log("Error : " + arc::base_name(archive) + "\t : " + error_text(in->error()));
    return kErrDamaged;
  }
  if (!r.error().empty()) {
    pending.drop(&host, r.error());
    host.log("Error : " + arc::base_name(archive) + "\t : " + r.error());
    return kErrDamaged;
  }
  if (!pending.commit(host)) rc = kErrWrite;
  host.progress("", total, total);
  if (seen && !matched) {
    host.log("Error : " + arc::base_name(archive) + "\t : 該当するファイルがありません");
    return kErrNoFiles;
  }
  return rc;
}

int test(const std::string& archive, Host& host) {
  ArchiveInfo info;
  if (!probe(archive, info)) {
    host.log("Error : " + archive + "\t : 書庫ではありません");
    return fsio::exists(archive) ? kErrNotArchive : kErrCannotOpen;
  }
  auto in = open_in(archive);
  if (!in) return kErrCannotOpen;
  std::vector<uint8_t> buf(kChunk);
  if (!is_tar_kind(info.kind)) {
    while (in->read(buf.data(), buf.size())) {
    }
    std::string name = single_entry_name(archive);
    if (in->error() != StreamError::None) {
      host.log("Error : " + name + "\t : " + error_text(in->error()));
      return kErrDamaged;
    }
    host.log("Tested " + name);
    return kOk;
  }
  Reader r(*in);
  if (info.codec != Codec::None) r.expect_tar();
  Entry e;
  while (r.next(e)) {
    if (!host.progress(e.name, in->raw_position(), info.fileSize)) return kErrCancelled;
    while (r.data_left() && r.read_data(buf.data(), buf.size())) {
    }
    if (!r.error().empty()) break;
    host.log("Tested " + e.name);
  }
  if (r.error().empty() && !tar_end_whole(*in, info.codec)) {
    host.log("Error : " + arc::base_name(archive) + "\t : " + kBrokenEnd);
    return kErrDamaged;
  }
  if (r.error().empty() && info.codec != Codec::None && !drain(*in)) {
    host.log("Error : " + arc::base_name(archive) + "\t : " + error_text(in->error()));
    return kErrDamaged;
  }
  if (!r.error().empty()) {
    host.log("Error : " + arc::base_name(archive) + "\t : " + r.error());
    return kErrDamaged;
  }
  return kOk;
}

int print(const std::string& archive, const std::string& name, uint8_t* buf, size_t size, size_t& written,
          Host& host) {
  written = 0;
  ArchiveInfo info;
  if (!probe(archive, info)) return fsio::exists(archive) ? kErrNotArchive : kErrCannotOpen;
  auto in = open_in(archive);
  if (!in) return kErrCannotOpen;
  auto fill = [&](auto&& readFn, bool bounded, uint64_t left) {
    while (written < size && (!bounded || left)) {
      size_t want = size - written;
      if (bounded && left < want) want = static_cast<size_t>(left);
      size_t got = readFn(buf + written, want);
      if (!got) break;
      written += got;
      left -= got;
    }
  };
  if (!is_tar_kind(info.kind)) {
    fill([&](uint8_t* p, size_t n) { return in->read(p, n); }, false, 0);
    if (written < size) buf[written] = 0;
    return written < size && in->error() != StreamError::None ? kErrDamaged : kOk;
  }
  Reader r(*in);
  if (info.codec != Codec::None) r.expect_tar();
  Entry e;
  const arc::NameMatcher names = matcher_for(archive, {name});
  while (r.next(e)) {
    if (!is_file_type(e.type) || !names.matches(e.name)) continue;
    fill([&](uint8_t* p, size_t n) { return r.read_data(p, n); }, true, e.size);
    if (written < size) buf[written] = 0;
    return r.error().empty() ? kOk : kErrDamaged;
  }
  return r.error().empty() ? kErrNoFiles : kErrDamaged;
}

namespace {

struct Source {
  std::string stored, path;
  bool dir;
};

void collect(const std::string& full, const std::string& stored, bool usePaths, std::vector<Source>& out, int depth) {
  if (fsio::is_dir(full)) {
    if (usePaths) out.push_back({stored + "/", full, true});
    if (depth > 64) return;
    std::vector<fsio::DirEntry> kids;
    fsio::list_dir(full, kids);
    std::sort(kids.begin(), kids.end(), [](const fsio::DirEntry& a, const fsio::DirEntry& b) { return a.name < b.name; });
    for (auto& k : kids)
      collect(fsio::join(full, k.name), usePaths ? stored + "/" + k.name : k.name, usePaths, out, depth + 1);
    return;
  }
  out.push_back({usePaths ? stored : arc::base_name(stored), full, false});
}

bool has_wild(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// What stopped a new archive, as a log line.
std::string cannot_write(const fsio::NewArchive& out) {
  using Step = fsio::NewArchive::Step;
  const char* what = out.step() == Step::readOnly  ? "書庫が読み込み専用のため変更できません"
                     : out.step() == Step::create  ? "作業ファイルが作成できません"
                     : out.step() == Step::replace ? "書庫を置き換えられません"
                                                   : "書庫の書き込みに失敗しました";
  return "Error : " + out.target() + "\t : " + what + " (" + out.reason() + ")";
}

}  // namespace

int create_tar(const std::string& archive, const std::string& baseDir, const std::vector<std::string>& names,
               Codec codec, int level, bool usePaths, Host& host) {
  if (codec == Codec::Compress) {
    host.log("Error : " + archive + "\t : compress 形式では作成できません");
    return kErrCommand;
  }
  std::vector<Source> sources;
  for (auto& n0 : names) {
    std::string n = arc::to_slashes(n0);
    while (!n.empty() && n.back() == '/' && arc::ends_with_separator(n)) n.pop_back();
    std::string last = arc::base_name(n);
    if (has_wild(last)) {
      std::string dir = arc::dir_part(n);
      while (!dir.empty() && dir.back() == '/') dir.pop_back();
      std::vector<fsio::DirEntry> kids;
      std::string full = dir.empty() ? baseDir : fsio::join(baseDir, dir);
      fsio::list_dir(full, kids);
      std::sort(kids.begin(), kids.end(), [](const fsio::DirEntry& a, const fsio::DirEntry& b) { return a.name < b.name; });
      for (auto& k : kids)
        if (last == "*.*" || last == "*" || arc::match_name(last, k.name))
          collect(fsio::join(full, k.name), dir.empty() ? k.name : dir + "/" + k.name, usePaths, sources, 0);
      continue;
    }
    std::string full = fsio::join(baseDir, n);
    if (!fsio::exists(full)) {
      host.log(skipped(n0, "ファイルが見つかりません"));
      continue;
    }
    collect(full, n, usePaths, sources, 0);
  }
  if (sources.empty()) {
    host.log("Error : " + archive + "\t : 圧縮するファイルがありません");
    return kErrNoFiles;
  }
  fsio::NewArchive file(archive);
  if (!file.open()) {
    host.log(cannot_write(file));
    return kErrWrite;
  }
  const std::string tmp = file.temp();
  auto out = open_out(file.file(), codec, level);
  Writer w(*out);
  int rc = kOk;
  bool ok = true;
  std::vector<uint8_t> buf(kChunk);
  int64_t totalIn = 0;
  for (auto& s : sources) totalIn += s.dir ? 0 : std::max<int64_t>(0, fsio::file_size(s.path));
  int64_t doneIn = 0;
  for (auto& s : sources) {
    if (!host.progress(s.stored, doneIn, totalIn)) {
      rc = kErrCancelled;
      ok = false;
      break;
    }
    if (same_path(s.path, archive) || same_path(s.path, tmp)) continue;  // never the archive into itself
    if (s.dir) {
      ok = w.add_dir(s.stored, fsio::mtime(s.path));
      if (!ok) break;
      continue;
    }
    auto f = fsio::open_read(s.path);
    if (!f) {
      host.log(skipped(s.stored, "ファイルが開けません"));
      rc = kErrSomeSkipped;
      continue;
    }
    int64_t size = f->size();
    if (size < 0) size = 0;
    uint32_t mode = (fsio::attributes(s.path) & 1) ? 0444 : 0644;
    if (!w.begin_file(s.stored, static_cast<uint64_t>(size), fsio::mtime(s.path), mode)) {
      ok = false;
      break;
    }
    // Exactly the declared size goes in, even if the file changes meanwhile.
    int64_t left = size;
    while (left > 0 && ok) {
      int64_t got = f->read(buf.data(), std::min<int64_t>(left, static_cast<int64_t>(buf.size())));
      if (got <= 0) {
        std::fill(buf.begin(), buf.end(), 0);
        got = std::min<int64_t>(left, static_cast<int64_t>(buf.size()));
        rc = kErrSomeSkipped;
      }
      ok = w.write_data(buf.data(), static_cast<size_t>(got));
      left -= got;
      doneIn += got;
    }
    if (!ok || !w.end_file()) {
      ok = false;
      break;
    }
    host.log("Packed " + s.stored);
  }
  if (ok) ok = w.finish();
  out.reset();
  if (!ok || !file.commit()) {
    file.discard();
    if (rc == kErrCancelled && file.ok()) return rc;
    host.log(file.ok() ? "Error : " + archive + "\t : 書庫の作成に失敗しました" : cannot_write(file));
    return kErrWrite;
  }
  host.progress("", totalIn, totalIn);
  return rc;
}

int create_single(const std::string& archive, const std::string& input, Codec codec, int level, Host& host) {
  if (codec == Codec::None || codec == Codec::Compress) {
    host.log("Error : " + archive + "\t : この形式では作成できません");
    return kErrCommand;
  }
  if (fsio::is_dir(input) || !fsio::exists(input)) {
    host.log(skipped(input, "ファイルが見つかりません"));
    return kErrNoFiles;
  }
  if (same_path(archive, input)) return kErrCommand;
  auto f = fsio::open_read(input);
  if (!f) {
    host.log(skipped(input, "ファイルが開けません"));
    return kErrCannotOpen;
  }
  fsio::NewArchive file(archive);
  if (!file.open()) {
    host.log(cannot_write(file));
    return kErrWrite;
  }
  int64_t mt = fsio::mtime(input);
  auto out = open_out(file.file(), codec, level, arc::base_name(input), mt);
  std::vector<uint8_t> buf(kChunk);
  int64_t total = f->size(), done = 0;
  bool ok = true, cancelled = false;
  for (;;) {
    int64_t got = f->read(buf.data(), static_cast<int64_t>(buf.size()));
    if (got < 0) ok = false;
    if (got <= 0) break;
    if (!out->write(buf.data(), static_cast<size_t>(got))) {
      ok = false;
      break;
    }
    done += got;
    if (!host.progress(arc::base_name(input), done, total)) {
      ok = false;
      cancelled = true;
      break;
    }
  }
  if (ok) ok = out->finish();
  out.reset();
  if (!ok || !file.commit()) {
    file.discard();
    if (cancelled && file.ok()) return kErrCancelled;
    host.log(file.ok() ? "Error : " + archive + "\t : 書庫の作成に失敗しました" : cannot_write(file));
    return kErrWrite;
  }
  fsio::set_mtime(archive, mt);
  host.log("Packed " + arc::base_name(input));
  return kOk;
}

}  // namespace tarx
