// The card's frequency synthesizer at I2C address 0xC0: divider and power byte.
#pragma once

#include "I2cDecoder.h"

#include <cstdint>

class TVirtualSynthesizer {
public:
    static constexpr uint8_t Address = 0xC0;

    // Takes a frame for this device; false when it is not a whole synthesizer frame.
    bool Receive(const TI2cFrame& frame);
    uint32_t Kilohertz() const { return kilohertz_; }
    uint8_t Power() const { return power_; }

private:
    uint32_t kilohertz_ = 0;
    uint8_t power_ = 0;
};
