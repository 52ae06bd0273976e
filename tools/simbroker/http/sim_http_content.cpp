// Reply bodies of the simulated brokerage's HTTP services (see sim_http_content.h).
#include "tools/simbroker/http/sim_http_content.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

namespace simhttp {

using Json = nlohmann::ordered_json;

const char kSimBuildText[] = "tq_winpc_tqx1_1.0.0.1_016";
const char kSimDemoTradeAddress[] = "http://127.0.0.1:8890/trade";

namespace {

const char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const char kBoardTimestamp[] = "2";
const char kMessageTimestamp[] = "1700000000";

std::string SiteBase(const SimHttpLayout& layout, int site) { return SimSiteBase(layout, site); }

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + value + "</" + name + ">";
}

// The text of the first <name>...</name> (no attributes), or empty.
std::string TagText(const std::string& xml, const std::string& name, size_t from = 0) {
  size_t open = xml.find("<" + name + ">", from);
  if (open == std::string::npos) return "";
  open += name.size() + 2;
  size_t close = xml.find("</" + name + ">", open);
  if (close == std::string::npos) return "";
  return xml.substr(open, close - open);
}

std::string AttributeValue(const std::string& element, const std::string& name) {
  size_t at = element.find(name + "=\"");
  if (at == std::string::npos) return "";
  at += name.size() + 2;
  size_t end = element.find('"', at);
  return end == std::string::npos ? "" : element.substr(at, end - at);
}

}  // namespace

std::string SimHtmlPage(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
         "</title>\n<style>body{font-family:sans-serif;background:#10141c;color:#dcdcdc;margin:16px}"
         "a{color:#5ab4ff}table{border-collapse:collapse}td,th{border:1px solid #3a4150;padding:4px 10px}"
         "h1{font-size:20px;color:#ffde00}</style></head>\n<body>\n" +
         body + "\n</body></html>\n";
}

std::string SimSiteBase(const SimHttpLayout& layout, int site) {
  const SimSite& s = layout.sites[size_t(site)];
  return "http://" + s.host + ":" + std::to_string(layout.port);
}

const std::vector<SimAccount>& SimAccounts() {
  static const std::vector<SimAccount> accounts = {
      {"demo", "demo123", "10001", "5f2b9c0e7a1d4c3b8e6f0a9d2c4b7e1f", false},
      {"vip", "vip123", "10002", "9a3e5c7b1d2f4a6c8e0b3d5f7a9c1e2b", true},
  };
  return accounts;
}

const SimAccount* FindSimAccount(const std::string& account) {
  for (const SimAccount& a : SimAccounts())
    if (a.account == account) return &a;
  return nullptr;
}

const SimAccount* FindSimAccountByUserId(const std::string& userId) {
  for (const SimAccount& a : SimAccounts())
    if (a.userId == userId) return &a;
  return nullptr;
}

const std::vector<SimStock>& SimStocks() {
  static const std::vector<SimStock> stocks = {
      {"000001", 1, "上证指数", 0},  {"399001", 2, "深证成指", 0}, {"399006", 2, "创业板指", 0},
      {"600000", 1, "浦发银行", 1},  {"600036", 1, "招商银行", 1}, {"600519", 1, "贵州茅台", 1},
      {"601318", 1, "中国平安", 1},  {"000001", 2, "平安银行", 1}, {"000002", 2, "万科A", 1},
      {"000858", 2, "五粮液", 1},    {"002415", 2, "海康威视", 1}, {"300750", 2, "宁德时代", 1},
      {"510050", 1, "上证50ETF", 3}, {"159915", 2, "创业板ETF", 3},
  };
  return stocks;
}

const SimStock* FindSimStock(const std::string& code) {
  const SimStock* found = nullptr;
  for (const SimStock& s : SimStocks()) {
    if (code != s.code) continue;
    if (found == nullptr || s.kind != 0) found = &s;  // 000001: the bank before the index
  }
  return found;
}

// ---------------------------------------------------------------- server list

std::string BuildServerDirectory(const SimHttpLayout& layout, int site) {
  const std::string base = SiteBase(layout, site);
  const std::string host = layout.sites[size_t(site)].host;
  const int quotePort = layout.quoteHttpPort > 0 ? layout.quoteHttpPort : layout.port;
  std::string quotes;
  for (const SimSite& s : layout.sites) {
    if (!quotes.empty()) quotes += ",";
    std::string address = "http://" + s.host + ":" + std::to_string(quotePort) + "/quote?";
    quotes += s.name + "|" + address + "|" + address;
  }
  std::string d;
  d += Element("PCQuote", quotes);
  d += Element("PCRandomCode", base + "/randomcode");
  d += Element("PCIALogin", base + "/ialogin");
  d += Element("PCLogin", base + "/login");
  d += Element("PCBoardConf", base + "/boardconf?");
  d += Element("PCMystocks", base + "/mystocks");
  d += Element("PCMarquee", base + "/marquee");
  d += Element("PCCheckNewMessage", base + "/checkmsg?");
  d += Element("PCAbout", base + "/about.html?a=1::userid,sessionid");
  d += Element("PCChangePwd", base + "/pwd.html");
  d += Element("PCOrder", base + "/order.html");
  d += Element("PCTutorials", base + "/help.html");
  d += Element("PCF10", base + "/f10/");
  d += Element("PCF9", base + "/f9/");
  d += Element("PCStockEvaluate", base + "/evaluate.html?from=pc&amp;");
  d += Element("PCStockForecast", base + "/forecast.html?from=pc&amp;");
  d += Element("JsonNewsList", base + "/newslist");
  d += Element("JsonResearchReportList", base + "/reportlist");
  d += Element("PCKlineRelJsonData", base + "/klinerel?");
  d += Element("PCSubscribeInfo", base + "/subscribeinfo?a=1::userid,sessionid");
  d += Element("PCLastedNews", base + "/lastednews");
  d += Element("PCMicroBlog", base + "/microblog/");
  d += Element("DownCenter", host + ":" + std::to_string(layout.historyPort));
  if (!layout.tradeAddress.empty()) d += Element("PCTrade", layout.tradeAddress);
  return d;
}

std::string BuildServerList(const SimHttpLayout& layout, int site, const SimHttpScenario& s) {
  if (s.v2bin == SimV2bin::kNotXml) return "服务器维护中，请稍后再试。\r\n";
  const SimSite& me = layout.sites[size_t(site)];
  std::string ctrl;
  if (s.v2bin != SimV2bin::kNoSevLstVer) ctrl += Element("SevLstVer", "1");
  if (s.update != 0) ctrl += Element("Update", std::to_string(s.update));
  ctrl += Element("UpdateUrl", SiteBase(layout, site) + "/update/");
  ctrl += Element("UpdateMsg", s.updateMessage);
  if (s.v2bin != SimV2bin::kNoSevList) ctrl += Element("PCSevList", BuildServerDirectory(layout, site));
  std::string body = "<v2bin>";
  body += s.v2bin == SimV2bin::kNoCtrl ? ctrl : Element("Ctrl", ctrl);
  body += Element("SiteConf", me.host + "|" + me.name + "|" + me.carrier + "|-|-|" + me.load);
  body += "<TradingHours>";
  for (int market = 1; market <= 2; ++market) {
    body += "<Market id=\"" + std::to_string(market) +
            "\" firstopen=\"930\" firstclose=\"1130\" secondopen=\"1300\" secondclose=\"1500\""
            " thirdopen=\"0\" thirdclose=\"0\" midscale=\"1130\"/>";
  }
  body += "</TradingHours></v2bin>";
  return body;
}

// ---------------------------------------------------------------- sign-in

int ParseIaLoginForm(const std::string& body, std::string* user, std::string* password,
                     std::string* captcha, bool* hasCaptcha, std::string* clientVersion) {
  static const std::string kUser = "username=", kPassword = "&password=",
                           kCaptcha = "&randomCode=", kVersion = "&clientversion=";
  if (body.compare(0, kUser.size(), kUser) != 0) return 0;
  size_t passwordAt = body.find(kPassword);
  size_t versionAt = body.rfind(kVersion);
  if (passwordAt == std::string::npos || versionAt == std::string::npos || versionAt < passwordAt)
    return 0;
  size_t captchaAt = body.rfind(kCaptcha, versionAt);
  if (captchaAt != std::string::npos && captchaAt < passwordAt) captchaAt = std::string::npos;
  *user = body.substr(kUser.size(), passwordAt - kUser.size());
  size_t passwordEnd = captchaAt != std::string::npos ? captchaAt : versionAt;
  *password = body.substr(passwordAt + kPassword.size(), passwordEnd - passwordAt - kPassword.size());
  *hasCaptcha = captchaAt != std::string::npos;
  *captcha = *hasCaptcha ? body.substr(captchaAt + kCaptcha.size(),
                                       versionAt - captchaAt - kCaptcha.size())
                         : "";
  *clientVersion = body.substr(versionAt + kVersion.size());
  return 1;
}

std::string BuildIaLoginReply(const std::string& body, const std::string& expectedCaptcha,
                              const std::string& base, const SimHttpScenario& s) {
  if (s.iaLogin == SimIaLogin::kNotJson) return "<html><body>502 Bad Gateway</body></html>";
  if (s.iaLogin == SimIaLogin::kNoResult) return "{\"info\":\"系统维护中\"}";
  auto refuse = [](const std::string& info) {
    Json j;
    j["result"] = "false";
    j["info"] = info;
    return j.dump();
  };
  if (s.iaLogin == SimIaLogin::kRefuse) return refuse(s.refuseInfo);
  std::string user, password, captcha, version;
  bool hasCaptcha = false;
  if (!ParseIaLoginForm(body, &user, &password, &captcha, &hasCaptcha, &version))
    return refuse("请求参数错误");
  if (hasCaptcha && captcha != expectedCaptcha) return refuse("验证码错误");
  const SimAccount* account = FindSimAccount(user);
  if (account == nullptr || account->password != password) return refuse("用户名或密码错误");

  Json j;
  j["result"] = "true";
  j["info"] = "";
  if (s.iaLogin != SimIaLogin::kNoUser) {
    j["user"] = {{"id", account->userId}, {"hasLevel2", account->level2 ? "true" : "false"}};
    if (s.iaLogin != SimIaLogin::kNoLoginInfo) {
      j["logininfo"] = {
          {"userid", account->userId},
          {"sessionid", s.iaLogin == SimIaLogin::kEmptySession ? "" : account->sessionId},
          {"usrquotegroup", account->level2 ? "1" : "0"}};
    }
  }
  j["menus"] = Json::parse(BuildMenusJson(base))["menus"];
  return j.dump();
}

int ParseFallbackForm(const std::string& form, std::string* secretKey, std::string* account,
                      std::string* password) {
  static const std::string kKey = "secretkey=", kAccount = "&account=", kPassword = "&netpass=";
  if (form.compare(0, kKey.size(), kKey) != 0) return 0;
  size_t accountAt = form.find(kAccount);
  if (accountAt == std::string::npos) return 0;
  size_t passwordAt = form.find(kPassword, accountAt);
  if (passwordAt == std::string::npos) return 0;
  *secretKey = form.substr(kKey.size(), accountAt - kKey.size());
  *account = form.substr(accountAt + kAccount.size(), passwordAt - accountAt - kAccount.size());
  *password = form.substr(passwordAt + kPassword.size());
  return secretKey->empty() ? 0 : 1;
}

std::string BuildFallbackPlainReply(const std::string& form, const SimHttpScenario& s) {
  std::string key, user, password;
  const SimAccount* account = nullptr;
  if (ParseFallbackForm(form, &key, &user, &password)) account = FindSimAccount(user);
  std::string x = kXmlDeclaration;
  if (s.fallback == SimFallback::kNoAction) return x + "<retmsg><msg>系统繁忙，请稍后再试</msg></retmsg>";
  if (s.fallback == SimFallback::kRefuse)
    return x + "<retmsg><action>login</action><msg>账号已冻结，请联系客服</msg></retmsg>";
  if (account == nullptr || account->password != password)
    return x + "<retmsg><action>login</action><msg>用户名或密码错误</msg></retmsg>";
  std::string info = Element("unid", account->userId);
  if (s.fallback != SimFallback::kNoSession) info += Element("sessionid", account->sessionId);
  return x + "<retmsg><action>login</action>" + Element("logininfo", info) + "<msg>ok</msg></retmsg>";
}

int DecodeHexText(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return 0;
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (size_t k = i; k < i + 2; ++k) {
      char c = hex[k];
      int d = c >= '0' && c <= '9' ? c - '0'
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                     : -1;
      if (d < 0) return 0;
      v = v * 16 + d;
    }
    out += char(v);
  }
  *bytes = std::move(out);
  return 1;
}

std::map<std::string, std::string> ParseQuery(const std::string& query) {
  std::map<std::string, std::string> out;
  size_t at = 0;
  while (at <= query.size()) {
    size_t end = query.find('&', at);
    if (end == std::string::npos) end = query.size();
    std::string pair = query.substr(at, end - at);
    size_t eq = pair.find('=');
    std::string name = pair.substr(0, eq), value;
    if (eq != std::string::npos) {
      for (size_t i = eq + 1; i < pair.size(); ++i) {
        if (pair[i] == '%' && i + 2 < pair.size() && isxdigit(uint8_t(pair[i + 1])) &&
            isxdigit(uint8_t(pair[i + 2]))) {
          value += char(std::stoi(pair.substr(i + 1, 2), nullptr, 16));
          i += 2;
        } else {
          value += pair[i] == '+' ? ' ' : pair[i];
        }
      }
    }
    if (!name.empty()) out[name] = value;
    at = end + 1;
  }
  return out;
}

// ---------------------------------------------------------------- board configuration

std::string BuildBoardConfig(const std::string& timestamp, const SimHttpScenario& s) {
  if (s.boardConf == SimBoardConf::kNotJson) return "<html><body>系统维护</body></html>";
  if (s.boardConf == SimBoardConf::kNotAccepted || timestamp == kBoardTimestamp) {
    Json j;
    j["result"] = "false";
    j["info"] = "板块配置已是最新";
    return j.dump();
  }
  auto range = [](const char* market, const char* start, const char* end) {
    return Json{{"market", market}, {"type", "range"}, {"start", start}, {"end", end}};
  };
  auto entry = [](const char* name, const char* boardId, const char* code) {
    return Json{{"name", name}, {"boardid", boardId}, {"code", code}};
  };
  Json j;
  j["result"] = "true";
  j["boardIndex"] = Json::array(
      {Json{{"id", "1"},
            {"marketid", "1"},
            {"index", Json::array({entry("上证A股指数", "1104", "000002"),
                                   entry("上证B股指数", "1107", "000003"),
                                   entry("沪深300", "99992008", "000300")})}},
       Json{{"id", "2"},
            {"marketid", "2"},
            {"index", Json::array({entry("深证A股指数", "1104", "399107"),
                                   entry("深证B股指数", "1107", "399108"),
                                   entry("中小板指", "1105", "399005"),
                                   entry("创业板指", "1106", "399006")})}}});
  // The index board lists 7-byte entries: 6-character code, then the market
  // as its digit. The terminal's JSON reader refuses raw control bytes in a
  // string and leaves escapes undecoded, so a binary market byte cannot be
  // carried; the digit keeps the entries 7 bytes long and the codes findable.
  const std::string indexList = "0000011" "0003001" "3990012" "3990052" "3990062";
  j["boardset"] = {
      {"timestamp", kBoardTimestamp},
      {"board",
       Json::array(
           {Json{{"id", "1104"}, {"desc", "主板A股"}, {"name", "主板A股"},
                 {"codeRules", Json::array({range("1", "600000", "603999"),
                                            range("2", "000001", "001999")})}},
            Json{{"id", "1107"}, {"desc", "主板B股"}, {"name", "主板B股"},
                 {"codeRules", Json::array({range("1", "900901", "900999"),
                                            range("2", "200002", "200999")})}},
            Json{{"id", "1105"}, {"desc", "中小企业板"}, {"name", "中小企业板"},
                 {"codeRules", Json::array({range("2", "002001", "002999")})}},
            Json{{"id", "1106"}, {"desc", "创业板"}, {"name", "创业板"},
                 {"codeRules", Json::array({range("2", "300001", "300999")})}},
            Json{{"id", "99992008"}, {"desc", "指数"}, {"name", "指数"},
                 {"codeRules", Json::array({Json{{"market", "0"}, {"type", "list"},
                                                 {"value", indexList}}})}}})}};
  std::string text = j.dump();
  return text;
}

// ---------------------------------------------------------------- watch list

std::vector<SimWatchEntry> DefaultWatchList() {
  return {{"600000", 1}, {"000001", 2}, {"600519", 1}, {"300750", 2}};
}

std::string BuildWatchListReply(const std::vector<SimWatchEntry>& list, const SimHttpScenario& s) {
  std::string x = kXmlDeclaration;
  if (s.mystocks == SimMystocks::kNotXml) return "系统繁忙";
  if (s.mystocks == SimMystocks::kRefuse)
    return x + "<retmsg><retcode>1</retcode><retmsg>用户未登录</retmsg></retmsg>";
  std::string stocks;
  if (s.mystocks != SimMystocks::kEmpty) {
    for (const SimWatchEntry& e : list)
      stocks += "<stock code=\"" + e.code + "\" marketid=\"" + std::to_string(e.market) + "\"/>";
    if (s.mystocks == SimMystocks::kDuplicates && !list.empty())
      stocks += "<stock code=\"" + list[0].code + "\" marketid=\"" + std::to_string(list[0].market) + "\"/>";
  }
  return x + "<retmsg><retcode>0</retcode><mystocks>" + stocks + "</mystocks></retmsg>";
}

std::string WatchListAction(const std::string& body, std::string* userId) {
  *userId = TagText(body, "signature");
  return TagText(body, "action");
}

int ApplyWatchListSave(const std::string& body, std::vector<SimWatchEntry>* list) {
  if (TagText(body, "action") != "savemystocks") return 0;
  std::string operation = TagText(body, "operation");
  std::vector<SimWatchEntry> stocks;
  std::string inner = TagText(body, "mystocks");
  for (size_t at = inner.find("<stock"); at != std::string::npos; at = inner.find("<stock", at + 1)) {
    size_t end = inner.find('>', at);
    if (end == std::string::npos) break;
    std::string element = inner.substr(at, end - at);
    std::string code = AttributeValue(element, "code");
    std::string market = AttributeValue(element, "marketid");
    if (code.size() != 6 || market.empty() || market[0] < '0' || market[0] > '9') continue;
    stocks.push_back({code, market[0] - '0'});
  }
  auto same = [](const SimWatchEntry& a, const SimWatchEntry& b) {
    return a.code == b.code && a.market == b.market;
  };
  if (operation == "3") {
    list->clear();
    for (const SimWatchEntry& e : stocks)
      if (std::none_of(list->begin(), list->end(), [&](auto& o) { return same(o, e); }))
        list->push_back(e);
    return 1;
  }
  for (const SimWatchEntry& e : stocks) {
    auto it = std::find_if(list->begin(), list->end(), [&](auto& o) { return same(o, e); });
    if (operation == "1" && it == list->end()) list->push_back(e);
    if (operation == "2" && it != list->end()) list->erase(it);
  }
  return operation == "1" || operation == "2" ? 1 : 0;
}

// ---------------------------------------------------------------- marquee and messages

std::string BuildMarquee(const SimHttpScenario& s) {
  if (s.marquee == SimMarquee::kNotJson) return "<html>marquee unavailable</html>";
  Json j;
  if (s.marquee == SimMarquee::kNotAccepted) {
    j["result"] = "false";
    return j.dump();
  }
  auto item = [](const char* title, const char* content, const char* date) {
    return Json{{"title", title}, {"url", ""}, {"content", content}, {"author", "系统"}, {"date", date}};
  };
  j["result"] = "true";
  j["marquee"] = Json::array(
      {item("公告一", "内容", "2024-01-02"),
       item("关于春节休市安排的通知", "春节期间沪深交易所休市，节后首个交易日正常开市。", "2024-01-20"),
       item("系统升级公告", "本周六凌晨进行行情系统升级，期间行情服务暂停。", "2024-01-25")});
  return j.dump();
}

std::string BuildCheckMessage(const SimHttpLayout& layout, int site, const std::string& timestamp,
                              const SimHttpScenario& s) {
  if (s.checkMessage == SimCheckMessage::kNotJson) return "no messages";
  bool none = s.checkMessage == SimCheckMessage::kNone || timestamp == kMessageTimestamp;
  Json j;
  j["timestamp"] = kMessageTimestamp;
  j["count"] = none ? "0" : "2";
  j["url"] = SiteBase(layout, site) + "/msgbox.html";
  return j.dump();
}

// ---------------------------------------------------------------- update service

std::string BuildUpdateIni(const SimHttpLayout& layout, int site, const SimHttpScenario& s) {
  const std::string files = SiteBase(layout, site) + "/update/files/";
  std::string version = kSimBuildText, minimum = "1.0.0.001";
  if (s.updateIni != SimUpdateIni::kCurrent) version = "tq_winpc_tqx1_1.0.0.2_016";
  if (s.updateIni == SimUpdateIni::kCompulsory) minimum = "1.0.0.002";
  std::string ini = "[Tamsel]\r\nVERSION=" + version + "\r\nMINVER=" + minimum + "\r\n";
  auto section = [&](const std::string& name, const std::string& v, const std::string& file) {
    ini += "[" + name + "]\r\nVERSION=" + v + "\r\n";
    if (!file.empty()) ini += "URL=" + files + file + "\r\n";
  };
  const std::string fileVersion = s.updateIni == SimUpdateIni::kCurrent ? "1.0.0.001" : "1.0.0.002";
  section("res\\default_html\\help.html", fileVersion, "help.html");
  section("res\\updatelog.txt", fileVersion, "updatelog.txt");
  if (s.updateIni == SimUpdateIni::kWithSetup) section("Setup.exe", "1.0.0.002", "Setup.exe");
  section("ZipPack.zip", fileVersion, "ZipPack.zip");
  // Package items come after every file section: the updater stops at the
  // first newer section without an address.
  section("\\res\\default_html\\pop.html", "1.0.0.001", "");
  section("readme.txt", "1.0.0.001", "");
  return ini;
}

std::string UpdateFileContent(const std::string& name, int* found) {
  *found = 1;
  if (name == "help.html")
    return SimHtmlPage("产品教程", "<h1>产品教程（更新版）</h1><p>本页面由升级服务下发。</p>");
  if (name == "updatelog.txt") {
    // About 2 KiB, so that a slow download shows its progress half way.
    std::string log = "1.0.0.2 更新说明\r\n- 行情主站列表更新\r\n- 修正若干显示问题\r\n";
    for (int i = 1; i <= 20; ++i)
      log += "- 第" + std::to_string(i) + "项：行情、交易与资讯页面的细节改进，提升稳定性与响应速度。\r\n";
    return log;
  }
  if (name == "Setup.exe") {
    // A simulated installer: it installs nothing and leaves a note in the
    // folder it runs in.
    return "#!/bin/sh\necho installed > setup-ran.txt\nexit 0\n";
  }
  if (name == "ZipPack.zip") {
    return BuildStoredZip(
        {{"res/default_html/pop.html",
          SimHtmlPage("消息", "<div id=\"news\">暂无消息</div>")},
         {"readme.txt", "Orvenna证券VIP终端 1.0.0.2\r\n"}});
  }
  *found = 0;
  return "";
}

std::string BuildStoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  auto u16 = [](std::string& o, uint32_t v) { o += char(v & 0xFF); o += char((v >> 8) & 0xFF); };
  auto u32 = [&](std::string& o, uint32_t v) { u16(o, v & 0xFFFF); u16(o, v >> 16); };
  std::string out, central;
  for (const auto& [name, content] : entries) {
    uint32_t crc = crc32(0L, reinterpret_cast<const Bytef*>(content.data()), uInt(content.size()));
    uint32_t offset = uint32_t(out.size());
    u32(out, 0x04034b50);
    u16(out, 10); u16(out, 0x0800); u16(out, 0);  // version, UTF-8 names, stored
    u16(out, 0); u16(out, 0x5821);                // 12:00, 2024-01-01
    u32(out, crc); u32(out, uint32_t(content.size())); u32(out, uint32_t(content.size()));
    u16(out, uint16_t(name.size())); u16(out, 0);
    out += name + content;
    u32(central, 0x02014b50);
    u16(central, 20); u16(central, 10); u16(central, 0x0800); u16(central, 0);
    u16(central, 0); u16(central, 0x5821);
    u32(central, crc); u32(central, uint32_t(content.size())); u32(central, uint32_t(content.size()));
    u16(central, uint16_t(name.size())); u16(central, 0); u16(central, 0);
    u16(central, 0); u16(central, 0); u32(central, 0); u32(central, offset);
    central += name;
  }
  uint32_t centralOffset = uint32_t(out.size());
  out += central;
  u32(out, 0x06054b50);
  u16(out, 0); u16(out, 0);
  u16(out, uint16_t(entries.size())); u16(out, uint16_t(entries.size()));
  u32(out, uint32_t(central.size())); u32(out, centralOffset);
  u16(out, 0);
  return out;
}

// ---------------------------------------------------------------- compression

std::string GzipText(const std::string& text) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return "";
  std::string out(deflateBound(&z, uLong(text.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = uInt(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = uInt(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return rc == Z_STREAM_END ? out : "";
}

std::string GunzipText(const std::string& gz) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return "";
  std::string out;
  char buffer[16384];
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
  z.avail_in = uInt(gz.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END ? out : "";
}

// ---------------------------------------------------------------- demo seeds

std::map<std::string, std::string> BuildDemoSeedFiles() {
  SimHttpLayout layout;
  layout.sites = {{"127.0.0.1", "演示站", "本地", "1"}};
  layout.tradeAddress = kSimDemoTradeAddress;
  std::map<std::string, std::string> files;
  files["res/server.data"] = BuildServerDirectory(layout, 0);
  files["res/config.data"] = std::string("<UserVer>") + kSimBuildText +
                             "</UserVer><SevLstVer>1</SevLstVer><CodeVer>1</CodeVer><host>127.0.0.1</host>"
                             "<saveid>1</saveid><account>demo</account><savepwd>0</savepwd><level>0</level>";
  files["res/boardconfig.json"] = BuildBoardConfig("0", SimHttpScenario());
  std::string own;
  for (const SimWatchEntry& e : DefaultWatchList()) own += e.code + char(e.market);
  files["res/own.data"] = own;
  files["res/indexParameter.data"] =
      "<IndexParameter><MACD><SHORT>12</SHORT><LONG>26</LONG><MID>9</MID></MACD><KDJ><N>9</N><M1>3</M1>"
      "<M2>3</M2></KDJ><DMA><SHORT>10</SHORT><LONG>50</LONG><M>10</M></DMA><BOLL><N>26</N></BOLL><RSI>"
      "<N1>6</N1><N2>12</N2><N3>24</N3></RSI><WR><N>14</N><N1>28</N1></WR><CCI><N>14</N></CCI><ARBR>"
      "<N>26</N></ARBR><PSY><N>12</N></PSY></IndexParameter>";
  files["res/qver.data"] = "0";  // the whole dictionary is asked for at the first connection
  files["res/default_html/pop.html"] = SimHtmlPage("消息", "<div id=\"news\"></div>");
  files["res/default_html/f10.html"] = SimHtmlPage("基础资料", "<p>正在加载公司资料……</p>");
  files["res/default_html/newslist.html"] = SimHtmlPage("新闻", "<p>正在加载新闻……</p>");
  files["res/default_html/researchreportlist.html"] = SimHtmlPage("研报", "<p>正在加载研究报告……</p>");
  files["update.ini"] = std::string("[Tamsel]\r\nVERSION=") + kSimBuildText +
                        "\r\nMINVER=1.0.0.001\r\n"
                        "[res\\default_html\\help.html]\r\nVERSION=1.0.0.001\r\n"
                        "[res\\updatelog.txt]\r\nVERSION=1.0.0.001\r\n"
                        "[ZipPack.zip]\r\nVERSION=1.0.0.001\r\n"
                        "[\\res\\default_html\\pop.html]\r\nVERSION=1.0.0.001\r\n"
                        "[readme.txt]\r\nVERSION=1.0.0.001\r\n";
  return files;
}

}  // namespace simhttp
