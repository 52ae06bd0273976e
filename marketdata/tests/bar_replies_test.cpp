// The simulated server's bar path: every period agrees with the day bars
// and today's quote, and the ex-rights days open at the reference price.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tools/simbroker/bar_reply_builders.h"

namespace {

using simbroker::WireBar;

simbroker::SimStock MovedStock(simbroker::MarketData* data) {
  for (int i = 0; i < 50; ++i) data->Step();
  for (const simbroker::SimStock& s : data->All()) {
    if (s.kind == 2) return s;
  }
  return {};
}

TEST(BarReplies, EveryPeriodAgreesWithTheDaysAndTheQuote) {
  simbroker::MarketData data(7);
  const simbroker::SimStock s = MovedStock(&data);
  const int32_t date = data.TradeDate();
  const auto days = simbroker::ServedBars(s, date, 33);
  const WireBar today = simbroker::TodayBar(s, date);
  ASSERT_GT(days.size(), 600u);
  EXPECT_EQ(days.back().close, std::llround(s.last * 100));
  EXPECT_EQ(days.back().volume, s.volume);
  EXPECT_EQ(days[days.size() - 2].close, std::llround(s.prevClose * 100));

  struct Case {
    const char* name;
    int period;
    bool intraday;
  };
  const Case cases[] = {
      {"week", 39, false}, {"month", 40, false}, {"year", 41, false},
      {"1 minute", 34, true}, {"5 minutes", 35, true}, {"60 minutes", 38, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bars = simbroker::ServedBars(s, date, c.period);
    ASSERT_FALSE(bars.empty());
    EXPECT_EQ(bars.back().close, today.close);
    int64_t volume = 0, high = 0, low = INT64_MAX;
    for (const WireBar& b : bars) {
      volume += b.volume;
      high = std::max(high, b.high);
      low = std::min(low, b.low);
      EXPECT_LE(b.low, std::min(b.open, b.close));
      EXPECT_GE(b.high, std::max(b.open, b.close));
    }
    if (c.intraday) {
      EXPECT_EQ(bars.front().open, today.open);
      EXPECT_EQ(volume, today.volume);
      EXPECT_EQ(high, today.high);
      EXPECT_EQ(low, today.low);
      continue;
    }
    int64_t dayVolume = 0;
    for (const WireBar& d : days) dayVolume += d.volume;
    EXPECT_EQ(volume, dayVolume);
    EXPECT_EQ(bars.front().open, days.front().open);
  }
}

TEST(BarReplies, ExRightsDaysOpenAtTheReferencePrice) {
  simbroker::MarketData data(7);
  int checked = 0;
  for (const simbroker::SimStock& s : data.All()) {
    const auto h = simbroker::ServedHistory(s, data.TradeDate());
    for (const auto& e : h.events) {
      for (size_t i = 1; i < h.days.size(); ++i) {
        const WireBar& d = h.days[i];
        const int32_t day = static_cast<int32_t>((d.time >> 20) * 10000 + (d.time >> 16 & 15) * 100 + (d.time >> 11 & 31));
        if (day != e.date) continue;
        const double unit = std::pow(10.0, s.decimals);
        const double o = 1.0 + (e.rightsShares + e.bonusShares + e.transferredShares) / 100.0;
        const double reference = (static_cast<double>(h.days[i - 1].close) + e.rightsPrice * e.rightsShares / 100.0 -
                                  e.cash / 100.0 * unit) / o;
        EXPECT_NEAR(static_cast<double>(d.open), reference, 1.0) << s.code << " " << day;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 3);
}

}  // namespace
