#include "marketdata/l2_bar_supplements.h"

#include <cstring>
#include <vector>

#include "foundation/debug_trace.h"
#include "marketdata/bar_decoders.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"

namespace {

// Value index of a supplement-A code, or -1.
int Level2Index(int code) {
  static const int kLetters[] = {100, 102, 103, 104, 105, 106, 108, 109, 110, 111};
  for (int i = 0; i < 10; ++i) {
    if (kLetters[i] == code) return i;
  }
  for (int i = 0; i < 8; ++i) {
    if (code == 50 + 4 * i) return 10 + i;
    if (code == 52 + 4 * i) return 18 + i;
    if (code == 51 + 4 * i) return 26 + i;
  }
  return -1;
}

// Value index of a supplement-B code, or -1.
int SupplementIndex(int code) {
  if (code == 103) return 0;
  if (code == 109) return 1;
  if (code == 127) return 2;
  for (int i = 0; i < 8; ++i) {
    if (code == 50 + 4 * i) return 3 + i;
  }
  return -1;
}

// What differs between the two supplements.
template <typename Record>
struct Kind;

template <>
struct Kind<Level2BarRecord> {
  static Level2BarRecord* Records(KLineArea* a) { return a->level2Records; }
  static int64_t* Values(KLineArea* a) { return a->level2Values; }
  static int32_t* Count(KLineArea* a) { return &a->level2Count; }
  static constexpr bool kClearsValues = true;
  static bool Known(int code) { return Level2Index(code) >= 0; }
  static int Decode(ReplyReader* body, int code, Level2BarRecord* r, const Level2BarRecord*) {
    return DecodeLevel2BarField(body, code, r);
  }
};

template <>
struct Kind<BarSupplementRecord> {
  static BarSupplementRecord* Records(KLineArea* a) { return a->supplementRecords; }
  static int64_t* Values(KLineArea* a) { return a->supplementValues; }
  static int32_t* Count(KLineArea* a) { return &a->supplementCount; }
  static constexpr bool kClearsValues = false;
  static bool Known(int code) { return SupplementIndex(code) >= 0; }
  static int Decode(ReplyReader* body, int code, BarSupplementRecord* r, const BarSupplementRecord* ref) {
    return DecodeBarSupplementField(body, code, r, ref);
  }
};

struct CodeList {
  int count = 0;
  uint8_t codes[256] = {};
  int bytesPerRecord = 0;   // the least bytes one record takes
};

template <typename Record>
bool ReadCodes(ReplyReader* body, CodeList* list) {
  uint8_t k = 0;
  if (!body->ReadU8(&k)) return false;
  for (int i = 0; i < k; ++i) {
    uint8_t code = 0;
    if (!body->ReadU8(&code)) return false;
    list->codes[list->count++] = code;
    if (Kind<Record>::Known(code)) list->bytesPerRecord += code == 127 ? 1 : 3;
  }
  return true;
}

// One record: one value per listed code. False when the body ended.
template <typename Record>
bool DecodeRecord(ReplyReader* body, const CodeList& list, Record* record, const Record* reference) {
  for (int i = 0; i < list.count; ++i) {
    if (Kind<Record>::Decode(body, list.codes[i], record, reference) < 0) return false;
  }
  return true;
}

template <typename Record>
void DecodeComplete(KLineArea* area, ReplyReader* body, int window) {
  Record* records = Kind<Record>::Records(area);
  int32_t* count = Kind<Record>::Count(area);
  std::memset(static_cast<void*>(records), 0, sizeof(Record) * kSupplementRoom);
  *count = 0;
  int64_t* values = Kind<Record>::Values(area);
  if (Kind<Record>::kClearsValues) std::memset(values, 0, sizeof(int64_t) * kSupplementValueRoom);

  unsigned char key[kStockKeyWireSize];
  if (!body->ReadBytes(key, kStockKeyWireSize)) return;  // not kept
  uint8_t e = 0;
  if (!body->ReadU8(&e)) return;
  for (int i = 0; i < e; ++i) {
    int64_t value = 0;
    if (!body->ReadS64(&value) || !body->Skip(4)) return;
    if (i < kSupplementValueRoom) values[i] = value;
  }
  CodeList list;
  uint16_t n = 0;
  if (!body->Skip(1) || !ReadCodes<Record>(body, &list) || !body->ReadU16(&n)) return;

  const int first = area->first < 0 ? 0 : area->first;
  if (window < 0 || first + window > kSupplementRoom || n > window) {
    DebugPrintf("\nDecodeKLineSupplement: %d records for a window of %d at %d refused", n, window, first);
    return;
  }
  const int base = first + window - n;
  Record reference{};
  for (int j = 0; j < n; ++j) {
    Record record{};
    if (!DecodeRecord(body, list, &record, &reference)) break;   // a cut record is not stored
    records[base + j] = record;
    reference = record;
  }
  *count = window;
  if (body->Short()) return;

  // Look-back groups: c values of one code into the c records before base,
  // code 127 relative to the group's first record.
  uint8_t m = 0;
  if (!body->ReadU8(&m)) return;
  for (int g = 0; g < m; ++g) {
    uint8_t code = 0;
    int8_t c = 0;
    if (!body->ReadU8(&code) || !body->ReadS8(&c)) return;
    if (c <= 0) continue;
    const bool fits = c <= base;
    Record discard{};
    for (int j = 0; j < c; ++j) {
      Record* target = fits ? &records[base - c + j] : &discard;
      const Record groupFirst = fits ? records[base - c] : discard;
      if (j == 0) {
        const Record cleared{};
        if (Kind<Record>::Decode(body, code, target, &cleared) < 0) return;
      } else if (Kind<Record>::Decode(body, code, target, &groupFirst) < 0) {
        return;
      }
    }
  }
}

template <typename Record>
void DecodeUpdate(KLineArea* area, ReplyReader* body, int capacity) {
  CodeList list;
  uint16_t n = 0;
  uint8_t mode = 0;
  if (!body->Skip(1) || !ReadCodes<Record>(body, &list) || !body->ReadU16(&n) || !body->ReadU8(&mode)) return;
  // Records without a known code read nothing: no more of them than the
  // records could hold are worth keeping.
  const int wanted = body->ClampCount(n, list.bytesPerRecord > 0 ? 65535 : kSupplementRoom, list.bytesPerRecord);
  if (wanted == 0) return;
  std::vector<Record> scratch(static_cast<size_t>(wanted));
  Record reference{};
  int decoded = 0;
  for (; decoded < wanted; ++decoded) {
    Record record{};
    if (!DecodeRecord(body, list, &record, &reference)) break;
    scratch[decoded] = record;
    reference = record;
  }
  int32_t* count = Kind<Record>::Count(area);
  *count = SlideWindow(Kind<Record>::Records(area), kSupplementRoom, area->first, *count, capacity, scratch.data(),
                       decoded, mode == 1);
}

template <typename Record>
void DecodeSupplement(KLineArea* area, ReplyReader* body, int replyFlag, int capacity, int window) {
  if (!area || !body) return;
  if (replyFlag == 1) {
    DecodeComplete<Record>(area, body, window);
    return;
  }
  DecodeUpdate<Record>(area, body, capacity);
}

}  // namespace

int DecodeLevel2BarField(ReplyReader* body, int code, Level2BarRecord* record) {
  const int index = Level2Index(code);
  if (index < 0) return 0;
  int64_t value = 0;
  if (!body->ReadScaledInt24(&value)) return -1;
  record->values[index] = value;
  return 1;
}

int DecodeBarSupplementField(ReplyReader* body, int code, BarSupplementRecord* record,
                             const BarSupplementRecord* reference) {
  const int index = SupplementIndex(code);
  if (index < 0) return 0;
  int64_t value = 0;
  if (index == 2) {
    if (!body->ReadVarInt64(&value)) return -1;
    record->values[2] = static_cast<int64_t>(static_cast<uint64_t>(reference->values[2]) + static_cast<uint64_t>(value));
    return 1;
  }
  if (!body->ReadScaledInt24(&value)) return -1;
  record->values[index] = value;
  return 1;
}

void DecodeKLineSupplementA(KLineArea* area, ReplyReader* body, int replyFlag, int capacity, int window) {
  DecodeSupplement<Level2BarRecord>(area, body, replyFlag, capacity, window);
}

void DecodeKLineSupplementB(KLineArea* area, ReplyReader* body, int replyFlag, int capacity, int window) {
  DecodeSupplement<BarSupplementRecord>(area, body, replyFlag, capacity, window);
}

// Only a reply to a supplement request is decoded: the area must be the
// KLineArea such a request registered.
void DecodeKLineSupplementAReply(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  if (!entry || !entry->area || !entry->params || entry->type != 91) return;
  const LatestBarsParams* params = static_cast<const LatestBarsParams*>(entry->params);
  DecodeKLineSupplementA(static_cast<KLineArea*>(entry->area), body, mode, params->barCount, kKLineWindow);
}

void DecodeKLineSupplementBReply(QuoteEngine*, PendingRequest* entry, ReplyReader* body, int mode, int) {
  if (!entry || !entry->area || !entry->params || entry->type != 92) return;
  const LatestBarsParams* params = static_cast<const LatestBarsParams*>(entry->params);
  DecodeKLineSupplementB(static_cast<KLineArea*>(entry->area), body, mode, params->barCount, kKLineWindow);
}
