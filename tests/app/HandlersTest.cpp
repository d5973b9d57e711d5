// The main window's handlers on the virtual card: frequency steps and the power
// level, the views, the options, the colours, the tray, the notice and the RDS panel.
#include "AppFixture.h"

#include "Colors.h"
#include "Instance.h"
#include "RestartRegistration.h"
#include "Shell.h"
#include "StdCtrls.h"
#include "Testing.h"
#include "VrArrow.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrGradient.h"
#include "VrMatrix.h"
#include "VrNavigator.h"
#include "VrScrollText.h"
#include "VrTrackBar.h"
#include "VrTrayIcon.h"

#include <windows.h>

namespace {

using Events = std::vector<std::string>;

void ClickMiddle(TControl* control) { Testing::Click(control, control->Width() / 2, control->Height() / 2); }

class HandlersTest : public AppTest {
protected:
    // Starts powered off on Frequency with power level 4 and every later setting in place.
    void StartAt(const std::string& frequency) {
        Seed("PowerOn", "No");
        Seed("Freq", frequency);
        Seed("Power", "4");
        Start();
        Tuning();
    }

    std::vector<std::string> RdsWrites() { return card.Trace().EventsStartingWith({"RDS", "LOST"}); }
};

TEST_F(HandlersTest, StepButtonsMoveTheFrequencyAndTuneWithTheStoredLevel) {
    StartAt("100.900MHz");
    ClickMiddle(form->VrMediaButton2);
    EXPECT_EQ("101.000MHz", form->VrMatrix1->Text());
    ClickMiddle(form->VrMediaButton4);
    EXPECT_EQ("100.900MHz", form->VrMatrix1->Text());
    ClickMiddle(form->VrMediaButton3);
    ClickMiddle(form->VrMediaButton1);
    ClickMiddle(form->VrMediaButton1);
    EXPECT_EQ((Events{"SYNTH 101000 4", "SYNTH 100900 4", "SYNTH 101900 4", "SYNTH 100900 4", "SYNTH 99900 4"}),
              Tuning());
    EXPECT_EQ("99.900MHz", Stored("Freq"));
    EXPECT_EQ("SONDEL at 99.900MHz", form->VrTrayIcon2->Hint());
}

TEST_F(HandlersTest, StepsPastTheBandEndsLandOnTheOtherEnd) {
    StartAt("108.000MHz");
    ClickMiddle(form->VrMediaButton2);
    EXPECT_EQ("87.500MHz", form->VrMatrix1->Text());
    ClickMiddle(form->VrMediaButton1);
    EXPECT_EQ("108.000MHz", form->VrMatrix1->Text());
    form->VrMatrix1->SetText("107.500MHz");
    ClickMiddle(form->VrMediaButton3);
    EXPECT_EQ("87.500MHz", form->VrMatrix1->Text());
    form->VrMatrix1->SetText("87.600MHz");
    ClickMiddle(form->VrMediaButton4);
    ClickMiddle(form->VrMediaButton4);
    EXPECT_EQ((Events{"SYNTH 87500 4", "SYNTH 108000 4", "SYNTH 87500 4", "SYNTH 87500 4", "SYNTH 108000 4"}),
              Tuning());
}

TEST_F(HandlersTest, UnreadableDisplayTextTunesTheBandTop) {
    StartAt("empty");
    form->StepFrequency(0);
    EXPECT_EQ("108.000MHz", form->VrMatrix1->Text());
    EXPECT_EQ((Events{"SYNTH 108000 4"}), Tuning());
}

TEST_F(HandlersTest, OddKilohertzSurviveAStepOfZero) {
    StartAt("100.050MHz");
    form->StepFrequency(0);
    EXPECT_EQ("100.050MHz", form->VrMatrix1->Text());
    EXPECT_EQ((Events{"SYNTH 100050 4"}), Tuning());
}

TEST_F(HandlersTest, StepWithUnreadablePowerStoresTheFrequencyButDoesNotTune) {
    StartAt("100.000MHz");
    Seed("Power", "abc");
    ClickMiddle(form->VrMediaButton2);
    EXPECT_EQ((Events{"'abc' is not a valid integer value"}), reports);
    EXPECT_EQ("100.100MHz", Stored("Freq"));
    EXPECT_TRUE(Tuning().empty());
}

TEST_F(HandlersTest, TrackBarStoresTheLevelAndRetunes) {
    StartAt("100.000MHz");
    form->VrTrackBar1->SetPosition(3);
    EXPECT_EQ("3", Stored("Power"));
    EXPECT_EQ((Events{"SYNTH 100000 3"}), Tuning());
}

TEST_F(HandlersTest, PowerLedSwitchesOnWithAFullTuneAndOffAgain) {
    StartAt("101.300MHz");
    form->VrCheckLed2->SetChecked(true);
    EXPECT_EQ("Yes", Stored("PowerOn"));
    form->VrCheckLed2->SetChecked(false);
    EXPECT_EQ("No", Stored("PowerOn"));
    // The carrier comes on at the last tuned frequency with level 0, then the full tune follows.
    EXPECT_EQ((Events{"CARRIER on", "SYNTH 101300 0", "SYNTH 101300 4", "CARRIER off",
                      "SYNTH 87300 0"}),
              Tuning());
}

TEST_F(HandlersTest, StereoLedSwitchesTheModeAndStoresIt) {
    StartAt("100.000MHz");
    form->VrCheckLed2->SetChecked(true);
    Tuning();
    form->VrCheckLed1->SetChecked(true);
    EXPECT_EQ("Yes", Stored("Stereo"));
    form->VrCheckLed1->SetChecked(false);
    EXPECT_EQ("No", Stored("Stereo"));
    EXPECT_EQ((Events{"STEREO on", "STEREO off"}), Tuning());
}

TEST_F(HandlersTest, ArrowOpensTheViewThatTheRdsLedAskedForWhenClicked) {
    StartAt("100.000MHz");
    form->VrCheckLed7->SetChecked(true);
    ClickMiddle(form->VrArrow1);
    EXPECT_EQ(TVrArrowDirection::pdLeft, form->VrArrow1->Direction());
    EXPECT_EQ(392, form->Width());
    EXPECT_EQ(340, form->Height());
    form->VrCheckLed7->SetChecked(false);
    EXPECT_EQ(340, form->Height());
    EXPECT_EQ("No", Stored("Rds"));
    ClickMiddle(form->VrArrow1);
    EXPECT_EQ(TVrArrowDirection::pdRight, form->VrArrow1->Direction());
    EXPECT_EQ(235, form->Width());
    EXPECT_EQ(160, form->Height());
    ClickMiddle(form->VrArrow1);
    EXPECT_EQ(392, form->Width());
    EXPECT_EQ(160, form->Height());
}

TEST_F(HandlersTest, OptionLedsStoreTheirFlagsAndSendNothing) {
    StartAt("100.000MHz");
    form->VrCheckLed3->SetChecked(true);
    form->VrCheckLed5->SetChecked(true);
    EXPECT_EQ("Yes", Stored("ShutDownAtExit"));
    EXPECT_EQ("Yes", Stored("MoveToTray"));
    form->VrCheckLed5->SetChecked(false);
    EXPECT_EQ("No", Stored("MoveToTray"));
    EXPECT_TRUE(Tuning().empty());
}

TEST_F(HandlersTest, StartWithWindowsWritesAndDeletesTheRunEntry) {
    StartAt("100.000MHz");
    form->VrCheckLed4->SetChecked(true);
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(std::string("\"") + path + "\"", registry.Get(RunKeyPath, "SONDEL ULTRA 3.0"));
    form->VrCheckLed4->SetChecked(false);
    EXPECT_EQ("<absent>", registry.Get(RunKeyPath, "SONDEL ULTRA 3.0"));
}

TEST_F(HandlersTest, RunEntryThatCannotBeWrittenLeavesTheOptionUnchecked) {
    StartAt("100.000MHz");
    TScratchRegistry refusing(true);
    try {
        form->VrCheckLed4->SetChecked(true);
        FAIL() << "no error raised";
    } catch (const std::exception& error) {
        EXPECT_STREQ("Failed to create key \\Software\\Microsoft\\Windows\\CurrentVersion\\Run", error.what());
    }
    EXPECT_FALSE(form->VrCheckLed4->Checked());
}

TEST_F(HandlersTest, ColourBoxesColourTheGradientAndStoreTheColourText) {
    StartAt("100.000MHz");
    form->ColorBox1->SetSelected(clNavy);
    form->ColorBox1Change(form->ColorBox1);
    form->ColorBox2->SetSelected(clYellow);
    form->ColorBox2Change(form->ColorBox2);
    EXPECT_EQ(clNavy, form->VrGradient1->StartColor());
    EXPECT_EQ(clYellow, form->VrGradient1->EndColor());
    EXPECT_EQ("clNavy", Stored("Color"));
    EXPECT_EQ("clYellow", Stored("EndColor"));
}

TEST_F(HandlersTest, NoticeClickOpensTheSupportAddress) {
    StartAt("100.000MHz");
    std::vector<std::string> opened;
    SetShellExecuteHook([&](const std::string& operation, const std::string& file, const std::string& parameters,
                            const std::string& directory, int show) {
        opened.push_back(operation + " " + file + " [" + parameters + "][" + directory + "] " +
                         std::to_string(show));
        return std::intptr_t{42};
    });
    ClickMiddle(form->VrScrollText1);
    SetShellExecuteHook(nullptr);
    EXPECT_EQ((Events{"open https://www.dravik-electronics.example/support [][] 1"}), opened);
    EXPECT_NE(std::string::npos, form->VrScrollText1->Caption().find("2004 Dravik Electronics"));
    EXPECT_NE(std::string::npos, form->VrScrollText1->Caption().find(SupportAddress));
}

TEST_F(HandlersTest, ShowRequestOfASecondCopyBringsTheWindowOutOfTheTray) {
    Seed("MoveToTray", "Yes");
    StartAt("100.000MHz");
    ASSERT_TRUE(form->VrTrayIcon2->Visible());
    form->Perform(TSingleInstance::ShowRequestMessage());
    EXPECT_FALSE(form->VrTrayIcon2->Visible());
}

TEST_F(HandlersTest, TheNoticeScrollsOnlyWhileTheOptionsViewIsShown) {
    StartAt("100.000MHz");
    form->Show();
    EXPECT_FALSE(form->VrScrollText1->Scrolling()) << "the compact view leaves it out";
    form->VrArrow1Click(form->VrArrow1);
    EXPECT_TRUE(form->VrScrollText1->Scrolling());
    form->Hide();
    EXPECT_FALSE(form->VrScrollText1->Scrolling());
    form->Show();
    EXPECT_TRUE(form->VrScrollText1->Scrolling());
    form->VrArrow1Click(form->VrArrow1);
    EXPECT_FALSE(form->VrScrollText1->Scrolling());
}

TEST_F(HandlersTest, EndOfTheSessionRunsTheCloseSequence) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    Tuning();
    EXPECT_EQ(TRUE, form->Perform(WM_QUERYENDSESSION));
    EXPECT_TRUE(Tuning().empty());
    ASSERT_NE(nullptr, form->Card());
    form->Perform(WM_ENDSESSION, TRUE);
    EXPECT_EQ((Events{"CARRIER off", "SYNTH 87300 0"}), Tuning());
    EXPECT_FALSE(card.Locked());
    EXPECT_EQ(nullptr, form->Card());
}

TEST_F(HandlersTest, AnEndOfSessionThatWasCancelledLeavesTheCardAlone) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    Tuning();
    form->Perform(WM_ENDSESSION, FALSE);
    EXPECT_TRUE(Tuning().empty());
    EXPECT_TRUE(card.Locked());
    EXPECT_NE(nullptr, form->Card());
}

TEST_F(HandlersTest, AnInstallerClosingForAnUpdateLeavesTheCarrierOnAndReleasesTheCard) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    Tuning();
    EXPECT_EQ(TRUE, form->Perform(WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP));
    form->Perform(WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    EXPECT_EQ(TCloseReason::crAppUpdate, form->CloseReason());
    EXPECT_TRUE(Tuning().empty()) << "the station stays on the air";
    EXPECT_TRUE(card.Trace().EventsStartingWith({"REG"}).empty()) << "nothing is written to the card";
    EXPECT_TRUE(card.Pins().Carrier());
    EXPECT_FALSE(card.Locked()) << "released, so the new version can take it";
    EXPECT_EQ(nullptr, form->Card());
    EXPECT_EQ("Yes", Stored("PowerOn"));
    EXPECT_EQ("Yes", Stored("ShutDownAtExit"));
}

TEST_F(HandlersTest, ALogOffWithTheCloseAppBitClearStillSwitchesTheCarrierOff) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    Tuning();
    form->Perform(WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF));
    EXPECT_EQ(TCloseReason::crSessionEnd, form->CloseReason());
    EXPECT_EQ((Events{"CARRIER off", "SYNTH 87300 0"}), Tuning());
}

std::vector<TRestartRequest> restartRequests;
bool RecordRestartRequest(const TRestartRequest& request) {
    restartRequests.push_back(request);
    return true;
}

TEST_F(HandlersTest, TheWindowRegistersForARestartAfterAnUpdateOnlyWithoutArgumentsAndNotAfterACrash) {
    restartRequests.clear();
    UseRestartRegistrar(RecordRestartRequest);
    StartAt("100.000MHz");
    UseRestartRegistrar(nullptr);
    ASSERT_EQ(1u, restartRequests.size());
    EXPECT_EQ(nullptr, restartRequests[0].CommandLine);
    EXPECT_EQ(static_cast<uint32_t>(RESTART_NO_CRASH | RESTART_NO_HANG), restartRequests[0].Flags);
}

TEST_F(HandlersTest, ListsAndEditsStoreEveryChange) {
    StartAt("100.000MHz");
    form->ComboBox1->SetItemIndex(11);
    form->ComboBox1Change(form->ComboBox1);
    form->ComboBox3->SetItemIndex(-1);
    form->ComboBox3Change(form->ComboBox3);
    form->VrStrEdit1->SetText("ROCK FM");
    form->VrStrEdit2->SetText("");
    EXPECT_EQ("11", Stored("PTY"));
    EXPECT_EQ("-1", Stored("PIA"));
    EXPECT_EQ("ROCK FM", Stored("PS"));
    EXPECT_EQ("", Stored("RT"));
    EXPECT_TRUE(Tuning().empty());
}

// Picks an item as the user does with the keyboard: the list's own window moves its
// selection and tells its parent, whose notification runs the list's change handler.
void PickWithKeys(TComboBox* list, int index) {
    HWND window = list->Handle();
    SendMessageA(window, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < index; ++i) SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
}

TEST_F(HandlersTest, EachRdsListPickedByTheUserStoresItsItem) {
    StartAt("100.000MHz");
    const struct {
        TComboBox* list;
        const char* setting;
        int index;
    } lists[] = {
        {form->ComboBox1, "PTY", 11}, {form->ComboBox2, "PIC", 7}, {form->ComboBox3, "PIA", 3},
        {form->ComboBox4, "PIP", 35}, {form->ComboBox5, "TP", 1},  {form->ComboBox6, "MS", 1},
    };
    for (const auto& each : lists) {
        PickWithKeys(each.list, each.index);
        EXPECT_EQ(std::to_string(each.index), Stored(each.setting)) << each.setting;
        EXPECT_EQ(each.index, each.list->ItemIndex()) << each.setting;
    }
    // Each list stores only its own value.
    EXPECT_EQ("11", Stored("PTY"));
    EXPECT_EQ("7", Stored("PIC"));
    EXPECT_EQ("3", Stored("PIA"));
    EXPECT_EQ("35", Stored("PIP"));
    EXPECT_TRUE(Tuning().empty());
    EXPECT_TRUE(RdsWrites().empty()) << "nothing is sent before Update RDS";
}

TEST_F(HandlersTest, UpdateRdsWritesThePanelAndShowsEachValue) {
    Seed("PTY", "11");
    Seed("TP", "1");
    Seed("MS", "1");
    Seed("PIC", "12");
    Seed("PIP", "35");
    Seed("PS", "ROCK");
    Seed("RT", "");
    StartAt("100.000MHz");
    const std::string before = form->Button1->Caption();
    form->Button1Click(form->Button1);
    const Events writes = RdsWrites();
    ASSERT_EQ(83u, writes.size());
    EXPECT_EQ((Events{"RDS 4 11", "RDS 5 1", "RDS 6 0", "RDS 7 1", "RDS 8 13", "RDS 9 35", "RDS 10 1",
                      "RDS 11 0", "RDS 12 1", "RDS 13 1", "RDS 14 11", "RDS 16 82", "RDS 17 79", "RDS 18 67",
                      "RDS 19 75", "RDS 20 32"}),
              Events(writes.begin(), writes.begin() + 16));
    EXPECT_EQ("RDS 256 32", writes[19]);
    EXPECT_EQ("RDS 543 32", writes.back());
    EXPECT_EQ("Update RDS", before);
    EXPECT_EQ("Update RDS", form->Button1->Caption());
}

}  // namespace
