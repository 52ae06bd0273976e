// Minute indicators: the K-line formulas (indicator_formulas.h) with the
// minute price standing for high, low and close. Windows are rescanned per
// minute (at most 1,024 minutes x a period of 28), so nothing is allocated.
#include "marketdata/minute_indicators.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "marketdata/indicator_formulas.h"

using namespace indicator_formulas;

namespace {

int PointsOf(const MinuteArea* area) { return std::clamp(area->pointsHeld, 0, kMinuteIndicatorRoom); }
int FlowsOf(const MinuteArea* area) { return std::clamp(area->flowsHeld, 0, kMinuteIndicatorRoom); }

// The minutes as a price source of the shared formulas: the price stands
// for close, high and low.
struct MinutePrices {
  const MinuteArea* a;
  double Close(int i) const { return static_cast<double>(a->points[i].price); }
  double High(int i) const { return Close(i); }
  double Low(int i) const { return Close(i); }
};

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
  if (p == 0 || !PeriodsValid({ws->macdShort, ws->macdLong, ws->macdMid})) return;
  Macd(MinutePrices{area}, p, ws->macdShort, ws->macdLong, ws->macdMid, ws->macdShortEma, ws->macdLongEma,
       ws->macdDif, ws->macdDea, ws->macdMacd);
}

void MinuteCalcKdj(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  if (p == 0 || !PeriodsValid({ws->kdjN, ws->kdjM1, ws->kdjM2})) return;
  Kdj(MinutePrices{area}, p, ws->kdjN, ws->kdjM1, ws->kdjM2, ws->kdjK, ws->kdjD, ws->kdjJ);
}

void MinuteCalcRsi(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  if (p == 0) return;
  const MinutePrices prices{area};
  if (PeriodsValid({ws->rsiN1})) Rsi(prices, p, ws->rsiN1, ws->rsi1);
  if (PeriodsValid({ws->rsiN2})) Rsi(prices, p, ws->rsiN2, ws->rsi2);
  if (PeriodsValid({ws->rsiN3})) Rsi(prices, p, ws->rsiN3, ws->rsi3);
}

void MinuteCalcWr(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  if (!PeriodsValid({ws->wrN, ws->wrN1})) return;
  Wr(MinutePrices{area}, 0, PointsOf(area), ws->wrN, ws->wrN1, ws->wr1, ws->wr2);
}

void MinuteCalcBias(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  const int p = PointsOf(area);
  for (int k = 0; k < 3; ++k)
    if (PeriodsValid({ws->biasPeriods[k]})) Bias(MinutePrices{area}, 0, p, ws->biasPeriods[k], ws->bias[k]);
}

void MinuteCalcPsy(MinuteIndicatorWorkspace* ws, const MinuteArea* area) {
  if (!PeriodsValid({ws->psyN})) return;
  Psy(MinutePrices{area}, PointsOf(area), ws->psyN, ws->psy);
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
