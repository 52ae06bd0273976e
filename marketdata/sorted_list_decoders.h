// Decoders of sorted, paged quote lists (type 40 '(' and category lists,
// type 42 '*') and of field tables (types 43 '+', 45 '-', 46 '.').
//
// Reply bodies (big-endian):
//   40 full:     i64 list id, i32 start, u16 k, k ids, u16 n, n records
//   42 full:     u16 key, u16 k, k ids, u16 n, n records
//   40 compact:  i64 list id, i32 start, u16 k, k ids, u16 n, n 7-byte entries
//   42 compact:  u16 key, u16 k, k ids, u16 n, n 7-byte entries
//   43/45/46:    u16 k, k ids, u16 n, n records
// A record is one value per listed id, in list order; a compact entry is 6
// code characters and the market byte.
//
// What each keeps:
//   40 full     does not clear the area: the array is reused, grown to n
//               when n exceeds its capacity (never shrinks); fields a reply
//               does not carry keep what the element held.
//   42 full     releases the array and clears the area, then allocates n;
//               the capacity stays 0, so the next type-40 reply of the slot
//               allocates a fresh array rather than show these records.
//   compact     releases both arrays and clears the area; holds n entries
//               rounded up to a multiple of 9, the padding zero; 0 entries
//               leave no array.
//   field table a complete reply clears the area and fills up to 64 rows;
//               an update overwrites every field after the stock key of the
//               first held row whose code and market match the record's
//               list code (id 1); unmatched records are dropped. The market
//               is compared on purpose: codes repeat across markets (see
//               SameListStock).
// A slot that switches between the full and the compact form releases the
// other form's array first, so a count never describes the wrong array.
//
// Every read is bounded by the body; counts are clamped to the room and to
// the bytes left; a short body stops the decoding with counts that describe
// what was stored. Null area or body: nothing happens.
#pragma once

#include "marketdata/quote_areas.h"
#include "marketdata/reply_reader.h"

void DecodeSortedQuoteList(SortedQuoteListArea* area, ReplyReader* body);
void DecodeCategoryQuoteList(SortedQuoteListArea* area, ReplyReader* body);
void DecodeSortedCodeList(SortedQuoteListArea* area, ReplyReader* body);
void DecodeCategoryCodeList(SortedQuoteListArea* area, ReplyReader* body);
void DecodeFieldTable(FieldTableArea* area, ReplyReader* body, int mode);
