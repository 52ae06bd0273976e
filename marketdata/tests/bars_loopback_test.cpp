// The K-line request batch of a stock page against the simulated server on
// loopback: 512 day bars, both level-2 supplements and the ex-rights list,
// then a pushed update of the open bar, and the forward adjustment that
// joins the bars across the ex-rights days.
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>

#include "loopback_test_support.h"
#include "foundation/number_codecs.h"
#include "marketdata/ex_rights.h"
#include "marketdata/request_builders.h"
#include "tools/simbroker/bar_reply_builders.h"
#include "tools/simbroker/market_server.h"

using namespace engine_test;

namespace {

struct PageOwner : LoopbackOwner {
  std::map<int, int> replies;   // handle -> replies seen

  static void OnReply(void* owner, PendingRequest* entry) {
    auto* self = static_cast<PageOwner*>(owner);
    self->Note([&] { ++self->replies[entry->sequence]; });
  }
  int Replies(int handle) { return replies.count(handle) ? replies[handle] : 0; }
};

class BarsLoopbackTest : public LoopbackFixture {
 protected:
  void SetUp() override {
    LoopbackFixture::SetUp();
    UseOwner(&owner);
    ASSERT_TRUE(StartServer());
    Connect();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0; }));
  }

  // A stock with two or more ex-rights events, one of them bonus shares.
  simbroker::SimStock StockWithBonus() {
    for (const simbroker::SimStock& s : server->Data().All()) {
      if (s.kind != 2) continue;
      const auto h = simbroker::ServedHistory(s, server->Data().TradeDate());
      for (const auto& e : h.events) {
        if (e.bonusShares > 0) return s;
      }
    }
    ADD_FAILURE() << "no stock with bonus shares";
    return {};
  }

  PageOwner owner;
};

TEST_F(BarsLoopbackTest, DayBarsSupplementsAndExRights) {
  const simbroker::SimStock stock = StockWithBonus();
  const int32_t date = server->Data().TradeDate();
  const char* code = stock.code.c_str();
  const int bars = RequestKLineBars(engine, PageOwner::OnReply, &owner, 33, code, stock.market, 0, 512, 0, 1, 0);
  const int a = RequestKLineSupplementA(engine, PageOwner::OnReply, &owner, 33, code, stock.market, -1, 0, 512, 0, 1, 0);
  const int b = RequestKLineSupplementB(engine, PageOwner::OnReply, &owner, 33, code, stock.market, -1, 0, 512, 0, 1, 0);
  const int x = RequestExRights(engine, PageOwner::OnReply, &owner, code, stock.market, 0, 0, 0);
  ASSERT_TRUE(owner.WaitFor([&] {
    return owner.Replies(bars) >= 1 && owner.Replies(a) >= 1 && owner.Replies(b) >= 1 && owner.Replies(x) >= 1;
  }));

  // The supplements arrive after the bars (one connection, in order), so the
  // area holds all three.
  KLineArea* area = engine->klineAreas[0];
  const std::vector<simbroker::WireBar> served = simbroker::ServedBars(stock, date, 33);
  ASSERT_GE(served.size(), 512u);
  EXPECT_STREQ(area->key.code, code);
  EXPECT_EQ(area->period, 33);
  EXPECT_EQ(area->first, 0);
  EXPECT_EQ(area->barCount, 512);
  EXPECT_EQ(area->end, 512);
  EXPECT_EQ(area->rangeFlag, 0);   // older bars exist
  const double unit = stock.decimals == 3 ? 1000.0 : 100.0;
  for (int i = 0; i < 512; ++i) {
    const simbroker::WireBar& w = served[served.size() - 512 + static_cast<size_t>(i)];
    ASSERT_EQ(area->bars[i].time, w.time) << i;
    ASSERT_EQ(area->bars[i].close, static_cast<float>(w.close / unit)) << i;
    ASSERT_EQ(area->bars[i].volume, w.volume) << i;
  }
  // The newest bar is today's quote.
  EXPECT_FLOAT_EQ(area->bars[511].close, static_cast<float>(stock.last));
  EXPECT_EQ(area->bars[511].volume, stock.volume);

  const simbroker::BarHistory history = simbroker::ServedHistory(stock, date);
  EXPECT_EQ(area->level2Count, 512);
  EXPECT_EQ(area->level2Values[0], history.shareBase);
  EXPECT_EQ(area->level2Records[510].values[0], history.level2.back().values[0]);
  EXPECT_EQ(area->supplementCount, 512);
  EXPECT_EQ(area->supplementRecords[510].values[2], history.supplement.back().values[2]);

  ExRightsArea* exRights = engine->exRightsArea;
  ASSERT_EQ(exRights->count, static_cast<int>(history.events.size()));
  EXPECT_EQ(exRights->records[0].date, history.events[0].date);

  // Forward adjustment: on every ex-rights day inside the window, the day
  // before closes (adjusted) at the ex-rights day's open.
  ApplyForwardExRights(area, exRights);
  int joined = 0;
  for (int i = 1; i < 512; ++i) {
    const int day = static_cast<int>(DecodePackedDateTime(area->bars[i].time) / 1000000);
    for (int r = 0; r < exRights->count; ++r) {
      if (exRights->records[r].date != day) continue;
      EXPECT_NEAR(area->bars[i - 1].close, area->bars[i].open, 2.0 / unit) << day;
      ++joined;
    }
  }
  EXPECT_GE(joined, 1);
  UndoExRightsAdjustment(kExRightsForward, area, exRights);

  // A pushed update re-sends the open bar: the window keeps 512 bars.
  const int before = owner.Replies(bars);
  server->Tick();
  ASSERT_TRUE(owner.WaitFor([&] { return owner.Replies(bars) > before; }));
  simbroker::SimStock moved;
  ASSERT_TRUE(server->Data().Find(stock.code, stock.market, &moved));
  EXPECT_EQ(area->barCount, 512);
  EXPECT_FLOAT_EQ(area->bars[511].close, static_cast<float>(moved.last));
  EXPECT_EQ(area->bars[511].volume, moved.volume);
  EXPECT_EQ(area->bars[510].time, served[served.size() - 2].time);
}

TEST_F(BarsLoopbackTest, LatestBarsWithLookBack) {
  const simbroker::SimStock stock = StockWithBonus();
  const int handle = RequestLatestBars(engine, PageOwner::OnReply, &owner, 33, stock.code.c_str(), stock.market, -1,
                                       0, 100, 0, 0, 0);
  ASSERT_TRUE(owner.WaitFor([&] { return owner.Replies(handle) >= 1; }));
  const KLineArea* area = engine->chartAreas[0];
  const auto served = simbroker::ServedBars(stock, server->Data().TradeDate(), 33);
  // Default wishes: (5, 60), (3, 30), (4, 30), (7, 10), (2, 30), (1, 60).
  EXPECT_EQ(area->first, 60);
  EXPECT_EQ(area->barCount, 100);
  EXPECT_EQ(area->end, 160);
  const double unit = stock.decimals == 3 ? 1000.0 : 100.0;
  EXPECT_EQ(area->bars[59].close, static_cast<float>(served[served.size() - 101].close / unit));
  EXPECT_EQ(area->bars[0].time, served[served.size() - 160].time);
  EXPECT_EQ(area->bars[159].close, static_cast<float>(served.back().close / unit));
}

}  // namespace

namespace {

// The dispatcher chooses the decoder by the reply's type, the area by the
// request: a bar reply under another request's sequence is not decoded into
// that request's area.
class BarsDispatchTest : public EngineFixture {};

TEST_F(BarsDispatchTest, OnlyRepliesToBarRequestsAreDecoded) {
  simbroker::BarStock stock{"600000", "浦发银行", 2, 1, 2};
  std::vector<simbroker::WireBar> bars(3);
  for (int i = 0; i < 3; ++i) {
    bars[i].time = simbroker::PackDateTime(2024, 3, 11 + i, 0, 0);
    bars[i].close = 1000 + i;
  }
  const simbroker::Bytes rangeBody = simbroker::RangeBarsBody(stock, 33, 0, {1, 5}, bars);
  const simbroker::Bytes exRightsBody = simbroker::ExRightsBody(stock, {{20240312, 50, 0, 0, 0, 0}}, 1);
  struct Case {
    const char* name;
    int replyType;
    const simbroker::Bytes* body;
  };
  const Case cases[] = {
      {"K-line bars", 68, &rangeBody},
      {"latest bars", 49, &rangeBody},
      {"ex-rights", 55, &exRightsBody},
      {"supplement A", 91, &rangeBody},
      {"supplement B", 92, &rangeBody},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int fields = RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
    const int news = RequestMinuteNewsMarks(engine, nullptr, nullptr, "600000", 1, 0, 1, 20240315, 0, 0);
    const std::vector<unsigned char> fieldsBefore(
        reinterpret_cast<unsigned char*>(engine->stockFieldsAreas[0]),
        reinterpret_cast<unsigned char*>(engine->stockFieldsAreas[0]) + sizeof(StockFieldsArea));
    for (int handle : {fields, news}) {
      const simbroker::Bytes packet = simbroker::ReplyPacket(2, 1, c.replyType, handle, *c.body, false);
      DispatchQuoteReply(engine, packet.data(), static_cast<int>(packet.size()));
    }
    EXPECT_EQ(0, std::memcmp(fieldsBefore.data(), engine->stockFieldsAreas[0], fieldsBefore.size()));
  }
  // The same reply under its own request fills the K-line area.
  const int kline = RequestKLineBars(engine, nullptr, nullptr, 33, "600000", 1, 0, 512, 0, 1, 0);
  const simbroker::Bytes packet = simbroker::ReplyPacket(2, 1, 68, kline, rangeBody, false);
  DispatchQuoteReply(engine, packet.data(), static_cast<int>(packet.size()));
  EXPECT_EQ(engine->klineAreas[0]->barCount, 3);
  EXPECT_FLOAT_EQ(engine->klineAreas[0]->bars[2].close, 10.02f);
}

}  // namespace
