// Commands applied through the main window on the virtual card: each through its
// control and handler (stored, sent, shown), the RDS memory written once per burst
// with only the changed bytes, replies after the write, the command port's
// setting at start and moved by COMMANDPORT, and commands from the command line.
#include "AppFixture.h"
#include "PortClient.h"

#include "CommandLine.h"
#include "CommandPipe.h"
#include "CommandPort.h"
#include "StdCtrls.h"
#include "Testing.h"
#include "VrCheckLed.h"
#include "VrEdit.h"
#include "VrMatrix.h"
#include "VrScrollText.h"
#include "VrTrackBar.h"

#include <algorithm>
#include <windows.h>

#include <fstream>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Lines = std::vector<std::string>;
// The RDS memory as the trace's writes left it: address -> value.
using Memory = std::map<int, int>;

constexpr int ClientMilliseconds = 10000;
// What the window posts to itself when commands wait in its queue.
constexpr UINT CommandsQueuedMessage = WM_USER + 1;
const std::string DesignRadioText = "PC RADIO, NON-STOP LATEST HITS!";

// The memory the image table gives for these values (texts padded with spaces).
Memory ImageOf(int pty, int tp, int ms, int countryIndex, int reference, const std::string& ps,
               const std::string& rt) {
    Memory memory{{0x04, pty}, {0x05, tp},          {0x06, 0}, {0x07, ms}, {0x08, countryIndex + 1},
                  {0x09, reference}, {0x0A, 1}, {0x0B, 0}, {0x0C, 1}, {0x0D, 1}, {0x0E, pty}};
    const auto character = [](const std::string& text, size_t k) {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : ' ';
    };
    for (size_t k = 0; k < 8; ++k) memory[0x10 + static_cast<int>(k)] = character(ps, k);
    for (size_t k = 0; k < 32; ++k) memory[0x100 + static_cast<int>(k)] = character(rt, k);
    for (size_t k = 0; k < 32; ++k) memory[0x200 + static_cast<int>(k)] = character(rt, 32 + k);
    return memory;
}

void Replay(const Lines& rdsLines, Memory& memory) {
    for (const std::string& line : rdsLines) {
        int address = 0;
        int value = 0;
        ASSERT_EQ(2, std::sscanf(line.c_str(), "RDS %d %d", &address, &value)) << line;
        memory[address] = value;
    }
}

class CommandsTest : public AppTest {
protected:
    // Started powered off, commands running, a later start's pipe served under PipeName.
    void StartServingPipe(const std::string& pipeName) {
        form = std::make_unique<TfoMain>(nullptr);
        form->SetCommandPipeName(pipeName);
        Seed("PowerOn", "No");
        form->FormCreate(form.get());
        form->FormActivate(form.get());
        form->StartCommands();
    }

    // Hands the lines over from another thread, as a transport does, while this (the
    // window's) thread handles its messages; the replies, and how many RDS writes the
    // trace held when they came back.
    Lines Submit(const Lines& lines, TWayIn from = TWayIn::Port) {
        std::vector<TCommand> commands;
        for (const std::string& line : lines) {
            const TParsedLine parsed = ParseCommand(line);
            EXPECT_TRUE(parsed.Command.has_value()) << line;
            if (parsed.Command) commands.push_back(*parsed.Command);
        }
        Lines replies;
        OnClient([&] {
            std::atomic<bool> stop{false};
            replies = form->Commands().Submit(commands, std::chrono::milliseconds(ClientMilliseconds), stop, from);
            writesAtReply = RdsLines().size();
        });
        return replies;
    }

    void OnClient(const std::function<void()>& client) { AppTest::OnClient(client, ClientMilliseconds); }

    Lines RdsLines() { return card.Trace().EventsStartingWith({"RDS", "LOST"}); }

    // A pipe name of this process and test alone.
    static std::string TestPipeName() {
        return "\\\\.\\pipe\\SondelAppTest." + std::to_string(GetCurrentProcessId()) + "." +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }

    // A later start with Arguments, against this window; what it printed and its exit status.
    int LaterStart(const std::string& pipeName, const Lines& arguments, Lines& printed) {
        return HandOverToRunningCopy(pipeName, arguments,
                                     [&printed](const std::string& reply) { printed.push_back(reply); });
    }

    size_t writesAtReply = 0;
};

TEST_F(CommandsTest, FirstCommandWriteOfTheRunIsTheWholeImage) {
    StartReady();
    EXPECT_EQ((Lines{"+"}), Submit({"PS=ROCK FM"}));
    const Lines writes = RdsLines();
    ASSERT_EQ(83u, writes.size());
    EXPECT_EQ("RDS 4 0", writes.front());
    EXPECT_EQ("RDS 16 82", writes[11]);
    EXPECT_EQ("RDS 543 32", writes.back());
    Memory memory;
    Replay(writes, memory);
    EXPECT_EQ(ImageOf(0, 0, 0, 0, 0, "ROCK FM", DesignRadioText), memory);
    EXPECT_EQ("ROCK FM", form->VrStrEdit1->Text());
    EXPECT_EQ("ROCK FM", Stored("PS"));
    EXPECT_EQ(83u, writesAtReply);
}

TEST_F(CommandsTest, BurstOfRadioTextsIsOneWriteOfOnlyTheChangedBytes) {
    StartReady();
    form->Button1Click(form->Button1);
    const Lines whole = RdsLines();
    ASSERT_EQ(83u, whole.size());
    card.Trace().ClearEvents();

    const std::string final = "PC RADIO, NON-STOP LATEST POPS!";
    EXPECT_EQ((Lines{"+", "+", "+", "+"}),
              Submit({"RT=Artist One - First Song", "RT=Artist Two - Second Song", "TEXT=Something else",
                      "RT=" + final}));
    // "HITS" became "POPS": three bytes (the S stays), no write of an intermediate text.
    EXPECT_EQ((Lines{"RDS 282 80", "RDS 283 79", "RDS 284 80"}), RdsLines());
    EXPECT_EQ(3u, writesAtReply);
    EXPECT_EQ(final, form->VrStrEdit2->Text());
    EXPECT_EQ(final, Stored("RT"));

    Memory memory;
    Replay(whole, memory);
    Replay(RdsLines(), memory);
    EXPECT_EQ(ImageOf(0, 0, 0, 0, 0, "PC RADIO", final), memory);
    EXPECT_TRUE(card.Trace().EventsStartingWith({"LOST"}).empty());
}

TEST_F(CommandsTest, ListFieldsThroughTheirHandlersAndStatusAfterThem) {
    StartReady();
    form->Button1Click(form->Button1);
    card.Trace().ClearEvents();
    const Lines replies = Submit({"PTY=10", "PI=D223", "TP=1", "MS=1", "PS=ROCK FM", "STATUS"});
    EXPECT_EQ((Lines{"+", "+", "+", "+", "+",
                     "+\tFREQ=100.000\tPOWER=4\tCARRIER=OFF\tSTEREO=OFF\tPTY=10\tTP=1\tMS=1\tPI=D223"
                     "\tPS=ROCK FM\tRT=" + DesignRadioText + "\tRTFILE=\tCHARSET=ANSI\tRTFORMAT=\tRTSKIP=\tRTIDLE=0,"
                     "\tWEAR=1,4,-\tCOMMANDPORT=0\tALLOW=\tCARD=OPEN"}),  // answered before the round's write
              replies);
    EXPECT_EQ((Lines{"RDS 4 10", "RDS 5 1", "RDS 7 1", "RDS 8 13", "RDS 9 35", "RDS 14 10", "RDS 16 82",
                     "RDS 17 79", "RDS 18 67", "RDS 19 75", "RDS 20 32", "RDS 21 70", "RDS 22 77", "RDS 23 32"}),
              RdsLines());
    const std::map<std::string, std::string> stored = {{"PTY", "10"}, {"PIC", "12"}, {"PIA", "2"},
                                                       {"PIP", "35"}, {"TP", "1"},   {"MS", "1"}};
    for (const auto& setting : stored) EXPECT_EQ(setting.second, Stored(setting.first)) << setting.first;
    EXPECT_EQ(10, form->ComboBox1->ItemIndex());
    EXPECT_EQ(12, form->ComboBox2->ItemIndex());
    EXPECT_EQ(2, form->ComboBox3->ItemIndex());
    EXPECT_EQ(35, form->ComboBox4->ItemIndex());
}

TEST_F(CommandsTest, TypingBetweenCommandsGoesOnAirWithTheNextCommand) {
    StartReady();
    EXPECT_EQ((Lines{"+"}), Submit({"RT=On air"}));
    card.Trace().ClearEvents();
    // Typed, not sent: only the setting follows the edit, as without commands.
    form->VrStrEdit2->SetText("On ai");
    EXPECT_EQ("On ai", Stored("RT"));
    EXPECT_TRUE(RdsLines().empty());
    // The next field command writes what differs from the memory: its own byte and the typed one.
    EXPECT_EQ((Lines{"+"}), Submit({"TP=1"}));
    EXPECT_EQ((Lines{"RDS 5 1", "RDS 261 32"}), RdsLines());
}

TEST_F(CommandsTest, RefusedAndFailingCommandsChangeNothingAndWriteNothing) {
    StartReady();
    form->Button1Click(form->Button1);
    card.Trace().ClearEvents();
    // Parsed refusals never get here; a command the window cannot apply answers "-".
    form->ComboBox1->ClearItems();
    for (const char* type : {"Undefined", "News", "Affairs"}) form->ComboBox1->AddItem(type);
    form->ComboBox1->SetItemIndex(0);
    EXPECT_EQ((Lines{"- the list is not filled", "+"}), Submit({"PTY=3", "TP=0"}));
    EXPECT_EQ("0", Stored("PTY"));
    EXPECT_TRUE(RdsLines().empty());
}

TEST_F(CommandsTest, TransmitterCommandsTuneStoreAndShow) {
    StartReady();
    EXPECT_EQ((Lines{"+", "+", "+", "+"}), Submit({"FREQ=101.3", "POWER=7", "CARRIER=ON", "STEREO=ON"}));
    // The carrier comes on at level 0 and is then tuned with the stored level, as its LED's click does.
    EXPECT_EQ((Lines{"SYNTH 101300 4", "SYNTH 101300 7", "CARRIER on", "SYNTH 101300 0", "SYNTH 101300 7",
                     "STEREO on"}),
              Tuning());
    EXPECT_EQ("101.300MHz", form->VrMatrix1->Text());
    EXPECT_EQ("101.300MHz", Stored("Freq"));
    EXPECT_EQ(7, form->VrTrackBar1->Position());
    EXPECT_EQ("7", Stored("Power"));
    EXPECT_TRUE(form->VrCheckLed2->Checked());
    EXPECT_EQ("Yes", Stored("PowerOn"));
    EXPECT_TRUE(form->VrCheckLed1->Checked());
    EXPECT_EQ("Yes", Stored("Stereo"));
    EXPECT_TRUE(RdsLines().empty());

    EXPECT_EQ((Lines{"+", "+"}), Submit({"CARRIER=OFF", "STEREO=OFF"}));
    // Switched off, the synthesizer parks at 87.3 MHz with no power.
    EXPECT_EQ((Lines{"CARRIER off", "SYNTH 87300 0", "STEREO off"}), Tuning());
    EXPECT_EQ("No", Stored("PowerOn"));
}

TEST_F(CommandsTest, UpdatesThatArriveTogetherAreOneWholeImageWrite) {
    StartReady();
    EXPECT_EQ((Lines{"+", "+", "+", "+"}), Submit({"UPDATE", "RT=After the first update", "UPDATE", "UPDATE"}));
    // One write of the whole image, with the values of after every command.
    const Lines writes = RdsLines();
    ASSERT_EQ(83u, writes.size());
    EXPECT_EQ("RDS 256 65", writes[19]);
    EXPECT_EQ("Update RDS", form->Button1->Caption());
    card.Trace().ClearEvents();
    // Again: the whole image again, as the button does.
    EXPECT_EQ((Lines{"+"}), Submit({"UPDATE"}));
    EXPECT_EQ(83u, RdsLines().size());
}

TEST_F(CommandsTest, FloodOfUpdatesLeavesTheWindowAnsweringClicksOthersAndAClose) {
    TTestWinsock winsock;
    const uint16_t number = FreePort();
    Seed("CommandPort", std::to_string(number));
    StartReady();
    std::string flood;
    while (flood.size() + 8 <= 65507) flood += "UPDATE\r\n";
    const size_t updates = flood.size() / 8;
    std::string replies;
    Lines status;
    std::atomic<bool> flooded{false};
    std::thread clients([&] {
        TUdpClient udp(number);
        udp.Send(flood);
        flooded = true;
        TTcpClient other(number);
        other.Send("STATUS\r\n");
        status = other.ReadLines(1, 20000);
        while (replies.size() < updates * 3) {
            const std::string more = udp.Receive(20000);
            if (more == "<none>") break;
            replies += more;
        }
    });
    ASSERT_TRUE(Testing::PumpUntil([&] { return flooded.load(); }, ClientMilliseconds));
    // A click while the flood is applied is handled within a few seconds.
    const auto clicked = std::chrono::steady_clock::now();
    PostMessageA(form->Handle(), WM_USER + 100, 0, 0);
    MSG message;
    bool handled = false;
    while (!handled && std::chrono::steady_clock::now() - clicked < std::chrono::seconds(3)) {
        Testing::PumpMessages(10);
        handled = !PeekMessageA(&message, form->Handle(), WM_USER + 100, WM_USER + 100, PM_NOREMOVE);
    }
    EXPECT_TRUE(handled);
    Testing::PumpUntil([&] { return !status.empty() && replies.size() >= updates * 3; }, 60000);
    clients.join();
    ASSERT_EQ(1u, status.size());
    EXPECT_EQ(0u, status[0].find("+\tFREQ=")) << status[0];
    EXPECT_EQ(updates * 3, replies.size());
    // Some thousand UPDATEs, a few whole images.
    const size_t writes = RdsLines().size();
    EXPECT_EQ(0u, writes % 83);
    EXPECT_LE(writes / 83, 4u) << updates << " updates";
    // The close goes through at once.
    const auto closing = std::chrono::steady_clock::now();
    Close();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(3));
}

TEST_F(CommandsTest, CommandPortSettingAtStart) {
    TTestWinsock winsock;
    const uint16_t number = FreePort();
    Seed("CommandPort", std::to_string(number));
    StartReady();
    EXPECT_EQ(number, form->CommandPortNumber());
    EXPECT_TRUE(messageBoxes.empty());
    Lines replies;
    OnClient([&] {
        TTcpClient client(number);
        client.Send("PTY=4\r\n");
        replies = client.ReadLines(1);
    });
    EXPECT_EQ((Lines{"+"}), replies);
    EXPECT_EQ("4", Stored("PTY"));

    // Closing the window closes the port for good, even if the window is activated again.
    Close();
    form->StartCommands();
    EXPECT_EQ(0, form->CommandPortNumber());
    EXPECT_FALSE(TTcpClient(number).Connected());
}

TEST_F(CommandsTest, CommandPortAbsentOrZeroOpensNothingAndSeedingDoesNotAddIt) {
    StartReady();
    EXPECT_EQ(0, form->CommandPortNumber());
    EXPECT_EQ("<absent>", Stored("CommandPort"));
    EXPECT_TRUE(messageBoxes.empty());
}

TEST_F(CommandsTest, CommandPortInUseOrMalformedIsReportedOnce) {
    TTestWinsock winsock;
    const uint16_t number = FreePort();
    TCommandQueue otherQueue;
    TCommandPort holder(otherQueue);
    holder.Open(number);
    Seed("CommandPort", std::to_string(number));
    StartReady();
    EXPECT_EQ(0, form->CommandPortNumber());
    EXPECT_TRUE(messageBoxes.empty()) << "no box waits for somebody at an unattended station";
    const std::string notice = form->VrScrollText1->Text();
    EXPECT_EQ(0u, notice.find("The command port " + std::to_string(number) + " cannot")) << notice;
    const Lines log = LogLines();
    // Opened with the other ways in at the restore's start.
    const std::string failing = "start        Command port " + std::to_string(number) + " fails: The command port ";
    EXPECT_EQ(1, std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(failing, 0) == 0; }));
    // The program runs on: commands from other ways in still work.
    EXPECT_EQ((Lines{"+"}), Submit({"TP=1"}));
    // The command line tries the taken port again: logged with its reason; then a free one
    // opens, and the old failure's notice goes.
    EXPECT_EQ('-', Submit({"COMMANDPORT=" + std::to_string(number)}, TWayIn::CommandLine).at(0).at(0));
    const std::string tried = "command line Command port " + std::to_string(number) + " fails: The command port ";
    EXPECT_EQ(0u, LogLines().back().find(tried)) << LogLines().back();
    const uint16_t free = FreePort();
    EXPECT_EQ((Lines{"+"}), Submit({"COMMANDPORT=" + std::to_string(free)}, TWayIn::CommandLine));
    EXPECT_EQ(free, form->CommandPortNumber());
    EXPECT_EQ(std::string::npos, form->VrScrollText1->Text().find("The command port")) << form->VrScrollText1->Text();
}

TEST_F(CommandsTest, MalformedCommandPortSettingIsReported) {
    Seed("CommandPort", "70000");
    StartReady();
    EXPECT_EQ(0, form->CommandPortNumber());
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_NE(std::string::npos, form->VrScrollText1->Text().find("\"70000\"")) << form->VrScrollText1->Text();
}

TEST_F(CommandsTest, PortRefusesWhatDecidesWhereTheProgramReadsOrListens) {
    TTestWinsock winsock;
    const uint16_t number = FreePort();
    Seed("CommandPort", std::to_string(number));
    StartReady();
    Lines replies;
    std::string datagram;
    OnClient([&] {
        TTcpClient client(number);
        client.Send("COMMANDPORT=0\r\nRTFILE=C:\\windows\\win.ini\r\nRTFILE=\\\\host\\share\\x\r\nCHARSET=RDS\r\n"
                    "PTY=4\r\n");
        replies = client.ReadLines(5);
        TUdpClient udp(number);
        udp.Send("COMMANDPORT=1234");
        datagram = udp.Receive();
    });
    EXPECT_EQ((Lines{"- COMMANDPORT is set on the command line", "- RTFILE is set on the command line",
                     "- RTFILE is set on the command line", "- CHARSET is set on the command line", "+"}),
              replies);
    EXPECT_EQ("- COMMANDPORT is set on the command line\r\n", datagram);
    EXPECT_EQ(number, form->CommandPortNumber());
    EXPECT_EQ(std::to_string(number), Stored("CommandPort"));
    EXPECT_EQ("<absent>", Stored("RtFile"));
    EXPECT_EQ("<absent>", Stored("RdsCharacterSet"));
    const Lines status = Submit({"STATUS"});
    ASSERT_EQ(1u, status.size());
    EXPECT_NE(std::string::npos, status[0].find("\tRTFILE=\tCHARSET=ANSI\tRTFORMAT=")) << status[0];
    EXPECT_EQ(status[0].size() - 10, status[0].rfind("\tCARD=OPEN")) << status[0];
    EXPECT_EQ("4", Stored("PTY"));
    // The now-playing file's way in may not either.
    EXPECT_EQ((Lines{"- RTFILE is set on the command line"}), Submit({"RTFILE="}, TWayIn::NowPlayingFile));
}

TEST_F(CommandsTest, CommandPortMovesAtOnceFromTheCommandLine) {
    TTestWinsock winsock;
    const uint16_t first = FreePort();
    Seed("CommandPort", std::to_string(first));
    StartReady();
    const uint16_t second = FreePort();
    TCommandQueue otherQueue;
    TCommandPort holder(otherQueue);
    const uint16_t taken = FreePort();
    holder.Open(taken);

    TTcpClient client(first);
    Lines onFirst;
    OnClient([&] {
        client.Send("PTY=3\r\n");
        onFirst = client.ReadLines(1);
    });
    EXPECT_EQ((Lines{"+"}), onFirst);
    const Lines moved = Submit({"COMMANDPORT=" + std::to_string(taken), "COMMANDPORT=" + std::to_string(second)},
                               TWayIn::CommandLine);
    ASSERT_EQ(2u, moved.size());
    EXPECT_EQ(0u, moved[0].find("- The command port " + std::to_string(taken) + " cannot be opened")) << moved[0];
    EXPECT_EQ("+", moved[1]);
    EXPECT_EQ(second, form->CommandPortNumber());

    bool firstRefusesAfterwards = false;
    Lines onSecond;
    OnClient([&] {
        firstRefusesAfterwards = client.ClosedByPeer() && !TTcpClient(first).Connected();
        TTcpClient next(second);
        next.Send("PTY=5\r\n");
        onSecond = next.ReadLines(1);
    });
    EXPECT_TRUE(firstRefusesAfterwards);
    EXPECT_EQ((Lines{"+"}), onSecond);
    EXPECT_EQ((Lines{"+"}), Submit({"COMMANDPORT=0"}, TWayIn::CommandLine));
    EXPECT_EQ(0, form->CommandPortNumber());
    EXPECT_EQ("0", Stored("CommandPort"));
}

TEST_F(CommandsTest, LaterStartsArgumentsApplyThroughTheWindowWithTheRefusedOneReported) {
    const std::string pipeName = TestPipeName();
    StartServingPipe(pipeName);
    form->Button1Click(form->Button1);
    card.Trace().ClearEvents();

    Lines printed;
    int status = -1;
    OnClient([&] { status = LaterStart(pipeName, {"RT=PC RADIO, NON-STOP LATEST POPS!", "PTY=32", "TP=1"}, printed); });
    EXPECT_EQ((Lines{"+", "- PTY must be 0..31", "+"}), printed);
    EXPECT_EQ(1, status);
    // One write of only the changed bytes for both good ones.
    EXPECT_EQ((Lines{"RDS 5 1", "RDS 282 80", "RDS 283 79", "RDS 284 80"}), RdsLines());
    EXPECT_EQ("PC RADIO, NON-STOP LATEST POPS!", Stored("RT"));
    EXPECT_EQ("1", Stored("TP"));
    EXPECT_EQ("0", Stored("PTY"));

    // Closed, the window serves the pipe no more: a later start gets no answer.
    Close();
    printed.clear();
    EXPECT_EQ(2, HandOverToRunningCopy(pipeName, {"TP=0"}, [&](const std::string& reply) { printed.push_back(reply); },
                                       std::chrono::milliseconds(300)));
    EXPECT_TRUE(printed.empty());
    EXPECT_EQ("1", Stored("TP"));
}

TEST_F(CommandsTest, LaterStartWaitsWhileTheWindowIsBusyInUpdateRds) {
    const std::string pipeName = TestPipeName();
    StartServingPipe(pipeName);
    card.Trace().ClearEvents();

    Lines printed;
    int status = -1;
    std::atomic<bool> done{false};
    std::thread start([&] {
        status = LaterStart(pipeName, {"RT=PC RADIO, NON-STOP LATEST POPS!"}, printed);
        done = true;
    });
    // Once its command waits for the window, the window is busy clocking the whole image.
    MSG queued;
    bool waiting = false;
    for (int waited = 0; !waiting && waited < ClientMilliseconds; ++waited) {
        waiting = PeekMessageA(&queued, form->Handle(), CommandsQueuedMessage, CommandsQueuedMessage, PM_NOREMOVE);
        if (!waiting) Sleep(1);
    }
    ASSERT_TRUE(waiting);
    form->Button1Click(form->Button1);
    EXPECT_FALSE(done.load());
    Testing::PumpUntil([&] { return done.load(); }, ClientMilliseconds);
    start.join();
    EXPECT_EQ((Lines{"+"}), printed);
    EXPECT_EQ(0, status);
    // The whole image first, then the command's three bytes.
    const Lines writes = RdsLines();
    ASSERT_EQ(86u, writes.size());
    EXPECT_EQ((Lines{"RDS 282 80", "RDS 283 79", "RDS 284 80"}), Lines(writes.begin() + 83, writes.end()));
}

TEST_F(CommandsTest, FirstStartsOwnArgumentsApplyAfterTheRestore) {
    Seed("PowerOn", "No");
    Seed("Freq", "100.000MHz");
    Seed("Power", "4");
    Seed("RT", "Stored radiotext");
    Lines printed;
    std::mutex printing;
    form = std::make_unique<TfoMain>(nullptr);
    form->QueueStartCommands({"RT=From the command line", "BOGUS", "POWER=6"}, [&](const std::string& reply) {
        std::lock_guard<std::mutex> guard(printing);
        printed.push_back(reply);
    });
    form->FormCreate(form.get());
    Testing::PumpMessages(100);
    form->FormActivate(form.get());
    // The restore ran with the stored values; the commands still wait.
    Testing::PumpMessages(100);
    EXPECT_EQ("Stored radiotext", form->VrStrEdit2->Text());
    EXPECT_EQ((Lines{"STEREO on", "SYNTH 87300 0", "SYNTH 87500 4", "SYNTH 100000 4", "STEREO off"}), Tuning());

    form->StartCommands();
    EXPECT_TRUE(Testing::PumpUntil(
        [&] {
            std::lock_guard<std::mutex> guard(printing);
            return printed.size() == 3;
        },
        ClientMilliseconds));
    EXPECT_EQ((Lines{"+", "! unknown command", "+"}), printed);
    EXPECT_EQ("From the command line", Stored("RT"));
    EXPECT_EQ("6", Stored("Power"));
    // The first write of the run: the whole image.
    EXPECT_EQ(83u, RdsLines().size());
    EXPECT_EQ((Lines{"SYNTH 100000 6"}), Tuning());
}

TEST_F(CommandsTest, ChangesThatReachTheCardButCannotBeStoredAreDoneAndSaySo) {
    StartReady();
    form->Button1Click(form->Button1);
    card.Trace().ClearEvents();
    registry.DenyWrites(SettingsKeyPath);
    const std::string notStored = "+ not stored: Failed to create key \\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0";
    EXPECT_EQ((Lines{notStored, notStored, notStored, notStored, notStored, notStored, notStored}),
              Submit({"FREQ=101.3", "POWER=9", "CARRIER=ON", "STEREO=ON", "PTY=5", "PI=D223", "PS=JAZZ FM"}));
    EXPECT_EQ(9, form->VrTrackBar1->Position());
    EXPECT_EQ(12, form->ComboBox2->ItemIndex());
    EXPECT_EQ(2, form->ComboBox3->ItemIndex());
    EXPECT_EQ(0x23, form->ComboBox4->ItemIndex());
    EXPECT_EQ((Lines{"RDS 4 5", "RDS 8 13", "RDS 9 35", "RDS 14 5", "RDS 16 74", "RDS 17 65", "RDS 18 90",
                     "RDS 19 90", "RDS 20 32", "RDS 21 70", "RDS 22 77", "RDS 23 32"}),
              RdsLines());
    // Every change is on the card: the power level too, although its store was refused.
    EXPECT_EQ((Lines{"SYNTH 101300 4", "SYNTH 101300 9", "CARRIER on", "SYNTH 101300 0", "SYNTH 101300 4",
                     "STEREO on"}),
              Tuning());
    EXPECT_EQ("4", Stored("Power"));
    EXPECT_EQ("100.000MHz", Stored("Freq"));
    // What changes nothing answers "-": a setting whose store is all it does.
    const Lines refused = Submit({"COMMANDPORT=0", "RTFILE="}, TWayIn::CommandLine);
    ASSERT_EQ(2u, refused.size());
    EXPECT_EQ(0u, refused[0].find("- Failed to create key")) << refused[0];
    EXPECT_EQ(0u, refused[1].find("- Failed to create key")) << refused[1];
}

TEST_F(CommandsTest, WebPageIsClosedAndNotedOnceInTheNoticeAreaWhileClientsGoOn) {
    TTestWinsock winsock;
    const uint16_t number = FreePort();
    Seed("CommandPort", std::to_string(number));
    Seed("PowerOn", "Yes");
    Seed("Freq", "100.000MHz");
    Seed("Power", "4");
    Start();
    form->StartCommands();
    const std::string makersNotice = form->VrScrollText1->Text();
    card.Trace().ClearEvents();
    const std::string request = "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(number) +
                                "\r\nContent-Type: text/plain\r\nOrigin: http://localhost:8000\r\n\r\n"
                                "CARRIER=OFF\r\nPOWER=15\r\nCOMMANDPORT=0\r\n";
    bool closed = true;
    Lines replies;
    OnClient([&] {
        for (int page = 0; page < 3; ++page) {
            TTcpClient client(number);
            client.Send(request);
            closed = closed && client.ClosedByPeer();
        }
        TTcpClient client(number);
        client.Send("RT=Host: the morning show\r\n");
        replies = client.ReadLines(1);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ((Lines{"+"}), replies);
    Testing::PumpMessages(100);
    // The carrier, the power and the port are as they were.
    EXPECT_TRUE(Tuning().empty());
    EXPECT_TRUE(form->VrCheckLed2->Checked());
    EXPECT_EQ("4", Stored("Power"));
    EXPECT_EQ(number, form->CommandPortNumber());
    EXPECT_EQ(std::to_string(number), Stored("CommandPort"));
    // Told once, in the notice area, not in a box.
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_EQ(0u, form->VrScrollText1->Text().find("A web page tried to send commands to the command port "))
        << form->VrScrollText1->Text();
    EXPECT_NE(makersNotice, form->VrScrollText1->Text());
}

TEST_F(CommandsTest, WriteThatBreaksOffAnswersEveryCommandAndSendsTheUnfinishedBytesAgain) {
    StartReady();
    form->Button1Click(form->Button1);
    card.Trace().ClearEvents();
    const std::string makersNotice = form->VrScrollText1->Text();

    // The card stops answering inside the second changed byte's frame, for one transfer.
    card.BreakRdsWriteAfter(1);
    const std::string notOnAir = std::string("- not on air: ") + RefusedTransferText;
    EXPECT_EQ((Lines{notOnAir, "+", notOnAir}), Submit({"RT=PC RADIO, NON-STOP LATEST POPS!", "FREQ=101.3", "TP=1"}));
    EXPECT_EQ((Lines{"RDS 5 1"}), RdsLines());
    EXPECT_EQ(std::string("The card did not take the RDS data: ") + RefusedTransferText, form->VrScrollText1->Text());
    EXPECT_TRUE(messageBoxes.empty());
    card.Trace().ClearEvents();

    // The next write sends the byte that broke off and those never sent; then the notice goes.
    EXPECT_EQ((Lines{"+"}), Submit({"MS=1"}));
    EXPECT_EQ((Lines{"RDS 7 1", "RDS 282 80", "RDS 283 79", "RDS 284 80"}), RdsLines());
    EXPECT_EQ(makersNotice, form->VrScrollText1->Text());
    for (uint32_t address : {0x05u, 0x07u, 0x11Au, 0x11Bu, 0x11Cu})
        EXPECT_NE(0, card.RdsMemory().Byte(address)) << address;
    EXPECT_EQ('P', card.RdsMemory().Byte(0x11A));
    EXPECT_EQ('O', card.RdsMemory().Byte(0x11B));
    EXPECT_TRUE(card.Trace().EventsStartingWith({"LOST"}).empty());
}

TEST_F(CommandsTest, CardThatStopsAnsweringLeavesThePortAndThePipeServing) {
    TTestWinsock winsock;
    const uint16_t number = FreePort();
    Seed("CommandPort", std::to_string(number));
    const std::string pipeName = TestPipeName();
    StartServingPipe(pipeName);
    card.Trace().ClearEvents();
    // From the run's first RDS frame on, the card answers nothing more.
    card.BreakRdsWriteAfter(0, UINT32_MAX);

    Lines first;
    Lines second;
    Lines printed;
    int status = -1;
    OnClient([&] {
        TTcpClient client(number);
        client.Send("PS=ROCK FM\r\nUPDATE\r\n");
        first = client.ReadLines(2);
        TTcpClient other(number);
        other.Send("RT=Still here\r\nSTATUS\r\n");
        second = other.ReadLines(2);
        status = LaterStart(pipeName, {"PTY=5", "STATUS"}, printed);
    });
    const std::string notOnAir = std::string("- not on air: ") + RefusedTransferText;
    EXPECT_EQ((Lines{notOnAir, std::string("- ") + RefusedTransferText}), first);
    ASSERT_EQ(2u, second.size());
    EXPECT_EQ(notOnAir, second[0]);
    EXPECT_EQ(0u, second[1].find("+\tFREQ=100.000\t")) << second[1];
    ASSERT_EQ(2u, printed.size());
    EXPECT_EQ(notOnAir, printed[0]);
    EXPECT_EQ(1, status);
    // What the controls took stands; the notice area tells, no box does.
    EXPECT_EQ("ROCK FM", Stored("PS"));
    EXPECT_EQ("5", Stored("PTY"));
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_EQ(0u, form->VrScrollText1->Text().find("The card did not take the RDS data: "))
        << form->VrScrollText1->Text();
}

}  // namespace

namespace {

TEST_F(CommandsTest, TheLogNamesEachCommandsWayInAndTheFieldsEachWriteChanged) {
    StartReady();
    const size_t before = LogLines().size();
    EXPECT_EQ((Lines{"+", "+"}), Submit({"PS=NEWS FM", "POWER=6"}));
    EXPECT_EQ((Lines{"+"}), Submit({"RT=Artist - Title"}, TWayIn::CommandLine));
    EXPECT_EQ((Lines{"+"}), Submit({"RT=Artist - Title"}, TWayIn::NowPlayingFile)) << "the same text writes nothing";
    const Lines all = LogLines();
    EXPECT_EQ((Lines{"port         Tuned to 100.000 MHz, power 6",
                     "port         RDS: PS \"NEWS FM\", RT \"PC RADIO, NON-STOP LATEST HITS!\", PTY 0 Undefined, "
                     "PI 1000, TP 0, M/S 0, character set ANSI; 83 bytes written",
                     "command line RDS: RT \"Artist - Title\"; 29 bytes written"}),
              Lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()));
}

}  // namespace

namespace {

TEST_F(CommandsTest, ASettingThatCannotBeStoredIsLoggedWithItsWayIn) {
    StartReady();
    registry.DenyWrites(SettingsKeyPath);
    Submit({"PS=JAZZ FM"});
    const Lines log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("port         Setting PS not stored as \"JAZZ FM\": Failed to create key "
              "\\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0",
              log[log.size() - 2]);
}

}  // namespace

namespace {

TEST_F(CommandsTest, TheLogSaysWhenTheNowPlayingFileIsFollowedMovedAndLetGo) {
    StartReady();
    const std::string first = logFolder / "first.txt";
    const std::string second = logFolder / "second.txt";
    for (const std::string& path : {first, second}) std::ofstream(path) << "Artist - Title\r\n";
    EXPECT_EQ((Lines{"+"}), Submit({"RTFILE=" + first}, TWayIn::CommandLine));
    EXPECT_EQ((Lines{"+"}), Submit({"RTFILE=" + second}, TWayIn::CommandLine));
    EXPECT_EQ((Lines{"+"}), Submit({"RTFILE="}, TWayIn::CommandLine));
    Lines changes;
    for (const std::string& line : LogLines())
        if (line.find("Now-playing file") != std::string::npos) changes.push_back(line);
    EXPECT_EQ((Lines{"command line Now-playing file \"" + first + "\" opened",
                     "command line Now-playing file moved from \"" + first + "\" to \"" + second + "\"",
                     "command line Now-playing file \"" + second + "\" closed"}),
              changes);
}

}  // namespace
