// The gradient background: one band or line fill over the client area.
#include "VrGradient.h"

#include "VrSysUtils.h"

namespace {

constexpr int kDefaultSize = 150;
// The system command that moves a window as if dragged by its caption.
constexpr unsigned kMoveByCaption = 0xF012;

// Fill styles of FillBandGradient, indexed by TVrGradDirection.
constexpr TVrGradStyle kFillStyles[] = {kGradTopBottom,     kGradTopBottomHalf,   kGradLeftRight,
                                        kGradLeftRightHalf, kGradDiagonalTopLeft, kGradDiagonalLeftBottom};

}  // namespace

TVrCustomGradient::TVrCustomGradient(TComponent* owner) : TVrGraphicImageControl(owner) {
    SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque + TControlStyleFlag::csReplicatable);
    SetBounds(0, 0, kDefaultSize, kDefaultSize);
}

void TVrCustomGradient::SetStartColor(TColor color) {
    if (color == startColor_) return;
    startColor_ = color;
    UpdateControlCanvas();
}

void TVrCustomGradient::SetEndColor(TColor color) {
    if (color == endColor_) return;
    endColor_ = color;
    UpdateControlCanvas();
}

void TVrCustomGradient::SetColorWidth(int width) {
    if (width <= 0 || width == colorWidth_) return;
    colorWidth_ = width;
    UpdateControlCanvas();
}

void TVrCustomGradient::SetDirection(TVrGradDirection direction) {
    if (direction == direction_) return;
    direction_ = direction;
    UpdateControlCanvas();
}

void TVrCustomGradient::SetSwapColors(bool swap) {
    if (swap == swapColors_) return;
    swapColors_ = swap;
    UpdateControlCanvas();
}

void TVrCustomGradient::Paint() {
    ClearBitmapCanvas();
    TColor first = swapColors_ ? endColor_ : startColor_;
    TColor second = swapColors_ ? startColor_ : endColor_;
    FillBandGradient(BitmapCanvas(), ClientRect(), first, second, kFillStyles[static_cast<int>(direction_)],
                     colorWidth_);
    TVrGraphicImageControl::Paint();
}

void TVrCustomGradient::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TVrGraphicImageControl::MouseDown(button, shift, x, y);
    // The first press of a double click has dragged already.
    if (button != TMouseButton::mbLeft || !FormDrag || shift.Contains(TShiftKey::ssDouble)) return;
    SetMouseCapture(false);
    if (TWinControl* top = GetTopOwnerControl(this)) top->Perform(Msg::SysCommand, kMoveByCaption, 0);
}
