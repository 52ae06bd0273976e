// Quote colours and the cell rules of the quote tables, over the number
// texts of foundation/number_formats.h. Colours are COLORREF values
// (0x00BBGGRR) handed to the grid as they are.
#pragma once

#include <cstdint>

#include "foundation/number_formats.h"
#include "platform/kernel/win_types.h"

constexpr COLORREF kQuoteRise = 0x4F4FFF;       // above the reference: red
constexpr COLORREF kQuoteFlat = 0xF2F2F2;       // equal to the reference
constexpr COLORREF kQuoteFall = 0x36FF36;       // below the reference: green
constexpr COLORREF kQuoteCode = 0x33FFFD;       // codes and names: yellow
constexpr COLORREF kQuoteOwnStock = 0xFFFF43;   // watch-list stocks: cyan
constexpr COLORREF kQuoteHeader = 0xFFFFFF;     // column headers: white
constexpr COLORREF kQuoteVolume = 0x258CFF;     // volumes: orange
constexpr COLORREF kQuoteAmount = 0xFFFF00;     // amounts: aqua

// Rise, flat or fall of value against its reference (the previous close, for
// futures the previous settlement).
COLORREF QuoteColorAgainst(double value, double reference);
// Rise, flat or fall by the sign of a change.
COLORREF QuoteColorBySign(double change);
// Rise, flat or fall of a ratio against 1.00.
COLORREF QuoteColorAgainstOne(double ratio);

// Cell texts (UTF-16, at most kNumberTextUnits units, zero-ended; the result
// is the number of units written): a price by its decimals byte, a percent of
// hundredths, a ratio of ten-thousandths, a volume or amount.
inline int FormatPriceCell(double price, uint8_t decimals, char16_t* out, int outSize) {
  return FormatPrice(price, decimals, out, outSize);
}
inline int FormatPercentCell(int64_t hundredths, char16_t* out, int outSize) {
  return FormatPercent(hundredths, out, outSize);
}
inline int FormatRatioCell(int64_t tenThousandths, char16_t* out, int outSize) {
  return FormatRatio(tenThousandths, out, outSize);
}
inline int FormatVolumeCell(int64_t volume, char16_t* out, int outSize) {
  return FormatVolume(volume, out, outSize);
}
