#include "marketdata/trading_hours.h"

#include <cstdlib>
#include <cstring>

#include "foundation/xml_reader.h"

namespace {

constexpr int kTradingHoursRoom = 32;

int MinuteOfDay(int hhmm) { return hhmm / 100 * 60 + hhmm % 100; }

int32_t Attribute(const XmlNode* node, const char* name) {
  const char* value = FindXmlAttribute(node->attributes, name);
  return value ? static_cast<int32_t>(std::strtol(value, nullptr, 10)) : 0;
}

}  // namespace

int TradingMinutes(const TradingHoursEntry& e) {
  int firstClose = e.firstClose < e.firstOpen ? e.firstClose + 2400 : e.firstClose;
  int minutes = MinuteOfDay(firstClose) - MinuteOfDay(e.firstOpen) + MinuteOfDay(e.secondClose) -
                MinuteOfDay(e.secondOpen) + 2;
  if (e.thirdOpen != 0 && e.thirdClose != 0) minutes += MinuteOfDay(e.thirdClose) - MinuteOfDay(e.thirdOpen) + 1;
  return minutes;
}

void LoadTradingHours(const char* text, TradingHoursTable* table) {
  if (!text || !table) return;
  const char* cursor = text;
  XmlNode* root = ParseXmlNode(&cursor);
  if (!root) return;
  std::memset(table, 0, sizeof *table);
  for (XmlNode* node = FindXmlSibling(root, "Market"); node; node = FindXmlNextSibling(node, "Market")) {
    if (table->count >= kTradingHoursRoom) break;  // entries beyond the table are ignored
    TradingHoursEntry& e = table->entries[table->count];
    e.firstOpen = Attribute(node, "firstopen");
    e.firstClose = Attribute(node, "firstclose");
    e.secondOpen = Attribute(node, "secondopen");
    e.secondClose = Attribute(node, "secondclose");
    e.thirdOpen = Attribute(node, "thirdopen");
    e.thirdClose = Attribute(node, "thirdclose");
    e.midScale = Attribute(node, "midscale");
    e.marketId = Attribute(node, "id");
    e.minutesPerDay = TradingMinutes(e);
    if (e.minutesPerDay > table->maxMinutes) table->maxMinutes = e.minutesPerDay;
    ++table->count;
  }
  FreeXmlTree(root);
}

const TradingHoursEntry* FindTradingHours(const TradingHoursTable* table, int marketId) {
  if (!table) return nullptr;
  for (int i = 0; i < table->count && i < kTradingHoursRoom; ++i) {
    if (table->entries[i].marketId == marketId) return &table->entries[i];
  }
  return nullptr;
}
