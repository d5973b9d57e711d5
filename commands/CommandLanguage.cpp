// The command language: parsing one line, the reply texts, and the line reader.
#include "CommandLanguage.h"

#include "RtTextRules.h"

#include <algorithm>
#include <array>

namespace {

constexpr char DoneMark = '+';
constexpr char RefusedMark = '-';
constexpr char UnknownMark = '!';
constexpr char FieldSeparator = '\t';
constexpr unsigned char FirstPrintable = 32;

constexpr uint32_t PtyLast = 31;
constexpr uint32_t FlagLast = 1;
constexpr uint32_t PowerLast = 15;
constexpr uint32_t PortLast = 65535;
constexpr uint32_t BandLowKHz = 87500;
constexpr uint32_t BandHighKHz = 108000;
constexpr uint32_t ChannelStepKHz = 50;
constexpr uint32_t KHzPerMHz = 1000;
constexpr size_t MaxMHzDigits = 3;
constexpr size_t MaxKHzDigits = 3;
// Enough digits for every number the language takes, few enough not to overflow.
constexpr size_t MaxNumberDigits = 6;

constexpr size_t PiDigits = 4;
constexpr int HexBase = 16;
constexpr int HexDigitBits = 4;
constexpr int DecimalBase = 10;
constexpr int CountryShift = 12;
constexpr int AreaShift = 8;
constexpr uint32_t DigitMask = 0xF;
constexpr uint32_t ByteMask = 0xFF;
// The country list's index is one less than its hex digit (there is no country 0).
constexpr int CountryOffset = 1;
constexpr char HexDigits[] = "0123456789ABCDEF";

struct TNameEntry {
    const char* Name;
    TCommandName Command;
};
const std::array<TNameEntry, 24> Names = {{
    {"PS", TCommandName::ProgramService}, {"RT", TCommandName::RadioText}, {"RT1", TCommandName::RadioText},
    {"TEXT", TCommandName::RadioText},    {"PTY", TCommandName::Pty},     {"TP", TCommandName::Tp},
    {"MS", TCommandName::MusicSpeech},    {"PI", TCommandName::Pi},       {"FREQ", TCommandName::Frequency},
    {"POWER", TCommandName::Power},       {"CARRIER", TCommandName::Carrier},
    {"STEREO", TCommandName::Stereo},     {"UPDATE", TCommandName::Update},
    {"STATUS", TCommandName::Status},     {"COMMANDPORT", TCommandName::CommandPort},
    {"RTFILE", TCommandName::RadioTextFile}, {"SERIALPORT", TCommandName::SerialPort},
    {"CHARSET", TCommandName::CharacterSet}, {"RTFORMAT", TCommandName::RadioTextFormat},
    {"RTSKIP", TCommandName::RadioTextSkip}, {"RTIDLE", TCommandName::RadioTextIdle},
    {"RESETWEAR", TCommandName::ResetWear}, {"SETTINGS", TCommandName::Settings},
    {"COMMANDPORTALLOW", TCommandName::CommandPortAllow},
}};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperText(std::string_view text) {
    std::string upper;
    for (char c : text) upper += Upper(c);
    return upper;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    const char upper = Upper(c);
    for (int digit = 0; digit < HexBase; ++digit)
        if (HexDigits[digit] == upper) return digit;
    return -1;
}

std::optional<uint32_t> Decimal(std::string_view text) {
    text = Trimmed(text);
    if (text.empty() || text.size() > MaxNumberDigits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * DecimalBase + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::optional<uint32_t> DecimalUpTo(std::string_view text, uint32_t last) {
    const std::optional<uint32_t> value = Decimal(text);
    if (!value || *value > last) return std::nullopt;
    return value;
}

// "101.3", "101.30", "101.300" or "101" as kHz.
std::optional<uint32_t> FrequencyKHz(std::string_view text) {
    text = Trimmed(text);
    const size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (whole.empty() || whole.size() > MaxMHzDigits || fraction.size() > MaxKHzDigits) return std::nullopt;
    if (dot != std::string_view::npos && fraction.empty()) return std::nullopt;
    const std::optional<uint32_t> mhz = Decimal(whole);
    if (!mhz) return std::nullopt;
    uint32_t khz = 0;
    uint32_t scale = KHzPerMHz;
    for (char c : fraction) {
        if (!IsDigit(c)) return std::nullopt;
        scale /= DecimalBase;
        khz += static_cast<uint32_t>(c - '0') * scale;
    }
    const uint32_t value = *mhz * KHzPerMHz + khz;
    if (value < BandLowKHz || value > BandHighKHz || value % ChannelStepKHz != 0) return std::nullopt;
    return value;
}

std::optional<uint32_t> Pi(std::string_view text) {
    text = Trimmed(text);
    if (text.size() != PiDigits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return std::nullopt;
        value = value * HexBase + static_cast<uint32_t>(digit);
    }
    if ((value >> CountryShift) == 0) return std::nullopt;
    return value;
}

std::optional<uint32_t> OnOff(std::string_view text) {
    const std::string upper = UpperText(Trimmed(text));
    if (upper == "ON") return 1;
    if (upper == "OFF") return 0;
    return std::nullopt;
}

// "RDS" or "ANSI", in any case.
std::optional<uint32_t> CharacterSet(std::string_view text) {
    const std::optional<TMemoryCharacterSet> set = MemoryCharacterSetNamed(UpperText(Trimmed(text)));
    if (!set) return std::nullopt;
    return static_cast<uint32_t>(*set);
}

bool HasControlCharacter(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < FirstPrintable) return true;
    return false;
}

TParsedLine Refused(const std::string& reason) { return {std::nullopt, RefusedReply(reason), false}; }

constexpr char HttpReason[] = "HTTP is not served here";
constexpr char HttpVersionPrefix[] = "HTTP/";
constexpr size_t MaxMethodLength = 20;

TParsedLine RefusedHttp() { return {std::nullopt, RefusedReply(HttpReason), true}; }

bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

// A character of an HTTP token (a method or a header's name).
bool IsTokenCharacter(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    for (const char special : std::string_view("!#$%&'*+-.^_`|~"))
        if (c == special) return true;
    return false;
}

// "METHOD ": the method word and its space; the length of both, 0 when the line has none.
size_t MethodLength(std::string_view line) {
    size_t length = 0;
    while (length < line.size() && length <= MaxMethodLength && IsUpperLetter(line[length])) ++length;
    if (length == 0 || length > MaxMethodLength || length >= line.size() || line[length] != ' ') return 0;
    return length + 1;
}

bool IsRequestLine(std::string_view line) {
    const size_t method = MethodLength(line);
    if (method == 0) return false;
    const size_t targetEnd = line.find(' ', method);
    if (targetEnd == std::string_view::npos || targetEnd == method) return false;
    return line.substr(targetEnd + 1).substr(0, sizeof HttpVersionPrefix - 1) == HttpVersionPrefix;
}

bool IsHeaderLine(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    for (char c : line.substr(0, colon))
        if (!IsTokenCharacter(c)) return false;
    return true;
}

// The beginning of a request line too long to be read whole (a long target).
bool BeginsRequestLine(std::string_view line) {
    const size_t method = MethodLength(line);
    return method > 0 && method < line.size() && line[method] != ' ';
}

constexpr char LineTooLongReason[] = "line longer than 1024 bytes";

TParsedLine Parsed(TCommandName name, uint32_t value, std::string text = {}) {
    TCommand command;
    command.Name = name;
    command.Value = value;
    command.Text = std::move(text);
    return {command, {}, false};
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A drive's root ("C:\") or a share ("\\server\share") begins it: the running copy
// cannot tell what a relative path of another program's folder meant.
bool IsFullPath(std::string_view path) {
    const bool onDrive = path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
    const bool onShare = path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
    return onDrive || onShare;
}

// "\\.\" and "\\?\" (either separator) open devices and the raw namespace, not files.
bool IsDevicePath(std::string_view path) {
    return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '.' || path[2] == '?') &&
           IsSeparator(path[3]);
}

// The names the system opens as devices in every folder ("C:\Playout\CON.txt" is the console).
bool IsReservedName(std::string_view path) {
    const size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    name = name.substr(0, name.find('.'));
    while (!name.empty() && (name.back() == ' ' || name.back() == ':')) name.remove_suffix(1);
    const std::string upper = UpperText(name);
    for (const char* reserved : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (upper == reserved) return true;
    const bool numbered = upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0);
    return numbered && upper[3] >= '1' && upper[3] <= '9';
}

TParsedLine FilePath(TCommandName name, const std::string& label, std::string_view value) {
    if (HasControlCharacter(value)) return Refused(label + " holds a control character");
    if (IsDevicePath(value) || (!value.empty() && IsReservedName(value)))
        return Refused(label + " must name a file, not a device");
    if (!value.empty() && !IsFullPath(value)) return Refused(label + " must be a full path or empty");
    return Parsed(name, 0, std::string(value));
}

TParsedLine Format(TCommandName name, const std::string& label, std::string_view value) {
    if (HasControlCharacter(value)) return Refused(label + " holds a control character");
    if (const std::optional<std::string> fault = RtFormatFault(value)) return Refused(*fault);
    return Parsed(name, 0, std::string(value));
}

// "<minutes>,<text>": minutes 0..1440 (empty: 0), the text the radiotext becomes.
TParsedLine Idle(TCommandName name, const std::string& label, std::string_view value) {
    if (HasControlCharacter(value)) return Refused(label + " holds a control character");
    const size_t comma = value.find(',');
    const std::string_view minutes = Trimmed(value.substr(0, comma));
    const std::optional<uint32_t> number = minutes.empty() ? std::optional<uint32_t>(0)
                                                           : DecimalUpTo(minutes, RtIdleMinutesLast);
    if (!number) return Refused("RTIDLE must be <minutes 0..1440>,<text>");
    const std::string_view text = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    return Parsed(name, *number, std::string(text.substr(0, RadioTextLength)));
}

TParsedLine Number(TCommandName name, std::optional<uint32_t> value, const std::string& reason) {
    return value ? Parsed(name, *value) : Refused(reason);
}

TParsedLine Text(TCommandName name, const std::string& label, std::string_view value, size_t length) {
    if (HasControlCharacter(value)) return Refused(label + " holds a control character");
    return Parsed(name, 0, std::string(value.substr(0, length)));
}

TParsedLine WithValue(TCommandName name, const std::string& label, std::string_view value) {
    switch (name) {
    case TCommandName::ProgramService: return Text(name, label, value, ProgramServiceLength);
    case TCommandName::RadioText: return Text(name, label, value, RadioTextLength);
    case TCommandName::Pty: return Number(name, DecimalUpTo(value, PtyLast), "PTY must be 0..31");
    case TCommandName::Tp: return Number(name, DecimalUpTo(value, FlagLast), "TP must be 0 or 1");
    case TCommandName::MusicSpeech: return Number(name, DecimalUpTo(value, FlagLast), "MS must be 0 or 1");
    case TCommandName::Pi: return Number(name, Pi(value), "PI must be four hex digits, the first 1..F");
    case TCommandName::Frequency:
        return Number(name, FrequencyKHz(value), "FREQ must be 87.5..108.0 MHz in steps of 0.05");
    case TCommandName::Power: return Number(name, DecimalUpTo(value, PowerLast), "POWER must be 0..15");
    case TCommandName::Carrier: return Number(name, OnOff(value), "CARRIER must be ON or OFF");
    case TCommandName::Stereo: return Number(name, OnOff(value), "STEREO must be ON or OFF");
    case TCommandName::CommandPort:
        return Number(name, DecimalUpTo(value, PortLast), "COMMANDPORT must be 0..65535");
    case TCommandName::RadioTextFile: return FilePath(name, label, value);
    case TCommandName::SerialPort:
    case TCommandName::CommandPortAllow: return Text(name, label, Trimmed(value), std::string_view::npos);
    case TCommandName::CharacterSet: return Number(name, CharacterSet(value), "CHARSET must be RDS or ANSI");
    case TCommandName::RadioTextFormat: return Format(name, label, value);
    case TCommandName::RadioTextSkip: return Text(name, label, value, std::string_view::npos);
    case TCommandName::RadioTextIdle: return Idle(name, label, value);
    case TCommandName::Update:
    case TCommandName::ResetWear:
    case TCommandName::Status:
    case TCommandName::Settings: return Refused(label + " takes no value");
    }
    return Refused(label + " takes no value");
}

}  // namespace

int PiCountryIndex(uint32_t pi) { return static_cast<int>((pi >> CountryShift) & DigitMask) - CountryOffset; }
int PiAreaIndex(uint32_t pi) { return static_cast<int>((pi >> AreaShift) & DigitMask); }
int PiProgramReference(uint32_t pi) { return static_cast<int>(pi & ByteMask); }

std::string PiText(int countryIndex, int areaIndex, int programReference) {
    if (countryIndex < 0 || areaIndex < 0 || programReference < 0) return {};
    const uint32_t pi = (static_cast<uint32_t>(countryIndex + CountryOffset) & DigitMask) << CountryShift |
                        (static_cast<uint32_t>(areaIndex) & DigitMask) << AreaShift |
                        (static_cast<uint32_t>(programReference) & ByteMask);
    std::string text;
    for (int shift = CountryShift; shift >= 0; shift -= HexDigitBits) text += HexDigits[(pi >> shift) & DigitMask];
    return text;
}

std::optional<std::string> RefusalOfWayIn(const TCommand& command, TWayIn way) {
    if (way == TWayIn::CommandLine) return std::nullopt;
    switch (command.Name) {
    case TCommandName::RadioTextFile: return RefusedReply("RTFILE is set on the command line");
    case TCommandName::CommandPort: return RefusedReply("COMMANDPORT is set on the command line");
    case TCommandName::SerialPort: return RefusedReply("SERIALPORT is set on the command line");
    case TCommandName::CharacterSet: return RefusedReply("CHARSET is set on the command line");
    case TCommandName::RadioTextFormat: return RefusedReply("RTFORMAT is set on the command line");
    case TCommandName::RadioTextSkip: return RefusedReply("RTSKIP is set on the command line");
    case TCommandName::RadioTextIdle: return RefusedReply("RTIDLE is set on the command line");
    case TCommandName::ResetWear: return RefusedReply("RESETWEAR is given on the command line");
    case TCommandName::Settings: return RefusedReply("SETTINGS is given on the command line");
    case TCommandName::CommandPortAllow: return RefusedReply("COMMANDPORTALLOW is set on the command line");
    default: return std::nullopt;
    }
}

bool IsHttpLine(std::string_view line) { return IsRequestLine(line) || IsHeaderLine(line); }

TParsedLine ParseCommand(std::string_view line) {
    if (IsHttpLine(line)) return RefusedHttp();
    const size_t equals = line.find('=');
    const std::string label = UpperText(Trimmed(line.substr(0, equals)));
    for (const TNameEntry& entry : Names) {
        if (label != entry.Name) continue;
        if (equals != std::string_view::npos) return WithValue(entry.Command, label, line.substr(equals + 1));
        if (entry.Command == TCommandName::Update || entry.Command == TCommandName::Status ||
            entry.Command == TCommandName::ResetWear || entry.Command == TCommandName::Settings)
            return Parsed(entry.Command, 0);
        return Refused(label + " needs a value");
    }
    return {std::nullopt, UnknownReply("unknown command"), false};
}

bool CanBeginCommand(std::string_view line) {
    const size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
        const std::string label = UpperText(Trimmed(line.substr(0, equals)));
        return std::any_of(Names.begin(), Names.end(), [&](const TNameEntry& entry) { return label == entry.Name; });
    }
    const std::string_view word = Trimmed(line);
    if (word.empty() || word.find_first_of(" \t") != std::string_view::npos) return false;
    const std::string upper = UpperText(word);
    // After a space only '=' may follow, so the name must be whole by then.
    const bool whole = line.back() == ' ' || line.back() == '\t';
    return std::any_of(Names.begin(), Names.end(), [&](const TNameEntry& entry) {
        const std::string_view name(entry.Name);
        return whole ? name == upper : name.substr(0, upper.size()) == upper;
    });
}

TParsedLine ParseWholeLine(std::string_view line) {
    if (line.size() > MaxLineBytes) return Refused(LineTooLongReason);
    return ParseCommand(line);
}

std::string DoneReply() { return std::string(1, DoneMark); }
std::string RefusedReply(const std::string& reason) { return std::string(1, RefusedMark) + " " + reason; }
std::string NotStoredReply(const std::string& reason) { return DoneReply() + " not stored: " + reason; }
std::string UnknownReply(const std::string& reason) { return std::string(1, UnknownMark) + " " + reason; }
bool IsDoneReply(const std::string& reply) { return !reply.empty() && reply[0] == DoneMark; }

std::string StatusReply(const TStatus& status) {
    // A stored text with a control character must not break the reply's line or fields.
    const auto field = [](const char* key, const std::string& value) {
        std::string text = std::string(1, FieldSeparator) + key + "=";
        for (char c : value) text += static_cast<unsigned char>(c) < FirstPrintable ? ' ' : c;
        return text;
    };
    const auto onOff = [](bool on) { return std::string(on ? "ON" : "OFF"); };
    return DoneReply() + field("FREQ", status.Frequency) + field("POWER", std::to_string(status.Power)) +
           field("CARRIER", onOff(status.Carrier)) + field("STEREO", onOff(status.Stereo)) +
           field("PTY", std::to_string(status.Pty)) + field("TP", std::to_string(status.Tp)) +
           field("MS", std::to_string(status.MusicSpeech)) + field("PI", status.Pi) +
           field("PS", status.ProgramService) + field("RT", status.RadioText) +
           field("RTFILE", status.RadioTextFile) + field("CHARSET", MemoryCharacterSetName(status.CharacterSet)) +
           field("RTFORMAT", status.RadioTextFormat) + field("RTSKIP", status.RadioTextSkip) +
           field("RTIDLE", std::to_string(status.RadioTextIdleMinutes) + "," + status.RadioTextIdle) +
           (status.Wear.empty() ? std::string() : field("WEAR", status.Wear)) +
           field("COMMANDPORT", std::to_string(status.CommandPort)) + field("ALLOW", status.CommandPortAllow) +
           field("CARD", status.CardOpen ? std::string("OPEN") : "NONE " + status.CardFailure);
}

void TLineReader::Feed(std::string_view bytes, std::vector<TParsedLine>& parsed) {
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            EndLine(parsed);
            continue;
        }
        if (discarding_) continue;
        if (line_.size() == MaxLineBytes) {
            parsed.push_back(BeginsRequestLine(line_) ? RefusedHttp() : Refused(LineTooLongReason));
            discardedCommandStart_ = CanBeginCommand(line_);
            line_.clear();
            discarding_ = true;
            continue;
        }
        line_ += c;
    }
}

void TLineReader::Finish(std::vector<TParsedLine>& parsed) { EndLine(parsed); }

bool TLineReader::HoldsCommandStart() const { return discarding_ ? discardedCommandStart_ : CanBeginCommand(line_); }

void TLineReader::EndLine(std::vector<TParsedLine>& parsed) {
    // CR LF ends one line: the empty one between them is blank and dropped.
    if (!discarding_ && !Trimmed(line_).empty()) parsed.push_back(ParseCommand(line_));
    line_.clear();
    discarding_ = false;
}
