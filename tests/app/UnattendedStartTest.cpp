// A start nobody watches: without a card no change is answered as on air, a box of the
// start holds none of the ways in, and a malformed stored list index leaves a valid one.
#include "AppFixture.h"

#include "Application.h"
#include "PortClient.h"
#include "StdCtrls.h"
#include "Testing.h"
#include "VirtualCardSetup.h"
#include "VrEdit.h"
#include "VrScrollText.h"
#include "WinDrvr.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Lines = std::vector<std::string>;

constexpr int ClientMilliseconds = 10000;
// What the box's answer may take at most.
constexpr auto AnswerLimit = std::chrono::seconds(5);
constexpr char CardBox[] =
    "Unable to open Sondel card. Try to move SONDEL to another PCI slot or reinstall the driver. "
    "Last reported error: no cards found";

class UnattendedStartTest : public AppTest {
protected:
    // The window on a machine whose driver finds no card.
    void StartWithoutCard() {
        TVirtualCardConfig config = IoCardConfig();
        ApplyVirtualFault(config, TVirtualFault::NoCard);
        absent = std::make_unique<TVirtualCard>(config);
        UseDriverDevice(absent.get());
        StartReady();
    }

    std::string Reply(const std::string& line, TWayIn way = TWayIn::Port) {
        const TParsedLine parsed = ParseCommand(line);
        EXPECT_TRUE(parsed.Command.has_value()) << line;
        if (!parsed.Command) return parsed.Reply;
        const Lines replies = SubmitAsClient(*parsed.Command, way, ClientMilliseconds);
        return replies.empty() ? "<none>" : replies.front();
    }

    std::unique_ptr<TVirtualCard> absent;
};

TEST_F(UnattendedStartTest, WithoutACardChangesAreStoredAndNoneIsAnsweredAsOnAir) {
    StartWithoutCard();
    const std::string notOnAir = "- not on air: the card is not open (no cards found); stored";
    const std::vector<std::pair<const char*, std::pair<const char*, const char*>>> cases = {
        {"RT=Hello", {"RT", "Hello"}},          {"POWER=15", {"Power", "15"}},
        {"FREQ=101.0", {"Freq", "101.000MHz"}}, {"CARRIER=OFF", {"PowerOn", "No"}},
        {"CARRIER=ON", {"PowerOn", "Yes"}},      {"STEREO=ON", {"Stereo", "Yes"}},
        {"PTY=10", {"PTY", "10"}},               {"UPDATE", {"PTY", "10"}},
    };
    for (const auto& [line, stored] : cases) {
        EXPECT_EQ(notOnAir, Reply(line)) << line;
        EXPECT_EQ(stored.second, Stored(stored.first)) << line;
    }
    EXPECT_EQ("Hello", form->VrStrEdit2->Text());
    const std::string status = Reply("STATUS");
    EXPECT_NE(std::string::npos, status.find("\tFREQ=101.000\tPOWER=15\tCARRIER=ON\tSTEREO=ON\tPTY=10\t")) << status;
    EXPECT_EQ(status.size() - 25, status.rfind("\tCARD=NONE no cards found")) << status;
    EXPECT_EQ(0u, form->VrScrollText1->Text().find("The card is not open (no cards found)"))
        << form->VrScrollText1->Text();

    const Lines log = LogLines();
    for (const std::string& line : log) {
        EXPECT_EQ(std::string::npos, line.find("Carrier on")) << line;
        EXPECT_EQ(std::string::npos, line.find("Tuned to")) << line;
        EXPECT_EQ(std::string::npos, line.find("written")) << line;
    }
    const Lines expectedLines = {"start        Card not opened: no cards found", "start        Carrier switched off: stored, not on air: no card",
          "port         Frequency 101.000 MHz, power 15: stored, not on air: no card",
          "port         Carrier switched on: stored, not on air: no card", "port         Stereo: stored, not on air: no card",
          "port         Update RDS: PS \"PC RADIO\", RT \"Hello\", PTY 10 Pop music, PI 1000, TP 0, M/S 0, "
          "character set ANSI: stored, not on air: no card",
          std::string("start        ") + CardBox};
    for (const std::string& expected : expectedLines)
        EXPECT_NE(log.end(), std::find(log.begin(), log.end(), expected)) << expected;
    // The first write names every field, as a first write on air does.
    const std::string radioText = "RT \"Hello\", PTY 0 Undefined, PI 1000, TP 0, M/S 0, character set ANSI: stored, not on air: no card";
    EXPECT_EQ(1, std::count_if(log.begin(), log.end(), [&](const std::string& line) {
                  return line.rfind("port         RDS: PS \"PC RADIO\", ", 0) == 0 && line.find(radioText) != std::string::npos;
              }));
}

TEST_F(UnattendedStartTest, WhileTheStartsBoxWaitsThePortAnswersAndAppliesNothing) {
    TTestWinsock winsock;
    const uint16_t port = FreePort();
    Seed("CommandPort", std::to_string(port));
    Lines replies;
    std::chrono::steady_clock::duration took{};
    std::string radioTextInTheBox;
    Application->MessageBoxHook = [&](const std::string& text, const std::string&, unsigned) {
        messageBoxes.push_back(text);
        // The box's own loop runs while a client connects and sends.
        std::atomic<bool> done{false};
        std::thread client([&] {
            const auto sent = std::chrono::steady_clock::now();
            TTcpClient connection(port);
            connection.Send("RT=In the box\r\nSTATUS\r\n");
            replies = connection.ReadLines(2, ClientMilliseconds);
            took = std::chrono::steady_clock::now() - sent;
            done = true;
        });
        Testing::PumpUntil([&] { return done.load(); }, ClientMilliseconds);
        client.join();
        radioTextInTheBox = form->VrStrEdit2->Text();
        return MsgBox::IdOk;
    };
    StartWithoutCard();

    ASSERT_EQ((Lines{CardBox}), messageBoxes);
    const std::string starting = std::string("- starting: a message waits on the screen: \"") + CardBox + "\"";
    EXPECT_EQ((Lines{starting, starting}), replies);
    EXPECT_LT(took, AnswerLimit);
    EXPECT_NE("In the box", radioTextInTheBox);
    EXPECT_NE("In the box", Stored("RT"));
    // Logged as the start's, with the port that opened before the box.
    const Lines log = LogLines();
    const auto opened = std::find(log.begin(), log.end(), "start        Command port " + std::to_string(port) + " opened");
    const auto box = std::find(log.begin(), log.end(), std::string("start        ") + CardBox);
    ASSERT_NE(log.end(), opened);
    EXPECT_LT(opened, box);
    // Sent again once the start is done: applied.
    TTcpClient again(port);
    Lines later;
    OnClient(
        [&] {
            again.Send("RT=After the box\r\n");
            later = again.ReadLines(1, ClientMilliseconds);
        },
        ClientMilliseconds);
    EXPECT_EQ((Lines{"- not on air: the card is not open (no cards found); stored"}), later);
    EXPECT_EQ("After the box", Stored("RT"));
}

TEST_F(UnattendedStartTest, StartReportsAsNoticesShowNoBox) {
    Seed("StartReports", "Notice");
    Seed("PTY", "abc");
    StartWithoutCard();
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_TRUE(reports.empty());
    const std::string notice = form->VrScrollText1->Text();
    EXPECT_EQ(0u, notice.find("'abc' is not a valid integer value")) << notice;
    const Lines log = LogLines();
    for (const std::string& expected : {std::string("start        ") + CardBox,
                                       std::string("start        'abc' is not a valid integer value")})
        EXPECT_EQ(1, std::count(log.begin(), log.end(), expected)) << expected;
}

TEST_F(UnattendedStartTest, MalformedStoredListIndexesKeepTheFirstStartsValue) {
    for (const char* name : {"PTY", "PIA", "PIP", "TP", "MS"}) Seed(name, "abc");
    StartReady();
    EXPECT_EQ(5u, reports.size());
    const std::string status = Reply("STATUS");
    EXPECT_NE(std::string::npos, status.find("\tPTY=0\tTP=0\tMS=0\tPI=1000\t")) << status;
    EXPECT_EQ("+", Reply("UPDATE"));
    const Lines writes = card.Trace().EventsStartingWith({"RDS"});
    ASSERT_GE(writes.size(), 83u);
    for (const std::string& line : writes) EXPECT_EQ(std::string::npos, line.find(" 255")) << line;
}

}  // namespace
