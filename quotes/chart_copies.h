// Copies of the engine's minute-data and K-line areas for windows that draw
// charts of their own.
//
// Several windows share an engine slot (the pop-up quote, the multi-stock
// view's ninth cell and the cycle view's month bars all use slot 8), so a
// window copies its slot's area in the reply callback, before the
// connection thread decodes another reply, and binds its charts to the copy.
// Only the used part is copied: the header fields, the points or bars in use
// (counts clamped to the area's room) and, for bars, the supplements in use.
#pragma once

#include "marketdata/day_bar.h"
#include "marketdata/minute_decoders.h"

void CopyMinuteAreaUsed(MinuteArea* to, const MinuteArea* from);
void CopyKLineAreaUsed(KLineArea* to, const KLineArea* from);
