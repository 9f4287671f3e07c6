// Fuzz target: the header walk of both formats and stored-data delivery.
#include <cstddef>
#include <cstdint>

#include "rar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int mode = 0; mode < 2; ++mode) {
    rar::Reader r([](const std::string&) { return std::unique_ptr<rar::Source>(); },
                  [](std::string_view s) { return std::string(s); });
    if (r.open_source(std::make_unique<rar::MemSource>(data, size), "fuzz.rar", mode == 0)) continue;
    rar::Entry e;
    rar::Reader::Sink sink = [](const uint8_t*, size_t) { return true; };
    for (int n = 0; n < 10000 && r.read_header(e) == 0; ++n) r.process(n % 2 ? &sink : nullptr);
  }
  return 0;
}
