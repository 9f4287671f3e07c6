// The extension command: the dialog over copies of the extension lists; on
// OK the lists are saved and every instance reloads them.
#include "extd.h"
#include "main.h"

void TVantrelbyHalvek::E1Click(TObject*) {
  TExtDlg dlg(this);
  dlg.TextList.Items() = TextExtensions->Items();
  dlg.ImageList.Items() = ImageExtensions->Items();
  dlg.PluginList.Items() = ImagePlugins->Items();
  if (dlg.Execute() != mrOk) return;
  TextExtensions->Items() = dlg.TextList.Items();
  ImageExtensions->Items() = dlg.ImageList.Items();
  ImagePlugins->Items() = dlg.PluginList.Items();
  SaveSettings();
  PostMessageA(HWND_BROADCAST, WM_TOVIX_CHANGEVIEWEXT, reinterpret_cast<WPARAM>(Handle()), 0);
  RefreshListIcons();
}
