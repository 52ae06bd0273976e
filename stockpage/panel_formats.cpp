#include "stockpage/panel_formats.h"

#include "foundation/number_formats.h"

#include <cstdio>

namespace panel {

namespace {

int StoreAscii(const char* ascii, char16_t* out, int outSize) {
  if (out == nullptr || outSize <= 0) return 0;
  int room = outSize - 1;
  if (room > kNumberTextUnits) room = kNumberTextUnits;
  int n = 0;
  for (const char* p = ascii; *p != '\0' && n < room; ++p) out[n++] = static_cast<unsigned char>(*p);
  out[n] = 0;
  return n;
}

}  // namespace

uint32_t ColorAgainst(double value, double reference) {
  if (value > reference) return kRed;
  if (value < reference) return kGreen;
  return kWhite;
}

uint32_t ColorBySign(double value) { return ColorAgainst(value, 0.0); }

uint32_t VolumeRatioColor(int32_t tenThousandths) {
  if (tenThousandths > 10000) return kRed;
  if (tenThousandths < 10000) return kGreen;
  return kWhite;
}

uint32_t TickVolumeColor(uint8_t kind, int64_t volume) {
  return kind == 2 && volume >= 500 ? kMagenta : kYellow;
}

uint32_t DirectionColor(uint8_t direction, uint32_t previous) {
  if (direction == 'B') return kRed;
  if (direction == 'S') return kGreen;
  return previous;
}

int FormatTickTime(int32_t hhmmss, char16_t* out, int outSize) {
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hhmmss / 10000, hhmmss % 10000 / 100, hhmmss % 100);
  return StoreAscii(text, out, outSize);
}

int FormatTickSeconds(int32_t hhmmss, char16_t* out, int outSize) {
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, ":%02d", hhmmss % 100);
  return StoreAscii(text, out, outSize);
}

const char16_t* FuturesNatureText(int code) {
  static const char16_t* const kTexts[] = {u"空换", u"双平", u"双开", u"空开", u"多平", u"多换", u"多开", u"空平"};
  if (code < 1 || code > 8) return u"";
  return kTexts[code - 1];
}

}  // namespace panel
