// The one switch every program entry calls: the virtual card replaces the
// driver when SONDEL_VIRTUAL_CARD names a trace file.
#pragma once

// True when the virtual card is now in use. SONDEL_VIRTUAL_CARD_FAULT may name
// one fault to simulate; an unknown name or an unwritable trace raises ECardError.
bool UseVirtualCardIfRequested();
