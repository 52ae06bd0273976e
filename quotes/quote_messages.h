// The quote view's own message numbers, the stock browsing record every list
// page fills (StockListInfo), the list payload of WM_SET_STOCK_LIST and the
// functions that post and take the messages carrying heap copies.
//
// Numbers shared by windows of several libraries (WM_SHOW_STOCK,
// WM_SET_STOCK_LIST, WM_SHOW_INDEX_LIST, WM_FIND_STOCK_CODE,
// WM_OPEN_ANALYSIS_TAB, WM_KEY_COMMAND, ...) live in
// controls/control_messages.h, included here.
//
// Ownership of posted payloads (a posted message outlives its sender's
// stack, so it never carries a borrowed pointer):
//   WM_SHOW_STOCK       (open mode, StockKey*)   made by PostShowStock, freed
//                                                by the final handler through
//                                                TakeShowStockKey
//   WM_FIND_STOCK_CODE  (StockKey*, 0)           made by PostFindStockCode,
//                                                freed by the main frame
//                                                (TakeShowStockKey)
//   WM_SET_STOCK_LIST   (StockListInfo*, StockListPayload* or 0)
//                                                the info is the engine's
//                                                record (not freed); the
//                                                payload is made by
//                                                PostStockList and freed by
//                                                the quote view
//                                                (TakeStockListPayload)
//   WM_SHOW_INDEX_LIST  (char* code or 0, 0)     made by PostShowIndexList,
//                                                relayed unchanged by the
//                                                frame, freed by the view
//                                                (TakeIndexListCode)
// A relay passes the payload on unchanged; a post that fails frees what it
// would have carried.
//
// Threads: StockListInfo is written and read on the user-interface thread
// only; the posting functions may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/control_messages.h"
#include "marketdata/quote_record.h"

struct QuoteEngine;

// The quote view's own numbers.
constexpr UINT WM_RECONNECT_QUOTES = 1624;    // (0, 0): arm the reconnection timer
constexpr UINT WM_SHOW_ANNOUNCEMENTS = 5333;  // (0, 0): the announcement dialog; answered 1
constexpr UINT WM_STARS_FACTOR_MENU = 8002;   // star map → parent: an axis button was pressed

// Kinds of StockListInfo (the list the sender's payload holds).
enum StockListKind : int32_t {
  kListOwnStocks = 2,        // watch-list keys, in order
  kListRecords = 3,          // records of a table (index table, boards, ranking boxes)
  kListRecordsB = 4,         // records of another table form
  kListRecordsC = 5,         // records of a third table form
  kListRecordsD = 13,        // records of a fourth table form
  kListReversed = 12,        // keys, the last one first
  kListAlerts = 16,          // alert keys, the last one first
  kListPoolCells = 14,       // stock-pool rows (7-byte entries)
  kListMultiStock = 15,      // the multi-stock view's list with its fillers (7-byte entries)
  kListRequested = 17,       // asked for again from the server
};

// The browsing record, one per engine (EngineStockListInfo). Zero-filled at
// allocation; every sender fills what its kind needs before posting.
struct StockListInfo {
  int32_t kind;              // a StockListKind, or a kind the view asks for again
  int32_t currentIndex;      // position of the opened stock in the list
  int32_t requestType;       // 40 or 42: how the list is asked for again
  int64_t listId;            // the list's id (low 32 bits: low half)
  uint16_t sortField;        // quote-field id the list is sorted by
  uint8_t direction;         // 0 largest first, 1 smallest first
  int32_t count;             // entries the sender's list holds
  int32_t codeColumn;        // stock pool: the table column of the code
  int32_t marketColumn;      // stock pool: the table column of the market
  char code[8];              // code to look for when the list arrives again (7 + zero)
};

// The engine's browsing record: allocated zero-filled with calloc into the
// engine's shared page block on first use (FreeQuoteEngine frees it). Null
// for a null engine or when out of memory. User-interface thread only.
StockListInfo* EngineStockListInfo(QuoteEngine* engine);

// The list of WM_SET_STOCK_LIST: the stocks in the sender's order. Senders
// convert their rows: records give their StockKey head; stock-pool rows the
// first 6 bytes of the code cell and the decimal value of the market cell;
// the multi-stock view keeps its market-0 fillers so positions line up.
struct StockListPayload {
  std::vector<StockKey> keys;
};

// Builders of payloads from the senders' usual forms.
std::unique_ptr<StockListPayload> MakeListPayload(const StockKey* keys, int count);
std::unique_ptr<StockListPayload> MakeListPayload(const QuoteRecord* records, int count);
// A StockKey with the code (first 6 bytes), market and kind set; the rest 0.
StockKey MakeStockKey(const char* code, int market, int kind, int decimals = 0);

// WM_SHOW_STOCK (mode, heap copy of key) to `to`. FALSE (nothing left
// allocated) when the post fails.
BOOL PostShowStock(HWND to, WPARAM mode, const StockKey& key);
// WM_FIND_STOCK_CODE (heap copy of key, 0) to `to`.
BOOL PostFindStockCode(HWND to, const StockKey& key);
// Takes ownership of the key of a WM_SHOW_STOCK lParam or a
// WM_FIND_STOCK_CODE wParam (null stays null).
std::unique_ptr<StockKey> TakeShowStockKey(uintptr_t param);

// WM_SET_STOCK_LIST (info, payload) to `to`; the message owns the payload
// (null for the kinds the view asks for again).
BOOL PostStockList(HWND to, StockListInfo* info, std::unique_ptr<StockListPayload> payload);
std::unique_ptr<StockListPayload> TakeStockListPayload(LPARAM lParam);

// WM_SHOW_INDEX_LIST (heap copy of code, 0), or (0, 0) for a null code. The
// copy holds at most 7 bytes and a zero.
BOOL PostShowIndexList(HWND to, const char* code);
std::unique_ptr<char[]> TakeIndexListCode(WPARAM wParam);
