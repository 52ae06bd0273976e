#include "tools/simbroker/minute_tick_replies.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <tuple>

namespace simbroker {

namespace {

constexpr int kMorningMinutes = 121;    // 09:30 .. 11:30
constexpr int kDayMinutes = 242;        // and 13:00 .. 15:00
constexpr int kMaxCompleteTicks = 1024;
constexpr int kMaxAlerts = 10280;

int64_t PointValue(const WireMinutePoint& p, int id) {
  switch (id) {
    case 1: return p.price;
    case 2: return p.amount;
    case 3: return p.volume;
    case 4: return p.average;
    case 5: return p.bid;
    case 6: return p.ask;
    case 7: return p.field7;
    case 8: return p.field8;
    default: return 0;
  }
}

void PutIdBytes(Bytes* out, const std::vector<int>& ids) {
  PutU8(out, ids.size());
  for (int id : ids) PutU8(out, static_cast<uint64_t>(id));
}

void PutTickById(Bytes* out, const WireTick& t, int id) {
  switch (id) {
    case 1: PutU32(out, static_cast<uint32_t>(t.price)); break;
    case 2: PutU64(out, static_cast<uint64_t>(t.volume)); break;
    case 3: PutU32(out, static_cast<uint32_t>(t.time)); break;
    case 4: PutU32(out, static_cast<uint32_t>(t.field4)); break;
    case 5: PutU8(out, static_cast<uint64_t>(t.direction)); break;
    case 6: PutU32(out, static_cast<uint32_t>(t.field6)); break;
    case 7: PutU32(out, static_cast<uint32_t>(t.field7)); break;
    case 8: PutU8(out, static_cast<uint64_t>(t.kind)); break;
    default: break;
  }
}

int32_t Wire4(double price) { return static_cast<int32_t>(std::llround(price * 10000.0)); }

}  // namespace

void PutMinutePoints(Bytes* out, const std::vector<WireMinutePoint>& points, const std::vector<int>& ids) {
  WireMinutePoint before;
  for (const WireMinutePoint& p : points) {
    for (int id : ids) {
      if (id < 1 || id > 8) continue;
      PutVarInt(out, PointValue(p, id) - PointValue(before, id));
    }
    before = p;
  }
}

Bytes MinuteDataBody(int type, bool complete, const SimStock& stock, int32_t prevClose, int64_t a, int64_t b,
                     int start, const std::vector<int>& ids, const std::vector<WireMinutePoint>& points,
                     int countOverride) {
  Bytes out;
  if (complete) {
    PutStockKey(&out, stock);
    PutU32(&out, static_cast<uint32_t>(prevClose));
  }
  PutU64(&out, static_cast<uint64_t>(a));
  PutU64(&out, static_cast<uint64_t>(b));
  if (type == 48) PutU16(&out, static_cast<uint16_t>(start));
  PutU16(&out, static_cast<uint16_t>(countOverride >= 0 ? countOverride : static_cast<int>(points.size())));
  PutIdBytes(&out, ids);
  PutMinutePoints(&out, points, ids);
  return out;
}

Bytes FixedMinuteBody(bool complete, const SimStock& stock, int32_t prevClose, int64_t a, int64_t b, int start,
                      int end, const std::vector<WireMinutePoint>& points) {
  Bytes out;
  if (complete) {
    PutStockKey(&out, stock);
    PutU32(&out, static_cast<uint32_t>(prevClose));
  }
  PutU64(&out, static_cast<uint64_t>(a));
  PutU64(&out, static_cast<uint64_t>(b));
  PutU16(&out, static_cast<uint16_t>(start));
  PutU16(&out, static_cast<uint16_t>(end));
  for (const WireMinutePoint& p : points) {
    PutU32(&out, static_cast<uint32_t>(p.price));
    PutU64(&out, static_cast<uint64_t>(p.volume));
    PutU32(&out, static_cast<uint32_t>(p.average));
    PutU64(&out, static_cast<uint64_t>(p.bid));
    PutU64(&out, static_cast<uint64_t>(p.ask));
  }
  return out;
}

Bytes MinuteFlowBody(bool complete, const SimStock& stock, int64_t head, const std::vector<int>& ids, int start,
                     const std::vector<WireFlowRecord>& records) {
  Bytes out;
  if (complete) {
    PutStockKey(&out, stock);
    PutU64(&out, static_cast<uint64_t>(head));
  }
  PutIdBytes(&out, ids);
  PutU16(&out, static_cast<uint16_t>(start));
  PutU16(&out, records.size());
  std::map<int, int64_t> before;
  for (const WireFlowRecord& r : records) {
    for (int id : ids) {
      if (!((id >= 112 && id <= 115) || id == 117)) continue;
      auto it = r.values.find(id);
      const int64_t value = it == r.values.end() ? 0 : it->second;
      PutScaledInt24(&out, id == 117 ? value : value - before[id]);
    }
    for (int id = 112; id <= 115; ++id) {
      auto it = r.values.find(id);
      before[id] = it == r.values.end() ? 0 : it->second;
    }
  }
  return out;
}

Bytes TickBody(bool level2, bool complete, const SimStock& stock, int32_t refPrice, int32_t position,
               const std::vector<WireTick>& ticks, int countOverride) {
  Bytes out;
  if (complete) {
    PutStockKey(&out, stock);
    PutU32(&out, static_cast<uint32_t>(refPrice));
  }
  PutU32(&out, static_cast<uint32_t>(position));
  PutU16(&out, static_cast<uint16_t>(countOverride >= 0 ? countOverride : static_cast<int>(ticks.size())));
  for (const WireTick& t : ticks) {
    PutU32(&out, static_cast<uint32_t>(t.price));
    PutU64(&out, static_cast<uint64_t>(t.volume));
    PutU32(&out, static_cast<uint32_t>(t.time));
    PutU32(&out, static_cast<uint32_t>(t.field4));
    PutU8(&out, static_cast<uint64_t>(t.direction));
    if (level2) PutU32(&out, static_cast<uint32_t>(t.tradeNumber));
  }
  return out;
}

Bytes FuturesTickBody(bool complete, const SimStock& stock, int32_t refPrice, int32_t position,
                      const std::vector<int>& ids, const std::vector<WireTick>& ticks) {
  Bytes out;
  if (complete) {
    PutStockKey(&out, stock);
    PutU32(&out, static_cast<uint32_t>(refPrice));
  }
  PutU32(&out, static_cast<uint32_t>(position));
  PutU16(&out, ticks.size());
  PutIdBytes(&out, ids);
  for (const WireTick& t : ticks) {
    for (int id : ids) PutTickById(&out, t, id);
  }
  return out;
}

Bytes PriceStatBody(bool complete, const SimStock& stock, int32_t refPrice, int64_t total,
                    const std::vector<WirePriceLevel>& levels, int countOverride) {
  Bytes out;
  if (complete) {
    PutStockKey(&out, stock);
    PutU32(&out, static_cast<uint32_t>(refPrice));
  }
  if (stock.kind == 1) return out;
  PutU64(&out, static_cast<uint64_t>(total));
  PutU16(&out, static_cast<uint16_t>(countOverride >= 0 ? countOverride : static_cast<int>(levels.size())));
  for (const WirePriceLevel& l : levels) {
    PutU32(&out, static_cast<uint32_t>(l.price));
    PutU64(&out, static_cast<uint64_t>(l.volume));
    PutU64(&out, static_cast<uint64_t>(l.partVolume));
  }
  return out;
}

Bytes F10CatalogBody(const std::string& code, int market, const std::vector<WireF10Entry>& entries) {
  Bytes out;
  PutFixedText(&out, code, 6);
  PutU8(&out, static_cast<uint64_t>(market));
  PutU8(&out, entries.size());
  for (const WireF10Entry& e : entries) {
    PutU32(&out, static_cast<uint32_t>(e.first));
    PutU32(&out, static_cast<uint32_t>(e.second));
    PutU16(&out, e.title.size());
    PutText(&out, e.title);
  }
  return out;
}

Bytes F10ItemBody(const std::string& code, int market, int item, const std::string& title, int32_t first,
                  int32_t second, const std::string& content, int64_t lengthOverride) {
  Bytes out;
  PutFixedText(&out, code, 6);
  PutU8(&out, static_cast<uint64_t>(market));
  PutU8(&out, static_cast<uint64_t>(item));
  PutU16(&out, title.size());
  PutText(&out, title);
  PutU32(&out, static_cast<uint32_t>(first));
  PutU32(&out, static_cast<uint32_t>(second));
  PutU32(&out, static_cast<uint64_t>(lengthOverride >= 0 ? lengthOverride : static_cast<int64_t>(content.size())));
  PutText(&out, content);
  return out;
}

namespace {

void PutAlertTail(Bytes* out, const WireAlert& a) {
  PutU8(out, static_cast<uint64_t>(a.kind));
  PutU32(out, static_cast<uint32_t>(a.time));
  PutFixedText(out, a.value, 16);
}

void PutAlertText(Bytes* out, const std::string& text) {
  PutU8(out, text.size());
  PutText(out, text);
}

}  // namespace

Bytes AlertRecordsBody(const std::string& text, const std::vector<WireAlert>& alerts, int countOverride) {
  Bytes out;
  PutAlertText(&out, text);
  PutU16(&out, static_cast<uint16_t>(countOverride >= 0 ? countOverride : static_cast<int>(alerts.size())));
  for (const WireAlert& a : alerts) {
    PutStockKey(&out, a.stock);
    PutAlertTail(&out, a);
  }
  return out;
}

Bytes AlertQueryBody(bool complete, const SimStock& stock, const std::string& text,
                     const std::vector<WireAlert>& alerts) {
  Bytes out;
  if (complete) PutStockKey(&out, stock);
  PutAlertText(&out, text);
  PutU16(&out, alerts.size());
  for (const WireAlert& a : alerts) PutAlertTail(&out, a);
  return out;
}

int32_t TradingTime(int minute, int second) {
  minute = std::clamp(minute, 0, kDayMinutes - 1);
  const int clock = minute < kMorningMinutes ? 9 * 60 + 30 + minute : 13 * 60 + (minute - kMorningMinutes);
  return (clock / 60) * 10000 + (clock % 60) * 100 + second;
}

// --- The tape ---

namespace {

struct Tape {
  SimStock stock;                  // as of the latest synchronisation
  int64_t volume = 0;              // traded volume the tape holds
  int64_t amount = 0;
  std::vector<TapeTrade> trades;
};

// Tapes and alert log of one simulated market, with what each subscription
// was last sent (by connection and sequence).
struct MarketTapes {
  std::map<std::pair<std::string, int>, Tape> tapes;
  std::vector<WireAlert> alerts;
  std::map<std::tuple<int, int, int>, int> sent;   // (connection, sequence, type) -> items sent
};

std::mutex& TapeLock() {
  static std::mutex lock;
  return lock;
}

std::map<const MarketData*, MarketTapes>& AllTapes() {
  static std::map<const MarketData*, MarketTapes> tapes;
  return tapes;
}

std::string PriceText(double price, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, price);
  return text;
}

std::string LotsText(int64_t volume) { return std::to_string(volume / 100) + "手"; }

std::string PercentText(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", fraction * 100.0);
  return text;
}

// The alerts the trade at index i of the tape fires, each of the twenty
// kinds by its own rule over the price path and the order totals.
void FireAlerts(const Tape& tape, size_t i, std::vector<WireAlert>* out) {
  const SimStock& s = tape.stock;
  const TapeTrade& t = tape.trades[i];
  const double unit = std::pow(10.0, -s.decimals);
  const double limitUp = std::round(s.prevClose * 1.1 / unit) * unit;
  const double limitDown = std::round(s.prevClose * 0.9 / unit) * unit;
  const double before = i > 0 ? tape.trades[i - 1].price : s.prevClose;
  const double change = (t.price - before) / s.prevClose;
  const double earlier = i > 1 ? (before - tape.trades[i - 2].price) / s.prevClose : 0.0;
  const bool buy = t.direction == 'B';
  auto fire = [&](int kind, const std::string& value) { out->push_back({s, kind, t.time, value}); };
  const std::string price = PriceText(t.price, s.decimals);
  if (change >= 0.003) fire(1, PercentText(change));
  if (change <= -0.003) fire(2, PercentText(change));
  if (t.volume >= 40000) fire(buy ? 3 : 13, LotsText(t.volume));
  if (t.price >= limitUp && before < limitUp) fire(4, price);
  if (t.price < limitUp && before >= limitUp) fire(5, price);
  if (t.price <= limitDown && before > limitDown) fire(14, price);
  if (t.price > limitDown && before <= limitDown) fire(15, price);
  if (t.askTotal >= 2 * t.bidTotal) fire(6, LotsText(t.askTotal));
  if (t.bidTotal >= 2 * t.askTotal) fire(16, LotsText(t.bidTotal));
  if (t.volume >= 45000) fire(buy ? 7 : 17, price);
  if (earlier < 0 && change >= 0.0015) fire(11, PercentText(change));
  if (earlier < 0 && change <= -0.0015) fire(12, PercentText(change));
  if (i >= 2) {
    const TapeTrade& a = tape.trades[i - 2];
    const TapeTrade& b = tape.trades[i - 1];
    const bool same = a.direction == t.direction && b.direction == t.direction;
    const int64_t run = a.volume + b.volume + t.volume;
    if (same && run >= 90000) fire(buy ? 8 : 18, LotsText(run));
    if (same && a.volume < 10000 && b.volume < 10000 && t.volume < 10000) fire(buy ? 9 : 19, price);
  }
  if (i >= 1) {
    const TapeTrade& b = tape.trades[i - 1];
    if (t.bidTotal * 10 < b.bidTotal * 7) fire(10, LotsText(b.bidTotal - t.bidTotal));
    if (t.askTotal * 10 < b.askTotal * 7) fire(20, LotsText(b.askTotal - t.askTotal));
  }
}

// Brings the tape of stock up to its quote: the volume and amount traded
// since the last synchronisation become one trade in the next minute. A
// quote below the tape (a new market) starts every tape of the market over.
Tape& SyncTape(MarketTapes& market, const SimStock& stock) {
  Tape& tape = market.tapes[{stock.code, stock.market}];
  if (stock.volume < tape.volume) {
    market = MarketTapes{};
    return SyncTape(market, stock);
  }
  tape.stock = stock;
  if (stock.volume == tape.volume) return tape;
  TapeTrade t;
  const size_t index = tape.trades.size();
  t.minute = static_cast<int>(std::min<size_t>(index, kDayMinutes - 1));
  t.time = TradingTime(t.minute, static_cast<int>(index * 13 % 60));
  t.price = stock.last;
  t.volume = stock.volume - tape.volume;
  t.amount = stock.amount - tape.amount;
  const double before = index > 0 ? tape.trades.back().price : stock.prevClose;
  t.direction = stock.last >= before ? 'B' : 'S';
  t.bidTotal = t.volume * static_cast<int64_t>(2 + index * 7 % 5);
  t.askTotal = t.volume * static_cast<int64_t>(2 + index * 3 % 5);
  tape.trades.push_back(t);
  tape.volume = stock.volume;
  tape.amount = stock.amount;
  FireAlerts(tape, index, &market.alerts);
  if (market.alerts.size() > static_cast<size_t>(kMaxAlerts)) {
    market.alerts.erase(market.alerts.begin(), market.alerts.end() - kMaxAlerts);
  }
  return tape;
}

std::vector<WireMinutePoint> MinutePointsOf(const Tape& tape) {
  const SimStock& s = tape.stock;
  const double scale = std::pow(10.0, s.decimals);
  std::vector<WireMinutePoint> points;
  int64_t volume = 0, amount = 0;
  for (const TapeTrade& t : tape.trades) {
    if (points.empty() || static_cast<int>(points.size()) <= t.minute) points.emplace_back();
    WireMinutePoint& p = points.back();
    p.price = std::llround(t.price * scale);
    p.volume += t.volume;
    p.amount += t.amount;
    volume += t.volume;
    amount += t.amount;
    p.average = volume > 0 ? std::llround(static_cast<double>(amount) / static_cast<double>(volume) * 10000.0) : 0;
    p.bid = t.bidTotal;
    p.ask = t.askTotal;
  }
  if (points.empty()) {
    WireMinutePoint open;
    open.price = std::llround(s.open * scale);
    open.average = Wire4(s.open);
    points.push_back(open);
  }
  return points;
}

WireTick TickOf(const TapeTrade& t, size_t index) {
  WireTick w;
  w.price = Wire4(t.price);
  w.volume = t.volume;
  w.time = t.time;
  w.field4 = static_cast<int32_t>(1 + t.volume / 5000);
  w.direction = t.direction;
  w.tradeNumber = static_cast<int32_t>(index + 1);
  w.field6 = static_cast<int32_t>(t.volume / 200);
  w.field7 = static_cast<int32_t>(t.volume / 300);
  w.kind = static_cast<int>(1 + index % 8);
  return w;
}

bool FindStock(const MarketData& data, const JournalEntry& request, SimStock* stock) {
  return data.Find(request.parsed.code, request.parsed.market, stock);
}

int64_t Number(const JournalEntry& request, size_t i, int64_t otherwise) {
  return i < request.parsed.numbers.size() ? request.parsed.numbers[i] : otherwise;
}

std::tuple<int, int, int> SentKey(const JournalEntry& request) {
  return {request.connection, request.sequence, request.type};
}

}  // namespace

void RecordTapeTrades(const MarketData& data) {
  std::lock_guard<std::mutex> hold(TapeLock());
  MarketTapes& market = AllTapes()[&data];
  for (const SimStock& s : data.All()) SyncTape(market, s);
}

std::vector<TapeTrade> TradeTape(const MarketData& data, const SimStock& stock) {
  std::lock_guard<std::mutex> hold(TapeLock());
  return SyncTape(AllTapes()[&data], stock).trades;
}

std::vector<WireMinutePoint> TapeMinutePoints(const MarketData& data, const SimStock& stock) {
  std::lock_guard<std::mutex> hold(TapeLock());
  return MinutePointsOf(SyncTape(AllTapes()[&data], stock));
}

std::vector<WireAlert> TapeAlerts(const MarketData& data) {
  std::lock_guard<std::mutex> hold(TapeLock());
  MarketTapes& market = AllTapes()[&data];
  for (const SimStock& s : data.All()) SyncTape(market, s);
  return market.alerts;
}

bool BuildMinuteDataReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock stock;
  if (!FindStock(data, request, &stock)) return false;
  std::lock_guard<std::mutex> hold(TapeLock());
  MarketTapes& market = AllTapes()[&data];
  const Tape& tape = SyncTape(market, stock);
  const std::vector<WireMinutePoint> points = MinutePointsOf(tape);
  const int total = static_cast<int>(points.size());
  int& sent = market.sent[SentKey(request)];
  int start = 0;
  if (mode == kReplyComplete) {
    const int64_t asked = Number(request, 0, 0xFFFF);
    start = asked == 0xFFFF ? 0 : static_cast<int>(std::clamp<int64_t>(asked, 0, total - 1));
  } else {
    start = std::clamp(sent - 1, 0, total - 1);   // the open minute again, then the new ones
  }
  sent = total;
  const std::vector<WireMinutePoint> part(points.begin() + start, points.end());
  const double scale = std::pow(10.0, stock.decimals);
  *body = MinuteDataBody(48, mode == kReplyComplete, stock, static_cast<int32_t>(std::llround(stock.prevClose * scale)),
                         tape.volume, tape.amount, start, request.parsed.byteList, part);
  return true;
}

namespace {

// The ticks a tick request gets now: the last ones asked for in a complete
// reply, the trades since the last reply in an update. False when the stock
// is unknown or an update has nothing new.
bool TicksToSend(const MarketData& data, const JournalEntry& request, int mode, SimStock* stock,
                 std::vector<WireTick>* ticks, int* total) {
  if (!FindStock(data, request, stock)) return false;
  std::lock_guard<std::mutex> hold(TapeLock());
  MarketTapes& market = AllTapes()[&data];
  const Tape& tape = SyncTape(market, *stock);
  *total = static_cast<int>(tape.trades.size());
  int& sent = market.sent[SentKey(request)];
  int first = 0;
  int end = *total;
  if (mode == kReplyComplete) {
    const int count = static_cast<int>(std::clamp<int64_t>(Number(request, 1, 50), 0, kMaxCompleteTicks));
    const int64_t start = Number(request, 0, -1);
    if (start >= 0) {
      // A page of the day from tick number start (the stock page's history).
      first = static_cast<int>(std::min<int64_t>(start, *total));
      end = std::min(*total, first + count);
    } else {
      first = std::max(0, *total - count);
    }
  } else {
    first = std::clamp(sent, 0, *total);
    if (first == *total) return false;
  }
  sent = *total;
  for (int i = first; i < end; ++i) ticks->push_back(TickOf(tape.trades[static_cast<size_t>(i)], static_cast<size_t>(i)));
  return true;
}

}  // namespace

bool BuildTickReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock stock;
  std::vector<WireTick> ticks;
  int total = 0;
  if (!TicksToSend(data, request, mode, &stock, &ticks, &total)) return false;
  *body = TickBody(request.type == 80, mode == kReplyComplete, stock, Wire4(stock.prevClose), total, ticks);
  return true;
}

bool BuildFuturesTickReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock stock;
  std::vector<WireTick> ticks;
  int total = 0;
  if (!TicksToSend(data, request, mode, &stock, &ticks, &total)) return false;
  *body = FuturesTickBody(mode == kReplyComplete, stock, Wire4(stock.prevClose), total, request.parsed.byteList, ticks);
  return true;
}

bool BuildPriceStatReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock stock;
  if (!FindStock(data, request, &stock)) return false;
  std::lock_guard<std::mutex> hold(TapeLock());
  const Tape& tape = SyncTape(AllTapes()[&data], stock);
  std::map<int32_t, WirePriceLevel> byPrice;
  for (const TapeTrade& t : tape.trades) {
    WirePriceLevel& level = byPrice[Wire4(t.price)];
    level.price = Wire4(t.price);
    level.volume += t.volume;
    if (t.direction == 'B') level.partVolume += t.volume;
  }
  std::vector<WirePriceLevel> levels;
  for (auto it = byPrice.rbegin(); it != byPrice.rend(); ++it) levels.push_back(it->second);
  *body = PriceStatBody(mode == kReplyComplete, stock, Wire4(stock.prevClose), tape.volume, levels);
  return true;
}

bool BuildAlertQueryReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock stock;
  if (!FindStock(data, request, &stock)) return false;
  std::lock_guard<std::mutex> hold(TapeLock());
  MarketTapes& market = AllTapes()[&data];
  SyncTape(market, stock);
  std::vector<WireAlert> mine;
  for (const WireAlert& a : market.alerts) {
    if (a.stock.code == stock.code && a.stock.market == stock.market) mine.push_back(a);
  }
  int& sent = market.sent[SentKey(request)];
  const int total = static_cast<int>(mine.size());
  const int count = static_cast<int>(std::clamp<int64_t>(Number(request, 0, 20), 0, 128));
  const int first = mode == kReplyComplete ? std::max(0, total - count) : std::clamp(sent, 0, total);
  if (mode != kReplyComplete && first == total) return false;
  sent = total;
  *body = AlertQueryBody(mode == kReplyComplete, stock, "", std::vector<WireAlert>(mine.begin() + first, mine.end()));
  return true;
}

bool BuildAlertRecordsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  std::lock_guard<std::mutex> hold(TapeLock());
  MarketTapes& market = AllTapes()[&data];
  for (const SimStock& s : data.All()) SyncTape(market, s);
  int& sent = market.sent[SentKey(request)];
  const int total = static_cast<int>(market.alerts.size());
  const int first = mode == kReplyComplete ? 0 : std::clamp(sent, 0, total);
  if (mode != kReplyComplete && first == total) return false;
  sent = total;
  *body = AlertRecordsBody(request.parsed.text,
                           std::vector<WireAlert>(market.alerts.begin() + first, market.alerts.end()));
  return true;
}

namespace {

const char* const kF10Titles[] = {"最新提示", "公司概况", "财务分析", "股东研究", "股本结构", "分红融资", "公司大事", "行业分析"};
constexpr int kF10Items = 8;

std::string MarketName(int market) { return market == 1 ? "上海证券交易所" : "深圳证券交易所"; }

std::string F10Content(const SimStock& s, int item) {
  const std::string head = "【" + std::string(kF10Titles[item]) + "】\r\n";
  const std::string close = PriceText(s.prevClose, s.decimals);
  switch (item) {
    case 0:
      return head + "证券简称：" + s.name + "（" + s.code + "）\r\n最新收盘价：" + close +
             "元\r\n公司近期经营情况正常，内外部经营环境未发生重大变化。\r\n";
    case 1:
      return head + "公司名称：" + s.name + "股份有限公司\r\n证券代码：" + s.code + "\r\n上市地点：" +
             MarketName(s.market) + "\r\n主营业务：围绕主业稳健经营，持续推进产品升级与市场拓展。\r\n";
    case 2:
      return head + "报告期营业收入同比增长，净利润保持稳定；经营活动现金流量净额为正，资产负债结构合理。\r\n";
    case 3:
      return head + "截至最近一期报告期末，股东户数较上期略有减少，前十大流通股东合计持股比例保持稳定。\r\n";
    case 4:
      return head + "总股本与流通股本于最近一次变动后保持不变，限售股份按期解除限售。\r\n";
    case 5:
      return head + "公司上市以来累计实施现金分红多次，最近一次分配方案为每10股派发现金红利。\r\n";
    case 6:
      return head + "公司召开董事会审议通过年度报告及利润分配预案，相关公告已按规定披露。\r\n";
    default:
      return head + "公司所属行业整体景气度平稳，行业集中度逐步提升，公司在细分领域具有竞争优势。\r\n";
  }
}

}  // namespace

bool BuildF10CatalogReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock stock;
  if (mode != kReplyComplete || !FindStock(data, request, &stock)) return false;
  std::vector<WireF10Entry> entries;
  for (int i = 0; i < kF10Items; ++i) entries.push_back({i, data.TradeDate(), kF10Titles[i]});
  *body = F10CatalogBody(stock.code, stock.market, entries);
  return true;
}

bool BuildF10ItemReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock stock;
  if (mode != kReplyComplete || !FindStock(data, request, &stock)) return false;
  const int item = static_cast<int>(std::clamp<int64_t>(Number(request, 0, 0), 0, kF10Items - 1));
  *body = F10ItemBody(stock.code, stock.market, static_cast<int>(Number(request, 0, 0)), kF10Titles[item], item,
                      data.TradeDate(), F10Content(stock, item));
  return true;
}

void AddMinuteTickReplyBuilders(std::map<int, ReplyBuilder>* registry) {
  (*registry)[2 << 8 | 48] = BuildMinuteDataReply;
  (*registry)[2 << 8 | 38] = BuildTickReply;
  (*registry)[2 << 8 | 80] = BuildTickReply;
  (*registry)[2 << 8 | 67] = BuildFuturesTickReply;
  (*registry)[2 << 8 | 60] = BuildPriceStatReply;
  (*registry)[2 << 8 | 61] = BuildAlertQueryReply;
  (*registry)[2 << 8 | 62] = BuildAlertRecordsReply;
  (*registry)[2 << 8 | 70] = BuildF10CatalogReply;
  (*registry)[2 << 8 | 71] = BuildF10ItemReply;
}

}  // namespace simbroker
