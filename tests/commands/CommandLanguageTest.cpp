// The command language: every command and its value, each refusal, aliases, case,
// line ends, cutting, over-long lines and the STATUS reply.
#include "CommandLanguage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TCommand Accepted(const std::string& line) {
    const TParsedLine parsed = ParseCommand(line);
    EXPECT_TRUE(parsed.Command.has_value()) << line << " -> " << parsed.Reply;
    return parsed.Command.value_or(TCommand{});
}

std::string Reply(const std::string& line) {
    const TParsedLine parsed = ParseCommand(line);
    EXPECT_FALSE(parsed.Command.has_value()) << line;
    return parsed.Reply;
}

// Every parsed line of a stream, as the reply it would get or "<NAME value text>".
std::vector<std::string> Lines(const std::vector<std::string>& chunks, bool finish = false) {
    TLineReader reader;
    std::vector<TParsedLine> parsed;
    for (const std::string& chunk : chunks) reader.Feed(chunk, parsed);
    if (finish) reader.Finish(parsed);
    std::vector<std::string> shown;
    for (const TParsedLine& line : parsed)
        shown.push_back(line.Command ? "<" + std::to_string(static_cast<int>(line.Command->Name)) + " " +
                                           std::to_string(line.Command->Value) + " " + line.Command->Text + ">"
                                     : line.Reply);
    return shown;
}

TEST(CommandLanguageTest, TextCommandsTakeTheirBytesAndCutToTheirLength) {
    TCommand ps = Accepted("PS=ROCK FM ");
    EXPECT_EQ(TCommandName::ProgramService, ps.Name);
    EXPECT_EQ("ROCK FM ", ps.Text);
    EXPECT_EQ("ABCDEFGH", Accepted("PS=ABCDEFGHIJ").Text);
    EXPECT_EQ("", Accepted("PS=").Text);
    const std::string seventy(70, 'x');
    TCommand rt = Accepted("RT=" + seventy);
    EXPECT_EQ(TCommandName::RadioText, rt.Name);
    EXPECT_EQ(std::string(64, 'x'), rt.Text);
    // Bytes of the 8-bit code page pass unchanged; a '=' in the text is text.
    EXPECT_EQ(" Caf\xE9 = ok", Accepted("RT= Caf\xE9 = ok").Text);
    EXPECT_EQ(TCommandName::RadioText, Accepted("RT1=a").Name);
    EXPECT_EQ(TCommandName::RadioText, Accepted("TEXT=a").Name);
    EXPECT_EQ("Now", Accepted("text=Now").Text);
}

TEST(CommandLanguageTest, TextWithAControlCharacterIsRefused) {
    EXPECT_EQ("- RT holds a control character", Reply("RT=a\tb"));
    EXPECT_EQ("- PS holds a control character", Reply(std::string("PS=a\0b", 6)));
    EXPECT_EQ("- TEXT holds a control character", Reply("TEXT=\x1F"));
}

TEST(CommandLanguageTest, RadioTextFileTakesAFullPathOrNothing) {
    EXPECT_EQ(TCommandName::RadioTextFile, Accepted("RTFILE=C:\\Playout\\Now Playing.txt").Name);
    EXPECT_EQ("C:\\Playout\\Now Playing.txt", Accepted("rtfile=C:\\Playout\\Now Playing.txt").Text);
    EXPECT_EQ("d:/now.txt", Accepted("RTFILE=d:/now.txt").Text);
    EXPECT_EQ("\\\\studio\\share\\now.txt", Accepted("RTFILE=\\\\studio\\share\\now.txt").Text);
    // Longer than a radiotext: a path is not cut.
    const std::string deep = "C:\\" + std::string(200, 'd') + "\\now.txt";
    EXPECT_EQ(deep, Accepted("RTFILE=" + deep).Text);
    EXPECT_EQ("", Accepted("RTFILE=").Text);
    for (const char* relative : {"RTFILE=now.txt", "RTFILE=Playout\\now.txt", "RTFILE=C:now.txt", "RTFILE=\\now.txt",
                                 "RTFILE=1:\\now.txt"})
        EXPECT_EQ("- RTFILE must be a full path or empty", Reply(relative)) << relative;
    EXPECT_EQ("- RTFILE holds a control character", Reply("RTFILE=C:\\a\tb.txt"));
    // Devices and the raw namespace are no files to follow; a share is one.
    for (const char* device : {"RTFILE=\\\\.\\COM1", "RTFILE=\\\\.\\pipe\\x", "RTFILE=//./PhysicalDrive0",
                               "RTFILE=\\\\?\\C:\\now.txt", "RTFILE=\\\\?\\UNC\\host\\share\\x",
                               "RTFILE=C:\\Playout\\CON", "RTFILE=C:\\Playout\\nul.txt", "RTFILE=C:\\com3",
                               "RTFILE=D:\\LPT1.log", "RTFILE=C:\\CONIN$"})
        EXPECT_EQ("- RTFILE must name a file, not a device", Reply(device)) << device;
    for (const char* file : {"RTFILE=\\\\studio\\share\\now.txt", "RTFILE=C:\\Playout\\console.txt",
                             "RTFILE=C:\\com10", "RTFILE=C:\\CON\\now.txt", "RTFILE=\\\\host\\share\\x"})
        EXPECT_EQ(TCommandName::RadioTextFile, Accepted(file).Name) << file;
    EXPECT_EQ("- RTFILE needs a value", Reply("RTFILE"));
}

TEST(CommandLanguageTest, NumbersInRangeAndRefusalsOutside) {
    EXPECT_EQ(0u, Accepted("PTY=0").Value);
    EXPECT_EQ(31u, Accepted("pty=31").Value);
    EXPECT_EQ(TCommandName::Pty, Accepted("Pty=7").Name);
    EXPECT_EQ("- PTY must be 0..31", Reply("PTY=32"));
    EXPECT_EQ("- PTY must be 0..31", Reply("PTY=x"));
    EXPECT_EQ("- PTY must be 0..31", Reply("PTY=-1"));
    EXPECT_EQ("- PTY must be 0..31", Reply("PTY="));
    EXPECT_EQ("- PTY must be 0..31", Reply("PTY=99999999999999"));
    EXPECT_EQ(1u, Accepted("TP=1").Value);
    EXPECT_EQ("- TP must be 0 or 1", Reply("TP=2"));
    EXPECT_EQ(TCommandName::MusicSpeech, Accepted("MS=0").Name);
    EXPECT_EQ("- MS must be 0 or 1", Reply("MS=on"));
    EXPECT_EQ(15u, Accepted("POWER=15").Value);
    EXPECT_EQ("- POWER must be 0..15", Reply("POWER=16"));
    EXPECT_EQ(65535u, Accepted("COMMANDPORT=65535").Value);
    EXPECT_EQ(0u, Accepted("COMMANDPORT=0").Value);
    EXPECT_EQ("- COMMANDPORT must be 0..65535", Reply("COMMANDPORT=65536"));
}

TEST(CommandLanguageTest, CharacterSetIsRdsOrAnsiInAnyCase) {
    const TCommand rds = Accepted("CHARSET=RDS");
    EXPECT_EQ(TCommandName::CharacterSet, rds.Name);
    EXPECT_EQ(static_cast<uint32_t>(TMemoryCharacterSet::Rds), rds.Value);
    EXPECT_EQ(static_cast<uint32_t>(TMemoryCharacterSet::Ansi), Accepted("charset= ansi ").Value);
    EXPECT_EQ(static_cast<uint32_t>(TMemoryCharacterSet::Rds), Accepted("Charset=Rds").Value);
    for (const char* other : {"CHARSET=", "CHARSET=UTF-8", "CHARSET=1252", "CHARSET=RDSX"})
        EXPECT_EQ("- CHARSET must be RDS or ANSI", Reply(other)) << other;
    EXPECT_EQ("- CHARSET needs a value", Reply("CHARSET"));
}

TEST(CommandLanguageTest, PiDigitsAndTheirListIndexes) {
    const TCommand pi = Accepted("PI=D223");
    EXPECT_EQ(0xD223u, pi.Value);
    EXPECT_EQ(12, PiCountryIndex(pi.Value));
    EXPECT_EQ(2, PiAreaIndex(pi.Value));
    EXPECT_EQ(0x23, PiProgramReference(pi.Value));
    EXPECT_EQ(0x1F0Au, Accepted("pi=1f0a").Value);
    EXPECT_EQ("- PI must be four hex digits, the first 1..F", Reply("PI=0123"));
    EXPECT_EQ("- PI must be four hex digits, the first 1..F", Reply("PI=D22"));
    EXPECT_EQ("- PI must be four hex digits, the first 1..F", Reply("PI=D22G"));
    EXPECT_EQ("- PI must be four hex digits, the first 1..F", Reply("PI=D2234"));
    EXPECT_EQ("D223", PiText(12, 2, 0x23));
    EXPECT_EQ("1000", PiText(0, 0, 0));
    EXPECT_EQ("FFFF", PiText(14, 15, 255));
    EXPECT_EQ("", PiText(-1, 0, 0));
}

TEST(CommandLanguageTest, FrequencyInTheBandOnTheChannelGrid) {
    EXPECT_EQ(101300u, Accepted("FREQ=101.3").Value);
    EXPECT_EQ(101300u, Accepted("FREQ=101.30").Value);
    EXPECT_EQ(101300u, Accepted("freq=101.300").Value);
    EXPECT_EQ(101000u, Accepted("FREQ=101").Value);
    EXPECT_EQ(87500u, Accepted("FREQ=87.5").Value);
    EXPECT_EQ(108000u, Accepted("FREQ=108.0").Value);
    EXPECT_EQ(100050u, Accepted("FREQ=100.05").Value);
    const std::string refused = "- FREQ must be 87.5..108.0 MHz in steps of 0.05";
    for (const char* line : {"FREQ=120", "FREQ=100.01", "FREQ=87.45", "FREQ=108.05", "FREQ=100.", "FREQ=.5",
                             "FREQ=100.0000", "FREQ=1e2", "FREQ=100,3", "FREQ="})
        EXPECT_EQ(refused, Reply(line)) << line;
}

TEST(CommandLanguageTest, SwitchesAndCommandsWithoutValue) {
    EXPECT_EQ(1u, Accepted("CARRIER=ON").Value);
    EXPECT_EQ(0u, Accepted("carrier=off").Value);
    EXPECT_EQ(TCommandName::Stereo, Accepted("Stereo=On").Name);
    EXPECT_EQ("- CARRIER must be ON or OFF", Reply("CARRIER=1"));
    EXPECT_EQ("- STEREO must be ON or OFF", Reply("STEREO="));
    EXPECT_EQ(TCommandName::Update, Accepted("UPDATE").Name);
    EXPECT_EQ(TCommandName::Status, Accepted("status").Name);
    EXPECT_EQ("- STATUS takes no value", Reply("STATUS=1"));
    EXPECT_EQ("- RT needs a value", Reply("RT"));
    EXPECT_EQ("! unknown command", Reply("HELLO=1"));
    EXPECT_EQ("! unknown command", Reply("\x01\xFF\x7F"));
    EXPECT_EQ("! unknown command", Reply("=5"));
}

TEST(CommandLanguageTest, LineEndsBlankLinesAndHalfLines) {
    EXPECT_EQ((std::vector<std::string>{"<1 0 a>", "<1 0 b>", "<1 0 c>", "<3 1 >"}),
              Lines({"RT=a\r\nRT=b\nRT=c\r\r\n\n  \nTP=1\n"}));
    // A CR LF split between two reads, and a line in three pieces.
    EXPECT_EQ((std::vector<std::string>{"<1 0 ab>", "<2 5 >"}), Lines({"RT=a", "b\r", "\nPTY=", "5\n"}));
    // A half line waits for its end; the end of a datagram ends it.
    EXPECT_TRUE(Lines({"PTY=5"}).empty());
    EXPECT_EQ((std::vector<std::string>{"<2 5 >"}), Lines({"PTY=5"}, true));
}

TEST(CommandLanguageTest, OverLongLineIsRefusedOnceAndTheNextLineCounts) {
    const std::string longest = "RT=" + std::string(MaxLineBytes - 3, 'x');
    EXPECT_EQ((std::vector<std::string>{"<1 0 " + std::string(64, 'x') + ">"}), Lines({longest + "\n"}));
    const std::string tooLong = longest + "y";
    EXPECT_EQ((std::vector<std::string>{"- line longer than 1024 bytes", "<2 2 >"}),
              Lines({tooLong.substr(0, 700), tooLong.substr(700) + std::string(5000, 'z'), "\r\nPTY=2\r\n"}));
}

// What headless Chromium sent for a page's fetch(..., {method: "POST", mode: "no-cors"})
// with a text/plain body, and for a text/plain form post.
const std::vector<std::string> BrowserLines = {
    "POST / HTTP/1.1",
    "Host: 127.0.0.1:5000",
    "Connection: keep-alive",
    "Content-Length: 24",
    "sec-ch-ua-platform: \"Windows\"",
    "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) HeadlessChrome/120.0.0.0 Safari/537.36",
    "Content-Type: text/plain;charset=UTF-8",
    "Accept: */*",
    "Origin: http://localhost:8000",
    "Sec-Fetch-Site: cross-site",
    "Sec-Fetch-Mode: no-cors",
    "Referer: http://localhost:8000/",
    "Accept-Encoding: gzip, deflate, br",
    "Accept-Language: en-US,en;q=0.9",
    "OPTIONS * HTTP/1.1",
    "GET /?RT=x HTTP/1.0",
    "HEAD /status HTTP/1.1",
    "PUT /rt HTTP/2",
    "CONNECT 127.0.0.1:5000 HTTP/1.1",
    "Cache-Control: max-age=0",
    "Upgrade-Insecure-Requests: 1",
};

TEST(CommandLanguageTest, LinesABrowserSendsAreHttp) {
    for (const std::string& line : BrowserLines) {
        EXPECT_TRUE(IsHttpLine(line)) << line;
        const TParsedLine parsed = ParseCommand(line);
        EXPECT_FALSE(parsed.Command.has_value()) << line;
        EXPECT_TRUE(parsed.Http) << line;
        EXPECT_EQ("- HTTP is not served here", parsed.Reply) << line;
    }
}

TEST(CommandLanguageTest, HeaderLikeTextOfAPlainClientStaysACommand) {
    for (const char* line : {"RT=Host: the morning show", "RT=GET / HTTP/1.1", "TEXT=Origin: Jamaica",
                             "PS=Ctype:", "RT=Content-Type: text/plain", "rt = Host: x", "STATUS", "UPDATE",
                             "RTFILE=C:\\now.txt"}) {
        EXPECT_FALSE(IsHttpLine(line)) << line;
        const TParsedLine parsed = ParseCommand(line);
        EXPECT_TRUE(parsed.Command.has_value()) << line << " -> " << parsed.Reply;
        EXPECT_FALSE(parsed.Http) << line;
    }
    EXPECT_EQ("Host: the morning show", Accepted("RT=Host: the morning show").Text);
    // Neither a command nor HTTP: unknown, as before.
    for (const char* line : {"GET", "GET /", "GET / HTTP", "get / HTTP/1.1", "POST  / HTTP/1.1", ": x", "Host x"})
        EXPECT_FALSE(IsHttpLine(line)) << line;
}

TEST(CommandLanguageTest, RequestLineTooLongToReadWholeIsHttpToo) {
    TLineReader reader;
    std::vector<TParsedLine> parsed;
    reader.Feed("POST /" + std::string(3000, 'a') + " HTTP/1.1\r\nCARRIER=OFF\r\n", parsed);
    ASSERT_EQ(2u, parsed.size());
    EXPECT_TRUE(parsed[0].Http);
    EXPECT_FALSE(parsed[1].Http);
    // An over-long command stays a plain refusal.
    parsed.clear();
    reader.Feed("RT=" + std::string(3000, 'a') + "\r\n", parsed);
    ASSERT_EQ(1u, parsed.size());
    EXPECT_FALSE(parsed[0].Http);
    EXPECT_EQ("- line longer than 1024 bytes", parsed[0].Reply);
}

TEST(CommandLanguageTest, StatusReplyFieldsInOrder) {
    TStatus status;
    status.Frequency = "101.300";
    status.Power = 5;
    status.Carrier = true;
    status.Stereo = false;
    status.Pty = 11;
    status.Tp = 1;
    status.MusicSpeech = 1;
    status.Pi = "D223";
    status.ProgramService = "ROCK FM ";
    status.RadioText = "Now\tplaying";
    status.RadioTextFile = "C:\\Playout\\now.txt";
    status.CharacterSet = TMemoryCharacterSet::Rds;
    status.CommandPort = 7000;
    status.CommandPortAllow = "192.168.1.20, 10.0.5.0/24";
    EXPECT_EQ("+\tFREQ=101.300\tPOWER=5\tCARRIER=ON\tSTEREO=OFF\tPTY=11\tTP=1\tMS=1\tPI=D223\tPS=ROCK FM "
              "\tRT=Now playing\tRTFILE=C:\\Playout\\now.txt\tCHARSET=RDS\tRTFORMAT=\tRTSKIP=\tRTIDLE=0,"
              "\tCOMMANDPORT=7000\tALLOW=192.168.1.20, 10.0.5.0/24\tCARD=OPEN",
              StatusReply(status));
    status.CharacterSet = TMemoryCharacterSet::Ansi;
    status.CardOpen = false;
    status.CardFailure = "no cards found";
    const std::string ansi = StatusReply(status);
    EXPECT_NE(std::string::npos, ansi.find("\tCHARSET=ANSI\tRTFORMAT=")) << ansi;
    EXPECT_EQ(ansi.size() - 25, ansi.rfind("\tCARD=NONE no cards found")) << ansi;
    EXPECT_TRUE(IsDoneReply(StatusReply(status)));
    EXPECT_FALSE(IsDoneReply(RefusedReply("x")));
    EXPECT_EQ("+", DoneReply());
}

}  // namespace

namespace {

TEST(WaysIn, WhatDecidesWhereTheProgramReadsOrListensComesOnlyFromTheCommandLine) {
    const TCommand rtFile = *ParseCommand("RTFILE=C:\\nowplaying.txt").Command;
    const TCommand port = *ParseCommand("COMMANDPORT=7000").Command;
    const TCommand characters = *ParseCommand("CHARSET=RDS").Command;
    const TCommand allow = *ParseCommand("commandportallow = 192.0.2.20, 192.0.2.64/26 ").Command;
    EXPECT_EQ(TCommandName::CommandPortAllow, allow.Name);
    EXPECT_EQ("192.0.2.20, 192.0.2.64/26", allow.Text);
    EXPECT_EQ(std::nullopt, RefusalOfWayIn(allow, TWayIn::CommandLine));
    for (const TWayIn way : {TWayIn::Port, TWayIn::NowPlayingFile, TWayIn::SerialLine}) {
        EXPECT_EQ(std::optional<std::string>("- COMMANDPORTALLOW is set on the command line"),
                  RefusalOfWayIn(allow, way));
    }
    const TCommand settings = *ParseCommand("settings").Command;
    EXPECT_EQ(TCommandName::Settings, settings.Name);
    EXPECT_EQ("- SETTINGS takes no value", ParseCommand("SETTINGS=1").Reply);
    EXPECT_EQ(std::nullopt, RefusalOfWayIn(settings, TWayIn::CommandLine));
    for (const TWayIn way : {TWayIn::Port, TWayIn::NowPlayingFile, TWayIn::SerialLine}) {
        EXPECT_EQ(std::optional<std::string>("- SETTINGS is given on the command line"), RefusalOfWayIn(settings, way));
        EXPECT_EQ(std::optional<std::string>("- RTFILE is set on the command line"), RefusalOfWayIn(rtFile, way));
        EXPECT_EQ(std::optional<std::string>("- COMMANDPORT is set on the command line"), RefusalOfWayIn(port, way));
        EXPECT_EQ(std::optional<std::string>("- CHARSET is set on the command line"),
                  RefusalOfWayIn(characters, way));
    }
    EXPECT_EQ(std::nullopt, RefusalOfWayIn(rtFile, TWayIn::CommandLine));
    EXPECT_EQ(std::nullopt, RefusalOfWayIn(characters, TWayIn::CommandLine));
    EXPECT_EQ(std::nullopt, RefusalOfWayIn(*ParseCommand("RT=x").Command, TWayIn::SerialLine));
}

}  // namespace
