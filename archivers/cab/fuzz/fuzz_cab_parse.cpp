// Cabinet reader under arbitrary input: header parsing, then every folder
// decoded and tested.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "cab_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path = "/tmp/fuzz_cab_" + std::to_string(getpid()) + ".cab";
  if (!fsio::write_all(path, data, size)) return 0;
  cab::CabSet set;
  std::string err;
  if (cab::open_set(path, false, set, err)) {
    char buf[4096];
    arc::LogWriter log(buf, sizeof buf);
    cab::test(path, log);
  }
  return 0;
}
