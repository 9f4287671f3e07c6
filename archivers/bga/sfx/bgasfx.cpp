// The GZA/BZA self-extractor: this program followed by an archive. It
// unpacks into the folder given on its command line, or beside itself.
//   bgasfx [-q] [folder]   (-q: no messages; existing files are kept)
#include <windows.h>

#include <string>
#include <vector>

#include "bga_ops.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH * 2] = {};
  GetModuleFileNameA(nullptr, self, sizeof self - 1);
  auto toks = arc::tokenize(GetCommandLineA());
  bool quiet = false;
  std::string dest;
  for (size_t i = 1; i < toks.size(); ++i) {
    if (!toks[i].quoted && toks[i].text == "-q") quiet = true;
    else dest = toks[i].text;
  }
  if (dest.empty()) dest = arc::dir_part(self);
  if (!fsio::is_dir(dest) && !fsio::make_dirs(dest)) {
    if (!quiet) MessageBoxA(nullptr, "展開先のフォルダが作成できません。", "bgasfx", MB_OK | MB_ICONERROR);
    return 2;
  }
  std::vector<char> buf(65536);
  arc::LogWriter log(buf.data(), static_cast<uint32_t>(buf.size()));
  bga::ExtractOptions o;
  o.base = dest;
  o.ask = [quiet](const std::string& path) -> char {
    if (quiet) return 'n';
    std::string text = path + "\r\n\r\nこのファイルはすでに存在します。上書きしますか?";
    int r = MessageBoxA(nullptr, text.c_str(), "bgasfx", MB_YESNOCANCEL | MB_ICONQUESTION);
    return r == IDYES ? 'y' : r == IDNO ? 'n' : 'c';
  };
  int rc = bga::extract(self, o, log);
  if (!quiet)
    MessageBoxA(nullptr, buf.data(), rc == 0 ? "展開しました" : "展開できませんでした",
                MB_OK | (rc == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
  return rc == 0 ? 0 : 1;
}
