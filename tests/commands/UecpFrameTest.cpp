// UECP frames written out byte by byte: the CRC's check value, stuffing both ways,
// frames split and joined, every kind of damage, and ASCII lines beside frames.
#include "UecpFrame.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (int byte : bytes) text += static_cast<char>(byte);
    return text;
}

// PS "ROCK FM " to site 0, encoder 0, sequence counter 1.
const std::string RockFm = Bytes({0xFE, 0x00, 0x00, 0x01, 0x0B, 0x02, 0x00, 0x00, 'R', 'O', 'C', 'K', ' ', 'F', 'M',
                                  ' ', 0xC7, 0xCA, 0xFF});
const std::string RockFmMessages = Bytes({0x02, 0x00, 0x00, 'R', 'O', 'C', 'K', ' ', 'F', 'M', ' '});
// PTY 11, sequence counter 2.
const std::string Rock = Bytes({0xFE, 0x00, 0x00, 0x02, 0x04, 0x07, 0x00, 0x00, 0x0B, 0x2C, 0xC1, 0xFF});
// PI FEFF under sequence counter FD: the counter and both PI bytes are stuffed.
const std::string StuffedPi = Bytes({0xFE, 0x00, 0x00, 0xFD, 0x00, 0x05, 0x01, 0x00, 0x00, 0xFD, 0x01, 0xFD, 0x02,
                                     0xE5, 0x71, 0xFF});

std::vector<TUecpFrame> Read(const std::vector<std::string>& chunks, bool finish = false) {
    TUecpFrameReader reader;
    std::vector<TUecpFrame> frames;
    for (const std::string& chunk : chunks) reader.Feed(chunk, frames);
    if (finish) reader.Finish(frames);
    return frames;
}

std::vector<std::string> EachByte(const std::string& bytes) {
    std::vector<std::string> chunks;
    for (char c : bytes) chunks.emplace_back(1, c);
    return chunks;
}

void ExpectRockFm(const TUecpFrame& frame) {
    EXPECT_EQ(frame.Damage, TUecpCode::Ok);
    EXPECT_TRUE(frame.HasHeader);
    EXPECT_EQ(frame.Address.Site, 0);
    EXPECT_EQ(frame.Address.Encoder, 0);
    EXPECT_EQ(frame.Sequence, 1);
    EXPECT_EQ(frame.Messages, RockFmMessages);
}

}  // namespace

TEST(UecpCrc, IsCrc16CcittStartingAtFFFFInverted) {
    // The check value of this CRC (CRC-16/GENIBUS) over "123456789".
    EXPECT_EQ(UecpCrc("123456789"), 0xD64E);
    EXPECT_EQ(UecpCrc(""), 0x0000);
    EXPECT_EQ(UecpCrc(Bytes({0x00, 0x00, 0x01, 0x02, 0x18, 0x00})), 0x63E1);
}

TEST(UecpFrameEncoder, WritesAddressSequenceLengthMessagesCrcAndStuffs) {
    EXPECT_EQ(EncodeUecpFrame({0, 0}, 0x01, RockFmMessages), RockFm);
    EXPECT_EQ(EncodeUecpFrame({0, 0}, 0xFD, Bytes({0x01, 0x00, 0x00, 0xFE, 0xFF})), StuffedPi);
    // Site 5, encoder 3: 5 << 6 | 3 = 0x0143; the CRC's FE is stuffed.
    EXPECT_EQ(EncodeUecpFrame({5, 3}, 0x07, Bytes({0x18, 0x00})),
              Bytes({0xFE, 0x01, 0x43, 0x07, 0x02, 0x18, 0x00, 0xFD, 0x01, 0x62, 0xFF}));
    // Site 1023, encoder 63, no message: the address and the CRC (FFFF) are stuffed.
    EXPECT_EQ(EncodeUecpFrame({1023, 63}, 0x00, ""),
              Bytes({0xFE, 0xFD, 0x02, 0xFD, 0x02, 0x00, 0x00, 0xFD, 0x02, 0xFD, 0x02, 0xFF}));
}

TEST(UecpFrameReader, FindsAWholeFrameOneSplitByteByByteAndJoinedOnes) {
    std::vector<TUecpFrame> frames = Read({RockFm});
    ASSERT_EQ(frames.size(), 1u);
    ExpectRockFm(frames[0]);

    frames = Read(EachByte(RockFm));
    ASSERT_EQ(frames.size(), 1u);
    ExpectRockFm(frames[0]);

    // Two frames in one chunk, then one cut in the middle of its stuffing.
    frames = Read({RockFm + Rock + StuffedPi.substr(0, 10), StuffedPi.substr(10)});
    ASSERT_EQ(frames.size(), 3u);
    ExpectRockFm(frames[0]);
    EXPECT_EQ(frames[1].Sequence, 2);
    EXPECT_EQ(frames[1].Messages, Bytes({0x07, 0x00, 0x00, 0x0B}));
    EXPECT_EQ(frames[2].Damage, TUecpCode::Ok);
    EXPECT_EQ(frames[2].Sequence, 0xFD);
    EXPECT_EQ(frames[2].Messages, Bytes({0x01, 0x00, 0x00, 0xFE, 0xFF}));
}

TEST(UecpFrameReader, ReadsTheAddressesBits) {
    const std::vector<TUecpFrame> frames =
        Read({Bytes({0xFE, 0xFD, 0x02, 0xFD, 0x02, 0x00, 0x00, 0xFD, 0x02, 0xFD, 0x02, 0xFF}),
              Bytes({0xFE, 0x01, 0x43, 0x07, 0x02, 0x18, 0x00, 0xFD, 0x01, 0x62, 0xFF})});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::Ok);
    EXPECT_EQ(frames[0].Address.Site, 1023);
    EXPECT_EQ(frames[0].Address.Encoder, 63);
    EXPECT_EQ(frames[0].Messages, "");
    EXPECT_EQ(frames[1].Address.Site, 5);
    EXPECT_EQ(frames[1].Address.Encoder, 3);
    EXPECT_EQ(frames[1].Sequence, 7);
}

TEST(UecpFrameReader, BytesBeforeAStartAreSkipped) {
    const std::vector<TUecpFrame> frames = Read({Bytes({0x00, 0x41, 0xFF, 0xFD, 0x0D}) + RockFm});
    ASSERT_EQ(frames.size(), 1u);
    ExpectRockFm(frames[0]);
}

TEST(UecpFrameReader, ABadCrcIsReportedWithTheHeader) {
    std::string bad = RockFm;
    bad[bad.size() - 2] = 0x00;
    std::vector<TUecpFrame> frames = Read({bad + Rock});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::Crc);
    EXPECT_TRUE(frames[0].HasHeader);
    EXPECT_EQ(frames[0].Sequence, 1);
    EXPECT_EQ(frames[0].Messages, "");
    EXPECT_EQ(frames[1].Damage, TUecpCode::Ok);
    // A changed message byte too.
    bad = RockFm;
    bad[8] = 'r';
    frames = Read({bad});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::Crc);
}

TEST(UecpFrameReader, BadStuffingIsReported) {
    // FD 03 in the message field.
    std::vector<TUecpFrame> frames =
        Read({Bytes({0xFE, 0x00, 0x00, 0x05, 0x02, 0x18, 0xFD, 0x03, 0x00, 0x00, 0xFF}) + Rock});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::BadStuffing);
    EXPECT_TRUE(frames[0].HasHeader);
    EXPECT_EQ(frames[0].Sequence, 5);
    EXPECT_EQ(frames[1].Damage, TUecpCode::Ok);
    // An escape right before STP.
    frames = Read({Bytes({0xFE, 0x00, 0x00, 0x06, 0x00, 0x11, 0xFD, 0xFF})});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::BadStuffing);
    EXPECT_EQ(frames[0].Sequence, 6);
}

TEST(UecpFrameReader, ALengthThatDoesNotMatchIsAFieldLengthError) {
    // MFL 3 over two message bytes, and MFL 1 over two.
    for (int length : {0x03, 0x01}) {
        const std::string frame = Bytes({0xFE, 0x00, 0x00, 0x04, length, 0x18, 0x00, 0x12, 0x34, 0xFF});
        const std::vector<TUecpFrame> frames = Read({frame});
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].Damage, TUecpCode::FieldLength) << length;
        EXPECT_EQ(frames[0].Sequence, 4);
    }
    // No room for MFL and CRC.
    std::vector<TUecpFrame> frames = Read({Bytes({0xFE, 0x00, 0x00, 0x04, 0x00, 0x2E, 0xFF})});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::FieldLength);
    EXPECT_TRUE(frames[0].HasHeader);
    // Not even a sequence counter: the frame cannot be answered.
    frames = Read({Bytes({0xFE, 0x00, 0x00, 0xFF})});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].HasHeader);
}

TEST(UecpFrameReader, AFrameCutShortByTheNextStartIsAnUnexpectedEnd) {
    const std::vector<TUecpFrame> frames = Read({RockFm.substr(0, 9), Rock});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::UnexpectedEnd);
    EXPECT_TRUE(frames[0].HasHeader);
    EXPECT_EQ(frames[0].Sequence, 1);
    EXPECT_EQ(frames[0].Messages, "");
    EXPECT_EQ(frames[1].Damage, TUecpCode::Ok);
    EXPECT_EQ(frames[1].Sequence, 2);
}

TEST(UecpFrameReader, TheEndOfADatagramCutsAFrameShort) {
    std::vector<TUecpFrame> frames = Read({RockFm.substr(0, 12)}, true);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::UnexpectedEnd);
    EXPECT_EQ(frames[0].Sequence, 1);
    // After an escape, and with nothing open.
    frames = Read({Bytes({0xFE, 0x00, 0x00, 0x03, 0xFD})}, true);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::UnexpectedEnd);
    EXPECT_TRUE(Read({RockFm}, true).size() == 1u);
}

TEST(UecpFrameReader, AFrameLongerThanItsFieldsIsGivenUpAtOnce) {
    // MFL 2: address, counter, MFL, two message bytes and the CRC are 8 bytes; the 9th is not STP.
    TUecpFrameReader reader;
    std::vector<TUecpFrame> frames;
    reader.Feed(Bytes({0xFE, 0x00, 0x00, 0x08, 0x02, 0x18, 0x00, 0x12, 0x34, 'x'}), frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::FieldLength);
    EXPECT_EQ(frames[0].Sequence, 8);
    EXPECT_TRUE(reader.GaveUp());
    // Alone, the reader waits for the next STA: the given-up frame's STP is skipped.
    reader.Feed(Bytes({'y', 0xFF, 0x00}) + RockFm, frames);
    ASSERT_EQ(frames.size(), 2u);
    ExpectRockFm(frames[1]);
    EXPECT_TRUE(reader.Idle());
    // MFL 255 bounds the longest frame: 261 bytes, every one of them stuffed, are still one.
    std::string stuffed = Bytes({0xFE});
    for (int i = 0; i < 261; ++i) stuffed += Bytes({0xFD, 0x02});
    frames = Read({stuffed + Bytes({0xFF})});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::Crc);
    // An STA where STP was due cuts the frame short and begins the next.
    std::string noStop = RockFm;
    noStop.pop_back();
    frames = Read({noStop + Rock});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::UnexpectedEnd);
    EXPECT_EQ(frames[1].Damage, TUecpCode::Ok);
    EXPECT_EQ(frames[1].Sequence, 2);
}

namespace {

// Each thing received as "line:<reply or command text>" or "frame:<sequence>:<damage>".
std::vector<std::string> Received(const std::vector<std::string>& chunks, bool finish = false) {
    TReceivedReader reader;
    std::vector<TReceived> received;
    for (const std::string& chunk : chunks) reader.Feed(chunk, received);
    if (finish) reader.Finish(received);
    std::vector<std::string> shown;
    for (const TReceived& item : received) {
        if (item.Line) {
            shown.push_back("line:" + (item.Line->Command ? item.Line->Command->Text : item.Line->Reply));
        } else if (item.Frame) {
            shown.push_back("frame:" + std::to_string(item.Frame->Sequence) + ":" +
                            std::to_string(static_cast<int>(item.Frame->Damage)));
        }
    }
    return shown;
}

using TShown = std::vector<std::string>;

}  // namespace

TEST(ReceivedReader, LinesAndFramesInArrivalOrder) {
    EXPECT_EQ(Received({"PS=AB\r\n" + RockFm + "RT=cd\n" + Rock + Rock}),
              (TShown{"line:AB", "frame:1:0", "line:cd", "frame:2:0", "frame:2:0"}));
    // Split anywhere, a line's end and a frame's bytes included.
    TShown split = Received(EachByte("PS=AB\r\n" + RockFm + "RT=cd\r\n"));
    EXPECT_EQ(split, (TShown{"line:AB", "frame:1:0", "line:cd"}));
    // A frame first, then a line; a datagram's last line needs no line end.
    EXPECT_EQ(Received({RockFm + "RT=ef"}, true), (TShown{"frame:1:0", "line:ef"}));
}

TEST(ReceivedReader, AStartByteInsideALineIsText) {
    // "þ" is 0xFE in code page 1252.
    EXPECT_EQ(Received({"RT=\xFEor\r\n" + RockFm}), (TShown{"line:\xFEor", "frame:1:0"}));
}

TEST(ReceivedReader, DamagedFramesAreReportedAndLinesGoOn) {
    std::string bad = RockFm;
    bad[bad.size() - 2] = 0x00;
    EXPECT_EQ(Received({bad + "PS=x\n"}), (TShown{"frame:1:1", "line:x"}));
    EXPECT_EQ(Received({RockFm.substr(0, 9) + Rock + "PS=y\n"}), (TShown{"frame:1:13", "frame:2:0", "line:y"}));
    EXPECT_EQ(Received({RockFm.substr(0, 9)}, true), (TShown{"frame:1:13"}));
    // After a frame given up for its length, the rest of its line is skipped.
    const std::string overlong = Bytes({0xFE, 0x00, 0x00, 0x08}) + std::string(600, 'x');
    EXPECT_EQ(Received({overlong + "\r\nPS=kept\r\n" + RockFm + "PS=z\n"}),
              (TShown{"frame:8:8", "line:kept", "frame:1:0", "line:z"}));
}

TEST(ReceivedReader, FindsItsWayBackAfterStrayBytesNoiseAndGivenUpFrames) {
    const std::string unknown = "line:! unknown command";
    std::string noStop = RockFm;
    noStop.back() = 'Z';
    // A stray FE before an ASCII client's lines: "TP" is the address, "=" the counter (61)
    // and "1" the MFL (49): the frame takes 55 bytes, gives up at the 56th, and the
    // lines after that line's end are read again.
    const std::string strayStart = "\xFETP=1\r\nRT=" + std::string(60, 'a') + "\r\nPS=AFTER\r\n";
    const struct {
        const char* Name;
        std::string Bytes;
        TShown Shown;
    } cases[] = {
        {"a stray 00 before a frame", Bytes({0x00}) + RockFm, {unknown, "frame:1:0"}},
        {"a stray 00 between frames", RockFm + Bytes({0x00}) + Rock, {"frame:1:0", unknown, "frame:2:0"}},
        {"noise before a frame", Bytes({0x13, 0x88, 'q', 0x7F, 0xFD, 0x0D, 0xF0, 0x01}) + RockFm,
         {unknown, unknown, "frame:1:0"}},
        {"an empty line before a frame", "PS=AB\r\n\r\n" + RockFm, {"line:AB", "frame:1:0"}},
        {"blanks before a frame", " \t" + RockFm, {"frame:1:0"}},
        {"a start that is no command's", "XYZ" + RockFm, {unknown, "frame:1:0"}},
        {"a stray FE before ASCII lines", strayStart, {"frame:61:8", "line:AFTER"}},
        {"a thorn in a radiotext", "RT=\xDE\xF3r \xFE\xFA\r\n" + RockFm, {"line:\xDE\xF3r \xFE\xFA", "frame:1:0"}},
        {"a thorn after spaced names", " rt = \xFE\r\nps =x\xFE\r\n", {"line: \xFE", "line:x\xFE"}},
        {"a thorn in a name being typed", "STAT\xFE\r\nPS \xFE\r\n", {unknown, unknown}},
        {"a frame longer than its MFL", Bytes({0xFE, 0x00, 0x00, 0x04, 0x01, 0x18, 0x00, 0x12, 0x34, 0xFF}) + Rock,
         {"frame:4:8", "frame:2:0"}},
        {"the byte after the CRC is not FF", noStop + "\r\nPS=next\r\n" + Rock,
         {"frame:1:8", "line:next", "frame:2:0"}},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(Received({test.Bytes}), test.Shown) << test.Name;
        EXPECT_EQ(Received(EachByte(test.Bytes)), test.Shown) << test.Name << ", byte by byte";
    }
}
