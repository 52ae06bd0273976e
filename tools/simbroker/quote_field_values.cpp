#include "tools/simbroker/quote_field_values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace simbroker {

namespace {

// A small stable number per stock (0..9,999) for its fixed traits.
int Trait(const SimStock& s) {
  uint32_t h = 2166136261u;
  for (char c : s.code) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return static_cast<int>(h % 10000);
}

double ChangeFraction(const SimStock& s) { return s.prevClose > 0 ? (s.last - s.prevClose) / s.prevClose : 0.0; }

// Volume at one level of the book, in lots of 100: a rising price thickens
// the bid side and thins the ask side.
int64_t BookVolume(const SimStock& s, int level, bool ask) {
  const double base = 100.0 * ((level * 37 + Trait(s)) % 50 + 1);
  const double tilt = std::clamp(5.0 * ChangeFraction(s), -0.5, 0.5);
  const double factor = ask ? 1.0 - tilt : 1.0 + tilt;
  return std::max<int64_t>(100, std::llround(base * factor / 100.0) * 100);
}

// The book volume an id names: level 1..10, ask or bid; false otherwise.
bool BookVolumeId(int id, int* level, bool* ask) {
  int offset;
  if (id >= 12 && id <= 31) {
    *level = (id - 12) / 4 + 1;
    offset = (id - 12) % 4;
  } else if (id >= 400 && id <= 419) {
    *level = (id - 400) / 4 + 6;
    offset = (id - 400) % 4;
  } else {
    return false;
  }
  *ask = offset == 2;
  return offset >= 2;
}

int64_t OrderRatio(const SimStock& s) {
  int64_t bid = 0, ask = 0;
  for (int level = 1; level <= 10; ++level) {
    bid += BookVolume(s, level, false);
    ask += BookVolume(s, level, true);
  }
  return bid + ask > 0 ? std::llround(10000.0 * static_cast<double>(bid - ask) / static_cast<double>(bid + ask)) : 0;
}

}  // namespace

bool PutDerivedQuoteField(Bytes* out, const SimStock& s, int id) {
  int level = 0;
  bool ask = false;
  if (BookVolumeId(id, &level, &ask)) {
    PutU64(out, static_cast<uint64_t>(BookVolume(s, level, ask)));
    return true;
  }
  // Shares in free float and the day's usual volume, fixed per stock.
  const double floatShares = 1e8 * (1 + Trait(s) % 50);
  const double usualVolume = 2e5 * (1 + Trait(s) % 20);
  int64_t value = 0;
  switch (id) {
    case 33: value = std::llround(10000.0 * static_cast<double>(s.volume) / usualVolume); break;
    case 36: value = s.open > 0 ? std::llround((s.last - s.open) / s.open * 10000.0) : 0; break;
    case 37: value = std::llround(static_cast<double>(s.volume) / floatShares * 10000.0); break;
    case 38: value = OrderRatio(s); break;
    case 40: value = s.kind == 2 ? std::llround(s.last / (0.2 + Trait(s) % 300 / 100.0) * 10000.0) : 0; break;
    case 1015: PutU64(out, static_cast<uint64_t>(900000 + Trait(s))); return true;
    default: return false;
  }
  PutU32(out, static_cast<uint64_t>(value));
  return true;
}

}  // namespace simbroker
