#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/kline_chart_indicators.h"
#include "charts/kline_markers.h"
#include "charts/kline_painter.h"
#include "charts/kline_rel_data.h"
#include "charts/tests/kline_test_support.h"
#include "foundation/draw_helpers.h"
#include "marketdata/quote_areas.h"

namespace {

// A memory picture of w x h, black.
struct Canvas {
  Canvas(int w, int h) : w(w), h(h) {
    EnsureGuiApplication();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateBitmap(w, h, 1, 32, nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  uint32_t At(int x, int y) const {
    const COLORREF c = GetPixel(dc, x, y);
    return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
  }
  int Count(uint32_t rgb, int l, int t, int r, int b) const {
    int n = 0;
    for (int y = std::max(t, 0); y < std::min(b, h); ++y)
      for (int x = std::max(l, 0); x < std::min(r, w); ++x) n += At(x, y) == rgb;
    return n;
  }
  // Pixels within 0x30 of the colour in every channel (text is smoothed).
  int Near(uint32_t rgb, int l, int t, int r, int b) const {
    int n = 0;
    for (int y = std::max(t, 0); y < std::min(b, h); ++y)
      for (int x = std::max(l, 0); x < std::min(r, w); ++x) {
        const uint32_t p = At(x, y);
        bool close = true;
        for (int shift : {0, 8, 16}) close = close && std::abs(int((p >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) <= 0x30;
        n += close;
      }
    return n;
  }
  std::vector<uint32_t> All() const {
    std::vector<uint32_t> v;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) v.push_back(At(x, y));
    return v;
  }
  void Save(const char* name) const {
    QImage* image = GetBitmapImage(bitmap);
    if (image) image->save(QString::fromUtf8(name), "PNG");
  }
  int w, h;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

// A random-walk series of count bars for the pictures.
void Walk(KLineArea* area, int count, unsigned seed) {
  float price = 12.0f;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const float step = (static_cast<int>((seed >> 16) % 200) - 100) / 2000.0f * price;
    DayBar& b = area->bars[i];
    b.open = price;
    b.close = std::max(1.0f, price + step);
    b.high = std::max(b.open, b.close) + ((seed >> 8) % 30) / 100.0f;
    b.low = std::min(b.open, b.close) - ((seed >> 4) % 30) / 100.0f;
    b.volume = 100000 + (seed >> 10) % 900000;
    b.amount = b.volume * 12;
    price = b.close;
  }
}

TEST(KLinePainter, WithoutBarsOnlyFramesAndGrid) {
  KChartPtr c(CreateKLineChart({0, 0, 600, 416}, nullptr));
  Canvas pic(600, 416);
  DrawKLineChart(c.get(), pic.dc);
  EXPECT_EQ(pic.At(200, c->mainTop + 40), 0x000000u);
  EXPECT_EQ(pic.At(72, c->mainTop + 40), static_cast<uint32_t>(c->frameColor));
  EXPECT_GT(pic.Count(static_cast<uint32_t>(c->gridColor), 72, 33, 600, 34), 100);
  for (uint32_t colour : {0xFF1313u, 0x00FFFFu, 0xFFFFFFu, 0xFF0000u})
    EXPECT_EQ(pic.Count(colour, 0, 0, 600, 416), 0) << std::hex << colour;
  // Titles: their background only.
  Canvas a(600, 18), b(600, 18), v(600, 18);
  const RECT strip{0, 0, 600, 18};
  FillRectColor(a.dc, &strip, 0x123456);
  DrawKLineTitles(c.get(), a.dc, b.dc, v.dc);
  EXPECT_EQ(a.Count(0x000000, 0, 0, 526, 17), 526 * 17);
}

// The legend's widest label is drawn whole and keeps clear of the close box
// at the right: its box widens to the left instead of clipping.
TEST(KLinePainter, FundamentalsLegendFitsItsBoxes) {
  KFixture f(1000, 300, 0, 3, 600);
  f.chart->fundKind = 1;
  LayoutKLineChart(f.chart.get());
  CalcKLineIndicators(f.chart.get());
  Canvas pic(1000, 600);
  DrawKLineChart(f.chart.get(), pic.dc);
  const int T = f.chart->fundTop, R = f.chart->volumeTitleRect.right;
  ASSERT_GT(f.chart->fundHeight, 18);
  EXPECT_EQ(pic.Near(0xAFAFAF, R - 15, T, R, T + 18), 0);
  // "每股现金流" is wider than 60 pixels: drawn whole, it starts left of
  // R - 72 (where a 60-pixel box would clip its last character).
  EXPECT_GT(pic.Near(0xAFAFAF, R - 90, T, R - 72, T + 18), 0);
  // The next item's text ends 10 pixels left of the first one's swatch.
  const int swatchLeft = R - 72 - 8;
  EXPECT_GT(pic.Count(0xFAAE27, 0, T + 5, R, T + 13), 0);
  int first = R;
  for (int x = 0; x < R; ++x)
    if (pic.At(x, T + 9) == 0xFAAE27u) { first = x; break; }
  EXPECT_LE(first, swatchLeft);
  EXPECT_EQ(pic.Near(0xAFAFAF, first - 10, T, first, T + 18), 0);
}

TEST(KLinePainter, PanesByLayout) {
  for (int layout : {0, 1, 2, 3}) {
    KFixture f(600, 60, 0, layout, 500);
    Walk(f.area.get(), 60, 7);
    f.chart->mainOverlay = 3;
    NewsRecord item{};
    char date[16] = {};
    FormatKLineBarDate(f.chart.get(), f.area->bars[50].time, date);
    std::snprintf(item.pubTime, sizeof item.pubTime, "%.4s-%.2s-%.2s 10:00:00", date, date + 4, date + 6);
    NewsListArea news{};
    news.records = &item;
    news.recordCount = 1;
    SetKLineNewsMarks(f.chart.get(), &news);
    CalcKLineIndicators(f.chart.get());
    Canvas pic(600, 500);
    DrawKLineChart(f.chart.get(), pic.dc);
    const KLineChart* c = f.chart.get();
    SCOPED_TRACE(layout);
    // Hollow rising volume bars (upColor 0xFF1313) only where a volume pane is.
    const int below = c->mainTop + c->mainHeight + 1;
    const int volume = pic.Count(0xFF1313, 72, below, 600, layout == 1 ? c->indicatorTop - 1 : c->volumeTop + c->volumeHeight);
    EXPECT_EQ(volume > 0, layout != 1);
    // News dots (0xF0FF00) only in layouts 2 and 3.
    EXPECT_EQ(pic.Count(0xF0FF00, 72, 20, 600, 30) > 0, layout >= 2);
    // The period name only in 0 and 1.
    EXPECT_EQ(pic.Near(0xFFFFFF, 546, 0, 600, 16) > 0, layout <= 1);
  }
}

TEST(KLinePainter, CandlesHollowRisingSolidFalling) {
  KFixture f(600, 60, 0, 2, 500);
  Walk(f.area.get(), 60, 11);
  // Averages out of the way of the probes.
  f.chart->ma1Color = f.chart->ma2Color = f.chart->ma3Color = 0x010101;
  CalcKLineIndicators(f.chart.get());
  Canvas pic(600, 500);
  DrawKLineChart(f.chart.get(), pic.dc);
  const KLineChart* c = f.chart.get();
  int checkedUp = 0, checkedDown = 0;
  for (int i = 0; i < c->upCount; ++i) {
    const ChartRect& r = c->upBodies[i];
    if (r.bottom - r.top < 6) continue;
    // Outline in upColor, inside mostly background (the wick and an average may cross it).
    EXPECT_EQ(pic.At(r.left, (r.top + r.bottom) / 2), 0xFF1313u);
    const int inside = (r.right - r.left - 2) * (r.bottom - r.top - 2);
    EXPECT_GT(pic.Count(0x000000, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1) * 2, inside);
    ++checkedUp;
  }
  for (int i = 0; i < c->downCount; ++i) {
    const ChartRect& r = c->downBodies[i];
    if (r.bottom - r.top < 6) continue;
    const int area = (r.right - r.left) * (r.bottom - r.top);
    EXPECT_GT(pic.Count(0x00FFFF, r.left, r.top, r.right, r.bottom) * 3, area * 2);
    ++checkedDown;
  }
  EXPECT_GT(checkedUp, 0);
  EXPECT_GT(checkedDown, 0);
  // One-pixel candles of both kinds are solid.
  while (f.chart->candleWidth > 1.0f) ZoomOutKLineChart(f.chart.get());
  DrawKLineChart(f.chart.get(), pic.dc);
  ASSERT_EQ(c->upBodies[0].right - c->upBodies[0].left, 1);
  for (int i = 0; i < std::min(c->upCount, 20); ++i) {
    const ChartRect& r = c->upBodies[i];
    if (r.bottom - r.top < 3) continue;
    EXPECT_EQ(pic.At(r.left, (r.top + r.bottom) / 2), 0xFF1313u);
  }
}

TEST(KLinePainter, NarrowCandlesHideRatingFlags) {
  KFixture f(600, 200, 0, 2, 500);
  Walk(f.area.get(), 200, 5);
  KLineRatingRow row{};
  char date[16] = {};
  FormatKLineBarDate(f.chart.get(), f.area->bars[190].time, date);
  std::snprintf(row.pubDate, sizeof row.pubDate, "%s", date);
  row.ratingSide = 1;
  f.chart->ratingItems = &row;
  f.chart->ratingCount = 1;
  SetKLineRatingMarks(f.chart.get());
  SetKLineMainOverlay(f.chart.get(), 1);
  Canvas pic(600, 500);
  const KLineChart* c = f.chart.get();
  DrawKLineChart(f.chart.get(), pic.dc);
  EXPECT_GT(pic.Count(0x00FF00, 72, c->mainTop, 600, c->mainTop + c->mainHeight), 20);
  ZoomOutKLineChart(f.chart.get());
  ZoomOutKLineChart(f.chart.get());  // 3 pixels
  ASSERT_LE(c->candleWidth, 3.0f);
  DrawKLineChart(f.chart.get(), pic.dc);
  EXPECT_EQ(pic.Count(0x00FF00, 72, c->mainTop, 600, c->mainTop + c->mainHeight), 0);
}

TEST(KLinePainter, NumberTexts) {
  struct Case {
    double v;
    bool whole;
    const char* text;
  } cases[] = {{12345, true, "1.23万"},   {123456789, true, "1.23亿"}, {0, true, "-"},
               {1234.7, true, "1234"},     {-250000000, true, "-2.50亿"}, {9999, true, "9999"},
               {12.345, false, "12.35"},  {-12345, false, "-1.23万"}, {0, false, "-"}};
  for (const Case& k : cases) {
    char out[64];
    FormatKLineLargeNumber(k.v, k.whole, out, sizeof out);
    EXPECT_STREQ(out, k.text) << k.v;
  }
  struct Quarter {
    const char* end;
    const char* label;
  } quarters[] = {{"20121231", "12年第4季"}, {"20090331", "09年第1季"}, {"20120630", "12年第2季"}, {"20240930", "24年第3季"}};
  for (const Quarter& q : quarters) {
    char out[64];
    FormatKLineQuarterLabel(q.end, out, sizeof out);
    EXPECT_STREQ(out, q.label);
  }
}

// Rows of the tip: label row then value row, 20 pixels each from y 1.
int ValueRowTop(int item) { return 1 + item * 40 + 20; }

TEST(KLinePainter, DataTipColoursAndFuturesRow) {
  KFixture f(600, 30, 0, 2, 500);
  Walk(f.area.get(), 30, 3);
  DayBar& first = f.area->bars[0];
  first.open = 10.0f;
  first.close = 10.5f;
  first.high = 10.8f;
  first.low = 9.5f;
  f.chart->scrollToEnd = 0;
  f.chart->firstVisible = 0;
  CalcKLineIndicators(f.chart.get());
  f.chart->crossHairShown = 1;
  f.chart->cursor = 0;
  Canvas tip(72, 420);
  DrawKLineDataTip(f.chart.get(), tip.dc);
  EXPECT_EQ(tip.At(1, 200), 0xFF0000u);  // outline
  // Close and high above the bar's own open: red; low below: green; open white.
  EXPECT_GT(tip.Count(0xFF0000, 2, ValueRowTop(1), 68, ValueRowTop(1) + 20), 0);
  EXPECT_GT(tip.Count(0xFFFFFF, 2, ValueRowTop(2), 68, ValueRowTop(2) + 20), 0);
  EXPECT_EQ(tip.Count(0xFF0000, 2, ValueRowTop(2), 68, ValueRowTop(2) + 20), 0);
  EXPECT_GT(tip.Count(0x00C800, 2, ValueRowTop(4), 68, ValueRowTop(4) + 20), 0);
  EXPECT_EQ(tip.Near(0xDDDDDD, 2, 361, 68, 381), 0);
  // A futures market shows the holding row within a 402-pixel tip.
  f.area->key.market = 3;
  Canvas futures(72, 420);
  DrawKLineDataTip(f.chart.get(), futures.dc);
  EXPECT_GT(futures.Near(0xDDDDDD, 2, 361, 68, 381), 0);
  EXPECT_EQ(futures.At(1, 390), 0xFF0000u);
  // No cross-hair, no tip.
  f.chart->crossHairShown = 0;
  Canvas none(72, 420);
  DrawKLineDataTip(f.chart.get(), none.dc);
  EXPECT_EQ(none.Count(0xFF0000, 0, 0, 72, 420), 0);
}

TEST(KLinePainter, DdzBandColoursBySign) {
  KFixture f(600, 30, 0, 2, 500);
  f.chart->lowerIndicator = 13;
  CalcKLineIndicators(f.chart.get());
  KLineChart* c = f.chart.get();
  const int fv = c->firstVisible;
  // Bars fv..fv+2: +, -, - : a sign change between 0 and 1, same signs between 1 and 2.
  c->workspace->ddz1[fv] = 1;
  c->workspace->ddz1[fv + 1] = -1;
  c->workspace->ddz1[fv + 2] = -2;
  const int ys = c->indicatorTop + 10;
  for (int i = 0; i < 3; ++i) {
    c->Level2Lines[0][i] = {100 + 40 * i, ys};
    c->Level2Lines[1][i] = {100 + 40 * i, ys + 40};
  }
  for (int i = 3; i < c->capacity; ++i) c->Level2Lines[0][i] = c->Level2Lines[1][i] = c->Level2Lines[0][2];
  Canvas pic(600, 500);
  DrawKLineLowerPane(c, pic.dc, 3);
  // The triangle P0 P1 M (right half, colour of b: green) and Q0 Q1 M (left half, red).
  EXPECT_EQ(pic.At(135, ys + 20), 0x00FF00u);
  EXPECT_EQ(pic.At(105, ys + 20), 0xFF0000u);
  // Same signs: one quadrilateral in b's colour.
  EXPECT_EQ(pic.At(160, ys + 20), 0x00FF00u);
  EXPECT_EQ(pic.At(180, ys + 35), 0x00FF00u);
}

TEST(KLinePainter, CrossHairTwiceRestoresThePicture) {
  KFixture f(600, 60, 0, 2, 500);
  Walk(f.area.get(), 60, 9);
  CalcKLineIndicators(f.chart.get());
  ToggleKLineCrossHairAt(f.chart.get(), 300, 100);
  ASSERT_TRUE(f.chart->crossHairShown);
  Canvas pic(600, 500);
  DrawKLineChart(f.chart.get(), pic.dc);
  const std::vector<uint32_t> before = pic.All();
  DrawKLineCrossHair(f.chart.get(), pic.dc);
  EXPECT_NE(pic.All(), before);
  DrawKLineCrossHair(f.chart.get(), pic.dc);
  EXPECT_EQ(pic.All(), before);
}

// Pictures for the eye: layout 2 with MACD, news, ex-rights and the tip;
// layout 3 with the finance pane and ratings; layout 2 with DDZ.
// The leftmost column of the strip with a pixel near rgb, or -1.
int FirstColumnNear(const Canvas& pic, uint32_t rgb) {
  for (int x = 0; x < pic.w; ++x)
    if (pic.Near(rgb, x, 0, x + 1, pic.h) > 0) return x;
  return -1;
}

// The three title strips of a chart, drawn as the view draws them.
struct Titles {
  explicit Titles(KLineChart* c)
      : lower(c->indicatorTitleRect.right - c->indicatorTitleRect.left, 17),
        main(c->mainTitleRect.right - c->mainTitleRect.left, 17),
        volume(c->volumeTitleRect.right - c->volumeTitleRect.left, 17) {
    DrawKLineTitles(c, lower.dc, main.dc, volume.dc);
  }
  Canvas lower, main, volume;
};

// Title items: each in its line's colour, spaced by its measured width plus
// the row's gap; BOLL's head from the workspace; the price title after the
// stock's name when it is shown.
TEST(KLinePainter, TitlesFollowTheirLinesAndMeasuredWidths) {
  KFixture f(1000, 120, 0, 2, 500);
  auto titlesOf = [&](int indicator) {
    SetKLineLowerIndicator(f.chart.get(), indicator);
    CalcKLineIndicators(f.chart.get());
    return std::make_unique<Titles>(f.chart.get());
  };
  // BRAR: "BR:" (yellow, its line's colour) before "AR:" (white).
  {
    auto t = titlesOf(9);
    const int yellow = FirstColumnNear(t->lower, 0xFFFF00), white = FirstColumnNear(t->lower, 0xFFFFFF);
    ASSERT_GE(yellow, 0);
    ASSERT_GE(white, 0);
    EXPECT_LT(yellow, white);
    EXPECT_LT(yellow, 4);
  }
  // BOLL: the head shows the workspace's period and width; the items after
  // it move by the difference of the heads' measured widths.
  Canvas measure(10, 10);
  HGDIOBJ old = SelectObject(measure.dc, f.chart->titleFont);
  const int shortHead = MeasureTextWidth(measure.dc, "BOLL:(26,2)", 0);
  const int longHead = MeasureTextWidth(measure.dc, "BOLL:(120,3)", 0);
  SelectObject(measure.dc, old);
  ASSERT_GT(longHead, shortHead);
  f.workspace->bollN = 26;
  f.workspace->bollWidth = 2;
  const int upperAt26 = FirstColumnNear(titlesOf(5)->lower, 0xFFFF00);
  f.workspace->bollN = 120;
  f.workspace->bollWidth = 3;
  const int upperAt120 = FirstColumnNear(titlesOf(5)->lower, 0xFFFF00);
  ASSERT_GT(upperAt26, shortHead);
  EXPECT_NEAR(upperAt120 - upperAt26, longHead - shortHead, 1);
  // The price title starts at 0, or at 110 after the name.
  std::snprintf(f.area->key.name, sizeof f.area->key.name, "演示银行");
  std::snprintf(f.area->key.code, sizeof f.area->key.code, "600000");
  f.chart->showNameInTitle = 0;
  EXPECT_LT(FirstColumnNear(titlesOf(1)->main, 0xFFFFFF), 4);
  f.chart->showNameInTitle = 1;
  auto named = titlesOf(1);
  EXPECT_LT(FirstColumnNear(named->main, 0xFFFF00), 10);  // the name (its glyphs have a left bearing)
  EXPECT_GE(FirstColumnNear(named->main, 0xFFFFFF), 110);
}

TEST(KLinePainter, Snapshots) {
  const char* folder = std::getenv("ORV_SNAPSHOT_DIR");
  if (!folder) GTEST_SKIP() << "set ORV_SNAPSHOT_DIR to write the pictures";
  struct Shot {
    const char* name;
    int layout, indicator, market;
  } shots[] = {{"kline_layout2_macd.png", 2, 1, 1},
               {"kline_layout3_finance.png", 3, 2, 1},
               {"kline_layout2_ddz.png", 2, 13, 1},
               {"kline_futures_tip.png", 2, 5, 3}};
  for (const Shot& s : shots) {
    KFixture f(1400, 400, 0, s.layout, 800);
    Walk(f.area.get(), 400, 21);
    f.area->key.decimals = 2;
    f.area->key.market = static_cast<uint8_t>(s.market);
    for (int i = 0; i < 400; ++i) f.area->bars[i].field11 = 1200000 + i * 5000;
    std::snprintf(f.area->key.name, sizeof f.area->key.name, "演示银行");
    std::snprintf(f.area->key.code, sizeof f.area->key.code, "600000");
    f.chart->showNameInTitle = 1;
    std::vector<NewsRecord> items(6);
    char date[16] = {};
    for (int i = 0; i < 6; ++i) {
      FormatKLineBarDate(f.chart.get(), f.area->bars[250 + 25 * (i / 2 + i % 2 * 0)].time, date);
      std::snprintf(items[i].pubTime, sizeof items[i].pubTime, "%.4s-%.2s-%.2s 10:00:00", date, date + 4, date + 6);
    }
    NewsListArea news{};
    news.records = items.data();
    news.recordCount = 6;
    SetKLineNewsMarks(f.chart.get(), &news);
    std::vector<KLineRatingRow> ratings(4);
    for (int i = 0; i < 4; ++i) {
      FormatKLineBarDate(f.chart.get(), f.area->bars[260 + 30 * (i / 2)].time, date);
      std::snprintf(ratings[i].pubDate, sizeof ratings[i].pubDate, "%s", date);
      ratings[i].ratingSide = i % 2;
    }
    std::vector<KLineFinanceRow> finance(8);
    for (int q = 0; q < 8; ++q) {
      FormatKLineBarDate(f.chart.get(), f.area->bars[150 + 30 * q].time, date);
      std::snprintf(finance[q].startDate, 24, "%s", date);
      FormatKLineBarDate(f.chart.get(), f.area->bars[179 + 30 * q].time, date);
      std::snprintf(finance[q].endDate, 24, "%.6s%s", date, q % 2 ? "30" : "31");
      std::snprintf(finance[q].basicEPS, 24, "%.3f", 0.12 + 0.05 * q);
      std::snprintf(finance[q].operRevenue, 24, "%d", 120000000 + 9000000 * q);
      std::snprintf(finance[q].netCashFlowPS, 24, "%.3f", q == 3 ? -0.08 : 0.05 + 0.02 * q);
    }
    if (s.layout == 3) {
      f.chart->ratingItems = ratings.data();
      f.chart->ratingCount = 4;
      SetKLineRatingMarks(f.chart.get());
      f.chart->mainOverlay = 1;
      f.chart->fundKind = 1;
      f.chart->financeRows = finance.data();
      f.chart->financeRowCount = 8;
      SetKLineFundRows(f.chart.get());
    }
    SetKLineLowerIndicator(f.chart.get(), s.indicator);
    ToggleKLineCrossHairAt(f.chart.get(), 900, 200);
    Canvas pic(1400, 800);
    DrawKLineChart(f.chart.get(), pic.dc);
    DrawKLineCrossHair(f.chart.get(), pic.dc);
    // Titles and tip composed where the view's child windows sit.
    const ChartRect strips[3] = {f.chart->indicatorTitleRect, f.chart->mainTitleRect, f.chart->volumeTitleRect};
    Canvas ti(strips[0].right - strips[0].left, 17), tm(strips[1].right - strips[1].left, 17),
        tv(strips[2].right - strips[2].left, 17);
    DrawKLineTitles(f.chart.get(), ti.dc, tm.dc, tv.dc);
    const Canvas* parts[3] = {&ti, &tm, &tv};
    for (int k = 0; k < 3; ++k)
      BitBlt(pic.dc, strips[k].left, strips[k].top, parts[k]->w, parts[k]->h, parts[k]->dc, 0, 0, SRCCOPY);
    const int tipHeight = s.market == 3 ? 402 : 360;
    Canvas tip(72, tipHeight);
    DrawKLineDataTip(f.chart.get(), tip.dc);
    BitBlt(pic.dc, f.chart->tipRect.left, f.chart->tipRect.top, 72, tipHeight, tip.dc, 0, 0, SRCCOPY);
    pic.Save((std::string(folder) + "/" + s.name).c_str());
  }
}

}  // namespace
