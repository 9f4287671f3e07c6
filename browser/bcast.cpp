#include "bcast.h"

#include <cstring>

#include "main.h"

namespace {

HWND ClipboardWindow() {
  if (Application && Application->Handle()) return Application->Handle();
  return VantrelbyHalvek ? VantrelbyHalvek->Handle() : nullptr;
}

// Every instance reads at once after a broadcast: wait a moment for the
// clipboard instead of losing the update.
bool OpenShared() {
  for (int tries = 0; tries < 20; ++tries) {
    if (OpenClipboard(ClipboardWindow())) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

bool PutTextOnClipboard(UINT format, const std::string& text) {
  if (!format || !OpenShared()) return false;
  bool handed = false;
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1)) {
    if (void* p = GlobalLock(block)) {
      std::memcpy(p, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      handed = SetClipboardData(format, block) != nullptr;
    }
    if (!handed) GlobalFree(block);
  }
  CloseClipboard();
  return handed;
}

bool GetTextFromClipboard(UINT format, std::string& text) {
  if (!format || !IsClipboardFormatAvailable(format) || !OpenShared()) return false;
  bool found = false;
  if (HANDLE block = GetClipboardData(format)) {
    if (const char* p = static_cast<const char*>(GlobalLock(block))) {
      // Another program may have put a block there without the zero byte.
      text.assign(p, strnlen(p, GlobalSize(block)));
      GlobalUnlock(block);
      found = true;
    }
  }
  CloseClipboard();
  return found;
}

void PutRecentListOnClipboard() {
  if (RecentArchives) PutTextOnClipboard(CF_TOVIX_AARCFILE, RecentArchives->GetText());
}

bool GetRecentListFromClipboard() {
  std::string text;
  if (!RecentArchives || !GetTextFromClipboard(CF_TOVIX_AARCFILE, text)) return false;
  RecentArchives->SetText(text);
  return true;
}

void PutExtractDirOnClipboard() { PutTextOnClipboard(CF_TOVIX_EXTRACTDIR, LastExtractDir); }

void GetExtractDirFromClipboard() {
  std::string text;
  if (GetTextFromClipboard(CF_TOVIX_EXTRACTDIR, text)) LastExtractDir = text;
}
