#include "marketdata/quote_engine.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>

#include "marketdata/indicator_params.h"
#include "marketdata/own_stocks.h"
#include "marketdata/quote_requests.h"
#include "marketdata/quote_transport.h"

namespace {

thread_local int tlsEngineLocks = 0;

const uint16_t kStockFieldIds[] = {
    0,   8,   34,  35,  9,   37,  5,   6,   7,   4,   11,  38,  39,  32,  3,   42,  33,  12,
    13,  16,  17,  20,  21,  24,  25,  28,  29,  400, 401, 404, 405, 408, 409, 412, 413, 416,
    417, 14,  15,  18,  19,  22,  23,  26,  27,  30,  31,  402, 403, 406, 407, 410, 411, 414,
    415, 418, 419, 10,  40,  351, 1001, 1003, 306, 357, 350, 44, 45, 702, 701, 706, 703};
const uint16_t kStockListIds0[] = {
    0,    8,    34,   35,   9,    37,   5,    6,    7,    4,    13,   12,   38,
    40,   41,   11,   10,   33,   32,   800,  5043, 5047, 2041, 5006, 5009, 2042,
    5011, 5014, 5025, 5026, 5029, 879,  855,  861,  867,  873,  5079, 5082, 5085,
    5005, 5080, 5083, 5086, 5010, 809,  810,  811,  5073, 5074, 5500};
const uint16_t kStockListIds1[] = {0, 8, 34, 4, 11};
const uint16_t kStockListIds2[] = {0, 34, 35, 33};
const uint16_t kFieldTableIds[] = {
    0,    8,    34,   35,   9,    37,   5,    6,    7,    4,    13,   12,   38,   40,   41,
    11,   10,   33,   32,   700,  701,  702,  703,  704,  705,  706,  707,  15,   14,   800,
    5043, 5047, 2041, 5006, 5009, 2042, 5011, 5014, 5025, 5026, 5029, 879,  855,  861,  867,
    873,  5079, 5082, 5085, 5005, 5080, 5083, 5086, 5010, 809,  810,  811,  5073, 5074, 5500};
const uint16_t kQuoteListIds01[] = {
    0,    8,    34,   35,   9,    37,   5,    6,    7,    4,    1015, 38,   40,   41,   11,
    10,   33,   13,   12,   32,   36,   800,  5043, 5047, 2041, 5006, 5009, 2042, 5011, 5014,
    5025, 5026, 5029, 879,  855,  861,  867,  873,  5079, 5082, 5085, 5005, 5080, 5083, 5086,
    5010, 809,  810,  811,  5073, 5074, 5001, 852,  858,  864,  870,  5500};
const uint16_t kQuoteListIds2[] = {0,  8,  34, 35, 9,   37,  5,   6,   7,   4,   13,  12,  38,  40,  41,
                                   11, 10, 33, 32, 700, 701, 702, 703, 704, 705, 706, 707, 15,  14,  36};
const uint16_t kQuoteListIds3[] = {0, 8, 34, 36};
const uint16_t kViewListIds[] = {1};
const uint8_t kBarPairs[][2] = {{5, 60}, {3, 30}, {4, 30}, {7, 10}, {2, 30}, {1, 60}};
const uint8_t kSupplementACodes[] = {100, 102, 103, 104, 105, 106, 108, 109, 110, 111, 50, 54, 58,
                                     62,  66,  70,  74,  78,  52,  56,  60,  64,  68,  72,  76, 80};
const uint8_t kSupplementAPairCodes[] = {100, 102, 103, 104, 105, 106, 108, 109, 110, 111};
const uint8_t kSupplementBCodes[] = {103, 109, 127, 50, 54, 58, 62, 66, 70, 74, 78};
const uint8_t kSupplementBPairCodes[] = {103, 109, 127};

template <size_t N>
void SetFieldIds(FieldIdList* list, const uint16_t (&ids)[N]) {
  static_assert(N <= kMaxFieldIds);
  list->count = static_cast<uint16_t>(N);
  for (size_t i = 0; i < N; ++i) list->ids[i] = ids[i];
}

template <int N>
void SetByteRange(ByteList<N>* list, int first, int last) {
  list->count = static_cast<uint8_t>(last - first + 1);
  for (int v = first; v <= last; ++v) list->bytes[v - first] = static_cast<uint8_t>(v);
}

template <int N, size_t M>
void SetBytes(ByteList<N>* list, const uint8_t (&bytes)[M]) {
  static_assert(static_cast<int>(M) <= N);
  list->count = static_cast<uint8_t>(M);
  for (size_t i = 0; i < M; ++i) list->bytes[i] = bytes[i];
}

void SetBarPairs(PairList<128>* list, int count) {
  list->count = static_cast<uint8_t>(count);
  for (int i = 0; i < count; ++i) {
    list->pairs[i][0] = kBarPairs[i][0];
    list->pairs[i][1] = kBarPairs[i][1];
  }
}

template <size_t M>
void SetCodePairs(PairList<128>* list, const uint8_t (&codes)[M], uint8_t value) {
  list->count = static_cast<uint8_t>(M);
  for (size_t i = 0; i < M; ++i) {
    list->pairs[i][0] = codes[i];
    list->pairs[i][1] = value;
  }
}

template <typename T>
bool NewArea(T** area) {
  *area = new (std::nothrow) T();
  return *area != nullptr;
}

bool NewRecords(QuoteRecordArray* array, int capacity) {
  array->records = new (std::nothrow) QuoteRecord[capacity]();
  array->capacity = array->records ? capacity : 0;
  return array->records != nullptr;
}

void WriteDefaults(QuoteEngine* e) {
  e->requestKind = 2;
  e->headerFlag = 1;
  e->headerFive = 5;
  e->headerOne = 1;
  for (auto& p : e->minuteParams) SetByteRange(&p.fields, 1, 8);
  for (int i = 0; i < kLatestBarsSlots; ++i) {
    SetByteRange(&e->latestBarsParams[i].fields, 1, 8);
    SetBarPairs(&e->latestBarsParams[i].pairs, i == 0 ? 6 : 5);
  }
  for (auto& p : e->klineParams) SetByteRange(&p.fields, 1, 8);
  e->reservedLookBack = 60;
  SetBytes(&e->supplementAParams.fields, kSupplementACodes);
  SetCodePairs(&e->supplementAParams.pairs, kSupplementAPairCodes, 60);
  SetBytes(&e->supplementBParams.fields, kSupplementBCodes);
  SetCodePairs(&e->supplementBParams.pairs, kSupplementBPairCodes, 60);
  for (auto& p : e->stockFieldsParams) SetFieldIds(&p.fields, kStockFieldIds);
  SetByteRange(&e->futuresTickParams.fields, 0, 8);
  SetFieldIds(&e->stockListParams[0].fields, kStockListIds0);
  SetFieldIds(&e->stockListParams[1].fields, kStockListIds1);
  SetFieldIds(&e->stockListParams[2].fields, kStockListIds2);
  for (auto& p : e->fieldTableParams) SetFieldIds(&p.fields, kFieldTableIds);
  SetFieldIds(&e->quoteListParams[0].fields, kQuoteListIds01);
  SetFieldIds(&e->quoteListParams[1].fields, kQuoteListIds01);
  SetFieldIds(&e->quoteListParams[2].fields, kQuoteListIds2);
  SetFieldIds(&e->quoteListParams[3].fields, kQuoteListIds3);
  SetFieldIds(&e->viewListParams.fields, kViewListIds);
  e->viewListParams.compactForm = 1;
  for (auto& p : e->alertRecordParams) SetByteRange(&p.fields, 1, 20);
  SetByteRange(&e->alertQueryParams.fields, 1, 20);
}

// Every result area of the engine, in one list that allocation and freeing
// both walk, so an area cannot be allocated and forgotten:
// visit(area pointer, records to allocate in its list at creation, or 0).
template <typename Visit>
void ForEachArea(QuoteEngine* e, Visit visit) {
  for (auto& a : e->minuteAreas) visit(a, 0);
  for (auto& a : e->chartAreas) visit(a, 0);
  for (auto& a : e->klineAreas) visit(a, 0);
  visit(e->exRightsArea, 0);
  for (auto& a : e->stockFieldsAreas) visit(a, 0);
  for (auto& a : e->tickAreas) visit(a, 0);
  visit(e->futuresTickArea, 0);
  visit(e->priceStatArea, 0);
  const int listRecords[kStockListSlots] = {512, 16, 64};
  for (int i = 0; i < kStockListSlots; ++i) visit(e->quoteListAreas[i], listRecords[i]);
  visit(e->rankingArea, 0);
  for (auto& a : e->fieldTableAreas) visit(a, 0);
  const int sortedRecords[kQuoteListSlots] = {128, 128, 128, 20};
  for (int i = 0; i < kQuoteListSlots; ++i) visit(e->sortedListAreas[i], sortedRecords[i]);
  visit(e->viewListArea, 0);
  for (auto& a : e->alertRecordAreas) visit(a, 0);
  visit(e->alertQueryArea, 0);
  for (auto& a : e->newsListAreas) visit(a, 0);
  visit(e->stockPoolArea, 0);
  visit(e->f10CatalogArea, 0);
  visit(e->f10ItemArea, 0);
  visit(e->dictionaryReply, 0);
}

// What an area owns besides itself, released before it is deleted.
template <typename T>
void ReleaseAreaContents(T*) {}
void ReleaseAreaContents(QuoteListArea* a) { FreeQuoteRecords(a->list.records); }
void ReleaseAreaContents(SortedQuoteListArea* a) { ReleaseSortedQuoteListArea(a); }
void ReleaseAreaContents(NewsListArea* a) { ReleaseNewsListArea(a); }
void ReleaseAreaContents(StockPoolTableArea* a) { ReleaseStockPoolTableArea(a); }

bool AllocateAreas(QuoteEngine* e) {
  bool ok = true;
  ForEachArea(e, [&ok](auto*& area, int records) {
    ok = ok && NewArea(&area);
    if constexpr (requires { area->list; }) {
      if (ok && records > 0) ok = NewRecords(&area->list, records);
    }
  });
  for (int i = 0; i < kStockListSlots; ++i) {
    StockListParams& p = e->stockListParams[i];
    p.entries = static_cast<unsigned char*>(std::calloc(kInitialListCapacity, 1));
    p.capacity = p.entries ? kInitialListCapacity : 0;
    ok = ok && p.entries;
  }
  for (auto& w : e->workspaces) ok = ok && (w = CreateIndicatorWorkspace()) != nullptr;
  return ok;
}

void FreeOwned(QuoteEngine* e) {
  std::free(e->sendBuffer);
  e->sendBuffer = nullptr;
  FreePendingList(e->pending);
  e->pending = nullptr;
  ForEachArea(e, [](auto*& area, int) {
    if (area) ReleaseAreaContents(area);
    delete area;
    area = nullptr;
  });
  for (auto& w : e->workspaces) {
    FreeIndicatorWorkspace(w);
    w = nullptr;
  }
  for (auto& p : e->stockListParams) {
    std::free(p.entries);
    p.entries = nullptr;
  }
  std::free(e->dictionaryVersion.text);
  e->dictionaryVersion.text = nullptr;
  std::free(e->pageShared);
  e->pageShared = nullptr;
  e->ownStocks.reset();
}

}  // namespace

QuoteEngine* CreateQuoteEngine() {
  // The record is large (slots and tables); it lives on the heap, value-
  // initialised so every field starts at zero.
  QuoteEngine* e = new (std::nothrow) QuoteEngine();
  if (!e) return nullptr;
  e->transport = FrameQuoteTransport();
  WriteDefaults(e);
  e->sequenceCounter = kFirstSequence;
  e->sendBuffer = static_cast<unsigned char*>(std::calloc(kInitialSendCapacity, 1));
  e->sendCapacity = kInitialSendCapacity;
  e->pending = CreatePendingList();
  if (!e->sendBuffer || !e->pending || !AllocateAreas(e)) {
    FreeOwned(e);
    delete e;
    return nullptr;
  }
  ReloadIndexParameters(e);
  std::strcpy(e->ownStockPath, "res\\own.data");
  e->ownStocks = LoadOwnStockList(e);
  e->connectionId = -1;
  e->ownStockPageCount = 0;
  e->ownStockCount = GetOwnStockCount(e);
  LoadMarketStates(e);
  return e;
}

void FreeQuoteEngine(QuoteEngine* engine) {
  if (!engine) return;
  engine->transport->Close(engine->connectionId.load());
  engine->connectionId = -1;
  FreeOwned(engine);
  delete engine;
}

void ReloadIndexParameters(QuoteEngine* engine) {
  LoadIndexParameterFile(engine->workspaces, kIndicatorWorkspaces);
}

void SetQuoteTransportForTesting(QuoteEngine* engine, QuoteTransport* transport) {
  engine->transport = transport ? transport : FrameQuoteTransport();
}

int EngineLocksHeldByThread() { return tlsEngineLocks; }

void NoteEngineLockTaken() { ++tlsEngineLocks; }

void NoteEngineLockReleased(QuoteEngine* engine) {
  assert(tlsEngineLocks > 0 && "an engine lock released that this thread did not take");
  if (--tlsEngineLocks == 0) FlushOwnerEvents(engine);
}

QuoteBuildGuard::QuoteBuildGuard(QuoteEngine* engine) : engine_(engine) {
  engine_->buildLock.lock();
  NoteEngineLockTaken();
}

QuoteBuildGuard::~QuoteBuildGuard() {
  engine_->buildLock.unlock();
  NoteEngineLockReleased(engine_);
}

void RaiseOwnerEvent(QuoteEngine* engine, int event, const void* argument, int argumentLength) {
  QueuedOwnerEvent queued;
  queued.event = event;
  queued.hasArgument = argument != nullptr;
  if (argument && argumentLength > 0) {
    queued.argument.assign(static_cast<const char*>(argument), static_cast<size_t>(argumentLength));
  }
  {
    std::lock_guard<std::mutex> hold(engine->eventLock);
    engine->eventQueue.push_back(std::move(queued));
  }
  FlushOwnerEvents(engine);
}

void FlushOwnerEvents(QuoteEngine* engine) {
  if (tlsEngineLocks != 0) return;
  {
    std::lock_guard<std::mutex> hold(engine->eventLock);
    // Another thread (or this one, further up the stack) is delivering: it
    // takes our events in their turn.
    if (engine->eventDraining || engine->eventQueue.empty()) return;
    engine->eventDraining = true;
  }
  for (;;) {
    QueuedOwnerEvent next;
    QuoteEventHandler handler = nullptr;
    void* owner = nullptr;
    {
      std::lock_guard<std::mutex> hold(engine->eventLock);
      assert(engine->eventDraining && "only the draining thread pops owner events");
      if (engine->eventQueue.empty()) {
        engine->eventDraining = false;
        return;
      }
      next = std::move(engine->eventQueue.front());
      engine->eventQueue.pop_front();
      // The owner may change its handler from another thread (the quote
      // view does when it connects again or goes away).
      handler = engine->eventHandler;
      owner = engine->ownerWindow;
    }
    if (!handler) continue;
    // The copy keeps a terminating zero after the bytes, so a text body can
    // be read as one.
    handler(owner, next.hasArgument ? next.argument.c_str() : nullptr, next.event);
  }
}

// LoadMarketStates and SaveMarketStates: marketdata/market_states.cpp.
