// Reads SONDEL_VIRTUAL_CARD and SONDEL_VIRTUAL_CARD_FAULT and keeps the
// program's virtual card for the rest of the run.
#include "VirtualCardSetup.h"

#include "VirtualCard.h"

#include <cstdlib>
#include <memory>

namespace {

// Puts the driver back before the card goes at the end of the run.
struct TVirtualCardInUse {
    ~TVirtualCardInUse()
    {
        if (card)
            UseDriverDevice(nullptr);
    }
    std::unique_ptr<TVirtualCard> card;
};

TVirtualCardInUse inUse;

} // namespace

bool UseVirtualCardIfRequested()
{
    const char* trace = std::getenv("SONDEL_VIRTUAL_CARD");
    if (!trace)
        return false;
    TVirtualCardConfig config = IoCardConfig();
    const char* fault = std::getenv("SONDEL_VIRTUAL_CARD_FAULT");
    if (fault && *fault)
        ApplyVirtualFault(config, VirtualFaultFromName(fault));
    auto card = std::make_unique<TVirtualCard>(config, trace);
    UseDriverDevice(card.get());
    inUse.card = std::move(card);
    return true;
}
