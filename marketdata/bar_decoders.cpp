#include "marketdata/bar_decoders.h"

#include <cstring>
#include <vector>

#include "foundation/debug_trace.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"
#include "marketdata/quote_values.h"

namespace {

// The reply's bar-field list: the ids as stored, and how many of them read
// at least one byte per bar (the smallest size of a bar on the wire).
struct FieldList {
  int count = 0;
  uint8_t ids[kBarFieldRoom] = {};
  int bytesPerBar = 0;
};

// Reads k (a signed byte; negative counts as 0) and the k ids; ids beyond
// the room are read and dropped. Returns false when the body ended.
bool ReadFieldList(ReplyReader* body, FieldList* list) {
  int8_t k = 0;
  if (!body->ReadS8(&k)) return false;
  const int count = k > 0 ? k : 0;
  for (int i = 0; i < count; ++i) {
    uint8_t id = 0;
    if (!body->ReadU8(&id)) return false;
    if (list->count >= kBarFieldRoom) continue;
    list->ids[list->count++] = id;
    if (id >= 1 && id <= 11 && id != 9 && id != 10) ++list->bytesPerBar;
  }
  return true;
}

void StoreFieldList(KLineArea* area, const FieldList& list) {
  area->fieldCount = static_cast<int8_t>(list.count);
  std::memcpy(area->fieldIds, list.ids, sizeof area->fieldIds);
}

// Decodes one bar: one value per listed id, in list order. Returns false
// when the body ended inside the bar.
bool DecodeOneBar(ReplyReader* body, const FieldList& list, int decimals, BarReference* reference, DayBar* bar) {
  for (int i = 0; i < list.count; ++i) {
    const int id = list.ids[i];
    if (id < 1 || id > 11) continue;
    if (DecodeBarField(id - 1, decimals, body, reference, bar) == kBarFieldShort) return false;
  }
  return true;
}

// Decodes up to n bars (n already clamped) into out; the first relative to
// a cleared reference. Returns the bars decoded whole.
int DecodeBarRun(ReplyReader* body, const FieldList& list, int decimals, int n, DayBar* out) {
  BarReference reference{};
  DayBar bar{};
  for (int i = 0; i < n; ++i) {
    if (!DecodeOneBar(body, list, decimals, &reference, &bar)) return i;
    out[i] = bar;
  }
  return n;
}

int ClampBars(const ReplyReader* body, int n, int room, const FieldList& list) {
  return body->ClampCount(n, room, list.bytesPerBar);
}

// Update of either type: period, k, ids, n, mode, n bars.
void DecodeBarUpdate(ReplyReader* body, KLineArea* area, int capacity) {
  uint8_t period = 0;
  if (!body->ReadU8(&period)) return;
  area->period = period;
  FieldList list;
  if (!ReadFieldList(body, &list)) return;
  StoreFieldList(area, list);
  uint16_t n = 0;
  uint8_t mode = 0;
  if (!body->ReadU16(&n) || !body->ReadU8(&mode)) return;
  // Bars beyond the room could only push each other out: decode them all
  // (the differences chain) but keep at most the room's worth.
  const int wanted = ClampBars(body, n, 65535, list);
  area->replyBarCount = 0;
  if (wanted == 0) return;
  std::vector<DayBar> scratch(static_cast<size_t>(wanted));
  const int decoded = DecodeBarRun(body, list, area->key.decimals, wanted, scratch.data());
  area->replyBarCount = decoded;
  area->barCount = SlideWindow(area->bars, kKLineBarRoom, area->first, area->barCount, capacity, scratch.data(),
                               decoded, mode == 1);
  area->end = area->first + area->barCount;
}

// Decodes the n bars of a complete reply into bars first onward; sets the
// counts to the bars decoded whole.
void DecodeCompleteBars(ReplyReader* body, KLineArea* area, const FieldList& list, int n) {
  const int room = kKLineBarRoom - area->first;
  const int count = ClampBars(body, n, room, list);
  if (count < n) DebugPrintf("\nDecodeBars: %d bars announced, room for %d", n, count);
  const int decoded = DecodeBarRun(body, list, area->key.decimals, count, area->bars + area->first);
  area->barCount = decoded;
  area->replyBarCount = decoded;
  area->end = area->first + decoded;
}

// The end of a complete reply's head and its bars: the field list (kept in
// the area), the bar count and the bars. False when the body ends before the
// bars.
bool DecodeFieldListAndBars(ReplyReader* body, KLineArea* area) {
  FieldList list;
  if (!ReadFieldList(body, &list)) return false;
  StoreFieldList(area, list);
  uint16_t n = 0;
  if (!body->ReadU16(&n)) return false;
  DecodeCompleteBars(body, area, list, n);
  return true;
}

}  // namespace

double PriceScale(int decimals) {
  static constexpr double kPowersOfTen[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
  if (decimals < 0) return kPowersOfTen[0];
  if (decimals > 10) return kPowersOfTen[10];
  return kPowersOfTen[decimals];
}

float BarUnitsToPrice(int64_t units, int decimals) {
  return static_cast<float>(static_cast<double>(units) / PriceScale(decimals));
}

int DecodeBarField(int field, int decimals, ReplyReader* body, BarReference* reference, DayBar* bar) {
  switch (field) {
    case 0: {
      int32_t v = 0;
      if (!body->ReadVarInt32(&v)) return kBarFieldShort;
      reference->time += static_cast<uint32_t>(v);
      bar->time = reference->time;
      return kBarFieldDecoded;
    }
    case 1:
    case 2:
    case 3:
    case 4:
    case 7: {
      int32_t v = 0;
      if (!body->ReadVarInt32(&v)) return kBarFieldShort;
      const int slot = field == 7 ? 4 : field - 1;
      int64_t& units = reference->prices[slot];
      units += v;
      const float price = BarUnitsToPrice(units, decimals);
      if (field == 1) bar->open = price;
      if (field == 2) bar->high = price;
      if (field == 3) bar->low = price;
      if (field == 4) bar->close = price;
      if (field == 7) bar->field8 = price;
      return kBarFieldDecoded;
    }
    case 5:
    case 6:
    case 10: {
      int64_t v = 0;
      if (!body->ReadVarInt64(&v)) return kBarFieldShort;
      int64_t& running = field == 5 ? reference->amount : field == 6 ? reference->volume : reference->field11;
      running = static_cast<int64_t>(static_cast<uint64_t>(running) + static_cast<uint64_t>(v));
      if (field == 5) bar->amount = running;
      if (field == 6) bar->volume = running;
      if (field == 10) bar->field11 = running;
      return kBarFieldDecoded;
    }
    default:
      return kBarFieldNone;
  }
}

void DecodeRangeBars(ReplyReader* body, KLineArea* area, int replyFlag, int capacity) {
  if (!body || !area) return;
  if (replyFlag != 1) {
    DecodeBarUpdate(body, area, capacity);
    return;
  }
  std::memset(static_cast<void*>(area), 0, sizeof *area);
  if (!ReadStockKey(body, &area->key)) return;
  uint8_t period = 0, rangeFlag = 0;
  if (!body->ReadU8(&period) || !body->ReadU8(&rangeFlag)) return;
  area->period = period;
  area->rangeFlag = rangeFlag;
  if (!DecodeFieldListAndBars(body, area)) return;
}

void DecodeLatestBars(ReplyReader* body, KLineArea* area, int replyFlag, int capacity, int reservedLookBack) {
  if (!body || !area) return;
  if (replyFlag != 1) {
    DecodeBarUpdate(body, area, capacity);
    return;
  }
  std::memset(static_cast<void*>(area), 0, sizeof *area);
  int reserved = reservedLookBack < 0 ? 0 : reservedLookBack;
  if (reserved > kKLineBarRoom) reserved = kKLineBarRoom;
  area->first = reserved;
  area->end = reserved;
  if (!ReadStockKey(body, &area->key)) return;
  uint8_t period = 0;
  if (!body->ReadU8(&period)) return;
  area->period = period;
  if (!DecodeFieldListAndBars(body, area)) return;

  // Look-back groups: c values of one field into the c bars before first;
  // the first value is absolute, each later one relative to the first.
  int maxCount = 0;
  uint8_t m = 0;
  if (!body->Short() && body->ReadU8(&m)) {
    const int decimals = area->key.decimals;
    for (int g = 0; g < m; ++g) {
      uint8_t field = 0;
      int8_t c = 0;
      if (!body->ReadU8(&field) || !body->ReadS8(&c)) break;
      if (area->groupCount < kLookBackGroupRoom) area->groups[area->groupCount++] = LookBackGroup{field, c};
      if (c <= 0) continue;
      const bool known = field >= 1 && field <= 11;
      const bool fits = c <= area->first;
      if (!fits) DebugPrintf("\nDecodeLatestBars: look-back group of %d values, room for %d", c, area->first);
      BarReference groupFirst{};
      DayBar discard{};
      bool whole = true;
      for (int j = 0; j < c && known; ++j) {
        DayBar* bar = fits ? &area->bars[area->first - c + j] : &discard;
        BarReference reference = groupFirst;
        if (DecodeBarField(field - 1, decimals, body, &reference, bar) == kBarFieldShort) {
          whole = false;
          break;
        }
        if (j == 0) groupFirst = reference;
      }
      if (!whole) break;
      if (fits && c > maxCount) maxCount = c;
    }
  }

  area->lookBackCount = maxCount;
  area->end = maxCount + area->barCount;
  if (area->first == maxCount) return;
  // The bars move down behind the longest look-back; shorter groups' values
  // stay where they were decoded (the moved bars may cover them).
  std::memmove(area->bars + maxCount, area->bars + area->first, sizeof(DayBar) * area->barCount);
  area->first = maxCount;
}

// The dispatcher picks the decoder by the reply's type; the area belongs to
// the request. A reply whose type differs from its request's (a confused or
// hostile server) would make the decoder write a KLineArea over another
// area, so it is not decoded.
void DecodeLatestBarsReply(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body, int mode, int) {
  if (!engine || !entry || !entry->area || !entry->params || entry->type != 49) return;
  const LatestBarsParams* params = static_cast<const LatestBarsParams*>(entry->params);
  DecodeLatestBars(body, static_cast<KLineArea*>(entry->area), mode, params->barCount, engine->reservedLookBack);
}

void DecodeRangeBarsReply(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  if (!entry || !entry->area || entry->type != 68) return;
  DecodeRangeBars(body, static_cast<KLineArea*>(entry->area), mode, kKLineWindow);
}
