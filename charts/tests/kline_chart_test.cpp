#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/kline_chart_indicators.h"
#include "charts/tests/kline_test_support.h"

namespace {

TEST(KLineChart, CreationDefaults) {
  KChartPtr c(CreateKLineChart({0, 0, 300, 200}, nullptr));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->candleWidth, 7.0f);
  EXPECT_EQ(c->candleGap, 1);
  EXPECT_EQ(c->zoomLevel, -1);
  EXPECT_EQ(c->scrollToEnd, 1);
  EXPECT_EQ(c->cursor, -1);
  EXPECT_EQ(c->lowerIndicator, 1);
  EXPECT_EQ(c->paneLayout, 2);
  EXPECT_EQ(c->fundKind, -1);
  EXPECT_EQ(c->capacity, 0);
  EXPECT_EQ(c->tipRect.left, 1);
  EXPECT_EQ(c->tipRect.top, 18);
  EXPECT_EQ(c->tipRect.right, 71);
  EXPECT_EQ(c->tipRect.bottom, 378);
  const int colours[] = {c->backColor, c->frameColor, c->gridColor,   c->upColor,   c->downColor, c->ma1Color,
                         c->ma2Color,  c->ma3Color,   c->periodColor, c->dateColor, c->axisColor, c->labelColor};
  const int expected[] = {0x000000, 0xBB0000, 0xAA0000, 0xFF1313, 0x00FFFF, 0xFFFFFF,
                          0xFFFF00, 0xFF00FF, 0xFFFFFF, 0x00AAFF, 0xFF0000, 0x00AAFF};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(colours[i], expected[i]) << i;
}

TEST(KLineChart, VisibleCount) {
  struct Case {
    int width, visible;
  } cases[] = {{300, 28}, {74, 0}, {40, 0}, {82, 1}, {474, 50}};
  for (const Case& k : cases) {
    KChartPtr c(CreateKLineChart({0, 0, k.width, 200}, nullptr));
    EXPECT_EQ(GetKLineVisibleCount(c.get()), k.visible) << k.width;
  }
}

TEST(KLineChart, PaneLayouts) {
  struct Case {
    int layout;
    int mainHeight, volumeTop, volumeHeight, indicatorTop, indicatorHeight, fundTop, fundHeight;
  } cases[] = {
      {0, 270, 306, 90, 0, 0, 0, 0},
      {1, 270, 0, 0, 306, 90, 0, 0},
      {2, 204, 240, 68, 326, 68, 0, 0},
      {3, 171, 264, 57, 339, 57, 189, 57},
  };
  for (const Case& k : cases) {
    KChartPtr c(CreateKLineChart({0, 0, 372, 416}, nullptr));
    c->paneLayout = k.layout;
    LayoutKLineChart(c.get());
    EXPECT_EQ(c->mainTop, 18) << k.layout;
    EXPECT_EQ(c->mainHeight, k.mainHeight) << k.layout;
    EXPECT_EQ(c->volumeTop, k.volumeTop) << k.layout;
    EXPECT_EQ(c->volumeHeight, k.volumeHeight) << k.layout;
    EXPECT_EQ(c->indicatorTop, k.indicatorTop) << k.layout;
    EXPECT_EQ(c->indicatorHeight, k.indicatorHeight) << k.layout;
    EXPECT_EQ(c->fundTop, k.fundTop) << k.layout;
    EXPECT_EQ(c->fundHeight, k.fundHeight) << k.layout;
    EXPECT_EQ(c->indicatorTitleRect.left, 74);
    EXPECT_EQ(c->indicatorTitleRect.top, k.indicatorTop - 17);
    EXPECT_EQ(c->indicatorTitleRect.right, 373);
    EXPECT_EQ(c->volumeTitleRect.top, k.volumeTop - 17);
    EXPECT_EQ(c->volumeTitleRect.right, 371);
    EXPECT_EQ(c->mainTitleRect.right, 372);
    EXPECT_EQ(c->topStripRect.right, 371);
    EXPECT_EQ(c->topStripRect.bottom, 17);
  }
}

TEST(KLineChart, ZoomOutThenInRetracesTheLevels) {
  KFixture f(300, 1000);
  KLineChart* c = f.chart.get();
  ASSERT_EQ(c->firstVisible, 1000 - 28);
  const int out[] = {37, 56, 113, 226, 339, 508, 762, 1000};
  for (int expected : out) {
    const int before = c->firstVisible + GetKLineVisibleCount(c);
    ZoomOutKLineChart(c);
    EXPECT_EQ(GetKLineVisibleCount(c), expected);
    EXPECT_EQ(c->firstVisible + GetKLineVisibleCount(c), before) << "the right edge stays";
  }
  EXPECT_EQ(c->zoomLevel, 3);
  EXPECT_EQ(c->candleGap, 0);
  ZoomOutKLineChart(c);  // all bars shown: nothing more
  EXPECT_EQ(GetKLineVisibleCount(c), 1000);
  EXPECT_EQ(c->zoomLevel, 3);
  const int in[] = {762, 508, 339, 226, 113, 56, 37, 28};
  for (int expected : in) {
    ZoomInKLineChart(c);
    EXPECT_EQ(GetKLineVisibleCount(c), expected);
    EXPECT_GE(c->firstVisible, 0);
  }
  EXPECT_EQ(c->zoomLevel, -1);
  for (int i = 0; i < 60; ++i) ZoomInKLineChart(c);
  EXPECT_EQ(c->candleWidth, 91.0f);
  EXPECT_EQ(c->candleGap, 1);
}

TEST(KLineChart, ZoomInKeepsTheCursorBar) {
  KFixture f(300, 1000);
  KLineChart* c = f.chart.get();
  ZoomOutKLineChart(c);
  ZoomOutKLineChart(c);  // 56 visible
  ToggleKLineCrossHairAt(c, 73 + 4 * 20 + 1, 50);  // offset 20
  ASSERT_EQ(c->cursor, 20);
  const int bar = c->firstVisible + c->cursor;
  ZoomInKLineChart(c);
  EXPECT_EQ(c->firstVisible + c->cursor, bar);
}

TEST(KLineChart, ZoomInWithHiddenCrossHairRespectsFirstValid) {
  KFixture f(300, 50, 100);  // bars 100 .. 149
  KLineChart* c = f.chart.get();
  ZoomInKLineChart(c);  // width 9: 22 visible
  EXPECT_EQ(GetKLineVisibleCount(c), 22);
  EXPECT_EQ(c->firstVisible, 128);
  EXPECT_EQ(c->cursor, -1);
  c->candleWidth = 89;
  ZoomInKLineChart(c);
  EXPECT_GE(c->firstVisible, 100);
}

TEST(KLineChart, EleventhZoomLevelIsIgnored) {
  KFixture f(300, 8000);
  KLineChart* c = f.chart.get();
  c->candleGap = 0;
  c->candleWidth = 0.1f;
  c->zoomLevel = 9;
  c->zoomStack[9] = 5;
  ZoomOutKLineChart(c);
  EXPECT_EQ(c->zoomLevel, 9);
  EXPECT_EQ(c->candleWidth, 0.1f);
}

TEST(KLineChart, BarsNeededForZoomOut) {
  struct Case {
    const char* name;
    float width;
    int gap;
    int bars;  // -1: no area
    int expected;
  } cases[] = {
      {"default, 30 bars", 7, 1, 30, 25},  // n = 226 / 6 = 37; 55.5 - 30
      {"no bars", 7, 1, -1, 55},
      {"width 1 gap 1", 1, 1, 100, 239},   // gap 0: n = 226; 339 - 100
      {"enough bars", 7, 1, 500, -444},
  };
  for (const Case& k : cases) {
    KFixture f(300, k.bars < 0 ? 0 : k.bars);
    if (k.bars < 0) f.chart->bars = nullptr;
    f.chart->candleWidth = k.width;
    f.chart->candleGap = k.gap;
    EXPECT_EQ(KLineBarsNeededForZoomOut(f.chart.get()), k.expected) << k.name;
  }
}

TEST(KLineChart, ArrowKeysScrollAtTheEdges) {
  KFixture f(300, 40, 5);  // bars 5 .. 44, 28 visible
  KLineChart* c = f.chart.get();
  EXPECT_EQ(c->firstVisible, 17);
  EXPECT_FALSE(MoveKLineCursorLeft(c));  // hidden: onto the last visible bar
  EXPECT_EQ(c->cursor, 27);
  EXPECT_EQ(c->crossHairShown, 1);
  for (int i = 0; i < 27; ++i) EXPECT_FALSE(MoveKLineCursorLeft(c));
  EXPECT_EQ(c->cursor, 0);
  int scrolls = 0;
  for (int i = 0; i < 20; ++i) scrolls += MoveKLineCursorLeft(c);
  EXPECT_EQ(scrolls, 12);
  EXPECT_EQ(c->firstVisible, 5);
  c->cursor = 27;
  scrolls = 0;
  for (int i = 0; i < 20; ++i) scrolls += MoveKLineCursorRight(c);
  EXPECT_EQ(scrolls, 12);
  EXPECT_EQ(c->firstVisible, 17);
  EXPECT_EQ(c->cursor, 27);
}

TEST(KLineChart, CrossHairMouse) {
  KFixture f(300, 10);  // 10 bars, 28 slots
  KLineChart* c = f.chart.get();
  ToggleKLineCrossHairAt(c, 200, 5);
  EXPECT_EQ(c->crossHairShown, 1);
  EXPECT_EQ(c->cursor, 9);  // limited to the last valid bar
  EXPECT_EQ(c->cursorY, c->mainTop + 1);
  MoveKLineCrossHair(c, 10, 10000);
  EXPECT_EQ(c->cursor, 0);
  EXPECT_EQ(c->cursorY, c->mainTop + c->mainHeight - 1);
  MoveKLineCrossHair(c, 290, 50);
  EXPECT_EQ(c->cursor, 9);
  EXPECT_EQ(GetKLineCursorX(c), 77 + 8 * 9);
  ToggleKLineCrossHairAt(c, 100, 50);
  EXPECT_EQ(c->crossHairShown, 0);
}

TEST(KLineChart, FlatSeriesCrossHairHasNoDivisionByZero) {
  KFixture f(300, 10);
  KLineChart* c = f.chart.get();
  c->priceMax = c->priceMin = 10;
  c->cursor = 3;
  PlaceKLineCrossHair(c);
  EXPECT_GE(c->cursorY, c->mainTop);
  EXPECT_LE(c->cursorY, c->mainTop + c->mainHeight);
}

TEST(KLineChart, NoBarsNothingHappens) {
  KChartPtr c(CreateKLineChart({0, 0, 300, 400}, nullptr));
  ZoomOutKLineChart(c.get());
  ZoomInKLineChart(c.get());
  ToggleKLineCrossHairAt(c.get(), 100, 100);
  EXPECT_FALSE(MoveKLineCursorLeft(c.get()));
  EXPECT_EQ(c->candleWidth, 7.0f);
  EXPECT_EQ(c->crossHairShown, 0);
  EXPECT_EQ(c->cursor, -1);
}

TEST(KLineChart, FormatBarDate) {
  const uint32_t t = PackTime(2026, 3, 9, 14, 35);
  struct Case {
    int period;
    const char* text;
  } cases[] = {{33, "20260309"}, {39, "20260309"}, {40, "20260309"}, {41, "20260309"}, {34, "03091435"},
               {38, "03091435"}, {32, ""},         {42, ""}};
  for (const Case& k : cases) {
    KFixture f(300, 1);
    f.area->period = static_cast<uint8_t>(k.period);
    char buffer[9];
    std::memset(buffer, 'x', sizeof buffer);
    FormatKLineBarDate(f.chart.get(), t, buffer);
    EXPECT_STREQ(buffer, k.text) << k.period;
  }
}

TEST(KLineChart, ResetKeepsLayoutAndChoices) {
  KFixture f(300, 100);
  KLineChart* c = f.chart.get();
  ZoomOutKLineChart(c);
  c->paneLayout = 3;
  c->lowerIndicator = 5;
  c->mainOverlay = 2;
  const int capacity = c->capacity;
  ResetKLineChart(c);
  EXPECT_EQ(c->bars, nullptr);
  EXPECT_EQ(c->candleWidth, 7.0f);
  EXPECT_EQ(c->zoomLevel, -1);
  EXPECT_EQ(c->scrollToEnd, 1);
  EXPECT_EQ(c->cursor, -1);
  EXPECT_EQ(c->paneLayout, 3);
  EXPECT_EQ(c->lowerIndicator, 5);
  EXPECT_EQ(c->mainOverlay, 2);
  EXPECT_EQ(c->capacity, capacity);
}

}  // namespace
