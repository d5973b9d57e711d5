// The bridge library on the virtual card: the driver calls of an open, the
// address-space matching rules, the clamped counts and every failure path.
#include "CardFixture.h"

#include "tiger320_lib.h"

namespace {

constexpr uint32_t Vendor = 0xE159;
constexpr uint32_t Device = 0x0001;

TVirtualCardConfig WithResources(std::vector<TVirtualResource> resources, std::vector<uint32_t> bars)
{
    TVirtualCardConfig config = IoCardConfig();
    config.Resources = std::move(resources);
    for (uint32_t n = 0; n < AddressSpaceCount; ++n)
        config.Bars[n] = n < bars.size() ? bars[n] : 0;
    return config;
}

} // namespace

using BridgeLibrary = CardTest;

TEST_F(BridgeLibrary, OpenMakesTheDriverCallsInOrder)
{
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
    const std::vector<uint32_t> expected = {DriverCode::Version, DriverCode::CardScan, DriverCode::CardInfo,
                                            DriverCode::CardLock, DriverCode::ConfigAccess};
    EXPECT_EQ(virtualCard->Calls(), expected);
    EXPECT_EQ(virtualCard->ConfigOffsets(), std::vector<uint32_t>{0x10});
    EXPECT_TRUE(virtualCard->Locked());
    EXPECT_EQ(virtualCard->OpenHandles(), 1u);
    EXPECT_TRUE(IsSpaceActive(*card, 0));
    EXPECT_FALSE(IsSpaceActive(*card, 1));
    EXPECT_EQ(BridgeErrorText, "");

    CloseBridgeCard(card);
    EXPECT_EQ(card, nullptr);
    EXPECT_FALSE(virtualCard->Locked());
    EXPECT_EQ(virtualCard->ReleasedCardHandle(), 0x0C0FFEE1u);
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
    EXPECT_EQ(virtualCard->Calls().back(), DriverCode::CardRelease);
}

TEST_F(BridgeLibrary, CountClosesItsHandle)
{
    EXPECT_EQ(CountBridgeCards(Vendor, Device), 1u);
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
    EXPECT_EQ(CountBridgeCards(Vendor, 0x0002), 0u);
    EXPECT_EQ(BridgeErrorText, "no cards found");
}

TEST_F(BridgeLibrary, WithTwoCardsTheFirstIsOpened)
{
    TVirtualCardConfig config = IoCardConfig();
    config.CardCount = 2;
    Use(config);
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card));
    EXPECT_EQ(virtualCard->InfoSlot(), VirtualCardLayout::FirstSlot);
    EXPECT_EQ(card->Slot, VirtualCardLayout::FirstSlot);
    CloseBridgeCard(card);
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 1, card));
    EXPECT_EQ(card->Slot, VirtualCardLayout::FirstSlot + 1);
}

TEST_F(BridgeLibrary, ScanCountsAboveTheRecordsCapacityAreClamped)
{
    TVirtualCardConfig config = IoCardConfig();
    config.ReportedCardCount = 5000;
    Use(config);
    EXPECT_EQ(CountBridgeCards(Vendor, Device), 100u);
    TBridgeCardPtr card;
    EXPECT_FALSE(OpenBridgeCard(Vendor, Device, 100, card));
    EXPECT_EQ(BridgeErrorText, "Card out of range of available cards");
    EXPECT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
}

TEST_F(BridgeLibrary, ResourceCountsAboveTheRecordsCapacityAreClamped)
{
    TVirtualCardConfig config = IoCardConfig();
    config.ReportedResourceCount = 0xFFFFFFFF;
    Use(config);
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
    EXPECT_EQ(virtualCard->LockedResourceTypes().size(), 20u);
    EXPECT_TRUE(IsSpaceActive(*card, 0));
}

TEST_F(BridgeLibrary, InterruptResourcesAreNotHandedToTheLock)
{
    Use(WithResources({{Resource::Interrupt, 11, 0}, {Resource::Io, 0xD000, 0x100}}, {0xD001}));
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
    EXPECT_EQ(virtualCard->LockedResourceTypes(), (std::vector<uint32_t>{Resource::None, Resource::Io}));
    EXPECT_EQ(card->Spaces[0].ResourceIndex, 1u);
    EXPECT_FALSE(card->Spaces[0].IsMemory);
}

TEST_F(BridgeLibrary, AnIoRangeMatchesByTheLow16BitsOfItsPort)
{
    Use(WithResources({{Resource::Io, 0x1D000, 0x100}}, {0xD001}));
    TBridgeCardPtr card;
    EXPECT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
}

TEST_F(BridgeLibrary, AnIoRegisterWithBitsAbove15NeverMatches)
{
    Use(WithResources({{Resource::Io, 0xD000, 0x100}}, {0x1D001}));
    TBridgeCardPtr card;
    EXPECT_FALSE(OpenBridgeCard(Vendor, Device, 0, card));
    EXPECT_EQ(BridgeErrorText, "Card does not have all items expected for TIGER320");
    EXPECT_EQ(card, nullptr);
    const std::vector<uint32_t> allRegisters = {0x10, 0x14, 0x18, 0x1C, 0x20, 0x24, 0x30};
    EXPECT_EQ(virtualCard->ConfigOffsets(), allRegisters);
    EXPECT_FALSE(virtualCard->Locked());
    EXPECT_EQ(virtualCard->ReleasedCardHandle(), 0x0C0FFEE1u);
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
}

TEST_F(BridgeLibrary, RangesOnlyMatchRegistersOfTheirKind)
{
    // BAR0 is an I/O register at the memory range's address; BAR1 a memory register.
    Use(WithResources({{Resource::Memory, 0xD000, 0x100}, {Resource::Io, 0xD000, 0x100}}, {0xD001, 0xD008}));
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
    EXPECT_TRUE(card->Spaces[1].Active);
    EXPECT_TRUE(card->Spaces[1].IsMemory);
    EXPECT_EQ(card->Spaces[1].ResourceIndex, 0u);
    EXPECT_TRUE(card->Spaces[0].Active);
    EXPECT_FALSE(card->Spaces[0].IsMemory);
    EXPECT_EQ(card->Spaces[0].ResourceIndex, 1u);
}

TEST_F(BridgeLibrary, ATakenSpaceIsNotTakenAgain)
{
    Use(WithResources({{Resource::Io, 0xD000, 0x100}, {Resource::Io, 0xD000, 0x100}}, {0xD001, 0xD001}));
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card));
    EXPECT_EQ(card->Spaces[0].ResourceIndex, 0u);
    EXPECT_EQ(card->Spaces[1].ResourceIndex, 1u);
}

TEST_F(BridgeLibrary, TheExpansionRomRegisterIsSpace6)
{
    Use(WithResources({{Resource::Memory, 0xFFF00000, 0x1000}}, {0, 0, 0, 0, 0, 0, 0xFFF00000}));
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
    EXPECT_TRUE(IsSpaceActive(*card, 6));
    EXPECT_EQ(virtualCard->ConfigOffsets().back(), 0x30u);
}

TEST_F(BridgeLibrary, FailuresLeaveNothingBehind)
{
    struct TCase {
        const char* what;
        TVirtualCardConfig config;
        uint32_t cardNumber;
        const char* message;
    };
    TVirtualCardConfig noOpen = IoCardConfig();
    noOpen.DriverPresent = false;
    TVirtualCardConfig oldDriver = IoCardConfig();
    oldDriver.Version = 699;
    TVirtualCardConfig noCard = IoCardConfig();
    noCard.CardCount = 0;
    TVirtualCardConfig locked = IoCardConfig();
    locked.LockRefused = true;
    const TCase cases[] = {
        {"no driver", noOpen, 0, "Failed opening WinDriver device"},
        {"old driver", oldDriver, 0, "Incorrect WinDriver version"},
        {"no card", noCard, 0, "Could not find PCI card"},
        {"card number", IoCardConfig(), 1, "Card out of range of available cards"},
        {"lock refused", locked, 0, "Failed locking device"},
    };
    for (const TCase& test : cases) {
        Use(test.config);
        TBridgeCardPtr card;
        EXPECT_FALSE(OpenBridgeCard(Vendor, Device, test.cardNumber, card)) << test.what;
        EXPECT_EQ(BridgeErrorText, test.message) << test.what;
        EXPECT_EQ(card, nullptr) << test.what;
        EXPECT_EQ(virtualCard->OpenHandles(), 0u) << test.what;
        EXPECT_FALSE(virtualCard->Locked()) << test.what;
        EXPECT_EQ(virtualCard->ReleasedCardHandle(), 0u) << test.what << ": released without a lock";
    }
}

TEST_F(BridgeLibrary, CountFailures)
{
    TVirtualCardConfig config = IoCardConfig();
    config.DriverPresent = false;
    Use(config);
    EXPECT_EQ(CountBridgeCards(Vendor, Device), 0u);
    EXPECT_EQ(BridgeErrorText, "Failed opening WinDriver device");

    config = IoCardConfig();
    config.Version = 699;
    Use(config);
    EXPECT_EQ(CountBridgeCards(Vendor, Device), 0u);
    EXPECT_EQ(BridgeErrorText, "Incorrect WinDriver version");
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
}

TEST_F(BridgeLibrary, IoWritesAreOneByteTransfersToThePort)
{
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card));
    WriteBridgeByte(*card, 0, 3, 0x5A);
    WriteBridgeByte(*card, 0, 2, 47);
    EXPECT_EQ(Registers(), (std::vector<std::string>{"REG 3 90", "REG 2 47"}));
    EXPECT_EQ(Count(DriverCode::Transfer), 2u);
}

TEST_F(BridgeLibrary, WritesToAnInactiveSpaceDoNothing)
{
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card));
    const size_t calls = virtualCard->Calls().size();
    WriteBridgeByte(*card, 1, 3, 1);
    WriteBridgeByte(*card, 7, 3, 1);
    EXPECT_EQ(virtualCard->Calls().size(), calls);
    EXPECT_TRUE(Registers().empty());
}

TEST_F(BridgeLibrary, MemoryWritesAreDirectStoresWithoutDriverCalls)
{
    Use(MemoryCardConfig());
    TBridgeCardPtr card;
    ASSERT_TRUE(OpenBridgeCard(Vendor, Device, 0, card)) << BridgeErrorText;
    const size_t calls = virtualCard->Calls().size();
    WriteBridgeByte(*card, 0, 3, 12);
    WriteBridgeByte(*card, 0, 2, 47);
    EXPECT_EQ(virtualCard->Calls().size(), calls);
    EXPECT_EQ(virtualCard->MappedRange()[3], 12);
    EXPECT_EQ(virtualCard->MappedRange()[2], 47);
}
