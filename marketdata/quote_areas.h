// Result areas of the quote-carrying replies: stock lists (type 32), the
// fields of one stock (33), the ranking boxes (41), sorted and category
// lists (40, 42), field tables (43, 45, 46), news marks (kind 0x33) and the
// stock-pool table (69).
//
// Invariants every decoder keeps, whatever the reply held:
//   - a field-id count never exceeds the room of its id array;
//   - recordsHeld never exceeds what the array it counts can hold (the
//     record array's capacity, the compact entries allocated, the fixed
//     rows of a field table);
//   - a sorted list holds either QuoteRecords (list.records) or compact
//     entries (codes), never both, so a slot that changes form cannot make
//     a view read one as the other.
// The engine owns every area; the arrays behind its pointers are allocated
// by the engine at creation or by the decoders, and released by the Release
// functions below (FreeQuoteEngine calls them).
#pragma once

#include <cstdint>

#include "marketdata/quote_record.h"

constexpr int kStockFieldsMaxIds = 131;
constexpr int kQuoteListMaxIds = 128;
constexpr int kSortedListMaxIds = 128;
constexpr int kFieldTableMaxIds = 130;
constexpr int kFieldTableRows = 64;
constexpr int kRankingBoxes = 9;
constexpr int kRankingRecords = 256;
constexpr int kRankingMaxPerBox = kRankingRecords / kRankingBoxes;  // 28
constexpr int kCompactEntrySize = 7;   // 6 code characters, then the market

// A QuoteRecord array with its capacity.
struct QuoteRecordArray {
  QuoteRecord* records;  // zero-filled records (NewQuoteRecords), or null
  int32_t capacity;      // records allocated that a reply may reuse; 0 after a
                         // category page (type 42), whose array holds just its
                         // recordsHeld records and is never reused
};

// Type 32: the quotes of a list of stocks.
struct QuoteListArea {
  uint16_t fieldCount;                     // ids of the latest reply
  uint16_t fieldIds[kQuoteListMaxIds];     // in value order
  uint16_t recordCount;                    // records the latest reply carried
  QuoteRecordArray list;                   // the records; grows, never shrinks
  int32_t recordsHeld;                     // records of the latest complete reply
};

// Type 33: the fields of one stock.
struct StockFieldsArea {
  uint16_t fieldCount;                     // ids of the latest reply
  uint16_t fieldIds[kStockFieldsMaxIds];   // in value order
  QuoteRecord record;                      // merged by field on updates
};

// Type 41: nine ranking boxes, box b holding records b*c .. b*c+c-1.
struct RankingArea {
  int64_t head;                            // the reply's 8-byte head, unused
  uint16_t totalCount;                     // records decoded (9 * perBoxCount)
  int16_t perBoxCount;                     // entries per box
  QuoteRecord records[kRankingRecords];
};

// Types 40 and 42: one page of a sorted list or a category.
struct SortedQuoteListArea {
  int64_t listId;                          // type 40: the list or block asked for
  int32_t start;                           // type 40: the reply's row field; 42: its key
  uint16_t recordCount;                    // records the latest reply carried
  uint16_t fieldCount;
  uint16_t fieldIds[kSortedListMaxIds];
  QuoteRecordArray list;                   // full form: QuoteRecords
  unsigned char* codes;                    // compact form: recordsHeld 7-byte entries
  int32_t recordsHeld;                     // records (full) or entries (compact) held
};

// Types 43, 45, 46: a table of up to 64 chosen stocks.
struct FieldTableArea {
  uint16_t fieldCount;
  uint16_t recordCount;                    // records the latest reply carried
  uint16_t fieldIds[kFieldTableMaxIds];
  QuoteRecord records[kFieldTableRows];
  int32_t recordsHeld;                     // rows of the latest complete reply
};

// One news mark.
struct NewsRecord {
  char pubTime[64];     // "YYYY-MM-DD hh:mm:ss", as sent
  char title[256];      // UTF-8, escapes decoded
  char url[512];        // as sent
  int32_t index;
  char longTime[64];    // "YYYYMMDDhhmm", as sent
};

// Kind 0x33, requests 2 and 3: news marks of a stock.
struct NewsListArea {
  char code[7];
  uint8_t market;
  int32_t jsonLength;        // length of the latest JSON text
  int32_t recordCount;
  NewsRecord* records;       // recordCount records (malloc), or null
};

constexpr int kStockPoolColumns = 128;     // cells per row
constexpr int kStockPoolCellSize = 128;    // bytes per cell, zero included
constexpr int kStockPoolMaxRows = 1000;    // rows a table may allocate

struct StockPoolColumn {
  int64_t id;
  int16_t sort;
  char tag[128];
  int16_t display;
  char label[128];
  char type[132];
};

// One row of the stock-pool table: 128 zero-terminated cells.
struct StockPoolRow {
  char cells[kStockPoolColumns][kStockPoolCellSize];
};

// Type 69: the stock-pool table of the latest reply.
struct StockPoolTableArea {
  int32_t jsonLength;
  int32_t rowCount;          // rows allocated at rows
  int32_t columnCount;       // columns at columns
  char title[128];
  char message[512];         // the server's message when the result code is not 1
  int32_t resultCode;
  StockPoolColumn* columns;  // malloc, or null
  StockPoolRow* rows;        // malloc, or null
};

// Release what the decoders allocated behind an area and leave its counts
// consistent (zero). Null is allowed.
void ReleaseQuoteListArea(QuoteListArea* area);
void ReleaseSortedQuoteListArea(SortedQuoteListArea* area);
void ReleaseNewsListArea(NewsListArea* area);
void ReleaseStockPoolTableArea(StockPoolTableArea* area);
