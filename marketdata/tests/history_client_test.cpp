// History-data client: handshake, requests, reply decoding, the stores, and
// an end-to-end download from the simulated history server.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "marketdata/bar_decoders.h"
#include "marketdata/history_client.h"
#include "marketdata/tests/engine_test_support.h"
#include "tools/simbroker/history_server.h"
#include "tools/simbroker/stock_dataset.h"

using namespace engine_test;

namespace {

struct Replies {
  std::mutex lock;
  std::vector<HistoryReply> seen;   // shallow copies (stocks pointer as it was)
  static void Callback(void* owner, HistoryReply* reply) {
    auto* self = static_cast<Replies*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    self->seen.push_back(*reply);
  }
};

simbroker::BarStock Stock(const std::string& code, int market, int decimals = 2) {
  simbroker::BarStock s;
  s.code = code;
  s.name = "股票" + code;
  s.market = market;
  s.decimals = decimals;
  s.kind = 2;
  return s;
}

class HistoryClientTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    client = CreateHistoryClient();
    ASSERT_NE(client, nullptr);
    SetHistoryTransportForTesting(client, &fake);
    SetHistoryEventHandler(client, EventLog::Handler, &log);
    log.events.clear();
  }
  void TearDown() override {
    FreeHistoryClient(client);
    EngineFixture::TearDown();
  }
  void Login() {
    ConnectHistoryServer(client, "127.0.0.1", 8111);
    fake.InjectState(kConnectionUp);
    fake.Inject(Bytes(24, 3));
    fake.Inject(B({0, 0xFF, 0xFF, 0xFF, 0xFF}));
    ASSERT_EQ(client->state.load(), 2);
    fake.TakeSent();
    log.events.clear();
  }
  void Reply(int type, const Bytes& body, bool gzip = false, int kind = 10) {
    Bytes packet = simbroker::HistoryReplyPacket(type, 100, body, gzip);
    packet[0] = static_cast<unsigned char>(kind);
    fake.Inject(packet);
  }

  HistoryClient* client = nullptr;
};

TEST_F(HistoryClientTest, HandshakeAnswersEveryDataFrameWithAnEmptyFrame) {
  SetHistoryCredentials(client, "123456", "00112233445566778899aabbccddeeff");
  ConnectHistoryServer(client, "127.0.0.1", 8111);
  EXPECT_EQ(fake.host, "127.0.0.1");
  EXPECT_EQ(fake.port, 8111);
  fake.InjectState(kConnectionUp);
  fake.Inject(Bytes(24, 3));
  Bytes answer = OnlySent();
  ASSERT_EQ(answer.size(), 57u);
  EXPECT_EQ(answer[0], 4);
  EXPECT_EQ(Hex(Bytes(answer.begin() + 33, answer.begin() + 41)), "00 00 00 00 00 01 E2 40");
  EXPECT_EQ(answer[41], 0x00);
  EXPECT_EQ(answer[56], 0xFF);
  fake.Inject(B({0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(log.Codes(), std::vector<int>{0});
  EXPECT_EQ(fake.keepAlive, 0);
  EXPECT_TRUE(fake.TakeSent().empty());  // no market-information step
  Reply(8, simbroker::HistorySummaryBody(0, 3));
  auto sent = fake.TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].payload.empty());
}

TEST_F(HistoryClientTest, ResultCodesAndTransportStatesRaiseTheirEvents) {
  struct Case {
    const char* name;
    int32_t code;
    std::vector<int> events;
  };
  const Case cases[] = {{"-16", -16, {4}}, {"-15", -15, {5}}, {"-14", -14, {6}}, {"other", 7, {}}};
  for (const Case& c : cases) {
    log.events.clear();
    ConnectHistoryServer(client, "127.0.0.1", 8111);
    fake.InjectState(kConnectionUp);
    fake.Inject(Bytes(24, 3));
    fake.Inject(simbroker::ResultMessage(c.code));
    EXPECT_EQ(log.Codes(), c.events) << c.name;
    EXPECT_EQ(client->state.load(), 1) << c.name;
  }
  log.events.clear();
  fake.InjectState(kConnectionClosed);
  fake.InjectState(kConnectionConnectFailed);
  fake.InjectState(kConnectionFailed);
  EXPECT_EQ(log.Codes(), (std::vector<int>{7, 1, 1}));
  EXPECT_EQ(client->state.load(), 0);
}

TEST_F(HistoryClientTest, RequestsCarrySequencesFromOneHundred) {
  Login();
  Replies replies;
  EXPECT_EQ(RequestHistoryBars(client, 1104, 0, 33, 730, 0, 0, 0, 1, Replies::Callback, &replies), 100);
  EXPECT_EQ(Hex(OnlySent()), Hex(Concat({B({10, 1, 8, 0, 100}), B({0, 0, 0, 0, 0, 0, 0x04, 0x50}), B({33}),
                                         B({0, 0, 2, 0xDA}), B({0, 0, 0, 0}), B({0, 0, 0, 0}), B({0, 0, 0, 0}),
                                         B({1})})));
  CancelHistoryRequest(client);
  EXPECT_EQ(Hex(OnlySent()), Hex(B({10, 1, 7, 0, 101})));
  RequestHistoryBars(client, 0xFFFFFFFF, 0x7F, 33, 5, 1, 2, 3, 2, Replies::Callback, &replies);
  Bytes third = OnlySent();
  EXPECT_EQ(Hex(Bytes(third.begin(), third.begin() + 13)),
            Hex(B({10, 1, 8, 0, 102, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF})));
  EXPECT_EQ(third.size(), 31u);
}

// A reply may come back before RequestHistoryBars returns: the request's
// handler must already be the one it reaches, never the previous one.
TEST_F(HistoryClientTest, RequestsHandlerIsInPlaceWhenTheRequestLeaves) {
  Login();
  Replies first;
  Replies second;
  RequestHistoryBars(client, 1104, 0, 33, 730, 0, 0, 0, 1, Replies::Callback, &first);
  fake.TakeSent();
  std::vector<bool> handlerReady;
  fake.onSend = [&](const FakeQuoteTransport::Sent&) {
    handlerReady.push_back(client->replyCallback == Replies::Callback && client->replyOwner == &second);
  };
  RequestHistoryBars(client, 1104, 0, 33, 730, 0, 0, 0, 2, Replies::Callback, &second);
  fake.onSend = nullptr;
  EXPECT_EQ(handlerReady, std::vector<bool>{true});
}

TEST_F(HistoryClientTest, RepliesAreDecodedByTypeAndReachTheCallback) {
  Login();
  Replies replies;
  RequestHistoryBars(client, 1104, 0, 33, 730, 0, 0, 0, 1, Replies::Callback, &replies);
  std::vector<simbroker::WireBar> bars = simbroker::HistoryBarsFor(Stock("600000", 1), 5, 20240315, 1);
  Reply(8, simbroker::HistoryStockBody(0, Stock("600000", 1), bars), true);  // gzip
  ASSERT_EQ(client->barReply.stockCount, 1);
  HistoryStockRecord* first = client->barReply.stocks;
  EXPECT_STREQ(first->key.code, "600000");
  EXPECT_EQ(first->key.market, 1);
  ASSERT_EQ(first->barCount, 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(first->bars[i].time, bars[i].time);
    EXPECT_EQ(first->bars[i].close, BarUnitsToPrice(bars[i].close, 2));
    EXPECT_EQ(first->bars[i].volume, bars[i].volume);
    EXPECT_EQ(first->bars[i].field11, bars[i].field11);
  }
  // A summary changes total, not the stock array; the end status leaves it.
  Reply(8, simbroker::HistorySummaryBody(7, 50));
  EXPECT_EQ(client->barReply.total, 50);
  EXPECT_EQ(client->barReply.value, 7);
  EXPECT_EQ(client->barReply.stocks, first);
  Reply(8, simbroker::HistoryEndBody());
  EXPECT_EQ(client->barReply.status, -1);
  EXPECT_EQ(client->barReply.stocks, first);
  // Other types and other packet kinds are ignored; list types fill their own record.
  Reply(5, simbroker::HistorySummaryBody(0, 9));
  Reply(8, simbroker::HistorySummaryBody(0, 9), false, 2);
  Bytes list = B({2, 0, 0, 0, 0, 0, 0, 0, 0});
  Reply(2, list);
  EXPECT_EQ(client->listReplies[1].type, 2);
  EXPECT_EQ(client->listReplies[1].stockCount, 0);
  std::lock_guard<std::mutex> hold(replies.lock);
  ASSERT_EQ(replies.seen.size(), 4u);
  EXPECT_EQ(replies.seen[1].subKind, 1);
  EXPECT_EQ(replies.seen[1].total, 50);
  EXPECT_EQ(replies.seen[2].status, -1);
  EXPECT_EQ(replies.seen[3].type, 2);
}

TEST_F(HistoryClientTest, TruncatedAndLyingRepliesKeepWholeBars) {
  Login();
  std::vector<simbroker::WireBar> bars = simbroker::HistoryBarsFor(Stock("000001", 2), 20, 20240315, 1);
  Bytes body = simbroker::HistoryStockBody(0, Stock("000001", 2), bars);
  for (size_t cut : {body.size() - 1, body.size() / 2, size_t{20}, size_t{1}}) {
    Bytes part(body.begin(), body.begin() + static_cast<long>(cut));
    Reply(8, part);
    int n = client->barReply.stockCount ? client->barReply.stocks[0].barCount : 0;
    EXPECT_LT(n, 20) << cut;
  }
  // A stock count of 2^31 - 1 and a bar count beyond the body.
  Bytes lying = body;
  lying[13] = 0x7F;
  lying[17 + 33] = 0x7F;
  Reply(8, lying);
  ASSERT_EQ(client->barReply.stockCount, 1);
  EXPECT_EQ(client->barReply.stocks[0].barCount, 20);
}

// The gzip trailer's size is a claim: one that deflate could not reach from
// the compressed length is refused at once, and a true one of any size is
// decoded with an output that grows as it fills.
TEST_F(HistoryClientTest, GzipSizeClaimsAreBoundedByTheCompressedLength) {
  Login();
  Replies replies;
  RequestHistoryBars(client, 1104, 0, 33, 730, 0, 0, 0, 1, Replies::Callback, &replies);
  // A true reply well past the first output size (and most compressible).
  std::vector<simbroker::WireBar> bars = simbroker::HistoryBarsFor(Stock("600000", 1), 6000, 20240315, 1);
  Bytes big = simbroker::HistoryReplyPacket(8, 100, simbroker::HistoryStockBody(0, Stock("600000", 1), bars), true);
  big[0] = 10;
  ASSERT_EQ(1, DispatchHistoryReply(client, big.data(), static_cast<int>(big.size())));
  ASSERT_EQ(client->barReply.stockCount, 1);
  EXPECT_EQ(client->barReply.stocks[0].barCount, 6000);
  EXPECT_EQ(client->barReply.stocks[0].bars[5999].time, bars[5999].time);

  // Claims past 1032:1 of the compressed length, or past the real content,
  // or short of it: refused, the record as it was.
  auto withClaim = [&](Bytes packet, uint32_t claim) {
    for (int i = 0; i < 4; ++i) packet[packet.size() - 4 + i] = static_cast<unsigned char>(claim >> (8 * i));
    return packet;
  };
  Bytes small = simbroker::HistoryReplyPacket(8, 100, simbroker::HistorySummaryBody(7, 50), true);
  small[0] = 10;
  const uint32_t compressed = static_cast<uint32_t>(small.size() - 1);
  for (uint32_t claim : {0x0FFFFFFFu, compressed * 1032 + 1, compressed * 1032, 0x7FFFu, 9u}) {
    Bytes lying = withClaim(small, claim);
    EXPECT_EQ(0, DispatchHistoryReply(client, lying.data(), static_cast<int>(lying.size()))) << claim;
  }
  EXPECT_EQ(client->barReply.stocks[0].barCount, 6000);
  {
    std::lock_guard<std::mutex> hold(replies.lock);
    EXPECT_EQ(replies.seen.size(), 1u);
  }
  // A lying claim costs a small packet's work, not a quarter gigabyte's.
  Bytes lying = withClaim(small, 0x0FFFFFFFu);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20000; ++i) DispatchHistoryReply(client, lying.data(), static_cast<int>(lying.size()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(HistoryClientTest, StoreAndReadUseTheStoreOfTheMarket) {
  std::vector<DayBar> bars(3);
  for (int i = 0; i < 3; ++i) {
    bars[i].time = simbroker::PackDateTime(2024, 3, 11 + i, 15, 0);
    bars[i].close = 10.0f + i;
  }
  auto area = std::make_unique<KLineArea>();
  area->first = 7;
  StoreHistoryBars(client, "600000", 1, bars.data(), 3, area.get());
  EXPECT_EQ(area->barCount, 3);
  EXPECT_EQ(area->end, 3);
  EXPECT_EQ(area->first, 0);
  EXPECT_EQ(area->bars[2].close, 12.0f);
  StoreHistoryBars(client, "000001", 2, bars.data(), 2, area.get());
  StoreHistoryBars(client, "000001", 5, bars.data(), 1, area.get());
  EXPECT_EQ(area->barCount, 1);
  int count = -1;
  EXPECT_NE(ReadStoredDayBars(client, "600000", 1, &count), nullptr);
  EXPECT_EQ(count, 3);
  ReadStoredDayBars(client, "000001", 2, &count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(FindDayStoreEntry(client->shStore, "000001", 2), -1);
  EXPECT_NE(FindDayStoreEntry(client->szStore, "000001", 5), -1);
  EXPECT_EQ(ReadStoredDayBars(client, "600000", 2, &count), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(ReadStoredDayBars(client, "", 1, &count), nullptr);
  EXPECT_EQ(ReadStoredDayBars(client, nullptr, 1, &count), nullptr);
  StoreHistoryBars(client, "", 1, bars.data(), 3, area.get());
  EXPECT_EQ(area->barCount, 1);  // untouched
  // The span: count and the oldest and newest packed times, zeros when
  // nothing is stored.
  uint32_t oldest = 1, newest = 1;
  EXPECT_EQ(StoredDayBarSpan(client, "600000", 1, &oldest, &newest), 3);
  EXPECT_EQ(oldest, bars[0].time);
  EXPECT_EQ(newest, bars[2].time);
  EXPECT_EQ(StoredDayBarSpan(client, "600000", 2, &oldest, &newest), 0);
  EXPECT_EQ(oldest, 0u);
  EXPECT_EQ(newest, 0u);
  EXPECT_EQ(StoredDayBarSpan(client, nullptr, 1, &oldest, &newest), 0);
  // The directory was written: a new client reads the same series.
  HistoryClient* second = CreateHistoryClient();
  ReadStoredDayBars(second, "600000", 1, &count);
  EXPECT_EQ(count, 3);
  FreeHistoryClient(second);
}

// What the download dialog does with the replies of one category: collect a
// stock's bars, merge them when the next stock starts, end on status -1.
struct Download {
  HistoryClient* client = nullptr;
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  int total = -1;
  int replies = 0;
  StockKey current{};
  std::vector<DayBar> collected;

  void Merge() {
    if (collected.empty()) return;
    MergeDayStoreBars(HistoryStoreFor(client, current.market), current.code, current.market, collected.data(),
                      static_cast<int>(collected.size()));
    collected.clear();
  }
  static void OnReply(void* owner, HistoryReply* reply) {
    auto* self = static_cast<Download*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    if (reply->subKind == 1) {
      self->total = reply->total;
      self->done.notify_all();
      return;
    }
    if (reply->status < 0) {
      self->Merge();
      WriteDayStoreDirectory(self->client->shStore);
      WriteDayStoreDirectory(self->client->szStore);
      self->finished = true;
      self->done.notify_all();
      return;
    }
    for (int i = 0; i < reply->stockCount; ++i) {
      const HistoryStockRecord& s = reply->stocks[i];
      if (std::strcmp(s.key.code, self->current.code) != 0 || s.key.market != self->current.market) {
        self->Merge();
        self->current = s.key;
      }
      self->collected.insert(self->collected.end(), s.bars, s.bars + s.barCount);
    }
    ++self->replies;
  }
};

TEST_F(HistoryClientTest, HistoryDownloadOfACategoryFillsTheStores) {
  simbroker::HistoryServerOptions options;
  std::vector<simbroker::BarStock> stocks;
  for (int i = 0; i < 50; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, i % 2 ? "%06d" : "6%05d", i);
    stocks.push_back(Stock(code, i % 2 ? 2 : 1, i % 5 == 0 ? 3 : 2));
  }
  options.categories[1104] = stocks;
  options.gzip = true;
  simbroker::HistoryServer server(options, simbroker::StockDataset{});
  ASSERT_TRUE(server.Start());

  SetHistoryTransportForTesting(client, nullptr);
  Download download;
  download.client = client;
  struct Ready {
    std::mutex lock;
    std::condition_variable cv;
    std::vector<int> events;
    static void Handler(void* owner, const void*, int event) {
      auto* self = static_cast<Ready*>(owner);
      std::lock_guard<std::mutex> hold(self->lock);
      self->events.push_back(event);
      self->cv.notify_all();
    }
  } ready;
  SetHistoryEventHandler(client, Ready::Handler, &ready);
  ConnectHistoryServer(client, "127.0.0.1", server.Port());
  {
    std::unique_lock<std::mutex> hold(ready.lock);
    ASSERT_TRUE(ready.cv.wait_for(hold, std::chrono::seconds(10), [&] { return !ready.events.empty(); }));
    ASSERT_EQ(ready.events[0], 0);
  }
  RequestHistoryBars(client, 1104, 0, 33, 730, 0, 0, 0, 1, Download::OnReply, &download);
  {
    // The count comes first; the bars are asked for once it is known.
    std::unique_lock<std::mutex> hold(download.lock);
    ASSERT_TRUE(download.done.wait_for(hold, std::chrono::seconds(60), [&] { return download.total >= 0; }));
  }
  RequestHistoryBars(client, 1104, 0, 33, 730, 0, 0, 0, 2, Download::OnReply, &download);
  {
    std::unique_lock<std::mutex> hold(download.lock);
    ASSERT_TRUE(download.done.wait_for(hold, std::chrono::seconds(60), [&] { return download.finished; }));
    EXPECT_EQ(download.total, 50);
    EXPECT_EQ(download.replies, 50);
  }
  CloseHistoryConnection(client);

  // Both stores hold every stock's served series, also after reopening.
  HistoryClient* reopened = CreateHistoryClient();
  for (const simbroker::BarStock& s : stocks) {
    std::vector<simbroker::WireBar> served = simbroker::HistoryBarsFor(s, 730, options.lastDate, options.seed);
    int count = 0;
    const DayBar* stored = ReadStoredDayBars(reopened, s.code.c_str(), s.market, &count);
    ASSERT_EQ(count, 730) << s.code;
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(stored[i].time, served[i].time) << s.code << " bar " << i;
      ASSERT_EQ(stored[i].open, BarUnitsToPrice(served[i].open, s.decimals));
      ASSERT_EQ(stored[i].close, BarUnitsToPrice(served[i].close, s.decimals));
      ASSERT_EQ(stored[i].amount, served[i].amount);
      ASSERT_EQ(stored[i].volume, served[i].volume);
    }
  }
  EXPECT_EQ(reopened->shStore->header.entriesInUse, 25u);
  EXPECT_EQ(reopened->szStore->header.entriesInUse, 25u);
  FreeHistoryClient(reopened);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].sequence, 100);
  EXPECT_EQ(requests[1].step, 2);
  EXPECT_EQ(requests[1].count, 730);
  server.Stop();
  EXPECT_GE(server.EmptyFramesReceived(), 51);
}

}  // namespace
