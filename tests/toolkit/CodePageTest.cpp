// Code page text to Unicode code points and back, with "?" for what a code page lacks.
#include "CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, Western1252BothWays) {
    EXPECT_EQ(CodePageToUnicode("Caf\xE9 \x80", 1252), U"Caf\u00E9 \u20AC");
    EXPECT_EQ(UnicodeToCodePage(U"Caf\u00E9 \u20AC", 1252), "Caf\xE9 \x80");
    EXPECT_EQ(CodePageToUnicode("", 1252), U"");
    EXPECT_EQ(UnicodeToCodePage(U"", 1252), "");
}

TEST(CodePage, ACharacterTheCodePageLacksIsAQuestionMarkNotALookAlike) {
    EXPECT_EQ(UnicodeToCodePage(U"\u0142\u03B1\u2192", 1252), "???");
    EXPECT_EQ(UnicodeToCodePage(U"\u0142", 1250), "\xB3");
    // Beyond the first 65536: one character, one "?".
    EXPECT_EQ(UnicodeToCodePage(U"a\U0001F3B5b", 1252), "a?b");
}

TEST(CodePage, TwoByteAndUtf8CodePages) {
    EXPECT_EQ(CodePageToUnicode("\x82\xA0", 932), U"\u3042");
    EXPECT_EQ(UnicodeToCodePage(U"\u3042", 932), "\x82\xA0");
    EXPECT_EQ(UnicodeToCodePage(U"\u00E9\U0001F3B5", 65001), "\xC3\xA9\xF0\x9F\x8E\xB5");
    EXPECT_EQ(CodePageToUnicode("\xC3\xA9\xF0\x9F\x8E\xB5", 65001), U"\u00E9\U0001F3B5");
}

TEST(CodePage, TheSystemCodePageIsTheDefault) {
    EXPECT_EQ(SystemToUnicode("abc"), U"abc");
    EXPECT_EQ(UnicodeToSystem(U"abc"), "abc");
}
