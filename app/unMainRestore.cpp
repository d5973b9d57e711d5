// The restore of every stored setting when the main window first becomes
// active, in its fixed order, with absent settings seeded from the design first.
#include "unMain.h"
#include "StationLogLines.h"

#include "Application.h"
#include "Colors.h"
#include "PCICard.h"
#include "ProgrammeTypes.h"
#include "SettingsStore.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrGradient.h"
#include "VrMatrix.h"
#include "VrTrackBar.h"
#include "VrTrayIcon.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using SettingsStore::FlagText;
using SettingsStore::IsSet;
using SettingsStore::ReadColorSetting;
using SettingsStore::ReadIntegerSetting;
using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char PowerOffDisplayText[] = "87.500MHz";
constexpr char FirstListIndex[] = "0";
constexpr int ProgrammeReferences = 256;

const char* const CountryCodes[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F"};
const char* const AreaCoverages[] = {"L", "I", "N", "S", "R1", "R2", "R3", "R4",
                                     "R5", "R6", "R7", "R8", "R9", "R10", "R11", "R12"};
const char* const BinaryChoices[] = {"0", "1"};

template <size_t N>
void Fill(TComboBox* list, const char* const (&items)[N]) {
    for (const char* item : items) list->AddItem(item);
}

// A stored index that is malformed or outside the list selects what a first start stores
// (the first item), so that the field always has a value; a malformed one is reported.
void SelectStored(TComboBox* list, const std::string& name) {
    int index = 0;
    try {
        index = ReadIntegerSetting(name);
    } catch (const SettingsStore::EMalformedSetting&) {
        list->SetItemIndex(0);
        throw;
    }
    list->SetItemIndex(index >= 0 && index < list->ItemCount() ? index : 0);
}

}  // namespace

void TfoMain::FormActivate(TObject*) {
    // Its message boxes activate the window again: the restore runs once all the same.
    if (restoreBegun_) return;
    restoreBegun_ = true;
    TWayScope way(*this, TLogWay::Start);
    OpenWaysIn();
    if (!cardFailureBox_.empty()) ReportAtStart(cardFailureBox_, MsgBox::Ok | MsgBox::IconError);
    RestoreStep([this] { SeedAbsentSettings(); });
    RestoreSettings();
    restored_ = true;
}

void TfoMain::RestoreStep(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& error) {
        if (!startReports_.Admit(error)) return;
        if (startReportsAsNotices_) {
            ReportAtStart(error.what(), MsgBox::Ok | MsgBox::IconError);
            return;
        }
        // The error report's box is a box of the start: the ways in answer while it waits.
        LogEvent(error.what());
        startMessage_ = error.what();
        AnswerWhileStartMessageWaits();
        Application->HandleException(this, error);
        startMessage_.clear();
    }
}

void TfoMain::SeedAbsentSettings() {
    SettingsStore::SeedSettings({
        {"Freq", VrMatrix1->Text()},
        {"PowerOn", FlagText(VrCheckLed2->Checked())},
        {"Power", IntToStr(VrTrackBar1->Position())},
        {"PS", VrStrEdit1->Text()},
        {"RT", VrStrEdit2->Text()},
        {"Color", ColorToString(VrGradient1->StartColor())},
        {"EndColor", ColorToString(VrGradient1->EndColor())},
        {"Stereo", FlagText(VrCheckLed1->Checked())},
        {"Rds", FlagText(VrCheckLed7->Checked())},
        {"ShutDownAtExit", FlagText(VrCheckLed3->Checked())},
        {"PTY", FirstListIndex},
        {"PIC", FirstListIndex},
        {"PIA", FirstListIndex},
        {"PIP", FirstListIndex},
        {"TP", FirstListIndex},
        {"MS", FirstListIndex},
        {"MoveToTray", FlagText(VrCheckLed5->Checked())},
    });
}

void TfoMain::RestoreSettings() {
    SetCompactSize();
    ShowFrequencyInTrayHint();
    const std::string storedFrequency = ReadSetting("Freq");
    VrMatrix1->SetText(storedFrequency);
    RestoreStep([&] { RestorePowerOn(storedFrequency); });
    RestoreStep([this] { VrTrackBar1->SetPosition(ReadIntegerSetting("Power")); });
    RestoreStep([this] { VrStrEdit1->SetText(ReadSetting("PS")); });
    RestoreStep([this] { RestoreTextCodes(psCodes_, VrStrEdit1->Text()); });
    RestoreStep([this] { VrStrEdit2->SetText(ReadSetting("RT")); });
    RestoreStep([this] { RestoreTextCodes(rtCodes_, VrStrEdit2->Text()); });
    RestoreStep([this] {
        const TColor start = ReadColorSetting("Color");
        VrGradient1->SetStartColor(start);
        ColorBox1->SetSelected(start);
    });
    RestoreStep([this] {
        const TColor end = ReadColorSetting("EndColor");
        VrGradient1->SetEndColor(end);
        ColorBox2->SetSelected(end);
    });
    RestoreStep([this] {
        const bool stereo = IsSet(ReadSetting("Stereo"));
        if (stereo)
            card_->SetStereo();
        else
            card_->SetMono();
        LogOnAir(StereoSwitched(stereo), StereoSwitched(stereo));
        VrCheckLed1->SetChecked(stereo);
    });
    RestoreStep([this] { VrCheckLed7->SetChecked(IsSet(ReadSetting("Rds"))); });
    RestoreStep([this] { VrCheckLed3->SetChecked(IsSet(ReadSetting("ShutDownAtExit"))); });
    RestoreStep([this] { Fill(ComboBox1, ProgrammeTypes); SelectStored(ComboBox1, "PTY"); });
    RestoreStep([this] { Fill(ComboBox2, CountryCodes); SelectStored(ComboBox2, "PIC"); });
    RestoreStep([this] { Fill(ComboBox3, AreaCoverages); SelectStored(ComboBox3, "PIA"); });
    RestoreStep([this] {
        for (int reference = 0; reference < ProgrammeReferences; ++reference)
            ComboBox4->AddItem(IntToStr(reference));
        SelectStored(ComboBox4, "PIP");
    });
    RestoreStep([this] { Fill(ComboBox5, BinaryChoices); SelectStored(ComboBox5, "TP"); });
    RestoreStep([this] { Fill(ComboBox6, BinaryChoices); SelectStored(ComboBox6, "MS"); });
    RestoreStep([this] {
        VrCheckLed4->SetChecked(SettingsStore::ReadAutostartEntry() != SettingsStore::AbsentText);
    });
    RestoreStep([this] {
        const bool toTray = IsSet(ReadSetting("MoveToTray"));
        VrTrayIcon2->SetVisible(toTray);
        if (toTray)
            VrTrayIcon2->HideApplication();
        else
            VrTrayIcon2->RestoreApplication();
        VrCheckLed5->SetChecked(toTray);
    });
    RestoreStep([this] { RestoreMemoryCharacterSet(); });
}

void TfoMain::RestorePowerOn(const std::string& storedFrequency) {
    if (IsSet(ReadSetting("PowerOn"))) {
        VrCheckLed2->SetChecked(true);
        SwitchCarrier(true);
        StepFrequency(0);
        return;
    }
    SwitchCarrier(false);
    VrCheckLed2->SetChecked(false);
    VrMatrix1->SetText(PowerOffDisplayText);
    // The stored frequency comes back even when the tune fails (an unreadable
    // "Power"), so that one bad value does not also cost "Freq".
    const auto putBack = [&] {
        VrMatrix1->SetText(storedFrequency);
        WriteSetting("Freq", SettingsSubKey, storedFrequency);
    };
    try {
        StepFrequency(0);
    } catch (...) {
        putBack();
        throw;
    }
    putBack();
}
