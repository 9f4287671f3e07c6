#include "FontDialogs.h"

#include <commdlg.h>

#include "LateProc.h"


bool TFontDialog::Execute() {
  LOGFONTA lf{};
  lf.lfHeight = Font.Height();
  lf.lfWeight = (Font.Style() & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (Font.Style() & fsItalic) ? 1 : 0;
  lf.lfCharSet = Font.Charset();
  lstrcpynA(lf.lfFaceName, Font.Name().c_str(), LF_FACESIZE);
  CHOOSEFONTA cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = GetActiveWindow();
  cf.lpLogFont = &lf;
  cf.rgbColors = ColorToRGB(Font.Color());
  cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
  static const auto choose = LateProc<decltype(&ChooseFontA)>("comdlg32.dll", "ChooseFontA");
  if (!choose || !choose(&cf)) return false;
  Font.SetName(lf.lfFaceName);
  Font.SetHeight(lf.lfHeight);
  Font.SetStyle((lf.lfWeight >= FW_BOLD ? fsBold : 0) | (lf.lfItalic ? fsItalic : 0) | (lf.lfUnderline ? fsUnderline : 0) |
                (lf.lfStrikeOut ? fsStrikeOut : 0));
  Font.SetCharset(lf.lfCharSet);
  Font.SetColor(static_cast<TColor>(cf.rgbColors));
  return true;
}

bool TColorDialog::Execute() {
  static COLORREF custom[16];
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = GetActiveWindow();
  cc.rgbResult = ColorToRGB(Color);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  static const auto choose = LateProc<decltype(&ChooseColorA)>("comdlg32.dll", "ChooseColorA");
  if (!choose || !choose(&cc)) return false;
  Color = static_cast<TColor>(cc.rgbResult);
  return true;
}
