// Integer conversions, their error text, and the colour texts.
#include "Colors.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

TEST(StrToInt, ReadsDecimalAndHexadecimal) {
    EXPECT_EQ(StrToInt("15"), 15);
    EXPECT_EQ(StrToInt("-40"), -40);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
}

TEST(StrToInt, RefusesWithTheConversionMessage) {
    for (const char* text : {"empty", "", "12a", "2147483648", "$", "1 2", "$100000000"}) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError& error) {
            EXPECT_EQ(std::string(error.what()), std::string("'") + text + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(StrToIntDef("x", 9), 9);
}

TEST(IntToStr, WritesDecimal) {
    EXPECT_EQ(IntToStr(-12), "-12");
    EXPECT_EQ(IntToHex(0xFF8000, 8), "00FF8000");
}

TEST(AnsiCase, ConvertsAccentedLettersOfTheCodePage) {
    EXPECT_EQ(AnsiUpperCase("100.000mhz \xE9\xFC\xE7"), "100.000MHZ \xC9\xDC\xC7");
    EXPECT_EQ(AnsiLowerCase("FM \xC0\xD6\xD8"), "fm \xE0\xF6\xF8");
    EXPECT_EQ(AnsiUpperCase(""), "");
    EXPECT_EQ(AnsiLowerCase(std::string("A\0B", 3)), std::string("a\0b", 3));
}

TEST(ColorText, NamesAndHexRoundTrip) {
    EXPECT_EQ(ColorToString(clNavy), "clNavy");
    EXPECT_EQ(ColorToString(clTeal), "clTeal");
    EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
    EXPECT_EQ(ColorToString(RGBColor(0, 0x80, 0xFF)), "$00FF8000");
    EXPECT_EQ(StringToColor("clRed"), clRed);
    EXPECT_EQ(StringToColor("CLFUCHSIA"), clFuchsia);
    EXPECT_EQ(StringToColor("$00FF8000"), RGBColor(0, 0x80, 0xFF));
    EXPECT_EQ(StringToColor("clBtnShadow"), static_cast<TColor>(0xFF000010u));
    for (TColor color : kBasicColors) EXPECT_EQ(StringToColor(ColorToString(color)), color);
    EXPECT_THROW(StringToColor("empty"), EConvertError);
}

TEST(ColorToRGB, ResolvesSystemColoursAndKeepsRgb) {
    EXPECT_EQ(ColorToRGB(clLime), clLime);
    TColor face = ColorToRGB(clBtnFace);
    EXPECT_GE(face, 0);
    EXPECT_EQ(face & 0xFF000000, 0);
}
