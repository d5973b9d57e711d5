// The frequency display text and the band wrap-around of the step buttons.
#include "FrequencyText.h"

#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <climits>

namespace FrequencyText {
namespace {

constexpr uint32_t KHzPerMHz = 1000;

void EraseFirst(std::string& text, const std::string& part) {
    const auto at = text.find(part);
    if (at != std::string::npos) text.erase(at, part.size());
}

// A whole decimal integer with an optional sign that fits 32 bits, or nothing.
bool ParseInteger(const std::string& text, int32_t& value) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(begin, &end, 10);
    if (end != begin + text.size() || errno != 0) return false;
    if (!(text[0] == '-' || text[0] == '+' || (text[0] >= '0' && text[0] <= '9'))) return false;
    if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

}  // namespace

uint32_t ToKHz(const std::string& text) {
    std::string digits = text;
    EraseFirst(digits, "MHz");
    EraseFirst(digits, ".");
    int32_t value = 0;
    if (!ParseInteger(digits, value)) return UnreadableKHz;
    return static_cast<uint32_t>(value);
}

uint32_t WrapIntoBand(uint32_t kHz) {
    if (kHz > BandHighKHz) kHz = BandLowKHz;
    if (kHz < BandLowKHz) kHz = BandHighKHz;
    return kHz;
}

std::string FromKHz(uint32_t kHz) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu.%03luMHz", static_cast<unsigned long>(kHz / KHzPerMHz),
                  static_cast<unsigned long>(kHz % KHzPerMHz));
    return text;
}

}  // namespace FrequencyText
