// The station's log: a bounded queue of lines filled by any thread, and the
// worker that writes them into the day files and deletes the days past keeping.
#include "StationLog.h"

#include "SettingsStore.h"
#include "StationLogFiles.h"
#include "SysUtils.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

constexpr int DecimalBase = 10;
constexpr long SecondsPerMinute = 60;
constexpr long SecondsPerHour = 3600;
constexpr long SecondsPerDay = 86400;
// The worker looks at the date at least this often, so that a clock set anew
// still finds its midnight.
constexpr std::chrono::seconds LongestDateWait{600};

// Until the next midnight by Now, at most LongestDateWait.
std::chrono::seconds UntilMidnight(const TLogTime& now) {
    const long left = SecondsPerDay - (now.Hour * SecondsPerHour + now.Minute * SecondsPerMinute + now.Second);
    return std::min(std::chrono::seconds(std::max(left, 1L)), LongestDateWait);
}

struct TQueuedLine {
    TLogTime Time;
    TLogWay Way;
    std::string What;
    std::string Sender = {};
};

constexpr char SystemLogSource[] = "SONDEL ULTRA";

// A warning in the system's Application log; it may be the only log there is.
void WriteSystemLog(const std::string& text) {
    const HANDLE source = RegisterEventSourceA(nullptr, SystemLogSource);
    if (!source) return;
    const char* strings[] = {text.c_str()};
    ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

}  // namespace

unsigned LogDaysFromSetting(const std::string& text) {
    if (text.empty() || text == SettingsStore::AbsentText) return DefaultLogDays;
    unsigned days = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) throw EConvertError("'" + text + "' is not a valid integer value");
        days = std::min(days * DecimalBase + static_cast<unsigned>(c - '0'), MaxLogDays);
    }
    return days;
}

TLogTime LocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

struct TStationLog::TShared {
    std::string Folder;
    // Written under Lock, read by the worker without it.
    std::atomic<unsigned> KeepDays{0};
    TProblemHandler OnProblem;
    TClock Clock;

    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Progress;
    std::deque<TQueuedLine> Queue;
    size_t Accepted = 0;
    size_t Done = 0;
    size_t Dropped = 0;
    bool DropToReport = false;
    // KeepDays changed since the worker last deleted by it.
    bool KeepDaysChanged = false;
    bool Stopping = false;
    bool Finished = false;

    // Held around every call of the handler; a log closed before its worker ended sets
    // Abandoned under it, and no call of the handler or the clock follows.
    std::mutex CallLock;
    std::atomic<bool> Abandoned{false};
    bool WriteReported = false;
    bool DropReported = false;
    bool DeleteReported = false;
    bool RefusalReported = false;

    // Only the worker touches these.
    std::optional<TLogTime> KeptDay;
    std::optional<TLogTime> StartDay;
    // Lines the disk refused since the last line it took.
    size_t LostLines = 0;
    // What the log says of itself, written with the next lines.
    std::vector<TQueuedLine> Own;

    // The clock is not held under CallLock: a worker stalled in it cannot hold up a close.
    std::optional<TLogTime> Now() {
        if (Abandoned) return std::nullopt;
        const TLogTime now = Clock();
        if (Abandoned) return std::nullopt;
        return now;
    }

    void Report(bool& reported, const std::string& message) {
        std::lock_guard<std::mutex> guard(CallLock);
        if (Abandoned || reported) return;
        reported = true;
        if (OnProblem) OnProblem(message);
    }

    void KeepDaysUpTo(const TLogTime& today, unsigned keepDays) {
        if (KeptDay && SameDay(*KeptDay, today)) return;
        KeptDay = today;
        if (!StartDay) StartDay = today;
        const TRetention retention = DeleteOldDayFiles(Folder, today, *StartDay, keepDays);
        if (retention.Refusal) ReportRefusal(*retention.Refusal);
        if (retention.Failure)
            Report(DeleteReported, "An old day file of the log cannot be deleted: " + *retention.Failure);
        if (keepDays == 0) return;
        if (!retention.Deleted.empty()) Own.push_back({today, TLogWay::Log, OldDayFilesDeleted(retention.Deleted)});
        if (retention.HeldBy)
            Own.push_back({today, TLogWay::Log, OldDayFilesHeld(*retention.HeldBy, retention.DaysPastNewest)});
    }

    // Said once per start in the notice area, and in the system's own log, since this one
    // cannot be written.
    void ReportRefusal(const std::string& reason) {
        if (!RefusalReported) WriteSystemLog(LogFolderRefused(reason));
        Report(RefusalReported, LogFolderRefused(reason) + ". The program goes on without it.");
    }

    // Each run of lines of one day goes into that day's file in one write; a file that
    // refuses costs only its own lines.
    void WriteLines(const std::vector<TQueuedLine>& lines) {
        std::optional<TCheckedFolder> checked;
        std::optional<std::string> refusal;
        try {
            refusal = CreateLogFolder(Folder);
            if (!refusal) {
                checked.emplace(Folder);
                if (!checked->Refusal().empty()) refusal = checked->Refusal();
            }
        } catch (const std::exception& error) {
            ReportUnwritable(error);
            LostLines += lines.size();
            return;
        }
        if (refusal) {
            ReportRefusal(*refusal);
            return;
        }
        for (size_t first = 0; first < lines.size();) {
            std::string bytes;
            size_t next = first;
            for (; next < lines.size() && SameDay(lines[next].Time, lines[first].Time); ++next)
                bytes += LogLine(lines[next].Time, lines[next].Way, lines[next].What, lines[next].Sender);
            const size_t lost = LostLines;
            if (lost != 0) bytes = LogLine(lines[first].Time, TLogWay::Log, LogLinesLost(lost)) + bytes;
            try {
                AppendToFile(Folder + "\\" + DayFileName(lines[first].Time), bytes);
                LostLines -= lost;
            } catch (const std::exception& error) {
                ReportUnwritable(error);
                LostLines += next - first;
            }
            first = next;
        }
    }

    void ReportUnwritable(const std::exception& error) {
        Report(WriteReported,
               std::string("The log cannot be written: ") + error.what() + ". The program goes on without it.");
    }

    void Run() {
        std::optional<TLogTime> now = Now();
        if (now) KeepDaysUpTo(*now, KeepDays);
        while (now) {
            std::vector<TQueuedLine> lines;
            bool stopping = false;
            bool dropped = false;
            bool keepDaysChanged = false;
            {
                std::unique_lock<std::mutex> guard(Lock);
                Wake.wait_for(guard, UntilMidnight(*now),
                              [this] { return !Queue.empty() || Stopping || DropToReport || KeepDaysChanged; });
                lines.assign(std::make_move_iterator(Queue.begin()), std::make_move_iterator(Queue.end()));
                Queue.clear();
                stopping = Stopping;
                std::swap(dropped, DropToReport);
                std::swap(keepDaysChanged, KeepDaysChanged);
            }
            if (dropped)
                Report(DropReported, "The log falls behind the program: lines beyond " +
                                         std::to_string(MaxQueuedLines) + " waiting are dropped.");
            now = Now();
            if (!now) break;
            // A new count deletes by itself at once, not at the next midnight.
            if (keepDaysChanged) KeptDay.reset();
            const unsigned keepDays = KeepDays;
            KeepDaysUpTo(*now, keepDays);
            const size_t queued = lines.size();
            if (!Own.empty()) {
                lines.insert(lines.begin(), std::make_move_iterator(Own.begin()), std::make_move_iterator(Own.end()));
                Own.clear();
            }
            // Lines told before the count became 0 are kept no more than the files.
            if (!lines.empty() && keepDays != 0) WriteLines(lines);
            {
                std::lock_guard<std::mutex> guard(Lock);
                Done += queued;
            }
            Progress.notify_all();
            if (stopping) break;
        }
        {
            std::lock_guard<std::mutex> guard(Lock);
            Finished = true;
        }
        Progress.notify_all();
    }
};

TStationLog::TStationLog(std::string folder, unsigned keepDays, TProblemHandler onProblem, TClock clock)
    : shared_(std::make_shared<TShared>()) {
    shared_->Folder = std::move(folder);
    shared_->KeepDays = std::min(keepDays, MaxLogDays);
    shared_->OnProblem = std::move(onProblem);
    shared_->Clock = std::move(clock);
    // The worker holds the shared state for as long as it runs, even past a close that gave up on it.
    worker_ = std::thread([shared = shared_] { shared->Run(); });
}

TStationLog::~TStationLog() { Close(); }

void TStationLog::Write(TLogWay way, const std::string& what, const std::string& sender) {
    const TLogTime time = shared_->Clock();
    {
        std::lock_guard<std::mutex> guard(shared_->Lock);
        if (shared_->Stopping || shared_->KeepDays == 0) return;
        if (shared_->Queue.size() >= MaxQueuedLines) {
            ++shared_->Dropped;
            shared_->DropToReport = true;
        } else {
            shared_->Queue.push_back({time, way, what, sender});
            ++shared_->Accepted;
        }
    }
    shared_->Wake.notify_one();
}

bool TStationLog::Flush(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> guard(shared_->Lock);
    const size_t target = shared_->Accepted;
    return shared_->Progress.wait_for(guard, limit, [&] { return shared_->Done >= target || shared_->Finished; }) &&
           shared_->Done >= target;
}

bool TStationLog::Close(std::chrono::milliseconds limit) {
    if (!worker_.joinable()) return closedInTime_;
    {
        std::lock_guard<std::mutex> guard(shared_->Lock);
        shared_->Stopping = true;
    }
    shared_->Wake.notify_all();
    {
        std::unique_lock<std::mutex> guard(shared_->Lock);
        closedInTime_ = shared_->Progress.wait_for(guard, limit, [this] { return shared_->Finished; });
    }
    if (closedInTime_) {
        worker_.join();
        return true;
    }
    {
        std::lock_guard<std::mutex> guard(shared_->CallLock);
        shared_->Abandoned = true;
    }
    worker_.detach();
    return false;
}

void TStationLog::SetKeepDays(unsigned days) {
    {
        std::lock_guard<std::mutex> guard(shared_->Lock);
        shared_->KeepDays = std::min(days, MaxLogDays);
        shared_->KeepDaysChanged = true;
    }
    shared_->Wake.notify_one();
}

size_t TStationLog::DroppedLines() const {
    std::lock_guard<std::mutex> guard(shared_->Lock);
    return shared_->Dropped;
}
