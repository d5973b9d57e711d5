// The RDS memory's wear in the main window: every write counted, the counts kept in
// the setting "RdsWrites", the day's line in the log at midnight, and the notice when
// the memory wears out within 3 years.
#include "unMain.h"

#include "SettingsStore.h"
#include "SysUtils.h"

#include <windows.h>

#include <cstdio>

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char WritesSetting[] = "RdsWrites";
constexpr char EnduranceSetting[] = "RdsMemoryEndurance";
// A power cut loses at most this much of the counts.
constexpr int64_t SaveEverySeconds = 600;
constexpr unsigned CheckMilliseconds = 60000;
constexpr double WarningYears = 3.0;
constexpr uint16_t RadioTextFirstAddress = 0x0100;
constexpr uint16_t RadioTextLastAddress = 0x021F;
constexpr size_t YearsTextSize = 32;
// The file time counts 100 ns steps from 1601; the counts' seconds are from 1970.
constexpr uint64_t FileTimeStepsPerSecond = 10000000;
constexpr int64_t SecondsFrom1601To1970 = 11644473600;
constexpr int FileTimeHighShift = 32;

std::string Years(const std::optional<double>& years) {
    if (!years) return "no";
    char text[YearsTextSize];
    std::snprintf(text, sizeof text, "%.1f", *years);
    return text;
}

// 8640 as "8,640".
std::string Grouped(uint64_t number) {
    constexpr size_t GroupDigits = 3;
    std::string digits = std::to_string(number);
    for (size_t at = digits.size(); at > GroupDigits; at -= GroupDigits) digits.insert(at - GroupDigits, ",");
    return digits;
}

}  // namespace

int64_t TfoMain::WearNow() const {
    const TLogTime now = LogPlace.Clock();
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(now.Year);
    time.wMonth = static_cast<WORD>(now.Month);
    time.wDay = static_cast<WORD>(now.Day);
    time.wHour = static_cast<WORD>(now.Hour);
    time.wMinute = static_cast<WORD>(now.Minute);
    time.wSecond = static_cast<WORD>(now.Second);
    FILETIME file{};
    if (!SystemTimeToFileTime(&time, &file)) return 0;
    const uint64_t steps = (static_cast<uint64_t>(file.dwHighDateTime) << FileTimeHighShift) | file.dwLowDateTime;
    return static_cast<int64_t>(steps / FileTimeStepsPerSecond) - SecondsFrom1601To1970;
}

void TfoMain::RestoreRdsWear() {
    const int64_t now = WearNow();
    rdsWear_ = TRdsWear(now);
    const std::string stored = ReadSetting(WritesSetting);
    if (stored != SettingsStore::AbsentText) {
        try {
            rdsWear_ = TRdsWear::FromText(stored);
        } catch (const std::exception& error) {
            ShowNotice(TNoticeSource::Wear, "The setting RdsWrites is not read (" + std::string(error.what()) +
                                                "): the memory's writes are counted from now.");
        }
    }
    const std::string endurance = ReadSetting(EnduranceSetting);
    const int number = endurance == SettingsStore::AbsentText ? 0 : StrToIntDef(endurance, -1);
    if (number > 0)
        rdsEndurance_ = static_cast<uint64_t>(number);
    else if (endurance != SettingsStore::AbsentText)
        ShowNotice(TNoticeSource::Wear, "The setting RdsMemoryEndurance holds \"" + endurance +
                                            "\", which is no number of writes: 1000000 is used.");
    wearSavedAt_ = now;
    wearDay_ = now / SecondsPerDay;
    wearRestored_ = true;
    writtenImage_.OnWritten = [this](uint16_t address) {
        rdsWear_.Written(address, WearNow());
        wearDirty_ = true;
        if (address >= RadioTextFirstAddress && address <= RadioTextLastAddress) radioTextWritten_ = true;
    };
    wearTimer_ = std::make_unique<TTimer>(nullptr);
    wearTimer_->SetInterval(CheckMilliseconds);
    wearTimer_->SetOnTimer([this](TObject*) { CheckRdsWear(); });
}

void TfoMain::SaveRdsWear(bool always) {
    if (!wearRestored_ || !wearDirty_) return;
    const int64_t now = WearNow();
    if (!always && now - wearSavedAt_ < SaveEverySeconds) return;
    try {
        WriteSetting(WritesSetting, SettingsSubKey, rdsWear_.Text());
    } catch (const std::exception& error) {
        LogEvent("RDS memory write counts not stored: " + std::string(error.what()));
    }
    wearSavedAt_ = now;
    wearDirty_ = false;
}

void TfoMain::CheckRdsWear() {
    if (!wearRestored_) return;
    SaveRdsWear(false);
    // The day's line and the notice are the program's own, whichever way in wrote last.
    TWayScope way(*this, TLogWay::Window);
    const int64_t now = WearNow();
    const int64_t today = now / SecondsPerDay;
    if (today != wearDay_) {
        // The day that ended, by its last second.
        const int64_t ended = today * SecondsPerDay - 1;
        const TRdsWear::TByte most = rdsWear_.Most();
        LogEvent("RDS memory: " + std::to_string(rdsWear_.WritesOnDay(ended)) + " bytes written yesterday; " +
                 "the most-written address " + std::to_string(most.Address) + " has " + std::to_string(most.Writes) +
                 " writes; " + Years(rdsWear_.YearsLeft(rdsEndurance_, now)) + " years foretold");
        wearDay_ = today;
        radioTextChanges_ = 0;
    }
    // A round that wrote radiotext bytes is one change of today's.
    if (radioTextWritten_) ++radioTextChanges_;
    radioTextWritten_ = false;
    const std::optional<double> years = rdsWear_.YearsLeft(rdsEndurance_, now);
    if (!years || *years >= WarningYears || wearNoticeDay_ == today) return;
    wearNoticeDay_ = today;
    const std::string notice = "The card's RDS memory wears out in " + Years(years) + " years at this pace (radiotext changed " +
                               Grouped(radioTextChanges_) + " times today).";
    LogEvent(notice);
    ShowNotice(TNoticeSource::Wear, notice);
}

std::string TfoMain::ResetRdsWear() {
    if (!wearRestored_) return RefusedReply("the write counts are not set up yet");
    const TRdsWear::TByte most = rdsWear_.Most();
    rdsWear_ = TRdsWear(WearNow());
    radioTextChanges_ = 0;
    wearDirty_ = true;
    SaveRdsWear(true);
    ShowNotice(TNoticeSource::Wear, std::string());
    LogEvent("RDS memory write counts set to zero (most were " + std::to_string(most.Writes) + " at address " +
             std::to_string(most.Address) + ")");
    return DoneReply();
}

std::string TfoMain::WearStatus() const {
    return wearRestored_ ? rdsWear_.Status(rdsEndurance_, WearNow()) : std::string();
}
