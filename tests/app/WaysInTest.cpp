// The ways in without the window: each setter refuses a bad value (nothing stored,
// nothing logged) and takes a good one (stored, logged with the caller's way in,
// "+"), and a moved command port is served on its new number only.
#include "PortClient.h"
#include "ScratchFolder.h"
#include "ScratchRegistry.h"
#include "WaysIn.h"

#include "CommandQueue.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

// The window as the ways in see it: the notices and log lines they give, from any thread.
class TRecordingOwner : public TWaysInOwner {
public:
    void ShowNotice(TNoticeSource, const std::string& notice) override { Record(notices_, notice); }
    void PostNotice(HWND, TNoticeSource, const std::string& notice) override { Record(notices_, notice); }
    void DropPostedNotices(TNoticeSource) override {}
    void WriteLog(TLogWay way, const std::string& what) override {
        Record(lines_, std::string(WayInText(way)) + ": " + what);
    }
    TLogWay Way() const override { return way_; }
    void SetWay(TLogWay way) override { way_ = way; }
    HWND MessageWindow() override { return nullptr; }

    // The lines the setters wrote: the serial line's worker tells its own (a COM port
    // that does not open) whenever it gets there.
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<std::string> told;
        for (const std::string& line : lines_)
            if (line.rfind(WayInText(TLogWay::Serial), 0) != 0) told.push_back(line);
        return told;
    }

private:
    void Record(std::vector<std::string>& into, const std::string& text) {
        std::lock_guard<std::mutex> guard(lock_);
        into.push_back(text);
    }
    std::mutex lock_;
    std::vector<std::string> notices_;
    std::vector<std::string> lines_;
    TLogWay way_ = TLogWay::Window;
};

class WaysInTest : public ::testing::Test {
protected:
    std::string Stored(const std::string& name) const { return registry.Get(SettingsKeyPath, name); }

    TScratchRegistry registry;
    TScratchFolder folder;
    TTestWinsock winsock;
    TCommandQueue queue;
    TRecordingOwner owner;
    TWaysIn waysIn{owner, queue};
};

TEST_F(WaysInTest, EachSetterRefusesABadValueAndStoresAndLogsAGoodOne) {
    waysIn.Open();
    const std::string port = std::to_string(FreePort());
    const std::string file = folder / "np.txt";
    struct TCase {
        std::string (TWaysIn::*Set)(const std::string&);
        std::string Refused, Refusal;
        std::string Good, Setting, StoredText, Logged;
        // What the refusal logs: only a line that the line's own check refused is told.
        std::string RefusalLogged;
    };
    const std::string serialRefusal =
        "The serial line setting \"LPT1\" is not valid: it must be COMn or COMn:speed, n 1..255, speed 1..4000000.";
    const TCase cases[] = {
        {&TWaysIn::SetCommandPort, "70000", "- COMMANDPORT must be 0..65535", port, "CommandPort", port,
         "Command port " + port + " opened", {}},
        {&TWaysIn::SetCommandPortAllow, "192.0.2.300",
         "- CommandPortAllow entry \"192.0.2.300\" is not an IPv4 address (192.168.1.20) or range (10.0.5.0/24)",
         " 192.0.2.7/24 ", "CommandPortAllow", "192.0.2.0/24",
         "Command port allow-list changed from \"\" to \"192.0.2.0/24\"", {}},
        {&TWaysIn::SetSerialPort, "LPT1", "- " + serialRefusal, "COM9:19200", "SerialPort", "COM9:19200",
         "Serial line COM9:19200 opened", "Serial line LPT1 fails: " + serialRefusal},
        {&TWaysIn::SetRadioTextFile, "np.txt", "- RTFILE must be a full path or empty", file, "RtFile", file,
         "Now-playing file \"" + file + "\" opened", {}},
        {&TWaysIn::SetRadioTextFormat, "{album}",
         "- RtFormat has an unknown field {album} (fields: {text}, {artist}, {title})", "{title} by {artist}",
         "RtFormat", "{title} by {artist}", "RtFormat changed from '' to '{title} by {artist}'", {}},
        {&TWaysIn::SetRadioTextSkip, "jingle\tadvert", "- RTSKIP holds a control character", "jingle|advert",
         "RtSkip", "jingle|advert", "RtSkip changed from '' to 'jingle|advert'", {}},
        {&TWaysIn::SetRadioTextIdle, "1441,Studio X", "- RTIDLE must be <minutes 0..1440>,<text>", "5,Studio X",
         "RtIdleText", "Studio X", "Radiotext idle after 5 minutes as 'Studio X'", {}},
        {&TWaysIn::SetUecpSites, "1,1024", "- the sites must be addresses 1..1023, separated by commas", "3, 7",
         "UecpSites", "3,7", "UECP addresses set: sites \"3,7\", encoders \"\"", {}},
        {&TWaysIn::SetUecpEncoders, "64", "- the encoders must be addresses 1..63, separated by commas", "2",
         "UecpEncoders", "2", "UECP addresses set: sites \"3,7\", encoders \"2\"", {}},
    };
    for (const TCase& c : cases) {
        owner.SetWay(TLogWay::Window);
        const std::vector<std::string> before = owner.Lines();
        EXPECT_EQ(c.Refusal, (waysIn.*c.Set)(c.Refused)) << c.Setting;
        EXPECT_EQ("<absent>", Stored(c.Setting)) << c.Setting;
        std::vector<std::string> expected = before;
        if (!c.RefusalLogged.empty()) expected.push_back("window: " + c.RefusalLogged);
        EXPECT_EQ(expected, owner.Lines()) << c.Setting;
        const size_t logged = expected.size();

        owner.SetWay(c.Set == &TWaysIn::SetCommandPort ? TLogWay::CommandLine : TLogWay::Window);
        EXPECT_EQ("+", (waysIn.*c.Set)(c.Good)) << c.Setting;
        EXPECT_EQ(c.StoredText, Stored(c.Setting)) << c.Setting;
        const std::vector<std::string> lines = owner.Lines();
        const std::string way = c.Set == &TWaysIn::SetCommandPort ? "command line: " : "window: ";
        ASSERT_GT(lines.size(), logged) << c.Setting;
        EXPECT_EQ(way + c.Logged, lines[logged]) << c.Setting;
    }
    EXPECT_EQ("5", Stored("RtIdleMinutes"));
    EXPECT_EQ(std::stoi(port), waysIn.CommandPortNumber());
    EXPECT_EQ(file, waysIn.RadioTextFile());
}

TEST_F(WaysInTest, AMovedCommandPortIsServedOnItsNewNumberOnly) {
    waysIn.Open();
    const uint16_t first = FreePort();
    ASSERT_EQ("+", waysIn.SetCommandPort(std::to_string(first)));
    EXPECT_TRUE(TTcpClient(first).Connected());

    const uint16_t second = FreePort();
    ASSERT_NE(first, second);
    ASSERT_EQ("+", waysIn.SetCommandPort(std::to_string(second)));
    // The replaced port closes once the replies of its round are out.
    waysIn.FinishPortChanges();
    EXPECT_EQ(second, waysIn.CommandPortNumber());
    EXPECT_EQ(std::to_string(second), Stored("CommandPort"));
    EXPECT_TRUE(TTcpClient(second).Connected());
    EXPECT_FALSE(TTcpClient(first).Connected());

    ASSERT_EQ("+", waysIn.SetCommandPort("0"));
    waysIn.FinishPortChanges();
    EXPECT_EQ(0, waysIn.CommandPortNumber());
    EXPECT_FALSE(TTcpClient(second).Connected());
    EXPECT_EQ(std::vector<std::string>({"window: Command port " + std::to_string(first) + " opened",
                                        "window: Command port moved from " + std::to_string(first) + " to " +
                                            std::to_string(second),
                                        "window: Command port " + std::to_string(second) + " closed"}),
              owner.Lines());
}

TEST_F(WaysInTest, AnAllowListChangeReopensThePortOnceTheRoundIsAnswered) {
    waysIn.Open();
    const uint16_t port = FreePort();
    ASSERT_EQ("+", waysIn.SetCommandPort(std::to_string(port)));
    TTcpClient held(port);
    ASSERT_TRUE(held.Connected());
    ASSERT_EQ("+", waysIn.SetCommandPortAllow("192.0.2.20"));
    EXPECT_EQ("192.0.2.20", Stored("CommandPortAllow"));
    // The clients of the round that changed it still get their replies.
    EXPECT_FALSE(held.ClosedByPeer(300));
    waysIn.FinishPortChanges();
    EXPECT_TRUE(held.ClosedByPeer());
    EXPECT_EQ(port, waysIn.CommandPortNumber());
    EXPECT_TRUE(TTcpClient(port).Connected());
}

}  // namespace
