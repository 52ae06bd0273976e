// Level-2 indicators and main-chart overlays.
#include "marketdata/l2_indicators.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Value positions of the level-2 bar record, by wire code.
enum Level2Value { kD = 0, kF, kG, kH, kI, kJ, kL, kM, kN, kO };
constexpr int kTradeCountValue = 2;  // of the bar supplement record

int EndOf(const KLineArea* area) { return std::clamp(area->end, 0, kKLineBarRoom); }

// Records paired with the bars from the end.
struct Pairing {
  int end;    // bars
  int count;  // records, clamped to the record room
  int start;  // bar of record 0 (end - count, negative when count > end)

  // The record of bar i, or null for a bar without one.
  template <typename Record>
  const Record* Of(const Record* records, int i) const {
    const int k = i - start;
    return k >= 0 && k < count ? &records[k] : nullptr;
  }
  int FirstBar() const { return std::max(0, start); }
};

Pairing Level2Pairing(const KLineArea* area) {
  const int end = EndOf(area);
  const int count = std::clamp(area->level2Count, 0, kSupplementRoom);
  return {end, count, end - count};
}

int64_t Value(const Level2BarRecord* r, Level2Value v) { return r ? r->values[v] : 0; }

void Zero(double* series) { std::memset(series, 0, sizeof(double) * kIndicatorBarRoom); }
void Zero(int64_t* series) { std::memset(series, 0, sizeof(int64_t) * kIndicatorBarRoom); }

// DDX1/DDY1 from the base series: EMA-like smoothing with w, then x w;
// DDX2/DDY2 and DDX3/DDY3 the 5- and 10-bar averages of the smoothed line.
void SmoothAndAverage(const double* base, int end, int w, double* s1, double* s2, double* s3) {
  if (end == 0) return;
  s1[0] = base[0];
  for (int i = 1; i < end; ++i) s1[i] = (2.0 * base[i] + (w - 1) * s1[i - 1]) / (w + 1);
  for (int i = 0; i < end; ++i) s1[i] *= w;
  for (int i = 0; i < end; ++i) {
    if (i >= 4) {
      double sum = 0.0;
      for (int j = i - 4; j <= i; ++j) sum += s1[j];
      s2[i] = sum / 5;
    }
    if (i >= 9) {
      double sum = 0.0;
      for (int j = i - 9; j <= i; ++j) sum += s1[j];
      s3[i] = sum / 10;
    }
  }
}

void Holdings(const KLineArea* area, Level2Value plus, Level2Value minus, double* holdings, double* change) {
  const Pairing pair = Level2Pairing(area);
  if (pair.end == 0) return;
  Zero(holdings);
  Zero(change);
  const int64_t base = area->level2Values[0];
  if (pair.count == 0 || base == 0) return;
  auto c = [&](int k) {
    const Level2BarRecord& r = area->level2Records[k];
    return static_cast<double>(r.values[plus] - r.values[minus]) * 100.0 / static_cast<double>(base);
  };
  // Records before bar 0 are carried into the first bar's holdings.
  double sum = 0.0;
  for (int k = 0; k < pair.FirstBar() - pair.start; ++k) sum += c(k);
  for (int i = pair.FirstBar(); i < pair.end; ++i) {
    const double ck = c(i - pair.start);
    sum += ck;
    change[i] = ck;
    holdings[i] = sum;
  }
}

int64_t SumInt64Window(const int64_t* x, int i, int p) {
  int64_t sum = 0;
  for (int j = std::max(0, i - p + 1); j <= i; ++j) sum += x[j];
  return sum;
}

// Average close of the bars max(0, i - p + 1) .. i, added in float.
float PartialCloseAverage(const KLineArea* area, int i, int p) {
  float sum = 0.0f;
  int count = 0;
  for (int j = std::max(0, i - p + 1); j <= i; ++j, ++count) sum = sum + area->bars[j].close;
  return sum / static_cast<float>(count);
}

// Weighted smoothing of the last ten values, accumulated from x[i] backwards
// in float.
float FibonacciSmooth(const float* x, int i) {
  static constexpr float kWeights[10] = {55, 34, 21, 13, 8, 5, 3, 2, 1, 1};
  if (i < 9) return x[i];
  float sum = kWeights[0] * x[i];
  for (int k = 1; k < 10; ++k) sum = sum + kWeights[k] * x[i - k];
  return sum / 143.0f;
}

// Zig-zag state: the pending extreme and the list being built.
struct ZigZag {
  IndicatorWorkspace* ws;
  const KLineArea* area;
  int end;
  float price;  // pending extreme P
  int bar;      // its bar I
  int kind;     // K: 1 tracking a trough, 0 a peak

  void Record(float p, int barNumber, int k) {
    if (ws->turnCount >= kIndicatorBarRoom) return;  // full: later entries are dropped
    ws->turns[ws->turnCount++] = {p, barNumber, k};
  }
};

// One move of the pending extreme: 1 when it moved (recording a turn when
// the move reversed by the threshold), 0 when the bars ran out and the
// pending extreme was recorded as the last entry.
int ZigZagStep(ZigZag* z) {
  const float t = z->ws->turnThreshold * z->price;
  for (int j = z->bar + 1; j < z->end; ++j) {
    const float c = z->area->bars[j].close;
    if (z->kind == 1) {
      if (c <= z->price) {
        z->price = c;
        z->bar = j;
        return 1;
      }
      if (c - z->price >= t) {
        z->Record(z->price, z->bar + 1, 1);
        *z = {z->ws, z->area, z->end, c, j, 0};
        return 1;
      }
    } else {
      if (c >= z->price) {
        z->price = c;
        z->bar = j;
        return 1;
      }
      if (z->price - c >= t) {
        z->Record(z->price, z->bar + 1, 0);
        *z = {z->ws, z->area, z->end, c, j, 1};
        return 1;
      }
    }
  }
  z->Record(z->price, z->bar + 1, z->kind);
  return 0;
}

}  // namespace

void CalcLevel2Indicator11(IndicatorWorkspace* ws, const KLineArea* area) {
  Zero(ws->ddx);
  Zero(ws->ddx1);
  Zero(ws->ddx2);
  Zero(ws->ddx3);
  const Pairing pair = Level2Pairing(area);
  if (pair.count == 0) return;
  const int64_t base = area->level2Values[0];
  const int w = std::min(pair.count, 60);
  for (int i = pair.FirstBar(); i < pair.end; ++i) {
    const Level2BarRecord* r = pair.Of(area->level2Records, i);
    ws->ddx[i] = base == 0 ? 0.0 : static_cast<double>(Value(r, kG) - Value(r, kM)) * 100.0 / static_cast<double>(base);
  }
  SmoothAndAverage(ws->ddx, pair.end, w, ws->ddx1, ws->ddx2, ws->ddx3);
}

void CalcLevel2Indicator12(IndicatorWorkspace* ws, const KLineArea* area) {
  Zero(ws->ddy);
  Zero(ws->ddy1);
  Zero(ws->ddy2);
  Zero(ws->ddy3);
  const Pairing pair = Level2Pairing(area);
  if (pair.count == 0) return;
  const int64_t base = area->level2Values[0];
  const int w = std::min(pair.count, 60);
  double y = 0.0;
  for (int j = 0; j < pair.end; ++j) {
    const Level2BarRecord* r = pair.Of(area->level2Records, j);
    const int64_t t = Value(r, kF) + Value(r, kO) + Value(r, kI) + Value(r, kL);
    const double x =
        t == 0 ? 0.0 : static_cast<double>(2 * Value(r, kD) - Value(r, kM) + Value(r, kG)) / static_cast<double>(t);
    y = j == 0 ? x : (2.0 * x + (w - 1) * y) / (w + 1);
    const int64_t net = (Value(r, kO) - Value(r, kF)) + (Value(r, kL) - Value(r, kI));
    ws->ddy[j] = base == 0 ? 0.0 : static_cast<double>(net) * 100.0 / static_cast<double>(base) * y;
  }
  SmoothAndAverage(ws->ddy, pair.end, w, ws->ddy1, ws->ddy2, ws->ddy3);
}

void CalcLevel2Indicator13(IndicatorWorkspace* ws, const KLineArea* area) {
  Zero(ws->ddz);
  Zero(ws->ddz1);
  const Pairing pair = Level2Pairing(area);
  if (pair.count == 0 || pair.end == 0) return;
  for (int j = pair.FirstBar(); j < pair.end; ++j) {
    const Level2BarRecord* r = pair.Of(area->level2Records, j);
    const int64_t q = Value(r, kF) + Value(r, kI);
    const int64_t p = Value(r, kO) + Value(r, kL);
    const int64_t rr = Value(r, kD) + Value(r, kG);
    const int64_t u = q + p;
    const double a = q == 0 ? 0.0 : static_cast<double>(Value(r, kG)) / static_cast<double>(q);
    const double b = p == 0 ? 0.0 : static_cast<double>(Value(r, kM)) / static_cast<double>(p);
    const double ddz1 = (a - b) / 100.0;
    ws->ddz1[j] = ddz1;
    ws->ddz[j] = (u == 0 || rr == 0 || ddz1 == 0.0)
                     ? 0.0
                     : ddz1 * 100.0 / (2.0 * static_cast<double>(rr) / static_cast<double>(u));
  }
}

void CalcLevel2Indicator14(IndicatorWorkspace* ws, const KLineArea* area) {
  Holdings(area, kD, kJ, ws->retailHoldings, ws->retailChange);
}

void CalcLevel2Indicator15(IndicatorWorkspace* ws, const KLineArea* area) {
  Holdings(area, kG, kM, ws->mainHoldings, ws->mainChange);
}

void CalcLevel2Indicator16(IndicatorWorkspace* ws, const KLineArea* area) {
  Zero(ws->bbd);
  Zero(ws->bbdSum3);
  Zero(ws->bbdSum5);
  Zero(ws->bbdSum10);
  const Pairing pair = Level2Pairing(area);
  if (pair.count == 0) return;
  for (int i = pair.FirstBar(); i < pair.end; ++i) {
    const Level2BarRecord* r = pair.Of(area->level2Records, i);
    ws->bbd[i] = Value(r, kH) - Value(r, kN);
    ws->bbdSum3[i] = SumInt64Window(ws->bbd, i, 3);
    ws->bbdSum5[i] = SumInt64Window(ws->bbd, i, 5);
    ws->bbdSum10[i] = SumInt64Window(ws->bbd, i, 10);
  }
}

void CalcLevel2Indicator17(IndicatorWorkspace* ws, const KLineArea* area) {
  Zero(ws->volumePerTrade);
  Zero(ws->amountPerTrade);
  const int end = EndOf(area);
  const int count = std::clamp(area->supplementCount, 0, kSupplementRoom);
  if (count == 0 || end == 0) return;
  const Pairing pair{end, count, end - count};
  for (int i = pair.FirstBar(); i < end; ++i) {
    const int64_t c = pair.Of(area->supplementRecords, i)->values[kTradeCountValue];
    if (c <= 0) continue;
    ws->volumePerTrade[i] = static_cast<double>(area->bars[i].volume) / static_cast<double>(c);
    ws->amountPerTrade[i] = static_cast<double>(area->bars[i].amount) / static_cast<double>(c);
  }
}

void CalcTrendState(IndicatorWorkspace* ws, const KLineArea* area) {
  std::memset(ws->trendState, 0, sizeof ws->trendState);
  const int end = EndOf(area);
  if (end == 0 || ws->trendShort < 1 || ws->trendLong < 1) return;
  float longAverage[kKLineBarRoom];   // 32 KB each on the stack, nothing allocated
  float shortAverage[kKLineBarRoom];
  for (int i = 0; i < end; ++i) {
    longAverage[i] = PartialCloseAverage(area, i, ws->trendLong);
    shortAverage[i] = PartialCloseAverage(area, i, ws->trendShort);
  }
  float sa = FibonacciSmooth(longAverage, 0);
  float sb = FibonacciSmooth(shortAverage, 0);
  float f = PartialCloseAverage(area, 0, 5);
  for (int i = 1; i < end; ++i) {
    const float saNow = (sa + FibonacciSmooth(longAverage, i)) * 0.5f;
    const float sbNow = (sb + FibonacciSmooth(shortAverage, i)) * 0.5f;
    const float fNow = PartialCloseAverage(area, i, 5);
    const bool saUp = saNow > sa, saDown = saNow < sa;
    const bool sbUp = sbNow > sb, sbDown = sbNow < sb;
    const bool fUp = fNow > f, fDown = fNow < f;
    int32_t& state = ws->trendState[i];
    if (saUp && sbUp && fUp) state = 0;
    else if (saDown && sbUp) state = 1;
    else if (saUp && sbDown) state = 2;
    else if (saDown && sbDown && fDown) state = 3;
    if (fUp && sbDown) state = 1;
    else if (fDown && sbUp) state = 2;
    sa = saNow;
    sb = sbNow;
    f = fNow;
  }
}

void CalcZigZagTurns(IndicatorWorkspace* ws, const KLineArea* area) {
  ws->turnCount = 0;
  const int end = EndOf(area);
  if (end == 0) return;
  int i0 = 0;
  while (i0 < end && !(area->bars[i0].close > 0.0f)) ++i0;
  if (i0 == end) return;
  const float c0 = area->bars[i0].close;
  const float t0 = ws->turnThreshold * c0;
  // First leg: the first bar whose whole-unit move from c0 reaches t0. The
  // difference is truncated to an integer on purpose: a move of less than
  // one price unit never starts the line.
  int i1 = i0;
  while (i1 < end && !(std::fabs(std::trunc(static_cast<double>(area->bars[i1].close - c0))) >= t0)) ++i1;
  if (i1 == end) return;  // no first leg: the list stays empty
  const float move = area->bars[i1].close - c0;
  ZigZag z{ws, area, end, area->bars[i1].close, i1, move <= 0.0f ? 1 : 0};
  z.Record(area->bars[0].close, 1, move > 0.0f ? 1 : 0);
  while (ZigZagStep(&z) != 0) {
  }
}
