// The main window of sondel.exe as the program tests meet it: its class, the places
// of its controls, the design settings, and a fixture that seeds, starts and reads it.
#pragma once

#include "RunningProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Window sizes compared and shown as width x height.
inline bool operator==(SIZE a, SIZE b) { return a.cx == b.cx && a.cy == b.cy; }
inline std::ostream& operator<<(std::ostream& out, SIZE size) { return out << size.cx << " x " << size.cy; }

namespace ProgramFixture {

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
// The lamps of the Power, Stereo and RDS check LEDs (each lamp sits by its caption's width).
constexpr POINT PowerLamp{26, 21};
constexpr POINT StereoLamp{95, 21};
constexpr POINT RdsLamp{158, 21};
constexpr POINT UpdateRdsButton{324, 284};
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
    // The next start finds no settings at all, as on a fresh machine.
    void SeedNothing() { settings_.clear(); }

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

}  // namespace ProgramFixture
