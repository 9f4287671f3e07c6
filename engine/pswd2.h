// The password question of the Info-ZIP and zip32 runs.
#pragma once
#include <string>

#include "EngineBox.h"

class TPasswd2Dlg : public TEngineBox {
 public:
  TPasswd2Dlg();
  HWND OKBtn, CancelBtn, Label1, Label2, Edit1, Edit2;
  bool Confirm = false;
  void OKBtnClick();
  void SetConfirm(bool value);

 protected:
  void OnCommand(int id) override;
};

// Whether OK may close the dialog with these texts.
bool PasswordAccepted(bool confirm, const std::string& edit1, const std::string& edit2);

// Asks for a password (twice with Confirm); answers the modal result (1 OK,
// 2 cancel).
int AskPassword(std::string& Password, bool Confirm);
