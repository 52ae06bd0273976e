// CalcKLineIndicators: the one recomputation of a KLineChart. It grows the
// per-bar arrays, lays the panes out, computes the moving averages and the
// lower indicator over the whole series, settles the visible bars, finds the
// price, volume and indicator scales over them, and turns everything into the
// pixel coordinates of the record (kline_chart_geometry.h). Runs under the
// owner's lock; allocates only when the visible count outgrows the arrays.
//
// Sound behaviour beyond the plain formulas: with no visible bar (or a
// firstVisible past the loaded bars) no scale is computed and nothing is
// placed; an empty value range puts the series on the pane's middle row.
#pragma once

struct KLineChart;

void CalcKLineIndicators(KLineChart* chart);
