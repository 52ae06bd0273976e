// The pixel half of CalcKLineIndicators: candles, moving averages, extreme
// labels, overlays, ex-rights marks, volume bars and the lower indicator's
// lines and bars, from the ranges the scale half settled.
#pragma once

#include <cstdint>

struct KLineChart;

// What the scale half hands over: the visible bars first .. last - 1 (absolute
// indexes), the price range (before its smallest-range widening), the
// highest and lowest bars, and the lower indicator's range.
struct KLineCalcRange {
  int first;
  int last;
  float top;            // price top and bottom of the visible bars
  float bottom;
  int highestBar;
  int lowestBar;
  double vT;            // indicator top and bottom values
  double vB;
  int64_t vT64;         // indicator 16 in whole numbers
  int64_t vB64;
};

// Fills every coordinate array and count of the chart for the range.
// Preconditions: bars and workspace bound, first < last, the arrays hold
// last - first entries.
void PlaceKLineGeometry(KLineChart* chart, const KLineCalcRange& range);

// Clears the counts of everything the geometry places (nothing visible).
void ClearKLineGeometry(KLineChart* chart);
