// zip32.dll: packs, updates and deletes ZIP entries, and drops or accounts
// for a self-extractor prefix, as the stored option record says.
#include <windows.h>

#include <atomic>
#include <cstring>

#include "arcapi.h"
#include "listing.h"
#include "winask.h"
#include "zipfmt.h"
#include "zipwrite.h"

using namespace arcapi;

namespace {

ZIPUSERFUNCTIONS g_uf{};
bool g_haveUf = false;
ZPOPT g_opt{};
std::string g_root;
std::atomic<int> g_running{0};

class Hooks : public zipf::PackHooks {
 public:
  explicit Hooks(const std::string& archive) : archive_(archive) {}
  void log(const std::string& line) override {
    if (!g_haveUf || !g_uf.print) return;
    std::string s = line + "\r\n";
    g_uf.print(s.data(), static_cast<unsigned long>(s.size()));
  }
  bool service(const std::string& name, uint64_t size) override {
    if (!g_haveUf || !g_uf.ServiceApplication) return true;
    return g_uf.ServiceApplication(name.c_str(), static_cast<unsigned long>(std::min<uint64_t>(size, 0xFFFFFFFFu))) == 0;
  }
  bool password(std::string& out) override {
    if (!g_haveUf || !g_uf.password) return false;
    char buf[81] = {};
    if (g_uf.password(buf, sizeof buf, archive_.c_str(), "") != 0) return false;
    buf[sizeof buf - 1] = 0;
    out = buf;
    return !out.empty();
  }

 private:
  std::string archive_;
};

}  // namespace

extern "C" {

void WINAPI ZpVersion(ZpVer* v) {
  if (!v) return;
  uint32_t len = v->structlen;
  std::memset(v, 0, sizeof *v);
  v->structlen = len ? len : sizeof *v;
  const char* zv = zipf::inflate_version();
  size_t n = std::min(sizeof v->zlib_version - 1, std::strlen(zv));
  std::memcpy(v->zlib_version, zv, n);
  v->zip = {3, 0, 0, 0};
  v->os2dll = {3, 0, 0, 0};
  v->windll = {3, 0, 0, 0};
}

int WINAPI ZpInit(ZIPUSERFUNCTIONS* uf) {
  if (!uf) {
    g_haveUf = false;
    return FALSE;
  }
  g_uf = *uf;
  g_haveUf = true;
  return TRUE;
}

BOOL WINAPI ZpSetOptions(ZPOPT* opt) {
  if (!opt) return FALSE;
  g_opt = *opt;
  // The caller's buffers may change before the run: keep our own copy.
  g_root = opt->szRootDir ? opt->szRootDir : "";
  g_opt.szRootDir = nullptr;
  g_opt.Date = nullptr;
  g_opt.szTempDir = nullptr;
  return TRUE;
}

int WINAPI ZpArchive(ZCL c) {
  if (!c.lpszZipFN || !*c.lpszZipFN) return zipf::kZipParams;
  if (g_running.load() > 0) return zipf::kZipParams;
  arc::RunningGuard guard(g_running);
  zipw::init_names();
  std::vector<std::string> names;
  for (int i = 0; c.FNV && i < c.argc; ++i)
    if (c.FNV[i]) names.emplace_back(c.FNV[i]);
  zipf::PackOptions o;
  o.rootDir = g_root;
  o.recurse = g_opt.fRecurse != 0;
  o.junkDir = g_opt.fJunkDir != 0;
  o.deleteEntries = g_opt.fDeleteEntries != 0;
  o.update = g_opt.fUpdate != 0;
  o.junkSfx = g_opt.fJunkSFX != 0;
  o.fixOffsets = g_opt.fOffsets != 0;
  o.system = g_opt.fSystem != 0;
  o.noDirEntries = g_opt.fNoDirEntries != 0;
  o.encrypt = g_opt.fEncrypt != 0;
  o.latestTime = g_opt.fLatestTime != 0;
  o.level = (g_opt.fLevel >= '0' && g_opt.fLevel <= '9') ? g_opt.fLevel - '0' : 6;
  Hooks hooks(c.lpszZipFN);
  return zipf::pack(c.lpszZipFN, names, o, hooks);
}

}  // extern "C"
