// Market states: the per-market trading date and state byte of the type-3
// reply, and their saved copy in res\maketinfo.data.
//
// The engine keeps two MarketStateTables: latestMarkets (the last type-3
// reply, written on the connection's thread) and savedMarkets (merged from
// every reply, saved to the file and reloaded). The saved table is also read
// by other threads (GetMarketTradeDate), so saving, loading and reading it
// take one process-wide lock of this file.
//
// File form: one "<market><id>%d</id><date>%d</date><state>%d</state></market>"
// per saved entry, back to back, no separator and no terminator. The text
// grows with the table (no fixed 2,045-byte limit); entries of a file beyond
// the table's 256 are ignored.
#pragma once

#include <cstdint>

#include "marketdata/quote_engine.h"

class ReplyReader;

// Clears the whole table, then stores the reply's count byte n (0 or less:
// no entries) and its entries (id u8, date i32, state u8), at most
// kMaxMarketStates and no more than the body holds whole. A null body or
// table does nothing.
void DecodeMarketInfo(ReplyReader* body, MarketStateTable* table);

// SaveMarketStates(engine): merges the latest table into the saved one (an
// id found gets the latest date and state; a new id is appended while there
// is room) and rewrites res\maketinfo.data from the saved table (temporary
// file and rename). LoadMarketStates(engine): clears the saved table and
// fills it from res\maketinfo.data (nothing when the file is missing or
// empty). Both are declared in quote_engine.h.

// The trading date (yyyymmdd) of the last saved entry with this market id;
// 0 when no entry has it. Any thread.
int64_t GetMarketTradeDate(QuoteEngine* engine, int marketId);
