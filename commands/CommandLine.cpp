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

bool Usable(HANDLE handle) {
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
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
                                         std::chrono::milliseconds limit, const std::atomic<bool>& stop) {
    std::vector<TParsedLine> lines;
    std::vector<TCommand> commands;
    for (const std::string& argument : arguments) {
        lines.push_back(ParseWholeLine(argument));
        if (lines.back().Command) commands.push_back(*lines.back().Command);
    }
    const std::vector<std::string> applied = queue.Submit(commands, limit, stop, TWayIn::CommandLine);
    std::vector<std::string> replies;
    size_t next = 0;
    for (const TParsedLine& line : lines) replies.push_back(line.Command ? applied[next++] : line.Reply);
    return replies;
}

TStartCommands::TStartCommands(TCommandQueue& queue, std::vector<std::string> arguments, TReplySink output)
    : worker_([this, &queue, arguments = std::move(arguments), output = std::move(output)] {
          for (const std::string& reply : SubmitArguments(queue, arguments, StartWaitLimit, stop_)) output(reply);
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
    output_ = GetStdHandle(STD_OUTPUT_HANDLE);
    if (Usable(output_)) return;
    output_ = nullptr;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    console_.Reset(CreateFileA(ConsoleOutput, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    if (Usable(console_.Get())) output_ = console_.Get();
}

void TReplyOutput::WriteLine(const std::string& line) {
    if (!output_) return;
    const std::string text = line + ReplyLineEnd;
    DWORD written = 0;
    WriteFile(output_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
