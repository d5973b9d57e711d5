// sondelctl: runs card commands given as arguments, on the virtual card when
// SONDEL_VIRTUAL_CARD is set.
#include "CtlCommands.h"
#include "VirtualCardSetup.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::vector<TCtlCommand> commands;
    std::string message;
    if (!ParseCtlArguments(arguments, commands, message)) {
        std::cerr << message << std::endl;
        return CtlBadArguments;
    }
    try {
        UseVirtualCardIfRequested();
    } catch (const std::exception& failure) {
        std::cerr << "sondelctl: " << failure.what() << std::endl;
        return CtlOpenFailed;
    }
    TSondelCard card;
    return RunCtlCommands(commands, card, std::cout);
}
