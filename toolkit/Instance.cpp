// The single-instance claim as two named mutexes (global and session namespace, which
// need no privilege, unlike a named section in the global namespace), the running copy's
// window found by a window property, the show request as a registered message.
#include "Instance.h"

#include "Win.h"

namespace {

constexpr char ShowRequestName[] = "SondelShowRunningInstance";
constexpr char MachineNamespace[] = "Global\\";
constexpr char SessionNamespace[] = "Local\\";
constexpr char MarkSuffix[] = ".RunningWindow";
constexpr unsigned LookAgainMilliseconds = 100;

// Creates or opens the named mutex; Held tells whether another process made it first.
// A mutex another user made (in another session) may refuse this user even to open it.
HANDLE Claim(const std::string& name, bool& held) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    held = error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
    return mutex;
}

struct TMarkSearch {
    const char* mark;
    HWND found;
};

BOOL CALLBACK MatchMark(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<TMarkSearch*>(lParam);
    if (!GetPropA(window, search->mark)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindMarked(const std::string& mark) {
    TMarkSearch search{mark.c_str(), nullptr};
    EnumWindows(MatchMark, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

TSingleInstance::TSingleInstance(const std::string& name) : mark_(name + MarkSuffix) {
    // The session claim comes first, so a copy that holds the machine claim in this
    // session is always seen to hold this one too.
    sessionClaim_ = Claim(SessionNamespace + name, heldInThisSession_);
    bool heldOnMachine = false;
    machineClaim_ = Claim(MachineNamespace + name, heldOnMachine);
    // A claim that cannot be made at all does not keep the program from running.
    first_ = !heldOnMachine;
}

TSingleInstance::~TSingleInstance() {
    if (published_ && IsWindow(published_)) RemovePropA(published_, mark_.c_str());
    if (machineClaim_) CloseHandle(machineClaim_);
    if (sessionClaim_) CloseHandle(sessionClaim_);
}

void TSingleInstance::PublishWindow(HWND window) {
    if (!SetPropA(window, mark_.c_str(), window)) return;
    published_ = window;
}

HWND TSingleInstance::FindRunningWindow(unsigned waitMilliseconds) const {
    HWND window = FindMarked(mark_);
    // A copy in another session has its windows on another desktop: no use waiting for it.
    if (!heldInThisSession_) return window;
    for (unsigned waited = 0; !window && waited < waitMilliseconds; waited += LookAgainMilliseconds) {
        Sleep(LookAgainMilliseconds);
        window = FindMarked(mark_);
    }
    return window;
}

unsigned long TSingleInstance::FindRunningProcess(unsigned waitMilliseconds) const {
    const HWND window = FindRunningWindow(waitMilliseconds);
    DWORD process = 0;
    if (window) GetWindowThreadProcessId(window, &process);
    return process;
}

bool TSingleInstance::AskRunningToShow(unsigned waitMilliseconds) const {
    const HWND window = FindRunningWindow(waitMilliseconds);
    if (!window) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    AllowSetForegroundWindow(process);
    return PostMessageA(window, ShowRequestMessage(), 0, 0) != FALSE;
}

unsigned TSingleInstance::ShowRequestMessage() {
    static const unsigned message = RegisterWindowMessageA(ShowRequestName);
    return message;
}
