// The stock page's structure: children and browsers at creation, the
// geometry of a stock, an index and a futures contract, the tabs' show and
// hide lists, painting, keys and the period label bar.
#include "stockpage/tests/quote_details_support.h"

#include "controls/control_messages.h"

using namespace page_test;

namespace {

CRect RectIn(CWnd& parent, CWnd* child) {
  CRect r;
  child->GetWindowRect(&r);
  parent.ScreenToClient(&r);
  return r;
}

bool Shown(CWnd* w) { return w && w->m_hWnd && w->IsWindowVisible(); }

}  // namespace

using QuoteDetailsLayout = PageFixture;

TEST_F(QuoteDetailsLayout, CreationMakesEveryChildAndThreeBrowsers) {
  // Browsers: F10 sized to the page, the two side browsers.
  ASSERT_EQ(helpers.size(), 3u);
  EXPECT_EQ(helpers[0]->started, u"about:blankF10");
  EXPECT_EQ(helpers[0]->startRect.right, kWidth);
  EXPECT_EQ(helpers[0]->startRect.bottom, kHeight);
  EXPECT_EQ(helpers[1]->started, u"about:blankL");
  EXPECT_EQ(helpers[2]->started, u"about:blankR");
  // Bars: items and first selections.
  EXPECT_EQ(page->MainBar().GetCount(), 6);
  EXPECT_EQ(page->MainBar().GetCurSel(), 1);
  EXPECT_EQ(page->MinuteBar().GetItemCount(), 7);
  EXPECT_EQ(page->KLineBar().GetItemCount(), 10);
  EXPECT_STREQ(page->F10Bar().GetItemText(0), "图形F10");
  EXPECT_EQ(page->PeriodBar().GetParent(), &page->KLineChart());
  EXPECT_EQ(page->ExRightsTip().GetParent(), &page->KLineChart());
  EXPECT_EQ(page->MineList1().GetParent(), &page->KLineChart());
  EXPECT_EQ(page->MineList2().GetParent(), &page->MinuteChart());
  // Never shown: the pie, the order queue, the cancellation ranking, the
  // mine lists and the tip.
  for (CWnd* w : {static_cast<CWnd*>(&page->Pie()), static_cast<CWnd*>(&page->OrderQueue()),
                  static_cast<CWnd*>(&page->Cancellations()), static_cast<CWnd*>(&page->MineList1()),
                  static_cast<CWnd*>(&page->MineList2()), static_cast<CWnd*>(&page->ExRightsTip())})
    EXPECT_FALSE(Shown(w));
  // Destroying the page ends the three browsers.
  page->DestroyWindow();
  for (RecordingHelper* h : helpers) EXPECT_TRUE(h->terminated);
}

TEST_F(QuoteDetailsLayout, GeometryOfAStockAnIndexAndAFuturesContract) {
  const int W = kWidth, H = kHeight;
  struct Case {
    StockKey key;
    int R;
  } cases[] = {{Key("600000", "浦发银行", 1, 2), 202}, {Key("1A0001", "上证指数", 1, 1), 202},
               {Key("IF2406", "沪深主连", 19, 0), 270}};
  for (const Case& c : cases) {
    page->ShowStock(c.key, 0);
    desk->RunUntilIdle();
    const int R = c.R;
    const int M = (W - R - 22) / 2 + 22;
    SCOPED_TRACE(c.key.code);
    EXPECT_EQ(page->RightWidth(), R);
    EXPECT_EQ(RectIn(*page, &page->MinuteChart()), CRect(22, 0, W - R, H - 202));
    EXPECT_EQ(RectIn(*page, &page->KLineChart()), CRect(22, 0, W - R, H - 202));
    EXPECT_EQ(RectIn(*page, &page->MinuteBar()), CRect(22, H - 195, W - R, H - 180));
    EXPECT_EQ(RectIn(*page, &page->DetailBar()), CRect(W - R, H - 20, W + 1, H));
    EXPECT_EQ(RectIn(*page, &page->SmallTickList()), CRect(W - R, 384, W, H - 20));
    EXPECT_EQ(RectIn(*page, &page->InfoBar()), CRect(22, H - 180, W - R, H - 160));
    EXPECT_EQ(RectIn(*page, &page->MainBar()), CRect(0, 0, 22, H));
    EXPECT_EQ(RectIn(*page, &page->FullTickList()), CRect(22, 0, W - R, H));
    EXPECT_EQ(RectIn(*page, page->CycleView()), CRect(22, 0, W, H));
    EXPECT_EQ(RectIn(*page, page->NewsGrid()), CRect(22, H - 160, M, H));
    EXPECT_EQ(RectIn(*page, page->ResearchGrid()), CRect(M, H - 160, W - R, H));
    EXPECT_EQ(RectIn(*page, &page->BlockList2()), CRect(22, H - 160, M, H));
    EXPECT_EQ(RectIn(*page, &page->BlockList1()), CRect(M, H - 160, W - R, H));
    if (c.key.kind == 1) {
      EXPECT_EQ(RectIn(*page, &page->Summary()), CRect(W - R, 0, W, 184));
      EXPECT_EQ(RectIn(*page, &page->Board()), CRect(W - R, 184, W, 384));
      EXPECT_EQ(page->MainBar().GetCount(), 4);
      EXPECT_EQ(page->InfoBar().GetCount(), 2);
    } else {
      EXPECT_EQ(RectIn(*page, &page->Board()), CRect(W - R, 0, W, 226));
      EXPECT_EQ(RectIn(*page, &page->Summary()), CRect(W - R, 226, W, 384));
      EXPECT_EQ(page->MainBar().GetCount(), 6);
      EXPECT_EQ(page->InfoBar().GetCount(), 3);
    }
    // The futures contract hides the minute indicator bar and shows
    // sub-chart 5; the stock and the index the bar and sub-chart 1.
    EXPECT_EQ(Shown(&page->MinuteBar()), R == 202);
    EXPECT_EQ(page->MinuteChart().GetSubChart(), R == 270 ? 5 : 1);
  }
  // F10 browser: 20 pixels shorter while the main tab item is 1.
  page->SendMessage(WM_SIZE, 0, MAKELPARAM(W, H));
  EXPECT_EQ(helpers[0]->moved.bottom, H - 20);
  page->SelectMainTab(0);
  page->SendMessage(WM_SIZE, 0, MAKELPARAM(W, H));
  EXPECT_EQ(helpers[0]->moved.bottom, H);
}

TEST_F(QuoteDetailsLayout, TabsShowAndHideTheirViews) {
  struct Case {
    int kind;  // 2 stock, 1 index
    int item;
    bool minute, kline, ticks, cycle, info, right;
  } cases[] = {
      {2, 0, false, true, false, false, true, true},   {2, 1, true, false, false, false, true, true},
      {2, 2, false, false, false, false, false, false}, {2, 3, false, false, false, false, false, false},
      {2, 4, false, false, true, false, false, true},   {2, 5, false, false, false, true, false, false},
      {1, 0, false, true, false, false, true, true},   {1, 1, true, false, false, false, true, true},
      {1, 2, false, false, true, false, false, true},   {1, 3, false, false, false, true, false, false},
  };
  for (const Case& c : cases) {
    if (c.item == 0)
      page->ShowStock(c.kind == 1 ? Key("1A0001", "上证指数", 1, 1) : Key("600000", "浦发银行", 1, 2), 0);
    page->SelectMainTab(c.item);
    desk->RunUntilIdle();
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " item " << c.item);
    EXPECT_EQ(Shown(&page->MinuteChart()), c.minute);
    EXPECT_EQ(Shown(&page->KLineChart()), c.kline);
    EXPECT_EQ(Shown(&page->FullTickList()), c.ticks);
    EXPECT_EQ(Shown(page->CycleView()), c.cycle);
    EXPECT_EQ(Shown(&page->InfoBar()), c.info);
    EXPECT_EQ(Shown(&page->Summary()), c.right);
    EXPECT_EQ(Shown(&page->Board()), c.right);
    EXPECT_EQ(Shown(&page->DetailBar()), c.right);
    EXPECT_EQ(Shown(&page->F10Bar()), c.kind == 2 && c.item == 2);
    EXPECT_EQ(helpers[0]->shows, c.kind == 2 && (c.item == 2 || c.item == 3) ? SW_SHOW : SW_HIDE);
    EXPECT_FALSE(Shown(&page->Pie()));
    EXPECT_FALSE(Shown(&page->OrderQueue()));
    EXPECT_FALSE(Shown(&page->Cancellations()));
    EXPECT_FALSE(Shown(page->F10View()));
  }
  // The detail tabs: an index's second tab is the alert list.
  page->SelectMainTab(0);
  page->SelectDetailTab(1);
  EXPECT_TRUE(Shown(page->AlertList()));
  EXPECT_FALSE(Shown(&page->PriceStatistics()));
}

TEST_F(QuoteDetailsLayout, PaintingDrawsTheTopLineAndTheF10Line) {
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  page->SelectMainTab(3);  // the F9 page: no chart covers the page
  desk->RunUntilIdle();
  QImage shot = desk->Snapshot(page->m_hWnd);
  auto rgb = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFF; };
  EXPECT_EQ(rgb(400, 19), 0x0000FFu) << "colour word 0xFF0000";
  EXPECT_EQ(rgb(400, 18), 0u);
  EXPECT_NE(rgb(400, kHeight - 3), 0x000870u);
  page->SelectMainTab(2);
  page->Invalidate();
  desk->RunUntilIdle();
  shot = desk->Snapshot(page->m_hWnd);
  EXPECT_EQ(rgb(400, kHeight - 3), 0x000870u) << "colour word 0x700800, 2 pixels";
  EXPECT_EQ(rgb(900, kHeight - 3), 0x000870u);
}

TEST_F(QuoteDetailsLayout, EnterTogglesTheChartsAndOtherKeysGoToTheParent) {
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  desk->RunUntilIdle();
  ASSERT_TRUE(Shown(&page->MinuteChart()));
  EXPECT_EQ(page->SendMessage(WM_TOGGLE_CHART, 0, 0), 1);
  EXPECT_TRUE(Shown(&page->KLineChart()));
  EXPECT_EQ(page->MainBar().GetCurSel(), 0);
  page->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  desk->RunUntilIdle();
  EXPECT_TRUE(Shown(&page->MinuteChart()));
  EXPECT_EQ(page->MainBar().GetCurSel(), 1);
  page->SelectMainTab(4);  // the full tick list: no chart to toggle
  EXPECT_EQ(page->SendMessage(WM_TOGGLE_CHART, 0, 0), 0);
  EXPECT_TRUE(Shown(&page->FullTickList()));
  page->SendMessage(WM_KEYDOWN, 'A', 0);
  desk->RunUntilIdle();
  ASSERT_EQ(quoteView.got.size(), 1u);
  EXPECT_EQ(quoteView.got[0].first, WM_KEY_COMMAND);
  EXPECT_EQ(quoteView.got[0].second, 'A');
}

TEST_F(QuoteDetailsLayout, PeriodChangesRelabelTheBarAtTheChartsTopRight) {
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  page->SelectMainTab(0);
  desk->RunUntilIdle();
  auto items = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < page->PeriodBar().GetItemCount(); ++i) out.push_back(page->PeriodBar().GetItemText(i));
    return out;
  };
  EXPECT_EQ(items(), (std::vector<std::string>{"不复权▼", "日线▼"}));
  ASSERT_TRUE(server->WaitForRequest([](const simbroker::JournalEntry& e) { return e.type == 55; }, 10000));
  const size_t mark = server->Journal().size();
  page->SendMessage(WM_COMMAND, 7234, 0);
  desk->RunUntilIdle();
  EXPECT_EQ(page->GetKLinePeriod(), 34);
  EXPECT_EQ(items(), (std::vector<std::string>{"1分钟▼"}));
  EXPECT_EQ(page->GetExRightsMode(), 1);
  CRect chart;
  page->KLineChart().GetClientRect(&chart);
  EXPECT_EQ(RectIn(page->KLineChart(), &page->PeriodBar()), CRect(chart.Width() - 60, 1, chart.Width(), 16));
  ASSERT_TRUE(server->WaitForRequest([](const simbroker::JournalEntry& e) { return e.type == 92; }, 10000));
  for (const auto& e : RequestsSince(mark)) EXPECT_NE(e.type, 55) << "no ex-rights outside the day period";
  const size_t dayMark = server->Journal().size();
  page->SendMessage(WM_COMMAND, 7233, 1001);
  desk->RunUntilIdle();
  EXPECT_EQ(items(), (std::vector<std::string>{"不复权▼", "日线▼"}));
  EXPECT_EQ(RectIn(page->KLineChart(), &page->PeriodBar()), CRect(chart.Width() - 120, 1, chart.Width(), 16));
  // The day period's own requests have reached the server before the count
  // below starts (they travel on the network thread).
  auto arrived = [&](int type) {
    for (const auto& e : RequestsSince(dayMark))
      if (e.type == type) return true;
    return false;
  };
  ASSERT_TRUE(desk->RunUntil([&] { return arrived(55) && arrived(68); }, 10000));
  // The current period again asks nothing.
  const size_t before = server->Journal().size();
  page->SendMessage(WM_COMMAND, 7233, 0);
  desk->RunUntilIdle();
  for (const auto& e : RequestsSince(before)) EXPECT_TRUE(e.type != 68 && e.type != 55) << e.type;
  // Ex-rights commands outside the day period.
  page->SendMessage(WM_COMMAND, 7239, 0);
  page->SendMessage(WM_COMMAND, 7301, 0);
  ASSERT_FALSE(desk->Boxes().empty());
  EXPECT_EQ(desk->Boxes().back().text, u"目前只支持日线！");
  EXPECT_EQ(page->GetExRightsMode(), 1);
}
