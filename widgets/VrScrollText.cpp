// The marquee: the caption is rendered once into a stencil whose letters are holes, and each
// step only moves the stencil over the graded ink and copies the image to the screen.
#include "VrScrollText.h"

#include "SysUtils.h"
#include "VrSysUtils.h"
#include "VrThreads.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr int kInitialWidth = 70;
constexpr int kInitialHeight = 18;
constexpr unsigned kInitialInterval = 50;

// Numerator / denominator (not 0) to the nearest integer, halves away from zero.
std::int64_t RoundedQuotient(std::int64_t numerator, std::int64_t denominator) {
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    std::int64_t quotient = numerator / denominator;
    const std::int64_t remainder = numerator % denominator;
    if (2 * (remainder < 0 ? -remainder : remainder) >= denominator) quotient += numerator < 0 ? -1 : 1;
    return quotient;
}

int Component(TColor color, int shift) { return (color >> shift) & 0xFF; }
}  // namespace

TColor BlendColor(TColor from, TColor to, int step, int steps) {
    if (step <= 0) step = 1;
    if (steps < step) step = steps;
    const TColor a = ResolveColor(from);
    const TColor b = ResolveColor(to);
    // One step: no way to go, the first colour.
    if (steps == 1) return a;
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        const int shift = 8 * i;
        const std::int64_t difference = Component(b, shift) - Component(a, shift);
        parts[i] = Component(a, shift) + static_cast<int>(RoundedQuotient((step - 1) * difference, steps - 1));
    }
    return RGBColor(parts[0], parts[1], parts[2]);
}

TVrScrollText::TVrScrollText(TComponent* owner) : TVrGraphicImageControl(owner) {
    SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque);
    SetParentColor(true);
    SetBounds(Left(), Top(), kInitialWidth, kInitialHeight);
    scrollOffset_ = -Width();
    // The interval is set while the new timer is enabled, so its source exists (paused) from now on.
    timer_ = std::make_unique<TVrTimer>(nullptr);
    timer_->SetInterval(kInitialInterval);
    timer_->SetEnabled(false);
    timer_->OnTimer = [this](TObject*) { ScrollTick(); };
}

TVrScrollText::~TVrScrollText() { timer_.reset(); }

bool TVrScrollText::Threaded() const { return timer_->TimerType() == TVrTimerType::ttThread; }

void TVrScrollText::SetThreaded(bool threaded) {
    timer_->SetTimerType(threaded ? TVrTimerType::ttThread : TVrTimerType::ttSystem);
}

int TVrScrollText::Interval() const { return static_cast<int>(timer_->Interval()); }

void TVrScrollText::SetInterval(int interval) {
    if (interval < 0) throw ERangeError();
    timer_->SetInterval(static_cast<unsigned>(interval));
}

void TVrScrollText::SetEdgeWidth(int width) {
    if (width == edgeWidth_) return;
    edgeWidth_ = width;
    UpdateBitmaps();
}

void TVrScrollText::SetEdgeStyle(TEdgeStyle style) {
    if (style == edgeStyle_) return;
    edgeStyle_ = style;
    UpdateBitmaps();
}

void TVrScrollText::SetScrollDirection(TScrollDirection direction) {
    if (direction == scrollDirection_) return;
    scrollDirection_ = direction;
    if (!Designing())
        scrollOffset_ = direction == TScrollDirection::sdRightToLeft ? 0 : Width() - stencil_.Width();
    UpdateBitmaps();
}

void TVrScrollText::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    UpdateScrolling();
}

bool TVrScrollText::Scrolling() const { return timer_->Running(); }

void TVrScrollText::CMViewChanged() { UpdateScrolling(); }

void TVrScrollText::UpdateScrolling() {
    // The constructor's own sizing comes before the timer exists.
    if (!timer_ || Designing()) return;
    timer_->SetEnabled(active_ && CanBeSeen());
}

void TVrScrollText::FontChanged() {
    TVrGraphicImageControl::FontChanged();
    UpdateBitmaps();
}

void TVrScrollText::TextChanged() {
    TVrGraphicImageControl::TextChanged();
    UpdateBitmaps();
}

void TVrScrollText::CMColorChanged() {
    TVrGraphicImageControl::CMColorChanged();
    UpdateBitmaps();
}

void TVrScrollText::Resize() {
    TVrGraphicImageControl::Resize();
    // The constructor's own sizing comes before there is anything to build.
    if (timer_) UpdateBitmaps();
}

void TVrScrollText::Loaded() {
    TVrGraphicImageControl::Loaded();
    UpdateBitmaps();
}

void TVrScrollText::UpdateBitmaps() {
    if (Loading()) return;
    const int width = Width(), height = Height();
    const TColor background = Color();
    const TColor ink = Font().Color();

    TCanvas& stencil = stencil_.Canvas();
    stencil.Font().Assign(Font());
    const TPoint text = stencil.TextExtent(Caption());
    stencil_.SetSize(text.X + 2 * width, height);
    stencil.Brush().SetStyle(TBrushStyle::bsSolid);
    stencil.Brush().SetColor(background);
    stencil.FillRect(Rect(0, 0, stencil_.Width(), height));
    // The key must differ from both colours, or its holes would show the wrong pixels.
    const bool greenTaken = ResolveColor(ink) == clGreen || ResolveColor(background) == clGreen;
    const TColor key = greenTaken ? clRed : clGreen;
    stencil.Font().SetColor(key);
    // Letters only: the background is already there.
    stencil.Brush().SetStyle(TBrushStyle::bsClear);
    stencil.TextOut(stencil_.Width() / 2 - text.X / 2, height / 2 - text.Y / 2, Caption());
    // Exactly the key-coloured pixels are left out: the mask is white there, and the stencil
    // is made black there so that it can be laid over the masked ink.
    letters_.Assign(stencil_);
    letters_.Canvas().Brush().SetColor(key);
    letters_.SetMonochrome(true);
    ReplaceBitmapColor(stencil_, key, clBlack);

    ink_.SetSize(width, height);
    TCanvas& inkCanvas = ink_.Canvas();
    inkCanvas.Brush().SetStyle(TBrushStyle::bsSolid);
    inkCanvas.Brush().SetColor(ink);
    inkCanvas.FillRect(Rect(0, 0, width, height));
    inkCanvas.Pen().SetWidth(1);
    const bool left = edgeStyle_ != TEdgeStyle::esRight;
    const bool right = edgeStyle_ != TEdgeStyle::esLeft;
    for (int i = 0; i < edgeWidth_; ++i) {
        inkCanvas.Pen().SetColor(BlendColor(background, ink, i + 1, edgeWidth_));
        if (left) {
            inkCanvas.MoveTo(i, 0);
            inkCanvas.LineTo(i, height);
        }
        if (right) {
            inkCanvas.MoveTo(width - i - 1, 0);
            inkCanvas.LineTo(width - i - 1, height);
        }
    }
    if (Designing()) scrollOffset_ = width / 2 - stencil_.Width() / 2;
    UpdateControlCanvas();
}

void TVrScrollText::Paint() {
    ClearBitmapCanvas();
    TCanvas& image = BitmapCanvas();
    image.Draw(0, 0, ink_);
    // Only the part of the stencil over the widget is copied, through the letter mask: two
    // block transfers of the widget's size, however long the caption is.
    const int left = std::max(0, scrollOffset_);
    const int right = std::min(Width(), scrollOffset_ + stencil_.Width());
    if (left < right) {
        const TRect target = Rect(left, 0, right, Height());
        const TRect source = Rect(left - scrollOffset_, 0, right - scrollOffset_, Height());
        image.SetDeviceTextColor(clBlack);
        image.SetDeviceBackColor(clWhite);
        image.CopyMode = CopyModes::SrcAnd;
        image.CopyRect(target, letters_.Canvas(), source);
        image.CopyMode = CopyModes::SrcPaint;
        image.CopyRect(target, stencil_.Canvas(), source);
        image.CopyMode = CopyModes::SrcCopy;
    }
    TVrGraphicImageControl::Paint();
}

void TVrScrollText::ScrollTick() {
    if (Enabled()) {
        if (scrollDirection_ == TScrollDirection::sdLeftToRight) {
            scrollOffset_ += pixelStep_;
            if (scrollOffset_ >= 0) scrollOffset_ = Width() - stencil_.Width();
        } else {
            scrollOffset_ -= pixelStep_;
            if (scrollOffset_ <= Width() - stencil_.Width()) scrollOffset_ = 0;
        }
    }
    UpdateControlCanvas();
}
