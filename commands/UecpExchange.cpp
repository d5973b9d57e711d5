// One way in's lines and frames handed over together, and their replies.
#include "UecpExchange.h"

#include "CodePage.h"

#include <utility>

TUecpOwner WithCodePage(TUecpOwner owner) {
    if (!owner.CodePage.ToUnicode || !owner.CodePage.FromUnicode) owner.CodePage = {SystemToUnicode, UnicodeToSystem};
    return owner;
}

TUecpExchange::TUecpExchange(std::vector<TReceived> received, TUecpPeer& peer, const TUecpOwner& owner)
    : received_(std::move(received)), decoded_(received_.size()), codePage_(owner.CodePage) {
    const auto decode = [&](TUecpAddressLists& addresses) {
        for (size_t i = 0; i < received_.size(); ++i) {
            if (!received_[i].Frame) continue;
            decoded_[i] = DecodeUecpFrame(*received_[i].Frame, addresses, peer, codePage_);
            if (decoded_[i]->NewAddresses) addresses = *decoded_[i]->NewAddresses;
        }
    };
    if (owner.ChangeAddresses) {
        owner.ChangeAddresses(decode);
        return;
    }
    TUecpAddressLists onlyAll;
    decode(onlyAll);
}

void TUecpExchange::AddCommands(std::vector<TCommand>& commands) const {
    for (size_t i = 0; i < received_.size(); ++i) {
        if (received_[i].Line && received_[i].Line->Command) commands.push_back(*received_[i].Line->Command);
        if (decoded_[i]) commands.insert(commands.end(), decoded_[i]->Commands.begin(), decoded_[i]->Commands.end());
    }
}

bool TUecpExchange::NeedsStatus() const {
    for (const std::optional<TUecpDecoded>& frame : decoded_)
        if (frame && frame->Answer) return true;
    return false;
}

std::string TUecpExchange::Answer(const std::vector<std::string>& replies, size_t& next,
                                  const std::optional<TStatus>& status) {
    std::string output;
    for (size_t i = 0; i < received_.size(); ++i) {
        if (received_[i].Line) {
            const TParsedLine& line = *received_[i].Line;
            output += (line.Command ? replies.at(next++) : line.Reply) + ReplyLineEnd;
            continue;
        }
        TUecpDecoded& frame = *decoded_[i];
        // A frame whose commands did not all act is not acknowledged as done.
        for (size_t k = 0; k < frame.Commands.size(); ++k)
            if (!IsDoneReply(replies.at(next++)) && frame.Code == TUecpCode::Ok) frame.Code = TUecpCode::NotAcceptable;
        if (!frame.Answer) continue;
        if (!status) {
            if (!frame.Requests.empty() && frame.Code == TUecpCode::Ok) frame.Code = TUecpCode::NotAcceptable;
            frame.Requests.clear();
        }
        for (const std::string& reply : EncodeUecpReply(frame, status ? *status : TStatus{}, codePage_))
            output += reply;
    }
    return output;
}
