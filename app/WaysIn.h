// The ways in of the running program: the command port, the pipe of later starts and
// this start's own commands, the serial line, the now-playing file with its text rules,
// and the UECP address lists. This unit opens, moves and closes each, restores and
// stores their settings, and tells the window what fails; it hands commands to the
// window's queue and never touches a control.
#pragma once

#include "AddressAllowList.h"
#include "CommandLanguage.h"
#include "CommandPort.h"
#include "RtTextRules.h"
#include "StationLogLines.h"
#include "Types.h"
#include "UecpMessages.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TCommandPipe;
class TCommandQueue;
class TNowPlayingFile;
class TSerialLine;
class TStartCommands;
class TTimer;
struct TSettingsValues;
struct TStatus;
struct TUecpOwner;

// The settings the ways in keep.
namespace WaysInSettings {
inline constexpr char CommandPortSetting[] = "CommandPort";
inline constexpr char CommandPortAllowSetting[] = "CommandPortAllow";
inline constexpr char SerialPortSetting[] = "SerialPort";
inline constexpr char RtFileSetting[] = "RtFile";
inline constexpr char FormatSetting[] = "RtFormat";
inline constexpr char SkipSetting[] = "RtSkip";
inline constexpr char IdleTextSetting[] = "RtIdleText";
inline constexpr char IdleMinutesSetting[] = "RtIdleMinutes";
inline constexpr char SitesSetting[] = "UecpSites";
inline constexpr char EncodersSetting[] = "UecpEncoders";
}  // namespace WaysInSettings

// Where a notice comes from; each stands in the notice area until its source clears it.
enum class TNoticeSource { NowPlayingFile, Card, Port, Log, SerialLine, Uecp, Start, Wear };

// What the ways in ask of the window they serve. Every call is made on the window's
// thread, but PostNotice and WriteLog, which the workers make too.
class TWaysInOwner {
public:
    // The notice area shows the latest standing notice; an empty Notice clears Source's.
    virtual void ShowNotice(TNoticeSource source, const std::string& notice) = 0;
    // ShowNotice later on the thread of Window (MessageWindow, read on that thread).
    virtual void PostNotice(HWND window, TNoticeSource source, const std::string& notice) = 0;
    // Posted notices of Source not shown yet are dropped: their transport is gone.
    virtual void DropPostedNotices(TNoticeSource source) = 0;
    // One line of the station's log.
    virtual void WriteLog(TLogWay way, const std::string& what) = 0;
    // The way in of the handler that runs now, and a new one for what runs next.
    virtual TLogWay Way() const = 0;
    virtual void SetWay(TLogWay way) = 0;
    // Where the workers post the messages that HandleMessage takes.
    virtual HWND MessageWindow() = 0;

protected:
    ~TWaysInOwner() = default;
};

class TWaysIn {
public:
    TWaysIn(TWaysInOwner& owner, TCommandQueue& queue);
    ~TWaysIn();
    TWaysIn(const TWaysIn&) = delete;
    TWaysIn& operator=(const TWaysIn&) = delete;

    // The pipe that later starts hand their commands to; it opens with the other ways in.
    void SetCommandPipeName(const std::string& name) { commandPipeName_ = name; }
    // This start's own commands, handed to the queue now: each reply goes to Output (on
    // a worker thread), then Written is told.
    void QueueStartCommands(const std::vector<std::string>& arguments,
                            std::function<void(const std::string&)> output, std::function<void()> written);
    // At the restore's start: the now-playing file with its rules, the UECP lists, the
    // port of "CommandPort" on "CommandPortAllow", the serial line and the pipe open;
    // each failure is shown and logged, but the pipe's, which is returned to be told
    // once the start is done.
    std::vector<std::string> Open();
    // Every worker ends: the idle timer, the line, the file, the start's commands, the
    // pipe and the ports.
    void Stop();
    // On the window's thread, what the workers posted: whether Message was theirs.
    bool HandleMessage(const TMessage& message);
    // Once the replies of a round are out (a change from the window: at once): a port
    // that a change replaced closes, and one whose allow-list changed reopens on it.
    void FinishPortChanges();

    // The command port's number now; 0 when it is closed.
    uint16_t CommandPortNumber() const;
    // The now-playing file followed now; empty: none.
    std::string RadioTextFile() const;
    // STATUS's fields of the ways in: the file, its text rules, the port and its allow-list.
    void AddToStatus(TStatus& status) const;
    // The page's fields of the ways in, as stored.
    void AddStoredSettings(TSettingsValues& values) const;

    // One setter a setting: each checks Text (the command's value after '='), stores it,
    // puts it in force, logs it with the way in of the caller, and replies "+" or
    // "- " and the reason.
    std::string SetCommandPort(const std::string& text);
    std::string SetCommandPortAllow(const std::string& text);
    std::string SetSerialPort(const std::string& text);
    std::string SetRadioTextFile(const std::string& text);
    std::string SetRadioTextFormat(const std::string& text);
    std::string SetRadioTextSkip(const std::string& text);
    // "<minutes>,<text>".
    std::string SetRadioTextIdle(const std::string& text);
    // Comma-separated addresses; empty: only 0.
    std::string SetUecpSites(const std::string& text);
    std::string SetUecpEncoders(const std::string& text);

private:
    // Sets the owner's way in for what runs in its scope.
    class TWayScope {
    public:
        TWayScope(TWaysInOwner& owner, TLogWay way) : owner_(owner), previous_(owner.Way()) { owner.SetWay(way); }
        ~TWayScope() { owner_.SetWay(previous_); }
        TWayScope(const TWayScope&) = delete;
        TWayScope& operator=(const TWayScope&) = delete;

    private:
        TWaysInOwner& owner_;
        TLogWay previous_;
    };
    // Set's reply, or the refusal that its failure makes.
    static std::string Replying(const std::function<std::string()>& set);
    // Text as the value of the command Name: checked by that command's rule.
    static TParsedLine Checked(const char* name, const std::string& text);
    // One line of the log for What, from the caller's way in.
    void LogEvent(const std::string& what);
    void OpenCommandPortSetting();
    // Opens the port at Port for the allow-list in force.
    std::unique_ptr<TCommandPort> OpenCommandPort(uint16_t port);
    std::string MoveCommandPort(uint16_t port);
    std::string ChangeCommandPortAllow(const std::string& text);
    // What a command port tells when it closes or refuses a connection: the first of each kind of a start.
    TCommandPort::TRefusalHandler PortRefusalHandler();
    // Logs a refused sender (at most once an hour each) and shows a start's first in the notice area.
    std::function<void(uint32_t)> AddressRefusalHandler(uint16_t port);
    void OpenCommandPipe(std::vector<std::string>& failures);

    // Follows the file named by the setting "RtFile".
    void StartNowPlayingFile();
    std::string ChangeRadioTextFile(const std::string& path);
    // The stored "RtFormat", "RtSkip", "RtIdleText" and "RtIdleMinutes"; a malformed one
    // is reported in the notice area and left out.
    void RestoreRadioTextRules();
    void ChangeRadioTextRules(const TRtTextSettings& settings, const std::string& logged);
    // RTFORMAT or RTSKIP: Text checked by Command, stored in Setting, and put in force as Rule.
    std::string SetRadioTextRule(const char* command, const char* setting, std::string TRtTextSettings::*rule,
                                 const std::string& text);
    // What the rules made of the file's line or of its stillness: logged, and put on air.
    void PostRadioTextDecision(const TRtDecision& decision);
    // From the file's worker: a failure to show, or (empty) the file reads again.
    void PostFileNotice(HWND window, const std::string& notice);
    bool HandleNowPlayingMessage(const TMessage& message);

    // Opens the line the setting "SerialPort" names; a malformed setting is reported.
    void StartSerialLine();
    std::string ChangeSerialPort(const std::string& setting);
    // Closes the line in force and opens the one Setting names; raises ESerialLineError
    // for a malformed text, leaving no line open.
    void SetSerialPortNow(const std::string& setting);

    // What the port and the serial line ask of the program for UECP (on their workers).
    TUecpOwner UecpOwner();
    // The lists "UecpSites" and "UecpEncoders" as stored; a malformed one is left
    // stored as it is, reported, and only address 0 is answered for it.
    void RestoreUecpAddresses();
    // Stores one UECP list and puts both in force.
    std::string SetUecpList(const char* setting, const std::string& text, bool sites);
    // On the window's thread: stores the lists that a frame changed.
    bool HandleUecpMessage(const TMessage& message);

    TWaysInOwner& owner_;
    TCommandQueue& queue_;
    std::unique_ptr<TCommandPort> commandPort_;
    // A port that a COMMANDPORT command replaced; it closes once its replies are out.
    std::unique_ptr<TCommandPort> retiringPort_;
    // The allow-list changed while the port was open: it reopens once its replies are
    // out, with the list before the change if the new one cannot open.
    std::optional<TAddressAllowList> reopenFrom_;
    std::string commandPipeName_;
    std::unique_ptr<TCommandPipe> commandPipe_;
    std::unique_ptr<TStartCommands> startCommands_;
    // The file's text rules, used on its worker, and the timer that finds the file still.
    std::unique_ptr<TRtTextRules> rtRules_;
    std::unique_ptr<TTimer> idleTimer_;
    std::unique_ptr<TNowPlayingFile> nowPlaying_;
    std::unique_ptr<TSerialLine> serialLine_;
    // The line's setting in force ("COM2:19200"), empty when none is open.
    std::string serialSetting_;
    // The UECP address lists in force, read and changed by the transports' workers under uecpLock_.
    std::mutex uecpLock_;
    TUecpAddressLists uecpAddresses_;
    // Set when a frame changed the lists and they wait to be stored.
    bool uecpAddressesDue_ = false;
    // The file's notice, handed from its worker to the window's thread.
    std::mutex fileNoticeLock_;
    std::optional<std::string> fileNotice_;
    bool fileFailing_ = false;
    // One bit for each kind of refusal already told in this start.
    std::atomic<unsigned> portRefusalsNoted_{0};
    // The setting "CommandPortAllow" in force: empty, the port stays on 127.0.0.1.
    TAddressAllowList commandPortAllow_;
    // Refused senders, told by the port's worker.
    std::mutex refusalLock_;
    TRefusalTally refusalTally_;
};
