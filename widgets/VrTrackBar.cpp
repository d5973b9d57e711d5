// The track bar: geometry between values and pixels, ticks, gutter and thumb drawn off
// screen, and the mouse and keyboard handling that moves the position.
#include "VrTrackBar.h"

#include "Bitmap.h"
#include "Mouse.h"
#include "SysUtils.h"
#include "VrBitmapList.h"
#include "VrSysUtils.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kDefaultWidth = 175;
constexpr int kDefaultHeight = 45;
constexpr int kShortTick = 3;
constexpr int kLongTick = 4;
// Ticks closer than this are thinned out to every second, third... step.
constexpr int kMinTickSpacing = 4;
constexpr int kWantArrows = 1;
const char* const kVerticalThumb = "VRTB_VERT";
const char* const kHorizontalThumb = "VRTB_HORI";

// The nearest integer, ties to even; a value beyond 32 bits is a range error.
int RoundToInt(double value) {
    double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max()))
        throw ERangeError();
    return static_cast<int>(rounded);
}

// A 64-bit intermediate brought back to 32 bits; beyond them is an overflow.
int Checked(long long value) {
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) throw EIntOverflow();
    return static_cast<int>(value);
}

}  // namespace

TVrTrackBar::TVrTrackBar(TComponent* owner)
    : TVrCustomImageControl(owner),
      gutterBevel_(std::make_unique<TVrBevel>()),
      thumbBitmap_(std::make_unique<TBitmap>()),
      link_(std::make_unique<TVrChangeLink>()) {
    SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque);
    SetBounds(0, 0, kDefaultWidth, kDefaultHeight);
    SetTabStop(false);
    SetColor(clWindow);
    SetParentColor(true);
    gutterBevel_->SetInnerStyle(TVrBevelStyle::bsNone);
    gutterBevel_->SetInnerSpace(0);
    gutterBevel_->SetInnerOutline(TVrBevelOutlineStyle::osNone);
    gutterBevel_->SetOuterStyle(TVrBevelStyle::bsLowered);
    gutterBevel_->SetOuterSpace(0);
    gutterBevel_->SetOuterOutline(TVrBevelOutlineStyle::osNone);
    gutterBevel_->OnChange = [this](TObject*) { UpdateControlCanvas(); };
    link_->OnChange = [this](TObject*) { Reload(); };
    LoadThumb();
}

TVrTrackBar::~TVrTrackBar() {
    ReleaseClip();
    if (bitmapList_) bitmapList_->RemoveLink(link_.get());
}

void TVrTrackBar::SetMinValue(int value) {
    if (value == minValue_) return;
    minValue_ = value;
    if (position_ < value)
        SetPosition(value);
    else
        UpdateControlCanvas();
}

void TVrTrackBar::SetMaxValue(int value) {
    if (value == maxValue_) return;
    maxValue_ = value;
    if (value < position_)
        SetPosition(value);
    else
        UpdateControlCanvas();
}

void TVrTrackBar::SetPosition(int value) {
    value = IntMin(IntMax(value, minValue_), maxValue_);
    if (value == position_) return;
    position_ = value;
    UpdateControlCanvas();
    Change();
}

void TVrTrackBar::Change() {
    if (OnChange) OnChange(this);
}

void TVrTrackBar::SetOrientation(TVrOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    if (!Loading()) SetBounds(Left(), Top(), Height(), Width());
    Reload();
}

void TVrTrackBar::SetStyle(TVrProgressStyle style) {
    if (style == style_) return;
    style_ = style;
    UpdateControlCanvas();
}

void TVrTrackBar::SetOptions(TVrTrackBarOptions options) {
    if (options == options_) return;
    options_ = options;
    UpdateControlCanvas();
}

void TVrTrackBar::SetFrequency(int frequency) {
    if (frequency == frequency_) return;
    frequency_ = frequency;
    UpdateControlCanvas();
}

void TVrTrackBar::SetBorderWidth(int width) {
    if (width == borderWidth_) return;
    borderWidth_ = width;
    UpdateControlCanvas();
}

void TVrTrackBar::SetGutterWidth(int width) {
    if (width == gutterWidth_) return;
    gutterWidth_ = width;
    UpdateControlCanvas();
}

void TVrTrackBar::SetGutterColor(TColor color) {
    if (color == gutterColor_) return;
    gutterColor_ = color;
    UpdateControlCanvas();
}

void TVrTrackBar::SetTickMarks(TVrTickMarks marks) {
    if (marks == tickMarks_) return;
    tickMarks_ = marks;
    UpdateControlCanvas();
}

void TVrTrackBar::SetTickColor(TColor color) {
    if (color == tickColor_) return;
    tickColor_ = color;
    UpdateControlCanvas();
}

void TVrTrackBar::SetThumbStates(int states) {
    states = IntMin(IntMax(states, kMinThumbStates), kMaxThumbStates);
    if (states == thumbStates_) return;
    thumbStates_ = states;
    if (!Loading()) LoadThumb();
    UpdateControlCanvas();
}

void TVrTrackBar::SetBackImageIndex(int index) {
    if (index == backImageIndex_) return;
    backImageIndex_ = index;
    UpdateControlCanvas();
}

void TVrTrackBar::SetThumbImageIndex(int index) {
    if (index == thumbImageIndex_) return;
    thumbImageIndex_ = index;
    Reload();
}

void TVrTrackBar::SetBitmapList(TVrBitmapList* list) {
    if (list == bitmapList_) return;
    if (bitmapList_) {
        bitmapList_->RemoveLink(link_.get());
        bitmapList_->RemoveFreeNotification(this);
    }
    bitmapList_ = list;
    if (bitmapList_) {
        bitmapList_->InsertLink(link_.get());
        bitmapList_->FreeNotification(this);
    }
    Reload();
}

void TVrTrackBar::Notification(TComponent* component, TOperation operation) {
    TVrCustomImageControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == bitmapList_) SetBitmapList(nullptr);
}

void TVrTrackBar::SetScaleOffset(int offset) {
    if (offset == scaleOffset_) return;
    scaleOffset_ = offset;
    UpdateControlCanvas();
}

void TVrTrackBar::SetFocusColor(TColor color) {
    if (color == focusColor_) return;
    focusColor_ = color;
    UpdateControlCanvas();
}

void TVrTrackBar::SetFocusOffset(int offset) {
    if (offset == focusOffset_) return;
    focusOffset_ = offset;
    UpdateControlCanvas();
}

TBitmap* TVrTrackBar::GetBitmap(int index) const { return bitmapList_ ? bitmapList_->GetBitmap(index) : nullptr; }

void TVrTrackBar::Reload() {
    LoadThumb();
    UpdateControlCanvas();
}

void TVrTrackBar::LoadThumb() {
    if (TBitmap* image = GetBitmap(thumbImageIndex_))
        thumbBitmap_->Assign(*image);
    else
        thumbBitmap_->SetSize(0, 0);
    if (thumbBitmap_->Empty()) thumbBitmap_->LoadFromResourceName(Vertical() ? kVerticalThumb : kHorizontalThumb);
    thumbHeight_ = thumbBitmap_->Height();
    thumbWidth_ = thumbBitmap_->Width() / thumbStates_;
}

TRect TVrTrackBar::ThumbRect() const {
    int leading = PositionToPixel(position_);
    if (Vertical()) return Bounds((Width() - thumbWidth_) / 2, leading, thumbWidth_, thumbHeight_);
    return Bounds(leading, (Height() - thumbHeight_) / 2, thumbWidth_, thumbHeight_);
}

void TVrTrackBar::Resize() {
    TVrCustomImageControl::Resize();
    UpdateControlCanvas();
}

TRect TVrTrackBar::TrackRect() const { return InflateRect(ClientRect(), -borderWidth_, -borderWidth_); }

int TVrTrackBar::TrackOrigin() const {
    TRect track = TrackRect();
    return IntMax(0, Vertical() ? track.Top : track.Left);
}

int TVrTrackBar::TrackLength() const {
    TRect track = TrackRect();
    return Vertical() ? HeightOfRect(track) - thumbHeight_ : WidthOfRect(track) - thumbWidth_;
}

int TVrTrackBar::PositionToPixel(int value) const {
    // An empty range has no scale: every value sits at the minimum's end.
    long long range = static_cast<long long>(maxValue_) - minValue_;
    double ratio = range == 0 ? 0.0 : static_cast<double>(static_cast<long long>(value) - minValue_) / range;
    long long p = static_cast<long long>(TrackOrigin()) + RoundToInt(TrackLength() * ratio);
    TRect track = TrackRect();
    if (Vertical() && style_ == TVrProgressStyle::psBottomLeft)
        return Checked(static_cast<long long>(track.Top) + track.Bottom - p - thumbHeight_);
    if (!Vertical() && style_ == TVrProgressStyle::psTopRight)
        return Checked(static_cast<long long>(track.Left) + track.Right - p - thumbWidth_);
    return Checked(p);
}

int TVrTrackBar::PixelToPosition(int pixel) const {
    long long p = pixel;
    if (Vertical()) p = static_cast<long long>(Height()) - p - thumbHeight_;
    long long range = static_cast<long long>(maxValue_) - minValue_;
    int length = TrackLength();
    // A track without length has one place only: the minimum.
    long long v = length <= 0 ? 0 : RoundToInt(static_cast<double>(p - TrackOrigin()) * range / length);
    if (options_.Contains(TVrTrackBarOption::toFixedPoints) && frequency_ > 0)
        v = static_cast<long long>(RoundToInt(static_cast<double>(v) / frequency_)) * frequency_;
    return static_cast<int>(std::min<long long>(std::max<long long>(v, 0) + minValue_, maxValue_));
}

void TVrTrackBar::SetPositionFromPixel(int pixel) {
    int origin = TrackOrigin();
    pixel = IntMax(origin, IntMin(pixel, Checked(static_cast<long long>(origin) + TrackLength())));
    auto valueAt = [this](int p) {
        int v = PixelToPosition(p);
        return style_ == TVrProgressStyle::psBottomLeft ? v : Checked(static_cast<long long>(maxValue_) - v + minValue_);
    };
    if (options_.Contains(TVrTrackBarOption::toFixedPoints)) pixel = PositionToPixel(valueAt(pixel));
    SetPosition(valueAt(pixel));
}

void TVrTrackBar::Paint() {
    ClearBitmapCanvas();
    TCanvas& canvas = BitmapCanvas();
    TRect client = ClientRect();
    if (TBitmap* back = GetBitmap(backImageIndex_)) {
        canvas.StretchDraw(client, *back);
    } else {
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.Brush().SetColor(Color());
        canvas.FillRect(client);
    }
    canvas.Pen().SetColor(tickColor_);

    TRect gutter = Vertical()
                       ? Bounds((Width() - gutterWidth_) / 2, borderWidth_, gutterWidth_, Height() - 2 * borderWidth_)
                       : Bounds(borderWidth_, (Height() - gutterWidth_) / 2, Width() - 2 * borderWidth_, gutterWidth_);
    int halfThumb = Vertical() ? thumbHeight_ / 2 : thumbWidth_ / 2;
    if (tickMarks_ == TVrTickMarks::tmBoth || tickMarks_ == TVrTickMarks::tmTopLeft)
        DrawTicks(canvas, (Vertical() ? gutter.Left : gutter.Top) - scaleOffset_, -kShortTick, -kLongTick, halfThumb);
    if (tickMarks_ == TVrTickMarks::tmBoth || tickMarks_ == TVrTickMarks::tmBottomRight)
        DrawTicks(canvas, (Vertical() ? gutter.Right : gutter.Bottom) + scaleOffset_, kShortTick, kLongTick, halfThumb);

    if (gutterBevel_->Visible()) {
        gutterBevel_->Draw(canvas, gutter);
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.Brush().SetColor(gutterColor_);
        canvas.FillRect(gutter);
    }
    if (hasFocus_ && focusOffset_ > -1) {
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.Brush().SetColor(focusColor_);
        canvas.FrameRect(InflateRect(client, -focusOffset_, -focusOffset_));
    }
    DrawThumb(canvas);
    TVrCustomImageControl::Paint();
}

void TVrTrackBar::DrawTicks(TCanvas& canvas, int base, int shortLength, int longLength, int halfThumb) {
    long long range = static_cast<long long>(maxValue_) - minValue_;
    int length = TrackLength();
    // The tick count for a value step of k times the frequency; a frequency of 0 or
    // less marks the two ends only.
    auto count = [&](long long k) -> long long {
        if (frequency_ <= 0) return range == 0 ? 1 : 2;
        return static_cast<long long>(std::nearbyint(static_cast<double>(range) / (static_cast<double>(k) * frequency_))) + 1;
    };
    auto spacious = [&](long long k) {
        long long n = count(k);
        long long spacing = n > 1 ? length / (n - 1) : length;
        return spacing >= kMinTickSpacing || spacing >= length;
    };
    // The tick spacing grows with k, so the smallest fitting k is found by halving.
    long long low = 1;
    long long high = frequency_ > 0 ? 2 * std::llabs(range) / frequency_ + 1 : 1;
    while (low < high) {
        long long middle = low + (high - low) / 2;
        if (spacious(middle))
            high = middle;
        else
            low = middle + 1;
    }
    long long n = count(low);
    long long step = frequency_ > 0 ? low * frequency_ : range;
    long long value = minValue_;
    for (long long j = 1; j <= n; ++j) {
        if (j == n) value = maxValue_;
        int tick = (value == maxValue_ || value == minValue_) ? longLength : shortLength;
        int q = PositionToPixel(static_cast<int>(value)) + halfThumb;
        int from = IntMin(base, base + tick);
        int to = IntMax(base, base + tick);
        if (Vertical()) {
            canvas.MoveTo(from, q);
            canvas.LineTo(to, q);
        } else {
            canvas.MoveTo(q, from);
            canvas.LineTo(q, to);
        }
        value = std::min<long long>(value + step, maxValue_);
    }
}

void TVrTrackBar::DrawThumb(TCanvas& canvas) {
    constexpr int kNormalCell = 0;
    constexpr int kDisabledCell = 1;
    constexpr int kDraggingCell = 2;
    constexpr int kHotCell = 3;
    int cell = !Enabled() ? kDisabledCell : dragging_ ? kDraggingCell : thumbHot_ ? kHotCell : kNormalCell;
    if (cell > thumbStates_ - 1) cell = kNormalCell;
    TColor transparent = thumbBitmap_->Pixel(0, thumbBitmap_->Height() - 1);
    canvas.Brush().SetColor(transparent);
    canvas.Brush().SetStyle(options_.Contains(TVrTrackBarOption::toThumbOpaque) ? TBrushStyle::bsSolid
                                                                                : TBrushStyle::bsClear);
    canvas.BrushCopy(ThumbRect(), *thumbBitmap_, Bounds(cell * thumbWidth_, 0, thumbWidth_, thumbHeight_), transparent);
}

void TVrTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TVrCustomImageControl::MouseDown(button, shift, x, y);
    if (button != TMouseButton::mbLeft) return;
    if (TabStop() && CanFocus()) SetFocus();
    if (ThumbRect().Contains(Point(x, y))) {
        dragging_ = true;
        TRect thumb = ThumbRect();
        grabOffset_ = Vertical() ? y - thumb.Top : x - thumb.Left;
        if (options_.Contains(TVrTrackBarOption::toMouseClip)) {
            TPoint origin = ClientToScreen(Point(0, 0));
            Mouse::ClipTo(Bounds(origin.X, origin.Y, ClientWidth(), ClientHeight()));
            cursorClipped_ = true;
        }
        UpdateControlCanvas();
    } else if (options_.Contains(TVrTrackBarOption::toActiveClick)) {
        SetPositionFromPixel(Vertical() ? y - thumbHeight_ / 2 : x - thumbWidth_ / 2);
    }
}

void TVrTrackBar::MouseMove(TShiftState shift, int x, int y) {
    if (dragging_) {
        SetPositionFromPixel(Vertical() ? y - grabOffset_ : x - grabOffset_);
    } else {
        bool hot = ThumbRect().Contains(Point(x, y));
        if (hot != thumbHot_) {
            thumbHot_ = hot;
            UpdateControlCanvas();
        }
    }
    TVrCustomImageControl::MouseMove(shift, x, y);
}

void TVrTrackBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (dragging_) {
        dragging_ = false;
        UpdateControlCanvas();
    }
    ReleaseClip();
    TVrCustomImageControl::MouseUp(button, shift, x, y);
}

void TVrTrackBar::ReleaseClip() {
    if (!cursorClipped_) return;
    Mouse::ReleaseClip();
    cursorClipped_ = false;
}

void TVrTrackBar::KeyDown(unsigned& key, TShiftState shift) {
    bool modified = shift.Contains(TShiftKey::ssShift) || shift.Contains(TShiftKey::ssCtrl) ||
                    shift.Contains(TShiftKey::ssAlt);
    if (!modified) {
        long long step = 0;
        switch (key) {
        case Vk::Home: SetPosition(maxValue_); break;
        case Vk::End: SetPosition(minValue_); break;
        case Vk::Left: if (!Vertical()) step = Directed(-frequency_); break;
        case Vk::Right: if (!Vertical()) step = Directed(frequency_); break;
        case Vk::Up: if (Vertical()) step = Directed(frequency_); break;
        case Vk::Down: if (Vertical()) step = Directed(-frequency_); break;
        default: break;
        }
        if (step != 0) {
            long long target = position_ + step;
            SetPosition(static_cast<int>(std::max<long long>(std::min<long long>(target, std::numeric_limits<int>::max()),
                                                             std::numeric_limits<int>::min())));
        }
    }
    TVrCustomImageControl::KeyDown(key, shift);
}

bool TVrTrackBar::SetCursorOverThumb() {
    if (Designing() || !ThumbRect().Contains(ScreenToClient(Mouse::CursorPos()))) return false;
    if (options_.Contains(TVrTrackBarOption::toHandPoint)) Mouse::ShowCursor(crVrHandPoint);
    return true;
}

void TVrTrackBar::WndProc(TMessage& message) {
    switch (message.Msg) {
    case Msg::GetDlgCode:
        message.Result = kWantArrows;
        return;
    case Msg::SetCursor:
        if (SetCursorOverThumb()) {
            message.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TVrCustomImageControl::WndProc(message);
}

void TVrTrackBar::CMFocusChanged(TWinControl* focused) {
    bool focus = focused == this;
    if (focus != hasFocus_) {
        hasFocus_ = focus;
        UpdateControlCanvas();
    }
    TVrCustomImageControl::CMFocusChanged(focused);
}

void TVrTrackBar::CMEnabledChanged() {
    TVrCustomImageControl::CMEnabledChanged();
    UpdateControlCanvas();
}
