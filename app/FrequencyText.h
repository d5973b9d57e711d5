// The frequency as the main window keeps it: the display text ("100.000MHz"),
// the kilohertz value it stands for, and the FM band the window tunes within.
#pragma once

#include <cstdint>
#include <string>

namespace FrequencyText {

constexpr uint32_t BandLowKHz = 87500;
constexpr uint32_t BandHighKHz = 108000;
// What a display text that does not parse counts as (it wraps to the band's top).
constexpr uint32_t UnreadableKHz = 10000;

// Drops the first "MHz" and then the first "."; what is left, read as an
// integer (UnreadableKHz when it is none), as an unsigned value.
uint32_t ToKHz(const std::string& text);

// Above the band wraps to its bottom; then below the band wraps to its top.
uint32_t WrapIntoBand(uint32_t kHz);

// Whole megahertz, ".", three kilohertz digits, "MHz": "87.500MHz".
std::string FromKHz(uint32_t kHz);

}  // namespace FrequencyText
