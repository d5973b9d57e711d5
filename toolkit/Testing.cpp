// Test helpers that reach the platform for the tests of every library.
#include "Testing.h"

#include "SysUtils.h"
#include "WinHandles.h"

namespace Testing {

namespace {

struct TTarget {
    HWND window;
    int dx;
    int dy;
};

TTarget TargetOf(TControl* control) {
    if (auto* windowed = dynamic_cast<TWinControl*>(control)) return TTarget{windowed->Handle(), 0, 0};
    if (!control->Parent()) throw EInvalidOperation("A windowless control without a parent gets no mouse input");
    return TTarget{control->Parent()->Handle(), control->Left(), control->Top()};
}

unsigned ButtonMessage(TMouseButton button, bool down) {
    switch (button) {
    case TMouseButton::mbRight: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case TMouseButton::mbMiddle: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    case TMouseButton::mbLeft: break;
    }
    return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
}

unsigned ButtonKey(TMouseButton button) {
    switch (button) {
    case TMouseButton::mbRight: return MK_RBUTTON;
    case TMouseButton::mbMiddle: return MK_MBUTTON;
    case TMouseButton::mbLeft: break;
    }
    return MK_LBUTTON;
}

}  // namespace

void PumpMessages(int milliseconds) {
    DWORD start = GetTickCount();
    do {
        Application->ProcessMessages();
        if (milliseconds > 0) Sleep(1);
    } while (static_cast<int>(GetTickCount() - start) < milliseconds);
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMilliseconds) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (static_cast<int>(GetTickCount() - start) >= timeoutMilliseconds) return false;
        Application->ProcessMessages();
        Sleep(1);
    }
    return true;
}

void SendMouse(TControl* control, unsigned msg, int x, int y, unsigned keys) {
    TTarget target = TargetOf(control);
    SendMessageA(target.window, msg, keys, MAKELPARAM(x + target.dx, y + target.dy));
}

void MouseMove(TControl* control, int x, int y, unsigned keys) { SendMouse(control, WM_MOUSEMOVE, x, y, keys); }

void MouseDown(TControl* control, int x, int y, TMouseButton button) {
    SendMouse(control, ButtonMessage(button, true), x, y, ButtonKey(button));
}

void MouseUp(TControl* control, int x, int y, TMouseButton button) {
    SendMouse(control, ButtonMessage(button, false), x, y, 0);
}

void Click(TControl* control, int x, int y) {
    MouseDown(control, x, y);
    MouseUp(control, x, y);
}

void DoubleClick(TControl* control, int x, int y) {
    Click(control, x, y);
    SendMouse(control, WM_LBUTTONDBLCLK, x, y, MK_LBUTTON);
    MouseUp(control, x, y);
}

void MouseLeaveWindow(TWinControl* control) { SendMessageA(control->Handle(), WM_MOUSELEAVE, 0, 0); }

void KeyDown(TWinControl* control, unsigned key) { SendMessageA(control->Handle(), WM_KEYDOWN, key, 1); }

void KeyUp(TWinControl* control, unsigned key) {
    SendMessageA(control->Handle(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

void KeyPress(TWinControl* control, char key) {
    SendMessageA(control->Handle(), WM_CHAR, static_cast<unsigned char>(key), 1);
}

void PaintToBitmap(TControl* control, TBitmap& bitmap) {
    bitmap.SetSize(control->Width(), control->Height());
    control->PaintTo(bitmap.Canvas(), 0, 0);
}

int GdiObjectCount() {
    // Wine does not keep the platform's count (it answers 0); the toolkit's own tally then serves.
    int system = static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    return system > 0 ? system : GdiTally().load();
}

TErrorRecorder::TErrorRecorder() : previous_(Application->OnException) {
    Application->OnException = [this](TObject*, const std::exception& error) { Messages.push_back(error.what()); };
}

TErrorRecorder::~TErrorRecorder() { Application->OnException = previous_; }

TMessageBoxRecorder::TMessageBoxRecorder(int answer) : previous_(Application->MessageBoxHook) {
    Application->MessageBoxHook = [this, answer](const std::string& text, const std::string& caption,
                                                 unsigned flags) {
        Boxes.push_back(Box{text, caption, flags});
        return answer;
    };
}

TMessageBoxRecorder::~TMessageBoxRecorder() { Application->MessageBoxHook = previous_; }

TRegistryOverride::TRegistryOverride()
    : path_("Software\\SondelTestScratch\\" + IntToStr(static_cast<long long>(GetCurrentProcessId()))) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        throw Exception("Cannot create the scratch key " + path_);
    key_ = key;
    LONG result = RegOverridePredefKey(HKEY_LOCAL_MACHINE, key);
    if (result != ERROR_SUCCESS) throw EOSError("RegOverridePredefKey: " + SysErrorMessage(result), result);
}

TRegistryOverride::~TRegistryOverride() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(static_cast<HKEY>(key_));
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
}

}  // namespace Testing
