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
// field (order 0 descending, 1 ascending; ties by code). The list is the
// catalogue's (CatalogueList), every stock of the market for other ids.
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

// The list catalogue of type 40: true and *out set to the members (from
// all) of a list id the catalogue knows, false for other ids. 1101 and 1110
// all A shares (6xxxxx in Shanghai, 00xxxx and 30xxxx in Shenzhen), 1102
// Shanghai A, 1103 Shenzhen A, 1105 002xxx, 1106 300xxx, 1107 B shares
// (900xxx, 200xxx), 1108 Shanghai B, 1109 Shenzhen B; the index lists by
// their market's leading codes: 1112 上证50 (50), 1113 上证180 (180), 1114
// 深证成指 (40), 1115 深证100 (100), 1116 沪深300 (150 of each market);
// 3108 ETFs (funds 51xxxx, 159xxx), 3107 LOFs (16xxxx); the closed-end
// funds 3103/36/37, the Hong Kong boards 1813/1814, B to H 99992005, the
// index categories 410602-410607 and the commodity exchanges 440101-440501
// are empty.
bool CatalogueList(const std::vector<SimStock>& all, int64_t listId, std::vector<SimStock>* out);

// The value of quote field id for the stock as the server sends it, as a
// signed integer (0 for the key, the list code and text fields).
int64_t QuoteFieldValue(const SimStock& stock, int id);

// count stocks beyond the fixed ones, half in Shanghai (codes 6xxxxx) and
// half in Shenzhen (codes 00xxxx), with prices drawn from seed.
std::vector<SimStock> SyntheticStocks(int count, uint64_t seed);

}  // namespace simbroker
