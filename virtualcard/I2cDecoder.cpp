// The I2C decoder's state machine: FIND START, then FIND ADDRESS or FIND DATA
// for eight bits, FIND ACK for the ninth clock, until the stop.
#include "I2cDecoder.h"

namespace {
constexpr unsigned BitsPerByte = 8;
}

void TI2cDecoder::Lines(double microseconds, bool sda, bool scl)
{
    if (sda != sda_)
        SdaChanged(microseconds, sda);
    if (scl != scl_) {
        scl_ = scl;
        if (scl)
            SclRose(microseconds);
        else
            SclFell(microseconds);
    }
}

void TI2cDecoder::Check(double now, const char* phase, double since, double minimum)
{
    const double measured = now - since;
    if (measured < minimum) {
        ++violations_;
        listener_.Timing(now, phase, measured, minimum);
    }
}

void TI2cDecoder::SdaChanged(double now, bool sda)
{
    sda_ = sda;
    if (!scl_)
        return;   // a data change while the clock is low
    if (!sda) {   // start: SDA falls while SCL is high
        if (stopSeen_)
            Check(now, "bus-free", stopAt_, I2cMinimum::BusFree);
        state_ = TState::FindAddress;
        frame_ = TI2cFrame{};
        bits_ = 0;
        byte_ = 0;
        startAt_ = now;
        holdingStart_ = true;
        return;
    }
    // stop: SDA rises while SCL is high
    if (state_ != TState::FindStart) {
        Check(now, "stop-setup", sclRoseAt_, I2cMinimum::StopSetup);
        frame_.StopMicroseconds = now;
        state_ = TState::FindStart;
        if (!frame_.Bytes.empty())
            listener_.Frame(frame_);
    }
    stopSeen_ = true;
    stopAt_ = now;
}

void TI2cDecoder::SclRose(double now)
{
    if (state_ != TState::FindStart && !holdingStart_)
        Check(now, "scl-low", sclFellAt_, I2cMinimum::SclLow);
    sclRoseAt_ = now;
    switch (state_) {
    case TState::FindStart:
        break;
    case TState::FindAddress:
    case TState::FindData:
        byte_ = (byte_ << 1) | (sda_ ? 1u : 0u);
        if (++bits_ == BitsPerByte)
            state_ = TState::FindAck;
        break;
    case TState::FindAck:
        // The master releases SDA for the acknowledge and does not sample it.
        if (frame_.Bytes.empty())
            frame_.AddressMicroseconds = now;
        frame_.Bytes.push_back(static_cast<uint8_t>(byte_));
        bits_ = 0;
        byte_ = 0;
        state_ = TState::FindData;
        break;
    }
}

void TI2cDecoder::SclFell(double now)
{
    if (state_ == TState::FindStart)
        return;
    if (holdingStart_) {
        holdingStart_ = false;
        Check(now, "start-hold", startAt_, I2cMinimum::StartHold);
    } else {
        Check(now, "scl-high", sclRoseAt_, I2cMinimum::SclHigh);
    }
    sclFellAt_ = now;
}
