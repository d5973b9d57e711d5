// Commands from the command port and the other ways in, applied on the window's
// thread through the main window's own controls, so that each control's handler
// stores and sends as a click or keystroke would; the RDS changes then go on air.
#include "unMain.h"
#include "StationLogLines.h"

#include "AddressAllowList.h"
#include "CommandQueue.h"
#include "FrequencyText.h"
#include "PostedMessage.h"
#include "Registry.h"
#include "Application.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrMatrix.h"
#include "VrTrackBar.h"

#include <algorithm>

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

// The machines whose commands a round's write carries, for its log line: empty when all
// came from this one, else each address once in the order they came ("127.0.0.1" for
// this machine's among them).
std::string RoundSenders(const std::vector<TCommandQueue::TBatchPtr>& batches) {
    const std::string thisMachine = AddressText(TAddressAllowList::Loopback);
    std::vector<std::string> senders;
    bool remote = false;
    for (const TCommandQueue::TBatchPtr& batch : batches) {
        if (batch->From != batches.front()->From) continue;
        for (size_t i = 0; i < batch->Commands.size(); ++i) {
            const std::string& sender = batch->SenderOf(i);
            remote = remote || !sender.empty();
            const std::string named = sender.empty() ? thisMachine : sender;
            if (std::find(senders.begin(), senders.end(), named) == senders.end()) senders.push_back(named);
        }
    }
    if (!remote) return {};
    std::string text;
    for (const std::string& sender : senders) text += (text.empty() ? "" : ",") + sender;
    return text;
}

// Posted to the main window when commands wait in its queue.
constexpr unsigned CommandsQueuedMessage = Msg::User + 1;
// Posted to the main window when a transport's worker has a notice to show.
constexpr unsigned NoticePostedMessage = Msg::User + 3;
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
        : queue_(queue), batches_(batches), answered_(batches.size(), false) {}
    ~TAnswerOnLeaving() { Now(); }
    TAnswerOnLeaving(const TAnswerOnLeaving&) = delete;
    TAnswerOnLeaving& operator=(const TAnswerOnLeaving&) = delete;
    // The batches of one way in now, the others later.
    void Ahead(TWayIn from) {
        AnswerWhere([from](const TCommandQueue::TBatch& batch) { return batch.From == from; });
    }
    void Now() {
        AnswerWhere([](const TCommandQueue::TBatch&) { return true; });
    }

private:
    void AnswerWhere(const std::function<bool(const TCommandQueue::TBatch&)>& wanted) {
        std::vector<TCommandQueue::TBatchPtr> now;
        for (size_t i = 0; i < batches_.size(); ++i) {
            if (answered_[i] || !wanted(*batches_[i])) continue;
            answered_[i] = true;
            batches_[i]->Replies.resize(batches_[i]->Commands.size(), RefusedReply("not applied: the window failed"));
            now.push_back(batches_[i]);
        }
        if (!now.empty()) queue_.Answer(now);
    }

    TCommandQueue& queue_;
    const std::vector<TCommandQueue::TBatchPtr>& batches_;
    std::vector<bool> answered_;
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
    for (std::string& failure : waysIn_->Open()) waysInFailures_.push_back(std::move(failure));
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
    waysIn_->QueueStartCommands(arguments, std::move(output), std::move(written));
}

void TfoMain::StopCommands() {
    SaveRdsWear(true);
    wearTimer_.reset();
    waysIn_->Stop();
    commandQueue_->SetWake(nullptr);
    commandsState_ = TCommandsState::Stopped;
}

void TfoMain::PostNotice(HWND window, TNoticeSource source, const std::string& notice) {
    {
        std::lock_guard<std::mutex> guard(postedNoticeLock_);
        postedNotices_.emplace_back(source, notice);
    }
    PostToWindow(window, NoticePostedMessage);
}

void TfoMain::DropPostedNotices(TNoticeSource source) {
    std::lock_guard<std::mutex> guard(postedNoticeLock_);
    postedNotices_.erase(std::remove_if(postedNotices_.begin(), postedNotices_.end(),
                                        [source](const auto& posted) { return posted.first == source; }),
                         postedNotices_.end());
}

bool TfoMain::HandleCommandsMessage(const TMessage& message) {
    if (waysIn_->HandleMessage(message)) return true;
    if (message.Msg == NoticePostedMessage) {
        std::vector<std::pair<TNoticeSource, std::string>> posted;
        {
            std::lock_guard<std::mutex> guard(postedNoticeLock_);
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
        // The write after them is logged as coming from the first batch's way in.
        TWayScope way(*this, LogWayOf(batches.front()->From), RoundSenders(batches));
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
        // A port that a change replaced closes once its clients have their replies; the
        // command line's come once the port it changed is in force.
        answer.Ahead(TWayIn::Port);
        waysIn_->FinishPortChanges();
        answer.Now();
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
        case TCommandName::CommandPort: return waysIn_->SetCommandPort(IntToStr(static_cast<int>(command.Value)));
        case TCommandName::RadioTextFile: return waysIn_->SetRadioTextFile(command.Text);
        case TCommandName::SerialPort: return waysIn_->SetSerialPort(command.Text);
        case TCommandName::CommandPortAllow: return waysIn_->SetCommandPortAllow(command.Text);
        case TCommandName::CharacterSet:
            return SetMemoryCharacterSet(static_cast<TMemoryCharacterSet>(command.Value), write);
        case TCommandName::RadioTextFormat: return waysIn_->SetRadioTextFormat(command.Text);
        case TCommandName::RadioTextSkip: return waysIn_->SetRadioTextSkip(command.Text);
        case TCommandName::RadioTextIdle:
            return waysIn_->SetRadioTextIdle(IntToStr(static_cast<int>(command.Value)) + "," + command.Text);
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
    waysIn_->AddToStatus(status);
    status.CharacterSet = memoryCharacters_;
    status.Wear = WearStatus();
    status.CardOpen = CardOnAir();
    status.CardFailure = CardFailure();
    return status;
}
