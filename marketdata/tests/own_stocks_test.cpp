// The watch-list file and its in-memory copy.
#include "engine_test_support.h"
#include "marketdata/own_stocks.h"

using namespace engine_test;

namespace {

class OwnStocksTest : public EngineFixture {
 protected:
  std::string FileBytes() {
    std::string bytes;
    if (!ReadWholeFile(UserFile("res/own.data"), &bytes)) return "<missing>";
    return bytes;
  }
  void WriteFile(const std::string& bytes) {
    ASSERT_TRUE(WriteDataFile("res\\own.data", bytes.data(), static_cast<int>(bytes.size())));
  }
  static std::string Entry(const char* code, int market) { return std::string(code, 6) + static_cast<char>(market); }
};

TEST_F(OwnStocksTest, AddCreatesTheFileAndRefusesDuplicates) {
  ASSERT_EQ(FileBytes(), "<missing>");
  EXPECT_FALSE(IsOwnStock(engine, "600000", 1));
  EXPECT_EQ(AddOwnStock(engine, "600000", 1), 0);
  EXPECT_EQ(FileBytes(), Entry("600000", 1));
  EXPECT_EQ(engine->ownStockCount.load(), 1);
  EXPECT_TRUE(IsOwnStock(engine, "600000", 1));
  EXPECT_FALSE(IsOwnStock(engine, "600000", 2));
  EXPECT_EQ(AddOwnStock(engine, "600000", 1), 1);
  EXPECT_EQ(FileBytes(), Entry("600000", 1));
  EXPECT_EQ(engine->ownStockCount.load(), 1);
  EXPECT_EQ(AddOwnStock(engine, "000001", 2), 0);
  EXPECT_EQ(FileBytes(), Entry("600000", 1) + Entry("000001", 2));
  EXPECT_EQ(GetOwnStockCount(engine), 2);
  EXPECT_EQ(FindOwnStock(engine, "000001", 2), 1);
  EXPECT_EQ(FindOwnStock(engine, "000002", 2), -1);
  EXPECT_EQ(AddOwnStock(engine, nullptr, 1), -1);
  EXPECT_EQ(AddOwnStock(engine, "", 1), -1);
}

TEST_F(OwnStocksTest, ShortFileCountsAsEmptyAndIsReplaced) {
  WriteFile("60000");
  EXPECT_EQ(GetOwnStockCount(engine), 0);
  EXPECT_EQ(FindOwnStock(engine, "60000", 0), -1);
  EXPECT_EQ(RemoveOwnStock(engine, "600000", 1), -1);
  EXPECT_EQ(AddOwnStock(engine, "600000", 1), 0);
  EXPECT_EQ(FileBytes(), Entry("600000", 1));
  // Bytes after the last whole entry are ignored by the count.
  WriteFile(Entry("600000", 1) + "xyz");
  EXPECT_EQ(GetOwnStockCount(engine), 1);
}

TEST_F(OwnStocksTest, RemoveTheOnlyEntryLeavesAnEmptyFile) {
  AddOwnStock(engine, "600000", 1);
  EXPECT_EQ(RemoveOwnStock(engine, "600001", 1), -1);
  EXPECT_EQ(RemoveOwnStock(engine, nullptr, 1), -1);
  EXPECT_EQ(RemoveOwnStock(engine, "600000", 1), 0);
  EXPECT_EQ(FileBytes(), "");
  EXPECT_EQ(GetOwnStockCount(engine), 0);
  EXPECT_EQ(engine->ownStockCount.load(), 0);
  EXPECT_FALSE(IsOwnStock(engine, "600000", 1));
  EXPECT_EQ(GetOwnStockSnapshot(engine), nullptr);
}

TEST_F(OwnStocksTest, MoveShiftsTheEntriesBetween) {
  const std::string a = Entry("AAAAAA", 1), b = Entry("BBBBBB", 1), c = Entry("CCCCCC", 2);
  struct Case {
    const char* name;
    int from;
    int to;
    std::string expected;
  };
  const Case cases[] = {
      {"0 to 2", 0, 2, b + c + a},   {"2 to 0", 2, 0, c + a + b},   {"1 to 2", 1, 2, a + c + b},
      {"equal", 1, 1, a + b + c},    {"from outside", 3, 0, a + b + c}, {"to outside", 0, -1, a + b + c},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    WriteFile(a + b + c);
    MoveOwnStock(engine, k.from, k.to);
    EXPECT_EQ(FileBytes(), k.expected);
  }
  // The copy follows the move.
  WriteFile(a + b + c);
  engine->ownStockCount = 3;
  MoveOwnStock(engine, 0, 2);
  EXPECT_EQ(GetOwnStockSnapshot(engine)->bytes, b + c + a);
}

TEST_F(OwnStocksTest, ShortCodesCompareWithoutOverRead) {
  char* code = static_cast<char*>(malloc(4));
  memcpy(code, "600", 4);
  EXPECT_EQ(AddOwnStock(engine, code, 1), 0);
  EXPECT_EQ(FileBytes(), std::string("600\0\0\0\x01", 7));
  EXPECT_TRUE(IsOwnStock(engine, code, 1));
  EXPECT_EQ(FindOwnStock(engine, code, 1), 0);
  EXPECT_EQ(RemoveOwnStock(engine, code, 1), 0);
  free(code);
}

TEST_F(OwnStocksTest, SnapshotSurvivesAChange) {
  AddOwnStock(engine, "600000", 1);
  std::shared_ptr<const OwnStockList> held = GetOwnStockSnapshot(engine);
  AddOwnStock(engine, "000001", 2);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->EntryCount(), 1);
  EXPECT_EQ(GetOwnStockSnapshot(engine)->EntryCount(), 2);
}

class OwnStocksLoadedTest : public EngineFixture {
 protected:
  void BeforeEngine() override {
    std::string bytes;
    for (int i = 0; i < 1000; ++i) {
      char code[8];
      snprintf(code, sizeof code, "%06d", i);
      bytes.append(code, 6);
      bytes.push_back(1);
    }
    ASSERT_TRUE(WriteDataFile("res\\own.data", bytes.data(), static_cast<int>(bytes.size())));
  }
};

TEST_F(OwnStocksLoadedTest, EngineLoadsTheListAtCreation) {
  EXPECT_EQ(engine->ownStockCount.load(), 1000);
  EXPECT_TRUE(IsOwnStock(engine, "000999", 1));
  EXPECT_FALSE(IsOwnStock(engine, "001000", 1));
  EXPECT_EQ(FindOwnStock(engine, "000500", 1), 500);
}

}  // namespace
