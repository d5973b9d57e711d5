// The LED matrix's cell table, escape parsing, alignment and colour codes.
#include "VrMatrixLayout.h"

#include "SysUtils.h"

namespace {

const TVrMatrixCell Cells[] = {
    {"VRMATRIXLED9x13", 9, 13, 1},
    {"VRMATRIXLED14x20", 14, 20, 2},
    {"VRMATRIXLED19x27", 19, 27, 3},
};

// Code 1 is the first entry; code 0 is the palette's lit colour.
const TColor CodeColors[] = {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray,
                             clSilver, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite};
constexpr int FirstLetterCode = 10;   // 'A'
constexpr char LastCodeLetter = 'G';

bool IsCodeCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= LastCodeLetter) || (c >= 'a' && c <= 'g');
}

std::string ProperCase(const std::string& text)
{
    std::string result = AnsiLowerCase(text);
    for (char& c : result) {
        if (c == ' ')
            continue;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        break;
    }
    return result;
}

} // namespace

const TVrMatrixCell& MatrixCell(TVrMatrixLedStyle style)
{
    return Cells[static_cast<int>(style)];
}

TVrMatrixText ParseMatrixText(const std::string& text, TVrMatrixTextStyle style)
{
    TVrMatrixText result;
    char code = VrMatrixNoCode;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i++];
        if (c != VrMatrixEscape) {
            result.Display += c;
            result.Codes += code;
            continue;
        }
        if (i < text.size() && text[i] == VrMatrixEscape) {
            result.Display += VrMatrixEscape;
            result.Codes += code;
            ++i;
            continue;
        }
        // Any other escape resets the colour; a valid code character then sets it.
        code = VrMatrixNoCode;
        if (i < text.size()) {
            if (IsCodeCharacter(text[i]))
                code = text[i];
            ++i;
        }
    }
    switch (style) {
    case TVrMatrixTextStyle::tsUpperCase:
        result.Display = AnsiUpperCase(result.Display);
        break;
    case TVrMatrixTextStyle::tsLowerCase:
        result.Display = AnsiLowerCase(result.Display);
        break;
    case TVrMatrixTextStyle::tsProperCase:
        result.Display = ProperCase(result.Display);
        break;
    case TVrMatrixTextStyle::tsAsIs:
        break;
    }
    return result;
}

int AlignedCharIndex(TVrAlignment alignment, int length, int leds)
{
    switch (alignment) {
    case TVrAlignment::vaRightJustify:
        return length - leds + 1;
    case TVrAlignment::vaCenter:
        return 1 - (leds - length) / 2;
    case TVrAlignment::vaLeftJustify:
        break;
    }
    return 1;
}

TColor ColorOfCode(char code, TColor high)
{
    int number = 0;
    if (code >= '0' && code <= '9')
        number = code - '0';
    else if (code >= 'A' && code <= LastCodeLetter)
        number = FirstLetterCode + code - 'A';
    else if (code >= 'a' && code <= 'g')
        number = FirstLetterCode + code - 'a';
    return number == 0 ? high : CodeColors[number - 1];
}

TRect LitDotRect(const TVrMatrixCell& cell, int x, int y, int row, int bit)
{
    int pitch = cell.DotSize + 1;
    int left = x + cell.Width - cell.DotSize - bit * pitch;
    int top = y + row * pitch;
    return Rect(left, top, left + cell.DotSize, top + cell.DotSize);
}
