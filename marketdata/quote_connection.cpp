#include "marketdata/quote_connection.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/number_codecs.h"
#include "foundation/string_helpers.h"
#include "marketdata/quote_requests.h"
#include "marketdata/quote_transport.h"

namespace {

constexpr char kAnswerPrefix[] = "zuzurariv";
constexpr int kAddressWork = 1024;

void SendAuthAnswer(QuoteEngine* engine, const unsigned char* payload) {
  engine->state = kQuoteStateAnswerSent;
  unsigned char answer[kAuthAnswerSize] = {};
  ComputeAuthAnswer(payload + 1, answer);
  PackInt64BigEndian(engine->userNumber, answer + 33);
  std::memcpy(answer + 41, engine->token, 16);
  engine->transport->Send(engine->connectionId.load(), reinterpret_cast<const char*>(answer), kAuthAnswerSize);
}

void HandleAuthResult(QuoteEngine* engine, const unsigned char* payload) {
  int32_t code = static_cast<int32_t>(ReadUInt32BigEndian(payload, 1));
  switch (code) {
    case -1:
      DebugPrintf("\n连接成功");
      engine->state = kQuoteStateReady;
      RequestMarketInfo(engine);
      return;
    case -16:
      RaiseOwnerEvent(engine, kQuoteEventResultMinus16, nullptr, 0);
      return;
    case -15:
      RaiseOwnerEvent(engine, kQuoteEventResultMinus15, nullptr, 0);
      return;
    case -14:
      RaiseOwnerEvent(engine, kQuoteEventResultMinus14, nullptr, 0);
      return;
    default:
      return;  // unknown codes change nothing
  }
}

// Copies at most size - 1 bytes of text and a terminating zero.
void CopyBounded(char* out, size_t size, const char* text) {
  size_t n = strnlen(text, size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

bool IsLowerHex32(const char* text) {
  for (int i = 0; i < 32; ++i) {
    char c = text[i];
    bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    if (!digit) return false;
  }
  return text[32] == '\0';
}

}  // namespace

void ComputeAuthAnswer(const unsigned char* key, unsigned char* answer) {
  answer[0] = 4;
  for (int i = 0; i < 16; ++i) {
    unsigned a = key[i];
    unsigned b = i < 9 ? static_cast<unsigned char>(kAnswerPrefix[i]) : key[16 + (i - 9)];
    unsigned product = a * b;
    answer[1 + 2 * i] = static_cast<unsigned char>(product >> 8);
    answer[2 + 2 * i] = static_cast<unsigned char>(product & 0xFF);
  }
}

void RequestMarketInfo(QuoteEngine* engine) {
  QuoteBuildGuard build(engine);
  BeginQuoteRequest(engine, 3, 0, 0);
  FinishQuoteRequest(engine);
  engine->transport->Send(engine->connectionId.load(),
                          reinterpret_cast<const char*>(engine->sendBuffer) + kFrameHeadSize,
                          engine->sendLength - kFrameHeadSize);
  engine->state = kQuoteStateMarketInfoAsked;
}

void OnQuoteConnectionState(void* user, int code) {
  auto* engine = static_cast<QuoteEngine*>(user);
  switch (code) {
    case kConnectionUp:
      engine->state = kQuoteStateKeyAwaited;
      break;
    case kConnectionClosed:
      engine->state = kQuoteStateKeyAwaited;
      RaiseOwnerEvent(engine, kQuoteEventClosed, nullptr, 0);
      break;
    case kConnectionConnectFailed:
    case kConnectionFailed:
      engine->state = kQuoteStateKeyAwaited;
      RaiseOwnerEvent(engine, kQuoteEventConnectFailed, nullptr, 0);
      break;
    default:
      break;  // thread not started, empty frame: nothing
  }
}

void OnQuoteFrame(void* user, const char* frame, int length) {
  auto* engine = static_cast<QuoteEngine*>(user);
  if (!frame || length < kFrameHeadSize) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(frame);
  const unsigned char* payload = bytes + kFrameHeadSize;
  const int payloadLength = length - kFrameHeadSize;
  switch (engine->state.load()) {
    case kQuoteStateKeyAwaited:
      if (payloadLength < kKeyMessageSize) {
        DebugPrintf("\n密钥过短 (%d)", payloadLength);
        return;
      }
      DebugPrintf("\n收到密钥");
      SendAuthAnswer(engine, payload);
      return;
    case kQuoteStateAnswerSent:
      if (payloadLength < kAuthResultSize) {
        DebugPrintf("\n认证应答过短 (%d)", payloadLength);
        return;
      }
      DebugPrintf("\n收到认证应答");
      HandleAuthResult(engine, payload);
      return;
    case kQuoteStateMarketInfoAsked:
      WalkQuotePackets(engine, bytes, length);
      engine->transport->Send(engine->connectionId.load(), nullptr, 0);
      engine->state = kQuoteStateReady;
      engine->transport->SetKeepAlive(engine->connectionId.load(), 1);
      RaiseOwnerEvent(engine, kQuoteEventReady, nullptr, 0);
      return;
    case kQuoteStateReady:
      WalkQuotePackets(engine, bytes, length);
      return;
    default:
      return;
  }
}

void ConnectQuoteServer(QuoteEngine* engine, const char* host, int port, const char* address) {
  if (!host || port == 0 || !address) return;
  char work[kAddressWork] = {};
  CopyBounded(work, sizeof work, address);
  AppendSessionParams(work, sizeof work);
  CopyBounded(engine->serviceAddress, sizeof engine->serviceAddress, work);

  QuoteTransport* transport = engine->transport;
  transport->Close(engine->connectionId.load());
  int id = transport->Create();
  engine->connectionId = id;
  transport->SetCallbacks(id, OnQuoteConnectionState, engine);
  transport->SetDataCallback(id, OnQuoteFrame, engine);
  transport->SetHost(id, host, port);
  transport->SetProxy(id, MakeProxyString());
  transport->Start(id);
  FlushOwnerEvents(engine);
}

void SetQuoteEventHandler(QuoteEngine* engine, QuoteEventHandler handler, void* ownerWindow) {
  std::lock_guard<std::mutex> hold(engine->eventLock);
  engine->ownerWindow = ownerWindow;
  engine->eventHandler = handler;
}

void SetQuoteCredentials(QuoteEngine* engine, const char* userNumberText, const char* tokenText) {
  if (userNumberText) engine->userNumber = std::strtoll(userNumberText, nullptr, 10);
  std::memset(engine->token, 0, sizeof engine->token);
  std::memset(engine->tokenText, 0, sizeof engine->tokenText);
  if (!tokenText) return;
  if (strnlen(tokenText, 33) != 32 || !IsLowerHex32(tokenText)) {
    DebugPrintf("\nSetQuoteCredentials: token is not 32 lower-case hex digits");
    return;
  }
  std::memcpy(engine->tokenText, tokenText, 32);
  ParseLowerHex(tokenText, 32, engine->token, 16);
}

void CloseQuoteConnection(QuoteEngine* engine) { engine->transport->Close(engine->connectionId.load()); }
