#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "charts/minute_chart.h"
#include "charts/minute_chart_indicators.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/minute_indicators.h"
#include "marketdata/quote_engine.h"

namespace {

struct ChartDeleter {
  void operator()(MinuteChart* c) const { FreeMinuteChart(c); }
};
using ChartPtr = std::unique_ptr<MinuteChart, ChartDeleter>;

struct Fixture {
  ChartPtr chart;
  std::unique_ptr<MinuteArea> area;
  TradingHoursTable hours{};

  explicit Fixture(int width = 372, int mode = 2, int decimals = 2, int kind = 0) {
    chart.reset(CreateMinuteChart({0, 0, width, 416}, nullptr));
    area = std::make_unique<MinuteArea>();
    std::memset(area.get(), 0, sizeof(MinuteArea));
    area->key.market = 1;
    area->key.kind = static_cast<uint8_t>(kind);
    area->key.decimals = static_cast<uint8_t>(decimals);
    area->previousClose = 10.0f;
    hours.count = 1;
    hours.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
    SetMinuteChartLayout(chart.get(), mode);
    SetMinuteChartStock(chart.get(), area.get(), &hours);
  }
  void Prices(std::initializer_list<float> prices) {
    int i = 0;
    for (float p : prices) {
      area->points[i].price = p;
      area->points[i].average = p;
      ++i;
    }
    area->pointsHeld = i;
  }
};

TEST(MinuteIndicators, PriceScaleNarrowRangeGetsMinimumHalf) {
  Fixture f;
  f.Prices({10.01f, 10.03f, 10.02f});
  CalcMinuteIndicators(f.chart.get());
  const float* s = f.chart->PriceScale;
  EXPECT_NEAR(s[0], 10.07f, 1e-4);
  EXPECT_NEAR(s[14], 9.93f, 1e-4);
  for (int i = 1; i < 15; ++i) EXPECT_NEAR(s[i - 1] - s[i], 0.01f, 1e-4) << i;
  EXPECT_EQ(s[7], 10.0f);
  EXPECT_EQ(f.chart->PercentScale[7], 0.0f);
  EXPECT_NEAR(f.chart->PercentScale[0], 0.7f, 1e-3);
}

TEST(MinuteIndicators, PriceScaleWideRange) {
  Fixture f;
  f.Prices({9.50f, 10.20f, 9.8f});
  CalcMinuteIndicators(f.chart.get());
  EXPECT_NEAR(f.chart->PriceScale[0], 10.50f, 1e-4);
  EXPECT_NEAR(f.chart->PriceScale[14], 9.50f, 1e-4);
}

TEST(MinuteIndicators, FundWithSevenRows) {
  Fixture f(372, 0, 3);
  f.chart->PriceLineCount = 7;
  f.Prices({10.0f, 10.001f});
  CalcMinuteIndicators(f.chart.get());
  EXPECT_NEAR(f.chart->PriceScale[0], 10.003f, 1e-5);
  EXPECT_NEAR(f.chart->PriceScale[6], 9.997f, 1e-5);
  EXPECT_EQ(f.chart->PriceScale[3], 10.0f);
}

TEST(MinuteIndicators, NoPointsAndLowVolumes) {
  Fixture f;
  CalcMinuteIndicators(f.chart.get());
  EXPECT_NEAR(f.chart->PriceScale[0], 10.07f, 1e-4);
  EXPECT_EQ(f.chart->VolumeScale[0], 3);
  EXPECT_EQ(f.chart->OrderScale[0], 1);
  f.Prices({10, 10, 10});
  f.area->points[1].volume = 1;
  CalcMinuteIndicators(f.chart.get());
  const int64_t expected[] = {3, 3, 2, 1, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f.chart->VolumeScale[i], expected[i]) << i;
}

TEST(MinuteIndicators, SlotPositions) {
  Fixture f;  // W = 372: 242 pixels of slots
  f.area->pointsHeld = 242;
  for (int i = 0; i < 242; ++i) f.area->points[i].price = 10;
  CalcMinuteIndicators(f.chart.get());
  struct Case {
    int slot, x;
  } cases[] = {{0, 71}, {120, 192}, {121, 193}, {241, 313}};
  for (const Case& k : cases) {
    EXPECT_EQ(static_cast<int>(f.chart->PointX[k.slot]), k.x) << k.slot;
    EXPECT_EQ(f.chart->PriceLine[k.slot].x, k.x) << k.slot;
  }
}

TEST(MinuteIndicators, OneMinuteFirstSessionSitsAtLeftEdge) {
  Fixture f;
  f.hours.entries[0] = {930, 930, 1300, 1500, 0, 0, 1, 1130, 122};
  SetMinuteChartStock(f.chart.get(), f.area.get(), &f.hours);
  f.Prices({10, 10.1f});
  CalcMinuteIndicators(f.chart.get());
  EXPECT_EQ(f.chart->PointX[0], 71.0f);
  EXPECT_FALSE(std::isnan(f.chart->PointX[1]));
}

TEST(MinuteIndicators, OrderPanel) {
  Fixture f;
  f.Prices({10, 10, 10});
  // bid always above ask: O = 0, difference minimum positive
  const int64_t bids[] = {500, 800, 600}, asks[] = {100, 300, 400};
  for (int i = 0; i < 3; ++i) {
    f.area->points[i].bidVolume = bids[i];
    f.area->points[i].askVolume = asks[i];
  }
  CalcMinuteIndicators(f.chart.get());
  MinuteChart* c = f.chart.get();
  EXPECT_EQ(c->OrderScale[0], 800);
  EXPECT_EQ(c->OrderScale[2], 200);
  EXPECT_EQ(c->OrderScale[1], 500);
  EXPECT_EQ(c->BidTotalLine[1].y, c->SubTop);
  EXPECT_EQ(c->OrderDiffZeroY, c->SubTop + 1 + c->SubHeight);
  EXPECT_EQ(c->OrderDiffUpCount, 3);
  // first point with both totals 0: the order maximum starts at 1
  Fixture g;
  g.Prices({10});
  CalcMinuteIndicators(g.chart.get());
  EXPECT_EQ(g.chart->OrderScale[0], 1);
  EXPECT_EQ(g.chart->OrderScale[2], 0);
  // O = -D when the asks exceed the bids
  g.area->points[0].askVolume = 100;
  CalcMinuteIndicators(g.chart.get());
  EXPECT_EQ(g.chart->OrderScale[2], -100);
  EXPECT_EQ(g.chart->OrderDiffZeroY, g.chart->SubTop + 1 + (100 * g.chart->SubHeight) / 200);
}

TEST(MinuteIndicators, IndexStrengthBars) {
  Fixture f(372, 2, 2, 1);
  f.Prices({10, 10, 10});
  f.area->points[0].field7 = -40;
  f.area->points[1].field7 = 25;
  f.area->points[2].field7 = 0;
  CalcMinuteIndicators(f.chart.get());
  MinuteChart* c = f.chart.get();
  const int mid = c->PriceTop + c->PriceHeight / 2, q = c->PriceHeight / 4;
  ASSERT_EQ(c->UpBarCount, 1);
  ASSERT_EQ(c->DownBarCount, 2);
  EXPECT_EQ(c->UpBars[0].y, mid - 1 - 25 * q / 40);
  EXPECT_EQ(c->DownBars[0].y, mid + 1 + q);
  EXPECT_EQ(c->DownBars[1].y, mid + 1);
}

TEST(MinuteIndicators, ZeroAverageTakesPreviousClose) {
  Fixture f;
  f.Prices({10.05f, 10.02f});
  f.area->points[1].average = 0;
  CalcMinuteIndicators(f.chart.get());
  EXPECT_EQ(f.area->points[1].average, 10.0f);
  const MinuteChart* c = f.chart.get();
  EXPECT_EQ(c->AverageLine[1].y, static_cast<int>(c->PriceTop + 1 + c->PriceHeight * (c->ScaleTop - 10.0f) /
                                                                         (c->ScaleTop - c->ScaleBottom)));
}

TEST(MinuteIndicators, RsiScaleFromAllThreeLines) {
  Fixture f;
  f.chart->SubChart = kMinuteSubRsi;
  f.Prices({10, 10.1f, 10.05f, 10.2f, 10.1f, 10.3f, 10.25f});
  CalcMinuteIndicators(f.chart.get());
  const MinuteIndicatorWorkspace* w = f.chart->Workspace;
  double max = w->rsi1[0];
  for (int i = 0; i < 7; ++i) max = std::max({max, w->rsi1[i], w->rsi2[i], w->rsi3[i]});
  EXPECT_EQ(f.chart->RsiScale[0], static_cast<float>(max));
  EXPECT_EQ(f.chart->RsiScale[2], 0.0f);  // RSI1 of point 0 (0) seeds the minimum
  EXPECT_EQ(f.chart->RsiScale[1], static_cast<float>(max / 2));
  EXPECT_EQ(f.chart->RsiLines[0][0].y, f.chart->SubTop + f.chart->SubHeight);
}

TEST(MinuteIndicators, DdxBarsAndZeroLine) {
  Fixture f;
  f.chart->SubChart = kMinuteSubDdx;
  f.Prices({10, 10, 10});
  f.area->flowsHeld = 3;
  f.area->flowHead = 100;
  const int64_t numerators[] = {50, -30, 0};  // DDX 50, -30, 0; accumulated 50, 20, 20
  for (int i = 0; i < 3; ++i) f.area->flows[i].field117 = numerators[i];
  CalcMinuteIndicators(f.chart.get());
  const MinuteChart* c = f.chart.get();
  const int T = c->SubTop, H = c->SubHeight;
  EXPECT_EQ(c->DdxScale[0], 50.0f);
  EXPECT_EQ(c->DdxScale[1], 10.0f);
  EXPECT_EQ(c->DdxScale[2], -30.0f);
  EXPECT_EQ(c->DdxZeroY, static_cast<int>(T + 50.0 / 80.0 * H));
  ASSERT_EQ(c->DdxUpCount, 1);
  ASSERT_EQ(c->DdxDownCount, 2);
  EXPECT_EQ(c->DdxUpBars[0].top, T);
  EXPECT_EQ(c->DdxUpBars[0].bottom, c->DdxZeroY);
  // a DDX of exactly 0 gives a one-pixel down bar at the zero line
  EXPECT_EQ(c->DdxDownBars[1].top, c->DdxZeroY);
  EXPECT_EQ(c->DdxDownBars[1].bottom, c->DdxZeroY + 1);
  EXPECT_EQ(c->DdxLine[0].y, T);
  // a day without a divisor: every DDX is 0 and lies on the middle row
  f.area->flowHead = 0;
  CalcMinuteIndicators(f.chart.get());
  EXPECT_EQ(c->DdxZeroY, T + H / 2);
  EXPECT_EQ(c->DdxLine[2].y, T + H / 2);
}

TEST(MinuteIndicators, PsyScale) {
  Fixture f;
  f.chart->SubChart = kMinuteSubPsy;
  f.Prices({10, 10});
  // the calculator overwrites the series; check the scale rule on its output
  CalcMinuteIndicators(f.chart.get());
  const double* psy = f.chart->Workspace->psy;
  double max = psy[0], min = psy[0];
  for (int i = 0; i < 2; ++i) max = std::max(max, psy[i]), min = std::min(min, psy[i]);
  EXPECT_EQ(f.chart->PsyScale[0], static_cast<float>(max));
  EXPECT_EQ(f.chart->PsyScale[1], static_cast<float>((max + min) / 2));
  // a flat series lies on the middle row
  EXPECT_EQ(f.chart->PsyLine[0].y, f.chart->SubTop + f.chart->SubHeight / 2);
}

TEST(MinuteIndicators, NoDataOrHoursOnlyClears) {
  Fixture f;
  f.Prices({10, 11});
  CalcMinuteIndicators(f.chart.get());
  f.chart->Hours = nullptr;
  CalcMinuteIndicators(f.chart.get());
  EXPECT_EQ(f.chart->PriceLine[0].y, 0);
  EXPECT_EQ(f.chart->PriceLine[1].x, 0);
}

TEST(MinuteIndicators, PreviousCloseZeroGivesNoNaN) {
  Fixture f;
  f.area->previousClose = 0;
  f.Prices({0, 0});
  for (int kind = 0; kind <= 11; ++kind) {
    f.chart->SubChart = kind;
    CalcMinuteIndicators(f.chart.get());
    for (int i = 0; i < 15; ++i) EXPECT_FALSE(std::isnan(f.chart->PercentScale[i]));
    EXPECT_EQ(f.chart->PercentScale[0], 0.0f);
  }
}

TEST(MinuteIndicators, MorePointsThanSlotsAreClamped) {
  Fixture f;
  f.area->pointsHeld = 1024;
  f.area->flowsHeld = 1024;
  f.area->flowHead = 100;
  for (int i = 0; i < 1024; ++i) f.area->points[i].price = 10 + (i % 7) * 0.01f;
  for (int kind = 0; kind <= 11; ++kind) {
    f.chart->SubChart = kind;
    CalcMinuteIndicators(f.chart.get());  // under ASan: no write past the 332-slot arrays
  }
  EXPECT_EQ(MinuteChartPointCount(f.chart.get()), 242);
}

// Random data of random sizes: every coordinate is finite and lies in its
// panel (where the kind's mapping keeps it there), never a NaN.
TEST(ChartProperty, MinuteCoordinatesStayInPanels) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    const int width = 131 + static_cast<int>(rng() % 900);
    Fixture f(width, round % 2 == 0 ? 2 : 0, 2 + static_cast<int>(rng() % 2), static_cast<int>(rng() % 2));
    const int n = static_cast<int>(rng() % 300);
    const bool flat = rng() % 4 == 0;
    std::uniform_real_distribution<float> price(9.0f, 11.0f);
    f.area->previousClose = rng() % 10 == 0 ? 0.0f : 10.0f;
    for (int i = 0; i < n; ++i) {
      MinutePoint& p = f.area->points[i];
      p.price = flat ? 10.0f : price(rng);
      p.average = rng() % 5 == 0 ? 0.0f : p.price;
      p.volume = flat ? 0 : static_cast<int64_t>(rng() % 100000);
      p.bidVolume = static_cast<int64_t>(rng() % 5000);
      p.askVolume = static_cast<int64_t>(rng() % 5000);
      p.field7 = static_cast<int16_t>(static_cast<int>(rng() % 200) - 100);
      p.field8 = flat ? 7 : static_cast<int64_t>(rng() % 100000);
      f.area->flows[i].field117 = static_cast<int64_t>(rng() % 2001) - 1000;
      for (auto& r : f.area->flows[i].running) r = flat ? 0 : static_cast<int64_t>(rng() % 2000001) - 1000000;
    }
    f.area->pointsHeld = n;
    f.area->flowsHeld = n;
    f.area->flowHead = rng() % 3 == 0 ? 0 : 1000000;
    for (int kind = 0; kind <= 11; ++kind) {
      MinuteChart* c = f.chart.get();
      c->SubChart = kind;
      CalcMinuteIndicators(c);
      const int pTop = c->PriceTop, pBottom = c->PriceTop + 2 + c->PriceHeight;
      const int vTop = c->VolumeTop, vBottom = c->VolumeTop + 2 + c->VolumeHeight;
      const int sTop = c->SubTop, sBottom = c->SubTop + 2 + c->SubHeight;
      const int m = MinuteChartPointCount(c);
      for (int i = 0; i < m; ++i) {
        ASSERT_FALSE(std::isnan(c->PointX[i]));
        ASSERT_GE(c->PriceLine[i].x, 70);
        ASSERT_LE(c->PriceLine[i].x, width - 58);
        ASSERT_GE(c->PriceLine[i].y, pTop);
        ASSERT_LE(c->PriceLine[i].y, pBottom);
        if (c->AverageLine[i].y != 0) {  // 0: no average price at this minute
          ASSERT_GE(c->AverageLine[i].y, pTop);
          ASSERT_LE(c->AverageLine[i].y, pBottom);
        }
        ASSERT_GE(c->VolumeBars[i].y, vTop);
        ASSERT_LE(c->VolumeBars[i].y, vBottom);
        ASSERT_GE(c->BidTotalLine[i].y, sTop);
        ASSERT_LE(c->BidTotalLine[i].y, sBottom);
        auto inSub = [&](ChartPoint pt) { return pt.y >= sTop && pt.y <= sBottom; };
        switch (kind) {
          case kMinuteSubMacd:
            ASSERT_TRUE(inSub(c->DifLine[i]) && inSub(c->DeaLine[i])) << round;
            break;
          case kMinuteSubKdj:
            ASSERT_TRUE(inSub(c->KdjLines[0][i]) && inSub(c->KdjLines[1][i]) && inSub(c->KdjLines[2][i]));
            break;
          case kMinuteSubWr:
            ASSERT_TRUE(inSub(c->WrLines[0][i]) && inSub(c->WrLines[1][i]));
            break;
          case kMinuteSubBias:
            ASSERT_TRUE(inSub(c->BiasLines[0][i]) && inSub(c->BiasLines[2][i]));
            break;
          case kMinuteSubPsy:
            ASSERT_TRUE(inSub(c->PsyLine[i]));
            break;
          case kMinuteSubFundFlow:
            ASSERT_TRUE(inSub(c->FlowLines[0][i]) && inSub(c->FlowLines[3][i])) << round;
            break;
          case kMinuteSubDdx:
            ASSERT_TRUE(inSub(c->DdxLine[i])) << round;
            break;
          default:
            break;
        }
      }
      for (int i = 0; i < c->UpBarCount; ++i) ASSERT_TRUE(c->UpBars[i].y >= pTop && c->UpBars[i].y <= pBottom);
      for (int i = 0; i < c->DownBarCount; ++i)
        ASSERT_TRUE(c->DownBars[i].y >= pTop && c->DownBars[i].y <= pBottom);
      if (kind == kMinuteSubMacd) {
        ASSERT_GE(c->MacdZeroY, sTop);
        ASSERT_LE(c->MacdZeroY, sBottom);
      }
    }
  }
}

}  // namespace
