// The shell's notification area: its record, the call behind a replaceable seam, and the
// window services a tray icon needs (a hidden callback window, cursor, keys, showing windows).
#pragma once

#include "Types.h"

#include <functional>
#include <memory>
#include <string>

struct _NOTIFYICONDATAA;

// Operations of the notification-area call (the platform's numbers).
namespace NotifyIconMessage {
constexpr unsigned Add = 0;
constexpr unsigned Modify = 1;
constexpr unsigned Delete = 2;
}  // namespace NotifyIconMessage

// The platform's record in its first layout (88 bytes in the 32-bit program): window,
// identifier 0, flags message + icon + tip, the callback message, the icon and the tip.
class TNotifyIconData {
public:
    static constexpr unsigned kCallbackMessage = Msg::User + 68;
    static constexpr unsigned kFlags = 7;
    static constexpr int kTipBytes = 64;
    // Characters that fit with the terminating zero.
    static constexpr int kTipLength = kTipBytes - 1;

    TNotifyIconData();
    ~TNotifyIconData();
    TNotifyIconData(const TNotifyIconData&) = delete;
    TNotifyIconData& operator=(const TNotifyIconData&) = delete;

    void SetWindow(HWND window);
    void SetIcon(HICON icon);
    // Copies at most kTipLength characters; an empty text clears all kTipBytes.
    void SetTip(const std::string& tip);
    std::string Tip() const;

    const _NOTIFYICONDATAA& Record() const { return *record_; }
    // The record's size field: the first layout's length.
    unsigned Size() const;

private:
    std::unique_ptr<_NOTIFYICONDATAA> record_;
};

// Where notification-area calls go; tests put a recorder in its place.
class TNotifyIconShell {
public:
    virtual ~TNotifyIconShell() = default;
    // True when the shell accepted the call.
    virtual bool Notify(unsigned message, const TNotifyIconData& data) = 0;
};
TNotifyIconShell& NotifyIconShell();
// nullptr: back to the platform's shell.
void UseNotifyIconShell(TNotifyIconShell* shell);

// The message the shell broadcasts to top-level windows when it (re)creates the taskbar.
unsigned TaskbarCreatedMessage();

// A hidden top-level window (so that it also hears the shell's broadcasts) whose messages go
// to a handler; what the handler leaves unhandled goes to the default window procedure.
class TNotifyWindow {
public:
    // Return true when the message was handled; Result is then returned.
    using THandler = std::function<bool(TMessage& message)>;
    explicit TNotifyWindow(THandler handler);
    ~TNotifyWindow();
    TNotifyWindow(const TNotifyWindow&) = delete;
    TNotifyWindow& operator=(const TNotifyWindow&) = delete;
    HWND Handle() const { return window_; }
    // A window-message timer on this window; its ticks arrive as Msg::Timer with WParam = id.
    void StartTimer(unsigned id, unsigned milliseconds);
    void StopTimer(unsigned id);

private:
    static std::intptr_t Dispatch(HWND window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    friend struct TNotifyWindowClass;
    THandler handler_;
    HWND window_ = nullptr;
};

// The cursor position in screen coordinates.
TPoint CursorScreenPos();
// Shift, Ctrl and Alt as they are held now.
TShiftState KeyboardShiftState();
// Hides a window, or shows it with the restore command.
void HideWindow(HWND window);
void RestoreWindow(HWND window);
bool WindowVisible(HWND window);
// Brings a window to the foreground, as a popup menu of a tray icon needs.
void ForegroundWindow(HWND window);
// Posts the null message, which lets a menu shown for a tray icon close properly.
void PostNullMessage(HWND window);
