// QuoteEngine: the one context of the market-data client.
//
// The quote view creates it once (CreateQuoteEngine), lends the pointer to
// every page and frees it (FreeQuoteEngine) when it goes away. It holds the
// request header fields, the sequence counter and the send buffer, the
// pending-request list, and per request type a fixed number of slots: a
// parameter record that the builder fills and a result area that the reply's
// decoder fills. Slots are a convention between callers; the builders refuse
// a slot number outside the slot count instead of writing past the arrays.
//
// Threads and locks (order: buildLock, then the pending list's lock, then the
// transport's own locks inside Send):
//   - buildLock (recursive) is held from BeginQuoteRequest to
//     SendQuoteRequest, so the send buffer and the request header fields are
//     written by one request at a time, whichever thread builds it (the UI
//     thread, the connection thread on the ready and date-change paths and
//     on an unknown reply type, HTTP threads of the dictionary repair).
//   - the pending list's lock (recursive) guards the list: register, find,
//     cancel, resend, renew, purge, clear.
//   - owner events are queued and raised only once the raising thread holds
//     no engine lock (see RaiseOwnerEvent), so an owner that sends requests
//     or waits on the UI thread from its event function cannot deadlock
//     against a builder. They are delivered one at a time, in the order
//     raised, by whichever thread drains the queue (see FlushOwnerEvents).
//   - ownStockLock guards the watch-list file's read-modify-write and the
//     swap of the in-memory copy; readers take a snapshot (shared pointer)
//     and never see a copy freed under them.
//   - result areas and parameter records are written by the decoders on the
//     connection's thread and read by the callbacks right after; the pages
//     serialise their own slots (the slot convention).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "marketdata/result_areas.h"

class QuoteTransport;
struct PendingRequest;
struct PendingList;

// Slot counts per request type.
constexpr int kMinuteSlots = 9;
constexpr int kLatestBarsSlots = 9;
constexpr int kKLineSlots = 2;
constexpr int kStockFieldsSlots = 3;
constexpr int kTickSlots = 2;
constexpr int kStockListSlots = 3;
constexpr int kFieldTableSlots = 3;
constexpr int kQuoteListSlots = 4;
constexpr int kAlertRecordSlots = 2;
constexpr int kNewsMarkSlots = 2;
constexpr int kIndicatorWorkspaces = 9;

constexpr int kMaxFieldIds = 128;             // ids in one FieldIdList
constexpr int kInitialSendCapacity = 4096;    // send buffer at creation
constexpr int kInitialListCapacity = 4096;    // each stock-list slot's buffer
constexpr int kOwnStockEntrySize = 7;         // code (6) + market
constexpr int kMaxMarketStates = 256;
constexpr int kFirstSequence = 1001;

// Callback of a request: callback(owner, entry) on the connection's thread
// after every reply (complete or update) for the entry's sequence number.
typedef void (*QuoteReplyCallback)(void* owner, PendingRequest* entry);
// Owner event function: function(owner window, argument, event), event one of
// QuoteOwnerEvent. The argument is null except for kQuoteEventUnknownReply
// (the reply body after its header, valid during the call).
//
// Threads: the function runs on whichever thread drains the event queue: the
// connection's thread (handshake, replies, transport states), the thread
// that connects (when the connection's thread cannot start), or a thread
// that built or cancelled a request when the transport reported a failure
// during its send. Calls never overlap and come in the order the events were
// raised; no engine lock is held during a call. Windows post the event to
// their own thread.
typedef void (*QuoteEventHandler)(void* ownerWindow, const void* argument, int event);

// Owner events (the numbers are those the owner receives).
enum QuoteOwnerEvent : int {
  kQuoteEventReady = 0,            // handshake done and market info received
  kQuoteEventConnectFailed = 1,    // connect failed or the connection broke
  kQuoteEventUnknownReply = 3,     // a reply of a type no decoder knows
  kQuoteEventResultMinus16 = 4,    // authentication result -16
  kQuoteEventResultMinus15 = 5,    // authentication result -15
  kQuoteEventResultMinus14 = 6,    // authentication result -14
  kQuoteEventClosed = 7,           // the server closed the connection
};

// Connection states of QuoteEngine::state.
enum QuoteEngineState : int32_t {
  kQuoteStateKeyAwaited = 0,       // connected (or not), the server's key awaited
  kQuoteStateAnswerSent = 1,       // our answer sent, its result awaited
  kQuoteStateMarketInfoAsked = 3,  // authenticated, the type-3 reply awaited
  kQuoteStateReady = 4,            // requests go out
};

// A u16 count and up to kMaxFieldIds quote-field ids.
struct FieldIdList {
  uint16_t count;               // ids in use
  uint16_t ids[kMaxFieldIds];   // quote-field ids, in request order
};

// A count byte and up to N bytes.
template <int N>
struct ByteList {
  uint8_t count;       // bytes in use
  uint8_t bytes[N];    // the list
};

// A count byte and up to N (field id, value) byte pairs.
template <int N>
struct PairList {
  uint8_t count;         // pairs in use
  uint8_t pairs[N][2];   // (field id, value)
};

// Code fields: the 6-character code and a terminating zero, then the market.
struct CodeParams {
  char code[7];          // zero-terminated stock code
  uint8_t market;        // market id
};

struct MinuteParams {          // type 48
  CodeParams stock;
  uint16_t startMinute;        // 0xFFFF: all minutes
  int32_t value1;              // kept for the caller, not sent
  int32_t value2;              // kept for the caller, not sent
  ByteList<131> fields;        // default 1..8
};

struct LatestBarsParams {      // types 49, 91, 92
  CodeParams stock;
  uint8_t kind;                // bar kind (period) byte
  int32_t start;               // -1: newest
  uint16_t value;              // passed through
  uint16_t barCount;           // bars asked for
  ByteList<128> fields;        // bar field codes
  PairList<128> pairs;         // look-back wishes
};

struct KLineParams {           // type 68
  CodeParams stock;
  uint8_t period;              // period byte
  int32_t rangeStart;          // packed time of the newest stored bar, or 0
  int32_t rangeCount;          // bars, or 0 for "after start"
  ByteList<128> fields;        // default 1..8
};

struct StockFieldsParams {     // type 33
  CodeParams stock;
  FieldIdList fields;
};

struct TickParams {            // types 38, 80, 81, 83, 84
  CodeParams stock;
  int32_t start;
  uint16_t count;
};

struct FuturesTickParams {     // type 67
  CodeParams stock;
  int32_t start;
  uint16_t count;
  ByteList<129> fields;        // default 0..8
};

struct StockListParams {       // type 32
  uint16_t count;              // entries in the list buffer
  unsigned char* entries;      // 7-byte entries; owned by the engine
  int32_t capacity;            // bytes allocated at entries (per slot)
  FieldIdList fields;
};

struct RankingParams {         // type 41
  int64_t value;
  uint16_t rowCount;
};

struct FieldTableParams {      // types 43, 45, 46
  FieldIdList fields;
};

struct QuoteListParams {       // types 40, 42
  int32_t listLow;             // low half of the list id, or the category
  int32_t listHigh;            // high half of the list id
  int32_t start;
  uint16_t rowCount;
  uint16_t sortField;
  uint8_t order;               // 0 descending, 1 ascending
  FieldIdList fields;
  int32_t compactForm;         // 1: the reply carries short code entries
};

struct AlertRecordParams {     // type 62
  uint16_t listId;
  ByteList<128> text;          // the caller's bytes
  ByteList<128> fields;        // default 1..20
};

struct AlertQueryParams {      // type 61
  CodeParams stock;
  uint16_t value;
  ByteList<129> fields;        // default 1..20
};

struct NewsMarkParams {        // kind 0x33, requests 2 and 3
  CodeParams stock;
  int64_t first;               // the day (request 2) or the first date
  int64_t last;                // the last date (request 3)
};

struct StockPoolParams {       // type 69
  uint16_t tableId;
  uint8_t one;                 // always 1
  uint16_t value;
  uint8_t direction;
};

struct F10ItemParams {         // type 71
  CodeParams stock;
  uint8_t item;
};

struct DictionaryVersion {     // type 1
  uint16_t length;             // bytes of text
  char* text;                  // private copy, owned by the engine (may be null)
};

// Market states as the type-3 reply announces them.
struct MarketState {
  uint8_t id;                  // market id
  int32_t date;                // trading date, yyyymmdd
  uint8_t state;               // state byte (stored, not interpreted)
};
struct MarketStateTable {
  int32_t count;               // entries in use (at most kMaxMarketStates)
  MarketState entries[kMaxMarketStates];
};

// Trading sessions per market (filled by the trading-hours loader).
struct TradingHoursEntry {
  int32_t firstOpen, firstClose, secondOpen, secondClose, thirdOpen, thirdClose;
  int32_t marketId;
  int32_t midScale;
  int32_t minutesPerDay;
};
struct TradingHoursTable {
  int32_t maxMinutes;
  int32_t count;
  TradingHoursEntry entries[32];
};

// The in-memory copy of the watch-list file: its bytes, whole entries first.
struct OwnStockList {
  std::string bytes;           // the file's bytes (at least one whole entry)
  int32_t EntryCount() const { return static_cast<int32_t>(bytes.size() / kOwnStockEntrySize); }
};

// An owner event waiting to be raised (see RaiseOwnerEvent).
struct QueuedOwnerEvent {
  int event;                   // event code
  bool hasArgument;            // false: the argument is null
  std::string argument;        // copy of the argument bytes (event 3: the body)
};

// The announcement list record. Nothing fills the list yet; it is kept for
// the announcement window (CPlacardDlg) that the quote view runs over it.
struct AnnouncementRecord;

struct QuoteEngine {
  // Request header fields (written between BeginQuoteRequest and
  // SendQuoteRequest under buildLock).
  uint8_t requestKind;          // packet kind: 2, or 0x33 for the news marks
  uint8_t headerFlag;           // 1, or 2 when the caller asks
  uint16_t headerParameter;     // 0..255
  uint8_t headerFive;           // 5, set at creation
  uint8_t headerType;           // request type
  uint8_t headerOne;            // 1, set at creation
  uint16_t headerSequence;      // sequence, or the type-17 operation

  // Reply header fields (written by the dispatcher on the connection thread).
  uint8_t replyMode;            // reply byte 0: 1 complete, 2 update
  uint16_t replyValue;          // reply bytes 1-2
  uint8_t replyByte3;
  uint8_t replyType;
  uint8_t replyByte5;
  uint16_t replySequence;

  // Slots: parameter records and result areas.
  MinuteParams minuteParams[kMinuteSlots];
  MinuteArea* minuteAreas[kMinuteSlots];
  LatestBarsParams latestBarsParams[kLatestBarsSlots];
  KLineArea* chartAreas[kLatestBarsSlots];
  KLineParams klineParams[kKLineSlots];
  KLineArea* klineAreas[kKLineSlots];
  int32_t reservedLookBack;     // 60
  CodeParams exRightsParams;
  ExRightsArea* exRightsArea;
  LatestBarsParams supplementAParams;
  LatestBarsParams supplementBParams;
  IndicatorWorkspace* workspaces[kIndicatorWorkspaces];
  StockFieldsParams stockFieldsParams[kStockFieldsSlots];
  StockFieldsArea* stockFieldsAreas[kStockFieldsSlots];
  TickParams tickParams[kTickSlots];
  TickArea* tickAreas[kTickSlots];
  FuturesTickParams futuresTickParams;
  FuturesTickArea* futuresTickArea;
  CodeParams priceStatParams;
  PriceStatArea* priceStatArea;
  StockListParams stockListParams[kStockListSlots];
  QuoteListArea* quoteListAreas[kStockListSlots];
  std::atomic<int32_t> ownStockPageCount;  // set by RequestOwnStockQuotes
  std::atomic<int32_t> ownStockCount;      // entries of res\own.data
  RankingParams rankingParams;
  RankingArea* rankingArea;
  FieldTableParams fieldTableParams[kFieldTableSlots];
  FieldTableArea* fieldTableAreas[kFieldTableSlots];
  QuoteListParams quoteListParams[kQuoteListSlots];
  SortedQuoteListArea* sortedListAreas[kQuoteListSlots];
  uint16_t defaultRowCount;     // 0: used for a row count of -1
  QuoteListParams viewListParams;
  SortedQuoteListArea* viewListArea;
  AlertRecordParams alertRecordParams[kAlertRecordSlots];
  AlertRecordArea* alertRecordAreas[kAlertRecordSlots];
  AlertQueryParams alertQueryParams;
  AlertQueryArea* alertQueryArea;
  NewsMarkParams newsMarkParams[kNewsMarkSlots];
  NewsListArea* newsListAreas[kNewsMarkSlots];
  StockPoolParams stockPoolParams;
  StockPoolTableArea* stockPoolArea;
  CodeParams f10CatalogParams;
  F10CatalogArea* f10CatalogArea;
  F10ItemParams f10ItemParams;
  F10ItemArea* f10ItemArea;

  // Announcement list: read by the announcement window (CPlacardDlg, run by
  // the quote view); no reply fills it yet, so it stays empty.
  AnnouncementRecord* announcements;
  int32_t announcementCount;

  DictionaryVersion dictionaryVersion;
  DictionaryReply* dictionaryReply;

  PendingList* pending;         // the pending-request list (own lock)

  MarketStateTable latestMarkets;  // of the latest type-3 reply (connection thread)
  MarketStateTable savedMarkets;   // saved states (connection thread)
  TradingHoursTable tradingHours;  // loaded once by the quote view

  // Sequence counter and send buffer (under buildLock).
  uint32_t sequenceCounter;     // starts at 1001, never reset
  unsigned char* sendBuffer;    // one frame: length, type 1, packet
  int32_t sendCapacity;         // bytes allocated at sendBuffer
  int32_t sendLength;           // bytes written from byte 0

  // Connection (written by the connection code; read by any thread).
  std::atomic<int32_t> connectionId;  // -1 until the first connect
  std::atomic<int32_t> state;         // a QuoteEngineState

  char ownStockPath[512];       // "res\own.data"
  char serviceAddress[512];     // the quote service address with session parameters
  int64_t userNumber;
  unsigned char token[32];      // 16 bytes used
  char tokenText[33];           // 32 lower-case hex digits and a zero

  std::shared_ptr<const OwnStockList> ownStocks;  // watch list in memory (under ownStockLock)

  void* pageShared;             // the pages' shared block pointer; freed with free()

  void* ownerWindow;            // owner of the event function
  QuoteEventHandler eventHandler;

  // Our own machinery.
  QuoteTransport* transport;    // the framed TCP transport, or a test fake
  std::recursive_mutex buildLock;
  std::mutex ownStockLock;
  std::mutex eventLock;         // guards eventQueue, eventDraining, eventHandler and ownerWindow
  std::deque<QueuedOwnerEvent> eventQueue;
  bool eventDraining = false;   // a thread is delivering the queue
};

// A new engine with every default (the slots and areas described at the top
// of this header), the
// watch list and the saved market states loaded; null when out of memory.
// Freed with FreeQuoteEngine.
QuoteEngine* CreateQuoteEngine();

// Closes the connection and frees the engine with everything it owns. Null is
// allowed. The engine must not be used afterwards, nor from another thread
// while this runs.
void FreeQuoteEngine(QuoteEngine* engine);

// Reads res\indexParameter.data and applies it to the nine indicator
// workspaces; nothing changes when the file is missing.
void ReloadIndexParameters(QuoteEngine* engine);

// Tests: use transport in place of the framed TCP transport (before any
// connection is made). Null restores the framed transport.
void SetQuoteTransportForTesting(QuoteEngine* engine, QuoteTransport* transport);

// Guard of the engine's build lock; raises the queued owner events when the
// calling thread leaves its last engine lock.
class QuoteBuildGuard {
 public:
  explicit QuoteBuildGuard(QuoteEngine* engine);
  ~QuoteBuildGuard();
  QuoteBuildGuard(const QuoteBuildGuard&) = delete;
  QuoteBuildGuard& operator=(const QuoteBuildGuard&) = delete;

 private:
  QuoteEngine* engine_;
};

// Owner events. RaiseOwnerEvent queues the event (copying argumentLength
// bytes of argument when it is not null) and then flushes. FlushOwnerEvents
// delivers the queue when the calling thread holds no engine lock: one
// thread drains at a time, calling the owner once per event in queue order
// with no lock held; a thread that finds another draining leaves its events
// to that one and returns at once (so does an owner that raises or flushes
// from its own event function: its events follow the current one).
void RaiseOwnerEvent(QuoteEngine* engine, int event, const void* argument, int argumentLength);
void FlushOwnerEvents(QuoteEngine* engine);

// Number of engine locks the calling thread holds (build or pending list).
int EngineLocksHeldByThread();
// Marks entry into and exit from an engine lock (used by the lock guards).
void NoteEngineLockTaken();
void NoteEngineLockReleased(QuoteEngine* engine);

// The saved market states (marketdata/market_states.h): LoadMarketStates
// clears the saved table and reloads it from res\maketinfo.data;
// SaveMarketStates merges the latest table into it and rewrites the file.
void LoadMarketStates(QuoteEngine* engine);
void SaveMarketStates(QuoteEngine* engine);
