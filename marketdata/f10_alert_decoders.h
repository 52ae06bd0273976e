// F10, alert and information decoders: the F10 catalogue (reply type 70)
// and item (71), the alert records of an alert list (62) and of one stock
// (61), the stock-information titles (44), and the value blocks and tables
// of the unrequested types 90, 95, 112 and 113.
//
// Reply bodies (big-endian unless said otherwise; a short head is the 6 code
// characters, the market byte and one more byte):
//   70   short head (code, market, entry count c: i8); c entries: first
//        value (s32), second value (s32), title length L (u16), L bytes.
//   71   short head (code, market, item); L (u16), L title bytes; first and
//        second value (s32); content length M (u32), M content bytes.
//   62   k (i8), k text bytes, n (s16), n records of 54 bytes: stock key
//        (33), kind (1), time (s32), four 32-bit values (16, as they stand).
//   61   complete only: stock key (33); then k (i8), k text bytes, n (s16),
//        n records of 21 bytes: kind, time (s32), four values (16).
//   44   short head (code, market, a byte), a 64-bit value, a 16-bit value,
//        then text to the end of the body with "<stockinfo>" elements whose
//        "title", "url" and "date" elements make one entry each.
//   90   complete: stock key (33); update: code (6) and market; then eight
//        64-bit values. 95: the same, then eight s32 values.
//   112  k (u16), k quote-field ids (u16), n (u16), n quote records.
//   113  a u16 value, n (u16), n entries of 33 bytes: u16, 28 bytes, 2 bytes
//        kept as they stand, 1 byte.
//
// Owned texts (F10 titles and content, stock-information texts) are zero-
// terminated, belong to the area and are released by the decoder before it
// replaces them, or with the area.
//
// Alert records keep at most 10,280 (the newest); the query keeps the
// newest records up to the request's count (at most 128) by the sliding
// window of the tick decoders.
//
// Bounds: every count is clamped to the area's room and to the whole units
// the body holds; negative counts are 0; a text or content length beyond the
// body is refused before anything is allocated (the text is left empty and
// the decoding stops). A null area, a null body or an empty body changes
// nothing.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "marketdata/quote_record.h"
#include "marketdata/reply_reader.h"
#include "marketdata/tick_decoders.h"

constexpr int kF10CatalogRoom = 256;
constexpr int kAlertRecordRoom = 10280;
constexpr int kAlertRecordSize = 54;
constexpr int kAlertQueryRoom = 128;
constexpr int kAlertQuerySize = 21;
constexpr int kAlertListTextRoom = 131;
constexpr int kAlertQueryTextRoom = 128;
constexpr int kStockInfoRoom = 1024;
constexpr int kType112Room = 128;
constexpr int kType112IdRoom = 130;
constexpr int kType113Room = 128;
constexpr int kType113EntrySize = 33;

// A zero-terminated text allocated by a decoder (malloc family).
struct FreeTextDeleter {
  void operator()(char* text) const { std::free(text); }
};
using OwnedText = std::unique_ptr<char, FreeTextDeleter>;

struct F10CatalogEntry {
  int32_t first;          // first value
  int32_t second;         // second value
  int16_t titleLength;    // title bytes (the wire length, at most 32,767)
  OwnedText title;        // L title bytes and two zero bytes; null when not sent
};

struct F10CatalogArea {
  char code[7];                              // 6 characters and a zero
  uint8_t market;
  int8_t entryCount;                         // entries of the latest reply
  F10CatalogEntry entries[kF10CatalogRoom];
};

struct F10ItemArea {
  char code[7];
  uint8_t market;
  uint8_t item;
  int32_t first;
  int32_t second;
  int16_t titleLength;
  OwnedText title;          // title bytes and two zero bytes
  int32_t contentLength;    // content bytes (0 when refused)
  OwnedText content;        // UTF-8 content and two zero bytes
};

// One alert. The four values keep the sender's byte order.
struct AlertRecord {
  StockKey stock;           // zero in the query area (its records are the area's stock)
  uint8_t kind;             // alert kind 1..20
  int32_t time;             // hhmmss
  uint8_t values[16];       // four 32-bit values, bytes as received
  int32_t unused[2];        // stay zero
};

struct AlertRecordArea {
  int8_t textLength;                         // k of the latest reply
  char text[kAlertListTextRoom];             // its text bytes, zero-terminated
  int32_t recordsHeld;
  AlertRecord records[kAlertRecordRoom];     // oldest first
  int32_t cleared[kAlertRecordRoom];         // only cleared
};

struct AlertQueryArea {
  StockKey stock;
  int8_t textLength;
  char text[kAlertQueryTextRoom];
  int32_t recordsHeld;
  AlertRecord records[kAlertQueryRoom];      // oldest first
};

struct StockInfoEntry {
  OwnedText title;
  OwnedText url;
  OwnedText date;
};

struct StockInfoArea {
  char code[7];
  uint8_t market;
  uint8_t byte;
  int64_t value64;
  uint16_t value16;
  StockInfoEntry entries[kStockInfoRoom];
  int32_t entryCount;
};

struct Type90Area {
  StockKey key;
  int64_t values[8];
};

struct Type95Area {
  StockKey key;
  int64_t values[8];
  int32_t values32[8];
};

struct Type112TableArea {
  uint16_t fieldCount;                 // ids kept (at most 130)
  uint16_t recordCount;                // records of the latest reply
  uint16_t fieldIds[kType112IdRoom];
  QuoteRecord records[kType112Room];
  int32_t recordsHeld;
};

struct Type113Entry {
  uint16_t first;
  uint8_t bytes[28];
  uint8_t raw[2];           // as they arrive
  uint8_t zero[98];
  uint8_t last;
  uint8_t zeroByte;
};

struct Type113Area {
  uint16_t value;
  uint16_t entryCount;
  Type113Entry entries[kType113Room];
};

void DecodeF10Catalog(F10CatalogArea* area, ReplyReader* body);
void DecodeF10Item(F10ItemArea* area, ReplyReader* body);
void DecodeAlertRecords(AlertRecordArea* area, ReplyReader* body, int mode);
// capacity: the request's record count (clamped to 0..128).
void DecodeAlertQuery(AlertQueryArea* area, ReplyReader* body, int mode, int capacity);
void DecodeStockInfo(StockInfoArea* area, ReplyReader* body, int mode);
void DecodeType90Values(Type90Area* area, ReplyReader* body, int mode);
void DecodeType95Values(Type95Area* area, ReplyReader* body, int mode);
void DecodeType112Table(Type112TableArea* area, ReplyReader* body);
void DecodeType113Entries(Type113Area* area, ReplyReader* body);
