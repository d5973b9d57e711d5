// The two-colour gradient that fills its whole client area, optionally dragging its
// window when pressed: the main window's background.
#pragma once

#include "VrControls.h"

enum class TVrGradDirection { gdUpDown, gdUpDownHalf, gdLeftRight, gdLeftRightHalf, gdChord1, gdChord2 };

class TVrCustomGradient : public TVrGraphicImageControl {
public:
    explicit TVrCustomGradient(TComponent* owner);

    TColor StartColor() const { return startColor_; }
    void SetStartColor(TColor color);
    TColor EndColor() const { return endColor_; }
    void SetEndColor(TColor color);
    // Band or line width in pixels; a value of 0 or less is ignored.
    int ColorWidth() const { return colorWidth_; }
    void SetColorWidth(int width);
    TVrGradDirection Direction() const { return direction_; }
    void SetDirection(TVrGradDirection direction);
    bool SwapColors() const { return swapColors_; }
    void SetSwapColors(bool swap);
    // When set, a left press on the gradient drags the window it lies on.
    bool FormDrag = false;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    TColor startColor_ = clLime;
    TColor endColor_ = clBlack;
    int colorWidth_ = 1;
    TVrGradDirection direction_ = TVrGradDirection::gdUpDown;
    bool swapColors_ = false;
};

class TVrGradient : public TVrCustomGradient {
public:
    using TVrCustomGradient::TVrCustomGradient;
};
