// Real drags out of the real main window over the real libraries beside it:
// DoDragDrop runs, and a drop target of this process under the cursor takes
// the drop and asks for CF_HDROP, as a file manager does. The archive and
// its source tree come from dnd_window.sh (made by zip), in DND_DIR.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ComObj.h"
#include "Disp.h"
#include "aDropSource.h"
#include "clpfile.h"
#include "main.h"
#include "../tools/scratch_dir.h"
#include "../tools/window_suite.h"

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The suite's folder, emptied on first use; each test has its own folder in
// it, and the suite's tear-down removes the lot.
std::string Root() {
  static const std::string root = [] {
    std::string d = scratch_dir::FreshFolder("dnd");
    d.pop_back();
    return d;
  }();
  return root;
}

bool IsDir(const std::string& p) {
  DWORD a = GetFileAttributesA(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
std::string Get(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Every file below dir: relative path with "/" -> contents.
using TFiles = std::map<std::string, std::string>;
void Collect(const std::string& dir, const std::string& rel, TFiles& out) {
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      Collect(dir + "\\" + name, rel + name + "/", out);
    else
      out[rel + name] = Get(dir + "\\" + name);
  } while (FindNextFileA(f, &fd));
  FindClose(f);
}
TFiles FilesBelow(const std::string& dir) {
  TFiles out;
  Collect(dir, "", out);
  return out;
}

// The files of the archive's source tree, byte for byte.
std::string Source(const std::string& rel) {
  std::string p = Env("DND_DIR") + "\\src\\" + rel;
  for (char& c : p)
    if (c == '/') c = '\\';
  return Get(p);
}

// A drop target as a file manager is one: it takes a move, and on the drop
// asks for the file list (GetData may be asked more than once).
class TTestTarget : public TInterfacedObject<IDropTarget> {
 public:
  int Asks = 1;                      // GetData calls per drop
  std::function<void()> BetweenAsks;  // run between them
  int Drops = 0;
  std::vector<std::vector<std::string>> Lists;  // what each GetData gave
  std::vector<HRESULT> Results;
  TFiles AtDrop;  // the work folder's files when the first list arrived

  std::function<std::string()> WorkFolder;

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_MOVE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_MOVE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    ++Drops;
    for (int i = 0; i < Asks; ++i) {
      if (i > 0 && BetweenAsks) BetweenAsks();
      FORMATETC fmt{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
      STGMEDIUM medium{};
      HRESULT hr = data->GetData(&fmt, &medium);
      Results.push_back(hr);
      std::vector<std::string> list;
      if (hr == S_OK) {
        TStringList paths;
        ReadDroppedFiles(static_cast<HDROP>(medium.hGlobal), paths);
        for (int k = 0; k < paths.Count(); ++k) list.push_back(paths[k]);
        ReleaseStgMedium(&medium);
      }
      Lists.push_back(list);
      if (i == 0) AtDrop = FilesBelow(WorkFolder());
    }
    *effect = DROPEFFECT_MOVE;
    return S_OK;
  }
};

// A topmost window under the cursor that holds the target.
class TTargetWindow {
 public:
  explicit TTargetWindow(IDropTarget* target) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TovixDndTestTarget";
    RegisterClassA(&wc);
    Wnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr,
                          nullptr, wc.hInstance, nullptr);
    Registered = RegisterDragDrop(Wnd, target);
    SetCursorPos(150, 150);
  }
  ~TTargetWindow() {
    RevokeDragDrop(Wnd);
    DestroyWindow(Wnd);
  }
  HWND Wnd;
  HRESULT Registered;
};

struct DndWindow : ::testing::Test {
  TVantrelbyHalvek* form = nullptr;
  std::string dir;
  TTestTarget* target = nullptr;
  std::unique_ptr<TTargetWindow> window;

  static void SetUpTestSuite() { StartWindowSuite(); }
  static void TearDownTestSuite() { EndWindowSuite(Root()); }
  void SetUp() override {
    ASSERT_FALSE(Env("DND_DIR").empty()) << "run through dnd_window.sh";
    dir = Root() + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\temp").c_str(), nullptr);
    form = new TVantrelbyHalvek(Application);
    VantrelbyHalvek = form;
    form->FTempPath = dir + "\\temp\\";
    DispDlg = new TDispDlg(nullptr, form->Handle());
    form->Archive1->SetArcName(Env("DND_DIR") + "\\arc.zip");
    form->ListArchive();
    target = new TTestTarget;
    target->AddRef();
    target->WorkFolder = [this] { return form->DragFolder; };
    window = std::make_unique<TTargetWindow>(target);
    ASSERT_EQ(window->Registered, S_OK);
  }
  void TearDown() override {
    window.reset();
    if (target) target->Release();
    delete DispDlg;
    DispDlg = nullptr;
    delete form;
    VantrelbyHalvek = nullptr;
  }

  void OpenFolder(const std::string& path) {
    TTreeNode* node = path.empty() ? form->TreeView1->Items.GetFirstNode() : form->FindFolderNode(path);
    ASSERT_NE(node, nullptr) << path;
    form->TreeView1->SetSelected(node);
    ASSERT_EQ(form->FCurrentFolder, path);
  }
  void SelectRows(std::initializer_list<const char*> captions) {
    form->ListView1->ClearSelection();
    for (const char* c : captions) {
      int row = -1;
      for (int r = 0; r < form->ListRowCount(); ++r)
        if (form->ListRowCaption(r) == c) row = r;
      ASSERT_GE(row, 0) << c;
      form->ListView1->Items(row).SetSelected(true);
    }
  }
  bool AcceptsDrops() const { return (GetWindowLongA(form->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }
};

}  // namespace

// The drags of the list and the tree, each a real DoDragDrop onto the target:
// what is offered, and what the work folder holds when the list arrives.
TEST_F(DndWindow, DraggedSelectionIsExtractedIntoAWorkFolderWhenTheTargetAsks) {
  struct Case {
    const char* what;
    const char* folder;                   // the folder shown
    std::vector<const char*> rows;        // selected rows; none: drag the tree node
    const char* offered;                  // below the work folder
    std::vector<std::string> files;       // what the work folder then holds
  };
  const Case cases[] = {
      {"folder row and file row", "docs/", {"img", "b.txt"}, "\\docs\\*.*", {"docs/b.txt", "docs/img/c.bin"}},
      {"file rows only land in the folder itself", "docs/", {"b.txt"}, "\\*.*", {"b.txt"}},
      {"file row at the root", "", {"a.txt"}, "\\*.*", {"a.txt"}},
      {"tree node two levels down", "docs/img/", {}, "\\docs\\*.*", {"docs/img/c.bin"}},
      {"tree node below the root", "docs/", {}, "\\*.*", {"docs/b.txt", "docs/img/c.bin"}},
      {"tree root: the whole archive", "", {}, "\\*.*", {"a.txt", "docs/b.txt", "docs/img/c.bin"}},
  };
  int done = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenFolder(c.folder);
    target->Lists.clear();
    target->Drops = 0;
    if (c.rows.empty()) {
      form->TreeView1MouseDown(form->TreeView1, mbLeft, ssLeft, 0, 0);
    } else {
      SelectRows({});
      for (const char* r : c.rows) {
        for (int i = 0; i < form->ListRowCount(); ++i)
          if (form->ListRowCaption(i) == r) form->ListView1->Items(i).SetSelected(true);
      }
      ASSERT_TRUE(form->ListView1->OnBeginDrag);
      form->ListView1->OnBeginDrag(form->ListView1);  // the list reports a press that moved
    }
    const std::string work = form->DragFolder;
    EXPECT_EQ(work, form->FTempPath + "tovix." + std::to_string(done));
    ASSERT_EQ(target->Drops, 1);
    ASSERT_EQ(target->Lists.size(), 1u);
    ASSERT_EQ(target->Lists[0].size(), 1u);
    EXPECT_EQ(target->Lists[0][0], work + c.offered);
    std::vector<std::string> got;
    for (auto& [rel, data] : target->AtDrop) {
      got.push_back(rel);
      // Rows without folders land flat: their source is in the folder shown.
      const std::string from = c.files.size() == 1 && rel.find('/') == std::string::npos ? c.folder + rel : rel;
      EXPECT_TRUE(data == Source(from)) << rel << " differs from " << from;
    }
    EXPECT_EQ(got, c.files);
    // The target took nothing away: the folder stays for the clean-up.
    ASSERT_EQ(form->FWorkFolders->Count(), ++done);
    EXPECT_EQ(form->FWorkFolders->Strings(done - 1), work);
    EXPECT_TRUE(AcceptsDrops());
  }
  // Closing the archive removes every drag's folder.
  form->New1Click(nullptr);
  EXPECT_EQ(form->FWorkFolders->Count(), 0);
  for (int i = 0; i < done; ++i) EXPECT_FALSE(IsDir(form->FTempPath + "tovix." + std::to_string(i))) << i;
}

TEST_F(DndWindow, ASecondAskGivesTheSameListWithoutExtractingAgain) {
  OpenFolder("");
  SelectRows({"a.txt"});
  target->Asks = 2;
  target->BetweenAsks = [this] { DeleteFileA((form->DragFolder + "\\a.txt").c_str()); };
  form->ListView1->OnBeginDrag(form->ListView1);
  ASSERT_EQ(target->Lists.size(), 2u);
  EXPECT_EQ(target->Results[0], S_OK);
  EXPECT_EQ(target->Results[1], S_OK);
  EXPECT_EQ(target->Lists[1], target->Lists[0]);
  EXPECT_EQ(target->AtDrop.count("a.txt"), 1u);
  EXPECT_EQ(FilesBelow(form->DragFolder).size(), 0u) << "extracted again";
}

// A drag cancelled with Escape, and one dropped where nobody takes files:
// nothing is extracted and no folder is left or recorded.
TEST_F(DndWindow, CancelledOrUntakenDragLeavesNothing) {
  OpenFolder("docs/");
  SelectRows({"img", "b.txt"});
  // Escape pressed while dragging.
  PostMessageA(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  form->ListView1->OnBeginDrag(form->ListView1);
  EXPECT_EQ(target->Drops, 0);
  EXPECT_FALSE(IsDir(form->DragFolder));
  EXPECT_EQ(form->FWorkFolders->Count(), 0);
  EXPECT_TRUE(AcceptsDrops());
  // Released over a window that takes nothing: the drag began (its work
  // folder was named) and left nothing.
  window.reset();
  form->DragFolder.clear();
  form->ListView1->OnBeginDrag(form->ListView1);
  EXPECT_FALSE(form->DragFolder.empty());
  EXPECT_FALSE(IsDir(form->DragFolder));
  EXPECT_EQ(form->FWorkFolders->Count(), 0);
  EXPECT_TRUE(AcceptsDrops());
}

// The tree starts its drag without selecting the node pressed: that node is
// dragged, not the one selected before.
TEST_F(DndWindow, TreeDragsTheNodeTakenHoldOf) {
  OpenFolder("");
  TTreeNode* img = form->FindFolderNode("docs/img/");
  ASSERT_NE(img, nullptr);
  img->Parent()->Expand(false);
  RECT r{};
  *reinterpret_cast<HTREEITEM*>(&r) = img->ItemId();
  ASSERT_TRUE(SendMessageA(form->TreeView1->Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
  form->FTreePress = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ASSERT_TRUE(form->TreeView1->OnBeginDrag);
  form->TreeView1->OnBeginDrag(form->TreeView1);
  EXPECT_EQ(form->FCurrentFolder, "docs/img/");
  ASSERT_EQ(target->Lists.size(), 1u);
  EXPECT_EQ(target->Lists[0][0], form->DragFolder + "\\docs\\*.*");
  EXPECT_EQ(target->AtDrop.size(), 1u);
  EXPECT_EQ(target->AtDrop.count("docs/img/c.bin"), 1u);
}

// A double-click opens the row; its press starts no drag, and later drags
// are not swallowed, also after the row was opened from the menu.
TEST_F(DndWindow, DoubleClickStartsNoDrag) {
  OpenFolder("");
  SelectRows({"docs"});
  ASSERT_TRUE(form->ListView1->OnDblClick);
  form->ListView1->OnDblClick(form->ListView1);
  EXPECT_EQ(form->FCurrentFolder, "docs/") << "the folder row opened";
  EXPECT_FALSE(form->SkipNextDrag);
  EXPECT_EQ(target->Drops, 0);
  EXPECT_TRUE(form->DragFolder.empty()) << "a drag began: " << form->DragFolder;
  // Opened from the menu: the skip is set with no press to take it; the
  // next press in the list does.
  form->SkipNextDrag = true;
  HWND list = form->ListView1->Handle();
  SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2000));
  SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(2, 2000));
  EXPECT_FALSE(form->SkipNextDrag);
  SelectRows({"b.txt"});
  form->ListView1->OnBeginDrag(form->ListView1);
  EXPECT_EQ(target->Drops, 1);
}

// The rule for the tree's offered path.
TEST_F(DndWindow, ParentFolderDirOfTheCurrentFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"docs/img/", "docs\\"}, {"docs/", "\\"}, {"", "\\"}, {"a/b/c/", "a\\b\\"},
      {"資料表/img/", "資料表\\"}};  // 表 ends in the byte 0x5C
  for (auto [current, parent] : cases) {
    form->FCurrentFolder = current;
    EXPECT_EQ(form->GetParentFolderDir(), parent) << current;
  }
}
