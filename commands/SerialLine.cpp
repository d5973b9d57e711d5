// The serial line's port and worker: overlapped reads, one hand-over to the window's
// thread per read, the replies written back, and the port opened again when it is lost.
// Opening and closing the port happen on the worker, never waited for by the window.
#include "SerialLine.h"

#include "SystemCause.h"
#include "WinHandles.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace {

constexpr unsigned LastPortNumber = 255;
constexpr unsigned LastSpeed = 4000000;
// Enough digits for LastPortNumber and LastSpeed; more cannot be a valid value.
constexpr size_t MaxDigits = 7;
constexpr BYTE DataBits = 8;
constexpr size_t ReadChunk = 4096;
// A read waits for its first byte, then ends at the first gap this long: a line or a
// frame sent at once comes in one read (a byte takes about 1 ms at 9600 baud).
constexpr DWORD ReadGapMs = 20;
// What a byte costs on the line, and what a write may take beyond its bytes.
constexpr uint64_t BitsPerByte = 11;
constexpr uint64_t MillisecondsPerSecond = 1000;
constexpr uint64_t WriteMarginMs = 2000;
// Below INFINITE, which a wait would take for no limit.
constexpr uint64_t LongestWaitMs = INFINITE - 1;
// How long a read's commands may wait for the window's thread to take them.
constexpr std::chrono::milliseconds ReplyLimit(30000);

std::optional<unsigned> Number(std::string_view digits, unsigned first, unsigned last) {
    if (digits.empty() || digits.size() > MaxDigits) return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < first || value > last) return std::nullopt;
    return value;
}

// What the owner is told: the port, what happened, the failed step and the system's reason.
std::string Problem(const TSerialSetting& setting, const char* what, const std::string& step, DWORD code) {
    return "The serial line " + setting.Name() + " " + what + " (" + step + "): " + SystemCause(code) +
           ". It is tried again until it opens.";
}

ESerialLineError CannotOpen(const TSerialSetting& setting, const char* step) {
    const DWORD code = GetLastError();
    return ESerialLineError(Problem(setting, "cannot be opened", step, code));
}

ESerialLineError Lost(const TSerialSetting& setting, const std::string& step, DWORD code) {
    return ESerialLineError(Problem(setting, "is lost", step, code));
}

// The port opened, set to the setting's speed and 8N1 without flow control; raises
// ESerialLineError with the failed step and the system's reason.
void SetUpPort(const TSerialSetting& setting, TKernelHandle& port) {
    // The device path, since the short name reaches only COM1..COM9.
    const std::string path = "\\\\.\\" + setting.Name();
    port.Reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr));
    if (port.Get() == INVALID_HANDLE_VALUE) throw CannotOpen(setting, "CreateFile");
    DCB state{};
    state.DCBlength = sizeof state;
    if (!GetCommState(port.Get(), &state))
        throw CannotOpen(setting, "GetCommState");
    state.BaudRate = setting.Speed;
    state.ByteSize = DataBits;
    state.Parity = NOPARITY;
    state.StopBits = ONESTOPBIT;
    state.fBinary = TRUE;
    state.fParity = FALSE;
    state.fOutxCtsFlow = FALSE;
    state.fOutxDsrFlow = FALSE;
    state.fDtrControl = DTR_CONTROL_ENABLE;
    state.fRtsControl = RTS_CONTROL_ENABLE;
    state.fDsrSensitivity = FALSE;
    state.fOutX = FALSE;
    state.fInX = FALSE;
    state.fNull = FALSE;
    state.fAbortOnError = FALSE;
    if (!SetCommState(port.Get(), &state))
        throw CannotOpen(setting, "SetCommState");
    // No write timeout of the driver's: the worker's own wait bounds a write by its size.
    COMMTIMEOUTS timeouts{ReadGapMs, 0, 0, 0, 0};
    if (!SetCommTimeouts(port.Get(), &timeouts))
        throw CannotOpen(setting, "SetCommTimeouts");
}

// As SetUpPort; a port that opened and could not be set up is closed again. Nothing
// for a port that opened, else why not.
std::optional<std::string> OpenPort(const TSerialSetting& setting, TKernelHandle& port) {
    try {
        SetUpPort(setting, port);
        return std::nullopt;
    } catch (const ESerialLineError& error) {
        port.Reset();
        return error.Message();
    }
}

TKernelHandle ManualEvent() { return TKernelHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

}  // namespace

std::optional<TSerialSetting> ParseSerialSetting(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    const auto refuse = [&] {
        return ESerialLineError("The serial line setting \"" + std::string(text) +
                                "\" is not valid: it must be COMn or COMn:speed, n 1.." +
                                std::to_string(LastPortNumber) + ", speed 1.." + std::to_string(LastSpeed) + ".");
    };
    constexpr std::string_view Prefix = "COM";
    if (text.size() < Prefix.size() || !SameText(std::string(text.substr(0, Prefix.size())), std::string(Prefix)))
        throw refuse();
    const std::string_view rest = text.substr(Prefix.size());
    const size_t colon = rest.find(':');
    TSerialSetting setting;
    const auto number = Number(rest.substr(0, colon), 1, LastPortNumber);
    if (!number) throw refuse();
    setting.Number = *number;
    if (colon != std::string_view::npos) {
        const auto speed = Number(rest.substr(colon + 1), 1, LastSpeed);
        if (!speed) throw refuse();
        setting.Speed = *speed;
    }
    return setting;
}

std::chrono::milliseconds SerialWriteLimit(size_t bytes, unsigned speed) {
    const uint64_t baud = std::max(speed, 1u);
    const uint64_t lineMs = (static_cast<uint64_t>(bytes) * BitsPerByte * MillisecondsPerSecond + baud - 1) / baud;
    return std::chrono::milliseconds(std::min(lineMs + WriteMarginMs, LongestWaitMs));
}

std::optional<std::chrono::milliseconds> TEmptyReads::Next() {
    if (++count_ >= LostAfter) return std::nullopt;
    const std::chrono::milliseconds pause = pause_;
    pause_ = std::min(pause_ * 2, LongestPause);
    return pause;
}

void TEmptyReads::Reset() {
    count_ = 0;
    pause_ = FirstPause;
}

struct TSerialLine::TWorker {
    TWorker(TCommandQueue& queue, const TOwner& owner, std::chrono::milliseconds retry)
        : Queue(queue), Owner(owner), Retry(retry) {}

    // The line's, touched only while the line waits for the worker or has not closed.
    TCommandQueue& Queue;
    TOwner Owner;
    const std::chrono::milliseconds Retry;

    TKernelHandle StopEvent = ManualEvent();
    TKernelHandle ReadEvent = ManualEvent();
    TKernelHandle WriteEvent = ManualEvent();
    std::atomic<bool> Stop{false};
    std::mutex Lock;
    std::condition_variable Changed;
    bool InPortCall = false;
    bool Ended = false;

    void Run(const TSerialSetting& setting);
    // The line closes: once the worker has ended or is inside a port call, false for the latter.
    bool WaitForEnd();
    void End();

private:
    // A call into the driver that may block for long (opening, closing, a cancelled
    // transfer ending). False once the line closed meanwhile: the worker is then on its
    // own and must return, touching nothing but this.
    template <class TCall>
    bool PortCall(TCall call);
    bool ClosePort(TKernelHandle& port) {
        return PortCall([&port] { port.Reset(); });
    }
    // The cancelled transfer has ended, so its buffer and OVERLAPPED may go.
    bool EndCancelled(HANDLE port, OVERLAPPED& transfer) {
        return PortCall([port, &transfer] {
            CancelIoEx(port, &transfer);
            DWORD moved = 0;
            GetOverlappedResult(port, &transfer, &moved, TRUE);
        });
    }
    // Reads until closing; raises ESerialLineError once the port is lost.
    void Serve(HANDLE port, const TSerialSetting& setting, TUecpPeer& peer);
    void Write(HANDLE port, const TSerialSetting& setting, const std::string& output);
    // What goes back on the line for what one read brought, once it is applied.
    std::string Answer(const std::vector<TReceived>& received, TUecpPeer& peer);
    void Report(const std::string& text, bool failing) {
        if (Owner.Report) Owner.Report(text, failing);
    }
    // Waits the retry interval; false once closing.
    bool WaitToRetry() {
        return WaitForSingleObject(StopEvent.Get(), static_cast<DWORD>(Retry.count())) == WAIT_TIMEOUT;
    }
};

template <class TCall>
bool TSerialLine::TWorker::PortCall(TCall call) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        InPortCall = true;
    }
    Changed.notify_all();
    call();
    std::lock_guard<std::mutex> guard(Lock);
    InPortCall = false;
    return !Stop;
}

bool TSerialLine::TWorker::WaitForEnd() {
    std::unique_lock<std::mutex> lock(Lock);
    Changed.wait(lock, [this] { return Ended || InPortCall; });
    return Ended;
}

void TSerialLine::TWorker::End() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Ended = true;
    }
    Changed.notify_all();
}

TSerialLine::TSerialLine(TCommandQueue& queue, TOwner owner, std::chrono::milliseconds retry)
    : queue_(queue), owner_(std::move(owner)), retry_(retry) {
    owner_.Uecp = WithCodePage(std::move(owner_.Uecp));
}

TSerialLine::~TSerialLine() { Close(); }

void TSerialLine::Open(std::string_view text) {
    Close();
    const std::optional<TSerialSetting> setting = ParseSerialSetting(text);
    if (!setting) return;
    auto running = std::make_shared<TWorker>(queue_, owner_, retry_);
    if (!running->StopEvent.Get() || !running->ReadEvent.Get() || !running->WriteEvent.Get())
        RaiseLastOSError("CreateEvent");
    running_ = running;
    worker_ = std::thread([running, setting = *setting] {
        running->Run(setting);
        running->End();
    });
}

void TSerialLine::Close() {
    if (!running_) return;
    running_->Stop = true;
    SetEvent(running_->StopEvent.Get());
    // A worker inside opening or closing the port finishes alone: the window never waits on a driver.
    if (running_->WaitForEnd())
        worker_.join();
    else
        worker_.detach();
    running_.reset();
}

void TSerialLine::TWorker::Run(const TSerialSetting& setting) {
    // The mode belongs to the line, across a lost and reopened port.
    TUecpPeer peer;
    bool reported = false;
    while (!Stop) {
        TKernelHandle port;
        std::optional<std::string> failure;
        if (!PortCall([&] { failure = OpenPort(setting, port); })) {
            // Closed meanwhile: the port that opened too late is closed as slowly as it likes.
            ClosePort(port);
            return;
        }
        if (failure) {
            if (!reported) Report(*failure, true);
            reported = true;
            if (!WaitToRetry()) return;
            continue;
        }
        if (reported) Report("The serial line " + setting.Name() + " is open.", false);
        reported = false;
        try {
            Serve(port.Get(), setting, peer);
        } catch (const ESerialLineError& error) {
            failure = error.Message();
        }
        if (!ClosePort(port) || Stop) return;
        if (!failure) continue;
        Report(*failure, true);
        reported = true;
        if (!WaitToRetry()) return;
    }
}

void TSerialLine::TWorker::Serve(HANDLE port, const TSerialSetting& setting, TUecpPeer& peer) {
    TReceivedReader reader;
    TEmptyReads empty;
    std::vector<char> buffer(ReadChunk);
    for (;;) {
        OVERLAPPED read{};
        read.hEvent = ReadEvent.Get();
        ResetEvent(read.hEvent);
        if (!ReadFile(port, buffer.data(), ReadChunk, nullptr, &read) && GetLastError() != ERROR_IO_PENDING)
            throw Lost(setting, "ReadFile", GetLastError());
        const HANDLE waits[] = {StopEvent.Get(), read.hEvent};
        const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woken != WAIT_OBJECT_0 + 1) {
            const DWORD code = GetLastError();
            if (!EndCancelled(port, read) || woken == WAIT_OBJECT_0) return;
            throw Lost(setting, "WaitForMultipleObjects", code);
        }
        DWORD got = 0;
        if (!GetOverlappedResult(port, &read, &got, FALSE)) throw Lost(setting, "ReadFile", GetLastError());
        if (got == 0) {
            // A read that ends with nothing: a port that is gone fails to tell its state.
            DCB state{};
            state.DCBlength = sizeof state;
            if (!GetCommState(port, &state)) throw Lost(setting, "GetCommState", GetLastError());
            // One that keeps ending so is lost as well, and never spins.
            const std::optional<std::chrono::milliseconds> pause = empty.Next();
            if (!pause)
                throw Lost(setting, "ReadFile: " + std::to_string(TEmptyReads::LostAfter) + " reads in a row brought nothing",
                           ERROR_READ_FAULT);
            if (WaitForSingleObject(StopEvent.Get(), static_cast<DWORD>(pause->count())) != WAIT_TIMEOUT) return;
            continue;
        }
        empty.Reset();
        std::vector<TReceived> received;
        reader.Feed(std::string_view(buffer.data(), got), received);
        const std::string output = Answer(received, peer);
        if (Stop) return;
        Write(port, setting, output);
    }
}

void TSerialLine::TWorker::Write(HANDLE port, const TSerialSetting& setting, const std::string& output) {
    if (output.empty()) return;
    OVERLAPPED write{};
    write.hEvent = WriteEvent.Get();
    ResetEvent(write.hEvent);
    if (!WriteFile(port, output.data(), static_cast<DWORD>(output.size()), nullptr, &write) &&
        GetLastError() != ERROR_IO_PENDING)
        throw Lost(setting, "WriteFile", GetLastError());
    const HANDLE waits[] = {StopEvent.Get(), write.hEvent};
    const auto limit = SerialWriteLimit(output.size(), setting.Speed);
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, static_cast<DWORD>(limit.count()));
    if (woken != WAIT_OBJECT_0 + 1) {
        const DWORD code = woken == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
        if (!EndCancelled(port, write) || woken == WAIT_OBJECT_0) return;
        throw Lost(setting, "WriteFile", code);
    }
    DWORD written = 0;
    if (!GetOverlappedResult(port, &write, &written, FALSE)) throw Lost(setting, "WriteFile", GetLastError());
    if (written != output.size()) throw Lost(setting, "WriteFile", ERROR_TIMEOUT);
}

std::string TSerialLine::TWorker::Answer(const std::vector<TReceived>& received, TUecpPeer& peer) {
    TUecpExchange exchange(received, peer, Owner.Uecp);
    std::vector<TCommand> commands;
    exchange.AddCommands(commands);
    const TCommandQueue::TSubmitted submitted =
        Queue.SubmitForStatus(commands, ReplyLimit, Stop, TWayIn::SerialLine, exchange.NeedsStatus());
    size_t next = 0;
    return exchange.Answer(submitted.Replies, next, submitted.Status);
}
