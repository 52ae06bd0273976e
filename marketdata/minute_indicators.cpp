// Minute indicators: the K-line formulas with the minute price standing for
// high, low and close. Windows are rescanned per minute (at most 1,024
// minutes x a period of 28), so nothing is allocated.
#include "marketdata/minute_indicators.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

int PointsOf(const MinuteArea* area) { return std::clamp(area->pointsHeld, 0, kMinuteIndicatorRoom); }
int FlowsOf(const MinuteArea* area) { return std::clamp(area->flowsHeld, 0, kMinuteIndicatorRoom); }

double Price(const MinuteArea* a, int i) { return static_cast<double>(a->points[i].price); }

int WindowStart(int i, int n) { return std::max(0, i - n + 1); }

double MinuteLowest(const MinuteArea* a, int i, int n) {
  double low = Price(a, i);
  for (int j = WindowStart(i, n); j < i; ++j) low = std::min(low, Price(a, j));
  return low;
}

double MinuteHighest(const MinuteArea* a, int i, int n) {
  double high = Price(a, i);
  for (int j = WindowStart(i, n); j < i; ++j) high = std::max(high, Price(a, j));
  return high;
}

double MinutePriceAverage(const MinuteArea* a, int i, int n) {
  if (i - n + 1 < 0) return 0.0;
  double sum = 0.0;
  for (int j = i - n + 1; j <= i; ++j) sum += Price(a, j);
  return sum / n;
}

int MinuteRisingCount(const MinuteArea* a, int i, int n) {
  int count = 0;
  for (int j = std::max(1, i - n + 1); j <= i; ++j)
    if (a->points[j].price > a->points[j - 1].price) ++count;
  return count;
}

double MinuteRsv(const MinuteArea* a, int i, int n) {
  const double l = MinuteLowest(a, i, n);
  const double h = MinuteHighest(a, i, n);
  if (l == 0.0 || h == 0.0 || h == l) return 50.0;
  return (Price(a, i) - l) / (h - l) * 100.0;
}

void RsiPass(const MinuteArea* a, int points, int n, double* out) {
  double up = 0.0;
  double abs = 0.0;
  out[0] = 0.0;
  for (int i = 1; i < points; ++i) {
    const double d = Price(a, i) - Price(a, i - 1);
    up = (n - 1) * up / n + (1.0 / n) * std::max(d, 0.0);
    abs = (1.0 / n) * std::fabs(d) + (n - 1) * abs / n;
    out[i] = abs == 0.0 ? 0.0 : up / abs * 100.0;
  }
}

}  // namespace

MinuteIndicatorWorkspace* CreateMinuteIndicatorWorkspace() {
  auto* ws = new (std::nothrow) MinuteIndicatorWorkspace();  // value-initialised: zero-filled
  if (!ws) return nullptr;
  ws->macdShort = 12;
  ws->macdLong = 26;
  ws->macdMid = 9;
  ws->kdjN = 9;
  ws->kdjM1 = 3;
  ws->kdjM2 = 3;
  ws->psyN = 12;
  ws->rsiN1 = 6;
  ws->rsiN2 = 12;
  ws->rsiN3 = 24;
  ws->wrN = 14;
  ws->wrN1 = 28;
  ws->biasPeriods[0] = 6;
  ws->biasPeriods[1] = 12;
  ws->biasPeriods[2] = 24;
  return ws;
}

void FreeMinuteIndicatorWorkspace(MinuteIndicatorWorkspace* ws) { delete ws; }

void MinuteCalcIndicator2(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  std::memset(ws->ddx, 0, sizeof ws->ddx);
  std::memset(ws->ddxSum, 0, sizeof ws->ddxSum);
  const int64_t b = area->flowHead;
  if (b == 0) return;
  const int r = FlowsOf(area);
  double sum = 0.0;
  for (int i = 0; i < r; ++i) {
    const double v = static_cast<double>(area->flows[i].field117) * 100.0 / static_cast<double>(b);
    sum = i == 0 ? v : v + sum;
    ws->ddx[i] = v;
    ws->ddxSum[i] = sum;
  }
}

void MinuteCalcIndicator4(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  std::memset(ws->bbd, 0, sizeof ws->bbd);
  const int r = FlowsOf(area);
  for (int i = 0; i < r; ++i) ws->bbd[i] = area->flows[i].running[2] + area->flows[i].running[3];  // 114 + 115
}

void MinuteCalcMacd(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  if (p == 0) return;
  const double s = ws->macdShort, l = ws->macdLong, m = ws->macdMid;
  ws->macdShortEma[0] = ws->macdLongEma[0] = Price(area, 0);
  ws->macdDif[0] = ws->macdDea[0] = ws->macdMacd[0] = 0.0;
  for (int i = 1; i < p; ++i) {
    const double c = Price(area, i);
    ws->macdShortEma[i] = (2.0 * c + (s - 1) * ws->macdShortEma[i - 1]) / (s + 1);
    ws->macdLongEma[i] = (2.0 * c + (l - 1) * ws->macdLongEma[i - 1]) / (l + 1);
    ws->macdDif[i] = ws->macdShortEma[i] - ws->macdLongEma[i];
    ws->macdDea[i] = (2.0 * ws->macdDif[i] + (m - 1) * ws->macdDea[i - 1]) / (m + 1);
    ws->macdMacd[i] = (ws->macdDif[i] - ws->macdDea[i]) * 2.0;
  }
}

void MinuteCalcKdj(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  if (p == 0) return;
  const int n = ws->kdjN, m1 = ws->kdjM1, m2 = ws->kdjM2;
  ws->kdjK[0] = ws->kdjD[0] = ws->kdjJ[0] = MinuteRsv(area, 0, n);
  for (int i = 1; i < p; ++i) {
    const double rsv = MinuteRsv(area, i, n);
    ws->kdjK[i] = (m1 - 1) * ws->kdjK[i - 1] / m1 + (1.0 / m1) * rsv;
    ws->kdjD[i] = (1.0 / m2) * ws->kdjK[i] + (m2 - 1) * ws->kdjD[i - 1] / m2;
    ws->kdjJ[i] = 3.0 * ws->kdjK[i] - 2.0 * ws->kdjD[i];
  }
}

void MinuteCalcRsi(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  if (p == 0) return;
  RsiPass(area, p, ws->rsiN1, ws->rsi1);
  RsiPass(area, p, ws->rsiN2, ws->rsi2);
  RsiPass(area, p, ws->rsiN3, ws->rsi3);
}

void MinuteCalcWr(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  for (int i = 0; i < p; ++i) {
    const double c = Price(area, i);
    double h = MinuteHighest(area, i, ws->wrN);
    double l = MinuteLowest(area, i, ws->wrN);
    ws->wr1[i] = h - l == 0.0 ? 0.0 : (h - c) * 100.0 / (h - l);
    h = MinuteHighest(area, i, ws->wrN1);
    l = MinuteLowest(area, i, ws->wrN1);
    ws->wr2[i] = h - l == 0.0 ? 2.0 : (h - c) * 100.0 / (h - l);  // 2 on a flat window, as on the K-line chart
  }
}

void MinuteCalcBias(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < p; ++i) {
      const double m = MinutePriceAverage(area, i, ws->biasPeriods[k]);
      ws->bias[k][i] = m == 0.0 ? 0.0 : (Price(area, i) - m) / m * 100.0;
    }
  }
}

void MinuteCalcPsy(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  for (int i = 0; i < p; ++i) ws->psy[i] = static_cast<double>(MinuteRisingCount(area, i, ws->psyN)) / ws->psyN * 100.0;
}

void MinuteCalcIndicator(MinuteIndicatorWorkspace* ws, const MinuteArea* area, int number) {
  switch (number) {
    case 2: MinuteCalcIndicator2(ws, area); break;
    case 4: MinuteCalcIndicator4(ws, area); break;
    case 6: MinuteCalcMacd(ws, area); break;
    case 7: MinuteCalcKdj(ws, area); break;
    case 8: MinuteCalcRsi(ws, area); break;
    case 9: MinuteCalcWr(ws, area); break;
    case 10: MinuteCalcBias(ws, area); break;
    case 11: MinuteCalcPsy(ws, area); break;
    default: break;
  }
}
