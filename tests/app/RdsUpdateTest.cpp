// The "Update RDS" transfer on the virtual card: the RDS memory lines, their
// order and content, the captions shown, and no lost byte.
#include "RdsUpdate.h"

#include "CardCommands.h"
#include "PCICard.h"
#include "VirtualCard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t ImageBytes = 83;
constexpr UINT WesternCodePage = 1252;
constexpr size_t HeaderBytes = 11;

class TFixedValues : public TRdsValues {
public:
    int Pty() override { return pty; }
    int Tp() override { return tp; }
    int MusicSpeech() override { return musicSpeech; }
    int CountryCode() override { return country; }
    int ProgramReference() override { return reference; }
    std::string ProgramService() override { return ps; }
    std::string RadioText() override { return rt; }

    int pty = 11, tp = 1, musicSpeech = 1, country = 12, reference = 35;
    std::string ps, rt;
};

class RdsUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetModuleState();
        virtualCard = std::make_unique<TVirtualCard>();
        virtualCard->Trace().KeepEvents(true);
        UseDriverDevice(virtualCard.get());
        ASSERT_TRUE(sondel.OpenCard()) << sondel.LastError;
        virtualCard->Trace().ClearEvents();
    }

    void TearDown() override
    {
        sondel.CloseCard();
        CloseTransmitterCard();
        UseDriverDevice(nullptr);
    }

    void Update()
    {
        UpdateRds(values, characters, [this](const std::string& caption) { captions.push_back(caption); });
    }

    std::vector<std::string> Events(const std::string& prefix) const
    {
        return virtualCard->Trace().EventsStartingWith({prefix});
    }

    std::vector<std::string> RdsLines() const { return Events("RDS "); }

    std::unique_ptr<TVirtualCard> virtualCard;
    TSondelCard sondel;
    TFixedValues values;
    TMemoryCharacterSet characters = TMemoryCharacterSet::Ansi;
    std::vector<std::string> captions;
};

std::vector<std::string> Slice(const std::vector<std::string>& lines, size_t first, size_t count)
{
    return std::vector<std::string>(lines.begin() + static_cast<long>(first),
                                    lines.begin() + static_cast<long>(first + count));
}

TEST_F(RdsUpdateTest, RockMusicHeaderBytesAndCaptions)
{
    values.ps = "ROCK FM";
    values.rt = "Hi";
    Update();
    const std::vector<std::string> lines = RdsLines();
    ASSERT_EQ(lines.size(), ImageBytes);
    EXPECT_EQ(Slice(lines, 0, HeaderBytes),
              (std::vector<std::string>{"RDS 4 11", "RDS 5 1", "RDS 6 0", "RDS 7 1", "RDS 8 13", "RDS 9 35",
                                        "RDS 10 1", "RDS 11 0", "RDS 12 1", "RDS 13 1", "RDS 14 11"}));
    ASSERT_EQ(captions.size(), ImageBytes + 1);
    EXPECT_EQ(Slice(captions, 0, HeaderBytes),
              (std::vector<std::string>{"11", "1", "0", "1", "12", "35", "1", "0", "1", "1", "11"}));
    // PS "ROCK FM" padded with one space; RT "Hi" then spaces.
    EXPECT_EQ(Slice(lines, 11, 8),
              (std::vector<std::string>{"RDS 16 82", "RDS 17 79", "RDS 18 67", "RDS 19 75", "RDS 20 32",
                                        "RDS 21 70", "RDS 22 77", "RDS 23 32"}));
    EXPECT_EQ(Slice(captions, 11, 8), (std::vector<std::string>{"R", "O", "C", "K", " ", "F", "M", " "}));
    EXPECT_EQ(lines[19], "RDS 256 72");
    EXPECT_EQ(lines[20], "RDS 257 105");
    EXPECT_EQ(lines[21], "RDS 258 32");
    EXPECT_EQ(lines[82], "RDS 543 32");
    EXPECT_EQ(captions.back(), "Update RDS");
    EXPECT_TRUE(Events("LOST").empty());
    EXPECT_EQ(virtualCard->LostWrites(), 0u);
}

TEST_F(RdsUpdateTest, FullTextsWriteEveryCharacterOnceAtItsAddress)
{
    values.ps = "ABCDEFGH";
    values.rt = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+-";
    ASSERT_EQ(values.rt.size(), 64u);
    Update();
    const std::vector<std::string> lines = RdsLines();
    ASSERT_EQ(lines.size(), ImageBytes);
    EXPECT_EQ(lines[11], "RDS 16 65");
    EXPECT_EQ(lines[18], "RDS 23 72");
    EXPECT_EQ(lines[19], "RDS 256 48");   // '0' at 0x0100
    EXPECT_EQ(lines[50], "RDS 287 118");  // 'v', character 32, at 0x011F
    EXPECT_EQ(lines[51], "RDS 512 119");  // 'w', character 33, at 0x0200
    EXPECT_EQ(lines[81], "RDS 542 43");   // '+' at 0x021E
    EXPECT_EQ(lines[82], "RDS 543 45");   // '-' at 0x021F
    EXPECT_TRUE(Events("LOST").empty());
}

TEST_F(RdsUpdateTest, LongProgramServiceWritesOnlyItsFirstEight)
{
    values.ps = "LONGERNAME";
    values.rt = std::string(70, 'x');
    Update();
    const std::vector<std::string> lines = RdsLines();
    ASSERT_EQ(lines.size(), ImageBytes);
    EXPECT_EQ(Slice(lines, 11, 8),
              (std::vector<std::string>{"RDS 16 76", "RDS 17 79", "RDS 18 78", "RDS 19 71", "RDS 20 69",
                                        "RDS 21 82", "RDS 22 78", "RDS 23 65"}));
    EXPECT_EQ(lines[12 + 7 + 63], "RDS 543 120");
}

TEST_F(RdsUpdateTest, EmptyTextsAndNoSelections)
{
    values.pty = -1;
    values.tp = -1;
    values.musicSpeech = -1;
    values.country = -1;
    values.reference = -1;
    Update();
    const std::vector<std::string> lines = RdsLines();
    ASSERT_EQ(lines.size(), ImageBytes);
    EXPECT_EQ(Slice(lines, 0, HeaderBytes),
              (std::vector<std::string>{"RDS 4 255", "RDS 5 255", "RDS 6 0", "RDS 7 255", "RDS 8 0",
                                        "RDS 9 255", "RDS 10 1", "RDS 11 0", "RDS 12 1", "RDS 13 1",
                                        "RDS 14 255"}));
    EXPECT_EQ(Slice(captions, 0, 6), (std::vector<std::string>{"-1", "-1", "0", "-1", "-1", "-1"}));
    for (size_t i = HeaderBytes; i < ImageBytes; ++i) {
        EXPECT_EQ(lines[i].substr(lines[i].rfind(' ')), " 32") << lines[i];
        EXPECT_EQ(captions[i], " ");
    }
    EXPECT_TRUE(Events("LOST").empty());
}

TEST_F(RdsUpdateTest, UpdateThatBreaksOffLeavesItsByteUnknownAndTheNextWriteSendsTheRest)
{
    values.ps = "ROCK FM";
    values.rt = "Hi";
    TWrittenImage written;
    // The card stops answering inside the sixth byte's frame, for one transfer.
    virtualCard->BreakRdsWriteAfter(5);
    EXPECT_THROW(UpdateRds(values, characters, [](const std::string&) {}, &written), ECardError);
    EXPECT_EQ(5u, RdsLines().size());
    EXPECT_EQ(5u, written.Known());
    EXPECT_EQ(1u, virtualCard->RefusedTransfers());
    virtualCard->Trace().ClearEvents();

    // The byte that broke off and every one after it; nothing twice.
    WriteRdsImageChanges(RdsImage(values, characters), written);
    const std::vector<std::string> lines = RdsLines();
    ASSERT_EQ(ImageBytes - 5, lines.size());
    EXPECT_EQ("RDS 9 35", lines.front());
    EXPECT_EQ("RDS 543 32", lines.back());
    EXPECT_EQ(ImageBytes, written.Known());
    EXPECT_TRUE(Events("LOST").empty());
}

TEST_F(RdsUpdateTest, ChangesThatBreakOffAreSentAgainAndOnlyThey)
{
    values.ps = "ROCK FM";
    values.rt = "Hi";
    TWrittenImage written;
    WriteRdsImageChanges(RdsImage(values, characters), written);
    ASSERT_EQ(ImageBytes, RdsLines().size());
    virtualCard->Trace().ClearEvents();

    values.ps = "JAZZ FM";
    virtualCard->BreakRdsWriteAfter(1);
    // "ROCK" to "JAZZ": four bytes; the second one's write breaks off.
    EXPECT_THROW(WriteRdsImageChanges(RdsImage(values, characters), written), ECardError);
    EXPECT_EQ((std::vector<std::string>{"RDS 16 74"}), RdsLines());
    EXPECT_EQ(ImageBytes - 1, written.Known());
    virtualCard->Trace().ClearEvents();

    WriteRdsImageChanges(RdsImage(values, characters), written);
    EXPECT_EQ((std::vector<std::string>{"RDS 17 65", "RDS 18 90", "RDS 19 90"}), RdsLines());
    // Unchanged values write nothing.
    virtualCard->Trace().ClearEvents();
    WriteRdsImageChanges(RdsImage(values, characters), written);
    EXPECT_TRUE(RdsLines().empty());
    EXPECT_EQ('J', virtualCard->RdsMemory().Byte(0x10));
    EXPECT_EQ('A', virtualCard->RdsMemory().Byte(0x11));
    EXPECT_TRUE(Events("LOST").empty());
}

// "é $" in the system's code page 1252, as typed into the PS edit.
const std::string AccentAndDollar = "\xE9 $";

TEST_F(RdsUpdateTest, AccentAndDollarAreWrittenAsTypedUnderAnsi)
{
    values.ps = AccentAndDollar;
    Update();
    const std::vector<std::string> lines = RdsLines();
    ASSERT_EQ(ImageBytes, lines.size());
    EXPECT_EQ((std::vector<std::string>{"RDS 16 233", "RDS 17 32", "RDS 18 36", "RDS 19 32"}), Slice(lines, 11, 4));
    EXPECT_EQ((std::vector<std::string>{"\xE9", " ", "$"}), Slice(captions, 11, 3));
}

TEST_F(RdsUpdateTest, AccentAndDollarAreWrittenAsTheirRdsCodesUnderRds)
{
    if (GetACP() != WesternCodePage) GTEST_SKIP() << "the system code page is " << GetACP();
    values.ps = AccentAndDollar;
    values.rt = "Tickets $5 ~ caf\xE9";
    characters = TMemoryCharacterSet::Rds;
    Update();
    const std::vector<std::string> lines = RdsLines();
    ASSERT_EQ(ImageBytes, lines.size());
    // é is 0x82 and $ is 0xAB in the RDS set; ~ is not in it and becomes a space.
    EXPECT_EQ((std::vector<std::string>{"RDS 16 130", "RDS 17 32", "RDS 18 171", "RDS 19 32"}), Slice(lines, 11, 4));
    // "Tickets ", then $ 5 space ~ space c a f é.
    EXPECT_EQ((std::vector<std::string>{"RDS 264 171", "RDS 265 53", "RDS 266 32", "RDS 267 32", "RDS 268 32",
                                        "RDS 269 99", "RDS 270 97", "RDS 271 102", "RDS 272 130"}),
              Slice(lines, 27, 9));
    // The caption shows the character typed, not the code page's character of the code.
    EXPECT_EQ((std::vector<std::string>{"\xE9", " ", "$"}), Slice(captions, 11, 3));
    EXPECT_EQ("Update RDS", captions.back());
}

TEST_F(RdsUpdateTest, SwitchingTheCharacterSetWritesOnlyTheTextBytesThatDiffer)
{
    if (GetACP() != WesternCodePage) GTEST_SKIP() << "the system code page is " << GetACP();
    values.ps = AccentAndDollar;
    values.rt = "Now $1, then ~";
    TWrittenImage written;
    WriteRdsImageChanges(RdsImage(values, TMemoryCharacterSet::Ansi), written);
    ASSERT_EQ(ImageBytes, RdsLines().size());
    virtualCard->Trace().ClearEvents();

    EXPECT_EQ(4u, WriteRdsImageChanges(RdsImage(values, TMemoryCharacterSet::Rds), written));
    EXPECT_EQ((std::vector<std::string>{"RDS 16 130", "RDS 18 171", "RDS 260 171", "RDS 269 32"}), RdsLines());
    virtualCard->Trace().ClearEvents();

    EXPECT_EQ(4u, WriteRdsImageChanges(RdsImage(values, TMemoryCharacterSet::Ansi), written));
    EXPECT_EQ((std::vector<std::string>{"RDS 16 233", "RDS 18 36", "RDS 260 36", "RDS 269 126"}), RdsLines());
    EXPECT_TRUE(Events("LOST").empty());
}

} // namespace
