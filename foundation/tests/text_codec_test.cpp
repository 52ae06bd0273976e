#include "foundation/text_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr WCHAR kSentinel = 0xBEEF;

struct DecodeCase {
  const char* name;
  std::string input;
  std::vector<WCHAR> units;
  int consumed;
};

TEST(TextCodecDecode, FormsAndLossyCases) {
  const DecodeCase cases[] = {
      {"ascii", "ab", {0x61, 0x62}, 2},
      {"three-byte form", "\xE4\xB8\xAD", {0x4E2D}, 3},
      {"two-byte form", "\xC3\xA9", {0x00E9}, 2},
      {"stray continuation byte is a space", "\x80", {0x0020}, 1},
      {"four-byte form keeps the low 16 bits", "\xF0\x9F\x98\x80", {0xF600}, 4},
      {"five-byte form is one unit", "\xF8\x88\x80\x80\x80" "a", {0x0000, 0x61}, 6},
      {"six-byte form is one unit", "\xFC\x80\x80\x80\x81\x81" "b", {0x0041, 0x62}, 7},
      {"continuation bytes are not tested", std::string("\xE4\x00\x41", 3), {0x4001}, 3},
      {"three-byte form cut at the end", "a\xE4\xB8", {0x61, 0x0020}, 3},
      {"six-byte lead alone at the end", "\xFC", {0x0020}, 1},
      {"zero byte is a unit", std::string("\0a", 2), {0x0000, 0x61}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int len = static_cast<int>(c.input.size());
    std::vector<WCHAR> out(c.units.size() + 2, kSentinel);
    const int consumed = Utf8ToUtf16(c.input.data(), len, out.data(), static_cast<int>(out.size() * 2));
    EXPECT_EQ(consumed, c.consumed);
    EXPECT_EQ(Utf16SizeOfUtf8(c.input.data(), len), static_cast<int>(c.units.size() * 2));
    for (size_t i = 0; i < c.units.size(); ++i) EXPECT_EQ(out[i], c.units[i]) << "unit " << i;
    EXPECT_EQ(out[c.units.size()], kSentinel) << "no terminator is written";
  }
}

TEST(TextCodecDecode, CutFormNeverReadsPastTheLength) {
  // The input lives at the very end of a heap block, so a read past the
  // given length is an AddressSanitizer report.
  const std::string forms[] = {"\xE4", "\xE4\xB8", "\xF0\x9F\x98", "\xFC\x80\x80\x80\x80", "\xC3"};
  for (const auto& form : forms) {
    auto* heap = static_cast<char*>(std::malloc(form.size()));
    std::copy(form.begin(), form.end(), heap);
    WCHAR out[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    const int len = static_cast<int>(form.size());
    EXPECT_EQ(Utf8ToUtf16(heap, len, out, sizeof out), len);
    EXPECT_EQ(out[0], 0x0020);
    EXPECT_EQ(out[1], kSentinel);
    EXPECT_EQ(Utf16SizeOfUtf8(heap, len), 2);
    std::free(heap);
  }
}

TEST(TextCodecDecode, OutputCapacityStopsBeforeTheFormThatDoesNotFit) {
  const char* text = "\xE4\xB8\xAD\xE6\x96\x87z";  // 中文z
  WCHAR out[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  // Room for one unit and a half: only one whole unit is written.
  EXPECT_EQ(Utf8ToUtf16(text, 7, out, 3), 3);
  EXPECT_EQ(out[0], 0x4E2D);
  EXPECT_EQ(out[1], kSentinel);
  EXPECT_EQ(Utf8ToUtf16(text, 7, out, 0), 0);
  EXPECT_EQ(Utf8ToUtf16(text, 7, out, 6), 7);
  EXPECT_EQ(out[2], u'z');
  EXPECT_EQ(out[3], kSentinel);
}

struct EncodeCase {
  const char* name;
  std::vector<WCHAR> units;
  std::string bytes;
};

TEST(TextCodecEncode, UnitsAreEncodedAlone) {
  const EncodeCase cases[] = {
      {"ascii", {0x61}, "a"},
      {"below 0x800", {0x07FF}, "\xDF\xBF"},
      {"three bytes", {0x4E2D}, "\xE4\xB8\xAD"},
      {"surrogate pair gives two three-byte forms", {0xD83D, 0xDE00}, "\xED\xA0\xBD\xED\xB8\x80"},
      {"zero unit is one zero byte", {0x0000, 0x41}, std::string("\0A", 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int bytes = static_cast<int>(c.units.size() * 2);
    std::string out(c.bytes.size() + 2, '#');
    EXPECT_EQ(Utf16ToUtf8(c.units.data(), bytes, out.data(), static_cast<int>(out.size())), bytes);
    EXPECT_EQ(out.substr(0, c.bytes.size()), c.bytes);
    EXPECT_EQ(out.substr(c.bytes.size()), "##");
    EXPECT_EQ(Utf8SizeOfUtf16(c.units.data(), bytes), static_cast<int>(c.bytes.size()));
  }
}

TEST(TextCodecEncode, OddByteLengthLeavesTheHalfUnitUnread) {
  // Two whole units and a length of 5 bytes: the half unit lies past the
  // array, so reading it would be an AddressSanitizer report.
  const WCHAR units[2] = {0x61, 0x4E2D};
  std::string out(8, '#');
  EXPECT_EQ(Utf16ToUtf8(units, 5, out.data(), 8), 4);
  EXPECT_EQ(out, "a\xE4\xB8\xAD####");
  EXPECT_EQ(Utf8SizeOfUtf16(units, 5), 4);
  EXPECT_EQ(Utf16ToUtf8(units, 1, out.data(), 8), 0);
}

TEST(TextCodecEncode, OutputCapacityStopsBeforeTheUnitThatDoesNotFit) {
  const WCHAR units[] = {0x61, 0x4E2D, 0x62};
  std::string out(6, '#');
  EXPECT_EQ(Utf16ToUtf8(units, 6, out.data(), 3), 2);
  EXPECT_EQ(out, "a#####");
  EXPECT_EQ(Utf16ToUtf8(units, 6, out.data(), 5), 6);
  EXPECT_EQ(out, "a\xE4\xB8\xAD" "b#");
}

TEST(TextCodecAlloc, ZeroTerminatedForms) {
  EXPECT_EQ(Utf16Length(nullptr), -1);
  EXPECT_EQ(Utf16Length(u""), 0);
  EXPECT_EQ(Utf16Length(u"ab\0c"), 2);
  EXPECT_EQ(Utf8ToUtf16Alloc(nullptr), nullptr);
  EXPECT_EQ(Utf16ToUtf8Alloc(nullptr), nullptr);

  const char* smiley = "a\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf16SizeOfUtf8(smiley, 5), 4);
  WCHAR* wide = Utf8ToUtf16Alloc(smiley);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide[0], 0x0061);
  EXPECT_EQ(wide[1], 0xF600);
  EXPECT_EQ(wide[2], 0x0000);
  std::free(wide);

  // A cut form before the terminator stays inside the text.
  WCHAR* cut = Utf8ToUtf16Alloc("x\xE4");
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(std::u16string(cut), u"x ");
  std::free(cut);

  char* narrow = Utf16ToUtf8Alloc(u"中a\xD83D\xDE00");
  ASSERT_NE(narrow, nullptr);
  EXPECT_EQ(std::string(narrow), "\xE4\xB8\xAD" "a\xED\xA0\xBD\xED\xB8\x80");
  std::free(narrow);

  char* empty = Utf16ToUtf8Alloc(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(empty[1], 0);
  std::free(empty);
}

TEST(TextCodecAlloc, RoundTripOfTheBasicPlane) {
  // Every unit outside the surrogate range survives UTF-16 -> UTF-8 -> UTF-16.
  std::u16string all;
  for (char32_t u = 1; u <= 0xFFFF; ++u) {
    if (u < 0xD800 || u > 0xDFFF) all.push_back(static_cast<char16_t>(u));
  }
  char* narrow = Utf16ToUtf8Alloc(all.c_str());
  ASSERT_NE(narrow, nullptr);
  WCHAR* back = Utf8ToUtf16Alloc(narrow);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(std::u16string(back) == all);
  std::free(narrow);
  std::free(back);
}

}  // namespace
