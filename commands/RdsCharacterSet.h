// The RDS basic character set (IEC 62106, the code table of the basic Latin set),
// kept once: each RDS code's character and each character's RDS code, and the text
// conversions through the system code page, whose step is handed in. No platform calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The table's first and last position; the codes below 0x20 are control codes.
constexpr uint8_t RdsFirstCharacterCode = 0x20;
constexpr uint8_t RdsLastCharacterCode = 0xFF;
// What stands for a character the RDS set lacks, and for a code without a character.
constexpr uint8_t RdsSpaceCode = 0x20;

// The Unicode code point of an RDS code; none for the control codes below 0x20 and
// for the positions the standard's table leaves empty (0x7F, 0xFF).
std::optional<char32_t> RdsCharacter(uint8_t code);
// The RDS code of a Unicode code point; none when the RDS set lacks the character.
std::optional<uint8_t> RdsCode(char32_t character);

// RDS codes as Unicode text, one character a code; a code without a character
// becomes a space.
std::u32string RdsToUnicode(std::string_view codes);
// Unicode text as RDS codes, one code a character; a character the set lacks goes
// as its plain equivalent (typographic quotes and dashes, the ellipsis as "...",
// the no-break space as a space, the soft hyphen as nothing), else as a space.
std::string UnicodeToRds(const std::u32string& text);

// The code-page step, supplied by the caller (toolkit/CodePage has the system's):
// text of the code page to Unicode, and back with "?" for a character it lacks.
struct TCodePageConversion {
    std::function<std::u32string(std::string_view)> ToUnicode;
    std::function<std::string(const std::u32string&)> FromUnicode;
};

// UECP text (RDS codes) as the edits hold text: in the code page, a character it
// lacks as "?", a code without a character as a space.
std::string RdsToCodePage(std::string_view codes, const TCodePageConversion& codePage);
// As above, cut to at most Limit bytes of the code page, never inside a character
// (one of a two-byte code page takes two).
std::string RdsToCodePage(std::string_view codes, const TCodePageConversion& codePage, size_t limit);
// Text as typed (code page) as the bytes the encoder memory takes under the setting
// "RdsCharacterSet" = "RDS": the RDS codes UnicodeToRds makes.
std::string CodePageToRds(std::string_view text, const TCodePageConversion& codePage);

// Which bytes the card's RDS memory takes for the PS and the radiotext (the setting
// "RdsCharacterSet", CHARSET=): the text's own bytes as typed, or its RDS codes.
// Nobody can tell what the card's encoder broadcasts, so the station chooses.
enum class TMemoryCharacterSet { Ansi, Rds };
extern const char* const AnsiCharacterSetName;  // "ANSI", the default
extern const char* const RdsCharacterSetName;   // "RDS"
// The choice Name makes, exactly as the setting holds it; none for any other text.
std::optional<TMemoryCharacterSet> MemoryCharacterSetNamed(std::string_view name);
const char* MemoryCharacterSetName(TMemoryCharacterSet set);
// Text as typed as the memory's bytes under Set; under RDS, Codes (the text's own RDS
// codes, when it came in them) as they are.
std::string MemoryText(std::string_view text, TMemoryCharacterSet set, const TCodePageConversion& codePage,
                       const std::optional<std::string>& codes = std::nullopt);

// RDS codes a text came in as (UECP), and the text they make in the code page: they
// stand for the text as long as it is still that text. Kept only when the code page
// would not give them back (a character it lacks, a text cut short).
struct TRdsTextCodes {
    std::string Shown;
    std::string Codes;
};
// The codes of Text: Kept's when it was made for exactly this text.
std::optional<std::string> RdsCodesOf(const std::optional<TRdsTextCodes>& kept, std::string_view text);
// Codes as a setting holds them: two uppercase hex digits a code ("41A7"); and back,
// none for any other text.
std::string RdsCodesText(std::string_view codes);
std::optional<std::string> RdsCodesFromText(std::string_view text);
