// The serial line: one COM port read by one worker thread, its ASCII lines and UECP
// frames handed to the queue and answered on the line; reopened when it vanishes.
#pragma once

#include "CommandQueue.h"
#include "SysUtils.h"
#include "UecpExchange.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// A setting text that names no port; the message quotes the text and says what is expected.
class ESerialLineError : public Exception {
    using Exception::Exception;
};

// "COM2" or "COM2:19200": 8 data bits, no parity, one stop bit.
struct TSerialSetting {
    static constexpr unsigned DefaultSpeed = 9600;
    unsigned Number = 0;
    unsigned Speed = DefaultSpeed;
    std::string Name() const { return "COM" + std::to_string(Number); }
};
// Nothing for an empty text (no serial line); raises ESerialLineError for a malformed one.
std::optional<TSerialSetting> ParseSerialSetting(std::string_view text);

// How long a write of Bytes may take at Speed baud before the port counts as lost:
// about 11 bits a byte (start, 8 data, stop, and a gap), and a margin for the driver.
std::chrono::milliseconds SerialWriteLimit(size_t bytes, unsigned speed);

// The pauses after reads that end with nothing (a driver that cannot wait, an adapter
// half gone): each longer than the last, and a lost port after LostAfter in a row.
class TEmptyReads {
public:
    static constexpr unsigned LostAfter = 40;
    static constexpr std::chrono::milliseconds FirstPause{10};
    static constexpr std::chrono::milliseconds LongestPause{500};

    // After one more empty read: the pause before the next read, nothing once the port is lost.
    std::optional<std::chrono::milliseconds> Next();
    // A read brought bytes.
    void Reset();

private:
    unsigned count_ = 0;
    std::chrono::milliseconds pause_ = FirstPause;
};

class TSerialLine {
public:
    static constexpr std::chrono::milliseconds RetryInterval{10000};

    // Called on the worker thread; each must be safe to call from there.
    struct TOwner {
        TUecpOwner Uecp;
        // A port that cannot be opened or vanished (Failing, once), and that it is open again.
        std::function<void(const std::string& text, bool failing)> Report;
    };

    TSerialLine(TCommandQueue& queue, TOwner owner, std::chrono::milliseconds retry = RetryInterval);
    // Closes the line: the worker ends, also while a read is pending or it waits to retry;
    // one inside the opening or closing of the port finishes that alone, unwaited for.
    ~TSerialLine();
    TSerialLine(const TSerialLine&) = delete;
    TSerialLine& operator=(const TSerialLine&) = delete;

    // Starts the worker on the setting's port (a port that cannot be opened is reported
    // and tried again, never raised); nothing for an empty text. Raises ESerialLineError
    // for a malformed text, leaving the line closed.
    void Open(std::string_view setting);
    void Close();

private:
    // What the worker runs on; it may outlive the line, and then touches nothing else.
    struct TWorker;

    TCommandQueue& queue_;
    TOwner owner_;
    std::chrono::milliseconds retry_;
    std::shared_ptr<TWorker> running_;
    std::thread worker_;
};
