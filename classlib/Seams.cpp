#include "Seams.h"

#include <cstdio>
#include <cstdlib>

#include "text.h"

std::optional<std::string> SeamAnswer(const std::string& key) { return arc::test_answer_from("TOVIX_ANSWERS", key); }

bool SeamHeadless() { return std::getenv("TOVIX_ANSWERS") != nullptr; }

void SeamTrace(const std::string& line) {
  const char* file = std::getenv("TOVIX_TRACE");
  if (!file || !*file) return;
  if (FILE* f = std::fopen(file, "ab")) {
    std::fwrite(line.data(), 1, line.size(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

static int ButtonOf(const std::string& a) {
  static const struct {
    const char* name;
    int id;
  } kNames[] = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO},
                {"abort", IDABORT}, {"retry", IDRETRY}, {"ignore", IDIGNORE}};
  for (auto& n : kNames)
    if (lstrcmpiA(a.c_str(), n.name) == 0) return n.id;
  return 0;
}

static int SafeButton(UINT flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL:
      return IDCANCEL;
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    default:
      return IDOK;
  }
}

int SeamMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags, const std::string& key) {
  if (auto a = SeamAnswer(key)) {
    SeamTrace(key + ": " + text);
    if (int id = ButtonOf(*a)) return id;
    return SafeButton(flags);
  }
  if (SeamHeadless()) {
    SeamTrace(key + ": " + text);
    return SafeButton(flags);
  }
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}
