// The serial line: one COM port read by one worker thread, its ASCII lines and UECP
// frames handed to the queue and answered on the line; reopened when it vanishes.
#pragma once

#include "CommandQueue.h"
#include "SysUtils.h"
#include "UecpExchange.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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
    // Closes the line: the worker ends, also while a read is pending or it waits to retry.
    ~TSerialLine();
    TSerialLine(const TSerialLine&) = delete;
    TSerialLine& operator=(const TSerialLine&) = delete;

    // Starts the worker on the setting's port (a port that cannot be opened is reported
    // and tried again, never raised); nothing for an empty text. Raises ESerialLineError
    // for a malformed text, leaving the line closed.
    void Open(std::string_view setting);
    void Close();

private:
    struct TEvents;
    void Run(TSerialSetting setting);
    // Reads until closing; raises ESerialLineError once the port is lost.
    void Serve(void* port, const TSerialSetting& setting, TUecpPeer& peer);
    void Write(void* port, const TSerialSetting& setting, const std::string& output);
    // What goes back on the line for what one read brought, once it is applied.
    std::string Answer(const std::vector<TReceived>& received, TUecpPeer& peer);
    // Waits the retry interval; false once closing.
    bool WaitToRetry();

    TCommandQueue& queue_;
    TOwner owner_;
    std::chrono::milliseconds retry_;
    std::unique_ptr<TEvents> events_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};
