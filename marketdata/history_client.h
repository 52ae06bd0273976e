// History-data client: the "DownCenter" connection that downloads day bars,
// and the two local day stores (data\shDay.data for market 1,
// data\szDay.data for every other market).
//
// Connection states (HistoryClient::state) and the step that makes each:
//   0 waiting for the key   <- transport "connected", "closed" or an error
//   1 answer sent           <- a key frame (24+ payload bytes) in state 0
//   2 ready (owner event 0) <- result code -1 in state 1
// Result codes -16/-15/-14 raise owner events 4/5/6. In state 2 every frame
// is walked as the quote connection walks its frames, each reply packet
// dispatched, and then answered with one empty frame (no keep-alive).
// Transport events: closed -> event 7; connect failed or error -> event 1.
//
// Request packet (one data frame's payload): 0A 01 type u16-sequence body;
// sequences count from 100. Type 7 has no body; type 8: i64 list id, u8 kind,
// i32 count, i32 value x3, u8 step (1 summary, 2 bars).
//
// Reply packet: 0A, then (4-byte header: byte, type, u16 sequence; body)
// plain or gzip. Bodies of types 1, 2 and 8:
//   sub-kind 1: i64 value, i32 total
//   sub-kind 2: i32 status (-1: end, nothing follows); type 8: i64 value;
//               i32 m; m stock records: key(33), i32 n, n bars of 9
//               var-ints (fields 0-7 and 10), each a delta to the previous
//               bar of the same stock.
// Replies are matched by type only; other types and kinds are ignored.
// Counts are clamped to what the body can hold; a short record keeps the
// bars decoded whole.
//
// Threads: replies and the reply callback run on the connection's thread.
// StoreHistoryBars and ReadStoredDayBars run on the stock page's threads and
// work under the store's lock (see day_store.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "marketdata/day_bar.h"
#include "marketdata/day_store.h"
#include "marketdata/quote_engine.h"

class QuoteTransport;

constexpr int kHistoryFirstSequence = 100;
constexpr uint8_t kHistoryPacketKind = 10;

// One stock of a reply: its key and its bars (owned by the reply record).
struct HistoryStockRecord {
  StockKey key;
  int32_t barCount;
  DayBar* bars;              // new[]; freed with the record's stock array
};

// A reply record (one for type 1, one for type 2, one for type 8).
struct HistoryReply {
  uint8_t type;              // 1, 2 or 8
  uint8_t subKind;           // 1 summary, 2 bars
  int64_t value;             // summary: i64 at offset 1
  int32_t total;             // summary: i32 at offset 9
  int64_t status;            // bars: the sign-extended i32 status
  int64_t position;          // type-8 bars: i64 at offset 5
  int32_t stockCount;        // stocks at stocks
  HistoryStockRecord* stocks;  // new[]; owned by the record
};

// Reply callback: callback(owner, reply) on the connection's thread, for
// every reply of types 1, 2 and 8 after the last RequestHistoryBars.
typedef void (*HistoryReplyCallback)(void* owner, HistoryReply* reply);

struct HistoryClient {
  // Header fields of the last request and reply.
  uint8_t requestVersion = 1;
  uint8_t requestType = 0;
  uint16_t requestSequence = 0;
  uint8_t replyByte0 = 0;
  uint8_t replyType = 0;
  uint16_t replySequence = 0;

  HistoryReply barReply{};       // type 8
  HistoryReply listReplies[2]{}; // types 1 and 2

  std::vector<unsigned char> sendBuffer;  // one frame (under sendLock)
  std::mutex sendLock;

  std::atomic<int32_t> connectionId{-1};  // written by the owner's thread
  std::atomic<int32_t> state{0};          // connection thread (0, 1, 2)
  int64_t userNumber = 0;
  unsigned char token[32] = {};  // 16 bytes used
  uint16_t sequenceCounter = kHistoryFirstSequence;  // under sendLock

  DayStore* shStore = nullptr;   // data\shDay.data (market 1)
  DayStore* szStore = nullptr;   // data\szDay.data (other markets)

  void* ownerWindow = nullptr;
  QuoteEventHandler eventHandler = nullptr;
  void* replyOwner = nullptr;                 // under sendLock
  HistoryReplyCallback replyCallback = nullptr;  // under sendLock

  std::mutex copyLock;           // guards storedCopy
  std::vector<DayBar> storedCopy;  // the last ReadStoredDayBars series

  QuoteTransport* transport = nullptr;  // the framed TCP transport or a test fake
};

// A client with sequence 100, its send buffer and both stores opened
// (files created when missing); null when out of memory. Freed with
// FreeHistoryClient.
HistoryClient* CreateHistoryClient();
// Closes the connection and both stores and frees everything. Null allowed.
void FreeHistoryClient(HistoryClient* client);

void SetHistoryEventHandler(HistoryClient* client, QuoteEventHandler handler, void* ownerWindow);
// As SetQuoteCredentials: decimal user number (null keeps it); token from 32
// lower-case hexadecimal digits, zero otherwise.
void SetHistoryCredentials(HistoryClient* client, const char* userNumberText, const char* tokenText);
// Nothing when host is null or port is 0; otherwise closes the previous
// connection and starts a new one to host:port with the configured proxy.
void ConnectHistoryServer(HistoryClient* client, const char* host, int port);
void CloseHistoryConnection(HistoryClient* client);

// Type 7 (no body). Sent whatever the connection state.
void CancelHistoryRequest(HistoryClient* client);
// Type 8 with the 26-byte body; then callback and owner receive every later
// reply. Returns the sequence number used.
int RequestHistoryBars(HistoryClient* client, uint32_t listLow, uint32_t listHigh, int kind, int count, int value1,
                       int value2, int value3, int step, HistoryReplyCallback callback, void* owner);

// The store of a market: shStore for 1, szStore for any other.
DayStore* HistoryStoreFor(HistoryClient* client, int market);

// Under the store's lock: merges the bars, writes the directory and copies
// the stock's whole series into area (bars, barCount and end set to its
// length, first 0). Nothing when code is null or empty or area is null.
void StoreHistoryBars(HistoryClient* client, const char* code, int market, const DayBar* bars, int count,
                      KLineArea* area);

// A copy of the stock's whole stored series, owned by the client and
// replaced by the next call; null and *count 0 for a null or empty code or a
// stock that is not stored.
const DayBar* ReadStoredDayBars(HistoryClient* client, const char* code, int market, int* count);

// The span of the stock's stored series, read under the client's lock: the
// bar count (the return value, 0 when nothing is stored) and the packed times
// of the oldest and newest bars (0 when nothing is stored). The client's
// buffer is not handed out.
int StoredDayBarSpan(HistoryClient* client, const char* code, int market, uint32_t* oldest, uint32_t* newest);

// Transport callbacks (user data: the client).
void OnHistoryConnectionState(void* client, int code);
void OnHistoryFrame(void* client, const char* frame, int length);
// Dispatches one reply packet (kind byte and the rest). Returns 1 when a
// record was filled, else 0.
int DispatchHistoryReply(HistoryClient* client, const unsigned char* packet, int length);

// Tests: use transport in place of the framed TCP one (null restores it).
void SetHistoryTransportForTesting(HistoryClient* client, QuoteTransport* transport);
