#include "marketdata/quote_requests.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/debug_trace.h"
#include "foundation/gzip_inflate.h"
#include "foundation/number_codecs.h"
#include "marketdata/bar_reply_handlers.h"
#include "marketdata/code_dictionary.h"
#include "marketdata/market_states.h"
#include "marketdata/minute_tick_reply_handlers.h"
#include "marketdata/quote_reply_handlers.h"
#include "marketdata/quote_transport.h"
#include "marketdata/reply_families.h"
#include "marketdata/reply_reader.h"

namespace {

constexpr int kSendGrowStep = 4096;
constexpr int kMaxSendFrame = 16 * 1024 * 1024;

void PutBigEndian(unsigned char* out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out[i] = static_cast<unsigned char>(value & 0xFF);
    value >>= 8;
  }
}

bool PutNumber(QuoteEngine* engine, uint64_t value, int bytes) {
  if (!ReserveSendBytes(engine, bytes)) return false;
  PutBigEndian(engine->sendBuffer + engine->sendLength, value, bytes);
  engine->sendLength += bytes;
  return true;
}

// True when an active entry of the list holds this sequence number.
bool SequenceInUse(PendingList* list, uint16_t sequence) {
  for (PendingRequest* entry : list->entries) {
    if (entry->active && entry->sequence == sequence) return true;
  }
  return false;
}

void FreeEntry(PendingRequest* entry) {
  std::free(entry->frame);
  delete entry;
}

// Sends a type-17 push-control request with the body already written.
void FinishPushControl(QuoteEngine* engine, uint16_t operation) {
  engine->headerSequence = operation;
  FinishQuoteRequest(engine);
  SendQuoteRequest(engine, engine->sendBuffer, engine->sendLength);
}

}  // namespace

PendingListGuard::PendingListGuard(QuoteEngine* engine, PendingList* list)
    : engine_(engine), list_(list) {
  list_->lock.lock();
  NoteEngineLockTaken();
}

PendingListGuard::~PendingListGuard() {
  list_->lock.unlock();
  NoteEngineLockReleased(engine_);
}

// --- Sending ---

uint16_t NextQuoteSequence(QuoteEngine* engine) {
  std::lock_guard<std::recursive_mutex> hold(engine->pending->lock);
  // At most 65,536 tries: a list holding every number is not possible in
  // practice (each entry keeps a frame), but the loop stays bounded anyway.
  for (int tries = 0; tries < 65536; ++tries) {
    uint16_t candidate = static_cast<uint16_t>(engine->sequenceCounter & 0xFFFF);
    ++engine->sequenceCounter;
    if (candidate != 0 && !SequenceInUse(engine->pending, candidate)) return candidate;
  }
  return static_cast<uint16_t>(engine->sequenceCounter++ & 0xFFFF);
}

unsigned char* BeginQuoteRequest(QuoteEngine* engine, int type, int flag, int parameter) {
  std::memset(engine->sendBuffer, 0, static_cast<size_t>(engine->sendCapacity));
  engine->sendBuffer[4] = 1;
  engine->sendBuffer[5] = kPacketKindQuote;
  engine->requestKind = kPacketKindQuote;
  engine->sendLength = kBodyOffset;
  engine->headerFlag = flag ? 2 : 1;
  engine->headerType = static_cast<uint8_t>(type);
  engine->headerParameter = static_cast<uint16_t>(parameter & 0xFF);
  engine->headerSequence = NextQuoteSequence(engine);
  return engine->sendBuffer + kBodyOffset;
}

void PackRequestHeader(unsigned char* output, const QuoteEngine* engine) {
  output[0] = engine->headerFlag;
  output[1] = static_cast<unsigned char>(engine->headerParameter >> 8);
  output[2] = static_cast<unsigned char>(engine->headerParameter & 0xFF);
  output[3] = engine->headerFive;
  output[4] = engine->headerType;
  output[5] = engine->headerOne;
  output[6] = static_cast<unsigned char>(engine->headerSequence >> 8);
  output[7] = static_cast<unsigned char>(engine->headerSequence & 0xFF);
}

bool ReserveSendBytes(QuoteEngine* engine, int extra) {
  if (extra < 0) return false;
  int64_t needed = static_cast<int64_t>(engine->sendLength) + extra;
  if (needed <= engine->sendCapacity) return true;
  if (needed > kMaxSendFrame) {
    DebugPrintf("\nrequest of %lld bytes refused", static_cast<long long>(needed));
    return false;
  }
  int64_t capacity = engine->sendCapacity;
  while (capacity < needed) capacity += kSendGrowStep;
  auto* grown = static_cast<unsigned char*>(std::realloc(engine->sendBuffer, static_cast<size_t>(capacity)));
  if (!grown) return false;
  std::memset(grown + engine->sendCapacity, 0, static_cast<size_t>(capacity - engine->sendCapacity));
  engine->sendBuffer = grown;
  engine->sendCapacity = static_cast<int32_t>(capacity);
  return true;
}

bool PutRequestU8(QuoteEngine* engine, uint32_t value) { return PutNumber(engine, value, 1); }
bool PutRequestU16(QuoteEngine* engine, uint32_t value) { return PutNumber(engine, value, 2); }
bool PutRequestU32(QuoteEngine* engine, uint32_t value) { return PutNumber(engine, value, 4); }
bool PutRequestU64(QuoteEngine* engine, uint64_t value) { return PutNumber(engine, value, 8); }

bool PutRequestBytes(QuoteEngine* engine, const void* bytes, int count) {
  if (count <= 0) return count == 0;
  if (!ReserveSendBytes(engine, count)) return false;
  std::memcpy(engine->sendBuffer + engine->sendLength, bytes, static_cast<size_t>(count));
  engine->sendLength += count;
  return true;
}

void FinishQuoteRequest(QuoteEngine* engine) {
  engine->sendBuffer[5] = engine->requestKind;
  PackRequestHeader(engine->sendBuffer + 6, engine);
  PutBigEndian(engine->sendBuffer, static_cast<uint32_t>(engine->sendLength - kFrameHeadSize), 4);
  engine->sendBuffer[4] = 1;
}

int SendQuoteRequest(QuoteEngine* engine, const unsigned char* buffer, int length) {
  if (engine->state.load() != kQuoteStateReady || length < kFrameHeadSize) return 0;
  engine->transport->Send(engine->connectionId.load(), reinterpret_cast<const char*>(buffer) + kFrameHeadSize,
                          length - kFrameHeadSize);
  return 0;
}

// --- Pending list ---

PendingList* CreatePendingList() { return new (std::nothrow) PendingList(); }

void ClearPendingRequests(PendingList* list) {
  std::lock_guard<std::recursive_mutex> hold(list->lock);
  for (PendingRequest* entry : list->entries) FreeEntry(entry);
  list->entries.clear();
  list->count = 0;
}

void FreePendingList(PendingList* list) {
  if (!list) return;
  ClearPendingRequests(list);
  delete list;
}

PendingRequest* RegisterPendingRequest(PendingList* list, QuoteReplyCallback callback, void* owner,
                                       void* params, void* area, const unsigned char* frame,
                                       int frameLength, int sequence, int type) {
  std::lock_guard<std::recursive_mutex> hold(list->lock);
  for (PendingRequest* entry : list->entries) {
    if (entry->active && entry->sequence == sequence) return entry;
  }
  auto* entry = new (std::nothrow) PendingRequest();
  if (!entry) return nullptr;
  if (frameLength > 0) {
    entry->frame = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(frameLength)));
    if (!entry->frame) {
      delete entry;
      return nullptr;
    }
    std::memcpy(entry->frame, frame, static_cast<size_t>(frameLength));
    entry->frameLength = frameLength;
  }
  entry->active = 1;
  entry->state = 1;
  entry->type = static_cast<uint8_t>(type);
  entry->sequence = sequence;
  entry->params = params;
  entry->area = area;
  entry->owner = owner;
  entry->callback = callback;
  assert(list->count == static_cast<int32_t>(list->entries.size()) && "count mirrors the entries");
  list->entries.push_back(entry);
  list->count = static_cast<int32_t>(list->entries.size());
  return entry;
}

PendingRequest* FindPendingRequest(PendingList* list, int sequence) {
  std::lock_guard<std::recursive_mutex> hold(list->lock);
  for (PendingRequest* entry : list->entries) {
    if (entry->active && entry->sequence == sequence) return entry;
  }
  return nullptr;
}

PendingRequest* GetPendingRequestAt(PendingList* list, int index) {
  std::lock_guard<std::recursive_mutex> hold(list->lock);
  if (index < 0 || index >= static_cast<int>(list->entries.size())) return nullptr;
  PendingRequest* entry = list->entries[static_cast<size_t>(index)];
  return entry->active ? entry : nullptr;
}

void RemovePendingRequest(PendingList* list, int sequence) {
  for (auto it = list->entries.begin(); it != list->entries.end(); ++it) {
    if ((*it)->sequence != sequence) continue;
    FreeEntry(*it);
    list->entries.erase(it);
    list->count = static_cast<int32_t>(list->entries.size());
    return;
  }
}

void PurgeInactiveRequests(PendingList* list) {
  std::lock_guard<std::recursive_mutex> hold(list->lock);
  size_t kept = 0;
  for (PendingRequest* entry : list->entries) {
    if (entry->active) {
      list->entries[kept++] = entry;
    } else {
      FreeEntry(entry);
    }
  }
  list->entries.resize(kept);
  list->count = static_cast<int32_t>(kept);
}

int CountActiveRequests(PendingList* list) {
  std::lock_guard<std::recursive_mutex> hold(list->lock);
  int count = 0;
  for (PendingRequest* entry : list->entries) count += entry->active ? 1 : 0;
  return count;
}

void ResendPendingRequests(QuoteEngine* engine) {
  QuoteBuildGuard build(engine);
  PendingListGuard pending(engine, engine->pending);
  for (PendingRequest* entry : engine->pending->entries) {
    if (!entry->active) continue;
    entry->state = 1;
    if (entry->frameLength > engine->sendCapacity) {
      engine->sendLength = 0;
      if (!ReserveSendBytes(engine, entry->frameLength)) continue;
    }
    std::memset(engine->sendBuffer, 0, static_cast<size_t>(engine->sendCapacity));
    std::memcpy(engine->sendBuffer, entry->frame, static_cast<size_t>(entry->frameLength));
    engine->sendLength = entry->frameLength;
    SendQuoteRequest(engine, engine->sendBuffer, entry->frameLength);
  }
}

void CancelQuoteRequest(QuoteEngine* engine, int handle) {
  if (handle == 0) return;
  QuoteBuildGuard build(engine);
  PendingListGuard pending(engine, engine->pending);
  PendingRequest* entry = FindPendingRequest(engine->pending, handle);
  if (!entry) return;
  BeginQuoteRequest(engine, kPushControlType, 0, 0);
  PutRequestU16(engine, 1);
  PutRequestU16(engine, static_cast<uint16_t>(handle));
  FinishPushControl(engine, kPushCancelOne);
  entry->active = 0;
}

void RenewPushRequests(QuoteEngine* engine, int activeValue) {
  QuoteBuildGuard build(engine);
  PendingListGuard pending(engine, engine->pending);
  PendingList* list = engine->pending;
  if (list->entries.empty()) return;
  BeginQuoteRequest(engine, kPushControlType, 0, 0);
  int countAt = engine->sendLength;
  PutRequestU16(engine, 0);
  uint16_t listed = 0;
  for (PendingRequest* entry : list->entries) {
    if (!entry->active) continue;
    if (!PutRequestU16(engine, static_cast<uint16_t>(entry->sequence))) return;
    entry->active = static_cast<uint8_t>(activeValue);
    ++listed;
  }
  // The count is the number of sequences listed, so the body always agrees
  // with itself even when inactive entries were not purged first.
  PutBigEndian(engine->sendBuffer + countAt, listed, 2);
  FinishPushControl(engine, kPushRenewList);
}

// --- Receiving ---

int WalkQuotePackets(QuoteEngine* engine, const unsigned char* frame, int frameLength) {
  int position = 0;
  while (frameLength - position >= kFrameHeadSize) {
    uint32_t n = ReadUInt32BigEndian(frame, position);
    if (n > static_cast<uint32_t>(frameLength - position - kFrameHeadSize)) {
      DebugPrintf("\nquote frame unit of %u bytes runs past the frame", n);
      break;
    }
    DispatchQuoteReply(engine, frame + position + kFrameHeadSize, static_cast<int>(n));
    position += static_cast<int>(n) + kFrameHeadSize;
  }
  return position;
}

namespace {

struct FreeDeleter {
  void operator()(unsigned char* p) const { std::free(p); }
};

// Replaces (data, length) by the inflated form when the data is gzip.
// False when the packet must be dropped.
bool UnpackGzip(const unsigned char** data, int* length, std::unique_ptr<unsigned char, FreeDeleter>* holder) {
  int size = GzipUnpackedSize(*data, *length);
  if (size == 0) return true;  // plain
  if (size < 0 || size > kMaxGzipReply) {
    DebugPrintf("\ngzip reply of announced size %d refused", size);
    return false;
  }
  auto* buffer = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(size) + 8, 1));
  if (!buffer) return false;
  holder->reset(buffer);
  int unpacked = GzipInflateBounded(*data, *length, buffer, size);
  if (unpacked != size) {
    DebugPrintf("\ngzip reply unpacks to %d bytes, its trailer says %d", unpacked, size);
    return false;
  }
  *data = buffer;
  *length = size;
  return true;
}

void ReportUnknownType(QuoteEngine* engine, PendingRequest* entry, const unsigned char* body, int bodyLength) {
  CancelQuoteRequest(engine, entry->sequence);
  RaiseOwnerEvent(engine, kQuoteEventUnknownReply, body, bodyLength);
}

}  // namespace

int DispatchQuoteReply(QuoteEngine* engine, const unsigned char* packet, int packetLength) {
  if (!packet || packetLength < kMinReplyPacket) return 0;
  const uint8_t kind = packet[0];
  if (kind != kPacketKindQuote && kind != kPacketKindNews) return 0;
  const unsigned char* data = packet + 1;
  int length = packetLength - 1;
  std::unique_ptr<unsigned char, FreeDeleter> inflated;
  if (!UnpackGzip(&data, &length, &inflated)) return 0;
  if (length < kRequestHeaderSize) return 0;

  engine->replyMode = data[0];
  engine->replyValue = static_cast<uint16_t>(data[1] << 8 | data[2]);
  engine->replyByte3 = data[3];
  engine->replyType = data[4];
  engine->replyByte5 = data[5];
  engine->replySequence = static_cast<uint16_t>(data[6] << 8 | data[7]);
  const unsigned char* body = data + kRequestHeaderSize;
  const int bodyLength = length - kRequestHeaderSize;
  const int mode = engine->replyMode;
  const int type = engine->replyType;

  PurgeInactiveRequests(engine->pending);
  PendingRequest* entry = FindPendingRequest(engine->pending, engine->replySequence);
  const bool marketInfo = kind == kPacketKindQuote && type == 3;
  if (!entry && !marketInfo) return 0;

  if (mode == 1 || mode == 2) {
    const ReplyDecoderTable& table = kind == kPacketKindNews ? NewsReplyDecoders() : QuoteReplyDecoders();
    if (marketInfo) {
      ReplyReader reader(body, bodyLength);
      HandleMarketInfoReply(engine, &reader);
      return 1;
    }
    if (!table.known[type]) {
      ReportUnknownType(engine, entry, body, bodyLength);
      return 1;
    }
    if (table.decoder[type] && ReplyFitsRequest(kind, entry->type, type)) {
      ReplyReader reader(body, bodyLength);
      table.decoder[type](engine, entry, &reader, mode, type);
    }
  }
  if (entry && entry->callback && entry->owner) entry->callback(entry->owner, entry);
  if (entry) {
    std::lock_guard<std::recursive_mutex> hold(engine->pending->lock);
    entry->state = 2;
  }
  return 1;
}

// --- Decoder tables ---

namespace {

// The reply types the dispatcher accepts on packet kind 2. Each decoder,
// when it is written, is entered here beside its type (table.decoder[t]);
// until then its replies still reach the request's callback.
ReplyDecoderTable MakeQuoteTable() {
  ReplyDecoderTable table{};
  const int known[] = {1,  3,  32, 33, 37, 38, 40, 41, 42, 43, 44, 45, 46, 48, 49, 50, 55, 60,
                       61, 62, 67, 68, 69, 70, 71, 80, 81, 83, 84, 90, 91, 92, 93, 95, 112, 113};
  for (int type : known) table.known[type] = true;
  AddQuoteRecordDecoders(&table);
  AddBarDecoders(&table);
  AddDictionaryDecoder(&table);
  AddMinuteTickDecoders(&table);
  return table;
}

ReplyDecoderTable MakeNewsTable() {
  ReplyDecoderTable table{};
  table.known[2] = true;
  table.known[3] = true;
  AddNewsDecoders(&table);
  return table;
}

}  // namespace

namespace {

ReplyDecoderTable& MutableTable(int kind) {
  static ReplyDecoderTable quote = MakeQuoteTable();
  static ReplyDecoderTable news = MakeNewsTable();
  return kind == kPacketKindNews ? news : quote;
}

}  // namespace

const ReplyDecoderTable& QuoteReplyDecoders() { return MutableTable(kPacketKindQuote); }

const ReplyDecoderTable& NewsReplyDecoders() { return MutableTable(kPacketKindNews); }

ReplyDecoder SetReplyDecoderForTesting(int kind, int type, ReplyDecoder decoder) {
  if (type < 0 || type > 255) return nullptr;
  ReplyDecoderTable& table = MutableTable(kind);
  if (!table.known[type]) return nullptr;
  ReplyDecoder previous = table.decoder[type];
  table.decoder[type] = decoder;
  return previous;
}

// --- Market information (type 3) ---

void HandleMarketInfoReply(QuoteEngine* engine, ReplyReader* body) {
  MarketStateTable& latest = engine->latestMarkets;
  DecodeMarketInfo(body, &latest);
  bool changed = false;
  for (int i = 0; i < latest.count && !changed; ++i) {
    for (int j = 0; j < engine->savedMarkets.count; ++j) {
      const MarketState& saved = engine->savedMarkets.entries[j];
      if (saved.id == latest.entries[i].id && saved.date != latest.entries[i].date) {
        changed = true;
        break;
      }
    }
  }
  if (changed) {
    RenewPushRequests(engine, 1);
    ResendPendingRequests(engine);
  }
  SaveMarketStates(engine);
  LoadMarketStates(engine);
}
