// Text of an 8-bit (or two-byte) Windows code page as Unicode code points and back:
// the one platform step of the RDS character set's conversions.
#pragma once

#include <string>
#include <string_view>

// The system's code page for programs that are not Unicode (CP_ACP).
constexpr unsigned SystemCodePage = 0;

// Every byte sequence of the code page as its characters.
std::u32string CodePageToUnicode(std::string_view text, unsigned codePage);
// A character the code page lacks becomes "?", never a look-alike ("ł" is not "l").
std::string UnicodeToCodePage(const std::u32string& text, unsigned codePage);

// The same for the system code page, in the shape TCodePageConversion takes.
std::u32string SystemToUnicode(std::string_view text);
std::string UnicodeToSystem(const std::u32string& text);
