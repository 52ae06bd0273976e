// A K-line chart bound to a zero-filled area of plain rising bars, for the
// engine and calculation tests.
#pragma once

#include <cstring>
#include <memory>

#include "charts/kline_chart.h"
#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"

struct KChartDeleter {
  void operator()(KLineChart* c) const { FreeKLineChart(c); }
};
using KChartPtr = std::unique_ptr<KLineChart, KChartDeleter>;

struct WorkspaceDeleter {
  void operator()(IndicatorWorkspace* w) const { FreeIndicatorWorkspace(w); }
};

inline uint32_t PackTime(int year, int month, int day, int hour = 0, int minute = 0) {
  return static_cast<uint32_t>(year) << 20 | static_cast<uint32_t>(month) << 16 | static_cast<uint32_t>(day) << 11 |
         static_cast<uint32_t>(hour) << 6 | static_cast<uint32_t>(minute);
}

struct KFixture {
  std::unique_ptr<KLineArea> area;
  std::unique_ptr<IndicatorWorkspace, WorkspaceDeleter> workspace;
  KChartPtr chart;

  // count bars from index first on, closes 10.00, 10.01, ... on successive days.
  KFixture(int width, int count, int first = 0, int layout = 2, int height = 416) {
    area = std::make_unique<KLineArea>();
    std::memset(area.get(), 0, sizeof(KLineArea));
    area->key.decimals = 2;
    area->period = 33;
    area->first = first;
    area->barCount = count;
    area->end = first + count;
    for (int i = 0; i < first + count; ++i) {
      DayBar& b = area->bars[i];
      const float p = 10.0f + 0.01f * static_cast<float>(i % 50);
      b.open = p - 0.01f;
      b.close = p;
      b.high = p + 0.02f;
      b.low = p - 0.02f;
      b.volume = 1000 + i;
      b.time = PackTime(2000 + i / 336, 1 + (i / 28) % 12, 1 + i % 28);
    }
    workspace.reset(CreateIndicatorWorkspace());
    chart.reset(CreateKLineChart({0, 0, width, height}, nullptr));
    chart->paneLayout = layout;
    SetKLineChartData(chart.get(), area.get(), workspace.get());
  }
};
