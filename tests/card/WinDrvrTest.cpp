// The driver device interface: control codes, the record codec, pointer
// fields, and the version check on the virtual and on the Windows device.
#include "CardFixture.h"

#include "WinDrvr.h"

TEST(ControlCodes, AreComputedFromTheFunctionNumbers)
{
    EXPECT_EQ(MakeControlCode(0x910), 0x95382443u);
    EXPECT_EQ(DriverCode::Version, 0x95382443u);
    EXPECT_EQ(DriverCode::CardScan, 0x9538243Bu);
    EXPECT_EQ(DriverCode::CardInfo, 0x9538243Fu);
    EXPECT_EQ(DriverCode::CardLock, 0x95382673u);
    EXPECT_EQ(DriverCode::CardRelease, 0x953824AFu);
    EXPECT_EQ(DriverCode::Transfer, 0x9538240Fu);
    EXPECT_EQ(DriverCode::ConfigAccess, 0x9538246Bu);
}

TEST(DriverRecords, HaveTheirLengthsAndOffsets)
{
    EXPECT_EQ(VersionRecord::Length, 132u);
    EXPECT_EQ(ScanRecord::Length, 2012u);
    EXPECT_EQ(ScanRecord::Locations, 812u);
    EXPECT_EQ(CardInfoRecord::Length, 816u);
    EXPECT_EQ(ResourceList::Length, 804u);
    EXPECT_EQ(LockRecord::Length, 948u);
    EXPECT_EQ(LockRecord::CardHandle, 808u);
    EXPECT_EQ(TransferRecord::Length, 28u);
    EXPECT_EQ(ConfigRecord::Length, 32u);
    EXPECT_EQ(Resource::MappedAddress, 28u);
}

TEST(DriverRecords, AreZeroFilledLittleEndianFields)
{
    TDriverRecord record(TransferRecord::Length);
    for (uint32_t i = 0; i < record.Length(); ++i)
        ASSERT_EQ(record.Bytes()[i], 0) << i;
    record.Set(TransferRecord::Command, 0x11223344);
    const uint8_t expected[] = {0, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0};
    for (uint32_t i = 0; i < sizeof expected; ++i)
        EXPECT_EQ(record.Bytes()[i], expected[i]) << i;
    EXPECT_EQ(record.Get(TransferRecord::Command), 0x11223344u);
}

TEST(DriverRecords, RefuseFieldsOutsideTheRecord)
{
    TDriverRecord record(VersionRecord::Length);
    EXPECT_NO_THROW(record.Set(128, 1));
    EXPECT_THROW(record.Set(129, 1), ECardError);
    EXPECT_THROW(record.Get(132), ECardError);
    EXPECT_THROW(record.Get(0xFFFFFFFE), ECardError);
    TDriverRecord small(TransferRecord::Length);
    EXPECT_THROW(small.CopyFrom(record, 0, 0, 29), ECardError);
    EXPECT_THROW(small.CopyFrom(record, 130, 0, 4), ECardError);
}

TEST(PointerFields, HoldTheLowBitsAndRefuseAddressesAbove4GB)
{
    EXPECT_EQ(PointerField(reinterpret_cast<void*>(static_cast<uintptr_t>(0x12345678))), 0x12345678u);
    EXPECT_EQ(FieldPointer(0x12345678), reinterpret_cast<void*>(static_cast<uintptr_t>(0x12345678)));
#if UINTPTR_MAX > 0xFFFFFFFFu
    EXPECT_THROW(PointerField(reinterpret_cast<void*>(static_cast<uintptr_t>(0x100000000ull))), ECardError);
#endif
    int local = 0;
    EXPECT_NO_THROW(PointerField(&local)) << "the program's stack must lie below 4 GB";
    auto heap = std::make_unique<int>(0);
    EXPECT_NO_THROW(PointerField(heap.get())) << "the program's heap must lie below 4 GB";
}

using DriverCheck = CardTest;

TEST_F(DriverCheck, Version700PassesAndKeepsTheHandleOpen)
{
    TDriverHandle driver = CheckDriver();
    EXPECT_TRUE(driver.Valid());
    EXPECT_EQ(virtualCard->OpenHandles(), 1u);
    driver.Close();
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
    EXPECT_EQ(virtualCard->Calls(), std::vector<uint32_t>{DriverCode::Version});
}

TEST_F(DriverCheck, Version699FailsAndClosesTheHandle)
{
    TVirtualCardConfig config = IoCardConfig();
    config.Version = 699;
    Use(config);
    try {
        CheckDriver();
        FAIL() << "version 699 passed";
    } catch (const ECardError& failure) {
        EXPECT_STREQ(failure.what(), "Error - incorrect WinDriver version");
    }
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
}

TEST_F(DriverCheck, AnAbsentDriverCannotBeOpened)
{
    TVirtualCardConfig config = IoCardConfig();
    ApplyVirtualFault(config, TVirtualFault::NoDriver);
    Use(config);
    try {
        CheckDriver();
        FAIL() << "an absent driver passed";
    } catch (const ECardError& failure) {
        EXPECT_STREQ(failure.what(), "Cannot open WinDriver device");
    }
    EXPECT_TRUE(virtualCard->Calls().empty());
}

TEST(WindowsDevice, IsAbsentOnAMachineWithoutTheDriver)
{
    UseDriverDevice(nullptr);
    TSondelCard card;
    EXPECT_FALSE(card.OpenCard());
    EXPECT_EQ(card.LastError, "Cannot open WinDriver device");
    EXPECT_FALSE(card.Opened);
}
