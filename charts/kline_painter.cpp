#include "charts/kline_painter.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "charts/kline_chart.h"
#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "platform/kernel/kernel_utf.h"
#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"
#include "marketdata/quote_record.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kYellow = 0xFFFF00, kMagenta = 0xFF00FF, kRed = 0xFF0000, kGreen = 0x00FF00,
                   kCyan = 0x00FFFF, kLabelBlue = 0x00AAFF, kGrey = 0x676767, kJColor = 0xEA00FF;

int W(const KLineChart* c) { return c->rect.right - c->rect.left; }
int H(const KLineChart* c) { return c->rect.bottom - c->rect.top; }

bool HasBars(const KLineChart* c) { return c->bars && KLineBarCount(c) > 0; }

int PointCount(const KLineChart* c) {
  if (!HasBars(c)) return 0;
  int n = std::min(GetKLineVisibleCount(c), KLineBarCount(c));
  n = std::min(n, KLineFirstValid(c) + KLineBarCount(c) - c->firstVisible);
  return std::clamp(n, 0, c->capacity);
}

void Text(HDC dc, int l, int t, int r, int b, const char* text, uint32_t color, int align) {
  const RECT rc{l, t, r, b};
  DrawTextUtf8InRect(dc, &rc, text, color, align);
}

void Line(HDC dc, const ChartPoint* points, int n, uint32_t color) {
  if (!points || n <= 0) return;
  DrawPolylineSkipLeading(dc, reinterpret_cast<const POINT*>(points), n, color);
}

const RECT* Rects(const ChartRect* r) { return reinterpret_cast<const RECT*>(r); }

void Price(const KLineChart* c, double v, char* out, int size) {
  if (v == 0) {
    std::snprintf(out, static_cast<size_t>(size), "-");
  } else {
    std::snprintf(out, static_cast<size_t>(size), c->bars && c->bars->key.decimals == 2 ? "%.2f" : "%.3f", v);
  }
}

void Fixed(double v, const char* format, char* out, int size) {
  if (v == 0) {
    std::snprintf(out, static_cast<size_t>(size), "-");
  } else {
    std::snprintf(out, static_cast<size_t>(size), format, v);
  }
}

// A scale label right-aligned in x 0..72 around y (tall: 20 pixels high).
void ScaleLabel(HDC dc, int y, const char* text, bool tall = false) {
  Text(dc, 0, y - 9, 72, y + (tall ? 11 : 9), text, kLabelBlue, 2);
}

void ScaleLabels(const KLineChart* c, HDC dc, const float scale[3], const char* format, int tallMask = 0) {
  const int ys[3] = {c->indicatorTop, c->indicatorTop + c->indicatorHeight / 2, c->indicatorTop + c->indicatorHeight};
  for (int k = 0; k < 3; ++k) {
    char text[64];
    Fixed(scale[k], format, text, sizeof text);
    ScaleLabel(dc, ys[k], text, (tallMask >> k) & 1);
  }
}

// One row of title items, each label then value, left to right.
struct TitleRow {
  const KLineChart* c;
  HDC dc;
  int x = 0;
  int gap;
  TitleRow(const KLineChart* chart, HDC d, int g) : c(chart), dc(d), gap(g) {}
  void Item(const char* label, const char* value, uint32_t color) {
    char text[160];
    std::snprintf(text, sizeof text, "%s%s", label, value);
    Text(dc, x, 1, W(c), 17, text, color, 0);
    x += MeasureTextWidth(dc, text, 0) + gap;
  }
  void Value(const char* label, double v, uint32_t color, const char* format = "%.3f") {
    char text[64];
    Fixed(v, format, text, sizeof text);
    Item(label, text, color);
  }
};

uint32_t SignColour(double v) { return v > 0 ? kRed : v < 0 ? kGreen : kWhite; }

bool BarOk(const KLineChart* c, int bar) { return bar >= 0 && bar < kIndicatorBarRoom && c->workspace; }

}  // namespace

void FormatKLineLargeNumber(double v, bool wholeThird, char* out, int size) {
  const size_t n = static_cast<size_t>(size);
  const double a = std::fabs(v);
  if (v == 0) {
    std::snprintf(out, n, "-");
  } else if (a >= 100000000.0) {
    std::snprintf(out, n, "%.2f亿", v / 100000000.0);
  } else if (a >= 10000.0) {
    std::snprintf(out, n, "%.2f万", v / 10000.0);
  } else if (wholeThird) {
    // The count format of the market windows, on the whole number.
    char16_t text[kNumberTextSize];
    const int units = FormatCount(static_cast<int64_t>(v), text, kNumberTextSize);
    std::snprintf(out, n, "%s", WideToUtf8(std::u16string_view(text, static_cast<size_t>(units))).c_str());
  } else {
    std::snprintf(out, n, "%.2f", v);
  }
}

void FormatKLineQuarterLabel(const char* endDate, char* out, int size) {
  const long date = std::atol(endDate);
  const int y = static_cast<int>(date / 10000 % 1000 % 100);
  int m = 0;
  if (std::strlen(endDate) >= 6) m = (endDate[4] - '0') * 10 + (endDate[5] - '0');
  std::snprintf(out, static_cast<size_t>(size), "%d%d年第%d季", y / 10, y % 10, m / 4 + 1);
}

void DrawKLineChart(KLineChart* c, HDC dc) {
  if (!c || !dc) return;
  LayoutKLineChart(c);
  const int w = W(c), h = H(c);
  SetBkMode(dc, TRANSPARENT);
  const RECT all{0, 0, w, h};
  FillRectColor(dc, &all, static_cast<uint32_t>(c->backColor));
  // Step 2: pane frames.
  const int layout = c->paneLayout;
  auto frame = [&](int top, int height) {
    if (height <= 0) return;
    const RECT r{72, top, w, top + height};
    DrawRectangle(dc, &r, static_cast<uint32_t>(c->frameColor), 0);
  };
  frame(c->mainTop, c->mainHeight);
  if (layout != 1) frame(c->volumeTop, c->volumeHeight);
  if (layout != 0) frame(c->indicatorTop, c->indicatorHeight);
  // Step 3: grid.
  const uint32_t grid = static_cast<uint32_t>(c->gridColor);
  if (layout == 2 || layout == 3) {
    for (int k = 0; k <= 4; ++k) {
      const int y = 33 + k * ((c->mainHeight - 30) / 4);
      DrawLine(dc, 72, y, w, y, grid, 1);
    }
  } else {
    for (int k = 1; k <= 3; ++k) {
      const int y = 18 + k * (c->mainHeight / 4);
      DrawLine(dc, 72, y, w, y, grid, 1);
    }
  }
  if (layout != 1) DrawLine(dc, 72, c->volumeTop + c->volumeHeight / 2, w, c->volumeTop + c->volumeHeight / 2, grid, 1);
  // Step 4.
  if (!HasBars(c) || c->capacity <= 0 || !c->workspace) return;
  const int n = PointCount(c);
  // Step 5: candles.
  if (c->mainOverlay == 4) {
    static const uint32_t kTrend[4] = {0xFF0000, 0xFFFF00, 0x00FF00, 0x0000FF};
    for (int k = 0; k < 4; ++k) {
      const int rising = c->trendCounts[k * 2], falling = c->trendCounts[k * 2 + 1];
      for (int i = 0; i < rising + falling; ++i) {
        const KLineWick& wk = c->trendWicks[k][i];
        DrawLine(dc, wk.x, wk.yHigh, wk.x, wk.yLow, kTrend[k], 0);
      }
      DrawBars(dc, Rects(c->trendBodies[k * 2]), rising, kTrend[k], 0x000000, 0);
      FillRects(dc, Rects(c->trendBodies[k * 2 + 1]), falling, kTrend[k]);
    }
  } else {
    for (int i = 0; i < c->upCount; ++i)
      DrawLine(dc, c->upWicks[i].x, c->upWicks[i].yHigh, c->upWicks[i].x, c->upWicks[i].yLow,
               static_cast<uint32_t>(c->upColor), 0);
    for (int i = 0; i < c->downCount; ++i)
      DrawLine(dc, c->downWicks[i].x, c->downWicks[i].yHigh, c->downWicks[i].x, c->downWicks[i].yLow,
               static_cast<uint32_t>(c->downColor), 0);
    DrawBars(dc, Rects(c->upBodies), c->upCount, static_cast<uint32_t>(c->upColor), static_cast<uint32_t>(c->backColor), 0);
    FillRects(dc, Rects(c->downBodies), c->downCount, static_cast<uint32_t>(c->downColor));
    Line(dc, c->maPoints3, n, static_cast<uint32_t>(c->ma3Color));
    Line(dc, c->maPoints2, n, static_cast<uint32_t>(c->ma2Color));
    Line(dc, c->maPoints1, n, static_cast<uint32_t>(c->ma1Color));
  }
  // Step 6.
  if (c->bars->period == 33 && (layout == 2 || layout == 3)) DrawKLineNewsMarks(c, dc);
  // Step 7: the period name.
  if (layout == 0 || layout == 1) {
    static const char* const kNames[] = {"日线", "1分钟", "5分钟", "15分钟", "30分钟", "60分钟", "周线", "月线", "年线"};
    const int p = c->bars->period;
    if (p >= 33 && p <= 41) Text(dc, w - 54, 0, w, 16, kNames[p - 33], static_cast<uint32_t>(c->periodColor), 2);
  }
  // Step 8: the first and last visible dates.
  {
    const int firstValid = KLineFirstValid(c), last = firstValid + KLineBarCount(c) - 1;
    char date[16] = {};
    const int left = std::clamp(c->firstVisible, firstValid, last);
    FormatKLineBarDate(c, c->bars->bars[left].time, date);
    Text(dc, 72, h - 18, w, h, date, static_cast<uint32_t>(c->dateColor), 0);
    const int right = std::clamp(c->firstVisible + GetKLineVisibleCount(c) - 1, firstValid, last);
    FormatKLineBarDate(c, c->bars->bars[right].time, date);
    Text(dc, 72, h - 18, w, h, date, static_cast<uint32_t>(c->dateColor), 2);
  }
  // Step 9: the price axis.
  for (int k = 0; k <= 4; ++k) {
    int y;
    if (layout == 2 || layout == 3) {
      y = c->mainTop + 15 + k * ((c->mainHeight - 30) / 4);
    } else {
      y = k == 4 ? c->mainTop + c->mainHeight : c->mainTop + k * (c->mainHeight / 4);
    }
    char text[32];
    Price(c, c->priceLabels[k], text, sizeof text);
    Text(dc, 0, y - 9, 72, y + 9, text, static_cast<uint32_t>(c->axisColor), 2);
  }
  // Step 10: ex-rights letters.
  if (layout == 2 || layout == 3) {
    const int marks = std::min(c->exRightsMarkCount, std::min(c->capacity, kKLineExRightsMarkRoom));
    for (int i = 0; i < marks; ++i) {
      const ChartRect& r = c->exRightsMarkRects[i];
      Text(dc, r.left, r.top, r.right, r.bottom, "q", 0xFF0000, 0);
    }
  }
  // Steps 11 to 14.
  if (layout != 1) DrawKLineVolumePane(c, dc, n);
  if (layout == 3 && (c->fundKind == 1 || c->fundKind == 2)) {
    DrawKLineFundamentalsPane(c, dc);
    DrawKLineFundCloseBox(c, dc);
  }
  if (layout == 2 || layout == 3) {
    if (c->mainOverlay == 1) DrawKLineRatingMarks(c, dc);
    if (c->mainOverlay == 2) DrawKLineSellMarks(c, dc);
    if (c->mainOverlay == 3) DrawKLineBuyMarks(c, dc);
  }
  if (layout != 0) DrawKLineLowerPane(c, dc, n);
  // Step 15: the extreme labels.
  if ((layout == 2 || layout == 3) && c->lowLabelRect.left > 0) {
    const auto draw = [&](const ChartRect& r, const char16_t* label, int align) {
      const RECT rc{r.left, r.top, r.right, r.bottom};
      DrawTextInRect(dc, &rc, reinterpret_cast<const WCHAR*>(label), kWhite, align);
    };
    draw(c->lowLabelRect, c->lowLabel, c->lowLabelAlign);
    draw(c->highLabelRect, c->highLabel, c->highLabelAlign);
  }
}

void DrawKLineNewsMarks(KLineChart* c, HDC dc) {
  if (!c->newsMarks) return;
  for (int i = 0; i < c->newsMarkCount; ++i) {
    const NewsMark& m = c->newsMarks[i];
    if (m.visible != 1 || m.rect.left <= 72) continue;
    const RECT r{m.rect.left, m.rect.top, m.rect.right, m.rect.bottom};
    DrawRoundRect(dc, &r, 0x000000, 0xF0FF00, 0, 12, 12);
  }
}

void DrawKLineRatingMarks(KLineChart* c, HDC dc) {
  if (!(c->candleWidth > 3) || !c->ratingMarks) return;
  for (int i = 0; i < c->ratingCount; ++i) {
    const RatingMark& m = c->ratingMarks[i];
    if (m.visible != 1 || m.arrow[2].x <= 72) continue;
    const uint32_t colour = m.kind == 1 ? 0x00FF00 : 0xFF0000;
    FillPolygon(dc, reinterpret_cast<const POINT*>(m.arrow), 3, colour);
    const RECT stem{m.stemRect.left, m.stemRect.top, m.stemRect.right, m.stemRect.bottom};
    FillRectColor(dc, &stem, colour);
    Text(dc, m.labelRect.left, m.labelRect.top, m.labelRect.right, m.labelRect.bottom, m.countText, colour, 0);
  }
}

void DrawKLineSellMarks(KLineChart* c, HDC dc) {
  for (int i = 0; i < std::min(c->sellMarkCount, c->capacity); ++i) {
    const ChartPoint& p = c->sellMarkPoints[i];
    Text(dc, p.x, p.y - 18, p.x + 20, p.y, "*S", 0x00FFFF, 0);
  }
}

void DrawKLineBuyMarks(KLineChart* c, HDC dc) {
  for (int i = 0; i < std::min(c->buyMarkCount, c->capacity); ++i) {
    const ChartPoint& p = c->buyMarkPoints[i];
    Text(dc, p.x, p.y, p.x + 20, p.y + 18, "*B", 0xFF0000, 0);
  }
}

void DrawKLineFundCloseBox(KLineChart* c, HDC dc) {
  const int r = c->topStripRect.right, t = c->fundTop;
  const RECT box{r - 12, t, r, t + 12};
  const RECT inside{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
  FillRectColor(dc, &inside, 0x1D202C);
  DrawRectangle(dc, &box, 0x475061, 0);
  DrawLine(dc, inside.left, inside.top, inside.right, inside.bottom, 0xFF0000, 0);
  DrawLine(dc, inside.right, inside.top, inside.left, inside.bottom, 0xFF0000, 0);
}

void DrawKLineKdjPane(KLineChart* c, HDC dc, int n) {
  Line(dc, c->KdjLines[0], n, kWhite);
  Line(dc, c->KdjLines[1], n, kYellow);
  Line(dc, c->KdjLines[2], n, kJColor);
  Text(dc, 0, c->indicatorTop - 9, 72, c->indicatorTop + 18, "100", kLabelBlue, 2);
  const int mid = c->indicatorTop + c->indicatorHeight / 2, bottom = c->indicatorTop + c->indicatorHeight;
  Text(dc, 0, mid - 9, 72, mid + 9, "50", kLabelBlue, 2);
  Text(dc, 0, bottom - 9, 72, bottom + 9, "0", kLabelBlue, 2);
}

void DrawKLineVolumePane(KLineChart* c, HDC dc, int) {
  FillRects(dc, Rects(c->upVolumeBars), c->upCount, static_cast<uint32_t>(c->backColor));
  DrawRectangles(dc, Rects(c->upVolumeBars), c->upCount, static_cast<uint32_t>(c->upColor), 0);
  FillRects(dc, Rects(c->downVolumeBars), c->downCount, static_cast<uint32_t>(c->downColor));
  const bool lower = c->paneLayout == 1;
  const int top = lower ? c->indicatorTop : c->volumeTop, height = lower ? c->indicatorHeight : c->volumeHeight;
  char text[64];
  FormatKLineLargeNumber(static_cast<double>(c->volumeScaleTop), true, text, sizeof text);
  Text(dc, 0, top - 9, 72, top + 9, text, static_cast<uint32_t>(c->labelColor), 2);
  FormatKLineLargeNumber(static_cast<double>(c->volumeScaleMid), true, text, sizeof text);
  Text(dc, 0, top + height / 2 - 9, 72, top + height / 2 + 9, text, static_cast<uint32_t>(c->labelColor), 2);
}

void DrawKLineVolumeTitle(KLineChart* c, HDC dc, int bar) {
  if (!HasBars(c) || bar < 0 || bar >= kKLineBarRoom) return;
  const DayBar& b = c->bars->bars[bar];
  char value[64], text[96];
  FormatKLineLargeNumber(static_cast<double>(b.volume), true, value, sizeof value);
  std::snprintf(text, sizeof text, "成交量:%s", value);
  Text(dc, 0, 1, W(c) - 73, 17, text, kLabelBlue, 0);
  FormatKLineLargeNumber(static_cast<double>(b.amount), true, value, sizeof value);
  std::snprintf(text, sizeof text, "成交金额:%s", value);
  Text(dc, 0, 1, W(c) - 73, 17, text, kLabelBlue, 2);
}

void DrawKLineMainTitle(KLineChart* c, HDC dc, int bar) {
  if (!HasBars(c) || !BarOk(c, bar)) return;
  int x = 0;
  if (c->showNameInTitle == 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%s(%s)", c->bars->key.name, c->bars->key.code);
    Text(dc, 0, 0, 100, 18, text, kYellow, 0);
    x = 110;
  }
  static const char* const kLabels[] = {"M5:", "M10:", "M20:"};
  const uint32_t colours[] = {static_cast<uint32_t>(c->ma1Color), static_cast<uint32_t>(c->ma2Color),
                              static_cast<uint32_t>(c->ma3Color)};
  for (int k = 0; k < 3; ++k) {
    char value[32], text[48];
    Price(c, c->workspace->ma[k][bar], value, sizeof value);
    std::snprintf(text, sizeof text, "%s%s", kLabels[k], value);
    Text(dc, x, 0, W(c), 18, text, colours[k], 0);
    x += MeasureTextWidth(dc, text, 0) + 10;
  }
}

void DrawKLineQuarterLabels(KLineChart* c, HDC dc, int rows) {
  for (int i = 0; i < rows; ++i) {
    const FundColumn& col = c->fundColumns[i];
    if (!(col.rect.left < col.rect.right) || col.wide != 1) continue;
    char label[48];
    FormatKLineQuarterLabel(col.endDate, label, sizeof label);
    Text(dc, col.rect.left, col.rect.top, col.rect.right, col.rect.bottom, label, kWhite, 1);
  }
}

void DrawKLineFundamentalsPane(KLineChart* c, HDC dc) {
  const int T = c->fundTop, Hh = c->fundHeight, R = c->volumeTitleRect.right;
  DrawLine(dc, 72, T + Hh, R, T + Hh, kRed, 0);
  DrawLine(dc, 72, T, 72, T + Hh, kRed, 0);
  if (c->fundKind == 1) DrawLine(dc, 72, T + 2 * (Hh / 3), R, T + 2 * (Hh / 3), kGrey, 0);
  struct Legend {
    const char* text;
    uint32_t colour;
  };
  static const Legend kFinance[] = {{"每股现金流", 0xFAAE27}, {"主营收入", 0x48C3FF}, {"每股收益", 0xCC59FB}};
  static const Legend kHolders[] = {{"人均持股数", 0x48C3FF}, {"股东人数", 0xCC59FB}};
  const Legend* legend = c->fundKind == 1 ? kFinance : kHolders;
  const int items = c->fundKind == 1 ? 3 : 2;
  int right = R - 12, width = 60;
  for (int k = 0; k < items; ++k) {
    const int left = right - width;
    Text(dc, left, T, right, T + 18, legend[k].text, 0xAFAFAF, 0);
    const RECT swatch{left - 8, T + 5, left, T + 13};
    FillRectColor(dc, &swatch, legend[k].colour);
    right = swatch.left - 10;
  }
  const int rows = std::clamp(c->fundKind == 1 ? c->financeRowCount : c->holderRowCount, 0, kKLineFundCellRoom);
  for (int i = 0; i < rows; ++i) {
    const FundColumn& col = c->fundColumns[i];
    if (col.wide == 1) {
      FundCell* cells[3] = {&c->fundCellsA[i], &c->fundCellsB[i], c->fundKind == 1 ? &c->fundCellsC[i] : nullptr};
      const uint32_t colours[3] = {0xCC59FB, 0x48C3FF, 0xFAAE27};
      for (int t = 0; t < 3; ++t) {
        if (!cells[t]) continue;
        const FundCell& cell = *cells[t];
        char bounded[64];
        std::snprintf(bounded, sizeof bounded, "%.*s", 63, cell.text);
        char text[64];
        FormatKLineLargeNumber(std::atof(bounded), false, text, sizeof text);
        const RECT bar{cell.barRect.left, cell.barRect.top, cell.barRect.right, cell.barRect.bottom};
        FillRectColor(dc, &bar, colours[t]);
        Text(dc, cell.textRect.left, cell.textRect.top, cell.textRect.right, cell.textRect.bottom, text, colours[t], 1);
      }
    }
    if (col.rect.right > 72) DrawLine(dc, col.rect.right, T, col.rect.right, T + Hh, kGrey, 1);
  }
  DrawKLineQuarterLabels(c, dc, rows);
}

namespace {

void DdzBand(KLineChart* c, HDC dc, int n) {
  const ChartPoint* p0 = c->Level2Lines[0];
  const ChartPoint* p1 = c->Level2Lines[1];
  const double* ddz1 = c->workspace->ddz1;
  for (int i = 1; i < n; ++i) {
    const int barA = c->firstVisible + i - 1, barB = c->firstVisible + i;
    if (barA < 0 || barB >= kIndicatorBarRoom) break;
    const double a = ddz1[barA], b = ddz1[barB];
    const POINT P0{p0[i].x, p0[i].y}, P1{p1[i].x, p1[i].y}, Q0{p0[i - 1].x, p0[i - 1].y}, Q1{p1[i - 1].x, p1[i - 1].y};
    if (a * b > 0) {
      const POINT quad[4] = {P0, P1, Q1, Q0};
      FillPolygon(dc, quad, 4, SignColour(b));
    } else {
      const POINT M{Q0.x + (P0.x - Q0.x) / 2, Q0.y + (P0.y - Q0.y) / 2};
      const POINT t1[3] = {P0, P1, M};
      FillPolygon(dc, t1, 3, SignColour(b));
      const POINT t2[3] = {Q0, Q1, M};
      FillPolygon(dc, t2, 3, SignColour(a));
    }
  }
}

void BollCandles(HDC dc, const KLineCandle* candles, int count, uint32_t colour) {
  for (int i = 0; i < count; ++i) {
    const KLineCandle& k = candles[i];
    DrawLine(dc, k.x, k.yHigh, k.x, k.yLow, colour, 0);
    DrawLine(dc, k.left, k.yOpen, k.x, k.yOpen, colour, 0);
    DrawLine(dc, k.right, k.yClose, k.x, k.yClose, colour, 0);
  }
}

}  // namespace

void DrawKLineLowerPane(KLineChart* c, HDC dc, int n) {
  const int w = W(c);
  switch (c->lowerIndicator) {
    case 0:
      DrawKLineVolumePane(c, dc, n);
      return;
    case 1:
      DrawLine(dc, 72, c->MacdZeroY, w, c->MacdZeroY, kGrey, 1);
      for (int i = 0; i < c->MacdUpCount; ++i)
        DrawLine(dc, c->MacdUpBars[i].x, c->MacdUpBars[i].y, c->MacdUpBars[i].x, c->MacdZeroY, kRed, 0);
      for (int i = 0; i < c->MacdDownCount; ++i)
        DrawLine(dc, c->MacdDownBars[i].x, c->MacdDownBars[i].y, c->MacdDownBars[i].x, c->MacdZeroY, kGreen, 0);
      Line(dc, c->DifLine, n, kWhite);
      Line(dc, c->DeaLine, n, kYellow);
      ScaleLabels(c, dc, c->MacdScale, "%.2f");
      return;
    case 2:
      DrawKLineKdjPane(c, dc, n);
      return;
    case 3: {
      const bool skip = c->workspace->rsi1[0] == 0;
      const int m = skip ? n - 1 : n;
      Line(dc, c->RsiLines[0] + (skip ? 1 : 0), m, kWhite);
      Line(dc, c->RsiLines[1] + (skip ? 1 : 0), m, kYellow);
      Line(dc, c->RsiLines[2] + (skip ? 1 : 0), m, kMagenta);
      ScaleLabels(c, dc, c->RsiScale, "%.3f");
      return;
    }
    case 4:
      Line(dc, c->WrLines[0], n, kWhite);
      Line(dc, c->WrLines[1], n, kYellow);
      ScaleLabels(c, dc, c->WrScale, "%.3f");
      return;
    case 5:
      BollCandles(dc, c->BollUpCandles, c->upCount, kRed);
      BollCandles(dc, c->BollDownCandles, c->downCount, kCyan);
      Line(dc, c->BollLines[0], n, kWhite);
      Line(dc, c->BollLines[1], n, kYellow);
      Line(dc, c->BollLines[2], n, kMagenta);
      ScaleLabels(c, dc, c->BollScale, "%.2f");
      return;
    case 6:
      Line(dc, c->BiasLines[0], n, kWhite);
      Line(dc, c->BiasLines[1], n, kYellow);
      Line(dc, c->BiasLines[2], n, kMagenta);
      ScaleLabels(c, dc, c->BiasScale, "%.2f");
      return;
    case 7:
      Line(dc, c->DmaLines[0], n, kWhite);
      Line(dc, c->DmaLines[1], n, kYellow);
      ScaleLabels(c, dc, c->DmaScale, "%.2f", 4);
      return;
    case 8:
      Line(dc, c->CciLine, n, kWhite);
      ScaleLabels(c, dc, c->CciScale, "%.2f");
      return;
    case 9:
      Line(dc, c->BrarLines[0], n, kWhite);
      Line(dc, c->BrarLines[1], n, kYellow);
      ScaleLabels(c, dc, c->BrarScale, "%.2f", 6);
      return;
    case 10:
      Line(dc, c->PsyLine, n, kWhite);
      ScaleLabels(c, dc, c->PsyScale, "%.2f", 1);
      return;
    case 11:
    case 12:
      DrawLine(dc, 72, c->Level2ZeroY, w, c->Level2ZeroY, kGrey, 1);
      FillRects(dc, Rects(c->Level2UpBars), c->Level2UpCount, kRed);
      FillRects(dc, Rects(c->Level2DownBars), c->Level2DownCount, kCyan);
      Line(dc, c->Level2Lines[0], n, kYellow);
      Line(dc, c->Level2Lines[1], n, kMagenta);
      Line(dc, c->Level2Lines[2], n, kGreen);
      ScaleLabels(c, dc, c->Level2Scale, "%.2f");
      return;
    case 13:
      Line(dc, c->Level2Lines[0], n, kWhite);
      DdzBand(c, dc, n);
      ScaleLabels(c, dc, c->Level2Scale, "%.2f");
      return;
    case 14:
    case 15:
      if (n > 0) DrawPolylineWidth(dc, reinterpret_cast<const POINT*>(c->Level2Lines[0]), n, kWhite, 3);
      FillRects(dc, Rects(c->Level2UpBars), c->Level2UpCount, kRed);
      FillRects(dc, Rects(c->Level2DownBars), c->Level2DownCount, kGreen);
      ScaleLabels(c, dc, c->Level2Scale, "%.2f");
      return;
    case 16: {
      DrawLine(dc, 72, c->Level2ZeroY, w, c->Level2ZeroY, kGrey, 1);
      FillRects(dc, Rects(c->Level2UpBars), c->Level2UpCount, kRed);
      FillRects(dc, Rects(c->Level2DownBars), c->Level2DownCount, kGreen);
      Line(dc, c->Level2Lines[0], n, kYellow);
      Line(dc, c->Level2Lines[1], n, kWhite);
      Line(dc, c->Level2Lines[2], n, kGreen);
      const int ys[3] = {c->indicatorTop, c->indicatorTop + c->indicatorHeight / 2, c->indicatorTop + c->indicatorHeight};
      for (int k = 0; k < 3; ++k) {
        char text[64];
        FormatKLineLargeNumber(std::trunc(static_cast<double>(c->Level2Scale[k])), true, text, sizeof text);
        ScaleLabel(dc, ys[k], text);
      }
      return;
    }
    case 17: {
      FillRects(dc, Rects(c->Level2UpBars), c->Level2UpCount, kRed);
      char text[64];
      Fixed(c->Level2Scale[0], "%.2f", text, sizeof text);
      ScaleLabel(dc, c->indicatorTop, text);
      Fixed(c->Level2Scale[1], "%.2f", text, sizeof text);
      ScaleLabel(dc, c->indicatorTop + c->indicatorHeight / 2, text);
      std::snprintf(text, sizeof text, "%.2f", static_cast<double>(c->Level2Scale[2]));
      ScaleLabel(dc, c->indicatorTop + c->indicatorHeight, text);
      return;
    }
    default:
      return;
  }
}

void DrawKLineLowerTitle(KLineChart* c, HDC dc, int bar) {
  if (!HasBars(c) || !BarOk(c, bar)) return;
  const IndicatorWorkspace* ws = c->workspace;
  const RECT row{0, 1, W(c), 17};
  switch (c->lowerIndicator) {
    case 0:
      DrawKLineVolumeTitle(c, dc, bar);
      return;
    case 1: {
      TitleRow t(c, dc, 5);
      t.Value("DIF:", ws->macdDif[bar], kWhite);
      t.Value("DEA:", ws->macdDea[bar], kYellow);
      t.Value("MACD:", ws->macdMacd[bar], kYellow);
      return;
    }
    case 2: {
      FillRectColor(dc, &row, 0x000000);
      TitleRow t(c, dc, 10);
      t.Value("K:", ws->kdjK[bar], kWhite);
      t.Value("D:", ws->kdjD[bar], kYellow);
      t.Value("J:", ws->kdjJ[bar], kJColor);
      return;
    }
    case 3: {
      FillRectColor(dc, &row, 0x000000);
      TitleRow t(c, dc, 10);
      t.Value("RSI6:", ws->rsi1[bar], kWhite);
      t.Value("RSI12:", ws->rsi2[bar], kYellow);
      t.Value("RSI24:", ws->rsi3[bar], kMagenta);
      return;
    }
    case 4: {
      TitleRow t(c, dc, 10);
      t.Value("WR1:", ws->wr1[bar], kWhite);
      t.Value("WR2:", ws->wr2[bar], kYellow);
      return;
    }
    case 5: {
      TitleRow t(c, dc, 10);
      char head[32];
      std::snprintf(head, sizeof head, "BOLL:(%d,%d)", ws->bollN, ws->bollWidth);
      t.Item(head, "", kWhite);
      t.Value("M:", ws->bollMiddle[bar], kWhite);
      t.Value("U:", ws->bollUpper[bar], kYellow);
      t.Value("L:", ws->bollLower[bar], kMagenta);
      return;
    }
    case 6: {
      TitleRow t(c, dc, 10);
      t.Value("BIAS1:", ws->bias[0][bar], kWhite);
      t.Value("BIAS2:", ws->bias[1][bar], kYellow);
      t.Value("BIAS3:", ws->bias[2][bar], kMagenta);
      return;
    }
    case 7: {
      TitleRow t(c, dc, 10);
      t.Value("DDD:", ws->dmaDdd[bar], kWhite);
      t.Value("AMA:", ws->dmaAma[bar], kYellow);
      return;
    }
    case 8: {
      TitleRow t(c, dc, 10);
      t.Value("CCI:", ws->cci[bar], kWhite);
      return;
    }
    case 9: {
      // Each legend item in its line's colour: BR yellow, AR white.
      TitleRow t(c, dc, 10);
      t.Value("BR:", ws->brarBr[bar], kYellow);
      t.Value("AR:", ws->brarAr[bar], kWhite);
      return;
    }
    case 10: {
      TitleRow t(c, dc, 10);
      t.Value("PSY:", ws->psy[bar], kWhite);
      return;
    }
    case 11:
    case 12: {
      const bool x = c->lowerIndicator == 11;
      TitleRow t(c, dc, 5);
      t.Value(x ? "DDX:" : "DDY:", x ? ws->ddx[bar] : ws->ddy[bar], kWhite);
      t.Value(x ? "DDX1:" : "DDY1:", x ? ws->ddx1[bar] : ws->ddy1[bar], kYellow);
      t.Value(x ? "DDX2:" : "DDY2:", x ? ws->ddx2[bar] : ws->ddy2[bar], kMagenta);
      t.Value(x ? "DDX3:" : "DDY3:", x ? ws->ddx3[bar] : ws->ddy3[bar], kGreen);
      return;
    }
    case 13: {
      TitleRow t(c, dc, 5);
      t.Value("DDZ:", ws->ddz[bar], kWhite);
      t.Value("DDZ1:", ws->ddz1[bar], kYellow);
      return;
    }
    case 14:
    case 15: {
      const bool retail = c->lowerIndicator == 14;
      TitleRow t(c, dc, 5);
      t.Value(retail ? "散户持仓:" : "主力持仓:", retail ? ws->retailHoldings[bar] : ws->mainHoldings[bar], kWhite);
      t.Value("当日增减度:", retail ? ws->retailChange[bar] : ws->mainChange[bar], kYellow);
      return;
    }
    case 16: {
      TitleRow t(c, dc, 5);
      char value[64], text[80];
      FormatKLineLargeNumber(static_cast<double>(ws->bbd[bar]), true, value, sizeof value);
      std::snprintf(text, sizeof text, "%s元", value);
      t.Item("BBD:", text, kMagenta);
      return;
    }
    case 17: {
      TitleRow t(c, dc, 5);
      char value[64];
      FormatKLineLargeNumber(ws->amountPerTrade[bar], false, value, sizeof value);
      t.Item("每笔均额:", value, kRed);
      FormatKLineLargeNumber(ws->volumePerTrade[bar], false, value, sizeof value);
      t.Item("每笔均量:", value, kYellow);
      return;
    }
    default:
      return;
  }
}

void DrawKLineTitles(KLineChart* c, HDC indicatorDc, HDC mainDc, HDC volumeDc) {
  if (!c) return;
  struct Strip {
    HDC dc;
    ChartRect r;
  } strips[3] = {{indicatorDc, c->indicatorTitleRect}, {mainDc, c->mainTitleRect}, {volumeDc, c->volumeTitleRect}};
  for (const Strip& s : strips) {
    if (!s.dc) continue;
    const RECT r{0, 0, s.r.right - s.r.left, s.r.bottom - s.r.top};
    FillRectColor(s.dc, &r, static_cast<uint32_t>(c->backColor));
    SetBkMode(s.dc, TRANSPARENT);
  }
  if (!HasBars(c)) return;
  int bar = c->cursor >= 0 ? c->firstVisible + c->cursor : -1;
  const int last = KLineFirstValid(c) + KLineBarCount(c) - 1;
  if (bar < 0 || bar > last) bar = last;
  auto with = [&](HDC dc, auto paint) {
    if (!dc) return;
    HGDIOBJ old = c->titleFont ? SelectObject(dc, c->titleFont) : nullptr;
    paint(dc);
    if (old) SelectObject(dc, old);
  };
  with(mainDc, [&](HDC dc) { DrawKLineMainTitle(c, dc, bar); });
  with(volumeDc, [&](HDC dc) { DrawKLineVolumeTitle(c, dc, bar); });
  with(indicatorDc, [&](HDC dc) { DrawKLineLowerTitle(c, dc, bar); });
}


void DrawKLineDataTip(KLineChart* c, HDC dc) {
  if (!c || !dc || !HasBars(c) || !c->crossHairShown) return;
  const int count = KLineBarCount(c);
  if (c->cursor < 0 || c->cursor >= count) return;
  const int firstValid = KLineFirstValid(c);
  int bar = c->firstVisible + c->cursor;
  if (bar < firstValid) bar = firstValid + count - 1;
  bar = std::min(bar, firstValid + count - 1);
  const DayBar* bars = c->bars->bars;
  const DayBar& b = bars[bar];
  const bool futures = IsFuturesMarket(c->bars->key.market);
  const int tipHeight = futures ? 402 : 360;
  SetBkMode(dc, TRANSPARENT);
  const RECT all{0, 0, 72, tipHeight};
  FillRectColor(dc, &all, 0x000000);
  const RECT outline{1, 1, 70, tipHeight - 1};
  DrawRectangle(dc, &outline, 0xFF0000, 0);
  HGDIOBJ oldFont = c->tipFont ? SelectObject(dc, c->tipFont) : nullptr;
  const bool firstBar = bar == firstValid;
  const double previous = firstBar ? b.open : bars[bar - 1].close;
  const double R = previous;
  auto against = [](double v, double base) -> uint32_t { return v > base ? 0xFF0000 : v < base ? 0x00C800 : 0xFFFFFF; };
  int y = 1;
  auto row = [&](const char* label, const char* value, uint32_t colour) {
    Text(dc, 1, y, 68, y + 20, label, 0xDDDDDD, 0);
    y += 20;
    Text(dc, 1, y, 68, y + 20, value, colour, 2);
    y += 20;
  };
  char v[64];
  FormatKLineBarDate(c, b.time, v);
  row(" 时间:", v, 0xFFFFFF);
  Price(c, b.close, v, sizeof v);
  row(" 最新:", v, against(b.close, R));
  Price(c, b.open, v, sizeof v);
  row(" 开盘:", v, firstBar ? 0xFFFFFF : against(b.open, previous));
  Price(c, b.high, v, sizeof v);
  row(" 最高:", v, against(b.high, R));
  Price(c, b.low, v, sizeof v);
  row(" 最低:", v, against(b.low, R));
  const bool hasPrevious = bar > 0 && bar > firstValid;
  const double changeBase = hasPrevious ? bars[bar - 1].close : b.open;
  if (b.close == 0 || changeBase == 0) {
    std::snprintf(v, sizeof v, "-");
  } else if (b.close == changeBase) {
    std::snprintf(v, sizeof v, "0.00%%");
  } else {
    std::snprintf(v, sizeof v, "%.2f%%", (b.close - changeBase) * 100 / changeBase);
  }
  row(" 幅度:", v, against(b.close, changeBase));
  const double rangeBase = hasPrevious ? bars[bar - 1].close : b.close;
  if (rangeBase == 0) {
    std::snprintf(v, sizeof v, "-");
  } else {
    std::snprintf(v, sizeof v, "%.2f%%", (static_cast<double>(b.high) - b.low) * 100 / rangeBase);
  }
  row(" 振幅:", v, 0x00FFFF);
  FormatKLineLargeNumber(static_cast<double>(b.volume), true, v, sizeof v);
  row(" 成交量:", v, 0xFFFF00);
  FormatKLineLargeNumber(static_cast<double>(b.amount), true, v, sizeof v);
  row(" 成交额:", v, 0xFFFF00);
  if (futures) {
    FormatKLineLargeNumber(static_cast<double>(b.field11), true, v, sizeof v);
    row("持仓量:", v, 0xFFFF00);
  }
  if (oldFont) SelectObject(dc, oldFont);
}

void DrawKLineCrossHair(KLineChart* c, HDC dc) {
  if (!c || !dc || !c->crossHairShown || c->cursor < 0) return;
  const int x = GetKLineCursorX(c);
  DrawLineRop(dc, x, c->mainTop, x, c->mainTop + c->mainHeight, 0xFFFFFF, 0, 1, R2_NOT);
  if (c->volumeHeight > 0) DrawLineRop(dc, x, c->volumeTop, x, c->volumeTop + c->volumeHeight, 0xFFFFFF, 0, 1, R2_NOT);
  if (c->indicatorHeight > 0)
    DrawLineRop(dc, x, c->indicatorTop, x, c->indicatorTop + c->indicatorHeight, 0xFFFFFF, 0, 1, R2_NOT);
  DrawLineRop(dc, 72, c->cursorY, c->rect.right, c->cursorY, 0xFFFFFF, 0, 1, R2_NOT);
  SetROP2(dc, R2_COPYPEN);
}
