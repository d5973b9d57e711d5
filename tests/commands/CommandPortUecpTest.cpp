// UECP frames on the command port, with a stand-in for the window's thread: frames
// beside ASCII lines on one connection, acknowledgements by mode per connection and per
// UDP sender, requests answered with the window's state, damaged frames, and the
// address lists that the frames change.
#include "CommandPort.h"
#include "PortClient.h"
#include "StandInWindow.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (int byte : bytes) text += static_cast<char>(byte);
    return text;
}

// A frame to all sites and encoders, as an RDS server sends it.
std::string FrameOf(uint8_t sequence, const std::string& messages, TUecpAddress address = {}) {
    return EncodeUecpFrame(address, sequence, messages);
}
const std::string Bidirectional = Bytes({0x2C, 0x01});
const std::string OneWay = Bytes({0x2C, 0x00});
std::string Ack(uint8_t sequence) { return FrameOf(sequence, Bytes({0x18, 0x00})); }
std::string Nak(uint8_t sequence, TUecpCode code) {
    return FrameOf(sequence, Bytes({0x18, static_cast<int>(code), sequence}));
}
std::string Pty(int value) { return Bytes({0x07, 0x00, 0x00, value}); }

class CommandPortUecp : public ::testing::Test {
protected:
    void SetUp() override {
        TStatus status;
        status.ProgramService = "SONDEL";
        window.SetStatus(status);
        number = FreePort();
        port.Open(number);
    }

    std::vector<std::string> StoredLists() {
        std::lock_guard<std::mutex> guard(lock);
        return stored;
    }

    TTestWinsock winsock;
    TCommandQueue queue;
    TStandInWindow window{queue};
    std::mutex lock;
    TUecpAddressLists lists;
    std::vector<std::string> stored;
    TCommandPort port{queue, nullptr, [this] {
                          TUecpOwner owner;
                          owner.ChangeAddresses = [this](const TUecpOwner::TAddressChange& change) {
                              std::lock_guard<std::mutex> guard(lock);
                              const TUecpAddressLists before = lists;
                              change(lists);
                              if (lists.Sites == before.Sites && lists.Encoders == before.Encoders) return;
                              stored.push_back(FormatUecpSites(lists.Sites) + "/" +
                                               FormatUecpEncoders(lists.Encoders));
                          };
                          return owner;
                      }()};
    uint16_t number = 0;
};

TEST_F(CommandPortUecp, FramesAndLinesOnOneConnectionAreAnsweredInTheirOrder) {
    TTcpClient client(number);
    const std::string ps = Bytes({0x02, 0x00, 0x00}) + "ROCK FM ";
    client.Send("PTY=3\r\n" + FrameOf(1, Bidirectional) + FrameOf(2, ps) + "TP=1\r\n");
    EXPECT_EQ((Lines{"+ 3 "}), client.ReadLines(1));
    EXPECT_EQ(Ack(1) + Ack(2), client.ReadBytes(Ack(1).size() * 2));
    EXPECT_EQ((Lines{"+ 1 "}), client.ReadLines(1));
    EXPECT_EQ((Lines{"3 ", "0 ROCK FM ", "1 "}), window.Applied());

    // Back to one way: that frame is the last answered.
    client.Send(FrameOf(3, OneWay) + FrameOf(4, Pty(5)) + "STATUS\r\n");
    EXPECT_EQ(1u, client.ReadLines(1).size());
    EXPECT_EQ((Lines{"3 ", "0 ROCK FM ", "1 ", "5 ", "0 "}), window.Applied());
}

TEST_F(CommandPortUecp, ARequestIsAnsweredWithTheWindowsStateAndTheAcknowledgement) {
    TTcpClient client(number);
    client.Send(FrameOf(7, Bidirectional + Bytes({0x17, 0x03, 0x02, 0x00, 0x00})));
    const std::string expected = FrameOf(7, Bytes({0x02, 0x00, 0x00}) + "SONDEL  " + Bytes({0x18, 0x00}));
    EXPECT_EQ(expected, client.ReadBytes(expected.size()));
    EXPECT_TRUE(window.Applied().empty());
}

TEST_F(CommandPortUecp, DamagedFramesChangeNothingAndTheNextFrameIsRead) {
    TTcpClient client(number);
    std::string broken = FrameOf(9, Pty(4));
    broken[broken.size() - 2] = static_cast<char>(broken[broken.size() - 2] ^ 0x01);
    client.Send(FrameOf(8, Bidirectional) + broken + FrameOf(10, Pty(6)));
    const std::string expected = Ack(8) + Nak(9, TUecpCode::Crc) + Ack(10);
    EXPECT_EQ(expected, client.ReadBytes(expected.size()));
    EXPECT_EQ((Lines{"6 "}), window.Applied());
}

TEST_F(CommandPortUecp, EachUdpSenderHasItsOwnMode) {
    TUdpClient answered(number);
    TUdpClient quiet(number);
    answered.Send(FrameOf(1, Bidirectional + Pty(2)));
    EXPECT_EQ(Ack(1), answered.Receive());
    quiet.Send(FrameOf(1, Pty(8)));
    // The quiet sender is heard, never answered; the first still is.
    answered.Send(FrameOf(2, Pty(9)) + "STATUS\r\n");
    const std::string reply = answered.Receive();
    EXPECT_EQ(Ack(2), reply.substr(0, Ack(2).size()));
    EXPECT_EQ("<none>", quiet.Receive(300));
    EXPECT_EQ((Lines{"2 ", "8 ", "9 ", "0 "}), window.Applied());
}

TEST_F(CommandPortUecp, TheSiteListChangesByMessageAndDecidesWhichFramesAreOurs) {
    TTcpClient client(number);
    // Add site 5 and encoder 3, then a frame for site 6 (another's) and one for 5/3.
    client.Send(FrameOf(1, Bidirectional + Bytes({0x23, 0x01, 0x00, 0x05, 0x27, 0x01, 0x03})));
    const TUecpAddress own{5, 3};
    const std::string ack = EncodeUecpFrame(own, 1, Bytes({0x18, 0x00}));
    EXPECT_EQ(ack, client.ReadBytes(ack.size()));
    EXPECT_EQ((Lines{"5/3"}), StoredLists());
    client.Send(FrameOf(2, Pty(11), {6, 0}) + FrameOf(3, Pty(12), {5, 3}));
    const std::string second = EncodeUecpFrame(own, 3, Bytes({0x18, 0x00}));
    EXPECT_EQ(second, client.ReadBytes(second.size()));
    EXPECT_EQ((Lines{"12 "}), window.Applied());
}

}  // namespace
