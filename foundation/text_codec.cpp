#include "foundation/text_codec.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Length of the form a lead byte starts. Stray continuation bytes
// (0x80-0xBF) stand alone and decode to a space.
int FormLength(unsigned char lead) {
  if (lead >= 0xFC) return 6;
  if (lead >= 0xF8) return 5;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Decodes the form at in[0..available). Sets *unit and returns the number of
// bytes the form takes, never more than available (available > 0).
int DecodeForm(const unsigned char* in, int available, WCHAR* unit) {
  const unsigned char lead = in[0];
  const int length = FormLength(lead);
  if (length == 1) {
    *unit = lead < 0x80 ? lead : 0x0020;
    return 1;
  }
  if (length > available) {
    // The form is cut off by the end of the input: a space for what is
    // left, never a read past the end.
    *unit = 0x0020;
    return available;
  }
  std::uint32_t value = length == 2 ? (lead & 0x1Fu) : (lead & 0x0Fu);
  for (int i = 1; i < length; ++i) value = (value << 6) | (in[i] & 0x3Fu);
  // Values above 0xFFFF keep their low 16 bits: peers and files expect one
  // unit per form, never a surrogate pair.
  *unit = static_cast<WCHAR>(value & 0xFFFFu);
  return length;
}

int EncodedLength(WCHAR unit) {
  if (unit < 0x80) return 1;
  if (unit < 0x800) return 2;
  return 3;
}

int WholeUnitBytes(int bytes) { return bytes > 0 ? bytes & ~1 : 0; }

}  // namespace

int Utf8ToUtf16(const char* utf8, int utf8Bytes, WCHAR* out, int outCapacity) {
  if (!utf8 || !out || utf8Bytes <= 0) return 0;
  const auto* in = reinterpret_cast<const unsigned char*>(utf8);
  const int maxUnits = outCapacity > 0 ? outCapacity / 2 : 0;
  int pos = 0;
  int units = 0;
  while (pos < utf8Bytes && units < maxUnits) {
    WCHAR unit = 0;
    pos += DecodeForm(in + pos, utf8Bytes - pos, &unit);
    out[units++] = unit;
  }
  return pos;
}

int Utf16ToUtf8(const WCHAR* utf16, int utf16Bytes, char* out, int outCapacity) {
  if (!utf16 || !out) return 0;
  const int unitCount = WholeUnitBytes(utf16Bytes) / 2;
  const int capacity = outCapacity > 0 ? outCapacity : 0;
  int written = 0;
  int i = 0;
  for (; i < unitCount; ++i) {
    const WCHAR unit = utf16[i];
    const int length = EncodedLength(unit);
    if (written + length > capacity) break;
    if (length == 1) {
      out[written++] = static_cast<char>(unit);
    } else if (length == 2) {
      out[written++] = static_cast<char>(0xC0 | (unit >> 6));
      out[written++] = static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out[written++] = static_cast<char>(0xE0 | (unit >> 12));
      out[written++] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out[written++] = static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return i * 2;
}

int Utf16SizeOfUtf8(const char* utf8, int utf8Bytes) {
  if (!utf8 || utf8Bytes <= 0) return 0;
  const auto* in = reinterpret_cast<const unsigned char*>(utf8);
  int pos = 0;
  int size = 0;
  while (pos < utf8Bytes) {
    const int length = FormLength(in[pos]);
    pos += length < utf8Bytes - pos ? length : utf8Bytes - pos;
    size += 2;
  }
  return size;
}

int Utf8SizeOfUtf16(const WCHAR* utf16, int utf16Bytes) {
  if (!utf16) return 0;
  const int unitCount = WholeUnitBytes(utf16Bytes) / 2;
  int size = 0;
  for (int i = 0; i < unitCount; ++i) size += EncodedLength(utf16[i]);
  return size;
}

int Utf16Length(const WCHAR* text) {
  if (!text) return -1;
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

WCHAR* Utf8ToUtf16Alloc(const char* text) {
  if (!text) return nullptr;
  const int bytes = static_cast<int>(std::strlen(text));
  const int size = Utf16SizeOfUtf8(text, bytes);
  auto* out = static_cast<WCHAR*>(std::calloc(static_cast<size_t>(size) + 2, 1));
  if (!out) return nullptr;
  Utf8ToUtf16(text, bytes, out, size);
  return out;
}

char* Utf16ToUtf8Alloc(const WCHAR* text) {
  if (!text) return nullptr;
  const int bytes = Utf16Length(text) * 2;
  const int size = Utf8SizeOfUtf16(text, bytes);
  auto* out = static_cast<char*>(std::calloc(static_cast<size_t>(size) + 2, 1));
  if (!out) return nullptr;
  Utf16ToUtf8(text, bytes, out, size);
  return out;
}
