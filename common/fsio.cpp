#include "fsio.h"

#include <algorithm>
#include <cstring>

#include "fsio_sys.h"
#include "text.h"

namespace fsio {

bool File::read_exact(void* p, int64_t n) {
  char* d = static_cast<char*>(p);
  while (n > 0) {
    int64_t got = read(d, n);
    if (got <= 0) return false;
    d += got;
    n -= got;
  }
  return true;
}

bool BlockReader::seek(int64_t pos) {
  if (pos < 0) return false;
  pos_ = pos;
  return true;
}

int64_t BlockReader::read(void* p, int64_t n) {
  char* d = static_cast<char*>(p);
  int64_t done = 0;
  while (n > 0) {
    if (pos_ >= start_ && pos_ < end_) {
      int64_t k = std::min(n, end_ - pos_);
      std::memcpy(d, buf_.data() + (pos_ - start_), static_cast<size_t>(k));
      d += k;
      done += k;
      n -= k;
      pos_ += k;
      continue;
    }
    bool direct = n >= static_cast<int64_t>(buf_.size());
    if (at_ != pos_ && !f_.seek(pos_)) {
      at_ = -1;
      return done ? done : -1;
    }
    at_ = pos_;
    int64_t got = direct ? f_.read(d, n) : f_.read(buf_.data(), static_cast<int64_t>(buf_.size()));
    if (got < 0) {
      at_ = -1;
      return done ? done : -1;
    }
    if (got == 0) break;
    at_ += got;
    if (direct) {
      pos_ += got;
      return done + got;
    }
    start_ = pos_;
    end_ = pos_ + got;
  }
  return done;
}

bool read_all(const std::string& path, std::vector<uint8_t>& out) {
  auto f = open_read(path);
  if (!f) return false;
  int64_t n = f->size();
  if (n < 0) return false;
  out.resize(static_cast<size_t>(n));
  return n == 0 || f->read_exact(out.data(), n);
}

bool write_all(const std::string& path, const void* data, size_t n) {
  auto f = open_write(path);
  if (!f) return false;
  return n == 0 || f->write(data, static_cast<int64_t>(n));
}

std::string join(std::string_view dir, std::string_view rel) {
  std::string r(dir);
  if (!r.empty() && !arc::ends_with_separator(r)) r += kSep;
#if defined(_WIN32)
  r += arc::to_backslashes(rel);
#else
  r += arc::to_slashes(rel);
#endif
  return r;
}

}  // namespace fsio

// ---- Placer ----

namespace fsio {
namespace {

// The form under which the run remembers a path: the file system's own
// sameness of names (case-blind on Windows).
std::string key_of(std::string_view path) {
#if defined(_WIN32)
  return arc::name_key(path);
#else
  std::string k = arc::to_slashes(path);
  while (k.size() > 1 && k.back() == '/') k.pop_back();
  return k;
#endif
}

bool is_root(const std::string& dir) {
  return dir.empty() || dir == "\\" || dir == "/" || (dir.size() <= 3 && dir.size() >= 2 && dir[1] == ':');
}

// A temporary beside TARGET under the first free name ("TARGET.$tN"): taken
// names are only found by trying them, never looked up first. -1 and the
// reason when none could be made.
int create_temp_beside(const std::string& target, std::string& temp, PlaceError& e) {
  for (int i = 0; i < 100; ++i) {
    std::string t = target + ".$t" + std::to_string(i);
    int h = sys::create_new(t, e);
    if (h != -1) {
      temp = t;
      return h;
    }
    if (e != PlaceError::exists) break;
  }
  return -1;
}

}  // namespace

const char* place_error_text(PlaceError e) {
  switch (e) {
    case PlaceError::none: return "no error";
    case PlaceError::exists: return "the name is taken";
    case PlaceError::full: return "disk full";
    case PlaceError::denied: return "access denied";
    case PlaceError::tooLong: return "path too long";
    case PlaceError::other: break;
  }
  return "cannot write";
}

bool Placer::in_made(const std::string& path) const {
  std::string parent = arc::folder_of(path);
  return !parent.empty() && made_.count(key_of(parent)) != 0;
}

const std::unordered_map<std::string, Placer::Kind>* Placer::listing_of(const std::string& folder) {
  if (folder.empty()) return nullptr;
  std::string fk = key_of(folder);
  auto it = listed_.find(fk);
  if (it != listed_.end()) return &it->second;
  // One lookup costs less than a listing; a second in the same folder is
  // taken as the sign that more follow.
  int& n = looked_[fk];
  if (n < 0 || ++n < 2) return nullptr;
  std::vector<DirEntry> kids;
  if (!list_dir(folder, kids)) {
    n = -1;
    return nullptr;
  }
  auto& names = listed_[fk];
  for (const DirEntry& d : kids) names.emplace(key_of(join(folder, d.name)), d.dir ? Kind::dir : Kind::file);
  return &names;
}

Placer::Kind Placer::look(const std::string& target) {
  // Names the run placed itself are looked up afresh: a failed entry took
  // its file away again.
  if (in_made(target)) {
    std::string k = key_of(target);
    if (made_.count(k)) return Kind::dir;
    if (!placed_.count(k)) return Kind::none;
  } else if (const auto* names = listing_of(arc::folder_of(target))) {
    std::string k = key_of(target);
    if (made_.count(k)) return Kind::dir;
    if (!placed_.count(k)) {
      auto it = names->find(k);
      return it == names->end() ? Kind::none : it->second;
    }
  }
  int k = sys::kind(target);
  return k == 2 ? Kind::dir : k == 1 ? Kind::file : Kind::none;
}

bool Placer::make_dirs(const std::string& dirIn, bool* made) {
  std::string dir = arc::without_separator(dirIn, true);
  if (is_root(dir)) return true;
  std::string key = key_of(dir);
  if (made_.count(key) || known_.count(key)) return true;
  if (!in_made(dir)) {
    int k = sys::kind(dir);
    if (k == 2) {
      known_.insert(key);
      return true;
    }
    if (k == 1) {
      err_ = PlaceError::exists;
      return false;
    }
    std::string parent = arc::without_separator(arc::folder_of(dir), true);
    if (!parent.empty() && parent != dir && !make_dirs(parent, made)) return false;
  }
  int r = sys::make_dir(dir, err_);
  if (r < 0) return false;
  (r == 1 ? made_ : known_).insert(key);
  if (r == 1 && made) *made = true;
  return true;
}

std::unique_ptr<PlacedFile> Placer::begin(const std::string& target, bool there) {
  err_ = PlaceError::none;
  std::unique_ptr<PlacedFile> f(new PlacedFile(*this, target));
  if (!there) {
    // A name that appeared since it was looked at is not replaced unasked.
    f->h_ = sys::create_new(target, err_);
    if (f->h_ == -1) return nullptr;
    // Taken from now on, also before commit: a second entry of the name is
    // looked up again and found.
    if (in_made(target) || listed_.count(key_of(arc::folder_of(target)))) placed_.insert(key_of(target));
    return f;
  }
  // Beside the old file, which is replaced only at commit.
  f->h_ = create_temp_beside(target, f->temp_, err_);
  if (f->h_ == -1) return nullptr;
  return f;
}

PlacedFile::~PlacedFile() { discard(); }

bool PlacedFile::fail(PlaceError e) {
  err_ = e;
  discard();
  return false;
}

bool PlacedFile::write(const void* p, int64_t n) {
  if (h_ == -1) return false;
  PlaceError e = PlaceError::none;
  return n <= 0 || sys::write(h_, p, n, e) || fail(e);
}

bool PlacedFile::finish(int64_t unixTime, uint32_t attrs) {
  if (h_ == -1) return false;
  PlaceError e = PlaceError::none;
  if (unixTime >= 0 && !sys::set_time(h_, unixTime, e)) return fail(e);
  intptr_t h = h_;
  h_ = -1;
  if (!sys::close(h, e)) return fail(e);
  if ((attrs & 0x07) && !sys::set_attrs(data_path(), attrs & 0x27, e)) return fail(e);
  return true;
}

bool PlacedFile::commit() {
  if (committed_ || dataGone_ || h_ != -1) return committed_;
  if (!temp_.empty()) {
    PlaceError e = PlaceError::none;
    if (!sys::rename_over(temp_, target_, owner_.replaceReadOnly, e)) return fail(e);
  }
  committed_ = true;
  return true;
}

void PlacedFile::discard() {
  if (h_ != -1) {
    PlaceError ignored;
    sys::close(h_, ignored);
    h_ = -1;
  }
  if (committed_ || dataGone_) return;
  dataGone_ = true;
  remove_file(data_path());  // ours alone: made by this run with create_new
}

}  // namespace fsio

// ---- NewArchive ----

namespace fsio {

NewArchive::NewArchive(std::string target) : target_(std::move(target)) {}

NewArchive::~NewArchive() { discard(); }

bool NewArchive::fail(Step s, PlaceError e) {
  if (step_ == Step::none) {
    step_ = s;
    err_ = e == PlaceError::none ? PlaceError::other : e;
  }
  discard();
  return false;
}

bool NewArchive::open() {
  if (h_ != -1 || step_ != Step::none) return h_ != -1;
  if (sys::kind(target_) == 1) {
    // Some file systems let a move replace a read-only file; the archive's
    // attribute says no whatever the disk would allow.
    oldAttrs_ = attributes(target_);
    if (oldAttrs_ & 0x01) return fail(Step::readOnly, PlaceError::denied);
  }
  PlaceError e = PlaceError::none;
  h_ = create_temp_beside(target_, temp_, e);
  return h_ != -1 || fail(Step::create, e);
}

bool NewArchive::Temp::write(const void* p, int64_t n) {
  if (owner_.h_ == -1) return false;
  if (n <= 0) return true;
  PlaceError e = PlaceError::none;
  if (!sys::write(owner_.h_, p, n, e)) return owner_.fail(Step::write, e);
  pos_ += n;
  end_ = std::max(end_, pos_);
  return true;
}

bool NewArchive::Temp::seek(int64_t pos) {
  if (owner_.h_ == -1 || pos < 0) return false;
  if (!sys::seek(owner_.h_, pos)) return owner_.fail(Step::write, PlaceError::other);
  pos_ = pos;
  return true;
}

bool NewArchive::close() {
  if (closed_) return ok();
  if (h_ == -1) return step_ == Step::none ? fail(Step::write, PlaceError::other) : false;
  PlaceError e = PlaceError::none;
  if (!sys::flush(h_, e)) return fail(Step::write, e);
  intptr_t h = h_;
  h_ = -1;
  if (!sys::close(h, e)) return fail(Step::close, e);
  closed_ = true;
  // A write the system took but did not keep shows as a shorter file.
  if (file_size(temp_) != file_.end_) return fail(Step::write, PlaceError::other);
  return true;
}

bool NewArchive::commit() {
  if (committed_) return true;
  if (!close()) return false;
  PlaceError e = PlaceError::none;
  if ((oldAttrs_ & 0x06) && !sys::set_attrs(temp_, (oldAttrs_ & 0x06) | 0x20, e)) return fail(Step::replace, e);
  if (!sys::rename_over(temp_, target_, false, e)) return fail(Step::replace, e);
  committed_ = true;
  return true;
}

void NewArchive::discard() {
  if (h_ != -1) {
    PlaceError ignored;
    sys::close(h_, ignored);
    h_ = -1;
  }
  if (committed_ || temp_.empty()) return;
  remove_file(temp_);  // ours alone: made with create_new
  temp_.clear();
}

const char* NewArchive::reason() const {
  return step_ == Step::readOnly ? "read-only archive" : place_error_text(err_);
}

std::string NewArchive::what_failed() const {
  switch (step_) {
    case Step::none: return std::string();
    case Step::readOnly: return target_ + " is read-only";
    case Step::create: return "cannot make a work file beside " + target_ + " (" + reason() + ")";
    case Step::replace: return "cannot replace " + target_ + " (" + reason() + ")";
    default: break;
  }
  return "cannot write " + target_ + " (" + reason() + ")";
}

}  // namespace fsio
