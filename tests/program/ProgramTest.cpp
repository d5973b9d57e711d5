// sondel.exe as a user meets it: started on the virtual card with seeded settings,
// clicked at its controls' places; checked in the card's trace, the registry and
// the window's size and pixels.
#include "ProgramFixture.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

using namespace ProgramFixture;

TEST_F(ProgramTest, StepButtonsTuneByTheirStepsWithTheStoredLevelAndStoreEachFrequency) {
    Start();
    Click(IncreaseBy100KHz);
    EXPECT_EQ("100.100MHz", ProgramRegistry::GetSetting("Freq"));
    Click(DecreaseBy100KHz);
    Click(DecreaseBy100KHz);
    EXPECT_EQ("99.900MHz", ProgramRegistry::GetSetting("Freq"));
    Click(IncreaseBy1MHz);
    EXPECT_EQ("100.900MHz", ProgramRegistry::GetSetting("Freq"));
    Click(DecreaseBy1MHz);
    EXPECT_EQ("99.900MHz", ProgramRegistry::GetSetting("Freq"));
    EXPECT_EQ((Lines{"SYNTH 100100 4", "SYNTH 100000 4", "SYNTH 99900 4", "SYNTH 100900 4", "SYNTH 99900 4"}),
              SinceStart());
    EXPECT_EQ("4", ProgramRegistry::GetSetting("Power"));
}

TEST_F(ProgramTest, StepButtonsWrapAtTheBandEnds) {
    Seed("Freq", "108.000MHz");
    Start();
    Click(IncreaseBy100KHz);
    EXPECT_EQ("87.500MHz", ProgramRegistry::GetSetting("Freq"));
    Click(DecreaseBy1MHz);
    EXPECT_EQ("108.000MHz", ProgramRegistry::GetSetting("Freq"));
    EXPECT_EQ((Lines{"SYNTH 87500 4", "SYNTH 108000 4"}), SinceStart());
}

TEST_F(ProgramTest, PowerTrackBarClickStoresTheLevelAndRetunesWithIt) {
    Seed("Freq", "101.300MHz");
    Start();
    Click(PowerTop);
    EXPECT_EQ("15", ProgramRegistry::GetSetting("Power"));
    Click(PowerBottom);
    EXPECT_EQ("0", ProgramRegistry::GetSetting("Power"));
    EXPECT_EQ((Lines{"SYNTH 101300 15", "SYNTH 101300 0"}), SinceStart());
    EXPECT_EQ("101.300MHz", ProgramRegistry::GetSetting("Freq"));
}

TEST_F(ProgramTest, FrequencyDisplayShowsEachStep) {
    Start();
    auto display = [this] {
        return program->Capture(FrequencyDisplay.left, FrequencyDisplay.top,
                                FrequencyDisplay.right - FrequencyDisplay.left,
                                FrequencyDisplay.bottom - FrequencyDisplay.top)
            .Pixels;
    };
    const std::vector<COLORREF> at100 = display();
    Click(IncreaseBy1MHz);
    EXPECT_EQ("101.000MHz", ProgramRegistry::GetSetting("Freq"));
    const std::vector<COLORREF> at101 = display();
    EXPECT_NE(at100, at101);
    Click(DecreaseBy1MHz);
    EXPECT_EQ(at100, display());
}

TEST_F(ProgramTest, CloseWithShutDownAtExitSwitchesTheCarrierOff) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    EXPECT_EQ((Lines{"CARRIER on"}), program->Trace("CARRIER"));
    EXPECT_EQ(0u, program->Close());
    // Off, and the synthesizer parked at 87.3 MHz with no power.
    EXPECT_EQ((Lines{"CARRIER off", "SYNTH 87300 0"}), SinceStart());
}

TEST_F(ProgramTest, CloseWithoutShutDownAtExitLeavesTheCarrierOn) {
    Seed("PowerOn", "Yes");
    Start();
    EXPECT_EQ(0u, program->Close());
    EXPECT_EQ((Lines{"CARRIER on"}), program->Trace("CARRIER"));
    EXPECT_EQ((Lines{}), SinceStart());
}

TEST_F(ProgramTest, ArrowOpensTheOptionsViewAndClosesIt) {
    Start();
    EXPECT_EQ(Compact, Size());
    Click(Arrow);
    EXPECT_EQ(Options, Size());
    Click(Arrow);
    EXPECT_EQ(Compact, Size());
}

TEST_F(ProgramTest, ArrowOpensTheRdsPanelWhenTheRdsLedIsOn) {
    Seed("Rds", "Yes");
    Start();
    Click(Arrow);
    EXPECT_EQ(OptionsWithRds, Size());
    Click(Arrow);
    EXPECT_EQ(Compact, Size());
}

TEST_F(ProgramTest, RdsLedResizesNothingUntilTheArrowIsClicked) {
    Start();
    Click(Arrow);
    Click(RdsLamp);
    EXPECT_EQ("Yes", ProgramRegistry::GetSetting("Rds"));
    EXPECT_EQ(Options, Size());
    Click(Arrow);
    EXPECT_EQ(Compact, Size());
    Click(Arrow);
    EXPECT_EQ(OptionsWithRds, Size());
}

TEST_F(ProgramTest, PowerAndStereoLedsSwitchTheCardAndStoreTheirState) {
    Start();
    Click(PowerLamp);
    EXPECT_EQ("Yes", ProgramRegistry::GetSetting("PowerOn"));
    Click(StereoLamp);
    EXPECT_EQ("Yes", ProgramRegistry::GetSetting("Stereo"));
    Click(StereoLamp);
    EXPECT_EQ("No", ProgramRegistry::GetSetting("Stereo"));
    Click(PowerLamp);
    EXPECT_EQ("No", ProgramRegistry::GetSetting("PowerOn"));
    // On: carrier, a tune at level 0, then the displayed frequency at the stored level;
    // off: carrier off and the synthesizer parked at 87.3 MHz.
    EXPECT_EQ((Lines{"CARRIER on", "SYNTH 100000 0", "SYNTH 100000 4", "STEREO on", "STEREO off", "CARRIER off",
                     "SYNTH 87300 0"}),
              SinceStart());
}

TEST_F(ProgramTest, UpdateRdsWritesTheWholeImageOnce) {
    Seed("Rds", "Yes");
    Seed("PTY", "11");
    Start();
    Click(Arrow);
    ASSERT_EQ(OptionsWithRds, Size());
    Click(UpdateRdsButton);
    ASSERT_TRUE(program->WaitForTrace("RDS", 83));
    const Lines rds = program->Trace("RDS");
    EXPECT_EQ(83u, rds.size());
    EXPECT_TRUE(program->Trace("LOST").empty());
    const Lines programService = {"RDS 16 80", "RDS 17 67", "RDS 18 32", "RDS 19 82",
                                  "RDS 20 65", "RDS 21 68", "RDS 22 73", "RDS 23 79"};
    EXPECT_NE(rds.end(), std::search(rds.begin(), rds.end(), programService.begin(), programService.end()))
        << "PS \"PC RADIO\" in order";
    EXPECT_NE(rds.end(), std::find(rds.begin(), rds.end(), "RDS 4 11")) << "the programme type";
}

TEST_F(ProgramTest, FirstStartWithoutSettingsSeedsThemQuietlyAndTunesTheCard) {
    SeedNothing();
    Start();
    EXPECT_EQ(nullptr, FindAnyProcessWindow(program->ProcessId(), "#32770")) << "no error box";
    EXPECT_EQ((Lines{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 0", "STEREO off"}), program->Trace(CardKinds()));
    std::map<std::string, std::string> seeded = DesignSettings;
    seeded["Power"] = "0";
    for (const auto& setting : seeded)
        EXPECT_EQ(setting.second, ProgramRegistry::GetSetting(setting.first)) << setting.first;
    EXPECT_EQ(Compact, Size());
}

TEST_F(ProgramTest, ColourBoxSetsTheGradientsStartColourAndStoresIt) {
    Start();
    Click(Arrow);
    EXPECT_EQ(Red, program->Capture(GradientStart.x, GradientStart.y, 1, 1).At(0, 0));
    HWND box = ChildWindowFromPointEx(program->Window(), StartColourBox, CWP_SKIPINVISIBLE);
    ASSERT_NE(program->Window(), box);
    program->SendTo(box, CB_SETCURSEL, NavyIndex);
    program->Send(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    EXPECT_EQ("clNavy", ProgramRegistry::GetSetting("Color"));
    EXPECT_EQ(Navy, program->Capture(GradientStart.x, GradientStart.y, 1, 1).At(0, 0));
    EXPECT_EQ("clFuchsia", ProgramRegistry::GetSetting("EndColor"));
}

TEST_F(ProgramTest, MinimiseHidesTheWindowAndTheTrayIconBringsItBack) {
    Start();
    program->Send(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(WaitUntilVisible(false));
    DoubleClickTrayIcon();
    EXPECT_TRUE(WaitUntilVisible(true));
    EXPECT_EQ(Compact, Size());
}

TEST_F(ProgramTest, ToTrayAtStartStartsHidden) {
    Seed("MoveToTray", "Yes");
    Start(TWindowWait::Any);
    EXPECT_TRUE(WaitUntilVisible(false));
    DoubleClickTrayIcon();
    EXPECT_TRUE(WaitUntilVisible(true));
    EXPECT_EQ("Yes", ProgramRegistry::GetSetting("MoveToTray"));
}

TEST_F(ProgramTest, SecondStartShowsTheRunningOneAndLeavesCardAndSettingsAlone) {
    Start();
    program->Send(WM_SYSCOMMAND, SC_MINIMIZE);
    ASSERT_TRUE(WaitUntilVisible(false));
    const Lines before = program->Trace(CardKinds());
    const std::string secondTrace = TracePath("_second");

    EXPECT_EQ(0u, RunToEnd(SONDEL_EXE, secondTrace));

    EXPECT_TRUE(WaitUntilVisible(true));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(secondTrace.c_str()));
    EXPECT_EQ(before, program->Trace(CardKinds()));
    EXPECT_EQ("100.000MHz", ProgramRegistry::GetSetting("Freq"));
    EXPECT_TRUE(program->Running());
}

TEST_F(ProgramTest, EndOfTheSessionSwitchesTheCarrierOffClosesTheCardAndEnds) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    EXPECT_EQ(TRUE, program->Send(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    EXPECT_EQ((Lines{}), SinceStart()) << "only asked";
    program->Send(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    // Done by the time the message returns: the session may end the process right after it.
    EXPECT_EQ((Lines{"CARRIER off", "SYNTH 87300 0"}), SinceStart());
    EXPECT_TRUE(WaitUntilEnded());
    EXPECT_EQ((Lines{"CARRIER off", "SYNTH 87300 0"}), SinceStart());
}

// Microseconds from the first register write to the frame Tuned that follows the last
// frame with power 0 in a trace file (the restore sends power 0 with each TransmitterOn).
double OffAirMicroseconds(const std::string& tracePath, const std::string& tuned) {
    std::ifstream trace(tracePath);
    std::vector<std::pair<double, std::string>> events;
    std::string line;
    while (std::getline(trace, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        double at = 0;
        std::string event;
        if (fields >> at && std::getline(fields >> std::ws, event)) events.emplace_back(at, event);
    }
    double firstWrite = -1;
    size_t lastSilent = 0;
    for (size_t k = 0; k < events.size(); ++k) {
        const std::string& event = events[k].second;
        if (firstWrite < 0 && event.rfind("REG ", 0) == 0) firstWrite = events[k].first;
        if (event.rfind("SYNTH ", 0) == 0 && event.size() > 2 && event.compare(event.size() - 2, 2, " 0") == 0)
            lastSilent = k;
    }
    for (size_t k = lastSilent; k < events.size(); ++k)
        if (firstWrite >= 0 && events[k].second == tuned) return events[k].first - firstWrite;
    return -1;
}

TEST_F(ProgramTest, AnInstallerClosingForAnUpdateKeepsTheCarrierOnAndTheRestartedCopyTunesBack) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Seed("Freq", "101.300MHz");
    Seed("Power", "9");
    Start();
    EXPECT_EQ(TRUE, program->Send(WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP));
    program->Send(WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    EXPECT_TRUE(WaitUntilEnded());
    EXPECT_EQ((Lines{}), SinceStart()) << "the carrier stays on";
    EXPECT_EQ("Yes", ProgramRegistry::GetSetting("PowerOn"));
    EXPECT_EQ("Yes", ProgramRegistry::GetSetting("ShutDownAtExit"));

    // Started again as Restart Manager does once the files are replaced: no arguments.
    const std::string restartTrace = TracePath("_restarted");
    program = std::make_unique<TRunningProgram>(SONDEL_EXE, MainClass, restartTrace);
    program->Settle();
    const Lines tuning = program->Trace(std::vector<std::string>{"SYNTH", "CARRIER"});
    ASSERT_FALSE(tuning.empty());
    EXPECT_EQ("SYNTH 101300 9", tuning.back());
    EXPECT_EQ("CARRIER on", program->Trace("CARRIER").back());
    const double gap = OffAirMicroseconds(restartTrace, "SYNTH 101300 9");
    EXPECT_GT(gap, 0) << "the restarted copy tunes back with the stored level";
    std::cout << "[ restart  ] from the first register write to the stored power: " << gap / 1000 << " ms\n";
}

// The last lines of today's station log, without their time stamps.
Lines TodaysLogTail(size_t count) {
    char folder[MAX_PATH];
    GetEnvironmentVariableA("ProgramData", folder, MAX_PATH);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char day[16];
    std::snprintf(day, sizeof day, "%04u-%02u-%02u.log", now.wYear, now.wMonth, now.wDay);
    std::ifstream file(std::string(folder) + "\\SONDEL ULTRA\\Log\\" + day, std::ios::binary);
    Lines lines;
    std::string line;
    constexpr size_t StampLength = 20;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line.size() > StampLength ? line.substr(StampLength) : line);
    }
    if (lines.size() > count) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

TEST_F(ProgramTest, TheStationLogSaysWhatTheProgramSentAndHowItEnded) {
    Start();
    Click(IncreaseBy100KHz);
    Click(PowerLamp);
    ASSERT_EQ(0u, program->Close());
    EXPECT_EQ((Lines{"window       Tuned to 100.100 MHz, power 4", "window       Carrier on",
                     "window       Tuned to 100.100 MHz, power 0, while the transmitter opens",
                     "window       Tuned to 100.100 MHz, power 4", "close        Program ended: its window was closed"}),
              TodaysLogTail(5));
}

// The machine-wide claim held as by a copy in another logged-on session: it has no window here.
class THeldClaim {
public:
    THeldClaim() : mutex_(CreateMutexA(nullptr, FALSE, MachineClaim)) {}
    ~THeldClaim() {
        if (mutex_) CloseHandle(mutex_);
    }
    THeldClaim(const THeldClaim&) = delete;
    THeldClaim& operator=(const THeldClaim&) = delete;
    bool Held() const { return mutex_ != nullptr; }

private:
    HANDLE mutex_;
};

TEST_F(ProgramTest, AStartWhileAnotherSessionRunsTheProgramSaysSoAndLeavesCardAndSettingsAlone) {
    THeldClaim otherSession;
    ASSERT_TRUE(otherSession.Held());
    ProgramRegistry::PutSetting("Freq", "101.300MHz");
    TRunningProgram second(SONDEL_EXE, MessageBoxClass, TracePath());
    char text[512] = {};
    GetDlgItemTextA(second.Window(), MessageBoxTextId, text, sizeof text);
    EXPECT_STREQ(
        "SONDEL 2005 RDS already runs in another session on this computer (another user is logged on with it). "
        "Only one copy at a time can control the card.",
        text);
    char caption[64] = {};
    GetWindowTextA(second.Window(), caption, sizeof caption);
    EXPECT_STREQ("SONDEL 2005 RDS", caption);
    EXPECT_EQ(0u, second.Close());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TracePath().c_str()));
    EXPECT_EQ(nullptr, FindAnyProcessWindow(second.ProcessId(), MainClass));
    EXPECT_EQ("101.300MHz", ProgramRegistry::GetSetting("Freq"));
}

}  // namespace

namespace {

BOOL CALLBACK CountResource(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Without a manifest that asks for an execution level, standard users can run the
// program (its machine settings then go to their virtual store).
TEST(ProgramFile, CarriesNoManifestAndTheIcon) {
    const HMODULE module = LoadLibraryExA(SONDEL_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    int manifests = 0;
    EnumResourceNamesA(module, RT_MANIFEST, CountResource, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(0, manifests);
    EXPECT_NE(nullptr, FindResourceA(module, "MAINICON", RT_GROUP_ICON));
    FreeLibrary(module);
}

}  // namespace
