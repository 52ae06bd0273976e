// The frame's readers: "goto::" texts, res\menu.json, rolling-text replies
// and the watch-list bodies and reply.
#include <gtest/gtest.h>

#include <cstring>

#include "marketdata/own_stocks.h"
#include "marketdata/quote_engine.h"
#include "shell/frame_files.h"
#include "shell/goto_command.h"
#include "shell/own_stock_sync.h"
#include "shell/tests/frame/frame_fixture.h"

namespace frametest {
namespace {

TEST(GotoText, SplitsAtEveryDoubleColon) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {"home", "goto::home", {"goto", "home"}},
      {"address kept whole", "goto::info::http://h:1/a?b=c::userid,sessionid",
       {"goto", "info", "http://h:1/a?b=c", "userid,sessionid"}},
      {"empty parts kept", "goto::::x::", {"goto", "", "x", ""}},
      {"not goto", "http://x", {}},
      {"goto prefix only", "gotox::home", {}},
      {"empty", "", {}},
      {"single colons", "goto:quote:min", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitGotoText(c.text), c.parts) << c.name;
}

TEST(GotoText, StockItems) {
  struct Case {
    const char* item;
    bool ok;
    const char* verb;
    const char* code;
    int market;
  };
  const Case cases[] = {{"min,600000,1", true, "min", "600000", 1},
                        {"kline,6000001234,2", true, "kline", "600000", 2},
                        {"relation,000001,2,extra", true, "relation", "000001", 2},
                        {"min,600000,", true, "min", "600000", 0},
                        {"min,600000,x", true, "min", "600000", 0},
                        {"min,600000,99999999999999999999", true, "min", "600000", 0x7FFFFFFF},
                        {"min,600000", false, "", "", -7},
                        {"", false, "", "", -7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    GotoStock s;
    s.market = -7;
    EXPECT_EQ(ParseGotoStock(c.item, &s), c.ok);
    EXPECT_EQ(s.verb, c.verb);
    EXPECT_EQ(s.code, c.code);
    EXPECT_EQ(s.market, c.market);
  }
}

TEST(MenuFile, EntriesWithANameInFileOrder) {
  std::vector<MenuEntry> entries{{"sentinel", "", ""}};
  ASSERT_TRUE(ReadMenuEntries(R"({"menus":[{"resourceName":"A\u4e2d","resourceCode":"100001","url":"goto::home"},
    {"resourceCode":"100002","url":"x"}, 7, {"resourceName":"B"}]})",
                              &entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "A中");
  EXPECT_EQ(entries[0].code, "100001");
  EXPECT_EQ(entries[0].url, "goto::home");
  EXPECT_EQ(entries[1].name, "B");
  EXPECT_EQ(entries[1].code, "");
  for (const char* bad : {"", "[]", "{", R"({"menus":{}})", R"({"menu":[]})", "\xff\xfe"}) {
    SCOPED_TRACE(bad);
    entries = {{"sentinel", "", ""}};
    EXPECT_FALSE(ReadMenuEntries(bad, &entries));
    EXPECT_TRUE(entries.empty());
  }
}

TEST(MarqueeReply, OnlyResultTrueCounts) {
  struct Case {
    const char* name;
    const char* text;
    bool accepted;
    bool hasMarquee;
    size_t items;
  };
  const Case cases[] = {
      {"two items", R"({"result":"true","marquee":[{"title":"a","url":"u"},{"title":"b"}]})", true, true, 2},
      {"no marquee", R"({"result":"true"})", true, false, 0},
      {"false", R"({"result":"false","marquee":[{"title":"a"}]})", false, false, 0},
      {"true as a literal", R"({"result":true,"marquee":[]})", false, false, 0},
      {"not json", "<html>", false, false, 0},
      {"cut short", R"({"result":"true","marquee":[{"title":"a")", false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<MarqueeItem> items(3);
    bool has = true;
    EXPECT_EQ(ReadMarqueeReply(c.text, &items, &has), c.accepted);
    EXPECT_EQ(has, c.hasMarquee);
    EXPECT_EQ(items.size(), c.items);
  }
}

TEST(WatchListBodies, ExactBytes) {
  const std::string head = R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?><reqmsg><signature>10001</signature>)";
  EXPECT_EQ(BuildSaveOwnStockBody(1, 10001, "600000", 1),
            head + R"(<action>savemystocks</action><operation>1</operation><sector>1</sector><mystocks>)"
                   R"(<stock code="600000" marketid="1"/></mystocks></reqmsg>)");
  EXPECT_EQ(BuildSaveOwnStockBody(2, 10001, "0000019", 2),
            head + R"(<action>savemystocks</action><operation>2</operation><sector>1</sector><mystocks>)"
                   R"(<stock code="000001" marketid="2"/></mystocks></reqmsg>)");
  OwnStockList list;
  list.bytes = std::string("600000\x01", 7) + std::string("000001\x02", 7) + "xx";
  EXPECT_EQ(BuildSaveWholeListBody(10001, &list),
            head + R"(<action>savemystocks</action><operation>3</operation><sector>1</sector><mystocks>)"
                   R"(<stock code="600000" marketid="1"/><stock code="000001" marketid="2"/></mystocks></reqmsg>)");
  EXPECT_EQ(BuildSaveWholeListBody(10001, nullptr),
            head + R"(<action>savemystocks</action><operation>3</operation><sector>1</sector><mystocks></mystocks></reqmsg>)");
  EXPECT_EQ(BuildGetOwnStocksBody(10001), head + "<action>getmystocks</action></reqmsg>");
}

class WatchListReply : public FrameTest {};

TEST_F(WatchListReply, RetcodeZeroRebuildsTheFileAnythingElseLeavesIt) {
  QuoteEngine* engine = CreateQuoteEngine();
  const std::string before = std::string("600519\x01", 7);
  struct Case {
    const char* name;
    std::string reply;
    bool applied;
    std::string file;
  };
  const std::string stocks = R"(<mystocks><stock code="600000" marketid="1"/><stock code="0000012" marketid="2x"/>)"
                             R"(<stock code="" marketid="1"/><stock code="300750" marketid=""/></mystocks>)";
  const Case cases[] = {
      {"zero", R"(<?xml version="1.0"?><retmsg><retcode>0</retcode>)" + stocks + "</retmsg>", true,
       std::string("600000\x01", 7) + std::string("000001\x02", 7)},
      {"empty retcode", "<retmsg><retcode></retcode>" + stocks + "</retmsg>", false, before},
      {"one", "<retmsg><retcode>1</retcode>" + stocks + "</retmsg>", false, before},
      {"no retmsg", "<other/>", false, before},
      {"cut", "<retmsg><retc", false, before},
      {"empty list", "<retmsg><retcode>0</retcode><mystocks></mystocks></retmsg>", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteDataFile("res\\own.data", before.data(), static_cast<int>(before.size())));
    EXPECT_EQ(ApplyOwnStocksReply(engine, c.reply.data(), static_cast<int>(c.reply.size())), c.applied);
    FileBlob* blob = ReadDataFile("res\\own.data");
    const std::string file = blob ? std::string(blob->data, static_cast<size_t>(blob->size)) : std::string();
    FreeFileBlob(blob);
    EXPECT_EQ(file, c.file);
  }
  FreeQuoteEngine(engine);
}

}  // namespace
}  // namespace frametest
