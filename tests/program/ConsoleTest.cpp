// sondel.exe started from a console, as a user types it in cmd.exe: it attaches to the
// console only to print the replies to its own arguments (never without any), the
// console's events (Ctrl+C, Ctrl+Break, the console going away) do not end it, and its
// window still closes with its own close sequence. The console is console_user.exe's,
// hidden, so that nothing of it covers what later tests capture from the screen.
#include "ProgramFixture.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace {

using namespace ProgramFixture;

constexpr DWORD AnswerTimeoutMilliseconds = 10000;
constexpr DWORD ReplyTimeoutMilliseconds = 20000;
constexpr DWORD DetachTimeoutMilliseconds = 5000;
constexpr DWORD SettleMilliseconds = 1000;
constexpr DWORD UserEndMilliseconds = 10000;
constexpr UINT KilledExitCode = 255;

// A pipe end of this test's, closed on scope exit.
class TPipeEnd {
public:
    TPipeEnd() = default;
    TPipeEnd(const TPipeEnd&) = delete;
    TPipeEnd& operator=(const TPipeEnd&) = delete;
    ~TPipeEnd() { Reset(); }
    void Reset(HANDLE handle = nullptr) {
        if (handle_) CloseHandle(handle_);
        handle_ = handle;
    }
    HANDLE Get() const { return handle_; }
    HANDLE* Out() { return &handle_; }

private:
    HANDLE handle_ = nullptr;
};

// console_user.exe in a console of its own, its window hidden, starting sondel.exe with
// Arguments on the trace at TracePath; asked on its standard input, read on its output.
class TConsoleUser {
public:
    TConsoleUser(const std::vector<std::string>& arguments, const std::string& tracePath) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        TPipeEnd theirInput;
        TPipeEnd theirOutput;
        if (!CreatePipe(theirInput.Out(), input_.Out(), &inherited, 0) ||
            !CreatePipe(output_.Out(), theirOutput.Out(), &inherited, 0))
            throw std::runtime_error("Cannot make the console user's pipes");
        // Only its own ends go to it.
        SetHandleInformation(input_.Get(), HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(output_.Get(), HANDLE_FLAG_INHERIT, 0);

        std::vector<char> environment = ProgramEnvironment(tracePath);
        std::string commandLine = "\"" CONSOLE_USER_EXE "\" \"" SONDEL_EXE "\"";
        // Each argument quoted (none of the tests' holds a quote or ends in a backslash).
        for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        startup.hStdInput = theirInput.Get();
        startup.hStdOutput = theirOutput.Get();
        startup.hStdError = theirOutput.Get();
        PROCESS_INFORMATION started{};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                            environment.data(), nullptr, &startup, &started))
            throw std::runtime_error("Cannot start " CONSOLE_USER_EXE);
        CloseHandle(started.hThread);
        process_.Reset(started.hProcess);

        std::istringstream first(ReadLine());
        std::string word;
        first >> word >> programId_;
        if (word != "started") throw std::runtime_error("The console user did not start the program: " + first.str());
    }
    // Asked to end, then ended if it does not.
    ~TConsoleUser() {
        if (!Running()) return;
        Say("end");
        if (!WaitUntilEnded(UserEndMilliseconds)) TerminateProcess(process_.Get(), KilledExitCode);
        WaitForSingleObject(process_.Get(), UserEndMilliseconds);
    }
    TConsoleUser(const TConsoleUser&) = delete;
    TConsoleUser& operator=(const TConsoleUser&) = delete;

    DWORD ProgramId() const { return programId_; }

    // The console's rows that show text, top down.
    Lines Screen() {
        Say("screen");
        std::istringstream head(ReadLine());
        std::string word;
        size_t rows = 0;
        head >> word >> rows;
        Lines shown;
        for (size_t row = 0; row < rows; ++row) {
            std::string text = ReadLine();
            if (!text.empty()) shown.push_back(text);
        }
        return shown;
    }
    bool Attached(DWORD process) {
        Say("processes");
        std::istringstream answer(ReadLine());
        std::string word;
        answer >> word;
        for (DWORD id = 0; answer >> id;)
            if (id == process) return true;
        return false;
    }
    std::string Ask(const std::string& command) {
        Say(command);
        return ReadLine();
    }
    bool Running() const { return WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }
    bool WaitUntilEnded(DWORD milliseconds) const {
        return WaitForSingleObject(process_.Get(), milliseconds) == WAIT_OBJECT_0;
    }

private:
    void Say(const std::string& command) {
        const std::string line = command + "\n";
        DWORD written = 0;
        WriteFile(input_.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    // The next answer line; raises std::runtime_error when none comes in time.
    std::string ReadLine() {
        for (DWORD waited = 0;; waited += PollMilliseconds) {
            const size_t end = received_.find('\n');
            if (end != std::string::npos) {
                std::string line = received_.substr(0, end);
                received_.erase(0, end + 1);
                return line;
            }
            DWORD available = 0;
            if (!PeekNamedPipe(output_.Get(), nullptr, 0, nullptr, &available, nullptr))
                throw std::runtime_error("The console user has gone");
            if (available > 0) {
                std::string chunk(available, '\0');
                DWORD read = 0;
                if (ReadFile(output_.Get(), &chunk[0], available, &read, nullptr)) received_.append(chunk, 0, read);
                continue;
            }
            if (waited >= AnswerTimeoutMilliseconds) throw std::runtime_error("The console user did not answer");
            Sleep(PollMilliseconds);
        }
    }

    TPipeEnd input_;
    TPipeEnd output_;
    TProcessHandle process_;
    DWORD programId_ = 0;
    std::string received_;
};

class ConsoleTest : public ProgramTest {
protected:
    void TearDown() override {
        ProgramTest::TearDown();
        user.reset();
    }

    void StartFromConsole(const std::vector<std::string>& arguments) {
        for (const auto& setting : DesignSettings) ProgramRegistry::PutSetting(setting.first, setting.second);
        ProgramRegistry::PutSetting("PowerOn", "Yes");
        ProgramRegistry::PutSetting("ShutDownAtExit", "Yes");
        user = std::make_unique<TConsoleUser>(arguments, TracePath());
        program = std::make_unique<TRunningProgram>(user->ProgramId(), MainClass, TracePath());
    }

    // The console's text once it is Expected, or as it is when the wait ends.
    Lines WaitForScreen(const Lines& expected) {
        Lines shown;
        for (DWORD waited = 0; waited < ReplyTimeoutMilliseconds; waited += PollMilliseconds) {
            shown = user->Screen();
            if (shown == expected) break;
            Sleep(PollMilliseconds);
        }
        return shown;
    }

    bool WaitUntilDetached() {
        for (DWORD waited = 0; waited < DetachTimeoutMilliseconds; waited += PollMilliseconds) {
            if (!user->Attached(program->ProcessId())) return true;
            Sleep(PollMilliseconds);
        }
        return !user->Attached(program->ProcessId());
    }

    // Not attached at any look for as long as Milliseconds.
    bool StaysDetached(DWORD milliseconds) {
        for (DWORD waited = 0; waited < milliseconds; waited += PollMilliseconds) {
            if (user->Attached(program->ProcessId())) return false;
            Sleep(PollMilliseconds);
        }
        return !user->Attached(program->ProcessId());
    }

    // Ctrl+C and Ctrl+Break in the console, then the console's end (its window closed
    // where it has one, else its last process leaving): the program runs on, and its own
    // close switches the carrier off.
    void OutlivesTheConsoleAndClosesItself(const std::string& ending) {
        EXPECT_EQ("raised", user->Ask("ctrl-c"));
        // Raised where the system can (Wine refuses Ctrl+Break from a program).
        const std::string breakRaised = user->Ask("ctrl-break");
        Sleep(SettleMilliseconds);
        EXPECT_TRUE(program->Running()) << "Ctrl+Break: " << breakRaised;
        const std::string answer = user->Ask(ending);
        // A console without a window ends with its last process instead.
        if (answer == "no window") user->Ask("end");
        EXPECT_TRUE(user->WaitUntilEnded(UserEndMilliseconds)) << answer;
        Sleep(SettleMilliseconds);
        ASSERT_TRUE(program->Running());
        EXPECT_EQ(0u, program->Close());
        EXPECT_EQ((Lines{"CARRIER on", "CARRIER off"}), program->Trace("CARRIER"));
    }

    std::unique_ptr<TConsoleUser> user;
};

TEST_F(ConsoleTest, StartWithArgumentsPrintsItsRepliesThenLetsTheConsoleGo) {
    StartFromConsole({"PS=ROCK FM", "PTY=32"});
    EXPECT_EQ((Lines{"+", "- PTY must be 0..31"}), WaitForScreen({"+", "- PTY must be 0..31"}));
    EXPECT_TRUE(WaitUntilDetached());
    EXPECT_TRUE(StaysDetached(SettleMilliseconds));
    EXPECT_EQ("ROCK FM", ProgramRegistry::GetSetting("PS"));
    OutlivesTheConsoleAndClosesItself("close");
}

TEST_F(ConsoleTest, StartWithoutArgumentsNeverAttaches) {
    StartFromConsole({});
    EXPECT_TRUE(StaysDetached(2 * SettleMilliseconds));
    EXPECT_EQ(Lines{}, user->Screen());
    OutlivesTheConsoleAndClosesItself("end");
}

}  // namespace
