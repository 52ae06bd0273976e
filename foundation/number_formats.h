// Number texts of the market windows: counts (volumes, amounts, shares),
// prices by the decimals byte, percentages and ratios of scaled integers.
//
// Every function writes a zero-ended UTF-16 text into the caller's buffer
// out[0 .. outSize - 1], at most outSize - 1 units and never more than
// kNumberTextUnits (63) units, and returns the number of units written
// (without the terminator). A null out or an outSize of 0 or less writes
// nothing and returns 0. Texts longer than the room are cut (a price of
// 1e300 prints its first digits). Reentrant, no allocation.
//
// The count rule (the "large-number rule"), computed in floating point on
// the signed value, so the most negative 64-bit value does not overflow:
//   |v| >= 100,000,000  "%.2f亿" of v / 10^8
//   |v| >= 10,000       "%.2f万" of v / 10^4
//   v == 0              "-" (CountZero::Dash) or "0" (CountZero::Digit)
//   otherwise           "%lld"
// 32-bit inputs go through the int64_t overload: they are sign-extended.
#pragma once

#include <cstdint>

inline constexpr int kNumberTextUnits = 63;        // longest text a cell holds
inline constexpr int kNumberTextSize = kNumberTextUnits + 1;  // buffer with terminator

enum class CountZero {
  Dash,   // 0 prints "-"
  Digit,  // 0 prints "0"
};

// The count text of value by the large-number rule above.
int FormatCount(int64_t value, char16_t* out, int outSize, CountZero zero = CountZero::Dash);

// A price: "-" for exactly 0.0; "%.2f" when decimals is 2, else "%.3f"
// (NaN and infinities print as the C library formats them).
int FormatPrice(double price, uint8_t decimals, char16_t* out, int outSize);

// A percentage given in hundredths of a percent: "%.2f%%" of value / 100
// (-123 prints "-1.23%"; 0 prints "0.00%").
int FormatPercent(int64_t hundredths, char16_t* out, int outSize);

// A ratio given in ten-thousandths: "%.2f" of value / 10,000, "-" for 0.
int FormatRatio(int64_t tenThousandths, char16_t* out, int outSize);

// Volumes are counts: the same text as FormatCount with CountZero::Dash.
int FormatVolume(int64_t volume, char16_t* out, int outSize);

// A price that is always written, also when it is 0 (a change of 0 prints
// "0.00"): "%.2f" when decimals is 2, else "%.3f".
int FormatPriceAlways(double price, uint8_t decimals, char16_t* out, int outSize);

// The change of a over b in percent: "%.2f%%" of (a - b) / b * 10,000 / 100
// when a > 0 and b > 0, else "0.00%".
int FormatChangePercent(double a, double b, char16_t* out, int outSize);

// A volume ratio in ten-thousandths as the quote panels show it: the value
// divided by 100 in integer arithmetic (truncating), then "%.2f" of that
// quotient / 100 (12,399 prints "1.23", 0 prints "0.00").
int FormatVolumeRatio(int32_t tenThousandths, char16_t* out, int outSize);

// A share (a fraction of 1): "%.2f%%" of share * 10,000 / 100 (0.1234
// prints "12.34%").
int FormatShare(double share, char16_t* out, int outSize);
