// The media button: its glyph strips, its face in both looks with each of the ten
// glyphs, and its press and release by mouse and space key.
#include "Bitmap.h"
#include "ControlsTesting.h"
#include "Form.h"
#include "VrNavigator.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// The ten media glyphs, one text row per pixel row: . olive (transparent), d grey,
// h white, # black, G lime, s silver.
const char* const kGlyphs[10][9] = {
    {  // btPower
        "...........",
        "...........",
        ".ddddddddh.",
        ".dGGGGGGGh.",
        ".dGGGGGGGh.",
        ".dGGGGGGGh.",
        ".shhhhhhhh.",
        "...........",
        "...........",
    },
    {  // btPlay
        "...........",
        "...dd......",
        "...d#d.....",
        "...d##d....",
        "...d###h...",
        "...d##h....",
        "...d#h.....",
        "...dh......",
        "...........",
    },
    {  // btPause
        "...........",
        "..ddh.ddh..",
        "..d#h.d#h..",
        "..d#h.d#h..",
        "..d#h.d#h..",
        "..d#h.d#h..",
        "..d#h.d#h..",
        "..dhh.dhh..",
        "...........",
    },
    {  // btStop
        "...........",
        "..ddddddh..",
        "..d#####h..",
        "..d#####h..",
        "..d#####h..",
        "..d#####h..",
        "..d#####h..",
        "..dhhhhhh..",
        "...........",
    },
    {  // btPrev
        "...........",
        ".ddh...dh..",
        ".d#h..d#h..",
        ".d#h.d##h..",
        ".d#hh###h..",
        ".d#h.h##h..",
        ".d#h..h#h..",
        ".dhh...hh..",
        "...........",
    },
    {  // btBack
        "...........",
        "...dh...dh.",
        "..d#h..d#h.",
        ".d##h.d##h.",
        "h###hh###h.",
        ".h##h.h##h.",
        "..h#h..h#h.",
        "...hh...hh.",
        "...........",
    },
    {  // btStep
        "...........",
        ".dh...dh...",
        ".d#h..d#h..",
        ".d##h.d##h.",
        ".d###hd###h",
        ".d##h.d##h.",
        ".d#h..d#h..",
        ".dh...dh...",
        "...........",
    },
    {  // btNext
        "...........",
        "..dh...ddh.",
        "..d#h..d#h.",
        "..d##h.d#h.",
        "..d###hd#h.",
        "..d##h.d#h.",
        "..d#h..d#h.",
        "..dh...shh.",
        "...........",
    },
    {  // btRecord
        "...........",
        "....ddd....",
        "...d###d...",
        "..d#####h..",
        "..d#####h..",
        "..d#####h..",
        "...h###h...",
        "....hhh....",
        "...........",
    },
    {  // btEject
        "...........",
        ".ddddddddd.",
        ".d#######h.",
        "..d#####h..",
        "...d###h...",
        "...dd#h....",
        "....dh.....",
        "...........",
        "...........",
    },
};

constexpr int kCellWidth = 11;
constexpr int kCellHeight = 9;
constexpr int kCells = 10;
constexpr TColor kOlive = RGBColor(128, 128, 0);

TColor EnabledColour(char key) {
    static const std::map<char, TColor> colours = {{'.', kOlive},
                                                   {'d', RGBColor(128, 128, 128)},
                                                   {'h', RGBColor(255, 255, 255)},
                                                   {'#', RGBColor(0, 0, 0)},
                                                   {'G', RGBColor(0, 255, 0)},
                                                   {'s', RGBColor(192, 192, 192)}};
    return colours.at(key);
}

TColor DisabledColour(char key) {
    if (key == '#') return RGBColor(192, 192, 192);
    if (key == 'G') return RGBColor(0, 128, 0);
    return EnabledColour(key);
}

void ExpectStrip(const char* name, TColor (*colour)(char)) {
    TBitmap strip;
    strip.LoadFromResourceName(name);
    ASSERT_EQ(strip.Width(), kCells * kCellWidth);
    ASSERT_EQ(strip.Height(), kCellHeight);
    for (int cell = 0; cell < kCells; ++cell)
        for (int y = 0; y < kCellHeight; ++y)
            for (int x = 0; x < kCellWidth; ++x)
                ASSERT_EQ(strip.Pixel(cell * kCellWidth + x, y), colour(kGlyphs[cell][y][x]))
                    << name << " cell " << cell << " at " << x << "," << y;
}

TEST(VrNavigatorGlyphs, EnabledStripHoldsTheTenGlyphs) { ExpectStrip("EN_IMAGES", EnabledColour); }

TEST(VrNavigatorGlyphs, DisabledStripIsSilverForBlackAndGreenForLime) { ExpectStrip("DI_IMAGES", DisabledColour); }

// Each component of Colour lies between those of Near and Far, at least Share of the
// way from Far to Near.
bool Between(TColor colour, TColor near, TColor far, double share) {
    for (int shift : {0, 8, 16}) {
        int c = (colour >> shift) & 0xFF, n = (near >> shift) & 0xFF, f = (far >> shift) & 0xFF;
        if (n == f) {
            if (c != n) return false;
            continue;
        }
        double part = static_cast<double>(c - f) / (n - f);
        if (part < share || part > 1.0) return false;
    }
    return true;
}

// The main window's step buttons: 33 x 25.
class StepButton : public ::testing::Test {
protected:
    StepButton() : form(nullptr) {
        button = new TVrMediaButton(&form);
        button->SetParent(&form);
        button->SetBounds(112, 88, 33, 25);
        button->OnClick = [this](TObject*) { ++clicks; };
    }
    std::unique_ptr<TBitmap> Painted() { return PaintedImage(*button); }

    TForm form;
    TVrMediaButton* button;
    int clicks = 0;
};

TEST_F(StepButton, Defaults) {
    TVrMediaButton fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 40);
    EXPECT_EQ(fresh.Height(), 15);
    EXPECT_EQ(fresh.ButtonType(), TVrButtonType::btPause);
    EXPECT_EQ(fresh.FocusColor(), clBlue);
    EXPECT_EQ(fresh.BorderColor(), clBlack);
    EXPECT_FALSE(fresh.TabStop());
}

// Every glyph, up at (11, 8) and down at (11, 9): each drawn pixel as the table has it,
// the olive background never shows.
TEST_F(StepButton, EachGlyphUpAndDownMatchesItsTable) {
    for (int type = 0; type < kCells; ++type) {
        button->SetButtonType(static_cast<TVrButtonType>(type));
        for (bool down : {false, true}) {
            if (down) MouseDown(*button, 16, 12);
            auto image = Painted();
            int top = down ? 9 : 8;
            for (int y = 0; y < kCellHeight; ++y)
                for (int x = 0; x < kCellWidth; ++x) {
                    char key = kGlyphs[type][y][x];
                    TColor shown = image->Pixel(11 + x, top + y);
                    if (key == '.')
                        ASSERT_NE(shown, kOlive) << type << " " << down << " at " << x << "," << y;
                    else
                        ASSERT_EQ(shown, EnabledColour(key)) << type << " " << down << " at " << x << "," << y;
                }
            if (down) MouseUp(*button, 16, 12);
        }
    }
}

TEST_F(StepButton, DisabledButtonUsesTheDisabledStrip) {
    button->SetButtonType(TVrButtonType::btStop);
    button->SetEnabled(false);
    auto image = Painted();
    EXPECT_EQ(image->Pixel(11 + 4, 8 + 4), RGBColor(192, 192, 192));
    button->SetButtonType(TVrButtonType::btPower);
    EXPECT_EQ(Painted()->Pixel(11 + 4, 8 + 4), RGBColor(0, 128, 0));
}

TEST_F(StepButton, RaisedEdgeUpAndSunkenEdgeDown) {
    TColor highlight = ColorToRGB(clBtnHighlight);
    TColor shadow = ColorToRGB(clBtnShadow);
    TColor face = ColorToRGB(clBtnFace);
    auto up = Painted();
    for (auto [x, y] : {std::pair{0, 0}, std::pair{32, 0}, std::pair{0, 24}, std::pair{32, 24}, std::pair{16, 0}})
        EXPECT_EQ(up->Pixel(x, y), clBlack) << x << "," << y;
    EXPECT_EQ(up->Pixel(1, 1), highlight);
    EXPECT_EQ(up->Pixel(1, 23), highlight);   // the bottom-left corner keeps the light colour
    EXPECT_EQ(up->Pixel(31, 1), shadow);
    EXPECT_EQ(up->Pixel(31, 23), shadow);
    EXPECT_EQ(up->Pixel(16, 23), shadow);
    // The face runs from the light colour at the top to the shadow at the bottom.
    EXPECT_EQ(up->Pixel(3, 2), highlight);
    EXPECT_TRUE(Between(up->Pixel(3, 22), shadow, highlight, 0.9));

    MouseDown(*button, 16, 12);
    auto down = Painted();
    EXPECT_EQ(down->Pixel(0, 0), clBlack);
    EXPECT_EQ(down->Pixel(1, 1), shadow);
    EXPECT_EQ(down->Pixel(1, 23), face);
    EXPECT_EQ(down->Pixel(31, 1), face);
    EXPECT_EQ(down->Pixel(3, 2), face);
    EXPECT_TRUE(Between(down->Pixel(3, 22), highlight, face, 0.9));
    MouseUp(*button, 16, 12);
}

TEST_F(StepButton, ReleaseInsideClicksOnce) {
    MouseDown(*button, 16, 12);
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(clicks, 0);
    MouseUp(*button, 16, 12);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(clicks, 1);
}

TEST_F(StepButton, ReleaseOutsideDoesNotClick) {
    MouseDown(*button, 16, 12);
    MouseMoveTo(*button, 50, 12);
    EXPECT_FALSE(button->Down());
    MouseUp(*button, 50, 12);
    EXPECT_EQ(clicks, 0);
}

TEST_F(StepButton, DragOffAndBackThenReleaseClicks) {
    MouseDown(*button, 16, 12);
    MouseMoveTo(*button, 16, 40);
    MouseMoveTo(*button, 16, 12);
    EXPECT_TRUE(button->Down());
    MouseUp(*button, 16, 12);
    EXPECT_EQ(clicks, 1);
}

TEST_F(StepButton, EveryPressOfADoubleClickSteps) {
    MouseDown(*button, 16, 12);
    MouseUp(*button, 16, 12);
    MouseDoubleClick(*button, 16, 12);
    EXPECT_TRUE(button->Down());
    MouseUp(*button, 16, 12);
    EXPECT_EQ(clicks, 2);
    // The second press dragged off before its release steps nothing.
    MouseDown(*button, 16, 12);
    MouseUp(*button, 16, 12);
    MouseDoubleClick(*button, 16, 12);
    MouseMoveTo(*button, 50, 12);
    MouseUp(*button, 50, 12);
    EXPECT_EQ(clicks, 3);
}

TEST_F(StepButton, SpacePressAndReleaseClicksOnceWithoutRepeating) {
    PressKeyDown(*button, Vk::Space);
    EXPECT_TRUE(button->Down());
    PressKeyDown(*button, Vk::Space);
    PressKeyDown(*button, Vk::Space);
    EXPECT_EQ(clicks, 0);
    ReleaseKey(*button, Vk::Space);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(clicks, 1);
    ReleaseKey(*button, Vk::Space);
    EXPECT_EQ(clicks, 1);
}

TEST_F(StepButton, FocusedBorderUsesTheFocusColour) {
    form.Show();
    MouseDown(*button, 16, 12);
    MouseUp(*button, 16, 12);
    EXPECT_FALSE(button->Focused());
    EXPECT_EQ(Painted()->Pixel(0, 0), clBlack);
    button->SetTabStop(true);
    button->SetFocus();
    EXPECT_EQ(Painted()->Pixel(0, 0), clBlue);
}

}  // namespace
