// The tar format: 512-byte headers (v7, ustar, GNU with ././@LongLink, pax
// extended headers for path, linkpath, size and mtime, sparse files of the
// old GNU kind and of pax 0.0, 0.1 and 1.0), read from any InStream; and a
// writer of GNU-style headers with long-name records.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sparse.h"
#include "stream.h"

namespace tarx {

struct Header {
  std::string name;      // as stored: '/' separators, bytes unchanged
  std::string linkname;
  char type = '0';
  uint64_t size = 0;
  int64_t mtime = 0;
  uint32_t mode = 0;
  bool posix = false;    // "ustar\0": the prefix field is part of the name
};

enum class HeaderResult { Ok, ZeroBlock, Bad };

// One 512-byte header on its own (no long-name or pax state).
HeaderResult parse_header(const uint8_t* block, Header& h);

// True when the block is a header whose checksum holds.
bool looks_like_tar(const uint8_t* block, size_t n);

bool is_dir_type(char t);
bool is_file_type(char t);  // regular data follows ('0', '\0', '7')

// Parses pax records ("LEN key=value\n") into the fields they set.
struct Pax {
  bool hasPath = false, hasLink = false, hasSize = false, hasMtime = false, binary = false;
  // GNU.sparse.* records: a sparse file, whose stored data is not its content.
  // 0.0 gives the map as offset/numbytes pairs, 0.1 as one map record; 1.0
  // (major 1, minor 0) puts it at the start of the data.
  bool sparse = false, hasSparseName = false, hasSparseSize = false, hasSparseBlocks = false;
  bool sparseBad = false;  // a sparse record that makes no sense
  std::string sparseName;
  uint64_t sparseSize = 0, sparseBlocks = 0;
  int64_t sparseMajor = -1, sparseMinor = -1;
  std::vector<Fragment> sparseMap;
  std::string path, linkpath;
  uint64_t size = 0;
  int64_t mtime = 0;
};
bool parse_pax(const uint8_t* p, size_t n, Pax& pax);

// pax texts are UTF-8; the library turns them into the system code page
// through this hook (unchanged when it is null).
using TextConverter = std::string (*)(const std::string& utf8);
void set_pax_converter(TextConverter f);

struct Entry {
  std::string name;
  std::string linkname;
  char type = '0';
  uint64_t size = 0;     // bytes read_data gives: a sparse file's real size
  uint64_t stored = 0;   // data bytes that follow the header
  int64_t mtime = 0;
  uint32_t mode = 0;
};

class Reader {
 public:
  explicit Reader(InStream& in) : in_(in) {}
  // The next entry; false at the end of the archive or on damage (error()).
  bool next(Entry& e);
  // Data of the current entry, in order; a sparse file's with its holes.
  size_t read_data(uint8_t* p, size_t n);
  bool skip_data();
  // Text for the log when next/read_data failed; empty at a clean end.
  std::string error() const { return error_; }
  uint64_t data_left() const { return sparse_ ? sparse_->left() : left_; }
  // Inside a compressed stream that must hold a tar: a bad first header is
  // damage rather than some other kind of file.
  void expect_tar() { expectTar_ = true; }

 private:
  bool read_block(uint8_t* b, bool atHeader);
  bool read_text(uint64_t size, std::string& out);
  bool finish_entry();
  size_t read_stored(uint8_t* p, size_t n);
  // The current entry's stored bytes as a stream, under a sparse file's holes.
  class Stored : public InStream {
   public:
    explicit Stored(Reader& r) : r_(r) {}
    size_t read(uint8_t* p, size_t n) override;
    int64_t raw_position() override { return r_.in_.raw_position(); }

   private:
    Reader& r_;
  };
  InStream& in_;
  Stored stored_{*this};
  std::unique_ptr<SparseStream> sparse_;
  uint64_t left_ = 0, pad_ = 0;
  bool ended_ = false, any_ = false, expectTar_ = false;
  std::string error_;
};

class Writer {
 public:
  explicit Writer(OutStream& out) : out_(out) {}
  bool add_dir(const std::string& name, int64_t mtime);
  // Header of a regular file; the caller then writes exactly size bytes with
  // write_data and calls end_file.
  bool begin_file(const std::string& name, uint64_t size, int64_t mtime, uint32_t mode);
  bool write_data(const uint8_t* p, size_t n);
  bool end_file();
  bool finish();

 private:
  bool header(const std::string& name, char type, uint64_t size, int64_t mtime, uint32_t mode);
  OutStream& out_;
  uint64_t written_ = 0, declared_ = 0, total_ = 0;
};

}  // namespace tarx
