// The media button: face, glyph and edges drawn off screen; press and release by
// mouse and space key.
#include "VrNavigator.h"

#include "Bitmap.h"
#include "VrSysUtils.h"

namespace {

constexpr int kDefaultWidth = 40;
constexpr int kDefaultHeight = 15;
constexpr int kGlyphCells = 10;
constexpr int kFaceInset = 2;
// The face's bands are a tenth of the height, at least two pixels.
constexpr int kBandDivisor = 10;
constexpr int kMinimumBand = 2;
constexpr TColor kGlyphBackground = RGBColor(128, 128, 0);
const char* const kEnabledGlyphs = "EN_IMAGES";
const char* const kDisabledGlyphs = "DI_IMAGES";

}  // namespace

TVrMediaButton::TVrMediaButton(TComponent* owner)
    : TVrCustomImageControl(owner),
      enabledGlyphs_(std::make_unique<TBitmap>()),
      disabledGlyphs_(std::make_unique<TBitmap>()),
      glyphTransparentColor_(kGlyphBackground) {
    SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque - TControlStyleFlag::csSetCaption);
    SetBounds(Left(), Top(), kDefaultWidth, kDefaultHeight);
    SetTabStop(false);
    enabledGlyphs_->LoadFromResourceName(kEnabledGlyphs);
    disabledGlyphs_->LoadFromResourceName(kDisabledGlyphs);
}

TVrMediaButton::~TVrMediaButton() = default;

void TVrMediaButton::SetButtonType(TVrButtonType type) {
    if (type == buttonType_) return;
    buttonType_ = type;
    UpdateControlCanvas();
}

void TVrMediaButton::SetFocusColor(TColor color) {
    if (color == focusColor_) return;
    focusColor_ = color;
    UpdateControlCanvas();
}

void TVrMediaButton::SetBorderColor(TColor color) {
    if (color == borderColor_) return;
    borderColor_ = color;
    UpdateControlCanvas();
}

void TVrMediaButton::Paint() {
    ClearBitmapCanvas();
    TCanvas& canvas = BitmapCanvas();
    TColor top = down_ ? clBtnFace : clBtnHighlight;
    TColor bottom = down_ ? clBtnHighlight : clBtnShadow;
    int band = IntMax(Height() / kBandDivisor, kMinimumBand);
    TRect face = InflateRect(ClientRect(), -kFaceInset, -kFaceInset);
    FillSmoothGradient(canvas, face, top, bottom, kSmoothTopBottom, band);

    TBitmap& strip = Enabled() ? *enabledGlyphs_ : *disabledGlyphs_;
    int cellWidth = strip.Width() / kGlyphCells;
    int cellHeight = strip.Height();
    int x = Width() / 2 - cellWidth / 2;
    int y = Height() / 2 - cellHeight / 2 + (down_ ? 1 : 0);
    int cell = static_cast<int>(buttonType_);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.BrushCopy(Bounds(x, y, cellWidth, cellHeight), strip, Bounds(cell * cellWidth, 0, cellWidth, cellHeight),
                     glyphTransparentColor_);

    TRect edge = ClientRect();
    TColor border = focused_ ? focusColor_ : borderColor_;
    DrawFrame3D(canvas, edge, border, border, 1);
    if (down_)
        DrawFrame3D(canvas, edge, clBtnShadow, clBtnFace, 1);
    else
        DrawFrame3DKeepCorner(canvas, edge, clBtnHighlight, clBtnShadow, 1);
    TVrCustomImageControl::Paint();
}

void TVrMediaButton::PressAt(int x, int y) {
    if (!ClientRect().Contains(Point(x, y))) return;
    tracking_ = true;
    down_ = true;
    SetMouseCapture(true);
    Repaint();
}

void TVrMediaButton::WndProc(TMessage& message) {
    switch (message.Msg) {
    case Msg::LButtonDown: {
        TVrCustomImageControl::WndProc(message);
        TPoint point = MessagePoint(message);
        PressAt(point.X, point.Y);
        if (TabStop() && CanFocus()) SetFocus();
        return;
    }
    case Msg::LButtonDblClk: {
        TVrCustomImageControl::WndProc(message);
        TPoint point = MessagePoint(message);
        PressAt(point.X, point.Y);
        return;
    }
    case Msg::MouseMove: {
        TVrCustomImageControl::WndProc(message);
        if (!tracking_) return;
        bool inside = ClientRect().Contains(MessagePoint(message));
        if (inside != down_) {
            down_ = inside;
            Repaint();
        }
        return;
    }
    case Msg::LButtonUp: {
        SetMouseCapture(false);
        bool wasPressed = tracking_ && down_;
        tracking_ = false;
        down_ = false;
        if (wasPressed) Repaint();
        // The framework clicks only for a plain press; the second press of a double
        // click steps too, as two quick clicks on a push button do.
        const bool frameworkClicks = Clicked();
        TVrCustomImageControl::WndProc(message);
        if (wasPressed && !frameworkClicks && ClientRect().Contains(MessagePoint(message))) Click();
        return;
    }
    default:
        break;
    }
    TVrCustomImageControl::WndProc(message);
}

void TVrMediaButton::DoEnter() {
    focused_ = true;
    Repaint();
    TVrCustomImageControl::DoEnter();
}

void TVrMediaButton::DoExit() {
    focused_ = false;
    Repaint();
    TVrCustomImageControl::DoExit();
}

void TVrMediaButton::CMEnabledChanged() {
    TVrCustomImageControl::CMEnabledChanged();
    Repaint();
}

void TVrMediaButton::KeyDown(unsigned& key, TShiftState shift) {
    TVrCustomImageControl::KeyDown(key, shift);
    if (key == Vk::Space && !down_) PressAt(0, 0);
}

void TVrMediaButton::KeyUp(unsigned& key, TShiftState shift) {
    TVrCustomImageControl::KeyUp(key, shift);
    if (key != Vk::Space) return;
    SetMouseCapture(false);
    if (tracking_ && down_) {
        down_ = false;
        Repaint();
        Click();
    }
    tracking_ = false;
}

TPoint TVrMediaButton::MessagePoint(const TMessage& message) const {
    return Point(static_cast<short>(message.LParam & 0xFFFF), static_cast<short>((message.LParam >> 16) & 0xFFFF));
}
