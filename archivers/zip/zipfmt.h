// ZIP archive reading: end of central directory (with a self-extractor or
// other prefix before the archive), ZIP64 sizes and offsets, the central
// directory, local headers, and one entry's data through the traditional
// decryption and raw inflate. Portable: only fsio and zlib.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fsio.h"

namespace zipf {

constexpr uint32_t kSigLocal = 0x04034b50;
constexpr uint32_t kSigCentral = 0x02014b50;
constexpr uint32_t kSigEnd = 0x06054b50;
constexpr uint32_t kSigEnd64 = 0x06064b50;
constexpr uint32_t kSigLoc64 = 0x07064b50;
constexpr uint32_t kSigDescriptor = 0x08074b50;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;

struct Entry {
  std::string name;         // as shown: system code page, '/' separators
  std::string rawName;      // bytes as stored
  uint16_t versionMade = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dosTime = 0;     // DOS date << 16 | DOS time
  uint32_t crc = 0;
  uint64_t csize = 0;
  uint64_t usize = 0;
  uint64_t offset = 0;      // of the local header, counted from the file start
  uint16_t internalAttr = 0;
  uint32_t externalAttr = 0;
  std::vector<uint8_t> extra;   // central extra field without the ZIP64 record
  std::string comment;
  bool overlaps = false;    // its data runs into the next entry or the directory
  // The stored name has characters the system code page cannot hold: name
  // is a substitute, made unique among the archive's names.
  bool substituteName = false;

  bool is_dir() const;
  bool encrypted() const { return flags & kFlagEncrypted; }
  // Windows-style attribute bits (1 read-only, 2 hidden, 4 system, 16 folder, 32 archive).
  uint32_t dos_attributes() const;
  // Short method text for listings, at most 7 characters.
  std::string method_text() const;
};

struct Archive {
  std::vector<Entry> entries;
  int64_t fileSize = 0;
  uint64_t prefix = 0;      // bytes in front of the archive (self-extractor stub)
  uint64_t cdStart = 0;     // where the central directory really lies
  uint64_t cdSize = 0;
  uint64_t dataEnd = 0;     // entries' data must end here (the directory start)
  bool offsetsAbsolute = true;  // stored offsets already count the prefix
  std::string comment;
};

enum class ReadStatus { ok, notZip, damaged, readError };

// Conversion of names stored as UTF-8 (flag bit 11, or the Unicode path
// extra field) into the system code page; the Windows layer installs one,
// elsewhere names stay as stored. A character the code page cannot hold
// becomes "#U" and its code point in hex (4 to 6 digits), and *lossy is set:
// two names that differ in such characters stay apart.
extern std::string (*utf8_to_native)(std::string_view utf8, bool* lossy);

ReadStatus read_archive(fsio::File& f, Archive& out);

// The central directory as read, its records checked for bounds and found
// but not yet taken apart: a listing takes each apart once, as it reaches it.
struct Directory {
  std::unique_ptr<uint8_t[]> bytes;
  std::vector<size_t> starts;  // of each record in bytes
  int64_t fileSize = 0;
  uint64_t cdStart = 0, cdSize = 0;
  uint64_t shift = 0;          // added to stored offsets (a prefix they do not count)
  std::string comment;
};
ReadStatus read_directory(fsio::File& f, Directory& out);
// Record i into e, as read_archive gives it (overlaps not known: false; a
// substitute name not yet made unique, see entry_names).
void parse_record(const Directory& d, size_t i, Entry& e);
// Every entry's name as read_archive gives it, substitutes made unique.
std::vector<std::string> entry_names(const Directory& d);
// Is this file a ZIP archive (behind a self-extractor's program at most)?
// Reads only the end records and the directory's first signature.
bool looks_like_zip(fsio::File& f);

// Start of the entry's data, after its local header; 0 on failure.
uint64_t data_start(fsio::File& f, const Archive& a, const Entry& e);

enum class DataStatus { ok, badPassword, needPassword, crc, damaged, method, sink, aborted };
const char* status_text(DataStatus s);

// Traditional PKWARE stream cipher.
class ZipCrypto {
 public:
  void init(std::string_view password);
  uint8_t decrypt_byte(uint8_t c) {
    uint8_t p = c ^ stream_byte();
    update(p);
    return p;
  }
  uint8_t encrypt_byte(uint8_t p) {
    uint8_t c = p ^ stream_byte();
    update(p);
    return c;
  }

 private:
  uint8_t stream_byte() const {
    // Unsigned: the product of two 16-bit values overflows an int.
    uint32_t t = (k2_ | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
  void update(uint8_t c);
  uint32_t k0_ = 0, k1_ = 0, k2_ = 0;
};

// Reads, decrypts and inflates one entry, passing the bytes to sink (false
// from the sink stops). Checks the stored CRC and size; the output never
// grows past the declared size. password may be null for plain entries;
// a wrong one answers badPassword before any byte reaches the sink.
using Sink = std::function<bool(const uint8_t*, size_t)>;
// The buffers and the inflate state a run passes from entry to entry: made
// afresh for each, they cost a heap round trip and zlib's setup apiece.
class DecodeScratch {
 public:
  DecodeScratch();
  ~DecodeScratch();
  DecodeScratch(const DecodeScratch&) = delete;
  DecodeScratch& operator=(const DecodeScratch&) = delete;
  struct State;
  State& state() { return *s_; }

 private:
  std::unique_ptr<State> s_;
};
DataStatus read_entry(fsio::File& f, const Archive& a, const Entry& e, const std::string* password, const Sink& sink,
                      DecodeScratch* scratch = nullptr);

// Decrypt and inflate over bytes already in memory (the fuzz target's door).
DataStatus decode_data(const uint8_t* data, size_t n, const Entry& e, const std::string* password, const Sink& sink);

// An upper bound on what the entry can expand to; declared sizes beyond it
// are damage, not something to allocate for.
bool plausible_size(const Entry& e);

// The inflate library's version text (for the version records).
const char* inflate_version();

// A file over bytes in memory (tests, fuzzing, the self-extractor's own image).
class MemFile : public fsio::File {
 public:
  MemFile(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  int64_t read(void* dst, int64_t n) override;
  bool write(const void*, int64_t) override { return false; }
  bool seek(int64_t pos) override;
  int64_t tell() override { return static_cast<int64_t>(pos_); }
  int64_t size() override { return static_cast<int64_t>(n_); }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t pos_ = 0;
};

inline uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t get64(const uint8_t* p) { return get32(p) | (static_cast<uint64_t>(get32(p + 4)) << 32); }

}  // namespace zipf
