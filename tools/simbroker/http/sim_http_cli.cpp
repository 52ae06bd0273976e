// Command line of the HTTP services (see sim_http_cli.h).
#include "tools/simbroker/http/sim_http_cli.h"

#include <filesystem>
#include <fstream>
#include <map>

namespace simhttp {

namespace {

template <typename E>
int Pick(const std::string& value, const std::map<std::string, E>& names, E* out) {
  auto it = names.find(value);
  if (it == names.end()) return 0;
  *out = it->second;
  return 1;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(',', at);
    if (end == std::string::npos) end = text.size();
    if (end > at) out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

int ParseNumber(const std::string& text, int* out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  *out = std::stoi(text);
  return 1;
}

}  // namespace

int ParseHttpCommandLine(const std::vector<std::string>& args, SimHttpOptions* options,
                         SimHttpScenario* scenario, SimHttpCommand* command, std::string* error) {
  static const std::map<std::string, SimV2bin> kV2bin = {
      {"normal", SimV2bin::kNormal}, {"no-ctrl", SimV2bin::kNoCtrl},
      {"no-sevlstver", SimV2bin::kNoSevLstVer}, {"no-sevlist", SimV2bin::kNoSevList},
      {"not-xml", SimV2bin::kNotXml}};
  static const std::map<std::string, SimUpdateIni> kUpdateIni = {
      {"current", SimUpdateIni::kCurrent}, {"newer", SimUpdateIni::kNewer},
      {"compulsory", SimUpdateIni::kCompulsory}, {"setup", SimUpdateIni::kWithSetup}};
  static const std::map<std::string, SimCaptcha> kCaptcha = {{"picture", SimCaptcha::kPicture},
                                                             {"not-image", SimCaptcha::kNotImage}};
  static const std::map<std::string, SimIaLogin> kIaLogin = {
      {"normal", SimIaLogin::kNormal}, {"refuse", SimIaLogin::kRefuse},
      {"no-logininfo", SimIaLogin::kNoLoginInfo}, {"empty-session", SimIaLogin::kEmptySession},
      {"no-user", SimIaLogin::kNoUser}, {"no-result", SimIaLogin::kNoResult},
      {"not-json", SimIaLogin::kNotJson}};
  static const std::map<std::string, SimFallback> kFallback = {
      {"normal", SimFallback::kNormal}, {"refuse", SimFallback::kRefuse},
      {"no-action", SimFallback::kNoAction}, {"no-session", SimFallback::kNoSession}};
  static const std::map<std::string, SimBoardConf> kBoardConf = {
      {"normal", SimBoardConf::kNormal}, {"not-accepted", SimBoardConf::kNotAccepted},
      {"not-json", SimBoardConf::kNotJson}};
  static const std::map<std::string, SimMystocks> kMystocks = {
      {"normal", SimMystocks::kNormal}, {"empty", SimMystocks::kEmpty},
      {"duplicates", SimMystocks::kDuplicates}, {"refuse", SimMystocks::kRefuse},
      {"not-xml", SimMystocks::kNotXml}};
  static const std::map<std::string, SimMarquee> kMarquee = {
      {"normal", SimMarquee::kNormal}, {"not-accepted", SimMarquee::kNotAccepted},
      {"not-json", SimMarquee::kNotJson}};
  static const std::map<std::string, SimCheckMessage> kCheck = {
      {"normal", SimCheckMessage::kNormal}, {"none", SimCheckMessage::kNone},
      {"not-json", SimCheckMessage::kNotJson}};

  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i], value;
    size_t eq = arg.find('=');
    bool hasValue = eq != std::string::npos;
    if (hasValue) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    // Options that take a value accept "--name value" as well as "--name=value".
    auto need = [&]() {
      if (hasValue) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      command->help = true;
    } else if (arg == "--demo") {
      command->demo = true;
      options->printRequests = true;
    } else if (arg == "--log") {
      options->printRequests = true;
    } else if (arg == "--write-seeds") {
      ok = need() && !value.empty();
      command->seedFolder = value;
    } else if (arg == "--port") {
      ok = need() && ParseNumber(value, &options->port);
    } else if (arg == "--history-port") {
      ok = need() && ParseNumber(value, &options->historyPort);
    } else if (arg == "--quote-http-port") {
      ok = need() && ParseNumber(value, &options->quoteHttpPort);
    } else if (arg == "--hold-ms") {
      ok = need() && ParseNumber(value, &options->holdMs);
    } else if (arg == "--trade") {
      ok = need();
      options->tradeAddress = value;
    } else if (arg == "--sites" || arg == "--three-sites") {
      if (arg == "--three-sites") value = "127.0.0.1,127.0.0.2,127.0.0.3";
      ok = arg == "--three-sites" || need();
      static const char* const kNames[] = {"演示站", "电信主站", "联通主站", "移动主站"};
      static const char* const kCarriers[] = {"本地", "电信", "联通", "移动"};
      std::vector<SimSite> sites;
      for (const std::string& host : SplitList(value)) {
        size_t n = sites.size();
        sites.push_back({host, n < 4 ? kNames[n] : "备用站" + std::to_string(n), n < 4 ? kCarriers[n] : "其他",
                         std::to_string(1 + n % 4)});
      }
      ok = ok && !sites.empty();
      if (ok) options->sites = sites;
    } else if (arg == "--v2bin") {
      ok = need() && Pick(value, kV2bin, &scenario->v2bin);
    } else if (arg == "--v2bin-gzip") {
      scenario->v2binGzip = true;
    } else if (arg == "--update") {
      ok = need() && ParseNumber(value, &scenario->update);
    } else if (arg == "--update-msg") {
      ok = need();
      scenario->updateMessage = value;
    } else if (arg == "--update-ini") {
      ok = need() && Pick(value, kUpdateIni, &scenario->updateIni);
    } else if (arg == "--captcha-code") {
      ok = need() && !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
      scenario->captchaCode = value;
    } else if (arg == "--captcha") {
      ok = need() && Pick(value, kCaptcha, &scenario->captcha);
    } else if (arg == "--ialogin") {
      ok = need() && Pick(value, kIaLogin, &scenario->iaLogin);
    } else if (arg == "--refuse-info") {
      ok = need();
      scenario->refuseInfo = value;
    } else if (arg == "--fallback") {
      ok = need() && Pick(value, kFallback, &scenario->fallback);
    } else if (arg == "--boardconf") {
      ok = need() && Pick(value, kBoardConf, &scenario->boardConf);
    } else if (arg == "--boardconf-gzip") {
      scenario->boardConfGzip = true;
    } else if (arg == "--mystocks") {
      ok = need() && Pick(value, kMystocks, &scenario->mystocks);
    } else if (arg == "--marquee") {
      ok = need() && Pick(value, kMarquee, &scenario->marquee);
    } else if (arg == "--checkmsg") {
      ok = need() && Pick(value, kCheck, &scenario->checkMessage);
    } else if (arg == "--data-gzip") {
      scenario->dataGzip = true;
    } else if (arg == "--home-gzip") {
      scenario->homeGzip = true;
    } else if (arg == "--silent") {
      ok = need();
      for (const std::string& service : SplitList(value)) scenario->silent.insert(service);
    } else if (arg == "--status") {
      ok = need();
      for (const std::string& pair : SplitList(value)) {
        size_t colon = pair.find(':');
        int code = 0;
        ok = ok && colon != std::string::npos && ParseNumber(pair.substr(colon + 1), &code) &&
             code >= 100 && code <= 599;
        if (ok) scenario->status[pair.substr(0, colon)] = code;
      }
    } else if (arg == "--file-status" || arg == "--file-cut" || arg == "--file-slow") {
      // NAME:NUMBER for one file under /update/files/.
      ok = need();
      const size_t colon = value.find(':');
      int number = 0;
      ok = ok && colon != std::string::npos && colon > 0 && ParseNumber(value.substr(colon + 1), &number);
      if (arg == "--file-status") ok = ok && number >= 100 && number <= 599;
      if (arg == "--file-slow") ok = ok && number > 0;
      if (ok) {
        SimFileFault& fault = scenario->fileFaults[value.substr(0, colon)];
        if (arg == "--file-status") fault.status = number;
        if (arg == "--file-cut") fault.cutAfter = number;
        if (arg == "--file-slow") fault.msPerKiB = number;
      }
    } else if (arg == "--file-no-length") {
      ok = need() && !value.empty();
      if (ok) scenario->fileFaults[value].noLength = true;
    } else if (arg == "--raw-body") {
      ok = need();
      const size_t colon = value.find(':');
      ok = ok && colon != std::string::npos && colon > 0;
      if (ok) scenario->rawBody[value.substr(0, colon)] = value.substr(colon + 1);
    } else {
      *error = "unknown option " + args[i];
      return 0;
    }
    if (!ok) {
      *error = "bad or missing value for " + arg;
      return 0;
    }
  }
  if (command->demo && options->tradeAddress.empty()) options->tradeAddress = kSimDemoTradeAddress;
  return 1;
}

std::string HttpUsageText() {
  SimHttpLayout layout;
  layout.sites = SimHttpOptions().sites;
  std::string text =
      "simbroker_http: the simulated brokerage's HTTP services on loopback\n"
      "\n"
      "Usage: simbroker_http [options] [switches]\n"
      "  --demo                 serve on the standard ports, name the trade service on 8890\n"
      "                         in \"PCTrade\" and print every request\n"
      "  --port N               HTTP port of every site (default 8889; 0 = any free port)\n"
      "  --sites A,B,...        loopback addresses of the market-data sites (default 127.0.0.1)\n"
      "  --three-sites          sites 127.0.0.1, 127.0.0.2 and 127.0.0.3 (site speed test)\n"
      "  --history-port N       port of the history-data server in \"DownCenter\" (default 8111)\n"
      "  --quote-http-port N    port of the \"PCQuote\" HTTP address (default: --port)\n"
      "  --trade ADDRESS        \"PCTrade\" value (left out when not given; --demo: http://127.0.0.1:8890/trade)\n"
      "  --hold-ms N            how long a silent service holds its reply (default 15000)\n"
      "  --log                  print one line per request\n"
      "  --write-seeds DIR      write the demo seed files (res/..., update.ini) into DIR and stop\n"
      "  --help                 this text\n"
      "\n"
      "Services (paths on every site; the terminal finds them through the server list):\n"
      "  POST /v2bin            server list          GET  /randomcode   captcha picture\n"
      "  POST /ialogin          sign-in (JSON)       POST /login        fall-back sign-in (RSA, Blowfish)\n"
      "  GET  /boardconf?       board configuration  POST /mystocks     watch list get and save\n"
      "  GET  /marquee          rolling texts        GET  /checkmsg?    new-message check\n"
      "  GET  /update/update.ini, /update/files/...  update description, files and ZipPack.zip\n"
      "  GET  /klinerel?        K-line related data  GET  /newslist, /reportlist  news and reports\n"
      "  POST /quote            dictionary repair (when the market-data side is joined)\n"
      "  GET  /subscribeinfo?   subscribed news      GET  /lastednews   latest news (home page lists)\n"
      "  GET  /microblog/qqWeibo.do, sinaWeibo.do, sohuWeibo.do  microblog relay timelines\n"
      "  GET  /api/user/info, /api/statuses/home_timeline  QQ microblog API stand-in\n"
      "  GET  /2/users/show.json, /2/statuses/home_timeline.json  Sina microblog API stand-in\n"
      "  GET  /cgi-bin/oauth2/authorize, /oauth2/authorize  sign-in pages: 302 to redirect_uri#token\n"
      "  GET  /blogpic/head1-4.png, pic1-4.jpg, broken.jpg, slow.jpg  microblog pictures\n"
      "  pages: /home.html /news.html /reports.html /service.html /order.html /help.html /about.html\n"
      "         /pwd.html /msgbox.html /f10/sh|sz/CODE/ /f9/stock|fund/CODE/... /evaluate.html /forecast.html\n"
      "\n"
      "Scenario switches (defaults give the canonical successful sign-in):\n"
      "  --v2bin=normal|no-ctrl|no-sevlstver|no-sevlist|not-xml   --v2bin-gzip\n"
      "  --update=N (0 leaves <Update> out; 2 or 3 offer an update)  --update-msg=TEXT\n"
      "  --update-ini=current|newer|compulsory|setup\n"
      "  --captcha-code=DIGITS (default 1234)  --captcha=picture|not-image\n"
      "  --ialogin=normal|refuse|no-logininfo|empty-session|no-user|no-result|not-json\n"
      "  --refuse-info=TEXT (default 验证码错误)\n"
      "  --fallback=normal|refuse|no-action|no-session\n"
      "  --boardconf=normal|not-accepted|not-json   --boardconf-gzip\n"
      "  --mystocks=normal|empty|duplicates|refuse|not-xml\n"
      "  --marquee=normal|not-accepted|not-json     --checkmsg=normal|none|not-json\n"
      "  --data-gzip            gzip the K-line related data and the news lists\n"
      "  --home-gzip            gzip every JSON reply of the home panels' services\n"
      "  --silent=SERVICE,...   hold these services' replies (no answer): v2bin, randomcode, ialogin,\n"
      "                         login, boardconf, mystocks, marquee, checkmsg, update.ini,\n"
      "                         update.file, klinerel, newslist, reportlist, quote, page\n"
      "  --status=SERVICE:CODE,...  answer these services with that status and no body\n"
      "  --raw-body=SERVICE:TEXT  answer SERVICE with TEXT as its body, exactly as given\n"
      "                         (update.ini: serve that update description verbatim)\n"
      "  --file-status=NAME:CODE  answer the update file NAME (help.html, updatelog.txt, Setup.exe,\n"
      "                         ZipPack.zip) with that status and no body\n"
      "  --file-cut=NAME:BYTES  send only BYTES of that file while announcing its whole length\n"
      "  --file-slow=NAME:MS    wait MS before each KiB of that file after the first\n"
      "  --file-no-length=NAME  send that file without Content-Length\n"
      "\n";
  return text + DescribeHttpServices(layout);
}

int WriteDemoSeedFiles(const std::string& folder) {
  for (const auto& [relative, content] : BuildDemoSeedFiles()) {
    std::filesystem::path path = std::filesystem::path(folder) / relative;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out.write(content.data(), std::streamsize(content.size()));
      if (!out) return 0;
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) return 0;
  }
  return 1;
}

}  // namespace simhttp
