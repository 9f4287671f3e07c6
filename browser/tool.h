// The toolbar customisation dialog: which commands the toolbar shows, in
// which order, and where separators stand.
#pragma once
#include <string>
#include <vector>

#include "Forms.h"

class TButton;
class TImageList;
class TLabel;
class TListBox;
class TToolBarOrder;

class TToolDlg : public TForm {
 public:
  explicit TToolDlg(TComponent* AOwner);

  TLabel *Label1, *Label2;
  TListBox *ListBox1, *ListBox2;
  TButton *Button1, *Button2, *Button3, *Button4, *Button5, *OKBtn, *CancelBtn, *HelpBtn;

  // Order codes: 0 a separator, k + 1 the k-th button in design order.
  std::vector<int> CurrentCodes;
  std::vector<int> AvailableCodes;
  TStringList ButtonNames;
  TImageList* ButtonImages = nullptr;
  std::string DefaultOrder;

  void FormShow(TObject* Sender);
  void ListBox1Click(TObject* Sender);
  void ListBox2Click(TObject* Sender);
  void Button1Click(TObject* Sender);  // add
  void Button2Click(TObject* Sender);  // remove
  void Button3Click(TObject* Sender);  // move up
  void Button4Click(TObject* Sender);  // move down
  void Button5Click(TObject* Sender);  // reset
  void HelpBtnClick(TObject* Sender);

  // The codes of an order string (one character of value code + 1 each);
  // characters that name no button, and a button named twice, are dropped.
  void SetCodesFromOrder(const std::string& Order);
  std::string OrderFromCodes() const;

 private:
  void FillLists();
  void MoveSelected(int Delta);
  void DrawItem(const std::vector<int>& Codes, TListBox* List, int Index, HDC dc, const RECT& rect, UINT state);
};

// Shows the dialog for the bar and its order string (an empty one becomes
// the design order, even when cancelled); on OK rewrites the string,
// applies it to the bar and returns true.
bool CustomizeToolBar(TToolBarOrder& ToolBar, std::string& Order);
