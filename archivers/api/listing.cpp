#include "listing.h"

#include <cstring>

#include "text.h"

namespace arc {

static void copy_field(char* dst, size_t cap, const std::string& s) {
  size_t n = s.size() < cap - 1 ? s.size() : cap - 1;
  // Never cut a double-byte character in half.
  if (n < s.size()) {
    size_t i = 0, last = 0;
    while (i < n) {
      last = i;
      i += (is_lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    if (i > n) n = last;
  }
  std::memcpy(dst, s.data(), n);
  dst[n] = 0;
}

void fill_record(arcapi::IndividualInfo& r, const std::string& name, uint32_t original, uint32_t compressed,
                 uint32_t crc, uint32_t dosDateTime, const std::string& attribute, const std::string& method,
                 uint32_t osType, uint32_t flag) {
  std::memset(&r, 0, sizeof r);
  r.dwOriginalSize = original;
  r.dwCompressedSize = compressed;
  r.dwCRC = crc;
  r.uFlag = flag;
  r.uOSType = osType;
  r.wRatio = original ? static_cast<uint16_t>(static_cast<uint64_t>(compressed) * 1000 / original) : 0;
  r.wDate = static_cast<uint16_t>(dosDateTime >> 16);
  r.wTime = static_cast<uint16_t>(dosDateTime & 0xFFFF);
  copy_field(r.szFileName, sizeof r.szFileName, name);
  copy_field(r.szAttribute, sizeof r.szAttribute, attribute);
  copy_field(r.szMode, sizeof r.szMode, method);
}

std::string attribute_text(uint32_t a) {
  std::string s = "----";
  if (a & 0x20) s[0] = 'a';
  if (a & 0x04) s[1] = 's';
  if (a & 0x02) s[2] = 'h';
  s[3] = (a & 0x01) ? 'r' : 'w';
  return s;
}

arcapi::HARC listing_open(Listing* l) { return static_cast<arcapi::HARC>(l); }

static int next_match(Listing* l, arcapi::IndividualInfo* out) {
  l->haveCurrent = false;
  if (l->lazyFill) {
    arcapi::IndividualInfo r;
    while (l->pos < l->lazyCount) {
      r.dwOriginalSize = r.dwCompressedSize = 0;
      FullSizes sizes;
      l->lazyFill(l->pos++, r, sizes);
      if (l->patterns.matches(r.szFileName)) {
        if (out) std::memcpy(out, &r, sizeof r);
        l->current = sizes;
        l->haveCurrent = true;
        return 0;
      }
    }
    return -1;
  }
  while (l->pos < l->entries.size()) {
    const size_t i = l->pos++;
    const auto& e = l->entries[i];
    if (l->patterns.matches(e.szFileName)) {
      if (out) std::memcpy(out, &e, sizeof e);
      l->current = i < l->fullSizes.size() ? l->fullSizes[i] : FullSizes{e.dwOriginalSize, e.dwCompressedSize};
      l->haveCurrent = true;
      return 0;
    }
  }
  return -1;
}

int listing_find_first(arcapi::HARC h, const char* wildcards, arcapi::IndividualInfo* out) {
  auto* l = static_cast<Listing*>(h);
  if (!l) return -1;
  l->pos = 0;
  std::vector<std::string> patterns;
  if (wildcards) {
    // A list of NUL-terminated patterns ended by an empty one; "*.*" or "*" means all.
    const char* p = wildcards;
    while (*p) {
      std::string pat = p;
      p += pat.size() + 1;
      if (pat == "*.*" || pat == "*") {
        patterns.clear();
        break;
      }
      // Several patterns may also stand in one text, separated by blanks.
      for (auto& t : tokenize(pat)) patterns.push_back(t.text);
    }
  }
  l->patterns = NameMatcher(patterns);
  if (l->patterns.needs_names()) {
    if (l->lazyFill) {
      arcapi::IndividualInfo r;
      FullSizes sizes;
      for (size_t i = 0; i < l->lazyCount; ++i) {
        l->lazyFill(i, r, sizes);
        l->patterns.stored(r.szFileName);
      }
    } else {
      for (auto& e : l->entries) l->patterns.stored(e.szFileName);
    }
  }
  return next_match(l, out);
}

int listing_find_next(arcapi::HARC h, arcapi::IndividualInfo* out) {
  auto* l = static_cast<Listing*>(h);
  if (!l) return -1;
  return next_match(l, out);
}

arcapi::BOOL_ listing_original_size_ex(arcapi::HARC h, int64_t* size) {
  auto* l = static_cast<Listing*>(h);
  if (!l || !size || !l->haveCurrent) return 0;
  *size = static_cast<int64_t>(l->current.original);
  return 1;
}

arcapi::BOOL_ listing_compressed_size_ex(arcapi::HARC h, int64_t* size) {
  auto* l = static_cast<Listing*>(h);
  if (!l || !size || !l->haveCurrent) return 0;
  *size = static_cast<int64_t>(l->current.compressed);
  return 1;
}

int listing_close(arcapi::HARC h) {
  auto* l = static_cast<Listing*>(h);
  if (!l) return -1;
  delete l;
  return 0;
}

}  // namespace arc
