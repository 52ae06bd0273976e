// The right-hand part of the main window's status bar that the quote view
// keeps: the text naming the connected site and the two index tickers
// (last, change, change percent, turnover) of "1A0001" and "399001".
#pragma once

#include <cstdint>
#include <string>

#include "marketdata/quote_record.h"
#include "platform/kernel/win_types.h"

constexpr COLORREF kSiteTextColor = 0x3232C8;
constexpr COLORREF kTickerRise = 0x0000FF;
constexpr COLORREF kTickerFlat = 0xD8D8D8;
constexpr COLORREF kTickerFall = 0x38DA00;

// What a ticker shows of one record (copied out of the engine's area).
struct TickerQuote {
  uint8_t decimals;      // 2: two decimals, else three
  float lastPrice;
  float previousClose;
  int32_t changePercent; // hundredths of a percent
  int64_t amount;        // turnover in yuan
};

TickerQuote TickerQuoteOf(const QuoteRecord& record);

// The four texts and three colours of one ticker.
struct TickerTexts {
  std::u16string texts[4];   // last, change, change percent, turnover
  COLORREF colors[3];        // of the first three
};

// A last price whose integer part is 0 gives "-" four times in grey; else
// the price, the change ("-" when exactly 0.0), the percent and the turnover
// by the count rule, coloured against the previous close.
TickerTexts FormatTicker(const TickerQuote& quote);

// The site text: "成功连接到<site>" with the first field of the last
// "PCQuote" record of at least three fields whose second or third field
// contains the configuration's "host"; "连接断开" when none does or there is
// no "host".
std::u16string SiteStatusText();
