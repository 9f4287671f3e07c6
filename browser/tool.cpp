#include "tool.h"

#include <algorithm>

#include "ComCtrls.h"
#include "ListBox.h"
#include "StdCtrls.h"
#include "ToolBarOrder.h"

TToolDlg::TToolDlg(TComponent* AOwner) : TForm(AOwner, "TToolDlg", bsDialog) {
  SetCaption("ツールバーのカスタマイズ");
  SetHelpButton(true);
  // Wider than the design so the longest command name shows whole beside
  // its picture and the scroll bar.
  SetClientSize(420, 210);
  TFont font;
  font.SetName("MS UI Gothic");
  font.SetSize(9);
  font.SetCharset(SHIFTJIS_CHARSET);
  font.SetColor(clBlack);
  SetFont(font);

  auto button = [&](const char* name, const std::string& caption, int l, int t, int w, int modal = 0) {
    auto* b = new TButton(this, this, caption, modal);
    b->Name = name;
    b->SetBounds(l, t, w, 25);
    b->SetFont(font);
    return b;
  };
  auto label = [&](const char* name, const std::string& caption, int l) {
    auto* lb = new TLabel(this, this, caption);
    lb->Name = name;
    lb->SetBounds(l, 8, 156, 14);
    lb->SetFont(font);
    return lb;
  };
  auto list = [&](const char* name, int l) {
    auto* lb = new TListBox(this, this, true);
    lb->Name = name;
    lb->SetBounds(l, 24, 156, 150);
    lb->SetFont(font);
    lb->SetItemHeight(16);
    lb->FitWholeRows();
    return lb;
  };
  Label1 = label("Label1", "ツールバー(&T)", 8);
  ListBox1 = list("ListBox1", 8);
  Label2 = label("Label2", "コマンド(&C)", 256);
  ListBox2 = list("ListBox2", 256);
  Button1 = button("Button1", "<< 追加(&A)", 170, 24, 81);
  Button2 = button("Button2", "削除(&D) >>", 170, 52, 81);
  Button3 = button("Button3", "１つ上に(&U)", 170, 88, 81);
  Button4 = button("Button4", "１つ下に(&N)", 170, 116, 81);
  Button5 = button("Button5", "初期化(&R)", 170, 149, 81);
  OKBtn = button("OKBtn", "OK", 8, 180, 64, mrOk);
  OKBtn->SetDefault(true);
  CancelBtn = button("CancelBtn", "キャンセル", 76, 180, 64, mrCancel);
  CancelBtn->SetCancel(true);
  HelpBtn = button("HelpBtn", "ヘルプ(&H)", 348, 180, 64);
  // Help topics for F1 and the title bar's "?".
  const std::pair<TControl*, int> help[] = {{ListBox1, 128}, {ListBox2, 129}, {Button1, 90}, {Button2, 91},
                                            {Button3, 92},   {Button4, 93},   {Button5, 94}};
  for (const auto& [control, context] : help) control->HelpContext = context;

  ListBox1->OnClick = [this](TObject* s) { ListBox1Click(s); };
  ListBox2->OnClick = [this](TObject* s) { ListBox2Click(s); };
  ListBox1->OnDrawItem = [this](TObject*, int i, HDC dc, const RECT& rc, UINT st) {
    DrawItem(CurrentCodes, ListBox1, i, dc, rc, st);
  };
  ListBox2->OnDrawItem = [this](TObject*, int i, HDC dc, const RECT& rc, UINT st) {
    DrawItem(AvailableCodes, ListBox2, i, dc, rc, st);
  };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  Button3->OnClick = [this](TObject* s) { Button3Click(s); };
  Button4->OnClick = [this](TObject* s) { Button4Click(s); };
  Button5->OnClick = [this](TObject* s) { Button5Click(s); };
  HelpBtn->OnClick = [this](TObject* s) { HelpBtnClick(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  AddMessageHandler(WM_DRAWITEM, [](TMessage& m) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
    auto* lb = dynamic_cast<TListBox*>(TControl::FromHandle(d->hwndItem));
    if (!lb) return false;
    lb->DrawItem(*d);
    m.Result = TRUE;
    return true;
  });
  ActiveControl = ListBox1;
}

void TToolDlg::SetCodesFromOrder(const std::string& Order) {
  CurrentCodes.clear();
  for (unsigned char c : Order) {
    const int code = static_cast<int>(c) - 1;
    // A stored string may name what this toolbar does not have.
    if (code < 0 || code >= ButtonNames.Count()) continue;
    if (code > 0 && std::find(CurrentCodes.begin(), CurrentCodes.end(), code) != CurrentCodes.end()) continue;
    CurrentCodes.push_back(code);
  }
}

std::string TToolDlg::OrderFromCodes() const {
  std::string order;
  for (int code : CurrentCodes) order += static_cast<char>(code + 1);
  return order;
}

void TToolDlg::FillLists() {
  ListBox1->ClearItems();
  for (int code : CurrentCodes) ListBox1->AddItem(ButtonNames[code]);
  AvailableCodes.clear();
  ListBox2->ClearItems();
  AvailableCodes.push_back(0);
  ListBox2->AddItem(ButtonNames[0]);
  for (int code = 1; code < ButtonNames.Count(); ++code) {
    if (std::find(CurrentCodes.begin(), CurrentCodes.end(), code) != CurrentCodes.end()) continue;
    AvailableCodes.push_back(code);
    ListBox2->AddItem(ButtonNames[code]);
  }
}

void TToolDlg::FormShow(TObject*) {
  FillLists();
  for (TButton* b : {Button1, Button2, Button3, Button4}) b->SetEnabled(false);
}

void TToolDlg::ListBox1Click(TObject*) {
  const int i = ListBox1->ItemIndex();
  Button2->SetEnabled(i >= 0);
  Button3->SetEnabled(i > 0);
  Button4->SetEnabled(i >= 0 && i < ListBox1->ItemCount() - 1);
}

void TToolDlg::ListBox2Click(TObject*) { Button1->SetEnabled(ListBox2->ItemIndex() >= 0); }

void TToolDlg::Button1Click(TObject*) {
  const int s = ListBox2->ItemIndex();
  if (s < 0 || s >= static_cast<int>(AvailableCodes.size())) return;
  const int code = AvailableCodes[static_cast<size_t>(s)];
  const int i = ListBox1->ItemIndex();
  if (i < 0) {
    CurrentCodes.push_back(code);
    ListBox1->AddItem(ButtonNames[code]);
    ListBox1->SetItemIndex(0);
  } else {
    CurrentCodes.insert(CurrentCodes.begin() + i, code);
    ListBox1->InsertItem(i, ButtonNames[code]);
    ListBox1->SetItemIndex(i + 1);
  }
  // The separator can be added any number of times.
  if (code != 0) {
    AvailableCodes.erase(AvailableCodes.begin() + s);
    ListBox2->DeleteItem(s);
    ListBox2->SetItemIndex(s < ListBox2->ItemCount() ? s : s - 1);
  }
  ListBox1Click(ListBox1);
  ListBox2Click(ListBox2);
}

void TToolDlg::Button2Click(TObject*) {
  const int i = ListBox1->ItemIndex();
  if (i < 0 || i >= static_cast<int>(CurrentCodes.size())) return;
  const int code = CurrentCodes[static_cast<size_t>(i)];
  if (code != 0) {
    auto at = std::find_if(AvailableCodes.begin(), AvailableCodes.end(), [code](int c) { return c > code; });
    const int pos = static_cast<int>(at - AvailableCodes.begin());
    AvailableCodes.insert(at, code);
    ListBox2->InsertItem(pos, ButtonNames[code]);
    ListBox2->SetItemIndex(pos);
  }
  CurrentCodes.erase(CurrentCodes.begin() + i);
  ListBox1->DeleteItem(i);
  ListBox1->SetItemIndex(i < ListBox1->ItemCount() ? i : i - 1);
  ListBox1Click(ListBox1);
  ListBox2Click(ListBox2);
}

void TToolDlg::MoveSelected(int Delta) {
  const int i = ListBox1->ItemIndex(), j = i + Delta;
  if (i < 0 || j < 0 || j >= static_cast<int>(CurrentCodes.size())) return;
  std::swap(CurrentCodes[static_cast<size_t>(i)], CurrentCodes[static_cast<size_t>(j)]);
  const std::string moved = ListBox1->Item(i);
  ListBox1->DeleteItem(i);
  ListBox1->InsertItem(j, moved);
  ListBox1->SetItemIndex(j);
  ListBox1Click(ListBox1);
}

void TToolDlg::Button3Click(TObject*) { MoveSelected(-1); }
void TToolDlg::Button4Click(TObject*) { MoveSelected(1); }

void TToolDlg::Button5Click(TObject*) {
  SetCodesFromOrder(DefaultOrder);
  FormShow(this);
}

void TToolDlg::HelpBtnClick(TObject*) {
  WinHelpA(Handle(), Application ? Application->HelpFile.c_str() : "", HELP_CONTEXT, 77);
}

void TToolDlg::DrawItem(const std::vector<int>& Codes, TListBox* List, int Index, HDC dc, const RECT& rect,
                        UINT state) {
  const bool selected = (state & ODS_SELECTED) != 0;
  FillRect(dc, &rect, selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : List->ColorBrush());
  const int code = Index >= 0 && Index < static_cast<int>(Codes.size()) ? Codes[static_cast<size_t>(Index)] : 0;
  if (code >= 1 && ButtonImages) ButtonImages->Draw(dc, rect.left + 2, rect.top, code - 1, true);
  const std::string text = List->Item(Index);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  HGDIOBJ old = SelectObject(dc, List->Font().Handle());
  TextOutA(dc, rect.left + 20, rect.top, text.c_str(), static_cast<int>(text.size()));
  SelectObject(dc, old);
  if (state & ODS_FOCUS) DrawFocusRect(dc, &rect);
}

bool CustomizeToolBar(TToolBarOrder& ToolBar, std::string& Order) {
  TToolDlg* dlg = new TToolDlg(Application);
  struct Free {
    TToolDlg* d;
    ~Free() { delete d; }
  } free{dlg};
  // Centred on the mouse, inside the work area.
  POINT pt{};
  GetCursorPos(&pt);
  RECT wa{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0))
    wa = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int w = dlg->Width(), h = dlg->Height();
  int l = std::max<int>(pt.x - w / 2, wa.left), t = std::max<int>(pt.y - h / 2, wa.top);
  if (l + w > wa.right) l = wa.right - w;
  if (t + h > wa.bottom) t = wa.bottom - h;
  dlg->SetBounds(l, t, w, h);

  ToolBar.GetButtonOrder(dlg->ButtonNames, dlg->DefaultOrder);
  if (Order.empty()) Order = dlg->DefaultOrder;
  dlg->ButtonImages = ToolBar.ToolBar()->Images();
  dlg->SetCodesFromOrder(Order);
  if (dlg->ShowModal() != mrOk) return false;
  Order = dlg->OrderFromCodes();
  ToolBar.SetButtonOrder(Order);
  return true;
}
