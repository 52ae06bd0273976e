// Minute indicator workspace and its eight calculators: the indicators of
// the minute chart's lower pane computed from a MinuteArea. Every minute has
// one price, which stands for the high, the low and the close of a bar; all
// minutes 0 .. pointsHeld - 1 are computed (no look-back part) and the
// parameters are fixed at creation.
//
// Ownership and threads: each minute-chart engine creates one workspace with
// CreateMinuteIndicatorWorkspace and frees it with
// FreeMinuteIndicatorWorkspace; the calculators run while the owning view
// holds its lock (the workspace has none). Calculators take the workspace and
// the area (not modified), return nothing, allocate nothing and keep no state
// between calls. Entries beyond the minutes (flow records) held keep older
// values, except DDX and BBD, which clear their series first.
//
// Indicator numbers of the minute chart: 2 DDX, 4 BBD, 6 MACD, 7 KDJ, 8 RSI,
// 9 WR, 10 BIAS, 11 PSY.
#pragma once

#include <cstdint>

#include "marketdata/minute_decoders.h"

constexpr int kMinuteIndicatorRoom = 1024;   // entries of a series, one per minute

struct MinuteIndicatorWorkspace {
  double ddx[kMinuteIndicatorRoom];          // per-minute DDX
  double ddxSum[kMinuteIndicatorRoom];       // cumulative DDX
  int64_t bbd[kMinuteIndicatorRoom];         // per-minute BBD
  double macdDif[kMinuteIndicatorRoom];
  double macdDea[kMinuteIndicatorRoom];
  double macdMacd[kMinuteIndicatorRoom];
  double macdShortEma[kMinuteIndicatorRoom];
  double macdLongEma[kMinuteIndicatorRoom];
  int32_t macdShort;                         // 12
  int32_t macdLong;                          // 26
  int32_t macdMid;                           // 9
  double kdjK[kMinuteIndicatorRoom];
  double kdjD[kMinuteIndicatorRoom];
  double kdjJ[kMinuteIndicatorRoom];
  int32_t kdjN;                              // 9
  int32_t kdjM1;                             // 3
  int32_t kdjM2;                             // 3
  double psy[kMinuteIndicatorRoom];
  int32_t psyN;                              // 12
  double rsi1[kMinuteIndicatorRoom];
  double rsi2[kMinuteIndicatorRoom];
  double rsi3[kMinuteIndicatorRoom];
  int32_t rsiN1;                             // 6
  int32_t rsiN2;                             // 12
  int32_t rsiN3;                             // 24
  double wr1[kMinuteIndicatorRoom];
  double wr2[kMinuteIndicatorRoom];
  int32_t wrN;                               // 14
  int32_t wrN1;                              // 28
  double bias[3][kMinuteIndicatorRoom];
  int32_t biasPeriods[3];                    // 6, 12, 24
};

// A new zero-filled workspace with the fixed parameters, or null when out of
// memory. The owner frees it with FreeMinuteIndicatorWorkspace (null allowed).
MinuteIndicatorWorkspace* CreateMinuteIndicatorWorkspace();
void FreeMinuteIndicatorWorkspace(MinuteIndicatorWorkspace* ws);

// 2. DDX: both series cleared; with b the flow head value (nothing more when
//    0), per-minute(i) = flow field 117 x 100 / b and its running sum, for
//    the flow records held.
void MinuteCalcIndicator2(MinuteIndicatorWorkspace* ws, const MinuteArea* area);
// 4. BBD: series cleared; BBD(i) = flow field 114 + flow field 115 of each
//    flow record held (64-bit).
void MinuteCalcIndicator4(MinuteIndicatorWorkspace* ws, const MinuteArea* area);
// 6. DIF, DEA, MACD and the two EMAs (starting at the first price).
void MinuteCalcMacd(MinuteIndicatorWorkspace* ws, const MinuteArea* area);
// 7. K, D, J from the RSV (50 when the window's low or high is 0 or flat).
void MinuteCalcKdj(MinuteIndicatorWorkspace* ws, const MinuteArea* area);
// 8. RSI1..3 (0 when nothing moved).
void MinuteCalcRsi(MinuteIndicatorWorkspace* ws, const MinuteArea* area);
// 9. WR1 and WR2; a flat window gives WR1 0 and WR2 2.
void MinuteCalcWr(MinuteIndicatorWorkspace* ws, const MinuteArea* area);
// 10. BIAS1..3 (0 until a full window of the period exists).
void MinuteCalcBias(MinuteIndicatorWorkspace* ws, const MinuteArea* area);
// 11. PSY: rising minutes among the last N, always divided by N.
void MinuteCalcPsy(MinuteIndicatorWorkspace* ws, const MinuteArea* area);

// Runs the calculator of minute indicator number 2, 4, 6 to 11; other
// numbers do nothing. As on the K-line, a period below 1 is refused: the
// calculator (for RSI and BIAS the line of that period) writes nothing.
void MinuteCalcIndicator(MinuteIndicatorWorkspace* ws, const MinuteArea* area, int number);
