// The panels fed by the harness from simbroker's market-data server through
// the real engine: the quote summary shows the decoded record, both tick
// lists the stock's ticks, the price statistics its levels; pushed updates
// keep arriving while the UI thread resizes and repaints; under a fast
// push the last pushed values are the ones shown at the end.
#include "marketdata/tests/loopback_test_support.h"
#include "stockpage/tests/stock_page_harness.h"
#include "tools/simbroker/minute_tick_replies.h"

#include <filesystem>

using namespace board_test;
using namespace panel_test;

namespace {

class PanelHarness : public engine_test::LoopbackFixture {
 protected:
  void Serve(int pushMs) {
    simbroker::MarketServerOptions options;
    options.pushIntervalMs = pushMs;
    server = std::make_unique<simbroker::MarketDataServer>(options);
    ASSERT_TRUE(server->Start());
    UseOwner(&owner);
    Connect();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0; }));
    desk = std::make_unique<TestDesktop>();
    UseProgramFonts();
    UseProgramResources();
    page = std::make_unique<StockPageHarness>(engine);
    ASSERT_TRUE(page->Build());
    desk->RunUntilIdle();
  }
  void TearDown() override {
    CloseQuoteConnection(engine);
    if (server) server->Stop();
    if (page && page->m_hWnd) page->DestroyWindow();
    page.reset();
    desk.reset();
    engine_test::LoopbackFixture::TearDown();
  }
  // Runs the UI thread until done() holds under the page's lock.
  bool RunUntil(const std::function<bool(StockPageHarness&)>& done) {
    return desk->RunUntil(
        [&] {
          std::lock_guard<std::mutex> hold(page->lock);
          return done(*page);
        },
        engine_test::kLoopbackWaitMs);
  }
  template <typename View>
  std::vector<TextCall> Calls(View& view) {
    view.Invalidate();
    desk->RunUntilIdle();
    return view.log.Calls();
  }
  void SaveSnapshot(const std::string& name) {
    const std::string folder = std::string(ORV_BINARY_DIR) + "/stockpage_snapshots";
    std::filesystem::create_directories(folder);
    page->Invalidate();
    desk->RunUntilIdle();
    EXPECT_TRUE(desk->SavePng(page->m_hWnd, folder + "/" + name + ".png"));
  }

  engine_test::LoopbackOwner owner;
  std::unique_ptr<TestDesktop> desk;
  std::unique_ptr<StockPageHarness> page;
};

TEST_F(PanelHarness, ServedStockReachesEveryPanelAndUpdatesKeepComing) {
  Serve(50);
  page->ShowStock("600000", 1, 2);
  ASSERT_TRUE(RunUntil([](StockPageHarness& p) {
    return p.fieldReplies > 1 && p.tickReplies > 1 && p.statLevels > 0 && p.exRightsReplies > 0;
  }));

  // The quote summary shows the decoded record's fields.
  {
    std::lock_guard<std::mutex> hold(page->lock);
    HandicapRows expected;
    BuildHandicapRows(&page->lastQuote, &expected);
    const HandicapRows shown = page->handicap.CurrentRows();
    EXPECT_EQ(std::string(page->lastQuote.key.code), "600000");
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(std::u16string(shown.cells[r][c].value), std::u16string(expected.cells[r][c].value)) << r << c;
        EXPECT_EQ(shown.cells[r][c].color, expected.cells[r][c].color);
      }
    EXPECT_NE(shown.cells[0][0].value[0], u'-') << "a traded last price";
  }
  // Both lists show the stock's newest tick.
  std::u16string newest;
  {
    std::lock_guard<std::mutex> hold(page->lock);
    ASSERT_FALSE(page->lastTicks.rows.empty());
    char16_t text[kNumberTextSize];
    panel::FormatTickTime(page->lastTicks.rows.back().time, text, kNumberTextSize);
    newest = text;
  }
  // Pushes may add a tick between the copy and the paint: the newest shown
  // is the copy's or a later one.
  auto showsAtLeast = [&](const std::vector<TextCall>& calls) {
    for (const TextCall& c : calls)
      if (c.color == 0xAAAAAA && c.text.size() == 8 && c.text >= newest) return true;
    return false;
  };
  EXPECT_TRUE(showsAtLeast(Calls(page->detail)));
  EXPECT_TRUE(showsAtLeast(Calls(page->small)));
  page->priceStat.ShowWindow(SW_SHOW);
  page->detail.ShowWindow(SW_HIDE);
  EXPECT_GT(Calls(page->priceStat).size(), 3u) << "levels drawn";
  SaveSnapshot("panels_served_prices");
  page->priceStat.ShowWindow(SW_HIDE);
  page->detail.ShowWindow(SW_SHOW);

  // Pushed updates keep arriving while the UI thread resizes and repaints.
  int before = 0;
  {
    std::lock_guard<std::mutex> hold(page->lock);
    before = page->tickReplies;
  }
  for (int i = 0; i < 40; ++i) {
    page->detail.SetWindowPos(nullptr, 0, 0, 700 + i % 98, 500 + i % 100, SWP_NOZORDER | SWP_NOMOVE);
    page->small.Invalidate();
    desk->RunUntilIdle();
  }
  EXPECT_TRUE(RunUntil([&](StockPageHarness& p) { return p.tickReplies >= before + 3; }));
  page->detail.SetWindowPos(nullptr, 0, 0, StockPageHarness::kWidth - 202, StockPageHarness::kHeight,
                            SWP_NOZORDER | SWP_NOMOVE);
  SaveSnapshot("panels_served_600000");

  // Up and Down of the page reach the full list; paging asks the parent.
  page->detail.SelectPrevRow();
  for (int i = 0; i < 2000 && page->tickPages.empty(); ++i) page->detail.SelectPrevRow();
  std::lock_guard<std::mutex> hold(page->lock);
  ASSERT_FALSE(page->tickPages.empty());
  EXPECT_EQ(page->tickPages.front(), 1);
}

// The server's page of the day: count ticks from the asked start.
TEST(PanelHarnessServer, TickPagesStartWhereAsked) {
  simbroker::MarketData data(4);
  for (int i = 0; i < 12; ++i) {
    data.Step();
    simbroker::RecordTapeTrades(data);
  }
  auto ask = [&](int64_t start, int64_t count, TickArea* area) {
    simbroker::JournalEntry request = SimRequest(38, {});
    request.parsed.code = "600000";
    request.parsed.market = 1;
    request.parsed.numbers = {start, count};
    request.sequence = static_cast<int>(start) + 100;
    simbroker::Bytes body;
    if (!simbroker::BuildTickReply(data, request, 1, &body)) return false;
    std::memset(area, 0, sizeof(TickArea));
    ReplyReader r(body.data(), static_cast<int>(body.size()));
    DecodeLevel1Ticks(area, &r, 1, static_cast<int>(count));
    return r.Remaining() == 0;
  };
  auto newest = std::make_unique<TickArea>(), page = std::make_unique<TickArea>();
  ASSERT_TRUE(ask(-1, 12, newest.get()));
  ASSERT_EQ(newest->ticksHeld, 12);
  ASSERT_TRUE(ask(3, 4, page.get()));
  ASSERT_EQ(page->ticksHeld, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(page->ticks[i].time, newest->ticks[3 + i].time);
  ASSERT_TRUE(ask(10, 4, page.get()));
  EXPECT_EQ(page->ticksHeld, 2) << "the day ends";
}

TEST_F(PanelHarness, PagingFetchesOlderTicksIntoTheFullList) {
  Serve(50);
  page->detail.SetWindowPos(nullptr, 0, 0, 200, 20 + 16 * 3, SWP_NOZORDER | SWP_NOMOVE);
  ASSERT_EQ(page->detail.GetCapacity(), 3);
  {
    std::lock_guard<std::mutex> hold(page->lock);
    page->answerPages = true;
  }
  page->ShowStock("600000", 1, 2);
  ASSERT_TRUE(RunUntil([](StockPageHarness& p) { return p.tickReplies > 0 && p.lastTicks.total >= 9; }));
  Calls(page->detail);
  // Up past the first of the three rows shown asks for the page before.
  for (int i = 0; i < 4; ++i) page->detail.SelectPrevRow();
  ASSERT_TRUE(RunUntil([](StockPageHarness& p) { return p.historyReplies > 0; }));
  int32_t oldest = 0, liveOldest = 0;
  {
    std::lock_guard<std::mutex> hold(page->lock);
    ASSERT_EQ(page->tickPages, std::vector<LPARAM>({1}));
    ASSERT_FALSE(page->lastHistory.rows.empty());
    oldest = page->lastHistory.rows.front().time;
    liveOldest = page->liveOldestAtPage;
  }
  EXPECT_LT(oldest, liveOldest) << "older ticks than the live page";
  char16_t text[kNumberTextSize];
  panel::FormatTickTime(oldest, text, kNumberTextSize);
  EXPECT_TRUE(Find(Calls(page->detail), text)) << "the full list shows the older page";
}

TEST_F(PanelHarness, ServedIndexShowsTheTitleAndNoStatistics) {
  Serve(50);
  page->ShowStock("1A0001", 1, 1);
  ASSERT_TRUE(RunUntil([](StockPageHarness& p) { return p.fieldReplies > 0 && p.tickReplies > 0; }));
  const std::vector<TextCall> calls = Calls(page->handicap);
  EXPECT_TRUE(Find(calls, u"1A0001  上证指数"));
  EXPECT_EQ(Find(calls, u"现价")->rect.top, 26);
  RECT r;
  ::GetWindowRect(page->handicap.m_hWnd, &r);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom - r.top, 184);
  std::lock_guard<std::mutex> hold(page->lock);
  EXPECT_EQ(page->statReplies, 0);
}

// Under ThreadSanitizer too: simbroker pushes every 10 ms while the UI
// thread resizes every panel 200 times and paints.
TEST_F(PanelHarness, FastPushesWhileEveryPanelIsResized) {
  Serve(10);
  page->ShowStock("600000", 1, 2);
  page->priceStat.ShowWindow(SW_SHOW);
  page->pie.ShowWindow(SW_SHOW);
  ASSERT_TRUE(RunUntil([](StockPageHarness& p) { return p.fieldReplies > 0 && p.tickReplies > 0 && p.statReplies > 0; }));
  CWnd* panels[] = {&page->handicap, &page->priceStat, &page->pie, &page->detail, &page->small};
  for (int i = 0; i < 200; ++i) {
    for (CWnd* panel : panels)
      panel->SetWindowPos(nullptr, 0, 0, 150 + (i * 7) % 120, 120 + (i * 13) % 200, SWP_NOZORDER | SWP_NOMOVE);
    desk->RunUntilIdle();
  }
  int fields = 0;
  {
    std::lock_guard<std::mutex> hold(page->lock);
    fields = page->fieldReplies;
  }
  EXPECT_TRUE(RunUntil([&](StockPageHarness& p) { return p.fieldReplies > fields; })) << "pushes still arrive";
  // Stop the pushes: the last values delivered are the ones shown.
  CloseQuoteConnection(engine);
  server->Stop();
  page->handicap.SetWindowPos(nullptr, 0, 0, 202, 158, SWP_NOZORDER | SWP_NOMOVE);
  page->small.SetWindowPos(nullptr, 0, 0, 202, 216, SWP_NOZORDER | SWP_NOMOVE);
  desk->RunUntilIdle();
  std::lock_guard<std::mutex> hold(page->lock);
  HandicapRows expected;
  BuildHandicapRows(&page->lastQuote, &expected);
  const HandicapRows shown = page->handicap.CurrentRows();
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 2; ++c)
      EXPECT_EQ(std::u16string(shown.cells[r][c].value), std::u16string(expected.cells[r][c].value));
  const std::vector<TextCall> calls = page->small.log.Calls();
  char16_t text[kNumberTextSize];
  ASSERT_FALSE(page->lastTicks.rows.empty());
  panel::FormatTickTime(page->lastTicks.rows.back().time, text, kNumberTextSize);
  const TextCall* last = nullptr;
  for (const TextCall& c : calls)
    if (c.color == 0xAAAAAA && c.text.size() == 8) last = &c;
  ASSERT_TRUE(last);
  EXPECT_EQ(last->text, std::u16string(text)) << "the newest row is the last pushed tick";
}

}  // namespace
