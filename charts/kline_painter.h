// Painters of the K-line chart: the whole chart into the owner's memory
// picture, the three title strips, the data tip and the cross-hair, and the
// volume, fundamentals and lower-indicator panes with their titles. They
// compute nothing: every coordinate was left in the record by
// CalcKLineIndicators; indicator values are read from the workspace. Called
// on the UI thread under the owner's lock.
#pragma once

#include <cstdint>

#include "platform/gdi/win_gdi.h"

struct KLineChart;

void DrawKLineChart(KLineChart* chart, HDC dc);
void DrawKLineTitles(KLineChart* chart, HDC indicatorDc, HDC mainDc, HDC volumeDc);
void DrawKLineDataTip(KLineChart* chart, HDC dc);
void DrawKLineCrossHair(KLineChart* chart, HDC dc);

void DrawKLineNewsMarks(KLineChart* chart, HDC dc);
void DrawKLineRatingMarks(KLineChart* chart, HDC dc);
void DrawKLineSellMarks(KLineChart* chart, HDC dc);
void DrawKLineBuyMarks(KLineChart* chart, HDC dc);
void DrawKLineFundCloseBox(KLineChart* chart, HDC dc);
void DrawKLineKdjPane(KLineChart* chart, HDC dc, int n);

void DrawKLineVolumePane(KLineChart* chart, HDC dc, int n);
void DrawKLineVolumeTitle(KLineChart* chart, HDC dc, int bar);
void DrawKLineMainTitle(KLineChart* chart, HDC dc, int bar);
void DrawKLineFundamentalsPane(KLineChart* chart, HDC dc);
void DrawKLineQuarterLabels(KLineChart* chart, HDC dc, int rows);
// The pane and the title of lower indicator 1..17 (0: the volume's).
void DrawKLineLowerPane(KLineChart* chart, HDC dc, int n);
void DrawKLineLowerTitle(KLineChart* chart, HDC dc, int bar);

// Texts shared with the view and the tests: the large-number rule with a
// whole ("%lld") or "%.2f" third form, "-" for exactly 0.
void FormatKLineLargeNumber(double value, bool wholeThird, char* out, int size);
// "%d%d年第%d季" of a YYYYMMDD end date.
void FormatKLineQuarterLabel(const char* endDate, char* out, int size);
