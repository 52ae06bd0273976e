// Request builders: one per request type (two for the quote lists and two
// for the stock lists).
//
// Every builder takes (engine, callback, owner) first and returns the
// request's handle, its 16-bit sequence number; 0 means nothing was
// registered or sent. A builder stores its arguments in the slot's parameter
// record, writes the body from that record, registers a PendingRequest with
// the slot's parameter record and result area, and sends the packet when the
// connection is ready (else the request waits for ResendPendingRequests).
// The whole build runs under the engine's build lock.
//
// Common arguments: flag (non-zero: header flag 2), parameter (1 asks for
// pushed updates; only its low byte is sent), slot (index into the type's
// slots; a slot outside the slot count returns 0). Builders taking a code
// return 0 for a null code; a code is its first 6 bytes, shorter codes are
// zero-padded. Numbers on the wire are big-endian.
#pragma once

#include <cstdint>

#include "marketdata/quote_engine.h"

// Type 1: u16 n and the n bytes of res\qver.data (n = 0 when missing or
// empty). Returns 0 (the handle is not handed out).
int RequestDictionaryUpdate(QuoteEngine* engine, QuoteReplyCallback callback, void* owner);

// Type 32: the 7-byte entries (code, market) of `entries` (length bytes; a
// partial last entry is dropped; at most 65,535 entries) or, without entries,
// "1A0001"/1 and "399001"/2; then the slot's FieldIdList.
int RequestStockListQuotes(QuoteEngine* engine, QuoteReplyCallback callback, void* owner,
                           const char* entries, int length, int flag, int parameter, int slot);

// Type 32 with the whole watch list. Sets the watch-list page count to
// rowTotal / pageSize rounded up. Returns 0 and sends nothing when the watch
// list is empty.
int RequestOwnStockQuotes(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int rowTotal,
                          int pageSize, int flag, int parameter, int slot);

// Type 33: code, market, the slot's FieldIdList.
int RequestStockFields(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code,
                       int market, int flag, int parameter, int slot);

// Types 38, 80, 81, 83, 84: code, market, i32 start, u16 count. The slot's
// tick area's reply position becomes -1.
int RequestTicks(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int type, const char* code,
                 int market, int32_t start, int count, int flag, int parameter, int slot);

// Types 40 and 42. 40: i64 list id (high half, low half), i32 start, u16 rows,
// u16 sort field, order byte, FieldIdList. 42: u16 category (low 16 bits of
// listLow), u16 start, u16 rows, u16 sort field, order byte, FieldIdList. A
// row count of -1 takes the engine's default row count.
int RequestQuoteList(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int type, int32_t listLow,
                     int32_t listHigh, int32_t start, int sortField, int order, int flag, int parameter,
                     int rowCount, int slot);
// The same into the engine's single view-list slot (compact form); slot is
// not used.
int RequestViewQuoteList(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int type,
                         int32_t listLow, int32_t listHigh, int32_t start, int sortField, int order, int flag,
                         int parameter, int rowCount, int slot);

// Type 41: i64 value, u16 0, u16 rows.
int RequestRankingBoards(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, uint32_t valueLow,
                         uint32_t valueHigh, int rowCount, int flag, int parameter, int slot);

// Types 43, 45, 46: the slot's FieldIdList.
int RequestFieldTable(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int type, int flag,
                      int parameter, int slot);

// Type 48: code, market, u16 start minute, the slot's byte list. value1 and
// value2 are kept in the parameter record only.
int RequestMinuteData(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int type, const char* code,
                      int market, int flag, int parameter, int startMinute, int32_t value1, int32_t value2,
                      int slot);

// Type 49: code, market, kind, i32 start, u16 value, u16 bar count, the
// slot's byte list and pair list.
int RequestLatestBars(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int kind, const char* code,
                      int market, int32_t start, int value, int barCount, int flag, int parameter, int slot);

// Type 55: code, market, 8 zero bytes.
int RequestExRights(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code, int market,
                    int flag, int parameter, int slot);

// Type 60: code, market. The price-statistics area's level count becomes -1.
int RequestPriceStatistics(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code,
                           int market, int flag, int parameter, int slot);

// Type 61: code, market, u16 value, the slot's byte list.
int RequestAlertQuery(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code, int market,
                      int value, int flag, int parameter, int slot);

// Type 62: u16 list id, n, the n bytes of text (at most 128), the slot's byte
// list. A null text sends n = 0.
int RequestAlertRecords(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int listId, int count,
                        const char* text, int flag, int parameter, int slot);

// Type 67: code, market, i32 start, u16 count, the slot's byte list. The
// futures-tick area's reply position becomes -1.
int RequestFuturesTicks(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code,
                        int market, int32_t start, int count, int flag, int parameter, int slot);

// Type 68: code, market, period, i32 range start, i32 range count, the slot's
// byte list.
int RequestKLineBars(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int period, const char* code,
                     int market, int32_t rangeStart, int32_t rangeCount, int flag, int parameter, int slot);

// Type 69: u16 table id, 1, u16 value, byte value.
int RequestStockPoolTable(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int tableId, int value,
                          int byteValue, int flag, int parameter, int slot);

// Type 70: code, market.
int RequestF10Catalog(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code, int market,
                      int flag, int parameter, int slot);

// Type 71: code, market, item.
int RequestF10Item(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code, int market,
                   int item, int flag, int parameter, int slot);

// Types 91 and 92: as type 49 with the supplement's own lists; the result
// area is the type-68 K-line area of the slot (0 or 1).
int RequestKLineSupplementA(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int kind,
                            const char* code, int market, int32_t start, int value, int barCount, int flag,
                            int parameter, int slot);
int RequestKLineSupplementB(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, int kind,
                            const char* code, int market, int32_t start, int value, int barCount, int flag,
                            int parameter, int slot);

// Packet kind 0x33, request 2: code, market, i64 day.
int RequestMinuteNewsMarks(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code,
                           int market, int flag, int parameter, uint32_t dayLow, uint32_t dayHigh, int slot);
// Packet kind 0x33, request 3: code, market, i64 first, i64 last.
int RequestKLineNewsMarks(QuoteEngine* engine, QuoteReplyCallback callback, void* owner, const char* code,
                          int market, int flag, int parameter, uint32_t firstLow, uint32_t firstHigh,
                          uint32_t lastLow, uint32_t lastHigh, int slot);
