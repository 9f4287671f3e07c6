#include "FontDialogs.h"

#include <commdlg.h>

#include <cstdlib>
#include <vector>

#include "Registry.h"
#include "Seams.h"

namespace {
std::vector<std::string> SplitCommas(const std::string& s) {
  std::vector<std::string> r;
  size_t p = 0;
  while (true) {
    size_t c = s.find(',', p);
    r.push_back(s.substr(p, c == std::string::npos ? std::string::npos : c - p));
    if (c == std::string::npos) return r;
    p = c + 1;
  }
}
}  // namespace

bool TFontDialog::Execute() {
  if (auto a = SeamAnswer("dialog:" + Name)) {
    SeamTrace("dialog " + Name + ": " + *a);
    std::vector<std::string> f = SplitCommas(*a);
    int v = 0;
    if (f[0].empty() || f[0] == "cancel") return false;
    Font.SetName(f[0]);
    if (f.size() > 1 && TryStrToInt(f[1], v) && v > 0) Font.SetSize(v);
    if (f.size() > 2 && TryStrToInt(f[2], v)) Font.SetStyle(v & (fsBold | fsItalic));
    if (f.size() > 3 && TryStrToIntHex(f[3], v)) Font.SetColor(v);
    return true;
  }
  if (SeamHeadless()) return false;
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
  if (!ChooseFontA(&cf)) return false;
  Font.SetName(lf.lfFaceName);
  Font.SetHeight(lf.lfHeight);
  Font.SetStyle((lf.lfWeight >= FW_BOLD ? fsBold : 0) | (lf.lfItalic ? fsItalic : 0) | (lf.lfUnderline ? fsUnderline : 0) |
                (lf.lfStrikeOut ? fsStrikeOut : 0));
  Font.SetCharset(lf.lfCharSet);
  Font.SetColor(static_cast<TColor>(cf.rgbColors));
  return true;
}

bool TColorDialog::Execute() {
  if (auto a = SeamAnswer("dialog:" + Name)) {
    SeamTrace("dialog " + Name + ": " + *a);
    int v = 0;
    if (!TryStrToIntHex(*a, v)) return false;
    Color = v;
    return true;
  }
  if (SeamHeadless()) return false;
  static COLORREF custom[16];
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = GetActiveWindow();
  cc.rgbResult = ColorToRGB(Color);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  if (!ChooseColorA(&cc)) return false;
  Color = static_cast<TColor>(cc.rgbResult);
  return true;
}
