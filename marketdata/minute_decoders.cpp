#include "marketdata/minute_decoders.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "marketdata/quote_values.h"

namespace {

// Wrapping addition: the server's running values may be anything.
int64_t Add64(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

// value rounded to places decimals, half away from zero, in double
// precision, stored as a float. Positive values round as trunc(x + 0.5);
// negative ones (spreads, changes) mirror it, so -1.23 stays -1.23 instead
// of moving one unit towards zero.
float RoundTo(float value, int places) {
  const double scale = std::pow(10.0, places);
  const double x = static_cast<double>(value) * scale;
  const double rounded = x < 0.0 ? -std::trunc(-x + 0.5) : std::trunc(x + 0.5);
  return static_cast<float>(rounded / scale);
}

// Reads an i8 count and that many id bytes into ids (room >= 127). Returns
// the ids read; a negative count reads none.
int ReadByteIds(ReplyReader* body, uint8_t* ids, bool* ok) {
  int8_t count = 0;
  *ok = body->ReadS8(&count);
  if (!*ok || count <= 0) return 0;
  *ok = body->ReadBytes(ids, count);
  return *ok ? count : 0;
}

bool KnownMinuteField(int id) { return id >= 1 && id <= 8; }
bool KnownFlowField(int id) { return (id >= 112 && id <= 115) || id == 117; }

// Fills minutes from..to-1 of a gap with the last held point carried
// forward: price, average and order totals kept, no volume or amount.
void FillMinuteGap(MinuteArea* area, int from, int to) {
  MinutePoint carried{};
  if (from > 0) {
    carried = area->points[from - 1];
    carried.volume = 0;
    carried.amount = 0;
  } else {
    carried.price = area->previousClose;
    carried.average = area->previousClose;
  }
  for (int i = from; i < to; ++i) area->points[i] = carried;
}

}  // namespace

bool DecodeMinuteField(int id, int decimals, ReplyReader* body, MinutePoint* point,
                       const MinutePoint& reference) {
  int32_t small = 0;
  int64_t large = 0;
  switch (id) {
    case 1: {
      if (!body->ReadVarInt32(&small)) return false;
      const float f = static_cast<float>(reference.price + small / std::pow(10.0, decimals));
      point->price = RoundTo(f, decimals);
      return true;
    }
    case 2:
      if (!body->ReadVarInt64(&large)) return false;
      point->amount = Add64(reference.amount, large);
      return true;
    case 3:
      if (!body->ReadVarInt64(&large)) return false;
      point->volume = Add64(reference.volume, large);
      return true;
    case 4: {
      if (!body->ReadVarInt32(&small)) return false;
      const float f = static_cast<float>(reference.average + small / 10000.0);
      point->average = RoundTo(f, decimals + 2);
      return true;
    }
    case 5:
      if (!body->ReadVarInt64(&large)) return false;
      point->bidVolume = Add64(reference.bidVolume, large);
      return true;
    case 6:
      if (!body->ReadVarInt64(&large)) return false;
      point->askVolume = Add64(reference.askVolume, large);
      return true;
    case 7:
      if (!body->ReadVarInt32(&small)) return false;
      point->field7 = static_cast<int16_t>(static_cast<uint32_t>(reference.field7) + static_cast<uint32_t>(small));
      return true;
    case 8:
      if (!body->ReadVarInt64(&large)) return false;
      point->field8 = Add64(reference.field8, large);
      return true;
    default:
      return true;
  }
}

bool DecodeMinuteFlowField(int id, ReplyReader* body, MinuteFlowRecord* record,
                           const MinuteFlowRecord& reference) {
  if (!KnownFlowField(id)) return true;
  int64_t value = 0;
  if (!body->ReadScaledInt24(&value)) return false;
  if (id == 117) {
    record->field117 = value;
  } else {
    record->running[id - 112] = Add64(reference.running[id - 112], value);
  }
  return true;
}

void DecodeMinuteData(MinuteArea* area, ReplyReader* body, int replyType, int mode) {
  if (!area || !body || body->Length() == 0) return;
  const bool complete = mode == 1;
  if (complete) {
    std::memset(area, 0, sizeof *area);
    int32_t close = 0;
    if (!ReadStockKey(body, &area->key) || !body->ReadS32(&close)) return;
    area->previousClose = static_cast<float>(close / std::pow(10.0, area->key.decimals));
  }
  int64_t headA = 0, headB = 0;
  if (!body->ReadS64(&headA) || !body->ReadS64(&headB)) return;
  area->headA = headA;
  area->headB = headB;
  int start = area->startIndex;
  if (replyType == 48) {
    int16_t wireStart = 0;
    if (!body->ReadS16(&wireStart)) return;
    start = wireStart;
  }
  start = std::clamp(start, 0, kMinutePoints);
  area->startIndex = static_cast<int16_t>(start);
  int16_t wireCount = 0;
  if (!body->ReadS16(&wireCount)) return;
  bool ok = true;
  const int fieldCount = ReadByteIds(body, area->fieldIds, &ok);
  area->fieldCount = static_cast<int8_t>(fieldCount);
  area->pointCount = 0;
  if (!ok) return;

  int known = 0;
  for (int i = 0; i < fieldCount; ++i) known += KnownMinuteField(area->fieldIds[i]) ? 1 : 0;
  int count = std::clamp<int>(wireCount, 0, kMinutePoints - start);
  if (known > 0) count = std::min(count, body->Remaining() / known);

  if (!complete && area->pointsHeld < start) FillMinuteGap(area, area->pointsHeld, start);
  const int decimals = area->key.decimals;
  int decoded = 0;
  for (; decoded < count; ++decoded) {
    const int index = start + decoded;
    MinutePoint point = complete && decoded == 0 ? MinutePoint{} : area->points[index];
    const MinutePoint reference = decoded == 0 ? MinutePoint{} : area->points[index - 1];
    bool whole = true;
    for (int i = 0; i < fieldCount && whole; ++i) {
      whole = DecodeMinuteField(area->fieldIds[i], decimals, body, &point, reference);
    }
    if (!whole) break;
    if (point.price == 0.0f) {
      if (index == start && (complete || start == 0)) {
        point.price = area->previousClose;
      } else if (index > 0) {
        point.price = area->points[index - 1].price;
        point.average = area->points[index - 1].average;
      }
    }
    area->points[index] = point;
  }
  area->pointCount = static_cast<int16_t>(decoded);
  area->pointsHeld = complete ? decoded : start + decoded;
}

void DecodeFixedMinutePoints(MinuteArea* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  int first = 0;
  if (mode == 1) {
    std::memset(area, 0, sizeof *area);
    int32_t close = 0;
    if (!ReadStockKey(body, &area->key) || !body->ReadS32(&close)) return;
    area->previousClose = static_cast<float>(close / 10000.0);
  } else {
    first = std::max<int>(area->startIndex, 0);
  }
  int64_t headA = 0, headB = 0;
  int16_t start = 0, end = 0;
  if (!body->ReadS64(&headA) || !body->ReadS64(&headB)) return;
  area->headA = headA;
  area->headB = headB;
  if (!body->ReadS16(&start) || !body->ReadS16(&end)) return;
  const int last = std::clamp<int>(end, 0, kMinutePoints);
  area->startIndex = static_cast<int16_t>(std::clamp<int>(start, 0, kMinutePoints));
  area->pointCount = static_cast<int16_t>(last);
  for (int index = first; index < last; ++index) {
    int32_t price = 0, average = 0;
    int64_t volume = 0, bid = 0, ask = 0;
    if (body->Remaining() < kMinuteFixedPointSize) break;
    body->ReadS32(&price);
    body->ReadS64(&volume);
    body->ReadS32(&average);
    body->ReadS64(&bid);
    body->ReadS64(&ask);
    MinutePoint& point = area->points[index];
    point.price = static_cast<float>(price / 10000.0);
    point.volume = volume;
    point.average = static_cast<float>(average / 10000.0);
    point.bidVolume = bid;
    point.askVolume = ask;
  }
}

void DecodeMinuteFlow(MinuteArea* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  const bool complete = mode == 1;
  if (complete) {
    int64_t head = 0;
    if (!body->Skip(kStockKeyWireSize) || !body->ReadS64(&head)) return;
    area->flowHead = head;
    area->flowsHeld = 0;
  }
  uint8_t ids[128] = {};
  bool ok = true;
  const int fieldCount = ReadByteIds(body, ids, &ok);
  uint16_t wireStart = 0, wireCount = 0;
  if (!ok || !body->ReadU16(&wireStart) || !body->ReadU16(&wireCount)) return;
  const int start = std::min<int>(wireStart, kMinutePoints);
  int known = 0;
  for (int i = 0; i < fieldCount; ++i) known += KnownFlowField(ids[i]) ? 1 : 0;
  int count = std::min<int>(wireCount, kMinutePoints - start);
  if (known > 0) count = std::min(count, body->Remaining() / (3 * known));

  if (!complete && area->flowsHeld < start) {
    const MinuteFlowRecord carried = area->flowsHeld > 0 ? area->flows[area->flowsHeld - 1] : MinuteFlowRecord{};
    for (int i = area->flowsHeld; i < start; ++i) area->flows[i] = carried;
  }
  int decoded = 0;
  for (; decoded < count; ++decoded) {
    const int index = start + decoded;
    MinuteFlowRecord reference{};
    if (decoded > 0) {
      reference = area->flows[index - 1];
    } else if (!complete && start > 0) {
      reference = area->flows[start - 1];
    }
    MinuteFlowRecord record = decoded == 0 ? MinuteFlowRecord{} : area->flows[index];
    bool whole = true;
    for (int i = 0; i < fieldCount && whole; ++i) whole = DecodeMinuteFlowField(ids[i], body, &record, reference);
    if (!whole) break;
    area->flows[index] = record;
  }
  area->flowsHeld = complete ? decoded : start + decoded;
}
