// The simulated server's minute, tick and alert replies against the
// decoders: the day's minute points and ticks add up to the quote; and a
// minute and a tick subscription end to end over loopback across three
// pushes. Also: a reply under another kind of request leaves its area alone.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>

#include "loopback_test_support.h"
#include "marketdata/f10_alert_decoders.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/reply_families.h"
#include "marketdata/request_builders.h"
#include "marketdata/tick_decoders.h"
#include "tools/simbroker/market_server.h"
#include "tools/simbroker/minute_tick_replies.h"

using namespace engine_test;
using simbroker::JournalEntry;
using simbroker::MarketData;
using simbroker::SimStock;

namespace {

JournalEntry Request(int type, const std::string& code, int market, std::vector<int64_t> numbers,
                     std::vector<int> byteList, int sequence) {
  JournalEntry e;
  e.connection = 1;
  e.kind = 2;
  e.type = type;
  e.sequence = sequence;
  e.parsed.code = code;
  e.parsed.market = market;
  e.parsed.numbers = std::move(numbers);
  e.parsed.byteList = std::move(byteList);
  e.parsedOk = true;
  return e;
}

ReplyReader ReaderOf(const Bytes& body) { return ReplyReader(body.data(), static_cast<int>(body.size())); }

TEST(MinuteTickSimTest, MinutePointsAndTicksAddUpToTheQuote) {
  MarketData data(11);
  for (int i = 0; i < 30; ++i) {
    data.Step();
    simbroker::RecordTapeTrades(data);
  }
  SimStock stock;
  ASSERT_TRUE(data.Find("600036", 1, &stock));
  auto minutes = std::make_unique<MinuteArea>();
  Bytes body;
  ASSERT_TRUE(simbroker::BuildMinuteDataReply(data, Request(48, "600036", 1, {0xFFFF}, {1, 2, 3, 4, 5, 6, 7, 8}, 5),
                                              1, &body));
  ReplyReader r1 = ReaderOf(body);
  DecodeMinuteData(minutes.get(), &r1, 48, 1);
  ASSERT_EQ(minutes->pointsHeld, 30);
  int64_t volume = 0, amount = 0;
  for (int i = 0; i < minutes->pointsHeld; ++i) {
    volume += minutes->points[i].volume;
    amount += minutes->points[i].amount;
  }
  EXPECT_EQ(volume, stock.volume);
  EXPECT_EQ(amount, stock.amount);
  EXPECT_FLOAT_EQ(minutes->points[29].price, static_cast<float>(stock.last));
  EXPECT_NEAR(minutes->points[29].average, static_cast<double>(stock.amount) / stock.volume, 0.0001);
  EXPECT_FLOAT_EQ(minutes->previousClose, static_cast<float>(stock.prevClose));

  auto ticks = std::make_unique<TickArea>();
  ASSERT_TRUE(simbroker::BuildTickReply(data, Request(80, "600036", 1, {-1, 100}, {}, 6), 1, &body));
  ReplyReader r2 = ReaderOf(body);
  DecodeLevel2Ticks(ticks.get(), &r2, 1, 100);
  ASSERT_EQ(ticks->ticksHeld, 30);
  int64_t tickVolume = 0;
  for (int i = 0; i < ticks->ticksHeld; ++i) tickVolume += ticks->ticks[i].volume;
  EXPECT_EQ(tickVolume, stock.volume);
  EXPECT_EQ(ticks->replyPosition, 30);
  EXPECT_EQ(ticks->ticks[0].time, 93000 + ticks->ticks[0].time % 100);
  EXPECT_EQ(ticks->ticks[29].tradeNumber, 30);

  auto stats = std::make_unique<PriceStatArea>();
  ASSERT_TRUE(simbroker::BuildPriceStatReply(data, Request(60, "600036", 1, {}, {}, 7), 1, &body));
  ReplyReader r3 = ReaderOf(body);
  DecodePriceStatistics(stats.get(), &r3, 1);
  int64_t levelVolume = 0;
  for (int i = 0; i < stats->levelCount; ++i) levelVolume += stats->levels[i].volume;
  EXPECT_EQ(stats->totalVolume, stock.volume);
  EXPECT_EQ(levelVolume, stock.volume);
}

TEST(MinuteTickSimTest, AlertsFireFromThePricePathAndDecode) {
  MarketData data(3);
  for (int i = 0; i < 200; ++i) {
    data.Step();
    simbroker::RecordTapeTrades(data);
  }
  const std::vector<simbroker::WireAlert> alerts = simbroker::TapeAlerts(data);
  ASSERT_FALSE(alerts.empty());
  std::set<int> kinds;
  for (const auto& a : alerts) {
    kinds.insert(a.kind);
    EXPECT_GE(a.kind, 1);
    EXPECT_LE(a.kind, 20);
  }
  EXPECT_GE(kinds.size(), 8u);
  auto area = std::make_unique<AlertRecordArea>();
  Bytes body;
  JournalEntry request = Request(62, "", 0, {1}, {}, 9);
  request.parsed.text = "\x01\x02";
  ASSERT_TRUE(simbroker::BuildAlertRecordsReply(data, request, 1, &body));
  ReplyReader r = ReaderOf(body);
  DecodeAlertRecords(area.get(), &r, 1);
  ASSERT_EQ(area->recordsHeld, static_cast<int>(std::min<size_t>(alerts.size(), kAlertRecordRoom)));
  EXPECT_EQ(area->records[0].kind, alerts[0].kind);
  EXPECT_EQ(area->records[0].time, alerts[0].time);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(area->records[0].values), alerts[0].value.size()),
            alerts[0].value);

  auto item = std::make_unique<F10ItemArea>();
  ASSERT_TRUE(simbroker::BuildF10ItemReply(data, Request(71, "600519", 1, {1}, {}, 10), 1, &body));
  ReplyReader ri = ReaderOf(body);
  DecodeF10Item(item.get(), &ri);
  EXPECT_STREQ(item->title.get(), "公司概况");
  EXPECT_NE(std::string(item->content.get()).find("贵州茅台股份有限公司"), std::string::npos);
}

// A reply whose type belongs to another kind of request (a minute reply under
// a tick request's sequence) runs the callback but leaves the area alone.
class MinuteTickDispatchTest : public EngineFixture {};

TEST_F(MinuteTickDispatchTest, ReplyOfAnotherKindLeavesTheAreaAlone) {
  const int sequence = RequestTicks(engine, nullptr, nullptr, 38, "600036", 1, -1, 50, 1, 1, 0);
  ASSERT_NE(sequence, 0);
  TickArea* area = engine->tickAreas[0];
  area->ticksHeld = 7;
  SimStock stock{};
  stock.code = "600036";
  stock.decimals = 2;
  Bytes body = simbroker::MinuteDataBody(48, true, stock, 1000, 0, 0, 0, {1, 3}, {{1000, 0, 5}});
  Bytes packet = simbroker::ReplyPacket(2, 1, 48, sequence, body, false);
  ASSERT_EQ(DispatchQuoteReply(engine, packet.data(), static_cast<int>(packet.size())), 1);
  EXPECT_EQ(area->ticksHeld, 7);
  EXPECT_EQ(area->replyPosition, -1);
  // The tick reply itself decodes.
  body = simbroker::TickBody(false, true, stock, 1000, 3, {{100000, 5, 93000, 1, 'B'}});
  packet = simbroker::ReplyPacket(2, 1, 38, sequence, body, false);
  ASSERT_EQ(DispatchQuoteReply(engine, packet.data(), static_cast<int>(packet.size())), 1);
  EXPECT_EQ(area->ticksHeld, 1);
  EXPECT_EQ(area->replyPosition, 3);
}

TEST_F(MinuteTickDispatchTest, FamiliesOfRepliesAndRequests) {
  struct Case {
    const char* name;
    int kind, request, reply;
    bool fits;
  } cases[] = {
      {"same type", 2, 33, 33, true},
      {"ranking under stock fields", 2, 33, 41, false},
      {"minute flow under a minute request", 2, 48, 93, true},
      {"type-37 points under a minute request", 2, 48, 37, true},
      {"minute data under a tick request", 2, 38, 48, false},
      {"order queue under a tick request", 2, 38, 83, true},
      {"level-2 ticks under futures ticks", 2, 67, 80, false},
      {"field tables share their area", 2, 43, 46, true},
      {"category list under a sorted list", 2, 40, 42, true},
      {"bar supplement under K-line bars", 2, 68, 91, true},
      {"alert records under the alert query", 2, 61, 62, false},
      {"F10 item under the catalogue", 2, 70, 71, false},
      {"news marks of either request", 0x33, 2, 3, true},
      {"news kind, unknown request", 0x33, 2, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReplyFitsRequest(c.kind, c.request, c.reply), c.fits);
  }
  // A ranking reply under a stock-fields request leaves its area alone.
  const int sequence = RequestStockFields(engine, nullptr, nullptr, "600036", 1, 0, 1, 0);
  ASSERT_NE(sequence, 0);
  Bytes ranking = {0, 0, 0, 0, 0, 0, 0, 1, 20};
  ranking.resize(ranking.size() + 9 * 20 * 50, 0xFF);
  Bytes packet = simbroker::ReplyPacket(2, 1, 41, sequence, ranking, false);
  engine->stockFieldsAreas[0]->fieldCount = 3;
  ASSERT_EQ(DispatchQuoteReply(engine, packet.data(), static_cast<int>(packet.size())), 1);
  EXPECT_EQ(engine->stockFieldsAreas[0]->fieldCount, 3);
}

// Minute and tick subscriptions against the simulated server: after the
// complete replies and after each of three pushes the areas hold the day's
// trades, adding up to the quote.
struct SubscriptionOwner : LoopbackOwner {
  int minuteReplies = 0;
  int tickReplies = 0;

  static void OnMinutes(void* owner, PendingRequest*) {
    auto* self = static_cast<SubscriptionOwner*>(owner);
    self->Note([&] { ++self->minuteReplies; });
  }
  static void OnTicks(void* owner, PendingRequest*) {
    auto* self = static_cast<SubscriptionOwner*>(owner);
    self->Note([&] { ++self->tickReplies; });
  }
};

class MinuteTickLoopbackTest : public LoopbackFixture {
 protected:
  void SetUp() override {
    LoopbackFixture::SetUp();
    UseOwner(&owner);
  }

  SubscriptionOwner owner;
};

TEST_F(MinuteTickLoopbackTest, MinuteAndTickSubscriptionsAcrossThreePushes) {
  simbroker::MarketServerOptions options;
  options.seed = 21;
  ASSERT_TRUE(StartServer(options));
  for (int i = 0; i < 5; ++i) server->Tick();   // a morning before anyone asks

  constexpr int kCapacity = 6;
  ASSERT_NE(RequestMinuteData(engine, SubscriptionOwner::OnMinutes, &owner, 48, "000858", 2, 1, 1, 0xFFFF, 0, 0, 0), 0);
  ASSERT_NE(RequestTicks(engine, SubscriptionOwner::OnTicks, &owner, 38, "000858", 2, -1, kCapacity, 1, 1, 0), 0);
  Connect();
  ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0 && owner.minuteReplies == 1 && owner.tickReplies == 1; }));

  const MinuteArea* minutes = engine->minuteAreas[0];
  const TickArea* ticks = engine->tickAreas[0];
  auto check = [&](int trades) {
    SCOPED_TRACE(trades);
    SimStock stock;
    ASSERT_TRUE(server->Data().Find("000858", 2, &stock));
    std::lock_guard<std::mutex> hold(owner.lock);
    ASSERT_EQ(minutes->pointsHeld, trades);
    int64_t volume = 0, amount = 0;
    for (int i = 0; i < minutes->pointsHeld; ++i) {
      volume += minutes->points[i].volume;
      amount += minutes->points[i].amount;
    }
    EXPECT_EQ(volume, stock.volume);
    EXPECT_EQ(amount, stock.amount);
    EXPECT_FLOAT_EQ(minutes->points[trades - 1].price, static_cast<float>(stock.last));
    EXPECT_STREQ(minutes->key.name, "五粮液");
    // The tick window holds the newest trades up to the request's count.
    ASSERT_EQ(ticks->ticksHeld, std::min(trades, kCapacity));
    EXPECT_EQ(ticks->replyPosition, trades);
    const TickRecord& newest = ticks->ticks[ticks->ticksHeld - 1];
    EXPECT_FLOAT_EQ(newest.price, static_cast<float>(stock.last));
    EXPECT_EQ(newest.volume, minutes->points[trades - 1].volume);
    EXPECT_EQ(newest.time / 100, 930 + trades - 1);
    for (int i = 1; i < ticks->ticksHeld; ++i) EXPECT_LT(ticks->ticks[i - 1].time, ticks->ticks[i].time);
  };
  check(5);
  for (int push = 1; push <= 3; ++push) {
    server->Tick();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.minuteReplies == 1 + push && owner.tickReplies == 1 + push; }));
    check(5 + push);
  }
  // Both requests were subscriptions with the default minute ids.
  auto journal = server->Journal();
  int subscribed = 0;
  for (const JournalEntry& e : journal) {
    if (e.type == 48) {
      EXPECT_EQ(e.parsed.byteList, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    }
    if ((e.type == 48 || e.type == 38) && e.parameter == 1) ++subscribed;
  }
  EXPECT_EQ(subscribed, 2);
}

}  // namespace
