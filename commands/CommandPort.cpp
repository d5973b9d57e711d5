// The command port's sockets and its worker: lines in from TCP connections and UDP
// datagrams, one hand-over to the window's thread per round, the replies back.
#include "CommandPort.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <list>
#include <string>
#include <vector>

namespace {

constexpr WORD WinsockVersion = MAKEWORD(2, 2);
constexpr int ListenBacklog = 16;
// How long one wait for input lasts before the worker looks at its stop flag.
constexpr long SelectMicroseconds = 100000;
constexpr int ReceiveChunk = 4096;
// Datagrams read in one round, so that one sender's flood cannot starve the rest.
constexpr int DatagramsPerRound = 16;
constexpr int MaxDatagram = 65507;
// A client that does not read its replies is dropped once this much waits for it.
constexpr size_t MaxPendingReplies = 256 * 1024;
// How long a round's commands may wait for the window's thread to take them.
constexpr std::chrono::milliseconds ReplyLimit(30000);
constexpr char TooManyConnections[] = "- too many connections\r\n";
constexpr size_t LineEndLength = sizeof ReplyLineEnd - 1;

std::string PortError(uint16_t port, const char* step, int code) {
    return "The command port " + std::to_string(port) + " cannot be opened (" + step + "): " +
           SysErrorMessage(static_cast<unsigned long>(code));
}

// Winsock for as long as the owner lives.
class TWinsock {
public:
    TWinsock() { started_ = WSAStartup(WinsockVersion, &data_) == 0; }
    ~TWinsock() {
        if (started_) WSACleanup();
    }
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;
    bool Started() const { return started_; }

private:
    WSADATA data_{};
    bool started_ = false;
};

// A socket closed with closesocket.
class TSocket {
public:
    TSocket() = default;
    explicit TSocket(SOCKET socket) : socket_(socket) {}
    TSocket(TSocket&& other) noexcept : socket_(other.socket_) { other.socket_ = INVALID_SOCKET; }
    TSocket& operator=(TSocket&& other) noexcept {
        if (this != &other) {
            Reset();
            socket_ = other.socket_;
            other.socket_ = INVALID_SOCKET;
        }
        return *this;
    }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    ~TSocket() { Reset(); }
    void Reset() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    SOCKET Get() const { return socket_; }
    bool Valid() const { return socket_ != INVALID_SOCKET; }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void SetNonBlocking(SOCKET socket) {
    u_long on = 1;
    ioctlsocket(socket, FIONBIO, &on);
}

TSocket Bound(uint16_t port, int type, int protocol) {
    TSocket socket(::socket(AF_INET, type, protocol));
    if (!socket.Valid()) throw ECommandPortError(PortError(port, "socket", WSAGetLastError()));
    const sockaddr_in address = Loopback(port);
    if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw ECommandPortError(PortError(port, "bind", WSAGetLastError()));
    SetNonBlocking(socket.Get());
    return socket;
}

struct TConnection {
    TSocket Socket;
    TLineReader Reader;
    std::string Output;
    // The client ended its sending side: its replies go out, then the connection closes.
    bool Ending = false;
    bool Closed = false;
};

// What one round read from one client: its lines, and where their replies go.
struct TSource {
    TConnection* Connection = nullptr;
    sockaddr_in Sender{};
    std::vector<TParsedLine> Lines;
};

bool SpeaksHttp(const std::vector<TParsedLine>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const TParsedLine& line) { return line.Http; });
}

std::string HttpRefusedNotice(uint16_t port) {
    return "A web page tried to send commands to the command port " + std::to_string(port) +
           ": its connection was closed and nothing it sent was applied.";
}

// Sends what it can now; the rest waits for the socket to take it.
void Flush(TConnection& connection) {
    while (!connection.Output.empty()) {
        const int size = static_cast<int>(std::min<size_t>(connection.Output.size(), ReceiveChunk));
        const int sent = send(connection.Socket.Get(), connection.Output.data(), size, 0);
        if (sent <= 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) connection.Closed = true;
            break;
        }
        connection.Output.erase(0, static_cast<size_t>(sent));
    }
    if (connection.Output.size() > MaxPendingReplies) connection.Closed = true;
}

void SendDatagrams(SOCKET socket, const sockaddr_in& to, const std::string& replies) {
    // One datagram; only replies too big for one are cut at line ends into more.
    size_t begin = 0;
    while (begin < replies.size()) {
        size_t end = replies.size();
        if (end - begin > static_cast<size_t>(MaxDatagram)) {
            end = replies.rfind(ReplyLineEnd, begin + MaxDatagram - LineEndLength);
            end = (end == std::string::npos || end < begin) ? begin + MaxDatagram : end + LineEndLength;
        }
        sendto(socket, replies.data() + begin, static_cast<int>(end - begin), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
        begin = end;
    }
}

}  // namespace

struct TCommandPort::TSockets {
    TWinsock Winsock;
    TSocket Listener;
    TSocket Datagrams;
    std::list<TConnection> Connections;
};

TCommandPort::TCommandPort(TCommandQueue& queue, TRefusalHandler onRefusal)
    : queue_(queue), onRefusal_(std::move(onRefusal)) {}

TCommandPort::~TCommandPort() { Close(); }

void TCommandPort::Open(uint16_t port) {
    Close();
    auto sockets = std::make_unique<TSockets>();
    if (!sockets->Winsock.Started()) throw ECommandPortError(PortError(port, "WSAStartup", WSAGetLastError()));
    sockets->Listener = Bound(port, SOCK_STREAM, IPPROTO_TCP);
    if (listen(sockets->Listener.Get(), ListenBacklog) != 0)
        throw ECommandPortError(PortError(port, "listen", WSAGetLastError()));
    sockets->Datagrams = Bound(port, SOCK_DGRAM, IPPROTO_UDP);
    sockets_ = std::move(sockets);
    port_ = port;
    stop_ = false;
    worker_ = std::thread([this] { Serve(); });
}

void TCommandPort::Close() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    sockets_.reset();
    port_ = 0;
}

void TCommandPort::Serve() {
    TSockets& sockets = *sockets_;
    while (!stop_) {
        fd_set readable;
        fd_set writable;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_SET(sockets.Listener.Get(), &readable);
        FD_SET(sockets.Datagrams.Get(), &readable);
        for (TConnection& connection : sockets.Connections) {
            if (!connection.Ending) FD_SET(connection.Socket.Get(), &readable);
            if (!connection.Output.empty()) FD_SET(connection.Socket.Get(), &writable);
        }
        timeval wait{0, SelectMicroseconds};
        if (select(0, &readable, &writable, nullptr, &wait) <= 0) continue;

        if (FD_ISSET(sockets.Listener.Get(), &readable)) {
            TSocket client(accept(sockets.Listener.Get(), nullptr, nullptr));
            if (client.Valid()) {
                if (static_cast<int>(sockets.Connections.size()) >= MaxConnections) {
                    send(client.Get(), TooManyConnections, sizeof TooManyConnections - 1, 0);
                } else {
                    SetNonBlocking(client.Get());
                    // Replies are short lines that the client waits for: send each at once.
                    BOOL noDelay = TRUE;
                    setsockopt(client.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                               sizeof noDelay);
                    sockets.Connections.emplace_back();
                    sockets.Connections.back().Socket = std::move(client);
                }
            }
        }

        std::vector<TSource> sources;
        for (TConnection& connection : sockets.Connections) {
            if (FD_ISSET(connection.Socket.Get(), &writable)) Flush(connection);
            if (!FD_ISSET(connection.Socket.Get(), &readable)) continue;
            char buffer[ReceiveChunk];
            const int received = recv(connection.Socket.Get(), buffer, sizeof buffer, 0);
            if (received < 0) {
                // A half line of a client that vanished (its connection reset) is dropped with it.
                if (WSAGetLastError() != WSAEWOULDBLOCK) connection.Closed = true;
                continue;
            }
            TSource source;
            source.Connection = &connection;
            if (received == 0) {
                // The client ended its sending side: its last line ends with it, and is answered.
                connection.Ending = true;
                connection.Reader.Finish(source.Lines);
            } else {
                connection.Reader.Feed(std::string_view(buffer, static_cast<size_t>(received)), source.Lines);
            }
            if (SpeaksHttp(source.Lines)) {
                // A web page on this machine, not a client: nothing it sent is applied or answered.
                connection.Closed = true;
                if (onRefusal_) onRefusal_(HttpRefusedNotice(port_));
                continue;
            }
            if (!source.Lines.empty()) sources.push_back(std::move(source));
        }
        if (FD_ISSET(sockets.Datagrams.Get(), &readable)) {
            std::vector<char> datagram(MaxDatagram);
            for (int count = 0; count < DatagramsPerRound; ++count) {
                TSource source;
                int senderSize = sizeof source.Sender;
                const int received = recvfrom(sockets.Datagrams.Get(), datagram.data(), MaxDatagram, 0,
                                              reinterpret_cast<sockaddr*>(&source.Sender), &senderSize);
                if (received < 0) {
                    if (WSAGetLastError() == WSAEWOULDBLOCK) break;
                    continue;
                }
                TLineReader reader;
                reader.Feed(std::string_view(datagram.data(), static_cast<size_t>(received)), source.Lines);
                reader.Finish(source.Lines);
                if (!source.Lines.empty()) sources.push_back(std::move(source));
            }
        }

        std::vector<TCommand> commands;
        for (const TSource& source : sources)
            for (const TParsedLine& line : source.Lines)
                if (line.Command) commands.push_back(*line.Command);
        const std::vector<std::string> replies = queue_.Submit(commands, ReplyLimit, stop_, TWayIn::Port);
        size_t next = 0;
        for (TSource& source : sources) {
            std::string text;
            for (const TParsedLine& line : source.Lines)
                text += (line.Command ? replies[next++] : line.Reply) + ReplyLineEnd;
            if (source.Connection) {
                source.Connection->Output += text;
                Flush(*source.Connection);
            } else {
                SendDatagrams(sockets.Datagrams.Get(), source.Sender, text);
            }
        }
        for (TConnection& connection : sockets.Connections)
            if (connection.Ending && connection.Output.empty()) connection.Closed = true;
        sockets.Connections.remove_if([](const TConnection& connection) { return connection.Closed; });
    }
}
