#include "quotes/status_tickers.h"

#include <cstdlib>
#include <cstring>

#include "foundation/config_store.h"
#include "foundation/number_formats.h"
#include "foundation/server_directory.h"
#include "foundation/string_helpers.h"
#include "foundation/text_codec.h"

namespace {

std::u16string FromUtf8(const char* text) {
  WCHAR* wide = Utf8ToUtf16Alloc(text);
  if (!wide) return std::u16string();
  std::u16string out(wide);
  std::free(wide);
  return out;
}

const char* FieldAt(const StringList* fields, int index) {
  for (int i = 0; fields && i < index; ++i) fields = fields->next;
  return fields ? fields->text : nullptr;
}

int FieldCount(const StringList* fields) {
  int count = 0;
  for (; fields; fields = fields->next) ++count;
  return count;
}

}  // namespace

TickerQuote TickerQuoteOf(const QuoteRecord& record) {
  return TickerQuote{record.key.decimals, record.lastPrice, record.previousClose, record.changePercent,
                     record.amount};
}

TickerTexts FormatTicker(const TickerQuote& quote) {
  TickerTexts out;
  if (static_cast<int64_t>(quote.lastPrice) == 0) {
    for (auto& text : out.texts) text = u"-";
    for (auto& color : out.colors) color = kTickerFlat;
    return out;
  }
  char16_t buffer[kNumberTextSize];
  FormatPrice(quote.lastPrice, quote.decimals, buffer, kNumberTextSize);
  out.texts[0] = buffer;
  const double change = static_cast<double>(quote.lastPrice) - static_cast<double>(quote.previousClose);
  FormatPrice(change, quote.decimals, buffer, kNumberTextSize);
  out.texts[1] = buffer;
  FormatPercent(quote.changePercent, buffer, kNumberTextSize);
  out.texts[2] = buffer;
  FormatCount(quote.amount, buffer, kNumberTextSize, CountZero::Dash);
  out.texts[3] = buffer;
  COLORREF color = kTickerFlat;
  if (quote.lastPrice > quote.previousClose) color = kTickerRise;
  if (quote.lastPrice < quote.previousClose) color = kTickerFall;
  for (auto& c : out.colors) c = color;
  return out;
}

std::u16string SiteStatusText() {
  std::u16string text = u"连接断开";
  const char* host = GetConfig("host");
  RecordList* records = GetServerRecords("PCQuote");
  if (host) {
    for (RecordList* record = records; record; record = record->next) {
      if (FieldCount(record->fields) < 3) continue;
      const char* level1 = FieldAt(record->fields, 1);
      const char* level2 = FieldAt(record->fields, 2);
      if (!std::strstr(level1, host) && !std::strstr(level2, host)) continue;
      text = u"成功连接到" + FromUtf8(FieldAt(record->fields, 0));
    }
  }
  FreeRecordList(&records);
  return text;
}
