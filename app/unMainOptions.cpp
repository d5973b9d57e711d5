// The main window's views and options: the arrow between the compact and the
// options view, the option LEDs, the background colours, the tray and the notice.
#include "unMain.h"

#include "Application.h"
#include "Colors.h"
#include "Instance.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "StdCtrls.h"
#include "VrArrow.h"
#include "VrCheckLed.h"
#include "VrGradient.h"
#include "VrMatrix.h"
#include "VrScrollText.h"
#include "VrTrayIcon.h"

#include <algorithm>

namespace {

using SettingsStore::FlagText;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr int CompactWidth = 235;
constexpr int OptionsWidth = 392;
constexpr int ViewHeight = 160;
constexpr int RdsViewHeight = 340;
constexpr char TrayHintPrefix[] = "SONDEL at ";

}  // namespace

const char* const SupportAddress = "https://www.dravik-electronics.example/support";

void TfoMain::BindOptionHandlers() {
    VrArrow1->OnClick = [this](TObject* sender) { VrArrow1Click(sender); };
    VrCheckLed7->OnChange = [this](TObject* sender) { VrCheckLed7Change(sender); };
    VrCheckLed3->OnChange = [this](TObject* sender) { VrCheckLed3Change(sender); };
    VrCheckLed4->OnChange = [this](TObject* sender) { VrCheckLed4Change(sender); };
    VrCheckLed5->OnChange = [this](TObject* sender) { VrCheckLed5Change(sender); };
    ColorBox1->OnChange = [this](TObject* sender) { ColorBox1Change(sender); };
    ColorBox2->OnChange = [this](TObject* sender) { ColorBox2Change(sender); };
    VrTrayIcon2->OnDblClick = [this](TObject* sender) { VrTrayIcon2DblClick(sender); };
    VrScrollText1->OnClick = [this](TObject* sender) { VrScrollText1Click(sender); };
}

void TfoMain::VrArrow1Click(TObject*) {
    if (VrArrow1->Direction() == TVrArrowDirection::pdRight) {
        VrArrow1->SetDirection(TVrArrowDirection::pdLeft);
        SetBounds(Left(), Top(), OptionsWidth, VrCheckLed7->Checked() ? RdsViewHeight : ViewHeight);
    } else {
        VrArrow1->SetDirection(TVrArrowDirection::pdRight);
        SetCompactSize();
    }
}

void TfoMain::SetCompactSize() { SetBounds(Left(), Top(), CompactWidth, ViewHeight); }

void TfoMain::ShowFrequencyInTrayHint() { VrTrayIcon2->SetHint(TrayHintPrefix + VrMatrix1->Text()); }

void TfoMain::VrCheckLed7Change(TObject*) {
    WriteSetting("Rds", SettingsSubKey, FlagText(VrCheckLed7->Checked()));
}

void TfoMain::VrCheckLed3Change(TObject*) {
    WriteSetting("ShutDownAtExit", SettingsSubKey, FlagText(VrCheckLed3->Checked()));
}

void TfoMain::VrCheckLed4Change(TObject*) {
    if (revertingAutostart_) return;
    try {
        SettingsStore::SetAutostart(VrCheckLed4->Checked());
    } catch (...) {
        // An entry that could not be written is not in force: the LED must not say it is.
        if (VrCheckLed4->Checked()) {
            revertingAutostart_ = true;
            VrCheckLed4->SetChecked(false);
            revertingAutostart_ = false;
        }
        throw;
    }
}

void TfoMain::VrCheckLed5Change(TObject*) {
    WriteSetting("MoveToTray", SettingsSubKey, FlagText(VrCheckLed5->Checked()));
}

void TfoMain::ColorBox1Change(TObject*) {
    VrGradient1->SetStartColor(ColorBox1->Selected());
    WriteSetting("Color", SettingsSubKey, ColorToString(ColorBox1->Selected()));
}

void TfoMain::ColorBox2Change(TObject*) {
    VrGradient1->SetEndColor(ColorBox2->Selected());
    WriteSetting("EndColor", SettingsSubKey, ColorToString(ColorBox2->Selected()));
}

void TfoMain::VrTrayIcon2DblClick(TObject*) {
    VrTrayIcon2->SetVisible(false);
    VrTrayIcon2->RestoreApplication();
}

void TfoMain::VrScrollText1Click(TObject*) {
    ShellExecute(Handle(), "open", SupportAddress, "", "", ShowCommand::Normal);
}

void TfoMain::ShowNotice(TNoticeSource source, const std::string& notice) {
    const auto standing = std::find_if(notices_.begin(), notices_.end(),
                                       [source](const auto& entry) { return entry.first == source; });
    if (standing != notices_.end()) {
        // The same notice again leaves the area as it is.
        if (standing->second == notice) return;
        notices_.erase(standing);
    }
    if (!notice.empty()) notices_.emplace_back(source, notice);
    if (notices_.empty()) {
        if (makersNotice_) VrScrollText1->SetText(*makersNotice_);
        makersNotice_.reset();
        return;
    }
    if (!makersNotice_) makersNotice_ = VrScrollText1->Text();
    VrScrollText1->SetText(notices_.back().second);
}

void TfoMain::ShowFromTray() {
    VrTrayIcon2DblClick(this);
    BringToFront();
}

void TfoMain::WndProc(TMessage& message) {
    if (HandleCommandsMessage(message)) return;
    if (message.Msg == TSingleInstance::ShowRequestMessage()) {
        ShowFromTray();
        return;
    }
    TForm::WndProc(message);
}
