// The mouse cursor itself: where it is, confining it to a rectangle of the screen, and
// showing one of the screen's cursors at once.
#pragma once

#include "Controls.h"
#include "Types.h"

namespace Mouse {

// The cursor's position in screen coordinates.
TPoint CursorPos();
// Keeps the cursor inside Rect (screen coordinates) until ReleaseClip.
void ClipTo(const TRect& screenRect);
void ReleaseClip();
// The rectangle the cursor is kept in now (the whole screen when it is free).
TRect ClipRect();
// Shows the screen's cursor of Id now (while answering the platform's cursor query).
void ShowCursor(TCursor id);

}  // namespace Mouse
