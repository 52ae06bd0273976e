// Edge cases of the K-line, level-2 and minute indicators and of the two
// main-chart overlays, on small hand-made areas.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "marketdata/indicator_formulas.h"
#include "marketdata/kline_indicators.h"
#include "marketdata/l2_indicators.h"
#include "marketdata/minute_indicators.h"
#include "marketdata/tests/indicator_test_support.h"

namespace {

using namespace indicator_test;

std::vector<float> Rising(int n, float start = 10.0f, float step = 0.25f) {
  std::vector<float> c;
  for (int i = 0; i < n; ++i) c.push_back(start + step * static_cast<float>(i));
  return c;
}

double AverageClose(const KLineArea& a, int i, int n) {
  double s = 0;
  for (int j = i - n + 1; j <= i; ++j) s += a.bars[j].close;
  return s / n;
}

TEST(KLineIndicators, FullWindowsAreCountedFromBarZero) {
  auto area = AreaOfCloses(Rising(100));
  Workspace ws(CreateIndicatorWorkspace());
  CalcMovingAverages(ws.get(), area.get());
  CalcBias(ws.get(), area.get());
  CalcBoll(ws.get(), area.get());
  CalcDma(ws.get(), area.get());
  for (int i = 0; i < 100; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(i <= 58, ws->ma[3][i] == 0.0);
    EXPECT_EQ(i <= 18, ws->ma[2][i] == 0.0);
    EXPECT_EQ(i <= 22, ws->bias[2][i] == 0.0);
    if (i <= 24) {
      EXPECT_EQ(0.0, ws->bollMiddle[i]);
      EXPECT_EQ(0.0, ws->bollUpper[i]);
      EXPECT_EQ(0.0, ws->bollLower[i]);
    } else {
      EXPECT_DOUBLE_EQ(AverageClose(*area, i, 26), ws->bollMiddle[i]);
      EXPECT_GT(ws->bollUpper[i], ws->bollMiddle[i]);
    }
    if (i <= 8) {
      EXPECT_EQ(0.0, ws->dmaDdd[i]);
    } else if (i <= 48) {
      EXPECT_DOUBLE_EQ(AverageClose(*area, i, 10), ws->dmaDdd[i]);
    }
  }
}

TEST(KLineIndicators, BollUsesTheSampleDeviation) {
  auto area = AreaOfCloses({1, 2, 3, 4});
  Workspace ws(CreateIndicatorWorkspace());
  ws->bollN = 4;
  CalcBoll(ws.get(), area.get());
  const double sample = std::sqrt((2.25 + 0.25 + 0.25 + 2.25) / 3);  // n - 1, not n
  EXPECT_DOUBLE_EQ(2.5 + 2 * sample, ws->bollUpper[3]);
  EXPECT_DOUBLE_EQ(2.5 - 2 * sample, ws->bollLower[3]);
}

TEST(KLineIndicators, ZeroLowAndFlatWindowsGiveTheFixedValues) {
  // Bar 0 is a day without trades stored with zero prices: every KDJ window
  // that holds it has RSV 50.
  auto area = AreaOfCloses(Rising(20));
  area->bars[0] = DayBar{};
  Workspace ws(CreateIndicatorWorkspace());
  CalcKdj(ws.get(), area.get());
  for (int i = 0; i <= 8; ++i) EXPECT_DOUBLE_EQ(50.0, ws->kdjK[i]) << i;
  EXPECT_GT(ws->kdjK[9], 50.0);

  auto flat = AreaOfCloses(std::vector<float>(40, 8.5f));
  CalcKdj(ws.get(), flat.get());
  CalcWr(ws.get(), flat.get());
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(50.0, ws->kdjK[i]);
    EXPECT_EQ(0.0, ws->wr1[i]);
    EXPECT_EQ(2.0, ws->wr2[i]);  // 2, not 0
  }
}

// The running window sums give exactly the in-order sum of every window:
// on float prices by running, on series a running sum would get wrong by
// summing in order.
TEST(KLineIndicators, WindowSumsEqualInOrderSums) {
  std::vector<double> prices;
  float walk = 12.34f;
  for (int i = 0; i < 3000; ++i) {
    walk += static_cast<float>((i * 7919) % 41 - 20) * 0.01f;
    prices.push_back(static_cast<double>(walk));
  }
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    std::vector<double> values;
    bool exact;  // the check lets the sums run
  };
  const Case cases[] = {
      {"float prices", prices, true},
      {"zeros and negative zeros", {0.0, -0.0, 0.0, 1.5, -0.0, 0.0, 0.0}, true},
      {"scales too far apart", {0.1, 1e20, 0.3, 0.7, 1e-5, 2.0, 0.1, 0.2, 0.3}, false},
      {"at the edge of 53 bits", {4503599627370496.0, 1.0, 1.0, 4503599627370496.0, 1.0}, false},
      {"not a number", {1.0, 2.0, std::nan(""), 3.0, 4.0, 5.0}, false},
      {"infinities", {1.0, inf, 3.0, -inf, 4.0, 5.0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int count = static_cast<int>(c.values.size());
    for (int n : {1, 2, 5, 26, 60}) {
      SCOPED_TRACE(n);
      indicator_formulas::ExactSumCheck check;
      for (double v : c.values) check.Add(v);
      EXPECT_EQ(c.exact, check.Exact(n));
      for (int from : {0, 3}) {
        auto sums = indicator_formulas::MakeWindowSum([&](int j) { return c.values[size_t(j)]; }, from,
                                                      count, n);
        for (int i = from; i < count; ++i) {
          double expected = 0.0;
          for (int j = indicator_formulas::WindowStart(i, n); j <= i; ++j) expected += c.values[size_t(j)];
          const double got = sums.At(i);
          ASSERT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << "window ending " << i << ": " << got
                                                                 << " against " << expected;
        }
      }
    }
  }
}

// A spike of another scale leaves no residue in the averages and BRAR
// sums of the bars after it.
TEST(KLineIndicators, SpikeOfAnotherScaleLeavesNoResidue) {
  std::vector<float> closes(40, 0.01f);
  closes[5] = 1.0e9f;
  closes[6] = 3.3e-7f;
  auto area = AreaOfCloses(closes);
  area->bars[5].high = 1.5e9f;  // H - O of the spike only
  Workspace ws(CreateIndicatorWorkspace());
  CalcMovingAverages(ws.get(), area.get());
  CalcKLineIndicator(ws.get(), area.get(), 9);  // BRAR
  const int n0 = ws->maPeriods[0];
  for (int i = n0 - 1; i < 40; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(AverageClose(*area, i, n0), ws->ma[0][i]);
    // Open equals low on every bar: no O - L anywhere, so AR is 0.
    EXPECT_EQ(0.0, ws->brarAr[i]);
  }
}

TEST(KLineIndicators, ConstantClosesGiveFlatLines) {
  auto area = AreaOfCloses(std::vector<float>(60, 12.0f));
  Workspace ws(CreateIndicatorWorkspace());
  for (int n = 1; n <= 10; ++n) CalcKLineIndicator(ws.get(), area.get(), n);
  for (int i = 0; i < 60; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(0.0, ws->rsi1[i]);
    EXPECT_EQ(0.0, ws->rsi3[i]);
    EXPECT_EQ(0.0, ws->psy[i]);
    EXPECT_EQ(0.0, ws->bias[0][i]);
    EXPECT_EQ(0.0, ws->cci[i]);
    EXPECT_EQ(ws->bollMiddle[i], ws->bollUpper[i]);
    EXPECT_EQ(ws->bollMiddle[i], ws->bollLower[i]);
    EXPECT_EQ(12.0, ws->macdShortEma[i]);
    EXPECT_EQ(12.0, ws->macdLongEma[i]);
    EXPECT_EQ(0.0, ws->macdDif[i]);
    EXPECT_EQ(0.0, ws->macdDea[i]);
    EXPECT_EQ(0.0, ws->macdMacd[i]);
  }
}

TEST(KLineIndicators, CciReplacesATypicalPriceOfZeroOrBelowByTheClose) {
  auto area = AreaOfCloses(std::vector<float>(14, 10.0f));
  DayBar& odd = area->bars[13];
  odd.high = 1.0f;
  odd.low = -10.0f;
  odd.close = 2.0f;  // (1 - 10 + 2) / 3 < 0: the close 2 is used
  Workspace ws(CreateIndicatorWorkspace());
  CalcCci(ws.get(), area.get());
  const double mtp = (13 * 10.0 + 2.0) / 14;
  const double md = static_cast<float>((13 * std::fabs(10.0 - mtp) + std::fabs(2.0 - mtp)) / 14);
  EXPECT_DOUBLE_EQ((2.0 - mtp) / (md * 0.015), ws->cci[13]);
}

TEST(KLineIndicators, BrarFirstBarUsesItsOwnCloseAndPsyDividesByN) {
  auto area = AreaOfCloses({10, 11, 12, 13, 12});
  DayBar& b0 = area->bars[0];
  b0.open = 9.5f;
  b0.high = 10.5f;
  b0.low = 9.0f;
  Workspace ws(CreateIndicatorWorkspace());
  CalcBrar(ws.get(), area.get());
  CalcPsy(ws.get(), area.get());
  EXPECT_DOUBLE_EQ((10.5 - 10.0) / (10.0 - 9.0) * 100, ws->brarBr[0]);
  EXPECT_DOUBLE_EQ((10.5 - 9.5) / (9.5 - 9.0) * 100, ws->brarAr[0]);
  EXPECT_EQ(0.0, ws->psy[0]);
  EXPECT_DOUBLE_EQ(25.0, ws->psy[3]);  // three rising closes / 12
  EXPECT_DOUBLE_EQ(25.0, ws->psy[4]);
}

TEST(KLineIndicators, ShownBarsOnlyAndNothingCarriedBetweenStocks) {
  // A first stock leaves its series behind; the second stock, with look-back
  // bars, must come out exactly as in a new workspace (DMA reads DDD of the
  // look-back bars, the trend state starts from a cleared array).
  auto previous = AreaOfCloses(Rising(300, 50.0f, -0.1f));
  auto area = AreaOfCloses(Rising(200, 10.0f, 0.05f), 60);
  for (int i = 0; i < 200; i += 7) area->bars[i].close -= 0.3f;
  Workspace used(CreateIndicatorWorkspace());
  Workspace fresh(CreateIndicatorWorkspace());
  CalcDma(used.get(), previous.get());
  CalcTrendState(used.get(), previous.get());
  for (IndicatorWorkspace* w : {used.get(), fresh.get()}) {
    CalcDma(w, area.get());
    CalcTrendState(w, area.get());
    CalcWr(w, area.get());
  }
  // AMA is written for the shown bars 60..199 only.
  EXPECT_EQ(0, std::memcmp(used->dmaAma + 60, fresh->dmaAma + 60, sizeof(double) * 140));
  EXPECT_EQ(0, std::memcmp(used->trendState, fresh->trendState, sizeof used->trendState));
  EXPECT_NE(0.0, fresh->dmaAma[60]);  // reads DDD of bars 51..60
  for (int i = 0; i < 60; ++i) EXPECT_EQ(0.0, fresh->wr1[i]) << "look-back bar " << i;
}

TEST(KLineIndicators, EmptyAreaAndUnknownNumbersWriteNothing) {
  auto area = NewArea();
  Workspace ws(CreateIndicatorWorkspace());
  for (int n = 0; n <= 18; ++n) CalcKLineIndicator(ws.get(), area.get(), n);
  CalcMovingAverages(ws.get(), area.get());
  CalcTrendState(ws.get(), area.get());
  CalcZigZagTurns(ws.get(), area.get());
  EXPECT_EQ(0, ws->turnCount);
  EXPECT_EQ(0.0, ws->macdShortEma[0]);
}

// A period below 1 never reaches a window bound (INT32_MIN would overflow
// i - n + 1, n - 1 and m1 - 1): the calculator writes nothing, and the
// largest period is taken without overflow either.
TEST(KLineIndicators, PeriodsBelowOneAreRefused) {
  struct Case {
    const char* name;
    std::function<void(IndicatorWorkspace*, int32_t)> setPeriod;
    std::function<double*(IndicatorWorkspace*)> series;   // a series the period feeds
    int number;                                           // 0: moving averages
  };
  const Case cases[] = {
      {"MACD short", [](IndicatorWorkspace* w, int32_t p) { w->macdShort = p; }, [](IndicatorWorkspace* w) { return w->macdDif; }, 1},
      {"MACD long", [](IndicatorWorkspace* w, int32_t p) { w->macdLong = p; }, [](IndicatorWorkspace* w) { return w->macdDif; }, 1},
      {"MACD mid", [](IndicatorWorkspace* w, int32_t p) { w->macdMid = p; }, [](IndicatorWorkspace* w) { return w->macdDea; }, 1},
      {"KDJ n", [](IndicatorWorkspace* w, int32_t p) { w->kdjN = p; }, [](IndicatorWorkspace* w) { return w->kdjK; }, 2},
      {"KDJ m1", [](IndicatorWorkspace* w, int32_t p) { w->kdjM1 = p; }, [](IndicatorWorkspace* w) { return w->kdjK; }, 2},
      {"KDJ m2", [](IndicatorWorkspace* w, int32_t p) { w->kdjM2 = p; }, [](IndicatorWorkspace* w) { return w->kdjD; }, 2},
      {"RSI n1", [](IndicatorWorkspace* w, int32_t p) { w->rsiN1 = p; }, [](IndicatorWorkspace* w) { return w->rsi1; }, 3},
      {"RSI n3", [](IndicatorWorkspace* w, int32_t p) { w->rsiN3 = p; }, [](IndicatorWorkspace* w) { return w->rsi3; }, 3},
      {"WR n", [](IndicatorWorkspace* w, int32_t p) { w->wrN = p; }, [](IndicatorWorkspace* w) { return w->wr1; }, 4},
      {"WR n1", [](IndicatorWorkspace* w, int32_t p) { w->wrN1 = p; }, [](IndicatorWorkspace* w) { return w->wr2; }, 4},
      {"BOLL n", [](IndicatorWorkspace* w, int32_t p) { w->bollN = p; }, [](IndicatorWorkspace* w) { return w->bollMiddle; }, 5},
      {"BIAS 2", [](IndicatorWorkspace* w, int32_t p) { w->biasPeriods[1] = p; }, [](IndicatorWorkspace* w) { return w->bias[1]; }, 6},
      {"DMA short", [](IndicatorWorkspace* w, int32_t p) { w->dmaShort = p; }, [](IndicatorWorkspace* w) { return w->dmaDdd; }, 7},
      {"DMA long", [](IndicatorWorkspace* w, int32_t p) { w->dmaLong = p; }, [](IndicatorWorkspace* w) { return w->dmaDdd; }, 7},
      {"DMA m", [](IndicatorWorkspace* w, int32_t p) { w->dmaM = p; }, [](IndicatorWorkspace* w) { return w->dmaAma; }, 7},
      {"CCI n", [](IndicatorWorkspace* w, int32_t p) { w->cciN = p; }, [](IndicatorWorkspace* w) { return w->cci; }, 8},
      {"BRAR n", [](IndicatorWorkspace* w, int32_t p) { w->brarN = p; }, [](IndicatorWorkspace* w) { return w->brarAr; }, 9},
      {"PSY n", [](IndicatorWorkspace* w, int32_t p) { w->psyN = p; }, [](IndicatorWorkspace* w) { return w->psy; }, 10},
      {"MA 3", [](IndicatorWorkspace* w, int32_t p) { w->maPeriods[2] = p; }, [](IndicatorWorkspace* w) { return w->ma[2]; }, 0},
  };
  auto area = AreaOfCloses(Rising(40), 5);
  auto run = [&](IndicatorWorkspace* w, int number) {
    if (number == 0) CalcMovingAverages(w, area.get());
    else CalcKLineIndicator(w, area.get(), number);
  };
  for (const auto& c : cases) {
    for (int32_t period : {0, -1, INT32_MIN}) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(period));
      Workspace ws(CreateIndicatorWorkspace());
      double* out = c.series(ws.get());
      for (int i = 0; i < 40; ++i) out[i] = 123.0;
      c.setPeriod(ws.get(), period);
      run(ws.get(), c.number);
      for (int i = 0; i < 40; ++i) ASSERT_EQ(123.0, out[i]) << i;
    }
    SCOPED_TRACE(std::string(c.name) + " INT32_MAX");
    Workspace ws(CreateIndicatorWorkspace());
    c.setPeriod(ws.get(), INT32_MAX);
    run(ws.get(), c.number);
    for (int i = 5; i < 40; ++i) ASSERT_FALSE(std::isnan(c.series(ws.get())[i])) << i;
  }
  // The other lines of the same calculator still come out.
  Workspace ws(CreateIndicatorWorkspace());
  ws->rsiN1 = INT32_MIN;
  CalcRsi(ws.get(), area.get());
  EXPECT_EQ(100.0, ws->rsi2[39]);
  // The trend periods leave the cleared state.
  for (int32_t period : {0, INT32_MIN}) {
    for (int32_t* field : {&ws->trendShort, &ws->trendLong}) {
      ws->trendShort = 8;
      ws->trendLong = 34;
      *field = period;
      for (int i = 0; i < 40; ++i) ws->trendState[i] = 7;
      CalcTrendState(ws.get(), area.get());
      for (int i = 0; i < 40; ++i) ASSERT_EQ(0, ws->trendState[i]) << period << " " << i;
    }
  }
}

// Level-2 records v[0..9] = d f g h i j l m n o.
void SetRecord(KLineArea* a, int k, std::initializer_list<int64_t> values) {
  int v = 0;
  for (int64_t x : values) a->level2Records[k].values[v++] = x;
}

TEST(Level2Indicators, TenRecordsForTenBars) {
  auto area = AreaOfCloses(Rising(10));
  area->level2Count = 10;
  area->level2Values[0] = 1000;
  for (int k = 0; k < 10; ++k) SetRecord(area.get(), k, {0, 0, 100 + 10 * k, 0, 0, 0, 0, 20, 0, 0});
  Workspace ws(CreateIndicatorWorkspace());
  CalcLevel2Indicator11(ws.get(), area.get());
  EXPECT_DOUBLE_EQ((100 - 20) * 100.0 / 1000, ws->ddx[0]);
  EXPECT_DOUBLE_EQ(ws->ddx[0] * 10, ws->ddx1[0]);  // w = 10
  const double s1 = (2 * ws->ddx[1] + 9 * ws->ddx[0]) / 11;
  EXPECT_DOUBLE_EQ(s1 * 10, ws->ddx1[1]);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(0.0, ws->ddx2[i]);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(0.0, ws->ddx3[i]);
  EXPECT_NE(0.0, ws->ddx2[4]);
  EXPECT_NE(0.0, ws->ddx3[9]);
}

TEST(Level2Indicators, MoreThanSixtyRecordsSmoothWithSixty) {
  auto area = AreaOfCloses(Rising(100));
  area->level2Count = 100;
  area->level2Values[0] = 500;
  for (int k = 0; k < 100; ++k) SetRecord(area.get(), k, {0, 0, k * 3, 0, 0, 0, 0, 7, 0, 0});
  Workspace ws(CreateIndicatorWorkspace());
  CalcLevel2Indicator11(ws.get(), area.get());
  EXPECT_DOUBLE_EQ((2 * ws->ddx[1] + 59 * ws->ddx[0]) / 61 * 60, ws->ddx1[1]);
}

TEST(Level2Indicators, ThreeRecordsBelongToTheLastThreeBars) {
  auto area = AreaOfCloses(Rising(5));
  area->level2Count = 3;
  area->level2Values[0] = 100;
  for (int k = 0; k < 3; ++k) SetRecord(area.get(), k, {50 + k, 10, 40 + k, 30, 5, 20, 6, 10, 25, 8});
  Workspace ws(CreateIndicatorWorkspace());
  for (int n = 11; n <= 16; ++n) CalcKLineIndicator(ws.get(), area.get(), n);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(0.0, ws->ddx[i]);
    EXPECT_EQ(0.0, ws->ddy[i]);
    EXPECT_EQ(0.0, ws->ddz[i]);
    EXPECT_EQ(0.0, ws->retailHoldings[i]);
    EXPECT_EQ(0, ws->bbd[i]);
  }
  EXPECT_DOUBLE_EQ((40 - 10) * 100.0 / 100, ws->ddx[2]);  // record 0
  EXPECT_DOUBLE_EQ((50 - 20) * 100.0 / 100, ws->retailHoldings[2]);
  EXPECT_DOUBLE_EQ(ws->retailChange[2], ws->retailHoldings[2]);
  EXPECT_DOUBLE_EQ(30.0 + 31.0, ws->retailHoldings[3]);
  EXPECT_EQ(30 - 25, ws->bbd[2]);
}

TEST(Level2Indicators, FullReplyLongerThanTheArea) {
  auto area = AreaOfCloses(Rising(300));
  area->level2Count = 512;
  area->level2Values[0] = 1000;
  for (int k = 0; k < 512; ++k) SetRecord(area.get(), k, {k, 0, 2 * k, k % 9, 0, 1, 0, 3, 2, 0});
  Workspace ws(CreateIndicatorWorkspace());
  CalcLevel2Indicator11(ws.get(), area.get());
  CalcLevel2Indicator14(ws.get(), area.get());
  CalcLevel2Indicator16(ws.get(), area.get());
  EXPECT_DOUBLE_EQ((2 * 212 - 3) * 100.0 / 1000, ws->ddx[0]);    // bar 0: record 212
  EXPECT_DOUBLE_EQ((2 * 511 - 3) * 100.0 / 1000, ws->ddx[299]);  // bar 299: record 511
  double held = 0;
  for (int k = 0; k <= 212; ++k) held += (k - 1) * 100.0 / 1000;
  EXPECT_NEAR(held, ws->retailHoldings[0], 1e-9);
  int64_t sum10 = 0;
  for (int i = 0; i <= 4; ++i) sum10 += ws->bbd[i];
  EXPECT_EQ(sum10, ws->bbdSum10[4]);  // bars 0 to 4 only
}

TEST(Level2Indicators, ZeroShareBaseTradeCountAndSums) {
  auto area = AreaOfCloses(Rising(20));
  area->level2Count = 20;
  area->level2Values[0] = 0;
  for (int k = 0; k < 20; ++k) SetRecord(area.get(), k, {9, 0, 7, 1, 0, 2, 5, 3, 1, 4});
  area->supplementCount = 2;
  area->supplementRecords[0].values[2] = 0;
  area->supplementRecords[1].values[2] = 4;
  Workspace ws(CreateIndicatorWorkspace());
  for (int i = 0; i < 20; ++i) ws->volumePerTrade[i] = ws->mainHoldings[i] = 99;  // stale values
  for (int n = 11; n <= 17; ++n) CalcKLineIndicator(ws.get(), area.get(), n);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(0.0, ws->ddx[i]);
    EXPECT_EQ(0.0, ws->ddy[i]);
    EXPECT_EQ(0.0, ws->retailHoldings[i]);
    EXPECT_EQ(0.0, ws->mainHoldings[i]);
    // q = f + i = 0: a = 0, so DDZ1 = -(m / p) / 100.
    EXPECT_DOUBLE_EQ(-(3.0 / 9) / 100, ws->ddz1[i]);
  }
  EXPECT_EQ(0.0, ws->volumePerTrade[18]);  // trade count 0
  EXPECT_DOUBLE_EQ(1000.0 / 4, ws->volumePerTrade[19]);
  EXPECT_DOUBLE_EQ(10000.0 / 4, ws->amountPerTrade[19]);
  EXPECT_EQ(0.0, ws->volumePerTrade[0]);

  SetRecord(area.get(), 19, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // q = p = 0
  CalcLevel2Indicator13(ws.get(), area.get());
  EXPECT_EQ(0.0, ws->ddz1[19]);
  EXPECT_EQ(0.0, ws->ddz[19]);
}

TEST(ChartOverlays, TrendStateOfEightBars) {
  auto area = AreaOfCloses({10, 10.5f, 11, 10.8f, 10.2f, 10.6f, 11.4f, 11.1f});
  Workspace ws(CreateIndicatorWorkspace());
  for (int i = 0; i < kIndicatorBarRoom; ++i) ws->trendState[i] = 7;  // no stale value may survive
  CalcTrendState(ws.get(), area.get());
  // Before index 9 the smoothing is the partial average itself; bar 0 averages
  // itself, so bar 1 compares against the first close.
  EXPECT_EQ(0, ws->trendState[0]);
  EXPECT_EQ(0, ws->trendState[1]);  // everything rises
  for (int i = 0; i < kIndicatorBarRoom; ++i) ASSERT_LE(ws->trendState[i], 3) << i;
  for (int i = 8; i < kIndicatorBarRoom; ++i) ASSERT_EQ(0, ws->trendState[i]) << i;
}

TEST(ChartOverlays, ZigZagExamples) {
  struct Case {
    const char* name;
    std::vector<float> closes;
    std::vector<TurningPoint> turns;
  };
  const Case cases[] = {
      {"rise, fall, lower trough", {100, 104, 106, 100, 98}, {{100, 1, 1}, {106, 3, 0}, {98, 5, 1}}},
      {"moves below one price unit", {10, 10.3f, 10.6f, 10.4f, 9.8f}, {}},
      {"no close above zero", {0, 0, 0}, {}},
      {"first leg at the last bar", {0, 50, 50, 60}, {{0, 1, 1}, {60, 4, 0}}},
      {"falling first leg", {100, 90, 95, 99}, {{100, 1, 0}, {90, 2, 1}, {99, 4, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto area = AreaOfCloses(c.closes);
    Workspace ws(CreateIndicatorWorkspace());
    ws->turnCount = 77;
    CalcZigZagTurns(ws.get(), area.get());
    ASSERT_EQ(static_cast<int>(c.turns.size()), ws->turnCount);
    for (size_t k = 0; k < c.turns.size(); ++k) {
      EXPECT_EQ(c.turns[k].price, ws->turns[k].price) << k;
      EXPECT_EQ(c.turns[k].barNumber, ws->turns[k].barNumber) << k;
      EXPECT_EQ(c.turns[k].kind, ws->turns[k].kind) << k;
    }
  }
}

TEST(ChartOverlays, ZigZagListIsBoundedWhenEveryBarTurns) {
  std::vector<float> closes;
  for (int i = 0; i < kKLineBarRoom; ++i) closes.push_back(i % 2 ? 200.0f : 100.0f);
  auto area = AreaOfCloses(closes);
  Workspace ws(CreateIndicatorWorkspace());
  CalcZigZagTurns(ws.get(), area.get());
  EXPECT_EQ(kIndicatorBarRoom, ws->turnCount);  // first entry + a turn per bar 1..7998 + the last
  EXPECT_EQ(8000, ws->turns[kIndicatorBarRoom - 1].barNumber);
  ws->turnThreshold = 0.0f;  // would need 8,001 entries: the last one is dropped
  CalcZigZagTurns(ws.get(), area.get());
  EXPECT_EQ(kIndicatorBarRoom, ws->turnCount);
  EXPECT_EQ(7999, ws->turns[kIndicatorBarRoom - 1].barNumber);
}

std::unique_ptr<MinuteArea> MinutesOf(const std::vector<float>& prices) {
  auto area = NewMinuteArea();
  for (size_t i = 0; i < prices.size(); ++i) area->points[i].price = prices[i];
  area->pointsHeld = static_cast<int>(prices.size());
  return area;
}

TEST(MinuteIndicators, FlatDayAndShortDay) {
  MinuteWorkspace ws(CreateMinuteIndicatorWorkspace());
  auto flat = MinutesOf(std::vector<float>(30, 9.87f));
  for (int n : {6, 7, 8, 9, 10, 11}) MinuteCalcIndicator(ws.get(), flat.get(), n);
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(50.0, ws->kdjK[i]);
    EXPECT_EQ(50.0, ws->kdjD[i]);
    EXPECT_EQ(50.0, ws->kdjJ[i]);
    EXPECT_EQ(0.0, ws->rsi1[i]);
    EXPECT_EQ(0.0, ws->wr1[i]);
    EXPECT_EQ(2.0, ws->wr2[i]);
    EXPECT_EQ(0.0, ws->macdDif[i]);
    EXPECT_EQ(0.0, ws->macdMacd[i]);
  }
  auto start = MinutesOf({10, 10.1f, 10.05f, 10.2f, 10.3f});
  MinuteCalcBias(ws.get(), start.get());
  MinuteCalcPsy(ws.get(), start.get());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(0.0, ws->bias[0][i]) << i;
  EXPECT_DOUBLE_EQ(3.0 / 12 * 100, ws->psy[4]);
}

TEST(MinuteIndicators, PeriodsBelowOneAreRefused) {
  struct Case {
    const char* name;
    std::function<void(MinuteIndicatorWorkspace*, int32_t)> setPeriod;
    std::function<double*(MinuteIndicatorWorkspace*)> series;
    int number;
  };
  const Case cases[] = {
      {"MACD short", [](MinuteIndicatorWorkspace* w, int32_t p) { w->macdShort = p; }, [](MinuteIndicatorWorkspace* w) { return w->macdDif; }, 6},
      {"MACD mid", [](MinuteIndicatorWorkspace* w, int32_t p) { w->macdMid = p; }, [](MinuteIndicatorWorkspace* w) { return w->macdDea; }, 6},
      {"KDJ n", [](MinuteIndicatorWorkspace* w, int32_t p) { w->kdjN = p; }, [](MinuteIndicatorWorkspace* w) { return w->kdjK; }, 7},
      {"KDJ m1", [](MinuteIndicatorWorkspace* w, int32_t p) { w->kdjM1 = p; }, [](MinuteIndicatorWorkspace* w) { return w->kdjK; }, 7},
      {"RSI n2", [](MinuteIndicatorWorkspace* w, int32_t p) { w->rsiN2 = p; }, [](MinuteIndicatorWorkspace* w) { return w->rsi2; }, 8},
      {"WR n", [](MinuteIndicatorWorkspace* w, int32_t p) { w->wrN = p; }, [](MinuteIndicatorWorkspace* w) { return w->wr1; }, 9},
      {"BIAS 1", [](MinuteIndicatorWorkspace* w, int32_t p) { w->biasPeriods[0] = p; }, [](MinuteIndicatorWorkspace* w) { return w->bias[0]; }, 10},
      {"PSY n", [](MinuteIndicatorWorkspace* w, int32_t p) { w->psyN = p; }, [](MinuteIndicatorWorkspace* w) { return w->psy; }, 11},
  };
  auto area = MinutesOf(Rising(30));
  for (const auto& c : cases) {
    for (int32_t period : {0, -7, INT32_MIN}) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(period));
      MinuteWorkspace ws(CreateMinuteIndicatorWorkspace());
      double* out = c.series(ws.get());
      for (int i = 0; i < 30; ++i) out[i] = 123.0;
      c.setPeriod(ws.get(), period);
      MinuteCalcIndicator(ws.get(), area.get(), c.number);
      for (int i = 0; i < 30; ++i) ASSERT_EQ(123.0, out[i]) << i;
    }
  }
}

TEST(MinuteIndicators, FlowIndicatorsCoverTheFlowRecordsOnly) {
  MinuteWorkspace ws(CreateMinuteIndicatorWorkspace());
  auto area = MinutesOf(std::vector<float>(100, 5.0f));
  for (int i = 0; i < kMinuteIndicatorRoom; ++i) {
    ws->ddx[i] = ws->ddxSum[i] = 1;  // stale values
    ws->bbd[i] = 1;
  }
  area->flowsHeld = 3;
  area->flowHead = 400;
  for (int i = 0; i < 5; ++i) {
    area->flows[i].field117 = 10 * (i + 1);
    area->flows[i].running[2] = 1000 + i;
    area->flows[i].running[3] = 7;
  }
  MinuteCalcIndicator2(ws.get(), area.get());
  MinuteCalcIndicator4(ws.get(), area.get());
  EXPECT_DOUBLE_EQ(2.5, ws->ddx[0]);
  EXPECT_DOUBLE_EQ(2.5 + 5.0 + 7.5, ws->ddxSum[2]);
  EXPECT_EQ(1009, ws->bbd[2]);
  for (int i = 3; i < kMinuteIndicatorRoom; ++i) {
    ASSERT_EQ(0.0, ws->ddx[i]) << i;
    ASSERT_EQ(0.0, ws->ddxSum[i]) << i;
    ASSERT_EQ(0, ws->bbd[i]) << i;
  }
  area->flowHead = 0;  // no head value: DDX stays 0 whatever the records hold
  MinuteCalcIndicator2(ws.get(), area.get());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0.0, ws->ddx[i]);
}

}  // namespace
