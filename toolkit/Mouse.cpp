// The mouse cursor through the platform's cursor calls.
#include "Mouse.h"

#include "Screen.h"
#include "SysUtils.h"
#include "Win.h"

namespace Mouse {

TPoint CursorPos() {
    POINT point{};
    if (!GetCursorPos(&point)) RaiseLastOSError("GetCursorPos");
    return Point(point.x, point.y);
}

void ClipTo(const TRect& screenRect) {
    RECT rect{screenRect.Left, screenRect.Top, screenRect.Right, screenRect.Bottom};
    if (!ClipCursor(&rect)) RaiseLastOSError("ClipCursor");
}

void ReleaseClip() { ClipCursor(nullptr); }

TRect ClipRect() {
    RECT rect{};
    if (!GetClipCursor(&rect)) RaiseLastOSError("GetClipCursor");
    return Rect(rect.left, rect.top, rect.right, rect.bottom);
}

void ShowCursor(TCursor id) { ::SetCursor(Screen->Cursors(id)); }

}  // namespace Mouse
