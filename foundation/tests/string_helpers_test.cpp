#include "foundation/string_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Pieces(const StringList* list) {
  std::vector<std::string> out;
  for (; list; list = list->next) out.emplace_back(list->text);
  return out;
}

struct SplitCase {
  const char* name;
  std::string text;
  const char* separator;  // one byte for SplitByChar cases
  bool byString;
  std::vector<std::string> pieces;
  std::string cutText;  // the caller's bytes after the split
};

TEST(StringSplit, PiecesAndCutText) {
  const SplitCase cases[] = {
      {"doubled separator gives an empty piece", "a||b", "|", false, {"a", "", "b"}, std::string("a\0\0b", 4)},
      {"leading separator gives an empty first piece", "|a", "|", false, {"", "a"}, std::string("\0a", 2)},
      {"trailing separator gives nothing after it", "a|", "|", false, {"a"}, std::string("a\0", 2)},
      {"two trailing separators", "a||", "|", false, {"a", ""}, std::string("a\0\0", 3)},
      {"empty text gives an empty list", "", "|", false, {}, ""},
      {"no separator gives the whole text", "abc", ",", false, {"abc"}, "abc"},
      {"trade reply record separator", "x\x01y", "\x01", false, {"x", "y"}, std::string("x\0y", 3)},
      {"string separator is zeroed whole", "x::y", "::", true, {"x", "y"}, std::string("x\0\0y", 4)},
      {"list separator", "a|||b|||", "|||", true, {"a", "b"}, std::string("a\0\0\0b\0\0\0", 8)},
      {"partial separator at the end stays", "a::b:", "::", true, {"a", "b:"}, std::string("a\0\0b:", 5)},
      {"single byte of a two-byte separator stays", "a:b", "::", true, {"a:b"}, "a:b"},
      {"empty separator does not split", "ab", "", true, {"ab"}, "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char> buffer(c.text.begin(), c.text.end());
    buffer.push_back(0);
    StringList* list = c.byString ? SplitByString(buffer.data(), c.separator)
                                  : SplitByChar(buffer.data(), c.separator[0]);
    EXPECT_EQ(Pieces(list), c.pieces);
    EXPECT_EQ(std::string(buffer.data(), c.text.size()), c.cutText);
    // Pieces point into the caller's buffer.
    for (StringList* n = list; n; n = n->next) {
      EXPECT_GE(n->text, buffer.data());
      EXPECT_LT(n->text, buffer.data() + buffer.size());
    }
    FreeStringList(&list);
    EXPECT_EQ(list, nullptr);
  }
  EXPECT_EQ(SplitByChar(nullptr, '|'), nullptr);
  FreeStringList(nullptr);
}

TEST(StringSplit, Records) {
  RecordList* records = SplitRecords("h1|8110,h2|8111", ',', '|');
  ASSERT_EQ(CountRecords(records), 2);
  EXPECT_NE(records->copy, nullptr);
  EXPECT_EQ(records->next->copy, nullptr) << "only the first node owns the copy";
  EXPECT_EQ(Pieces(records->fields), (std::vector<std::string>{"h1", "8110"}));
  EXPECT_EQ(Pieces(records->next->fields), (std::vector<std::string>{"h2", "8111"}));
  FreeRecordList(&records);
  EXPECT_EQ(records, nullptr);

  RecordList* lone = SplitRecords(",", ',', '|');
  ASSERT_EQ(CountRecords(lone), 1);
  EXPECT_EQ(lone->fields, nullptr);
  FreeRecordList(&lone);

  // The caller's text is left alone; the trade reply separators work alike.
  const char trade[] = "0\x02ok\x01" "1\x02" "bad";
  RecordList* reply = SplitRecords(trade, '\x01', '\x02');
  ASSERT_EQ(CountRecords(reply), 2);
  EXPECT_EQ(Pieces(reply->next->fields), (std::vector<std::string>{"1", "bad"}));
  EXPECT_EQ(std::memcmp(trade, "0\x02ok\x01", 5), 0);
  FreeRecordList(&reply);

  EXPECT_EQ(SplitRecords("", ',', '|'), nullptr);
  EXPECT_EQ(SplitRecords(nullptr, ',', '|'), nullptr);
  EXPECT_EQ(CountRecords(nullptr), 0);
  FreeRecordList(nullptr);
}

TEST(StringEdit, ByteTests) {
  EXPECT_EQ(IsAllDigits("0123456789", 10), 1);
  EXPECT_EQ(IsAllDigits("12a", 3), 0);
  EXPECT_EQ(IsAllDigits("12a", 2), 1);
  EXPECT_EQ(IsAllDigits("", 0), 1);
  EXPECT_EQ(IsAllDigits("/:", 1), 0);

  char lower[] = "AbZ\xE4\xB8\xAD@[";
  ToLowerAsciiInPlace(lower, 5);
  EXPECT_STREQ(lower, "abz\xE4\xB8\xAD@[");

  char replaced[] = {'a', 0, 'b', 0, 'c'};
  ReplaceCharInPlace(replaced, 4, 0, '\x02');
  EXPECT_EQ(std::string(replaced, 5), std::string("a\x02" "b\x02" "c"));
}

struct RemoveCharCase {
  const char* name;
  std::string text;
  int count;
  std::string expected;  // the whole buffer afterwards
};

TEST(StringEdit, RemoveCharInPlace) {
  const RemoveCharCase cases[] = {
      {"count limits the bytes looked at", "a-b-c", 3, std::string("ab\0-c", 5)},
      {"whole text", "a-b-c", 5, std::string("abc\0c", 5)},
      {"stops at a zero byte", std::string("-a\0-b", 5), 5, std::string("a\0\0-b", 5)},
      {"nothing to drop writes nothing past the count", "abcdef", 3, "abcdef"},
      {"backslashes of an address", "h\\t\\p", 5, std::string("htp\0p", 5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string buffer = c.text;
    RemoveCharInPlace(buffer.data(), c.count, c.text.find('\\') != std::string::npos ? '\\' : '-');
    EXPECT_EQ(buffer, c.expected);
  }
  // A buffer of exactly count bytes without the byte: no write past it.
  auto* exact = static_cast<char*>(std::malloc(3));
  std::memcpy(exact, "abc", 3);
  RemoveCharInPlace(exact, 3, '-');
  EXPECT_EQ(std::string(exact, 3), "abc");
  std::free(exact);
}

TEST(StringEdit, RemoveAllInPlace) {
  struct Case {
    const char* name;
    const char* text;
    const char* pattern;
    int count;  // -1: the text's length
    const char* expected;
  } cases[] = {
      {"escaped ampersands", "a&amp;b&amp;amp;c", "amp;", -1, "a&b&c"},
      {"occurrence formed before the position stays", "aabb", "ab", -1, "ab"},
      {"count limits the positions examined", "xab-ab", "ab", 2, "x-ab"},
      {"pattern at the end", "abcab", "ab", -1, "c"},
      {"empty pattern", "abc", "", -1, "abc"},
      {"pattern longer than the text", "ab", "abc", -1, "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string buffer = c.text;
    RemoveAllInPlace(buffer.data(), c.count < 0 ? static_cast<int>(buffer.size()) : c.count, c.pattern);
    EXPECT_STREQ(buffer.c_str(), c.expected);
  }
}

TEST(StringEdit, CountFindAndReplace) {
  EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2);
  EXPECT_EQ(CountOccurrences("a/b/c", "/"), 2);
  EXPECT_EQ(CountOccurrences("abc", ""), 0);
  EXPECT_EQ(CountOccurrences(nullptr, "a"), 0);

  const unsigned char data[] = {1, 0, 2, 3, 0, 2};
  const unsigned char zeroTwo[] = {0, 2};
  EXPECT_EQ(FindBytes(data, 6, zeroTwo, 2), 1);
  EXPECT_EQ(FindBytes(data + 2, 4, zeroTwo, 2), 2);
  EXPECT_EQ(FindBytes(data, 5, data + 3, 3), -1) << "a match must lie wholly inside";
  EXPECT_EQ(FindBytes(data, 6, data + 3, 3), 3);
  EXPECT_EQ(FindBytes(data, 6, zeroTwo, 0), -1);
  EXPECT_EQ(FindBytes(data, 1, zeroTwo, 2), -1);

  EXPECT_EQ(FindLastCharBefore("c:\\a\\b.exe", 10, '\\'), 4);
  EXPECT_EQ(FindLastCharBefore("c:\\a\\b.exe", 4, '\\'), 2);
  EXPECT_EQ(FindLastCharBefore("abc", 3, '\\'), -1);
  EXPECT_EQ(FindLastCharBefore("abc", 0, 'a'), -1);

  struct Case {
    const char* name;
    const char* text;
    const char* from;
    const char* to;
    const char* expected;
  } cases[] = {
      {"remove every slash", "x/y/z", "/", "", "xyz"},
      {"no match gives an equal copy", "xyz", "/", "-", "xyz"},
      {"longer replacement", "a,b", ",", "::", "a::b"},
      {"non-overlapping left to right", "aaa", "aa", "b", "ba"},
      {"empty pattern gives an equal copy", "abc", "", "x", "abc"},
      {"empty text", "", "a", "b", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char* out = ReplaceAllAlloc(c.text, c.from, c.to);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, c.expected);
    EXPECT_NE(out, c.text);
    std::free(out);
  }
  EXPECT_EQ(ReplaceAllAlloc(nullptr, "a", "b"), nullptr);
  EXPECT_EQ(ReplaceAllAlloc("a", nullptr, "b"), nullptr);
  EXPECT_EQ(ReplaceAllAlloc("a", "a", nullptr), nullptr);
}

TEST(StringExtract, BetweenMarkers) {
  struct Case {
    const char* name;
    const char* text;
    const char* start;
    const char* end;
    int capacity;
    int result;
    std::string out;  // the whole 8-byte output buffer afterwards
  } cases[] = {
      {"content and step length", "<id>12</id>", "<id>", "</id>", 8, 11, std::string("12\0#####", 8)},
      {"missing end marker leaves out untouched", "<id>12", "<id>", "</id>", 8, -1, "########"},
      {"missing start marker", "12</id>", "<id>", "</id>", 8, -1, "########"},
      {"end marker searched after the start", "</id><id>7</id>", "<id>", "</id>", 8, 10, std::string("7\0######", 8)},
      {"empty content", "<id></id>", "<id>", "</id>", 8, 9, std::string("\0#######", 8)},
      {"host of an address", "http://h.example:80/x", "http://", ":", 8, 17, std::string("h.examp\0", 8)},
      {"small capacity cuts, result unchanged", "<id>123456</id>", "<id>", "</id>", 4, 15, std::string("123\0####", 8)},
      {"capacity 1 writes only the zero", "<id>12</id>", "<id>", "</id>", 1, 11, std::string("\0#######", 8)},
      {"capacity 0 writes nothing", "<id>12</id>", "<id>", "</id>", 0, 11, "########"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out(8, '#');
    EXPECT_EQ(ExtractBetween(c.text, out.data(), c.capacity, c.start, c.end), c.result);
    EXPECT_EQ(out, c.out);
  }
  char out[4] = {};
  EXPECT_EQ(ExtractBetween(nullptr, out, 4, "<", ">"), -1);
  EXPECT_EQ(ExtractBetween("<a>", out, 4, nullptr, ">"), -1);
}

TEST(StringExtract, StepsThroughBackToBackRecords) {
  const char* text = "<market><id>1</id></market><market><id>22</id></market>";
  std::vector<std::string> ids;
  const char* p = text;
  char content[16];
  for (int step; (step = ExtractBetween(p, content, sizeof content, "<market>", "</market>")) >= 0; p += step) {
    char id[4] = {};
    ASSERT_GE(ExtractBetween(content, id, sizeof id, "<id>", "</id>"), 0);
    ids.emplace_back(id);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "22"}));
}

TEST(StringHash, HashName) {
  struct Case {
    const char* name;
    const char* text;
    int hash;
  } cases[] = {
      {"one byte", "a", 97},
      {"three bytes", "abc", 511219427},
      {"empty", "", 0},
      // h = 0 ^ (0 ^ 0xFFFFFFE4 ^ 0) = 0xFFFFFFE4, masked to 31 bits.
      {"high byte is sign-extended", "\xE4", 0x7FFFFFE4},
      // Second byte: h ^= ~((h << 11) ^ c ^ (h >> 5)) with h = 0xFFFFFFE4.
      {"two high bytes", "\xE4\xB8", static_cast<int>((0xFFFFFFE4u ^ ~((0xFFFFFFE4u << 11) ^ 0xFFFFFFB8u ^ (0xFFFFFFE4u >> 5))) & 0x7FFFFFFFu)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HashName(c.text), c.hash);
  }
  EXPECT_EQ(HashName(nullptr), 0);
}

TEST(StringHex, BothDirections) {
  const unsigned char bytes[] = {0x00, 0xAB, 0x7F};
  std::string hex(8, '#');
  EXPECT_EQ(BytesToHex(bytes, 2, hex.data(), 8), 4);
  EXPECT_EQ(hex, "00AB####");
  EXPECT_EQ(BytesToHex(bytes, 3, hex.data(), 5), 4) << "only whole pairs fit";
  EXPECT_EQ(hex, "00AB####");
  EXPECT_EQ(BytesToHex(bytes, 3, hex.data(), 8), 6);
  EXPECT_EQ(hex, "00AB7F##");

  unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(ParseLowerHex("0aff", 4, out, 4), 2);
  EXPECT_EQ(out[0], 0x0A);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0xEE);
  EXPECT_EQ(ParseLowerHex("0123456789", 10, out, 3), 3) << "capacity bounds the bytes";
  EXPECT_EQ(out[2], 0x45);
  EXPECT_EQ(out[3], 0xEE);
  EXPECT_EQ(ParseLowerHex("abc", 3, out, 4), 1) << "an odd digit is left over";
  EXPECT_EQ(out[0], 0xAB);
}

}  // namespace
