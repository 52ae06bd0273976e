// Quote-field table: every id's width and form, value conversions, the
// level 4/8 order, the inner-volume rule and bounded reads.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "marketdata/quote_record.h"

namespace {

using Bytes = std::vector<unsigned char>;

// The widths as the wire format lists them, id group by id group.
struct WidthGroup {
  const char* name;
  int width;
  std::vector<std::pair<int, int>> ranges;  // inclusive id ranges
};

const std::vector<WidthGroup>& WireWidths() {
  static const std::vector<WidthGroup> groups = {
      {"key", 33, {{0, 0}}},
      {"list code", 7, {{1, 1}}},
      {"s32", 4, {{2, 3}, {33, 34}, {36, 38}, {40, 41}, {350, 350}, {706, 706}, {809, 811},
                  {1000, 1000}, {1012, 1012}, {1014, 1014}, {2000, 2003}, {2021, 2021},
                  {2031, 2031}, {2041, 2043}, {5000, 5002}, {5005, 5007}, {5010, 5012},
                  {5015, 5017}, {5020, 5022}, {5025, 5027}, {5030, 5032}, {5035, 5037},
                  {5078, 5086}}},
      {"price", 4, {{4, 8}, {12, 13}, {16, 17}, {20, 21}, {24, 25}, {28, 29}, {35, 35},
                    {42, 42}, {44, 45}, {400, 401}, {404, 405}, {408, 409}, {412, 413},
                    {416, 417}, {702, 705}}},
      {"s64", 8, {{9, 11}, {14, 15}, {18, 19}, {22, 23}, {26, 27}, {30, 32}, {39, 39},
                  {43, 43}, {306, 306}, {351, 351}, {356, 356}, {402, 403}, {406, 407},
                  {410, 411}, {414, 415}, {418, 419}, {700, 701}, {707, 707}, {850, 885},
                  {1015, 1015}, {2020, 2020}, {5003, 5004}, {5008, 5009}, {5013, 5014},
                  {5018, 5019}, {5023, 5024}, {5028, 5029}, {5033, 5034}, {5038, 5041},
                  {5054, 5077}, {5500, 5500}}},
      {"price/1000", 4, {{800, 802}, {5042, 5053}}},
      {"s16", 2, {{1001, 1011}, {1013, 1013}}},
      {"u16", 2, {{1016, 1016}, {2010, 2011}}},
      {"byte", 1, {{807, 808}}},
      {"text24", 24, {{357, 357}}},
  };
  return groups;
}

TEST(QuoteFieldTable, EveryIdHasItsWireWidthAndNoOtherIdReads) {
  std::set<int> known;
  for (const WidthGroup& g : WireWidths()) {
    for (auto [first, last] : g.ranges) {
      for (int id = first; id <= last; ++id) {
        EXPECT_TRUE(known.insert(id).second) << "id " << id << " listed twice";
        EXPECT_EQ(QuoteFieldWireSize(id), g.width) << g.name << " id " << id;
      }
    }
  }
  EXPECT_EQ(known.size(), 240u);
  for (int id = -2; id <= 6000; ++id) {
    if (!known.count(id)) {
      EXPECT_EQ(QuoteFieldWireSize(id), 0) << "id " << id;
    }
  }
}

TEST(QuoteFieldTable, EveryKnownIdAdvancesByItsWidthAndUnknownIdsReadNothing) {
  Bytes body(64, 0x11);
  for (int id = 0; id <= 5600; ++id) {
    QuoteRecord record{};
    int position = 3;
    const int result = DecodeQuoteField(body.data(), static_cast<int>(body.size()), id, &position, &record);
    const int width = QuoteFieldWireSize(id);
    if (width == 0) {
      EXPECT_EQ(result, kQuoteFieldUnknown) << id;
      EXPECT_EQ(position, 3) << id;
    } else {
      EXPECT_EQ(result, kQuoteFieldDecoded) << id;
      EXPECT_EQ(position, 3 + width) << id;
    }
  }
}

// Writes the wire value into a fresh record and returns it.
QuoteRecord DecodeOne(int id, const Bytes& bytes) {
  QuoteRecord record{};
  int position = 0;
  EXPECT_EQ(DecodeQuoteField(bytes.data(), static_cast<int>(bytes.size()), id, &position, &record),
            kQuoteFieldDecoded);
  EXPECT_EQ(position, static_cast<int>(bytes.size()));
  return record;
}

TEST(QuoteFieldValues, FormsConvertAsTheWireDefines) {
  EXPECT_FLOAT_EQ(DecodeOne(8, {0x00, 0x01, 0x86, 0xA0}).lastPrice, 10.0f);
  EXPECT_FLOAT_EQ(DecodeOne(35, {0xFF, 0xFF, 0xFF, 0xFF}).change, -0.0001f);
  EXPECT_FLOAT_EQ(DecodeOne(800, {0x00, 0x00, 0x04, 0xD2}).threeDayDdx, 1.234f);
  EXPECT_FLOAT_EQ(DecodeOne(5047, {0xFF, 0xFF, 0xFB, 0x2E}).sixtyDayDdx, -1.234f);
  EXPECT_EQ(DecodeOne(2010, {0xFF, 0xFF}).field2003, 65535);
  EXPECT_EQ(DecodeOne(2011, {0x00, 0x07}).field2003, 7);
  EXPECT_EQ(DecodeOne(2003, {0xFF, 0xFF, 0xFF, 0xFF}).field2003, -1);
  EXPECT_EQ(DecodeOne(1016, {0x80, 0x00}).field1016, 32768);
  EXPECT_EQ(DecodeOne(1001, {0xFF, 0xFE}).risingCount, -2);
  EXPECT_EQ(DecodeOne(1011, {0x01, 0x02}).field1004[7], 0x102);
  EXPECT_EQ(DecodeOne(9, {0x80, 0, 0, 0, 0, 0, 0, 1}).totalVolume, INT64_MIN + 1);
  EXPECT_EQ(DecodeOne(879, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF6}).mainNetInflow, -10);
  EXPECT_EQ(DecodeOne(807, {0xFE}).field807, 0xFE);
  EXPECT_EQ(DecodeOne(5086, {0, 0, 0, 3}).placeChange10Day, 3);
  EXPECT_EQ(DecodeOne(809, {0, 0, 0x30, 0x39}).positionShare1Day, 12345);
}

TEST(QuoteFieldValues, LevelFourAndEightHoldTheBidFirstButFillByName) {
  QuoteRecord r{};
  const Bytes body = {0, 0, 0x27, 0x10,   // 24: ask 1.0
                      0, 0, 0x4E, 0x20,   // 25: bid 2.0
                      0, 0, 0x75, 0x30,   // 408: ask 3.0
                      0, 0, 0x9C, 0x40};  // 409: bid 4.0
  int position = 0;
  for (int id : {24, 25, 408, 409}) DecodeQuoteField(body.data(), 16, id, &position, &r);
  EXPECT_FLOAT_EQ(r.askPrice4, 1.0f);
  EXPECT_FLOAT_EQ(r.bidPrice4, 2.0f);
  EXPECT_FLOAT_EQ(r.askPrice8, 3.0f);
  EXPECT_FLOAT_EQ(r.bidPrice8, 4.0f);
  EXPECT_LT(offsetof(QuoteRecord, bidPrice4), offsetof(QuoteRecord, askPrice4));
  EXPECT_LT(offsetof(QuoteRecord, bidPrice8), offsetof(QuoteRecord, askPrice8));
  EXPECT_LT(offsetof(QuoteRecord, askPrice5), offsetof(QuoteRecord, bidPrice5));
}

TEST(QuoteFieldValues, KeyListCodeAndTextStayTerminated) {
  Bytes key = {'6', '0', '0', '0', '0', '0'};
  for (int i = 0; i < 24; ++i) key.push_back('A' + i);  // a name of exactly 24 bytes
  key.insert(key.end(), {2, 1, 7});
  QuoteRecord r{};
  std::memset(&r, 0x5A, sizeof r);
  int position = 0;
  ASSERT_EQ(DecodeQuoteField(key.data(), 33, 0, &position, &r), kQuoteFieldDecoded);
  EXPECT_STREQ(r.key.code, "600000");
  EXPECT_EQ(std::strlen(r.key.name), 24u);
  EXPECT_EQ(r.key.decimals, 2);
  EXPECT_EQ(r.key.market, 1);
  EXPECT_EQ(r.key.kind, 7);

  const Bytes list = {'0', '0', '0', '0', '0', '1', 2};
  position = 0;
  ASSERT_EQ(DecodeQuoteField(list.data(), 7, 1, &position, &r), kQuoteFieldDecoded);
  EXPECT_STREQ(r.listCode, "000001");
  EXPECT_EQ(r.listMarket, 2);

  const Bytes text(24, 'x');
  position = 0;
  ASSERT_EQ(DecodeQuoteField(text.data(), 24, 357, &position, &r), kQuoteFieldDecoded);
  EXPECT_EQ(std::strlen(r.field357), 24u);
}

TEST(QuoteFieldValues, InnerVolumeIsFlooredAfterEveryId) {
  struct Case {
    const char* name;
    int64_t total, outer, inner;
  } cases[] = {{"outer above total", 500, 800, 0}, {"total above outer", 800, 500, 300}, {"equal", 7, 7, 0}};
  for (const Case& c : cases) {
    QuoteRecord r{};
    r.totalVolume = c.total;
    r.outerVolume = c.outer;
    int position = 0;
    const unsigned char none = 0;
    DecodeQuoteField(&none, 0, 46, &position, &r);  // unknown id: still recomputed
    EXPECT_EQ(r.innerVolume, c.inner) << c.name;
  }
}

TEST(QuoteFieldValues, UnknownIdLetsTheNextIdReadAtTheSamePlace) {
  const Bytes body = {0x00, 0x01, 0x86, 0xA0};
  QuoteRecord r{};
  int position = 0;
  EXPECT_EQ(DecodeQuoteField(body.data(), 4, 46, &position, &r), kQuoteFieldUnknown);
  EXPECT_EQ(DecodeQuoteField(body.data(), 4, 8, &position, &r), kQuoteFieldDecoded);
  EXPECT_FLOAT_EQ(r.lastPrice, 10.0f);
}

TEST(QuoteFieldValues, ValueRunningPastTheBodyIsNotRead) {
  struct Case {
    const char* name;
    int id;
    int length;
    int position;
  } cases[] = {{"price one byte short", 8, 3, 0}, {"s64 at the end", 9, 12, 5},
               {"key 32 bytes", 0, 32, 0},       {"position past end", 8, 4, 6},
               {"negative position", 8, 4, -1},  {"text24 23 bytes", 357, 23, 0}};
  const Bytes body(40, 0x7F);
  for (const Case& c : cases) {
    QuoteRecord r{};
    std::memset(&r, 0x33, sizeof r);
    QuoteRecord before = r;
    int position = c.position;
    EXPECT_EQ(DecodeQuoteField(body.data(), c.length, c.id, &position, &r), kQuoteFieldShort) << c.name;
    EXPECT_EQ(position, c.position) << c.name;
    before.innerVolume = r.innerVolume;
    EXPECT_EQ(std::memcmp(&before, &r, sizeof r), 0) << c.name;
  }
}

TEST(StockKeyDecode, ClearsBeforeCopying) {
  StockKey key;
  std::memset(&key, 0x7E, sizeof key);
  const char name[] = "\xe4\xb8\x8a\xe8\xaf\x81\xe6\x8c\x87\xe6\x95\xb0";  // 上证指数
  std::string text = std::string("1A0001") + name;
  text.resize(30, '\0');
  text += std::string("\x02\x01\x00", 3);
  const Bytes wire(text.begin(), text.end());
  DecodeStockKey(&key, wire.data());
  EXPECT_STREQ(key.code, "1A0001");
  EXPECT_STREQ(key.name, name);
  EXPECT_EQ(key.name[24], 0);
  EXPECT_EQ(key.decimals, 2);
  EXPECT_EQ(key.market, 1);
  EXPECT_EQ(key.kind, 0);
}

TEST(StockKeyMarkets, FuturesMarkets) {
  struct Case {
    int market;
    bool futures;
  };
  const Case cases[] = {{0, false}, {1, false}, {2, false}, {3, true},   {4, true},  {5, true},
                        {6, false}, {7, false}, {18, false}, {19, true}, {20, false}, {255, false}};
  for (const Case& c : cases) EXPECT_EQ(IsFuturesMarket(c.market), c.futures) << "market " << c.market;
}

}  // namespace
