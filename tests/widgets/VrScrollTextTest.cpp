// The scroll text: colour blending, positions after ticks in both directions, the graded
// edges seen through the letters, the key colour, and a timer that runs only while the
// text can be seen.
#include "Application.h"
#include "Bitmap.h"
#include "Form.h"
#include "SysUtils.h"
#include "Testing.h"
#include "VrScrollText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

namespace {

TEST(BlendColor, RunsFromTheFirstColourToTheLastRoundingHalvesAway) {
    EXPECT_EQ(clBlack, BlendColor(clBlack, clLime, 1, 10));
    EXPECT_EQ(RGBColor(0, 28, 0), BlendColor(clBlack, clLime, 2, 10));
    EXPECT_EQ(RGBColor(0, 142, 0), BlendColor(clBlack, clLime, 6, 10));
    EXPECT_EQ(clLime, BlendColor(clBlack, clLime, 10, 10));
    // 3 x 1 / 2 = 1.5 rounds up; going down, -1.5 rounds to -2.
    EXPECT_EQ(RGBColor(2, 1, 0), BlendColor(RGBColor(0, 3, 0), RGBColor(3, 0, 0), 2, 3));
    // Out-of-range steps are clamped; one step is the first colour.
    EXPECT_EQ(clBlack, BlendColor(clBlack, clLime, 0, 10));
    EXPECT_EQ(clBlack, BlendColor(clBlack, clLime, -3, 10));
    EXPECT_EQ(clLime, BlendColor(clBlack, clLime, 12, 10));
    EXPECT_EQ(clRed, BlendColor(clRed, clLime, 1, 1));
    // No steps at all: step 0 of 0, which the formula takes all the way.
    EXPECT_EQ(clLime, BlendColor(clBlack, clLime, 1, 0));
    // System colours are resolved first.
    EXPECT_EQ(static_cast<TColor>(GetSysColor(COLOR_BTNFACE)), BlendColor(clBtnFace, clWhite, 1, 5));
}

TEST(ScrollText, StartsStoppedAtMinusItsWidth) {
    TVrScrollText text(nullptr);
    EXPECT_EQ(70, text.Width());
    EXPECT_EQ(18, text.Height());
    EXPECT_EQ(-70, text.ScrollOffset());
    EXPECT_EQ(15, text.EdgeWidth());
    EXPECT_EQ(TEdgeStyle::esBoth, text.EdgeStyle());
    EXPECT_EQ(TScrollDirection::sdLeftToRight, text.ScrollDirection());
    EXPECT_EQ(1, text.PixelStep());
    EXPECT_EQ(50, text.Interval());
    EXPECT_TRUE(text.Threaded());
    EXPECT_FALSE(text.Active());
    EXPECT_TRUE(text.ControlStyle().Contains(TControlStyleFlag::csOpaque));
}

TEST(ScrollText, NegativeIntervalIsARangeErrorAndKeepsTheInterval) {
    TVrScrollText text(nullptr);
    text.SetInterval(25);
    EXPECT_THROW(text.SetInterval(-1), ERangeError);
    EXPECT_EQ(25, text.Interval());
    text.SetThreaded(false);
    EXPECT_FALSE(text.Threaded());
}

// With an empty caption the stencil is twice the width: the offset cycles over one width.
TEST(ScrollText, RightToLeftRunsFromZeroToMinusTheWidthAndWraps) {
    TVrScrollText text(nullptr);
    text.SetScrollDirection(TScrollDirection::sdRightToLeft);
    EXPECT_EQ(0, text.ScrollOffset());
    for (int i = 0; i < 69; ++i) text.ScrollTick();
    EXPECT_EQ(-69, text.ScrollOffset());
    text.ScrollTick();
    EXPECT_EQ(0, text.ScrollOffset()) << "reaching minus the width wraps at once";
    text.ScrollTick();
    EXPECT_EQ(-1, text.ScrollOffset());
}

TEST(ScrollText, LeftToRightRunsUpToZeroAndWraps) {
    TVrScrollText text(nullptr);
    text.SetScrollDirection(TScrollDirection::sdRightToLeft);
    text.SetScrollDirection(TScrollDirection::sdLeftToRight);
    EXPECT_EQ(-70, text.ScrollOffset());
    for (int i = 0; i < 69; ++i) text.ScrollTick();
    EXPECT_EQ(-1, text.ScrollOffset());
    text.ScrollTick();
    EXPECT_EQ(-70, text.ScrollOffset());
}

TEST(ScrollText, APassOfACaptionTakesItsWidthPlusTheWidgetsInSteps) {
    TVrScrollText text(nullptr);
    text.SetBounds(0, 0, 113, 25);
    text.Font().SetName("Arial");
    text.Font().SetHeight(-16);
    text.SetCaption("(c) 2004 Dravik Electronics");
    TBitmap probe(1, 1);
    probe.Canvas().Font().Assign(text.Font());
    const int tw = probe.Canvas().TextWidth(text.Caption());
    ASSERT_GT(tw, 100);
    text.SetPixelStep(3);
    text.SetScrollDirection(TScrollDirection::sdRightToLeft);
    // The pass ends when the offset reaches -(TW + Width): a remainder is one more step.
    const int steps = (tw + 113 + 2) / 3;
    for (int i = 1; i < steps; ++i) {
        text.ScrollTick();
        ASSERT_EQ(-3 * i, text.ScrollOffset()) << i;
    }
    text.ScrollTick();
    EXPECT_EQ(0, text.ScrollOffset());
}

TEST(ScrollText, PixelStepBeyondThePassWrapsEveryStep) {
    TVrScrollText text(nullptr);
    text.SetPixelStep(500);
    text.SetScrollDirection(TScrollDirection::sdRightToLeft);
    text.ScrollTick();
    EXPECT_EQ(0, text.ScrollOffset());
    text.SetScrollDirection(TScrollDirection::sdLeftToRight);
    text.ScrollTick();
    EXPECT_EQ(-70, text.ScrollOffset());
}

TEST(ScrollText, DisabledStaysWhereItIsAndResumesFromThere) {
    TVrScrollText text(nullptr);
    text.SetScrollDirection(TScrollDirection::sdRightToLeft);
    text.ScrollTick();
    text.ScrollTick();
    text.SetEnabled(false);
    text.ScrollTick();
    EXPECT_EQ(-2, text.ScrollOffset());
    text.SetEnabled(true);
    text.ScrollTick();
    EXPECT_EQ(-3, text.ScrollOffset());
}

// A scroll text as the main window has it: lime letters on black with 10-pixel edges.
struct Marquee {
    Marquee() : text(nullptr) {
        text.SetBounds(0, 0, 113, 25);
        text.SetParentColor(false);
        text.SetColor(clBlack);
        text.Font().SetName("Arial");
        text.Font().SetHeight(-22);
        text.Font().SetStyle({TFontStyle::fsBold});
        text.Font().SetColor(clLime);
        text.SetEdgeWidth(10);
        text.SetCaption("WMWMWMWM");
        text.SetScrollDirection(TScrollDirection::sdRightToLeft);
        // Strokes are wider than two pixels, so every column still sees letters.
        text.SetPixelStep(2);
    }
    std::unique_ptr<TBitmap> Paint() {
        auto image = std::make_unique<TBitmap>(text.Width(), text.Height());
        text.PaintTo(image->Canvas(), 0, 0);
        return image;
    }
    // Every colour seen through the letters in each column, over a whole pass.
    std::map<int, std::set<TColor>> ColumnsOverAPass() {
        std::map<int, std::set<TColor>> seen;
        const int start = text.ScrollOffset();
        do {
            auto image = Paint();
            for (int x = 0; x < image->Width(); ++x)
                for (int y = 0; y < image->Height(); ++y)
                    if (image->Pixel(x, y) != text.Color()) seen[x].insert(image->Pixel(x, y));
            text.ScrollTick();
        } while (text.ScrollOffset() != start);
        return seen;
    }
    TVrScrollText text;
};

TEST(ScrollText, LettersShowTheGradedInkAtTheEdges) {
    Marquee m;
    auto seen = m.ColumnsOverAPass();
    EXPECT_EQ(0u, seen.count(0)) << "column 0 is the background colour";
    EXPECT_EQ(0u, seen.count(112));
    EXPECT_EQ((std::set<TColor>{RGBColor(0, 28, 0)}), seen[1]);
    EXPECT_EQ((std::set<TColor>{RGBColor(0, 28, 0)}), seen[111]);
    EXPECT_EQ((std::set<TColor>{RGBColor(0, 142, 0)}), seen[5]);
    EXPECT_EQ((std::set<TColor>{RGBColor(0, 142, 0)}), seen[107]);
    EXPECT_EQ((std::set<TColor>{clLime}), seen[9]);
    EXPECT_EQ((std::set<TColor>{clLime}), seen[56]);
    EXPECT_EQ((std::set<TColor>{clLime}), seen[103]);
}

TEST(ScrollText, EdgeStylesFadeOnlyTheirSide) {
    Marquee m;
    m.text.SetEdgeStyle(TEdgeStyle::esLeft);
    auto left = m.ColumnsOverAPass();
    EXPECT_EQ((std::set<TColor>{RGBColor(0, 28, 0)}), left[1]);
    EXPECT_EQ((std::set<TColor>{clLime}), left[111]);
    m.text.SetEdgeStyle(TEdgeStyle::esRight);
    auto right = m.ColumnsOverAPass();
    EXPECT_EQ((std::set<TColor>{clLime}), right[1]);
    EXPECT_EQ((std::set<TColor>{RGBColor(0, 28, 0)}), right[111]);
}

TEST(ScrollText, EdgeWidthOneAndZero) {
    Marquee m;
    m.text.SetEdgeWidth(1);
    auto one = m.ColumnsOverAPass();
    EXPECT_EQ(0u, one.count(0));
    EXPECT_EQ((std::set<TColor>{clLime}), one[1]);
    m.text.SetEdgeWidth(0);
    auto none = m.ColumnsOverAPass();
    EXPECT_EQ((std::set<TColor>{clLime}), none[0]);
    EXPECT_EQ((std::set<TColor>{clLime}), none[112]);
}

TEST(ScrollText, GreenLettersUseARedKeyAndStillShow) {
    Marquee m;
    m.text.Font().SetColor(clGreen);
    m.text.SetEdgeWidth(0);
    auto seen = m.ColumnsOverAPass();
    EXPECT_EQ((std::set<TColor>{clGreen}), seen[56]);
    m.text.Font().SetColor(clLime);
    m.text.SetColor(clGreen);
    seen = m.ColumnsOverAPass();
    EXPECT_EQ((std::set<TColor>{clLime}), seen[56]);
}

TEST(ScrollText, EmptyCaptionShowsPlainBackground) {
    Marquee m;
    m.text.SetCaption("");
    EXPECT_TRUE(m.ColumnsOverAPass().empty());
}

// A running notice in a shown window, as the main window has it: fast ticks, a caption
// long enough that no pass ends while a test looks.
class SeenScrollText : public ::testing::Test {
protected:
    static constexpr int FormClientWidth = 300;
    static constexpr int FormClientHeight = 100;
    static constexpr int Quiet = 150;
    // Far enough right that the window can be narrowed past it (a captioned window has a minimum width).
    static constexpr int TextLeft = 200;

    class TCountingScrollText : public TVrScrollText {
    public:
        using TVrScrollText::TVrScrollText;
        int Paints = 0;

    protected:
        void Paint() override {
            ++Paints;
            TVrScrollText::Paint();
        }
    };

    void SetUp() override {
        form.SetClientSize(FormClientWidth, FormClientHeight);
        text.SetParent(&form);
        text.SetBounds(TextLeft, 20, 10000, 25);
        text.SetScrollDirection(TScrollDirection::sdRightToLeft);
        text.SetInterval(5);
        form.Show();
        // The first paint of the shown window is done before a test looks.
        Testing::PumpMessages(Quiet);
    }

    // The text moves (within a generous time).
    bool Moves() {
        const int from = text.ScrollOffset();
        return Testing::PumpUntil([&] { return text.ScrollOffset() != from; });
    }
    // Neither a tick nor a paint while the window's messages run for a while.
    bool StandsStill() {
        const int at = text.ScrollOffset();
        const int paints = text.Paints;
        Testing::PumpMessages(Quiet);
        return text.ScrollOffset() == at && text.Paints == paints && !text.Scrolling();
    }

    TForm form{nullptr};
    TCountingScrollText text{nullptr};
};

TEST_F(SeenScrollText, ActiveRunsTheTimerAndStopsAndRestarts) {
    EXPECT_TRUE(StandsStill()) << "not active yet";
    text.SetActive(true);
    EXPECT_TRUE(text.Scrolling());
    EXPECT_TRUE(Moves());
    text.SetActive(false);
    EXPECT_TRUE(StandsStill());
    text.SetActive(true);
    EXPECT_TRUE(Moves());
}

TEST_F(SeenScrollText, HidingTheWindowStopsTheTextWhereItStoodAndShowingResumesFromThere) {
    text.SetActive(true);
    ASSERT_TRUE(Moves());
    form.Hide();
    const int stood = text.ScrollOffset();
    EXPECT_TRUE(StandsStill());
    form.Show();
    EXPECT_TRUE(text.Scrolling());
    ASSERT_TRUE(Moves());
    // From where it stood, not from the start of a pass: moving left, still near.
    EXPECT_LT(text.ScrollOffset(), stood);
    EXPECT_GT(text.ScrollOffset(), stood - 1000);
}

TEST_F(SeenScrollText, MinimisingStopsItAndRestoringStartsIt) {
    text.SetActive(true);
    ShowWindow(form.Handle(), SW_MINIMIZE);
    EXPECT_TRUE(StandsStill());
    ShowWindow(form.Handle(), SW_RESTORE);
    EXPECT_TRUE(Moves());
}

TEST_F(SeenScrollText, HidingAndRestoringWithThePlatformsCallsAsTheTrayDoes) {
    text.SetActive(true);
    ShowWindow(form.Handle(), SW_HIDE);
    EXPECT_TRUE(StandsStill());
    ShowWindow(form.Handle(), SW_RESTORE);
    EXPECT_TRUE(Moves());
}

TEST_F(SeenScrollText, AWidgetOutsideTheClientAreaStandsStill) {
    text.SetActive(true);
    // The window narrowed past the widget, as the compact view leaves the options column out.
    form.SetClientSize(TextLeft - 50, FormClientHeight);
    ASSERT_EQ(TextLeft - 50, form.ClientWidth());
    EXPECT_TRUE(StandsStill());
    form.SetClientSize(TextLeft + 1, FormClientHeight);
    EXPECT_TRUE(Moves()) << "one column of it can be seen";
    form.SetClientSize(FormClientWidth, FormClientHeight);
    text.SetTop(FormClientHeight);
    EXPECT_TRUE(StandsStill());
    text.SetTop(20);
    EXPECT_TRUE(Moves());
}

TEST_F(SeenScrollText, AHiddenWidgetStandsStill) {
    text.SetActive(true);
    text.Hide();
    EXPECT_TRUE(StandsStill());
    text.Show();
    EXPECT_TRUE(Moves());
}

TEST_F(SeenScrollText, ActivatedWhileHiddenItWaitsUntilSeen) {
    form.Hide();
    text.SetActive(true);
    EXPECT_TRUE(StandsStill());
    form.Show();
    EXPECT_TRUE(Moves());
}

TEST_F(SeenScrollText, AWidgetWithoutAWindowStandsStill) {
    text.SetActive(true);
    ASSERT_TRUE(text.Scrolling());
    text.SetParent(nullptr);
    EXPECT_TRUE(StandsStill());
    text.SetParent(&form);
    EXPECT_TRUE(Moves());
}

TEST(ScrollText, ClickFiresOnClickOncePerDoubleClick) {
    TVrScrollText text(nullptr);
    int clicks = 0;
    text.OnClick = [&](TObject*) { ++clicks; };
    text.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    text.Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(1, clicks);
    // The notice's web page opens once for a double click.
    text.Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    text.Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(1, clicks);
}

TEST(ScrollText, WhileLoadingOnlyTheOffsetMovesAndLoadedBuildsOnce) {
    TVrScrollText text(nullptr);
    text.BeginLoading();
    text.SetBounds(0, 0, 100, 20);
    text.SetCaption("Loading");
    text.SetScrollDirection(TScrollDirection::sdRightToLeft);
    EXPECT_EQ(0, text.ScrollOffset());
    text.ScrollTick();
    // Nothing is built yet: the stencil is empty, so the first step already wraps.
    EXPECT_EQ(0, text.ScrollOffset());
    text.EndLoading();
    text.ScrollTick();
    EXPECT_EQ(-1, text.ScrollOffset());
}

}  // namespace
