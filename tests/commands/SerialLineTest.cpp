// The serial line without a port behind it: the setting's texts, the write limit and
// the pauses after empty reads, and a port that does not exist reported once, tried
// again, and closed at once while it waits. The line on a real pseudo-terminal is
// driven by serial/serial_line_test.py.
#include "SerialLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Reports as the owner receives them, on the line's worker.
class TReports {
public:
    TSerialLine::TOwner Owner() {
        TSerialLine::TOwner owner;
        owner.Report = [this](const std::string& text, bool) {
            std::lock_guard<std::mutex> guard(lock_);
            texts_.push_back(text);
        };
        return owner;
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> guard(lock_);
        return texts_;
    }
    // Waits, a bounded time, for a first report.
    bool WaitForOne() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (Texts().empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
        return !Texts().empty();
    }

private:
    std::mutex lock_;
    std::vector<std::string> texts_;
};

// No such port on this machine: Wine maps only the COM ports it has links for.
constexpr char MissingPort[] = "COM199";

TEST(SerialLineSetting, PortAndSpeed) {
    const auto plain = ParseSerialSetting("COM2");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->Number, 2u);
    EXPECT_EQ(plain->Speed, 9600u);
    EXPECT_EQ(plain->Name(), "COM2");
    const auto fast = ParseSerialSetting(" com12:19200 ");
    ASSERT_TRUE(fast);
    EXPECT_EQ(fast->Name(), "COM12");
    EXPECT_EQ(fast->Speed, 19200u);
    EXPECT_EQ(ParseSerialSetting("COM255:4000000")->Speed, 4000000u);
    EXPECT_FALSE(ParseSerialSetting(""));
    EXPECT_FALSE(ParseSerialSetting("   "));
}

TEST(SerialLineSetting, MalformedTextsAreRefusedWithTheRule) {
    try {
        ParseSerialSetting("COM2:fast");
        FAIL() << "accepted";
    } catch (const ESerialLineError& error) {
        EXPECT_EQ(error.Message(),
                  "The serial line setting \"COM2:fast\" is not valid: it must be COMn or COMn:speed, "
                  "n 1..255, speed 1..4000000.");
    }
    for (const char* text : {"COM", "COM0", "COM256", "COMX", "LPT1", "COM2:", "COM2:0", "COM2:4000001",
                             "COM2:9600:1", "COM-2", "COM 2", "COM99999999999", "COM2:+9600"})
        EXPECT_THROW(ParseSerialSetting(text), ESerialLineError) << text;
}

TEST(SerialLineTiming, AWriteMayTakeElevenBitsAByteAtTheLinesSpeedAndTwoSeconds) {
    struct TCase {
        size_t Bytes;
        unsigned Speed;
        long long Milliseconds;
    };
    // 40 STATUS lines of 400 bytes at 9600 baud take 16.7 s on the wire at 10 bits a byte.
    const TCase cases[] = {
        {0, 9600, 2000},        {1, 9600, 2002},          {40 * 400, 9600, 20334},
        {40 * 400, 115200, 3528}, {1000000, 1, 4294967294},
    };
    for (const TCase& each : cases)
        EXPECT_EQ(SerialWriteLimit(each.Bytes, each.Speed).count(), each.Milliseconds) << each.Bytes << " " << each.Speed;
}

TEST(SerialLineTiming, EmptyReadsPauseLongerEachTimeAndThenLoseThePort) {
    TEmptyReads empty;
    std::vector<long long> pauses;
    while (const auto pause = empty.Next()) pauses.push_back(pause->count());
    ASSERT_EQ(pauses.size(), TEmptyReads::LostAfter - 1);
    EXPECT_EQ((std::vector<long long>(pauses.begin(), pauses.begin() + 8)),
              (std::vector<long long>{10, 20, 40, 80, 160, 320, 500, 500}));
    long long total = 0;
    for (long long pause : pauses) total += pause;
    EXPECT_EQ(total, 17130);
    // Bytes start the count again.
    empty.Reset();
    EXPECT_EQ(empty.Next()->count(), 10);
    EXPECT_EQ(empty.Next()->count(), 20);
}

TEST(SerialLine, AMalformedSettingOpensNothing) {
    TCommandQueue queue;
    TReports reports;
    TSerialLine line(queue, reports.Owner(), 50ms);
    EXPECT_THROW(line.Open("COM2:fast"), ESerialLineError);
    line.Open("");
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(reports.Texts().empty());
}

TEST(SerialLine, AMissingPortIsReportedOnceAndTriedAgain) {
    TCommandQueue queue;
    TReports reports;
    TSerialLine line(queue, reports.Owner(), 50ms);
    line.Open(MissingPort);
    ASSERT_TRUE(reports.WaitForOne());
    // Many retries later, still the one report.
    std::this_thread::sleep_for(600ms);
    const std::vector<std::string> texts = reports.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ("The serial line COM199 cannot be opened (CreateFile): there is no such port on this machine "
              "(system error 2). It is tried again until it opens.",
              texts[0]);
}

TEST(SerialLine, ClosingWhileWaitingToRetryIsPrompt) {
    TCommandQueue queue;
    TReports reports;
    TSerialLine line(queue, reports.Owner());
    line.Open(MissingPort);
    ASSERT_TRUE(reports.WaitForOne());
    const auto start = std::chrono::steady_clock::now();
    line.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(reports.Texts().size(), 1u);
}

}  // namespace
