// Reply builders of the market-data server for the list-shaped replies:
// sorted lists (type 40), category lists (42), the nine ranking boxes (41),
// field tables (43, 45, 46), the stock-pool table (69) and the news marks
// (packet kind 0x33, requests 2 and 3); and a generator of further stocks
// for large lists. Every value comes from the stock's one random-walk price
// (PutQuoteField), so lists, rankings and pages agree with each other.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/simbroker/market_data.h"
#include "tools/simbroker/market_replies.h"

namespace simbroker {

// 40: i64 list id (as asked), i32 total rows of the list, u16 k, k ids,
// u16 n, n records of the page [start, start + rows) sorted by the asked
// field (order 0 descending, 1 ascending; ties by code). The list is every
// stock of the market.
bool BuildSortedListReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
// 42: u16 total rows of the category, u16 k, k ids, u16 n, n records; the
// category's stocks are those of the kind the category's low byte names
// (1 indices, 2 stocks, 3 funds), every stock for any other category.
bool BuildCategoryListReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
// 41: i64 head (the asked value), i8 c (the asked rows, at most 28 and the
// stock count), then 9 boxes of c entries: key, last price, previous close,
// kind (box + 1), 4 zero bytes and the s32 ranked value, or for kind 9 the
// i64 amount. Complete replies only.
bool BuildRankingReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
// 43, 45, 46: u16 k, k ids, u16 n (at most 64), n records. Complete replies
// carry the asked ids; updates carry id 1 first and the asked ids without
// the stock key. 43 lists the indices, 45 the funds, 46 the stocks.
bool BuildFieldTableReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
// 69: u32 L and L bytes of the table document (result code 1, title,
// totalrow, head of four columns, body of rows). Complete replies only.
bool BuildStockPoolReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
// Kind 0x33, requests 2 and 3: code, market, u32 L, L bytes of
// {"total":n,"data":[...]}: three items of the asked day (request 2), or
// five to eight items on four to six trading days of the asked date range,
// two on the first of them (request 3); links to the HTTP site's news pages
// (MarketData::HttpBase). Complete replies only.
bool BuildNewsMarksReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);

// The value of quote field id for the stock as the server sends it, as a
// signed integer (0 for the key, the list code and text fields).
int64_t QuoteFieldValue(const SimStock& stock, int id);

// count stocks beyond the fixed ones, half in Shanghai (codes 6xxxxx) and
// half in Shenzhen (codes 00xxxx), with prices drawn from seed.
std::vector<SimStock> SyntheticStocks(int count, uint64_t seed);

}  // namespace simbroker
