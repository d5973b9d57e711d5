// The "Update RDS" transfer of the RDS panel to the card's RDS memory.
#include "RdsUpdate.h"

#include "CardCommands.h"

#include <cstdint>
#include <string>

const char* const UpdateRdsCaption = "Update RDS";

namespace {

constexpr uint16_t PtyAddress = 0x0004;
constexpr uint16_t TpAddress = 0x0005;
constexpr uint16_t FixedZeroAddress = 0x0006;
constexpr uint16_t MusicSpeechAddress = 0x0007;
constexpr uint16_t CountryCodeAddress = 0x0008;
constexpr uint16_t ProgramReferenceAddress = 0x0009;
constexpr uint16_t FixedOneAddress = 0x000A;
constexpr uint16_t SecondFixedZeroAddress = 0x000B;
constexpr uint16_t SecondFixedOneAddress = 0x000C;
constexpr uint16_t ThirdFixedOneAddress = 0x000D;
constexpr uint16_t PtyAgainAddress = 0x000E;
constexpr uint16_t ProgramServiceAddress = 0x0010;
constexpr uint16_t RadioTextFirstHalfAddress = 0x0100;
constexpr uint16_t RadioTextSecondHalfAddress = 0x0200;

constexpr size_t ProgramServiceLength = 8;
constexpr size_t RadioTextHalfLength = 32;
// The RDS standard pads short texts with spaces.
constexpr char TextPadding = ' ';
// The country code's list item index is one less than its hexadecimal digit.
constexpr int CountryCodeOffset = 1;
constexpr int AddressShift = 8;
constexpr uint16_t ByteMask = 0xFF;

void WriteImageByte(uint16_t address, int value, const std::string& caption, const TCaptionSetter& setCaption)
{
    setCaption(caption);
    WriteRdsByte(static_cast<uint8_t>(address >> AddressShift), static_cast<uint8_t>(address & ByteMask),
                 static_cast<uint8_t>(static_cast<unsigned>(value) & ByteMask));
    WaitForRdsMemory();
}

void WriteNumber(uint16_t address, int value, const TCaptionSetter& setCaption)
{
    WriteImageByte(address, value, std::to_string(value), setCaption);
}

// Fetches the text for every character, as each write reads its control afresh.
void WriteText(uint16_t address, size_t first, size_t count, const std::function<std::string()>& text,
               const TCaptionSetter& setCaption)
{
    for (size_t k = 0; k < count; ++k) {
        const std::string current = text();
        const size_t position = first + k;
        const char character = position < current.size() ? current[position] : TextPadding;
        WriteImageByte(static_cast<uint16_t>(address + k), static_cast<unsigned char>(character),
                       std::string(1, character), setCaption);
    }
}

} // namespace

void UpdateRds(TRdsValues& values, const TCaptionSetter& setCaption)
{
    WriteNumber(PtyAddress, values.Pty(), setCaption);
    WriteNumber(TpAddress, values.Tp(), setCaption);
    WriteNumber(FixedZeroAddress, 0, setCaption);
    WriteNumber(MusicSpeechAddress, values.MusicSpeech(), setCaption);
    const int country = values.CountryCode();
    WriteImageByte(CountryCodeAddress, country + CountryCodeOffset, std::to_string(country), setCaption);
    WriteNumber(ProgramReferenceAddress, values.ProgramReference(), setCaption);
    WriteNumber(FixedOneAddress, 1, setCaption);
    WriteNumber(SecondFixedZeroAddress, 0, setCaption);
    WriteNumber(SecondFixedOneAddress, 1, setCaption);
    WriteNumber(ThirdFixedOneAddress, 1, setCaption);
    WriteNumber(PtyAgainAddress, values.Pty(), setCaption);

    const auto programService = [&values] { return values.ProgramService(); };
    const auto radioText = [&values] { return values.RadioText(); };
    WriteText(ProgramServiceAddress, 0, ProgramServiceLength, programService, setCaption);
    WriteText(RadioTextFirstHalfAddress, 0, RadioTextHalfLength, radioText, setCaption);
    WriteText(RadioTextSecondHalfAddress, RadioTextHalfLength, RadioTextHalfLength, radioText, setCaption);
    setCaption(UpdateRdsCaption);
}
