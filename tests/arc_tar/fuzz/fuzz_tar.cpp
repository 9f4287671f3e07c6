// Any bytes as an archive: codec sniffing, the tar header parser, long
// names, pax records, sparse maps and entry data.
#include <cstddef>
#include <cstdint>

#include "stream.h"
#include "tarfmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto in = tarx::decode_memory(data, size);
  tarx::Reader r(*in);
  tarx::Entry e;
  uint8_t buf[4096];
  int entries = 0;
  while (r.next(e) && entries++ < 100000) {
    if (entries % 2) {
      // A sparse file's holes cost no input: its real size can be anything.
      size_t budget = 1 << 22;
      while (r.data_left() && budget >= sizeof buf && r.read_data(buf, sizeof buf)) budget -= sizeof buf;
    }
  }
  return 0;
}
