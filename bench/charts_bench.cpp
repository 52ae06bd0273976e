// Time of one chart recalculation as the views run it. Budget: a scroll step
// of the K-line chart recalculates in under 1 ms (60 frames a second while the
// user drags). The Time column is us per call.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "charts/kline_chart.h"
#include "charts/kline_chart_indicators.h"
#include "charts/minute_chart.h"
#include "charts/minute_chart_indicators.h"
#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/quote_engine.h"

namespace {

uint64_t g_seed = 12345;
int64_t Next() {
  g_seed = g_seed * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<int64_t>(g_seed >> 33);
}

std::unique_ptr<KLineArea> BigArea() {
  auto area = std::make_unique<KLineArea>();
  std::memset(area.get(), 0, sizeof(KLineArea));
  double close = 10.0;
  for (int i = 0; i < kKLineBarRoom; ++i) {
    close = std::max(0.5, close + (Next() % 41 - 20) / 100.0);
    DayBar& b = area->bars[i];
    b.close = static_cast<float>(close);
    b.open = static_cast<float>(close + (Next() % 21 - 10) / 100.0);
    b.high = std::max(b.open, b.close) + static_cast<float>(Next() % 15) / 100.0f;
    b.low = std::min(b.open, b.close) - static_cast<float>(Next() % 15) / 100.0f;
    b.volume = Next() % 100000;
    b.time = (2000u + static_cast<uint32_t>(i / 336)) << 20 | (1u + static_cast<uint32_t>(i / 28 % 12)) << 16 |
             (1u + static_cast<uint32_t>(i % 28)) << 11;
  }
  area->key.decimals = 2;
  area->period = 33;
  area->end = kKLineBarRoom;
  area->barCount = kKLineBarRoom;
  return area;
}

// args: pane layout, 0 scroll step / 1 zoom step.
void BM_KLineRecalc(benchmark::State& state) {
  auto area = BigArea();
  IndicatorWorkspace* ws = CreateIndicatorWorkspace();
  KLineChart* chart = CreateKLineChart({0, 0, 1200, 800}, nullptr);
  chart->paneLayout = static_cast<int>(state.range(0));
  SetKLineChartData(chart, area.get(), ws);
  bool left = true;
  for (auto _ : state) {
    if (state.range(1) == 0) {
      if (chart->crossHairShown && chart->cursor == 0 && chart->firstVisible == 0) left = false;
      if (left) {
        MoveKLineCursorLeft(chart);  // recalculates once
      } else {
        MoveKLineCursorRight(chart);
      }
    } else {
      if (chart->candleWidth >= 7.0f) left = true;
      if (chart->zoomLevel >= 3) left = false;
      if (left) {
        ZoomOutKLineChart(chart);
      } else {
        ZoomInKLineChart(chart);
      }
    }
    benchmark::DoNotOptimize(chart->upCount);
  }
  FreeKLineChart(chart);
  FreeIndicatorWorkspace(ws);
}
BENCHMARK(BM_KLineRecalc)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->ArgNames({"layout", "zoom"})
    ->Unit(benchmark::kMicrosecond);

void BM_MinuteRecalc(benchmark::State& state) {
  const int points = static_cast<int>(state.range(0));
  auto area = std::make_unique<MinuteArea>();
  std::memset(area.get(), 0, sizeof(MinuteArea));
  area->previousClose = 10;
  area->key.decimals = 2;
  area->key.market = 1;
  for (int i = 0; i < points; ++i) {
    MinutePoint& p = area->points[i];
    p.price = 10.0f + static_cast<float>(Next() % 200 - 100) / 100.0f;
    p.average = p.price;
    p.volume = Next() % 10000;
    p.bidVolume = Next() % 5000;
    p.askVolume = Next() % 5000;
    area->flows[i].field117 = Next() % 1000;
  }
  area->pointsHeld = points;
  area->flowsHeld = points;
  area->flowHead = 100000;
  TradingHoursTable hours{};
  hours.count = 1;
  const int minutes = points;
  // One session long enough for every point.
  const int close = 0 + (minutes - 1) / 60 * 100 + (minutes - 1) % 60;
  hours.entries[0] = {0, close, 0, 0, 0, 0, 1, 0, minutes};
  MinuteChart* chart = CreateMinuteChart({0, 0, 1200, 600}, nullptr);
  SetMinuteChartLayout(chart, 2);
  SetMinuteChartStock(chart, area.get(), &hours);
  int kind = 0;
  for (auto _ : state) {
    chart->SubChart = kind;
    kind = (kind + 1) % 12;
    CalcMinuteIndicators(chart);
    benchmark::DoNotOptimize(chart->PriceLine[0].y);
  }
  FreeMinuteChart(chart);
}
BENCHMARK(BM_MinuteRecalc)->Arg(242)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
