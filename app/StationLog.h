// TStationLog: the station's log. Told each event from any thread, it writes one
// line per event into a file per day on its own worker, so that no caller waits
// on the disk, and keeps only the days the setting "LogDays" asks for, also when it
// changes while the program runs.
#pragma once

#include "StationLogLines.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// What "LogDays" absent or empty keeps.
constexpr unsigned DefaultLogDays = 400;
// Longer than any station keeps a log: a larger number keeps this long.
constexpr unsigned MaxLogDays = 36500;
// The setting "LogDays" as read (absent reads "empty"): decimal digits, DefaultLogDays
// when absent or empty. Raises the conversion error "'%s' is not a valid integer value".
unsigned LogDaysFromSetting(const std::string& text);

// The local time of now.
TLogTime LocalTime();

class TStationLog {
public:
    // Called on the log's worker, once per start for each kind of problem (a line that
    // cannot be written, lines dropped, an old file that cannot be deleted, a folder
    // refused as a link or another user's). It must not throw, nor wait for a thread
    // that writes to or closes the log.
    using TProblemHandler = std::function<void(const std::string& message)>;
    // Called on the writing thread and on the worker: it must be safe on both.
    using TClock = std::function<TLogTime()>;

    // Lines a slow disk may leave waiting; more are dropped and counted.
    static constexpr size_t MaxQueuedLines = 10000;
    // How long closing waits for the queued lines to reach the disk.
    static constexpr std::chrono::milliseconds CloseWait{2000};

    // Starts the worker, which deletes the day files older than KeepDays at once and at
    // every midnight (see DeleteOldDayFiles), and logs their names. KeepDays 0 keeps no
    // log: nothing is written, and every day file goes.
    TStationLog(std::string folder, unsigned keepDays, TProblemHandler onProblem, TClock clock = LocalTime);
    TStationLog(const TStationLog&) = delete;
    TStationLog& operator=(const TStationLog&) = delete;
    // Closes with CloseWait.
    ~TStationLog();

    // Queues the line of What with the time of now; never waits for the disk. Sender:
    // another machine's address that sent it (see LogLine).
    void Write(TLogWay way, const std::string& what, const std::string& sender = {});
    // Waits, at most Limit, until every line queued so far has been written or has
    // failed; whether it came to that.
    bool Flush(std::chrono::milliseconds limit);
    // Writes what is queued, waiting at most Limit, and ends the worker; later lines
    // are dropped. Whether the worker wrote (or failed) every queued line in time;
    // otherwise it is left to end by itself, and neither the handler nor the clock is
    // called again.
    bool Close(std::chrono::milliseconds limit = CloseWait);

    // Keeps Days from now on: the worker deletes the day files past them at once, and
    // Days 0 ends the writing. Safe while the worker deletes.
    void SetKeepDays(unsigned days);

    // Lines dropped because MaxQueuedLines were waiting.
    size_t DroppedLines() const;

private:
    struct TShared;
    std::shared_ptr<TShared> shared_;
    std::thread worker_;
    bool closedInTime_ = false;
};
