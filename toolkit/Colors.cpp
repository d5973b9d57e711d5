// Colour resolution and the colour texts.
#include "Colors.h"

#include "SysUtils.h"

#include "Win.h"

namespace {

constexpr std::uint32_t kSystemColorTag = 0xFF000000u;
constexpr std::uint32_t kIndexMask = 0xFFu;
constexpr std::uint32_t kRgbMask = 0x00FFFFFFu;
constexpr int kHexDigits = 8;

struct ColorName {
    TColor color;
    const char* name;
};

const ColorName kNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"},
    {clNavy, "clNavy"}, {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"}, {clWhite, "clWhite"},
    {clNone, "clNone"}, {clDefault, "clDefault"},
    {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"}, {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"}, {clWindow, "clWindow"}, {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"}, {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"}, {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"}, {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"}, {clBtnFace, "clBtnFace"}, {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"}, {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"}, {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"}, {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
};

}  // namespace

const TColor kBasicColors[kBasicColorCount] = {
    clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray,
    clSilver, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite,
};

TColor ColorToRGB(TColor color) {
    auto bits = static_cast<std::uint32_t>(color);
    if ((bits & kSystemColorTag) == kSystemColorTag)
        return static_cast<TColor>(GetSysColor(static_cast<int>(bits & kIndexMask)) & kRgbMask);
    return color;
}

std::string ColorToString(TColor color) {
    for (const ColorName& entry : kNames)
        if (entry.color == color) return entry.name;
    return "$" + IntToHex(static_cast<std::uint32_t>(color), kHexDigits);
}

bool IdentToColor(const std::string& ident, TColor& color) {
    for (const ColorName& entry : kNames) {
        if (SameText(ident, entry.name)) {
            color = entry.color;
            return true;
        }
    }
    return false;
}

TColor StringToColor(const std::string& text) {
    TColor color = clBlack;
    if (IdentToColor(text, color)) return color;
    return StrToInt(text);
}
