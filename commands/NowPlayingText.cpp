// Turning a now-playing file's bytes into a radiotext.
#include "NowPlayingText.h"

#include <windows.h>

namespace {

const std::string Utf8Mark = "\xEF\xBB\xBF";
const std::string Utf16LeMark = "\xFF\xFE";
constexpr char LineFeed = '\n';
constexpr char CarriageReturn = '\r';
constexpr wchar_t WideLineFeed = L'\n';
constexpr wchar_t WideCarriageReturn = L'\r';
constexpr unsigned char FirstPrintable = 32;
constexpr std::size_t Utf16UnitBytes = 2;
constexpr int ByteBits = 8;
const char* const MissingCharacter = "?";
constexpr wchar_t WideStandIn = L'?';
constexpr wchar_t FirstSurrogate = 0xD800;
constexpr wchar_t FirstLowSurrogate = 0xDC00;
constexpr wchar_t LastSurrogate = 0xDFFF;

bool StartsWith(const std::string& bytes, const std::string& prefix) {
    return bytes.compare(0, prefix.size(), prefix) == 0;
}

// The bytes up to the first line end.
std::string FirstLine(const std::string& bytes) {
    return bytes.substr(0, bytes.find_first_of({CarriageReturn, LineFeed}));
}

// Empty when strict and bytes are no valid UTF-8; otherwise invalid sequences become U+FFFD.
std::wstring FromUtf8(const std::string& bytes, bool strict, bool& valid) {
    valid = true;
    if (bytes.empty()) return {};
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int size = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(CP_UTF8, flags, bytes.data(), size, nullptr, 0);
    if (length == 0) {
        valid = false;
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, flags, bytes.data(), size, &wide[0], length);
    return wide;
}

// The first line of UTF-16LE bytes after the mark (an odd last byte is dropped).
std::wstring FirstLineFromUtf16Le(const std::string& bytes) {
    std::wstring wide;
    for (std::size_t at = Utf16LeMark.size(); at + Utf16UnitBytes <= bytes.size(); at += Utf16UnitBytes) {
        const auto low = static_cast<unsigned char>(bytes[at]);
        const auto high = static_cast<unsigned char>(bytes[at + 1]);
        const auto unit = static_cast<wchar_t>(low | (high << ByteBits));
        if (unit == WideLineFeed || unit == WideCarriageReturn) break;
        wide.push_back(unit);
    }
    return wide;
}

std::string ToCodePage(const std::wstring& wide, unsigned codePage, DWORD flags, const char* missing) {
    const int size = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, missing, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    if (length > 0) WideCharToMultiByte(codePage, flags, wide.data(), size, &text[0], length, missing, nullptr);
    return text;
}

// A character beyond the first 65536 (an emoji) is two UTF-16 units, which the code page
// would show as two stand-ins: it becomes one, as does a unit left without its pair.
std::wstring OneStandInPerCharacter(const std::wstring& wide) {
    std::wstring kept;
    for (std::size_t at = 0; at < wide.size(); ++at) {
        const wchar_t unit = wide[at];
        if (unit < FirstSurrogate || unit > LastSurrogate) {
            kept.push_back(unit);
            continue;
        }
        kept.push_back(WideStandIn);
        const bool pair = unit < FirstLowSurrogate && at + 1 < wide.size() && wide[at + 1] >= FirstLowSurrogate &&
                          wide[at + 1] <= LastSurrogate;
        if (pair) ++at;
    }
    return kept;
}

std::string ToCodePage(const std::wstring& original, unsigned codePage) {
    if (original.empty()) return {};
    const std::wstring wide = OneStandInPerCharacter(original);
    std::string text = ToCodePage(wide, codePage, WC_NO_BEST_FIT_CHARS, MissingCharacter);
    // A code page that holds every character (UTF-8) takes neither a stand-in nor its flag.
    return text.empty() ? ToCodePage(wide, codePage, 0, nullptr) : text;
}

std::string WithoutControlCharacters(const std::string& text) {
    std::string kept;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= FirstPrintable) kept.push_back(c);
    return kept;
}

// At most NowPlayingTextLength bytes, never ending in the first half of a two-byte character.
std::string Cut(const std::string& text, unsigned codePage) {
    std::size_t length = 0;
    while (length < text.size()) {
        const bool pair = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[length])) != 0;
        const std::size_t next = length + (pair ? 2 : 1);
        if (next > NowPlayingTextLength) break;
        length = next;
    }
    return text.substr(0, length);
}

}  // namespace

std::string NowPlayingText(const std::string& bytes, unsigned codePage) {
    std::string text;
    if (StartsWith(bytes, Utf16LeMark)) {
        text = ToCodePage(FirstLineFromUtf16Le(bytes), codePage);
    } else if (StartsWith(bytes, Utf8Mark)) {
        bool valid = true;
        text = ToCodePage(FromUtf8(FirstLine(bytes.substr(Utf8Mark.size())), false, valid), codePage);
    } else {
        const std::string line = FirstLine(bytes);
        bool valid = true;
        const std::wstring wide = FromUtf8(line, true, valid);
        text = valid ? ToCodePage(wide, codePage) : line;
    }
    return Cut(WithoutControlCharacters(text), codePage);
}
