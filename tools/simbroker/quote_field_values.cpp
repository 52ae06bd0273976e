#include "tools/simbroker/quote_field_values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "tools/simbroker/bar_reply_builders.h"

namespace simbroker {

namespace {

// A small stable number per stock (0..9,999) for its fixed traits.
int Trait(const SimStock& s) {
  uint32_t h = 2166136261u;
  for (char c : s.code) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return static_cast<int>(h % 10000);
}

double ChangeFraction(const SimStock& s) { return s.prevClose > 0 ? (s.last - s.prevClose) / s.prevClose : 0.0; }

// Volume at one level of the book, in lots of 100: a rising price thickens
// the bid side and thins the ask side.
int64_t BookVolume(const SimStock& s, int level, bool ask) {
  const double base = 100.0 * ((level * 37 + Trait(s)) % 50 + 1);
  const double tilt = std::clamp(5.0 * ChangeFraction(s), -0.5, 0.5);
  const double factor = ask ? 1.0 - tilt : 1.0 + tilt;
  return std::max<int64_t>(100, std::llround(base * factor / 100.0) * 100);
}

// The book volume an id names: level 1..10, ask or bid; false otherwise.
bool BookVolumeId(int id, int* level, bool* ask) {
  int offset;
  if (id >= 12 && id <= 31) {
    *level = (id - 12) / 4 + 1;
    offset = (id - 12) % 4;
  } else if (id >= 400 && id <= 419) {
    *level = (id - 400) / 4 + 6;
    offset = (id - 400) % 4;
  } else {
    return false;
  }
  *ask = offset == 2;
  return offset >= 2;
}

int64_t OrderRatio(const SimStock& s) {
  int64_t bid = 0, ask = 0;
  for (int level = 1; level <= 10; ++level) {
    bid += BookVolume(s, level, false);
    ask += BookVolume(s, level, true);
  }
  return bid + ask > 0 ? std::llround(10000.0 * static_cast<double>(bid - ask) / static_cast<double>(bid + ask)) : 0;
}

// Shares in free float, fixed per stock.
double FloatShares(const SimStock& s) { return 1e8 * (1 + Trait(s) % 50); }

// What the three-day fields need of the history before today: the close
// three bars before today's and the volumes of the two days before today.
// The history depends only on the stock, its previous close and the date,
// so it is made once per (code, market, date, previous close).
struct HistoryTail {
  bool enough = false;
  int64_t baseClose = 0;     // in price units of the stock's decimals
  int64_t volumes = 0;       // the two days before today
};

HistoryTail TailOf(const SimStock& s) {
  using Key = std::tuple<std::string, int, int32_t, double>;
  static std::mutex lock;
  static std::map<Key, HistoryTail> cache;
  const Key key{s.code, s.market, s.tradeDate, s.prevClose};
  {
    std::lock_guard<std::mutex> hold(lock);
    auto found = cache.find(key);
    if (found != cache.end()) return found->second;
  }
  HistoryTail tail;
  const std::vector<WireBar> days = ServedHistory(s, s.tradeDate).days;
  if (days.size() >= 3) {
    const size_t n = days.size();
    tail.enough = true;
    tail.baseClose = days[n - 3].close;
    tail.volumes = days[n - 2].volume + days[n - 1].volume;
  }
  std::lock_guard<std::mutex> hold(lock);
  if (cache.size() > 4096) cache.clear();
  cache[key] = tail;
  return tail;
}

}  // namespace

int64_t TurnoverHundredths(const SimStock& s, int64_t volume) {
  return std::llround(static_cast<double>(volume) / FloatShares(s) * 10000.0);
}

int64_t ThreeDayChange(const SimStock& s) {
  if (s.tradeDate <= 0) return 0;
  const HistoryTail tail = TailOf(s);
  if (!tail.enough || tail.baseClose <= 0) return 0;
  const int64_t close = TodayBar(s, s.tradeDate).close;
  return std::llround(static_cast<double>(close - tail.baseClose) / static_cast<double>(tail.baseClose) * 10000.0);
}

int64_t ThreeDayTurnover(const SimStock& s) {
  if (s.tradeDate <= 0) return 0;
  const HistoryTail tail = TailOf(s);
  if (!tail.enough) return 0;
  return TurnoverHundredths(s, tail.volumes + TodayBar(s, s.tradeDate).volume);
}

bool PutDerivedQuoteField(Bytes* out, const SimStock& s, int id) {
  int level = 0;
  bool ask = false;
  if (BookVolumeId(id, &level, &ask)) {
    PutU64(out, static_cast<uint64_t>(BookVolume(s, level, ask)));
    return true;
  }
  // The day's usual volume, fixed per stock.
  const double usualVolume = 2e5 * (1 + Trait(s) % 20);
  int64_t value = 0;
  switch (id) {
    case 33: value = std::llround(10000.0 * static_cast<double>(s.volume) / usualVolume); break;
    case 36: value = s.open > 0 ? std::llround((s.last - s.open) / s.open * 10000.0) : 0; break;
    case 37: value = TurnoverHundredths(s, s.volume); break;
    case 38: value = OrderRatio(s); break;
    case 40: value = s.kind == 2 ? std::llround(s.last / (0.2 + Trait(s) % 300 / 100.0) * 10000.0) : 0; break;
    case 1015: PutU64(out, static_cast<uint64_t>(900000 + Trait(s))); return true;
    case 5000: value = ThreeDayChange(s); break;
    case 5001: value = ThreeDayTurnover(s); break;
    default: return false;
  }
  PutU32(out, static_cast<uint64_t>(value));
  return true;
}

}  // namespace simbroker
