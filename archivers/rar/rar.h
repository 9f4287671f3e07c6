// RAR reading: the block headers of RAR 1.5-4.x and RAR 5, volume sets, and
// the data of stored entries. Compressed methods and encryption are not
// decoded; such entries are listed and refused when processed. Portable: the
// DLL layer supplies file opening, name conversion and the callbacks.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace rar {

class Source {
 public:
  virtual ~Source() = default;
  virtual bool read_at(int64_t pos, void* p, size_t n) = 0;
  virtual int64_t size() const = 0;
};

class MemSource : public Source {
 public:
  MemSource(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  bool read_at(int64_t pos, void* p, size_t n) override;
  int64_t size() const override { return static_cast<int64_t>(n_); }

 private:
  const uint8_t* p_;
  size_t n_;
};

// Opens a file through fsio; null when it cannot be read.
std::unique_ptr<Source> open_file(const std::string& path);

// Header flags as the library reports them (RAR 4 meaning for both formats).
enum : uint32_t {
  kSplitBefore = 0x01,
  kSplitAfter = 0x02,
  kEncrypted = 0x04,
  kSolid = 0x10,
  kDictMask = 0xE0,
  kDirectory = 0xE0,
};

enum : int {
  kRedirUnixSymlink = 1,
  kRedirWinSymlink = 2,
  kRedirJunction = 3,
  kRedirHardLink = 4,   // target: another entry's name, from the archive's root
  kRedirFileCopy = 5,   // the same, written as a copy
};

// The Unicode copy of a RAR 4 name (after the NUL of the code page name):
// its bytes decoded against that code page name, as UTF-8; empty when it
// holds nothing usable.
std::string decode_unicode_name(std::string_view ansi, std::string_view encoded);

struct Entry {
  std::string name;      // stored path with '\' separators, code page 932
  uint32_t flags = 0;
  uint64_t packSize = 0, unpSize = 0;
  uint32_t hostOS = 0, crc = 0, dosTime = 0, unpVer = 0, method = 0, attr = 0;
  bool crcKnown = true;
  int format = 4;        // 4 or 5
  // RAR 5 redirection: what the entry stands for instead of data of its own.
  int redirect = 0;      // 0 none, else one of kRedir...
  std::string redirectTarget;  // as stored, converted like the name ('/' kept)
  int64_t dataPos = 0;
  bool is_dir() const { return (flags & kDictMask) == kDirectory; }
  bool stored() const { return method == 0x30; }
};

// Answers: 0 or one of the library's ERAR codes.
class Reader {
 public:
  // Asked for every further volume: mode 0 when it is missing (the name may
  // be changed; an answer of 0 or less stops), mode 1 when it was found (a
  // negative answer stops).
  using VolumeProc = std::function<int(std::string& name, int mode)>;
  // Turns a UTF-8 name into the system code page.
  using NameProc = std::function<std::string(std::string_view utf8)>;
  // Opens a volume by name (the first one too); null when it cannot.
  using Opener = std::function<std::unique_ptr<Source>(const std::string& name)>;

  Reader(Opener opener, NameProc names);
  ~Reader();

  // listMode: continuation parts are reported as headers of their own and
  // processing never crosses volumes; otherwise processing a split entry
  // reads through all its parts.
  int open(const std::string& path, bool listMode);
  int open_source(std::unique_ptr<Source> src, const std::string& name, bool listMode);
  void set_volume_proc(VolumeProc p) { volProc_ = std::move(p); }

  // The next entry header; ERAR_END_ARCHIVE at the end.
  int read_header(Entry& e);

  // The current entry's data. With a sink (test, extract) stored data is
  // handed out block by block and its CRC checked; without one (skip) the
  // data is passed over. The sink's false stops.
  using Sink = std::function<bool(const uint8_t* p, size_t n)>;
  int process(const Sink* sink);

  // Why the last answer failed, for the log.
  const std::string& last_error() const { return error_; }
  const std::string& volume_name() const { return volName_; }

 private:
  struct Volume;
  int open_volume(std::unique_ptr<Source> src);
  int next_volume();
  int read_block(Entry& e, bool& isFile);
  int read_block4(Entry& e, bool& isFile);
  int read_block5(Entry& e, bool& isFile);
  int fail(int code, std::string why);

  Opener opener_;
  NameProc names_;
  VolumeProc volProc_;
  std::unique_ptr<Volume> vol_;
  std::string volName_;
  bool listMode_ = false;
  bool haveEntry_ = false;   // read_header gave an entry that was not processed yet
  bool ended_ = false;
  int switches_ = 0;
  Entry cur_;
  std::string error_;
};

// The name of the volume after `name`: "x.part1.rar" -> "x.part2.rar",
// "x.rar" -> "x.r00" -> "x.r01".
std::string next_volume_name(const std::string& name, bool newNaming);

}  // namespace rar
