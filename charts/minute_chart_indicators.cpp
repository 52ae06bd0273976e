#include "charts/minute_chart_indicators.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "charts/minute_chart.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/minute_indicators.h"
#include "marketdata/quote_engine.h"

namespace {

void ZeroPoints(ChartPoint* a, int n) {
  if (a && n > 0) std::memset(a, 0, static_cast<size_t>(n) * sizeof(ChartPoint));
}

// A sub-chart panel: top T, height H, and the linear row of a value over a
// range; an empty range puts every value on the middle row.
struct Panel {
  int T;
  int H;
  int Mid() const { return T + H / 2; }
};

// y = trunc(T + (top - v) * H / range), the middle row for an empty range.
int RowOf(const Panel& p, double top, double v, double range) {
  if (range == 0 || !std::isfinite(range)) return p.Mid();
  return TruncPixel(p.T + (top - v) * (p.H / range), p.Mid());
}

template <typename Get>
void Extremes(int count, int series, Get get, double* max, double* min) {
  *max = *min = count > 0 ? get(0, 0) : 0.0;
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < series; ++k) {
      const double v = get(k, i);
      if (v > *max) *max = v;
      if (v < *min) *min = v;
    }
}

void SetScale3(float* scale, double max, double mid, double min) {
  scale[0] = static_cast<float>(max);
  scale[1] = static_cast<float>(mid);
  scale[2] = static_cast<float>(min);
}

void SetScale3(int64_t* scale, int64_t max, int64_t mid, int64_t min) {
  scale[0] = max;
  scale[1] = mid;
  scale[2] = min;
}

void CalcDdx(MinuteChart* c, const Panel& p, int f) {
  MinuteIndicatorWorkspace* w = c->Workspace;
  MinuteCalcIndicator2(w, c->Data);
  double max, min;
  Extremes(f, 2, [&](int k, int i) { return k == 0 ? w->ddx[i] : w->ddxSum[i]; }, &max, &min);
  SetScale3(c->DdxScale, max, (max + min) / 2, min);
  const double span = std::fabs(max) + std::fabs(min);
  const bool flat = max == min;
  const double s = flat ? 0.0 : p.H / (max - min);
  c->DdxZeroY = flat ? p.Mid() : TruncPixel(p.T + (span - std::fabs(min)) / span * p.H, p.Mid());
  for (int i = 0; i < f; ++i) {
    const int x = TruncPixel(c->PointX[i]);
    c->DdxLine[i] = {x, flat ? p.Mid() : TruncPixel(p.T + (max - w->ddxSum[i]) * s, p.Mid())};
    const double v = w->ddx[i];
    if (v > 0) {
      ChartRect r{x, flat ? p.Mid() : TruncPixel(p.T + (span - std::fabs(min) - v) * s, p.Mid()), x + 1, c->DdxZeroY};
      if (r.top == r.bottom) r.top -= 1;
      c->DdxUpBars[c->DdxUpCount++] = r;
    } else {
      ChartRect r{x, c->DdxZeroY, x + 1,
                  flat ? p.Mid() : TruncPixel(p.T + (span - std::fabs(min) + std::fabs(v)) * s, p.Mid())};
      if (r.top == r.bottom) r.bottom += 1;
      c->DdxDownBars[c->DdxDownCount++] = r;
    }
  }
}

void CalcFundFlow(MinuteChart* c, const Panel& p, int f) {
  const MinuteFlowRecord* flows = c->Data->flows;
  int64_t max = f > 0 ? flows[0].running[0] : 0, min = max;
  for (int i = 0; i < f; ++i)
    for (int k = 0; k < 4; ++k) {
      max = std::max(max, flows[i].running[k]);
      min = std::min(min, flows[i].running[k]);
    }
  SetScale3(c->FlowScale, max, (max + min) / 2, min);
  const double range = static_cast<double>(std::llabs(max)) + static_cast<double>(std::llabs(min));
  for (int i = 0; i < f; ++i) {
    const int x = TruncPixel(c->PointX[i]);
    for (int k = 0; k < 4; ++k)
      c->FlowLines[k][i] = {x, RowOf(p, static_cast<double>(max), static_cast<double>(flows[i].running[k]), range)};
  }
}

void CalcBbd(MinuteChart* c, const Panel& p, int f) {
  MinuteIndicatorWorkspace* w = c->Workspace;
  MinuteCalcIndicator4(w, c->Data);
  int64_t max = f > 0 ? w->bbd[0] : 0, min = max;
  for (int i = 0; i < f; ++i) {
    max = std::max(max, w->bbd[i]);
    min = std::min(min, w->bbd[i]);
  }
  int64_t middle, range;
  if (min > 0) {
    middle = max / 2;
    range = max;
  } else if (max < 0) {
    middle = min / 2;
    range = std::llabs(min) - std::llabs(max);
  } else {
    middle = (max + min) / 2;
    range = std::llabs(max) + std::llabs(min);
  }
  SetScale3(c->BbdScale, max, middle, min);
  for (int i = 0; i < f; ++i)
    c->BbdLine[i] = {TruncPixel(c->PointX[i]),
                     RowOf(p, static_cast<double>(max), static_cast<double>(w->bbd[i]), static_cast<double>(range))};
}

void CalcInterest(MinuteChart* c, const Panel& p, int n) {
  const MinutePoint* pts = c->Data->points;
  int64_t max = n > 0 ? pts[0].field8 : 0, min = max;
  for (int i = 0; i < n; ++i) {
    max = std::max(max, pts[i].field8);
    min = std::min(min, pts[i].field8);
  }
  SetScale3(c->InterestScale, max, (max + min) / 2, min);
  const double range = static_cast<double>(std::llabs(max)) - static_cast<double>(std::llabs(min));
  for (int i = 0; i < n; ++i)
    c->InterestLine[i] = {TruncPixel(c->PointX[i]),
                          RowOf(p, static_cast<double>(max), static_cast<double>(pts[i].field8), range)};
}

void CalcMacdKind(MinuteChart* c, const Panel& p, int n) {
  MinuteIndicatorWorkspace* w = c->Workspace;
  MinuteCalcMacd(w, c->Data);
  double max = 0, min = 0;
  if (n > 0) {
    max = std::max(w->macdDif[0], w->macdDea[0]);
    min = std::min(w->macdDif[0], w->macdDea[0]);
  }
  for (int i = 1; i < n; ++i)
    for (double v : {w->macdDif[i], w->macdDea[i], w->macdMacd[i]}) {
      max = std::max(max, v);
      min = std::min(min, v);
    }
  SetScale3(c->MacdScale, max, min + (max - min) / 2, min);
  const double den = max * min > 0 ? std::fabs(std::fabs(max) - std::fabs(min)) : std::fabs(max) + std::fabs(min);
  const bool flat = den == 0;
  const double s = flat ? 0.0 : p.H / den;
  int zero = flat ? p.Mid() : TruncPixel(p.T + max * s, p.Mid());
  zero = std::max(std::min(zero, p.T + p.H - 2), p.T + 2);
  c->MacdZeroY = zero;
  c->MacdUpCount = c->MacdDownCount = 0;
  auto row = [&](double v) { return flat ? p.Mid() : TruncPixel(p.T + (max - v) * s, p.Mid()); };
  for (int i = 0; i < n; ++i) {
    const int x = TruncPixel(c->PointX[i]);
    c->DifLine[i] = {x, row(w->macdDif[i])};
    c->DeaLine[i] = {x, row(w->macdDea[i])};
    const ChartPoint bar{x, row(w->macdMacd[i])};
    if (w->macdDif[i] > w->macdDea[i]) {
      c->MacdUpBars[c->MacdUpCount++] = bar;
    } else {
      c->MacdDownBars[c->MacdDownCount++] = bar;
    }
  }
}

void CalcKdjKind(MinuteChart* c, const Panel& p, int n) {
  MinuteIndicatorWorkspace* w = c->Workspace;
  MinuteCalcKdj(w, c->Data);
  const double* series[3] = {w->kdjK, w->kdjD, w->kdjJ};
  double max, min;
  Extremes(n, 3, [&](int k, int i) { return series[k][i]; }, &max, &min);
  if (max >= 100) max = 100;
  if (min <= 0) min = 0;
  if (max == min) {
    max = 100;
    min = 0;
  }
  for (int i = 0; i < n; ++i) {
    const int x = TruncPixel(c->PointX[i]);
    for (int k = 0; k < 3; ++k)
      c->KdjLines[k][i] = {x, RowOf(p, max, std::clamp(series[k][i], 0.0, 100.0), max - min)};
  }
}

// Kinds 8 to 10: lines of series over the minute points with a plain scale.
void CalcLines(MinuteChart* c, const Panel& p, int n, const double* const* series, int count, ChartPoint* const* lines,
               float* scale, bool rsiMinimum) {
  double max = n > 0 ? series[0][0] : 0, min = max;
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < count; ++k) {
      const double v = series[k][i];
      max = std::max(max, v);
      if (!rsiMinimum || v > 0) min = std::min(min, v);
    }
  SetScale3(scale, max, rsiMinimum ? min + (max - min) / 2 : (max + min) / 2, min);
  for (int i = 0; i < n; ++i) {
    const int x = TruncPixel(c->PointX[i]);
    for (int k = 0; k < count; ++k) lines[k][i] = {x, RowOf(p, max, series[k][i], max - min)};
  }
}

void CalcSubChart(MinuteChart* c, const Panel& p, int n, int f) {
  MinuteIndicatorWorkspace* w = c->Workspace;
  switch (c->SubChart) {
    case kMinuteSubDdx:
      CalcDdx(c, p, f);
      break;
    case kMinuteSubFundFlow:
      CalcFundFlow(c, p, f);
      break;
    case kMinuteSubBbd:
      CalcBbd(c, p, f);
      break;
    case kMinuteSubOpenInterest:
      CalcInterest(c, p, n);
      break;
    case kMinuteSubMacd:
      CalcMacdKind(c, p, n);
      break;
    case kMinuteSubKdj:
      CalcKdjKind(c, p, n);
      break;
    case kMinuteSubRsi: {
      MinuteCalcRsi(w, c->Data);
      const double* s[3] = {w->rsi1, w->rsi2, w->rsi3};
      CalcLines(c, p, n, s, 3, c->RsiLines, c->RsiScale, true);
      break;
    }
    case kMinuteSubWr: {
      MinuteCalcWr(w, c->Data);
      const double* s[2] = {w->wr1, w->wr2};
      CalcLines(c, p, n, s, 2, c->WrLines, c->WrScale, false);
      break;
    }
    case kMinuteSubBias: {
      MinuteCalcBias(w, c->Data);
      const double* s[3] = {w->bias[0], w->bias[1], w->bias[2]};
      CalcLines(c, p, n, s, 3, c->BiasLines, c->BiasScale, false);
      break;
    }
    case kMinuteSubPsy: {
      MinuteCalcPsy(w, c->Data);
      const double* s[1] = {w->psy};
      CalcLines(c, p, n, s, 1, &c->PsyLine, c->PsyScale, false);
      break;
    }
    default:
      break;
  }
}

// Step 7: the x of every slot from the sessions of the hours entry.
void PlaceSlots(MinuteChart* c) {
  const TradingHoursEntry* e = c->Hours;
  const int close1 = e->firstClose < e->firstOpen ? e->firstClose + 2400 : e->firstClose;
  const int slots1 = ChartMinutesBetween(e->firstOpen, close1) + 1;
  const int slots2 = ChartMinutesBetween(e->secondOpen, e->secondClose) + 1;
  int slots3 = ChartMinutesBetween(e->thirdOpen, e->thirdClose);
  slots3 = slots3 < 1 ? 0 : slots3 + 1;
  const int total = slots1 + slots2 + slots3;
  if (total <= 0) return;
  const double width = c->Bounds.right - c->Bounds.left - 130;
  const double w1 = std::trunc(width / total * slots1);
  const double w2 = std::trunc(width / total * slots2);
  const double w3 = slots3 > 0 ? std::trunc(width / total * slots3) : 0.0;
  const int limit = std::min({total, c->PointCount, c->SlotCapacity});
  for (int i = 0; i < limit; ++i) {
    double x;
    if (i < slots1) {
      x = slots1 > 1 ? w1 * i / (slots1 - 1) + 71 : 71;  // a one-minute session sits on its left edge
    } else if (i < slots1 + slots2) {
      x = (w1 + 71) + (slots2 > 0 ? w2 * (i - slots1 + 1) / slots2 : 0);
    } else {
      x = (w1 + w2 + 71) + w3 * (i - slots1 - slots2 + 1) / slots3;
    }
    c->PointX[i] = static_cast<float>(x);
  }
}

}  // namespace

void CalcMinuteIndicators(MinuteChart* c) {
  if (!c) return;
  const int cap = std::min(c->PointCount, c->SlotCapacity);
  ChartPoint* cleared[] = {c->PriceLine,       c->AverageLine,  c->VolumeBars,   c->UpBars,       c->DownBars,
                           c->BidTotalLine,    c->AskTotalLine, c->OrderDiffUpBars, c->OrderDiffDownBars,
                           c->DdxLine,         c->FlowLines[0], c->FlowLines[1], c->FlowLines[2], c->FlowLines[3],
                           c->BbdLine,         c->InterestLine};
  for (ChartPoint* a : cleared) ZeroPoints(a, cap);
  if (cap > 0) {
    std::memset(c->DdxUpBars, 0, static_cast<size_t>(cap) * sizeof(ChartRect));
    std::memset(c->DdxDownBars, 0, static_cast<size_t>(cap) * sizeof(ChartRect));
  }
  c->DdxUpCount = c->DdxDownCount = 0;
  c->OrderDiffUpCount = c->OrderDiffDownCount = 0;
  c->UpBarCount = c->DownBarCount = 0;
  if (!c->Data || !c->Hours) return;

  MinuteArea* data = c->Data;
  MinutePoint* pts = data->points;
  const int n = MinuteChartPointCount(c);
  const int f = MinuteChartFlowCount(c);
  const float p = data->previousClose;

  // Step 2: extremes of the points.
  float h, l;
  int64_t volMax, orderMax, orderMin, diffMax, diffMin;
  int strengthMax, strengthMin;
  if (n < 1) {
    h = p + 0.03f;
    l = p - 0.03f;
    volMax = 3;
    strengthMax = strengthMin = 0;
    orderMax = orderMin = diffMax = diffMin = 0;
  } else {
    h = l = pts[0].price;
    volMax = pts[0].volume > 3 ? pts[0].volume : 3;
    strengthMax = strengthMin = pts[0].field7;
    orderMax = std::max(pts[0].bidVolume, pts[0].askVolume);
    orderMin = std::min(pts[0].bidVolume, pts[0].askVolume);
    diffMax = diffMin = pts[0].bidVolume - pts[0].askVolume;
  }
  if (orderMax == 0) {
    orderMax = 1;
    orderMin = 1;
    diffMax = diffMin = 0;
  }
  for (int i = 0; i < n; ++i) {
    const MinutePoint& pt = pts[i];
    h = std::max(h, pt.price);
    l = std::min(l, pt.price);
    volMax = std::max(volMax, pt.volume);
    strengthMax = std::max<int>(strengthMax, pt.field7);
    strengthMin = std::min<int>(strengthMin, pt.field7);
    orderMax = std::max({orderMax, pt.bidVolume, pt.askVolume});
    orderMin = std::min({orderMin, pt.bidVolume, pt.askVolume});
    diffMax = std::max(diffMax, pt.bidVolume - pt.askVolume);
    diffMin = std::min(diffMin, pt.bidVolume - pt.askVolume);
  }
  if (n >= 1) {
    auto widen = [&](float a) {
      h = std::max(h, a);
      l = std::min(l, a);
    };
    if (pts[0].average > 0) {
      for (int j = 0; j + 1 < n; j += 2)
        if (pts[j].average > 0 && pts[j + 1].average > 0) {
          widen(pts[j].average);
          widen(pts[j + 1].average);
        }
    }
    if (n % 2 == 1 && pts[n - 1].average > 0) widen(pts[n - 1].average);
  }
  (void)orderMin;
  (void)diffMax;

  // Step 3: the sub-chart series and scale run with the points (step 11).
  // Step 4: the price scale, symmetric around the previous close.
  const int rows = std::clamp(c->PriceLineCount, 2, kMinutePriceRows);
  const float half = std::max(std::fabs(h - p), std::fabs(l - p));
  h = p + half;
  l = p - half;
  int strengthScale;
  if (std::abs(strengthMax) > std::abs(strengthMin)) {
    strengthMin = -strengthMax;
  } else {
    strengthMax = -strengthMin;
  }
  strengthScale = strengthMax;
  const float minHalf = static_cast<float>((rows / 2) / std::pow(10.0, data->key.decimals));
  if (h - p < minHalf) {
    h = p + minHalf;
    l = p - minHalf;
  }
  c->PriceScale[0] = h;
  for (int i = 1; i < rows; ++i) c->PriceScale[i] = c->PriceScale[i - 1] - (h - l) / (rows - 1);
  c->PriceScale[rows / 2] = p;
  for (int i = 0; i < rows; ++i) c->PercentScale[i] = p != 0 ? (c->PriceScale[i] - p) * 100 / p : 0.0f;
  c->PercentScale[rows / 2] = 0;
  c->ScaleTop = h;
  c->ScaleBottom = l;

  // Step 5: volume and order scales.
  const int vrows = std::clamp(c->VolumeLineCount, 2, kMinuteScaleRows);
  c->VolumeScale[0] = volMax;
  for (int i = 1; i <= vrows - 2; ++i) c->VolumeScale[i] = volMax - volMax * i / (vrows - 1);
  c->OrderScale[0] = orderMax;
  c->OrderScale[1] = (orderMax + diffMin) / 2;
  c->OrderScale[2] = diffMin;

  // Steps 6 and 7.
  LayoutMinuteChart(c);
  PlaceSlots(c);

  // Step 8: the price panel.
  {
    const int T = c->PriceTop, H = c->PriceHeight;
    const float range = h - l;
    const bool flat = !(range > 0);
    auto row = [&](float v) {
      return flat ? T + H / 2 : TruncPixel(static_cast<float>(T + 1) + static_cast<float>(H) * (h - v) / range, T + H / 2);
    };
    const bool index = data->key.kind == 1 && strengthScale != 0;
    const int mid = T + H / 2, q = H / 4;
    for (int i = 0; i < n; ++i) {
      const int x = TruncPixel(c->PointX[i]);
      c->PriceLine[i] = {x, row(pts[i].price)};
      if (pts[i].average <= 0) pts[i].average = p;
      c->AverageLine[i].x = x;
      if (pts[i].average > 0) c->AverageLine[i].y = row(pts[i].average);
      if (!index) continue;
      const int v = pts[i].field7;
      if (v > 0) {
        c->UpBars[c->UpBarCount++] = {x, mid - 1 - v * q / strengthScale};
      } else {
        c->DownBars[c->DownBarCount++] = {x, mid + 1 - v * q / strengthScale};
      }
    }
  }

  // Step 9: order totals.
  {
    const int64_t T = c->SubTop, H = c->SubHeight;
    const int64_t o = diffMin < 0 ? -diffMin : 0;
    const int64_t range = orderMax + o;
    if (range != 0) {
      c->OrderDiffZeroY = static_cast<int32_t>(T + 1 + (orderMax * H) / range);
      for (int i = 0; i < n; ++i) {
        const int x = TruncPixel(c->PointX[i]);
        c->BidTotalLine[i] = {x, static_cast<int32_t>(T + ((orderMax - pts[i].bidVolume) * H) / range)};
        c->AskTotalLine[i] = {x, static_cast<int32_t>(T + ((orderMax - pts[i].askVolume) * H) / range)};
        const int64_t diff = pts[i].bidVolume - pts[i].askVolume;
        const ChartPoint bar{x, static_cast<int32_t>(T + 1 + ((orderMax - diff) * H) / range)};
        if (diff >= 0) {
          c->OrderDiffUpBars[c->OrderDiffUpCount++] = bar;
        } else {
          c->OrderDiffDownBars[c->OrderDiffDownCount++] = bar;
        }
      }
    }
  }

  // Step 10: volume bars (volMax is at least 3).
  {
    const int64_t T = c->VolumeTop, H = c->VolumeHeight;
    for (int i = 0; i < n; ++i)
      c->VolumeBars[i] = {TruncPixel(c->PointX[i]), static_cast<int32_t>(T + 1 + ((volMax - pts[i].volume) * H) / volMax)};
  }

  // Steps 3 and 11: the chosen sub-chart.
  CalcSubChart(c, Panel{c->SubTop, c->SubHeight}, n, f);
}
