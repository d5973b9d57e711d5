// The causes of failed system calls, in words.
#include "SystemCause.h"

#include "SysUtils.h"

#include <array>
#include <cctype>

namespace {

struct TCause {
    unsigned long Code;
    const char* Words;
};

// Winsock's own numbers: Wine and some Windows editions have no text for them.
constexpr std::array<TCause, 8> WinsockCauses = {{
    {10013, "access to the port is denied (another program may hold it for itself)"},
    {10048, "the port is in use by another program"},
    {10049, "the address is not one of this machine's"},
    {10050, "the network is down"},
    {10051, "the network cannot be reached"},
    {10055, "the system has no buffer space left"},
    {10091, "the network is not ready"},
    {10093, "Winsock is not started"},
}};

constexpr std::array<TCause, 7> SystemCauses = {{
    {2, "there is no such port on this machine"},
    {3, "there is no such port on this machine"},
    {5, "the port is in use by another program, or access to it is denied"},
    {31, "the device does not work"},
    {109, "the device is gone"},
    {995, "the device ended the transfer"},
    {1460, "the device did not answer in time"},
}};

template <size_t Count>
const char* Known(const std::array<TCause, Count>& causes, unsigned long code) {
    for (const TCause& cause : causes)
        if (cause.Code == code) return cause.Words;
    return nullptr;
}

// The system's text as part of a sentence: no full stop, and no "System error N"
// of its own, since the number follows anyway.
std::string SystemWords(unsigned long code) {
    std::string text = SysErrorMessage(code);
    while (!text.empty() && text.back() == '.') text.pop_back();
    if (text.rfind("System error", 0) == 0) return "the system gives no reason";
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

std::string WinsockCause(int code) {
    const auto number = static_cast<unsigned long>(code);
    const char* words = Known(WinsockCauses, number);
    return (words ? std::string(words) : SystemWords(number)) + " (Winsock error " + std::to_string(code) + ")";
}

std::string SystemCause(unsigned long code) {
    const char* words = Known(SystemCauses, code);
    return (words ? std::string(words) : SystemWords(code)) + " (system error " + std::to_string(code) + ")";
}
