// UECP messages: addressing, decoding a frame's messages into commands, and the reply.
#include "UecpMessages.h"

#include <algorithm>

namespace {

// Data set numbers and programme service numbers this card's one data set answers to.
constexpr uint8_t CurrentDataSet = 0;
constexpr uint8_t FirstDataSet = 1;
constexpr uint8_t AllDataSets = 0xFF;
constexpr uint8_t LastProgramService = 1;

// Message lengths, without the element code.
constexpr size_t NumbersBytes = 2;  // data set, programme service
constexpr size_t LengthBytes = 1;   // the element length of RT and of a request
constexpr size_t PiBytes = 2;
constexpr size_t FlagBytes = 1;
constexpr size_t SiteChangeBytes = 3;
constexpr size_t EncoderChangeBytes = 2;
constexpr size_t ModeBytes = 1;
constexpr size_t RequestForDataSetBytes = 3;  // element, data set, programme service
// Radiotext: a configuration byte and up to 64 characters.
constexpr size_t ConfigurationBytes = 1;
constexpr size_t RadioTextElementLast = ConfigurationBytes + RadioTextLength;

constexpr uint8_t TrafficProgrammeBit = 0x02;
constexpr uint8_t TrafficAnnouncementBit = 0x01;
constexpr uint8_t TaTpLast = 0x03;
constexpr uint8_t MusicSpeechLast = 1;
constexpr uint8_t PtyLast = 31;
constexpr uint8_t ModeLast = 2;
constexpr char EndOfRadioText = 0x0D;
constexpr char RdsSpace = static_cast<char>(RdsSpaceCode);
constexpr uint8_t NoConfiguration = 0;

constexpr int ByteBits = 8;
constexpr uint32_t ByteMask = 0xFF;
constexpr int CountryShift = 12;
constexpr size_t PiDigits = 4;
constexpr int HexBase = 16;
constexpr int DecimalBase = 10;
constexpr size_t MaxAddressDigits = 4;

enum class TAddressAction : uint8_t { Remove = 0, Add = 1, RemoveAll = 2 };

// Messages of the standard that the card has no place for but whose length is known
// (data set, programme service, then this many bytes): answered as unknown, and the
// frame's next message is still found. DI, PIN, PTYN.
struct TSkipped {
    uint8_t Element;
    size_t DataBytes;
};
constexpr uint8_t DecoderInformationElement = 0x04;
constexpr uint8_t ProgrammeItemNumberElement = 0x06;
constexpr uint8_t ProgrammeTypeNameElement = 0x3E;
constexpr size_t DecoderInformationBytes = 1;
constexpr size_t ProgrammeItemNumberBytes = 2;
constexpr size_t ProgrammeTypeNameBytes = 8;
constexpr TSkipped Skipped[] = {{DecoderInformationElement, DecoderInformationBytes},
                                {ProgrammeItemNumberElement, ProgrammeItemNumberBytes},
                                {ProgrammeTypeNameElement, ProgrammeTypeNameBytes}};

// The message field, read from the front.
class TField {
public:
    explicit TField(std::string_view bytes) : bytes_(bytes) {}
    bool AtEnd() const { return bytes_.empty(); }
    bool Has(size_t count) const { return bytes_.size() >= count; }
    uint8_t Byte() {
        const auto byte = static_cast<uint8_t>(bytes_.front());
        bytes_.remove_prefix(1);
        return byte;
    }
    std::string_view Take(size_t count) {
        const std::string_view taken = bytes_.substr(0, count);
        bytes_.remove_prefix(count);
        return taken;
    }

private:
    std::string_view bytes_;
};

// What one message did: its code, and whether the next message can still be found.
struct TOutcome {
    TUecpCode Code = TUecpCode::Ok;
    bool Lost = false;
};
constexpr TOutcome Accepted{};
TOutcome Refused(TUecpCode code) { return {code, false}; }
TOutcome CutShort() { return {TUecpCode::UnexpectedEnd, true}; }

TUecpCode NumbersCode(uint8_t dataSet, uint8_t programService) {
    if (dataSet != CurrentDataSet && dataSet != FirstDataSet && dataSet != AllDataSets) return TUecpCode::DataSet;
    if (programService > LastProgramService) return TUecpCode::ProgramService;
    return TUecpCode::Ok;
}

bool IsDataSetMessage(uint8_t element) {
    switch (static_cast<TUecpElement>(element)) {
    case TUecpElement::Pi:
    case TUecpElement::ProgramService:
    case TUecpElement::TaTp:
    case TUecpElement::MusicSpeech:
    case TUecpElement::Pty:
    case TUecpElement::RadioText: return true;
    default: return false;
    }
}

bool IsOtherKnownMessage(uint8_t element) {
    switch (static_cast<TUecpElement>(element)) {
    case TUecpElement::Request:
    case TUecpElement::Acknowledgement:
    case TUecpElement::SiteAddress:
    case TUecpElement::EncoderAddress:
    case TUecpElement::CommunicationMode: return true;
    default: return false;
    }
}

size_t FixedDataBytes(TUecpElement element) {
    switch (element) {
    case TUecpElement::Pi: return PiBytes;
    case TUecpElement::ProgramService: return ProgramServiceLength;
    default: return FlagBytes;
    }
}

TCommand Command(TCommandName name, uint32_t value, std::string text = {}) {
    TCommand command;
    command.Name = name;
    command.Value = value;
    command.Text = std::move(text);
    return command;
}

template <typename T>
void Remove(std::vector<T>& list, T value) {
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

template <typename T>
void Add(std::vector<T>& list, T value) {
    if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

template <typename T>
TOutcome ChangeList(std::vector<T>& list, uint8_t action, uint32_t address, uint32_t last) {
    if (action > static_cast<uint8_t>(TAddressAction::RemoveAll)) return Refused(TUecpCode::OutOfRange);
    if (static_cast<TAddressAction>(action) == TAddressAction::RemoveAll) {
        list.clear();
        return Accepted;
    }
    if (address == 0 || address > last) return Refused(TUecpCode::OutOfRange);
    if (static_cast<TAddressAction>(action) == TAddressAction::Add) Add(list, static_cast<T>(address));
    else Remove(list, static_cast<T>(address));
    return Accepted;
}

// Decodes a frame's message field in order; each message applies on its own.
class TMessageDecoder {
public:
    TMessageDecoder(TUecpDecoded& decoded, TUecpAddressLists& lists, TUecpPeer& peer,
                    const TCodePageConversion& codePage)
        : decoded_(decoded), lists_(lists), peer_(peer), codePage_(codePage) {}

    void Decode(std::string_view messages) {
        TField field(messages);
        while (!field.AtEnd()) {
            const TOutcome outcome = Message(field.Byte(), field);
            if (decoded_.Code == TUecpCode::Ok) decoded_.Code = outcome.Code;
            if (outcome.Lost) return;
        }
    }

private:
    TOutcome Message(uint8_t element, TField& field) {
        if (IsDataSetMessage(element)) return DataSetMessage(static_cast<TUecpElement>(element), field);
        switch (static_cast<TUecpElement>(element)) {
        case TUecpElement::Request: return Request(field);
        case TUecpElement::SiteAddress: return SiteAddress(field);
        case TUecpElement::EncoderAddress: return EncoderAddress(field);
        case TUecpElement::CommunicationMode: return CommunicationMode(field);
        default: break;
        }
        for (const TSkipped& skipped : Skipped) {
            if (skipped.Element != element) continue;
            if (!field.Has(NumbersBytes + skipped.DataBytes)) return CutShort();
            field.Take(NumbersBytes + skipped.DataBytes);
            return Refused(TUecpCode::UnknownMessage);
        }
        // Its length is unknown: the messages after it cannot be told apart.
        return {TUecpCode::UnknownMessage, true};
    }

    TOutcome DataSetMessage(TUecpElement element, TField& field) {
        if (!field.Has(NumbersBytes)) return CutShort();
        const uint8_t dataSet = field.Byte();
        const uint8_t programService = field.Byte();
        size_t length = FixedDataBytes(element);
        if (element == TUecpElement::RadioText) {
            if (!field.Has(LengthBytes)) return CutShort();
            length = field.Byte();
        }
        if (!field.Has(length)) return CutShort();
        const std::string_view data = field.Take(length);
        const TUecpCode numbers = NumbersCode(dataSet, programService);
        if (numbers != TUecpCode::Ok) return Refused(numbers);
        return Apply(element, data);
    }

    // assert: data is the message's whole data, its data set and programme service this card's.
    TOutcome Apply(TUecpElement element, std::string_view data) {
        const uint8_t first = data.empty() ? 0 : static_cast<uint8_t>(data.front());
        switch (element) {
        case TUecpElement::Pi: {
            const uint32_t pi = static_cast<uint32_t>(first) << ByteBits | static_cast<uint8_t>(data[1]);
            // The country list has no country 0.
            if ((pi >> CountryShift) == 0) return Refused(TUecpCode::OutOfRange);
            return Emit(Command(TCommandName::Pi, pi));
        }
        case TUecpElement::ProgramService: return Emit(Text(TCommandName::ProgramService, data, ProgramServiceLength));
        case TUecpElement::TaTp:
            if (first > TaTpLast) return Refused(TUecpCode::OutOfRange);
            Emit(Command(TCommandName::Tp, (first & TrafficProgrammeBit) ? 1 : 0));
            // TA has no place in the card's memory: a TA switched on cannot go on air.
            return (first & TrafficAnnouncementBit) ? Refused(TUecpCode::NotAcceptable) : Accepted;
        case TUecpElement::MusicSpeech:
            if (first > MusicSpeechLast) return Refused(TUecpCode::OutOfRange);
            return Emit(Command(TCommandName::MusicSpeech, first));
        case TUecpElement::Pty:
            if (first > PtyLast) return Refused(TUecpCode::OutOfRange);
            return Emit(Command(TCommandName::Pty, first));
        case TUecpElement::RadioText: {
            if (data.size() > RadioTextElementLast) return Refused(TUecpCode::ElementLength);
            // Length 0 clears; else the configuration byte (the encoder's own business) and the text.
            std::string_view text = data.empty() ? data : data.substr(ConfigurationBytes);
            text = text.substr(0, text.find(EndOfRadioText));
            return Emit(Text(TCommandName::RadioText, text, RadioTextLength));
        }
        default: return Refused(TUecpCode::UnknownMessage);
        }
    }

    // The codes as sent, and as the edits show them: never more bytes than the field.
    TCommand Text(TCommandName name, std::string_view codes, size_t length) const {
        TCommand command = Command(name, 0, RdsToCodePage(codes, codePage_, length));
        command.RdsCodes = std::string(codes);
        return command;
    }

    TOutcome Emit(TCommand command) {
        decoded_.Commands.push_back(std::move(command));
        return Accepted;
    }

    TOutcome Request(TField& field) {
        if (!field.Has(LengthBytes)) return CutShort();
        const size_t length = field.Byte();
        if (!field.Has(length)) return CutShort();
        TField request(field.Take(length));
        if (request.AtEnd()) return Refused(TUecpCode::ElementLength);
        const uint8_t element = request.Byte();
        if (IsOtherKnownMessage(element)) return Refused(TUecpCode::NotAcceptable);
        if (!IsDataSetMessage(element)) return Refused(TUecpCode::UnknownMessage);
        if (length != RequestForDataSetBytes) return Refused(TUecpCode::ElementLength);
        TUecpRequest asked;
        asked.Element = static_cast<TUecpElement>(element);
        asked.DataSet = request.Byte();
        asked.ProgramService = request.Byte();
        const TUecpCode numbers = NumbersCode(asked.DataSet, asked.ProgramService);
        if (numbers != TUecpCode::Ok) return Refused(numbers);
        decoded_.Requests.push_back(asked);
        return Accepted;
    }

    TOutcome SiteAddress(TField& field) {
        if (!field.Has(SiteChangeBytes)) return CutShort();
        const uint8_t action = field.Byte();
        const uint32_t site = static_cast<uint32_t>(field.Byte()) << ByteBits | field.Byte();
        return ChangeList(lists_.Sites, action, site, UecpLastSite);
    }

    TOutcome EncoderAddress(TField& field) {
        if (!field.Has(EncoderChangeBytes)) return CutShort();
        const uint8_t action = field.Byte();
        const uint8_t encoder = field.Byte();
        return ChangeList(lists_.Encoders, action, encoder, UecpLastEncoder);
    }

    TOutcome CommunicationMode(TField& field) {
        if (!field.Has(ModeBytes)) return CutShort();
        const uint8_t mode = field.Byte();
        if (mode > ModeLast) return Refused(TUecpCode::OutOfRange);
        peer_.Mode = static_cast<TUecpMode>(mode);
        return Accepted;
    }

    TUecpDecoded& decoded_;
    TUecpAddressLists& lists_;
    TUecpPeer& peer_;
    const TCodePageConversion& codePage_;
};

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

template <typename T>
std::optional<std::vector<T>> ParseAddresses(std::string_view text, uint32_t last) {
    std::vector<T> addresses;
    if (Trimmed(text).empty()) return addresses;
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view number = Trimmed(text.substr(0, comma));
        if (number.empty() || number.size() > MaxAddressDigits) return std::nullopt;
        uint32_t value = 0;
        for (char c : number) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * DecimalBase + static_cast<uint32_t>(c - '0');
        }
        if (value == 0 || value > last) return std::nullopt;
        Add(addresses, static_cast<T>(value));
        if (comma == std::string_view::npos) return addresses;
        text.remove_prefix(comma + 1);
    }
}

template <typename T>
std::string FormatAddresses(const std::vector<T>& addresses) {
    std::string text;
    for (T address : addresses) text += (text.empty() ? "" : ",") + std::to_string(address);
    return text;
}

uint32_t PiValue(const std::string& text) {
    if (text.size() != PiDigits) return 0;
    uint32_t pi = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + DecimalBase;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + DecimalBase;
        if (digit < 0) return 0;
        pi = pi * HexBase + static_cast<uint32_t>(digit);
    }
    return pi;
}

// A list value the window shows, or 0 when it has no selection or is beyond last.
uint8_t ListValue(int index, int last) { return static_cast<uint8_t>(index >= 0 && index <= last ? index : 0); }

// The codes UECP gave the text, or the text's own.
std::string Codes(const std::string& text, const std::optional<std::string>& codes, size_t length,
                  const TCodePageConversion& codePage) {
    return (codes ? *codes : CodePageToRds(text, codePage)).substr(0, length);
}

// The requested message, as it would set the current value.
std::string RequestedMessage(const TUecpRequest& request, const TStatus& status, const TCodePageConversion& codePage) {
    std::string message;
    message += static_cast<char>(request.Element);
    message += static_cast<char>(request.DataSet);
    message += static_cast<char>(request.ProgramService);
    switch (request.Element) {
    case TUecpElement::Pi: {
        const uint32_t pi = PiValue(status.Pi);
        message += static_cast<char>(pi >> ByteBits);
        message += static_cast<char>(pi & ByteMask);
        break;
    }
    case TUecpElement::ProgramService: {
        std::string ps = Codes(status.ProgramService, status.ProgramServiceCodes, ProgramServiceLength, codePage);
        ps.resize(ProgramServiceLength, RdsSpace);
        message += ps;
        break;
    }
    case TUecpElement::TaTp: message += static_cast<char>(status.Tp == 1 ? TrafficProgrammeBit : 0); break;
    case TUecpElement::MusicSpeech: message += static_cast<char>(ListValue(status.MusicSpeech, MusicSpeechLast)); break;
    case TUecpElement::Pty: message += static_cast<char>(ListValue(status.Pty, PtyLast)); break;
    case TUecpElement::RadioText: {
        const std::string rt = Codes(status.RadioText, status.RadioTextCodes, RadioTextLength, codePage);
        // No text: length 0, as the message that clears it.
        message += static_cast<char>(rt.empty() ? 0 : rt.size() + ConfigurationBytes);
        if (!rt.empty()) message += static_cast<char>(NoConfiguration) + rt;
        break;
    }
    default: break;
    }
    return message;
}

std::string Acknowledgement(const TUecpDecoded& decoded) {
    std::string message;
    message += static_cast<char>(TUecpElement::Acknowledgement);
    message += static_cast<char>(decoded.Code);
    if (decoded.Code != TUecpCode::Ok) message += static_cast<char>(decoded.Sequence);
    return message;
}

}  // namespace

bool TUecpAddressLists::Accepts(TUecpAddress address) const {
    const bool site = address.Site == 0 || std::find(Sites.begin(), Sites.end(), address.Site) != Sites.end();
    const bool encoder =
        address.Encoder == 0 || std::find(Encoders.begin(), Encoders.end(), address.Encoder) != Encoders.end();
    return site && encoder;
}

TUecpAddress TUecpAddressLists::Own() const {
    TUecpAddress own;
    if (!Sites.empty()) own.Site = Sites.front();
    if (!Encoders.empty()) own.Encoder = Encoders.front();
    return own;
}

std::optional<std::vector<uint16_t>> ParseUecpSites(std::string_view text) {
    return ParseAddresses<uint16_t>(text, UecpLastSite);
}
std::optional<std::vector<uint8_t>> ParseUecpEncoders(std::string_view text) {
    return ParseAddresses<uint8_t>(text, UecpLastEncoder);
}
std::string FormatUecpSites(const std::vector<uint16_t>& sites) { return FormatAddresses(sites); }
std::string FormatUecpEncoders(const std::vector<uint8_t>& encoders) { return FormatAddresses(encoders); }

TUecpDecoded DecodeUecpFrame(const TUecpFrame& frame, const TUecpAddressLists& addresses, TUecpPeer& peer,
                             const TCodePageConversion& codePage) {
    TUecpDecoded decoded;
    if (!frame.HasHeader || !addresses.Accepts(frame.Address)) return decoded;
    decoded.ForThisProgram = true;
    decoded.Sequence = frame.Sequence;
    TUecpAddressLists lists = addresses;
    if (frame.Damage != TUecpCode::Ok) {
        decoded.Code = frame.Damage;
    } else {
        TMessageDecoder(decoded, lists, peer, codePage).Decode(frame.Messages);
        if (lists.Sites != addresses.Sites || lists.Encoders != addresses.Encoders) decoded.NewAddresses = lists;
    }
    decoded.Answer = peer.Mode != TUecpMode::OneWay;
    decoded.ReplyAddress = lists.Own();
    return decoded;
}

std::vector<std::string> EncodeUecpReply(const TUecpDecoded& decoded, const TStatus& status,
                                         const TCodePageConversion& codePage) {
    std::vector<std::string> frames;
    if (!decoded.ForThisProgram || !decoded.Answer) return frames;
    std::string field;
    for (const TUecpRequest& request : decoded.Requests) {
        const std::string message = RequestedMessage(request, status, codePage);
        if (field.size() + message.size() > UecpMaxMessageField) {
            frames.push_back(EncodeUecpFrame(decoded.ReplyAddress, decoded.Sequence, field));
            field.clear();
        }
        field += message;
    }
    const std::string acknowledgement = Acknowledgement(decoded);
    if (field.size() + acknowledgement.size() > UecpMaxMessageField) {
        frames.push_back(EncodeUecpFrame(decoded.ReplyAddress, decoded.Sequence, field));
        field.clear();
    }
    field += acknowledgement;
    frames.push_back(EncodeUecpFrame(decoded.ReplyAddress, decoded.Sequence, field));
    return frames;
}
