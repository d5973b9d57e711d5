// Clients of the command port for tests, on 127.0.0.1 only: a TCP connection and a
// UDP socket, each read with a bounded wait.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>
#include <vector>

// Winsock for the test's lifetime.
class TTestWinsock {
public:
    TTestWinsock();
    ~TTestWinsock();
    TTestWinsock(const TTestWinsock&) = delete;
    TTestWinsock& operator=(const TTestWinsock&) = delete;
};

// A port number that nothing on 127.0.0.1 uses now.
uint16_t FreePort();

class TTestSocket {
public:
    TTestSocket(int type, int protocol);
    ~TTestSocket();
    TTestSocket(const TTestSocket&) = delete;
    TTestSocket& operator=(const TTestSocket&) = delete;
    SOCKET Get() const { return socket_; }
    // Hands the socket over; this owner closes nothing then.
    SOCKET Release() {
        const SOCKET socket = socket_;
        socket_ = INVALID_SOCKET;
        return socket;
    }

private:
    SOCKET socket_;
};

class TTcpClient {
public:
    explicit TTcpClient(uint16_t port);
    bool Connected() const { return connected_; }
    void Send(const std::string& bytes);
    // Ends the sending side (the peer reads the end); replies can still be read.
    void EndSending();
    // Ends the connection with a reset, as a client that vanishes does.
    void Abort();
    // Reads until Count lines (ended by CR LF) are in, the peer closes, or Milliseconds
    // pass; the lines without their ends.
    std::vector<std::string> ReadLines(size_t count, int milliseconds = 5000);
    // Reads until Count bytes are in (more that came with them stay for the next read),
    // the peer closes, or Milliseconds pass.
    std::string ReadBytes(size_t count, int milliseconds = 5000);
    // Whether the peer closed the connection within Milliseconds.
    bool ClosedByPeer(int milliseconds = 5000);

private:
    TTestSocket socket_;
    bool connected_ = false;
    std::string pending_;
};

class TUdpClient {
public:
    explicit TUdpClient(uint16_t port);
    void Send(const std::string& bytes);
    // The next datagram within Milliseconds, or "<none>".
    std::string Receive(int milliseconds = 5000);

private:
    TTestSocket socket_;
    uint16_t port_;
};
