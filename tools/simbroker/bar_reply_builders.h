// Reply builders of the market-data server for the bar requests: latest bars
// (49), K-line bars (68), ex-rights (55) and the level-2 bar supplements
// (91, 92), registered beside the other builders (market_replies.h).
//
// The served bars come from one path per stock: a history of day bars that
// walks back from the stock's previous close (with the stock's ex-rights
// events), and today's bar made of the quote's open, high, low, last price,
// volume and amount; the minute periods cut today into bars along a path
// from the open to the last price inside the day's range, and the week,
// month and year bars are built from the day bars. A complete reply carries
// the newest bars the request asks for; a pushed update re-sends the open
// bar (mode 1).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/simbroker/bar_replies.h"
#include "tools/simbroker/market_data.h"
#include "tools/simbroker/market_requests.h"

namespace simbroker {

// Day bars before the trade date (with the events and supplement rows) for
// a stock; deterministic for the stock and the date.
BarHistory ServedHistory(const SimStock& stock, int32_t tradeDate);
// Today's bar from the quote.
WireBar TodayBar(const SimStock& stock, int32_t tradeDate);
// The bars of a period, oldest first: 33 day (history then today), 34 to
// 38 today's 1, 5, 15, 30, 60-minute bars, 39 week, 40 month, 41 year.
std::vector<WireBar> ServedBars(const SimStock& stock, int32_t tradeDate, int period);

bool BuildLatestBarsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);  // 49
bool BuildKLineBarsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);   // 68
bool BuildExRightsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);    // 55
bool BuildSupplementAReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body); // 91
bool BuildSupplementBReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body); // 92

}  // namespace simbroker
