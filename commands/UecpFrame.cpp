// UECP frames: finding them in a byte stream, checking them, and building replies.
#include "UecpFrame.h"

namespace {

// The stuffed byte after the escape: FD 00 is FD, FD 01 is FE, FD 02 is FF.
constexpr uint8_t StuffedOffsetLast = 2;

// Offsets in the unstuffed bytes between STA and STP.
constexpr size_t AddressHighAt = 0;
constexpr size_t AddressLowAt = 1;
constexpr size_t SequenceAt = 2;
constexpr size_t LengthAt = 3;
constexpr size_t MessagesAt = 4;
constexpr size_t CrcBytes = 2;
// Address and sequence counter: enough to answer.
constexpr size_t HeaderBytes = SequenceAt + 1;

constexpr int EncoderBits = 6;
constexpr uint16_t EncoderMask = 0x3F;
constexpr int ByteBits = 8;
constexpr uint16_t ByteMask = 0xFF;

constexpr uint16_t CrcPolynomial = 0x1021;
constexpr uint16_t CrcInitial = 0xFFFF;
constexpr uint16_t CrcFinalXor = 0xFFFF;
constexpr uint16_t CrcTopBit = 0x8000;

constexpr char CarriageReturn = '\r';
constexpr char LineFeed = '\n';

uint8_t At(const std::string& bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

bool NeedsStuffing(uint8_t byte) { return byte >= UecpEscape; }

}  // namespace

uint16_t UecpCrc(std::string_view bytes) {
    uint16_t crc = CrcInitial;
    for (char c : bytes) {
        crc ^= static_cast<uint16_t>(static_cast<uint8_t>(c) << ByteBits);
        for (int bit = 0; bit < ByteBits; ++bit)
            crc = (crc & CrcTopBit) ? static_cast<uint16_t>((crc << 1) ^ CrcPolynomial) : static_cast<uint16_t>(crc << 1);
    }
    return crc ^ CrcFinalXor;
}

void TUecpFrameReader::Feed(std::string_view bytes, std::vector<TUecpFrame>& frames) {
    for (char c : bytes) Feed(static_cast<uint8_t>(c), frames);
}

void TUecpFrameReader::Feed(uint8_t byte, std::vector<TUecpFrame>& frames) {
    switch (state_) {
    case TState::FindStart:
    case TState::GivenUp:
        if (byte == UecpStart) Begin();
        else state_ = TState::FindStart;
        return;
    case TState::AfterEscape:
        state_ = TState::Body;
        if (byte <= StuffedOffsetLast) {
            Add(static_cast<uint8_t>(UecpEscape + byte));
            return;
        }
        badStuffing_ = true;
        Take(byte, frames);
        return;
    case TState::Body: Take(byte, frames); return;
    case TState::AwaitStop:
        if (byte == UecpStop) {
            End(TUecpCode::Ok, frames);
        } else if (byte == UecpStart) {
            End(TUecpCode::UnexpectedEnd, frames);
            Begin();
        } else {
            End(TUecpCode::FieldLength, frames);
            state_ = TState::GivenUp;
        }
        return;
    }
}

void TUecpFrameReader::Finish(std::vector<TUecpFrame>& frames) {
    if (!Idle()) End(TUecpCode::UnexpectedEnd, frames);
    state_ = TState::FindStart;
}

void TUecpFrameReader::Begin() {
    state_ = TState::Body;
    body_.clear();
    badStuffing_ = false;
}

// assert: inside a frame's body, not after an escape.
void TUecpFrameReader::Take(uint8_t byte, std::vector<TUecpFrame>& frames) {
    if (byte == UecpStart) {
        End(TUecpCode::UnexpectedEnd, frames);
        Begin();
        return;
    }
    if (byte == UecpStop) {
        End(TUecpCode::Ok, frames);
        return;
    }
    if (byte == UecpEscape) state_ = TState::AfterEscape;
    else Add(byte);
}

// Once the MFL is known, the frame's last byte before STP is known too.
void TUecpFrameReader::Add(uint8_t byte) {
    body_ += static_cast<char>(byte);
    if (body_.size() > LengthAt && body_.size() == MessagesAt + At(body_, LengthAt) + CrcBytes)
        state_ = TState::AwaitStop;
}

// Ok: the frame reached its STP and is checked now; otherwise why it ended before.
void TUecpFrameReader::End(TUecpCode damage, std::vector<TUecpFrame>& frames) {
    TUecpFrame frame;
    if (body_.size() >= HeaderBytes) {
        frame.HasHeader = true;
        const uint16_t address = static_cast<uint16_t>(At(body_, AddressHighAt) << ByteBits | At(body_, AddressLowAt));
        frame.Address.Site = static_cast<uint16_t>(address >> EncoderBits);
        frame.Address.Encoder = static_cast<uint8_t>(address & EncoderMask);
        frame.Sequence = At(body_, SequenceAt);
    }
    if (badStuffing_) {
        damage = TUecpCode::BadStuffing;
    } else if (damage == TUecpCode::Ok) {
        if (body_.size() < MessagesAt + CrcBytes || body_.size() != MessagesAt + At(body_, LengthAt) + CrcBytes) {
            damage = TUecpCode::FieldLength;
        } else {
            const size_t crcAt = body_.size() - CrcBytes;
            const uint16_t sent = static_cast<uint16_t>(At(body_, crcAt) << ByteBits | At(body_, crcAt + 1));
            if (sent != UecpCrc(std::string_view(body_).substr(0, crcAt))) damage = TUecpCode::Crc;
            else frame.Messages = body_.substr(MessagesAt, At(body_, LengthAt));
        }
    }
    frame.Damage = damage;
    frames.push_back(std::move(frame));
    state_ = TState::FindStart;
    body_.clear();
}

std::string EncodeUecpFrame(TUecpAddress address, uint8_t sequence, std::string_view messages) {
    const uint16_t packed = static_cast<uint16_t>((address.Site & UecpLastSite) << EncoderBits |
                                                  (address.Encoder & UecpLastEncoder));
    std::string body;
    body += static_cast<char>(packed >> ByteBits);
    body += static_cast<char>(packed & ByteMask);
    body += static_cast<char>(sequence);
    body += static_cast<char>(messages.size());
    body += messages;
    const uint16_t crc = UecpCrc(body);
    body += static_cast<char>(crc >> ByteBits);
    body += static_cast<char>(crc & ByteMask);

    std::string frame(1, static_cast<char>(UecpStart));
    for (char c : body) {
        const auto byte = static_cast<uint8_t>(c);
        if (NeedsStuffing(byte)) {
            frame += static_cast<char>(UecpEscape);
            frame += static_cast<char>(byte - UecpEscape);
        } else {
            frame += c;
        }
    }
    frame += static_cast<char>(UecpStop);
    return frame;
}

void TReceivedReader::Feed(std::string_view bytes, std::vector<TReceived>& received) {
    std::vector<TParsedLine> lines;
    std::vector<TUecpFrame> frames;
    for (char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        switch (state_) {
        case TState::Lines:
            if (byte == UecpStart && !lines_.HoldsCommandStart()) {
                // What came before on this line is noise (or nothing): it ends here, as any line.
                lines_.Finish(lines);
                TakeLines(lines, received);
                frames_.Feed(byte, frames);
                state_ = TState::Frame;
                break;
            }
            lines_.Feed(std::string_view(&c, 1), lines);
            TakeLines(lines, received);
            break;
        case TState::Frame:
            frames_.Feed(byte, frames);
            TakeFrames(frames, received);
            if (frames_.GaveUp()) state_ = TState::SkipLine;
            else if (frames_.Idle()) state_ = TState::Lines;
            break;
        case TState::SkipLine:
            if (c == CarriageReturn || c == LineFeed || byte == UecpStop) state_ = TState::Lines;
            break;
        }
    }
}

void TReceivedReader::Finish(std::vector<TReceived>& received) {
    std::vector<TParsedLine> lines;
    std::vector<TUecpFrame> frames;
    lines_.Finish(lines);
    TakeLines(lines, received);
    frames_.Finish(frames);
    TakeFrames(frames, received);
    state_ = TState::Lines;
}

void TReceivedReader::TakeLines(std::vector<TParsedLine>& lines, std::vector<TReceived>& received) {
    for (TParsedLine& line : lines) received.push_back({std::move(line), std::nullopt});
    lines.clear();
}

void TReceivedReader::TakeFrames(std::vector<TUecpFrame>& frames, std::vector<TReceived>& received) {
    for (TUecpFrame& frame : frames) received.push_back({std::nullopt, std::move(frame)});
    frames.clear();
}
