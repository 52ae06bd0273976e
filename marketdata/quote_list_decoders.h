// Decoders of the replies that carry whole quote records: the fields of one
// stock (type 33), the quotes of a stock list (type 32) and the nine ranking
// boxes (type 41).
//
// Reply bodies (big-endian):
//   33: u16 k, k ids, one value per id in id order.
//   32: u16 k, k ids, u16 m, m records (one value per id each).
//   41: i64 head, i8 c, 9 boxes of c entries: key (33), last price (4),
//       previous close (4), kind byte, then by kind: 1,2 skip 4 + change %;
//       3 skip 4 + amplitude; 4,5 skip 4 + five-minute change; 6 skip 4 +
//       volume ratio; 7,8 skip 4 + order ratio; 9 amount; else nothing.
//
// Update semantics, per mode (1 complete, 2 update):
//   33 complete clears the area; an update merges by field (the fields it
//      does not carry keep their values). After the fields the inner volume
//      is total minus outer volume without the floor at zero.
//   32 complete decodes straight into the array (not cleared first: fields
//      a reply does not carry keep what the element held); the array grows
//      to the record count and never shrinks. An update replaces, for each
//      record whose list code (id 1) and market match a held stock, every
//      field after the stock key (fields it does not carry become zero);
//      unmatched records are dropped, and held count and capacity stay.
//   41 always starts from a cleared area.
//
// Every read is bounded by the body: a short body stops the decoding and
// keeps what was decoded, with counts that say how much that is. Counts
// are clamped to the room of the areas (ids 131/128, 28 entries per box;
// negative counts are 0). Null area or body: nothing happens.
#pragma once

#include "marketdata/quote_areas.h"
#include "marketdata/reply_reader.h"

void DecodeStockFields(StockFieldsArea* area, ReplyReader* body, int mode);
void DecodeStockListQuotes(QuoteListArea* area, ReplyReader* body, int mode);
void DecodeRankingBoxes(RankingArea* area, ReplyReader* body);
