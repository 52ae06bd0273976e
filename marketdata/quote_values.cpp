#include "marketdata/quote_values.h"

#include <cstddef>
#include <cstring>

bool ReadFieldIdList(ReplyReader* body, uint16_t* areaCount, uint16_t* areaIds, int room,
                     std::vector<uint16_t>* walk) {
  walk->clear();
  *areaCount = 0;
  uint16_t count = 0;
  if (!body->ReadU16(&count)) return false;
  walk->reserve(count);
  for (int i = 0; i < count; ++i) {
    uint16_t id = 0;
    if (!body->ReadU16(&id)) return false;
    walk->push_back(id);
    if (i < room) {
      areaIds[i] = id;
      *areaCount = static_cast<uint16_t>(i + 1);
    }
  }
  return true;
}

bool ReadStockKey(ReplyReader* body, StockKey* key) {
  unsigned char raw[kStockKeyWireSize];
  if (!body->ReadBytes(raw, kStockKeyWireSize)) return false;
  DecodeStockKey(key, raw);
  return true;
}

bool ReadQuoteValues(ReplyReader* body, const std::vector<uint16_t>& ids, QuoteRecord* record) {
  if (body->Short()) return false;
  const unsigned char* values = body->Current();
  const int available = body->Remaining();
  int position = 0;
  bool complete = true;
  for (uint16_t id : ids) {
    if (DecodeQuoteField(values, available, id, &position, record) == kQuoteFieldShort) {
      complete = false;
      break;
    }
  }
  body->Skip(position);
  if (!complete) body->MarkShort("quote value runs past the body");
  return complete;
}

int QuoteRecordWireSize(const std::vector<uint16_t>& ids) {
  int size = 0;
  for (uint16_t id : ids) size += QuoteFieldWireSize(id);
  return size > 0 ? size : 1;
}

bool SameListStock(const QuoteRecord& held, const QuoteRecord& update) {
  return update.listCode[0] != 0 && std::strcmp(held.key.code, update.listCode) == 0 &&
         held.key.market == update.listMarket;
}

void CopyFieldsAfterKey(QuoteRecord* target, const QuoteRecord& source) {
  constexpr size_t kAfterKey = offsetof(QuoteRecord, listCode);
  std::memcpy(reinterpret_cast<unsigned char*>(target) + kAfterKey,
              reinterpret_cast<const unsigned char*>(&source) + kAfterKey,
              sizeof(QuoteRecord) - kAfterKey);
}
