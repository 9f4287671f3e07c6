// Writes small RAR 4 and RAR 5 archives of stored entries, for tests: no
// tool here makes RAR files. Follows the published block layouts.
//
//   mkrar [-5] [-v BYTES] [-old] [-t YYYYMMDDhhmmss] OUT.rar ITEM...
//   ITEM:  NAME=PATH   a stored file NAME holding the bytes of PATH
//          NAME=       an empty file
//          NAME/       a folder
//   A prefix on an item marks it for hostile fixtures:
//          !m:  compressed method (the bytes are stored as they are)
//          !e:  encrypted flag
//          !c:  wrong CRC
//          !h:  unpacked size far larger than the data
//          !a:  RAR 4: the code page copy of the name as a packing system
//               of another code page writes it ('?' for every character
//               that is not ASCII); the Unicode copy stays right
//   RAR 5 redirections, the text after '=' being the target (no data):
//          !s:  Unix symbolic link (target relative to the link's folder)
//          !k:  hard link (target: another entry's name)
//          !y:  file copy (the same)
//   -v BYTES splits the data into volumes of at most BYTES data bytes each
//   (OUT names the first: x.part1.rar, or x.rar with -old for x.r00 ...).
// Names come in the system's narrow encoding: UTF-8 on Linux, the ANSI code
// page on Windows. RAR 4 stores the code page 932 name (with a Unicode copy
// when it is not ASCII), RAR 5 stores UTF-8.
#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text.h"

namespace {

struct Item {
  std::string name4;      // code page 932
  std::string name5;      // UTF-8
  std::u16string wide;
  std::vector<uint8_t> data;
  bool dir = false, compressed = false, encrypted = false, badCrc = false, huge = false, garbled = false;
  int redirect = 0;       // RAR 5 redirection type, 0 none
  std::string target;     // its target, UTF-8
};

// The RAR 4 Unicode copy of a name, encoded against the code page copy at
// the same places: one-byte characters (modes 0 and 1, the latter with a
// shared high byte), two-byte ones (mode 2), and runs taken from the code
// page copy, as they are or with a correction added (mode 3).
std::vector<uint8_t> encode_unicode(const std::u16string& wide, const std::vector<uint8_t>& ansi) {
  int counts[256] = {};
  for (char16_t w : wide)
    if (w >= 0x100) ++counts[w >> 8];
  int high = 0;
  for (int b = 1; b < 256; ++b)
    if (counts[b] > counts[high]) high = b;
  std::vector<uint8_t> enc{static_cast<uint8_t>(high)};
  size_t flagPos = 0;
  int slot = 4;
  auto mode = [&](int m) {
    if (slot == 4) {
      flagPos = enc.size();
      enc.push_back(0);
      slot = 0;
    }
    enc[flagPos] = static_cast<uint8_t>(enc[flagPos] | (m << (6 - 2 * slot)));
    ++slot;
  };
  auto at = [&](size_t i) { return i < ansi.size() ? static_cast<unsigned>(ansi[i]) : 0x100u; };
  for (size_t i = 0; i < wide.size();) {
    size_t run = 0;
    while (i + run < wide.size() && run < 129 && wide[i + run] == at(i + run)) ++run;
    if (run >= 2) {
      mode(3);
      enc.push_back(static_cast<uint8_t>(run - 2));
      i += run;
      continue;
    }
    if (high && (wide[i] >> 8) == high && at(i) < 0x100) {
      unsigned corr = (wide[i] - at(i)) & 0xFF;
      run = 0;
      while (i + run < wide.size() && run < 129 && at(i + run) < 0x100 && (wide[i + run] >> 8) == high &&
             ((wide[i + run] - at(i + run)) & 0xFF) == corr)
        ++run;
      if (run >= 2) {
        mode(3);
        enc.push_back(static_cast<uint8_t>(0x80 | (run - 2)));
        enc.push_back(static_cast<uint8_t>(corr));
        i += run;
        continue;
      }
    }
    char16_t w = wide[i++];
    if ((w >> 8) == 0) {
      mode(0);
      enc.push_back(static_cast<uint8_t>(w));
    } else if ((w >> 8) == high) {
      mode(1);
      enc.push_back(static_cast<uint8_t>(w));
    } else {
      mode(2);
      enc.push_back(static_cast<uint8_t>(w));
      enc.push_back(static_cast<uint8_t>(w >> 8));
    }
  }
  return enc;
}

#if defined(_WIN32)
std::u16string to_wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::u16string w(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), reinterpret_cast<wchar_t*>(w.data()), n);
  return w;
}
std::string from_wide(const std::u16string& w, UINT cp) {
  const wchar_t* p = reinterpret_cast<const wchar_t*>(w.data());
  int n = WideCharToMultiByte(cp, 0, p, static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, p, static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}
void set_names(Item& it, const std::string& arg) {
  it.wide = to_wide(arg);
  it.name4 = from_wide(it.wide, 932);
  it.name5 = from_wide(it.wide, CP_UTF8);
}
#else
std::string convert(const std::string& s, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return s;
  std::string out(s.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(s.data());
  size_t inLeft = s.size(), outLeft = out.size();
  char* o = out.data();
  iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}
void set_names(Item& it, const std::string& arg) {
  it.name5 = arg;
  it.name4 = convert(arg, "CP932");
  std::string u = convert(arg, "UTF-16LE");
  it.wide.clear();
  for (size_t i = 0; i + 1 < u.size(); i += 2)
    it.wide.push_back(static_cast<char16_t>(static_cast<uint8_t>(u[i]) | (static_cast<uint8_t>(u[i + 1]) << 8)));
}
#endif

void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void putv(std::vector<uint8_t>& b, uint64_t v) {
  do {
    uint8_t c = v & 0x7F;
    v >>= 7;
    if (v) c |= 0x80;
    b.push_back(c);
  } while (v);
}

// One part of an entry as it goes into one volume.
struct Part {
  const Item* item;
  size_t off, len;
  bool before, after;
};

class Writer {
 public:
  Writer(int format, uint32_t dosTime, int64_t unixTime) : format_(format), dosTime_(dosTime), unixTime_(unixTime) {}

  std::vector<uint8_t> volume(const std::vector<Part>& parts, bool isVolume, int number, bool more) {
    std::vector<uint8_t> out;
    if (format_ == 4) {
      out = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
      uint32_t flags = 0;
      if (isVolume) flags |= 0x01 | (newNaming ? 0x10 : 0) | (number == 0 ? 0x100 : 0);
      block4(out, 0x73, flags, {0, 0, 0, 0, 0, 0});
      for (auto& p : parts) file4(out, p);
      block4(out, 0x7B, more ? 0x01 : 0, {});
    } else {
      out = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
      std::vector<uint8_t> m;
      putv(m, 1);
      putv(m, 0);
      putv(m, (isVolume ? 0x01 : 0) | (isVolume && number > 0 ? 0x02 : 0));
      if (isVolume && number > 0) putv(m, static_cast<uint64_t>(number));
      block5(out, m, nullptr, 0);
      for (auto& p : parts) file5(out, p);
      std::vector<uint8_t> e;
      putv(e, 5);
      putv(e, 0);
      putv(e, more ? 0x01 : 0);
      block5(out, e, nullptr, 0);
    }
    return out;
  }

  bool newNaming = true;

 private:
  // Block head: CRC (low 16 bits of CRC-32 from the type on), type, flags, size.
  void block4(std::vector<uint8_t>& out, uint8_t type, uint32_t flags, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> b;
    b.push_back(type);
    put16(b, flags);
    put16(b, static_cast<uint32_t>(body.size() + 7));
    b.insert(b.end(), body.begin(), body.end());
    put16(out, arc::crc32(0, b.data(), b.size()) & 0xFFFF);
    out.insert(out.end(), b.begin(), b.end());
  }

  uint32_t crc_of(const Part& p) const {
    const Item& it = *p.item;
    uint32_t c = p.after ? arc::crc32(0, it.data.data() + p.off, p.len) : arc::crc32(0, it.data.data(), it.data.size());
    return it.badCrc ? c ^ 0x5A5A5A5A : c;
  }

  void file4(std::vector<uint8_t>& out, const Part& p) {
    const Item& it = *p.item;
    bool ascii = true;
    for (char16_t w : it.wide)
      if (w >= 0x80) ascii = false;
    std::vector<uint8_t> name(it.name4.begin(), it.name4.end());
    for (auto& ch : name)
      if (ch == '/') ch = '\\';  // never inside a double-byte character: 0x2F is no trail byte
    if (!ascii) {
      // A NUL, then the Unicode copy.
      std::u16string wide = it.wide;
      for (auto& w : wide)
        if (w == u'/') w = u'\\';
      std::vector<uint8_t> enc = encode_unicode(wide, name);
      name.push_back(0);
      name.insert(name.end(), enc.begin(), enc.end());
    }
    uint32_t flags = 0x8000 | (p.before ? 0x01 : 0) | (p.after ? 0x02 : 0) | (it.encrypted ? 0x04 : 0) |
                     (ascii ? 0 : 0x200) | (it.dir ? 0xE0 : 0x40);
    std::vector<uint8_t> b;
    put32(b, static_cast<uint32_t>(p.len));
    put32(b, it.huge ? 0xFFFFFFF0u : static_cast<uint32_t>(it.data.size()));
    b.push_back(2);  // Windows
    put32(b, it.dir ? 0 : crc_of(p));
    put32(b, dosTime_);
    b.push_back(29);
    b.push_back(it.compressed ? 0x33 : 0x30);
    put16(b, static_cast<uint32_t>(name.size()));
    put32(b, it.dir ? 0x10 : 0x20);
    b.insert(b.end(), name.begin(), name.end());
    block4(out, 0x74, flags, b);
    out.insert(out.end(), it.data.begin() + static_cast<std::ptrdiff_t>(p.off),
               it.data.begin() + static_cast<std::ptrdiff_t>(p.off + p.len));
  }

  // Header: CRC-32 of the size field and the header, the size as a vint, the header.
  void block5(std::vector<uint8_t>& out, const std::vector<uint8_t>& hdr, const uint8_t* data, size_t n) {
    std::vector<uint8_t> sized;
    putv(sized, hdr.size());
    sized.insert(sized.end(), hdr.begin(), hdr.end());
    put32(out, arc::crc32(0, sized.data(), sized.size()));
    out.insert(out.end(), sized.begin(), sized.end());
    if (n) out.insert(out.end(), data, data + n);
  }

  void file5(std::vector<uint8_t>& out, const Part& p) {
    const Item& it = *p.item;
    std::vector<uint8_t> extra;
    if (it.encrypted) {
      // A file encryption record: version 0, no flags (the rest of it does
      // not matter to a reader that only has to refuse the entry).
      std::vector<uint8_t> rec;
      putv(rec, 1);
      putv(rec, 0);
      putv(rec, 0);
      putv(extra, rec.size());
      extra.insert(extra.end(), rec.begin(), rec.end());
    }
    if (it.redirect) {
      std::vector<uint8_t> rec;
      putv(rec, 5);
      putv(rec, static_cast<uint64_t>(it.redirect));
      putv(rec, 0);
      putv(rec, it.target.size());
      rec.insert(rec.end(), it.target.begin(), it.target.end());
      putv(extra, rec.size());
      extra.insert(extra.end(), rec.begin(), rec.end());
    }
    std::vector<uint8_t> h;
    putv(h, 2);
    putv(h, 0x02 | (extra.empty() ? 0 : 0x01) | (p.before ? 0x08 : 0) | (p.after ? 0x10 : 0));
    if (!extra.empty()) putv(h, extra.size());
    putv(h, p.len);
    putv(h, (it.dir ? 0x01 : 0) | 0x02 | (it.dir ? 0 : 0x04));
    putv(h, it.huge ? (uint64_t{1} << 40) : it.data.size());
    putv(h, it.dir ? 0x10 : 0x20);
    put32(h, static_cast<uint32_t>(unixTime_));
    if (!it.dir) put32(h, crc_of(p));
    putv(h, it.compressed ? (3u << 7) : 0);
    putv(h, 0);  // Windows
    std::string n = it.name5;
    for (auto& ch : n)
      if (ch == '\\') ch = '/';
    putv(h, n.size());
    h.insert(h.end(), n.begin(), n.end());
    h.insert(h.end(), extra.begin(), extra.end());
    block5(out, h, it.data.data() + p.off, p.len);
  }

  int format_;
  uint32_t dosTime_;
  int64_t unixTime_;
};

std::string volume_name(const std::string& first, int k, bool newNaming) {
  if (k == 0) return first;
  size_t dot = first.rfind('.');
  std::string stem = dot == std::string::npos ? first : first.substr(0, dot);
  if (!newNaming) {
    char ext[8];
    std::snprintf(ext, sizeof ext, ".r%02d", k - 1);
    return stem + ext;
  }
  // x.part1.rar: the digits before ".rar" count up, keeping their width.
  size_t end = stem.size(), start = end;
  while (start > 0 && stem[start - 1] >= '0' && stem[start - 1] <= '9') --start;
  int width = static_cast<int>(end - start);
  long base = width ? std::strtol(stem.substr(start).c_str(), nullptr, 10) : 1;
  char num[32];
  std::snprintf(num, sizeof num, "%0*ld", width ? width : 1, base + k);
  return stem.substr(0, start) + num + (dot == std::string::npos ? "" : first.substr(dot));
}

bool read_file(const std::string& path, std::vector<uint8_t>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return true;
}

int usage() {
  std::fprintf(stderr, "usage: mkrar [-5] [-v BYTES] [-old] [-t YYYYMMDDhhmmss] OUT.rar NAME=PATH|NAME/ ...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int format = 4;
  size_t volSize = 0;
  bool newNaming = true;
  int Y = 2020, M = 1, D = 2, h = 3, m = 4, s = 6;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    std::string a = argv[i];
    if (a == "-5") format = 5;
    else if (a == "-4") format = 4;
    else if (a == "-old") newNaming = false;
    else if (a == "-v" && i + 1 < argc) volSize = std::strtoul(argv[++i], nullptr, 10);
    else if (a == "-t" && i + 1 < argc && std::strlen(argv[i + 1]) == 14) {
      std::sscanf(argv[++i], "%4d%2d%2d%2d%2d%2d", &Y, &M, &D, &h, &m, &s);
    } else return usage();
  }
  if (i >= argc) return usage();
  std::string out = argv[i++];
  std::vector<Item> items;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    Item it;
    while (a.size() > 3 && a[0] == '!' && a[2] == ':') {
      char k = a[1];
      if (k == 'm') it.compressed = true;
      else if (k == 'e') it.encrypted = true;
      else if (k == 'c') it.badCrc = true;
      else if (k == 'h') it.huge = true;
      else if (k == 'a') it.garbled = true;
      else if (k == 's') it.redirect = 1;
      else if (k == 'k') it.redirect = 4;
      else if (k == 'y') it.redirect = 5;
      else return usage();
      a = a.substr(3);
    }
    size_t eq = a.find('=');
    if (eq == std::string::npos) {
      if (a.empty() || a.back() != '/') return usage();
      it.dir = true;
      a.pop_back();
      set_names(it, a);
    } else {
      set_names(it, a.substr(0, eq));
      std::string path = a.substr(eq + 1);
      if (it.redirect) {
        Item t;
        set_names(t, path);
        it.target = t.name5;
      } else if (!path.empty() && !read_file(path, it.data)) {
        std::fprintf(stderr, "mkrar: cannot read %s\n", path.c_str());
        return 1;
      }
    }
    if (it.garbled) {
      it.name4.clear();
      for (char16_t w : it.wide) it.name4.push_back(w < 0x80 ? static_cast<char>(w) : '?');
    }
    items.push_back(std::move(it));
  }
  // Lay the entries out over the volumes.
  std::vector<std::vector<Part>> vols(1);
  size_t used = 0;
  for (auto& it : items) {
    size_t off = 0, left = it.data.size();
    bool before = false;
    do {
      if (volSize && used >= volSize && left) {
        vols.emplace_back();
        used = 0;
      }
      size_t len = left;
      if (volSize && len > volSize - used) len = volSize - used;
      bool after = len < left;
      vols.back().push_back({&it, off, len, before, after});
      off += len;
      left -= len;
      used += len;
      before = true;
    } while (left);
  }
  bool isVolume = vols.size() > 1;
  Writer w(format, arc::dos_datetime(Y, M, D, h, m, s), arc::dos_to_unix(arc::dos_datetime(Y, M, D, h, m, s)));
  w.newNaming = newNaming || format == 5;
  for (size_t k = 0; k < vols.size(); ++k) {
    auto bytes = w.volume(vols[k], isVolume, static_cast<int>(k), k + 1 < vols.size());
    std::string name = volume_name(out, static_cast<int>(k), w.newNaming);
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      std::fprintf(stderr, "mkrar: cannot write %s\n", name.c_str());
      return 1;
    }
    std::fclose(f);
  }
  return 0;
}
