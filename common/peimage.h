// Where a program's image ends in its file. A self-extractor is a program
// with its archive appended: the archive that counts is the one that starts
// there, whatever other archives lie inside it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "fsio.h"

namespace peimage {

// True when the file starts as a program ("MZ").
bool is_program(fsio::File& f);

// The offset of the first byte after the image (the end of the last
// section's raw data, or of the COFF symbols and their strings when they lie
// behind it), or 0 when the file is not a program with a section table.
uint64_t image_end(fsio::File& f);

// The same over any reader: read(pos, buf, n) reads exactly n bytes or fails.
using ReadAt = std::function<bool(uint64_t pos, void* buf, size_t n)>;
uint64_t image_end(const ReadAt& read, uint64_t size);

}  // namespace peimage
