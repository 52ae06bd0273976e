// The catalogue both programs share: command line, proxy text, key codes,
// records and the navigation rules.
#include <gtest/gtest.h>

#include <QtCore/qnamespace.h>

#include "browser/brisel_catalogue.h"
#include "platform/window/win_qtkeys.h"

namespace {

TEST(BriselCatalogue, CommandLineRoundTripsAndShortOnesAreRefused) {
  std::vector<std::string> args = BuildBriselArgs("http://h/a b\"c", BriselRect{-3, 4, 500, 600});
  EXPECT_EQ(args, (std::vector<std::string>{"NULL", "http://h/a b\"c", "500", "600", "-3", "4"}));
  BriselArgs read = ParseBriselArgs(args);
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.address, "http://h/a b\"c");
  EXPECT_EQ(read.rect.left, -3);
  EXPECT_EQ(read.rect.top, 4);
  EXPECT_EQ(read.rect.right, 500);
  EXPECT_EQ(read.rect.bottom, 600);
  args.pop_back();
  EXPECT_FALSE(ParseBriselArgs(args).ok);
  EXPECT_FALSE(ParseBriselArgs({}).ok);
}

TEST(BriselCatalogue, NumbersReadLikeTheWideTextConversion) {
  const std::pair<const char*, int> rows[] = {
      {"123", 123}, {"-45", -45}, {"+7", 7}, {"  12px", 12}, {"px12", 0}, {"", 0}, {"-", 0},
      {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}, {"3.9", 3}};
  for (auto& [text, value] : rows) EXPECT_EQ(ReadLeadingInt(text), value) << text;
}

TEST(BriselCatalogue, ProxyTexts) {
  struct Row {
    const char* text;
    bool valid;
    int type;
    const char* host;
    int port;
    const char* user;
    const char* password;
  };
  const Row rows[] = {
      {"1|10.0.0.2|808|||", true, 1, "10.0.0.2", 808, "", ""},
      {"2|proxy.local|3128|演示|p|w|", true, 2, "proxy.local", 3128, "演示", "p|w"},  // sixth piece ignored
      {"0|h|1080|u|p|", true, 0, "h", 1080, "u", "p"},
      {"2|h|3128|u|", false, 2, "h", 3128, "", ""},  // four pieces
      {"2||3128|||", false, 2, "", 3128, "", ""},
      {"2|h|0|||", false, 2, "h", 0, "", ""},
      {"2|h|65536|||", false, 2, "h", 65536, "", ""},
      {"7|h|80|||", false, 7, "h", 80, "", ""},
      {"", false, -1, "", 0, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    BriselProxy p = ParseBriselProxy(row.text);
    EXPECT_EQ(p.valid, row.valid);
    if (!row.valid) continue;
    EXPECT_EQ(p.type, row.type);
    EXPECT_EQ(p.host, row.host);
    EXPECT_EQ(p.port, row.port);
    EXPECT_EQ(p.user, row.user);
    if (std::string(row.password) != "p|w") {
      EXPECT_EQ(p.password, row.password);
    }
  }
  EXPECT_EQ(ParseBriselProxy("2|h|1|u|p|w|").password, "p");
}

TEST(BriselCatalogue, KeyCodesAndKeyRecords) {
  EXPECT_EQ(BriselKeyCode(116), 40116);  // F5
  EXPECT_EQ(BriselKeyCode(112), 40112);
  EXPECT_EQ(BriselKeyCode(123), 40123);
  EXPECT_EQ(BriselKeyCode(124), 124);  // F13 is not one of them
  EXPECT_EQ(BriselKeyCode('A'), 65);
  EXPECT_EQ(ParseBriselKeyRecord(u"40117"), 40117);
  EXPECT_EQ(ParseBriselKeyRecord(u"F6"), 0);
  EXPECT_EQ(ParseBriselKeyRecord(u""), 0);
  // The layer's own mapping, as the browser program uses it.
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_F5), 116u);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_A), 65u);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Down), 0x28u);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Escape), 0x1Bu);
}

TEST(BriselCatalogue, RecordTextsAndCookieLists) {
  const char bytes[] = {'a', 0, 'b', 0, 'c'};  // an odd last byte is dropped
  EXPECT_EQ(RecordText(bytes, 5), u"ab");
  EXPECT_EQ(RecordText(nullptr, 4), u"");
  EXPECT_EQ(SplitCookieList(u"a=1|b=2|"), (std::vector<std::u16string>{u"a=1", u"b=2"}));
  EXPECT_EQ(SplitCookieList(u"a=1|b=2"), (std::vector<std::u16string>{u"a=1"}));
  EXPECT_TRUE(SplitCookieList(u"").empty());
  EXPECT_EQ(SplitCookieList(u"username=演示|"), (std::vector<std::u16string>{u"username=演示"}));
}

TEST(BriselCatalogue, NavigationRules) {
  const std::string host = "tok.example";
  struct Row {
    const char* address;
    BriselNavigation what;
  };
  const Row rows[] = {
      {"goto::quote::min,600000,1", BriselNavigation::kWebCommand},
      {"http://h/x?to=goto::quote", BriselNavigation::kLoad},
      {"http://tok.example/#access_token=abc", BriselNavigation::kAccessToken},
      {"https://tok.example/#access_token=abc", BriselNavigation::kLoad},
      {"javascript:void(0)", BriselNavigation::kIgnore},
      {"http://h/a.html", BriselNavigation::kLoad},
  };
  for (const Row& row : rows) EXPECT_EQ(ClassifyNavigation(row.address, host), row.what) << row.address;

  const std::pair<const char*, bool> pdf[] = {
      {"http://h/x.pdf", true}, {"http://h/x.pdf?a", false}, {"http://h/a.pdf/b.pdf", false}, {"http://h/x", false}};
  for (auto& [address, yes] : pdf) EXPECT_EQ(IsPdfAddress(address), yes) << address;

  EXPECT_EQ(ClassifySuccessPage("http://tok.example/success/success.html#access_token=1", host), 1);
  EXPECT_EQ(ClassifySuccessPage("http://tok.example/success/success.html#x&error_code=21330", host), 2);
  EXPECT_EQ(ClassifySuccessPage("http://tok.example/success/success.html#x", host), 0);
  EXPECT_EQ(ClassifySuccessPage("http://other/success/success.html#access_token=1", host), 0);
}

TEST(BriselCatalogue, NonAsciiEscapesAreDecodedAndTheRestKept) {
  EXPECT_EQ(DecodeNonAsciiEscapes("goto::popwindow::%E5%85%AC%E5%91%8A::x%20y::%2F"),
            "goto::popwindow::公告::x%20y::%2F");
  EXPECT_EQ(DecodeNonAsciiEscapes("100%"), "100%");
  EXPECT_EQ(DecodeNonAsciiEscapes("%E5%8"), "\xE5%8");
}

}  // namespace
