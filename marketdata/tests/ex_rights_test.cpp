// Ex-rights records: decoding with the forward and backward pairs, the
// adjustment walks, their undo, and the guards against bad events.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "marketdata/ex_rights.h"
#include "tools/simbroker/bar_replies.h"

namespace {

using simbroker::Bytes;
using simbroker::WireExRights;

simbroker::BarStock Stock() { return {"000001", "平安银行", 2, 2, 0}; }

void Decode(ExRightsArea* area, const std::vector<WireExRights>& events, int count = -1) {
  const Bytes body = simbroker::ExRightsBody(Stock(), events, count < 0 ? static_cast<int>(events.size()) : count);
  ReplyReader reader(body.data(), static_cast<int>(body.size()));
  DecodeExRights(&reader, area);
}

uint32_t Day(int yyyymmdd) { return simbroker::PackDateTime(yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100, 0, 0); }

// An area with one bar per (date, close); open/high/low around the close.
std::unique_ptr<KLineArea> Series(const std::vector<std::pair<int, float>>& bars, int first = 0) {
  auto area = std::make_unique<KLineArea>();
  area->first = first;
  for (size_t i = 0; i < bars.size(); ++i) {
    DayBar& b = area->bars[i];
    b.time = Day(bars[i].first);
    b.close = bars[i].second;
    b.open = bars[i].second - 0.3f;
    b.high = bars[i].second + 0.4f;
    b.low = bars[i].second - 0.5f;
    b.volume = 1000 + static_cast<int64_t>(i);
    b.amount = 5000 + static_cast<int64_t>(i);
  }
  area->end = static_cast<int>(bars.size());
  area->barCount = area->end > first ? area->end - first : 0;
  return area;
}

// Cash dividend 0.50 per share, or five bonus shares per ten.
WireExRights Cash(int date) { return {date, 50, 0, 0, 0, 0}; }
WireExRights Bonus(int date) { return {date, 0, 0, 0, 50, 0}; }

TEST(ExRights, DecodeComputesPairs) {
  struct Case {
    const char* name;
    WireExRights event;
    double forwardAdd, forwardFactor, backwardAdd, backwardFactor;
  };
  const Case cases[] = {
      {"cash 0.5", Cash(20240110), -0.5, 1.0, 0.5, 1.0},
      {"bonus 0.5", Bonus(20240110), 0.0, 1.0 / 1.5, 0.0, 1.5},
      {"rights 0.3 at 8.00", {20240110, 0, 800, 30, 0, 0}, 2.4 / 1.3, 1.0 / 1.3, -2.4, 1.3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExRightsArea area;
    Decode(&area, {c.event});
    ASSERT_EQ(area.count, 1);
    EXPECT_STREQ(area.key.code, "000001");
    const ExRightsRecord& r = area.records[0];
    EXPECT_EQ(r.date, 20240110);
    EXPECT_NEAR(r.forwardAdd, c.forwardAdd, 1e-6);
    EXPECT_NEAR(r.forwardFactor, c.forwardFactor, 1e-6);
    EXPECT_NEAR(r.backwardAdd, c.backwardAdd, 1e-6);
    EXPECT_NEAR(r.backwardFactor, c.backwardFactor, 1e-6);
  }
}

TEST(ExRights, SingleCashDividend) {
  ExRightsArea x;
  Decode(&x, {Cash(20240110)});
  auto area = Series({{20240109, 10.0f}, {20240110, 9.5f}, {20240111, 9.6f}});
  ApplyForwardExRights(area.get(), &x);
  EXPECT_FLOAT_EQ(area->bars[0].close, 9.5f);
  EXPECT_FLOAT_EQ(area->bars[1].close, 9.5f);   // on the date: unchanged
  EXPECT_FLOAT_EQ(area->bars[2].close, 9.6f);
  UndoExRightsAdjustment(kExRightsForward, area.get(), &x);
  ApplyBackwardExRights(area.get(), &x, 0);
  EXPECT_FLOAT_EQ(area->bars[0].close, 10.0f);  // before the date: unchanged
  EXPECT_FLOAT_EQ(area->bars[1].close, 10.0f);
  EXPECT_FLOAT_EQ(area->bars[2].close, 10.1f);
}

// The hand-computed series: a cash dividend of 0.50 on 2024-01-10 and five
// bonus shares per ten on 2024-01-20. Before both the close is 15.50, between
// them 15.00, after them 10.00. Forward: everything on today's basis, 10.00;
// backward: everything on the oldest basis, 15.50.
TEST(ExRights, TwoEventsForwardBackwardAndBack) {
  ExRightsArea x;
  Decode(&x, {Bonus(20240120), Cash(20240110)});   // newest first
  ASSERT_EQ(x.count, 2);
  const std::vector<std::pair<int, float>> bars = {
      {20240105, 15.5f}, {20240109, 15.5f}, {20240110, 15.0f},
      {20240115, 15.0f}, {20240122, 10.0f}, {20240123, 10.0f}};
  auto area = Series(bars, kReservedLookBack);   // a latest-bars area: start -1 is bar 0
  const auto original = std::make_unique<KLineArea>(*area);

  ApplyForwardExRights(area.get(), &x);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(area->bars[i].close, 10.0f, 1e-5) << i;
  EXPECT_NEAR(area->bars[0].open, (15.2 - 0.5) / 1.5, 1e-5);
  EXPECT_EQ(area->bars[0].volume, 1000);   // volume and amount untouched
  EXPECT_EQ(area->bars[0].amount, 5000);

  UndoExRightsAdjustment(kExRightsForward, area.get(), &x);
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(area->bars[i].close, original->bars[i].close, 1e-5) << i;
    EXPECT_NEAR(area->bars[i].low, original->bars[i].low, 1e-5) << i;
  }

  ApplyBackwardExRights(area.get(), &x, -1);
  EXPECT_EQ(area->backwardStart, 0);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(area->bars[i].close, 15.5f, 1e-5) << i;
  EXPECT_NEAR(area->bars[5].high, 1.5 * 10.4 + 0.5, 1e-5);

  UndoExRightsAdjustment(kExRightsBackward, area.get(), &x);
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(area->bars[i].close, original->bars[i].close, 1e-5) << i;
    EXPECT_NEAR(area->bars[i].open, original->bars[i].open, 1e-5) << i;
  }
  // Mode 1 and unknown modes do nothing.
  UndoExRightsAdjustment(kExRightsNone, area.get(), &x);
  UndoExRightsAdjustment(7, area.get(), &x);
  EXPECT_NEAR(area->bars[5].close, 10.0f, 1e-6);
}

TEST(ExRights, BackwardStartMinusOne) {
  struct Case {
    const char* name;
    int first;
    int expectStart;
  };
  const Case cases[] = {
      {"latest-bars area, first 60", 60, 0},
      {"K-line area, first 0", 0, 60},
      {"first 30", 30, 30},
  };
  ExRightsArea x;
  Decode(&x, {Cash(20200101)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<int, float>> bars;
    for (int i = 0; i < 100; ++i) bars.push_back({20210101 + i % 28, 10.0f});
    auto area = Series(bars, c.first);
    ApplyBackwardExRights(area.get(), &x, -1);
    EXPECT_EQ(area->backwardStart, c.expectStart);
    if (c.expectStart > 0) {
      EXPECT_FLOAT_EQ(area->bars[c.expectStart - 1].close, 10.0f);
    }
    EXPECT_FLOAT_EQ(area->bars[c.expectStart].close, 10.5f);
    EXPECT_FLOAT_EQ(area->bars[99].close, 10.5f);
  }
}

// The undo of a backward adjustment starts where the adjustment started, so
// the bars before it (never adjusted) keep their prices exactly.
TEST(ExRights, BackwardUndoStartsWhereTheAdjustmentStarted) {
  ExRightsArea x;
  Decode(&x, {Bonus(20200101)});
  std::vector<std::pair<int, float>> bars;
  for (int i = 0; i < 70; ++i) bars.push_back({20210101 + i % 28, 10.0f + 0.01f * static_cast<float>(i)});
  auto area = Series(bars, 0);
  const auto original = std::make_unique<KLineArea>(*area);
  ApplyBackwardExRights(area.get(), &x, -1);   // starts at bar 60
  EXPECT_EQ(area->bars[59].close, original->bars[59].close);
  UndoExRightsAdjustment(kExRightsBackward, area.get(), &x);
  for (int i = 0; i < 60; ++i) ASSERT_EQ(area->bars[i].close, original->bars[i].close) << i;
  for (int i = 60; i < 70; ++i) EXPECT_NEAR(area->bars[i].close, original->bars[i].close, 1e-5) << i;
}

// Events whose divisor is not positive are skipped: no infinite or NaN
// price reaches the bars, and the other events still apply.
TEST(ExRights, EventsWithZeroDivisorAreSkipped) {
  struct Case {
    const char* name;
    WireExRights bad;
  };
  const Case cases[] = {
      {"rights shares -1", {20240115, 0, 0, -100, 0, 0}},
      {"bonus -2", {20240115, 10, 0, 0, -200, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExRightsArea x;
    Decode(&x, {Cash(20240120), c.bad, Cash(20240110)});
    ASSERT_EQ(x.count, 3);
    auto area = Series({{20240105, 11.0f}, {20240112, 10.5f}, {20240118, 10.5f}, {20240125, 10.0f}});
    ApplyForwardExRights(area.get(), &x);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(area->bars[i].close)) << i;
    EXPECT_FLOAT_EQ(area->bars[0].close, 10.0f);
    EXPECT_FLOAT_EQ(area->bars[1].close, 10.0f);
    EXPECT_FLOAT_EQ(area->bars[2].close, 10.0f);
    UndoExRightsAdjustment(kExRightsForward, area.get(), &x);
    ApplyBackwardExRights(area.get(), &x, 0);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(area->bars[i].close)) << i;
    EXPECT_FLOAT_EQ(area->bars[3].close, 11.0f);
  }
}

TEST(ExRights, CountsAreBoundedByTheBody) {
  struct Case {
    const char* name;
    int count;
    size_t cut;     // bytes removed from the end
    int expect;
  };
  const Case cases[] = {
      {"negative count", -3, 0, 0},
      {"count beyond the body", 500, 0, 2},
      {"second record cut", 2, 1, 1},
      {"key cut", 2, 24 * 2 + 2 + 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body = simbroker::ExRightsBody(Stock(), {Cash(20240120), Cash(20240110)}, c.count);
    body.resize(body.size() - c.cut);
    ExRightsArea area;
    Decode(&area, {Cash(20230101)});   // something to replace
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    DecodeExRights(&reader, &area);
    EXPECT_EQ(area.count, c.expect);
    EXPECT_EQ(area.records != nullptr, c.expect > 0);
  }
}

TEST(ExRights, NothingToApplyWithoutRecords) {
  ExRightsArea empty;
  auto area = Series({{20240105, 11.0f}});
  ApplyForwardExRights(area.get(), &empty);
  ApplyBackwardExRights(area.get(), &empty, 0);
  UndoExRightsAdjustment(kExRightsForward, area.get(), &empty);
  EXPECT_FLOAT_EQ(area->bars[0].close, 11.0f);
  ApplyForwardExRights(area.get(), nullptr);
  DecodeExRights(nullptr, &empty);
  EXPECT_EQ(empty.count, 0);
}

}  // namespace
