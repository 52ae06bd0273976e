// Minute chart painters on an offscreen picture: pixel probes of the grid,
// frame, cursor and labels, and the tip's texts through its time rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "charts/minute_chart.h"
#include "charts/minute_chart_indicators.h"
#include "charts/minute_chart_paint.h"
#include "foundation/draw_helpers.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/quote_engine.h"
#include "platform/window/win_desktop.h"

#include <QImage>
#include <QString>

namespace {

struct ChartDeleter {
  void operator()(MinuteChart* c) const { FreeMinuteChart(c); }
};
using ChartPtr = std::unique_ptr<MinuteChart, ChartDeleter>;

class Picture {
 public:
  Picture(int w, int h) : w_(w), h_(h) {
    EnsureGuiApplication();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateBitmap(w, h, 1, 32, nullptr);
    old = SelectObject(dc, bitmap);
    font = CreateUiFont(GetUiFontFace(), 16);
    oldFont = SelectObject(dc, font);
  }
  ~Picture() {
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  uint32_t At(int x, int y) const {
    COLORREF c = GetPixel(dc, x, y);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }
  // True when the pixel is within 40 per channel of rgb (text is smoothed).
  // (on black, a smoothed glyph pixel is rgb scaled down).
  bool Near(int x, int y, uint32_t rgb) const {
    uint32_t p = At(x, y);
    auto ch = [](uint32_t v, int sh) { return static_cast<double>((v >> sh) & 0xFF); };
    double pm = std::max({ch(p, 0), ch(p, 8), ch(p, 16)}), rm = std::max({ch(rgb, 0), ch(rgb, 8), ch(rgb, 16)});
    if (pm < 90 || rm == 0) return false;
    const double t = pm / rm;
    for (int sh = 0; sh <= 16; sh += 8)
      if (std::abs(ch(p, sh) - ch(rgb, sh) * t) > 30) return false;
    return true;
  }
  std::vector<uint32_t> All() const {
    std::vector<uint32_t> v;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) v.push_back(At(x, y));
    return v;
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  HFONT font = nullptr;
  HGDIOBJ oldFont = nullptr;

 private:
  int w_, h_;
};

TradingHoursTable StandardHours() {
  TradingHoursTable t{};
  t.count = 1;
  t.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
  return t;
}

// A stock of 242 minutes rising from 9.90 to about 10.30 around a previous
// close of 10.00.
std::unique_ptr<MinuteArea> StockArea(int points = 242) {
  auto a = std::make_unique<MinuteArea>();
  std::memset(a.get(), 0, sizeof(MinuteArea));
  a->key.market = 1;
  a->key.decimals = 2;
  std::strcpy(a->key.code, "600000");
  std::strcpy(a->key.name, "浦发银行");
  a->previousClose = 10.0f;
  for (int i = 0; i < points; ++i) {
    MinutePoint& p = a->points[i];
    p.price = 9.9f + 0.4f * i / 241 + ((i % 7) - 3) * 0.01f;
    p.average = 9.9f + 0.3f * i / 241;
    p.volume = 1000 + (i * 7919) % 50000;
    p.amount = p.volume * 10;
  }
  a->pointsHeld = points;
  a->pointCount = static_cast<int16_t>(points);
  return a;
}

struct Fixture {
  explicit Fixture(int mode, bool withData = true, ChartRect r = {0, 0, 372, 416}) {
    chart.reset(CreateMinuteChart(r, nullptr));
    SetMinuteChartLayout(chart.get(), mode);
    if (withData) {
      SetMinuteChartStock(chart.get(), area.get(), &hours);
      CalcMinuteIndicators(chart.get());
    }
  }
  TradingHoursTable hours = StandardHours();
  std::unique_ptr<MinuteArea> area = StockArea();
  ChartPtr chart;
};

TEST(MinuteChartPaint, FullLayoutFrameAndTimeGrid) {
  Fixture f(kMinuteLayoutFull);
  MinuteChart* c = f.chart.get();
  Picture pic(372, 416);
  DrawMinuteChart(c, pic.dc);
  const uint32_t g = c->GridColor;
  const int probeY = c->PriceTop + 5;
  // Frame from x 70 to 314 (x0 + P - 1 = 70 + 244 - 1).
  EXPECT_EQ(pic.At(70, probeY), g);
  EXPECT_EQ(pic.At(313, probeY), g);
  // Slot 120 (11:30) is the 2-pixel session line: x = 71 + w1 with
  // w1 = trunc(242 / 242 * 121) = 121.
  int thick = 0;
  for (int x = 190; x <= 194; ++x) thick += pic.At(x, probeY) == g;
  EXPECT_EQ(thick, 2);
  // Slot 30 (10:00): a dotted line at x = trunc(121 * 30 / 120 + 71) = 101,
  // every other pixel of the grid colour.
  int gridHits = 0;
  for (int y = c->PriceTop + 4; y < c->PriceTop + 14; ++y) gridHits += pic.At(101, y) == g;
  EXPECT_GE(gridHits, 4);
  EXPECT_LE(gridHits, 6);
  // Mode 2 draws the session line over the sub-chart panel too.
  EXPECT_TRUE(pic.At(191, c->SubTop + 5) == g || pic.At(192, c->SubTop + 5) == g);
  // Labels under the sub-chart panel: something of 0x00AAFF at the left
  // (09:30), around 192 (11:30) and at the right (15:00).
  const int rowTop = c->SubTop + 2 + c->SubHeight;
  auto has = [&](int x1, int x2) {
    for (int y = rowTop; y < rowTop + 16; ++y)
      for (int x = x1; x < x2; ++x)
        if (pic.Near(x, y, 0x00AAFF)) return true;
    return false;
  };
  EXPECT_TRUE(has(70, 110));
  EXPECT_TRUE(has(170, 215));
  EXPECT_TRUE(has(274, 314));
  EXPECT_FALSE(has(120, 160));
}

TEST(MinuteChartPaint, PreviousCloseLineIsTwoPixels) {
  struct Case {
    int lines;
    int thickK;
  } cases[] = {{15, 7}, {7, 3}};
  for (const Case& k : cases) {
    Fixture f(kMinuteLayoutPriceVolume, false);
    MinuteChart* c = f.chart.get();
    c->PriceLineCount = k.lines;
    Picture pic(372, 416);
    DrawMinuteChart(c, pic.dc);
    for (int j = 1; j <= k.lines - 2; ++j) {
      int y = c->PriceTop + (c->PriceHeight + 2) * j / (k.lines - 1);
      // Probe between the vertical grid lines.
      const uint32_t g = static_cast<uint32_t>(c->GridColor);
      const bool thick = pic.At(75, y + 1) == g || pic.At(75, y - 1) == g;
      EXPECT_EQ(pic.At(75, y), static_cast<uint32_t>(c->GridColor)) << k.lines << " " << j;
      EXPECT_EQ(thick, j == k.thickK) << k.lines << " " << j;
    }
  }
}

TEST(MinuteChartPaint, WithoutDataOnlyBackgroundFrameAndEvenGrid) {
  Fixture f(kMinuteLayoutPriceVolume, false);
  MinuteChart* c = f.chart.get();
  Picture pic(372, 416);
  DrawMinuteChart(c, pic.dc);
  const int P = 372 - 128;
  const int y = c->PriceTop + 6;
  EXPECT_EQ(pic.At(70 + P * 4 / 8, y), static_cast<uint32_t>(c->GridColor));
  EXPECT_EQ(pic.At(70 + P * 4 / 8, y + 1), static_cast<uint32_t>(c->GridColor));  // solid middle
  // No labels anywhere: only background and grid colours.
  for (uint32_t px : pic.All()) ASSERT_TRUE(px == 0 || px == static_cast<uint32_t>(c->GridColor)) << std::hex << px;
}

TEST(MinuteChartPaint, DarkAndLightGrids) {
  {
    Fixture f(kMinuteLayoutPriceDark);
    MinuteChart* c = f.chart.get();
    Picture pic(372, 416);
    DrawMinuteChart(c, pic.dc);
    EXPECT_EQ(pic.At(75, c->PriceTop + (c->PriceHeight + 2) / 2), 0x595959u);
    EXPECT_EQ(pic.At(70, c->PriceTop + 3), 0x595959u);
  }
  {
    Fixture f(kMinuteLayoutPriceLight);
    MinuteChart* c = f.chart.get();
    c->BackColor = 0xFFFFFF;
    Picture pic(372, 416);
    DrawMinuteChart(c, pic.dc);
    const int y = c->PriceTop + (c->PriceHeight + 2) / 4;
    int hits = 0;
    for (int x = 80; x < 90; ++x) hits += pic.At(x, y) == 0xA4A4A4;
    EXPECT_GE(hits, 4);  // dotted
    EXPECT_LE(hits, 6);
  }
}

TEST(MinuteChartPaint, PriceAxisLabels) {
  struct Case {
    const char* name;
    int mode;
    float prevClose;
    bool expectLabels;
    uint32_t fallColor;
  } cases[] = {
      {"dark", kMinuteLayoutPriceVolume, 10.0f, true, 0x00C800},
      {"light", kMinuteLayoutCompact, 10.0f, true, 0x229100},
      {"no close", kMinuteLayoutPriceVolume, 0.0f, false, 0},
  };
  for (const Case& k : cases) {
    Fixture f(k.mode, false);
    f.area->previousClose = k.prevClose;
    MinuteChart* c = f.chart.get();
    SetMinuteChartStock(c, f.area.get(), &f.hours);
    CalcMinuteIndicators(c);
    LayoutMinuteChart(c);
    const int j = c->PriceLineCount - 2;  // the lowest interior row: falling
    c->PriceScale[j] = 9.80f;
    c->PercentScale[j] = -2.0f;
    Picture pic(372, 416);
    RECT all{0, 0, 372, 416};
    FillRectColor(pic.dc, &all, 0);
    DrawMinutePriceAxis(c, pic.dc);
    const int y = c->PriceTop + c->PriceHeight * j / (c->PriceLineCount - 1);
    int left = 0, right = 0;
    for (int yy = y - 10; yy < y + 10; ++yy) {
      for (int x = 0; x < 70; ++x) left += pic.Near(x, yy, k.fallColor);
      for (int x = 316; x < 372; ++x) {
        right += pic.Near(x, yy, k.fallColor);
      }
    }
    if (k.expectLabels) {
      EXPECT_GT(left, 5) << k.name;
      EXPECT_GT(right, 5) << k.name;
    } else {
      for (uint32_t px : pic.All()) ASSERT_EQ(px, 0u) << k.name;
    }
  }
}

TEST(MinuteChartPaint, CursorTwiceRestoresAndVanishesInSharedPanel) {
  Fixture f(kMinuteLayoutPriceVolume);
  MinuteChart* c = f.chart.get();
  Picture pic(372, 416);
  DrawMinuteChart(c, pic.dc);
  const std::vector<uint32_t> before = pic.All();
  c->CrossHair = 1;
  c->Cursor = 60;
  c->CursorY = c->PriceTop + 20;
  const int x = static_cast<int>(c->PointX[60]);
  const int yPrice = c->PriceTop + 30, yVol = c->VolumeTop + 3;
  const uint32_t pricePx = pic.At(x, yPrice), volPx = pic.At(x, yVol);
  DrawMinuteCursor(c, pic.dc);
  EXPECT_EQ(pic.At(x, yPrice), pricePx ^ 0xFFFFFFu);
  EXPECT_EQ(pic.At(x, yVol), volPx);  // inverted twice in the shared panel
  EXPECT_EQ(pic.At(100, c->CursorY), (before[c->CursorY * 372 + 100]) ^ 0xFFFFFFu);
  DrawMinuteCursor(c, pic.dc);
  EXPECT_EQ(pic.All(), before);
  c->Cursor = 242;  // past the data: nothing
  DrawMinuteCursor(c, pic.dc);
  EXPECT_EQ(pic.All(), before);
}

TEST(MinuteChartPaint, TipTimes) {
  struct Case {
    const char* name;
    TradingHoursEntry entry;
    bool withHours;
    int kind;
    int slot;
    const char* text;
  } cases[] = {
      {"morning close", {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242}, true, 0, 120, "11:30"},
      {"afternoon open", {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242}, true, 0, 121, "13:00"},
      {"past midnight", {2300, 200, 900, 1015, 0, 0, 7, 200, 257}, true, 0, 150, "01:30"},
      {"default", {}, false, 0, 121, "13:00"},
      {"default kind 9", {}, false, 9, 1, "09:16"},
  };
  for (const Case& k : cases) {
    auto area = StockArea(10);
    area->key.kind = static_cast<uint8_t>(k.kind);
    ChartPtr c(CreateMinuteChart({0, 0, 372, 416}, nullptr));
    c->Data = area.get();
    c->Hours = k.withHours ? &k.entry : nullptr;
    char out[16];
    FormatMinuteSlotTime(c.get(), k.slot, out, sizeof out);
    EXPECT_STREQ(out, k.text) << k.name;
    c->Data = nullptr;
    c->Hours = nullptr;
  }
}

TEST(MinuteChartPaint, DataTipAndSnapshot) {
  Fixture f(kMinuteLayoutFull);
  MinuteChart* c = f.chart.get();
  c->CrossHair = 1;
  c->Cursor = 100;
  c->CursorY = c->PriceTop + 40;
  const int w = c->TipRect.right - c->TipRect.left, h = c->TipRect.bottom - c->TipRect.top;
  Picture tip(w, h);
  DrawMinuteDataTip(c, tip.dc);
  EXPECT_EQ(tip.At(0, 0), 0xFF0000u);  // red outline
  int yellow = 0;
  for (int y = 216; y < 236; ++y)
    for (int x = 0; x < w; ++x) yellow += tip.Near(x, y, 0xFFFF00);
  EXPECT_GT(yellow, 5);  // the volume text
  c->Cursor = -1;
  Picture none(w, h);
  RECT all{0, 0, w, h};
  FillRectColor(none.dc, &all, 0x123456);
  DrawMinuteDataTip(c, none.dc);
  EXPECT_EQ(none.At(5, 5), 0x123456u);

  // The snapshot: chart with cursor, and the tip pasted at TipRect.
  c->Cursor = 100;
  Picture pic(372, 416);
  DrawMinuteChart(c, pic.dc);
  DrawMinuteCursor(c, pic.dc);
  BitBlt(pic.dc, c->TipRect.left, c->TipRect.top, w, h, tip.dc, 0, 0, SRCCOPY);
  if (const char* dir = std::getenv("ORV_SNAPSHOT_DIR")) {
    std::string path = std::string(dir) + "/minute_chart_full.png";
    std::vector<uint32_t> px = pic.All();
    QImage img(372, 416, QImage::Format_RGB32);
    for (int y = 0; y < 416; ++y)
      for (int x = 0; x < 372; ++x) img.setPixel(x, y, px[y * 372 + x]);
    EXPECT_TRUE(img.save(QString::fromStdString(path)));
  }
}

}  // namespace

namespace {

// Degenerate trading-hours entries and more data points than slots must
// draw without crashing or reading outside the arrays (run under ASan).
TEST(MinuteChartPaint, DegenerateHoursAndLongData) {
  struct Case {
    const char* name;
    TradingHoursEntry entry;
    int points;
  } cases[] = {
      {"one-minute sessions", {930, 930, 1300, 1300, 0, 0, 1, 930, 2}, 10},
      {"empty entry", {0, 0, 0, 0, 0, 0, 1, 0, 0}, 10},
      {"past midnight", {2300, 200, 900, 1015, 0, 0, 1, 200, 257}, 257},
      {"three sessions", {900, 1015, 1030, 1130, 1330, 1500, 1, 1015, 238}, 238},
      {"long data", {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242}, 1024},
  };
  for (const Case& k : cases) {
    TradingHoursTable t{};
    t.count = 1;
    t.entries[0] = k.entry;
    auto area = StockArea(k.points);
    for (int mode = 0; mode <= 4; ++mode) {
      ChartPtr c(CreateMinuteChart({0, 0, 372, 416}, nullptr));
      SetMinuteChartLayout(c.get(), mode);
      SetMinuteChartStock(c.get(), area.get(), &t);
      CalcMinuteIndicators(c.get());
      Picture pic(372, 416);
      DrawMinuteChart(c.get(), pic.dc);
      c->CrossHair = 1;
      c->Cursor = MinuteChartPointCount(c.get()) - 1;
      DrawMinuteCursor(c.get(), pic.dc);
      DrawMinuteDataTip(c.get(), pic.dc);
      EXPECT_EQ(pic.At(70, c->PriceTop + 3), mode == 1 ? 0x595959u : mode == 3 ? 0xA4A4A4u
                                                                        : static_cast<uint32_t>(c->GridColor))
          << k.name << " mode " << mode;
    }
  }
}

}  // namespace

namespace {

// Each lower-panel kind draws its first line in its colour inside the
// sub-chart panel; a kind outside 0-11 leaves the panel empty.
TEST(MinuteChartPaint, SubChartKinds) {
  struct Case {
    int kind;
    uint32_t lineColor;  // 0 = nothing expected in the panel
  } cases[] = {{1, 0xFFFFFF}, {6, 0xFFFFFF}, {7, 0xFFFFFF}, {8, 0xFFFFFF}, {9, 0xFFFFFF},
               {10, 0xFFFFFF}, {11, 0xFFFFFF}, {12, 0}, {-1, 0}};
  for (const Case& k : cases) {
    Fixture f(kMinuteLayoutFull);
    MinuteChart* c = f.chart.get();
    for (int i = 0; i < 242; ++i) {
      f.area->points[i].bidVolume = 300000 + i * 100;
      f.area->points[i].askVolume = 200000 + (i % 13) * 5000;
    }
    SetMinuteChartSubChart(c, k.kind < 0 || k.kind > 11 ? 0 : k.kind);
    c->SubChart = k.kind;
    CalcMinuteIndicators(c);
    Picture pic(372, 416);
    DrawMinuteChart(c, pic.dc);
    int hits = 0;
    for (int y = c->SubTop + 1; y < c->SubTop + 2 + c->SubHeight; ++y)
      for (int x = 72; x < 310; ++x) hits += pic.At(x, y) == 0xFFFFFF;
    if (k.lineColor) EXPECT_GT(hits, 50) << "kind " << k.kind;
    else EXPECT_EQ(hits, 0) << "kind " << k.kind;
  }
}

}  // namespace

namespace {

// Order-total title: the difference and ratio items take red when bid
// exceeds ask and green when it falls short; no cursor uses the last point.
TEST(MinuteChartPaint, OrderTotalsTitleColours) {
  struct Case {
    const char* name;
    int64_t bid, ask;
    int cursor;
    bool red, green;
  } cases[] = {
      {"bid above", 300000, 200000, 10, true, false},
      {"bid zero", 0, 200000, 10, false, true},
      {"no cursor, last point", 300000, 200000, -1, true, false},
  };
  for (const Case& k : cases) {
    Fixture f(kMinuteLayoutFull);
    MinuteChart* c = f.chart.get();
    const int s = k.cursor < 0 ? 241 : k.cursor;
    f.area->points[s].bidVolume = k.bid;
    f.area->points[s].askVolume = k.ask;
    c->SubChart = kMinuteSubOrderTotals;
    c->Cursor = k.cursor;
    const int w = c->SubTitleRect.right - c->SubTitleRect.left, h = c->SubTitleRect.bottom - c->SubTitleRect.top;
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    Picture pic(w, h);
    DrawMinuteSubTitle(c, pic.dc);
    int red = 0, green = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        red += pic.Near(x, y, 0xFF0000);
        green += pic.Near(x, y, 0x00FF00);
      }
    EXPECT_EQ(red > 5, k.red) << k.name << " " << red;
    EXPECT_EQ(green > 5, k.green) << k.name << " " << green;
    const char* dir = std::getenv("ORV_SNAPSHOT_DIR");
    if (dir && k.cursor == 10 && k.bid > 0) {
      std::vector<uint32_t> px = pic.All();
      QImage img(w, h, QImage::Format_RGB32);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, px[y * w + x]);
      EXPECT_TRUE(img.save(QString::fromStdString(std::string(dir) + "/minute_sub_title.png")));
    }
  }
}

}  // namespace
