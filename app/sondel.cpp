// The program's entry: the application titled "SONDEL 2005 RDS", its main
// window, and the message loop until that window closes.
#include "Application.h"
#include "CommandLine.h"
#include "CommandLineStart.h"
#include "Instance.h"
#include "VirtualCardSetup.h"
#include "unMain.h"

// The platform header without its MessageBox macro, which would rename the call below.
#include "Win.h"

#include <memory>
#include <string>

namespace {

// One copy per machine drives the card.
constexpr char InstanceName[] = "SondelUltraCardControl";
constexpr int SecondCopyExit = 0;
constexpr int SetupFailureExit = 1;
// Follows the program's title.
constexpr char OtherSessionMessage[] =
    " already runs in another session on this computer (another user is logged on with it). "
    "Only one copy at a time can control the card.";

// A second start brings the running copy's window forward; one whose window it cannot
// reach (a copy of another logged-on user) is told so instead of ending silently.
int LeaveToRunningCopy(const TSingleInstance& instance) {
    if (instance.AskRunningToShow()) return SecondCopyExit;
    if (!instance.HeldInThisSession())
        Application->MessageBox(ApplicationTitle + std::string(OtherSessionMessage), ApplicationTitle, MsgBox::Ok | MsgBox::IconInformation);
    return SecondCopyExit;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // First of all: a console the program was born attached to is let go before
    // anything else can take long.
    const auto output = std::make_shared<TReplyOutput>();
    const std::vector<std::string> arguments = ProgramArguments();
    TSingleInstance instance(InstanceName);
    if (!instance.First()) {
        // Commands go to the running copy; without any, its window comes forward.
        if (!arguments.empty()) return HandOverCommandLine(instance, arguments, *output);
        return LeaveToRunningCopy(instance);
    }
    Application->Initialize();
    Application->SetTitle(ApplicationTitle);
    try {
        UseVirtualCardIfRequested();
    } catch (const std::exception& error) {
        Application->ShowException(error);
        return SetupFailureExit;
    }
    Application->CreateForm(foMain);
    instance.PublishWindow(foMain->Handle());
    ServeCommandLine(*foMain, arguments, output);
    Application->Run();
    return 0;
}
