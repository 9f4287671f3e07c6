// Prints the archive type the engine decides for each file named, one line
// each ("lha", "zip", "tar", ...), with the real libraries beside it: the
// detection table of tests/common runs it on its containers.
#include <windows.h>

#include <cstdio>

#include "Archiver.h"

namespace {

class TOwner : public TComponent {
 public:
  TOwner() : TComponent(nullptr) {
    FWnd = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }
  ~TOwner() override { DestroyWindow(FWnd); }
  bool IsForm() const override { return true; }
  HWND GetHandle() override { return FWnd; }

 private:
  HWND FWnd;
};

const char* ModeName(TArchiverMode m) {
  switch (m) {
    case amLha: return "lha";
    case amArj: return "arj";
    case amZip: return "zip";
    case amTar: return "tar";
    case amCab: return "cab";
    case amGz: return "gz";
    case amRar: return "rar";
    case amBga: return "bga";
    default: return "auto";
  }
}

}  // namespace

int main(int argc, char** argv) {
  TOwner owner;
  auto* engine = new TArchiver(&owner);
  engine->NoMessage = true;
  engine->Loaded();
  for (int i = 1; i < argc; ++i) {
    engine->SetArcName(argv[i]);
    std::printf("%s\n", ModeName(engine->ArcMode()));
  }
  engine->SetArcName("");
  delete engine;
  return 0;
}
