// Fuzz target for the bar, ex-rights and level-2 supplement decoders and the
// ex-rights adjustment. Input: a selector byte (low 3 bits: 0 type 49, 1 type
// 68, 2 type 55, 3 type 91, 4 type 92; bit 3: update instead of complete),
// a capacity byte, then the reply body, copied to a buffer of its exact size
// so that a read past the body is an AddressSanitizer report. The areas
// persist between inputs, so updates meet areas that earlier inputs filled.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "marketdata/bar_decoders.h"
#include "marketdata/ex_rights.h"
#include "marketdata/l2_bar_supplements.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckArea(const KLineArea& a) {
  Check(a.first >= 0 && a.barCount >= 0 && a.end == a.first + a.barCount && a.end <= kKLineBarRoom);
  Check(a.fieldCount >= 0 && a.groupCount <= kLookBackGroupRoom);
  Check(a.level2Count >= 0 && a.first + a.level2Count <= kSupplementRoom);
  Check(a.supplementCount >= 0 && a.first + a.supplementCount <= kSupplementRoom);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static KLineArea* area = new KLineArea();
  static ExRightsArea* exRights = new ExRightsArea();
  if (size < 2) return 0;
  const int selector = data[0];
  const int capacity = data[1] * 4;
  const int flag = selector & 8 ? 2 : 1;
  const int length = static_cast<int>(size - 2);
  std::unique_ptr<unsigned char[]> body(new unsigned char[length > 0 ? length : 1]);
  std::memcpy(body.get(), data + 2, static_cast<size_t>(length));
  ReplyReader reader(body.get(), length);
  switch (selector & 7) {
    case 0: DecodeLatestBars(&reader, area, flag, capacity, kReservedLookBack); break;
    case 1: DecodeRangeBars(&reader, area, flag, capacity); break;
    case 2: {
      DecodeExRights(&reader, exRights);
      Check(exRights->count >= 0 && (exRights->count > 0) == (exRights->records != nullptr));
      ApplyForwardExRights(area, exRights);
      UndoExRightsAdjustment(kExRightsForward, area, exRights);
      ApplyBackwardExRights(area, exRights, (selector >> 4) - 1);
      UndoExRightsAdjustment(kExRightsBackward, area, exRights);
      break;
    }
    case 3: DecodeKLineSupplementA(area, &reader, flag, capacity, kKLineWindow); break;
    case 4: DecodeKLineSupplementB(area, &reader, flag, capacity, kKLineWindow); break;
    default: break;
  }
  Check(reader.Position() <= length);
  CheckArea(*area);
  return 0;
}
