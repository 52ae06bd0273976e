// Fuzz target for the minute, tick, F10, alert and information decoders.
// Input: a selector byte (which decoder), a mode byte (low bit: 1 complete,
// else update), a capacity byte, then the reply body, copied into a buffer
// of exactly its size so that any read past it is reported. The areas live
// across inputs, so updates meet what earlier inputs left behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "marketdata/f10_alert_decoders.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/tick_decoders.h"

namespace {

struct Areas {
  MinuteArea minute;
  TickArea tick;
  FuturesTickArea futures;
  PriceStatArea stats;
  F10CatalogArea catalog;
  F10ItemArea item;
  AlertRecordArea alerts;
  AlertQueryArea query;
  StockInfoArea info;
  Type90Area values90;
  Type95Area values95;
  Type112TableArea table112;
  Type113Area entries113;
};

Areas& TheAreas() {
  static Areas* areas = new Areas();
  return *areas;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int selector = data[0] % 19;
  const int mode = (data[1] & 1) ? 1 : 2;
  const int capacity = data[2] * 5;
  const size_t length = size - 3;
  std::unique_ptr<unsigned char[]> body(new unsigned char[length ? length : 1]);
  if (length) std::memcpy(body.get(), data + 3, length);
  ReplyReader reader(body.get(), static_cast<int>(length));
  Areas& a = TheAreas();
  switch (selector) {
    case 0: DecodeMinuteData(&a.minute, &reader, 48, mode); break;
    case 1: DecodeMinuteData(&a.minute, &reader, 50, mode); break;
    case 2: DecodeFixedMinutePoints(&a.minute, &reader, mode); break;
    case 3: DecodeMinuteFlow(&a.minute, &reader, mode); break;
    case 4: DecodeLevel1Ticks(&a.tick, &reader, mode, capacity); break;
    case 5: DecodeLevel2Ticks(&a.tick, &reader, mode, capacity); break;
    case 6: DecodeFuturesTicks(&a.futures, &reader, mode, capacity); break;
    case 7: DecodePriceStatistics(&a.stats, &reader, mode); break;
    case 8: DecodeType81Ticks(&a.tick, &reader, mode, capacity); break;
    case 9: DecodeType84Ticks(&a.tick, &reader, mode, capacity); break;
    case 10: DecodeOrderQueue(&a.tick.orderQueue, &reader, mode); break;
    case 11: DecodeF10Catalog(&a.catalog, &reader); break;
    case 12: DecodeF10Item(&a.item, &reader); break;
    case 13: DecodeAlertRecords(&a.alerts, &reader, mode); break;
    case 14: DecodeAlertQuery(&a.query, &reader, mode, capacity); break;
    case 15: DecodeStockInfo(&a.info, &reader, mode); break;
    case 16: DecodeType90Values(&a.values90, &reader, mode); break;
    case 17: DecodeType95Values(&a.values95, &reader, mode); break;
    default:
      if (data[1] & 2) {
        DecodeType112Table(&a.table112, &reader);
      } else {
        DecodeType113Entries(&a.entries113, &reader);
      }
      break;
  }
  // The counts the views loop over stay inside their areas.
  if (a.minute.pointsHeld < 0 || a.minute.pointsHeld > kMinutePoints) std::abort();
  if (a.minute.flowsHeld < 0 || a.minute.flowsHeld > kMinutePoints) std::abort();
  if (a.tick.ticksHeld < 0 || a.tick.ticksHeld > kTickRoom) std::abort();
  if (a.futures.ticksHeld < 0 || a.futures.ticksHeld > kTickRoom) std::abort();
  if (a.stats.levelCount > kPriceLevelRoom) std::abort();
  if (a.alerts.recordsHeld < 0 || a.alerts.recordsHeld > kAlertRecordRoom) std::abort();
  if (a.query.recordsHeld < 0 || a.query.recordsHeld > kAlertQueryRoom) std::abort();
  if (a.info.entryCount < 0 || a.info.entryCount > kStockInfoRoom) std::abort();
  return 0;
}
