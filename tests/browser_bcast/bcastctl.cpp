// bcastctl: the other side of the instance broadcasts, for shell tests.
//
//   bcastctl COMMAND [ARGS] [COMMAND [ARGS]]...
//   windows CLASS          the handles (decimal) of the visible top-level
//                          windows of CLASS, one a line, lowest first
//   post MESSAGE HWND      posts the registered MESSAGE to every top-level
//                          window with HWND (decimal) as first parameter
//   put FORMAT TEXT        adds TEXT in the registered clipboard FORMAT,
//                          keeping what the clipboard holds
//   get FORMAT             "FORMAT: TEXT" (line ends shown as "|"), or
//                          "FORMAT: none"
//   settext TEXT           empties the clipboard and puts TEXT as CF_TEXT
//   empty                  empties the clipboard
//   gettext                "text: TEXT" or "text: none"
//   setreg KEY VALUE HEX   writes HKCU\KEY\VALUE as a string made of the
//                          bytes HEX ("020103"; "-" for the empty string)
//   getreg KEY VALUE       "VALUE: HEX" of that string ("-" when empty,
//                          "none" when missing)
// Texts are in the program's code page. Exit code 1 when a command failed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Fail(const std::string& why) {
  std::printf("error: %s\n", why.c_str());
  return false;
}

bool OpenClip() {
  for (int t = 0; t < 100; ++t) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(10);
  }
  return false;
}

bool PutBlock(UINT fmt, const std::string& text) {
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
  if (!g) return false;
  std::memcpy(GlobalLock(g), text.c_str(), text.size() + 1);
  GlobalUnlock(g);
  if (SetClipboardData(fmt, g)) return true;
  GlobalFree(g);
  return false;
}

std::string GetBlock(UINT fmt, bool& found) {
  found = false;
  HANDLE h = GetClipboardData(fmt);
  if (!h) return {};
  const char* p = static_cast<const char*>(GlobalLock(h));
  std::string s = p ? std::string(p, strnlen(p, GlobalSize(h))) : std::string();
  GlobalUnlock(h);
  found = true;
  for (char& c : s)
    if (c == '\r' || c == '\n') c = '|';
  return s;
}

bool Run(const std::vector<std::string>& a, size_t& i) {
  const std::string cmd = a[i++];
  auto next = [&]() -> std::string { return i < a.size() ? a[i++] : std::string(); };
  if (cmd == "windows") {
    std::string cls = next();
    std::vector<uintptr_t> found;
    for (HWND h = FindWindowExA(nullptr, nullptr, cls.c_str(), nullptr); h;
         h = FindWindowExA(nullptr, h, cls.c_str(), nullptr))
      if (IsWindowVisible(h)) found.push_back(reinterpret_cast<uintptr_t>(h));
    std::sort(found.begin(), found.end());
    for (uintptr_t h : found) std::printf("%llu\n", static_cast<unsigned long long>(h));
    return true;
  }
  if (cmd == "post") {
    std::string name = next();
    HWND w = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(next().c_str(), nullptr, 10)));
    return PostMessageA(HWND_BROADCAST, RegisterWindowMessageA(name.c_str()), reinterpret_cast<WPARAM>(w), 0)
               ? true
               : Fail("post " + name);
  }
  if (cmd == "put" || cmd == "settext") {
    std::string fmt = cmd == "put" ? next() : "";
    std::string text = next();
    if (!OpenClip()) return Fail("clipboard busy");
    bool ok;
    if (cmd == "put") {
      ok = PutBlock(RegisterClipboardFormatA(fmt.c_str()), text);
    } else {
      EmptyClipboard();
      ok = PutBlock(CF_TEXT, text);
    }
    CloseClipboard();
    return ok ? true : Fail(cmd);
  }
  if (cmd == "empty") {
    if (!OpenClip()) return Fail("clipboard busy");
    EmptyClipboard();
    CloseClipboard();
    return true;
  }
  if (cmd == "get" || cmd == "gettext") {
    std::string fmt = cmd == "get" ? next() : "text";
    if (!OpenClip()) return Fail("clipboard busy");
    bool found = false;
    std::string s = GetBlock(cmd == "get" ? RegisterClipboardFormatA(fmt.c_str()) : CF_TEXT, found);
    CloseClipboard();
    std::printf("%s: %s\n", fmt.c_str(), found ? s.c_str() : "none");
    return true;
  }
  if (cmd == "setreg") {
    std::string key = next(), value = next(), hex = next();
    std::string bytes;
    for (size_t k = 0; hex != "-" && k + 1 < hex.size(); k += 2)
      bytes += static_cast<char>(std::strtoul(hex.substr(k, 2).c_str(), nullptr, 16));
    HKEY h;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
      return Fail("key " + key);
    LONG r = RegSetValueExA(h, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.c_str()),
                            static_cast<DWORD>(bytes.size() + 1));
    RegCloseKey(h);
    return r == ERROR_SUCCESS ? true : Fail("value " + value);
  }
  if (cmd == "getreg") {
    std::string key = next(), value = next();
    char buf[1024] = {};
    DWORD size = sizeof buf - 1, type = 0;
    HKEY h;
    bool found = RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS;
    if (found) {
      found = RegQueryValueExA(h, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS;
      RegCloseKey(h);
    }
    std::string hex;
    for (size_t k = 0; found && k < strnlen(buf, size); ++k) {
      char two[3];
      std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(buf[k]));
      hex += two;
    }
    std::printf("%s: %s\n", value.c_str(), !found ? "none" : hex.empty() ? "-" : hex.c_str());
    return true;
  }
  return Fail("unknown command " + cmd);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool ok = true;
  size_t i = 0;
  while (i < args.size()) ok = Run(args, i) && ok;
  std::fflush(stdout);
  return ok ? 0 : 1;
}
