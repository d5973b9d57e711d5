// Parsing and running sondelctl's command list.
#include "CtlCommands.h"

#include "CardCommands.h"
#include "VirtualCardSetup.h"

#include <chrono>
#include <exception>
#include <thread>

const char* const CtlUsage =
    "usage: sondelctl open on|off stereo|mono tune <kHz> <power> rds <high> <low> <data> wait <ms> close";

const char* const CtlVersionOption = "--version";

namespace {

constexpr uint64_t MaxKilohertz = UINT32_MAX;
constexpr uint64_t MaxByte = 255;
// The synthesizer's range and grid: what the card can be tuned to.
constexpr uint64_t LowestKilohertz = 86000;
constexpr uint64_t HighestKilohertz = 108000;
constexpr uint64_t KilohertzGrid = 50;
constexpr uint64_t MaxWaitMilliseconds = 3600000;   // an hour: far beyond any write cycle
constexpr int Decimal = 10;
constexpr int Hexadecimal = 16;

struct TCtlSyntax {
    const char* name;
    TCtlKind kind;
    std::vector<std::pair<const char*, uint64_t>> values;   // placeholder and largest value
};

const std::vector<TCtlSyntax>& Syntax()
{
    static const std::vector<TCtlSyntax> syntax = {
        {"open", TCtlKind::Open, {}},
        {"on", TCtlKind::On, {}},
        {"off", TCtlKind::Off, {}},
        {"stereo", TCtlKind::Stereo, {}},
        {"mono", TCtlKind::Mono, {}},
        {"tune", TCtlKind::Tune, {{"<kHz>", MaxKilohertz}, {"<power>", MaxByte}}},
        {"rds", TCtlKind::Rds, {{"<high>", MaxByte}, {"<low>", MaxByte}, {"<data>", MaxByte}}},
        {"wait", TCtlKind::Wait, {{"<ms>", MaxWaitMilliseconds}}},
        {"close", TCtlKind::Close, {}},
    };
    return syntax;
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + Decimal;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + Decimal;
    return Hexadecimal;
}

// A decimal or 0x-hexadecimal number no larger than maximum.
bool ParseNumber(const std::string& text, uint64_t maximum, uint64_t& value, std::string& problem)
{
    int base = Decimal;
    size_t first = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = Hexadecimal;
        first = 2;
    }
    if (first == text.size()) {
        problem = "not a number";
        return false;
    }
    value = 0;
    for (size_t i = first; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) {
            problem = "not a number";
            return false;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > maximum) {
            problem = "above " + std::to_string(maximum);
            return false;
        }
    }
    return true;
}

// Why the synthesizer cannot take Kilohertz; empty when it can.
std::string FrequencyProblem(uint64_t kilohertz)
{
    if (kilohertz < LowestKilohertz || kilohertz > HighestKilohertz)
        return "outside " + std::to_string(LowestKilohertz) + " to " + std::to_string(HighestKilohertz) + " kHz";
    if (kilohertz % KilohertzGrid != 0)
        return "not on the " + std::to_string(KilohertzGrid) + " kHz grid";
    return {};
}

bool Refuse(std::string& message, const std::string& problem)
{
    message = "sondelctl: " + problem + "; " + CtlUsage;
    return false;
}

} // namespace

bool ParseCtlArguments(const std::vector<std::string>& arguments, std::vector<TCtlCommand>& commands,
                       std::string& message)
{
    commands.clear();
    std::vector<TCtlCommand> parsed;
    if (arguments.empty())
        return Refuse(message, "no command given");
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        const TCtlSyntax* syntax = nullptr;
        for (const TCtlSyntax& candidate : Syntax())
            if (name == candidate.name)
                syntax = &candidate;
        if (!syntax)
            return Refuse(message, "unknown command \"" + name + "\"");
        TCtlCommand command{syntax->kind, {0, 0, 0}};
        for (size_t v = 0; v < syntax->values.size(); ++v) {
            const char* placeholder = syntax->values[v].first;
            if (++i == arguments.size())
                return Refuse(message, std::string("missing ") + placeholder + " after \"" + name + "\"");
            uint64_t value = 0;
            std::string problem;
            if (!ParseNumber(arguments[i], syntax->values[v].second, value, problem))
                return Refuse(message, "bad " + std::string(placeholder) + " \"" + arguments[i] + "\" for \"" + name +
                                           "\": " + problem);
            if (syntax->kind == TCtlKind::Tune && v == 0)
                problem = FrequencyProblem(value);
            if (!problem.empty())
                return Refuse(message, "bad " + std::string(placeholder) + " \"" + arguments[i] + "\" for \"" + name +
                                           "\": " + problem);
            command.Values[v] = static_cast<uint32_t>(value);
        }
        parsed.push_back(command);
    }
    commands = std::move(parsed);
    return true;
}

int RunCtlCommands(const std::vector<TCtlCommand>& commands, TSondelCard& card, std::ostream& out)
{
    for (const TCtlCommand& command : commands) {
        switch (command.Kind) {
        case TCtlKind::Open:
            if (!card.OpenCard()) {
                out << "open: failed: " << card.LastError << std::endl;
                return CtlOpenFailed;
            }
            out << "open: ok" << std::endl;
            break;
        case TCtlKind::On:
            card.TransmitterOn();
            break;
        case TCtlKind::Off:
            card.TransmitterOff();
            break;
        case TCtlKind::Stereo:
            card.SetStereo();
            break;
        case TCtlKind::Mono:
            card.SetMono();
            break;
        case TCtlKind::Tune:
            card.SetFrequency(command.Values[0], static_cast<uint8_t>(command.Values[1]));
            break;
        case TCtlKind::Rds:
            WriteRdsByte(static_cast<uint8_t>(command.Values[0]), static_cast<uint8_t>(command.Values[1]),
                         static_cast<uint8_t>(command.Values[2]));
            break;
        case TCtlKind::Wait:
            std::this_thread::sleep_for(std::chrono::milliseconds(command.Values[0]));
            break;
        case TCtlKind::Close:
            card.CloseCard();
            break;
        }
    }
    return CtlSucceeded;
}

int SondelCtl(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& errors)
{
    if (arguments.size() == 1 && arguments[0] == CtlVersionOption) {
        out << "sondelctl " << SONDEL_VERSION << std::endl;
        return CtlSucceeded;
    }
    std::vector<TCtlCommand> commands;
    std::string message;
    if (!ParseCtlArguments(arguments, commands, message)) {
        errors << message << std::endl;
        return CtlBadArguments;
    }
    try {
        UseVirtualCardIfRequested();
    } catch (const std::exception& failure) {
        errors << "sondelctl: " << failure.what() << std::endl;
        return CtlOpenFailed;
    }
    TSondelCard card;
    return RunCtlCommands(commands, card, out);
}
