#include "marketdata/history_client.h"

#include <algorithm>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/gzip_inflate.h"
#include "foundation/number_codecs.h"
#include "foundation/string_helpers.h"
#include "marketdata/bar_decoders.h"
#include "marketdata/quote_connection.h"
#include "marketdata/quote_record.h"
#include "marketdata/quote_requests.h"
#include "marketdata/quote_transport.h"
#include "marketdata/reply_reader.h"

namespace {

constexpr int kHistoryHeaderSize = 4;
constexpr int kStockKeySize = 33;
constexpr int kHistoryBarFields = 9;
constexpr int kMaxHistoryStocks = 100000;
constexpr int kMaxHistoryBars = 100000;
constexpr int kMaxHistoryReply = 256 * 1024 * 1024;
constexpr long long kDeflateMostExpansion = 1032;
constexpr int kFirstInflateCapacity = 64 * 1024;
const int kBarFieldNumbers[kHistoryBarFields] = {0, 1, 2, 3, 4, 5, 6, 7, 10};

void RaiseEvent(HistoryClient* client, int event) {
  if (client->eventHandler) client->eventHandler(client->ownerWindow, nullptr, event);
}

void FreeStocks(HistoryReply* reply) {
  for (int i = 0; i < reply->stockCount; ++i) delete[] reply->stocks[i].bars;
  delete[] reply->stocks;
  reply->stocks = nullptr;
  reply->stockCount = 0;
}

// One stock record; false when the body ends before its bar count.
bool DecodeStockRecord(ReplyReader* body, HistoryStockRecord* stock) {
  unsigned char key[kStockKeySize];
  int32_t n = 0;
  if (!body->ReadBytes(key, kStockKeySize) || !body->ReadS32(&n)) return false;
  DecodeStockKey(&stock->key, key);
  const int count = body->ClampCount(n, kMaxHistoryBars, kHistoryBarFields);
  if (count == 0) return true;
  stock->bars = new (std::nothrow) DayBar[static_cast<size_t>(count)]();
  if (!stock->bars) return false;
  BarReference reference{};
  for (int i = 0; i < count; ++i) {
    DayBar bar{};
    for (int field : kBarFieldNumbers) {
      if (DecodeBarField(field, stock->key.decimals, body, &reference, &bar) == kBarFieldShort) return false;
    }
    stock->bars[stock->barCount++] = bar;
  }
  return true;
}

void DecodeStocks(ReplyReader* body, HistoryReply* reply) {
  int32_t m = 0;
  if (!body->ReadS32(&m)) return;
  const int count = body->ClampCount(m, kMaxHistoryStocks, kStockKeySize + 4);
  if (count == 0) return;
  reply->stocks = new (std::nothrow) HistoryStockRecord[static_cast<size_t>(count)]();
  if (!reply->stocks) return;
  while (reply->stockCount < count) {
    HistoryStockRecord& stock = reply->stocks[reply->stockCount];
    const bool whole = DecodeStockRecord(body, &stock);
    if (stock.barCount > 0 || whole) ++reply->stockCount;
    if (!whole) {
      if (stock.barCount == 0) delete[] stock.bars;
      return;
    }
  }
}

void DecodeReplyBody(ReplyReader* body, int type, HistoryReply* reply) {
  reply->type = static_cast<uint8_t>(type);
  if (!body->ReadU8(&reply->subKind)) return;
  if (reply->subKind == 1) {
    body->ReadS64(&reply->value);
    body->ReadS32(&reply->total);
    return;
  }
  if (reply->subKind != 2) return;
  int32_t status = 0;
  if (!body->ReadS32(&status)) return;
  reply->status = status;
  if (status == -1) return;  // the end: the previous stock array stays
  if (type == 8 && !body->ReadS64(&reply->position)) return;
  FreeStocks(reply);
  DecodeStocks(body, reply);
}

void SendRequest(HistoryClient* client, int type, const unsigned char* body, int bodyLength) {
  std::lock_guard<std::mutex> hold(client->sendLock);
  std::vector<unsigned char>& buffer = client->sendBuffer;
  buffer.assign(static_cast<size_t>(kFrameHeadSize + 5 + bodyLength), 0);
  buffer[4] = 1;
  buffer[5] = kHistoryPacketKind;
  client->requestType = static_cast<uint8_t>(type);
  client->requestSequence = client->sequenceCounter++;
  buffer[6] = client->requestVersion;
  buffer[7] = client->requestType;
  buffer[8] = static_cast<unsigned char>(client->requestSequence >> 8);
  buffer[9] = static_cast<unsigned char>(client->requestSequence);
  if (bodyLength > 0) std::memcpy(buffer.data() + 10, body, static_cast<size_t>(bodyLength));
  const int length = static_cast<int>(buffer.size());
  WriteUInt32BigEndian(static_cast<uint32_t>(length - kFrameHeadSize), buffer.data(), 0);
  client->transport->Send(client->connectionId.load(), reinterpret_cast<const char*>(buffer.data()) + kFrameHeadSize,
                          length - kFrameHeadSize);
}

void PutBE(unsigned char* out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out[i] = static_cast<unsigned char>(value);
    value >>= 8;
  }
}

bool IsLowerHex32(const char* text) {
  if (strnlen(text, 33) != 32) return false;
  for (int i = 0; i < 32; ++i) {
    char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

HistoryClient* CreateHistoryClient() {
  auto* client = new (std::nothrow) HistoryClient();
  if (!client) return nullptr;
  client->transport = FrameQuoteTransport();
  client->sendBuffer.assign(128, 0);
  client->shStore = CreateDayStore(kDayBarSize, 1);
  client->szStore = CreateDayStore(kDayBarSize, 2);
  if (!client->shStore || !client->szStore) {
    FreeHistoryClient(client);
    return nullptr;
  }
  OpenOrRecreateDayStore(client->shStore, "data\\shDay.data");
  OpenOrRecreateDayStore(client->szStore, "data\\szDay.data");
  return client;
}

void FreeHistoryClient(HistoryClient* client) {
  if (!client) return;
  client->transport->Close(client->connectionId.load());
  FreeDayStore(client->shStore);
  FreeDayStore(client->szStore);
  FreeStocks(&client->barReply);
  FreeStocks(&client->listReplies[0]);
  FreeStocks(&client->listReplies[1]);
  delete client;
}

void SetHistoryEventHandler(HistoryClient* client, QuoteEventHandler handler, void* ownerWindow) {
  client->ownerWindow = ownerWindow;
  client->eventHandler = handler;
}

void SetHistoryCredentials(HistoryClient* client, const char* userNumberText, const char* tokenText) {
  if (userNumberText) client->userNumber = std::strtoll(userNumberText, nullptr, 10);
  std::memset(client->token, 0, sizeof client->token);
  if (!tokenText) return;
  if (!IsLowerHex32(tokenText)) {
    DebugPrintf("\nSetHistoryCredentials: token is not 32 lower-case hex digits");
    return;
  }
  ParseLowerHex(tokenText, 32, client->token, 16);
}

void ConnectHistoryServer(HistoryClient* client, const char* host, int port) {
  if (!client || !host || port == 0) return;
  QuoteTransport* transport = client->transport;
  transport->Close(client->connectionId.load());
  client->state = 0;
  int id = transport->Create();
  client->connectionId = id;
  transport->SetCallbacks(id, OnHistoryConnectionState, client);
  transport->SetDataCallback(id, OnHistoryFrame, client);
  transport->SetHost(id, host, port);
  transport->SetProxy(id, MakeProxyString());
  transport->Start(id);
}

void CloseHistoryConnection(HistoryClient* client) { client->transport->Close(client->connectionId.load()); }

void CancelHistoryRequest(HistoryClient* client) { SendRequest(client, 7, nullptr, 0); }

int RequestHistoryBars(HistoryClient* client, uint32_t listLow, uint32_t listHigh, int kind, int count, int value1,
                       int value2, int value3, int step, HistoryReplyCallback callback, void* owner) {
  unsigned char body[26];
  PutBE(body, static_cast<uint64_t>(listHigh) << 32 | listLow, 8);
  body[8] = static_cast<unsigned char>(kind);
  PutBE(body + 9, static_cast<uint32_t>(count), 4);
  PutBE(body + 13, static_cast<uint32_t>(value1), 4);
  PutBE(body + 17, static_cast<uint32_t>(value2), 4);
  PutBE(body + 21, static_cast<uint32_t>(value3), 4);
  body[25] = static_cast<unsigned char>(step);
  // The handler is in place before the request leaves: the reply can arrive
  // on the connection's thread before SendRequest returns.
  {
    std::lock_guard<std::mutex> hold(client->sendLock);
    client->replyCallback = callback;
    client->replyOwner = owner;
  }
  SendRequest(client, 8, body, sizeof body);
  std::lock_guard<std::mutex> hold(client->sendLock);
  return client->requestSequence;
}

DayStore* HistoryStoreFor(HistoryClient* client, int market) { return market == 1 ? client->shStore : client->szStore; }

void StoreHistoryBars(HistoryClient* client, const char* code, int market, const DayBar* bars, int count,
                      KLineArea* area) {
  if (!client || !code || !*code || !area) return;
  DayStore* store = HistoryStoreFor(client, market);
  std::vector<DayBar> series;
  LockDayStore(store);
  MergeDayStoreBars(store, code, market, bars, count);
  WriteDayStoreDirectory(store);
  ReadDayStoreBars(store, code, market, &series);
  UnlockDayStore(store);
  const int n = static_cast<int>(series.size()) < kKLineBarRoom ? static_cast<int>(series.size()) : kKLineBarRoom;
  if (n > 0) std::memcpy(area->bars, series.data(), sizeof(DayBar) * static_cast<size_t>(n));
  area->first = 0;
  area->lookBackCount = 0;
  area->barCount = n;
  area->end = n;
}

const DayBar* ReadStoredDayBars(HistoryClient* client, const char* code, int market, int* count) {
  if (count) *count = 0;
  if (!client || !code || !*code) return nullptr;
  std::lock_guard<std::mutex> hold(client->copyLock);
  int n = ReadDayStoreBars(HistoryStoreFor(client, market), code, market, &client->storedCopy);
  if (n == 0) return nullptr;
  if (count) *count = n;
  return client->storedCopy.data();
}

int StoredDayBarSpan(HistoryClient* client, const char* code, int market, uint32_t* oldest, uint32_t* newest) {
  if (oldest) *oldest = 0;
  if (newest) *newest = 0;
  if (!client || !code || !*code) return 0;
  std::lock_guard<std::mutex> hold(client->copyLock);
  const int n = ReadDayStoreBars(HistoryStoreFor(client, market), code, market, &client->storedCopy);
  if (n <= 0) return 0;
  if (oldest) *oldest = client->storedCopy.front().time;
  if (newest) *newest = client->storedCopy[n - 1].time;
  return n;
}

void OnHistoryConnectionState(void* user, int code) {
  auto* client = static_cast<HistoryClient*>(user);
  switch (code) {
    case kConnectionUp:
      client->state = 0;
      return;
    case kConnectionClosed:
      client->state = 0;
      RaiseEvent(client, 7);
      return;
    case kConnectionConnectFailed:
    case kConnectionFailed:
      client->state = 0;
      RaiseEvent(client, 1);
      return;
    default:
      return;
  }
}

void OnHistoryFrame(void* user, const char* frame, int length) {
  auto* client = static_cast<HistoryClient*>(user);
  if (!frame || length < kFrameHeadSize) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(frame);
  const unsigned char* payload = bytes + kFrameHeadSize;
  const int payloadLength = length - kFrameHeadSize;
  switch (client->state.load()) {
    case 0: {
      if (payloadLength < kKeyMessageSize) return;
      DebugPrintf("\n收到密钥");
      client->state = 1;
      unsigned char answer[kAuthAnswerSize] = {};
      ComputeAuthAnswer(payload + 1, answer);
      PackInt64BigEndian(client->userNumber, answer + 33);
      std::memcpy(answer + 41, client->token, 16);
      client->transport->Send(client->connectionId.load(), reinterpret_cast<const char*>(answer), kAuthAnswerSize);
      return;
    }
    case 1: {
      if (payloadLength < kAuthResultSize) return;
      DebugPrintf("\n收到认证应答");
      const int32_t result = static_cast<int32_t>(ReadUInt32BigEndian(payload, 1));
      if (result == -1) {
        DebugPrintf("\n连接成功");
        client->state = 2;
        RaiseEvent(client, 0);
      } else if (result == -16) {
        RaiseEvent(client, 4);
      } else if (result == -15) {
        RaiseEvent(client, 5);
      } else if (result == -14) {
        RaiseEvent(client, 6);
      }
      return;
    }
    case 2: {
      int position = 0;
      while (length - position >= kFrameHeadSize) {
        uint32_t n = ReadUInt32BigEndian(bytes, position);
        if (n > static_cast<uint32_t>(length - position - kFrameHeadSize)) {
          DebugPrintf("\nhistory frame unit of %u bytes runs past the frame", n);
          break;
        }
        if (n > 0) DispatchHistoryReply(client, bytes + position + kFrameHeadSize, static_cast<int>(n));
        position += static_cast<int>(n) + kFrameHeadSize;
      }
      client->transport->Send(client->connectionId.load(), nullptr, 0);
      return;
    }
    default:
      return;
  }
}

int DispatchHistoryReply(HistoryClient* client, const unsigned char* packet, int length) {
  if (!client || !packet || length < 1 || packet[0] != kHistoryPacketKind) return 0;
  const unsigned char* data = packet + 1;
  int size = length - 1;
  std::unique_ptr<unsigned char[]> inflated;
  const int unpacked = GzipUnpackedSize(data, size);
  // Deflate expands at most 1032:1, so a larger claim is a lie; the output
  // starts small and grows as it fills, so a lying trailer costs nothing.
  if (unpacked < 0 || unpacked > kMaxHistoryReply ||
      static_cast<long long>(unpacked) > static_cast<long long>(size) * kDeflateMostExpansion)
    return 0;
  if (unpacked > 0) {
    int capacity = std::min(unpacked, std::max(kFirstInflateCapacity, size * 8));
    for (;;) {
      inflated.reset(new (std::nothrow) unsigned char[static_cast<size_t>(capacity)]);
      if (!inflated) return 0;
      const int n = GzipInflateBounded(data, size, inflated.get(), capacity);
      if (n == kGzipOutputFull && capacity < unpacked) {
        capacity = capacity > unpacked / 4 ? unpacked : capacity * 4;
        continue;
      }
      if (n != unpacked) return 0;
      break;
    }
    data = inflated.get();
    size = unpacked;
  }
  if (size < kHistoryHeaderSize) return 0;
  client->replyByte0 = data[0];
  client->replyType = data[1];
  client->replySequence = static_cast<uint16_t>(data[2] << 8 | data[3]);
  HistoryReply* record = nullptr;
  if (client->replyType == 8) record = &client->barReply;
  if (client->replyType == 1) record = &client->listReplies[0];
  if (client->replyType == 2) record = &client->listReplies[1];
  if (!record) return 0;
  ReplyReader body(data + kHistoryHeaderSize, size - kHistoryHeaderSize);
  DecodeReplyBody(&body, client->replyType, record);
  HistoryReplyCallback callback;
  void* owner;
  {
    std::lock_guard<std::mutex> hold(client->sendLock);
    callback = client->replyCallback;
    owner = client->replyOwner;
  }
  if (callback && owner) callback(owner, record);
  return 1;
}

void SetHistoryTransportForTesting(HistoryClient* client, QuoteTransport* transport) {
  client->transport = transport ? transport : FrameQuoteTransport();
}
