// The main window's station log: opened with the window, told what the handlers
// sent and from which way in, its problems shown in the notice area.
#include "unMain.h"

#include "PostedMessage.h"
#include "SettingsStore.h"
#include "StationLogFiles.h"
#include "SysUtils.h"

namespace {

constexpr unsigned LogNoticeMessage = Msg::User + 3;
constexpr char LogDaysSetting[] = "LogDays";
constexpr char LogFailurePrefix[] = "The station's log cannot be written: ";

}  // namespace

const char* const ProgramVersion = SONDEL_VERSION;

void TfoMain::OpenStationLog() {
    const HWND window = Handle();
    auto onProblem = [this, window](const std::string& message) { PostLogNotice(window, message); };
    try {
        unsigned keepDays = MaxLogDays;
        // A mistyped "LogDays" deletes nothing: the log keeps the longest it can.
        try {
            keepDays = LogDaysFromSetting(SettingsStore::ReadSetting(LogDaysSetting));
        } catch (const EConvertError&) {
        }
        const std::string folder = LogPlace.Folder.empty() ? MachineLogFolder() : LogPlace.Folder;
        log_ = std::make_unique<TStationLog>(folder, keepDays, onProblem, LogPlace.Clock);
    } catch (const std::exception& error) {
        ShowFileNotice(LogFailurePrefix + std::string(error.what()));
    }
}

void TfoMain::LogEvent(const std::string& what) {
    if (log_) log_->Write(logWay_, what);
}

void TfoMain::PostLogNotice(HWND window, const std::string& notice) {
    {
        std::lock_guard<std::mutex> guard(logNoticeLock_);
        logNotice_ = notice;
    }
    PostToWindow(window, LogNoticeMessage);
}

bool TfoMain::HandleLogMessage(const TMessage& message) {
    if (message.Msg != LogNoticeMessage) return false;
    std::optional<std::string> notice;
    {
        std::lock_guard<std::mutex> guard(logNoticeLock_);
        notice.swap(logNotice_);
    }
    if (notice) ShowFileNotice(LogFailurePrefix + *notice);
    return true;
}
