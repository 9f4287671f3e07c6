#include "cmdline.h"

#include <windows.h>

#include "text.h"

const char* SplitMacroToken(const char* p, std::string& token) {
  token.clear();
  auto blank = [](const char* q) { return *q && static_cast<unsigned char>(*q) <= 32; };
  while (true) {
    while (blank(p)) ++p;
    if (p[0] == '"' && p[1] == '"') {
      p += 2;
      continue;
    }
    break;
  }
  while (*p && static_cast<unsigned char>(*p) > 32) {
    if (*p == '"') {
      ++p;
      while (*p && *p != '"') token += *p++;
      if (*p == '"') ++p;
    } else {
      token += *p++;
    }
  }
  return p;
}

std::vector<std::string> SplitCommandLine(const std::string& text) {
  std::vector<std::string> r;
  const char* p = text.c_str();
  std::string t;
  while (true) {
    p = SplitMacroToken(p, t);
    if (t.empty()) break;
    r.push_back(t);
  }
  return r;
}

namespace {

// Position of the last '\', '/' or ':' (double-byte aware), or npos.
size_t LastSeparator(const std::string& s) {
  const size_t start = arc::name_start(s);
  return start == 0 ? std::string::npos : start - 1;
}

// The folder part: up to and including the last separator, where a '\'
// is dropped again unless it follows ':' or another '\'.
std::string FolderPart(const std::string& path) {
  size_t sep = LastSeparator(path);
  if (sep == std::string::npos) return {};
  std::string r = path.substr(0, sep + 1);
  // Before the separator a ':' or another separator (C:\, \\server), never
  // the second byte of a double-byte character ("表\").
  const std::string before = path.substr(0, sep);
  if (path[sep] != ':' && !before.empty() && before.back() != ':' && !arc::ends_with_separator(before))
    r = arc::without_separator(r);
  return r;
}

bool EndsWithSeparator(const std::string& s) { return !s.empty() && arc::name_start(s) == s.size(); }

}  // namespace

std::string FindLongName(const std::string& path, unsigned attributes) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return {};
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(path.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return {};
  FindClose(h);
  // Like the class library's search: entries whose hidden, system or folder
  // attribute was not asked for are not reported.
  const DWORD special = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  if ((fd.dwFileAttributes & special) & ~attributes) return {};
  return fd.cFileName;
}

std::string ExpandLongPath(const std::string& input) {
  std::string path = input;
  // A trailing separator names the folder itself (but a root stays a root).
  while (path.size() > 1 && arc::ends_with_separator(path) && FolderPart(path) != path)
    path = arc::without_separator(path);
  std::string name = FindLongName(path, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                            FILE_ATTRIBUTE_ARCHIVE);
  if (name.empty()) return {};
  while (true) {
    std::string folder = FolderPart(path);
    if (folder.empty()) return name;  // a bare name: relative, as written
    std::string part = folder == path ? std::string()
                                      : FindLongName(folder, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    if (part.empty() || part == ".") {
      // The root, or a folder the search does not report: what is left
      // stays as written in front of the long names found so far.
      return EndsWithSeparator(folder) ? folder + name : arc::join_path(folder, name);
    }
    name = arc::join_path(part, name);
    path = folder;
  }
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return {};
  DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (!n) return path;
  std::string buf(n + 1, '\0');
  char* filePart = nullptr;
  DWORD got = GetFullPathNameA(path.c_str(), n + 1, buf.data(), &filePart);
  if (!got || got > n) return path;
  buf.resize(got);
  return buf;
}

bool IsArchiveExtension(const std::string& path, bool shiftDown) {
  std::string name = arc::base_name(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  static const char* const kArchive[] = {".lzh", ".arj", ".zip", ".tar", ".gz",  ".z",   ".tgz", ".taz",
                                         ".gaz", ".bz2", ".cab", ".rar", ".gza", ".bza"};
  for (const char* e : kArchive)
    if (ext == e) return !shiftDown;
  if (ext == ".exe") return shiftDown;
  return false;
}

void ClipboardTextToList(const char* data, size_t size, TStrings& list) {
  size_t n = 0;
  while (n < size && data[n]) ++n;
  list.SetText(std::string(data, n));
}

void ReadClipboardFileList(TStrings& list) {
  list.Clear();
  UINT fmt = RegisterClipboardFormatA("Tovix FileList");
  if (!OpenClipboard(nullptr)) return;
  if (HANDLE h = GetClipboardData(fmt)) {
    SIZE_T size = GlobalSize(h);
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      ClipboardTextToList(p, size, list);
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
}

bool WriteClipboardFileList(const TStrings& list) {
  UINT fmt = RegisterClipboardFormatA("Tovix FileList");
  std::string text = list.GetText();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
  if (!g) return false;
  char* p = static_cast<char*>(GlobalLock(g));
  memcpy(p, text.c_str(), text.size() + 1);
  GlobalUnlock(g);
  if (!OpenClipboard(nullptr)) {
    GlobalFree(g);
    return false;
  }
  bool ok = SetClipboardData(fmt, g) != nullptr;
  CloseClipboard();
  if (!ok) GlobalFree(g);
  return ok;
}

bool FileExistsA(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
TStartKind Decide(TStrings& pending, TArchiveTest isArchive, std::string& archive) {
  if (pending.Count() == 1 && isArchive(pending[0]) && FileExistsA(pending[0])) {
    archive = ExpandLongPath(pending[0]);
    if (!archive.empty()) return skOpen;
  }
  return pending.Count() ? skPack : skNone;
}

void DropEmpty(TStrings& list) {
  for (int i = list.Count() - 1; i >= 0; --i)
    if (list[i].empty()) list.Delete(i);
}
}  // namespace

TStartKind CommandLineRequest(const std::vector<std::string>& args, TStrings& pending, TArchiveTest isArchive,
                              std::string& archive) {
  pending.Clear();
  archive.clear();
  if (args.empty()) return skNone;
  if (args.size() == 1 && args[0] == "/C") {
    ReadClipboardFileList(pending);
    DropEmpty(pending);
  } else {
    for (const std::string& a : args) {
      std::string p = ExpandLongPath(ExpandFileName(a));
      if (!p.empty()) pending.Add(p);
    }
  }
  return Decide(pending, isArchive, archive);
}

TStartKind MacroRequest(const std::string& line, TStrings& pending, TArchiveTest isArchive, std::string& archive) {
  pending.Clear();
  archive.clear();
  std::vector<std::string> tokens = SplitCommandLine(line);
  bool clip = false;
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i] == "/C") {
      clip = true;
      continue;
    }
    // Paths that do not exist are dropped, as on the command line.
    std::string p = ExpandLongPath(tokens[i]);
    if (!p.empty()) pending.Add(p);
  }
  if (clip && tokens.size() == 2) {
    ReadClipboardFileList(pending);
    DropEmpty(pending);
  }
  return Decide(pending, isArchive, archive);
}

std::string ForwardMacro(const std::string& commandLine) {
  const char* p = commandLine.c_str();
  std::string prog;
  p = SplitMacroToken(p, prog);
  std::string r;
  r.append("\"").append(prog).append("\"");
  std::string t;
  while (true) {
    p = SplitMacroToken(p, t);
    if (t.empty()) break;
    r += ' ';
    if (t == "/C") r += t;
    else r.append("\"").append(ExpandFileName(t)).append("\"");
  }
  return r;
}
