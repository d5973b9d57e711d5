// The "Update RDS" transfer: the RDS memory image written byte by byte to the
// card, each value read from its control at the moment of its write.
#pragma once

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

// Writes the 83 bytes of the image with WriteRdsByte, the caption showing each
// value before its write, and ends with the caption back at "Update RDS".
void UpdateRds(TRdsValues& values, const TCaptionSetter& setCaption);
