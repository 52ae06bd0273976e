#include "quotes/quote_formats.h"

COLORREF QuoteColorAgainst(double value, double reference) {
  if (value > reference) return kQuoteRise;
  if (value < reference) return kQuoteFall;
  return kQuoteFlat;
}

COLORREF QuoteColorBySign(double change) { return QuoteColorAgainst(change, 0.0); }

COLORREF QuoteColorAgainstOne(double ratio) { return QuoteColorAgainst(ratio, 1.0); }
