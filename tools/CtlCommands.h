// The commands of sondelctl, the console tool that drives the card without the
// window: every argument is checked before the first command reaches the card.
#pragma once

#include "PCICard.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

constexpr int CtlSucceeded = 0;
constexpr int CtlOpenFailed = 1;
constexpr int CtlBadArguments = 2;

extern const char* const CtlUsage;
extern const char* const CtlVersionOption;

enum class TCtlKind { Open, On, Off, Stereo, Mono, Tune, Rds, Wait, Close };

struct TCtlCommand {
    TCtlKind Kind;
    uint32_t Values[3];
};

// False, with no commands and a one-line message naming the bad argument and
// the usage, when any argument is wrong.
bool ParseCtlArguments(const std::vector<std::string>& arguments, std::vector<TCtlCommand>& commands,
                       std::string& message);

// Runs the commands in order; stops with CtlOpenFailed when the card does not open.
int RunCtlCommands(const std::vector<TCtlCommand>& commands, TSondelCard& card, std::ostream& out);

// The whole tool: "--version" alone prints the release version; otherwise it
// checks every argument, switches to the virtual card when it is asked for and
// runs the commands. The result is the exit status.
int SondelCtl(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& errors);
