// Market states (res\maketinfo.data) and the trading-hours table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "marketdata/market_states.h"
#include "marketdata/reply_reader.h"
#include "marketdata/request_builders.h"
#include "marketdata/tests/engine_test_support.h"
#include "marketdata/trading_hours.h"
#include "tools/simbroker/wire_encoders.h"

using namespace engine_test;

namespace {

std::string ReadText(const std::string& path) {
  FileBlob* blob = ReadFileUtf8Path(path.c_str());
  std::string text = blob ? std::string(blob->data, static_cast<size_t>(blob->size)) : "<missing>";
  FreeFileBlob(blob);
  return text;
}

class MarketStatesTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    MakeReady();
  }
  void MarketInfo(const std::vector<simbroker::MarketDay>& days) {
    fake.Inject(simbroker::ReplyPacket(2, 1, 3, 1, simbroker::MarketInfoBody(days), false));
  }
};

TEST_F(MarketStatesTest, RepliesAreMergedSavedAndReloadedExactly) {
  MarketInfo({{1, 20240315, 1}, {2, 20240315, 0}});
  EXPECT_EQ(ReadText(UserFile("res/maketinfo.data")),
            "<market><id>1</id><date>20240315</date><state>1</state></market>"
            "<market><id>2</id><date>20240315</date><state>0</state></market>");
  // A new id is appended and sends nothing; a state byte above 127 is
  // written as the signed byte the table holds.
  MarketInfo({{9, 20240314, 200}});
  EXPECT_TRUE(fake.TakeSent().empty());
  EXPECT_EQ(engine->savedMarkets.count, 3);
  EXPECT_NE(ReadText(UserFile("res/maketinfo.data")).find("<id>9</id><date>20240314</date><state>-56</state>"),
            std::string::npos);
  EXPECT_EQ(GetMarketTradeDate(engine, 9), 20240314);
  EXPECT_EQ(GetMarketTradeDate(engine, 4), 0);

  // A new engine starts from the file.
  QuoteEngine* second = CreateQuoteEngine();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->savedMarkets.count, 3);
  EXPECT_EQ(second->savedMarkets.entries[2].state, 200);
  EXPECT_EQ(GetMarketTradeDate(second, 2), 20240315);
  FreeQuoteEngine(second);
}

TEST_F(MarketStatesTest, DateChangedSinceTheLastRunRenewsOnce) {
  MarketInfo({{1, 20240315, 1}, {2, 20240315, 1}});
  FreeQuoteEngine(engine);
  engine = CreateQuoteEngine();
  ASSERT_NE(engine, nullptr);
  SetQuoteTransportForTesting(engine, &fake);
  MakeReady();
  RequestDictionaryUpdate(engine, nullptr, nullptr);  // one standing request
  fake.TakeSent();
  MarketInfo({{1, 20240318, 1}, {2, 20240318, 1}});
  auto sent = fake.TakeSent();
  ASSERT_EQ(sent.size(), 2u);            // one renew, one resend
  EXPECT_EQ(sent[0].payload[5], 17);
  EXPECT_EQ(sent[1].payload[5], 1);
  EXPECT_EQ(GetMarketTradeDate(engine, 1), 20240318);
}

TEST_F(MarketStatesTest, LatestDateOfADuplicateIdWins) {
  const char text[] =
      "<market><id>1</id><date>20240301</date><state>0</state></market>"
      "<market><id>1</id><date>20240305</date><state>0</state></market>";
  ASSERT_TRUE(WriteDataFile("res\\maketinfo.data", text, sizeof text - 1));
  LoadMarketStates(engine);
  EXPECT_EQ(engine->savedMarkets.count, 2);
  EXPECT_EQ(GetMarketTradeDate(engine, 1), 20240305);
}

TEST_F(MarketStatesTest, ManyMarketsGrowTheTextAndExtraEntriesAreIgnored) {
  // 200 markets overflow a 2,045-character text; all are saved and read back.
  std::vector<simbroker::MarketDay> days;
  for (int id = 0; id < 120; ++id) days.push_back({id, 20240300 + id % 28, 1});
  MarketInfo(days);
  LoadMarketStates(engine);
  ASSERT_EQ(engine->savedMarkets.count, 120);
  EXPECT_EQ(GetMarketTradeDate(engine, 119), 20240300 + 119 % 28);
  // A file with 300 entries fills the 256 rows of the table and no more.
  std::string text;
  for (int i = 0; i < 300; ++i) text += "<market><id>" + std::to_string(i % 256) + "</id><date>1</date><state>0</state></market>";
  ASSERT_TRUE(WriteDataFile("res\\maketinfo.data", text.data(), static_cast<int>(text.size())));
  LoadMarketStates(engine);
  EXPECT_EQ(engine->savedMarkets.count, kMaxMarketStates);
  // Missing or empty file: an empty table.
  DeleteDataFile("res\\maketinfo.data");
  LoadMarketStates(engine);
  EXPECT_EQ(engine->savedMarkets.count, 0);
}

TEST(MarketInfoDecoder, CountsAreBoundedAndNonPositiveMeansNone) {
  struct Case {
    const char* name;
    Bytes body;
    int count;
  };
  const Case cases[] = {
      {"two markets", simbroker::MarketInfoBody({{1, 20240315, 1}, {2, 20240316, 0}}), 2},
      {"count 0", B({0, 1, 1, 2, 3, 4, 5}), 0},
      {"negative count", B({0x80, 1, 1, 2, 3, 4, 5}), 0},
      {"count beyond the body", B({5, 1, 1, 0x34, 0x5B, 0x9F, 1}), 1},
      {"empty body", B({}), 0},
  };
  for (const Case& c : cases) {
    MarketStateTable table;
    std::memset(&table, 0x5A, sizeof table);
    ReplyReader reader(c.body.data(), static_cast<int>(c.body.size()));
    DecodeMarketInfo(&reader, &table);
    EXPECT_EQ(table.count, c.count) << c.name;
    for (int i = c.count; i < 4; ++i) EXPECT_EQ(table.entries[i].id, 0) << c.name;
  }
  DecodeMarketInfo(nullptr, nullptr);
}

TEST(TradingHours, MinuteCountsAndLookup) {
  std::string text =
      "<Market id=\"1\" firstopen=\"930\" firstclose=\"1130\" secondopen=\"1300\" secondclose=\"1500\" "
      "thirdopen=\"0\" thirdclose=\"0\" midscale=\"1130\"/>"
      "<Market id=\"7\" firstopen=\"2100\" firstclose=\"230\" secondopen=\"900\" secondclose=\"1130\"/>"
      "<Market id=\"8\" firstopen=\"930\" firstclose=\"1130\" secondopen=\"1300\" secondclose=\"1500\" "
      "thirdopen=\"0\" thirdclose=\"1500\"/>"
      "<Market id=\"9\" firstopen=\"900\" firstclose=\"1015\" secondopen=\"1030\" secondclose=\"1130\" "
      "thirdopen=\"1330\" thirdclose=\"1500\"/>"
      "<Market id=\"1\" firstopen=\"1000\" firstclose=\"1100\"/>";
  TradingHoursTable table{};
  LoadTradingHours(text.c_str(), &table);
  ASSERT_EQ(table.count, 5);
  struct Case {
    int market;
    int minutes;
  };
  // 242 the normal day; the night session 2100-0230 counts 331 (330 + its
  // second end minute), here with 900-1130 (151): 482; thirdopen 0 gives no
  // third session; a third session adds its span + 1.
  const Case cases[] = {{1, 242}, {7, 331 + 151}, {8, 242}, {9, 75 + 60 + 2 + 91}};
  for (const Case& c : cases) {
    const TradingHoursEntry* e = FindTradingHours(&table, c.market);
    ASSERT_NE(e, nullptr) << c.market;
    EXPECT_EQ(e->minutesPerDay, c.minutes) << c.market;
  }
  EXPECT_EQ(FindTradingHours(&table, 1)->firstOpen, 930);  // the first of two
  EXPECT_EQ(FindTradingHours(&table, 1)->midScale, 1130);
  EXPECT_EQ(FindTradingHours(&table, 2), nullptr);
  EXPECT_EQ(table.maxMinutes, 482);

  // Text without nodes leaves the table; 40 entries fill 32.
  LoadTradingHours("", &table);
  EXPECT_EQ(table.count, 5);
  std::string many;
  for (int i = 0; i < 40; ++i) many += "<Market id=\"" + std::to_string(i) + "\" firstopen=\"930\" firstclose=\"1130\"/>";
  LoadTradingHours(many.c_str(), &table);
  EXPECT_EQ(table.count, 32);
  EXPECT_EQ(FindTradingHours(&table, 33), nullptr);
  EXPECT_EQ(FindTradingHours(nullptr, 1), nullptr);
}

}  // namespace
