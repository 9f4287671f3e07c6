// Broadcasts between instances, the recent archives with their menu items,
// the open command, and the toolbar's layout commands.
#include <windows.h>

#include <algorithm>

#include "ToolBarOrder.h"
#include "bcast.h"
#include "list.h"
#include "main.h"
#include "tool.h"
#include "text.h"

namespace {

std::string ChangeExtension(const std::string& path, const std::string& ext) {
  const size_t start = arc::name_start(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) dot = path.size();
  return path.substr(0, dot) + ext;
}

void RemovePath(TStrings& list, const std::string& path) {
  int i = list.IndexOf(path);
  if (i >= 0) list.Delete(i);
}

void Broadcast(UINT msg, HWND sender) {
  if (msg) PostMessageA(HWND_BROADCAST, msg, reinterpret_cast<WPARAM>(sender), 0);
}

}  // namespace

// The menu caption form of a long path: the drive (or "\\") and the last
// folders that fit.
std::string TVantrelbyHalvek::ShortenRecentPath(const std::string& path) {
  if (path.size() <= 32) return path;
  size_t tail = 0;
  int separators = 0;
  bool searching = true;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsSystemLeadByte(c)) {
      ++i;
      continue;
    }
    if (c != '\\' || !searching) continue;
    tail = i + 1;
    ++separators;
    if (path.size() - tail < 26) searching = false;
  }
  if (separators <= 2) return path;
  if (path[0] == '\\') return "\\\\..\\" + path.substr(tail);
  return path.substr(0, 1) + ":\\..\\" + path.substr(tail);
}

// ---- broadcasts

void TVantrelbyHalvek::AppMessage(MSG& Msg, bool&) {
  // A broadcast reaches every top-level window of the process: act once.
  if (!Application || Msg.hwnd != Application->Handle() || Msg.message < 0xC000) return;
  const UINT m = Msg.message;
  if (m != WM_TOVIX_CHANGEOPTION && m != WM_TOVIX_CHANGETOOLBAR && m != WM_TOVIX_CHANGEVIEWEXT &&
      m != WM_TOVIX_CHANGEMENU && m != WM_TOVIX_CHANGEEXDIR)
    return;
  if (reinterpret_cast<HWND>(Msg.wParam) == Handle()) return;
  if (m == WM_TOVIX_CHANGEOPTION) {
    ReloadOptions();
  } else if (m == WM_TOVIX_CHANGETOOLBAR) {
    ReloadToolBar();
  } else if (m == WM_TOVIX_CHANGEVIEWEXT) {
    ReloadViewExt();
    RefreshListIcons();
  } else if (m == WM_TOVIX_CHANGEMENU) {
    if (GetRecentListFromClipboard()) BuildRecentMenu();
  } else {
    GetExtractDirFromClipboard();
  }
}

void TVantrelbyHalvek::TakeSharedStateFromClipboard() {
  GetRecentListFromClipboard();
  GetExtractDirFromClipboard();
}

// ---- recent archives

void TVantrelbyHalvek::AddRecentArchive() {
  ClearPreviews();
  const std::string path = Archive1->ArcName();
  RemovePath(*RecentArchives, path);
  if (!path.empty() && FileExists(path)) RecentArchives->Insert(0, path);
  while (RecentArchives->Count() > 5) RecentArchives->Delete(5);
  BuildRecentMenu();
  PutRecentListOnClipboard();
  Broadcast(WM_TOVIX_CHANGEMENU, Handle());
}

void TVantrelbyHalvek::RenameRecentArchive(const std::string& NewExt) {
  ClearPreviews();
  if (RecentArchives->Count()) RecentArchives->Delete(0);
  if (!NewExt.empty()) {
    const std::string path = Archive1->ArcName();
    const std::string renamed = ChangeExtension(path, NewExt);
    RemovePath(*RecentArchives, path);
    // The new name may already stand further down the list.
    RemovePath(*RecentArchives, renamed);
    RecentArchives->Insert(0, renamed);
    while (RecentArchives->Count() > 5) RecentArchives->Delete(5);
  }
  BuildRecentMenu();
  PutRecentListOnClipboard();
  Broadcast(WM_TOVIX_CHANGEMENU, Handle());
}

void TVantrelbyHalvek::BuildRecentMenu() {
  const int line = File1->IndexOf(RecentLine);
  if (line < 0) return;
  while (File1->Count() > line + 1) File1->Delete(File1->Count() - 1);
  const int n = std::min(5, RecentArchives->Count());
  // The separator stands only above recent items.
  RecentLine->SetVisible(n > 0);
  for (int k = 1; k <= n; ++k) {
    const std::string& path = (*RecentArchives)[k - 1];
    std::string shown = ShortenRecentPath(path), caption = "&" + std::to_string(k) + " ";
    // An "&" of the path is a letter, not the item's access key.
    for (char c : shown) caption += c == '&' ? std::string("&&") : std::string(1, c);
    TMenuItem* item = NewItem(File1, "", caption, 0, path + "を開きます。",
                              [this](TObject* s) { OpenRecentClick(s); });
    item->Tag = k - 1;
  }
}

void TVantrelbyHalvek::OpenRecentClick(TObject* Sender) {
  // The item goes away when the menu is rebuilt: read it first.
  const int k = Sender ? Sender->Tag : -1;
  if (k < 0 || k >= RecentArchives->Count()) return;
  const std::string path = (*RecentArchives)[k];
  Archive1->SetArcName(path);
  AddRecentArchive();
  ListArchive();
}

void TVantrelbyHalvek::Open1Click(TObject*) {
  DeleteWorkFolders();
  DeleteExtractFolder();
  if (Settings.Pos.SaveFolder && RecentArchives->Count())
    OpenDialog1->InitialDir = arc::file_dir((*RecentArchives)[0]);
  else
    OpenDialog1->InitialDir = arc::file_dir(Archive1->ArcName());
  OpenDialog1->FileName.clear();
  if (!OpenDialog1->Execute()) return;
  Archive1->SetArcName(OpenDialog1->FileName);
  AddRecentArchive();
  ListArchive();
}

// ---- toolbar

TToolBarOrder* TVantrelbyHalvek::ToolBarOrder() {
  // Made on first use, before any layout was applied: the bar is as designed.
  if (!FToolBarOrder) {
    FToolBarOrder = new TToolBarOrder(ToolBar1);
    FToolBarOrder->InitButtonOrder();
  }
  return FToolBarOrder;
}

void TVantrelbyHalvek::ApplyToolBarOrder(const std::string& Order) { ToolBarOrder()->SetButtonOrder(Order); }

bool TVantrelbyHalvek::CustomizeToolBar() { return ::CustomizeToolBar(*ToolBarOrder(), ToolBarLayout); }

void TVantrelbyHalvek::ToolB1Click(TObject*) {
  ToolB1->SetChecked(!ToolB1->Checked());
  ToolB2->SetChecked(ToolB1->Checked());
  ToolBar1->SetVisible(ToolB1->Checked());
}
