// The quote-field table: one row per run of consecutive ids that fill
// consecutive fields of the same form. The lookup array indexed by id is
// built from it at compile time, so decoding a field is one load and one
// switch on the form.
#include "marketdata/quote_record.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <new>

namespace {

enum Form : uint8_t {
  kNone = 0,   // not in the table: reads nothing
  kKey,        // 33-byte stock key
  kListCode,   // 6 code bytes and the market byte
  kS32,
  kPrice,      // s32 / 10,000 as float
  kS64,
  kPrice1000,  // (s32 / 10,000) * 10 as float
  kS16,
  kU16,        // stored zero-extended in 32 bits
  kByte,
  kText24,     // 24 bytes, then a zero byte in the record
  kFormCount,
};

// Wire width and record storage size per form.
constexpr int kWireWidth[kFormCount] = {0, 33, 7, 4, 4, 8, 4, 2, 2, 1, 24};
constexpr int kStorageSize[kFormCount] = {0, 0, 0, 4, 4, 8, 4, 2, 4, 1, 25};

struct Run {
  uint16_t first;    // first id of the run
  uint16_t last;     // last id of the run
  Form form;
  uint16_t offset;   // offset of the first id's field in QuoteRecord
};

#define ONE(id, form, member) Run{id, id, form, offsetof(QuoteRecord, member)}
#define RUN(first, last, form, member) Run{first, last, form, offsetof(QuoteRecord, member)}
#define LEVEL(b, ask, bid, askVol, bidVol)                                     \
  ONE(b, kPrice, ask), ONE(b + 1, kPrice, bid), ONE(b + 2, kS64, askVol), \
      ONE(b + 3, kS64, bidVol)

constexpr Run kRuns[] = {
    ONE(0, kKey, key),
    ONE(1, kListCode, listCode),
    ONE(2, kS32, field2),
    ONE(3, kS32, field3),
    ONE(4, kPrice, previousClose),
    ONE(5, kPrice, open),
    ONE(6, kPrice, high),
    ONE(7, kPrice, low),
    ONE(8, kPrice, lastPrice),
    ONE(9, kS64, totalVolume),
    ONE(10, kS64, currentVolume),
    ONE(11, kS64, amount),
    LEVEL(12, askPrice1, bidPrice1, askVolume1, bidVolume1),
    LEVEL(16, askPrice2, bidPrice2, askVolume2, bidVolume2),
    LEVEL(20, askPrice3, bidPrice3, askVolume3, bidVolume3),
    LEVEL(24, askPrice4, bidPrice4, askVolume4, bidVolume4),
    LEVEL(28, askPrice5, bidPrice5, askVolume5, bidVolume5),
    ONE(32, kS64, outerVolume),
    ONE(33, kS32, volumeRatio),
    ONE(34, kS32, changePercent),
    ONE(35, kPrice, change),
    ONE(36, kS32, fiveMinuteChange),
    ONE(37, kS32, turnoverRate),
    ONE(38, kS32, orderRatio),
    ONE(39, kS64, field39),
    ONE(40, kS32, peRatio),
    ONE(41, kS32, amplitude),
    ONE(42, kPrice, averagePrice),
    ONE(43, kS64, field43),
    ONE(44, kPrice, limitUp),
    ONE(45, kPrice, limitDown),
    ONE(306, kS64, field306),
    ONE(350, kS32, field350),
    ONE(351, kS64, field351),
    ONE(356, kS64, field356),
    ONE(357, kText24, field357),
    LEVEL(400, askPrice6, bidPrice6, askVolume6, bidVolume6),
    LEVEL(404, askPrice7, bidPrice7, askVolume7, bidVolume7),
    LEVEL(408, askPrice8, bidPrice8, askVolume8, bidVolume8),
    LEVEL(412, askPrice9, bidPrice9, askVolume9, bidVolume9),
    LEVEL(416, askPrice10, bidPrice10, askVolume10, bidVolume10),
    ONE(700, kS64, field700),
    ONE(701, kS64, openInterest),
    ONE(702, kPrice, settlementPrice),
    ONE(703, kPrice, previousSettlement),
    ONE(704, kPrice, basis),
    ONE(705, kPrice, field705),
    ONE(706, kS32, openInterestChange),
    ONE(707, kS64, dailyOpenInterestChange),
    ONE(800, kPrice1000, threeDayDdx),
    RUN(801, 802, kPrice1000, field801),
    ONE(807, kByte, field807),
    ONE(808, kByte, field808),
    ONE(809, kS32, positionShare1Day),
    ONE(810, kS32, positionPlace1Day),
    ONE(811, kS32, placeChange1Day),
    RUN(850, 851, kS64, field850),
    ONE(852, kS64, superLargeNetInflow),
    RUN(853, 854, kS64, field853),
    ONE(855, kS64, superLargeNetAmount),
    RUN(856, 857, kS64, field856),
    ONE(858, kS64, largeNetInflow),
    RUN(859, 860, kS64, field859),
    ONE(861, kS64, largeNetAmount),
    RUN(862, 863, kS64, field862),
    ONE(864, kS64, mediumNetInflow),
    RUN(865, 866, kS64, field865),
    ONE(867, kS64, mediumNetAmount),
    RUN(868, 869, kS64, field868),
    ONE(870, kS64, smallNetInflow),
    RUN(871, 872, kS64, field871),
    ONE(873, kS64, smallNetAmount),
    RUN(874, 878, kS64, field874),
    ONE(879, kS64, mainNetInflow),
    RUN(880, 885, kS64, field880),
    ONE(1000, kS32, field1000),
    ONE(1001, kS16, risingCount),
    ONE(1002, kS16, field1002),
    ONE(1003, kS16, fallingCount),
    RUN(1004, 1011, kS16, field1004),
    ONE(1012, kS32, field1012),
    ONE(1013, kS16, field1013),
    ONE(1014, kS32, field1014),
    ONE(1015, kS64, field1015),
    ONE(1016, kU16, field1016),
    RUN(2000, 2002, kS32, field2000),
    ONE(2003, kS32, field2003),
    ONE(2010, kU16, field2003),
    ONE(2011, kU16, field2003),
    ONE(2020, kS64, field2020),
    ONE(2021, kS32, field2021),
    ONE(2031, kS32, field2031),
    RUN(2041, 2043, kS32, field2041),
    RUN(5000, 5002, kS32, field5000),
    RUN(5003, 5004, kS64, field5003),
    ONE(5005, kS32, fiveDayChange),
    ONE(5006, kS32, fiveDayTurnover),
    ONE(5007, kS32, field5007),
    ONE(5008, kS64, field5008),
    ONE(5009, kS64, fiveDayVolume),
    ONE(5010, kS32, tenDayChange),
    ONE(5011, kS32, tenDayTurnover),
    ONE(5012, kS32, field5012),
    ONE(5013, kS64, field5013),
    ONE(5014, kS64, tenDayVolume),
    RUN(5015, 5017, kS32, field5015),
    RUN(5018, 5019, kS64, field5018),
    RUN(5020, 5022, kS32, field5020),
    RUN(5023, 5024, kS64, field5023),
    ONE(5025, kS32, sixtyDayChange),
    ONE(5026, kS32, sixtyDayTurnover),
    ONE(5027, kS32, field5027),
    ONE(5028, kS64, field5028),
    ONE(5029, kS64, sixtyDayVolume),
    RUN(5030, 5032, kS32, field5030),
    RUN(5033, 5034, kS64, field5033),
    RUN(5035, 5037, kS32, field5035),
    RUN(5038, 5039, kS64, field5038),
    RUN(5040, 5041, kS64, field5040),
    ONE(5042, kPrice1000, field5042),
    ONE(5043, kPrice1000, fiveDayDdx),
    RUN(5044, 5046, kPrice1000, field5044),
    ONE(5047, kPrice1000, sixtyDayDdx),
    RUN(5048, 5053, kPrice1000, field5048),
    RUN(5054, 5072, kS64, field5054),
    ONE(5073, kS64, fiveDayMainNetInflow),
    ONE(5074, kS64, tenDayMainNetInflow),
    RUN(5075, 5077, kS64, field5075),
    ONE(5078, kS32, field5078),
    ONE(5079, kS32, positionShare5Day),
    ONE(5080, kS32, positionShare10Day),
    ONE(5081, kS32, field5081),
    ONE(5082, kS32, positionPlace5Day),
    ONE(5083, kS32, positionPlace10Day),
    ONE(5084, kS32, field5084),
    ONE(5085, kS32, placeChange5Day),
    ONE(5086, kS32, placeChange10Day),
    ONE(5500, kS64, field5500),
};

#undef ONE
#undef RUN
#undef LEVEL

constexpr int kMaxId = 5500;

struct Slot {
  Form form;
  uint16_t offset;
};

constexpr std::array<Slot, kMaxId + 1> BuildSlots() {
  std::array<Slot, kMaxId + 1> slots{};
  for (const Run& run : kRuns) {
    for (int id = run.first; id <= run.last; ++id) {
      const int storage = run.form == kKey || run.form == kListCode ? 0 : kStorageSize[run.form];
      slots[id] = Slot{run.form, static_cast<uint16_t>(run.offset + (id - run.first) * storage)};
    }
  }
  return slots;
}

constexpr std::array<Slot, kMaxId + 1> kSlots = BuildSlots();

constexpr int CountIds() {
  int n = 0;
  for (const Slot& s : kSlots) n += s.form != kNone;
  return n;
}
static_assert(CountIds() == 240, "the quote-field table holds 240 ids");

inline uint32_t U32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

inline uint64_t U64(const unsigned char* p) {
  return static_cast<uint64_t>(U32(p)) << 32 | U32(p + 4);
}

template <typename T>
inline void Put(QuoteRecord* record, uint16_t offset, T value) {
  std::memcpy(reinterpret_cast<unsigned char*>(record) + offset, &value, sizeof value);
}

void Store(QuoteRecord* record, const Slot& slot, const unsigned char* p) {
  switch (slot.form) {
    case kKey:
      DecodeStockKey(&record->key, p);
      break;
    case kListCode:
      std::memset(record->listCode, 0, sizeof record->listCode);
      std::memcpy(record->listCode, p, 6);
      record->listMarket = p[6];
      break;
    case kS32:
      Put(record, slot.offset, static_cast<int32_t>(U32(p)));
      break;
    case kPrice:
      Put(record, slot.offset, static_cast<float>(static_cast<int32_t>(U32(p)) / 10000.0));
      break;
    case kS64:
      Put(record, slot.offset, static_cast<int64_t>(U64(p)));
      break;
    case kPrice1000:
      Put(record, slot.offset,
          static_cast<float>(static_cast<int32_t>(U32(p)) / 10000.0 * 10.0));
      break;
    case kS16:
      Put(record, slot.offset, static_cast<int16_t>(p[0] << 8 | p[1]));
      break;
    case kU16:
      Put(record, slot.offset, static_cast<int32_t>(p[0] << 8 | p[1]));
      break;
    case kByte:
      Put(record, slot.offset, static_cast<uint8_t>(p[0]));
      break;
    case kText24: {
      unsigned char* text = reinterpret_cast<unsigned char*>(record) + slot.offset;
      std::memset(text, 0, 25);
      std::memcpy(text, p, 24);
      break;
    }
    default:
      break;
  }
}

}  // namespace

void DecodeStockKey(StockKey* key, const unsigned char* source) {
  std::memset(key, 0, sizeof *key);
  std::memcpy(key->code, source, 6);
  std::memcpy(key->name, source + 6, 24);
  key->decimals = source[30];
  key->market = source[31];
  key->kind = source[32];
}

int QuoteFieldWireSize(int id) {
  if (id < 0 || id > kMaxId) return 0;
  return kWireWidth[kSlots[id].form];
}

int DecodeQuoteField(const unsigned char* body, int length, int id, int* position,
                     QuoteRecord* record) {
  int result = kQuoteFieldUnknown;
  if (id >= 0 && id <= kMaxId && kSlots[id].form != kNone) {
    const Slot& slot = kSlots[id];
    const int width = kWireWidth[slot.form];
    if (*position < 0 || *position > length || width > length - *position) {
      result = kQuoteFieldShort;
    } else {
      Store(record, slot, body + *position);
      *position += width;
      result = kQuoteFieldDecoded;
    }
  }
  const int64_t inner = static_cast<int64_t>(static_cast<uint64_t>(record->totalVolume) -
                                             static_cast<uint64_t>(record->outerVolume));
  record->innerVolume = inner > 0 ? inner : 0;
  return result;
}

QuoteRecord* NewQuoteRecords(int count) {
  if (count < 1) return nullptr;
  return new (std::nothrow) QuoteRecord[count]();
}

void FreeQuoteRecords(QuoteRecord* records) { delete[] records; }
