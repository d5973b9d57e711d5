// The message layer of UECP: which frames are this program's (the site and encoder
// lists), the messages the card can carry turned into the ASCII language's commands,
// the communication mode of each peer, requests, and the reply with its
// acknowledgement. No platform calls.
//
// A transport, for each frame its TReceivedReader found (TUecpExchange does this):
//   under the lists' lock: TUecpDecoded decoded = DecodeUecpFrame(frame, addresses, peer, codePage);
//   if (decoded.NewAddresses) they are in force, and stored ("UecpSites", "UecpEncoders");
//   hand decoded.Commands to the queue and wait until they are applied;
//   for (const std::string& reply : EncodeUecpReply(decoded, status, codePage)) send(reply);
#pragma once

#include "CommandLanguage.h"
#include "RdsCharacterSet.h"
#include "UecpFrame.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Message element codes.
enum class TUecpElement : uint8_t {
    Pi = 0x01,
    ProgramService = 0x02,
    TaTp = 0x03,
    MusicSpeech = 0x05,
    Pty = 0x07,
    RadioText = 0x0A,
    Request = 0x17,
    Acknowledgement = 0x18,
    SiteAddress = 0x23,
    EncoderAddress = 0x27,
    CommunicationMode = 0x2C,
};

// The addresses this program answers to besides 0 ("all"): settings "UecpSites"
// (1..1023) and "UecpEncoders" (1..63), comma-separated decimal; empty: only 0.
struct TUecpAddressLists {
    std::vector<uint16_t> Sites;
    std::vector<uint8_t> Encoders;

    // Site 0 or listed, and encoder 0 or listed.
    bool Accepts(TUecpAddress address) const;
    // What a reply carries: the first of each list, else 0.
    TUecpAddress Own() const;
};
// Why a list text is refused, wherever it is typed.
inline constexpr char UecpSitesRefusal[] = "the sites must be addresses 1..1023, separated by commas";
inline constexpr char UecpEncodersRefusal[] = "the encoders must be addresses 1..63, separated by commas";
// Nothing when the text holds anything but addresses in range (spaces around them
// are allowed); an address given twice is kept once.
std::optional<std::vector<uint16_t>> ParseUecpSites(std::string_view text);
std::optional<std::vector<uint8_t>> ParseUecpEncoders(std::string_view text);
std::string FormatUecpSites(const std::vector<uint16_t>& sites);
std::string FormatUecpEncoders(const std::vector<uint8_t>& encoders);

// Message 0x2C. Both bidirectional modes answer every frame.
enum class TUecpMode : uint8_t { OneWay = 0, RequestedResponse = 1, SpontaneousResponse = 2 };

// What one peer keeps between its frames: a TCP connection, a UDP sender's address
// and port, or the serial line. The transport owns one for each.
struct TUecpPeer {
    TUecpMode Mode = TUecpMode::OneWay;
};

// A message 0x17: the element asked for, with the numbers to answer under.
struct TUecpRequest {
    TUecpElement Element = TUecpElement::Pi;
    uint8_t DataSet = 0;
    uint8_t ProgramService = 0;
};

// One frame decoded.
struct TUecpDecoded {
    // False: the frame is another encoder's, or could not even be read far enough to
    // tell; it is ignored quietly and nothing else below is set.
    bool ForThisProgram = false;
    uint8_t Sequence = 0;
    // In the frame's order; applied as the ASCII commands are. Empty for a damaged frame.
    std::vector<TCommand> Commands;
    // The lists after the frame's messages 0x23 and 0x27, when they changed.
    std::optional<TUecpAddressLists> NewAddresses;
    std::vector<TUecpRequest> Requests;
    // The frame's first refusal (or its damage), Ok when there was none.
    TUecpCode Code = TUecpCode::Ok;
    // The mode in force after the frame (already kept in the peer) is bidirectional.
    bool Answer = false;
    // The reply's address: Own() of the lists in force after the frame.
    TUecpAddress ReplyAddress;
};

// Decodes one frame of the peer's. The peer's mode takes the frame's messages 0x2C.
// PS and RT become text of the code page (codePage.FromUnicode), cut to the field's
// bytes, with their RDS codes as sent beside it. TA switched on is not acceptable
// (the card has no place for it); TP in the same message is still set.
TUecpDecoded DecodeUecpFrame(const TUecpFrame& frame, const TUecpAddressLists& addresses, TUecpPeer& peer,
                             const TCodePageConversion& codePage);

// The frames to send back once the frame's commands are applied: the requested
// messages holding the values of status (the texts' codes from UECP when it holds
// them, else the texts converted by codePage.ToUnicode),
// then the acknowledgement (0x18 0, or 0x18 code sequence), under the answered
// frame's sequence counter; more than one frame only when the requested messages
// fill one. Nothing when the frame is not to be answered.
std::vector<std::string> EncodeUecpReply(const TUecpDecoded& decoded, const TStatus& status,
                                         const TCodePageConversion& codePage);
