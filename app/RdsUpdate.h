// The "Update RDS" transfer: the RDS memory image written byte by byte to the
// card, each value read from its control at the moment of its write.
#pragma once

#include "RdsCharacterSet.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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
    // The texts' own RDS codes when they came in them (UECP): the memory takes these
    // under the RDS character set. None: the texts' codes are made from the code page.
    virtual std::optional<std::string> ProgramServiceCodes() { return std::nullopt; }
    virtual std::optional<std::string> RadioTextCodes() { return std::nullopt; }
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

// What the RDS memory holds after this run's writes, byte by byte in image order:
// a byte never written, or whose write did not finish, is unknown.
class TWrittenImage {
public:
    // The memory holds Byte at the image's place Index.
    bool Holds(size_t index, const TRdsImageByte& byte) const;
    // A write of the byte at Index begins (unknown until it ends) or has ended.
    void Begin(size_t index) { bytes_.at(index).reset(); }
    void End(size_t index, const TRdsImageByte& byte) {
        bytes_.at(index) = byte;
        if (OnWritten) OnWritten(byte.Address);
    }
    // Nothing of the memory is known (every byte is written next time).
    void Forget() { bytes_ = {}; }
    // How many bytes are known.
    size_t Known() const;
    // Told the address of each write that ended, for the memory's wear.
    std::function<void(uint16_t address)> OnWritten;

private:
    std::array<std::optional<TRdsImageByte>, RdsImageBytes> bytes_{};
};

// Writes the 83 bytes of the image with WriteRdsByte, the texts in Characters, the
// caption showing each value before its write (a text byte as the character it
// stands for), and ends with the caption back at "Update RDS". Returns the image
// written. Written (when given) follows each byte's write as it ends, so that a
// write that fails part way leaves the byte it was writing unknown.
TRdsImage UpdateRds(TRdsValues& values, TMemoryCharacterSet characters, const TCaptionSetter& setCaption,
                    TWrittenImage* written = nullptr);
// The image the values make now, the texts in Characters, without writing anything.
TRdsImage RdsImage(TRdsValues& values, TMemoryCharacterSet characters);
// Writes, in image order, only the bytes of Image that Written does not know the
// memory to hold, and records each as its write ends. The number of bytes written.
size_t WriteRdsImageChanges(const TRdsImage& image, TWrittenImage& written);
