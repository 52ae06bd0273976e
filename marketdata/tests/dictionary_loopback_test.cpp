// The dictionary end to end: a gzip type-1 reply of 30,000 records from the
// simulated market-data server into qdic, the incremental reply of a known
// version, and the repair over HTTP.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "foundation/http_request.h"
#include "marketdata/code_dictionary.h"
#include "marketdata/request_builders.h"
#include "marketdata/tests/loopback_test_support.h"
#include "tools/simbroker/dictionary_service.h"
#include "tools/simbroker/market_replies.h"
#include "tools/simbroker/market_server.h"

using namespace engine_test;

namespace {

simbroker::StockDataset BigDataset() {
  simbroker::StockDataset data;
  data.baseVersion = "B1";
  for (int i = 0; i < 30000; ++i) {
    simbroker::DatasetRow r;
    r.market = 1 + i % 2;
    r.type = 2;
    char code[8];
    std::snprintf(code, sizeof code, "%06d", i / 2);
    r.code = code;
    r.name = "股票'\"" + std::to_string(i);
    r.abb = "GP";
    data.base.push_back(r);
  }
  simbroker::DatasetRow renamed = data.base[0];
  renamed.op = 2;
  renamed.name = "改名";
  simbroker::DatasetRow removed = data.base[1];
  removed.op = 3;
  data.versions.push_back({"B2", {renamed, removed}});
  return data;
}

struct Waiter : LoopbackOwner {
  int replies = 0;
  static void OnReply(void* owner, PendingRequest*) {
    auto* self = static_cast<Waiter*>(owner);
    self->Note([&] { ++self->replies; });
  }
};

class CodeDictionaryLoopbackTest : public LoopbackFixture {
 protected:
  void SetUp() override {
    LoopbackFixture::SetUp();
    data = BigDataset();
    ASSERT_EQ(sqlite3_open((top_ + "/pellune.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, kDictionaryTableSchema, nullptr, nullptr, nullptr), SQLITE_OK);
    SetDictionaryDatabase(db);
  }
  void TearDown() override {
    CloseQuoteConnection(engine);
    simbroker::RegisterReplyBuilder(2, 1, simbroker::BuildDictionaryReply);
    SetDictionaryDatabase(nullptr);
    sqlite3_close(db);
    LoopbackFixture::TearDown();
  }
  int Count(const char* sql) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
    sqlite3_finalize(s);
    return n;
  }
  std::string Version() {
    FileBlob* blob = LoadDictionaryVersion();
    std::string v = blob ? std::string(blob->data, static_cast<size_t>(blob->size)) : "";
    FreeFileBlob(blob);
    return v;
  }

  simbroker::StockDataset data;
  sqlite3* db = nullptr;
};

TEST_F(CodeDictionaryLoopbackTest, FullGzipDictionaryThenTheChangesOfAKnownVersion) {
  simbroker::InstallDictionaryService(data);
  simbroker::MarketServerOptions options;
  options.gzip = true;
  options.pushIntervalMs = 0;
  ASSERT_TRUE(StartServer(options));
  Waiter waiter;
  UseOwner(&waiter);
  Connect();
  ASSERT_TRUE(waiter.WaitFor([&] { return waiter.readyEvents == 1; }));

  // No saved version: the whole current dictionary (30,000 - 1 rows).
  RequestDictionaryUpdate(engine, Waiter::OnReply, &waiter);
  ASSERT_TRUE(waiter.WaitFor([&] { return waiter.replies == 1; }));
  EXPECT_EQ(Count("select count(*) from qdic"), 29999);
  EXPECT_EQ(Version(), "B2");
  EXPECT_EQ(Count("select count(*) from qdic where name like '%''\"%'"), 29998);

  // Back to B1 locally: the reply carries only the B2 changes.
  ASSERT_TRUE(SaveDictionaryVersion("B1", 2));
  sqlite3_exec(db, "insert or replace into qdic values (2, 2, '000000', 'x', 'X')", nullptr, nullptr, nullptr);
  RequestDictionaryUpdate(engine, Waiter::OnReply, &waiter);
  ASSERT_TRUE(waiter.WaitFor([&] { return waiter.replies == 2; }));
  EXPECT_EQ(engine->dictionaryReply->recordCount, 2);
  EXPECT_EQ(Count("select count(*) from qdic where marketid = 2 and code = '000000'"), 0);
  EXPECT_EQ(Version(), "B2");
  CloseQuoteConnection(engine);  // no event reaches the waiter after this
  server->Stop();
}

struct HttpResult {
  std::mutex lock;
  std::condition_variable cv;
  bool done = false;
  int status = -1;
  std::string body;
  static void OnReply(HttpRequest*, void* user, const char* body, int length, int status) {
    if (status == kHttpProgress) return;
    auto* self = static_cast<HttpResult*>(user);
    std::lock_guard<std::mutex> hold(self->lock);
    self->status = status;
    if (body && length > 0) self->body.assign(body, static_cast<size_t>(length));
    self->done = true;
    self->cv.notify_all();
  }
};

TEST_F(CodeDictionaryLoopbackTest, RepairOverHttpRebuildsFromVersionZero) {
  simbroker::DictionaryHttpServer http(data, "/quote", 0);
  ASSERT_TRUE(http.Start());
  // The repair: version "0", every downloaded row deleted, then the request
  // frame of the engine's send buffer posted to the quote service address.
  ASSERT_TRUE(SaveDictionaryVersion("0", 1));
  sqlite3_exec(db, "insert into qdic values (1, 0, '999999', 'own', 'OWN')", nullptr, nullptr, nullptr);
  Bytes frame;
  {
    QuoteBuildGuard build(engine);
    BeginQuoteRequest(engine, 1, 0, 0);
    PutRequestU16(engine, 1);
    PutRequestBytes(engine, "0", 1);
    FinishQuoteRequest(engine);
    frame.assign(engine->sendBuffer, engine->sendBuffer + engine->sendLength);
  }
  HttpResult result;
  const std::string address = "http://127.0.0.1:" + std::to_string(http.Port()) + "/quote";
  StartHttpRequest(address.c_str(), reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size()), "",
                   HttpResult::OnReply, &result);
  {
    std::unique_lock<std::mutex> hold(result.lock);
    ASSERT_TRUE(result.cv.wait_for(hold, std::chrono::milliseconds(kLoopbackWaitMs), [&] { return result.done; }));
  }
  ASSERT_EQ(result.status, kHttpCompleted);
  DictionaryReply reply;
  EXPECT_EQ(ApplyDictionaryRepairReply(reinterpret_cast<const unsigned char*>(result.body.data()),
                                       static_cast<int>(result.body.size()), &reply),
            1);
  EXPECT_EQ(Count("select count(*) from qdic"), 29999 + 1);  // the type-0 row stays
  EXPECT_EQ(Version(), "B2");
  EXPECT_EQ(http.Requests(), 1);
  http.Stop();
}

}  // namespace
