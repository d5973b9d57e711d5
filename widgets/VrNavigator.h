// The media button: a small push button with a shaded face and one of ten transport
// symbols, pressed by the left mouse button or the space key, clicking on release.
#pragma once

#include "VrControls.h"

#include <memory>

class TBitmap;

// The symbols, in the order of the cells of the glyph strips.
enum class TVrButtonType { btPower, btPlay, btPause, btStop, btPrev, btBack, btStep, btNext, btRecord, btEject };

class TVrMediaButton : public TVrCustomImageControl {
public:
    explicit TVrMediaButton(TComponent* owner);
    ~TVrMediaButton() override;

    TVrButtonType ButtonType() const { return buttonType_; }
    void SetButtonType(TVrButtonType type);
    // The outer border while the button has the focus, and otherwise.
    TColor FocusColor() const { return focusColor_; }
    void SetFocusColor(TColor color);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor color);

    // The face is drawn pressed.
    bool Down() const { return down_; }

protected:
    void Paint() override;
    void WndProc(TMessage& message) override;
    void KeyDown(unsigned& key, TShiftState shift) override;
    void KeyUp(unsigned& key, TShiftState shift) override;
    void DoEnter() override;
    void DoExit() override;
    void CMEnabledChanged() override;

private:
    void PressAt(int x, int y);
    TPoint MessagePoint(const TMessage& message) const;

    std::unique_ptr<TBitmap> enabledGlyphs_;
    std::unique_ptr<TBitmap> disabledGlyphs_;
    TColor glyphTransparentColor_;
    TVrButtonType buttonType_ = TVrButtonType::btPause;
    TColor focusColor_ = clBlue;
    TColor borderColor_ = clBlack;
    bool down_ = false;
    bool tracking_ = false;
    bool focused_ = false;
};
