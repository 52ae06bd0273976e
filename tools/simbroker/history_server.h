// The simulated history-data server ("DownCenter"): framed TCP on 127.0.0.1
// with the market-data server's challenge and login, then:
//   type 8 step 1 -> summary: type 8, body 01 | i64 value | i32 total
//   type 8 step 2 -> one reply per stock: 02 | i32 status 0 | i64 position |
//                    i32 1 | key(33) i32 n, n bars of 9 var-ints (time,
//                    open, high, low, close, amount, volume, field 8, field
//                    11, each a delta to the stock's previous bar), the
//                    newest `count` trading days; then the end of the
//                    category: 02 | FF FF FF FF (status -1)
//   type 7        -> stops a running stream
// Request packet: 0A 01 type u16-sequence body; reply packet: 0A, then
// (X | type | u16 sequence | body) plain or gzip. The client answers every
// data frame with an empty frame; the server counts those answers.
//
// Categories (board ids): 1104 main-board A shares, 1105 SME board, 1106
// ChiNext, 1107 B shares, 99992008 indices, from the data set; tests may
// give their own list per board id.
//
// Threads: one accept thread, one thread per connection and one stream
// thread per running download.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/simbroker/bar_replies.h"
#include "tools/simbroker/stock_dataset.h"
#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

struct HistoryServerOptions {
  int port = 0;                   // 0: a free port
  int32_t resultCode = -1;        // login result
  bool gzip = false;              // gzip every reply
  int32_t lastDate = 20240315;    // date of the newest served bar
  uint64_t seed = 1;
  std::map<int64_t, std::vector<BarStock>> categories;  // replaces the data set's for these ids
};

// One received request.
struct HistoryRequest {
  int type = 0;
  int sequence = 0;
  int64_t listId = 0;
  int kind = 0;
  int32_t count = 0;
  int step = 0;
};

// The stocks of a category from the data set (see the file comment).
std::vector<BarStock> CategoryStocks(const StockDataset& data, int64_t listId);

// The served series of a stock: count trading days ending at lastDate with
// the close lastClose (10^-d units; 0 or less: 10.00).
std::vector<WireBar> HistoryBarsFor(const BarStock& stock, int count, int32_t lastDate, uint64_t seed,
                                    int64_t lastClose = 0);

// Bodies as the server writes them.
Bytes HistorySummaryBody(int64_t value, int32_t total);
Bytes HistoryStockBody(int64_t position, const BarStock& stock, const std::vector<WireBar>& bars);
Bytes HistoryEndBody();
// A reply packet: 0A, then header (0, type, sequence) and body, gzip-wrapped
// when gzip is set.
Bytes HistoryReplyPacket(int type, int sequence, const Bytes& body, bool gzip);

class HistoryServer {
 public:
  HistoryServer(HistoryServerOptions options, StockDataset data);
  ~HistoryServer();
  HistoryServer(const HistoryServer&) = delete;
  HistoryServer& operator=(const HistoryServer&) = delete;

  bool Start();
  void Stop();
  int Port() const { return port_; }

  std::vector<HistoryRequest> Requests();
  int EmptyFramesReceived() const { return emptyFrames_.load(); }
  int StreamsFinished() const { return streamsFinished_.load(); }

  // Sends a raw reply packet to every logged-in connection (tests).
  void SendPacket(const Bytes& packet);

 private:
  struct Connection;
  void AcceptLoop();
  void ConnectionLoop(std::shared_ptr<Connection> c);
  void HandleFrame(const std::shared_ptr<Connection>& c, const Bytes& payload);
  void Stream(std::shared_ptr<Connection> c, HistoryRequest request);
  bool Send(const std::shared_ptr<Connection>& c, const Bytes& payload);
  std::vector<BarStock> Category(int64_t listId);
  int64_t LastClose(const BarStock& stock) const;

  HistoryServerOptions options_;
  StockDataset data_;
  std::map<std::pair<int, std::string>, double> closes_;  // (market, code) -> previous close
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> running_{false};
  std::thread acceptThread_;
  std::mutex lock_;
  std::vector<std::shared_ptr<Connection>> connections_;
  std::vector<std::thread> threads_;
  std::vector<HistoryRequest> requests_;
  std::atomic<int> emptyFrames_{0};
  std::atomic<int> streamsFinished_{0};
  int nextConnection_ = 0;
};

}  // namespace simbroker
