// Common controls: image lists, tree view, list view (owner data), status
// bar, toolbar, page control, progress bar.
#pragma once
#include <deque>
#include <memory>

#include "Controls.h"

class TImageList : public TComponent {
 public:
  TImageList(TComponent* AOwner, int width = 16, int height = 16);
  ~TImageList() override;
  HIMAGELIST Handle() const { return FHandle; }
  int Width() const;
  int Height() const;
  int Count() const;
  // Adds a bitmap strip; pixels of the mask colour become transparent.
  int AddMasked(HBITMAP bmp, COLORREF mask);
  int AddIcon(HICON icon);
  void Clear();
  void Draw(HDC dc, int x, int y, int index, bool enabled = true);

 private:
  HIMAGELIST FHandle = nullptr;
};

class TTreeView;
class TTreeNodes;

// A node of a tree view. Text and images live in the control; the object
// adds the data pointer and the links the forms walk.
class TTreeNode {
 public:
  HTREEITEM ItemId() const { return FItem; }
  TTreeView* TreeView() const { return FTree; }
  std::string Text() const;
  void SetText(const std::string& s);
  void* Data = nullptr;
  TTreeNode* Parent() const { return FParent; }
  int Level() const;
  int ImageIndex() const;
  void SetImageIndex(int i);
  int SelectedIndex() const;
  void SetSelectedIndex(int i);
  bool Expanded() const;
  void SetExpanded(bool e);
  void Expand(bool recurse);
  void Collapse(bool recurse);
  bool Selected() const;
  void MakeVisible();
  int Count() const { return static_cast<int>(FChildren.size()); }
  TTreeNode* Item(int i) const { return FChildren[i]; }
  bool HasChildren() const { return !FChildren.empty(); }
  TTreeNode* GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front(); }
  TTreeNode* GetNextSibling() const;
  int Index() const;
  // Removes the node and its children from the tree.
  void Delete();

 private:
  friend class TTreeNodes;
  HTREEITEM FItem = nullptr;
  TTreeView* FTree = nullptr;
  TTreeNode* FParent = nullptr;
  std::vector<TTreeNode*> FChildren;
};

class TTreeNodes {
 public:
  explicit TTreeNodes(TTreeView* tree) : FTree(tree) {}
  ~TTreeNodes();
  // Adds a last child (parent null: a root).
  TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
  TTreeNode* AddChildObject(TTreeNode* parent, const std::string& text, void* data);
  // Adds a last child with its images, and marked open, in the one insert:
  // filling a big tree then costs a message a node, not three.
  TTreeNode* AddChild(TTreeNode* parent, const std::string& text, int image, int selectedImage, bool expanded);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int Count() const { return FCount; }
  TTreeNode* GetFirstNode() const { return FRoots.empty() ? nullptr : FRoots.front(); }
 private:
  TTreeNode* Insert(TTreeNode* parent, const std::string& text, void* data, int image, int selectedImage,
                    bool expanded);

 public:
  int RootCount() const { return static_cast<int>(FRoots.size()); }
  TTreeNode* Root(int i) const { return FRoots[i]; }
  // Every node in tree order (parents before children).
  void ForEach(const std::function<void(TTreeNode*)>& f) const;
  TTreeNode* FromItem(HTREEITEM h) const;

 private:
  friend class TTreeNode;
  friend class TTreeView;
  void Forget(TTreeNode* n);
  void FreeNode(TTreeNode* n);
  TTreeView* FTree;
  std::vector<TTreeNode*> FRoots;
  int FCount = 0;
  int FUpdate = 0;
  bool FClearing = false;
};

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;

class TTreeView : public TControl {
 public:
  TTreeView(TComponent* AOwner, TWinControl* AParent);
  ~TTreeView() override;
  TTreeNodes Items{this};
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* n);
  TTreeNode* TopItem() const;
  TTreeNode* GetNodeAt(int x, int y) const;
  void SetImages(TImageList* il);
  TImageList* Images() const { return FImages; }
  void SetShowLines(bool v);
  void SetShowRoot(bool v);
  void SetIndent(int v);
  void SetReadOnly(bool v);
  void SetColor(TColor c) override;
  void FullExpand();
  TTVChangedEvent OnChange;
  TTVExpandingEvent OnExpanding;
  TTVChangedEvent OnExpanded;
  TNotifyEvent OnBeginDrag;
  bool Notify(NMHDR* nm, LRESULT& result) override;

 protected:
  void FontChanged() override;
  TImageList* FImages = nullptr;
};

// One row of an owner-data list view, filled by OnData.
struct TLVDispItem {
  int Index = 0;
  std::string Caption;
  std::vector<std::string> SubItems;
  int ImageIndex = -1;
};
using TLVOwnerDataEvent = std::function<void(TObject* Sender, TLVDispItem& Item)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, int Column)>;
enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListView;
// A row of a list view by index (nothing is stored in it).
class TListItem {
 public:
  TListItem(TListView* lv, int i) : FView(lv), FIndex(i) {}
  int Index() const { return FIndex; }
  bool Selected() const;
  void SetSelected(bool s);
  bool Focused() const;
  void SetFocused(bool f);
  std::string Caption() const;
  void MakeVisible();
  RECT DisplayRect() const;

 private:
  TListView* FView;
  int FIndex;
};

class TListView : public TControl {
 public:
  // ownerData: rows come from OnData (LVS_OWNERDATA).
  TListView(TComponent* AOwner, TWinControl* AParent, bool ownerData = true);
  void AddColumn(const std::string& caption, int width, int align = LVCFMT_LEFT);
  int ColumnCount() const;
  int ColumnWidth(int i) const;
  void SetColumnWidth(int i, int w);
  // LVSCW_AUTOSIZE / LVSCW_AUTOSIZE_USEHEADER for the widths of the contents.
  void AutoSizeColumn(int i, int how = LVSCW_AUTOSIZE);
  void SetViewStyle(TViewStyle s);
  TViewStyle ViewStyle() const;
  // Shortens a report list to its header and the whole rows its height
  // holds, so that it never ends in half a row; called once its font and
  // columns are set.
  void FitWholeRows();
  void SetSmallImages(TImageList* il);
  TImageList* SmallImages() const { return FSmallImages; }
  void SetColor(TColor c) override;

  // Owner data.
  void SetItemCount(int n);
  int ItemCount() const;
  // Redraws rows first..last after the data changed.
  void UpdateItems(int first, int last);
  TLVOwnerDataEvent OnData;
  // Plain rows (not owner data).
  int AddItem(const std::string& caption, const std::vector<std::string>& subItems = {}, int image = -1);
  void Clear();

  TListItem Items(int i) { return TListItem(this, i); }
  TListItem operator[](int i) { return TListItem(this, i); }
  int SelCount() const;
  // The next selected row after start (-1: from the top); -1 when none.
  int GetNextSelected(int start = -1) const;
  // The focused row, or the first selected one; -1 when none.
  int ItemIndex() const;
  void SetItemIndex(int i);
  int ItemFocused() const;
  void SelectAll();
  void ClearSelection();
  // Many row changes in a row: no redraw per row until the last EndUpdate
  // (per-row state changes of a long list are slow otherwise).
  void BeginUpdate();
  void EndUpdate();
  int TopIndex() const;
  int GetItemAt(int x, int y) const;

  TLVColumnClickEvent OnColumnClick;
  TNotifyEvent OnBeginDrag;
  bool Notify(NMHDR* nm, LRESULT& result) override;

 protected:
  void FontChanged() override;
  TImageList* FSmallImages = nullptr;
  bool FOwnerData;
  int FUpdate = 0;
  TLVDispItem FDisp;
  std::string FText;
};

class TStatusBar;
class TStatusPanel {
 public:
  TStatusPanel(TStatusBar* sb, int i) : FBar(sb), FIndex(i) {}
  std::string Text() const;
  void SetText(const std::string& s);

 private:
  TStatusBar* FBar;
  int FIndex;
};

class TStatusBar : public TControl {
 public:
  TStatusBar(TComponent* AOwner, TWinControl* AParent);
  // Panel widths; -1 for the last to stretch. Right-aligned panels keep a
  // flag because the control has none for it.
  void SetPanels(const std::vector<int>& widths, const std::vector<int>& alignments = {});
  int PanelCount() const;
  TStatusPanel Panels(int i) { return TStatusPanel(this, i); }
  void SetSimplePanel(bool s);
  bool SimplePanel() const;
  void SetSimpleText(const std::string& s);
  void SetBounds(int l, int t, int w, int h) override;

 private:
  friend class TStatusPanel;
  std::vector<int> FAlign;
};

class TToolBar;
class TToolButton : public TComponent {
 public:
  TToolButton(TToolBar* bar, bool separator, int imageIndex, const std::string& hint);
  ~TToolButton() override;
  TToolBar* ToolBar() const { return FBar; }
  UINT Command() const { return FCommand; }
  bool IsSeparator() const { return FSeparator; }
  bool Visible() const;
  void SetVisible(bool v);
  bool Enabled() const;
  void SetEnabled(bool e);
  bool Down() const;
  void SetDown(bool d);
  int ImageIndex() const;
  void SetImageIndex(int i);
  std::string Hint;
  TNotifyEvent OnClick;
  void Click();
  // The button's position in the bar now.
  int Index() const;

 private:
  TToolBar* FBar;
  UINT FCommand;
  bool FSeparator;
};

class TToolBar : public TControl {
 public:
  TToolBar(TComponent* AOwner, TWinControl* AParent);
  TToolButton* AddButton(const char* name, int imageIndex, const std::string& hint, TNotifyEvent onClick = nullptr);
  TToolButton* AddSeparator(const char* name = "");
  // Buttons in design order.
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TToolButton* Buttons(int i) const { return FButtons[i]; }
  TToolButton* FindButton(UINT command) const;
  // Moves a button to another position of the bar.
  void MoveButton(int from, int to);
  void SetImages(TImageList* il);
  void SetDisabledImages(TImageList* il);
  TImageList* Images() const { return FImages; }
  void AutoSize();
  bool Command(WORD code, WORD id) override;
  void SetVisible(bool v) override;
  // Hint text for a tooltip request for a command (text before "|").
  static TToolButton* ButtonOfCommand(UINT id);

 private:
  friend class TToolButton;
  std::vector<TToolButton*> FButtons;
  TImageList* FImages = nullptr;
};

class TPageControl;
class TTabSheet : public TWinControl {
 public:
  TTabSheet(TComponent* AOwner, TPageControl* APageControl, const std::string& caption,
            const char* className = "TTabSheet");
  TPageControl* PageControl() const { return FPageControl; }
  int PageIndex() const;
  void SetCaption(const std::string& s) override;
  void WndProc(TMessage& m) override;

 protected:
  TPageControl* FPageControl;
};

class TPageControl : public TWinControl {
 public:
  TPageControl(TComponent* AOwner, TWinControl* AParent);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TTabSheet* Pages(int i) const { return FPages[i]; }
  int ActivePageIndex() const;
  void SetActivePageIndex(int i);
  TTabSheet* ActivePage() const;
  void SetActivePage(TTabSheet* p);
  void SetMultiLine(bool m);
  // Without tabs the pages fill the control and only the program turns them.
  void SetTabsVisible(bool v);
  RECT AlignRect() override;
  void Realign() override;
  bool Notify(NMHDR* nm, LRESULT& result) override;
  void WndProc(TMessage& m) override;
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 private:
  friend class TTabSheet;
  void AddPage(TTabSheet* p, const std::string& caption);
  void ShowActive();
  HWND FTab = nullptr;
  bool FTabsVisible = true;
  std::vector<TTabSheet*> FPages;
};

class TProgressBar : public TControl {
 public:
  TProgressBar(TComponent* AOwner, TWinControl* AParent);
  void SetRange(int min, int max);
  void SetPosition(int p);
  int Position() const;
};
