// The command line's pipe: a request of the arguments (each ended by a NUL) behind
// its length, answered by one reply line per argument; overlapped I/O so that every
// wait ends at the stop signal or at its limit.
#include "CommandPipe.h"

#include "SystemCause.h"
#include "WinHandles.h"

#include <sddl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The request: a 32-bit little-endian body length, then the body.
constexpr size_t BodyLengthOffset = 0;
constexpr size_t RequestHeaderBytes = 4;
constexpr int BitsPerByte = 8;
// A command line holds at most 32767 characters; this leaves room for any code page.
constexpr uint32_t MaxRequestBody = 128 * 1024;
constexpr char ArgumentEnd = '\0';
constexpr DWORD PipeBufferBytes = 4096;
constexpr DWORD ReadChunk = 4096;
// One client at a time; a start that finds the pipe busy waits its turn.
constexpr DWORD PipeInstances = 1;
// A client that connects and then stalls is dropped after this long.
constexpr DWORD ClientStepLimitMs = 5000;
// How soon a start tries again while the running copy's pipe is not there yet.
constexpr DWORD ConnectRetryMs = 100;
// After a failed connect, the worker pauses this long before it listens again.
constexpr DWORD ListenRetryMs = 100;

enum class TIoResult { Done, Failed, Stopped, TimedOut };

// One overlapped operation on the pipe, waited for until it ends, Stop (if any) is
// set or LimitMs passes; an operation not done is cancelled and waited out.
template <typename Start>
TIoResult RunIo(HANDLE pipe, HANDLE event, HANDLE stop, DWORD limitMs, DWORD& transferred, Start start) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    ResetEvent(event);
    transferred = 0;
    if (!start(&overlapped)) {
        const DWORD error = GetLastError();
        // A client that connected before the listen began.
        if (error == ERROR_PIPE_CONNECTED) return TIoResult::Done;
        if (error != ERROR_IO_PENDING) return TIoResult::Failed;
    }
    const HANDLE events[] = {event, stop};
    const DWORD count = stop ? 2 : 1;
    const DWORD waited = WaitForMultipleObjects(count, events, FALSE, limitMs);
    if (waited != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        return waited == WAIT_OBJECT_0 + 1 ? TIoResult::Stopped : TIoResult::TimedOut;
    }
    return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) ? TIoResult::Done : TIoResult::Failed;
}

// Milliseconds left until Deadline, 0 once it passed.
DWORD Remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

std::chrono::steady_clock::time_point After(DWORD milliseconds) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

// Reads exactly Size bytes into Bytes; false when the pipe ends, Stop is set or Deadline passes.
bool ReadExactly(HANDLE pipe, HANDLE event, HANDLE stop, std::chrono::steady_clock::time_point deadline,
                 size_t size, std::string& bytes) {
    bytes.clear();
    char chunk[ReadChunk];
    while (bytes.size() < size) {
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size - bytes.size(), ReadChunk));
        DWORD got = 0;
        const TIoResult result = RunIo(pipe, event, stop, Remaining(deadline), got, [&](OVERLAPPED* overlapped) {
            return ReadFile(pipe, chunk, wanted, nullptr, overlapped);
        });
        if (result != TIoResult::Done || got == 0) return false;
        bytes.append(chunk, got);
    }
    return true;
}

bool WriteAll(HANDLE pipe, HANDLE event, HANDLE stop, std::chrono::steady_clock::time_point deadline,
              const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const DWORD size = static_cast<DWORD>(bytes.size() - sent);
        DWORD put = 0;
        const TIoResult result = RunIo(pipe, event, stop, Remaining(deadline), put, [&](OVERLAPPED* overlapped) {
            return WriteFile(pipe, bytes.data() + sent, size, nullptr, overlapped);
        });
        if (result != TIoResult::Done || put == 0) return false;
        sent += put;
    }
    return true;
}

std::string EncodeRequest(const std::vector<std::string>& arguments) {
    std::string body;
    for (const std::string& argument : arguments) {
        // A command line cannot hold a NUL: an argument ends at its first one.
        body.append(argument.c_str());
        body += ArgumentEnd;
    }
    std::string request(RequestHeaderBytes, '\0');
    const auto length = static_cast<uint32_t>(body.size());
    for (size_t k = 0; k < RequestHeaderBytes; ++k)
        request[BodyLengthOffset + k] = static_cast<char>((length >> (BitsPerByte * k)) & 0xFF);
    return request + body;
}

uint32_t BodyLength(const std::string& header) {
    uint32_t length = 0;
    for (size_t k = 0; k < RequestHeaderBytes; ++k)
        length |= static_cast<uint32_t>(static_cast<unsigned char>(header[BodyLengthOffset + k])) << (BitsPerByte * k);
    return length;
}

std::vector<std::string> DecodeArguments(const std::string& body) {
    std::vector<std::string> arguments;
    size_t begin = 0;
    for (size_t end = body.find(ArgumentEnd); end != std::string::npos; end = body.find(ArgumentEnd, begin)) {
        arguments.push_back(body.substr(begin, end - begin));
        begin = end + 1;
    }
    return arguments;
}

// Memory the system allocated for us, given back with LocalFree.
template <typename T>
class TLocalMemory {
public:
    TLocalMemory() = default;
    TLocalMemory(const TLocalMemory&) = delete;
    TLocalMemory& operator=(const TLocalMemory&) = delete;
    ~TLocalMemory() {
        if (memory_) LocalFree(memory_);
    }
    T* Get() const { return memory_; }
    T** Receive() { return &memory_; }

private:
    T* memory_ = nullptr;
};

// The running user's SID as text ("S-1-5-21-...").
std::string UserSidText() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) RaiseLastOSError("OpenProcessToken");
    const TKernelHandle tokenOwner(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size > 0 ? size : sizeof(TOKEN_USER));
    if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        RaiseLastOSError("GetTokenInformation");
    TLocalMemory<char> text;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, text.Receive()))
        RaiseLastOSError("ConvertSidToStringSid");
    return text.Get();
}

// Who may open the pipe: this user, administrators and the system, nobody else (the
// default descriptor also lets every user read). The list is protected: nothing is
// inherited from the namespace above it.
class TPipeSecurity {
public:
    TPipeSecurity() : text_(PipeSecurityText()) {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text_.c_str(), SDDL_REVISION_1,
                                                                  descriptor_.Receive(), nullptr))
            RaiseLastOSError("ConvertStringSecurityDescriptorToSecurityDescriptor");
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_.Get();
        attributes_.bInheritHandle = FALSE;
    }
    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    std::string text_;
    TLocalMemory<void> descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

void CreateManualResetEvent(TKernelHandle& event) {
    event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event.Get()) RaiseLastOSError("CreateEvent");
}

}  // namespace

struct TCommandPipe::THandles {
    TKernelHandle Pipe;
    TKernelHandle Stop;
    TKernelHandle Io;
};

TCommandPipe::TCommandPipe(TCommandQueue& queue) : queue_(queue) {}

TCommandPipe::~TCommandPipe() { Close(); }

void TCommandPipe::Open(const std::string& name) {
    Close();
    auto handles = std::make_unique<THandles>();
    TPipeSecurity security;
    // The first instance only: a name another process already serves is refused.
    handles->Pipe.Reset(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED |
                                                           FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                         PipeInstances, PipeBufferBytes, PipeBufferBytes, 0, security.Attributes()));
    if (handles->Pipe.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        handles->Pipe.Reset();
        throw ECommandPipeError("The command line's pipe " + name + " cannot be opened: " + SystemCause(error) + ".");
    }
    CreateManualResetEvent(handles->Stop);
    CreateManualResetEvent(handles->Io);
    handles_ = std::move(handles);
    stop_ = false;
    worker_ = std::thread([this] { Serve(); });
}

void TCommandPipe::Close() {
    stop_ = true;
    if (handles_) SetEvent(handles_->Stop.Get());
    if (worker_.joinable()) worker_.join();
    handles_.reset();
}

void TCommandPipe::Serve() {
    const HANDLE pipe = handles_->Pipe.Get();
    const HANDLE stop = handles_->Stop.Get();
    while (!stop_) {
        DWORD unused = 0;
        const TIoResult connected = RunIo(pipe, handles_->Io.Get(), stop, INFINITE, unused, [&](OVERLAPPED* overlapped) {
            return ConnectNamedPipe(pipe, overlapped);
        });
        if (connected == TIoResult::Stopped) break;
        if (connected == TIoResult::Done) ServeClient();
        DisconnectNamedPipe(pipe);
        if (connected != TIoResult::Done) WaitForSingleObject(stop, ListenRetryMs);
    }
}

void TCommandPipe::ServeClient() {
    const HANDLE pipe = handles_->Pipe.Get();
    const HANDLE io = handles_->Io.Get();
    const HANDLE stop = handles_->Stop.Get();
    std::string header;
    std::string body;
    if (!ReadExactly(pipe, io, stop, After(ClientStepLimitMs), RequestHeaderBytes, header)) return;
    const uint32_t length = BodyLength(header);
    if (length > MaxRequestBody) return;
    if (!ReadExactly(pipe, io, stop, After(ClientStepLimitMs), length, body)) return;

    std::string text;
    for (const std::string& reply : SubmitArguments(queue_, DecodeArguments(body), CommandLineReplyLimit, stop_))
        text += reply + ReplyLineEnd;
    if (!WriteAll(pipe, io, stop, After(ClientStepLimitMs), text)) return;
    // Disconnecting drops what the client has not read yet: wait for it to close its end.
    std::string rest;
    ReadExactly(pipe, io, stop, After(ClientStepLimitMs), 1, rest);
}

std::string PipeSecurityText() {
    return "D:P(A;;GA;;;" + UserSidText() + ")(A;;GA;;;BA)(A;;GA;;;SY)";
}

int HandOverToRunningCopy(const std::string& name, const std::vector<std::string>& arguments,
                          const TReplySink& output, std::chrono::milliseconds limit,
                          const TRunningCopyProcess& runningCopy) {
    const TCommandAnswer answer = HandToRunningCopy(name, arguments, limit, runningCopy);
    for (const std::string& reply : answer.Replies) output(reply);
    return ExitStatusOf(answer);
}

TCommandAnswer HandToRunningCopy(const std::string& name, const std::vector<std::string>& arguments,
                                 std::chrono::milliseconds limit, const TRunningCopyProcess& runningCopy) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    TKernelHandle pipe;
    for (;;) {
        pipe.Reset(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe.Get() != INVALID_HANDLE_VALUE) break;
        const DWORD error = GetLastError();
        const DWORD left = Remaining(deadline);
        // A copy started with other rights refuses this user: waiting would not change that.
        if (left == 0 || error == ERROR_ACCESS_DENIED) return {};
        // Busy: another start is being served. Absent: the running copy has not opened it yet.
        if (error == ERROR_PIPE_BUSY)
            WaitNamedPipeA(name.c_str(), left);
        else
            Sleep(std::min(left, ConnectRetryMs));
    }
    // Whoever created the name first serves it: only the running copy gets the commands.
    if (runningCopy) {
        ULONG server = 0;
        if (!GetNamedPipeServerProcessId(pipe.Get(), &server)) return {};
        const unsigned long expected = runningCopy();
        if (expected == 0 || server != expected) return {};
    }
    TKernelHandle io(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!io.Get()) return {};
    if (!WriteAll(pipe.Get(), io.Get(), nullptr, deadline, EncodeRequest(arguments))) return {};

    TCommandAnswer answer;
    std::string received;
    const std::string lineEnd = ReplyLineEnd;
    while (answer.Replies.size() < arguments.size()) {
        const size_t end = received.find(lineEnd);
        if (end != std::string::npos) {
            answer.Replies.push_back(received.substr(0, end));
            received.erase(0, end + lineEnd.size());
            continue;
        }
        char buffer[ReadChunk];
        DWORD got = 0;
        const TIoResult result = RunIo(pipe.Get(), io.Get(), nullptr, Remaining(deadline), got,
                                       [&](OVERLAPPED* overlapped) {
                                           return ReadFile(pipe.Get(), buffer, ReadChunk, nullptr, overlapped);
                                       });
        if (result != TIoResult::Done || got == 0) return {};
        received.append(buffer, got);
    }
    answer.Answered = true;
    return answer;
}
