// sondel.exe started from a console, as a user types it in cmd.exe: it attaches to the
// console only to print the replies to its own arguments (never without any), the
// console's events (Ctrl+C, Ctrl+Break, the console going away) do not end it, and its
// window still closes with its own close sequence.
#include "ProgramFixture.h"

#include <algorithm>

namespace {

using namespace ProgramFixture;

constexpr DWORD ReplyTimeoutMilliseconds = 20000;
constexpr DWORD SettleMilliseconds = 1000;
constexpr DWORD MaxConsoleProcesses = 64;
constexpr SHORT ConsoleRowsRead = 25;
constexpr DWORD ConsoleRowWidth = 80;

// The test's own events of its console are ignored: it raises them for the others.
BOOL WINAPI IgnoreEvent(DWORD) { return TRUE; }

// A console of this test's own, which the programs it starts inherit as their parent's.
class TOwnConsole {
public:
    TOwnConsole() {
        FreeConsole();
        created_ = AllocConsole() != FALSE;
        SetConsoleCtrlHandler(IgnoreEvent, TRUE);
    }
    ~TOwnConsole() { End(); }
    TOwnConsole(const TOwnConsole&) = delete;
    TOwnConsole& operator=(const TOwnConsole&) = delete;
    bool Created() const { return created_; }

    // The processes attached to it now.
    std::vector<DWORD> Processes() const {
        std::vector<DWORD> ids(MaxConsoleProcesses);
        const DWORD count = GetConsoleProcessList(ids.data(), MaxConsoleProcesses);
        ids.resize(std::min(count, MaxConsoleProcesses));
        return ids;
    }
    bool Attached(DWORD process) const {
        const std::vector<DWORD> ids = Processes();
        return std::find(ids.begin(), ids.end(), process) != ids.end();
    }
    // The text its screen shows, row by row.
    std::string Screen() const {
        HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (screen == INVALID_HANDLE_VALUE) return {};
        std::string text;
        for (SHORT row = 0; row < ConsoleRowsRead; ++row) {
            char line[ConsoleRowWidth];
            DWORD read = 0;
            if (ReadConsoleOutputCharacterA(screen, line, ConsoleRowWidth, COORD{0, row}, &read))
                text += std::string(line, read) + "\n";
        }
        CloseHandle(screen);
        return text;
    }
    void RaiseEvents() const {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0);
    }
    // The console goes away with its last process: this one leaves it.
    void End() {
        if (!created_) return;
        FreeConsole();
        SetConsoleCtrlHandler(IgnoreEvent, FALSE);
        created_ = false;
    }

private:
    bool created_ = false;
};

class ConsoleTest : public ProgramTest {
protected:
    void StartFromConsole(const std::vector<std::string>& arguments) {
        for (const auto& setting : DesignSettings) ProgramRegistry::PutSetting(setting.first, setting.second);
        ProgramRegistry::PutSetting("PowerOn", "Yes");
        ProgramRegistry::PutSetting("ShutDownAtExit", "Yes");
        program = std::make_unique<TRunningProgram>(SONDEL_EXE, MainClass, TracePath(), TEnvironment{},
                                                    TWindowWait::Shown, arguments);
    }

    // Never attached for as long as Milliseconds.
    bool StaysDetached(DWORD milliseconds) const {
        for (DWORD waited = 0; waited < milliseconds; waited += PollMilliseconds) {
            if (console.Attached(program->ProcessId())) return false;
            Sleep(PollMilliseconds);
        }
        return !console.Attached(program->ProcessId());
    }

    // The events and the console's end leave it running; its own close switches the carrier off.
    void OutlivesTheConsoleAndClosesItself() {
        console.RaiseEvents();
        Sleep(SettleMilliseconds);
        EXPECT_TRUE(program->Running());
        console.End();
        Sleep(SettleMilliseconds);
        ASSERT_TRUE(program->Running());
        EXPECT_EQ(0u, program->Close());
        EXPECT_EQ((Lines{"CARRIER on", "CARRIER off"}), program->Trace("CARRIER"));
    }

    TOwnConsole console;
};

TEST_F(ConsoleTest, StartWithArgumentsPrintsItsRepliesThenLetsTheConsoleGo) {
    ASSERT_TRUE(console.Created());
    StartFromConsole({"PS=ROCK FM", "PTY=32"});
    std::string screen;
    for (DWORD waited = 0; waited < ReplyTimeoutMilliseconds; waited += PollMilliseconds) {
        screen = console.Screen();
        if (screen.find("- PTY must be 0..31") != std::string::npos) break;
        Sleep(PollMilliseconds);
    }
    EXPECT_NE(std::string::npos, screen.find("+")) << screen;
    EXPECT_NE(std::string::npos, screen.find("- PTY must be 0..31")) << screen;
    EXPECT_TRUE(StaysDetached(SettleMilliseconds));
    EXPECT_EQ("ROCK FM", ProgramRegistry::GetSetting("PS"));
    OutlivesTheConsoleAndClosesItself();
}

TEST_F(ConsoleTest, StartWithoutArgumentsNeverAttaches) {
    ASSERT_TRUE(console.Created());
    StartFromConsole({});
    EXPECT_TRUE(StaysDetached(2 * SettleMilliseconds));
    OutlivesTheConsoleAndClosesItself();
}

}  // namespace
