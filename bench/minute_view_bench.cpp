// One CMinView of 1,200 x 700 in layout mode 2 with the MACD sub-chart, over
// 242 and over 1,024 minute points:
//   cursor  a mouse move to the next slot + UpdateWindow (strips only);
//   dirty   SetStock with the same data + the repaint it causes (the chart
//           is rendered into the picture again);
//   repaint the reference: invalidate all + UpdateWindow of a clean picture.
// After the runs prints each case in microseconds, its ratio to the repaint
// and the goal line.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "charts/min_view.h"
#include "charts/minute_chart.h"
#include "platform/window/win_desktop.h"

namespace {

struct Scene {
  TestDesktop desk;
  CWnd parent;
  CMinView view;
  std::unique_ptr<MinuteArea> area = std::make_unique<MinuteArea>();
  TradingHoursTable hours{};

  Scene() {
    hours.count = 1;
    hours.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
    parent.CreateEx(0, nullptr, u"bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1200, 700), nullptr, 0);
    view.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1200, 700), &parent, 0);
    view.SetDataRight(1);
    view.SetSubChart(kMinuteSubMacd);
    desk.RunUntilIdle();
  }
  void Fill(int points) {
    std::memset(area.get(), 0, sizeof(MinuteArea));
    area->key.market = 1;
    area->key.decimals = 2;
    std::memcpy(area->key.code, "600000", 7);
    std::snprintf(area->key.name, sizeof area->key.name, "浦发银行");
    area->previousClose = 10.0f;
    uint32_t seed = 11;
    float price = 10.0f;
    for (int i = 0; i < points; ++i) {
      seed = seed * 1103515245u + 12345u;
      price += (static_cast<int>((seed >> 16) % 200) - 100) / 20000.0f;
      MinutePoint& p = area->points[i];
      p.price = price;
      p.average = 10.0f + (price - 10.0f) / 2;
      p.volume = 1000 + (seed >> 8) % 90000;
      p.amount = p.volume * 10;
      p.bidVolume = 300000 + (seed >> 4) % 1000;
      p.askVolume = 200000 + (seed >> 6) % 1000;
    }
    area->pointsHeld = points;
    area->pointCount = static_cast<int16_t>(points);
    view.SetStock(area.get(), &hours);
    desk.RunUntilIdle();
  }
};

Scene* g_scene = nullptr;

void BM_Cursor(benchmark::State& state) {
  g_scene->Fill(static_cast<int>(state.range(0)));
  CMinView& v = g_scene->view;
  MinuteChart* c = v.Chart();
  v.ShowCrossHair(true);
  const int n = MinuteChartPointCount(c);
  int slot = 0;
  for (auto _ : state) {
    slot = (slot + 1) % n;
    const int x = static_cast<int>(c->PointX[slot]) + 1 + (slot & 1);
    v.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, 200 + (slot & 1)));
    v.UpdateWindow();
  }
}

void BM_Dirty(benchmark::State& state) {
  g_scene->Fill(static_cast<int>(state.range(0)));
  Scene& s = *g_scene;
  for (auto _ : state) {
    s.view.SetStock(s.area.get(), &s.hours);
    s.view.UpdateWindow();
  }
  s.desk.RunUntilIdle();
}

void BM_Repaint(benchmark::State& state) {
  g_scene->Fill(static_cast<int>(state.range(0)));
  CMinView& v = g_scene->view;
  v.Invalidate(FALSE);
  v.UpdateWindow();
  for (auto _ : state) {
    v.Invalidate(FALSE);
    v.UpdateWindow();
  }
}

class Collect : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> us;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) us[r.benchmark_name()] = r.GetAdjustedRealTime();  // in the run's unit (us)
  }
};

const int kPoints[] = {242, 1024};

}  // namespace

int main(int argc, char** argv) {
  Scene scene;
  g_scene = &scene;
  for (int n : kPoints) {
    const std::string k = std::to_string(n);
    benchmark::RegisterBenchmark(("repaint/" + k).c_str(), BM_Repaint)->Arg(n)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("cursor/" + k).c_str(), BM_Cursor)->Arg(n)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("dirty/" + k).c_str(), BM_Dirty)->Arg(n)->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  Collect collect;
  benchmark::RunSpecifiedBenchmarks(&collect);
  for (int n : kPoints) {
    const std::string k = std::to_string(n);
    const double repaint = collect.us["repaint/" + k + "/" + k];
    const double cursor = collect.us["cursor/" + k + "/" + k];
    const double dirty = collect.us["dirty/" + k + "/" + k];
    std::printf("%4d points: full repaint %.1f us\n", n, repaint);
    std::printf("  cursor move   %.1f us  (%.2fx repaint)\n", cursor, repaint > 0 ? cursor / repaint : 0);
    std::printf("  dirty render  %.1f us  (%.2fx repaint)\n", dirty, repaint > 0 ? dirty / repaint : 0);
  }
  std::printf("goal: a cursor move < 1 ms and at most 0.3 x a full repaint\n");
  g_scene = nullptr;
  return 0;
}
