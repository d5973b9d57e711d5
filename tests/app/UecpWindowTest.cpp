// UECP and the serial line in the main window: frames acting through the controls as
// the ASCII commands do, the address lists restored, stored and logged, and the serial
// line's setting taken from the command line only, its failures in the notice area.
#include "AppFixture.h"

#include "PortClient.h"
#include "Testing.h"
#include "UecpFrame.h"
#include "VrEdit.h"
#include "VrScrollText.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

constexpr int ClientMilliseconds = 10000;
constexpr int SettleMilliseconds = 3000;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (int byte : bytes) text += static_cast<char>(byte);
    return text;
}
const std::string Bidirectional = Bytes({0x2C, 0x01});
std::string Ack(uint8_t sequence, TUecpAddress own = {}) {
    return EncodeUecpFrame(own, sequence, Bytes({0x18, 0x00}));
}

bool HasLine(const Lines& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

class UecpWindowTest : public AppTest {
protected:
    // What one connection got back for Sent, read until Count bytes or Milliseconds.
    std::string Exchange(const std::string& sent, size_t count, int milliseconds = ClientMilliseconds / 2) {
        std::string got;
        OnClient(
            [&] {
                TTcpClient client(number);
                client.Send(sent);
                got = client.ReadBytes(count, milliseconds);
            },
            ClientMilliseconds);
        return got;
    }
    // Started ready with the command port open.
    void StartWithPort() {
        number = FreePort();
        Seed("CommandPort", std::to_string(number));
        StartReady();
    }
    Lines Submit(const std::string& line, TWayIn way) {
        const TParsedLine parsed = ParseCommand(line);
        EXPECT_TRUE(parsed.Command.has_value()) << line;
        return parsed.Command ? SubmitAsClient(*parsed.Command, way, ClientMilliseconds) : Lines{};
    }
    std::string Notice() { return form->VrScrollText1->Text(); }

    TTestWinsock winsock;
    uint16_t number = 0;
};

TEST_F(UecpWindowTest, FramesActThroughTheControlsAreStoredAndGoOnAirBeforeTheirAcknowledgement) {
    StartWithPort();
    const std::string frames = EncodeUecpFrame({}, 1, Bidirectional) +
                               EncodeUecpFrame({}, 2, Bytes({0x02, 0x00, 0x00}) + "ROCK FM " +
                                                          Bytes({0x07, 0x00, 0x00, 0x0A}));
    const std::string acks = Ack(1) + Ack(2);
    EXPECT_EQ(acks, Exchange(frames, acks.size()));
    EXPECT_EQ("ROCK FM ", form->VrStrEdit1->Text());
    EXPECT_EQ("ROCK FM ", Stored("PS"));
    EXPECT_EQ("10", Stored("PTY"));
    // The first write of the run is the whole image, and it holds the new PS.
    std::string image;
    for (uint32_t address = 0; address < TVirtualRdsMemory::Size; ++address) image += static_cast<char>(card.RdsMemory().Byte(address));
    EXPECT_NE(std::string::npos, image.find("ROCK FM ")) << "the PS is on air";
    EXPECT_TRUE(HasLine(LogLines(), "port")) << "the frames are logged from the port";
}

TEST_F(UecpWindowTest, AFrameThatSetsTheListsStoresThemAndTheLogSaysSo) {
    StartWithPort();
    const std::string frame = EncodeUecpFrame({}, 3, Bidirectional + Bytes({0x23, 0x01, 0x00, 0x05, 0x27, 0x01, 0x02}));
    const std::string ack = Ack(3, {5, 2});
    EXPECT_EQ(ack, Exchange(frame, ack.size()));
    Testing::PumpUntil([&] { return Stored("UecpEncoders") == "2"; }, SettleMilliseconds);
    EXPECT_EQ("5", Stored("UecpSites"));
    EXPECT_EQ("2", Stored("UecpEncoders"));
    EXPECT_TRUE(HasLine(LogLines(), "UECP addresses set: sites \"5\", encoders \"2\""));
    // Frames for another site are another encoder's from now on.
    const std::string theirs = EncodeUecpFrame({6, 0}, 4, Bytes({0x07, 0x00, 0x00, 0x03}));
    const std::string ours = EncodeUecpFrame({5, 2}, 5, Bidirectional + Bytes({0x07, 0x00, 0x00, 0x04}));
    EXPECT_EQ(Ack(5, {5, 2}), Exchange(theirs + ours, Ack(5, {5, 2}).size()));
    EXPECT_EQ("4", Stored("PTY"));
}

TEST_F(UecpWindowTest, InTheRdsSetUecpTextCodesGoOnAirAsSentAndAgainAfterARestart) {
    constexpr UINT WesternCodePage = 1252;
    if (GetACP() != WesternCodePage) GTEST_SKIP() << "the system code page is " << GetACP();
    constexpr uint32_t ProgramServiceAt = 0x10;
    // "Kőrös FM": code page 1252 lacks the o with double acute (0xA7), not the o with diaeresis (0x97).
    const std::string codes = Bytes({'K', 0xA7, 'r', 0x97, 's', ' ', 'F', 'M'});
    const std::string shown = "K?r\xF6s FM";
    const auto programService = [&] {
        std::string bytes;
        for (uint32_t k = 0; k < ProgramServiceLength; ++k)
            bytes += static_cast<char>(card.RdsMemory().Byte(ProgramServiceAt + k));
        return bytes;
    };
    Seed("RdsCharacterSet", "RDS");
    StartWithPort();
    const std::string frames = EncodeUecpFrame({}, 1, Bidirectional + Bytes({0x02, 0x00, 0x00}) + codes +
                                                          Bytes({0x17, 0x03, 0x02, 0x00, 0x00}));
    const std::string answer = EncodeUecpFrame({}, 1, Bytes({0x02, 0x00, 0x00}) + codes + Bytes({0x18, 0x00}));
    EXPECT_EQ(answer, Exchange(frames, answer.size())) << "the request is answered with the codes as sent";
    EXPECT_EQ(codes, programService());
    EXPECT_EQ(shown, form->VrStrEdit1->Text());
    EXPECT_EQ(shown, Stored("PS"));
    EXPECT_EQ("4BA772977320464D", Stored("PSCodes"));

    // A restart writes the same codes; a stored text that another program changed goes as typed.
    const struct {
        std::string Text;
        std::string Memory;
    } restarts[] = {{shown, codes}, {"K?r\xF6s FX", Bytes({'K', '?', 'r', 0x97, 's', ' ', 'F', 'X'})}};
    for (const auto& restart : restarts) {
        Close();
        form.reset();
        Seed("PS", restart.Text);
        StartWithPort();
        EXPECT_EQ((Lines{"+"}), Submit("UPDATE", TWayIn::Port));
        EXPECT_EQ(restart.Memory, programService()) << restart.Text;
    }
    // Typing over the text drops the codes and their setting.
    form->VrStrEdit1->SetText("PLAIN FM");
    EXPECT_EQ("", Stored("PSCodes"));
}

TEST_F(UecpWindowTest, StoredListsAreInForceAtStartAndAMalformedOneIsReportedAndKept) {
    Seed("UecpSites", "7");
    Seed("UecpEncoders", "64");
    StartWithPort();
    EXPECT_EQ(0u, Notice().find("The setting UecpEncoders holds \"64\"")) << Notice();
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_EQ("64", Stored("UecpEncoders")) << "a malformed value is not overwritten at the start";
    const std::string frame = EncodeUecpFrame({7, 0}, 9, Bidirectional);
    EXPECT_EQ(Ack(9, {7, 0}), Exchange(frame, Ack(9, {7, 0}).size()));
    constexpr int QuietMilliseconds = 500;
    EXPECT_EQ("", Exchange(EncodeUecpFrame({8, 0}, 10, Bidirectional), 1, QuietMilliseconds));
}

TEST_F(UecpWindowTest, SerialPortIsSetFromTheCommandLineOnlyAndItsFailureGoesToTheNoticeArea) {
    StartReady();
    EXPECT_EQ((Lines{"- SERIALPORT is set on the command line"}), Submit("SERIALPORT=COM250", TWayIn::Port));
    EXPECT_EQ("<absent>", Stored("SerialPort"));

    EXPECT_EQ((Lines{"+"}), Submit("SERIALPORT=COM250:19200", TWayIn::CommandLine));
    EXPECT_EQ("COM250:19200", Stored("SerialPort"));
    // There is no such port: reported where the operator sees it, never in a box.
    Testing::PumpUntil([&] { return Notice().find("COM250") != std::string::npos; }, SettleMilliseconds);
    EXPECT_EQ(0u, Notice().find("The serial line COM250 cannot be opened (CreateFile)")) << Notice();
    EXPECT_TRUE(messageBoxes.empty());

    const Lines refused = Submit("SERIALPORT=LPT1", TWayIn::CommandLine);
    ASSERT_EQ(1u, refused.size());
    EXPECT_EQ(0u, refused[0].find("- The serial line setting \"LPT1\" is not valid")) << refused[0];
    EXPECT_EQ("COM250:19200", Stored("SerialPort"));

    EXPECT_EQ((Lines{"+"}), Submit("SERIALPORT=", TWayIn::CommandLine));
    EXPECT_EQ("", Stored("SerialPort"));
    EXPECT_EQ(std::string::npos, Notice().find("COM250")) << "closing the line clears its notice";
    const Lines log = LogLines();
    EXPECT_TRUE(HasLine(log, "Serial line COM250:19200 opened"));
    EXPECT_TRUE(HasLine(log, "Serial line COM250:19200 fails: The serial line COM250 cannot be opened"));
    EXPECT_TRUE(HasLine(log, "Serial line COM250:19200 closed"));
}

TEST_F(UecpWindowTest, AMalformedSerialPortSettingIsReportedAndTheProgramRunsOn) {
    Seed("SerialPort", "COM");
    StartReady();
    EXPECT_EQ(0u, Notice().find("The setting SerialPort holds \"COM\", which is not opened")) << Notice();
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_EQ("COM", Stored("SerialPort"));
    EXPECT_EQ((Lines{"+"}), Submit("TP=1", TWayIn::Port));
}

}  // namespace
