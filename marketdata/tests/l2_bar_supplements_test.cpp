// Level-2 bar supplements (types 91 and 92): tail placement in the 512-bar
// window, the value list, the trade-count deltas, updates and refusals.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "marketdata/l2_bar_supplements.h"
#include "tools/simbroker/bar_replies.h"

namespace {

using simbroker::Bytes;
using simbroker::SupplementRow;

simbroker::BarStock Stock() { return {"600519", "贵州茅台", 2, 1, 0}; }

// The request's code lists.
const std::vector<int> kCodesA = {100, 102, 103, 104, 105, 106, 108, 109, 110, 111, 50, 54, 58,
                                  62,  66,  70,  74,  78,  52,  56,  60,  64,  68,  72,  76, 80};
// Every supplement-A code: the request's list and the eight codes 51 + 4i.
const std::vector<int> kAllCodesA = [] {
  std::vector<int> codes = kCodesA;
  for (int i = 0; i < 8; ++i) codes.push_back(51 + 4 * i);
  return codes;
}();
const std::vector<int> kCodesB = {103, 109, 127, 50, 54, 58, 62, 66, 70, 74, 78};

// Row r: value index i holds 1000 * r + i (exact in a scaled int24 while
// below 524,288).
std::vector<SupplementRow> Rows(int n, int from = 0) {
  std::vector<SupplementRow> rows(static_cast<size_t>(n));
  for (int r = 0; r < n; ++r) {
    for (int i = 0; i < 35; ++i) rows[r].values[i] = 1000 * (r + from) + i;
  }
  return rows;
}

void DecodeA(KLineArea* area, const Bytes& body, int flag, int capacity = 512) {
  ReplyReader reader(body.data(), static_cast<int>(body.size()));
  DecodeKLineSupplementA(area, &reader, flag, capacity, kKLineWindow);
}

void DecodeB(KLineArea* area, const Bytes& body, int flag, int capacity = 512) {
  ReplyReader reader(body.data(), static_cast<int>(body.size()));
  DecodeKLineSupplementB(area, &reader, flag, capacity, kKLineWindow);
}

TEST(BarSupplements, CompleteAIsAlignedWithTheWindowTail) {
  struct Case {
    const char* name;
    int first;
    int n;
    int firstFilled;
  };
  const Case cases[] = {
      {"512 records", 0, 512, 0},
      {"300 records", 0, 300, 212},
      {"300 records after a look-back of 60", 60, 300, 272},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto area = std::make_unique<KLineArea>();
    area->first = c.first;
    area->level2Values[5] = 77;   // cleared by a complete supplement-A reply
    const auto rows = Rows(c.n);
    DecodeA(area.get(), simbroker::SupplementBody(Stock(), false, {1'200'000'000, 42}, kAllCodesA, rows, {}), 1);
    EXPECT_EQ(area->level2Count, 512);
    EXPECT_EQ(area->level2Values[0], 1'200'000'000);   // the share base
    EXPECT_EQ(area->level2Values[1], 42);
    EXPECT_EQ(area->level2Values[5], 0);
    if (c.firstFilled > 0) {
      EXPECT_EQ(area->level2Records[c.firstFilled - 1].values[0], 0);
    }
    const Level2BarRecord& firstRecord = area->level2Records[c.firstFilled];
    for (int i = 0; i < 34; ++i) EXPECT_EQ(firstRecord.values[i], i) << i;
    EXPECT_EQ(firstRecord.values[34], 0);
    EXPECT_EQ(area->level2Records[c.first + 511].values[33], 1000 * (c.n - 1) + 33);
  }
}

TEST(BarSupplements, TradeCountIsADeltaToTheRecordBefore) {
  std::vector<SupplementRow> rows(2);
  rows[0].values[2] = 1000;
  rows[1].values[2] = 1025;
  rows[1].values[0] = 7;
  const Bytes body = simbroker::SupplementBody(Stock(), true, {5}, kCodesB, rows, {});
  auto area = std::make_unique<KLineArea>();
  area->supplementValues[3] = 99;   // supplement B keeps entries the reply does not carry
  DecodeB(area.get(), body, 1);
  EXPECT_EQ(area->supplementCount, 512);
  EXPECT_EQ(area->supplementValues[0], 5);
  EXPECT_EQ(area->supplementValues[3], 99);
  EXPECT_EQ(area->supplementRecords[510].values[2], 1000);
  EXPECT_EQ(area->supplementRecords[511].values[2], 1025);
  EXPECT_EQ(area->supplementRecords[511].values[0], 7);
}

TEST(BarSupplements, LookBackGroupsFillTheRecordsBefore) {
  auto area = std::make_unique<KLineArea>();
  const auto rows = Rows(100);
  std::vector<SupplementRow> bRows(100);
  for (int r = 0; r < 100; ++r) bRows[r].values[2] = 500 + r;
  simbroker::SupplementGroup counts{127, {}};
  for (int j = 0; j < 60; ++j) counts.values.push_back(300 + j);
  simbroker::SupplementGroup g{103, std::vector<int64_t>(60, 4321)};
  simbroker::SupplementGroup longer{109, std::vector<int64_t>(127, 1)};
  simbroker::SupplementGroup after{50, std::vector<int64_t>(3, 8)};
  DecodeB(area.get(), simbroker::SupplementBody(Stock(), true, {}, kCodesB, bRows, {counts, g, longer, after}), 1);
  // The 100 records sit at 412..511; the groups fill 352..411.
  EXPECT_EQ(area->supplementRecords[412].values[2], 500);
  EXPECT_EQ(area->supplementRecords[352].values[2], 300);
  EXPECT_EQ(area->supplementRecords[411].values[2], 359);
  EXPECT_EQ(area->supplementRecords[411].values[0], 4321);
  EXPECT_EQ(area->supplementRecords[351].values[0], 0);
  EXPECT_EQ(area->supplementRecords[409].values[3], 8);   

  auto a = std::make_unique<KLineArea>();
  simbroker::SupplementGroup letters{100, {}};
  for (int j = 0; j < 60; ++j) letters.values.push_back(j);
  DecodeA(a.get(), simbroker::SupplementBody(Stock(), false, {1}, kCodesA, rows, {letters}), 1);
  EXPECT_EQ(a->level2Records[352].values[0], 0);
  EXPECT_EQ(a->level2Records[411].values[0], 59);

  // With 512 records no group fits before them: a group is read but not
  // stored, and the next group is read in step.
  auto full = std::make_unique<KLineArea>();
  simbroker::SupplementGroup refused{100, std::vector<int64_t>(5, 77)};
  simbroker::SupplementGroup empty{102, {}};
  DecodeA(full.get(), simbroker::SupplementBody(Stock(), false, {1}, kCodesA, Rows(512), {refused, empty}), 1);
  EXPECT_EQ(full->level2Count, 512);
  EXPECT_EQ(full->level2Records[0].values[0], 0);
  EXPECT_EQ(full->level2Records[1].values[0], 1000);
}

TEST(BarSupplements, Updates) {
  struct Case {
    const char* name;
    int held;       // records of the complete reply (0: no complete reply)
    int capacity;
    int mode;
    int incoming;
    int expectCount;
    int expectLastRow;   // row number (from Rows) at index count - 1
  };
  const Case cases[] = {
      {"mode 1, one record replaces the open record", 512, 512, 1, 1, 512, 400},
      {"mode 1, two records slide the full window", 512, 512, 1, 2, 512, 401},
      {"no complete reply: every record is new", 0, 512, 1, 2, 2, 401},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto area = std::make_unique<KLineArea>();
    if (c.held > 0) DecodeA(area.get(), simbroker::SupplementBody(Stock(), false, {}, kCodesA, Rows(c.held), {}), 1);
    DecodeA(area.get(), simbroker::SupplementUpdateBody(false, kCodesA, c.mode, Rows(c.incoming, 400)), 2, c.capacity);
    EXPECT_EQ(area->level2Count, c.expectCount);
    EXPECT_EQ(area->level2Records[c.expectCount - 1].values[3], 1000 * c.expectLastRow + 3);
    if (c.held == 512 && c.incoming == 2) {
      EXPECT_EQ(area->level2Records[0].values[0], 1000);     // row 0 left
      EXPECT_EQ(area->level2Records[510].values[0], 400000);  // the replaced open record
    }
  }
  // Supplement B: the first record of an update is absolute.
  auto b = std::make_unique<KLineArea>();
  std::vector<SupplementRow> held(3);
  for (int r = 0; r < 3; ++r) held[r].values[2] = 100 * r;
  DecodeB(b.get(), simbroker::SupplementBody(Stock(), true, {}, kCodesB, held, {}), 1);
  std::vector<SupplementRow> incoming(2);
  incoming[0].values[2] = 250;
  incoming[1].values[2] = 260;
  DecodeB(b.get(), simbroker::SupplementUpdateBody(true, kCodesB, 1, incoming), 2);
  EXPECT_EQ(b->supplementCount, 512);
  EXPECT_EQ(b->supplementRecords[510].values[2], 250);
  EXPECT_EQ(b->supplementRecords[511].values[2], 260);
  EXPECT_EQ(b->supplementRecords[509].values[2], 100);
}

TEST(BarSupplements, RefusedAndShortReplies) {
  struct Case {
    const char* name;
    Bytes body;
    int expectCount;
    int64_t expectLast;   // value 0 of record 511
  };
  const Bytes whole = simbroker::SupplementBody(Stock(), false, {1, 2}, kCodesA, Rows(10), {});
  const Case cases[] = {
      {"more records than the window", simbroker::SupplementBody(Stock(), false, {1}, {100}, Rows(513), {}), 0, 0},
      {"cut inside the last record", Bytes(whole.begin(), whole.end() - 2), 512, 0},
      {"cut before the records", Bytes(whole.begin(), whole.begin() + 40), 0, 0},
      {"whole", whole, 512, 9000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto area = std::make_unique<KLineArea>();
    DecodeA(area.get(), c.body, 1);
    EXPECT_EQ(area->level2Count, c.expectCount);
    EXPECT_EQ(area->level2Records[511].values[0], c.expectLast);
  }
  auto area = std::make_unique<KLineArea>();
  DecodeKLineSupplementA(area.get(), nullptr, 1, 512, 512);
  DecodeKLineSupplementB(nullptr, nullptr, 1, 512, 512);
  EXPECT_EQ(area->level2Count, 0);
}

TEST(BarReplies, CodeTablesMatchTheRequestLists) {
  for (size_t i = 0; i < kCodesA.size(); ++i) EXPECT_EQ(simbroker::SupplementCodeIndex(false, kCodesA[i]), static_cast<int>(i));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(simbroker::SupplementCodeIndex(false, 51 + 4 * i), 26 + i);
  for (size_t i = 0; i < kCodesB.size(); ++i) EXPECT_EQ(simbroker::SupplementCodeIndex(true, kCodesB[i]), static_cast<int>(i));
  EXPECT_EQ(simbroker::SupplementCodeIndex(false, 101), -1);
  EXPECT_EQ(simbroker::SupplementCodeIndex(true, 100), -1);
}

}  // namespace
