// The frequency display text and the band wrap-around of the step buttons.
#include "FrequencyText.h"

#include "SysUtils.h"

#include <cstdio>

namespace FrequencyText {
namespace {

constexpr uint32_t KHzPerMHz = 1000;

void EraseFirst(std::string& text, const std::string& part) {
    const auto at = text.find(part);
    if (at != std::string::npos) text.erase(at, part.size());
}

}  // namespace

uint32_t ToKHz(const std::string& text) {
    std::string digits = text;
    EraseFirst(digits, "MHz");
    EraseFirst(digits, ".");
    return static_cast<uint32_t>(StrToIntDef(digits, static_cast<int>(UnreadableKHz)));
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
