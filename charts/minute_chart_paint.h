// Painters of the minute chart: they only read the record and its bound
// data (every coordinate was computed by CalcMinuteIndicators) and draw
// through the drawing helpers. Owners call them on their UI thread under
// their own lock.
#pragma once

#include "charts/minute_chart.h"
#include "platform/gdi/win_gdi.h"

// The whole chart into dc (background, frame, grids, lines, marks, lower
// panels, labels, title).
void DrawMinuteChart(MinuteChart* chart, HDC dc);
// The cross-hair lines (R2_NOT: drawing them twice restores the picture).
void DrawMinuteCursor(MinuteChart* chart, HDC dc);
// The data tip of the cursor minute, at (0, 0) with the size of TipRect.
void DrawMinuteDataTip(MinuteChart* chart, HDC dc);

// The sub-chart's title strip (at (0, 0) with the size of SubTitleRect) for
// the cursor minute, else the last point.
void DrawMinuteSubTitle(MinuteChart* chart, HDC dc);

// Steps of DrawMinuteChart, exposed for the owners and the tests.
void DrawMineMarks(MinuteChart* chart, HDC dc);
void DrawMinutePriceAxis(MinuteChart* chart, HDC dc);
void DrawMinuteStockTitle(MinuteChart* chart, HDC dc);
void DrawMinuteTimeAxis(MinuteChart* chart, HDC dc, int m0, int m1, uint32_t color);
void DrawMinuteCursorLines(MinuteChart* chart, HDC dc);
// The lower panel of kind: 0 in the volume panel, 1-11 in the sub-chart
// panel (2 only with a workspace); other kinds draw nothing.
void DrawMinuteSubChart(MinuteChart* chart, HDC dc, int kind);

// "%02d:%02d" text of slot s (the tip's time rule); out holds >= 6 chars.
void FormatMinuteSlotTime(const MinuteChart* chart, int slot, char* out, int outSize);
