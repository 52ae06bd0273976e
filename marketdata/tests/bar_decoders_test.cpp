// Bar decoders (types 49 and 68): price reconstruction, the look-back
// placement, the update window, and bounded reads of short or lying replies.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "marketdata/bar_decoders.h"
#include "tools/simbroker/bar_replies.h"

namespace {

using simbroker::Bytes;
using simbroker::WireBar;

const std::vector<int> kIds = {1, 2, 3, 4, 5, 6, 7, 8};

simbroker::BarStock Stock(int decimals = 2) { return {"600000", "浦发银行", decimals, 1, 0}; }

std::unique_ptr<KLineArea> NewArea() { return std::make_unique<KLineArea>(); }

// n bars from day `from` on, close 10.00 + i cents (2 decimals).
std::vector<WireBar> Bars(int n, int from = 0) {
  std::vector<WireBar> bars;
  for (int i = from; i < from + n; ++i) {
    WireBar b;
    b.time = simbroker::PackDateTime(2024, 1 + i / 28 % 12, 1 + i % 28, 0, 0) + static_cast<uint32_t>(i / 336 << 20);
    b.open = 1000 + i;
    b.high = 1010 + i;
    b.low = 990 + i;
    b.close = 1000 + i;
    b.amount = 1'000'000 + i;
    b.volume = 50'000 + i;
    b.field8 = 7 * i;
    b.field11 = 3 * i;
    bars.push_back(b);
  }
  return bars;
}

void Decode68(KLineArea* area, const Bytes& body, int flag, int capacity = 512) {
  ReplyReader reader(body.data(), static_cast<int>(body.size()));
  DecodeRangeBars(&reader, area, flag, capacity);
}

void Decode49(KLineArea* area, const Bytes& body, int flag, int capacity = 100) {
  ReplyReader reader(body.data(), static_cast<int>(body.size()));
  DecodeLatestBars(&reader, area, flag, capacity, kReservedLookBack);
}

// The bar at area index `index` equals wire bar w (2 decimals).
void ExpectBar(const KLineArea& area, int index, const WireBar& w, const std::string& what) {
  SCOPED_TRACE(what + " at " + std::to_string(index));
  const DayBar& b = area.bars[index];
  EXPECT_EQ(b.time, w.time);
  EXPECT_FLOAT_EQ(b.open, static_cast<float>(w.open / 100.0));
  EXPECT_FLOAT_EQ(b.high, static_cast<float>(w.high / 100.0));
  EXPECT_FLOAT_EQ(b.low, static_cast<float>(w.low / 100.0));
  EXPECT_FLOAT_EQ(b.close, static_cast<float>(w.close / 100.0));
  EXPECT_EQ(b.amount, w.amount);
  EXPECT_EQ(b.volume, w.volume);
  EXPECT_FLOAT_EQ(b.field8, static_cast<float>(w.field8 / 100.0));
}

TEST(BarDecoders, PricesAccumulateInPriceUnits) {
  struct Case {
    const char* name;
    int decimals;
    std::vector<int> closes;   // wire values: the first absolute, then deltas
    std::vector<float> expected;
  };
  const Case cases[] = {
      {"two decimals", 2, {1050, -25}, {10.50f, 10.25f}},
      {"three decimals", 3, {10500, -5}, {10.5f, 10.495f}},
      {"no decimals", 0, {7, 3}, {7.0f, 10.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body;
    simbroker::PutBarStockKey(&body, Stock(c.decimals));
    for (int v : {33, 0, 1, 5}) simbroker::PutU8(&body, static_cast<uint64_t>(v));  // period, flag, k, id 5
    simbroker::PutU16(&body, c.closes.size());
    for (int v : c.closes) simbroker::PutVarInt(&body, v);
    auto area = NewArea();
    Decode68(area.get(), body, 1);
    ASSERT_EQ(area->barCount, static_cast<int>(c.expected.size()));
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_FLOAT_EQ(area->bars[i].close, c.expected[i]);
  }
}

// 8,000 bars whose close goes up and down by one cent: with integer
// accumulation every close is the nearest float to its decimal value.
TEST(BarDecoders, LongSeriesHasNoDrift) {
  Bytes body;
  simbroker::PutBarStockKey(&body, Stock());
  for (int v : {33, 0, 1, 5}) simbroker::PutU8(&body, static_cast<uint64_t>(v));
  simbroker::PutU16(&body, kKLineBarRoom);
  int64_t units = 1001;
  std::vector<int64_t> closes;
  for (int i = 0; i < kKLineBarRoom; ++i) {
    const int64_t delta = i == 0 ? units : (i % 3 == 0 ? -1 : 1);
    if (i) units += delta;
    closes.push_back(units);
    simbroker::PutVarInt(&body, delta);
  }
  auto area = NewArea();
  Decode68(area.get(), body, 1);
  ASSERT_EQ(area->barCount, kKLineBarRoom);
  for (int i = 0; i < kKLineBarRoom; ++i) {
    ASSERT_EQ(area->bars[i].close, static_cast<float>(closes[i] / 100.0)) << i;
  }
}

TEST(BarDecoders, RangeBarsComplete) {
  const auto bars = Bars(300);
  auto area = NewArea();
  area->backwardStart = 9;   // anything the previous stock left
  Decode68(area.get(), simbroker::RangeBarsBody(Stock(), 33, 1, kIds, bars), 1);
  EXPECT_STREQ(area->key.code, "600000");
  EXPECT_EQ(area->period, 33);
  EXPECT_EQ(area->rangeFlag, 1);
  EXPECT_EQ(area->fieldCount, 8);
  EXPECT_EQ(area->first, 0);
  EXPECT_EQ(area->barCount, 300);
  EXPECT_EQ(area->end, 300);
  EXPECT_EQ(area->lookBackCount, 0);
  EXPECT_EQ(area->backwardStart, 0);
  ExpectBar(*area, 0, bars[0], "first");
  ExpectBar(*area, 299, bars[299], "last");
  EXPECT_EQ(area->bars[299].field11, 0);   // id 11 not listed
}

TEST(BarDecoders, LatestBarsLookBackPlacement) {
  struct Case {
    const char* name;
    std::vector<int> groupSizes;   // of field 5 (close) then field 7 (volume)
    int first;
    int end;
  };
  const Case cases[] = {
      {"60-value group", {60, 30}, 60, 160},
      {"largest group 30 moves the bars", {30, 10}, 30, 130},
      {"no group", {}, 0, 100},
      {"group of 61 refused", {61, 20}, 20, 120},
  };
  const auto bars = Bars(100, 100);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<simbroker::LookBackValues> groups;
    const int fields[] = {5, 7};
    for (size_t g = 0; g < c.groupSizes.size(); ++g) {
      simbroker::LookBackValues values{fields[g], {}};
      for (int j = 0; j < c.groupSizes[g]; ++j) values.values.push_back(2000 + 10 * j + static_cast<int>(g));
      groups.push_back(values);
    }
    auto area = NewArea();
    Decode49(area.get(), simbroker::LatestBarsBody(Stock(), 33, kIds, bars, groups), 1);
    EXPECT_EQ(area->first, c.first);
    EXPECT_EQ(area->end, c.end);
    EXPECT_EQ(area->barCount, 100);
    EXPECT_EQ(area->lookBackCount, c.first);
    EXPECT_EQ(area->groupCount, static_cast<int>(c.groupSizes.size()));
    ExpectBar(*area, c.first, bars[0], "first bar");
    ExpectBar(*area, c.end - 1, bars[99], "last bar");
  }
}

TEST(BarDecoders, LookBackValuesAreRelativeToTheGroupsFirst) {
  simbroker::LookBackValues closes{5, {}};
  for (int j = 0; j < 60; ++j) closes.values.push_back(1500 + j);
  simbroker::LookBackValues volumes{7, {}};
  for (int j = 0; j < 60; ++j) volumes.values.push_back(9000 - j);
  auto area = NewArea();
  Decode49(area.get(), simbroker::LatestBarsBody(Stock(), 33, kIds, Bars(5), {closes, volumes}), 1);
  ASSERT_EQ(area->first, 60);
  for (int j = 0; j < 60; ++j) {
    EXPECT_FLOAT_EQ(area->bars[j].close, static_cast<float>((1500 + j) / 100.0)) << j;
    EXPECT_EQ(area->bars[j].volume, 9000 - j) << j;
    EXPECT_EQ(area->bars[j].open, 0.0f) << j;   // only the group's field
  }
}

struct UpdateCase {
  const char* name;
  bool latest;          // type 49 (first 60) or type 68 (first 0)
  int held;             // bars of the complete reply
  int capacity;
  int mode;
  int incoming;         // bars of the update
  int expectCount;
  int expectLastWire;   // index into the series of the bar at end - 1
  int expectFirstWire;  // index into the series of the bar at first
};

TEST(BarDecoders, UpdateWindow) {
  const UpdateCase cases[] = {
      {"mode 1, one bar replaces the open bar", false, 10, 512, 1, 1, 10, 1000, 0},
      {"mode 1, two bars replace and append", false, 10, 512, 1, 2, 11, 1001, 0},
      {"mode 0 appends", false, 10, 512, 0, 2, 12, 1001, 0},
      {"full window of 100 slides by 3", false, 100, 100, 0, 3, 100, 1002, 3},
      {"latest bars full window slides by 3", true, 100, 100, 0, 3, 100, 1002, 3},
      {"more new bars than the window", false, 5, 4, 0, 6, 4, 1005, -1},
  };
  const auto series = Bars(1200);
  for (const UpdateCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto area = NewArea();
    const std::vector<WireBar> held(series.begin(), series.begin() + c.held);
    std::vector<simbroker::LookBackValues> groups;
    if (c.latest) {
      simbroker::LookBackValues g{5, std::vector<int64_t>(60, 1234)};
      groups.push_back(g);
      Decode49(area.get(), simbroker::LatestBarsBody(Stock(), 33, kIds, held, groups), 1, c.capacity);
    } else {
      Decode68(area.get(), simbroker::RangeBarsBody(Stock(), 33, 0, kIds, held), 1, c.capacity);
    }
    const int first = area->first;
    const std::vector<WireBar> incoming(series.begin() + 1000, series.begin() + 1000 + c.incoming);
    const Bytes update = simbroker::BarsUpdateBody(33, kIds, c.mode, incoming);
    if (c.latest) {
      Decode49(area.get(), update, 2, c.capacity);
    } else {
      Decode68(area.get(), update, 2, c.capacity);
    }
    EXPECT_EQ(area->first, first);
    EXPECT_EQ(area->barCount, c.expectCount);
    EXPECT_EQ(area->end, first + c.expectCount);
    EXPECT_EQ(area->replyBarCount, c.incoming);
    ExpectBar(*area, area->end - 1, series[c.expectLastWire], "last");
    if (c.expectFirstWire >= 0) ExpectBar(*area, first, series[c.expectFirstWire], "first");
    if (c.latest) {
      // The window slid by 3: look-back bars leave first, the first three
      // look-back places now hold look-back bars 3 onward.
      EXPECT_FLOAT_EQ(area->bars[0].close, 12.34f);
      ExpectBar(*area, first - 1, series[2], "former bar moved into the look-back");
    }
  }
}

// An update that reaches an area holding no bar (no complete reply yet, or a
// stock without bars) treats every bar as new instead of replacing bar -1.
TEST(BarDecoders, UpdateOnEmptyAreaAppendsEveryBar) {
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    auto area = NewArea();
    std::memset(area->key.code, 'K', 6);
    area->key.decimals = 2;
    area->fieldCount = 3;
    const auto bars = Bars(2);
    Decode68(area.get(), simbroker::BarsUpdateBody(33, kIds, mode, bars), 2);
    EXPECT_EQ(area->barCount, 2);
    EXPECT_EQ(area->end, 2);
    EXPECT_EQ(area->key.code[5], 'K');
    ExpectBar(*area, 0, bars[0], "first new");
    ExpectBar(*area, 1, bars[1], "second new");
  }
}

TEST(BarDecoders, ShortBodyKeepsWholeBars) {
  const auto bars = Bars(20);
  const Bytes full = simbroker::RangeBarsBody(Stock(), 33, 0, kIds, bars);
  const Bytes head = simbroker::RangeBarsBody(Stock(), 33, 0, kIds, {});
  Bytes oneBar;
  simbroker::PutBars(&oneBar, {bars[0]}, kIds);
  struct Case {
    const char* name;
    size_t length;
    int expectBars;
  };
  const Case cases[] = {
      {"key cut", 20, 0},
      {"header only", head.size(), 0},
      {"inside the first bar", head.size() + oneBar.size() - 1, 0},
      {"after the first bar", head.size() + oneBar.size(), 1},
      {"one byte short of all", full.size() - 1, 19},
      {"whole", full.size(), 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto area = NewArea();
    const Bytes body(full.begin(), full.begin() + static_cast<long>(c.length));
    Decode68(area.get(), body, 1);
    EXPECT_EQ(area->barCount, c.expectBars);
    EXPECT_EQ(area->end, c.expectBars);
    if (c.expectBars > 0) ExpectBar(*area, c.expectBars - 1, bars[c.expectBars - 1], "last kept");
    EXPECT_EQ(area->bars[c.expectBars].time, 0u);   // the cut bar is not stored
  }
}

TEST(BarDecoders, LyingCountsAreClamped) {
  struct Case {
    const char* name;
    int k;          // bar-field count byte
    int n;          // bar count
    int expectFields;
    int expectBars;
  };
  const Case cases[] = {
      {"n beyond the body", 8, 65535, 8, 3},
      {"negative field count: empty bars", -1, 3, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body;
    simbroker::PutBarStockKey(&body, Stock());
    simbroker::PutU8(&body, 33);
    simbroker::PutU8(&body, 0);
    simbroker::PutU8(&body, static_cast<uint64_t>(static_cast<uint8_t>(c.k)));
    if (c.k > 0) for (int id : kIds) simbroker::PutU8(&body, static_cast<uint64_t>(id));
    simbroker::PutU16(&body, static_cast<uint64_t>(c.n));
    if (c.k > 0) simbroker::PutBars(&body, Bars(3), kIds);
    auto area = NewArea();
    Decode68(area.get(), body, 1);
    EXPECT_EQ(area->fieldCount, c.expectFields);
    EXPECT_EQ(area->barCount, c.expectBars);
    EXPECT_LE(area->end, kKLineBarRoom);
  }
}

TEST(BarDecoders, NullBodyLeavesTheAreaAlone) {
  auto area = NewArea();
  area->barCount = 5;
  area->end = 5;
  DecodeRangeBars(nullptr, area.get(), 1, 512);
  DecodeLatestBars(nullptr, area.get(), 1, 100, 60);
  EXPECT_EQ(area->barCount, 5);
  EXPECT_EQ(area->end, 5);
}

TEST(BarDecoders, UnlistedIdsReadNothing) {
  // Ids 9 and 10 and an id outside 1..11 carry no value: the next id reads
  // from the same place.
  const std::vector<int> ids = {9, 10, 0, 12, 5};
  auto area = NewArea();
  Decode68(area.get(), simbroker::RangeBarsBody(Stock(), 33, 0, ids, Bars(2)), 1);
  ASSERT_EQ(area->barCount, 2);
  EXPECT_FLOAT_EQ(area->bars[1].close, 10.01f);
}

}  // namespace
