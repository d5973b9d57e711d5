// The program's entry: the application titled "SONDEL 2005 RDS", its main
// window, and the message loop until that window closes.
#include "Application.h"
#include "CommandLine.h"
#include "CommandLineStart.h"
#include "Instance.h"
#include "VirtualCardSetup.h"
#include "unMain.h"

#include <windows.h>

namespace {

// One copy per machine drives the card.
constexpr char InstanceName[] = "Global\\SondelUltraCardControl";
constexpr int SecondCopyExit = 0;
constexpr int SetupFailureExit = 1;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::vector<std::string> arguments = ProgramArguments();
    TSingleInstance instance(InstanceName);
    if (!instance.First()) {
        if (!arguments.empty()) return HandOverCommandLine(arguments);
        instance.AskRunningToShow();
        return SecondCopyExit;
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
    ServeCommandLine(*foMain, arguments);
    Application->Run();
    return 0;
}
