// The simulated market: a fixed set of stocks, indices and funds with one
// seeded random-walk price per stock, and the encoders of stock keys and
// quote fields (each id in its own wire form and width).
#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

struct SimStock {
  std::string code;       // 6 characters
  std::string name;       // UTF-8
  std::string initials;   // pinyin initials, at most 6
  int market;             // 1 Shanghai, 2 Shenzhen
  int kind;               // 1 index, 2 stock, 3 fund
  int decimals;           // price decimals
  double prevClose;
  double open;
  double high;
  double low;
  double last;
  int64_t volume;
  int64_t amount;
  int advancers = 0;      // an index: stocks of its market above their previous close
  int decliners = 0;      // an index: stocks of its market below their previous close
  int32_t tradeDate = 0;  // yyyymmdd of the market it was read from (Find, All); 0 unknown
};

class MarketData {
 public:
  explicit MarketData(uint64_t seed);

  // Moves every price one step of its walk (within the day's limits).
  void Step();
  // A copy of the stock, false when the code and market are unknown.
  bool Find(const std::string& code, int market, SimStock* out) const;
  std::vector<SimStock> All() const;
  // Adds stocks after the fixed ones (large lists in tests).
  void AddStocks(const std::vector<SimStock>& stocks);

  // Date of the trading day (yyyymmdd) announced in type-3 replies.
  int32_t TradeDate() const;
  void SetTradeDate(int32_t date);
  // Base address of the HTTP site ("http://host:port"), for the absolute
  // links of news marks.
  std::string HttpBase() const;
  void SetHttpBase(const std::string& base);

 private:
  // Recounts the advancers and decliners of every index; lock_ held.
  void CountBreadth();

  mutable std::mutex lock_;
  std::vector<SimStock> stocks_;
  std::mt19937_64 random_;
  int32_t tradeDate_ = 20240315;
  std::string httpBase_ = "http://127.0.0.1:8889";
};

// Width in bytes of quote field id on the wire; 0 for an id that carries
// nothing (the server never sends a value for such an id).
int QuoteFieldWidth(int id);

// Appends the 33-byte stock key: code 6, name 24 (UTF-8, zero-padded),
// decimals, market, kind.
void PutStockKey(Bytes* out, const SimStock& stock);

// Appends the value of quote field id for the stock, in the id's form
// (prices as round(value * 10,000), ids 800-802 and 5042-5053 as
// round(value * 1,000)); nothing for an id of width 0.
void PutQuoteField(Bytes* out, const SimStock& stock, int id);

}  // namespace simbroker
