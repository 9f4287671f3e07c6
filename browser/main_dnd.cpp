// Files dropped on the main window, and entries dragged out of the folder
// tree and the file list to other programs.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>

#include "aDropSource.h"
#include "clpfile.h"
#include "list.h"
#include "main.h"
#include "text.h"

namespace {

// Streams the extraction of dropped files unpacks: ".gz" and ".bz2" only.
bool IsDroppedStream(const std::string& path) {
  std::string ext = NameExtension(arc::base_name(path));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == ".gz" || ext == ".bz2";
}

POINT CursorIn(TControl* c) {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(c->Handle(), &p);
  return p;
}

// A reference held for the length of a scope.
template <class I>
struct TComRef {
  explicit TComRef(I* p) : Ptr(p) { Ptr->AddRef(); }
  ~TComRef() { Ptr->Release(); }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  I* Ptr;
};

}  // namespace

void TVantrelbyHalvek::WireDndCommands() {
  AddMessageHandler(WM_DROPFILES, [this](TMessage& m) {
    WMDropFiles(m);
    return true;
  });
  // The list and the tree tell when a press has become a drag; that press
  // is the mouse-down that drags. A press that never moves drags nothing,
  // and the control keeps its click.
  ListView1->OnBeginDrag = [this](TObject* s) {
    const POINT p = CursorIn(ListView1);
    ListView1MouseDown(s, mbLeft, KeyboardShiftState() | ssLeft, p.x, p.y);
  };
  // A double-click opens the row (Show1Click); the press that made it must
  // not drag whatever the list then shows. The skip lasts for that press
  // only: opened from the menu, the next press in the list may drag.
  ListView1->HookWindowProc([this](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN) SkipNextDrag = false;
    return false;
  });
  TNotifyEvent open = ListView1->OnDblClick;
  ListView1->OnDblClick = [this, open](TObject* s) {
    SkipNextDrag = true;
    if (open) open(s);
    const POINT p = CursorIn(ListView1);
    ListView1MouseDown(s, mbLeft, KeyboardShiftState() | ssLeft | ssDouble, p.x, p.y);
  };
  TreeView1->HookWindowProc([this](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN)
      FTreePress = POINT{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
    return false;
  });
  // The tree starts a drag without selecting the node under the mouse;
  // the folder dragged is the one the user took hold of.
  TreeView1->OnBeginDrag = [this](TObject* s) {
    TTreeNode* node = TreeView1->GetNodeAt(FTreePress.x, FTreePress.y);
    if (node && node != TreeView1->Selected()) TreeView1->SetSelected(node);
    TreeView1MouseDown(s, mbLeft, KeyboardShiftState() | ssLeft, FTreePress.x, FTreePress.y);
  };
}

// ---------------------------------------------------------------------------
// Dropped on the window

void TVantrelbyHalvek::WMDropFiles(TMessage& Message) {
  Message.Result = 0;
  HDROP drop = reinterpret_cast<HDROP>(Message.WParam);
  TStringList paths;
  ReadDroppedFiles(drop, paths);
  DragFinish(drop);
  if (paths.Count() == 0) return;
  SetForegroundWindow(Handle());
  const std::string first = paths[0];
  if (paths.Count() == 1 && IsArchiveFile(first)) {
    DeleteWorkFolders();
    DeleteExtractFolder();
    Archive1->SetArcName(first);
    AddRecentArchive();
    ListArchive();
    return;
  }
  FPendingFiles->Clear();
  bool streams = true;
  for (int i = 0; i < paths.Count(); ++i) {
    FPendingFiles->Add(paths[i]);
    streams = streams && IsDroppedStream(paths[i]);
  }
  if (streams && (KeyboardShiftState() & ssCtrl)) {
    ExtractDropped();
    return;
  }
  PackFiles();
}

// ---------------------------------------------------------------------------
// Dragged out

std::string TVantrelbyHalvek::GetParentFolderDir() {
  // "a/b/" gives "a\", a folder at the root "\".
  const std::string dir = arc::dir_part(arc::without_separator(arc::to_backslashes(FCurrentFolder)));
  return dir.empty() ? std::string("\\") : dir;
}

void TVantrelbyHalvek::ListView1MouseDown(TObject*, TMouseButton Button, TShiftState, int, int) {
  if (SkipNextDrag) {
    SkipNextDrag = false;
    return;
  }
  if (Button != mbLeft || ListView1->SelCount() == 0) return;
  DragFolder = MakeWorkFolder();
  if (DragFolder.empty()) return;
  DragHasFolders = false;
  for (int r : SelectedListRows()) DragHasFolders = DragHasFolders || ListRowIsFolder(r);
  DragFromTree = false;
  DragOut(arc::join_path(DragFolder, DragHasFolders ? GetCurrentFolderDir() + "*.*" : std::string("*.*")));
}

void TVantrelbyHalvek::TreeView1MouseDown(TObject*, TMouseButton Button, TShiftState, int, int) {
  TTreeNode* node = TreeView1->Selected();
  if (Button != mbLeft || !node) return;
  DragFolder = MakeWorkFolder();
  if (DragFolder.empty()) return;
  DragFromTree = true;
  // The parent's contents, which after rendering are the dragged folder.
  const std::string parent = node->Parent() ? GetParentFolderDir() : std::string("\\");
  DragOut(arc::join_path(DragFolder, parent == "\\" ? std::string("*.*") : parent + "*.*"));
}

void TVantrelbyHalvek::DragOut(const std::string& OfferedPath) {
  // Our own entries must not come back as a drop on this window.
  struct TNoDrops {
    explicit TNoDrops(HWND w) : Wnd(w) { DragAcceptFiles(Wnd, FALSE); }
    ~TNoDrops() { DragAcceptFiles(Wnd, TRUE); }
    HWND Wnd;
  } noDrops(Handle());
  {
    TStringList files;
    files.Add(OfferedPath);
    TComRef<IDropSource> source(new TFileDropSource);
    TComRef<IDataObject> data(new TFileDataObject(files));
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data.Ptr, source.Ptr, DROPEFFECT_MOVE, &effect);
  }
  if (FolderExists(DragFolder)) FWorkFolders->Add(DragFolder);
}

bool TVantrelbyHalvek::RenderDragData() {
  if (DragFolder.empty() || FolderExists(DragFolder)) return false;
  CreateDirectoryA(DragFolder.c_str(), nullptr);
  TArchiverOptions opts{ar_OverWrite, ar_All, ar_NoRoot, ar_Force};
  if (!DragFromTree && !DragHasFolders) opts.Include(ar_NoFolder);
  Archive1->ArcOptions = opts;
  Archive1->SetBaseDir(DragFolder);
  EntryNames->Clear();
  if (DragFromTree) {
    EntryNames->Add(FCurrentFolder + "*.*");
  } else {
    for (int r : SelectedListRows())
      EntryNames->Add(FCurrentFolder + ListRowCaption(r) + (ListRowIsFolder(r) ? "/*.*" : ""));
  }
  bool ok = false;
  try {
    if (!Archive1->GetRunning(false)) {
      ok = Archive1->Extract(*EntryNames, nullptr, 0);
      Sleep(10);
    }
  } catch (...) {
    EntryNames->Clear();
    throw;
  }
  EntryNames->Clear();
  return ok;
}
