// The now-playing file in the main window: the setting "RtFile", each new text of
// the file shaped by the text rules and applied as an RT command through the queue,
// and the file's first failure shown in the notice area instead of the maker's
// notice until the file reads again.
#include "unMain.h"

#include "CommandQueue.h"
#include "NowPlayingFile.h"
#include "PostedMessage.h"
#include "SettingsStore.h"
#include "StationLogLines.h"
#include "VrScrollText.h"

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

// Posted to the main window when the file's notice changes.
constexpr unsigned NowPlayingNoticeMessage = Msg::User + 2;
constexpr char RtFileSetting[] = "RtFile";
constexpr char RadioTextCommand[] = "RT=";
constexpr char RadioTextFileCommand[] = "RTFILE=";

}  // namespace

void TfoMain::StartNowPlayingFile() {
    const HWND window = Handle();
    RestoreRadioTextRules();
    TRtTextRules* rules = rtRules_.get();
    // Both run on the file's worker: they only queue and post, never wait for this thread.
    nowPlaying_ = std::make_unique<TNowPlayingFile>(
        [this, window, rules](const std::string& text) {
            PostRadioTextDecision(rules->Line(text, std::chrono::steady_clock::now()));
            PostFileNotice(window, std::string());
        },
        [this, window](const std::string& message) { PostFileNotice(window, message); });
    const std::string stored = ReadSetting(RtFileSetting);
    if (stored == SettingsStore::AbsentText) return;
    // A stored path is held to what RTFILE accepts: a value put in by hand names no device either.
    const TParsedLine parsed = ParseCommand(RadioTextFileCommand + stored);
    if (!parsed.Command) {
        ShowFileNotice("The setting RtFile holds \"" + stored + "\", which is not followed: " + parsed.Reply.substr(2));
        return;
    }
    nowPlaying_->SetPath(parsed.Command->Text);
    LogEvent(TransportOpened(TTransport::NowPlayingFile, parsed.Command->Text));
}

void TfoMain::PostRadioTextDecision(const TRtDecision& decision) {
    if (!decision.Rule.empty() && log_) log_->Write(TLogWay::File, decision.Rule);
    if (!decision.Text) return;
    const TParsedLine parsed = ParseCommand(RadioTextCommand + *decision.Text);
    if (parsed.Command) commandQueue_->Post({*parsed.Command}, TWayIn::NowPlayingFile);
}

void TfoMain::PostFileNotice(HWND window, const std::string& notice) {
    {
        std::lock_guard<std::mutex> guard(fileNoticeLock_);
        // A text read after no failure changes nothing in the notice area.
        if (notice.empty() && !fileFailing_) return;
        fileFailing_ = !notice.empty();
        fileNotice_ = notice;
    }
    PostToWindow(window, NowPlayingNoticeMessage);
}

bool TfoMain::HandleNowPlayingMessage(const TMessage& message) {
    if (message.Msg != NowPlayingNoticeMessage) return false;
    std::optional<std::string> notice;
    {
        std::lock_guard<std::mutex> guard(fileNoticeLock_);
        notice.swap(fileNotice_);
    }
    if (notice && !notice->empty()) {
        TWayScope way(*this, TLogWay::File);
        LogEvent(TransportFailing(TTransport::NowPlayingFile, RadioTextFile(), *notice));
    }
    if (notice) ShowFileNotice(*notice);
    return true;
}

void TfoMain::ShowFileNotice(const std::string& notice) { ShowNotice(TNoticeSource::NowPlayingFile, notice); }

std::string TfoMain::SetRadioTextFile(const std::string& path) {
    if (!nowPlaying_) return RefusedReply("the now-playing file is not set up yet");
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
    ShowFileNotice(std::string());
    const std::string previous = nowPlaying_->Path();
    nowPlaying_->SetPath(path);
    LogEvent(TransportChanged(TTransport::NowPlayingFile, previous, path));
    return DoneReply();
}

std::string TfoMain::RadioTextFile() const { return nowPlaying_ ? nowPlaying_->Path() : std::string(); }
