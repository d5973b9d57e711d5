// The serial line and UECP among the ways in: the setting "SerialPort" opens the line
// at the start and its setter moves it, its failures go to the notice area and the
// log, never into a box that stops the station; the site and encoder lists the port
// and the line answer to are kept in "UecpSites" and "UecpEncoders" and changed by frames.
#include "WaysIn.h"

#include "PostedMessage.h"
#include "Registry.h"
#include "SerialLine.h"
#include "SettingsStore.h"
#include "UecpExchange.h"

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

// Posted to the window when a frame changed the address lists.
constexpr unsigned UecpAddressesMessage = Msg::User + 4;
using namespace WaysInSettings;

std::string MalformedNotice(const char* setting, const std::string& stored, const char* range) {
    return std::string("The setting ") + setting + " holds \"" + stored + "\", which is not a list of addresses " +
           range + ": only address 0 is answered until a frame sets the list.";
}

}  // namespace

void TWaysIn::StartSerialLine() {
    const std::string stored = ReadSetting(SerialPortSetting);
    if (stored == SettingsStore::AbsentText) return;
    std::string failure;
    try {
        SetSerialPortNow(stored);
    } catch (const ESerialLineError& error) {
        failure = "The setting SerialPort holds \"" + stored + "\", which is not opened: " + error.Message();
    }
    if (failure.empty()) return;
    TWayScope way(owner_, TLogWay::Serial);
    LogEvent(TransportFailing(TTransport::SerialLine, stored, failure));
    owner_.ShowNotice(TNoticeSource::SerialLine, failure);
}

std::string TWaysIn::SetSerialPort(const std::string& text) {
    const TParsedLine parsed = Checked("SERIALPORT", text);
    if (!parsed.Command) return parsed.Reply;
    return Replying([&] { return ChangeSerialPort(parsed.Command->Text); });
}

std::string TWaysIn::ChangeSerialPort(const std::string& setting) {
    try {
        // Checked before it is stored: a malformed text leaves the line and the setting as they were.
        ParseSerialSetting(setting);
        WriteSetting(SerialPortSetting, SettingsSubKey, setting);
        SetSerialPortNow(setting);
    } catch (const std::exception& error) {
        LogEvent(TransportFailing(TTransport::SerialLine, setting, error.what()));
        throw;
    }
    return DoneReply();
}

void TWaysIn::SetSerialPortNow(const std::string& setting) {
    const std::optional<TSerialSetting> parsed = ParseSerialSetting(setting);
    const std::string previous = serialSetting_;
    const std::string next = parsed ? parsed->Name() + ":" + std::to_string(parsed->Speed) : std::string();
    serialLine_.reset();
    serialSetting_.clear();
    // What the closed line posted and the window has not shown yet is of a line gone.
    owner_.DropPostedNotices(TNoticeSource::SerialLine);
    owner_.ShowNotice(TNoticeSource::SerialLine, std::string());
    if (parsed) {
        const HWND window = owner_.MessageWindow();
        TSerialLine::TOwner owner;
        owner.Uecp = UecpOwner();
        owner.Report = [this, window, name = next](const std::string& text, bool failing) {
            owner_.WriteLog(TLogWay::Serial, failing ? TransportFailing(TTransport::SerialLine, name, text) : text);
            owner_.PostNotice(window, TNoticeSource::SerialLine, failing ? text : std::string());
        };
        serialLine_ = std::make_unique<TSerialLine>(queue_, std::move(owner));
        serialLine_->Open(setting);
        serialSetting_ = next;
    }
    if (next != previous) LogEvent(TransportChanged(TTransport::SerialLine, previous, next));
}

TUecpOwner TWaysIn::UecpOwner() {
    const HWND window = owner_.MessageWindow();
    TUecpOwner owner;
    owner.ChangeAddresses = [this, window](const TUecpOwner::TAddressChange& change) {
        bool changed = false;
        {
            std::lock_guard<std::mutex> guard(uecpLock_);
            TUecpAddressLists lists = uecpAddresses_;
            change(lists);
            changed = lists.Sites != uecpAddresses_.Sites || lists.Encoders != uecpAddresses_.Encoders;
            if (changed) {
                uecpAddresses_ = lists;
                uecpAddressesDue_ = true;
            }
        }
        if (changed) PostToWindow(window, UecpAddressesMessage);
    };
    return owner;
}

void TWaysIn::RestoreUecpAddresses() {
    TUecpAddressLists lists;
    std::vector<std::string> failures;
    const std::string sites = ReadSetting(SitesSetting);
    if (sites != SettingsStore::AbsentText) {
        if (const auto parsed = ParseUecpSites(sites))
            lists.Sites = *parsed;
        else
            failures.push_back(MalformedNotice(SitesSetting, sites, "1..1023"));
    }
    const std::string encoders = ReadSetting(EncodersSetting);
    if (encoders != SettingsStore::AbsentText) {
        if (const auto parsed = ParseUecpEncoders(encoders))
            lists.Encoders = *parsed;
        else
            failures.push_back(MalformedNotice(EncodersSetting, encoders, "1..63"));
    }
    {
        std::lock_guard<std::mutex> guard(uecpLock_);
        uecpAddresses_ = lists;
    }
    TWayScope way(owner_, TLogWay::Uecp);
    for (const std::string& failure : failures) {
        LogEvent(failure);
        owner_.ShowNotice(TNoticeSource::Uecp, failure);
    }
}

bool TWaysIn::HandleUecpMessage(const TMessage& message) {
    if (message.Msg != UecpAddressesMessage) return false;
    TUecpAddressLists lists;
    {
        std::lock_guard<std::mutex> guard(uecpLock_);
        if (!uecpAddressesDue_) return true;
        uecpAddressesDue_ = false;
        lists = uecpAddresses_;
    }
    const std::string sites = FormatUecpSites(lists.Sites);
    const std::string encoders = FormatUecpEncoders(lists.Encoders);
    TWayScope way(owner_, TLogWay::Uecp);
    LogEvent(UecpAddressesSet(sites, encoders));
    // A list that cannot be stored stays in force for this run (the log names the refusal).
    std::string notice;
    try {
        WriteSetting(SitesSetting, SettingsSubKey, sites);
        WriteSetting(EncodersSetting, SettingsSubKey, encoders);
    } catch (const ERegistryException& error) {
        notice = std::string("The UECP addresses a frame set cannot be stored: ") + error.what();
    }
    owner_.ShowNotice(TNoticeSource::Uecp, notice);
    return true;
}

std::string TWaysIn::SetUecpSites(const std::string& text) { return SetUecpList(SitesSetting, text, true); }
std::string TWaysIn::SetUecpEncoders(const std::string& text) { return SetUecpList(EncodersSetting, text, false); }

std::string TWaysIn::SetUecpList(const char* setting, const std::string& text, bool sites) {
    const auto parsedSites = sites ? ParseUecpSites(text) : std::nullopt;
    const auto parsedEncoders = sites ? std::nullopt : ParseUecpEncoders(text);
    if (sites && !parsedSites) return RefusedReply(UecpSitesRefusal);
    if (!sites && !parsedEncoders) return RefusedReply(UecpEncodersRefusal);
    try {
        WriteSetting(setting, SettingsSubKey, sites ? FormatUecpSites(*parsedSites) : FormatUecpEncoders(*parsedEncoders));
    } catch (const std::exception& error) {
        return RefusedReply(error.what());
    }
    TUecpAddressLists lists;
    {
        // Only this list changes: one a frame changed meanwhile stays as the frame left it.
        std::lock_guard<std::mutex> guard(uecpLock_);
        if (sites)
            uecpAddresses_.Sites = *parsedSites;
        else
            uecpAddresses_.Encoders = *parsedEncoders;
        lists = uecpAddresses_;
    }
    LogEvent(UecpAddressesSet(FormatUecpSites(lists.Sites), FormatUecpEncoders(lists.Encoders)));
    owner_.ShowNotice(TNoticeSource::Uecp, std::string());
    return DoneReply();
}
