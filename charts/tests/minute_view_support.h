// Minute data for the window tests: what simbroker's minute builder sends
// for a stock after a whole trading day, decoded by the engine's minute
// decoder; the information-mine items of its day from the news builder; and
// small hand-made areas.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "marketdata/json_reply_decoders.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_engine.h"
#include "marketdata/reply_reader.h"
#include "tools/simbroker/market_data.h"
#include "tools/simbroker/minute_tick_replies.h"
#include "tools/simbroker/quote_list_replies.h"

namespace minute_test {

inline TradingHoursTable StandardHours() {
  TradingHoursTable t{};
  t.count = 2;
  t.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
  t.entries[1] = {930, 1130, 1300, 1500, 0, 0, 2, 1130, 242};
  return t;
}

inline simbroker::JournalEntry Request(int kind, int type, const std::string& code, int market,
                                       std::vector<int64_t> numbers, std::vector<int> byteList) {
  simbroker::JournalEntry e;
  e.connection = 1;
  e.kind = kind;
  e.type = type;
  e.sequence = 1;
  e.parsed.code = code;
  e.parsed.market = market;
  e.parsed.numbers = std::move(numbers);
  e.parsed.byteList = std::move(byteList);
  e.parsedOk = true;
  return e;
}

// The served day: the market stepped through `minutes` minutes.
struct ServedDay {
  explicit ServedDay(int minutes = 242, uint32_t seed = 7) : data(seed) {
    for (int i = 0; i < minutes; ++i) {
      data.Step();
      simbroker::RecordTapeTrades(data);
    }
  }
  // The minute area of a stock (or index) as the decoder fills it.
  std::unique_ptr<MinuteArea> Minutes(const std::string& code, int market) const {
    auto area = std::make_unique<MinuteArea>();
    std::memset(area.get(), 0, sizeof(MinuteArea));
    simbroker::Bytes body;
    if (!simbroker::BuildMinuteDataReply(data, Request(2, 48, code, market, {0xFFFF}, {1, 2, 3, 4, 5, 6, 7, 8}), 1,
                                         &body))
      return nullptr;
    ReplyReader r(body.data(), static_cast<int>(body.size()));
    DecodeMinuteData(area.get(), &r, 48, 1);
    simbroker::SimStock stock;
    if (data.Find(code, market, &stock)) {
      std::snprintf(area->key.code, sizeof area->key.code, "%s", stock.code.c_str());
      std::snprintf(area->key.name, sizeof area->key.name, "%s", stock.name.c_str());
    }
    return area;
  }
  // The day's information-mine items of the stock (news request 2).
  NewsListArea Mines(const std::string& code, int market) const {
    NewsListArea area{};
    simbroker::Bytes body;
    const int64_t day = static_cast<int64_t>(data.TradeDate()) * 1000000;
    if (!simbroker::BuildNewsMarksReply(data, Request(0x33, 2, code, market, {day}, {}), 1, &body)) return area;
    ReplyReader r(body.data(), static_cast<int>(body.size()));
    DecodeNewsList(&area, &r, 1);
    return area;
  }
  simbroker::MarketData data;
};

// A news item of the day at hh:mm.
inline NewsRecord MineItem(const char* hhmm, const char* title = "消息") {
  NewsRecord r{};
  std::snprintf(r.longTime, sizeof r.longTime, "20261210%s", hhmm);
  std::snprintf(r.pubTime, sizeof r.pubTime, "2026-12-10 %.2s:%.2s:00", hhmm, hhmm + 2);
  std::snprintf(r.title, sizeof r.title, "%s", title);
  std::snprintf(r.url, sizeof r.url, "http://127.0.0.1/news/%s", hhmm);
  return r;
}

// A stock of `points` minutes rising from 9.90 around a previous close of 10.00.
inline std::unique_ptr<MinuteArea> PlainArea(int points = 242, float previousClose = 10.0f) {
  auto a = std::make_unique<MinuteArea>();
  std::memset(a.get(), 0, sizeof(MinuteArea));
  a->key.market = 1;
  a->key.decimals = 2;
  std::strcpy(a->key.code, "600000");
  std::strcpy(a->key.name, "浦发银行");
  a->previousClose = previousClose;
  for (int i = 0; i < points; ++i) {
    MinutePoint& p = a->points[i];
    p.price = 9.9f + 0.4f * static_cast<float>(i % 242) / 241 + static_cast<float>((i % 7) - 3) * 0.01f;
    p.average = 9.9f + 0.3f * static_cast<float>(i % 242) / 241;
    p.volume = 1000 + (i * 7919) % 50000;
    p.amount = p.volume * 10;
    p.bidVolume = 300000 + i * 10;
    p.askVolume = 200000 + i * 7;
  }
  a->pointsHeld = points;
  a->pointCount = static_cast<int16_t>(std::min(points, 32767));
  return a;
}

}  // namespace minute_test
