// Asking a window's thread to do something from another thread: a message posted
// to the window, handled later by the window's own procedure on its own thread.
#pragma once

#include "Types.h"

// Posts Msg to Window and returns at once; false when the window is gone.
bool PostToWindow(HWND window, unsigned msg);
