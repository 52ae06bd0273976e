#include "marketdata/quote_reply_handlers.h"

#include "marketdata/json_reply_decoders.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_list_decoders.h"
#include "marketdata/quote_requests.h"
#include "marketdata/sorted_list_decoders.h"

namespace {

template <typename Area>
Area* AreaOf(PendingRequest* entry) {
  return entry ? static_cast<Area*>(entry->area) : nullptr;
}

bool CompactForm(PendingRequest* entry) {
  const auto* params = entry ? static_cast<const QuoteListParams*>(entry->params) : nullptr;
  return params && params->compactForm == 1;
}

void OnStockList(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeStockListQuotes(AreaOf<QuoteListArea>(entry), body, mode);
}

void OnStockFields(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeStockFields(AreaOf<StockFieldsArea>(entry), body, mode);
}

void OnRanking(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeRankingBoxes(AreaOf<RankingArea>(entry), body);
}

void OnSortedList(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  if (CompactForm(entry)) {
    DecodeSortedCodeList(AreaOf<SortedQuoteListArea>(entry), body);
  } else {
    DecodeSortedQuoteList(AreaOf<SortedQuoteListArea>(entry), body);
  }
}

void OnCategoryList(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  if (CompactForm(entry)) {
    DecodeCategoryCodeList(AreaOf<SortedQuoteListArea>(entry), body);
  } else {
    DecodeCategoryQuoteList(AreaOf<SortedQuoteListArea>(entry), body);
  }
}

void OnFieldTable(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeFieldTable(AreaOf<FieldTableArea>(entry), body, mode);
}

void OnStockPool(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeStockPoolTable(AreaOf<StockPoolTableArea>(entry), body);
}

void OnNews(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeNewsList(AreaOf<NewsListArea>(entry), body, mode);
}

}  // namespace

void AddQuoteRecordDecoders(ReplyDecoderTable* table) {
  table->decoder[32] = OnStockList;
  table->decoder[33] = OnStockFields;
  table->decoder[41] = OnRanking;
  table->decoder[40] = OnSortedList;
  table->decoder[42] = OnCategoryList;
  table->decoder[43] = OnFieldTable;
  table->decoder[45] = OnFieldTable;
  table->decoder[46] = OnFieldTable;
  table->decoder[69] = OnStockPool;
}

void AddNewsDecoders(ReplyDecoderTable* table) {
  table->decoder[2] = OnNews;
  table->decoder[3] = OnNews;
}
