// The server's encoders against the examples of the wire formats.
#include <gtest/gtest.h>
#include <zlib.h>

#include "tools/simbroker/wire_encoders.h"
#include "foundation/tests/hex_text.h"

using namespace simbroker;

namespace {

using test_hex::Hex;

TEST(WireEncodersTest, VarIntExamples) {
  struct Case {
    int64_t value;
    const char* bytes;
  };
  const Case cases[] = {{0, "80"},     {1, "81"},        {63, "BF"},       {64, "00 C0"},
                        {128, "01 80"}, {-1, "FF"},       {-64, "C0"},      {-128, "7F 80"},
                        {-65, "7F BF"}, {8191, "3F FF"},  {8192, "00 40 80"}};
  for (const auto& c : cases) {
    Bytes out;
    PutVarInt(&out, c.value);
    EXPECT_EQ(Hex(out), c.bytes) << c.value;
  }
  Bytes big;
  PutVarInt(&big, INT64_MIN);
  EXPECT_EQ(big.size(), 10u);
  EXPECT_EQ(big[0], 0x7F);
}

TEST(WireEncodersTest, ScaledInt24AndPackedTime) {
  Bytes out;
  PutScaledInt24(&out, 7456500);
  PutScaledInt24(&out, -7456500);
  PutScaledInt24(&out, 524287);
  EXPECT_EQ(Hex(out), "21 23 45 29 23 45 07 FF FF");
  EXPECT_EQ(PackDateTime(2024, 3, 15, 9, 30), 0x7E837A5Eu);
}

TEST(WireEncodersTest, FramesPacketsAndHandshake) {
  EXPECT_EQ(Hex(MakeFrame({})), "00 00 00 00 00");
  EXPECT_EQ(Hex(MakeFrame({7, 8})), "00 00 00 02 01 07 08");
  EXPECT_EQ(Hex(ReplyPacket(2, 1, 3, 0x0405, MarketInfoBody({{1, 20240315, 1}}), false)),
            "02 01 00 00 05 03 01 04 05 01 01 01 34 D7 BB 01");
  EXPECT_EQ(Hex(ResultMessage(-1)), "00 FF FF FF FF");
  unsigned char a[16], k[7];
  memset(a, 0xFF, 16);
  memset(k, 0xFF, 7);
  Bytes products = ExpectedAnswerProducts(a, k);
  EXPECT_EQ(Hex(Bytes(products.begin(), products.begin() + 2)), "79 86");  // 0xFF * 'z'
  EXPECT_EQ(Hex(Bytes(products.end() - 2, products.end())), "FE 01");
  EXPECT_EQ(KeyMessage(a, k).size(), 24u);
}

TEST(WireEncodersTest, GzipRoundTripsWithTrailerSize) {
  Bytes data(5000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7);
  Bytes packed = GzipWrap(data);
  ASSERT_GT(packed.size(), 18u);
  EXPECT_EQ(Hex(Bytes(packed.begin(), packed.begin() + 3)), "1F 8B 08");
  uint32_t isize = packed[packed.size() - 4] | packed[packed.size() - 3] << 8 | packed[packed.size() - 2] << 16 |
                   static_cast<uint32_t>(packed[packed.size() - 1]) << 24;
  EXPECT_EQ(isize, 5000u);
  Bytes back(5000);
  uLongf size = back.size();
  z_stream z{};
  inflateInit2(&z, 31);
  z.next_in = packed.data();
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = back.data();
  z.avail_out = static_cast<uInt>(size);
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  inflateEnd(&z);
  EXPECT_EQ(back, data);
}

}  // namespace
