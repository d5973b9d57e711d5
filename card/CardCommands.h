// The card command module: the one card's module state, the register writes,
// the hand-clocked I2C bus to the synthesizer and the RDS memory, and the open sequence.
#pragma once

#include "tiger320_lib.h"

#include <cstdint>

constexpr uint32_t SondelVendorId = 0xE159;
constexpr uint32_t SondelDeviceId = 0x0001;

constexpr uint32_t DirectionRegister = 2;
constexpr uint32_t DataRegister = 3;

// Bits of the auxiliary-pin registers.
constexpr int32_t EnablePin = 1;
constexpr int32_t StereoPin = 2;
constexpr int32_t SdaPin = 4;
constexpr int32_t SclPin = 8;
constexpr int32_t PinsWhileOn = 47;    // direction: enable, stereo, SDA, SCL and pin 5 driven
constexpr int32_t PinsWhileOff = 46;   // direction: the enable line released

constexpr uint8_t SynthesizerAddress = 0xC0;
constexpr uint8_t SynthesizerControl = 0xC0;
constexpr uint8_t RdsMemoryAddress = 0xA0;
constexpr uint32_t OpenFrequency = 100000;  // kHz

// Every bus phase is one pause; the longest standard-mode minimum is 4.7 us.
constexpr double BusPauseMicroseconds = 5.0;
// The RDS memory stores a byte in at most 5 ms; the margin covers clock tolerance.
constexpr double RdsMemoryWriteMicroseconds = 5000.0;
constexpr double RdsMemoryMarginMicroseconds = 250.0;

extern int32_t PinImage;
extern int32_t ActiveSpace;
extern int32_t LastFrequency;
extern int32_t DividerHigh;
extern int32_t DividerLow;
extern int32_t PowerByte;
extern int32_t BusData;

// Puts the module state back as it is when the program starts, for a process that
// drives one card after another (tests, benchmarks).
void ResetModuleState();

// The open card, or none; every register write goes to it.
TBridgeCard* ModuleCard();

// Writes nothing while no card is open.
void WriteRegister(uint32_t reg, uint8_t value);

void SdaHigh();
void SdaLow();
void SclHigh();
void SclLow();
void BusPause();
uint64_t BusPauseCount();   // pauses made since the program started
void BusStart();
void BusStop();
void BusSendByte(uint8_t value);
void WriteSynthesizer();
// Does nothing while no card is open.
void WriteRdsByte(uint8_t high, uint8_t low, uint8_t data);
// The wait after each RDS byte until the memory takes the next one.
void WaitForRdsMemory();

TBridgeCard* OpenTransmitterCard(uint32_t vendorId, uint32_t deviceId);
void CloseTransmitterCard();
void OpenTransmitter();
