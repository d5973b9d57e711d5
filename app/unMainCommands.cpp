// Commands from the command port and the other ways in, applied on the window's
// thread through the main window's own controls, so that each control's handler
// stores and sends as a click or keystroke would; the RDS changes then go on air.
#include "unMain.h"
#include "StationLogLines.h"

#include "CommandLine.h"
#include "CommandPipe.h"
#include "CommandPort.h"
#include "FrequencyText.h"
#include "NowPlayingFile.h"
#include "PostedMessage.h"
#include "Registry.h"
#include "SerialLine.h"
#include "Application.h"
#include "SettingsStore.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrMatrix.h"
#include "VrTrackBar.h"

namespace {

TLogWay LogWayOf(TWayIn way) {
    switch (way) {
    case TWayIn::Port: return TLogWay::Port;
    case TWayIn::CommandLine: return TLogWay::CommandLine;
    case TWayIn::NowPlayingFile: return TLogWay::File;
    case TWayIn::SerialLine: return TLogWay::Serial;
    }
    return TLogWay::Port;
}

using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

// Posted to the main window when commands wait in its queue.
constexpr unsigned CommandsQueuedMessage = Msg::User + 1;
// Posted to the main window when a transport's worker has a notice to show.
constexpr unsigned NoticePostedMessage = Msg::User + 3;
constexpr char CommandPortSetting[] = "CommandPort";
constexpr char CommandPortAllowSetting[] = "CommandPortAllow";
constexpr char ClosedPortText[] = "0";
constexpr int LastPort = 65535;
constexpr char MegahertzSuffix[] = "MHz";

bool IsRdsField(TCommandName name) {
    switch (name) {
    case TCommandName::ProgramService:
    case TCommandName::RadioText:
    case TCommandName::Pty:
    case TCommandName::Tp:
    case TCommandName::MusicSpeech:
    case TCommandName::Pi: return true;
    default: return false;
    }
}

// Commands whose change the round's RDS write puts on air.
bool ChangesRdsImage(TCommandName name) { return IsRdsField(name) || name == TCommandName::CharacterSet; }

constexpr char UnknownFailure[] = "an unknown failure";
constexpr char NotOnAirPrefix[] = "not on air: ";
constexpr char CardWriteFailedNotice[] = "The card did not take the RDS data: ";
constexpr char StartingPrefix[] = "starting: a message waits on the screen: \"";

// Commands whose handlers change the card (or the RDS image) before, or whatever, their
// setting is stored: a refused store leaves the change in force.
bool ReachesCardWithoutItsSetting(TCommandName name) {
    switch (name) {
    case TCommandName::Frequency:
    case TCommandName::Power:
    case TCommandName::Carrier:
    case TCommandName::Stereo: return true;
    default: return IsRdsField(name);
    }
}

// Answers the batches when it goes out of scope, or earlier through Now: a command
// without a reply of its own (an exception ended the run) is answered as not applied.
class TAnswerOnLeaving {
public:
    TAnswerOnLeaving(TCommandQueue& queue, const std::vector<TCommandQueue::TBatchPtr>& batches)
        : queue_(queue), batches_(batches) {}
    ~TAnswerOnLeaving() { Now(); }
    TAnswerOnLeaving(const TAnswerOnLeaving&) = delete;
    TAnswerOnLeaving& operator=(const TAnswerOnLeaving&) = delete;
    void Now() {
        if (answered_) return;
        answered_ = true;
        for (const TCommandQueue::TBatchPtr& batch : batches_)
            batch->Replies.resize(batch->Commands.size(), RefusedReply("not applied: the window failed"));
        queue_.Answer(batches_);
    }

private:
    TCommandQueue& queue_;
    const std::vector<TCommandQueue::TBatchPtr>& batches_;
    bool answered_ = false;
};

// The programme-data commands that went through: what they changed is not on air;
// an UPDATE did not happen.
void RefuseOnAir(const std::vector<TCommandQueue::TBatchPtr>& batches, const std::string& failure) {
    for (const TCommandQueue::TBatchPtr& batch : batches)
        for (size_t k = 0; k < batch->Commands.size(); ++k) {
            if (!IsDoneReply(batch->Replies[k])) continue;
            if (ChangesRdsImage(batch->Commands[k].Name)) batch->Replies[k] = RefusedReply(NotOnAirPrefix + failure);
            if (batch->Commands[k].Name == TCommandName::Update) batch->Replies[k] = RefusedReply(failure);
        }
}

// Commands that reach the card when it is open: applied to the window and stored all the same.
bool NeedsCard(TCommandName name) {
    switch (name) {
    case TCommandName::Frequency:
    case TCommandName::Power:
    case TCommandName::Carrier:
    case TCommandName::Stereo:
    case TCommandName::Update: return true;
    default: return IsRdsField(name);
    }
}

constexpr char NotStoredPrefix[] = "+ not stored: ";

// Without a card, a change that went through is not on air: the reply says so, and whether it is stored.
void RefuseWithoutCard(const std::vector<TCommandQueue::TBatchPtr>& batches, const std::string& failure) {
    const std::string notOnAir = "not on air: the card is not open (" + failure + "); ";
    for (const TCommandQueue::TBatchPtr& batch : batches)
        for (size_t k = 0; k < batch->Commands.size(); ++k) {
            std::string& reply = batch->Replies[k];
            if (!NeedsCard(batch->Commands[k].Name)) continue;
            if (IsDoneReply(reply) && reply.rfind(NotStoredPrefix, 0) == 0)
                reply = RefusedReply(notOnAir + "not stored: " + reply.substr(sizeof NotStoredPrefix - 1));
            else if (IsDoneReply(reply))
                reply = RefusedReply(notOnAir + "stored");
        }
}

// Ends the run of queued commands however it leaves.
class TRunningFlag {
public:
    explicit TRunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~TRunningFlag() { flag_ = false; }
    TRunningFlag(const TRunningFlag&) = delete;
    TRunningFlag& operator=(const TRunningFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

void TfoMain::OpenWaysIn() {
    if (commandsState_ != TCommandsState::Waiting) return;
    commandsState_ = TCommandsState::Open;
    HWND window = Handle();
    commandQueue_->SetWake([window] { PostToWindow(window, CommandsQueuedMessage); });

    // Every unit a command acts on exists before the first command is applied.
    StartNowPlayingFile();
    RestoreUecpAddresses();
    // A port that cannot open goes to the notice area and the log, not into a box that
    // waits for somebody at an unattended station.
    std::string portFailure;
    const std::string stored = ReadSetting(CommandPortSetting);
    const int port = StrToIntDef(stored, -1);
    const std::string storedAllow = ReadSetting(CommandPortAllowSetting);
    try {
        if (storedAllow != SettingsStore::AbsentText) commandPortAllow_ = TAddressAllowList::Parse(storedAllow);
    } catch (const EAddressAllowListError& error) {
        const std::string failure = std::string("The setting ") + error.what() +
                                    ": the command port serves 127.0.0.1 only.";
        LogEvent(failure);
        ShowNotice(TNoticeSource::Port, failure);
    }
    if (stored != SettingsStore::AbsentText && (port < 0 || port > LastPort)) {
        portFailure = "The setting CommandPort holds \"" + stored +
                      "\", which is not a port number 0..65535: the program runs without a command port.";
    } else if (port > 0) {
        try {
            commandPort_ = OpenCommandPort(static_cast<uint16_t>(port));
            LogEvent(TransportOpened(TTransport::CommandPort, IntToStr(port)));
        } catch (const std::exception& error) {
            portFailure = std::string(error.what()) + " The program runs without a command port.";
        }
    }
    if (!portFailure.empty()) {
        LogEvent(TransportFailing(TTransport::CommandPort, stored, portFailure));
        ShowNotice(TNoticeSource::Port, portFailure);
    }
    StartSerialLine();
    if (!commandPipeName_.empty()) {
        auto pipe = std::make_unique<TCommandPipe>(*commandQueue_);
        try {
            pipe->Open(commandPipeName_);
            commandPipe_ = std::move(pipe);
        } catch (const std::exception& error) {
            waysInFailures_.push_back(std::string(error.what()) +
                                      "\nLater starts cannot hand their commands to this one.");
        }
    }
}

void TfoMain::StartCommands() {
    // A message box of the restore activates the window inside the restore: not yet.
    if (!restored_ || (commandsState_ != TCommandsState::Waiting && commandsState_ != TCommandsState::Open)) return;
    {
        TWayScope way(*this, TLogWay::Start);
        OpenWaysIn();
    }
    commandsState_ = TCommandsState::Running;
    // Commands handed over before now have waited for the restore.
    RunQueuedCommands();
    // The boxes' own message loops go on applying commands.
    std::vector<std::string> failures;
    failures.swap(waysInFailures_);
    for (const std::string& failure : failures) ReportAtStart(failure, MsgBox::Ok | MsgBox::IconWarning);
}

void TfoMain::ReportAtStart(const std::string& text, unsigned flags) {
    {
        TWayScope way(*this, TLogWay::Start);
        LogEvent(text);
    }
    if (startReportsAsNotices_) {
        ShowNotice(TNoticeSource::Start, text);
        return;
    }
    // Before the restore's end, the ways in are told that the box waits; after it they run.
    const bool starting = !restored_;
    if (starting) {
        startMessage_ = text;
        AnswerWhileStartMessageWaits();
    }
    Application->MessageBox(text, Application->Title(), flags);
    if (starting) startMessage_.clear();
}

void TfoMain::AnswerWhileStartMessageWaits() {
    if (startMessage_.empty()) return;
    // The start's own commands stay queued: their sender is at this screen.
    const std::vector<TCommandQueue::TBatchPtr> batches = commandQueue_->Take(true);
    if (batches.empty()) return;
    const std::string reply = RefusedReply(StartingPrefix + startMessage_ + "\"");
    for (const TCommandQueue::TBatchPtr& batch : batches) batch->Replies.assign(batch->Commands.size(), reply);
    commandQueue_->Answer(batches);
}

void TfoMain::QueueStartCommands(const std::vector<std::string>& arguments,
                                 std::function<void(const std::string&)> output, std::function<void()> written) {
    if (arguments.empty()) return;
    startCommands_ = std::make_unique<TStartCommands>(*commandQueue_, arguments, std::move(output), std::move(written));
}

void TfoMain::StopCommands() {
    SaveRdsWear(true);
    wearTimer_.reset();
    idleTimer_.reset();
    serialLine_.reset();
    nowPlaying_.reset();
    startCommands_.reset();
    commandPipe_.reset();
    retiringPort_.reset();
    commandPort_.reset();
    commandQueue_->SetWake(nullptr);
    commandsState_ = TCommandsState::Stopped;
}

uint16_t TfoMain::CommandPortNumber() const { return commandPort_ ? commandPort_->Port() : 0; }

TCommandPort::TRefusalHandler TfoMain::PortRefusalHandler() {
    const HWND window = Handle();
    return [this, window](TCommandPort::TRefusal refusal, const std::string& notice) {
        // Once per start and kind: a page or a poller that keeps trying must not keep the notice area busy.
        const unsigned kind = 1u << static_cast<unsigned>(refusal);
        if (portRefusalsNoted_.fetch_or(kind) & kind) return;
        if (log_) log_->Write(TLogWay::Port, notice);
        PostNotice(window, TNoticeSource::Port, notice);
    };
}

void TfoMain::PostNotice(HWND window, TNoticeSource source, const std::string& notice) {
    {
        std::lock_guard<std::mutex> guard(fileNoticeLock_);
        postedNotices_.emplace_back(source, notice);
    }
    PostToWindow(window, NoticePostedMessage);
}

bool TfoMain::HandleCommandsMessage(const TMessage& message) {
    if (HandleNowPlayingMessage(message) || HandleUecpMessage(message)) return true;
    if (message.Msg == NoticePostedMessage) {
        std::vector<std::pair<TNoticeSource, std::string>> posted;
        {
            std::lock_guard<std::mutex> guard(fileNoticeLock_);
            posted.swap(postedNotices_);
        }
        for (const auto& notice : posted) ShowNotice(notice.first, notice.second);
        return true;
    }
    if (message.Msg != CommandsQueuedMessage) return false;
    RunQueuedCommands();
    return true;
}

void TfoMain::RunQueuedCommands() {
    if (commandsState_ == TCommandsState::Open) AnswerWhileStartMessageWaits();
    // A nested message loop inside a command finds the run already going.
    if (commandsState_ != TCommandsState::Running || runningCommands_) return;
    TRunningFlag running(runningCommands_);
    for (;;) {
        const std::vector<TCommandQueue::TBatchPtr> batches = commandQueue_->Take();
        if (batches.empty()) break;
        // Every taken batch is answered, whatever its commands or the write raise.
        TAnswerOnLeaving answer(*commandQueue_, batches);
        TRdsWriteDue write;
        // The write after them is logged as coming from the first command's way in.
        TWayScope way(*this, LogWayOf(batches.front()->From), batches.front()->SenderOf(0));
        for (const TCommandQueue::TBatchPtr& batch : batches) {
            batch->Replies.clear();
            for (size_t i = 0; i < batch->Commands.size(); ++i) {
                TWayScope commandWay(*this, LogWayOf(batch->From), batch->SenderOf(i));
                const TCommand& command = batch->Commands[i];
                const std::optional<std::string> refused = RefusalOfWayIn(command, batch->From);
                batch->Replies.push_back(refused ? *refused : ApplyCommand(command, write));
            }
        }
        // One write for everything that arrived together (one whole image however many
        // UPDATEs asked for it); the replies follow it.
        if (write.WholeImage || write.Changes) {
            const std::string failure = WriteRdsReporting(write.WholeImage);
            if (!failure.empty()) RefuseOnAir(batches, failure);
        }
        if (!CardOnAir()) RefuseWithoutCard(batches, CardFailure());
        // What UECP requests and acknowledgements are answered with: the state now on air.
        for (const TCommandQueue::TBatchPtr& batch : batches)
            if (batch->WantsStatus) batch->Status = CurrentStatus();
        answer.Now();
        // A replaced port closes once its worker has sent these replies.
        retiringPort_.reset();
    }
}

std::string TfoMain::WriteRdsReporting(bool wholeImage) {
    // Without a card the notice area says so already, for as long as that lasts.
    if (!CardOnAir()) {
        if (wholeImage)
            Button1Click(Button1);
        else
            WriteRdsChanges();
        return {};
    }
    std::string failure;
    try {
        if (wholeImage)
            Button1Click(Button1);
        else
            WriteRdsChanges();
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = UnknownFailure;
    }
    ReportCardWrite(failure);
    return failure;
}

void TfoMain::ReportCardWrite(const std::string& failure) {
    // Reported once until a write goes through again; the notice area, not a box
    // that would wait for somebody at an unattended station.
    ShowNotice(TNoticeSource::Card, failure.empty() ? std::string() : CardWriteFailedNotice + failure);
}

std::string TfoMain::ApplyCommand(const TCommand& command, TRdsWriteDue& write) {
    // A field's control may change even when its handler then fails: the image follows the controls.
    if (IsRdsField(command.Name)) write.Changes = true;
    const int value = static_cast<int>(command.Value);
    try {
        switch (command.Name) {
        case TCommandName::ProgramService: SetTextFromCommand(VrStrEdit1, psCodes_, command); break;
        case TCommandName::RadioText: SetTextFromCommand(VrStrEdit2, rtCodes_, command); break;
        case TCommandName::Pty: return SelectFromCommand(ComboBox1, value, &TfoMain::ComboBox1Change);
        case TCommandName::Tp: return SelectFromCommand(ComboBox5, value, &TfoMain::ComboBox5Change);
        case TCommandName::MusicSpeech: return SelectFromCommand(ComboBox6, value, &TfoMain::ComboBox6Change);
        case TCommandName::Pi: {
            const int country = PiCountryIndex(command.Value);
            const int area = PiAreaIndex(command.Value);
            const int reference = PiProgramReference(command.Value);
            if (country >= ComboBox2->ItemCount() || area >= ComboBox3->ItemCount() ||
                reference >= ComboBox4->ItemCount())
                return RefusedReply("the PI lists are not filled");
            // All three parts change, also when one of them cannot be stored.
            TStoreRefusal refusal;
            refusal.Run([&] { SelectFromCommand(ComboBox2, country, &TfoMain::ComboBox2Change); });
            refusal.Run([&] { SelectFromCommand(ComboBox3, area, &TfoMain::ComboBox3Change); });
            refusal.Run([&] { SelectFromCommand(ComboBox4, reference, &TfoMain::ComboBox4Change); });
            refusal.Raise();
            break;
        }
        case TCommandName::Frequency:
            VrMatrix1->SetText(FrequencyText::FromKHz(command.Value));
            StepFrequency(0);
            break;
        case TCommandName::Power: VrTrackBar1->SetPosition(value); break;
        case TCommandName::Carrier: VrCheckLed2->SetChecked(command.Value != 0); break;
        case TCommandName::Stereo: VrCheckLed1->SetChecked(command.Value != 0); break;
        // Written once this round's commands are applied.
        case TCommandName::Update: write.WholeImage = true; break;
        case TCommandName::Status: return StatusReply(CurrentStatus());
        case TCommandName::CommandPort: return MoveCommandPort(static_cast<uint16_t>(command.Value));
        case TCommandName::RadioTextFile: return SetRadioTextFile(command.Text);
        case TCommandName::SerialPort: return SetSerialPort(command.Text);
        case TCommandName::CommandPortAllow: return SetCommandPortAllow(command.Text);
        case TCommandName::CharacterSet:
            return SetMemoryCharacterSet(static_cast<TMemoryCharacterSet>(command.Value), write);
        case TCommandName::RadioTextFormat: return SetRadioTextFormat(command.Text);
        case TCommandName::RadioTextSkip: return SetRadioTextSkip(command.Text);
        case TCommandName::RadioTextIdle: return SetRadioTextIdle(command.Value, command.Text);
        case TCommandName::ResetWear: return ResetRdsWear();
        case TCommandName::Settings: OpenSettingsPage(); break;
        }
    } catch (const ERegistryException& error) {
        // The change went to the card (or goes with this round's RDS write); only its setting is lost.
        if (ReachesCardWithoutItsSetting(command.Name)) return NotStoredReply(error.what());
        return RefusedReply(error.what());
    } catch (const std::exception& error) {
        return RefusedReply(error.what());
    } catch (...) {
        return RefusedReply(UnknownFailure);
    }
    return DoneReply();
}

std::string TfoMain::SelectFromCommand(TComboBox* list, int index, void (TfoMain::*change)(TObject*)) {
    if (index >= list->ItemCount()) return RefusedReply("the list is not filled");
    list->SetItemIndex(index);
    // A selection made by the program runs no handler of its own; a user's pick does.
    (this->*change)(list);
    return DoneReply();
}

std::unique_ptr<TCommandPort> TfoMain::OpenCommandPort(uint16_t port) {
    auto opened = std::make_unique<TCommandPort>(*commandQueue_, PortRefusalHandler(), UecpOwner());
    opened->Open(port, commandPortAllow_, AddressRefusalHandler(port));
    return opened;
}

std::function<void(uint32_t)> TfoMain::AddressRefusalHandler(uint16_t port) {
    const HWND window = Handle();
    return [this, window, port](uint32_t address) {
        std::optional<TRefusalTally::TReport> report;
        {
            std::lock_guard<std::mutex> guard(refusalLock_);
            report = refusalTally_.Refused(address, TRefusalTally::TClock::now());
        }
        if (!report) return;
        const std::string text = AddressRefused(AddressText(report->Address), report->Count, port);
        if (log_) log_->Write(TLogWay::Port, text);
        if (report->First) PostNotice(window, TNoticeSource::Port, text);
    };
}

std::string TfoMain::SetCommandPortAllow(const std::string& text) {
    const TAddressAllowList allowed = TAddressAllowList::Parse(text);
    WriteSetting(CommandPortAllowSetting, SettingsSubKey, allowed.Text());
    const std::string from = commandPortAllow_.Text();
    commandPortAllow_ = allowed;
    const uint16_t port = CommandPortNumber();
    if (port != 0) {
        // The old port closes first: the new one binds the same number.
        retiringPort_.reset();
        commandPort_.reset();
        commandPort_ = OpenCommandPort(port);
    }
    LogEvent(CommandPortAllowChanged(from, allowed.Text()));
    return DoneReply();
}

std::string TfoMain::MoveCommandPort(uint16_t port) {
    std::unique_ptr<TCommandPort> next;
    if (port != 0 && port != CommandPortNumber()) {
        try {
            next = OpenCommandPort(port);
        } catch (const std::exception& error) {
            LogEvent(TransportFailing(TTransport::CommandPort, IntToStr(port), error.what()));
            throw;
        }
    }
    WriteSetting(CommandPortSetting, SettingsSubKey, port == 0 ? ClosedPortText : IntToStr(port));
    const uint16_t from = CommandPortNumber();
    if (port != from) {
        retiringPort_ = std::move(commandPort_);
        commandPort_ = std::move(next);
        const auto where = [](uint16_t number) { return number == 0 ? std::string() : IntToStr(number); };
        LogEvent(TransportChanged(TTransport::CommandPort, where(from), where(port)));
        // The port in force now replaces an old failure's notice.
        ShowNotice(TNoticeSource::Port, std::string());
    }
    return DoneReply();
}

TStatus TfoMain::CurrentStatus() const {
    TStatus status;
    status.Frequency = VrMatrix1->Text();
    const size_t suffix = status.Frequency.find(MegahertzSuffix);
    if (suffix != std::string::npos) status.Frequency.erase(suffix);
    status.Power = VrTrackBar1->Position();
    status.Carrier = VrCheckLed2->Checked();
    status.Stereo = VrCheckLed1->Checked();
    status.Pty = ComboBox1->ItemIndex();
    status.Tp = ComboBox5->ItemIndex();
    status.MusicSpeech = ComboBox6->ItemIndex();
    status.Pi = PiText(ComboBox2->ItemIndex(), ComboBox3->ItemIndex(), ComboBox4->ItemIndex());
    status.ProgramService = VrStrEdit1->Text();
    status.RadioText = VrStrEdit2->Text();
    status.ProgramServiceCodes = ProgramServiceCodes();
    status.RadioTextCodes = RadioTextCodes();
    status.RadioTextFile = RadioTextFile();
    status.CharacterSet = memoryCharacters_;
    if (rtRules_) {
        const TRtTextSettings rules = rtRules_->Settings();
        status.RadioTextFormat = rules.Format;
        status.RadioTextSkip = rules.Skip;
        status.RadioTextIdleMinutes = rules.IdleMinutes;
        status.RadioTextIdle = rules.IdleText;
    }
    status.Wear = WearStatus();
    status.CommandPort = CommandPortNumber();
    status.CommandPortAllow = commandPortAllow_.Text();
    status.CardOpen = CardOnAir();
    status.CardFailure = CardFailure();
    return status;
}
