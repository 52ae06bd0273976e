// Fuzz target for the sorted-list (40), category-list (42), compact-list and
// field-table (43, 45, 46) decoders. Byte 0 picks the decoder and the mode;
// the rest is the body, copied into a buffer of exactly its size. One
// sorted-list area serves every list decoder, so form switches are met.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "marketdata/sorted_list_decoders.h"

namespace {

struct Areas {
  Areas() {
    std::memset(&list, 0, sizeof list);
    list.list.records = NewQuoteRecords(4);
    list.list.capacity = 4;
  }
  SortedQuoteListArea list;
  FieldTableArea table{};
};

void Check(const Areas& a) {
  const SortedQuoteListArea& l = a.list;
  if (l.list.records && l.codes) std::abort();
  // A category page leaves the capacity at 0 over an array of exactly its
  // records; the reads below (under AddressSanitizer) check that bound.
  if (l.codes == nullptr && (l.recordsHeld < 0 || (l.list.capacity > 0 && l.recordsHeld > l.list.capacity)))
    std::abort();
  if (l.codes == nullptr && l.list.records == nullptr && l.recordsHeld > 0) std::abort();
  if (l.fieldCount > kSortedListMaxIds || a.table.fieldCount > kFieldTableMaxIds) std::abort();
  if (a.table.recordsHeld < 0 || a.table.recordsHeld > kFieldTableRows) std::abort();
  // Touch every entry a view would read.
  volatile unsigned char sink = 0;
  if (l.codes) {
    for (int i = 0; i < l.recordsHeld * kCompactEntrySize; ++i) sink = sink + l.codes[i];
  } else {
    for (int i = 0; i < l.recordsHeld; ++i) sink = sink + static_cast<unsigned char>(l.list.records[i].key.code[0]);
  }
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
  switch (choice % 6) {
    case 0: DecodeSortedQuoteList(&areas->list, &reader); break;
    case 1: DecodeCategoryQuoteList(&areas->list, &reader); break;
    case 2: DecodeSortedCodeList(&areas->list, &reader); break;
    case 3: DecodeCategoryCodeList(&areas->list, &reader); break;
    case 4: DecodeFieldTable(&areas->table, &reader, 1); break;
    default: DecodeFieldTable(&areas->table, &reader, 2); break;
  }
  Check(*areas);
  std::free(body);
  return 0;
}
