// Posting a message to a window from any thread.
#include "PostedMessage.h"

#include "Win.h"

bool PostToWindow(HWND window, unsigned msg) { return PostMessageA(window, msg, 0, 0) != FALSE; }
