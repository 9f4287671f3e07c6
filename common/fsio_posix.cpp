// POSIX side of fsio, for the native builds (fuzzing and cross-checks).
#include <dirent.h>
#include <fcntl.h>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <ctime>

#include "fsio.h"
#include "fsio_sys.h"
#include "text.h"

namespace fsio {
namespace {

class PosixFile : public File {
 public:
  explicit PosixFile(FILE* f) : f_(f) {}
  ~PosixFile() override { std::fclose(f_); }
  int64_t read(void* p, int64_t n) override {
    size_t got = std::fread(p, 1, static_cast<size_t>(n), f_);
    if (got == 0 && std::ferror(f_)) return -1;
    return static_cast<int64_t>(got);
  }
  bool write(const void* p, int64_t n) override {
    return std::fwrite(p, 1, static_cast<size_t>(n), f_) == static_cast<size_t>(n);
  }
  bool seek(int64_t pos) override { return fseeko(f_, pos, SEEK_SET) == 0; }
  int64_t tell() override { return ftello(f_); }
  int64_t size() override {
    struct stat st;
    if (fstat(fileno(f_), &st) != 0) return -1;
    return st.st_size;
  }

 private:
  FILE* f_;
};

}  // namespace

std::unique_ptr<File> open_read(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  return std::make_unique<PosixFile>(f);
}

std::unique_ptr<File> open_write(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w+b");
  if (!f) return nullptr;
  return std::make_unique<PosixFile>(f);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool is_dir(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool make_dirs(const std::string& pathIn) {
  std::string path = arc::to_slashes(pathIn);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty() || is_dir(path)) return true;
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !make_dirs(path.substr(0, slash))) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || is_dir(path);
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }
bool remove_dir(const std::string& path) { return ::rmdir(path.c_str()) == 0; }
bool replace_file(const std::string& source, const std::string& target) {
  return std::rename(source.c_str(), target.c_str()) == 0;
}

int64_t mtime(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  return st.st_mtime;
}

int64_t now() { return static_cast<int64_t>(::time(nullptr)); }

bool set_mtime(const std::string& path, int64_t t) {
  struct utimbuf u;
  u.actime = static_cast<time_t>(t);
  u.modtime = static_cast<time_t>(t);
  return ::utime(path.c_str(), &u) == 0;
}

uint32_t attributes(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  uint32_t a = S_ISDIR(st.st_mode) ? 16 : 32;
  if (!(st.st_mode & S_IWUSR)) a |= 1;
  return a;
}

bool set_attributes(const std::string& path, uint32_t attrs) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t m = st.st_mode & 07777;
  m = (attrs & 1) ? (m & ~0222) : (m | S_IWUSR);
  return ::chmod(path.c_str(), m) == 0;
}

int64_t file_size(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  return st.st_size;
}

bool list_dir(const std::string& path, std::vector<DirEntry>& out) {
  DIR* d = ::opendir(path.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    out.push_back({n, is_dir(join(path, n))});
  }
  ::closedir(d);
  return true;
}

namespace sys {
namespace {

PlaceError from_errno() {
  switch (errno) {
    case EEXIST: return PlaceError::exists;
    case ENOSPC:
    case EDQUOT: return PlaceError::full;
    case EACCES:
    case EPERM:
    case EROFS: return PlaceError::denied;
    case ENAMETOOLONG: return PlaceError::tooLong;
    default: return PlaceError::other;
  }
}

}  // namespace

intptr_t create_new(const std::string& path, PlaceError& err) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) err = from_errno();
  return fd < 0 ? -1 : fd;
}

bool write(intptr_t h, const void* p, int64_t n, PlaceError& err) {
  const char* s = static_cast<const char*>(p);
  while (n > 0) {
    ssize_t put = ::write(static_cast<int>(h), s, static_cast<size_t>(n));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      err = put == 0 ? PlaceError::full : from_errno();
      return false;
    }
    s += put;
    n -= put;
  }
  return true;
}

bool set_time(intptr_t h, int64_t t, PlaceError& err) {
  struct timespec ts[2];
  ts[0].tv_sec = 0;
  ts[0].tv_nsec = UTIME_OMIT;
  ts[1].tv_sec = static_cast<time_t>(t);
  ts[1].tv_nsec = 0;
  if (::futimens(static_cast<int>(h), ts) == 0) return true;
  err = from_errno();
  return false;
}

bool close(intptr_t h, PlaceError& err) {
  if (::close(static_cast<int>(h)) == 0) return true;
  err = from_errno();
  return false;
}

bool rename_over(const std::string& from, const std::string& to, bool, PlaceError& err) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  err = from_errno();
  return false;
}

bool set_attrs(const std::string& path, uint32_t attrs, PlaceError& err) {
  if (set_attributes(path, attrs)) return true;
  err = from_errno();
  return false;
}

int kind(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  return S_ISDIR(st.st_mode) ? 2 : 1;
}

int make_dir(const std::string& path, PlaceError& err) {
  if (::mkdir(path.c_str(), 0777) == 0) return 1;
  err = from_errno();
  if (err == PlaceError::exists && kind(path) == 2) return 0;
  return -1;
}

bool flush(intptr_t h, PlaceError& err) {
  if (::fsync(static_cast<int>(h)) == 0) return true;
  err = from_errno();
  return false;
}

bool seek(intptr_t h, int64_t pos) { return ::lseek(static_cast<int>(h), static_cast<off_t>(pos), SEEK_SET) == pos; }

}  // namespace sys
}  // namespace fsio
