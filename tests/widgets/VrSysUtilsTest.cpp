// Pixel tests of the drawing helpers on bitmaps, and their range and overflow errors.
#include "SysUtils.h"
#include "VrSysUtils.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

void Fill(TBitmap& bitmap, TColor color = clWhite) {
    bitmap.Canvas().Brush().SetColor(color);
    bitmap.Canvas().FillRect(Rect(0, 0, bitmap.Width(), bitmap.Height()));
}

}  // namespace

TEST(FillBandGradient, LeftRightBandsIncludeTheFarEdge) {
    TBitmap bitmap(16, 4);
    Fill(bitmap);
    FillBandGradient(bitmap.Canvas(), Rect(0, 0, 10, 4), RGBColor(0, 0, 0), RGBColor(200, 100, 50), kGradLeftRight, 5);
    EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(bitmap.Pixel(4, 3), RGBColor(0, 0, 0));
    EXPECT_EQ(bitmap.Pixel(5, 0), RGBColor(100, 50, 25));
    EXPECT_EQ(bitmap.Pixel(10, 0), RGBColor(200, 100, 50));  // third band on the right edge
    EXPECT_EQ(bitmap.Pixel(14, 0), RGBColor(200, 100, 50));
    EXPECT_EQ(bitmap.Pixel(15, 0), clWhite);
}

TEST(FillBandGradient, TopBottomPaintsTwoBandsAndTruncatesTowardZero) {
    TBitmap bitmap(3, 12);
    Fill(bitmap);
    FillBandGradient(bitmap.Canvas(), Rect(0, 0, 3, 10), clRed, clBlack, kGradTopBottom, 5);
    EXPECT_EQ(bitmap.Pixel(0, 0), clRed);
    EXPECT_EQ(bitmap.Pixel(0, 5), RGBColor(255 - 127, 0, 0));  // 255 + (-255 * 5) div 10
    EXPECT_EQ(bitmap.Pixel(0, 10), clWhite);
    TBitmap thirds(1, 3);
    Fill(thirds);
    FillBandGradient(thirds.Canvas(), Rect(0, 0, 1, 3), clRed, clBlack, kGradTopBottom, 1);
    EXPECT_EQ(thirds.Pixel(0, 1), RGBColor(170, 0, 0));
}

TEST(FillBandGradient, MirroredLeftRightRunsStartEndStart) {
    TBitmap bitmap(386, 2);
    Fill(bitmap);
    FillBandGradient(bitmap.Canvas(), Rect(0, 0, 385, 2), clRed, clFuchsia, kGradLeftRightHalf, 1);
    EXPECT_EQ(bitmap.Pixel(0, 0), clRed);
    EXPECT_EQ(bitmap.Pixel(192, 0), clFuchsia);
    EXPECT_EQ(bitmap.Pixel(384, 0), clRed);
    EXPECT_EQ(bitmap.Pixel(96, 0), RGBColor(255, 0, 127));  // 255 * 96 div 192 = 127
    EXPECT_EQ(bitmap.Pixel(385, 0), clWhite);                // 385 bands, no more
}

TEST(FillBandGradient, DiagonalLinesAndNothingForOtherStyles) {
    TBitmap bitmap(10, 10);
    Fill(bitmap);
    FillBandGradient(bitmap.Canvas(), Rect(0, 0, 10, 10), clBlue, clBlue, kGradDiagonalTopLeft, 2);
    EXPECT_EQ(bitmap.Pixel(3, 3), clBlue);
    TBitmap untouched(4, 4);
    Fill(untouched);
    FillBandGradient(untouched.Canvas(), Rect(0, 0, 4, 4), clBlue, clRed, kGradNone, 1);
    FillBandGradient(untouched.Canvas(), Rect(0, 0, 4, 4), clBlue, clRed, 7, 1);
    FillBandGradient(untouched.Canvas(), Rect(0, 0, 4, 4), clBlue, clRed, kGradTopBottom, 0);
    EXPECT_EQ(untouched.Pixel(1, 1), clWhite);
}

TEST(FillBandGradient, OverflowingRectangleRaises) {
    TBitmap bitmap(2, 2);
    Fill(bitmap);
    EXPECT_THROW(FillBandGradient(bitmap.Canvas(), Rect(INT_MIN, 0, INT_MAX, 2), clRed, clBlue, kGradLeftRight, 1),
                 EIntOverflow);
}

TEST(FillSmoothGradient, EmptyHeightStillPaintsOneBand) {
    TBitmap bitmap(4, 4);
    Fill(bitmap);
    FillSmoothGradient(bitmap.Canvas(), Rect(0, 0, 4, 0), clLime, clBlack, kSmoothTopBottom, 2);
    EXPECT_EQ(bitmap.Pixel(0, 0), clLime);
    EXPECT_EQ(bitmap.Pixel(3, 1), clLime);
    EXPECT_EQ(bitmap.Pixel(0, 2), clWhite);
}

TEST(FillSmoothGradient, RealStepsWithClampedOvershoot) {
    TBitmap bitmap(1, 8);
    Fill(bitmap);
    FillSmoothGradient(bitmap.Canvas(), Rect(0, 0, 1, 4), RGBColor(0, 0, 0), RGBColor(255, 0, 0), kSmoothTopBottom, 1);
    EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(bitmap.Pixel(0, 1), RGBColor(64, 0, 0));   // 63.75 rounds to 64
    EXPECT_EQ(bitmap.Pixel(0, 2), RGBColor(128, 0, 0));  // 127.5 ties to even
    EXPECT_EQ(bitmap.Pixel(0, 4), RGBColor(255, 0, 0));
    EXPECT_EQ(bitmap.Pixel(0, 5), clWhite);
}

TEST(ByteFromReal, RoundsTiesToEvenAndClamps) {
    EXPECT_EQ(ByteFromReal(2.5), 2);
    EXPECT_EQ(ByteFromReal(3.5), 4);
    EXPECT_EQ(ByteFromReal(300.0), 255);
    EXPECT_EQ(ByteFromReal(-4.0), 0);
    EXPECT_THROW(ByteFromReal(1e12), EIntOverflow);
    EXPECT_EQ(RgbFromReals(1.4, 254.6, 0), RGBColor(1, 255, 0));
}

TEST(SplitColor, ResolvesSystemColours) {
    int r, g, b;
    SplitColor(RGBColor(1, 2, 3), r, g, b);
    EXPECT_EQ(r * 10000 + g * 100 + b, 10203);
    SplitColor(clBtnFace, r, g, b);
    EXPECT_EQ(RGBColor(r, g, b), ColorToRGB(clBtnFace));
    EXPECT_EQ(ResolveColor(clLime), clLime);
}

TEST(DrawFrame3D, TwoNestedFramesAndTheShrunkRectangle) {
    TBitmap bitmap(10, 10);
    Fill(bitmap);
    TRect r = Rect(0, 0, 10, 10);
    DrawFrame3D(bitmap.Canvas(), r, clRed, clBlue, 2);
    EXPECT_EQ(r, Rect(2, 2, 8, 8));
    for (int x = 0; x <= 8; ++x) EXPECT_EQ(bitmap.Pixel(x, 0), clRed) << x;
    for (int y = 0; y <= 8; ++y) EXPECT_EQ(bitmap.Pixel(0, y), clRed) << y;
    for (int y = 0; y <= 9; ++y) EXPECT_EQ(bitmap.Pixel(9, y), clBlue) << y;
    for (int x = 0; x <= 9; ++x) EXPECT_EQ(bitmap.Pixel(x, 9), clBlue) << x;
    EXPECT_EQ(bitmap.Pixel(1, 1), clRed);
    EXPECT_EQ(bitmap.Pixel(8, 1), clBlue);
    EXPECT_EQ(bitmap.Pixel(1, 8), clBlue);
    EXPECT_EQ(bitmap.Pixel(2, 2), clWhite);
}

TEST(DrawFrame3D, KeepCornerLeavesTheBottomLeftInTheTopColour) {
    TBitmap bitmap(10, 10);
    Fill(bitmap);
    TRect r = Rect(0, 0, 10, 10);
    DrawFrame3DKeepCorner(bitmap.Canvas(), r, clRed, clBlue, 2);
    EXPECT_EQ(r, Rect(2, 2, 8, 8));
    EXPECT_EQ(bitmap.Pixel(0, 9), clRed);
    EXPECT_EQ(bitmap.Pixel(1, 8), clRed);
    EXPECT_EQ(bitmap.Pixel(9, 0), clBlue);
    EXPECT_EQ(bitmap.Pixel(1, 9), clBlue);
}

TEST(DrawCaptionText, DisabledCaptionIsEmbossed) {
    TBitmap bitmap(60, 20);
    Fill(bitmap, clBlack);
    TCanvas& c = bitmap.Canvas();
    c.Font().SetName("Arial");
    c.Font().SetSize(10);
    DrawCaptionText(c, "I", Rect(5, 2, 60, 20), false);
    EXPECT_EQ(c.Font().Color(), clBtnShadow);
    // The glyph's top-left ink is shadow; one pixel right and down of the glyph's last
    // column lies highlight that the shadow does not cover.
    int shadow = 0, highlight = 0, other = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            TColor p = bitmap.Pixel(x, y);
            if (p == ColorToRGB(clBtnShadow)) ++shadow;
            else if (p == ColorToRGB(clBtnHighlight)) ++highlight;
            else if (p != clBlack) ++other;
        }
    EXPECT_GT(shadow, 3);
    EXPECT_GT(highlight, 0);
    EXPECT_EQ(other, 0);
    TColor topLeftInk = clNone;
    for (int y = 0; y < 20 && topLeftInk == clNone; ++y)
        for (int x = 0; x < 60; ++x)
            if (bitmap.Pixel(x, y) != clBlack) {
                topLeftInk = bitmap.Pixel(x, y);
                break;
            }
    EXPECT_EQ(topLeftInk, ColorToRGB(clBtnShadow));
}

TEST(DrawCaptionText, EnabledCaptionIsCentred) {
    TBitmap bitmap(41, 21);
    Fill(bitmap, clBlack);
    TCanvas& c = bitmap.Canvas();
    c.Font().SetColor(clLime);
    DrawCaptionText(c, "H", Rect(0, 0, 41, 21), true);
    int left = 41, right = -1, top = 21, bottom = -1;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 41; ++x)
            if (bitmap.Pixel(x, y) == clLime) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0);
    EXPECT_LE(std::abs((left + right) - 40), 3);
    EXPECT_LE(std::abs((top + bottom) - 20), 4);
}

TEST(CreateDitherBitmap, CheckerboardStartsWithTheForeColour) {
    std::unique_ptr<TBitmap> dither = CreateDitherBitmap(clRed, clBlue);
    ASSERT_EQ(dither->Width(), 8);
    ASSERT_EQ(dither->Height(), 8);
    EXPECT_EQ(dither->Pixel(0, 0), clRed);
    EXPECT_EQ(dither->Pixel(1, 0), clBlue);
    EXPECT_EQ(dither->Pixel(1, 1), clRed);
    EXPECT_EQ(dither->Pixel(7, 6), clBlue);
    EXPECT_EQ(dither->Pixel(7, 7), clRed);
}

TEST(CalcImageTextLayout, ImageLeftWithCentredPair) {
    // Client (0, 0, 73, 25), offset (1, 1), margin -1, spacing 5, a 20 x 13 image: the image
    // and the caption are centred as a pair, 5 pixels apart.
    TBitmap bitmap(80, 30);
    TCanvas& c = bitmap.Canvas();
    TPoint extent = c.TextExtent("Power");
    TPoint imagePos;
    TRect textBounds;
    CalcImageTextLayout(c, Rect(0, 0, 73, 25), Point(1, 1), "Power", kLayoutImageLeft, -1, 5, Point(20, 13), imagePos,
                        textBounds);
    EXPECT_EQ(imagePos.Y, 7);
    EXPECT_EQ(textBounds.Left, imagePos.X + 20 + 5);
    EXPECT_EQ(textBounds.Width(), extent.X);
    EXPECT_EQ(textBounds.Height(), extent.Y);
    int leftMargin = imagePos.X - 1;
    int rightMargin = 73 - (textBounds.Right - 1);
    EXPECT_LE(std::abs(leftMargin - rightMargin), 1);
    EXPECT_GE(leftMargin, rightMargin);
}

TEST(CalcImageTextLayout, EmptyCaptionAndOtherLayouts) {
    TBitmap bitmap(80, 30);
    TPoint imagePos;
    TRect textBounds;
    CalcImageTextLayout(bitmap.Canvas(), Rect(0, 0, 40, 40), Point(0, 0), "", kLayoutImageTop, -1, -1, Point(10, 10),
                        imagePos, textBounds);
    // No caption: spacing becomes 0, so the margin centres the image alone: (40 - 10 + 1) div 2.
    EXPECT_EQ(imagePos, Point(15, 15));
    EXPECT_EQ(textBounds, Rect(20, 25, 20, 25));
    CalcImageTextLayout(bitmap.Canvas(), Rect(0, 0, 40, 40), Point(0, 0), "", kLayoutImageRight, 3, 4,
                        Point(10, 10), imagePos, textBounds);
    EXPECT_EQ(imagePos, Point(27, 15));
    EXPECT_EQ(LayoutCode(TVrImageTextLayout::ImageBottom), 4);
}

TEST(ReplaceBitmapColor, OnlyTheFromColourChanges) {
    TBitmap bitmap(3, 2);
    Fill(bitmap, clBlack);
    bitmap.Canvas().SetPixel(1, 0, clGray);
    bitmap.Canvas().SetPixel(2, 1, clSilver);
    ReplaceBitmapColor(bitmap, clBlack, clNavy);
    EXPECT_EQ(bitmap.Pixel(0, 0), clNavy);
    EXPECT_EQ(bitmap.Pixel(1, 0), clGray);
    EXPECT_EQ(bitmap.Pixel(2, 1), clSilver);
    EXPECT_EQ(bitmap.Pixel(2, 0), clNavy);
    EXPECT_EQ(bitmap.Canvas().CopyMode, 0x00CC0020u);
}

TEST(Geometry, SmallUtilities) {
    EXPECT_EQ(IntMin(3, -2), -2);
    EXPECT_EQ(IntMax(3, -2), 3);
    EXPECT_EQ(WidthOfRect(Rect(2, 3, 10, 4)), 8);
    EXPECT_EQ(HeightOfRect(Rect(2, 3, 10, 4)), 1);
    EXPECT_THROW(WidthOfRect(Rect(INT_MIN, 0, 1, 0)), EIntOverflow);
    EXPECT_TRUE(RectsEqual(Rect(1, 2, 3, 4), Rect(1, 2, 3, 4)));
    EXPECT_FALSE(RectsEqual(Rect(1, 2, 3, 4), Rect(1, 2, 3, 5)));
    TBitmap* owned = new TBitmap();
    FreeIfAssigned(owned);
    EXPECT_EQ(owned, nullptr);
}

TEST(GetTopOwnerControl, FindsTheOutermostWindowedOwner) {
    TComponent plain(nullptr);
    TCustomControl outer(nullptr);
    auto* inner = new TCustomControl(&outer);
    auto* widget = new TComponent(inner);
    EXPECT_EQ(GetTopOwnerControl(widget), &outer);
    EXPECT_EQ(GetTopOwnerControl(inner), &outer);
    EXPECT_EQ(GetTopOwnerControl(new TComponent(&plain)), nullptr);
    EXPECT_EQ(GetTopOwnerControl(&plain), nullptr);
}
