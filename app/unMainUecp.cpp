// UECP in the main window: the site and encoder lists the port and the serial line
// answer to, kept in "UecpSites" and "UecpEncoders" and changed by frames.
#include "unMain.h"

#include "PostedMessage.h"
#include "Registry.h"
#include "SettingsStore.h"
#include "StationLogLines.h"
#include "UecpExchange.h"

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

// Posted to the main window when a frame changed the address lists.
constexpr unsigned UecpAddressesMessage = Msg::User + 4;
constexpr char SitesSetting[] = "UecpSites";
constexpr char EncodersSetting[] = "UecpEncoders";

std::string MalformedNotice(const char* setting, const std::string& stored, const char* range) {
    return std::string("The setting ") + setting + " holds \"" + stored + "\", which is not a list of addresses " +
           range + ": only address 0 is answered until a frame sets the list.";
}

}  // namespace

TUecpOwner TfoMain::UecpOwner() {
    const HWND window = Handle();
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

void TfoMain::RestoreUecpAddresses() {
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
    TWayScope way(*this, TLogWay::Uecp);
    for (const std::string& failure : failures) {
        LogEvent(failure);
        ShowNotice(TNoticeSource::Uecp, failure);
    }
}

bool TfoMain::HandleUecpMessage(const TMessage& message) {
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
    TWayScope way(*this, TLogWay::Uecp);
    LogEvent(UecpAddressesSet(sites, encoders));
    // A list that cannot be stored stays in force for this run (the log names the refusal).
    std::string notice;
    try {
        WriteSetting(SitesSetting, SettingsSubKey, sites);
        WriteSetting(EncodersSetting, SettingsSubKey, encoders);
    } catch (const ERegistryException& error) {
        notice = std::string("The UECP addresses a frame set cannot be stored: ") + error.what();
    }
    ShowNotice(TNoticeSource::Uecp, notice);
    return true;
}
