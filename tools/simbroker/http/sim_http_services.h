// The simulated brokerage's HTTP side: one HTTP/1.1 server per loopback
// site, all on the same port, answering the terminal's services (see
// sim_http_content.h for the reply shapes).
//
// Every reply carries Content-Length and "Connection: close" and is never
// chunked; bodies the terminal cannot unpack are never compressed, whatever
// the request's Accept-Encoding says. Scenario switches are set per test
// with SetScenario (the demo program maps its command line onto the same
// record); a silent service holds its reply for `holdMs`, a stopped site
// refuses connections. Every request is logged before it is answered.
//
// Threads: each site serves on its own thread pool; the scenario, the log
// and the watch lists are guarded by one mutex, never held while a reply is
// sent.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/simbroker/http/sim_http_content.h"

namespace simhttp {

struct SimHttpOptions {
  std::vector<SimSite> sites = {{"127.0.0.1", "演示站", "本地", "1"}};
  int port = 8889;           // every site's port; 0: a free port all sites can bind
  int quoteHttpPort = 0;     // port of the PCQuote HTTP address; 0: `port`
  int historyPort = 8111;    // "DownCenter" port
  std::string tradeAddress;  // "PCTrade" value; empty leaves it out
  int holdMs = 15000;        // how long a silent service holds a request
  // Answers the dictionary POST on /quote (body: the engine's request frame);
  // without it /quote answers 503. The market-data side plugs its encoder here.
  std::function<std::string(const std::string& body)> quoteHandler;
  bool printRequests = false;  // one line per request on the standard output
};

// One logged request.
struct SimRequestRecord {
  int site = -1;            // index of the answering site
  std::string service;      // service name (see sim_http_content.h)
  std::string method;       // "GET", "POST"
  std::string path;         // without the query
  std::string query;        // raw text after '?', empty when none
  std::string body;         // request body bytes
  std::string version;      // "HTTP/1.1" or "HTTP/1.0"
  bool hasHost = false;     // the request carried a Host header
  std::string contentType;  // request Content-Type
  int status = 0;           // status answered (0 while held)
  std::string deciphered;   // fall-back sign-in: the form the RSA blocks held
  std::vector<std::pair<std::string, std::string>> headers;  // every request header, in order
  // The value of a header (name in any case), empty when absent.
  std::string Header(const std::string& name) const;
};

class SimHttpServer {
 public:
  explicit SimHttpServer(SimHttpOptions options);
  ~SimHttpServer();
  SimHttpServer(const SimHttpServer&) = delete;
  SimHttpServer& operator=(const SimHttpServer&) = delete;

  // Binds every site and starts serving. Returns 1, or 0 (nothing left
  // running) when a site cannot be bound.
  int Start();
  // Stops every site; held requests are released at once. Safe to repeat.
  void Stop();

  int Port() const;                      // the port every site answers on
  SimHttpLayout Layout() const;          // what the replies are built from
  std::string BaseUrl(int site = 0) const;  // "http://host:port"

  void SetScenario(const SimHttpScenario& scenario);
  SimHttpScenario Scenario() const;

  // Stops (connections refused) or restarts one site. Returns 1, or 0 for a
  // bad index or a port that cannot be bound again.
  int SetSiteListening(int site, bool listening);

  std::vector<SimRequestRecord> Requests() const;
  std::vector<SimRequestRecord> Requests(const std::string& service) const;
  void ClearRequests();

  // The stored watch list of a user number (the default list for a user the
  // service has not seen).
  std::vector<SimWatchEntry> WatchList(const std::string& userId) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Runs the services until *stop becomes true (checked every 100 ms), printing
// the sites, services and accounts first. Returns 0 after a clean stop, 1 when
// the services could not start.
int RunHttpServices(const SimHttpOptions& options, const SimHttpScenario& scenario,
                    const std::atomic<bool>* stop);

// The lines RunHttpServices prints: sites, service addresses and accounts.
std::string DescribeHttpServices(const SimHttpLayout& layout);

}  // namespace simhttp
