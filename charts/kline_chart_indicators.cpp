#include "charts/kline_chart_indicators.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "charts/kline_chart.h"
#include "charts/kline_markers.h"
#include "charts/kline_chart_geometry.h"
#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"
#include "marketdata/kline_indicators.h"

namespace {

// Largest and smallest value of the series over the visible bars, starting
// from their values at first. positiveBottom: values that are not positive
// do not lower the bottom, except the first series' value at first.
void SeriesRange(std::initializer_list<const double*> series, int first, int last, bool positiveBottom,
                 double* top, double* bottom) {
  const double* lead = *series.begin();
  *top = *bottom = lead[first];
  for (const double* s : series) {
    for (int i = first; i < last; ++i) {
      const double v = s[i];
      *top = std::max(*top, v);
      if (!positiveBottom || v > 0) *bottom = std::min(*bottom, v);
    }
  }
}

void Store(float* scale, double top, double middle, double bottom) {
  scale[0] = static_cast<float>(top);
  scale[1] = static_cast<float>(middle);
  scale[2] = static_cast<float>(bottom);
}

// Step 10: the lower indicator's calculator and scale.
void IndicatorScale(KLineChart* c, KLineCalcRange* r) {
  IndicatorWorkspace* w = c->workspace;
  const int ind = c->lowerIndicator;
  if (ind < 1 || ind > 17) return;
  CalcKLineIndicator(w, c->bars, ind);
  const int f = r->first, l = r->last;
  double t = 0, b = 0;
  switch (ind) {
    case 1:
      SeriesRange({w->macdDif, w->macdDea, w->macdMacd}, f, l, false, &t, &b);
      Store(c->MacdScale, t, b + (t - b) / 2, b);
      break;
    case 2:
      SeriesRange({w->kdjK, w->kdjD, w->kdjJ}, f, l, false, &t, &b);
      t = std::min(t, 100.0);
      b = std::max(b, 0.0);
      if (t == b) {
        t = 100;
        b = 0;
      }
      break;
    case 3:
      SeriesRange({w->rsi1, w->rsi2, w->rsi3}, f, l, true, &t, &b);
      Store(c->RsiScale, t, b + (t - b) / 2, b);
      break;
    case 4:
      SeriesRange({w->wr1, w->wr2}, f, l, false, &t, &b);
      Store(c->WrScale, t, (t + b) / 2, b);
      break;
    case 5:
      SeriesRange({w->bollMiddle, w->bollUpper, w->bollLower}, f, l, false, &t, &b);
      t = std::max(t, static_cast<double>(r->top));
      b = std::min(b, static_cast<double>(r->bottom));
      Store(c->BollScale, t, (t + b) / 2, b);
      break;
    case 6:
      SeriesRange({w->bias[0], w->bias[1], w->bias[2]}, f, l, false, &t, &b);
      Store(c->BiasScale, t, (t + b) / 2, b);
      break;
    case 7:
      SeriesRange({w->dmaDdd, w->dmaAma}, f, l, false, &t, &b);
      Store(c->DmaScale, t, (t + b) / 2, b);
      break;
    case 8:
      SeriesRange({w->cci}, f, l, false, &t, &b);
      Store(c->CciScale, t, b + std::trunc((t - b) / 2), b);
      break;
    case 9:
      SeriesRange({w->brarAr, w->brarBr}, f, l, true, &t, &b);
      Store(c->BrarScale, t, (t + b) / 2, b);
      break;
    case 10:
      SeriesRange({w->psy}, f, l, false, &t, &b);
      Store(c->PsyScale, t, (t + b) / 2, b);
      break;
    case 11:
      SeriesRange({w->ddx, w->ddx1, w->ddx2, w->ddx3}, f, l, false, &t, &b);
      Store(c->Level2Scale, t, (t + b) / 2, b);
      break;
    case 12:
      SeriesRange({w->ddy, w->ddy1, w->ddy2, w->ddy3}, f, l, false, &t, &b);
      Store(c->Level2Scale, t, (t + b) / 2, b);
      break;
    case 13:
      SeriesRange({w->ddz}, f, l, false, &t, &b);
      Store(c->Level2Scale, t, (t + b) / 2, b);
      break;
    case 14:
      SeriesRange({w->retailHoldings}, f, l, false, &t, &b);
      Store(c->Level2Scale, t, (t + b) / 2, b);
      break;
    case 15:
      SeriesRange({w->mainHoldings}, f, l, false, &t, &b);
      Store(c->Level2Scale, t, (t + b) / 2, b);
      break;
    case 16: {
      int64_t top = w->bbd[f], bottom = w->bbd[f];
      for (const int64_t* s : {w->bbd, w->bbdSum3, w->bbdSum5, w->bbdSum10})
        for (int i = f; i < l; ++i) {
          top = std::max(top, s[i]);
          bottom = std::min(bottom, s[i]);
        }
      r->vT64 = top;
      r->vB64 = bottom;
      const int64_t middle = (top + bottom) / 2;
      c->Level2Scale[0] = static_cast<float>(top);
      c->Level2Scale[1] = static_cast<float>(middle);
      c->Level2Scale[2] = static_cast<float>(bottom);
      t = static_cast<double>(top);
      b = static_cast<double>(bottom);
      break;
    }
    case 17:
      SeriesRange({w->amountPerTrade}, f, l, false, &t, &b);
      b = 0;
      Store(c->Level2Scale, t, t / 2, 0);
      break;
    default:
      break;
  }
  r->vT = t;
  r->vB = b;
}

}  // namespace

void CalcKLineIndicators(KLineChart* c) {
  if (!c) return;
  const int visible = GetKLineVisibleCount(c);
  GrowKLineArrays(c);
  if (!c->bars) return;
  LayoutKLineChart(c);
  if (!c->workspace) return;
  const KLineArea* area = c->bars;
  IndicatorWorkspace* w = c->workspace;
  CalcMovingAverages(w, area);
  const int count = KLineBarCount(c);
  if (count <= 0) return;
  const int firstValid = KLineFirstValid(c);
  if (c->scrollToEnd) {
    c->firstVisible = std::max(firstValid + count - visible, firstValid);
    c->scrollToEnd = 0;
  }
  // Step 6: news dots of the day period.
  if (area->period == 33 && (c->paneLayout == 2 || c->paneLayout == 3)) LayoutKLineNewsMarks(c);
  KLineCalcRange r{};
  r.first = c->firstVisible;
  r.last = std::min(firstValid + count, r.first + visible);
  // Nothing visible (or a view left past the loaded bars): no bar is read
  // and nothing is placed.
  if (r.first < firstValid || r.first >= r.last || c->capacity < r.last - r.first) {
    ClearKLineGeometry(c);
    return;
  }

  // Step 8: price range and the extreme bars.
  const DayBar* bars = area->bars;
  const int f = r.first;
  r.top = std::max({bars[f].high, static_cast<float>(w->ma[0][f]), static_cast<float>(w->ma[1][f]),
                    static_cast<float>(w->ma[2][f])});
  r.bottom = bars[f].low;
  for (int k = 0; k < 3; ++k) {
    const float m = static_cast<float>(w->ma[k][f]);
    if (m > 0 && m < r.bottom) r.bottom = m;
  }
  r.highestBar = r.lowestBar = f;
  float highest = bars[f].high, lowest = bars[f].low;
  int64_t topVolume = std::max<int64_t>(bars[f].volume, 3);
  for (int i = f; i < r.last; ++i) {
    const DayBar& bar = bars[i];
    r.top = std::max(r.top, bar.high);
    r.bottom = std::min(r.bottom, bar.low);
    for (int k = 0; k < 3; ++k) {
      const float m = static_cast<float>(w->ma[k][i]);
      r.top = std::max(r.top, m);
      if (m > 0) r.bottom = std::min(r.bottom, m);
    }
    if (bar.high > highest) {
      highest = bar.high;
      r.highestBar = i;
    }
    if (bar.low < lowest) {
      lowest = bar.low;
      r.lowestBar = i;
    }
    // Step 9: volume range.
    topVolume = std::max(topVolume, bar.volume);
  }
  c->volumeScaleTop = topVolume;
  c->volumeScaleMid = topVolume / 2;

  // Step 10.
  IndicatorScale(c, &r);

  // Step 11: price scale with its smallest range.
  float top = r.top, bottom = r.bottom;
  float range = top - bottom;
  const float smallest = static_cast<float>(5.0 / std::pow(10.0, area->key.decimals));
  if (range < smallest) {
    range = smallest;
    bottom = top - range;
  }
  c->priceMax = top;
  c->priceMin = bottom;
  for (int k = 0; k < 4; ++k) c->priceLabels[k] = top - k * range / 4;
  c->priceLabels[4] = bottom;

  // Step 12.
  PlaceKLineGeometry(c, r);
}
