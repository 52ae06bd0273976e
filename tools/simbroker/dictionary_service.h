// The dictionary service of the simulated brokerage: type-1 replies of the
// market-data server from the stock data set (full for an empty or unknown
// version, the change lists after a known one, nothing for the current one),
// and the HTTP endpoint of the dictionary repair.
//
// HTTP repair (POST to the path, e.g. /quote): the body is the client's
// whole type-1 request frame, u32 length | 01 | 02 | 8-byte header | u16 n |
// version. The reply body is u32 length | 01 | 02 | (reply header(8) and
// the type-1 body), gzip-compressed when it exceeds gzipAbove bytes.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tools/simbroker/market_requests.h"
#include "tools/simbroker/stock_dataset.h"

namespace httplib {
class Server;
}

namespace simbroker {

// Serves the type-1 replies of every MarketDataServer of the process from
// data (copied). Replaces the built-in builder.
void InstallDictionaryService(const StockDataset& data);

// The type-1 body for a client version (what the installed service sends).
Bytes DictionaryBodyForVersion(const StockDataset& data, const std::string& version);

// The HTTP body of the repair reply for a request body; false when the
// request is not a type-1 frame.
bool DictionaryRepairReply(const StockDataset& data, const Bytes& request, int gzipAbove, Bytes* reply);

// The same answer as a handler of an HTTP service that passes the request
// body and sends back what it returns (an empty text: not a type-1 frame).
std::function<std::string(const std::string& body)> DictionaryRepairHandler(StockDataset data, int gzipAbove = 8192);

// A small HTTP server of its own for the repair endpoint (tests and the
// program's --dict-port).
class DictionaryHttpServer {
 public:
  // path: the request path served (e.g. "/quote"); port 0 picks a free one.
  DictionaryHttpServer(StockDataset data, std::string path, int port, int gzipAbove = 8192);
  ~DictionaryHttpServer();
  DictionaryHttpServer(const DictionaryHttpServer&) = delete;
  DictionaryHttpServer& operator=(const DictionaryHttpServer&) = delete;

  // Listens on 127.0.0.1; false when the port cannot be bound.
  bool Start();
  void Stop();
  int Port() const { return port_; }
  int Requests() const { return requests_.load(); }

 private:
  StockDataset data_;
  std::string path_;
  int port_;
  int gzipAbove_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<int> requests_{0};
};

}  // namespace simbroker
