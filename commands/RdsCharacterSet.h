// The RDS basic character set (IEC 62106, the code table of the basic Latin set),
// kept once: each RDS code's character and each character's RDS code, and the text
// conversions through the system code page, whose step is handed in. No platform calls.
#pragma once

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
// Text as typed as the memory's bytes under Set.
std::string MemoryText(std::string_view text, TMemoryCharacterSet set, const TCodePageConversion& codePage);
