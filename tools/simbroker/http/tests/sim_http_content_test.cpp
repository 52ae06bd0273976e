// Menus, update service, company and news data and pages of the simulated
// brokerage.
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <regex>

#include "tools/simbroker/http/tests/sim_http_test_support.h"

using namespace simhttp;

namespace {

using Json = nlohmann::json;

TEST(SimContentMenus, ButtonsItemsAndTabTitles) {
  Json root = Json::parse(BuildMenusJson("http://127.0.0.1:8889"));
  ASSERT_TRUE(root["menus"].is_array());
  std::set<std::string> tops, names;
  bool password = false;
  for (const auto& e : root["menus"]) {
    for (const char* field : {"displayStyle", "resourceName", "resourceCode", "url"})
      ASSERT_TRUE(e.contains(field)) << field;
    std::string code = e["resourceCode"], url = e["url"], name = e["resourceName"];
    names.insert(name);
    EXPECT_EQ(0u, url.find("goto::")) << name;
    if (code.size() == 6) tops.insert(code);
    if (code.size() == 9) {
      EXPECT_EQ(1u, tops.count(code.substr(0, 6))) << name << ": its button comes first";
    }
    if (name == "修改密码") password = true;
    if (url.rfind("goto::quote::", 0) == 0) {
      EXPECT_TRUE(std::regex_match(url, std::regex("goto::quote::(main|tactic|allmonitor|catchshort|pzpick|analyze)")))
          << url;
    }
  }
  for (const char* title : {"行情", "战术看盘", "板块监测", "首页", "大盘分析", "股票池", "短线阻击"})
    EXPECT_EQ(1u, names.count(title)) << title;
  EXPECT_TRUE(password);
  EXPECT_EQ("goto::home::http://127.0.0.1:8889/home.html", root["menus"][0]["url"]);
  EXPECT_GE(tops.size(), 5u);
}

// Sections of an INI text in order, each with its keys.
std::vector<std::pair<std::string, std::map<std::string, std::string>>> IniSections(const std::string& ini) {
  std::vector<std::pair<std::string, std::map<std::string, std::string>>> out;
  size_t at = 0;
  while (at < ini.size()) {
    size_t end = ini.find("\r\n", at);
    if (end == std::string::npos) end = ini.size();
    std::string line = ini.substr(at, end - at);
    at = end + 2;
    if (line.size() > 2 && line[0] == '[' && line.back() == ']') {
      out.push_back({line.substr(1, line.size() - 2), {}});
      continue;
    }
    size_t eq = line.find('=');
    if (eq != std::string::npos && !out.empty()) out.back().second[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

TEST_F(SimHttpFixture, UpdateServiceDescriptionAndFiles) {
  struct Case {
    const char* name;
    SimUpdateIni mode;
    int versionOrder;  // sign of strcmp(build text, server VERSION)
    std::string minimum;
    bool setup;
  } cases[] = {{"current", SimUpdateIni::kCurrent, 0, "1.0.0.001", false},
               {"newer", SimUpdateIni::kNewer, -1, "1.0.0.001", false},
               {"compulsory", SimUpdateIni::kCompulsory, -1, "1.0.0.002", false},
               {"with installer", SimUpdateIni::kWithSetup, -1, "1.0.0.001", true}};
  for (const Case& c : cases) {
    SimHttpScenario s;
    s.updateIni = c.mode;
    Set(s);
    auto sections = IniSections(Get("/update/update.ini", 1));
    ASSERT_FALSE(sections.empty()) << c.name;
    EXPECT_EQ("Tamsel", sections[0].first) << c.name;
    int order = std::strcmp(kSimBuildText, sections[0].second["VERSION"].c_str());
    EXPECT_EQ(c.versionOrder, (order > 0) - (order < 0)) << c.name;
    EXPECT_EQ(c.minimum, sections[0].second["MINVER"]) << c.name;
    bool setup = false, itemsBegun = false, zip = false;
    for (size_t i = 1; i < sections.size(); ++i) {
      const auto& [name, keys] = sections[i];
      setup |= name == "Setup.exe";
      zip |= name == "ZipPack.zip";
      auto url = keys.find("URL");
      if (url == keys.end()) {
        itemsBegun = true;  // package items: no address, after every file
        continue;
      }
      EXPECT_FALSE(itemsBegun) << c.name << ": " << name << " after a package item";
      ASSERT_EQ(0u, url->second.find(server_->BaseUrl(1) + "/update/files/")) << url->second;
      auto file = Client(1)->Get(url->second.substr(server_->BaseUrl(1).size()));
      ASSERT_TRUE(file) << name;
      EXPECT_EQ(200, file->status) << name;
      EXPECT_FALSE(file->body.empty()) << name;
    }
    EXPECT_EQ(c.setup, setup) << c.name;
    EXPECT_TRUE(zip) << c.name;
    EXPECT_TRUE(itemsBegun) << c.name;
  }
  auto missing = Client()->Get("/update/files/nothing.bin");
  ASSERT_TRUE(missing);
  EXPECT_EQ(404, missing->status);
  EXPECT_EQ("update.file", server_->Requests().back().service);
}

// Each fault of one update file, the other files untouched; the
// description itself can be replaced by a test's own text.
TEST_F(SimHttpFixture, UpdateFileFaults) {
  int found = 0;
  const std::string help = UpdateFileContent("help.html", &found);
  ASSERT_GT(help.size(), 100u);
  SimHttpScenario s;
  s.fileFaults["help.html"].status = 500;
  Set(s);
  auto failed = Client()->Get("/update/files/help.html");
  ASSERT_TRUE(failed);
  EXPECT_EQ(500, failed->status);
  EXPECT_TRUE(failed->body.empty());
  EXPECT_EQ(500, server_->Requests().back().status);
  auto other = Client()->Get("/update/files/updatelog.txt");
  ASSERT_TRUE(other);
  EXPECT_EQ(200, other->status);

  s.fileFaults.clear();
  s.fileFaults["help.html"].cutAfter = 40;
  Set(s);
  auto cut = Client()->Get("/update/files/help.html");
  EXPECT_FALSE(cut) << "a body shorter than its Content-Length is a broken reply";

  s.fileFaults.clear();
  s.fileFaults["help.html"].noLength = true;
  Set(s);
  auto open = Client()->Get("/update/files/help.html");
  ASSERT_TRUE(open);
  EXPECT_EQ(200, open->status);
  EXPECT_FALSE(open->has_header("Content-Length"));
  EXPECT_EQ(help, open->body);

  s.fileFaults.clear();
  s.fileFaults["updatelog.txt"].msPerKiB = 150;
  Set(s);
  const std::string log = UpdateFileContent("updatelog.txt", &found);
  ASSERT_GT(log.size(), 1024u) << "a file of two pieces or more";
  const auto start = std::chrono::steady_clock::now();
  auto slow = Client()->Get("/update/files/updatelog.txt");
  const auto spent = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(slow);
  EXPECT_EQ(log, slow->body);
  EXPECT_GE(spent, std::chrono::milliseconds(150 * ((log.size() - 1) / 1024)));

  s.fileFaults.clear();
  s.rawBody["update.ini"] = "[Tamsel]\r\nVERSION=9\r\n[..\\x.txt]\r\nURL=http://h/x\r\n";
  Set(s);
  EXPECT_EQ(s.rawBody["update.ini"], Get("/update/update.ini"));
}

TEST(SimContentUpdate, PackageIsAStoredZip) {
  int found = 0;
  std::string zip = UpdateFileContent("ZipPack.zip", &found);
  ASSERT_EQ(1, found);
  auto u16 = [&](size_t p) { return uint32_t(uint8_t(zip[p])) | (uint32_t(uint8_t(zip[p + 1])) << 8); };
  auto u32 = [&](size_t p) { return u16(p) | (u16(p + 2) << 16); };
  ASSERT_GE(zip.size(), 22u);
  size_t end = zip.size() - 22;
  ASSERT_EQ(0x06054b50u, u32(end));
  uint32_t count = u16(end + 10), centralSize = u32(end + 12), centralAt = u32(end + 16);
  EXPECT_EQ(2u, count);
  EXPECT_EQ(end, size_t(centralAt) + centralSize);
  std::vector<std::string> names;
  size_t at = centralAt;
  for (uint32_t i = 0; i < count; ++i) {
    ASSERT_EQ(0x02014b50u, u32(at));
    uint32_t crc = u32(at + 16), size = u32(at + 20), nameLength = u16(at + 28), local = u32(at + 42);
    std::string name = zip.substr(at + 46, nameLength);
    names.push_back(name);
    ASSERT_EQ(0x04034b50u, u32(local));
    EXPECT_EQ(0u, u16(local + 8)) << "stored";
    std::string content = zip.substr(local + 30 + u16(local + 26), size);
    EXPECT_EQ(crc, crc32(0L, reinterpret_cast<const Bytef*>(content.data()), uInt(content.size()))) << name;
    at += 46 + nameLength;
  }
  EXPECT_EQ((std::vector<std::string>{"res/default_html/pop.html", "readme.txt"}), names);
}

TEST_F(SimHttpFixture, KLineRelatedData) {
  const std::string session = "&clientversion=tq_winpc_tqx1_1.0.0.1_016&userid=10001&sessionid=5f2b9c0e7a1d4c3b8e6f0a9d2c4b7e1f";
  struct Case {
    const char* name;
    std::string type;
    size_t rows;
    std::vector<const char*> fields;
  } cases[] = {{"financial", "1", 4, {"basicEPS", "netCashFlowPS", "operRevenue", "startDate", "endDate"}},
               {"shareholders", "2", 4, {"totalSH", "avgShare", "pctOfTotalSH", "startDate", "endDate"}},
               {"ratings", "3", 15, {"invRatingOriginal", "ratingSide", "comName", "pubDate", "url"}},
               {"unknown type", "9", 0, {}}};
  for (const Case& c : cases) {
    Json j = Json::parse(Get("/klinerel?datatype=" + c.type +
                             "&stockcode=600000&marketid=1&startdate=20230101&enddate=20231231" + session));
    EXPECT_EQ(std::to_string(c.rows), j["total"]) << c.name;
    ASSERT_EQ(c.rows, j["data"].size()) << c.name;
    for (const auto& row : j["data"]) {
      for (const char* field : c.fields) EXPECT_TRUE(row[field].is_string()) << c.name << " " << field;
      std::string date = row.contains("endDate") ? row["endDate"] : row["pubDate"];
      EXPECT_TRUE(date >= "20230101" && date <= "20231231") << c.name << " " << date;
    }
  }
  // Ratings: on weekdays, several institutes a day, both sides, absolute
  // links on the answering site.
  Json ratings = Json::parse(Get("/klinerel?datatype=3&stockcode=600000&marketid=1&startdate=20230101&enddate=20231231", 1));
  std::map<std::string, int> perDay;
  std::set<std::string> sides;
  for (const auto& row : ratings["data"]) {
    const std::string date = row["pubDate"];
    std::tm tm{};
    tm.tm_year = std::stoi(date.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(date.substr(4, 2)) - 1;
    tm.tm_mday = std::stoi(date.substr(6, 2));
    tm.tm_hour = 12;
    std::mktime(&tm);
    EXPECT_TRUE(tm.tm_wday != 0 && tm.tm_wday != 6) << date;
    ++perDay[date];
    sides.insert(row["ratingSide"].get<std::string>());
    EXPECT_EQ(0u, row["url"].get<std::string>().rfind(server_->BaseUrl(1) + "/report/", 0)) << row["url"];
  }
  EXPECT_EQ((std::set<std::string>{"0", "1"}), sides);
  EXPECT_EQ(6u, perDay.size());
  for (const auto& [day, count] : perDay) EXPECT_GE(count, 2) << day;
  // The same request gives the same figures; the gzip switch packs them.
  std::string target = "/klinerel?datatype=1&stockcode=000001&marketid=2&startdate=20220101&enddate=20241231";
  std::string plain = Get(target);
  EXPECT_EQ(plain, Get(target));
  SimHttpScenario s;
  s.dataGzip = true;
  Set(s);
  EXPECT_EQ(plain, GunzipText(Get(target)));
}

TEST_F(SimHttpFixture, RawBodiesAreServedAsGiven) {
  SimHttpScenario s;
  s.dataGzip = true;
  s.rawBody["klinerel"] = std::string("{\"total\":\"3\",\"data\":[{}]}\0tail", 31);
  Set(s);
  EXPECT_EQ(s.rawBody["klinerel"], Get("/klinerel?datatype=1&stockcode=600000"));
  // Other services answer as usual.
  EXPECT_NE(std::string::npos, Get("/newslist?stockcode=600000&marketid=1").size());
}

TEST_F(SimHttpFixture, NewsAndResearchListsLeadToPages) {
  for (bool reports : {false, true}) {
    Json j = Json::parse(Get(std::string(reports ? "/reportlist" : "/newslist") + "?stockcode=600519&marketid=1"));
    ASSERT_EQ(reports ? 5u : 8u, j["data"].size());
    for (const auto& item : j["data"]) {
      std::string title = item["title"], url = item["url"];
      EXPECT_NE(std::string::npos, title.find("贵州茅台")) << title;
      EXPECT_EQ(16u, std::string(item["pubdate"]).size());
      ASSERT_EQ(0u, url.find(server_->BaseUrl())) << url;
      EXPECT_NE(std::string::npos, Get(url.substr(server_->BaseUrl().size())).find("goto::quote::min,600519,1"));
    }
  }
  SimHttpScenario s;
  s.dataGzip = true;
  Set(s);
  EXPECT_EQ("\x1f\x8b", Get("/newslist?stockcode=600000&marketid=1").substr(0, 2));
}

TEST_F(SimHttpFixture, PagesUseGotoLinks) {
  struct Case {
    std::string target;
    int status;
    std::string holds;
  } cases[] = {
      {"/home.html", 200, "<a href=\"goto::quote::min,600000,1\">浦发银行</a>"},
      {"/home.html", 200, "goto::popwindow::notice::公告::"},
      {"/help.html", 200, "goto::trade::buy,600036,1"},
      {"/f10/sh/600000/", 200, "浦发银行（600000）公司概况"},
      {"/f10/sz/000001/", 200, "深圳证券交易所"},
      {"/f9/stock/600519/stockmain.htm", 200, "贵州茅台 深度分析"},
      {"/f9/fund/510050/fundmain.htm", 200, "上证50ETF 基金深度资料"},
      {"/evaluate.html?from=pc&tradingcode=600036&username=demo&userType=out", 200, "招商银行 个股评测"},
      {"/forecast.html?from=pc&tradingcode=600036&username=demo&userType=out", 200, "用户：demo"},
      {"/about.html?a=1&userid=10001&sessionid=abc", 200, "会话：abc"},
      {"/order.html?x=1&userid=10001&sessionid=abc&iausername=demo", 200, "账号：demo"},
      {"/pwd.html", 200, "新密码"},
      {"/msgbox.html", 200, "消息箱"},
      {"/news.html", 200, "goto::quote::min,"},
      {"/no/such/page", 404, "404"},
  };
  for (const Case& c : cases) {
    auto r = Client()->Get(c.target);
    ASSERT_TRUE(r) << c.target;
    EXPECT_EQ(c.status, r->status) << c.target;
    EXPECT_NE(std::string::npos, r->body.find(c.holds)) << c.target;
    EXPECT_EQ("text/html; charset=utf-8", r->get_header_value("Content-Type")) << c.target;
  }
}

}  // namespace
