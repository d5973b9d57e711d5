// Short forms of the toolkit's test helpers for the control widgets' tests.
#pragma once

#include "Bitmap.h"
#include "Controls.h"
#include "Testing.h"

#include <memory>

constexpr unsigned kLeftButtonHeld = 1;

// What the control shows: its paint routine run on a bitmap of its size.
inline std::unique_ptr<TBitmap> PaintedImage(TControl& control) {
    auto image = std::make_unique<TBitmap>();
    Testing::PaintToBitmap(&control, *image);
    return image;
}

inline void MouseDown(TControl& control, int x, int y) { Testing::MouseDown(&control, x, y); }
inline void MouseUp(TControl& control, int x, int y) { Testing::MouseUp(&control, x, y); }
inline void Click(TControl& control, int x, int y) { Testing::Click(&control, x, y); }
inline void MouseDoubleClick(TControl& control, int x, int y) {
    Testing::SendMouse(&control, Msg::LButtonDblClk, x, y, kLeftButtonHeld);
}
inline void MouseMoveTo(TControl& control, int x, int y, bool held = true) {
    Testing::MouseMove(&control, x, y, held ? kLeftButtonHeld : 0);
}
inline void PressKeyDown(TWinControl& control, unsigned key) { Testing::KeyDown(&control, key); }
inline void ReleaseKey(TWinControl& control, unsigned key) { Testing::KeyUp(&control, key); }
inline void PressKey(TWinControl& control, unsigned key) {
    Testing::KeyDown(&control, key);
    Testing::KeyUp(&control, key);
}
inline void TypeChar(TWinControl& control, char key) { Testing::KeyPress(&control, key); }
