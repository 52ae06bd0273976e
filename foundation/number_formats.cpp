#include "foundation/number_formats.h"

#include <cmath>
#include <cstdio>

namespace {

// Copies the ASCII text and then the optional unit character into out,
// bounded by outSize and kNumberTextUnits. Returns the units written.
int Store(const char* ascii, char16_t unit, char16_t* out, int outSize) {
  if (out == nullptr || outSize <= 0) return 0;
  int room = outSize - 1;
  if (room > kNumberTextUnits) room = kNumberTextUnits;
  int n = 0;
  for (const char* p = ascii; *p != '\0' && n < room; ++p) out[n++] = static_cast<unsigned char>(*p);
  if (unit != 0 && n < room) out[n++] = unit;
  out[n] = 0;
  return n;
}

int StoreFixed2(double value, char16_t unit, char16_t* out, int outSize) {
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, "%.2f", value);
  return Store(text, unit, out, outSize);
}

}  // namespace

int FormatCount(int64_t value, char16_t* out, int outSize, CountZero zero) {
  if (value == 0) return Store(zero == CountZero::Dash ? "-" : "0", 0, out, outSize);
  const double v = static_cast<double>(value);
  if (std::fabs(v) >= 100000000.0) return StoreFixed2(v / 100000000.0, u'亿', out, outSize);
  if (std::fabs(v) >= 10000.0) return StoreFixed2(v / 10000.0, u'万', out, outSize);
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  return Store(text, 0, out, outSize);
}

int FormatVolume(int64_t volume, char16_t* out, int outSize) {
  return FormatCount(volume, out, outSize, CountZero::Dash);
}

int FormatPrice(double price, uint8_t decimals, char16_t* out, int outSize) {
  if (price == 0.0) return Store("-", 0, out, outSize);
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, decimals == 2 ? "%.2f" : "%.3f", price);
  return Store(text, 0, out, outSize);
}

int FormatPercent(int64_t hundredths, char16_t* out, int outSize) {
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, "%.2f%%", static_cast<double>(hundredths) / 100.0);
  return Store(text, 0, out, outSize);
}

int FormatRatio(int64_t tenThousandths, char16_t* out, int outSize) {
  if (tenThousandths == 0) return Store("-", 0, out, outSize);
  return StoreFixed2(static_cast<double>(tenThousandths) / 10000.0, 0, out, outSize);
}

int FormatPriceAlways(double price, uint8_t decimals, char16_t* out, int outSize) {
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, decimals == 2 ? "%.2f" : "%.3f", price);
  return Store(text, 0, out, outSize);
}

int FormatChangePercent(double a, double b, char16_t* out, int outSize) {
  if (!(a > 0.0 && b > 0.0)) return Store("0.00%", 0, out, outSize);
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, "%.2f%%", (a - b) / b * 10000.0 / 100.0);
  return Store(text, 0, out, outSize);
}

int FormatVolumeRatio(int32_t tenThousandths, char16_t* out, int outSize) {
  const int32_t hundredths = tenThousandths / 100;
  return StoreFixed2(static_cast<double>(hundredths) / 100.0, 0, out, outSize);
}

int FormatShare(double share, char16_t* out, int outSize) {
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, "%.2f%%", share * 10000.0 / 100.0);
  return Store(text, 0, out, outSize);
}
