#include "addin/framework_utils.h"

#include <gtest/gtest.h>

#include <string>

#include "addin/tests/report_recorder.h"
#include "platform/kernel/debug_sink.h"

TEST(FrameworkUtils, WildcardMatch) {
  struct Case {
    const char* text;
    const char* pattern;
    int expected;
  };
  const Case cases[] = {
      {"", "*", 1},          {"anything at all", "*", 1}, {"", "", 1},           {"a", "", 0},
      {"", "*?", 0},         {"x", "*?", 1},              {"xyz", "*?", 1},      {"item", "ITEM", 0},
      {"ITEM", "ITEM", 1},   {"axbxb", "a*b", 1},         {"axbxc", "a*b", 0},   {"ab", "a*b", 1},
      {"ITEMS", "IT*", 1},   {"item", "IT*", 0},          {"abc", "a?c", 1},     {"ac", "a?c", 0},
      {"aab", "*ab", 1},     {"abcabd", "*abd", 1},       {"abcabd", "a*c*d", 1}, {"abc", "abcd", 0},
      {"abcd", "abc", 0},    {"abc", "**c", 1},           {"abc", "a**", 1},     {"xaybzc", "*a*b*c", 1},
      {"xaybz", "*a*b*c", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.text, c.pattern), c.expected) << c.text << " ~ " << c.pattern;
  EXPECT_EQ(WildcardMatch(nullptr, "*"), 0);
  EXPECT_EQ(WildcardMatch("a", nullptr), 0);
}

TEST(FrameworkUtils, FindCharFrom) {
  struct Case {
    const char* text;
    char ch;
    int offset;
    int expected;
  };
  const Case cases[] = {
      {"a@b.c", '@', 0, 1}, {"a@b.c", '@', 1, 1},  {"a@b.c", '@', 2, -1}, {"a@b.c", '.', 0, 3},
      {"abc", 'c', 3, -1},  {"abc", '\0', 3, 3},   {"abc", '\0', 0, 3},   {"abc", 'a', -1, -1},
      {"abc", 'a', 4, -1},  {"", '\0', 0, 0},      {"", 'x', 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindCharFrom(c.text, c.ch, c.offset), c.expected) << c.text << " " << c.offset;
  EXPECT_EQ(FindCharFrom(nullptr, 'a', 0), -1);
}

TEST(FrameworkUtils, ParseBoolText) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {{"TRUE", 1}, {"true", 1}, {"yes", 1}, {"YeS", 1}, {"1", 1},  {"", 0},
                        {"0", 0},    {"2", 0},    {"on", 0},  {"1 ", 0},  {"yes!", 0}, {nullptr, 0}};
  for (const Case& c : cases) EXPECT_EQ(ParseBoolText(c.text), c.expected) << (c.text ? c.text : "(null)");
}

TEST(FrameworkUtils, VerifyReportFormatAndSink) {
  {
    ReportRecorder recorder;
    ShowVerifyReport("Kelvra\\src\\collection\\coll", 207, "pBlock!=NULL");
    ShowVerifyReport(nullptr, -1, nullptr);
    ASSERT_EQ(recorder.reports().size(), 2u);
    EXPECT_EQ(recorder.reports()[0].text, "FILE:Kelvra\\src\\collection\\coll LINE:207 EXCEPTION: pBlock!=NULL");
    EXPECT_EQ(recorder.reports()[0].caption, "CLIBVERIFY");
    EXPECT_EQ(recorder.reports()[0].flags, 0x30u);  // MB_ICONWARNING | MB_OK
    EXPECT_EQ(recorder.reports()[1].text, "FILE: LINE:-1 EXCEPTION: ");

    // Longer texts are cut to the 1,024-byte buffer.
    const std::string longPath(2000, 'p');
    ShowVerifyReport(longPath.c_str(), 1, "x");
    ASSERT_EQ(recorder.reports().size(), 3u);
    EXPECT_EQ(recorder.reports()[2].text.size(), 1023u);
    EXPECT_EQ(recorder.reports()[2].text.substr(0, 6), "FILE:p");
  }
  // Without a sink of its own the report goes to the debugger output.
  DebugCapture capture;
  ShowVerifyReport("src", 5, "cond");
  EXPECT_TRUE(capture.Contains("CLIBVERIFY: FILE:src LINE:5 EXCEPTION: cond"));
}
