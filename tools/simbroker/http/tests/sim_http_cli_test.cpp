// The command line of the HTTP services and the committed demo seeds.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/simbroker/http/sim_http_cli.h"

using namespace simhttp;

namespace {

TEST(SimContentCommandLine, SwitchesReachTheScenario) {
  SimHttpOptions options;
  SimHttpScenario s;
  SimHttpCommand command;
  std::string error;
  ASSERT_EQ(1, ParseHttpCommandLine({"--port", "0", "--three-sites", "--hold-ms=200", "--v2bin=no-sevlist",
                                     "--v2bin-gzip", "--update=3", "--update-ini", "compulsory",
                                     "--captcha-code=5678", "--ialogin=empty-session", "--fallback=no-action",
                                     "--boardconf=not-json", "--mystocks=duplicates", "--marquee=not-accepted",
                                     "--checkmsg=none", "--data-gzip", "--silent=v2bin,login",
                                     "--status=update.ini:404,randomcode:500", "--raw-body=klinerel:{\"total\":\"x\"}", "--trade", "127.0.0.1:8112",
                                     "--file-status=help.html:500", "--file-cut", "ZipPack.zip:10",
                                     "--file-slow=ZipPack.zip:20", "--file-no-length=updatelog.txt",
                                     "--demo"},
                                    &options, &s, &command, &error))
      << error;
  EXPECT_EQ(0, options.port);
  ASSERT_EQ(3u, options.sites.size());
  EXPECT_EQ("127.0.0.3", options.sites[2].host);
  EXPECT_EQ(200, options.holdMs);
  EXPECT_EQ("127.0.0.1:8112", options.tradeAddress);
  EXPECT_TRUE(command.demo);
  EXPECT_TRUE(options.printRequests);
  EXPECT_EQ(SimV2bin::kNoSevList, s.v2bin);
  EXPECT_TRUE(s.v2binGzip);
  EXPECT_EQ(3, s.update);
  EXPECT_EQ(SimUpdateIni::kCompulsory, s.updateIni);
  EXPECT_EQ("5678", s.captchaCode);
  EXPECT_EQ(SimIaLogin::kEmptySession, s.iaLogin);
  EXPECT_EQ(SimFallback::kNoAction, s.fallback);
  EXPECT_EQ(SimBoardConf::kNotJson, s.boardConf);
  EXPECT_EQ(SimMystocks::kDuplicates, s.mystocks);
  EXPECT_EQ(SimMarquee::kNotAccepted, s.marquee);
  EXPECT_EQ(SimCheckMessage::kNone, s.checkMessage);
  EXPECT_TRUE(s.dataGzip);
  EXPECT_EQ((std::set<std::string>{"v2bin", "login"}), s.silent);
  EXPECT_EQ(404, s.status["update.ini"]);
  EXPECT_EQ(500, s.status["randomcode"]);
  EXPECT_EQ("{\"total\":\"x\"}", s.rawBody["klinerel"]);
  EXPECT_EQ(500, s.fileFaults["help.html"].status);
  EXPECT_EQ(10, s.fileFaults["ZipPack.zip"].cutAfter);
  EXPECT_EQ(20, s.fileFaults["ZipPack.zip"].msPerKiB);
  EXPECT_TRUE(s.fileFaults["updatelog.txt"].noLength);
  EXPECT_EQ(-1, s.fileFaults["updatelog.txt"].cutAfter);

  struct Bad {
    const char* name;
    std::vector<std::string> args;
  } bad[] = {{"unknown option", {"--frobnicate"}},
             {"unknown mode", {"--ialogin=maybe"}},
             {"missing value", {"--port"}},
             {"port not a number", {"--port=88a9"}},
             {"status without code", {"--status=v2bin"}},
             {"status out of range", {"--status=v2bin:42"}},
             {"raw body without service", {"--raw-body=nothing"}},
             {"captcha not digits", {"--captcha-code=12ab"}},
             {"file status without name", {"--file-status=:500"}},
             {"file status out of range", {"--file-status=help.html:99"}},
             {"file cut not a number", {"--file-cut=help.html:-3"}},
             {"file slow zero", {"--file-slow=help.html:0"}},
             {"file without length, no name", {"--file-no-length="}}};
  for (const Bad& b : bad) {
    SimHttpOptions o;
    SimHttpScenario sc;
    SimHttpCommand c;
    std::string e;
    EXPECT_EQ(0, ParseHttpCommandLine(b.args, &o, &sc, &c, &e)) << b.name;
    EXPECT_FALSE(e.empty()) << b.name;
  }
  SimHttpOptions demo;
  SimHttpCommand demoCommand;
  ASSERT_EQ(1, ParseHttpCommandLine({"--demo"}, &demo, &s, &demoCommand, &error));
  EXPECT_EQ(8889, demo.port);
  EXPECT_EQ("http://127.0.0.1:8890/trade", demo.tradeAddress);
  std::string usage = HttpUsageText();
  for (const char* needle : {"8889", "8111", "demo / demo123", "vip / vip123", "--silent", "--ialogin", "/v2bin"})
    EXPECT_NE(std::string::npos, usage.find(needle)) << needle;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(SimContentSeeds, CommittedSeedsMatchTheServices) {
  for (const auto& [relative, content] : BuildDemoSeedFiles()) {
    std::string path = relative == "update.ini" ? std::string(ORV_SIMBROKER_HTTP_DIR) + "/demo/update.ini"
                                                : std::string(ORV_SOURCE_DIR) + "/" + relative;
    EXPECT_EQ(content, ReadFile(path)) << relative << ": run scripts/make_demo_seeds.sh";
  }
  auto files = BuildDemoSeedFiles();
  EXPECT_EQ(0u, files["res/server.data"].find("<PCQuote>演示站|http://127.0.0.1:8889/quote?|http://127.0.0.1:8889/quote?</PCQuote>"));
  EXPECT_NE(std::string::npos, files["res/server.data"].find("<PCTrade>http://127.0.0.1:8890/trade</PCTrade>"));
  EXPECT_NE(std::string::npos, files["res/config.data"].find("<UserVer>tq_winpc_tqx1_1.0.0.1_016</UserVer>"));
  EXPECT_EQ(28u, files["res/own.data"].size());
  EXPECT_EQ(std::string("600000\x01", 7), files["res/own.data"].substr(0, 7));
  // A fresh install is up to date against the default update description.
  EXPECT_EQ(0u, files["update.ini"].find("[Tamsel]\r\nVERSION=tq_winpc_tqx1_1.0.0.1_016\r\nMINVER=1.0.0.001\r\n"));
  // The code dictionary is not a seed: the build makes it from the stock data
  // set (and its version file with it), so only the built one exists.
  std::string db = ReadFile(std::string(ORV_BINARY_DIR) + "/res/pellune.db");
  EXPECT_EQ(0u, db.find("SQLite format 3"));
  EXPECT_NE(std::string::npos, db.find("CREATE TABLE qdic"));
}

}  // namespace
