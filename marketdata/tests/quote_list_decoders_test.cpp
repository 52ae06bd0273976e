// Stock fields (33), stock lists (32) and ranking boxes (41).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "marketdata/quote_list_decoders.h"
#include "marketdata/tests/quote_test_support.h"

namespace {

using quote_test::Wire;

std::unique_ptr<StockFieldsArea> NewFieldsArea() { return std::make_unique<StockFieldsArea>(); }

TEST(StockFieldsDecoder, UpdateMergesByFieldAndLeavesInnerVolumeUnfloored) {
  auto area = NewFieldsArea();
  Wire complete;
  complete.Ids({0, 8, 9, 32, 12, 13, 416}).Key("600000", "浦发银行", 1)
      .Price(10.5).U64(1000).U64(800).Price(10.51).Price(10.50).Price(10.6);
  ReplyReader r1 = complete.Reader();
  DecodeStockFields(area.get(), &r1, 1);
  EXPECT_EQ(area->fieldCount, 7);
  EXPECT_EQ(area->record.innerVolume, 200);

  Wire update;
  update.Ids({0, 8, 9}).Key("600000", "浦发银行", 1).Price(10.7).U64(500);
  ReplyReader r2 = update.Reader();
  DecodeStockFields(area.get(), &r2, 2);
  EXPECT_EQ(area->fieldCount, 3);
  EXPECT_FLOAT_EQ(area->record.lastPrice, 10.7f);
  EXPECT_EQ(area->record.totalVolume, 500);
  EXPECT_EQ(area->record.outerVolume, 800);
  EXPECT_FLOAT_EQ(area->record.askPrice1, 10.51f);
  EXPECT_FLOAT_EQ(area->record.askPrice10, 10.6f);
  EXPECT_EQ(area->record.innerVolume, -300);

  Wire again;
  again.Ids({8}).Price(9.0);
  ReplyReader r3 = again.Reader();
  DecodeStockFields(area.get(), &r3, 1);  // complete: everything else cleared
  EXPECT_FLOAT_EQ(area->record.lastPrice, 9.0f);
  EXPECT_EQ(area->record.totalVolume, 0);
  EXPECT_EQ(area->record.key.code[0], 0);
}

TEST(StockFieldsDecoder, MoreIdsThanRoomAreWalkedButOnlyRoomKept) {
  auto area = NewFieldsArea();
  std::vector<int> ids(140, 46);  // ids that read nothing
  ids.back() = 8;
  Wire w;
  w.Ids(ids).Price(3.25);
  ReplyReader r = w.Reader();
  DecodeStockFields(area.get(), &r, 1);
  EXPECT_EQ(area->fieldCount, kStockFieldsMaxIds);
  EXPECT_FLOAT_EQ(area->record.lastPrice, 3.25f);
  EXPECT_FALSE(r.Short());
}

TEST(StockFieldsDecoder, ShortBodyKeepsTheFieldsBeforeTheCut) {
  auto area = NewFieldsArea();
  Wire w;
  w.Ids({8, 4, 9}).Price(5).Price(4);
  w.bytes.push_back(0);  // one byte of id 9's eight
  ReplyReader r = w.Reader();
  DecodeStockFields(area.get(), &r, 1);
  EXPECT_TRUE(r.Short());
  EXPECT_FLOAT_EQ(area->record.lastPrice, 5.0f);
  EXPECT_FLOAT_EQ(area->record.previousClose, 4.0f);
  EXPECT_EQ(area->record.totalVolume, 0);

  Wire lying;
  lying.U16(5000).U16(8);  // 5,000 ids announced, one sent
  ReplyReader r2 = lying.Reader();
  DecodeStockFields(area.get(), &r2, 1);
  EXPECT_EQ(area->fieldCount, 1);
  EXPECT_EQ(area->fieldIds[0], 8);
}

TEST(StockFieldsDecoder, NullBodyOrAreaChangesNothing) {
  auto area = NewFieldsArea();
  area->record.lastPrice = 7;
  DecodeStockFields(area.get(), nullptr, 1);
  EXPECT_FLOAT_EQ(area->record.lastPrice, 7.0f);
  Wire w;
  w.Ids({8}).Price(1);
  ReplyReader r = w.Reader();
  DecodeStockFields(nullptr, &r, 1);
}

// A stock-list area with an array of the given capacity.
struct ListArea {
  explicit ListArea(int capacity) {
    std::memset(&area, 0, sizeof area);
    area.list.records = NewQuoteRecords(capacity);
    area.list.capacity = capacity;
  }
  ~ListArea() { ReleaseQuoteListArea(&area); }
  QuoteListArea area;
};

struct Stock {
  const char* code;
  int market;
  double price;
  int64_t volume;
};

Wire ListReply(const std::vector<int>& ids, const std::vector<Stock>& stocks) {
  Wire w;
  w.Ids(ids).U16(stocks.size());
  for (const Stock& s : stocks) {
    for (int id : ids) {
      if (id == 0) w.Key(s.code, "", s.market);
      if (id == 1) w.ListCode(s.code, s.market);
      if (id == 8) w.Price(s.price);
      if (id == 9) w.U64(s.volume);
      if (id == 4) w.Price(s.price - 0.1);
    }
  }
  return w;
}

TEST(StockListDecoder, CompleteReplyReusesTheArrayAndKeepsStaleElements) {
  ListArea a(5);
  QuoteRecord* array = a.area.list.records;
  Wire five = ListReply({0, 8, 9}, {{"600000", 1, 10, 1}, {"600001", 1, 11, 2}, {"600002", 1, 12, 3},
                                    {"600003", 1, 13, 4}, {"600004", 1, 14, 5}});
  ReplyReader r1 = five.Reader();
  DecodeStockListQuotes(&a.area, &r1, 1);
  EXPECT_EQ(a.area.recordsHeld, 5);

  Wire three = ListReply({0, 8}, {{"000001", 2, 1, 0}, {"000002", 2, 2, 0}, {"000004", 2, 4, 0}});
  ReplyReader r2 = three.Reader();
  DecodeStockListQuotes(&a.area, &r2, 1);
  EXPECT_EQ(a.area.recordsHeld, 3);
  EXPECT_EQ(a.area.recordCount, 3);
  EXPECT_EQ(a.area.list.capacity, 5);
  EXPECT_EQ(a.area.list.records, array);
  EXPECT_STREQ(a.area.list.records[2].key.code, "000004");
  EXPECT_EQ(a.area.list.records[0].totalVolume, 1);  // not carried: kept, not cleared
  EXPECT_STREQ(a.area.list.records[3].key.code, "600003");
  EXPECT_STREQ(a.area.list.records[4].key.code, "600004");
}

TEST(StockListDecoder, CompleteReplyBeyondCapacityReallocatesZeroFilled) {
  ListArea a(2);
  a.area.list.records[0].field5500 = 99;
  std::vector<Stock> stocks;
  for (int i = 0; i < 7; ++i) stocks.push_back({"60000", 1, 10.0 + i, i});
  Wire w = ListReply({0, 8}, stocks);
  ReplyReader r = w.Reader();
  DecodeStockListQuotes(&a.area, &r, 1);
  EXPECT_EQ(a.area.list.capacity, 7);
  EXPECT_EQ(a.area.recordsHeld, 7);
  EXPECT_FLOAT_EQ(a.area.list.records[6].lastPrice, 16.0f);
  EXPECT_EQ(a.area.list.records[0].field5500, 0);
}

TEST(StockListDecoder, UpdateMatchesCodeAndMarketAndZeroesWhatItDoesNotCarry) {
  ListArea a(4);
  Wire complete = ListReply({0, 8, 9, 4}, {{"600000", 2, 10, 100}, {"600000", 1, 20, 200}, {"000001", 2, 30, 300}});
  ReplyReader r1 = complete.Reader();
  DecodeStockListQuotes(&a.area, &r1, 1);

  Wire update = ListReply({1, 8}, {{"600000", 1, 21, 0}, {"999999", 1, 5, 0}});
  ReplyReader r2 = update.Reader();
  DecodeStockListQuotes(&a.area, &r2, 2);
  const QuoteRecord* rec = a.area.list.records;
  EXPECT_FLOAT_EQ(rec[0].lastPrice, 10.0f);  // same code, other market: untouched
  EXPECT_EQ(rec[0].totalVolume, 100);
  EXPECT_FLOAT_EQ(rec[1].lastPrice, 21.0f);
  EXPECT_EQ(rec[1].totalVolume, 0);         // not carried: zero
  EXPECT_FLOAT_EQ(rec[1].previousClose, 0.0f);
  EXPECT_STREQ(rec[1].key.code, "600000");  // key stays
  EXPECT_EQ(rec[1].key.market, 1);
  EXPECT_STREQ(rec[1].listCode, "600000");
  EXPECT_EQ(a.area.recordsHeld, 3);
  EXPECT_EQ(a.area.list.capacity, 4);
  EXPECT_EQ(a.area.recordCount, 2);
}

TEST(StockListDecoder, UpdateWithoutListCodeChangesNothing) {
  ListArea a(2);
  Wire complete = ListReply({8, 9}, {{"", 0, 10, 100}});  // held record without a key
  ReplyReader r1 = complete.Reader();
  DecodeStockListQuotes(&a.area, &r1, 1);
  QuoteRecord before = a.area.list.records[0];
  Wire update = ListReply({8}, {{"600000", 1, 99, 0}});
  ReplyReader r2 = update.Reader();
  DecodeStockListQuotes(&a.area, &r2, 2);
  EXPECT_EQ(std::memcmp(&before, &a.area.list.records[0], sizeof before), 0);
}

TEST(StockListDecoder, LyingCountsStayInsideBodyAndArea) {
  ListArea a(4);
  Wire w = ListReply({0, 8}, {{"600000", 1, 10, 0}, {"600001", 1, 11, 0}});
  w.bytes[2 + 4] = 0xFF;  // record count 0xFF02
  ReplyReader r = w.Reader();
  DecodeStockListQuotes(&a.area, &r, 1);
  EXPECT_EQ(a.area.recordsHeld, 2);
  EXPECT_LE(a.area.recordsHeld, a.area.list.capacity);

  Wire cut = ListReply({0, 8}, {{"600000", 1, 10, 0}, {"600001", 1, 11, 0}, {"600002", 1, 12, 0}});
  cut.bytes.resize(cut.bytes.size() - 2);  // the last price is cut
  ReplyReader r2 = cut.Reader();
  DecodeStockListQuotes(&a.area, &r2, 1);
  EXPECT_EQ(a.area.recordsHeld, 2);
  EXPECT_EQ(a.area.recordCount, 2);
  EXPECT_EQ(r2.Remaining(), 35);  // the count was clamped to the whole records present

  std::vector<int> many(200, 8);
  Wire wide;
  wide.Ids(many).U16(1);
  for (int i = 0; i < 200; ++i) wide.Price(i);
  ReplyReader r3 = wide.Reader();
  DecodeStockListQuotes(&a.area, &r3, 1);
  EXPECT_EQ(a.area.fieldCount, kQuoteListMaxIds);
  EXPECT_FLOAT_EQ(a.area.list.records[0].lastPrice, 199.0f);
  EXPECT_FALSE(r3.Short());
}

// One ranking entry: key, last price, previous close, kind, ranked value.
void Entry(Wire* w, const std::string& code, int kind, int64_t value) {
  w->Key(code, "", 1).Price(10).Price(9);
  w->U8(kind);
  if (kind >= 1 && kind <= 8) w->U32(0xDEADBEEF).U32(static_cast<uint32_t>(value));
  if (kind == 9) w->U64(static_cast<uint64_t>(value));
}

TEST(RankingDecoder, EveryKindFillsItsFieldAndWalksItsWidth) {
  struct Case {
    const char* name;
    int kind;
    int32_t QuoteRecord::*field;  // null: nothing ranked
  } cases[] = {{"rise", 1, &QuoteRecord::changePercent},    {"fall", 2, &QuoteRecord::changePercent},
               {"amplitude", 3, &QuoteRecord::amplitude},   {"5-min rise", 4, &QuoteRecord::fiveMinuteChange},
               {"5-min fall", 5, &QuoteRecord::fiveMinuteChange}, {"volume ratio", 6, &QuoteRecord::volumeRatio},
               {"order top", 7, &QuoteRecord::orderRatio},  {"order bottom", 8, &QuoteRecord::orderRatio},
               {"amount", 9, nullptr},                      {"kind 0", 0, nullptr},
               {"kind 10", 10, nullptr}};
  for (const Case& c : cases) {
    auto area = std::make_unique<RankingArea>();
    Wire w;
    w.U64(0x0102030405060708).U8(1);
    for (int box = 0; box < 9; ++box) Entry(&w, "60000" + std::to_string(box), c.kind, 1234 + box);
    ReplyReader r = w.Reader();
    DecodeRankingBoxes(area.get(), &r);
    EXPECT_EQ(area->head, 0x0102030405060708) << c.name;
    EXPECT_EQ(area->perBoxCount, 1) << c.name;
    EXPECT_EQ(area->totalCount, 9) << c.name;
    EXPECT_EQ(r.Remaining(), 0) << c.name;
    EXPECT_FALSE(r.Short()) << c.name;
    for (int box = 0; box < 9; ++box) {
      const QuoteRecord& rec = area->records[box];
      EXPECT_EQ(rec.key.code, "60000" + std::to_string(box)) << c.name;
      EXPECT_FLOAT_EQ(rec.lastPrice, 10.0f) << c.name;
      EXPECT_FLOAT_EQ(rec.previousClose, 9.0f) << c.name;
      if (c.field) {
        EXPECT_EQ(rec.*c.field, 1234 + box) << c.name;
      }
      EXPECT_EQ(rec.amount, c.kind == 9 ? 1234 + box : 0) << c.name;
    }
  }
}

TEST(RankingDecoder, CountsOutsideTheRoomAreClamped) {
  struct Case {
    const char* name;
    int wireCount;
    int perBox;
  } cases[] = {{"zero", 0, 0}, {"negative", 0xFF, 0}, {"full", 28, 28}, {"beyond room", 30, 28}};
  for (const Case& c : cases) {
    auto area = std::make_unique<RankingArea>();
    std::memset(area.get(), 0x44, sizeof *area);
    Wire w;
    w.U64(7).U8(c.wireCount);
    const int entries = c.wireCount == 0xFF ? 0 : c.wireCount;
    for (int box = 0; box < 9; ++box) {
      for (int i = 0; i < entries; ++i) Entry(&w, std::to_string(100000 + box * 100 + i), 1 + box, i);
    }
    ReplyReader r = w.Reader();
    DecodeRankingBoxes(area.get(), &r);
    EXPECT_EQ(area->perBoxCount, c.perBox) << c.name;
    EXPECT_EQ(area->totalCount, 9 * c.perBox) << c.name;
    EXPECT_FALSE(r.Short()) << c.name;
    for (int box = 0; box < 9 && c.perBox; ++box) {
      EXPECT_EQ(area->records[box * c.perBox].key.code, std::to_string(100000 + box * 100)) << c.name;
    }
    if (c.perBox == 0) {
      EXPECT_EQ(area->records[0].key.code[0], 0) << c.name;  // cleared
    }
  }
}

TEST(RankingDecoder, ShortBodyCountsOnlyWholeEntries) {
  auto area = std::make_unique<RankingArea>();
  Wire w;
  w.U64(1).U8(2);
  Entry(&w, "600000", 1, 5);
  Entry(&w, "600001", 9, 6);
  Entry(&w, "600002", 3, 7);
  w.bytes.resize(w.bytes.size() - 1);
  ReplyReader r = w.Reader();
  DecodeRankingBoxes(area.get(), &r);
  EXPECT_EQ(area->perBoxCount, 2);
  EXPECT_EQ(area->totalCount, 2);
  EXPECT_EQ(area->records[1].amount, 6);
}

}  // namespace
