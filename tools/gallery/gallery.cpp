// The widget gallery: one of each control widget on a form, configured as the main
// window configures it, to look at them together.
#include "Application.h"
#include "Form.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrGradient.h"
#include "VrNavigator.h"
#include "VrTrackBar.h"

#include <string>

namespace {

constexpr int kClientWidth = 386;
constexpr int kClientHeight = 316;
constexpr int kCaptionPoints = 8;
constexpr int kEditPoints = 10;
constexpr int kPowerMax = 15;
constexpr int kPowerTicks = 3;
constexpr int kPowerBorder = 6;
constexpr int kServiceNameLength = 8;
constexpr int kRadiotextLength = 64;

class TfoGallery : public TForm {
public:
    explicit TfoGallery(TComponent* owner) : TForm(owner) {
        SetCaption("SONDEL widget gallery");
        SetBorderStyle(TFormBorderStyle::bsSingle);
        SetClientSize(kClientWidth, kClientHeight);

        auto* gradient = new TVrGradient(this);
        gradient->SetParent(this);
        gradient->SetBounds(0, -56, 385, 370);
        gradient->SetStartColor(clRed);
        gradient->SetEndColor(clFuchsia);
        gradient->SetDirection(TVrGradDirection::gdLeftRightHalf);

        AddLed("Power", 8, 8, 73, true);
        AddLed("Stereo", 80, 8, 65, true);
        AddLed("RDS", 144, 8, 57, false);
        AddLed("Shut down at exit   ", 232, 8, 145, false);
        AddLed("Start with Windows", 232, 38, 145, true);
        AddLed("To tray at start      ", 232, 68, 145, false);

        const TVrButtonType steps[] = {TVrButtonType::btPrev, TVrButtonType::btBack, TVrButtonType::btStep,
                                       TVrButtonType::btNext};
        const int lefts[] = {16, 56, 112, 152};
        for (int i = 0; i < 4; ++i) {
            auto* button = new TVrMediaButton(this);
            button->SetParent(this);
            button->SetBounds(lefts[i], 88, 33, 25);
            button->SetButtonType(steps[i]);
        }

        auto* power = new TVrTrackBar(this);
        power->SetParent(this);
        power->SetOrientation(TVrOrientation::voVertical);
        power->SetBounds(192, 56, 25, 57);
        power->SetMaxValue(kPowerMax);
        power->SetFrequency(kPowerTicks);
        power->SetBorderWidth(kPowerBorder);
        power->SetGutterColor(clLime);
        power->SetColor(clBlue);
        power->SetTabStop(true);
        power->SetPosition(10);

        AddEdit("PC RADIO", 40, 152, 113, kServiceNameLength);
        AddEdit("PC RADIO, NON-STOP LATEST HITS!", 40, 176, 329, kRadiotextLength);
    }

private:
    void AddLed(const std::string& caption, int left, int top, int width, bool checked) {
        auto* led = new TVrCheckLed(this);
        led->SetParent(this);
        led->SetBounds(left, top, width, 25);
        led->SetColor(clBlue);
        led->Font().SetSize(kCaptionPoints);
        led->Font().SetStyle(TFontStyles{TFontStyle::fsBold});
        led->Font().SetColor(clWindow);
        led->SetCaption(caption);
        led->SetChecked(checked);
    }

    void AddEdit(const std::string& text, int left, int top, int width, int maxLength) {
        auto* edit = new TVrStrEdit(this);
        edit->SetParent(this);
        edit->SetBounds(left, top, width, 16);
        edit->SetBorderStyle(TBorderStyle::bsNone);
        edit->Font().SetSize(kEditPoints);
        edit->Font().SetStyle(TFontStyles{TFontStyle::fsBold});
        edit->Font().SetColor(clLime);
        edit->SetMaxLength(maxLength);
        edit->SetText(text);
    }
};

}  // namespace

int main() {
    Application->Initialize();
    Application->SetTitle("SONDEL widget gallery");
    TfoGallery* gallery = nullptr;
    Application->CreateForm(gallery);
    Application->Run();
    return 0;
}
