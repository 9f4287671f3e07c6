// Writes archives of what the old and the odd makers wrote, each with the
// tree it must extract to beside it (expect-NAME/):
//   lh1.lzh, lzs.lzh, lz5.lzh  the older methods (header levels 1, 0, 0)
//   level3.lzh                 level-3 headers (32-bit sizes)
//   os9.lzh                    level-2 sizes written 2 bytes short
//   amiga.lzh                  a folder stored as an empty file
//   dotfile.lzh                a file named "." (refused: no expect folder)
// Portable: also built natively.
#include <cstdio>
#include <string>
#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif
#include <vector>

#include "old_lha.h"

using oldlha::Bytes;
using oldlha::Item;

static std::string g_dir;

static bool write(const std::string& path, const void* p, size_t n) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(p, 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

static void make_dirs_for(const std::string& path) {
  for (size_t i = g_dir.size() + 1; i < path.size(); ++i)
    if (path[i] == '/') {
      std::string d = path.substr(0, i);
#ifdef _WIN32
      _mkdir(d.c_str());
#else
      mkdir(d.c_str(), 0755);
#endif
    }
}

// The inputs: text with runs of blanks (matches into the blank ring), the
// byte patterns -lz5- starts its ring with, text long enough for the -lh1-
// code to halve its counts many times, bytes that do not pack, none, one.
static std::vector<std::pair<std::string, std::string>> inputs() {
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::string(i % 23, ' ') + "line " + std::to_string(i * 7 % 31) + " of text\r\n";
  std::string pattern;
  for (int v = 40; v < 90; ++v) pattern += std::string(13, static_cast<char>(v));
  for (int v = 0; v < 256; ++v) pattern += static_cast<char>(v);
  for (int v = 255; v >= 0; --v) pattern += static_cast<char>(v);
  pattern += std::string(128, '\0') + std::string(100, ' ');
  for (int v = 200; v > 180; --v) pattern += std::string(13, static_cast<char>(v)) + static_cast<char>(v - 1);
  static const char* words[] = {"archive", "folder", "name", "the", "of", "LHA", "bytes", "ring", "code", "tree"};
  std::string big, random;
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  while (big.size() < 150000) big += std::string(words[next() % 10]) + ((next() % 9) ? " " : "\r\n");
  for (int i = 0; i < 40000; ++i) random += static_cast<char>(next() & 0xFF);
  return {{"text.txt", text}, {"pattern.bin", pattern}, {"big.txt", big},
          {"random.bin", random}, {"empty.txt", ""}, {"one.txt", "x"}};
}

static void save(const std::string& name, const Bytes& archive, const std::vector<Item>& expect) {
  Bytes b = archive;
  b.push_back(0);
  write(g_dir + "/" + name, b.data(), b.size());
  std::string base = name.substr(0, name.size() - 4);
  for (auto& it : expect) {
    std::string path = g_dir + "/expect-" + base + "/" + it.name;
    make_dirs_for(path + (it.name.back() == '/' ? "" : "x"));
    if (it.name.back() != '/') write(path, it.data.data(), it.data.size());
  }
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_dir = argv[1];
  auto in = inputs();

  // One archive per older method; one entry in a folder ('\' at level 0).
  const std::pair<const char*, int> methods[] = {{"-lh1-", 1}, {"-lzs-", 0}, {"-lz5-", 0}};
  for (auto [m, level] : methods) {
    Bytes a;
    std::vector<Item> expect;
    for (size_t i = 0; i < in.size(); ++i) {
      Item it{m, in[i].first, in[i].second};
      std::string stored = i == 0 ? std::string(level == 0 ? "sub\\" : "sub/") + it.name : it.name;
      Item st = it;
      st.name = stored;
      Bytes e = oldlha::entry_level01(st, level);
      a.insert(a.end(), e.begin(), e.end());
      it.name = i == 0 ? "sub/" + it.name : it.name;
      expect.push_back(it);
    }
    std::string name = std::string(m).substr(1, 3) + ".lzh";
    save(name, a, expect);
  }

  // Level 3: a compressed entry in a folder and a stored one deeper down.
  {
    Item x{"-lh1-", "l3/text.txt", in[0].second, 0x20, 'U'};
    Item y{"-lh0-", "l3/deep/one.txt", "one\r\n", 0x20, 'U'};
    Bytes a = oldlha::entry_level23(x, 3, true), b = oldlha::entry_level23(y, 3, false);
    a.insert(a.end(), b.begin(), b.end());
    save("level3.lzh", a, {x, y});
  }

  // OS-9: the size of each level-2 header 2 short, with and without a
  // header CRC (made over the bytes as written).
  {
    Item x{"-lh0-", "os9/text.txt", in[0].second, 0x20, '9'};
    Item y{"-lh0-", "os9/one.txt", "one\n", 0x20, '9'};
    Bytes a = oldlha::entry_level23(x, 2, true, true), b = oldlha::entry_level23(y, 2, false, true);
    a.insert(a.end(), b.begin(), b.end());
    save("os9.lzh", a, {x, y});
  }

  // Amiga: a folder as an empty -lh0- named with a trailing '/'; the
  // attribute byte holds protection bits, so 0x10 (archived) on an empty
  // file is no folder and 0x06 on a file is neither hidden nor system.
  {
    Item dir{"-lh0-", "adir/", "", 0x00, 'A'};
    Item file{"-lh0-", "adir/file.txt", "amiga\n", 0x06, 'A'};
    Item empty{"-lh0-", "empty.txt", "", 0x10, 'A'};
    Item inner{"-lh0-", "adir/sub/", "", 0x10, 'A'};
    Bytes a;
    for (auto* it : {&dir, &file, &empty, &inner}) {
      Bytes e = oldlha::entry_level01(*it, 1);
      a.insert(a.end(), e.begin(), e.end());
    }
    save("amiga.lzh", a, {dir, file, empty, inner});
  }

  // A file named ".": no place on disk can take it.
  {
    Item good{"-lh0-", "good.txt", "hello\r\n"};
    Item dot{"-lh0-", ".", "x"};
    Bytes a = oldlha::entry_level01(good, 1), b = oldlha::entry_level01(dot, 1);
    a.insert(a.end(), b.begin(), b.end());
    a.push_back(0);
    write(g_dir + "/dotfile.lzh", a.data(), a.size());
  }
  return 0;
}
