// One hand-over of what a way in received (ASCII lines and UECP frames, in arrival
// order) and what goes back for it: each line's reply, and for each frame to be
// answered its requested messages and acknowledgement. Shared by the port and the
// serial line, so that both keep one set of rules.
#pragma once

#include "CommandLanguage.h"
#include "RdsCharacterSet.h"
#include "UecpFrame.h"
#include "UecpMessages.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What UECP needs from the program; called on the transports' workers.
struct TUecpOwner {
    // Runs Change on the lists in force under the owner's one lock, so that the port and
    // the serial line never undo each other's changes (messages 0x23 and 0x27); what
    // Change leaves is in force at once and, when it differs, stored.
    using TAddressChange = std::function<void(TUecpAddressLists&)>;
    std::function<void(const TAddressChange& change)> ChangeAddresses;
    // The system code page's when not given.
    TCodePageConversion CodePage;
};
// The owner with the system code page filled in where none was given.
TUecpOwner WithCodePage(TUecpOwner owner);

class TUecpExchange {
public:
    // Decodes the frames in order against the owner's lists, which take the frames'
    // changes at once (a batch that is then not applied in time leaves them changed);
    // the peer takes their communication modes.
    TUecpExchange(std::vector<TReceived> received, TUecpPeer& peer, const TUecpOwner& owner);

    // The commands of the lines and frames, in order, added to Commands.
    void AddCommands(std::vector<TCommand>& commands) const;
    // A frame is to be answered: the hand-over needs the window's state after it.
    bool NeedsStatus() const;
    // What goes back, taking this exchange's replies from Replies at Next on. Without a
    // state (the window never got to the commands) requests are refused, not guessed.
    std::string Answer(const std::vector<std::string>& replies, size_t& next, const std::optional<TStatus>& status);

private:
    std::vector<TReceived> received_;
    std::vector<std::optional<TUecpDecoded>> decoded_;
    const TCodePageConversion& codePage_;
};
