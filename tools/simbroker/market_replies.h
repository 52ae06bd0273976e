// Reply builders of the market-data server, one per request type, kept in a
// registry so that every further reply type adds its builder beside these.
#pragma once

#include "tools/simbroker/market_data.h"
#include "tools/simbroker/market_requests.h"

namespace simbroker {

constexpr int kReplyComplete = 1;
constexpr int kReplyUpdate = 2;

// Writes the reply body (after the 8-byte header) for request in the given
// mode (complete or update). False: nothing to send for this request (for
// example an unknown stock, or a type without pushed updates).
typedef bool (*ReplyBuilder)(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);

// Puts a builder in place for (packet kind, request type); null removes it.
void RegisterReplyBuilder(int kind, int type, ReplyBuilder builder);
// The builder for (kind, type), or null.
ReplyBuilder FindReplyBuilder(int kind, int type);

// The built-in builders (registered from the start).
bool BuildDictionaryReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);   // 1
bool BuildStockListReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);    // 32
bool BuildStockFieldsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body);  // 33

// The dictionary version the server announces.
constexpr char kDictionaryVersion[] = "1";

}  // namespace simbroker
