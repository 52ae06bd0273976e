// The sign-in chain of the simulated brokerage: server list, captcha,
// PCIALogin, PCLogin fall-back, board configuration, watch list, marquee and
// messages, each with its scenario switches.
#include <zlib.h>

#include <nlohmann/json.hpp>

#include "tools/simbroker/http/sim_crypto.h"
#include "tools/simbroker/http/tests/sim_http_test_support.h"

using namespace simhttp;

namespace {

using Json = nlohmann::json;

const char kV2binBody[] = "ver=tq_winpc_tqx1_1.0.0.1_016&SevLstVer=1&CodeVer=1&custom=1234";
const char kDemoForm[] = "username=demo&password=demo123&randomCode=1234&clientversion=tq_winpc_tqx1_1.0.0.1_016";

TEST_F(SimHttpFixture, ServerListCanonicalFromEverySite) {
  std::string quoteList;
  for (int site = 0; site < 3; ++site) {
    const std::string host = server_->Layout().sites[size_t(site)].host;
    const std::string base = server_->BaseUrl(site);
    std::string body = Post("/v2bin", kV2binBody, site);
    std::string ctrl = Between(body, "Ctrl");
    ASSERT_NE("<missing>", ctrl) << host;
    EXPECT_EQ(0u, ctrl.find("<SevLstVer>1</SevLstVer>")) << "SevLstVer is the first top-level element";
    EXPECT_EQ("1", Between(ctrl, "Update"));
    EXPECT_EQ(base + "/update/", Between(ctrl, "UpdateUrl"));
    std::string list = Between(ctrl, "PCSevList");
    EXPECT_EQ(base + "/randomcode", Between(list, "PCRandomCode"));
    EXPECT_EQ(base + "/ialogin", Between(list, "PCIALogin"));
    EXPECT_EQ(base + "/login", Between(list, "PCLogin"));
    EXPECT_EQ(base + "/boardconf?", Between(list, "PCBoardConf"));
    EXPECT_EQ(base + "/mystocks", Between(list, "PCMystocks"));
    EXPECT_EQ(base + "/marquee", Between(list, "PCMarquee"));
    EXPECT_EQ(base + "/checkmsg?", Between(list, "PCCheckNewMessage"));
    EXPECT_EQ(base + "/about.html?a=1::userid,sessionid", Between(list, "PCAbout"));
    EXPECT_EQ(host + ":18111", Between(list, "DownCenter")) << "no http:// before host:port";
    // Every site lists every site, in one order, so the speed test's rows line up.
    std::string quotes = Between(list, "PCQuote");
    if (site == 0) quoteList = quotes;
    EXPECT_EQ(quoteList, quotes);
    EXPECT_NE(std::string::npos, quotes.find("|http://" + host + ":" + std::to_string(server_->Port()) + "/quote?|"));
    // SiteConf describes the answering host; it sits outside Ctrl.
    std::string conf = Between(body, "SiteConf");
    EXPECT_EQ(0u, conf.find(host + "|"));
    EXPECT_EQ(std::string::npos, ctrl.find("<SiteConf>"));
    EXPECT_NE(std::string::npos, body.find("<Market id=\"1\" firstopen=\"930\" firstclose=\"1130\" secondopen=\"1300\""
                                           " secondclose=\"1500\" thirdopen=\"0\" thirdclose=\"0\" midscale=\"1130\"/>"));
  }
  EXPECT_EQ("127.0.0.3|联通主站|联通|-|-|-1", Between(Post("/v2bin", kV2binBody, 2), "SiteConf"));
  auto log = server_->Requests("v2bin");
  ASSERT_EQ(4u, log.size());
  EXPECT_EQ(kV2binBody, log[0].body);
  EXPECT_EQ("POST", log[0].method);
  EXPECT_EQ(2, log[2].site);
}

TEST_F(SimHttpFixture, ServerListBrokenVariants) {
  struct Case {
    const char* name;
    SimV2bin mode;
    const char* absent;
  } cases[] = {{"no Ctrl", SimV2bin::kNoCtrl, "<Ctrl>"},
               {"no SevLstVer", SimV2bin::kNoSevLstVer, "<SevLstVer>"},
               {"no PCSevList", SimV2bin::kNoSevList, "<PCSevList>"},
               {"not XML", SimV2bin::kNotXml, "<"}};
  for (const Case& c : cases) {
    SimHttpScenario s;
    s.v2bin = c.mode;
    Set(s);
    std::string body = Post("/v2bin", kV2binBody);
    EXPECT_FALSE(body.empty()) << c.name;
    EXPECT_EQ(std::string::npos, body.find(c.absent)) << c.name;
  }
  // Update offers and the gzip switch.
  SimHttpScenario s;
  s.update = 3;
  s.v2binGzip = true;
  Set(s);
  std::string packed = Post("/v2bin", kV2binBody);
  ASSERT_GE(packed.size(), 2u);
  EXPECT_EQ("\x1f\x8b", packed.substr(0, 2));
  std::string plain = GunzipText(packed);
  EXPECT_EQ("3", Between(plain, "Update"));
  EXPECT_EQ("发现新版本，请升级后再登录。", Between(plain, "UpdateMsg"));
  s = SimHttpScenario();
  s.update = 0;
  Set(s);
  EXPECT_EQ("<missing>", Between(Post("/v2bin", kV2binBody), "Update"));
}

// Checks a PNG's chunks (lengths, CRCs, IEND) and returns its pixel rows
// (filter byte and RGB triples), or empty when it is broken.
std::string PngRows(const std::string& png, size_t* width) {
  if (png.size() < 33 || png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return "";
  auto u32 = [&](size_t p) {
    return (uint32_t(uint8_t(png[p])) << 24) | (uint32_t(uint8_t(png[p + 1])) << 16) |
           (uint32_t(uint8_t(png[p + 2])) << 8) | uint8_t(png[p + 3]);
  };
  size_t at = 8, height = 0;
  std::string packed;
  bool ended = false;
  while (at + 12 <= png.size()) {
    uint32_t length = u32(at);
    if (at + 12 + length > png.size()) return "";
    std::string type = png.substr(at + 4, 4);
    if (crc32(0L, reinterpret_cast<const Bytef*>(png.data() + at + 4), length + 4) != u32(at + 8 + length))
      return "";
    if (type == "IHDR") *width = u32(at + 8), height = u32(at + 12);
    if (type == "IDAT") packed += png.substr(at + 8, length);
    if (type == "IEND") ended = true;
    at += 12 + length;
  }
  if (!ended || *width == 0) return "";
  std::string rows(height * (1 + 3 * *width), '\0');
  uLongf size = rows.size();
  if (uncompress(reinterpret_cast<Bytef*>(&rows[0]), &size, reinterpret_cast<const Bytef*>(packed.data()),
                 packed.size()) != Z_OK || size != rows.size())
    return "";
  return rows;
}

int InkPixels(const std::string& png) {
  size_t width = 0;
  std::string rows = PngRows(png, &width);
  int ink = 0;
  for (size_t i = 0; i + 3 <= rows.size(); i += 3) {
    if (i % (1 + 3 * width) == 0) ++i;  // filter byte
    if (i + 3 <= rows.size() && uint8_t(rows[i + 1]) < 100) ++ink;
  }
  return ink;
}

TEST_F(SimHttpFixture, CaptchaPictureAndFailures) {
  auto r = Client()->Get("/randomcode");
  ASSERT_TRUE(r);
  EXPECT_EQ(200, r->status);
  EXPECT_EQ("image/png", r->get_header_value("Content-Type"));
  size_t width = 0;
  EXPECT_FALSE(PngRows(r->body, &width).empty());
  EXPECT_GT(InkPixels(r->body), 0);
  // The picture shows the scenario's digits: 8888 has more ink than 1111.
  SimHttpScenario digits;
  digits.captchaCode = "1111";
  Set(digits);
  int ones = InkPixels(Get("/randomcode"));
  digits.captchaCode = "8888";
  Set(digits);
  int eights = InkPixels(Get("/randomcode"));
  EXPECT_GT(ones, 0);
  EXPECT_GT(eights, ones);
  // The code drawn is the code expected.
  EXPECT_EQ("true", nlohmann::json::parse(Post("/ialogin",
      "username=demo&password=demo123&randomCode=8888&clientversion=x"))["result"]);

  SimHttpScenario s;
  s.captcha = SimCaptcha::kNotImage;
  Set(s);
  std::string notImage = Get("/randomcode");
  EXPECT_NE(0u, notImage.find("\x89PNG"));
  s = SimHttpScenario();
  s.status["randomcode"] = 500;
  Set(s);
  auto failed = Client()->Get("/randomcode");
  ASSERT_TRUE(failed);
  EXPECT_EQ(500, failed->status);
  EXPECT_EQ("0", failed->get_header_value("Content-Length"));
}

TEST_F(SimHttpFixture, IaLoginReplies) {
  Json ok = Json::parse(Post("/ialogin", kDemoForm));
  EXPECT_EQ("true", ok["result"]);  // the text "true", not the literal
  EXPECT_EQ("", ok["info"]);
  EXPECT_EQ("10001", ok["user"]["id"]);
  EXPECT_EQ("false", ok["user"]["hasLevel2"]);
  EXPECT_EQ("10001", ok["logininfo"]["userid"]);
  EXPECT_EQ("5f2b9c0e7a1d4c3b8e6f0a9d2c4b7e1f", ok["logininfo"]["sessionid"]);
  EXPECT_EQ("0", ok["logininfo"]["usrquotegroup"]);
  EXPECT_TRUE(ok["menus"].is_array());

  struct Case {
    const char* name;
    SimIaLogin mode;
    std::string form;
    std::string result;     // "" when there is no JSON result
    std::string info;
    bool logininfo, user;
    std::string session;
  } cases[] = {
      {"wrong captcha", SimIaLogin::kNormal,
       "username=demo&password=demo123&randomCode=9999&clientversion=x", "false", "验证码错误", false, false, ""},
      {"wrong password", SimIaLogin::kNormal,
       "username=demo&password=nope&randomCode=1234&clientversion=x", "false", "用户名或密码错误", false, false, ""},
      {"unknown account", SimIaLogin::kNormal,
       "username=nobody&password=demo123&randomCode=1234&clientversion=x", "false", "用户名或密码错误", false, false, ""},
      {"site re-login without captcha", SimIaLogin::kNormal,
       "username=vip&password=vip123&clientversion=x", "true", "", true, true, "9a3e5c7b1d2f4a6c8e0b3d5f7a9c1e2b"},
      {"forced refusal", SimIaLogin::kRefuse, kDemoForm, "false", "验证码错误", false, false, ""},
      {"no logininfo", SimIaLogin::kNoLoginInfo, kDemoForm, "true", "", false, true, ""},
      {"empty session", SimIaLogin::kEmptySession, kDemoForm, "true", "", true, true, ""},
      {"no user", SimIaLogin::kNoUser, kDemoForm, "true", "", false, false, ""},
  };
  for (const Case& c : cases) {
    SimHttpScenario s;
    s.iaLogin = c.mode;
    Set(s);
    std::string body = Post("/ialogin", c.form);
    Json j = Json::parse(body, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << c.name;
    EXPECT_EQ(c.result, j.value("result", "")) << c.name;
    EXPECT_EQ(c.info, j.value("info", "")) << c.name;
    EXPECT_EQ(c.user, j.contains("user")) << c.name;
    EXPECT_EQ(c.logininfo, j.contains("logininfo")) << c.name;
    if (c.logininfo) {
      EXPECT_EQ(c.session, j["logininfo"]["sessionid"]) << c.name;
    }
    EXPECT_EQ(std::string::npos, body.find("\\u")) << c.name << ": texts go out raw";
  }
  SimHttpScenario s;
  s.iaLogin = SimIaLogin::kNoResult;
  Set(s);
  EXPECT_FALSE(Json::parse(Post("/ialogin", kDemoForm)).contains("result"));
  s.iaLogin = SimIaLogin::kNotJson;
  Set(s);
  EXPECT_TRUE(Json::parse(Post("/ialogin", kDemoForm), nullptr, false).is_discarded());
  // Level 2: hasLevel2 and usrquotegroup.
  Set(SimHttpScenario());
  Json vip = Json::parse(Post("/ialogin", "username=vip&password=vip123&randomCode=1234&clientversion=x"));
  EXPECT_EQ("true", vip["user"]["hasLevel2"]);
  EXPECT_EQ("1", vip["logininfo"]["usrquotegroup"]);
}

TEST(SimContentForms, SignInFormsKeepTheirBytes) {
  struct Case {
    const char* name;
    const char* body;
    int ok;
    const char *user, *password, *captcha;
    bool hasCaptcha;
    const char* version;
  } cases[] = {
      {"plain", "username=demo&password=demo123&randomCode=1234&clientversion=v1", 1, "demo", "demo123", "1234", true, "v1"},
      {"password with & and =", "username=demo&password=a&b=c&randomCode=12&clientversion=v", 1, "demo", "a&b=c", "12", true, "v"},
      {"no captcha", "username=u&password=p&clientversion=v", 1, "u", "p", "", false, "v"},
      {"no version", "username=u&password=p&randomCode=1", 0, "", "", "", false, ""},
      {"no user", "password=p&clientversion=v", 0, "", "", "", false, ""},
  };
  for (const Case& c : cases) {
    std::string user = "?", password = "?", captcha = "?", version = "?";
    bool has = false;
    ASSERT_EQ(c.ok, ParseIaLoginForm(c.body, &user, &password, &captcha, &has, &version)) << c.name;
    if (!c.ok) {
      EXPECT_EQ("?", user) << c.name;
      continue;
    }
    EXPECT_EQ(c.user, user) << c.name;
    EXPECT_EQ(c.password, password) << c.name;
    EXPECT_EQ(c.captcha, captcha) << c.name;
    EXPECT_EQ(c.hasCaptcha, has) << c.name;
    EXPECT_EQ(c.version, version) << c.name;
  }
  std::string key, account, password;
  ASSERT_EQ(1, ParseFallbackForm("secretkey=ABCD&account=demo&netpass=x&y=z", &key, &account, &password));
  EXPECT_EQ("ABCD", key);
  EXPECT_EQ("demo", account);
  EXPECT_EQ("x&y=z", password);
  EXPECT_EQ(0, ParseFallbackForm("account=demo&netpass=x", &key, &account, &password));
}

// The client's side of the fall-back: RSA-encipher the form, post its hex.
std::string FallbackBody(const std::string& form) {
  SimRsaKey pub;
  SimRsaKeyFromHex(&pub, SimLoginModulusHex(), "10001");
  std::string cipher;
  EXPECT_EQ(1, SimRsaEncipherForm(&pub, form, &cipher));
  std::string hex = "ciptext=";
  const char* digits = "0123456789ABCDEF";
  for (unsigned char c : cipher) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string Decipher(const std::string& reply, const std::string& key) {
  SimBlowfish bf;
  SimBlowfishSetKey(&bf, reinterpret_cast<const uint8_t*>(key.data()), key.size());
  std::string plain;
  EXPECT_EQ(1, SimBlowfishUnwrap(&bf, reply, &plain));
  return plain;
}

TEST_F(SimHttpFixture, FallbackLoginDeciphersAndAnswers) {
  const std::string key = "1A2B3C4D5E6F70819203A4B5C6D7E8F9";
  struct Case {
    const char* name;
    SimFallback mode;
    std::string password;
    std::string unid, session, msg;
    bool action;
  } cases[] = {
      {"accepted", SimFallback::kNormal, "demo123", "10001", "5f2b9c0e7a1d4c3b8e6f0a9d2c4b7e1f", "ok", true},
      {"wrong password", SimFallback::kNormal, "bad", "<missing>", "<missing>", "用户名或密码错误", true},
      {"refused", SimFallback::kRefuse, "demo123", "<missing>", "<missing>", "账号已冻结，请联系客服", true},
      {"no action", SimFallback::kNoAction, "demo123", "<missing>", "<missing>", "系统繁忙，请稍后再试", false},
      {"no session", SimFallback::kNoSession, "demo123", "10001", "<missing>", "ok", true},
  };
  for (const Case& c : cases) {
    SimHttpScenario s;
    s.fallback = c.mode;
    Set(s);
    // A long password makes the form span two RSA blocks.
    std::string form = "secretkey=" + key + "&account=demo&netpass=" + c.password;
    std::string plain = Decipher(Post("/login", FallbackBody(form)), key);
    EXPECT_EQ(0u, plain.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?><retmsg>")) << c.name;
    EXPECT_EQ(c.unid, Between(plain, "unid")) << c.name;
    EXPECT_EQ(c.session, Between(plain, "sessionid")) << c.name;
    if (c.session != "<missing>") {
      EXPECT_LT(plain.find("<unid>"), plain.find("<sessionid>")) << c.name;
    }
    EXPECT_EQ(c.msg, Between(plain, "msg")) << c.name;
    EXPECT_EQ(c.action, Between(plain, "action") == "login") << c.name;
  }
  Set(SimHttpScenario());
  std::string longForm = "secretkey=" + key + "&account=vip&netpass=vip123";
  longForm += std::string(0, 'x');
  EXPECT_EQ("10002", Between(Decipher(Post("/login", FallbackBody(longForm)), key), "unid"));
  // Bodies that cannot be deciphered get no enciphered reply.
  for (const char* bad : {"ciptext=ZZ", "ciptext=00", "nothing", "ciptext="}) {
    auto r = Client()->Post("/login", bad, "application/x-www-form-urlencoded");
    ASSERT_TRUE(r) << bad;
    EXPECT_EQ(400, r->status) << bad;
  }
}

TEST_F(SimHttpFixture, BoardConfiguration) {
  Json j = Json::parse(Get("/boardconf?timestamp=0"));
  EXPECT_EQ("true", j["result"]);
  EXPECT_EQ("2", j["boardset"]["timestamp"]);
  std::vector<std::string> ids;
  for (const auto& b : j["boardset"]["board"]) ids.push_back(b["id"]);
  EXPECT_EQ((std::vector<std::string>{"1104", "1107", "1105", "1106", "99992008"}), ids);
  const auto& rules = j["boardset"]["board"][0]["codeRules"];
  EXPECT_EQ("range", rules[0]["type"]);
  EXPECT_EQ("600000", rules[0]["start"]);
  std::string list = j["boardset"]["board"][4]["codeRules"][0]["value"];
  ASSERT_EQ(0u, list.size() % 7) << "7-byte entries";
  EXPECT_EQ("0003001", list.substr(7, 7));
  EXPECT_EQ(2u, j["boardIndex"].size());
  EXPECT_EQ("1106", j["boardIndex"][1]["index"][3]["boardid"]);
  // Up to date, refused, not JSON, gzip.
  EXPECT_EQ("false", Json::parse(Get("/boardconf?timestamp=2"))["result"]);
  SimHttpScenario s;
  s.boardConf = SimBoardConf::kNotAccepted;
  Set(s);
  EXPECT_EQ("false", Json::parse(Get("/boardconf?timestamp=0"))["result"]);
  s.boardConf = SimBoardConf::kNotJson;
  Set(s);
  EXPECT_TRUE(Json::parse(Get("/boardconf?timestamp=0"), nullptr, false).is_discarded());
  s = SimHttpScenario();
  s.boardConfGzip = true;
  Set(s);
  std::string packed = Get("/boardconf?timestamp=0");
  EXPECT_EQ(BuildBoardConfig("0", SimHttpScenario()), GunzipText(packed));
  EXPECT_EQ("timestamp=0", server_->Requests("boardconf").back().query);
}

std::string GetStocks(const char* signature) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><reqmsg><signature>") +
         signature + "</signature><action>getmystocks</action></reqmsg>";
}

std::string SaveStocks(const char* operation, const std::string& stocks) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><reqmsg><signature>10001</signature>"
                     "<action>savemystocks</action><operation>") +
         operation + "</operation><sector>1</sector><mystocks>" + stocks + "</mystocks></reqmsg>";
}

TEST_F(SimHttpFixture, WatchListGetAndSavePerUser) {
  EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><retmsg><retcode>0</retcode><mystocks>"
            "<stock code=\"600000\" marketid=\"1\"/><stock code=\"000001\" marketid=\"2\"/>"
            "<stock code=\"600519\" marketid=\"1\"/><stock code=\"300750\" marketid=\"2\"/></mystocks></retmsg>",
            Post("/mystocks", GetStocks("10001")));
  struct Step {
    const char* name;
    std::string body;
    std::vector<std::string> codes;
  } steps[] = {
      {"add", SaveStocks("1", "<stock code=\"600036\" marketid=\"1\"/>"),
       {"600000", "000001", "600519", "300750", "600036"}},
      {"add again", SaveStocks("1", "<stock code=\"600036\" marketid=\"1\"/>"),
       {"600000", "000001", "600519", "300750", "600036"}},
      {"remove", SaveStocks("2", "<stock code=\"000001\" marketid=\"2\"/>"),
       {"600000", "600519", "300750", "600036"}},
      {"replace", SaveStocks("3", "<stock code=\"000858\" marketid=\"2\"/><stock code=\"601318\" marketid=\"1\"/>"),
       {"000858", "601318"}},
      {"replace with nothing", SaveStocks("3", ""), {}},
  };
  for (const Step& step : steps) {
    EXPECT_EQ("0", Between(Post("/mystocks", step.body), "retcode")) << step.name;
    std::vector<std::string> codes;
    for (const SimWatchEntry& e : server_->WatchList("10001")) codes.push_back(e.code);
    EXPECT_EQ(step.codes, codes) << step.name;
  }
  EXPECT_EQ("<mystocks></mystocks>", "<mystocks>" + Between(Post("/mystocks", GetStocks("10001")), "mystocks") + "</mystocks>");
  // The other user keeps the default list.
  EXPECT_NE(std::string::npos, Post("/mystocks", GetStocks("10002")).find("code=\"600519\""));
  // Unknown signature, refusal, duplicates, not XML.
  EXPECT_EQ("1", Between(Post("/mystocks", GetStocks("99")), "retcode"));
  struct Case {
    const char* name;
    SimMystocks mode;
    std::string expect;
  } cases[] = {{"refused", SimMystocks::kRefuse, "<retcode>1</retcode>"},
               {"empty", SimMystocks::kEmpty, "<retcode>0</retcode><mystocks></mystocks>"},
               {"duplicates", SimMystocks::kDuplicates, "<stock code=\"600000\" marketid=\"1\"/></mystocks>"},
               {"not XML", SimMystocks::kNotXml, "系统繁忙"}};
  for (const Case& c : cases) {
    SimHttpScenario s;
    s.mystocks = c.mode;
    Set(s);
    EXPECT_NE(std::string::npos, Post("/mystocks", GetStocks("10002")).find(c.expect)) << c.name;
  }
}

TEST_F(SimHttpFixture, MarqueeAndNewMessages) {
  Json m = Json::parse(Get("/marquee"));
  EXPECT_EQ("true", m["result"]);
  EXPECT_EQ("公告一", m["marquee"][0]["title"]);
  for (const char* field : {"title", "url", "content", "author", "date"})
    EXPECT_TRUE(m["marquee"][1].contains(field)) << field;
  Json c = Json::parse(Get("/checkmsg?userid=demo"));
  EXPECT_EQ("1700000000", c["timestamp"]);
  EXPECT_EQ("2", c["count"]);
  EXPECT_EQ(server_->BaseUrl() + "/msgbox.html", c["url"]);
  // The next check carries the timestamp and finds nothing new.
  EXPECT_EQ("0", Json::parse(Get("/checkmsg?userid=demo&timestamp=1700000000"))["count"]);
  EXPECT_EQ("userid=demo&timestamp=1700000000", server_->Requests("checkmsg").back().query);

  SimHttpScenario s;
  s.marquee = SimMarquee::kNotAccepted;
  s.checkMessage = SimCheckMessage::kNone;
  Set(s);
  EXPECT_EQ("false", Json::parse(Get("/marquee"))["result"]);
  EXPECT_EQ("0", Json::parse(Get("/checkmsg?userid=demo"))["count"]);
  s.marquee = SimMarquee::kNotJson;
  s.checkMessage = SimCheckMessage::kNotJson;
  Set(s);
  EXPECT_TRUE(Json::parse(Get("/marquee"), nullptr, false).is_discarded());
  EXPECT_TRUE(Json::parse(Get("/checkmsg?userid=demo"), nullptr, false).is_discarded());
}

}  // namespace
