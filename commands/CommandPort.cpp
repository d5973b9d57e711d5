// The command port's sockets and its worker: lines in from TCP connections and UDP
// datagrams, one hand-over to the window's thread per round, the replies back.
#include "CommandPort.h"

#include "SystemCause.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <deque>
#include <list>
#include <map>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr WORD WinsockVersion = MAKEWORD(2, 2);
constexpr int ListenBacklog = 16;
// How long one wait for input lasts before the worker looks at its stop flag.
constexpr long SelectMicroseconds = 100000;
constexpr int ReceiveChunk = 4096;
// Datagrams read in one round, so that one sender's flood cannot starve the rest.
constexpr int DatagramsPerRound = 16;
// Datagrams read and not yet answered; more wait in the system's buffer meanwhile.
constexpr size_t MaxPendingDatagrams = 4;
constexpr int MaxDatagram = 65507;
// What one round takes from one client (a connection or a datagram), so that the window
// answers everybody, a click and a close between rounds: lines weighed by what they make
// the window do. A line that changes a control weighs as much as this many that do not
// (UPDATE, STATUS, a refusal): repeated UPDATEs of one round make one whole-image write.
constexpr size_t ChangingLineWeight = 64;
constexpr size_t WeightPerClientPerRound = 64 * ChangingLineWeight;
// A client that does not read its replies is dropped once this much waits for it.
constexpr size_t MaxPendingReplies = 256 * 1024;
// How long a round's commands may wait for the window's thread to take them.
constexpr std::chrono::milliseconds ReplyLimit(30000);
// UDP senders whose UECP mode is kept; the one heard from least recently makes room.
constexpr size_t MaxDatagramPeers = 64;
constexpr char SilentConnectionReplaced[] =
    "- closed: all connections were taken and this one had sent no command\r\n";
const std::string IdleConnectionReplaced = "- closed: all connections were taken and this one had been idle more than " +
                                           std::to_string(TCommandPort::IdleLimit.count()) + " minutes\r\n";
const std::string NewcomerRefused =
    "- refused: all " + std::to_string(TCommandPort::MaxConnections) + " connections are taken by clients in use\r\n";
// A connection's first bytes that no command client sends: a NUL, and a TLS record's
// type (handshake) and major version.
constexpr char Nul = '\0';
constexpr char TlsHandshake = 0x16;
constexpr char TlsMajorVersion = 0x03;
constexpr size_t StrangerHeadLength = 2;
constexpr size_t LineEndLength = sizeof ReplyLineEnd - 1;

std::string PortError(uint16_t port, const char* step, int code) {
    return "The command port " + std::to_string(port) + " cannot be opened (" + step + "): " + WinsockCause(code) +
           ".";
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

sockaddr_in Listening(uint16_t port, bool everyAddress) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(everyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    return address;
}

void SetNonBlocking(SOCKET socket) {
    u_long on = 1;
    ioctlsocket(socket, FIONBIO, &on);
}

TSocket Bound(uint16_t port, int type, int protocol, bool everyAddress) {
    TSocket socket(::socket(AF_INET, type, protocol));
    if (!socket.Valid()) throw ECommandPortError(PortError(port, "socket", WSAGetLastError()));
    const sockaddr_in address = Listening(port, everyAddress);
    if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw ECommandPortError(PortError(port, "bind", WSAGetLastError()));
    SetNonBlocking(socket.Get());
    return socket;
}

using TTime = std::chrono::steady_clock::time_point;

// A sender's address as the log names it: empty for 127.0.0.1, this machine itself.
std::string SenderText(const sockaddr_in& sender) {
    const uint32_t address = ntohl(sender.sin_addr.s_addr);
    return address == INADDR_LOOPBACK ? std::string() : AddressText(address);
}

struct TConnection {
    TSocket Socket;
    // The client's address as the log names it; empty for this machine.
    std::string Sender;
    TReceivedReader Reader;
    TUecpPeer Peer;
    // Lines and frames read and not yet handed over; nothing more is read while any wait.
    std::deque<TReceived> Pending;
    std::string Output;
    TTime Opened;
    // When the client last sent something (or connected).
    TTime LastHeard;
    // The first bytes it sent, as far as they tell a stranger.
    std::string Head;
    // A command it sent was applied or answered, or it sent an intact UECP frame: a
    // client at work, which a newcomer does not push out.
    bool InUse = false;
    // The client ended its sending side: its replies go out, then the connection closes.
    bool Ending = false;
    bool Closed = false;
};

// A datagram read: its lines and frames not yet handed over, and the replies of those that were.
struct TDatagram {
    sockaddr_in Sender{};
    std::deque<TReceived> Pending;
    std::string Replies;
};

// A UDP sender, by address and port.
using TSenderKey = std::pair<uint32_t, uint16_t>;
TSenderKey KeyOf(const sockaddr_in& sender) { return {sender.sin_addr.s_addr, sender.sin_port}; }

struct TDatagramPeer {
    TUecpPeer Peer;
    TTime LastHeard;
};

// What one round takes from one client: its lines and frames, and where their replies go.
struct TSource {
    TConnection* Connection = nullptr;
    TDatagram* Datagram = nullptr;
    std::vector<TReceived> Received;
};

bool SpeaksHttp(const std::vector<TReceived>& received) {
    return std::any_of(received.begin(), received.end(),
                       [](const TReceived& item) { return item.Line && item.Line->Http; });
}

size_t Weight(const TReceived& item) {
    // A frame may set every field at once.
    if (!item.Line) return ChangingLineWeight;
    if (!item.Line->Command) return 1;
    const TCommandName name = item.Line->Command->Name;
    return name == TCommandName::Update || name == TCommandName::Status ? 1 : ChangingLineWeight;
}

// What this round takes of one client's: at least one line or frame, up to the round's weight.
std::vector<TReceived> TakeForRound(std::deque<TReceived>& pending) {
    std::vector<TReceived> taken;
    size_t weight = 0;
    while (!pending.empty() && (taken.empty() || weight + Weight(pending.front()) <= WeightPerClientPerRound)) {
        weight += Weight(pending.front());
        taken.push_back(std::move(pending.front()));
        pending.pop_front();
    }
    return taken;
}

void Configure(SOCKET client) {
    SetNonBlocking(client);
    // Replies are short lines that the client waits for: send each at once.
    BOOL noDelay = TRUE;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
}

std::string HttpRefusedNotice(uint16_t port) {
    return "A web page tried to send commands to the command port " + std::to_string(port) +
           ": its connection was closed and nothing it sent was applied.";
}

std::string StrangerRefusedNotice(uint16_t port) {
    return "A program that does not speak the command language (TLS or a NUL byte first) connected to the "
           "command port " + std::to_string(port) + ": its connection was closed and nothing it sent was applied.";
}

std::string CrowdedNotice(uint16_t port) {
    return "A client was refused on the command port " + std::to_string(port) + ": all " +
           std::to_string(TCommandPort::MaxConnections) + " connections are taken by clients in use.";
}

// True once the connection's first bytes are a TLS record or a NUL; Head takes them.
bool StartsAsStranger(std::string& head, std::string_view bytes) {
    head.append(bytes.substr(0, StrangerHeadLength - std::min(head.size(), StrangerHeadLength)));
    if (head.empty()) return false;
    return head[0] == Nul || (head.size() >= StrangerHeadLength && head[0] == TlsHandshake && head[1] == TlsMajorVersion);
}

// The connection that makes room for a newcomer: the oldest of those not in use (the
// list is in the order they came), else the one idle longest past the idle limit; none
// when all are in use and heard from lately.
std::list<TConnection>::iterator MakingRoom(std::list<TConnection>& connections, TTime now) {
    const auto silent = std::find_if(connections.begin(), connections.end(),
                                     [](const TConnection& connection) { return !connection.InUse; });
    if (silent != connections.end()) return silent;
    const auto idlest = std::min_element(connections.begin(), connections.end(),
                                         [](const TConnection& a, const TConnection& b) {
                                             return a.LastHeard < b.LastHeard;
                                         });
    if (idlest == connections.end() || now - idlest->LastHeard <= TCommandPort::IdleLimit) return connections.end();
    return idlest;
}

void SendNow(SOCKET socket, const std::string& text) { send(socket, text.data(), static_cast<int>(text.size()), 0); }

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
    std::list<TDatagram> PendingDatagrams;
    std::map<TSenderKey, TDatagramPeer> DatagramPeers;

    // The sender's UECP state, made for a newcomer in the place of the one heard from least recently.
    TUecpPeer& PeerOf(const sockaddr_in& sender, TTime now) {
        const TSenderKey key = KeyOf(sender);
        auto found = DatagramPeers.find(key);
        if (found == DatagramPeers.end()) {
            if (DatagramPeers.size() >= MaxDatagramPeers)
                DatagramPeers.erase(std::min_element(DatagramPeers.begin(), DatagramPeers.end(),
                                                     [](const auto& a, const auto& b) {
                                                         return a.second.LastHeard < b.second.LastHeard;
                                                     }));
            found = DatagramPeers.emplace(key, TDatagramPeer{}).first;
        }
        found->second.LastHeard = now;
        return found->second.Peer;
    }
};

TCommandPort::TCommandPort(TCommandQueue& queue, TRefusalHandler onRefusal, TUecpOwner uecp, TClock clock)
    : queue_(queue),
      onRefusal_(std::move(onRefusal)),
      uecp_(WithCodePage(std::move(uecp))),
      clock_(clock ? std::move(clock) : TClock([] { return std::chrono::steady_clock::now(); })) {}

TCommandPort::~TCommandPort() { Close(); }

void TCommandPort::Open(uint16_t port, TAddressAllowList allowed, TAddressRefusalHandler onAddressRefused) {
    Close();
    allowed_ = std::move(allowed);
    onAddressRefused_ = std::move(onAddressRefused);
    const bool everyAddress = !allowed_.Empty();
    auto sockets = std::make_unique<TSockets>();
    if (!sockets->Winsock.Started()) throw ECommandPortError(PortError(port, "WSAStartup", WSAGetLastError()));
    sockets->Listener = Bound(port, SOCK_STREAM, IPPROTO_TCP, everyAddress);
    if (listen(sockets->Listener.Get(), ListenBacklog) != 0)
        throw ECommandPortError(PortError(port, "listen", WSAGetLastError()));
    sockets->Datagrams = Bound(port, SOCK_DGRAM, IPPROTO_UDP, everyAddress);
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
        const bool waiting = !sockets.PendingDatagrams.empty() ||
                             std::any_of(sockets.Connections.begin(), sockets.Connections.end(),
                                         [](const TConnection& connection) { return !connection.Pending.empty(); });
        fd_set readable;
        fd_set writable;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_SET(sockets.Listener.Get(), &readable);
        if (sockets.PendingDatagrams.size() < MaxPendingDatagrams) FD_SET(sockets.Datagrams.Get(), &readable);
        for (TConnection& connection : sockets.Connections) {
            if (!connection.Ending && connection.Pending.empty()) FD_SET(connection.Socket.Get(), &readable);
            if (!connection.Output.empty()) FD_SET(connection.Socket.Get(), &writable);
        }
        // Lines that wait are served at once; otherwise the wait ends now and then to look at the stop flag.
        timeval wait{0, waiting ? 0 : SelectMicroseconds};
        if (select(0, &readable, &writable, nullptr, &wait) <= 0) {
            if (!waiting) continue;
            FD_ZERO(&readable);
            FD_ZERO(&writable);
        }
        if (FD_ISSET(sockets.Listener.Get(), &readable)) Accept();
        Read(readable, writable);
        ServeRound();
    }
}

void TCommandPort::Accept() {
    TSockets& sockets = *sockets_;
    sockaddr_in peer{};
    int peerSize = sizeof peer;
    TSocket client(accept(sockets.Listener.Get(), reinterpret_cast<sockaddr*>(&peer), &peerSize));
    if (!client.Valid()) return;
    // Closed before a byte is read, and before it can take another's place.
    if (!Admits(peer)) return;
    const TTime now = clock_();
    if (static_cast<int>(sockets.Connections.size()) >= MaxConnections) {
        // Silent or leaked connections make room; the playout's own connection keeps its place.
        const auto room = MakingRoom(sockets.Connections, now);
        if (room == sockets.Connections.end()) {
            SendNow(client.Get(), NewcomerRefused);
            if (onRefusal_) onRefusal_(TRefusal::Crowded, CrowdedNotice(port_));
            return;
        }
        SendNow(room->Socket.Get(), room->InUse ? IdleConnectionReplaced : std::string(SilentConnectionReplaced));
        sockets.Connections.erase(room);
    }
    Configure(client.Get());
    sockets.Connections.emplace_back();
    TConnection& connection = sockets.Connections.back();
    connection.Socket = std::move(client);
    connection.Sender = SenderText(peer);
    connection.Opened = now;
    connection.LastHeard = now;
}

bool TCommandPort::Admits(const sockaddr_in& peer) const {
    const uint32_t address = ntohl(peer.sin_addr.s_addr);
    // Bound to 127.0.0.1 alone, the port hears nobody else.
    if (allowed_.Empty() || (peer.sin_family == AF_INET && allowed_.Allows(address))) return true;
    if (onAddressRefused_) onAddressRefused_(address);
    return false;
}

void TCommandPort::Read(const struct fd_set& readable, const struct fd_set& writable) {
    TSockets& sockets = *sockets_;
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
        connection.LastHeard = clock_();
        const std::string_view bytes(buffer, static_cast<size_t>(received));
        if (StartsAsStranger(connection.Head, bytes)) {
            // A browser asking for https:// or a program probing ports: not a client.
            connection.Closed = true;
            connection.Pending.clear();
            if (onRefusal_) onRefusal_(TRefusal::Stranger, StrangerRefusedNotice(port_));
            continue;
        }
        std::vector<TReceived> lines;
        if (received == 0) {
            // The client ended its sending side: its last line ends with it, and is answered.
            connection.Ending = true;
            connection.Reader.Finish(lines);
        } else {
            connection.Reader.Feed(bytes, lines);
        }
        if (SpeaksHttp(lines)) {
            // A web page on this machine, not a client: nothing it sent is applied or answered.
            connection.Closed = true;
            connection.Pending.clear();
            if (onRefusal_) onRefusal_(TRefusal::WebPage, HttpRefusedNotice(port_));
            continue;
        }
        for (TReceived& line : lines) connection.Pending.push_back(std::move(line));
    }
    if (!FD_ISSET(sockets.Datagrams.Get(), &readable)) return;
    std::vector<char> bytes(MaxDatagram);
    for (int count = 0; count < DatagramsPerRound && sockets.PendingDatagrams.size() < MaxPendingDatagrams; ++count) {
        TDatagram datagram;
        int senderSize = sizeof datagram.Sender;
        const int received = recvfrom(sockets.Datagrams.Get(), bytes.data(), MaxDatagram, 0,
                                      reinterpret_cast<sockaddr*>(&datagram.Sender), &senderSize);
        if (received < 0) {
            if (WSAGetLastError() == WSAEWOULDBLOCK) break;
            continue;
        }
        if (!Admits(datagram.Sender)) continue;
        TReceivedReader reader;
        std::vector<TReceived> lines;
        reader.Feed(std::string_view(bytes.data(), static_cast<size_t>(received)), lines);
        reader.Finish(lines);
        if (lines.empty()) continue;
        datagram.Pending.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
        sockets.PendingDatagrams.push_back(std::move(datagram));
    }
}

void TCommandPort::ServeRound() {
    TSockets& sockets = *sockets_;
    std::vector<TSource> sources;
    for (TConnection& connection : sockets.Connections) {
        if (connection.Closed || connection.Pending.empty()) continue;
        TSource source;
        source.Connection = &connection;
        source.Received = TakeForRound(connection.Pending);
        sources.push_back(std::move(source));
    }
    int datagrams = 0;
    for (TDatagram& datagram : sockets.PendingDatagrams) {
        if (datagrams++ == DatagramsPerRound) break;
        TSource source;
        source.Datagram = &datagram;
        source.Received = TakeForRound(datagram.Pending);
        sources.push_back(std::move(source));
    }

    // The frames of the round are read in arrival order, each source's under the lists' lock.
    std::vector<TUecpExchange> exchanges;
    exchanges.reserve(sources.size());
    bool needsStatus = false;
    std::vector<TCommand> commands;
    std::vector<std::string> senders;
    for (TSource& source : sources) {
        if (source.Connection && std::any_of(source.Received.begin(), source.Received.end(), [](const TReceived& item) {
                return item.Frame && item.Frame->Damage == TUecpCode::Ok;
            }))
            source.Connection->InUse = true;
        TUecpPeer& peer =
            source.Connection ? source.Connection->Peer : sockets.PeerOf(source.Datagram->Sender, clock_());
        exchanges.emplace_back(std::move(source.Received), peer, uecp_);
        exchanges.back().AddCommands(commands);
        senders.resize(commands.size(),
                       source.Connection ? source.Connection->Sender : SenderText(source.Datagram->Sender));
        needsStatus = needsStatus || exchanges.back().NeedsStatus();
    }
    const TCommandQueue::TSubmitted submitted =
        queue_.SubmitForStatus(commands, ReplyLimit, stop_, TWayIn::Port, needsStatus, std::move(senders));
    size_t next = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        const size_t first = next;
        const std::string text = exchanges[i].Answer(submitted.Replies, next, submitted.Status);
        if (sources[i].Connection) {
            const auto replies = submitted.Replies.begin();
            const size_t end = std::min(next, submitted.Replies.size());
            if (first < end && std::any_of(replies + static_cast<std::ptrdiff_t>(first),
                                           replies + static_cast<std::ptrdiff_t>(end), IsDoneReply))
                sources[i].Connection->InUse = true;
            sources[i].Connection->Output += text;
            Flush(*sources[i].Connection);
        } else {
            sources[i].Datagram->Replies += text;
        }
    }
    // A datagram is answered in one go once every line of it is.
    sockets.PendingDatagrams.remove_if([&sockets](const TDatagram& datagram) {
        if (!datagram.Pending.empty()) return false;
        SendDatagrams(sockets.Datagrams.Get(), datagram.Sender, datagram.Replies);
        return true;
    });
    for (TConnection& connection : sockets.Connections)
        if (connection.Ending && connection.Pending.empty() && connection.Output.empty()) connection.Closed = true;
    sockets.Connections.remove_if([](const TConnection& connection) { return connection.Closed; });
}
