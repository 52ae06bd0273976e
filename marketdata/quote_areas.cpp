#include "marketdata/quote_areas.h"

#include <cstdlib>

void ReleaseQuoteListArea(QuoteListArea* area) {
  if (!area) return;
  FreeQuoteRecords(area->list.records);
  area->list.records = nullptr;
  area->list.capacity = 0;
  area->recordsHeld = 0;
  area->recordCount = 0;
}

void ReleaseSortedQuoteListArea(SortedQuoteListArea* area) {
  if (!area) return;
  FreeQuoteRecords(area->list.records);
  area->list.records = nullptr;
  area->list.capacity = 0;
  std::free(area->codes);
  area->codes = nullptr;
  area->recordsHeld = 0;
  area->recordCount = 0;
}

void ReleaseNewsListArea(NewsListArea* area) {
  if (!area) return;
  std::free(area->records);
  area->records = nullptr;
  area->recordCount = 0;
}

void ReleaseStockPoolTableArea(StockPoolTableArea* area) {
  if (!area) return;
  std::free(area->columns);
  area->columns = nullptr;
  std::free(area->rows);
  area->rows = nullptr;
  area->rowCount = 0;
  area->columnCount = 0;
}
