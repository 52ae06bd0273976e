#include "tools/simbroker/dictionary_service.h"

#include <httplib.h>

#include <chrono>
#include <mutex>

#include "tools/simbroker/market_replies.h"

namespace simbroker {

namespace {

std::mutex& ServedLock() {
  static std::mutex lock;
  return lock;
}

StockDataset& Served() {
  static StockDataset data;
  return data;
}

bool BuildServedDictionaryReply(const MarketData& market, const JournalEntry& request, int mode, Bytes* body) {
  (void)market;
  if (mode != kReplyComplete) return false;
  std::lock_guard<std::mutex> hold(ServedLock());
  *body = DictionaryBodyForVersion(Served(), request.parsed.text);
  return true;
}

}  // namespace

void InstallDictionaryService(const StockDataset& data) {
  {
    std::lock_guard<std::mutex> hold(ServedLock());
    Served() = data;
  }
  RegisterReplyBuilder(2, 1, BuildServedDictionaryReply);
}

Bytes DictionaryBodyForVersion(const StockDataset& data, const std::string& version) {
  bool full = false;
  std::vector<DatasetRow> rows = DictionaryChangesSince(data, version, &full);
  return DictionaryReplyBody(CurrentDictionaryVersion(data), rows);
}

bool DictionaryRepairReply(const StockDataset& data, const Bytes& request, int gzipAbove, Bytes* reply) {
  // u32 length, frame type, then the packet: kind 2, header (flag, u16
  // parameter, 5, type, 1, u16 sequence), u16 n, version.
  if (request.size() < 5 + 1 + 8 + 2 || request[5] != 2 || request[10] != 1) return false;
  const size_t n = static_cast<size_t>(request[14]) << 8 | request[15];
  if (request.size() < 16 + n) return false;
  const std::string version(request.begin() + 16, request.begin() + 16 + static_cast<long>(n));
  const int sequence = request[12] << 8 | request[13];
  Bytes packet = ReplyHeader(kReplyComplete, 1, sequence);
  Bytes body = DictionaryBodyForVersion(data, version);
  packet.insert(packet.end(), body.begin(), body.end());
  if (static_cast<int>(packet.size()) > gzipAbove) packet = GzipWrap(packet);
  reply->clear();
  PutU32(reply, packet.size() + 1);
  PutU8(reply, 1);
  PutU8(reply, 2);
  reply->insert(reply->end(), packet.begin(), packet.end());
  return true;
}

std::function<std::string(const std::string& body)> DictionaryRepairHandler(StockDataset data, int gzipAbove) {
  return [data = std::move(data), gzipAbove](const std::string& body) {
    Bytes reply;
    if (!DictionaryRepairReply(data, Bytes(body.begin(), body.end()), gzipAbove, &reply)) return std::string();
    return std::string(reply.begin(), reply.end());
  };
}

DictionaryHttpServer::DictionaryHttpServer(StockDataset data, std::string path, int port, int gzipAbove)
    : data_(std::move(data)), path_(std::move(path)), port_(port), gzipAbove_(gzipAbove) {}

DictionaryHttpServer::~DictionaryHttpServer() { Stop(); }

bool DictionaryHttpServer::Start() {
  server_ = std::make_unique<httplib::Server>();
  server_->Post(path_, [this](const httplib::Request& request, httplib::Response& response) {
    ++requests_;
    Bytes reply;
    Bytes body(request.body.begin(), request.body.end());
    if (!DictionaryRepairReply(data_, body, gzipAbove_, &reply)) {
      response.status = 400;
      return;
    }
    response.set_content(std::string(reply.begin(), reply.end()), "application/octet-stream");
  });
  if (port_ == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return false;
  } else if (!server_->bind_to_port("127.0.0.1", port_)) {
    return false;
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  for (int i = 0; i < 2000 && !server_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return server_->is_running();
}

void DictionaryHttpServer::Stop() {
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace simbroker
