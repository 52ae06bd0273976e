#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "charts/minute_chart.h"
#include "charts/minute_chart_indicators.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/minute_indicators.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_engine.h"

namespace {

struct ChartDeleter {
  void operator()(MinuteChart* c) const { FreeMinuteChart(c); }
};
using ChartPtr = std::unique_ptr<MinuteChart, ChartDeleter>;

ChartPtr NewChart(ChartRect r = {0, 0, 372, 416}) { return ChartPtr(CreateMinuteChart(r, nullptr)); }

std::unique_ptr<MinuteArea> NewArea(int market = 1, int kind = 0) {
  auto a = std::make_unique<MinuteArea>();
  std::memset(a.get(), 0, sizeof(MinuteArea));
  a->key.market = static_cast<uint8_t>(market);
  a->key.kind = static_cast<uint8_t>(kind);
  a->key.decimals = 2;
  return a;
}

TradingHoursTable StandardHours() {
  TradingHoursTable t{};
  t.count = 2;
  t.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
  t.entries[1] = {915, 1130, 1300, 1515, 0, 0, 2, 1130, 272};
  return t;
}

TEST(MinuteChart, CreationDefaults) {
  ChartPtr c = NewChart();
  ASSERT_TRUE(c);
  EXPECT_EQ(c->PointCount, 242);
  EXPECT_EQ(c->SlotCapacity, 332);
  EXPECT_EQ(c->Cursor, -1);
  EXPECT_EQ(c->CrossHair, 1);
  EXPECT_EQ(c->PriceLineCount, 15);
  EXPECT_EQ(c->VolumeLineCount, 5);
  const int colours[] = {c->BackColor, c->GridColor, c->UpColor, c->DownColor,
                         c->PriceColor, c->AverageColor, c->VolumeColor};
  const int expected[] = {0x000000, 0xDD0000, 0xFF0000, 0x22FF22, 0xFFFFFF, 0xFFFF00, 0xFFFF00};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(colours[i], expected[i]) << i;
  EXPECT_EQ(c->TipRect.left, 1);
  EXPECT_EQ(c->TipRect.top, 16);
  EXPECT_EQ(c->TipRect.right, 69);
  EXPECT_EQ(c->TipRect.bottom, 296);
  EXPECT_EQ(c->LayoutMode, 0);
  EXPECT_EQ(c->SubChart, 0);
}

TEST(MinuteChart, BindingGrowsArraysOnlyUpward) {
  ChartPtr c = NewChart();
  TradingHoursTable t = StandardHours();
  t.entries[1].minutesPerDay = 400;  // wider than the creation arrays
  auto a = NewArea(1), b = NewArea(2);
  SetMinuteChartStock(c.get(), a.get(), &t);
  EXPECT_EQ(c->PointCount, 242);
  EXPECT_EQ(c->SlotCapacity, 332);
  c->UpBarCount = 5;
  SetMinuteChartStock(c.get(), b.get(), &t);
  EXPECT_EQ(c->PointCount, 400);
  EXPECT_EQ(c->SlotCapacity, 400);
  EXPECT_EQ(c->UpBarCount, 0);
  SetMinuteChartStock(c.get(), a.get(), &t);
  EXPECT_EQ(c->PointCount, 242);
  EXPECT_EQ(c->SlotCapacity, 400);
}

TEST(MinuteChart, BindingTwoSeventyTwoReallocatesOnce) {
  ChartPtr c = NewChart();
  TradingHoursTable t = StandardHours();
  auto a = NewArea(1), b = NewArea(2);
  SetMinuteChartStock(c.get(), a.get(), &t);
  const ChartPoint* before = c->PriceLine;
  c->OrderDiffUpCount = 3;
  SetMinuteChartStock(c.get(), b.get(), &t);
  EXPECT_EQ(c->PointCount, 272);
  EXPECT_EQ(c->OrderDiffUpCount, 0);
  const ChartPoint* grown = c->PriceLine;
  (void)before;
  SetMinuteChartStock(c.get(), a.get(), &t);
  EXPECT_EQ(c->PointCount, 242);
  EXPECT_EQ(c->PriceLine, grown);
  EXPECT_EQ(c->SlotCapacity, 272);
}

TEST(MinuteChart, SlotsWithoutHoursEntry) {
  struct Case {
    const char* name;
    int kind;
    int slots;
  } cases[] = {{"kind 9", 9, 272}, {"stock", 0, 242}, {"index", 1, 242}};
  TradingHoursTable t = StandardHours();
  for (const Case& k : cases) {
    ChartPtr c = NewChart();
    auto a = NewArea(77, k.kind);
    SetMinuteChartStock(c.get(), a.get(), &t);
    EXPECT_EQ(c->PointCount, k.slots) << k.name;
    EXPECT_EQ(c->Hours, nullptr) << k.name;
  }
}

TEST(MinuteChart, LayoutModes) {
  struct Case {
    int mode;
    int priceTop, priceHeight, volumeTop, volumeHeight, subTop, subHeight;
  } cases[] = {
      {2, 15, 221, 254, 62, 334, 62},
      {0, 15, 221, 254, 142, 254, 142},
      {4, 5, 232, 255, 142, 255, 142},
  };
  for (const Case& k : cases) {
    ChartPtr c = NewChart();
    SetMinuteChartLayout(c.get(), k.mode);
    LayoutMinuteChart(c.get());
    EXPECT_EQ(c->UnitHeight, 80);
    EXPECT_EQ(c->PriceTop, k.priceTop) << k.mode;
    EXPECT_EQ(c->PriceHeight, k.priceHeight) << k.mode;
    EXPECT_EQ(c->VolumeTop, k.volumeTop) << k.mode;
    EXPECT_EQ(c->VolumeHeight, k.volumeHeight) << k.mode;
    EXPECT_EQ(c->SubTop, k.subTop) << k.mode;
    EXPECT_EQ(c->SubHeight, k.subHeight) << k.mode;
  }
  ChartPtr c = NewChart();
  SetMinuteChartLayout(c.get(), 2);
  EXPECT_EQ(c->SubChart, 1);
  LayoutMinuteChart(c.get());
  EXPECT_EQ(c->SubTitleRect.left, 72);
  EXPECT_EQ(c->SubTitleRect.top, 319);
  EXPECT_EQ(c->SubTitleRect.right, 296);
  EXPECT_EQ(c->SubTitleRect.bottom, 334);
}

TEST(MinuteChart, MineMarkerSlots) {
  ChartPtr c = NewChart();
  TradingHoursTable t = StandardHours();
  auto a = NewArea(1);
  SetMinuteChartStock(c.get(), a.get(), &t);
  LayoutMinuteChart(c.get());
  const char* times[] = {"202601050900", "202601051000", "202601051200",
                         "202601051300", "202601051330", "202601051530"};
  const int slots[] = {0, 30, 120, 120, 150, 240};
  std::vector<NewsRecord> items(6);
  std::memset(items.data(), 0, items.size() * sizeof(NewsRecord));
  for (int i = 0; i < 6; ++i) std::strcpy(items[i].longTime, times[i]);
  NewsListArea list{};
  list.recordCount = 6;
  list.records = items.data();
  SetMinuteChartMines(c.get(), &list);
  ASSERT_EQ(c->MineMarkCount, 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(c->MineMarks[i].x, 242 * slots[i] / 242 + 68) << times[i];
    EXPECT_EQ(c->MineMarks[i].y, c->PriceTop + 2);
  }
}

TEST(MinuteChart, MineMarksCappedAtRoom) {
  ChartPtr c = NewChart();
  TradingHoursTable t = StandardHours();
  auto a = NewArea(1);
  SetMinuteChartStock(c.get(), a.get(), &t);
  std::vector<NewsRecord> items(500);
  std::memset(items.data(), 0, items.size() * sizeof(NewsRecord));
  for (auto& it : items) std::strcpy(it.longTime, "202601051000");
  NewsListArea list{};
  list.recordCount = 500;
  list.records = items.data();
  SetMinuteChartMines(c.get(), &list);
  EXPECT_EQ(c->MineMarkCount, kMineMarkRoom);
}

TEST(MinuteChart, CursorMapping) {
  ChartPtr c = NewChart();
  TradingHoursTable t = StandardHours();
  auto a = NewArea(1);
  a->pointsHeld = 242;
  SetMinuteChartStock(c.get(), a.get(), &t);
  struct Case {
    int x, slot;
  } cases[] = {{70, 0}, {190, 120}, {400, 241}};
  for (const Case& k : cases) {
    TrackMinuteCursor(c.get(), k.x, 50);
    EXPECT_EQ(c->Cursor, k.slot) << k.x;
    EXPECT_EQ(c->CursorY, 50);
  }
  a->pointsHeld = 100;
  TrackMinuteCursor(c.get(), 300, 10);
  EXPECT_EQ(c->Cursor, 99);
}

TEST(MinuteChart, NarrowChartHasNoCursor) {
  for (int width : {0, 100, 130}) {
    ChartPtr c = NewChart({0, 0, width, 200});
    TradingHoursTable t = StandardHours();
    auto a = NewArea(1);
    a->pointsHeld = 10;
    SetMinuteChartStock(c.get(), a.get(), &t);
    TrackMinuteCursor(c.get(), 90, 5);
    EXPECT_LT(c->Cursor, 0) << width;
    EXPECT_EQ(MinuteSlotOfX(c.get(), 200), -1);
    EXPECT_EQ(GetMinuteCursorX(c.get()), -1);
  }
}

TEST(MinuteChart, ToggleSettleAndSteps) {
  ChartPtr c = NewChart();
  TradingHoursTable t = StandardHours();
  auto a = NewArea(1);
  a->previousClose = 10;
  a->pointsHeld = 50;
  for (int i = 0; i < 50; ++i) a->points[i].price = 10.0f + 0.01f * (i % 3);
  SetMinuteChartStock(c.get(), a.get(), &t);
  CalcMinuteIndicators(c.get());
  TrackMinuteCursor(c.get(), 100, 30);
  const int slot = c->Cursor;
  ToggleMinuteCursor(c.get(), 100, 40);  // hides, keeps the cursor
  EXPECT_EQ(c->CrossHair, 0);
  EXPECT_EQ(c->Cursor, slot);
  ToggleMinuteCursor(c.get(), 100, 40);
  EXPECT_EQ(c->CrossHair, 1);
  EXPECT_EQ(c->Cursor, 30);

  ToggleMinuteCursor(c.get(), 0, 0);  // off
  StepMinuteCursorBack(c.get());
  EXPECT_EQ(c->Cursor, 49);
  EXPECT_EQ(c->CrossHair, 1);
  EXPECT_EQ(c->CursorY, c->PriceLine[49].y);
  StepMinuteCursorForward(c.get());
  EXPECT_EQ(c->Cursor, 49);  // stops at the last point
  ToggleMinuteCursor(c.get(), 0, 0);
  StepMinuteCursorForward(c.get());
  EXPECT_EQ(c->Cursor, 0);
  StepMinuteCursorBack(c.get());
  EXPECT_EQ(c->Cursor, 0);
}

TEST(MinuteChart, NoDataChangesNothing) {
  ChartPtr c = NewChart();
  StepMinuteCursorBack(c.get());
  TrackMinuteCursor(c.get(), 100, 100);
  SettleMinuteCursor(c.get());
  EXPECT_EQ(c->Cursor, -1);
  EXPECT_EQ(c->CrossHair, 1);
  // bound data without points: cursor stays -1
  TradingHoursTable t = StandardHours();
  auto a = NewArea(1);
  SetMinuteChartStock(c.get(), a.get(), &t);
  c->CursorY = 77;
  TrackMinuteCursor(c.get(), 100, 100);
  SettleMinuteCursor(c.get());
  EXPECT_EQ(c->Cursor, -1);
  EXPECT_EQ(c->CursorY, 77);
}

TEST(MinuteChart, ResetKeepsLayoutAndChoices) {
  ChartPtr c = NewChart();
  TradingHoursTable t = StandardHours();
  auto a = NewArea(2);
  SetMinuteChartStock(c.get(), a.get(), &t);
  SetMinuteChartLayout(c.get(), 2);
  c->SubChart = 7;
  c->PriceLineCount = 7;
  c->GridColor = 0x123456;
  c->KdjLines[0][3] = {5, 5};
  c->MineMarkCount = 4;
  ResetMinuteChart(c.get());
  EXPECT_EQ(c->Data, nullptr);
  EXPECT_EQ(c->Hours, nullptr);
  EXPECT_EQ(c->Cursor, -1);
  EXPECT_EQ(c->CrossHair, 0);
  EXPECT_EQ(c->MineMarkCount, 0);
  EXPECT_EQ(c->PointCount, 272);
  EXPECT_EQ(c->LayoutMode, 2);
  EXPECT_EQ(c->SubChart, 7);
  EXPECT_EQ(c->PriceLineCount, 7);
  EXPECT_EQ(c->GridColor, 0x123456);
  EXPECT_EQ(c->KdjLines[0][3].y, 0);
}

}  // namespace
