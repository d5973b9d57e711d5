// The frame layer of UECP, the encoder protocol of RDS networks (IEC 62106-10): the
// CRC, byte stuffing, a decoder fed bytes as they arrive, the reply frame's encoder,
// and the reader that tells a way in's ASCII lines from its frames. No platform calls.
#pragma once

#include "CommandLanguage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Frame: STA, address (2), sequence counter (1), MFL (1), MFL bytes of messages,
// CRC (2, high byte first), STP. Between STA and STP, FD/FE/FF go as FD 00/01/02.
constexpr uint8_t UecpStart = 0xFE;
constexpr uint8_t UecpStop = 0xFF;
constexpr uint8_t UecpEscape = 0xFD;
constexpr size_t UecpMaxMessageField = 255;

// The acknowledgement codes (message 0x18): 0 is positive, the rest refuse.
enum class TUecpCode : uint8_t {
    Ok = 0,
    Crc = 1,
    UnknownMessage = 3,
    DataSet = 4,
    ProgramService = 5,
    OutOfRange = 6,
    ElementLength = 7,
    FieldLength = 8,
    NotAcceptable = 9,
    BadStuffing = 12,
    UnexpectedEnd = 13,
};

// Site in the high 10 bits of the frame's address, encoder in the low 6; 0 is "all".
struct TUecpAddress {
    uint16_t Site = 0;
    uint8_t Encoder = 0;
};
constexpr uint16_t UecpLastSite = 1023;
constexpr uint8_t UecpLastEncoder = 63;

// CRC-16-CCITT: polynomial 0x1021, initial value 0xFFFF, result inverted.
uint16_t UecpCrc(std::string_view bytes);

// A frame as found between STA and STP, unstuffed.
struct TUecpFrame {
    // The address and the sequence counter could be read: the frame can be answered.
    bool HasHeader = false;
    TUecpAddress Address;
    uint8_t Sequence = 0;
    // Ok, or what damaged it: Crc, FieldLength (STP before the MFL's bytes, or given
    // up: a byte past them that is not STP), BadStuffing, UnexpectedEnd (cut short by
    // the next STA or by the end of a datagram). A damaged frame has no messages.
    TUecpCode Damage = TUecpCode::Ok;
    std::string Messages;
};

// Finds frames in bytes as they arrive; a damaged frame is reported, and the reader
// takes up again at the next STA. A frame is given up as soon as a byte comes that
// its own fields leave no room for: address, sequence counter, MFL, MFL bytes and the
// CRC (unstuffed) may only be followed by STP.
class TUecpFrameReader {
public:
    void Feed(std::string_view bytes, std::vector<TUecpFrame>& frames);
    void Feed(uint8_t byte, std::vector<TUecpFrame>& frames);
    // The end of a datagram: a frame still open is cut short.
    void Finish(std::vector<TUecpFrame>& frames);
    // Between frames: waiting for an STA, nothing of a frame held.
    bool Idle() const { return state_ == TState::FindStart || state_ == TState::GivenUp; }
    // The last byte made the reader give up a frame.
    bool GaveUp() const { return state_ == TState::GivenUp; }

private:
    // FindStart: between frames. Body: the unstuffed bytes up to the CRC's end.
    // AfterEscape: the byte after FD. AwaitStop: the frame's fields are whole, STP is due.
    // GivenUp: as FindStart, straight after a frame was given up.
    enum class TState { FindStart, Body, AfterEscape, AwaitStop, GivenUp };
    void Begin();
    void Take(uint8_t byte, std::vector<TUecpFrame>& frames);
    void Add(uint8_t byte);
    void End(TUecpCode damage, std::vector<TUecpFrame>& frames);

    TState state_ = TState::FindStart;
    std::string body_;
    bool badStuffing_ = false;
};

// A whole frame, stuffed, with its CRC: at most UecpMaxMessageField message bytes.
std::string EncodeUecpFrame(TUecpAddress address, uint8_t sequence, std::string_view messages);

// One thing a way in received, in arrival order: an ASCII line or a UECP frame.
struct TReceived {
    std::optional<TParsedLine> Line;
    std::optional<TUecpFrame> Frame;
};

// One way in's bytes (a TCP connection, a datagram, the serial line), lines and frames
// told apart. An STA begins a frame unless the line read so far can still become a
// command (CanBeginCommand): so a "þ" (0xFE in code page 1252) inside "RT=..." stays
// text, while after an empty line, control bytes or noise it begins a frame (the
// noise's line is ended and answered first). A frame given up for its length is
// followed by the rest of its line: lines are read again after the next CR, LF or
// STP. A connection or the serial line keeps one reader; a datagram gets a new one,
// fed whole and then finished.
class TReceivedReader {
public:
    void Feed(std::string_view bytes, std::vector<TReceived>& received);
    // The end of a datagram ends its last line or frame too.
    void Finish(std::vector<TReceived>& received);

private:
    // Lines: ASCII lines (an STA may begin a frame). Frame: inside a frame.
    // SkipLine: after a given-up frame, up to the next line end or STP.
    enum class TState { Lines, Frame, SkipLine };
    void TakeLines(std::vector<TParsedLine>& lines, std::vector<TReceived>& received);
    void TakeFrames(std::vector<TUecpFrame>& frames, std::vector<TReceived>& received);

    TState state_ = TState::Lines;
    TLineReader lines_;
    TUecpFrameReader frames_;
};
