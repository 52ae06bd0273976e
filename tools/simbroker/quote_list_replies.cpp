#include "tools/simbroker/quote_list_replies.h"

#include "tools/simbroker/bar_reply_builders.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <string>

namespace simbroker {

namespace {

void PutIdList(Bytes* out, const std::vector<int>& ids) {
  PutU16(out, ids.size());
  for (int id : ids) PutU16(out, static_cast<uint64_t>(id));
}

void PutValues(Bytes* out, const SimStock& stock, const std::vector<int>& ids) {
  for (int id : ids) PutQuoteField(out, stock, id);
}

// Update records carry id 1 first and no stock key.
std::vector<int> UpdateIdList(const std::vector<int>& requested) {
  std::vector<int> ids{1};
  for (int id : requested) {
    if (id != 0 && id != 1) ids.push_back(id);
  }
  return ids;
}

int64_t Number(const JournalEntry& request, size_t index) {
  return index < request.parsed.numbers.size() ? request.parsed.numbers[index] : 0;
}

// Sorts by the field's value (descending when order is 0), ties by code.
void SortStocks(std::vector<SimStock>* stocks, int field, int order) {
  std::stable_sort(stocks->begin(), stocks->end(), [&](const SimStock& a, const SimStock& b) {
    const int64_t va = QuoteFieldValue(a, field), vb = QuoteFieldValue(b, field);
    if (va != vb) return order == 0 ? va > vb : va < vb;
    return a.code < b.code;
  });
}

std::vector<SimStock> Page(const std::vector<SimStock>& all, int64_t start, int64_t rows) {
  std::vector<SimStock> page;
  for (int64_t i = std::max<int64_t>(start, 0); i < static_cast<int64_t>(all.size()) && i < start + rows; ++i) {
    page.push_back(all[static_cast<size_t>(i)]);
  }
  return page;
}

bool Starts(const SimStock& s, const char* prefix) { return s.code.rfind(prefix, 0) == 0; }

bool IsAShare(const SimStock& s) {
  if (s.kind != 2) return false;
  return s.market == 1 ? Starts(s, "6") : (Starts(s, "00") || Starts(s, "30"));
}

bool IsBShare(const SimStock& s) { return s.kind == 2 && (Starts(s, "900") || Starts(s, "200")); }

// The first n stocks by code that keep.
std::vector<SimStock> FirstByCode(std::vector<SimStock> stocks, size_t n) {
  std::sort(stocks.begin(), stocks.end(), [](const SimStock& a, const SimStock& b) { return a.code < b.code; });
  if (stocks.size() > n) stocks.resize(n);
  return stocks;
}

std::vector<SimStock> Where(const std::vector<SimStock>& all, const std::function<bool(const SimStock&)>& keep) {
  std::vector<SimStock> out;
  for (const SimStock& s : all)
    if (keep(s)) out.push_back(s);
  return out;
}

}  // namespace

bool CatalogueList(const std::vector<SimStock>& all, int64_t listId, std::vector<SimStock>* out) {
  auto sh = [](const SimStock& s) { return IsAShare(s) && s.market == 1; };
  auto sz = [](const SimStock& s) { return IsAShare(s) && s.market == 2; };
  switch (listId) {
    case 1101: case 1110: *out = Where(all, IsAShare); return true;
    case 1102: *out = Where(all, sh); return true;
    case 1103: *out = Where(all, sz); return true;
    case 1105: *out = Where(all, [](const SimStock& s) { return IsAShare(s) && Starts(s, "002"); }); return true;
    case 1106: *out = Where(all, [](const SimStock& s) { return IsAShare(s) && Starts(s, "300"); }); return true;
    case 1107: *out = Where(all, IsBShare); return true;
    case 1108: *out = Where(all, [](const SimStock& s) { return IsBShare(s) && s.market == 1; }); return true;
    case 1109: *out = Where(all, [](const SimStock& s) { return IsBShare(s) && s.market == 2; }); return true;
    // Index constituents: the leading codes of their market.
    case 1112: *out = FirstByCode(Where(all, sh), 50); return true;
    case 1113: *out = FirstByCode(Where(all, sh), 180); return true;
    case 1114: *out = FirstByCode(Where(all, sz), 40); return true;
    case 1115: *out = FirstByCode(Where(all, sz), 100); return true;
    case 1116: {
      *out = FirstByCode(Where(all, sh), 150);
      const std::vector<SimStock> more = FirstByCode(Where(all, sz), 150);
      out->insert(out->end(), more.begin(), more.end());
      return true;
    }
    case 3108: *out = Where(all, [](const SimStock& s) { return s.kind == 3 && (Starts(s, "51") || Starts(s, "159")); });
      return true;
    case 3107: *out = Where(all, [](const SimStock& s) { return s.kind == 3 && Starts(s, "16"); }); return true;
    // Lists the simulated market has no members for.
    case 3103: case 36: case 37: case 1813: case 1814: case 99992005:
    case 410602: case 410603: case 410604: case 410605: case 410606: case 410607:
    case 440101: case 440201: case 440301: case 440401: case 440501:
      out->clear();
      return true;
    default: return false;
  }
}

namespace {

std::vector<SimStock> OfKind(const MarketData& data, int kind) {
  std::vector<SimStock> out;
  for (const SimStock& s : data.All()) {
    if (kind == 0 || s.kind == kind) out.push_back(s);
  }
  return out;
}

std::string JsonEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

int64_t QuoteFieldValue(const SimStock& stock, int id) {
  const int width = QuoteFieldWidth(id);
  if (id == 0 || id == 1 || id == 357 || width == 0) return 0;
  Bytes bytes;
  PutQuoteField(&bytes, stock, id);
  uint64_t v = 0;
  for (unsigned char b : bytes) v = v << 8 | b;
  if (width < 8 && (v >> (8 * width - 1)) & 1) v |= ~uint64_t{0} << (8 * width);  // sign-extend
  if (id == 1016 || id == 2010 || id == 2011) v &= 0xFFFF;                          // u16 forms
  if (id == 807 || id == 808) v &= 0xFF;
  return static_cast<int64_t>(v);
}

std::vector<SimStock> SyntheticStocks(int count, uint64_t seed) {
  std::mt19937_64 random(seed ^ 0x5EED5EEDull);
  std::uniform_real_distribution<double> price(2.0, 80.0);
  std::uniform_int_distribution<int64_t> lots(100, 50000);
  std::vector<SimStock> out;
  for (int i = 0; i < count; ++i) {
    SimStock s{};
    const bool shanghai = i % 2 == 0;
    char code[8];
    std::snprintf(code, sizeof code, shanghai ? "6%05d" : "00%04d", shanghai ? 3000 + i / 2 : 3000 + i / 2);
    s.code = code;
    s.name = std::string("模拟") + code;
    s.initials = "MN";
    s.market = shanghai ? 1 : 2;
    s.kind = 2;
    s.decimals = 2;
    s.prevClose = std::round(price(random) * 100.0) / 100.0;
    s.open = s.high = s.low = s.last = s.prevClose;
    s.volume = lots(random) * 100;
    s.amount = static_cast<int64_t>(static_cast<double>(s.volume) * s.prevClose);
    out.push_back(s);
  }
  return out;
}

bool BuildSortedListReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  (void)mode;
  const int64_t high = Number(request, 0), low = Number(request, 1);
  std::vector<SimStock> all = data.All();
  std::vector<SimStock> listed;
  const int64_t listId = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | (static_cast<uint64_t>(low) & 0xFFFFFFFFu));
  if (CatalogueList(all, listId, &listed)) all = std::move(listed);
  SortStocks(&all, static_cast<int>(Number(request, 4)), static_cast<int>(Number(request, 5)));
  const std::vector<SimStock> page = Page(all, Number(request, 2), Number(request, 3));
  PutU32(body, static_cast<uint64_t>(high));
  PutU32(body, static_cast<uint64_t>(low));
  PutU32(body, all.size());
  PutIdList(body, request.parsed.fieldIds);
  PutU16(body, page.size());
  for (const SimStock& s : page) PutValues(body, s, request.parsed.fieldIds);
  return true;
}

bool BuildCategoryListReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  (void)mode;
  const int category = static_cast<int>(Number(request, 0)) & 0xFF;
  std::vector<SimStock> all = OfKind(data, category >= 1 && category <= 3 ? category : 0);
  SortStocks(&all, static_cast<int>(Number(request, 3)), static_cast<int>(Number(request, 4)));
  const std::vector<SimStock> page = Page(all, Number(request, 1), Number(request, 2));
  PutU16(body, all.size());
  PutIdList(body, request.parsed.fieldIds);
  PutU16(body, page.size());
  for (const SimStock& s : page) PutValues(body, s, request.parsed.fieldIds);
  return true;
}

bool BuildRankingReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  if (mode != kReplyComplete) return false;
  struct Box {
    int field;
    int order;
  };
  static const Box kBoxes[9] = {{34, 0}, {34, 1}, {41, 0}, {36, 0}, {36, 1}, {33, 0}, {38, 0}, {38, 1}, {11, 0}};
  const std::vector<SimStock> all = data.All();
  const int64_t perBox = std::min<int64_t>({Number(request, 2), 28, static_cast<int64_t>(all.size())});
  PutU64(body, static_cast<uint64_t>(Number(request, 0)));
  PutU8(body, static_cast<uint64_t>(std::max<int64_t>(perBox, 0)));
  for (int b = 0; b < 9; ++b) {
    std::vector<SimStock> ranked = all;
    SortStocks(&ranked, kBoxes[b].field, kBoxes[b].order);
    for (int64_t i = 0; i < perBox; ++i) {
      const SimStock& s = ranked[static_cast<size_t>(i)];
      PutStockKey(body, s);
      PutQuoteField(body, s, 8);
      PutQuoteField(body, s, 4);
      PutU8(body, static_cast<uint64_t>(b + 1));
      if (b + 1 == 9) {
        PutU64(body, static_cast<uint64_t>(QuoteFieldValue(s, 11)));
      } else {
        PutU32(body, 0);
        PutU32(body, static_cast<uint64_t>(QuoteFieldValue(s, kBoxes[b].field)));
      }
    }
  }
  return true;
}

bool BuildFieldTableReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  const int kind = request.type == 43 ? 1 : request.type == 45 ? 3 : 2;
  std::vector<SimStock> rows = OfKind(data, kind);
  if (rows.size() > 64) rows.resize(64);
  const std::vector<int> ids = mode == kReplyComplete ? request.parsed.fieldIds : UpdateIdList(request.parsed.fieldIds);
  PutIdList(body, ids);
  PutU16(body, rows.size());
  for (const SimStock& s : rows) PutValues(body, s, ids);
  return true;
}

bool BuildStockPoolReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  (void)request;
  if (mode != kReplyComplete) return false;
  std::vector<SimStock> stocks = OfKind(data, 2);
  SortStocks(&stocks, 34, 0);
  if (stocks.size() > 50) stocks.resize(50);
  std::string json = "{\"result\":{\"code\":1,\"msg\":\"\"},\"title\":\"强势股池\",\"totalrow\":" +
                     std::to_string(stocks.size()) +
                     ",\"head\":[{\"id\":1,\"sort\":0,\"tag\":\"code\",\"display\":1,\"label\":\"代码\",\"type\":\"string\"},"
                     "{\"id\":2,\"sort\":0,\"tag\":\"name\",\"display\":1,\"label\":\"名称\",\"type\":\"string\"},"
                     "{\"id\":8,\"sort\":1,\"tag\":\"price\",\"display\":1,\"label\":\"现价\",\"type\":\"float\"},"
                     "{\"id\":34,\"sort\":1,\"tag\":\"chg\",\"display\":1,\"label\":\"涨幅\",\"type\":\"percent\"}],\"body\":[";
  for (size_t i = 0; i < stocks.size(); ++i) {
    const SimStock& s = stocks[i];
    char price[32], change[32];
    std::snprintf(price, sizeof price, "%.2f", static_cast<double>(QuoteFieldValue(s, 8)) / 10000.0);
    std::snprintf(change, sizeof change, "%.2f", static_cast<double>(QuoteFieldValue(s, 34)) / 100.0);
    json += (i ? ",[\"" : "[\"") + JsonEscape(s.code) + "\",\"" + JsonEscape(s.name) + "\",\"" + price + "\",\"" +
            change + "\"]";
  }
  json += "]}";
  PutU32(body, json.size());
  PutText(body, json);
  return true;
}

namespace {

// One news item of a mark reply.
std::string NewsItem(const SimStock& s, const std::string& base, int32_t date, const char* hhmm, int number) {
  static const char* kTitles[3] = {"\\u516c\\u544a\\uff1a", "业绩预告：", "\\u7814\\u62a5："};
  const std::string d = std::to_string(date);
  const std::string dashed = d.size() == 8 ? d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) : d;
  const std::string time = std::string(hhmm, 2) + ":" + std::string(hhmm + 2, 2);
  return "{\"pubTime\":\"" + dashed + " " + time + ":00\",\"title\":\"" + kTitles[(number - 1) % 3] +
         JsonEscape(s.name) + "\",\"url\":\"" + base + "/news/" + s.code + "-" + std::to_string(number) +
         ".html\",\"index\":" + std::to_string(number) + ",\"longTime\":\"" + d + hhmm + "\"}";
}

uint32_t CodeSeed(const std::string& code) {
  uint32_t seed = 2166136261u;
  for (unsigned char c : code) seed = (seed ^ c) * 16777619u;
  return seed;
}

}  // namespace

bool BuildNewsMarksReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  if (mode != kReplyComplete) return false;
  SimStock s;
  if (!data.Find(request.parsed.code, request.parsed.market, &s)) return false;
  static const char* kTimes[3] = {"0930", "1115", "1402"};
  const std::string base = data.HttpBase();
  std::vector<std::string> items;
  if (request.type == 2) {
    // The minute chart's day (YYYYMMDD000000): three items of that day.
    int64_t day = Number(request, 0);
    if (day > 99991231) day /= 1000000;
    for (int i = 0; i < 3; ++i) items.push_back(NewsItem(s, base, static_cast<int32_t>(day), kTimes[i], i + 1));
  } else {
    // The K-line chart's dates (YYYYMMDD first and last): five to eight
    // items on four to six trading days spread over the range, two on the
    // first of them.
    const int64_t first = Number(request, 0), last = Number(request, 1);
    std::vector<int32_t> days;
    for (const WireBar& bar : ServedBars(s, data.TradeDate(), 33)) {
      const int32_t date =
          static_cast<int32_t>((bar.time >> 20) * 10000 + (bar.time >> 16 & 0xF) * 100 + (bar.time >> 11 & 0x1F));
      if (date >= first && date <= last) days.push_back(date);
    }
    const uint32_t seed = CodeSeed(s.code);
    const size_t wanted = std::min<size_t>(days.size(), 4 + seed % 3);
    int number = 0;
    for (size_t k = 0; k < wanted; ++k) {
      const size_t at = wanted == 1 ? days.size() - 1 : k * (days.size() - 1) / (wanted - 1);
      int count = k == 0 ? 2 : 1;
      if (k == wanted / 2 && (seed >> 4) % 2 == 1) ++count;  // a second day with two items now and then
      for (int i = 0; i < count; ++i) {
        ++number;
        items.push_back(NewsItem(s, base, days[at], kTimes[i], number));
      }
    }
  }
  std::string json = "{\"total\":" + std::to_string(items.size()) + ",\"data\":[";
  for (size_t i = 0; i < items.size(); ++i) json += (i ? "," : "") + items[i];
  json += "]}";
  PutFixedText(body, s.code, 6);
  PutU8(body, static_cast<uint64_t>(s.market));
  PutU32(body, json.size());
  PutText(body, json);
  return true;
}

}  // namespace simbroker
