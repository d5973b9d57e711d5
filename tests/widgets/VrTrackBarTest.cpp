// The track bar in the main window's configuration: geometry, thumb and tick pixels,
// and the position moved by program writes, keys, clicks and dragging.
#include "Bitmap.h"
#include "Form.h"
#include "VrBitmapList.h"
#include "VrTrackBar.h"
#include "ControlsTesting.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr TColor kWhite = RGBColor(255, 255, 255);
constexpr TColor kBlack = RGBColor(0, 0, 0);

// The power slider: vertical, 25 x 57, 0..15, ticks every 3, border 6, lime gutter on blue.
class PowerTrackBar : public ::testing::Test {
protected:
    PowerTrackBar() : form(nullptr) {
        bar = new TVrTrackBar(&form);
        bar->SetParent(&form);
        bar->SetOrientation(TVrOrientation::voVertical);
        bar->SetBounds(192, 56, 25, 57);
        bar->SetMaxValue(15);
        bar->SetFrequency(3);
        bar->SetBorderWidth(6);
        bar->SetGutterColor(clLime);
        bar->SetColor(clBlue);
        bar->SetTabStop(true);
        bar->OnChange = [this](TObject*) { changes.push_back(bar->Position()); };
        form.HandleNeeded();
    }

    std::unique_ptr<TBitmap> Painted() { return PaintedImage(*bar); }

    TForm form;
    TVrTrackBar* bar;
    std::vector<int> changes;
};

TEST_F(PowerTrackBar, GeometryOfTheMainWindowsSlider) {
    EXPECT_EQ(bar->ThumbWidth(), 17);
    EXPECT_EQ(bar->ThumbHeight(), 9);
    EXPECT_EQ(bar->TrackRect(), Rect(6, 6, 19, 51));
    EXPECT_EQ(bar->TrackLength(), 36);
    EXPECT_EQ(bar->TrackOrigin(), 6);
    EXPECT_EQ(bar->PositionToPixel(15), 6);
    EXPECT_EQ(bar->PositionToPixel(0), 42);
    EXPECT_EQ(bar->PositionToPixel(7), 25);
    EXPECT_EQ(bar->PositionToPixel(8), 23);
    EXPECT_EQ(bar->PixelToPosition(6), 15);
    EXPECT_EQ(bar->PixelToPosition(42), 0);
    EXPECT_EQ(bar->PixelToPosition(24), 8);
    EXPECT_EQ(bar->ThumbRect().Left, 4);
}

TEST_F(PowerTrackBar, ThumbAtMinimumMiddleAndMaximum) {
    for (auto [position, top] : {std::pair{0, 42}, std::pair{7, 25}, std::pair{15, 6}}) {
        bar->SetPosition(position);
        auto image = Painted();
        EXPECT_EQ(bar->ThumbRect(), Bounds(4, top, 17, 9)) << position;
        // The thumb's black outline and white highlight, the blue background just outside.
        EXPECT_EQ(image->Pixel(4, top), kBlack) << position;
        EXPECT_EQ(image->Pixel(20, top + 8), kBlack) << position;
        EXPECT_EQ(image->Pixel(5, top + 1), kWhite) << position;
        EXPECT_EQ(image->Pixel(12, top + 4), RGBColor(128, 128, 128)) << position;
        EXPECT_EQ(image->Pixel(3, top + 4), clBlue) << position;
    }
}

TEST_F(PowerTrackBar, GutterIsALoweredFrameFilledWithItsColour) {
    bar->SetPosition(15);
    auto image = Painted();
    // Gutter (8, 6, 17, 51): shadow on top and left, highlight on bottom and right.
    EXPECT_EQ(image->Pixel(8, 30), ColorToRGB(clBtnShadow));
    EXPECT_EQ(image->Pixel(9, 30), clLime);
    EXPECT_EQ(image->Pixel(15, 30), clLime);
    EXPECT_EQ(image->Pixel(16, 30), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(image->Pixel(12, 50), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(image->Pixel(7, 30), clBlue);
    EXPECT_EQ(image->Pixel(17, 30), clBlue);
}

TEST_F(PowerTrackBar, SixTicksOnBothSidesAtTheValuesPlaces) {
    bar->SetPosition(15);
    auto image = Painted();
    // Values 0, 3, 6, 9, 12, 15 at thumb top + 4.
    const std::vector<int> ticks = {46, 39, 32, 24, 17, 10};
    std::vector<int> left, right;
    for (int y = 0; y < 57; ++y) {
        if (image->Pixel(1, y) == kBlack) left.push_back(y);
        if (image->Pixel(23, y) == kBlack) right.push_back(y);
    }
    std::vector<int> expected(ticks.rbegin(), ticks.rend());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(right, expected);
    for (int x : {0, 1, 2, 22, 23, 24}) EXPECT_EQ(image->Pixel(x, 39), kBlack) << x;
    EXPECT_EQ(image->Pixel(3, 39), clBlue);
    EXPECT_EQ(image->Pixel(21, 39), clBlue);
}

TEST_F(PowerTrackBar, ProgramWritesAreClampedAndNotifiedOnce) {
    bar->SetPosition(20);
    EXPECT_EQ(bar->Position(), 15);
    bar->SetPosition(15);
    bar->SetPosition(-3);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(changes, (std::vector<int>{15, 0}));
    bar->SetPosition(12);
    bar->SetMaxValue(10);
    EXPECT_EQ(bar->Position(), 10);
    bar->SetMaxValue(15);
    bar->SetMinValue(13);
    EXPECT_EQ(bar->Position(), 13);
    EXPECT_EQ(changes, (std::vector<int>{15, 0, 12, 10, 13}));
}

TEST_F(PowerTrackBar, ArrowHomeAndEndKeys) {
    bar->SetPosition(14);
    changes.clear();
    PressKey(*bar, Vk::Up);
    EXPECT_EQ(bar->Position(), 15);
    PressKey(*bar, Vk::Up);
    EXPECT_EQ(changes, (std::vector<int>{15}));
    PressKey(*bar, Vk::Down);
    EXPECT_EQ(bar->Position(), 12);
    PressKey(*bar, Vk::Left);
    PressKey(*bar, Vk::Right);
    EXPECT_EQ(bar->Position(), 12);
    PressKey(*bar, Vk::End);
    EXPECT_EQ(bar->Position(), 0);
    PressKey(*bar, Vk::Home);
    EXPECT_EQ(bar->Position(), 15);
    EXPECT_EQ(changes, (std::vector<int>{15, 12, 0, 15}));
    EXPECT_EQ(bar->Perform(Msg::GetDlgCode), 1);  // wants the arrow keys
}

TEST_F(PowerTrackBar, TopRightStyleTurnsTheKeysAround) {
    bar->SetStyle(TVrProgressStyle::psTopRight);
    bar->SetPosition(6);
    PressKey(*bar, Vk::Up);
    EXPECT_EQ(bar->Position(), 3);
    EXPECT_EQ(bar->PositionToPixel(0), 6);
}

TEST_F(PowerTrackBar, DraggingFromBottomToTopVisitsEveryPositionInOrderAndClamps) {
    // Grab the thumb at position 0 (top 42) four pixels below its top edge.
    MouseDown(*bar, 12, 46);
    for (int y = 46; y >= -20; --y) MouseMoveTo(*bar, 12, y);
    MouseUp(*bar, 12, -20);
    std::vector<int> expected;
    for (int v = 1; v <= 15; ++v) expected.push_back(v);
    EXPECT_EQ(changes, expected);
    for (int y = -20; y <= 80; ++y) MouseMoveTo(*bar, 12, y);
    EXPECT_EQ(bar->Position(), 15);
}

TEST_F(PowerTrackBar, DraggingKeepsTheCursorInsideTheControlUntilRelease) {
    MouseDown(*bar, 12, 46);
    EXPECT_TRUE(bar->CursorClipped());
    MouseUp(*bar, 12, 46);
    EXPECT_FALSE(bar->CursorClipped());
    MouseDown(*bar, 12, 20);
    EXPECT_FALSE(bar->CursorClipped());  // a click on the track drags nothing
    MouseUp(*bar, 12, 20);
    bar->SetOptions(bar->Options() - TVrTrackBarOption::toMouseClip);
    MouseDown(*bar, 12, bar->ThumbRect().Top + 2);
    EXPECT_FALSE(bar->CursorClipped());
    MouseUp(*bar, 12, bar->ThumbRect().Top + 2);
}

TEST_F(PowerTrackBar, ClickOnTheTrackCentresTheThumbThereWithoutDragging) {
    MouseDown(*bar, 12, 20);
    MouseUp(*bar, 12, 20);
    EXPECT_EQ(changes, (std::vector<int>{11}));
    EXPECT_EQ(bar->ThumbRect().Top + bar->ThumbHeight() / 2, 20);
    MouseMoveTo(*bar, 12, 40);
    EXPECT_EQ(bar->Position(), 11);
}

TEST_F(PowerTrackBar, ClickWithoutActiveClickDoesNothing) {
    bar->SetOptions(bar->Options() - TVrTrackBarOption::toActiveClick);
    MouseDown(*bar, 12, 20);
    MouseUp(*bar, 12, 20);
    EXPECT_TRUE(changes.empty());
}

TEST_F(PowerTrackBar, FixedPointsSnapToTheFrequency) {
    bar->SetOptions(bar->Options() + TVrTrackBarOption::toFixedPoints);
    MouseDown(*bar, 12, 31);
    MouseUp(*bar, 12, 31);
    EXPECT_EQ(bar->Position(), 6);
}

TEST(VrTrackBar, DefaultsAndHorizontalThumb) {
    TForm form(nullptr);
    auto* bar = new TVrTrackBar(&form);
    bar->SetParent(&form);
    EXPECT_EQ(bar->Width(), 175);
    EXPECT_EQ(bar->Height(), 45);
    EXPECT_EQ(bar->MaxValue(), 100);
    EXPECT_EQ(bar->Frequency(), 10);
    EXPECT_EQ(bar->ThumbWidth(), 9);
    EXPECT_EQ(bar->ThumbHeight(), 17);
    EXPECT_EQ(bar->ThumbRect().Top, 14);
    EXPECT_FALSE(bar->TabStop());
    bar->SetOrientation(TVrOrientation::voVertical);
    EXPECT_EQ(bar->Width(), 45);
    EXPECT_EQ(bar->Height(), 175);
    EXPECT_EQ(bar->ThumbWidth(), 17);
    EXPECT_EQ(bar->ThumbRect().Left, 14);
}

TEST(VrTrackBar, ThumbFromABitmapListWithStates) {
    TForm form(nullptr);
    auto* list = new TVrBitmapList(&form);
    TBitmap strip(40, 12);
    strip.Canvas().Brush().SetColor(clRed);
    strip.Canvas().FillRect(Rect(0, 0, 40, 12));
    strip.Canvas().Brush().SetColor(clYellow);
    strip.Canvas().FillRect(Rect(10, 0, 20, 12));
    list->Bitmaps().Add(strip);
    auto* bar = new TVrTrackBar(&form);
    bar->SetParent(&form);
    bar->SetBitmapList(list);
    bar->SetThumbStates(4);
    bar->SetThumbImageIndex(0);
    EXPECT_EQ(bar->ThumbWidth(), 10);
    EXPECT_EQ(bar->ThumbHeight(), 12);
    bar->SetEnabled(false);
    auto image = PaintedImage(*bar);
    TRect thumb = bar->ThumbRect();
    EXPECT_EQ(image->Pixel(thumb.Left + 5, thumb.Top + 5), clYellow);
    delete list;
    EXPECT_EQ(bar->BitmapList(), nullptr);
    EXPECT_EQ(bar->ThumbWidth(), 2);
}

TEST(VrTrackBar, HugeRangesAndEmptyRangesPaint) {
    TForm form(nullptr);
    auto* bar = new TVrTrackBar(&form);
    bar->SetParent(&form);
    bar->SetMinValue(-2000000000);
    bar->SetMaxValue(2000000000);
    bar->SetFrequency(1);
    bar->SetPosition(2000000000);
    auto image = PaintedImage(*bar);
    EXPECT_EQ(bar->ThumbRect().Left, bar->PositionToPixel(bar->MaxValue()));
    bar->SetMaxValue(-2000000000);
    PaintedImage(*bar);
    EXPECT_EQ(bar->PositionToPixel(bar->Position()), bar->TrackOrigin());
}

}  // namespace
