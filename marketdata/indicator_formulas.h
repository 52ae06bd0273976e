// The indicator formulas that the K-line calculators (kline_indicators.cpp)
// and the minute calculators (minute_indicators.cpp) share, written once over
// a price source.
//
// A price source is any type with
//   double Close(int i) const;  double High(int i) const;  double Low(int i) const;
// for 0 <= i < the count the caller passes (a minute gives its one price for
// all three). Series are written at the indexes named by each function and
// nowhere else. The arithmetic is the callers' own, step for step: doubles,
// sums in window order, the same fixed values on a zero divisor.
//
// Periods must be at least 1: each caller refuses smaller ones with
// PeriodsValid before calling, so no window bound (i - n + 1, n - 1,
// m1 - 1) can overflow.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace indicator_formulas {

// True when every period is 1 or more.
inline bool PeriodsValid(std::initializer_list<int32_t> periods) {
  for (int32_t p : periods)
    if (p < 1) return false;
  return true;
}

// First index of the window of n values ending at i, cut at 0.
inline int WindowStart(int i, int n) { return std::max(0, i - n + 1); }

// ---- Window sums without rescanning ---------------------------------------
//
// A sum of doubles is exact, in any order, when every value is an integer
// multiple of one power of two q and every partial sum stays below 2^53 q.
// Prices widened from floats nearly always qualify (a float is a 24-bit
// integer times a power of two), and so do differences of two of them. For
// such a series a running window sum (add the newest value, drop the oldest)
// is the very number the in-order sum of the window gives, at a cost that
// does not grow with the period. A series that does not qualify (values far
// apart in scale, not-a-number, infinities) is summed window by window in
// order, as always.

// Collects the finest power of two dividing every value and the largest
// magnitude, and tells whether sums of up to n + 1 of the values are exact.
class ExactSumCheck {
 public:
  void Add(double x) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t(1) << 52) - 1);
    if (biased == 0x7FF) {
      finite_ = false;
      return;
    }
    if (biased == 0 && mantissa == 0) return;  // zero adds nothing
    int scale = -1074;                          // subnormal: mantissa times 2^-1074
    if (biased != 0) {
      mantissa |= std::uint64_t(1) << 52;
      scale = biased - 1075;
    }
    finest_ = std::min(finest_, scale + std::countr_zero(mantissa));
    top_ = std::max(top_, scale + static_cast<int>(std::bit_width(mantissa)));  // |x| < 2^top
  }
  bool Exact(int n) const {
    if (!finite_) return false;
    if (top_ == INT_MIN) return true;  // all zero
    const int room = top_ + static_cast<int>(std::bit_width(static_cast<unsigned>(n) + 1u)) - finest_;
    return room <= 53;
  }

 private:
  bool finite_ = true;
  int finest_ = INT_MAX;
  int top_ = INT_MIN;
};

// Sums of the window of n values ending at i, cut at 0 (values
// WindowStart(i, n) .. i), for i walked upward. value(j) gives the series.
// Every result equals the in-order sum of its window bit for bit.
template <class Value>
class WindowSum {
 public:
  // Prepares the sums for from .. to - 1 (n >= 1).
  WindowSum(Value value, int from, int to, int n) : value_(value), n_(n) {
    ExactSumCheck check;
    for (int j = WindowStart(from, n); j < to; ++j) check.Add(value_(j));
    exact_ = check.Exact(n);
  }
  double At(int i) {
    if (exact_ && i == last_ + 1) {
      sum_ += value_(i);
      if (i - n_ >= 0) sum_ -= value_(i - n_);
    } else {
      sum_ = 0.0;
      for (int j = WindowStart(i, n_); j <= i; ++j) sum_ += value_(j);
    }
    last_ = i;
    return sum_;
  }

 private:
  Value value_;
  int n_;
  bool exact_ = false;
  int last_ = INT_MIN;
  double sum_ = 0.0;
};

template <class Value>
WindowSum<Value> MakeWindowSum(Value value, int from, int to, int n) {
  return WindowSum<Value>(value, from, to, n);
}

// CloseAverage for i = from, from + 1, ... in turn.
template <class Prices>
auto MakeCloseAverages(const Prices& p, int from, int to, int n) {
  auto close = [p](int j) { return p.Close(j); };
  return [sums = MakeWindowSum(close, from, to, n), n](int i) mutable {
    if (i - n + 1 < 0) return 0.0;
    return sums.At(i) / n;
  };
}

template <class Prices>
double LowestLow(const Prices& p, int i, int n) {
  double low = p.Low(i);
  for (int j = WindowStart(i, n); j < i; ++j) low = std::min(low, p.Low(j));
  return low;
}

template <class Prices>
double HighestHigh(const Prices& p, int i, int n) {
  double high = p.High(i);
  for (int j = WindowStart(i, n); j < i; ++j) high = std::max(high, p.High(j));
  return high;
}

// Average close of the n values ending at i; 0 until a full window exists
// counted from 0.
template <class Prices>
double CloseAverage(const Prices& p, int i, int n) {
  if (i - n + 1 < 0) return 0.0;
  double sum = 0.0;
  for (int j = i - n + 1; j <= i; ++j) sum += p.Close(j);
  return sum / n;
}

// Closes above the one before, in the window of n ending at i (from 1 on).
template <class Prices>
int RisingCloseCount(const Prices& p, int i, int n) {
  int count = 0;
  for (int j = std::max(1, i - n + 1); j <= i; ++j)
    if (p.Close(j) > p.Close(j - 1)) ++count;
  return count;
}

// RSV of KDJ: 50 when the window's low or high is 0 or the window is flat.
template <class Prices>
double KdjRsv(const Prices& p, int i, int n) {
  const double l = LowestLow(p, i, n);
  const double h = HighestHigh(p, i, n);
  if (l == 0.0 || h == 0.0 || h == l) return 50.0;
  return (p.Close(i) - l) / (h - l) * 100.0;
}

// MACD over 0 .. count - 1 (count >= 1): EMAs start at the first close.
template <class Prices>
void Macd(const Prices& p, int count, int32_t shortPeriod, int32_t longPeriod, int32_t midPeriod,
          double* shortEma, double* longEma, double* dif, double* dea, double* macd) {
  const double s = shortPeriod, l = longPeriod, m = midPeriod;
  shortEma[0] = longEma[0] = p.Close(0);
  dif[0] = dea[0] = macd[0] = 0.0;
  for (int i = 1; i < count; ++i) {
    const double c = p.Close(i);
    shortEma[i] = (2.0 * c + (s - 1) * shortEma[i - 1]) / (s + 1);
    longEma[i] = (2.0 * c + (l - 1) * longEma[i - 1]) / (l + 1);
    dif[i] = shortEma[i] - longEma[i];
    dea[i] = (2.0 * dif[i] + (m - 1) * dea[i - 1]) / (m + 1);
    macd[i] = (dif[i] - dea[i]) * 2.0;
  }
}

// KDJ over 0 .. count - 1 (count >= 1): K, D and J start at the first RSV.
template <class Prices>
void Kdj(const Prices& p, int count, int32_t n, int32_t m1, int32_t m2, double* k, double* d, double* j) {
  k[0] = d[0] = j[0] = KdjRsv(p, 0, n);
  for (int i = 1; i < count; ++i) {
    const double rsv = KdjRsv(p, i, n);
    k[i] = (m1 - 1) * k[i - 1] / m1 + (1.0 / m1) * rsv;
    d[i] = (1.0 / m2) * k[i] + (m2 - 1) * d[i - 1] / m2;
    j[i] = 3.0 * k[i] - 2.0 * d[i];
  }
}

// One RSI line over 0 .. count - 1 (count >= 1); 0 while nothing has moved.
template <class Prices>
void Rsi(const Prices& p, int count, int32_t n, double* out) {
  double up = 0.0;
  double abs = 0.0;
  out[0] = 0.0;
  for (int i = 1; i < count; ++i) {
    const double d = p.Close(i) - p.Close(i - 1);
    up = (n - 1) * up / n + (1.0 / n) * std::max(d, 0.0);
    abs = (1.0 / n) * std::fabs(d) + (n - 1) * abs / n;
    out[i] = abs == 0.0 ? 0.0 : up / abs * 100.0;
  }
}

// WR1 and WR2 for first .. count - 1; a flat window gives 0 and 2, as every
// chart shows them.
template <class Prices>
void Wr(const Prices& p, int first, int count, int32_t n, int32_t n1, double* wr1, double* wr2) {
  for (int i = first; i < count; ++i) {
    const double c = p.Close(i);
    double h = HighestHigh(p, i, n);
    double l = LowestLow(p, i, n);
    wr1[i] = h - l == 0.0 ? 0.0 : (h - c) * 100.0 / (h - l);
    h = HighestHigh(p, i, n1);
    l = LowestLow(p, i, n1);
    wr2[i] = h - l == 0.0 ? 2.0 : (h - c) * 100.0 / (h - l);
  }
}

// One BIAS line for first .. count - 1; 0 while the average is 0.
template <class Prices>
void Bias(const Prices& p, int first, int count, int32_t n, double* out) {
  auto average = MakeCloseAverages(p, first, count, n);
  for (int i = first; i < count; ++i) {
    const double m = average(i);
    out[i] = m == 0.0 ? 0.0 : (p.Close(i) - m) / m * 100.0;
  }
}

// PSY for 0 .. count - 1: rising closes of the window over n, in percent.
template <class Prices>
void Psy(const Prices& p, int count, int32_t n, double* out) {
  for (int i = 0; i < count; ++i) out[i] = static_cast<double>(RisingCloseCount(p, i, n)) / n * 100.0;
}

}  // namespace indicator_formulas
