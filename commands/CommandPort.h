// The command port: TCP and UDP on 127.0.0.1 at one port number, served by one
// worker thread that hands every command to the window's thread through the queue.
// Both take the ASCII lines and UECP frames; a connection or a sender may mix them.
#pragma once

#include "CommandQueue.h"
#include "SysUtils.h"
#include "UecpExchange.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// The port could not be opened; the message names the port and the system's reason.
class ECommandPortError : public Exception {
    using Exception::Exception;
};

class TCommandPort {
public:
    static constexpr int MaxConnections = 8;

    // Told (on the worker thread, which it must not hold up) each time a connection is
    // closed for speaking HTTP.
    using TRefusalHandler = std::function<void(const std::string& notice)>;

    explicit TCommandPort(TCommandQueue& queue, TRefusalHandler onRefusal = nullptr, TUecpOwner uecp = {});
    // Closes the port: the worker ends, also with clients connected.
    ~TCommandPort();
    TCommandPort(const TCommandPort&) = delete;
    TCommandPort& operator=(const TCommandPort&) = delete;

    // Listens on 127.0.0.1:Port for TCP and UDP and starts the worker; raises
    // ECommandPortError when either cannot be opened (nothing is left open then).
    void Open(uint16_t port);
    void Close();
    uint16_t Port() const { return port_; }

private:
    struct TSockets;
    void Serve();
    // One step of the worker each: a newcomer, what the clients sent, and a round that
    // hands over a bounded share of each client's lines and sends their replies.
    void Accept();
    void Read(const struct fd_set& readable, const struct fd_set& writable);
    void ServeRound();

    TCommandQueue& queue_;
    TRefusalHandler onRefusal_;
    TUecpOwner uecp_;
    std::unique_ptr<TSockets> sockets_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    uint16_t port_ = 0;
};
