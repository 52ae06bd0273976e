// Fuzz target for the UTF-8/UTF-16 converters and the bounded var-int
// readers: every buffer is allocated at its exact size, so a read past an
// input or a write past an output capacity is an AddressSanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/number_codecs.h"
#include "foundation/text_codec.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void FuzzUtf8(const char* utf8, int size) {
  const int need = Utf16SizeOfUtf8(utf8, size);
  Check(need >= 0 && need <= 2 * size);
  auto* out = static_cast<WCHAR*>(std::malloc(static_cast<size_t>(need) + 1));
  Check(Utf8ToUtf16(utf8, size, out, need) == size);
  // A capacity one unit short stops before the last form.
  if (need >= 2) {
    const int consumed = Utf8ToUtf16(utf8, size, out, need - 1);
    Check(consumed < size);
  }
  std::free(out);
}

void FuzzUtf16(const uint8_t* data, int size) {
  // Whole units in an array of exactly that many units; the byte length
  // passed may be odd.
  const int units = size / 2;
  auto* wide = static_cast<WCHAR*>(std::malloc(static_cast<size_t>(units) * 2 + 1));
  std::memcpy(wide, data, static_cast<size_t>(units) * 2);
  const int need = Utf8SizeOfUtf16(wide, size);
  Check(need >= units && need <= 3 * units);
  auto* narrow = static_cast<char*>(std::malloc(static_cast<size_t>(need) + 1));
  Check(Utf16ToUtf8(wide, size, narrow, need) == units * 2);
  // Every unit, surrogates and zero included, survives the round trip.
  Check(Utf16SizeOfUtf8(narrow, need) == units * 2);
  auto* back = static_cast<WCHAR*>(std::malloc(static_cast<size_t>(units) * 2 + 1));
  Check(Utf8ToUtf16(narrow, need, back, units * 2) == need);
  Check(std::memcmp(back, wide, static_cast<size_t>(units) * 2) == 0);
  std::free(back);
  std::free(narrow);
  std::free(wide);
}

void FuzzVarInts(const uint8_t* data, int size) {
  int pos = 0;
  while (pos < size) {
    int64_t v64 = 0;
    int32_t v32 = 0;
    int pos32 = pos;
    const int before = pos;
    const int n = ReadVarInt64Bounded(data + pos, size - pos, &v64, &pos);
    Check(ReadVarInt32Bounded(data + before, size - before, &v32, &pos32) == n);
    if (n < 0) {
      Check(pos == before);
      break;
    }
    Check(n >= 1 && pos == before + n && pos <= size && pos32 == pos);
    Check(static_cast<int32_t>(v64) == v32);
    // The unbounded reader stops at the same last byte.
    int counter = 0;
    int64_t again = 0;
    ReadVarInt64(data + before, &again, &counter);
    Check(counter == n && again == v64);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const int n = static_cast<int>(size);
  // An exact-size copy: libFuzzer's own buffer is exact too, but a copy
  // keeps the target honest if it is ever driven another way.
  auto* copy = static_cast<char*>(std::malloc(size ? size : 1));
  if (size) std::memcpy(copy, data, size);
  FuzzUtf8(copy, n);
  FuzzUtf16(data, n);
  FuzzVarInts(reinterpret_cast<const uint8_t*>(copy), n);
  std::free(copy);
  return 0;
}
