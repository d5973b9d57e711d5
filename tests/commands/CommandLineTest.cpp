// Commands given on the command line: the arguments as the system splits them, and
// their hand-over through the pipe to a stand-in for the running copy's window: the
// replies in place, exit statuses, a busy window, no copy at all, a stalled client,
// and closing while a client waits.
#include "CommandLine.h"
#include "CommandPipe.h"
#include "StandInWindow.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

constexpr DWORD Windows1252 = 1252;
constexpr DWORD PipeWaitMilliseconds = 5000;

// A pipe name of this process and test alone.
std::string TestPipeName() {
    return "\\\\.\\pipe\\SondelCommandLineTest." + std::to_string(GetCurrentProcessId()) + "." +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

TEST(CommandLineSplit, ArgumentsAsTheSystemSplitsThemWithoutTheProgram) {
    EXPECT_EQ((Lines{"RT=Now playing: Artist - Title", "PTY=10", "PS=ROCK FM"}),
              SplitCommandLine(L"\"C:\\Program Files\\SONDEL\\sondel.exe\" \"RT=Now playing: Artist - Title\" "
                               L"PTY=10 \"PS=ROCK FM\""));
    // Quotes may start mid-argument; a backslash-escaped quote is kept; "" is an empty argument.
    EXPECT_EQ((Lines{"RT=Say \"hi\" now", "PS=A B", ""}),
              SplitCommandLine(L"sondel.exe \"RT=Say \\\"hi\\\" now\" PS=\"A B\" \"\""));
    EXPECT_EQ(Lines{}, SplitCommandLine(L"sondel.exe"));
    EXPECT_EQ(Lines{}, SplitCommandLine(L""));
}

TEST(CommandLineSplit, TextTakenInTheEightBitCodePage) {
    if (GetACP() != Windows1252) GTEST_SKIP() << "the system's code page is " << GetACP();
    // e acute is in the code page; a Cyrillic letter is not and becomes "?".
    EXPECT_EQ((Lines{"RT=Caf\xE9 \x80", "PS=?"}), SplitCommandLine(L"sondel.exe \"RT=Caf\u00e9 \u20ac\" PS=\u0416"));
}

TEST(CommandLineExitStatus, AllDoneRefusedOrUnknownAndNoAnswer) {
    EXPECT_EQ(0, ExitStatusOf({true, {"+", "+\tFREQ=100.000"}}));
    EXPECT_EQ(1, ExitStatusOf({true, {"+", "- PTY must be 0..31", "+"}}));
    EXPECT_EQ(1, ExitStatusOf({true, {"! unknown command"}}));
    EXPECT_EQ(2, ExitStatusOf({false, {}}));
}

class CommandPipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        name = TestPipeName();
        pipe.Open(name);
    }

    // Hands Arguments over as a later start does; the replies it printed and its exit status.
    int HandOver(const Lines& arguments, Lines& printed, milliseconds limit = CommandLineReplyLimit) {
        return HandOverToRunningCopy(name, arguments, [&](const std::string& reply) { printed.push_back(reply); },
                                     limit);
    }

    std::string name;
    TCommandQueue queue;
    TStandInWindow window{queue};
    TCommandPipe pipe{queue};
};

TEST_F(CommandPipeTest, EachArgumentOneCommandAnsweredInItsPlace) {
    Lines printed;
    EXPECT_EQ(1, HandOver({"RT=Now playing: Artist - Title", "PTY=32", "BOGUS", "", "PTY=10", "RT=two\nlines",
                           "PS=" + std::string(1030, 'x')},
                          printed));
    EXPECT_EQ((Lines{"+ 0 Now playing: Artist - Title", "- PTY must be 0..31", "! unknown command",
                     "! unknown command", "+ 10 ", "- RT holds a control character", "- line longer than 1024 bytes"}),
              printed);
    // The good ones reach the window in their order, together.
    EXPECT_EQ((Lines{"0 Now playing: Artist - Title", "10 "}), window.Applied());
    EXPECT_EQ(1, window.Takes());

    printed.clear();
    EXPECT_EQ(0, HandOver({"TP=1", "ms=0"}, printed));
    EXPECT_EQ((Lines{"+ 1 ", "+ 0 "}), printed);
}

TEST_F(CommandPipeTest, BusyWindowIsWaitedForAndStartsAreServedInTurn) {
    window.Hold();
    Lines first;
    Lines second;
    int firstStatus = -1;
    int secondStatus = -1;
    std::thread firstStart([&] { firstStatus = HandOver({"PTY=1"}, first); });
    std::thread secondStart([&] { secondStatus = HandOver({"PTY=2", "TP=1"}, second); });
    // Both wait while the window is busy: nothing is answered, nothing applied.
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_TRUE(first.empty());
    EXPECT_TRUE(second.empty());
    EXPECT_TRUE(window.Applied().empty());
    window.Release();
    firstStart.join();
    secondStart.join();
    EXPECT_EQ((Lines{"+ 1 "}), first);
    EXPECT_EQ((Lines{"+ 2 ", "+ 1 "}), second);
    EXPECT_EQ(0, firstStatus);
    EXPECT_EQ(0, secondStatus);
    EXPECT_EQ(3u, window.Applied().size());
}

TEST_F(CommandPipeTest, NoAnswerInTimeIsStatusTwoAndClosingEndsTheWait) {
    window.Hold();
    Lines printed;
    EXPECT_EQ(2, HandOver({"PTY=1"}, printed, milliseconds(500)));
    EXPECT_TRUE(printed.empty());
    // The worker still waits for the window with that start's commands: closing ends it.
    pipe.Close();
    window.Release();
    EXPECT_TRUE(window.Applied().empty());
}

TEST_F(CommandPipeTest, StalledOrMalformedClientIsDroppedAndTheNextServed) {
    // A client that announces more than a command line can hold and one that sends half a request.
    for (const std::string& request : {std::string("\xFF\xFF\xFF\x7F", 4), std::string("\x10\0\0\0PTY", 7)}) {
        ASSERT_TRUE(WaitNamedPipeA(name.c_str(), PipeWaitMilliseconds));
        HANDLE client = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, client);
        DWORD written = 0;
        WriteFile(client, request.data(), static_cast<DWORD>(request.size()), &written, nullptr);
        if (request.size() == 4) {
            // Dropped at once: the read finds the pipe ended, with no reply.
            char reply[16];
            DWORD got = 0;
            EXPECT_FALSE(ReadFile(client, reply, sizeof reply, &got, nullptr));
            EXPECT_EQ(0u, got);
        }
        CloseHandle(client);
    }
    Lines printed;
    EXPECT_EQ(0, HandOver({"PTY=4"}, printed));
    EXPECT_EQ((Lines{"+ 4 "}), printed);
    EXPECT_EQ((Lines{"4 "}), window.Applied());
}

TEST_F(CommandPipeTest, NameServedAlreadyIsRefusedWithItsName) {
    TCommandQueue otherQueue;
    TCommandPipe other(otherQueue);
    try {
        other.Open(name);
        FAIL() << "a second pipe of the same name opened";
    } catch (const ECommandPipeError& error) {
        EXPECT_EQ(0u, std::string(error.what()).find("The command line's pipe " + name + " cannot be opened: "))
            << error.what();
    }
    // The first still serves.
    Lines printed;
    EXPECT_EQ(0, HandOver({"MS=1"}, printed));
}

TEST_F(CommandPipeTest, LaterStartHandsNothingToAPipeAnotherProcessServes) {
    Lines printed;
    const auto handOver = [&](unsigned long runningCopy) {
        printed.clear();
        return HandOverToRunningCopy(name, {"PTY=6"}, [&](const std::string& reply) { printed.push_back(reply); },
                                     milliseconds(5000), [runningCopy] { return runningCopy; });
    };
    // The window it found belongs to another process than the pipe's server.
    EXPECT_EQ(2, handOver(GetCurrentProcessId() + 4));
    EXPECT_TRUE(printed.empty());
    // No window found: no way to tell whose pipe it is.
    EXPECT_EQ(2, handOver(0));
    EXPECT_TRUE(window.Applied().empty());
    // The pipe's server is the process of the window found.
    EXPECT_EQ(0, handOver(GetCurrentProcessId()));
    EXPECT_EQ((Lines{"+ 6 "}), printed);
}

TEST_F(CommandPipeTest, PipeAdmitsOnlyThisUserAdministratorsAndTheSystem) {
    const std::string text = PipeSecurityText();
    EXPECT_EQ(0u, text.find("D:P(A;;GA;;;S-1-")) << text;
    EXPECT_EQ(text.size() - std::string(")(A;;GA;;;BA)(A;;GA;;;SY)").size(), text.find(")(A;;GA;;;BA)(A;;GA;;;SY)"))
        << text;
    // The descriptor the pipe carries, read back through a handle to it.
    ASSERT_TRUE(WaitNamedPipeA(name.c_str(), PipeWaitMilliseconds));
    HANDLE client = CreateFileA(name.c_str(), READ_CONTROL | GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(client, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                       nullptr, &descriptor);
    CloseHandle(client);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), read);
    char* shown = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                                     DACL_SECURITY_INFORMATION, &shown, nullptr));
    const std::string carried = shown;
    LocalFree(shown);
    LocalFree(descriptor);
    ASSERT_NE(nullptr, dacl);
    EXPECT_EQ(3u, dacl->AceCount) << carried;
    const std::string user = text.substr(std::string("D:P(A;;GA;;;").size(),
                                         text.find(')') - std::string("D:P(A;;GA;;;").size());
    EXPECT_NE(std::string::npos, carried.find(user)) << carried;
    for (const char* nobody : {";WD)", ";BU)", ";AN)", ";AU)", ";IU)", ";NU)"})
        EXPECT_EQ(std::string::npos, carried.find(nobody)) << carried;
}

TEST(CommandPipeAbsent, NoRunningCopyIsStatusTwoAfterTheLimit) {
    Lines printed;
    EXPECT_EQ(2, HandOverToRunningCopy(TestPipeName(), {"PTY=1"},
                                       [&](const std::string& reply) { printed.push_back(reply); }, milliseconds(400)));
    EXPECT_TRUE(printed.empty());
}

TEST(CommandPipeAbsent, CopyThatOpensItsPipeLateStillGetsTheCommands) {
    const std::string name = TestPipeName();
    TCommandQueue queue;
    TStandInWindow window(queue);
    TCommandPipe pipe(queue);
    Lines printed;
    int status = -1;
    std::thread start([&] {
        status = HandOverToRunningCopy(name, {"POWER=9"}, [&](const std::string& reply) { printed.push_back(reply); },
                                       milliseconds(10000));
    });
    std::this_thread::sleep_for(milliseconds(300));
    pipe.Open(name);
    start.join();
    EXPECT_EQ(0, status);
    EXPECT_EQ((Lines{"+ 9 "}), printed);
}

TEST(StartCommands, QueuedAtOnceAnsweredInPlaceAndDroppedWhenNeverTaken) {
    TCommandQueue queue;
    Lines printed;
    {
        TStartCommands start(queue, {"PS=ROCK FM", "PTY=99", "STATUS"}, [&](const std::string& reply) {
            printed.push_back(reply);
        });
        TStandInWindow window(queue);
        for (int tries = 0; tries < 500 && !start.Finished(); ++tries) std::this_thread::sleep_for(milliseconds(10));
        EXPECT_TRUE(start.Finished());
        EXPECT_EQ((Lines{"0 ROCK FM", "0 "}), window.Applied());
    }
    EXPECT_EQ((Lines{"+ 0 ROCK FM", "- PTY must be 0..31", "+ 0 "}), printed);

    // The window closed before it took them: not applied, and the wait ends.
    printed.clear();
    { TStartCommands start(queue, {"PTY=3"}, [&](const std::string& reply) { printed.push_back(reply); }); }
    EXPECT_EQ((Lines{"- not applied: closing"}), printed);
}

}  // namespace
