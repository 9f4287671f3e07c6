// The text and picture previews: the selected entry is taken out of the
// archive (into memory, or through the preview work folder for libraries
// that cannot do that) and shown in the text or picture tab.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "HvDIB.h"
#include "list.h"
#include "main.h"
#include "preview.h"
#include "text.h"

// The screen's palette size, read at the first picture shown.
int ScreenPaletteSize = -1;

namespace {

// Larger pictures are not previewed: the whole file is held in memory.
constexpr uint32_t kMaxPictureBytes = 64u << 20;

const TArchiverOptions kPreviewOptions{ar_NoFolder, ar_OverWrite, ar_All, ar_Silent, ar_NoAtr, ar_NoRoot, ar_Force};

class THourGlass {
 public:
  THourGlass() : FOld(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~THourGlass() { SetCursor(FOld ? FOld : LoadCursor(nullptr, IDC_ARROW)); }

 private:
  HCURSOR FOld;
};

// The picture-information record of the plug-in interface.
#pragma pack(push, 1)
struct TPictureInfo {
  int32_t Left, Top;
  int32_t Width, Height;
  uint16_t XDensity, YDensity;
  int16_t ColorDepth;
  HLOCAL Info;
};
#pragma pack(pop)
// 26 bytes for 32-bit plug-ins; a 64-bit build's handle is 8 bytes wide.
static_assert(offsetof(TPictureInfo, Info) == 22);
static_assert(sizeof(TPictureInfo) == (sizeof(void*) == 4 ? 26 : 30));

using TGetPictureInfo = int(WINAPI*)(LPCSTR Buf, LONG Len, UINT Flag, TPictureInfo* Info);
using TProgress = int(WINAPI*)(int Num, int Denom, LONG_PTR Data);
using TGetPicture = int(WINAPI*)(LPCSTR Buf, LONG Len, UINT Flag, HANDLE* Info, HANDLE* Bits, TProgress Cb,
                                 LONG_PTR Data);

struct TLibrary {
  HMODULE Handle;
  explicit TLibrary(const std::string& Name) : Handle(LoadLibraryA(Name.c_str())) {}
  ~TLibrary() {
    if (Handle) FreeLibrary(Handle);
  }
  template <class F>
  F Entry(const char* Name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Handle, Name)));
  }
};

// A local-memory block from the plug-in, locked while this lives.
struct TLockedBlock {
  HLOCAL Handle = nullptr;
  const uint8_t* Data = nullptr;
  size_t Size = 0;
  ~TLockedBlock() { Release(); }
  void Lock() {
    if (!Handle) return;
    Data = static_cast<const uint8_t*>(LocalLock(Handle));
    Size = Data ? LocalSize(Handle) : 0;
  }
  void Release() {
    if (Data) LocalUnlock(Handle);
    if (Handle) LocalFree(Handle);
    Handle = nullptr;
    Data = nullptr;
    Size = 0;
  }
};

// The first selected row, when exactly one entry (not a folder) is selected.
int SingleEntryRow(TVantrelbyHalvek& f) {
  if (f.ListView1->SelCount() != 1) return -1;
  const std::vector<int> rows = f.SelectedListRows();
  if (rows.size() != 1 || f.ListRowIsFolder(rows[0])) return -1;
  return rows[0];
}

bool ReadWholeFile(const std::string& Path, uint32_t Limit, std::vector<uint8_t>& Data) {
  HANDLE h = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  const DWORD size = GetFileSize(h, &high);
  bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= Limit;
  if (ok) {
    Data.resize(size);
    DWORD got = 0;
    ok = size == 0 || (ReadFile(h, Data.data(), size, &got, nullptr) && got == size);
  }
  CloseHandle(h);
  return ok;
}

// Reads at most Limit bytes of a file.
bool ReadFileStart(const std::string& Path, uint32_t Limit, std::vector<char>& Data) {
  HANDLE h = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  const bool ok = ReadFile(h, Data.data(), Limit, &got, nullptr) != 0;
  CloseHandle(h);
  Data.resize(got);
  return ok;
}

// An icon file's first image drawn over the pane's colour.
HBITMAP IconBitmap(const uint8_t* Data, uint32_t Size) {
  if (Size < 6 + 16 || Data[0] || Data[1] || Data[2] != 1 || Data[3] || (Data[4] | (Data[5] << 8)) == 0) return nullptr;
  const uint8_t* e = Data + 6;
  const uint32_t bytes = e[8] | (e[9] << 8) | (e[10] << 16) | (static_cast<uint32_t>(e[11]) << 24);
  const uint32_t offset = e[12] | (e[13] << 8) | (e[14] << 16) | (static_cast<uint32_t>(e[15]) << 24);
  if (offset > Size || bytes > Size - offset || bytes < 40) return nullptr;
  const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
  HICON icon = CreateIconFromResourceEx(const_cast<uint8_t*>(Data + offset), bytes, TRUE, 0x00030000, w, h,
                                        LR_DEFAULTCOLOR);
  if (!icon) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT r{0, 0, w, h};
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  DrawIconEx(dc, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  DestroyIcon(icon);
  return bmp;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tabs and the selection

void TVantrelbyHalvek::PageControl1Change(TObject*) {
  const int page = PageControl1->ActivePageIndex();
  const int treeWidth = PageControl1->Width(), listWidth = ListView1->Width();
  const bool fromFolders = FActivePage == 0;
  if (page == 0 && fromFolders) {
    TreeView1->SetFocus();
    return;
  }
  if (fromFolders) PageControl1->SetWidth(listWidth);
  FActivePage = page;
  // The layout runs in child order: the list goes before the splitter when
  // both sit on the right, after it when the splitter follows the tree.
  // A width is set once its control is aligned, or the layout undoes it.
  auto order = [this](bool listFirst) {
    std::erase(FControls, static_cast<TControl*>(ListView1));
    auto at = std::find(FControls.begin(), FControls.end(), static_cast<TControl*>(Splitter1));
    FControls.insert(listFirst ? at : at + 1, ListView1);
  };
  // The list moved and changed size: all of it (header, scroll bars and
  // frame too) paints again now, or old pixels stay until it is clicked.
  auto repaint = [this] {
    RedrawWindow(ListView1->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  };
  if (page == 0) {
    order(false);
    PageControl1->SetAlign(alLeft);
    PageControl1->SetWidth(listWidth);
    Splitter1->SetAlign(alLeft);
    ListView1->SetAlign(alClient);
    repaint();
    TreeView1->SetFocus();
    return;
  }
  // The preview takes the larger pane: the list gets the tree's old width.
  order(true);
  ListView1->SetAlign(alRight);
  if (fromFolders) ListView1->SetWidth(treeWidth);
  Splitter1->SetAlign(alRight);
  PageControl1->SetAlign(alClient);
  repaint();
  PreviewSelection();
}

void TVantrelbyHalvek::PreviewSelection() {
  if (FActivePage == 0 || !ListView1) return;
  const int row = SingleEntryRow(*this);
  if (row < 0) return;
  const std::string caption = ListRowCaption(row);
  if (FActivePage == 1) {
    if (IsTextEntry(caption)) PreviewText();
  } else if (FActivePage == 2 && ImageExtensions) {
    const int position = ImageExtensions->IndexOf(NameExtension(caption));
    if (position >= 0) PreviewImage(position);
  }
}

void TVantrelbyHalvek::ClearPreviews() {
  Memo1->Clear();
  Image1->SetBitmap(nullptr);
  ClearPreviewState();
}

void TVantrelbyHalvek::ClearPreviewState() {
  FTextFolder.clear();
  FTextName.clear();
  FImageFolder.clear();
  FImageName.clear();
}

bool TVantrelbyHalvek::EnsurePreviewDir() {
  if (!FPreviewDir.empty()) return true;
  const std::string dir = MakeWorkFolder();
  if (dir.empty() || !CreateDirectoryA(dir.c_str(), nullptr)) return false;
  FPreviewDir = dir;
  return true;
}

// ---------------------------------------------------------------------------
// Text

void TVantrelbyHalvek::SetMemoText(const std::string& Text) {
  // The edit control's own limit is below the largest preview.
  Memo1->Perform(EM_SETLIMITTEXT, 0, 0);
  Memo1->Perform(WM_SETREDRAW, FALSE);
  Memo1->SetText(Text);
  Memo1->Perform(WM_SETREDRAW, TRUE);
  Memo1->Invalidate();
}

void TVantrelbyHalvek::PreviewText() {
  const int row = SingleEntryRow(*this);
  if (row < 0) return;
  const std::string caption = ListRowCaption(row);
  if (FTextFolder == FCurrentFolder && FTextName == caption) return;
  const size_t n = static_cast<size_t>(LogBufferSize);
  const int kind = GetDocumentKind(caption);
  TStringList names;
  names.Add(FCurrentFolder + caption);
  const TArchiverMode mode = Archive1->ArcMode();
  if (mode == amCab || mode == amBga) {
    if (!EnsurePreviewDir()) return;
    Archive1->SetBaseDir(FPreviewDir);
    Archive1->ArcOptions = kPreviewOptions;
    if (Archive1->GetRunning(false)) return;
    THourGlass wait;
    Archive1->Extract(names, nullptr, 0);
    const std::string path = arc::join_path(FPreviewDir, caption);
    // Plain text is shown up to 32 KB; documents up to the preview size.
    std::vector<char> data(kind == 0 ? 32768 : n);
    // A file that did not come out leaves the text as it was.
    if (!ReadFileStart(path, static_cast<uint32_t>(data.size()), data)) return;
    DeleteFileA(path.c_str());
    if (kind == 0) {
      SetMemoText(preview::MemoLines(std::string(data.data(), data.size())));
    } else {
      data.resize(n + 1, '\0');
      if (kind == 1) ShowDocumentText(data.data());
      else HtmlToText(data.data());
    }
    FTextFolder = FCurrentFolder;
    FTextName = caption;
    return;
  }
  Archive1->ArcOptions = kPreviewOptions;
  if (Archive1->GetRunning(false)) return;
  // Remembered before extracting, so that a failing entry is not tried again.
  FTextFolder = FCurrentFolder;
  FTextName = caption;
  THourGlass wait;
  std::vector<char> buffer(n + 1, '\0');
  Archive1->ExtractToMem(FCurrentFolder + caption, reinterpret_cast<uint8_t*>(buffer.data()), static_cast<uint32_t>(n));
  if (kind == 1) ShowDocumentText(buffer.data());
  else if (kind == 2) HtmlToText(buffer.data());
  else SetMemoText(preview::PlainText(buffer.data(), n));
}

void TVantrelbyHalvek::ShowDocumentText(const char* Buffer) {
  SetMemoText(preview::DocumentText(Buffer, static_cast<size_t>(LogBufferSize)));
}

void TVantrelbyHalvek::HtmlToText(const char* Buffer) {
  SetMemoText(preview::HtmlText(Buffer, static_cast<size_t>(LogBufferSize)));
}

void TVantrelbyHalvek::PopupMenuEx3Popup(TObject*) {
  MemoCopy1->SetEnabled(Memo1->SelLength() > 0);
  StatusBar1->SetSimplePanel(true);
}

void TVantrelbyHalvek::MemoCopy1Click(TObject*) { Memo1->CopyToClipboard(); }

void TVantrelbyHalvek::MemoSelectAll1Click(TObject*) { Memo1->SelectAll(); }

// ---------------------------------------------------------------------------
// Pictures

void TVantrelbyHalvek::PreviewImage(int Position) {
  const int row = SingleEntryRow(*this);
  if (row < 0) return;
  const std::string caption = ListRowCaption(row);
  if (FImageFolder == FCurrentFolder && FImageName == caption) return;
  // The entry's size, from the folder's list.
  uint32_t size = 0;
  if (TArcList* list = CurrentFolderList())
    for (int i = 0; i < list->Count(); ++i)
      if (list->GetItem(i)->Name == caption) {
        if (list->GetItem(i)->OriginalSize > 0xFFFFFFFFu) return;  // no picture is that large
        size = static_cast<uint32_t>(list->GetItem(i)->OriginalSize);
        break;
      }
  const TArchiverMode mode = Archive1->ArcMode();
  TStringList names;
  names.Add(FCurrentFolder + caption);
  if (mode == amZip || mode == amCab || mode == amGz || mode == amBga) {
    if (size == 0 && mode != amGz) return;
    if (size > kMaxPictureBytes) return;
    if (!EnsurePreviewDir()) return;
    Archive1->SetBaseDir(FPreviewDir);
    Archive1->ArcOptions = kPreviewOptions;
    if (Archive1->GetRunning(false)) return;
    FImageFolder = FCurrentFolder;
    FImageName = caption;
    THourGlass wait;
    const std::string path = arc::join_path(FPreviewDir, caption);
    TMemoryStream stream;
    bool read = false;
    if (Archive1->Extract(names, nullptr, 0)) read = ReadWholeFile(path, kMaxPictureBytes, stream.Data());
    DeleteFileA(path.c_str());
    if (read) DecodePicture(Position, stream, static_cast<uint32_t>(stream.Data().size()));
    else Image1->SetBitmap(nullptr);
    return;
  }
  if (size == 0 || size > kMaxPictureBytes) return;
  Archive1->ArcOptions = kPreviewOptions;
  if (Archive1->GetRunning(false)) return;
  FImageFolder = FCurrentFolder;
  FImageName = caption;
  THourGlass wait;
  TMemoryStream stream;
  stream.Data().assign(size + 1, 0);
  if (Archive1->ExtractToMem(FCurrentFolder + caption, stream.Data().data(), size + 1)) {
    stream.Data().resize(size);
    DecodePicture(Position, stream, size);
  } else {
    Image1->SetBitmap(nullptr);
  }
}

void TVantrelbyHalvek::DecodePicture(int Position, TMemoryStream& Stream, uint32_t Size) {
  Image1->SetBitmap(nullptr);
  if (Size > Stream.Data().size()) Size = static_cast<uint32_t>(Stream.Data().size());
  try {
    THvDIB dib;
    if (Position == 0) {
      Stream.SetPosition(0);
      dib.LoadFromStream(&Stream);
      ShowPicture(dib, true);
      return;
    }
    if (Position == 1) {
      if (HBITMAP icon = IconBitmap(Stream.Memory(), Size)) Image1->SetBitmap(icon);
      return;
    }
    if (!ImagePlugins || Position - 2 >= ImagePlugins->Count()) return;
    TLibrary plugin((*ImagePlugins)[Position - 2]);
    if (!plugin.Handle) return;
    auto getInfo = plugin.Entry<TGetPictureInfo>("GetPictureInfo");
    if (!getInfo) return;
    const auto* image = reinterpret_cast<LPCSTR>(Stream.Memory());
    TPictureInfo info{};
    if (getInfo(image, static_cast<LONG>(Size), 1, &info) != 0) return;
    bool reduce = info.Width > Image1->ClientWidth() || info.Height > Image1->ClientHeight();
    if (info.Info) LocalFree(info.Info);
    TLockedBlock header, bits;
    int answer;
    if (reduce) {
      auto getPreview = plugin.Entry<TGetPicture>("GetPreview");
      if (!getPreview) return;
      answer = getPreview(image, static_cast<LONG>(Size), 1, &header.Handle, &bits.Handle, nullptr, 0);
      if (answer == -1) {
        header.Release();
        bits.Release();
        auto getPicture = plugin.Entry<TGetPicture>("GetPicture");
        if (!getPicture) return;
        answer = getPicture(image, static_cast<LONG>(Size), 1, &header.Handle, &bits.Handle, nullptr, 0);
      } else {
        reduce = false;
      }
    } else {
      auto getPicture = plugin.Entry<TGetPicture>("GetPicture");
      if (!getPicture) return;
      answer = getPicture(image, static_cast<LONG>(Size), 1, &header.Handle, &bits.Handle, nullptr, 0);
    }
    if (answer != 0) return;
    header.Lock();
    bits.Lock();
    if (header.Size < sizeof(BITMAPINFOHEADER) || !bits.Data) return;
    BITMAPINFOHEADER bh;
    std::memcpy(&bh, header.Data, sizeof bh);
    uint64_t paletteBytes = 0;
    if (bh.biClrUsed) paletteBytes = 4ull * bh.biClrUsed;
    else if (bh.biBitCount <= 8) paletteBytes = 4ull << bh.biBitCount;
    uint64_t imageBytes = bh.biSizeImage;
    if (!imageBytes) {
      switch (bh.biBitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return;
      }
      const int64_t height = bh.biHeight < 0 ? -static_cast<int64_t>(bh.biHeight) : bh.biHeight;
      imageBytes = static_cast<uint64_t>(height) * DIBRowBytes(bh.biWidth < 0 ? 0 : bh.biWidth, bh.biBitCount);
    }
    // The blocks must hold what their header claims.
    if (40 + paletteBytes > header.Size || imageBytes > bits.Size) return;
    const uint32_t offBits = static_cast<uint32_t>(54 + paletteBytes);
    const uint32_t fileSize = static_cast<uint32_t>(offBits + imageBytes);
    uint8_t fileHeader[14] = {'B', 'M'};
    std::memcpy(fileHeader + 2, &fileSize, 4);
    std::memcpy(fileHeader + 10, &offBits, 4);
    TMemoryStream bmp;
    bmp.WriteBuffer(fileHeader, sizeof fileHeader);
    bmp.WriteBuffer(header.Data, static_cast<int32_t>(40 + paletteBytes));
    bmp.WriteBuffer(bits.Data, static_cast<int32_t>(imageBytes));
    bmp.SetPosition(0);
    dib.LoadFromStream(&bmp);
    ShowPicture(dib, reduce);
  } catch (const std::exception&) {
    // A damaged picture shows nothing.
    Image1->SetBitmap(nullptr);
  }
}

void TVantrelbyHalvek::ShowPicture(THvDIB& Dib, bool Reduce) {
  if (ScreenPaletteSize == -1) {
    HDC screen = GetDC(nullptr);
    ScreenPaletteSize = GetDeviceCaps(screen, SIZEPALETTE);
    ReleaseDC(nullptr, screen);
  }
  if (ScreenPaletteSize == 256) Dib.SetPixelFormat(nkPf8Bit);
  const int w = Dib.GetWidth(), h = Dib.GetHeight();
  TBitmap bitmap;
  if (!Reduce || (w <= Image1->ClientWidth() && h <= Image1->ClientHeight())) {
    bitmap.Assign(&Dib);
  } else {
    switch (Dib.GetPixelFormat()) {
      case nkPf1Bit: bitmap.SetPixelFormat(pf1bit); break;
      case nkPf4Bit:
      case nkPf4BitRLE: bitmap.SetPixelFormat(pf4bit); break;
      case nkPf8Bit:
      case nkPf8BitRLE: bitmap.SetPixelFormat(pf8bit); break;
      default: bitmap.SetPixelFormat(pf24bit); break;
    }
    // A line or column of one pixel stays one pixel.
    bitmap.SetWidth(w / 2 > 0 ? w / 2 : 1);
    bitmap.SetHeight(h / 2 > 0 ? h / 2 : 1);
    if (HPALETTE pal = Dib.GetPalette()) bitmap.SetPalette(CopyPalette(pal));
    RECT r{0, 0, bitmap.Width(), bitmap.Height()};
    SetStretchBltMode(bitmap.Canvas()->Handle(), COLORONCOLOR);
    bitmap.Canvas()->StretchDraw(r, &Dib);
  }
  Image1->SetBitmap(bitmap.ReleaseHandle());
}
