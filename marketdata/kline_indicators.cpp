// K-line indicators 1 to 10 and the moving averages. The window helpers
// rescan their window for every bar (cost bars x period); that keeps the
// sums in the same order as the formulas and needs no scratch arrays, so the
// calculators allocate nothing and use little stack.
#include "marketdata/kline_indicators.h"
#include "marketdata/indicator_periods.h"

#include <algorithm>
#include <cmath>

#include "marketdata/l2_indicators.h"

namespace {

// Bars the area holds, clamped to the series room.
int EndOf(const KLineArea* area) { return std::clamp(area->end, 0, kKLineBarRoom); }

// First shown bar, clamped to 0 .. end.
int FirstOf(const KLineArea* area, int end) { return std::clamp(area->first, 0, end); }

double Close(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].close); }
double High(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].high); }
double Low(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].low); }
double Open(const KLineArea* a, int i) { return static_cast<double>(a->bars[i].open); }

// First index of the window of n bars ending at i, cut at bar 0.
int WindowStart(int i, int n) { return std::max(0, i - n + 1); }

double LowestLow(const KLineArea* a, int i, int n) {
  double low = Low(a, i);
  for (int j = WindowStart(i, n); j < i; ++j) low = std::min(low, Low(a, j));
  return low;
}

double HighestHigh(const KLineArea* a, int i, int n) {
  double high = High(a, i);
  for (int j = WindowStart(i, n); j < i; ++j) high = std::max(high, High(a, j));
  return high;
}

// 0 until a full window exists counted from bar 0.
double CloseAverage(const KLineArea* a, int i, int n) {
  if (i - n + 1 < 0) return 0.0;
  double sum = 0.0;
  for (int j = i - n + 1; j <= i; ++j) sum += Close(a, j);
  return sum / n;
}

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

double KdjRsv(const KLineArea* a, int i, int n) {
  const double l = LowestLow(a, i, n);
  const double h = HighestHigh(a, i, n);
  if (l == 0.0 || h == 0.0 || h == l) return 50.0;
  return (Close(a, i) - l) / (h - l) * 100.0;
}

int RisingCloseCount(const KLineArea* a, int i, int n) {
  int count = 0;
  for (int j = std::max(1, i - n + 1); j <= i; ++j)
    if (a->bars[j].close > a->bars[j - 1].close) ++count;
  return count;
}

// Typical price for CCI: (H + L + C) / 3, the close when that is 0 or below.
double TypicalPrice(const KLineArea* a, int i) {
  const double tp = (High(a, i) + Low(a, i) + Close(a, i)) / 3.0;
  return tp <= 0.0 ? Close(a, i) : tp;
}

void RsiPass(const KLineArea* a, int end, int n, double* out) {
  double up = 0.0;
  double abs = 0.0;
  out[0] = 0.0;
  for (int i = 1; i < end; ++i) {
    const double d = Close(a, i) - Close(a, i - 1);
    up = (n - 1) * up / n + (1.0 / n) * std::max(d, 0.0);
    abs = (1.0 / n) * std::fabs(d) + (n - 1) * abs / n;
    out[i] = abs == 0.0 ? 0.0 : up / abs * 100.0;
  }
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
  for (int k = 0; k < 4; ++k)
    for (int i = first; i < end; ++i) ws->ma[k][i] = CloseAverage(area, i, ws->maPeriods[k]);
}

void CalcMacd(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  if (end == 0) return;
  const double s = LoadPeriod(ws->macdShort), l = LoadPeriod(ws->macdLong), m = LoadPeriod(ws->macdMid);
  ws->macdShortEma[0] = ws->macdLongEma[0] = Close(area, 0);
  ws->macdDif[0] = ws->macdDea[0] = ws->macdMacd[0] = 0.0;
  for (int i = 1; i < end; ++i) {
    const double c = Close(area, i);
    ws->macdShortEma[i] = (2.0 * c + (s - 1) * ws->macdShortEma[i - 1]) / (s + 1);
    ws->macdLongEma[i] = (2.0 * c + (l - 1) * ws->macdLongEma[i - 1]) / (l + 1);
    ws->macdDif[i] = ws->macdShortEma[i] - ws->macdLongEma[i];
    ws->macdDea[i] = (2.0 * ws->macdDif[i] + (m - 1) * ws->macdDea[i - 1]) / (m + 1);
    ws->macdMacd[i] = (ws->macdDif[i] - ws->macdDea[i]) * 2.0;
  }
}

void CalcKdj(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  if (end == 0) return;
  const int n = LoadPeriod(ws->kdjN), m1 = LoadPeriod(ws->kdjM1), m2 = LoadPeriod(ws->kdjM2);
  const double rsv0 = KdjRsv(area, 0, n);
  ws->kdjK[0] = ws->kdjD[0] = ws->kdjJ[0] = rsv0;
  for (int i = 1; i < end; ++i) {
    const double rsv = KdjRsv(area, i, n);
    ws->kdjK[i] = (m1 - 1) * ws->kdjK[i - 1] / m1 + (1.0 / m1) * rsv;
    ws->kdjD[i] = (1.0 / m2) * ws->kdjK[i] + (m2 - 1) * ws->kdjD[i - 1] / m2;
    ws->kdjJ[i] = 3.0 * ws->kdjK[i] - 2.0 * ws->kdjD[i];
  }
}

void CalcRsi(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  if (end == 0) return;
  RsiPass(area, end, LoadPeriod(ws->rsiN1), ws->rsi1);
  RsiPass(area, end, LoadPeriod(ws->rsiN2), ws->rsi2);
  RsiPass(area, end, LoadPeriod(ws->rsiN3), ws->rsi3);
}

void CalcWr(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int n1 = LoadPeriod(ws->wrN), n2 = LoadPeriod(ws->wrN1);
  for (int i = FirstOf(area, end); i < end; ++i) {
    const double c = Close(area, i);
    double h = HighestHigh(area, i, n1);
    double l = LowestLow(area, i, n1);
    ws->wr1[i] = h - l == 0.0 ? 0.0 : (h - c) * 100.0 / (h - l);
    h = HighestHigh(area, i, n2);
    l = LowestLow(area, i, n2);
    ws->wr2[i] = h - l == 0.0 ? 2.0 : (h - c) * 100.0 / (h - l);  // 2 on a flat window, as every chart shows it
  }
}

void CalcBoll(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int n = LoadPeriod(ws->bollN);
  const double k = ws->bollWidth;
  for (int i = FirstOf(area, end); i < end; ++i) {
    const double m = CloseAverage(area, i, n);
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
    for (int i = first; i < end; ++i) {
      const double m = CloseAverage(area, i, ws->biasPeriods[k]);
      ws->bias[k][i] = m == 0.0 ? 0.0 : (Close(area, i) - m) / m * 100.0;
    }
  }
}

void CalcDma(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int m = LoadPeriod(ws->dmaM);
  const int shortN = LoadPeriod(ws->dmaShort), longN = LoadPeriod(ws->dmaLong);
  // DDD of the look-back bars too: AMA of the first shown bars reads them.
  for (int i = 0; i < end; ++i)
    ws->dmaDdd[i] = CloseAverage(area, i, shortN) - CloseAverage(area, i, longN);
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
  for (int i = FirstOf(area, end); i < end; ++i) {
    double highOpen = 0.0, openLow = 0.0, highPrev = 0.0, prevLow = 0.0;
    for (int j = WindowStart(i, n); j <= i; ++j) {
      const BrarTerms t = BrarTermsOf(area, j);
      highOpen += t.highOpen;
      openLow += t.openLow;
      highPrev += t.highPrev;
      prevLow += t.prevLow;
    }
    ws->brarAr[i] = openLow == 0.0 ? 0.0 : highOpen / openLow * 100.0;
    ws->brarBr[i] = prevLow == 0.0 ? 0.0 : highPrev / prevLow * 100.0;
  }
}

void CalcPsy(IndicatorWorkspace* ws, const KLineArea* area) {
  const int end = EndOf(area);
  const int n = LoadPeriod(ws->psyN);
  for (int i = 0; i < end; ++i)
    ws->psy[i] = static_cast<double>(RisingCloseCount(area, i, n)) / n * 100.0;
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
