// The command port in-process, with a stand-in for the window's thread that answers
// each command it takes: replies in order and inline refusals over TCP and UDP, who
// keeps a place on a crowded port, web pages and strangers closed, bad input, a port
// in use, closing with clients connected, and the queue giving up on a batch nobody takes.
#include "CommandPort.h"
#include "PortClient.h"
#include "StandInWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class CommandPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        number = FreePort();
        port.Open(number);
    }

    std::vector<std::string> Refusals() {
        std::lock_guard<std::mutex> guard(refusalsLock);
        return refusals;
    }
    std::vector<TCommandPort::TRefusal> RefusalKinds() {
        std::lock_guard<std::mutex> guard(refusalsLock);
        return refusalKinds;
    }

    TTestWinsock winsock;
    TCommandQueue queue;
    TStandInWindow window{queue};
    std::mutex refusalsLock;
    std::vector<std::string> refusals;
    std::vector<TCommandPort::TRefusal> refusalKinds;
    // How far the port's clock is ahead of the steady clock.
    std::atomic<int> minutesAhead{0};
    TCommandPort port{queue,
                      [this](TCommandPort::TRefusal kind, const std::string& notice) {
                          std::lock_guard<std::mutex> guard(refusalsLock);
                          refusals.push_back(notice);
                          refusalKinds.push_back(kind);
                      },
                      {},
                      [this] { return std::chrono::steady_clock::now() + std::chrono::minutes(minutesAhead.load()); }};
    uint16_t number = 0;
};

// A page's fetch(..., {method: "POST", mode: "no-cors"}) with a text/plain body, as
// headless Chromium sent it.
std::string BrowserPost(uint16_t port, const std::string& body) {
    return "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nConnection: keep-alive\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: text/plain;charset=UTF-8\r\nAccept: */*\r\nOrigin: http://localhost:8000\r\n"
           "Sec-Fetch-Mode: no-cors\r\nReferer: http://localhost:8000/\r\n\r\n" + body;
}

TEST_F(CommandPortTest, WebPageIsClosedAtItsRequestLineAndNothingItSentIsApplied) {
    TTcpClient page(number);
    page.Send(BrowserPost(number, "CARRIER=OFF\r\nPOWER=15\r\nRTFILE=C:\\windows\\win.ini\r\n"));
    EXPECT_TRUE(page.ReadLines(1, 2000).empty());
    EXPECT_TRUE(page.ClosedByPeer());
    // A form post whose request line is too long to read whole: closed at its beginning.
    TTcpClient form(number);
    form.Send("POST /" + std::string(2000, 'q') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\nCOMMANDPORT=0\r\n");
    EXPECT_TRUE(form.ReadLines(1, 2000).empty());
    EXPECT_TRUE(form.ClosedByPeer());
    // Headers that arrive in a read of their own, after the request line's.
    TTcpClient split(number);
    split.Send("OPTIONS * HTTP/1.1\r\n");
    EXPECT_TRUE(split.ClosedByPeer());
    EXPECT_TRUE(window.Applied().empty());
    EXPECT_EQ(3u, Refusals().size());
    ASSERT_FALSE(Refusals().empty());
    EXPECT_NE(std::string::npos, Refusals()[0].find("A web page")) << Refusals()[0];

    // Plain clients go on, also one that sends header-like text as radiotext.
    TTcpClient client(number);
    client.Send("RT=Host: the morning show\r\nRT=GET / HTTP/1.1\r\nPTY=3\r\n");
    EXPECT_EQ((Lines{"+ 0 Host: the morning show", "+ 0 GET / HTTP/1.1", "+ 3 "}), client.ReadLines(3));
    EXPECT_FALSE(client.ClosedByPeer(300));
}

TEST_F(CommandPortTest, LinesAlreadyReadWithTheRequestLineAreDroppedWithIt) {
    TTcpClient client(number);
    client.Send("PTY=5\r\nGET / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(client.ReadLines(1, 2000).empty());
    EXPECT_TRUE(client.ClosedByPeer());
    EXPECT_TRUE(window.Applied().empty());
}

TEST_F(CommandPortTest, TcpRepliesInOrderWithRefusalsInline) {
    TTcpClient client(number);
    ASSERT_TRUE(client.Connected());
    client.Send("PTY=5\r\nPTY=40\r\nhello\r\n\r\nRT=Now playing\nPI=0123\n");
    EXPECT_EQ((Lines{"+ 5 ", "- PTY must be 0..31", "! unknown command", "+ 0 Now playing",
                     "- PI must be four hex digits, the first 1..F"}),
              client.ReadLines(5));
    // Refused lines never reach the window.
    EXPECT_EQ((Lines{"5 ", "0 Now playing"}), window.Applied());
    client.Send("TP=1\r\n");
    EXPECT_EQ((Lines{"+ 1 "}), client.ReadLines(1));
}

TEST_F(CommandPortTest, UdpDatagramGetsAllItsRepliesInOneDatagram) {
    TUdpClient client(number);
    client.Send("PTY=3\r\nMS=7\r\nRT=last line without an end");
    EXPECT_EQ("+ 3 \r\n- MS must be 0 or 1\r\n+ 0 last line without an end\r\n", client.Receive());
    client.Send("\r\n\r\n");
    client.Send("POWER=9");
    EXPECT_EQ("+ 9 \r\n", client.Receive());
}

TEST_F(CommandPortTest, RepliesTooBigForOneDatagramAreCutAtLineEnds) {
    TUdpClient client(number);
    const std::string text(60, 'x');
    std::string datagram;
    constexpr int LineCount = 1000;
    for (int i = 0; i < LineCount; ++i) datagram += "RT=" + text + "\n";
    client.Send(datagram);
    const std::string reply = "+ 0 " + text + "\r\n";
    const std::string first = client.Receive();
    const std::string second = client.Receive();
    ASSERT_LE(first.size(), 65507u);
    EXPECT_EQ(0u, first.size() % reply.size());
    EXPECT_EQ(LineCount * reply.size(), first.size() + second.size());
    EXPECT_EQ(reply, second.substr(second.size() - reply.size()));
}

constexpr char SilentReplaced[] = "- closed: all connections were taken and this one had sent no command";
constexpr char IdleReplaced[] = "- closed: all connections were taken and this one had been idle more than 10 minutes";
constexpr char NewcomerRefused[] = "- refused: all 8 connections are taken by clients in use";

TEST_F(CommandPortTest, ThePlayoutsConnectionKeepsItsPlaceAgainstSilentOnes) {
    TTcpClient playout(number);
    playout.Send("RT=On air\r\n");
    ASSERT_EQ((Lines{"+ 0 On air"}), playout.ReadLines(1));
    // Seven take the other places; one of them sends only what is refused.
    std::vector<std::unique_ptr<TTcpClient>> silent;
    for (int i = 0; i < TCommandPort::MaxConnections - 1; ++i) silent.push_back(std::make_unique<TTcpClient>(number));
    silent[0]->Send("hello\r\nPTY=99\r\n");
    ASSERT_EQ((Lines{"! unknown command", "- PTY must be 0..31"}), silent[0]->ReadLines(2));
    // Eight more, one by one: each pushes out the oldest of those never in use.
    for (int i = 0; i < TCommandPort::MaxConnections; ++i) {
        silent.push_back(std::make_unique<TTcpClient>(number));
        EXPECT_EQ((Lines{SilentReplaced}), silent[i]->ReadLines(1)) << i;
        EXPECT_TRUE(silent[i]->ClosedByPeer()) << i;
    }
    playout.Send("PTY=3\r\n");
    EXPECT_EQ((Lines{"+ 3 "}), playout.ReadLines(1));
    EXPECT_FALSE(playout.ClosedByPeer(200));
    // The newest, once it speaks, is served too.
    silent.back()->Send("TP=1\r\n");
    EXPECT_EQ((Lines{"+ 1 "}), silent.back()->ReadLines(1));
    EXPECT_TRUE(Refusals().empty());
}

TEST_F(CommandPortTest, WhenAllAreInUseANewcomerIsRefusedUntilOneIsIdleTenMinutes) {
    std::vector<std::unique_ptr<TTcpClient>> clients;
    for (int i = 0; i < TCommandPort::MaxConnections; ++i) {
        clients.push_back(std::make_unique<TTcpClient>(number));
        clients.back()->Send("POWER=" + std::to_string(i) + "\n");
        ASSERT_EQ((Lines{"+ " + std::to_string(i) + " "}), clients.back()->ReadLines(1)) << i;
    }
    TTcpClient refused(number);
    EXPECT_EQ((Lines{NewcomerRefused}), refused.ReadLines(1));
    EXPECT_TRUE(refused.ClosedByPeer());
    EXPECT_EQ((Lines{"A client was refused on the command port " + std::to_string(number) +
                     ": all 8 connections are taken by clients in use."}),
              Refusals());
    EXPECT_EQ((std::vector<TCommandPort::TRefusal>{TCommandPort::TRefusal::Crowded}), RefusalKinds());

    // Eleven minutes on, all but 4 and 6 speak: 4, heard from before 6, makes room.
    minutesAhead = 11;
    for (int i : {0, 1, 2, 3, 5, 7}) {
        clients[i]->Send("TP=0\n");
        ASSERT_EQ((Lines{"+ 0 "}), clients[i]->ReadLines(1)) << i;
    }
    TTcpClient newcomer(number);
    EXPECT_EQ((Lines{IdleReplaced}), clients[4]->ReadLines(1));
    EXPECT_TRUE(clients[4]->ClosedByPeer());
    newcomer.Send("PTY=9\n");
    EXPECT_EQ((Lines{"+ 9 "}), newcomer.ReadLines(1));
    clients[6]->Send("STATUS\n");
    EXPECT_EQ(1u, clients[6]->ReadLines(1).size());
}

// Written out: the start of a TLS 1.2 ClientHello as a browser sends it for https://,
// followed by lines that must not be read.
const std::string ClientHello("\x16\x03\x01\x00\xc8\x01\x00\x00\xc4\x03\x03\x5a\x0d\x0aPTY=5\r\n", 21);

TEST_F(CommandPortTest, ATlsRecordOrANulFirstIsClosedUnanswered) {
    struct TCase {
        const char* Name;
        std::vector<std::string> Sends;
    };
    const std::vector<TCase> cases = {
        {"TLS ClientHello", {ClientHello}},
        {"TLS record in two reads", {"\x16", ClientHello.substr(1)}},
        {"NUL first", {std::string("\0PTY=6\r\n", 8)}},
    };
    for (const TCase& each : cases) {
        TTcpClient stranger(number);
        for (const std::string& bytes : each.Sends) {
            stranger.Send(bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_TRUE(stranger.ReadLines(1, 1000).empty()) << each.Name;
        EXPECT_TRUE(stranger.ClosedByPeer()) << each.Name;
    }
    EXPECT_TRUE(window.Applied().empty());
    ASSERT_EQ(cases.size(), Refusals().size());
    EXPECT_EQ("A program that does not speak the command language (TLS or a NUL byte first) connected to the "
              "command port " + std::to_string(number) + ": its connection was closed and nothing it sent was applied.",
              Refusals()[0]);
    for (TCommandPort::TRefusal kind : RefusalKinds()) EXPECT_EQ(TCommandPort::TRefusal::Stranger, kind);

    // 0x16 without a TLS version after it, and a NUL later on, are a client's noise.
    TTcpClient client(number);
    client.Send(std::string("\x16\x04\r\nPTY=7\r\n\0\r\n", 14));
    EXPECT_EQ((Lines{"! unknown command", "+ 7 ", "! unknown command"}), client.ReadLines(3));
    EXPECT_FALSE(client.ClosedByPeer(200));
}

TEST_F(CommandPortTest, RoundTakesABoundedShareOfEachClientsLines) {
    TTcpClient flooding(number);
    std::string flood;
    constexpr int FloodLines = 300;
    for (int i = 0; i < FloodLines; ++i) flood += "PTY=" + std::to_string(i % 32) + "\n";
    window.Hold();
    flooding.Send(flood);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    TTcpClient other(number);
    other.Send("TP=1\n");
    window.Release();
    // The other client's line is answered long before the flood is through.
    EXPECT_EQ((Lines{"+ 1 "}), other.ReadLines(1));
    EXPECT_EQ(FloodLines, static_cast<int>(flooding.ReadLines(FloodLines).size()));
    const Lines applied = window.Applied();
    const auto tp = std::find(applied.begin(), applied.end(), "1 ");
    ASSERT_NE(applied.end(), tp);
    EXPECT_LT(tp - applied.begin(), 2 * 64 + 1);
    EXPECT_GE(window.Takes(), FloodLines / 64);
}

TEST_F(CommandPortTest, DatagramOfUpdatesIsAFewRoundsAndAnsweredInOne) {
    TUdpClient client(number);
    std::string datagram;
    constexpr size_t Updates = 9000;
    for (size_t i = 0; i < Updates; ++i) datagram += "UPDATE\n";
    client.Send(datagram);
    // The stand-in answers each "+ 0 ".
    const size_t replyBytes = std::string("+ 0 \r\n").size();
    std::string replies;
    while (replies.size() < Updates * replyBytes) {
        const std::string more = client.Receive();
        if (more == "<none>") break;
        replies += more;
    }
    EXPECT_EQ(Updates * replyBytes, replies.size());
    // UPDATE weighs little: the whole datagram takes a few rounds, not thousands.
    EXPECT_LE(window.Takes(), 5);
    EXPECT_GE(window.Takes(), 2);
}

TEST_F(CommandPortTest, BinaryBytesHalfLinesAndOverLongLinesLeaveTheConnectionWorking) {
    TTcpClient client(number);
    // Every byte but the line ends, NUL last: a NUL first is a stranger's.
    std::string binary;
    for (int i = 1; i < 256; ++i)
        if (i != '\r' && i != '\n') binary += static_cast<char>(i);
    binary += '\0';
    client.Send(binary + "\n" + std::string(3000, 'R') + "\r\nPTY=1");
    // The FE among them ends the noise's line and starts a frame, which the FF ends; the
    // NUL after it is a line of its own.
    EXPECT_EQ((Lines{"! unknown command", "! unknown command", "- line longer than 1024 bytes"}),
              client.ReadLines(3));
    client.Send("1\r\n");
    EXPECT_EQ((Lines{"+ 11 "}), client.ReadLines(1));

    // A client that vanishes mid-line leaves the others served.
    {
        TTcpClient vanishing(number);
        vanishing.Send("PTY=30");
        vanishing.Abort();
    }
    client.Send("PTY=2\n");
    EXPECT_EQ((Lines{"+ 2 "}), client.ReadLines(1));
    const Lines applied = window.Applied();
    EXPECT_EQ("11 ", applied.front());
    EXPECT_NE(applied.end(), std::find(applied.begin(), applied.end(), "2 "));
}

TEST_F(CommandPortTest, LastLineWithoutItsEndIsAnsweredWhenTheClientEndsSending) {
    TTcpClient client(number);
    client.Send("PTY=4\r\nRT=last line without an end");
    EXPECT_EQ((Lines{"+ 4 "}), client.ReadLines(1));
    client.EndSending();
    EXPECT_EQ((Lines{"+ 0 last line without an end"}), client.ReadLines(1));
    EXPECT_TRUE(client.ClosedByPeer());
    EXPECT_EQ((Lines{"4 ", "0 last line without an end"}), window.Applied());
    // All in one go, as "echo RT=x | nc" sends it.
    TTcpClient once(number);
    once.Send("TP=1");
    once.EndSending();
    EXPECT_EQ((Lines{"+ 1 "}), once.ReadLines(1));
    EXPECT_TRUE(once.ClosedByPeer());
}

TEST_F(CommandPortTest, LinesThatArriveTogetherAreOneHandOver) {
    TTcpClient client(number);
    std::string burst;
    for (int i = 0; i < 20; ++i) burst += "RT=word " + std::to_string(i) + "\r\n";
    client.Send(burst);
    EXPECT_EQ(20u, client.ReadLines(20).size());
    EXPECT_EQ(20u, window.Applied().size());
    EXPECT_EQ(1, window.Takes());
}

TEST_F(CommandPortTest, PortInUseIsRefusedNamingThePort) {
    TCommandPort second(queue);
    try {
        second.Open(number);
        FAIL() << "a second port opened on " << number;
    } catch (const ECommandPortError& error) {
        EXPECT_NE(std::string::npos, std::string(error.what()).find("The command port " + std::to_string(number)))
            << error.what();
    }
    EXPECT_EQ(0, second.Port());
    // The first port still serves.
    TTcpClient client(number);
    client.Send("TP=0\n");
    EXPECT_EQ((Lines{"+ 0 "}), client.ReadLines(1));
}

TEST_F(CommandPortTest, ClosingEndsTheWorkerWithClientsConnected) {
    TTcpClient idle(number);
    TTcpClient halfLine(number);
    halfLine.Send("RT=never ended");
    TTcpClient served(number);
    served.Send("TP=1\n");
    ASSERT_EQ(1u, served.ReadLines(1).size());
    port.Close();
    EXPECT_EQ(0, port.Port());
    EXPECT_TRUE(idle.ClosedByPeer());
    EXPECT_TRUE(halfLine.ClosedByPeer());
    TTcpClient late(number);
    EXPECT_FALSE(late.Connected());
    // The number is free again.
    port.Open(number);
    TTcpClient back(number);
    back.Send("TP=0\n");
    EXPECT_EQ((Lines{"+ 0 "}), back.ReadLines(1));
}

TEST(CommandQueueTest, ABatchNobodyTakesIsWithdrawnWithAReason) {
    TCommandQueue queue;
    std::atomic<bool> stop{false};
    TCommand command;
    const Lines busy = queue.Submit({command, command}, std::chrono::milliseconds(0), stop, TWayIn::Port);
    EXPECT_EQ((Lines{"- not applied: the program is busy", "- not applied: the program is busy"}), busy);
    stop = true;
    EXPECT_EQ((Lines{"- not applied: closing"}),
              queue.Submit({command}, std::chrono::milliseconds(60000), stop, TWayIn::Port));
    // Withdrawn batches are gone: the window finds nothing to apply.
    EXPECT_TRUE(queue.Take().empty());
}

}  // namespace
