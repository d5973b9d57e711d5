// The now-playing file among the ways in: the setting "RtFile", each new text of the
// file shaped by the text rules ("RtFormat", "RtSkip", "RtIdleText", "RtIdleMinutes")
// and handed to the queue as an RT command, the timer that puts the idle text on air
// once the file has been still long enough, and the file's first failure shown in
// the notice area until the file reads again.
#include "WaysIn.h"

#include "CodePage.h"
#include "CommandQueue.h"
#include "NowPlayingFile.h"
#include "PostedMessage.h"
#include "SettingsStore.h"
#include "SysUtils.h"
#include "Timer.h"

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::ReadSettingOrEmpty;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

// Posted to the window when the file's notice changes.
constexpr unsigned NowPlayingNoticeMessage = Msg::User + 2;
using namespace WaysInSettings;
constexpr char RadioTextCommand[] = "RT=";
constexpr char NotSetUp[] = "the now-playing file is not set up yet";
// How often the file's stillness is looked at: the idle text comes at most this late.
constexpr unsigned IdleCheckMilliseconds = 5000;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

void TWaysIn::StartNowPlayingFile() {
    const HWND window = owner_.MessageWindow();
    RestoreRadioTextRules();
    TRtTextRules* rules = rtRules_.get();
    // Both run on the file's worker: they only queue and post, never wait for the window's thread.
    nowPlaying_ = std::make_unique<TNowPlayingFile>(
        [this, window, rules](const std::string& text) {
            PostRadioTextDecision(rules->Line(text, std::chrono::steady_clock::now()));
            PostFileNotice(window, std::string());
        },
        [this, window](const std::string& message) { PostFileNotice(window, message); });
    const std::string stored = ReadSetting(RtFileSetting);
    if (stored == SettingsStore::AbsentText) return;
    // A stored path is held to what RTFILE accepts: a value put in by hand names no device either.
    const TParsedLine parsed = Checked("RTFILE", stored);
    if (!parsed.Command) {
        owner_.ShowNotice(TNoticeSource::NowPlayingFile, "The setting RtFile holds \"" + stored +
                                                             "\", which is not followed: " + parsed.Reply.substr(2));
        return;
    }
    nowPlaying_->SetPath(parsed.Command->Text);
    LogEvent(TransportOpened(TTransport::NowPlayingFile, parsed.Command->Text));
}

void TWaysIn::PostRadioTextDecision(const TRtDecision& decision) {
    if (!decision.Rule.empty()) owner_.WriteLog(TLogWay::File, decision.Rule);
    if (!decision.Text) return;
    const TParsedLine parsed = ParseCommand(RadioTextCommand + *decision.Text);
    if (parsed.Command) queue_.Post({*parsed.Command}, TWayIn::NowPlayingFile);
}

void TWaysIn::PostFileNotice(HWND window, const std::string& notice) {
    {
        std::lock_guard<std::mutex> guard(fileNoticeLock_);
        // A text read after no failure changes nothing in the notice area.
        if (notice.empty() && !fileFailing_) return;
        fileFailing_ = !notice.empty();
        fileNotice_ = notice;
    }
    PostToWindow(window, NowPlayingNoticeMessage);
}

bool TWaysIn::HandleNowPlayingMessage(const TMessage& message) {
    if (message.Msg != NowPlayingNoticeMessage) return false;
    std::optional<std::string> notice;
    {
        std::lock_guard<std::mutex> guard(fileNoticeLock_);
        notice.swap(fileNotice_);
    }
    if (notice && !notice->empty()) {
        TWayScope way(owner_, TLogWay::File);
        LogEvent(TransportFailing(TTransport::NowPlayingFile, RadioTextFile(), *notice));
    }
    if (notice) owner_.ShowNotice(TNoticeSource::NowPlayingFile, *notice);
    return true;
}

std::string TWaysIn::SetRadioTextFile(const std::string& text) {
    const TParsedLine parsed = Checked("RTFILE", text);
    if (!parsed.Command) return parsed.Reply;
    return Replying([&] { return ChangeRadioTextFile(parsed.Command->Text); });
}

std::string TWaysIn::ChangeRadioTextFile(const std::string& path) {
    if (!nowPlaying_) return RefusedReply(NotSetUp);
    try {
        WriteSetting(RtFileSetting, SettingsSubKey, path);
    } catch (const std::exception& error) {
        LogEvent(TransportFailing(TTransport::NowPlayingFile, path, error.what()));
        throw;
    }
    {
        std::lock_guard<std::mutex> guard(fileNoticeLock_);
        fileFailing_ = false;
        fileNotice_.reset();
    }
    owner_.ShowNotice(TNoticeSource::NowPlayingFile, std::string());
    const std::string previous = nowPlaying_->Path();
    nowPlaying_->SetPath(path);
    LogEvent(TransportChanged(TTransport::NowPlayingFile, previous, path));
    return DoneReply();
}

std::string TWaysIn::RadioTextFile() const { return nowPlaying_ ? nowPlaying_->Path() : std::string(); }

void TWaysIn::RestoreRadioTextRules() {
    rtRules_ = std::make_unique<TRtTextRules>(TCodePageConversion{SystemToUnicode, UnicodeToSystem});
    TRtTextSettings settings;
    settings.Format = ReadSettingOrEmpty(FormatSetting);
    if (const std::optional<std::string> fault = RtFormatFault(settings.Format)) {
        owner_.ShowNotice(TNoticeSource::NowPlayingFile,
                          "The setting RtFormat holds \"" + settings.Format + "\", which is not used: " + *fault);
        settings.Format.clear();
    }
    settings.Skip = ReadSettingOrEmpty(SkipSetting);
    settings.IdleText = ReadSettingOrEmpty(IdleTextSetting);
    const std::string minutes = ReadSettingOrEmpty(IdleMinutesSetting);
    const int number = minutes.empty() ? 0 : StrToIntDef(minutes, -1);
    if (number < 0 || number > static_cast<int>(RtIdleMinutesLast))
        owner_.ShowNotice(TNoticeSource::NowPlayingFile, "The setting RtIdleMinutes holds \"" + minutes +
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

void TWaysIn::ChangeRadioTextRules(const TRtTextSettings& settings, const std::string& logged) {
    rtRules_->Set(settings, std::chrono::steady_clock::now());
    LogEvent(logged);
}

std::string TWaysIn::SetRadioTextFormat(const std::string& text) {
    return SetRadioTextRule("RTFORMAT", FormatSetting, &TRtTextSettings::Format, text);
}

std::string TWaysIn::SetRadioTextSkip(const std::string& text) {
    return SetRadioTextRule("RTSKIP", SkipSetting, &TRtTextSettings::Skip, text);
}

std::string TWaysIn::SetRadioTextRule(const char* command, const char* setting, std::string TRtTextSettings::*rule,
                                      const std::string& text) {
    const TParsedLine parsed = Checked(command, text);
    if (!parsed.Command) return parsed.Reply;
    if (!rtRules_) return RefusedReply(NotSetUp);
    const std::string& value = parsed.Command->Text;
    return Replying([&] {
        WriteSetting(setting, SettingsSubKey, value);
        TRtTextSettings settings = rtRules_->Settings();
        const std::string previous = settings.*rule;
        settings.*rule = value;
        ChangeRadioTextRules(settings, std::string(setting) + " changed from " + Quoted(previous) + " to " + Quoted(value));
        return DoneReply();
    });
}

std::string TWaysIn::SetRadioTextIdle(const std::string& text) {
    const TParsedLine parsed = Checked("RTIDLE", text);
    if (!parsed.Command) return parsed.Reply;
    if (!rtRules_) return RefusedReply(NotSetUp);
    const unsigned minutes = parsed.Command->Value;
    const std::string& idleText = parsed.Command->Text;
    return Replying([&] {
        WriteSetting(IdleMinutesSetting, SettingsSubKey, IntToStr(static_cast<int>(minutes)));
        WriteSetting(IdleTextSetting, SettingsSubKey, idleText);
        TRtTextSettings settings = rtRules_->Settings();
        settings.IdleMinutes = minutes;
        settings.IdleText = idleText;
        ChangeRadioTextRules(settings, "Radiotext idle after " + IntToStr(static_cast<int>(minutes)) +
                                           " minutes as " + Quoted(idleText));
        return DoneReply();
    });
}
