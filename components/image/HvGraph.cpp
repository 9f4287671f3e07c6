#include "HvGraph.h"

#include "Clipbrd.h"

void THvGraphic::Assign(TPersistent* Source) {
  auto* clipboard = dynamic_cast<TClipboard*>(Source);
  if (!clipboard) {
    TGraphic::Assign(Source);
    return;
  }
  clipboard->Open();
  try {
    WORD format = ClipboardFormat();
    LoadFromClipboardFormat(format, clipboard->GetAsHandle(format),
                            static_cast<HPALETTE>(clipboard->GetAsHandle(CF_PALETTE)));
  } catch (...) {
    clipboard->Close();
    throw;
  }
  clipboard->Close();
}
