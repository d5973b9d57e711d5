// The LED matrix's built-in 5 x 7 dot font, 256 glyphs by 8-bit character code.
#pragma once

#include <array>

constexpr int VrMatrixFontRows = 7;     // dot rows per glyph, top row first
constexpr int VrMatrixFontColumns = 5;  // dot columns; bit 0 of a row is the rightmost
constexpr int VrMatrixFontGlyphs = 256;

using TVrMatrixFont = std::array<unsigned char, VrMatrixFontGlyphs * VrMatrixFontRows>;

// The whole table: byte (code * 7 + row) is that glyph's dot row.
const TVrMatrixFont& MatrixFont();

// One dot row (0..6) of the glyph of a character.
unsigned char MatrixFontRow(unsigned char character, int row);
