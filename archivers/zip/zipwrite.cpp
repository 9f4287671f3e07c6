#include "zipwrite.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "fsio.h"
#include "text.h"
#include "zipfmt.h"

namespace zipf {
namespace {

constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint64_t kInMemoryLimit = 16u << 20;

// Hidden and system files and folders are packed only with the system switch.
bool left_out(bool system, uint32_t attrs) { return !system && (attrs & 0x06); }

void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void put64(std::vector<uint8_t>& b, uint64_t v) {
  put32(b, static_cast<uint32_t>(v));
  put32(b, static_cast<uint32_t>(v >> 32));
}


bool has_wild(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool is_absolute(std::string_view p) {
  return (p.size() >= 2 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

// A file to take in: where it lies and the name it gets.
struct Source {
  std::string path;
  std::string stored;
  bool dir = false;
  fsio::DirEntry facts;  // attributes, size and time when the folder listing gave them
};

// Lists a folder and every folder below it on a few threads, ahead of the
// walk that takes them in order: each listing waits on the file system (under
// Wine on several trips to its server), and those waits overlap.
class Listings {
 public:
  Listings(unsigned threads, bool system) : threads_(threads), system_(system) {}

  // Lists root and the folders below it, depth levels deep at most.
  void fill(const std::string& root, int depth) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back({root, depth});
    }
    std::vector<std::thread> running;
    try {
      for (unsigned t = 1; t < threads_; ++t) running.emplace_back([this] { run(); });
    } catch (const std::exception&) {
      // fewer threads, then
    }
    run();
    for (auto& t : running) t.join();
  }

  // The listing of path, sorted by name, when it was made; it is handed out once.
  bool take(const std::string& path, std::vector<fsio::DirEntry>& out) {
    auto it = done_.find(path);
    if (it == done_.end()) return false;
    out = std::move(it->second);
    done_.erase(it);
    return true;
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (queue_.empty()) {
        if (!busy_) break;
        more_.wait(lock, [&] { return !queue_.empty() || !busy_; });
        continue;
      }
      auto [path, depth] = std::move(queue_.back());
      queue_.pop_back();
      ++busy_;
      lock.unlock();
      std::vector<fsio::DirEntry> list;
      bool ok = fsio::list_dir(path, list);
      std::sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.name < b.name; });
      std::vector<std::pair<std::string, int>> below;
      if (depth > 0) {
        for (auto& d : list)
          if (d.dir && !(d.known && left_out(system_, d.attrs))) below.push_back({fsio::join(path, d.name), depth - 1});
      }
      lock.lock();
      --busy_;
      if (ok) done_.emplace(std::move(path), std::move(list));
      for (auto& b : below) queue_.push_back(std::move(b));
      if (!below.empty() || !busy_) more_.notify_all();
    }
  }

  unsigned threads_;
  bool system_;
  std::mutex mutex_;
  std::condition_variable more_;
  std::vector<std::pair<std::string, int>> queue_;
  int busy_ = 0;
  std::map<std::string, std::vector<fsio::DirEntry>> done_;
};

class Collector {
 public:
  Collector(const PackOptions& o, PackHooks& h) : opt_(o), hooks_(h) {}
  std::vector<Source> files;
  int missing = 0;

  void add_name(const std::string& raw) {
    std::string name = raw;
    std::string full = is_absolute(name) ? name : fsio::join(opt_.rootDir, name);
    std::string stored = stored_name(name);
    std::string base = arc::base_name(full);
    if (has_wild(base)) {
      std::string folder = arc::dir_part(full);
      std::string storedFolder = arc::dir_part(stored);
      std::vector<fsio::DirEntry> list;
      if (!fsio::list_dir(folder.empty() ? std::string(".") : folder, list)) {
        ++missing;
        hooks_.log("zip warning: name not matched: " + raw);
        return;
      }
      int found = 0;
      for (auto& d : list) {
        if (!arc::match_name(base, d.name)) continue;
        ++found;
        take(fsio::join(folder, d.name), storedFolder + d.name, d.dir, 0, &d);
      }
      if (!found) {
        ++missing;
        hooks_.log("zip warning: name not matched: " + raw);
      }
      return;
    }
    if (!fsio::exists(full)) {
      ++missing;
      hooks_.log("zip warning: name not matched: " + raw);
      return;
    }
    take(full, stored, fsio::is_dir(full), 0);
  }

 private:
  std::string stored_name(const std::string& name) {
    std::string s = arc::to_slashes(name);
    if (is_absolute(name)) {
      std::string root = arc::to_slashes(opt_.rootDir);
      while (!root.empty() && root.back() == '/') root.pop_back();
      if (!root.empty() && s.size() > root.size() && arc::fold_ascii(s.substr(0, root.size())) == arc::fold_ascii(root) &&
          s[root.size()] == '/') {
        s = s.substr(root.size() + 1);
      } else if (s.size() >= 2 && s[1] == ':') {
        s = s.substr(2);
      }
    }
    size_t i = 0;
    while (i < s.size() && s[i] == '/') ++i;
    s = s.substr(i);
    while (s.rfind("./", 0) == 0) s = s.substr(2);
    while (!s.empty() && s.back() == '/') s.pop_back();
    return s;
  }

  void take(const std::string& path, std::string stored, bool dir, int depth, const fsio::DirEntry* facts = nullptr) {
    uint32_t attrs = facts && facts->known ? facts->attrs : fsio::attributes(path);
    if (left_out(opt_.system, attrs)) return;
    if (opt_.junkDir) stored = arc::base_name(stored);
    if (stored.empty() && !dir) return;
    if (dir) {
      if (!stored.empty() && !opt_.noDirEntries && !opt_.junkDir) files.push_back(source(path, stored + "/", true, facts));
      if (!opt_.recurse || depth > 64) return;
      std::vector<fsio::DirEntry> list;
      if (!listings_.take(path, list)) {
        if (depth == 0) {
          listings_.fill(path, 64);
          if (!listings_.take(path, list)) return;
        } else {
          if (!fsio::list_dir(path, list)) return;
          std::sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.name < b.name; });
        }
      }
      for (auto& d : list)
        take(fsio::join(path, d.name), stored.empty() ? d.name : stored + "/" + d.name, d.dir, depth + 1, &d);
      return;
    }
    files.push_back(source(path, stored, false, facts));
  }

  static Source source(const std::string& path, std::string stored, bool dir, const fsio::DirEntry* facts) {
    Source s{path, std::move(stored), dir, {}};
    if (facts) {
      s.facts.known = facts->known;
      s.facts.attrs = facts->attrs;
      s.facts.size = facts->size;
      s.facts.mtime = facts->mtime;
    }
    return s;
  }

  const PackOptions& opt_;
  PackHooks& hooks_;
  Listings listings_{std::max(1u, std::min(4u, std::thread::hardware_concurrency())), opt_.system};
};

// Central directory record being built for the new archive.
struct Out {
  Entry e;
};

class Writer {
 public:
  // Writes go on from where the file stands (a new file: its start).
  explicit Writer(fsio::File& f) : f_(f), at_(std::max<int64_t>(0, f.tell())) { buf_.reserve(kBuf); }
  bool ok = true;

  // Small writes are gathered: an archive of many small entries would
  // otherwise cost a system call per header. The position is counted here,
  // not asked of the file (a call per entry).
  uint64_t pos() const { return at_ + buf_.size(); }
  void write(const void* p, size_t n) {
    if (!ok || !n) return;
    if (buf_.size() + n > kBuf) flush();
    if (n >= kBuf) {
      if (!f_.write(p, static_cast<int64_t>(n))) ok = false;
      at_ += n;
      return;
    }
    const uint8_t* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
  }
  void flush() {
    if (ok && !buf_.empty() && !f_.write(buf_.data(), static_cast<int64_t>(buf_.size()))) ok = false;
    at_ += buf_.size();
    buf_.clear();
  }
  void write(const std::vector<uint8_t>& b) { write(b.data(), b.size()); }

  void local_header(const Entry& e, bool zip64) {
    std::vector<uint8_t> h;
    put32(h, kSigLocal);
    put16(h, zip64 ? 45 : e.versionNeeded);
    put16(h, e.flags);
    put16(h, e.method);
    put16(h, e.dosTime & 0xFFFF);
    put16(h, e.dosTime >> 16);
    put32(h, e.crc);
    put32(h, zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(e.csize));
    put32(h, zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(e.usize));
    put16(h, static_cast<uint32_t>(e.rawName.size()));
    put16(h, static_cast<uint32_t>(e.extra.size() + (zip64 ? 20 : 0)));
    h.insert(h.end(), e.rawName.begin(), e.rawName.end());
    if (zip64) {
      put16(h, 1);
      put16(h, 16);
      put64(h, e.usize);
      put64(h, e.csize);
    }
    h.insert(h.end(), e.extra.begin(), e.extra.end());
    write(h);
  }

  void descriptor(const Entry& e, bool zip64) {
    std::vector<uint8_t> h;
    put32(h, kSigDescriptor);
    put32(h, e.crc);
    if (zip64) {
      put64(h, e.csize);
      put64(h, e.usize);
    } else {
      put32(h, static_cast<uint32_t>(e.csize));
      put32(h, static_cast<uint32_t>(e.usize));
    }
    write(h);
  }

  void central(const std::vector<Entry>& all, const std::string& comment) {
    uint64_t cdStart = pos();
    std::vector<uint8_t> h;
    h.reserve(1 << 16);
    for (auto& e : all) {
      bool bigU = e.usize >= kMax32, bigC = e.csize >= kMax32, bigO = e.offset >= kMax32;
      std::vector<uint8_t> z;
      if (bigU) put64(z, e.usize);
      if (bigC) put64(z, e.csize);
      if (bigO) put64(z, e.offset);
      put32(h, kSigCentral);
      put16(h, e.versionMade);
      put16(h, (bigU || bigC || bigO) ? std::max<uint16_t>(45, e.versionNeeded) : e.versionNeeded);
      put16(h, e.flags);
      put16(h, e.method);
      put16(h, e.dosTime & 0xFFFF);
      put16(h, e.dosTime >> 16);
      put32(h, e.crc);
      put32(h, bigC ? 0xFFFFFFFFu : static_cast<uint32_t>(e.csize));
      put32(h, bigU ? 0xFFFFFFFFu : static_cast<uint32_t>(e.usize));
      put16(h, static_cast<uint32_t>(e.rawName.size()));
      put16(h, static_cast<uint32_t>(e.extra.size() + (z.empty() ? 0 : z.size() + 4)));
      put16(h, static_cast<uint32_t>(e.comment.size()));
      put16(h, 0);
      put16(h, e.internalAttr);
      put32(h, e.externalAttr);
      put32(h, bigO ? 0xFFFFFFFFu : static_cast<uint32_t>(e.offset));
      h.insert(h.end(), e.rawName.begin(), e.rawName.end());
      if (!z.empty()) {
        put16(h, 1);
        put16(h, static_cast<uint32_t>(z.size()));
        h.insert(h.end(), z.begin(), z.end());
      }
      h.insert(h.end(), e.extra.begin(), e.extra.end());
      h.insert(h.end(), e.comment.begin(), e.comment.end());
      if (h.size() > (1u << 20)) {
        write(h);
        h.clear();
      }
    }
    write(h);
    h.clear();
    uint64_t cdEnd = pos();
    uint64_t cdSize = cdEnd - cdStart, count = all.size();
    bool z64 = count >= 0xFFFF || cdSize >= kMax32 || cdStart >= kMax32;
    if (z64) {
      put32(h, kSigEnd64);
      put64(h, 44);
      put16(h, 45);
      put16(h, 45);
      put32(h, 0);
      put32(h, 0);
      put64(h, count);
      put64(h, count);
      put64(h, cdSize);
      put64(h, cdStart);
      put32(h, kSigLoc64);
      put32(h, 0);
      put64(h, cdEnd);
      put32(h, 1);
    }
    put32(h, kSigEnd);
    put16(h, 0);
    put16(h, 0);
    put16(h, z64 ? 0xFFFF : static_cast<uint32_t>(count));
    put16(h, z64 ? 0xFFFF : static_cast<uint32_t>(count));
    put32(h, z64 ? 0xFFFFFFFFu : static_cast<uint32_t>(cdSize));
    put32(h, z64 ? 0xFFFFFFFFu : static_cast<uint32_t>(cdStart));
    std::string c = comment.substr(0, 0xFFFF);
    put16(h, static_cast<uint32_t>(c.size()));
    h.insert(h.end(), c.begin(), c.end());
    write(h);
  }

 private:
  static constexpr size_t kBuf = 1 << 20;
  fsio::File& f_;
  uint64_t at_;
  std::vector<uint8_t> buf_;
};

class Encryptor {
 public:
  Encryptor(const std::string& pw, uint32_t crc, std::mt19937& rng) {
    zc_.init(pw);
    for (int i = 0; i < 11; ++i) header[i] = zc_.encrypt_byte(static_cast<uint8_t>(rng()));
    header[11] = zc_.encrypt_byte(static_cast<uint8_t>(crc >> 24));
  }
  void apply(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = zc_.encrypt_byte(p[i]);
  }
  uint8_t header[12];

 private:
  ZipCrypto zc_;
};

// What packing one file after another needs, made once for the whole run:
// the compressor (reset between files, not set up again) and the buffers.
class Workspace {
 public:
  explicit Workspace(int level) : level_(level) {}
  ~Workspace() {
    if (ready_) deflateEnd(&zs_);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // The compressor, ready for a new stream; null when it cannot be made.
  z_stream* stream() {
    if (ready_) {
      deflateReset(&zs_);
    } else {
      zs_ = z_stream{};
      if (deflateInit2(&zs_, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return nullptr;
      ready_ = true;
    }
    return &zs_;
  }

  // Deflates n bytes into out (grown as needed, never shrunk), its length
  // into outSize; false when the result is no smaller than the input.
  bool deflate_smaller(const uint8_t* in, size_t n, std::vector<uint8_t>& out, size_t& outSize) {
    z_stream* zs = stream();
    if (!zs) return false;
    size_t bound = deflateBound(zs, static_cast<uLong>(n)) + 16;
    if (out.size() < bound) out.resize(bound);
    zs->next_in = const_cast<uint8_t*>(in);
    zs->avail_in = static_cast<uInt>(n);
    zs->next_out = out.data();
    zs->avail_out = static_cast<uInt>(std::min(out.size(), n));
    int rc = deflate(zs, Z_FINISH);
    outSize = zs->total_out;
    return rc == Z_STREAM_END && outSize < n;
  }

  // Whether n bytes are the stream of a compressor (gzip, bzip2, xz, zstd,
  // 7z) that deflate cannot shrink: tried on a sample, so that such a file
  // made without compressing (stored blocks) is still deflated. Deflating
  // all of it would cost as much as deflating plain text for no gain.
  bool incompressible(const uint8_t* in, size_t n) {
    static constexpr struct {
      uint8_t len, sig[6];
    } kSigs[] = {{2, {0x1F, 0x8B}}, {3, {'B', 'Z', 'h'}}, {6, {0xFD, '7', 'z', 'X', 'Z', 0}},
                 {4, {0x28, 0xB5, 0x2F, 0xFD}}, {6, {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C}}};
    constexpr size_t kSample = 8192, kSkip = 64;
    if (n < kSkip + kSample) return false;
    bool known = false;
    for (auto& sg : kSigs) known = known || std::memcmp(in, sg.sig, sg.len) == 0;
    if (!known) return false;
    size_t got = 0;
    if (!deflate_smaller(in + kSkip, kSample, sample_, got)) return true;
    return got > kSample - kSample / 64;  // under 1.5% smaller
  }

  int level() const { return level_; }

 private:
  std::vector<uint8_t> sample_;
  int level_;
  z_stream zs_{};
  bool ready_ = false;
};

uint16_t level_flags(int level) {
  if (level >= 8) return 2;
  if (level <= 2) return 6;
  return 0;
}

// "X/*.*" names the folder X itself too, so its own entry goes with its contents.
bool names_folder(const std::vector<std::string>& pats, const Entry& e) {
  if (!e.is_dir() || e.name.empty() || e.name.back() != '/') return false;
  for (const auto& p : pats) {
    for (std::string_view tail : {"*.*", "*"}) {
      if (p.size() <= tail.size() || p.compare(p.size() - tail.size(), tail.size(), tail) != 0) continue;
      std::string folder = p.substr(0, p.size() - tail.size());
      if (arc::ends_with_separator(folder) && arc::same_name(folder, e.name)) return true;
    }
  }
  return false;
}

// A file read in and deflated, waiting for its turn to be written.
struct Prepared {
  int rc = kZipOk;
  std::string message;    // logged at the file's turn
  bool streamed = false;  // too big to hold: packed while being written, from file
  std::unique_ptr<fsio::File> file;
  Entry e;
  std::vector<uint8_t> data, packed;  // grown as needed, never shrunk
  size_t size = 0, packedSize = 0;
  bool deflated = false;
};

// Everything about a file that does not touch the archive: any thread may do
// it, for files further on while the writer is busy.
void prepare(const Source& s, const PackOptions& opt, Workspace& ws, Prepared& p) {
  p.rc = kZipOk;
  p.message.clear();
  p.streamed = p.deflated = false;
  p.file.reset();
  p.size = p.packedSize = 0;
  Entry& e = p.e;
  e = Entry{};
  e.rawName = s.stored;
  e.name = s.stored;
  e.versionMade = 20;  // MS-DOS attributes, format 2.0
  int64_t mt = s.facts.known ? s.facts.mtime : fsio::mtime(s.path);
  if (mt < 0) mt = fsio::now();
  e.dosTime = arc::unix_to_dos(mt);
  uint32_t attrs = s.facts.known ? s.facts.attrs : fsio::attributes(s.path);
  e.externalAttr = (attrs & 0x37) | (s.dir ? 0x10 : 0);
  if (s.dir) {
    e.versionNeeded = 10;
    return;
  }
  auto f = fsio::open_read(s.path);
  if (!f) {
    p.message = "zip warning: could not open for reading: " + s.path;
    p.rc = kZipRead;
    return;
  }
  int64_t size = f->size();
  if (size < 0) {
    p.rc = kZipRead;
    return;
  }
  e.usize = static_cast<uint64_t>(size);
  if (e.usize >= kMax32) {
    p.message = "zip error: file too large: " + s.path;
    p.rc = kZipParams;
    return;
  }
  bool enc = opt.encrypt;
  if (enc) e.flags |= kFlagEncrypted;
  if (e.usize > kInMemoryLimit) {
    p.streamed = true;
    p.file = std::move(f);
    return;
  }
  const size_t n = static_cast<size_t>(e.usize);
  if (p.data.size() < n) p.data.resize(n);
  if (n && !f->read_exact(p.data.data(), static_cast<int64_t>(n))) {
    p.rc = kZipRead;
    return;
  }
  p.size = n;
  e.crc = static_cast<uint32_t>(::crc32(0, p.data.data(), static_cast<uInt>(n)));
  int level = ws.level();
  p.deflated = level > 0 && n && !ws.incompressible(p.data.data(), n) &&
               ws.deflate_smaller(p.data.data(), n, p.packed, p.packedSize);
  e.method = p.deflated ? 8 : 0;
  if (p.deflated) e.flags |= level_flags(level);
  e.versionNeeded = (p.deflated || enc) ? 20 : 10;
  e.csize = (p.deflated ? p.packedSize : n) + (enc ? 12 : 0);
}

int stream_file(Writer& w, fsio::File& f, const PackOptions& opt, std::mt19937& rng, Entry& e, Workspace& ws);

// Writes a prepared file as a new entry; answers kZipOk or an error.
int write_prepared(Writer& w, const Source& s, const PackOptions& opt, std::mt19937& rng, Prepared& p,
                   PackHooks& hooks, Workspace& ws) {
  if (!p.message.empty()) hooks.log(p.message);
  if (p.rc != kZipOk) return p.rc;
  Entry& e = p.e;
  e.offset = w.pos();
  if (s.dir) {
    w.local_header(e, false);
    return w.ok ? kZipOk : kZipTemp;
  }
  if (p.streamed) return stream_file(w, *p.file, opt, rng, e, ws);
  uint8_t* body = p.deflated ? p.packed.data() : p.data.data();
  size_t bodySize = p.deflated ? p.packedSize : p.size;
  w.local_header(e, false);
  if (opt.encrypt) {
    Encryptor en(opt.password, e.crc, rng);
    en.apply(body, bodySize);
    w.write(en.header, 12);
  }
  w.write(body, bodySize);
  return w.ok ? kZipOk : kZipTemp;
}

// Deflates one piece of a big file as a part of one stream: primed with the
// 32 KiB before it and ended on a byte boundary (the last one as the
// stream's end), so that the pieces laid end to end are the whole stream.
bool deflate_piece(int level, const std::vector<uint8_t>& dict, const std::vector<uint8_t>& in, bool last,
                   std::vector<uint8_t>& out) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  bool ok = dict.empty() ||
            deflateSetDictionary(&zs, dict.data(), static_cast<uInt>(dict.size())) == Z_OK;
  if (ok) {
    out.resize(deflateBound(&zs, static_cast<uLong>(in.size())) + 64);
    zs.next_in = const_cast<uint8_t*>(in.data());
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&zs, last ? Z_FINISH : Z_SYNC_FLUSH);
    ok = last ? rc == Z_STREAM_END : (rc == Z_OK && zs.avail_in == 0);
    out.resize(zs.total_out);
  }
  deflateEnd(&zs);
  return ok;
}

// Reads up to out.size() bytes, fewer only at the end; answers the count or -1.
int64_t read_full(fsio::File& f, std::vector<uint8_t>& out) {
  size_t have = 0;
  while (have < out.size()) {
    int64_t got = f.read(out.data() + have, static_cast<int64_t>(out.size() - have));
    if (got < 0) return -1;
    if (got == 0) break;
    have += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(have);
}

// A big file deflated in pieces on a few threads, written in order: the
// same kind of stream, a little longer, in a fraction of the wait. Twice as
// many pieces as threads are under way, so that a slow piece holds up only
// its own turn to be written, not the reading and compressing of the next.
int deflate_in_pieces(Writer& w, fsio::File& f, int level, unsigned threads, Encryptor* en, uint32_t* crc,
                      uint64_t& csize) {
  constexpr size_t kPiece = 1 << 20, kDict = 32768;
  struct Piece {
    std::vector<uint8_t> in, dict, out;
    bool last = false, ok = false, done = false;
  };
  const size_t ring = 2 * static_cast<size_t>(threads);
  std::vector<Piece> pieces(ring);
  std::mutex m;
  std::condition_variable changed;
  size_t read = 0, compressing = 0, written = 0;  // pieces read, handed out, written
  bool stop = false;
  auto work = [&] {
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
      changed.wait(lock, [&] { return stop || compressing < read; });
      if (compressing >= read) return;
      Piece& p = pieces[compressing++ % ring];
      lock.unlock();
      bool ok = deflate_piece(level, p.dict, p.in, p.last, p.out);
      lock.lock();
      p.ok = ok;
      p.done = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  try {
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);
  } catch (const std::exception&) {
    // as many as there are; none: the pieces are deflated here
  }
  auto finish = [&](int rc) {
    {
      std::lock_guard<std::mutex> lock(m);
      stop = true;
    }
    changed.notify_all();
    for (auto& t : workers) t.join();
    return rc;
  };

  std::vector<uint8_t> next(kPiece), tail;
  int64_t got = read_full(f, next);
  if (got < 0) return finish(kZipRead);
  next.resize(static_cast<size_t>(got));
  bool ended = false;
  for (;;) {
    // Read while there is room: the writer reads, in order, so the CRC is
    // summed as it goes.
    while (!ended && read < written + ring) {
      Piece& p = pieces[read % ring];
      p.in.swap(next);
      p.dict = tail;
      size_t keep = std::min(kDict, p.in.size());
      tail.assign(p.in.end() - static_cast<ptrdiff_t>(keep), p.in.end());
      if (p.in.size() < kPiece) {
        p.last = true;  // a short read is the end
      } else {
        next.resize(kPiece);
        got = read_full(f, next);
        if (got < 0) return finish(kZipRead);
        next.resize(static_cast<size_t>(got));
        p.last = next.empty();
      }
      ended = p.last;
      if (crc) *crc = static_cast<uint32_t>(::crc32(*crc, p.in.data(), static_cast<uInt>(p.in.size())));
      std::lock_guard<std::mutex> lock(m);
      p.done = false;
      ++read;
      changed.notify_all();
    }
    if (written == read) break;
    Piece& p = pieces[written % ring];
    {
      std::unique_lock<std::mutex> lock(m);
      if (workers.empty() && !p.done) {
        ++compressing;
        lock.unlock();
        p.ok = deflate_piece(level, p.dict, p.in, p.last, p.out);
        lock.lock();
        p.done = true;
      }
      changed.wait(lock, [&] { return p.done; });
    }
    if (!p.ok) return finish(kZipMemory);
    if (en) en->apply(p.out.data(), p.out.size());
    w.write(p.out.data(), p.out.size());
    csize += p.out.size();
    ++written;
    if (!w.ok) return finish(kZipTemp);
  }
  return finish(kZipOk);
}

// A file too big to hold, written while it is read; e comes prepared.
int stream_file(Writer& w, fsio::File& file, const PackOptions& opt, std::mt19937& rng, Entry& e, Workspace& ws) {
  fsio::File* f = &file;
  bool enc = opt.encrypt;
  int level = ws.level();
  // Large files: a streaming pass that deflates and sums the CRC; the
  // header's CRC and sizes are patched after. Encryption needs the CRC for
  // its header first: a pass of its own.
  std::vector<uint8_t> in(1 << 16), out(1 << 17);
  uint32_t crc = 0;
  if (enc) {
    for (;;) {
      int64_t got = f->read(in.data(), static_cast<int64_t>(in.size()));
      if (got < 0) return kZipRead;
      if (got == 0) break;
      crc = static_cast<uint32_t>(::crc32(crc, in.data(), static_cast<uInt>(got)));
    }
    if (!f->seek(0)) return kZipRead;
  }
  e.crc = crc;
  e.method = level > 0 ? 8 : 0;
  if (level > 0) e.flags |= level_flags(level);
  e.versionNeeded = 20;
  w.local_header(e, false);
  std::unique_ptr<Encryptor> en;
  uint64_t csize = 0;
  if (enc) {
    en = std::make_unique<Encryptor>(opt.password, e.crc, rng);
    w.write(en->header, 12);
    csize += 12;
  }
  if (level > 0) {
    unsigned threads = std::min(4u, std::thread::hardware_concurrency());
    if (threads > 1) {
      int r = deflate_in_pieces(w, *f, level, threads, enc ? en.get() : nullptr, enc ? nullptr : &crc, csize);
      if (r != kZipOk) return r;
      e.csize = csize;
      e.crc = crc;
      return kZipOk;
    }
  }
  z_stream* zs = level > 0 ? ws.stream() : nullptr;
  if (level > 0 && !zs) return kZipMemory;
  bool eof = false;
  while (!eof && w.ok) {
    int64_t got = f->read(in.data(), static_cast<int64_t>(in.size()));
    if (got < 0) return kZipRead;
    eof = got == 0;
    if (!enc) crc = static_cast<uint32_t>(::crc32(crc, in.data(), static_cast<uInt>(got)));
    if (level == 0) {
      if (en) en->apply(in.data(), static_cast<size_t>(got));
      w.write(in.data(), static_cast<size_t>(got));
      csize += static_cast<uint64_t>(got);
      continue;
    }
    zs->next_in = in.data();
    zs->avail_in = static_cast<uInt>(got);
    do {
      zs->next_out = out.data();
      zs->avail_out = static_cast<uInt>(out.size());
      deflate(zs, eof ? Z_FINISH : Z_NO_FLUSH);
      size_t have = out.size() - zs->avail_out;
      if (en) en->apply(out.data(), have);
      w.write(out.data(), have);
      csize += have;
    } while (zs->avail_out == 0);
  }
  if (!w.ok) return kZipTemp;
  e.csize = csize;
  e.crc = crc;
  return kZipOk;
}

// Reads and deflates the files ahead of the writer, on a few threads; the
// writer takes them in its order. The archive comes out as it would one
// file after another: only compressing overlaps. Holds at most kAhead files
// and, past the first, kBytes of them.
//
// Files are handed on through atomics. A thread blocks on the mutex only
// when it has nothing to do: a contended mutex or a wait costs trips to the
// server under Wine, which per file would cost more than compressing it.
class ReadAhead {
 public:
  ReadAhead(const std::vector<Source>& sources, const std::vector<size_t>& order, const PackOptions& opt, int level,
            unsigned threads)
      : sources_(sources), order_(order), opt_(opt), own_(level), slots_(order.size()),
        done_(new std::atomic<bool>[order.size()]) {
    for (size_t i = 0; i < order.size(); ++i) done_[i].store(false, std::memory_order_relaxed);
    try {
      for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this, level] { run(level); });
    } catch (...) {
      stop();
      throw;
    }
  }
  ~ReadAhead() { stop(); }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next file of the order, once prepared. While it is not ready the
  // writer prepares files after it itself rather than wait.
  std::unique_ptr<Prepared> take() {
    size_t i = taken_.load(std::memory_order_relaxed);
    while (!done_[i].load(std::memory_order_acquire)) {
      size_t j;
      if (claim(j)) {
        fill(j, own_);
        continue;
      }
      // Nothing left to claim: the file is being compressed; look again a
      // little before waiting.
      for (int spin = 0; spin < 64 && !done_[i].load(std::memory_order_acquire); ++spin) std::this_thread::yield();
      if (done_[i].load(std::memory_order_acquire)) break;
      std::unique_lock<std::mutex> lock(mutex_);
      takerWaits_.fetch_add(1);
      ready_.wait(lock, [&] { return done_[i].load(); });
      takerWaits_.fetch_sub(1);
    }
    std::unique_ptr<Prepared> p = std::move(slots_[i]);
    held_.fetch_sub(cost(i));
    taken_.store(i + 1);
    if (workerWaits_.load() > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      wanted_.notify_all();
    }
    return p;
  }

  // A written file's record back, its buffers to serve a later file; those
  // of a big file are let go.
  void give_back(std::unique_ptr<Prepared> p) {
    if (!p) return;
    p->file.reset();
    if (p->data.capacity() > kKeep) std::vector<uint8_t>().swap(p->data);
    if (p->packed.capacity() > kKeep) std::vector<uint8_t>().swap(p->packed);
    SpareLock lock(spareBusy_);
    spare_.push_back(std::move(p));
  }

 private:
  static constexpr size_t kAhead = 128;
  static constexpr uint64_t kBytes = 64u << 20;
  static constexpr size_t kKeep = 256u << 10;

  // Held for a push or a pop only: spinning beats any wait.
  class SpareLock {
   public:
    explicit SpareLock(std::atomic_flag& f) : f_(f) {
      while (f_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    }
    ~SpareLock() { f_.clear(std::memory_order_release); }

   private:
    std::atomic_flag& f_;
  };

  uint64_t cost(size_t i) const {
    const Source& s = sources_[order_[i]];
    if (s.dir || !s.facts.known || s.facts.size < 0) return 0;
    return static_cast<uint64_t>(s.facts.size) > kInMemoryLimit ? 0 : static_cast<uint64_t>(s.facts.size);
  }

  // Whether no file may be started now and, unless one is taken, none will.
  bool blocked() const {
    size_t n = next_.load();
    if (n >= order_.size()) return false;
    size_t t = taken_.load();
    return n >= t + kAhead || (n != t && held_.load() + cost(n) > kBytes);
  }

  // The next file to prepare, into i; false when none may be started now.
  bool claim(size_t& i) {
    for (;;) {
      size_t n = next_.load();
      if (stopping_.load(std::memory_order_relaxed) || n >= order_.size()) return false;
      size_t t = taken_.load();
      if (n >= t + kAhead) return false;
      uint64_t c = cost(n), h = held_.load();
      if (n != t && h + c > kBytes) return false;
      if (!next_.compare_exchange_weak(n, n + 1)) continue;
      held_.fetch_add(c);
      i = n;
      return true;
    }
  }

  void fill(size_t i, Workspace& ws) {
    std::unique_ptr<Prepared> p;
    {
      SpareLock lock(spareBusy_);
      if (!spare_.empty()) {
        p = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    try {
      if (!p) p = std::make_unique<Prepared>();
      prepare(sources_[order_[i]], opt_, ws, *p);
    } catch (const std::exception&) {
      p = std::make_unique<Prepared>();
      p->rc = kZipMemory;
    }
    slots_[i] = std::move(p);
    done_[i].store(true);
    if (takerWaits_.load() > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.notify_all();
    }
  }

  void run(int level) {
    Workspace ws(level);
    for (;;) {
      size_t i;
      if (claim(i)) {
        fill(i, ws);
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex_);
      workerWaits_.fetch_add(1);
      wanted_.wait(lock, [&] { return stopping_.load() || next_.load() >= order_.size() || !blocked(); });
      workerWaits_.fetch_sub(1);
      if (stopping_.load() || next_.load() >= order_.size()) return;
    }
  }

  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_.store(true);
    }
    wanted_.notify_all();
    for (auto& t : workers_) t.join();
    workers_.clear();
  }

  const std::vector<Source>& sources_;
  const std::vector<size_t>& order_;
  const PackOptions& opt_;
  Workspace own_;  // the writer's, for the files it prepares itself
  std::vector<std::unique_ptr<Prepared>> slots_, spare_;
  std::unique_ptr<std::atomic<bool>[]> done_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wanted_, ready_;
  std::atomic<size_t> next_{0}, taken_{0};
  std::atomic<int> takerWaits_{0}, workerWaits_{0};
  std::atomic<uint64_t> held_{0};
  std::atomic<bool> stopping_{false};
  std::atomic_flag spareBusy_ = ATOMIC_FLAG_INIT;
};

}  // namespace

// Patches the CRC and sizes of a local header written before they were known.
static bool patch_sizes(fsio::File& f, const Entry& e) {
  uint8_t b[12];
  uint32_t c = static_cast<uint32_t>(e.csize), u = static_cast<uint32_t>(e.usize);
  for (int i = 0; i < 4; ++i) {
    b[i] = static_cast<uint8_t>(e.crc >> (8 * i));
    b[4 + i] = static_cast<uint8_t>(c >> (8 * i));
    b[8 + i] = static_cast<uint8_t>(u >> (8 * i));
  }
  int64_t back = f.tell();
  return f.seek(static_cast<int64_t>(e.offset) + 14) && f.write(b, 12) && f.seek(back);
}

int pack(const std::string& archive, const std::vector<std::string>& names, const PackOptions& opt, PackHooks& hooks) {
  Archive old;
  std::unique_ptr<fsio::File> in;
  bool had = fsio::exists(archive);
  if (had) {
    in = fsio::open_read(archive);
    if (!in) {
      hooks.log("zip error: could not open " + archive);
      return kZipOpen;
    }
    ReadStatus st = read_archive(*in, old);
    if (st != ReadStatus::ok) {
      hooks.log("zip error: not a valid zip archive: " + archive);
      return kZipFormat;
    }
  } else if (opt.deleteEntries || opt.junkSfx || opt.fixOffsets) {
    hooks.log("zip error: archive not found: " + archive);
    return kZipOpen;
  }

  std::vector<bool> dropped(old.entries.size(), false);
  std::vector<Source> sources;
  if (opt.deleteEntries) {
    std::vector<std::string> pats;
    for (auto& n : names) pats.push_back(arc::to_slashes(n));
    int n = 0;
    arc::NameMatcher named(pats);
    for (const Entry& e : old.entries) named.stored(e.name, e.is_dir());
    for (size_t i = 0; i < old.entries.size(); ++i) {
      if (!named.matches(old.entries[i].name) && !names_folder(pats, old.entries[i])) continue;
      if (!hooks.service(old.entries[i].name, old.entries[i].usize)) {
        hooks.log("zip: stopped");
        return kZipAbort;
      }
      dropped[i] = true;
      ++n;
      hooks.log("deleting: " + old.entries[i].name);
    }
    if (n == 0) {
      hooks.log("zip warning: nothing to delete");
      return kZipNothing;
    }
  } else if (!names.empty()) {
    Collector c(opt, hooks);
    for (auto& n : names) c.add_name(n);
    sources = std::move(c.files);
    if (sources.empty()) {
      hooks.log("zip warning: nothing to do");
      return kZipNothing;
    }
  } else if (!opt.junkSfx && !opt.fixOffsets) {
    return kZipNothing;
  }

  std::string password = opt.password;
  if (opt.encrypt && !sources.empty() && password.empty()) {
    if (!hooks.password(password) || password.empty()) {
      hooks.log("zip error: no password given");
      return kZipAbort;
    }
  }

  // Which old entry each new file replaces, by name (case-insensitive, as the file system is).
  std::map<std::string, size_t> byName;
  for (size_t i = 0; i < old.entries.size(); ++i) byName[arc::fold_ascii(old.entries[i].name)] = i;
  std::vector<long> replaces(old.entries.size(), -1);
  std::vector<bool> skipSource(sources.size(), false);
  {
    std::map<std::string, size_t> seen;
    for (size_t k = 0; k < sources.size(); ++k) {
      std::string key = arc::fold_ascii(sources[k].stored);
      if (!seen.emplace(key, k).second) {
        skipSource[k] = true;  // named twice
        continue;
      }
      auto it = byName.find(key);
      if (it == byName.end()) continue;
      const Entry& oe = old.entries[it->second];
      if (opt.update && !sources[k].dir) {
        int64_t mt = sources[k].facts.known ? sources[k].facts.mtime : fsio::mtime(sources[k].path);
        if (mt >= 0 && arc::unix_to_dos(mt) <= oe.dosTime) {
          skipSource[k] = true;  // the stored copy is as new
          continue;
        }
      }
      if (sources[k].dir) {
        skipSource[k] = true;  // the folder entry is already there
        continue;
      }
      replaces[it->second] = static_cast<long>(k);
    }
  }

  fsio::NewArchive out(archive);
  // What stopped the new archive: a line and the answer.
  auto cannot = [&]() {
    using Step = fsio::NewArchive::Step;
    std::string why = out.ok() ? std::string() : std::string(" (") + out.reason() + ")";
    switch (out.step()) {
      case Step::readOnly: hooks.log("zip error: archive is read-only: " + archive); return kZipOpen;
      case Step::create: hooks.log("zip error: could not create a work file beside " + archive + why); return kZipTemp;
      case Step::replace: hooks.log("zip error: could not replace " + archive + why); return kZipOpen;
      default: break;
    }
    hooks.log("zip error: could not write " + archive + why + "; the archive was left unchanged");
    return kZipTemp;
  };
  if (!out.open()) return cannot();
  fsio::File& outFile = out.file();
  Writer w(outFile);
  std::mt19937 rng(static_cast<uint32_t>(fsio::now()) ^ static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&w)));
  std::vector<Entry> written;
  written.reserve(old.entries.size() + sources.size());
  int rc = kZipOk;
  auto fail = [&](int code) {
    rc = code;
    bool told = code == kZipTemp || !out.ok();
    out.discard();
    return told ? cannot() : code;
  };

  // The prefix (a self-extractor stub) stays unless it is to be dropped.
  if (!opt.junkSfx && old.prefix > 0) {
    std::vector<uint8_t> buf(1 << 16);
    uint64_t left = old.prefix;
    if (!in->seek(0)) return fail(kZipOpen);
    while (left) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
      if (!in->read_exact(buf.data(), static_cast<int64_t>(n))) return fail(kZipOpen);
      w.write(buf.data(), n);
      left -= n;
    }
  }

  Workspace ws(std::clamp(opt.level, 0, 9));
  PackOptions withPassword = opt;
  withPassword.password = password;
  // The new files in the order they are written: replacements where their
  // old entries stood, then the rest.
  std::vector<size_t> order;
  for (size_t i = 0; i < old.entries.size(); ++i)
    if (!dropped[i] && replaces[i] >= 0) order.push_back(static_cast<size_t>(replaces[i]));
  for (size_t k = 0; k < sources.size(); ++k)
    if (!skipSource[k] && !byName.count(arc::fold_ascii(sources[k].stored))) order.push_back(k);
  Prepared one;
  std::unique_ptr<ReadAhead> ahead;
  unsigned threads = std::min(4u, std::thread::hardware_concurrency());
  if (ws.level() > 0 && order.size() > 1 && threads > 1) {
    try {
      ahead = std::make_unique<ReadAhead>(sources, order, withPassword, ws.level(), threads);
    } catch (const std::exception&) {
      ahead.reset();  // no threads to be had: one file after another
    }
  }
  auto add_new = [&](size_t k) -> int {
    const Source& s = sources[k];
    int64_t known = s.facts.known ? s.facts.size : fsio::file_size(s.path);
    uint64_t size = s.dir ? 0 : static_cast<uint64_t>(std::max<int64_t>(0, known));
    if (!hooks.service(s.stored, size)) {
      hooks.log("zip: stopped");
      return kZipAbort;
    }
    std::unique_ptr<Prepared> held;
    Prepared* p = &one;
    if (ahead) {
      held = ahead->take();
      p = held.get();
    } else {
      prepare(s, withPassword, ws, one);
    }
    int r = write_prepared(w, s, withPassword, rng, *p, hooks, ws);
    if (r != kZipOk) return r;
    Entry& e = p->e;
    if (e.usize > kInMemoryLimit) {
      w.flush();
      if (!w.ok || !patch_sizes(outFile, e)) return kZipTemp;
    }
    bool replacing = byName.count(arc::fold_ascii(s.stored)) != 0;
    std::string how;
    if (s.dir) how = " (stored 0%)";
    else if (e.method == 8 && e.usize)
      how = " (deflated " + std::to_string(static_cast<int>(100 - (e.csize * 100) / e.usize)) + "%)";
    else how = " (stored 0%)";
    hooks.log((replacing ? "updating: " : "  adding: ") + s.stored + how);
    written.push_back(std::move(e));
    if (ahead) ahead->give_back(std::move(held));
    return kZipOk;
  };

  std::vector<uint8_t> buf(1 << 16);
  for (size_t i = 0; i < old.entries.size(); ++i) {
    if (dropped[i]) continue;
    if (replaces[i] >= 0) {
      int r = add_new(static_cast<size_t>(replaces[i]));
      if (r != kZipOk) return fail(r);
      continue;
    }
    Entry e = old.entries[i];
    uint64_t start = e.overlaps ? 0 : data_start(*in, old, e);
    if (start == 0) {
      hooks.log("zip error: damaged entry: " + e.name);
      return fail(kZipFormat);
    }
    bool z64 = e.usize >= kMax32 || e.csize >= kMax32;
    e.offset = w.pos();
    w.local_header(e, z64);
    if (!in->seek(static_cast<int64_t>(start))) return fail(kZipFormat);
    uint64_t left = e.csize;
    while (left && w.ok) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
      if (!in->read_exact(buf.data(), static_cast<int64_t>(n))) return fail(kZipFormat);
      w.write(buf.data(), n);
      left -= n;
    }
    if (e.flags & kFlagDescriptor) w.descriptor(e, z64);
    if (!w.ok) return fail(kZipTemp);
    written.push_back(std::move(e));
  }
  for (size_t k = 0; k < sources.size(); ++k) {
    if (skipSource[k] || byName.count(arc::fold_ascii(sources[k].stored))) continue;
    int r = add_new(k);
    if (r != kZipOk) return fail(r);
  }
  w.central(written, old.comment);
  w.flush();
  if (!w.ok || !out.close()) return fail(kZipTemp);
  in.reset();
  if (!out.commit()) return cannot();
  if (opt.latestTime && !written.empty()) {
    uint32_t newest = 0;
    for (auto& e : written) newest = std::max(newest, e.dosTime);
    fsio::set_mtime(archive, arc::dos_to_unix(newest));
  }
  if (opt.junkSfx) hooks.log("zip: prefix removed");
  if (opt.fixOffsets) hooks.log("zip: offsets adjusted");
  return rc;
}

}  // namespace zipf
