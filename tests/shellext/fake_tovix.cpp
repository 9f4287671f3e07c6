// Stands in for the installed program: records how it was started and the
// file list it finds on the clipboard, into the file named by SHX_OUT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
  const char* out = std::getenv("SHX_OUT");
  if (!out) return 1;
  std::string text = std::string("cmdline ") + GetCommandLineA() + "\n";
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  text += std::string("cwd ") + cwd + "\n";
  UINT fmt = RegisterClipboardFormatA("Tovix FileList");
  if (OpenClipboard(nullptr)) {
    if (HGLOBAL h = GetClipboardData(fmt)) {
      const char* p = static_cast<const char*>(GlobalLock(h));
      for (const char* c = p; *c; ++c) text += *c == '\r' ? std::string("\\r") : *c == '\n' ? "\\n" : std::string(1, *c);
      text += "\n";
      GlobalUnlock(h);
    }
    CloseClipboard();
  }
  std::string tmp = std::string(out) + ".tmp";
  if (FILE* f = std::fopen(tmp.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  MoveFileA(tmp.c_str(), out);
  return 0;
}
