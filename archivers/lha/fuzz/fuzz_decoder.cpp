// Each decoder on any bytes: the first byte picks the method and the next
// two the declared size; never reads outside, always ends.
#include <cstdint>
#include <vector>

#include "decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static const char* methods[] = {"-lh0-", "-lh4-", "-lh5-", "-lh6-", "-lh7-", "-lh1-", "-lzs-", "-lz5-"};
  const char* m = methods[data[0] % 8];
  uint64_t original = (static_cast<uint64_t>(data[1]) << 8 | data[2]) * 37;
  lha::MemorySource src(data + 3, size - 3);
  auto dec = lha::make_decoder(m, src, original);
  std::vector<uint8_t> out(4096);
  uint64_t total = 0;
  while (size_t n = dec->read(out.data(), out.size())) total += n;
  if (total > original) __builtin_trap();
  return 0;
}
