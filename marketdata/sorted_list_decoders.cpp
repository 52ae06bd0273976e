#include "marketdata/sorted_list_decoders.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/debug_trace.h"
#include "marketdata/quote_values.h"

namespace {

// Decodes up to count records into the area's record array (which holds at
// least count) and sets the counts to the records decoded whole.
void DecodeRecords(SortedQuoteListArea* area, ReplyReader* body, const std::vector<uint16_t>& ids,
                   int count) {
  int decoded = 0;
  while (decoded < count && ReadQuoteValues(body, ids, &area->list.records[decoded])) ++decoded;
  area->recordCount = static_cast<uint16_t>(decoded);
  area->recordsHeld = decoded;
}

// Makes the record array hold at least count records; false (and no array
// counted) when memory runs out.
bool EnsureRecords(SortedQuoteListArea* area, int count) {
  if (count <= area->list.capacity) return true;
  FreeQuoteRecords(area->list.records);
  area->list.records = NewQuoteRecords(count);
  area->list.capacity = area->list.records ? count : 0;
  if (area->list.records) return true;
  DebugPrintf("\nquote list: no memory for %d records", count);
  return false;
}

// Reads ids and the record count; false when the body ends first.
bool ReadListHead(SortedQuoteListArea* area, ReplyReader* body, std::vector<uint16_t>* ids,
                  uint16_t* count) {
  return ReadFieldIdList(body, &area->fieldCount, area->fieldIds, kSortedListMaxIds, ids) &&
         body->ReadU16(count);
}

// Type-40 head: the list id and the start row, each stored as soon as read.
bool ReadSortedHead(SortedQuoteListArea* area, ReplyReader* body) {
  int64_t listId = 0;
  int32_t start = 0;
  if (!body->ReadS64(&listId)) return false;
  area->listId = listId;
  if (!body->ReadS32(&start)) return false;
  area->start = start;
  return true;
}

// Type-42 head: the category key, stored in the start field.
bool ReadCategoryHead(SortedQuoteListArea* area, ReplyReader* body) {
  uint16_t key = 0;
  if (!body->ReadU16(&key)) return false;
  area->start = key;
  return true;
}

void ReadCompactEntries(SortedQuoteListArea* area, ReplyReader* body) {
  std::vector<uint16_t> ids;
  uint16_t wireCount = 0;
  if (!ReadListHead(area, body, &ids, &wireCount)) return;
  const int count = body->ClampCount(wireCount, 0xFFFF, kCompactEntrySize);
  area->recordCount = static_cast<uint16_t>(count);
  if (count == 0) return;
  const int held = (count + 8) / 9 * 9;
  area->codes = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(held), kCompactEntrySize));
  if (!area->codes) {
    DebugPrintf("\nquote list: no memory for %d entries", held);
    area->recordCount = 0;
    return;
  }
  body->ReadBytes(area->codes, count * kCompactEntrySize);
  area->recordsHeld = held;
}

}  // namespace

void DecodeSortedQuoteList(SortedQuoteListArea* area, ReplyReader* body) {
  if (!area || !body) return;
  // Entries of a compact reply that came before are not records.
  std::free(area->codes);
  area->codes = nullptr;
  area->recordsHeld = 0;
  area->recordCount = 0;
  if (!ReadSortedHead(area, body)) return;
  std::vector<uint16_t> ids;
  uint16_t wireCount = 0;
  if (!ReadListHead(area, body, &ids, &wireCount)) return;
  const int count = body->ClampCount(wireCount, 0xFFFF, QuoteRecordWireSize(ids));
  if (!EnsureRecords(area, count)) return;
  DecodeRecords(area, body, ids, count);
}

void DecodeCategoryQuoteList(SortedQuoteListArea* area, ReplyReader* body) {
  if (!area || !body) return;
  ReleaseSortedQuoteListArea(area);
  std::memset(area, 0, sizeof *area);
  if (!ReadCategoryHead(area, body)) return;
  std::vector<uint16_t> ids;
  uint16_t wireCount = 0;
  if (!ReadListHead(area, body, &ids, &wireCount)) return;
  const int count = body->ClampCount(wireCount, 0xFFFF, QuoteRecordWireSize(ids));
  if (count == 0 || !EnsureRecords(area, count)) return;
  // The capacity stays 0, so a type-40 reply that follows in the slot starts
  // from a fresh zero-filled array instead of reusing this page's records.
  area->list.capacity = 0;
  DecodeRecords(area, body, ids, count);
}

void DecodeSortedCodeList(SortedQuoteListArea* area, ReplyReader* body) {
  if (!area || !body) return;
  ReleaseSortedQuoteListArea(area);
  std::memset(area, 0, sizeof *area);
  if (!ReadSortedHead(area, body)) return;
  ReadCompactEntries(area, body);
}

void DecodeCategoryCodeList(SortedQuoteListArea* area, ReplyReader* body) {
  if (!area || !body) return;
  ReleaseSortedQuoteListArea(area);
  std::memset(area, 0, sizeof *area);
  if (!ReadCategoryHead(area, body)) return;
  ReadCompactEntries(area, body);
}

void DecodeFieldTable(FieldTableArea* area, ReplyReader* body, int mode) {
  if (!area || !body) return;
  if (mode == 1) std::memset(area, 0, sizeof *area);
  std::vector<uint16_t> ids;
  uint16_t wireCount = 0;
  if (!ReadFieldIdList(body, &area->fieldCount, area->fieldIds, kFieldTableMaxIds, &ids) ||
      !body->ReadU16(&wireCount)) {
    area->recordCount = 0;
    return;
  }
  const int recordSize = QuoteRecordWireSize(ids);
  int decoded = 0;
  if (mode == 1) {
    const int count = body->ClampCount(wireCount, kFieldTableRows, recordSize);
    if (wireCount > kFieldTableRows) {
      DebugPrintf("\nDecodeFieldTable: %d rows, %d kept", wireCount, kFieldTableRows);
    }
    while (decoded < count && ReadQuoteValues(body, ids, &area->records[decoded])) ++decoded;
    area->recordsHeld = decoded;
  } else {
    const int count = body->ClampCount(wireCount, 0xFFFF, recordSize);
    QuoteRecord scratch;
    for (; decoded < count; ++decoded) {
      std::memset(&scratch, 0, sizeof scratch);
      if (!ReadQuoteValues(body, ids, &scratch)) break;
      for (int r = 0; r < area->recordsHeld; ++r) {
        if (SameListStock(area->records[r], scratch)) {
          CopyFieldsAfterKey(&area->records[r], scratch);
          break;
        }
      }
    }
  }
  area->recordCount = static_cast<uint16_t>(decoded);
}
