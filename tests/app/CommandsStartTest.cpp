// When commands start: once, after the restore's last step, whatever its message
// boxes do to activation (a box activates the window again inside the restore), and
// never on a unit that does not exist yet (RTFILE while the pipe's box is shown).
#include "AppFixture.h"

#include "CommandLine.h"
#include "CommandPipe.h"
#include "StdCtrls.h"
#include "Testing.h"
#include "VrEdit.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

using Lines = std::vector<std::string>;

constexpr int WaitMilliseconds = 10000;
// How long a shown box runs its own message loop in these tests.
constexpr int BoxMilliseconds = 300;

class CommandsStartTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        path = std::string(temp) + "SondelStart." + std::to_string(GetCurrentProcessId()) + "." +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    }

    void TearDown() override {
        AppTest::TearDown();
        DeleteFileA(path.c_str());
    }

    // A message box (also the error report's) as the platform shows one: the window is
    // activated again and the box's own loop handles messages until it is answered;
    // Inside runs within it.
    void BoxesActivateTheWindow(std::function<void(const std::string& text)> inside = nullptr) {
        const auto box = [this, inside](const std::string& text) {
            if (form && form->OnActivate) form->OnActivate(form.get());
            Testing::PumpMessages(BoxMilliseconds);
            if (inside) inside(text);
        };
        Application->MessageBoxHook = [this, box](const std::string& text, const std::string&, unsigned) {
            messageBoxes.push_back(text);
            box(text);
            return MsgBox::IdOk;
        };
        Application->OnException = [this, box](TObject*, const std::exception& error) {
            reports.push_back(error.what());
            box(error.what());
        };
    }

    // Creates the window and activates it as the platform does (the restore, then the commands).
    void StartAsThePlatformDoes() {
        form->FormCreate(form.get());
        created = Tuning();
        form->OnActivate(form.get());
    }

    void WriteNowPlaying(const std::string& text) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
    }

    Lines RdsLines() { return card.Trace().EventsStartingWith({"RDS", "LOST"}); }

    std::string path;
};

TEST_F(CommandsStartTest, MalformedStoredValueWithStartArgumentsAndAStoredRtFile) {
    Seed("PowerOn", "No");
    Seed("Freq", "100.000MHz");
    // Read in the restore's fourth step, long before the lists are filled.
    Seed("Power", "loud");
    Seed("RtFile", path);
    WriteNowPlaying("Artist - From the file");
    size_t writesInTheBox = 0;
    bool restoredInTheBox = true;
    BoxesActivateTheWindow([&](const std::string&) {
        writesInTheBox += RdsLines().size();
        restoredInTheBox = restoredInTheBox && form->Restored();
    });
    Lines printed;
    std::mutex printing;
    form = std::make_unique<TfoMain>(nullptr);
    form->QueueStartCommands({"PS=ROCK FM", "PTY=10"}, [&](const std::string& reply) {
        std::lock_guard<std::mutex> guard(printing);
        printed.push_back(reply);
    });
    StartAsThePlatformDoes();

    ASSERT_TRUE(Testing::PumpUntil(
        [&] {
            std::lock_guard<std::mutex> guard(printing);
            return printed.size() == 2 && form->VrStrEdit2->Text() == "Artist - From the file";
        },
        WaitMilliseconds));
    EXPECT_EQ((Lines{"+", "+"}), printed);
    // The box came up inside the restore, and nothing was written while it was shown.
    ASSERT_FALSE(reports.empty());
    EXPECT_NE(std::string::npos, reports[0].find("loud")) << reports[0];
    EXPECT_FALSE(restoredInTheBox);
    EXPECT_EQ(0u, writesInTheBox);
    // The run's first write is the whole image of the restored lists: no byte of 0xFF.
    const Lines writes = RdsLines();
    ASSERT_GE(writes.size(), 83u);
    EXPECT_EQ((Lines{"RDS 4 10", "RDS 5 0", "RDS 6 0", "RDS 7 0", "RDS 8 1", "RDS 9 0", "RDS 10 1", "RDS 11 0",
                     "RDS 12 1", "RDS 13 1", "RDS 14 10", "RDS 16 82"}),
              Lines(writes.begin(), writes.begin() + 12));
    for (const std::string& line : writes) EXPECT_EQ(std::string::npos, line.find(" 255")) << line;
    EXPECT_EQ(10, form->ComboBox1->ItemIndex());
    EXPECT_EQ("ROCK FM", Stored("PS"));
    EXPECT_EQ("10", Stored("PTY"));
}

TEST_F(CommandsStartTest, RtFileWhileThePipeBoxIsShownReachesTheNowPlayingUnit) {
    Seed("PowerOn", "No");
    Seed("Freq", "100.000MHz");
    Seed("Power", "4");
    WriteNowPlaying("Artist - While the box is shown");
    // Another process serves the pipe's name first: the window tells so in a box.
    const std::string pipeName = "\\\\.\\pipe\\SondelStartTest." + std::to_string(GetCurrentProcessId());
    TCommandQueue otherQueue;
    TCommandPipe squatter(otherQueue);
    squatter.Open(pipeName);

    std::vector<std::string> replies;
    BoxesActivateTheWindow([&](const std::string& text) {
        if (text.find("pipe") == std::string::npos) return;
        // A command line's RTFILE arrives while the box is up.
        const TParsedLine parsed = ParseCommand("RTFILE=" + path);
        ASSERT_TRUE(parsed.Command.has_value());
        replies = SubmitAsClient(*parsed.Command, TWayIn::CommandLine, WaitMilliseconds);
    });
    form = std::make_unique<TfoMain>(nullptr);
    form->SetCommandPipeName(pipeName);
    StartAsThePlatformDoes();

    ASSERT_EQ(1u, messageBoxes.size());
    EXPECT_EQ(0u, messageBoxes[0].find("The command line's pipe " + pipeName + " cannot be opened")) << messageBoxes[0];
    EXPECT_EQ((Lines{"+"}), replies);
    EXPECT_EQ(path, Stored("RtFile"));
    EXPECT_TRUE(Testing::PumpUntil([&] { return form->VrStrEdit2->Text() == "Artist - While the box is shown"; },
                                   WaitMilliseconds));
}

TEST_F(CommandsStartTest, CommandsStartOnceAndNotBeforeTheRestore) {
    Seed("PowerOn", "No");
    Seed("Power", "4");
    form = std::make_unique<TfoMain>(nullptr);
    form->FormCreate(form.get());
    // Asked before the restore: nothing starts.
    form->StartCommands();
    std::vector<std::string> replies;
    std::atomic<bool> done{false};
    std::thread client([&] {
        std::atomic<bool> stop{false};
        TCommand command;
        command.Name = TCommandName::Tp;
        command.Value = 1;
        replies = form->Commands().Submit({command}, std::chrono::milliseconds(WaitMilliseconds), stop,
                                          TWayIn::CommandLine);
        done = true;
    });
    Testing::PumpMessages(BoxMilliseconds);
    EXPECT_FALSE(done.load());
    form->OnActivate(form.get());
    Testing::PumpUntil([&] { return done.load(); }, WaitMilliseconds);
    client.join();
    EXPECT_EQ((Lines{"+"}), replies);
    EXPECT_EQ("1", Stored("TP"));
    // Activated again (back from the tray): nothing runs twice.
    card.Trace().ClearEvents();
    form->OnActivate(form.get());
    EXPECT_TRUE(Tuning().empty());
}

}  // namespace
