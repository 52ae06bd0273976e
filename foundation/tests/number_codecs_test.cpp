#include "foundation/number_codecs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

TEST(NumberScaledInt24, Decodes) {
  struct Case {
    const char* name;
    unsigned char bytes[3];
    int64_t preset;
    int64_t expected;
  } cases[] = {
      {"power of ten 2", {0x21, 0x23, 0x45}, 0, 7456500},
      {"negative", {0x29, 0x23, 0x45}, 0, -7456500},
      {"plain mantissa", {0x00, 0x00, 0x64}, 0, 100},
      {"largest mantissa", {0x07, 0xFF, 0xFF}, 0, 524287},
      {"preset value is ORed in", {0x10, 0x00, 0x01}, 0x100, 2570},
      {"negative zero", {0x08, 0x00, 0x00}, 0, 0},
      {"largest exponent", {0xF0, 0x00, 0x01}, 0, 1000000000000000LL},
      {"product beyond 64 bits saturates", {0xF7, 0xFF, 0xFF}, 0x7FFFFFFFFFFFLL, INT64_MAX},
      {"negative product beyond 64 bits", {0xFF, 0xFF, 0xFF}, 0x7FFFFFFFFFFFLL, -INT64_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int64_t value = c.preset;
    DecodeScaledInt24(c.bytes, &value);
    EXPECT_EQ(value, c.expected);
  }
}

struct VarIntCase {
  const char* name;
  std::vector<unsigned char> bytes;
  int64_t value;
  int length;
};

const VarIntCase kVarInts[] = {
    {"two groups", {0x01, 0x80}, 128, 2},
    {"one byte minus one", {0xFF}, -1, 1},
    {"one byte minus 64", {0xC0}, -64, 1},
    {"sign then group", {0x7F, 0x80}, -128, 2},
    {"leading zero group", {0x00, 0x81}, 1, 2},
    {"zero", {0x80}, 0, 1},
    {"largest one byte", {0xBF}, 63, 1},
    {"three groups", {0x01, 0x00, 0x80}, 16384, 3},
};

TEST(NumberVarInt, ReadersTakeSignBitAndStopBitGroups) {
  for (const auto& c : kVarInts) {
    SCOPED_TRACE(c.name);
    int counter = 10;
    int64_t v64 = 12345;
    ReadVarInt64(c.bytes.data(), &v64, &counter);
    EXPECT_EQ(v64, c.value);
    EXPECT_EQ(counter, 10 + c.length);

    counter = 0;
    int32_t v32 = 12345;
    ReadVarInt32(c.bytes.data(), &v32, &counter);
    EXPECT_EQ(v32, static_cast<int32_t>(c.value));
    EXPECT_EQ(counter, c.length);
  }
}

TEST(NumberVarInt, GroupsBeyondTheWidthShiftOut) {
  // 0x7F sets the sign; five further zero groups push the ones out of 32
  // bits but not out of 64 bits.
  const unsigned char bytes[] = {0x7F, 0, 0, 0, 0, 0x80};
  int counter = 0;
  int32_t v32 = 0;
  ReadVarInt32(bytes, &v32, &counter);
  EXPECT_EQ(v32, 0);
  EXPECT_EQ(counter, 6);
  int64_t v64 = 0;
  counter = 0;
  ReadVarInt64(bytes, &v64, &counter);
  EXPECT_EQ(v64, -(int64_t{1} << 35));
}

TEST(NumberVarInt, BoundedReadersAgreeOnCompleteIntegers) {
  for (const auto& c : kVarInts) {
    SCOPED_TRACE(c.name);
    const int available = static_cast<int>(c.bytes.size());
    int counter = 3;
    int64_t v64 = 0;
    EXPECT_EQ(ReadVarInt64Bounded(c.bytes.data(), available, &v64, &counter), c.length);
    EXPECT_EQ(v64, c.value);
    EXPECT_EQ(counter, 3 + c.length);
    int32_t v32 = 0;
    EXPECT_EQ(ReadVarInt32Bounded(c.bytes.data(), available, &v32, &counter), c.length);
    EXPECT_EQ(v32, static_cast<int32_t>(c.value));
  }
}

TEST(NumberVarInt, BoundedReadersStopAtTheEndOfTheBuffer) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    int available;
  } cases[] = {
      {"no last byte at all", {0x01, 0x02, 0x03}, 3},
      {"last byte just beyond the bound", {0x01, 0x02, 0x80}, 2},
      {"nothing available", {0x80}, 0},
      {"negative count", {0x80}, -4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The bytes sit at the end of a heap block, so a read past them is an
    // AddressSanitizer report.
    const size_t size = c.available > 0 ? static_cast<size_t>(c.available) : 1;
    auto* heap = static_cast<unsigned char*>(std::malloc(size));
    std::memcpy(heap, c.bytes.data(), size);
    int counter = 7;
    int64_t v64 = 99;
    int32_t v32 = 99;
    EXPECT_EQ(ReadVarInt64Bounded(heap, c.available, &v64, &counter), -1);
    EXPECT_EQ(ReadVarInt32Bounded(heap, c.available, &v32, &counter), -1);
    EXPECT_EQ(v64, 99) << "value untouched on failure";
    EXPECT_EQ(v32, 99);
    EXPECT_EQ(counter, 7) << "counter untouched on failure";
    std::free(heap);
  }
  int counter = 0;
  int64_t v = 0;
  EXPECT_EQ(ReadVarInt64Bounded(nullptr, 4, &v, &counter), -1);
}

TEST(NumberVarInt, DecoderStepsThroughAReplyWithTheCounter) {
  const unsigned char reply[] = {0x01, 0x80, 0xFF, 0x00, 0x81, 0x05};
  const int length = sizeof reply;
  std::vector<int64_t> values;
  int pos = 0;
  int64_t v = 0;
  while (ReadVarInt64Bounded(reply + pos, length - pos, &v, &pos) > 0) values.push_back(v);
  EXPECT_EQ(values, (std::vector<int64_t>{128, -1, 1}));
  EXPECT_EQ(pos, 5) << "the damaged tail is left unread";
}

TEST(NumberDateTime, PackedAndDecimal) {
  EXPECT_EQ(DecodePackedDateTime(0x7E837A5Eu), 20240315093000LL);
  // Year uses all 12 bits (logical shift); every field at its maximum.
  EXPECT_EQ(DecodePackedDateTime(0xFFFFFFFFu), 40951531316300LL);
  EXPECT_EQ(DecodePackedDateTime(0), 0);

  EXPECT_EQ(ParseDecimalInt64("123", 2), 12);
  EXPECT_EQ(ParseDecimalInt64("12a", 3), 169);
  EXPECT_EQ(ParseDecimalInt64("12", 10), 12) << "stops at the zero byte";
  EXPECT_EQ(ParseDecimalInt64("9223372036854775807", 19), INT64_MAX);
  EXPECT_EQ(ParseDecimalInt64("7", 0), 0);
  EXPECT_EQ(ParseDecimalInt64(nullptr, 3), 0);
}

TEST(NumberBigEndian, ReadersAndWriters) {
  const unsigned char b256[] = {0, 0, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(ReadInt64BigEndian(b256, 0), 256);

  unsigned char out[10];
  std::memset(out, 0x55, sizeof out);
  EXPECT_EQ(PackInt64BigEndian(-1, out + 1), 0);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(out[i], 0xFF);
  EXPECT_EQ(out[0], 0x55);
  EXPECT_EQ(out[9], 0x55);
  EXPECT_EQ(ReadInt64BigEndian(out, 1), -1);

  PackInt64BigEndian(0x0102030405060708LL, out);
  EXPECT_EQ(out[0], 0x01);
  EXPECT_EQ(out[7], 0x08);
  EXPECT_EQ(ReadInt64BigEndian(out, 0), 0x0102030405060708LL);

  unsigned char word[6] = {};
  WriteUInt32BigEndian(0xA1B2C3D4u, word, 2);
  EXPECT_EQ(word[1], 0);
  EXPECT_EQ(word[2], 0xA1);
  EXPECT_EQ(word[5], 0xD4);
  EXPECT_EQ(ReadUInt32BigEndian(word, 2), 0xA1B2C3D4u);
}

TEST(NumberShiftBytes, OpensAGap) {
  unsigned char buffer[14];
  for (int i = 0; i < 14; ++i) buffer[i] = static_cast<unsigned char>(i < 7 ? i + 1 : 0xEE);
  ShiftBytesUp(buffer, buffer + 7, 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(buffer[i], 0) << i;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(buffer[7 + i], i + 1) << i;

  // Overlapping by more than half: still a backward move.
  unsigned char overlap[10] = {1, 2, 3, 4, 5, 6, 7, 0, 0, 0};
  ShiftBytesUp(overlap, overlap + 3, 7);
  const unsigned char expected[10] = {0, 0, 0, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(std::memcmp(overlap, expected, 10), 0);

  unsigned char untouched[2] = {1, 2};
  ShiftBytesUp(untouched, untouched + 1, 0);
  ShiftBytesUp(nullptr, untouched, 1);
  ShiftBytesUp(untouched, nullptr, 1);
  EXPECT_EQ(untouched[0], 1);
  EXPECT_EQ(untouched[1], 2);
}

}  // namespace
