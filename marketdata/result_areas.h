// Result areas of the QuoteEngine: one record per slot, filled by the reply
// decoder of the slot's request type on the connection's thread and read by
// the request's callback right after it.
//
// Each area is owned by the engine, allocated zero-filled once when the
// engine is created and freed with it. The decoder that fills an area owns
// the rest of its layout: fields appear here as their decoders are written.
// The fields present now are the ones the engine itself touches (the request
// builders reset a tick area's reply position and a price-statistics area's
// level count; the list areas carry the record arrays the engine allocates).
#pragma once

#include <cstdint>

#include "marketdata/quote_areas.h"  // QuoteRecord and the quote-list areas

struct MinuteArea { int32_t pointCount; };                // types 48, 50, 37, 93
struct KLineArea { int32_t barCount; };                   // types 49, 68, 91, 92
struct ExRightsArea { int32_t recordCount; };             // type 55
struct TickArea {                                         // types 38, 80 (81, 83, 84)
  int32_t replyPosition;  // set to -1 by the builder; every reply overwrites it
};
struct FuturesTickArea {                                  // type 67
  int32_t replyPosition;  // set to -1 by the builder; every reply overwrites it
};
struct PriceStatArea {                                    // type 60
  int32_t levelCount;     // set to -1 by the builder; the reply sets the count
};
struct F10CatalogArea { int32_t itemCount; };             // type 70
struct F10ItemArea { int32_t contentLength; };            // type 71
struct AlertRecordArea { int32_t recordCount; };          // type 62
struct AlertQueryArea { int32_t recordCount; };           // type 61
struct DictionaryReply { int32_t recordCount; };          // type 1

// The K-line indicator workspace kept beside each chart slot; created by the
// indicator calculators when they are linked in (null until then).
struct IndicatorWorkspace;
