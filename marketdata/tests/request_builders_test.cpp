// Request builders: the exact bytes of every body, the slot records they
// fill, and long lists that outgrow the initial buffers.
#include <functional>

#include "engine_test_support.h"
#include "marketdata/own_stocks.h"
#include "marketdata/request_builders.h"
#include "platform/kernel/kernel_files.h"

using namespace engine_test;

namespace {

class RequestBuildersTest : public EngineFixture {};

Bytes Ids(std::initializer_list<int> ids) {
  Bytes out = B({static_cast<int>(ids.size()) >> 8, static_cast<int>(ids.size()) & 255});
  for (int id : ids) {
    out.push_back(static_cast<unsigned char>(id >> 8));
    out.push_back(static_cast<unsigned char>(id & 255));
  }
  return out;
}

Bytes FieldIds(const FieldIdList& list) {
  Bytes out = B({list.count >> 8, list.count & 255});
  for (int i = 0; i < list.count; ++i) {
    out.push_back(static_cast<unsigned char>(list.ids[i] >> 8));
    out.push_back(static_cast<unsigned char>(list.ids[i] & 255));
  }
  return out;
}

Bytes Range(int first, int last) {
  Bytes out = B({last - first + 1});
  for (int v = first; v <= last; ++v) out.push_back(static_cast<unsigned char>(v));
  return out;
}

TEST_F(RequestBuildersTest, EveryBuilderWritesItsBody) {
  MakeReady();
  const Bytes code = Text("600000");
  const Bytes m1 = B({1});
  const Bytes barLists = Concat({Range(1, 8), B({6, 5, 0x3C, 3, 0x1E, 4, 0x1E, 7, 0x0A, 2, 0x1E, 1, 0x3C})});
  Bytes supplementA = B({26, 100, 102, 103, 104, 105, 106, 108, 109, 110, 111, 50, 54, 58, 62, 66, 70, 74, 78, 52,
                         56, 60, 64, 68, 72, 76, 80, 10});
  for (int c : {100, 102, 103, 104, 105, 106, 108, 109, 110, 111}) {
    supplementA.push_back(static_cast<unsigned char>(c));
    supplementA.push_back(60);
  }
  const Bytes supplementB = B({11, 103, 109, 127, 50, 54, 58, 62, 66, 70, 74, 78, 3, 103, 60, 109, 60, 127, 60});

  struct Case {
    const char* name;
    std::function<int()> build;
    int kind;
    int type;
    int parameter;
    Bytes body;
  };
  const Case cases[] = {
      {"stock list default", [&] { return RequestStockListQuotes(engine, nullptr, nullptr, nullptr, 0, 0, 1, 0); },
       2, 32, 1,
       Concat({B({0, 2}), Text("1A0001"), B({1}), Text("399001"), B({2}), FieldIds(engine->stockListParams[0].fields)})},
      {"stock list entries",
       [&] { return RequestStockListQuotes(engine, nullptr, nullptr, "600000\x01" "000001\x02xx", 16, 0, 1, 1); }, 2,
       32, 1, Concat({B({0, 2}), Text("600000"), B({1}), Text("000001"), B({2}), Ids({0, 8, 34, 4, 11})})},
      {"stock fields", [&] { return RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 2); }, 2, 33, 1,
       Concat({code, m1, FieldIds(engine->stockFieldsParams[2].fields)})},
      {"ticks", [&] { return RequestTicks(engine, nullptr, nullptr, 80, "600000", 1, -1, 50, 0, 1, 1); }, 2, 80, 1,
       Concat({code, m1, B({0xFF, 0xFF, 0xFF, 0xFF, 0, 50})})},
      {"quote list (", [&] { return RequestQuoteList(engine, nullptr, nullptr, 40, 2, 1, 0, 34, 0, 0, 1, 100, 3); },
       2, 40, 1, Concat({B({0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 100, 0, 34, 0}), Ids({0, 8, 34, 36})})},
      {"quote list *", [&] { return RequestQuoteList(engine, nullptr, nullptr, 42, 0x103F3, 0, 20, 34, 1, 0, 1, -1, 3); },
       2, 42, 1, Concat({B({0x03, 0xF3, 0, 20, 0, 0, 0, 34, 1}), Ids({0, 8, 34, 36})})},
      {"view list", [&] { return RequestViewQuoteList(engine, nullptr, nullptr, 40, 7, 0, 0, 1, 0, 0, 1, 30, 5); }, 2,
       40, 1, Concat({B({0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 30, 0, 1, 0}), Ids({1})})},
      {"rankings", [&] { return RequestRankingBoards(engine, nullptr, nullptr, 0x01020304, 0x05060708, 28, 0, 1, 0); },
       2, 41, 1, B({5, 6, 7, 8, 1, 2, 3, 4, 0, 0, 0, 28})},
      {"field table", [&] { return RequestFieldTable(engine, nullptr, nullptr, 45, 0, 1, 2); }, 2, 45, 1,
       FieldIds(engine->fieldTableParams[2].fields)},
      {"minute data", [&] { return RequestMinuteData(engine, nullptr, nullptr, 48, "600000", 1, 0, 1, 0xFFFF, 7, 8, 4); },
       2, 48, 1, Concat({code, m1, B({0xFF, 0xFF}), Range(1, 8)})},
      {"latest bars slot 0",
       [&] { return RequestLatestBars(engine, nullptr, nullptr, 33, "600000", 1, -1, 0, 100, 0, 1, 0); }, 2, 49, 1,
       Concat({code, m1, B({33, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 100}), barLists})},
      {"ex-rights", [&] { return RequestExRights(engine, nullptr, nullptr, "600000", 1, 0, 0, 0); }, 2, 55, 0,
       Concat({code, m1, Bytes(8, 0)})},
      {"price statistics", [&] { return RequestPriceStatistics(engine, nullptr, nullptr, "600000", 1, 0, 1, 0); }, 2,
       60, 1, Concat({code, m1})},
      {"alert query", [&] { return RequestAlertQuery(engine, nullptr, nullptr, "600000", 1, 40, 0, 1, 0); }, 2, 61, 1,
       Concat({code, m1, B({0, 40}), Range(1, 20)})},
      {"alert records", [&] { return RequestAlertRecords(engine, nullptr, nullptr, 3, 2, "\x01\x02", 0, 1, 1); }, 2,
       62, 1, Concat({B({0, 3, 2, 1, 2}), Range(1, 20)})},
      {"futures ticks", [&] { return RequestFuturesTicks(engine, nullptr, nullptr, "IF2401", 4, -1, 30, 0, 1, 0); },
       2, 67, 1, Concat({Text("IF2401"), B({4, 0xFF, 0xFF, 0xFF, 0xFF, 0, 30}), Range(0, 8)})},
      {"k-line bars", [&] { return RequestKLineBars(engine, nullptr, nullptr, 33, "600000", 1, 0x7E837A5E, 512, 0, 0, 1); },
       2, 68, 0, Concat({code, m1, B({33, 0x7E, 0x83, 0x7A, 0x5E, 0, 0, 2, 0}), Range(1, 8)})},
      {"stock pool", [&] { return RequestStockPoolTable(engine, nullptr, nullptr, 0x102, 34, 1, 0, 1, 0); }, 2, 69, 1,
       B({1, 2, 1, 0, 34, 1})},
      {"F10 catalogue", [&] { return RequestF10Catalog(engine, nullptr, nullptr, "600000", 1, 0, 0, 0); }, 2, 70, 0,
       Concat({code, m1})},
      {"F10 item", [&] { return RequestF10Item(engine, nullptr, nullptr, "600000", 1, 9, 0, 0, 0); }, 2, 71, 0,
       Concat({code, m1, B({9})})},
      {"supplement A",
       [&] { return RequestKLineSupplementA(engine, nullptr, nullptr, 33, "600000", 1, -1, 0, 452, 0, 1, 1); }, 2, 91,
       1, Concat({code, m1, B({33, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 0xC4}), supplementA})},
      {"supplement B",
       [&] { return RequestKLineSupplementB(engine, nullptr, nullptr, 33, "600000", 1, -1, 0, 452, 0, 1, 0); }, 2, 92,
       1, Concat({code, m1, B({33, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 0xC4}), supplementB})},
      {"minute news marks",
       [&] { return RequestMinuteNewsMarks(engine, nullptr, nullptr, "600000", 1, 0, 1, 0x12345678, 0x9, 0); }, 0x33,
       2, 1, Concat({code, m1, B({0, 0, 0, 9, 0x12, 0x34, 0x56, 0x78})})},
      {"k-line news marks",
       [&] { return RequestKLineNewsMarks(engine, nullptr, nullptr, "600000", 1, 0, 1, 20240101, 0, 20240315, 0, 1); },
       0x33, 3, 1, Concat({code, m1, B({0, 0, 0, 0, 0x01, 0x34, 0xD6, 0xE5, 0, 0, 0, 0, 0x01, 0x34, 0xD7, 0xBB})})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int handle = c.build();
    ASSERT_NE(handle, 0);
    Bytes sent = OnlySent();
    ASSERT_GE(sent.size(), 9u);
    EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 9)),
              Hex(B({c.kind, 1, 0, c.parameter, 5, c.type, 1, handle >> 8, handle & 255})));
    EXPECT_EQ(Hex(BodyOf(sent)), Hex(c.body));
    PendingRequest* entry = FindPendingRequest(engine->pending, handle);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->type, c.type);
    // The stored frame is the whole frame: length, type 1, the packet.
    ASSERT_EQ(entry->frameLength, static_cast<int>(sent.size()) + 5);
    EXPECT_EQ(Bytes(entry->frame + 5, entry->frame + entry->frameLength), sent);
  }
}

TEST_F(RequestBuildersTest, BuildersFillTheirSlotRecordsAndAreas) {
  engine->tickAreas[1]->replyPosition = 77;
  engine->futuresTickArea->replyPosition = 77;
  engine->priceStatArea->levelCount = 77;
  int t = RequestTicks(engine, nullptr, nullptr, 38, "600000", 1, 5, 20, 0, 1, 1);
  RequestFuturesTicks(engine, nullptr, nullptr, "IF2401", 4, -1, 30, 0, 1, 0);
  RequestPriceStatistics(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
  EXPECT_EQ(engine->tickAreas[1]->replyPosition, -1);
  EXPECT_EQ(engine->futuresTickArea->replyPosition, -1);
  EXPECT_EQ(engine->priceStatArea->levelCount, -1);
  PendingRequest* entry = FindPendingRequest(engine->pending, t);
  EXPECT_EQ(entry->params, &engine->tickParams[1]);
  EXPECT_EQ(entry->area, engine->tickAreas[1]);
  EXPECT_STREQ(engine->tickParams[1].stock.code, "600000");
  EXPECT_EQ(engine->tickParams[1].count, 20);
  // The supplements register the K-line view's area of their slot.
  int s = RequestKLineSupplementA(engine, nullptr, nullptr, 33, "600000", 1, -1, 0, 452, 0, 1, 1);
  EXPECT_EQ(FindPendingRequest(engine->pending, s)->area, engine->klineAreas[1]);
  EXPECT_EQ(FindPendingRequest(engine->pending, s)->params, &engine->supplementAParams);
  // The minute request keeps its two values in the record only.
  RequestMinuteData(engine, nullptr, nullptr, 48, "600000", 1, 0, 1, 0xFFFF, 11, 12, 3);
  EXPECT_EQ(engine->minuteParams[3].value1, 11);
  EXPECT_EQ(engine->minuteParams[3].value2, 12);
}

TEST_F(RequestBuildersTest, RefusedArgumentsSendNothing) {
  MakeReady();
  struct Case {
    const char* name;
    std::function<int()> build;
  };
  const Case cases[] = {
      {"null code", [&] { return RequestStockFields(engine, nullptr, nullptr, nullptr, 1, 0, 1, 0); }},
      {"null code ticks", [&] { return RequestTicks(engine, nullptr, nullptr, 38, nullptr, 1, -1, 5, 0, 1, 0); }},
      {"null code news", [&] { return RequestKLineNewsMarks(engine, nullptr, nullptr, nullptr, 1, 0, 1, 0, 0, 0, 0, 0); }},
      {"slot past the end", [&] { return RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 3); }},
      {"negative slot", [&] { return RequestMinuteData(engine, nullptr, nullptr, 48, "600000", 1, 0, 1, 0, 0, 0, -1); }},
      {"empty watch list", [&] { return RequestOwnStockQuotes(engine, nullptr, nullptr, 10, 5, 0, 1, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.build(), 0);
    EXPECT_TRUE(fake.TakeSent().empty());
  }
  EXPECT_EQ(engine->pending->count, 0);
}

TEST_F(RequestBuildersTest, ShortCodeIsZeroPaddedWithoutOverRead) {
  MakeReady();
  char* code = static_cast<char*>(malloc(3));
  memcpy(code, "60", 3);
  RequestF10Catalog(engine, nullptr, nullptr, code, 1, 0, 0, 0);
  free(code);
  EXPECT_EQ(Hex(BodyOf(OnlySent())), Hex(B({'6', '0', 0, 0, 0, 0, 1})));
}

TEST_F(RequestBuildersTest, DictionaryUpdateSendsTheSavedVersion) {
  MakeReady();
  DeleteDataFile("res\\qver.data");
  EXPECT_EQ(RequestDictionaryUpdate(engine, nullptr, nullptr), 0);
  EXPECT_EQ(Hex(BodyOf(OnlySent())), "00 00");
  ASSERT_TRUE(WriteDataFile("res\\qver.data", "20240315", 8));
  EXPECT_EQ(RequestDictionaryUpdate(engine, nullptr, nullptr), 0);
  EXPECT_EQ(Hex(BodyOf(OnlySent())), Hex(Concat({B({0, 8}), Text("20240315")})));
  EXPECT_EQ(engine->dictionaryVersion.length, 8);
  EXPECT_EQ(engine->pending->count, 2);
  EXPECT_EQ(GetPendingRequestAt(engine->pending, 1)->area, engine->dictionaryReply);
}

TEST_F(RequestBuildersTest, LongStockListOutgrowsTheInitialBuffers) {
  MakeReady();
  std::string entries;
  for (int i = 0; i < 700; ++i) {
    char code[8];
    snprintf(code, sizeof code, "%06d", 600000 + i);
    entries.append(code, 6);
    entries.push_back(static_cast<char>(1 + i % 2));
  }
  int handle = RequestStockListQuotes(engine, nullptr, nullptr, entries.data(), static_cast<int>(entries.size()), 0,
                                      1, 2);
  ASSERT_NE(handle, 0);
  Bytes body = BodyOf(OnlySent());
  ASSERT_EQ(body.size(), 2u + 4900 + 2 + 8);
  EXPECT_EQ(Hex(Bytes(body.begin(), body.begin() + 2)), "02 BC");
  EXPECT_EQ(std::string(body.begin() + 2, body.begin() + 4902), entries);
  EXPECT_GE(engine->stockListParams[2].capacity, 4900);
}

class RequestBuildersWatchListTest : public EngineFixture {
 protected:
  void BeforeEngine() override {
    std::string bytes;
    for (int i = 0; i < 3000; ++i) {
      char code[8];
      snprintf(code, sizeof code, "%06d", i);
      bytes.append(code, 6);
      bytes.push_back(static_cast<char>(1 + i % 2));
    }
    watch_ = bytes;
    ASSERT_TRUE(WriteDataFile("res\\own.data", bytes.data(), static_cast<int>(bytes.size())));
  }
  std::string watch_;
};

TEST_F(RequestBuildersWatchListTest, RequestBuildersLongWatchListsThroughTwoSlots) {
  MakeReady();
  EXPECT_EQ(engine->ownStockCount.load(), 3000);
  int a = RequestOwnStockQuotes(engine, nullptr, nullptr, 3000, 40, 0, 1, 0);
  int b = RequestOwnStockQuotes(engine, nullptr, nullptr, 3001, 40, 0, 1, 2);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_EQ(engine->ownStockPageCount.load(), 76);
  auto sent = fake.TakeSent();
  ASSERT_EQ(sent.size(), 2u);
  Bytes body0 = BodyOf(sent[0].payload);
  Bytes body2 = BodyOf(sent[1].payload);
  ASSERT_EQ(body0.size(), 2u + 21000 + 2 + 100);
  ASSERT_EQ(body2.size(), 2u + 21000 + 2 + 8);
  EXPECT_EQ(Hex(Bytes(body0.begin(), body0.begin() + 2)), "0B B8");
  EXPECT_EQ(std::string(body0.begin() + 2, body0.begin() + 21002), watch_);
  EXPECT_EQ(std::string(body2.begin() + 2, body2.begin() + 21002), watch_);
  // A shorter list of 1,000 afterwards reuses the grown buffer.
  std::string thousand = watch_.substr(0, 7000);
  ASSERT_NE(RequestStockListQuotes(engine, nullptr, nullptr, thousand.data(), 7000, 0, 1, 0), 0);
  Bytes body = BodyOf(OnlySent());
  EXPECT_EQ(std::string(body.begin() + 2, body.begin() + 7002), thousand);
}

}  // namespace
