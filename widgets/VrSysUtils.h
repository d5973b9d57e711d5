// The widgets' shared drawing and geometry routines: band and smooth gradients, 3D frames,
// captions, image and caption layout, dither pattern, colour replacement, small utilities.
// Overflow raises EIntOverflow and a colour component outside 0..255 raises ERangeError.
#pragma once

#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"
#include "Controls.h"
#include "Types.h"

#include <memory>
#include <string>

// Gradient fill styles taken by FillBandGradient (TVrGradStyle).
using TVrGradStyle = int;
constexpr TVrGradStyle kGradNone = 0;
constexpr TVrGradStyle kGradTopBottom = 1;
constexpr TVrGradStyle kGradLeftRight = 2;
constexpr TVrGradStyle kGradDiagonalTopLeft = 3;
constexpr TVrGradStyle kGradDiagonalLeftBottom = 4;
constexpr TVrGradStyle kGradTopBottomHalf = 5;
constexpr TVrGradStyle kGradLeftRightHalf = 6;

// Orientation codes of FillSmoothGradient.
constexpr int kSmoothTopBottom = 0;
constexpr int kSmoothLeftRight = 1;

// Layout codes of CalcImageTextLayout, and the widgets' enumeration with its conversion table.
constexpr int kLayoutImageLeft = 1;
constexpr int kLayoutImageRight = 2;
constexpr int kLayoutImageTop = 3;
constexpr int kLayoutImageBottom = 4;
enum class TVrImageTextLayout { ImageLeft, ImageRight, ImageTop, ImageBottom };
constexpr int kImageTextLayoutCodes[] = {kLayoutImageLeft, kLayoutImageRight, kLayoutImageTop, kLayoutImageBottom};
inline int LayoutCode(TVrImageTextLayout layout) { return kImageTextLayoutCodes[static_cast<int>(layout)]; }

int IntMin(int a, int b);
int IntMax(int a, int b);
int WidthOfRect(const TRect& r);
int HeightOfRect(const TRect& r);
bool RectsEqual(const TRect& a, const TRect& b);

template <typename T>
void FreeIfAssigned(T*& object) {
    if (object) FreeAndNil(object);
}

TColor ResolveColor(TColor color);
void SplitColor(TColor color, int& red, int& green, int& blue);
// Nearest integer (ties to even), then limited to 0..255.
int ByteFromReal(double value);
TColor RgbFromReals(double red, double green, double blue);

void FillSmoothGradient(TCanvas& canvas, const TRect& r, TColor startColor, TColor endColor, int orientation,
                        int step);
void FillBandGradient(TCanvas& canvas, const TRect& r, TColor startColor, TColor endColor, TVrGradStyle style,
                      int bandWidth);
// Width nested frames, top-left lines in TopColor and bottom-right ones in BottomColor;
// R shrinks by Width on every side.
void DrawFrame3D(TCanvas& canvas, TRect& r, TColor topColor, TColor bottomColor, int width);
// As DrawFrame3D, but each frame's bottom-left pixel keeps TopColor.
void DrawFrame3DKeepCorner(TCanvas& canvas, TRect& r, TColor topColor, TColor bottomColor, int width);
// Centred on one line when enabled; embossed (highlight under shadow) when disabled.
void DrawCaptionText(TCanvas& canvas, const std::string& text, TRect r, bool enabled);
// An 8 x 8 checkerboard whose (0, 0) pixel is ForeColor.
std::unique_ptr<TBitmap> CreateDitherBitmap(TColor foreColor, TColor backColor);
void CalcImageTextLayout(TCanvas& canvas, const TRect& client, TPoint offset, const std::string& caption, int layout,
                         int margin, int spacing, TPoint imageSize, TPoint& imagePos, TRect& textBounds);
// Every pixel of FromColor becomes ToColor, in place.
void ReplaceBitmapColor(TBitmap& bitmap, TColor fromColor, TColor toColor);
// The outermost windowed owner of a component (the form of a widget on a form), or null.
TWinControl* GetTopOwnerControl(TComponent* component);
