// Tests of the gzip inflater: hand-made bodies for each block type and
// header flag, round trips against zlib's deflate, and damaged bodies.
#include "foundation/gzip_inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// 'hello' as written by the gzip program (`printf hello | gzip -n`): one
// fixed-code block.
const Bytes kHelloGzip = {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                          0x03, 0xcb, 0x48, 0xcd, 0xc9, 0xc9, 0x07, 0x00, 0x86,
                          0xa6, 0x10, 0x36, 0x05, 0x00, 0x00, 0x00};

// Writes DEFLATE bits: plain values least significant bit first, Huffman
// codes most significant bit first.
class BitWriter {
 public:
  void Bits(std::uint32_t value, int n) {
    for (int i = 0; i < n; ++i) Bit((value >> i) & 1);
  }
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  void AlignToByte() {
    while (used_ != 0) Bit(0);
  }
  void Byte(BYTE b) {
    AlignToByte();
    bytes_.push_back(b);
  }
  Bytes Finish() {
    AlignToByte();
    return bytes_;
  }

 private:
  void Bit(unsigned b) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() |= BYTE(b << used_);
    used_ = (used_ + 1) & 7;
  }
  Bytes bytes_;
  int used_ = 0;
};

// Fixed literal/length code of a symbol.
void FixedSymbol(BitWriter& w, int sym) {
  if (sym < 144) return w.Code(0x30 + sym, 8);
  if (sym < 256) return w.Code(0x190 + sym - 144, 9);
  if (sym < 280) return w.Code(sym - 256, 7);
  w.Code(0xC0 + sym - 280, 8);
}

// Starts a final dynamic block with the given code lengths (257 literal/
// length lengths or more, at least one distance length). The code-length
// code gives symbols 0-15 four bits each, so every length is written as its
// own value in four bits.
void DynamicHeader(BitWriter& w, const std::vector<int>& litLengths, const std::vector<int>& distLengths) {
  w.Bits(1, 1);
  w.Bits(2, 2);
  w.Bits(std::uint32_t(litLengths.size() - 257), 5);
  w.Bits(std::uint32_t(distLengths.size() - 1), 5);
  w.Bits(19 - 4, 4);
  const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (int sym : order) w.Bits(sym < 16 ? 4 : 0, 3);
  for (int len : litLengths) w.Code(std::uint32_t(len), 4);
  for (int len : distLengths) w.Code(std::uint32_t(len), 4);
}

// Literal/length code lengths: 257 entries, the listed symbols set.
std::vector<int> LitLengths(std::initializer_list<std::pair<int, int>> symbolLengths) {
  std::vector<int> lengths(257, 0);
  for (auto [sym, len] : symbolLengths) lengths[size_t(sym)] = len;
  return lengths;
}

// A gzip member around raw DEFLATE data; the trailer carries `size` and a
// CRC that the inflater does not check.
Bytes Member(const Bytes& deflate, std::uint32_t size, BYTE flags = 0, const Bytes& afterHeader = {}) {
  Bytes out = {0x1f, 0x8b, 0x08, flags, 0, 0, 0, 0, 0, 3};
  out.insert(out.end(), afterHeader.begin(), afterHeader.end());
  out.insert(out.end(), deflate.begin(), deflate.end());
  for (int i = 0; i < 4; ++i) out.push_back(0);  // CRC-32, not checked
  for (int i = 0; i < 4; ++i) out.push_back(BYTE(size >> (8 * i)));
  return out;
}

Bytes DeflateOf(const Bytes& gzip) {  // the DEFLATE data of a plain member
  return Bytes(gzip.begin() + 10, gzip.end() - 8);
}

// Inflates with the bounded form into size + 8 zero bytes; checks that the
// 8 zero bytes were not touched.
struct Inflated {
  int result;
  std::string text;
};
Inflated Inflate(const Bytes& body) {
  const int size = GzipUnpackedSize(body.data(), int(body.size()));
  EXPECT_GT(size, -1);
  Bytes out(size_t(size) + 8, 0);
  const int result = GzipInflateBounded(body.data(), int(body.size()), out.data(), size);
  for (size_t i = size_t(size); i < out.size(); ++i) EXPECT_EQ(out[i], 0) << "tail byte " << i;
  return {result, std::string(out.begin(), out.begin() + size)};
}

// zlib's deflate with a gzip wrapper (tests only).
Bytes ZlibGzip(const Bytes& data, int level, int strategy) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, 15 + 16, 8, strategy), Z_OK);
  Bytes out(deflateBound(&zs, uLong(data.size())) + 64);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = uInt(data.size());
  zs.next_out = out.data();
  zs.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// zlib's own inflate of a raw DEFLATE stream, to prove hand-made bodies valid.
std::string ZlibInflateRaw(const Bytes& deflate) {
  z_stream zs{};
  EXPECT_EQ(inflateInit2(&zs, -15), Z_OK);
  std::string out(1 << 16, '\0');
  zs.next_in = const_cast<Bytef*>(deflate.data());
  zs.avail_in = uInt(deflate.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = uInt(out.size());
  const int rc = inflate(&zs, Z_FINISH);
  EXPECT_EQ(rc, Z_STREAM_END);
  out.resize(zs.total_out);
  inflateEnd(&zs);
  return out;
}

// Text-like data: words from a small vocabulary with numbers, so that every
// block type and long matches occur.
Bytes SampleData(size_t size, unsigned seed) {
  static const char* const kWords[] = {"600000", "浦发银行", "PFYH", "close", "12.34", "\"name\":",
                                       "volume", "{", "}", ",", "0", "SZ000001", "\n"};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    if (rng() % 16 == 0) {
      out.push_back(BYTE(rng()));  // some noise
      continue;
    }
    const char* w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(size);
  return out;
}

TEST(GzipInflate, HelloFromTheGzipProgram) {
  EXPECT_EQ(GzipUnpackedSize(kHelloGzip.data(), int(kHelloGzip.size())), 5);
  const Inflated r = Inflate(kHelloGzip);
  EXPECT_EQ(r.result, 5);
  EXPECT_EQ(r.text, "hello");

  // The void form fills the caller's size + 8 buffer the same way.
  Bytes out(13, 0);
  GzipInflate(kHelloGzip.data(), int(kHelloGzip.size()), out.data());
  EXPECT_EQ(std::string(out.begin(), out.end()), std::string("hello") + std::string(8, '\0'));
}

TEST(GzipInflate, HandMadeBlocks) {
  struct Case {
    const char* name;
    Bytes deflate;
    std::string expected;
    bool zlibAccepts;  // zlib refuses block type 3
  };
  std::vector<Case> cases;
  {
    BitWriter w;  // stored block
    w.Bits(1, 1);
    w.Bits(0, 2);
    for (BYTE b : {0x05, 0x00, 0xFA, 0xFF}) w.Byte(b);
    for (char c : std::string("hello")) w.Byte(BYTE(c));
    cases.push_back({"stored", w.Finish(), "hello", true});
  }
  {
    BitWriter w;  // stored block whose NLEN is wrong: not checked
    w.Bits(1, 1);
    w.Bits(0, 2);
    for (BYTE b : {0x03, 0x00, 0x00, 0x00}) w.Byte(b);
    for (char c : std::string("abc")) w.Byte(BYTE(c));
    cases.push_back({"stored, NLEN not checked", w.Finish(), "abc", false});
  }
  {
    BitWriter w;  // 'a', then distance 1 length 258
    w.Bits(1, 1);
    w.Bits(1, 2);
    FixedSymbol(w, 'a');
    FixedSymbol(w, 285);  // length 258, no extra bits
    w.Code(0, 5);         // distance code 0: distance 1
    FixedSymbol(w, 256);
    cases.push_back({"distance 1 length 258", w.Finish(), std::string(259, 'a'), true});
  }
  {
    BitWriter w;  // overlapping copy: distance 3, length 10 after "abc"
    w.Bits(1, 1);
    w.Bits(1, 2);
    for (char c : std::string("abc")) FixedSymbol(w, c);
    FixedSymbol(w, 264);  // length 10
    w.Code(2, 5);         // distance 3
    FixedSymbol(w, 256);
    cases.push_back({"overlapping copy", w.Finish(), "abcabcabcabca", true});
  }
  {
    BitWriter w;  // block type 3 is decoded with the fixed codes
    w.Bits(1, 1);
    w.Bits(3, 2);
    for (char c : std::string("hi")) FixedSymbol(w, c);
    FixedSymbol(w, 256);
    cases.push_back({"block type 3", w.Finish(), "hi", false});
  }
  {
    BitWriter w;  // two blocks: a stored one, then a final fixed one
    w.Bits(0, 1);
    w.Bits(0, 2);
    for (BYTE b : {0x02, 0x00, 0xFD, 0xFF}) w.Byte(b);
    for (char c : std::string("ab")) w.Byte(BYTE(c));
    w.Bits(1, 1);
    w.Bits(1, 2);
    FixedSymbol(w, 'c');
    FixedSymbol(w, 257);  // length 3
    w.Code(2, 5);         // distance 3
    FixedSymbol(w, 256);
    cases.push_back({"stored then fixed", w.Finish(), "abcabc", true});
  }
  {
    // A dynamic block whose code-length repeat (16) runs from the last
    // literal/length length into the distance lengths.
    // Lengths: 'a', 'b', 256 and 257 have 2 bits; distance codes 0-3 have 2.
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(2, 2);
    w.Bits(258 - 257, 5);  // HLIT: 258 literal/length codes
    w.Bits(4 - 1, 5);      // HDIST: 4 distance codes
    w.Bits(16 - 4, 4);     // HCLEN: 16 code-length lengths
    // Code-length code: 18 -> '0', 2 -> '10', 16 -> '11'.
    const int order[16] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2};
    for (int sym : order) w.Bits(sym == 18 ? 1 : (sym == 2 || sym == 16) ? 2 : 0, 3);
    auto zeros = [&](int n) {  // runs of 11..138 zeros with code 18
      while (n > 0) {
        const int run = n > 138 ? 138 : n;
        w.Code(0, 1);
        w.Bits(run - 11, 7);
        n -= run;
      }
    };
    zeros(97);
    w.Code(2, 2);  // 'a': 2
    w.Code(2, 2);  // 'b': 2
    zeros(157);
    w.Code(2, 2);  // 256: 2
    w.Code(3, 2);  // 16: repeat 2 five times: 257, distances 0-3
    w.Bits(2, 2);
    // Literal/length codes: 'a' 00, 'b' 01, 256 10, 257 11; distance 0 -> 00.
    w.Code(0, 2);  // 'a'
    w.Code(3, 2);  // 257: length 3
    w.Code(0, 2);  // distance 1
    w.Code(1, 2);  // 'b'
    w.Code(2, 2);  // end of block
    cases.push_back({"dynamic, repeat across the two length lists", w.Finish(), "aaaab", true});
  }
  {
    // Codes of 1 to 12 bits: 'a'..'k' take 1..11 bits, 'l' and the end of
    // block 12 bits each, so 'l' and the end are found below the first
    // table level.
    std::vector<std::pair<int, int>> symbols;
    for (int i = 0; i < 11; ++i) symbols.push_back({'a' + i, i + 1});
    symbols.push_back({'l', 12});
    symbols.push_back({256, 12});
    std::vector<int> lit(257, 0);
    for (auto [sym, len] : symbols) lit[size_t(sym)] = len;
    BitWriter w;
    DynamicHeader(w, lit, {1});
    w.Code(0xFFE, 12);  // 'l'
    w.Code(0, 1);       // 'a'
    w.Code(0x7FE, 11);  // 'k'
    w.Code(0x6, 3);     // 'c'
    w.Code(0xFFF, 12);  // end of block
    cases.push_back({"dynamic, codes longer than the first table level", w.Finish(), "lakc", true});
  }
  {
    // An incomplete code ('a' 0, end 10; nothing starts with 11) decodes
    // what it has.
    BitWriter w;
    DynamicHeader(w, LitLengths({{'a', 1}, {256, 2}}), {1});
    w.Code(0, 1);
    w.Code(0, 1);
    w.Code(2, 2);
    cases.push_back({"dynamic, incomplete code", w.Finish(), "aa", false});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.zlibAccepts) {
      EXPECT_EQ(ZlibInflateRaw(c.deflate), c.expected) << "fixture itself";
    }
    const Inflated r = Inflate(Member(c.deflate, std::uint32_t(c.expected.size())));
    EXPECT_EQ(r.result, int(c.expected.size()));
    EXPECT_EQ(r.text, c.expected);
  }
}

TEST(GzipInflate, HeaderFlagsAreSkipped) {
  const Bytes deflate = DeflateOf(kHelloGzip);
  const Bytes extra = {0x03, 0x00, 'x', 'y', 'z'};
  const Bytes name = {'h', 'e', 'l', 'l', 'o', '.', 't', 'x', 't', 0};
  const Bytes comment = {'n', 'o', 't', 'e', 0};
  const Bytes hcrc = {0xAB, 0xCD};
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  struct Case {
    const char* name;
    BYTE flags;
    Bytes afterHeader;
  };
  const Case cases[] = {
      {"FNAME and FCOMMENT", 0x18, join({name, comment})},
      {"FEXTRA", 0x04, extra},
      {"FHCRC", 0x02, hcrc},
      {"all four", 0x1E, join({extra, name, comment, hcrc})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Inflated r = Inflate(Member(deflate, 5, c.flags, c.afterHeader));
    EXPECT_EQ(r.result, 5);
    EXPECT_EQ(r.text, "hello");
  }
}

TEST(GzipInflate, NotGzipAndShortBodies) {
  struct Case {
    const char* name;
    Bytes body;
  };
  const Case cases[] = {
      {"other method", {0x1f, 0x8b, 0x07, 0, 0, 0, 0, 0, 0, 3, 0x03, 0x00, 5, 0, 0, 0}},
      {"no signature", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
      {"six bytes", {0x1f, 0x8b, 0x08, 0, 5, 0}},
      {"empty", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GzipUnpackedSize(c.body.data(), int(c.body.size())), 0);
    Bytes out(16, 0x5A);
    GzipInflate(c.body.data(), int(c.body.size()), out.data());
    EXPECT_EQ(out, Bytes(16, 0x5A)) << "nothing written";
    if (c.body.size() >= 3 && c.body[2] != 8) {
      EXPECT_EQ(GzipInflateBounded(c.body.data(), int(c.body.size()), out.data(), 16), kGzipNotGzip);
    }
  }
}

TEST(GzipInflate, FirstMemberOnly) {
  Bytes two = kHelloGzip;
  two.insert(two.end(), kHelloGzip.begin(), kHelloGzip.end());
  Bytes out(16, 0);
  EXPECT_EQ(GzipInflateBounded(two.data(), int(two.size()), out.data(), 10), 5);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 6), std::string("hello\0", 6));
}

TEST(GzipInflate, RoundTripsAgainstZlib) {
  const size_t sizes[] = {0, 1, 7, 258, 1000, 32768, 65537, 300000};
  const int levels[] = {0, 1, 6, 9};
  const struct {
    const char* name;
    int strategy;
  } strategies[] = {{"default", Z_DEFAULT_STRATEGY}, {"filtered", Z_FILTERED},
                    {"huffman only", Z_HUFFMAN_ONLY}, {"rle", Z_RLE}, {"fixed", Z_FIXED}};
  for (size_t size : sizes) {
    const Bytes data = SampleData(size, unsigned(size));
    for (int level : levels) {
      for (const auto& s : strategies) {
        SCOPED_TRACE(testing::Message() << "size " << size << " level " << level << " " << s.name);
        const Bytes body = ZlibGzip(data, level, s.strategy);
        ASSERT_EQ(GzipUnpackedSize(body.data(), int(body.size())), int(size));
        Bytes out(size + 8, 0);
        ASSERT_EQ(GzipInflateBounded(body.data(), int(body.size()), out.data(), int(size)), int(size));
        ASSERT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
        ASSERT_EQ(Bytes(out.end() - 8, out.end()), Bytes(8, 0));
      }
    }
  }
}

TEST(GzipInflate, DamagedBodiesStayInBounds) {
  // Each mutated body is copied into a buffer of exactly its length and
  // inflated into exactly size + 8 bytes, so the sanitizers see any read or
  // write beyond them.
  std::vector<Bytes> bodies = {kHelloGzip,
                               ZlibGzip(SampleData(5000, 1), 6, Z_DEFAULT_STRATEGY),
                               ZlibGzip(SampleData(3000, 2), 9, Z_FIXED),
                               ZlibGzip(SampleData(2000, 3), 0, Z_DEFAULT_STRATEGY)};
  std::mt19937 rng(20260101);
  int damaged = 0;
  auto check = [&](const Bytes& body, int capacityFromCaller) {
    auto input = std::make_unique<BYTE[]>(body.size());
    std::memcpy(input.get(), body.data(), body.size());
    const int size = GzipUnpackedSize(input.get(), int(body.size()));
    if (size <= 0 || size > (1 << 20)) return;
    auto out = std::make_unique<BYTE[]>(size_t(size) + 8);
    std::memset(out.get(), 0, size_t(size) + 8);
    const int cap = capacityFromCaller >= 0 ? capacityFromCaller : size;
    const int r = GzipInflateBounded(input.get(), int(body.size()), out.get(), cap);
    ASSERT_LE(r, cap);
    if (r < 0) ++damaged;
    for (int i = size; i < size + 8; ++i) ASSERT_EQ(out[size_t(i)], 0);
    GzipInflate(input.get(), int(body.size()), out.get());
    for (int i = size; i < size + 8; ++i) ASSERT_EQ(out[size_t(i)], 0);
  };
  for (const Bytes& original : bodies) {
    // Truncated at every length, with the trailer kept so the size stays sane.
    for (size_t cut = 0; cut + 8 < original.size(); ++cut) {
      Bytes body(original.begin(), original.begin() + long(cut));
      body.insert(body.end(), original.end() - 8, original.end());
      check(body, -1);
    }
    // Bit flips in the header and the data.
    for (int round = 0; round < 1500; ++round) {
      Bytes body = original;
      const int flips = 1 + int(rng() % 4);
      for (int f = 0; f < flips; ++f) {
        const size_t at = rng() % (body.size() - 4);  // keep the trailer's size sane
        body[at] ^= BYTE(1u << (rng() % 8));
      }
      check(body, -1);
    }
    // Lying trailers: smaller and larger than the real size.
    const std::uint32_t real = std::uint32_t(GzipUnpackedSize(original.data(), int(original.size())));
    for (std::uint32_t lie : {0u, 1u, real / 2, real - 1, real + 1, real * 2 + 100}) {
      Bytes body = original;
      for (int i = 0; i < 4; ++i) body[body.size() - 4 + size_t(i)] = BYTE(lie >> (8 * i));
      check(body, -1);
    }
  }
  EXPECT_GT(damaged, 100) << "the mutations should hit damage often";
}

TEST(GzipInflate, DamageIsReported) {
  const Bytes good = ZlibGzip(SampleData(4000, 9), 6, Z_DEFAULT_STRATEGY);
  Bytes out(4000 + 8, 0);
  struct Case {
    const char* name;
    Bytes body;
    int capacity;
    int expected;
  };
  Bytes truncated(good.begin(), good.begin() + long(good.size() / 2));
  BitWriter far;  // distance reaching before the output's start
  far.Bits(1, 1);
  far.Bits(1, 2);
  FixedSymbol(far, 'a');
  FixedSymbol(far, 257);
  far.Code(1, 5);  // distance 2 with one byte written
  FixedSymbol(far, 256);
  BitWriter bad;  // symbol 286 does not exist
  bad.Bits(1, 1);
  bad.Bits(1, 2);
  FixedSymbol(bad, 286);
  BitWriter badDist;  // distance code 30 does not exist
  badDist.Bits(1, 1);
  badDist.Bits(1, 2);
  FixedSymbol(badDist, 'a');
  FixedSymbol(badDist, 257);
  badDist.Code(30, 5);
  BitWriter overSubscribed;  // three codes of one bit
  DynamicHeader(overSubscribed, LitLengths({{'a', 1}, {'b', 1}, {256, 1}}), {1});
  overSubscribed.Code(0, 1);
  BitWriter longOverSubscribed;  // two 1-bit codes and 12-bit ones beside them
  {
    std::vector<int> lit(257 + 20, 12);
    lit[0] = 1;
    lit[1] = 1;
    DynamicHeader(longOverSubscribed, lit, {1});
    longOverSubscribed.Code(0, 1);
  }
  BitWriter unreached;  // 11 names no symbol of the incomplete code
  DynamicHeader(unreached, LitLengths({{'a', 1}, {256, 2}}), {1});
  unreached.Code(0, 1);
  unreached.Code(3, 2);
  unreached.Code(2, 2);
  const Case cases[] = {
      {"truncated", truncated, 4000, kGzipDamaged},
      {"over-subscribed short code", Member(overSubscribed.Finish(), 4), 4, kGzipDamaged},
      {"over-subscribed long code", Member(longOverSubscribed.Finish(), 4), 4, kGzipDamaged},
      {"code no symbol has", Member(unreached.Finish(), 4), 4, kGzipDamaged},
      {"output too small", good, 100, kGzipOutputFull},
      {"distance before the start", Member(far.Finish(), 4), 4, kGzipDamaged},
      {"symbol 286", Member(bad.Finish(), 4), 4, kGzipDamaged},
      {"distance code 30", Member(badDist.Finish(), 4), 4, kGzipDamaged},
      {"header cut in the name", {0x1f, 0x8b, 0x08, 0x08, 0, 0, 0, 0, 0, 3, 'a', 'b'}, 4, kGzipDamaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GzipInflateBounded(c.body.data(), int(c.body.size()), out.data(), c.capacity), c.expected);
  }
}

TEST(GzipInflate, ManyThreadsAtOnce) {
  std::vector<Bytes> data, bodies;
  for (unsigned i = 0; i < 4; ++i) {
    data.push_back(SampleData(20000 + 1000 * i, 100 + i));
    bodies.push_back(ZlibGzip(data.back(), int(i * 3), Z_DEFAULT_STRATEGY));
  }
  std::vector<int> failures(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 40; ++round) {
        const size_t k = size_t(t + round) % bodies.size();
        Bytes out(data[k].size() + 8, 0);
        const int n = GzipInflateBounded(bodies[k].data(), int(bodies[k].size()), out.data(),
                                         int(data[k].size()));
        if (n != int(data[k].size()) || !std::equal(data[k].begin(), data[k].end(), out.begin()))
          ++failures[size_t(t)];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(8, 0));
}

}  // namespace
