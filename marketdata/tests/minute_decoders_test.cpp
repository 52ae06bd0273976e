// Minute-data decoders: prices by decimals, zero-price fill, updates, gaps,
// type 50 and 37 placement, flow records and the bounds of a lying reply.
#include <gtest/gtest.h>

#include <memory>

#include "marketdata/minute_decoders.h"
#include "quote_test_support.h"
#include "tools/simbroker/minute_tick_replies.h"

using simbroker::Bytes;
using simbroker::SimStock;
using simbroker::WireMinutePoint;

namespace {

const std::vector<int> kAllIds = {1, 2, 3, 4, 5, 6, 7, 8};

SimStock Stock(int decimals, int kind = 2) {
  SimStock s{};
  s.code = "600000";
  s.name = "浦发银行";
  s.market = 1;
  s.kind = kind;
  s.decimals = decimals;
  return s;
}

WireMinutePoint Point(int64_t price, int64_t volume, int64_t average = 0) {
  WireMinutePoint p;
  p.price = price;
  p.volume = volume;
  p.amount = volume * 10;
  p.average = average;
  return p;
}

class MinuteDecoderTest : public ::testing::Test {
 protected:
  void Decode(const Bytes& body, int type, int mode) {
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    DecodeMinuteData(area.get(), &reader, type, mode);
  }
  // A complete type-48 reply of points from minute 0 (2 decimals, close 10.00).
  void Complete(const std::vector<WireMinutePoint>& points, int decimals = 2) {
    Decode(simbroker::MinuteDataBody(48, true, Stock(decimals), decimals == 2 ? 1000 : 10000, 7, 8, 0, kAllIds,
                                     points),
           48, 1);
  }
  void Update(int start, const std::vector<WireMinutePoint>& points) {
    Decode(simbroker::MinuteDataBody(48, false, Stock(2), 0, 1, 2, start, kAllIds, points), 48, 2);
  }

  std::unique_ptr<MinuteArea> area = std::make_unique<MinuteArea>();
};

TEST_F(MinuteDecoderTest, PricesFollowThePriceDecimals) {
  struct Case {
    const char* name;
    int decimals;
    int64_t first, second;   // wire prices in 10^-d units
    float price;
  } cases[] = {
      {"two decimals: 10.00 then -5", 2, 1000, 995, 9.95f},
      {"three decimals: 10.000 then -5", 3, 10000, 9995, 9.995f},
      // Negative prices round away from zero like positive ones (they once
      // moved one unit towards zero: -1.23 came out as -1.22).
      {"two decimals: 10.00 then -1.23", 2, 1000, -123, -1.23f},
      {"two decimals: 10.00 then -0.05", 2, 1000, -5, -0.05f},
      {"three decimals: 10.000 then -0.001", 3, 10000, -1, -0.001f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Complete({Point(c.first, 100, 100000), Point(c.second, 50, 101234)}, c.decimals);
    ASSERT_EQ(area->pointsHeld, 2);
    EXPECT_FLOAT_EQ(area->points[0].price, 10.0f);
    EXPECT_FLOAT_EQ(area->points[1].price, c.price);
    EXPECT_FLOAT_EQ(area->previousClose, 10.0f);
    // The average is in 1/10,000 whatever d, kept to d + 2 decimals.
    EXPECT_FLOAT_EQ(area->points[1].average, 10.1234f);
    EXPECT_EQ(area->points[1].volume, 50);
    EXPECT_EQ(area->points[1].amount, 500);
    EXPECT_EQ(area->headA, 7);
    EXPECT_EQ(area->fieldCount, 8);
  }
}

// A filled point is the reference of the next one, so a server sends real
// prices; a zero price marks a minute without a trade.
TEST_F(MinuteDecoderTest, ZeroPriceMinutesAreFilled) {
  Complete({Point(0, 0)});
  EXPECT_FLOAT_EQ(area->points[0].price, 10.0f);   // the first minute takes the close
  Complete({Point(1010, 30, 100500), Point(0, 0, 0)});
  EXPECT_FLOAT_EQ(area->points[1].price, 10.10f);  // a later one repeats the minute before
  EXPECT_FLOAT_EQ(area->points[1].average, 10.05f);
  EXPECT_EQ(area->points[1].volume, 0);
}

TEST_F(MinuteDecoderTest, UpdateReplacesTheOpenMinuteAndFillsFromTheHeldOne) {
  std::vector<WireMinutePoint> day;
  for (int i = 0; i < 121; ++i) day.push_back(Point(1000 + i, 100 + i, 100000 + i));
  Complete(day);
  ASSERT_EQ(area->pointsHeld, 121);
  // Start 120, n 2: point 120 absolute, point 121 relative to it.
  Update(120, {Point(1300, 7, 100000), Point(1234, 9, 100100)});
  EXPECT_EQ(area->pointsHeld, 122);
  EXPECT_EQ(area->startIndex, 120);
  EXPECT_EQ(area->pointCount, 2);
  EXPECT_FLOAT_EQ(area->points[120].price, 13.00f);
  EXPECT_EQ(area->points[120].volume, 7);
  EXPECT_FLOAT_EQ(area->points[121].price, 12.34f);
  EXPECT_FLOAT_EQ(area->points[121].average, 10.01f);
  EXPECT_EQ(area->points[121].volume, 9);
  EXPECT_FLOAT_EQ(area->points[119].price, 11.19f);   // before the start: untouched
  // A first point without a trade takes the held point before the start.
  Update(122, {Point(0, 1, 0)});
  EXPECT_EQ(area->pointsHeld, 123);
  EXPECT_FLOAT_EQ(area->points[122].price, 12.34f);
  EXPECT_FLOAT_EQ(area->points[122].average, 10.01f);
}

TEST_F(MinuteDecoderTest, GapMinutesCarryTheLastHeldPointForward) {
  Complete({Point(1000, 10, 100000), Point(1020, 20, 101000)});
  Update(5, {Point(1030, 5, 101500)});
  ASSERT_EQ(area->pointsHeld, 6);
  for (int i = 2; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FLOAT_EQ(area->points[i].price, 10.20f);
    EXPECT_FLOAT_EQ(area->points[i].average, 10.10f);
    EXPECT_EQ(area->points[i].volume, 0);
    EXPECT_EQ(area->points[i].amount, 0);
  }
  EXPECT_FLOAT_EQ(area->points[5].price, 10.30f);
}

TEST_F(MinuteDecoderTest, UpdateAtMinuteZeroFillsFromItsOwnPoints) {
  Complete({Point(1000, 10, 100000), Point(1010, 10, 100000)});
  Update(0, {Point(0, 1, 0)});
  EXPECT_FLOAT_EQ(area->points[0].price, 10.0f);   // the close: nothing before it
  EXPECT_EQ(area->pointsHeld, 1);
  Update(0, {Point(1050, 2, 100200), Point(0, 3, 0)});
  EXPECT_FLOAT_EQ(area->points[1].price, 10.50f);  // the point before, not the close
  EXPECT_FLOAT_EQ(area->points[1].average, 10.02f);
  EXPECT_EQ(area->pointsHeld, 2);
}

TEST_F(MinuteDecoderTest, Type50FillsFromTheStoredStart) {
  Complete({Point(1000, 10), Point(1001, 11)});
  Decode(simbroker::MinuteDataBody(50, false, Stock(2), 0, 1, 2, 0, kAllIds, {Point(1100, 4), Point(1200, 5)}), 50, 2);
  EXPECT_EQ(area->startIndex, 0);
  EXPECT_FLOAT_EQ(area->points[0].price, 11.0f);
  EXPECT_FLOAT_EQ(area->points[1].price, 12.0f);
  EXPECT_EQ(area->pointsHeld, 2);
}

TEST_F(MinuteDecoderTest, UnknownIdsReadNothing) {
  Decode(simbroker::MinuteDataBody(48, true, Stock(2), 1000, 0, 0, 0, {9, 1, 0, 3}, {Point(1000, 5), Point(1010, 6)}),
         48, 1);
  ASSERT_EQ(area->pointsHeld, 2);
  EXPECT_FLOAT_EQ(area->points[1].price, 10.10f);
  EXPECT_EQ(area->points[1].volume, 6);
}

TEST_F(MinuteDecoderTest, LyingCountsAndStartsStayInTheArea) {
  struct Case {
    const char* name;
    int start;
    int count;          // written as the count
    int points;         // points actually sent
    int held;           // expected points held
    int startIndex;     // expected stored start
  } cases[] = {
      {"start + n beyond 1,024", 1020, 10, 10, 1024, 1020},
      {"negative start counts from 0", -5, 2, 2, 2, 0},
      {"count beyond the body", 0, 300, 3, 3, 0},
      {"negative count", 0, -4, 3, 0, 0},
      {"start beyond the area", 2000, 3, 3, 1024, 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Complete({Point(1000, 1)});
    std::vector<WireMinutePoint> points;
    for (int i = 0; i < c.points; ++i) points.push_back(Point(1000 + i, 1));
    Decode(simbroker::MinuteDataBody(48, false, Stock(2), 0, 0, 0, c.start, kAllIds, points, c.count & 0xFFFF), 48,
           2);
    EXPECT_EQ(area->pointsHeld, c.held);
    EXPECT_EQ(area->startIndex, c.startIndex);
  }
}

TEST_F(MinuteDecoderTest, ShortBodyKeepsTheWholePointsDecoded) {
  Bytes body = simbroker::MinuteDataBody(48, true, Stock(2), 1000, 0, 0, 0, kAllIds,
                                         {Point(1000, 1), Point(1001, 2), Point(1002, 3)});
  body.resize(body.size() - 2);   // the last point loses its tail
  Decode(body, 48, 1);
  EXPECT_EQ(area->pointsHeld, 2);
  EXPECT_EQ(area->pointCount, 2);
  EXPECT_FLOAT_EQ(area->points[2].price, 0.0f);
  // An empty body changes nothing.
  Decode({}, 48, 1);
  EXPECT_EQ(area->pointsHeld, 2);
}

TEST_F(MinuteDecoderTest, FixedPointsGoFromThePreviousStartToTheEnd) {
  auto decode37 = [&](const Bytes& body, int mode) {
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    DecodeFixedMinutePoints(area.get(), &reader, mode);
  };
  decode37(simbroker::FixedMinuteBody(true, Stock(2), 100000, 0, 0, 2, 3,
                                      {Point(100000, 1, 100000), Point(101000, 2, 100500), Point(102000, 3, 101000)}),
           1);
  EXPECT_FLOAT_EQ(area->previousClose, 10.0f);
  EXPECT_FLOAT_EQ(area->points[2].price, 10.2f);
  EXPECT_EQ(area->startIndex, 2);
  EXPECT_EQ(area->pointCount, 3);
  EXPECT_EQ(area->pointsHeld, 0);   // type 37 leaves it alone
  // The update fills from the stored start 2 to its end 5 - 1.
  decode37(simbroker::FixedMinuteBody(false, Stock(2), 0, 0, 0, 4, 5,
                                      {Point(110000, 7, 0), Point(120000, 8, 0), Point(130000, 9, 0)}),
           2);
  EXPECT_FLOAT_EQ(area->points[2].price, 11.0f);
  EXPECT_FLOAT_EQ(area->points[4].price, 13.0f);
  EXPECT_EQ(area->points[4].volume, 9);
  EXPECT_EQ(area->startIndex, 4);
  // An end beyond the area stops at 1,024 and at the body.
  decode37(simbroker::FixedMinuteBody(false, Stock(2), 0, 0, 0, 0, 30000, {Point(140000, 1, 0)}), 2);
  EXPECT_EQ(area->pointCount, 1024);
  EXPECT_FLOAT_EQ(area->points[4].price, 14.0f);
}

TEST_F(MinuteDecoderTest, FlowRecordsRunFromTheirReference) {
  auto decode93 = [&](const Bytes& body, int mode) {
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    DecodeMinuteFlow(area.get(), &reader, mode);
  };
  Complete({Point(1000, 1)});
  auto rec = [](int64_t a, int64_t b, int64_t v117) {
    simbroker::WireFlowRecord r;
    r.values = {{112, a}, {113, b}, {117, v117}};
    return r;
  };
  decode93(simbroker::MinuteFlowBody(true, Stock(2), 99, {112, 113, 116, 117}, 0, {rec(100, 200, 5), rec(150, 180, 6)}),
           1);
  EXPECT_EQ(area->flowHead, 99);
  EXPECT_EQ(area->flowsHeld, 2);
  EXPECT_EQ(area->flows[1].running[0], 150);
  EXPECT_EQ(area->flows[1].running[1], 180);
  EXPECT_EQ(area->flows[1].field117, 6);
  EXPECT_EQ(area->pointsHeld, 1);   // the points stay
  // An update at 4 runs from record 3, which the gap filled with record 1.
  decode93(simbroker::MinuteFlowBody(false, Stock(2), 0, {112, 117}, 4, {rec(50, 0, 7)}), 2);
  EXPECT_EQ(area->flowsHeld, 5);
  EXPECT_EQ(area->flows[3].running[0], 150);
  EXPECT_EQ(area->flows[4].running[0], 200);
  EXPECT_EQ(area->flows[4].field117, 7);
  // A start beyond the 1,024 minutes decodes nothing and holds 1,024.
  decode93(simbroker::MinuteFlowBody(false, Stock(2), 0, {112}, 60000, {rec(1, 0, 0), rec(2, 0, 0)}), 2);
  EXPECT_EQ(area->flowsHeld, kMinutePoints);
  EXPECT_EQ(area->flows[kMinutePoints - 1].running[0], 200);   // the gap carried record 4
}

}  // namespace
