// Rebuilds I2C frames from the SDA and SCL levels after each register write and
// checks the standard-mode minimums of every bus phase.
#pragma once

#include <cstdint>
#include <vector>

struct TI2cFrame {
    std::vector<uint8_t> Bytes;    // every byte whose acknowledge clock was seen
    double AddressMicroseconds;    // when the device address had been clocked in
    double StopMicroseconds;
};

class TI2cListener {
public:
    virtual ~TI2cListener() = default;
    virtual void Frame(const TI2cFrame& frame) = 0;
    virtual void Timing(double microseconds, const char* phase, double measured, double minimum) = 0;
};

namespace I2cMinimum {          // standard mode, microseconds
constexpr double SclLow = 4.7;
constexpr double SclHigh = 4.0;
constexpr double StartHold = 4.0;
constexpr double StopSetup = 4.0;
constexpr double BusFree = 4.7;
}

class TI2cDecoder {
public:
    explicit TI2cDecoder(TI2cListener& listener) : listener_(listener) {}

    // The line levels after a register write at the given time (both high when idle).
    void Lines(double microseconds, bool sda, bool scl);
    uint32_t Violations() const { return violations_; }

private:
    enum class TState { FindStart, FindAddress, FindData, FindAck };

    void SdaChanged(double now, bool sda);
    void SclRose(double now);
    void SclFell(double now);
    void Check(double now, const char* phase, double since, double minimum);

    TI2cListener& listener_;
    TState state_ = TState::FindStart;
    bool sda_ = true;
    bool scl_ = true;
    bool holdingStart_ = false;   // the start's SCL fall is still to come
    bool stopSeen_ = false;
    double startAt_ = 0;
    double stopAt_ = 0;
    double sclRoseAt_ = 0;
    double sclFellAt_ = 0;
    unsigned bits_ = 0;
    unsigned byte_ = 0;
    TI2cFrame frame_{};
    uint32_t violations_ = 0;
};
