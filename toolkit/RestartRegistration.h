// Asks Windows to start the program again once an installer that closed it for an
// update (through Restart Manager) has replaced its files.
#pragma once

#include <cstdint>

// What the registration hands to the platform: the restarted copy's arguments and the
// cases in which it is not restarted.
struct TRestartRequest {
    const wchar_t* CommandLine = nullptr;
    uint32_t Flags = 0;
};
// The platform's registration call; tests put in their own to see the request.
using TRestartRegistrar = bool (*)(const TRestartRequest& request);

// Registers for a restart after an update, with no arguments (a restarted copy starts
// as any start does), and not after a crash or a hang. False when the platform refused.
bool RegisterRestartAfterUpdate();
// Nullptr: back to the platform's registration.
void UseRestartRegistrar(TRestartRegistrar registrar);
