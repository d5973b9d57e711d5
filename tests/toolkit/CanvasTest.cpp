// Drawing on bitmap canvases, read back pixel by pixel.
#include "Bitmap.h"
#include "Canvas.h"
#include "Streams.h"
#include "SysUtils.h"
#include "Testing.h"

#include <gtest/gtest.h>

TEST(Canvas, FillRectPaintsExactlyTheRectangle) {
    TBitmap bitmap(10, 10);
    bitmap.Canvas().Brush().SetColor(clWhite);
    bitmap.Canvas().FillRect(Rect(0, 0, 10, 10));
    bitmap.Canvas().Brush().SetColor(clRed);
    bitmap.Canvas().FillRect(Rect(2, 3, 5, 6));
    EXPECT_EQ(bitmap.Pixel(2, 3), clRed);
    EXPECT_EQ(bitmap.Pixel(4, 5), clRed);
    EXPECT_EQ(bitmap.Pixel(5, 5), clWhite);
    EXPECT_EQ(bitmap.Pixel(4, 6), clWhite);
    EXPECT_EQ(bitmap.Pixel(1, 3), clWhite);
}

TEST(Canvas, LineLeavesItsEndPointAndPolylineItsLastPoint) {
    TBitmap bitmap(10, 10);
    TCanvas& c = bitmap.Canvas();
    c.Brush().SetColor(clBlack);
    c.FillRect(Rect(0, 0, 10, 10));
    c.Pen().SetColor(clLime);
    c.MoveTo(0, 0);
    c.LineTo(5, 0);
    EXPECT_EQ(bitmap.Pixel(4, 0), clLime);
    EXPECT_EQ(bitmap.Pixel(5, 0), clBlack);
    c.Pen().SetColor(clBlue);
    c.Polyline({Point(0, 9), Point(0, 2), Point(9, 2)});
    EXPECT_EQ(bitmap.Pixel(0, 9), clBlue);
    EXPECT_EQ(bitmap.Pixel(0, 2), clBlue);
    EXPECT_EQ(bitmap.Pixel(8, 2), clBlue);
    EXPECT_EQ(bitmap.Pixel(9, 2), clBlack);
}

TEST(Canvas, PixelsAndSystemColours) {
    TBitmap bitmap(4, 4);
    bitmap.Canvas().SetPixel(1, 2, clBtnShadow);
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 2), ColorToRGB(clBtnShadow));
    EXPECT_EQ(bitmap.Pixel(1, 2), ColorToRGB(clBtnShadow));
    EXPECT_EQ(bitmap.Pixel(9, 9), clNone);
}

TEST(Canvas, TextInFontColourOverClearBrush) {
    TBitmap bitmap(60, 20);
    TCanvas& c = bitmap.Canvas();
    c.Brush().SetColor(clNavy);
    c.FillRect(Rect(0, 0, 60, 20));
    c.Brush().SetStyle(TBrushStyle::bsClear);
    c.Font().SetColor(clYellow);
    c.TextOut(2, 2, "HH");
    int yellow = 0;
    int other = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            TColor p = bitmap.Pixel(x, y);
            if (p == clYellow) ++yellow;
            else if (p != clNavy) ++other;
        }
    EXPECT_GT(yellow, 10);
    EXPECT_EQ(other, 0);
    TPoint extent = c.TextExtent("HH");
    EXPECT_GT(extent.X, 4);
    EXPECT_GT(extent.Y, 6);
    TRect measured = Rect(0, 0, 60, 0);
    c.DrawText("HH", measured, TextFormat::CalcRect | TextFormat::SingleLine);
    EXPECT_EQ(measured.Width(), extent.X);
}

TEST(Canvas, CopyRectAndClipRect) {
    TBitmap source(4, 4);
    source.Canvas().Brush().SetColor(clGreen);
    source.Canvas().FillRect(Rect(0, 0, 4, 4));
    TBitmap dest(8, 8);
    dest.Canvas().Brush().SetColor(clWhite);
    dest.Canvas().FillRect(Rect(0, 0, 8, 8));
    dest.Canvas().CopyRect(Rect(4, 4, 6, 6), source.Canvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(dest.Pixel(4, 4), clGreen);
    EXPECT_EQ(dest.Pixel(5, 5), clGreen);
    EXPECT_EQ(dest.Pixel(6, 6), clWhite);
    EXPECT_EQ(dest.Canvas().ClipRect(), Rect(0, 0, 8, 8));
}

TEST(Canvas, MonochromeMaskReplacesOneColour) {
    // The mask sequence the widgets use to recolour bitmaps: a monochrome copy made against
    // the key colour, then the brush written through it with the 0xE20746 transfer.
    TBitmap target(3, 1);
    target.Canvas().SetPixel(0, 0, clGray);
    target.Canvas().SetPixel(1, 0, clSilver);
    target.Canvas().SetPixel(2, 0, clGray);
    TBitmap mask;
    mask.Assign(target);
    mask.Canvas().Brush().SetColor(clGray);
    mask.SetMonochrome(true);
    EXPECT_EQ(mask.Pixel(0, 0), clWhite);
    EXPECT_EQ(mask.Pixel(1, 0), clBlack);
    target.Canvas().Brush().SetColor(clLime);
    target.Canvas().SetDeviceTextColor(clBlack);
    target.Canvas().SetDeviceBackColor(clWhite);
    target.Canvas().CopyMode = 0x00E20746;
    target.Canvas().CopyRect(Rect(0, 0, 3, 1), mask.Canvas(), Rect(0, 0, 3, 1));
    EXPECT_EQ(target.Pixel(0, 0), clLime);
    EXPECT_EQ(target.Pixel(1, 0), clSilver);
    EXPECT_EQ(target.Pixel(2, 0), clLime);
}

TEST(Canvas, DrawLeavesOutTheTransparentColour) {
    TBitmap sprite(2, 2);
    sprite.Canvas().Brush().SetColor(clOlive);
    sprite.Canvas().FillRect(Rect(0, 0, 2, 2));
    sprite.Canvas().SetPixel(1, 0, clRed);
    sprite.SetTransparent(true);
    EXPECT_EQ(sprite.TransparentColor(), clOlive);  // bottom-left pixel
    TBitmap dest(4, 4);
    dest.Canvas().Brush().SetColor(clBlue);
    dest.Canvas().FillRect(Rect(0, 0, 4, 4));
    dest.Canvas().Draw(1, 1, sprite);
    EXPECT_EQ(dest.Pixel(2, 1), clRed);
    EXPECT_EQ(dest.Pixel(1, 1), clBlue);
    EXPECT_EQ(dest.Pixel(2, 2), clBlue);
}

TEST(Canvas, BrushCopyReplacesTheKeyColourWithTheBrushOrLeavesItOut) {
    TBitmap strip(4, 1);
    strip.Canvas().Brush().SetColor(clOlive);
    strip.Canvas().FillRect(Rect(0, 0, 4, 1));
    strip.Canvas().SetPixel(3, 0, clLime);
    TBitmap dest(2, 1);
    dest.Canvas().Brush().SetColor(clBlue);
    dest.Canvas().FillRect(Rect(0, 0, 2, 1));
    dest.Canvas().Brush().SetColor(clRed);
    dest.Canvas().BrushCopy(Rect(0, 0, 2, 1), strip, Rect(2, 0, 4, 1), clOlive);
    EXPECT_EQ(dest.Pixel(0, 0), clRed);
    EXPECT_EQ(dest.Pixel(1, 0), clLime);
    dest.Canvas().Brush().SetColor(clBlue);
    dest.Canvas().FillRect(Rect(0, 0, 2, 1));
    dest.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
    dest.Canvas().BrushCopy(Rect(0, 0, 2, 1), strip, Rect(2, 0, 4, 1), clOlive);
    EXPECT_EQ(dest.Pixel(0, 0), clBlue);
    EXPECT_EQ(dest.Pixel(1, 0), clLime);
}

TEST(Bitmap, ResizeKeepsPixelsAndAssignCopies) {
    TBitmap bitmap(2, 2);
    bitmap.Canvas().SetPixel(1, 1, clMaroon);
    bitmap.SetSize(3, 3);
    EXPECT_EQ(bitmap.Pixel(1, 1), clMaroon);
    EXPECT_EQ(bitmap.Pixel(2, 2), clWhite);
    TBitmap copy;
    copy.Assign(bitmap);
    bitmap.Canvas().SetPixel(1, 1, clAqua);
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.Pixel(1, 1), clMaroon);
    copy.SetHandleType(TBitmapHandleType::bmDDB);
    EXPECT_EQ(copy.Pixel(1, 1), clMaroon);
    EXPECT_TRUE(TBitmap().Empty());
}

TEST(Bitmap, StreamRoundTripAndRefusedImages) {
    TBitmap bitmap(3, 2);
    bitmap.Canvas().SetPixel(0, 0, clRed);
    bitmap.Canvas().SetPixel(2, 1, RGBColor(1, 2, 3));
    TMemoryStream stream;
    stream.WriteBuffer("ab", 2);
    bitmap.SaveToStream(stream);
    size_t imageSize = stream.Bytes().size() - 2;
    EXPECT_EQ(imageSize, 14u + 40u + 2u * 12u);
    stream.SetPosition(2);
    TBitmap loaded;
    loaded.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(stream.Bytes().size()));
    EXPECT_EQ(loaded.Width(), 3);
    EXPECT_EQ(loaded.Height(), 2);
    EXPECT_EQ(loaded.Pixel(0, 0), clRed);
    EXPECT_EQ(loaded.Pixel(2, 1), RGBColor(1, 2, 3));

    std::vector<std::uint8_t> bytes = stream.Bytes();
    bytes[2 + 22] = 0xFF;  // height far beyond the pixel data
    bytes[2 + 23] = 0x7F;
    TMemoryStream bad(std::vector<std::uint8_t>(bytes.begin() + 2, bytes.end()));
    EXPECT_THROW(loaded.LoadFromStream(bad), EInvalidGraphic);
    TMemoryStream shortStream(std::vector<std::uint8_t>{'B', 'M', 0xFF, 0xFF, 0, 0});
    EXPECT_THROW(loaded.LoadFromStream(shortStream), EStreamError);
}

TEST(Bitmap, MissingResourceRaises) {
    TBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromResourceName("NO_SUCH_BITMAP"), EInvalidGraphic);
}

TEST(Gdi, RepeatedDrawingKeepsTheObjectCountFlat) {
    TBitmap bitmap(20, 20);
    auto draw = [&] {
        for (int i = 0; i < 1000; ++i) {
            TCanvas& c = bitmap.Canvas();
            c.Brush().SetColor(RGBColor(i & 0xFF, 0, 0));
            c.FillRect(Rect(0, 0, 20, 20));
            c.Pen().SetColor(RGBColor(0, i & 0xFF, 0));
            c.LineTo(i % 20, 19);
            c.Font().SetSize(8 + i % 3);
            c.TextOut(0, 0, "A");
            TBitmap scratch(4, 4);
            bitmap.Canvas().Draw(0, 0, scratch);
        }
    };
    draw();
    int before = Testing::GdiObjectCount();
    draw();
    EXPECT_LE(Testing::GdiObjectCount(), before + 2);
}
