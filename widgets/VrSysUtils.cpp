// Drawing helpers of the widgets, on the toolkit's canvases.
#include "VrSysUtils.h"

#include "SysUtils.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr int kComponentMax = 255;
constexpr int kDitherSize = 8;
constexpr unsigned kMaskCopyRop = 0x00E20746;  // brush where the mask is white, the destination elsewhere

int Add(int a, int b) {
    int result;
    if (__builtin_add_overflow(a, b, &result)) throw EIntOverflow();
    return result;
}
int Sub(int a, int b) {
    int result;
    if (__builtin_sub_overflow(a, b, &result)) throw EIntOverflow();
    return result;
}
int Mul(int a, int b) {
    int result;
    if (__builtin_mul_overflow(a, b, &result)) throw EIntOverflow();
    return result;
}
int Div(int a, int b) {
    if (b == -1 && a == std::numeric_limits<int>::min()) throw EIntOverflow();
    return a / b;  // truncates toward zero
}

int CheckedComponent(int value) {
    if (value < 0 || value > kComponentMax) throw ERangeError();
    return value;
}

struct TSplit {
    int r, g, b;
};

TSplit Split(TColor color) {
    TSplit s{};
    SplitColor(color, s.r, s.g, s.b);
    return s;
}

// The colour at parameter i over span d; a span of 0 gives the start colour.
TColor BandColor(const TSplit& from, const TSplit& to, int i, int d) {
    if (d == 0) return RGBColor(from.r, from.g, from.b);
    int r = CheckedComponent(Add(from.r, Div(Mul(Sub(to.r, from.r), i), d)));
    int g = CheckedComponent(Add(from.g, Div(Mul(Sub(to.g, from.g), i), d)));
    int b = CheckedComponent(Add(from.b, Div(Mul(Sub(to.b, from.b), i), d)));
    return RGBColor(r, g, b);
}

void PaintBand(TCanvas& canvas, const TRect& band, TColor color) {
    canvas.Brush().SetColor(color);
    canvas.FillRect(band);
}

void FrameLoop(TCanvas& canvas, TRect& r, TColor topColor, TColor bottomColor, int width, bool keepCorner) {
    canvas.Pen().SetWidth(1);
    r.Bottom = Sub(r.Bottom, 1);
    r.Right = Sub(r.Right, 1);
    for (int n = 0; n < width; ++n) {
        canvas.Pen().SetColor(topColor);
        canvas.Polyline({Point(r.Left, r.Bottom), Point(r.Left, r.Top), Point(r.Right, r.Top)});
        canvas.Pen().SetColor(bottomColor);
        int endX = keepCorner ? r.Left : Sub(r.Left, 1);
        canvas.Polyline({Point(r.Right, r.Top), Point(r.Right, r.Bottom), Point(endX, r.Bottom)});
        r = TRect{Add(r.Left, 1), Add(r.Top, 1), Sub(r.Right, 1), Sub(r.Bottom, 1)};
    }
    r.Bottom = Add(r.Bottom, 1);
    r.Right = Add(r.Right, 1);
}

}  // namespace

int IntMin(int a, int b) { return a < b ? a : b; }
int IntMax(int a, int b) { return a > b ? a : b; }
int WidthOfRect(const TRect& r) { return Sub(r.Right, r.Left); }
int HeightOfRect(const TRect& r) { return Sub(r.Bottom, r.Top); }
bool RectsEqual(const TRect& a, const TRect& b) { return a == b; }

TColor ResolveColor(TColor color) { return ColorToRGB(color); }

void SplitColor(TColor color, int& red, int& green, int& blue) {
    TColor rgb = ResolveColor(color);
    red = CheckedComponent(rgb & 0xFF);
    green = CheckedComponent((rgb >> 8) & 0xFF);
    blue = CheckedComponent((rgb >> 16) & 0xFF);
}

int ByteFromReal(double value) {
    double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max()))
        throw EIntOverflow();
    int whole = static_cast<int>(rounded);
    if (whole > kComponentMax) return kComponentMax;
    if (whole < 0) return 0;
    return whole;
}

TColor RgbFromReals(double red, double green, double blue) {
    return RGBColor(CheckedComponent(ByteFromReal(red)), CheckedComponent(ByteFromReal(green)),
                    CheckedComponent(ByteFromReal(blue)));
}

void FillSmoothGradient(TCanvas& canvas, const TRect& r, TColor startColor, TColor endColor, int orientation,
                        int step) {
    if (orientation != kSmoothTopBottom && orientation != kSmoothLeftRight) return;
    if (step < 1) return;  // no band would ever advance
    TSplit from = Split(startColor);
    TSplit to = Split(endColor);
    int dR = Sub(to.r, from.r);
    int dG = Sub(to.g, from.g);
    int dB = Sub(to.b, from.b);
    int w = IntMax(1, WidthOfRect(r));
    int h = IntMax(1, HeightOfRect(r));
    bool across = orientation == kSmoothLeftRight;
    int span = across ? w : h;
    TRect band = across ? Bounds(r.Left, r.Top, step, h) : Bounds(r.Left, r.Top, w, step);
    double red = from.r;
    double green = from.g;
    double blue = from.b;
    for (int i = 0; i <= span; i = Add(i, step)) {
        PaintBand(canvas, band, RgbFromReals(red, green, blue));
        band = across ? OffsetRect(band, step, 0) : OffsetRect(band, 0, step);
        red += static_cast<double>(dR) / span * step;
        green += static_cast<double>(dG) / span * step;
        blue += static_cast<double>(dB) / span * step;
    }
}

void FillBandGradient(TCanvas& canvas, const TRect& r, TColor startColor, TColor endColor, TVrGradStyle style,
                      int bandWidth) {
    if (bandWidth < 1) return;  // no band would ever advance
    TSplit from = Split(startColor);
    TSplit to = Split(endColor);
    int w = WidthOfRect(r);
    int h = HeightOfRect(r);
    const int bw = bandWidth;
    switch (style) {
    case kGradTopBottom: {
        TRect band = Bounds(r.Left, r.Top, w, bw);
        for (int i = 0; i < h; i = Add(i, bw)) {
            PaintBand(canvas, band, BandColor(from, to, i, h));
            band = OffsetRect(band, 0, bw);
        }
        break;
    }
    case kGradLeftRight: {
        TRect band = Bounds(r.Left, r.Top, bw, h);
        for (int i = 0; i <= w; i = Add(i, bw)) {
            PaintBand(canvas, band, BandColor(from, to, i, w));
            band = OffsetRect(band, bw, 0);
        }
        break;
    }
    case kGradTopBottomHalf:
    case kGradLeftRightHalf: {
        bool across = style == kGradLeftRightHalf;
        int half = (across ? w : h) / 2;
        TRect band = across ? Bounds(r.Left, r.Top, bw, h) : Bounds(r.Left, r.Top, w, bw);
        auto advance = [&] { band = across ? OffsetRect(band, bw, 0) : OffsetRect(band, 0, bw); };
        int i = 0;
        for (; i < half; i = Add(i, bw)) {
            PaintBand(canvas, band, BandColor(from, to, i, half));
            advance();
        }
        // Past the half (when BW does not divide it) the colour holds at the end colour.
        for (; i >= 0; i = Sub(i, bw)) {
            PaintBand(canvas, band, BandColor(from, to, IntMin(i, half), half));
            advance();
        }
        break;
    }
    case kGradDiagonalTopLeft:
    case kGradDiagonalLeftBottom: {
        int d = Add(w, h);
        canvas.Pen().SetWidth(bw);
        for (int i = 0; i <= d; i = Add(i, bw)) {
            canvas.Pen().SetColor(BandColor(from, to, i, d));
            if (style == kGradDiagonalTopLeft) {
                canvas.MoveTo(i, 0);
                canvas.LineTo(-1, i);
            } else {
                canvas.MoveTo(0, Sub(h, i));
                canvas.LineTo(i, h);
            }
        }
        break;
    }
    default:
        break;
    }
}

void DrawFrame3D(TCanvas& canvas, TRect& r, TColor topColor, TColor bottomColor, int width) {
    FrameLoop(canvas, r, topColor, bottomColor, width, false);
}

void DrawFrame3DKeepCorner(TCanvas& canvas, TRect& r, TColor topColor, TColor bottomColor, int width) {
    FrameLoop(canvas, r, topColor, bottomColor, width, true);
}

void DrawCaptionText(TCanvas& canvas, const std::string& text, TRect r, bool enabled) {
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    if (enabled) {
        canvas.DrawText(text, r, TextFormat::SingleLine | TextFormat::VCenter | TextFormat::Center);
        return;
    }
    r = OffsetRect(r, 1, 1);
    canvas.Font().SetColor(clBtnHighlight);
    canvas.DrawText(text, r, 0);
    r = OffsetRect(r, -1, -1);
    canvas.Font().SetColor(clBtnShadow);
    canvas.DrawText(text, r, 0);
}

std::unique_ptr<TBitmap> CreateDitherBitmap(TColor foreColor, TColor backColor) {
    auto bitmap = std::make_unique<TBitmap>(kDitherSize, kDitherSize);
    TCanvas& canvas = bitmap->Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(backColor);
    canvas.FillRect(Rect(0, 0, kDitherSize, kDitherSize));
    for (int y = 0; y < kDitherSize; ++y)
        for (int x = 0; x < kDitherSize; ++x)
            if (x % 2 == y % 2) canvas.SetPixel(x, y, foreColor);
    return bitmap;
}

void CalcImageTextLayout(TCanvas& canvas, const TRect& client, TPoint offset, const std::string& caption, int layout,
                         int margin, int spacing, TPoint imageSize, TPoint& imagePos, TRect& textBounds) {
    TPoint clientSize{Sub(client.Right, client.Left), Sub(client.Bottom, client.Top)};
    TPoint textSize{0, 0};
    if (!caption.empty()) {
        textBounds = Rect(0, 0, clientSize.X, 0);
        canvas.DrawText(caption, textBounds, TextFormat::CalcRect);
        textSize = TPoint{Sub(textBounds.Right, textBounds.Left), Sub(textBounds.Bottom, textBounds.Top)};
    } else {
        textBounds = Rect(0, 0, 0, 0);
    }
    imagePos = TPoint{0, 0};
    TPoint textPos{0, 0};
    bool beside = layout == kLayoutImageLeft || layout == kLayoutImageRight;
    if (beside) {
        imagePos.Y = Div(Add(Sub(clientSize.Y, imageSize.Y), 1), 2);
        textPos.Y = Div(Add(Sub(clientSize.Y, textSize.Y), 1), 2);
    } else {
        imagePos.X = Div(Add(Sub(clientSize.X, imageSize.X), 1), 2);
        textPos.X = Div(Add(Sub(clientSize.X, textSize.X), 1), 2);
    }
    if (textSize.X == 0 || imageSize.X == 0) spacing = 0;
    int clientAxis = beside ? clientSize.X : clientSize.Y;
    int imageAxis = beside ? imageSize.X : imageSize.Y;
    int textAxis = beside ? textSize.X : textSize.Y;
    if (margin == -1 && spacing == -1) {
        int total = Add(imageAxis, textAxis);
        margin = Div(Sub(clientAxis, total), 3);
        spacing = margin;
    } else if (margin == -1) {
        int total = Add(Add(imageAxis, spacing), textAxis);
        margin = Div(Add(Sub(clientAxis, total), 1), 2);
    } else if (spacing == -1) {
        int rest = Sub(clientAxis, Add(margin, imageAxis));
        spacing = Div(Sub(rest, textAxis), 2);
    }
    switch (layout) {
    case kLayoutImageLeft:
        imagePos.X = margin;
        textPos.X = Add(Add(imagePos.X, imageSize.X), spacing);
        break;
    case kLayoutImageRight:
        imagePos.X = Sub(Sub(clientSize.X, margin), imageSize.X);
        textPos.X = Sub(Sub(imagePos.X, spacing), textSize.X);
        break;
    case kLayoutImageTop:
        imagePos.Y = margin;
        textPos.Y = Add(Add(imagePos.Y, imageSize.Y), spacing);
        break;
    case kLayoutImageBottom:
        imagePos.Y = Sub(Sub(clientSize.Y, margin), imageSize.Y);
        textPos.Y = Sub(Sub(imagePos.Y, spacing), textSize.Y);
        break;
    default:
        break;
    }
    imagePos.X = Add(imagePos.X, Add(client.Left, offset.X));
    imagePos.Y = Add(imagePos.Y, Add(client.Top, offset.Y));
    textBounds = OffsetRect(textBounds, Add(Add(client.Left, textPos.X), offset.X),
                            Add(Add(client.Top, textPos.Y), offset.Y));
}

void ReplaceBitmapColor(TBitmap& bitmap, TColor fromColor, TColor toColor) {
    int w = bitmap.Width();
    int h = bitmap.Height();
    TRect area = Rect(0, 0, w, h);
    TBitmap copy;
    copy.Assign(bitmap);
    copy.SetHandleType(TBitmapHandleType::bmDDB);
    TBitmap mask;
    mask.SetMonochrome(true);
    mask.SetSize(w, h);
    copy.Canvas().Brush().SetColor(fromColor);
    mask.Canvas().CopyRect(area, copy.Canvas(), area);
    TCanvas& target = bitmap.Canvas();
    target.Brush().SetColor(toColor);
    target.SetDeviceTextColor(clBlack);
    target.SetDeviceBackColor(clWhite);
    unsigned previousMode = target.CopyMode;
    target.CopyMode = kMaskCopyRop;
    try {
        target.CopyRect(area, mask.Canvas(), area);
    } catch (...) {
        target.CopyMode = previousMode;
        throw;
    }
    target.CopyMode = previousMode;
}

TWinControl* GetTopOwnerControl(TComponent* component) {
    TWinControl* found = nullptr;
    for (TComponent* owner = component ? component->Owner() : nullptr; owner; owner = owner->Owner()) {
        auto* windowed = dynamic_cast<TWinControl*>(owner);
        if (!windowed) break;
        found = windowed;
    }
    return found;
}
