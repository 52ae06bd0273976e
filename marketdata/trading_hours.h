// Trading hours: each market's sessions (up to three open/close pairs in
// HHMM form), the middle tick of the minute axis and the minute points per
// day, read from the "TradingHours" element of res\v2bin.data, e.g.
//   <Market id="1" firstopen="930" firstclose="1130" secondopen="1300"
//           secondclose="1500" thirdopen="0" thirdclose="0" midscale="1130"/>
//
// Minutes per day, with HHMM counted as HH * 60 + MM:
//   (close1' - open1) + (close2 - open2) + 2, close1' = firstclose, plus 2400
//   when firstclose is below firstopen (a first session past midnight);
//   plus (close3 - open3) + 1 when thirdopen and thirdclose are both non-zero.
// Each session so counts both of its end minutes (930-1130 / 1300-1500: 242).
//
// The table (TradingHoursTable of the engine) holds 32 entries; Market
// elements beyond them are ignored.
#pragma once

#include "marketdata/quote_engine.h"

// Parses text (the element's content) and fills table. When the text gives
// no node the table is unchanged; otherwise it is cleared and filled with
// every Market element from the first top-level one on (a missing attribute
// leaves its field 0). Null text or table does nothing.
void LoadTradingHours(const char* text, TradingHoursTable* table);

// The first entry with this market id, or null (also for a null table).
const TradingHoursEntry* FindTradingHours(const TradingHoursTable* table, int marketId);

// The minute points of one entry (formula above).
int TradingMinutes(const TradingHoursEntry& entry);
