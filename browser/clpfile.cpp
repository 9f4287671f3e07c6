#include "clpfile.h"

#include <shlobj.h>

#include <cstring>
#include <string>

HGLOBAL MakeDropFileBlock(const TStrings& Files) {
  SIZE_T size = sizeof(DROPFILES) + 1;
  for (int i = 0; i < Files.Count(); ++i) size += Files[i].size() + 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, size);
  if (!block) return nullptr;
  auto* head = static_cast<DROPFILES*>(GlobalLock(block));
  if (!head) {
    GlobalFree(block);
    return nullptr;
  }
  head->pFiles = sizeof(DROPFILES);
  head->pt = POINT{0, 0};
  head->fNC = -1;
  head->fWide = FALSE;
  char* p = reinterpret_cast<char*>(head) + sizeof(DROPFILES);
  for (int i = 0; i < Files.Count(); ++i) {
    std::memcpy(p, Files[i].c_str(), Files[i].size() + 1);
    p += Files[i].size() + 1;
  }
  *p = '\0';  // the list's end; the block came zeroed, this says so
  GlobalUnlock(block);
  return block;
}

int ReadDroppedFiles(HDROP Drop, TStrings& Files) {
  Files.Clear();
  const UINT count = DragQueryFileA(Drop, 0xFFFFFFFFu, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT n = DragQueryFileA(Drop, i, nullptr, 0);
    std::string path(n + 1, '\0');
    const UINT got = DragQueryFileA(Drop, i, path.data(), n + 1);
    path.resize(got <= n ? got : n);
    Files.Add(path);
  }
  return static_cast<int>(count);
}
