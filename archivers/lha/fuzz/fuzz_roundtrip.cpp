// Encoder and decoder together: what goes in comes out.
#include <cstdint>
#include <cstring>
#include <vector>

#include "decoder.h"
#include "encoder.h"

namespace {
class Sink : public lha::ByteSink {
 public:
  std::vector<uint8_t> v;
  bool put(const uint8_t* p, size_t n) override {
    v.insert(v.end(), p, p + n);
    return true;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const unsigned wbs[] = {13, 15, 16};
  unsigned wb = wbs[data[0] % 3];
  Sink sink;
  auto enc = lha::make_lzh_encoder(wb, sink);
  enc->write(data + 1, size - 1);
  enc->finish();
  lha::MemorySource src(sink.v.data(), sink.v.size());
  auto dec = lha::make_lzh_decoder(wb, src, size - 1);
  std::vector<uint8_t> out(size);
  size_t total = 0;
  while (size_t n = dec->read(out.data() + total, out.size() - total)) total += n;
  if (total != size - 1 || std::memcmp(out.data(), data + 1, total) != 0) __builtin_trap();
  return 0;
}
