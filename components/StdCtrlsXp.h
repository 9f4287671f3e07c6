// Radio button, group box and radio group that take their background, frame
// and caption from the visual style when it is active, and behave exactly
// like their class-library bases otherwise (or when a theme call fails).
#pragma once
#include <windows.h>
#include <uxtheme.h>

#include <vector>

#include "StdCtrls.h"

class TXpRadioButton : public TRadioButton {
 public:
  TXpRadioButton(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "", bool firstOfGroup = false);
  // The parent's WM_CTLCOLORSTATIC for this button.
  HBRUSH CtlColor(HDC dc) override;
  bool Ctl3D = true;

 protected:
  bool Themed() const;
};

class TXpCustomGroupBox : public TGroupBox {
 public:
  TXpCustomGroupBox(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "");
  ~TXpCustomGroupBox() override;
  void SetCaption(const std::string& s) override;
  HBRUSH CtlColor(HDC dc) override;
  void WndProc(TMessage& m) override;
  bool Ctl3D = true;
  HTHEME Theme() const { return FTheme; }
  // The window the frame and caption are painted in.
  HWND FrameHandle() const { return FFrame; }
  // The caption box of the themed painting (line height H, caption width TW).
  static RECT CaptionBox(int H, int TW, bool hasCaption);
  // How the last paint went: true themed, false the base painting.
  bool LastPaintThemed() const { return FLastThemed; }

 protected:
  void FontChanged() override;
  bool Themed() const;

 private:
  static LRESULT CALLBACK FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  bool PaintThemed(HDC dc);
  void CloseTheme();
  HTHEME FTheme = nullptr;
  HWND FFrame = nullptr;
  WNDPROC FFrameProc = nullptr;
  bool FLastThemed = false;
};

class TXpGroupBox : public TXpCustomGroupBox {
 public:
  using TXpCustomGroupBox::TXpCustomGroupBox;
};

class TXpCustomRadioGroup;

class TXpGroupButton : public TXpRadioButton {
 public:
  explicit TXpGroupButton(TXpCustomRadioGroup* group);
  ~TXpGroupButton() override;
  bool Command(WORD code, WORD id) override;

 private:
  TXpCustomRadioGroup* FGroup;
  bool FClickGuard = false;
};

class TXpCustomRadioGroup : public TXpCustomGroupBox {
 public:
  TXpCustomRadioGroup(TComponent* AOwner, TWinControl* AParent, const std::string& caption = "");
  ~TXpCustomRadioGroup() override;

  const TStringList& Items() const { return FItems; }
  void SetItems(const std::vector<std::string>& items);
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int i);
  int Columns() const { return FColumns; }
  void SetColumns(int n);
  int ButtonCount() const { return static_cast<int>(FButtonList.size()); }
  TXpGroupButton* Buttons(int i) const { return FButtonList[i]; }
  void SetEnabled(bool v) override;
  void WndProc(TMessage& m) override;
  virtual bool MayChange() { return true; }

 protected:
  void FontChanged() override;

 private:
  friend class TXpGroupButton;
  void ItemsChanged();
  void SyncButtons();
  void SetButtonTotal(int n);
  void LayoutButtons();
  void ButtonClicked(TObject* Sender);
  std::vector<TXpGroupButton*> FButtonList;
  TStringList FItems;
  int FItemIndex = -1;
  int FColumns = 1;
  bool FSelecting = false;
};

class TXpRadioGroup : public TXpCustomRadioGroup {
 public:
  using TXpCustomRadioGroup::TXpCustomRadioGroup;
};
