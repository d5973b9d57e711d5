// The main window TfoMain: the transmitter controls, the options column, the
// RDS panel and the tray icon, with the card object it owns for the whole run.
#pragma once

#include "AddressAllowList.h"
#include "Form.h"
#include "RdsUpdate.h"
#include "StartReports.h"
#include "StationLog.h"
#include "UecpMessages.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TSondelCard;
class TVrGradient;
class TVrBorder;
class TVrArrow;
class TVrMatrix;
class TVrScrollText;
class TVrCheckLed;
class TVrMediaButton;
class TVrTrackBar;
class TVrStrEdit;
class TVrTrayIcon;
class TLabel;
class TImage;
class TColorBox;
class TComboBox;
class TButton;
class TCommandQueue;
class TCommandPort;
class TCommandPipe;
class TStartCommands;
class TNowPlayingFile;
class TSerialLine;
struct TUecpOwner;
struct TCommand;
struct TStatus;

// Steps of a handler that go on when a setting cannot be stored: the first refusal
// is kept and raised once every step has run (the card changes stand).
class TStoreRefusal {
public:
    // Runs Step; a refused store is kept, any other failure goes on up at once.
    void Run(const std::function<void()>& step);
    bool Refused() const { return static_cast<bool>(refused_); }
    // Raises the refusal kept, if any.
    void Raise() const;

private:
    std::exception_ptr refused_;
};

class TfoMain : public TForm {
public:
    explicit TfoMain(TComponent* owner);
    ~TfoMain() override;

    // Controls in creation (and drawing) order.
    TVrGradient* VrGradient1;
    TVrBorder* VrBorder1;
    TVrArrow* VrArrow1;
    TVrMatrix* VrMatrix1;
    TVrBorder* VrBorder2;
    TVrScrollText* VrScrollText1;
    TLabel* Label1;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    TLabel* Label6;
    TLabel* Label7;
    TLabel* Label13;
    TImage* Image1;
    TVrCheckLed* VrCheckLed1;
    TVrCheckLed* VrCheckLed2;
    TVrMediaButton* VrMediaButton1;
    TVrMediaButton* VrMediaButton4;
    TVrMediaButton* VrMediaButton2;
    TVrMediaButton* VrMediaButton3;
    TVrCheckLed* VrCheckLed3;
    TVrCheckLed* VrCheckLed4;
    TVrCheckLed* VrCheckLed5;
    TVrTrackBar* VrTrackBar1;
    TVrCheckLed* VrCheckLed7;
    TVrStrEdit* VrStrEdit1;
    TColorBox* ColorBox1;
    TVrStrEdit* VrStrEdit2;
    TComboBox* ComboBox1;
    TColorBox* ColorBox2;
    TComboBox* ComboBox2;
    TComboBox* ComboBox3;
    TComboBox* ComboBox4;
    TComboBox* ComboBox5;
    TComboBox* ComboBox6;
    TButton* Button1;
    TVrTrayIcon* VrTrayIcon2;

    // The card object, from FormCreate to FormClose.
    TSondelCard* Card() const { return card_.get(); }

    void FormCreate(TObject* sender);
    void FormActivate(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);

    // Moves the displayed frequency by Delta kHz within the band, shows and
    // stores it, and tunes the card with the stored power level.
    void StepFrequency(int32_t delta);
    // StepFrequency with the power Level given instead of the stored one (none: stored).
    void StepFrequencyWithPower(int32_t delta, std::optional<int> level);

    void VrMediaButton1Click(TObject* sender);
    void VrMediaButton4Click(TObject* sender);
    void VrMediaButton2Click(TObject* sender);
    void VrMediaButton3Click(TObject* sender);
    void VrTrackBar1Change(TObject* sender);
    void VrCheckLed2Change(TObject* sender);
    void VrCheckLed1Change(TObject* sender);
    void VrCheckLed7Change(TObject* sender);
    void VrCheckLed3Change(TObject* sender);
    void VrCheckLed4Change(TObject* sender);
    void VrCheckLed5Change(TObject* sender);

    void VrArrow1Click(TObject* sender);
    void ColorBox1Change(TObject* sender);
    void ColorBox2Change(TObject* sender);
    void VrTrayIcon2DblClick(TObject* sender);
    void VrScrollText1Click(TObject* sender);

    void ComboBox1Change(TObject* sender);
    void ComboBox2Change(TObject* sender);
    void ComboBox3Change(TObject* sender);
    void ComboBox4Change(TObject* sender);
    void ComboBox5Change(TObject* sender);
    void ComboBox6Change(TObject* sender);
    void VrStrEdit1Change(TObject* sender);
    void VrStrEdit2Change(TObject* sender);
    void Button1Click(TObject* sender);

    void WndProc(TMessage& message) override;

    // Where FormCreate opens the station's log: an empty folder means the machine's;
    // tests give a folder and a clock of their own.
    struct TLogPlace {
        std::string Folder;
        TStationLog::TClock Clock = LocalTime;
    };
    TLogPlace LogPlace;
    // The station's log; nullptr when it could not be opened.
    TStationLog* Log() const { return log_.get(); }

    // The restore has run to its last step (it runs once per start).
    bool Restored() const { return restored_; }

    // Where every way in hands its commands over to this window.
    TCommandQueue& Commands() { return *commandQueue_; }
    // Once the restore has run to its end (before, nothing happens): the now-playing
    // file, the port of the setting "CommandPort" and the pipe start, and commands are
    // applied from then on. A failure to open the port or the pipe is reported once, in
    // a message box, after everything else has started.
    void StartCommands();
    // Applies every queued command through its control in arrival order, writes the
    // RDS image's changed bytes once for all of them, then answers each.
    void RunQueuedCommands();
    // The command port's number now; 0 when it is closed.
    uint16_t CommandPortNumber() const;
    // The pipe that later starts hand their commands to; it opens with the commands.
    void SetCommandPipeName(const std::string& name) { commandPipeName_ = name; }
    // This start's own commands: applied once the restore has run, each reply handed
    // to Output (on a worker thread), then Written told.
    void QueueStartCommands(const std::vector<std::string>& arguments,
                            std::function<void(const std::string&)> output, std::function<void()> written = nullptr);

private:
    void CreateControls();
    void CreateInputControls();
    void BindHandlers();
    void BindOptionHandlers();
    void BindRdsHandlers();
    // Out of the tray and to the front: the tray's double click, a second start.
    void ShowFromTray();
    // The compact view's size: at every start and when the arrow closes the options.
    void SetCompactSize();
    // The tray icon's tip: "SONDEL at " and the displayed frequency.
    void ShowFrequencyInTrayHint();
    void SeedAbsentSettings();
    void RestoreSettings();
    void RestorePowerOn(const std::string& storedFrequency);
    // Runs one step of the restore; a failure is reported (when the start has not
    // told it already) and the next step runs.
    void RestoreStep(const std::function<void()>& step);

    // What the commands of one round leave to write into the RDS memory.
    struct TRdsWriteDue {
        bool Changes = false;
        bool WholeImage = false;
    };
    std::string ApplyCommand(const TCommand& command, TRdsWriteDue& write);
    std::string SelectFromCommand(TComboBox* list, int index, void (TfoMain::*change)(TObject*));
    std::string MoveCommandPort(uint16_t port);
    // COMMANDPORTALLOW: checks and stores the list, and reopens the port on its addresses.
    std::string SetCommandPortAllow(const std::string& text);
    // Opens the port at Port for the allow-list in force.
    std::unique_ptr<TCommandPort> OpenCommandPort(uint16_t port);
    // Logs a refused sender (at most once an hour each) and shows a start's first in the notice area.
    std::function<void(uint32_t)> AddressRefusalHandler(uint16_t port);
    TStatus CurrentStatus() const;
    bool HandleCommandsMessage(const TMessage& message);
    void StopCommands();
    // Follows the file named by the setting "RtFile".
    void StartNowPlayingFile();
    // RTFILE: stores the setting and follows that file at once (empty: none).
    std::string SetRadioTextFile(const std::string& path);
    // CHARSET: stores the setting; a change is logged and its bytes are due for this round's write.
    std::string SetMemoryCharacterSet(TMemoryCharacterSet characters, TRdsWriteDue& write);
    // The stored "RdsCharacterSet"; absent or malformed leaves the texts' bytes as typed.
    void RestoreMemoryCharacterSet();
    std::string RadioTextFile() const;
    // From the file's worker: a failure to show, or (empty) the file reads again.
    void PostFileNotice(HWND window, const std::string& notice);
    bool HandleNowPlayingMessage(const TMessage& message);
    // The notice area shows Notice; empty: the maker's notice again.
    void ShowFileNotice(const std::string& notice);
    // Writes the bytes of the panel's image that differ from what this run last wrote.
    void WriteRdsChanges();
    // The whole image ("Update RDS") or the changes written, a failure reported: the
    // failure's text, empty when it went through.
    std::string WriteRdsReporting(bool wholeImage);
    // A write of the RDS data failed (Failure) or went through (empty): the notice area shows it.
    void ReportCardWrite(const std::string& failure);
    // Where a notice comes from; each stands in the notice area until its source clears it.
    enum class TNoticeSource { NowPlayingFile, Card, Port, Log, SerialLine, Uecp };
    // The notice area shows the latest standing notice, or the maker's notice when
    // none stands; an empty Notice clears Source's.
    void ShowNotice(TNoticeSource source, const std::string& notice);
    // From a worker thread: ShowNotice on the window's thread.
    void PostNotice(HWND window, TNoticeSource source, const std::string& notice);
    // What a command port tells when it closes a connection that speaks HTTP.
    std::function<void(const std::string&)> PortRefusalHandler();
    // What the port and the serial line ask of the program for UECP (on their workers).
    TUecpOwner UecpOwner();
    // The lists "UecpSites" and "UecpEncoders" as stored; a malformed one is left
    // stored as it is, reported, and only address 0 is answered for it.
    void RestoreUecpAddresses();
    // On the window's thread: stores the lists that a frame changed.
    bool HandleUecpMessage(const TMessage& message);
    // Opens the line the setting "SerialPort" names; a malformed setting is reported.
    void StartSerialLine();
    // SERIALPORT: stores the setting and opens that line at once (empty: none).
    std::string SetSerialPort(const std::string& setting);
    // Closes the line in force and opens the one Setting names; raises ESerialLineError
    // for a malformed text, leaving no line open.
    void SetSerialPortNow(const std::string& setting);

    // One line of the log for What, from the way in of the handler that runs now.
    void LogEvent(const std::string& what);
    // Opens the log in the folder LogPlace names, keeping "LogDays" days; without it
    // the program runs on, and the notice area says why.
    void OpenStationLog();
    // Sets the way in for the handlers that run in its scope.
    class TWayScope {
    public:
        TWayScope(TfoMain& form, TLogWay way) : form_(form), previous_(form.logWay_) { form.logWay_ = way; }
        ~TWayScope() { form_.logWay_ = previous_; }
        TWayScope(const TWayScope&) = delete;
        TWayScope& operator=(const TWayScope&) = delete;

    private:
        TfoMain& form_;
        TLogWay previous_;
    };

    std::unique_ptr<TSondelCard> card_;
    bool restoreBegun_ = false;
    bool restored_ = false;
    TStartReports startReports_;
    // Set while a refused Run entry puts its LED back, so that the LED's handler stays out.
    bool revertingAutostart_ = false;

    std::unique_ptr<TCommandQueue> commandQueue_;
    // Declared after the queue: a port's worker ends before the queue goes.
    std::unique_ptr<TCommandPort> commandPort_;
    // A port that a COMMANDPORT command replaced; it closes once its replies are out.
    std::unique_ptr<TCommandPort> retiringPort_;
    std::string commandPipeName_;
    std::unique_ptr<TCommandPipe> commandPipe_;
    std::unique_ptr<TStartCommands> startCommands_;
    std::unique_ptr<TNowPlayingFile> nowPlaying_;
    std::unique_ptr<TSerialLine> serialLine_;
    // The line's setting in force ("COM2:19200"), empty when none is open.
    std::string serialSetting_;
    // The UECP address lists in force, read by the transports' workers.
    std::mutex uecpLock_;
    TUecpAddressLists uecpAddresses_;
    // Set when a frame changed the lists and they wait to be stored.
    bool uecpAddressesDue_ = false;
    // Handed from the file's worker to the window's thread.
    std::mutex fileNoticeLock_;
    std::optional<std::string> fileNotice_;
    bool fileFailing_ = false;
    // The maker's notice while another stands in its place, and the standing ones, latest last.
    std::optional<std::string> makersNotice_;
    std::vector<std::pair<TNoticeSource, std::string>> notices_;
    // Handed from the transports' workers to the window's thread (under fileNoticeLock_).
    std::vector<std::pair<TNoticeSource, std::string>> postedNotices_;
    // After the notices its worker may post to, until the log is gone.
    std::unique_ptr<TStationLog> log_;
    TLogWay logWay_ = TLogWay::Window;
    // The RDS fields as the log last named them, so that a write names only what changed.
    std::optional<TRdsFields> loggedRds_;
    std::atomic<bool> portRefusalNoted_{false};
    // The setting "CommandPortAllow" in force: empty, the port stays on 127.0.0.1.
    TAddressAllowList commandPortAllow_;
    // Refused senders, told by the port's worker.
    std::mutex refusalLock_;
    TRefusalTally refusalTally_;
    // Commands wait for the restore, run until the window closes, and never start again.
    enum class TCommandsState { Waiting, Starting, Running, Stopped };
    TCommandsState commandsState_ = TCommandsState::Waiting;
    bool runningCommands_ = false;
    // What this run's writes left in the RDS memory, by "Update RDS" or by commands.
    TWrittenImage writtenImage_;
    // How the PS and the radiotext become the memory's bytes (the setting "RdsCharacterSet").
    TMemoryCharacterSet memoryCharacters_ = TMemoryCharacterSet::Ansi;
};

extern TfoMain* foMain;
// The application's title, which is also the main window's caption.
extern const char* const ApplicationTitle;
// The release version, as the program's file properties carry it.
extern const char* const ProgramVersion;
// The maker's support address that the notice names and opens.
extern const char* const SupportAddress;
