// Lateclear: started once by Windows through RunOnce after an uninstall, it
// removes what could not be removed while it was in use.
//   Lateclear -n "FOLDER" NAME...
// deletes each NAME inside FOLDER, then FOLDER itself when it is empty.
// -n: no questions. Names are plain file names; anything else is skipped.
#include <windows.h>

#include <string>
#include <vector>

#include "text.h"

static bool PlainName(const std::string& n) {
  if (n.empty() || n == "." || n == "..") return false;
  for (size_t i = 0; i < n.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(n[i]);
    if (arc::is_lead(c) && i + 1 < n.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') return false;
  }
  return true;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  auto tokens = arc::tokenize(GetCommandLineA());
  std::string folder;
  std::vector<std::string> names;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const auto& t = tokens[i];
    if (!t.quoted && !t.text.empty() && t.text[0] == '-') continue;
    if (folder.empty()) folder = t.text;
    else names.push_back(t.text);
  }
  while (folder.size() > 3 && arc::ends_with_separator(folder)) folder = arc::without_separator(folder);
  // A drive root or a relative path is never ours to remove.
  if (folder.size() < 4 || folder[1] != ':' || folder[2] != '\\') return 1;
  for (const auto& n : names) {
    if (!PlainName(n)) continue;
    const std::string path = arc::join_path(folder, n);
    // The uninstaller may still be ending when started by hand.
    for (int tries = 0; tries < 20; ++tries) {
      if (DeleteFileA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) break;
      Sleep(250);
    }
  }
  RemoveDirectoryA(folder.c_str());
  return 0;
}
