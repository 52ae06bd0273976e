// The trade window, its navigation list and its panel in a harness main
// window, logged in through the real dialog against the simulated service.
#include <algorithm>
#include <cstring>

#include "trading/ui/tests/trade_window_test_support.h"
#include "trading/ui/trade_info_view.h"
#include "trading/ui/trade_login.h"

namespace {

using simtrade::TradeFault;
using trade_ui_test::HarnessMain;
using trade_ui_test::IsLoggedIn;
using Journal = std::vector<std::string>;

StockKey Key(const char* code) {
  StockKey key{};
  snprintf(key.code, sizeof(key.code), "%s", code);
  return key;
}

class TradeWindow : public trade_ui_test::TradeWindowFixture {
 protected:
  bool UseRecordingPages() const override { return true; }
};

TEST_F(TradeWindow, ShowTradeLogsInFirstThenShowsFundsAndHoldings) {
  // Cancelled: the window stays hidden, the panel height is the start one.
  view->SetPanelHeight(150);
  desk->Until(LoginIdle);
  desk->Then([&] {
    EXPECT_EQ(view->GetPanelHeight(), 280);
    desk->Key(VK_ESCAPE);
  });
  view->ShowTrade(nullptr, 0);
  EXPECT_FALSE(view->IsTradeShown());
  EXPECT_FALSE(view->IsWindowVisible());
  EXPECT_TRUE(TradePageJournal().empty());

  QueueLogin(u"880001", u"135790");
  view->ShowTrade(nullptr, 0);
  desk->RunUntilIdle();
  EXPECT_TRUE(view->IsTradeShown());
  EXPECT_TRUE(view->IsWindowVisible());
  EXPECT_GE(main.emptySizes, 1);
  EXPECT_EQ(RectInMain(view.get()), CRect(0, 420, 1000, 700));
  EXPECT_EQ(SelectedNav(), u"资金股份");
  EXPECT_EQ(TradePageJournal(), (Journal{"order.ClearForm(1)", "query.SetPage(0)", "query.Refresh"}));
  EXPECT_TRUE(Shown(view->Panel()->QueryPage()));
  EXPECT_FALSE(Shown(view->Panel()->OrderPage()));
  EXPECT_EQ(RectInParent(view->Panel()->QueryPage()->Window()), CRect(0, 30, 800, 277));
  EXPECT_EQ(view->Panel()->Button(CTradeInfoView::kHoldingsButton)->GetCheck(), 1);
  EXPECT_EQ(view->NavList()->TableBar().GetCurSel(), 0);
  EXPECT_TRUE(desk->SavePng(main.m_hWnd, trade_ui_test::SnapshotFolder() + "trade_window.png"));

  // With a stock: the order form for the side and the code, today's orders
  // beside it.
  TradePageJournal().clear();
  StockKey key = Key("600000");
  view->ShowTrade(&key, 1);
  desk->RunUntilIdle();
  EXPECT_EQ(TradePageJournal(), (Journal{"order.SetKind(1)", "order.ClearForm(1)", "order.SetCode(600000)",
                                         "query.SetPage(1)", "order.FillShareholders"}));
  EXPECT_EQ(SelectedNav(), u"卖出");
  EXPECT_TRUE(Shown(view->Panel()->OrderPage()));
  EXPECT_EQ(RectInParent(view->Panel()->OrderPage()->Window()), CRect(0, 30, 440, 277));
  EXPECT_EQ(RectInParent(view->Panel()->QueryPage()->Window()), CRect(440, 30, 800, 277));
  EXPECT_EQ(view->Panel()->Button(CTradeInfoView::kSellButton)->GetCheck(), 1);
  EXPECT_TRUE(desk->SavePng(main.m_hWnd, trade_ui_test::SnapshotFolder() + "trade_window_order.png"));
}

TEST_F(TradeWindow, HideKeepsTheLoginAndLogOutForgetsTheAccount) {
  LogIn();
  view->HideTrade();
  EXPECT_FALSE(view->IsTradeShown());
  EXPECT_FALSE(view->IsWindowVisible());
  EXPECT_TRUE(IsLoggedIn(view->Session()));
  const size_t requests = simtrade::TradeServiceLog(service).size();
  view->ShowTrade(nullptr, 0);  // no dialog this time
  EXPECT_TRUE(view->IsTradeShown());
  EXPECT_EQ(simtrade::TradeServiceLog(service).size(), requests);

  // The close button logs out.
  TradePageJournal().clear();
  FooButton* close = view->Panel()->Button(CTradeInfoView::kCloseButton);
  desk->Click(close->m_hWnd, 5, 5);
  EXPECT_FALSE(view->IsTradeShown());
  EXPECT_FALSE(view->IsWindowVisible());
  EXPECT_FALSE(IsLoggedIn(view->Session()));
  TradeLoginInfo info;
  GetTradeLoginInfo(view->Session(), &info);
  EXPECT_EQ(info.count, 0);
  char captcha[kTradeCaptchaSize];
  GetTradeCaptcha(view->Session(), captcha);
  EXPECT_STREQ(captcha, "");
  EXPECT_EQ(std::count(TradePageJournal().begin(), TradePageJournal().end(), "order.ClearForm(1)"), 1);

  // The next ShowTrade runs the dialog; the second account's codes arrive.
  LogIn(u"880002", u"112233");
  GetTradeLoginInfo(view->Session(), &info);
  EXPECT_STREQ(FindLoginInfoValue(&info, "沪A"), "A987654321");
  const char* shenzhen = FindLoginInfoValue(&info, "深A");
  EXPECT_TRUE(shenzhen == nullptr || shenzhen[0] == 0);
}

TEST_F(TradeWindow, QuickBuySellNeedsALoginAndAStock) {
  StockKey key = Key("600000");
  view->QuickBuySell(0, nullptr);
  EXPECT_TRUE(desk->Boxes().empty());
  view->QuickBuySell(0, &key);
  ASSERT_EQ(desk->Boxes().size(), 1u);
  EXPECT_EQ(desk->Boxes()[0].text, u"只有登录交易才能进行闪电买入卖出！");
  EXPECT_EQ(desk->Boxes()[0].caption, u"提示");
  EXPECT_TRUE(TradePageJournal().empty());
  LogIn();
  view->QuickBuySell(1, &key);
  view->QuickBuySell(1, nullptr);
  EXPECT_EQ(TradePageJournal(), (Journal{"quick.Run(1,session,600000)"}));
  EXPECT_EQ(desk->Boxes().size(), 1u);
}

TEST_F(TradeWindow, SizingPlacesTheChildrenAndTellsTheMainWindow) {
  view->ShowWindow(SW_SHOW);
  main.relayouts.clear();
  view->MoveWindow(0, 400, 1000, 300);
  EXPECT_EQ(view->GetPanelHeight(), 300);
  EXPECT_EQ(RectInParent(view->NavList()), CRect(0, 3, 200, 300));
  EXPECT_EQ(RectInParent(view->Panel()), CRect(200, 3, 1000, 300));
  desk->RunUntilIdle();
  ASSERT_FALSE(main.relayouts.empty());
  EXPECT_EQ(main.relayouts.back(), std::make_pair(1000, 300));
  // The three lines across the top.
  QImage picture = desk->Snapshot(view->m_hWnd);
  for (int x : {0, 300, 999}) {
    EXPECT_EQ(picture.pixel(x, 0) & 0xFFFFFF, 0xDEDEDEu) << x;
    EXPECT_EQ(picture.pixel(x, 1) & 0xFFFFFF, 0xC0C0C0u) << x;
    EXPECT_EQ(picture.pixel(x, 2) & 0xFFFFFF, 0xC0C0C0u) << x;
  }
  // The list: the table bar 30 high, the tree below it.
  EXPECT_EQ(RectInParent(&view->NavList()->TableBar()), CRect(0, 0, 200, 30));
  EXPECT_EQ(RectInParent(&view->NavList()->Tree()), CRect(0, 30, 200, 297));
  // The window buttons follow the right edge.
  EXPECT_EQ(RectInParent(view->Panel()->Button(CTradeInfoView::kCloseButton)), CRect(770, 0, 795, 30));
  EXPECT_EQ(RectInParent(view->Panel()->Button(CTradeInfoView::kHideButton)), CRect(710, 0, 735, 30));
}

TEST_F(TradeWindow, TheTopStripResizesLiveUpToTheMainWindowLessItsTopMargin) {
  LogIn();
  ASSERT_EQ(RectInMain(view.get()), CRect(0, 420, 1000, 700));
  desk->MoveMouse(main.m_hWnd, 500, 421);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZENS));
  int liveTop = -1;
  desk->Then([&] { desk->MoveMouse(main.m_hWnd, 500, 301); });
  desk->Then([&] {
    liveTop = RectInMain(view.get()).top;
    desk->MoveMouse(main.m_hWnd, 500, 5);
  });
  desk->Then([&] { desk->MouseUp(main.m_hWnd, 500, 5); });
  desk->MouseDown(main.m_hWnd, 500, 421);
  EXPECT_EQ(liveTop, 300);
  EXPECT_EQ(RectInMain(view.get()), CRect(0, 72, 1000, 700));
  EXPECT_EQ(view->GetPanelHeight(), 628);
  EXPECT_EQ(GetCapture(), nullptr);
  // Dragged down again and released: the new height stays.
  desk->Then([&] { desk->MoveMouse(main.m_hWnd, 500, 473); });
  desk->Then([&] { desk->MouseUp(main.m_hWnd, 500, 473); });
  desk->MouseDown(main.m_hWnd, 500, 73);
  EXPECT_EQ(view->GetPanelHeight(), 228);
}

TEST_F(TradeWindow, MaximiseAndRestoreReturnToTheHeightBefore) {
  LogIn();
  FooButton* maximise = view->Panel()->Button(CTradeInfoView::kMaximizeButton);
  for (int round = 0; round < 2; ++round) {
    desk->Click(maximise->m_hWnd, 5, 5);
    EXPECT_EQ(RectInMain(view.get()), CRect(0, 72, 1000, 700)) << round;
    desk->Click(maximise->m_hWnd, 5, 5);
    EXPECT_EQ(RectInMain(view.get()), CRect(0, 420, 1000, 700)) << round;
    EXPECT_EQ(view->GetPanelHeight(), 280) << round;
  }
  // The hide button keeps the login.
  desk->Click(view->Panel()->Button(CTradeInfoView::kHideButton)->m_hWnd, 5, 5);
  EXPECT_FALSE(view->IsTradeShown());
  EXPECT_TRUE(IsLoggedIn(view->Session()));
}

TEST_F(TradeWindow, KeysGoToTheMainWindow) {
  view->ShowWindow(SW_SHOW);
  view->SetFocus();
  desk->Key('A');
  desk->Key(VK_F1 + 2);
  EXPECT_EQ(main.keys, (std::vector<LPARAM>{'A', VK_F1 + 2}));
  EXPECT_EQ(view->SendMessage(WM_KEY_COMMAND, 0, 'B'), 1);
  EXPECT_EQ(view->Panel()->QueryPage()->Window()->SendMessage(WM_KEY_COMMAND, 0, 'B'), 1);
  EXPECT_EQ(main.keys.size(), 2u);
}

TEST_F(TradeWindow, EveryTreeItemReachesItsPanelCall) {
  struct Case {
    const WCHAR* item;
    Journal calls;
  };
  const Journal none;
  const Case cases[] = {
      {u"买入", {"order.SetKind(0)", "order.ClearForm(1)", "query.SetPage(1)", "order.FillShareholders"}},
      {u"卖出", {"order.SetKind(1)", "order.ClearForm(1)", "query.SetPage(1)", "order.FillShareholders"}},
      {u"撤单", {"order.ClearForm(1)", "query.SetPage(8)", "query.Refresh"}},
      {u"资金股份", {"order.ClearForm(1)", "query.SetPage(0)", "query.Refresh"}},
      {u"当日委托", {"order.ClearForm(1)", "query.SetPage(1)", "query.Refresh"}},
      {u"当日成交", {"order.ClearForm(1)", "query.SetPage(2)", "query.Refresh"}},
      {u"历史委托", {"order.ClearForm(1)", "query.SetPage(3)"}},
      {u"历史成交", {"order.ClearForm(1)", "query.SetPage(4)"}},
      {u"资金流水", {"order.ClearForm(1)", "query.SetPage(6)"}},
      {u"配号查询", {"order.ClearForm(1)", "query.SetPage(7)"}},
      {u"银证转账", {"order.ClearForm(1)", "bank.SetMode(0)", "bank.RequestBanks"}},
      {u"转账查询", {"order.ClearForm(1)", "bank.SetMode(2)", "bank.RequestBanks"}},
      {u"修改密码", {"order.ClearForm(1)", "password.Reset"}},
      {u"交易列表", none},
      {u"查询", none},
      {u"银证业务", none},
  };
  // Tall enough for every item without scrolling.
  view->MoveWindow(0, 100, 1000, 600);
  view->ShowWindow(SW_SHOW);
  CVexloTreeCtrl& tree = view->NavList()->Tree();
  tree.Expand(FindItem(u"查询"), TVE_EXPAND);
  tree.Expand(FindItem(u"银证业务"), TVE_EXPAND);
  desk->RunUntilIdle();
  for (const Case& c : cases) {
    HTREEITEM item = FindItem(c.item);
    ASSERT_NE(item, nullptr) << trade_ui_test::Utf8(c.item);
    RECT text;
    ASSERT_TRUE(tree.GetItemRect(item, &text, TRUE));
    TradePageJournal().clear();
    desk->Click(tree.m_hWnd, (text.left + text.right) / 2, (text.top + text.bottom) / 2);
    EXPECT_EQ(TradePageJournal(), c.calls) << trade_ui_test::Utf8(c.item);
  }
  // A click on no item does nothing.
  TradePageJournal().clear();
  CRect client;
  tree.GetClientRect(&client);
  desk->Click(tree.m_hWnd, client.right - 3, client.bottom - 3);
  EXPECT_TRUE(TradePageJournal().empty());
}

TEST_F(TradeWindow, NavigationSelectsWithoutActingAndDrawsTheSelectionUnfocused) {
  view->ShowWindow(SW_SHOW);
  const WCHAR* const expected[6] = {u"买入", u"卖出", u"撤单", u"银证转账", u"资金股份", u"历史成交"};
  CVexloTreeCtrl& tree = view->NavList()->Tree();
  tree.Expand(FindItem(u"查询"), TVE_EXPAND);
  tree.Expand(FindItem(u"银证业务"), TVE_EXPAND);
  for (int i = 0; i < 6; ++i) {
    view->NavList()->SendMessage(WM_TRADE_NAV_SELECT, kTradeNavSelectTag, i);
    EXPECT_EQ(SelectedNav(), expected[i]) << i;
  }
  view->NavList()->SendMessage(WM_TRADE_NAV_SELECT, kTradeNavSelectTag, 6);  // out of range: only repaints
  view->NavList()->SendMessage(WM_TABLEBAR_SELECT, 0, 9);                   // outside 0-3: nothing
  EXPECT_EQ(SelectedNav(), u"历史成交");
  EXPECT_TRUE(TradePageJournal().empty());
  EXPECT_TRUE(tree.IsWindowVisible());
  // The focus elsewhere: white text on the selection colour over the text.
  main.SetFocus();
  tree.Invalidate();
  desk->RunUntilIdle();
  RECT text;
  ASSERT_TRUE(tree.GetItemRect(FindItem(u"历史成交"), &text, TRUE));
  QImage picture = desk->Snapshot(tree.m_hWnd);
  EXPECT_EQ(picture.pixel(text.left + 1, text.top + 1) & 0xFFFFFF, 0x2F9AFFu);
  bool white = false;
  for (int x = text.left; x < text.right; ++x)
    for (int y = text.top; y < text.bottom; ++y) white |= (picture.pixel(x, y) & 0xFFFFFF) == 0xFFFFFFu;
  EXPECT_TRUE(white);
  EXPECT_TRUE(desk->SavePng(view->m_hWnd, trade_ui_test::SnapshotFolder() + "trade_nav_selected.png"));
  // Tabs 1 to 3 hide the tree, 0 shows it.
  view->NavList()->SendMessage(WM_TABLEBAR_SELECT, 0, 2);
  EXPECT_FALSE(tree.IsWindowVisible());
  view->NavList()->SendMessage(WM_TABLEBAR_SELECT, 0, 0);
  EXPECT_TRUE(tree.IsWindowVisible());
}

TEST_F(TradeWindow, PanelButtonsAndCommands) {
  view->ShowWindow(SW_SHOW);
  CTradeInfoView* panel = view->Panel();
  struct Case {
    UINT button;
    const WCHAR* nav;  // selected afterwards
    Journal calls;
  };
  const Case cases[] = {
      {CTradeInfoView::kCancelButton, u"撤单", {"order.ClearForm(1)", "query.SetPage(8)", "query.Refresh"}},
      {CTradeInfoView::kDealsButton, u"历史成交", {"order.ClearForm(1)", "query.SetPage(4)"}},
      {CTradeInfoView::kHoldingsButton, u"资金股份", {"order.ClearForm(1)", "query.SetPage(0)", "query.Refresh"}},
      {CTradeInfoView::kTransferButton, u"银证转账", {"order.ClearForm(1)", "bank.SetMode(0)", "bank.RequestBanks"}},
      {CTradeInfoView::kBuyButton, u"买入",
       {"order.SetKind(0)", "order.ClearForm(1)", "query.SetPage(1)", "order.FillShareholders"}},
  };
  for (const Case& c : cases) {
    TradePageJournal().clear();
    desk->Click(panel->Button(c.button)->m_hWnd, 10, 10);
    EXPECT_EQ(TradePageJournal(), c.calls) << c.button;
    EXPECT_EQ(SelectedNav(), c.nav) << c.button;
    EXPECT_EQ(panel->Button(c.button)->GetCheck(), 1) << c.button;
  }
  // Refresh: the order form while it shows, else the query list.
  TradePageJournal().clear();
  desk->Click(panel->Button(CTradeInfoView::kRefreshButton)->m_hWnd, 10, 10);
  panel->ShowQueryPage(3);
  EXPECT_EQ(panel->Button(CTradeInfoView::kCancelButton)->GetCheck(), 0);  // page 3 checks none
  EXPECT_EQ(panel->Button(CTradeInfoView::kBuyButton)->GetCheck(), 0);
  desk->Click(panel->Button(CTradeInfoView::kRefreshButton)->m_hWnd, 10, 10);
  EXPECT_EQ(TradePageJournal(), (Journal{"order.Refresh", "order.ClearForm(1)", "query.SetPage(3)", "query.Refresh"}));

  // The panel command: 100 runs today's orders, 101 shows the transfer
  // records, anything else nothing; the key message is answered too.
  struct Command {
    WPARAM w;
    LPARAM l;
    Journal calls;
  };
  const Command commands[] = {
      {1000, 100, {"query.SetPage(1)", "query.Refresh"}},
      {1000, 101, {"order.ClearForm(1)", "query.SetPage(9)"}},
      {1000, 102, {}},
      {0, 'A', {}},
  };
  for (const Command& c : commands) {
    TradePageJournal().clear();
    EXPECT_EQ(panel->SendMessage(WM_TRADE_PANEL_COMMAND, c.w, c.l), 1);
    EXPECT_EQ(TradePageJournal(), c.calls) << c.l;
  }
  EXPECT_EQ(panel->Button(CTradeInfoView::kTransferButton)->GetCheck(), 1);

  // With a bank list: mode 0 shows the bank page, mode 2 the records page.
  {
    std::lock_guard<std::mutex> hold(view->Session()->lock);
    view->Session()->bankList.count = 1;
  }
  TradePageJournal().clear();
  panel->ShowBankPage(0);
  EXPECT_EQ(TradePageJournal(), (Journal{"order.ClearForm(1)", "bank.SetMode(0)", "bank.FillBanks"}));
  EXPECT_TRUE(Shown(panel->BankPage()));
  EXPECT_EQ(RectInParent(panel->BankPage()->Window()), CRect(0, 30, 800, 277));
  TradePageJournal().clear();
  panel->ShowBankPage(2);
  EXPECT_EQ(TradePageJournal(),
            (Journal{"order.ClearForm(1)", "bank.SetMode(2)", "order.ClearForm(1)", "query.SetPage(9)"}));
  EXPECT_FALSE(Shown(panel->BankPage()));
  panel->ShowPasswordPage();
  EXPECT_TRUE(Shown(panel->PasswordPage()));
  EXPECT_FALSE(Shown(panel->QueryPage()));
  for (UINT id : {4007u, 4008u, 4009u, 4010u, 4011u, 4013u}) EXPECT_EQ(panel->Button(id)->GetCheck(), 0) << id;
}

// Logins and log-outs in a row, every other login abandoned while its
// reply is still on its way: replies come on the requests' worker threads
// while the dialog and the window are driven (run under ThreadSanitizer).
using TradeThreads = TradeWindow;

TEST_F(TradeThreads, TwentyLoginsAndLogOuts) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    if (round % 2 == 1) {
      // Cancelled while the login is delayed: the late reply goes nowhere.
      desk->Until(LoginIdle);
      desk->Then([&] { simtrade::InjectTradeFault(service, "07", TradeFault::kDelay, 1, 300); });
      QueueLogin(u"880001", u"135790");
      desk->Then([&] { desk->Key(VK_ESCAPE); });
      view->ShowTrade(nullptr, 0);
      ASSERT_FALSE(desk->StepsTimedOut());
      EXPECT_FALSE(view->IsTradeShown());
      continue;
    }
    LogIn(round % 4 == 0 ? u"880001" : u"880002", round % 4 == 0 ? u"135790" : u"112233");
    EXPECT_TRUE(view->IsTradeShown());
    view->Panel()->ShowQueryPage(round % 10);
    desk->Click(view->Panel()->Button(CTradeInfoView::kCloseButton)->m_hWnd, 5, 5);
    EXPECT_FALSE(IsLoggedIn(view->Session()));
  }
  // Every delayed reply has arrived at the service's end; nothing is left
  // registered with the HTTP layer once the service has answered.
  desk->RunUntil([&] {
    auto log = simtrade::TradeServiceLog(service);
    return std::count_if(log.begin(), log.end(), [](const simtrade::LoggedRequest& r) { return r.code == "07"; }) >=
           20;
  });
  std::lock_guard<std::mutex> hold(view->Session()->lock);
  EXPECT_EQ(view->Session()->pending.size(), 0u);
}

}  // namespace
