// The station's rules for the radiotext a now-playing file's line makes: the words
// around it (RtFormat), the lines kept off the air (RtSkip), and the station's own
// text while the playout is still (RtIdleText, RtIdleMinutes). No platform calls;
// the time is handed in, so the rules run on any clock.
#pragma once

#include "RdsCharacterSet.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

constexpr unsigned RtIdleMinutesLast = 1440;

struct TRtTextSettings {
    std::string Format;    // empty: "{text}"
    std::string Skip;      // phrases separated by '|'
    std::string IdleText;  // empty: none
    unsigned IdleMinutes = 0;  // 0: never idle by time
};

// Why Format cannot be used ("RtFormat has an unknown field {album}"); none when it can.
std::optional<std::string> RtFormatFault(std::string_view format);
// The radiotext Format makes of Line (both in the code page), trimmed and cut to
// the radiotext's 64 characters. Format must have no fault.
std::string FormatRadioText(std::string_view format, std::string_view line, const TCodePageConversion& codePage);
// The phrase of Skip that Line holds, compared without regard to case; none when it holds none.
std::optional<std::string> SkipPhrase(std::string_view skip, std::string_view line, const TCodePageConversion& codePage);

// What the rules make of an event: the radiotext to put on air (none: it stays), and
// the rule that acted, for the log (empty when the line went on air as formatted).
struct TRtDecision {
    std::optional<std::string> Text;
    std::string Rule;
};

// The rules' state between the file's lines. Safe to call from the file's worker and
// the window's thread at once.
class TRtTextRules {
public:
    using TTime = std::chrono::steady_clock::time_point;
    explicit TRtTextRules(TCodePageConversion codePage) : codePage_(std::move(codePage)) {}
    // New settings; the time without a change counts from Now.
    void Set(const TRtTextSettings& settings, TTime now);
    TRtTextSettings Settings() const;
    // The file's new line at Now.
    TRtDecision Line(const std::string& line, TTime now);
    // Once the file has been still for the idle minutes: the idle text, once.
    std::optional<TRtDecision> Tick(TTime now);

private:
    TCodePageConversion codePage_;
    mutable std::mutex lock_;
    TRtTextSettings settings_;
    TTime lastChange_{};
    bool idle_ = false;
};
