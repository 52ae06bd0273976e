// K-line indicators 1 to 10 and the moving averages. The formulas they share
// with the minute indicators live in indicator_formulas.h. Window sums of
// prices and of price differences run (WindowSum: exact, so equal to the
// in-order sums); the other window helpers rescan their window for every bar
// (cost bars x period). The calculators allocate nothing and use little
// stack.
#include "marketdata/kline_indicators.h"
#include "marketdata/indicator_periods.h"

#include <algorithm>
#include <cmath>

#include "marketdata/indicator_formulas.h"
#include "marketdata/l2_indicators.h"

using namespace indicator_formulas;

namespace {

// Bars the area holds, clamped to the series room.
int EndOf(const KLineArea* area) { return std::clamp(area->end, 0, kKLineBarRoom); }

// First shown bar, clamped to 0 .. end.
int FirstOf(const KLineArea* area, int end) { return std::clamp(area->first, 0, end); }

// The bars as a price source of the shared formulas.
struct BarPrices {
  const KLineArea* a;
  double Close(int i) const { return static_cast<double>(a->bars[i].close); }
  double High(int i) const { return static_cast<double>(a->bars[i].high); }
  double Low(int i) const { return static_cast<double>(a->bars[i].low); }
};

double Close(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].close); }
double High(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].high); }
double Low(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].low); }
double Open(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].open); }

// Sample deviation (divides by n - 1), 0 without a full window or when m is 0.
double CloseStdDev(const KLineArea* a, int i, int n, double m) {
  if (i - n + 1 < 0 || m == 0.0) return 0.0;
  double sum = 0.0;
  for (int j = i - n + 1; j <= i; ++j) {
    const double d = Close(a, j) - m;
    sum += d * d;
  }
  return std::sqrt(sum / (n - 1));
}

// Typical price for CCI: (H + L + C) / 3, the close when that is 0 or below.
double TypicalPrice(const KLineArea* a, int i) {
  const double tp = (High(a, i) + Low(a, i) + Close(a, i)) / 3.0;
  return tp <= 0.0 ? Close(a, i) : tp;
}

// The four BRAR terms of bar j (p: the previous close, bar 0 its own).
struct BrarTerms {
  double highOpen, openLow, highPrev, prevLow;
};

BrarTerms BrarTermsOf(const KLineArea* a, int j) {
  const double p = Close(a, j > 0 ? j - 1 : 0);
  const double hp = High(a, j) - p;
  const double pl = p - Low(a, j);
  return {High(a, j) - Open(a, j), Open(a, j) - Low(a, j), hp >= 0.0 ? hp : 0.0, pl >= 0.0 ? pl : 0.0};
}

}  // namespace

void CalcMovingAverages(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int first = FirstOf(area, end);
  for (int k = 0; k < 4; ++k) {
    const int n = LoadPeriod(ws->maPeriods[k]);
    if (!PeriodsValid({n})) continue;
    auto average = MakeCloseAverages(BarPrices{area}, first, end, n);
    for (int i = first; i < end; ++i) ws->ma[k][i] = average(i);
  }
}

void CalcMacd(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int32_t s = LoadPeriod(ws->macdShort), l = LoadPeriod(ws->macdLong), m = LoadPeriod(ws->macdMid);
  if (end == 0 || !PeriodsValid({s, l, m})) return;
  Macd(BarPrices{area}, end, s, l, m, ws->macdShortEma, ws->macdLongEma,
       ws->macdDif, ws->macdDea, ws->macdMacd);
}

void CalcKdj(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int32_t n = LoadPeriod(ws->kdjN), m1 = LoadPeriod(ws->kdjM1), m2 = LoadPeriod(ws->kdjM2);
  if (end == 0 || !PeriodsValid({n, m1, m2})) return;
  Kdj(BarPrices{area}, end, n, m1, m2, ws->kdjK, ws->kdjD, ws->kdjJ);
}

void CalcRsi(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  if (end == 0) return;
  const BarPrices prices{area};
  const int32_t n1 = LoadPeriod(ws->rsiN1), n2 = LoadPeriod(ws->rsiN2), n3 = LoadPeriod(ws->rsiN3);
  if (PeriodsValid({n1})) Rsi(prices, end, n1, ws->rsi1);
  if (PeriodsValid({n2})) Rsi(prices, end, n2, ws->rsi2);
  if (PeriodsValid({n3})) Rsi(prices, end, n3, ws->rsi3);
}

void CalcWr(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int32_t n1 = LoadPeriod(ws->wrN), n2 = LoadPeriod(ws->wrN1);
  if (!PeriodsValid({n1, n2})) return;
  Wr(BarPrices{area}, FirstOf(area, end), end, n1, n2, ws->wr1, ws->wr2);
}

void CalcBoll(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int n = LoadPeriod(ws->bollN);
  const double k = ws->bollWidth;
  if (!PeriodsValid({n})) return;
  const int first = FirstOf(area, end);
  auto average = MakeCloseAverages(BarPrices{area}, first, end, n);
  for (int i = first; i < end; ++i) {
    const double m = average(i);
    const double s = CloseStdDev(area, i, n, m);
    ws->bollMiddle[i] = m;
    ws->bollUpper[i] = m + k * s;
    ws->bollLower[i] = m - k * s;
  }
}

void CalcBias(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int first = FirstOf(area, end);
  for (int k = 0; k < 3; ++k) {
    const int32_t n = LoadPeriod(ws->biasPeriods[k]);
    if (PeriodsValid({n})) Bias(BarPrices{area}, first, end, n, ws->bias[k]);
  }
}

void CalcDma(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int m = LoadPeriod(ws->dmaM);
  const int shortN = LoadPeriod(ws->dmaShort), longN = LoadPeriod(ws->dmaLong);
  if (!PeriodsValid({shortN, longN, m})) return;
  // DDD of the look-back bars too: AMA of the first shown bars reads them.
  auto shortAverage = MakeCloseAverages(BarPrices{area}, 0, end, shortN);
  auto longAverage = MakeCloseAverages(BarPrices{area}, 0, end, longN);
  for (int i = 0; i < end; ++i) ws->dmaDdd[i] = shortAverage(i) - longAverage(i);
  for (int i = FirstOf(area, end); i < end; ++i) {
    if (i - m + 1 < 0) {
      ws->dmaAma[i] = 0.0;
      continue;
    }
    double sum = 0.0;
    for (int j = i - m + 1; j <= i; ++j) sum += ws->dmaDdd[j];
    ws->dmaAma[i] = sum / m;
  }
}

void CalcCci(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int n = LoadPeriod(ws->cciN);
  if (!PeriodsValid({n})) return;
  for (int i = FirstOf(area, end); i < end; ++i) {
    double mtp = 0.0;
    if (i - n + 1 >= 0) {
      double sum = 0.0;
      for (int j = i - n + 1; j <= i; ++j) sum += TypicalPrice(area, j);
      mtp = sum / n;
    }
    // Mean absolute deviation of tp around mtp, 0 without a full window.
    double md = 0.0;
    if (i - n + 1 >= 0 && mtp != 0.0) {
      double s = 0.0;
      for (int j = i - n + 1; j <= i; ++j) s += std::fabs(TypicalPrice(area, j) - mtp);
      md = (s == 0.0 || n == 0) ? 0.0 : s / n;
    }
    md = static_cast<float>(md);
    ws->cci[i] = md == 0.0 ? 0.0 : (TypicalPrice(area, i) - mtp) / (md * 0.015);
  }
}

void CalcBrar(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int n = LoadPeriod(ws->brarN);
  if (!PeriodsValid({n})) return;
  const int first = FirstOf(area, end);
  auto sumOf = [&](double BrarTerms::*term) {
    return MakeWindowSum([area, term](int j) { return BrarTermsOf(area, j).*term; }, first, end, n);
  };
  auto highOpens = sumOf(&BrarTerms::highOpen), openLows = sumOf(&BrarTerms::openLow);
  auto highPrevs = sumOf(&BrarTerms::highPrev), prevLows = sumOf(&BrarTerms::prevLow);
  for (int i = first; i < end; ++i) {
    const double highOpen = highOpens.At(i), openLow = openLows.At(i);
    const double highPrev = highPrevs.At(i), prevLow = prevLows.At(i);
    ws->brarAr[i] = openLow == 0.0 ? 0.0 : highOpen / openLow * 100.0;
    ws->brarBr[i] = prevLow == 0.0 ? 0.0 : highPrev / prevLow * 100.0;
  }
}

void CalcPsy(IndicatorWorkspace* ws, const KLineArea* area) {
  const int32_t n = LoadPeriod(ws->psyN);
  if (!PeriodsValid({n})) return;
  Psy(BarPrices{area}, EndOf(area), n, ws->psy);
}

void CalcKLineIndicator(IndicatorWorkspace* ws, const KLineArea* area, int number) {
  using Calculator = void (*)(IndicatorWorkspace*, const KLineArea*);
  static constexpr Calculator kCalculators[] = {
      CalcMacd, CalcKdj, CalcRsi, CalcWr, CalcBoll, CalcBias, CalcDma, CalcCci, CalcBrar, CalcPsy,
      CalcLevel2Indicator11, CalcLevel2Indicator12, CalcLevel2Indicator13, CalcLevel2Indicator14,
      CalcLevel2Indicator15, CalcLevel2Indicator16, CalcLevel2Indicator17};
  if (number < 1 || number > 17) return;
  kCalculators[number - 1](ws, area);
}
