// Reply bodies of the minute, tick, F10 and alert requests as the
// market-data server writes them, and the server's builders for them, fed by
// one trade tape per stock that follows the simulated price path.
//
// Wire formats (big-endian), written from the protocol:
//   48/50 full   key(33) prevClose s32 (10^-d units) A i64 B i64 [start s16:
//                48 only] n s16 k i8 ids points
//   48/50 upd    A B [start] n k ids points
//   points       one var-int per listed id: 1 price (10^-d units), 2 amount,
//                3 volume, 4 average (1/10,000 units), 5 bid total, 6 ask
//                total, 7 field 7, 8 field 8; the first point of a reply
//                absolute, every later one the difference to the one before
//   37           [key prevClose x10,000] A B start s16 end s16, points of
//                price s32 x10,000, volume i64, average s32 x10,000, bid i64,
//                ask i64
//   93           [key head i64] k i8 ids start u16 n u16, records of one
//                scaled int24 per id (112-115 differences, 117 absolute)
//   38/80        [key ref-price s32 x10,000] position s32 n s16 ticks: price,
//                volume i64, time s32, field 4 s32, direction (80: + trade
//                number s32)
//   67           [key ref] position n s16 k i8 ids, ticks by id: 1 price, 2
//                volume i64, 3 time, 4 s32, 5 dir byte, 6 s32, 7 s32, 8 byte
//   60           [key ref] unless kind 1: total i64, m u16, m x (price s32,
//                volume i64, part volume i64)
//   70           code 6, market, c i8, c x (s32, s32, L u16, title)
//   71           code 6, market, item, L u16, title, s32, s32, M u32, content
//   61           [key] k i8 text n s16, n x (kind, time s32, value text 16)
//   62           k i8 text n s16, n x (key 33, kind, time s32, value text 16)
//
// The tape: every step of the simulated market adds one trade per stock (its
// price, its volume and amount), in the next trading minute. Minute points,
// ticks, price levels and alerts are all made from the tape, so the day's
// minute volumes and amounts add up to the quote record's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/simbroker/market_data.h"
#include "tools/simbroker/market_replies.h"
#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

// A minute point in wire units: price in 10^-d, average in 1/10,000.
struct WireMinutePoint {
  int64_t price = 0;
  int64_t amount = 0;
  int64_t volume = 0;
  int64_t average = 0;
  int64_t bid = 0;
  int64_t ask = 0;
  int64_t field7 = 0;
  int64_t field8 = 0;
};
// Delta-coded points for the listed ids (unknown ids write nothing).
void PutMinutePoints(Bytes* out, const std::vector<WireMinutePoint>& points, const std::vector<int>& ids);
// Type 48 (start written) or 50 (no start). complete adds key and close.
Bytes MinuteDataBody(int type, bool complete, const SimStock& stock, int32_t prevClose, int64_t a, int64_t b,
                     int start, const std::vector<int>& ids, const std::vector<WireMinutePoint>& points,
                     int countOverride = -1);
// Type 37: points with price and average in 1/10,000.
Bytes FixedMinuteBody(bool complete, const SimStock& stock, int32_t prevClose, int64_t a, int64_t b, int start,
                      int end, const std::vector<WireMinutePoint>& points);
// Type 93: each record holds values by flow id (112-115, 117).
struct WireFlowRecord {
  std::map<int, int64_t> values;
};
Bytes MinuteFlowBody(bool complete, const SimStock& stock, int64_t head, const std::vector<int>& ids, int start,
                     const std::vector<WireFlowRecord>& records);

// A tick in wire units (price x10,000).
struct WireTick {
  int32_t price = 0;
  int64_t volume = 0;
  int32_t time = 0;
  int32_t field4 = 0;
  int direction = 'B';
  int32_t tradeNumber = 0;
  int32_t field6 = 0;
  int32_t field7 = 0;
  int kind = 0;
};
// Type 38 (level2 false) or 80.
Bytes TickBody(bool level2, bool complete, const SimStock& stock, int32_t refPrice, int32_t position,
               const std::vector<WireTick>& ticks, int countOverride = -1);
Bytes FuturesTickBody(bool complete, const SimStock& stock, int32_t refPrice, int32_t position,
                      const std::vector<int>& ids, const std::vector<WireTick>& ticks);
struct WirePriceLevel {
  int32_t price = 0;
  int64_t volume = 0;
  int64_t partVolume = 0;
};
// Levels are omitted when the stock's kind is 1.
Bytes PriceStatBody(bool complete, const SimStock& stock, int32_t refPrice, int64_t total,
                    const std::vector<WirePriceLevel>& levels, int countOverride = -1);

struct WireF10Entry {
  int32_t first = 0;
  int32_t second = 0;
  std::string title;
};
Bytes F10CatalogBody(const std::string& code, int market, const std::vector<WireF10Entry>& entries);
// lengthOverride >= 0 replaces the content length written (tests).
Bytes F10ItemBody(const std::string& code, int market, int item, const std::string& title, int32_t first,
                  int32_t second, const std::string& content, int64_t lengthOverride = -1);

struct WireAlert {
  SimStock stock;
  int kind = 0;          // 1..20
  int32_t time = 0;      // hhmmss
  std::string value;     // up to 16 bytes of UTF-8, zero-padded
};
Bytes AlertRecordsBody(const std::string& text, const std::vector<WireAlert>& alerts, int countOverride = -1);
Bytes AlertQueryBody(bool complete, const SimStock& stock, const std::string& text,
                     const std::vector<WireAlert>& alerts);

// --- The tape ---

// hhmmss of trading minute m (09:30 + m in the morning, 13:00 after 121
// minutes) and second s.
int32_t TradingTime(int minute, int second);

struct TapeTrade {
  int minute = 0;          // trading minute of the day
  int32_t time = 0;        // hhmmss
  double price = 0;
  int64_t volume = 0;
  int64_t amount = 0;
  int direction = 'B';
  int64_t bidTotal = 0;    // order totals after the trade
  int64_t askTotal = 0;
};

// Records the trades of the latest market step on every stock's tape (the
// server calls it after each step; what several steps traded between two
// calls becomes one trade).
void RecordTapeTrades(const MarketData& data);
// The stock's trades so far (synchronised with its quote first).
std::vector<TapeTrade> TradeTape(const MarketData& data, const SimStock& stock);
// The day's minute points of the stock from its tape (one point at minute
// 0 with the open price and no volume when nothing has traded).
std::vector<WireMinutePoint> TapeMinutePoints(const MarketData& data, const SimStock& stock);
// Every alert fired so far, in the order of the trades that fired them.
std::vector<WireAlert> TapeAlerts(const MarketData& data);

// Builders of types 48, 38, 80, 67, 60, 61, 62, 70 and 71. A complete tick
// reply (38, 80, 67) holds the count ticks from the request's start when the
// start is 0 or more (a page of the day), else the newest count ticks.
bool BuildMinuteDataReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
bool BuildTickReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
bool BuildFuturesTickReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
bool BuildPriceStatReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
bool BuildAlertQueryReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
bool BuildAlertRecordsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
bool BuildF10CatalogReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);
bool BuildF10ItemReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);

// Adds the builders above to a registry keyed by kind << 8 | type.
void AddMinuteTickReplyBuilders(std::map<int, ReplyBuilder>* registry);

}  // namespace simbroker
