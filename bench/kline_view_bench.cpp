// One CKLineView of 1,700 x 880 in pane layout 3 (finance pane shown) over
// 8,000 day bars with both supplement tables filled, news dots and ratings,
// for lower indicators 1 MACD, 5 BOLL, 2 KDJ, 13 DDZ and 16 BBD:
//   scroll  MoveCursorLeft with the cursor on the first visible bar (one bar
//           scrolled, recalculated, dirty) + UpdateWindow, alternating with
//           the same to the right;
//   zoom    ZoomOut then ZoomIn alternating + UpdateWindow, at the default
//           width, at 1-pixel candles and at the level showing all bars;
//   repaint the reference: invalidate all + UpdateWindow of a clean picture.
// After the runs prints each case's milliseconds per step, its ratio to the
// repaint and the goal line.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/kline_view.h"
#include "charts/kline_rel_data.h"
#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"
#include "platform/window/win_desktop.h"

namespace {

constexpr int kBars = 8000;

uint32_t PackDay(int year, int month, int day) {
  return static_cast<uint32_t>(year) << 20 | static_cast<uint32_t>(month) << 16 | static_cast<uint32_t>(day) << 11;
}

struct Scene {
  TestDesktop desk;
  CWnd parent;
  CKLineView view;
  std::unique_ptr<KLineArea> area = std::make_unique<KLineArea>();
  IndicatorWorkspace* workspace = CreateIndicatorWorkspace();
  std::vector<NewsRecord> news;
  NewsListArea newsList{};
  KLineRelData rel{};
  std::vector<KLineRatingRow> ratings;
  std::vector<KLineFinanceRow> finance;

  Scene() {
    std::memset(area.get(), 0, sizeof(KLineArea));
    area->key.decimals = 2;
    std::memcpy(area->key.code, "600000", 7);
    area->period = 33;
    area->barCount = kBars;
    area->end = kBars;
    uint32_t seed = 7;
    float price = 12.0f;
    for (int i = 0; i < kBars; ++i) {
      seed = seed * 1103515245u + 12345u;
      DayBar& b = area->bars[i];
      b.time = PackDay(1995 + i / 250, 1 + i % 250 / 21, 1 + i % 21);
      b.open = price;
      price = std::max(1.0f, price + (static_cast<int>((seed >> 16) % 200) - 100) / 4000.0f * price);
      b.close = price;
      b.high = std::max(b.open, b.close) * 1.01f;
      b.low = std::min(b.open, b.close) * 0.99f;
      b.volume = 100000 + (seed >> 8) % 900000;
      b.amount = b.volume * 12;
    }
    area->level2Count = 512;
    area->supplementCount = 512;
    for (int k = 0; k < 512; ++k) {
      for (int v = 0; v < 35; ++v) area->level2Records[k].values[v] = (k * 37 + v * 101) % 20000 - 10000;
      for (int v = 0; v < 11; ++v) area->supplementRecords[k].values[v] = (k * 13 + v * 7) % 5000 + 1;
    }
    parent.CreateEx(0, nullptr, u"bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1700, 880), nullptr, 0);
    view.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1700, 880), &parent, 0);
    desk.RunUntilIdle();
    view.SetBars(area.get(), workspace, true);
    char date[16];
    for (int i = 0; i < 300; ++i) {
      NewsRecord r{};
      const uint32_t t = area->bars[kBars - 1 - i * 5].time;
      std::snprintf(date, sizeof date, "%04u-%02u-%02u", t >> 20, (t >> 16) & 15, (t >> 11) & 31);
      std::snprintf(r.pubTime, sizeof r.pubTime, "%s 10:00:00", date);
      news.push_back(r);
    }
    newsList.records = news.data();
    newsList.recordCount = static_cast<int32_t>(news.size());
    view.SetMineNews(&newsList);
    for (int i = 0; i < 200; ++i) {
      KLineRatingRow r{};
      const uint32_t t = area->bars[kBars - 1 - i * 7].time;
      std::snprintf(r.pubDate, sizeof r.pubDate, "%04u%02u%02u", t >> 20, (t >> 16) & 15, (t >> 11) & 31);
      r.ratingSide = i % 2;
      ratings.push_back(r);
    }
    for (int q = 0; q < 120; ++q) {
      KLineFinanceRow r{};
      const uint32_t s = area->bars[q * 63].time, e = area->bars[std::min(q * 63 + 62, kBars - 1)].time;
      std::snprintf(r.startDate, 24, "%04u%02u%02u", s >> 20, (s >> 16) & 15, (s >> 11) & 31);
      std::snprintf(r.endDate, 24, "%04u%02u%02u", e >> 20, (e >> 16) & 15, (e >> 11) & 31);
      std::snprintf(r.basicEPS, 24, "%.3f", 0.1 + q % 7 * 0.05);
      std::snprintf(r.operRevenue, 24, "%d", 100000000 + q * 1000000);
      std::snprintf(r.netCashFlowPS, 24, "%.3f", (q % 5 - 2) * 0.03);
      finance.push_back(r);
    }
    view.ToggleFundamentalsPane(1);
    KLineChart* c = view.Chart();
    c->financeRows = finance.data();
    c->financeRowCount = static_cast<int32_t>(finance.size());
    c->ratingItems = ratings.data();
    c->ratingCount = static_cast<int32_t>(ratings.size());
    view.ToggleMainOverlay(1);
    view.SetDataRight(1);
    desk.RunUntilIdle();
  }
  ~Scene() { FreeIndicatorWorkspace(workspace); }
};

Scene* g_scene = nullptr;

void Prepare(int indicator, int zoomSteps) {
  CKLineView& v = g_scene->view;
  v.SetIndicator(indicator);
  KLineChart* c = v.Chart();
  while (c->zoomLevel >= 0 || c->candleWidth != 7.0f || c->candleGap != 1) {
    if (c->candleWidth < 7.0f || c->zoomLevel >= 0) {
      v.ZoomIn();
    } else {
      v.ZoomOut();
    }
    if (c->candleWidth > 7.0f) break;
  }
  for (int i = 0; i < zoomSteps; ++i) v.ZoomOut();
  g_scene->desk.RunUntilIdle();
}

void BM_Scroll(benchmark::State& state) {
  Prepare(static_cast<int>(state.range(0)), 0);
  CKLineView& v = g_scene->view;
  KLineChart* c = v.Chart();
  c->scrollToEnd = 0;
  c->firstVisible = kBars / 2;
  v.ShowCrossHair(true);
  bool left = true;
  for (auto _ : state) {
    if (left) {
      c->cursor = 0;
      v.MoveCursorLeft();
    } else {
      c->cursor = GetKLineVisibleCount(c) - 1;
      v.MoveCursorRight();
    }
    left = !left;
    v.UpdateWindow();
  }
}

void BM_Zoom(benchmark::State& state) {
  // range(1): 0 default width, 1 one-pixel candles, 2 all bars.
  const int steps = state.range(1) == 0 ? 0 : state.range(1) == 1 ? 3 : 40;
  Prepare(static_cast<int>(state.range(0)), steps);
  CKLineView& v = g_scene->view;
  bool out = true;
  for (auto _ : state) {
    if (out) {
      v.ZoomOut();
    } else {
      v.ZoomIn();
    }
    out = !out;
    v.UpdateWindow();
  }
}

void BM_Repaint(benchmark::State& state) {
  Prepare(static_cast<int>(state.range(0)), 0);
  CKLineView& v = g_scene->view;
  v.Invalidate(FALSE);
  v.UpdateWindow();
  for (auto _ : state) {
    v.Invalidate(FALSE);
    v.UpdateWindow();
  }
}

const int kIndicators[] = {1, 5, 2, 13, 16};

class Collect : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> ms;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) ms[r.benchmark_name()] = r.GetAdjustedRealTime();  // in the run's unit (ms)
  }
};

}  // namespace

int main(int argc, char** argv) {
  Scene scene;
  g_scene = &scene;
  for (int ind : kIndicators) {
    benchmark::RegisterBenchmark(("repaint/" + std::to_string(ind)).c_str(), BM_Repaint)->Arg(ind)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("scroll/" + std::to_string(ind)).c_str(), BM_Scroll)->Arg(ind)->Unit(benchmark::kMillisecond);
    for (int level = 0; level < 3; ++level)
      benchmark::RegisterBenchmark(("zoom/" + std::to_string(ind) + "/" + std::to_string(level)).c_str(), BM_Zoom)
          ->Args({ind, level})
          ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  Collect collect;
  benchmark::RunSpecifiedBenchmarks(&collect);
  static const char* const kLevels[] = {"default width", "1-pixel candles", "all 8,000 bars"};
  for (int ind : kIndicators) {
    const std::string k = std::to_string(ind);
    const double repaint = collect.ms["repaint/" + k + "/" + k];
    std::printf("indicator %2d: repaint %.3f ms\n", ind, repaint);
    const double scroll = collect.ms["scroll/" + k + "/" + k];
    std::printf("  scroll step            %.3f ms  (%.1fx repaint)\n", scroll, repaint > 0 ? scroll / repaint : 0);
    for (int level = 0; level < 3; ++level) {
      const double z = collect.ms["zoom/" + k + "/" + std::to_string(level) + "/" + k + "/" + std::to_string(level)];
      std::printf("  zoom step, %-15s %.3f ms  (%.1fx repaint)\n", kLevels[level], z, repaint > 0 ? z / repaint : 0);
    }
  }
  std::printf("goal: one scroll or zoom step over 8,000 bars (recalculation + repaint) < 4 ms\n");
  g_scene = nullptr;
  return 0;
}
