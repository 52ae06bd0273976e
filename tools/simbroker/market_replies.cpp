#include "tools/simbroker/market_replies.h"

#include <map>
#include <mutex>

#include "tools/simbroker/bar_reply_builders.h"
#include "tools/simbroker/minute_tick_replies.h"
#include "tools/simbroker/quote_list_replies.h"

namespace simbroker {

namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::map<int, ReplyBuilder>& Registry() {
  static std::map<int, ReplyBuilder> builders = {
      {2 << 8 | 1, BuildDictionaryReply},
      {2 << 8 | 32, BuildStockListReply},
      {2 << 8 | 33, BuildStockFieldsReply},
      {2 << 8 | 49, BuildLatestBarsReply},
      {2 << 8 | 55, BuildExRightsReply},
      {2 << 8 | 68, BuildKLineBarsReply},
      {2 << 8 | 91, BuildSupplementAReply},
      {2 << 8 | 92, BuildSupplementBReply},
      {2 << 8 | 40, BuildSortedListReply},
      {2 << 8 | 41, BuildRankingReply},
      {2 << 8 | 42, BuildCategoryListReply},
      {2 << 8 | 43, BuildFieldTableReply},
      {2 << 8 | 45, BuildFieldTableReply},
      {2 << 8 | 46, BuildFieldTableReply},
      {2 << 8 | 69, BuildStockPoolReply},
      {0x33 << 8 | 2, BuildNewsMarksReply},
      {0x33 << 8 | 3, BuildNewsMarksReply},
  };
  static const bool more = (AddMinuteTickReplyBuilders(&builders), true);
  (void)more;
  return builders;
}

void PutIds(Bytes* out, const std::vector<int>& ids) {
  PutU16(out, ids.size());
  for (int id : ids) PutU16(out, static_cast<uint64_t>(id));
}

void PutRecord(Bytes* out, const SimStock& stock, const std::vector<int>& ids) {
  for (int id : ids) PutQuoteField(out, stock, id);
}

// Ids of an update: id 1 first (the client matches records by code), then
// the requested ids without the stock key.
std::vector<int> UpdateIds(const std::vector<int>& requested) {
  std::vector<int> ids{1};
  for (int id : requested) {
    if (id != 0 && id != 1) ids.push_back(id);
  }
  return ids;
}

}  // namespace

void RegisterReplyBuilder(int kind, int type, ReplyBuilder builder) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  if (builder) {
    Registry()[kind << 8 | type] = builder;
  } else {
    Registry().erase(kind << 8 | type);
  }
}

ReplyBuilder FindReplyBuilder(int kind, int type) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  auto it = Registry().find(kind << 8 | type);
  return it == Registry().end() ? nullptr : it->second;
}

bool BuildDictionaryReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  if (mode != kReplyComplete) return false;
  const std::string version = kDictionaryVersion;
  PutU16(body, version.size());
  PutText(body, version);
  if (request.parsed.text == version) {
    PutU16(body, 0);  // up to date
    return true;
  }
  std::vector<SimStock> stocks = data.All();
  PutU16(body, stocks.size());
  for (const SimStock& s : stocks) {
    PutU8(body, 1);  // insert or replace
    PutU8(body, static_cast<uint64_t>(s.market));
    PutU8(body, static_cast<uint64_t>(s.kind));
    PutFixedText(body, s.code, 6);
    PutFixedText(body, s.name, 24);
    PutFixedText(body, s.initials, 6);
  }
  return true;
}

bool BuildStockListReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  std::vector<int> ids = mode == kReplyComplete ? request.parsed.fieldIds : UpdateIds(request.parsed.fieldIds);
  std::vector<SimStock> found;
  for (const auto& [code, market] : request.parsed.stocks) {
    SimStock s;
    if (data.Find(code, market, &s)) found.push_back(s);
  }
  PutIds(body, ids);
  PutU16(body, found.size());
  for (const SimStock& s : found) PutRecord(body, s, ids);
  return true;
}

bool BuildStockFieldsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  (void)mode;
  SimStock s;
  if (!data.Find(request.parsed.code, request.parsed.market, &s)) return false;
  PutIds(body, request.parsed.fieldIds);
  PutRecord(body, s, request.parsed.fieldIds);
  return true;
}

}  // namespace simbroker
