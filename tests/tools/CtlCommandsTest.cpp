// sondelctl's argument checking and its runs on the virtual card.
#include "CardCommands.h"
#include "CtlCommands.h"
#include "VirtualCard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

namespace {

const std::string Usage =
    "usage: sondelctl open on|off stereo|mono tune <kHz> <power> rds <high> <low> <data> wait <ms> close";

std::string Refusal(const std::vector<std::string>& arguments)
{
    std::vector<TCtlCommand> commands;
    std::string message;
    EXPECT_FALSE(ParseCtlArguments(arguments, commands, message));
    EXPECT_TRUE(commands.empty());
    return message;
}

class SondelCtlRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(_putenv("SONDEL_VIRTUAL_CARD="), 0);
        ResetModuleState();
        Use(IoCardConfig());
    }
    void TearDown() override { UseDriverDevice(nullptr); }
    void Use(const TVirtualCardConfig& config)
    {
        card = std::make_unique<TVirtualCard>(config);
        card->KeepCalls(true);
        card->Trace().KeepEvents(true);
        UseDriverDevice(card.get());
    }
    int Run(const std::vector<std::string>& arguments) { return SondelCtl(arguments, out, errors); }

    std::unique_ptr<TVirtualCard> card;
    std::ostringstream out;
    std::ostringstream errors;
};

} // namespace

TEST(SondelCtlArguments, TakesEveryCommandWithItsNumbers)
{
    std::vector<TCtlCommand> commands;
    std::string message;
    ASSERT_TRUE(ParseCtlArguments({"open", "on", "tune", "100000", "10", "stereo", "mono", "rds", "0", "0x1F", "0x41",
                                   "wait", "10", "off", "close"},
                                  commands, message))
        << message;
    ASSERT_EQ(commands.size(), 9u);
    EXPECT_EQ(commands[2].Kind, TCtlKind::Tune);
    EXPECT_EQ(commands[2].Values[0], 100000u);
    EXPECT_EQ(commands[2].Values[1], 10u);
    EXPECT_EQ(commands[5].Kind, TCtlKind::Rds);
    EXPECT_EQ(commands[5].Values[1], 0x1Fu);
    EXPECT_EQ(commands[5].Values[2], 0x41u);
    EXPECT_EQ(commands[6].Kind, TCtlKind::Wait);
    EXPECT_EQ(commands[8].Kind, TCtlKind::Close);
}

TEST(SondelCtlArguments, TakesTheLargestValues)
{
    std::vector<TCtlCommand> commands;
    std::string message;
    ASSERT_TRUE(ParseCtlArguments({"tune", "0x1A5E0", "0xFF", "rds", "255", "0XfF", "0"}, commands, message))
        << message;
    EXPECT_EQ(commands[0].Values[0], 108000u);
    EXPECT_EQ(commands[0].Values[1], 255u);
    EXPECT_EQ(commands[1].Values[1], 255u);
}

TEST(SondelCtlArguments, RefuseWithOneLineNamingTheBadArgument)
{
    EXPECT_EQ(Refusal({"open", "launch"}), "sondelctl: unknown command \"launch\"; " + Usage);
    EXPECT_EQ(Refusal({"tune", "100000"}), "sondelctl: missing <power> after \"tune\"; " + Usage);
    EXPECT_EQ(Refusal({"tune", "4294967296", "1"}),
              "sondelctl: bad <kHz> \"4294967296\" for \"tune\": above 4294967295; " + Usage);
    EXPECT_EQ(Refusal({"tune", "100000", "256"}), "sondelctl: bad <power> \"256\" for \"tune\": above 255; " + Usage);
    EXPECT_EQ(Refusal({"rds", "0", "0", "0x100"}), "sondelctl: bad <data> \"0x100\" for \"rds\": above 255; " + Usage);
    EXPECT_EQ(Refusal({"wait", "1e3"}), "sondelctl: bad <ms> \"1e3\" for \"wait\": not a number; " + Usage);
    EXPECT_EQ(Refusal({}), "sondelctl: no command given; " + Usage);
    for (const char* malformed : {"", "0x", "-1", "+1", " 1", "1 ", "0x1G", "12a"})
        EXPECT_NE(Refusal({"rds", "1", malformed, "1"}).find("not a number"), std::string::npos) << malformed;
    EXPECT_NE(Refusal({"tune", "99999999999999999999999", "1"}).find("above 4294967295"), std::string::npos);
    EXPECT_EQ(Refusal({"stereo", "rds", "1", "2"}).find('\n'), std::string::npos);
}

TEST(SondelCtlArguments, TuneTakesOnlyTheSynthesizersRangeAndGrid)
{
    const std::string outside = "outside 86000 to 108000 kHz";
    const std::string offGrid = "not on the 50 kHz grid";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"200000", outside}, {"85950", outside}, {"108050", outside}, {"0", outside},
        {"100025", offGrid}, {"86001", offGrid},
    };
    for (const auto& [kilohertz, problem] : cases)
        EXPECT_EQ(Refusal({"open", "tune", kilohertz, "1"}),
                  "sondelctl: bad <kHz> \"" + std::string(kilohertz) + "\" for \"tune\": " + problem + "; " + Usage);
    std::vector<TCtlCommand> commands;
    std::string message;
    for (const char* edge : {"86000", "108000", "87550"})
        EXPECT_TRUE(ParseCtlArguments({"tune", edge, "1"}, commands, message)) << edge << ": " << message;
}

TEST_F(SondelCtlRun, RunsTheCommandsInOrder)
{
    EXPECT_EQ(Run({"open", "on", "tune", "100000", "10", "stereo", "rds", "0", "0", "0x41", "wait", "10", "off",
                   "close"}),
              CtlSucceeded);
    EXPECT_EQ(out.str(), "open: ok\n");
    EXPECT_EQ(errors.str(), "");
    std::vector<std::string> decoded;
    for (const std::string& event : card->Trace().Events())
        if (event.compare(0, 4, "REG ") != 0 && event.compare(0, 4, "I2C ") != 0)
            decoded.push_back(event);
    EXPECT_EQ(decoded, (std::vector<std::string>{"CARRIER on", "STEREO on", "SYNTH 100000 0", "SYNTH 100000 10",
                                                 "RDS 0 65", "CARRIER off", "SYNTH 87300 0"}));
    EXPECT_FALSE(card->Locked());
    EXPECT_EQ(card->OpenHandles(), 0u);
}

TEST_F(SondelCtlRun, ABadArgumentAnywhereSendsNothing)
{
    EXPECT_EQ(Run({"open", "on", "tune", "100000", "16", "off", "rds", "1", "2", "x"}), CtlBadArguments);
    EXPECT_TRUE(card->Calls().empty());
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(errors.str(), "sondelctl: bad <data> \"x\" for \"rds\": not a number; " + Usage + "\n");
    EXPECT_EQ(Run({"open", "on", "tune", "200000", "1"}), CtlBadArguments);
    EXPECT_TRUE(card->Calls().empty());
}

TEST_F(SondelCtlRun, AFailedOpenStopsWithStatus1)
{
    TVirtualCardConfig config = IoCardConfig();
    ApplyVirtualFault(config, TVirtualFault::LockRefused);
    Use(config);
    EXPECT_EQ(Run({"open", "on", "close"}), CtlOpenFailed);
    EXPECT_EQ(out.str(), "open: failed: Failed locking device\n");
    EXPECT_TRUE(card->Trace().Events().empty());
}

TEST_F(SondelCtlRun, CommandsWithoutAnOpenCardDoNothing)
{
    EXPECT_EQ(Run({"on", "tune", "100000", "5", "rds", "0", "4", "1", "close"}), CtlSucceeded);
    EXPECT_TRUE(card->Calls().empty());
}

TEST_F(SondelCtlRun, VersionAloneNamesTheReleaseAndLeavesTheCardAlone)
{
    EXPECT_EQ(Run({"--version"}), CtlSucceeded);
    EXPECT_TRUE(std::regex_match(out.str(), std::regex("sondelctl [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << out.str();
    EXPECT_EQ(errors.str(), "");
    EXPECT_TRUE(card->Calls().empty());

    out.str("");
    EXPECT_EQ(Run({"open", "--version"}), CtlBadArguments);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(errors.str(), "sondelctl: unknown command \"--version\"; " + Usage + "\n");
    EXPECT_TRUE(card->Calls().empty());
}
