// The stock page's commands and messages: own-stock commands with their
// boxes and the frame notice, the quick-trade commands, the context menus,
// the ex-rights tip, tick pages, F10 items, the order page, and hand-made
// replies that match no handle.
#include "stockpage/tests/quote_details_support.h"

#include "controls/control_messages.h"
#include "marketdata/ex_rights.h"
#include "marketdata/f10_alert_decoders.h"
#include "marketdata/own_stocks.h"
#include "marketdata/quote_requests.h"
#include "platform/kernel/kernel_process.h"

using namespace page_test;

namespace {

// Records what reaches the main window.
class MainRecorder : public CWnd {
 public:
  std::vector<std::pair<UINT, WPARAM>> got;
  std::vector<std::u16string> pages;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_QUICK_TRADE) got.push_back({msg, w});
    if (msg == WM_POP_HTML) {
      auto* text = reinterpret_cast<WCHAR*>(w);
      pages.push_back(text ? text : u"");
      delete[] text;
      got.push_back({msg, 0});
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

class QuoteDetailsActions : public PageFixture {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    app.m_pMainWnd = &main;
  }
  void TearDown() override {
    app.m_pMainWnd = nullptr;
    if (main.m_hWnd) main.DestroyWindow();
    PageFixture::TearDown();
  }
  CWinApp app;
  MainRecorder main;
};

}  // namespace

TEST_F(QuoteDetailsActions, OwnStockCommandsShowTheirBoxesAndTellTheFrameOnlyOnSuccess) {
  page->ShowStock(Key("600004", "白云机场", 1, 2), 0);
  desk->RunUntilIdle();
  RemoveOwnStock(engine, "600004", 1);
  struct Step {
    UINT command;
    const char16_t* text;
    const char16_t* caption;
    bool notice;
  } steps[] = {
      {7007, u"\n添加自选股成功\n", u"提示", true},
      {7007, u"\n自选股已经添加，请勿重复添加。\n", u"提示", false},
      {7008, u"\n删除自选股成功\n", nullptr, true},
  };
  for (const Step& s : steps) {
    const size_t boxes = desk->Boxes().size();
    const size_t notices = host.got.size();
    page->SendMessage(WM_COMMAND, s.command, 0);
    desk->RunUntilIdle();
    ASSERT_EQ(desk->Boxes().size(), boxes + 1);
    EXPECT_EQ(desk->Boxes().back().text, s.text);
    if (s.caption) {
      EXPECT_EQ(desk->Boxes().back().caption, s.caption);
    } else {
      EXPECT_NE(desk->Boxes().back().caption, u"提示");
    }
    EXPECT_EQ(host.got.size(), notices + (s.notice ? 1 : 0)) << "the notice goes to the third parent";
    if (s.notice) {
      EXPECT_EQ(host.got.back().first, WM_SAVE_OWN_STOCKS);
    }
  }
  EXPECT_TRUE(middle.got.empty());
  EXPECT_TRUE(quoteView.got.empty());
}

TEST_F(QuoteDetailsActions, QuickTradeCommandsGoToTheMainWindow) {
  for (UINT id : {7011u, 7012u, 7013u, 7014u}) page->SendMessage(WM_COMMAND, id, 0);
  desk->RunUntilIdle();
  ASSERT_EQ(main.got.size(), 4u);
  const WPARAM want[] = {4608, 4609, 4606, 4607};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(main.got[i].second, want[i]);
}

TEST_F(QuoteDetailsActions, ContextMenusListTheirItemsByKind) {
  struct Case {
    StockKey key;
    bool kline;
    std::vector<std::u16string> items;
  } cases[] = {
      {Key("600000", "浦发银行", 1, 2), false, {u"查看K线", u"显示十字光标", u"", u"基础资料", u"", u"加入自选"}},
      {Key("1A0001", "上证指数", 1, 1), false, {u"查看K线", u"显示十字光标", u"", u"加入自选"}},
      {Key("600000", "浦发银行", 1, 2), true,
       {u"查看分时", u"显示十字光标", u"", u"基础资料", u"", u"加入自选", u"", u"当前指标", u"分析周期", u"复权处理"}},
      {Key("1A0001", "上证指数", 1, 1), true,
       {u"查看分时", u"显示十字光标", u"", u"加入自选", u"", u"当前指标", u"分析周期", u"复权处理"}},
  };
  RemoveOwnStock(engine, "600000", 1);
  RemoveOwnStock(engine, "1A0001", 1);
  for (const Case& c : cases) {
    page->ShowStock(c.key, 0);
    desk->RunUntilIdle();
    std::vector<std::u16string> items;
    bool periodChecked = false;
    desk->Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
    desk->Then([&] {
      CMenuEx* menu = page->ContextMenu();
      for (int i = 0; i < GetMenuItemCount(menu->GetSafeHmenu()); ++i) {
        UINT id = GetMenuItemID(menu->GetSafeHmenu(), i);
        const UINT_PTR key = id == static_cast<UINT>(-1)
                                 ? reinterpret_cast<UINT_PTR>(GetSubMenu(menu->GetSafeHmenu(), i))
                                 : id;
        tagMENUITEM* record = menu->FindItem(key);
        items.push_back(record ? std::u16string(record->text) : u"?");
      }
      if (HMENU periods = page->PeriodSubMenuHandle())
        periodChecked = (GetMenuState(periods, 7233, MF_BYCOMMAND) & MF_CHECKED) != 0;
      desk->Key(VK_ESCAPE);
    });
    page->SendMessage(c.kline ? WM_CHART_MENU_KLINE : WM_CHART_MENU_MIN, MAKEWPARAM(300, 200), 0);
    SCOPED_TRACE(testing::Message() << c.key.code << (c.kline ? " K-line" : " minute"));
    EXPECT_EQ(items, c.items);
    if (c.kline) {
      EXPECT_TRUE(periodChecked) << "the day period is checked";
    }
  }
}

TEST_F(QuoteDetailsActions, TheExRightsTipShowsTheRecordOfTheDate) {
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  page->SelectMainTab(0);
  ASSERT_TRUE(Served());
  ASSERT_TRUE(RunUntil([&] { return page->GetAdjustState() != 0; })) << "the server's own list came first";
  // A hand-made ex-rights reply on the page's own handle.
  ExRightsArea list;
  list.key = Key("600000", "浦发银行", 1, 2);
  list.records = new ExRightsRecord[1]{};
  list.count = 1;
  list.records[0].date = 20240105;
  list.records[0].cashDividend = 0.5f;
  list.records[0].rightsShares = 0.3f;
  list.records[0].rightsPrice = 8.0f;
  list.records[0].bonusShares = 0.2f;
  PendingRequest reply{};
  reply.sequence = page->GetHandles().exRights;
  ASSERT_NE(reply.sequence, 0);
  reply.area = &list;
  CQuoteDetailsView::QuoteReplyCallback(page.get(), &reply);
  CRect chart;
  page->KLineChart().GetClientRect(&chart);
  page->SendMessage(WM_KLINE_EXRIGHTS, MAKEWPARAM(100, 200), 20240105);
  EXPECT_EQ(page->ExRightsTipText(), " 红利5.00元 配股3.00股 配股价8.00元 送股2.00股");
  EXPECT_TRUE(page->ExRightsTip().IsWindowVisible());
  CRect tip;
  page->ExRightsTip().GetWindowRect(&tip);
  page->KLineChart().ScreenToClient(&tip);
  EXPECT_EQ(tip, CRect(100, 150, 400, 190));
  // Near the right edge the tip opens to the left.
  const int x = chart.Width() - 300;
  page->SendMessage(WM_KLINE_EXRIGHTS, MAKEWPARAM(x, 200), 20240105);
  page->ExRightsTip().GetWindowRect(&tip);
  page->KLineChart().ScreenToClient(&tip);
  EXPECT_EQ(tip.left, x - 300);
  // A date without a record changes nothing; (0, 0) with 1 hides the tip.
  page->SendMessage(WM_KLINE_EXRIGHTS, MAKEWPARAM(10, 200), 20240106);
  EXPECT_EQ(tip.left, x - 300);
  page->SendMessage(WM_KLINE_EXRIGHTS, 0, 1);
  EXPECT_FALSE(page->ExRightsTip().IsWindowVisible());
}

TEST_F(QuoteDetailsActions, RepliesOfForeignOrZeroHandlesChangeNothing) {
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  ASSERT_TRUE(Served());
  const int before = [&] {
    std::lock_guard<CriticalSection> hold(page->PageLock());
    return page->KLineCopy()->barCount;
  }();
  for (int sequence : {0, 65000}) {
    PendingRequest reply{};
    reply.sequence = sequence;
    reply.area = nullptr;  // a receiver would crash on it
    CQuoteDetailsView::QuoteReplyCallback(page.get(), &reply);
  }
  std::lock_guard<CriticalSection> hold(page->PageLock());
  EXPECT_EQ(page->KLineCopy()->barCount, before);
}

TEST_F(QuoteDetailsActions, TickPagesAskOlderTicksOfType38FromTheRightStart) {
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  ASSERT_TRUE(Served());
  page->SelectMainTab(4);
  desk->RunUntilIdle();
  const int rows = page->FullTickList().GetCapacity();
  ASSERT_GT(rows, 0);
  // The live reply reports the day's total.
  auto ticks = panel_test::MakeTicks(10);
  auto setTotal = [&](int total) {
    ticks->replyPosition = total;
    PendingRequest reply{};
    reply.sequence = page->GetHandles().ticks;
    reply.area = ticks.get();
    CQuoteDetailsView::QuoteReplyCallback(page.get(), &reply);
  };
  auto olderStart = [&](LPARAM older) -> int64_t {
    const size_t mark = server->Journal().size();
    page->SendMessage(WM_TICK_PAGE, 0, older);
    int64_t start = -999;
    desk->RunUntil(
        [&] {
          for (const auto& e : RequestsSince(mark))
            if (e.type == 38 && e.parameter == 0 && !e.parsed.numbers.empty()) start = e.parsed.numbers[0];
          return start != -999;
        },
        10000);
    return start;
  };
  setTotal(rows * 20);
  EXPECT_EQ(olderStart(1), rows * 18) << "page 2";
  EXPECT_EQ(page->GetTickPage(), 2);
  setTotal(rows * 2 + rows / 2);  // a start between -rows and 0 asks from 0
  EXPECT_EQ(olderStart(1), 0);
  EXPECT_EQ(page->GetTickPage(), 3);
  // A whole page before the first tick: refused, the page stays.
  const size_t mark = server->Journal().size();
  page->SendMessage(WM_TICK_PAGE, 0, 1);
  EXPECT_EQ(page->GetTickPage(), 3);
  page->SendMessage(WM_TICK_PAGE, 0, 7);  // unknown: nothing
  EXPECT_EQ(page->GetTickPage(), 3);
  // Newer pages back to the live list.
  page->SendMessage(WM_TICK_PAGE, 0, 0);
  page->SendMessage(WM_TICK_PAGE, 0, 0);
  EXPECT_EQ(page->GetTickPage(), 1);
  desk->RunUntilIdle();
  for (const auto& e : RequestsSince(mark)) EXPECT_NE(e.type, 80);
}

TEST_F(QuoteDetailsActions, F10ItemsOutsideTheCatalogAskNothing) {
  page->ShowStock(Key("600000", "浦发银行", 1, 2), 0);
  ASSERT_TRUE(Served());
  ASSERT_TRUE(RunUntil([&] { return engine->f10CatalogArea->entryCount > 0; }));
  const int count = engine->f10CatalogArea->entryCount;
  const size_t mark = server->Journal().size();
  page->SendMessage(WM_F10_ITEM_REQUEST, count, 0);
  page->SendMessage(WM_F10_ITEM_REQUEST, static_cast<WPARAM>(-1), 0);
  page->SendMessage(WM_F10_ITEM_REQUEST, 0, 0);
  ASSERT_TRUE(server->WaitForRequest([](const simbroker::JournalEntry& e) { return e.type == 71; }, 10000));
  int items = 0;
  for (const auto& e : RequestsSince(mark)) items += e.type == 71;
  EXPECT_EQ(items, 1);
}

TEST_F(QuoteDetailsActions, TheOrderPageOpensInTheWebBrowser) {
  std::vector<std::u16string> opened;
  SetWebAddressOpenerForTesting([&](const std::u16string& a) {
    opened.push_back(a);
    return true;
  });
  EXPECT_EQ(page->SendMessage(WM_OPEN_ORDER_PAGE, 0, 0), 1);
  SetWebAddressOpenerForTesting(nullptr);
  // The address is the directory's "PCOrder" service (none in this test's
  // folder: nothing opens).
  EXPECT_LE(opened.size(), 1u);
}
