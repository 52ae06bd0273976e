// DayBar and KLineArea: the bar record of the K-line charts and the day-bar
// store files, and the result area of the latest-bars (49) and K-line (68)
// requests, which also carries the level-2 bar supplements (91, 92).
//
// Layout of a KLineArea window: bars 0 to first - 1 are look-back bars that
// hold only the look-back values a type-49 reply sends for them; the charts
// draw bars first to end - 1, and barCount = end - first. The supplement
// records are indexed like the bars: record first + i belongs to bar
// first + i of a full 512-bar window.
//
// Invariants the decoders keep (the area starts zero-filled):
//   0 <= first, 0 <= barCount, end = first + barCount <= kKLineBarRoom;
//   0 <= level2Count, supplementCount and first + count <= kSupplementRoom.
#pragma once

#include <cstddef>
#include <cstdint>

#include "marketdata/quote_record.h"

// One bar, 72 bytes, little-endian in memory and in the day-bar store.
struct DayBar {
  uint32_t time;         // packed date and time (DecodePackedDateTime)
  float open;
  float high;
  float low;
  float close;
  uint32_t zero20;       // always zero
  int64_t amount;        // turnover in money
  int64_t volume;
  float field8;          // bar field 8, price-scaled
  uint8_t zero44[20];    // always zero
  int64_t field11;       // bar field 11 (open interest for futures)
};
static_assert(sizeof(DayBar) == 72, "DayBar is 72 bytes");
static_assert(offsetof(DayBar, close) == 16 && offsetof(DayBar, amount) == 24 &&
                  offsetof(DayBar, volume) == 32 && offsetof(DayBar, field8) == 40 &&
                  offsetof(DayBar, field11) == 64,
              "DayBar field offsets are fixed by the store files");

// Supplement A (type 91): 35 values per bar, the decoder fills 34.
struct Level2BarRecord {
  int64_t values[35];
};

// Supplement B (type 92): 11 values per bar; value 2 is the trade count.
struct BarSupplementRecord {
  int64_t values[11];
};

constexpr int kKLineBarRoom = 8000;        // bars of a KLineArea
constexpr int kBarFieldRoom = 128;         // bar-field ids of a reply
constexpr int kLookBackGroupRoom = 129;    // look-back groups of a reply
constexpr int kSupplementRoom = 1024;      // records of each supplement
constexpr int kSupplementValueRoom = 256;  // value-list entries of each supplement
constexpr int kKLineWindow = 512;          // the K-line request's bar window
constexpr int kReservedLookBack = 60;      // the engine's reserved look-back

// A look-back group of a type-49 reply, as received.
struct LookBackGroup {
  uint8_t field;         // bar-field wire id (1 to 11)
  int8_t count;          // values sent
};

// Result area of types 49 and 68 (and the supplements 91, 92). Owned by the
// QuoteEngine; written by the decoders on the connection's thread, read by
// the request's callback and the chart views under their own locks.
struct KLineArea {
  StockKey key;                  // of the latest complete reply
  uint8_t period;                // copied from every reply
  int32_t barCount;              // bars from first to end - 1
  int32_t replyBarCount;         // bars the latest reply carried
  DayBar bars[kKLineBarRoom];
  int8_t fieldCount;             // bar-field ids of the latest reply
  uint8_t fieldIds[kBarFieldRoom];
  uint8_t groupCount;            // look-back groups of the latest complete type-49 reply
  LookBackGroup groups[kLookBackGroupRoom];
  int32_t end;                   // index one past the last bar
  int32_t lookBackCount;         // bars before first that carry look-back values
  int32_t first;                 // index of the first drawn bar

  Level2BarRecord level2Records[kSupplementRoom];   // supplement A, by bar index
  int64_t level2Values[kSupplementValueRoom];       // [0] is the share base
  int32_t level2Count;
  BarSupplementRecord supplementRecords[kSupplementRoom];  // supplement B
  int64_t supplementValues[kSupplementValueRoom];
  int32_t supplementCount;

  uint8_t rangeFlag;             // of the latest complete type-68 reply
  int32_t backwardStart;         // first bar of the applied backward ex-rights adjustment
};
