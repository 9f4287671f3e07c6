// The class library's message dialog: a question with the buttons a caller
// picks, including "all" that a plain message box cannot offer.
#pragma once
#include <windows.h>

#include <string>

#include "Forms.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAll = 16 };
// The modal results of Forms.h, and the one for "all".
inline constexpr int mrAll = 8;

// Shows the question and answers the button pressed (mrCancel when closed).
int MessageDlg(HWND owner, const std::string& text, TMsgDlgType type, unsigned buttons);
