// Registration for Restart Manager's restart after an update.
#include "RestartRegistration.h"

#include "Win.h"

namespace {

using TRegisterApplicationRestart = HRESULT(WINAPI*)(PCWSTR commandLine, DWORD flags);

// Looked up at run time: a Windows without Restart Manager still runs the program.
bool PlatformRegistrar(const TRestartRequest& request) {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto registerRestart = kernel ? reinterpret_cast<TRegisterApplicationRestart>(
                                              reinterpret_cast<void*>(GetProcAddress(kernel, "RegisterApplicationRestart")))
                                        : nullptr;
    return registerRestart && SUCCEEDED(registerRestart(request.CommandLine, request.Flags));
}

TRestartRegistrar registrar = PlatformRegistrar;

}  // namespace

bool RegisterRestartAfterUpdate() {
    // Each restart drops the carrier for a moment: a copy that crashes or hangs again and
    // again must not take the station off the air each time.
    const TRestartRequest request{nullptr, RESTART_NO_CRASH | RESTART_NO_HANG};
    return registrar(request);
}

void UseRestartRegistrar(TRestartRegistrar replacement) {
    registrar = replacement ? replacement : PlatformRegistrar;
}
