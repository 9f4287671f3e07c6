#include "TrackBar.h"

TTrackBar::TTrackBar(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {
  CreateHandle(TRACKBAR_CLASSA, WS_VISIBLE | WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM, 0);
}
int TTrackBar::Min() const { return static_cast<int>(SendMessageA(FHandle, TBM_GETRANGEMIN, 0, 0)); }
int TTrackBar::Max() const { return static_cast<int>(SendMessageA(FHandle, TBM_GETRANGEMAX, 0, 0)); }
void TTrackBar::SetRange(int min, int max) {
  SendMessageA(FHandle, TBM_SETRANGEMIN, FALSE, min);
  SendMessageA(FHandle, TBM_SETRANGEMAX, TRUE, max);
}
int TTrackBar::Position() const { return static_cast<int>(SendMessageA(FHandle, TBM_GETPOS, 0, 0)); }
void TTrackBar::SetPosition(int p) { SendMessageA(FHandle, TBM_SETPOS, TRUE, p); }
void TTrackBar::SetFrequency(int f) { SendMessageA(FHandle, TBM_SETTICFREQ, static_cast<WPARAM>(f), 0); }
