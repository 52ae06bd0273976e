#include "marketdata/quote_list_decoders.h"

#include <cstring>
#include <vector>

#include "foundation/debug_trace.h"
#include "marketdata/quote_values.h"

void DecodeStockFields(StockFieldsArea* area, ReplyReader* body, int mode) {
  if (!area || !body) return;
  if (mode == 1) std::memset(area, 0, sizeof *area);
  std::vector<uint16_t> ids;
  if (ReadFieldIdList(body, &area->fieldCount, area->fieldIds, kStockFieldsMaxIds, &ids)) {
    ReadQuoteValues(body, ids, &area->record);
  }
  SetUnflooredInnerVolume(&area->record);
}

namespace {

void DecodeCompleteList(QuoteListArea* area, ReplyReader* body, const std::vector<uint16_t>& ids,
                        int count) {
  if (count > area->list.capacity) {
    FreeQuoteRecords(area->list.records);
    area->list.records = NewQuoteRecords(count);
    area->list.capacity = area->list.records ? count : 0;
    if (!area->list.records) {
      DebugPrintf("\nDecodeStockListQuotes: no memory for %d records", count);
      count = 0;
    }
  }
  int decoded = 0;
  while (decoded < count && ReadQuoteValues(body, ids, &area->list.records[decoded])) ++decoded;
  area->recordCount = static_cast<uint16_t>(decoded);
  area->recordsHeld = decoded;
}

void DecodeListUpdate(QuoteListArea* area, ReplyReader* body, const std::vector<uint16_t>& ids,
                      int count) {
  QuoteRecord scratch;
  int decoded = 0;
  for (; decoded < count; ++decoded) {
    std::memset(&scratch, 0, sizeof scratch);
    if (!ReadQuoteValues(body, ids, &scratch)) break;
    for (int i = 0; i < area->recordsHeld; ++i) {
      if (SameListStock(area->list.records[i], scratch)) {
        CopyFieldsAfterKey(&area->list.records[i], scratch);
        break;
      }
    }
  }
  area->recordCount = static_cast<uint16_t>(decoded);
}

}  // namespace

void DecodeStockListQuotes(QuoteListArea* area, ReplyReader* body, int mode) {
  if (!area || !body) return;
  std::vector<uint16_t> ids;
  uint16_t count = 0;
  if (!ReadFieldIdList(body, &area->fieldCount, area->fieldIds, kQuoteListMaxIds, &ids) ||
      !body->ReadU16(&count)) {
    area->recordCount = 0;
    return;
  }
  const int records = body->ClampCount(count, 0xFFFF, QuoteRecordWireSize(ids));
  if (mode == 1) {
    DecodeCompleteList(area, body, ids, records);
  } else {
    DecodeListUpdate(area, body, ids, records);
  }
}

void DecodeRankingBoxes(RankingArea* area, ReplyReader* body) {
  if (!area || !body) return;
  std::memset(area, 0, sizeof *area);
  int64_t head = 0;
  int8_t wireCount = 0;
  if (!body->ReadS64(&head)) return;
  area->head = head;
  if (!body->ReadS8(&wireCount)) return;
  const int perBox = wireCount < 0 ? 0 : (wireCount > kRankingMaxPerBox ? kRankingMaxPerBox : wireCount);
  if (wireCount > kRankingMaxPerBox) {
    DebugPrintf("\nDecodeRankingBoxes: %d entries per box, %d kept", wireCount, kRankingMaxPerBox);
  }
  area->perBoxCount = static_cast<int16_t>(perBox);
  static const std::vector<uint16_t> kEntryIds = {0, 8, 4};
  int decoded = 0;
  QuoteRecord spare;
  for (int box = 0; box < kRankingBoxes; ++box) {
    for (int i = 0; i < wireCount; ++i) {
      // Entries beyond the room are read into a spare record to keep the walk in step.
      QuoteRecord* record = i < perBox ? &area->records[box * perBox + i] : &spare;
      std::memset(&spare, 0, sizeof spare);
      uint8_t kind = 0;
      if (!ReadQuoteValues(body, kEntryIds, record) || !body->ReadU8(&kind)) {
        area->totalCount = static_cast<uint16_t>(decoded);
        return;
      }
      int rankedId = -1;
      switch (kind) {
        case 1: case 2: rankedId = 34; break;
        case 3: rankedId = 41; break;
        case 4: case 5: rankedId = 36; break;
        case 6: rankedId = 33; break;
        case 7: case 8: rankedId = 38; break;
        case 9: rankedId = 11; break;
        default: break;
      }
      bool ok = true;
      if (kind >= 1 && kind <= 8) ok = body->Skip(4);
      if (ok && rankedId >= 0) ok = ReadQuoteValues(body, {static_cast<uint16_t>(rankedId)}, record);
      if (!ok) {
        area->totalCount = static_cast<uint16_t>(decoded);
        return;
      }
      if (i < perBox) ++decoded;
    }
  }
  area->totalCount = static_cast<uint16_t>(decoded);
}
