// The bounded reader of reply bodies.
#include <gtest/gtest.h>

#include "marketdata/reply_reader.h"

namespace {

TEST(ReplyReaderTest, ReadsBigEndianFieldsInOrder) {
  const unsigned char body[] = {0xFE, 0x01, 0x02, 0x80, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 1, 0,
                                0x21, 0x23, 0x45, 0x00, 0xC0, 'x', 'y'};
  ReplyReader r(body, sizeof body);
  int8_t s8 = 0;
  uint16_t u16 = 0;
  int32_t s32 = 0;
  int64_t s64 = 0, scaled = 0, var = 0;
  char text[2];
  ASSERT_TRUE(r.ReadS8(&s8));
  ASSERT_TRUE(r.ReadU16(&u16));
  ASSERT_TRUE(r.ReadS32(&s32));
  ASSERT_TRUE(r.ReadS64(&s64));
  ASSERT_TRUE(r.ReadScaledInt24(&scaled));
  ASSERT_TRUE(r.ReadVarInt64(&var));
  ASSERT_TRUE(r.ReadBytes(text, 2));
  EXPECT_EQ(s8, -2);
  EXPECT_EQ(u16, 0x0102);
  EXPECT_EQ(s32, static_cast<int32_t>(0x80000001));
  EXPECT_EQ(s64, 256);
  EXPECT_EQ(scaled, 7456500);
  EXPECT_EQ(var, 64);
  EXPECT_EQ(r.Remaining(), 0);
  EXPECT_FALSE(r.Short());
}

TEST(ReplyReaderTest, ShortBodyStopsAndLeavesValuesAlone) {
  struct Case {
    const char* name;
    int length;
  };
  const unsigned char body[] = {1, 2, 3};
  const Case cases[] = {{"empty", 0}, {"one byte", 1}, {"three bytes", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReplyReader r(body, c.length);
    int32_t v = 12345;
    EXPECT_FALSE(r.ReadS32(&v));
    EXPECT_EQ(v, 12345);
    EXPECT_TRUE(r.Short());
    // Sticky: a one-byte read fails too once the reader is short.
    uint8_t b = 9;
    EXPECT_FALSE(r.ReadU8(&b));
    EXPECT_EQ(b, 9);
    EXPECT_EQ(r.Position(), 0);
  }
  ReplyReader nullBody(nullptr, 10);
  EXPECT_EQ(nullBody.Remaining(), 0);
  ReplyReader negative(body, -5);
  EXPECT_EQ(negative.Remaining(), 0);
}

TEST(ReplyReaderTest, VarIntIsBoundedByTheBody) {
  const unsigned char open[] = {0x01, 0x02, 0x03};  // no last byte
  ReplyReader r(open, sizeof open);
  int64_t v = 7;
  EXPECT_FALSE(r.ReadVarInt64(&v));
  EXPECT_EQ(v, 7);
  int32_t v32 = 7;
  ReplyReader r32(open, 2);
  EXPECT_FALSE(r32.ReadVarInt32(&v32));
  EXPECT_EQ(v32, 7);
}

TEST(ReplyReaderTest, ClampCountKeepsLoopsInsideBodyAndArea) {
  unsigned char body[20] = {};
  ReplyReader r(body, sizeof body);
  struct Case {
    const char* name;
    int64_t count;
    int room;
    int unit;
    int expected;
  };
  const Case cases[] = {
      {"fits", 3, 10, 6, 3},        {"body limits", 100, 256, 6, 3}, {"area limits", 100, 2, 1, 2},
      {"negative", -4, 10, 1, 0},    {"zero room", 5, 0, 1, 0},       {"huge", INT64_MAX, 1000, 0, 1000},
  };
  for (const auto& c : cases) EXPECT_EQ(r.ClampCount(c.count, c.room, c.unit), c.expected) << c.name;
}

}  // namespace
