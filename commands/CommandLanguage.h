// The command language of live programme data: one command a line in, a parsed
// command or the reply that refuses it out, and the reply texts. No platform calls.
#pragma once

#include "RdsCharacterSet.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TCommandName {
    ProgramService, RadioText, Pty, Tp, MusicSpeech, Pi,
    Frequency, Power, Carrier, Stereo, Update, Status, CommandPort, RadioTextFile, SerialPort,
    CharacterSet, RadioTextFormat, RadioTextSkip, RadioTextIdle, ResetWear, Settings, CommandPortAllow
};

struct TCommand {
    TCommandName Name = TCommandName::Status;
    // PS and RT: the text, already cut to its length; RTFILE: the path; SERIALPORT: the
    // setting's text ("COM2", "COM2:19200", empty: none), checked where the line opens;
    // COMMANDPORTALLOW: the allow-list's text, checked where the port reopens.
    std::string Text;
    // PTY, TP, MS, POWER, COMMANDPORT: the number; FREQ: kHz; CARRIER, STEREO: 1 on, 0 off;
    // PI: the four hex digits as one number; CHARSET: a TMemoryCharacterSet; RTIDLE: the minutes
    // (Text: the idle text); RTFORMAT, RTSKIP: the setting's text.
    uint32_t Value = 0;
    // PS and RT from UECP: the RDS codes as sent, which Text shows in the code page.
    std::optional<std::string> RdsCodes;
};

// Where a command came in. Every way in says who it is: what it may change depends on it.
enum class TWayIn { Port, CommandLine, NowPlayingFile, SerialLine };

// Settings that decide what the program reads or where it listens (RTFILE,
// COMMANDPORT), what its RDS memory holds (CHARSET) or what the file's lines
// become (RTFORMAT, RTSKIP, RTIDLE), RESETWEAR, and the settings page that changes
// them (SETTINGS), are taken only from the window and the command line (whose pipe admits
// only this user, administrators and the system), never from the port or the file:
// the reply that refuses Command from Way, or nothing when Way may give it.
std::optional<std::string> RefusalOfWayIn(const TCommand& command, TWayIn way);

// PI's parts as the window's lists index them.
int PiCountryIndex(uint32_t pi);
int PiAreaIndex(uint32_t pi);
int PiProgramReference(uint32_t pi);
// Four uppercase hex digits from the lists' indexes; empty when one has no selection.
std::string PiText(int countryIndex, int areaIndex, int programReference);

// A line parsed: a command to apply, or the reply that refuses it.
struct TParsedLine {
    std::optional<TCommand> Command;
    std::string Reply;
    // The line is one a web browser sends (IsHttpLine): its connection is no client's.
    bool Http = false;
};

// A line of HTTP: a request line (a method word such as GET, POST, PUT, OPTIONS, HEAD
// or CONNECT, a space, a target, a space, "HTTP/...") or a header line (a header
// name such as Host, Origin or Content-Type, then ':'). No command of the language
// is either: a command's name is followed by '=' or by nothing.
bool IsHttpLine(std::string_view line);

constexpr size_t MaxLineBytes = 1024;
constexpr size_t ProgramServiceLength = 8;
constexpr size_t RadioTextLength = 64;
constexpr char ReplyLineEnd[] = "\r\n";

// One line without its line end.
TParsedLine ParseCommand(std::string_view line);
// The line read so far can still become a command: a command's name or the start of
// one (spaces before it, and after a whole name), or a name, '=' and any text.
bool CanBeginCommand(std::string_view line);
// A line given whole (a program argument): refused as the port refuses a line
// longer than MaxLineBytes, else parsed.
TParsedLine ParseWholeLine(std::string_view line);

std::string DoneReply();
std::string RefusedReply(const std::string& reason);
// Done, but the setting could not be stored: "+ not stored: <reason>".
std::string NotStoredReply(const std::string& reason);
std::string UnknownReply(const std::string& reason);
bool IsDoneReply(const std::string& reply);

// What STATUS reports, as the window's controls hold it.
struct TStatus {
    std::string Frequency;  // "101.300"
    int Power = 0;
    bool Carrier = false;
    bool Stereo = false;
    int Pty = -1;
    int Tp = -1;
    int MusicSpeech = -1;
    std::string Pi;
    std::string ProgramService;
    std::string RadioText;
    // The texts' RDS codes when UECP gave them and the texts are still theirs.
    std::optional<std::string> ProgramServiceCodes;
    std::optional<std::string> RadioTextCodes;
    std::string RadioTextFile;
    TMemoryCharacterSet CharacterSet = TMemoryCharacterSet::Ansi;
    std::string RadioTextFormat;
    std::string RadioTextSkip;
    unsigned RadioTextIdleMinutes = 0;
    std::string RadioTextIdle;
    // "<most writes of one byte>,<address>,<years or ->"; empty: not reported.
    std::string Wear;
    // The command port's number (0: closed) and the addresses it serves besides 127.0.0.1.
    uint16_t CommandPort = 0;
    std::string CommandPortAllow;
    // Whether the card is open, and why not when it is not.
    bool CardOpen = true;
    std::string CardFailure;
};
// Ends with "CARD=OPEN" or "CARD=NONE <why>".
std::string StatusReply(const TStatus& status);

// Cuts a byte stream into lines (CR, LF or CR LF), drops blank ones, and refuses a
// line longer than MaxLineBytes once, discarding the rest of it up to its end.
class TLineReader {
public:
    void Feed(std::string_view bytes, std::vector<TParsedLine>& parsed);
    // The end of a datagram ends its last line too.
    void Finish(std::vector<TParsedLine>& parsed);
    // The line read so far (the one being discarded included) can still become a command.
    bool HoldsCommandStart() const;

private:
    void EndLine(std::vector<TParsedLine>& parsed);
    std::string line_;
    bool discarding_ = false;
    bool discardedCommandStart_ = false;
};
