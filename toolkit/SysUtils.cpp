// Conversions and system error texts.
#include "SysUtils.h"

#include "Win.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

std::string SysErrorMessage(unsigned long code) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length ? std::string(buffer, length) : "System error " + IntToStr(code);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

void RaiseLastOSError(const std::string& operation) {
    DWORD code = GetLastError();
    throw EOSError(operation + ": " + SysErrorMessage(code), code);
}

namespace {

constexpr long long kIntMin = INT32_MIN;
constexpr long long kIntMax = INT32_MAX;
constexpr unsigned long long kHexLimit = 0xFFFFFFFFull;
constexpr int kHexBase = 16;
constexpr int kDecimalBase = 10;

bool ParseInt(const std::string& text, int& result) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = kDecimalBase;
    if (i < text.size() && text[i] == '$') {
        base = kHexBase;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = kHexBase;
        i += 2;
    }
    if (i >= text.size()) return false;
    unsigned long long value = 0;
    for (; i < text.size(); ++i) {
        int c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c)) digit = c - '0';
        else if (base == kHexBase && std::isxdigit(c)) digit = std::tolower(c) - 'a' + kDecimalBase;
        else return false;
        value = value * base + digit;
        if (value > kHexLimit) return false;
    }
    if (base == kHexBase) {
        // Hexadecimal spells the 32-bit pattern, as colour texts do ("$FF000000").
        auto bits = static_cast<std::uint32_t>(value);
        result = static_cast<int>(negative ? 0u - bits : bits);
        return true;
    }
    long long signedValue = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    if (signedValue < kIntMin || signedValue > kIntMax) return false;
    result = static_cast<int>(signedValue);
    return true;
}

}  // namespace

int StrToInt(const std::string& text) {
    int result = 0;
    if (!ParseInt(text, result)) throw EConvertError("'" + text + "' is not a valid integer value");
    return result;
}

int StrToIntDef(const std::string& text, int fallback) {
    int result = 0;
    return ParseInt(text, result) ? result : fallback;
}

std::string IntToStr(long long value) { return std::to_string(value); }

std::string IntToHex(unsigned long long value, int digits) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*llX", digits, value);
    return buffer;
}

std::string UpperCase(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string LowerCase(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string AnsiUpperCase(const std::string& text) {
    std::string result = text;
    if (!result.empty()) CharUpperBuffA(&result[0], static_cast<DWORD>(result.size()));
    return result;
}

std::string AnsiLowerCase(const std::string& text) {
    std::string result = text;
    if (!result.empty()) CharLowerBuffA(&result[0], static_cast<DWORD>(result.size()));
    return result;
}

bool SameText(const std::string& a, const std::string& b) { return LowerCase(a) == LowerCase(b); }
