// Decoders of the replies that carry a JSON document inside the binary
// frame: the news marks of a stock (packet kind 0x33, requests 2 and 3) and
// the stock-pool table (type 69).
//
// Reply bodies (big-endian):
//   news marks: code (6), market (1), u32 L, L bytes of JSON:
//     {"total":n,"data":[{"pubTime":..,"title":..,"url":..,"index":..,
//      "longTime":..}, ...]}
//   stock pool: u32 L, L bytes of JSON:
//     {"result":{"code":1,"msg":".."},"title":..,"totalrow":N,
//      "head":[{"id":..,"sort":..,"tag":..,"display":..,"label":..,
//      "type":..}, ...],"body":[["cell", ...], ...]}
// Every member is read from its text, so numbers and strings are both
// accepted; numbers go through a decimal conversion (leading spaces, an
// optional sign, the digits up to the first other character; 0 when there
// are none). Only the news title has its escapes decoded.
//
// News: a complete reply releases the records and clears the area; "total"
// records are allocated (more than the "data" elements: the rest stay zero)
// and filled from "data" in order; an update appends its records after the
// ones held. A total of 0 or less, or no "data", stores nothing.
// Stock pool: every reply clears the table. A result code other than 1 (a
// document without "result" counts as code 0) keeps the server's message
// (empty when there is none) and no rows. Otherwise the title, "totalrow"
// rows of 128 cells of 128 bytes, the columns of "head" (at most 128) and
// the cells of "body" (values without text leave their cell empty and take
// their column).
//
// Sound limits: L is checked against the body before anything is allocated;
// texts longer than their fields are cut at a character boundary; a reply
// adds at most kNewsMaxPerReply records and a list holds at most
// kNewsMaxRecords (the update is cut to fit); the table has at most
// kStockPoolMaxRows rows; rows and values beyond the table are dropped.
// Both decoders free their copy of the text and the parsed tree on every
// path. Null area or body: nothing happens.
#pragma once

#include "marketdata/quote_areas.h"
#include "marketdata/reply_reader.h"

constexpr int kNewsMaxPerReply = 1024;
constexpr int kNewsMaxRecords = 10240;

void DecodeNewsList(NewsListArea* area, ReplyReader* body, int mode);
void DecodeStockPoolTable(StockPoolTableArea* area, ReplyReader* body);

// The decimal conversion of the JSON replies: leading white space, an
// optional sign, then digits up to the first other character; 0 for none
// or null. Saturates at the 64-bit range.
int64_t ParseLeadingDecimal(const char* text);
