// The now-playing file's text rules in the main window: the settings "RtFormat",
// "RtSkip", "RtIdleText" and "RtIdleMinutes", their setters, and the timer that puts
// the idle text on air once the file has been still long enough.
#include "unMain.h"

#include "CodePage.h"
#include "CommandQueue.h"
#include "SettingsStore.h"
#include "SysUtils.h"

namespace {

using SettingsStore::ReadSettingOrEmpty;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char FormatSetting[] = "RtFormat";
constexpr char SkipSetting[] = "RtSkip";
constexpr char IdleTextSetting[] = "RtIdleText";
constexpr char IdleMinutesSetting[] = "RtIdleMinutes";
// How often the file's stillness is looked at: the idle text comes at most this late.
constexpr unsigned IdleCheckMilliseconds = 5000;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

void TfoMain::RestoreRadioTextRules() {
    rtRules_ = std::make_unique<TRtTextRules>(TCodePageConversion{SystemToUnicode, UnicodeToSystem});
    TRtTextSettings settings;
    settings.Format = ReadSettingOrEmpty(FormatSetting);
    if (const std::optional<std::string> fault = RtFormatFault(settings.Format)) {
        ShowNotice(TNoticeSource::NowPlayingFile,
                   "The setting RtFormat holds \"" + settings.Format + "\", which is not used: " + *fault);
        settings.Format.clear();
    }
    settings.Skip = ReadSettingOrEmpty(SkipSetting);
    settings.IdleText = ReadSettingOrEmpty(IdleTextSetting);
    const std::string minutes = ReadSettingOrEmpty(IdleMinutesSetting);
    const int number = minutes.empty() ? 0 : StrToIntDef(minutes, -1);
    if (number < 0 || number > static_cast<int>(RtIdleMinutesLast))
        ShowNotice(TNoticeSource::NowPlayingFile, "The setting RtIdleMinutes holds \"" + minutes +
                                                      "\", which is not 0..1440: the radiotext never goes idle.");
    else
        settings.IdleMinutes = static_cast<unsigned>(number);
    rtRules_->Set(settings, std::chrono::steady_clock::now());

    idleTimer_ = std::make_unique<TTimer>(nullptr);
    idleTimer_->SetInterval(IdleCheckMilliseconds);
    TRtTextRules* rules = rtRules_.get();
    idleTimer_->SetOnTimer([this, rules](TObject*) {
        if (const std::optional<TRtDecision> idle = rules->Tick(std::chrono::steady_clock::now()))
            PostRadioTextDecision(*idle);
    });
}

void TfoMain::ChangeRadioTextRules(const TRtTextSettings& settings, const std::string& logged) {
    rtRules_->Set(settings, std::chrono::steady_clock::now());
    LogEvent(logged);
}

std::string TfoMain::SetRadioTextFormat(const std::string& format) {
    if (!rtRules_) return RefusedReply("the now-playing file is not set up yet");
    WriteSetting(FormatSetting, SettingsSubKey, format);
    TRtTextSettings settings = rtRules_->Settings();
    const std::string previous = settings.Format;
    settings.Format = format;
    ChangeRadioTextRules(settings, "RtFormat changed from " + Quoted(previous) + " to " + Quoted(format));
    return DoneReply();
}

std::string TfoMain::SetRadioTextSkip(const std::string& skip) {
    if (!rtRules_) return RefusedReply("the now-playing file is not set up yet");
    WriteSetting(SkipSetting, SettingsSubKey, skip);
    TRtTextSettings settings = rtRules_->Settings();
    const std::string previous = settings.Skip;
    settings.Skip = skip;
    ChangeRadioTextRules(settings, "RtSkip changed from " + Quoted(previous) + " to " + Quoted(skip));
    return DoneReply();
}

std::string TfoMain::SetRadioTextIdle(unsigned minutes, const std::string& text) {
    if (!rtRules_) return RefusedReply("the now-playing file is not set up yet");
    WriteSetting(IdleMinutesSetting, SettingsSubKey, IntToStr(static_cast<int>(minutes)));
    WriteSetting(IdleTextSetting, SettingsSubKey, text);
    TRtTextSettings settings = rtRules_->Settings();
    settings.IdleMinutes = minutes;
    settings.IdleText = text;
    ChangeRadioTextRules(settings, "Radiotext idle after " + IntToStr(static_cast<int>(minutes)) + " minutes as " +
                                       Quoted(text));
    return DoneReply();
}
