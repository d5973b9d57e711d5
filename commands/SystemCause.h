// Why a system call failed, in words a station engineer reads in the notice area: the
// common causes by name, any other by the system's text, always with its number.
#pragma once

#include <string>

// "the port is in use by another program (Winsock error 10048)".
std::string WinsockCause(int code);
// "there is no such port on this machine (system error 2)".
std::string SystemCause(unsigned long code);
