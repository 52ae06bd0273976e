// CalcMinuteIndicators: turns a MinuteChart's bound data into the scales and
// pixel coordinates its painters draw. One run recomputes everything from the
// data; it allocates nothing and runs under the owner's lock.
//
// Sound behaviour beyond the plain formulas: loops run over
// min(data count, PointCount); an empty value range puts the series on the
// panel's middle row; a previous close of 0 gives percent labels of 0; a
// one-minute first session sits at x 71. No NaN or infinity ever becomes a
// pixel coordinate.
#pragma once

struct MinuteChart;

// Recomputes the price, percent, volume and order scales, the price-panel,
// volume and order-totals arrays and the chosen sub-chart's fields. Without
// data or hours only clears the arrays. Also replaces every average price of
// 0 or below in the data by the previous close.
void CalcMinuteIndicators(MinuteChart* chart);
