#include "marketdata/tick_decoders.h"

#include <algorithm>
#include <cstring>

#include "marketdata/quote_values.h"

namespace {

float PriceOf(int32_t wire) { return static_cast<float>(wire / 10000.0); }

bool ReadPrice(ReplyReader* body, float* price) {
  int32_t wire = 0;
  if (!body->ReadS32(&wire)) return false;
  *price = PriceOf(wire);
  return true;
}

// Complete replies: clear the area, then the stock key and reference price.
bool ReadTickHead(TickArea* area, ReplyReader* body) {
  std::memset(static_cast<void*>(area), 0, sizeof *area);
  return ReadStockKey(body, &area->key) && ReadPrice(body, &area->referencePrice);
}

// n made safe: negative gives 0, and at most the whole ticks of unitSize
// bytes the body holds.
int ClampTicks(ReplyReader* body, int16_t wire, int unitSize) {
  const int count = std::max<int>(wire, 0);
  return unitSize > 0 ? std::min(count, body->Remaining() / unitSize) : count;
}

// Places count ticks by the window (complete replies: from element 0 within
// room) and stores the counts.
template <typename DecodeOne>
void PlaceTicks(TickArea* area, ReplyReader* body, int mode, int capacity, int room, int count,
                int unitSize, DecodeOne decodeOne) {
  const int cap = mode == 1 ? room : std::clamp(capacity, 0, room);
  const int held = mode == 1 ? 0 : std::clamp(area->ticksHeld, 0, room);
  if (mode == 1) count = std::min(count, room);
  area->ticksHeld = SlideRecordWindow(area->ticks, held, count, cap, unitSize, body, decodeOne);
  area->tickCount = static_cast<int16_t>(count);
}

bool ReadFixedTick(ReplyReader* body, TickRecord* tick, bool level2) {
  int32_t price = 0, time = 0, field4 = 0, trade = 0;
  int64_t volume = 0;
  uint8_t direction = 0;
  if (!body->ReadS32(&price) || !body->ReadS64(&volume) || !body->ReadS32(&time) || !body->ReadS32(&field4) ||
      !body->ReadU8(&direction)) {
    return false;
  }
  if (level2 && !body->ReadS32(&trade)) return false;
  tick->price = PriceOf(price);
  tick->volume = volume;
  tick->time = time;
  tick->field4 = field4;
  tick->direction = direction;
  if (level2) tick->tradeNumber = trade;
  return true;
}

void DecodeFixedTicks(TickArea* area, ReplyReader* body, int mode, int capacity, bool level2) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1 && !ReadTickHead(area, body)) return;
  int32_t position = 0;
  int16_t wire = 0;
  if (!body->ReadS32(&position)) return;
  area->replyPosition = position;
  if (!body->ReadS16(&wire)) return;
  const int unit = level2 ? kLevel2TickSize : kLevel1TickSize;
  const int count = ClampTicks(body, wire, unit);
  PlaceTicks(area, body, mode, capacity, kTickRoom, count, unit,
             [&](TickRecord* tick) { return ReadFixedTick(body, tick, level2); });
}

bool ReadQueue(ReplyReader* body, int room, float* price, int64_t* total, int8_t* kept, int32_t* values) {
  int8_t wire = 0;
  if (!ReadPrice(body, price) || !body->ReadS64(total) || !body->ReadS8(&wire)) return false;
  const int count = std::max<int>(wire, 0);
  int stored = 0;
  for (int i = 0; i < count; ++i) {
    int32_t value = 0;
    if (!body->ReadS32(&value)) break;
    if (stored < room) values[stored++] = value;
  }
  *kept = static_cast<int8_t>(stored);
  return !body->Short();
}

}  // namespace

int TickFieldSize(int id) {
  switch (id) {
    case 1: case 3: case 4: case 6: case 7: return 4;
    case 2: return 8;
    case 5: case 8: return 1;
    default: return 0;
  }
}

bool DecodeTickField(ReplyReader* body, int id, TickRecord* tick) {
  int32_t value = 0;
  int64_t volume = 0;
  uint8_t byte = 0;
  switch (id) {
    case 1:
      if (!body->ReadS32(&value)) return false;
      tick->price = PriceOf(value);
      return true;
    case 2:
      if (!body->ReadS64(&volume)) return false;
      tick->volume = volume;
      return true;
    case 3: case 4: case 6: case 7:
      if (!body->ReadS32(&value)) return false;
      if (id == 3) tick->time = value;
      if (id == 4) tick->field4 = value;
      if (id == 6) tick->field6 = value;
      if (id == 7) tick->field7 = value;
      return true;
    case 5: case 8:
      if (!body->ReadU8(&byte)) return false;
      if (id == 5) tick->direction = byte;
      if (id == 8) tick->openCloseKind = byte;
      return true;
    default:
      return true;
  }
}

void DecodeLevel1Ticks(TickArea* area, ReplyReader* body, int mode, int capacity) {
  DecodeFixedTicks(area, body, mode, capacity, false);
}

void DecodeLevel2Ticks(TickArea* area, ReplyReader* body, int mode, int capacity) {
  DecodeFixedTicks(area, body, mode, capacity, true);
}

void DecodeFuturesTicks(FuturesTickArea* area, ReplyReader* body, int mode, int capacity) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) {
    std::memset(area, 0, sizeof *area);
    if (!ReadStockKey(body, &area->key) || !ReadPrice(body, &area->referencePrice)) return;
  }
  int32_t position = 0;
  int16_t wire = 0;
  int8_t fieldCount = 0;
  if (!body->ReadS32(&position)) return;
  area->replyPosition = position;
  if (!body->ReadS16(&wire) || !body->ReadS8(&fieldCount)) return;
  const int ids = std::max<int>(fieldCount, 0);
  if (!body->ReadBytes(area->fieldIds, ids)) return;
  area->fieldCount = static_cast<int8_t>(ids);
  int unit = 0;
  for (int i = 0; i < ids; ++i) unit += TickFieldSize(area->fieldIds[i]);
  int count = ClampTicks(body, wire, unit);
  const int cap = mode == 1 ? kTickRoom : std::clamp(capacity, 0, kTickRoom);
  const int held = mode == 1 ? 0 : std::clamp(area->ticksHeld, 0, kTickRoom);
  if (mode == 1) count = std::min(count, kTickRoom);
  area->ticksHeld = SlideRecordWindow(area->ticks, held, count, cap, unit, body, [&](TickRecord* tick) {
    bool whole = true;
    for (int i = 0; i < ids && whole; ++i) whole = DecodeTickField(body, area->fieldIds[i], tick);
    return whole;
  });
  area->tickCount = static_cast<int16_t>(count);
}

void DecodePriceStatistics(PriceStatArea* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) {
    std::memset(area, 0, sizeof *area);
    if (!ReadStockKey(body, &area->key) || !ReadPrice(body, &area->referencePrice)) return;
  }
  if (area->key.kind == 1) return;
  int64_t total = 0;
  uint16_t wire = 0;
  if (!body->ReadS64(&total) || !body->ReadU16(&wire)) return;
  area->totalVolume = total;
  area->largestVolume = 0;
  const int count = body->ClampCount(wire, kPriceLevelRoom, 20);
  for (int i = 0; i < count; ++i) {
    int32_t price = 0;
    int64_t volume = 0, part = 0;
    body->ReadS32(&price);
    body->ReadS64(&volume);
    body->ReadS64(&part);
    PriceLevel& level = area->levels[i];
    level.price = PriceOf(price);
    level.volume = volume;
    level.partVolume = part;
    level.share = total == 0 ? 0.0f : static_cast<float>(static_cast<double>(volume) / static_cast<double>(total));
    level.partShare = volume == 0 ? 0.0f : static_cast<float>(static_cast<double>(part) / static_cast<double>(volume));
    area->largestVolume = std::max(area->largestVolume, volume);
  }
  area->levelCount = count;
}

void DecodeType81Ticks(TickArea* area, ReplyReader* body, int mode, int capacity) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1 && !ReadTickHead(area, body)) return;
  int32_t position = 0;
  int16_t wire = 0;
  if (!body->ReadS32(&position)) return;
  area->replyPosition = position;
  if (!body->ReadS16(&wire)) return;
  const int count = ClampTicks(body, wire, kType81TickSize);
  PlaceTicks(area, body, mode, capacity, kSmallTickRoom, count, kType81TickSize, [&](TickRecord* tick) {
    int32_t price = 0, volume = 0, time = 0;
    uint8_t direction = 0;
    if (!body->ReadS32(&price) || !body->ReadS32(&volume) || !body->ReadS32(&time) || !body->ReadU8(&direction)) {
      return false;
    }
    tick->price = PriceOf(price);
    tick->volume = volume;
    tick->time = time;
    tick->direction = direction;
    return true;
  });
}

void DecodeType84Ticks(TickArea* area, ReplyReader* body, int mode, int capacity) {
  if (!area || !body || body->Length() == 0) return;
  uint8_t leading = 0;
  if (mode == 1) std::memset(static_cast<void*>(area), 0, sizeof *area);
  if (!body->ReadU8(&leading)) return;
  area->leadingByte = leading;
  if (mode == 1) {
    int32_t value = 0;
    if (!ReadStockKey(body, &area->key) || !ReadPrice(body, &area->referencePrice) || !body->ReadS32(&value)) return;
    area->completeValue = value;
  }
  int16_t wire = 0;
  if (!body->ReadS16(&wire)) return;
  const int count = ClampTicks(body, wire, kType84TickSize);
  PlaceTicks(area, body, mode, capacity, kSmallTickRoom, count, kType84TickSize, [&](TickRecord* tick) {
    int32_t price = 0, time = 0;
    int64_t volume = 0;
    if (!body->ReadS32(&price) || !body->ReadS64(&volume) || !body->ReadS32(&time)) return false;
    tick->price = PriceOf(price);
    tick->volume = volume;
    tick->time = time;
    return true;
  });
}

void DecodeOrderQueue(OrderQueueArea* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) {
    std::memset(area, 0, sizeof *area);
    if (!ReadStockKey(body, &area->key) || !ReadPrice(body, &area->referencePrice)) return;
  }
  if (!ReadQueue(body, kFirstQueueRoom, &area->firstPrice, &area->firstTotal, &area->firstCount,
                 area->firstValues)) {
    return;
  }
  ReadQueue(body, kSecondQueueRoom, &area->secondPrice, &area->secondTotal, &area->secondCount,
            area->secondValues);
}
