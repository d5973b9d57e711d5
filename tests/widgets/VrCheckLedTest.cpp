// The check LED: its layout, the lamp's rings and fill in each state, the caption in
// both looks, and the toggle by mouse, space key, accelerator and program writes.
#include "Bitmap.h"
#include "ControlsTesting.h"
#include "Form.h"
#include "VrCheckLed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The main window's power LED: 73 x 25, bold 8-point caption in the window colour on blue.
class PowerLed : public ::testing::Test {
protected:
    PowerLed() : form(nullptr) {
        led = Add("Power", 8, 8, 73);
        led->OnChange = [this](TObject*) { events.push_back(led->Checked() ? "on" : "off"); };
        form.HandleNeeded();
    }

    TVrCheckLed* Add(const std::string& caption, int left, int top, int width) {
        auto* created = new TVrCheckLed(&form);
        created->SetParent(&form);
        created->SetBounds(left, top, width, 25);
        created->SetColor(clBlue);
        created->Font().SetStyle(TFontStyles{TFontStyle::fsBold});
        created->Font().SetColor(clWindow);
        created->SetCaption(caption);
        return created;
    }

    std::unique_ptr<TBitmap> Painted() { return PaintedImage(*led); }
    TPoint LampCentre() const {
        TRect lamp = led->LedRect();
        return Point((lamp.Left + lamp.Right) / 2, (lamp.Top + lamp.Bottom) / 2);
    }

    TForm form;
    TVrCheckLed* led;
    std::vector<std::string> events;
};

TEST_F(PowerLed, Defaults) {
    TVrCheckLed fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 125);
    EXPECT_EQ(fresh.Height(), 25);
    EXPECT_EQ(fresh.CheckWidth(), 20);
    EXPECT_EQ(fresh.CheckHeight(), 13);
    EXPECT_EQ(fresh.Margin(), -1);
    EXPECT_EQ(fresh.Spacing(), 5);
    EXPECT_EQ(fresh.Color(), clBtnFace);
    EXPECT_FALSE(fresh.Checked());
    EXPECT_FALSE(fresh.TabStop());
    EXPECT_EQ(fresh.Palette().Low(), clGreen);
    EXPECT_EQ(fresh.Palette().High(), clLime);
    EXPECT_EQ(fresh.CheckStyle, TVrCheckLedStyle::csCheckbox);
}

TEST_F(PowerLed, LampAndCaptionAreCentredTogether) {
    // "Power" is 35 pixels wide in the bold 8-point window font: the margin is
    // (73 - (20 + 5 + 35) + 1) div 2 = 7, plus the layout's offset of one.
    EXPECT_EQ(led->LedRect(), Bounds(8, 7, 20, 13));
    EXPECT_EQ(led->CaptionRect(), Bounds(33, 7, 35, 13));
    led->SetCheckWidth(30);
    EXPECT_EQ(led->LedRect().Width(), 30);
    led->SetCheckWidth(99);
    EXPECT_EQ(led->CheckWidth(), 40);
    led->SetLayout(TVrImageTextLayout::ImageRight);
    EXPECT_LT(led->CaptionRect().Right, led->LedRect().Left);
}

TEST_F(PowerLed, LampRingsAndFillOffAndOn) {
    led->SetMargin(2);
    TRect lamp = led->LedRect();
    ASSERT_EQ(lamp, Bounds(3, 7, 20, 13));
    TColor highlight = ColorToRGB(clBtnHighlight);
    TColor shadow = ColorToRGB(clBtnShadow);
    TColor face = ColorToRGB(clBtnFace);
    auto off = Painted();
    EXPECT_EQ(off->Pixel(3, 7), highlight);   // outer ring, top-left
    EXPECT_EQ(off->Pixel(3, 18), highlight);
    EXPECT_EQ(off->Pixel(22, 7), clBlack);    // top-right and bottom-left corners take the bottom colour
    EXPECT_EQ(off->Pixel(3, 19), clBlack);
    EXPECT_EQ(off->Pixel(22, 19), clBlack);
    EXPECT_EQ(off->Pixel(4, 8), highlight);   // second ring
    EXPECT_EQ(off->Pixel(21, 18), shadow);
    EXPECT_EQ(off->Pixel(5, 9), face);        // third ring
    EXPECT_EQ(off->Pixel(20, 17), face);
    EXPECT_EQ(off->Pixel(6, 10), clBlack);    // fourth ring
    EXPECT_EQ(off->Pixel(19, 16), highlight);
    for (int y = 11; y < 16; ++y)
        for (int x = 7; x < 19; ++x) ASSERT_EQ(off->Pixel(x, y), clGreen) << x << "," << y;
    EXPECT_EQ(off->Pixel(2, 13), clBlue);

    led->SetChecked(true);
    auto on = Painted();
    EXPECT_EQ(on->Pixel(3, 7), clBlack);
    EXPECT_EQ(on->Pixel(22, 19), highlight);
    EXPECT_EQ(on->Pixel(4, 8), highlight);
    for (int y = 11; y < 16; ++y)
        for (int x = 7; x < 19; ++x) ASSERT_EQ(on->Pixel(x, y), clLime) << x << "," << y;
}

TEST_F(PowerLed, HoverOverAnOffLampShowsACheckerboard) {
    TPoint centre = LampCentre();
    MouseMoveTo(*led, centre.X, centre.Y, false);
    auto hover = Painted();
    TRect lamp = led->LedRect();
    int x = lamp.Left + 4, y = lamp.Top + 4;
    TColor first = hover->Pixel(x, y);
    EXPECT_TRUE(first == clGreen || first == clLime);
    EXPECT_EQ(hover->Pixel(x + 1, y), first == clGreen ? clLime : clGreen);
    EXPECT_EQ(hover->Pixel(x, y + 1), first == clGreen ? clLime : clGreen);
    EXPECT_EQ(hover->Pixel(x + 1, y + 1), first);
    led->SetChecked(true);
    EXPECT_EQ(Painted()->Pixel(x, y), clLime);
    EXPECT_EQ(Painted()->Pixel(x + 1, y), clLime);
    led->SetChecked(false);
    MouseMoveTo(*led, 1, 1, false);
    EXPECT_EQ(Painted()->Pixel(x + 1, y), clGreen);
}

int CountPixels(TBitmap& image, const TRect& area, TColor colour) {
    int count = 0;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            if (image.Pixel(x, y) == colour) ++count;
    return count;
}

TEST_F(PowerLed, CaptionEnabledAndEmbossedWhenDisabled) {
    led->Font().SetColor(clYellow);
    TRect caption = InflateRect(led->CaptionRect(), 1, 1);
    auto enabled = Painted();
    EXPECT_GT(CountPixels(*enabled, caption, clYellow), 20);
    led->SetEnabled(false);
    auto disabled = Painted();
    EXPECT_EQ(CountPixels(*disabled, caption, clYellow), 0);
    EXPECT_GT(CountPixels(*disabled, caption, ColorToRGB(clBtnShadow)), 20);
    EXPECT_GT(CountPixels(*disabled, caption, ColorToRGB(clBtnHighlight)), 5);
}

TEST_F(PowerLed, ClickOnTheLampTogglesOnceAndNotifiesAfterStoring) {
    TPoint centre = LampCentre();
    MouseDown(*led, centre.X, centre.Y);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(Painted()->Pixel(centre.X, centre.Y), clLime);
    MouseUp(*led, centre.X, centre.Y);
    EXPECT_TRUE(led->Checked());
    EXPECT_EQ(events, (std::vector<std::string>{"on"}));
    Click(*led, centre.X, centre.Y);
    EXPECT_FALSE(led->Checked());
    EXPECT_EQ(events, (std::vector<std::string>{"on", "off"}));
}

TEST_F(PowerLed, ReleaseOffTheLampRevertsWithoutNotifying) {
    TPoint centre = LampCentre();
    MouseDown(*led, centre.X, centre.Y);
    MouseMoveTo(*led, 70, 2);
    MouseUp(*led, 70, 2);
    EXPECT_FALSE(led->Checked());
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(Painted()->Pixel(centre.X, centre.Y), clGreen);
}

TEST_F(PowerLed, ClickOnTheCaptionDoesNothing) {
    TRect caption = led->CaptionRect();
    Click(*led, caption.Left + 3, caption.Top + 3);
    EXPECT_FALSE(led->Checked());
    EXPECT_TRUE(events.empty());
}

TEST_F(PowerLed, DoubleClickIsOneToggle) {
    TPoint centre = LampCentre();
    MouseDown(*led, centre.X, centre.Y);
    MouseUp(*led, centre.X, centre.Y);
    MouseDoubleClick(*led, centre.X, centre.Y);
    EXPECT_TRUE(led->Checked()) << "the second press shows no pressed lamp";
    MouseUp(*led, centre.X, centre.Y);
    EXPECT_TRUE(led->Checked());
    EXPECT_EQ(events, (std::vector<std::string>{"on"}));
    // A later plain click toggles again.
    Click(*led, centre.X, centre.Y);
    EXPECT_EQ(events, (std::vector<std::string>{"on", "off"}));
}

// Alt and a letter typed anywhere in the form, as the platform delivers it.
void TypeAltChar(TWinControl& window, char key) { window.Perform(Msg::SysChar, static_cast<unsigned char>(key)); }

TEST_F(PowerLed, AltAndTheCaptionsAcceleratorTogglesIt) {
    led->SetCaption("&Power");
    TVrCheckLed* stereo = Add("S&tereo", 80, 8, 65);
    std::vector<std::string> stereoEvents;
    stereo->OnChange = [&](TObject*) { stereoEvents.push_back(stereo->Checked() ? "on" : "off"); };
    form.Show();
    TypeAltChar(form, 'p');
    EXPECT_EQ(events, (std::vector<std::string>{"on"}));
    TypeAltChar(*led, 'T');
    EXPECT_EQ(stereoEvents, (std::vector<std::string>{"on"}));
    TypeAltChar(*stereo, 'P');
    EXPECT_EQ(events, (std::vector<std::string>{"on", "off"}));
    // Letters that mark nothing, and a doubled mark that is a plain "&", toggle nothing.
    TypeAltChar(form, 'o');
    TypeAltChar(form, 's');
    led->SetCaption("R&&D");
    TypeAltChar(form, 'd');
    EXPECT_EQ(events, (std::vector<std::string>{"on", "off"}));
    EXPECT_EQ(stereoEvents, (std::vector<std::string>{"on"}));
    EXPECT_FALSE(led->Focused()) << "without TabStop the focus stays";
}

TEST_F(PowerLed, AcceleratorOfADisabledLedOrWithTabStop) {
    led->SetCaption("&Power");
    form.Show();
    led->SetEnabled(false);
    TypeAltChar(form, 'p');
    EXPECT_TRUE(events.empty());
    led->SetEnabled(true);
    led->SetTabStop(true);
    TypeAltChar(form, 'p');
    EXPECT_EQ(events, (std::vector<std::string>{"on"}));
    EXPECT_TRUE(led->Focused());
}

TEST_F(PowerLed, ProgramWritesNotifyOnlyChanges) {
    led->SetChecked(false);
    EXPECT_TRUE(events.empty());
    led->SetChecked(true);
    led->SetChecked(true);
    EXPECT_EQ(events, (std::vector<std::string>{"on"}));
}

TEST_F(PowerLed, SpaceTogglesAndNotifies) {
    form.Show();
    led->SetTabStop(true);
    led->SetFocus();
    TypeChar(*led, ' ');
    EXPECT_TRUE(led->Checked());
    TypeChar(*led, ' ');
    EXPECT_EQ(events, (std::vector<std::string>{"on", "off"}));
}

TEST_F(PowerLed, ClickTakesTheFocusOnlyWithTabStop) {
    form.Show();
    TPoint centre = LampCentre();
    Click(*led, centre.X, centre.Y);
    EXPECT_FALSE(led->Focused());
    led->SetTabStop(true);
    Click(*led, centre.X, centre.Y);
    EXPECT_TRUE(led->Focused());
}

TEST_F(PowerLed, RadioLedsSwitchTheirSiblingsOffFirst) {
    TVrCheckLed* other = Add("Stereo", 80, 8, 65);
    TVrCheckLed* plain = Add("RDS", 144, 8, 57);
    std::vector<std::string> order;
    led->CheckStyle = TVrCheckLedStyle::csRadioButton;
    other->CheckStyle = TVrCheckLedStyle::csRadioButton;
    led->OnChange = [&](TObject*) { order.push_back(std::string("power ") + (led->Checked() ? "on" : "off")); };
    other->OnChange = [&](TObject*) { order.push_back(std::string("stereo ") + (other->Checked() ? "on" : "off")); };
    plain->SetChecked(true);
    led->SetChecked(true);
    other->SetChecked(true);
    EXPECT_FALSE(led->Checked());
    EXPECT_TRUE(plain->Checked());
    EXPECT_EQ(order, (std::vector<std::string>{"power on", "power off", "stereo on"}));
}

}  // namespace
