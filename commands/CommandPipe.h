// The command line's way into the running copy: a named pipe for local clients
// only, served by one worker thread that hands each start's commands to the
// window's thread through the queue, as the port does, and sends the replies back.
#pragma once

#include "CommandLine.h"
#include "CommandQueue.h"
#include "SysUtils.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The pipe could not be opened; the message names it and gives the system's reason.
class ECommandPipeError : public Exception {
    using Exception::Exception;
};

class TCommandPipe {
public:
    explicit TCommandPipe(TCommandQueue& queue);
    // Closes the pipe: the worker ends, also with a client connected.
    ~TCommandPipe();
    TCommandPipe(const TCommandPipe&) = delete;
    TCommandPipe& operator=(const TCommandPipe&) = delete;

    // Creates the pipe and starts the worker; raises ECommandPipeError when the pipe
    // cannot be created (another process serves that name).
    void Open(const std::string& name);
    void Close();

private:
    struct THandles;
    void Serve();
    void ServeClient();

    TCommandQueue& queue_;
    std::unique_ptr<THandles> handles_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

// The process id of the running copy (the process of the window a later start found);
// 0 when there is none to reach.
using TRunningCopyProcess = std::function<unsigned long()>;

// The pipe's security descriptor as text: this user, administrators and the system only.
std::string PipeSecurityText();

// How long a start waits for the running copy's replies.
constexpr std::chrono::milliseconds CommandLineReplyLimit(30000);

// The client: hands Arguments (one command each) to the copy serving Name and waits
// up to Limit, from the first try to connect, for a reply to each. With RunningCopy,
// a pipe served by any other process (one that created the name first) gets nothing:
// no answer.
TCommandAnswer HandToRunningCopy(const std::string& name, const std::vector<std::string>& arguments,
                                 std::chrono::milliseconds limit = CommandLineReplyLimit,
                                 const TRunningCopyProcess& runningCopy = nullptr);
// HandToRunningCopy with each reply handed to Output; the exit status the replies make.
int HandOverToRunningCopy(const std::string& name, const std::vector<std::string>& arguments,
                          const TReplySink& output, std::chrono::milliseconds limit = CommandLineReplyLimit,
                          const TRunningCopyProcess& runningCopy = nullptr);
