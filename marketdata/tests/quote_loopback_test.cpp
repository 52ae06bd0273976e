// The engine over the framed TCP transport against the simulated
// market-data server on loopback: login, the index push, reconnection,
// refusals, an unknown reply type and a trading-day change.
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <condition_variable>

#include "loopback_test_support.h"
#include "marketdata/request_builders.h"
#include "tools/simbroker/market_server.h"

using namespace engine_test;
using simbroker::JournalEntry;

namespace {

// Stands in for the quote view: on "ready" it cancels its previous standing
// push, resends the waiting requests, asks for the dictionary and subscribes
// the default index list.
struct ViewOwner : LoopbackOwner {
  std::vector<int> events;
  int pushHandle = 0;
  int pushReplies = 0;

  static void OnEvent(void* owner, const void*, int event) {
    auto* self = static_cast<ViewOwner*>(owner);
    if (event == 0) {
      int previous;
      {
        std::lock_guard<std::mutex> hold(self->lock);
        previous = self->pushHandle;
      }
      if (previous) CancelQuoteRequest(self->engine, previous);
      ResendPendingRequests(self->engine);
      RequestDictionaryUpdate(self->engine, nullptr, nullptr);
      int handle = RequestStockListQuotes(self->engine, OnPush, self, nullptr, 0, 0, 1, 1);
      std::lock_guard<std::mutex> hold(self->lock);
      self->pushHandle = handle;
    }
    std::lock_guard<std::mutex> hold(self->lock);
    self->events.push_back(event);
    self->changed.notify_all();
  }
  static void OnPush(void* owner, PendingRequest*) {
    auto* self = static_cast<ViewOwner*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    ++self->pushReplies;
    self->changed.notify_all();
  }
  bool WaitForEvents(std::vector<int> expected) {
    return WaitFor([&] { return events == expected; });
  }
};

class QuoteLoopbackTest : public LoopbackFixture {
 protected:
  void SetUp() override {
    LoopbackFixture::SetUp();
    UseOwner(&owner, ViewOwner::OnEvent);
  }
  std::vector<JournalEntry> OnConnection(int number) {
    std::vector<JournalEntry> out;
    for (auto& e : server->Journal()) {
      if (e.connection == number) out.push_back(e);
    }
    return out;
  }
  bool WaitForRequest(const std::function<bool(const JournalEntry&)>& pred) {
    return server->WaitForRequest(pred, kLoopbackWaitMs);
  }

  ViewOwner owner;
};

TEST_F(QuoteLoopbackTest, LoginReadyAndTheIndexPushArrives) {
  simbroker::MarketServerOptions options;
  options.checkSession = true;
  options.sessionUser = 10086;
  options.sessionToken = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                          0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  ASSERT_TRUE(StartServer(options));
  Connect();
  ASSERT_TRUE(owner.WaitForEvents({0}));
  EXPECT_EQ(engine->state.load(), kQuoteStateReady);
  ASSERT_TRUE(owner.WaitFor([&] { return owner.pushReplies >= 1; }));
  auto journal = OnConnection(1);
  ASSERT_GE(journal.size(), 3u);
  EXPECT_EQ(journal[0].type, 3);
  EXPECT_EQ(journal[0].sequence, 1001);
  EXPECT_EQ(journal[1].type, 1);
  EXPECT_EQ(journal[2].type, 32);
  EXPECT_EQ(journal[2].parameter, 1);
  EXPECT_EQ(journal[2].parsed.stocks, (std::vector<std::pair<std::string, int>>{{"1A0001", 1}, {"399001", 2}}));
  EXPECT_EQ(journal[2].parsed.fieldIds, (std::vector<int>{0, 8, 34, 4, 11}));
  // Pushed updates reach the callback.
  int before = owner.pushReplies;
  server->Tick();
  ASSERT_TRUE(owner.WaitFor([&] { return owner.pushReplies > before; }));
  EXPECT_EQ(engine->savedMarkets.count, 2);
}

TEST_F(QuoteLoopbackTest, ReconnectResendsWithTheOldSequences) {
  ASSERT_TRUE(StartServer());
  int fields = RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
  Connect();
  ASSERT_TRUE(owner.WaitForEvents({0}));
  ASSERT_TRUE(WaitForRequest([](const JournalEntry& e) { return e.type == 32; }));
  const int firstPush = owner.pushHandle;
  server->DropConnections();
  ASSERT_TRUE(owner.WaitForEvents({0, 7}));
  EXPECT_EQ(engine->state.load(), kQuoteStateKeyAwaited);
  Connect();
  ASSERT_TRUE(owner.WaitForEvents({0, 7, 0}));
  ASSERT_TRUE(WaitForRequest([](const JournalEntry& e) { return e.connection == 2 && e.type == 32; }));
  auto second = OnConnection(2);
  // Order: market info, cancel of the old push, the resent requests with
  // their own sequences, dictionary, the new push.
  ASSERT_GE(second.size(), 6u);
  EXPECT_EQ(second[0].type, 3);
  EXPECT_EQ(second[1].type, 17);
  EXPECT_EQ(second[1].sequence, 1);
  EXPECT_EQ(second[1].parsed.numbers, std::vector<int64_t>{firstPush});
  EXPECT_EQ(second[2].type, 33);
  EXPECT_EQ(second[2].sequence, fields);
  EXPECT_EQ(second[3].type, 1);  // the first dictionary request, resent
  EXPECT_EQ(second[4].type, 1);
  EXPECT_EQ(second[5].type, 32);
  EXPECT_NE(second[5].sequence, firstPush);
  // Stock fields went out exactly once per connection.
  int sentFields = 0;
  for (auto& e : server->Journal()) sentFields += e.type == 33 ? 1 : 0;
  EXPECT_EQ(sentFields, 2);
}

TEST_F(QuoteLoopbackTest, RefusalCodesRaiseTheirEvents) {
  struct Case {
    const char* name;
    int32_t code;
    int event;
  };
  const Case cases[] = {{"-16", -16, 4}, {"-15", -15, 5}, {"-14", -14, 6}, {"-2", -2, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      std::lock_guard<std::mutex> hold(owner.lock);
      owner.events.clear();
    }
    simbroker::MarketServerOptions options;
    options.resultCode = c.code;
    ASSERT_TRUE(StartServer(options));
    Connect();
    if (c.event >= 0) {
      EXPECT_TRUE(owner.WaitForEvents({c.event}));
    } else {
      // Unknown code: the client stays in state 1 and says nothing more.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      std::lock_guard<std::mutex> hold(owner.lock);
      EXPECT_TRUE(owner.events.empty());
    }
    EXPECT_EQ(engine->state.load(), kQuoteStateAnswerSent);
    EXPECT_TRUE(server->Journal().empty());
    CloseQuoteConnection(engine);
    server->Stop();
  }
}

TEST_F(QuoteLoopbackTest, UnknownReplyTypeCancelsAndRaisesEventThree) {
  ASSERT_TRUE(StartServer());
  Connect();
  ASSERT_TRUE(owner.WaitForEvents({0}));
  // Every reply so far has arrived (the server answers in order).
  ASSERT_TRUE(owner.WaitFor([&] { return owner.pushReplies >= 1; }));
  server->SetReplyTypeOverride(200);
  int handle = RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
  ASSERT_TRUE(owner.WaitForEvents({0, 3}));
  ASSERT_TRUE(WaitForRequest([&](const JournalEntry& e) {
    return e.type == 17 && e.sequence == 1 && e.parsed.numbers == std::vector<int64_t>{handle};
  }));
  EXPECT_EQ(FindPendingRequest(engine->pending, handle), nullptr);
}

TEST_F(QuoteLoopbackTest, NewTradingDateRenewsAndResends) {
  ASSERT_TRUE(StartServer());
  Connect();
  ASSERT_TRUE(owner.WaitForEvents({0}));
  ASSERT_TRUE(WaitForRequest([](const JournalEntry& e) { return e.type == 32; }));
  const int push = owner.pushHandle;
  server->PushMarketInfo({{1, 20240318, 1}, {2, 20240318, 1}});
  ASSERT_TRUE(WaitForRequest([](const JournalEntry& e) { return e.type == 17 && e.sequence == 2; }));
  auto pushesSent = [&] {
    int n = 0;
    for (auto& e : server->Journal()) n += e.type == 32 && e.sequence == push ? 1 : 0;
    return n;
  };
  for (int waited = 0; pushesSent() < 2 && waited < kLoopbackWaitMs; waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  auto journal = server->Journal();
  int pushes = 0;
  size_t renewAt = 0;
  for (size_t i = 0; i < journal.size(); ++i) {
    if (journal[i].type == 17 && journal[i].sequence == 2) {
      renewAt = i;
      EXPECT_NE(std::find(journal[i].parsed.numbers.begin(), journal[i].parsed.numbers.end(), push),
                journal[i].parsed.numbers.end());
    }
    if (journal[i].type == 32 && journal[i].sequence == push) ++pushes;
  }
  EXPECT_EQ(pushes, 2);
  EXPECT_GT(renewAt, 0u);
}

TEST_F(QuoteLoopbackTest, GzipAndSplitDeliveryStillLogIn) {
  simbroker::MarketServerOptions options;
  options.gzip = true;
  options.splitWritesBytes = 3;
  ASSERT_TRUE(StartServer(options));
  Connect();
  ASSERT_TRUE(owner.WaitForEvents({0}));
  ASSERT_TRUE(owner.WaitFor([&] { return owner.pushReplies >= 1; }));
  int before = owner.pushReplies;
  server->Tick();
  ASSERT_TRUE(owner.WaitFor([&] { return owner.pushReplies > before; }));
}

}  // namespace
