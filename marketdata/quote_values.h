// Reading a field-id list and the values of one record laid out by it, for
// the decoders of every quote-carrying reply.
#pragma once

#include <cstdint>
#include <vector>

#include "marketdata/quote_record.h"
#include "marketdata/reply_reader.h"

// Reads a u16 count k and k u16 ids from body. All k ids go to walk (the
// values that follow are laid out by all of them); the first room of them
// go to areaIds with their number in *areaCount. A list that runs past the
// body marks the reader short and returns false; areaIds then holds the ids
// read so far and walk is what was read.
bool ReadFieldIdList(ReplyReader* body, uint16_t* areaCount, uint16_t* areaIds, int room,
                     std::vector<uint16_t>* walk);

// Reads a stock key (kStockKeyWireSize bytes) into *key with
// DecodeStockKey; false, with *key unchanged, when the body ends first.
bool ReadStockKey(ReplyReader* body, StockKey* key);

// Decodes one record: each id in order with DecodeQuoteField, advancing the
// reader by the values read. A value that runs past the body marks the
// reader short and returns false (the fields read before it stay).
bool ReadQuoteValues(ReplyReader* body, const std::vector<uint16_t>& ids, QuoteRecord* record);

// The smallest body a record laid out by ids takes (at least 1, so that a
// count of records can be clamped by the bytes left).
int QuoteRecordWireSize(const std::vector<uint16_t>& ids);

// A wire record matches a held record when its list code (id 1) is not empty
// and equals the held stock key's code, and its list market equals the held
// key's market. The market is compared on purpose (updates of types 32 and
// 43): codes repeat across markets (000001 names two securities), and
// matching by code alone would write one stock's prices into another's row.
bool SameListStock(const QuoteRecord& held, const QuoteRecord& update);

// Copies every field after the stock key from source into target.
void CopyFieldsAfterKey(QuoteRecord* target, const QuoteRecord& source);
