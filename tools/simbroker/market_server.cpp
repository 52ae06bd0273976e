#include "tools/simbroker/market_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "tools/simbroker/framed_socket.h"
#include "tools/simbroker/market_replies.h"
#include "tools/simbroker/minute_tick_replies.h"
#include "tools/simbroker/quote_list_replies.h"

namespace simbroker {

struct MarketDataServer::Connection {
  int number = 0;
  int fd = -1;
  std::mutex writeLock;
  std::atomic<bool> open{true};
  std::atomic<int> stage{0};           // 0 answer awaited, 1 refused or waiting, 2 accepted
  unsigned char keyA[16] = {};
  unsigned char keyK[7] = {};
  int framesReceived = 0;
  std::map<int, JournalEntry> subscriptions;  // by sequence (guarded by the server lock)
};

MarketDataServer::MarketDataServer(MarketServerOptions options)
    : options_(std::move(options)), data_(options_.seed) {
  if (options_.extraStocks > 0) data_.AddStocks(SyntheticStocks(options_.extraStocks, options_.seed));
  data_.SetHttpBase(options_.httpBase);
}

MarketDataServer::~MarketDataServer() { Stop(); }

bool MarketDataServer::Start() {
  int bound = 0;
  listenFd_ = ListenOnLoopbackAddress(options_.bindAddress.c_str(), options_.port, &bound);
  if (listenFd_ < 0) return false;
  port_ = bound;
  running_ = true;
  acceptThread_ = std::thread(&MarketDataServer::AcceptLoop, this);
  if (options_.pushIntervalMs > 0) pushThread_ = std::thread(&MarketDataServer::PushLoop, this);
  return true;
}

void MarketDataServer::Stop() {
  if (!running_.exchange(false)) return;
  changed_.notify_all();
  if (acceptThread_.joinable()) acceptThread_.join();
  if (pushThread_.joinable()) pushThread_.join();
  DropConnections();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> hold(lock_);
    threads.swap(connectionThreads_);
  }
  for (auto& t : threads) t.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

void MarketDataServer::AcceptLoop() {
  while (running_) {
    int fd = AcceptWithin(listenFd_, 50);
    if (fd < 0) continue;
    auto c = std::make_shared<Connection>();
    c->fd = fd;
    {
      std::lock_guard<std::mutex> hold(lock_);
      c->number = ++nextConnection_;
      std::mt19937_64 keys(options_.seed * 7919 + static_cast<uint64_t>(c->number));
      for (auto& b : c->keyA) b = static_cast<unsigned char>(keys());
      for (auto& b : c->keyK) b = static_cast<unsigned char>(keys());
      connections_.push_back(c);
    }
    SendPayload(c, KeyMessage(c->keyA, c->keyK));
    std::lock_guard<std::mutex> hold(lock_);
    connectionThreads_.emplace_back(&MarketDataServer::ConnectionLoop, this, c);
  }
}

void MarketDataServer::ConnectionLoop(std::shared_ptr<Connection> c) {
  Bytes buffer;
  unsigned char chunk[16384];
  while (running_ && c->open) {
    pollfd p{c->fd, POLLIN, 0};
    int ready = ::poll(&p, 1, 50);
    if (ready <= 0) continue;
    ssize_t n = ::recv(c->fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    buffer.insert(buffer.end(), chunk, chunk + n);
    Bytes payload;
    int taken = 0;
    while ((taken = TakeFrame(&buffer, &payload)) == 1) {
      if (!payload.empty()) HandleFrame(c, payload);
    }
    if (taken < 0) c->open = false;
  }
  c->open = false;
  {
    std::lock_guard<std::mutex> hold(c->writeLock);
    ::shutdown(c->fd, SHUT_RDWR);
    ::close(c->fd);
    c->fd = -1;
  }
  std::lock_guard<std::mutex> hold(lock_);
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (*it == c) {
      connections_.erase(it);
      break;
    }
  }
  changed_.notify_all();
}

void MarketDataServer::HandleFrame(const std::shared_ptr<Connection>& c, const Bytes& payload) {
  ++c->framesReceived;
  if (c->stage == 0) {
    bool good = payload.size() == 57 && payload[0] == 4;
    if (good && options_.verifyAnswer) {
      Bytes expected = ExpectedAnswerProducts(c->keyA, c->keyK);
      good = std::equal(expected.begin(), expected.end(), payload.begin() + 1);
    }
    if (good && options_.checkSession) {
      uint64_t user = 0;
      for (int i = 0; i < 8; ++i) user = user << 8 | payload[33 + i];
      good = static_cast<int64_t>(user) == options_.sessionUser &&
             Bytes(payload.begin() + 41, payload.end()) == options_.sessionToken;
    }
    int32_t code;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!good) {
        ++refused_;
        c->open = false;
        changed_.notify_all();
        return;
      }
      code = options_.resultCode;
      c->stage = code == -1 ? 2 : 1;
      if (code == -1) ++accepted_;
      changed_.notify_all();
    }
    SendPayload(c, ResultMessage(code));
  } else if (c->stage == 2) {
    JournalEntry entry;
    if (ParseRequestPacket(payload, &entry)) {
      entry.connection = c->number;
      HandleRequest(c, std::move(entry));
    }
  }
  // Stage 1 (refused or left waiting): whatever the client sends is ignored.
  int dropAfter;
  {
    std::lock_guard<std::mutex> hold(lock_);
    dropAfter = options_.dropAfterFrames;
  }
  if (dropAfter > 0 && c->framesReceived >= dropAfter) {
    c->open = false;
    std::lock_guard<std::mutex> hold(c->writeLock);
    if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
  }
}

void MarketDataServer::HandleRequest(const std::shared_ptr<Connection>& c, JournalEntry entry) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (options_.logRequests) {
      std::printf("connection %d: kind %d type %d sequence %d parameter %d, %zu body bytes%s\n", entry.connection,
                  entry.kind, entry.type, entry.sequence, entry.parameter, entry.body.size(),
                  entry.parsedOk ? "" : " (not understood)");
      std::fflush(stdout);
    }
    journal_.push_back(entry);
    if (entry.kind == 2 && entry.type == 17 && entry.sequence == 1 && entry.parsed.numbers.size() == 1) {
      c->subscriptions.erase(static_cast<int>(entry.parsed.numbers[0]));
    } else if (entry.parameter == 1 && !(entry.kind == 2 && (entry.type == 17 || entry.type == 3))) {
      c->subscriptions[entry.sequence] = entry;  // a repeated sequence replaces its subscription
    }
    changed_.notify_all();
  }
  if (entry.kind == 2 && entry.type == 17) return;  // no reply expected
  if (entry.kind == 2 && entry.type == 3) {
    std::vector<MarketDay> markets;
    {
      std::lock_guard<std::mutex> hold(lock_);
      markets = options_.markets;
    }
    SendReply(c, 2, 3, entry.sequence, kReplyComplete, MarketInfoBody(markets));
    return;
  }
  ReplyBuilder builder = FindReplyBuilder(entry.kind, entry.type);
  Bytes body;
  if (builder && entry.parsedOk && builder(data_, entry, kReplyComplete, &body)) {
    SendReply(c, entry.kind, entry.type, entry.sequence, kReplyComplete, body);
  }
}

void MarketDataServer::SendReply(const std::shared_ptr<Connection>& c, int kind, int type, int sequence, int mode,
                                 const Bytes& body) {
  bool gzip;
  int typeOverride, modeOverride, truncate;
  {
    std::lock_guard<std::mutex> hold(lock_);
    gzip = options_.gzip;
    typeOverride = options_.replyTypeOverride;
    modeOverride = options_.replyModeOverride;
    truncate = options_.truncateReplyBytes;
  }
  if (typeOverride && type != 3) type = typeOverride;
  if (modeOverride && type != 3) mode = modeOverride;
  Bytes sent = body;
  if (truncate > 0 && type != 3) sent.resize(sent.size() > static_cast<size_t>(truncate) ? sent.size() - truncate : 0);
  SendPayload(c, ReplyPacket(kind, mode, type, sequence, sent, gzip));
}

void MarketDataServer::SendPayload(const std::shared_ptr<Connection>& c, const Bytes& payload) {
  Bytes frame = MakeFrame(payload);
  int split;
  {
    std::lock_guard<std::mutex> hold(lock_);
    split = options_.splitWritesBytes;
  }
  std::lock_guard<std::mutex> hold(c->writeLock);
  if (c->fd < 0 || !c->open) return;
  if (split <= 0) {
    SendAll(c->fd, frame.data(), frame.size());
    return;
  }
  for (size_t at = 0; at < frame.size(); at += static_cast<size_t>(split)) {
    size_t n = std::min(frame.size() - at, static_cast<size_t>(split));
    if (!SendAll(c->fd, frame.data() + at, n)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::vector<std::shared_ptr<MarketDataServer::Connection>> MarketDataServer::Live() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<std::shared_ptr<Connection>> live;
  for (auto& c : connections_) {
    if (c->open && c->stage == 2) live.push_back(c);
  }
  return live;
}

void MarketDataServer::Tick() {
  data_.Step();
  RecordTapeTrades(data_);
  for (auto& c : Live()) {
    std::vector<JournalEntry> subscribed;
    {
      std::lock_guard<std::mutex> hold(lock_);
      for (auto& [sequence, request] : c->subscriptions) subscribed.push_back(request);
    }
    for (const JournalEntry& request : subscribed) {
      ReplyBuilder builder = FindReplyBuilder(request.kind, request.type);
      Bytes body;
      if (builder && request.parsedOk && builder(data_, request, kReplyUpdate, &body)) {
        SendReply(c, request.kind, request.type, request.sequence, kReplyUpdate, body);
      }
    }
  }
}

void MarketDataServer::PushLoop() {
  const auto interval = std::chrono::milliseconds(options_.pushIntervalMs);
  auto next = std::chrono::steady_clock::now() + interval;
  std::unique_lock<std::mutex> hold(lock_);
  while (running_) {
    if (changed_.wait_until(hold, next, [&] { return !running_; })) break;
    next += interval;
    hold.unlock();
    Tick();
    hold.lock();
  }
}

void MarketDataServer::PushMarketInfo(const std::vector<MarketDay>& markets) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    options_.markets = markets;
  }
  for (auto& c : Live()) SendReply(c, 2, 3, 0, kReplyComplete, MarketInfoBody(markets));
}

void MarketDataServer::DropConnections() {
  std::vector<std::shared_ptr<Connection>> all;
  {
    std::lock_guard<std::mutex> hold(lock_);
    all = connections_;
  }
  for (auto& c : all) {
    c->open = false;
    std::lock_guard<std::mutex> hold(c->writeLock);
    if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
  }
}

void MarketDataServer::SetResultCode(int32_t code) {
  std::lock_guard<std::mutex> hold(lock_);
  options_.resultCode = code;
}

void MarketDataServer::SetGzip(bool on) {
  std::lock_guard<std::mutex> hold(lock_);
  options_.gzip = on;
}

void MarketDataServer::SetReplyTypeOverride(int type) {
  std::lock_guard<std::mutex> hold(lock_);
  options_.replyTypeOverride = type;
}

void MarketDataServer::SetReplyModeOverride(int mode) {
  std::lock_guard<std::mutex> hold(lock_);
  options_.replyModeOverride = mode;
}

void MarketDataServer::SetReplyTruncation(int bytes) {
  std::lock_guard<std::mutex> hold(lock_);
  options_.truncateReplyBytes = bytes;
}

void MarketDataServer::SetDropAfterFrames(int frames) {
  std::lock_guard<std::mutex> hold(lock_);
  options_.dropAfterFrames = frames;
}

std::vector<JournalEntry> MarketDataServer::Journal() {
  std::lock_guard<std::mutex> hold(lock_);
  return journal_;
}

bool MarketDataServer::WaitForRequest(const std::function<bool(const JournalEntry&)>& pred, int timeoutMs) {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
    for (const JournalEntry& e : journal_) {
      if (pred(e)) return true;
    }
    return false;
  });
}

std::vector<int> MarketDataServer::Subscriptions() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<int> out;
  if (connections_.empty()) return out;
  for (auto& [sequence, request] : connections_.back()->subscriptions) out.push_back(sequence);
  return out;
}

int MarketDataServer::AcceptedConnections() {
  std::lock_guard<std::mutex> hold(lock_);
  return accepted_;
}

int MarketDataServer::RefusedAnswers() {
  std::lock_guard<std::mutex> hold(lock_);
  return refused_;
}

}  // namespace simbroker
