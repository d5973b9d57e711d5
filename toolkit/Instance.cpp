// The single-instance claim as a named mutex, the show request as a registered message.
#include "Instance.h"

#include "Win.h"

namespace {

constexpr char ShowRequestName[] = "SondelShowRunningInstance";

}  // namespace

TSingleInstance::TSingleInstance(const std::string& name) {
    mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
    // A claim that cannot be made at all does not keep the program from running.
    first_ = mutex_ == nullptr || GetLastError() != ERROR_ALREADY_EXISTS;
}

TSingleInstance::~TSingleInstance() {
    if (mutex_) CloseHandle(mutex_);
}

bool TSingleInstance::AskRunningToShow(const std::string& windowClass) {
    const HWND window = FindWindowA(windowClass.c_str(), nullptr);
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
