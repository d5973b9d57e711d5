// The I2C bus master on the virtual card: exact register-write sequences of
// the line operations, start, bytes and stop; the frames; pause counts; timing.
#include "CardFixture.h"

#include <chrono>

namespace {

std::vector<std::string> Reg3(std::initializer_list<int> values)
{
    std::vector<std::string> lines;
    for (int value : values)
        lines.push_back("REG 3 " + std::to_string(value));
    return lines;
}

} // namespace

using BusMaster = CardTest;

TEST(BusPauseTiming, LastsAtLeastFiveMicroseconds)
{
    const uint64_t before = BusPauseCount();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i)
        BusPause();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count(), 5000);
    EXPECT_EQ(BusPauseCount() - before, 1000u);
}

TEST_F(BusMaster, LineOperationsWriteOnlyOnAChange)
{
    OpenAndForget();
    PinImage = 47;
    SdaHigh();
    SclHigh();
    SdaLow();
    SdaLow();
    SclLow();
    SclLow();
    SclHigh();
    SdaHigh();
    EXPECT_EQ(Registers(), Reg3({43, 35, 43, 47}));
    EXPECT_EQ(PinImage, 47);
}

TEST_F(BusMaster, StartAndFirstBitFromPinImage47)
{
    OpenAndForget();
    PinImage = 47;
    const uint64_t before = BusPauseCount();
    BusStart();
    EXPECT_EQ(BusPauseCount() - before, 3u);
    EXPECT_EQ(Registers(), Reg3({43, 35}));

    virtualCard->Trace().ClearEvents();
    BusSendByte(0xC0);
    // bit 7 and 6 are 1, bits 5..0 are 0, then the acknowledge clock
    EXPECT_EQ(Registers(), Reg3({39, 47, 39, 47, 39, 35, 43, 35, 43, 35, 43, 35, 43, 35, 43, 35, 43, 35,
                                 39, 47, 39}));
}

TEST_F(BusMaster, AByteTakes43Pauses)
{
    OpenAndForget();
    PinImage = 47;
    BusStart();
    const uint64_t before = BusPauseCount();
    BusSendByte(0x5A);
    EXPECT_EQ(BusPauseCount() - before, 43u);
}

TEST_F(BusMaster, AllOnesWriteSdaOnceAfterTheStartAndNeverAfterAnAcknowledge)
{
    OpenAndForget();
    PinImage = 47;
    BusStart();
    virtualCard->Trace().ClearEvents();
    BusSendByte(0xFF);
    const std::vector<std::string> clocks = {"REG 3 47", "REG 3 39"};
    std::vector<std::string> expected = {"REG 3 39"};
    for (int clock = 0; clock < 9; ++clock)
        expected.insert(expected.end(), clocks.begin(), clocks.end());
    EXPECT_EQ(Registers(), expected);

    virtualCard->Trace().ClearEvents();
    BusSendByte(0xFF);
    expected.erase(expected.begin());
    EXPECT_EQ(Registers(), expected);
}

TEST_F(BusMaster, StopRaisesSclThenSda)
{
    OpenAndForget();
    PinImage = 47;
    BusStart();
    BusSendByte(0x00);
    virtualCard->Trace().ClearEvents();
    const uint64_t before = BusPauseCount();
    BusStop();
    EXPECT_EQ(BusPauseCount() - before, 2u);
    EXPECT_EQ(Registers(), Reg3({35, 43, 47}));
}

TEST_F(BusMaster, PinsOtherThanTheBusLinesAreWrittenUnchanged)
{
    OpenAndForget();
    PinImage = 32 + 8 + 4;   // pin 5 only: transmitter off, mono
    BusStart();
    EXPECT_EQ(Registers(), Reg3({40, 32}));
}

TEST_F(BusMaster, SynthesizerFrame)
{
    OpenAndForget();
    PinImage = 47;
    DividerHigh = 7;
    DividerLow = 208;
    PowerByte = 2;
    const uint64_t before = BusPauseCount();
    WriteSynthesizer();
    EXPECT_EQ(BusPauseCount() - before, 221u);
    EXPECT_EQ(Events("I2C"), std::vector<std::string>{"I2C C0 07 D0 C0 02"});
    EXPECT_EQ(Events("SYNTH"), std::vector<std::string>{"SYNTH 100000 2"});
    EXPECT_EQ(BusData, 0);
    EXPECT_EQ(virtualCard->TimingViolations(), 0u);
}

TEST_F(BusMaster, RdsMemoryWrite)
{
    OpenAndForget();
    PinImage = 47;
    const uint64_t before = BusPauseCount();
    WriteRdsByte(1, 5, 65);
    EXPECT_EQ(BusPauseCount() - before, 178u);
    EXPECT_EQ(Events("I2C"), std::vector<std::string>{"I2C A0 01 05 41"});
    EXPECT_EQ(Events("RDS"), std::vector<std::string>{"RDS 261 65"});
    EXPECT_EQ(virtualCard->RdsMemory().Byte(261), 65);
    EXPECT_EQ(virtualCard->TimingViolations(), 0u);
}

TEST_F(BusMaster, AWriteWithoutTheMemorysWaitIsLost)
{
    TVirtualCardConfig config = IoCardConfig();
    config.RdsWriteCycleMicroseconds = 10e6;   // so that no delay of the test's own can end it
    Use(config);
    OpenAndForget();
    PinImage = 47;
    WriteRdsByte(0, 16, 'S');
    WriteRdsByte(0, 17, 'O');
    EXPECT_EQ(Events("RDS"), std::vector<std::string>{"RDS 16 83"});
    EXPECT_EQ(Events("LOST"), std::vector<std::string>{"LOST 17 79"});
    EXPECT_EQ(virtualCard->LostWrites(), 1u);
    EXPECT_EQ(virtualCard->RdsMemory().Byte(17), 0);
}

TEST_F(BusMaster, WaitingForTheMemoryLosesNothing)
{
    OpenAndForget();
    PinImage = 47;
    const auto start = std::chrono::steady_clock::now();
    for (uint8_t address = 16; address < 20; ++address) {
        WriteRdsByte(0, address, address);
        WaitForRdsMemory();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count(), 4 * 5000);
    EXPECT_EQ(Events("RDS"), (std::vector<std::string>{"RDS 16 16", "RDS 17 17", "RDS 18 18", "RDS 19 19"}));
    EXPECT_EQ(virtualCard->LostWrites(), 0u);
}

TEST_F(BusMaster, ADeliberatelyShortPauseIsReportedByTheDecoder)
{
    OpenAndForget();
    PinImage = 47;
    // A start whose clock falls at once, then a well-timed stop; repeated in
    // case the test itself is held up between the two writes.
    for (int attempt = 0; attempt < 10 && virtualCard->TimingViolations() == 0; ++attempt) {
        SdaLow();
        SclLow();
        BusPause();
        SclHigh();
        BusPause();
        SdaHigh();
        BusPause();
    }
    const auto timing = Events("TIMING");
    ASSERT_EQ(timing.size(), 1u);
    EXPECT_EQ(timing[0].compare(0, 18, "TIMING start-hold "), 0) << timing[0];
    EXPECT_EQ(timing[0].substr(timing[0].size() - 4), " 4.0") << timing[0];
    EXPECT_EQ(virtualCard->TimingViolations(), 1u);
}

TEST_F(BusMaster, WritesNothingWithoutAnOpenCard)
{
    PinImage = 47;
    WriteRdsByte(0, 4, 11);
    SdaLow();
    WriteSynthesizer();
    EXPECT_TRUE(virtualCard->Calls().empty());
}
