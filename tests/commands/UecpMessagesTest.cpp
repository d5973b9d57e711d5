// UECP messages written out byte by byte: addressing and its lists, every message the
// card carries, every refusal, the communication mode per peer, requests, and the
// reply frames with their acknowledgements.
#include "UecpExchange.h"
#include "UecpMessages.h"

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

// A code page standing in for 1252 without the platform: Latin-1, "?" for the rest.
const TCodePageConversion Latin1 = {
    [](std::string_view text) {
        std::u32string unicode;
        for (char c : text) unicode += static_cast<char32_t>(static_cast<unsigned char>(c));
        return unicode;
    },
    [](const std::u32string& text) {
        std::string bytes;
        for (char32_t c : text) bytes += c <= 0xFF ? static_cast<char>(c) : '?';
        return bytes;
    }};

TUecpFrame Frame(const std::string& messages, uint8_t sequence = 1, TUecpAddress address = {}) {
    TUecpFrame frame;
    frame.HasHeader = true;
    frame.Address = address;
    frame.Sequence = sequence;
    frame.Messages = messages;
    return frame;
}

TUecpDecoded Decode(const std::string& messages, TUecpPeer& peer, const TUecpAddressLists& lists = {}) {
    return DecodeUecpFrame(Frame(messages), lists, peer, Latin1);
}

TUecpDecoded Decode(const std::string& messages) {
    TUecpPeer peer;
    return Decode(messages, peer);
}

// The commands as "<name> <value> <text>".
std::vector<std::string> Commands(const TUecpDecoded& decoded) {
    std::vector<std::string> shown;
    for (const TCommand& command : decoded.Commands)
        shown.push_back(std::to_string(static_cast<int>(command.Name)) + " " + std::to_string(command.Value) + " " +
                        command.Text);
    return shown;
}

using TShown = std::vector<std::string>;

std::string Shown(TCommandName name, uint32_t value, const std::string& text = {}) {
    return std::to_string(static_cast<int>(name)) + " " + std::to_string(value) + " " + text;
}

// The one command a message makes, with no refusal.
TCommand Only(const std::string& messages) {
    const TUecpDecoded decoded = Decode(messages);
    EXPECT_EQ(decoded.Code, TUecpCode::Ok);
    EXPECT_EQ(decoded.Commands.size(), 1u);
    return decoded.Commands.empty() ? TCommand{} : decoded.Commands[0];
}

// The refusal of a frame that changes nothing.
TUecpCode Refusal(const std::string& messages) {
    const TUecpDecoded decoded = Decode(messages);
    EXPECT_TRUE(decoded.Commands.empty());
    EXPECT_FALSE(decoded.NewAddresses.has_value());
    return decoded.Code;
}

}  // namespace

TEST(UecpAddresses, SettingTextsParseAndFormat) {
    EXPECT_EQ(ParseUecpSites(""), std::vector<uint16_t>{});
    EXPECT_EQ(ParseUecpSites("  "), std::vector<uint16_t>{});
    EXPECT_EQ(ParseUecpSites("5"), (std::vector<uint16_t>{5}));
    EXPECT_EQ(ParseUecpSites(" 5, 1023 ,5,17"), (std::vector<uint16_t>{5, 1023, 17}));
    for (const char* bad : {"0", "1024", "x", "5,", ",5", "5,,6", "5;6", "-1", "00005", "5 6"})
        EXPECT_FALSE(ParseUecpSites(bad).has_value()) << bad;
    EXPECT_EQ(ParseUecpEncoders("1,63"), (std::vector<uint8_t>{1, 63}));
    EXPECT_FALSE(ParseUecpEncoders("64").has_value());
    EXPECT_EQ(FormatUecpSites({5, 1023, 17}), "5,1023,17");
    EXPECT_EQ(FormatUecpSites({}), "");
    EXPECT_EQ(FormatUecpEncoders({3}), "3");
}

TEST(UecpAddresses, ZeroIsEveryonesAndTheListsAddTheirOwn) {
    const TUecpAddressLists none;
    EXPECT_TRUE(none.Accepts({0, 0}));
    EXPECT_FALSE(none.Accepts({5, 0}));
    EXPECT_FALSE(none.Accepts({0, 3}));
    EXPECT_EQ(none.Own().Site, 0);
    EXPECT_EQ(none.Own().Encoder, 0);
    const TUecpAddressLists lists{{5, 9}, {3}};
    EXPECT_TRUE(lists.Accepts({5, 3}));
    EXPECT_TRUE(lists.Accepts({9, 0}));
    EXPECT_TRUE(lists.Accepts({0, 3}));
    EXPECT_FALSE(lists.Accepts({5, 4}));
    EXPECT_FALSE(lists.Accepts({6, 3}));
    EXPECT_EQ(lists.Own().Site, 5);
    EXPECT_EQ(lists.Own().Encoder, 3);
}

TEST(UecpMessages, AFrameForAnotherEncoderIsIgnoredQuietly) {
    TUecpPeer peer;
    peer.Mode = TUecpMode::SpontaneousResponse;
    const std::string ps = Bytes({0x02, 0x00, 0x00, 'O', 'T', 'H', 'E', 'R', ' ', ' ', ' ', 0x2C, 0x00});
    const TUecpDecoded decoded = DecodeUecpFrame(Frame(ps, 1, {7, 0}), {}, peer, Latin1);
    EXPECT_FALSE(decoded.ForThisProgram);
    EXPECT_TRUE(decoded.Commands.empty());
    EXPECT_EQ(peer.Mode, TUecpMode::SpontaneousResponse);
    EXPECT_TRUE(EncodeUecpReply(decoded, {}, Latin1).empty());
    // Listed, it is this program's.
    EXPECT_TRUE(DecodeUecpFrame(Frame(ps, 1, {7, 0}), {{7}, {}}, peer, Latin1).ForThisProgram);
    // Not even its sequence counter could be read.
    TUecpFrame headless;
    headless.Damage = TUecpCode::FieldLength;
    EXPECT_FALSE(DecodeUecpFrame(headless, {}, peer, Latin1).ForThisProgram);
}

TEST(UecpMessages, ProgramServiceInTheRdsCharacterSet) {
    TCommand ps = Only(Bytes({0x02, 0x00, 0x00, 'R', 'O', 'C', 'K', ' ', 'F', 'M', ' '}));
    EXPECT_EQ(ps.Name, TCommandName::ProgramService);
    EXPECT_EQ(ps.Text, "ROCK FM ");
    // é, "$" (0xAB), the currency sign (0x24), ß; alpha is not in the code page.
    ps = Only(Bytes({0x02, 0x01, 0x01, 'C', 'a', 'f', 0x82, 0xAB, 0x24, 0x8D, 0xA1}));
    EXPECT_EQ(ps.Text, "Caf\xE9$\xA4\xDF?");
    // A control code becomes a space.
    EXPECT_EQ(Only(Bytes({0x02, 0xFF, 0x00, 'A', 0x0A, 'B', ' ', ' ', ' ', ' ', ' '})).Text, "A B     ");
}

TEST(UecpMessages, TextsKeepTheirCodesAsSentAndAreCutToTheFieldsBytes) {
    // A code page of two bytes a character beyond ASCII, "?" for none.
    const TCodePageConversion twoByte = {Latin1.ToUnicode, [](const std::u32string& text) {
                                             std::string bytes;
                                             for (char32_t c : text)
                                                 bytes += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\x83\x41";
                                             return bytes;
                                         }};
    const std::string alpha = Bytes({0xA1});
    const struct {
        const char* Name;
        std::string Message;
        const TCodePageConversion& CodePage;
        std::string Text;
        std::string Codes;
    } cases[] = {
        // The code page lacks the RDS set's o with double acute (0xA7).
        {"a code the code page lacks", Bytes({0x02, 0x00, 0x00, 'K', 0xA7, 'R', 'S', ' ', 'F', 'M', ' '}), Latin1,
         "K?RS FM ", "K\xA7RS FM "},
        {"a PS of two-byte characters", Bytes({0x02, 0x00, 0x00}) + "ABCDEFG" + alpha, twoByte, "ABCDEFG",
         "ABCDEFG" + alpha},
        {"a PS cut before a character", Bytes({0x02, 0x00, 0x00}) + "A" + alpha + alpha + alpha + alpha + "BCD",
         twoByte, "A\x83\x41\x83\x41\x83\x41", "A" + alpha + alpha + alpha + alpha + "BCD"},
        {"an RT of two-byte characters", Bytes({0x0A, 0x00, 0x00, 65, 0x00}) + std::string(63, 'r') + alpha, twoByte,
         std::string(63, 'r'), std::string(63, 'r') + alpha},
        {"an RT with a line break code", Bytes({0x0A, 0x00, 0x00, 0x04, 0x00, 'a', 0x0A, 'b'}), Latin1, "a b",
         Bytes({'a', 0x0A, 'b'})},
    };
    for (const auto& test : cases) {
        TUecpPeer peer;
        const TUecpDecoded decoded = DecodeUecpFrame(Frame(test.Message), {}, peer, test.CodePage);
        ASSERT_EQ(decoded.Commands.size(), 1u) << test.Name;
        EXPECT_EQ(decoded.Commands[0].Text, test.Text) << test.Name;
        EXPECT_EQ(decoded.Commands[0].RdsCodes, test.Codes) << test.Name;
    }
    // A request is answered with the codes the status says the text came in.
    TUecpPeer peer;
    peer.Mode = TUecpMode::RequestedResponse;
    TStatus status;
    status.ProgramService = "K?RS FM ";
    status.ProgramServiceCodes = "K\xA7RS FM ";
    const TUecpDecoded request = Decode(Bytes({0x17, 0x03, 0x02, 0x00, 0x00}), peer);
    EXPECT_EQ(EncodeUecpReply(request, status, Latin1),
              (std::vector<std::string>{EncodeUecpFrame(
                  {}, 1, Bytes({0x02, 0x00, 0x00, 'K', 0xA7, 'R', 'S', ' ', 'F', 'M', ' ', 0x18, 0x00}))}));
}

TEST(UecpMessages, RadioTextClearedSetCutByCarriageReturn) {
    TCommand rt = Only(Bytes({0x0A, 0x00, 0x00, 0x00}));
    EXPECT_EQ(rt.Name, TCommandName::RadioText);
    EXPECT_EQ(rt.Text, "");
    // The configuration byte is the encoder's own business.
    rt = Only(Bytes({0x0A, 0x00, 0x00, 0x06, 0x35, 'N', 'o', 'w', ' ', 0x82}));
    EXPECT_EQ(rt.Text, "Now \xE9");
    rt = Only(Bytes({0x0A, 0x00, 0x00, 0x07, 0x00, 'S', 'h', 'o', 'r', 't', 0x0D}));
    EXPECT_EQ(rt.Text, "Short");
    rt = Only(Bytes({0x0A, 0x00, 0x00, 0x05, 0x00, 'A', 0x0D, 'B', 'C'}));
    EXPECT_EQ(rt.Text, "A");
    EXPECT_EQ(Only(Bytes({0x0A, 0x00, 0x00, 0x01, 0x00})).Text, "");
    std::string full = Bytes({0x0A, 0x00, 0x00, 65, 0x00});
    for (int i = 0; i < 64; ++i) full += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Only(full).Text.size(), 64u);
    // 65 characters: an element length error, and the next message still applies.
    std::string tooLong = Bytes({0x0A, 0x00, 0x00, 66, 0x00}) + std::string(65, 'x') + Bytes({0x07, 0x00, 0x00, 0x01});
    const TUecpDecoded decoded = Decode(tooLong);
    EXPECT_EQ(decoded.Code, TUecpCode::ElementLength);
    EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::Pty, 1)}));
}

TEST(UecpMessages, PiTaTpMusicSpeechPty) {
    TCommand pi = Only(Bytes({0x01, 0x00, 0x00, 0xD2, 0x23}));
    EXPECT_EQ(pi.Name, TCommandName::Pi);
    EXPECT_EQ(pi.Value, 0xD223u);
    EXPECT_EQ(Refusal(Bytes({0x01, 0x00, 0x00, 0x02, 0x23})), TUecpCode::OutOfRange);

    // Bit 1 TP, bit 0 TA: TP is set; TA on cannot go on air and is not acceptable.
    const struct {
        int Flags;
        uint32_t Tp;
        TUecpCode Code;
    } flags[] = {{0x03, 1, TUecpCode::NotAcceptable},
                 {0x02, 1, TUecpCode::Ok},
                 {0x01, 0, TUecpCode::NotAcceptable},
                 {0x00, 0, TUecpCode::Ok}};
    for (const auto& row : flags) {
        const TUecpDecoded decoded = Decode(Bytes({0x03, 0x00, 0x00, row.Flags}));
        EXPECT_EQ(decoded.Code, row.Code) << row.Flags;
        EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::Tp, row.Tp)})) << row.Flags;
    }
    EXPECT_EQ(Refusal(Bytes({0x03, 0x00, 0x00, 0x04})), TUecpCode::OutOfRange);

    TCommand ms = Only(Bytes({0x05, 0x00, 0x00, 0x01}));
    EXPECT_EQ(ms.Name, TCommandName::MusicSpeech);
    EXPECT_EQ(ms.Value, 1u);
    EXPECT_EQ(Only(Bytes({0x05, 0x00, 0x00, 0x00})).Value, 0u);
    EXPECT_EQ(Refusal(Bytes({0x05, 0x00, 0x00, 0x02})), TUecpCode::OutOfRange);

    TCommand pty = Only(Bytes({0x07, 0x00, 0x00, 0x1F}));
    EXPECT_EQ(pty.Name, TCommandName::Pty);
    EXPECT_EQ(pty.Value, 31u);
    EXPECT_EQ(Only(Bytes({0x07, 0x00, 0x00, 0x00})).Value, 0u);
    EXPECT_EQ(Refusal(Bytes({0x07, 0x00, 0x00, 0x20})), TUecpCode::OutOfRange);
}

TEST(UecpMessages, OtherDataSetsAndProgrammeServicesChangeNothing) {
    EXPECT_EQ(Only(Bytes({0x07, 0x01, 0x00, 0x05})).Value, 5u);
    EXPECT_EQ(Only(Bytes({0x07, 0xFF, 0x01, 0x05})).Value, 5u);
    for (int dataSet : {0x02, 0x7F, 0xFE})
        EXPECT_EQ(Refusal(Bytes({0x07, dataSet, 0x00, 0x05})), TUecpCode::DataSet) << dataSet;
    for (int service : {0x02, 0xFF})
        EXPECT_EQ(Refusal(Bytes({0x02, 0x00, service, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'})),
                  TUecpCode::ProgramService) << service;
    EXPECT_EQ(Refusal(Bytes({0x0A, 0x05, 0x00, 0x02, 0x00, 'x'})), TUecpCode::DataSet);
    EXPECT_EQ(Refusal(Bytes({0x01, 0x00, 0x09, 0xD2, 0x23})), TUecpCode::ProgramService);
}

TEST(UecpMessages, SeveralMessagesApplyInOrderAndTheFirstRefusalIsTheCode) {
    TUecpDecoded decoded = Decode(Bytes({0x02, 0x00, 0x00, 'R', 'O', 'C', 'K', ' ', 'F', 'M', ' ', 0x07, 0x00, 0x00,
                                         0x0B, 0x03, 0x00, 0x00, 0x02, 0x05, 0x00, 0x00, 0x01}));
    EXPECT_EQ(decoded.Code, TUecpCode::Ok);
    EXPECT_EQ(Commands(decoded),
              (TShown{Shown(TCommandName::ProgramService, 0, "ROCK FM "), Shown(TCommandName::Pty, 11),
                      Shown(TCommandName::Tp, 1), Shown(TCommandName::MusicSpeech, 1)}));
    // PTY out of range, then PS of data set 9: the first code is kept; MS still applies.
    decoded = Decode(Bytes({0x07, 0x00, 0x00, 0x40, 0x02, 0x09, 0x00, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x05,
                            0x00, 0x00, 0x00}));
    EXPECT_EQ(decoded.Code, TUecpCode::OutOfRange);
    EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::MusicSpeech, 0)}));
}

TEST(UecpMessages, AnUnknownMessageIsRefusedAndTheOthersStillApply) {
    // DI (0x04), PIN (0x06) and PTYN (0x3E) have known lengths: the next message is found.
    TUecpDecoded decoded = Decode(Bytes({0x07, 0x00, 0x00, 0x01, 0x04, 0x00, 0x00, 0x01, 0x06, 0x00, 0x00, 0x12, 0x34,
                                         0x3E, 0x00, 0x00, 'P', 'T', 'Y', 'N', ' ', ' ', ' ', ' ', 0x05, 0x00, 0x00,
                                         0x01}));
    EXPECT_EQ(decoded.Code, TUecpCode::UnknownMessage);
    EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::Pty, 1), Shown(TCommandName::MusicSpeech, 1)}));
    // AF (0x13) and any other: the messages before apply; what follows cannot be told apart.
    decoded = Decode(Bytes({0x07, 0x00, 0x00, 0x02, 0x13, 0x00, 0x00, 0x03, 0xE0, 0x01, 0x02, 0x05, 0x00, 0x00, 0x01}));
    EXPECT_EQ(decoded.Code, TUecpCode::UnknownMessage);
    EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::Pty, 2)}));
    EXPECT_EQ(Refusal(Bytes({0x18, 0x00})), TUecpCode::UnknownMessage);
    EXPECT_EQ(Refusal(Bytes({0x00})), TUecpCode::UnknownMessage);
}

TEST(UecpMessages, AMessageCutShortByTheFieldsEndIsAnUnexpectedEnd) {
    for (const std::string& cut :
         {Bytes({0x02, 0x00, 0x00, 'A', 'B', 'C', 'D', 'E'}), Bytes({0x01, 0x00, 0x00, 0xD2}), Bytes({0x07, 0x00}),
          Bytes({0x07, 0x00, 0x00}), Bytes({0x0A, 0x00, 0x00}), Bytes({0x0A, 0x00, 0x00, 0x05, 0x00, 'a'}),
          Bytes({0x2C}), Bytes({0x23, 0x01, 0x00}), Bytes({0x27, 0x01}), Bytes({0x17}), Bytes({0x17, 0x03, 0x02}),
          Bytes({0x04, 0x00, 0x00})})
        EXPECT_EQ(Refusal(cut), TUecpCode::UnexpectedEnd) << cut.size();
    // The messages before the cut one still apply.
    const TUecpDecoded decoded = Decode(Bytes({0x07, 0x00, 0x00, 0x03, 0x05, 0x00, 0x00}));
    EXPECT_EQ(decoded.Code, TUecpCode::UnexpectedEnd);
    EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::Pty, 3)}));
}

TEST(UecpMessages, SiteAndEncoderAddressesAddedRemovedAndCleared) {
    TUecpPeer peer;
    TUecpDecoded decoded = Decode(Bytes({0x23, 0x01, 0x00, 0x05, 0x23, 0x01, 0x03, 0xFF, 0x27, 0x01, 0x03}), peer);
    EXPECT_EQ(decoded.Code, TUecpCode::Ok);
    ASSERT_TRUE(decoded.NewAddresses.has_value());
    EXPECT_EQ(decoded.NewAddresses->Sites, (std::vector<uint16_t>{5, 1023}));
    EXPECT_EQ(decoded.NewAddresses->Encoders, (std::vector<uint8_t>{3}));
    EXPECT_EQ(decoded.ReplyAddress.Site, 5);
    EXPECT_EQ(decoded.ReplyAddress.Encoder, 3);

    const TUecpAddressLists lists{{5, 1023}, {3, 7}};
    decoded = Decode(Bytes({0x23, 0x00, 0x00, 0x05, 0x27, 0x00, 0x03}), peer, lists);
    ASSERT_TRUE(decoded.NewAddresses.has_value());
    EXPECT_EQ(decoded.NewAddresses->Sites, (std::vector<uint16_t>{1023}));
    EXPECT_EQ(decoded.NewAddresses->Encoders, (std::vector<uint8_t>{7}));
    EXPECT_EQ(decoded.ReplyAddress.Site, 1023);
    // Remove all: the address bytes are there and mean nothing; then only 0 is accepted.
    decoded = Decode(Bytes({0x23, 0x02, 0x00, 0x00, 0x27, 0x02, 0x00}), peer, lists);
    ASSERT_TRUE(decoded.NewAddresses.has_value());
    EXPECT_TRUE(decoded.NewAddresses->Sites.empty());
    EXPECT_TRUE(decoded.NewAddresses->Encoders.empty());
    EXPECT_EQ(decoded.ReplyAddress.Site, 0);
    // Adding one already there, removing one that is not: nothing changes.
    decoded = Decode(Bytes({0x23, 0x01, 0x00, 0x05, 0x27, 0x00, 0x09}), peer, lists);
    EXPECT_EQ(decoded.Code, TUecpCode::Ok);
    EXPECT_FALSE(decoded.NewAddresses.has_value());

    for (const std::string& bad : {Bytes({0x23, 0x03, 0x00, 0x05}), Bytes({0x23, 0x01, 0x04, 0x00}),
                                   Bytes({0x23, 0x01, 0x00, 0x00}), Bytes({0x23, 0x00, 0x00, 0x00}),
                                   Bytes({0x27, 0x03, 0x01}), Bytes({0x27, 0x01, 0x40}), Bytes({0x27, 0x01, 0x00})})
        EXPECT_EQ(Refusal(bad), TUecpCode::OutOfRange);
}

TEST(UecpMessages, TheModeBelongsToThePeerAndTheModeAfterTheFrameDecides) {
    TUecpPeer first;
    TUecpPeer second;
    EXPECT_EQ(first.Mode, TUecpMode::OneWay);
    EXPECT_FALSE(Decode(Bytes({0x07, 0x00, 0x00, 0x01}), first).Answer);
    // The frame that switches to a bidirectional mode is answered itself.
    TUecpDecoded decoded = Decode(Bytes({0x2C, 0x01}), first);
    EXPECT_TRUE(decoded.Answer);
    EXPECT_EQ(first.Mode, TUecpMode::RequestedResponse);
    EXPECT_EQ(second.Mode, TUecpMode::OneWay);
    EXPECT_FALSE(Decode(Bytes({0x07, 0x00, 0x00, 0x01}), second).Answer);
    EXPECT_TRUE(Decode(Bytes({0x07, 0x00, 0x00, 0x01}), first).Answer);
    EXPECT_TRUE(Decode(Bytes({0x2C, 0x02}), first).Answer);
    EXPECT_EQ(first.Mode, TUecpMode::SpontaneousResponse);
    // The frame that switches to one-way is not.
    EXPECT_FALSE(Decode(Bytes({0x07, 0x00, 0x00, 0x01, 0x2C, 0x00}), first).Answer);
    EXPECT_EQ(first.Mode, TUecpMode::OneWay);
    decoded = Decode(Bytes({0x2C, 0x03}), first);
    EXPECT_EQ(decoded.Code, TUecpCode::OutOfRange);
    EXPECT_EQ(first.Mode, TUecpMode::OneWay);
    EXPECT_TRUE(EncodeUecpReply(decoded, {}, Latin1).empty());
}

TEST(UecpMessages, RequestsAndTheirRefusals) {
    TUecpDecoded decoded = Decode(Bytes({0x17, 0x03, 0x02, 0x00, 0x00, 0x17, 0x03, 0x0A, 0xFF, 0x01}));
    EXPECT_EQ(decoded.Code, TUecpCode::Ok);
    EXPECT_TRUE(decoded.Commands.empty());
    ASSERT_EQ(decoded.Requests.size(), 2u);
    EXPECT_EQ(decoded.Requests[0].Element, TUecpElement::ProgramService);
    EXPECT_EQ(decoded.Requests[1].Element, TUecpElement::RadioText);
    EXPECT_EQ(decoded.Requests[1].DataSet, 0xFF);
    EXPECT_EQ(decoded.Requests[1].ProgramService, 0x01);
    EXPECT_EQ(Decode(Bytes({0x17, 0x01, 0x2C})).Code, TUecpCode::NotAcceptable);
    EXPECT_EQ(Decode(Bytes({0x17, 0x01, 0x18})).Code, TUecpCode::NotAcceptable);
    EXPECT_EQ(Decode(Bytes({0x17, 0x03, 0x13, 0x00, 0x00})).Code, TUecpCode::UnknownMessage);
    EXPECT_EQ(Decode(Bytes({0x17, 0x00})).Code, TUecpCode::ElementLength);
    EXPECT_EQ(Decode(Bytes({0x17, 0x02, 0x02, 0x00})).Code, TUecpCode::ElementLength);
    EXPECT_EQ(Decode(Bytes({0x17, 0x04, 0x02, 0x00, 0x00, 0x00})).Code, TUecpCode::ElementLength);
    EXPECT_EQ(Decode(Bytes({0x17, 0x03, 0x02, 0x05, 0x00})).Code, TUecpCode::DataSet);
    EXPECT_EQ(Decode(Bytes({0x17, 0x03, 0x02, 0x00, 0x02})).Code, TUecpCode::ProgramService);
    // A refused request is not answered with a message, and the next message is found.
    decoded = Decode(Bytes({0x17, 0x03, 0x02, 0x05, 0x00, 0x07, 0x00, 0x00, 0x04}));
    EXPECT_TRUE(decoded.Requests.empty());
    EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::Pty, 4)}));
}

TEST(UecpReplies, OneWayModeSendsNothing) {
    const TUecpDecoded decoded = Decode(Bytes({0x17, 0x03, 0x02, 0x00, 0x00}));
    EXPECT_TRUE(decoded.ForThisProgram);
    EXPECT_FALSE(decoded.Answer);
    EXPECT_TRUE(EncodeUecpReply(decoded, {}, Latin1).empty());
}

TEST(UecpReplies, PositiveAndNegativeAcknowledgements) {
    TUecpPeer peer;
    peer.Mode = TUecpMode::RequestedResponse;
    // Positive: 18 00, under the frame's sequence counter, from site 0 encoder 0.
    TUecpDecoded decoded = Decode(Bytes({0x07, 0x00, 0x00, 0x0B}), peer);
    EXPECT_EQ(EncodeUecpReply(decoded, {}, Latin1),
              (std::vector<std::string>{Bytes({0xFE, 0x00, 0x00, 0x01, 0x02, 0x18, 0x00, 0x63, 0xE1, 0xFF})}));
    // Negative: 18, the code, the sequence counter; from the first listed site and encoder.
    decoded = DecodeUecpFrame(Frame(Bytes({0x40, 0x00}), 2), {{5, 9}, {3}}, peer, Latin1);
    EXPECT_EQ(decoded.Code, TUecpCode::UnknownMessage);
    EXPECT_EQ(EncodeUecpReply(decoded, {}, Latin1),
              (std::vector<std::string>{
                  Bytes({0xFE, 0x01, 0x43, 0x02, 0x03, 0x18, 0x03, 0x02, 0x52, 0x2C, 0xFF})}));
}

TEST(UecpReplies, ADamagedFrameIsAnsweredWithItsDamageAndChangesNothing) {
    TUecpPeer peer;
    peer.Mode = TUecpMode::SpontaneousResponse;
    TUecpFrame frame = Frame(Bytes({0x2C, 0x00}));
    for (TUecpCode damage : {TUecpCode::Crc, TUecpCode::BadStuffing, TUecpCode::FieldLength, TUecpCode::UnexpectedEnd}) {
        frame.Damage = damage;
        frame.Messages.clear();
        const TUecpDecoded decoded = DecodeUecpFrame(frame, {}, peer, Latin1);
        EXPECT_TRUE(decoded.ForThisProgram);
        EXPECT_EQ(decoded.Code, damage);
        EXPECT_TRUE(decoded.Commands.empty());
        EXPECT_TRUE(decoded.Answer);
        EXPECT_EQ(peer.Mode, TUecpMode::SpontaneousResponse);
    }
    frame.Damage = TUecpCode::Crc;
    EXPECT_EQ(EncodeUecpReply(DecodeUecpFrame(frame, {}, peer, Latin1), {}, Latin1),
              (std::vector<std::string>{Bytes({0xFE, 0x00, 0x00, 0x01, 0x03, 0x18, 0x01, 0x01, 0xF6, 0x6E, 0xFF})}));
}

TEST(UecpReplies, RequestsAreAnsweredWithTheCurrentValuesBeforeTheAcknowledgement) {
    TUecpPeer peer;
    peer.Mode = TUecpMode::RequestedResponse;
    TStatus status;
    status.Pi = "D223";
    status.ProgramService = "Caf\xE9 $";
    status.RadioText = "Now \xE9";
    status.Pty = 11;
    status.Tp = 1;
    status.MusicSpeech = 0;
    // PS of data set 0, programme service 0, under sequence counter 6.
    TUecpDecoded decoded = DecodeUecpFrame(Frame(Bytes({0x17, 0x03, 0x02, 0x00, 0x00}), 6), {}, peer, Latin1);
    EXPECT_EQ(EncodeUecpReply(decoded, status, Latin1),
              (std::vector<std::string>{Bytes({0xFE, 0x00, 0x00, 0x06, 0x0D, 0x02, 0x00, 0x00, 'C', 'a', 'f', 0x82,
                                                0x20, 0xAB, 0x20, 0x20, 0x18, 0x00, 0xD7, 0x6A, 0xFF})}));

    // Every message, each under the numbers asked for; the frame layer reads the reply back.
    decoded = Decode(Bytes({0x17, 0x03, 0x01, 0x00, 0x00, 0x17, 0x03, 0x03, 0x01, 0x00, 0x17, 0x03, 0x05, 0x00, 0x01,
                            0x17, 0x03, 0x07, 0xFF, 0x00, 0x17, 0x03, 0x0A, 0x00, 0x00}),
                     peer);
    const std::vector<std::string> reply = EncodeUecpReply(decoded, status, Latin1);
    ASSERT_EQ(reply.size(), 1u);
    TUecpFrameReader reader;
    std::vector<TUecpFrame> frames;
    reader.Feed(reply[0], frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::Ok);
    EXPECT_EQ(frames[0].Messages,
              Bytes({0x01, 0x00, 0x00, 0xD2, 0x23, 0x03, 0x01, 0x00, 0x02, 0x05, 0x00, 0x01, 0x00, 0x07, 0xFF, 0x00,
                     0x0B, 0x0A, 0x00, 0x00, 0x06, 0x00, 'N', 'o', 'w', ' ', 0x82, 0x18, 0x00}));
}

TEST(UecpReplies, ValuesTheWindowLacksAndAnEmptyRadioText) {
    TUecpPeer peer;
    peer.Mode = TUecpMode::RequestedResponse;
    TStatus status;  // no selection anywhere, empty texts
    const TUecpDecoded decoded = Decode(Bytes({0x17, 0x03, 0x01, 0x00, 0x00, 0x17, 0x03, 0x07, 0x00, 0x00, 0x17, 0x03,
                                               0x0A, 0x00, 0x00, 0x17, 0x03, 0x02, 0x00, 0x00}),
                                        peer);
    const std::vector<std::string> reply = EncodeUecpReply(decoded, status, Latin1);
    ASSERT_EQ(reply.size(), 1u);
    std::vector<TUecpFrame> frames;
    TUecpFrameReader reader;
    reader.Feed(reply[0], frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Messages, Bytes({0x01, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00,
                                         0x02, 0x00, 0x00, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 0x18, 0x00}));
}

TEST(UecpReplies, RepliesLongerThanOneFrameGoInSeveralUnderTheSameCounter) {
    TUecpPeer peer;
    peer.Mode = TUecpMode::SpontaneousResponse;
    TStatus status;
    status.RadioText = std::string(64, 'r');
    std::string requests;
    for (int i = 0; i < 4; ++i) requests += Bytes({0x17, 0x03, 0x0A, 0x00, 0x00});
    const TUecpDecoded decoded = DecodeUecpFrame(Frame(requests, 0x33), {}, peer, Latin1);
    const std::vector<std::string> reply = EncodeUecpReply(decoded, status, Latin1);
    // Each RT message is 69 bytes: three fill one frame's 255, the fourth and the acknowledgement the next.
    ASSERT_EQ(reply.size(), 2u);
    std::vector<TUecpFrame> frames;
    TUecpFrameReader reader;
    for (const std::string& frame : reply) reader.Feed(frame, frames);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Damage, TUecpCode::Ok);
    EXPECT_EQ(frames[0].Sequence, 0x33);
    EXPECT_EQ(frames[0].Messages.size(), 3u * 69u);
    EXPECT_EQ(frames[1].Sequence, 0x33);
    EXPECT_EQ(frames[1].Messages.size(), 69u + 2u);
    EXPECT_EQ(frames[1].Messages.substr(69), Bytes({0x18, 0x00}));
}

TEST(UecpEndToEnd, AFrameOverTheWireToCommandsAndAnAcknowledgementBack) {
    // Switch to bidirectional mode and set PS "ROCK FM " in one frame, split in two reads.
    const std::string frame = Bytes({0xFE, 0x00, 0x00, 0x04, 0x0D, 0x2C, 0x01, 0x02, 0x00, 0x00, 'R', 'O', 'C', 'K',
                                     ' ', 'F', 'M', ' ', 0xC3, 0x46, 0xFF});
    TReceivedReader reader;
    TUecpPeer peer;
    std::vector<TReceived> received;
    reader.Feed(frame.substr(0, 7), received);
    EXPECT_TRUE(received.empty());
    reader.Feed(frame.substr(7), received);
    ASSERT_EQ(received.size(), 1u);
    ASSERT_TRUE(received[0].Frame.has_value());
    ASSERT_EQ(received[0].Frame->Damage, TUecpCode::Ok);
    const TUecpDecoded decoded = DecodeUecpFrame(*received[0].Frame, {}, peer, Latin1);
    EXPECT_EQ(Commands(decoded), (TShown{Shown(TCommandName::ProgramService, 0, "ROCK FM ")}));
    EXPECT_EQ(EncodeUecpReply(decoded, {}, Latin1),
              (std::vector<std::string>{Bytes({0xFE, 0x00, 0x00, 0x04, 0x02, 0x18, 0x00, 0xDF, 0xA4, 0xFF})}));
}

TEST(UecpExchange, ListChangesStandWhenTheBatchTimesOutAndTaIsNotAcceptable) {
    TUecpAddressLists lists;
    int changes = 0;
    TUecpOwner owner;
    owner.CodePage = Latin1;
    owner.ChangeAddresses = [&](const TUecpOwner::TAddressChange& change) {
        ++changes;
        change(lists);
    };
    const auto frame = [](uint8_t sequence, const std::string& messages, TUecpAddress address = {}) {
        TReceived received;
        received.Frame = Frame(messages, sequence, address);
        return received;
    };
    TReceived givenUp = frame(4, "", {5, 2});
    givenUp.Frame->Damage = TUecpCode::FieldLength;
    std::vector<TReceived> received = {
        frame(1, Bytes({0x2C, 0x01, 0x23, 0x01, 0x00, 0x05})),
        frame(2, Bytes({0x27, 0x01, 0x02, 0x02, 0x00, 0x00}) + "ROCK FM ", {5, 0}),
        frame(3, Bytes({0x03, 0x00, 0x00, 0x03})),
        givenUp,
    };
    TUecpPeer peer;
    TUecpExchange exchange(std::move(received), peer, owner);
    EXPECT_EQ(changes, 1) << "one hold of the lists for all the frames";
    EXPECT_EQ(lists.Sites, std::vector<uint16_t>{5});
    EXPECT_EQ(lists.Encoders, std::vector<uint8_t>{2});
    std::vector<TCommand> commands;
    exchange.AddCommands(commands);
    ASSERT_EQ(commands.size(), 2u);
    // The window was too busy for the PS; TP went through.
    const std::vector<std::string> replies = {RefusedReply("not applied: the program is busy"), DoneReply()};
    size_t next = 0;
    const std::string answer = exchange.Answer(replies, next, std::nullopt);
    EXPECT_EQ(next, 2u);
    EXPECT_EQ(answer, EncodeUecpFrame({5, 0}, 1, Bytes({0x18, 0x00})) +
                          EncodeUecpFrame({5, 2}, 2, Bytes({0x18, 0x09, 0x02})) +
                          EncodeUecpFrame({5, 2}, 3, Bytes({0x18, 0x09, 0x03})) +
                          EncodeUecpFrame({5, 2}, 4, Bytes({0x18, 0x08, 0x04})));
}
