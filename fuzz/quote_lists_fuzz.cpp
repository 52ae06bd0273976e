// Fuzz target for the stock-list (32), stock-fields (33) and ranking (41)
// decoders. Byte 0 picks the decoder and the mode; the rest is the body,
// copied into a buffer of exactly its size so that any read past it is
// reported. The areas live across inputs, so updates meet held records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "marketdata/quote_list_decoders.h"

namespace {

struct Areas {
  Areas() {
    std::memset(&list, 0, sizeof list);
    list.list.records = NewQuoteRecords(4);
    list.list.capacity = 4;
  }
  QuoteListArea list;
  StockFieldsArea fields{};
  RankingArea ranking{};
};

void Check(const Areas& a) {
  if (a.list.recordsHeld < 0 || a.list.recordsHeld > a.list.list.capacity) std::abort();
  if (a.list.fieldCount > kQuoteListMaxIds || a.fields.fieldCount > kStockFieldsMaxIds) std::abort();
  if (a.ranking.perBoxCount < 0 || a.ranking.perBoxCount > kRankingMaxPerBox) std::abort();
  if (a.ranking.totalCount > kRankingRecords) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Areas* areas = new Areas();
  if (size < 1 || size > (1u << 20)) return 0;
  const int choice = data[0];
  const size_t length = size - 1;
  auto* body = static_cast<unsigned char*>(std::malloc(length ? length : 1));
  if (length) std::memcpy(body, data + 1, length);
  ReplyReader reader(body, static_cast<int>(length));
  const int mode = choice & 1 ? 2 : 1;
  switch (choice >> 1 & 3) {
    case 0: DecodeStockListQuotes(&areas->list, &reader, mode); break;
    case 1: DecodeStockFields(&areas->fields, &reader, mode); break;
    default: DecodeRankingBoxes(&areas->ranking, &reader); break;
  }
  Check(*areas);
  std::free(body);
  return 0;
}
