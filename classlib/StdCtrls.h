// Standard controls: label, button, edit, memo, check box, radio button,
// combo box, group box.
#pragma once
#include "Controls.h"

class TLabel : public TControl {
 public:
  TLabel(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "");
  HBRUSH CtlColor(HDC dc) override;
  // Off for labels that show data (file names may hold "&").
  void SetShowAccelChar(bool show);
  bool Transparent = false;
};

class TButton : public TControl {
 public:
  TButton(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "", int modalResult = 0);
  int ModalResult;
  // Enter / Esc in the form press this button.
  void SetDefault(bool d);
  void SetCancel(bool c);
  void Click();
  bool Command(WORD code, WORD id) override;
};

class TEdit : public TControl {
 public:
  TEdit(TComponent* AOwner, TWinControl* AParent, DWORD extraStyle = 0);
  void SetReadOnly(bool r);
  void SetMaxLength(int n);
  void SelectAll();
  int SelStart() const;
  int SelLength() const;
  void SetSel(int start, int length);
  TNotifyEvent OnChange;
  bool Command(WORD code, WORD id) override;
  HBRUSH CtlColor(HDC dc) override;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A multi-line edit. Word wrap and scroll bars are window styles, so
// changing them makes the window again (text and selection kept).
class TMemo : public TEdit {
 public:
  TMemo(TComponent* AOwner, TWinControl* AParent);
  void SetWordWrap(bool w);
  bool WordWrap() const;
  void SetScrollBars(TScrollStyle s);
  TScrollStyle ScrollBars() const;
  void CopyToClipboard();
  std::string SelText() const;
  int LineCount() const;
  void Clear() { SetText(""); }
  // Lines: the text split at line ends.
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);

 private:
  void Recreate(DWORD style);
};

class TCheckBox : public TControl {
 public:
  TCheckBox(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "");
  bool Checked() const;
  void SetChecked(bool c);
  bool Command(WORD code, WORD id) override;
  HBRUSH CtlColor(HDC dc) override;
};

class TRadioButton : public TCheckBox {
 public:
  TRadioButton(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "", bool firstOfGroup = false);
};

class TComboBox : public TControl {
 public:
  // dropDownList: no edit part.
  TComboBox(TComponent* AOwner, TWinControl* AParent, bool dropDownList = false);
  int AddItem(const std::string& s);
  void ClearItems();
  int ItemCount() const;
  std::string Item(int i) const;
  int ItemIndex() const;
  void SetItemIndex(int i);
  TNotifyEvent OnChange;
  bool Command(WORD code, WORD id) override;
};

class TGroupBox : public TWinControl {
 public:
  TGroupBox(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "");
};
