// The words of the station's log, one line per event.
#include "StationLogLines.h"

#include "ProgrammeTypes.h"

#include <cstdio>

namespace {

// The widest way in, "command line", sets the column.
constexpr size_t WayInColumn = 12;
constexpr uint32_t KHzPerMHz = 1000;
constexpr char LineEnd[] = "\r\n";
constexpr char NoSelection[] = "none";
// "Tuned to" before the frequency.
constexpr size_t TunedWordLength = 8;

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string FourDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", value);
    return text;
}

// A path as it is: a Windows path holds no '"', and its '\\' are its separators.
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A list's item index; a list without a selection reads -1.
std::string ListValue(int index) { return index < 0 ? NoSelection : std::to_string(index); }

std::string PtyValue(int code) {
    if (code < 0) return NoSelection;
    if (static_cast<size_t>(code) >= ProgrammeTypeCount) return std::to_string(code);
    return std::to_string(code) + " " + ProgrammeTypes[code];
}

std::string FieldList(const TRdsFields& fields) {
    std::string list;
    const auto add = [&list](const std::string& field) { list += (list.empty() ? "" : ", ") + field; };
    if (fields.ProgramService) add("PS " + QuotedValue(*fields.ProgramService));
    if (fields.RadioText) add("RT " + QuotedValue(*fields.RadioText));
    if (fields.Pty) add("PTY " + PtyValue(*fields.Pty));
    if (fields.Pi) add("PI " + (fields.Pi->empty() ? std::string(NoSelection) : *fields.Pi));
    if (fields.Tp) add("TP " + ListValue(*fields.Tp));
    if (fields.MusicSpeech) add("M/S " + ListValue(*fields.MusicSpeech));
    if (fields.CharacterSet) add("character set " + *fields.CharacterSet);
    return list.empty() ? "nothing changed" : list;
}

std::string BytesWritten(size_t bytes) {
    return std::to_string(bytes) + (bytes == 1 ? " byte written" : " bytes written");
}

std::string Kind(TTransport transport) {
    switch (transport) {
    case TTransport::CommandPort: return "Command port";
    case TTransport::SerialLine: return "Serial line";
    case TTransport::NowPlayingFile: return "Now-playing file";
    }
    return {};
}

std::string Place(TTransport transport, const std::string& where) {
    return transport == TTransport::NowPlayingFile ? Quoted(where) : where;
}

std::string Subject(TTransport transport, const std::string& where) {
    return Kind(transport) + " " + Place(transport, where);
}

}  // namespace

bool SameDay(const TLogTime& a, const TLogTime& b) {
    return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day;
}

const char* WayInText(TLogWay way) {
    switch (way) {
    case TLogWay::Start: return "start";
    case TLogWay::Window: return "window";
    case TLogWay::Port: return "port";
    case TLogWay::CommandLine: return "command line";
    case TLogWay::File: return "file";
    case TLogWay::Uecp: return "UECP";
    case TLogWay::Serial: return "serial";
    case TLogWay::Close: return "close";
    case TLogWay::LogOff: return "log-off";
    case TLogWay::Update: return "update";
    case TLogWay::Log: return "log";
    }
    return "";
}

std::string LogLine(const TLogTime& time, TLogWay way, const std::string& what, const std::string& sender) {
    std::string line = FourDigits(time.Year) + "-" + TwoDigits(time.Month) + "-" + TwoDigits(time.Day) + " " +
                       TwoDigits(time.Hour) + ":" + TwoDigits(time.Minute) + ":" + TwoDigits(time.Second) + " ";
    std::string column = WayInText(way);
    if (!sender.empty()) column += " " + sender;
    if (column.size() < WayInColumn) column.resize(WayInColumn, ' ');
    line += column + " ";
    for (const char c : what) line += (c == '\r' || c == '\n') ? ' ' : c;
    return line + LineEnd;
}

std::string QuotedValue(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string ProgramStarted(const std::string& version) { return "Program started, version " + version; }

std::string ProgramEnded(TLogWay how) {
    switch (how) {
    case TLogWay::Close: return "Program ended: its window was closed";
    case TLogWay::LogOff: return "Program ended: the user logged off or Windows shut down";
    case TLogWay::Update: return "Program ended for an update of the program";
    default: return "Program ended";
    }
}

std::string CardOpened() { return "Card opened"; }

std::string CardNotOpened(const std::string& message) { return "Card not opened: " + message; }

std::string CarrierSwitched(bool on) { return on ? "Carrier on" : "Carrier off"; }

std::string Tuned(uint32_t kHz, int power) {
    char frequency[32];
    std::snprintf(frequency, sizeof frequency, "%u.%03u MHz", static_cast<unsigned>(kHz / KHzPerMHz),
                  static_cast<unsigned>(kHz % KHzPerMHz));
    return std::string("Tuned to ") + frequency + ", power " + std::to_string(power);
}

std::string StereoSwitched(bool stereo) { return stereo ? "Stereo" : "Mono"; }

std::string TunedWhileOpening(uint32_t kHz) { return Tuned(kHz, 0) + ", while the transmitter opens"; }

std::string TunedWhileOff(uint32_t kHz) { return Tuned(kHz, 0) + ", while the carrier is off"; }

std::string StoredNotOnAir(const std::string& what) { return what + ": stored, not on air: no card"; }

std::string CarrierSet(bool on) { return on ? "Carrier switched on" : "Carrier switched off"; }

std::string FrequencySet(uint32_t kHz, int power) { return "Frequency" + Tuned(kHz, power).substr(TunedWordLength); }

std::string RdsFieldsNamed(const TRdsFields& fields, bool whole) {
    return (whole ? "Update RDS: " : "RDS: ") + FieldList(fields);
}

std::string RdsUpdated(const TRdsFields& fields, size_t bytesWritten) {
    return "Update RDS: " + FieldList(fields) + "; " + BytesWritten(bytesWritten);
}

std::string RdsChanged(const TRdsFields& changed, size_t bytesWritten) {
    return "RDS: " + FieldList(changed) + "; " + BytesWritten(bytesWritten);
}

std::string TransportOpened(TTransport transport, const std::string& where) {
    return Subject(transport, where) + " opened";
}

std::string TransportMoved(TTransport transport, const std::string& from, const std::string& to) {
    return Kind(transport) + " moved from " + Place(transport, from) + " to " + Place(transport, to);
}

std::string TransportClosed(TTransport transport, const std::string& where) {
    return Subject(transport, where) + " closed";
}

std::string TransportChanged(TTransport transport, const std::string& from, const std::string& to) {
    if (to.empty()) return TransportClosed(transport, from);
    if (from.empty()) return TransportOpened(transport, to);
    return TransportMoved(transport, from, to);
}

std::string TransportFailing(TTransport transport, const std::string& where, const std::string& message) {
    return Subject(transport, where) + " fails: " + message;
}

std::string UecpAddressesSet(const std::string& sites, const std::string& encoders) {
    return "UECP addresses set: sites " + QuotedValue(sites) + ", encoders " + QuotedValue(encoders);
}

std::string CharacterSetChanged(const std::string& from, const std::string& to) {
    return "RDS character set changed from " + from + " to " + to;
}

std::string SettingNotStored(const std::string& name, const std::string& text, const std::string& message) {
    return "Setting " + name + " not stored as " + QuotedValue(text) + ": " + message;
}

std::string OldDayFilesDeleted(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return "Old day files deleted: " + list;
}

std::string OldDayFilesHeld(const std::string& newest, long daysPast) {
    return "No old day file deleted: the date is " + std::to_string(daysPast) + " days past the newest day file, " +
           newest;
}

std::string LogFolderRefused(const std::string& reason) { return "The log refuses its folder: " + reason; }

std::string LogLinesLost(size_t lines) {
    return "The log is written again after the disk refused it: " + std::to_string(lines) +
           (lines == 1 ? " line was lost" : " lines were lost");
}

std::string LogDaysSet(unsigned days) {
    return "The log keeps " + std::to_string(days) + " days of files from now on";
}

std::string CommandPortAllowChanged(const std::string& from, const std::string& to) {
    return "Command port allow-list changed from " + Quoted(from) + " to " + Quoted(to);
}

std::string AddressRefused(const std::string& address, unsigned count, uint16_t port) {
    return "Command port " + std::to_string(port) + " refused " + address +
           ", which the setting CommandPortAllow does not name (" + std::to_string(count) +
           (count == 1 ? " time)" : " times in the last hour)");
}
