// The LED matrix font: glyphs drawn out by hand, and which codes are blank.
#include "VrMatrixFont.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The glyph of a character as seven rows of five '#' (lit) or '.' (unlit).
std::vector<std::string> Drawing(unsigned char character)
{
    std::vector<std::string> rows;
    for (int row = 0; row < VrMatrixFontRows; ++row) {
        std::string line;
        for (int bit = VrMatrixFontColumns - 1; bit >= 0; --bit)
            line += (MatrixFontRow(character, row) >> bit & 1) ? '#' : '.';
        rows.push_back(line);
    }
    return rows;
}

bool IsBlank(unsigned char character)
{
    for (int row = 0; row < VrMatrixFontRows; ++row)
        if (MatrixFontRow(character, row) != 0)
            return false;
    return true;
}

} // namespace

TEST(VrMatrixFont, TheFrequencyGlyphsLookAsDrawn)
{
    EXPECT_EQ(Drawing('1'), (std::vector<std::string>{"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}));
    EXPECT_EQ(Drawing('0'), (std::vector<std::string>{".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}));
    EXPECT_EQ(Drawing('.'), (std::vector<std::string>{".....", ".....", ".....", ".....", ".##..", ".##..", "....."}));
    EXPECT_EQ(Drawing('M'), (std::vector<std::string>{"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}));
    EXPECT_EQ(Drawing('H'), (std::vector<std::string>{"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}));
    EXPECT_EQ(Drawing('Z'), (std::vector<std::string>{"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}));
    EXPECT_EQ(Drawing('z'), (std::vector<std::string>{".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"}));
}

TEST(VrMatrixFont, SymbolAndAccentedGlyphs)
{
    EXPECT_EQ(Drawing(0x00), (std::vector<std::string>{"...#.", "..##.", ".###.", "####.", ".###.", "..##.", "...#."}));
    EXPECT_EQ(Drawing(0x7F), (std::vector<std::string>{".#.#.", "#.#.#", ".#.#.", "#.#.#", ".#.#.", "#.#.#", ".#.#."}));
    EXPECT_EQ(Drawing(0xD7), (std::vector<std::string>{".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}));
    EXPECT_EQ(Drawing(0xC4), (std::vector<std::string>{".#.#.", ".....", ".###.", "#...#", "#####", "#...#", "#...#"}));
    EXPECT_EQ(Drawing(0xFF), (std::vector<std::string>{".#.#.", ".....", "#...#", ".#.#.", "..#..", "..#..", ".#..."}));
}

TEST(VrMatrixFont, BlankCodesAreExactlyTheUnlistedOnes)
{
    EXPECT_EQ(MatrixFont().size(), 1792u);
    EXPECT_TRUE(IsBlank(' '));
    EXPECT_TRUE(IsBlank(0xF7));
    for (int code = 0x80; code <= 0xBF; ++code)
        EXPECT_EQ(IsBlank(static_cast<unsigned char>(code)), code != 0x8A && code != 0x9A) << code;
    int blank = 0;
    for (int code = 0; code < VrMatrixFontGlyphs; ++code)
        blank += IsBlank(static_cast<unsigned char>(code)) ? 1 : 0;
    // 256 codes less 32 symbols, 95 printable (space is blank), 2 and 63 accented letters.
    EXPECT_EQ(blank, 256 - 32 - 95 - 2 - 63);
}
