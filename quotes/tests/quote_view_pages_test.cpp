// The quote view's pages, opening stocks and keys: the placeholders record
// the calls of the view, the main window records what the view posts it.
#include <cstring>

#include "quotes/tests/quote_view_test_support.h"

namespace quoteview_test {
namespace {

using Calls = std::vector<std::string>;

class QuoteViewPages : public QuoteViewFixture {
 protected:
  void SetUp() override {
    QuoteViewFixture::SetUp();
    WriteDefaultFiles();
    MakeWindows(1);  // never connected
    PlaceholderCalls().Clear();
  }
  Calls TakeCalls() {
    desk.RunUntilIdle();
    return PlaceholderCalls().Take();
  }
  // The page with the focus (the page window or one of its children).
  CQuoteView::Page Focused() {
    HWND focus = ::GetFocus();
    for (int p = CQuoteView::kTablePage; p <= CQuoteView::kShortTermPage; ++p) {
      HWND page = view->PageAt(static_cast<CQuoteView::Page>(p))->Window()->m_hWnd;
      if (focus == page || ::IsChild(page, focus)) return static_cast<CQuoteView::Page>(p);
    }
    return CQuoteView::kNoPage;
  }
  void Key(int key, WPARAM wParam = 0) {
    EXPECT_EQ(view->SendMessage(WM_KEY_COMMAND, wParam, key), 1);
    desk.RunUntilIdle();
  }
  void Open(const StockKey& key, WPARAM mode = 0) {
    ASSERT_TRUE(PostShowStock(view->m_hWnd, mode, key));
    desk.RunUntilIdle();
  }
};

const StockKey kStock = MakeStockKey("600000", 1, 2, 2);

TEST_F(QuoteViewPages, PageSwitchTable) {
  using P = CQuoteView;
  struct Case {
    const char* name;
    std::function<void(CQuoteView&)> call;
    Calls calls;
    P::Page shown;
  };
  const Calls cancelAll = {"table.CancelRequests", "pool.CancelRequests", "stock.CancelRequests(0)",
                           "rank.CancelRequests", "tactical.CancelRequests", "block.CancelRequests",
                           "shortterm.CancelRequests"};
  auto with = [&](Calls more) {
    Calls out = cancelAll;
    out.insert(out.end(), more.begin(), more.end());
    return out;
  };
  const Case cases[] = {
      {"quote table", [](CQuoteView& v) { v.ShowQuoteTable(); }, {"stock.CancelRequests(0)"}, P::kTablePage},
      {"quote table reload", [](CQuoteView& v) { v.ShowQuoteTableReload(1); },
       {"stock.CancelRequests(0)", "table.ClearTable", "table.ResetColumns", "table.ShowDefaultTable"}, P::kTablePage},
      {"quote table no reload", [](CQuoteView& v) { v.ShowQuoteTableReload(0); }, {"stock.CancelRequests(0)"},
       P::kTablePage},
      {"pool reload", [](CQuoteView& v) { v.ShowPoolPage(1); }, {"stock.CancelRequests(0)", "pool.RequestTable"},
       P::kPoolPage},
      {"pool", [](CQuoteView& v) { v.ShowPoolPage(0); }, {"stock.CancelRequests(0)"}, P::kPoolPage},
      {"ranking", [](CQuoteView& v) { v.ShowRankPage(7, -1); }, with({"rank.RequestBoards(7,-1)"}), P::kRankPage},
      {"tactical reload", [](CQuoteView& v) { v.ShowTacticalBoard(1); }, with({"tactical.Reload"}), P::kTacticalPage},
      {"tactical", [](CQuoteView& v) { v.ShowTacticalBoard(0); }, with({}), P::kTacticalPage},
      {"block monitor reload", [](CQuoteView& v) { v.ShowBlockMonitor(1); }, with({"block.Reload"}), P::kBlockPage},
      {"short-term reload", [](CQuoteView& v) { v.ShowShortTermBoard(1); }, with({"shortterm.Reload"}),
       P::kShortTermPage},
      {"short-term", [](CQuoteView& v) { v.ShowShortTermBoard(0); }, with({}), P::kShortTermPage},
      {"cancel all", [](CQuoteView& v) { v.CancelAllRequests(); }, cancelAll, P::kShortTermPage},
  };
  for (const Case& c : cases) {
    c.call(*view);
    EXPECT_EQ(TakeCalls(), c.calls) << c.name;
    EXPECT_EQ(view->VisiblePage(), c.shown) << c.name;
    for (int p = P::kTablePage; p <= P::kShortTermPage; ++p)
      EXPECT_EQ(view->PageAt(static_cast<P::Page>(p))->Window()->IsWindowVisible() != 0, p == c.shown) << c.name;
    EXPECT_EQ(Focused(), c.shown) << c.name;
  }
}

TEST_F(QuoteViewPages, OpeningAStockRemembersTheReturnPage) {
  using P = CQuoteView;
  struct Case {
    const char* name;
    std::function<void(CQuoteView&)> show;
    P::Page returnPage;
  } const cases[] = {
      {"ranking", [](CQuoteView& v) { v.ShowRankPage(-1, -1); }, P::kRankPage},
      {"tactical", [](CQuoteView& v) { v.ShowTacticalBoard(0); }, P::kTacticalPage},
      {"block monitor", [](CQuoteView& v) { v.ShowBlockMonitor(0); }, P::kBlockPage},
      {"short-term", [](CQuoteView& v) { v.ShowShortTermBoard(0); }, P::kShortTermPage},
      {"pool", [](CQuoteView& v) { v.ShowPoolPage(0); }, P::kPoolPage},
      {"quote table", [](CQuoteView& v) { v.ShowQuoteTable(); }, P::kTablePage},
  };
  for (const Case& c : cases) {
    c.show(*view);
    TakeCalls();
    Open(kStock);
    EXPECT_EQ(view->ReturnPage(), c.returnPage) << c.name;
    EXPECT_EQ(view->VisiblePage(), P::kStockPage) << c.name;
    EXPECT_EQ(Focused(), P::kStockPage) << c.name;
    EXPECT_EQ(TakeCalls(), (Calls{"stock.ShowStock(600000/1/2,0)", "stock.HideCrossHairs"})) << c.name;
    // The stock page itself visible: the return page stays.
    Open(MakeStockKey("000001", 2, 2));
    EXPECT_EQ(view->ReturnPage(), c.returnPage) << c.name;
    TakeCalls();
  }
}

TEST_F(QuoteViewPages, OpenModesIndicesAndTheMultiStockView) {
  struct Case {
    const char* name;
    WPARAM mode;
    Calls tabs;
  } const cases[] = {
      {"as is", 0, {}},
      {"minute chart", 1, {"stock.WM_TABLEBAR_SELECT(main,1)", "stock.WM_TABLEBAR_SELECT(info,0)"}},
      {"K-line chart", 2, {"stock.WM_TABLEBAR_SELECT(main,0)", "stock.WM_TABLEBAR_SELECT(info,0)"}},
      {"company information", 3, {"stock.WM_TABLEBAR_SELECT(main,2)"}},
      {"depth page", 4, {"stock.WM_TABLEBAR_SELECT(main,3)"}},
      {"from the multi-stock view", 515, {}},
  };
  for (const Case& c : cases) {
    view->ShowQuoteTable();
    TakeCalls();
    Open(kStock, c.mode);
    Calls expected = {"stock.ShowStock(600000/1/2,0)"};
    expected.insert(expected.end(), c.tabs.begin(), c.tabs.end());
    expected.push_back("stock.HideCrossHairs");
    EXPECT_EQ(TakeCalls(), expected) << c.name;
  }

  // An index asks the main frame for the market-analysis tab.
  view->ShowPoolPage(0);
  TakeCalls();
  main.Take();
  Open(MakeStockKey("399001", 2, 1, 2), 1);
  EXPECT_EQ(TakeCalls(), (Calls{"stock.SetStockKey(399001/2/1)"}));
  EXPECT_EQ(view->ReturnPage(), CQuoteView::kNoPage);
  auto posted = main.Take();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].msg, WM_OPEN_ANALYSIS_TAB);
  EXPECT_EQ(posted[0].wParam, 0u);
  EXPECT_EQ(posted[0].lParam, 0);
  EXPECT_EQ(view->VisiblePage(), CQuoteView::kNoPage);

  // The multi-stock view with a selected cell takes the stock, unless it
  // sent it itself (515).
  view->ShowQuoteTable();
  Table()->multiStock.shown = true;
  Table()->multiStock.selectedCell = 4;
  TakeCalls();
  Open(kStock, 0);
  EXPECT_EQ(TakeCalls(), (Calls{"multi.ReplaceSelectedStock(600000/1/2)"}));
  EXPECT_EQ(view->VisiblePage(), CQuoteView::kTablePage);
  Open(kStock, 515);
  EXPECT_EQ(view->VisiblePage(), CQuoteView::kStockPage);
  Table()->multiStock.selectedCell = -1;
  view->ShowQuoteTable();
  TakeCalls();
  Open(kStock, 0);
  EXPECT_EQ(view->VisiblePage(), CQuoteView::kStockPage);

  // A message without a key is ignored.
  TakeCalls();
  EXPECT_EQ(view->SendMessage(WM_SHOW_STOCK, 1, 0), 0);
  EXPECT_TRUE(TakeCalls().empty());
}

TEST_F(QuoteViewPages, MarketAnalysisKey) {
  StockListInfo* info = EngineStockListInfo(view->Engine());
  ASSERT_NE(info, nullptr);
  // A non-index stock on the page and no pending key: "1A0001", index 0.
  Open(kStock);
  info->currentIndex = 5;
  TakeCalls();
  view->ShowMarketAnalysis();
  Calls calls = TakeCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "stock.ShowStock(1A0001/1/1,0)");
  EXPECT_EQ(Stock()->GetStockKey().decimals, 2);
  EXPECT_EQ(info->currentIndex, 0);
  EXPECT_EQ(view->ReturnPage(), CQuoteView::kNoPage);
  EXPECT_EQ(view->VisiblePage(), CQuoteView::kStockPage);
  // An index on the stock page becomes the key.
  Open(MakeStockKey("399001", 2, 1, 2));
  TakeCalls();
  view->ShowMarketAnalysis();
  EXPECT_EQ(TakeCalls().back(), "stock.ShowStock(399001/2/1,0)");
  // The pending key was cleared: a stock on the page gives "1A0001" again.
  Stock()->SetStockKey(kStock);
  TakeCalls();
  view->ShowMarketAnalysis();
  EXPECT_EQ(TakeCalls().back(), "stock.ShowStock(1A0001/1/1,0)");
}

TEST_F(QuoteViewPages, EscapeGoesBackToTheReturnPage) {
  using P = CQuoteView;
  struct Case {
    const char* name;
    std::function<void(CQuoteView&)> show;
    Calls back;
    P::Page shown;
  } const cases[] = {
      {"ranking", [](CQuoteView& v) { v.ShowRankPage(3, 0); }, {}, P::kRankPage},
      {"block monitor", [](CQuoteView& v) { v.ShowBlockMonitor(0); }, {"block.Reload"}, P::kBlockPage},
      {"tactical", [](CQuoteView& v) { v.ShowTacticalBoard(0); }, {"tactical.Reload"}, P::kTacticalPage},
      {"short-term", [](CQuoteView& v) { v.ShowShortTermBoard(0); }, {"shortterm.Reload"}, P::kShortTermPage},
      {"pool", [](CQuoteView& v) { v.ShowPoolPage(0); }, {"pool.RequestTable"}, P::kPoolPage},
      {"quote table", [](CQuoteView& v) { v.ShowQuoteTable(); }, {"table.Reload"}, P::kTablePage},
  };
  for (const Case& c : cases) {
    c.show(*view);
    Open(kStock);
    TakeCalls();
    Key(27);
    Calls calls = TakeCalls();
    ASSERT_FALSE(calls.empty()) << c.name;
    EXPECT_EQ(calls.front(), "stock.CancelRequests(0)") << c.name;
    if (c.shown == P::kRankPage) EXPECT_EQ(calls.back(), "rank.RequestBoards(-1,-1)") << c.name;
    else EXPECT_EQ(calls.back(), c.back.back()) << c.name;
    EXPECT_EQ(view->VisiblePage(), c.shown) << c.name;
  }
  // Esc on the ranking boards: cancel them, the quote table reloads.
  view->ShowRankPage(-1, -1);
  TakeCalls();
  Key(27);
  EXPECT_EQ(TakeCalls(), (Calls{"rank.CancelRequests", "stock.CancelRequests(0)", "table.Reload"}));
  EXPECT_EQ(view->VisiblePage(), P::kTablePage);
  // After F12 (no return page) Esc stays on the stock page.
  Open(kStock);
  Key(40123);
  EXPECT_EQ(view->ReturnPage(), P::kNoPage);
  TakeCalls();
  Key(27);
  EXPECT_EQ(TakeCalls(), (Calls{"stock.CancelRequests(0)"}));
  EXPECT_EQ(view->VisiblePage(), P::kStockPage);
}

TEST_F(QuoteViewPages, FunctionKeys) {
  struct Case {
    const char* name;
    int key;
    int tabBefore;
    Calls calls;
  } const cases[] = {
      {"F1", 40112, 0, {"stock.SetMainTabItem(4)", "stock.WM_TABLEBAR_SELECT(main,4)"}},
      {"F5 from 0", 40116, 0, {"stock.SetMainTabItem(1)", "stock.WM_TABLEBAR_SELECT(main,1)"}},
      {"F5 from 1", 40116, 1, {"stock.SetMainTabItem(0)", "stock.WM_TABLEBAR_SELECT(main,0)"}},
      {"F5 from 2", 40116, 2, {}},
      {"F9", 40120, 0, {"stock.SetMainTabItem(3)", "stock.WM_TABLEBAR_SELECT(main,3)"}},
      {"F10", 40121, 0, {"stock.SetMainTabItem(2)", "stock.WM_TABLEBAR_SELECT(main,2)"}},
      {"05 from 1", 40124, 1, {"stock.SetMainTabItem(0)", "stock.WM_TABLEBAR_SELECT(main,0)"}},
      {"05 from 3", 40124, 3, {"stock.SetMainTabItem(1)", "stock.WM_TABLEBAR_SELECT(main,1)"}},
      {"F2", 40113, 0, {}},
      {"F7", 40118, 0, {}},
      {"F11", 40122, 0, {}},
  };
  Open(kStock);
  for (const Case& c : cases) {
    Stock()->mainTab = c.tabBefore;
    TakeCalls();
    main.Take();
    Key(c.key);
    EXPECT_EQ(TakeCalls(), c.calls) << c.name;
    EXPECT_TRUE(main.Take().empty()) << c.name;
  }
  // F6: the own-stock board of the quote table.
  TakeCalls();
  Key(40117);
  EXPECT_EQ(TakeCalls(), (Calls{"stock.CancelRequests(0)", "table.ClearTable", "stock.CancelRequests(0)",
                                "table.SetBoardBarItem(1)", "table.WM_TABLEBAR_SELECT(board,1)"}));
  EXPECT_EQ(view->VisiblePage(), CQuoteView::kTablePage);
  EXPECT_EQ(view->ReturnPage(), CQuoteView::kNoPage);
  // F3 and F4: the index on the stock page's minute chart, the index table
  // as the browsed list.
  for (auto [key, code, market] : {std::tuple{40114, "1A0001", 1}, std::tuple{40115, "399001", 2}}) {
    TakeCalls();
    main.Take();
    Key(key);
    auto posted = main.Take();
    ASSERT_EQ(posted.size(), 1u) << code;
    EXPECT_EQ(posted[0].msg, WM_OPEN_ANALYSIS_TAB) << code;
    Calls calls = TakeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), std::string("stock.SetStockKey(") + code + "/" + std::to_string(market) + "/1)");
  }
  // Any other key goes on to the main window once, with its parameters.
  main.Take();
  Key('A', 7);
  auto posted = main.Take();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].msg, WM_KEY_COMMAND);
  EXPECT_EQ(posted[0].wParam, 7u);
  EXPECT_EQ(posted[0].lParam, 'A');
  // WM_KEYDOWN on the view posts (0, key).
  view->SendMessage(WM_KEYDOWN, 'Q', 0);
  desk.RunUntilIdle();
  posted = main.Take();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].msg, WM_KEY_COMMAND);
  EXPECT_EQ(posted[0].wParam, 0u);
  EXPECT_EQ(posted[0].lParam, 'Q');
}

TEST_F(QuoteViewPages, F8CyclesThePeriodAndShowKLinePeriod) {
  Open(kStock);
  struct Row {
    int from, to;
  } const cycle[] = {{'!', '\''}, {'\'', '('}, {'(', '"'}, {'"', '#'}, {'#', '$'},
                     {'$', '%'}, {'%', '&'}, {'&', '!'}, {'0', '!'}, {' ', '!'}};
  for (const Row& r : cycle) {
    Stock()->mainTab = 0;
    Stock()->period = r.from;
    Key(40119);
    EXPECT_EQ(Stock()->period, r.to) << static_cast<char>(r.from);
  }
  // F8 outside the K-line tab does nothing.
  Stock()->mainTab = 1;
  TakeCalls();
  Key(40119);
  EXPECT_TRUE(TakeCalls().empty());

  // With the stock page visible: the K-line view is shown when hidden.
  Stock()->klineShown = false;
  TakeCalls();
  view->ShowKLinePeriod('#');
  EXPECT_EQ(TakeCalls(), (Calls{"stock.ShowKLineChart", "stock.WM_TABLEBAR_SELECT(main,0)", "stock.SetKLinePeriod(35)"}));
  view->ShowKLinePeriod('$');
  EXPECT_EQ(TakeCalls(), (Calls{"stock.WM_TABLEBAR_SELECT(main,0)", "stock.SetKLinePeriod(36)"}));
  // With the quote table and a current row: the stock page in mode 2.
  view->ShowQuoteTable();
  Table()->hasSelection = true;
  Table()->selection = MakeStockKey("000002", 2, 2);
  TakeCalls();
  view->ShowKLinePeriod('!');
  EXPECT_EQ(TakeCalls(), (Calls{"stock.ShowStock(000002/2/2,0)", "stock.WM_TABLEBAR_SELECT(main,0)",
                                "stock.WM_TABLEBAR_SELECT(info,0)", "stock.HideCrossHairs", "stock.SetKLinePeriod(33)"}));
  // Neither: only the period.
  view->ShowQuoteTable();
  Table()->hasSelection = false;
  TakeCalls();
  view->ShowKLinePeriod('&');
  EXPECT_EQ(TakeCalls(), (Calls{"stock.SetKLinePeriod(38)"}));
}

class QuoteViewConstruction : public QuoteViewFixture {};

TEST_F(QuoteViewConstruction, TradingHoursAndPagesInOrder) {
  struct Case {
    const char* name;
    const char* v2bin;   // null: no file
    int markets;         // -1: the engine's defaults
  } const cases[] = {
      {"element with two markets",
       "<v2bin><TradingHours><Market id=\"7\" firstopen=\"2100\" firstclose=\"230\" secondopen=\"900\" "
       "secondclose=\"1130\"/><Market id=\"8\" firstopen=\"930\" firstclose=\"1130\" secondopen=\"1300\" "
       "secondclose=\"1500\"/></TradingHours></v2bin>",
       2},
      {"no element", "<v2bin><Other>1</Other></v2bin>", -1},
      {"not XML", "\x01\x02 garbage <TradingHours", -1},
      {"no file", nullptr, -1},
  };
  QuoteEngine* defaults = CreateQuoteEngine();
  ASSERT_NE(defaults, nullptr);
  const int defaultCount = defaults->tradingHours.count;
  FreeQuoteEngine(defaults);
  for (const Case& c : cases) {
    DeleteDataFile("res\\v2bin.data");
    WriteUserFiles("<host>127.0.0.1</host>", "<PCQuote>a|http://127.0.0.1:1/q|http://127.0.0.2:1/q</PCQuote>", c.v2bin);
    PlaceholderCalls().Clear();
    CQuoteView view(MakePlaceholderPages(&PlaceholderCalls()));
    EXPECT_EQ(view.Engine()->tradingHours.count, c.markets < 0 ? defaultCount : c.markets) << c.name;
    if (c.markets == 2) {
      EXPECT_EQ(view.Engine()->tradingHours.entries[0].marketId, 7) << c.name;
    }
    EXPECT_NE(view.History(), nullptr);
    EXPECT_EQ(view.TryCount(), 0);
    EXPECT_EQ(view.ReturnPage(), CQuoteView::kNoPage);
    EXPECT_EQ(PlaceholderCalls().Take(), (Calls{"table.SetEngine", "pool.SetEngine", "stock.SetEngine", "rank.SetEngine",
                                                 "tactical.SetEngine", "block.SetEngine", "shortterm.SetEngine"}))
        << c.name;
  }
}

TEST_F(QuoteViewConstruction, WindowCreationAndLayout) {
  WriteDefaultFiles();
  MakeWindows(1);
  // Quote table and pool visible, the rest hidden, the table focused.
  for (int p = CQuoteView::kTablePage; p <= CQuoteView::kShortTermPage; ++p) {
    CWnd* wnd = view->PageAt(static_cast<CQuoteView::Page>(p))->Window();
    ASSERT_NE(wnd->m_hWnd, nullptr);
    EXPECT_EQ(wnd->IsWindowVisible() != 0, p == CQuoteView::kTablePage || p == CQuoteView::kPoolPage) << p;
    EXPECT_EQ(::GetDlgCtrlID(wnd->m_hWnd), 0);
    EXPECT_TRUE(::GetWindowLongPtrW(wnd->m_hWnd, GWL_STYLE) & WS_CLIPCHILDREN);
  }
  EXPECT_EQ(::GetFocus(), view->PageAt(CQuoteView::kTablePage)->Window()->m_hWnd);
  view->MoveWindow(0, 0, 900, 500);
  desk.RunUntilIdle();
  for (int p = CQuoteView::kTablePage; p <= CQuoteView::kShortTermPage; ++p) {
    CRect rc;
    ::GetWindowRect(view->PageAt(static_cast<CQuoteView::Page>(p))->Window()->m_hWnd, &rc);
    EXPECT_EQ(rc.Width(), 900) << p;
    EXPECT_EQ(rc.Height(), 500) << p;
  }
  // Timers other than 100 are only killed; 5333 answers 1.
  view->SetTimer(7, 10);
  desk.Advance(20);
  desk.RunUntilIdle();
  EXPECT_EQ(view->Engine()->connectionId.load(), -1);
  EXPECT_EQ(view->SendMessage(WM_SHOW_ANNOUNCEMENTS, 0, 0), 1);
}

// A page that cannot be created stops the view's creation.
class FailingPool : public PlaceholderPool {
 public:
  using PlaceholderPool::PlaceholderPool;
  BOOL CreatePage(DWORD, const RECT&, CWnd*, UINT) override { return FALSE; }
};

TEST_F(QuoteViewConstruction, APageThatCannotBeCreatedFailsTheView) {
  WriteDefaultFiles();
  QuotePages pages = MakePlaceholderPages(&PlaceholderCalls());
  pages.pool = std::make_unique<FailingPool>(&PlaceholderCalls());
  CQuoteView failing(std::move(pages));
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"p", WS_POPUP, CRect(0, 0, 400, 300), nullptr, 0));
  EXPECT_FALSE(failing.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 300), &parent, 0));
  parent.DestroyWindow();
}

}  // namespace
}  // namespace quoteview_test
