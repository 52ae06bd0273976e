// The engine against the simulated market-data server on loopback: a
// 1,000-stock watch list and a 150-row sorted page are subscribed, decoded
// and compared with the server's own values, before and after a push.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "marketdata/request_builders.h"
#include "tools/simbroker/market_server.h"
#include "tools/simbroker/quote_list_replies.h"

using namespace engine_test;

namespace {

constexpr int kWatchStocks = 1000;
constexpr int kPageRows = 150;
constexpr int kWaitMs = 10000;
constexpr uint64_t kSeed = 11;

// What a page would copy out of the areas in its callback.
struct Page {
  std::mutex lock;
  std::condition_variable changed;
  int listReplies = 0;
  int sortedReplies = 0;
  std::vector<QuoteRecord> list;
  std::vector<QuoteRecord> sorted;
  int32_t sortedTotal = 0;
  QuoteEngine* engine = nullptr;

  static void OnReady(void* owner, const void*, int event) {
    if (event == 0) ResendPendingRequests(static_cast<Page*>(owner)->engine);
  }
  static void OnList(void* owner, PendingRequest* entry) {
    auto* self = static_cast<Page*>(owner);
    const auto* area = static_cast<const QuoteListArea*>(entry->area);
    std::lock_guard<std::mutex> hold(self->lock);
    self->list.assign(area->list.records, area->list.records + area->recordsHeld);
    ++self->listReplies;
    self->changed.notify_all();
  }
  static void OnSorted(void* owner, PendingRequest* entry) {
    auto* self = static_cast<Page*>(owner);
    const auto* area = static_cast<const SortedQuoteListArea*>(entry->area);
    std::lock_guard<std::mutex> hold(self->lock);
    self->sorted.assign(area->list.records, area->list.records + area->recordsHeld);
    self->sortedTotal = area->start;
    ++self->sortedReplies;
    self->changed.notify_all();
  }
  bool WaitFor(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_for(hold, std::chrono::milliseconds(kWaitMs), done);
  }
};

class QuoteDecodersEndToEnd : public EngineFixture {
 protected:
  void BeforeEngine() override {
    std::string bytes;
    for (const simbroker::SimStock& s : simbroker::SyntheticStocks(kWatchStocks, kSeed)) {
      bytes += s.code;
      bytes += static_cast<char>(s.market);
    }
    ASSERT_TRUE(WriteDataFile("res\\own.data", bytes.data(), static_cast<int>(bytes.size())));
  }
  void SetUp() override {
    EngineFixture::SetUp();
    SetQuoteTransportForTesting(engine, nullptr);
    page.engine = engine;
    SetQuoteEventHandler(engine, Page::OnReady, &page);
    SetQuoteCredentials(engine, "10086", "00112233445566778899aabbccddeeff");
    simbroker::MarketServerOptions options;
    options.pushIntervalMs = 0;
    options.seed = kSeed;
    options.extraStocks = kWatchStocks;
    server = std::make_unique<simbroker::MarketDataServer>(options);
    ASSERT_TRUE(server->Start());
  }
  void TearDown() override {
    CloseQuoteConnection(engine);
    server->Stop();
    EngineFixture::TearDown();
  }

  // Every record matches the server's stock of its code and market.
  void ExpectServerValues(const std::vector<QuoteRecord>& records, const char* what) {
    for (const QuoteRecord& r : records) {
      simbroker::SimStock s;
      ASSERT_TRUE(server->Data().Find(r.key.code, r.key.market, &s)) << what << " " << r.key.code;
      EXPECT_EQ(s.name, r.key.name) << what;
      EXPECT_FLOAT_EQ(r.lastPrice, static_cast<float>(simbroker::QuoteFieldValue(s, 8) / 10000.0)) << what << " " << s.code;
      EXPECT_FLOAT_EQ(r.previousClose, static_cast<float>(simbroker::QuoteFieldValue(s, 4) / 10000.0)) << what;
      EXPECT_EQ(r.totalVolume, s.volume) << what << " " << s.code;
      EXPECT_EQ(r.amount, s.amount) << what;
      EXPECT_EQ(r.changePercent, simbroker::QuoteFieldValue(s, 34)) << what;
      EXPECT_FLOAT_EQ(r.bidPrice1, static_cast<float>(simbroker::QuoteFieldValue(s, 13) / 10000.0)) << what;
      EXPECT_EQ(r.outerVolume, simbroker::QuoteFieldValue(s, 32)) << what;
    }
  }

  Page page;
  std::unique_ptr<simbroker::MarketDataServer> server;
};

TEST_F(QuoteDecodersEndToEnd, WatchListAndSortedPageMatchTheServer) {
  ASSERT_EQ(engine->ownStockCount.load(), kWatchStocks);
  ASSERT_NE(RequestOwnStockQuotes(engine, Page::OnList, &page, kWatchStocks, kWatchStocks, 0, 1, 0), 0);
  ASSERT_NE(RequestQuoteList(engine, Page::OnSorted, &page, '(', 2, 1, 0, 34, 0, 0, 1, kPageRows, 0), 0);
  ConnectQuoteServer(engine, "127.0.0.1", server->Port(), "http://127.0.0.1/q");
  ASSERT_TRUE(page.WaitFor([&] { return page.listReplies >= 1 && page.sortedReplies >= 1; }));
  {
    std::lock_guard<std::mutex> hold(page.lock);
    ASSERT_EQ(page.list.size(), static_cast<size_t>(kWatchStocks));
    ASSERT_EQ(page.sorted.size(), static_cast<size_t>(kPageRows));
    EXPECT_EQ(page.sortedTotal, static_cast<int32_t>(server->Data().All().size()));
    std::vector<simbroker::SimStock> watch = simbroker::SyntheticStocks(kWatchStocks, kSeed);
    for (int i = 0; i < kWatchStocks; ++i) EXPECT_EQ(page.list[i].key.code, watch[i].code) << i;
    ExpectServerValues(page.list, "watch list");
    ExpectServerValues(page.sorted, "sorted page");
    for (int i = 1; i < kPageRows; ++i) EXPECT_LE(page.sorted[i].changePercent, page.sorted[i - 1].changePercent);
  }

  // One push round moves every price; the updates merge into the held rows.
  const int lists = page.listReplies, pages = page.sortedReplies;
  server->Tick();
  ASSERT_TRUE(page.WaitFor([&] { return page.listReplies > lists && page.sortedReplies > pages; }));
  std::lock_guard<std::mutex> hold(page.lock);
  ASSERT_EQ(page.list.size(), static_cast<size_t>(kWatchStocks));
  ExpectServerValues(page.list, "watch list after the push");
  ExpectServerValues(page.sorted, "sorted page after the push");
}

}  // namespace
