// unzip32.dll: the common archiver interface (command entry, listing, check,
// extract to memory) and the option-record interface (Wiz_*). One source; the
// two kinds differ only in what their .def files export.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "arcapi.h"
#include "dllstate.h"
#include "fsio.h"
#include "listing.h"
#include "text.h"
#include "winask.h"
#include "zipextract.h"
#include "zipfmt.h"

using namespace arcapi;

namespace {

// Answers of the command entry (and arcapi::kErrNotExist).
constexpr int kErrPassword = 0x800A;
constexpr int kErrData = 0x800C;
constexpr int kErrBroken = 0x8017;
constexpr int kErrNotArc = 0x8019;
constexpr int kErrCommand = 0x801C;
constexpr int kErrRunning = 0x801F;
constexpr int kErrCancel = 0x8020;

// Answers of Wiz_SingleEntryUnzip.
constexpr int kPkOk = 0, kPkErr = 2, kPkBadErr = 3, kPkNoZip = 9, kPkParam = 10, kPkFind = 11, kIzCtrlC = 80,
              kIzBadPwd = 82;


constexpr WPARAM kBegin = 0, kInProcess = 1, kEnd = 2, kOpen = 3;

// Owner-window progress; a nonzero answer from the owner stops the run.
bool notify(WPARAM mode, const zipf::Entry* e, const std::string& target, uint64_t done) {
  HWND owner = arc::g_dll.owner;
  if (!owner || !IsWindow(owner)) return true;
  ExtractingInfo info{};
  if (e) {
    info.dwFileSize = static_cast<uint32_t>(std::min<uint64_t>(e->usize, 0xFFFFFFFFu));
    info.dwWriteSize = static_cast<uint32_t>(std::min<uint64_t>(done, 0xFFFFFFFFu));
    arc::copy_text(info.szSourceFileName, sizeof info.szSourceFileName, e->name);
  }
  arc::copy_text(info.szDestFileName, sizeof info.szDestFileName, target);
  return !arc::owner_asks_stop(static_cast<int>(mode), info);
}

class CommonHooks : public zipf::ExtractHooks {
 public:
  CommonHooks(arc::LogWriter& log, HWND owner) : log_(log), owner_(owner) {}
  void log(const std::string& line) override { log_.line(line); }
  bool progress(const zipf::Entry& e, const std::string& target) override {
    target_ = target;
    last_ = 0;
    return notify(kBegin, &e, target, 0);
  }
  bool bytes(const zipf::Entry& e, uint64_t done) override {
    if (done - last_ < (1u << 20) && done != e.usize) return true;
    last_ = done;
    return notify(kInProcess, &e, target_, done);
  }
  zipf::Answer ask_overwrite(const std::string& path) override {
    if (force_) return zipf::Answer::yes;
    return zipw::ask_overwrite(owner_, path);
  }
  bool password(const zipf::Entry& e, bool again, std::string& out) override {
    return zipw::ask_password(owner_, e.name, out);
  }
  bool force_ = false;

 private:
  arc::LogWriter& log_;
  HWND owner_;
  std::string target_;
  uint64_t last_ = 0;
};

bool open_archive(const std::string& path, std::unique_ptr<fsio::File>& f, zipf::Archive& a,
                  zipf::ReadStatus& st) {
  f = fsio::open_read(path);
  if (!f) {
    st = zipf::ReadStatus::readError;
    return false;
  }
  st = zipf::read_archive(*f, a);
  return st == zipf::ReadStatus::ok;
}

uint32_t clamp32(uint64_t v) { return static_cast<uint32_t>(std::min<uint64_t>(v, 0xFFFFFFFFu)); }

struct Init {
  Init() { zipw::init_names(); }
} g_init;

}  // namespace

extern "C" {

// ---- common interface ----

WORD WINAPI UnZipGetVersion() { return 100; }
BOOL WINAPI UnZipGetRunning() { return arc::dll_get_running(); }
BOOL WINAPI UnZipSetBackGroundMode(BOOL) { return TRUE; }
BOOL WINAPI UnZipSetCursorMode(BOOL) { return TRUE; }
BOOL WINAPI UnZipSetOwnerWindow(HWND owner) { return arc::dll_set_owner_window(owner); }
BOOL WINAPI UnZipClearOwnerWindow() { return arc::dll_clear_owner_window(); }

int WINAPI UnZip(HWND owner, LPCSTR cmd, LPSTR out, DWORD size) {
  arc::LogWriter log(out, size);
  if (arc::g_dll.running.load() > 0) return kErrRunning;
  arc::RunningGuard guard(arc::g_dll.running);
  if (!cmd) return kErrCommand;
  arc::ParsedCommand pc = arc::parse_command(cmd, false);
  zipf::ExtractOptions opt;
  bool force = false;
  for (auto& sw : pc.switches) {
    if (sw == "-x" || sw == "-e") {
    } else if (sw == "-t") {
      opt.test = true;
    } else if (sw == "-u") {
      opt.onlyNewer = true;
    } else if (sw == "-o") {
      force = true;
    } else if (sw == "-n") {
      opt.existing = zipf::Existing::skip;
    } else if (sw == "-j") {
      opt.folders = false;
    } else if (sw == "--i") {
      // no progress window of our own: nothing to hide
    } else {
      log.line("Unknown switch ignored: " + sw);
    }
  }
  if (force && opt.existing != zipf::Existing::skip) opt.existing = zipf::Existing::overwrite;
  if (pc.archive.empty()) {
    log.line("Error : no archive named");
    return kErrCommand;
  }
  opt.baseDir = pc.baseDir;
  for (auto& n : pc.names) opt.include.push_back(n == "*.*" ? std::string("*") : n);
  CommonHooks hooks(log, owner);
  notify(kOpen, nullptr, pc.archive, 0);
  std::unique_ptr<fsio::File> f;
  zipf::Archive a;
  zipf::ReadStatus st;
  if (!open_archive(pc.archive, f, a, st)) {
    log.line(st == zipf::ReadStatus::notZip ? "Error : not a ZIP archive: " + pc.archive
             : st == zipf::ReadStatus::readError ? "Error : cannot open " + pc.archive
                                                 : "Error : damaged archive: " + pc.archive);
    return st == zipf::ReadStatus::damaged ? kErrBroken : kErrNotArc;
  }
  zipf::ExtractResult r = zipf::extract(*f, a, opt, hooks);
  notify(kEnd, nullptr, pc.archive, 0);
  if (r.aborted) {
    log.line("Cancelled");
    return kErrCancel;
  }
  if (!opt.include.empty() && r.matched == 0) {
    log.line("Error : no entry matched");
    return kErrNotExist;
  }
  if (r.errors) return r.badPassword ? kErrPassword : kErrData;
  return 0;
}

HARC WINAPI UnZipOpenArchive(HWND, LPCSTR path, DWORD) {
  if (!path) return nullptr;
  auto f = fsio::open_read(path);
  if (!f) return nullptr;
  // The directory is read and checked once; each record is taken apart, and
  // its listing record made, only as the walk reaches it: a 100,000-entry
  // archive would otherwise need 56 MB of records and as many entries first.
  struct Walk {
    zipf::Directory dir;
    zipf::Entry entry;  // one, reused: its strings keep their room
    // All names, made only when a substitute name needs them to be unique.
    std::vector<std::string> names;
  };
  auto walk = std::make_shared<Walk>();
  if (zipf::read_directory(*f, walk->dir) != zipf::ReadStatus::ok) return nullptr;
  auto* l = new arc::Listing;
  l->lazyCount = walk->dir.starts.size();
  l->lazyFill = [walk](size_t i, IndividualInfo& r, arc::FullSizes& sizes) {
    zipf::Entry& e = walk->entry;
    zipf::parse_record(walk->dir, i, e);
    if (e.substituteName) {
      if (walk->names.empty()) walk->names = zipf::entry_names(walk->dir);
      e.name = walk->names[i];
    }
    sizes = {e.usize, e.csize};
    arc::fill_record(r, e.name, clamp32(e.usize), clamp32(e.csize), e.crc, e.dosTime,
                     arc::attribute_text(e.dos_attributes()), e.method_text(), e.versionMade >> 8,
                     e.encrypted() ? 1u : 0u);
  };
  return arc::listing_open(l);
}
int WINAPI UnZipCloseArchive(HARC h) { return arc::listing_close(h); }
int WINAPI UnZipFindFirst(HARC h, LPCSTR wild, IndividualInfo* info) { return arc::listing_find_first(h, wild, info); }
int WINAPI UnZipFindNext(HARC h, IndividualInfo* info) { return arc::listing_find_next(h, info); }
BOOL WINAPI UnZipGetOriginalSizeEx(HARC h, int64_t* size) { return arc::listing_original_size_ex(h, size); }
BOOL WINAPI UnZipGetCompressedSizeEx(HARC h, int64_t* size) { return arc::listing_compressed_size_ex(h, size); }

BOOL WINAPI UnZipCheckArchive(LPCSTR path, int) {
  if (!path) return FALSE;
  // The end records and the directory's bounds only: the engine asks this of
  // every file it opens, so it must not read the whole directory.
  auto f = fsio::open_read(path);
  return f && zipf::looks_like_zip(*f) ? TRUE : FALSE;
}

BOOL WINAPI UnZipConfigDialog(HWND owner, LPSTR, int) {
  MessageBoxA(owner, "unzip32.dll: ZIP 書庫の解凍 (stored, deflate)", "unzip32.dll", MB_OK | MB_ICONINFORMATION);
  return TRUE;
}

int WINAPI UnZipExtractMem(HWND owner, LPCSTR cmd, LPBYTE buf, DWORD size, int32_t* time, WORD* attr,
                           DWORD* written) {
  if (written) *written = 0;
  if (arc::g_dll.running.load() > 0) return kErrRunning;
  arc::RunningGuard guard(arc::g_dll.running);
  if (!cmd) return kErrCommand;
  arc::ParsedCommand pc = arc::parse_command(cmd, false);
  std::vector<std::string> names = pc.names;
  if (!pc.baseDir.empty()) names.insert(names.begin(), pc.baseDir);  // a name that ends in a backslash
  if (pc.archive.empty() || names.empty()) return kErrCommand;
  std::unique_ptr<fsio::File> f;
  zipf::Archive a;
  zipf::ReadStatus st;
  if (!open_archive(pc.archive, f, a, st)) return st == zipf::ReadStatus::damaged ? kErrBroken : kErrNotArc;
  arc::LogWriter none(nullptr, 0);
  CommonHooks hooks(none, owner);
  const zipf::Selection named({names[0]}, {}, a);
  for (const zipf::Entry& e : a.entries) {
    if (e.is_dir() || !named(e)) continue;
    std::vector<uint8_t> data;
    std::string err;
    if (!zipf::extract_to_memory(*f, a, e, hooks, buf ? size : 0, data, err))
      return err == zipf::status_text(zipf::DataStatus::badPassword) ? kErrPassword : kErrData;
    if (buf && !data.empty()) std::memcpy(buf, data.data(), data.size());
    if (written) *written = static_cast<DWORD>(data.size());
    if (time) *time = static_cast<int32_t>(arc::dos_to_unix(e.dosTime));
    if (attr) *attr = static_cast<WORD>(e.dos_attributes());
    return 0;
  }
  return kErrNotExist;
}

// ---- option-record interface ----

void WINAPI UzpVersion2(UzpVer2* v) {
  if (!v) return;
  uint32_t len = v->structlen;
  std::memset(v, 0, sizeof *v);
  v->structlen = len ? len : sizeof *v;
  arc::copy_text(v->zlib_version, sizeof v->zlib_version, zipf::inflate_version());
  v->unzip = {5, 52, 0, 0};
  v->zipinfo = {2, 42, 0, 0};
  v->os2dll = {5, 52, 0, 0};
  v->windll = {5, 52, 0, 0};
}

BOOL WINAPI Wiz_Validate(LPSTR path, int) { return UnZipCheckArchive(path, 0); }

namespace {

class WizHooks : public zipf::ExtractHooks {
 public:
  WizHooks(USERFUNCTIONS* uf, const std::string& archive) : uf_(uf), archive_(archive) {}
  void log(const std::string& line) override {
    if (!uf_ || !uf_->print) return;
    std::string s = line + "\r\n";
    uf_->print(s.data(), static_cast<unsigned long>(s.size()));
  }
  bool progress(const zipf::Entry& e, const std::string&) override {
    if (!uf_ || !uf_->ServCallBk) return true;
    return uf_->ServCallBk(e.name.c_str(), static_cast<unsigned long>(clamp32(e.usize))) == 0;
  }
  zipf::Answer ask_overwrite(const std::string& path) override {
    if (!uf_ || !uf_->replace) return zipf::Answer::no;
    std::vector<char> name(path.begin(), path.end());
    name.resize(std::max<size_t>(name.size() + 1, MAX_PATH + 1), 0);
    switch (uf_->replace(name.data())) {
      case 101: return zipf::Answer::yes;
      case 102:
      case 104: return zipf::Answer::all;
      case 103: return zipf::Answer::none;
      default: return zipf::Answer::no;
    }
  }
  bool password(const zipf::Entry& e, bool again, std::string& out) override {
    if (!uf_ || !uf_->password) return false;
    char buf[81] = {};
    if (uf_->password(buf, sizeof buf, archive_.c_str(), e.name.c_str()) != 0) return false;
    buf[sizeof buf - 1] = 0;
    out = buf;
    return !out.empty();
  }

 private:
  USERFUNCTIONS* uf_;
  std::string archive_;
};

char date_order() {
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDATE, buf, sizeof buf) <= 0) return '0';
  return buf[0];
}

std::vector<uint8_t> g_memBuffer;

}  // namespace

int WINAPI Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* dcl, USERFUNCTIONS* uf) {
  if (!dcl || !dcl->lpszZipFN) return kPkParam;
  arc::RunningGuard guard(arc::g_dll.running);
  std::string archive = dcl->lpszZipFN;
  zipf::ExtractOptions opt;
  for (int i = 0; ifnv && i < ifnc && ifnv[i]; ++i) {
    std::string p = ifnv[i];
    opt.include.push_back(p == "*.*" ? std::string("*") : p);
  }
  for (int i = 0; xfnv && i < xfnc && xfnv[i]; ++i) opt.exclude.push_back(xfnv[i]);
  WizHooks hooks(uf, archive);
  std::unique_ptr<fsio::File> f;
  zipf::Archive a;
  zipf::ReadStatus st;
  if (!open_archive(archive, f, a, st)) {
    hooks.log(st == zipf::ReadStatus::damaged ? "error: damaged archive " + archive
                                              : "error: cannot find or open a zipfile " + archive);
    return st == zipf::ReadStatus::damaged ? kPkBadErr : kPkNoZip;
  }

  if (dcl->nvflag) {
    char order = date_order();
    uint64_t total = 0, totalComp = 0;
    int count = 0;
    std::vector<char> name, method;  // the callback may write into them
    const zipf::Selection selected(opt.include, opt.exclude, a);
    for (const zipf::Entry& e : a.entries) {
      if (!selected(e)) continue;
      ++count;
      total += e.usize;
      totalComp += e.csize;
      if (!uf || !uf->SendApplicationMessage) continue;
      unsigned year = ((e.dosTime >> 25) & 0x7F) + 1980, month = (e.dosTime >> 21) & 0x0F,
               day = (e.dosTime >> 16) & 0x1F;
      unsigned yy = year % 100, x, y, z;
      if (order == '1') x = day, y = month, z = yy;
      else if (order == '2') x = yy, y = month, z = day;
      else x = month, y = day, z = yy;
      unsigned factor = (e.usize && e.csize <= e.usize) ? static_cast<unsigned>(100 - e.csize * 100 / e.usize) : 0;
      name.assign(e.name.begin(), e.name.end());
      name.push_back(0);
      std::string m = e.method_text();
      method.assign(m.begin(), m.end());
      method.push_back(0);
      uf->SendApplicationMessage(clamp32(e.usize), clamp32(e.csize), factor, x, y, z, (e.dosTime >> 11) & 0x1F,
                                 (e.dosTime >> 5) & 0x3F, ' ', name.data(), method.data(), e.crc,
                                 e.encrypted() ? 'E' : ' ');
    }
    if (uf) {
      uf->TotalSize = clamp32(total);
      uf->TotalSizeComp = clamp32(totalComp);
      uf->NumMembers = static_cast<uint32_t>(count);
      uf->CompFactor = (total && totalComp <= total) ? static_cast<uint32_t>(100 - totalComp * 100 / total) : 0;
    }
    return (!opt.include.empty() && count == 0) ? kPkFind : kPkOk;
  }

  opt.test = dcl->ntflag != 0;
  opt.folders = dcl->ndflag != 0;
  opt.onlyNewer = dcl->ExtractOnlyNewer != 0;
  opt.existing = dcl->noflag ? zipf::Existing::overwrite : zipf::Existing::ask;
  if (dcl->lpszExtractDir) opt.baseDir = dcl->lpszExtractDir;
  zipf::ExtractResult r = zipf::extract(*f, a, opt, hooks);
  if (r.aborted) return kIzCtrlC;
  if (!opt.include.empty() && r.matched == 0) return kPkFind;
  if (r.errors) return r.badPassword ? kIzBadPwd : kPkErr;
  return kPkOk;
}

void WINAPI UzpFreeMemBuffer(UzpBuffer* buf) {
  std::vector<uint8_t>().swap(g_memBuffer);
  if (buf) {
    buf->strptr = nullptr;
    buf->strlength = 0;
  }
}

int WINAPI Wiz_UnzipToMemory(char* zip, char* file, USERFUNCTIONS* uf, UzpBuffer* out) {
  // The bytes of the previous call are ours and go now.
  std::vector<uint8_t>().swap(g_memBuffer);
  if (!out || !zip || !file) return 0;
  out->strptr = nullptr;
  out->strlength = 0;
  arc::RunningGuard guard(arc::g_dll.running);
  std::unique_ptr<fsio::File> f;
  zipf::Archive a;
  zipf::ReadStatus st;
  WizHooks hooks(uf, zip);
  if (!open_archive(zip, f, a, st)) return 0;
  const zipf::Selection named({file}, {}, a);
  for (const zipf::Entry& e : a.entries) {
    if (e.is_dir() || !named(e)) continue;
    if (e.usize >= 0xFFFFFFFFu) return 0;
    std::string err;
    std::vector<uint8_t> data;
    if (!zipf::extract_to_memory(*f, a, e, hooks, e.usize, data, err)) {
      hooks.log("error: " + e.name + " (" + err + ")");
      return 0;
    }
    g_memBuffer = std::move(data);
    g_memBuffer.push_back(0);  // so that text can be read as a string
    out->strptr = reinterpret_cast<char*>(g_memBuffer.data());
    out->strlength = static_cast<uint32_t>(g_memBuffer.size() - 1);
    return 1;
  }
  return 0;
}

}  // extern "C"
