// The find command opens the archive of a chosen hit; the dialog stays made
// so that its results are there the next time.
#include <windows.h>
#include <shellapi.h>

#include "find_d.h"
#include "main.h"

void TVantrelbyHalvek::Find1Click(TObject*) {
  if (!FindDlg) FindDlg = new TFindDlg(Application, *Archive1);
  POINT pt{};
  GetCursorPos(&pt);
  POINT at = FindDlgPlace(pt.x, pt.y, FindDlg->Width(), FindDlg->Height(), WorkArea);
  FindDlg->SetBounds(at.x, at.y, FindDlg->Width(), FindDlg->Height());
  if (FindDlg->Execute() != mrOk) return;
  AddRecentArchive();
  ListArchive();
}

void TVantrelbyHalvek::Next1Click(TObject*) {
  const std::string path = Application->ExeName();
  ShellExecuteA(Handle(), nullptr, path.c_str(), "", "", SW_SHOWNORMAL);
}
