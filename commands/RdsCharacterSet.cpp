// The RDS basic character set: the standard's code table, once, and the text
// conversions built on it.
#include "RdsCharacterSet.h"

#include <array>
#include <cstddef>

namespace {

constexpr char32_t NoCharacter = 0;
constexpr size_t TableSize = RdsLastCharacterCode - RdsFirstCharacterCode + 1;

// IEC 62106, the code table of the basic character set: position 0x20 + i holds
// Table[i]. Row by row, sixteen codes a row; NoCharacter where the standard's table
// is empty. Where ASCII differs: 0x24 is the currency sign, 0x5E a horizontal bar,
// 0x60 a double vertical line, 0x7E an overline; "$" is at 0xAB.
constexpr std::array<char32_t, TableSize> Table = {{
    // 0x20: space ! " # currency-sign % & ' ( ) * + , - . /
    U' ', U'!', U'"', U'#', U'\u00A4', U'%', U'&', U'\'', U'(', U')', U'*', U'+', U',', U'-', U'.', U'/',
    // 0x30: digits, : ; < = > ?
    U'0', U'1', U'2', U'3', U'4', U'5', U'6', U'7', U'8', U'9', U':', U';', U'<', U'=', U'>', U'?',
    // 0x40: @ A..O
    U'@', U'A', U'B', U'C', U'D', U'E', U'F', U'G', U'H', U'I', U'J', U'K', U'L', U'M', U'N', U'O',
    // 0x50: P..Z [ \ ] horizontal-bar _
    U'P', U'Q', U'R', U'S', U'T', U'U', U'V', U'W', U'X', U'Y', U'Z', U'[', U'\\', U']', U'\u2015', U'_',
    // 0x60: double-vertical-line a..o
    U'\u2016', U'a', U'b', U'c', U'd', U'e', U'f', U'g', U'h', U'i', U'j', U'k', U'l', U'm', U'n', U'o',
    // 0x70: p..z { | } overline (empty)
    U'p', U'q', U'r', U's', U't', U'u', U'v', U'w', U'x', U'y', U'z', U'{', U'|', U'}', U'\u00AF', NoCharacter,
    // 0x80: á à é è í ì ó ò ú ù Ñ Ç Ş ß ¡ Ĳ
    U'\u00E1', U'\u00E0', U'\u00E9', U'\u00E8', U'\u00ED', U'\u00EC', U'\u00F3', U'\u00F2',
    U'\u00FA', U'\u00F9', U'\u00D1', U'\u00C7', U'\u015E', U'\u00DF', U'\u00A1', U'\u0132',
    // 0x90: â ä ê ë î ï ô ö û ü ñ ç ş ğ ı ĳ
    U'\u00E2', U'\u00E4', U'\u00EA', U'\u00EB', U'\u00EE', U'\u00EF', U'\u00F4', U'\u00F6',
    U'\u00FB', U'\u00FC', U'\u00F1', U'\u00E7', U'\u015F', U'\u011F', U'\u0131', U'\u0133',
    // 0xA0: ª α © ‰ Ğ ě ň ő π € £ $ ← ↑ → ↓
    U'\u00AA', U'\u03B1', U'\u00A9', U'\u2030', U'\u011E', U'\u011B', U'\u0148', U'\u0151',
    U'\u03C0', U'\u20AC', U'\u00A3', U'$', U'\u2190', U'\u2191', U'\u2192', U'\u2193',
    // 0xB0: º ¹ ² ³ ± İ ń ű µ ¿ ÷ ° ¼ ½ ¾ §
    U'\u00BA', U'\u00B9', U'\u00B2', U'\u00B3', U'\u00B1', U'\u0130', U'\u0144', U'\u0171',
    U'\u00B5', U'\u00BF', U'\u00F7', U'\u00B0', U'\u00BC', U'\u00BD', U'\u00BE', U'\u00A7',
    // 0xC0: Á À É È Í Ì Ó Ò Ú Ù Ř Č Š Ž Ð Ŀ
    U'\u00C1', U'\u00C0', U'\u00C9', U'\u00C8', U'\u00CD', U'\u00CC', U'\u00D3', U'\u00D2',
    U'\u00DA', U'\u00D9', U'\u0158', U'\u010C', U'\u0160', U'\u017D', U'\u00D0', U'\u013F',
    // 0xD0: Â Ä Ê Ë Î Ï Ô Ö Û Ü ř č š ž đ ŀ
    U'\u00C2', U'\u00C4', U'\u00CA', U'\u00CB', U'\u00CE', U'\u00CF', U'\u00D4', U'\u00D6',
    U'\u00DB', U'\u00DC', U'\u0159', U'\u010D', U'\u0161', U'\u017E', U'\u0111', U'\u0140',
    // 0xE0: Ã Å Æ Œ ŷ Ý Õ Ø Þ Ŋ Ŕ Ć Ś Ź Ŧ ð
    U'\u00C3', U'\u00C5', U'\u00C6', U'\u0152', U'\u0177', U'\u00DD', U'\u00D5', U'\u00D8',
    U'\u00DE', U'\u014A', U'\u0154', U'\u0106', U'\u015A', U'\u0179', U'\u0166', U'\u00F0',
    // 0xF0: ã å æ œ ŵ ý õ ø þ ŋ ŕ ć ś ź ŧ (empty)
    U'\u00E3', U'\u00E5', U'\u00E6', U'\u0153', U'\u0175', U'\u00FD', U'\u00F5', U'\u00F8',
    U'\u00FE', U'\u014B', U'\u0155', U'\u0107', U'\u015B', U'\u017A', U'\u0167', NoCharacter,
}};

// The table's capital at 0xCE is drawn as both the Icelandic capital eth and the
// Croatian capital D with stroke (whose small letter đ is at 0xDE): either, typed,
// takes that code, and a code page that lacks the eth (1250) shows the D with stroke.
constexpr char32_t CapitalEth = U'\u00D0';
constexpr char32_t CapitalDWithStroke = U'\u0110';
constexpr uint8_t CapitalEthCode = 0xCE;
const char* const MissingCharacter = "?";

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr int HexDigitBits = 4;
constexpr uint8_t DigitMask = 0xF;
constexpr size_t DigitsPerCode = 2;
constexpr int HexBase = 16;

int HexValue(char digit) {
    for (int value = 0; value < HexBase; ++value)
        if (HexDigits[value] == digit) return value;
    return -1;
}

// The characters of RDS codes as the code page is to show them.
std::u32string ShownCharacters(std::string_view codes, const TCodePageConversion& codePage) {
    std::u32string text = RdsToUnicode(codes);
    if (text.find(CapitalEth) != std::u32string::npos &&
        codePage.FromUnicode(std::u32string(1, CapitalEth)) == MissingCharacter)
        for (char32_t& character : text)
            if (character == CapitalEth) character = CapitalDWithStroke;
    return text;
}

// Typographic characters the set lacks, written as their plain equivalents (the
// soft hyphen only marks where a word may break, so it goes as nothing).
struct TPlainEquivalent {
    char32_t Character;
    const char* Plain;
};
constexpr std::array<TPlainEquivalent, 15> PlainEquivalents = {{
    {U'\u2019', "'"}, {U'\u2018', "'"}, {U'\u201A', "'"}, {U'\u2032', "'"},
    {U'\u201C', "\""}, {U'\u201D', "\""}, {U'\u201E', "\""}, {U'\u2033', "\""},
    {U'\u2013', "-"}, {U'\u2014', "-"}, {U'\u2012', "-"}, {U'\u2212', "-"},
    {U'\u2026', "..."}, {U'\u00A0', " "}, {U'\u00AD', ""},
}};

// The codes a character the set lacks goes as: its plain equivalent, else a space.
std::string MissingCodes(char32_t character) {
    for (const TPlainEquivalent& equivalent : PlainEquivalents)
        if (equivalent.Character == character) return equivalent.Plain;
    return std::string(1, static_cast<char>(RdsSpaceCode));
}

}  // namespace

std::optional<char32_t> RdsCharacter(uint8_t code) {
    if (code < RdsFirstCharacterCode) return std::nullopt;
    const char32_t character = Table[code - RdsFirstCharacterCode];
    if (character == NoCharacter) return std::nullopt;
    return character;
}

std::optional<uint8_t> RdsCode(char32_t character) {
    if (character == NoCharacter) return std::nullopt;
    if (character == CapitalDWithStroke) return CapitalEthCode;
    for (size_t at = 0; at < Table.size(); ++at)
        if (Table[at] == character) return static_cast<uint8_t>(RdsFirstCharacterCode + at);
    return std::nullopt;
}

std::u32string RdsToUnicode(std::string_view codes) {
    std::u32string text;
    for (char code : codes) text += RdsCharacter(static_cast<uint8_t>(code)).value_or(U' ');
    return text;
}

std::string UnicodeToRds(const std::u32string& text) {
    std::string codes;
    for (char32_t character : text) {
        const std::optional<uint8_t> code = RdsCode(character);
        codes += code ? std::string(1, static_cast<char>(*code)) : MissingCodes(character);
    }
    return codes;
}

std::string RdsToCodePage(std::string_view codes, const TCodePageConversion& codePage) {
    return codePage.FromUnicode(ShownCharacters(codes, codePage));
}

std::string RdsToCodePage(std::string_view codes, const TCodePageConversion& codePage, size_t limit) {
    std::string text;
    for (char32_t character : ShownCharacters(codes, codePage)) {
        const std::string bytes = codePage.FromUnicode(std::u32string(1, character));
        if (text.size() + bytes.size() > limit) break;
        text += bytes;
    }
    return text;
}

std::string CodePageToRds(std::string_view text, const TCodePageConversion& codePage) {
    return UnicodeToRds(codePage.ToUnicode(text));
}

const char* const AnsiCharacterSetName = "ANSI";
const char* const RdsCharacterSetName = "RDS";

std::optional<TMemoryCharacterSet> MemoryCharacterSetNamed(std::string_view name) {
    if (name == AnsiCharacterSetName) return TMemoryCharacterSet::Ansi;
    if (name == RdsCharacterSetName) return TMemoryCharacterSet::Rds;
    return std::nullopt;
}

const char* MemoryCharacterSetName(TMemoryCharacterSet set) {
    return set == TMemoryCharacterSet::Rds ? RdsCharacterSetName : AnsiCharacterSetName;
}

std::string MemoryText(std::string_view text, TMemoryCharacterSet set, const TCodePageConversion& codePage,
                       const std::optional<std::string>& codes) {
    if (set == TMemoryCharacterSet::Ansi) return std::string(text);
    if (codes) return *codes;
    return CodePageToRds(text, codePage);
}

std::optional<std::string> RdsCodesOf(const std::optional<TRdsTextCodes>& kept, std::string_view text) {
    if (!kept || kept->Shown != text) return std::nullopt;
    return kept->Codes;
}

std::string RdsCodesText(std::string_view codes) {
    std::string text;
    for (char code : codes) {
        const auto byte = static_cast<uint8_t>(code);
        text += HexDigits[byte >> HexDigitBits];
        text += HexDigits[byte & DigitMask];
    }
    return text;
}

std::optional<std::string> RdsCodesFromText(std::string_view text) {
    if (text.size() % DigitsPerCode != 0) return std::nullopt;
    std::string codes;
    for (size_t at = 0; at < text.size(); at += DigitsPerCode) {
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        codes += static_cast<char>(high << HexDigitBits | low);
    }
    return codes;
}
