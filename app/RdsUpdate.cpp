// The "Update RDS" transfer of the RDS panel to the card's RDS memory.
#include "RdsUpdate.h"

#include "CardCommands.h"
#include "CodePage.h"

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

// Receives each byte of the image in write order, with the caption that shows it.
using TImageByteSink = std::function<void(uint16_t address, int value, const std::string& caption)>;

void Number(uint16_t address, int value, const TImageByteSink& sink)
{
    sink(address, value, std::to_string(value));
}

// The edits hold their text in the system's code page.
const TCodePageConversion SystemCodePageText = {SystemToUnicode, UnicodeToSystem};

// A text byte of the memory as the caption shows it: the character it stands for.
std::string TextCaption(char byte, TMemoryCharacterSet characters)
{
    const std::string bytes(1, byte);
    return characters == TMemoryCharacterSet::Rds ? RdsToCodePage(bytes, SystemCodePageText) : bytes;
}

// Fetches the memory's bytes for every character, as each write reads its control afresh.
void Text(uint16_t address, size_t first, size_t count, const std::function<std::string()>& memory,
          TMemoryCharacterSet characters, const TImageByteSink& sink)
{
    for (size_t k = 0; k < count; ++k) {
        const std::string current = memory();
        const size_t position = first + k;
        const char byte = position < current.size() ? current[position] : TextPadding;
        sink(static_cast<uint16_t>(address + k), static_cast<unsigned char>(byte), TextCaption(byte, characters));
    }
}

// The image's layout: each value read from the panel at the moment of its byte.
void ForEachImageByte(TRdsValues& values, TMemoryCharacterSet characters, const TImageByteSink& sink)
{
    Number(PtyAddress, values.Pty(), sink);
    Number(TpAddress, values.Tp(), sink);
    Number(FixedZeroAddress, 0, sink);
    Number(MusicSpeechAddress, values.MusicSpeech(), sink);
    const int country = values.CountryCode();
    sink(CountryCodeAddress, country + CountryCodeOffset, std::to_string(country));
    Number(ProgramReferenceAddress, values.ProgramReference(), sink);
    Number(FixedOneAddress, 1, sink);
    Number(SecondFixedZeroAddress, 0, sink);
    Number(SecondFixedOneAddress, 1, sink);
    Number(ThirdFixedOneAddress, 1, sink);
    Number(PtyAgainAddress, values.Pty(), sink);

    const auto programService = [&values, characters] {
        return MemoryText(values.ProgramService(), characters, SystemCodePageText, values.ProgramServiceCodes());
    };
    const auto radioText = [&values, characters] {
        return MemoryText(values.RadioText(), characters, SystemCodePageText, values.RadioTextCodes());
    };
    Text(ProgramServiceAddress, 0, ProgramServiceLength, programService, characters, sink);
    Text(RadioTextFirstHalfAddress, 0, RadioTextHalfLength, radioText, characters, sink);
    Text(RadioTextSecondHalfAddress, RadioTextHalfLength, RadioTextHalfLength, radioText, characters, sink);
}

void WriteImageByte(const TRdsImageByte& byte)
{
    WriteRdsByte(static_cast<uint8_t>(byte.Address >> AddressShift), static_cast<uint8_t>(byte.Address & ByteMask),
                 byte.Value);
    WaitForRdsMemory();
}

// Collects the image in write order.
class TImageBuilder {
public:
    TRdsImageByte& Add(uint16_t address, int value)
    {
        TRdsImageByte& byte = image_.at(next_++);
        byte.Address = address;
        byte.Value = static_cast<uint8_t>(static_cast<unsigned>(value) & ByteMask);
        return byte;
    }
    const TRdsImage& Image() const { return image_; }

private:
    TRdsImage image_{};
    size_t next_ = 0;
};

} // namespace

bool TWrittenImage::Holds(size_t index, const TRdsImageByte& byte) const
{
    const std::optional<TRdsImageByte>& held = bytes_.at(index);
    return held && held->Address == byte.Address && held->Value == byte.Value;
}

size_t TWrittenImage::Known() const
{
    size_t known = 0;
    for (const std::optional<TRdsImageByte>& byte : bytes_)
        known += byte.has_value();
    return known;
}

TRdsImage UpdateRds(TRdsValues& values, TMemoryCharacterSet characters, const TCaptionSetter& setCaption,
                    TWrittenImage* written)
{
    TImageBuilder builder;
    size_t index = 0;
    ForEachImageByte(values, characters, [&](uint16_t address, int value, const std::string& caption) {
        setCaption(caption);
        const TRdsImageByte& byte = builder.Add(address, value);
        if (written)
            written->Begin(index);
        WriteImageByte(byte);
        if (written)
            written->End(index, byte);
        ++index;
    });
    setCaption(UpdateRdsCaption);
    return builder.Image();
}

TRdsImage RdsImage(TRdsValues& values, TMemoryCharacterSet characters)
{
    TImageBuilder builder;
    ForEachImageByte(values, characters,
                     [&](uint16_t address, int value, const std::string&) { builder.Add(address, value); });
    return builder.Image();
}

size_t WriteRdsImageChanges(const TRdsImage& image, TWrittenImage& written)
{
    size_t bytes = 0;
    for (size_t i = 0; i < image.size(); ++i) {
        if (written.Holds(i, image[i]))
            continue;
        // Unknown from its first bus transfer on: a write that breaks off leaves it so.
        written.Begin(i);
        WriteImageByte(image[i]);
        written.End(i, image[i]);
        ++bytes;
    }
    return bytes;
}
