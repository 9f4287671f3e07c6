// ARJ archive reading: headers, the header search of self-extractors and the
// decoders of methods 0 to 4. Portable; the DLL layer does the files and the
// log.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fsio {
class File;
}

namespace arj {

// Random-access bytes of an archive: a file or a memory block (fuzzing).
class Source {
 public:
  virtual ~Source() = default;
  // Reads exactly n bytes at pos or fails.
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

class FileSource : public Source {
 public:
  explicit FileSource(std::unique_ptr<fsio::File> f);
  ~FileSource() override;
  bool read_at(int64_t pos, void* p, size_t n) override;
  int64_t size() const override { return size_; }

 private:
  std::unique_ptr<fsio::File> f_;
  int64_t size_ = 0;
  int64_t cur_ = -1;
};

enum FileType : uint8_t { kBinary = 0, kText = 1, kMainHeader = 2, kDirectory = 3, kVolumeLabel = 4 };
enum Flags : uint8_t {
  kGarbled = 0x01,
  kVolume = 0x04,    // continues in the next volume
  kExtFile = 0x08,   // starts in a previous volume
  kPathSym = 0x10,
};
enum HostOS : uint8_t { kMsDos = 0, kUnix = 2, kNext = 8, kWin95 = 10, kWin32 = 11 };

struct Entry {
  std::string name;        // stored path, '/' separators, code page 932 bytes as stored
  uint8_t arjVersion = 0, minVersion = 0, hostOS = 0, flags = 0, method = 0, fileType = 0;
  uint32_t dosTime = 0, packed = 0, original = 0, crc = 0;  // dosTime: local DOS date and time
  int64_t mtime = 0;       // the same moment in Unix seconds
  uint16_t accessMode = 0;
  int64_t dataPos = 0;     // first byte of the packed data
  bool is_dir() const { return fileType == kDirectory; }
  // Windows attribute bits whatever the host wrote (16 = folder).
  uint32_t dos_attributes() const;
};

struct Archive {
  int64_t mainPos = -1;    // offset of the main header (after a self-extractor stub)
  std::string storedName;  // archive name in the main header
  uint8_t mainFlags = 0;
  std::vector<Entry> entries;
};

enum class Status { Ok, NotArj, BadHeader, Truncated };
const char* status_text(Status s);

// Finds the main header: at offset 0, or after a self-extractor stub.
int64_t find_main_header(Source& src);
// Reads every entry header. On a damaged header the entries before it are
// kept and the answer says what went wrong.
Status read_archive(Source& src, Archive& out);

// Unpacked data goes to the sink block by block; its answer false stops.
using Sink = std::function<bool(const uint8_t* p, size_t n)>;
enum class Result { Ok, Stopped, BadData, BadCrc, Truncated, Unsupported, Encrypted };
const char* result_text(Result r);

// Decodes one entry, checks its CRC, and never hands out more than its
// declared original size.
Result extract(Source& src, const Entry& e, const Sink& sink);

// Method text for listings ("Store", "Method1" ...).
std::string method_text(const Entry& e);

}  // namespace arj
