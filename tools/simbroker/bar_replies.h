// Reply bodies of the bar requests as the market-data server writes them:
// latest bars (49), K-line bars (68), ex-rights (55) and the level-2 bar
// supplements A (91) and B (92); and a day-bar history generator with
// ex-rights events from which they are served.
//
// Wire formats (big-endian), written from the protocol:
//   bar        one value per listed field id, var-ints: 1 time (u32 delta),
//              2-5 open/high/low/close and 8 field 8 (deltas in 10^-d
//              units), 6 amount, 7 volume, 11 field 11 (int64 deltas);
//              9, 10 carry nothing. The first bar of a run is absolute, each
//              later one relative to the bar before.
//   68 full    key(33) period range-flag k ids u16 n bars
//   49 full    key(33) period k ids u16 n bars, u8 m groups (id, i8 c,
//              c values: the first absolute, the rest relative to the first)
//   49/68 upd  period k ids u16 n mode bars
//   55         key(33) s16 n, n x (date, cash x100, rights price x10^d,
//              rights shares x100, bonus x100, transferred x100), newest first
//   91/92 full key(33) u8 e, e x (i64 value, 4 zero bytes), 1 byte, k codes,
//              u16 n records, u8 m groups (code, i8 c, c values)
//   91/92 upd  1 byte, k codes, u16 n, mode, n records
//   supplement values: 3-byte scaled int24, except B's code 127 (trade
//              count): var-int64 delta to the record before.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

// The 33-byte stock key of a reply.
struct BarStock {
  std::string code;      // 6 characters
  std::string name;      // UTF-8, at most 24 bytes
  int decimals = 2;
  int market = 1;
  int kind = 0;
};
void PutBarStockKey(Bytes* out, const BarStock& stock);

// A bar as the server keeps it: prices in 10^-d units.
struct WireBar {
  uint32_t time = 0;     // packed date and time
  int64_t open = 0, high = 0, low = 0, close = 0;
  int64_t amount = 0;
  int64_t volume = 0;
  int64_t field8 = 0;
  int64_t field11 = 0;
};

// The value of wire id (1..11) of bar; 0 for ids that carry nothing.
int64_t WireBarValue(const WireBar& bar, int id);

// n delta-coded bars for the listed ids.
void PutBars(Bytes* out, const std::vector<WireBar>& bars, const std::vector<int>& ids);

// A look-back group of a type-49 reply: values of one field, oldest first.
struct LookBackValues {
  int id;                          // wire id
  std::vector<int64_t> values;     // the field's values (prices in 10^-d units)
};

Bytes RangeBarsBody(const BarStock& stock, int period, int rangeFlag, const std::vector<int>& ids,
                    const std::vector<WireBar>& bars);
Bytes LatestBarsBody(const BarStock& stock, int period, const std::vector<int>& ids,
                     const std::vector<WireBar>& bars, const std::vector<LookBackValues>& groups);
// Update of type 49 or 68 (same layout).
Bytes BarsUpdateBody(int period, const std::vector<int>& ids, int mode, const std::vector<WireBar>& bars);

// One ex-rights event as sent: per-share amounts x100, rights price x10^d.
struct WireExRights {
  int32_t date = 0;            // YYYYMMDD
  int32_t cash = 0;            // cash dividend per share x100
  int32_t rightsPrice = 0;     // x10^d
  int32_t rightsShares = 0;    // x100
  int32_t bonusShares = 0;     // x100
  int32_t transferredShares = 0;  // x100
};
// events newest first; count is written as given (tests may lie with it).
Bytes ExRightsBody(const BarStock& stock, const std::vector<WireExRights>& events, int count);

// Supplement records by value index (A: 35 values, B: 11 values).
struct SupplementRow {
  int64_t values[35] = {};
};
// The value index a code fills in supplement A (b = false) or B (b = true);
// -1 for a code that carries nothing.
int SupplementCodeIndex(bool b, int code);
void PutSupplementRecords(Bytes* out, bool b, const std::vector<SupplementRow>& rows, const std::vector<int>& codes);
struct SupplementGroup {
  int code;
  std::vector<int64_t> values;   // oldest first
};
Bytes SupplementBody(const BarStock& stock, bool b, const std::vector<int64_t>& valueList,
                     const std::vector<int>& codes, const std::vector<SupplementRow>& rows,
                     const std::vector<SupplementGroup>& groups);
Bytes SupplementUpdateBody(bool b, const std::vector<int>& codes, int mode, const std::vector<SupplementRow>& rows);

// --- The served history ---

// A stock's day bars from a seeded random walk over trading days (weekdays)
// ending at lastDate with the close lastClose (10^-d units), with its
// ex-rights events: on an event's date the price opens at the ex-rights
// reference price of the close before, so unadjusted bars show the drop and
// forward-adjusted bars run on without a gap.
struct BarHistory {
  BarStock stock;
  std::vector<WireBar> days;              // oldest first
  std::vector<WireExRights> events;       // newest first, dates moved onto trading days
  std::vector<SupplementRow> level2;      // supplement A, one per day
  std::vector<SupplementRow> supplement;  // supplement B, one per day
  int64_t shareBase = 0;                  // value-list entry 0 of supplement A
};
// count trading days ending at lastDate (YYYYMMDD). An event whose date is
// not a trading day moves to the next one; one before the second day or
// after lastDate is left out.
BarHistory MakeBarHistory(const BarStock& stock, uint32_t seed, int count, int32_t lastDate, int64_t lastClose,
                          const std::vector<WireExRights>& events);

// Joins runs of consecutive bars with the same key (keyOf(index, bar)) into
// one bar each: the first bar's open, the last one's time and close, the
// highest high, the lowest low, and the sums of volume and amount.
template <typename KeyOf>
std::vector<WireBar> JoinBars(const std::vector<WireBar>& bars, KeyOf keyOf) {
  std::vector<WireBar> out;
  int64_t currentKey = 0;
  for (size_t i = 0; i < bars.size(); ++i) {
    const WireBar& d = bars[i];
    const int64_t key = keyOf(i, d);
    if (out.empty() || key != currentKey) {
      out.push_back(d);
      currentKey = key;
      continue;
    }
    WireBar& bar = out.back();
    bar.time = d.time;
    bar.high = std::max(bar.high, d.high);
    bar.low = std::min(bar.low, d.low);
    bar.close = d.close;
    bar.amount += d.amount;
    bar.volume += d.volume;
  }
  return out;
}

// Bars of a period built from the days: 33 day, 39 week, 40 month, 41 year
// (open of the first day, high/low over the days, close of the last,
// summed amount and volume, time of the last day). Other periods give the
// days unchanged.
std::vector<WireBar> AggregateBars(const std::vector<WireBar>& days, int period);

}  // namespace simbroker
