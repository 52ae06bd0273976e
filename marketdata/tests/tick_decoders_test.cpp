// Tick decoders: the sliding window of the worked examples, skipped bytes
// per type, futures tick fields, price statistics, the small tick lists and
// order queues, and the bounds of a lying reply.
#include <gtest/gtest.h>

#include <memory>

#include "marketdata/tick_decoders.h"
#include "quote_test_support.h"
#include "tools/simbroker/minute_tick_replies.h"

using quote_test::Wire;
using simbroker::Bytes;
using simbroker::SimStock;
using simbroker::WireTick;

namespace {

SimStock Stock(int kind = 2) {
  SimStock s{};
  s.code = "000001";
  s.name = "平安银行";
  s.market = 2;
  s.kind = kind;
  s.decimals = 2;
  return s;
}

// Ticks numbered from first: tick i has time i and volume 100 + i.
std::vector<WireTick> Ticks(int first, int count) {
  std::vector<WireTick> out;
  for (int i = first; i < first + count; ++i) {
    WireTick t;
    t.price = 100000 + i;
    t.volume = 100 + i;
    t.time = i;
    t.field4 = 3;
    t.direction = i % 2 ? 'S' : 'B';
    t.tradeNumber = 5000 + i;
    t.field6 = 7;
    t.field7 = 2;
    t.kind = 1 + i % 8;
    out.push_back(t);
  }
  return out;
}

class TickDecoderTest : public ::testing::Test {
 protected:
  void Send(bool level2, int mode, int first, int count, int capacity) {
    Bytes body = simbroker::TickBody(level2, mode == 1, Stock(), 105000, first + count, Ticks(first, count));
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    if (level2) {
      DecodeLevel2Ticks(area.get(), &reader, mode, capacity);
    } else {
      DecodeLevel1Ticks(area.get(), &reader, mode, capacity);
    }
    consumed = reader.Position();
    size = static_cast<int>(body.size());
  }
  // The times held, oldest first.
  std::vector<int> Times() const {
    std::vector<int> out;
    for (int i = 0; i < area->ticksHeld; ++i) out.push_back(area->ticks[i].time);
    return out;
  }
  static std::vector<int> Range(int first, int last) {
    std::vector<int> out;
    for (int i = first; i <= last; ++i) out.push_back(i);
    return out;
  }

  std::unique_ptr<TickArea> area = std::make_unique<TickArea>();
  int consumed = 0;
  int size = 0;
};

TEST_F(TickDecoderTest, WindowOfFiftySlidesAsInTheWorkedExample) {
  Send(false, 1, 0, 30, 50);
  EXPECT_EQ(Times(), Range(0, 29));
  EXPECT_FLOAT_EQ(area->referencePrice, 10.5f);
  Send(false, 2, 30, 15, 50);
  EXPECT_EQ(Times(), Range(0, 44));
  Send(false, 2, 45, 10, 50);   // moves 5..44 to 0..39, new at 40..49
  EXPECT_EQ(Times(), Range(5, 54));
  Send(false, 2, 55, 60, 50);   // skips its first 10
  EXPECT_EQ(Times(), Range(65, 114));
  EXPECT_EQ(area->replyPosition, 115);
  EXPECT_EQ(area->tickCount, 60);
}

TEST_F(TickDecoderTest, CompleteReplyIgnoresTheCapacity) {
  Send(false, 1, 0, 60, 50);
  EXPECT_EQ(Times(), Range(0, 59));
  Send(false, 2, 60, 5, 50);
  EXPECT_EQ(Times(), Range(15, 64));
}

TEST_F(TickDecoderTest, SkippedTicksStepOverTheirTypeSize) {
  struct Case {
    const char* name;
    bool level2;
    int skippedBytes;
  } cases[] = {{"level 1: 20 x 21", false, 420}, {"level 2: 20 x 25", true, 500}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Send(c.level2, 1, 0, 10, 50);
    Send(c.level2, 2, 10, 70, 50);
    EXPECT_EQ(Times(), Range(30, 79));
    const int tickSize = c.level2 ? kLevel2TickSize : kLevel1TickSize;
    EXPECT_EQ(size - 6 - 50 * tickSize, c.skippedBytes);
    EXPECT_EQ(consumed, size);
    EXPECT_EQ(area->ticks[0].volume, 130);
    EXPECT_EQ(area->ticks[0].direction, 'B');
    EXPECT_EQ(area->ticks[0].field4, 3);
    EXPECT_EQ(area->ticks[0].tradeNumber, c.level2 ? 5030 : 0);
  }
}

TEST_F(TickDecoderTest, LyingCountsStayInTheArea) {
  struct Case {
    const char* name;
    int capacity;
    int written;   // count written; the body holds 40 ticks
    int held;
  } cases[] = {
      {"capacity beyond 1,024 is 1,024", 5000, 40, 40},
      {"count beyond the body", 50, 3000, 40},
      {"negative count", 50, 0xFFF0, 0},
      {"capacity 0 keeps nothing", 0, 40, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes first = simbroker::TickBody(false, true, Stock(), 0, 0, {});
    ReplyReader r1(first.data(), static_cast<int>(first.size()));
    DecodeLevel1Ticks(area.get(), &r1, 1, c.capacity);
    Bytes body = simbroker::TickBody(false, false, Stock(), 0, 0, Ticks(0, 40), c.written);
    ReplyReader r2(body.data(), static_cast<int>(body.size()));
    DecodeLevel1Ticks(area.get(), &r2, 2, c.capacity);
    EXPECT_EQ(area->ticksHeld, c.held);
  }
  // A complete reply of 2,000 ticks keeps the first 1,024.
  Bytes big = simbroker::TickBody(false, true, Stock(), 0, 0, Ticks(0, 2000));
  ReplyReader r(big.data(), static_cast<int>(big.size()));
  DecodeLevel1Ticks(area.get(), &r, 1, 50);
  EXPECT_EQ(area->ticksHeld, 1024);
  EXPECT_EQ(area->ticks[1023].time, 1023);
}

TEST(TickDecoderFuturesTest, TicksAreLaidOutByTheirIds) {
  auto area = std::make_unique<FuturesTickArea>();
  const std::vector<int> ids = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  Bytes body = simbroker::FuturesTickBody(true, Stock(), 105000, 9, ids, Ticks(0, 3));
  EXPECT_EQ(body.size(), 33u + 4 + 4 + 2 + 1 + 9 + 3 * 30);   // 30 bytes per tick
  ReplyReader reader(body.data(), static_cast<int>(body.size()));
  DecodeFuturesTicks(area.get(), &reader, 1, 50);
  ASSERT_EQ(area->ticksHeld, 3);
  EXPECT_EQ(area->fieldCount, 9);
  const TickRecord& t = area->ticks[2];
  EXPECT_FLOAT_EQ(t.price, 10.0002f);
  EXPECT_EQ(t.volume, 102);
  EXPECT_EQ(t.time, 2);
  EXPECT_EQ(t.field4, 3);
  EXPECT_EQ(t.direction, 'B');
  EXPECT_EQ(t.field6, 7);
  EXPECT_EQ(t.field7, 2);
  EXPECT_EQ(t.openCloseKind, 3);
  EXPECT_EQ(reader.Position(), static_cast<int>(body.size()));
  // An update with a shorter id list overwrites only its fields and slides.
  Bytes update = simbroker::FuturesTickBody(false, Stock(), 0, 60, {3, 2}, Ticks(10, 60));
  ReplyReader r2(update.data(), static_cast<int>(update.size()));
  DecodeFuturesTicks(area.get(), &r2, 2, 50);
  EXPECT_EQ(area->ticksHeld, 50);
  EXPECT_EQ(area->ticks[0].time, 20);
  EXPECT_EQ(area->ticks[49].time, 69);
  EXPECT_EQ(area->fieldCount, 2);
  // A negative id count reads no ids: the ticks carry nothing.
  Wire negative;
  negative.U32(61).U16(3).U8(0xF0);
  ReplyReader r3 = negative.Reader();
  DecodeFuturesTicks(area.get(), &r3, 2, 50);
  EXPECT_EQ(area->fieldCount, 0);
  EXPECT_EQ(area->replyPosition, 61);
  EXPECT_EQ(area->ticksHeld, 50);
  EXPECT_EQ(area->ticks[49].time, 69);
}

class PriceStatDecoderTest : public ::testing::Test {
 protected:
  void Decode(const Bytes& body, int mode) {
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    DecodePriceStatistics(area.get(), &reader, mode);
  }
  std::unique_ptr<PriceStatArea> area = std::make_unique<PriceStatArea>();
};

TEST_F(PriceStatDecoderTest, LevelsWithSharesAndTheLargestVolume) {
  Decode(simbroker::PriceStatBody(true, Stock(), 105000, 400, {{106000, 300, 100}, {105000, 100, 0}, {104000, 0, 0}}),
         1);
  ASSERT_EQ(area->levelCount, 3);
  EXPECT_EQ(area->totalVolume, 400);
  EXPECT_EQ(area->largestVolume, 300);
  EXPECT_FLOAT_EQ(area->levels[0].price, 10.6f);
  EXPECT_FLOAT_EQ(area->levels[0].share, 0.75f);
  EXPECT_FLOAT_EQ(area->levels[0].partShare, 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(area->levels[2].partShare, 0.0f);   // no volume: 0, not NaN
  // An update with fewer levels leaves the old ones beyond its count; a
  // zero total gives zero shares.
  Decode(simbroker::PriceStatBody(false, Stock(), 0, 0, {{107000, 50, 25}}), 2);
  EXPECT_EQ(area->levelCount, 1);
  EXPECT_FLOAT_EQ(area->levels[0].share, 0.0f);
  EXPECT_FLOAT_EQ(area->levels[0].partShare, 0.5f);
  EXPECT_FLOAT_EQ(area->levels[1].price, 10.5f);
  EXPECT_FLOAT_EQ(area->referencePrice, 10.5f);   // kept from the complete reply
}

TEST_F(PriceStatDecoderTest, IndexHoldsOnlyItsKeyAndLyingCountsAreCut) {
  Decode(simbroker::PriceStatBody(true, Stock(1), 105000, 400, {{106000, 300, 100}}), 1);
  EXPECT_EQ(area->key.kind, 1);
  EXPECT_FLOAT_EQ(area->referencePrice, 10.5f);
  EXPECT_EQ(area->levelCount, 0);
  EXPECT_EQ(area->totalVolume, 0);
  // m beyond the body stops at the levels present; the area's room is 10,280.
  Decode(simbroker::PriceStatBody(true, Stock(), 0, 10, {{1, 1, 1}, {2, 2, 2}}, 0xFFFF), 1);
  EXPECT_EQ(area->levelCount, 2);
  std::vector<simbroker::WirePriceLevel> many(kPriceLevelRoom + 5, {1, 1, 0});
  Decode(simbroker::PriceStatBody(true, Stock(), 0, 10, many), 1);
  EXPECT_EQ(area->levelCount, kPriceLevelRoom);
}

// Types 81, 84 and 83 have no server builder; their bodies are written here
// from the layouts.
TEST(TickDecoderSmallListsTest, Type81And84FillAtMostSixtyFour) {
  auto area = std::make_unique<TickArea>();
  auto ticks81 = [](int first, int n) {
    Wire w;
    for (int i = first; i < first + n; ++i) w.U32(100000 + i).U32(10 + i).U32(i).U8('S');
    return w;
  };
  Wire complete;
  complete.Key("000001", "平安银行", 2).U32(105000).U32(7).U16(100);
  const Bytes first = ticks81(0, 100).bytes;
  complete.bytes.insert(complete.bytes.end(), first.begin(), first.end());
  ReplyReader r1 = complete.Reader();
  DecodeType81Ticks(area.get(), &r1, 1, 20);
  EXPECT_EQ(area->ticksHeld, kSmallTickRoom);
  EXPECT_EQ(area->replyPosition, 7);
  EXPECT_EQ(area->ticks[63].volume, 73);
  EXPECT_EQ(area->ticks[63].direction, 'S');
  Wire update;
  update.U32(8).U16(5);
  const Bytes more = ticks81(100, 5).bytes;
  update.bytes.insert(update.bytes.end(), more.begin(), more.end());
  ReplyReader r2 = update.Reader();
  DecodeType81Ticks(area.get(), &r2, 2, 20);   // capacity 20: the newest 15 held and the 5 new
  EXPECT_EQ(area->ticksHeld, 20);
  EXPECT_EQ(area->ticks[0].time, 49);
  EXPECT_EQ(area->ticks[19].time, 104);

  Wire t84;
  t84.U8(9).Key("000001", "平安银行", 2).U32(105000).U32(0xABCD).U16(2);
  t84.U32(100100).U64(5000).U32(93000).U32(100200).U64(6000).U32(93001);
  ReplyReader r3 = t84.Reader();
  DecodeType84Ticks(area.get(), &r3, 1, 20);
  EXPECT_EQ(area->leadingByte, 9);
  EXPECT_EQ(area->completeValue, 0xABCD);
  EXPECT_EQ(area->ticksHeld, 2);
  EXPECT_EQ(area->ticks[1].volume, 6000);
  EXPECT_EQ(area->ticks[1].time, 93001);
}

TEST(TickDecoderSmallListsTest, OrderQueuesKeepTheirRoomAndSkipTheRest) {
  auto area = std::make_unique<OrderQueueArea>();
  Wire w;
  w.Key("000001", "平安银行", 2).U32(105000);
  w.U32(105100).U64(900).U8(60);
  for (int i = 0; i < 60; ++i) w.U32(i);
  w.U32(105200).U64(800).U8(2).U32(77).U32(88);
  ReplyReader r = w.Reader();
  DecodeOrderQueue(area.get(), &r, 1);
  EXPECT_EQ(area->firstCount, kFirstQueueRoom);
  EXPECT_EQ(area->firstValues[49], 49);
  EXPECT_FLOAT_EQ(area->secondPrice, 10.52f);
  EXPECT_EQ(area->secondTotal, 800);
  EXPECT_EQ(area->secondCount, 2);
  EXPECT_EQ(area->secondValues[1], 88);
}

}  // namespace
