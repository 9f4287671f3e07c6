// GZA and BZA archives: a run of entries, each a header with its own
// checksum followed by the entry's compressed bytes (README.md has the
// layout byte by byte). Portable; files go through fsio.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fsio.h"

namespace bga {

constexpr size_t kHeaderSize = 28;
constexpr size_t kMaxName = 512;

enum class Method { Store, Deflate, Bzip2 };
const char* method_tag(Method m);   // the 4 bytes stored
const char* method_text(Method m);  // for listings

struct Entry {
  Method method = Method::Store;
  uint32_t packed = 0, size = 0, crc = 0;
  uint16_t time = 0, date = 0, attribs = 0, flags = 0;
  std::string name;     // CP932, '\' between folders
  int64_t dataPos = 0;  // absolute offset of the compressed bytes
};

// Bytes of one header for e (checksum filled in).
std::vector<uint8_t> encode_header(const Entry& e);
// Parses the header at p (n bytes available, at least kHeaderSize); answers
// the header's full length, 0 when it is not a valid header, -1 when n is too
// short for the name.
long decode_header(const uint8_t* p, size_t n, Entry& e);

// Where the archive starts in a file: 0, or after the program of one of our
// self-extractors; -1 when the file holds no archive.
int64_t find_archive(fsio::File& f);

struct Archive {
  std::vector<Entry> entries;
  int64_t start = 0;
};
// Reads every header; false with a message for damage or truncation.
bool read_archive(const std::string& path, Archive& a, std::string& err);

// Decodes one entry, feeding its bytes to sink; checks the size and CRC.
bool read_entry(fsio::File& f, const Entry& e, const std::function<bool(const uint8_t*, size_t)>& sink,
                std::string& err);

// Compresses a source (read through src until it answers 0) into out at its
// current position: header, then data; fills e's sizes and CRC.
bool write_entry(fsio::File& out, Entry& e, int level, const std::function<int64_t(uint8_t*, size_t)>& src,
                 std::string& err);
// Copies an entry of another archive unchanged.
bool copy_entry(fsio::File& in, const Entry& e, fsio::File& out, std::string& err);

}  // namespace bga
