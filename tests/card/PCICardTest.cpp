// The card object on the virtual card: the open sequence, every command's
// register writes and frames, the failure messages, and a closed card.
#include "CardFixture.h"

using SondelCard = CardTest;

TEST_F(SondelCard, FirstOpenWritesRegister3Twice_ThenTheDirection)
{
    ASSERT_TRUE(sondel.OpenCard()) << sondel.LastError;
    EXPECT_TRUE(sondel.Opened);
    EXPECT_EQ(Registers(), (std::vector<std::string>{"REG 3 4", "REG 3 12", "REG 2 47"}));
    EXPECT_EQ(PinImage, 47);
    EXPECT_EQ(LastFrequency, 100000);
    EXPECT_EQ(ActiveSpace, 0);
    EXPECT_NE(sondel.CardHandle, nullptr);
    EXPECT_EQ(sondel.CardHandle, ModuleCard());
    EXPECT_TRUE(Events("CARRIER").empty());
}

TEST_F(SondelCard, OpenChecksTheDriverCountsThenOpensWithItsOwnHandle)
{
    ASSERT_TRUE(sondel.OpenCard());
    const std::vector<uint32_t> expected = {
        DriverCode::Version,                                             // driver check
        DriverCode::Version, DriverCode::CardScan,                       // count
        DriverCode::Version, DriverCode::CardScan, DriverCode::CardInfo, // open
        DriverCode::CardLock, DriverCode::ConfigAccess,
        DriverCode::Transfer, DriverCode::Transfer, DriverCode::Transfer,
    };
    EXPECT_EQ(virtualCard->Calls(), expected);
    EXPECT_EQ(virtualCard->OpenHandles(), 1u);
    EXPECT_TRUE(virtualCard->Locked());
}

TEST_F(SondelCard, MonoAndStereoRightAfterOpen)
{
    OpenAndForget();
    sondel.SetMono();
    sondel.SetStereo();
    sondel.SetStereo();
    EXPECT_EQ(Registers(), (std::vector<std::string>{"REG 3 45", "REG 3 47", "REG 3 47"}));
    EXPECT_EQ(Events("STEREO"), (std::vector<std::string>{"STEREO on"}));
}

TEST_F(SondelCard, StereoLineFollowsTheCommands)
{
    OpenAndForget();
    sondel.SetStereo();
    sondel.SetMono();
    EXPECT_EQ(Events("STEREO"), (std::vector<std::string>{"STEREO on", "STEREO off"}));
}

TEST_F(SondelCard, TransmitterOnReturnsToTheLastFrequencyWithPower0)
{
    OpenAndForget();
    const uint64_t before = BusPauseCount();
    sondel.TransmitterOn();
    EXPECT_EQ(BusPauseCount() - before, 225u);
    const auto registers = Registers();
    ASSERT_GE(registers.size(), 2u);
    EXPECT_EQ(registers[0], "REG 2 47");
    EXPECT_EQ(registers[1], "REG 3 47");
    EXPECT_EQ(registers[2], "REG 3 43") << "the frame's start follows";
    EXPECT_EQ(Events("CARRIER"), std::vector<std::string>{"CARRIER on"});
    EXPECT_EQ(Events("I2C"), std::vector<std::string>{"I2C C0 07 D0 C0 00"});
    EXPECT_EQ(Events("SYNTH"), std::vector<std::string>{"SYNTH 100000 0"});
    EXPECT_TRUE(virtualCard->Pins().Carrier());
    EXPECT_EQ(virtualCard->TimingViolations(), 0u);
}

TEST_F(SondelCard, TransmitterOnWhenAlreadyOnWritesTheSameAgain)
{
    OpenAndForget();
    sondel.TransmitterOn();
    virtualCard->Trace().ClearEvents();
    sondel.TransmitterOn();
    const auto registers = Registers();
    ASSERT_GE(registers.size(), 2u);
    EXPECT_EQ(registers[0], "REG 2 47");
    EXPECT_EQ(registers[1], "REG 3 47");
    EXPECT_EQ(Events("I2C"), std::vector<std::string>{"I2C C0 07 D0 C0 00"});
    EXPECT_TRUE(Events("CARRIER").empty());
}

TEST_F(SondelCard, TransmitterOffReleasesTheEnableLineAndParksAt87300)
{
    OpenAndForget();
    sondel.TransmitterOn();
    sondel.SetFrequency(95000, 9);
    virtualCard->Trace().ClearEvents();
    const uint64_t before = BusPauseCount();
    sondel.TransmitterOff();
    EXPECT_EQ(BusPauseCount() - before, 225u);
    EXPECT_EQ(Registers().front(), "REG 2 46");
    EXPECT_EQ(Registers()[1], "REG 3 43") << "no register-3 write before the frame";
    EXPECT_EQ(Events("CARRIER"), std::vector<std::string>{"CARRIER off"});
    EXPECT_EQ(Events("I2C"), std::vector<std::string>{"I2C C0 06 D2 C0 00"});
    EXPECT_EQ(Events("SYNTH"), std::vector<std::string>{"SYNTH 87300 0"});
    EXPECT_EQ(PinImage & 1, 1) << "bit 0 of the image stays set";
    EXPECT_EQ(LastFrequency, 95000);

    virtualCard->Trace().ClearEvents();
    sondel.TransmitterOn();
    EXPECT_EQ(Events("I2C"), std::vector<std::string>{"I2C C0 07 6C C0 00"});
    EXPECT_EQ(Events("CARRIER"), std::vector<std::string>{"CARRIER on"});
}

TEST_F(SondelCard, SetFrequencySendsTheDividerAndPower)
{
    OpenAndForget();
    const uint64_t before = BusPauseCount();
    sondel.SetFrequency(100049, 2);
    EXPECT_EQ(BusPauseCount() - before, 221u);
    EXPECT_EQ(Events("I2C"), std::vector<std::string>{"I2C C0 07 D0 C0 02"});
    EXPECT_EQ(virtualCard->Synthesizer().Kilohertz(), 100000u);
    EXPECT_EQ(virtualCard->Synthesizer().Power(), 2);
    EXPECT_EQ(LastFrequency, 100000);
    const auto registers = Registers();
    EXPECT_EQ(registers.front(), "REG 3 43");
    EXPECT_EQ(std::vector<std::string>(registers.end() - 3, registers.end()),
              (std::vector<std::string>{"REG 3 35", "REG 3 43", "REG 3 47"}));
}

TEST_F(SondelCard, SetFrequencyClampsToTheTunableRange)
{
    OpenAndForget();
    sondel.SetFrequency(0, 15);
    EXPECT_EQ(LastFrequency, 86000);
    sondel.SetFrequency(108049, 1);
    EXPECT_EQ(LastFrequency, 108000);
    sondel.SetFrequency(200000, 0);
    sondel.SetFrequency(4294967295u, 0);
    EXPECT_EQ(Events("I2C"), (std::vector<std::string>{"I2C C0 06 B8 C0 0F", "I2C C0 08 70 C0 01",
                                                       "I2C C0 08 70 C0 00", "I2C C0 08 70 C0 00"}));
    EXPECT_EQ(Events("SYNTH"), (std::vector<std::string>{"SYNTH 86000 15", "SYNTH 108000 1", "SYNTH 108000 0",
                                                         "SYNTH 108000 0"}));
}

TEST_F(SondelCard, EveryOpenFailureHasItsMessageAndLeavesNothingOpen)
{
    struct TCase {
        const char* what;
        TVirtualCardConfig config;
        const char* message;
    };
    auto faulty = [](TVirtualFault fault) {
        TVirtualCardConfig config = IoCardConfig();
        ApplyVirtualFault(config, fault);
        return config;
    };
    TVirtualCardConfig countCannotOpen = IoCardConfig();
    countCannotOpen.OpensAllowed = 1;
    TVirtualCardConfig countOldVersion = IoCardConfig();
    countOldVersion.VersionsInTurn = {700, 699};
    TVirtualCardConfig openCannotOpen = IoCardConfig();
    openCannotOpen.OpensAllowed = 2;
    TVirtualCardConfig openOldVersion = IoCardConfig();
    openOldVersion.VersionsInTurn = {700, 700, 699};
    TVirtualCardConfig cardVanishes = IoCardConfig();
    cardVanishes.ScansWithCards = 1;
    const TCase cases[] = {
        {"no driver", faulty(TVirtualFault::NoDriver), "Cannot open WinDriver device"},
        {"old driver", faulty(TVirtualFault::OldDriver), "Error - incorrect WinDriver version"},
        {"count cannot open", countCannotOpen, "Failed opening WinDriver device"},
        {"count old version", countOldVersion, "Incorrect WinDriver version"},
        {"no card", faulty(TVirtualFault::NoCard), "no cards found"},
        {"open cannot open", openCannotOpen, "Failed opening WinDriver device"},
        {"open old version", openOldVersion, "Incorrect WinDriver version"},
        {"card vanishes", cardVanishes, "Could not find PCI card"},
        {"lock refused", faulty(TVirtualFault::LockRefused), "Failed locking device"},
        {"no address space", faulty(TVirtualFault::NoAddressSpace), "Card does not have all items expected for TIGER320"},
    };
    for (const TCase& test : cases) {
        Use(test.config);
        EXPECT_FALSE(sondel.OpenCard()) << test.what;
        EXPECT_FALSE(sondel.Opened) << test.what;
        EXPECT_EQ(sondel.LastError, test.message) << test.what;
        EXPECT_EQ(sondel.CardHandle, nullptr) << test.what;
        EXPECT_EQ(ModuleCard(), nullptr) << test.what;
        EXPECT_EQ(virtualCard->OpenHandles(), 0u) << test.what;
        EXPECT_FALSE(virtualCard->Locked()) << test.what;
        EXPECT_TRUE(Registers().empty()) << test.what;
    }
}

TEST_F(SondelCard, ALaterSuccessfulOpenKeepsTheLastError)
{
    TVirtualCardConfig config = IoCardConfig();
    ApplyVirtualFault(config, TVirtualFault::NoCard);
    Use(config);
    EXPECT_FALSE(sondel.OpenCard());
    Use(IoCardConfig());
    EXPECT_TRUE(sondel.OpenCard());
    EXPECT_EQ(sondel.LastError, "no cards found");
}

TEST_F(SondelCard, CloseReleasesTheCardAndForgetsIt)
{
    OpenAndForget();
    sondel.CloseCard();
    EXPECT_FALSE(sondel.Opened);
    EXPECT_EQ(sondel.CardHandle, nullptr);
    EXPECT_EQ(ModuleCard(), nullptr);
    EXPECT_FALSE(virtualCard->Locked());
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
    EXPECT_TRUE(Registers().empty()) << "closing switches nothing off";
    sondel.CloseCard();
    EXPECT_EQ(virtualCard->Calls().back(), DriverCode::CardRelease);
}

TEST_F(SondelCard, CommandsOnACardThatIsNotOpenWriteNothing)
{
    auto everyCommand = [this] {
        sondel.TransmitterOn();
        sondel.TransmitterOff();
        sondel.SetStereo();
        sondel.SetMono();
        sondel.SetFrequency(100000, 5);
        WriteRdsByte(0, 4, 11);
    };
    everyCommand();
    EXPECT_TRUE(virtualCard->Calls().empty());

    OpenAndForget();
    sondel.CloseCard();
    const size_t calls = virtualCard->Calls().size();
    everyCommand();
    EXPECT_EQ(virtualCard->Calls().size(), calls);
    EXPECT_TRUE(Registers().empty());
}

TEST_F(SondelCard, DestroyingTheObjectClosesTheCard)
{
    {
        TSondelCard card;
        ASSERT_TRUE(card.OpenCard());
        EXPECT_TRUE(virtualCard->Locked());
    }
    EXPECT_FALSE(virtualCard->Locked());
    EXPECT_EQ(virtualCard->OpenHandles(), 0u);
}

TEST_F(SondelCard, AMemoryRangeCardIsDrivenByDirectStores)
{
    Use(MemoryCardConfig());
    ASSERT_TRUE(sondel.OpenCard()) << sondel.LastError;
    EXPECT_EQ(virtualCard->MappedRange()[3], 12);
    EXPECT_EQ(virtualCard->MappedRange()[2], 47);
    sondel.SetMono();
    EXPECT_EQ(virtualCard->MappedRange()[3], 45);
    sondel.SetFrequency(100000, 0);
    EXPECT_EQ(virtualCard->MappedRange()[3], 45) << "a frame ends with both lines high";
    EXPECT_EQ(Count(DriverCode::Transfer), 0u);
}
