// Bar decoders: the latest-bars reply (type 49) and the K-line reply
// (type 68) into a KLineArea, and the bar-field decoder that the history
// client shares.
//
// Bars travel as one value per listed bar field (wire id = field number + 1):
//   1 time          var-int32 added to the reference time
//   2..5 o/h/l/c    var-int32 in 10^-d units (d = the stock's price decimals)
//   6 amount        var-int64 added to the reference amount
//   7 volume        var-int64 added to the reference volume
//   8 field 8       as the prices
//   9, 10           nothing is read
//   11 field 11     var-int64 added to the reference value
// Any other id reads nothing. The first bar of a reply is absolute; each
// later bar is relative to the bar decoded just before it.
//
// Prices: the running values are kept as integers in 10^-d units and each
// bar's price is converted once (units / 10^d in double precision, stored as
// the nearest float), so no rounding error accumulates along a long series.
//
// Every read is bounded by the reply body (ReplyReader). A reply that ends
// early keeps the bars decoded whole before the end, with consistent counts;
// counts from the wire are clamped to the area (8,000 bars, 128 field ids,
// 129 look-back groups) and a look-back group longer than the reserved
// look-back is read but not stored (it would start before bar 0). An update
// on an area that holds no bar treats every bar as new.
#pragma once

#include <cstdint>

#include "marketdata/day_bar.h"
#include "marketdata/reply_reader.h"

struct QuoteEngine;
struct PendingRequest;

// Running values of a delta-coded bar sequence: the reference bar's fields,
// prices (open, high, low, close, field 8) as integers in 10^-d units.
struct BarReference {
  uint32_t time;
  int64_t prices[5];     // open, high, low, close, field 8
  int64_t amount;
  int64_t volume;
  int64_t field11;
};

// Results of DecodeBarField.
enum BarFieldResult : int {
  kBarFieldShort = -1,     // the value runs past the body: nothing stored
  kBarFieldNone = 0,       // a field that carries nothing (numbers 8, 9, or outside 0..10)
  kBarFieldDecoded = 1,    // value added to *reference and stored in *bar
};

// Decodes bar field number field (0 to 10; wire id - 1) at the body's
// position: adds the value to *reference and stores the new running value in
// *bar (prices converted with decimals, clamped to 0..10). Callers that need
// a fixed reference pass a copy. Neither pointer may be null.
int DecodeBarField(int field, int decimals, ReplyReader* body, BarReference* reference, DayBar* bar);

// The price of units in 10^-decimals as a float (decimals clamped to 0..10).
float BarUnitsToPrice(int64_t units, int decimals);
// 10 to the power of decimals, the decimals clamped to 0 .. 10 (exact).
double PriceScale(int decimals);

// Type 49 into area. replyFlag 1: complete (the area is cleared and filled,
// the bars placed after the look-back); 2: update into the sliding window of
// capacity bars. reservedLookBack is the engine's 60 (clamped to the room).
// A null body or area does nothing.
void DecodeLatestBars(ReplyReader* body, KLineArea* area, int replyFlag, int capacity, int reservedLookBack);

// Type 68 into area (first stays 0); capacity is 512 from the dispatcher.
void DecodeRangeBars(ReplyReader* body, KLineArea* area, int replyFlag, int capacity);

// The window step shared by the bars and the supplements. items holds the
// held entries 0 to first + held - 1; incoming are the n decoded entries.
// When replaceOpen is set and held > 0, incoming[0] replaces entry
// first + held - 1. The new ones are appended while held stays within cap,
// else the sequence is cut to its last first + cap entries. room is the
// array's size. Returns the new held count.
template <typename T>
int SlideWindow(T* items, int room, int first, int held, int cap, const T* incoming, int n, bool replaceOpen);

// Reply decoders of the dispatcher's table (types 49 and 68): the entry's
// area is a KLineArea; type 49 takes its capacity from the entry's
// LatestBarsParams and the engine's reserved look-back.
void DecodeLatestBarsReply(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body, int mode, int replyType);
void DecodeRangeBarsReply(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body, int mode, int replyType);

// --- template definition ---

#include <cstring>

template <typename T>
int SlideWindow(T* items, int room, int first, int held, int cap, const T* incoming, int n, bool replaceOpen) {
  if (first < 0) first = 0;
  if (first > room) first = room;
  if (held < 0) held = 0;
  if (held > room - first) held = room - first;
  if (cap > room - first) cap = room - first;
  if (cap < 0) cap = 0;
  if (n <= 0) return held;
  if (replaceOpen && held > 0) {
    items[first + held - 1] = incoming[0];
    ++incoming;
    --n;
  }
  if (n == 0) return held;
  if (held + n <= cap) {
    std::memcpy(items + first + held, incoming, sizeof(T) * n);
    return held + n;
  }
  // Keep the last first + cap entries of (held entries, new entries).
  const int keep = first + cap;
  const int total = first + held + n;
  const int drop = total - keep;
  if (n >= keep) {
    std::memcpy(items, incoming + (n - keep), sizeof(T) * keep);
    return cap;
  }
  const int keepOld = keep - n;
  std::memmove(items, items + drop, sizeof(T) * keepOld);
  std::memcpy(items + keepOld, incoming, sizeof(T) * n);
  return cap;
}
