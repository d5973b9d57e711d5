// The card object: opens and closes the card and sends the transmitter commands.
#include "PCICard.h"

#include "CardCommands.h"

#include <exception>

namespace {

constexpr uint32_t DividerStep = 50;        // kHz per synthesizer divider step
constexpr uint32_t HighestDivider = 2160;   // 108.000 MHz
constexpr uint32_t LowestDivider = 1720;    // 86.000 MHz
constexpr int32_t OffDividerHigh = 6;       // divider 1746: 87.300 MHz while off
constexpr int32_t OffDividerLow = 210;
constexpr int ByteShift = 8;
constexpr uint32_t ByteMask = 255;

void PauseTwice()
{
    BusPause();
    BusPause();
}

} // namespace

TSondelCard::~TSondelCard() { CloseCard(); }

bool TSondelCard::OpenCard()
{
    CardHandle = nullptr;
    try {
        OpenTransmitter();
        CardHandle = ModuleCard();
        Opened = true;
    } catch (const std::exception& failure) {
        Opened = false;
        LastError = failure.what();
    }
    return Opened;
}

void TSondelCard::CloseCard()
{
    const bool wasOpen = Opened;
    Opened = false;
    CardHandle = nullptr;
    if (wasOpen)
        CloseTransmitterCard();
}

void TSondelCard::TransmitterOn()
{
    if (!Opened)
        return;
    WriteRegister(DirectionRegister, static_cast<uint8_t>(PinsWhileOn));
    PinImage |= EnablePin;
    WriteRegister(DataRegister, static_cast<uint8_t>(PinImage));
    PauseTwice();
    const uint32_t divider = static_cast<uint32_t>(LastFrequency) / DividerStep;
    DividerHigh = static_cast<int32_t>(divider >> ByteShift);
    DividerLow = static_cast<int32_t>(divider & ByteMask);
    PowerByte = 0;
    WriteSynthesizer();
    PauseTwice();
}

void TSondelCard::TransmitterOff()
{
    if (!Opened)
        return;
    WriteRegister(DirectionRegister, static_cast<uint8_t>(PinsWhileOff));
    PauseTwice();
    DividerHigh = OffDividerHigh;
    DividerLow = OffDividerLow;
    PowerByte = 0;
    WriteSynthesizer();
    PauseTwice();
}

void TSondelCard::SetStereo()
{
    if (!Opened)
        return;
    PinImage |= StereoPin;
    WriteRegister(DataRegister, static_cast<uint8_t>(PinImage));
}

void TSondelCard::SetMono()
{
    if (!Opened)
        return;
    PinImage &= ~StereoPin;
    WriteRegister(DataRegister, static_cast<uint8_t>(PinImage));
}

void TSondelCard::SetFrequency(uint32_t frequency, uint8_t power)
{
    if (!Opened)
        return;
    uint32_t divider = frequency / DividerStep;
    if (divider > HighestDivider)
        divider = HighestDivider;
    if (divider < LowestDivider)
        divider = LowestDivider;
    LastFrequency = static_cast<int32_t>(divider * DividerStep);
    DividerHigh = static_cast<int32_t>(divider >> ByteShift);
    DividerLow = static_cast<int32_t>(divider & ByteMask);
    PowerByte = power;
    WriteSynthesizer();
}
