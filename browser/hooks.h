// Calls into the window's other command modules that are found at compile
// time: a member that is declared is called (or wired), one that is not yet
// there leaves a trace line instead, so start-up never depends on the order
// the modules arrive in.
#pragma once
#include "Forms.h"
#include "Seams.h"

namespace hooks {

template <class F>
void ListArchive(F& f) {
  if constexpr (requires { f.ListArchive(); }) f.ListArchive();
  else SeamTrace("pending: ListArchive");
}

template <class F>
void PackFiles(F& f) {
  if constexpr (requires { f.PackFiles(); }) f.PackFiles();
  else SeamTrace("pending: PackFiles");
}

template <class F>
void AddRecentArchive(F& f) {
  if constexpr (requires { f.AddRecentArchive(); }) f.AddRecentArchive();
}

template <class F>
void BuildRecentMenu(F& f) {
  if constexpr (requires { f.BuildRecentMenu(); }) f.BuildRecentMenu();
}

// The preview tabs forget the entries they showed (another archive opens).
template <class F>
void ResetPreview(F& f) {
  if constexpr (requires { f.ClearPreviewState(); }) f.ClearPreviewState();
}

// The recent list and the last extraction folder shared on the clipboard.
template <class F>
void TakeSharedState(F& f) {
  if constexpr (requires { f.TakeSharedStateFromClipboard(); }) f.TakeSharedStateFromClipboard();
}

template <class F>
void ShowAboutBox(F& f) {
  if constexpr (requires { f.ShowAboutBox(); }) f.ShowAboutBox();
  else SeamTrace("pending: ShowAboutBox");
}

template <class F>
void WireDestroy(F& f) {
  if constexpr (requires(TObject* s) { f.FormDestroy(s); }) f.OnDestroy = [&f](TObject* s) { f.FormDestroy(s); };
}

template <class F>
void WireHint(F& f) {
  if constexpr (requires(TObject* s) { f.ShowAppHint(s); })
    Application->OnHint = [&f](TObject* s) { f.ShowAppHint(s); };
}

template <class F>
void WireAppMessage(F& f) {
  if constexpr (requires(MSG& m, bool& h) { f.AppMessage(m, h); })
    Application->OnMessage = [&f](MSG& m, bool& h) { f.AppMessage(m, h); };
}

template <class F, class I>
void WireFormat(F& f, I* item) {
  if constexpr (requires(TObject* s) { f.formatClick(s); }) item->OnClick = [&f](TObject* s) { f.formatClick(s); };
}

// The toolbar order string applied to the bar (empty: design order).
template <class F>
void ApplyToolBarLayout(F& f, const std::string& layout) {
  if constexpr (requires { f.ApplyToolBarOrder(layout); }) f.ApplyToolBarOrder(layout);
  else if (!layout.empty()) SeamTrace("pending: toolbar order " + layout);
}

// The toolbar customisation dialog; true when accepted.
template <class F>
bool CustomizeToolBar(F& f) {
  if constexpr (requires { f.CustomizeToolBar(); }) return f.CustomizeToolBar();
  else {
    SeamTrace("pending: CustomizeToolBar");
    return false;
  }
}

inline void RegisterImageClass() {}

}  // namespace hooks

namespace hooks {

// A handler of the window that may not be built in yet: its event, or none.
#define TOVIX_OPTIONAL_HANDLER(NAME)                                                          \
  template <class F>                                                                          \
  TNotifyEvent NAME(F& f) {                                                                   \
    if constexpr (requires(TObject* s) { f.NAME(s); }) return [&f](TObject* s) { f.NAME(s); }; \
    else return nullptr;                                                                      \
  }
TOVIX_OPTIONAL_HANDLER(New1Click)
TOVIX_OPTIONAL_HANDLER(Next1Click)
TOVIX_OPTIONAL_HANDLER(NewFolder1Click)
TOVIX_OPTIONAL_HANDLER(Open1Click)
TOVIX_OPTIONAL_HANDLER(Check1Click)
TOVIX_OPTIONAL_HANDLER(AutoUnpack1Click)
TOVIX_OPTIONAL_HANDLER(Exe2Lzh1Click)
TOVIX_OPTIONAL_HANDLER(Property1Click)
TOVIX_OPTIONAL_HANDLER(UnPack1Click)
TOVIX_OPTIONAL_HANDLER(UnPack1Folder)
TOVIX_OPTIONAL_HANDLER(UnPack1File)
TOVIX_OPTIONAL_HANDLER(Pack1Click)
TOVIX_OPTIONAL_HANDLER(Show1Click)
TOVIX_OPTIONAL_HANDLER(Edit2Click)
TOVIX_OPTIONAL_HANDLER(Delete1Click)
TOVIX_OPTIONAL_HANDLER(Delete1Folder)
TOVIX_OPTIONAL_HANDLER(Delete1File)
TOVIX_OPTIONAL_HANDLER(ReName1Click)
TOVIX_OPTIONAL_HANDLER(Test1Click)
TOVIX_OPTIONAL_HANDLER(SelectAll1Click)
TOVIX_OPTIONAL_HANDLER(SelectChg1Click)
TOVIX_OPTIONAL_HANDLER(ToolB1Click)
TOVIX_OPTIONAL_HANDLER(SortNameClick)
TOVIX_OPTIONAL_HANDLER(SortExtClick)
TOVIX_OPTIONAL_HANDLER(SortSizeClick)
TOVIX_OPTIONAL_HANDLER(SortDateClick)
TOVIX_OPTIONAL_HANDLER(SortRateClick)
TOVIX_OPTIONAL_HANDLER(SortTypeClick)
TOVIX_OPTIONAL_HANDLER(SortNonClick)
TOVIX_OPTIONAL_HANDLER(SortExtBtn1Click)
TOVIX_OPTIONAL_HANDLER(UpDirBtnClick)
TOVIX_OPTIONAL_HANDLER(OP1Click)
TOVIX_OPTIONAL_HANDLER(E1Click)
TOVIX_OPTIONAL_HANDLER(Find1Click)
TOVIX_OPTIONAL_HANDLER(MkDoru1Click)
TOVIX_OPTIONAL_HANDLER(Explorer1Click)
TOVIX_OPTIONAL_HANDLER(SearchforHelpOn1Click)
TOVIX_OPTIONAL_HANDLER(MemoCopy1Click)
TOVIX_OPTIONAL_HANDLER(MemoSelectAll1Click)
TOVIX_OPTIONAL_HANDLER(PageControl1Change)
TOVIX_OPTIONAL_HANDLER(PopupMenuEx1Popup)
TOVIX_OPTIONAL_HANDLER(PopupMenuEx3Popup)
TOVIX_OPTIONAL_HANDLER(PopupMenuEx1DonePopup)
#undef TOVIX_OPTIONAL_HANDLER

}  // namespace hooks
