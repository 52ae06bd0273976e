#include "tools/simbroker/market_data.h"

#include <algorithm>
#include <cmath>

#include "tools/simbroker/quote_field_values.h"

namespace simbroker {

namespace {

struct Seed {
  const char* code;
  const char* name;
  const char* initials;
  int market;
  int kind;
  double prevClose;
};

const Seed kSeeds[] = {
    {"1A0001", "上证指数", "SZZS", 1, 1, 3054.67},  {"399001", "深证成指", "SZCZ", 2, 1, 9566.09},
    {"1A0300", "沪深300", "HS300", 1, 1, 3566.31},  {"399006", "创业板指", "CYBZ", 2, 1, 1878.58},
    {"600000", "浦发银行", "PFYH", 1, 2, 7.03},     {"600036", "招商银行", "ZSYH", 1, 2, 32.25},
    {"600519", "贵州茅台", "GZMT", 1, 2, 1712.20},  {"601318", "中国平安", "ZGPA", 1, 2, 41.76},
    {"000001", "平安银行", "PAYH", 2, 2, 10.55},    {"000002", "万科Ａ", "WKA", 2, 2, 7.21},
    {"000858", "五粮液", "WLY", 2, 2, 145.30},      {"300750", "宁德时代", "NDSD", 2, 2, 181.02},
    {"510050", "上证50ETF", "SZ50", 1, 3, 2.436},  {"159915", "创业板ETF", "CYB", 2, 3, 1.812},
};

int64_t Price(double value) { return std::llround(value * 10000.0); }

bool In(int id, int first, int last) { return id >= first && id <= last; }

}  // namespace

MarketData::MarketData(uint64_t seed) : random_(seed) {
  for (const Seed& s : kSeeds) {
    SimStock stock{};
    stock.code = s.code;
    stock.name = s.name;
    stock.initials = s.initials;
    stock.market = s.market;
    stock.kind = s.kind;
    stock.decimals = s.kind == 3 ? 3 : 2;
    stock.prevClose = s.prevClose;
    stock.open = s.prevClose;
    stock.high = s.prevClose;
    stock.low = s.prevClose;
    stock.last = s.prevClose;
    stocks_.push_back(stock);
  }
  CountBreadth();
}

void MarketData::CountBreadth() {
  for (SimStock& index : stocks_) {
    if (index.kind != 1) continue;
    index.advancers = 0;
    index.decliners = 0;
    for (const SimStock& s : stocks_) {
      if (s.kind != 2 || s.market != index.market) continue;
      index.advancers += s.last > s.prevClose;
      index.decliners += s.last < s.prevClose;
    }
  }
}

void MarketData::Step() {
  std::lock_guard<std::mutex> hold(lock_);
  std::normal_distribution<double> move(0.0, 0.002);
  std::uniform_int_distribution<int64_t> lots(1, 500);
  for (SimStock& s : stocks_) {
    double next = s.last * (1.0 + move(random_));
    next = std::clamp(next, s.prevClose * 0.9, s.prevClose * 1.1);
    double unit = std::pow(10.0, -s.decimals);
    next = std::round(next / unit) * unit;
    int64_t traded = lots(random_) * 100;
    s.last = next;
    s.high = std::max(s.high, next);
    s.low = std::min(s.low, next);
    s.volume += traded;
    s.amount += std::llround(static_cast<double>(traded) * next);
  }
  CountBreadth();
}

bool MarketData::Find(const std::string& code, int market, SimStock* out) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (const SimStock& s : stocks_) {
    if (s.code == code && s.market == market) {
      *out = s;
      out->tradeDate = tradeDate_;
      return true;
    }
  }
  return false;
}

std::vector<SimStock> MarketData::All() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<SimStock> all = stocks_;
  for (SimStock& s : all) s.tradeDate = tradeDate_;
  return all;
}

void MarketData::AddStocks(const std::vector<SimStock>& stocks) {
  std::lock_guard<std::mutex> hold(lock_);
  stocks_.insert(stocks_.end(), stocks.begin(), stocks.end());
  CountBreadth();
}

std::string MarketData::HttpBase() const {
  std::lock_guard<std::mutex> guard(lock_);
  return httpBase_;
}

void MarketData::SetHttpBase(const std::string& base) {
  std::lock_guard<std::mutex> guard(lock_);
  httpBase_ = base;
}

int32_t MarketData::TradeDate() const {
  std::lock_guard<std::mutex> hold(lock_);
  return tradeDate_;
}

void MarketData::SetTradeDate(int32_t date) {
  std::lock_guard<std::mutex> hold(lock_);
  tradeDate_ = date;
}

int QuoteFieldWidth(int id) {
  if (id == 0) return 33;
  if (id == 1) return 7;
  if (id == 357) return 24;
  if (id == 807 || id == 808) return 1;
  if (In(id, 1001, 1011) || id == 1013 || id == 1016 || id == 2010 || id == 2011) return 2;
  static const int s64Singles[] = {9,   10,  11,  14,  15,  18,  19,  22,  23,  26,  27,  30,  31,  32,
                                   39,  43,  306, 351, 356, 402, 403, 406, 407, 410, 411, 414, 415, 418,
                                   419, 700, 701, 707, 1015, 2020, 5003, 5004, 5008, 5009, 5013, 5014,
                                   5018, 5019, 5023, 5024, 5028, 5029, 5033, 5034, 5500};
  for (int v : s64Singles) {
    if (id == v) return 8;
  }
  if (In(id, 850, 885) || In(id, 5038, 5041) || In(id, 5054, 5077)) return 8;
  static const int s32Singles[] = {2,    3,    33,   34,   36,   37,   38,   40,   41,   350,  706,
                                   1000, 1012, 1014, 2021, 2031, 4,    5,    6,    7,    8,    12,
                                   13,   16,   17,   20,   21,   24,   25,   28,   29,   35,   42,
                                   44,   45,   400,  401,  404,  405,  408,  409,  412,  413,  416,
                                   417};
  for (int v : s32Singles) {
    if (id == v) return 4;
  }
  if (In(id, 809, 811) || In(id, 2000, 2003) || In(id, 2041, 2043) || In(id, 5000, 5002) ||
      In(id, 5078, 5086) || In(id, 702, 705) || In(id, 800, 802) || In(id, 5042, 5053)) {
    return 4;
  }
  for (int base = 5005; base <= 5035; base += 5) {
    if (In(id, base, base + 2)) return 4;
  }
  return 0;
}

void PutStockKey(Bytes* out, const SimStock& stock) {
  PutFixedText(out, stock.code, 6);
  PutFixedText(out, stock.name, 24);
  PutU8(out, static_cast<uint64_t>(stock.decimals));
  PutU8(out, static_cast<uint64_t>(stock.market));
  PutU8(out, static_cast<uint64_t>(stock.kind));
}

namespace {

// The order-book level of a price or volume id: level 1..10, ask or bid,
// price or volume; false for other ids.
bool BookField(int id, int* level, bool* ask, bool* price) {
  int offset;
  if (In(id, 12, 31)) {
    *level = (id - 12) / 4 + 1;
    offset = (id - 12) % 4;
  } else if (In(id, 400, 419)) {
    *level = (id - 400) / 4 + 6;
    offset = (id - 400) % 4;
  } else {
    return false;
  }
  *price = offset < 2;
  *ask = offset == 0 || offset == 2;
  return true;
}

}  // namespace

void PutQuoteField(Bytes* out, const SimStock& s, int id) {
  const int width = QuoteFieldWidth(id);
  if (width == 0) return;
  if (id == 0) return PutStockKey(out, s);
  if (id == 1) {
    PutFixedText(out, s.code, 6);
    PutU8(out, static_cast<uint64_t>(s.market));
    return;
  }
  if (id == 357) return PutFixedText(out, s.name, 24);
  if (PutDerivedQuoteField(out, s, id)) return;
  const double change = s.last - s.prevClose;
  const double unit = std::pow(10.0, -s.decimals);
  int64_t value = 0;
  int level = 0;
  bool ask = false, price = false;
  if (BookField(id, &level, &ask, &price)) {
    value = price ? Price(s.last + (ask ? level : -level) * unit) : 100 * (level * 37 % 50 + 1);
  } else {
    switch (id) {
      case 4: value = Price(s.prevClose); break;
      case 5: value = Price(s.open); break;
      case 6: value = Price(s.high); break;
      case 7: value = Price(s.low); break;
      case 8: value = Price(s.last); break;
      case 9: value = s.volume; break;
      case 10: value = 100; break;
      case 11: value = s.amount; break;
      case 32: value = s.volume / 2; break;
      case 33: value = 10000; break;
      case 34: value = std::llround(change / s.prevClose * 10000.0); break;
      case 35: value = Price(change); break;
      case 41: value = std::llround((s.high - s.low) / s.prevClose * 10000.0); break;
      case 42: value = s.volume > 0 ? Price(static_cast<double>(s.amount) / static_cast<double>(s.volume)) : Price(s.last); break;
      case 44: value = Price(s.prevClose * 1.1); break;
      case 45: value = Price(s.prevClose * 0.9); break;
      case 1001: value = s.advancers; break;
      case 1003: value = s.decliners; break;
      default: value = 0; break;
    }
  }
  PutBE(out, static_cast<uint64_t>(value), width);
}

}  // namespace simbroker
