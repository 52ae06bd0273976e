// IndicatorWorkspace: the block beside each K-line chart slot that holds the
// parameters of every K-line indicator and one series per indicator line,
// indexed by bar exactly like the bars of the KLineArea it is computed from
// (index 0 is the area's first stored bar, not the first bar shown).
//
// Conventions of every series: kIndicatorBarRoom values; a calculator writes
// only the entries its algorithm names and the others keep what they held
// (zero in a new workspace). The block is never stored or sent, so its
// layout is free.
//
// Ownership and threads: the QuoteEngine creates nine with
// CreateIndicatorWorkspace and frees them with FreeIndicatorWorkspace. The
// workspace has no lock: the chart engine calls the calculators while the
// owning chart view holds its own lock; parameter rewrites happen on the
// user-interface thread.
#pragma once

#include <cstdint>

constexpr int kIndicatorBarRoom = 8000;   // entries of a series (= bars of a KLineArea)

// One entry of the zig-zag list of the main chart.
struct TurningPoint {
  float price;        // close of the extreme bar
  int32_t barNumber;  // bar index + 1
  int32_t kind;       // 1 a trough, 0 a peak
};

struct IndicatorWorkspace {
  // KDJ (2)
  double kdjK[kIndicatorBarRoom];
  double kdjD[kIndicatorBarRoom];
  double kdjJ[kIndicatorBarRoom];
  int32_t kdjN;                        // 9
  int32_t kdjM1;                       // 3
  int32_t kdjM2;                       // 3
  // DMA (7)
  double dmaDdd[kIndicatorBarRoom];
  double dmaAma[kIndicatorBarRoom];
  int32_t dmaShort;                    // 10
  int32_t dmaLong;                     // 50
  int32_t dmaM;                        // 10
  // BOLL (5)
  double bollMiddle[kIndicatorBarRoom];
  double bollUpper[kIndicatorBarRoom];
  double bollLower[kIndicatorBarRoom];
  int32_t bollN;                       // 26
  int32_t bollWidth;                   // 2 standard deviations
  // RSI (3)
  double rsi1[kIndicatorBarRoom];
  double rsi2[kIndicatorBarRoom];
  double rsi3[kIndicatorBarRoom];
  int32_t rsiN1;                       // 6
  int32_t rsiN2;                       // 12
  int32_t rsiN3;                       // 24
  // MACD (1)
  double macdDif[kIndicatorBarRoom];
  double macdDea[kIndicatorBarRoom];
  double macdMacd[kIndicatorBarRoom];
  double macdShortEma[kIndicatorBarRoom];
  double macdLongEma[kIndicatorBarRoom];
  int32_t macdShort;                   // 12
  int32_t macdLong;                    // 26
  int32_t macdMid;                     // 9
  // Moving averages of the close (every recalculation)
  double ma[4][kIndicatorBarRoom];
  int32_t maPeriods[4];                // 5, 10, 20, 60
  // WR (4)
  double wr1[kIndicatorBarRoom];
  double wr2[kIndicatorBarRoom];
  int32_t wrN;                         // 14
  int32_t wrN1;                        // 28
  // CCI (8)
  double cci[kIndicatorBarRoom];
  int32_t cciN;                        // 14
  // BIAS (6)
  double bias[3][kIndicatorBarRoom];
  int32_t biasPeriods[3];              // 6, 12, 24
  // BRAR (9)
  double brarAr[kIndicatorBarRoom];
  double brarBr[kIndicatorBarRoom];
  int32_t brarN;                       // 26
  // PSY (10)
  double psy[kIndicatorBarRoom];
  int32_t psyN;                        // 12

  // Level-2 indicators 11 to 17
  double ddx[kIndicatorBarRoom];
  double ddx1[kIndicatorBarRoom];
  double ddx2[kIndicatorBarRoom];
  double ddx3[kIndicatorBarRoom];
  double ddy[kIndicatorBarRoom];
  double ddy1[kIndicatorBarRoom];
  double ddy2[kIndicatorBarRoom];
  double ddy3[kIndicatorBarRoom];
  double ddz[kIndicatorBarRoom];
  double ddz1[kIndicatorBarRoom];
  double retailHoldings[kIndicatorBarRoom];
  double retailChange[kIndicatorBarRoom];
  double mainHoldings[kIndicatorBarRoom];
  double mainChange[kIndicatorBarRoom];
  int64_t bbd[kIndicatorBarRoom];
  int64_t bbdSum3[kIndicatorBarRoom];
  int64_t bbdSum5[kIndicatorBarRoom];
  int64_t bbdSum10[kIndicatorBarRoom];
  double volumePerTrade[kIndicatorBarRoom];
  double amountPerTrade[kIndicatorBarRoom];

  // Turning points of the close (main-chart overlay)
  TurningPoint turns[kIndicatorBarRoom];
  int32_t turnCount;                   // entries of turns
  float turnThreshold;                 // 0.05f

  // Trend state per bar (main-chart overlay), 0 to 3
  int32_t trendState[kIndicatorBarRoom];
  int32_t trendShort;                  // 8
  int32_t trendLong;                   // 34
};

// A new zero-filled workspace with the default parameters, or null when out
// of memory. The caller frees it with FreeIndicatorWorkspace.
IndicatorWorkspace* CreateIndicatorWorkspace();

// Frees a workspace of CreateIndicatorWorkspace. Null is allowed.
void FreeIndicatorWorkspace(IndicatorWorkspace* workspace);
