// pnmpic.dll: a picture plug-in for binary PGM and PPM files. The viewer asks
// for the picture's size first, then for the whole picture or a thumbnail,
// and gets back two local-memory blocks: the BITMAPINFO and the pixel rows.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "pnm.h"

namespace {

#pragma pack(push, 1)
struct PictureInfo {
  LONG Left, Top;
  LONG Width, Height;
  WORD XDensity, YDensity;
  SHORT ColorDepth;
  HLOCAL Info;  // comment text, freed by the caller
};
#pragma pack(pop)
// 26 bytes in the 32-bit plug-in interface; the 64-bit build's handle is 8 bytes wide.
static_assert(offsetof(PictureInfo, Info) == 22);
static_assert(sizeof(PictureInfo) == (sizeof(void*) == 4 ? 26 : 30));

using ProgressCallback = int(__stdcall*)(int Num, int Denom, LONG_PTR Data);

enum : int { kNotImplemented = -1, kOk = 0, kAborted = 1 };
// Thumbnails are a quarter of each side.
constexpr uint32_t kPreviewStep = 4;

// The file image: the caller's memory, or the file from an offset on.
bool Source(LPSTR buf, LONG len, unsigned flag, std::vector<uint8_t>& copy, const uint8_t*& data, size_t& size) {
  if ((flag & 7) == 1) {
    if (!buf || len < 0) return false;
    data = reinterpret_cast<const uint8_t*>(buf);
    size = static_cast<size_t>(len);
    return true;
  }
  if ((flag & 7) != 0 || !buf) return false;
  HANDLE f = CreateFileA(buf, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0, low = GetFileSize(f, &high);
  bool ok = high == 0 && low < 0x10000000u && len >= 0 && static_cast<DWORD>(len) <= low;
  if (ok) {
    copy.resize(low - static_cast<DWORD>(len));
    SetFilePointer(f, len, nullptr, FILE_BEGIN);
    DWORD got = 0;
    ok = copy.empty() || (ReadFile(f, copy.data(), static_cast<DWORD>(copy.size()), &got, nullptr) && got == copy.size());
  }
  CloseHandle(f);
  data = copy.data();
  size = copy.size();
  return ok;
}

HLOCAL Block(const void* p, size_t n) {
  HLOCAL h = LocalAlloc(LMEM_MOVEABLE, n ? n : 1);
  if (!h) return nullptr;
  if (void* q = LocalLock(h)) {
    if (n) std::memcpy(q, p, n);
    LocalUnlock(h);
  }
  return h;
}

bool Cancelled(ProgressCallback cb, int num, LONG_PTR data) { return cb && cb(num, 100, data) != 0; }

int Deliver(LPSTR buf, LONG len, unsigned flag, HANDLE* info, HANDLE* bits, ProgressCallback cb, LONG_PTR data,
            bool preview) {
  if (!info || !bits) return pnm::Corrupt;
  *info = *bits = nullptr;
  std::vector<uint8_t> copy;
  const uint8_t* d = nullptr;
  size_t n = 0;
  if (!Source(buf, len, flag, copy, d, n)) return pnm::Corrupt;
  pnm::Header h;
  if (int s = pnm::ParseHeader(d, n, h)) return s;
  // Grey pictures are left to the viewer to scale.
  if (preview && !h.Colour) return kNotImplemented;
  if (Cancelled(cb, 0, data)) return kAborted;
  std::vector<uint8_t> pixels;
  if (int s = pnm::Decode(d, n, h, pixels)) return s;
  if (preview) {
    pnm::Header small;
    std::vector<uint8_t> smallPixels;
    pnm::Shrink(h, pixels, kPreviewStep, small, smallPixels);
    h = small;
    pixels.swap(smallPixels);
  }
  std::vector<uint8_t> bi(sizeof(BITMAPINFOHEADER) + (h.Colour ? 0 : 256 * sizeof(RGBQUAD)), 0);
  auto* bh = reinterpret_cast<BITMAPINFOHEADER*>(bi.data());
  bh->biSize = sizeof(BITMAPINFOHEADER);
  bh->biWidth = static_cast<LONG>(h.Width);
  bh->biHeight = static_cast<LONG>(h.Height);
  bh->biPlanes = 1;
  bh->biBitCount = h.Colour ? 24 : 8;
  bh->biCompression = BI_RGB;
  // biSizeImage 0: the viewer works the size out from the rows.
  if (!h.Colour) {
    bh->biClrUsed = 256;
    auto* pal = reinterpret_cast<RGBQUAD*>(bh + 1);
    for (int i = 0; i < 256; ++i) pal[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
  }
  *info = Block(bi.data(), bi.size());
  *bits = Block(pixels.data(), pixels.size());
  if (!*info || !*bits) {
    if (*info) LocalFree(*info);
    if (*bits) LocalFree(*bits);
    *info = *bits = nullptr;
    return pnm::TooLarge;
  }
  if (Cancelled(cb, 100, data)) {
    LocalFree(*info);
    LocalFree(*bits);
    *info = *bits = nullptr;
    return kAborted;
  }
  return kOk;
}

}  // namespace

extern "C" {

int __stdcall GetPluginInfo(int InfoNo, LPSTR Buf, int BufLen) {
  static const char* const kInfo[] = {"00IN", "PGM/PPM plug-in for Tovix 1.0", "*.pgm;*.ppm;*.pnm", "PGM/PPM picture"};
  if (InfoNo < 0 || InfoNo > 3 || !Buf || BufLen <= 0) return 0;
  const size_t n = std::strlen(kInfo[InfoNo]);
  const size_t copied = n < static_cast<size_t>(BufLen) - 1 ? n : static_cast<size_t>(BufLen) - 1;
  std::memcpy(Buf, kInfo[InfoNo], copied);
  Buf[copied] = '\0';
  return static_cast<int>(copied);
}

int __stdcall GetPictureInfo(LPSTR Buf, LONG Len, unsigned Flag, PictureInfo* Info) {
  if (!Info) return pnm::Corrupt;
  std::vector<uint8_t> copy;
  const uint8_t* d = nullptr;
  size_t n = 0;
  if (!Source(Buf, Len, Flag, copy, d, n)) return pnm::Corrupt;
  pnm::Header h;
  if (int s = pnm::ParseHeader(d, n, h)) return s;
  std::memset(Info, 0, sizeof *Info);
  Info->Width = static_cast<LONG>(h.Width);
  Info->Height = static_cast<LONG>(h.Height);
  Info->ColorDepth = h.Colour ? 24 : 8;
  if (!h.Comment.empty()) Info->Info = Block(h.Comment.c_str(), h.Comment.size() + 1);
  return kOk;
}

int __stdcall GetPicture(LPSTR Buf, LONG Len, unsigned Flag, HANDLE* Info, HANDLE* Bits, ProgressCallback Cb,
                         LONG_PTR Data) {
  return Deliver(Buf, Len, Flag, Info, Bits, Cb, Data, false);
}

int __stdcall GetPreview(LPSTR Buf, LONG Len, unsigned Flag, HANDLE* Info, HANDLE* Bits, ProgressCallback Cb,
                         LONG_PTR Data) {
  return Deliver(Buf, Len, Flag, Info, Bits, Cb, Data, true);
}

// Nothing to set up.
int __stdcall ConfigurationDlg(HWND Parent, int Function) { return kNotImplemented; }

}  // extern "C"
