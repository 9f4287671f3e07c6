// Fuzz target: the header walk of both formats and stored-data delivery
// through the entry test.
#include <cstddef>
#include <cstdint>

#include "rar.h"
#include "rar_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const rar::DataSink take = [](const uint8_t*, size_t) { return true; };
  const rar::Note quiet = [](const std::string&, const std::string&) {};
  for (int mode = 0; mode < 2; ++mode) {
    rar::Reader r([](const std::string&) { return std::unique_ptr<rar::Source>(); },
                  [](std::string_view s) { return std::string(s); });
    if (r.open_source(std::make_unique<rar::MemSource>(data, size), "fuzz.rar", mode == 0)) continue;
    rar::Entry e;
    for (int n = 0; n < 10000 && r.read_header(e) == 0; ++n) {
      if (n % 2)
        rar::test_entry(r, e, take, quiet);
      else
        r.process(nullptr);
    }
  }
  return 0;
}
