// F10, alert and information decoders: titles and content with their
// lengths, the alert stream's limit of 10,280, the query window, the
// stock-information entries and the unrequested value blocks and tables.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "marketdata/f10_alert_decoders.h"
#include "quote_test_support.h"
#include "tools/simbroker/minute_tick_replies.h"

using quote_test::Wire;
using simbroker::Bytes;
using simbroker::SimStock;
using simbroker::WireAlert;

namespace {

SimStock Stock(const std::string& code = "600036") {
  SimStock s{};
  s.code = code;
  s.name = "招商银行";
  s.market = 1;
  s.kind = 2;
  s.decimals = 2;
  return s;
}

ReplyReader ReaderOf(const Bytes& body) { return ReplyReader(body.data(), static_cast<int>(body.size())); }

TEST(F10DecoderTest, CatalogueReplacesTitlesAndKeepsOlderValues) {
  auto area = std::make_unique<F10CatalogArea>();
  std::vector<simbroker::WireF10Entry> five;
  for (int i = 0; i < 5; ++i) five.push_back({i, 100 + i, "标题" + std::to_string(i)});
  Bytes body = simbroker::F10CatalogBody("600036", 1, five);
  ReplyReader r1 = ReaderOf(body);
  DecodeF10Catalog(area.get(), &r1);
  ASSERT_EQ(area->entryCount, 5);
  EXPECT_STREQ(area->code, "600036");
  EXPECT_STREQ(area->entries[4].title.get(), "标题4");
  EXPECT_EQ(area->entries[4].titleLength, static_cast<int16_t>(std::strlen("标题4")));

  std::vector<simbroker::WireF10Entry> three = {{7, 8, "最新提示"}, {9, 10, "公司概况"}, {11, 12, ""}};
  body = simbroker::F10CatalogBody("600036", 1, three);
  ReplyReader r2 = ReaderOf(body);
  DecodeF10Catalog(area.get(), &r2);
  EXPECT_EQ(area->entryCount, 3);
  EXPECT_STREQ(area->entries[1].title.get(), "公司概况");
  EXPECT_STREQ(area->entries[2].title.get(), "");
  EXPECT_EQ(area->entries[3].title, nullptr);
  EXPECT_EQ(area->entries[3].second, 103);
}

TEST(F10DecoderTest, CatalogueRefusesATitleBeyondTheBody) {
  auto area = std::make_unique<F10CatalogArea>();
  Wire w;
  w.Text("600036", 6).U8(1).U8(3);
  w.U32(1).U32(2).U16(4).Raw("abcd");
  w.U32(3).U32(4).U16(0xFFFF).Raw("xy");   // claims 65,535 bytes
  ReplyReader r = w.Reader();
  DecodeF10Catalog(area.get(), &r);
  EXPECT_EQ(area->entryCount, 1);
  EXPECT_STREQ(area->entries[0].title.get(), "abcd");
  // Negative counts read no entries.
  Wire negative;
  negative.Text("600036", 6).U8(1).U8(0x80);
  ReplyReader rn = negative.Reader();
  DecodeF10Catalog(area.get(), &rn);
  EXPECT_EQ(area->entryCount, 0);
  EXPECT_EQ(area->entries[0].title, nullptr);
}

TEST(F10DecoderTest, ItemContentByItsCheckedLength) {
  struct Case {
    const char* name;
    std::string content;
    int64_t length;          // written content length (-1: the true one)
    const char* expected;
    int32_t expectedLength;
  } cases[] = {
      {"plain content", "【公司概况】公司名称：招商银行股份有限公司", -1, "【公司概况】公司名称：招商银行股份有限公司",
       static_cast<int32_t>(std::strlen("【公司概况】公司名称：招商银行股份有限公司"))},
      {"empty content", "", -1, "", 0},
      {"length that wraps the allocation", "abc", 0xFFFFFFFE, "", 0},
      {"length beyond the body", "abc", 4, "", 0},
  };
  auto area = std::make_unique<F10ItemArea>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body = simbroker::F10ItemBody("600036", 1, 2, "公司概况", 5, 6, c.content, c.length);
    ReplyReader r = ReaderOf(body);
    DecodeF10Item(area.get(), &r);
    EXPECT_EQ(area->item, 2);
    EXPECT_STREQ(area->title.get(), "公司概况");
    EXPECT_EQ(area->second, 6);
    ASSERT_NE(area->content, nullptr);
    EXPECT_STREQ(area->content.get(), c.expected);
    EXPECT_EQ(area->contentLength, c.expectedLength);
  }
  // A title longer than the body is refused; both texts are left empty.
  Wire w;
  w.Text("600036", 6).U8(1).U8(2).U16(500).Raw("short");
  ReplyReader r = w.Reader();
  DecodeF10Item(area.get(), &r);
  EXPECT_STREQ(area->title.get(), "");
  EXPECT_STREQ(area->content.get(), "");
  EXPECT_EQ(area->titleLength, 0);
}

std::vector<WireAlert> Alerts(int first, int count) {
  std::vector<WireAlert> out;
  for (int i = first; i < first + count; ++i) {
    out.push_back({Stock(), 1 + i % 20, i, "v" + std::to_string(i)});
  }
  return out;
}

class AlertDecoderTest : public ::testing::Test {
 protected:
  void Records(int mode, int first, int count) {
    Bytes body = simbroker::AlertRecordsBody("01", Alerts(first, count));
    ReplyReader r = ReaderOf(body);
    DecodeAlertRecords(records.get(), &r, mode);
  }
  std::unique_ptr<AlertRecordArea> records = std::make_unique<AlertRecordArea>();
};

TEST_F(AlertDecoderTest, StreamKeepsTheNewestTenThousandTwoHundredEighty) {
  struct Case {
    const char* name;
    int held;
    int firstKept;   // time of the record at place 0 after 5 more
  } cases[] = {{"full area drops 5", kAlertRecordRoom, 5}, {"10,278 held drops 3", kAlertRecordRoom - 2, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Records(1, 0, c.held);
    ASSERT_EQ(records->recordsHeld, c.held);
    Records(2, c.held, 5);
    ASSERT_EQ(records->recordsHeld, kAlertRecordRoom);
    EXPECT_EQ(records->records[0].time, c.firstKept);
    EXPECT_EQ(records->records[kAlertRecordRoom - 6].time, c.held - 1);
    EXPECT_EQ(records->records[kAlertRecordRoom - 5].time, c.held);
    EXPECT_EQ(records->records[kAlertRecordRoom - 1].time, c.held + 4);
  }
  const AlertRecord& last = records->records[kAlertRecordRoom - 1];
  EXPECT_STREQ(last.stock.code, "600036");
  EXPECT_STREQ(last.stock.name, "招商银行");
  EXPECT_EQ(last.kind, 1 + (kAlertRecordRoom + 2) % 20);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(last.values)), "v" + std::to_string(kAlertRecordRoom + 2));
  EXPECT_EQ(records->textLength, 2);
  EXPECT_STREQ(records->text, "01");
}

TEST_F(AlertDecoderTest, LyingCountsAndLengthsStayInTheArea) {
  Records(1, 0, 3);
  struct Case {
    const char* name;
    Bytes body;
    int held;
  } cases[] = {
      {"negative record count", Wire().U8(0).U16(0x8000).bytes, 3},
      {"count beyond the body", simbroker::AlertRecordsBody("", Alerts(3, 2), 20000), 5},
      {"negative text length reads no text", Wire().U8(0xFF).U16(0).bytes, 5},
      {"text beyond the body", Wire().U8(100).Raw("abc").bytes, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReplyReader r = ReaderOf(c.body);
    DecodeAlertRecords(records.get(), &r, 2);
    EXPECT_EQ(records->recordsHeld, c.held);
    EXPECT_LE(records->textLength, 127);
    EXPECT_GE(records->textLength, 0);
  }
}

TEST(AlertDecoderQueryTest, WindowOfTheRequestsCount) {
  auto area = std::make_unique<AlertQueryArea>();
  auto send = [&](int mode, int first, int count, int capacity) {
    Bytes body = simbroker::AlertQueryBody(mode == 1, Stock(), "", Alerts(first, count));
    ReplyReader r = ReaderOf(body);
    DecodeAlertQuery(area.get(), &r, mode, capacity);
  };
  send(1, 0, 18, 20);
  EXPECT_STREQ(area->stock.code, "600036");
  ASSERT_EQ(area->recordsHeld, 18);
  send(2, 18, 5, 20);   // keeps the newest 15 and appends 5
  ASSERT_EQ(area->recordsHeld, 20);
  EXPECT_EQ(area->records[0].time, 3);
  EXPECT_EQ(area->records[19].time, 22);
  EXPECT_EQ(area->records[19].stock.code[0], 0);   // the area's stock, not the record's
  send(2, 23, 25, 20);  // only the last 20 of the update
  EXPECT_EQ(area->records[0].time, 28);
  EXPECT_EQ(area->records[19].time, 47);
  // A capacity beyond the area's 128 is 128.
  send(1, 0, 300, 5000);
  EXPECT_EQ(area->recordsHeld, kAlertQueryRoom);
}

TEST(InfoDecoderTest, StockInfoEntriesFromEachElement) {
  auto area = std::make_unique<StockInfoArea>();
  Wire w;
  w.Text("600036", 6).U8(1).U8(4).U64(77).U16(3);
  w.Raw("<list><stockinfo><title>业绩预告</title><url>http://127.0.0.1/a</url><date>2024-03-15</date></stockinfo>"
        "<stockinfo><title>分红公告</title><date>2024-03-16</date></stockinfo></list>");
  ReplyReader r = w.Reader();
  DecodeStockInfo(area.get(), &r, 1);
  ASSERT_EQ(area->entryCount, 2);
  EXPECT_EQ(area->value64, 77);
  EXPECT_STREQ(area->entries[0].title.get(), "业绩预告");
  EXPECT_STREQ(area->entries[0].url.get(), "http://127.0.0.1/a");
  EXPECT_STREQ(area->entries[1].title.get(), "分红公告");
  EXPECT_EQ(area->entries[1].url, nullptr);
  EXPECT_STREQ(area->entries[1].date.get(), "2024-03-16");
  // An update appends; a complete reply starts over.
  ReplyReader again = w.Reader();
  DecodeStockInfo(area.get(), &again, 2);
  EXPECT_EQ(area->entryCount, 4);
  ReplyReader fresh = w.Reader();
  DecodeStockInfo(area.get(), &fresh, 1);
  EXPECT_EQ(area->entryCount, 2);
}

TEST(InfoDecoderTest, StockInfoKeepsAtMostItsRoom) {
  auto area = std::make_unique<StockInfoArea>();
  Wire w;
  w.Text("600036", 6).U8(1).U8(0).U64(0).U16(0);
  for (int i = 0; i < kStockInfoRoom + 6; ++i) w.Raw("<stockinfo><title>" + std::to_string(i) + "</title></stockinfo>");
  ReplyReader r = w.Reader();
  DecodeStockInfo(area.get(), &r, 1);
  EXPECT_EQ(area->entryCount, kStockInfoRoom);
  EXPECT_STREQ(area->entries[kStockInfoRoom - 1].title.get(), std::to_string(kStockInfoRoom - 1).c_str());
  ReplyReader more = w.Reader();
  DecodeStockInfo(area.get(), &more, 2);
  EXPECT_EQ(area->entryCount, kStockInfoRoom);
}

TEST(InfoDecoderTest, ValueBlocksAndTables) {
  auto a90 = std::make_unique<Type90Area>();
  Wire full;
  full.Key("600036", "招商银行", 1);
  for (int i = 0; i < 8; ++i) full.U64(i + 1);
  ReplyReader r1 = full.Reader();
  DecodeType90Values(a90.get(), &r1, 1);
  EXPECT_STREQ(a90->key.name, "招商银行");
  EXPECT_EQ(a90->values[7], 8);
  Wire update;
  update.Text("600000", 6).U8(1);
  for (int i = 0; i < 8; ++i) update.U64(10 + i);
  ReplyReader r2 = update.Reader();
  DecodeType90Values(a90.get(), &r2, 2);
  EXPECT_STREQ(a90->key.code, "600000");
  EXPECT_EQ(a90->values[0], 10);

  auto a95 = std::make_unique<Type95Area>();
  Wire w95 = full;
  for (int i = 0; i < 8; ++i) w95.U32(100 + i);
  ReplyReader r3 = w95.Reader();
  DecodeType95Values(a95.get(), &r3, 1);
  EXPECT_EQ(a95->values32[7], 107);

  auto a112 = std::make_unique<Type112TableArea>();
  Wire w112;
  w112.Ids({1, 8}).U16(500).ListCode("600036", 1).Price(32.25).ListCode("600000", 1).Price(7.03);
  ReplyReader r4 = w112.Reader();
  DecodeType112Table(a112.get(), &r4);
  EXPECT_EQ(a112->recordsHeld, 2);   // 500 claimed, 2 present
  EXPECT_EQ(a112->fieldCount, 2);
  EXPECT_FLOAT_EQ(a112->records[1].lastPrice, 7.03f);

  auto a113 = std::make_unique<Type113Area>();
  Wire w113;
  w113.U16(9).U16(300);
  for (int i = 0; i < 130; ++i) w113.U16(i).Text("block", 28).U8(0xAB).U8(0xCD).U8(i);
  ReplyReader r5 = w113.Reader();
  DecodeType113Entries(a113.get(), &r5);
  EXPECT_EQ(a113->entryCount, kType113Room);
  EXPECT_EQ(a113->entries[127].first, 127);
  EXPECT_EQ(a113->entries[127].raw[0], 0xAB);
  EXPECT_EQ(a113->entries[127].last, 127);
}

}  // namespace
