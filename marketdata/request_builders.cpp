#include "marketdata/request_builders.h"

#include <cstdlib>
#include <cstring>

#include "foundation/debug_trace.h"
#include "foundation/user_folders.h"
#include "marketdata/own_stocks.h"
#include "marketdata/quote_requests.h"

namespace {

constexpr int kMaxListEntries = 65535;
const char kDefaultStockList[] = "1A0001\x01" "399001\x02";

bool SlotOk(int slot, int count, const char* builder) {
  if (slot >= 0 && slot < count) return true;
  DebugPrintf("\n%s: slot %d outside 0..%d", builder, slot, count - 1);
  return false;
}

void StoreCode(CodeParams* record, const char* code, int market) {
  std::memset(record->code, 0, sizeof record->code);
  std::memcpy(record->code, code, strnlen(code, 6));
  record->market = static_cast<uint8_t>(market);
}

bool PutCode(QuoteEngine* e, const CodeParams& record) {
  return PutRequestBytes(e, record.code, 6) && PutRequestU8(e, record.market);
}

bool PutFieldIds(QuoteEngine* e, const FieldIdList& list) {
  int count = list.count <= kMaxFieldIds ? list.count : kMaxFieldIds;
  bool ok = PutRequestU16(e, static_cast<uint16_t>(count));
  for (int i = 0; ok && i < count; ++i) ok = PutRequestU16(e, list.ids[i]);
  return ok;
}

template <int N>
bool PutByteList(QuoteEngine* e, const ByteList<N>& list) {
  int count = list.count <= N ? list.count : N;
  return PutRequestU8(e, static_cast<uint8_t>(count)) && PutRequestBytes(e, list.bytes, count);
}

bool PutPairList(QuoteEngine* e, const PairList<128>& list) {
  int count = list.count <= 128 ? list.count : 128;
  return PutRequestU8(e, static_cast<uint8_t>(count)) && PutRequestBytes(e, list.pairs, 2 * count);
}

// Ends a build: header and frame length, registration, sending. Returns the
// sequence number, or 0 when the body could not be written or registered.
int Complete(QuoteEngine* e, bool bodyOk, QuoteReplyCallback callback, void* owner, void* params, void* area) {
  if (!bodyOk) return 0;
  FinishQuoteRequest(e);
  const int sequence = e->headerSequence;
  PendingRequest* entry = RegisterPendingRequest(e->pending, callback, owner, params, area, e->sendBuffer,
                                                 e->sendLength, sequence, e->headerType);
  if (!entry) return 0;
  SendQuoteRequest(e, e->sendBuffer, e->sendLength);
  return sequence;
}

// The body of types 49, 91 and 92 from their parameter record.
bool PutLatestBarsBody(QuoteEngine* e, const LatestBarsParams& p) {
  return PutCode(e, p.stock) && PutRequestU8(e, p.kind) && PutRequestU32(e, static_cast<uint32_t>(p.start)) &&
         PutRequestU16(e, p.value) && PutRequestU16(e, p.barCount) && PutByteList(e, p.fields) &&
         PutPairList(e, p.pairs);
}

void StoreLatestBars(LatestBarsParams* p, int kind, const char* code, int market, int32_t start, int value,
                     int barCount) {
  StoreCode(&p->stock, code, market);
  p->kind = static_cast<uint8_t>(kind);
  p->start = start;
  p->value = static_cast<uint16_t>(value);
  p->barCount = static_cast<uint16_t>(barCount);
}

// Writes the stock-list body: u16 count, the entries, the FieldIdList.
bool PutStockList(QuoteEngine* e, const StockListParams& p) {
  return PutRequestU16(e, p.count) && PutRequestBytes(e, p.entries, p.count * kOwnStockEntrySize) &&
         PutFieldIds(e, p.fields);
}

// Makes the slot's list buffer hold at least bytes (keeps nothing).
bool EnsureListCapacity(StockListParams* p, int bytes) {
  if (p->capacity >= bytes) return true;
  auto* grown = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(bytes) + 1, 1));
  if (!grown) return false;
  std::free(p->entries);
  p->entries = grown;
  p->capacity = bytes + 1;
  return true;
}

int QuoteListCommon(QuoteEngine* e, QuoteReplyCallback callback, void* owner, QuoteListParams* p, void* area,
                    int type, int32_t listLow, int32_t listHigh, int32_t start, int sortField, int order, int flag,
                    int parameter, int rowCount) {
  QuoteBuildGuard build(e);
  if (rowCount == -1) rowCount = e->defaultRowCount;
  p->listLow = listLow;
  p->listHigh = listHigh;
  p->start = start;
  p->rowCount = static_cast<uint16_t>(rowCount);
  p->sortField = static_cast<uint16_t>(sortField);
  p->order = static_cast<uint8_t>(order);
  BeginQuoteRequest(e, type, flag, parameter);
  bool ok;
  if (type == 42) {
    ok = PutRequestU16(e, static_cast<uint32_t>(p->listLow) & 0xFFFF) &&
         PutRequestU16(e, static_cast<uint32_t>(p->start) & 0xFFFF);
  } else {
    ok = PutRequestU32(e, static_cast<uint32_t>(p->listHigh)) && PutRequestU32(e, static_cast<uint32_t>(p->listLow)) &&
         PutRequestU32(e, static_cast<uint32_t>(p->start));
  }
  ok = ok && PutRequestU16(e, p->rowCount) && PutRequestU16(e, p->sortField) && PutRequestU8(e, p->order) &&
       PutFieldIds(e, p->fields);
  return Complete(e, ok, callback, owner, p, area);
}

// Common form of the requests whose body is code and market only.
int CodeOnlyRequest(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int type, CodeParams* p, void* area,
                    const char* code, int market, int flag, int parameter) {
  if (!code) return 0;
  QuoteBuildGuard build(e);
  StoreCode(p, code, market);
  BeginQuoteRequest(e, type, flag, parameter);
  return Complete(e, PutCode(e, *p), callback, owner, p, area);
}

int NewsMarksCommon(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int request, const char* code,
                    int market, int flag, int parameter, int64_t first, int64_t last, int slot) {
  if (!code || !SlotOk(slot, kNewsMarkSlots, "news marks")) return 0;
  QuoteBuildGuard build(e);
  NewsMarkParams* p = &e->newsMarkParams[slot];
  StoreCode(&p->stock, code, market);
  p->first = first;
  p->last = last;
  BeginQuoteRequest(e, request, flag, parameter);
  e->requestKind = kPacketKindNews;
  bool ok = PutCode(e, p->stock) && PutRequestU64(e, static_cast<uint64_t>(p->first));
  if (request == 3) ok = ok && PutRequestU64(e, static_cast<uint64_t>(p->last));
  return Complete(e, ok, callback, owner, p, e->newsListAreas[slot]);
}

int64_t Join64(uint32_t low, uint32_t high) {
  return static_cast<int64_t>(static_cast<uint64_t>(high) << 32 | low);
}

}  // namespace

int RequestDictionaryUpdate(QuoteEngine* e, QuoteReplyCallback callback, void* owner) {
  QuoteBuildGuard build(e);
  std::free(e->dictionaryVersion.text);
  e->dictionaryVersion.text = nullptr;
  e->dictionaryVersion.length = 0;
  FileBlob* blob = ReadDataFile("res\\qver.data");
  if (blob && blob->size > 0) {
    int length = blob->size < 0xFFFF ? blob->size : 0xFFFF;
    e->dictionaryVersion.text = static_cast<char*>(std::calloc(static_cast<size_t>(length) + 1, 1));
    if (e->dictionaryVersion.text) {
      std::memcpy(e->dictionaryVersion.text, blob->data, static_cast<size_t>(length));
      e->dictionaryVersion.length = static_cast<uint16_t>(length);
    }
  }
  FreeFileBlob(blob);
  BeginQuoteRequest(e, 1, 0, 0);
  bool ok = PutRequestU16(e, e->dictionaryVersion.length) &&
            PutRequestBytes(e, e->dictionaryVersion.text, e->dictionaryVersion.length);
  Complete(e, ok, callback, owner, &e->dictionaryVersion, e->dictionaryReply);
  return 0;
}

int RequestStockListQuotes(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* entries, int length,
                           int flag, int parameter, int slot) {
  if (!SlotOk(slot, kStockListSlots, "RequestStockListQuotes")) return 0;
  QuoteBuildGuard build(e);
  StockListParams* p = &e->stockListParams[slot];
  int count = entries && length > 0 ? length / kOwnStockEntrySize : 0;
  if (count > kMaxListEntries) count = kMaxListEntries;
  const char* source = entries;
  if (count == 0) {
    source = kDefaultStockList;
    count = 2;
  }
  if (!EnsureListCapacity(p, count * kOwnStockEntrySize)) return 0;
  std::memset(p->entries, 0, static_cast<size_t>(p->capacity < 512 ? p->capacity : 512));
  std::memcpy(p->entries, source, static_cast<size_t>(count) * kOwnStockEntrySize);
  p->count = static_cast<uint16_t>(count);
  BeginQuoteRequest(e, 32, flag, parameter);
  return Complete(e, PutStockList(e, *p), callback, owner, p, e->quoteListAreas[slot]);
}

int RequestOwnStockQuotes(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int rowTotal, int pageSize,
                          int flag, int parameter, int slot) {
  if (!SlotOk(slot, kStockListSlots, "RequestOwnStockQuotes")) return 0;
  std::shared_ptr<const OwnStockList> copy = GetOwnStockSnapshot(e);
  int count = e->ownStockCount.load();
  if (!copy || count <= 0) return 0;
  if (count > copy->EntryCount()) count = copy->EntryCount();
  if (count > kMaxListEntries) count = kMaxListEntries;
  QuoteBuildGuard build(e);
  StockListParams* p = &e->stockListParams[slot];
  if (!EnsureListCapacity(p, count * kOwnStockEntrySize)) return 0;
  std::memcpy(p->entries, copy->bytes.data(), static_cast<size_t>(count) * kOwnStockEntrySize);
  p->count = static_cast<uint16_t>(count);
  e->ownStockPageCount = pageSize > 0 ? (rowTotal + pageSize - 1) / pageSize : 0;
  BeginQuoteRequest(e, 32, flag, parameter);
  return Complete(e, PutStockList(e, *p), callback, owner, p, e->quoteListAreas[slot]);
}

int RequestStockFields(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market,
                       int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, kStockFieldsSlots, "RequestStockFields")) return 0;
  QuoteBuildGuard build(e);
  StockFieldsParams* p = &e->stockFieldsParams[slot];
  StoreCode(&p->stock, code, market);
  BeginQuoteRequest(e, 33, flag, parameter);
  bool ok = PutCode(e, p->stock) && PutFieldIds(e, p->fields);
  return Complete(e, ok, callback, owner, p, e->stockFieldsAreas[slot]);
}

int RequestTicks(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int type, const char* code, int market,
                 int32_t start, int count, int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, kTickSlots, "RequestTicks")) return 0;
  QuoteBuildGuard build(e);
  TickParams* p = &e->tickParams[slot];
  StoreCode(&p->stock, code, market);
  p->start = start;
  p->count = static_cast<uint16_t>(count);
  BeginQuoteRequest(e, type, flag, parameter);
  bool ok = PutCode(e, p->stock) && PutRequestU32(e, static_cast<uint32_t>(p->start)) && PutRequestU16(e, p->count);
  e->tickAreas[slot]->replyPosition = -1;
  return Complete(e, ok, callback, owner, p, e->tickAreas[slot]);
}

int RequestQuoteList(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int type, int32_t listLow,
                     int32_t listHigh, int32_t start, int sortField, int order, int flag, int parameter, int rowCount,
                     int slot) {
  if (!SlotOk(slot, kQuoteListSlots, "RequestQuoteList")) return 0;
  return QuoteListCommon(e, callback, owner, &e->quoteListParams[slot], e->sortedListAreas[slot], type, listLow,
                         listHigh, start, sortField, order, flag, parameter, rowCount);
}

int RequestViewQuoteList(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int type, int32_t listLow,
                         int32_t listHigh, int32_t start, int sortField, int order, int flag, int parameter,
                         int rowCount, int slot) {
  (void)slot;
  return QuoteListCommon(e, callback, owner, &e->viewListParams, e->viewListArea, type, listLow, listHigh, start,
                         sortField, order, flag, parameter, rowCount);
}

int RequestRankingBoards(QuoteEngine* e, QuoteReplyCallback callback, void* owner, uint32_t valueLow,
                         uint32_t valueHigh, int rowCount, int flag, int parameter, int slot) {
  if (!SlotOk(slot, 1, "RequestRankingBoards")) return 0;
  QuoteBuildGuard build(e);
  RankingParams* p = &e->rankingParams;
  p->value = Join64(valueLow, valueHigh);
  p->rowCount = static_cast<uint16_t>(rowCount);
  BeginQuoteRequest(e, 41, flag, parameter);
  // The row count travels as a 32-bit number whose high half is 0.
  bool ok = PutRequestU64(e, static_cast<uint64_t>(p->value)) && PutRequestU16(e, 0) && PutRequestU16(e, p->rowCount);
  return Complete(e, ok, callback, owner, p, e->rankingArea);
}

int RequestFieldTable(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int type, int flag, int parameter,
                      int slot) {
  if (!SlotOk(slot, kFieldTableSlots, "RequestFieldTable")) return 0;
  QuoteBuildGuard build(e);
  FieldTableParams* p = &e->fieldTableParams[slot];
  BeginQuoteRequest(e, type, flag, parameter);
  return Complete(e, PutFieldIds(e, p->fields), callback, owner, p, e->fieldTableAreas[slot]);
}

int RequestMinuteData(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int type, const char* code, int market,
                      int flag, int parameter, int startMinute, int32_t value1, int32_t value2, int slot) {
  if (!code || !SlotOk(slot, kMinuteSlots, "RequestMinuteData")) return 0;
  QuoteBuildGuard build(e);
  MinuteParams* p = &e->minuteParams[slot];
  StoreCode(&p->stock, code, market);
  p->startMinute = static_cast<uint16_t>(startMinute);
  p->value1 = value1;
  p->value2 = value2;
  BeginQuoteRequest(e, type, flag, parameter);
  bool ok = PutCode(e, p->stock) && PutRequestU16(e, p->startMinute) && PutByteList(e, p->fields);
  return Complete(e, ok, callback, owner, p, e->minuteAreas[slot]);
}

int RequestLatestBars(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int kind, const char* code, int market,
                      int32_t start, int value, int barCount, int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, kLatestBarsSlots, "RequestLatestBars")) return 0;
  QuoteBuildGuard build(e);
  LatestBarsParams* p = &e->latestBarsParams[slot];
  StoreLatestBars(p, kind, code, market, start, value, barCount);
  BeginQuoteRequest(e, 49, flag, parameter);
  return Complete(e, PutLatestBarsBody(e, *p), callback, owner, p, e->chartAreas[slot]);
}

int RequestExRights(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market, int flag,
                    int parameter, int slot) {
  if (!code || !SlotOk(slot, 1, "RequestExRights")) return 0;
  QuoteBuildGuard build(e);
  StoreCode(&e->exRightsParams, code, market);
  BeginQuoteRequest(e, 55, flag, parameter);
  bool ok = PutCode(e, e->exRightsParams) && PutRequestU64(e, 0);
  return Complete(e, ok, callback, owner, &e->exRightsParams, e->exRightsArea);
}

int RequestPriceStatistics(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market,
                           int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, 1, "RequestPriceStatistics")) return 0;
  QuoteBuildGuard build(e);
  e->priceStatArea->levelCount = -1;
  return CodeOnlyRequest(e, callback, owner, 60, &e->priceStatParams, e->priceStatArea, code, market, flag,
                         parameter);
}

int RequestAlertQuery(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market,
                      int value, int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, 1, "RequestAlertQuery")) return 0;
  QuoteBuildGuard build(e);
  AlertQueryParams* p = &e->alertQueryParams;
  StoreCode(&p->stock, code, market);
  p->value = static_cast<uint16_t>(value);
  BeginQuoteRequest(e, 61, flag, parameter);
  bool ok = PutCode(e, p->stock) && PutRequestU16(e, p->value) && PutByteList(e, p->fields);
  return Complete(e, ok, callback, owner, p, e->alertQueryArea);
}

int RequestAlertRecords(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int listId, int count,
                        const char* text, int flag, int parameter, int slot) {
  if (!SlotOk(slot, kAlertRecordSlots, "RequestAlertRecords")) return 0;
  QuoteBuildGuard build(e);
  AlertRecordParams* p = &e->alertRecordParams[slot];
  p->listId = static_cast<uint16_t>(listId);
  int n = text && count > 0 ? count : 0;
  if (n > 128) n = 128;
  std::memset(p->text.bytes, 0, sizeof p->text.bytes);
  if (n > 0) std::memcpy(p->text.bytes, text, static_cast<size_t>(n));
  p->text.count = static_cast<uint8_t>(n);
  BeginQuoteRequest(e, 62, flag, parameter);
  bool ok = PutRequestU16(e, p->listId) && PutByteList(e, p->text) && PutByteList(e, p->fields);
  return Complete(e, ok, callback, owner, p, e->alertRecordAreas[slot]);
}

int RequestFuturesTicks(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market,
                        int32_t start, int count, int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, 1, "RequestFuturesTicks")) return 0;
  QuoteBuildGuard build(e);
  FuturesTickParams* p = &e->futuresTickParams;
  StoreCode(&p->stock, code, market);
  p->start = start;
  p->count = static_cast<uint16_t>(count);
  BeginQuoteRequest(e, 67, flag, parameter);
  bool ok = PutCode(e, p->stock) && PutRequestU32(e, static_cast<uint32_t>(p->start)) &&
            PutRequestU16(e, p->count) && PutByteList(e, p->fields);
  e->futuresTickArea->replyPosition = -1;
  return Complete(e, ok, callback, owner, p, e->futuresTickArea);
}

int RequestKLineBars(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int period, const char* code,
                     int market, int32_t rangeStart, int32_t rangeCount, int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, kKLineSlots, "RequestKLineBars")) return 0;
  QuoteBuildGuard build(e);
  KLineParams* p = &e->klineParams[slot];
  StoreCode(&p->stock, code, market);
  p->period = static_cast<uint8_t>(period);
  p->rangeStart = rangeStart;
  p->rangeCount = rangeCount;
  BeginQuoteRequest(e, 68, flag, parameter);
  bool ok = PutCode(e, p->stock) && PutRequestU8(e, p->period) &&
            PutRequestU32(e, static_cast<uint32_t>(p->rangeStart)) &&
            PutRequestU32(e, static_cast<uint32_t>(p->rangeCount)) && PutByteList(e, p->fields);
  return Complete(e, ok, callback, owner, p, e->klineAreas[slot]);
}

int RequestStockPoolTable(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int tableId, int value,
                          int byteValue, int flag, int parameter, int slot) {
  if (!SlotOk(slot, 1, "RequestStockPoolTable")) return 0;
  QuoteBuildGuard build(e);
  StockPoolParams* p = &e->stockPoolParams;
  p->tableId = static_cast<uint16_t>(tableId);
  p->one = 1;
  p->value = static_cast<uint16_t>(value);
  p->direction = static_cast<uint8_t>(byteValue);
  BeginQuoteRequest(e, 69, flag, parameter);
  bool ok = PutRequestU16(e, p->tableId) && PutRequestU8(e, p->one) && PutRequestU16(e, p->value) &&
            PutRequestU8(e, p->direction);
  return Complete(e, ok, callback, owner, p, e->stockPoolArea);
}

int RequestF10Catalog(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market,
                      int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, 1, "RequestF10Catalog")) return 0;
  return CodeOnlyRequest(e, callback, owner, 70, &e->f10CatalogParams, e->f10CatalogArea, code, market, flag,
                         parameter);
}

int RequestF10Item(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market, int item,
                   int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, 1, "RequestF10Item")) return 0;
  QuoteBuildGuard build(e);
  F10ItemParams* p = &e->f10ItemParams;
  StoreCode(&p->stock, code, market);
  p->item = static_cast<uint8_t>(item);
  BeginQuoteRequest(e, 71, flag, parameter);
  bool ok = PutCode(e, p->stock) && PutRequestU8(e, p->item);
  return Complete(e, ok, callback, owner, p, e->f10ItemArea);
}

int RequestKLineSupplementA(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int kind, const char* code,
                            int market, int32_t start, int value, int barCount, int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, kKLineSlots, "RequestKLineSupplementA")) return 0;
  QuoteBuildGuard build(e);
  LatestBarsParams* p = &e->supplementAParams;
  StoreLatestBars(p, kind, code, market, start, value, barCount);
  BeginQuoteRequest(e, 91, flag, parameter);
  return Complete(e, PutLatestBarsBody(e, *p), callback, owner, p, e->klineAreas[slot]);
}

int RequestKLineSupplementB(QuoteEngine* e, QuoteReplyCallback callback, void* owner, int kind, const char* code,
                            int market, int32_t start, int value, int barCount, int flag, int parameter, int slot) {
  if (!code || !SlotOk(slot, kKLineSlots, "RequestKLineSupplementB")) return 0;
  QuoteBuildGuard build(e);
  LatestBarsParams* p = &e->supplementBParams;
  StoreLatestBars(p, kind, code, market, start, value, barCount);
  BeginQuoteRequest(e, 92, flag, parameter);
  return Complete(e, PutLatestBarsBody(e, *p), callback, owner, p, e->klineAreas[slot]);
}

int RequestMinuteNewsMarks(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market,
                           int flag, int parameter, uint32_t dayLow, uint32_t dayHigh, int slot) {
  return NewsMarksCommon(e, callback, owner, 2, code, market, flag, parameter, Join64(dayLow, dayHigh), 0, slot);
}

int RequestKLineNewsMarks(QuoteEngine* e, QuoteReplyCallback callback, void* owner, const char* code, int market,
                          int flag, int parameter, uint32_t firstLow, uint32_t firstHigh, uint32_t lastLow,
                          uint32_t lastHigh, int slot) {
  return NewsMarksCommon(e, callback, owner, 3, code, market, flag, parameter, Join64(firstLow, firstHigh),
                         Join64(lastLow, lastHigh), slot);
}
