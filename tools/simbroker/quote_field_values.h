// Quote fields the market derives from each stock's one random-walk price
// and its traded volume, so that tables, rankings and the order book agree:
// the order book's volumes (tilted towards the side the price moves to),
// volume ratio (33), five-minute change (36, the move since the open stands
// in for it), turnover (37), order ratio (38, from the ten book levels),
// price-earnings ratio (40) and a block's member-list id (1015).
#pragma once

#include "tools/simbroker/market_data.h"

namespace simbroker {

// Appends the value of id for the stock when the id is one of the derived
// fields above and returns true; false (nothing written) for other ids.
bool PutDerivedQuoteField(Bytes* out, const SimStock& stock, int id);

}  // namespace simbroker
