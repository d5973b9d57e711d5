// The program's arguments as commands: split by the system, converted to the 8-bit
// code page as typed text is, and their replies to standard output.
#include "CommandLine.h"

#include "CommandLanguage.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

namespace {

// A character the 8-bit code page lacks.
constexpr char MissingCharacter[] = "?";
constexpr char ConsoleOutput[] = "CONOUT$";
// A start's own commands wait for the restore, however long a message box holds it.
constexpr std::chrono::hours StartWaitLimit(24);

std::string Narrow(const wchar_t* text) {
    const int length = static_cast<int>(wcslen(text));
    if (length == 0) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, MissingCharacter, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), size, MissingCharacter, nullptr);
    return narrow;
}

// While the replies are written to a borrowed console, none of its events ends the
// program (Ctrl+C, Ctrl+Break, its window closing): the window's own close does.
BOOL WINAPI IgnoreConsoleEvent(DWORD) { return TRUE; }

bool AttachedToConsole() {
    DWORD process = 0;
    return GetConsoleProcessList(&process, 1) != 0;
}

bool Usable(HANDLE handle) {
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Every byte, or as many as the handle takes before it refuses: the write is over
// when this returns.
void WriteAll(HANDLE handle, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::string> arguments;
    // An empty line would be split into this program's own path.
    if (commandLine.empty()) return arguments;
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(commandLine.c_str(), &count);
    if (!split) return arguments;
    for (int k = 1; k < count; ++k) arguments.push_back(Narrow(split[k]));
    LocalFree(split);
    return arguments;
}

std::vector<std::string> ProgramArguments() { return SplitCommandLine(GetCommandLineW()); }

std::vector<std::string> SubmitArguments(TCommandQueue& queue, const std::vector<std::string>& arguments,
                                         std::chrono::milliseconds limit, const std::atomic<bool>& stop,
                                         bool patient) {
    std::vector<TParsedLine> lines;
    std::vector<TCommand> commands;
    for (const std::string& argument : arguments) {
        lines.push_back(ParseWholeLine(argument));
        if (lines.back().Command) commands.push_back(*lines.back().Command);
    }
    const std::vector<std::string> applied = queue.Submit(commands, limit, stop, TWayIn::CommandLine, patient);
    std::vector<std::string> replies;
    size_t next = 0;
    for (const TParsedLine& line : lines) replies.push_back(line.Command ? applied[next++] : line.Reply);
    return replies;
}

TStartCommands::TStartCommands(TCommandQueue& queue, std::vector<std::string> arguments, TReplySink output,
                               TRepliesWritten written)
    : worker_([this, &queue, arguments = std::move(arguments), output = std::move(output),
               written = std::move(written)] {
          for (const std::string& reply : SubmitArguments(queue, arguments, StartWaitLimit, stop_, true)) output(reply);
          if (written) written();
          finished_ = true;
      }) {}

TStartCommands::~TStartCommands() {
    stop_ = true;
    worker_.join();
}

int ExitStatusOf(const TCommandAnswer& answer) {
    if (!answer.Answered) return NoAnswerExit;
    const bool allDone = std::all_of(answer.Replies.begin(), answer.Replies.end(), IsDoneReply);
    return allDone ? AllDoneExit : SomeRefusedExit;
}

TReplyOutput::TReplyOutput() {
    // Set before any console is attached, and kept: whenever this program is attached
    // to a console, the console's events leave it running.
    SetConsoleCtrlHandler(IgnoreConsoleEvent, TRUE);
    output_ = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!Usable(output_)) output_ = nullptr;
    // A console this program was born attached to (Wine attaches a windowed program to
    // its parent's) is let go at once; a console handle as standard output goes with it.
    if (AttachedToConsole()) {
        if (output_ && GetFileType(output_) == FILE_TYPE_CHAR) output_ = nullptr;
        FreeConsole();
    }
}

TReplyOutput::~TReplyOutput() { Write(); }

void TReplyOutput::AddLine(const std::string& line) { held_ += line + ReplyLineEnd; }

void TReplyOutput::Write() {
    if (held_.empty()) return;
    const std::string text = std::move(held_);
    held_.clear();
    if (output_) {
        WriteAll(output_, text);
        return;
    }
    // The parent's console is borrowed for this one write only.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    {
        TKernelHandle console(CreateFileA(ConsoleOutput, GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (Usable(console.Get())) WriteAll(console.Get(), text);
    }
    FreeConsole();
}
