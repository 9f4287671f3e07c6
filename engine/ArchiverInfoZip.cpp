// ZIP archives through the Info-ZIP pair: option records and callbacks in
// place of command texts; the listing pushes every entry at once into the
// shared queue that find-next drains.
#include <cstring>
#include <vector>

#include "Archiver.h"
#include "ArchiverImpl.h"
#include "arc_dlg.h"
#include "pswd2.h"
#include "text.h"

using namespace arcapi;

namespace {

bool gShowZipBox = false;
char* gPrintTarget = nullptr;
uint32_t gPrintSize = 0;
uint32_t gPrintUsed = 0;
std::string gCachedPassword;
char gDateOrder = '0';
TArcDlg* gBox = nullptr;
ZPOPT gZipOptions{};
char gRootDir[engine::kRootDirChars + 1];

void SetPrintTarget(char* buf, uint32_t size) {
  gPrintTarget = buf;
  gPrintSize = buf ? size : 0;
  gPrintUsed = 0;
  if (buf && size) buf[0] = 0;
}

int ARCAPI InfoZipPrint(char* text, unsigned long length) {
  if (!gPrintTarget || gPrintUsed >= gPrintSize) return 0;
  uint32_t n = static_cast<uint32_t>(length);
  if (n > gPrintSize - gPrintUsed - 1) n = gPrintSize - gPrintUsed - 1;
  // Only what was really copied counts: a NUL inside the text ends it.
  uint32_t copied = 0;
  while (copied < n && text[copied]) {
    gPrintTarget[gPrintUsed + copied] = text[copied];
    ++copied;
  }
  gPrintUsed += copied;
  gPrintTarget[gPrintUsed] = 0;
  return static_cast<int>(gPrintUsed);
}

int GivePassword(char* buf, int size, bool confirm) {
  if (gCachedPassword.empty()) {
    std::string pw;
    if (AskPassword(pw, confirm) != 1) return 1;
    gCachedPassword = pw;
  }
  if (size <= 0) return 1;
  size_t n = gCachedPassword.size() < static_cast<size_t>(size - 1) ? gCachedPassword.size() : size - 1;
  std::memcpy(buf, gCachedPassword.data(), n);
  buf[n] = 0;
  return 0;
}

int ARCAPI InfoZipPassword(char* buf, int size, const char*, const char*) { return GivePassword(buf, size, true); }
int ARCAPI InfoZipPasswordOnce(char* buf, int size, const char*, const char*) {
  return GivePassword(buf, size, false);
}

int ARCAPI InfoZipService(const char* entry, unsigned long) {
  if (gShowZipBox && gBox) {
    gBox->SetText(gBox->Label2, entry ? entry : "");
    gBox->Repaint();
    engine::ProcessMessages();
  }
  return AbortFlag;
}

int ARCAPI InfoZipReplace(char*) { return 104; }
int ARCAPI InfoZipSound(char*) { return 0; }

void ARCAPI InfoZipListEntry(unsigned long ucsize, unsigned long csize, unsigned, unsigned a, unsigned b, unsigned c,
                             unsigned hour, unsigned minute, char, char* name, char* method, unsigned long crc,
                             char) {
  if (!ArcFileList) return;
  TArcEntryRec* r = ArcFileList->Add();
  if (!r) return;
  r->dwOriginalSize = static_cast<uint32_t>(ucsize);
  r->dwCompressedSize = static_cast<uint32_t>(csize);
  r->dwCRC = static_cast<uint32_t>(crc);
  r->wRatio = ucsize ? static_cast<uint16_t>(static_cast<uint64_t>(csize) * 1000 / ucsize) : 0;
  if (name) strncpy(r->szFileName, name, sizeof r->szFileName - 1);
  if (method) strncpy(r->szMode, method, 7);
  r->wDate = engine::InfoZipDosDate(gDateOrder, a, b, c);
  r->wTime = static_cast<uint16_t>(hour * 2048 + minute * 32);
}

char LocaleDateOrder() {
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDATE, buf, sizeof buf) > 0 && buf[0]) return buf[0];
  return '0';
}

// The progress box of a run, centred on the owner form.
void ShowBox(HWND owner, const std::string& arcName) {
  gBox = new TArcDlg;
  gBox->SetCaption("ZIP 書庫の操作");
  CenterOnOwner(*gBox, owner);
  gBox->SetText(gBox->Label1, "書庫名 :  " + arc::base_name(arcName));
  gBox->SetText(gBox->Label2, "");
  gBox->ShowBox();
}

void FreeBox() {
  delete gBox;
  gBox = nullptr;
}

// A null-terminated array over copies of the names.
struct NameArray {
  explicit NameArray(const TStrings* names) {
    if (names)
      for (int i = 0; i < names->Count(); ++i) copies.push_back((*names)[i]);
    for (auto& s : copies) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
  }
  std::vector<std::string> copies;
  std::vector<char*> ptrs;
};

}  // namespace

namespace engine {

ZPOPT& ZipOptions() { return gZipOptions; }

void ResetZipOptions() {
  char* base = reinterpret_cast<char*>(&gZipOptions);
  std::memset(base + offsetof(ZPOPT, fTemp), 0, offsetof(ZPOPT, fLevel) - offsetof(ZPOPT, fTemp));
  gZipOptions.fLevel = '6';
  gCachedPassword.clear();
}

void ResetUnzipOptions(DCL& dcl) {
  std::memset(&dcl, 0, sizeof dcl);
  dcl.C_flag = 1;
  dcl.fPrivilege = 1;
  SetPrintTarget(nullptr, 0);
  gCachedPassword.clear();
}

bool SetRootDir(const std::string& dir) {
  if (dir.size() > kRootDirChars) return false;
  std::memcpy(gRootDir, dir.c_str(), dir.size() + 1);
  return true;
}

char* RootDir() { return gRootDir; }

}  // namespace engine

bool TArchiver::ZipRun(TStrings* Names, char* Buffer, uint32_t Size) {
  if (ZipBusy) return false;
  CallScope scope(this);
  const FnZpInit init = F->ZpInit;
  const FnZpSetOptions setOptions = F->ZpSetOptions;
  const FnZpArchive archive = F->ZpArchive;
  ZipBusy = true;
  gShowZipBox = !ArcOptions.Contains(ar_Silent);
  SetPrintTarget(Buffer, Size);
  static ZIPUSERFUNCTIONS uf;
  uf = {};
  uf.print = InfoZipPrint;
  uf.comment = InfoZipSound;
  uf.password = InfoZipPassword;
  uf.ServiceApplication = InfoZipService;
  std::string arcName = FArcName, outName = FOutName;
  bool shown = false;
  bool result = false;
  if (init && setOptions && archive && (Names || gZipOptions.fJunkSFX || gZipOptions.fOffsets)) {
    if (gShowZipBox) {
      ShowBox(OwnerHandle(), arcName);
      shown = true;
    }
    init(&uf);
    setOptions(&gZipOptions);
    AbortFlag = 0;
    if (Names) {
      NameArray a(Names);
      result = archive(ZCL{Names->Count(), arcName.data(), a.ptrs.data()}) == 0;
    } else {
      result = archive(ZCL{0, outName.data(), nullptr}) == 0;
    }
  }
  if (shown) FreeBox();
  SetPrintTarget(nullptr, 0);
  ZipBusy = false;
  return result;
}

int TArchiver::InfoZipFindFirst(const std::string& Wildcard) {
  if (FArcName.empty() || InfoZipBusy) return -1;
  CallScope scope(this);
  const FnWizSingleEntryUnzip unzip = F->Wiz_SingleEntryUnzip;
  std::string wild = Wildcard == "*.*" ? "*" : Wildcard;
  InfoZipBusy = true;
  gDateOrder = LocaleDateOrder();
  if (ArcFileList) ArcFileList->Clear();
  FArcOriginalSize = FArcCompressedSize = 0;
  gShowZipBox = false;
  USERFUNCTIONS uf{};
  uf.print = InfoZipPrint;
  uf.replace = InfoZipReplace;
  uf.SendApplicationMessage = InfoZipListEntry;
  DCL dcl;
  engine::ResetUnzipOptions(dcl);
  std::string zip = FArcName;
  dcl.lpszZipFN = zip.data();
  dcl.nvflag = 1;
  if (!unzip) {
    InfoZipBusy = false;
    return -1;
  }
  char* names[] = {wild.data(), nullptr};
  int r = unzip(1, names, 0, nullptr, &dcl, &uf);
  InfoZipBusy = false;
  if (!scope.Alive()) return -1;
  if (r == 0) return ArcFileList ? ArcFileList->PopFirst(&FEntry) : -1;
  return r;
}

bool TArchiver::InfoZipExtract(TStrings& Names, char* Buffer, uint32_t Size) {
  if (FArcName.empty() || InfoZipBusy) return false;
  CallScope scope(this);
  const FnWizSingleEntryUnzip unzip = F->Wiz_SingleEntryUnzip;
  InfoZipBusy = true;
  if (ArcFileList) ArcFileList->Clear();
  gShowZipBox = !ArcOptions.Contains(ar_Silent);
  USERFUNCTIONS uf{};
  uf.print = InfoZipPrint;
  uf.replace = InfoZipReplace;
  uf.password = InfoZipPasswordOnce;
  uf.ServCallBk = InfoZipService;
  DCL dcl;
  engine::ResetUnzipOptions(dcl);
  std::string zip = FArcName;
  dcl.lpszZipFN = zip.data();
  if (!engine::SetRootDir(FBaseDir)) {  // a folder that does not fit is not cut short
    InfoZipBusy = false;
    return false;
  }
  dcl.lpszExtractDir = engine::RootDir();
  SetPrintTarget(Buffer, Size);
  if (!ArcOptions.Contains(ar_NoFolder)) dcl.ndflag = 1;
  if (ArcOptions.Contains(ar_OverWrite))
    dcl.noflag = 1;
  else
    dcl.ExtractOnlyNewer = 1;
  for (int i = 0; i < Names.Count(); ++i)
    if (Names[i] == "*.*") Names[i] = "*";
  NameArray a(&Names);
  bool result = false;
  if (unzip) {
    if (gShowZipBox) ShowBox(OwnerHandle(), FArcName);
    AbortFlag = 0;
    result = unzip(Names.Count(), a.ptrs.data(), 0, nullptr, &dcl, &uf) == 0;
    if (AbortFlag == 1 && gPrintTarget && gPrintSize - gPrintUsed > 27) {
      static const char kLine[] = "\r\nユーザーが中断しました。";
      InfoZipPrint(const_cast<char*>(kLine), sizeof kLine - 1);
    }
    FreeBox();
  }
  SetPrintTarget(nullptr, 0);
  InfoZipBusy = false;
  return result;
}

bool TArchiver::InfoZipToMem(const std::string& Name, uint8_t* Target, uint32_t Size) {
  if (FArcName.empty() || InfoZipBusy) return false;
  const FnWizUnzipToMemory toMemory = F->Wiz_UnzipToMemory;
  if (!toMemory) return false;
  CallScope scope(this);
  InfoZipBusy = true;
  gShowZipBox = false;
  SetPrintTarget(nullptr, 0);
  USERFUNCTIONS uf{};
  uf.print = InfoZipPrint;
  uf.replace = InfoZipReplace;
  gCachedPassword.clear();
  std::string zip = FArcName, entry = Name;
  UzpBuffer out{};
  bool ok = toMemory(zip.data(), entry.data(), &uf, &out) != 0;
  if (ok && out.strptr && Target)
    std::memcpy(Target, out.strptr, out.strlength < Size ? out.strlength : Size);
  InfoZipBusy = false;
  return ok;
}

bool TArchiver::InfoZipTest(char* Buffer, uint32_t Size) {
  // A run already under way (pumping its messages) is not entered again.
  if (FArcName.empty() || InfoZipBusy) return false;
  CallScope scope(this);
  const FnWizSingleEntryUnzip unzip = F->Wiz_SingleEntryUnzip;
  gShowZipBox = false;
  if (ArcFileList) ArcFileList->Clear();
  USERFUNCTIONS uf{};
  uf.print = InfoZipPrint;
  uf.replace = InfoZipReplace;
  uf.password = InfoZipPassword;
  DCL dcl;
  engine::ResetUnzipOptions(dcl);
  std::string zip = FArcName;
  dcl.lpszZipFN = zip.data();
  SetPrintTarget(Buffer, Size);
  dcl.ntflag = 1;
  bool result = false;
  if (unzip) {
    InfoZipBusy = true;
    result = unzip(0, nullptr, 0, nullptr, &dcl, &uf) == 0;
    InfoZipBusy = false;
  }
  SetPrintTarget(nullptr, 0);
  return result;
}
