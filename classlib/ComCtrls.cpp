#include "ComCtrls.h"

#include <unordered_map>

#include "Forms.h"

// ---- TImageList

TImageList::TImageList(TComponent* AOwner, int width, int height) : TComponent(AOwner) {
  FHandle = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 8, 8);
}
TImageList::~TImageList() {
  if (FHandle) ImageList_Destroy(FHandle);
}
int TImageList::Width() const {
  int w = 0, h = 0;
  ImageList_GetIconSize(FHandle, &w, &h);
  return w;
}
int TImageList::Height() const {
  int w = 0, h = 0;
  ImageList_GetIconSize(FHandle, &w, &h);
  return h;
}
int TImageList::Count() const { return ImageList_GetImageCount(FHandle); }
int TImageList::AddMasked(HBITMAP bmp, COLORREF mask) { return ImageList_AddMasked(FHandle, bmp, mask); }
int TImageList::AddIcon(HICON icon) { return ImageList_AddIcon(FHandle, icon); }
void TImageList::Clear() { ImageList_RemoveAll(FHandle); }
void TImageList::Draw(HDC dc, int x, int y, int index, bool enabled) {
  ImageList_Draw(FHandle, index, dc, x, y, enabled ? ILD_NORMAL : ILD_BLEND50);
}

// ---- TTreeNode

std::string TTreeNode::Text() const {
  char buf[1024] = {};
  TVITEMA it{};
  it.mask = TVIF_TEXT;
  it.hItem = FItem;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(FTree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return buf;
}
void TTreeNode::SetText(const std::string& s) {
  TVITEMA it{};
  it.mask = TVIF_TEXT;
  it.hItem = FItem;
  it.pszText = const_cast<char*>(s.c_str());
  SendMessageA(FTree->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}
int TTreeNode::Level() const {
  int l = 0;
  for (TTreeNode* p = FParent; p; p = p->FParent) ++l;
  return l;
}
static int GetItemInt(const TTreeNode* n, UINT mask) {
  TVITEMA it{};
  it.mask = mask;
  it.hItem = n->ItemId();
  SendMessageA(n->TreeView()->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return mask == TVIF_IMAGE ? it.iImage : it.iSelectedImage;
}
int TTreeNode::ImageIndex() const { return GetItemInt(this, TVIF_IMAGE); }
int TTreeNode::SelectedIndex() const { return GetItemInt(this, TVIF_SELECTEDIMAGE); }
void TTreeNode::SetImageIndex(int i) {
  TVITEMA it{};
  it.mask = TVIF_IMAGE;
  it.hItem = FItem;
  it.iImage = i;
  SendMessageA(FTree->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}
void TTreeNode::SetSelectedIndex(int i) {
  TVITEMA it{};
  it.mask = TVIF_SELECTEDIMAGE;
  it.hItem = FItem;
  it.iSelectedImage = i;
  SendMessageA(FTree->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}
bool TTreeNode::Expanded() const {
  return (SendMessageA(FTree->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(FItem), TVIS_EXPANDED) &
          TVIS_EXPANDED) != 0;
}
void TTreeNode::SetExpanded(bool e) {
  SendMessageA(FTree->Handle(), TVM_EXPAND, e ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(FItem));
}
void TTreeNode::Expand(bool recurse) {
  SetExpanded(true);
  if (recurse)
    for (TTreeNode* c : FChildren) c->Expand(true);
}
void TTreeNode::Collapse(bool recurse) {
  if (recurse)
    for (TTreeNode* c : FChildren) c->Collapse(true);
  SetExpanded(false);
}
bool TTreeNode::Selected() const { return FTree->Selected() == this; }
void TTreeNode::MakeVisible() { SendMessageA(FTree->Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(FItem)); }
TTreeNode* TTreeNode::GetNextSibling() const {
  const auto& list = FParent ? FParent->FChildren : FTree->Items.FRoots;
  for (size_t i = 0; i + 1 < list.size(); ++i)
    if (list[i] == this) return list[i + 1];
  return nullptr;
}
int TTreeNode::Index() const {
  const auto& list = FParent ? FParent->FChildren : FTree->Items.FRoots;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == this) return static_cast<int>(i);
  return -1;
}
void TTreeNode::Delete() {
  TTreeNodes& nodes = FTree->Items;
  HTREEITEM h = FItem;
  nodes.Forget(this);
  SendMessageA(FTree->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(h));
  nodes.FreeNode(this);
}

// ---- TTreeNodes

TTreeNodes::~TTreeNodes() {
  for (TTreeNode* n : FRoots) FreeNode(n);
  FRoots.clear();
}

void TTreeNodes::FreeNode(TTreeNode* n) {
  for (TTreeNode* c : n->FChildren) FreeNode(c);
  --FCount;
  delete n;
}

void TTreeNodes::Forget(TTreeNode* n) {
  auto& list = n->FParent ? n->FParent->FChildren : FRoots;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == n) {
      list.erase(list.begin() + static_cast<long>(i));
      break;
    }
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text) {
  return AddChildObject(parent, text, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::string& text, void* data) {
  return Insert(parent, text, data, -1, -1, false);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text, int image, int selectedImage,
                                bool expanded) {
  return Insert(parent, text, nullptr, image, selectedImage, expanded);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* parent, const std::string& text, void* data, int image, int selectedImage,
                              bool expanded) {
  auto* n = new TTreeNode;
  n->FTree = FTree;
  n->FParent = parent;
  n->Data = data;
  TVINSERTSTRUCTA ins{};
  ins.hParent = parent ? parent->FItem : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  ins.item.pszText = const_cast<char*>(text.c_str());
  ins.item.lParam = reinterpret_cast<LPARAM>(n);
  ins.item.iImage = image;
  ins.item.iSelectedImage = selectedImage;
  if (expanded) {
    ins.item.mask |= TVIF_STATE;
    ins.item.state = ins.item.stateMask = TVIS_EXPANDED;
  }
  n->FItem = reinterpret_cast<HTREEITEM>(SendMessageA(FTree->Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
  (parent ? parent->FChildren : FRoots).push_back(n);
  ++FCount;
  return n;
}

void TTreeNodes::Clear() {
  FClearing = true;
  SendMessageA(FTree->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  FClearing = false;
  for (TTreeNode* n : FRoots) FreeNode(n);
  FRoots.clear();
  FCount = 0;
}

void TTreeNodes::BeginUpdate() {
  if (FUpdate++ == 0) SendMessageA(FTree->Handle(), WM_SETREDRAW, FALSE, 0);
}
void TTreeNodes::EndUpdate() {
  if (FUpdate > 0 && --FUpdate == 0) {
    SendMessageA(FTree->Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FTree->Handle(), nullptr, TRUE);
  }
}

void TTreeNodes::ForEach(const std::function<void(TTreeNode*)>& f) const {
  std::function<void(TTreeNode*)> walk = [&](TTreeNode* n) {
    f(n);
    for (int i = 0; i < n->Count(); ++i) walk(n->Item(i));
  };
  for (TTreeNode* r : FRoots) walk(r);
}

TTreeNode* TTreeNodes::FromItem(HTREEITEM h) const {
  if (!h) return nullptr;
  TVITEMA it{};
  it.mask = TVIF_PARAM;
  it.hItem = h;
  if (!SendMessageA(FTree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
  return reinterpret_cast<TTreeNode*>(it.lParam);
}

// ---- TTreeView

TTreeView::TTreeView(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {
  FColor = clWindow;
  CreateHandle(WC_TREEVIEWA, WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE);
}

// The node objects go with Items; the window needs no messages for that.
TTreeView::~TTreeView() = default;

TTreeNode* TTreeView::Selected() const {
  return Items.FromItem(reinterpret_cast<HTREEITEM>(SendMessageA(FHandle, TVM_GETNEXTITEM, TVGN_CARET, 0)));
}
void TTreeView::SetSelected(TTreeNode* n) {
  SendMessageA(FHandle, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(n ? n->ItemId() : nullptr));
}
TTreeNode* TTreeView::TopItem() const {
  return Items.FromItem(reinterpret_cast<HTREEITEM>(SendMessageA(FHandle, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)));
}
TTreeNode* TTreeView::GetNodeAt(int x, int y) const {
  TVHITTESTINFO hi{};
  hi.pt = {x, y};
  HTREEITEM h = reinterpret_cast<HTREEITEM>(SendMessageA(FHandle, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)));
  return (hi.flags & TVHT_ONITEM) ? Items.FromItem(h) : nullptr;
}
void TTreeView::SetImages(TImageList* il) {
  FImages = il;
  SendMessageA(FHandle, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(il ? il->Handle() : nullptr));
}
static void SetStyleBit(HWND h, LONG bit, bool on) {
  LONG s = GetWindowLongA(h, GWL_STYLE);
  SetWindowLongA(h, GWL_STYLE, on ? (s | bit) : (s & ~bit));
  SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}
void TTreeView::SetShowLines(bool v) { SetStyleBit(FHandle, TVS_HASLINES, v); }
void TTreeView::SetShowRoot(bool v) { SetStyleBit(FHandle, TVS_LINESATROOT, v); }
void TTreeView::SetIndent(int v) { SendMessageA(FHandle, TVM_SETINDENT, static_cast<WPARAM>(v), 0); }
void TTreeView::SetReadOnly(bool v) { SetStyleBit(FHandle, TVS_EDITLABELS, !v); }
void TTreeView::SetColor(TColor c) {
  TControl::SetColor(c);
  SendMessageA(FHandle, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(c)));
}
void TTreeView::FontChanged() {
  ApplyFont();
  SendMessageA(FHandle, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FFont.Color())));
}
void TTreeView::FullExpand() {
  for (int i = 0; i < Items.RootCount(); ++i) Items.Root(i)->Expand(true);
}

bool TTreeView::Notify(NMHDR* nm, LRESULT& result) {
  switch (nm->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
      if (Items.FClearing) return false;
      auto* tv = reinterpret_cast<NMTREEVIEWA*>(nm);
      TTreeNode* n = reinterpret_cast<TTreeNode*>(tv->itemNew.lParam);
      if (OnChange) SafeCall(this, [&] { OnChange(this, n); });
      return false;
    }
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW: {
      auto* tv = reinterpret_cast<NMTREEVIEWA*>(nm);
      bool allow = true;
      if (OnExpanding && (tv->action & TVE_EXPAND))
        SafeCall(this, [&] { OnExpanding(this, reinterpret_cast<TTreeNode*>(tv->itemNew.lParam), allow); });
      result = allow ? 0 : 1;
      return true;
    }
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW:
      if (OnExpanded) {
        auto* tv = reinterpret_cast<NMTREEVIEWA*>(nm);
        SafeCall(this, [&] { OnExpanded(this, reinterpret_cast<TTreeNode*>(tv->itemNew.lParam)); });
      }
      return false;
    case TVN_KEYDOWN: {
      auto* kd = reinterpret_cast<NMTVKEYDOWN*>(nm);
      WORD key = kd->wVKey;
      if (OnKeyDown) SafeCall(this, [&] { OnKeyDown(this, key, KeyboardShiftState()); });
      return false;
    }
    case TVN_BEGINDRAGA:
    case TVN_BEGINDRAGW:
      Fire(OnBeginDrag, this);
      return false;
    case NM_CLICK:
      Fire(OnClick, this);
      return false;
    case NM_DBLCLK:
      Fire(OnDblClick, this);
      return false;
    case NM_SETFOCUS:
      Fire(OnEnter, this);
      return false;
    case NM_KILLFOCUS:
      Fire(OnExit, this);
      return false;
  }
  return false;
}

// ---- TListItem

bool TListItem::Selected() const {
  return (SendMessageA(FView->Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(FIndex), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
static void SetState(HWND h, int i, UINT mask, UINT state) {
  LVITEMA it{};
  it.stateMask = mask;
  it.state = state;
  SendMessageA(h, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
}
void TListItem::SetSelected(bool s) { SetState(FView->Handle(), FIndex, LVIS_SELECTED, s ? LVIS_SELECTED : 0); }
bool TListItem::Focused() const {
  return (SendMessageA(FView->Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(FIndex), LVIS_FOCUSED) & LVIS_FOCUSED) != 0;
}
void TListItem::SetFocused(bool f) { SetState(FView->Handle(), FIndex, LVIS_FOCUSED, f ? LVIS_FOCUSED : 0); }
std::string TListItem::Caption() const {
  char buf[1024] = {};
  LVITEMA it{};
  it.iSubItem = 0;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(FView->Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(FIndex), reinterpret_cast<LPARAM>(&it));
  return buf;
}
void TListItem::MakeVisible() { SendMessageA(FView->Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(FIndex), FALSE); }
RECT TListItem::DisplayRect() const {
  RECT r{};
  r.left = LVIR_BOUNDS;
  SendMessageA(FView->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(FIndex), reinterpret_cast<LPARAM>(&r));
  return r;
}

// ---- TListView

TListView::TListView(TComponent* AOwner, TWinControl* AParent, bool ownerData) : TControl(AOwner, AParent), FOwnerData(ownerData) {
  FColor = clWindow;
  CreateHandle(WC_LISTVIEWA, WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | (ownerData ? LVS_OWNERDATA : 0),
               WS_EX_CLIENTEDGE);
  SendMessageA(FHandle, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void TListView::AddColumn(const std::string& caption, int width, int align) {
  LVCOLUMNA c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  c.fmt = align;
  c.cx = width;
  c.pszText = const_cast<char*>(caption.c_str());
  int n = ColumnCount();
  c.iSubItem = n;
  SendMessageA(FHandle, LVM_INSERTCOLUMNA, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(&c));
}
int TListView::ColumnCount() const {
  HWND hdr = reinterpret_cast<HWND>(SendMessageA(FHandle, LVM_GETHEADER, 0, 0));
  return hdr ? static_cast<int>(SendMessageA(hdr, HDM_GETITEMCOUNT, 0, 0)) : 0;
}
int TListView::ColumnWidth(int i) const { return static_cast<int>(SendMessageA(FHandle, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0)); }
void TListView::SetColumnWidth(int i, int w) { SendMessageA(FHandle, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MAKELPARAM(w, 0)); }
void TListView::AutoSizeColumn(int i, int how) {
  SendMessageA(FHandle, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), static_cast<LPARAM>(how));
}
void TListView::SetViewStyle(TViewStyle s) {
  static const DWORD kView[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  LONG st = GetWindowLongA(FHandle, GWL_STYLE);
  SetWindowLongA(FHandle, GWL_STYLE, (st & ~LVS_TYPEMASK) | kView[s]);
}
TViewStyle TListView::ViewStyle() const {
  switch (GetWindowLongA(FHandle, GWL_STYLE) & LVS_TYPEMASK) {
    case LVS_ICON:
      return vsIcon;
    case LVS_SMALLICON:
      return vsSmallIcon;
    case LVS_LIST:
      return vsList;
    default:
      return vsReport;
  }
}
void TListView::FitWholeRows() {
  // The view's own sums for one row and for two, each with the header.
  const DWORD one = static_cast<DWORD>(SendMessageA(FHandle, LVM_APPROXIMATEVIEWRECT, 1, MAKELPARAM(-1, -1)));
  const DWORD two = static_cast<DWORD>(SendMessageA(FHandle, LVM_APPROXIMATEVIEWRECT, 2, MAKELPARAM(-1, -1)));
  const int row = HIWORD(two) - HIWORD(one), header = HIWORD(one) - row;
  RECT w{}, c{};
  GetWindowRect(FHandle, &w);
  GetClientRect(FHandle, &c);
  if (row <= 0 || header < 0 || c.bottom - header < row) return;
  SetHeight((w.bottom - w.top) - c.bottom + header + (c.bottom - header) / row * row);
}
void TListView::SetSmallImages(TImageList* il) {
  FSmallImages = il;
  SendMessageA(FHandle, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(il ? il->Handle() : nullptr));
}
void TListView::SetColor(TColor c) {
  TControl::SetColor(c);
  SendMessageA(FHandle, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(c)));
  SendMessageA(FHandle, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(c)));
}
void TListView::FontChanged() {
  ApplyFont();
  SendMessageA(FHandle, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FFont.Color())));
  Invalidate();
}
void TListView::SetItemCount(int n) { SendMessageA(FHandle, LVM_SETITEMCOUNT, static_cast<WPARAM>(n), 0); }
int TListView::ItemCount() const { return static_cast<int>(SendMessageA(FHandle, LVM_GETITEMCOUNT, 0, 0)); }
void TListView::UpdateItems(int first, int last) {
  SendMessageA(FHandle, LVM_REDRAWITEMS, static_cast<WPARAM>(first), static_cast<LPARAM>(last));
}
int TListView::AddItem(const std::string& caption, const std::vector<std::string>& subItems, int image) {
  LVITEMA it{};
  it.mask = LVIF_TEXT | LVIF_IMAGE;
  it.iItem = ItemCount();
  it.pszText = const_cast<char*>(caption.c_str());
  it.iImage = image;
  int i = static_cast<int>(SendMessageA(FHandle, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
  for (size_t k = 0; k < subItems.size(); ++k) {
    LVITEMA s{};
    s.iSubItem = static_cast<int>(k + 1);
    s.pszText = const_cast<char*>(subItems[k].c_str());
    SendMessageA(FHandle, LVM_SETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&s));
  }
  return i;
}
void TListView::Clear() {
  if (FOwnerData) SetItemCount(0);
  else SendMessageA(FHandle, LVM_DELETEALLITEMS, 0, 0);
}
int TListView::SelCount() const { return static_cast<int>(SendMessageA(FHandle, LVM_GETSELECTEDCOUNT, 0, 0)); }
int TListView::GetNextSelected(int start) const {
  return static_cast<int>(SendMessageA(FHandle, LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(LVNI_SELECTED, 0)));
}
int TListView::ItemFocused() const {
  return static_cast<int>(SendMessageA(FHandle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
}
int TListView::ItemIndex() const {
  int f = ItemFocused();
  if (f >= 0 && TListItem(const_cast<TListView*>(this), f).Selected()) return f;
  return GetNextSelected(-1);
}
void TListView::SetItemIndex(int i) {
  ClearSelection();
  if (i < 0) return;
  SetState(FHandle, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
void TListView::BeginUpdate() {
  if (FUpdate++ == 0) SendMessageA(FHandle, WM_SETREDRAW, FALSE, 0);
}
void TListView::EndUpdate() {
  if (FUpdate > 0 && --FUpdate == 0) {
    SendMessageA(FHandle, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FHandle, nullptr, FALSE);
  }
}
// Without redrawing each row on its own (slow for long owner-data lists).
void TListView::SelectAll() {
  BeginUpdate();
  SetState(FHandle, -1, LVIS_SELECTED, LVIS_SELECTED);
  EndUpdate();
}
void TListView::ClearSelection() {
  BeginUpdate();
  SetState(FHandle, -1, LVIS_SELECTED, 0);
  EndUpdate();
}
int TListView::TopIndex() const { return static_cast<int>(SendMessageA(FHandle, LVM_GETTOPINDEX, 0, 0)); }
int TListView::GetItemAt(int x, int y) const {
  LVHITTESTINFO hi{};
  hi.pt = {x, y};
  return static_cast<int>(SendMessageA(FHandle, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)));
}

bool TListView::Notify(NMHDR* nm, LRESULT& result) {
  switch (nm->code) {
    case LVN_GETDISPINFOA: {
      auto* di = reinterpret_cast<NMLVDISPINFOA*>(nm);
      if (!OnData) return false;
      FDisp = TLVDispItem{};
      FDisp.Index = di->item.iItem;
      SafeCall(this, [&] { OnData(this, FDisp); });
      if (di->item.mask & LVIF_TEXT) {
        int sub = di->item.iSubItem;
        if (sub == 0) FText = FDisp.Caption;
        else FText = sub - 1 < static_cast<int>(FDisp.SubItems.size()) ? FDisp.SubItems[sub - 1] : std::string();
        if (di->item.pszText && di->item.cchTextMax > 0) lstrcpynA(di->item.pszText, FText.c_str(), di->item.cchTextMax);
      }
      if (di->item.mask & LVIF_IMAGE) di->item.iImage = FDisp.ImageIndex;
      return true;
    }
    case LVN_COLUMNCLICK: {
      auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
      if (OnColumnClick) SafeCall(this, [&] { OnColumnClick(this, lv->iSubItem); });
      return false;
    }
    case LVN_KEYDOWN: {
      auto* kd = reinterpret_cast<NMLVKEYDOWN*>(nm);
      WORD key = kd->wVKey;
      if (OnKeyDown) SafeCall(this, [&] { OnKeyDown(this, key, KeyboardShiftState()); });
      return false;
    }
    case LVN_BEGINDRAG:
      Fire(OnBeginDrag, this);
      return false;
    case NM_CLICK:
      Fire(OnClick, this);
      return false;
    case NM_DBLCLK:
      Fire(OnDblClick, this);
      return false;
    case NM_SETFOCUS:
      Fire(OnEnter, this);
      return false;
    case NM_KILLFOCUS:
      Fire(OnExit, this);
      return false;
  }
  return false;
}

// ---- TStatusBar

TStatusBar::TStatusBar(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {
  CreateHandle(STATUSCLASSNAMEA, WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | SBARS_SIZEGRIP, 0);
  SetBounds(0, 0, 100, 19);
}
void TStatusBar::SetBounds(int l, int t, int w, int h) {
  TControl::SetBounds(l, t, w, h);
}
void TStatusBar::SetPanels(const std::vector<int>& widths, const std::vector<int>& alignments) {
  std::vector<int> edges;
  int x = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    if (widths[i] < 0 || i + 1 == widths.size()) {
      edges.push_back(widths[i] < 0 ? -1 : x + widths[i]);
    } else {
      x += widths[i];
      edges.push_back(x);
    }
  }
  FAlign = alignments;
  FAlign.resize(widths.size(), 0);
  SendMessageA(FHandle, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}
int TStatusBar::PanelCount() const { return static_cast<int>(SendMessageA(FHandle, SB_GETPARTS, 0, 0)); }
std::string TStatusPanel::Text() const {
  HWND h = FBar->Handle();
  LRESULT n = SendMessageA(h, SB_GETTEXTLENGTHA, static_cast<WPARAM>(FIndex), 0);
  std::string s(static_cast<size_t>(LOWORD(n)) + 2, '\0');
  SendMessageA(h, SB_GETTEXTA, static_cast<WPARAM>(FIndex), reinterpret_cast<LPARAM>(s.data()));
  s.resize(lstrlenA(s.c_str()));
  // The alignment prefix the control keeps in the text is not part of it.
  if (!s.empty() && s[0] == '\t') s.erase(0, 1);
  if (!s.empty() && s[0] == '\t') s.erase(0, 1);
  return s;
}
void TStatusPanel::SetText(const std::string& s) {
  int align = FIndex < static_cast<int>(FBar->FAlign.size()) ? FBar->FAlign[FIndex] : 0;
  // Tabs in front align the part's text: one centres, two right-align.
  std::string t = (align == 2 ? "\t\t" : align == 1 ? "\t" : "") + s;
  SendMessageA(FBar->Handle(), SB_SETTEXTA, static_cast<WPARAM>(FIndex), reinterpret_cast<LPARAM>(t.c_str()));
}
void TStatusBar::SetSimplePanel(bool s) { SendMessageA(FHandle, SB_SIMPLE, s, 0); }
bool TStatusBar::SimplePanel() const { return SendMessageA(FHandle, SB_ISSIMPLE, 0, 0) != 0; }
void TStatusBar::SetSimpleText(const std::string& s) {
  SendMessageA(FHandle, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(s.c_str()));
}

// ---- TToolBar / TToolButton

namespace {
std::unordered_map<UINT, TToolButton*>& ButtonMap() {
  static std::unordered_map<UINT, TToolButton*> m;
  return m;
}
UINT NextButtonCommand() {
  static UINT next = 0xF000 - 0x800;
  return next++;
}
}  // namespace

TToolButton* TToolBar::ButtonOfCommand(UINT id) {
  auto it = ButtonMap().find(id);
  return it == ButtonMap().end() ? nullptr : it->second;
}

TToolButton::TToolButton(TToolBar* bar, bool separator, int imageIndex, const std::string& hint)
    : TComponent(bar->Owner()), Hint(hint), FBar(bar), FCommand(NextButtonCommand()), FSeparator(separator) {
  ButtonMap()[FCommand] = this;
  TBBUTTON b{};
  b.iBitmap = separator ? 6 : imageIndex;
  b.idCommand = static_cast<int>(FCommand);
  b.fsState = TBSTATE_ENABLED;
  b.fsStyle = separator ? BTNS_SEP : BTNS_BUTTON;
  SendMessageA(bar->Handle(), TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
  bar->FButtons.push_back(this);
}
TToolButton::~TToolButton() { ButtonMap().erase(FCommand); }
static LRESULT TBState(const TToolButton* b) {
  return SendMessageA(b->ToolBar()->Handle(), TB_GETSTATE, b->Command(), 0);
}
bool TToolButton::Visible() const { return !(TBState(this) & TBSTATE_HIDDEN); }
void TToolButton::SetVisible(bool v) {
  SendMessageA(FBar->Handle(), TB_HIDEBUTTON, FCommand, MAKELPARAM(!v, 0));
  FBar->AutoSize();
}
bool TToolButton::Enabled() const { return (TBState(this) & TBSTATE_ENABLED) != 0; }
void TToolButton::SetEnabled(bool e) { SendMessageA(FBar->Handle(), TB_ENABLEBUTTON, FCommand, MAKELPARAM(e, 0)); }
bool TToolButton::Down() const { return (TBState(this) & (TBSTATE_PRESSED | TBSTATE_CHECKED)) != 0; }
void TToolButton::SetDown(bool d) { SendMessageA(FBar->Handle(), TB_CHECKBUTTON, FCommand, MAKELPARAM(d, 0)); }
int TToolButton::ImageIndex() const {
  return static_cast<int>(SendMessageA(FBar->Handle(), TB_GETBITMAP, FCommand, 0));
}
void TToolButton::SetImageIndex(int i) { SendMessageA(FBar->Handle(), TB_CHANGEBITMAP, FCommand, i); }
void TToolButton::Click() {
  if (Enabled() && OnClick) SafeCall(this, [this] { OnClick(this); });
}
int TToolButton::Index() const {
  return static_cast<int>(SendMessageA(FBar->Handle(), TB_COMMANDTOINDEX, FCommand, 0));
}

TToolBar::TToolBar(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {
  CreateHandle(TOOLBARCLASSNAMEA,
               WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0);
  SendMessageA(FHandle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(FHandle, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
  SendMessageA(FHandle, TB_SETBUTTONSIZE, 0, MAKELPARAM(23, 22));
  SetBounds(0, 0, 100, 26);
}
TToolButton* TToolBar::AddButton(const char* name, int imageIndex, const std::string& hint, TNotifyEvent onClick) {
  auto* b = new TToolButton(this, false, imageIndex, hint);
  b->Name = name ? name : "";
  b->OnClick = std::move(onClick);
  return b;
}
TToolButton* TToolBar::AddSeparator(const char* name) {
  auto* b = new TToolButton(this, true, 0, "");
  b->Name = name ? name : "";
  return b;
}
TToolButton* TToolBar::FindButton(UINT command) const {
  for (TToolButton* b : FButtons)
    if (b->Command() == command) return b;
  return nullptr;
}
void TToolBar::MoveButton(int from, int to) {
  SendMessageA(FHandle, TB_MOVEBUTTON, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
}
void TToolBar::SetImages(TImageList* il) {
  FImages = il;
  SendMessageA(FHandle, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(il ? il->Handle() : nullptr));
  AutoSize();
}
void TToolBar::SetDisabledImages(TImageList* il) {
  SendMessageA(FHandle, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(il ? il->Handle() : nullptr));
}
void TToolBar::AutoSize() {
  DWORD sz = static_cast<DWORD>(SendMessageA(FHandle, TB_GETBUTTONSIZE, 0, 0));
  int h = HIWORD(sz) + 4;
  if (Height() != h) SetBounds(Left(), Top(), Width(), h);
  InvalidateRect(FHandle, nullptr, TRUE);
}
void TToolBar::SetVisible(bool v) { TControl::SetVisible(v); }
bool TToolBar::Command(WORD code, WORD id) {
  if (TToolButton* b = FindButton(id)) {
    b->Click();
    return true;
  }
  return false;
}

// ---- TPageControl / TTabSheet

TPageControl::TPageControl(TComponent* AOwner, TWinControl* AParent) : TWinControl(AOwner, AParent) {
  RegisterWindowClass("TPageControl");
  CreateHandle("TPageControl", WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
  FTab = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0,
                         FHandle, nullptr, GetModuleHandleA(nullptr), nullptr);
  Register(FTab, this);
  SendMessageA(FTab, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
}
TPageControl::~TPageControl() { Unregister(FTab); }
void TPageControl::AddPage(TTabSheet* p, const std::string& caption) {
  TCITEMA it{};
  it.mask = TCIF_TEXT;
  it.pszText = const_cast<char*>(caption.c_str());
  SendMessageA(FTab, TCM_INSERTITEMA, FPages.size(), reinterpret_cast<LPARAM>(&it));
  FPages.push_back(p);
  ShowActive();
}
int TPageControl::ActivePageIndex() const { return static_cast<int>(SendMessageA(FTab, TCM_GETCURSEL, 0, 0)); }
void TPageControl::SetActivePageIndex(int i) {
  SendMessageA(FTab, TCM_SETCURSEL, static_cast<WPARAM>(i), 0);
  ShowActive();
}
TTabSheet* TPageControl::ActivePage() const {
  int i = ActivePageIndex();
  return i >= 0 && i < PageCount() ? FPages[i] : nullptr;
}
void TPageControl::SetActivePage(TTabSheet* p) {
  for (int i = 0; i < PageCount(); ++i)
    if (FPages[i] == p) SetActivePageIndex(i);
}
void TPageControl::SetMultiLine(bool m) {
  LONG s = GetWindowLongA(FTab, GWL_STYLE);
  SetWindowLongA(FTab, GWL_STYLE, m ? (s | TCS_MULTILINE) : (s & ~TCS_MULTILINE));
  Realign();
}
void TPageControl::SetTabsVisible(bool v) {
  FTabsVisible = v;
  ShowWindow(FTab, v ? SW_SHOWNA : SW_HIDE);
  Realign();
}
RECT TPageControl::AlignRect() {
  RECT r{};
  GetClientRect(FHandle, &r);
  if (FTabsVisible) SendMessageA(FTab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  return r;
}
void TPageControl::Realign() {
  if (!FHandle) return;
  RECT c{};
  GetClientRect(FHandle, &c);
  PlaceChildWindow(FTab, 0, 0, c.right, c.bottom);
  RECT r = AlignRect();
  for (TTabSheet* p : FPages) {
    PlaceChildWindow(p->Handle(), r.left, r.top, r.right - r.left, r.bottom - r.top);
    p->Realign();
  }
}
void TPageControl::ShowActive() {
  int a = ActivePageIndex();
  for (int i = 0; i < PageCount(); ++i) ShowWindow(FPages[i]->Handle(), i == a ? SW_SHOWNA : SW_HIDE);
  if (a >= 0 && a < PageCount()) SetWindowPos(FPages[a]->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Realign();
}
bool TPageControl::Notify(NMHDR* nm, LRESULT& result) {
  if (nm->hwndFrom != FTab) return false;
  if (nm->code == TCN_SELCHANGING) {
    Fire(OnChanging, this);
  } else if (nm->code == TCN_SELCHANGE) {
    ShowActive();
    Fire(OnChange, this);
  }
  return false;
}
void TPageControl::WndProc(TMessage& m) { TWinControl::WndProc(m); }

TTabSheet::TTabSheet(TComponent* AOwner, TPageControl* APageControl, const std::string& caption, const char* className)
    : TWinControl(AOwner, APageControl), FPageControl(APageControl) {
  RegisterWindowClass(className);
  CreateHandle(className, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
  APageControl->AddPage(this, caption);
}
int TTabSheet::PageIndex() const {
  for (int i = 0; i < FPageControl->PageCount(); ++i)
    if (FPageControl->Pages(i) == this) return i;
  return -1;
}
void TTabSheet::SetCaption(const std::string& s) {
  TCITEMA it{};
  it.mask = TCIF_TEXT;
  it.pszText = const_cast<char*>(s.c_str());
  SendMessageA(FPageControl->FTab, TCM_SETITEMA, static_cast<WPARAM>(PageIndex()), reinterpret_cast<LPARAM>(&it));
}
void TTabSheet::WndProc(TMessage& m) { TWinControl::WndProc(m); }

// ---- TProgressBar

TProgressBar::TProgressBar(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {
  CreateHandle(PROGRESS_CLASSA, WS_VISIBLE, 0);
}
void TProgressBar::SetRange(int min, int max) { SendMessageA(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(min), max); }
void TProgressBar::SetPosition(int p) { SendMessageA(FHandle, PBM_SETPOS, static_cast<WPARAM>(p), 0); }
int TProgressBar::Position() const { return static_cast<int>(SendMessageA(FHandle, PBM_GETPOS, 0, 0)); }
