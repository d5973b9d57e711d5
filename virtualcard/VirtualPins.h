// The TIGER320 auxiliary pins: a pin is driven with its data bit while its
// direction bit is set and released otherwise; released bus lines read high.
#pragma once

#include <cstdint>

class TVirtualPins {
public:
    static constexpr uint32_t DirectionRegister = 2;
    static constexpr uint32_t DataRegister = 3;

    // Register writes; other registers hold nothing the pins use.
    void Write(uint32_t reg, uint8_t value);

    bool Sda() const { return Level(SdaBit, true); }
    bool Scl() const { return Level(SclBit, true); }
    bool Carrier() const { return Level(EnableBit, false); }   // released: the carrier is off
    bool StereoDriven() const { return (direction_ & StereoBit) != 0; }
    bool Stereo() const { return (data_ & StereoBit) != 0; }

private:
    static constexpr uint8_t EnableBit = 1;
    static constexpr uint8_t StereoBit = 2;
    static constexpr uint8_t SdaBit = 4;
    static constexpr uint8_t SclBit = 8;

    bool Level(uint8_t bit, bool released) const { return (direction_ & bit) ? (data_ & bit) != 0 : released; }

    uint8_t direction_ = 0;   // both registers are 0 at power-up
    uint8_t data_ = 0;
};
