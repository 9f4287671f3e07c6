// Header parser on any bytes: never reads outside, always ends.
#include <cstdint>
#include <string>

#include "header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t at = 0;
  for (int n = 0; n < 64 && at < size; ++n) {
    lha::Entry e;
    std::string why;
    if (lha::parse_header(data + at, size - at, e, why) != lha::HeaderStatus::Ok) break;
    if (e.headerSize == 0) break;
    at += e.headerSize;
    lha::build_header(e);
  }
  return 0;
}
