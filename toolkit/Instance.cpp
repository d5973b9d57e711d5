// The single-instance claim as a named mutex, the running copy's window in a small
// named shared record, the show request as a registered message.
#include "Instance.h"

#include "Win.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char ShowRequestName[] = "SondelShowRunningInstance";
constexpr char WindowRecordSuffix[] = ".Window";
// The handle as a 64-bit value, so 32- and 64-bit copies share one layout.
constexpr DWORD WindowRecordSize = sizeof(std::uint64_t);

// Runs Use on a view of the record; false when there is no record to see.
template <typename F>
bool WithRecord(void* record, F use) {
    if (!record) return false;
    void* view = MapViewOfFile(record, FILE_MAP_ALL_ACCESS, 0, 0, WindowRecordSize);
    if (!view) return false;
    use(view);
    UnmapViewOfFile(view);
    return true;
}

}  // namespace

TSingleInstance::TSingleInstance(const std::string& name) {
    mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
    // A claim that cannot be made at all does not keep the program from running.
    first_ = mutex_ == nullptr || GetLastError() != ERROR_ALREADY_EXISTS;
    windowRecord_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, WindowRecordSize,
                                       (name + WindowRecordSuffix).c_str());
}

TSingleInstance::~TSingleInstance() {
    if (windowRecord_) CloseHandle(windowRecord_);
    if (mutex_) CloseHandle(mutex_);
}

void TSingleInstance::PublishWindow(HWND window) {
    const auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window));
    WithRecord(windowRecord_, [&](void* view) { std::memcpy(view, &value, sizeof value); });
}

bool TSingleInstance::AskRunningToShow() const {
    std::uint64_t value = 0;
    WithRecord(windowRecord_, [&](void* view) { std::memcpy(&value, view, sizeof value); });
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
    if (!window || !IsWindow(window)) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    AllowSetForegroundWindow(process);
    return PostMessageA(window, ShowRequestMessage(), 0, 0) != FALSE;
}

unsigned TSingleInstance::ShowRequestMessage() {
    static const unsigned message = RegisterWindowMessageA(ShowRequestName);
    return message;
}
