// The virtual card's own models: the I2C decoder and its timing checks fed
// with explicit times, the RDS memory's write cycle, the pins, the trace file
// and the environment switch.
#include "CardFixture.h"

#include "VirtualCardSetup.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

#include <windows.h>

namespace {

// Trace files go to the temporary folder, never where the test happens to run.
std::string TempPath(const std::string& name)
{
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    return std::string(folder, length) + name;
}

struct TRecorder : TI2cListener {
    void Frame(const TI2cFrame& frame) override { frames.push_back(frame); }
    void Timing(double, const char* phase, double measured, double minimum) override
    {
        timings.push_back(std::string(phase) + ' ' + std::to_string(std::lround(measured * 10)) + ' ' +
                          std::to_string(std::lround(minimum * 10)));
    }
    std::vector<TI2cFrame> frames;
    std::vector<std::string> timings;
};

// Drives a decoder with one line change every `step` microseconds.
struct TBus {
    explicit TBus(TI2cDecoder& decoder, double step) : decoder(decoder), step(step) {}
    void Set(bool sdaLevel, bool sclLevel)
    {
        now += step;
        sda = sdaLevel;
        scl = sclLevel;
        decoder.Lines(now, sda, scl);
    }
    void Start()
    {
        Set(false, true);
        Set(false, false);
    }
    void Bit(bool value)
    {
        Set(value, false);
        Set(value, true);
        Set(value, false);
    }
    void Byte(uint8_t value)
    {
        for (int bit = 7; bit >= 0; --bit)
            Bit((value >> bit) & 1);
        Bit(true);
    }
    void Stop()
    {
        Set(false, false);
        Set(false, true);
        Set(true, true);
    }
    TI2cDecoder& decoder;
    double step;
    double now = 0;
    bool sda = true;
    bool scl = true;
};

TI2cFrame FrameOf(std::vector<uint8_t> bytes, double address, double stop)
{
    return TI2cFrame{std::move(bytes), address, stop};
}

} // namespace

TEST(I2cDecoder, RebuildsFramesAtTheStop)
{
    TRecorder recorder;
    TI2cDecoder decoder(recorder);
    TBus bus(decoder, 5.0);
    bus.Start();
    bus.Byte(0xA0);
    bus.Byte(0x01);
    EXPECT_TRUE(recorder.frames.empty());
    bus.Stop();
    ASSERT_EQ(recorder.frames.size(), 1u);
    EXPECT_EQ(recorder.frames[0].Bytes, (std::vector<uint8_t>{0xA0, 0x01}));
    EXPECT_DOUBLE_EQ(recorder.frames[0].AddressMicroseconds, 5.0 * (2 + 3 * 8 + 2));
    EXPECT_DOUBLE_EQ(recorder.frames[0].StopMicroseconds, bus.now);
    EXPECT_TRUE(recorder.timings.empty());
    EXPECT_EQ(decoder.Violations(), 0u);
}

TEST(I2cDecoder, DropsBitsOfAnUnfinishedByte)
{
    TRecorder recorder;
    TI2cDecoder decoder(recorder);
    TBus bus(decoder, 5.0);
    bus.Start();
    bus.Byte(0xC0);
    bus.Bit(true);
    bus.Stop();
    ASSERT_EQ(recorder.frames.size(), 1u);
    EXPECT_EQ(recorder.frames[0].Bytes, std::vector<uint8_t>{0xC0});
}

TEST(I2cDecoder, ReportsEveryPhaseBelowItsMinimum)
{
    TRecorder recorder;
    TI2cDecoder decoder(recorder);
    TBus bus(decoder, 2.0);   // a line change every 2 us: SCL low lasts 4 us
    bus.Start();
    bus.Bit(true);
    bus.Stop();
    bus.Start();
    EXPECT_EQ(recorder.timings,
              (std::vector<std::string>{"start-hold 20 40", "scl-low 40 47", "scl-high 20 40", "scl-low 40 47",
                                        "stop-setup 20 40", "bus-free 20 47", "start-hold 20 40"}));
    EXPECT_EQ(decoder.Violations(), 7u);
}

TEST(I2cDecoder, AcceptsPhasesJustAboveTheirMinimums)
{
    TRecorder recorder;
    TI2cDecoder decoder(recorder);
    TBus bus(decoder, 4.75);
    bus.Start();
    bus.Byte(0x55);
    bus.Stop();
    bus.Start();
    EXPECT_TRUE(recorder.timings.empty());
}

TEST(RdsMemory, LosesAWriteThatArrivesWithinTheWriteCycle)
{
    TVirtualRdsMemory memory;
    TRdsWrite write;
    ASSERT_TRUE(memory.Receive(FrameOf({0xA0, 0x02, 0x1F, 0x41}, 100, 1000), write));
    EXPECT_TRUE(write.Stored);
    EXPECT_EQ(write.Address, 0x021Fu);
    ASSERT_TRUE(memory.Receive(FrameOf({0xA0, 0x00, 0x10, 0x42}, 5999, 6900), write));
    EXPECT_FALSE(write.Stored);
    EXPECT_EQ(memory.Byte(0x0010), 0);
    ASSERT_TRUE(memory.Receive(FrameOf({0xA0, 0x00, 0x10, 0x43}, 6000, 6900), write));
    EXPECT_TRUE(write.Stored) << "the lost write did not make the memory busy";
    EXPECT_EQ(memory.Byte(0x0010), 0x43);
    EXPECT_EQ(memory.Byte(0x021F), 0x41);
    EXPECT_FALSE(memory.Receive(FrameOf({0xA0, 0x00, 0x10}, 20000, 20100), write));
}

TEST(Synthesizer, DecodesDividerAndPower)
{
    TVirtualSynthesizer synthesizer;
    EXPECT_TRUE(synthesizer.Receive(FrameOf({0xC0, 0x06, 0xD2, 0xC0, 0x0F}, 0, 0)));
    EXPECT_EQ(synthesizer.Kilohertz(), 87300u);
    EXPECT_EQ(synthesizer.Power(), 15);
    EXPECT_FALSE(synthesizer.Receive(FrameOf({0xC0, 0x06, 0xD2, 0x00, 0x0F}, 0, 0)));
    EXPECT_FALSE(synthesizer.Receive(FrameOf({0xC0, 0x06, 0xD2, 0xC0}, 0, 0)));
    EXPECT_EQ(synthesizer.Kilohertz(), 87300u);
}

TEST(Pins, ReleasedBusLinesReadHighAndAReleasedEnableMeansOff)
{
    TVirtualPins pins;
    EXPECT_TRUE(pins.Sda());
    EXPECT_TRUE(pins.Scl());
    EXPECT_FALSE(pins.Carrier());
    pins.Write(3, 1);
    EXPECT_FALSE(pins.Carrier()) << "not driven yet";
    pins.Write(2, 47);
    EXPECT_TRUE(pins.Carrier());
    EXPECT_FALSE(pins.Sda());
    EXPECT_FALSE(pins.Scl());
    pins.Write(2, 46);
    EXPECT_FALSE(pins.Carrier());
    pins.Write(2, 0);
    EXPECT_TRUE(pins.Sda());
}

TEST(VirtualFaults, HaveTheirNames)
{
    EXPECT_EQ(VirtualFaultFromName("no-driver"), TVirtualFault::NoDriver);
    EXPECT_EQ(VirtualFaultFromName("old-driver"), TVirtualFault::OldDriver);
    EXPECT_EQ(VirtualFaultFromName("no-card"), TVirtualFault::NoCard);
    EXPECT_EQ(VirtualFaultFromName("lock-refused"), TVirtualFault::LockRefused);
    EXPECT_EQ(VirtualFaultFromName("no-address-space"), TVirtualFault::NoAddressSpace);
    EXPECT_EQ(VirtualFaultFromName("rds-write-breaks"), TVirtualFault::RdsWriteBreaks);
    EXPECT_THROW(VirtualFaultFromName("smoke"), ECardError);
}

TEST(VirtualCardRecord, KeepsNoCallsUnlessAsked)
{
    ResetModuleState();
    TVirtualCard card;
    UseDriverDevice(&card);
    TSondelCard sondel;
    ASSERT_TRUE(sondel.OpenCard());
    for (int k = 0; k < 50; ++k)
        sondel.SetFrequency(100000, 4);
    // A long run on the virtual card grows by nothing of its own.
    EXPECT_TRUE(card.Calls().empty());
    card.KeepCalls(true);
    sondel.SetFrequency(100000, 4);
    EXPECT_FALSE(card.Calls().empty());
    EXPECT_EQ(DriverCode::Transfer, card.Calls().back());
    sondel.CloseCard();
    CloseTransmitterCard();
    UseDriverDevice(nullptr);
}

TEST(VirtualCardFault, RdsWriteBreaksInTheMiddleOfTheFrameAfterTheFirstImage)
{
    ResetModuleState();
    TVirtualCardConfig config = IoCardConfig();
    ApplyVirtualFault(config, TVirtualFault::RdsWriteBreaks);
    TVirtualCard card(config);
    card.Trace().KeepEvents(true);
    UseDriverDevice(&card);
    TSondelCard sondel;
    ASSERT_TRUE(sondel.OpenCard());
    for (int k = 0; k < 83; ++k) {
        WriteRdsByte(0, static_cast<uint8_t>(k), 0x41);
        WaitForRdsMemory();
    }
    EXPECT_THROW(WriteRdsByte(1, 0, 0x42), ECardError);
    EXPECT_EQ(1u, card.RefusedTransfers());
    // Refused once: the next write goes through whole.
    WaitForRdsMemory();
    WriteRdsByte(1, 0, 0x43);
    EXPECT_EQ(0x43, card.RdsMemory().Byte(0x100));
    EXPECT_EQ(84u, card.Trace().EventsStartingWith({"RDS "}).size());
    sondel.CloseCard();
    CloseTransmitterCard();
    UseDriverDevice(nullptr);
}

using VirtualCardTrace = CardTest;

TEST_F(VirtualCardTrace, IsWrittenLineByLineAsItHappens)
{
    const std::string path = TempPath("virtual_card_trace_test.txt");
    virtualCard = std::make_unique<TVirtualCard>(IoCardConfig(), path);
    UseDriverDevice(virtualCard.get());
    ASSERT_TRUE(sondel.OpenCard());
    sondel.TransmitterOn();

    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0][0], '#');

    long long last = 0;
    std::vector<std::string> events;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t space = lines[i].find(' ');
        ASSERT_NE(space, std::string::npos) << lines[i];
        const std::string stamp = lines[i].substr(0, space);
        ASSERT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos) << lines[i];
        const long long us = std::stoll(stamp);
        EXPECT_GE(us, last) << lines[i];
        last = us;
        events.push_back(lines[i].substr(space + 1));
    }
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 5),
              (std::vector<std::string>{"REG 3 4", "REG 3 12", "REG 2 47", "REG 2 47", "REG 3 47"}));
    EXPECT_EQ(events[5], "CARRIER on");
    EXPECT_EQ(events[6], "STEREO on");
    EXPECT_EQ(events[events.size() - 2], "I2C C0 07 D0 C0 00");
    EXPECT_EQ(events.back(), "SYNTH 100000 0");
    EXPECT_GE(last, 1000) << "a frame takes more than a millisecond";

    sondel.CloseCard();
    UseDriverDevice(nullptr);
    virtualCard.reset();
    std::remove(path.c_str());
}

TEST(VirtualCardSwitch, FollowsTheEnvironment)
{
    ASSERT_EQ(_putenv("SONDEL_VIRTUAL_CARD="), 0);
    EXPECT_FALSE(UseVirtualCardIfRequested());

    const std::string path = TempPath("virtual_card_switch_test.txt");
    ASSERT_EQ(_putenv(("SONDEL_VIRTUAL_CARD=" + path).c_str()), 0);
    ASSERT_EQ(_putenv("SONDEL_VIRTUAL_CARD_FAULT=no-card"), 0);
    EXPECT_TRUE(UseVirtualCardIfRequested());
    {
        TSondelCard card;
        EXPECT_FALSE(card.OpenCard());
        EXPECT_EQ(card.LastError, "no cards found");
    }
    ASSERT_EQ(_putenv("SONDEL_VIRTUAL_CARD_FAULT=smoke"), 0);
    EXPECT_THROW(UseVirtualCardIfRequested(), ECardError);

    ASSERT_EQ(_putenv("SONDEL_VIRTUAL_CARD_FAULT="), 0);
    EXPECT_TRUE(UseVirtualCardIfRequested());
    {
        TSondelCard card;
        EXPECT_TRUE(card.OpenCard()) << card.LastError;
    }
    ASSERT_EQ(_putenv("SONDEL_VIRTUAL_CARD="), 0);
    UseDriverDevice(nullptr);
    {
        std::ifstream trace(path);
        std::string first;
        std::getline(trace, first);
        EXPECT_EQ(first[0], '#');
    }
    std::remove(path.c_str());
}
