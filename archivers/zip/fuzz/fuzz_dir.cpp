// Whole archives: end record search, ZIP64 records, central directory and
// local headers, then every entry's data through the decoder.
#include <cstddef>
#include <cstdint>

#include "zipfmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zipf::MemFile f(data, size);
  zipf::Archive a;
  zipf::looks_like_zip(f);
  if (zipf::read_archive(f, a) != zipf::ReadStatus::ok) return 0;
  std::string pw = "secret";
  size_t n = 0;
  for (auto& e : a.entries) {
    if (++n > 64) break;
    zipf::read_entry(f, a, e, &pw, [](const uint8_t*, size_t) { return true; });
  }
  return 0;
}
