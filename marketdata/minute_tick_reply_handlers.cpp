#include "marketdata/minute_tick_reply_handlers.h"

#include "marketdata/f10_alert_decoders.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"
#include "marketdata/tick_decoders.h"

namespace {

bool MinuteRequest(int type) { return type == 48 || type == 50 || type == 37; }
bool TickRequest(int type) { return type == 38 || type == 80 || type == 81 || type == 83 || type == 84; }

// The entry's area when the entry's request made an area of this kind.
template <typename Area>
Area* AreaIf(PendingRequest* entry, bool kindMatches) {
  return entry && kindMatches ? static_cast<Area*>(entry->area) : nullptr;
}

int TickCapacity(PendingRequest* entry) {
  const auto* params = static_cast<const TickParams*>(entry->params);
  return params ? params->count : 0;
}

void OnMinuteData(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int type) {
  DecodeMinuteData(AreaIf<MinuteArea>(entry, MinuteRequest(entry->type)), body, type, mode);
}

void OnFixedMinutes(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeFixedMinutePoints(AreaIf<MinuteArea>(entry, MinuteRequest(entry->type)), body, mode);
}

void OnMinuteFlow(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeMinuteFlow(AreaIf<MinuteArea>(entry, MinuteRequest(entry->type)), body, mode);
}

void OnTicks(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int type) {
  TickArea* area = AreaIf<TickArea>(entry, TickRequest(entry->type));
  if (!area) return;
  const int capacity = TickCapacity(entry);
  switch (type) {
    case 38: DecodeLevel1Ticks(area, body, mode, capacity); break;
    case 80: DecodeLevel2Ticks(area, body, mode, capacity); break;
    case 81: DecodeType81Ticks(area, body, mode, capacity); break;
    case 84: DecodeType84Ticks(area, body, mode, capacity); break;
    case 83: DecodeOrderQueue(&area->orderQueue, body, mode); break;
    default: break;
  }
}

void OnFuturesTicks(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  FuturesTickArea* area = AreaIf<FuturesTickArea>(entry, entry->type == 67);
  const auto* params = static_cast<const FuturesTickParams*>(entry->params);
  DecodeFuturesTicks(area, body, mode, params ? params->count : 0);
}

void OnPriceStatistics(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodePriceStatistics(AreaIf<PriceStatArea>(entry, entry->type == 60), body, mode);
}

void OnF10Catalog(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeF10Catalog(AreaIf<F10CatalogArea>(entry, entry->type == 70), body);
}

void OnF10Item(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeF10Item(AreaIf<F10ItemArea>(entry, entry->type == 71), body);
}

void OnAlertQuery(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  const auto* params = static_cast<const AlertQueryParams*>(entry->params);
  DecodeAlertQuery(AreaIf<AlertQueryArea>(entry, entry->type == 61), body, mode, params ? params->value : 0);
}

void OnAlertRecords(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeAlertRecords(AreaIf<AlertRecordArea>(entry, entry->type == 62), body, mode);
}

// No request of this system asks for the following types; a caller that
// registers one gives its entry an area of the type's kind.
void OnStockInfo(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeStockInfo(AreaIf<StockInfoArea>(entry, entry->type == 44), body, mode);
}

void OnType90(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeType90Values(AreaIf<Type90Area>(entry, entry->type == 90), body, mode);
}

void OnType95(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeType95Values(AreaIf<Type95Area>(entry, entry->type == 95), body, mode);
}

void OnType112(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeType112Table(AreaIf<Type112TableArea>(entry, entry->type == 112), body);
}

void OnType113(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeType113Entries(AreaIf<Type113Area>(entry, entry->type == 113), body);
}

}  // namespace

void AddMinuteTickDecoders(ReplyDecoderTable* table) {
  table->decoder[48] = OnMinuteData;
  table->decoder[50] = OnMinuteData;
  table->decoder[37] = OnFixedMinutes;
  table->decoder[93] = OnMinuteFlow;
  for (int type : {38, 80, 81, 83, 84}) table->decoder[type] = OnTicks;
  table->decoder[67] = OnFuturesTicks;
  table->decoder[60] = OnPriceStatistics;
  table->decoder[70] = OnF10Catalog;
  table->decoder[71] = OnF10Item;
  table->decoder[61] = OnAlertQuery;
  table->decoder[62] = OnAlertRecords;
  table->decoder[44] = OnStockInfo;
  table->decoder[90] = OnType90;
  table->decoder[95] = OnType95;
  table->decoder[112] = OnType112;
  table->decoder[113] = OnType113;
}
