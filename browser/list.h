// The listed archive in memory: one TArcList of entries per folder, and the
// folder tree those lists hang on. The tree view only shows these folders;
// lookups never go through the control.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Classes.h"

// One entry of a folder. The sizes are unsigned 64-bit: entries of 2 to 4 GB
// stay positive, and larger ones keep the full sizes the libraries answer.
struct ArcFileList {
  std::string Name;  // without its folder
  uint64_t OriginalSize = 0;
  uint64_t CompressedSize = 0;
  double Date = 0;  // days since 1899-12-30, time as the fraction
  std::string Mode;
};

// The entries that lie directly in one folder, in the order the walk met them.
class TArcList : public TComponent {
 public:
  explicit TArcList(TComponent* AOwner);
  ~TArcList() override;
  void Add(const std::string& Name, uint64_t OriginalSize, uint64_t CompressedSize, double Date,
           const std::string& Mode);
  // 0-based; the pointer stays valid while the list lives. (The engine has a
  // global of the same name, so the type is spelt with its class key.)
  struct ArcFileList* GetItem(int Index) const {
    return const_cast<struct ArcFileList*>(&FList[static_cast<size_t>(Index)]);
  }
  int GetCount() const { return static_cast<int>(FList.size()); }
  int Count() const { return GetCount(); }

 private:
  std::deque<struct ArcFileList> FList;
};

// A folder of the archive. Text is the component as first met; children keep
// the order in which the walk first met them.
struct TArcFolder {
  std::string Text;
  TArcFolder* Parent = nullptr;
  std::vector<TArcFolder*> Children;
  TArcList* List = nullptr;  // nothing when no entry lies directly here
  void* Node = nullptr;      // the view's node showing this folder
  int Level = 0;             // 0 for the root
  int Position = 0;          // index among the parent's children
  // Children by case-folded text, made once there are a few of them.
  std::unique_ptr<std::unordered_map<std::string, TArcFolder*>> Index;
};

// Case fold used to compare folder names: ASCII letters by byte, anything
// else through the system's Unicode lower-casing of the code page's text.
std::string FoldName(std::string_view Text);
bool SameName(std::string_view A, std::string_view B);

// 1-based position of the first '/' that is not the second byte of a
// double-byte character (fixed Shift-JIS lead ranges); 0 when there is none.
int FirstSlashPos(std::string_view Text);

// Lead-byte test of the system code page (table made once). Inline: the
// walk of an archive asks it for every byte of every entry name.
std::array<bool, 256> SystemLeadByteTable();
inline bool IsSystemLeadByte(unsigned char c) {
  static const std::array<bool, 256> table = SystemLeadByteTable();
  return table[c];
}

// Paths are cut and joined by the shared rules of text.h (arc::name_start,
// arc::without_separator, arc::join_path ...).
bool FileExists(const std::string& Path);     // a file, not a folder
bool FolderExists(const std::string& Path);

class TArcTree {
 public:
  // Lists are created with ListOwner as their owner (the tree view component).
  explicit TArcTree(TComponent* ListOwner);
  ~TArcTree();
  TArcTree(const TArcTree&) = delete;
  TArcTree& operator=(const TArcTree&) = delete;

  // Frees every folder and every list.
  void Clear();
  bool Empty() const { return FFolders.empty(); }
  TArcFolder* Root() const { return FFolders.empty() ? nullptr : FFolders.front().get(); }
  TArcFolder* AddRoot(const std::string& Text);

  // Finds or makes the folder of one stored path and returns it; FileName gets
  // the last component (empty for a path that ends in a separator). Empty
  // components ("/usr/x", "a//b") are passed over, so such entries still land
  // in the folder their other components name. With WholeIsFolder the whole
  // path names a folder (an entry that is a folder itself).
  // SlashPath is set when the path begins with '/'.
  TArcFolder* SplitEntryPath(std::string_view Path, std::string& FileName, bool& SlashPath,
                             bool WholeIsFolder = false);

  // The folder's list, made on first use.
  TArcList* EnsureList(TArcFolder* Folder);

  // Child of Parent whose name equals Text (case-insensitive), or nothing.
  TArcFolder* FindChild(const TArcFolder* Parent, std::string_view Text) const;
  // Folder named by a "/"-separated path below the root ("docs/img/"), or nothing.
  TArcFolder* FindPath(std::string_view Path) const;

  // Every folder, root first, each parent before its children.
  const std::vector<std::unique_ptr<TArcFolder>>& Folders() const { return FFolders; }
  size_t FolderCount() const { return FFolders.size(); }

  // "docs/img/" with Sep '/' ("" for the root), "docs\img\" with Sep '\\'.
  static std::string FolderPath(const TArcFolder* Folder, char Sep);

 private:
  TArcFolder* AddChild(TArcFolder* Parent, std::string_view Text);

  TComponent* FListOwner;
  std::vector<std::unique_ptr<TArcFolder>> FFolders;
  std::vector<TArcList*> FLists;  // creation order
  // The folder of the last path, so that runs of entries in one folder skip
  // the lookups.
  std::string FLastDir;
  TArcFolder* FLastFolder = nullptr;
};

// The walk of one archive's entries into Tree (its root already added).
// Source is the engine or anything with its FindFirst/FindNext/FindMode/
// FindName/FindDate/FindOriginalSize/FindCompressedSize. Folder marks
// ("-lhd-") are passed over; a RAR "dir" entry names a folder, not a file in
// its parent. Answers the entries counted; Newest gets the latest date.
template <class Source>
int WalkEntries(TArcTree& Tree, Source& Src, bool Rar, bool& SlashPaths, double& Newest) {
  int count = 0;
  std::string rest;
  if (Src.FindFirst("*.*") != 0) return 0;
  do {
    const std::string mode = Src.FindMode();
    if (mode == "-lhd-") continue;
    const std::string name = Src.FindName();
    const bool isFolder = Rar && mode == "dir";
    TArcFolder* folder = Tree.SplitEntryPath(name, rest, SlashPaths, isFolder);
    TArcList* list = Tree.EnsureList(folder);
    const double date = Src.FindDate();
    if (!rest.empty()) list->Add(rest, Src.FindOriginalSize(), Src.FindCompressedSize(), date, mode);
    if (date > Newest) Newest = date;
    ++count;
  } while (Src.FindNext() == 0);
  return count;
}

// Path helpers shared by the commands.
// How many leading bytes of an archive's file name name the folder that
// "make folder" creates; with CutNumber a trailing number is cut
// (data01.lzh gives data, 12a.lzh gives 0).
int ArchiveFolderNameLength(const std::string& Name, bool CutNumber);

// Texts of the file list.
std::string FormatThousands(uint64_t Value);          // "1,234,567"
std::string FormatListDate(double Date);              // "yyyy/mm/dd hh:nn"
std::string FormatRatio(uint64_t Original, uint64_t Compressed);  // "45.3%"
// The extension of a name from its last dot on ("" without one).
std::string NameExtension(const std::string& Name);

// The rows of the file list: folder rows, then entry rows, and the order in
// which they are shown. Sort keys are made once per fill, on first use.
enum TSortKey { skName, skExt, skSize, skDate, skRate, skType, skNone };

struct TFileRow {
  std::string Caption;
  std::string Mode;      // "-dir-" for a folder row
  uint64_t Size = 0;     // original size; 0 for folders
  uint64_t Compressed = 0;
  double Date = 0;
  int Position = 0;      // archive order (folders: index among the children)
  int Image = -1;        // 1 folder, 3 text, 4 picture, -1 none
  bool Folder = false;
};

class TFileRows {
 public:
  void Clear();
  void Reserve(size_t n);
  void AddFolder(const std::string& Caption, int Position);
  void AddEntry(const struct ArcFileList& R, int Position, int Image);
  int Count() const { return static_cast<int>(FOrder.size()); }
  // Row by its place in the list as shown.
  const TFileRow& Row(int i) const { return FRows[static_cast<size_t>(FOrder[static_cast<size_t>(i)])]; }
  TFileRow& Row(int i) { return FRows[static_cast<size_t>(FOrder[static_cast<size_t>(i)])]; }
  // Sub-item texts as the list shows them: 0 size, 1 date, 2 ratio, 3 method,
  // 4 size in plain decimal, 5 archive position.
  std::string SubItem(int i, int Sub) const;
  // Stable sort: folder rows before entry rows, then the key; Descending
  // negates the whole comparison (folder rows go last). skNone restores the
  // fill order.
  void Sort(TSortKey Key, bool Descending);
  // The comparison itself (for tests): negative, 0 or positive.
  int Compare(int A, int B, TSortKey Key) const;  // fill indexes

 private:
  void MakeKeys(TSortKey Key);
  std::vector<TFileRow> FRows;   // fill order
  std::vector<int> FOrder;       // shown order: indexes into FRows
  std::vector<std::string> FText[6];
  std::vector<int64_t> FNumber[6];
  bool FMade[7] = {};
};

// The locale's case-insensitive sort key of a text: comparing two keys
// byte by byte orders as the locale's case-insensitive comparison does.
std::string TextSortKey(const std::string& Text);
