// The card command module: register writes, the I2C bus master and the open sequence.
#include "CardCommands.h"

#include <windows.h>

int32_t PinImage = 0;
int32_t ActiveSpace = 0;
int32_t LastFrequency = 0;
int32_t DividerHigh = 0;
int32_t DividerLow = 0;
int32_t PowerByte = 0;
int32_t BusData = 0;

void ResetModuleState()
{
    PinImage = 0;
    ActiveSpace = 0;
    LastFrequency = 0;
    DividerHigh = 0;
    DividerLow = 0;
    PowerByte = 0;
    BusData = 0;
}

namespace {

constexpr int32_t ByteCarry = 256;
constexpr int BitsPerByte = 8;
constexpr double MicrosecondsPerSecond = 1e6;

TBridgeCardPtr moduleCard;
uint64_t pauseCount = 0;

int64_t Counter()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Counter ticks for a duration, one more than its length so that the reading's
// truncation can never make a wait shorter.
int64_t TicksFor(double microseconds)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<int64_t>(microseconds * static_cast<double>(frequency.QuadPart) / MicrosecondsPerSecond) + 1;
}

const int64_t pauseTicks = TicksFor(BusPauseMicroseconds);
const int64_t rdsWaitTicks = TicksFor(RdsMemoryWriteMicroseconds + RdsMemoryMarginMicroseconds);

void SetLine(int32_t line)
{
    if (PinImage & line)
        return;
    // The image follows the write: one the card refused leaves the pin as it was.
    WriteRegister(DataRegister, static_cast<uint8_t>(PinImage + line));
    PinImage += line;
}

void ClearLine(int32_t line)
{
    if (!(PinImage & line))
        return;
    WriteRegister(DataRegister, static_cast<uint8_t>(PinImage - line));
    PinImage -= line;
}

} // namespace

TBridgeCard* ModuleCard() { return moduleCard.get(); }

void WriteRegister(uint32_t reg, uint8_t value)
{
    if (!moduleCard)
        return;
    WriteBridgeByte(*moduleCard, static_cast<uint32_t>(ActiveSpace), reg, value);
}

void SdaHigh() { SetLine(SdaPin); }
void SdaLow() { ClearLine(SdaPin); }
void SclHigh() { SetLine(SclPin); }
void SclLow() { ClearLine(SclPin); }

void BusPause()
{
    ++pauseCount;
    const int64_t start = Counter();
    while (Counter() - start < pauseTicks) {
    }
}

uint64_t BusPauseCount() { return pauseCount; }

// assert: both lines high
void BusStart()
{
    SdaHigh();
    SclHigh();
    BusPause();
    SdaLow();
    BusPause();
    SclLow();
    BusPause();
}

// assert: SCL low
void BusStop()
{
    SdaLow();
    BusPause();
    SclHigh();
    BusPause();
    SdaHigh();
}

// assert: SCL low; SDA changes only while SCL is low
void BusSendByte(uint8_t value)
{
    BusData = value;
    for (int bit = 0; bit < BitsPerByte; ++bit) {
        BusPause();
        BusPause();
        BusData *= 2;
        if (BusData >= ByteCarry) {
            SdaHigh();
            BusData -= ByteCarry;
        } else {
            SdaLow();
        }
        BusPause();
        SclHigh();
        BusPause();
        SclLow();
        BusPause();
    }
    // The acknowledge is clocked but not sampled.
    SdaHigh();
    BusPause();
    SclHigh();
    BusPause();
    SclLow();
    BusPause();
}

void WriteSynthesizer()
{
    BusData = 0;
    BusPause();
    BusStart();
    BusSendByte(SynthesizerAddress);
    BusSendByte(static_cast<uint8_t>(DividerHigh));
    BusSendByte(static_cast<uint8_t>(DividerLow));
    BusSendByte(SynthesizerControl);
    BusSendByte(static_cast<uint8_t>(PowerByte));
    BusStop();
}

void WriteRdsByte(uint8_t high, uint8_t low, uint8_t data)
{
    if (!moduleCard)
        return;
    BusData = 0;
    BusPause();
    BusStart();
    BusSendByte(RdsMemoryAddress);
    BusSendByte(high);
    BusSendByte(low);
    BusSendByte(data);
    BusStop();
}

void WaitForRdsMemory()
{
    const int64_t start = Counter();
    while (Counter() - start < rdsWaitTicks)
        Sleep(0);
}

TBridgeCard* OpenTransmitterCard(uint32_t vendorId, uint32_t deviceId)
{
    moduleCard.reset();
    if (CountBridgeCards(vendorId, deviceId) == 0)
        throw ECardError(BridgeErrorText);
    if (!OpenBridgeCard(vendorId, deviceId, 0, moduleCard))
        throw ECardError(BridgeErrorText);
    return moduleCard.get();
}

void CloseTransmitterCard() { CloseBridgeCard(moduleCard); }

void OpenTransmitter()
{
    CheckDriver().Close();
    OpenTransmitterCard(SondelVendorId, SondelDeviceId);
    LastFrequency = OpenFrequency;
    ActiveSpace = 0;
    while (ActiveSpace + 1 < static_cast<int32_t>(AddressSpaceCount) &&
           !IsSpaceActive(*moduleCard, static_cast<uint32_t>(ActiveSpace)))
        ++ActiveSpace;
    SdaHigh();
    SclHigh();
    PinImage = PinsWhileOn;
    WriteRegister(DirectionRegister, static_cast<uint8_t>(PinsWhileOn));
}
