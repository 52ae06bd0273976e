// Level-2 bar supplements: reply types 91 (supplement A) and 92
// (supplement B) into the K-line view's KLineArea, one record per bar,
// aligned with the tail of the 512-bar window.
//
// Codes (one value per listed code, in list order):
//   A: 'd' 'f' 'g' 'h' 'i' 'j' 'l' 'm' 'n' 'o' -> values 0..9;
//      50 + 4i -> 10 + i; 52 + 4i -> 18 + i; 51 + 4i -> 26 + i (i = 0..7);
//      every value 3 bytes (scaled int24), stored unchanged.
//   B: 'g' -> 0, 'm' -> 1 (3 bytes each); 127 -> 2, the trade count, a
//      var-int64 added to the reference record's; 50 + 4i -> 3 + i (3 bytes).
// Any other code reads nothing.
//
// Bounds: every read is bounded by the body. A complete reply with more
// records than the window (they would start before record 0) or a window
// that does not fit the 1,024 records is refused (count 0); a look-back group
// that would reach before record 0 is read but not stored; at most 256
// value-list entries are kept. An update on an area with no records treats
// every record as new.
#pragma once

#include <cstdint>

#include "marketdata/day_bar.h"
#include "marketdata/reply_reader.h"

struct QuoteEngine;
struct PendingRequest;

// Results of the field decoders: -1 short body (nothing stored), 0 a code
// that reads nothing, 1 stored.
int DecodeLevel2BarField(ReplyReader* body, int code, Level2BarRecord* record);
int DecodeBarSupplementField(ReplyReader* body, int code, BarSupplementRecord* record,
                             const BarSupplementRecord* reference);

// Type 91 / 92 into area. replyFlag 1 complete, 2 update; capacity is the
// request's record count (the update window), window the K-line window
// (512). A null body or area does nothing.
void DecodeKLineSupplementA(KLineArea* area, ReplyReader* body, int replyFlag, int capacity, int window);
void DecodeKLineSupplementB(KLineArea* area, ReplyReader* body, int replyFlag, int capacity, int window);

// Reply decoders of the dispatcher's table (types 91 and 92): capacity from
// the entry's LatestBarsParams, window 512.
void DecodeKLineSupplementAReply(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body, int mode,
                                 int replyType);
void DecodeKLineSupplementBReply(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body, int mode,
                                 int replyType);
