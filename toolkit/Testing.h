// Helpers for tests of controls: feeding mouse and keyboard messages, pumping messages,
// recording error reports and message boxes, painting into bitmaps, isolating the registry.
#pragma once

#include "Application.h"
#include "Bitmap.h"
#include "Controls.h"

#include <functional>
#include <string>
#include <vector>

namespace Testing {

// Handles waiting messages (and Synchronize calls) for at least Milliseconds.
void PumpMessages(int milliseconds = 0);
// Pumps until Condition holds or Timeout passes; returns whether it held.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMilliseconds = 2000);

// Mouse messages at a point in the control's own coordinates, sent the way the platform
// would: to the control's window, or to its parent's window for a windowless control.
// Keys are the platform's MK_ flags (MK_LBUTTON = 1, MK_SHIFT = 4, MK_CONTROL = 8).
void SendMouse(TControl* control, unsigned msg, int x, int y, unsigned keys = 0);
void MouseMove(TControl* control, int x, int y, unsigned keys = 0);
void MouseDown(TControl* control, int x, int y, TMouseButton button = TMouseButton::mbLeft);
void MouseUp(TControl* control, int x, int y, TMouseButton button = TMouseButton::mbLeft);
// Press and release at one point.
void Click(TControl* control, int x, int y);
void DoubleClick(TControl* control, int x, int y);
// The mouse leaves the control's window.
void MouseLeaveWindow(TWinControl* control);
void KeyDown(TWinControl* control, unsigned key);
void KeyUp(TWinControl* control, unsigned key);
void KeyPress(TWinControl* control, char key);

// Paints the control into Bitmap, sized to the control.
void PaintToBitmap(TControl* control, TBitmap& bitmap);
// The number of GDI objects this process holds now (where the platform does not count them,
// the GDI objects and DCs that the toolkit holds).
int GdiObjectCount();

// Records what the default error report would show, instead of showing it.
class TErrorRecorder {
public:
    TErrorRecorder();
    TErrorRecorder(const TErrorRecorder&) = delete;
    TErrorRecorder& operator=(const TErrorRecorder&) = delete;
    ~TErrorRecorder();
    std::vector<std::string> Messages;

private:
    TExceptionEvent previous_;
};

// Records message boxes (text and caption) and answers them with Answer.
class TMessageBoxRecorder {
public:
    explicit TMessageBoxRecorder(int answer = MsgBox::IdOk);
    TMessageBoxRecorder(const TMessageBoxRecorder&) = delete;
    TMessageBoxRecorder& operator=(const TMessageBoxRecorder&) = delete;
    ~TMessageBoxRecorder();
    struct Box {
        std::string Text;
        std::string Caption;
        unsigned Flags;
    };
    std::vector<Box> Boxes;

private:
    TMessageBoxHook previous_;
};

// Maps HKEY_LOCAL_MACHINE onto a scratch key for the test's lifetime, then deletes it.
class TRegistryOverride {
public:
    TRegistryOverride();
    TRegistryOverride(const TRegistryOverride&) = delete;
    TRegistryOverride& operator=(const TRegistryOverride&) = delete;
    ~TRegistryOverride();
    // The scratch key's path under HKEY_CURRENT_USER.
    const std::string& ScratchPath() const { return path_; }

private:
    std::string path_;
    void* key_ = nullptr;
};

}  // namespace Testing
