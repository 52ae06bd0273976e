#include "platform/kernel/kernel_utf.h"

#include <gtest/gtest.h>

TEST(KernelUtf, WideToUtf8Table) {
  struct Case {
    const char* name;
    std::u16string wide;
    std::string utf8;
  };
  const Case cases[] = {
      {"ascii", u"abc", "abc"},
      {"two and three bytes", u"\u00E9\u4E2D", "\xC3\xA9\xE4\xB8\xAD"},
      {"surrogate pair joined", u"\U0001F600", "\xF0\x9F\x98\x80"},
      {"lone high surrogate kept", std::u16string(1, char16_t(0xD83D)), "\xED\xA0\xBD"},
      {"lone low surrogate kept", std::u16string(1, char16_t(0xDE00)), "\xED\xB8\x80"},
      {"stops at a zero unit", std::u16string(u"ab\0cd", 5), "ab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideToUtf8(c.wide), c.utf8) << c.name;
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide.substr(0, c.wide.find(u'\0'))) << c.name;
  }
  EXPECT_EQ(WideToUtf8(nullptr, 5), "");
}

TEST(KernelUtf, MalformedBytesBecomeReplacementUnits) {
  struct Case {
    const char* name;
    std::string utf8;
    std::u16string wide;
  };
  const Case cases[] = {
      {"cut three-byte form", "a\xE4\xB8", u"a\uFFFD\uFFFD"},
      {"bad continuation", "\xC3(", u"\uFFFD("},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"stray continuation", "\x80z", u"\uFFFDz"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.name;
}
