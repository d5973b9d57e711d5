// The main window's station log: opened with the window, told what the handlers
// sent and from which way in, its problems shown in the notice area.
#include "unMain.h"

#include "SettingsStore.h"
#include "StationLogFiles.h"
#include "SysUtils.h"

namespace {

constexpr char LogDaysSetting[] = "LogDays";
constexpr char LogFailurePrefix[] = "The station's log cannot be written: ";

}  // namespace

const char* const ProgramVersion = SONDEL_VERSION;

void TfoMain::OpenStationLog() {
    const HWND window = Handle();
    auto onProblem = [this, window](const std::string& message) {
        PostNotice(window, TNoticeSource::Log, LogFailurePrefix + message);
    };
    try {
        unsigned keepDays = MaxLogDays;
        // A mistyped "LogDays" deletes nothing: the log keeps the longest it can.
        try {
            keepDays = LogDaysFromSetting(SettingsStore::ReadSetting(LogDaysSetting));
        } catch (const EConvertError&) {
        }
        const std::string folder = LogPlace.Folder.empty() ? MachineLogFolder() : LogPlace.Folder;
        log_ = std::make_unique<TStationLog>(folder, keepDays, onProblem, LogPlace.Clock);
        SettingsStore::OnRefusedWrite([this](const std::string& name, const std::string& text, const std::string& message) {
            LogEvent(SettingNotStored(name, text, message));
        });
    } catch (const std::exception& error) {
        ShowNotice(TNoticeSource::Log, LogFailurePrefix + std::string(error.what()));
    }
}

void TfoMain::LogEvent(const std::string& what) {
    if (log_) log_->Write(logWay_, what, logSender_);
}

void TfoMain::WriteLog(TLogWay way, const std::string& what) {
    if (log_) log_->Write(way, what);
}
