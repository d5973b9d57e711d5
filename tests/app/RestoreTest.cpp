// The restore at the first activation: its order of card commands and stores,
// the seeding of a first start, malformed values that no longer stop it, and
// the close.
#include "AppFixture.h"

#include "StdCtrls.h"
#include "Testing.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrGradient.h"
#include "VrMatrix.h"
#include "VrNavigator.h"
#include "VrTrackBar.h"
#include "VrTrayIcon.h"

using Events = std::vector<std::string>;

// The middle of a check LED's lamp, in the LED's coordinates.
constexpr TPoint StereoLamp{14, 13};

TEST_F(AppTest, FirstStartSeedsTheDesignStateAndRestoresCleanly) {
    Start();
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 0", "STEREO off"}), Tuning());
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ("100.000MHz", Stored("Freq"));
    EXPECT_EQ("No", Stored("PowerOn"));
    EXPECT_EQ("0", Stored("Power"));
    EXPECT_EQ("PC RADIO", Stored("PS"));
    EXPECT_EQ("PC RADIO, NON-STOP LATEST HITS!", Stored("RT"));
    EXPECT_EQ("clRed", Stored("Color"));
    EXPECT_EQ("clFuchsia", Stored("EndColor"));
    for (const char* flag : {"Stereo", "Rds", "ShutDownAtExit", "MoveToTray"}) EXPECT_EQ("No", Stored(flag)) << flag;
    for (const char* index : {"PTY", "PIC", "PIA", "PIP", "TP", "MS"}) EXPECT_EQ("0", Stored(index)) << index;
    EXPECT_EQ(17, registry.ValueCount(SettingsKeyPath));
    EXPECT_EQ("100.000MHz", form->VrMatrix1->Text());
    EXPECT_EQ("SONDEL at 87.500MHz", form->VrTrayIcon2->Hint());
    EXPECT_EQ(32, form->ComboBox1->ItemCount());
    EXPECT_EQ(15, form->ComboBox2->ItemCount());
    EXPECT_EQ(16, form->ComboBox3->ItemCount());
    EXPECT_EQ(256, form->ComboBox4->ItemCount());
    EXPECT_EQ(2, form->ComboBox5->ItemCount());
    EXPECT_EQ(2, form->ComboBox6->ItemCount());
    EXPECT_EQ(0, form->ComboBox1->ItemIndex());
    EXPECT_EQ(235, form->Width());
    EXPECT_EQ(160, form->Height());
}

TEST_F(AppTest, PowerOffTunesTheBandBottomAndKeepsTheStoredFrequency) {
    Seed("PowerOn", "No");
    Seed("Freq", "101.300MHz");
    Seed("Power", "0");
    Start();
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 0", "STEREO off"}), Tuning());
    EXPECT_EQ("101.300MHz", form->VrMatrix1->Text());
    EXPECT_EQ("101.300MHz", Stored("Freq"));
    EXPECT_EQ("SONDEL at 87.500MHz", form->VrTrayIcon2->Hint());
    EXPECT_FALSE(form->VrCheckLed2->Checked());
}

TEST_F(AppTest, PowerOnSwitchesOnAndTunesTwice) {
    Seed("PowerOn", "Yes");
    Seed("Freq", "101.300MHz");
    Seed("Power", "0");
    Start();
    EXPECT_EQ((Events{"CARRIER on", "STEREO on", "SYNTH 100000 0", "SYNTH 101300 0", "SYNTH 101300 0",
                      "SYNTH 101300 0", "STEREO off"}),
              Tuning());
    EXPECT_EQ("Yes", Stored("PowerOn"));
    EXPECT_TRUE(form->VrCheckLed2->Checked());
    EXPECT_EQ("SONDEL at 101.300MHz", form->VrTrayIcon2->Hint());
}

TEST_F(AppTest, StoredPowerLevelReachesTheTrackBarAndTheCard) {
    Seed("PowerOn", "No");
    Seed("Freq", "101.300MHz");
    Seed("Power", "5");
    Start();
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 5", "SYNTH 101300 5", "STEREO off"}), Tuning());
    EXPECT_EQ(5, form->VrTrackBar1->Position());
    EXPECT_EQ("5", Stored("Power"));
}

TEST_F(AppTest, LowerCaseYesCountsAsOff) {
    Seed("PowerOn", "yes");
    Seed("Stereo", "YES");
    Start();
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 0", "STEREO off"}), Tuning());
    EXPECT_FALSE(form->VrCheckLed2->Checked());
    EXPECT_FALSE(form->VrCheckLed1->Checked());
    EXPECT_EQ("yes", Stored("PowerOn"));
}

TEST_F(AppTest, PowerAboveTheRangeIsClampedOnTheCardAndStoredAsFifteen) {
    Seed("PowerOn", "Yes");
    Seed("Freq", "100.000MHz");
    Seed("Power", "20");
    Start();
    EXPECT_EQ((Events{"CARRIER on", "STEREO on", "SYNTH 100000 0", "SYNTH 100000 15", "SYNTH 100000 0",
                      "SYNTH 100000 15", "SYNTH 100000 15", "STEREO off"}),
              Tuning());
    EXPECT_EQ(15, form->VrTrackBar1->Position());
    EXPECT_EQ("15", Stored("Power"));
    EXPECT_TRUE(reports.empty());
}

TEST_F(AppTest, PowerBelowTheRangeIsSentAsLevelZero) {
    Seed("PowerOn", "No");
    Seed("Power", "-3");
    Start();
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 0", "STEREO off"}), Tuning());
    EXPECT_EQ(0, form->VrTrackBar1->Position());
    EXPECT_EQ("-3", Stored("Power"));
}

TEST_F(AppTest, MalformedPowerIsReportedAndTheRestoreGoesOn) {
    Seed("PowerOn", "No");
    Seed("Freq", "101.300MHz");
    Seed("Power", "abc");
    Seed("PS", "ROCK FM");
    Seed("Stereo", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Seed("PTY", "11");
    Seed("MS", "1");
    Start();
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0"}), Tuning());
    // Read by the tune of the power-on step and by the power level's step: told once.
    EXPECT_EQ((Events{"'abc' is not a valid integer value"}), reports);
    EXPECT_EQ("abc", Stored("Power"));
    EXPECT_EQ("101.300MHz", Stored("Freq"));
    EXPECT_EQ("101.300MHz", form->VrMatrix1->Text());
    EXPECT_EQ("ROCK FM", form->VrStrEdit1->Text());
    EXPECT_TRUE(form->VrCheckLed1->Checked());
    EXPECT_TRUE(form->VrCheckLed3->Checked());
    EXPECT_EQ(11, form->ComboBox1->ItemIndex());
    EXPECT_EQ(1, form->ComboBox6->ItemIndex());
}

TEST_F(AppTest, MalformedPowerWithPowerOnIsToldOnceAndTheCarrierStillComesOn) {
    Seed("PowerOn", "Yes");
    Seed("Power", "abc");
    Start();
    EXPECT_EQ((Events{"'abc' is not a valid integer value"}), reports);
    // The carrier comes on at the opening frequency with no power; no tune follows.
    EXPECT_EQ((Events{"CARRIER on", "STEREO on", "SYNTH 100000 0", "STEREO off"}), Tuning());
    EXPECT_TRUE(form->VrCheckLed2->Checked());
}

TEST_F(AppTest, MalformedColourAndListIndexCostOnlyTheirOwnSteps) {
    Seed("Color", "reddish");
    Seed("PIC", "x");
    Seed("EndColor", "clNavy");
    Seed("PIA", "3");
    // The same text in another value is that value's own fault, told as well.
    Seed("MS", "x");
    Start();
    EXPECT_EQ((Events{"'reddish' is not a valid integer value", "'x' is not a valid integer value",
                      "'x' is not a valid integer value"}),
              reports);
    EXPECT_EQ(clRed, form->VrGradient1->StartColor());
    EXPECT_EQ(clNavy, form->VrGradient1->EndColor());
    // A malformed index keeps the value a first start stores.
    EXPECT_EQ(0, form->ComboBox2->ItemIndex());
    EXPECT_EQ(0, form->ComboBox6->ItemIndex());
    EXPECT_EQ(15, form->ComboBox2->ItemCount());
    EXPECT_EQ(3, form->ComboBox3->ItemIndex());
    EXPECT_EQ("reddish", Stored("Color"));
}

TEST_F(AppTest, ListIndexOutOfRangeSelectsTheFirstItem) {
    Seed("PTY", "40");
    Start();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(0, form->ComboBox1->ItemIndex());
    EXPECT_EQ("40", Stored("PTY"));
}

TEST_F(AppTest, ColoursGoToTheGradientAndTheColourBoxes) {
    Seed("Color", "clNavy");
    Seed("EndColor", "$00123456");
    Start();
    EXPECT_EQ(clNavy, form->VrGradient1->StartColor());
    EXPECT_EQ(clNavy, form->ColorBox1->Selected());
    EXPECT_EQ(static_cast<TColor>(0x00123456), form->VrGradient1->EndColor());
    EXPECT_EQ("clNavy", Stored("Color"));
}

TEST_F(AppTest, StereoIsSentAndStored) {
    Seed("Stereo", "Yes");
    Seed("Rds", "Yes");
    Start();
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 0"}), Tuning());
    EXPECT_TRUE(form->VrCheckLed1->Checked());
    EXPECT_TRUE(form->VrCheckLed7->Checked());
    EXPECT_EQ("Yes", Stored("Stereo"));
}

TEST_F(AppTest, AutostartWithAnOldPathIsRewrittenWithTheProgramPath) {
    registry.Put(RunKeyPath, "SONDEL ULTRA 3.0", "C:\\Old\\sondel.exe");
    Start();
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_TRUE(form->VrCheckLed4->Checked());
    EXPECT_EQ(std::string("\"") + path + "\"", registry.Get(RunKeyPath, "SONDEL ULTRA 3.0"));
}

TEST_F(AppTest, NoAutostartEntryLeavesTheOptionOffAndWritesNone) {
    Start();
    EXPECT_FALSE(form->VrCheckLed4->Checked());
    EXPECT_EQ(-1, registry.ValueCount(RunKeyPath));
}

TEST_F(AppTest, MoveToTrayHidesTheWindowAndShowsTheTrayIcon) {
    Seed("MoveToTray", "Yes");
    Start();
    EXPECT_TRUE(form->VrTrayIcon2->Visible());
    EXPECT_TRUE(form->VrCheckLed5->Checked());
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(AppTest, TheRestoreRunsOncePerStart) {
    Seed("PowerOn", "Yes");
    Start();
    Tuning();
    form->VrMatrix1->SetText("90.000MHz");
    form->FormActivate(form.get());
    EXPECT_TRUE(Tuning().empty());
    EXPECT_EQ("90.000MHz", form->VrMatrix1->Text());
    EXPECT_TRUE(form->Restored());
}

TEST_F(AppTest, SettingsKeyThatCannotBeMadeIsToldOnceAndTheStartGoesOnQuietly) {
    TScratchRegistry refusing(true);
    Start();
    // Every later store fails the same way and every value reads as absent: not told again.
    EXPECT_EQ((Events{"Failed to create key \\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0"}), reports);
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_EQ((Events{"STEREO on", "SYNTH 87300 0", "STEREO off"}), Tuning());
    EXPECT_EQ(32, form->ComboBox1->ItemCount());
    EXPECT_EQ(2, form->ComboBox6->ItemCount());
}

TEST_F(AppTest, SettingsKeyThisUserMayOnlyReadIsToldOnceAndItsSettingsStillRestore) {
    Seed("PowerOn", "Yes");
    Seed("Freq", "101.300MHz");
    Seed("Power", "7");
    Seed("Stereo", "Yes");
    Seed("PTY", "11");
    Seed("Color", "clNavy");
    registry.DenyWrites(SettingsKeyPath);
    Start();
    EXPECT_EQ((Events{"Failed to create key \\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0"}), reports);
    // On, and tuned with the stored level although "Freq" cannot be stored; the power
    // track bar's level reaches the card although "Power" cannot be stored either.
    EXPECT_EQ((Events{"CARRIER on", "STEREO on", "SYNTH 100000 0", "SYNTH 101300 7", "SYNTH 101300 7"}), Tuning());
    EXPECT_EQ("101.300MHz", form->VrMatrix1->Text());
    EXPECT_EQ(7, form->VrTrackBar1->Position());
    EXPECT_TRUE(form->VrCheckLed1->Checked());
    EXPECT_EQ(11, form->ComboBox1->ItemIndex());
    EXPECT_EQ(clNavy, form->VrGradient1->StartColor());
    EXPECT_EQ(6, registry.ValueCount(SettingsKeyPath));
    // After the start a store that fails is the user's own action, and told each time.
    Testing::Click(form->VrCheckLed1, StereoLamp.X, StereoLamp.Y);
    EXPECT_FALSE(form->VrCheckLed1->Checked());
    EXPECT_EQ(2u, reports.size());
    EXPECT_EQ("Yes", Stored("Stereo"));
    // A step is tuned although its frequency cannot be stored.
    Tuning();
    Testing::Click(form->VrMediaButton2, form->VrMediaButton2->Width() / 2, form->VrMediaButton2->Height() / 2);
    EXPECT_EQ((Events{"SYNTH 101400 7"}), Tuning());
    EXPECT_EQ(3u, reports.size());
    EXPECT_EQ("101.300MHz", Stored("Freq"));
}

TEST_F(AppTest, CardThatCannotBeOpenedIsReportedAndStartUpGoesOn) {
    form.reset();
    TVirtualCardConfig config = IoCardConfig();
    ApplyVirtualFault(config, TVirtualFault::NoCard);
    TVirtualCard absent(config);
    UseDriverDevice(&absent);
    Start();
    ASSERT_EQ(1u, messageBoxes.size());
    EXPECT_EQ(
        "Unable to open Sondel card. Try to move SONDEL to another PCI slot or reinstall the driver. "
        "Last reported error: no cards found",
        messageBoxes[0]);
    EXPECT_TRUE(form->Restored());
    EXPECT_EQ("100.000MHz", Stored("Freq"));
    form.reset();
}

TEST_F(AppTest, CloseWithShutDownAtExitSwitchesTheTransmitterOff) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    Tuning();
    TCloseAction action = TCloseAction::caFree;
    form->FormClose(form.get(), action);
    EXPECT_EQ((Events{"CARRIER off", "SYNTH 87300 0"}), Tuning());
    EXPECT_EQ(nullptr, form->Card());
}

TEST_F(AppTest, CloseWithoutShutDownAtExitLeavesTheCarrierOn) {
    Seed("PowerOn", "Yes");
    Start();
    Tuning();
    TCloseAction action = TCloseAction::caFree;
    form->FormClose(form.get(), action);
    EXPECT_TRUE(Tuning().empty());
    EXPECT_TRUE(card.Pins().Carrier());
    EXPECT_FALSE(card.Locked());
}
