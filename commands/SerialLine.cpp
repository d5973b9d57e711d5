// The serial line's port and worker: overlapped reads, one hand-over to the window's
// thread per read, the replies written back, and the port opened again when it is lost.
#include "SerialLine.h"

#include "WinHandles.h"

#include <cctype>
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
// A write the line cannot take within this long counts as a lost port.
constexpr DWORD WriteLimitMs = 5000;
// How long closing waits for the cancelled read to give its buffer back.
constexpr DWORD CancelLimitMs = 2000;
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
std::string Problem(const TSerialSetting& setting, const char* what, const char* step, DWORD code) {
    return "The serial line " + setting.Name() + " " + what + " (" + step + "): " + SysErrorMessage(code) +
           "; it is tried again until it opens.";
}

ESerialLineError CannotOpen(const TSerialSetting& setting, const char* step) {
    const DWORD code = GetLastError();
    return ESerialLineError(Problem(setting, "cannot be opened", step, code));
}

ESerialLineError Lost(const TSerialSetting& setting, const char* step, DWORD code) {
    return ESerialLineError(Problem(setting, "is lost", step, code));
}

// The port opened, set to the setting's speed and 8N1 without flow control; raises
// ESerialLineError with the failed step and the system's reason.
void OpenPort(const TSerialSetting& setting, TKernelHandle& port) {
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
    COMMTIMEOUTS timeouts{ReadGapMs, 0, 0, 0, WriteLimitMs};
    if (!SetCommTimeouts(port.Get(), &timeouts))
        throw CannotOpen(setting, "SetCommTimeouts");
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

struct TSerialLine::TEvents {
    TKernelHandle Stop = ManualEvent();
    TKernelHandle Read = ManualEvent();
    TKernelHandle Write = ManualEvent();
};

TSerialLine::TSerialLine(TCommandQueue& queue, TOwner owner, std::chrono::milliseconds retry)
    : queue_(queue), owner_(std::move(owner)), retry_(retry) {
    owner_.Uecp = WithCodePage(std::move(owner_.Uecp));
}

TSerialLine::~TSerialLine() { Close(); }

void TSerialLine::Open(std::string_view text) {
    Close();
    const std::optional<TSerialSetting> setting = ParseSerialSetting(text);
    if (!setting) return;
    auto events = std::make_unique<TEvents>();
    if (!events->Stop.Get() || !events->Read.Get() || !events->Write.Get()) RaiseLastOSError("CreateEvent");
    events_ = std::move(events);
    stop_ = false;
    worker_ = std::thread([this, setting] { Run(*setting); });
}

void TSerialLine::Close() {
    stop_ = true;
    if (events_) SetEvent(events_->Stop.Get());
    if (worker_.joinable()) worker_.join();
    events_.reset();
}

bool TSerialLine::WaitToRetry() {
    return WaitForSingleObject(events_->Stop.Get(), static_cast<DWORD>(retry_.count())) == WAIT_TIMEOUT;
}

void TSerialLine::Run(TSerialSetting setting) {
    // The mode belongs to the line, across a lost and reopened port.
    TUecpPeer peer;
    bool reported = false;
    while (!stop_) {
        TKernelHandle port;
        try {
            OpenPort(setting, port);
        } catch (const ESerialLineError& error) {
            if (!reported && owner_.Report) owner_.Report(error.Message(), true);
            reported = true;
            if (!WaitToRetry()) return;
            continue;
        }
        if (reported && owner_.Report) owner_.Report("The serial line " + setting.Name() + " is open.", false);
        reported = false;
        try {
            Serve(port.Get(), setting, peer);
        } catch (const ESerialLineError& error) {
            if (stop_) return;
            if (owner_.Report) owner_.Report(error.Message(), true);
            reported = true;
            port.Reset();
            if (!WaitToRetry()) return;
        }
    }
}

void TSerialLine::Serve(void* port, const TSerialSetting& setting, TUecpPeer& peer) {
    TReceivedReader reader;
    std::vector<char> buffer(ReadChunk);
    for (;;) {
        OVERLAPPED read{};
        read.hEvent = events_->Read.Get();
        ResetEvent(read.hEvent);
        if (!ReadFile(port, buffer.data(), ReadChunk, nullptr, &read) && GetLastError() != ERROR_IO_PENDING)
            throw Lost(setting, "ReadFile", GetLastError());
        const HANDLE waits[] = {events_->Stop.Get(), read.hEvent};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
            // The read must give its buffer back before the port closes.
            CancelIoEx(port, &read);
            WaitForSingleObject(read.hEvent, CancelLimitMs);
            return;
        }
        DWORD got = 0;
        if (!GetOverlappedResult(port, &read, &got, FALSE)) throw Lost(setting, "ReadFile", GetLastError());
        if (got == 0) {
            // A read that ends with nothing: a port that is gone fails to tell its state.
            DCB state{};
            state.DCBlength = sizeof state;
            if (!GetCommState(port, &state)) throw Lost(setting, "GetCommState", GetLastError());
            continue;
        }
        std::vector<TReceived> received;
        reader.Feed(std::string_view(buffer.data(), got), received);
        const std::string output = Answer(received, peer);
        if (stop_) return;
        Write(port, setting, output);
    }
}

void TSerialLine::Write(void* port, const TSerialSetting& setting, const std::string& output) {
    if (output.empty()) return;
    OVERLAPPED write{};
    write.hEvent = events_->Write.Get();
    ResetEvent(write.hEvent);
    if (!WriteFile(port, output.data(), static_cast<DWORD>(output.size()), nullptr, &write) &&
        GetLastError() != ERROR_IO_PENDING)
        throw Lost(setting, "WriteFile", GetLastError());
    const HANDLE waits[] = {events_->Stop.Get(), write.hEvent};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, WriteLimitMs);
    if (woken != WAIT_OBJECT_0 + 1) {
        CancelIoEx(port, &write);
        WaitForSingleObject(write.hEvent, CancelLimitMs);
        if (woken == WAIT_OBJECT_0) return;
        throw Lost(setting, "WriteFile", ERROR_TIMEOUT);
    }
    DWORD written = 0;
    if (!GetOverlappedResult(port, &write, &written, FALSE)) throw Lost(setting, "WriteFile", GetLastError());
    if (written != output.size()) throw Lost(setting, "WriteFile", ERROR_TIMEOUT);
}

std::string TSerialLine::Answer(const std::vector<TReceived>& received, TUecpPeer& peer) {
    TUecpExchange exchange(received, peer, owner_.Uecp);
    std::vector<TCommand> commands;
    exchange.AddCommands(commands);
    const TCommandQueue::TSubmitted submitted =
        queue_.SubmitForStatus(commands, ReplyLimit, stop_, TWayIn::SerialLine, exchange.NeedsStatus());
    size_t next = 0;
    return exchange.Answer(submitted.Replies, next, submitted.Status);
}
