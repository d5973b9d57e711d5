// The TIGER320 bridge library: finds the card through the driver, locks it,
// matches its ranges to base address registers and writes bridge registers.
#pragma once

#include "WinDrvr.h"

#include <cstdint>
#include <memory>
#include <string>

constexpr uint32_t AddressSpaceCount = 7;  // base address registers 0..5 and the expansion ROM

struct TAddressSpace {
    uint32_t ResourceIndex = 0;
    bool IsMemory = false;
    bool Active = false;
};

// One open card; going away releases the lock and closes the driver handle.
struct TBridgeCard {
    TBridgeCard() = default;
    ~TBridgeCard();
    TBridgeCard(const TBridgeCard&) = delete;
    TBridgeCard& operator=(const TBridgeCard&) = delete;

    TDriverHandle Driver;
    uint32_t Bus = 0;
    uint32_t Slot = 0;
    uint32_t Function = 0;
    TAddressSpace Spaces[AddressSpaceCount];
    TDriverRecord Lock{LockRecord::Length};
};

using TBridgeCardPtr = std::unique_ptr<TBridgeCard>;

// The message of the library's last failure.
extern std::string BridgeErrorText;

uint32_t CountBridgeCards(uint32_t vendorId, uint32_t deviceId);
bool OpenBridgeCard(uint32_t vendorId, uint32_t deviceId, uint32_t cardNumber, TBridgeCardPtr& card);
void CloseBridgeCard(TBridgeCardPtr& card);
bool FindAddressSpaces(TBridgeCard& card);
bool IsSpaceActive(const TBridgeCard& card, uint32_t space);
uint32_t ReadConfigDword(const TBridgeCard& card, uint32_t offset);
void WriteBridgeByte(const TBridgeCard& card, uint32_t space, uint32_t offset, uint8_t value);
