// The main window TfoMain: the transmitter controls, the options column, the
// RDS panel and the tray icon, with the card object it owns for the whole run.
#pragma once

#include "Form.h"
#include "RdsUpdate.h"
#include "RdsWear.h"
#include "SettingsPage.h"
#include "StartReports.h"
#include "StationLog.h"
#include "Timer.h"
#include "WaysIn.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
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
class TPopupMenu;
class TCommandQueue;
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

// The settings page's setters are the window's: each puts the way in `window` in force
// and calls the setter of the unit that owns the setting.
class TfoMain : public TForm, public TSettingsSetters, private TWaysInOwner {
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

    // The settings page: opened, or the open one brought forward.
    void OpenSettingsPage();
    // The page, once it has been opened.
    TfoSettings* SettingsPage() const { return settingsPage_; }
    // The tray icon's right-click menu: "Show", "Settings...", "Open log folder", "Close".
    TPopupMenu* TrayMenu() const { return trayMenu_; }

    TSettingsValues StoredSettings() override;
    std::string ChangeCommandPort(const std::string& text) override;
    std::string ChangeCommandPortAllow(const std::string& text) override;
    std::string ChangeSerialPort(const std::string& text) override;
    std::string ChangeNowPlayingFile(const std::string& text) override;
    std::string ChangeRadioTextFormat(const std::string& text) override;
    std::string ChangeRadioTextSkip(const std::string& text) override;
    std::string ChangeRadioTextIdle(const std::string& minutes, const std::string& text) override;
    std::string ChangeCharacterSet(const std::string& text) override;
    std::string ChangeUecpSites(const std::string& text) override;
    std::string ChangeUecpEncoders(const std::string& text) override;
    std::string ChangeLogDays(const std::string& text) override;
    std::string LogFolder() override;

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
    // The RDS codes UECP gave the PS and radiotext edits' texts, while the edits still
    // show them; none for a text typed or given as a line.
    std::optional<std::string> ProgramServiceCodes() const;
    std::optional<std::string> RadioTextCodes() const;

    // Where every way in hands its commands over to this window.
    TCommandQueue& Commands() { return *commandQueue_; }
    // Once the restore has run to its end (before, nothing happens): commands are
    // applied from then on. The ways in opened at the restore's start; a failure to open
    // the pipe is reported once, after everything else has started.
    void StartCommands();
    // Applies every queued command through its control in arrival order, writes the
    // RDS image's changed bytes once for all of them, then answers each.
    void RunQueuedCommands();
    // The command port's number now; 0 when it is closed.
    uint16_t CommandPortNumber() const { return waysIn_->CommandPortNumber(); }
    // The pipe that later starts hand their commands to; it opens with the commands.
    void SetCommandPipeName(const std::string& name) { waysIn_->SetCommandPipeName(name); }
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
    // The system menu's "Settings..." and the tray icon's menu.
    void BindSettingsMenus();
    // A setting from the window: Name=Text through the command language and the
    // handler the command line's command runs, logged with the way in `window`.
    std::string ApplyFromWindow(const std::string& name, const std::string& text);
    // Setter of the ways in, called with the way in `window` in force.
    std::string FromWindow(std::string (TWaysIn::*setter)(const std::string&), const std::string& text);
    // Out of the tray and to the front: the tray's double click, a second start.
    void ShowFromTray();
    // The compact view's size: at every start and when the arrow closes the options.
    void SetCompactSize();
    // The tray icon's tip: "SONDEL at " and the displayed frequency.
    void ShowFrequencyInTrayHint();
    void SeedAbsentSettings();
    // At the restore's start the ways in open; what they hand over waits for the restore's end.
    void OpenWaysIn();
    // A report of the start: logged, then a box (while it waits, commands are answered
    // that a message waits) or, with "StartReports" = "Notice", the notice area.
    void ReportAtStart(const std::string& text, unsigned flags);
    // Answers what waits in the queue (but the start's own commands) that a message of
    // the start waits on the screen; nothing is applied.
    void AnswerWhileStartMessageWaits();
    // The card is open: what the handlers send goes on air.
    bool CardOnAir() const;
    // Why the card is not open.
    std::string CardFailure() const;
    // Logs OnAir when the card is open, else that What was stored and is not on air.
    void LogOnAir(const std::string& onAir, const std::string& what);
    // The carrier on or off at the card, logged with the power-0 tuning it sends.
    void SwitchCarrier(bool on);
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
    // A text edit's RDS codes from UECP, kept while the edit shows the text they make,
    // and the setting that keeps them for the next start.
    struct TTextCodes {
        const char* Setting;
        size_t Length;
        std::optional<TRdsTextCodes> Kept;
        // What the setting holds (empty also when absent).
        std::string Stored;
    };
    // PS= or RT=: the edit takes the text, and the codes UECP sent it in are kept.
    void SetTextFromCommand(TVrStrEdit* edit, TTextCodes& codes, const TCommand& command);
    // The edit holds Text now: codes made for another text go, and the setting follows.
    void StoreTextCodes(TTextCodes& codes, const std::string& text);
    // The stored codes, in force when they still make the restored text.
    void RestoreTextCodes(TTextCodes& codes, const std::string& text);
    TStatus CurrentStatus() const;
    bool HandleCommandsMessage(const TMessage& message);
    void StopCommands();
    // CHARSET: stores the setting; a change is logged and its bytes are due for this round's write.
    std::string SetMemoryCharacterSet(TMemoryCharacterSet characters, TRdsWriteDue& write);
    // The stored "RdsCharacterSet"; absent or malformed leaves the texts' bytes as typed.
    void RestoreMemoryCharacterSet();
    // Writes the bytes of the panel's image that differ from what this run last wrote.
    void WriteRdsChanges();
    // The whole image ("Update RDS") or the changes written, a failure reported: the
    // failure's text, empty when it went through.
    std::string WriteRdsReporting(bool wholeImage);
    // A write of the RDS data failed (Failure) or went through (empty): the notice area shows it.
    void ReportCardWrite(const std::string& failure);
    // The notice area shows the latest standing notice, or the maker's notice when
    // none stands; an empty Notice clears Source's.
    void ShowNotice(TNoticeSource source, const std::string& notice) override;
    // From a worker thread: ShowNotice on the window's thread.
    void PostNotice(HWND window, TNoticeSource source, const std::string& notice) override;
    void DropPostedNotices(TNoticeSource source) override;
    void WriteLog(TLogWay way, const std::string& what) override;
    TLogWay Way() const override { return logWay_; }
    void SetWay(TLogWay way) override { logWay_ = way; }
    HWND MessageWindow() override { return Handle(); }

    // The stored "RdsWrites" and "RdsMemoryEndurance"; counting follows every write from now.
    void RestoreRdsWear();
    // The counts stored when any changed (Always: also within 10 minutes of the last save).
    void SaveRdsWear(bool always);
    // Local seconds since 1970 by the log's clock.
    int64_t WearNow() const;
    // Once a minute and after each round of writes: the day's line at midnight, the round
    // counted as a radiotext change when it wrote radiotext bytes, the counts saved when
    // due, the notice when the memory wears out within 3 years.
    void CheckRdsWear();
    // RESETWEAR: the counts of a new card begin at zero.
    std::string ResetRdsWear();
    // STATUS's WEAR field.
    std::string WearStatus() const;

    // One line of the log for What, from the way in of the handler that runs now.
    void LogEvent(const std::string& what);
    // Opens the log in the folder LogPlace names, keeping "LogDays" days; without it
    // the program runs on, and the notice area says why.
    void OpenStationLog();
    // Sets the way in (and the sending machine, empty for this one) for the handlers
    // that run in its scope.
    class TWayScope {
    public:
        TWayScope(TfoMain& form, TLogWay way, std::string sender = {})
            : form_(form), previous_(form.logWay_), previousSender_(std::move(form.logSender_)) {
            form.logWay_ = way;
            form.logSender_ = std::move(sender);
        }
        ~TWayScope() {
            form_.logWay_ = previous_;
            form_.logSender_ = std::move(previousSender_);
        }
        TWayScope(const TWayScope&) = delete;
        TWayScope& operator=(const TWayScope&) = delete;

    private:
        TfoMain& form_;
        TLogWay previous_;
        std::string previousSender_;
    };

    std::unique_ptr<TSondelCard> card_;
    bool restoreBegun_ = false;
    bool restored_ = false;
    TStartReports startReports_;
    // "StartReports" = "Notice": the start's reports go to the notice area, no box waits.
    bool startReportsAsNotices_ = false;
    // The card's failure box, shown once the ways in are open.
    std::string cardFailureBox_;
    // The text of the start's box that waits for a click now; empty when none does.
    std::string startMessage_;
    // The ways in that could not open at the restore's start, reported after it.
    std::vector<std::string> waysInFailures_;
    // Set while a refused Run entry puts its LED back, so that the LED's handler stays out.
    bool revertingAutostart_ = false;

    TfoSettings* settingsPage_ = nullptr;
    TPopupMenu* trayMenu_ = nullptr;

    std::unique_ptr<TCommandQueue> commandQueue_;
    // The maker's notice while another stands in its place, and the standing ones, latest last.
    std::optional<std::string> makersNotice_;
    std::vector<std::pair<TNoticeSource, std::string>> notices_;
    // Handed from the workers to the window's thread.
    std::mutex postedNoticeLock_;
    std::vector<std::pair<TNoticeSource, std::string>> postedNotices_;
    // After the notices its worker may post to, until the log is gone.
    std::unique_ptr<TStationLog> log_;
    TLogWay logWay_ = TLogWay::Window;
    std::string logSender_;
    // After the queue, the notices and the log: the workers of the ways in end before
    // what they hand commands, notices and log lines to goes.
    std::unique_ptr<TWaysIn> waysIn_;
    // The RDS fields as the log last named them, so that a write names only what changed.
    std::optional<TRdsFields> loggedRds_;
    // Commands wait for the restore (the ways in open at its start), run until the window
    // closes, and never start again.
    enum class TCommandsState { Waiting, Open, Starting, Running, Stopped };
    TCommandsState commandsState_ = TCommandsState::Waiting;
    bool runningCommands_ = false;
    // What this run's writes left in the RDS memory, by "Update RDS" or by commands.
    TWrittenImage writtenImage_;
    // The memory's wear: the counts, a byte's endurance, when they were last saved, the
    // day they are of, the day the notice last spoke, and today's radiotext changes.
    TRdsWear rdsWear_;
    uint64_t rdsEndurance_ = DefaultRdsMemoryEndurance;
    bool wearRestored_ = false;
    bool wearDirty_ = false;
    int64_t wearSavedAt_ = 0;
    int64_t wearDay_ = 0;
    int64_t wearNoticeDay_ = -1;
    bool radioTextWritten_ = false;
    uint64_t radioTextChanges_ = 0;
    std::unique_ptr<TTimer> wearTimer_;
    // How the PS and the radiotext become the memory's bytes (the setting "RdsCharacterSet").
    TMemoryCharacterSet memoryCharacters_ = TMemoryCharacterSet::Ansi;
    TTextCodes psCodes_{"PSCodes", ProgramServiceLength, std::nullopt, {}};
    TTextCodes rtCodes_{"RTCodes", RadioTextLength, std::nullopt, {}};
};

extern TfoMain* foMain;
// The application's title, which is also the main window's caption.
extern const char* const ApplicationTitle;
// The release version, as the program's file properties carry it.
extern const char* const ProgramVersion;
// The maker's support address that the notice names and opens.
extern const char* const SupportAddress;
