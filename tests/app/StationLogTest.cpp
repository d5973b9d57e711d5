// The station's log: the exact lines with a clock the test sets, the files per
// day across midnight, the days kept, a log that keeps nothing, a folder that
// cannot be written, a disk that falls behind, and the close.
#include "ProgrammeTypes.h"
#include "ScratchFolder.h"
#include "StationLog.h"
#include "StationLogFiles.h"

#include "SysUtils.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds FlushLimit = 5s;
// The worker wakes at the next midnight by the clock it is given.
constexpr std::chrono::milliseconds MidnightLimit = 5s;
constexpr std::chrono::milliseconds PollStep = 20ms;

TLogTime At(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    return {year, month, day, hour, minute, second};
}

// A clock the test sets; it may hold the log's worker (any thread but the test's) until released.
class TSetClock {
public:
    explicit TSetClock(TLogTime now) : now_(now) {}
    void Set(TLogTime now) {
        std::lock_guard<std::mutex> guard(lock_);
        now_ = now;
    }
    void HoldWorker() {
        std::lock_guard<std::mutex> guard(lock_);
        holding_ = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            holding_ = false;
        }
        released_.notify_all();
    }
    // Whether the worker waits in the clock now.
    bool WorkerHeld() const { return workerWaiting_; }
    TLogTime operator()() {
        std::unique_lock<std::mutex> guard(lock_);
        if (std::this_thread::get_id() != testThread_) {
            workerWaiting_ = holding_;
            released_.wait(guard, [this] { return !holding_; });
            workerWaiting_ = false;
        }
        return now_;
    }

private:
    std::mutex lock_;
    std::condition_variable released_;
    TLogTime now_;
    bool holding_ = false;
    std::atomic<bool> workerWaiting_{false};
    const std::thread::id testThread_ = std::this_thread::get_id();
};

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

// Names of the folder's entries, sorted.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(PollStep);
    }
    return true;
}

// A log on a scratch folder with a set clock; its problems are collected.
class StationLogTest : public ::testing::Test {
protected:
    std::unique_ptr<TStationLog> Open(unsigned keepDays = DefaultLogDays, const std::string& folder = {}) {
        return std::make_unique<TStationLog>(
            folder.empty() ? logFolder : folder, keepDays,
            [this](const std::string& message) {
                std::lock_guard<std::mutex> guard(problemsLock);
                problems.push_back(message);
            },
            [clock = clock](void) { return (*clock)(); });
    }
    std::vector<std::string> Problems() {
        std::lock_guard<std::mutex> guard(problemsLock);
        return problems;
    }

    TScratchFolder scratch;
    const std::string logFolder = scratch / "Log";
    std::shared_ptr<TSetClock> clock = std::make_shared<TSetClock>(At(2026, 12, 9, 14, 32, 5));
    std::mutex problemsLock;
    std::vector<std::string> problems;
};

}  // namespace

TEST(StationLogLines, OneLineHoldsTimeWayInAndWhatHappened) {
    const TLogTime time = At(2026, 12, 9, 14, 32, 5);
    EXPECT_EQ("2026-12-09 14:32:05 window       Carrier on\r\n", LogLine(time, TLogWay::Window, "Carrier on"));
    EXPECT_EQ("2027-01-02 03:04:05 command line Stereo\r\n", LogLine(At(2027, 1, 2, 3, 4, 5), TLogWay::CommandLine, "Stereo"));
    EXPECT_EQ("2026-12-09 00:00:00 start        Mono\r\n", LogLine(At(2026, 12, 9, 0, 0, 0), TLogWay::Start, "Mono"));
    // A line break inside an event would split it into two lines of the log.
    EXPECT_EQ("2026-12-09 14:32:05 file         Now-playing file \"a.txt\" fails: bad  news x\r\n",
              LogLine(time, TLogWay::File, "Now-playing file \"a.txt\" fails: bad\r\nnews\nx"));
    // The system code page's bytes go through as they are.
    EXPECT_EQ("2026-12-09 14:32:05 port         RT \"Caf\xE9 \xC4\xD6\"\r\n", LogLine(time, TLogWay::Port, "RT \"Caf\xE9 \xC4\xD6\""));
    // Another machine's address follows the way in, however long it is.
    EXPECT_EQ("2026-12-09 14:32:05 port 192.168.1.20 Stereo\r\n", LogLine(time, TLogWay::Port, "Stereo", "192.168.1.20"));
    EXPECT_EQ("2026-12-09 14:32:05 port 1.2.3.4 Stereo\r\n", LogLine(time, TLogWay::Port, "Stereo", "1.2.3.4"));
}

TEST(StationLogLines, WaysInInTheWordsOfTheStaff) {
    const std::vector<std::pair<TLogWay, std::string>> ways = {
        {TLogWay::Start, "start"},   {TLogWay::Window, "window"}, {TLogWay::Port, "port"},
        {TLogWay::CommandLine, "command line"}, {TLogWay::File, "file"}, {TLogWay::Uecp, "UECP"},
        {TLogWay::Serial, "serial"}, {TLogWay::Close, "close"},   {TLogWay::LogOff, "log-off"},
        {TLogWay::Update, "update"}};
    for (const auto& [way, text] : ways) {
        EXPECT_EQ(text, WayInText(way));
        const std::string line = LogLine(At(2026, 12, 9), way, "Carrier off");
        EXPECT_EQ("2026-12-09 12:00:00 " + text + std::string(12 - text.size(), ' ') + " Carrier off\r\n", line);
    }
}

TEST(StationLogLines, TransmitterEvents) {
    EXPECT_EQ("Program started, version 3.0.0", ProgramStarted("3.0.0"));
    EXPECT_EQ("Program ended: its window was closed", ProgramEnded(TLogWay::Close));
    EXPECT_EQ("Program ended: the user logged off or Windows shut down", ProgramEnded(TLogWay::LogOff));
    EXPECT_EQ("Program ended for an update of the program", ProgramEnded(TLogWay::Update));
    EXPECT_EQ("Card opened", CardOpened());
    EXPECT_EQ("Card not opened: Cannot open WinDriver device", CardNotOpened("Cannot open WinDriver device"));
    EXPECT_EQ("Carrier on", CarrierSwitched(true));
    EXPECT_EQ("Carrier off", CarrierSwitched(false));
    EXPECT_EQ("Tuned to 101.300 MHz, power 7", Tuned(101300, 7));
    EXPECT_EQ("Tuned to 87.500 MHz, power 0", Tuned(87500, 0));
    EXPECT_EQ("Tuned to 108.000 MHz, power 15", Tuned(108000, 15));
    EXPECT_EQ("Tuned to 99.050 MHz, power 3", Tuned(99050, 3));
    EXPECT_EQ("Stereo", StereoSwitched(true));
    EXPECT_EQ("Mono", StereoSwitched(false));
}

TEST(StationLogLines, RdsWritesNameTheFieldsAndTheBytes) {
    TRdsFields all;
    all.ProgramService = "NEWS FM";
    all.RadioText = "Artist - Title";
    all.Pty = 10;
    all.Pi = "D223";
    all.Tp = 1;
    all.MusicSpeech = 1;
    EXPECT_EQ("Update RDS: PS \"NEWS FM\", RT \"Artist - Title\", PTY 10 Pop music, PI D223, TP 1, M/S 1; 83 bytes written",
              RdsUpdated(all, 83));

    TRdsFields changed;
    changed.RadioText = "Next: the news";
    EXPECT_EQ("RDS: RT \"Next: the news\"; 12 bytes written", RdsChanged(changed, 12));
    changed.Pty = 31;
    changed.Tp = 0;
    EXPECT_EQ("RDS: RT \"Next: the news\", PTY 31 Alarm, TP 0; 1 byte written", RdsChanged(changed, 1));
    EXPECT_EQ("RDS: nothing changed; 0 bytes written", RdsChanged(TRdsFields{}, 0));

    // Lists without a selection.
    TRdsFields unselected;
    unselected.Pty = -1;
    unselected.Pi = "";
    unselected.MusicSpeech = -1;
    EXPECT_EQ("Update RDS: PTY none, PI none, M/S none; 83 bytes written", RdsUpdated(unselected, 83));
}

TEST(StationLogLines, TheCharacterSetOfTheTextsIsNamedAndItsChange) {
    TRdsFields all;
    all.ProgramService = "NEWS FM";
    all.CharacterSet = "RDS";
    EXPECT_EQ("Update RDS: PS \"NEWS FM\", character set RDS; 83 bytes written", RdsUpdated(all, 83));
    TRdsFields changed;
    changed.CharacterSet = "ANSI";
    EXPECT_EQ("RDS: character set ANSI; 2 bytes written", RdsChanged(changed, 2));
    EXPECT_EQ("RDS character set changed from ANSI to RDS", CharacterSetChanged("ANSI", "RDS"));
}

TEST(StationLogLines, ProgrammeTypesAreThePanelsOwnNames) {
    for (size_t code = 0; code < ProgrammeTypeCount; ++code) {
        TRdsFields fields;
        fields.Pty = static_cast<int>(code);
        EXPECT_EQ("RDS: PTY " + std::to_string(code) + " " + ProgrammeTypes[code] + "; 2 bytes written",
                  RdsChanged(fields, 2));
    }
    EXPECT_STREQ("Undefined", ProgrammeTypes[0]);
    EXPECT_STREQ("Childrens program", ProgrammeTypes[18]);
    EXPECT_STREQ("Alarm", ProgrammeTypes[31]);
}

TEST(StationLogLines, WaysInOpenMoveCloseAndFail) {
    EXPECT_EQ("Command port 7000 opened", TransportOpened(TTransport::CommandPort, "7000"));
    EXPECT_EQ("Command port moved from 7000 to 7001", TransportMoved(TTransport::CommandPort, "7000", "7001"));
    EXPECT_EQ("Command port 7001 closed", TransportClosed(TTransport::CommandPort, "7001"));
    EXPECT_EQ("Command port 7000 fails: Only one usage of each socket address is normally permitted.",
              TransportFailing(TTransport::CommandPort, "7000",
                               "Only one usage of each socket address is normally permitted."));
    EXPECT_EQ("Serial line COM3 opened", TransportOpened(TTransport::SerialLine, "COM3"));
    EXPECT_EQ("Serial line moved from COM3 to COM4", TransportMoved(TTransport::SerialLine, "COM3", "COM4"));
    // A change of place names what happened: opened from none, closed to none, else moved.
    EXPECT_EQ("Serial line COM3 opened", TransportChanged(TTransport::SerialLine, "", "COM3"));
    EXPECT_EQ("Serial line COM3 closed", TransportChanged(TTransport::SerialLine, "COM3", ""));
    EXPECT_EQ("Serial line moved from COM3 to COM4", TransportChanged(TTransport::SerialLine, "COM3", "COM4"));
    EXPECT_EQ("Now-playing file \"C:\\Playout\\np.txt\" opened",
              TransportOpened(TTransport::NowPlayingFile, "C:\\Playout\\np.txt"));
    EXPECT_EQ("Now-playing file moved from \"C:\\a.txt\" to \"D:\\b.txt\"",
              TransportMoved(TTransport::NowPlayingFile, "C:\\a.txt", "D:\\b.txt"));
    EXPECT_EQ("Now-playing file \"C:\\a.txt\" closed", TransportClosed(TTransport::NowPlayingFile, "C:\\a.txt"));
    EXPECT_EQ("Now-playing file \"C:\\a.txt\" fails: Access is denied.",
              TransportFailing(TTransport::NowPlayingFile, "C:\\a.txt", "Access is denied."));
    EXPECT_EQ("Setting PS not stored as \"NEWS FM\": Failed to create key \\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0",
              SettingNotStored("PS", "NEWS FM", "Failed to create key \\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0"));
}

TEST(StationLogFiles, OnlyTheLogsOwnNamesAreDays) {
    const std::optional<TLogTime> day = DayOfFileName("2026-12-09.log");
    ASSERT_TRUE(day);
    EXPECT_EQ(2026, day->Year);
    EXPECT_EQ(12, day->Month);
    EXPECT_EQ(9, day->Day);
    EXPECT_EQ("2026-12-09.log", DayFileName(At(2026, 12, 9)));
    EXPECT_EQ("0999-01-01.log", DayFileName(At(999, 1, 1)));
    EXPECT_TRUE(DayOfFileName("2024-02-29.LOG"));
    for (const char* other : {"2026-12-09.log.bak", "2026-12-09.logx", "2026-12-09.txt", "notes.log", "2026-1-09.log",
                              "2026_12_09.log", "2026-12-9.log", "x2026-12-09.log", "2026-13-01.log", "2026-00-10.log",
                              "2026-02-29.log", "2026-04-31.log", "2026-12-00.log", "2026-12-+9.log", ""})
        EXPECT_FALSE(DayOfFileName(other)) << other;
}

TEST(StationLogFiles, DaysBetweenDates) {
    EXPECT_EQ(0, DaysBetween(At(2026, 12, 9), At(2026, 12, 9, 23, 59, 59)));
    EXPECT_EQ(1, DaysBetween(At(2026, 12, 31), At(2027, 1, 1)));
    EXPECT_EQ(2, DaysBetween(At(2024, 2, 28), At(2024, 3, 1)));
    EXPECT_EQ(1, DaysBetween(At(2026, 2, 28), At(2026, 3, 1)));
    EXPECT_EQ(400, DaysBetween(At(2025, 11, 4), At(2026, 12, 9)));
    EXPECT_EQ(-1, DaysBetween(At(2026, 12, 10), At(2026, 12, 9)));
    EXPECT_EQ(366, DaysBetween(At(2000, 1, 1), At(2001, 1, 1)));
    EXPECT_EQ(365, DaysBetween(At(2100, 1, 1), At(2101, 1, 1)));
}

TEST(StationLogFiles, TheMachinesFolderIsUnderProgramData) {
    char programData[MAX_PATH];
    ASSERT_NE(0u, GetEnvironmentVariableA("ProgramData", programData, MAX_PATH));
    EXPECT_TRUE(SameText(std::string(programData) + "\\SONDEL ULTRA\\Log", MachineLogFolder())) << MachineLogFolder();
}

TEST(StationLogSetting, LogDaysIsADecimalCount) {
    EXPECT_EQ(400u, LogDaysFromSetting("empty"));
    EXPECT_EQ(400u, LogDaysFromSetting(""));
    EXPECT_EQ(0u, LogDaysFromSetting("0"));
    EXPECT_EQ(30u, LogDaysFromSetting("30"));
    EXPECT_EQ(30u, LogDaysFromSetting("030"));
    EXPECT_EQ(MaxLogDays, LogDaysFromSetting("36501"));
    EXPECT_EQ(MaxLogDays, LogDaysFromSetting("99999999999999999999"));
    for (const char* malformed : {"-5", "$10", "0x10", " 30", "30 ", "3O", "abc"}) {
        try {
            LogDaysFromSetting(malformed);
            ADD_FAILURE() << malformed;
        } catch (const EConvertError& error) {
            EXPECT_EQ("'" + std::string(malformed) + "' is not a valid integer value", error.what());
        }
    }
}

TEST_F(StationLogTest, WritesTheExactLinesOfTheDayWithCrLf) {
    auto log = Open();
    log->Write(TLogWay::Start, ProgramStarted("3.0.0"));
    clock->Set(At(2026, 12, 9, 14, 32, 6));
    log->Write(TLogWay::Window, CarrierSwitched(true));
    clock->Set(At(2026, 12, 9, 14, 33, 0));
    log->Write(TLogWay::Port, "RT \"Caf\xE9 \xC4\xD6\xDC\"");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ("2026-12-09 14:32:05 start        Program started, version 3.0.0\r\n"
              "2026-12-09 14:32:06 window       Carrier on\r\n"
              "2026-12-09 14:33:00 port         RT \"Caf\xE9 \xC4\xD6\xDC\"\r\n",
              Bytes(logFolder + "\\2026-12-09.log"));
    EXPECT_EQ(std::vector<std::string>{"2026-12-09.log"}, Entries(logFolder));
    EXPECT_TRUE(Problems().empty());
}

TEST_F(StationLogTest, TheTimeIsTakenWhenTheEventIsTold) {
    clock->HoldWorker();
    auto log = Open();
    ASSERT_TRUE(WaitFor([&] { return clock->WorkerHeld(); }, FlushLimit));
    log->Write(TLogWay::Window, "Mono");
    clock->Set(At(2026, 12, 9, 15, 0, 0));
    clock->Release();
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ("2026-12-09 14:32:05 window       Mono\r\n", Bytes(logFolder + "\\2026-12-09.log"));
}

TEST_F(StationLogTest, ALaterStartAddsToTheDaysFile) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    Put(logFolder + "\\2026-12-09.log", "2026-12-09 08:00:00 start        Program started, version 3.0.0\r\n");
    auto log = Open();
    log->Write(TLogWay::Window, StereoSwitched(true));
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ("2026-12-09 08:00:00 start        Program started, version 3.0.0\r\n"
              "2026-12-09 14:32:05 window       Stereo\r\n",
              Bytes(logFolder + "\\2026-12-09.log"));
}

TEST_F(StationLogTest, MidnightStartsTheNextDaysFile) {
    clock->Set(At(2026, 12, 31, 23, 59, 59));
    auto log = Open();
    log->Write(TLogWay::File, "RDS: RT \"Last song of the year\"; 20 bytes written");
    clock->Set(At(2027, 1, 1, 0, 0, 0));
    log->Write(TLogWay::File, "RDS: RT \"First song\"; 14 bytes written");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ("2026-12-31 23:59:59 file         RDS: RT \"Last song of the year\"; 20 bytes written\r\n",
              Bytes(logFolder + "\\2026-12-31.log"));
    EXPECT_EQ("2027-01-01 00:00:00 file         RDS: RT \"First song\"; 14 bytes written\r\n",
              Bytes(logFolder + "\\2027-01-01.log"));
}

TEST_F(StationLogTest, StartDeletesOnlyTheLogsOwnDaysPastKeeping) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    const std::vector<std::string> kept = {
        "2025-11-04.log",     // 400 days old: kept for 400 days
        "2026-12-09.log",     // today
        "2027-03-01.log",     // a day ahead of a clock set back
        "2024-01-01.txt",     "notes.log", "2024-02-30.log", "2024-01-01.log.bak", "2024-01-01.logx",
        "Readme 2024-01-01.log"};
    const std::vector<std::string> old = {"2025-11-03.log", "2024-01-01.log", "1999-12-31.LOG"};
    for (const auto& name : kept) Put(logFolder + "\\" + name, "x");
    for (const auto& name : old) Put(logFolder + "\\" + name, "x");
    // A folder named like a day is not the log's file.
    CreateDirectoryA((logFolder + "\\2020-01-01.log").c_str(), nullptr);
    // The newest 400 day files stay whatever their age: a day file for each day in between.
    std::vector<std::string> between;
    for (int year = 2025; year <= 2026; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= 31; ++day) {
                const std::string name = DayFileName(At(year, month, day));
                if (DayOfFileName(name) && name > "2025-11-04.log" && name < "2026-12-09.log") between.push_back(name);
            }
    for (const auto& name : between) Put(logFolder + "\\" + name, "x");

    auto log = Open(400);
    ASSERT_TRUE(WaitFor([&] { return !Exists(logFolder + "\\2024-01-01.log"); }, FlushLimit));
    ASSERT_TRUE(log->Flush(FlushLimit));
    std::vector<std::string> expected = kept;
    expected.insert(expected.end(), between.begin(), between.end());
    expected.push_back("2020-01-01.log");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, Entries(logFolder));
    EXPECT_TRUE(Problems().empty());
}

TEST_F(StationLogTest, MidnightDeletesTheDayThatBecameTooOld) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    Put(logFolder + "\\2026-12-07.log", "x");
    Put(logFolder + "\\2026-12-08.log", "x");
    clock->Set(At(2026, 12, 9, 23, 59, 59));
    auto log = Open(2);
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_TRUE(Exists(logFolder + "\\2026-12-07.log"));
    // No line is told after midnight: the worker wakes for it by itself.
    clock->Set(At(2026, 12, 10, 0, 0, 0));
    EXPECT_TRUE(WaitFor([&] { return !Exists(logFolder + "\\2026-12-07.log"); }, MidnightLimit));
    ASSERT_TRUE(WaitFor([&] { return Exists(logFolder + "\\2026-12-10.log"); }, FlushLimit));
    ASSERT_TRUE(log->Close());
    EXPECT_EQ((std::vector<std::string>{"2026-12-08.log", "2026-12-09.log", "2026-12-10.log"}), Entries(logFolder));
    EXPECT_EQ("2026-12-10 00:00:00 log          Old day files deleted: 2026-12-07.log\r\n",
              Bytes(logFolder + "\\2026-12-10.log"));
}

TEST_F(StationLogTest, ANewCountWhileTheLogRunsDeletesByItAtOnceAndZeroEndsTheLog) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    for (const char* name : {"2026-12-04.log", "2026-12-05.log", "2026-12-06.log", "2026-12-08.log"})
        Put(logFolder + "\\" + name, "x");
    auto log = Open(400);
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    ASSERT_EQ(5u, Entries(logFolder).size());

    // Long before midnight: the worker deletes for the new count by itself.
    log->SetKeepDays(3);
    ASSERT_TRUE(WaitFor([&] { return !Exists(logFolder + "\\2026-12-05.log"); }, FlushLimit));
    log->Write(TLogWay::Window, "Carrier off");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ((std::vector<std::string>{"2026-12-06.log", "2026-12-08.log", "2026-12-09.log"}), Entries(logFolder));
    EXPECT_EQ("2026-12-09 14:32:05 window       Carrier on\r\n"
              "2026-12-09 14:32:05 log          Old day files deleted: 2026-12-04.log, 2026-12-05.log\r\n"
              "2026-12-09 14:32:05 window       Carrier off\r\n",
              Bytes(logFolder + "\\2026-12-09.log"));

    log->SetKeepDays(0);
    log->Write(TLogWay::Window, "Power 5");
    ASSERT_TRUE(WaitFor([&] { return Entries(logFolder).empty(); }, FlushLimit));
    ASSERT_TRUE(log->Close());
    EXPECT_TRUE(Entries(logFolder).empty());
    EXPECT_TRUE(Problems().empty());
}

TEST_F(StationLogTest, ZeroDaysKeepsNoLogAtAll) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    Put(logFolder + "\\2026-12-09.log", "2026-12-09 08:00:00 window       Carrier on\r\n");
    Put(logFolder + "\\2026-12-01.log", "x");
    Put(logFolder + "\\notes.txt", "x");
    auto log = Open(0);
    log->Write(TLogWay::Window, "Carrier off");
    ASSERT_TRUE(WaitFor([&] { return !Exists(logFolder + "\\2026-12-09.log"); }, FlushLimit));
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_TRUE(log->Close());
    EXPECT_EQ(std::vector<std::string>{"notes.txt"}, Entries(logFolder));
    EXPECT_EQ(0u, log->DroppedLines());
    EXPECT_TRUE(Problems().empty());
}

TEST_F(StationLogTest, ZeroDaysCreatesNoFolder) {
    auto log = Open(0);
    log->Write(TLogWay::Window, "Carrier off");
    ASSERT_TRUE(log->Close());
    EXPECT_FALSE(Exists(logFolder));
}

TEST_F(StationLogTest, AFolderThatCannotBeMadeIsReportedOnceAndTheProgramGoesOn) {
    // A file where the log's parent folder would be.
    Put(scratch / "Blocked", "x");
    const std::string blocked = scratch / "Blocked" + "\\Log";
    auto log = Open(DefaultLogDays, blocked);
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    log->Write(TLogWay::Window, "Carrier off");
    log->Write(TLogWay::Port, "Stereo");
    ASSERT_TRUE(log->Flush(FlushLimit));
    const std::vector<std::string> reported = Problems();
    ASSERT_EQ(1u, reported.size());
    EXPECT_EQ(0u, reported[0].find("The log cannot be written: The folder " + blocked + " cannot be created: "))
        << reported[0];
    EXPECT_NE(std::string::npos, reported[0].find(". The program goes on without it.")) << reported[0];
    EXPECT_TRUE(log->Close());
}

TEST_F(StationLogTest, ADayFileThatRefusesIsReportedOnceAndTheNextDayIsWritten) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    // A folder in the place of today's file refuses every line, whoever runs the test.
    const std::string today = logFolder + "\\2026-12-09.log";
    CreateDirectoryA(today.c_str(), nullptr);
    auto log = Open();
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    log->Write(TLogWay::Window, "Carrier off");
    clock->Set(At(2026, 12, 10, 0, 0, 1));
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    const std::vector<std::string> reported = Problems();
    ASSERT_EQ(1u, reported.size());
    EXPECT_EQ("The log cannot be written: " + today + ": " + SysErrorMessage(ERROR_ACCESS_DENIED) +
                  ". The program goes on without it.",
              reported[0]);
    // The two lines of the day that refused are counted when the log takes lines again.
    EXPECT_EQ("2026-12-10 00:00:01 log          The log is written again after the disk refused it: 2 lines were lost\r\n"
              "2026-12-10 00:00:01 window       Carrier on\r\n",
              Bytes(logFolder + "\\2026-12-10.log"));
}

TEST_F(StationLogTest, ADiskThatFallsBehindDropsLinesBeyondTheLimitAndSaysSoOnce) {
    clock->HoldWorker();
    auto log = Open();
    ASSERT_TRUE(WaitFor([&] { return clock->WorkerHeld(); }, FlushLimit));
    constexpr size_t Extra = 3;
    for (size_t line = 0; line < TStationLog::MaxQueuedLines + Extra; ++line)
        log->Write(TLogWay::Port, "RT \"" + std::to_string(line) + "\"");
    EXPECT_EQ(Extra, log->DroppedLines());
    clock->Release();
    ASSERT_TRUE(log->Flush(FlushLimit));
    log->Write(TLogWay::Port, "RT \"after\"");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ(std::vector<std::string>{"The log falls behind the program: lines beyond 10000 waiting are dropped."},
              Problems());
    const std::string bytes = Bytes(logFolder + "\\2026-12-09.log");
    EXPECT_EQ(TStationLog::MaxQueuedLines + 1, static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    EXPECT_NE(std::string::npos, bytes.find("port         RT \"9999\"\r\n2026-12-09 14:32:05 port         RT \"after\"\r\n"));
    EXPECT_EQ(std::string::npos, bytes.find("RT \"10000\""));
}

TEST_F(StationLogTest, CloseWritesWhatIsQueuedAndTakesNoMore) {
    auto log = Open();
    for (int line = 0; line < 100; ++line) log->Write(TLogWay::Close, "Carrier off");
    EXPECT_TRUE(log->Close());
    log->Write(TLogWay::Close, "Program ended");
    EXPECT_TRUE(log->Close());
    const std::string bytes = Bytes(logFolder + "\\2026-12-09.log");
    EXPECT_EQ(100, std::count(bytes.begin(), bytes.end(), '\n'));
    EXPECT_EQ(std::string::npos, bytes.find("Program ended"));
}

TEST_F(StationLogTest, CloseGivesUpOnAStalledWorkerInTime) {
    clock->HoldWorker();
    auto log = Open();
    ASSERT_TRUE(WaitFor([&] { return clock->WorkerHeld(); }, FlushLimit));
    log->Write(TLogWay::Close, "Carrier off");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(log->Close(200ms));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    // The worker left behind ends by itself and writes nothing more.
    clock->Release();
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(Exists(logFolder));
    EXPECT_TRUE(Problems().empty());
}

// Wine keeps no access list on the folders it makes; what the list grants is read here
// from the descriptor the folder is created with.
TEST(StationLogFolder, EveryUserMayAddToTheFolderAndAppendToItsFiles) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(LogFolderRights, SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    // Nothing handed down from ProgramData mixes in.
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted));
    ASSERT_TRUE(present && list);
    ASSERT_EQ(4u, static_cast<unsigned>(list->AceCount));

    BYTE usersSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof usersSid;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, usersSid, &sidSize));
    std::vector<std::pair<BYTE, ACCESS_MASK>> users;
    for (DWORD index = 0; index < list->AceCount; ++index) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(list, index, reinterpret_cast<void**>(&ace)));
        ASSERT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
        if (EqualSid(&ace->SidStart, usersSid)) users.emplace_back(ace->Header.AceFlags, ace->Mask);
    }
    LocalFree(descriptor);
    ASSERT_EQ(2u, users.size());
    // On the folder itself: list it and add files, not delete it nor its files.
    EXPECT_EQ(0, users[0].first);
    const ACCESS_MASK folder = users[0].second;
    EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE),
              folder & (FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE));
    EXPECT_EQ(0u, folder & (FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | FILE_ADD_SUBDIRECTORY));
    // On the files made in it: read, append, delete (the days past keeping), never overwrite.
    EXPECT_EQ(OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE, users[1].first);
    const ACCESS_MASK files = users[1].second;
    EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_READ_DATA | FILE_APPEND_DATA | DELETE),
              files & (FILE_READ_DATA | FILE_APPEND_DATA | DELETE));
    EXPECT_EQ(0u, files & (FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | WRITE_DAC | WRITE_OWNER));
}

TEST(StationLogLines, LoggedValuesCannotEndTheirQuotes) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Plain", "\"Plain\""},
        {"A\", PTY 31 Alarm, TP \"1", "\"A\\\", PTY 31 Alarm, TP \\\"1\""},
        {"back\\slash", "\"back\\\\slash\""},
        {"end\\", "\"end\\\\\""},
        {"\\\"", "\"\\\\\\\"\""},
        {"", "\"\""}};
    for (const auto& [value, quoted] : values) {
        EXPECT_EQ(quoted, QuotedValue(value)) << value;
        TRdsFields fields;
        fields.RadioText = value;
        EXPECT_EQ("RDS: RT " + quoted + "; 1 byte written", RdsChanged(fields, 1));
    }
    TRdsFields ps;
    ps.ProgramService = "\"NEWS\"";
    EXPECT_EQ("RDS: PS \"\\\"NEWS\\\"\"; 2 bytes written", RdsChanged(ps, 2));
    EXPECT_EQ("Setting RT not stored as \"a\\\"b\": denied", SettingNotStored("RT", "a\"b", "denied"));
    EXPECT_EQ("UECP addresses set: sites \"5\\\\\", encoders \"\\\"\"", UecpAddressesSet("5\\", "\""));
    EXPECT_STREQ("log", WayInText(TLogWay::Log));
}

// The clock jumps years ahead while the program runs, and on the next day goes on from there.
TEST_F(StationLogTest, AClockThatJumpsDeletesNoDayBeforeTheJump) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    for (const char* name : {"2026-12-07.log", "2026-12-08.log"}) Put(logFolder + "\\" + name, "x");
    auto log = Open(2);
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    clock->Set(At(2062, 3, 1, 9, 0, 0));
    log->Write(TLogWay::Window, "Carrier off");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ((std::vector<std::string>{"2026-12-07.log", "2026-12-08.log", "2026-12-09.log", "2062-03-01.log"}),
              Entries(logFolder));
    EXPECT_EQ("2062-03-01 09:00:00 log          No old day file deleted: the date is 12866 days past the newest day "
              "file, 2026-12-09.log\r\n2062-03-01 09:00:00 window       Carrier off\r\n",
              Bytes(logFolder + "\\2062-03-01.log"));
    // The next day the date is 1 day past the newest file: the days past keeping go, the
    // newest two stay, the day of the jump among them.
    clock->Set(At(2062, 3, 2, 9, 0, 0));
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ((std::vector<std::string>{"2026-12-09.log", "2062-03-01.log", "2062-03-02.log"}), Entries(logFolder));
    EXPECT_EQ("2062-03-02 09:00:00 log          Old day files deleted: 2026-12-07.log, 2026-12-08.log\r\n"
              "2062-03-02 09:00:00 window       Carrier on\r\n",
              Bytes(logFolder + "\\2062-03-02.log"));
    // Set back to the right date: the day files ahead of it are the newest, and nothing goes.
    clock->Set(At(2026, 12, 10, 9, 0, 0));
    log->Write(TLogWay::Window, "Carrier off");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ((std::vector<std::string>{"2026-12-09.log", "2026-12-10.log", "2062-03-01.log", "2062-03-02.log"}),
              Entries(logFolder));
    EXPECT_TRUE(Problems().empty());
}

namespace {

// A disk that takes only the first half of each write, and says it wrote it all.
int HalfWrite(void* file, const void* bytes, unsigned long size, unsigned long* written) {
    return WriteFile(file, bytes, size / 2, written, nullptr);
}

}  // namespace

TEST_F(StationLogTest, AWriteCutShortIsTakenBackAndItsLinesAreCountedWhenTheDiskTakesLinesAgain) {
    auto log = Open();
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    UseLogWrite(HalfWrite);
    log->Write(TLogWay::Port, "Stereo");
    ASSERT_TRUE(log->Flush(FlushLimit));
    log->Write(TLogWay::Port, "Mono");
    log->Write(TLogWay::Port, "Carrier off");
    ASSERT_TRUE(log->Flush(FlushLimit));
    UseLogWrite(nullptr);
    EXPECT_EQ("2026-12-09 14:32:05 window       Carrier on\r\n", Bytes(logFolder + "\\2026-12-09.log"));
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_EQ("2026-12-09 14:32:05 window       Carrier on\r\n"
              "2026-12-09 14:32:05 log          The log is written again after the disk refused it: 3 lines were lost\r\n"
              "2026-12-09 14:32:05 window       Carrier on\r\n",
              Bytes(logFolder + "\\2026-12-09.log"));
    const std::vector<std::string> reported = Problems();
    ASSERT_EQ(1u, reported.size());
    EXPECT_EQ("The log cannot be written: " + logFolder + "\\2026-12-09.log: " + SysErrorMessage(ERROR_DISK_FULL) +
                  ". The program goes on without it.",
              reported[0]);
}

// Links are made where this Wine (or Windows, with the right to make them) allows it.
TEST_F(StationLogTest, LinksInTheLogsPlaceAreNeitherFollowedNorWrittenNorDeleted) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    const std::string outside = scratch / "outside.txt";
    Put(outside, "keep");
    const std::string oldLink = logFolder + "\\2020-01-01.log";
    const std::string todayLink = logFolder + "\\2026-12-09.log";
    if (!CreateSymbolicLinkA(oldLink.c_str(), outside.c_str(), 0))
        GTEST_SKIP() << "no link can be made here: " << SysErrorMessage(GetLastError());
    ASSERT_TRUE(CreateSymbolicLinkA(todayLink.c_str(), outside.c_str(), 0));
    // This Wine answers that it made the link and makes none.
    const DWORD attributes = GetFileAttributesA(oldLink.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "a link was said to be made but is no reparse point here";
    auto log = Open(1);
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_TRUE(log->Close());
    EXPECT_EQ("keep", Bytes(outside));
    EXPECT_TRUE(Exists(oldLink));
    const std::string link = ": a link to elsewhere, not a day file of the log";
    EXPECT_EQ((std::vector<std::string>{"An old day file of the log cannot be deleted: " + oldLink + link,
                                        "The log cannot be written: " + todayLink + link + ". The program goes on without it."}),
              Problems());

    // A folder that is a link is refused whole, and where it leads stays empty.
    const std::string elsewhere = scratch / "Elsewhere";
    const std::string linkedFolder = scratch / "Linked";
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    ASSERT_TRUE(CreateSymbolicLinkA(linkedFolder.c_str(), elsewhere.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
    problems.clear();
    auto linked = Open(DefaultLogDays, linkedFolder);
    linked->Write(TLogWay::Window, "Carrier off");
    ASSERT_TRUE(linked->Flush(FlushLimit));
    EXPECT_TRUE(linked->Close());
    EXPECT_TRUE(Entries(elsewhere).empty());
    EXPECT_EQ(std::vector<std::string>{"The log refuses its folder: the folder " + linkedFolder +
                                       " is a link to elsewhere (a reparse point). The program goes on without it."},
              Problems());
}

// Another owner is given where the system lets this user give one (Wine keeps it when the
// disk keeps extended attributes; Windows, to an administrator).
TEST_F(StationLogTest, AFolderOfAnotherOwnerIsRefusedAndNothingIsWrittenInIt) {
    CreateDirectoryA(logFolder.c_str(), nullptr);
    BYTE usersSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof usersSid;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, usersSid, &sidSize));
    std::string folder(logFolder);
    if (SetNamedSecurityInfoA(folder.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, usersSid, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
        GTEST_SKIP() << "this user cannot give the folder another owner here";
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                    nullptr, &descriptor));
    const bool given = owner && EqualSid(owner, usersSid);
    LocalFree(descriptor);
    if (!given) GTEST_SKIP() << "the folder's owner was said to be given but is not kept here";
    auto log = Open();
    log->Write(TLogWay::Window, "Carrier on");
    ASSERT_TRUE(log->Flush(FlushLimit));
    EXPECT_TRUE(log->Close());
    EXPECT_TRUE(Entries(logFolder).empty());
    EXPECT_EQ(std::vector<std::string>{"The log refuses its folder: the folder " + logFolder +
                                       " belongs to S-1-5-32-545, not to the administrators, the system or this "
                                       "user. The program goes on without it."},
              Problems());
}
