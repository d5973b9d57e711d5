// Commands given as program arguments: the arguments as the system splits the
// command line (text in the system's 8-bit code page), the exit status their
// replies make, and the standard output the replies are written to.
#pragma once

#include "CommandQueue.h"
#include "WinHandles.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Exit statuses of a start that hands its commands to the running copy.
constexpr int AllDoneExit = 0;
constexpr int SomeRefusedExit = 1;
constexpr int NoAnswerExit = 2;

// The arguments after the program's name, split as the system splits a command line.
std::vector<std::string> SplitCommandLine(const std::wstring& commandLine);
// This process's arguments.
std::vector<std::string> ProgramArguments();

// Each argument is one whole command line of the language: parsed, the commands
// queued together, and a reply for each argument in its place. Patient: the start's own
// arguments, which wait out its messages.
std::vector<std::string> SubmitArguments(TCommandQueue& queue, const std::vector<std::string>& arguments,
                                         std::chrono::milliseconds limit, const std::atomic<bool>& stop,
                                         bool patient = false);

// Where a start's reply lines go.
using TReplySink = std::function<void(const std::string& reply)>;

// Told once every reply has been handed over.
using TRepliesWritten = std::function<void()>;

// The first start's own commands: queued at once from a worker thread, applied when
// the window takes them (after its restore), each reply handed to Output; Written then.
class TStartCommands {
public:
    TStartCommands(TCommandQueue& queue, std::vector<std::string> arguments, TReplySink output,
                   TRepliesWritten written = nullptr);
    // Commands the window has not taken by now are not applied.
    ~TStartCommands();
    TStartCommands(const TStartCommands&) = delete;
    TStartCommands& operator=(const TStartCommands&) = delete;
    // Every reply has been handed to Output.
    bool Finished() const { return finished_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread worker_;
};

// What came back for a start's commands: one reply each, or no answer in time.
struct TCommandAnswer {
    bool Answered = false;
    std::vector<std::string> Replies;
};
int ExitStatusOf(const TCommandAnswer& answer);

// The standard output of a windowed program: the handle it was given (a pipe or a
// file), else the console of the program that started it, attached to only while the
// replies are written (a program attached to a console ends with it otherwise: Ctrl+C,
// Ctrl+Break and closing the console window end every process attached to it); else nowhere.
class TReplyOutput {
public:
    // Made first thing: a console this program was born attached to is let go here.
    TReplyOutput();
    // Writes the lines still held.
    ~TReplyOutput();
    TReplyOutput(const TReplyOutput&) = delete;
    TReplyOutput& operator=(const TReplyOutput&) = delete;
    // One reply line, ended as the port ends it, held until Write.
    void AddLine(const std::string& line);
    // Every held line in one write, so they show together; the console is detached
    // again once it returns.
    void Write();

private:
    HANDLE output_ = nullptr;
    std::string held_;
};
