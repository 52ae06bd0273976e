// K-line indicator calculators 1 to 10 and the moving averages of the close.
//
// Every calculator takes the IndicatorWorkspace to write and the KLineArea to
// read (not modified), returns nothing, keeps no state between calls and
// allocates nothing. It reads its periods from the workspace and overwrites
// only its own series: "shown bars" are first .. end - 1, "all bars" are
// 0 .. end - 1 (bars before first are look-back bars: they feed the windows
// and the smoothing but are not drawn). Prices are the bars' floats widened
// to double; arithmetic is double. Zero divisors give fixed values
// (RSV 50, RSI 0, WR1 0, WR2 2, BIAS 0, CCI 0, AR and BR 0). Every calculator
// but CalcMovingAverages needs at least one bar; all of them accept an empty
// area and then write nothing. A period below 1 (which the parameter file
// never yields, but a caller may set) is refused: the calculator, or for the
// MA, RSI and BIAS lines the line of that period, writes nothing.
//
// Indicator numbers of the chart engine: 1 MACD, 2 KDJ, 3 RSI, 4 WR, 5 BOLL,
// 6 BIAS, 7 DMA, 8 CCI, 9 BRAR, 10 PSY; CalcKLineIndicator dispatches by
// number (11 to 17 included, see l2_indicators.h).
#pragma once

#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"

// MA1..MA4 for the shown bars: the average close of the P bars ending at the
// bar, 0 while fewer than P bars exist counted from bar 0.
void CalcMovingAverages(IndicatorWorkspace* ws, const KLineArea* area);

// 1. DIF, DEA, MACD and both EMAs for all bars (EMAs start at the first close).
void CalcMacd(IndicatorWorkspace* ws, const KLineArea* area);
// 2. K, D, J for all bars from the RSV of the N-bar window (RSV 50 when the
//    window's low or high is 0 or the window is flat).
void CalcKdj(IndicatorWorkspace* ws, const KLineArea* area);
// 3. RSI1..3 for all bars (weighted smoothing; 0 when nothing moved).
void CalcRsi(IndicatorWorkspace* ws, const KLineArea* area);
// 4. WR1 (N) and WR2 (N1) for the shown bars; a flat window gives WR1 0, WR2 2.
void CalcWr(IndicatorWorkspace* ws, const KLineArea* area);
// 5. BOLL middle, upper, lower for the shown bars (sample deviation, n - 1).
void CalcBoll(IndicatorWorkspace* ws, const KLineArea* area);
// 6. BIAS1..3 for the shown bars.
void CalcBias(IndicatorWorkspace* ws, const KLineArea* area);
// 7. DDD for all bars (so AMA never reads entries of an earlier stock), AMA
//    for the shown bars.
void CalcDma(IndicatorWorkspace* ws, const KLineArea* area);
// 8. CCI for the shown bars; the mean deviation is rounded to float.
void CalcCci(IndicatorWorkspace* ws, const KLineArea* area);
// 9. AR and BR for the shown bars; bar 0 compares with its own close.
void CalcBrar(IndicatorWorkspace* ws, const KLineArea* area);
// 10. PSY for all bars: rising closes among the last N bars, always / N.
void CalcPsy(IndicatorWorkspace* ws, const KLineArea* area);

// Runs the calculator of indicator number 1 to 17; other numbers do nothing.
void CalcKLineIndicator(IndicatorWorkspace* ws, const KLineArea* area, int number);
