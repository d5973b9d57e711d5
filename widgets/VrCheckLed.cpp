// The check LED: layout of lamp and caption, the lamp's rings, and the toggle by
// mouse, space key and accelerator.
#include "VrCheckLed.h"

#include "Bitmap.h"
#include "VrSysUtils.h"

#include <cctype>

namespace {

constexpr int kDefaultWidth = 125;
constexpr int kDefaultHeight = 25;
constexpr TPoint kLayoutOffset{1, 1};
constexpr int kFocusFrameGap = 2;
constexpr char kAcceleratorMark = '&';

int CheckSize(int size) { return IntMin(IntMax(size, TVrCheckLed::kMinCheckSize), TVrCheckLed::kMaxCheckSize); }

}  // namespace

TVrCheckLed::TVrCheckLed(TComponent* owner) : TVrCustomImageControl(owner), palette_(std::make_unique<TVrPalette>()) {
    SetControlStyle(TControlStyle{TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csClickEvents,
                                   TControlStyleFlag::csSetCaption, TControlStyleFlag::csOpaque,
                                   TControlStyleFlag::csReplicatable});
    SetBounds(0, 0, kDefaultWidth, kDefaultHeight);
    SetColor(clBtnFace);
    SetParentColor(false);
    SetTabStop(false);
    palette_->OnChange = [this](TObject*) { UpdateControlCanvas(); };
}

TVrCheckLed::~TVrCheckLed() = default;

void TVrCheckLed::SetCheckWidth(int width) {
    width = CheckSize(width);
    if (width == checkWidth_) return;
    checkWidth_ = width;
    UpdateLayout(true);
}

void TVrCheckLed::SetCheckHeight(int height) {
    height = CheckSize(height);
    if (height == checkHeight_) return;
    checkHeight_ = height;
    UpdateLayout(true);
}

void TVrCheckLed::SetLayout(TVrImageTextLayout layout) {
    if (layout == layout_) return;
    layout_ = layout;
    UpdateLayout(true);
}

void TVrCheckLed::SetMargin(int margin) {
    if (margin == margin_) return;
    margin_ = margin;
    UpdateLayout(true);
}

void TVrCheckLed::SetSpacing(int spacing) {
    if (spacing == spacing_) return;
    spacing_ = spacing;
    UpdateLayout(true);
}

void TVrCheckLed::SetChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    Invalidate();
    if (CheckStyle == TVrCheckLedStyle::csRadioButton && checked && Parent()) {
        TWinControl* parent = Parent();
        for (int i = 0; i < parent->ControlCount(); ++i) {
            auto* sibling = dynamic_cast<TVrCheckLed*>(parent->Controls(i));
            if (sibling && sibling != this && sibling->CheckStyle == TVrCheckLedStyle::csRadioButton)
                sibling->SetChecked(false);
        }
    }
    Change();
}

void TVrCheckLed::Change() {
    if (OnChange) OnChange(this);
}

void TVrCheckLed::UpdateLayout(bool repaint) {
    TCanvas& measure = Canvas();
    measure.Font().Assign(Font());
    TPoint ledPos;
    CalcImageTextLayout(measure, ClientRect(), kLayoutOffset, Caption(), LayoutCode(layout_),
                        margin_, spacing_, Point(checkWidth_, checkHeight_), ledPos, captionRect_);
    ledRect_ = Bounds(ledPos.X, ledPos.Y, checkWidth_, checkHeight_);
    if (repaint) Invalidate();
}

void TVrCheckLed::Paint() {
    ClearBitmapCanvas();
    TCanvas& canvas = BitmapCanvas();
    TLedState state = hovering_ && !checked_ ? kHover : checked_ ? kOn : kOff;
    DrawLed(state, ledRect_, canvas);
    canvas.Font().Assign(Font());
    canvas.Brush().SetColor(Color());
    DrawCaptionText(canvas, Caption(), captionRect_, Enabled());
    TVrCustomImageControl::Paint();
    DrawFocusFrame();
}

void TVrCheckLed::DrawLed(TLedState state, TRect rect, TCanvas& canvas) {
    if (state == kOn)
        DrawFrame3D(canvas, rect, clBlack, clBtnHighlight, 1);
    else
        DrawFrame3D(canvas, rect, clBtnHighlight, clBlack, 1);
    DrawFrame3D(canvas, rect, clBtnHighlight, clBtnShadow, 1);
    DrawFrame3D(canvas, rect, clBtnFace, clBtnFace, 1);
    DrawFrame3D(canvas, rect, clBlack, clBtnHighlight, 1);
    if (state == kHover) {
        std::unique_ptr<TBitmap> dither = CreateDitherBitmap(palette_->Low(), palette_->High());
        canvas.Brush().SetBitmap(dither.get());
        canvas.FillRect(rect);
        canvas.Brush().SetBitmap(nullptr);
        return;
    }
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(state == kOn ? palette_->High() : palette_->Low());
    canvas.FillRect(rect);
}

void TVrCheckLed::DrawFocusFrame() {
    if (!Focused()) return;
    Canvas().DrawFocusRect(InflateRect(captionRect_, kFocusFrameGap, kFocusFrameGap));
}

void TVrCheckLed::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TVrCustomImageControl::MouseDown(button, shift, x, y);
    // The second press of a double click toggles nothing: one toggle per double click.
    const bool secondPress = shift.Contains(TShiftKey::ssDouble);
    if (button == TMouseButton::mbLeft && !secondPress && Enabled() && ledRect_.Contains(Point(x, y))) {
        pressing_ = true;
        checkedBeforePress_ = checked_;
        checked_ = !checked_;
        Invalidate();
    }
    if (TabStop() && CanFocus()) SetFocus();
}

void TVrCheckLed::MouseMove(TShiftState shift, int x, int y) {
    TVrCustomImageControl::MouseMove(shift, x, y);
    bool hovering = ledRect_.Contains(Point(x, y));
    if (hovering == hovering_) return;
    hovering_ = hovering;
    Invalidate();
}

void TVrCheckLed::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TVrCustomImageControl::MouseUp(button, shift, x, y);
    if (pressing_) {
        pressing_ = false;
        if (ledRect_.Contains(Point(x, y))) {
            checked_ = !checked_;
            SetChecked(!checked_);
        } else {
            checked_ = checkedBeforePress_;
            Invalidate();
        }
    }
}

void TVrCheckLed::MouseLeave() {
    TVrCustomImageControl::MouseLeave();
    hovering_ = false;
    Invalidate();
}

void TVrCheckLed::FontChanged() {
    TVrCustomImageControl::FontChanged();
    UpdateLayout(true);
}

void TVrCheckLed::TextChanged() {
    TVrCustomImageControl::TextChanged();
    if (HandleAllocated()) UpdateLayout(true);
}

void TVrCheckLed::CreateWnd() {
    TVrCustomImageControl::CreateWnd();
    UpdateLayout(false);
}

void TVrCheckLed::Resize() {
    TVrCustomImageControl::Resize();
    UpdateLayout(true);
}

void TVrCheckLed::KeyPress(char& key) {
    if (key == ' ') SetChecked(!checked_);
    TVrCustomImageControl::KeyPress(key);
}

bool TVrCheckLed::CMDialogChar(char key) {
    if (!IsAccelerator(key) || !CanFocus()) return false;
    if (TabStop()) SetFocus();
    SetChecked(!checked_);
    return true;
}

bool TVrCheckLed::IsAccelerator(char key) const {
    const std::string& caption = Caption();
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != kAcceleratorMark) continue;
        if (caption[i + 1] == kAcceleratorMark) {
            ++i;
            continue;
        }
        return std::toupper(static_cast<unsigned char>(caption[i + 1])) == std::toupper(static_cast<unsigned char>(key));
    }
    return false;
}

void TVrCheckLed::DoEnter() {
    TVrCustomImageControl::DoEnter();
    DrawFocusFrame();
}

void TVrCheckLed::DoExit() {
    Invalidate();
    TVrCustomImageControl::DoExit();
}

void TVrCheckLed::CMEnabledChanged() {
    TVrCustomImageControl::CMEnabledChanged();
    Invalidate();
}
