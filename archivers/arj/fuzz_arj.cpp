// Fuzz target: header walk and every decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "arj.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  arj::MemSource src(data, size);
  arj::Archive a;
  arj::read_archive(src, a);
  for (const auto& e : a.entries) {
    // Declared sizes are the packer's word; stop early so that a tiny input
    // claiming gigabytes does not hold the fuzzer up.
    size_t seen = 0;
    arj::extract(src, e, [&](const uint8_t*, size_t n) {
      seen += n;
      return seen < (1u << 18);
    });
  }
  return 0;
}
