// HTTP servers of the simulated brokerage (see sim_http_services.h).
//
// Request path: log the request -> silent? hold for holdMs or until Stop ->
// forced status? answer it with an empty body -> build the reply from the
// scenario copied under the lock -> answer. The lock is never held while a
// reply is built or sent.
#include "tools/simbroker/http/sim_http_services.h"

#include <strings.h>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/simbroker/http/sim_crypto.h"
#include "tools/simbroker/http/sim_http_home.h"

namespace simhttp {

namespace {

// Content types: none of them is one the HTTP library compresses on its own
// (the parameter keeps JSON and XML apart from its list), so a request's
// Accept-Encoding never turns a reply into gzip.
const char kJsonType[] = "application/json; charset=utf-8";
const char kXmlType[] = "application/xml; charset=utf-8";
const char kHtmlType[] = "text/html; charset=utf-8";
const char kBinaryType[] = "application/octet-stream";

// True when nothing serves host:port yet. The HTTP library sets
// SO_REUSEPORT on its own sockets, which would let a second server join a
// port already served; a server that answers a connection there makes this
// false. (A bind probe would also refuse the port while connections of a
// server that just ended wait in TIME_WAIT.)
bool PortIsFree(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return false;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  bool served = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return !served;
}

std::string ServiceOf(const std::string& method, const std::string& path) {
  static const std::map<std::string, std::string> kExact = {
      {"/v2bin", "v2bin"},         {"/randomcode", "randomcode"}, {"/ialogin", "ialogin"},
      {"/login", "login"},         {"/boardconf", "boardconf"},   {"/mystocks", "mystocks"},
      {"/marquee", "marquee"},     {"/checkmsg", "checkmsg"},     {"/update/update.ini", "update.ini"},
      {"/klinerel", "klinerel"},   {"/newslist", "newslist"},     {"/reportlist", "reportlist"},
      {"/quote", "quote"}};
  (void)method;
  std::string home = HomeServiceOf(path);
  if (!home.empty()) return home;
  auto it = kExact.find(path);
  if (it != kExact.end()) return it->second;
  if (path.rfind("/update/files/", 0) == 0) return "update.file";
  return "page";
}

}  // namespace

struct SimHttpServer::Impl {
  struct Site {
    std::unique_ptr<httplib::Server> server;  // null while the site is stopped
    std::thread thread;                       // runs the server's accept loop
  };

  SimHttpOptions options;                // settings, fixed after construction
  std::atomic<int> port{0};              // bound port, set by Start (read by handlers)
  std::vector<Site> sites;               // one per options.sites entry

  mutable std::mutex mutex;              // guards everything below
  std::condition_variable released;      // wakes held requests on Stop
  bool stopping = false;
  SimHttpScenario scenario;
  std::vector<SimRequestRecord> log;
  std::map<std::string, std::vector<SimWatchEntry>> watchLists;
  SimRsaKey loginKey{};

  SimHttpLayout MakeLayout() const {
    SimHttpLayout layout;
    layout.sites = options.sites;
    layout.port = port;
    layout.quoteHttpPort = options.quoteHttpPort;
    layout.historyPort = options.historyPort;
    layout.tradeAddress = options.tradeAddress;
    return layout;
  }

  int BindSite(size_t index, int wantedPort);
  void StopSite(size_t index);
  void Handle(int site, const httplib::Request& req, httplib::Response& res);
  // An update file with one of the faults of SimFileFault.
  void AnswerFaultyFile(std::string content, const SimFileFault& fault, httplib::Response& res);
  // Builds the reply; *note receives what the request log keeps besides
  // the request (the deciphered fall-back form).
  void Answer(int site, const std::string& service, const httplib::Request& req,
              const SimHttpScenario& s, httplib::Response& res, std::string* note);
};

int SimHttpServer::Impl::BindSite(size_t index, int wantedPort) {
  auto server = std::make_unique<httplib::Server>();
  server->set_keep_alive_max_count(1);  // every reply says "Connection: close"
  server->set_read_timeout(5, 0);
  server->set_write_timeout(5, 0);
  server->set_payload_max_length(1 << 20);
  const int site = int(index);
  auto handler = [this, site](const httplib::Request& req, httplib::Response& res) {
    Handle(site, req, res);
  };
  server->Get(".*", handler);
  server->Post(".*", handler);
  const std::string& host = options.sites[index].host;
  if (wantedPort != 0 && !PortIsFree(host, wantedPort)) return -1;
  int bound = wantedPort == 0 ? server->bind_to_any_port(host) : server->bind_to_port(host, wantedPort)
                                                                       ? wantedPort
                                                                       : -1;
  if (bound <= 0) return -1;
  httplib::Server* raw = server.get();
  sites[index].server = std::move(server);
  sites[index].thread = std::thread([raw] { raw->listen_after_bind(); });
  // The library's stop() does nothing until its accept loop has begun, so
  // the site counts as started only once the loop runs.
  for (int waited = 0; !raw->is_running() && waited < 5000; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return bound;
}

void SimHttpServer::Impl::StopSite(size_t index) {
  Site& site = sites[index];
  if (site.server == nullptr) return;
  site.server->stop();
  if (site.thread.joinable()) site.thread.join();
  site.server.reset();
}

void SimHttpServer::Impl::Handle(int site, const httplib::Request& req, httplib::Response& res) {
  // The library would compress any text reply for a client that offers gzip
  // or brotli; the terminal unpacks only where it says so, and those replies
  // are compressed here by the scenario. The request object is the library's
  // own non-const record, so dropping the header before it looks is sound.
  const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
  res.status = 200;
  SimRequestRecord record;
  record.site = site;
  record.service = ServiceOf(req.method, req.path);
  record.method = req.method;
  record.path = req.path;
  size_t mark = req.target.find('?');
  if (mark != std::string::npos) record.query = req.target.substr(mark + 1);
  record.body = req.body;
  record.version = req.version;
  record.hasHost = req.has_header("Host");
  record.contentType = req.get_header_value("Content-Type");
  for (const auto& [name, value] : req.headers) record.headers.emplace_back(name, value);

  SimHttpScenario s;
  size_t logIndex = 0;
  bool hold = false;
  {
    std::unique_lock<std::mutex> lock(mutex);
    logIndex = log.size();
    log.push_back(record);
    s = scenario;
    hold = s.silent.count(record.service) != 0;
    if (hold) {
      released.wait_for(lock, std::chrono::milliseconds(options.holdMs), [this] { return stopping; });
    }
  }
  if (options.printRequests) {
    printf("[%s] %s %s%s%s (%zu bytes)%s\n", options.sites[size_t(site)].host.c_str(),
           req.method.c_str(), req.path.c_str(), record.query.empty() ? "" : "?",
           record.query.c_str(), req.body.size(), hold ? " held" : "");
    fflush(stdout);
  }
  std::string note;
  auto forced = s.status.find(record.service);
  if (forced != s.status.end()) {
    res.status = forced->second;
    res.set_content("", kBinaryType);
  } else if (auto raw = s.rawBody.find(record.service); raw != s.rawBody.end()) {
    res.set_content(raw->second, kBinaryType);
  } else {
    Answer(site, record.service, req, s, res, &note);
  }
  std::lock_guard<std::mutex> lock(mutex);
  log[logIndex].status = res.status;
  log[logIndex].deciphered = note;
}

void SimHttpServer::Impl::Answer(int site, const std::string& service, const httplib::Request& req,
                                 const SimHttpScenario& s, httplib::Response& res,
                                 std::string* note) {
  const SimHttpLayout layout = MakeLayout();
  const std::string base = SimSiteBase(layout, site);
  std::string query;
  size_t mark = req.target.find('?');
  if (mark != std::string::npos) query = req.target.substr(mark + 1);
  const auto params = ParseQuery(query);
  auto param = [&](const char* name) {
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
  };
  auto maybeGzip = [&](const std::string& text, bool gzip, const char* type) {
    if (gzip) {
      res.set_content(GzipText(text), kBinaryType);
      return;
    }
    res.set_content(text, type);
  };

  if (service == "v2bin") {
    maybeGzip(BuildServerList(layout, site, s), s.v2binGzip, kXmlType);
    return;
  }
  if (service == "randomcode") {
    if (s.captcha == SimCaptcha::kNotImage) {
      res.set_content("<html><body>验证码服务维护中</body></html>", kHtmlType);
      return;
    }
    res.set_content(DrawCaptchaPng(s.captchaCode), "image/png");
    return;
  }
  if (service == "ialogin") {
    res.set_content(BuildIaLoginReply(req.body, s.captchaCode, base, s), kJsonType);
    return;
  }
  if (service == "login") {
    std::string hex = req.body.rfind("ciptext=", 0) == 0 ? req.body.substr(8) : "";
    std::string cipher, form, key, account, password, reply;
    if (DecodeHexText(hex, &cipher)) {
      SimRsaDecipherForm(&loginKey, reinterpret_cast<const uint8_t*>(cipher.data()), cipher.size(), &form);
    }
    *note = form;
    SimBlowfish bf;
    if (!ParseFallbackForm(form, &key, &account, &password) ||
        !SimBlowfishSetKey(&bf, reinterpret_cast<const uint8_t*>(key.data()), key.size()) ||
        !SimBlowfishWrap(&bf, BuildFallbackPlainReply(form, s), &reply)) {
      // Without the session key no reply can be enciphered.
      res.status = 400;
      res.set_content("", kBinaryType);
      return;
    }
    res.set_content(reply, kBinaryType);
    return;
  }
  if (service == "boardconf") {
    maybeGzip(BuildBoardConfig(param("timestamp"), s), s.boardConfGzip, kJsonType);
    return;
  }
  if (service == "mystocks") {
    std::string userId;
    std::string action = WatchListAction(req.body, &userId);
    std::lock_guard<std::mutex> lock(mutex);
    auto found = watchLists.find(userId);
    if (found == watchLists.end()) found = watchLists.emplace(userId, DefaultWatchList()).first;
    if (action == "savemystocks") {
      int ok = ApplyWatchListSave(req.body, &found->second);
      res.set_content(std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><retmsg><retcode>") +
                          (ok ? "0" : "1") + "</retcode></retmsg>",
                      kXmlType);
      return;
    }
    if (action != "getmystocks" || FindSimAccountByUserId(userId) == nullptr) {
      SimHttpScenario refused = s;
      refused.mystocks = SimMystocks::kRefuse;
      res.set_content(BuildWatchListReply({}, refused), kXmlType);
      return;
    }
    res.set_content(BuildWatchListReply(found->second, s), kXmlType);
    return;
  }
  if (service == "marquee") {
    res.set_content(BuildMarquee(s), kJsonType);
    return;
  }
  if (service == "checkmsg") {
    res.set_content(BuildCheckMessage(layout, site, param("timestamp"), s), kJsonType);
    return;
  }
  if (service == "update.ini") {
    res.set_content(BuildUpdateIni(layout, site, s), kBinaryType);
    return;
  }
  if (service == "update.file") {
    const std::string name = req.path.substr(std::strlen("/update/files/"));
    int found = 0;
    std::string content = UpdateFileContent(name, &found);
    res.status = found ? 200 : 404;
    auto fault = s.fileFaults.find(name);
    if (!found || fault == s.fileFaults.end()) {
      res.set_content(content, kBinaryType);
      return;
    }
    AnswerFaultyFile(std::move(content), fault->second, res);
    return;
  }
  if (service == "klinerel") {
    maybeGzip(BuildKLineRelated(params, SimSiteBase(layout, site)), s.dataGzip, kJsonType);
    return;
  }
  if (service == "newslist" || service == "reportlist") {
    maybeGzip(BuildNewsList(layout, site, param("stockcode"), service == "reportlist"), s.dataGzip,
              kJsonType);
    return;
  }
  if (std::string home = HomeServiceOf(req.path); !home.empty()) {
    HomeReply reply = AnswerHomeService(service, base, req.path, params, s);
    if (reply.delayMs > 0) {
      std::unique_lock<std::mutex> lock(mutex);
      released.wait_for(lock, std::chrono::milliseconds(reply.delayMs), [this] { return stopping; });
    }
    res.status = reply.status;
    if (!reply.location.empty()) res.set_header("Location", reply.location);
    res.set_content(reply.body, reply.contentType);
    return;
  }
  if (service == "quote") {
    if (!options.quoteHandler) {
      res.status = 503;
      res.set_content("", kBinaryType);
      return;
    }
    res.set_content(options.quoteHandler(req.body), kBinaryType);
    return;
  }
  int found = 0;
  if (req.path.rfind("/test/", 0) == 0 || req.path == "/success/success.html") {
    std::string type;
    std::string body = BuildTestPage(req.path, params, &type, &found);
    res.status = found ? 200 : 404;
    res.set_content(body, type);
    return;
  }
  std::string page = BuildPage(layout, site, req.path, params, &found);
  res.status = found ? 200 : 404;
  res.set_content(page, kHtmlType);
}

void SimHttpServer::Impl::AnswerFaultyFile(std::string content, const SimFileFault& fault,
                                            httplib::Response& res) {
  if (fault.status != 0) {
    res.status = fault.status;
    res.set_content("", kBinaryType);
    return;
  }
  auto body = std::make_shared<std::string>(std::move(content));
  const size_t sendable =
      fault.cutAfter >= 0 ? std::min(body->size(), static_cast<size_t>(fault.cutAfter)) : body->size();
  const int msPerKiB = fault.msPerKiB;
  // Writes from offset on, at most one KiB per call, each after the first
  // following the fault's delay; false (the connection is dropped) once the sendable part is out
  // while more was announced, or when the server stops during a delay.
  auto piece = [this, body, sendable, msPerKiB](size_t offset, httplib::DataSink& sink) {
    if (offset >= sendable) {
      if (offset < body->size()) return false;
      sink.done();
      return true;
    }
    if (msPerKiB > 0 && offset > 0) {
      std::unique_lock<std::mutex> lock(mutex);
      if (released.wait_for(lock, std::chrono::milliseconds(msPerKiB), [this] { return stopping; }))
        return false;
    }
    const size_t n = std::min<size_t>(1024, sendable - offset);
    return sink.write(body->data() + offset, n);
  };
  if (fault.noLength) {
    res.set_content_provider(kBinaryType, [piece](size_t offset, httplib::DataSink& sink) {
      return piece(offset, sink);
    });
    return;
  }
  res.set_content_provider(body->size(), kBinaryType,
                           [piece](size_t offset, size_t, httplib::DataSink& sink) { return piece(offset, sink); });
}

SimHttpServer::SimHttpServer(SimHttpOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->sites.resize(impl_->options.sites.size());
  SimRsaKeyFromHex(&impl_->loginKey, SimLoginModulusHex(), SimLoginPrivateExponentHex());
}

SimHttpServer::~SimHttpServer() { Stop(); }

int SimHttpServer::Start() {
  Impl& d = *impl_;
  if (d.options.sites.empty()) return 0;
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    d.stopping = false;
  }
  // With port 0 the first site picks a free port and the others must get the
  // same one; a port that one of them cannot have is given up and another tried.
  for (int attempt = 0; attempt < 20; ++attempt) {
    int port = d.BindSite(0, d.options.port);
    if (port <= 0) return 0;
    d.port = port;  // a client may already be talking to the first site
    bool all = true;
    for (size_t i = 1; i < d.sites.size() && all; ++i) all = d.BindSite(i, port) == port;
    if (all) return 1;
    for (size_t i = 0; i < d.sites.size(); ++i) d.StopSite(i);
    d.port = 0;
    if (d.options.port != 0) return 0;
  }
  return 0;
}

void SimHttpServer::Stop() {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    d.stopping = true;
  }
  d.released.notify_all();
  for (size_t i = 0; i < d.sites.size(); ++i) d.StopSite(i);
}

int SimHttpServer::Port() const { return impl_->port; }

SimHttpLayout SimHttpServer::Layout() const { return impl_->MakeLayout(); }

std::string SimHttpServer::BaseUrl(int site) const { return SimSiteBase(impl_->MakeLayout(), site); }

void SimHttpServer::SetScenario(const SimHttpScenario& scenario) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->scenario = scenario;
}

SimHttpScenario SimHttpServer::Scenario() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->scenario;
}

int SimHttpServer::SetSiteListening(int site, bool listening) {
  Impl& d = *impl_;
  const int port = d.port;
  if (site < 0 || size_t(site) >= d.sites.size() || port == 0) return 0;
  if (!listening) {
    d.StopSite(size_t(site));
    return 1;
  }
  if (d.sites[size_t(site)].server != nullptr) return 1;
  return d.BindSite(size_t(site), port) == port ? 1 : 0;
}

std::string SimRequestRecord::Header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  return std::string();
}

std::vector<SimRequestRecord> SimHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->log;
}

std::vector<SimRequestRecord> SimHttpServer::Requests(const std::string& service) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<SimRequestRecord> out;
  for (const SimRequestRecord& r : impl_->log)
    if (r.service == service) out.push_back(r);
  return out;
}

void SimHttpServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->log.clear();
}

std::vector<SimWatchEntry> SimHttpServer::WatchList(const std::string& userId) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto found = impl_->watchLists.find(userId);
  return found == impl_->watchLists.end() ? DefaultWatchList() : found->second;
}

std::string DescribeHttpServices(const SimHttpLayout& layout) {
  std::string text = "HTTP services (server list: POST http://<site>:" + std::to_string(layout.port) +
                     "/v2bin)\n";
  for (size_t i = 0; i < layout.sites.size(); ++i) {
    const SimSite& s = layout.sites[i];
    text += "  site " + std::to_string(i + 1) + ": " + SimSiteBase(layout, int(i)) + "  " + s.name +
            " (" + s.carrier + ", load " + s.load + ")\n";
  }
  text += "  history data (DownCenter): <site>:" + std::to_string(layout.historyPort) + "\n";
  if (!layout.tradeAddress.empty()) text += "  trade (PCTrade): " + layout.tradeAddress + "\n";
  text += "Accounts:\n";
  for (const SimAccount& a : SimAccounts()) {
    text += "  " + a.account + " / " + a.password + "  user " + a.userId + ", level " +
            (a.level2 ? "2" : "1") + ", session " + a.sessionId + "\n";
  }
  text += "Captcha: the digits in the picture (default 1234)\n";
  return text;
}

int RunHttpServices(const SimHttpOptions& options, const SimHttpScenario& scenario,
                    const std::atomic<bool>* stop) {
  SimHttpServer server(options);
  server.SetScenario(scenario);
  if (!server.Start()) {
    fprintf(stderr, "simbroker_http: cannot listen on port %d of every site\n", options.port);
    return 1;
  }
  printf("%s", DescribeHttpServices(server.Layout()).c_str());
  fflush(stdout);
  while (!stop->load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.Stop();
  return 0;
}

}  // namespace simhttp
