// The RDS basic character set: the table's fixed points, both directions, round
// trips, and the conversions through code pages 1252 and 1250 with their fallbacks.
#include "RdsCharacterSet.h"

#include "CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr unsigned Western = 1252;
constexpr unsigned CentralEuropean = 1250;

TCodePageConversion CodePage(unsigned codePage) {
    return {[codePage](std::string_view text) { return CodePageToUnicode(text, codePage); },
            [codePage](const std::u32string& text) { return UnicodeToCodePage(text, codePage); }};
}

}  // namespace

TEST(RdsCharacterSet, FixedPointsOfTheStandardsTable) {
    EXPECT_EQ(RdsCharacter(0x24), U'\u00A4');  // currency sign, not "$"
    EXPECT_EQ(RdsCharacter(0x82), U'\u00E9');  // é
    EXPECT_EQ(RdsCharacter(0xAB), U'$');
    EXPECT_EQ(RdsCharacter(0x8D), U'\u00DF');  // ß
    EXPECT_EQ(RdsCharacter(0x91), U'\u00E4');  // ä
    EXPECT_EQ(RdsCharacter(0x97), U'\u00F6');  // ö
    EXPECT_EQ(RdsCharacter(0x99), U'\u00FC');  // ü
    EXPECT_EQ(RdsCode(U'$'), 0xAB);
    EXPECT_EQ(RdsCode(U'\u00A4'), 0x24);
    EXPECT_EQ(RdsCode(U'\u00E9'), 0x82);
    EXPECT_EQ(RdsCode(U'\u00DF'), 0x8D);
    EXPECT_EQ(RdsCode(U'\u00E4'), 0x91);
    EXPECT_EQ(RdsCode(U'\u00F6'), 0x97);
    EXPECT_EQ(RdsCode(U'\u00FC'), 0x99);
}

TEST(RdsCharacterSet, WhereItDiffersFromAsciiAndOtherPositions) {
    EXPECT_EQ(RdsCharacter(0x20), U' ');
    EXPECT_EQ(RdsCharacter(0x41), U'A');
    EXPECT_EQ(RdsCharacter(0x7A), U'z');
    EXPECT_EQ(RdsCharacter(0x5E), U'\u2015');
    EXPECT_EQ(RdsCharacter(0x60), U'\u2016');
    EXPECT_EQ(RdsCharacter(0x7E), U'\u00AF');
    EXPECT_EQ(RdsCharacter(0xA9), U'\u20AC');
    EXPECT_EQ(RdsCharacter(0xAA), U'\u00A3');
    EXPECT_EQ(RdsCharacter(0x8A), U'\u00D1');
    EXPECT_EQ(RdsCharacter(0xCB), U'\u010C');
    EXPECT_EQ(RdsCharacter(0xE2), U'\u00C6');
    EXPECT_EQ(RdsCharacter(0xFE), U'\u0167');
    for (char32_t absent : {U'^', U'`', U'~', U'\u0142', U'\u3042', U'\0', U'\n'})
        EXPECT_FALSE(RdsCode(absent).has_value()) << static_cast<unsigned>(absent);
    // Control codes and the table's empty positions have no character.
    for (int code : {0x00, 0x0A, 0x0D, 0x1F, 0x7F, 0xFF})
        EXPECT_FALSE(RdsCharacter(static_cast<uint8_t>(code)).has_value()) << code;
    // Croatian capital D with stroke is written as the table's capital eth.
    EXPECT_EQ(RdsCode(U'\u0110'), 0xCE);
    EXPECT_EQ(RdsCode(U'\u00D0'), 0xCE);
}

TEST(RdsCharacterSet, RowOfSignsAndArrowsAndTheWelshLetters) {
    const std::u32string signs = U"\u00AA\u03B1\u00A9\u2030\u011E\u011B\u0148\u0151"
                                 U"\u03C0\u20AC\u00A3$\u2190\u2191\u2192\u2193";
    for (size_t k = 0; k < signs.size(); ++k)
        EXPECT_EQ(RdsCharacter(static_cast<uint8_t>(0xA0 + k)), signs[k]) << k;
    // Both Welsh letters are small ones, the first in the row of capitals.
    EXPECT_EQ(RdsCharacter(0xE4), U'\u0177');  // y with circumflex
    EXPECT_EQ(RdsCharacter(0xF4), U'\u0175');  // w with circumflex
}

TEST(RdsCharacterSet, EveryCodeWithACharacterComesBackAndNoCharacterIsTwice) {
    int characters = 0;
    for (int code = 0; code <= 0xFF; ++code) {
        const std::optional<char32_t> character = RdsCharacter(static_cast<uint8_t>(code));
        if (!character) continue;
        ++characters;
        EXPECT_EQ(RdsCode(*character), code) << code;
    }
    // 0x20..0xFF less the two empty positions.
    EXPECT_EQ(characters, 222);
}

TEST(RdsCharacterSet, TextsOneForOneWithSpaceForWhatIsMissing) {
    EXPECT_EQ(RdsToUnicode("Caf\x82 \xAB" "5"), U"Caf\u00E9 $5");
    EXPECT_EQ(RdsToUnicode(std::string("a\x0D\x7F\xFF" "b", 5)), U"a   b");
    EXPECT_EQ(UnicodeToRds(U"Caf\u00E9 $5"), "Caf\x82 \xAB" "5");
    EXPECT_EQ(UnicodeToRds(U"a^b~c`\u0142"), "a b c  ");
    EXPECT_EQ(UnicodeToRds(U""), "");
}

TEST(RdsCharacterSet, UecpTextBecomesTheCodePagesText) {
    const TCodePageConversion western = CodePage(Western);
    EXPECT_EQ(RdsToCodePage("Caf\x82 \xAB\x24 \x8D\x91\x97\x99", western), "Caf\xE9 $\xA4 \xDF\xE4\xF6\xFC");
    // Alpha, pi and the arrows are not in code page 1252; Czech c with caron neither.
    EXPECT_EQ(RdsToCodePage("\xA1\xA8\xAC\xDB.", western), "????.");
    const TCodePageConversion central = CodePage(CentralEuropean);
    EXPECT_EQ(RdsToCodePage("\xDB\xDC\xA7\xCE", central), "\xE8\x9A\xF5\xD0");
    EXPECT_EQ(RdsToCodePage("", western), "");
}

TEST(RdsCharacterSet, TypedTextBecomesTheMemorysRdsBytes) {
    const TCodePageConversion western = CodePage(Western);
    EXPECT_EQ(CodePageToRds("Caf\xE9 $\xA4 \xDF\xE4\xF6\xFC", western), "Caf\x82 \xAB\x24 \x8D\x91\x97\x99");
    // "^", "`", "~" and the code page's "\x80" (euro) and "\x99" (trade mark).
    EXPECT_EQ(CodePageToRds("a^b`c~\x80\x99", western), "a b c \xA9 ");
    const TCodePageConversion central = CodePage(CentralEuropean);
    EXPECT_EQ(CodePageToRds("\xE8\x9A\xF5\xD0\xB3", central), "\xDB\xDC\xA7\xCE ");
}

TEST(RdsCharacterSet, RoundTripsThroughCodePage1252) {
    const TCodePageConversion western = CodePage(Western);
    const std::string typed = "Radio \xC9t\xE9 - Gr\xFC\xDF" "e $ \xA3 \xA9";
    EXPECT_EQ(RdsToCodePage(CodePageToRds(typed, western), western), typed);
    std::string every;
    for (int code = 0x20; code <= 0xFE; ++code)
        if (code != 0x7F) every += static_cast<char>(code);
    EXPECT_EQ(UnicodeToRds(RdsToUnicode(every)), every);
}

TEST(RdsCharacterSet, TheMemorysCharacterSetByItsExactName) {
    EXPECT_EQ(MemoryCharacterSetNamed("ANSI"), TMemoryCharacterSet::Ansi);
    EXPECT_EQ(MemoryCharacterSetNamed("RDS"), TMemoryCharacterSet::Rds);
    for (const char* other : {"", "rds", "Ansi", " RDS", "RDS ", "UTF-8"})
        EXPECT_FALSE(MemoryCharacterSetNamed(other).has_value()) << other;
    EXPECT_STREQ("ANSI", MemoryCharacterSetName(TMemoryCharacterSet::Ansi));
    EXPECT_STREQ("RDS", MemoryCharacterSetName(TMemoryCharacterSet::Rds));
}

TEST(RdsCharacterSet, MemoryTextAsTypedOrAsRdsCodes) {
    const TCodePageConversion western = CodePage(Western);
    EXPECT_EQ(MemoryText("\xE9 $~", TMemoryCharacterSet::Ansi, western), "\xE9 $~");
    EXPECT_EQ(MemoryText("\xE9 $~", TMemoryCharacterSet::Rds, western), "\x82 \xAB ");
    EXPECT_EQ(MemoryText("", TMemoryCharacterSet::Rds, western), "");
}

TEST(RdsCharacterSet, TypographicCharactersGoAsTheirPlainEquivalents) {
    struct TCase {
        std::u32string Typed;
        std::string Codes;
    };
    const TCase cases[] = {
        {U"Don\u2019t \u2018a\u2019 \u201Ab \u2032", "Don't 'a' 'b '"},
        {U"\u201CHi\u201D \u201Eso\u201D 5\u2033", "\"Hi\" \"so\" 5\""},
        {U"A \u2013 B \u2014 C \u2012 D \u2212 E", "A - B - C - D - E"},
        {U"Wait\u2026", "Wait..."},
        {U"a\u00A0b", "a b"},
        {U"Rock\u00ADn\u00ADRoll", "RocknRoll"},
        // Others the set lacks stay a space; the set's own bar keeps its code.
        {U"\u2122\u2020\u2015", "  \x5E"},
    };
    for (const TCase& c : cases) EXPECT_EQ(UnicodeToRds(c.Typed), c.Codes) << c.Codes;
    // Through code page 1252, where the playout's quotes and dashes are bytes of their own.
    EXPECT_EQ(CodePageToRds("Don\x92t \x93Stop\x94 \x96 \x97 \x85\xA0\xAD!", CodePage(Western)),
              "Don't \"Stop\" - - ... !");
    // The ANSI set writes the bytes as typed.
    EXPECT_EQ(MemoryText("Don\x92t \x96", TMemoryCharacterSet::Ansi, CodePage(Western)), "Don\x92t \x96");
    EXPECT_EQ(MemoryText("Don\x92t \x96", TMemoryCharacterSet::Rds, CodePage(Western)), "Don't -");
}
