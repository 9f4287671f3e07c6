// Native driver of the ZIP writer, for timing and profiling it without Wine:
//   zip_pack ARCHIVE ROOT LEVEL [-r] NAME...
// packs the names (relative to ROOT; -r: folders with all below them) and
// prints the time the packing took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zipwrite.h"

namespace {

class Quiet : public zipf::PackHooks {
 public:
  void log(const std::string& line) override {
    if (line.rfind("zip ", 0) == 0) std::fprintf(stderr, "%s\n", line.c_str());
  }
  bool service(const std::string&, uint64_t) override { return true; }
  bool password(std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: zip_pack ARCHIVE ROOT LEVEL [-r] NAME...\n");
    return 2;
  }
  zipf::PackOptions o;
  o.rootDir = argv[2];
  o.level = std::atoi(argv[3]);
  std::vector<std::string> names;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "-r") == 0) o.recurse = true;
    else names.emplace_back(argv[i]);
  }
  Quiet q;
  auto t0 = std::chrono::steady_clock::now();
  int rc = zipf::pack(argv[1], names, o, q);
  auto t1 = std::chrono::steady_clock::now();
  std::printf("rc=%d %.3f s\n", rc, std::chrono::duration<double>(t1 - t0).count());
  return rc;
}
