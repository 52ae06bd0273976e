// Level-2 K-line indicators 11 to 17 and the two main-chart overlays (trend
// state and turning points of the close), written into the same
// IndicatorWorkspace as the classic indicators (kline_indicators.h) with the
// same shape: (workspace, area), no result, no error, no allocation.
//
// Level-2 records are paired with bars from the end: with m records
// (level2Count, at most 1,024), record k belongs to bar end - m + k, so the
// last record belongs to the last bar; records that fall before bar 0 have no
// bar and bars before end - m count as records of zeros. Supplement records
// (supplementCount) pair with the bars the same way. Record values used, by
// wire code: 'd' 'f' 'g' 'h' 'i' 'j' 'l' 'm' 'n' 'o' (values 0..9); the share
// base is level2Values[0]. Differences and sums of record values are taken in
// 64-bit integers, then converted to double.
//
// Each level-2 calculator zeroes its own series first, so bars outside the
// level-2 data read 0; missing data (m = 0), a share base of 0 and a trade
// count of 0 or below give zeros.
#pragma once

#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"

// 11. DDX = (g - m) x 100 / base; DDX1 its smoothing with w = min(m, 60)
//     multiplied by w; DDX2 and DDX3 the 5- and 10-bar averages of DDX1.
void CalcLevel2Indicator11(IndicatorWorkspace* ws, const KLineArea* area);
// 12. DDY and DDY1..3 (the same smoothing and averages as DDX).
void CalcLevel2Indicator12(IndicatorWorkspace* ws, const KLineArea* area);
// 13. DDZ and DDZ1.
void CalcLevel2Indicator13(IndicatorWorkspace* ws, const KLineArea* area);
// 14. Retail holdings (running sum of (d - j) x 100 / base over the records,
//     records before bar 0 included) and their daily change.
void CalcLevel2Indicator14(IndicatorWorkspace* ws, const KLineArea* area);
// 15. Main holdings, as 14 with (g - m).
void CalcLevel2Indicator15(IndicatorWorkspace* ws, const KLineArea* area);
// 16. BBD = h - n per bar and its 3-, 5- and 10-bar sums (exact int64).
void CalcLevel2Indicator16(IndicatorWorkspace* ws, const KLineArea* area);
// 17. Volume and amount per trade from the supplement's trade count.
void CalcLevel2Indicator17(IndicatorWorkspace* ws, const KLineArea* area);

// Trend state 0..3 of every bar from 1 on, in single precision (every
// intermediate result rounded to float). The array is cleared first, so bar 0
// and bars no rule applies to read 0 and nothing of an earlier stock stays
// (kept on purpose: another stock's state must not leak into this one). A
// trend period below 1 leaves the cleared array as it is.
void CalcTrendState(IndicatorWorkspace* ws, const KLineArea* area);

// Zig-zag turning points of the close with the workspace's threshold. The
// list is rebuilt from empty; it stays empty when no close is above 0 or no
// bar moves a whole price unit of at least threshold x the first close from
// it. Every scan stops at the last bar and entries beyond the 8,000 places
// are dropped.
void CalcZigZagTurns(IndicatorWorkspace* ws, const KLineArea* area);
