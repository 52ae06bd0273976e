#include "foundation/number_codecs.h"

#include <cmath>
#include <cstdint>

namespace {

// 2^63 as a double: the first product that no longer fits in an int64_t.
constexpr double kInt64Limit = 9223372036854775808.0;

int64_t TruncateToInt64(double product) {
  if (std::isnan(product)) return 0;
  if (product >= kInt64Limit) return INT64_MAX;
  if (product < -kInt64Limit) return INT64_MIN;
  return static_cast<int64_t>(product);
}

// Shared var-int walk. Unsigned arithmetic so that the all-ones start and the
// groups that shift out are well defined. Reads at most limit bytes (limit <
// 0: no limit); returns the bytes read, or -1 when no last byte was found.
template <typename U>
int ReadVarIntBits(const unsigned char* p, int limit, U* bits) {
  U v = 0;
  for (int i = 0; limit < 0 || i < limit; ++i) {
    const unsigned char b = p[i];
    if (i == 0 && (b & 0x40) != 0) v = static_cast<U>(~U{0});
    v = static_cast<U>((v << 7) | (b & 0x7Fu));
    if ((b & 0x80) != 0) {
      *bits = v;
      return i + 1;
    }
  }
  return -1;
}

}  // namespace

void DecodeScaledInt24(const unsigned char* bytes, int64_t* value) {
  if (!bytes || !value) return;
  const int exponent = bytes[0] >> 4;
  const int64_t mantissa = (int64_t{bytes[0] & 7} << 16) | (int64_t{bytes[1]} << 8) | bytes[2];
  int64_t v = *value | mantissa;
  v = TruncateToInt64(static_cast<double>(v) * std::pow(10.0, exponent));
  if ((bytes[0] & 0x08) != 0) v = v == INT64_MIN ? INT64_MAX : -v;
  *value = v;
}

void ReadVarInt64(const unsigned char* p, int64_t* value, int* counter) {
  uint64_t bits = 0;
  const int n = ReadVarIntBits(p, -1, &bits);
  *value = static_cast<int64_t>(bits);
  *counter += n;
}

void ReadVarInt32(const unsigned char* p, int32_t* value, int* counter) {
  uint32_t bits = 0;
  const int n = ReadVarIntBits(p, -1, &bits);
  *value = static_cast<int32_t>(bits);
  *counter += n;
}

int ReadVarInt64Bounded(const unsigned char* p, int available, int64_t* value, int* counter) {
  if (!p || available <= 0) return -1;
  uint64_t bits = 0;
  const int n = ReadVarIntBits(p, available, &bits);
  if (n < 0) return -1;
  if (value) *value = static_cast<int64_t>(bits);
  if (counter) *counter += n;
  return n;
}

int ReadVarInt32Bounded(const unsigned char* p, int available, int32_t* value, int* counter) {
  if (!p || available <= 0) return -1;
  uint32_t bits = 0;
  const int n = ReadVarIntBits(p, available, &bits);
  if (n < 0) return -1;
  if (value) *value = static_cast<int32_t>(bits);
  if (counter) *counter += n;
  return n;
}

int64_t DecodePackedDateTime(uint32_t packed) {
  const int64_t year = packed >> 20;
  const int64_t month = (packed >> 16) & 0x0F;
  const int64_t day = (packed >> 11) & 0x1F;
  const int64_t hour = (packed >> 6) & 0x1F;
  const int64_t minute = packed & 0x3F;
  return year * 10000000000LL + month * 100000000LL + day * 1000000LL + hour * 10000LL + minute * 100LL;
}

int64_t ParseDecimalInt64(const char* text, int maxLength) {
  if (!text) return 0;
  uint64_t v = 0;
  for (int i = 0; i < maxLength && text[i] != 0; ++i) {
    v = v * 10u + static_cast<uint64_t>(static_cast<int64_t>(text[i] - '0'));
  }
  return static_cast<int64_t>(v);
}

int PackInt64BigEndian(int64_t value, unsigned char* out) {
  const auto bits = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  return 0;
}

int64_t ReadInt64BigEndian(const unsigned char* buffer, int offset) {
  const unsigned char* p = buffer + offset;
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return static_cast<int64_t>(v);
}

void WriteUInt32BigEndian(uint32_t value, unsigned char* buffer, int offset) {
  unsigned char* p = buffer + offset;
  p[0] = static_cast<unsigned char>(value >> 24);
  p[1] = static_cast<unsigned char>(value >> 16);
  p[2] = static_cast<unsigned char>(value >> 8);
  p[3] = static_cast<unsigned char>(value);
}

uint32_t ReadUInt32BigEndian(const unsigned char* buffer, int offset) {
  const unsigned char* p = buffer + offset;
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void ShiftBytesUp(unsigned char* source, unsigned char* destination, int count) {
  if (!source || !destination || count <= 0) return;
  for (int i = count - 1; i >= 0; --i) {
    destination[i] = source[i];
    source[i] = 0;
  }
}
