// Ends the running sondel.exe as Windows would: "update" as Restart Manager closes a
// program whose files an installer replaces, "logoff" as the end of the user's session.
// Exit status 0 once the program asked to end has ended, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char WindowClass[] = "TfoMain";
constexpr DWORD EndWaitMilliseconds = 30000;

int Fail(const char* what) {
    std::fprintf(stderr, "session_end: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || (std::strcmp(argv[1], "update") != 0 && std::strcmp(argv[1], "logoff") != 0))
        return Fail("usage: session_end update|logoff");
    const LPARAM reason = std::strcmp(argv[1], "update") == 0 ? ENDSESSION_CLOSEAPP : ENDSESSION_LOGOFF;
    const HWND window = FindWindowA(WindowClass, nullptr);
    if (!window) return Fail("no window of the program");
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // Held before the messages: the wait below is for this process, not for a name.
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process) return Fail("cannot open the program's process");
    const LRESULT agreed = SendMessageA(window, WM_QUERYENDSESSION, 0, reason);
    if (agreed) SendMessageA(window, WM_ENDSESSION, TRUE, reason);
    const bool ended = WaitForSingleObject(process, EndWaitMilliseconds) == WAIT_OBJECT_0;
    CloseHandle(process);
    if (!agreed) return Fail("the program refused to end");
    return ended ? 0 : Fail("the program did not end");
}
