// The now-playing file's text rules: the format's fields, braces, empty artist and
// cut; skipped lines and the idle text on a clock the test moves; the commands that
// set them and who may give them.
#include "RtTextRules.h"

#include "CodePage.h"
#include "CommandLanguage.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned Western = 1252;
using TClock = std::chrono::steady_clock;
constexpr auto Minute = std::chrono::minutes(1);

TCodePageConversion CodePage() {
    return {[](std::string_view text) { return CodePageToUnicode(text, Western); },
            [](const std::u32string& text) { return UnicodeToCodePage(text, Western); }};
}

}  // namespace

TEST(RtTextRules, FormatFieldsBracesEmptyArtistAndCut) {
    struct TCase {
        const char* Format;
        std::string Line;
        std::string Text;
    };
    const std::string sixty(60, 'x');
    const TCase cases[] = {
        {"", "  Artist - Title  ", "Artist - Title"},
        {"{text}", "Artist - Title", "Artist - Title"},
        {"Now playing: {artist} - {title}", "Artist \x96 Title", "Now playing: Artist - Title"},
        {"Now playing: {artist} - {title}", "Artist \x97 Title - Part 2", "Now playing: Artist - Title - Part 2"},
        {"{title} by {artist}", "Queen - Don\x92t Stop Me Now", "Don\x92t Stop Me Now by Queen"},
        // No dash between spaces: all title; the empty artist takes its neighbouring text along.
        {"Now playing: {artist} - {title}", "Jean-Michel", "Now playing: Jean-Michel"},
        {"{title} by {artist}", "Title", "Title"},
        {"{artist}: {title}", " - Title", "Title"},
        {"{{{artist}}} {{x}}", "A - B", "{A} {x}"},
        {"On air: {text}", sixty, ("On air: " + sixty).substr(0, 64)},
        {"{title}      |", sixty, sixty},
    };
    for (const TCase& c : cases) {
        EXPECT_FALSE(RtFormatFault(c.Format).has_value()) << c.Format;
        EXPECT_EQ(c.Text, FormatRadioText(c.Format, c.Line, CodePage())) << c.Format << " / " << c.Line;
    }
    EXPECT_EQ(std::optional<std::string>("RtFormat has an unknown field {album} (fields: {text}, {artist}, {title})"),
              RtFormatFault("{artist} - {album}"));
    EXPECT_EQ(std::optional<std::string>("RtFormat has an unknown field {Title} (fields: {text}, {artist}, {title})"),
              RtFormatFault("{Title}"));
    EXPECT_EQ(std::optional<std::string>("RtFormat has a '{' without its '}' (a brace of the text is written '{{')"),
              RtFormatFault("Now {title"));
    EXPECT_EQ(std::optional<std::string>("RtFormat has a '}' without its '{' (a brace of the text is written '}}')"),
              RtFormatFault("Now } {title}"));
}

TEST(RtTextRules, SkippedLinesAndIdleTextOnTheClock) {
    TRtTextRules rules(CodePage());
    const TClock::time_point start{};
    rules.Set({"", "jingle| Station ID |advert", "", 0}, start);
    EXPECT_EQ(std::optional<std::string>("Station ID"), SkipPhrase(" Station ID |x", "STATION id 5", CodePage()));
    EXPECT_FALSE(SkipPhrase("||", "anything", CodePage()).has_value());

    // Without idle text a skipped line leaves the radiotext as it was.
    TRtDecision decision = rules.Line("Artist - Song", start);
    EXPECT_EQ(std::optional<std::string>("Artist - Song"), decision.Text);
    EXPECT_EQ("", decision.Rule);
    decision = rules.Line("Station ID JINGLE", start);
    EXPECT_FALSE(decision.Text.has_value());
    EXPECT_EQ("skipped: matches 'jingle'", decision.Rule);

    rules.Set({"", "jingle", "Rock FM - the best rock", 30}, start);
    decision = rules.Line("Summer Jingle 2", start + Minute);
    EXPECT_EQ(std::optional<std::string>("Rock FM - the best rock"), decision.Text);
    EXPECT_EQ("skipped: matches 'jingle'", decision.Rule);
    // Already idle: the time adds no second write.
    EXPECT_FALSE(rules.Tick(start + 60 * Minute).has_value());

    decision = rules.Line("Artist - Next song", start + 2 * Minute);
    EXPECT_EQ(std::optional<std::string>("Artist - Next song"), decision.Text);
    EXPECT_FALSE(rules.Tick(start + 31 * Minute).has_value());
    const std::optional<TRtDecision> idle = rules.Tick(start + 32 * Minute);
    ASSERT_TRUE(idle.has_value());
    EXPECT_EQ(std::optional<std::string>("Rock FM - the best rock"), idle->Text);
    EXPECT_EQ("idle after 30 minutes", idle->Rule);
    // Going idle is one write, not one a minute.
    EXPECT_FALSE(rules.Tick(start + 33 * Minute).has_value());
    EXPECT_FALSE(rules.Tick(start + 300 * Minute).has_value());
    // The file's next change puts the song back, and the minutes count again from it.
    EXPECT_EQ(std::optional<std::string>("Artist - Song"), rules.Line("Artist - Song", start + 301 * Minute).Text);
    EXPECT_FALSE(rules.Tick(start + 330 * Minute).has_value());
    EXPECT_TRUE(rules.Tick(start + 331 * Minute).has_value());

    // An empty line is idle at once; without idle text it goes on air as today.
    decision = rules.Line("   ", start + 332 * Minute);
    EXPECT_EQ(std::optional<std::string>("Rock FM - the best rock"), decision.Text);
    EXPECT_EQ("idle: the line is empty", decision.Rule);
    rules.Set({"", "", "", 1}, start);
    EXPECT_EQ(std::optional<std::string>(""), rules.Line("", start).Text);
    EXPECT_FALSE(rules.Tick(start + 10 * Minute).has_value());
}

TEST(RtTextRules, CommandsThatSetThemAreForTheCommandLineOnly) {
    struct TCase {
        const char* Line;
        TCommandName Name;
        uint32_t Value;
        const char* Text;
    };
    const TCase accepted[] = {
        {"RTFORMAT=Now playing: {artist} - {title}", TCommandName::RadioTextFormat, 0,
         "Now playing: {artist} - {title}"},
        {"rtformat=", TCommandName::RadioTextFormat, 0, ""},
        {"RTSKIP=jingle|station id", TCommandName::RadioTextSkip, 0, "jingle|station id"},
        {"RTIDLE=30,Rock FM, the best rock", TCommandName::RadioTextIdle, 30, "Rock FM, the best rock"},
        {"RTIDLE=1440,", TCommandName::RadioTextIdle, 1440, ""},
        {"RTIDLE=", TCommandName::RadioTextIdle, 0, ""},
        {"RESETWEAR", TCommandName::ResetWear, 0, ""},
    };
    for (const TCase& c : accepted) {
        const TParsedLine parsed = ParseCommand(c.Line);
        ASSERT_TRUE(parsed.Command.has_value()) << c.Line << " " << parsed.Reply;
        EXPECT_EQ(c.Name, parsed.Command->Name) << c.Line;
        EXPECT_EQ(c.Value, parsed.Command->Value) << c.Line;
        EXPECT_EQ(c.Text, parsed.Command->Text) << c.Line;
        EXPECT_FALSE(RefusalOfWayIn(*parsed.Command, TWayIn::CommandLine).has_value());
        EXPECT_TRUE(RefusalOfWayIn(*parsed.Command, TWayIn::Port).has_value()) << c.Line;
        EXPECT_TRUE(RefusalOfWayIn(*parsed.Command, TWayIn::SerialLine).has_value()) << c.Line;
    }
    EXPECT_EQ("- RTFORMAT is set on the command line",
              RefusalOfWayIn(*ParseCommand("RTFORMAT={text}").Command, TWayIn::Port).value_or(""));
    const std::pair<const char*, const char*> refused[] = {
        {"RTFORMAT={artist} - {album}", "- RtFormat has an unknown field {album} (fields: {text}, {artist}, {title})"},
        {"RTIDLE=1441,x", "- RTIDLE must be <minutes 0..1440>,<text>"},
        {"RTIDLE=ten,x", "- RTIDLE must be <minutes 0..1440>,<text>"},
        {"RESETWEAR=1", "- RESETWEAR takes no value"},
    };
    for (const auto& r : refused) EXPECT_EQ(r.second, ParseCommand(r.first).Reply) << r.first;

    TStatus status;
    status.RadioTextFormat = "On air: {text}";
    status.RadioTextSkip = "jingle";
    status.RadioTextIdleMinutes = 30;
    status.RadioTextIdle = "Rock FM";
    status.Wear = "166,256,4.2";
    const std::string reply = StatusReply(status);
    const std::string end = "\tCHARSET=ANSI\tRTFORMAT=On air: {text}\tRTSKIP=jingle\tRTIDLE=30,Rock FM\tWEAR=166,256,4.2\tCOMMANDPORT=0\tALLOW=\tCARD=OPEN";
    ASSERT_GT(reply.size(), end.size());
    EXPECT_EQ(end, reply.substr(reply.size() - end.size()));
}
