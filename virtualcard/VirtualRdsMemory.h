// The RDS data memory at I2C address 0xA0: an EEPROM that is busy for 5 ms
// after each write and ignores, losing it, a write that arrives meanwhile.
#pragma once

#include "I2cDecoder.h"

#include <array>
#include <cstdint>

struct TRdsWrite {
    bool Stored = false;   // false: the memory was busy and the write is lost
    uint32_t Address = 0;
    uint8_t Value = 0;
};

class TVirtualRdsMemory {
public:
    static constexpr uint8_t Address = 0xA0;
    static constexpr double WriteCycleMicroseconds = 5000.0;
    static constexpr size_t Size = 0x10000;   // every 16-bit address the master can send

    explicit TVirtualRdsMemory(double writeCycle = WriteCycleMicroseconds) : writeCycle_(writeCycle) {}

    // Takes a write frame (address high, address low, data); false when it is none.
    bool Receive(const TI2cFrame& frame, TRdsWrite& write);
    uint8_t Byte(uint32_t address) const { return bytes_[address % Size]; }

private:
    double writeCycle_;
    std::array<uint8_t, Size> bytes_{};
    double busyUntil_ = 0;
};
