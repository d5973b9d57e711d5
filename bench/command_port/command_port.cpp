// command_port: the started main window on the virtual card with its command port on
// 127.0.0.1; a client thread times, from sending its line to reading its reply, a
// one-word change of a 64-character radiotext against UPDATE (the whole image), the
// same change as a UECP frame to its acknowledgement, with the bytes each wrote, and
// 1,000 STATUS round trips.
#include "AppBench.h"

#include "Application.h"
#include "PostedMessage.h"
#include "SettingsStore.h"
#include "UecpFrame.h"
#include "UecpMessages.h"

#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace {

constexpr int Rounds = 5;
constexpr int StatusRoundTrips = 1000;
constexpr double RadioTextGoal = 0.25;
constexpr double StatusGoal = 1000;   // replies a second
// Wakes the message loop and does nothing else.
constexpr unsigned NoMessage = 0;
constexpr size_t ImageBytes = 83;
// A line the port answers "!" to by itself.
constexpr char UnknownLine[] = "NOSUCHCOMMAND";
// Two 64-character radiotexts one word apart.
const std::string TextA = "PC RADIO, NON-STOP LATEST HITS! Now: The Artist - A Song Title..";
const std::string TextB = "PC RADIO, NON-STOP LATEST POPS! Now: The Artist - A Song Title..";
// UECP frames to all sites and encoders; the texts above are the same in RDS characters.
constexpr TUecpAddress AllEncoders{};
constexpr uint8_t ModeSequence = 1;
constexpr uint8_t DataSet = 0;
constexpr uint8_t ProgramService = 0;
constexpr uint8_t NoConfiguration = 0;
// The RT message's length byte counts the configuration byte and the text.
constexpr size_t ConfigurationBytes = 1;

std::string Element(TUecpElement element) { return std::string(1, static_cast<char>(element)); }

// Bidirectional: each frame is acknowledged once what it changed is written.
std::string BidirectionalMessage() {
    return Element(TUecpElement::CommunicationMode) + static_cast<char>(TUecpMode::RequestedResponse);
}

std::string RadioTextMessage(const std::string& text) {
    return Element(TUecpElement::RadioText) + static_cast<char>(DataSet) + static_cast<char>(ProgramService) +
           static_cast<char>(ConfigurationBytes + text.size()) + static_cast<char>(NoConfiguration) + text;
}

std::string Acknowledgement(uint8_t sequence) {
    return EncodeUecpFrame(AllEncoders, sequence,
                           Element(TUecpElement::Acknowledgement) + static_cast<char>(TUecpCode::Ok));
}

class TClient {
public:
    explicit TClient(uint16_t port) : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        DWORD limit = 30000;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    }
    ~TClient() { closesocket(socket_); }
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;
    bool Connected() const { return connected_; }

    // Sends one line and reads its reply line; empty when none came.
    std::string Ask(const std::string& line) {
        const std::string sent = line + "\r\n";
        send(socket_, sent.data(), static_cast<int>(sent.size()), 0);
        for (;;) {
            const size_t end = pending_.find("\r\n");
            if (end != std::string::npos) {
                std::string reply = pending_.substr(0, end);
                pending_.erase(0, end + 2);
                return reply;
            }
            char buffer[4096];
            const int received = recv(socket_, buffer, sizeof buffer, 0);
            if (received <= 0) return {};
            pending_.append(buffer, static_cast<size_t>(received));
        }
    }

    // Sends bytes as they are and reads as many as the reply should hold; short when fewer came.
    std::string Exchange(const std::string& sent, size_t replyBytes) {
        send(socket_, sent.data(), static_cast<int>(sent.size()), 0);
        while (pending_.size() < replyBytes) {
            char buffer[4096];
            const int received = recv(socket_, buffer, sizeof buffer, 0);
            if (received <= 0) break;
            pending_.append(buffer, static_cast<size_t>(received));
        }
        std::string reply = pending_.substr(0, replyBytes);
        pending_.erase(0, reply.size());
        return reply;
    }

private:
    SOCKET socket_;
    bool connected_ = false;
    std::string pending_;
};

uint16_t FreePort() {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(probe);
    return ntohs(address.sin_port);
}

// Runs Client on its own thread while this, the window's thread, runs a message loop
// as the program's own does (waiting for each message, not polling).
void OnClient(HWND window, const std::function<void()>& client) {
    std::atomic<bool> done{false};
    std::thread thread([&] {
        client();
        done = true;
        PostToWindow(window, NoMessage);
    });
    while (!done) Application->HandleMessage();
    thread.join();
}

}  // namespace

int main() {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    TSeededRegistry registry;
    const uint16_t port = FreePort();
    SettingsStore::WriteSetting("CommandPort", SettingsStore::SettingsSubKey, std::to_string(port));
    TBenchCard bench;
    TBenchWindow window(bench);
    window.Start();
    window.Form().StartCommands();
    if (!bench.Reports.empty() || window.Form().CommandPortNumber() != port) {
        std::printf("start failed: %s\n", bench.Reports.empty() ? "no port" : bench.Reports[0].c_str());
        return 1;
    }

    std::vector<double> updateTimes;
    std::vector<double> textTimes;
    std::vector<size_t> updateBytes;
    std::vector<size_t> textBytes;
    std::vector<double> frameTimes;
    std::vector<size_t> frameBytes;
    double statusSeconds = 0;
    int statusReplies = 0;
    double unknownSeconds = 0;
    int unknownReplies = 0;
    bool allDone = true;
    OnClient(window.Form().Handle(), [&] {
        TClient client(port);
        allDone = client.Connected() && client.Ask("RT=" + TextA) == "+";
        const std::string modeAck = Acknowledgement(ModeSequence);
        allDone &= client.Exchange(EncodeUecpFrame(AllEncoders, ModeSequence, BidirectionalMessage()),
                                   modeAck.size()) == modeAck;
        for (int round = 0; round < Rounds; ++round) {
            // The window's thread writes no trace while the client waits between replies.
            size_t before = CountEvents(bench.Card, "RDS ");
            auto start = TBenchClock::now();
            allDone &= client.Ask("UPDATE") == "+";
            updateTimes.push_back(Microseconds(TBenchClock::now() - start));
            updateBytes.push_back(CountEvents(bench.Card, "RDS ") - before);

            before = CountEvents(bench.Card, "RDS ");
            start = TBenchClock::now();
            allDone &= client.Ask("RT=" + TextB) == "+";
            textTimes.push_back(Microseconds(TBenchClock::now() - start));
            textBytes.push_back(CountEvents(bench.Card, "RDS ") - before);

            // The same word changed back by a frame, to its acknowledgement.
            const uint8_t sequence = static_cast<uint8_t>(ModeSequence + 1 + round);
            const std::string frame = EncodeUecpFrame(AllEncoders, sequence, RadioTextMessage(TextA));
            const std::string ack = Acknowledgement(sequence);
            before = CountEvents(bench.Card, "RDS ");
            start = TBenchClock::now();
            allDone &= client.Exchange(frame, ack.size()) == ack;
            frameTimes.push_back(Microseconds(TBenchClock::now() - start));
            frameBytes.push_back(CountEvents(bench.Card, "RDS ") - before);
        }
        const auto start = TBenchClock::now();
        for (int trip = 0; trip < StatusRoundTrips; ++trip)
            if (client.Ask("STATUS").rfind("+\tFREQ=", 0) == 0) ++statusReplies;
        statusSeconds = Microseconds(TBenchClock::now() - start) / 1e6;
        // The same number of lines that the port refuses itself, without the window's thread.
        const auto portAlone = TBenchClock::now();
        for (int trip = 0; trip < StatusRoundTrips; ++trip)
            if (client.Ask(UnknownLine).rfind("!", 0) == 0) ++unknownReplies;
        unknownSeconds = Microseconds(TBenchClock::now() - portAlone) / 1e6;
    });

    const double update = Median(updateTimes);
    const double text = Median(textTimes);
    const double ratio = text / update;
    const double frameTime = Median(frameTimes);
    const double frameRatio = frameTime / update;
    const double perSecond = statusReplies / statusSeconds;
    const bool met = allDone && ratio <= RadioTextGoal && frameRatio <= RadioTextGoal && perSecond >= StatusGoal &&
                     statusReplies == StatusRoundTrips && CountEvents(bench.Card, "LOST ") == 0;
    std::printf("command_port (%s build) on the virtual card over 127.0.0.1 TCP, median of %d\n", BuildName(),
                Rounds);
    std::printf("  UPDATE (whole image): %.1f ms to its reply, %zu bytes written (of %zu)\n", update / 1000,
                *std::max_element(updateBytes.begin(), updateBytes.end()), ImageBytes);
    std::printf("  RT= one word changed in 64 characters: %.1f ms to its reply, %zu bytes written\n", text / 1000,
                *std::max_element(textBytes.begin(), textBytes.end()));
    std::printf("  UECP RT frame, the word changed back: %.1f ms to its acknowledgement, %zu bytes written\n",
                frameTime / 1000, *std::max_element(frameBytes.begin(), frameBytes.end()));
    std::printf("  ratio RT/UPDATE %.3f, UECP RT/UPDATE %.3f; goal: at most %.2f each (UECP/RT= %.2f)\n", ratio,
                frameRatio, RadioTextGoal, frameTime / text);
    std::printf("  STATUS: %d round trips in %.3f s, %.0f replies a second; goal: at least %.0f\n", statusReplies,
                statusSeconds, perSecond, StatusGoal);
    std::printf("  for comparison, %d lines the port refuses without the window: %.0f replies a second "
                "(STATUS / those: %.2f)\n",
                unknownReplies, unknownReplies / unknownSeconds, perSecond / (unknownReplies / unknownSeconds));
    std::printf("%s\n", met ? "goal met" : "goal NOT met");
    WSACleanup();
    return met ? 0 : 1;
}
