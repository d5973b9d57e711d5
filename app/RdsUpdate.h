// The "Update RDS" transfer: the RDS memory image written byte by byte to the
// card, each value read from its control at the moment of its write.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// What the update reads from the RDS panel; list values are item indexes, -1 without a selection.
class TRdsValues {
public:
    virtual ~TRdsValues() = default;
    virtual int Pty() = 0;
    virtual int Tp() = 0;
    virtual int MusicSpeech() = 0;
    virtual int CountryCode() = 0;
    virtual int ProgramReference() = 0;
    virtual std::string ProgramService() = 0;
    virtual std::string RadioText() = 0;
};

using TCaptionSetter = std::function<void(const std::string&)>;

extern const char* const UpdateRdsCaption;

// The RDS memory image: every byte the update writes, with its address, in write order.
constexpr size_t RdsImageBytes = 83;
struct TRdsImageByte {
    uint16_t Address = 0;
    uint8_t Value = 0;
};
using TRdsImage = std::array<TRdsImageByte, RdsImageBytes>;

// Writes the 83 bytes of the image with WriteRdsByte, the caption showing each
// value before its write, and ends with the caption back at "Update RDS". Returns
// the image written.
TRdsImage UpdateRds(TRdsValues& values, const TCaptionSetter& setCaption);
// The image the values make now, without writing anything.
TRdsImage RdsImage(TRdsValues& values);
// Writes, in image order, only the bytes of Image that differ from Written, the
// image the memory holds (every byte when there is none).
void WriteRdsImageChanges(const TRdsImage& image, const TRdsImage* written);
