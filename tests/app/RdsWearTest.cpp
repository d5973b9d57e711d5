// The RDS memory's wear: the counts and their text, the foretelling from a set clock,
// and through the main window the counts a changed-bytes write adds, kept across a
// restart, RESETWEAR, the day's line and the notice; and the now-playing file's text
// rules as the window applies them.
#include "AppFixture.h"

#include "CardCommands.h"
#include "RdsWear.h"
#include "Testing.h"
#include "VrEdit.h"
#include "VrScrollText.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <stdexcept>

namespace {

using Lines = std::vector<std::string>;

constexpr int64_t Day = SecondsPerDay;
constexpr int64_t FirstDay = 20000 * Day;
constexpr int WaitMilliseconds = 10000;
constexpr UINT WesternCodePage = 1252;

// The log holds a line of this way in ("file") and text, the way padded as the log pads it.
bool Logged(const Lines& log, const std::string& way, const std::string& text) {
    for (const std::string& line : log)
        if (line.compare(0, way.size(), way) == 0 && line.size() > way.size() &&
            line.find_first_not_of(' ', way.size()) == line.size() - text.size() &&
            line.compare(line.size() - text.size(), text.size(), text) == 0)
            return true;
    return false;
}

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

TRdsWear WrittenOver(int days, int writesADay, uint16_t address) {
    TRdsWear wear(FirstDay);
    for (int day = 0; day < days; ++day)
        for (int k = 0; k < writesADay; ++k) wear.Written(address, FirstDay + day * Day + k);
    return wear;
}

}  // namespace

TEST(RdsWear, CountsTheirTextAndTheForetelling) {
    TRdsWear wear = WrittenOver(2, 400, 256);
    wear.Written(16, FirstDay + 5);
    EXPECT_EQ(800u, wear.Writes(256));
    EXPECT_EQ(1u, wear.Writes(16));
    EXPECT_EQ(0u, wear.Writes(17));
    EXPECT_EQ(256, wear.Most().Address);
    EXPECT_EQ(401u, wear.WritesOnDay(FirstDay + 3));
    // Under a day of counting: no years yet.
    EXPECT_EQ("800,256,-", wear.Status(DefaultRdsMemoryEndurance, FirstDay + Day - 1));
    // 400 a day: (1000000 - 800) / 400 days = 6.84 years.
    EXPECT_EQ("800,256,6.8", wear.Status(DefaultRdsMemoryEndurance, FirstDay + 2 * Day));
    ASSERT_TRUE(wear.YearsLeft(DefaultRdsMemoryEndurance, FirstDay + 2 * Day).has_value());
    EXPECT_NEAR((1000000.0 - 800) / 400 / 365.25, *wear.YearsLeft(DefaultRdsMemoryEndurance, FirstDay + 2 * Day),
                1e-9);
    // The pace is the last 7 days': days 0 and 1 are outside a week later.
    EXPECT_FALSE(wear.YearsLeft(DefaultRdsMemoryEndurance, FirstDay + 9 * Day).has_value());
    EXPECT_EQ("800,256,-", wear.Status(DefaultRdsMemoryEndurance, FirstDay + 9 * Day));

    // A playout that rewrites every 10 seconds: 8640 a day wears out in about 4 months.
    const TRdsWear fast = WrittenOver(1, 8640, 256);
    EXPECT_EQ("8640,256,0.3", fast.Status(DefaultRdsMemoryEndurance, FirstDay + Day));
    // A byte past its endurance: 0 years.
    EXPECT_EQ("8640,256,0.0", fast.Status(100, FirstDay + Day));

    const TRdsWear back = TRdsWear::FromText(wear.Text());
    EXPECT_EQ(wear.Text(), back.Text());
    EXPECT_EQ(800u, back.Writes(256));
    EXPECT_EQ("800,256,6.8", back.Status(DefaultRdsMemoryEndurance, FirstDay + 2 * Day));
    for (const char* malformed : {"", "total 16=1", "start 5\ntotal 16=x", "start 5\ntotal 70000=1",
                                  "start 5\nday", "start 5\nwear 1", "start 5\ntotal 16=-1"})
        EXPECT_THROW(TRdsWear::FromText(malformed), std::invalid_argument) << malformed;
}

namespace {

class WearWindowTest : public AppTest {
protected:
    std::string Command(const std::string& line, TWayIn way = TWayIn::CommandLine) {
        const TParsedLine parsed = ParseCommand(line);
        if (!parsed.Command) return parsed.Reply;
        const Lines replies = SubmitAsClient(*parsed.Command, way, WaitMilliseconds);
        return replies.empty() ? std::string() : replies.front();
    }

    std::string StatusField(const std::string& name) {
        const std::string status = Command("STATUS");
        const size_t at = status.find("\t" + name + "=");
        if (at == std::string::npos) return "<none>";
        const size_t from = at + name.size() + 2;
        return status.substr(from, status.find('\t', from) - from);
    }

    // Every RDS write the trace holds, counted by address; the most-written as WEAR shows it.
    std::string WearFromTrace() {
        for (const std::string& line : card.Trace().EventsStartingWith({"RDS"})) {
            const size_t space = line.find(' ', 4);
            ++traced[std::stoi(line.substr(4, space - 4))];
        }
        card.Trace().ClearEvents();
        int address = 0;
        uint64_t most = 0;
        for (const auto& count : traced)
            if (count.second > most) {
                most = count.second;
                address = count.first;
            }
        return std::to_string(most) + "," + std::to_string(address);
    }

    void Restart() {
        Close();
        form.reset();
        ResetModuleState();
        StartReady();
    }

    std::map<int, uint64_t> traced;
};

}  // namespace

TEST_F(WearWindowTest, CountsMatchTheWrittenBytesAndSurviveARestart) {
    StartReadyKeepingTrace();
    EXPECT_EQ(WearFromTrace() + ",-", StatusField("WEAR"));
    form->Button1Click(form->Button1);
    for (const char* text : {"RT=Artist - First song", "RT=Artist - Other song", "PS=ROCK FM", "RT=Band - Hit"})
        EXPECT_EQ("+", Command(text, TWayIn::Port));
    const std::string wear = WearFromTrace();
    EXPECT_EQ(wear + ",-", StatusField("WEAR"));
    // The radiotext's tenth character changed with each of the three.
    EXPECT_EQ("4,265", wear);

    Restart();
    EXPECT_NE("<absent>", Stored("RdsWrites"));
    EXPECT_EQ(wear + ",-", StatusField("WEAR"));
    EXPECT_EQ("+", Command("RT=Band - Other hit", TWayIn::Port));
    EXPECT_EQ(WearFromTrace() + ",-", StatusField("WEAR"));

    // A new card: from the command line only.
    EXPECT_EQ("- RESETWEAR is given on the command line", Command("RESETWEAR", TWayIn::Port));
    const size_t logged = LogLines().size();
    EXPECT_EQ("+", Command("RESETWEAR"));
    EXPECT_EQ("0,0,-", StatusField("WEAR"));
    const Lines log = LogLines();
    ASSERT_EQ(logged + 1, log.size());
    EXPECT_EQ(0u, log.back().find("command line RDS memory write counts set to zero (most were ")) << log.back();
    Restart();
    EXPECT_EQ("0,0,-", StatusField("WEAR"));
}

TEST_F(WearWindowTest, ForetoldFromTheClockWithTheDaysLineAndTheNotice) {
    Seed("RdsMemoryEndurance", "1000");
    StartReady();
    form->Button1Click(form->Button1);
    // A day and 8 minutes after counting began.
    logNow = {2026, 12, 10, 14, 40, 5};
    EXPECT_EQ("+", Command("RT=Artist - Song", TWayIn::Port));
    // 998 writes left at 2 a day and 8 minutes: 1.4 years.
    EXPECT_EQ("2,256,1.4", StatusField("WEAR"));
    const Lines log = LogLines();
    const std::string dayLine = "RDS memory: 83 bytes written yesterday; the most-written address 256 has 2 "
                                "writes; 1.4 years foretold";
    EXPECT_TRUE(Logged(log, "window", dayLine)) << Joined(log);
    const std::string notice = form->VrScrollText1->Text();
    EXPECT_EQ(0u, notice.find("The card's RDS memory wears out in ")) << notice;
    EXPECT_NE(std::string::npos, notice.find("(radiotext changed 1 times today).")) << notice;
}

TEST_F(WearWindowTest, FileLinesShapedSkippedAndIdle) {
    if (GetACP() != WesternCodePage) GTEST_SKIP() << "the system code page is " << GetACP();
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string path = std::string(temp) + "SondelTextRules." + std::to_string(GetCurrentProcessId()) + ".txt";
    const auto write = [&](const std::string& bytes) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << bytes;
    };
    write("");
    Seed("RtFile", path);
    Seed("RdsCharacterSet", "RDS");
    Seed("RtFormat", "Now playing: {artist} - {title}");
    Seed("RtSkip", "jingle|advert");
    Seed("RtIdleText", "Rock FM \x96 non-stop");
    StartReady();
    const auto becomes = [&](const std::string& text) {
        return Testing::PumpUntil([&] { return form->VrStrEdit2->Text() == text; }, WaitMilliseconds);
    };
    write("Artist \x96 Don\x92t Stop\r\n");
    EXPECT_TRUE(becomes("Now playing: Artist - Don\x92t Stop"));
    write("Station ID jingle\r\n");
    EXPECT_TRUE(becomes("Rock FM \x96 non-stop"));
    // The RDS set gets the plain dash; the edit keeps it as typed.
    const Lines rds = card.Trace().EventsStartingWith({"RDS"});
    EXPECT_NE(rds.end(), std::find(rds.begin(), rds.end(), "RDS 264 45"));
    const Lines log = LogLines();
    EXPECT_TRUE(Logged(log, "file", "skipped: matches 'jingle'")) << Joined(log);

    EXPECT_EQ("- RTIDLE is set on the command line", Command("RTIDLE=1,x", TWayIn::Port));
    EXPECT_EQ("+", Command("RTIDLE=1,Rock FM"));
    EXPECT_EQ("1", Stored("RtIdleMinutes"));
    EXPECT_EQ("1,Rock FM", StatusField("RTIDLE"));
    EXPECT_EQ("+", Command("RTFORMAT={title}"));
    EXPECT_EQ("{title}", Stored("RtFormat"));
    EXPECT_EQ("{title}", StatusField("RTFORMAT"));
    EXPECT_EQ("jingle|advert", StatusField("RTSKIP"));
    // RT= stays exactly what was sent.
    EXPECT_EQ("+", Command("RT=Station ID jingle", TWayIn::Port));
    EXPECT_EQ("Station ID jingle", form->VrStrEdit2->Text());
    write("Band - Hit\r\n");
    EXPECT_TRUE(becomes("Hit"));
    write("\r\n");
    EXPECT_TRUE(becomes("Rock FM"));
    EXPECT_TRUE(Logged(LogLines(), "file", "idle: the line is empty")) << Joined(LogLines());
    Close();
    DeleteFileA(path.c_str());
}
