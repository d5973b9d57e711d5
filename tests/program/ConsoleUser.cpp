// A console program that starts another, as a command prompt starts sondel.exe typed
// in it: the program on its command line starts in this console, then the test drives
// the console line by line on standard input, each answer on standard output.
//   screen     "screen N", then the console's first N rows (read at once, trailing blanks cut)
//   processes  "processes" and the id of every process attached to the console
//   ctrl-c     Ctrl+C raised in the console: "raised", or "refused" and the error
//   ctrl-break Ctrl+Break the same way
//   close      the console's window asked to close, as its close box does: "closing" or "no window"
//   end        "ending", and this program leaves; the console goes with its last process
// Standard input ending is an end too.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char ConsoleInput[] = "CONIN$";
constexpr char ConsoleOutput[] = "CONOUT$";
constexpr DWORD MaxConsoleProcesses = 64;
// The replies of a start fit in far fewer rows.
constexpr SHORT MaxRowsRead = 50;
constexpr int NotStartedExit = 2;

// The console's events are raised for the others: this program stays.
BOOL WINAPI StayOnEvent(DWORD) { return TRUE; }

// The test's pipes, given as standard input and output; the console's own handles take
// their place as this program's standard handles, as a prompt's are.
HANDLE commands = nullptr;
HANDLE answers = nullptr;

void Answer(const std::string& text) {
    const std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(answers, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// One line of standard input without its end; false once the input has ended.
bool ReadLine(std::string& line) {
    line.clear();
    for (;;) {
        char c = 0;
        DWORD read = 0;
        if (!ReadFile(commands, &c, 1, &read, nullptr) || read == 0) return !line.empty();
        if (c == '\n') return true;
        if (c != '\r') line += c;
    }
}

// What follows this program's own name on its command line, as it was typed.
std::string RestOfCommandLine() {
    const std::string line = GetCommandLineA();
    size_t at = 0;
    if (!line.empty() && line[0] == '"') {
        at = line.find('"', 1);
        at = at == std::string::npos ? line.size() : at + 1;
    } else {
        at = std::min(line.find(' '), line.size());
    }
    while (at < line.size() && line[at] == ' ') ++at;
    return line.substr(at);
}

void AnswerScreen() {
    HANDLE screen = CreateFileA(ConsoleOutput, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (screen == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(screen, &info)) {
        if (screen != INVALID_HANDLE_VALUE) CloseHandle(screen);
        Answer("screen 0");
        return;
    }
    const SHORT width = info.dwSize.X;
    const SHORT rows = std::min(info.dwSize.Y, MaxRowsRead);
    // One read for all rows, so that a write in between cannot show in some rows only.
    std::string text(static_cast<size_t>(width) * rows, ' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(screen, &text[0], static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    CloseHandle(screen);
    text.resize(read);
    const size_t rowsRead = text.size() / static_cast<size_t>(width);
    Answer("screen " + std::to_string(rowsRead));
    for (size_t row = 0; row < rowsRead; ++row) {
        std::string shown = text.substr(row * width, width);
        shown.erase(shown.find_last_not_of(' ') + 1);
        Answer(shown);
    }
}

void AnswerProcesses() {
    std::vector<DWORD> ids(MaxConsoleProcesses);
    const DWORD count = std::min(GetConsoleProcessList(ids.data(), MaxConsoleProcesses), MaxConsoleProcesses);
    std::string text = "processes";
    for (DWORD k = 0; k < count; ++k) text += " " + std::to_string(ids[k]);
    Answer(text);
}

// To every process attached to the console, this one too.
void AnswerEvent(DWORD event) {
    if (!GenerateConsoleCtrlEvent(event, 0)) {
        Answer("refused " + std::to_string(GetLastError()));
        return;
    }
    Answer("raised");
}

void AnswerClose() {
    HWND window = GetConsoleWindow();
    if (!window) {
        Answer("no window");
        return;
    }
    Answer("closing");
    PostMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

int main() {
    SetConsoleCtrlHandler(StayOnEvent, TRUE);
    commands = GetStdHandle(STD_INPUT_HANDLE);
    answers = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, CreateFileA(ConsoleInput, GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                               nullptr));
    const HANDLE screen = CreateFileA(ConsoleOutput, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, screen);
    SetStdHandle(STD_ERROR_HANDLE, screen);
    std::string commandLine = RestOfCommandLine();
    // Started as from a prompt: in this console, given no standard handles of its own.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION started{};
    if (commandLine.empty() ||
        !CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        Answer("not started " + std::to_string(GetLastError()));
        return NotStartedExit;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    Answer("started " + std::to_string(started.dwProcessId));

    std::string command;
    while (ReadLine(command)) {
        if (command == "screen")
            AnswerScreen();
        else if (command == "processes")
            AnswerProcesses();
        else if (command == "ctrl-c")
            AnswerEvent(CTRL_C_EVENT);
        else if (command == "ctrl-break")
            AnswerEvent(CTRL_BREAK_EVENT);
        else if (command == "close")
            AnswerClose();
        else if (command == "end")
            break;
        else
            Answer("unknown " + command);
    }
    Answer("ending");
    FreeConsole();
    return 0;
}
