// Pixel types shared by the two chart engines, and the one conversion from a
// computed coordinate to a pixel that both use.
#pragma once

#include <cmath>
#include <cstdint>

struct ChartPoint {
  int32_t x;
  int32_t y;
};

struct ChartRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// Truncates toward zero into a pixel. A NaN gives fallback and values past
// +-1e9 are held there, so no float ever reaches the int conversion out of
// its range (that conversion is undefined behaviour).
inline int32_t TruncPixel(double v, int32_t fallback = 0) {
  if (std::isnan(v)) return fallback;
  if (v > 1e9) return 1000000000;
  if (v < -1e9) return -1000000000;
  return static_cast<int32_t>(v);
}

// minutes(a -> b) of two hh * 100 + mm times, integer division as written.
inline int32_t ChartMinutesBetween(int32_t a, int32_t b) {
  return (b / 100 - a / 100) * 60 + (b % 100 - a % 100);
}
