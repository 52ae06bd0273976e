#include "charts/kline_chart_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "charts/kline_chart.h"
#include "charts/kline_markers.h"
#include "foundation/number_codecs.h"
#include "marketdata/day_bar.h"
#include "marketdata/ex_rights.h"
#include "marketdata/indicator_workspace.h"
#include "marketdata/l2_indicators.h"

namespace {

// The indicator plot: iy(v) = trunc(T + (vT - v) * s); an empty range puts
// every value on the middle row.
struct IndicatorPlot {
  int T, B, H;
  double vT, vB, s;
  bool flat;

  IndicatorPlot(const KLineChart* c, double top, double bottom, double usable) {
    T = c->indicatorTop + 1;
    B = c->indicatorTop + c->indicatorHeight;
    H = c->indicatorHeight - 2;
    vT = top;
    vB = bottom;
    flat = !(top - bottom != 0) || !std::isfinite(top - bottom);
    s = flat ? 0.0 : usable / (top - bottom);
  }
  int Mid() const { return T + H / 2; }
  int Y(double v) const { return flat ? Mid() : TruncPixel(T + (vT - v) * s, Mid()); }
};

void FormatPrice(char* out, size_t size, float price, int decimals) {
  if (price == 0) {
    std::snprintf(out, size, "-");
  } else {
    std::snprintf(out, size, decimals == 2 ? "%.2f" : "%.3f", price);
  }
}

void Widen(char16_t* out, size_t room, const char* text) {
  size_t i = 0;
  for (; text[i] && i + 1 < room; ++i) out[i] = static_cast<unsigned char>(text[i]);
  out[i] = 0;
}

struct Frame {
  const KLineChart* c;
  const DayBar* bars;
  int gap;
  float width;
  int half;
  int priceTop;
  double priceScale;
  int firstValid;

  const float* lefts;  // left(k), accumulated bar by bar in float
  double Left(int k) const { return lefts[k]; }
  int Py(double p) const { return TruncPixel(priceTop + (c->priceMax - p) * priceScale, priceTop); }
  bool Rising(int i) const {
    const DayBar& b = bars[i];
    if (b.open < b.close) return true;
    if (b.open != b.close) return false;
    const float previous = i > firstValid ? bars[i - 1].close : b.open;
    return b.close >= previous;
  }
  ChartRect Body(int i, int left, int right) const {
    const DayBar& b = bars[i];
    ChartRect r = Rising(i) ? ChartRect{left, Py(b.close), right, Py(b.open)}
                            : ChartRect{left, Py(b.open), right, Py(b.close)};
    if (r.top == r.bottom) r.bottom += 1;
    return r;
  }
};

void ExtremeLabel(KLineChart* c, const Frame& fr, int bar, float price, int first, bool high) {
  const int x = TruncPixel(kKLineFirstSlotX + (fr.gap + fr.width) * (bar - first) + fr.half);
  const double y = fr.priceTop + (c->priceMax - price) * fr.priceScale;
  int bandTop, bandBottom;
  if (high) {
    bandBottom = TruncPixel(y + 10, fr.priceTop);
    bandTop = bandBottom - 20;
  } else {
    bandTop = TruncPixel(y - 10, fr.priceTop);
    bandBottom = bandTop + 20;
  }
  char value[48], text[64];
  FormatPrice(value, sizeof value, price, c->bars->key.decimals);
  ChartRect* rect = high ? &c->highLabelRect : &c->lowLabelRect;
  char16_t* label = high ? c->highLabel : c->lowLabel;
  int32_t* align = high ? &c->highLabelAlign : &c->lowLabelAlign;
  if (x + 60 < (c->rect.right - c->rect.left) - 1) {
    *rect = {x, bandTop, x + 60, bandBottom};
    std::snprintf(text, sizeof text, "<-%s", value);
    *align = 0;
  } else {
    *rect = {x - 60, bandTop, x, bandBottom};
    std::snprintf(text, sizeof text, "%s->", value);
    *align = 2;
  }
  Widen(label, 64, text);
}

// Indicators 11 and 12 (and the bar part of 16): the whole-pixel left edges.
struct BarEdges {
  int L = kKLineFirstSlotX;
  int Next(int gap) {
    L += gap;
    return L;
  }
  int Right(float width) const { return TruncPixel(L + width); }
  void Advance(float width) { L = TruncPixel(L + width); }
};

void PlaceLevel2Ddx(KLineChart* c, const Frame& fr, const KLineCalcRange& r, const double* value,
                    const double* const* lines) {
  const IndicatorPlot p(c, r.vT, r.vB, c->indicatorHeight - 2);
  const double aT = std::fabs(p.vT), aB = std::fabs(p.vB);
  c->Level2ZeroY = (aT + aB) > 0 && !p.flat ? TruncPixel(p.T + aT * p.H / (aT + aB), p.Mid()) : p.Mid();
  BarEdges e;
  for (int i = r.first; i < r.last; ++i) {
    const int k = i - r.first;
    const int x = TruncPixel(fr.half + fr.Left(k));
    for (int n = 0; n < 3; ++n) c->Level2Lines[n][k] = {x, p.Y(lines[n][i])};
    const int left = e.Next(fr.gap), right = e.Right(fr.width);
    const double v = value[i];
    if (v > 0) {
      ChartRect b{left, p.flat ? p.Mid() : TruncPixel(p.T + (aT - v) * p.s, p.Mid()), right, c->Level2ZeroY};
      if (b.top == b.bottom) b.top -= 1;
      c->Level2UpBars[c->Level2UpCount++] = b;
    } else {
      ChartRect b{left, c->Level2ZeroY, right, p.flat ? p.Mid() : TruncPixel(p.T + (aT + std::fabs(v)) * p.s, p.Mid())};
      if (b.top == b.bottom) b.bottom += 1;
      c->Level2DownBars[c->Level2DownCount++] = b;
    }
    e.Advance(fr.width);
  }
}

void PlaceLowerIndicator(KLineChart* c, const Frame& fr, const KLineCalcRange& r) {
  IndicatorWorkspace* w = c->workspace;
  const int ind = c->lowerIndicator;
  const int n = r.last - r.first;
  auto lines = [&](const IndicatorPlot& p, std::initializer_list<const double*> series, ChartPoint* const* out) {
    for (int i = r.first; i < r.last; ++i) {
      const int k = i - r.first;
      const int x = TruncPixel(fr.half + fr.Left(k));
      int s = 0;
      for (const double* v : series) out[s++][k] = {x, p.Y(v[i])};
    }
  };
  const bool level2 = ind >= 11 && ind <= 16;
  if ((level2 && c->bars->level2Count <= 0) || (ind == 17 && c->bars->supplementCount <= 0)) {
    // Without records nothing is drawn, and no line of an earlier stock stays.
    for (auto* line : c->Level2Lines) std::memset(line, 0, static_cast<size_t>(n) * sizeof(ChartPoint));
    c->Level2UpCount = c->Level2DownCount = 0;
    return;
  }
  const IndicatorPlot plain(c, r.vT, r.vB, c->indicatorHeight - 2);
  switch (ind) {
    case 1: {
      int zero = plain.flat ? plain.Mid() : TruncPixel(plain.T + plain.vT * plain.s, plain.Mid());
      zero = std::max(std::min(zero, plain.B - 2), plain.T + 2);
      c->MacdZeroY = zero;
      c->MacdUpCount = c->MacdDownCount = 0;
      ChartPoint* out[2] = {c->DifLine, c->DeaLine};
      lines(plain, {w->macdDif, w->macdDea}, out);
      for (int i = r.first; i < r.last; ++i) {
        const ChartPoint bar{TruncPixel(fr.half + fr.Left(i - r.first)), plain.Y(w->macdMacd[i])};
        if (w->macdDea[i] < w->macdDif[i]) {
          c->MacdUpBars[c->MacdUpCount++] = bar;
        } else {
          c->MacdDownBars[c->MacdDownCount++] = bar;
        }
      }
      break;
    }
    case 2:
      for (int i = r.first; i < r.last; ++i) {
        const int k = i - r.first;
        const int x = TruncPixel(fr.half + fr.Left(k));
        const double* s[3] = {w->kdjK, w->kdjD, w->kdjJ};
        for (int j = 0; j < 3; ++j) c->KdjLines[j][k] = {x, plain.Y(std::clamp(s[j][i], 0.0, 100.0))};
      }
      break;
    case 3:
      lines(plain, {w->rsi1, w->rsi2, w->rsi3}, c->RsiLines);
      break;
    case 4:
      lines(plain, {w->wr1, w->wr2}, c->WrLines);
      break;
    case 5: {
      for (int i = r.first; i < r.last; ++i) {
        const int k = i - r.first;
        const int x = TruncPixel(fr.half + fr.Left(k));
        const double* s[3] = {w->bollMiddle, w->bollUpper, w->bollLower};
        for (int j = 0; j < 3; ++j) c->BollLines[j][k] = {x, s[j][i] == 0 ? 0 : plain.Y(s[j][i])};
      }
      int up = 0, down = 0;
      for (int i = r.first; i < r.last; ++i) {
        const int k = i - r.first;
        const double left = fr.Left(k);
        const DayBar& b = fr.bars[i];
        const KLineCandle candle{TruncPixel(fr.half + left), plain.Y(b.high), plain.Y(b.low), TruncPixel(left),
                                 plain.Y(b.open), TruncPixel(left + fr.width), plain.Y(b.close)};
        if (fr.Rising(i)) {
          c->BollUpCandles[up++] = candle;
        } else {
          c->BollDownCandles[down++] = candle;
        }
      }
      break;
    }
    case 6:
      lines(plain, {w->bias[0], w->bias[1], w->bias[2]}, c->BiasLines);
      break;
    case 7:
      lines(plain, {w->dmaDdd, w->dmaAma}, c->DmaLines);
      break;
    case 8:
      lines(plain, {w->cci}, &c->CciLine);
      break;
    case 9:
      lines(plain, {w->brarAr, w->brarBr}, c->BrarLines);
      break;
    case 10:
      lines(plain, {w->psy}, &c->PsyLine);
      break;
    case 11: {
      const double* l[3] = {w->ddx1, w->ddx2, w->ddx3};
      c->Level2UpCount = c->Level2DownCount = 0;
      PlaceLevel2Ddx(c, fr, r, w->ddx, l);
      break;
    }
    case 12: {
      const double* l[3] = {w->ddy1, w->ddy2, w->ddy3};
      c->Level2UpCount = c->Level2DownCount = 0;
      PlaceLevel2Ddx(c, fr, r, w->ddy, l);
      break;
    }
    case 13: {
      const IndicatorPlot p(c, r.vT, r.vB, c->indicatorHeight - 2 - 30);
      const double aT = std::fabs(p.vT), aB = std::fabs(p.vB);
      c->Level2ZeroY = (aT + aB) > 0 ? TruncPixel(p.T + aT * p.H / (aT + aB), p.Mid()) : p.Mid();
      for (int i = r.first; i < r.last; ++i) {
        const int k = i - r.first;
        const int x = TruncPixel(fr.half + fr.Left(k));
        const int y = p.flat ? p.Mid() : TruncPixel(p.T + 15 + (p.vT - w->ddz[i]) * p.s, p.Mid());
        c->Level2Lines[0][k] = {x, y};
        c->Level2Lines[1][k] = {x, TruncPixel(y - std::clamp(w->ddz1[i], -15.0, 15.0), y)};
      }
      c->Level2UpCount = c->Level2DownCount = 0;
      break;
    }
    case 14:
    case 15: {
      const double* holding = ind == 14 ? w->retailHoldings : w->mainHoldings;
      const double* change = ind == 14 ? w->retailChange : w->mainChange;
      const IndicatorPlot p(c, r.vT, r.vB, c->indicatorHeight - 2 - 10);
      const double aT = std::fabs(p.vT), aB = std::fabs(p.vB);
      c->Level2ZeroY = (aT + aB) > 0 ? TruncPixel(p.T + aT * (p.H - 10) / (aT + aB), p.Mid()) : p.Mid();
      c->Level2UpCount = c->Level2DownCount = 0;
      for (int i = r.first; i < r.last; ++i) {
        const int k = i - r.first;
        const int x = TruncPixel(fr.half + fr.Left(k));
        const int y0 = p.flat ? p.Mid() : TruncPixel(p.T + (p.vT - holding[i]) * p.s + 3, p.Mid());
        c->Level2Lines[0][k] = {x, y0};
        if (p.vT == 0) continue;
        const double ch = change[i];
        if (ch > 0) {
          ChartRect b{x, TruncPixel(y0 - p.s * ch, y0), x + 2, y0};
          if (b.top <= p.T) b.top = p.T - 1;
          c->Level2UpBars[c->Level2UpCount++] = b;
        } else {
          ChartRect b{x, y0, x + 2, TruncPixel(y0 - p.s * ch, y0)};
          if (b.bottom >= p.B) b.bottom = p.B + 1;
          c->Level2DownBars[c->Level2DownCount++] = b;
        }
      }
      break;
    }
    case 16: {
      const int T = c->indicatorTop + 1, H = c->indicatorHeight - 2, mid = T + H / 2;
      const int64_t vT = r.vT64, vB = r.vB64;
      const bool flat = vT == vB;
      const double s = flat ? 0.0 : static_cast<double>(H) / static_cast<double>(vT - vB);
      const double span = static_cast<double>(std::llabs(vT)) + static_cast<double>(std::llabs(vB));
      const double aB = static_cast<double>(std::llabs(vB));
      c->Level2ZeroY = span > 0 && !flat ? TruncPixel(T + (span - aB) / span * H, mid) : mid;
      c->Level2UpCount = c->Level2DownCount = 0;
      const int64_t* sums[3] = {w->bbdSum3, w->bbdSum5, w->bbdSum10};
      BarEdges e;
      for (int i = r.first; i < r.last; ++i) {
        const int k = i - r.first;
        const int x = TruncPixel(fr.half + fr.Left(k));
        for (int j = 0; j < 3; ++j)
          c->Level2Lines[j][k] = {x, flat ? mid : TruncPixel(T + static_cast<double>(vT - sums[j][i]) * s, mid)};
        const int left = e.Next(fr.gap), right = e.Right(fr.width);
        const double v = static_cast<double>(w->bbd[i]);
        if (v > 0) {
          ChartRect b{left, flat ? mid : TruncPixel(T + (span - (aB + v)) * s, mid), right, c->Level2ZeroY};
          if (b.top == b.bottom) b.top -= 1;
          c->Level2UpBars[c->Level2UpCount++] = b;
        } else {
          ChartRect b{left, c->Level2ZeroY, right, flat ? mid : TruncPixel(T + (span - (aB - std::fabs(v))) * s, mid)};
          if (b.top == b.bottom) b.bottom += 1;
          c->Level2DownBars[c->Level2DownCount++] = b;
        }
        e.Advance(fr.width);
      }
      break;
    }
    case 17: {
      c->Level2UpCount = c->Level2DownCount = 0;
      if (r.vT == 0) break;
      const int T = c->indicatorTop + 1, H = c->indicatorHeight - 2, B = c->indicatorTop + c->indicatorHeight;
      for (int i = r.first; i < r.last; ++i) {
        const double left = fr.Left(i - r.first);
        const int l = TruncPixel(left + fr.width / 2 - 1);
        const double a = w->amountPerTrade[i];
        c->Level2UpBars[c->Level2UpCount++] = {l, TruncPixel(T + (H * r.vT - H * a) / r.vT, T), l + 2, B - 2};
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

void ClearKLineGeometry(KLineChart* c) {
  c->upCount = c->downCount = 0;
  c->sellMarkCount = c->buyMarkCount = 0;
  c->MacdUpCount = c->MacdDownCount = 0;
  c->Level2UpCount = c->Level2DownCount = 0;
  std::memset(c->trendCounts, 0, sizeof c->trendCounts);
  if (c->paneLayout == 2 || c->paneLayout == 3) c->exRightsMarkCount = 0;
}

void PlaceKLineGeometry(KLineChart* c, const KLineCalcRange& r) {
  const KLineArea* area = c->bars;
  IndicatorWorkspace* w = c->workspace;
  const bool compact = c->paneLayout == 0 || c->paneLayout == 1;
  const double priceRange = static_cast<double>(c->priceMax) - c->priceMin;
  Frame fr{};
  fr.c = c;
  fr.bars = area->bars;
  fr.gap = c->candleGap;
  fr.width = c->candleWidth;
  fr.half = std::max(TruncPixel((c->candleWidth - 1) / 2.0), 0);
  fr.priceTop = c->mainTop + (compact ? 1 : 16);
  const int priceHeight = c->mainHeight - (compact ? 2 : 32);
  fr.priceScale = priceRange != 0 ? priceHeight / priceRange : 0.0;
  fr.firstValid = KLineFirstValid(c);
  const int n = r.last - r.first;
  float acc = static_cast<float>(kKLineFirstSlotX) + static_cast<float>(fr.gap);
  for (int k = 0; k < n; ++k, acc += static_cast<float>(fr.gap) + fr.width) c->barLefts[k] = acc;
  fr.lefts = c->barLefts;

  // Steps 1 to 3: candles and moving averages.
  std::memset(c->maPoints1, 0, static_cast<size_t>(n) * sizeof(ChartPoint));
  std::memset(c->maPoints2, 0, static_cast<size_t>(n) * sizeof(ChartPoint));
  std::memset(c->maPoints3, 0, static_cast<size_t>(n) * sizeof(ChartPoint));
  c->upCount = c->downCount = 0;
  ChartPoint* ma[3] = {c->maPoints1, c->maPoints2, c->maPoints3};
  for (int i = r.first; i < r.last; ++i) {
    const int k = i - r.first;
    const double left = fr.Left(k);
    const int l = TruncPixel(left), right = TruncPixel(left + fr.width), centre = TruncPixel(fr.half + left);
    const DayBar& b = area->bars[i];
    const ChartRect body = fr.Body(i, l, right);
    const KLineWick wick{centre, fr.Py(b.high), fr.Py(b.low)};
    if (fr.Rising(i)) {
      c->upBodies[c->upCount] = body;
      c->upWicks[c->upCount++] = wick;
    } else {
      c->downBodies[c->downCount] = body;
      c->downWicks[c->downCount++] = wick;
    }
    for (int j = 0; j < 3; ++j)
      if (w->ma[j][i] != 0) ma[j][k] = {centre, fr.Py(w->ma[j][i])};
  }

  // Step 4: the labels of the lowest low and the highest high.
  ExtremeLabel(c, fr, r.lowestBar, area->bars[r.lowestBar].low, r.first, false);
  ExtremeLabel(c, fr, r.highestBar, area->bars[r.highestBar].high, r.first, true);

  // Step 5: the fundamentals rows.
  if (c->paneLayout == 3) LayoutKLineFundRows(c);

  // Step 6: the main overlay.
  if (c->mainOverlay == 1) {
    LayoutKLineRatingMarks(c);
  } else if (c->mainOverlay == 2 || c->mainOverlay == 3) {
    c->sellMarkCount = c->buyMarkCount = 0;
    CalcZigZagTurns(w, area);
    const int turns = std::clamp(w->turnCount, 0, kIndicatorBarRoom);
    int t = 0;
    for (int i = r.first; i < r.last && t < turns; ++i) {
      while (t < turns && w->turns[t].barNumber - 1 < i) ++t;  // turning points before the bar
      if (t >= turns || w->turns[t].barNumber - 1 != i) continue;
      const int k = i - r.first;
      const int x = TruncPixel(kKLineFirstSlotX + (fr.gap + fr.width) * k + fr.half);
      if (w->turns[t].kind == 1) {
        c->buyMarkPoints[c->buyMarkCount++] = {x, fr.Py(area->bars[i].low)};
      } else {
        c->sellMarkPoints[c->sellMarkCount++] = {x, fr.Py(area->bars[i].high)};
      }
      ++t;
    }
  } else if (c->mainOverlay == 4) {
    CalcTrendState(w, area);
    std::memset(c->trendCounts, 0, sizeof c->trendCounts);
    for (int i = r.first; i < r.last; ++i) {
      const double tl = fr.Left(i - r.first);
      const int state = w->trendState[i];
      if (state < 0 || state > 3) continue;
      const DayBar& b = area->bars[i];
      const int side = fr.Rising(i) ? 0 : 1;
      const int wickIndex = c->trendCounts[state * 2] + c->trendCounts[state * 2 + 1];
      c->trendWicks[state][wickIndex] = {TruncPixel(fr.half + tl), fr.Py(b.high), fr.Py(b.low)};
      c->trendBodies[state * 2 + side][c->trendCounts[state * 2 + side]++] =
          fr.Body(i, TruncPixel(tl), TruncPixel(tl + fr.width));
    }
  }

  // Step 7: ex-rights marks, at most one per bar and 256 in all.
  if (c->paneLayout == 2 || c->paneLayout == 3) {
    c->exRightsMarkCount = 0;
    if (c->exRights && c->exRights->records) {
      const int y = c->mainTop + c->mainHeight - 15;
      const int records = std::max<int>(c->exRights->count, 0);
      for (int i = r.first; i < r.last && c->exRightsMarkCount < kKLineExRightsMarkRoom; ++i) {
        const int64_t date = DecodePackedDateTime(area->bars[i].time) / 1000000;
        for (int j = 0; j < records; ++j) {
          if (c->exRights->records[j].date != date) continue;
          const int k = i - r.first;
          const double x = kKLineFirstSlotX + (fr.gap + fr.width) * k;
          c->exRightsMarkRects[c->exRightsMarkCount] = {TruncPixel(x), y, TruncPixel(x + 14), y + 14};
          c->exRightsMarkItems[c->exRightsMarkCount++] = static_cast<int32_t>(date);
          break;
        }
      }
    }
  }

  // Step 8: volume bars, in the order of the candles.
  {
    const bool indicatorPane = c->paneLayout == 1;
    const int top = indicatorPane ? c->indicatorTop : c->volumeTop;
    const int height = indicatorPane ? c->indicatorHeight : c->volumeHeight;
    const int64_t volTop = top + 1, volBase = top + height - 2, volHeight = height - 3;
    const int64_t V = std::max<int64_t>(c->volumeScaleTop, 1);
    int up = 0, down = 0;
    for (int i = r.first; i < r.last; ++i) {
      const double vl = fr.Left(i - r.first);
      const int64_t volume = area->bars[i].volume;
      int64_t y = volTop + (V * volHeight - volume * volHeight) / V;
      if (y >= volBase) y = volBase - 1;
      const ChartRect bar{TruncPixel(vl), static_cast<int32_t>(y), TruncPixel(vl + fr.width), static_cast<int32_t>(volBase)};
      if (fr.Rising(i)) {
        c->upVolumeBars[up++] = bar;
      } else {
        c->downVolumeBars[down++] = bar;
      }
    }
  }

  // Step 9: the lower indicator.
  PlaceLowerIndicator(c, fr, r);
}
