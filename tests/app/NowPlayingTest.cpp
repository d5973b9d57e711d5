// The now-playing file through the main window on the virtual card: RTFILE stores
// the setting and follows the file at once, the stored one is followed from the start,
// each new first line reaches the RT edit, the setting and only the changed bytes,
// the same text again writes nothing, and a missing file shows in the notice area.
#include "AppFixture.h"

#include "CommandQueue.h"
#include "Testing.h"
#include "VrEdit.h"
#include "VrScrollText.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using Lines = std::vector<std::string>;

constexpr int WaitMilliseconds = 10000;
// Long enough for the file's worker to have read and settled a write it was going to hand on.
constexpr int QuietMilliseconds = 1500;
const std::string DesignRadioText = "PC RADIO, NON-STOP LATEST HITS!";

class NowPlayingTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        folder = std::string(temp) + "SondelNowPlaying." + std::to_string(GetCurrentProcessId()) + "." +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\now playing.txt";
    }

    void TearDown() override {
        AppTest::TearDown();
        DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
    }

    void WriteNowPlaying(const std::string& bytes) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << bytes;
    }

    // Hands Line over from another thread while this (the window's) thread handles messages.
    std::string Command(const std::string& line) {
        const TParsedLine parsed = ParseCommand(line);
        if (!parsed.Command) return parsed.Reply;
        const std::vector<std::string> replies = SubmitAsClient(*parsed.Command, TWayIn::CommandLine, WaitMilliseconds);
        return replies.empty() ? std::string() : replies.front();
    }

    bool RadioTextBecomes(const std::string& text) {
        return Testing::PumpUntil([&] { return form->VrStrEdit2->Text() == text; }, WaitMilliseconds);
    }

    Lines RdsLines() { return card.Trace().EventsStartingWith({"RDS", "LOST"}); }

    std::string folder;
    std::string path;
};

TEST_F(NowPlayingTest, RtFileStoresFollowsAndPutsOnlyTheChangedBytesOnAir) {
    StartReady();
    form->Button1Click(form->Button1);
    card.Trace().ClearEvents();
    WriteNowPlaying("PC RADIO, NON-STOP LATEST POPS!\r\nAlbum of the song\r\n");

    EXPECT_EQ("+", Command("RTFILE=" + path));
    EXPECT_EQ(path, Stored("RtFile"));
    ASSERT_TRUE(RadioTextBecomes("PC RADIO, NON-STOP LATEST POPS!"));
    EXPECT_EQ("PC RADIO, NON-STOP LATEST POPS!", Stored("RT"));
    EXPECT_EQ((Lines{"RDS 282 80", "RDS 283 79", "RDS 284 80"}), RdsLines());
    EXPECT_EQ("+\tFREQ=100.000\tPOWER=4\tCARRIER=OFF\tSTEREO=OFF\tPTY=0\tTP=0\tMS=0\tPI=1000\tPS=PC RADIO"
              "\tRT=PC RADIO, NON-STOP LATEST POPS!\tRTFILE=" + path + "\tCHARSET=ANSI\tRTFORMAT=\tRTSKIP=\tRTIDLE=0,"
              "\tWEAR=2,282,-\tCOMMANDPORT=0\tALLOW=\tCARD=OPEN",
              Command("STATUS"));
    card.Trace().ClearEvents();

    // The same text written again: nothing; the next song: its one changed byte.
    WriteNowPlaying("PC RADIO, NON-STOP LATEST POPS!\r\nAnother album\r\n");
    Testing::PumpMessages(QuietMilliseconds);
    EXPECT_TRUE(RdsLines().empty());
    WriteNowPlaying("PC RADIO, NON-STOP LATEST TOPS!");
    ASSERT_TRUE(RadioTextBecomes("PC RADIO, NON-STOP LATEST TOPS!"));
    EXPECT_EQ((Lines{"RDS 282 84"}), RdsLines());
    card.Trace().ClearEvents();

    // Off: the file is followed no more.
    EXPECT_EQ("+", Command("RTFILE="));
    EXPECT_EQ("", Stored("RtFile"));
    WriteNowPlaying("Not on air");
    Testing::PumpMessages(QuietMilliseconds);
    EXPECT_EQ("PC RADIO, NON-STOP LATEST TOPS!", form->VrStrEdit2->Text());
    EXPECT_TRUE(RdsLines().empty());
    EXPECT_TRUE(messageBoxes.empty());
}

TEST_F(NowPlayingTest, StoredFileIsFollowedFromTheStart) {
    WriteNowPlaying("\xEF\xBB\xBF" "Caf\xC3\xA9 del Mar - Song\n");
    Seed("RtFile", path);
    StartReadyKeepingTrace();
    ASSERT_TRUE(RadioTextBecomes("Caf\xE9 del Mar - Song"));
    EXPECT_EQ("Caf\xE9 del Mar - Song", Stored("RT"));
    // The run's first write: the whole image.
    EXPECT_EQ(83u, RdsLines().size());
}

TEST_F(NowPlayingTest, MissingFileShowsInTheNoticeAreaUntilItReads) {
    StartReady();
    const std::string makersNotice = form->VrScrollText1->Text();
    EXPECT_EQ("+", Command("RTFILE=" + path));
    ASSERT_TRUE(Testing::PumpUntil([&] { return form->VrScrollText1->Text() != makersNotice; }, WaitMilliseconds));
    EXPECT_EQ(0u, form->VrScrollText1->Text().find("Cannot read the now-playing file \"" + path + "\""))
        << form->VrScrollText1->Text();
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_EQ(DesignRadioText, form->VrStrEdit2->Text());

    WriteNowPlaying("Artist - Title");
    ASSERT_TRUE(RadioTextBecomes("Artist - Title"));
    EXPECT_TRUE(Testing::PumpUntil([&] { return form->VrScrollText1->Text() == makersNotice; }, WaitMilliseconds));
}

TEST_F(NowPlayingTest, StoredDevicePathIsNotFollowedAndShownInTheNoticeArea) {
    Seed("RtFile", "\\\\.\\COM1");
    StartReady();
    EXPECT_EQ("The setting RtFile holds \"\\\\.\\COM1\", which is not followed: RTFILE must name a file, not a device",
              form->VrScrollText1->Text());
    const std::string status = Command("STATUS");
    EXPECT_NE(std::string::npos, status.find("\tRTFILE=\tCHARSET=ANSI\tRTFORMAT=")) << status;
    EXPECT_EQ(status.size() - 10, status.rfind("\tCARD=OPEN")) << status;
    EXPECT_TRUE(messageBoxes.empty());
    // Set again from the command line: followed, and the notice goes.
    WriteNowPlaying("Artist - Title");
    EXPECT_EQ("+", Command("RTFILE=" + path));
    ASSERT_TRUE(RadioTextBecomes("Artist - Title"));
    EXPECT_EQ(std::string::npos, form->VrScrollText1->Text().find("RtFile"));
}

}  // namespace
