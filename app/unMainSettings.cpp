// The settings page in the main window: the system menu's and the tray's ways to
// it, and the setters it applies through, which run the command line's own handlers.
#include "unMain.h"

#include "CommandLanguage.h"
#include "Menus.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "StationLogFiles.h"
#include "StationLogLines.h"
#include "UecpMessages.h"
#include "VrTrayIcon.h"

namespace {

using SettingsStore::ReadSettingOrEmpty;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char SettingsItem[] = "Settings...";
constexpr char ClosedPortText[] = "0";
constexpr char SitesSetting[] = "UecpSites";
constexpr char EncodersSetting[] = "UecpEncoders";
constexpr char LogDaysSetting[] = "LogDays";

}  // namespace

void TfoMain::BindSettingsMenus() {
    AddSystemMenuItem(SettingsItem, [this](TObject*) { OpenSettingsPage(); });
    trayMenu_ = new TPopupMenu(this);
    trayMenu_->Add("Show", [this](TObject*) { ShowFromTray(); });
    trayMenu_->Add(SettingsItem, [this](TObject*) { OpenSettingsPage(); });
    trayMenu_->Add("Open log folder",
                   [this](TObject*) { ShellExecute(Handle(), "open", LogFolder(), "", "", ShowCommand::Normal); });
    trayMenu_->Add("Close", [this](TObject*) { Close(); });
    VrTrayIcon2->SetPopupMenu(trayMenu_);
}

void TfoMain::OpenSettingsPage() {
    if (!settingsPage_) settingsPage_ = new TfoSettings(this, *this);
    settingsPage_->Present();
}

std::string TfoMain::ApplyFromWindow(const std::string& name, const std::string& text) {
    const TParsedLine parsed = ParseCommand(name + "=" + text);
    if (!parsed.Command) return parsed.Reply;
    TWayScope way(*this, TLogWay::Window);
    TRdsWriteDue write;
    std::string reply = ApplyCommand(*parsed.Command, write);
    if (write.Changes || write.WholeImage) {
        const std::string failure = WriteRdsReporting(write.WholeImage);
        if (!failure.empty() && IsDoneReply(reply)) reply = RefusedReply("not on air: " + failure);
    }
    return reply;
}

TSettingsValues TfoMain::StoredSettings() {
    TSettingsValues values;
    const std::string port = ReadSettingOrEmpty("CommandPort");
    values.CommandPort = port.empty() ? ClosedPortText : port;
    values.CommandPortAllow = ReadSettingOrEmpty("CommandPortAllow");
    values.SerialPort = ReadSettingOrEmpty("SerialPort");
    values.NowPlayingFile = ReadSettingOrEmpty("RtFile");
    values.RadioTextFormat = ReadSettingOrEmpty("RtFormat");
    values.RadioTextSkip = ReadSettingOrEmpty("RtSkip");
    values.RadioTextIdleText = ReadSettingOrEmpty("RtIdleText");
    values.RadioTextIdleMinutes = ReadSettingOrEmpty("RtIdleMinutes");
    values.CharacterSet = MemoryCharacterSetName(memoryCharacters_);
    values.UecpSites = ReadSettingOrEmpty(SitesSetting);
    values.UecpEncoders = ReadSettingOrEmpty(EncodersSetting);
    values.LogDays = ReadSettingOrEmpty(LogDaysSetting);
    return values;
}

std::string TfoMain::ChangeCommandPort(const std::string& text) { return ApplyFromWindow("COMMANDPORT", text); }
std::string TfoMain::ChangeCommandPortAllow(const std::string& text) { return ApplyFromWindow("COMMANDPORTALLOW", text); }
std::string TfoMain::ChangeSerialPort(const std::string& text) { return ApplyFromWindow("SERIALPORT", text); }
std::string TfoMain::ChangeNowPlayingFile(const std::string& text) { return ApplyFromWindow("RTFILE", text); }
std::string TfoMain::ChangeRadioTextFormat(const std::string& text) { return ApplyFromWindow("RTFORMAT", text); }
std::string TfoMain::ChangeRadioTextSkip(const std::string& text) { return ApplyFromWindow("RTSKIP", text); }
std::string TfoMain::ChangeRadioTextIdle(const std::string& minutes, const std::string& text) {
    return ApplyFromWindow("RTIDLE", minutes + "," + text);
}
std::string TfoMain::ChangeCharacterSet(const std::string& text) { return ApplyFromWindow("CHARSET", text); }
std::string TfoMain::ChangeUecpSites(const std::string& text) { return SetUecpList(SitesSetting, text, true); }
std::string TfoMain::ChangeUecpEncoders(const std::string& text) { return SetUecpList(EncodersSetting, text, false); }

std::string TfoMain::SetUecpList(const char* setting, const std::string& text, bool sites) {
    TUecpAddressLists lists;
    {
        std::lock_guard<std::mutex> guard(uecpLock_);
        lists = uecpAddresses_;
    }
    if (sites) {
        const auto parsed = ParseUecpSites(text);
        if (!parsed) return RefusedReply("the sites must be addresses 1..1023, separated by commas");
        lists.Sites = *parsed;
    } else {
        const auto parsed = ParseUecpEncoders(text);
        if (!parsed) return RefusedReply("the encoders must be addresses 1..63, separated by commas");
        lists.Encoders = *parsed;
    }
    try {
        WriteSetting(setting, SettingsSubKey, sites ? FormatUecpSites(lists.Sites) : FormatUecpEncoders(lists.Encoders));
    } catch (const std::exception& error) {
        return RefusedReply(error.what());
    }
    {
        std::lock_guard<std::mutex> guard(uecpLock_);
        uecpAddresses_ = lists;
    }
    TWayScope way(*this, TLogWay::Window);
    LogEvent(UecpAddressesSet(FormatUecpSites(lists.Sites), FormatUecpEncoders(lists.Encoders)));
    ShowNotice(TNoticeSource::Uecp, std::string());
    return DoneReply();
}

std::string TfoMain::ChangeLogDays(const std::string& text) {
    unsigned days = 0;
    try {
        days = LogDaysFromSetting(text);
        WriteSetting(LogDaysSetting, SettingsSubKey, text);
    } catch (const std::exception& error) {
        return RefusedReply(error.what());
    }
    if (log_) log_->SetKeepDays(days);
    TWayScope way(*this, TLogWay::Window);
    LogEvent(LogDaysSet(days));
    return DoneReply();
}

std::string TfoMain::LogFolder() { return LogPlace.Folder.empty() ? MachineLogFolder() : LogPlace.Folder; }
