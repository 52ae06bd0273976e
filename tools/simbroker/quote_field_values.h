// Quote fields the market derives from each stock's one random-walk price
// and its traded volume, so that tables, rankings and the order book agree:
// the order book's volumes (tilted towards the side the price moves to),
// volume ratio (33), five-minute change (36, the move since the open stands
// in for it), turnover (37), order ratio (38, from the ten book levels),
// price-earnings ratio (40), a block's member-list id (1015), and the
// three-day change (5000) and three-day turnover (5001) of the stock's served
// day bars (the history before the trade date and today's bar).
#pragma once

#include "tools/simbroker/market_data.h"

namespace simbroker {

// Appends the value of id for the stock when the id is one of the derived
// fields above and returns true; false (nothing written) for other ids.
bool PutDerivedQuoteField(Bytes* out, const SimStock& stock, int id);

// The turnover rate, in hundredths of a percent, of volume shares against
// the stock's free float (field 37 is today's).
int64_t TurnoverHundredths(const SimStock& stock, int64_t volume);

// Fields 5000 and 5001 from the served day bars of the stock's trade date
// (stock.tradeDate; both 0 when it is 0 or fewer than four bars exist): the
// close's change over the last three bars in hundredths of a percent, and
// the three bars' summed turnover (TurnoverHundredths of their volumes).
int64_t ThreeDayChange(const SimStock& stock);
int64_t ThreeDayTurnover(const SimStock& stock);

}  // namespace simbroker
