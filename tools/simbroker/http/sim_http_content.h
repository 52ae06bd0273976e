// What the simulated brokerage's HTTP services answer: every reply body is
// built here from the request and the scenario, byte-shaped as the terminal
// reads it. The server (sim_http_services.h) only routes, logs and holds.
//
// Reply shapes, by service (paths below the site's base address):
//   /v2bin        text with <Ctrl> (SevLstVer, Update, UpdateUrl, UpdateMsg,
//                 PCSevList), <SiteConf> and <TradingHours>, found by plain
//                 text search on the client side
//   /randomcode   PNG picture of the captcha digits
//   /ialogin      JSON: result "true"/"false", info, user, logininfo, menus
//   /login        Blowfish buffer of <retmsg> XML (fall-back sign-in)
//   /boardconf    JSON board configuration (boardIndex, boardset)
//   /mystocks     XML watch list (getmystocks) or acknowledgement (savemystocks)
//   /marquee      JSON rolling texts; /checkmsg JSON message count
//   /update/...   update.ini, the updatable files, ZipPack.zip
//   /klinerel     JSON K-line related data, types 1, 2, 3
//   /newslist, /reportlist  JSON lists of news and research reports
//   pages         plain HTML with "goto::" links where the terminal's own
//                 pages would be
// Texts are UTF-8; JSON string values are raw UTF-8 (the terminal's reader
// leaves escapes undecoded, so none are written).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace simhttp {

// One sign-in account of the simulated brokerage.
struct SimAccount {
  std::string account;    // sign-in name
  std::string password;   // sign-in password
  std::string userId;     // decimal 64-bit user number (watch-list signature)
  std::string sessionId;  // 32 lower-case hex digits: the quote connection's token
  bool level2 = false;    // level-2 rights (usrquotegroup 1, hasLevel2 "true")
};

// The accounts every service knows: "demo"/"demo123" (level 1) and
// "vip"/"vip123" (level 2).
const std::vector<SimAccount>& SimAccounts();
const SimAccount* FindSimAccount(const std::string& account);
const SimAccount* FindSimAccountByUserId(const std::string& userId);

// A market-data site: one loopback address that answers every service.
struct SimSite {
  std::string host;     // "127.0.0.1"; never both 127.0.0.1 and 127.0.0.1x
  std::string name;     // display name in the site list
  std::string carrier;  // SiteConf field 3
  std::string load;     // SiteConf field 6: "-1", "1", "2", "3" or "4"
};

// How a service misbehaves. Each failure row of the terminal's login chain
// is one value; kSim...Normal is the canonical reply.
enum class SimV2bin { kNormal, kNoCtrl, kNoSevLstVer, kNoSevList, kNotXml };
enum class SimUpdateIni { kCurrent, kNewer, kCompulsory, kWithSetup };
enum class SimCaptcha { kPicture, kNotImage };
enum class SimIaLogin { kNormal, kRefuse, kNoLoginInfo, kEmptySession, kNoUser, kNoResult, kNotJson };
enum class SimFallback { kNormal, kRefuse, kNoAction, kNoSession };
enum class SimBoardConf { kNormal, kNotAccepted, kNotJson };
enum class SimMystocks { kNormal, kEmpty, kDuplicates, kRefuse, kNotXml };
enum class SimMarquee { kNormal, kNotAccepted, kNotJson };
enum class SimCheckMessage { kNormal, kNone, kNotJson };

// Faults of one file of the update service, by its name under
// /update/files/ (the updater's failure and cancel paths).
struct SimFileFault {
  int status = 0;            // answer with this status and no body; 0: the file as usual
  long long cutAfter = -1;   // send only this many body bytes while announcing the whole length
  int msPerKiB = 0;          // wait this long before each KiB of the body after the first
  bool noLength = false;     // no Content-Length: the body ends with the connection
};

// Scenario switches, read by every request (the server copies them under its
// lock). Defaults give the canonical successful chain.
struct SimHttpScenario {
  SimV2bin v2bin = SimV2bin::kNormal;
  bool v2binGzip = false;            // gzip the whole server-list reply
  int update = 1;                    // <Update> value; 0 leaves the element out
  std::string updateMessage = "发现新版本，请升级后再登录。";  // <UpdateMsg>
  SimUpdateIni updateIni = SimUpdateIni::kCurrent;
  std::string captchaCode = "1234";  // digits drawn and expected
  SimCaptcha captcha = SimCaptcha::kPicture;
  SimIaLogin iaLogin = SimIaLogin::kNormal;
  std::string refuseInfo = "验证码错误";  // info of a forced PCIALogin refusal
  SimFallback fallback = SimFallback::kNormal;
  SimBoardConf boardConf = SimBoardConf::kNormal;
  bool boardConfGzip = false;
  SimMystocks mystocks = SimMystocks::kNormal;
  SimMarquee marquee = SimMarquee::kNormal;
  SimCheckMessage checkMessage = SimCheckMessage::kNormal;
  bool dataGzip = false;             // gzip K-line related data and news lists
  bool homeGzip = false;             // gzip every JSON reply of the home panels' services
  std::set<std::string> silent;      // services that hold their reply (by name, see below)
  std::map<std::string, int> status; // services answered with this status and no body
  std::map<std::string, std::string> rawBody;  // services answered 200 with this body, as given
                                               // ("update.ini": a description written by a test)
  std::map<std::string, SimFileFault> fileFaults;  // update files by name
};

// Service names used by `silent`, `status` and the request log:
// "v2bin", "randomcode", "ialogin", "login", "boardconf", "mystocks",
// "marquee", "checkmsg", "update.ini", "update.file", "klinerel",
// "newslist", "reportlist", "quote", "page"; the home panels' services
// "subscribeinfo", "lastednews", "microblog", "qqapi", "sinaapi", "authorize",
// "blogpage", "blogpic" (sim_http_home.h).

// Everything a reply depends on besides the request: the sites, the port
// every site answers on, and the addresses of the other servers.
struct SimHttpLayout {
  std::vector<SimSite> sites;   // in the order of the "PCQuote" list
  int port = 8889;              // HTTP port of every site
  int quoteHttpPort = 0;        // port of the PCQuote HTTP address; 0: `port`
  int historyPort = 8111;       // "DownCenter" port
  std::string tradeAddress;     // "PCTrade" value; empty leaves it out
};

// A stock of the brokerage's data (watch lists, news, F10 pages).
struct SimStock {
  const char* code;
  int market;        // 1 Shanghai, 2 Shenzhen
  const char* name;
  int kind;          // 0 index, 1 stock, 3 fund
};
const std::vector<SimStock>& SimStocks();
const SimStock* FindSimStock(const std::string& code);

// Builders. `site` is the index of the answering site in layout.sites.
std::string BuildServerList(const SimHttpLayout& layout, int site, const SimHttpScenario& s);
std::string BuildServerDirectory(const SimHttpLayout& layout, int site);  // PCSevList content
// {"menus":[...]}: the navigation bar's buttons and items; `base` is the
// answering site's "http://host:port" for the web addresses.
std::string BuildMenusJson(const std::string& base);
std::string BuildIaLoginReply(const std::string& body, const std::string& expectedCaptcha,
                              const std::string& base, const SimHttpScenario& s);
std::string BuildFallbackPlainReply(const std::string& form, const SimHttpScenario& s);
std::string BuildBoardConfig(const std::string& timestamp, const SimHttpScenario& s);
std::string BuildMarquee(const SimHttpScenario& s);
std::string BuildCheckMessage(const SimHttpLayout& layout, int site, const std::string& timestamp,
                              const SimHttpScenario& s);
std::string BuildUpdateIni(const SimHttpLayout& layout, int site, const SimHttpScenario& s);
// datatype 1, 2, 3 rows of a stock and date range; rating links are
// absolute on `base` ("http://host:port").
std::string BuildKLineRelated(const std::map<std::string, std::string>& query, const std::string& base);
std::string SimSiteBase(const SimHttpLayout& layout, int site);  // "http://host:port"
// A whole page in the brokerage's own dark style.
std::string SimHtmlPage(const std::string& title, const std::string& body);
// The browser program's test pages below /test/ and the token vendor's
// /success/success.html: body and content type; found 0 for an unknown path.
std::string BuildTestPage(const std::string& path, const std::map<std::string, std::string>& query,
                          std::string* contentType, int* found);
std::string BuildNewsList(const SimHttpLayout& layout, int site, const std::string& code, bool reports);

// Parses a sign-in form "username=..&password=..[&randomCode=..]&clientversion=..",
// values as sent (not URL-decoded; the password may hold '&' and '=').
// Returns 1 and fills the fields, 0 when a field is missing.
int ParseIaLoginForm(const std::string& body, std::string* user, std::string* password,
                     std::string* captcha, bool* hasCaptcha, std::string* clientVersion);

// Fields of "secretkey=..&account=..&netpass=.." (netpass may hold '&').
int ParseFallbackForm(const std::string& form, std::string* secretKey, std::string* account,
                      std::string* password);

// Upper-case or lower-case hex text to bytes; 0 for an odd length or a
// character that is not a hex digit.
int DecodeHexText(const std::string& hex, std::string* bytes);

// A query string split at '&' and '=' (values percent-decoded).
std::map<std::string, std::string> ParseQuery(const std::string& query);

// Watch lists per user number, kept by the server between requests.
struct SimWatchEntry {
  std::string code;  // 6 characters
  int market;        // 1 or 2
};
std::vector<SimWatchEntry> DefaultWatchList();
std::string BuildWatchListReply(const std::vector<SimWatchEntry>& list, const SimHttpScenario& s);
// Applies a savemystocks body (operation 1 add, 2 remove, 3 replace) to the
// list. Returns 1, or 0 when the body is not a savemystocks request.
int ApplyWatchListSave(const std::string& body, std::vector<SimWatchEntry>* list);
// "getmystocks", "savemystocks" or empty; the signature into *userId.
std::string WatchListAction(const std::string& body, std::string* userId);

// Pictures and packages.
std::string DrawCaptchaPng(const std::string& digits);
std::string GzipText(const std::string& text);
std::string GunzipText(const std::string& gz);  // empty on failure (tests)
// A ZIP archive with the entries stored (not compressed): name -> content.
std::string BuildStoredZip(const std::vector<std::pair<std::string, std::string>>& entries);
// The update package and the updatable files by the name under /update/files/.
std::string UpdateFileContent(const std::string& name, int* found);

// Pages: the HTML of a page path ("/about.html", "/f10/sh/600000/", ...),
// with *found 0 for an unknown page.
std::string BuildPage(const SimHttpLayout& layout, int site, const std::string& path,
                      const std::map<std::string, std::string>& query, int* found);

// The terminal's fixed build text: the client version of a fresh install.
extern const char kSimBuildText[];
// "PCTrade" of the demo: the simulated trade service on its standard port.
extern const char kSimDemoTradeAddress[];

// The program folder's seed files that point a fresh terminal at the
// simulated brokerage on 127.0.0.1 (HTTP port 8889, history port 8111):
// relative path (with '/') -> content. "res/..." files go to the program
// folder's res\, "update.ini" to the program folder itself.
std::map<std::string, std::string> BuildDemoSeedFiles();

}  // namespace simhttp
