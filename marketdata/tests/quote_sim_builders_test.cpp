// The simulated server's list replies, checked byte for byte against the
// wire format where it is short enough to write out, and decoded by the
// terminal's decoders into the values the server holds.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "marketdata/json_reply_decoders.h"
#include "marketdata/quote_list_decoders.h"
#include "marketdata/sorted_list_decoders.h"
#include "tools/simbroker/quote_list_replies.h"
#include "foundation/tests/hex_text.h"

namespace {

using simbroker::Bytes;
using simbroker::JournalEntry;
using simbroker::MarketData;
using simbroker::SimStock;

using test_hex::Hex;

JournalEntry Request(int type, std::vector<int64_t> numbers, std::vector<int> ids = {}) {
  JournalEntry e;
  e.kind = 2;
  e.type = type;
  e.parsed.numbers = std::move(numbers);
  e.parsed.fieldIds = std::move(ids);
  return e;
}

ReplyReader Reader(const Bytes& b) { return ReplyReader(b.data(), static_cast<int>(b.size())); }

float Price(const SimStock& s, int id) { return static_cast<float>(simbroker::QuoteFieldValue(s, id) / 10000.0); }

TEST(QuoteSimBuilders, SortedPageGoldenBytes) {
  MarketData data(1);
  Bytes body;
  // List id high 1, low 2; start 0; one row; sorted by previous close, descending.
  ASSERT_TRUE(simbroker::BuildSortedListReply(data, Request(40, {1, 2, 0, 1, 4, 0}, {1, 4}), 1, &body));
  EXPECT_EQ(Hex(body),
            "00 00 00 01 00 00 00 02 "   // list id
            "00 00 00 0E "               // 14 rows in the list
            "00 02 00 01 00 04 "         // ids 1, 4
            "00 01 "                     // one record
            "33 39 39 30 30 31 02 "      // 399001, market 2
            "05 B3 AB 64");              // 9566.09
}

TEST(QuoteSimBuilders, RankingGoldenBytes) {
  MarketData data(1);
  Bytes body;
  ASSERT_TRUE(simbroker::BuildRankingReply(data, Request(41, {0x0102030405060708, 0, 1}), 1, &body));
  ASSERT_EQ(body.size(), 9u + 9 * 50);  // every entry is 50 bytes, kind 9's amount included
  EXPECT_EQ(Hex(body, 0, 9), "01 02 03 04 05 06 07 08 01");
  // No step yet: every change is 0, so ties go by code and 000001 leads the rise box.
  EXPECT_EQ(Hex(body, 9, 50),
            "30 30 30 30 30 31 "                                             // 000001
            "E5 B9 B3 E5 AE 89 E9 93 B6 E8 A1 8C 00 00 00 00 00 00 00 00 00 00 00 00 "  // 平安银行
            "02 02 02 "                                                      // decimals, market, kind
            "00 01 9C 1C 00 01 9C 1C "                                       // last, previous close
            "01 00 00 00 00 00 00 00 00");                                   // kind 1, skip, change 0
}

TEST(QuoteSimBuilders, DecodedListsAgreeWithTheServer) {
  MarketData data(7);
  data.AddStocks(simbroker::SyntheticStocks(200, 7));
  for (int i = 0; i < 5; ++i) data.Step();
  const std::vector<int> ids = {0, 8, 34, 35, 9, 37, 5, 6, 7, 4, 1015, 38, 40, 41, 11, 10, 33, 13, 12, 32, 36};

  Bytes page;
  ASSERT_TRUE(simbroker::BuildSortedListReply(data, Request(40, {0, 5, 20, 150, 34, 0}, ids), 1, &page));
  SortedQuoteListArea area{};
  ReplyReader r = Reader(page);
  DecodeSortedQuoteList(&area, &r);
  EXPECT_EQ(r.Remaining(), 0);
  EXPECT_EQ(area.start, 214);
  ASSERT_EQ(area.recordsHeld, 150);
  for (int i = 0; i < 150; ++i) {
    const QuoteRecord& rec = area.list.records[i];
    SimStock s;
    ASSERT_TRUE(data.Find(rec.key.code, rec.key.market, &s)) << rec.key.code;
    EXPECT_FLOAT_EQ(rec.lastPrice, Price(s, 8));
    EXPECT_EQ(rec.changePercent, simbroker::QuoteFieldValue(s, 34));
    EXPECT_EQ(rec.totalVolume, s.volume);
    EXPECT_EQ(rec.amplitude, simbroker::QuoteFieldValue(s, 41));
    if (i > 0) {
      EXPECT_LE(rec.changePercent, area.list.records[i - 1].changePercent);
    }
  }
  ReleaseSortedQuoteListArea(&area);

  Bytes ranking;
  ASSERT_TRUE(simbroker::BuildRankingReply(data, Request(41, {9, 0, 30}), 1, &ranking));
  auto boxes = std::make_unique<RankingArea>();
  ReplyReader rr = Reader(ranking);
  DecodeRankingBoxes(boxes.get(), &rr);
  EXPECT_EQ(rr.Remaining(), 0);
  ASSERT_EQ(boxes->perBoxCount, 28);
  for (int b = 0; b < 9; ++b) {
    for (int i = 0; i < 28; ++i) {
      const QuoteRecord& rec = boxes->records[b * 28 + i];
      SimStock s;
      ASSERT_TRUE(data.Find(rec.key.code, rec.key.market, &s));
      EXPECT_FLOAT_EQ(rec.previousClose, Price(s, 4));
      if (b < 2) {
        EXPECT_EQ(rec.changePercent, simbroker::QuoteFieldValue(s, 34));
      }
      if (b == 8) {
        EXPECT_EQ(rec.amount, s.amount);
      }
    }
  }
  EXPECT_GE(boxes->records[0].changePercent, boxes->records[27].changePercent);
  EXPECT_LE(boxes->records[28].changePercent, boxes->records[55].changePercent);

  Bytes table;
  ASSERT_TRUE(simbroker::BuildFieldTableReply(data, Request(46, {}, {0, 8, 9}), 1, &table));
  auto fields = std::make_unique<FieldTableArea>();
  ReplyReader rt = Reader(table);
  DecodeFieldTable(fields.get(), &rt, 1);
  ASSERT_EQ(fields->recordsHeld, 64);
  data.Step();
  Bytes update;
  ASSERT_TRUE(simbroker::BuildFieldTableReply(data, Request(46, {}, {0, 8, 9}), 2, &update));
  ReplyReader ru = Reader(update);
  DecodeFieldTable(fields.get(), &ru, 2);
  for (int i = 0; i < 64; ++i) {
    SimStock s;
    ASSERT_TRUE(data.Find(fields->records[i].key.code, fields->records[i].key.market, &s));
    EXPECT_FLOAT_EQ(fields->records[i].lastPrice, Price(s, 8));
    EXPECT_EQ(fields->records[i].totalVolume, s.volume);
  }
}

TEST(QuoteSimBuilders, OneStocksFieldsAgreeWithEachOther) {
  MarketData data(21);
  for (int i = 0; i < 40; ++i) data.Step();
  std::vector<int> ids = {0, 4, 5, 6, 7, 8, 34, 35, 41, 38, 36};
  for (int b = 12; b <= 28; b += 4) ids.insert(ids.end(), {b, b + 1, b + 2, b + 3});
  for (int b = 400; b <= 416; b += 4) ids.insert(ids.end(), {b, b + 1, b + 2, b + 3});
  for (const SimStock& s : data.All()) {
    JournalEntry request = Request(33, {}, ids);
    request.parsed.code = s.code;
    request.parsed.market = s.market;
    Bytes body;
    ASSERT_TRUE(simbroker::BuildStockFieldsReply(data, request, 1, &body));
    auto area = std::make_unique<StockFieldsArea>();
    ReplyReader r = Reader(body);
    DecodeStockFields(area.get(), &r, 1);
    ASSERT_EQ(r.Remaining(), 0);
    const QuoteRecord& q = area->record;
    EXPECT_NEAR(q.change, q.lastPrice - q.previousClose, 1e-3) << s.code;
    EXPECT_NEAR(q.changePercent, (q.lastPrice - q.previousClose) / q.previousClose * 10000, 1.5) << s.code;
    EXPECT_NEAR(q.amplitude, (q.high - q.low) / q.previousClose * 10000, 1.5) << s.code;
    EXPECT_NEAR(q.fiveMinuteChange, (q.lastPrice - q.open) / q.open * 10000, 1.5) << s.code;
    EXPECT_LE(q.low, q.lastPrice);
    EXPECT_GE(q.high, q.lastPrice);
    EXPECT_LT(q.bidPrice1, q.askPrice1) << s.code;
    EXPECT_LT(q.askPrice1, q.askPrice5) << s.code;
    EXPECT_LT(q.bidPrice10, q.bidPrice1) << s.code;
    const int64_t bids[] = {q.bidVolume1, q.bidVolume2, q.bidVolume3, q.bidVolume4, q.bidVolume5,
                            q.bidVolume6, q.bidVolume7, q.bidVolume8, q.bidVolume9, q.bidVolume10};
    const int64_t asks[] = {q.askVolume1, q.askVolume2, q.askVolume3, q.askVolume4, q.askVolume5,
                            q.askVolume6, q.askVolume7, q.askVolume8, q.askVolume9, q.askVolume10};
    int64_t bid = 0, ask = 0;
    for (int i = 0; i < 10; ++i) {
      bid += bids[i];
      ask += asks[i];
    }
    EXPECT_NEAR(q.orderRatio, 10000.0 * (bid - ask) / (bid + ask), 1.0) << s.code;
  }
}

TEST(QuoteSimBuilders, JsonRepliesDecode) {
  MarketData data(3);
  Bytes pool;
  ASSERT_TRUE(simbroker::BuildStockPoolReply(data, Request(69, {1, 1, 34, 0}), 1, &pool));
  StockPoolTableArea table{};
  ReplyReader rp = Reader(pool);
  DecodeStockPoolTable(&table, &rp);
  EXPECT_EQ(table.resultCode, 1);
  EXPECT_STREQ(table.title, "强势股池");
  EXPECT_EQ(table.columnCount, 4);
  ASSERT_GT(table.rowCount, 0);
  SimStock s;
  EXPECT_TRUE(data.Find(table.rows[0].cells[0], 1, &s) || data.Find(table.rows[0].cells[0], 2, &s));
  EXPECT_EQ(s.name, table.rows[0].cells[1]);
  ReleaseStockPoolTableArea(&table);

  JournalEntry news = Request(2, {20240315000000});
  news.kind = 0x33;
  news.parsed.code = "600519";
  news.parsed.market = 1;
  Bytes marks;
  ASSERT_TRUE(simbroker::BuildNewsMarksReply(data, news, 1, &marks));
  NewsListArea list{};
  ReplyReader rn = Reader(marks);
  DecodeNewsList(&list, &rn, 1);
  ASSERT_EQ(list.recordCount, 3);
  EXPECT_STREQ(list.code, "600519");
  EXPECT_STREQ(list.records[0].title, "公告：贵州茅台");
  EXPECT_STREQ(list.records[0].pubTime, "2024-03-15 09:30:00");
  EXPECT_STREQ(list.records[2].longTime, "202403151402");
  EXPECT_STREQ(list.records[1].url, "http://127.0.0.1:8889/news/600519-2.html");  // a page of the HTTP site
  ReleaseNewsListArea(&list);
}

}  // namespace
