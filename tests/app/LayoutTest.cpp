// The main window as it is built: every control at its place with its caption
// and hint, the window's frame, and the RDS logo picture.
#include "AppFixture.h"

#include "Colors.h"
#include "StdCtrls.h"
#include "VrArrow.h"
#include "VrBorder.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrGradient.h"
#include "VrMatrix.h"
#include "VrNavigator.h"
#include "VrScrollText.h"
#include "VrTrackBar.h"

#include <tuple>

namespace {

struct TExpectedControl {
    const char* Name;
    TControl* Control;
    int Left, Top, Width, Height;
    const char* Hint;
};

TEST(MainWindowLayout, EveryControlSitsAtItsPlaceWithItsHint) {
    TfoMain form(nullptr);
    const TExpectedControl expected[] = {
        {"VrGradient1", form.VrGradient1, 0, -56, 385, 370, ""},
        {"VrBorder1", form.VrBorder1, 8, 48, 217, 73, ""},
        {"VrArrow1", form.VrArrow1, 200, 8, 33, 25, "Click to show/hide extra options"},
        {"VrMatrix1", form.VrMatrix1, 16, 56, 168, 30, "Frequency display"},
        {"VrBorder2", form.VrBorder2, 8, 136, 369, 169, "RDS settings"},
        {"VrScrollText1", form.VrScrollText1, 232, 98, 113, 25, "Click to visit our website!"},
        {"Image1", form.Image1, 272, 144, 96, 25, ""},
        {"VrCheckLed1", form.VrCheckLed1, 80, 8, 65, 25, "Click to select Stereo/Mono"},
        {"VrCheckLed2", form.VrCheckLed2, 8, 8, 73, 25, "Click to turn power ON/OFF"},
        {"VrMediaButton1", form.VrMediaButton1, 16, 88, 33, 25, "Decrease by 1MHz"},
        {"VrMediaButton4", form.VrMediaButton4, 56, 88, 33, 25, "Decrease by 100KHz"},
        {"VrMediaButton2", form.VrMediaButton2, 112, 88, 33, 25, "Increase by 100KHz"},
        {"VrMediaButton3", form.VrMediaButton3, 152, 88, 33, 25, "Increase by 1MHz"},
        {"VrCheckLed3", form.VrCheckLed3, 232, 8, 145, 25,
         "This will shut down the transmitter, when you exit this program"},
        {"VrCheckLed4", form.VrCheckLed4, 232, 38, 145, 25, "This will start this program with Windows"},
        {"VrCheckLed5", form.VrCheckLed5, 232, 68, 145, 25, "Moves driver to tray at start"},
        {"VrTrackBar1", form.VrTrackBar1, 192, 56, 25, 57, "Output power adjustment"},
        {"VrCheckLed7", form.VrCheckLed7, 144, 8, 57, 25, "Click to turn the RDS encoder ON or OFF"},
        {"VrStrEdit1", form.VrStrEdit1, 40, 152, 113, 16, ""},
        {"ColorBox1", form.ColorBox1, 351, 96, 30, 16, "Click to select background color"},
        {"VrStrEdit2", form.VrStrEdit2, 40, 176, 329, 16, ""},
        {"ComboBox1", form.ComboBox1, 48, 204, 105, 21, ""},
        {"ColorBox2", form.ColorBox2, 351, 108, 30, 16, "Click to select background color"},
        {"ComboBox2", form.ComboBox2, 296, 204, 49, 21, ""},
        {"ComboBox3", form.ComboBox3, 112, 236, 41, 21, ""},
        {"ComboBox4", form.ComboBox4, 296, 236, 49, 21, ""},
        {"ComboBox5", form.ComboBox5, 56, 268, 41, 21, ""},
        {"ComboBox6", form.ComboBox6, 208, 268, 49, 21, ""},
        {"Button1", form.Button1, 288, 272, 73, 25, ""},
    };
    for (const TExpectedControl& control : expected) {
        SCOPED_TRACE(control.Name);
        EXPECT_EQ(std::make_tuple(control.Left, control.Top, control.Width, control.Height),
                  std::make_tuple(control.Control->Left(), control.Control->Top(), control.Control->Width(),
                                  control.Control->Height()));
        EXPECT_EQ(control.Hint, control.Control->Hint());
    }
}

TEST(MainWindowLayout, CaptionsAndDesignTextsAreTheWindowsOwn) {
    TfoMain form(nullptr);
    EXPECT_EQ("SONDEL 2005 RDS", form.Caption());
    EXPECT_EQ(386, form.ClientWidth());
    EXPECT_EQ(316, form.ClientHeight());
    EXPECT_EQ(TFormBorderStyle::bsSingle, form.BorderStyle());
    EXPECT_FALSE(form.BorderIcons().Contains(TBorderIcon::biMaximize));
    EXPECT_EQ("Power", form.VrCheckLed2->Caption());
    EXPECT_EQ("Shut down at exit   ", form.VrCheckLed3->Caption());
    EXPECT_EQ("To tray at start      ", form.VrCheckLed5->Caption());
    EXPECT_EQ("100.000MHz", form.VrMatrix1->Text());
    EXPECT_EQ("PC RADIO", form.VrStrEdit1->Text());
    EXPECT_EQ(8, form.VrStrEdit1->MaxLength());
    EXPECT_EQ(64, form.VrStrEdit2->MaxLength());
    EXPECT_EQ("Update RDS", form.Button1->Caption());
    EXPECT_EQ(TComboBoxStyle::csDropDownList, form.ComboBox1->Style());
    EXPECT_EQ(TComboBoxStyle::csDropDown, form.ComboBox2->Style());
    EXPECT_EQ(0, form.ComboBox1->ItemCount());
    EXPECT_EQ(15, form.VrTrackBar1->MaxValue());
    EXPECT_EQ(clRed, form.VrGradient1->StartColor());
    EXPECT_EQ(clFuchsia, form.VrGradient1->EndColor());
    EXPECT_EQ(TVrArrowDirection::pdRight, form.VrArrow1->Direction());
}

TEST(MainWindowLayout, RdsLogoIsBlackOnWhite) {
    TfoMain form(nullptr);
    TBitmap& logo = form.Image1->Picture();
    ASSERT_EQ(96, logo.Width());
    ASSERT_EQ(24, logo.Height());
    int black = 0, white = 0;
    for (int y = 0; y < logo.Height(); ++y)
        for (int x = 0; x < logo.Width(); ++x) {
            const TColor pixel = logo.Pixel(x, y);
            black += pixel == clBlack;
            white += pixel == clWhite;
        }
    EXPECT_EQ(96 * 24, black + white);
    EXPECT_GT(black, 96 * 24 / 8);
    EXPECT_GT(white, 96 * 24 / 2);
}

}  // namespace
