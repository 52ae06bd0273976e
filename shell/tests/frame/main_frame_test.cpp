// The main frame with recording placeholders: creation, layout, tabs and
// pages, commands, keys, command codes and stocks.
#include <sqlite3.h>

#include <cstring>

#include "marketdata/code_dictionary.h"
#include "shell/tests/frame/frame_fixture.h"

namespace frametest {
namespace {

StockKey Key(const char* code, int market, int kind) {
  StockKey k{};
  std::memcpy(k.code, code, std::min<size_t>(std::strlen(code), 6));
  k.market = static_cast<uint8_t>(market);
  k.kind = static_cast<uint8_t>(kind);
  return k;
}

char* HeapText(const std::string& text) {
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

const char* const kMenus = R"({"menus":[
 {"displayStyle":"1","resourceName":"首页","resourceCode":"100001","url":"goto::home::http://127.0.0.1:1/home.html"},
 {"displayStyle":"1","resourceName":"行情","resourceCode":"100002","url":"goto::quote::main"},
 {"displayStyle":"1","resourceName":"行情报价","resourceCode":"100002001","url":"goto::quote::main"},
 {"displayStyle":"1","resourceName":"资讯","resourceCode":"100003","url":"goto::info::http://127.0.0.1:1/news.html"},
 {"displayStyle":"1","resourceName":"财经新闻","resourceCode":"100003001","url":"goto::info::http://127.0.0.1:1/n1.html::userid,sessionid"},
 {"displayStyle":"1","resourceName":"先到的子项","resourceCode":"100009001","url":"goto::info::x"},
 {"displayStyle":"1","resourceName":"战术","resourceCode":"100009","url":"goto::quote::tactic"},
 {"displayStyle":"1","resourceName":"三位","resourceCode":"123","url":"goto::info::y"},
 {"displayStyle":"1","resourceName":"重复一","resourceCode":"100010","url":"goto::info::http://127.0.0.1:1/first.html"},
 {"displayStyle":"1","resourceName":"重复二","resourceCode":"100010","url":"goto::info::http://127.0.0.1:1/second.html"},
 {"displayStyle":"1","resourceName":"交易","resourceCode":"100011","url":"goto::trade"},
 {"displayStyle":"1","resourceName":"分析","resourceCode":"100012","url":"goto::quote::analyze"}
]})";

// ---------------------------------------------------------------------------

TEST_F(FrameTest, CreationShowsTheHomeTabAndBuildsTheMenus) {
  WriteMenu(kMenus);
  MakeFrame();
  ASSERT_NE(made_.quote, nullptr);
  EXPECT_EQ(frame_->TabBar().GetTabCount(), 1);
  EXPECT_EQ(frame_->TabBar().GetCurSel(), 0);
  EXPECT_EQ(SelectedTab(), "首页");
  EXPECT_FALSE(made_.quote->IsWindowVisible());
  EXPECT_FALSE(made_.trade->IsWindowVisible());
  // The engine was connected before the window existed, the home page's
  // browser started on about:blank, then navigated once to the pending home.
  EXPECT_EQ(made_.quote->calls.at(0).rfind("SetCredentials(10001,", 0), 0u);
  EXPECT_NE(std::find(made_.quote->calls.begin(), made_.quote->calls.end(), "ConnectEngine"), made_.quote->calls.end());
  EXPECT_EQ(Home()->calls.at(0), "StartBrowser(about:blank,0,0,0,0)");
  EXPECT_EQ(std::count(Home()->calls.begin(), Home()->calls.end(), "Navigate(http://127.0.0.1:1/home.html)"), 1);
  EXPECT_TRUE(frame_->PendingHomeAddress().empty());
  EXPECT_EQ(made_.notice->calls, (std::vector<std::string>{"SetUserName(demo)", "CreateNotice", "CheckMessages"}));
  EXPECT_NE(frame_->Database(), nullptr);
  EXPECT_EQ(GetDictionaryDatabase(), frame_->Database());

  // Buttons: 6-digit entries in order, the item before its top and the
  // 3-digit entry dropped, the system menu last.
  CNavigater& nav = frame_->Navigater();
  std::vector<UINT> ids;
  for (int i = 0; i < nav.GetMenuCount(); ++i) ids.push_back(nav.GetMenuId(i));
  EXPECT_EQ(ids, (std::vector<UINT>{100001, 100002, 100003, 100009, 100010, 100010, 100011, 100012, 5000}));
  EXPECT_EQ(nav.GetMenuButton(1)->GetButtonType(), 5);  // quote item: split button
  EXPECT_EQ(nav.GetMenuButton(2)->GetButtonType(), 3);  // info item: menu button
  EXPECT_EQ(nav.GetMenuButton(3)->GetButtonType(), 1);  // its item came first: dropped
  EXPECT_EQ(nav.GetMenu(3)->GetMenuItemCount(), 0);
  EXPECT_EQ(nav.GetMenu(8)->GetMenuItemCount(), 4);  // no "修改密码" entry
}

TEST_F(FrameTest, ChangePasswordEntryAddsItsSystemItemAndTheLastItemDecidesTheType) {
  WriteMenu(R"({"menus":[
   {"resourceName":"行情","resourceCode":"200001","url":"goto::quote::main"},
   {"resourceName":"主表","resourceCode":"200001001","url":"goto::quote::main"},
   {"resourceName":"新闻","resourceCode":"200001002","url":"goto::info::http://x/"},
   {"resourceName":"修改密码","resourceCode":"200002","url":"goto::info::http://x/"}]})");
  MakeFrame();
  CNavigater& nav = frame_->Navigater();
  ASSERT_EQ(nav.GetMenuCount(), 2);
  EXPECT_EQ(nav.GetMenuButton(0)->GetButtonType(), 3);
  CMenuEx* system = nav.GetMenu(1);
  ASSERT_EQ(system->GetMenuItemCount(), 5);
  const UINT expected[] = {5002, 5003, 5011, 5009, 5010};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(system->GetMenuItemID(i), expected[i]) << i;
}

TEST_F(FrameTest, MissingOrBrokenMenuFileLeavesTheSystemMenuOnly) {
  for (const char* text : {"", "not json", R"({"menus":5})", R"({"other":[]})"}) {
    SCOPED_TRACE(text);
    if (text[0] != 0) WriteMenu(text);
    MakeFrame();
    EXPECT_EQ(frame_->Navigater().GetMenuCount(), 1);
    EXPECT_EQ(frame_->Navigater().GetMenuId(0), 5000u);
    frame_->OnMenuCommand(100001);  // nothing to carry out
    app_.m_pMainWnd = nullptr;
    frame_.reset();
    made_ = Made{};
  }
}

// ---------------------------------------------------------------------------
// Layout.

TEST_F(FrameTest, LayoutPlacesTheBandsAndClipsTheTradePanel) {
  MakeFrame();
  CRect client;
  frame_->GetClientRect(&client);
  ASSERT_EQ(client.Width(), 1280);
  ASSERT_EQ(client.Height(), 1024);
  EXPECT_EQ(ChildRect(made_.quote), CRect(0, 71, 1280, 71 + 933));
  EXPECT_EQ(ChildRect(&frame_->StatusBar()), CRect(0, 1004, 1280, 1024));
  EXPECT_EQ(ChildRect(&frame_->Navigater()), CRect(0, 0, 1280, 40));
  EXPECT_EQ(ChildRect(&frame_->TabBar()), CRect(0, 40, 1280, 72));
  EXPECT_EQ(Home()->calls.back(), "MoveBrowser(0,71,1280,1004)");

  // A web tab is not shortened by the trade panel.
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>("http://127.0.0.1:1/w.html"), "网页");
  desk_->RunUntilIdle();
  PlaceholderBriselHelper* web = made_.helpers.back();
  made_.trade->SetPanelHeight(5000);
  made_.trade->ShowTrade(Key("600000", 1, 2), 0);
  frame_->MoveWindow(0, 0, 1288, 1032, TRUE);
  frame_->SendMessage(WM_SIZE, 0, MAKELPARAM(1280, 1024));
  EXPECT_EQ(made_.trade->GetPanelHeight(), 1004 - 72);
  EXPECT_EQ(ChildRect(made_.quote).Height(), 1);
  EXPECT_EQ(ChildRect(made_.trade), CRect(0, 71, 1280, 71 + 932));
  EXPECT_EQ(web->calls.back(), "MoveBrowser(0,71,1280,1004)");

  // The trade view's relayout notice: quote view and home page above it.
  made_.trade->SetPanelHeight(300);
  frame_->SendMessage(WM_RELAYOUT_MAIN);
  EXPECT_EQ(ChildRect(made_.quote), CRect(0, 71, 1280, 71 + 1004 - 300 - 72 + 1));
  EXPECT_EQ(Home()->calls.back(), "MoveBrowser(0,71,1280," + std::to_string(72 + 1004 - 300 - 72) + ")");
  made_.trade->HideTrade();
  frame_->SendMessage(WM_RELAYOUT_MAIN);
  EXPECT_EQ(ChildRect(made_.quote), CRect(0, 71, 1280, 1004));

  // A browser that became ready gets the whole page area; answered 1.
  EXPECT_EQ(frame_->SendMessage(WM_BROWSER_READY, reinterpret_cast<WPARAM>(static_cast<IBriselHelper*>(web))), 1);
  EXPECT_EQ(web->calls.back(), "MoveBrowser(0,71,1280,1004)");

  // No size: nothing moves.
  const size_t moves = Home()->calls.size();
  frame_->SendMessage(WM_SIZE, 0, MAKELPARAM(0, 500));
  frame_->SendMessage(WM_SIZE, 0, MAKELPARAM(500, 0));
  EXPECT_EQ(Home()->calls.size(), moves);
}

TEST_F(FrameTest, MinimumSizeMaximisedAreaAndBorder) {
  MakeFrame();
  MINMAXINFO info{};
  frame_->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(info.ptMinTrackSize.x, 640);
  EXPECT_EQ(info.ptMinTrackSize.y, 480);
  EXPECT_EQ(info.ptMaxPosition.x, work.left);
  EXPECT_EQ(info.ptMaxSize.x, work.right - work.left);
  EXPECT_EQ(info.ptMaxSize.y, work.bottom - work.top);

  frame_->ShowWindow(SW_MAXIMIZE);
  desk_->RunUntilIdle();
  CRect rc;
  frame_->GetWindowRect(&rc);
  EXPECT_EQ(rc, CRect(work));
  EXPECT_TRUE(frame_->IsZoomed());

  // The 5-pixel border in RGB(32, 71, 139) at the window's edge.
  const QImage picture = desk_->Snapshot(frame_->GetSafeHwnd());
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.pixelColor(1, picture.height() / 2), QColor(32, 71, 139));
  EXPECT_EQ(picture.pixelColor(picture.width() / 2, 1), QColor(32, 71, 139));
}

// ---------------------------------------------------------------------------
// Tabs and pages.

TEST_F(FrameTest, MarketTabsShareTheQuoteViewAndCancelItsRequestsFirst) {
  MakeFrame();
  made_.log.clear();
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>(made_.quote), "行情");
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>(made_.quote), "行情");
  desk_->RunUntilIdle();
  int records = 0;
  for (const auto& t : frame_->Tabs()) records += std::string(t->title) == "行情";
  EXPECT_EQ(records, 1);
  EXPECT_EQ(SelectedTab(), "行情");
  EXPECT_TRUE(made_.quote->IsWindowVisible());
  EXPECT_EQ(made_.quote->Detail(), u"主表");
  // Each opening: requests cancelled before the table is asked to reload.
  std::vector<std::string> quoteCalls;
  for (const auto& e : made_.log)
    if (e.rfind("行情.", 0) == 0) quoteCalls.push_back(e);
  ASSERT_GE(quoteCalls.size(), 4u);
  EXPECT_EQ(quoteCalls[0], "行情.CancelAllRequests");
  EXPECT_EQ(quoteCalls[1], "行情.ShowQuoteTableReload(1)");

  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>(made_.quote), "战术看盘");
  desk_->RunUntilIdle();
  const auto tactical = std::find(made_.log.begin(), made_.log.end(), "行情.ShowTacticalBoard(1)");
  ASSERT_NE(tactical, made_.log.end());
  EXPECT_EQ(*(tactical - 1), "行情.CancelAllRequests");
}

TEST_F(FrameTest, WebTabsGetTheirOwnHelperAndCloseTheirProcess) {
  MakeFrame();
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>("http://127.0.0.1:1/a.html"), "网页一");
  desk_->RunUntilIdle();
  ASSERT_EQ(made_.helpers.size(), 2u);
  PlaceholderBriselHelper* web = made_.helpers[1];
  EXPECT_EQ(web->calls.at(0), "StartBrowser(about:blank,0,0,1280,1024)");
  EXPECT_EQ(web->calls.at(1), "SetCookies(username=demo|)");
  EXPECT_EQ(web->calls.at(2), "Navigate(http://127.0.0.1:1/a.html)");
  // Kept until the (placeholder) browser reported ready, then sent in order.
  const std::vector<std::string> sent = {"cookies:username=demo|", "navigate:http://127.0.0.1:1/a.html",
                                        "move:0,71,1280,1004"};
  EXPECT_EQ(web->sent, sent);
  EXPECT_EQ(SelectedTab(), "网页一");
  EXPECT_TRUE(::IsWindowVisible(web->ViewWindow()));
  EXPECT_FALSE(::IsWindowVisible(Home()->ViewWindow()));

  // A web tab titled "首页" is the home page: no new helper.
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>("http://127.0.0.1:1/b.html"), "首页");
  desk_->RunUntilIdle();
  EXPECT_EQ(made_.helpers.size(), 2u);
  EXPECT_EQ(SelectedTab(), "首页");

  // Closing the current web tab: its process ends, its helper window is
  // told to close, and the tab bar opens the neighbour.
  frame_->TabBar().AddTab(0, "网页一");
  desk_->RunUntilIdle();
  HWND helperWindow = web->GetSafeHwnd();
  const int index = frame_->TabBar().GetCurSel();
  frame_->TabBar().GetTabButton(index)->SendMessage(WM_USER + 2, 0, 0);  // the close box
  frame_->TabBar().SendMessage(WM_TABBUTTON_CLOSE, 0,
                               reinterpret_cast<LPARAM>(frame_->TabBar().GetTabButton(index)));
  desk_->RunUntilIdle();
  EXPECT_EQ(std::count(web->calls.begin(), web->calls.end(), "TerminateBrowser"), 1);
  EXPECT_FALSE(::IsWindow(helperWindow));
  EXPECT_EQ(frame_->TabBar().GetTabCount(), 1);
  EXPECT_EQ(SelectedTab(), "首页");
}

TEST_F(FrameTest, ClosingHomeOnlyHidesItAndTheHomeAddressLoadsOnce) {
  WriteMenu(R"({"menus":[{"resourceName":"首页","resourceCode":"100001","url":"goto::home::http://127.0.0.1:1/h"}]})");
  MakeFrame();
  frame_->SendMessage(WM_CLOSE_TAB, 0, reinterpret_cast<LPARAM>("首页"));
  EXPECT_FALSE(::IsWindowVisible(Home()->ViewWindow()));
  EXPECT_EQ(std::count(Home()->calls.begin(), Home()->calls.end(), "TerminateBrowser"), 0);
  frame_->ShowHomePage();
  frame_->ShowHomePage();
  EXPECT_EQ(std::count(Home()->calls.begin(), Home()->calls.end(), "Navigate(http://127.0.0.1:1/h)"), 1);
  EXPECT_EQ(std::count(Home()->calls.begin(), Home()->calls.end(), "SetCookies(username=demo|)"), 3);
}

TEST_F(FrameTest, LongTitlesFindTheirRecord) {
  MakeFrame();
  std::string title;
  while (title.size() < 70) title += "资讯";  // 72 bytes, cut to 63 on a character boundary
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>("http://127.0.0.1:1/l.html"), title.c_str());
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>("http://127.0.0.1:1/l.html"), title.c_str());
  frame_->SendMessage(WM_OPEN_TAB, 0, reinterpret_cast<LPARAM>(title.c_str()));
  desk_->RunUntilIdle();
  EXPECT_EQ(frame_->Tabs().size(), 2u);
  EXPECT_EQ(made_.helpers.size(), 2u);
  EXPECT_EQ(std::string(frame_->Tabs().back()->title).size(), 63u);
  EXPECT_EQ(CutTabTitle(title.c_str()), title.substr(0, 63));
}

// ---------------------------------------------------------------------------
// Commands.

TEST_F(FrameTest, MenuEntriesCarryOutTheirUrls) {
  WriteMenu(kMenus);
  MakeFrame();
  frame_->SendMessage(WM_MENU_COMMAND, 100002);  // goto::quote::main under "行情"
  desk_->RunUntilIdle();
  EXPECT_EQ(SelectedTab(), "行情");

  frame_->SendMessage(WM_MENU_COMMAND, 100010);  // the first of two entries with this code
  desk_->RunUntilIdle();
  EXPECT_EQ(SelectedTab(), "重复一");
  EXPECT_EQ(made_.helpers.back()->calls.at(2), "Navigate(http://127.0.0.1:1/first.html)");

  frame_->SendMessage(WM_MENU_COMMAND, 100003001);  // parameters appended
  desk_->RunUntilIdle();
  const std::string navigate = made_.helpers.back()->calls.at(2);
  EXPECT_NE(navigate.find("n1.html&userid="), std::string::npos) << navigate;
  EXPECT_NE(navigate.find("&sessionid="), std::string::npos) << navigate;

  frame_->SendMessage(WM_MENU_COMMAND, 100009);  // "战术" is no market title: the form's own
  desk_->RunUntilIdle();
  EXPECT_EQ(SelectedTab(), "战术看盘");

  made_.log.clear();
  frame_->SendMessage(WM_MENU_COMMAND, 100012);
  desk_->RunUntilIdle();
  EXPECT_EQ(SelectedTab(), "大盘分析");
  EXPECT_EQ(CountInLog("行情.ClearPendingIndexCode"), 1u);
  EXPECT_EQ(CountInLog("行情.message(20006,0,0)"), 1u);

  // goto::trade: the panel hides when shown, else the trading terminal.
  made_.trade->ShowTrade(Key("600000", 1, 2), 0);
  frame_->SendMessage(WM_MENU_COMMAND, 100011);
  EXPECT_FALSE(made_.trade->IsTradeShown());
  frame_->SendMessage(WM_MENU_COMMAND, 100011);
  ASSERT_FALSE(desk_->Boxes().empty());
  EXPECT_EQ(desk_->Boxes().back().text, u"未找到交易模块！");
  EXPECT_EQ(desk_->Boxes().back().caption, u"调用交易程序失败");
}

TEST_F(FrameTest, LongInfoAddressesAreCutWithoutOverrun) {
  const std::string address = "http://127.0.0.1:1/" + std::string(3000, 'a');
  WriteMenu(R"({"menus":[{"resourceName":"长","resourceCode":"300001","url":"goto::info::)" + address +
            R"(::userid,sessionid"}]})");
  MakeFrame();
  frame_->SendMessage(WM_MENU_COMMAND, 300001);
  desk_->RunUntilIdle();
  const std::string navigate = made_.helpers.back()->calls.at(2);
  EXPECT_EQ(navigate.size(), std::string("Navigate()").size() + 1023);
}

TEST_F(FrameTest, FixedCommandsAskTheirQuestions) {
  MakeFrame();
  struct Case {
    UINT id;
    int answer;
    const char16_t* text;
    const char* call;  // recorded session call, or null
  };
  const Case cases[] = {{5002, IDCANCEL, u"是否修复数据字典?", nullptr},
                        {5002, IDOK, u"是否修复数据字典?", "DataRepair"},
                        {5003, IDOK, nullptr, "OwnImport"},
                        {5004, IDOK, nullptr, "DownLoad"},
                        {5010, IDCANCEL, u"是否退出系统？", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const size_t boxes = desk_->Boxes().size();
    const size_t calls = frame_->SessionCalls().size();
    desk_->SetBoxAnswer(c.answer);
    frame_->SendMessage(WM_MENU_COMMAND, c.id);
    if (c.text != nullptr) {
      ASSERT_EQ(desk_->Boxes().size(), boxes + 1);
      EXPECT_EQ(desk_->Boxes().back().text, c.text);
    }
    if (c.call != nullptr) {
      ASSERT_EQ(frame_->SessionCalls().size(), calls + 1);
      EXPECT_EQ(frame_->SessionCalls().back(), c.call);
    } else {
      EXPECT_EQ(frame_->SessionCalls().size(), calls);
    }
  }
  // 5009: the about box, closed with Enter.
  desk_->Then([&] { desk_->Key(VK_RETURN); });
  frame_->SendMessage(WM_MENU_COMMAND, 5009);
  EXPECT_EQ(frame_->SessionCalls().back(), "About");
  // 5006 and 5012 to 5019 do nothing.
  const size_t calls = frame_->SessionCalls().size();
  for (UINT id : {5006u, 5012u, 5015u, 5019u}) frame_->SendMessage(WM_MENU_COMMAND, id);
  EXPECT_EQ(frame_->SessionCalls().size(), calls);
  EXPECT_EQ(frame_->Tabs().size(), 1u);

  // 5010 with OK: WM_CLOSE ends the loop.
  desk_->SetBoxAnswer(IDOK);
  frame_->SendMessage(WM_MENU_COMMAND, 5010);
  MSG m{};
  bool quit = false;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) quit = quit || m.message == WM_QUIT;
  EXPECT_TRUE(quit);
  EXPECT_TRUE(::IsWindow(frame_->GetSafeHwnd()));
}

TEST_F(FrameTest, WebCommandsAndMalformedOnes) {
  MakeFrame();
  const size_t tabs = frame_->Tabs().size();
  for (const char* text : {"goto::quote", "goto::quote::min", "goto::quote::min,600000", "goto::popwindow::a::b",
                           "http://x", "", "goto::", "goto::trade::hold,600000,1", "::::::", "goto::quote::x,1,1"}) {
    SCOPED_TRACE(text);
    frame_->SendMessage(WM_WEB_COMMAND, reinterpret_cast<WPARAM>(HeapText(text)));
  }
  desk_->RunUntilIdle();
  EXPECT_EQ(frame_->Tabs().size(), tabs);
  EXPECT_TRUE(frame_->SessionCalls().empty());
  EXPECT_TRUE(desk_->Boxes().empty());
  EXPECT_TRUE(made_.quote->received.empty());

  // min while the home page is in front: the quote view first, then the stock.
  made_.log.clear();
  frame_->SendMessage(WM_WEB_COMMAND, reinterpret_cast<WPARAM>(HeapText("goto::quote::min,600000,1")));
  desk_->RunUntilIdle();
  EXPECT_TRUE(made_.quote->IsWindowVisible());
  ASSERT_EQ(made_.quote->received.size(), 1u);
  EXPECT_EQ(made_.quote->received[0].wParam, 1u);
  EXPECT_EQ(made_.quote->received[0].code, "600000");
  EXPECT_EQ(made_.quote->received[0].market, 1);

  // market 0: a command code ("600000" is none: nothing reaches the view).
  frame_->SendMessage(WM_WEB_COMMAND, reinterpret_cast<WPARAM>(HeapText("goto::quote::kline,61,0")));
  desk_->RunUntilIdle();
  EXPECT_EQ(made_.quote->received.size(), 1u);
  EXPECT_EQ(CountInLog("行情.PostTableCommand(1001,1)"), 1u);

  // Pop-up pages and the buy notice.
  frame_->SendMessage(WM_WEB_COMMAND, reinterpret_cast<WPARAM>(HeapText("goto::popwindow::a::T1::http://p/")));
  EXPECT_EQ(frame_->SessionCalls().back(), "Popup(a|T1|http://p/)");
  frame_->SendMessage(WM_WEB_COMMAND, reinterpret_cast<WPARAM>(HeapText("goto::trade::buy,600036,1")));
  ASSERT_EQ(desk_->Boxes().size(), 1u);
  EXPECT_EQ(desk_->Boxes()[0].text,
            u"买卖没有与实际系统连接，真实环境会输入买卖数目然后会发送委托给柜台。\r\n股票代码：600036");
  EXPECT_EQ(desk_->Boxes()[0].caption, u"提示");
}

TEST_F(FrameTest, RelationOpensOnePopQuoteBesideAWindowOrCentred) {
  MakeFrame();
  frame_->SendMessage(WM_WEB_COMMAND, reinterpret_cast<WPARAM>(HeapText("goto::quote::relation,600000,1")));
  ASSERT_EQ(made_.popQuotes.size(), 1u);
  CRect rc;
  made_.popQuotes[0]->GetWindowRect(&rc);
  const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - 310) / 2;
  const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - 600) / 2;
  EXPECT_EQ(rc, CRect(x, y, x + 310, y + 600));
  EXPECT_EQ(made_.popQuotes[0]->calls.back(), "ShowStock(600000,1,0)");
  EXPECT_EQ(made_.popQuotes[0]->engine, made_.quote->Engine());

  CWnd page;
  ASSERT_TRUE(page.CreateEx(0, nullptr, u"page", WS_POPUP | WS_VISIBLE, CRect(100, 100, 900, 700), nullptr, 0));
  frame_->SendMessage(WM_WEB_COMMAND, reinterpret_cast<WPARAM>(HeapText("goto::quote::relation,000001,2")),
                      reinterpret_cast<LPARAM>(page.GetSafeHwnd()));
  ASSERT_EQ(made_.popQuotes.size(), 2u);
  EXPECT_EQ(frame_->PopQuote(), static_cast<IPopQuote*>(made_.popQuotes[1]));  // the first was replaced
  CRect pageRc, quoteRc;
  page.GetWindowRect(&pageRc);
  made_.popQuotes[1]->GetWindowRect(&quoteRc);
  EXPECT_EQ(quoteRc.left, pageRc.right);
  EXPECT_EQ(quoteRc.top, pageRc.top);
  EXPECT_EQ(quoteRc.Height(), pageRc.Height());
  EXPECT_EQ(pageRc.left + (pageRc.Width() + 310) / 2, GetSystemMetrics(SM_CXSCREEN) / 2);
  page.DestroyWindow();
}

TEST_F(FrameTest, PasswordPageOpensSmallAndLaterPopupsAtFullSize) {
  MakeFrame();
  frame_->SendMessage(WM_MENU_COMMAND, 5011);
  ASSERT_FALSE(frame_->SessionCalls().empty());
  EXPECT_NE(frame_->SessionCalls().back().find("|350x250)"), std::string::npos) << frame_->SessionCalls().back();
  frame_->OnPopHtml(u"http://x/", nullptr);
  EXPECT_EQ(frame_->SessionCalls().back(), "PopHtml(http://x/|none|800x600)");
}

TEST_F(FrameTest, TradingTerminalStartsWhenPresent) {
  MakeFrame();
  const std::string folder = std::string(ORV_BINARY_DIR) + "/qarn_tmrq";
  const std::string marker = top_ + "qarn-started";
  std::filesystem::create_directories(folder);
  const std::string program = folder + "/Qarn";
  ASSERT_TRUE(WriteWholeFile(program, "", 0));
  const std::string script = "#!/bin/sh\ntouch '" + marker + "'\n";
  ASSERT_TRUE(WriteWholeFile(program, script.data(), script.size()));
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  frame_->StartTradeProgram();
  EXPECT_TRUE(desk_->Boxes().empty());
  desk_->RunUntil([&] { return std::filesystem::exists(marker); }, 10000);
  EXPECT_TRUE(std::filesystem::exists(marker));
  std::filesystem::remove_all(folder);
  frame_->StartTradeProgram();
  ASSERT_EQ(desk_->Boxes().size(), 1u);
  EXPECT_EQ(desk_->Boxes()[0].text, u"未找到交易模块！");
}

// ---------------------------------------------------------------------------
// Keys and command codes.

TEST_F(FrameTest, LettersAndDigitsOpenTheWizardAtTheBottomRight) {
  MakeFrame();
  for (int key : {int{'6'}, 96 + 6, int{'A'}, int{'z'}}) {
    SCOPED_TRACE(key);
    frame_->SendMessage(WM_KEY_COMMAND, 0, key);
    PlaceholderFindStockView* wizard = made_.wizards.back();
    EXPECT_EQ(frame_->Wizard(), static_cast<IFindStockView*>(wizard));
    const char16_t typed = key == 96 + 6 ? u'6' : static_cast<char16_t>(key);
    EXPECT_EQ(wizard->searchText, std::u16string(1, typed));
    EXPECT_EQ(wizard->ownerFrame, frame_.get());
    EXPECT_EQ(wizard->database, frame_->Database());
    CRect frameRc, wizardRc;
    frame_->GetWindowRect(&frameRc);
    wizard->GetWindowRect(&wizardRc);
    EXPECT_EQ(wizardRc, CRect(frameRc.right - 240, frameRc.bottom - 240, frameRc.right, frameRc.bottom));
    EXPECT_TRUE(wizard->IsWindowVisible());
  }
  EXPECT_EQ(made_.wizards.size(), 4u);  // each key replaced the wizard
}

TEST_F(FrameTest, FunctionKeysAndEscape) {
  MakeFrame();
  // F12 away from the stock page: the trading terminal.
  frame_->SendMessage(WM_KEY_COMMAND, 0, kKeyF12);
  ASSERT_EQ(desk_->Boxes().size(), 1u);
  // F6 from the home page: "行情" first, then the key to the view.
  made_.log.clear();
  frame_->SendMessage(WM_KEY_COMMAND, 0, kKeyF6);
  desk_->RunUntilIdle();
  EXPECT_EQ(SelectedTab(), "行情");
  EXPECT_EQ(CountInLog("行情.message(4600,0,40117)"), 1u);
  // F12 on the stock page goes to the quote view.
  made_.quote->stockPageVisible = true;
  frame_->SendMessage(WM_KEY_COMMAND, 0, kKeyF12);
  desk_->RunUntilIdle();
  EXPECT_EQ(desk_->Boxes().size(), 1u);
  EXPECT_EQ(CountInLog("行情.message(4600,0,40123)"), 1u);
  // Esc only while the quote view is visible.
  frame_->SendMessage(WM_KEY_COMMAND, 0, VK_ESCAPE);
  desk_->RunUntilIdle();
  EXPECT_EQ(CountInLog("行情.message(4600,0,27)"), 1u);
  frame_->ShowHomePage();
  frame_->SendMessage(WM_KEY_COMMAND, 0, VK_ESCAPE);
  desk_->RunUntilIdle();
  EXPECT_EQ(CountInLog("行情.message(4600,0,27)"), 1u);
}

TEST_F(FrameTest, MainViewPostsFunctionKeysAndReplacesTheInputMethodKey) {
  MakeFrame();
  made_.quote->SetFocus();
  desk_->Key(VK_F1 + 2);  // F3
  desk_->RunUntilIdle();
  EXPECT_EQ(CountInLog("行情.message(4600,0,40114)"), 1u);
  // 229 is replaced by the input method's key (0 here: nothing is typed).
  MSG msg{made_.quote->GetSafeHwnd(), WM_KEYDOWN, VK_PROCESSKEY, 0, 0, {}};
  EXPECT_FALSE(frame_->MainView().PreTranslateMessage(&msg));
  EXPECT_EQ(msg.wParam, 0u);
  // Message 4001 is re-posted to the frame as a view switch.
  frame_->MainView().SendMessage(WM_TABLEBAR_SELECT, 0, 1);
  desk_->RunUntilIdle();
  EXPECT_TRUE(made_.quote->IsWindowVisible());
}

TEST_F(FrameTest, CommandCodes) {
  MakeFrame();
  struct Case {
    const char* code;
    const char* call;  // expected quote-view call, or a posted key
  };
  const Case cases[] = {{"3", "行情.PostTableCommand(1002,0)"},   {"03", "行情.message(4600,0,40114)"},
                        {"61", "行情.PostTableCommand(1001,1)"},  {"1", "行情.PostTableCommand(1001,0)"},
                        {"0", "行情.PostTableCommand(1003,0)"},   {"612", "行情.PostTableCommand(1004,1)"},
                        {"80", "行情.ShowRankPage(1101,0)"},      {"85", "行情.ShowRankPage(160103,0)"},
                        {"90", "行情.ShowRankPage(1106,0)"},      {"91", "行情.ShowKLinePeriod(34)"},
                        {"96", "行情.ShowKLinePeriod(33)"},       {"98", "行情.ShowKLinePeriod(40)"},
                        {"09", "frame:40120"},                    {"05", "frame:40124"}};
  made_.quote->stockPageVisible = true;  // the posted function keys reach the view
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    made_.log.clear();
    frame_->RunCodeCommand(c.code);
    desk_->RunUntilIdle();
    made_.quote->stockPageVisible = true;
    const std::string expected =
        std::string(c.call).rfind("frame:", 0) == 0 ? "行情.message(4600,0," + std::string(c.call + 6) + ")" : c.call;
    EXPECT_EQ(CountInLog(expected), 1u);
  }
  for (const char* code : {"99", "5", "abc", "", "6x", "99999999999999", "-1"}) {
    SCOPED_TRACE(code);
    made_.log.clear();
    frame_->RunCodeCommand(code);
    desk_->RunUntilIdle();
    EXPECT_TRUE(made_.log.empty());
  }
}

TEST_F(FrameTest, FlashAndQuickTradeRefusals) {
  MakeFrame();
  struct Case {
    WPARAM request;  // 0: the command code
    const char* code;
    bool pageVisible;
    StockKey key;
    const char16_t* box;   // refusal, or null
    const char* tradeCall;
  };
  const Case cases[] = {
      {0, "21", false, Key("600000", 1, 2), u"当前界面不能操作闪电买入！", nullptr},
      {0, "23", false, Key("600000", 1, 2), u"当前界面不能操作闪电卖出！", nullptr},
      {0, "21", true, Key("600000", 1, 3), u"暂时不支持此类闪电买入！", nullptr},
      {0, "23", true, Key("600000", 5, 2), u"暂时不支持此类闪电卖出！", nullptr},
      {0, "21", true, Key("600000", 1, 2), nullptr, "QuickBuySell(0,600000,1,2)"},
      {0, "23", true, Key("000001", 2, 2), nullptr, "QuickBuySell(1,000001,2,2)"},
      {kQuickNormalBuy, nullptr, false, Key("600000", 1, 2), u"当前界面不能操作普通买入！", nullptr},
      {kQuickNormalSell, nullptr, false, Key("600000", 1, 2), u"当前界面不能操作普通卖出！", nullptr},
      {kQuickFlashBuy, nullptr, false, Key("600000", 1, 2), u"当前界面不能操作闪电买入！", nullptr},
      {kQuickFlashSell, nullptr, false, Key("600000", 1, 2), u"当前界面不能操作闪电卖出！", nullptr},
      {kQuickNormalBuy, nullptr, true, Key("600000", 1, 1), u"暂时不支持此类普通买入！", nullptr},
      {kQuickNormalSell, nullptr, true, Key("600000", 3, 2), u"暂时不支持此类普通卖出！", nullptr},
      {kQuickFlashBuy, nullptr, true, Key("600000", 1, 0), u"暂时不支持此类闪电买入！", nullptr},
      {kQuickFlashSell, nullptr, true, Key("600000", 0, 2), u"暂时不支持此类闪电卖出！", nullptr},
      {kQuickFlashBuy, nullptr, true, Key("510050", 1, 3), nullptr, "QuickBuySell(0,510050,1,3)"},
      {kQuickFlashSell, nullptr, true, Key("600000", 1, 2), nullptr, "QuickBuySell(1,600000,1,2)"},
      {kQuickNormalBuy, nullptr, true, Key("600000", 1, 2), nullptr, "ShowTrade(600000,1,2,0)"},
      {kQuickNormalSell, nullptr, true, Key("000001", 2, 2), nullptr, "ShowTrade(000001,2,2,1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.request << " " << (c.code ? c.code : ""));
    made_.quote->stockPageVisible = c.pageVisible;
    made_.quote->stockPageKey = c.key;
    const size_t boxes = desk_->Boxes().size();
    const size_t calls = made_.trade->calls.size();
    if (c.code != nullptr)
      frame_->RunCodeCommand(c.code);
    else
      frame_->SendMessage(WM_QUICK_TRADE, c.request);
    if (c.box != nullptr) {
      ASSERT_EQ(desk_->Boxes().size(), boxes + 1);
      EXPECT_EQ(desk_->Boxes().back().text, c.box);
      EXPECT_EQ(desk_->Boxes().back().caption, u"提示");
      EXPECT_EQ(made_.trade->calls.size(), calls);
    } else {
      EXPECT_EQ(desk_->Boxes().size(), boxes);
      ASSERT_EQ(made_.trade->calls.size(), calls + 1);
      EXPECT_EQ(made_.trade->calls.back(), c.tradeCall);
    }
  }
}

// ---------------------------------------------------------------------------
// Stocks.

TEST_F(FrameTest, ShowStockChoosesTheTabAndPostsACopy) {
  MakeFrame();
  // A stock with nothing open: "行情".
  {
    auto* key = new StockKey(Key("600000", 1, 2));
    frame_->PostMessage(WM_SHOW_STOCK, 1, reinterpret_cast<LPARAM>(key));
  }
  desk_->RunUntilIdle();  // the frame frees its copy, the view frees the one it was posted
  EXPECT_EQ(SelectedTab(), "行情");
  ASSERT_EQ(made_.quote->received.size(), 1u);
  EXPECT_EQ(made_.quote->received[0].code, "600000");

  // An index while the tactical board is in front keeps the tab.
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>(made_.quote), "战术看盘");
  desk_->RunUntilIdle();
  frame_->OnShowStock(0, Key("000001", 1, 1));
  desk_->RunUntilIdle();
  EXPECT_EQ(SelectedTab(), "战术看盘");

  // A stock while a web tab is in front: "行情".
  frame_->TabBar().AddTab(reinterpret_cast<std::uintptr_t>("http://127.0.0.1:1/w"), "网页");
  desk_->RunUntilIdle();
  frame_->OnShowStock(0, Key("600036", 1, 2));
  desk_->RunUntilIdle();
  EXPECT_EQ(SelectedTab(), "行情");

  // Market 0, kind 0: a command code.
  made_.log.clear();
  frame_->OnShowStock(0, Key("61", 0, 0));
  desk_->RunUntilIdle();
  EXPECT_EQ(CountInLog("行情.PostTableCommand(1001,1)"), 1u);
  EXPECT_EQ(made_.quote->received.size(), 3u);
}

TEST_F(FrameTest, LookupStockKindUsesBoundParametersAndTheLastMatchingMarket) {
  MakeFrame();
  sqlite3* db = frame_->Database();
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(sqlite3_exec(db,
                         "delete from qdic;"
                         "insert into qdic (marketid, type, code, name, abb) values (1, 2, '600000', 'A', 'PFYH');"
                         "insert into qdic (marketid, type, code, name, abb) values (1, 1, '600001', 'B', 'PFZS');"
                         "insert into qdic (marketid, type, code, name, abb) values (2, 3, '600002', 'C', 'X');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  struct Case {
    const char* name;
    const char* code;
    int market;
    int kind;
    const char* codeAfter;
  };
  const Case cases[] = {{"exact", "600000", 1, 2, "600000"},
                        {"prefix, last row of the market (ordered by type)", "6000", 1, 2, "6000"},
                        {"initials upper-cased", "pfyh", 1, 2, "PFYH"},
                        {"other market", "600002", 2, 3, "600002"},
                        {"no row", "999999", 1, 0, "999999"},
                        {"quote character harmless", "6'--", 1, 0, "6'--"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char code[16];
    std::snprintf(code, sizeof code, "%s", c.code);
    EXPECT_EQ(LookupStockKind(db, code, c.market), c.kind);
    EXPECT_STREQ(code, c.codeAfter);
  }
  char code[] = "600000";
  EXPECT_EQ(LookupStockKind(nullptr, code, 1), 0);
  int rows = 0;
  sqlite3_exec(db, "select count(*) from qdic", [](void* n, int, char** v, char**) {
    *static_cast<int*>(n) = std::atoi(v[0]);
    return 0;
  }, &rows, nullptr);
  EXPECT_EQ(rows, 3);

  // The quote view's look-up: its copy, the kind filled in, posted on.
  auto* key = new StockKey(Key("pfyh", 1, 0));
  frame_->PostMessage(WM_FIND_STOCK_CODE, reinterpret_cast<WPARAM>(key));
  desk_->RunUntilIdle();
  ASSERT_EQ(made_.quote->received.size(), 1u);
  EXPECT_EQ(made_.quote->received[0].code, "PFYH");
  EXPECT_EQ(made_.quote->received[0].kind, 2);
}

TEST_F(FrameTest, RelayedMessagesAndSmallHandlers) {
  MakeFrame();
  EXPECT_EQ(frame_->SendMessage(WM_NAV_BACK, 300), 1);
  EXPECT_EQ(frame_->SendMessage(WM_NAV_FORWARD, 301), 1);
  EXPECT_EQ(frame_->SendMessage(WM_LIST_COMMAND_NOTICE), 1);
  EXPECT_EQ(frame_->SendMessage(WM_SET_STOCK_LIST, 7, 8), 0);
  EXPECT_EQ(frame_->SendMessage(WM_SHOW_INDEX_LIST, 0, 0), 0);
  desk_->RunUntilIdle();
  EXPECT_EQ(made_.quote->calls.back(), "message(20006,0,0)");
  EXPECT_EQ(frame_->SendMessage(WM_SHOW_BLOCK_STOCKS, 2, 88), 1);
  EXPECT_EQ(SelectedTab(), "行情");
  EXPECT_EQ(made_.quote->calls.back(), "ShowBlockStocks(88,2)");
  EXPECT_EQ(frame_->SendMessage(WM_OPEN_ANALYSIS_TAB), 1);
  EXPECT_EQ(SelectedTab(), "大盘分析");
  // The status bar's index parts run "03" and "04".
  made_.quote->stockPageVisible = true;
  frame_->SendMessage(WM_STATUS_DBLCLK, 0, 0);
  frame_->SendMessage(WM_STATUS_DBLCLK, 1, 0);
  desk_->RunUntilIdle();
  EXPECT_EQ(made_.quote->calls.back(), "message(4600,0,40115)");
  // Focus goes to the quote view.
  frame_->SendMessage(WM_SETFOCUS);
  EXPECT_EQ(::GetFocus(), made_.quote->GetSafeHwnd());
}

}  // namespace
}  // namespace frametest
