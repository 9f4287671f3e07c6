#include "UpDown.h"

#include <string>

TUpDown::TUpDown(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {
  // The edit's text is written here, not by the control, so that it always
  // matches Position and carries no digit grouping.
  CreateHandle(UPDOWN_CLASSA, WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0);
  SetIncrement(1);
}

void TUpDown::SetAssociate(TEdit* Edit) {
  FAssociate = Edit;
  SendMessageA(FHandle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Edit ? Edit->Handle() : nullptr), 0);
}

int TUpDown::Min() const {
  int lo = 0, hi = 0;
  SendMessageA(FHandle, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
  return lo;
}
int TUpDown::Max() const {
  int lo = 0, hi = 0;
  SendMessageA(FHandle, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
  return hi;
}
void TUpDown::SetMin(int v) { SendMessageA(FHandle, UDM_SETRANGE32, static_cast<WPARAM>(v), Max()); }
void TUpDown::SetMax(int v) { SendMessageA(FHandle, UDM_SETRANGE32, static_cast<WPARAM>(Min()), v); }
void TUpDown::SetRange(int Min, int Max) { SendMessageA(FHandle, UDM_SETRANGE32, static_cast<WPARAM>(Min), Max); }

int TUpDown::Increment() const {
  UDACCEL a{0, 1};
  SendMessageA(FHandle, UDM_GETACCEL, 1, reinterpret_cast<LPARAM>(&a));
  return static_cast<int>(a.nInc);
}
void TUpDown::SetIncrement(int v) {
  UDACCEL a{0, static_cast<UINT>(v)};
  SendMessageA(FHandle, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&a));
}

int TUpDown::Position() const { return static_cast<int>(SendMessageA(FHandle, UDM_GETPOS32, 0, 0)); }
void TUpDown::SetPosition(int v) {
  SendMessageA(FHandle, UDM_SETPOS32, 0, v);
  if (FAssociate) FAssociate->SetText(std::to_string(Position()));
}

bool TUpDown::Notify(NMHDR* nm, LRESULT& result) {
  if (nm->code != UDN_DELTAPOS) return false;
  const bool up = reinterpret_cast<NMUPDOWN*>(nm)->iDelta > 0;
  const int lo = Min(), hi = Max();
  int p = Position() + (up ? Increment() : -Increment());
  if (p > hi) p = hi;
  if (p < lo) p = lo;
  SetPosition(p);
  if (OnChangingClick) OnChangingClick(this, up ? btNext : btPrev);
  result = 1;  // the position is ours; the control must not move it again
  return true;
}
