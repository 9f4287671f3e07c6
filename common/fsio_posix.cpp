// POSIX side of fsio, for the native builds (fuzzing and cross-checks).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <ctime>

#include "fsio.h"
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

}  // namespace fsio
