#include "marketdata/quote_reply_handlers.h"

#include <initializer_list>

#include "foundation/debug_trace.h"
#include "marketdata/json_reply_decoders.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_list_decoders.h"
#include "marketdata/quote_requests.h"
#include "marketdata/sorted_list_decoders.h"

namespace {

// The packet kind of the request an entry stands for (byte 5 of its frame).
int RequestKind(const PendingRequest* entry) {
  return entry->frame && entry->frameLength > 5 ? entry->frame[5] : -1;
}

// The entry's result area when the request it stands for fills an area of
// this shape (its kind and type among those given); null otherwise, so that
// a reply that answers a request of another type (a server fault, or a
// sequence number reused on the wire) never writes into an area of another
// layout.
template <typename Area>
Area* AreaOf(PendingRequest* entry, int kind, std::initializer_list<int> types) {
  if (!entry) return nullptr;
  if (RequestKind(entry) == kind) {
    for (int type : types) {
      if (entry->type == type) return static_cast<Area*>(entry->area);
    }
  }
  DebugPrintf("\nreply for request %d (kind %d, type %d) does not fit its result area: not decoded",
              entry->sequence, RequestKind(entry), entry->type);
  return nullptr;
}

// Whether a quote-list request asked for the compact form (its parameter
// record is a QuoteListParams only for types 40 and 42).
bool CompactForm(PendingRequest* entry) {
  if (!entry || RequestKind(entry) != kPacketKindQuote || (entry->type != 40 && entry->type != 42)) return false;
  const auto* params = static_cast<const QuoteListParams*>(entry->params);
  return params && params->compactForm == 1;
}

void OnStockList(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeStockListQuotes(AreaOf<QuoteListArea>(entry, kPacketKindQuote, {32}), body, mode);
}

void OnStockFields(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeStockFields(AreaOf<StockFieldsArea>(entry, kPacketKindQuote, {33}), body, mode);
}

void OnRanking(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeRankingBoxes(AreaOf<RankingArea>(entry, kPacketKindQuote, {41}), body);
}

void OnSortedList(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  SortedQuoteListArea* area = AreaOf<SortedQuoteListArea>(entry, kPacketKindQuote, {40, 42});
  if (CompactForm(entry)) {
    DecodeSortedCodeList(area, body);
  } else {
    DecodeSortedQuoteList(area, body);
  }
}

void OnCategoryList(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  SortedQuoteListArea* area = AreaOf<SortedQuoteListArea>(entry, kPacketKindQuote, {40, 42});
  if (CompactForm(entry)) {
    DecodeCategoryCodeList(area, body);
  } else {
    DecodeCategoryQuoteList(area, body);
  }
}

void OnFieldTable(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeFieldTable(AreaOf<FieldTableArea>(entry, kPacketKindQuote, {43, 45, 46}), body, mode);
}

void OnStockPool(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int, int) {
  DecodeStockPoolTable(AreaOf<StockPoolTableArea>(entry, kPacketKindQuote, {69}), body);
}

void OnNews(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  DecodeNewsList(AreaOf<NewsListArea>(entry, kPacketKindNews, {2, 3}), body, mode);
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
