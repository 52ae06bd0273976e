#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "charts/kline_rel_data.h"
#include "foundation/config_store.h"
#include "foundation/http_request.h"
#include "foundation/server_directory.h"
#include "foundation/transport_timing.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "platform/window/win_desktop.h"
#include "tools/simbroker/http/sim_http_services.h"

namespace {

using simhttp::SimHttpScenario;
using simhttp::SimHttpServer;

struct Posted {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::mutex gPostedLock;
std::vector<Posted> gPosted;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kWmKLineRelDataReady) {
    std::lock_guard<std::mutex> g(gPostedLock);
    gPosted.push_back({msg, wParam, lParam});
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

size_t PostedCount() {
  std::lock_guard<std::mutex> g(gPostedLock);
  return gPosted.size();
}

// A loopback simbroker HTTP site, a data root whose server directory points
// at it, a recording notify window, and a fetcher.
class KLineRelDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::lock_guard<std::mutex> g(gPostedLock);
      gPosted.clear();
    }
    simhttp::SimHttpOptions options;
    options.port = 0;
    options.holdMs = 1000;
    server_ = std::make_unique<SimHttpServer>(options);
    ASSERT_EQ(1, server_->Start());
    char pattern[] = "/tmp/orv-klinerel-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    top_ = pattern;
    std::filesystem::create_directories(top_ + "/program/res");
    std::filesystem::create_directories(top_ + "/appdata");
    SetInstallFolderForTesting(top_ + "/program/");
    SetAppDataFolderForTesting(top_ + "/appdata/");
    InitAppFolders();
    LoadConfig();
    const std::string directory = simhttp::BuildServerDirectory(server_->Layout(), 0);
    ASSERT_TRUE(WriteDataFile("res\\server.data", directory.c_str(), static_cast<int>(directory.size())));
    LoadServerList();
    saved_ = GetTransportTimings();
    TransportTimings t = saved_;
    t.httpTimeoutMs = 700;
    SetTransportTimings(t);

    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = u"KLineRelProbe";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, u"KLineRelProbe", u"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    data_.Init();
    data_.notifyWindow = window_;
  }
  void TearDown() override {
    data_.CancelRequests();
    data_.Release();
    if (window_) DestroyWindow(window_);
    SetTransportTimings(saved_);
    FreeServerList();
    SetInstallFolderForTesting("");
    SetAppDataFolderForTesting("");
    server_->Stop();
    std::filesystem::remove_all(top_);
  }

  // Requests type 1..3 for 600000 and waits for its message.
  bool Fetch(int type, const char* end = "20241231") {
    const size_t before = PostedCount();
    if (data_.Request(type, "600000", 1, "20230101", end) != 1) return false;
    return desk_.RunUntil([&] { return PostedCount() > before; }, 10000);
  }
  void Scenario(const SimHttpScenario& s) { server_->SetScenario(s); }
  // Waits until the last request of the fetcher has ended (answered, failed
  // or timed out) without a message.
  bool WaitRequestsEnded() {
    return desk_.RunUntil([] { return CountHttpRequestsForTesting() == 0; }, 10000);
  }

  TestDesktop desk_;
  std::unique_ptr<SimHttpServer> server_;
  std::string top_;
  TransportTimings saved_;
  HWND window_ = nullptr;
  KLineRelData data_;
};

TEST_F(KLineRelDataTest, RequestsOnlyWhatIsNotLoaded) {
  ASSERT_TRUE(Fetch(1, "20241130"));
  const auto log = server_->Requests("klinerel");
  ASSERT_EQ(log.size(), 1u);
  const std::string expected = "datatype=1&stockcode=600000&marketid=1&startdate=20230101&enddate=20241130&clientversion=";
  EXPECT_EQ(log[0].query.substr(0, expected.size()), expected);
  EXPECT_NE(log[0].query.find("&userid="), std::string::npos);
  EXPECT_NE(log[0].query.find("&sessionid="), std::string::npos);
  {
    std::lock_guard<std::mutex> g(gPostedLock);
    EXPECT_EQ(gPosted[0].wParam, 1u);
    EXPECT_EQ(gPosted[0].lParam, 0);
  }
  // A table not yet taken counts as loaded.
  EXPECT_EQ(data_.Request(1, "600000", 1, "20230101", "20241130"), 0);
  void* old = nullptr;
  ASSERT_TRUE(data_.TakePending(1, &old));
  EXPECT_EQ(old, nullptr);
  ASSERT_EQ(data_.financeCount, 7);  // 4 periods of 2023, 3 ended by 20241130
  EXPECT_STREQ(data_.financeRows[0].startDate, "20230101");
  EXPECT_STREQ(data_.financeRows[0].endDate, "20230331");
  EXPECT_STRNE(data_.financeRows[0].basicEPS, "");
  EXPECT_EQ(data_.Request(1, "600000", 1, "20230101", "20241130"), 0);
  EXPECT_EQ(server_->Requests("klinerel").size(), 1u);
  // Other types are independent; after Clear the type is fetched again.
  ASSERT_TRUE(Fetch(3));
  ASSERT_TRUE(data_.TakePending(3, nullptr));
  ASSERT_GT(data_.ratingCount, 0);
  EXPECT_EQ(std::string(data_.ratingRows[0].url).rfind(server_->BaseUrl(0) + "/report/", 0), 0u);
  data_.Clear();
  EXPECT_EQ(data_.financeRows, nullptr);
  ASSERT_TRUE(Fetch(1, "20241130"));
  EXPECT_EQ(server_->Requests("klinerel").size(), 3u);
  EXPECT_EQ(data_.Request(9, "600000", 1, "20230101", "20241231"), 0);
  // An address that does not fit the 1,024 bytes is not requested.
  data_.Clear();
  const std::string longCode(1100, '6');
  EXPECT_EQ(data_.Request(2, longCode.c_str(), 1, "20230101", "20241231"), 0);
}

TEST_F(KLineRelDataTest, GzipRepliesParseAsPlainOnes) {
  ASSERT_TRUE(Fetch(2));
  ASSERT_TRUE(data_.TakePending(2, nullptr));
  const std::vector<KLineHolderRow> plain(data_.holderRows, data_.holderRows + data_.holderCount);
  data_.Clear();
  SimHttpScenario s;
  s.dataGzip = true;
  Scenario(s);
  ASSERT_TRUE(Fetch(2));
  ASSERT_TRUE(data_.TakePending(2, nullptr));
  ASSERT_EQ(static_cast<size_t>(data_.holderCount), plain.size());
  EXPECT_EQ(std::memcmp(plain.data(), data_.holderRows, plain.size() * sizeof(KLineHolderRow)), 0);
}

TEST_F(KLineRelDataTest, FailuresPostNothing) {
  ASSERT_TRUE(Fetch(1));
  ASSERT_TRUE(data_.TakePending(1, nullptr));
  const int rows = data_.financeCount;
  SimHttpScenario s;
  s.status["klinerel"] = 500;
  Scenario(s);
  ASSERT_EQ(data_.Request(3, "600000", 1, "20230101", "20241231"), 1);
  ASSERT_TRUE(WaitRequestsEnded());
  // Time-out: the service holds its reply past the shortened HTTP time-out.
  s = {};
  s.silent.insert("klinerel");
  Scenario(s);
  ASSERT_EQ(data_.Request(2, "600000", 1, "20230101", "20241231"), 1);
  ASSERT_TRUE(desk_.RunUntil([&] { return server_->Requests("klinerel").size() == 3; }, 10000));
  desk_.Advance(800);
  ASSERT_TRUE(WaitRequestsEnded());
  desk_.RunUntilIdle();
  EXPECT_EQ(PostedCount(), 1u);
  EXPECT_FALSE(data_.TakePending(2, nullptr));
  EXPECT_FALSE(data_.TakePending(3, nullptr));
  EXPECT_EQ(data_.financeCount, rows);
  // Not JSON: nothing posted, the type's table left empty.
  s = {};
  s.rawBody["klinerel"] = "<html>busy</html>";
  Scenario(s);
  ASSERT_EQ(data_.Request(3, "600000", 1, "20230101", "20241231"), 1);
  ASSERT_TRUE(WaitRequestsEnded());
  desk_.RunUntilIdle();
  EXPECT_EQ(PostedCount(), 1u);
  void* old = nullptr;
  EXPECT_TRUE(data_.TakePending(3, &old));
  EXPECT_EQ(data_.ratingCount, 0);
  // Without "total": posted, with an empty table.
  s.rawBody["klinerel"] = "{\"data\":[{\"pubDate\":\"20240102\"}]}";
  Scenario(s);
  ASSERT_TRUE(Fetch(3));
  EXPECT_TRUE(data_.TakePending(3, nullptr));
  EXPECT_EQ(data_.ratingCount, 0);
}

TEST_F(KLineRelDataTest, RepliesAfterCancelAreNeverParsed) {
  SimHttpScenario s;
  s.silent.insert("klinerel");
  Scenario(s);
  ASSERT_EQ(data_.Request(1, "600000", 1, "20230101", "20241231"), 1);
  ASSERT_TRUE(desk_.RunUntil([&] { return server_->Requests("klinerel").size() == 1; }, 10000));
  data_.CancelRequests();
  // The server answers once its hold ends; the abandoned request reports nothing.
  server_->SetScenario({});
  ASSERT_TRUE(desk_.RunUntil([&] { return server_->Requests("klinerel")[0].status != 0; }, 10000));
  ASSERT_TRUE(WaitRequestsEnded());
  desk_.RunUntilIdle();
  EXPECT_EQ(PostedCount(), 0u);
  EXPECT_FALSE(data_.TakePending(1, nullptr));
  // A newer reply replaces an untaken one; taking hands back the shown rows.
  ASSERT_TRUE(Fetch(1));
  ASSERT_TRUE(data_.TakePending(1, nullptr));
  const KLineFinanceRow* shown = data_.financeRows;
  const std::string firstEps = shown[0].basicEPS;
  data_.financeCount = 0;  // as if the owner let the type be fetched again
  ASSERT_TRUE(Fetch(1));
  EXPECT_STREQ(shown[0].basicEPS, firstEps.c_str());  // still readable until taken
  void* old = nullptr;
  ASSERT_TRUE(data_.TakePending(1, &old));
  EXPECT_EQ(old, shown);
  std::free(old);
}

// Reply bodies parsed directly: counts, bounds and malformed shapes.
TEST(KLineRelDataParse, RowsAndBounds) {
  struct Case {
    const char* name;
    int type;
    std::string text;
    bool json;
    int rows;
  } cases[] = {
      {"total 3, two elements", 1, R"({"total":"3","data":[{"basicEPS":"0.1"},{"basicEPS":"0.2"}]})", true, 3},
      {"total 3, four elements", 1, R"({"total":"3","data":[{},{},{},{"basicEPS":"x"}]})", true, 3},
      {"total -1", 1, R"({"total":"-1","data":[{}]})", true, 0},
      {"total abc", 1, R"({"total":"abc","data":[{}]})", true, 0},
      {"total as a number", 2, R"({"total":2,"data":[{},{}]})", true, 2},
      {"total huge", 2, R"({"total":"99999999999999999999","data":[{}]})", true, 4096},
      {"total held at 4096", 2, R"({"total":"5000","data":[{}]})", true, 4096},
      {"no total", 3, R"({"data":[{}]})", true, 0},
      {"data not an array", 1, R"({"total":"2","data":{"basicEPS":"1"}})", true, 0},
      {"not JSON", 1, "total=3", false, 0},
      {"empty", 1, "", false, 0},
  };
  for (const Case& c : cases) {
    KLineRelTable table;
    EXPECT_EQ(ParseKLineRelReply(c.type, c.text.c_str(), &table), c.json) << c.name;
    EXPECT_EQ(table.count, c.rows) << c.name;
    if (c.rows == 3 && c.type == 1) {
      auto* rows = static_cast<KLineFinanceRow*>(table.rows);
      KLineFinanceRow zero{};
      EXPECT_EQ(std::memcmp(&rows[2], &zero, sizeof zero), 0) << c.name;
    }
    std::free(table.rows);
  }
}

TEST(KLineRelDataParse, FieldsAreBoundedAndTyped) {
  // 300-byte date and a 400-byte name of 3-byte characters; elements that
  // are not objects; numbers where texts are expected.
  std::string longDate(300, '9');
  std::string longName;
  for (int i = 0; i < 133; ++i) longName += "中";
  longName += "x";
  const std::string text = "{\"total\":\"4\",\"data\":[{\"pubDate\":\"" + longDate + "\",\"comName\":\"" + longName +
                           "\",\"ratingSide\":\"1\",\"url\":\"http://a/b\\/c\"},7,{\"pubDate\":20240101,"
                           "\"ratingSide\":\"side\"},{\"ratingSide\":-1,\"invRatingOriginal\":\"买入\"}]}";
  KLineRelTable table;
  ASSERT_TRUE(ParseKLineRelReply(3, text.c_str(), &table));
  ASSERT_EQ(table.count, 4);
  auto* rows = static_cast<KLineRatingRow*>(table.rows);
  EXPECT_EQ(std::strlen(rows[0].pubDate), 23u);
  // 255 bytes hold 85 whole characters.
  EXPECT_EQ(std::strlen(rows[0].comName), 255u);
  EXPECT_EQ(std::string(rows[0].comName), longName.substr(0, 255));
  EXPECT_EQ(rows[0].ratingSide, 1);
  EXPECT_STREQ(rows[0].url, "http://a/b/c");
  KLineRatingRow zero{};
  EXPECT_EQ(std::memcmp(&rows[1], &zero, sizeof zero), 0);
  EXPECT_STREQ(rows[2].pubDate, "");
  EXPECT_EQ(rows[2].ratingSide, 0);
  EXPECT_EQ(rows[3].ratingSide, -1);
  EXPECT_STREQ(rows[3].invRatingOriginal, "买入");
  std::free(table.rows);
  // A cut in the middle of a character backs up to its start.
  std::string name2 = std::string(254, 'a') + "中";
  const std::string text2 = "{\"total\":\"1\",\"data\":[{\"comName\":\"" + name2 + "\"}]}";
  ASSERT_TRUE(ParseKLineRelReply(3, text2.c_str(), &table));
  EXPECT_EQ(std::string(static_cast<KLineRatingRow*>(table.rows)[0].comName), std::string(254, 'a'));
  std::free(table.rows);
}

}  // namespace
