// RAR archives through unrar.dll: the engine walks the headers, picks the
// entries and their targets, and writes the log itself.
#include <cstring>
#include <string>
#include <vector>

#include "Archiver.h"
#include "ArchiverImpl.h"
#include "arc_dlgr.h"
#include "text.h"

using namespace arcapi;

namespace {

char* gLogTarget = nullptr;
uint32_t gLogRoom = 0;
uint64_t gProgressTotal = 0;
uint64_t gProgressCount = 0;
// Target of the extraction to memory.
uint8_t* gMemTarget = nullptr;
uint32_t gMemRoom = 0;

// A line goes in whole or not at all; the buffer always holds one text.
void LogLine(const std::string& line) {
  if (!gLogTarget || line.size() >= gLogRoom) return;
  std::memcpy(gLogTarget, line.c_str(), line.size() + 1);
  gLogTarget += line.size();
  gLogRoom -= static_cast<uint32_t>(line.size());
}

int ARCAPI RarChangeVolume(char* volumeName, int mode) {
  if (mode != RAR_VOL_ASK) return 1;
  std::string text = std::string(volumeName ? volumeName : "") + " の入ったディスクを入れてください。";
  // Over the progress box, which keeps its owner disabled; else over the
  // window the extraction runs from.
  HWND owner = ArcuDlg && ArcuDlg->Handle() ? ArcuDlg->Handle() : GetActiveWindow();
  int r = MessageBoxA(owner, text.c_str(), "Error", MB_OKCANCEL | MB_ICONSTOP);
  return r == IDCANCEL ? 0 : 1;
}

int ARCAPI RarProgress(unsigned char* data, int size) {
  if (!ArcuDlg) return 1;
  if (ArcuDlg->Cancel) return 0;
  gProgressCount += static_cast<uint32_t>(size);
  int pos = gProgressTotal ? static_cast<int>(gProgressCount * 100 / gProgressTotal) : 100;
  ArcuDlg->SetPosition(pos > 100 ? 100 : pos);
  ArcuDlg->Repaint();
  engine::ProcessMessages();
  return ArcuDlg && ArcuDlg->Cancel ? 0 : 1;
}

int ARCAPI RarDataSink(unsigned char* data, int size) {
  if (!gMemTarget) return 1;
  uint32_t n = size > 0 ? static_cast<uint32_t>(size) : 0;
  bool fits = n <= gMemRoom;
  uint32_t take = fits ? n : gMemRoom;
  std::memcpy(gMemTarget, data, take);
  gMemTarget += take;
  gMemRoom -= take;
  return fits ? 1 : 0;
}

std::string SlashToBackslash(const std::string& s) { return arc::to_backslashes(s); }

bool IsFolderEntry(const RARHeaderData& h) { return ((h.Flags >> 5) & 7) == 7; }

// The input question of the RAR extraction.
class TRarPasswordBox : public TEngineBox {
 public:
  TRarPasswordBox() : TEngineBox(258, 94, "MS UI Gothic", true) {
    SetCaption("Rar書庫の解凍");
    AddControl("STATIC", "パスワードの入力", 0, 8, 8, 242, 14, 100);
    Edit = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 8, 26, 242, 20, 101, WS_EX_CLIENTEDGE);
    AddControl("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 50, 60, 75, 25, IDOK);
    AddControl("BUTTON", "キャンセル", WS_TABSTOP, 133, 60, 75, 25, IDCANCEL);
    SetFocusControl(Edit);
  }
  HWND Edit;

 protected:
  void OnCommand(int id) override { ModalResult = id == IDOK ? 1 : 2; }
};

bool RarInputQuery(std::string& value) {
  TRarPasswordBox box;
  POINT p{};
  GetCursorPos(&p);
  int left, top;
  engine::PlaceAtCursor(p.x, p.y, box.Width(), box.Height(), GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), left, top);
  box.SetBounds(left, top);
  if (box.ShowModal() != 1) return false;
  value = box.GetText(box.Edit);
  return true;
}

uint32_t FileDosTime(const std::string& path, bool& exists) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  exists = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a) != 0;
  if (!exists) return 0;
  FILETIME local;
  WORD d = 0, t = 0;
  FileTimeToLocalFileTime(&a.ftLastWriteTime, &local);
  FileTimeToDosDateTime(&local, &d, &t);
  return (static_cast<uint32_t>(d) << 16) | t;
}

struct Pattern {
  std::string text;
  bool prefix;
};


}  // namespace

std::string engine::RarFailureText(int code) {
  switch (code) {
    case ERAR_BAD_DATA: return "書庫が壊れています";
    case ERAR_BAD_ARCHIVE: return "RAR 書庫ではないか、壊れています";
    case ERAR_UNKNOWN_FORMAT: return "対応していない形式です";
    case ERAR_EOPEN: return "次のボリュームを開けません";
    case ERAR_NO_MEMORY: return "メモリが足りません";
    case ERAR_EREAD: return "書庫を読めません";
    default: return "書庫を読めません (" + std::to_string(code) + ")";
  }
}

bool TArchiver::ExtractRar(TStrings* Names, char* Buffer, uint32_t Size) {
  Entries& f = *F;
  if (RarBusy || !f.RARSetChangeVolProc || !f.RARSetProcessDataProc || !f.RARReadHeader || !f.RARProcessFile ||
      !f.RAROpenArchive)
    return false;
  CallScope scope(this);
  gLogTarget = Buffer;
  gLogRoom = Size;
  if (Buffer && Size) Buffer[0] = 0;
  RarBusy = true;
  CloseArchive();
  // Everything the loop needs, held locally: the callbacks pump messages.
  const Entries e = f;
  const std::string arcName = FArcName, baseDir = FBaseDir;
  const bool noFolder = ArcOptions.Contains(ar_NoFolder), overWrite = ArcOptions.Contains(ar_OverWrite),
             silent = ArcOptions.Contains(ar_Silent);
  const HWND owner = OwnerHandle();

  RAROpenArchiveData od{};
  std::string nameBuf = arcName;
  od.ArcName = nameBuf.data();
  od.OpenMode = 1;
  void* h = e.RAROpenArchive(&od);
  if (!h || od.OpenResult != 0) {
    if (h && e.RARCloseArchive) e.RARCloseArchive(h);
    RarBusy = false;
    delete ArcuDlg;
    ArcuDlg = nullptr;
    return false;
  }
  e.RARSetChangeVolProc(h, RarChangeVolume);

  std::vector<Pattern> patterns;
  if (Names)
    for (int i = 0; i < Names->Count(); ++i) {
      std::string item = SlashToBackslash((*Names)[i]);
      if (item.size() >= 3 && item.compare(item.size() - 3, 3, "*.*") == 0)
        patterns.push_back({item.substr(0, item.size() - 3), true});
      else
        patterns.push_back({item, false});
    }
  bool success = true, askPassword = true;
  std::string base = baseDir;
  if (!base.empty() && base.back() != ':') base = arc::with_separator(base);  // "C:" stays drive-relative

  RARHeaderData hd{};
  int read;
  while ((read = e.RARReadHeader(h, &hd)) == 0) {
    const std::string name(hd.FileName, strnlen(hd.FileName, sizeof hd.FileName));
    const bool folder = IsFolderEntry(hd);
    if (Names) {
      bool match = false;
      for (const Pattern& p : patterns)
        if (p.prefix ? name.compare(0, p.text.size(), p.text) == 0 : name == p.text) {
          match = true;
          break;
        }
      if (!match) {
        e.RARProcessFile(h, RAR_SKIP, nullptr, nullptr);
        continue;
      }
    }
    // Stored names that climb out of the folder or name a drive are refused.
    auto rel = arc::safe_relative(name);
    if (!rel || rel->empty()) {
      e.RARProcessFile(h, RAR_SKIP, nullptr, nullptr);
      success = false;
      LogLine("Skipped " + name + (folder ? "\t : 作成に失敗しました\r\n" : "\t : 解凍に失敗しました\r\n"));
      continue;
    }
    std::string relName = SlashToBackslash(*rel);
    std::string target = base + (noFolder ? arc::base_name(relName) : relName);
    bool exists = false;
    uint32_t targetTime = FileDosTime(target, exists);
    if (!overWrite && exists && targetTime >= hd.FileTime) {
      LogLine("Skipped : " + name + "\t : 最新のファイルが存在\r\n");
      e.RARProcessFile(h, RAR_SKIP, nullptr, nullptr);
      continue;
    }
    if (folder && exists) {
      e.RARProcessFile(h, RAR_SKIP, nullptr, nullptr);
      continue;
    }
    if ((hd.Flags & 4) && askPassword) {
      askPassword = false;
      std::string pw;
      if (!RarInputQuery(pw)) {
        success = false;
        break;
      }
      if (e.RARSetPassword) e.RARSetPassword(h, pw.data());
    }
    int r;
    if (silent) {
      r = e.RARProcessFile(h, RAR_EXTRACT, nullptr, target.data());
    } else {
      if (!ArcuDlg) {
        ArcuDlg = new TArcuDlg;
        e.RARSetProcessDataProc(h, RarProgress);
        ArcuDlg->SetCaption("Rar 書庫の解凍");
        CenterOnOwner(*ArcuDlg, owner);
        ArcuDlg->SetText(ArcuDlg->Label1, "書庫名 :  " + arc::base_name(arcName));
        ArcuDlg->FormShow();
      }
      ArcuDlg->SetText(ArcuDlg->Label2, name);
      gProgressTotal = hd.UnpSize;
      gProgressCount = 0;
      ArcuDlg->SetPosition(0);
      ArcuDlg->Repaint();
      r = e.RARProcessFile(h, RAR_EXTRACT, nullptr, target.data());
    }
    if (r != 0) {
      success = false;
      LogLine("Skipped " + name + (folder ? "\t : 作成に失敗しました\r\n" : "\t : 解凍に失敗しました\r\n"));
    } else {
      LogLine((folder ? "mkdir " : "Melted ") + name + "\r\n");
    }
    if (!silent && ArcuDlg && ArcuDlg->Cancel) {
      LogLine("ユーザーにより中断されました。\r\n");
      break;
    }
  }
  // Only the end of the archive ends the walk cleanly: a damaged header or a
  // volume that cannot be had leaves the rest of the entries unread.
  if (read != 0 && read != ERAR_END_ARCHIVE) {
    success = false;
    LogLine("Error : " + arc::base_name(arcName) + "\t : " + engine::RarFailureText(read) + "\r\n");
  }
  if (e.RARCloseArchive) e.RARCloseArchive(h);
  RarBusy = false;
  delete ArcuDlg;
  ArcuDlg = nullptr;
  gLogTarget = nullptr;
  gLogRoom = 0;
  return success;
}

bool TArchiver::ExtractRarToMem(const std::string& Name, uint8_t* Target, uint32_t Size) {
  Entries& f = *F;
  if (RarBusy || !f.RARSetChangeVolProc || !f.RARSetProcessDataProc || !f.RARReadHeader || !f.RARProcessFile ||
      !f.RAROpenArchive)
    return false;
  CallScope scope(this);
  gLogTarget = nullptr;
  gLogRoom = 0;
  RarBusy = true;
  CloseArchive();
  const Entries e = f;
  std::string nameBuf = FArcName;
  RAROpenArchiveData od{};
  od.ArcName = nameBuf.data();
  od.OpenMode = 1;
  void* h = e.RAROpenArchive(&od);
  if (!h || od.OpenResult != 0) {
    if (h && e.RARCloseArchive) e.RARCloseArchive(h);
    RarBusy = false;
    return false;
  }
  e.RARSetChangeVolProc(h, RarChangeVolume);
  e.RARSetProcessDataProc(h, RarDataSink);
  const std::string wanted = SlashToBackslash(Name);
  bool result = false;
  RARHeaderData hd{};
  while (e.RARReadHeader(h, &hd) == 0) {
    if (std::string(hd.FileName, strnlen(hd.FileName, sizeof hd.FileName)) == wanted) {
      gMemTarget = Target;
      gMemRoom = Size;
      e.RARProcessFile(h, RAR_TEST, nullptr, nullptr);
      gMemTarget = nullptr;
      gMemRoom = 0;
      result = true;
      break;
    }
    e.RARProcessFile(h, RAR_SKIP, nullptr, nullptr);
  }
  if (e.RARCloseArchive) e.RARCloseArchive(h);
  RarBusy = false;
  return result;
}
