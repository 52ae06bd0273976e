// The site text and the two index tickers from simbroker's push replies,
// through the real engine, read back from a real status bar; and the
// snapshot of the main window after the first reply.
#include <cmath>

#include "quotes/tests/quote_view_test_support.h"

namespace quoteview_test {
namespace {

class QuoteViewTickers : public QuoteViewFixture {};

std::u16string PriceText(double price, int decimals) {
  char16_t out[kNumberTextSize];
  FormatPrice(static_cast<float>(price), static_cast<uint8_t>(decimals), out, kNumberTextSize);
  return out;
}

std::u16string CountText(int64_t value) {
  char16_t out[kNumberTextSize];
  FormatCount(value, out, kNumberTextSize);
  return out;
}

TEST_F(QuoteViewTickers, SiteTextByTheLastMatchingRecord) {
  struct Case {
    const char* name;
    std::string config;
    std::string servers;
    const char16_t* text;
  } const cases[] = {
      {"the last match wins", "<host>127.0.0.1</host>",
       "<PCQuote>甲站|http://127.0.0.1:1/q|http://127.0.0.3:1/q,乙站|http://127.0.0.9:1/q|http://127.0.0.9:1/q,"
       "丙站|http://127.0.0.1:2/q|http://127.0.0.4:2/q</PCQuote>",
       u"成功连接到丙站"},
      {"host only in the level-2 field", "<host>127.0.0.7</host>",
       "<PCQuote>甲站|http://127.0.0.1:1/q|http://127.0.0.7:1/q</PCQuote>", u"成功连接到甲站"},
      {"records of fewer than three fields", "<host>127.0.0.1</host>",
       "<PCQuote>甲站|http://127.0.0.1:1/q,乙站</PCQuote>", u"连接断开"},
      {"no PCQuote records", "<host>127.0.0.1</host>", "<PCLogin>http://127.0.0.1/l</PCLogin>", u"连接断开"},
      {"no host", "", "<PCQuote>甲站|http://127.0.0.1:1/q|http://127.0.0.2:1/q</PCQuote>", u"连接断开"},
  };
  for (const Case& c : cases) {
    WriteUserFiles(c.config, c.servers);
    EXPECT_EQ(SiteStatusText(), c.text) << c.name;
  }
}

TEST_F(QuoteViewTickers, RepliesFillBothTickersAndADropSaysDisconnected) {
  WriteDefaultFiles();
  auto* server = StartServer();
  ASSERT_NE(server, nullptr);
  MakeWindows(server->Port());
  ASSERT_TRUE(ConnectAndWaitForTickers());
  ASSERT_TRUE(WaitFor([&] { return status_->GetShenzhenText(1) != u""; }));
  EXPECT_EQ(status_->GetStatusText(), u"成功连接到演示站点");
  EXPECT_EQ(status_->GetStatusColor(), kSiteTextColor);

  auto expectTicker = [&](const char* code, int market, bool shanghai, const char* when) {
    simbroker::SimStock s;
    ASSERT_TRUE(server->Data().Find(code, market, &s));
    auto text = [&](int i) { return shanghai ? status_->GetShanghaiText(i) : status_->GetShenzhenText(i); };
    auto color = [&](int i) { return shanghai ? status_->GetShanghaiColor(i) : status_->GetShenzhenColor(i); };
    EXPECT_EQ(text(1), PriceText(s.last, s.decimals)) << code << " " << when;
    EXPECT_EQ(text(4), CountText(s.amount)) << code << " " << when;
    EXPECT_EQ(text(3).back(), u'%') << code << " " << when;
    const COLORREF expected = s.last > s.prevClose ? kTickerRise : s.last < s.prevClose ? kTickerFall : kTickerFlat;
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(color(i), expected) << code << " " << when;
  };
  expectTicker("1A0001", 1, true, "first reply");
  expectTicker("399001", 2, false, "first reply");

  // A pushed update moves both tickers to the server's new values.
  const std::u16string before = status_->GetShanghaiText(1) + status_->GetShenzhenText(1);
  for (int round = 0; round < 20 && status_->GetShanghaiText(1) + status_->GetShenzhenText(1) == before; ++round) {
    server->Tick();
    desk.RunUntil([&] { return status_->GetShanghaiText(1) + status_->GetShenzhenText(1) != before; }, 500);
  }
  // The tickers follow the last update the server sent.
  ASSERT_TRUE(WaitFor([&] {
    simbroker::SimStock a, b;
    server->Data().Find("1A0001", 1, &a);
    server->Data().Find("399001", 2, &b);
    return status_->GetShanghaiText(1) == PriceText(a.last, a.decimals) &&
           status_->GetShenzhenText(1) == PriceText(b.last, b.decimals);
  }));
  expectTicker("1A0001", 1, true, "after a push");
  expectTicker("399001", 2, false, "after a push");

  // A drop says so at once; the first reply after reconnecting names the
  // site again.
  server->DropConnections();
  ASSERT_TRUE(WaitFor([&] { return status_->GetStatusText() == u"连接断开"; }));
  EXPECT_EQ(status_->GetStatusColor(), kSiteTextColor);
  desk.Advance(1000);
  ASSERT_TRUE(WaitFor([&] { return status_->GetStatusText() == u"成功连接到演示站点"; }));
}

TEST_F(QuoteViewTickers, DataWithoutSitesStillUpdatesTheTickers) {
  WriteUserFiles("<host>127.0.0.1</host>", "<PCQuote>无地址</PCQuote>");
  auto* server = StartServer();
  ASSERT_NE(server, nullptr);
  MakeWindows(server->Port());
  // With no usable record ChooseServer gives an empty address and host:
  // the engine is connected directly here, the view handles its events.
  view->ConnectEngine();
  ConnectQuoteServer(view->Engine(), "127.0.0.1", server->Port(), "http://127.0.0.1/q");
  ASSERT_TRUE(WaitFor([&] { return status_->GetShanghaiText(1) != u""; }));
  EXPECT_EQ(status_->GetStatusText(), u"连接断开");
}

class QuoteViewSnapshot : public QuoteViewFixture {};

TEST_F(QuoteViewSnapshot, MainWindowAfterTheFirstReply) {
  WriteDefaultFiles();
  auto* server = StartServer();
  ASSERT_NE(server, nullptr);
  MakeWindows(server->Port());
  ASSERT_TRUE(ConnectAndWaitForTickers());
  ASSERT_TRUE(WaitFor([&] { return status_->GetShenzhenText(1) != u""; }));
  // A few steps of the market, so that the tickers show changes.
  const std::u16string first = status_->GetShanghaiText(1);
  for (int round = 0; round < 20 && status_->GetShanghaiText(1) == first; ++round) {
    server->Tick();
    desk.RunUntil([&] { return status_->GetShanghaiText(1) != first; }, 500);
  }
  view->ShowQuoteTable();
  desk.RunUntilIdle();
  const QImage shot = desk.Snapshot(main.m_hWnd);
  ASSERT_EQ(shot.width(), 1280);
  ASSERT_EQ(shot.height(), 800);
  // The quote table's placeholder is black above the status bar.
  EXPECT_EQ(shot.pixelColor(100, 100).rgb() & 0xFFFFFF, 0u);
  const std::string path = std::string(ORV_BINARY_DIR) + "/quotes/tests/quote_view_status.png";
  EXPECT_TRUE(desk.SavePng(main.m_hWnd, path));
}

}  // namespace
}  // namespace quoteview_test
