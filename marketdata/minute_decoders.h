// Minute-data decoders: today's minute points (reply types 48 and 50), the
// fixed-layout minute points (type 37) and the minute-flow records (type 93),
// all into one MinuteArea per minute slot.
//
// Reply bodies (big-endian):
//   48/50  complete only: stock key (33), previous close (s32 / 10^d);
//          always: head A (i64), head B (i64), start (s16, type 48 only),
//          n (s16), k (i8), k minute-field ids, n points (one var-int per
//          listed id, each a difference to the reference point).
//   37     complete only: stock key (33), previous close (s32 / 10,000);
//          always: head A, head B, start (s16), end (s16), points of 32
//          bytes: price (s32 / 10,000), volume (i64), average (s32 /
//          10,000), bid volume (i64), ask volume (i64).
//   93     complete only: stock key (33, not kept), flow head (i64);
//          always: k (i8), k flow-field ids, start (u16), n (u16), n records
//          (one 3-byte scaled value per listed flow id).
//
// Minute fields: 1 price (var-int32, 10^-d units), 2 amount and 3 volume
// (var-int64), 4 average (var-int32, 1/10,000 units), 5 bid and 6 ask volume
// (var-int64), 7 minute field 7 (var-int32 kept to 16 bits), 8 minute field
// 8 (var-int64); any other id reads nothing. Flow fields: 112-115 add their
// value to the reference record's, 117 stores its value as it stands, any
// other id reads nothing.
//
// Update semantics (mode 1 complete, 2 update):
//   - A complete reply starts the area afresh (types 48, 50, 37) or restarts
//     the flow records (type 93, the points are kept).
//   - The first point of every reply is absolute; each later point is
//     relative to the one decoded before it.
//   - A point with price 0 (no trade in that minute) is filled: the first
//     point of a complete reply, and of an update starting at minute 0,
//     takes the previous close; every other point takes the price and the
//     average of the minute before it.
//   - An update that starts beyond the held points first fills the minutes
//     between with the last held point carried forward (its price, average
//     and order totals, with zero volume and amount); with nothing held they
//     take the previous close. Flow records in such a gap repeat the last
//     held record.
//   - Points held: the point count of a complete reply; start + decoded
//     points after an update. Type 37 leaves it as it was.
//
// Every read is bounded by the body: the decoding stops at the first value
// that does not fit and keeps the points decoded whole before it, with the
// counts saying how many. The start is clamped to 0..1,024 and start + n to
// the 1,024 minutes of the area; negative counts are 0. A null area, a null
// body or an empty body changes nothing.
#pragma once

#include <cstdint>

#include "marketdata/quote_record.h"
#include "marketdata/reply_reader.h"

constexpr int kMinutePoints = 1024;      // minutes of one area (all sessions of a day)
constexpr int kMinuteFieldIdRoom = 131;  // minute-field ids an area keeps
constexpr int kMinuteFixedPointSize = 32;  // one type-37 point on the wire

// One minute of the chart.
struct MinutePoint {
  float price;          // last price of the minute
  int64_t volume;       // volume traded in the minute
  int64_t amount;       // amount traded in the minute
  float average;        // average price of the day so far
  int64_t bidVolume;    // total volume of buy orders ("委买")
  int64_t askVolume;    // total volume of sell orders ("委卖")
  int16_t field7;       // minute field 7 (an index's strength)
  int64_t field8;       // minute field 8 (open interest)
};

// One minute of flow (type 93): running values of flow fields 112-115 and
// the value of flow field 117.
struct MinuteFlowRecord {
  int64_t running[4];   // flow fields 112, 113, 114, 115
  int64_t field117;     // flow field 117
};

// The result area of a minute-data request. Written by the decoders on the
// connection's thread; read by the request's callback right after.
struct MinuteArea {
  StockKey key;                          // its decimals d scale types 48 and 50
  float previousClose;                   // of the last complete reply
  int64_t headA;                         // head values of the latest reply
  int64_t headB;
  int16_t startIndex;                    // minute of the latest reply's first point (0..1,024)
  int16_t pointCount;                    // points the latest reply decoded (type 37: its end)
  int8_t fieldCount;                     // minute-field ids of the latest reply
  uint8_t fieldIds[kMinuteFieldIdRoom];  // the ids, in list order
  MinutePoint points[kMinutePoints];     // indexed by minute of the trading day
  int32_t pointsHeld;                    // minutes 0 .. pointsHeld-1 hold points
  MinuteFlowRecord flows[kMinutePoints]; // type-93 records by minute
  int64_t flowHead;                      // flow head value of the last complete reply
  int32_t flowsHeld;                     // flow records 0 .. flowsHeld-1 are filled
};

// Types 48 and 50 (replyType tells them apart: type 50 carries no start and
// fills from the stored start index). mode 1 complete, 2 update.
void DecodeMinuteData(MinuteArea* area, ReplyReader* body, int replyType, int mode);

// Type 37: the points go to the minutes from the start index stored by the
// previous reply (0 after a complete reply or when it is negative) up to the
// end this reply carries, minus one.
void DecodeFixedMinutePoints(MinuteArea* area, ReplyReader* body, int mode);

// Type 93: minute-flow records.
void DecodeMinuteFlow(MinuteArea* area, ReplyReader* body, int mode);

// One minute field of id into point, relative to reference (the two may be
// the same point). decimals is the stock's price-decimals byte. Returns
// false when the value runs past the body (the point is left unchanged for
// this id); an unknown id reads nothing and returns true.
bool DecodeMinuteField(int id, int decimals, ReplyReader* body, MinutePoint* point,
                       const MinutePoint& reference);

// One flow field of id into record, relative to reference. Same results as
// DecodeMinuteField.
bool DecodeMinuteFlowField(int id, ReplyReader* body, MinuteFlowRecord* record,
                           const MinuteFlowRecord& reference);
