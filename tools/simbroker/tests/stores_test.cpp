// The stock data set, the dictionary service's replies and the history
// server's bodies.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "tools/simbroker/dictionary_service.h"
#include "tools/simbroker/history_server.h"
#include "tools/simbroker/stock_dataset.h"
#include "foundation/tests/hex_text.h"

namespace simbroker {
namespace {

using test_hex::Hex;

StockDataset Committed() {
  StockDataset data;
  std::string error;
  EXPECT_TRUE(LoadStockDataset(DefaultStockDatasetPath(), &data, &error)) << error;
  return data;
}

TEST(StockDataset, CommittedFileIsWellFormed) {
  StockDataset data = Committed();
  std::vector<DatasetRow> rows = CurrentDictionaryRows(data);
  EXPECT_GE(rows.size(), 250u);
  std::set<std::pair<int, std::string>> keys;
  int indices = 0, funds = 0, bShares = 0;
  for (const DatasetRow& r : rows) {
    EXPECT_TRUE(keys.insert({r.market, r.code}).second) << r.code;
    EXPECT_TRUE(r.market == 1 || r.market == 2) << r.code;
    EXPECT_LE(r.name.size(), 24u) << r.code;
    EXPECT_FALSE(r.abb.empty()) << r.code;
    for (char c : r.abb) EXPECT_TRUE(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c))) << r.code;
    indices += r.type == 1;
    funds += r.type == 3;
    bShares += r.code.rfind("900", 0) == 0 || r.code.rfind("200", 0) == 0;
  }
  EXPECT_TRUE(keys.count({1, "1A0001"}));
  EXPECT_TRUE(keys.count({2, "399001"}));
  EXPECT_TRUE(keys.count({1, "1A0300"}));
  EXPECT_GE(indices, 5);
  EXPECT_GE(funds, 5);
  EXPECT_GE(bShares, 5);
  for (int64_t board : {1104, 1105, 1106, 1107, 99992008}) EXPECT_FALSE(CategoryStocks(data, board).empty()) << board;
}

TEST(StockDataset, MalformedLinesAreReported) {
  StockDataset data;
  std::string error;
  EXPECT_FALSE(ParseStockDataset("@base 1\n1|2|60000|short code|X\n", &data, &error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  EXPECT_TRUE(ParseStockDataset("# only a comment\n@base 1\n", &data, &error));
}

TEST(DictionaryService, RepliesByClientVersion) {
  StockDataset data;
  std::string error;
  ASSERT_TRUE(ParseStockDataset("@base V1\n1|2|600000|浦发银行|PFYH|7\n2|2|000001|平安银行|PAYH|10\n"
                                "@version V2\n2|1|2|600000|浦发新名|PFXM\n@version V3\n3|2|2|000001|平安银行|PAYH\n",
                                &data, &error))
      << error;
  struct Case {
    const char* name;
    std::string version;
    bool full;
    size_t rows;
  };
  const Case cases[] = {
      {"empty", "", true, 1}, {"unknown", "X", true, 1}, {"repair", "0", true, 1},
      {"base", "V1", false, 2}, {"middle", "V2", false, 1}, {"current", "V3", false, 0},
  };
  for (const Case& c : cases) {
    bool full = false;
    auto rows = DictionaryChangesSince(data, c.version, &full);
    EXPECT_EQ(full, c.full) << c.name;
    EXPECT_EQ(rows.size(), c.rows) << c.name;
  }
  // The body: version, count, 39-byte records.
  Bytes body = DictionaryBodyForVersion(data, "V2");
  ASSERT_EQ(body.size(), 2u + 2 + 2 + 39);
  EXPECT_EQ(Hex(Bytes(body.begin(), body.begin() + 10)), "00 02 56 33 00 01 03 02 02 30");
}

TEST(DictionaryService, RepairReplyFramesTheReply) {
  StockDataset data;
  std::string error;
  ASSERT_TRUE(ParseStockDataset("@base V1\n1|2|600000|浦发银行|PFYH|7\n", &data, &error));
  Bytes request = {0, 0, 0, 12, 1, 2, 1, 0, 0, 5, 1, 1, 0x03, 0xE9, 0, 1, '0'};
  Bytes reply;
  ASSERT_TRUE(DictionaryRepairReply(data, request, 1 << 20, &reply));
  // u32 length, 01, 02, then the reply header (mode 1, type 1, the sequence).
  EXPECT_EQ(Hex(Bytes(reply.begin(), reply.begin() + 14)), "00 00 00 36 01 02 01 00 00 05 01 01 03 E9");
  EXPECT_EQ(reply.size(), 5u + 0x36);
  Bytes zipped;
  ASSERT_TRUE(DictionaryRepairReply(data, request, 16, &zipped));
  EXPECT_EQ(zipped[6], 0x1F);
  EXPECT_EQ(zipped[7], 0x8B);
  request[10] = 3;  // not type 1
  EXPECT_FALSE(DictionaryRepairReply(data, request, 1 << 20, &reply));
  EXPECT_FALSE(DictionaryRepairReply(data, Bytes(10, 0), 1 << 20, &reply));
  EXPECT_EQ(DictionaryRepairHandler(data)(std::string(10, '\0')), "");
}

TEST(HistoryServer, BodiesAsTheClientReadsThem) {
  EXPECT_EQ(Hex(HistorySummaryBody(1, 50)), "01 00 00 00 00 00 00 00 01 00 00 00 32");
  EXPECT_EQ(Hex(HistoryEndBody()), "02 FF FF FF FF");
  BarStock s;
  s.code = "600000";
  s.name = "浦发银行";
  s.market = 1;
  WireBar a;
  a.time = 100;
  a.close = 705;
  WireBar b = a;
  b.time = 101;
  b.close = 700;
  Bytes body = HistoryStockBody(3, s, {a, b});
  EXPECT_EQ(Hex(Bytes(body.begin(), body.begin() + 17)), "02 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00 01");
  EXPECT_EQ(Hex(Bytes(body.begin() + 50, body.begin() + 54)), "00 00 00 02");
  EXPECT_EQ(Hex(HistoryReplyPacket(8, 100, {2}, false)), "0A 00 08 00 64 02");
  // Served series: the newest count trading days, reproducible.
  auto bars = HistoryBarsFor(s, 730, 20240315, 1);
  ASSERT_EQ(bars.size(), 730u);
  EXPECT_EQ(bars.back().time >> 11, PackDateTime(2024, 3, 15, 0, 0) >> 11);
  for (size_t i = 1; i < bars.size(); ++i) ASSERT_LT(bars[i - 1].time, bars[i].time);
  EXPECT_TRUE(HistoryBarsFor(s, 0, 20240315, 1).empty());
  auto again = HistoryBarsFor(s, 730, 20240315, 1);
  EXPECT_EQ(again.front().close, bars.front().close);
}

}  // namespace
}  // namespace simbroker
