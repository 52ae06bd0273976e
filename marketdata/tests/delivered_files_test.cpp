// The delivered dictionary database of the build tree and the demo seed
// folder of the simulated brokerage.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <string>

#include "foundation/xml_reader.h"
#include "marketdata/code_dictionary.h"
#include "marketdata/tests/engine_test_support.h"
#include "marketdata/trading_hours.h"
#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/stock_dataset.h"

using namespace engine_test;

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class CodeDictionaryDeliveredTest : public EngineFixture {};

TEST_F(CodeDictionaryDeliveredTest, BuildMakesTheDatabaseAndItsVersion) {
  simbroker::StockDataset data;
  std::string error;
  ASSERT_TRUE(simbroker::LoadStockDataset(simbroker::DefaultStockDatasetPath(), &data, &error)) << error;
  const std::string built = std::string(ORV_BINARY_DIR) + "/res/pellune.db";
  EXPECT_EQ(FileText(std::string(ORV_BINARY_DIR) + "/res/qver.data"), simbroker::CurrentDictionaryVersion(data));
  // Work on a copy: a replace of an existing (market, code) keeps the count.
  const std::string copy = top_ + "/pellune.db";
  const std::string bytes = FileText(built);
  ASSERT_FALSE(bytes.empty());
  ASSERT_TRUE(WriteFileUtf8Path(copy.c_str(), bytes.data(), static_cast<int>(bytes.size())));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(copy.c_str(), &db), SQLITE_OK);
  auto count = [&] {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "select count(*) from qdic", -1, &s, nullptr);
    int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
    sqlite3_finalize(s);
    return n;
  };
  const int rows = count();
  EXPECT_EQ(rows, static_cast<int>(simbroker::CurrentDictionaryRows(data).size()));
  SetDictionaryDatabase(db);
  Bytes record;
  simbroker::DatasetRow r;
  r.op = 2;
  r.market = 1;
  r.type = 2;
  r.code = "600519";
  r.name = "贵州茅台酒";
  r.abb = "GZMTJ";
  simbroker::PutDictionaryRecord(&record, r);
  EXPECT_EQ(ApplyDictionaryUpdates(record.data(), static_cast<int>(record.size())), 1);
  EXPECT_EQ(count(), rows);
  SetDictionaryDatabase(nullptr);
  sqlite3_close(db);
}

TEST(DemoSeed, TradingHoursAndWatchList) {
  const std::string folder = std::string(ORV_SOURCE_DIR) + "/tools/simbroker/demo/res/";
  const std::string v2bin = FileText(folder + "v2bin.data");
  char* element = ExtractXmlTagText(v2bin.c_str(), "TradingHours");
  ASSERT_NE(element, nullptr);
  TradingHoursTable table{};
  LoadTradingHours(element, &table);
  free(element);
  ASSERT_EQ(table.count, 2);
  EXPECT_EQ(FindTradingHours(&table, 1)->minutesPerDay, 242);
  EXPECT_EQ(FindTradingHours(&table, 2)->minutesPerDay, 242);
  EXPECT_EQ(FileText(folder + "own.data").size() % 7, 0u);
  const std::string servers = FileText(folder + "server.data");
  EXPECT_NE(servers.find("<DownCenter>127.0.0.1:8111</DownCenter>"), std::string::npos);
  EXPECT_NE(servers.find("<PCQuote>"), std::string::npos);
}

}  // namespace
