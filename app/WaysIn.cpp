// The ways in: opened at the restore's start and stopped at the close, the command
// port with its allow-list, the pipe of later starts and this start's own commands.
#include "WaysIn.h"

#include "CommandLine.h"
#include "CommandPipe.h"
#include "CommandQueue.h"
#include "NowPlayingFile.h"
#include "SerialLine.h"
#include "SettingsPage.h"
#include "SettingsStore.h"
#include "SysUtils.h"
#include "Timer.h"

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::ReadSettingOrEmpty;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

using namespace WaysInSettings;
constexpr char ClosedPortText[] = "0";
constexpr int LastPort = 65535;
constexpr char UnknownFailure[] = "an unknown failure";

}  // namespace

TWaysIn::TWaysIn(TWaysInOwner& owner, TCommandQueue& queue) : owner_(owner), queue_(queue) {}

TWaysIn::~TWaysIn() { Stop(); }

std::string TWaysIn::Replying(const std::function<std::string()>& set) {
    try {
        return set();
    } catch (const std::exception& error) {
        return RefusedReply(error.what());
    } catch (...) {
        return RefusedReply(UnknownFailure);
    }
}

TParsedLine TWaysIn::Checked(const char* name, const std::string& text) {
    return ParseCommand(std::string(name) + "=" + text);
}

void TWaysIn::LogEvent(const std::string& what) { owner_.WriteLog(owner_.Way(), what); }

void TWaysIn::QueueStartCommands(const std::vector<std::string>& arguments,
                                 std::function<void(const std::string&)> output, std::function<void()> written) {
    if (arguments.empty()) return;
    startCommands_ = std::make_unique<TStartCommands>(queue_, arguments, std::move(output), std::move(written));
}

std::vector<std::string> TWaysIn::Open() {
    // Every unit a command acts on exists before the first command is applied.
    StartNowPlayingFile();
    RestoreUecpAddresses();
    OpenCommandPortSetting();
    StartSerialLine();
    std::vector<std::string> failures;
    OpenCommandPipe(failures);
    return failures;
}

void TWaysIn::Stop() {
    idleTimer_.reset();
    serialLine_.reset();
    nowPlaying_.reset();
    startCommands_.reset();
    commandPipe_.reset();
    retiringPort_.reset();
    commandPort_.reset();
}

bool TWaysIn::HandleMessage(const TMessage& message) {
    return HandleNowPlayingMessage(message) || HandleUecpMessage(message);
}

void TWaysIn::FinishPortChanges() {
    retiringPort_.reset();
    if (!reopenFrom_) return;
    const TAddressAllowList before = *reopenFrom_;
    reopenFrom_.reset();
    const uint16_t port = CommandPortNumber();
    if (port == 0) return;
    // The old port closes first: the new one binds the same number.
    commandPort_.reset();
    std::string failure;
    try {
        commandPort_ = OpenCommandPort(port);
        owner_.ShowNotice(TNoticeSource::Port, std::string());
        return;
    } catch (const std::exception& error) {
        failure = error.what();
    }
    // The station keeps the port it had rather than none.
    commandPortAllow_ = before;
    try {
        WriteSetting(CommandPortAllowSetting, SettingsSubKey, before.Text());
        commandPort_ = OpenCommandPort(port);
        failure += " The port serves the addresses it served before.";
    } catch (const std::exception&) {
        failure += " The program runs without a command port.";
    }
    LogEvent(TransportFailing(TTransport::CommandPort, IntToStr(port), failure));
    owner_.ShowNotice(TNoticeSource::Port, failure);
}

uint16_t TWaysIn::CommandPortNumber() const { return commandPort_ ? commandPort_->Port() : 0; }

void TWaysIn::AddToStatus(TStatus& status) const {
    status.RadioTextFile = RadioTextFile();
    status.CommandPort = CommandPortNumber();
    status.CommandPortAllow = commandPortAllow_.Text();
    if (!rtRules_) return;
    const TRtTextSettings rules = rtRules_->Settings();
    status.RadioTextFormat = rules.Format;
    status.RadioTextSkip = rules.Skip;
    status.RadioTextIdleMinutes = rules.IdleMinutes;
    status.RadioTextIdle = rules.IdleText;
}

void TWaysIn::AddStoredSettings(TSettingsValues& values) const {
    const std::string port = ReadSettingOrEmpty(CommandPortSetting);
    values.CommandPort = port.empty() ? ClosedPortText : port;
    values.CommandPortAllow = ReadSettingOrEmpty(CommandPortAllowSetting);
    values.SerialPort = ReadSettingOrEmpty(SerialPortSetting);
    values.NowPlayingFile = ReadSettingOrEmpty(RtFileSetting);
    values.RadioTextFormat = ReadSettingOrEmpty(FormatSetting);
    values.RadioTextSkip = ReadSettingOrEmpty(SkipSetting);
    values.RadioTextIdleText = ReadSettingOrEmpty(IdleTextSetting);
    values.RadioTextIdleMinutes = ReadSettingOrEmpty(IdleMinutesSetting);
    values.UecpSites = ReadSettingOrEmpty(SitesSetting);
    values.UecpEncoders = ReadSettingOrEmpty(EncodersSetting);
}

void TWaysIn::OpenCommandPortSetting() {
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
        owner_.ShowNotice(TNoticeSource::Port, failure);
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
        owner_.ShowNotice(TNoticeSource::Port, portFailure);
    }
}

void TWaysIn::OpenCommandPipe(std::vector<std::string>& failures) {
    if (commandPipeName_.empty()) return;
    auto pipe = std::make_unique<TCommandPipe>(queue_);
    try {
        pipe->Open(commandPipeName_);
        commandPipe_ = std::move(pipe);
    } catch (const std::exception& error) {
        failures.push_back(std::string(error.what()) + "\nLater starts cannot hand their commands to this one.");
    }
}

TCommandPort::TRefusalHandler TWaysIn::PortRefusalHandler() {
    const HWND window = owner_.MessageWindow();
    return [this, window](TCommandPort::TRefusal refusal, const std::string& notice) {
        // Once per start and kind: a page or a poller that keeps trying must not keep the notice area busy.
        const unsigned kind = 1u << static_cast<unsigned>(refusal);
        if (portRefusalsNoted_.fetch_or(kind) & kind) return;
        owner_.WriteLog(TLogWay::Port, notice);
        owner_.PostNotice(window, TNoticeSource::Port, notice);
    };
}

std::unique_ptr<TCommandPort> TWaysIn::OpenCommandPort(uint16_t port) {
    auto opened = std::make_unique<TCommandPort>(queue_, PortRefusalHandler(), UecpOwner());
    opened->Open(port, commandPortAllow_, AddressRefusalHandler(port));
    return opened;
}

std::function<void(uint32_t)> TWaysIn::AddressRefusalHandler(uint16_t port) {
    const HWND window = owner_.MessageWindow();
    return [this, window, port](uint32_t address) {
        std::optional<TRefusalTally::TReport> report;
        {
            std::lock_guard<std::mutex> guard(refusalLock_);
            report = refusalTally_.Refused(address, TRefusalTally::TClock::now());
        }
        if (!report) return;
        const std::string text = AddressRefused(AddressText(report->Address), report->Count, port);
        owner_.WriteLog(TLogWay::Port, text);
        if (report->First) owner_.PostNotice(window, TNoticeSource::Port, text);
    };
}

std::string TWaysIn::SetCommandPortAllow(const std::string& text) {
    const TParsedLine parsed = Checked("COMMANDPORTALLOW", text);
    if (!parsed.Command) return parsed.Reply;
    return Replying([&] { return ChangeCommandPortAllow(parsed.Command->Text); });
}

std::string TWaysIn::ChangeCommandPortAllow(const std::string& text) {
    const TAddressAllowList allowed = TAddressAllowList::Parse(text);
    WriteSetting(CommandPortAllowSetting, SettingsSubKey, allowed.Text());
    const std::string from = commandPortAllow_.Text();
    if (commandPort_ && !reopenFrom_) reopenFrom_ = commandPortAllow_;
    commandPortAllow_ = allowed;
    LogEvent(CommandPortAllowChanged(from, allowed.Text()));
    return DoneReply();
}

std::string TWaysIn::SetCommandPort(const std::string& text) {
    const TParsedLine parsed = Checked("COMMANDPORT", text);
    if (!parsed.Command) return parsed.Reply;
    return Replying([&] { return MoveCommandPort(static_cast<uint16_t>(parsed.Command->Value)); });
}

std::string TWaysIn::MoveCommandPort(uint16_t port) {
    std::unique_ptr<TCommandPort> next;
    if (port != 0 && port != CommandPortNumber()) {
        // Moved back before the replaced port closed: that port serves on.
        if (retiringPort_ && retiringPort_->Port() == port) {
            next = std::move(retiringPort_);
        } else {
            try {
                next = OpenCommandPort(port);
            } catch (const std::exception& error) {
                LogEvent(TransportFailing(TTransport::CommandPort, IntToStr(port), error.what()));
                throw;
            }
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
        owner_.ShowNotice(TNoticeSource::Port, std::string());
    }
    return DoneReply();
}
