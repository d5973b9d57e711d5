// The synthesizer's frame: address, divider high and low, control byte, power.
#include "VirtualSynthesizer.h"

namespace {
constexpr size_t FrameLength = 5;
constexpr size_t DividerHigh = 1;
constexpr size_t DividerLow = 2;
constexpr size_t Control = 3;
constexpr size_t PowerLevel = 4;
constexpr uint8_t ControlByte = 0xC0;
constexpr uint32_t KilohertzPerStep = 50;
constexpr unsigned ByteShift = 8;
}

bool TVirtualSynthesizer::Receive(const TI2cFrame& frame)
{
    const auto& bytes = frame.Bytes;
    if (bytes.size() != FrameLength || bytes[Control] != ControlByte)
        return false;
    const uint32_t divider = (static_cast<uint32_t>(bytes[DividerHigh]) << ByteShift) | bytes[DividerLow];
    kilohertz_ = divider * KilohertzPerStep;
    power_ = bytes[PowerLevel];
    return true;
}
