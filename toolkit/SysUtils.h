// Exceptions with a message text, and the integer and text conversions the program uses.
#pragma once

#include <stdexcept>
#include <string>

// Every failure the toolkit raises: what() is the message shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

class EConvertError : public Exception { using Exception::Exception; };
class ERangeError : public Exception { public: ERangeError() : Exception("Range check error") {} };
class EIntOverflow : public Exception { public: EIntOverflow() : Exception("Integer overflow") {} };
class EOutOfResources : public Exception { using Exception::Exception; };
class EInvalidOperation : public Exception { using Exception::Exception; };
class EInvalidGraphic : public Exception { using Exception::Exception; };
class EListError : public Exception { using Exception::Exception; };
class EStreamError : public Exception { using Exception::Exception; };
// A system call failed: the message is the system's own text for the error code.
class EOSError : public Exception {
public:
    EOSError(const std::string& message, unsigned long code) : Exception(message), ErrorCode(code) {}
    unsigned long ErrorCode;
};

// The system's message text for an error code, without the trailing line break.
std::string SysErrorMessage(unsigned long code);
// Raises EOSError for the calling thread's last error, naming the failed operation.
[[noreturn]] void RaiseLastOSError(const std::string& operation);

// Decimal with optional sign, or hexadecimal after "$" or "0x"; raises EConvertError
// "'<text>' is not a valid integer value" for anything else or a value beyond 32 bits.
int StrToInt(const std::string& text);
int StrToIntDef(const std::string& text, int fallback);
std::string IntToStr(long long value);
std::string IntToHex(unsigned long long value, int digits);
std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);
// Letter case by the user's locale, accented letters of the ANSI code page included.
std::string AnsiUpperCase(const std::string& text);
std::string AnsiLowerCase(const std::string& text);
bool SameText(const std::string& a, const std::string& b);
