// The arrow lamp: its four two-frame bitmaps, centring, lit and dim frames, transparency,
// palette recolouring and mouse tracking.
#include "Bitmap.h"
#include "Colors.h"
#include "Application.h"
#include "VrArrow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct ArrowResource {
    const char* name;
    int width;
    int height;
};

const ArrowResource kArrows[] = {
    {"LEFTARROW", 56, 27}, {"RIGHTARROW", 56, 27}, {"UPARROW", 54, 28}, {"DOWNARROW", 54, 28}};

bool OnFigure(TBitmap& bitmap, int x, int y) { return bitmap.Pixel(x, y) != clWhite; }

TEST(ArrowBitmaps, HaveTwoFramesOfTheirSizeInTheFiveColours) {
    for (const auto& arrow : kArrows) {
        SCOPED_TRACE(arrow.name);
        TBitmap bitmap;
        bitmap.LoadFromResourceName(arrow.name);
        ASSERT_EQ(arrow.width, bitmap.Width());
        ASSERT_EQ(arrow.height, bitmap.Height());
        const int frame = arrow.width / 2;
        int dim = 0, lit = 0;
        for (int y = 0; y < bitmap.Height(); ++y) {
            for (int x = 0; x < bitmap.Width(); ++x) {
                const TColor pixel = bitmap.Pixel(x, y);
                const bool litFrame = x >= frame;
                ASSERT_TRUE(pixel == clWhite || pixel == clBlack || pixel == clGray ||
                            pixel == (litFrame ? clLime : clGreen))
                    << x << "," << y;
                // Both frames hold one figure; only the fill differs.
                const TColor other = bitmap.Pixel(litFrame ? x - frame : x + frame, y);
                if (pixel == clWhite || pixel == clBlack || pixel == clGray) {
                    ASSERT_EQ(pixel, other);
                }
                if (pixel == clGreen) ++dim;
                if (pixel == clLime) ++lit;
            }
        }
        EXPECT_GT(dim, 100);
        EXPECT_EQ(dim, lit);
    }
}

TEST(ArrowBitmaps, RightArrowRunsFromTheLeftEdgeToItsTipOnTheMiddleRow) {
    TBitmap right;
    right.LoadFromResourceName("RIGHTARROW");
    for (int frame = 0; frame < 2; ++frame) {
        const int left = frame * 28;
        EXPECT_TRUE(OnFigure(right, left + 27, 13));
        EXPECT_FALSE(OnFigure(right, left + 27, 12));
        EXPECT_FALSE(OnFigure(right, left + 27, 14));
        EXPECT_TRUE(OnFigure(right, left + 0, 13));
        EXPECT_FALSE(OnFigure(right, left + 0, 0));
        EXPECT_FALSE(OnFigure(right, left + 0, 26));
        // The head is wider than the shaft.
        EXPECT_FALSE(OnFigure(right, left + 5, 5));
        EXPECT_TRUE(OnFigure(right, left + 17, 5));
    }
    // Outlined: the tip and the shaft's end are outline, the middle is fill.
    EXPECT_EQ(clBlack, right.Pixel(27, 13));
    EXPECT_EQ(clGray, right.Pixel(0, 13));
    EXPECT_EQ(clGreen, right.Pixel(10, 13));
    EXPECT_EQ(clLime, right.Pixel(28 + 10, 13));
}

TEST(ArrowBitmaps, OtherArrowsAreTheRightArrowTurned) {
    TBitmap right;
    right.LoadFromResourceName("RIGHTARROW");
    TBitmap left;
    left.LoadFromResourceName("LEFTARROW");
    TBitmap up;
    up.LoadFromResourceName("UPARROW");
    TBitmap down;
    down.LoadFromResourceName("DOWNARROW");
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 28; ++x) {
            const bool figure = OnFigure(right, x, y);
            ASSERT_EQ(figure, OnFigure(left, 27 - x, 26 - y)) << x << "," << y;
            ASSERT_EQ(figure, OnFigure(up, y, 27 - x)) << x << "," << y;
            ASSERT_EQ(figure, OnFigure(down, 26 - y, x)) << x << "," << y;
        }
    }
}

// The main window's arrow: 33 x 25, pointing right, lit, on blue.
struct MainArrow {
    MainArrow() : arrow(nullptr) {
        arrow.SetBounds(200, 8, 33, 25);
        arrow.SetDirection(TVrArrowDirection::pdRight);
        arrow.SetActive(true);
        arrow.SetColor(clBlue);
    }
    std::unique_ptr<TBitmap> Paint() {
        auto image = std::make_unique<TBitmap>(arrow.Width(), arrow.Height());
        arrow.PaintTo(image->Canvas(), 0, 0);
        return image;
    }
    TVrArrow arrow;
};

std::vector<TColor> Pixels(TBitmap& bitmap) {
    std::vector<TColor> pixels;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) pixels.push_back(bitmap.Pixel(x, y));
    return pixels;
}

TEST(Arrow, StartsDimPointingUpOnBlack) {
    TVrArrow arrow(nullptr);
    EXPECT_EQ(50, arrow.Width());
    EXPECT_EQ(45, arrow.Height());
    EXPECT_FALSE(arrow.Active());
    EXPECT_EQ(TVrArrowDirection::pdUp, arrow.Direction());
    EXPECT_EQ(clBlack, arrow.Color());
    EXPECT_FALSE(arrow.ParentColor());
    EXPECT_EQ(clGreen, arrow.Palette().Low());
    EXPECT_EQ(clLime, arrow.Palette().High());
    EXPECT_FALSE(arrow.TrackMouse());
    EXPECT_TRUE(arrow.ControlStyle().Contains(TControlStyleFlag::csOpaque));
    EXPECT_FALSE(arrow.ControlStyle().Contains(TControlStyleFlag::csDoubleClicks));
    // Frame 27 x 28 centred in 50 x 45.
    EXPECT_EQ(Bounds(11, 8, 27, 28), arrow.ArrowRect());
}

TEST(Arrow, MainWindowArrowIsTheLitFrameAtTwoMinusOneOnBlue) {
    MainArrow m;
    EXPECT_EQ(Bounds(2, -1, 28, 27), m.arrow.ArrowRect());
    auto image = m.Paint();
    TBitmap right;
    right.LoadFromResourceName("RIGHTARROW");
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 33; ++x) {
            const int fx = x - 2, fy = y + 1;
            const bool inFrame = fx >= 0 && fx < 28;
            const TColor source = inFrame ? right.Pixel(28 + fx, fy) : clWhite;
            ASSERT_EQ(source == clWhite ? clBlue : source, image->Pixel(x, y)) << x << "," << y;
        }
    }
    // The tip on the frame's middle row, lime fill, grey and black outline.
    EXPECT_EQ(clBlack, image->Pixel(29, 12));
    EXPECT_EQ(clLime, image->Pixel(12, 12));
    EXPECT_EQ(clGray, image->Pixel(2, 12));
    EXPECT_EQ(clBlue, image->Pixel(0, 12));
    EXPECT_EQ(clBlue, image->Pixel(31, 12));
}

TEST(Arrow, DimShowsTheLeftFrame) {
    MainArrow m;
    m.arrow.SetActive(false);
    auto image = m.Paint();
    EXPECT_EQ(clGreen, image->Pixel(12, 12));
    EXPECT_EQ(clBlack, image->Pixel(29, 12));
}

TEST(Arrow, EachDirectionIsCentredFromItsOwnFrame) {
    MainArrow m;
    struct Case {
        TVrArrowDirection direction;
        TRect rect;
        TPoint tip;
    };
    const Case cases[] = {{TVrArrowDirection::pdLeft, Bounds(2, -1, 28, 27), Point(2, 12)},
                          {TVrArrowDirection::pdRight, Bounds(2, -1, 28, 27), Point(29, 12)},
                          {TVrArrowDirection::pdUp, Bounds(3, -1, 27, 28), Point(16, -1)},
                          {TVrArrowDirection::pdDown, Bounds(3, -1, 27, 28), Point(16, 26)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.direction));
        m.arrow.SetDirection(c.direction);
        EXPECT_EQ(c.rect, m.arrow.ArrowRect());
        auto image = m.Paint();
        // The middle of the shaft, a frame's width from the tip.
        const int cx = (c.rect.Left + c.rect.Right) / 2, cy = (c.rect.Top + c.rect.Bottom) / 2;
        EXPECT_EQ(clLime, image->Pixel(cx, cy));
        if (c.tip.Y >= 0 && c.tip.Y < 25) {
            EXPECT_NE(clBlue, image->Pixel(c.tip.X, c.tip.Y));
        }
        EXPECT_EQ(clBlue, image->Pixel(c.rect.Left, c.rect.Top + 1)) << "the white corner is left out";
    }
}

TEST(Arrow, PaletteChangesRecolourFromTheResourceWithoutPilingUp) {
    MainArrow once;
    once.arrow.SetActive(false);
    once.arrow.Palette().SetLow(clRed);
    auto expected = once.Paint();
    EXPECT_EQ(clRed, expected->Pixel(12, 12));

    MainArrow repeated;
    repeated.arrow.SetActive(false);
    repeated.arrow.Palette().SetLow(clLime);
    repeated.arrow.Palette().SetHigh(clGreen);
    repeated.arrow.Palette().SetLow(clYellow);
    repeated.arrow.Palette().SetHigh(clLime);
    repeated.arrow.Palette().SetLow(clRed);
    auto again = repeated.Paint();
    EXPECT_EQ(Pixels(*expected), Pixels(*again));

    // The lit frame takes High, also when High is the dim key colour.
    repeated.arrow.Palette().SetHigh(clGreen);
    repeated.arrow.SetActive(true);
    EXPECT_EQ(clGreen, repeated.Paint()->Pixel(12, 12));
    repeated.arrow.SetActive(false);
    EXPECT_EQ(clRed, repeated.Paint()->Pixel(12, 12));
}

TEST(Arrow, AssigningAPaletteCopiesIt) {
    MainArrow m;
    TVrPalette palette;
    palette.SetLow(clNavy);
    palette.SetHigh(clYellow);
    m.arrow.SetPalette(palette);
    EXPECT_NE(&palette, &m.arrow.Palette());
    EXPECT_EQ(clYellow, m.Paint()->Pixel(12, 12));
    palette.SetHigh(clRed);
    EXPECT_EQ(clYellow, m.arrow.Palette().High());
}

TEST(Arrow, PointsOnTheFigureOnly) {
    MainArrow m;
    EXPECT_TRUE(m.arrow.PtOnArrow(12, 12));
    EXPECT_TRUE(m.arrow.PtOnArrow(29, 12));
    EXPECT_FALSE(m.arrow.PtOnArrow(3, 1)) << "white corner of the frame";
    EXPECT_FALSE(m.arrow.PtOnArrow(0, 12)) << "outside the frame";
    EXPECT_FALSE(m.arrow.PtOnArrow(31, 12));
}

TEST(Arrow, TrackMouseLightsOnlyOverTheFigure) {
    MainArrow m;
    m.arrow.SetActive(false);
    m.arrow.SetTrackMouse(true);
    m.arrow.Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 1));
    EXPECT_EQ(clGreen, m.Paint()->Pixel(12, 12));
    EXPECT_FALSE(m.arrow.Active());
    m.arrow.Perform(WM_MOUSEMOVE, 0, MAKELPARAM(12, 12));
    EXPECT_EQ(clLime, m.Paint()->Pixel(12, 12));
    EXPECT_TRUE(m.arrow.Active());
    Application->SetMouseControl(&m.arrow);
    Application->SetMouseControl(nullptr);
    EXPECT_EQ(clGreen, m.Paint()->Pixel(12, 12));
    EXPECT_FALSE(m.arrow.Active());
}

TEST(Arrow, WithoutTrackMouseActiveStands) {
    MainArrow m;
    m.arrow.Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 1));
    EXPECT_EQ(clLime, m.Paint()->Pixel(12, 12));
}

TEST(Arrow, ADoubleClickIsOneClick) {
    MainArrow m;
    int clicks = 0, doubleClicks = 0;
    m.arrow.OnClick = [&](TObject*) { ++clicks; };
    m.arrow.OnDblClick = [&](TObject*) { ++doubleClicks; };
    m.arrow.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 12));
    m.arrow.Perform(WM_LBUTTONUP, 0, MAKELPARAM(12, 12));
    m.arrow.Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(12, 12));
    m.arrow.Perform(WM_LBUTTONUP, 0, MAKELPARAM(12, 12));
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(0, doubleClicks) << "the arrow takes no double clicks";
    m.arrow.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 12));
    m.arrow.Perform(WM_LBUTTONUP, 0, MAKELPARAM(12, 12));
    EXPECT_EQ(2, clicks);
}

}  // namespace
