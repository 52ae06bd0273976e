#include "tools/simbroker/bar_reply_builders.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "tools/simbroker/market_replies.h"

namespace simbroker {

namespace {

constexpr int kHistoryDays = 900;
constexpr int kWindow = 512;

int64_t Units(double price, int decimals) { return std::llround(price * std::pow(10.0, decimals)); }

uint32_t SeedOf(const SimStock& s) {
  uint32_t h = 2166136261u;
  for (char c : s.code) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h ^ static_cast<uint32_t>(s.market);
}

int32_t WeekdayBefore(int32_t date) {
  int y = date / 10000, m = date / 100 % 100, d = date % 100;
  // Step back one civil day at a time until a weekday.
  for (;;) {
    if (--d == 0) {
      if (--m == 0) {
        m = 12;
        --y;
      }
      static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      d = kDays[m - 1] + (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0));
    }
    // Sakamoto's day of the week: 0 Sunday.
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int yy = m < 3 ? y - 1 : y;
    const int w = (yy + yy / 4 - yy / 100 + yy / 400 + t[m - 1] + d) % 7;
    if (w != 0 && w != 6) return y * 10000 + m * 100 + d;
  }
}

BarStock KeyOf(const SimStock& s) { return {s.code, s.name, s.decimals, s.market, s.kind}; }

// Ex-rights events of a stock: indices have none; stocks and funds pay a
// cash dividend every June, and every other stock gave bonus shares two
// years ago.
std::vector<WireExRights> EventsOf(const SimStock& s, int32_t tradeDate) {
  std::vector<WireExRights> events;
  if (s.kind == 1) return events;
  const uint32_t seed = SeedOf(s);
  const int year = tradeDate / 10000;
  const int32_t cashPerShare = 10 + static_cast<int32_t>(seed % 40);   // 0.10 to 0.49
  events.push_back({(year - 1) * 10000 + 615, cashPerShare, 0, 0, 0, 0});
  if (s.kind == 2 && seed % 2 == 0) events.push_back({(year - 2) * 10000 + 710, 0, 0, 0, 30, 0});
  events.push_back({(year - 3) * 10000 + 615, cashPerShare / 2, 0, 0, 0, 0});
  return events;
}

const int kMinutesOfPeriod[] = {1, 5, 15, 30, 60};   // periods 34 to 38

// Today's one-minute bars: 240 minutes from 09:31 to 15:00, along a path
// from the open to the last price inside the day's low and high; the day's
// volume and amount are spread over the minutes.
std::vector<WireBar> TodayMinutes(const SimStock& s, int32_t tradeDate) {
  const int d = s.decimals;
  const int64_t open = Units(s.open, d), last = Units(s.last, d);
  const int64_t high = std::max({Units(s.high, d), open, last});
  const int64_t low = std::min({Units(s.low, d), open, last});
  std::mt19937 rng(SeedOf(s) ^ static_cast<uint32_t>(tradeDate));
  std::uniform_int_distribution<int64_t> noise(low, high);
  const int n = 240;
  std::vector<WireBar> bars(n);
  int64_t previous = open;
  for (int i = 0; i < n; ++i) {
    const int minuteOfDay = i < 120 ? 9 * 60 + 31 + i : 13 * 60 + 1 + (i - 120);
    WireBar& b = bars[i];
    b.time = PackDateTime(tradeDate / 10000, tradeDate / 100 % 100, tradeDate % 100, minuteOfDay / 60, minuteOfDay % 60);
    const int64_t target = i == n - 1 ? last : (open + (last - open) * i / (n - 1) + noise(rng)) / 2;
    const int64_t close = std::clamp(target, low, high);
    b.open = previous;
    b.close = close;
    b.high = std::max(previous, close);
    b.low = std::min(previous, close);
    b.volume = s.volume / n + (i == n - 1 ? s.volume % n : 0);
    b.amount = s.amount / n + (i == n - 1 ? s.amount % n : 0);
    previous = close;
  }
  // The day's extremes appear in the minutes.
  bars[n / 3].high = std::max(bars[n / 3].high, high);
  bars[2 * n / 3].low = std::min(bars[2 * n / 3].low, low);
  return bars;
}

// Bars of size minutes each, from the first minute on.
std::vector<WireBar> Merge(const std::vector<WireBar>& minutes, int size) {
  return JoinBars(minutes, [size](size_t i, const WireBar&) { return static_cast<int64_t>(i / static_cast<size_t>(size)); });
}

bool FindStock(const MarketData& data, const JournalEntry& request, SimStock* s) {
  return data.Find(request.parsed.code, request.parsed.market, s);
}

int64_t Number(const JournalEntry& request, size_t index) {
  return index < request.parsed.numbers.size() ? request.parsed.numbers[index] : 0;
}

template <typename T>
std::vector<T> Tail(const std::vector<T>& all, size_t n, size_t* from) {
  n = std::min(n, all.size());
  *from = all.size() - n;
  return std::vector<T>(all.begin() + static_cast<long>(*from), all.end());
}

// Supplement rows aligned with the bars of the period: the day rows for the
// days, today's row made from the last one.
std::vector<SupplementRow> RowsFor(const BarHistory& h, bool b, size_t bars) {
  std::vector<SupplementRow> rows = b ? h.supplement : h.level2;
  SupplementRow today = rows.empty() ? SupplementRow{} : rows.back();
  for (int64_t& v : today.values) v = v / 2 + 1;
  rows.push_back(today);
  while (rows.size() < bars) rows.insert(rows.begin(), SupplementRow{});
  rows.erase(rows.begin(), rows.end() - static_cast<long>(bars));
  return rows;
}

bool BuildSupplement(const MarketData& data, const JournalEntry& request, int mode, Bytes* body, bool b) {
  SimStock s;
  if (!FindStock(data, request, &s)) return false;
  const int32_t date = data.TradeDate();
  const std::vector<WireBar> bars = ServedBars(s, date, static_cast<int>(Number(request, 0)));
  const BarHistory h = ServedHistory(s, date);
  const std::vector<SupplementRow> rows = RowsFor(h, b, bars.size());
  std::vector<int> codes(request.parsed.byteList.begin(), request.parsed.byteList.end());
  if (mode != kReplyComplete) {
    if (rows.empty()) return false;
    *body = SupplementUpdateBody(b, codes, 1, {rows.back()});
    return true;
  }
  const size_t asked = static_cast<size_t>(std::clamp<int64_t>(Number(request, 3), 1, kWindow));
  size_t from = 0;
  const std::vector<SupplementRow> sent = Tail(rows, asked, &from);
  std::vector<SupplementGroup> groups;
  for (const auto& [code, wish] : request.parsed.pairs) {
    const size_t c = std::min<size_t>({static_cast<size_t>(wish), from, 127});
    SupplementGroup g{code, {}};
    const int index = SupplementCodeIndex(b, code);
    for (size_t j = from - c; j < from; ++j) g.values.push_back(index < 0 ? 0 : rows[j].values[index]);
    groups.push_back(g);
  }
  const std::vector<int64_t> valueList = b ? std::vector<int64_t>{h.shareBase}
                                           : std::vector<int64_t>{h.shareBase, h.shareBase / 3};
  *body = SupplementBody(KeyOf(s), b, valueList, codes, sent, groups);
  return true;
}

}  // namespace

BarHistory ServedHistory(const SimStock& s, int32_t tradeDate) {
  return MakeBarHistory(KeyOf(s), SeedOf(s), kHistoryDays, WeekdayBefore(tradeDate), Units(s.prevClose, s.decimals),
                        EventsOf(s, tradeDate));
}

WireBar TodayBar(const SimStock& s, int32_t tradeDate) {
  const int d = s.decimals;
  WireBar b;
  b.time = PackDateTime(tradeDate / 10000, tradeDate / 100 % 100, tradeDate % 100, 0, 0);
  b.open = Units(s.open, d);
  b.close = Units(s.last, d);
  b.high = std::max({Units(s.high, d), b.open, b.close});
  b.low = std::min({Units(s.low, d), b.open, b.close});
  b.volume = s.volume;
  b.amount = s.amount;
  return b;
}

std::vector<WireBar> ServedBars(const SimStock& s, int32_t tradeDate, int period) {
  if (period >= 34 && period <= 38) return Merge(TodayMinutes(s, tradeDate), kMinutesOfPeriod[period - 34]);
  std::vector<WireBar> days = ServedHistory(s, tradeDate).days;
  days.push_back(TodayBar(s, tradeDate));
  return AggregateBars(days, period);
}

bool BuildLatestBarsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock s;
  if (!FindStock(data, request, &s)) return false;
  const int period = static_cast<int>(Number(request, 0));
  const std::vector<WireBar> all = ServedBars(s, data.TradeDate(), period);
  std::vector<int> ids(request.parsed.byteList.begin(), request.parsed.byteList.end());
  if (mode != kReplyComplete) {
    *body = BarsUpdateBody(period, ids, 1, {all.back()});
    return true;
  }
  const size_t count = static_cast<size_t>(std::clamp<int64_t>(Number(request, 3), 1, 65535));
  size_t from = 0;
  const std::vector<WireBar> bars = Tail(all, count, &from);
  std::vector<LookBackValues> groups;
  for (const auto& [id, wish] : request.parsed.pairs) {
    const size_t c = std::min<size_t>({static_cast<size_t>(wish), from, 127});
    LookBackValues g{id, {}};
    for (size_t j = from - c; j < from; ++j) g.values.push_back(WireBarValue(all[j], id));
    groups.push_back(g);
  }
  *body = LatestBarsBody(KeyOf(s), period, ids, bars, groups);
  return true;
}

bool BuildKLineBarsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  SimStock s;
  if (!FindStock(data, request, &s)) return false;
  const int period = static_cast<int>(Number(request, 0));
  const uint32_t start = static_cast<uint32_t>(Number(request, 1));
  const int64_t count = Number(request, 2);
  const std::vector<WireBar> all = ServedBars(s, data.TradeDate(), period);
  std::vector<int> ids(request.parsed.byteList.begin(), request.parsed.byteList.end());
  if (mode != kReplyComplete) {
    *body = BarsUpdateBody(period, ids, 1, {all.back()});
    return true;
  }
  size_t from = 0;
  std::vector<WireBar> bars;
  if (count > 0) {
    bars = Tail(all, static_cast<size_t>(std::min<int64_t>(count, kWindow)), &from);
  } else {
    // Count 0: the bars after the packed time start (at most the window).
    size_t after = 0;
    while (after < all.size() && all[after].time <= start) ++after;
    const std::vector<WireBar> newer(all.begin() + static_cast<long>(after), all.end());
    size_t cut = 0;
    bars = Tail(newer, kWindow, &cut);
    from = after + cut;
  }
  *body = RangeBarsBody(KeyOf(s), period, from == 0 ? 1 : 0, ids, bars);
  return true;
}

bool BuildExRightsReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  if (mode != kReplyComplete) return false;   // one-off
  SimStock s;
  if (!FindStock(data, request, &s)) return false;
  const BarHistory h = ServedHistory(s, data.TradeDate());
  *body = ExRightsBody(KeyOf(s), h.events, static_cast<int>(h.events.size()));
  return true;
}

bool BuildSupplementAReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  return BuildSupplement(data, request, mode, body, false);
}

bool BuildSupplementBReply(const MarketData& data, const JournalEntry& request, int mode, Bytes* body) {
  return BuildSupplement(data, request, mode, body, true);
}

}  // namespace simbroker
