// The simulated market-data server: framed TCP on 127.0.0.1, the challenge
// and its verification, the market-information reply, request parsing into
// a journal, push subscriptions keyed by sequence, and a push scheduler.
//
// Session of one connection:
//   accept -> key message sent -> answer received (57 bytes: 4, products,
//   user, token; a wrong answer closes the connection) -> result code sent
//   -> (accepted) requests: type 3 gets the market list; type 17 cancels
//   (operation 1) or renews (operation 2); any other request is journalled,
//   subscribed when its header parameter is 1 (a sequence already subscribed
//   is replaced), and answered with a complete reply by its builder.
// Empty frames are ignored. Every received request is journalled, in order.
//
// Threads: one accept thread, one thread per connection, and the push thread
// when pushIntervalMs is non-zero; Tick() runs one push round on the caller's
// thread. Writes to one connection are serialised by its own lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/simbroker/market_data.h"
#include "tools/simbroker/market_requests.h"
#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

struct MarketServerOptions {
  int port = 0;                  // 0: a free port (see Port())
  std::string bindAddress = "127.0.0.1";  // a loopback address to listen on
  int32_t resultCode = -1;       // -1 accepts; -16/-15/-14 refuse; others leave the client waiting
  bool verifyAnswer = true;      // check the answer's products against the key
  bool checkSession = false;     // also check user and token
  int64_t sessionUser = 0;
  Bytes sessionToken;            // 16 bytes
  bool gzip = false;             // gzip every reply
  int pushIntervalMs = 3000;     // 0: no push thread (Tick() only)
  int dropAfterFrames = 0;       // close a connection after it sent N data frames (0: never)
  int replyTypeOverride = 0;     // non-zero: replies carry this type (unknown-type test)
  int replyModeOverride = 0;     // non-zero: reply header byte 0 (e.g. 3)
  int splitWritesBytes = 0;      // >0: write frames in pieces of this size, 1 ms apart
  int truncateReplyBytes = 0;    // >0: cut this many bytes off the end of every reply body
  bool logRequests = false;      // print one line per received request to standard output
  uint64_t seed = 1;             // random walk and key bytes
  int extraStocks = 0;           // generated stocks beyond the fixed ones (SyntheticStocks)
  std::vector<MarketDay> markets = {{1, 20240315, 1}, {2, 20240315, 1}};
  std::string httpBase = "http://127.0.0.1:8889";  // the HTTP site, for absolute news links
};

class MarketDataServer {
 public:
  explicit MarketDataServer(MarketServerOptions options);
  ~MarketDataServer();
  MarketDataServer(const MarketDataServer&) = delete;
  MarketDataServer& operator=(const MarketDataServer&) = delete;

  // Listens on the bind address (127.0.0.1 unless set) and starts the threads. False when the port cannot
  // be bound.
  bool Start();
  // Closes every connection and joins every thread.
  void Stop();
  int Port() const { return port_; }

  // One push round: steps the market and sends an update reply for every
  // subscription of every accepted connection.
  void Tick();
  // Sends a type-3 reply with these markets to every accepted connection
  // (sequence 0; the client needs no pending request for it) and makes them
  // the markets of later replies.
  void PushMarketInfo(const std::vector<MarketDay>& markets);
  // Closes every open connection (the client sees "closed").
  void DropConnections();

  // Knobs that may change while running.
  void SetResultCode(int32_t code);
  void SetGzip(bool on);
  void SetReplyTypeOverride(int type);
  void SetReplyModeOverride(int mode);
  void SetDropAfterFrames(int frames);
  void SetReplyTruncation(int bytes);

  std::vector<JournalEntry> Journal();
  // Waits until the journal holds an entry that pred accepts; false after
  // timeoutMs.
  bool WaitForRequest(const std::function<bool(const JournalEntry&)>& pred, int timeoutMs);
  // Sequences subscribed on the newest connection, in ascending order.
  std::vector<int> Subscriptions();
  int AcceptedConnections();    // connections that passed the answer check
  int RefusedAnswers();         // answers that failed verification

  const MarketData& Data() const { return data_; }

 private:
  struct Connection;
  void AcceptLoop();
  void ConnectionLoop(std::shared_ptr<Connection> c);
  void PushLoop();
  void HandleFrame(const std::shared_ptr<Connection>& c, const Bytes& payload);
  void HandleRequest(const std::shared_ptr<Connection>& c, JournalEntry entry);
  void SendReply(const std::shared_ptr<Connection>& c, int kind, int type, int sequence, int mode, const Bytes& body);
  void SendPayload(const std::shared_ptr<Connection>& c, const Bytes& payload);
  std::vector<std::shared_ptr<Connection>> Live();

  MarketServerOptions options_;
  MarketData data_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> running_{false};
  std::thread acceptThread_;
  std::thread pushThread_;
  std::mutex lock_;               // connections, journal, knobs
  std::condition_variable changed_;
  std::vector<std::shared_ptr<Connection>> connections_;
  std::vector<std::thread> connectionThreads_;
  std::vector<JournalEntry> journal_;
  int nextConnection_ = 0;
  int accepted_ = 0;
  int refused_ = 0;
};

}  // namespace simbroker
