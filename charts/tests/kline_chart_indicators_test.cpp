#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "charts/kline_chart.h"
#include "charts/kline_chart_indicators.h"
#include "charts/tests/kline_test_support.h"
#include "foundation/number_codecs.h"
#include "marketdata/ex_rights.h"

namespace {

void Flatten(KLineArea* a, float price) {
  for (int i = 0; i < a->end; ++i) {
    DayBar& b = a->bars[i];
    b.open = b.close = b.high = b.low = price;
  }
}

std::u16string Label(const char16_t* s) { return std::u16string(s); }

TEST(KLineIndicators, FlatSeriesGetsSmallestRange) {
  struct Case {
    int decimals;
    float range;
  } cases[] = {{2, 0.05f}, {3, 0.005f}};
  for (const Case& k : cases) {
    KFixture f(300, 30);
    f.area->key.decimals = static_cast<uint8_t>(k.decimals);
    Flatten(f.area.get(), 10.0f);
    CalcKLineIndicators(f.chart.get());
    const KLineChart* c = f.chart.get();
    EXPECT_FLOAT_EQ(c->priceMax, 10.0f);
    EXPECT_FLOAT_EQ(c->priceMin, 10.0f - k.range);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(c->priceLabels[i] - c->priceLabels[i + 1], k.range / 4, 1e-5) << i;
  }
}

TEST(KLineIndicators, LowVolumesGiveThree) {
  KFixture f(300, 30);
  for (int i = 0; i < 30; ++i) f.area->bars[i].volume = i % 3;
  CalcKLineIndicators(f.chart.get());
  EXPECT_EQ(f.chart->volumeScaleTop, 3);
  EXPECT_EQ(f.chart->volumeScaleMid, 1);
}

TEST(KLineIndicators, ScrollToEndWithFewBars) {
  KFixture f(474, 30, 3);  // 50 slots
  EXPECT_EQ(f.chart->firstVisible, 3);
  EXPECT_EQ(f.chart->scrollToEnd, 0);
}

TEST(KLineIndicators, CandleGeometryAndEqualExtremes) {
  KFixture f(300, 20);
  Flatten(f.area.get(), 10.0f);
  for (int i = 0; i < 20; ++i) {
    f.area->bars[i].high = 10.5f;
    f.area->bars[i].low = 9.5f;
  }
  f.area->bars[4].high = f.area->bars[9].high = 11.0f;
  f.area->bars[6].low = f.area->bars[12].low = 9.0f;
  CalcKLineIndicators(f.chart.get());
  const KLineChart* c = f.chart.get();
  ASSERT_EQ(c->upCount + c->downCount, 20);
  for (int k = 0; k < c->upCount; ++k) {
    const ChartRect& b = c->upBodies[k];  // all dojis at the previous close: rising
    EXPECT_EQ(b.left, 74 + 8 * k);
    EXPECT_EQ(b.right, 81 + 8 * k);
    EXPECT_EQ(b.bottom - b.top, 1);
    EXPECT_EQ(c->upWicks[k].x, 77 + 8 * k);
  }
  EXPECT_EQ(c->highLabelRect.left, 73 + 8 * 4 + 3);
  EXPECT_EQ(c->lowLabelRect.left, 73 + 8 * 6 + 3);
  EXPECT_EQ(c->lowLabelAlign, 0);
  EXPECT_EQ(Label(c->lowLabel), u"<-9.00");
  EXPECT_EQ(Label(c->highLabel), u"<-11.00");
}

TEST(KLineIndicators, DojiRisesOnlyAtOrAboveThePreviousClose) {
  KFixture f(300, 3);
  DayBar* b = f.area->bars;
  b[0] = {};
  b[0].open = 10;
  b[0].close = 10.2f;
  b[0].high = 10.3f;
  b[0].low = 9.9f;
  b[1] = b[0];
  b[1].open = b[1].close = 10.2f;  // at the previous close: rising
  b[2] = b[0];
  b[2].open = b[2].close = 10.1f;  // below it: falling
  CalcKLineIndicators(f.chart.get());
  EXPECT_EQ(f.chart->upCount, 2);
  EXPECT_EQ(f.chart->downCount, 1);
  EXPECT_EQ(f.chart->downBodies[0].bottom - f.chart->downBodies[0].top, 1);
}

TEST(KLineIndicators, LowLabelNearTheRightEdgeAndZeroPrice) {
  KFixture f(300, 60);
  f.area->bars[59].low = 0;  // the rightmost visible bar
  CalcKLineIndicators(f.chart.get());
  EXPECT_EQ(f.chart->lowLabelAlign, 2);
  EXPECT_EQ(Label(f.chart->lowLabel), u"-->");
  EXPECT_EQ(f.chart->lowLabelRect.right - f.chart->lowLabelRect.left, 60);
  KFixture g(300, 60);
  g.area->bars[40].low = 0;
  CalcKLineIndicators(g.chart.get());
  EXPECT_EQ(Label(g.chart->lowLabel), u"<--");
}

TEST(KLineIndicators, VolumeBars) {
  KFixture f(300, 28);
  for (int i = 0; i < 28; ++i) f.area->bars[i].volume = 100;
  f.area->bars[5].volume = 500;
  f.area->bars[7].volume = 0;
  CalcKLineIndicators(f.chart.get());
  const KLineChart* c = f.chart.get();
  const int volTop = c->volumeTop + 1, volBase = c->volumeTop + c->volumeHeight - 2;
  ASSERT_EQ(c->upCount, 28);
  EXPECT_EQ(c->upVolumeBars[5].top, volTop);
  EXPECT_EQ(c->upVolumeBars[7].top, volBase - 1);
  EXPECT_EQ(c->upVolumeBars[7].bottom, volBase);
}

TEST(KLineIndicators, MacdFlatGoesDownAndZeroLineHeldInside) {
  KFixture f(300, 40);
  Flatten(f.area.get(), 10.0f);
  CalcKLineIndicators(f.chart.get());  // DIF = DEA = 0 everywhere
  const KLineChart* c = f.chart.get();
  EXPECT_EQ(c->MacdUpCount, 0);
  EXPECT_EQ(c->MacdDownCount, 28);
  // rising closes: every value at or above 0, the zero line would sit on the bottom edge
  KFixture g(300, 40);
  for (int i = 0; i < 40; ++i) {
    DayBar& b = g.area->bars[i];
    b.close = 10.0f + i;
    b.open = b.close - 0.5f;
    b.high = b.close + 0.1f;
    b.low = b.open - 0.1f;
  }
  g.chart->scrollToEnd = 0;
  g.chart->firstVisible = 0;
  CalcKLineIndicators(g.chart.get());
  const int B = g.chart->indicatorTop + g.chart->indicatorHeight;
  EXPECT_EQ(g.chart->MacdZeroY, B - 2);
}

TEST(KLineIndicators, KdjFlatIsClampedToHundred) {
  KFixture f(300, 30);
  Flatten(f.area.get(), 10.0f);
  f.chart->lowerIndicator = 2;
  CalcKLineIndicators(f.chart.get());
  const KLineChart* c = f.chart.get();
  const int T = c->indicatorTop + 1, H = c->indicatorHeight - 2;
  EXPECT_EQ(c->KdjLines[0][0].y, static_cast<int>(T + 50.0 * H / 100.0));
}

TEST(KLineIndicators, ScaleMiddles) {
  KFixture f(300, 60);
  for (int i = 0; i < 60; ++i) {
    DayBar& b = f.area->bars[i];
    b.close = 10.0f + static_cast<float>((i * 7) % 11) * 0.3f;
    b.open = b.close - 0.2f;
    b.high = b.close + 0.4f;
    b.low = b.open - 0.3f;
  }
  struct Case {
    int indicator;
    const float* scale;
    const double* series;
  };
  KLineChart* c = f.chart.get();
  IndicatorWorkspace* w = f.workspace.get();
  const Case cases[] = {{8, c->CciScale, w->cci}, {10, c->PsyScale, w->psy}};
  for (const Case& k : cases) {
    SetKLineLowerIndicator(c, k.indicator);
    double top = k.series[c->firstVisible], bottom = top;
    for (int i = c->firstVisible; i < c->firstVisible + 28; ++i)
      top = std::max(top, k.series[i]), bottom = std::min(bottom, k.series[i]);
    EXPECT_FLOAT_EQ(k.scale[0], static_cast<float>(top)) << k.indicator;
    EXPECT_FLOAT_EQ(k.scale[2], static_cast<float>(bottom)) << k.indicator;
    const double middle = k.indicator == 8 ? bottom + std::trunc((top - bottom) / 2) : (top + bottom) / 2;
    EXPECT_FLOAT_EQ(k.scale[1], static_cast<float>(middle)) << k.indicator;
  }
}

TEST(KLineIndicators, TradeAveragesAllZeroGiveZeroScale) {
  KFixture f(300, 30);
  f.area->supplementCount = 30;
  SetKLineLowerIndicator(f.chart.get(), 17);
  EXPECT_EQ(f.chart->Level2Scale[0], 0.0f);
  EXPECT_EQ(f.chart->Level2Scale[1], 0.0f);
  EXPECT_EQ(f.chart->Level2Scale[2], 0.0f);
  EXPECT_EQ(f.chart->Level2UpCount, 0);
}

TEST(KLineIndicators, BbdKeepsWholeSixtyFourBitExtremes) {
  KFixture f(300, 28);  // 28 bars, all visible, one record each
  const int64_t big = (int64_t{1} << 40) + 1;
  f.area->level2Count = 28;
  f.area->level2Records[10].values[3] = big;       // BBD of bar 10
  f.area->level2Records[20].values[8] = big - 2;  // BBD of bar 20: -(2^40 - 1)
  SetKLineLowerIndicator(f.chart.get(), 16);
  const KLineChart* c = f.chart.get();
  EXPECT_EQ(f.workspace->bbd[10], big);
  EXPECT_EQ(c->Level2Scale[0], static_cast<float>(big));
  EXPECT_EQ(c->Level2Scale[2], static_cast<float>(-(big - 2)));
  EXPECT_EQ(c->Level2Scale[1], 1.0f);  // (2^40 + 1 - 2^40 + 1) / 2
  const int T = c->indicatorTop + 1, H = c->indicatorHeight - 2;
  ASSERT_EQ(c->Level2UpCount, 1);
  EXPECT_EQ(c->Level2UpBars[0].top, T);  // the largest value reaches the top exactly
  EXPECT_EQ(c->Level2ZeroY, static_cast<int>(T + 0.5 * H));
  EXPECT_EQ(c->Level2DownCount, 27);
}

TEST(KLineIndicators, LevelTwoLinesClearedWithoutRecords) {
  KFixture f(300, 30);
  KLineChart* c = f.chart.get();
  c->lowerIndicator = 11;
  for (int k = 0; k < 28; ++k) c->Level2Lines[0][k] = {5, 5};
  c->Level2UpCount = 7;
  CalcKLineIndicators(c);
  EXPECT_EQ(c->Level2UpCount, 0);
  EXPECT_EQ(c->Level2DownCount, 0);
  for (int k = 0; k < 28; ++k) EXPECT_EQ(c->Level2Lines[0][k].y, 0) << k;
}

TEST(KLineIndicators, ExRightsMarks) {
  KFixture f(300, 40);
  ExRightsArea rights;
  rights.count = 2;
  rights.records = new ExRightsRecord[2]{};
  const int64_t date = DecodePackedDateTime(f.area->bars[30].time) / 1000000;
  rights.records[0].date = static_cast<int32_t>(date);
  rights.records[1].date = 19990101;  // not on screen
  SetKLineExRights(f.chart.get(), &rights);
  const KLineChart* c = f.chart.get();
  ASSERT_EQ(c->exRightsMarkCount, 1);
  const int k = 30 - c->firstVisible;
  EXPECT_EQ(c->exRightsMarkRects[0].left, 73 + 8 * k);
  EXPECT_EQ(c->exRightsMarkRects[0].right, 73 + 8 * k + 14);
  EXPECT_EQ(c->exRightsMarkRects[0].top, c->mainTop + c->mainHeight - 15);
  EXPECT_EQ(c->exRightsMarkItems[0], date);
  f.chart->exRights = nullptr;
}

TEST(KLineIndicators, ExRightsMarksCappedOnMinuteBars) {
  KFixture f(74 + 400 * 2, 400);  // 400 one-minute bars of one day, all visible
  f.area->period = 34;
  for (int i = 0; i < 400; ++i) f.area->bars[i].time = PackTime(2026, 3, 9, 9 + i / 60, i % 60);
  f.chart->candleWidth = 1;
  f.chart->scrollToEnd = 1;
  ExRightsArea rights;
  rights.count = 1;
  rights.records = new ExRightsRecord[1]{};
  rights.records[0].date = 20260309;
  SetKLineExRights(f.chart.get(), &rights);
  EXPECT_EQ(f.chart->exRightsMarkCount, kKLineExRightsMarkRoom);
  f.chart->exRights = nullptr;
}

TEST(KLineIndicators, TurningPointsBeforeTheViewAreSkipped) {
  KFixture f(300, 200);
  for (int i = 0; i < 200; ++i) {  // swings only in the first 100 bars, then flat
    DayBar& b = f.area->bars[i];
    b.close = i < 100 ? (i / 10 % 2 ? 12.0f : 10.0f) : 11.0f;
    b.open = b.close;
    b.high = b.close + 0.1f;
    b.low = b.close - 0.1f;
  }
  SetKLineMainOverlay(f.chart.get(), 2);
  ASSERT_GT(f.workspace->turnCount, 5);
  EXPECT_LE(f.chart->sellMarkCount + f.chart->buyMarkCount, 1);  // at most the pending one
}

TEST(KLineIndicators, TrendBucketsCoverTheVisibleBars) {
  KFixture f(300, 200);
  SetKLineMainOverlay(f.chart.get(), 4);
  int total = 0;
  for (int n : f.chart->trendCounts) total += n;
  const int visible = GetKLineVisibleCount(f.chart.get());
  ASSERT_GT(visible, 0);
  EXPECT_EQ(total, visible);
}

TEST(KLineIndicators, NothingVisibleReadsNoBar) {
  KFixture f(70, 30);  // narrower than one bar
  KLineChart* c = f.chart.get();
  EXPECT_EQ(GetKLineVisibleCount(c), 0);
  EXPECT_EQ(c->upCount + c->downCount, 0);
  c->firstVisible = 30;  // one past the newest bar
  c->rect.right = 300;
  c->scrollToEnd = 0;
  CalcKLineIndicators(c);  // visible 28 from bar 30: nothing to show
  EXPECT_EQ(c->upCount + c->downCount, 0);
}

// Random bars, sizes, layouts, indicators, overlays and zoom or scroll steps:
// candles, volume bars and the bounded indicator lines stay inside their
// panes and no coordinate is a converted NaN.
TEST(ChartProperty, KLineCoordinatesStayInPanes) {
  std::mt19937 rng(99);
  for (int round = 0; round < 120; ++round) {
    const int count = 1 + static_cast<int>(rng() % 600);
    const int width = 60 + static_cast<int>(rng() % 1200);
    const int layout = static_cast<int>(rng() % 4);
    KFixture f(width, count, static_cast<int>(rng() % 20), layout, 200 + static_cast<int>(rng() % 700));
    const bool flat = rng() % 4 == 0;
    std::uniform_real_distribution<float> price(1.0f, 100.0f);
    for (int i = 0; i < f.area->end; ++i) {
      DayBar& b = f.area->bars[i];
      const float a = flat ? 10.0f : price(rng), z = flat ? 10.0f : price(rng);
      b.open = a;
      b.close = z;
      b.high = std::max(a, z) + (flat ? 0 : 0.5f);
      b.low = std::min(a, z) - (flat ? 0 : 0.5f);
      b.volume = flat ? 0 : static_cast<int64_t>(rng() % 1000000);
      b.amount = b.volume * 10;
    }
    f.area->level2Count = rng() % 2 ? 0 : std::min(count, 512);
    f.area->supplementCount = rng() % 2 ? 0 : std::min(count, 512);
    f.area->level2Values[0] = 1000000;
    KLineChart* c = f.chart.get();
    c->lowerIndicator = static_cast<int>(rng() % 18);
    c->mainOverlay = static_cast<int>(rng() % 5);
    for (int step = 0; step < 4; ++step) {
      switch (rng() % 4) {
        case 0: ZoomOutKLineChart(c); break;
        case 1: ZoomInKLineChart(c); break;
        case 2: MoveKLineCursorLeft(c); break;
        default: MoveKLineCursorRight(c); break;
      }
      CalcKLineIndicators(c);
      const bool compact = layout <= 1;
      const int pTop = c->mainTop, pBottom = c->mainTop + c->mainHeight;
      for (int k = 0; k < c->upCount; ++k) {
        ASSERT_GE(c->upBodies[k].top, pTop) << round;
        ASSERT_LE(c->upBodies[k].bottom, pBottom + 1) << round;
        ASSERT_GE(c->upWicks[k].yHigh, pTop);
        ASSERT_LE(c->upWicks[k].yLow, pBottom);
        ASSERT_GE(c->upBodies[k].left, 73);
        ASSERT_LE(c->upBodies[k].right, width);
      }
      for (int k = 0; k < c->downCount; ++k) {
        ASSERT_GE(c->downBodies[k].top, pTop);
        ASSERT_LE(c->downBodies[k].bottom, pBottom + 1);
      }
      const int vTop = layout == 1 ? c->indicatorTop : c->volumeTop;
      const int vHeight = layout == 1 ? c->indicatorHeight : c->volumeHeight;
      for (int k = 0; k < c->upCount; ++k) {
        if (vHeight < 4) break;
        ASSERT_GE(c->upVolumeBars[k].top, vTop) << round;
        ASSERT_LE(c->upVolumeBars[k].bottom, vTop + vHeight) << round;
      }
      (void)compact;
      const int n = std::min(GetKLineVisibleCount(c), KLineBarCount(c));
      const int T = c->indicatorTop, B = c->indicatorTop + c->indicatorHeight;
      auto inPane = [&](ChartPoint p) { return p.y >= T && p.y <= B; };
      for (int k = 0; k < n && k < c->capacity && c->indicatorHeight > 4; ++k) {
        switch (c->lowerIndicator) {
          case 1: ASSERT_TRUE(inPane(c->DifLine[k]) && inPane(c->DeaLine[k])) << round; break;
          case 2: ASSERT_TRUE(inPane(c->KdjLines[0][k]) && inPane(c->KdjLines[2][k])) << round; break;
          case 4: ASSERT_TRUE(inPane(c->WrLines[0][k])) << round; break;
          case 6: ASSERT_TRUE(inPane(c->BiasLines[1][k])) << round; break;
          case 7: ASSERT_TRUE(inPane(c->DmaLines[0][k])) << round; break;
          case 8: ASSERT_TRUE(inPane(c->CciLine[k])) << round; break;
          case 10: ASSERT_TRUE(inPane(c->PsyLine[k])) << round; break;
          default: break;
        }
      }
      if (c->lowerIndicator == 1 && n > 0 && c->indicatorHeight > 4) {
        ASSERT_GE(c->MacdZeroY, T);
        ASSERT_LE(c->MacdZeroY, B);
      }
      ASSERT_LE(c->exRightsMarkCount, kKLineExRightsMarkRoom);
      ASSERT_LE(c->cursor, std::max(GetKLineVisibleCount(c) - 1, 0));
      ASSERT_GE(c->firstVisible, KLineFirstValid(c));
    }
  }
}

}  // namespace
