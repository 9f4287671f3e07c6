#include "header.h"

#include <cstring>

#include "crc16.h"
#include "text.h"

namespace lha {
namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint64_t le64(const uint8_t* p) { return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

bool is_stored_method(const std::string& m) { return m == "-lh0-" || m == "-lz4-"; }

bool method_shape(const uint8_t* m) {
  return m[0] == '-' && m[1] == 'l' && (m[2] == 'h' || m[2] == 'z') && m[4] == '-';
}

struct Ext {
  std::string name, dirName;
  bool haveName = false, haveDir = false;
  int attr = -1;
  int64_t unixTime = -1;
  uint64_t packed64 = 0, original64 = 0;
  bool have64 = false;
  bool symlinkMode = false;
  size_t crcAt = 0;  // offset of the header-CRC field, 0 = none
  uint16_t headerCrc = 0;
};

// Walks extended headers from `at`, first size `size`, inside [0, limit).
// Each ends in the next one's size, of `sizeBytes` bytes (4 at level 3).
bool walk_ext(const uint8_t* p, size_t limit, size_t at, size_t size, Ext& x, size_t& total, std::string& why,
              size_t sizeBytes = 2) {
  total = 0;
  unsigned count = 0;
  while (size != 0) {
    if (size < 1 + sizeBytes || size > limit || at > limit - size) {
      why = "extended header runs past the header";
      return false;
    }
    if (++count > 4096) {
      why = "too many extended headers";
      return false;
    }
    const uint8_t* h = p + at;
    const uint8_t* d = h + 1;
    size_t dn = size - 1 - sizeBytes;
    switch (h[0]) {
      case 0x00:
        if (dn >= 2) {
          x.crcAt = at + 1;
          x.headerCrc = le16(d);
        }
        break;
      case 0x01:
        x.name.assign(reinterpret_cast<const char*>(d), dn);
        x.haveName = true;
        break;
      case 0x02:
        x.dirName.assign(reinterpret_cast<const char*>(d), dn);
        x.haveDir = true;
        break;
      case 0x40:
        if (dn >= 2) x.attr = le16(d);
        break;
      case 0x42:
        if (dn >= 16) {
          x.packed64 = le64(d);
          x.original64 = le64(d + 8);
          x.have64 = true;
        }
        break;
      case 0x50:
        if (dn >= 2 && (le16(d) & 0xF000) == 0xA000) x.symlinkMode = true;
        break;
      case 0x54:
        if (dn >= 4) x.unixTime = le32(d);
        break;
      default:
        break;
    }
    total += size;
    at += size;
    size = sizeBytes == 4 ? le32(h + size - 4) : le16(h + size - 2);
  }
  return true;
}

// Drops "." components: some makers store the folder they were given as
// "./", so that "./sub" is "sub". A path of nothing but "." components stays
// ".": the base folder itself.
void drop_dot_components(std::string& path) {
  // Most names have none and stay as they are.
  bool any = path == "." || path.starts_with("./") || path.ends_with("/.") || path.find("/./") != std::string::npos;
  if (!any) return;
  std::string out;
  bool other = false;
  size_t i = 0;
  while (true) {
    size_t j = path.find('/', i);
    std::string comp = path.substr(i, j == std::string::npos ? std::string::npos : j - i);
    if (comp != ".") {
      if (!comp.empty()) other = true;
      out += comp;
      if (j != std::string::npos) out += '/';
    }
    if (j == std::string::npos) break;
    i = j + 1;
  }
  path = other ? out : std::string(".");
}

bool header_crc_ok(const uint8_t* p, size_t total, const Ext& x) {
  if (!x.crcAt) return true;
  std::vector<uint8_t> copy(p, p + total);
  copy[x.crcAt] = copy[x.crcAt + 1] = 0;
  return crc16(0, copy.data(), copy.size()) == x.headerCrc;
}

}  // namespace

std::string normalize_path(const std::string& raw) {
  std::string s;
  s.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(raw[i]);
    if (arc::is_lead(c) && i + 1 < raw.size()) {
      s += raw[i];
      s += raw[++i];
      continue;
    }
    if (c == 0) break;
    s += (c == 0xFF || c == '\\') ? '/' : raw[i];
  }
  return s;
}

static void finish_path(Entry& e, const Ext& x, const std::string& baseName) {
  std::string name = x.haveName ? x.name : baseName;
  std::string full;
  if (x.haveDir) {
    full = normalize_path(x.dirName);
    if (!full.empty() && full.back() != '/') full += '/';
  }
  full += normalize_path(name);
  if (e.dir || x.symlinkMode) {
    // Links are stored as "name|target".
    size_t bar = full.find('|');
    if (bar != std::string::npos) {
      e.link = true;
      full.erase(bar);
    }
  }
  if (x.symlinkMode) e.link = true;
  bool trailingSeparator = !full.empty() && full.back() == '/';
  drop_dot_components(full);
  while (!full.empty() && full.back() == '/') full.pop_back();
  e.path = full;
  // In level-1 headers of Amiga makers the attribute byte holds the Amiga
  // protection bits, not MS-DOS attributes: 0x10 there is "archived", 0x02
  // and 0x04 are not hidden or system. (A level-0 header names no system.)
  bool amiga = e.os == 'A' && e.level == 1 && x.attr < 0;
  if (amiga) e.attr = 0x20;
  // Makers without a folder method store a folder as an empty stored entry,
  // marked by a trailing separator (Amiga makers) or the MS-DOS folder bit.
  bool dosFolderBit = e.level >= 1 && !amiga && (e.attr & 0x10);
  if (!e.dir && !e.link && is_stored_method(e.method) && e.packed == 0 && e.original == 0 &&
      (trailingSeparator || dosFolderBit)) {
    e.dir = true;
    e.attr |= 0x10;
  }
}

bool looks_like_header(const uint8_t* p, size_t avail) {
  if (avail < 24 || !method_shape(p + 2) || p[20] > 3) return false;
  Entry e;
  std::string why;
  return parse_header(p, avail, e, why) == HeaderStatus::Ok;
}

HeaderStatus parse_header(const uint8_t* p, size_t avail, Entry& e, std::string& why) {
  if (avail == 0 || p[0] == 0) return HeaderStatus::End;
  if (avail < 22) {
    why = "header cut short";
    return HeaderStatus::Truncated;
  }
  if (!method_shape(p + 2)) {
    why = "not an LHA header";
    return HeaderStatus::Broken;
  }
  e = Entry{};
  e.method.assign(reinterpret_cast<const char*>(p + 2), 5);
  e.dir = e.method == "-lhd-";
  e.level = p[20];
  Ext x;
  if (e.level == 0 || e.level == 1) {
    size_t total = static_cast<size_t>(p[0]) + 2;
    if (total > avail) {
      why = "header cut short";
      return HeaderStatus::Truncated;
    }
    uint8_t sum = 0;
    for (size_t i = 2; i < total; ++i) sum = static_cast<uint8_t>(sum + p[i]);
    if (sum != p[1]) {
      why = "header checksum error";
      return HeaderStatus::Broken;
    }
    size_t nameLen = p[21];
    size_t need = 22 + nameLen + 2 + (e.level == 1 ? 3 : 0);
    if (need > total) {
      why = "header too short for its name";
      return HeaderStatus::Broken;
    }
    std::string baseName(reinterpret_cast<const char*>(p + 22), nameLen);
    e.crc = le16(p + 22 + nameLen);
    uint32_t size7 = le32(p + 7);
    e.original = le32(p + 11);
    e.dosTime = le32(p + 15);
    e.attr = p[19];
    e.os = e.level == 1 ? p[24 + nameLen] : 'M';
    size_t extTotal = 0;
    if (e.level == 1) {
      size_t first = le16(p + total - 2);
      // Level-1 extended headers follow the base header and count in the skip size.
      size_t limit = avail;
      if (!walk_ext(p, limit, total, first, x, extTotal, why)) return avail < total + first ? HeaderStatus::Truncated : HeaderStatus::Broken;
      if (extTotal > size7) {
        why = "extended headers larger than the entry";
        return HeaderStatus::Broken;
      }
    }
    e.packed = size7 - extTotal;
    e.headerSize = static_cast<uint32_t>(total + extTotal);
    if (x.attr >= 0) e.attr = static_cast<uint32_t>(x.attr);
    if (x.unixTime >= 0) e.unixTime = x.unixTime;
    finish_path(e, x, baseName);
  } else if (e.level == 2 || e.level == 3) {
    bool wide = e.level == 3;
    size_t base = wide ? 32 : 26;
    if (avail < base) {
      why = "header cut short";
      return HeaderStatus::Truncated;
    }
    if (wide && le16(p) != 4) {
      why = "unknown word size of a level-3 header";
      return HeaderStatus::Broken;
    }
    size_t total = wide ? le32(p + 24) : le16(p);
    if (total < base) {
      why = "header size too small";
      return HeaderStatus::Broken;
    }
    if (total > avail) {
      why = "header cut short";
      return HeaderStatus::Truncated;
    }
    e.packed = le32(p + 7);
    e.original = le32(p + 11);
    e.unixTime = le32(p + 15);
    e.crc = le16(p + 21);
    e.os = p[23];
    size_t extTotal = 0, sizeBytes = wide ? 4 : 2;
    size_t first = wide ? le32(p + 28) : le16(p + 24);
    if (!walk_ext(p, total, base, first, x, extTotal, why, sizeBytes)) {
      // The OS-9 maker gives the size of a level-2 header 2 bytes short; its
      // extended headers still end where the data begins.
      Ext x2;
      size_t t2 = 0;
      std::string why2;
      if (wide || total + 2 > avail || !walk_ext(p, total + 2, base, first, x2, t2, why2) || base + t2 != total + 2)
        return HeaderStatus::Broken;
      x = x2;
      extTotal = t2;
      total += 2;
    }
    // A CRC made before the short size was written also counts.
    if (!header_crc_ok(p, total, x)) {
      bool fixedSize = !wide && base + extTotal == total && static_cast<size_t>(le16(p)) + 2 == total;
      std::vector<uint8_t> copy(p, p + total);
      if (fixedSize) {
        copy[0] = static_cast<uint8_t>(total);
        copy[1] = static_cast<uint8_t>(total >> 8);
      }
      if (!fixedSize || !header_crc_ok(copy.data(), total, x)) {
        why = "header CRC error";
        return HeaderStatus::Broken;
      }
    }
    if (x.have64) {
      e.packed = x.packed64;
      e.original = x.original64;
    }
    e.headerSize = static_cast<uint32_t>(total);
    if (x.attr >= 0) e.attr = static_cast<uint32_t>(x.attr);
    finish_path(e, x, std::string());
  } else {
    why = "header level " + std::to_string(e.level) + " is not supported";
    return HeaderStatus::Unsupported;
  }
  if (e.unixTime >= 0) e.dosTime = arc::unix_to_dos(e.unixTime);
  if (e.dir) e.attr |= 0x10;
  return HeaderStatus::Ok;
}

std::vector<uint8_t> build_header(const Entry& e) {
  // Split the path into its folder part and its last name.
  std::string dir, name;
  if (e.dir) {
    dir = e.path;
  } else {
    std::string d = arc::dir_part(e.path);
    name = e.path.substr(d.size());
    dir = d;
  }
  std::string dirField;
  for (size_t i = 0; i < dir.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(dir[i]);
    if (arc::is_lead(c) && i + 1 < dir.size()) {
      dirField += dir[i];
      dirField += dir[++i];
      continue;
    }
    dirField += (c == '/') ? '\xFF' : dir[i];
  }
  if (!dirField.empty() && static_cast<unsigned char>(dirField.back()) != 0xFF) dirField += '\xFF';
  std::vector<uint8_t> h(26, 0);
  auto put16 = [](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
  };
  auto put32 = [&](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    put16(v, at, x & 0xFFFF);
    put16(v, at + 2, x >> 16);
  };
  std::memcpy(h.data() + 2, e.method.data(), 5);
  bool big = e.packed > 0xFFFFFFFFu || e.original > 0xFFFFFFFFu;
  put32(h, 7, static_cast<uint32_t>(e.packed));
  put32(h, 11, static_cast<uint32_t>(e.original));
  put32(h, 15, static_cast<uint32_t>(e.unixTime < 0 ? 0 : e.unixTime));
  h[19] = 0x20;
  h[20] = 2;
  put16(h, 21, e.crc);
  h[23] = e.os;
  // Extended headers: each is type, data, size of the next one.
  std::vector<std::pair<uint8_t, std::string>> exts;
  exts.push_back({0x00, std::string(2, '\0')});
  if (!e.dir) exts.push_back({0x01, name});
  if (!dirField.empty()) exts.push_back({0x02, dirField});
  std::string attr(2, '\0');
  attr[0] = static_cast<char>(e.attr & 0xFF);
  attr[1] = static_cast<char>((e.attr >> 8) & 0xFF);
  exts.push_back({0x40, attr});
  if (big) {
    std::string s(16, '\0');
    for (int i = 0; i < 8; ++i) {
      s[i] = static_cast<char>(e.packed >> (8 * i));
      s[8 + i] = static_cast<char>(e.original >> (8 * i));
    }
    exts.push_back({0x42, s});
  }
  size_t crcAt = 0;
  put16(h, 24, static_cast<uint32_t>(exts[0].second.size() + 3));
  for (size_t i = 0; i < exts.size(); ++i) {
    size_t at = h.size();
    if (exts[i].first == 0x00) crcAt = at + 1;
    h.push_back(exts[i].first);
    h.insert(h.end(), exts[i].second.begin(), exts[i].second.end());
    size_t next = i + 1 < exts.size() ? exts[i + 1].second.size() + 3 : 0;
    if (next > 0xFFFF) return {};
    h.push_back(static_cast<uint8_t>(next));
    h.push_back(static_cast<uint8_t>(next >> 8));
  }
  // A size whose low byte is 0 would read as the end mark.
  if ((h.size() & 0xFF) == 0) h.push_back(0);
  if (h.size() > 0xFFFF) return {};
  put16(h, 0, static_cast<uint32_t>(h.size()));
  uint16_t c = crc16(0, h.data(), h.size());
  put16(h, crcAt, c);
  return h;
}

}  // namespace lha
