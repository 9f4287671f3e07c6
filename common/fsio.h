// The few file-system calls the format code needs. Paths are narrow strings
// in the system code page; on Windows they go to the ANSI file API, elsewhere
// to POSIX. Format and codec code calls only these, never the platform.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fsio {

// The platform's path separator: '\' on Windows, '/' elsewhere.
#if defined(_WIN32)
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes; answers the count read, 0 at the end, -1 on error.
  virtual int64_t read(void* p, int64_t n) = 0;
  virtual bool write(const void* p, int64_t n) = 0;
  virtual bool seek(int64_t pos) = 0;
  virtual int64_t tell() = 0;
  virtual int64_t size() = 0;
  // Reads exactly n bytes or fails.
  bool read_exact(void* p, int64_t n);
};

// Reads a file through one large block: walking an archive's entries in
// order, the header reads and short seeks between them come from memory
// instead of a system call apiece; reads of a block or more go straight
// through. Reading only; the file must outlive it.
class BlockReader : public File {
 public:
  explicit BlockReader(File& f, size_t block = size_t(1) << 20) : f_(f), buf_(block) {}
  int64_t read(void* p, int64_t n) override;
  bool write(const void*, int64_t) override { return false; }
  bool seek(int64_t pos) override;
  int64_t tell() override { return pos_; }
  int64_t size() override { return f_.size(); }

 private:
  File& f_;
  std::vector<uint8_t> buf_;
  int64_t start_ = 0, end_ = 0;  // the file's bytes buf_ holds
  int64_t pos_ = 0;
  int64_t at_ = -1;  // where f_ stands, when known
};

std::unique_ptr<File> open_read(const std::string& path);
// Creates or truncates.
std::unique_ptr<File> open_write(const std::string& path);

bool read_all(const std::string& path, std::vector<uint8_t>& out);
bool write_all(const std::string& path, const void* data, size_t n);

bool exists(const std::string& path);
bool is_dir(const std::string& path);
// Makes the folder and every missing parent.
bool make_dirs(const std::string& path);
bool remove_file(const std::string& path);
bool remove_dir(const std::string& path);
// Replaces target with source (both on one volume).
bool replace_file(const std::string& source, const std::string& target);

// Modification time as a Unix time (UTC seconds); -1 when unknown.
int64_t mtime(const std::string& path);
bool set_mtime(const std::string& path, int64_t unixTime);
// The current time as a Unix time; past 2038 too, where the 32-bit
// runtime's time_t (and the clocks built on it) wrap.
int64_t now();
// Windows-style attribute bits (1 read-only, 2 hidden, 4 system, 16 folder, 32 archive).
uint32_t attributes(const std::string& path);
bool set_attributes(const std::string& path, uint32_t attrs);
int64_t file_size(const std::string& path);

struct DirEntry {
  std::string name;
  bool dir = false;
  // What the listing told besides, when known is set (the Windows listing
  // gives them at no cost; asking again for each file is a call apiece).
  bool known = false;
  uint32_t attrs = 0;
  int64_t size = -1;
  int64_t mtime = -1;
};
// Names in a folder, without "." and "..".
bool list_dir(const std::string& path, std::vector<DirEntry>& out);

// Putting extracted entries on disk. One Placer serves one extraction run:
// it answers whether a target is there, makes folders, and opens each entry
// for writing. A new name is written in place; an existing file only beside
// itself (the bytes go into a temporary that replaces it at commit), so a
// failed entry leaves nothing behind and the old file as it was, bytes and
// attributes. Folders the run made are known to hold only what the run put
// there, so their names are not looked up again; under Wine every lookup of
// a missing name reads the whole folder. A folder that was there before is
// listed once, at the second name looked up in it, and answered from that.
enum class PlaceError { none, exists, full, denied, tooLong, other };
// A few words for a log line: "disk full", "access denied", ...
const char* place_error_text(PlaceError e);

class Placer;

class PlacedFile {
 public:
  ~PlacedFile();  // not committed: what was written goes again
  PlacedFile(const PlacedFile&) = delete;
  PlacedFile& operator=(const PlacedFile&) = delete;
  bool write(const void* p, int64_t n);
  // Ends the data: the time (a Unix time; below 0 leaves the file's own) is
  // set on the handle that wrote it, which then closes; attributes other
  // than plain ones (read-only, hidden, system) follow on the closed file.
  bool finish(int64_t unixTime, uint32_t attrs);
  // Puts the finished file at its target.
  bool commit();
  // Removes what was written; the target stays as it was.
  void discard();
  // Where the bytes are until commit (the target itself for a new name).
  const std::string& data_path() const { return temp_.empty() ? target_ : temp_; }
  const std::string& target() const { return target_; }
  PlaceError error() const { return err_; }

 private:
  friend class Placer;
  PlacedFile(Placer& owner, std::string target) : owner_(owner), target_(std::move(target)) {}
  bool fail(PlaceError e);
  Placer& owner_;
  std::string target_, temp_;
  intptr_t h_ = -1;
  bool committed_ = false, dataGone_ = false;
  PlaceError err_ = PlaceError::none;
};

class Placer {
 public:
  enum class Kind { none, file, dir };
  // What is at target: one lookup, none in a folder this run made.
  Kind look(const std::string& target);
  // Makes the folder and its missing parents; true when it is there.
  // made: set when this call made any of them.
  bool make_dirs(const std::string& dir, bool* made = nullptr);
  // Opens target for writing; there: look() found a file at it. Null on
  // failure, with error() telling why.
  std::unique_ptr<PlacedFile> begin(const std::string& target, bool there);
  PlaceError error() const { return err_; }
  // An old file with the read-only attribute is replaced too (its attribute
  // comes back when that fails); the caller has agreed to replace it.
  bool replaceReadOnly = true;

 private:
  friend class PlacedFile;
  bool in_made(const std::string& path) const;
  // The kinds of the names in a folder that was there before the run, by
  // key; null while it is not (or cannot be) listed.
  const std::unordered_map<std::string, Kind>* listing_of(const std::string& folder);
  std::unordered_set<std::string> made_, known_, placed_;
  std::unordered_map<std::string, std::unordered_map<std::string, Kind>> listed_;
  std::unordered_map<std::string, int> looked_;
  PlaceError err_ = PlaceError::none;
};

// ---- Writing a new archive in place of an old one ----
// Every library that packs, deletes, renames or makes a self-extractor
// writes the whole new file beside its target (NAME.$tN, created with
// CREATE_NEW under the first N that is free, found by trying it) and moves
// it over the target only once it is written, flushed, closed and of the
// length written. A read-only target is refused before anything is made.
// On any failure the temporary goes and the target keeps its bytes, its
// attributes and its time; error() and step() tell the library what to log.
class NewArchive {
 public:
  enum class Step { none, readOnly, create, write, close, replace };
  explicit NewArchive(std::string target);
  ~NewArchive();  // not committed: the temporary goes
  NewArchive(const NewArchive&) = delete;
  NewArchive& operator=(const NewArchive&) = delete;
  // Refuses a read-only target, then creates the temporary.
  bool open();
  // The temporary, for writing (seek and tell too; it cannot be read back).
  // A failed write is remembered: commit() fails after it.
  File& file() { return file_; }
  // Flushes and closes the temporary and checks its length (once; commit
  // does it when not done).
  bool close();
  // Puts the temporary in the target's place; the old archive's hidden and
  // system attributes go with it.
  bool commit();
  // Removes the temporary; the target stays as it was.
  void discard();
  bool ok() const { return step_ == Step::none; }
  Step step() const { return step_; }
  PlaceError error() const { return err_; }
  // A few words on why: "disk full", "read-only archive", ...
  const char* reason() const;
  // The whole of it in plain words: "cannot write C:\a.cab (disk full)".
  std::string what_failed() const;
  const std::string& target() const { return target_; }
  const std::string& temp() const { return temp_; }

 private:
  class Temp : public File {
   public:
    explicit Temp(NewArchive& owner) : owner_(owner) {}
    int64_t read(void*, int64_t) override { return -1; }
    bool write(const void* p, int64_t n) override;
    bool seek(int64_t pos) override;
    int64_t tell() override { return pos_; }
    int64_t size() override { return end_; }

   private:
    friend class NewArchive;
    NewArchive& owner_;
    int64_t pos_ = 0, end_ = 0;
  };
  bool fail(Step s, PlaceError e);
  std::string target_, temp_;
  Temp file_{*this};
  intptr_t h_ = -1;
  uint32_t oldAttrs_ = 0;
  bool closed_ = false, committed_ = false;
  Step step_ = Step::none;
  PlaceError err_ = PlaceError::none;
};

// Joins a folder and a relative path with the platform separator; '/' in rel
// becomes the separator.
std::string join(std::string_view dir, std::string_view rel);

}  // namespace fsio
