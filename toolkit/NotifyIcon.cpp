// The notification-area record and call, and the hidden window of a tray icon.
#include "NotifyIcon.h"

#include "SysUtils.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

static_assert(NOTIFYICONDATAA_V1_SIZE == (sizeof(void*) == 4 ? 88 : 104), "the first layout of the record");
static_assert(TNotifyIconData::kTipBytes == 64, "the first layout's tip");

TNotifyIconData::TNotifyIconData() : record_(std::make_unique<NOTIFYICONDATAA>()) {
    record_->cbSize = NOTIFYICONDATAA_V1_SIZE;
    record_->uID = 0;
    record_->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_->uCallbackMessage = kCallbackMessage;
    static_assert((NIF_MESSAGE | NIF_ICON | NIF_TIP) == kFlags, "message + icon + tip");
}

TNotifyIconData::~TNotifyIconData() = default;

void TNotifyIconData::SetWindow(HWND window) { record_->hWnd = window; }
void TNotifyIconData::SetIcon(HICON icon) { record_->hIcon = icon; }

void TNotifyIconData::SetTip(const std::string& tip) {
    std::memset(record_->szTip, 0, kTipBytes);
    std::memcpy(record_->szTip, tip.data(), std::min<std::size_t>(tip.size(), kTipLength));
}

std::string TNotifyIconData::Tip() const { return std::string(record_->szTip, strnlen(record_->szTip, kTipBytes)); }

unsigned TNotifyIconData::Size() const { return record_->cbSize; }

namespace {
class TPlatformShell : public TNotifyIconShell {
public:
    bool Notify(unsigned message, const TNotifyIconData& data) override {
        return Shell_NotifyIconA(message, const_cast<NOTIFYICONDATAA*>(&data.Record())) != FALSE;
    }
};

TPlatformShell platformShell;
TNotifyIconShell* currentShell = &platformShell;
}  // namespace

TNotifyIconShell& NotifyIconShell() { return *currentShell; }
void UseNotifyIconShell(TNotifyIconShell* shell) { currentShell = shell ? shell : &platformShell; }

unsigned TaskbarCreatedMessage() {
    static const unsigned message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

// The window class of the hidden windows, registered once.
struct TNotifyWindowClass {
    static constexpr const char* kName = "TVrTrayIconWindow";

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* owner = reinterpret_cast<TNotifyWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (owner && owner->handler_) {
            TMessage m{message, wParam, lParam, 0};
            if (owner->handler_(m)) return m.Result;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static void Register() {
        static const bool registered = [] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = Procedure;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = kName;
            if (!RegisterClassA(&windowClass)) RaiseLastOSError("RegisterClass");
            return true;
        }();
        (void)registered;
    }
};

TNotifyWindow::TNotifyWindow(THandler handler) : handler_(std::move(handler)) {
    TNotifyWindowClass::Register();
    window_ = CreateWindowExA(WS_EX_TOOLWINDOW, TNotifyWindowClass::kName, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, GetModuleHandleA(nullptr), this);
    if (!window_) RaiseLastOSError("CreateWindowEx");
}

TNotifyWindow::~TNotifyWindow() {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void TNotifyWindow::StartTimer(unsigned id, unsigned milliseconds) {
    if (!SetTimer(window_, id, milliseconds, nullptr)) throw EOutOfResources("No timer resources left.");
}

void TNotifyWindow::StopTimer(unsigned id) { KillTimer(window_, id); }

TPoint CursorScreenPos() {
    POINT point{};
    GetCursorPos(&point);
    return TPoint{point.x, point.y};
}

TShiftState KeyboardShiftState() {
    TShiftState shift;
    auto held = [](int key) { return (GetKeyState(key) & 0x8000) != 0; };
    if (held(VK_SHIFT)) shift.Include(TShiftKey::ssShift);
    if (held(VK_CONTROL)) shift.Include(TShiftKey::ssCtrl);
    if (held(VK_MENU)) shift.Include(TShiftKey::ssAlt);
    return shift;
}

void HideWindow(HWND window) {
    if (window) ShowWindow(window, SW_HIDE);
}

void RestoreWindow(HWND window) {
    if (window) ShowWindow(window, SW_RESTORE);
}

bool WindowVisible(HWND window) { return window && IsWindowVisible(window); }

void ForegroundWindow(HWND window) {
    if (window) SetForegroundWindow(window);
}

void PostNullMessage(HWND window) {
    if (window) PostMessageA(window, WM_NULL, 0, 0);
}
