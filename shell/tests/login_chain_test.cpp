// The login chain against the simulated brokerage, without a window: the
// server list, the update check, PCIALogin, the PCLogin fall-back, the
// board configuration and the watch list, each step's failures, and the
// files and configuration keys the chain leaves behind.
#include "shell/tests/login_test_support.h"

#include <filesystem>
#include <cstring>
#include <fstream>
#include <thread>

#include "foundation/board_config.h"
#include "foundation/config_store.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/http/sim_http_content.h"

using namespace shelltest;
using simhttp::SimHttpScenario;

namespace {

class LoginChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folders.Ok());
    // No configuration of the board yet: the service sends its own.
    folders.WriteData("res\\boardconfig.json", "{}");
    LoadBoardConfig();
  }
  void TearDown() override { chain.reset(); }

  LoginChain& Chain() {
    if (!chain) chain = std::make_unique<LoginChain>(&view);
    return *chain;
  }
  void Ready() { ASSERT_TRUE(ReachLoginReady(Chain(), view)) << Narrow(view.LastStatus()); }
  // Signs in and waits until the chain is back to waiting or finished.
  void SignIn(const std::string& account, const std::string& password, const std::string& captcha = "1234") {
    ASSERT_TRUE(Chain().Login(Wide(account), Wide(password), Wide(captcha)));
    ASSERT_TRUE(RunChainUntil(Chain(), [&] { return !Chain().Busy(); })) << Narrow(view.LastStatus());
  }
  bool Saw(const WString& status) const {
    return std::find(view.statuses.begin(), view.statuses.end(), status) != view.statuses.end();
  }
  std::string Config(const char* key) const {
    const char* v = GetConfig(key);
    return v ? v : "<absent>";
  }
  std::string StoredConfig() const { return folders.ReadData("res/config.data"); }
  std::string ExpectedOwnData(const std::vector<simhttp::SimWatchEntry>& list) const {
    std::string out;
    for (const auto& e : list) {
      bool seen = false;
      std::string entry = e.code.substr(0, 6);
      entry.resize(6, '\0');
      entry.push_back(static_cast<char>(e.market));
      for (size_t at = 0; at + 7 <= out.size(); at += 7) seen = seen || out.compare(at, 7, entry) == 0;
      if (!seen) out += entry;
    }
    return out;
  }

  BrokerageFolders folders;
  RecordingView view;
  std::unique_ptr<LoginChain> chain;
};

// ------------------------------------------------------------------ the whole chain

TEST_F(LoginChainTest, DemoAccountRunsEveryStepAndKeepsWhatTheServicesSent) {
  Ready();
  EXPECT_EQ(view.statuses, (std::vector<WString>{u"获取服务器地址列表……", u"获取服务器地址列表成功", u"当前已是最新版本"}));
  EXPECT_EQ(view.codeAddress, folders.Server().BaseUrl() + "/randomcode");
  EXPECT_EQ(view.codeRefreshes, 1);
  view.statuses.clear();
  SignIn("demo", "demo123");
  EXPECT_TRUE(view.finished);
  EXPECT_EQ(view.statuses, (std::vector<WString>{u"认证中……", u"服务认证成功", u"登录成功", u"更新系统数据……",
                                                 u"自选股同步……"}));
  const simhttp::SimAccount* demo = simhttp::FindSimAccount("demo");
  ASSERT_NE(demo, nullptr);
  const LoginResults& r = Chain().Results();
  EXPECT_EQ(r.userId, demo->userId);
  EXPECT_EQ(r.userIdFromUser, demo->userId);
  EXPECT_EQ(r.sessionId, demo->sessionId);
  EXPECT_EQ(r.account, "demo");
  EXPECT_EQ(r.password, "demo123");
  EXPECT_EQ(r.accountTyped, u"demo");

  LoadConfig();  // what the file holds, not only the memory
  EXPECT_EQ(Config("userid"), demo->userId);
  EXPECT_EQ(Config("sessionid"), demo->sessionId);
  EXPECT_EQ(Config("level"), "0");
  EXPECT_EQ(Config("account"), "demo");
  EXPECT_EQ(Config("saveid"), "1");
  EXPECT_EQ(Config("savepwd"), "0");
  EXPECT_EQ(Config("password"), "<absent>") << "an empty value reads as absent";

  const auto log = folders.Server().Requests();
  // The captcha picture is the view's (the dialog's test sees it asked for).
  ASSERT_EQ(folders.Services(), (std::vector<std::string>{"v2bin", "ialogin", "boardconf", "mystocks"}));
  EXPECT_EQ(log[0].method, "POST");
  EXPECT_EQ(log[0].body, std::string("ver=") + kBuildText + "&SevLstVer=1&CodeVer=1&custom=1234");
  EXPECT_EQ(log[1].body, "username=demo&password=demo123&randomCode=1234&clientversion=" + GetClientVersion());
  EXPECT_EQ(log[2].method, "GET");
  EXPECT_EQ(log[2].query, "timestamp=0");
  EXPECT_NE(log[3].body.find("<signature>" + demo->userId + "</signature><action>getmystocks</action>"),
            std::string::npos);

  // The files hold what the services sent.
  const std::string menu = folders.ReadData("res/menu.json");
  EXPECT_NE(menu.find("\"menus\""), std::string::npos);
  EXPECT_EQ(menu.front(), '{');
  EXPECT_EQ(folders.ReadData("res/boardconfig.json"), simhttp::BuildBoardConfig("0", SimHttpScenario()));
  EXPECT_EQ(folders.ReadData("res/own.data"), ExpectedOwnData(folders.Server().WatchList(demo->userId)));
  EXPECT_EQ(folders.ReadData("res/server.data"), simhttp::BuildServerDirectory(folders.Server().Layout(), 0));
  EXPECT_EQ(folders.ReadData("res/v2bin.data"),
            simhttp::BuildServerList(folders.Server().Layout(), 0, folders.Server().Scenario()));
}

TEST_F(LoginChainTest, EmptyConfigurationValuesAreSentEmpty) {
  SetConfig("SevLstVer", "");
  SetConfig("CodeVer", "");
  SaveConfig();
  Ready();
  EXPECT_EQ(folders.Server().Requests("v2bin").at(0).body,
            std::string("ver=") + kBuildText + "&SevLstVer=&CodeVer=&custom=1234");
}

TEST_F(LoginChainTest, VipAccountHasLevelOneAndRememberedPassword) {
  view.rememberPassword = true;
  Ready();
  SignIn("vip", "vip123");
  ASSERT_TRUE(view.finished);
  LoadConfig();
  EXPECT_EQ(Config("level"), "1");
  EXPECT_EQ(Config("account"), "vip");
  EXPECT_EQ(Config("password"), "vip123");
  EXPECT_EQ(Config("savepwd"), "1");
}

TEST_F(LoginChainTest, UncheckedAccountBoxStoresAnEmptyAccount) {
  view.rememberAccount = false;
  Ready();
  SignIn("demo", "demo123");
  ASSERT_TRUE(view.finished);
  EXPECT_NE(StoredConfig().find("<account></account>"), std::string::npos) << StoredConfig();
  EXPECT_NE(StoredConfig().find("<saveid>0</saveid>"), std::string::npos);
}

TEST_F(LoginChainTest, FallBackSignInDecipheredFormAndUnidForTheFrame) {
  for (simhttp::SimIaLogin mode : {simhttp::SimIaLogin::kNoLoginInfo, simhttp::SimIaLogin::kEmptySession}) {
    SCOPED_TRACE(static_cast<int>(mode));
    chain.reset();
    view.Reset();
    folders.Server().ClearRequests();
    folders.Scenario([&](SimHttpScenario& s) { s.iaLogin = mode; });
    Ready();
    SignIn("demo", "demo123");
    ASSERT_TRUE(view.finished) << Narrow(view.LastStatus());
    EXPECT_TRUE(Saw(u"连接行情服务器……"));
    const auto logins = folders.Server().Requests("login");
    ASSERT_EQ(logins.size(), 1u);
    const std::string& form = logins[0].deciphered;
    ASSERT_EQ(form.size(), 10 + 32 + 29u) << form;
    EXPECT_EQ(form.substr(0, 10), "secretkey=");
    for (char c : form.substr(10, 32)) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << form;
    EXPECT_EQ(form.substr(42), "&account=demo&netpass=demo123");
    EXPECT_EQ(logins[0].body.substr(0, 8), "ciptext=");
    EXPECT_EQ(logins[0].body.size(), 8 + 256u) << "one RSA block";
    const simhttp::SimAccount* demo = simhttp::FindSimAccount("demo");
    EXPECT_EQ(Chain().Results().userId, demo->userId);
    EXPECT_EQ(Chain().Results().sessionId, demo->sessionId);
    LoadConfig();
    EXPECT_EQ(Config("sessionid"), demo->sessionId);
  }
}

TEST_F(LoginChainTest, SecondLoginWhileTheChainRunsSendsNothing) {
  Ready();
  folders.Scenario([](SimHttpScenario& s) { s.silent = {"ialogin"}; });
  folders.ShortTimeouts(1500);
  ASSERT_TRUE(Chain().Login(u"demo", u"demo123", u"1234"));
  EXPECT_FALSE(Chain().Login(u"demo", u"demo123", u"1234"));
  ASSERT_TRUE(RunChainUntil(Chain(), [&] { return !Chain().Busy(); }));
  EXPECT_EQ(folders.Server().Requests("ialogin").size(), 1u);
  EXPECT_EQ(view.LastStatus(), u"服务认证超时，请检查网络连接！");
}

TEST_F(LoginChainTest, EmptyFieldsAskInOrderAndSendNothing) {
  Ready();
  struct Case {
    const char* name;
    WString account, password, captcha;
    WString prompt;
  } cases[] = {
      {"all empty", u"", u"", u"", u"请输入用户名"},
      {"no password", u"demo", u"", u"", u"请输入密码"},
      {"no captcha", u"demo", u"demo123", u"", u"请输入验证码"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.boxes.clear();
    view.loginEnabled = false;
    EXPECT_FALSE(Chain().Login(c.account, c.password, c.captcha));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, c.prompt);
    EXPECT_EQ(view.boxes[0].caption, u"提示");
    EXPECT_EQ(view.boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(view.loginEnabled);
  }
  EXPECT_TRUE(folders.Server().Requests("ialogin").empty());
}

TEST_F(LoginChainTest, PasswordWithAmpersandGoesUnencoded) {
  Ready();
  SignIn("demo", "a&b=c");
  EXPECT_EQ(folders.Server().Requests("ialogin").at(0).body,
            "username=demo&password=a&b=c&randomCode=1234&clientversion=" + GetClientVersion());
  EXPECT_EQ(view.LastStatus(), u"用户名或密码错误");
}

// ------------------------------------------------------------------ server list

TEST_F(LoginChainTest, ServerListRows) {
  struct Case {
    const char* name;
    std::function<void(SimHttpScenario&)> scenario;
    WString last;         // the status line at the end
    bool enabled;         // the login button
    bool replaced;        // res\v2bin.data and res\server.data replaced
  } cases[] = {
      {"plain", [](SimHttpScenario&) {}, u"当前已是最新版本", true, true},
      {"gzip", [](SimHttpScenario& s) { s.v2binGzip = true; }, u"当前已是最新版本", true, true},
      {"no update element", [](SimHttpScenario& s) { s.update = 0; }, u"获取服务器地址列表成功", true, true},
      {"no Ctrl", [](SimHttpScenario& s) { s.v2bin = simhttp::SimV2bin::kNoCtrl; }, u"获取服务器地址列表出错，请重试！",
       false, false},
      {"no SevLstVer", [](SimHttpScenario& s) { s.v2bin = simhttp::SimV2bin::kNoSevLstVer; },
       u"获取服务器地址列表出错，请重试！", false, false},
      {"no PCSevList", [](SimHttpScenario& s) { s.v2bin = simhttp::SimV2bin::kNoSevList; },
       u"获取服务器地址列表出错，请重试！", false, false},
      {"not XML", [](SimHttpScenario& s) { s.v2bin = simhttp::SimV2bin::kNotXml; }, u"获取服务器地址列表出错，请重试！",
       false, false},
      {"status 500", [](SimHttpScenario& s) { s.status["v2bin"] = 500; }, u"获取服务器地址列表失败，请检查网络连接！",
       false, false},
      {"silent", [](SimHttpScenario& s) { s.silent = {"v2bin"}; }, u"获取服务器地址列表超时，请检查网络连接！", false,
       false},
  };
  folders.ShortTimeouts(600);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    chain.reset();
    view.Reset();
    folders.Server().SetScenario(SimHttpScenario());
    folders.Scenario(c.scenario);
    folders.WriteData("res\\v2bin.data", "old hours");
    folders.WriteData("res\\server.data", simhttp::BuildServerDirectory(folders.Server().Layout(), 0) + "<Old>1</Old>");
    Chain().RequestServerList();
    EXPECT_FALSE(view.loginEnabled) << "disabled while the request runs";
    ASSERT_TRUE(RunChainUntil(Chain(), [&] { return !Chain().Busy(); }));
    EXPECT_EQ(view.LastStatus(), c.last);
    EXPECT_EQ(view.loginEnabled, c.enabled);
    const std::string v2bin = folders.ReadData("res/v2bin.data");
    const std::string servers = folders.ReadData("res/server.data");
    if (c.replaced) {
      EXPECT_EQ(v2bin, simhttp::BuildServerList(folders.Server().Layout(), 0, [&] {
                  SimHttpScenario s = folders.Server().Scenario();
                  s.v2binGzip = false;
                  return s;
                }()));
      EXPECT_EQ(servers, simhttp::BuildServerDirectory(folders.Server().Layout(), 0)) << "the PCSevList content";
      EXPECT_EQ(view.codeRefreshes, 1);
    } else {
      EXPECT_EQ(v2bin, "old hours");
      EXPECT_NE(servers.find("<Old>1</Old>"), std::string::npos);
      EXPECT_EQ(view.codeRefreshes, 0);
    }
  }
}

TEST_F(LoginChainTest, RefusedConnectionIsAFailure) {
  folders.Server().SetSiteListening(0, false);
  Chain().RequestServerList();
  ASSERT_TRUE(RunChainUntil(Chain(), [&] { return !Chain().Busy(); }));
  EXPECT_EQ(view.LastStatus(), u"获取服务器地址列表失败，请检查网络连接！");
  EXPECT_FALSE(view.loginEnabled);
}

TEST_F(LoginChainTest, ParsesServerListPieces) {
  const std::string body =
      "x<Ctrl><SevLstVer>3</SevLstVer><Update>2</Update><UpdateUrl>http://h/u/</UpdateUrl>"
      "<UpdateMsg>新</UpdateMsg><PCSevList><A>1</A></PCSevList></Ctrl>y";
  ServerListReply r = ParseServerListReply(body.data(), static_cast<int>(body.size()));
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.serverDirectory, "<A>1</A>");
  EXPECT_EQ(r.update, "2");
  EXPECT_EQ(r.updateUrl, "http://h/u/");
  EXPECT_EQ(r.updateMessage, "新");
  // SevLstVer must be a top-level element of Ctrl, not one inside another.
  const std::string nested = "<Ctrl><X><SevLstVer>3</SevLstVer></X><PCSevList></PCSevList></Ctrl>";
  EXPECT_FALSE(ParseServerListReply(nested.data(), static_cast<int>(nested.size())).found);
  // Cut bodies never read past their length.
  for (size_t n = 0; n < body.size(); ++n) ParseServerListReply(body.data(), static_cast<int>(n));
}

// ------------------------------------------------------------------ sign-in failures

TEST_F(LoginChainTest, SignInRows) {
  struct Case {
    const char* name;
    std::function<void(SimHttpScenario&)> scenario;
    WString last;
    bool refreshed;        // a new captcha asked for
    bool menuWritten;      // res\menu.json replaced
  } cases[] = {
      {"refused", [](SimHttpScenario& s) { s.iaLogin = simhttp::SimIaLogin::kRefuse; }, u"验证码错误", true, false},
      {"status 500", [](SimHttpScenario& s) { s.status["ialogin"] = 500; }, u"服务认证失败，请检查网络连接！", false,
       false},
      {"silent", [](SimHttpScenario& s) { s.silent = {"ialogin"}; }, u"服务认证超时，请检查网络连接！", false, false},
      {"not JSON", [](SimHttpScenario& s) { s.iaLogin = simhttp::SimIaLogin::kNotJson; }, u"服务认证出错，请重试！",
       false, false},
      {"no result", [](SimHttpScenario& s) { s.iaLogin = simhttp::SimIaLogin::kNoResult; }, u"服务认证出错，请重试！",
       false, false},
      {"no user", [](SimHttpScenario& s) { s.iaLogin = simhttp::SimIaLogin::kNoUser; }, u"服务认证出错，请重试！",
       false, true},
      {"fall-back refused", [](SimHttpScenario& s) {
         s.iaLogin = simhttp::SimIaLogin::kNoLoginInfo;
         s.fallback = simhttp::SimFallback::kRefuse;
       }, u"账号已冻结，请联系客服", true, true},
      {"fall-back without action", [](SimHttpScenario& s) {
         s.iaLogin = simhttp::SimIaLogin::kNoLoginInfo;
         s.fallback = simhttp::SimFallback::kNoAction;
       }, u"连接服务器出错，请重试！", false, true},
      {"fall-back without session", [](SimHttpScenario& s) {
         s.iaLogin = simhttp::SimIaLogin::kNoLoginInfo;
         s.fallback = simhttp::SimFallback::kNoSession;
       }, u"ok", true, true},
      {"fall-back of 2 bytes", [](SimHttpScenario& s) {
         s.iaLogin = simhttp::SimIaLogin::kNoLoginInfo;
         s.rawBody["login"] = std::string("\x01\x10", 2);
       }, u"连接服务器出错，请重试！", false, true},
      {"fall-back HTML", [](SimHttpScenario& s) {
         s.iaLogin = simhttp::SimIaLogin::kNoLoginInfo;
         s.rawBody["login"] = "<html><body>error</body></html>";
       }, u"连接服务器出错，请重试！", false, true},
      {"fall-back status 500", [](SimHttpScenario& s) {
         s.iaLogin = simhttp::SimIaLogin::kNoLoginInfo;
         s.status["login"] = 500;
       }, u"连接服务器失败，请检查网络连接！", false, true},
      {"fall-back silent", [](SimHttpScenario& s) {
         s.iaLogin = simhttp::SimIaLogin::kNoLoginInfo;
         s.silent = {"login"};
       }, u"连接服务器超时，请检查网络连接！", false, true},
  };
  folders.ShortTimeouts(600);
  Ready();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folders.Server().SetScenario(SimHttpScenario());
    folders.Scenario(c.scenario);
    folders.WriteData("res\\menu.json", "old menu");
    const int refreshes = view.codeRefreshes;
    const size_t captchas = folders.Server().Requests("randomcode").size();
    view.finished = false;
    SignIn("demo", "demo123");
    EXPECT_FALSE(view.finished);
    EXPECT_EQ(view.LastStatus(), c.last);
    EXPECT_TRUE(view.loginEnabled);
    EXPECT_EQ(view.codeRefreshes - refreshes, c.refreshed ? 1 : 0);
    EXPECT_EQ(folders.ReadData("res/menu.json") != "old menu", c.menuWritten);
    EXPECT_TRUE(folders.Server().Requests("boardconf").empty());
    EXPECT_EQ(folders.Server().Requests("randomcode").size(), captchas) << "the view asks for pictures, not the chain";
  }
}

TEST_F(LoginChainTest, QuoteGroupOverridesLevelTwoFlag) {
  Ready();
  folders.Scenario([](SimHttpScenario& s) {
    s.rawBody["ialogin"] =
        "{\"result\":\"true\",\"info\":\"\",\"user\":{\"id\":\"77\",\"hasLevel2\":\"true\"},"
        "\"logininfo\":{\"userid\":\"78\",\"sessionid\":\"abc\",\"usrquotegroup\":\"0\"}}  trailing";
  });
  SignIn("demo", "demo123");
  ASSERT_TRUE(view.finished);
  LoadConfig();
  EXPECT_EQ(Config("level"), "0");
  EXPECT_EQ(Chain().Results().userIdFromUser, "77");
  EXPECT_EQ(Chain().Results().userId, "78");
  EXPECT_EQ(Config("userid"), "78");
}

// ------------------------------------------------------------------ after the sign-in

TEST_F(LoginChainTest, BoardConfigurationRows) {
  const std::string old = "{\"result\":\"true\",\"boardset\":{\"timestamp\":\"5\"}}";
  struct Case {
    const char* name;
    std::function<void(SimHttpScenario&)> scenario;
    bool replaced;
  } cases[] = {
      {"gzip", [](SimHttpScenario& s) { s.boardConfGzip = true; }, true},
      {"not accepted", [](SimHttpScenario& s) { s.boardConf = simhttp::SimBoardConf::kNotAccepted; }, false},
      {"not JSON", [](SimHttpScenario& s) { s.boardConf = simhttp::SimBoardConf::kNotJson; }, false},
      {"status 500", [](SimHttpScenario& s) { s.status["boardconf"] = 500; }, false},
  };
  Ready();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folders.Server().SetScenario(SimHttpScenario());
    folders.Scenario(c.scenario);
    folders.WriteData("res\\boardconfig.json", old);
    LoadBoardConfig();
    view.finished = false;
    SignIn("demo", "demo123");
    EXPECT_TRUE(view.finished) << "the watch list follows in every case";
    const std::string now = folders.ReadData("res/boardconfig.json");
    if (c.replaced)
      EXPECT_EQ(now, simhttp::BuildBoardConfig("5", SimHttpScenario())) << "unpacked";
    else
      EXPECT_EQ(now, old);
    EXPECT_EQ(folders.Server().Requests("boardconf").back().query, "timestamp=5")
        << "the timestamp of the configuration loaded before";
  }
}

TEST_F(LoginChainTest, WatchListRows) {
  const simhttp::SimAccount* demo = simhttp::FindSimAccount("demo");
  const std::string old = std::string("600000\x01", 7);
  struct Case {
    const char* name;
    simhttp::SimMystocks mode;
    int status;
    bool replaced;
  } cases[] = {
      {"normal", simhttp::SimMystocks::kNormal, 0, true},
      {"duplicates", simhttp::SimMystocks::kDuplicates, 0, true},
      {"empty", simhttp::SimMystocks::kEmpty, 0, true},
      {"refused", simhttp::SimMystocks::kRefuse, 0, false},
      {"not XML", simhttp::SimMystocks::kNotXml, 0, false},
      {"status 500", simhttp::SimMystocks::kNormal, 500, false},
  };
  Ready();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folders.Server().SetScenario(SimHttpScenario());
    folders.Scenario([&](SimHttpScenario& s) {
      s.mystocks = c.mode;
      if (c.status) s.status["mystocks"] = c.status;
    });
    folders.WriteData("res\\own.data", old);
    view.finished = false;
    SignIn("demo", "demo123");
    EXPECT_TRUE(view.finished) << "the dialog ends in every case";
    const std::string now = folders.ReadData("res/own.data");
    if (!c.replaced) {
      EXPECT_EQ(now, old);
      continue;
    }
    if (c.mode == simhttp::SimMystocks::kEmpty) {
      EXPECT_FALSE(folders.DataExists("res/own.data")) << "an empty list leaves no file";
      continue;
    }
    EXPECT_EQ(now, ExpectedOwnData(folders.Server().WatchList(demo->userId)));
    EXPECT_EQ(now.size() % 7, 0u);
  }
}

TEST(OwnStockEntries, AppendsOnceAndKeepsOrder) {
  BrokerageFolders folders;
  ASSERT_TRUE(folders.Ok());
  struct Step {
    const char* code;
    int market;
    int result;
  } steps[] = {{"600000", 1, 1}, {"000001", 2, 1}, {"600000", 1, 0}, {"600000", 2, 1}, {"12", 257, 1}};
  DeleteDataFile("res\\own.data");
  for (const Step& s : steps) EXPECT_EQ(AppendOwnStockEntry(s.code, s.market), s.result) << s.code;
  EXPECT_EQ(folders.ReadData("res/own.data"), std::string("600000\x01" "000001\x02" "600000\x02" "12\0\0\0\0\x01", 28));
  // A file of 6 bytes or fewer is replaced by the entry alone.
  folders.WriteData("res\\own.data", "abc");
  EXPECT_EQ(AppendOwnStockEntry("600036", 1), 1);
  EXPECT_EQ(folders.ReadData("res/own.data"), std::string("600036\x01", 7));
}

TEST(SessionKeys, AreThirtyTwoUpperCaseHexDigitsAndDiffer) {
  char a[33], b[33];
  std::memset(a, 'x', sizeof a);
  MakeSessionKey(a);
  MakeSessionKey(b);
  EXPECT_EQ(std::strlen(a), 32u);
  for (int i = 0; i < 32; ++i) EXPECT_TRUE((a[i] >= '0' && a[i] <= '9') || (a[i] >= 'A' && a[i] <= 'F')) << a;
  EXPECT_STRNE(a, b);
}

// ------------------------------------------------------------------ update check

TEST(UpdateAddress, OneTrailingSlashIsDropped) {
  EXPECT_EQ(UpdateIniAddress("http://h:1/update"), "http://h:1/update/update.ini");
  EXPECT_EQ(UpdateIniAddress("http://h:1/update/"), "http://h:1/update/update.ini");
  EXPECT_EQ(UpdateIniAddress("http://h:1/update//"), "http://h:1/update//update.ini");
}

class UpdateCheckTest : public LoginChainTest {
 protected:
  void SetUp() override {
    LoginChainTest::SetUp();
    folders.WriteProgram("Update", "");
    std::filesystem::copy_file(ORV_FAKE_UPDATER, folders.Program() + "Update",
                               std::filesystem::copy_options::overwrite_existing);
  }
  // Runs the server list and the update check to their end.
  void Check() {
    Chain().RequestServerList();
    ASSERT_TRUE(RunChainUntil(Chain(), [&] { return !Chain().Busy(); })) << Narrow(view.LastStatus());
  }
  std::string UpdaterRecord() const {
    std::string out;
    const std::string path = folders.Program() + "update-args.txt";
    for (int i = 0; i < 500 && out.empty(); ++i) {
      ReadWholeFile(path, &out);
      if (out.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return out;
  }
  std::string Address() { return folders.Server().BaseUrl() + "/update/update.ini"; }
};

TEST_F(UpdateCheckTest, OfferedAndAcceptedStartsTheUpdaterAndCloses) {
  folders.Scenario([](SimHttpScenario& s) {
    s.update = 2;
    s.updateIni = simhttp::SimUpdateIni::kNewer;
  });
  view.boxAnswer = IDYES;
  Check();
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, u"检测到软件有可用的更新,是否升级?");
  EXPECT_EQ(view.boxes[0].caption, u"升级提示");
  EXPECT_EQ(view.boxes[0].type, static_cast<UINT>(MB_YESNO));
  EXPECT_TRUE(view.closedForUpdate);
  EXPECT_TRUE(Saw(u"正在检查是否有可用的更新"));
  EXPECT_TRUE(Saw(u"正在读取版本信息"));
  std::string folder = folders.Program();
  folder.pop_back();
  EXPECT_EQ(UpdaterRecord(), "Tamsel|" + GetClientVersion() + "|" + Address() + "\n" + folder + "\n");
  EXPECT_EQ(folders.Server().Requests("update.ini").size(), 1u);
}

TEST_F(UpdateCheckTest, OfferedAndDeclinedClearsTheStatus) {
  folders.Scenario([](SimHttpScenario& s) {
    s.update = 2;
    s.updateIni = simhttp::SimUpdateIni::kNewer;
  });
  view.boxAnswer = IDNO;
  Check();
  EXPECT_EQ(view.boxes.size(), 1u);
  EXPECT_FALSE(view.closedForUpdate);
  EXPECT_EQ(view.LastStatus(), u"");
  EXPECT_TRUE(view.loginEnabled);
  EXPECT_FALSE(std::filesystem::exists(folders.Program() + "update-args.txt"));
}

TEST_F(UpdateCheckTest, CompulsoryShowsTheMessageThenStartsTheUpdater) {
  for (const std::string& message : {std::string("发现新版本，请升级后再登录。"), std::string()}) {
    SCOPED_TRACE(message);
    chain.reset();
    view.Reset();
    std::filesystem::remove(folders.Program() + "update-args.txt");
    folders.Scenario([&](SimHttpScenario& s) {
      s.update = 3;
      s.updateIni = simhttp::SimUpdateIni::kCompulsory;
      s.updateMessage = message;
    });
    Check();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, Wide(message));
    EXPECT_EQ(view.boxes[0].caption, u"升级提示");
    EXPECT_EQ(view.boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_FALSE(view.boxes[0].ownerless) << "owned by the dialog";
    EXPECT_TRUE(view.closedForUpdate);
    EXPECT_FALSE(UpdaterRecord().empty());
  }
}

TEST_F(UpdateCheckTest, CurrentVersionDeletesTheDownload) {
  folders.Scenario([](SimHttpScenario& s) { s.update = 2; });
  Check();
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(view.LastStatus(), u"当前已是最新版本");
  EXPECT_TRUE(view.loginEnabled);
  EXPECT_EQ(folders.Server().Requests("update.ini").size(), 1u);
  EXPECT_FALSE(folders.DataExists("temp/update.ini"));
}

TEST_F(UpdateCheckTest, UnreachableUpdateDescriptionLeavesTheLoginUsable) {
  struct Case {
    const char* name;
    std::function<void(SimHttpScenario&)> scenario;
  } cases[] = {
      {"404", [](SimHttpScenario& s) { s.status["update.ini"] = 404; }},
      {"500", [](SimHttpScenario& s) { s.status["update.ini"] = 500; }},
      {"silent", [](SimHttpScenario& s) { s.silent = {"update.ini"}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    chain.reset();
    view.Reset();
    folders.Server().SetScenario(SimHttpScenario());
    folders.Scenario([&](SimHttpScenario& s) {
      s.update = 2;
      s.updateIni = simhttp::SimUpdateIni::kNewer;
      c.scenario(s);
    });
    Check();
    EXPECT_EQ(view.LastStatus(), u"连接升级服务器失败，请检查网络连接！");
    EXPECT_TRUE(view.loginEnabled);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_FALSE(view.closedForUpdate);
  }
}

TEST_F(UpdateCheckTest, MissingUpdaterIsToldAndTheLoginStaysUsable) {
  std::filesystem::remove(folders.Program() + "Update");
  folders.Scenario([](SimHttpScenario& s) {
    s.update = 3;
    s.updateIni = simhttp::SimUpdateIni::kCompulsory;
  });
  Check();
  ASSERT_EQ(view.boxes.size(), 2u);
  EXPECT_EQ(view.boxes[1].text, u"升级程序启动失败，请重新安装！");
  EXPECT_EQ(view.boxes[1].caption, u"升级提示");
  EXPECT_FALSE(view.closedForUpdate);
  EXPECT_TRUE(view.loginEnabled);
}

TEST_F(UpdateCheckTest, TrailingSlashOfTheBaseGivesTheSameAddress) {
  for (const char* tail : {"", "/"}) {
    SCOPED_TRACE(tail);
    chain.reset();
    view.Reset();
    folders.Server().ClearRequests();
    const std::string base = folders.Server().BaseUrl() + "/update" + tail;
    folders.Scenario([&](SimHttpScenario& s) {
      s.update = 2;
      s.rawBody["v2bin"] = "<Ctrl><SevLstVer>1</SevLstVer><Update>2</Update><UpdateUrl>" + base +
                           "</UpdateUrl><PCSevList>" + simhttp::BuildServerDirectory(folders.Server().Layout(), 0) +
                           "</PCSevList></Ctrl>";
    });
    Check();
    const auto requests = folders.Server().Requests("update.ini");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/update/update.ini");
  }
}

}  // namespace
