// The command port: TCP and UDP on 127.0.0.1 (or on every IPv4 address, for the senders
// the allow-list names) at one port number, served by one worker thread that hands every
// command to the window's thread through the queue.
// Both take the ASCII lines and UECP frames; a connection or a sender may mix them.
#pragma once

#include "AddressAllowList.h"
#include "CommandQueue.h"
#include "SysUtils.h"
#include "UecpExchange.h"

#include <atomic>
#include <chrono>
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
    // A connection silent this long may make room for a newcomer even if it was in use.
    static constexpr std::chrono::minutes IdleLimit{10};

    // Why a connection was closed or refused before anything it sent was applied.
    enum class TRefusal {
        // It spoke HTTP: a web page.
        WebPage,
        // Its first bytes were a TLS record or a NUL byte.
        Stranger,
        // All connections were taken by clients in use.
        Crowded
    };
    // Told (on the worker thread, which it must not hold up) each time a connection is refused.
    using TRefusalHandler = std::function<void(TRefusal refusal, const std::string& notice)>;
    // What the port takes for now: when a client was last heard from, how long it was idle.
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    // Without a clock, the steady clock.
    explicit TCommandPort(TCommandQueue& queue, TRefusalHandler onRefusal = nullptr, TUecpOwner uecp = {},
                          TClock clock = nullptr);
    // Closes the port: the worker ends, also with clients connected.
    ~TCommandPort();
    TCommandPort(const TCommandPort&) = delete;
    TCommandPort& operator=(const TCommandPort&) = delete;

    // Told (on the worker thread) each time a sender the allow-list does not name is
    // refused: a connection closed at accept or a datagram dropped.
    using TAddressRefusalHandler = std::function<void(uint32_t address)>;

    // Listens on 127.0.0.1:Port for TCP and UDP and starts the worker; with a non-empty
    // Allowed on every IPv4 address, serving only 127.0.0.1 and Allowed's senders. Raises
    // ECommandPortError when either cannot be opened (nothing is left open then).
    void Open(uint16_t port, TAddressAllowList allowed = {}, TAddressRefusalHandler onAddressRefused = nullptr);
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
    // The sender is 127.0.0.1 or one the allow-list names; a refused one is reported.
    bool Admits(const struct sockaddr_in& peer) const;

    TCommandQueue& queue_;
    TRefusalHandler onRefusal_;
    TUecpOwner uecp_;
    TClock clock_;
    std::unique_ptr<TSockets> sockets_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    uint16_t port_ = 0;
    TAddressAllowList allowed_;
    TAddressRefusalHandler onAddressRefused_;
};
