#include "tools/simbroker/history_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <random>

#include "tools/simbroker/framed_socket.h"

namespace simbroker {

namespace {

bool StartsWith(const std::string& code, const char* prefix) { return code.rfind(prefix, 0) == 0; }

bool InCategory(const DatasetRow& row, int64_t listId) {
  const std::string& c = row.code;
  const bool sh = row.market == 1;
  switch (listId) {
    case 99992008:
      return row.type == 1;
    case 1107:
      return row.type == 2 && ((sh && StartsWith(c, "900")) || (!sh && StartsWith(c, "200")));
    case 1105:
      return row.type == 2 && !sh && (StartsWith(c, "002") || StartsWith(c, "003"));
    case 1106:
      return row.type == 2 && !sh && StartsWith(c, "30");
    case 1104:
      return row.type == 2 && ((sh && (StartsWith(c, "60"))) || (!sh && (StartsWith(c, "000") || StartsWith(c, "001"))));
    default:
      return false;
  }
}

uint32_t CodeSeed(const std::string& code, uint64_t seed) {
  uint32_t h = static_cast<uint32_t>(seed * 2654435761u);
  for (char ch : code) h = h * 31 + static_cast<unsigned char>(ch);
  return h;
}

}  // namespace

std::vector<BarStock> CategoryStocks(const StockDataset& data, int64_t listId) {
  std::vector<BarStock> out;
  for (const DatasetRow& row : CurrentDictionaryRows(data)) {
    if (!InCategory(row, listId)) continue;
    BarStock s;
    s.code = row.code;
    s.name = row.name;
    s.market = row.market;
    s.kind = row.type;
    s.decimals = row.type == 3 || StartsWith(row.code, "900") || StartsWith(row.code, "200") ? 3 : 2;
    out.push_back(s);
  }
  return out;
}

std::vector<WireBar> HistoryBarsFor(const BarStock& stock, int count, int32_t lastDate, uint64_t seed,
                                    int64_t lastClose) {
  if (count <= 0) return {};
  if (lastClose <= 0) lastClose = 10 * static_cast<int64_t>(std::pow(10.0, stock.decimals));
  return MakeBarHistory(stock, CodeSeed(stock.code, seed), count, lastDate, lastClose, {}).days;
}

Bytes HistorySummaryBody(int64_t value, int32_t total) {
  Bytes body;
  PutU8(&body, 1);
  PutU64(&body, static_cast<uint64_t>(value));
  PutU32(&body, static_cast<uint32_t>(total));
  return body;
}

Bytes HistoryStockBody(int64_t position, const BarStock& stock, const std::vector<WireBar>& bars) {
  Bytes body;
  PutU8(&body, 2);
  PutU32(&body, 0);  // status
  PutU64(&body, static_cast<uint64_t>(position));
  PutU32(&body, 1);  // one stock per reply
  PutBarStockKey(&body, stock);
  PutU32(&body, bars.size());
  WireBar previous;
  for (const WireBar& bar : bars) {
    PutVarInt(&body, static_cast<int64_t>(bar.time) - static_cast<int64_t>(previous.time));
    PutVarInt(&body, bar.open - previous.open);
    PutVarInt(&body, bar.high - previous.high);
    PutVarInt(&body, bar.low - previous.low);
    PutVarInt(&body, bar.close - previous.close);
    PutVarInt(&body, bar.amount - previous.amount);
    PutVarInt(&body, bar.volume - previous.volume);
    PutVarInt(&body, bar.field8 - previous.field8);
    PutVarInt(&body, bar.field11 - previous.field11);
    previous = bar;
  }
  return body;
}

Bytes HistoryEndBody() {
  Bytes body;
  PutU8(&body, 2);
  PutU32(&body, 0xFFFFFFFFu);
  return body;
}

Bytes HistoryReplyPacket(int type, int sequence, const Bytes& body, bool gzip) {
  Bytes inner;
  PutU8(&inner, 0);
  PutU8(&inner, static_cast<uint64_t>(type));
  PutU16(&inner, static_cast<uint64_t>(sequence));
  inner.insert(inner.end(), body.begin(), body.end());
  Bytes packet;
  PutU8(&packet, 10);
  const Bytes rest = gzip ? GzipWrap(inner) : inner;
  packet.insert(packet.end(), rest.begin(), rest.end());
  return packet;
}

struct HistoryServer::Connection {
  int fd = -1;
  std::mutex writeLock;
  std::atomic<bool> open{true};
  std::atomic<bool> cancel{false};
  std::atomic<int> stage{0};  // 0 answer awaited, 1 logged in
  unsigned char keyA[16] = {};
  unsigned char keyK[7] = {};
};

HistoryServer::HistoryServer(HistoryServerOptions options, StockDataset data)
    : options_(std::move(options)), data_(std::move(data)) {
  for (const DatasetRow& row : CurrentDictionaryRows(data_)) closes_[{row.market, row.code}] = row.prevClose;
}

int64_t HistoryServer::LastClose(const BarStock& stock) const {
  auto it = closes_.find({stock.market, stock.code});
  if (it == closes_.end()) return 0;
  return std::llround(it->second * std::pow(10.0, stock.decimals));
}

HistoryServer::~HistoryServer() { Stop(); }

bool HistoryServer::Start() {
  int bound = 0;
  listenFd_ = ListenOnLoopback(options_.port, &bound);
  if (listenFd_ < 0) return false;
  port_ = bound;
  running_ = true;
  acceptThread_ = std::thread(&HistoryServer::AcceptLoop, this);
  return true;
}

void HistoryServer::Stop() {
  if (!running_.exchange(false)) return;
  if (acceptThread_.joinable()) acceptThread_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& c : connections_) {
      c->open = false;
      c->cancel = true;
      // Wakes a stream thread blocked in send (it holds the write lock).
      if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
    }
    threads.swap(threads_);
  }
  for (auto& t : threads) t.join();
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& c : connections_) {
    if (c->fd >= 0) ::close(c->fd);
    c->fd = -1;
  }
  connections_.clear();
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

std::vector<HistoryRequest> HistoryServer::Requests() {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

void HistoryServer::SendPacket(const Bytes& packet) {
  std::vector<std::shared_ptr<Connection>> live;
  {
    std::lock_guard<std::mutex> hold(lock_);
    live = connections_;
  }
  for (auto& c : live) {
    if (c->open && c->stage == 1) Send(c, packet);
  }
}

bool HistoryServer::Send(const std::shared_ptr<Connection>& c, const Bytes& payload) {
  Bytes frame = MakeFrame(payload);
  std::lock_guard<std::mutex> hold(c->writeLock);
  if (!c->open || c->fd < 0) return false;
  return SendAll(c->fd, frame.data(), frame.size());
}

void HistoryServer::AcceptLoop() {
  while (running_) {
    int fd = AcceptWithin(listenFd_, 50);
    if (fd < 0) continue;
    auto c = std::make_shared<Connection>();
    c->fd = fd;
    std::lock_guard<std::mutex> hold(lock_);
    std::mt19937_64 keys(options_.seed * 104729 + static_cast<uint64_t>(++nextConnection_));
    for (auto& b : c->keyA) b = static_cast<unsigned char>(keys());
    for (auto& b : c->keyK) b = static_cast<unsigned char>(keys());
    connections_.push_back(c);
    Send(c, KeyMessage(c->keyA, c->keyK));
    threads_.emplace_back(&HistoryServer::ConnectionLoop, this, c);
  }
}

void HistoryServer::ConnectionLoop(std::shared_ptr<Connection> c) {
  Bytes buffer;
  unsigned char chunk[16384];
  while (running_ && c->open) {
    pollfd p{c->fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    ssize_t n = ::recv(c->fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    buffer.insert(buffer.end(), chunk, chunk + n);
    Bytes payload;
    int taken = 0;
    while ((taken = TakeFrame(&buffer, &payload)) == 1) {
      if (payload.empty()) {
        ++emptyFrames_;
        continue;
      }
      HandleFrame(c, payload);
    }
    if (taken < 0) c->open = false;
  }
  c->cancel = true;
  std::lock_guard<std::mutex> hold(c->writeLock);
  c->open = false;
  if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
}

void HistoryServer::HandleFrame(const std::shared_ptr<Connection>& c, const Bytes& payload) {
  if (c->stage == 0) {
    Bytes expected = ExpectedAnswerProducts(c->keyA, c->keyK);
    bool ok = payload.size() == 57 && payload[0] == 4 && std::equal(expected.begin(), expected.end(), payload.begin() + 1);
    if (!ok) {
      c->open = false;
      return;
    }
    Send(c, ResultMessage(options_.resultCode));
    if (options_.resultCode == -1) c->stage = 1;
    return;
  }
  if (payload.size() < 5 || payload[0] != 10 || payload[1] != 1) return;
  HistoryRequest r;
  r.type = payload[2];
  r.sequence = payload[3] << 8 | payload[4];
  if (r.type == 8 && payload.size() >= 5 + 26) {
    const unsigned char* b = payload.data() + 5;
    uint64_t id = 0;
    for (int i = 0; i < 8; ++i) id = id << 8 | b[i];
    r.listId = static_cast<int64_t>(id);
    r.kind = b[8];
    r.count = static_cast<int32_t>(static_cast<uint32_t>(b[9]) << 24 | b[10] << 16 | b[11] << 8 | b[12]);
    r.step = b[25];
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    requests_.push_back(r);
  }
  if (r.type == 7) {
    c->cancel = true;
    return;
  }
  if (r.type != 8) return;
  if (r.step == 1) {
    Send(c, HistoryReplyPacket(8, r.sequence, HistorySummaryBody(0, static_cast<int32_t>(Category(r.listId).size())),
                               options_.gzip));
    return;
  }
  if (r.step == 2) {
    c->cancel = false;
    std::lock_guard<std::mutex> hold(lock_);
    threads_.emplace_back(&HistoryServer::Stream, this, c, r);
  }
}

std::vector<BarStock> HistoryServer::Category(int64_t listId) {
  auto it = options_.categories.find(listId);
  if (it != options_.categories.end()) return it->second;
  return CategoryStocks(data_, listId);
}

void HistoryServer::Stream(std::shared_ptr<Connection> c, HistoryRequest r) {
  std::vector<BarStock> stocks = Category(r.listId);
  int64_t position = 0;
  for (const BarStock& stock : stocks) {
    if (c->cancel || !c->open) return;
    std::vector<WireBar> bars = HistoryBarsFor(stock, r.count, options_.lastDate, options_.seed, LastClose(stock));
    if (!Send(c, HistoryReplyPacket(8, r.sequence, HistoryStockBody(position++, stock, bars), options_.gzip))) return;
  }
  if (c->cancel) return;
  Send(c, HistoryReplyPacket(8, r.sequence, HistoryEndBody(), options_.gzip));
  ++streamsFinished_;
}

}  // namespace simbroker
