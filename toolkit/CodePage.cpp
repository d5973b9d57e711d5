// Code page text to Unicode and back, through the system's conversions.
#include "CodePage.h"

#include "Win.h"

namespace {

constexpr char MissingCharacter[] = "?";
constexpr char32_t FirstSupplementary = 0x10000;
constexpr char32_t LastCodePoint = 0x10FFFF;
constexpr char32_t HighSurrogateFirst = 0xD800;
constexpr char32_t LowSurrogateFirst = 0xDC00;
constexpr char32_t SurrogateLast = 0xDFFF;
constexpr int SurrogateBits = 10;
constexpr char32_t SurrogateMask = 0x3FF;
constexpr char32_t Replacement = 0xFFFD;
// The code pages that hold characters beyond the first 65536: UTF-8 and GB 18030.
constexpr unsigned Utf8CodePage = 65001;
constexpr unsigned Gb18030CodePage = 54936;

std::u32string FromUtf16(const std::wstring& wide) {
    std::u32string text;
    for (size_t at = 0; at < wide.size(); ++at) {
        const auto unit = static_cast<char32_t>(static_cast<unsigned short>(wide[at]));
        const bool high = unit >= HighSurrogateFirst && unit < LowSurrogateFirst;
        if (high && at + 1 < wide.size()) {
            const auto next = static_cast<char32_t>(static_cast<unsigned short>(wide[at + 1]));
            if (next >= LowSurrogateFirst && next <= SurrogateLast) {
                text += FirstSupplementary + ((unit - HighSurrogateFirst) << SurrogateBits) + (next - LowSurrogateFirst);
                ++at;
                continue;
            }
        }
        text += unit;
    }
    return text;
}

// Characters beyond the first 65536 as surrogate pairs where the code page holds
// them, else each as one character no code page has (one "?").
std::wstring ToUtf16(const std::u32string& text, bool pairs) {
    std::wstring wide;
    for (char32_t character : text) {
        if (character > LastCodePoint || (character >= FirstSupplementary && !pairs)) character = Replacement;
        if (character < FirstSupplementary) {
            wide += static_cast<wchar_t>(character);
            continue;
        }
        const char32_t offset = character - FirstSupplementary;
        wide += static_cast<wchar_t>(HighSurrogateFirst + (offset >> SurrogateBits));
        wide += static_cast<wchar_t>(LowSurrogateFirst + (offset & SurrogateMask));
    }
    return wide;
}

std::string ToCodePage(const std::wstring& wide, unsigned codePage, DWORD flags, const char* missing) {
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, missing, nullptr);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(codePage, flags, wide.data(), size, &text[0], length, missing, nullptr);
    return text;
}

}  // namespace

std::u32string CodePageToUnicode(std::string_view text, unsigned codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], length);
    return FromUtf16(wide);
}

std::string UnicodeToCodePage(const std::u32string& text, unsigned codePage) {
    if (text.empty()) return {};
    const unsigned actual = codePage == SystemCodePage ? GetACP() : codePage;
    const std::wstring wide = ToUtf16(text, actual == Utf8CodePage || actual == Gb18030CodePage);
    const std::string converted = ToCodePage(wide, codePage, WC_NO_BEST_FIT_CHARS, MissingCharacter);
    // A code page that holds every character (UTF-8) takes neither a stand-in nor its flag.
    return converted.empty() ? ToCodePage(wide, codePage, 0, nullptr) : converted;
}

std::u32string SystemToUnicode(std::string_view text) { return CodePageToUnicode(text, SystemCodePage); }
std::string UnicodeToSystem(const std::u32string& text) { return UnicodeToCodePage(text, SystemCodePage); }
