// The window's station log: what the restore, the window's controls and the close
// sent to the card, each line with its way in, at the time the test sets.
#include "AppFixture.h"

#include "Testing.h"
#include "VrCheckLed.h"
#include "VrNavigator.h"

#include <windows.h>

#include <atomic>
#include <chrono>

namespace {

using Lines = std::vector<std::string>;

class StationLogWindowTest : public AppTest {};

TEST_F(StationLogWindowTest, TheRestoreTheControlsAndTheCloseEachLeaveTheirLines) {
    Seed("PowerOn", "Yes");
    Seed("Freq", "101.300MHz");
    Seed("Power", "7");
    Seed("Stereo", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    const Lines started = LogLines();
    // The Power LED's handler, the restore's own second switch-on, the power level's handler.
    EXPECT_EQ((Lines{"start        Program started, version " + std::string(ProgramVersion),
                     "start        Card opened",
                     "start        Carrier on",
                     "start        Tuned to 100.000 MHz, power 0, while the transmitter opens",
                     "start        Tuned to 101.300 MHz, power 7",
                     "start        Carrier on",
                     "start        Tuned to 101.300 MHz, power 0, while the transmitter opens",
                     "start        Tuned to 101.300 MHz, power 7",
                     "start        Tuned to 101.300 MHz, power 7",
                     "start        Stereo",
                     "start        Stereo"}),
              started);

    logNow = {2026, 12, 9, 14, 40, 0};
    form->VrCheckLed2->SetChecked(false);
    form->VrCheckLed1->SetChecked(false);
    Testing::Click(form->VrMediaButton2, form->VrMediaButton2->Width() / 2, form->VrMediaButton2->Height() / 2);
    const Lines later = LogLines();
    EXPECT_EQ((Lines{"window       Carrier off", "window       Tuned to 87.300 MHz, power 0, while the carrier is off",
                     "window       Mono", "window       Tuned to 101.400 MHz, power 7"}),
              Lines(later.begin() + static_cast<std::ptrdiff_t>(started.size()), later.end()));

    form->Perform(WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF));
    const Lines closed = LogLines();
    EXPECT_EQ((Lines{"log-off      Carrier off", "log-off      Tuned to 87.300 MHz, power 0, while the carrier is off",
                     "log-off      Program ended: the user logged off or Windows shut down"}),
              Lines(closed.end() - 3, closed.end()));
}

TEST_F(StationLogWindowTest, ACommandFromAnotherMachineIsLoggedWithItsAddress) {
    StartReady();
    const size_t before = LogLines().size();
    const TCommand mono = *ParseCommand("STEREO=OFF").Command;
    const TCommand stereo = *ParseCommand("STEREO=ON").Command;
    OnClient(
        [&] {
            std::atomic<bool> stop{false};
            form->Commands().SubmitForStatus({stereo, mono}, std::chrono::milliseconds(5000), stop, TWayIn::Port,
                                             false, {"192.0.2.20", ""});
        },
        5000);
    const Lines all = LogLines();
    EXPECT_EQ((Lines{"port 192.0.2.20 Stereo", "port         Mono"}),
              Lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()));

    // One write for a round of both machines' changes names them both.
    const TCommand rt = *ParseCommand("RT=From afar").Command;
    const TCommand ps = *ParseCommand("PS=LOCAL").Command;
    OnClient(
        [&] {
            std::atomic<bool> stop{false};
            form->Commands().SubmitForStatus({rt, ps}, std::chrono::milliseconds(5000), stop, TWayIn::Port, false,
                                             {"192.0.2.20", ""});
        },
        5000);
    EXPECT_EQ(0u, LogLines().back().rfind("port 192.0.2.20,127.0.0.1 RDS: ", 0)) << LogLines().back();
}

TEST_F(StationLogWindowTest, AnUpdateCloseLogsTheEndWithoutACarrierChange) {
    Seed("PowerOn", "Yes");
    Seed("ShutDownAtExit", "Yes");
    Start();
    const size_t before = LogLines().size();
    form->Perform(WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    const Lines all = LogLines();
    ASSERT_EQ(before + 1, all.size());
    EXPECT_EQ("update       Program ended for an update of the program", all.back());
}

TEST_F(StationLogWindowTest, ACardThatCannotBeOpenedIsLoggedWithItsMessage) {
    TVirtualCardConfig config = IoCardConfig();
    ApplyVirtualFault(config, TVirtualFault::NoDriver);
    TVirtualCard absent(config);
    UseDriverDevice(&absent);
    Start();
    const Lines lines = LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ("start        Card not opened: Cannot open WinDriver device", lines[1]);
    Close();
    UseDriverDevice(&card);
}

}  // namespace
