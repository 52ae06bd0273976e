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

#include "marketdata/code_dictionary.h"
#include "marketdata/day_bar.h"
#include "marketdata/ex_rights.h"
#include "marketdata/f10_alert_decoders.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/quote_areas.h"  // QuoteRecord and the quote-list areas
#include "marketdata/tick_decoders.h"

// MinuteArea (types 48, 50, 37, 93): marketdata/minute_decoders.h.
// KLineArea (types 49, 68, 91, 92): marketdata/day_bar.h.
// ExRightsArea (type 55): marketdata/ex_rights.h.
// TickArea (types 38, 80, 81, 83, 84), FuturesTickArea (type 67) and
// PriceStatArea (type 60): marketdata/tick_decoders.h.
// F10CatalogArea (type 70), F10ItemArea (type 71), AlertRecordArea (type 62)
// and AlertQueryArea (type 61): marketdata/f10_alert_decoders.h.
// DictionaryReply (type 1): marketdata/code_dictionary.h.

// The K-line indicator workspace kept beside each chart slot; created by the
// indicator calculators when they are linked in (null until then).
struct IndicatorWorkspace;
