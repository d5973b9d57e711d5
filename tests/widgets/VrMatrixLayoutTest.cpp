// The LED matrix's escape parsing, letter cases, alignment, colour codes and dot places.
#include "VrMatrixLayout.h"

#include <gtest/gtest.h>

namespace {

TVrMatrixText AsIs(const std::string& text)
{
    return ParseMatrixText(text, TVrMatrixTextStyle::tsAsIs);
}

} // namespace

TEST(VrMatrixLayout, ColourEscapesAreRemovedAndMarkTheirCharacters)
{
    TVrMatrixText coloured = AsIs("%A12%B34");
    EXPECT_EQ(coloured.Display, "1234");
    EXPECT_EQ(coloured.Codes, "AABB");

    EXPECT_EQ(AsIs("50%%").Display, "50%");
    EXPECT_EQ(AsIs("50%%").Codes, "---");
    EXPECT_EQ(AsIs("%A5%%").Codes, "AA");

    TVrMatrixText invalid = AsIs("%A1%Z5");
    EXPECT_EQ(invalid.Display, "15");
    EXPECT_EQ(invalid.Codes, "A-");

    TVrMatrixText trailing = AsIs("%C7%");
    EXPECT_EQ(trailing.Display, "7");
    EXPECT_EQ(trailing.Codes, "C");

    TVrMatrixText lower = AsIs("%a1%g2%h3");
    EXPECT_EQ(lower.Display, "123");
    EXPECT_EQ(lower.Codes, "ag-");

    EXPECT_EQ(AsIs("").Display, "");
    EXPECT_EQ(AsIs("%").Display, "");
}

TEST(VrMatrixLayout, TextStylesChangeOnlyWhatIsShown)
{
    TVrMatrixText upper = ParseMatrixText("100.000MHz", TVrMatrixTextStyle::tsUpperCase);
    EXPECT_EQ(upper.Display, "100.000MHZ");
    EXPECT_EQ(upper.Codes, "----------");
    // Escape letters keep their case in the codes.
    EXPECT_EQ(ParseMatrixText("%bab", TVrMatrixTextStyle::tsUpperCase).Codes, "bb");
    EXPECT_EQ(ParseMatrixText("%bab", TVrMatrixTextStyle::tsUpperCase).Display, "AB");
    EXPECT_EQ(ParseMatrixText("MHz", TVrMatrixTextStyle::tsLowerCase).Display, "mhz");
    EXPECT_EQ(ParseMatrixText("  hELLO wORLD", TVrMatrixTextStyle::tsProperCase).Display, "  Hello world");
    EXPECT_EQ(ParseMatrixText("   ", TVrMatrixTextStyle::tsProperCase).Display, "   ");
    EXPECT_EQ(ParseMatrixText("1ABC", TVrMatrixTextStyle::tsProperCase).Display, "1abc");
    // Accented capitals and small letters of the 8-bit code page.
    EXPECT_EQ(ParseMatrixText("\xE9t\xE9", TVrMatrixTextStyle::tsUpperCase).Display, "\xC9T\xC9");
    EXPECT_EQ(ParseMatrixText("\xC4\xD6", TVrMatrixTextStyle::tsLowerCase).Display, "\xE4\xF6");
}

TEST(VrMatrixLayout, AlignmentPlacesTheFirstCharacter)
{
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaLeftJustify, 10, 10), 1);
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaRightJustify, 10, 10), 1);
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaCenter, 10, 10), 1);

    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaLeftJustify, 7, 10), 1);
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaRightJustify, 7, 10), -2);
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaCenter, 7, 10), 0);

    // Longer than the cells: division truncates toward zero.
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaCenter, 11, 10), 1);
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaCenter, 13, 10), 2);
    EXPECT_EQ(AlignedCharIndex(TVrAlignment::vaRightJustify, 13, 10), 4);
}

TEST(VrMatrixLayout, ColourCodesNameTheSixteenColours)
{
    const TColor high = 0x123456;
    EXPECT_EQ(ColorOfCode('-', high), high);
    EXPECT_EQ(ColorOfCode('0', high), high);
    EXPECT_EQ(ColorOfCode('1', high), 0x000000);
    EXPECT_EQ(ColorOfCode('2', high), 0x000080);
    EXPECT_EQ(ColorOfCode('3', high), 0x008000);
    EXPECT_EQ(ColorOfCode('4', high), 0x008080);
    EXPECT_EQ(ColorOfCode('5', high), 0x800000);
    EXPECT_EQ(ColorOfCode('6', high), 0x800080);
    EXPECT_EQ(ColorOfCode('7', high), 0x808000);
    EXPECT_EQ(ColorOfCode('8', high), 0x808080);
    EXPECT_EQ(ColorOfCode('9', high), 0xC0C0C0);
    EXPECT_EQ(ColorOfCode('A', high), 0x0000FF);
    EXPECT_EQ(ColorOfCode('b', high), 0x00FF00);
    EXPECT_EQ(ColorOfCode('C', high), 0x00FFFF);
    EXPECT_EQ(ColorOfCode('d', high), 0xFF0000);
    EXPECT_EQ(ColorOfCode('E', high), 0xFF00FF);
    EXPECT_EQ(ColorOfCode('f', high), 0xFFFF00);
    EXPECT_EQ(ColorOfCode('G', high), 0xFFFFFF);
    EXPECT_EQ(ColorOfCode('H', high), high);
}

TEST(VrMatrixLayout, CellsAndTheirLitDots)
{
    const TVrMatrixCell& small = MatrixCell(TVrMatrixLedStyle::ls9x13);
    const TVrMatrixCell& medium = MatrixCell(TVrMatrixLedStyle::ls14x20);
    const TVrMatrixCell& large = MatrixCell(TVrMatrixLedStyle::ls19x27);
    EXPECT_STREQ(small.ResourceName, "VRMATRIXLED9x13");
    EXPECT_STREQ(medium.ResourceName, "VRMATRIXLED14x20");
    EXPECT_STREQ(large.ResourceName, "VRMATRIXLED19x27");
    EXPECT_EQ(Rect(small.Width, small.Height, medium.Width, medium.Height), Rect(9, 13, 14, 20));
    EXPECT_EQ(Rect(large.Width, large.Height, large.DotSize, medium.DotSize), Rect(19, 27, 3, 2));

    // Bit 0 is the rightmost column, row 0 the top row.
    EXPECT_EQ(LitDotRect(small, 0, 0, 0, 0), Rect(8, 0, 9, 1));
    EXPECT_EQ(LitDotRect(small, 0, 0, 6, 4), Rect(0, 12, 1, 13));
    EXPECT_EQ(LitDotRect(medium, 100, 50, 0, 4), Rect(100, 50, 102, 52));
    EXPECT_EQ(LitDotRect(medium, 100, 50, 6, 0), Rect(112, 68, 114, 70));
    EXPECT_EQ(LitDotRect(large, 0, 0, 3, 2), Rect(8, 12, 11, 15));
}
