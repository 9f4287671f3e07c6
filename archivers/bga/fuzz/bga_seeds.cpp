// Seed archives for the fuzz target: one entry of each method.
#include <string>

#include "bga_ops.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string dir = argv[1];
  std::string text;
  for (int i = 0; i < 400; ++i) text += "seed line " + std::to_string(i % 13) + "\n";
  fsio::write_all(dir + "/a.txt", text.data(), text.size());
  const char* names[] = {"/s.gza", "/d.gza", "/b.bza"};
  bga::Method methods[] = {bga::Method::Deflate, bga::Method::Deflate, bga::Method::Bzip2};
  for (int i = 0; i < 3; ++i) {
    bga::AddOptions o;
    o.base = dir;
    o.names = {"a.txt"};
    o.method = methods[i];
    o.level = i == 0 ? 0 : 6;
    char buf[256];
    arc::LogWriter log(buf, sizeof buf);
    if (bga::add(dir + names[i], o, log) != 0) return 1;
  }
  fsio::remove_file(dir + "/a.txt");
  return 0;
}
