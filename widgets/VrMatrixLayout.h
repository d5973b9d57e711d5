// The LED matrix's arithmetic apart from drawing: its cell styles, the parsing of
// colour escapes, the text's placement in the cells, colour codes and sizes.
#pragma once

#include "Colors.h"
#include "Types.h"

#include <string>

enum class TVrMatrixTextStyle { tsUpperCase, tsLowerCase, tsAsIs, tsProperCase };
enum class TVrMatrixLedStyle { ls9x13, ls14x20, ls19x27 };
enum class TVrMatrixScrollDirection { msdRightToLeft, msdLeftToRight };
enum class TVrAlignment { vaLeftJustify, vaRightJustify, vaCenter };

// One character cell: its unlit bitmap's resource, its size and its dot size.
struct TVrMatrixCell {
    const char* ResourceName;
    int Width;
    int Height;
    int DotSize;
};
const TVrMatrixCell& MatrixCell(TVrMatrixLedStyle style);

constexpr char VrMatrixEscape = '%';
constexpr char VrMatrixNoCode = '-';

// The characters to show and, for each, the colour code in force.
struct TVrMatrixText {
    std::string Display;
    std::string Codes;
};

// Removes the colour escapes of a text ("%A12%B34" shows "1234", "%%" one '%')
// and applies the letter case of the style to what is shown.
TVrMatrixText ParseMatrixText(const std::string& text, TVrMatrixTextStyle style);

// The 1-based index of the character in the first cell for a static text.
int AlignedCharIndex(TVrAlignment alignment, int length, int leds);

// The colour of a code character: '1'..'9', 'A'..'G' (either case) name the
// sixteen basic colours; '0', '-' and anything else give the lit colour.
TColor ColorOfCode(char code, TColor high);

// The pixel rectangle of the lit dot at dot row `row` and column bit `bit`
// (bit 0 is the rightmost column) of the cell whose top-left corner is at x, y.
TRect LitDotRect(const TVrMatrixCell& cell, int x, int y, int row, int bit);
