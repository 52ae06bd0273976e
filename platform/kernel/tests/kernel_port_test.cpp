// The port's wire format and the command-line rules of process starts.
#include "platform/kernel/kernel_port.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Frame(std::uint8_t kind, std::uint32_t callId, const std::string& payload) {
  std::string out;
  EXPECT_TRUE(EncodePortFrame(PortFrame{kind, callId, payload}, &out));
  return out;
}

}  // namespace

TEST(PortFrame, EncodesTheHeaderByteForByte) {
  std::string bytes = Frame(kPortCall, 0x01020304, "hi");
  EXPECT_EQ(bytes, std::string("ORVP\x01\x02\x00\x00\x04\x03\x02\x01\x02\x00\x00\x00hi", 18));
  std::string tooBig;
  EXPECT_FALSE(EncodePortFrame(PortFrame{kPortPost, 0, std::string(kPortMaxPayload + 1, 'x')}, &tooBig));
}

TEST(PortFrame, ReadsFramesFedInAnyPieces) {
  std::string stream = Frame(kPortPost, 0, "") + Frame(kPortReply, 7, std::string("a\0b", 3)) +
                       Frame(kPortQuery, 9, std::string(70000, 'q'));
  for (std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{16}, stream.size()}) {
    PortFrameReader reader;
    std::vector<PortFrame> frames;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
      PortFrame f;
      std::string error;
      PortFrameReader::Result r;
      while ((r = reader.Next(&f, &error)) == PortFrameReader::kFrame) frames.push_back(f);
      ASSERT_EQ(r, PortFrameReader::kNeedMore) << error;
    }
    ASSERT_EQ(frames.size(), 3u) << piece;
    EXPECT_EQ(frames[0].kind, kPortPost);
    EXPECT_EQ(frames[1].callId, 7u);
    EXPECT_EQ(frames[1].payload, std::string("a\0b", 3));
    EXPECT_EQ(frames[2].payload.size(), 70000u);
    EXPECT_FALSE(reader.Partial());
  }
}

TEST(PortFrame, RefusesBadBytesAsSoonAsTheyShow) {
  std::string good = Frame(kPortPost, 1, "abc");
  auto with = [&](std::size_t at, char value) {
    std::string s = good;
    s[at] = value;
    return s;
  };
  std::string huge = good.substr(0, kPortHeaderSize);
  huge[15] = static_cast<char>(0x80);  // 2^31
  std::string overCap = good.substr(0, kPortHeaderSize);
  std::uint32_t over = kPortMaxPayload + 1;
  for (int i = 0; i < 4; ++i) overCap[12 + i] = static_cast<char>((over >> (8 * i)) & 0xFF);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"garbage", "GET / HTTP/1.1\r\n"},
      {"first byte", "X"},
      {"version", with(4, 2)},
      {"kind 0", with(5, 0)},
      {"unknown kind", with(5, 0x7F)},
      {"reserved", with(6, 1)},
      {"length 2^31", huge},
      {"length over the cap", overCap},
  };
  for (const Case& c : cases) {
    PortFrameReader reader;
    reader.Feed(c.bytes.data(), c.bytes.size());
    PortFrame f;
    std::string error;
    EXPECT_EQ(reader.Next(&f, &error), PortFrameReader::kBad) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    reader.Feed(good.data(), good.size());
    EXPECT_EQ(reader.Next(&f, &error), PortFrameReader::kBad) << c.name << ": stays failed";
  }
  PortFrameReader cut;
  cut.Feed(good.data(), good.size() - 1);
  PortFrame f;
  EXPECT_EQ(cut.Next(&f, nullptr), PortFrameReader::kNeedMore);
  EXPECT_TRUE(cut.Partial());
}

TEST(PortFrame, FieldReadersStayInsideThePayload) {
  PortWriter w;
  w.U32(5);
  w.U64(0x1122334455667788ull);
  w.Bytes("xyz");
  std::string data = w.Data();
  PortReader r(data);
  std::uint32_t a = 0;
  std::uint64_t b = 0;
  std::string c;
  ASSERT_TRUE(r.U32(&a) && r.U64(&b) && r.Bytes(&c));
  EXPECT_EQ(a, 5u);
  EXPECT_EQ(b, 0x1122334455667788ull);
  EXPECT_EQ(c, "xyz");
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(r.U32(&a));
  // A length running past the end fails and consumes nothing.
  std::string lying("\xff\xff\xff\x7f" "ab", 6);
  PortReader l(lying);
  EXPECT_FALSE(l.Bytes(&c));
  EXPECT_TRUE(l.U32(&a));
  EXPECT_EQ(a, 0x7fffffffu);
}

TEST(PortThreadIds, NameTheirInstance) {
  EXPECT_EQ(PortInstanceOfThreadId(PortThreadIdOf(0xABCDEF)), 0xABCDEFu);
  EXPECT_EQ(PortInstanceOfThreadId(1), 0u) << "an ordinary thread id names no port";
  EXPECT_EQ(PortInstanceOfThreadId(0x7FFFFFFF), 0u);
}

TEST(ProcessCommandLine, SplitsByBlanksAndQuotes) {
  struct Case {
    const char* line;
    std::vector<std::string> args;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {" Tamsel 2.1.0 http://h/update.ini", {"Tamsel", "2.1.0", "http://h/update.ini"}},
      {"a  \"b c\"\td", {"a", "b c", "d"}},
      {"\"\" x", {"", "x"}},
      {"pre\"mid dle\"post", {"premid dlepost"}},
      {"say \\\"hi\\\"", {"say", "\"hi\""}},
      {"\"open", {"open"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}
