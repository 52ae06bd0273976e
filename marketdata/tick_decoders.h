// Tick decoders: level-1 ticks (reply type 38), level-2 ticks (type 80),
// futures ticks (type 67) and price statistics (type 60); and the tick
// records and order queues of the unrequested types 81, 84 and 83, which
// arrive under a tick request and so share its TickArea.
//
// Reply bodies (big-endian; "price" is an s32 / 10,000 stored as a float):
//   38/80  complete only: stock key (33), reference price; always: reply
//          position (s32), n (s16), n ticks: price, volume (i64), time
//          (s32 hhmmss), tick field 4 (s32), direction (1); type 80 adds the
//          trade number (s32): 21 and 25 bytes.
//   67     complete only: stock key, reference price; always: reply
//          position, n (s16), k (i8), k tick-field ids, n ticks of one value
//          per listed id: 1 price (4), 2 volume (8), 3 time (4), 4 field 4
//          (4), 5 direction (1), 6 field 6 (4), 7 field 7 (4), 8 open/close
//          kind (1); other ids (0 included) read nothing.
//   60     complete only: stock key, reference price; then, unless the
//          stored key's kind is 1: total volume (i64), m (u16), m levels:
//          price, volume (i64), part volume (i64).
//   81     complete only: stock key, reference price; always: reply
//          position, n (s16), ticks of 13 bytes: price, volume (s32), time,
//          direction.
//   84     a leading byte; complete only: stock key, reference price, a
//          32-bit value; always: n (s16), ticks of 16 bytes: price, volume
//          (i64), time.
//   83     complete only: stock key, reference price; then two queues:
//          price, total (i64), count c (i8), c values (s32).
//
// Sliding window (tick types and the alert query), cap = the capacity, held
// = ticks held before the reply:
//   complete       the n ticks go to 0..n-1 (within the area's room);
//   held + n <= cap    appended at held;
//   n < cap         the newest cap-n held ticks move to the front, the n
//                   new ones follow; held = cap;
//   n >= cap        the first n-cap ticks of the reply are skipped, the last
//                   cap fill the window; held = cap.
// A decoded tick overwrites only the fields its type carries.
//
// Bounds: the capacity is clamped to the room of the area (1,024 ticks; 64
// for types 81 and 84), n to the room and to the whole ticks the body holds
// (a negative n is 0), price levels to 10,280, queue values to 50 and 51
// (the rest of a queue is skipped). Shares whose divisor is 0 are 0. A null
// area, a null body or an empty body changes nothing.
#pragma once

#include <cstdint>

#include "marketdata/quote_record.h"
#include "marketdata/reply_reader.h"

constexpr int kTickRoom = 1024;          // ticks of a tick area
constexpr int kSmallTickRoom = 64;       // ticks types 81 and 84 may fill
constexpr int kTickFieldIdRoom = 129;    // futures tick-field ids an area keeps
constexpr int kPriceLevelRoom = 10280;   // price levels of the statistics
constexpr int kLevel1TickSize = 21;
constexpr int kLevel2TickSize = 25;
constexpr int kType81TickSize = 13;
constexpr int kType84TickSize = 16;
constexpr int kFirstQueueRoom = 50;
constexpr int kSecondQueueRoom = 51;

// One trade.
struct TickRecord {
  float price;            // tick field 1
  int64_t volume;         // tick field 2
  int32_t time;           // tick field 3: hh*10000 + mm*100 + ss
  int32_t field4;         // tick field 4 (printed after the direction mark)
  uint8_t direction;      // tick field 5: 'B' buy, 'S' sell
  int32_t tradeNumber;    // level-2 ticks only
  int32_t field6;         // futures tick field 6
  int32_t field7;         // futures tick field 7 (6 minus 7: open-interest change)
  uint8_t openCloseKind;  // futures tick field 8: 1..8
};

// The two order queues of a type-83 reply.
struct OrderQueueArea {
  StockKey key;
  float referencePrice;
  float firstPrice;                       // first queue
  int64_t firstTotal;
  int8_t firstCount;                      // values kept (at most 50)
  int32_t firstValues[kFirstQueueRoom];
  float secondPrice;                      // second queue
  int64_t secondTotal;
  int8_t secondCount;                     // values kept (at most 51)
  int32_t secondValues[kSecondQueueRoom];
};

// Result area of a tick request (types 38 and 80, and 81, 84 and 83 that
// come under the same request).
struct TickArea {
  StockKey key;
  float referencePrice;         // previous close, for colouring the prices
  int32_t replyPosition;        // set to -1 by the builder; every reply overwrites it
  int16_t tickCount;            // ticks the latest reply decoded
  TickRecord ticks[kTickRoom];  // oldest first
  int32_t ticksHeld;
  uint8_t leadingByte;          // type 84: the reply's leading byte
  int32_t completeValue;        // type 84: the 32-bit value of the last complete reply
  OrderQueueArea orderQueue;    // type 83
};

// Result area of the futures tick request (type 67).
struct FuturesTickArea {
  StockKey key;
  float referencePrice;
  int32_t replyPosition;                 // set to -1 by the builder; every reply overwrites it
  int16_t tickCount;                     // ticks the latest reply decoded
  int8_t fieldCount;                     // tick-field ids of the latest reply
  uint8_t fieldIds[kTickFieldIdRoom];
  TickRecord ticks[kTickRoom];
  int32_t ticksHeld;
};

// One price level of the statistics.
struct PriceLevel {
  float price;
  int64_t volume;
  int64_t partVolume;     // the panel splits the level's bar here
  float share;            // volume / total volume (0 when the total is 0)
  float partShare;        // part volume / volume (0 when the volume is 0)
};

// Result area of the price-statistics request (type 60).
struct PriceStatArea {
  StockKey key;
  float referencePrice;
  int64_t totalVolume;
  int64_t largestVolume;                 // largest volume of any level
  int32_t levelCount;                    // set to -1 by the builder; the reply sets the count
  PriceLevel levels[kPriceLevelRoom];
};

// Types 38 and 80. capacity: the request's tick count.
void DecodeLevel1Ticks(TickArea* area, ReplyReader* body, int mode, int capacity);
void DecodeLevel2Ticks(TickArea* area, ReplyReader* body, int mode, int capacity);
// Type 67.
void DecodeFuturesTicks(FuturesTickArea* area, ReplyReader* body, int mode, int capacity);
// Type 60.
void DecodePriceStatistics(PriceStatArea* area, ReplyReader* body, int mode);
// Types 81, 84 and 83 into the tick request's area.
void DecodeType81Ticks(TickArea* area, ReplyReader* body, int mode, int capacity);
void DecodeType84Ticks(TickArea* area, ReplyReader* body, int mode, int capacity);
void DecodeOrderQueue(OrderQueueArea* area, ReplyReader* body, int mode);

// One futures tick field of id into tick. Returns false when the value runs
// past the body (nothing stored); an unknown id reads nothing and returns
// true.
bool DecodeTickField(ReplyReader* body, int id, TickRecord* tick);
// Wire size of futures tick field id (0 for an id that reads nothing).
int TickFieldSize(int id);

// The sliding window shared with the alert query: with held records before
// the reply and count whole records of unitSize bytes waiting in body,
// places them in records[0..cap) as described above and returns the new
// held count. decodeOne(record) reads one record; skipped records are
// stepped over by unitSize. held and count must be within 0..room, cap
// within 0..room.
template <typename Record, typename DecodeOne>
int SlideRecordWindow(Record* records, int held, int count, int cap, int unitSize, ReplyReader* body,
                      DecodeOne decodeOne) {
  int first = held;
  if (held + count > cap) {
    if (count >= cap) {
      body->Skip((count - cap) * unitSize);
      count = cap;
      first = 0;
    } else {
      const int keep = cap - count;
      for (int i = 0; i < keep; ++i) records[i] = records[held - keep + i];
      first = keep;
    }
  }
  int decoded = 0;
  while (decoded < count && decodeOne(&records[first + decoded])) ++decoded;
  return first + decoded;
}
