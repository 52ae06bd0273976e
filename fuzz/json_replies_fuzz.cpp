// Fuzz target for the news-mark and stock-pool decoders. Byte 0 picks the
// decoder and the mode; the rest is the body (copied into a buffer of
// exactly its size). The news area keeps its records across inputs, so
// updates append to what earlier inputs left.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "marketdata/json_reply_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NewsListArea* news = [] {
    auto* a = static_cast<NewsListArea*>(std::calloc(1, sizeof(NewsListArea)));
    return a;
  }();
  static StockPoolTableArea* pool = static_cast<StockPoolTableArea*>(std::calloc(1, sizeof(StockPoolTableArea)));
  if (size < 1 || size > (1u << 18)) return 0;
  const int choice = data[0];
  const size_t length = size - 1;
  auto* body = static_cast<unsigned char*>(std::malloc(length ? length : 1));
  if (length) std::memcpy(body, data + 1, length);
  ReplyReader reader(body, static_cast<int>(length));
  switch (choice % 3) {
    case 0: DecodeNewsList(news, &reader, 1); break;
    case 1: DecodeNewsList(news, &reader, 2); break;
    default: DecodeStockPoolTable(pool, &reader); break;
  }
  if (news->recordCount < 0 || news->recordCount > kNewsMaxRecords) std::abort();
  if (pool->rowCount < 0 || pool->rowCount > kStockPoolMaxRows || pool->columnCount > kStockPoolColumns) std::abort();
  for (int i = 0; i < news->recordCount; ++i) {
    if (std::strlen(news->records[i].title) >= sizeof news->records[i].title) std::abort();
  }
  std::free(body);
  return 0;
}
