// Engine context, request framing, sequence numbers and the pending list.
#include <atomic>
#include <set>
#include <thread>

#include "engine_test_support.h"
#include "marketdata/request_builders.h"

using namespace engine_test;

namespace {

class QuoteEngineTest : public EngineFixture {};
class QuoteFramingTest : public EngineFixture {};
class PendingListTest : public EngineFixture {};

void NoteReply(void* owner, PendingRequest*) { ++*static_cast<int*>(owner); }

TEST_F(QuoteEngineTest, FreshEngineHasItsDefaults) {
  EXPECT_EQ(engine->sequenceCounter, 1001u);
  EXPECT_EQ(engine->connectionId.load(), -1);
  EXPECT_EQ(engine->state.load(), kQuoteStateKeyAwaited);
  EXPECT_EQ(engine->sendCapacity, 4096);
  EXPECT_EQ(engine->pending->count, 0);
  EXPECT_STREQ(engine->ownStockPath, "res\\own.data");
  EXPECT_EQ(engine->ownStockCount.load(), 0);
  EXPECT_EQ(engine->reservedLookBack, 60);
  EXPECT_EQ(engine->headerFive, 5);
  EXPECT_EQ(engine->headerOne, 1);

  struct ListCase {
    const char* name;
    const FieldIdList* list;
    int count;
    std::vector<int> head;
  };
  const ListCase lists[] = {
      {"quote list 0", &engine->quoteListParams[0].fields, 57, {0, 8, 34, 35, 9, 37, 5, 6, 7, 4, 1015}},
      {"quote list 1", &engine->quoteListParams[1].fields, 57, {0, 8, 34, 35}},
      {"quote list 2", &engine->quoteListParams[2].fields, 30, {0, 8, 34, 35, 9, 37, 5, 6, 7, 4, 13}},
      {"quote list 3", &engine->quoteListParams[3].fields, 4, {0, 8, 34, 36}},
      {"view list", &engine->viewListParams.fields, 1, {1}},
      {"stock fields", &engine->stockFieldsParams[2].fields, 71, {0, 8, 34, 35, 9, 37}},
      {"stock list 0", &engine->stockListParams[0].fields, 50, {0, 8, 34, 35, 9, 37, 5, 6, 7, 4, 13, 12}},
      {"stock list 1", &engine->stockListParams[1].fields, 5, {0, 8, 34, 4, 11}},
      {"stock list 2", &engine->stockListParams[2].fields, 4, {0, 34, 35, 33}},
      {"field table", &engine->fieldTableParams[1].fields, 60, {0, 8, 34, 35, 9, 37, 5, 6, 7, 4, 13, 12, 38}},
  };
  for (const auto& c : lists) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.list->count, c.count);
    for (size_t i = 0; i < c.head.size(); ++i) EXPECT_EQ(c.list->ids[i], c.head[i]) << i;
  }
  EXPECT_EQ(engine->stockFieldsParams[0].fields.ids[70], 703);
  EXPECT_EQ(engine->quoteListParams[0].fields.ids[56], 5500);
  EXPECT_EQ(engine->viewListParams.compactForm, 1);
  EXPECT_EQ(engine->quoteListParams[0].compactForm, 0);

  // Bar lists: slot 0 has the six pairs, slots 1-8 the first five.
  EXPECT_EQ(engine->latestBarsParams[0].pairs.count, 6);
  EXPECT_EQ(engine->latestBarsParams[0].pairs.pairs[5][0], 1);
  EXPECT_EQ(engine->latestBarsParams[0].pairs.pairs[5][1], 60);
  for (int s = 1; s < kLatestBarsSlots; ++s) EXPECT_EQ(engine->latestBarsParams[s].pairs.count, 5) << s;
  EXPECT_EQ(engine->supplementAParams.fields.count, 26);
  EXPECT_EQ(engine->supplementAParams.pairs.count, 10);
  EXPECT_EQ(engine->supplementBParams.fields.count, 11);
  EXPECT_EQ(engine->supplementBParams.pairs.count, 3);
  EXPECT_EQ(engine->futuresTickParams.fields.count, 9);
  EXPECT_EQ(engine->futuresTickParams.fields.bytes[0], 0);
  EXPECT_EQ(engine->alertQueryParams.fields.count, 20);
  EXPECT_EQ(engine->minuteParams[8].fields.count, 8);

  const int listRecords[] = {512, 16, 64};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(engine->quoteListAreas[i]->list.capacity, listRecords[i]);
  const int sortedRecords[] = {128, 128, 128, 20};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(engine->sortedListAreas[i]->list.capacity, sortedRecords[i]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(engine->stockListParams[i].capacity, 4096);
}

TEST_F(QuoteEngineTest, ReloadIndexParametersWithoutFileChangesNothing) {
  ReloadIndexParameters(engine);
  for (auto* w : engine->workspaces) {
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->kdjN, 9);
    EXPECT_EQ(w->macdLong, 26);
  }
}

TEST_F(QuoteFramingTest, BeginAndPackProduceTheHeader) {
  QuoteBuildGuard build(engine);
  unsigned char* body = BeginQuoteRequest(engine, 33, 0, 1);
  EXPECT_EQ(body, engine->sendBuffer + 14);
  EXPECT_EQ(engine->sendLength, 14);
  EXPECT_EQ(engine->headerSequence, 1001);
  PutRequestBytes(engine, "AB", 2);
  FinishQuoteRequest(engine);
  Bytes frame(engine->sendBuffer, engine->sendBuffer + engine->sendLength);
  EXPECT_EQ(Hex(frame), "00 00 00 0B 01 02 01 00 01 05 21 01 03 E9 41 42");

  struct Case {
    const char* name;
    int flag;
    int parameter;
    const char* header;
  };
  const Case cases[] = {
      {"flag asks for 2", 7, 0, "02 00 00 05 11 01 03 EA"},
      {"parameter 256 goes out as 0", 0, 256, "01 00 00 05 11 01 03 EB"},
      {"parameter keeps its low byte", 0, 0x1FF, "01 00 FF 05 11 01 03 EC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BeginQuoteRequest(engine, 17, c.flag, c.parameter);
    unsigned char header[8];
    PackRequestHeader(header, engine);
    EXPECT_EQ(Hex(Bytes(header, header + 8)), c.header);
  }
}

TEST_F(QuoteFramingTest, RequestsWaitUntilReadyThenGoOutOnceWithTheirSequence) {
  int replies = 0;
  int handle = RequestStockFields(engine, NoteReply, &replies, "600000", 1, 0, 1, 0);
  EXPECT_EQ(handle, 1001);
  EXPECT_TRUE(fake.TakeSent().empty());
  MakeReady();
  ResendPendingRequests(engine);
  Bytes sent = OnlySent();
  ASSERT_GE(sent.size(), 9u);
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 9)), "02 01 00 01 05 21 01 03 E9");
  ResendPendingRequests(engine);
  EXPECT_EQ(OnlySent(), sent);
}

TEST_F(PendingListTest, CancelSendsTheHandleAndDeactivates) {
  MakeReady();
  int handle = RequestF10Catalog(engine, nullptr, nullptr, "600000", 1, 0, 0, 0);
  fake.TakeSent();
  CancelQuoteRequest(engine, handle);
  Bytes sent = OnlySent();
  EXPECT_EQ(Hex(sent), Hex(Concat({B({2, 1, 0, 0, 5, 17, 1, 0, 1, 0, 1}), B({handle >> 8, handle & 255})})));
  EXPECT_EQ(FindPendingRequest(engine->pending, handle), nullptr);
  // Inactive now: a second cancel sends nothing, and neither does handle 0.
  CancelQuoteRequest(engine, handle);
  CancelQuoteRequest(engine, 0);
  EXPECT_TRUE(fake.TakeSent().empty());
  // The purge removes it.
  EXPECT_EQ(engine->pending->count, 1);
  PurgeInactiveRequests(engine->pending);
  EXPECT_EQ(engine->pending->count, 0);
}

TEST_F(PendingListTest, RenewListsTheActiveSequences) {
  MakeReady();
  int a = RequestF10Catalog(engine, nullptr, nullptr, "600000", 1, 0, 0, 0);
  int b = RequestF10Catalog(engine, nullptr, nullptr, "600001", 1, 0, 0, 0);
  int c = RequestF10Catalog(engine, nullptr, nullptr, "600002", 1, 0, 0, 0);
  fake.TakeSent();
  RenewPushRequests(engine, 1);
  Bytes sent = OnlySent();
  EXPECT_EQ(Hex(sent), Hex(Concat({B({2, 1, 0, 0, 5, 17, 1, 0, 2, 0, 3}), B({a >> 8, a & 255}),
                                   B({b >> 8, b & 255}), B({c >> 8, c & 255})})));
}

TEST_F(PendingListTest, RegisterFindAndIndex) {
  const unsigned char frame[] = {0, 0, 0, 4, 1, 2, 3, 4, 5};
  PendingRequest* first = RegisterPendingRequest(engine->pending, nullptr, nullptr, nullptr, nullptr, frame,
                                                 sizeof frame, 1200, 33);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->active, 1);
  EXPECT_EQ(first->state, 1);
  EXPECT_NE(first->frame, frame);
  // Same active sequence: the same entry comes back unchanged.
  EXPECT_EQ(RegisterPendingRequest(engine->pending, nullptr, nullptr, nullptr, nullptr, frame, 3, 1200, 40), first);
  EXPECT_EQ(first->type, 33);
  EXPECT_EQ(FindPendingRequest(engine->pending, 1200), first);
  EXPECT_EQ(FindPendingRequest(engine->pending, 1201), nullptr);
  EXPECT_EQ(GetPendingRequestAt(engine->pending, 0), first);
  EXPECT_EQ(GetPendingRequestAt(engine->pending, 1), nullptr);
  EXPECT_EQ(GetPendingRequestAt(engine->pending, -1), nullptr);
  // A builder called twice for one slot registers two entries.
  int h1 = RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
  int h2 = RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
  EXPECT_NE(h1, h2);
  EXPECT_EQ(engine->pending->count, 3);
  EXPECT_EQ(FindPendingRequest(engine->pending, h1)->params, FindPendingRequest(engine->pending, h2)->params);
}

TEST_F(PendingListTest, SequenceWrapSkipsZeroAndActiveNumbers) {
  // An active request holds 1; the counter is about to wrap.
  engine->sequenceCounter = 1;
  int held = RequestF10Catalog(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
  ASSERT_EQ(held, 1);
  engine->sequenceCounter = 0xFFFF;
  EXPECT_EQ(RequestF10Catalog(engine, nullptr, nullptr, "600001", 1, 0, 1, 0), 0xFFFF);
  // 0x10000 gives 0 (skipped) and 0x10001 gives 1 (held): the next is 2.
  int next = RequestF10Catalog(engine, nullptr, nullptr, "600002", 1, 0, 1, 0);
  EXPECT_EQ(next, 2);
  EXPECT_EQ(FindPendingRequest(engine->pending, 1)->params, &engine->f10CatalogParams);
  EXPECT_EQ(engine->pending->count, 3);
  // Once 1 is cancelled and purged, the number can be drawn again.
  CancelQuoteRequest(engine, 1);
  PurgeInactiveRequests(engine->pending);
  engine->sequenceCounter = 0x20001;
  EXPECT_EQ(NextQuoteSequence(engine), 1);
}

TEST_F(QuoteFramingTest, ConcurrentBuildersProduceWellFormedPackets) {
  MakeReady();
  std::atomic<bool> go{false};
  auto worker = [&](const char* code) {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < 300; ++i) {
      RequestStockFields(engine, nullptr, nullptr, code, 1, 0, 1, 0);
      RequestTicks(engine, nullptr, nullptr, 38, code, 2, -1, 50, 0, 1, 1);
    }
  };
  std::thread a(worker, "600000");
  std::thread b(worker, "000001");
  go = true;
  a.join();
  b.join();
  auto sent = fake.TakeSent();
  ASSERT_EQ(sent.size(), 1200u);
  std::set<int> sequences;
  for (const auto& s : sent) {
    ASSERT_GE(s.payload.size(), 16u);
    const Bytes& p = s.payload;
    const std::string code(p.begin() + 9, p.begin() + 15);
    ASSERT_TRUE(code == "600000" || code == "000001");
    if (p[5] == 33) {
      EXPECT_EQ(p.size(), 9u + 7 + 2 + 71 * 2);
    } else {
      ASSERT_EQ(p[5], 38);
      EXPECT_EQ(p.size(), 9u + 7 + 4 + 2);
    }
    sequences.insert(p[7] << 8 | p[8]);
  }
  EXPECT_EQ(sequences.size(), 1200u);
}

}  // namespace
