// Not a test: extracts a whole archive through the portable operation the
// library runs (ZIP, LHA, TAR and its compressed kinds) over the POSIX file
// layer, so its own work can be profiled without Wine.
//   arc_extract zip|lzh|tar ARCHIVE FOLDER
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lha_ops.h"
#include "ops.h"
#include "zipextract.h"

namespace {

struct ZipHooks : zipf::ExtractHooks {
  void log(const std::string&) override {}
};
struct TarHost : tarx::Host {
  void log(const std::string&) override {}
};
struct LhaHost : lha::Host {};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: arc_extract zip|lzh|tar ARCHIVE FOLDER\n");
    return 2;
  }
  std::string kind = argv[1], archive = argv[2], dir = argv[3];
  int rc = 0;
  if (kind == "zip") {
    zipf::ExtractOptions o;
    o.baseDir = dir;
    o.existing = zipf::Existing::overwrite;
    ZipHooks h;
    zipf::ExtractResult r = zipf::extract(archive, o, h);
    rc = r.errors || r.badArchive ? 1 : 0;
  } else if (kind == "lzh") {
    lha::Command c{archive, dir + "/", {}};
    lha::ExtractOptions o;
    o.yes = true;
    LhaHost h;
    std::vector<char> logBuf(1 << 16);
    arc::LogWriter log(logBuf.data(), static_cast<uint32_t>(logBuf.size()));
    rc = lha::extract(c, o, h, log);
  } else if (kind == "tar") {
    TarHost h;
    rc = tarx::extract(archive, dir, {}, true, h);
  } else {
    return 2;
  }
  std::printf("rc=%d\n", rc);
  return rc == 0 ? 0 : 1;
}
