// The previews' text conversions. Each reads its buffer once, forward, and
// writes through one bounded output.
#include <windows.h>

#include <cstring>

#include "list.h"
#include "main.h"
#include "preview.h"

bool IsTextEntry(const std::string& Name) {
  const std::string ext = NameExtension(Name);
  return ext.empty() || (TextExtensions && TextExtensions->IndexOf(ext) >= 0);
}

int GetDocumentKind(const std::string& Name) {
  const std::string ext = NameExtension(Name);
  if (lstrcmpiA(ext.c_str(), ".doc") == 0 || lstrcmpiA(ext.c_str(), ".rtf") == 0) return 1;
  if (lstrcmpiA(ext.c_str(), ".htm") == 0 || lstrcmpiA(ext.c_str(), ".html") == 0) return 2;
  return 0;
}

namespace preview {

namespace {

// Appends until Limit bytes are out; the rest is dropped.
class TBoundedText {
 public:
  explicit TBoundedText(size_t Limit) : FLimit(Limit) { FText.reserve(Limit < 65536 ? Limit : 65536); }
  void Put(char c) {
    if (FText.size() < FLimit) FText.push_back(c);
  }
  void Put(const char* s) {
    while (*s) Put(*s++);
  }
  bool Full() const { return FText.size() >= FLimit; }
  std::string& Text() { return FText; }

 private:
  size_t FLimit;
  std::string FText;
};

size_t TextLength(const char* Buffer, size_t Limit) {
  const void* z = std::memchr(Buffer, 0, Limit);
  return z ? static_cast<size_t>(static_cast<const char*>(z) - Buffer) : Limit;
}

bool StartsWithNoCase(const char* p, const char* end, const char* word) {
  for (; *word; ++p, ++word)
    if (p >= end || (*p | 0x20) != *word) return false;
  return true;
}

bool IsShiftJisLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

std::string PlainText(const char* Buffer, size_t Limit) {
  const size_t n = TextLength(Buffer, Limit);
  TBoundedText out(Limit);
  for (size_t i = 0; i < n && !out.Full(); ++i) {
    if (Buffer[i] == '\n' && (i == 0 || Buffer[i - 1] != '\r')) out.Put('\r');
    out.Put(Buffer[i]);
  }
  return std::move(out.Text());
}

std::string MemoLines(const std::string& Text) {
  std::string out;
  out.reserve(Text.size() + Text.size() / 16);
  for (size_t i = 0; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// ---- HTML

std::string HtmlText(const char* Buffer, size_t Limit) {
  const char* p = Buffer;
  const char* end = Buffer + TextLength(Buffer, Limit);
  // The first line is the document type or the like.
  while (p < end && *p != '\n') ++p;
  if (p < end) ++p;
  TBoundedText out(Limit);
  bool inComment = false, inTag = false, inQuote = false, inPre = false;
  int tableDepth = 0, listDepth = 0;
  auto blankOrClose = [&](const char* q) { return q < end && (*q == ' ' || *q == '>'); };
  while (p < end && !out.Full()) {
    const uint8_t c = static_cast<uint8_t>(*p);
    if (inComment) {
      if (StartsWithNoCase(p, end, "-->")) {
        inComment = false;
        p += 3;
      } else {
        ++p;
      }
      continue;
    }
    if (IsShiftJisLead(c) && p + 1 < end) {
      if (!inTag) {
        out.Put(p[0]);
        out.Put(p[1]);
      }
      p += 2;
      continue;
    }
    if (c == '\n') {
      if (inPre && !inTag) out.Put("\r\n");
      ++p;
      continue;
    }
    if (c == '\r') {
      ++p;
      continue;
    }
    if (c == '"') {
      if (inTag) inQuote = !inQuote;
      else out.Put('"');
      ++p;
      continue;
    }
    if (c == '&' && !inQuote) {
      static const struct {
        const char* Name;
        const char* Text;
      } kEntities[] = {{"amp;", "&"}, {"quot;", "\""}, {"lt;", "<"}, {"gt;", ">"},
                       {"nbsp;", " "}, {"copy;", "(C)"}, {"reg;", "(R)"}};
      ++p;
      for (const auto& e : kEntities)
        if (StartsWithNoCase(p, end, e.Name)) {
          if (!inTag) out.Put(e.Text);
          p += std::strlen(e.Name);
          break;
        }
      continue;
    }
    if (c == '>' && !inQuote) {
      inTag = false;
      ++p;
      continue;
    }
    if (c == '<' && !inQuote) {
      const char* q = p + 1;
      const bool inTable = tableDepth > 0;
      // Matched text that is consumed whole; a tag left open runs to its ">".
      auto skip = [&](const char* word) { p = q + std::strlen(word); };
      auto open = [&](const char* word) {
        p = q + std::strlen(word);
        inTag = true;
      };
      auto tag = [&](const char* word) { return StartsWithNoCase(q, end, word) && blankOrClose(q + std::strlen(word)); };
      if (StartsWithNoCase(q, end, "br>")) {
        if (!inTable) out.Put("\r\n");
        skip("br>");
      } else if (StartsWithNoCase(q, end, "p>")) {
        if (!inTable) out.Put("\r\n\r\n");
        skip("p>");
      } else if (StartsWithNoCase(q, end, "p ")) {
        if (!inTable) out.Put("\r\n\r\n");
        open("p");
      } else if (StartsWithNoCase(q, end, "/p>")) {
        if (!inTable) out.Put("\r\n\r\n");
        skip("/p>");
      } else if (StartsWithNoCase(q, end, "!--")) {
        inComment = true;
        skip("!--");
      } else if (tag("td")) {
        out.Put(",\"");
        open("td");
      } else if (tag("/td")) {
        out.Put('"');
        open("/td");
      } else if (tag("/tr")) {
        out.Put("\r\n");
        open("/tr");
      } else if (tag("table")) {
        out.Put("\r\n==\r\n");
        ++tableDepth;
        open("table");
      } else if (tag("/table")) {
        out.Put("==\r\n");
        if (tableDepth > 0) --tableDepth;
        open("/table");
      } else if (StartsWithNoCase(q, end, "/caption>")) {
        out.Put("\r\n");
        skip("/caption>");
      } else if (StartsWithNoCase(q, end, "pre>")) {
        inPre = true;
        skip("pre>");
      } else if (StartsWithNoCase(q, end, "/pre>")) {
        inPre = false;
        skip("/pre>");
      } else if (StartsWithNoCase(q, end, "/h") && q + 2 < end && q[2] >= '0' && q[2] <= '6' && blankOrClose(q + 3)) {
        out.Put("\r\n");
        p = q + 3;
        inTag = true;
      } else if (tag("hr")) {
        out.Put("\r\n--\r\n");
        open("hr");
      } else if (tag("li") && listDepth > 0) {
        out.Put("\r\n");
        for (int i = 0; i < listDepth; ++i) out.Put(' ');
        out.Put("* ");
        open("li");
      } else if (StartsWithNoCase(q, end, "ul>") || StartsWithNoCase(q, end, "menu>")) {
        out.Put("\r\n");
        ++listDepth;
        skip(StartsWithNoCase(q, end, "ul>") ? "ul>" : "menu>");
      } else if (tag("ol")) {
        out.Put("\r\n");
        ++listDepth;
        open("ol");
      } else if (StartsWithNoCase(q, end, "/ul>") || StartsWithNoCase(q, end, "/ol>") ||
                 StartsWithNoCase(q, end, "/menu>")) {
        if (listDepth > 0) --listDepth;
        skip(StartsWithNoCase(q, end, "/menu>") ? "/menu>" : "/ul>");
      } else if (StartsWithNoCase(q, end, "title>")) {
        skip("title>");
      } else if (StartsWithNoCase(q, end, "dt>")) {
        if (!inTable) out.Put("\r\n");
        skip("dt>");
      } else if (StartsWithNoCase(q, end, "dd>")) {
        if (!inTable) out.Put("\r\n ");
        skip("dd>");
      } else {
        p = q;
        inTag = true;
      }
      continue;
    }
    if (!inTag) out.Put(static_cast<char>(c));
    ++p;
  }
  return std::move(out.Text());
}

// ---- RTF

std::string RtfText(const char* Buffer, size_t Limit) {
  const char* p = Buffer;
  const char* end = Buffer + TextLength(Buffer, Limit);
  TBoundedText out(Limit);
  auto at = [&](const char* q, const char* word) {
    for (; *word; ++q, ++word)
      if (q >= end || *q != *word) return false;
    return true;
  };
  // From inside a group to past the brace that closes it.
  auto skipGroup = [&](const char* q, bool doubleBytes) {
    int depth = 1;
    while (q < end) {
      const char c = *q;
      if (c == '\\' && q + 1 < end && (q[1] == '\\' || q[1] == '{' || q[1] == '}')) {
        q += 2;
      } else if (doubleBytes && IsSystemLeadByte(static_cast<uint8_t>(c)) && q + 1 < end) {
        q += 2;
      } else {
        ++q;
        if (c == '{') ++depth;
        if (c == '}' && --depth == 0) break;
      }
    }
    return q;
  };
  auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
  auto hexValue = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  while (p < end && !out.Full()) {
    const uint8_t c = static_cast<uint8_t>(*p);
    if ((c >= 1 && c <= 19) || c == '{' || c == '}') {
      ++p;
      continue;
    }
    if (c != '\\') {
      out.Put(static_cast<char>(c));
      ++p;
      continue;
    }
    const char* w = p + 1;  // the control word
    if (w < end && (*w == '\\' || *w == '{' || *w == '}')) {
      out.Put(*w);
      p = w + 1;
    } else if (at(w, "par") && w + 3 < end && (w[3] == ' ' || w[3] == '\r')) {
      out.Put("\r\n");
      p = w + 4;
    } else if (at(w, "row ")) {
      out.Put("\r\n");
      p = w + 4;
    } else if (at(w + 1, "fchars") || at(w, "*\\") || at(w, "pict") || at(w, "object") || at(w, "font") ||
               at(w, "style") || at(w, "info") || at(w, "header ") || at(w, "footer ")) {
      p = skipGroup(w, false);
    } else if (at(w, "footnot")) {
      p = skipGroup(w, true);
    } else if (at(w, "'") && w + 2 < end && isHex(w[1]) && isHex(w[2])) {
      // Upper-case digits are taken as well: some writers use them.
      out.Put(static_cast<char>(hexValue(w[1]) * 16 + hexValue(w[2])));
      p = w + 3;
    } else if (at(w, "tab ")) {
      out.Put('\t');
      p = w + 4;
    } else if (at(w, "cell ")) {
      out.Put("\t ");
      p = w + 5;
    } else {
      const char* q = w;
      while (q < end && *q != ' ' && *q != '\\' && *q != '{' && *q != '}') ++q;
      p = q < end && *q == ' ' ? q + 1 : q;
    }
  }
  return std::move(out.Text());
}

// ---- Word documents

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i]) return false;
  return true;
}

// Two-byte text from Start on: double-byte characters of the code page and
// the printable single bytes.
std::string TwoByteText(const uint8_t* b, size_t Limit, size_t Start) {
  TBoundedText out(2 * Limit);
  for (size_t i = Start; i + 1 < Limit; i += 2) {
    const uint8_t lo = b[i], hi = b[i + 1];
    if (hi) {
      if (IsSystemLeadByte(hi) && lo >= 0x40) {
        out.Put(static_cast<char>(hi));
        out.Put(static_cast<char>(lo));
      }
    } else if (lo == 13) {
      out.Put("\r\n");
    } else if (lo == 9 || (lo >= 0x20 && lo <= 0x7F) || (lo >= 0xA1 && lo <= 0xDF)) {
      out.Put(static_cast<char>(lo));
    }
  }
  return std::move(out.Text());
}

// Whether a chunk of the text pieces holds 16-bit characters.
bool WideChunk(const uint8_t* b, size_t Limit, size_t Start, size_t Size) {
  if (Size % 2) return false;
  if (Size < 512) return b[Start + Size - 1] != 13;
  auto byteAt = [&](size_t i) -> uint8_t { return i <= Limit ? b[i] : 0; };
  for (size_t j = 0; j < 512; ++j) {
    const size_t i = Start + j;
    const uint8_t c = b[i];
    const bool odd = j % 2;
    if (c == 0) return odd ? !(byteAt(i + 1) == 0 && byteAt(i + 2) == 0) : byteAt(i + 1) != 0;
    if ((c >= 0x80 && c <= 0x91) || (c >= 0x93 && c <= 0x9F)) return true;
    if (odd && ((c >= 0x05 && c <= 0x1F) || (c >= 0x27 && c <= 0x2F))) return false;
    if (!odd && (c == ',' || c == '.') && byteAt(i + 1) == ' ') return false;
  }
  return true;
}

std::string PieceText(const uint8_t* b, size_t Limit) {
  size_t endPos = Le32(b + 540);
  endPos = endPos > Limit - 512 ? Limit : endPos + 512;
  int64_t length = static_cast<int64_t>(endPos) - 1536;
  size_t start = 1536;
  if (length > 1024 && AllZero(b + 2048, 512)) {
    length -= 1024;
    start = 2560;
  }
  std::wstring out;
  bool suppress = false;
  auto put = [&](wchar_t c) {
    if (!suppress && out.size() < Limit) out.push_back(c);
  };
  while (length > 0) {
    const size_t chunk = length < 512 ? static_cast<size_t>(length) : 512;
    const uint8_t* c = b + start;
    if (WideChunk(b, Limit, start, chunk)) {
      for (size_t i = 0; i + 1 < chunk; i += 2) {
        const uint8_t lo = c[i], hi = c[i + 1];
        // A unit with a high byte is a character, also when its low byte is 7.
        if (lo == 7 && hi == 0) {
          if (i + 3 < chunk && c[i + 2] == 7 && c[i + 3] == 0) {
            put(13);
            i += 2;
          } else {
            put(9);
          }
        } else if (hi == 0 && lo == 0x13) {
          suppress = true;
        } else if (hi == 0 && (lo == 0x14 || lo == 0x15)) {
          suppress = false;
        } else if (hi == 0 && lo < 0x20 && lo != 0 && lo != 9 && lo != 13) {
        } else {
          put(static_cast<wchar_t>(lo | (hi << 8)));
        }
      }
    } else {
      for (size_t i = 0; i < chunk; ++i) {
        const uint8_t x = c[i];
        if (x == 7) {
          if (i + 1 < chunk && c[i + 1] == 7) {
            put(13);
            ++i;
          } else {
            put(9);
          }
        } else if (x == 0x92) {
          put(39);
        } else if (x == 0x13) {
          suppress = true;
        } else if (x == 0x14 || x == 0x15) {
          suppress = false;
        } else if (x == 0 || x == 9 || x == 13 || x >= 0x20) {
          put(x);
        }
      }
    }
    start += chunk;
    length -= static_cast<int64_t>(chunk);
  }
  // The text ends at its first zero, as a terminated buffer would.
  out.resize(wcsnlen(out.c_str(), out.size()));
  if (out.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, out.data(), static_cast<int>(out.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, out.data(), static_cast<int>(out.size()), text.data(), n, nullptr, nullptr);
  return MemoLines(text);
}

}  // namespace

std::string WordText(const uint8_t* b, size_t Limit) {
  // The fixed offsets below need a buffer of the smallest preview size.
  if (Limit < 32768) return std::string();
  static const char kName[] = "WordDocument";
  bool named = true;
  for (int i = 0; i < 12; ++i) named = named && b[1152 + 2 * i] == static_cast<uint8_t>(kName[i]) && b[1153 + 2 * i] == 0;
  if (named) {
    for (size_t off = 2048; off < 32765; off += 16)
      if (b[off + 12] == 0x0F && b[off + 13] == 0x10) return TwoByteText(b, Limit, off + 16);
    return std::string();
  }
  if (AllZero(b + 1200, 80) && b[1280] && b[1282] && b[1284]) return TwoByteText(b, Limit, 1280);
  return PieceText(b, Limit);
}

std::string DocumentText(const char* Buffer, size_t Limit) {
  const auto* b = reinterpret_cast<const uint8_t*>(Buffer);
  if (Limit >= 4 && b[0] == 0xD0 && b[1] == 0xCF && b[2] == 0x11 && b[3] == 0xE0) return WordText(b, Limit);
  if (Limit >= 5 && std::memcmp(Buffer, "{\\rtf", 5) == 0) return RtfText(Buffer, Limit);
  return PlainText(Buffer, Limit);
}

}  // namespace preview
