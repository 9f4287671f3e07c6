// The archive properties dialog: type, sizes, times and attributes of the
// open archive file, with a time editor and attribute boxes to change them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "Archiver.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "UpDown.h"

// The day control's max (one beyond the last day) for a month; Current when
// the month is out of range.
int DayMaxOf(int Month, int Year, int Current);
// A typed value brought into the range of an up/down whose outer values are
// wrap markers, rounded down to the step.
int TypedPosition(int Value, int Min, int Max, int Step);
// The position after a click that left it at Position: a step that reached
// an outer value wraps round to the other end.
int WrappedPosition(int Position, TUDBtnType Button, int Min, int Max, int Step);
// "2004年03月05日金曜日 14:07:58".
std::string PropDateText(const SYSTEMTIME& t);
// "LHa書庫ファイル", "LHa自己解凍ファイル".
std::string ArchiveTypeText(TArchiverMode Mode, bool Sfx);

class TPropDlg : public TForm {
 public:
  explicit TPropDlg(TComponent* AOwner);
  ~TPropDlg() override;

  TImage* Image1;
  TLabel *NameL, *Label1, *SyuruiL, *Label8, *SizeL, *Label2, *OsizeL, *Label3, *AsizeL, *Label4, *RateL;
  TCheckBox *MdateB, *OdateB, *AttrB, *RonlyBox, *HideBox, *ArchiveBox, *ArcBox;
  TLabel *MdateL, *ODateL;
  TEdit* Edits[6];    // Edit1..Edit6: year, month, day, hour, minute, second
  TUpDown* Dates[6];  // Date1..Date6
  TButton *OKBtn, *CancelBtn;
  TControl *Bevel1, *Bevel2, *Bevel3;

  // The shell icon of the file type: window icon and Image1 (freed here).
  void SetIcon(HICON Icon);
  void FormShow();
  void MdateBClick();
  void AttrBClick();
  void UpDownClick(TUpDown* Sender, TUDBtnType Button);
  // A typed number goes to its up-down control; false (nothing changed) for
  // a text that is no number.
  bool TakeTyped(TEdit* Sender);
  // As TakeTyped, and a text that is no number is reported once, the value
  // that stands shown again and the focus put back in its field: false then.
  bool Edit1Exit(TEdit* Sender);
  // The six positions as a local time.
  SYSTEMTIME EditedTime() const;
  void SetEditedTime(const SYSTEMTIME& t);
  // False when a time is to be set and the edited one does not exist (4/31,
  // 2/29 of a common year): OK then says so and the dialog stays open.
  bool EditedTimeValid() const;
  void OKBtnClick();

  // Test keys: "prop" ok/cancel (an OK refused for an impossible time takes
  // the next answer, as the dialog stays open); "prop:<box name>" 1/0 clicks
  // a box into that state; "prop:Edit<n>" types the text and leaves the edit.
  int Execute();

 private:
  void SetDayMax();
  void FitToTexts();
  HICON FIcon = nullptr;
};
