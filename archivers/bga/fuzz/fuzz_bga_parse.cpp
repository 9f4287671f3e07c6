// GZA/BZA reading under arbitrary input: headers, then every entry decoded.
#include <unistd.h>

#include <cstdint>
#include <string>

#include "bga_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path = "/tmp/fuzz_bga_" + std::to_string(getpid()) + ".gza";
  if (!fsio::write_all(path, data, size)) return 0;
  char buf[4096];
  arc::LogWriter log(buf, sizeof buf);
  bga::test(path, log);
  return 0;
}
