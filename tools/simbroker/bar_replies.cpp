#include "tools/simbroker/bar_replies.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>

namespace simbroker {

namespace {

int64_t Pow10(int d) {
  int64_t p = 1;
  for (int i = 0; i < d; ++i) p *= 10;
  return p;
}

// Days since 1970-01-01 of a civil date, and back.
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

int32_t DateOfTime(uint32_t packed) {
  const int y = static_cast<int>(packed >> 20);
  const int m = static_cast<int>(packed >> 16 & 15);
  const int d = static_cast<int>(packed >> 11 & 31);
  return y * 10000 + m * 100 + d;
}

int64_t DaysOfTime(uint32_t packed) {
  return DaysFromCivil(static_cast<int>(packed >> 20), static_cast<int>(packed >> 16 & 15),
                       static_cast<int>(packed >> 11 & 31));
}

}  // namespace

void PutBarStockKey(Bytes* out, const BarStock& stock) {
  PutFixedText(out, stock.code, 6);
  PutFixedText(out, stock.name, 24);
  PutU8(out, static_cast<uint64_t>(stock.decimals));
  PutU8(out, static_cast<uint64_t>(stock.market));
  PutU8(out, static_cast<uint64_t>(stock.kind));
}

int64_t WireBarValue(const WireBar& bar, int id) {
  switch (id) {
    case 1: return static_cast<int64_t>(bar.time);
    case 2: return bar.open;
    case 3: return bar.high;
    case 4: return bar.low;
    case 5: return bar.close;
    case 6: return bar.amount;
    case 7: return bar.volume;
    case 8: return bar.field8;
    case 11: return bar.field11;
    default: return 0;
  }
}

namespace {

// Time deltas travel in 32 bits: the difference wraps like the packed time.
int64_t BarDelta(int id, int64_t value, int64_t previous) {
  if (id == 1) return static_cast<int32_t>(static_cast<uint32_t>(value) - static_cast<uint32_t>(previous));
  return value - previous;
}

bool CarriesValue(int id) { return id >= 1 && id <= 11 && id != 9 && id != 10; }

}  // namespace

void PutBars(Bytes* out, const std::vector<WireBar>& bars, const std::vector<int>& ids) {
  const WireBar* previous = nullptr;
  const WireBar cleared{};
  for (const WireBar& bar : bars) {
    const WireBar& ref = previous ? *previous : cleared;
    for (int id : ids) {
      if (!CarriesValue(id)) continue;
      PutVarInt(out, BarDelta(id, WireBarValue(bar, id), WireBarValue(ref, id)));
    }
    previous = &bar;
  }
}

namespace {

void PutIds(Bytes* out, const std::vector<int>& ids) {
  PutU8(out, ids.size());
  for (int id : ids) PutU8(out, static_cast<uint64_t>(id));
}

}  // namespace

Bytes RangeBarsBody(const BarStock& stock, int period, int rangeFlag, const std::vector<int>& ids,
                    const std::vector<WireBar>& bars) {
  Bytes out;
  PutBarStockKey(&out, stock);
  PutU8(&out, static_cast<uint64_t>(period));
  PutU8(&out, static_cast<uint64_t>(rangeFlag));
  PutIds(&out, ids);
  PutU16(&out, bars.size());
  PutBars(&out, bars, ids);
  return out;
}

Bytes LatestBarsBody(const BarStock& stock, int period, const std::vector<int>& ids,
                     const std::vector<WireBar>& bars, const std::vector<LookBackValues>& groups) {
  Bytes out;
  PutBarStockKey(&out, stock);
  PutU8(&out, static_cast<uint64_t>(period));
  PutIds(&out, ids);
  PutU16(&out, bars.size());
  PutBars(&out, bars, ids);
  PutU8(&out, groups.size());
  for (const LookBackValues& g : groups) {
    PutU8(&out, static_cast<uint64_t>(g.id));
    PutU8(&out, static_cast<uint64_t>(static_cast<uint8_t>(static_cast<int8_t>(g.values.size()))));
    if (!CarriesValue(g.id)) continue;
    for (size_t j = 0; j < g.values.size(); ++j) {
      PutVarInt(&out, j == 0 ? BarDelta(g.id, g.values[0], 0) : BarDelta(g.id, g.values[j], g.values[0]));
    }
  }
  return out;
}

Bytes BarsUpdateBody(int period, const std::vector<int>& ids, int mode, const std::vector<WireBar>& bars) {
  Bytes out;
  PutU8(&out, static_cast<uint64_t>(period));
  PutIds(&out, ids);
  PutU16(&out, bars.size());
  PutU8(&out, static_cast<uint64_t>(mode));
  PutBars(&out, bars, ids);
  return out;
}

Bytes ExRightsBody(const BarStock& stock, const std::vector<WireExRights>& events, int count) {
  Bytes out;
  PutBarStockKey(&out, stock);
  PutU16(&out, static_cast<uint64_t>(static_cast<uint16_t>(static_cast<int16_t>(count))));
  for (const WireExRights& e : events) {
    for (int32_t v : {e.date, e.cash, e.rightsPrice, e.rightsShares, e.bonusShares, e.transferredShares}) {
      PutU32(&out, static_cast<uint32_t>(v));
    }
  }
  return out;
}

int SupplementCodeIndex(bool b, int code) {
  if (b) {
    if (code == 'g') return 0;
    if (code == 'm') return 1;
    if (code == 127) return 2;
    if (code >= 50 && code <= 78 && (code - 50) % 4 == 0) return 3 + (code - 50) / 4;
    return -1;
  }
  const char* letters = "dfghijlmno";
  for (int i = 0; letters[i]; ++i) {
    if (letters[i] == code) return i;
  }
  if (code >= 50 && code <= 78 && (code - 50) % 4 == 0) return 10 + (code - 50) / 4;
  if (code >= 52 && code <= 80 && (code - 52) % 4 == 0) return 18 + (code - 52) / 4;
  if (code >= 51 && code <= 79 && (code - 51) % 4 == 0) return 26 + (code - 51) / 4;
  return -1;
}

void PutSupplementRecords(Bytes* out, bool b, const std::vector<SupplementRow>& rows, const std::vector<int>& codes) {
  int64_t previousCount = 0;
  for (const SupplementRow& row : rows) {
    for (int code : codes) {
      const int index = SupplementCodeIndex(b, code);
      if (index < 0) continue;
      if (b && code == 127) {
        PutVarInt(out, row.values[2] - previousCount);
        continue;
      }
      PutScaledInt24(out, row.values[index]);
    }
    previousCount = row.values[2];
  }
}

Bytes SupplementBody(const BarStock& stock, bool b, const std::vector<int64_t>& valueList,
                     const std::vector<int>& codes, const std::vector<SupplementRow>& rows,
                     const std::vector<SupplementGroup>& groups) {
  Bytes out;
  PutBarStockKey(&out, stock);
  PutU8(&out, valueList.size());
  for (int64_t v : valueList) {
    PutU64(&out, static_cast<uint64_t>(v));
    PutU32(&out, 0);
  }
  PutU8(&out, 0);
  PutIds(&out, codes);
  PutU16(&out, rows.size());
  PutSupplementRecords(&out, b, rows, codes);
  PutU8(&out, groups.size());
  for (const SupplementGroup& g : groups) {
    PutU8(&out, static_cast<uint64_t>(g.code));
    PutU8(&out, static_cast<uint64_t>(static_cast<uint8_t>(static_cast<int8_t>(g.values.size()))));
    if (SupplementCodeIndex(b, g.code) < 0) continue;
    for (size_t j = 0; j < g.values.size(); ++j) {
      if (b && g.code == 127) {
        PutVarInt(&out, j == 0 ? g.values[0] : g.values[j] - g.values[0]);
      } else {
        PutScaledInt24(&out, g.values[j]);
      }
    }
  }
  return out;
}

Bytes SupplementUpdateBody(bool b, const std::vector<int>& codes, int mode, const std::vector<SupplementRow>& rows) {
  Bytes out;
  PutU8(&out, 0);
  PutIds(&out, codes);
  PutU16(&out, rows.size());
  PutU8(&out, static_cast<uint64_t>(mode));
  PutSupplementRecords(&out, b, rows, codes);
  return out;
}

BarHistory MakeBarHistory(const BarStock& stock, uint32_t seed, int count, int32_t lastDate, int64_t lastClose,
                          const std::vector<WireExRights>& events) {
  BarHistory h;
  h.stock = stock;
  h.shareBase = 1'200'000'000;
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> move(-300, 300);   // hundredths of a percent
  std::uniform_int_distribution<int> wick(0, 150);
  std::uniform_int_distribution<int64_t> lots(8'000, 60'000);
  std::uniform_int_distribution<int64_t> small(0, 500'000);

  // Trading days (weekdays) ending at lastDate, oldest first.
  std::vector<int64_t> dayNumbers;
  int64_t day = DaysFromCivil(lastDate / 10000, lastDate / 100 % 100, lastDate % 100);
  while (static_cast<int>(dayNumbers.size()) < count) {
    const int64_t weekday = (day + 4) % 7;   // 0 Sunday
    if (weekday != 0 && weekday != 6) dayNumbers.push_back(day);
    --day;
  }
  std::reverse(dayNumbers.begin(), dayNumbers.end());

  // Each event lands on the first trading day on or after its date.
  std::map<int64_t, WireExRights> byDay;
  for (const WireExRights& e : events) {
    const int64_t d = DaysFromCivil(e.date / 10000, e.date / 100 % 100, e.date % 100);
    auto it = std::lower_bound(dayNumbers.begin(), dayNumbers.end(), d);
    if (it == dayNumbers.end() || it == dayNumbers.begin()) continue;
    WireExRights placed = e;
    int y = 0, m = 0, dd = 0;
    CivilFromDays(*it, &y, &m, &dd);
    placed.date = y * 10000 + m * 100 + dd;
    byDay[*it] = placed;
  }

  // Walk back from the newest close. A day opens at the close before it, or
  // on an ex-rights day at that close's ex-rights reference price:
  // open = (close before + rights price x rights shares - cash) / o.
  const int64_t unit = Pow10(stock.decimals);
  h.days.resize(dayNumbers.size());
  int64_t close = std::max<int64_t>(1, lastClose);
  for (size_t k = dayNumbers.size(); k-- > 0;) {
    WireBar& bar = h.days[k];
    int y = 0, m = 0, d = 0;
    CivilFromDays(dayNumbers[k], &y, &m, &d);
    bar.time = PackDateTime(y, m, d, 0, 0);
    const int64_t open = std::max<int64_t>(1, close * 10'000 / (10'000 + move(rng)));
    bar.open = open;
    bar.close = close;
    bar.high = std::max(open, close) + std::max(open, close) * wick(rng) / 10'000;
    bar.low = std::max<int64_t>(1, std::min(open, close) - std::min(open, close) * wick(rng) / 10'000);
    bar.volume = lots(rng) * 100;
    bar.amount = bar.volume * ((open + close) / 2) / unit;
    close = open;
    auto ev = byDay.find(dayNumbers[k]);
    if (ev != byDay.end()) {
      const WireExRights& e = ev->second;
      const double o = 1.0 + (e.rightsShares + e.bonusShares + e.transferredShares) / 100.0;
      const double before = static_cast<double>(open) * o - e.rightsPrice * (e.rightsShares / 100.0) +
                            e.cash / 100.0 * static_cast<double>(unit);
      close = std::max<int64_t>(1, std::llround(before));
      h.events.push_back(e);   // newest first
    }
  }
  for (size_t k = 0; k < h.days.size(); ++k) {
    SupplementRow a;
    for (int i = 0; i < 34; ++i) a.values[i] = small(rng);
    h.level2.push_back(a);
    SupplementRow b;
    for (int i = 0; i < 11; ++i) b.values[i] = small(rng);
    b.values[2] = h.days[k].volume / 300 + small(rng) % 1000;   // trade count
    h.supplement.push_back(b);
  }
  return h;
}

std::vector<WireBar> AggregateBars(const std::vector<WireBar>& days, int period) {
  if (period != 39 && period != 40 && period != 41) return days;
  return JoinBars(days, [period](size_t, const WireBar& d) -> int64_t {
    if (period == 39) return (DaysOfTime(d.time) + 3) / 7;  // weeks from Monday
    const int32_t date = DateOfTime(d.time);
    return period == 40 ? date / 100 : date / 10000;
  });
}

}  // namespace simbroker
