// The program's entry: the application titled "SONDEL 2005 RDS", its main
// window, and the message loop until that window closes.
#include "Application.h"
#include "SysUtils.h"
#include "VirtualCardSetup.h"
#include "unMain.h"

#include <windows.h>

namespace {

constexpr char ApplicationTitle[] = "SONDEL 2005 RDS";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Application->Initialize();
    Application->SetTitle(ApplicationTitle);
    try {
        UseVirtualCardIfRequested();
    } catch (const std::exception& error) {
        Application->ShowException(error);
        return 1;
    }
    Application->CreateForm(foMain);
    Application->Run();
    return 0;
}
