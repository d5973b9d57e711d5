// The settings page in the main window: the system menu's and the tray's ways to
// it, and the setters it applies through: those of the ways in, the character set's
// handler that the command line runs, and the log's days.
#include "unMain.h"

#include "CommandLanguage.h"
#include "Menus.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "StationLogFiles.h"
#include "StationLogLines.h"
#include "VrTrayIcon.h"

namespace {

using SettingsStore::ReadSettingOrEmpty;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char SettingsItem[] = "Settings...";
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
    waysIn_->AddStoredSettings(values);
    values.CharacterSet = MemoryCharacterSetName(memoryCharacters_);
    // Absent, the log keeps its default days: the page shows how many.
    const std::string days = ReadSettingOrEmpty(LogDaysSetting);
    values.LogDays = days.empty() ? std::to_string(DefaultLogDays) : days;
    return values;
}

std::string TfoMain::FromWindow(std::string (TWaysIn::*setter)(const std::string&), const std::string& text) {
    TWayScope way(*this, TLogWay::Window);
    const std::string reply = ((*waysIn_).*setter)(text);
    // No round's replies wait on the page's changes.
    waysIn_->FinishPortChanges();
    return reply;
}

std::string TfoMain::ChangeCommandPort(const std::string& text) { return FromWindow(&TWaysIn::SetCommandPort, text); }
std::string TfoMain::ChangeCommandPortAllow(const std::string& text) {
    return FromWindow(&TWaysIn::SetCommandPortAllow, text);
}
std::string TfoMain::ChangeSerialPort(const std::string& text) { return FromWindow(&TWaysIn::SetSerialPort, text); }
std::string TfoMain::ChangeNowPlayingFile(const std::string& text) {
    return FromWindow(&TWaysIn::SetRadioTextFile, text);
}
std::string TfoMain::ChangeRadioTextFormat(const std::string& text) {
    return FromWindow(&TWaysIn::SetRadioTextFormat, text);
}
std::string TfoMain::ChangeRadioTextSkip(const std::string& text) { return FromWindow(&TWaysIn::SetRadioTextSkip, text); }
std::string TfoMain::ChangeRadioTextIdle(const std::string& minutes, const std::string& text) {
    return FromWindow(&TWaysIn::SetRadioTextIdle, minutes + "," + text);
}
std::string TfoMain::ChangeCharacterSet(const std::string& text) { return ApplyFromWindow("CHARSET", text); }
std::string TfoMain::ChangeUecpSites(const std::string& text) { return FromWindow(&TWaysIn::SetUecpSites, text); }
std::string TfoMain::ChangeUecpEncoders(const std::string& text) { return FromWindow(&TWaysIn::SetUecpEncoders, text); }

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
