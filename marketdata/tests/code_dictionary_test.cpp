// The code dictionary: type-1 replies applied to qdic, res\qver.data, the
// busy flag, and the repair reply.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "marketdata/code_dictionary.h"
#include "marketdata/reply_reader.h"
#include "marketdata/request_builders.h"
#include "marketdata/tests/engine_test_support.h"
#include "tools/simbroker/dictionary_service.h"
#include "tools/simbroker/stock_dataset.h"

using namespace engine_test;
using simbroker::DatasetRow;

namespace {

Bytes Records(const std::vector<DatasetRow>& rows) {
  Bytes out;
  for (const DatasetRow& r : rows) simbroker::PutDictionaryRecord(&out, r);
  return out;
}

DatasetRow Row(int op, int market, int type, const std::string& code, const std::string& name, const std::string& abb) {
  DatasetRow r;
  r.op = op;
  r.market = market;
  r.type = type;
  r.code = code;
  r.name = name;
  r.abb = abb;
  return r;
}

struct DbRow {
  int market;
  int type;
  std::string code, name, abb;
  bool operator==(const DbRow& o) const {
    return market == o.market && type == o.type && code == o.code && name == o.name && abb == o.abb;
  }
};

std::string VersionFile() {
  FileBlob* blob = LoadDictionaryVersion();
  std::string text = blob ? std::string(blob->data, static_cast<size_t>(blob->size)) : "<missing>";
  FreeFileBlob(blob);
  return text;
}

class CodeDictionaryTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    dbPath_ = top_ + "/pellune.db";
    ASSERT_EQ(sqlite3_open(dbPath_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, kDictionaryTableSchema, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_commit_hook(db, CountCommit, &commits);
    SetDictionaryDatabase(db);
  }
  void TearDown() override {
    SetDictionaryDatabase(nullptr);
    sqlite3_close(db);
    EngineFixture::TearDown();
  }
  static int CountCommit(void* counter) {
    ++*static_cast<std::atomic<int>*>(counter);
    return 0;
  }

  std::vector<DbRow> Rows() {
    std::vector<DbRow> rows;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "select marketid, type, code, name, abb from qdic order by marketid, code", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
      auto text = [&](int i) { return std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, i))); };
      rows.push_back({sqlite3_column_int(s, 0), sqlite3_column_int(s, 1), text(2), text(3), text(4)});
    }
    sqlite3_finalize(s);
    return rows;
  }

  int Apply(const Bytes& records) { return ApplyDictionaryUpdates(records.data(), static_cast<int>(records.size())); }

  // A type-1 reply to the standing dictionary request, through the engine.
  void DeliverReply(const std::string& version, const Bytes& records) {
    Bytes body;
    simbroker::PutU16(&body, version.size());
    simbroker::PutText(&body, version);
    simbroker::PutU16(&body, records.size() / kDictionaryRecordSize);
    body.insert(body.end(), records.begin(), records.end());
    fake.Inject(simbroker::ReplyPacket(2, 1, 1, handle, body, false));
  }

  std::string dbPath_;
  sqlite3* db = nullptr;
  std::atomic<int> commits{0};
  int handle = 0;
};

TEST_F(CodeDictionaryTest, OperationsReplaceDeleteAndIgnore) {
  ASSERT_EQ(Apply(Records({Row(1, 1, 2, "600000", "浦发银行", "PFYH"), Row(1, 2, 2, "000001", "平安银行", "PAYH"),
                           Row(1, 1, 1, "000001", "上证指数", "SZZS")})),
            1);
  // 2 replaces (same market and code, new type and name); 3 deletes whatever
  // the type it names; 0 and 4 change nothing.
  ASSERT_EQ(Apply(Records({Row(2, 1, 3, "600000", "浦发改名", "PFGM"), Row(3, 1, 9, "000001", "", ""),
                           Row(0, 2, 2, "000001", "零号", "LH"), Row(4, 2, 2, "300750", "宁德时代", "NDSD")})),
            1);
  std::vector<DbRow> expected = {{1, 3, "600000", "浦发改名", "PFGM"}, {2, 2, "000001", "平安银行", "PAYH"}};
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(commits.load(), 2);
}

TEST_F(CodeDictionaryTest, QuotesInTextsAreStoredExactly) {
  const std::string fullOfQuotes(24, '\'');
  ASSERT_EQ(Apply(Records({Row(1, 1, 2, "600001", "O'Brien \"B\"", "O'B\""), Row(1, 1, 2, "600002", fullOfQuotes, "''''''"),
                           Row(1, 1, 2, "60'; D", "x\"); drop table qdic; --", "A")})),
            1);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  // Sorted by code: "60'; D" comes first.
  EXPECT_EQ(rows[0].code, "60'; D");
  EXPECT_EQ(rows[0].name, "x\"); drop table qdic; --");
  EXPECT_EQ(rows[1].name, "O'Brien \"B\"");
  EXPECT_EQ(rows[1].abb, "O'B\"");
  EXPECT_EQ(rows[2].name, fullOfQuotes);
  // Delete by a code with a quote.
  ASSERT_EQ(Apply(Records({Row(3, 1, 2, "60'; D", "", "")})), 1);
  EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(CodeDictionaryTest, ThirtyThousandRecordsInOneTransaction) {
  std::vector<DatasetRow> rows;
  for (int i = 0; i < 30000; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%06d", i);
    rows.push_back(Row(1, 1 + i % 2, 2, code, "股票" + std::to_string(i), "GP"));
  }
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Apply(Records(rows)), 1);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(commits.load(), 1);
  EXPECT_EQ(Rows().size(), 30000u);
  RecordProperty("apply_ms", static_cast<int>(ms));
}

TEST_F(CodeDictionaryTest, EngineReplySavesTheVersionAndSkipsEmptyTransactions) {
  MakeReady();
  handle = RequestDictionaryUpdate(engine, nullptr, nullptr);
  handle = GetPendingRequestAt(engine->pending, 0)->sequence;
  DeliverReply("v1", {});
  EXPECT_EQ(VersionFile(), "v1");
  EXPECT_EQ(commits.load(), 0);  // m = 0: no transaction
  DeliverReply("v2", Records({Row(1, 1, 2, "600519", "贵州茅台", "GZMT")}));
  EXPECT_EQ(VersionFile(), "v2");
  EXPECT_EQ(commits.load(), 1);
  EXPECT_EQ(engine->dictionaryReply->recordCount, 1);
  EXPECT_EQ(std::string(engine->dictionaryReply->versionText), "v2");
  // The next request sends the saved version.
  fake.TakeSent();
  RequestDictionaryUpdate(engine, nullptr, nullptr);
  Bytes sent = OnlySent();
  EXPECT_EQ(Hex(Bytes(sent.begin() + 9, sent.end())), Hex(B({0, 2, 'v', '2'})));
}

TEST_F(CodeDictionaryTest, BusyDatabaseRollsBackAndKeepsTheOldVersion) {
  MakeReady();
  RequestDictionaryUpdate(engine, nullptr, nullptr);
  handle = GetPendingRequestAt(engine->pending, 0)->sequence;
  DeliverReply("v1", Records({Row(1, 1, 2, "600000", "浦发银行", "PFYH")}));
  ASSERT_EQ(VersionFile(), "v1");

  // Another connection holds the write lock (as a long write would): the
  // first change of the next reply gets SQLITE_BUSY.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(dbPath_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const Bytes changes = Records({Row(1, 1, 2, "600036", "招商银行", "ZSYH"), Row(3, 1, 2, "600000", "", "")});
  DeliverReply("v2", changes);
  EXPECT_EQ(VersionFile(), "v1");
  std::vector<DbRow> before = {{1, 2, "600000", "浦发银行", "PFYH"}};
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(sqlite3_get_autocommit(db), 1);  // no transaction left open

  // Once the lock is gone the same reply applies.
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  DeliverReply("v2", changes);
  EXPECT_EQ(VersionFile(), "v2");
  std::vector<DbRow> after = {{1, 2, "600036", "招商银行", "ZSYH"}};
  EXPECT_EQ(Rows(), after);
}

TEST_F(CodeDictionaryTest, WithoutADatabaseNothingIsSaved) {
  SetDictionaryDatabase(nullptr);
  EXPECT_EQ(Apply(Records({Row(1, 1, 2, "600000", "浦发银行", "PFYH")})), 0);
}

struct HookLog {
  std::mutex lock;
  std::vector<std::thread::id> writers;
};

void OnUpdate(void* user, int, const char*, const char*, sqlite3_int64) {
  auto* log = static_cast<HookLog*>(user);
  std::lock_guard<std::mutex> hold(log->lock);
  log->writers.push_back(std::this_thread::get_id());
}

TEST_F(CodeDictionaryTest, BusyFlagSerialisesConcurrentApplies) {
  HookLog log;
  sqlite3_update_hook(db, OnUpdate, &log);
  std::vector<DatasetRow> a, b;
  for (int i = 0; i < 2000; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%06d", i);
    a.push_back(Row(1, 1, 2, code, "A", "A"));
    b.push_back(Row(1, 2, 2, code, "B", "B"));
  }
  const Bytes ra = Records(a), rb = Records(b);
  std::atomic<int> ok{0};
  std::thread t1([&] { ok += Apply(ra); });
  std::thread t2([&] { ok += Apply(rb); });
  t1.join();
  t2.join();
  sqlite3_update_hook(db, nullptr, nullptr);
  EXPECT_EQ(ok.load(), 2);
  EXPECT_EQ(commits.load(), 2);
  ASSERT_EQ(log.writers.size(), 4000u);
  int switches = 0;
  for (size_t i = 1; i < log.writers.size(); ++i) switches += log.writers[i] != log.writers[i - 1];
  EXPECT_EQ(switches, 1);  // one whole transaction after the other
}

TEST(CodeDictionaryDecoder, ShortBodiesKeepWholeRecordsOnly) {
  Bytes records = Records({Row(1, 1, 2, "600000", "浦发银行", "PFYH"), Row(1, 1, 2, "600036", "招商银行", "ZSYH")});
  struct Case {
    const char* name;
    Bytes body;
    int versionLength;
    int recordsLength;
  };
  Bytes announcedThree = Concat({B({0, 2, 'v', '9', 0, 3}), records});
  Bytes cutRecord = Concat({B({0, 1, 'v', 0, 2}), Bytes(records.begin(), records.begin() + 50)});
  const Case cases[] = {
      {"whole", Concat({B({0, 1, 'v', 0, 2}), records}), 1, 78},
      {"m larger than the body", announcedThree, 2, 78},
      {"second record cut", cutRecord, 1, 39},
      {"version runs past the body", B({0, 9, 'v'}), 0, 0},
      {"no record count", B({0, 1, 'v'}), 1, 0},
  };
  for (const Case& c : cases) {
    DictionaryReply reply;
    ReplyReader reader(c.body.data(), static_cast<int>(c.body.size()));
    DecodeDictionaryUpdate(&reader, &reply);
    EXPECT_EQ(reply.versionLength, c.versionLength) << c.name;
    EXPECT_EQ(reply.recordsLength, c.recordsLength) << c.name;
  }
}

TEST_F(CodeDictionaryTest, RepairReplyFromTheServerRebuildsTheTable) {
  simbroker::StockDataset data;
  std::string error;
  ASSERT_TRUE(simbroker::LoadStockDataset(simbroker::DefaultStockDatasetPath(), &data, &error)) << error;
  // The request frame of a repair: version "0".
  Bytes request = B({0, 0, 0, 12, 1, 2, 1, 0, 0, 5, 1, 1, 0x03, 0xE9, 0, 1, '0'});
  request[3] = static_cast<unsigned char>(request.size() - 5);
  for (int gzipAbove : {1 << 30, 64}) {
    sqlite3_exec(db, "delete from qdic", nullptr, nullptr, nullptr);
    Bytes reply;
    ASSERT_TRUE(simbroker::DictionaryRepairReply(data, request, gzipAbove, &reply));
    DictionaryReply decoded;
    EXPECT_EQ(ApplyDictionaryRepairReply(reply.data(), static_cast<int>(reply.size()), &decoded), 1);
    EXPECT_EQ(Rows().size(), simbroker::CurrentDictionaryRows(data).size());
    EXPECT_EQ(VersionFile(), simbroker::CurrentDictionaryVersion(data));
  }
  Bytes bad;
  ASSERT_TRUE(simbroker::DictionaryRepairReply(data, request, 1 << 30, &bad));
  bad[5] = 3;  // marker other than 2
  DictionaryReply decoded;
  EXPECT_EQ(ApplyDictionaryRepairReply(bad.data(), static_cast<int>(bad.size()), &decoded), 0);
  EXPECT_EQ(ApplyDictionaryRepairReply(bad.data(), 5, &decoded), 0);
}

}  // namespace
