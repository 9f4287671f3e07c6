// Listing an archive into the folder tree, the file list of the selected
// folder, sorting, selection and the status bar.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <unordered_map>

#include "list.h"
#include "main.h"
#include "text.h"

namespace {

class TWaitCursor {
 public:
  TWaitCursor() : FOld(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~TWaitCursor() { SetCursor(FOld ? FOld : LoadCursor(nullptr, IDC_ARROW)); }

 private:
  HCURSOR FOld;
};

bool SameTextCI(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

void Enable(TMenuItem* m, bool on) {
  if (m) m->SetEnabled(on);
}
void Enable(TToolButton* b, bool on) {
  if (b) b->SetEnabled(on);
}

}  // namespace

struct TVantrelbyHalvek::TListState {
  explicit TListState(TComponent* listOwner) : Tree(listOwner) {}
  TArcTree Tree;
  std::unordered_map<TTreeNode*, TArcFolder*> FolderOf;
  TFileRows Rows;
  TArcFolder* Current = nullptr;  // folder shown in the file list
  bool Listing = false;
  bool RelistPending = false;
};

// ---------------------------------------------------------------------------
// Wiring

void TVantrelbyHalvek::WireListCommands() {
  FListState = std::make_shared<TListState>(TreeView1);
  auto on = [this](void (TVantrelbyHalvek::*m)(TObject*)) { return [this, m](TObject* s) { (this->*m)(s); }; };

  TreeView1->OnChange = [this](TObject* s, TTreeNode* n) { TreeView1Change(s, n); };
  TreeView1->OnClick = on(&TVantrelbyHalvek::TreeView1Click);
  TreeView1->OnEnter = on(&TVantrelbyHalvek::TreeView1Enter);
  ListView1->OnData = [this](TObject*, TLVDispItem& item) {
    auto& rows = FListState->Rows;
    if (item.Index < 0 || item.Index >= rows.Count()) return;
    const TFileRow& r = rows.Row(item.Index);
    item.Caption = r.Caption;
    item.ImageIndex = r.Image;
    item.SubItems.clear();
    for (int s = 0; s < 6; ++s) item.SubItems.push_back(rows.SubItem(item.Index, s));
  };
  ListView1->OnColumnClick = [this](TObject* s, int c) { ListView1ColumnClick(s, c); };
  ListView1->OnClick = on(&TVantrelbyHalvek::ListView1Click);
  ListView1->OnEnter = on(&TVantrelbyHalvek::ListView1Enter);
  ListView1->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { ListView1KeyDown(s, k, sh); };

  SortName->OnClick = on(&TVantrelbyHalvek::SortNameClick);
  SortExt->OnClick = on(&TVantrelbyHalvek::SortExtClick);
  SortSize->OnClick = on(&TVantrelbyHalvek::SortSizeClick);
  SortDate->OnClick = on(&TVantrelbyHalvek::SortDateClick);
  SortRate->OnClick = on(&TVantrelbyHalvek::SortRateClick);
  SortType->OnClick = on(&TVantrelbyHalvek::SortTypeClick);
  SortNon->OnClick = on(&TVantrelbyHalvek::SortNonClick);
  if (SortNonBtn1) SortNonBtn1->OnClick = on(&TVantrelbyHalvek::SortNonClick);
  if (SortExtBtn1) SortExtBtn1->OnClick = on(&TVantrelbyHalvek::SortExtBtn1Click);
  SelectAll1->OnClick = on(&TVantrelbyHalvek::SelectAll1Click);
  if (SelectAllBtn1) SelectAllBtn1->OnClick = on(&TVantrelbyHalvek::SelectAll1Click);
  SelectChg1->OnClick = on(&TVantrelbyHalvek::SelectChg1Click);
  if (SelectChgBtn1) SelectChgBtn1->OnClick = on(&TVantrelbyHalvek::SelectChg1Click);
  if (UpDirBtn) UpDirBtn->OnClick = on(&TVantrelbyHalvek::UpDirBtnClick);

  Application->OnHint = on(&TVantrelbyHalvek::ShowAppHint);
  AddMessageHandler(WM_MENUSELECT, [this](TMessage& m) { return MenuSelectMessage(m); });
  AddMessageHandler(WM_ENTERMENULOOP, [this](TMessage& m) { return EnterMenuLoopMessage(m); });
  AddMessageHandler(WM_EXITMENULOOP, [this](TMessage& m) { return ExitMenuLoopMessage(m); });
  for (TPopupMenuEx* p : {PopupMenuEx1, PopupMenuEx2, PopupMenuEx4})
    if (p) p->OnPopup = on(&TVantrelbyHalvek::PopupMenuEx1Popup);
  for (TPopupMenuEx* p : {PopupMenuEx1, PopupMenuEx2, PopupMenuEx3, PopupMenuEx4})
    if (p) p->OnDonePopup = on(&TVantrelbyHalvek::PopupMenuEx1DonePopup);
}

// ---------------------------------------------------------------------------
// Listing

void TVantrelbyHalvek::ListArchive() {
  TListState& st = *FListState;
  // Painting during the listing runs no queued input, but a caller inside
  // another command's message pump may still arrive here: the listing then
  // runs again once the current one has finished.
  if (st.Listing) {
    st.RelistPending = true;
    return;
  }
  st.Listing = true;
  try {
    do {
      st.RelistPending = false;
      ListArchiveBody();
    } while (st.RelistPending);
  } catch (...) {
    st.Listing = false;
    throw;
  }
  st.Listing = false;
}

void TVantrelbyHalvek::ListArchiveBody() {
  TListState& st = *FListState;

  // 1-2. Empty the list; clearing the tree must not refill it.
  ListView1->Perform(WM_SETREDRAW, FALSE);
  st.Rows.Clear();
  st.Current = nullptr;
  ClearPreviewState();
  ListView1->SetItemCount(0);
  ListView1->Perform(WM_SETREDRAW, TRUE);
  TreeView1->OnChange = nullptr;
  bool treeUpdate = false;
  std::unique_ptr<TWaitCursor> wait;
  auto reattach = [this] { TreeView1->OnChange = [this](TObject* s, TTreeNode* n) { TreeView1Change(s, n); }; };
  try {
    ClearFolderTree();
    TreeView1->OnChange = nullptr;
    FSlashPaths = false;

    // 4. The root, painted before the walk starts.
    const std::string arcName = Archive1->ArcName();
    const std::string fileName = arc::file_name(arcName);
    TArcFolder* root = st.Tree.AddRoot(fileName);
    TTreeNode* rootNode = TreeView1->Items.AddChild(nullptr, fileName);
    root->Node = rootNode;
    st.FolderOf[rootNode] = root;
    // Repaint only: no queued input or DDE runs while the tree is half built.
    // A window being shown for the first time has nothing on it yet: it is
    // painted once, listed.
    if (!FFirstShow) RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    TreeView1->Items.BeginUpdate();
    treeUpdate = true;
    FNewestDate = 0;
    wait = std::make_unique<TWaitCursor>();

    // 5.
    SetCaption(fileName + " (" + arc::folder_of(arcName) + ") - Tovix");
    Application->SetTitle(fileName + " - Tovix");

    int count = 0;
    bool listed = false;
    DWORD attrs = arcName.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(arcName.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
      // 7. The walk.
      count = WalkEntries(st.Tree, *Archive1, Archive1->ArcMode() == amRar, FSlashPaths, FNewestDate);
      // 8.
      Archive1->CloseArchive();
      FTotalSize = Archive1->ArcOriginalSize();
      FTotalCompressed = Archive1->ArcCompressedSize();
      listed = true;
    }
    if (!listed) {
      FTotalSize = 0;
      FTotalCompressed = 0;
    }
    // 9.
    StatusBar1->Panels(0).SetText(std::to_string(count) + " Files (" +
                                  FormatThousands(static_cast<uint64_t>(FTotalSize < 0 ? 0 : FTotalSize)) +
                                  " Byte)");
    // An archive the libraries could not read (or not to its end) says why,
    // in place of the folder's totals: the list alone would look like an
    // empty archive, or a whole one.
    FListFailure = listed ? Archive1->FindFailure() : std::string();
    StatusBar1->Panels(1).SetText(FListFailure);

    if (count > 0) {
      // 11. The folder nodes, in the order the walk met them (parents first).
      const auto& folders = st.Tree.Folders();
      st.FolderOf.reserve(folders.size() * 2);
      // Every folder below the closed root goes in marked open, then the root
      // opens once: the control lays out the whole tree in one pass.
      // (Opening nodes one by one re-lays the rest of the tree each time.)
      const bool expand = Settings.Other.Expand;
      for (size_t i = 1; i < folders.size(); ++i) {
        TArcFolder* f = folders[i].get();
        TTreeNode* node = TreeView1->Items.AddChild(static_cast<TTreeNode*>(f->Parent->Node), f->Text, 1, 2,
                                                    expand && !f->Children.empty());
        f->Node = node;
        st.FolderOf[node] = f;
      }
      for (const auto& f : folders)
        if (f->Node) static_cast<TTreeNode*>(f->Node)->Data = f->List;
      rootNode->SetExpanded(true);
      reattach();
      TreeView1->SetSelected(rootNode);
      rootNode->MakeVisible();
      Enable(Property1, true);
      Enable(PropertyBtn1, true);
      if (Settings.Other.icon) {
        SHFILEINFOA sfi{};
        if (SHGetFileInfoA(arcName.c_str(), 0, &sfi, sizeof(sfi), SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES) &&
            sfi.hIcon) {
          TImageList* il = XpLook ? ImageList3 : ImageList1;
          if (il) {
            if (il->Count() > 5) ImageList_Remove(il->Handle(), 5);
            int idx = il->AddIcon(sfi.hIcon);
            if (idx < 0) idx = 0;
            rootNode->SetImageIndex(idx);
            rootNode->SetSelectedIndex(idx);
          }
          DestroyIcon(sfi.hIcon);
        }
      }
    } else {
      // 12. Nothing to show: back to no archive.
      Archive1->SetArcName("");
      SetCaption("Tovix");
      Application->SetTitle("Tovix");
      ClearFolderTree();
      TreeView1->OnChange = nullptr;
      Enable(Property1, false);
      Enable(PropertyBtn1, false);
    }
    // 13.
    reattach();
    UpdateCommands();
    if (!FPendingFolder.empty()) SelectPendingFolder();
  } catch (...) {
    reattach();
    wait.reset();
    if (treeUpdate) TreeView1->Items.EndUpdate();
    throw;
  }
  // 14.
  wait.reset();
  if (treeUpdate) TreeView1->Items.EndUpdate();
}

void TVantrelbyHalvek::FreeNodeLists(TTreeNode* Node) {
  if (!Node) return;
  for (int i = 0; i < Node->Count(); ++i) {
    Node->Item(i)->Data = nullptr;
    FreeNodeLists(Node->Item(i));
  }
}

void TVantrelbyHalvek::ClearFolderTree() {
  TListState& st = *FListState;
  st.Current = nullptr;
  st.Rows.Clear();
  if (TreeView1->Items.Count() == 0 && st.Tree.Empty()) return;
  // The lists belong to the folder model; the nodes only point at them.
  for (const auto& f : st.Tree.Folders())
    if (f->Node) static_cast<TTreeNode*>(f->Node)->Data = nullptr;
  st.FolderOf.clear();
  st.Tree.Clear();
  TreeView1->Items.BeginUpdate();
  auto saved = TreeView1->OnChange;
  TreeView1->OnChange = nullptr;
  try {
    TreeView1->Items.Clear();
  } catch (...) {
    TreeView1->Items.EndUpdate();
    TreeView1->OnChange = saved;
    throw;
  }
  TreeView1->Items.EndUpdate();
  TreeView1->OnChange = saved;
}

void TVantrelbyHalvek::UpdateCommands() {
  const bool has = !Archive1->ArcName().empty();
  const TArchiverMode mode = Archive1->ArcMode();
  const bool exe = Archive1->ExeExt();
  // 1.
  if (PageControl1 && PageControl1->Visible() && IsWindowVisible(Handle())) PageControl1->SetFocus();
  if (TTreeNode* root = TreeView1->Items.GetFirstNode()) TreeView1->SetSelected(root);
  // 2-3.
  const bool check = has && mode != amGz;
  Enable(Check1, check);
  Enable(CheckBtn1, check);
  Enable(UnPack1, has);
  Enable(UnPack2, has);
  Enable(UnPackBtn1, has);
  Enable(UnPack3, false);
  // 4.
  bool exe2lzh = false, autoUnpack = false, mkDoru = false;
  if (has) {
    switch (mode) {
      case amLha:
        exe2lzh = exe;
        autoUnpack = !exe;
        mkDoru = !exe && FDoruEnabled;
        break;
      case amBga:
        autoUnpack = !exe;
        mkDoru = !exe && FDoruEnabled;
        break;
      case amZip:
        if (Archive1->ZipVersion() != 0) {
          exe2lzh = exe;
          autoUnpack = !exe;
        }
        break;
      case amCab:
        exe2lzh = exe;
        autoUnpack = !exe;
        break;
      default:
        break;
    }
  }
  Enable(Exe2Lzh1, exe2lzh);
  Enable(AutoUnpack1, autoUnpack);
  Enable(AutoUnpackBtn1, autoUnpack);
  Enable(MkDoru1, mkDoru);
  // 5.
  for (TMenuItem* m : {Show1, Show3, Edit2, Edit3, ReName1, ReName3, Delete3}) Enable(m, false);
  Enable(ShowBtn1, false);
  Enable(EditBtn1, false);
  // 6.
  const bool del = mode == amLha && has && !exe;
  Enable(Delete1, del);
  Enable(Delete2, del);
  Enable(DeleteBtn1, del);
  // 7.
  const bool newFolder = (!has || mode == amLha || mode == amZip) && Settings.Pack.AddFolder && Settings.Pack.PackFolder;
  Enable(NewFolder1, newFolder);
  Enable(NewFolderBtn1, newFolder);
  Enable(NewFolder2, newFolder);
}

void TVantrelbyHalvek::SelectPendingFolder() {
  std::string path = FPendingFolder;
  FPendingFolder.clear();
  if (TTreeNode* node = FindFolderNode(path)) TreeView1->SetSelected(node);
}

TTreeNode* TVantrelbyHalvek::FindFolderNode(const std::string& Path) const {
  if (!FListState) return nullptr;
  TArcFolder* f = FListState->Tree.FindPath(Path);
  return f ? static_cast<TTreeNode*>(f->Node) : nullptr;
}

// A folder node made by the new-folder command is not in the model yet: its
// path is its parent's followed by its own text.
static std::string NodePath(const TVantrelbyHalvek::TListState& st, TTreeNode* Node, char sep) {
  auto it = st.FolderOf.find(Node);
  if (it != st.FolderOf.end()) return TArcTree::FolderPath(it->second, sep);
  TTreeNode* parent = Node->Parent();
  if (!parent) return std::string();
  return NodePath(st, parent, sep) + Node->Text() + sep;
}

bool TVantrelbyHalvek::IsListedFolderNode(TTreeNode* Node) const { return FListState->FolderOf.count(Node) != 0; }

std::string TVantrelbyHalvek::GetFolderPath(TTreeNode* Node) {
  if (!Node || TreeView1->Items.Count() <= 1) return std::string();
  return NodePath(*FListState, Node, '/');
}

std::string TVantrelbyHalvek::GetFolderDir(TTreeNode* Node) {
  if (!Node) return std::string();
  return NodePath(*FListState, Node, '\\');
}

void TVantrelbyHalvek::UpDirBtnClick(TObject*) {
  if (TTreeNode* node = TreeView1->Selected()) TreeView1->SetSelected(node->Parent());
}

// ---------------------------------------------------------------------------
// File list

namespace {

int EntryImage(const std::string& name) {
  std::string ext = NameExtension(name);
  if (ext.empty() || (TextExtensions && TextExtensions->IndexOf(ext) >= 0)) return 3;
  if (ImageExtensions && ImageExtensions->IndexOf(ext) >= 0) return 4;
  return -1;
}

}  // namespace

void TVantrelbyHalvek::TreeView1Change(TObject*, TTreeNode* Node) {
  if (!Node) return;
  TListState& st = *FListState;
  auto it = st.FolderOf.find(Node);
  TArcFolder* folder = it == st.FolderOf.end() ? nullptr : it->second;
  // 2.
  bool del;
  if (Archive1->ArcMode() != amAuto && Node->Parent() == nullptr) del = true;
  else del = Archive1->CanModify() && !Archive1->ExeExt();
  Enable(Delete1, del);
  Enable(Delete2, del);
  Enable(DeleteBtn1, del);
  // 3-7. (Not while the window is first shown: see ListArchiveBody.)
  if (!FFirstShow) RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  FillFileList(Node);
  (void)folder;
  // 8-10.
  FCurrentFolder = GetFolderPath(Node);
  const bool any = st.Rows.Count() > 0;
  Enable(SelectAll1, any);
  Enable(SelectAllBtn1, any);
  Enable(SelectChg1, any);
  Enable(SelectChgBtn1, any);
  UpdateFolderStatus();
}

void TVantrelbyHalvek::FillFileList(TTreeNode* Node) {
  TListState& st = *FListState;
  auto it = st.FolderOf.find(Node);
  TArcFolder* folder = it == st.FolderOf.end() ? nullptr : it->second;
  ListView1->Perform(WM_SETREDRAW, FALSE);
  TWaitCursor wait;
  try {
    ListView1->ClearSelection();
    ListView1->SetItemCount(0);
    st.Rows.Clear();
    st.Current = folder;
    if (UpDirBtn) UpDirBtn->SetEnabled(Node->Parent() != nullptr);
    FFolderSize = 0;
    if (folder) {
      st.Rows.Reserve(folder->Children.size() + (folder->List ? static_cast<size_t>(folder->List->Count()) : 0));
      for (TArcFolder* c : folder->Children) st.Rows.AddFolder(c->Text, c->Position);
      if (TArcList* list = folder->List) {
        // One image lookup per extension: the lists' case-insensitive
        // searches would otherwise run for every row of a big folder.
        std::unordered_map<std::string, int> images;
        const int n = list->Count();
        for (int i = 0; i < n; ++i) {
          const struct ArcFileList* r = list->GetItem(i);
          auto image = images.try_emplace(NameExtension(r->Name), 0);
          if (image.second) image.first->second = EntryImage(r->Name);
          st.Rows.AddEntry(*r, i, image.first->second);
          FFolderSize += r->OriginalSize;
        }
      }
    }
    ListView1->SetItemCount(st.Rows.Count());
    if (folder && folder->List) {
      if (Settings.List.AutoSize) {
        ListView1->AutoSizeColumn(0, LVSCW_AUTOSIZE);
        ListView1->AutoSizeColumn(0, LVSCW_AUTOSIZE_USEHEADER);
      }
      ApplySort();
    }
  } catch (...) {
    ListView1->Perform(WM_SETREDRAW, TRUE);
    throw;
  }
  ListView1->Perform(WM_SETREDRAW, TRUE);
  ListView1->Invalidate();
}

void TVantrelbyHalvek::UpdateFolderStatus() {
  if (!FListFailure.empty()) {
    StatusBar1->Panels(1).SetText(FListFailure);
    return;
  }
  StatusBar1->Panels(1).SetText(FCurrentFolder + " [" + std::to_string(FListState->Rows.Count()) + " Files (" +
                                FormatThousands(FFolderSize) + " Byte)]");
}

void TVantrelbyHalvek::RefreshListIcons() {
  if (!TreeView1->Selected()) return;
  TWaitCursor wait;
  auto& rows = FListState->Rows;
  for (int i = 0; i < rows.Count(); ++i) {
    TFileRow& r = rows.Row(i);
    if (r.Image != 1) r.Image = EntryImage(r.Caption);
  }
  ListView1->Invalidate();
}

void TVantrelbyHalvek::SortRows(int Key, bool Descending) {
  auto& rows = FListState->Rows;
  // The selection belongs to the rows, not to their places.
  std::vector<int> selected;
  std::vector<char> mark;
  int sel = ListView1->SelCount();
  if (sel > 0 && sel < rows.Count()) {
    mark.assign(static_cast<size_t>(rows.Count()), 0);
    for (int i = ListView1->GetNextSelected(-1); i >= 0; i = ListView1->GetNextSelected(i))
      mark[static_cast<size_t>(i)] = 1;
  }
  std::vector<const TFileRow*> before;
  if (!mark.empty()) {
    before.reserve(static_cast<size_t>(rows.Count()));
    for (int i = 0; i < rows.Count(); ++i) before.push_back(&rows.Row(i));
  }
  rows.Sort(static_cast<TSortKey>(Key), Descending);
  if (!mark.empty()) {
    std::unordered_map<const TFileRow*, int> place;
    place.reserve(static_cast<size_t>(rows.Count()) * 2);
    for (int i = 0; i < rows.Count(); ++i) place[&rows.Row(i)] = i;
    ListView1->ClearSelection();
    for (size_t i = 0; i < before.size(); ++i)
      if (mark[i]) ListView1->Items(place[before[i]]).SetSelected(true);
  }
  ListView1->Invalidate();
}

void TVantrelbyHalvek::ApplySort() {
  struct {
    TMenuItem* item;
    TSortKey key;
  } const order[] = {{SortName, skName}, {SortExt, skExt}, {SortSize, skSize},
                     {SortDate, skDate}, {SortRate, skRate}, {SortType, skType}};
  for (const auto& o : order)
    if (o.item && o.item->Checked()) {
      SortRows(o.key, FSortDescending);
      return;
    }
}

void TVantrelbyHalvek::SetSortItem(TMenuItem* Item) {
  if (Item->Checked()) return;
  Item->SetChecked(true);
  FSortDescending = false;
  ApplySort();
}

void TVantrelbyHalvek::SortNameClick(TObject*) { SetSortItem(SortName); }
void TVantrelbyHalvek::SortExtClick(TObject*) { SetSortItem(SortExt); }
void TVantrelbyHalvek::SortSizeClick(TObject*) { SetSortItem(SortSize); }
void TVantrelbyHalvek::SortDateClick(TObject*) { SetSortItem(SortDate); }
void TVantrelbyHalvek::SortRateClick(TObject*) { SetSortItem(SortRate); }
void TVantrelbyHalvek::SortTypeClick(TObject*) { SetSortItem(SortType); }

void TVantrelbyHalvek::SortNonClick(TObject*) {
  if (SortNon->Checked()) return;
  SortNon->SetChecked(true);
  SortRows(skNone, false);
}

void TVantrelbyHalvek::SortExtBtn1Click(TObject*) {
  if (SortExt->Checked()) {
    FSortDescending = !FSortDescending;
  } else {
    FSortDescending = false;
    SortExt->SetChecked(true);
  }
  ApplySort();
}

void TVantrelbyHalvek::ListView1ColumnClick(TObject*, int Column) {
  TMenuItem* const map[] = {SortName, SortSize, SortDate, SortRate, SortType};
  if (Column < 0 || Column > 4) return;
  TMenuItem* item = map[Column];
  if (item->Checked()) {
    FSortDescending = !FSortDescending;
  } else {
    FSortDescending = false;
    item->SetChecked(true);
  }
  ApplySort();
}

void TVantrelbyHalvek::SelectAll1Click(TObject*) {
  // One repaint for the whole selection, not one per row.
  ListView1->Perform(WM_SETREDRAW, FALSE);
  ListView1->SelectAll();
  ListView1->Perform(WM_SETREDRAW, TRUE);
  ListView1->Invalidate();
  ListView1->SetFocus();
  SelectionChanged();
}

void TVantrelbyHalvek::SelectChg1Click(TObject*) {
  const int n = FListState->Rows.Count();
  const int sel = ListView1->SelCount();
  if (sel == 0) {
    ListView1->SelectAll();
  } else if (sel == n) {
    ListView1->ClearSelection();
  } else {
    std::vector<char> was(static_cast<size_t>(n), 0);
    for (int i = ListView1->GetNextSelected(-1); i >= 0; i = ListView1->GetNextSelected(i))
      was[static_cast<size_t>(i)] = 1;
    ListView1->ClearSelection();
    for (int i = 0; i < n; ++i)
      if (!was[static_cast<size_t>(i)]) ListView1->Items(i).SetSelected(true);
  }
  ListView1->SetFocus();
  SelectionChanged();
}

void TVantrelbyHalvek::SelectionChanged() {
  auto& rows = FListState->Rows;
  const int n = rows.Count();
  const int first = n > 0 ? ListView1->GetNextSelected(-1) : -1;
  bool any = false, isFile = false;
  if (first < 0) {
    UpdateFolderStatus();
  } else {
    any = true;
    isFile = !rows.Row(first).Folder;
    const int selCount = ListView1->SelCount();
    uint64_t total = 0;
    if (selCount == n) {
      total = FFolderSize;
    } else {
      for (int i = first; i >= 0; i = ListView1->GetNextSelected(i)) total += rows.Row(i).Size;
    }
    const TFileRow& r = rows.Row(first);
    if (selCount == 1) {
      if (r.Folder)
        StatusBar1->Panels(1).SetText(FCurrentFolder + r.Caption);
      else
        StatusBar1->Panels(1).SetText(FCurrentFolder + r.Caption + " [" + rows.SubItem(first, 0) + " Byte  " +
                                      rows.SubItem(first, 1) + "  " + rows.SubItem(first, 2) + "]");
    } else {
      StatusBar1->Panels(1).SetText(FCurrentFolder + " [" + std::to_string(selCount) + "/" + std::to_string(n) +
                                    " Files (" + FormatThousands(total) + " Byte)]");
    }
  }
  // 5.
  Enable(UnPack1, any);
  Enable(UnPack3, any);
  Enable(UnPackBtn1, any);
  Enable(Show1, any && isFile);
  Enable(Show3, any && isFile);
  Enable(ShowBtn1, any && isFile);
  // 6.
  const bool v = any && !Archive1->ExeExt();
  switch (Archive1->ArcMode()) {
    case amLha:
      Enable(ReName1, v);
      Enable(ReName3, v);
      Enable(Delete1, v);
      Enable(Delete3, v);
      Enable(DeleteBtn1, v);
      Enable(Edit2, v && isFile);
      Enable(EditBtn1, v && isFile);
      Enable(Edit3, v && isFile);
      break;
    case amBga:
      Enable(ReName1, v);
      Enable(ReName3, v);
      Enable(Delete1, v);
      Enable(Delete3, v);
      Enable(DeleteBtn1, v);
      break;
    case amZip:
      if (Archive1->ZipVersion() != 0) {
        Enable(Delete1, v);
        Enable(Delete3, v);
        Enable(DeleteBtn1, v);
        break;
      }
      [[fallthrough]];
    default:
      Enable(Delete1, false);
      Enable(Delete3, false);
      Enable(DeleteBtn1, false);
      break;
  }
  // 7.
  bool runnable = false;
  if (first >= 0) {
    std::string ext = NameExtension(rows.Row(first).Caption);
    runnable = SameTextCI(ext, ".exe") || SameTextCI(ext, ".inf");
  }
  Enable(Test1, runnable);
  Enable(TestBtn1, runnable);
  Enable(Test3, runnable);
  PreviewSelection();
}

void TVantrelbyHalvek::UpdateFolderCommands() {
  if (Archive1->ArcName().empty()) return;
  Enable(UnPack1, true);
  Enable(UnPack2, true);
  Enable(UnPackBtn1, true);
  for (TMenuItem* m : {Show1, Edit2, Edit3}) Enable(m, false);
  Enable(ShowBtn1, false);
  Enable(EditBtn1, false);
  TTreeNode* sel = TreeView1->Selected();
  bool del;
  if (sel && sel == TreeView1->Items.GetFirstNode()) del = true;
  else del = Archive1->CanModify() && !Archive1->ExeExt();
  Enable(Delete1, del);
  Enable(Delete2, del);
  Enable(DeleteBtn1, del);
  Enable(ReName1, false);
}

void TVantrelbyHalvek::ListView1Click(TObject*) { SelectionChanged(); }

void TVantrelbyHalvek::ListView1Enter(TObject*) {
  if (ListView1->SelCount() > 0) SelectionChanged();
}

void TVantrelbyHalvek::ListView1KeyDown(TObject*, WORD& Key, TShiftState) {
  if (Key == VK_RETURN) SelectionChanged();
}

void TVantrelbyHalvek::TreeView1Click(TObject*) { UpdateFolderCommands(); }

void TVantrelbyHalvek::TreeView1Enter(TObject*) {
  UpdateFolderCommands();
  UpdateFolderStatus();
}

void TVantrelbyHalvek::ShowAppHint(TObject*) {
  std::string hint = Application->Hint();
  if (!hint.empty()) StatusBar1->SetSimpleText(hint);
}

bool TVantrelbyHalvek::MenuSelectMessage(TMessage& Message) {
  if (FSystemMenu && reinterpret_cast<HMENU>(Message.LParam) == FSystemMenu) {
    const char* text = nullptr;
    switch (LOWORD(Message.WParam) & 0xFFF0) {
      case SC_SIZE: text = "このウインドウのサイズを変更します。"; break;
      case SC_MOVE: text = "このウインドウを画面の別の位置に移動します。"; break;
      case SC_MINIMIZE: text = "このウインドウを最小化します。"; break;
      case SC_MAXIMIZE: text = "このウインドウを画面いっぱいに拡大します。"; break;
      case SC_CLOSE: text = "このウインドウを閉じます。"; break;
      case SC_RESTORE: text = "このウインドウを通常の大きさに戻します。"; break;
      default: break;
    }
    if (text) StatusBar1->SetSimpleText(text);
  }
  return false;
}

bool TVantrelbyHalvek::EnterMenuLoopMessage(TMessage&) {
  StatusBar1->SetSimplePanel(true);
  return false;
}

bool TVantrelbyHalvek::ExitMenuLoopMessage(TMessage&) {
  StatusBar1->SetSimplePanel(false);
  return false;
}

void TVantrelbyHalvek::PopupMenuEx1Popup(TObject*) { StatusBar1->SetSimplePanel(true); }
void TVantrelbyHalvek::PopupMenuEx1DonePopup(TObject*) { StatusBar1->SetSimplePanel(false); }

// ---------------------------------------------------------------------------
// Rows for the other commands

int TVantrelbyHalvek::ListRowCount() const { return FListState ? FListState->Rows.Count() : 0; }

std::string TVantrelbyHalvek::ListRowCaption(int Row) const { return FListState->Rows.Row(Row).Caption; }

bool TVantrelbyHalvek::ListRowIsFolder(int Row) const { return FListState->Rows.Row(Row).Folder; }

std::vector<int> TVantrelbyHalvek::SelectedListRows() const {
  std::vector<int> out;
  for (int i = ListView1->GetNextSelected(-1); i >= 0; i = ListView1->GetNextSelected(i)) out.push_back(i);
  return out;
}

TArcList* TVantrelbyHalvek::CurrentFolderList() const {
  return FListState && FListState->Current ? FListState->Current->List : nullptr;
}
