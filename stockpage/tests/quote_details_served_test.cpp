// The stock page shown against simbroker through the real engine: the
// requests of a stock and of an index, in order, with their arguments; the
// replies reaching every panel; the layout of both kinds; snapshots.
#include "stockpage/tests/quote_details_support.h"

#include "controls/control_messages.h"

#include <atomic>
#include <thread>

using namespace page_test;

namespace {

struct Expected {
  int kind;       // packet kind
  int type;       // request type (news marks: 2 or 3)
  int parameter;  // 1: keeps pushing
};

void ExpectRequests(const std::vector<simbroker::JournalEntry>& got, const std::vector<Expected>& want) {
  ASSERT_GE(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].kind, want[i].kind) << "request " << i;
    EXPECT_EQ(got[i].type, want[i].type) << "request " << i;
    EXPECT_EQ(got[i].parameter, want[i].parameter) << "request " << i << " type " << got[i].type;
  }
}

CRect RectIn(CWnd& parent, CWnd* child) {
  CRect r;
  child->GetWindowRect(&r);
  parent.ScreenToClient(&r);
  return r;
}

}  // namespace

using QuoteDetailsServed = PageFixture;

TEST_F(QuoteDetailsServed, AStockAsksTheTableInOrderAndEveryPanelShowsItsReply) {
  const size_t mark = server->Journal().size();
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  ASSERT_TRUE(Served());
  ASSERT_TRUE(server->WaitForRequest([](const simbroker::JournalEntry& e) { return e.kind == 0x33 && e.type == 3; },
                                     engine_test::kLoopbackWaitMs));
  const auto got = RequestsSince(mark);
  // The size handler's tick renewal (the page is visible; the cancel that
  // follows drops it), then minute data, minute mines, fields, F10 catalog (no push), ticks, index
  // field table, alerts, price statistics; then the K-line batch: bars,
  // supplements A and B, ex-rights (no push); the K-line mines last.
  ExpectRequests(got, {{2, 38, 1}, {2, 48, 1}, {0x33, 2, 1}, {2, 33, 1}, {2, 70, 0}, {2, 38, 1}, {2, 43, 1}, {2, 62, 1},
                       {2, 60, 1}, {2, 68, 1}, {2, 91, 1}, {2, 92, 1}, {2, 55, 0}, {0x33, 3, 1}});
  EXPECT_EQ(got[1].parsed.code.substr(0, 6), "600000");
  // The bars: no store yet, so the newest 512.
  ASSERT_GE(got[9].parsed.numbers.size(), 3u);
  EXPECT_EQ(got[9].parsed.numbers[0], 33);
  EXPECT_EQ(got[9].parsed.numbers[1], 0);
  EXPECT_EQ(got[9].parsed.numbers[2], 512);
  for (const auto& e : got) EXPECT_NE(e.type, 42) << "no index lists for a stock";

  // Every receiver has its data.
  {
    std::lock_guard<CriticalSection> hold(page->PageLock());
    EXPECT_GT(page->KLineCopy()->barCount, 0);
    EXPECT_STREQ(page->KLineCopy()->key.code, "600000");
  }
  // The day store received the bars.
  uint32_t oldest = 0, newest = 0;
  EXPECT_GT(StoredDayBarSpan(history, "600000", 1, &oldest, &newest), 0);
  EXPECT_TRUE(page->MinuteChart().IsWindowVisible());
  EXPECT_FALSE(page->KLineChart().IsWindowVisible());
  EXPECT_TRUE(page->SmallTickList().IsWindowVisible());
  Advance(120);
  SaveSnapshot("quote_details_600000_minute");
  page->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(&page->MainBar()), 0);
  desk->RunUntilIdle();
  EXPECT_TRUE(page->KLineChart().IsWindowVisible());
  EXPECT_TRUE(page->PeriodBar().IsWindowVisible());
  SaveSnapshot("quote_details_600000_kline");
}

TEST_F(QuoteDetailsServed, AnIndexAsksBothListsAndNoPriceStatistics) {
  const size_t mark = server->Journal().size();
  page->ShowStock(Key("1A0001", "上证指数", 1, 1), 0);
  ASSERT_TRUE(Served());
  const auto got = RequestsSince(mark);
  ExpectRequests(got, {{2, 38, 1}, {2, 48, 1}, {0x33, 2, 1}, {2, 33, 1}, {2, 70, 0}, {2, 38, 1}, {2, 43, 1}, {2, 62, 1},
                       {2, 42, 1}, {2, 42, 1}, {2, 68, 1}});
  for (const auto& e : got) EXPECT_NE(e.type, 60) << "no price statistics for an index";
  // Index layout: the summary on top, the board below it.
  CRect summary = RectIn(*page, &page->Summary());
  CRect board = RectIn(*page, &page->Board());
  EXPECT_EQ(summary, CRect(kWidth - 202, 0, kWidth, 184));
  EXPECT_EQ(board, CRect(kWidth - 202, 184, kWidth, 384));
  Advance(120);
  SaveSnapshot("quote_details_1A0001");
}

// Pushes for every request arrive while the UI thread switches stocks, tabs,
// periods and ex-rights modes, moves the K-line cursor and cancels: no
// deadlock, and the last stock's data is shown at the end.
TEST_F(QuoteDetailsServed, DISABLED_PushesWhileTheUserWorksThePage) {
  std::atomic<bool> stop{false};
  std::thread pusher([&] {
    while (!stop) {
      server->Tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  struct Join {
    std::atomic<bool>& stop;
    std::thread& thread;
    ~Join() {
      stop = true;
      if (thread.joinable()) thread.join();
    }
  } join{stop, pusher};
  const StockKey keys[] = {Key("600000", "浦发银行", 1, 2), Key("1A0001", "上证指数", 1, 1),
                           Key("600004", "白云机场", 1, 2)};
  for (int round = 0; round < 12; ++round) {
    page->ShowStock(keys[round % 3], 0);
    desk->RunUntilIdle();
    page->SelectMainTab(round % 2);
    page->SendMessage(WM_COMMAND, round % 3 == 0 ? 7301 : 7303, 0);
    page->SendMessage(WM_KEYDOWN, VK_LEFT, 0);
    page->SendMessage(WM_COMMAND, 7235, 0);
    desk->RunUntilIdle();
    page->SendMessage(WM_COMMAND, 7233, 0);
    page->SendMessage(WM_COMMAND, 7302, 0);
    if (round % 4 == 3) page->CancelRequests(0);
    desk->RunUntilIdle();
  }
  page->ShowStock(keys[2], 0);
  ASSERT_TRUE(RunUntil([&] {
    return std::string(page->KLineCopy()->key.code) == "600004" && page->KLineCopy()->barCount > 0;
  }));
  stop = true;
  pusher.join();
  desk->RunUntilIdle();
  EXPECT_EQ(std::string(page->GetStockKey().code), "600004");
}
