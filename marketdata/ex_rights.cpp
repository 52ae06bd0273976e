#include "marketdata/ex_rights.h"

#include <cmath>
#include <cstring>
#include <new>

#include "foundation/debug_trace.h"
#include "foundation/number_codecs.h"
#include "marketdata/bar_decoders.h"
#include "marketdata/quote_requests.h"

namespace {


double Divisor(const ExRightsRecord& r) {
  return 1.0 + static_cast<double>(r.rightsShares) + static_cast<double>(r.bonusShares) +
         static_cast<double>(r.transferredShares);
}

bool Usable(double divisor) { return std::isfinite(divisor) && divisor > 0.0; }

// Rights cost minus cash dividend of one event, per share.
double NetAdd(const ExRightsRecord& r) {
  return static_cast<double>(r.rightsPrice) * static_cast<double>(r.rightsShares) -
         static_cast<double>(r.cashDividend);
}

void ComputePairs(ExRightsRecord* records, int count) {
  double g = 1.0, s = 0.0;
  for (int i = 0; i < count; ++i) {
    const double o = Divisor(records[i]);
    if (Usable(o)) {
      s += g * NetAdd(records[i]) / o;
      g /= o;
    } else {
      DebugPrintf("\nDecodeExRights: event %d skipped (divisor %g)", records[i].date, o);
    }
    records[i].forwardAdd = s;
    records[i].forwardFactor = g;
  }
  double l = 1.0;
  s = 0.0;
  for (int i = count - 1; i >= 0; --i) {
    const double o = Divisor(records[i]);
    if (Usable(o)) {
      s += l * -NetAdd(records[i]);
      l *= o;
    }
    records[i].backwardAdd = s;
    records[i].backwardFactor = l;
  }
}

int BarDate(const DayBar& bar) { return static_cast<int>(DecodePackedDateTime(bar.time) / 1000000); }

bool HasRecords(const KLineArea* area, const ExRightsArea* exRights) {
  return area && exRights && exRights->records && exRights->count > 0;
}

int End(const KLineArea* area) {
  if (area->end < 0) return 0;
  return area->end > kKLineBarRoom ? kKLineBarRoom : area->end;
}

// Forward: the largest record index whose date is after date, or -1.
int ForwardRecord(const ExRightsArea* x, int date) {
  for (int i = x->count - 1; i >= 0; --i) {
    if (x->records[i].date > date) return i;
  }
  return -1;
}

// Backward: the smallest record index whose date is on or before date, or -1.
int BackwardRecord(const ExRightsArea* x, int date) {
  for (int i = 0; i < x->count; ++i) {
    if (x->records[i].date <= date) return i;
  }
  return -1;
}

float Map(float price, double add, double factor, bool undo) {
  const double p = price;
  if (!undo) return static_cast<float>(add + factor * p);
  if (factor == 0.0 || !std::isfinite(factor)) return price;
  return static_cast<float>((p - add) / factor);
}

void MapBar(DayBar* bar, double add, double factor, bool undo) {
  bar->open = Map(bar->open, add, factor, undo);
  bar->high = Map(bar->high, add, factor, undo);
  bar->low = Map(bar->low, add, factor, undo);
  bar->close = Map(bar->close, add, factor, undo);
}

void WalkForward(KLineArea* area, const ExRightsArea* x, bool undo) {
  for (int b = End(area) - 1; b >= 0; --b) {
    const int r = ForwardRecord(x, BarDate(area->bars[b]));
    if (r < 0) continue;
    MapBar(&area->bars[b], x->records[r].forwardAdd, x->records[r].forwardFactor, undo);
  }
}

void WalkBackward(KLineArea* area, const ExRightsArea* x, int start, bool undo) {
  for (int b = start; b < End(area); ++b) {
    const int r = BackwardRecord(x, BarDate(area->bars[b]));
    if (r < 0) continue;
    MapBar(&area->bars[b], x->records[r].backwardAdd, x->records[r].backwardFactor, undo);
  }
}

}  // namespace

void DecodeExRights(ReplyReader* body, ExRightsArea* area) {
  if (!body || !area) return;
  delete[] area->records;
  area->records = nullptr;
  area->count = 0;
  std::memset(&area->key, 0, sizeof area->key);
  unsigned char wire[kStockKeyWireSize];
  if (!body->ReadBytes(wire, kStockKeyWireSize)) return;
  DecodeStockKey(&area->key, wire);
  int16_t announced = 0;
  if (!body->ReadS16(&announced)) return;
  const int count = body->ClampCount(announced, 32767, kExRightsWireSize);
  if (count < announced) DebugPrintf("\nDecodeExRights: %d records announced, %d in the body", announced, count);
  if (count <= 0) return;
  ExRightsRecord* records = new (std::nothrow) ExRightsRecord[count]();
  if (!records) return;
  const double scale = PriceScale(area->key.decimals);
  for (int i = 0; i < count; ++i) {
    int32_t v[6] = {};
    for (int32_t& value : v) body->ReadS32(&value);
    ExRightsRecord& r = records[i];
    r.date = v[0];
    r.cashDividend = static_cast<float>(v[1] / 100.0);
    r.rightsPrice = static_cast<float>(static_cast<float>(v[2]) / scale);
    r.rightsShares = static_cast<float>(v[3] / 100.0);
    r.bonusShares = static_cast<float>(v[4] / 100.0);
    r.transferredShares = static_cast<float>(v[5] / 100.0);
  }
  ComputePairs(records, count);
  area->records = records;
  area->count = static_cast<int16_t>(count);
}

void ApplyForwardExRights(KLineArea* area, const ExRightsArea* exRights) {
  if (!HasRecords(area, exRights)) return;
  WalkForward(area, exRights, false);
}

void ApplyBackwardExRights(KLineArea* area, const ExRightsArea* exRights, int start) {
  if (!HasRecords(area, exRights)) return;
  if (start == -1) start = kReservedLookBack - area->first;
  if (start < 0) start = 0;
  if (start > End(area)) start = End(area);
  area->backwardStart = start;
  WalkBackward(area, exRights, start, false);
}

void UndoExRightsAdjustment(int mode, KLineArea* area, const ExRightsArea* exRights) {
  if (!HasRecords(area, exRights)) return;
  if (mode == kExRightsForward) WalkForward(area, exRights, true);
  if (mode == kExRightsBackward) {
    int start = area->backwardStart;
    if (start < 0) start = 0;
    WalkBackward(area, exRights, start, true);
  }
}

void DecodeExRightsReply(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  if (!entry || !entry->area || entry->type != 55) return;   // the area belongs to a type-55 request
  DecodeExRights(body, static_cast<ExRightsArea*>(entry->area));
}
