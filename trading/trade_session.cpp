#include "trading/trade_session.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/server_directory.h"
#include "trading/trade_key.h"

namespace {

constexpr int kSessionBytes1 = 23;  // offset, 25 bytes
constexpr int kSessionBytes1Size = 25;
constexpr int kSessionBytes2 = 58;  // offset, 17 bytes
constexpr int kSessionBytes2Size = 17;

// Writes text and its zero at header + offset.
void PutText(BYTE* header, int offset, const char* text) {
  memcpy(header + offset, text, strlen(text) + 1);
}

// "%04d" and a zero into 5 bytes at header + offset; value 0 to 9999.
void PutFourDigits(BYTE* header, int offset, int value) {
  char text[8];
  snprintf(text, sizeof(text), "%04d", value);
  memcpy(header + offset, text, 5);
}

// Decimal value of 1 to 4 digits at bytes, ending at a zero or after the
// fourth byte; -1 for anything else.
int ReadFourDigits(const BYTE* bytes) {
  int value = 0;
  int digits = 0;
  for (; digits < 4 && bytes[digits] != 0; ++digits) {
    if (bytes[digits] < '0' || bytes[digits] > '9') return -1;
    value = value * 10 + (bytes[digits] - '0');
  }
  return digits == 0 ? -1 : value;
}

int CipherBlockBytes(int plainLength) { return (plainLength + 7) / 8 * 8; }

// Serial numbers of pending records: SendTradeRequest finds its record again
// by this number, since the record may already be gone (a reply reported
// before StartHttpRequest returned).
std::atomic<unsigned> g_pendingSerial{0};

// Removes and returns the pending record for the pointer (reply path) or the
// id (abandon); null when it is no longer registered. Caller holds the lock.
std::unique_ptr<TradePendingRequest> TakePending(TradeSession* session, const TradePendingRequest* record,
                                                 int id) {
  for (auto it = session->pending.begin(); it != session->pending.end(); ++it) {
    if ((record != nullptr && it->get() == record) || (id > 0 && (*it)->id == id)) {
      std::unique_ptr<TradePendingRequest> taken = std::move(*it);
      session->pending.erase(it);
      return taken;
    }
  }
  return nullptr;
}

void ResetSessionBytes(BYTE* header) {
  memset(header + kSessionBytes1, 0, kSessionBytes1Size);
  memcpy(header + kSessionBytes1, "00000000000", 11);
  memset(header + kSessionBytes2, 0, kSessionBytes2Size);
}

// Fills the table of the reply's kind on "0000". Caller holds the lock.
void FillReplyTable(TradeSession* session, const TradePendingRequest& pending, const TradeReply& reply) {
  if (strcmp(reply.errorCode, "0000") != 0) return;
  switch (pending.kind) {
    case kTradeKindLogin:
      ParseLoginInfo(&session->loginInfo, reply.records);
      break;
    case kTradeKindCaptcha:
      ParseCaptchaText(session->captchaText, reply.records);
      break;
    case kTradeKindBankList:
      ParseBankList(&session->bankList, reply.records);
      break;
    case kTradeKindOrderInfo:
      ParseOrderInfo(&session->orderInfo, reply.records);
      break;
    case kTradeKindPasswordChange:
      // Later requests must carry the password the server now expects.
      CopyTradeText(session->password, sizeof(session->password), pending.newPassword);
      break;
    default:
      break;
  }
}

}  // namespace

void FreeTradeReply(TradeReply* reply) {
  if (reply == nullptr) return;
  FreeRecordList(&reply->records);
  delete reply;
}

void MakeTradeHeaderTemplate(BYTE* header) {
  memset(header, 0, kTradeHeaderSize);
  PutText(header, 0, "SLUTF8");
  PutText(header, 7, "13");
  PutText(header, 10, "C");
  PutText(header, 12, "R");
  PutText(header, 14, "0");
  PutText(header, 16, "000000");
  ResetSessionBytes(header);
}

TradeSession* CreateTradeSession() {
  auto* session = new TradeSession;
  MakeTradeHeaderTemplate(session->headerTemplate);
  session->requestBuffer = static_cast<BYTE*>(calloc(kTradeRequestBufferSize, 1));
  BlowfishSetKey(&session->cipher, 1, reinterpret_cast<const BYTE*>(kTradeCipherKey), kTradeCipherKeyLength);
  CopyTradeText(session->saved.tradeCode, sizeof(session->saved.tradeCode), "000000");
  CopyTradeText(session->fileName, sizeof(session->fileName), "TradeUser.data");
  return session;
}

void DestroyTradeSession(TradeSession* session) {
  if (session == nullptr) return;
  for (;;) {
    int id = 0;
    {
      std::lock_guard<std::mutex> guard(session->lock);
      if (session->pending.empty()) break;
      id = session->pending.front()->id;
      if (id <= 0) {  // still being started: nothing to abandon yet
        session->pending.pop_front();
        continue;
      }
    }
    AbandonTradeRequest(session, id);
  }
  free(session->requestBuffer);
  delete session;
}

int SetTradeAddress(TradeSession* session, const char* address) {
  if (session == nullptr || address == nullptr || address[0] == 0) return 0;
  if (strnlen(address, kTradeAddressSize) >= static_cast<size_t>(kTradeAddressSize)) {
    DebugPrintf("SetTradeAddress: address longer than %d bytes refused\n", kTradeAddressSize - 1);
    return 0;
  }
  std::lock_guard<std::mutex> guard(session->lock);
  memcpy(session->tradeAddress, address, strlen(address) + 1);
  return 1;
}

int LoadTradeAddressFromServerList(TradeSession* session) {
  char* address = ChooseServer("PCTrade", 0);
  int result = SetTradeAddress(session, address);
  free(address);
  return result;
}

void ClearTradeLogin(TradeSession* session) {
  if (session == nullptr) return;
  std::lock_guard<std::mutex> guard(session->lock);
  session->loggedIn = false;
  memset(&session->loginInfo, 0, sizeof(session->loginInfo));
  memset(&session->bankList, 0, sizeof(session->bankList));
  memset(&session->orderInfo, 0, sizeof(session->orderInfo));
  memset(session->captchaText, 0, sizeof(session->captchaText));
  memset(session->lastReplyHeader, 0, sizeof(session->lastReplyHeader));
  memset(session->errorCode, 0, sizeof(session->errorCode));
  memset(session->message, 0, sizeof(session->message));
  session->pageState = kTradePageOnly;
  ResetSessionBytes(session->headerTemplate);
}

int PackTradeText(BYTE* plain, int capacity, const char* text, int* length) {
  if (text == nullptr) text = "";
  size_t size = strlen(text) + 1;
  if (*length < 0 || size > static_cast<size_t>(capacity - *length) || *length > capacity) return 0;
  memcpy(plain + *length, text, size);
  *length += static_cast<int>(size);
  return 1;
}

int PackTradeNumber(BYTE* plain, int capacity, int number, int* length) {
  char text[16];
  snprintf(text, sizeof(text), "%d", number);
  return PackTradeText(plain, capacity, text, length);
}

int PackTradeRecordEnd(BYTE* plain, int capacity, int* length) {
  if (*length < 0 || *length >= capacity) return 0;
  plain[*length] = 0x01;
  *length += 1;
  return 1;
}

int FillTradeHeader(TradeSession* session, BYTE* destination, const char* code, int page, int bodyLength) {
  if (code == nullptr || strlen(code) != 2 || code[0] < '0' || code[0] > '9' || code[1] < '0' || code[1] > '9') return 0;
  if (page < 0 || page > 9999 || bodyLength < 0 || bodyLength > kTradeMaxBodyLength) return 0;
  BYTE* header = session->headerTemplate;
  header[48] = static_cast<BYTE>(code[0]);
  header[49] = static_cast<BYTE>(code[1]);
  PutFourDigits(header, 51, page);
  PutFourDigits(header, 75, bodyLength);
  memcpy(destination, header, kTradeHeaderSize);
  return 1;
}

int EncodeTradeRequest(const BlowfishContext* key, const BYTE* plain, int plainLength, BYTE* out,
                       int outCapacity) {
  if (key == nullptr || plain == nullptr || out == nullptr) return -1;
  if (plainLength < 1 || plainLength > kTradeMaxPlainLength) return -1;
  int sent = 2 + 3 + CipherBlockBytes(plainLength);
  if (outCapacity < sent) return -1;
  BlowfishContext cipher = *key;  // the direction byte is this call's own
  int written = BlowfishEncryptBuffer(&cipher, plain, plainLength, 0, plainLength, out + 2, outCapacity - 2);
  if (written < 0) return -1;
  out[0] = '|';
  out[1] = '|';
  return written + 2;
}

void FreeTradeFrame(TradeFrame* frame) {
  if (frame == nullptr) return;
  free(frame->body);
  frame->body = nullptr;
  frame->bodyLength = 0;
  frame->plainLength = 0;
}

int DecodeTradeFrame(const BlowfishContext* key, const BYTE* bytes, int length, TradeFrame* frame) {
  if (key == nullptr || bytes == nullptr || frame == nullptr) return 0;
  if (length < 5 + kTradeHeaderSize) {
    DebugPrintf("DecodeTradeFrame: %d bytes cannot hold a header\n", length);
    return 0;
  }
  int plainLength = bytes[3] | (bytes[4] << 8);
  int blockBytes = CipherBlockBytes(plainLength);
  if (5 + blockBytes > length) {
    DebugPrintf("DecodeTradeFrame: plain length %d needs more than the %d bytes received\n", plainLength, length);
    return 0;
  }
  if (plainLength < kTradeHeaderSize) {
    DebugPrintf("DecodeTradeFrame: plain length %d is under the header size\n", plainLength);
    return 0;
  }
  BYTE* plain = static_cast<BYTE*>(calloc(static_cast<size_t>(blockBytes) + 1, 1));
  if (plain == nullptr) return 0;
  BlowfishContext cipher = *key;  // the direction byte is this call's own
  if (BlowfishDecryptBuffer(&cipher, bytes + 2, length - 2, plain, blockBytes) != plainLength) {
    free(plain);
    return 0;
  }
  int bodyLength = ReadFourDigits(plain + 75);
  if (bodyLength < 0 || bodyLength > plainLength - kTradeHeaderSize) {
    DebugPrintf("DecodeTradeFrame: body length field does not fit the plain length %d\n", plainLength);
    free(plain);
    return 0;
  }
  FreeTradeFrame(frame);
  memcpy(frame->header, plain, kTradeHeaderSize);
  frame->plainLength = plainLength;
  frame->bodyLength = bodyLength;
  frame->body = static_cast<BYTE*>(calloc(static_cast<size_t>(bodyLength) + 1, 1));
  if (frame->body == nullptr) {
    free(plain);
    frame->bodyLength = 0;
    return 0;
  }
  memcpy(frame->body, plain + kTradeHeaderSize, static_cast<size_t>(bodyLength));
  free(plain);
  return 1;
}

int ComputeTradePageState(int pageSent, const BYTE* replyHeader) {
  bool more = replyHeader[14] == '1' && replyHeader[15] == 0;
  if (pageSent > 1) return more ? kTradePageMiddle : kTradePageLast;
  return more ? kTradePageFirstOfMore : kTradePageOnly;
}

int UnpackTradeReply(const TradeFrame* frame, int pageSent, TradeReply* reply) {
  if (frame == nullptr || reply == nullptr || frame->body == nullptr || frame->bodyLength <= 0) return 0;
  // Fields end with 0x00 and records with 0x01: turn the field ends into 0x02
  // so that the body becomes one text to split at both.
  char* text = static_cast<char*>(calloc(static_cast<size_t>(frame->bodyLength) + 1, 1));
  if (text == nullptr) return 0;
  memcpy(text, frame->body, static_cast<size_t>(frame->bodyLength));
  ReplaceCharInPlace(text, frame->bodyLength, 0x00, 0x02);
  RecordList* records = SplitRecords(text, 0x01, 0x02);
  free(text);
  if (records == nullptr || records->fields == nullptr) {
    FreeRecordList(&records);
    return 0;
  }
  const StringList* first = records->fields;
  if (first->next == nullptr) {
    CopyTradeText(reply->errorCode, sizeof(reply->errorCode), "0001");
    CopyTradeText(reply->message, sizeof(reply->message), "后台返回数据错误");
  } else {
    CopyTradeText(reply->errorCode, sizeof(reply->errorCode), first->text);
    CopyTradeText(reply->message, sizeof(reply->message), first->next->text);
  }
  reply->pageState = ComputeTradePageState(pageSent, frame->header);
  reply->records = records;
  return 1;
}

int SendTradeRequest(TradeSession* session, const BYTE* buffer, int length,
                     std::unique_ptr<TradePendingRequest> pending) {
  if (session == nullptr || buffer == nullptr || length <= 0 || pending == nullptr) return 0;
  if (session->sendHookForTesting != nullptr) {
    return session->sendHookForTesting(session->sendHookContext, buffer, length, *pending);
  }
  char address[kTradeAddressSize];
  const bool orderInfoSlot = pending->orderInfoSlot;
  // Until StartHttpRequest returns, the record is known by a placeholder id
  // that no real id equals; its reply may come (and free it) before then.
  const int placeholder = -static_cast<int>(++g_pendingSerial & 0x3FFFFFFF) - 1;
  TradePendingRequest* record = pending.get();
  record->session = session;
  record->id = placeholder;
  {
    std::lock_guard<std::mutex> guard(session->lock);
    memcpy(address, session->tradeAddress, sizeof(address));
    if (address[0] == 0) {
      DebugPrintf("SendTradeRequest: no trade address\n");
      return 0;
    }
    session->pending.push_back(std::move(pending));
  }
  int id = StartHttpRequest(address, reinterpret_cast<const char*>(buffer), length, MakeProxyString(), OnTradeReply,
                            record);
  std::lock_guard<std::mutex> guard(session->lock);
  for (auto& entry : session->pending) {
    if (entry->id != placeholder) continue;
    entry->id = id;
    break;
  }
  if (orderInfoSlot) {
    session->orderInfoRequestId = id;
  } else {
    session->requestId = id;
  }
  return id;
}

void AbandonTradeRequest(TradeSession* session, int id) {
  if (session == nullptr || id <= 0) return;
  AbandonHttpRequest(id);  // after this no callback of id begins or runs
  std::unique_ptr<TradePendingRequest> taken;
  std::lock_guard<std::mutex> guard(session->lock);
  taken = TakePending(session, nullptr, id);
  if (session->requestId == id) session->requestId = 0;
  if (session->orderInfoRequestId == id) session->orderInfoRequestId = 0;
}

void OnTradeReply(HttpRequest* request, void* user, const char* body, int length, int status) {
  if (status == kHttpProgress) return;  // progress is not the owner's business
  auto* record = static_cast<TradePendingRequest*>(user);
  if (record == nullptr) return;
  TradeSession* session = record->session;
  std::unique_ptr<TradePendingRequest> pending;
  {
    std::lock_guard<std::mutex> guard(session->lock);
    pending = TakePending(session, record, 0);
  }
  if (pending == nullptr) return;  // abandoned meanwhile

  auto* reply = new TradeReply;
  reply->requestId = request != nullptr ? request->id : pending->id;
  reply->kind = pending->kind;
  reply->page = pending->page;
  if (status == kHttpCompleted) {
    TradeFrame frame;
    if (body == nullptr || length <= 0) {
      DebugPrintf("OnTradeReply: empty reply to request %d reported as failed\n", reply->requestId);
      status = kHttpFailed;
    } else if (!DecodeTradeFrame(&session->cipher, reinterpret_cast<const BYTE*>(body), length, &frame)) {
      status = kHttpFailed;
    } else {
      std::lock_guard<std::mutex> guard(session->lock);
      memcpy(session->lastReplyHeader, frame.header, kTradeHeaderSize);
      memcpy(session->headerTemplate + kSessionBytes1, frame.header + kSessionBytes1, kSessionBytes1Size);
      memcpy(session->headerTemplate + kSessionBytes2, frame.header + kSessionBytes2, kSessionBytes2Size);
    }
    if (status == kHttpCompleted && !UnpackTradeReply(&frame, pending->page, reply)) {
      DebugPrintf("OnTradeReply: reply to request %d holds no record\n", reply->requestId);
      status = kHttpFailed;
    }
    if (status == kHttpCompleted) {
      std::lock_guard<std::mutex> guard(session->lock);
      memcpy(session->errorCode, reply->errorCode, sizeof(session->errorCode));
      memcpy(session->message, reply->message, sizeof(session->message));
      session->pageState = reply->pageState;
      FillReplyTable(session, *pending, *reply);
    }
    FreeTradeFrame(&frame);
  }
  if (pending->notify == nullptr) {
    FreeTradeReply(reply);
    return;
  }
  pending->notify(pending->user, status, reply);
}

void GetTradeLoginInfo(TradeSession* session, TradeLoginInfo* out) {
  std::lock_guard<std::mutex> guard(session->lock);
  *out = session->loginInfo;
}

void GetTradeBankList(TradeSession* session, BankList* out) {
  std::lock_guard<std::mutex> guard(session->lock);
  *out = session->bankList;
}

void GetTradeOrderInfo(TradeSession* session, OrderInfo* out) {
  std::lock_guard<std::mutex> guard(session->lock);
  *out = session->orderInfo;
}

void GetTradeCaptcha(TradeSession* session, char* out) {
  std::lock_guard<std::mutex> guard(session->lock);
  memcpy(out, session->captchaText, kTradeCaptchaSize);
}

void GetTradePassword(TradeSession* session, char* out) {
  std::lock_guard<std::mutex> guard(session->lock);
  memcpy(out, session->password, sizeof(session->password));
}
