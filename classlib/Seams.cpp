#include "Seams.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include "text.h"

// "key=value;key=v1|v2": each ask takes the next value of its key; the last
// one repeats.
static std::optional<std::string> AnswerFrom(const char* envVar, std::string_view key) {
  static std::mutex mu;
  static std::map<std::string, size_t, std::less<>> taken;
  const char* env = std::getenv(envVar);
  if (!env) return std::nullopt;
  std::string_view all(env);
  size_t pos = 0;
  while (pos <= all.size()) {
    size_t end = all.find(';', pos);
    if (end == std::string_view::npos) end = all.size();
    std::string_view item = all.substr(pos, end - pos);
    size_t eq = item.find('=');
    if (eq != std::string_view::npos && item.substr(0, eq) == key) {
      std::string_view vals = item.substr(eq + 1);
      std::vector<std::string> list;
      size_t p = 0;
      while (true) {
        size_t bar = vals.find('|', p);
        list.emplace_back(vals.substr(p, bar == std::string_view::npos ? std::string_view::npos : bar - p));
        if (bar == std::string_view::npos) break;
        p = bar + 1;
      }
      std::lock_guard<std::mutex> lock(mu);
      size_t& k = taken[std::string(envVar) + "/" + std::string(key)];
      std::string v = list[k < list.size() ? k : list.size() - 1];
      ++k;
      return v;
    }
    pos = end + 1;
  }
  return std::nullopt;
}

std::optional<std::string> SeamAnswer(const std::string& key) { return AnswerFrom("TOVIX_ANSWERS", key); }

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
