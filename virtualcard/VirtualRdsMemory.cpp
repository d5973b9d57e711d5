// The RDS memory's write frame and its write cycle.
#include "VirtualRdsMemory.h"

namespace {
constexpr size_t FrameLength = 4;
constexpr size_t AddressHigh = 1;
constexpr size_t AddressLow = 2;
constexpr size_t Data = 3;
constexpr unsigned ByteShift = 8;
}

bool TVirtualRdsMemory::Receive(const TI2cFrame& frame, TRdsWrite& write)
{
    const auto& bytes = frame.Bytes;
    if (bytes.size() != FrameLength)
        return false;
    write.Address = (static_cast<uint32_t>(bytes[AddressHigh]) << ByteShift) | bytes[AddressLow];
    write.Value = bytes[Data];
    // A busy memory does not acknowledge its address, so nothing of the frame is taken.
    write.Stored = frame.AddressMicroseconds >= busyUntil_;
    if (write.Stored) {
        bytes_[write.Address] = write.Value;
        busyUntil_ = frame.StopMicroseconds + writeCycle_;
    }
    return true;
}
