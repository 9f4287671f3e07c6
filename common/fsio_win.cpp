// Windows side of fsio: the ANSI file API, so that names stay in the system
// code page exactly as the archives store them.
#include <windows.h>

#include "fsio.h"
#include "fsio_sys.h"
#include "text.h"

namespace fsio {
namespace {

class WinFile : public File {
 public:
  explicit WinFile(HANDLE h) : h_(h) {}
  ~WinFile() override { CloseHandle(h_); }
  int64_t read(void* p, int64_t n) override {
    DWORD got = 0;
    if (n > 0x40000000) n = 0x40000000;
    if (!ReadFile(h_, p, static_cast<DWORD>(n), &got, nullptr)) return -1;
    return got;
  }
  bool write(const void* p, int64_t n) override {
    const char* s = static_cast<const char*>(p);
    while (n > 0) {
      DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n), put = 0;
      if (!WriteFile(h_, s, chunk, &put, nullptr) || put != chunk) return false;
      s += chunk;
      n -= chunk;
    }
    return true;
  }
  bool seek(int64_t pos) override {
    LARGE_INTEGER li;
    li.QuadPart = pos;
    return SetFilePointerEx(h_, li, nullptr, FILE_BEGIN) != 0;
  }
  int64_t tell() override {
    LARGE_INTEGER zero{}, cur{};
    if (!SetFilePointerEx(h_, zero, &cur, FILE_CURRENT)) return -1;
    return cur.QuadPart;
  }
  int64_t size() override {
    LARGE_INTEGER s{};
    if (!GetFileSizeEx(h_, &s)) return -1;
    return s.QuadPart;
  }

 private:
  HANDLE h_;
};

constexpr int64_t kEpochDiff = 116444736000000000LL;  // 1601 to 1970 in 100 ns

}  // namespace

std::unique_ptr<File> open_read(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinFile>(h);
}

std::unique_ptr<File> open_write(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // A read-only file in the way: clear the bit and try once more.
    DWORD a = GetFileAttributesA(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) && !(a & FILE_ATTRIBUTE_DIRECTORY)) {
      SetFileAttributesA(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
      h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) return nullptr;
  }
  return std::make_unique<WinFile>(h);
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool is_dir(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool make_dirs(const std::string& pathIn) {
  std::string path = arc::to_backslashes(pathIn);
  while (path.size() > 3 && arc::ends_with_separator(path)) path.pop_back();
  if (path.empty() || is_dir(path)) return true;
  std::string parent = arc::dir_part(path);
  while (parent.size() > 3 && arc::ends_with_separator(parent)) parent.pop_back();
  if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == ':')) {
    if (!make_dirs(parent)) return false;
  }
  return CreateDirectoryA(path.c_str(), nullptr) || is_dir(path);
}

bool remove_file(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileA(path.c_str()) != 0;
}

bool remove_dir(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool replace_file(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

int64_t mtime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
  int64_t ft = (static_cast<int64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime;
  return (ft - kEpochDiff) / 10000000;
}

int64_t now() {
  FILETIME f;
  GetSystemTimeAsFileTime(&f);
  int64_t ft = (static_cast<int64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  return (ft - kEpochDiff) / 10000000;
}

bool set_mtime(const std::string& path, int64_t t) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, (a & FILE_ATTRIBUTE_DIRECTORY) ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  int64_t ft = t * 10000000 + kEpochDiff;
  FILETIME f;
  f.dwLowDateTime = static_cast<DWORD>(ft);
  f.dwHighDateTime = static_cast<DWORD>(ft >> 32);
  BOOL ok = SetFileTime(h, nullptr, nullptr, &f);
  CloseHandle(h);
  return ok != 0;
}

uint32_t attributes(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a == INVALID_FILE_ATTRIBUTES ? 0 : a;
}

bool set_attributes(const std::string& path, uint32_t attrs) {
  return SetFileAttributesA(path.c_str(), attrs & 0x27) != 0;
}

int64_t file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
  return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

bool list_dir(const std::string& path, std::vector<DirEntry>& out) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(join(path, "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  do {
    std::string n = fd.cFileName;
    if (n == "." || n == "..") continue;
    DirEntry d;
    d.name = n;
    d.dir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    d.known = true;
    d.attrs = fd.dwFileAttributes;
    d.size = (static_cast<int64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    int64_t ft = (static_cast<int64_t>(fd.ftLastWriteTime.dwHighDateTime) << 32) | fd.ftLastWriteTime.dwLowDateTime;
    d.mtime = (ft - kEpochDiff) / 10000000;
    out.push_back(std::move(d));
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return true;
}

namespace sys {
namespace {

PlaceError from_last_error(const std::string& path) {
  switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return PlaceError::exists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return PlaceError::full;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION: return PlaceError::denied;
    case ERROR_FILENAME_EXCED_RANGE: return PlaceError::tooLong;
    default: return path.size() >= MAX_PATH ? PlaceError::tooLong : PlaceError::other;
  }
}

HANDLE handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

intptr_t create_new(const std::string& path, PlaceError& err) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    err = from_last_error(path);
    return -1;
  }
  return reinterpret_cast<intptr_t>(h);
}

bool write(intptr_t h, const void* p, int64_t n, PlaceError& err) {
  const char* s = static_cast<const char*>(p);
  while (n > 0) {
    DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n), put = 0;
    if (!WriteFile(handle(h), s, chunk, &put, nullptr) || put != chunk) {
      err = GetLastError() == ERROR_SUCCESS ? PlaceError::full : from_last_error(std::string());
      return false;
    }
    s += chunk;
    n -= chunk;
  }
  return true;
}

bool set_time(intptr_t h, int64_t t, PlaceError& err) {
  int64_t ft = t * 10000000 + kEpochDiff;
  FILETIME f;
  f.dwLowDateTime = static_cast<DWORD>(ft);
  f.dwHighDateTime = static_cast<DWORD>(ft >> 32);
  if (SetFileTime(handle(h), nullptr, nullptr, &f)) return true;
  err = from_last_error(std::string());
  return false;
}

bool close(intptr_t h, PlaceError& err) {
  if (CloseHandle(handle(h))) return true;
  err = from_last_error(std::string());
  return false;
}

bool rename_over(const std::string& from, const std::string& to, bool readOnlyToo, PlaceError& err) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  err = from_last_error(to);
  DWORD a = GetFileAttributesA(to.c_str());
  if (!readOnlyToo || err != PlaceError::denied || a == INVALID_FILE_ATTRIBUTES ||
      (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != FILE_ATTRIBUTE_READONLY)
    return false;
  if (!SetFileAttributesA(to.c_str(), a & ~FILE_ATTRIBUTE_READONLY)) return false;
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  err = from_last_error(to);
  SetFileAttributesA(to.c_str(), a);  // the old file stays as it was
  return false;
}

bool set_attrs(const std::string& path, uint32_t attrs, PlaceError& err) {
  if (SetFileAttributesA(path.c_str(), attrs)) return true;
  err = from_last_error(path);
  return false;
}

int kind(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return 0;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

int make_dir(const std::string& path, PlaceError& err) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return 1;
  err = from_last_error(path);
  if (err == PlaceError::exists && kind(path) == 2) return 0;
  return -1;
}

bool flush(intptr_t h, PlaceError& err) {
  if (FlushFileBuffers(handle(h))) return true;
  err = from_last_error(std::string());
  return false;
}

bool seek(intptr_t h, int64_t pos) {
  LARGE_INTEGER li;
  li.QuadPart = pos;
  return SetFilePointerEx(handle(h), li, nullptr, FILE_BEGIN) != 0;
}

}  // namespace sys
}  // namespace fsio
