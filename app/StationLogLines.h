// The station's log lines: the time stamp, the way in, and the words that say
// what happened, for each event the log records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Local time to the second, as the log writes it.
struct TLogTime {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

bool SameDay(const TLogTime& a, const TLogTime& b);

// Where the event came from.
// Log: what the log itself did (old days deleted, lines lost).
enum class TLogWay { Start, Window, Port, CommandLine, File, Uecp, Serial, Close, LogOff, Update, Log };

// The way in as the log names it: "start", "window", "port", "command line", "file",
// "UECP", "serial", "close", "log-off", "update", "log".
const char* WayInText(TLogWay way);

// "2026-12-09 14:32:05 window       Carrier on" and CR LF. The way in is padded to one
// column; a CR or LF inside What becomes a blank, so that one event stays one line.
// Sender, another machine's address, follows the way in: "port 192.168.1.20 Carrier on".
std::string LogLine(const TLogTime& time, TLogWay way, const std::string& what, const std::string& sender = {});

// A value in double quotes, each '"' in it written \" and each backslash \\, so that
// no text can end its quotes and forge fields of its line.
std::string QuotedValue(const std::string& text);

// The events.
std::string ProgramStarted(const std::string& version);
// How the program ended follows from the way in: close, log-off or update.
std::string ProgramEnded(TLogWay how);
std::string CardOpened();
std::string CardNotOpened(const std::string& message);
std::string CarrierSwitched(bool on);
std::string Tuned(uint32_t kHz, int power);
std::string StereoSwitched(bool stereo);
// The power-0 tuning that switching the carrier on sends first.
std::string TunedWhileOpening(uint32_t kHz);
// The power-0 tuning that switching the carrier off sends.
std::string TunedWhileOff(uint32_t kHz);
// A change that the card did not get, named without the words of one that went on air:
// "Carrier switched on: stored, not on air: no card".
std::string StoredNotOnAir(const std::string& what);
std::string CarrierSet(bool on);
std::string FrequencySet(uint32_t kHz, int power);

// The RDS fields a write carries; an absent field is not named.
struct TRdsFields {
    std::optional<std::string> ProgramService;
    std::optional<std::string> RadioText;
    std::optional<int> Pty;
    // Four hex digits, as the PI lists make them.
    std::optional<std::string> Pi;
    std::optional<int> Tp;
    std::optional<int> MusicSpeech;
    // The texts' bytes: "ANSI" as typed, "RDS" as RDS codes.
    std::optional<std::string> CharacterSet;
};
// "Update RDS": the whole image, with every field's value.
std::string RdsUpdated(const TRdsFields& fields, size_t bytesWritten);
// The fields that changed and the bytes that differed.
std::string RdsChanged(const TRdsFields& changed, size_t bytesWritten);
// The fields a write would carry, without the bytes: "Update RDS: ..." (Whole) or "RDS: ...".
std::string RdsFieldsNamed(const TRdsFields& fields, bool whole);

// The ways in that open, move, close and fail of their own.
enum class TTransport { CommandPort, SerialLine, NowPlayingFile };
// Where is the port number, the COM port's name or the file's path.
std::string TransportOpened(TTransport transport, const std::string& where);
std::string TransportMoved(TTransport transport, const std::string& from, const std::string& to);
std::string TransportClosed(TTransport transport, const std::string& where);
// Closed when To is empty, opened when From is, else moved.
std::string TransportChanged(TTransport transport, const std::string& from, const std::string& to);
std::string TransportFailing(TTransport transport, const std::string& where, const std::string& message);
// The setting "CommandPortAllow" changed (the lists' texts; empty: 127.0.0.1 only).
std::string CommandPortAllowChanged(const std::string& from, const std::string& to);
// A sender the allow-list does not name was refused Count times since this address was last logged.
std::string AddressRefused(const std::string& address, unsigned count, uint16_t port);
// The setting "RdsCharacterSet" changed (its values' names).
std::string CharacterSetChanged(const std::string& from, const std::string& to);
std::string SettingNotStored(const std::string& name, const std::string& text, const std::string& message);
// "LogDays" changed: the days the log keeps, from now on.
std::string LogDaysSet(unsigned days);
// The UECP lists a frame set, as their settings hold them (empty: only address 0).
std::string UecpAddressesSet(const std::string& sites, const std::string& encoders);

// What the log did with its own files and folder.
std::string OldDayFilesDeleted(const std::vector<std::string>& names);
std::string OldDayFilesHeld(const std::string& newest, long daysPast);
std::string LogFolderRefused(const std::string& reason);
std::string LogLinesLost(size_t lines);
