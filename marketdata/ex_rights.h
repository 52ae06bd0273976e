// Ex-rights records (reply type 55) and the price adjustment of K-line bars.
//
// The server sends a stock's ex-rights events newest first (descending
// dates); the decoder keeps that order and precomputes per event a forward
// pair (add, factor) that brings a price before the event to today's share
// basis, and a backward pair that brings a price after it to the oldest
// basis: price' = add + factor * price. The three operations change only
// open, high, low and close of the bars, in double precision, stored back as
// floats. The owner of the bars remembers which adjustment is applied and
// undoes it before applying another or storing the bars.
//
// Sound-behaviour choices:
//   - an event whose divisor o = 1 + rights + bonus + transferred shares is
//     not positive (or not finite) is skipped: it adds nothing to the pairs;
//   - the undo of a backward adjustment starts at the bar where that
//     adjustment started (remembered in the area's backwardStart), so bars
//     that were never adjusted are not divided back;
//   - a count from the wire is clamped to the records the body holds and a
//     negative count gives an empty area.
#pragma once

#include <cstdint>

#include "marketdata/day_bar.h"
#include "marketdata/quote_record.h"
#include "marketdata/reply_reader.h"

struct QuoteEngine;
struct PendingRequest;

// One ex-rights event, 56 bytes.
struct ExRightsRecord {
  int32_t date;            // YYYYMMDD
  float cashDividend;      // per share
  float rightsPrice;       // rights issue price
  float rightsShares;      // per share
  float bonusShares;       // per share
  float transferredShares; // per share
  double forwardAdd;
  double forwardFactor;
  double backwardAdd;
  double backwardFactor;
};
static_assert(sizeof(ExRightsRecord) == 56, "ExRightsRecord is 56 bytes");

// Result area of type 55. records is owned by the area: allocated by the
// decoder, freed by the next decode and by the area's destructor.
struct ExRightsArea {
  StockKey key{};
  int16_t count = 0;                  // records held (0 when none)
  ExRightsRecord* records = nullptr;  // count records, newest first, or null

  ExRightsArea() = default;
  ~ExRightsArea() { delete[] records; }
  ExRightsArea(const ExRightsArea&) = delete;
  ExRightsArea& operator=(const ExRightsArea&) = delete;
};

constexpr int kExRightsWireSize = 24;   // bytes of one record on the wire

// Adjustment modes of UndoExRightsAdjustment (the stock page's ex-rights mode).
enum ExRightsMode : int {
  kExRightsForward = 0,
  kExRightsNone = 1,
  kExRightsBackward = 2,
};

// Decodes a type-55 body (stock key, s16 count, count records) into area,
// replacing what it held, and computes the pairs. A null body or area does
// nothing. A body that ends early keeps the records read whole.
void DecodeExRights(ReplyReader* body, ExRightsArea* area);

// Forward adjustment of bars 0 to end - 1: a bar dated before one or more
// events gets the forward pair of the oldest of them.
void ApplyForwardExRights(KLineArea* area, const ExRightsArea* exRights);

// Backward adjustment of bars start to end - 1: a bar dated on or after one
// or more events gets the backward pair of the newest of them. A start of -1
// means 60 minus the area's first (bar 0 for a latest-bars area, bar 60 for a
// K-line area whose first is 0); the start used (clamped to 0..end) is kept
// in area->backwardStart for the undo.
void ApplyBackwardExRights(KLineArea* area, const ExRightsArea* exRights, int start);

// Undoes an adjustment: mode 0 the forward one over all bars, mode 2 the
// backward one from area->backwardStart; any other mode does nothing.
void UndoExRightsAdjustment(int mode, KLineArea* area, const ExRightsArea* exRights);

// Reply decoder of the dispatcher's table (type 55).
void DecodeExRightsReply(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body, int mode, int replyType);
