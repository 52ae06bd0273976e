// Request framing, pending requests and reply dispatch.
//
// Request packet (payload of one data frame; big-endian):
//   kind (2, or 0x33 for the news marks) | header: flag, u16 parameter, 5,
//   type, 1, u16 sequence (type 17: the operation) | body
// The send buffer holds the whole frame: u32 payload length, type byte 1,
// then the packet from byte 5 (kind at 5, header at 6..13, body from 14).
// Only the packet goes to the transport, which writes its own frame head.
//
// Building one request (BeginQuoteRequest .. SendQuoteRequest) happens under
// the engine's build lock; the builders take it themselves.
//
// Sequence numbers: the low 16 bits of a counter that starts at 1001 and is
// never reset. Drawing a number skips 0 (handle 0 means "nothing sent") and
// every number an active entry holds, so a new request never attaches to an
// old standing one after the counter wraps.
//
// PendingRequest life: registered (active 1, state 1) -> answered (state 2,
// any number of replies) -> cancelled (active 0) -> purged at the next reply.
// Entries are freed only by the purge (on the dispatching thread) and by
// ClearPendingRequests, so a FindPendingRequest result stays valid on the
// connection's thread for the length of one dispatch.
//
// Reply dispatch: one packet per frame. A packet shorter than 9 bytes (kind
// and header) is dropped; gzip packets are inflated with a bounded inflater
// into at most kMaxGzipReply bytes and dropped when the stream does not
// unpack to exactly the size its trailer announces. The body is handed to
// the decoder with its length (ReplyReader): a short body stops the decoding
// with what was decoded kept.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "marketdata/quote_engine.h"

class ReplyReader;

constexpr int kFrameHeadSize = 5;
constexpr int kRequestHeaderSize = 8;
constexpr int kBodyOffset = kFrameHeadSize + 1 + kRequestHeaderSize;  // 14
constexpr int kMinReplyPacket = 1 + kRequestHeaderSize;               // 9
constexpr int kMaxGzipReply = 64 * 1024 * 1024;
constexpr uint8_t kPacketKindQuote = 2;
constexpr uint8_t kPacketKindNews = 0x33;
constexpr uint8_t kPushControlType = 17;
constexpr uint16_t kPushCancelOne = 1;
constexpr uint16_t kPushRenewList = 2;

struct PendingRequest {
  uint8_t active;              // 1 registered, 0 cancelled (purged at the next reply)
  uint8_t type;                // request type (news marks: 2 or 3)
  uint8_t state;               // 1 sent or waiting, 2 answered at least once
  int32_t sequence;            // the header's u16 sequence number
  void* params;                // the slot's parameter record (engine-owned)
  void* area;                  // the slot's result area (engine-owned)
  unsigned char* frame;        // copy of the whole send-buffer frame (owned)
  int32_t frameLength;         // bytes at frame
  void* owner;                 // callback's first argument
  QuoteReplyCallback callback; // run only when both callback and owner are set
};

struct PendingList {
  int32_t count;                          // entries, active or not
  std::vector<PendingRequest*> entries;   // registration order (owned)
  std::recursive_mutex lock;
};

// Guard of a pending list's lock; raises the engine's queued owner events
// when the calling thread leaves its last engine lock.
class PendingListGuard {
 public:
  PendingListGuard(QuoteEngine* engine, PendingList* list);
  ~PendingListGuard();
  PendingListGuard(const PendingListGuard&) = delete;
  PendingListGuard& operator=(const PendingListGuard&) = delete;

 private:
  QuoteEngine* engine_;
  PendingList* list_;
};

// --- Sending ---

// Starts a request in the send buffer (caller holds the build lock): clears
// the buffer, frame type 1, packet kind 2, send length 14; header flag 2 when
// flag is non-zero else 1; type; parameter := its low byte; sequence := the
// next free sequence number. Returns the body position (sendBuffer + 14),
// valid until the buffer grows.
unsigned char* BeginQuoteRequest(QuoteEngine* engine, int type, int flag, int parameter);

// Draws the next sequence number (see the file comment). Any thread.
uint16_t NextQuoteSequence(QuoteEngine* engine);

// Writes the 8 header bytes from the engine's header fields at output.
void PackRequestHeader(unsigned char* output, const QuoteEngine* engine);

// Makes room for `extra` more bytes after the send length, growing the send
// buffer in 4,096-byte steps and keeping what is written. False when out of
// memory or the frame would pass 16 MB (nothing changed).
bool ReserveSendBytes(QuoteEngine* engine, int extra);

// Append to the body at the send length (growing the buffer); false when the
// buffer cannot grow (the request is then abandoned by its builder).
bool PutRequestU8(QuoteEngine* engine, uint32_t value);
bool PutRequestU16(QuoteEngine* engine, uint32_t value);
bool PutRequestU32(QuoteEngine* engine, uint32_t value);
bool PutRequestU64(QuoteEngine* engine, uint64_t value);
bool PutRequestBytes(QuoteEngine* engine, const void* bytes, int count);

// Packs the header at byte 6 and writes the frame length (send length - 5).
void FinishQuoteRequest(QuoteEngine* engine);

// When the connection is ready (state 4), sends the packet of the frame in
// buffer (length bytes from byte 0) through the transport; else nothing.
// Returns 0.
int SendQuoteRequest(QuoteEngine* engine, const unsigned char* buffer, int length);

// --- Pending list ---

PendingList* CreatePendingList();
// Frees every entry with its frame copy, and the list. Null is allowed.
void FreePendingList(PendingList* list);
// Under the lock: frees every entry and sets the count to 0.
void ClearPendingRequests(PendingList* list);

// Under the lock: the active entry with this sequence when there is one
// (returned unchanged); else a new entry (active 1, state 1, own copy of the
// frame) appended at the end. Null when out of memory.
PendingRequest* RegisterPendingRequest(PendingList* list, QuoteReplyCallback callback, void* owner,
                                       void* params, void* area, const unsigned char* frame,
                                       int frameLength, int sequence, int type);

// Under the lock: the first active entry with this sequence, or null.
PendingRequest* FindPendingRequest(PendingList* list, int sequence);
// Under the lock: the entry at index when it is active, else null.
PendingRequest* GetPendingRequestAt(PendingList* list, int index);
// Unlinks and frees the first entry with this sequence, active or not.
// The caller holds the lock.
void RemovePendingRequest(PendingList* list, int sequence);
// Under the lock: removes every inactive entry.
void PurgeInactiveRequests(PendingList* list);
// Under the lock: the number of active entries.
int CountActiveRequests(PendingList* list);

// Under the build and list locks: sends every active entry's stored frame
// again, in list order, with its own sequence number; state := 1.
void ResendPendingRequests(QuoteEngine* engine);

// Under the build and list locks: when an active entry has this sequence,
// sends the type-17 cancel (operation 1, body 00 01 and the handle) and marks
// the entry inactive. Nothing for handle 0 or an inactive handle.
void CancelQuoteRequest(QuoteEngine* engine, int handle);

// Under the build and list locks, when the list is not empty: sends the
// type-17 renew (operation 2, body: u16 count, count u16 sequences of the
// active entries, each of which gets active := activeValue).
void RenewPushRequests(QuoteEngine* engine, int activeValue);

// --- Receiving ---

// Splits a frame (as the transport delivers it, head included) into packets
// and dispatches each. A unit whose length runs past the frame stops the
// walk. Returns the bytes walked.
int WalkQuotePackets(QuoteEngine* engine, const unsigned char* frame, int frameLength);

// Dispatches one reply packet (kind byte, header, body; or kind and gzip).
// Returns 1 when the packet reached a decoder or a callback, 0 when dropped.
int DispatchQuoteReply(QuoteEngine* engine, const unsigned char* packet, int packetLength);

// --- Decoders ---

// A reply decoder: fills entry->area (entry may be null only for type 3)
// from the body; mode is reply byte 0 (1 complete, 2 update).
typedef void (*ReplyDecoder)(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body,
                             int mode, int replyType);

// Decoder table of packet kind 2 (index: reply type) and of kind 0x33.
// known[t] tells a type the dispatcher accepts; decoder[t] may be null while
// that decoder is not linked in (the callback still runs).
struct ReplyDecoderTable {
  bool known[256];
  ReplyDecoder decoder[256];
};
const ReplyDecoderTable& QuoteReplyDecoders();
const ReplyDecoderTable& NewsReplyDecoders();
// Tests: puts decoder in place for a known type of packet kind 2 or 0x33 and
// returns the previous one (null for an unknown type, nothing changed).
ReplyDecoder SetReplyDecoderForTesting(int kind, int type, ReplyDecoder decoder);

// The type-3 reply: decodes the market information into the latest table,
// renews and resends the standing requests when a market's date changed,
// and merges the latest table into the saved one.
void HandleMarketInfoReply(QuoteEngine* engine, ReplyReader* body);
