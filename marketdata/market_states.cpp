#include "marketdata/market_states.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "foundation/string_helpers.h"
#include "foundation/user_folders.h"
#include "marketdata/reply_reader.h"

namespace {

constexpr char kMarketStateFile[] = "res\\maketinfo.data";
constexpr int kEntryRoom = 256;   // bytes of one <market> content
constexpr int kValueRoom = 64;    // bytes of one value

// Guards every engine's saved table (merge, save, load and lookups).
std::recursive_mutex& SavedTableLock() {
  static std::recursive_mutex lock;
  return lock;
}

// Decimal value of the text (leading '-' allowed); 0 for an empty text.
int32_t DecimalValue(const char* text) {
  bool negative = *text == '-';
  if (negative) ++text;
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + (*text - '0');
  return static_cast<int32_t>(negative ? -value : value);
}

int32_t ValueBetween(const char* content, const char* open, const char* close) {
  char value[kValueRoom] = {};
  if (ExtractBetween(content, value, sizeof value, open, close) < 0) return 0;
  return DecimalValue(value);
}

}  // namespace

void DecodeMarketInfo(ReplyReader* body, MarketStateTable* table) {
  if (!body || !table) return;
  std::memset(table, 0, sizeof *table);
  int8_t n = 0;
  if (!body->ReadS8(&n)) return;
  const int count = body->ClampCount(n, kMaxMarketStates, 6);
  for (int i = 0; i < count; ++i) {
    MarketState entry{};
    int32_t date = 0;
    if (!body->ReadU8(&entry.id) || !body->ReadS32(&date) || !body->ReadU8(&entry.state)) return;
    entry.date = date;
    table->entries[table->count++] = entry;
  }
}

void SaveMarketStates(QuoteEngine* engine) {
  std::lock_guard<std::recursive_mutex> hold(SavedTableLock());
  MarketStateTable& saved = engine->savedMarkets;
  const MarketStateTable& latest = engine->latestMarkets;
  for (int i = 0; i < latest.count; ++i) {
    const MarketState& entry = latest.entries[i];
    bool merged = false;
    for (int j = 0; j < saved.count && !merged; ++j) {
      if (saved.entries[j].id != entry.id) continue;
      saved.entries[j].date = entry.date;
      saved.entries[j].state = entry.state;
      merged = true;
    }
    if (!merged && saved.count < kMaxMarketStates) saved.entries[saved.count++] = entry;
  }
  std::string text;
  for (int i = 0; i < saved.count; ++i) {
    const MarketState& e = saved.entries[i];
    char one[160];
    // Id and state are written as the signed bytes the table holds.
    int length = std::snprintf(one, sizeof one, "<market><id>%d</id><date>%d</date><state>%d</state></market>",
                               static_cast<int8_t>(e.id), e.date, static_cast<int8_t>(e.state));
    if (length > 0) text.append(one, static_cast<size_t>(length));
  }
  WriteDataFile(kMarketStateFile, text.data(), static_cast<int>(text.size()));
}

void LoadMarketStates(QuoteEngine* engine) {
  std::lock_guard<std::recursive_mutex> hold(SavedTableLock());
  MarketStateTable& saved = engine->savedMarkets;
  std::memset(&saved, 0, sizeof saved);
  FileBlob* blob = ReadDataFile(kMarketStateFile);
  if (!blob) return;
  const char* cursor = blob->data;
  const char* end = blob->data + blob->size;
  while (cursor < end && saved.count < kMaxMarketStates) {
    char content[kEntryRoom] = {};
    int step = ExtractBetween(cursor, content, sizeof content, "<market>", "</market>");
    if (step < 0) break;
    MarketState& e = saved.entries[saved.count++];
    e.id = static_cast<uint8_t>(ValueBetween(content, "<id>", "</id>"));
    e.date = ValueBetween(content, "<date>", "</date>");
    e.state = static_cast<uint8_t>(ValueBetween(content, "<state>", "</state>"));
    // ExtractBetween counts from the start marker; skip any bytes before it
    // as well, so a stray byte between entries cannot stall the walk.
    const char* start = std::strstr(cursor, "<market>");
    cursor = (start ? start : cursor) + step;
  }
  FreeFileBlob(blob);
}

int64_t GetMarketTradeDate(QuoteEngine* engine, int marketId) {
  std::lock_guard<std::recursive_mutex> hold(SavedTableLock());
  int64_t date = 0;
  const MarketStateTable& saved = engine->savedMarkets;
  for (int i = 0; i < saved.count; ++i) {
    if (saved.entries[i].id == static_cast<uint8_t>(marketId)) date = saved.entries[i].date;
  }
  return date;
}
