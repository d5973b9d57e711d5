// sondelctl: runs card commands given as arguments, on the virtual card when
// SONDEL_VIRTUAL_CARD is set.
#include "CtlCommands.h"

#include <iostream>

int main(int argc, char** argv)
{
    return SondelCtl(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
