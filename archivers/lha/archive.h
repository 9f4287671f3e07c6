// An LHA archive on disk: finding its start (also after a self-extractor
// program), walking its headers, decoding an entry, and writing a new
// archive entry by entry.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decoder.h"
#include "encoder.h"
#include "fsio.h"
#include "header.h"

namespace lha {

// Marker block our self-extractor programs carry between the program and the
// archive: 8 magic bytes, 4 bytes of options, 4 reserved.
constexpr char kSfxMagic[8] = {'\x1A', 'L', 'H', 'S', 'F', 'X', '\x01', '\0'};
constexpr size_t kSfxBlock = 16;
enum SfxOption : uint32_t { kSfxKeepFolders = 1, kSfxSecondKind = 2 };

// Where the data appended to a Windows program begins (end of its last
// section), or 0 when the bytes are not such a program.
uint64_t program_end(fsio::File& f);

struct Archive {
  std::unique_ptr<fsio::File> file;
  uint64_t size = 0;
  uint64_t start = 0;      // first header
  uint64_t end = 0;        // end mark (or where the walk stopped)
  uint64_t sfxStart = 0;   // start of the marker block of our self-extractor, else 0
  uint32_t sfxOptions = 0;
  std::vector<Entry> entries;
  bool damaged = false;    // the walk stopped on a broken or cut header
  std::string why;
};

enum class OpenResult { Ok, CannotOpen, NotArchive };

// Opens and walks the archive. Ok also for a damaged archive (check
// damaged): the entries before the damage are kept.
OpenResult open_archive(const std::string& path, Archive& a);
// Cheap check: an LHA archive or a program carrying one.
bool is_archive(const std::string& path);

enum class DecodeResult { Ok, Unsupported, Damaged, CrcError, WriteFailed };

// Decodes an entry into sink. With limit below the entry's size only that
// many bytes are delivered and the CRC is not checked.
// lent: blocks a run passes from entry to entry.
DecodeResult decode_entry(fsio::File& f, const Entry& e, const std::function<bool(const uint8_t*, size_t)>& sink,
                          uint64_t limit = UINT64_MAX, DecodeBuffers* lent = nullptr);

// Decodes into target through a temporary file beside it, so that a failure
// leaves an existing file untouched; sets the entry's time.
// Decodes the entry into target through the placer (there: a file is at
// target), with its time and the attributes given; why tells a write failure.
DecodeResult extract_file(fsio::File& f, const Entry& e, fsio::Placer& placer, const std::string& target, bool there,
                          uint32_t attrs = 0, fsio::PlaceError* why = nullptr, DecodeBuffers* lent = nullptr);

const char* describe(DecodeResult r);

// Method of a packing level: 0 stored, 5/6/7 -lh5-/-lh6-/-lh7-.
std::string method_name(int level);

// Writes a new archive; finish() adds the end mark.
class Writer {
 public:
  bool open(const std::string& path);
  // Writes into f, which outlives the writer's use of it.
  void open(fsio::File& f);
  bool write_bytes(const void* p, size_t n);
  // Copies an entry of another archive unchanged (its header may be renamed).
  bool copy_entry(fsio::File& src, const Entry& e, const std::string* newPath = nullptr);
  // Packs a file; e supplies path, time and attributes, method is filled in.
  bool add_file(const std::string& source, Entry& e, int level, std::string& why);
  bool add_folder(Entry& e);
  bool finish();
  uint64_t written() const { return pos_; }

 private:
  bool flush();
  // One encoder for all the files of a run, made again only for another window.
  Encoder& encoder(unsigned windowBits, ByteSink& sink);
  std::unique_ptr<Encoder> enc_;
  unsigned encBits_ = 0;
  std::unique_ptr<fsio::File> owned_;
  fsio::File* f_ = nullptr;
  std::vector<uint8_t> pending_;  // small writes gathered: many entries, few system calls
  uint64_t pos_ = 0;
};

}  // namespace lha
