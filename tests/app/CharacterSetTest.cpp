// The RDS memory's character set through the main window on the virtual card:
// CHARSET from the command line only, the bytes a switch rewrites, the setting
// "RdsCharacterSet" stored and restored, a malformed one, STATUS and the log.
#include "AppFixture.h"

#include "StdCtrls.h"
#include "VrEdit.h"

#include <windows.h>

namespace {

using Lines = std::vector<std::string>;

constexpr int ClientMilliseconds = 10000;
constexpr UINT WesternCodePage = 1252;
constexpr char Setting[] = "RdsCharacterSet";
// "é $" as typed in code page 1252.
const std::string AccentAndDollar = "\xE9 $";

class CharacterSetTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (GetACP() != WesternCodePage) GTEST_SKIP() << "the system code page is " << GetACP();
    }

    std::string Reply(const std::string& line, TWayIn way) {
        const TParsedLine parsed = ParseCommand(line);
        EXPECT_TRUE(parsed.Command.has_value()) << line;
        if (!parsed.Command) return parsed.Reply;
        const Lines replies = SubmitAsClient(*parsed.Command, way, ClientMilliseconds);
        return replies.empty() ? "<none>" : replies.front();
    }

    // STATUS's CHARSET field.
    std::string LastStatusField() {
        const std::string status = Reply("STATUS", TWayIn::Port);
        const std::string card = "\tCARD=OPEN";
        EXPECT_EQ(status.size() - card.size(), status.rfind(card)) << status;
        const size_t at = status.find("\tCHARSET=");
        if (at == std::string::npos) return status;
        return status.substr(at + 1, status.find('\t', at + 1) - at - 1);
    }

    Lines RdsLines() { return card.Trace().EventsStartingWith({"RDS", "LOST"}); }

    // The log's lines since the first Skip of them.
    Lines LogLinesAfter(size_t skip) {
        const Lines all = LogLines();
        return Lines(all.begin() + static_cast<std::ptrdiff_t>(skip), all.end());
    }
};

TEST_F(CharacterSetTest, SwitchFromTheCommandLineRewritesOnlyTheTextBytesThatNowDiffer) {
    StartReady();
    EXPECT_EQ("+", Reply("PS=" + AccentAndDollar, TWayIn::Port));
    const Lines whole = RdsLines();
    ASSERT_EQ(83u, whole.size());
    EXPECT_EQ((Lines{"RDS 16 233", "RDS 17 32", "RDS 18 36"}), Lines(whole.begin() + 11, whole.begin() + 14));
    card.Trace().ClearEvents();
    const size_t logged = LogLines().size();

    EXPECT_EQ("+", Reply("CHARSET=RDS", TWayIn::CommandLine));
    // é is 0x82 and $ is 0xAB in the RDS set; the design's radiotext has neither.
    EXPECT_EQ((Lines{"RDS 16 130", "RDS 18 171"}), RdsLines());
    EXPECT_EQ("RDS", Stored(Setting));
    EXPECT_EQ(AccentAndDollar, form->VrStrEdit1->Text());
    EXPECT_EQ(AccentAndDollar, Stored("PS"));
    EXPECT_EQ("CHARSET=RDS", LastStatusField());
    EXPECT_EQ((Lines{"command line RDS character set changed from ANSI to RDS",
                     "command line RDS: character set RDS; 2 bytes written"}),
              LogLinesAfter(logged));
    card.Trace().ClearEvents();

    // The same again changes nothing and says nothing.
    EXPECT_EQ("+", Reply("charset=rds", TWayIn::CommandLine));
    EXPECT_TRUE(RdsLines().empty());
    EXPECT_EQ(2u, LogLinesAfter(logged).size());

    // A text command under RDS writes the RDS codes of what differs.
    EXPECT_EQ("+", Reply("PS=$ \xE9", TWayIn::Port));
    EXPECT_EQ((Lines{"RDS 16 171", "RDS 18 130"}), RdsLines());
    card.Trace().ClearEvents();

    EXPECT_EQ("+", Reply("CHARSET=ANSI", TWayIn::CommandLine));
    EXPECT_EQ((Lines{"RDS 16 36", "RDS 18 233"}), RdsLines());
    EXPECT_EQ("ANSI", Stored(Setting));
    EXPECT_EQ("CHARSET=ANSI", LastStatusField());
}

TEST_F(CharacterSetTest, PortAndFileMayNotSetIt) {
    StartReady();
    for (const TWayIn way : {TWayIn::Port, TWayIn::NowPlayingFile, TWayIn::SerialLine})
        EXPECT_EQ("- CHARSET is set on the command line", Reply("CHARSET=RDS", way));
    EXPECT_EQ("<absent>", Stored(Setting));
    EXPECT_TRUE(RdsLines().empty());
    EXPECT_EQ("CHARSET=ANSI", LastStatusField());
}

TEST_F(CharacterSetTest, StoredRdsIsInForceFromTheStart) {
    Seed(Setting, "RDS");
    Seed("PS", AccentAndDollar);
    StartReady();
    EXPECT_EQ("CHARSET=RDS", LastStatusField());
    EXPECT_EQ(AccentAndDollar, form->VrStrEdit1->Text());
    EXPECT_EQ("+", Reply("UPDATE", TWayIn::Port));
    const Lines whole = RdsLines();
    ASSERT_EQ(83u, whole.size());
    EXPECT_EQ((Lines{"RDS 16 130", "RDS 17 32", "RDS 18 171"}), Lines(whole.begin() + 11, whole.begin() + 14));
    EXPECT_TRUE(reports.empty());
}

TEST_F(CharacterSetTest, MalformedStoredValueIsReportedAndTheTextsGoAsTyped) {
    Seed(Setting, "rds");
    Seed("PS", AccentAndDollar);
    Seed("PTY", "11");
    Seed("MS", "1");
    StartReady();
    EXPECT_EQ((Lines{"'rds' is not a valid RdsCharacterSet value (ANSI or RDS)"}), reports);
    // The other settings are restored, and the malformed one is left for the station to correct.
    EXPECT_EQ(AccentAndDollar, form->VrStrEdit1->Text());
    EXPECT_EQ(11, form->ComboBox1->ItemIndex());
    EXPECT_EQ(1, form->ComboBox6->ItemIndex());
    EXPECT_EQ("rds", Stored(Setting));
    EXPECT_EQ("CHARSET=ANSI", LastStatusField());
    EXPECT_EQ("+", Reply("UPDATE", TWayIn::Port));
    const Lines whole = RdsLines();
    ASSERT_EQ(83u, whole.size());
    EXPECT_EQ((Lines{"RDS 16 233", "RDS 17 32", "RDS 18 36"}), Lines(whole.begin() + 11, whole.begin() + 14));
}

TEST_F(CharacterSetTest, SettingThatCannotBeStoredChangesNothing) {
    Seed("PS", AccentAndDollar);
    StartReady();
    EXPECT_EQ("+", Reply("UPDATE", TWayIn::Port));
    card.Trace().ClearEvents();
    registry.DenyWrites(SettingsKeyPath);
    const std::string reply = Reply("CHARSET=RDS", TWayIn::CommandLine);
    EXPECT_EQ(0u, reply.find("- Failed to create key ")) << reply;
    EXPECT_TRUE(RdsLines().empty());
    EXPECT_EQ("CHARSET=ANSI", LastStatusField());
}

}  // namespace
