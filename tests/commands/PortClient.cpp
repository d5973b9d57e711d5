// Test clients of the command port.
#include "PortClient.h"

#include <chrono>

namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Readable(SOCKET socket, int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) > 0;
}

int RemainingMilliseconds(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

TTestWinsock::TTestWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

TTestWinsock::~TTestWinsock() { WSACleanup(); }

uint16_t FreePort() {
    TTestSocket probe(SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(0);
    bind(probe.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

TTestSocket::TTestSocket(int type, int protocol) : socket_(socket(AF_INET, type, protocol)) {}

TTestSocket::~TTestSocket() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

TTcpClient::TTcpClient(uint16_t port) : socket_(SOCK_STREAM, IPPROTO_TCP) {
    const sockaddr_in address = Loopback(port);
    connected_ = connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void TTcpClient::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int now = send(socket_.Get(), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (now <= 0) return;
        sent += static_cast<size_t>(now);
    }
}

std::string TTcpClient::ReadBytes(size_t count, int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (pending_.size() < count && Readable(socket_.Get(), RemainingMilliseconds(deadline))) {
        char buffer[4096];
        const int received = recv(socket_.Get(), buffer, sizeof buffer, 0);
        if (received <= 0) break;
        pending_.append(buffer, static_cast<size_t>(received));
    }
    const std::string bytes = pending_.substr(0, count);
    pending_.erase(0, bytes.size());
    return bytes;
}

std::vector<std::string> TTcpClient::ReadLines(size_t count, int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::vector<std::string> lines;
    for (;;) {
        size_t end;
        while (lines.size() < count && (end = pending_.find("\r\n")) != std::string::npos) {
            lines.push_back(pending_.substr(0, end));
            pending_.erase(0, end + 2);
        }
        if (lines.size() >= count) return lines;
        if (!Readable(socket_.Get(), RemainingMilliseconds(deadline))) return lines;
        char buffer[4096];
        const int received = recv(socket_.Get(), buffer, sizeof buffer, 0);
        if (received <= 0) return lines;
        pending_.append(buffer, static_cast<size_t>(received));
    }
}

void TTcpClient::EndSending() { shutdown(socket_.Get(), SD_SEND); }

void TTcpClient::Abort() {
    linger abortive{1, 0};
    setsockopt(socket_.Get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    closesocket(socket_.Release());
}

bool TTcpClient::ClosedByPeer(int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (!Readable(socket_.Get(), RemainingMilliseconds(deadline))) return false;
        char buffer[4096];
        if (recv(socket_.Get(), buffer, sizeof buffer, 0) <= 0) return true;
    }
}

TUdpClient::TUdpClient(uint16_t port) : socket_(SOCK_DGRAM, IPPROTO_UDP), port_(port) {
    const sockaddr_in address = Loopback(0);
    bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

void TUdpClient::Send(const std::string& bytes) {
    const sockaddr_in address = Loopback(port_);
    sendto(socket_.Get(), bytes.data(), static_cast<int>(bytes.size()), 0,
           reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

std::string TUdpClient::Receive(int milliseconds) {
    if (!Readable(socket_.Get(), milliseconds)) return "<none>";
    char buffer[65536];
    const int received = recv(socket_.Get(), buffer, sizeof buffer, 0);
    return received < 0 ? "<none>" : std::string(buffer, static_cast<size_t>(received));
}
