// Sorted lists (40), category lists (42), their compact forms and field
// tables (43, 45, 46).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "marketdata/sorted_list_decoders.h"
#include "foundation/tests/hex_text.h"
#include "marketdata/tests/quote_test_support.h"

namespace {

using quote_test::Wire;

struct SortedArea {
  explicit SortedArea(int capacity) {
    std::memset(&area, 0, sizeof area);
    area.list.records = NewQuoteRecords(capacity);
    area.list.capacity = capacity;
  }
  ~SortedArea() { ReleaseSortedQuoteListArea(&area); }
  SortedQuoteListArea area;
};

std::string Code(int i) { return std::to_string(600000 + i); }

// Type-40 full body: list id, total rows, ids {0, 8}, n records.
Wire FullPage(int n, int64_t listId = 0x0000000100000002) {
  Wire w;
  w.U64(listId).U32(5000).Ids({0, 8}).U16(n);
  for (int i = 0; i < n; ++i) w.Key(Code(i), "", 1).Price(1 + i);
  return w;
}

Wire CompactPage(bool category, int n) {
  Wire w;
  if (category) {
    w.U16(1011);
  } else {
    w.U64(7).U32(0);
  }
  w.Ids({1}).U16(n);
  for (int i = 0; i < n; ++i) w.ListCode(Code(i), 1 + i % 2);
  return w;
}

TEST(SortedListDecoder, FullPageGrowsTheArrayOnceAndThenReusesIt) {
  SortedArea a(128);
  Wire big = FullPage(150);
  ReplyReader r1 = big.Reader();
  DecodeSortedQuoteList(&a.area, &r1);
  EXPECT_EQ(a.area.listId, 0x0000000100000002);
  EXPECT_EQ(a.area.start, 5000);
  EXPECT_EQ(a.area.list.capacity, 150);
  EXPECT_EQ(a.area.recordsHeld, 150);
  EXPECT_EQ(a.area.recordCount, 150);
  EXPECT_FLOAT_EQ(a.area.list.records[149].lastPrice, 150.0f);
  QuoteRecord* grown = a.area.list.records;

  Wire small = FullPage(100);
  ReplyReader r2 = small.Reader();
  DecodeSortedQuoteList(&a.area, &r2);
  EXPECT_EQ(a.area.list.records, grown);
  EXPECT_EQ(a.area.list.capacity, 150);
  EXPECT_EQ(a.area.recordsHeld, 100);
  EXPECT_STREQ(a.area.list.records[120].key.code, Code(120).c_str());  // stale, not cleared
}

TEST(SortedListDecoder, CategoryPageClearsEverythingFirst) {
  SortedArea a(4);
  Wire page = FullPage(3);
  ReplyReader r1 = page.Reader();
  DecodeSortedQuoteList(&a.area, &r1);

  Wire category;
  category.U16(1011).Ids({0}).U16(2).Key("000001", "", 2).Key("000002", "", 2);
  ReplyReader r2 = category.Reader();
  DecodeCategoryQuoteList(&a.area, &r2);
  EXPECT_EQ(a.area.listId, 0);
  EXPECT_EQ(a.area.start, 1011);
  EXPECT_EQ(a.area.recordsHeld, 2);
  EXPECT_EQ(a.area.list.capacity, 0);  // a type 40 after it allocates afresh
  EXPECT_FLOAT_EQ(a.area.list.records[0].lastPrice, 0.0f);  // fresh array
  EXPECT_STREQ(a.area.list.records[1].key.code, "000002");

  Wire empty;
  empty.U16(3).Ids({0}).U16(0);
  ReplyReader r3 = empty.Reader();
  DecodeCategoryQuoteList(&a.area, &r3);
  EXPECT_EQ(a.area.recordsHeld, 0);
  EXPECT_EQ(a.area.list.records, nullptr);
}

// A type-40 page after a category page in the same slot shows none of the
// category's values: the category leaves the capacity at 0, so the page gets
// a fresh zero-filled array (these two bodies once showed stock 600000 and
// field 9 = 777 for the type-40 request).
TEST(SortedListDecoder, SortedPageAfterACategoryPageStartsFromZero) {
  SortedArea a(0);
  // Key 1011, ids {0, 8, 9}, one record: stock 600000, field 8 = 100000,
  // field 9 = 777.
  const auto category = test_hex::FromHex(
      "03f300030000000800090001363030303030410000000000000000000000000000000000000000000000020100000186a00000000000000309");
  ReplyReader r1(category.data(), static_cast<int>(category.size()));
  DecodeCategoryQuoteList(&a.area, &r1);
  ASSERT_EQ(a.area.recordsHeld, 1);
  ASSERT_STREQ(a.area.list.records[0].key.code, "600000");
  ASSERT_EQ(a.area.list.records[0].totalVolume, 777);
  // List 1, start 0, ids {8}, one record with field 8 = 11.
  const auto page = test_hex::FromHex("0000000000000001000000000001000800010000000b");
  ReplyReader r2(page.data(), static_cast<int>(page.size()));
  DecodeSortedQuoteList(&a.area, &r2);
  ASSERT_EQ(a.area.recordsHeld, 1);
  EXPECT_STREQ(a.area.list.records[0].key.code, "");
  EXPECT_EQ(a.area.list.records[0].key.market, 0);
  EXPECT_EQ(a.area.list.records[0].totalVolume, 0);
  EXPECT_EQ(a.area.list.capacity, 1);
}

TEST(SortedListDecoder, CompactFormPadsToNineAndLeavesNoArrayForNone) {
  struct Case {
    const char* name;
    bool category;
    int entries;
    int held;
  } cases[] = {{"40, 10 entries", false, 10, 18}, {"42, 10 entries", true, 10, 18},
               {"40, 9 entries", false, 9, 9},    {"42, 1 entry", true, 1, 9},
               {"40, none", false, 0, 0},         {"42, none", true, 0, 0}};
  for (const Case& c : cases) {
    SortedArea a(20);
    Wire w = CompactPage(c.category, c.entries);
    ReplyReader r = w.Reader();
    if (c.category) {
      DecodeCategoryCodeList(&a.area, &r);
    } else {
      DecodeSortedCodeList(&a.area, &r);
    }
    EXPECT_EQ(a.area.recordsHeld, c.held) << c.name;
    EXPECT_EQ(a.area.recordCount, c.entries) << c.name;
    EXPECT_EQ(a.area.fieldCount, 1) << c.name;
    EXPECT_EQ(a.area.list.records, nullptr) << c.name;
    EXPECT_EQ(a.area.list.capacity, 0) << c.name;
    if (c.held == 0) {
      EXPECT_EQ(a.area.codes, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(a.area.codes, nullptr) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(a.area.codes), 6), Code(0)) << c.name;
    EXPECT_EQ(a.area.codes[6], 1) << c.name;
    const int last = (c.entries - 1) * 7;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(a.area.codes + last), 6), Code(c.entries - 1)) << c.name;
    for (int i = c.entries * 7; i < c.held * 7; ++i) EXPECT_EQ(a.area.codes[i], 0) << c.name << " " << i;
  }
}

TEST(SortedListDecoder, SwitchingFormsNeverLeavesACountOverTheWrongArray) {
  SortedArea a(5);
  Wire compact = CompactPage(false, 10);  // 18 entries held
  ReplyReader r1 = compact.Reader();
  DecodeSortedCodeList(&a.area, &r1);
  EXPECT_EQ(a.area.recordsHeld, 18);
  EXPECT_EQ(a.area.list.capacity, 0);  // no record array that 18 could overrun

  Wire full = FullPage(3);
  ReplyReader r2 = full.Reader();
  DecodeSortedQuoteList(&a.area, &r2);
  EXPECT_EQ(a.area.codes, nullptr);
  EXPECT_EQ(a.area.recordsHeld, 3);
  EXPECT_GE(a.area.list.capacity, 3);
  EXPECT_STREQ(a.area.list.records[2].key.code, Code(2).c_str());

  Wire compactAgain = CompactPage(true, 2);
  ReplyReader r3 = compactAgain.Reader();
  DecodeCategoryCodeList(&a.area, &r3);
  EXPECT_EQ(a.area.list.records, nullptr);
  EXPECT_EQ(a.area.recordsHeld, 9);
}

TEST(SortedListDecoder, LyingCountsAndShortBodies) {
  SortedArea a(8);
  Wire w = FullPage(3);
  w.bytes[12 + 6] = 0xFF;  // n = 0xFF03, three records sent
  ReplyReader r = w.Reader();
  DecodeSortedQuoteList(&a.area, &r);
  EXPECT_EQ(a.area.recordsHeld, 3);
  EXPECT_EQ(a.area.list.capacity, 8);

  Wire cut = FullPage(4);
  cut.bytes.resize(cut.bytes.size() - 40);  // record 3 cut, record 2 partly
  ReplyReader r2 = cut.Reader();
  DecodeSortedQuoteList(&a.area, &r2);
  EXPECT_EQ(a.area.recordsHeld, 2);

  Wire compact = CompactPage(false, 5);
  compact.bytes.resize(compact.bytes.size() - 3);
  ReplyReader r3 = compact.Reader();
  DecodeSortedCodeList(&a.area, &r3);
  EXPECT_EQ(a.area.recordCount, 4);
  EXPECT_EQ(a.area.recordsHeld, 9);

  Wire headOnly;
  headOnly.U64(1).U16(0);  // the start is cut
  ReplyReader r4 = headOnly.Reader();
  DecodeSortedQuoteList(&a.area, &r4);
  EXPECT_EQ(a.area.recordsHeld, 0);
}

Wire TableReply(const std::vector<int>& ids, int rows, int firstPrice = 1) {
  Wire w;
  w.Ids(ids).U16(rows);
  for (int i = 0; i < rows; ++i) {
    for (int id : ids) {
      if (id == 0) w.Key(Code(i), "", 1);
      if (id == 1) w.ListCode(Code(i), 1);
      if (id == 8) w.Price(firstPrice + i);
      if (id == 9) w.U64(1000 + i);
    }
  }
  return w;
}

TEST(FieldTableDecoder, UpdateOverwritesEveryFieldAfterTheKeyOfTheMatchingRow) {
  auto area = std::make_unique<FieldTableArea>();
  Wire complete = TableReply({0, 8, 9}, 3);
  ReplyReader r1 = complete.Reader();
  DecodeFieldTable(area.get(), &r1, 1);
  EXPECT_EQ(area->recordsHeld, 3);

  Wire update;
  update.Ids({1, 8}).U16(2).ListCode(Code(1), 1).Price(77).ListCode(Code(1), 2).Price(88);
  ReplyReader r2 = update.Reader();
  DecodeFieldTable(area.get(), &r2, 2);
  EXPECT_FLOAT_EQ(area->records[1].lastPrice, 77.0f);  // the other market's record dropped
  EXPECT_EQ(area->records[1].totalVolume, 0);
  EXPECT_STREQ(area->records[1].key.code, Code(1).c_str());
  EXPECT_FLOAT_EQ(area->records[0].lastPrice, 1.0f);
  EXPECT_EQ(area->records[2].totalVolume, 1002);
  EXPECT_EQ(area->recordsHeld, 3);
  EXPECT_EQ(area->recordCount, 2);

  FieldTableArea before = *area;
  Wire stranger;
  stranger.Ids({1, 8}).U16(1).ListCode("999999", 1).Price(5);
  ReplyReader r3 = stranger.Reader();
  DecodeFieldTable(area.get(), &r3, 2);
  before.recordCount = area->recordCount;
  EXPECT_EQ(std::memcmp(&before, area.get(), sizeof before), 0);
}

TEST(FieldTableDecoder, CompleteReplyKeepsAtMostSixtyFourRows) {
  auto area = std::make_unique<FieldTableArea>();
  Wire w = TableReply({0, 8}, 70);
  ReplyReader r = w.Reader();
  DecodeFieldTable(area.get(), &r, 1);
  EXPECT_EQ(area->recordsHeld, kFieldTableRows);
  EXPECT_EQ(area->recordCount, kFieldTableRows);
  EXPECT_FLOAT_EQ(area->records[63].lastPrice, 64.0f);

  std::vector<int> ids(135, 46);
  ids.push_back(8);
  Wire wide;
  wide.Ids(ids).U16(1).Price(4);
  ReplyReader r2 = wide.Reader();
  DecodeFieldTable(area.get(), &r2, 1);
  EXPECT_EQ(area->fieldCount, kFieldTableMaxIds);
  EXPECT_EQ(area->recordsHeld, 1);
  EXPECT_FLOAT_EQ(area->records[0].lastPrice, 4.0f);
}

}  // namespace
