// Message timers on a hidden message-only window.
#include "Timer.h"

#include "Application.h"
#include "SysUtils.h"

#include "Win.h"

namespace {
constexpr UINT_PTR kTimerId = 1;
const char kTimerClass[] = "TTimerWindow";
}  // namespace

struct TTimerWindow {
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_TIMER) {
            auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
            if (timer) {
                try {
                    timer->Timer();
                } catch (const std::exception& error) {
                    Application->HandleException(timer, error);
                } catch (...) {
                    Application->HandleCurrentException(timer);
                }
            }
            return 0;
        }
        return DefWindowProcA(window, msg, wParam, lParam);
    }
};

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TTimerWindow::Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kTimerClass;
        RegisterClassA(&wc);
        registered = true;
    }
    window_ = CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    if (!window_) RaiseLastOSError("Creating the timer window");
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TTimer::~TTimer() {
    KillTimer(window_, kTimerId);
    DestroyWindow(window_);
}

void TTimer::UpdateTimer() {
    KillTimer(window_, kTimerId);
    if (Loading() || Designing()) return;
    if (enabled_ && interval_ != 0 && onTimer_) {
        if (!SetTimer(window_, kTimerId, interval_, nullptr)) throw EOutOfResources("No timer resources left.");
    }
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned interval) {
    if (interval == interval_) return;
    interval_ = interval;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TTimer::Loaded() {
    TComponent::Loaded();
    UpdateTimer();
}

void TTimer::Timer() {
    if (enabled_ && onTimer_) onTimer_(this);
}
