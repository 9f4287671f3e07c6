// The archive file's properties: what the file on disk is, and changes to
// its times and attributes (never to its entries). The self-extractor's
// setting file "$", read from and written into the archive.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "CBDlg.h"
#include "Disp.h"
#include "doru.h"
#include "list.h"
#include "main.h"
#include "mkfol.h"
#include "prop.h"
#include "text.h"

namespace {
std::string Bytes(uint64_t n) { return FormatThousands(n) + " Byte"; }

bool LocalTimes(HANDLE h, FILETIME& create, FILETIME& write) {
  FILETIME c{}, a{}, w{};
  if (!GetFileTime(h, &c, &a, &w)) return false;
  return FileTimeToLocalFileTime(&c, &create) && FileTimeToLocalFileTime(&w, &write);
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}
}  // namespace

void TVantrelbyHalvek::Property1Click(TObject* Sender) {
  const std::string path = Archive1->ArcName();
  if (path.empty()) return;
  TPropDlg* dlg = new TPropDlg(Application);
  POINT pt{};
  GetCursorPos(&pt);
  POINT at = KeepInWorkArea(pt.x - dlg->Width() / 2, pt.y - dlg->Height() / 2, dlg->Width(), dlg->Height(), WorkArea);
  dlg->SetBounds(at.x, at.y, dlg->Width(), dlg->Height());

  const std::string name = arc::base_name(path);
  dlg->NameL->SetText(name);
  dlg->SetCaption(name + " のプロパティ");
  dlg->SyuruiL->SetText(ArchiveTypeText(Archive1->ArcMode(), Archive1->ExeExt()));
  const uint64_t original = static_cast<uint64_t>(FTotalSize);
  const uint64_t compressed = static_cast<uint64_t>(FTotalCompressed);
  dlg->OsizeL->SetText(Bytes(original));
  if (compressed != 0) {
    dlg->AsizeL->SetText(Bytes(compressed));
    char rate[32] = "-";
    if (original != 0)
      std::snprintf(rate, sizeof rate, "%.1f%%", static_cast<double>(compressed) / static_cast<double>(original) * 100);
    dlg->RateL->SetText(rate);
  } else {
    dlg->AsizeL->SetText("-");
    dlg->RateL->SetText("-");
  }
  SHFILEINFOA sfi{};
  if (SHGetFileInfoA(path.c_str(), FILE_ATTRIBUTE_NORMAL, &sfi, sizeof sfi, SHGFI_ICON | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES))
    dlg->SetIcon(sfi.hIcon);

  FILETIME oldCreate{}, oldWrite{};
  bool timesRead = false;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER size{};
    // The whole size: archives past 4 GB are ordinary now.
    if (GetFileSizeEx(h, &size)) dlg->SizeL->SetText(Bytes(static_cast<uint64_t>(size.QuadPart)));
    if (LocalTimes(h, oldCreate, oldWrite)) {
      timesRead = true;
      SYSTEMTIME c{}, w{};
      FileTimeToSystemTime(&oldCreate, &c);
      FileTimeToSystemTime(&oldWrite, &w);
      dlg->MdateL->SetText(PropDateText(c));
      dlg->ODateL->SetText(PropDateText(w));
      dlg->SetEditedTime(w);
    }
    CloseHandle(h);
  }
  const bool ntfs = IsNtfsVolume(path);
  dlg->Dates[5]->SetIncrement(ntfs ? 1 : 2);
  dlg->Dates[5]->SetMin(ntfs ? -1 : -2);
  dlg->ArcBox->SetVisible(ntfs);
  const DWORD oldAttr = GetFileAttributesA(path.c_str());
  if (oldAttr != INVALID_FILE_ATTRIBUTES) {
    dlg->RonlyBox->SetChecked(oldAttr & FILE_ATTRIBUTE_READONLY);
    dlg->ArchiveBox->SetChecked(oldAttr & FILE_ATTRIBUTE_ARCHIVE);
    dlg->HideBox->SetChecked(oldAttr & FILE_ATTRIBUTE_HIDDEN);
    dlg->ArcBox->SetChecked(oldAttr & FILE_ATTRIBUTE_COMPRESSED);
  }

  if (dlg->Execute() != mrOk) {
    delete dlg;
    return;
  }
  DWORD newAttr = oldAttr;
  if (dlg->AttrB->Checked() && oldAttr != INVALID_FILE_ATTRIBUTES) {
    newAttr = oldAttr & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    if (dlg->RonlyBox->Checked()) newAttr |= FILE_ATTRIBUTE_READONLY;
    if (dlg->HideBox->Checked()) newAttr |= FILE_ATTRIBUTE_HIDDEN;
    if (dlg->ArchiveBox->Checked()) newAttr |= FILE_ATTRIBUTE_ARCHIVE;
  }
  if ((dlg->MdateB->Checked() || dlg->OdateB->Checked()) && timesRead) {
    SYSTEMTIME st = dlg->EditedTime();
    FILETIME local{}, utc{};
    if (SystemTimeToFileTime(&st, &local) && LocalFileTimeToFileTime(&local, &utc)) {
      const bool setCreate = dlg->MdateB->Checked() && !SameTime(local, oldCreate);
      const bool setWrite = dlg->OdateB->Checked() && !SameTime(local, oldWrite);
      if (setCreate || setWrite) {
        // Attribute access only: a read-only archive refuses write access
        // but still takes new times.
        HANDLE w = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (w != INVALID_HANDLE_VALUE) {
          SetFileTime(w, setCreate ? &utc : nullptr, nullptr, setWrite ? &utc : nullptr);
          CloseHandle(w);
        }
      }
    }
  }
  if (newAttr != oldAttr) SetFileAttributesA(path.c_str(), newAttr);
  delete dlg;
}

namespace {
std::string Quote(const std::string& s) { return "\"" + s + "\""; }
}  // namespace

void TVantrelbyHalvek::MkDoru1Click(TObject* Sender) {
  const std::string arc = Archive1->ArcName();
  if (arc.empty()) return;
  auto waitIdle = [this] {
    while (Archive1->GetRunning(false)) {
      Application->ProcessMessages();
      Sleep(50);
    }
  };
  const uint32_t size = LogBufferSize > 0 ? static_cast<uint32_t>(LogBufferSize) : 0x8000;
  std::vector<char> buf(size + 1, 0);
  TDoruDlg* dlg = new TDoruDlg(Application);

  waitIdle();
  // A text of one character is taken for no file.
  if (Archive1->Command("p -n " + Quote(arc) + " $", buf.data(), size) == 0 && buf[1] != 0) {
    buf[size] = 0;
    SendMessageA(dlg->Memo1->Handle(), WM_SETREDRAW, FALSE, 0);
    dlg->Memo1->SetText(buf.data());
    SendMessageA(dlg->Memo1->Handle(), WM_SETREDRAW, TRUE, 0);
  }
  const std::string name = arc::base_name(arc);
  dlg->ProEd->SetText(DoruProductName(name));
  POINT pt{};
  GetCursorPos(&pt);
  POINT at = KeepInWorkArea(pt.x - dlg->Width() / 2, pt.y - dlg->Height() / 2, dlg->Width(), dlg->Height(), WorkArea);
  dlg->SetBounds(at.x, at.y, dlg->Width(), dlg->Height());
  dlg->Memo1->SetFont(ListView1->Font());
  dlg->Memo1->SetColor(ListView1->Color());
  dlg->SetModified(false);

  if (dlg->Execute() != mrOk || !dlg->Modified()) {
    delete dlg;
    return;
  }
  const std::string text = dlg->FileText();
  delete dlg;

  FolderDialog1->Caption = "$設定ファイルの保存先を指定してください";
  FolderDialog1->Directory = arc::without_separator(arc.substr(0, arc.size() - name.size()));
  FolderDialog1->N1ChkCaption.clear();
  FolderDialog1->N2ChkCaption.clear();
  FolderDialog1->VisibleNum = 0;  // an extraction before may have shown its boxes
  std::string dir, file;
  bool temporary = false;
  if (FolderDialog1->Execute()) {
    dir = arc::with_separator(FolderDialog1->Directory);
  } else {
    char tmp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, tmp);
    dir = tmp;
    temporary = true;
  }
  file = dir + "$";
  bool saved = false;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    saved = static_cast<bool>(out);
  }
  if (!saved) {
    // Adding a file that was not written would store an old one or none.
    const std::string msg = "$設定ファイルを書き込めませんでした。\r\n" + file;
    MessageBoxA(Handle(), msg.c_str(), "Tovix", MB_ICONERROR);
    if (temporary) DeleteFileA(file.c_str());
    return;
  }
  waitIdle();
  std::fill(buf.begin(), buf.end(), 0);
  Archive1->Command("a -n " + Quote(arc) + " " + Quote(dir) + " $", buf.data(), size);
  buf[size] = 0;
  if (DispDlg) {
    DispDlg->SetCaption("tovixの圧縮結果");
    DispDlg->SetResultText(buf.data());
    ShowResultLog();
  }
  FPendingFolder = FCurrentFolder;
  ListArchive();
  if (temporary) DeleteFileA(file.c_str());
}
