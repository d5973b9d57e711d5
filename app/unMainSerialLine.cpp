// The serial line in the main window: the setting "SerialPort" opens it at the start,
// SERIALPORT from the command line moves it, and its failures go to the notice area
// and the log, never into a box that stops the station.
#include "unMain.h"

#include "SerialLine.h"
#include "SettingsStore.h"
#include "StationLogLines.h"

#include <algorithm>

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char SerialPortSetting[] = "SerialPort";

}  // namespace

void TfoMain::StartSerialLine() {
    const std::string stored = ReadSetting(SerialPortSetting);
    if (stored == SettingsStore::AbsentText) return;
    std::string failure;
    try {
        SetSerialPortNow(stored);
    } catch (const ESerialLineError& error) {
        failure = "The setting SerialPort holds \"" + stored + "\", which is not opened: " + error.Message();
    }
    if (failure.empty()) return;
    TWayScope way(*this, TLogWay::Serial);
    LogEvent(TransportFailing(TTransport::SerialLine, stored, failure));
    ShowNotice(TNoticeSource::SerialLine, failure);
}

std::string TfoMain::SetSerialPort(const std::string& setting) {
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

void TfoMain::SetSerialPortNow(const std::string& setting) {
    const std::optional<TSerialSetting> parsed = ParseSerialSetting(setting);
    const std::string previous = serialSetting_;
    const std::string next = parsed ? parsed->Name() + ":" + std::to_string(parsed->Speed) : std::string();
    serialLine_.reset();
    serialSetting_.clear();
    {
        // What the closed line posted and the window has not shown yet is of a line gone.
        std::lock_guard<std::mutex> guard(fileNoticeLock_);
        postedNotices_.erase(std::remove_if(postedNotices_.begin(), postedNotices_.end(),
                                            [](const auto& posted) { return posted.first == TNoticeSource::SerialLine; }),
                             postedNotices_.end());
    }
    ShowNotice(TNoticeSource::SerialLine, std::string());
    if (parsed) {
        const HWND window = Handle();
        TSerialLine::TOwner owner;
        owner.Uecp = UecpOwner();
        owner.Report = [this, window, name = next](const std::string& text, bool failing) {
            if (log_) log_->Write(TLogWay::Serial, failing ? TransportFailing(TTransport::SerialLine, name, text) : text);
            PostNotice(window, TNoticeSource::SerialLine, failing ? text : std::string());
        };
        serialLine_ = std::make_unique<TSerialLine>(*commandQueue_, std::move(owner));
        serialLine_->Open(setting);
        serialSetting_ = next;
    }
    if (next != previous) LogEvent(TransportChanged(TTransport::SerialLine, previous, next));
}
