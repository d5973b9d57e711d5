// sondel.exe as a user meets it: started on the virtual card with seeded settings,
// clicked at its controls' places; checked in the card's trace, the registry and
// the window's size and pixels.
#include "RunningProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

// Window sizes compared and shown as width x height.
bool operator==(SIZE a, SIZE b) { return a.cx == b.cx && a.cy == b.cy; }
std::ostream& operator<<(std::ostream& out, SIZE size) { return out << size.cx << " x " << size.cy; }

namespace {

using Lines = std::vector<std::string>;

constexpr char MainClass[] = "TfoMain";
constexpr char TrayWindowClass[] = "TVrTrayIconWindow";
// The tray icon's callback message, its mouse message in the low word of LParam.
constexpr UINT TrayCallbackMessage = WM_USER + 68;
constexpr DWORD HideTimeoutMilliseconds = 5000;
constexpr DWORD EndTimeoutMilliseconds = 10000;
// The claim every copy of the program makes, machine-wide.
constexpr char MachineClaim[] = "Global\\SondelUltraCardControl";
constexpr char MessageBoxClass[] = "#32770";
// The text control of a message box.
constexpr int MessageBoxTextId = 0xFFFF;
constexpr DWORD PollMilliseconds = 20;

// Centres of the controls in the window's client area.
constexpr POINT DecreaseBy1MHz{32, 100};
constexpr POINT DecreaseBy100KHz{72, 100};
constexpr POINT IncreaseBy100KHz{128, 100};
constexpr POINT IncreaseBy1MHz{168, 100};
constexpr POINT Arrow{216, 20};
// The RDS check LED's lamp.
constexpr POINT RdsLamp{158, 21};
// The power track bar's ends (top: level 15, bottom: level 0).
constexpr POINT PowerTop{204, 58};
constexpr POINT PowerBottom{204, 111};
constexpr POINT StartColourBox{366, 104};
constexpr RECT FrequencyDisplay{16, 56, 16 + 168, 56 + 30};
constexpr int NavyIndex = 4;
constexpr COLORREF Navy = RGB(0x00, 0x00, 0x80);
constexpr COLORREF Red = RGB(0xFF, 0x00, 0x00);
// A spot of the background at the gradient's start edge.
constexpr POINT GradientStart{0, 120};

// Every value the restore reads, so that it runs to its end without an error report.
const std::map<std::string, std::string> DesignSettings = {
    {"Freq", "100.000MHz"}, {"PowerOn", "No"}, {"Power", "4"}, {"PS", "PC RADIO"},
    {"RT", "PC RADIO, NON-STOP LATEST HITS!"}, {"Color", "clRed"}, {"EndColor", "clFuchsia"},
    {"Stereo", "No"}, {"Rds", "No"}, {"ShutDownAtExit", "No"}, {"PTY", "0"}, {"PIC", "0"},
    {"PIA", "0"}, {"PIP", "0"}, {"TP", "0"}, {"MS", "0"}, {"MoveToTray", "No"},
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramRegistry::ClearSettings();
        ProgramRegistry::ClearRunEntry();
        settings_ = DesignSettings;
    }
    void TearDown() override {
        program.reset();
        ProgramRegistry::ClearSettings();
        ProgramRegistry::ClearRunEntry();
    }

    void Seed(const std::string& name, const std::string& text) { settings_[name] = text; }

    // Seeds the registry and starts the program on a trace named after the test.
    void Start(TWindowWait wait = TWindowWait::Shown) {
        for (const auto& setting : settings_) ProgramRegistry::PutSetting(setting.first, setting.second);
        program = std::make_unique<TRunningProgram>(SONDEL_EXE, MainClass, TracePath(), TEnvironment{}, wait);
        startLines_ = program->Trace(CardKinds()).size();
    }

    static std::string TracePath(const std::string& suffix = "") {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::string(PROGRAM_TEST_FOLDER "/") + test->name() + suffix + ".trace.txt";
    }

    static std::vector<std::string> CardKinds() { return {"SYNTH", "CARRIER", "STEREO", "RDS", "LOST"}; }

    // The card's events since the restore ended.
    Lines SinceStart() const {
        Lines all = program->Trace(CardKinds());
        return Lines(all.begin() + static_cast<std::ptrdiff_t>(std::min(startLines_, all.size())), all.end());
    }

    void Click(POINT at) const { program->ClickAt(at.x, at.y); }

    SIZE Size() const { return program->OuterSize(); }

    void DoubleClickTrayIcon() const {
        HWND tray = FindAnyProcessWindow(program->ProcessId(), TrayWindowClass);
        ASSERT_NE(nullptr, tray);
        program->SendTo(tray, TrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
        program->Settle();
    }

    bool WaitUntilEnded() const {
        for (DWORD waited = 0; waited < EndTimeoutMilliseconds; waited += PollMilliseconds) {
            if (!program->Running()) return true;
            Sleep(PollMilliseconds);
        }
        return !program->Running();
    }

    bool WaitUntilVisible(bool visible) const {
        for (DWORD waited = 0; waited < HideTimeoutMilliseconds; waited += PollMilliseconds) {
            if (program->Visible() == visible) return true;
            Sleep(PollMilliseconds);
        }
        return program->Visible() == visible;
    }

    std::unique_ptr<TRunningProgram> program;

private:
    std::map<std::string, std::string> settings_;
    size_t startLines_ = 0;
};

constexpr SIZE Compact{235, 160};
constexpr SIZE Options{392, 160};
constexpr SIZE OptionsWithRds{392, 340};

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
