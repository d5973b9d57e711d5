// The gradient background: the six directions at chosen pixels, colour swapping,
// the band width's guard and the window drag.
#include "Bitmap.h"
#include "Form.h"
#include "VrGradient.h"
#include "ControlsTesting.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int Red(TColor c) { return c & 0xFF; }
int Green(TColor c) { return (c >> 8) & 0xFF; }
int Blue(TColor c) { return (c >> 16) & 0xFF; }

class Gradient : public ::testing::Test {
protected:
    Gradient() : form(nullptr) {
        gradient = new TVrGradient(&form);
        gradient->SetParent(&form);
    }
    std::unique_ptr<TBitmap> Painted() { return PaintedImage(*gradient); }

    TForm form;
    TVrGradient* gradient;
};

TEST_F(Gradient, DefaultsAreLimeToBlackTopToBottom) {
    EXPECT_EQ(gradient->Width(), 150);
    EXPECT_EQ(gradient->Height(), 150);
    EXPECT_EQ(gradient->StartColor(), clLime);
    EXPECT_EQ(gradient->EndColor(), clBlack);
    EXPECT_EQ(gradient->ColorWidth(), 1);
    EXPECT_EQ(gradient->Direction(), TVrGradDirection::gdUpDown);
    EXPECT_FALSE(gradient->FormDrag);
}

TEST_F(Gradient, MainWindowBackgroundRunsRedFuchsiaRed) {
    gradient->SetBounds(0, -56, 385, 370);
    gradient->SetStartColor(clRed);
    gradient->SetEndColor(clFuchsia);
    gradient->SetDirection(TVrGradDirection::gdLeftRightHalf);
    auto image = Painted();
    EXPECT_EQ(image->Pixel(192, 100), clFuchsia);
    EXPECT_EQ(image->Pixel(0, 100), clRed);
    EXPECT_EQ(image->Pixel(384, 100), clRed);
    EXPECT_EQ(image->Pixel(100, 0), RGBColor(255, 0, 132));   // 255 * 100 div 192
    EXPECT_EQ(image->Pixel(100, 369), RGBColor(255, 0, 132));
    EXPECT_EQ(image->Pixel(193, 5), RGBColor(255, 0, 253));   // i = 191 on the way back
    EXPECT_EQ(image->Pixel(284, 5), RGBColor(255, 0, 132));   // i = 100
}

TEST_F(Gradient, UpDownAndLeftRight) {
    gradient->SetBounds(0, 0, 100, 50);
    auto down = Painted();
    EXPECT_EQ(down->Pixel(30, 0), clLime);
    EXPECT_EQ(down->Pixel(30, 10), RGBColor(0, 204, 0));   // 255 - 255 * 10 div 50
    EXPECT_EQ(down->Pixel(99, 49), RGBColor(0, 6, 0));     // 255 - 12495 div 50
    gradient->SetDirection(TVrGradDirection::gdLeftRight);
    auto across = Painted();
    EXPECT_EQ(across->Pixel(0, 20), clLime);
    EXPECT_EQ(across->Pixel(10, 20), RGBColor(0, 230, 0));  // 255 - 2550 div 100
    EXPECT_EQ(across->Pixel(99, 20), RGBColor(0, 3, 0));    // 255 - 25245 div 100
}

TEST_F(Gradient, UpDownHalfIsMirrored) {
    gradient->SetBounds(0, 0, 60, 100);
    gradient->SetDirection(TVrGradDirection::gdUpDownHalf);
    auto image = Painted();
    EXPECT_EQ(image->Pixel(5, 0), clLime);
    EXPECT_EQ(image->Pixel(5, 50), clBlack);
    EXPECT_EQ(image->Pixel(5, 25), RGBColor(0, 128, 0));  // 255 - 6375 div 50 = 128
    EXPECT_EQ(image->Pixel(5, 75), RGBColor(0, 128, 0));
    EXPECT_EQ(image->Pixel(5, 99), RGBColor(0, 250, 0));  // i = 1
}

TEST_F(Gradient, ChordsRunAlongTheDiagonals) {
    gradient->SetBounds(0, 0, 100, 50);
    gradient->SetDirection(TVrGradDirection::gdChord2);
    auto second = Painted();
    // Lines from (0, H - i) to (i, H): pixel (x, y) lies on i = 50 - y + x, span 150.
    EXPECT_EQ(second->Pixel(0, 49), RGBColor(0, 254, 0));   // i = 1
    EXPECT_EQ(second->Pixel(0, 0), RGBColor(0, 170, 0));    // i = 50
    EXPECT_EQ(second->Pixel(99, 0), RGBColor(0, 2, 0));     // i = 149
    EXPECT_EQ(second->Pixel(40, 30), RGBColor(0, 153, 0));  // i = 60
    gradient->SetDirection(TVrGradDirection::gdChord1);
    auto first = Painted();
    // Lines from (i, 0) to (-1, i): near the top-left corner the start colour, towards
    // the bottom-right the end colour, the same along each short diagonal.
    EXPECT_NEAR(Green(first->Pixel(0, 0)), 255, 1);
    EXPECT_NEAR(Green(first->Pixel(99, 49)), 4, 3);
    EXPECT_NEAR(Green(first->Pixel(50, 25)), 255 - 255 * 75 / 150, 3);
    EXPECT_EQ(Red(first->Pixel(50, 25)), 0);
    EXPECT_EQ(Blue(first->Pixel(50, 25)), 0);
}

TEST_F(Gradient, SwapColorsPutsTheEndColourFirst) {
    gradient->SetBounds(0, 0, 20, 20);
    gradient->SetSwapColors(true);
    auto image = Painted();
    EXPECT_EQ(image->Pixel(10, 0), clBlack);
    EXPECT_EQ(image->Pixel(10, 19), RGBColor(0, 242, 0));  // 255 * 19 div 20
}

TEST_F(Gradient, ColorWidthBelowOneIsIgnored) {
    gradient->SetColorWidth(5);
    gradient->SetColorWidth(0);
    gradient->SetColorWidth(-3);
    EXPECT_EQ(gradient->ColorWidth(), 5);
    gradient->SetBounds(0, 0, 20, 20);
    auto image = Painted();
    EXPECT_EQ(image->Pixel(3, 4), clLime);
    EXPECT_EQ(image->Pixel(3, 5), RGBColor(0, 192, 0));  // 255 - 1275 div 20
}

// A form that records the system commands it is sent instead of acting on them.
class RecordingForm : public TForm {
public:
    using TForm::TForm;
    std::vector<std::uintptr_t> commands;
    void WndProc(TMessage& message) override {
        if (message.Msg == Msg::SysCommand) {
            commands.push_back(message.WParam);
            return;
        }
        TForm::WndProc(message);
    }
};

TEST(VrGradient, FormDragAsksTheFormToMoveByItsCaption) {
    RecordingForm form(nullptr);
    auto* gradient = new TVrGradient(&form);
    gradient->SetParent(&form);
    form.HandleNeeded();
    Click(*gradient, 10, 10);
    EXPECT_TRUE(form.commands.empty());
    gradient->FormDrag = true;
    Click(*gradient, 10, 10);
    ASSERT_EQ(form.commands.size(), 1u);
    EXPECT_EQ(form.commands[0], 0xF012u);
    // The second press of a double click drags no more.
    Testing::SendMouse(gradient, Msg::LButtonDblClk, 10, 10, kLeftButtonHeld);
    MouseUp(*gradient, 10, 10);
    EXPECT_EQ(form.commands.size(), 1u);
}

}  // namespace
