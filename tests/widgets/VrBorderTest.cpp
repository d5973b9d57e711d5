// The border: every shape's pixels in both styles, the spacer, and deferred repaints.
#include "Application.h"
#include "Bitmap.h"
#include "Form.h"
#include "VrBorder.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr TColor kBeneath = clBlue;

// Paints the border onto a blue bitmap of its size.
std::unique_ptr<TBitmap> Painted(TVrBorder& border) {
    auto bitmap = std::make_unique<TBitmap>(border.Width(), border.Height());
    bitmap->Canvas().Brush().SetColor(kBeneath);
    bitmap->Canvas().FillRect(Rect(0, 0, border.Width(), border.Height()));
    border.PaintTo(bitmap->Canvas(), 0, 0);
    return bitmap;
}

TEST(Border, StartsAsARaisedGreenFrameOfFiftyPixels) {
    TVrBorder border(nullptr);
    EXPECT_EQ(TVrBorderShape::bsFrame, border.Shape());
    EXPECT_EQ(TVrBorderStyle::bsRaised, border.Style());
    EXPECT_EQ(clGreen, border.ShadowColor());
    EXPECT_EQ(clLime, border.HighlightColor());
    EXPECT_EQ(50, border.Width());
    EXPECT_EQ(50, border.Height());
    EXPECT_TRUE(border.ControlStyle().Contains(TControlStyleFlag::csReplicatable));
}

TEST(Border, LoweredFrameOfTheMainWindowIsAGroove) {
    TVrBorder border(nullptr);
    border.SetBounds(8, 48, 217, 73);
    border.SetStyle(TVrBorderStyle::bsLowered);
    auto b = Painted(border);
    // Outer rectangle (0, 0)-(215, 71) in the shadow colour, drawn last.
    for (int x = 0; x <= 215; ++x) {
        ASSERT_EQ(clGreen, b->Pixel(x, 0)) << x;
        ASSERT_EQ(clGreen, b->Pixel(x, 71)) << x;
    }
    for (int y = 0; y <= 71; ++y) {
        ASSERT_EQ(clGreen, b->Pixel(0, y)) << y;
        ASSERT_EQ(clGreen, b->Pixel(215, y)) << y;
    }
    // Inner rectangle (1, 1)-(216, 72) in the highlight colour where the outer one leaves it.
    for (int x = 1; x <= 216; ++x) {
        ASSERT_EQ(x == 215 ? clGreen : clLime, b->Pixel(x, 1)) << x;
        ASSERT_EQ(clLime, b->Pixel(x, 72)) << x;
    }
    for (int y = 1; y <= 72; ++y) {
        ASSERT_EQ(y == 71 ? clGreen : clLime, b->Pixel(1, y)) << y;
        ASSERT_EQ(clLime, b->Pixel(216, y)) << y;
    }
    // Nothing else is painted.
    EXPECT_EQ(kBeneath, b->Pixel(216, 0));
    EXPECT_EQ(kBeneath, b->Pixel(0, 72));
    EXPECT_EQ(kBeneath, b->Pixel(100, 30));
    EXPECT_EQ(kBeneath, b->Pixel(2, 2));
}

TEST(Border, RaisedSwapsTheColours) {
    TVrBorder border(nullptr);
    border.SetBounds(0, 0, 20, 10);
    auto b = Painted(border);
    EXPECT_EQ(clLime, b->Pixel(0, 0));
    EXPECT_EQ(clLime, b->Pixel(18, 8));
    EXPECT_EQ(clGreen, b->Pixel(1, 9));
    EXPECT_EQ(clGreen, b->Pixel(19, 1));
    EXPECT_EQ(clGreen, b->Pixel(2, 1));
}

TEST(Border, BoxPaintsItsCornersAsPolylinesDo) {
    TVrBorder border(nullptr);
    border.SetBounds(0, 0, 10, 6);
    border.SetShape(TVrBorderShape::bsBox);
    border.SetStyle(TVrBorderStyle::bsLowered);
    border.SetShadowColor(clMaroon);
    border.SetHighlightColor(clYellow);
    auto b = Painted(border);
    // Top and left in the shadow, bottom and right in the highlight; the bottom-left corner
    // takes the top-left colour, the top-right corner the bottom-right one.
    EXPECT_EQ(clMaroon, b->Pixel(0, 0));
    EXPECT_EQ(clMaroon, b->Pixel(8, 0));
    EXPECT_EQ(clYellow, b->Pixel(9, 0));
    EXPECT_EQ(clMaroon, b->Pixel(0, 5));
    EXPECT_EQ(clYellow, b->Pixel(1, 5));
    EXPECT_EQ(clYellow, b->Pixel(9, 5));
    EXPECT_EQ(clYellow, b->Pixel(9, 3));
    EXPECT_EQ(clMaroon, b->Pixel(0, 3));
    EXPECT_EQ(kBeneath, b->Pixel(1, 1));

    border.SetStyle(TVrBorderStyle::bsRaised);
    auto raised = Painted(border);
    EXPECT_EQ(clYellow, raised->Pixel(0, 0));
    EXPECT_EQ(clMaroon, raised->Pixel(9, 0));
    EXPECT_EQ(clMaroon, raised->Pixel(9, 5));
}

struct LineCase {
    TVrBorderShape shape;
    // The first line (colour 1) and the second (colour 2): a row or a column index.
    bool rows;
    int first;
    int second;
};

TEST(Border, EdgeLinesAreTwoPixelsOfTheTwoColours) {
    const LineCase cases[] = {{TVrBorderShape::bsTopLine, true, 0, 1},
                              {TVrBorderShape::bsBottomLine, true, 6, 7},
                              {TVrBorderShape::bsLeftLine, false, 0, 1},
                              {TVrBorderShape::bsRightLine, false, 10, 11}};
    for (const auto& c : cases) {
        for (auto style : {TVrBorderStyle::bsLowered, TVrBorderStyle::bsRaised}) {
            SCOPED_TRACE(static_cast<int>(c.shape) * 10 + static_cast<int>(style));
            TVrBorder border(nullptr);
            border.SetBounds(0, 0, 12, 8);
            border.SetShape(c.shape);
            border.SetStyle(style);
            auto b = Painted(border);
            const TColor color1 = style == TVrBorderStyle::bsLowered ? clGreen : clLime;
            const TColor color2 = style == TVrBorderStyle::bsLowered ? clLime : clGreen;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 12; ++x) {
                    const int index = c.rows ? y : x;
                    const TColor expected = index == c.first ? color1 : index == c.second ? color2 : kBeneath;
                    ASSERT_EQ(expected, b->Pixel(x, y)) << x << "," << y;
                }
            }
        }
    }
}

TEST(Border, SpacerDrawsNothing) {
    TVrBorder border(nullptr);
    border.SetBounds(0, 0, 12, 8);
    border.SetShape(TVrBorderShape::bsSpacer);
    border.SetShadowColor(clRed);
    auto b = Painted(border);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(kBeneath, b->Pixel(x, y)) << x << "," << y;
}

class TCountingBorder : public TVrBorder {
public:
    using TVrBorder::TVrBorder;
    int paints = 0;

protected:
    void Paint() override {
        ++paints;
        TVrBorder::Paint();
    }
};

TEST(Border, ChangesRepaintLaterNotAtOnce) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 150);
    auto* border = new TCountingBorder(&form);
    border->SetParent(&form);
    border->SetBounds(10, 10, 60, 40);
    form.Show();
    Application->ProcessMessages();
    form.Update();
    const int before = border->paints;
    ASSERT_GT(before, 0);
    border->SetShape(TVrBorderShape::bsBox);
    border->SetStyle(TVrBorderStyle::bsLowered);
    border->SetShadowColor(clRed);
    border->SetHighlightColor(clYellow);
    EXPECT_EQ(before, border->paints);
    form.Update();
    EXPECT_GT(border->paints, before);
    const int after = border->paints;
    border->SetShape(TVrBorderShape::bsBox);
    form.Update();
    EXPECT_EQ(after, border->paints) << "an unchanged value asks for nothing";
}

}  // namespace
