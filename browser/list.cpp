#include "list.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text.h"

TArcList::TArcList(TComponent* AOwner) : TComponent(AOwner) {}

TArcList::~TArcList() = default;

void TArcList::Add(const std::string& Name, uint64_t OriginalSize, uint64_t CompressedSize, double Date,
                   const std::string& Mode) {
  struct ArcFileList& r = FList.emplace_back();
  r.Name = Name;
  r.OriginalSize = OriginalSize;
  r.CompressedSize = CompressedSize;
  r.Date = Date;
  r.Mode = Mode;
}

std::array<bool, 256> SystemLeadByteTable() {
  std::array<bool, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = IsDBCSLeadByte(static_cast<BYTE>(i)) != FALSE;
  return t;
}

bool FileExists(const std::string& Path) {
  const DWORD a = GetFileAttributesA(Path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& Path) {
  const DWORD a = GetFileAttributesA(Path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FoldName(std::string_view Text) {
  bool ascii = true;
  for (unsigned char c : Text)
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  std::string out;
  if (ascii) {
    out.resize(Text.size());
    for (size_t i = 0; i < Text.size(); ++i) {
      char c = Text[i];
      out[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
  }
  // Mixed text: lower-case its Unicode form. The marker byte keeps these
  // keys apart from plain ASCII ones.
  int n = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), w.data(), n);
  if (n > 0) CharLowerBuffW(w.data(), static_cast<DWORD>(n));
  out.reserve(1 + w.size() * 2);
  out.push_back('\x01');
  for (wchar_t ch : w) {
    out.push_back(static_cast<char>(ch & 0xFF));
    out.push_back(static_cast<char>((ch >> 8) & 0xFF));
  }
  return out;
}

bool SameName(std::string_view A, std::string_view B) {
  if (A.size() == B.size()) {
    bool same = true;
    for (size_t i = 0; i < A.size() && same; ++i) same = A[i] == B[i];
    if (same) return true;
  }
  return FoldName(A) == FoldName(B);
}

int FirstSlashPos(std::string_view Text) {
  size_t i = 0;
  while (i < Text.size()) {
    unsigned char c = static_cast<unsigned char>(Text[i]);
    if (arc::is_lead(c)) {
      i += 2;
      continue;
    }
    if (c == '/') return static_cast<int>(i) + 1;
    ++i;
  }
  return 0;
}

TArcTree::TArcTree(TComponent* ListOwner) : FListOwner(ListOwner) {}

TArcTree::~TArcTree() { Clear(); }

void TArcTree::Clear() {
  FLastFolder = nullptr;
  FLastDir.clear();
  // Last made first: an owner finds its newest component soonest.
  for (size_t i = FLists.size(); i-- > 0;) delete FLists[i];
  FLists.clear();
  FFolders.clear();
}

TArcFolder* TArcTree::AddRoot(const std::string& Text) {
  Clear();
  auto f = std::make_unique<TArcFolder>();
  f->Text = Text;
  FFolders.push_back(std::move(f));
  return FFolders.back().get();
}

TArcFolder* TArcTree::AddChild(TArcFolder* Parent, std::string_view Text) {
  auto f = std::make_unique<TArcFolder>();
  f->Text.assign(Text.data(), Text.size());
  f->Parent = Parent;
  f->Level = Parent->Level + 1;
  f->Position = static_cast<int>(Parent->Children.size());
  TArcFolder* child = f.get();
  FFolders.push_back(std::move(f));
  Parent->Children.push_back(child);
  constexpr size_t kIndexFrom = 8;
  if (Parent->Index) {
    Parent->Index->emplace(FoldName(Text), child);
  } else if (Parent->Children.size() >= kIndexFrom) {
    Parent->Index = std::make_unique<std::unordered_map<std::string, TArcFolder*>>();
    Parent->Index->reserve(Parent->Children.size() * 2);
    // The first-met spelling wins: emplace keeps an existing key.
    for (TArcFolder* c : Parent->Children) Parent->Index->emplace(FoldName(c->Text), c);
  }
  return child;
}

TArcFolder* TArcTree::FindChild(const TArcFolder* Parent, std::string_view Text) const {
  if (!Parent) return nullptr;
  if (Parent->Index) {
    auto it = Parent->Index->find(FoldName(Text));
    return it == Parent->Index->end() ? nullptr : it->second;
  }
  for (TArcFolder* c : Parent->Children)
    if (SameName(c->Text, Text)) return c;
  return nullptr;
}

TArcFolder* TArcTree::SplitEntryPath(std::string_view Path, std::string& FileName, bool& SlashPath,
                                     bool WholeIsFolder) {
  TArcFolder* node = Root();
  if (!Path.empty() && Path[0] == '/') SlashPath = true;
  // Where the last component starts, stepping over double-byte characters
  // whose second byte may be a separator.
  size_t n = Path.size(), i = 0, nameStart = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(Path[i]);
    if (IsSystemLeadByte(c)) {
      if (i + 1 >= n) break;
      i += 2;
      continue;
    }
    if (c == '/' || c == '\\') nameStart = i + 1;
    ++i;
  }
  if (WholeIsFolder) nameStart = n;
  std::string_view dir = Path.substr(0, nameStart);
  FileName.assign(Path.data() + nameStart, n - nameStart);
  if (FLastFolder && dir == FLastDir) return FLastFolder;

  size_t start = 0;
  i = 0;
  while (i < dir.size()) {
    unsigned char c = static_cast<unsigned char>(dir[i]);
    if (IsSystemLeadByte(c)) {
      if (i + 1 >= dir.size()) break;
      i += 2;
      continue;
    }
    if (c == '/' || c == '\\') {
      if (i > start) {
        std::string_view comp = dir.substr(start, i - start);
        TArcFolder* child = FindChild(node, comp);
        node = child ? child : AddChild(node, comp);
      }
      start = i + 1;
    }
    ++i;
  }
  if (start < dir.size()) {  // a folder entry without its closing separator
    std::string_view comp = dir.substr(start);
    TArcFolder* child = FindChild(node, comp);
    node = child ? child : AddChild(node, comp);
  }
  FLastDir.assign(dir.data(), dir.size());
  FLastFolder = node;
  return node;
}

TArcList* TArcTree::EnsureList(TArcFolder* Folder) {
  if (!Folder->List) {
    Folder->List = new TArcList(FListOwner);
    FLists.push_back(Folder->List);
  }
  return Folder->List;
}

TArcFolder* TArcTree::FindPath(std::string_view Path) const {
  TArcFolder* node = Root();
  if (!node) return nullptr;
  std::string_view rest = Path;
  do {
    int p = FirstSlashPos(rest);
    std::string_view comp = p == 0 ? rest : rest.substr(0, static_cast<size_t>(p - 1));
    rest = p == 0 ? std::string_view() : rest.substr(static_cast<size_t>(p));
    node = FindChild(node, comp);
    if (!node) return nullptr;
  } while (!rest.empty());
  return node;
}

std::string TArcTree::FolderPath(const TArcFolder* Folder, char Sep) {
  std::vector<const TArcFolder*> chain;
  for (const TArcFolder* f = Folder; f && f->Parent; f = f->Parent) chain.push_back(f);
  std::string out;
  for (size_t i = chain.size(); i-- > 0;) {
    out += chain[i]->Text;
    out += Sep;
  }
  return out;
}

int ArchiveFolderNameLength(const std::string& Name, bool CutNumber) {
  int pos = 0, runStart = 0, afterRun = 0;
  bool inDigits = false;
  for (size_t i = 0; i < Name.size() && Name[i] != '.';) {
    unsigned char c = static_cast<unsigned char>(Name[i]);
    if (IsSystemLeadByte(c)) {
      pos += 2;
      i += 2;
      continue;
    }
    if (c >= '0' && c <= '9') {
      if (!inDigits) runStart = pos;
      inDigits = true;
    } else if (inDigits) {
      afterRun = pos;
      inDigits = false;
    }
    ++pos;
    ++i;
  }
  if (!inDigits) {
    if (!(pos == afterRun + 1 && afterRun != 0)) runStart = pos;
  } else if (runStart == 0) {
    runStart = pos;
  }
  return CutNumber ? runStart : pos;
}

std::string FormatThousands(uint64_t Value) {
  static const std::string sep = [] {
    char buf[8] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, sizeof(buf)) > 0 ? std::string(buf)
                                                                                         : std::string(",");
  }();
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + Value % 10);
    Value /= 10;
  } while (Value);
  std::string out;
  out.reserve(static_cast<size_t>(n) + static_cast<size_t>(n / 3) * sep.size());
  for (int i = n - 1; i >= 0; --i) {
    out.push_back(digits[i]);
    if (i > 0 && i % 3 == 0) out += sep;
  }
  return out;
}

namespace {

struct TDateParts {
  int Year, Month, Day, Hour, Minute;
};

TDateParts DecodeListDate(double Date) {
  // Whole days from the epoch of the date-time, then the time of day to the
  // millisecond, as the run-time library decodes them.
  double whole = Date < 0 ? -std::floor(-Date) : std::floor(Date);
  double frac = Date - whole;
  if (frac < 0) frac = -frac;
  int64_t ms = static_cast<int64_t>(frac * 86400000.0 + 0.5);
  if (ms >= 86400000) ms = 86399999;
  TDateParts p{};
  int64_t year = 0;
  arc::civil_from_days(static_cast<int64_t>(whole) - 25569, year, p.Month, p.Day);  // day 0 is 1899-12-30
  p.Year = static_cast<int>(year);
  p.Hour = static_cast<int>(ms / 3600000);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  return p;
}

}  // namespace

std::string FormatListDate(double Date) {
  TDateParts p = DecodeListDate(Date);
  char buf[40];
  snprintf(buf, sizeof(buf), "%04d/%02d/%02d %02d:%02d", p.Year, p.Month, p.Day, p.Hour, p.Minute);
  return buf;
}

std::string FormatRatio(uint64_t Original, uint64_t Compressed) {
  double v = Original == 0 ? 0.0 : static_cast<double>(Compressed) / static_cast<double>(Original) * 100.0;
  // One decimal, halves rounded up as the run-time's formatting does.
  int64_t tenths = static_cast<int64_t>(std::floor(v * 10.0 + 0.5));
  char buf[40];
  snprintf(buf, sizeof(buf), "%lld.%d%%", static_cast<long long>(tenths / 10), static_cast<int>(tenths % 10));
  return buf;
}

std::string NameExtension(const std::string& Name) {
  size_t dot = Name.rfind('.');
  return dot == std::string::npos ? std::string() : Name.substr(dot);
}

std::string TextSortKey(const std::string& Text) {
  if (Text.empty()) return std::string();
  char local[256];
  int n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, Text.data(),
                       static_cast<int>(Text.size()), local, sizeof(local));
  if (n > 0) return std::string(local, static_cast<size_t>(n - 1));
  n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, Text.data(), static_cast<int>(Text.size()),
                   nullptr, 0);
  if (n <= 0) return Text;
  std::string key(static_cast<size_t>(n), '\0');
  LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, Text.data(), static_cast<int>(Text.size()),
               key.data(), n);
  key.resize(static_cast<size_t>(n - 1));
  return key;
}

void TFileRows::Clear() {
  FRows.clear();
  FOrder.clear();
  for (auto& t : FText) t.clear();
  for (auto& v : FNumber) v.clear();
  for (bool& m : FMade) m = false;
}

void TFileRows::Reserve(size_t n) {
  FRows.reserve(n);
  FOrder.reserve(n);
}

void TFileRows::AddFolder(const std::string& Caption, int Position) {
  TFileRow& r = FRows.emplace_back();
  r.Caption = Caption;
  r.Mode = "-dir-";
  r.Position = Position;
  r.Image = 1;
  r.Folder = true;
  FOrder.push_back(static_cast<int>(FRows.size()) - 1);
}

void TFileRows::AddEntry(const struct ArcFileList& R, int Position, int Image) {
  TFileRow& r = FRows.emplace_back();
  r.Caption = R.Name;
  r.Mode = R.Mode;
  r.Size = R.OriginalSize;
  r.Compressed = R.CompressedSize;
  r.Date = R.Date;
  r.Position = Position;
  r.Image = Image;
  FOrder.push_back(static_cast<int>(FRows.size()) - 1);
}

std::string TFileRows::SubItem(int i, int Sub) const {
  const TFileRow& r = Row(i);
  switch (Sub) {
    case 0: return r.Folder ? std::string() : FormatThousands(r.Size);
    case 1: return r.Folder ? std::string() : FormatListDate(r.Date);
    case 2: return r.Folder ? std::string() : FormatRatio(r.Size, r.Compressed);
    case 3: return r.Mode;
    case 4: return std::to_string(r.Size);
    case 5: return std::to_string(r.Position);
    default: return std::string();
  }
}

void TFileRows::MakeKeys(TSortKey Key) {
  if (FMade[Key]) return;
  const size_t n = FRows.size();
  switch (Key) {
    case skName:
    case skExt:
    case skRate:
    case skType: {
      auto& keys = FText[Key];
      keys.resize(n);
      for (size_t i = 0; i < n; ++i) {
        const TFileRow& r = FRows[i];
        if (Key == skName) keys[i] = TextSortKey(r.Caption);
        else if (Key == skExt) keys[i] = TextSortKey(NameExtension(r.Caption));
        else if (Key == skRate) keys[i] = r.Folder ? std::string() : TextSortKey(FormatRatio(r.Size, r.Compressed));
        else keys[i] = TextSortKey(r.Mode);
      }
      break;
    }
    case skSize:
    case skDate: {
      auto& nums = FNumber[Key];
      nums.resize(n);
      for (size_t i = 0; i < n; ++i) {
        const TFileRow& r = FRows[i];
        if (Key == skSize) {
          nums[i] = static_cast<int64_t>(r.Size);
        } else if (r.Folder) {
          nums[i] = -1;  // folder rows show no date: all alike
        } else {
          // The shown text has fixed-width fields, so its order is the order
          // of the minute it names.
          TDateParts p = DecodeListDate(r.Date);
          nums[i] = (((static_cast<int64_t>(p.Year) * 13 + p.Month) * 32 + p.Day) * 24 + p.Hour) * 60 + p.Minute;
        }
      }
      break;
    }
    default: break;
  }
  FMade[Key] = true;
}

int TFileRows::Compare(int A, int B, TSortKey Key) const {
  const TFileRow& a = FRows[static_cast<size_t>(A)];
  const TFileRow& b = FRows[static_cast<size_t>(B)];
  if (a.Image != b.Image) {
    if (a.Image == 1) return -1;
    if (b.Image == 1) return 1;
  }
  switch (Key) {
    case skName:
    case skExt:
    case skRate:
    case skType: {
      int c = FText[Key][static_cast<size_t>(A)].compare(FText[Key][static_cast<size_t>(B)]);
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case skSize:
    case skDate: {
      int64_t x = FNumber[Key][static_cast<size_t>(A)], y = FNumber[Key][static_cast<size_t>(B)];
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    case skNone:
    default:
      return a.Position < b.Position ? -1 : (a.Position > b.Position ? 1 : 0);
  }
}

void TFileRows::Sort(TSortKey Key, bool Descending) {
  if (Key == skNone) {
    // Fill order is folder rows by position, then entries in archive order.
    for (size_t i = 0; i < FOrder.size(); ++i) FOrder[i] = static_cast<int>(i);
    return;
  }
  MakeKeys(Key);
  if (Descending)
    std::stable_sort(FOrder.begin(), FOrder.end(), [&](int a, int b) { return Compare(a, b, Key) > 0; });
  else
    std::stable_sort(FOrder.begin(), FOrder.end(), [&](int a, int b) { return Compare(a, b, Key) < 0; });
}
