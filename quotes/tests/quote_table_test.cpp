// The main quote table inside the quote view against simbroker's market-data
// server: the default table, board commands, sorting and paging, read back
// from the server's journal and the grid's cells; and snapshots.
#include <algorithm>

#include "marketdata/own_stocks.h"
#include "quotes/quote_formats.h"
#include "quotes/quote_grid_view.h"
#include "quotes/tests/quote_view_test_support.h"
#include "tools/simbroker/quote_list_replies.h"

namespace quoteview_test {
namespace {

// A type-40 or 42 request as the server read it.
struct ListAsk {
  int type = 0;
  int64_t list = 0;
  int64_t start = -1;
  int64_t rows = -1;
  int64_t sort = -1;
  int64_t order = -1;
  int parameter = -1;
};

class QuoteTableFixture : public QuoteViewFixture {
 protected:
  // ownStocks: the watch list's first entries of the market (file order
  // reversed against the code order, so that sorting shows).
  void Open(int ownStocks = 0) {
    WriteDefaultFiles();
    simbroker::MarketServerOptions options;
    options.extraStocks = 120;  // more than two pages of the 1280 x 800 table
    server = StartServer(options);
    ASSERT_NE(server, nullptr);
    std::vector<simbroker::SimStock> all = server->Data().All();
    std::string own;
    for (int i = 0; i < ownStocks && i < static_cast<int>(all.size()); ++i) {
      const auto& s = all[all.size() - 1 - static_cast<size_t>(i)];
      own += s.code.substr(0, 6);
      own += static_cast<char>(s.market);
      ownCodes.push_back(s.code);
    }
    if (ownStocks > 0) {
      ASSERT_TRUE(WriteDataFile("res\\own.data", own.data(), static_cast<int>(own.size())));
    }
    MakeWindows(server->Port(), MakeQuotePages());
    ASSERT_TRUE(ConnectAndWaitForTickers());
    table = static_cast<CQuoteGridView*>(view->PageAt(CQuoteView::kTablePage));
    grid = table->Grid();
  }

  // The newest list request of the journal (type 40 or 42), or type 0.
  ListAsk LastAsk() {
    ListAsk ask;
    for (const auto& e : server->Journal()) {
      if (e.type != 40 && e.type != 42) continue;
      const auto& n = e.parsed.numbers;
      ask = ListAsk{};
      ask.type = e.type;
      ask.parameter = e.parameter;
      if (e.type == 40 && n.size() >= 6) {
        ask.list = (n[0] << 32) | (n[1] & 0xFFFFFFFF);
        ask.start = n[2];
        ask.rows = n[3];
        ask.sort = n[4];
        ask.order = n[5];
      } else if (e.type == 42 && n.size() >= 5) {
        ask.list = n[0];
        ask.start = n[1];
        ask.rows = n[2];
        ask.sort = n[3];
        ask.order = n[4];
      }
    }
    return ask;
  }

  int Asks() {
    int count = 0;
    for (const auto& e : server->Journal()) count += (e.type == 40 || e.type == 42) ? 1 : 0;
    return count;
  }

  std::u16string Cell(int row, int column) {
    WString text;
    COLORREF color = 0;
    UINT format = 0;
    if (!grid->GetCell(row, column, &text, &color, &format)) return u"?";
    return text;
  }

  // Waits until the grid shows a reply whose first row number is first.
  bool WaitForRows(int first) {
    const std::u16string number = [&] {
      std::u16string s;
      for (char c : std::to_string(first)) s += static_cast<char16_t>(c);
      return s;
    }();
    return WaitFor([&] { return grid->GetRowCount() > 1 && Cell(1, 0) == number; });
  }

  std::string ItemText(int item) {
    char text[64] = "?";
    table->Bar()->CopyItemText(item, text, sizeof text);
    return text;
  }

  static std::u16string Digits(int n) {
    std::u16string s;
    for (char c : std::to_string(n)) s += static_cast<char16_t>(c);
    return s;
  }

  std::vector<std::string> ownCodes;  // the watch list in file order
  simbroker::MarketDataServer* server = nullptr;
  CQuoteGridView* table = nullptr;
  CGridCtrl* grid = nullptr;
};

class QuoteTable : public QuoteTableFixture {};

TEST_F(QuoteTable, DefaultTableAsksTheWholeMarketByCode) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  const ListAsk ask = LastAsk();
  EXPECT_EQ(ask.type, 40);
  EXPECT_EQ(ask.list, 1101);
  EXPECT_EQ(ask.start, 0);
  EXPECT_EQ(ask.rows, table->VisibleRowCount());
  EXPECT_EQ(ask.sort, 1);
  EXPECT_EQ(ask.order, 1);
  EXPECT_EQ(ask.parameter, 1);
  EXPECT_GT(table->VisibleRowCount(), 20);
  EXPECT_EQ(grid->GetColumnCount(), 22);
  EXPECT_EQ(grid->GetRowCount(), table->VisibleRowCount() + 1);
  EXPECT_EQ(Cell(0, 2), u"代码");
  // Smallest code first: each row's code is above the one before.
  for (int r = 2; r < grid->GetRowCount(); ++r) EXPECT_LT(Cell(r - 1, 2), Cell(r, 2)) << r;
  int sortColumn = 0, sortDirection = 0;
  grid->GetSortState(&sortColumn, &sortDirection);
  EXPECT_EQ(sortColumn, 1);
  EXPECT_EQ(sortDirection, 0);
  // The scroll range reached the bar on the UI thread.
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  table->HScrollBar()->GetScrollInfo(&si, SIF_ALL);
  EXPECT_EQ(si.nMax, grid->GetScrollableColumnCount() - 1);
  EXPECT_EQ(table->ScrollInfo().fMask, 0x17u);

  const std::string path = std::string(ORV_BINARY_DIR) + "/quotes/tests/quote_table_default.png";
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(main.m_hWnd, path));
}

TEST_F(QuoteTable, HeaderClicksSortFromTheFirstRow) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  struct Case {
    const char* name;
    int column;
    int order;
    int64_t sort;
    int64_t direction;
  } const cases[] = {
      {"代码 first click", 2, 1, 1, 0},
      {"代码 second click", 2, -1, 1, 1},
      {"涨幅", 6, 1, 34, 0},
      {"市盈率 in column 21", 21, -1, 40, 1},
      {"买一 has no code", 19, 1, 0, 0},
  };
  for (const Case& c : cases) {
    const int before = Asks();
    table->SendMessage(WM_GRID_SORT, c.column, c.order);
    ASSERT_TRUE(server->WaitForRequest([&](const simbroker::JournalEntry& e) { return e.type == 40; }, kWaitMs));
    ASSERT_TRUE(WaitFor([&] { return Asks() > before; })) << c.name;
    const ListAsk ask = LastAsk();
    EXPECT_EQ(ask.list, 1101) << c.name;
    EXPECT_EQ(ask.start, 0) << c.name;
    EXPECT_EQ(ask.sort, c.sort) << c.name;
    EXPECT_EQ(ask.order, c.direction) << c.name;
  }
}

TEST_F(QuoteTable, PagesWrapAtBothEnds) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  const int rows = table->VisibleRowCount();
  std::vector<simbroker::SimStock> listed;
  ASSERT_TRUE(simbroker::CatalogueList(server->Data().All(), 1101, &listed));
  const int total = static_cast<int>(listed.size());
  ASSERT_GT(total, rows * 2);
  // Previous from the first page: the last rows of the list.
  table->SendMessage(WM_GRID_PAGE, static_cast<WPARAM>(-1), 0);
  ASSERT_TRUE(WaitForRows(total - rows + 1));
  EXPECT_EQ(LastAsk().start, total - rows);
  // Next from the last page: the first page again.
  table->SendMessage(WM_GRID_PAGE, 0, 0);
  ASSERT_TRUE(WaitForRows(1));
  EXPECT_EQ(LastAsk().start, 0);
  // Next: the second page, numbered on from the start row.
  table->SendMessage(WM_GRID_PAGE, 0, 0);
  ASSERT_TRUE(WaitForRows(rows + 1));
  EXPECT_EQ(LastAsk().start, rows);
  // Neither -1 nor 0: nothing.
  const int before = Asks();
  EXPECT_EQ(table->SendMessage(WM_GRID_PAGE, 5, 0), 1);
  desk.RunUntilIdle();
  EXPECT_EQ(Asks(), before);
}

TEST_F(QuoteTable, BoardCommandsAskTheirLists) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  struct Case {
    const char* name;
    int command;
    LPARAM param;
    int type;
    int64_t list;
    int64_t sort;
    int64_t order;
    int tableType;
    int item;
    const char* itemText;
  } const cases[] = {
      {"上证A股", 1001, 0, 40, 1102, 1, 1, 0, 0, "上证A股▼"},
      {"上证A股 as a ranking", 1001, 1, 40, 1102, 34, 0, 0, 0, "上证A股▼"},
      {"沪深300", 1009, 0, 40, 1116, 1, 1, 0, 0, "沪深300▼"},
      {"深证B股", 2002, 0, 40, 1109, 1, 1, 0, 5, "深证B股▼"},
      {"行业", 3000, 0, 42, 1011, 1, 1, 7, 4, "行 业▼"},
      {"概念", 3002, 0, 42, 1016, 1, 1, 9, 4, "概 念▼"},
      {"港股创业", 4001, 0, 40, 1814, 1, 1, 1, 8, "港股创业▼"},
      {"ETF", 5003, 0, 40, 3108, 1, 1, 0, 7, "ETF基金▼"},
      {"上海期货", 7003, 0, 40, 440101, 1, 1, 12, -1, nullptr},
      {"风格指数", 8003, 0, 40, 410607, 1, 1, 4, 3, "风格指数▼"},
  };
  for (const Case& c : cases) {
    const int before = Asks();
    table->SendMessage(WM_COMMAND, c.command, c.param);
    ASSERT_TRUE(WaitFor([&] { return Asks() > before; })) << c.name;
    const ListAsk ask = LastAsk();
    EXPECT_EQ(ask.type, c.type) << c.name;
    EXPECT_EQ(ask.list, c.list) << c.name;
    EXPECT_EQ(ask.start, 0) << c.name;
    EXPECT_EQ(ask.rows, table->VisibleRowCount()) << c.name;
    EXPECT_EQ(ask.sort, c.sort) << c.name;
    EXPECT_EQ(ask.order, c.order) << c.name;
    EXPECT_EQ(table->TableType(), c.tableType) << c.name;
    EXPECT_EQ(table->HorizontalPosition(), 0) << c.name;
    if (c.itemText) {
      EXPECT_EQ(table->Bar()->GetCurSel(), c.item) << c.name;
      EXPECT_EQ(ItemText(c.item), c.itemText) << c.name;
    }
  }
  // Unknown commands ask nothing.
  const int before = Asks();
  table->SendMessage(WM_COMMAND, 1010, 0);
  table->SendMessage(WM_COMMAND, 6500, 0);
  desk.RunUntilIdle();
  EXPECT_EQ(Asks(), before);
  // The default table restores the item texts and asks 1101 by code.
  table->ShowDefaultTable();
  ASSERT_TRUE(WaitFor([&] { return Asks() > before; }));
  EXPECT_EQ(LastAsk().list, 1101);
  EXPECT_EQ(LastAsk().sort, 1);
  EXPECT_EQ(LastAsk().order, 1);
  EXPECT_EQ(ItemText(0), "全部A股▼");
  EXPECT_EQ(ItemText(3), "股指期货");
  EXPECT_EQ(ItemText(4), "热门板块▼");
  EXPECT_EQ(table->Bar()->GetCurSel(), 0);
}

TEST_F(QuoteTable, OldListPushesNeverReachTheGridAfterABoardChange) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  table->SendMessage(WM_COMMAND, 1005, 1);  // by change, largest first
  ASSERT_TRUE(WaitFor([&] { return LastAsk().list == 1112; }));
  // Pushes of the new list only: every row keeps the new order.
  for (int i = 0; i < 3; ++i) {
    server->Tick();
    desk.RunUntil([] { return false; }, 100);
  }
  EXPECT_EQ(table->ShownReply().listId, 1112);
  EXPECT_EQ(table->ShownReply().sortField, 34);
}

TEST_F(QuoteTable, ResizingAsksTheCurrentPageForTheNewRowCount) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  table->SendMessage(WM_GRID_PAGE, 0, 0);
  const int rows = table->VisibleRowCount();
  ASSERT_TRUE(WaitForRows(rows + 1));
  int before = Asks();
  table->MoveWindow(0, 0, 1280, 500, TRUE);
  ASSERT_TRUE(WaitFor([&] { return Asks() > before; }));
  EXPECT_EQ(LastAsk().start, rows);
  EXPECT_EQ(LastAsk().rows, table->VisibleRowCount());
  EXPECT_LT(table->VisibleRowCount(), rows);
  // Hidden: nothing.
  table->ShowWindow(SW_HIDE);
  before = Asks();
  table->MoveWindow(0, 0, 1280, 700, TRUE);
  desk.RunUntilIdle();
  EXPECT_EQ(Asks(), before);
}

TEST_F(QuoteTable, OwnStocksSortAndPageLocally) {
  Open(45);
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  table->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(table->Bar()), 1);
  const int rows = table->VisibleRowCount();
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().tableType == 2 && table->ShownReply().records.size() == 45; }));
  EXPECT_EQ(table->TableType(), 2);
  EXPECT_EQ(grid->GetRowCount(), std::min(45, rows) + 1);
  // File order, code and name in cyan.
  for (int r = 1; r < grid->GetRowCount(); ++r) {
    WString text;
    COLORREF color = 0;
    UINT format = 0;
    ASSERT_TRUE(grid->GetCell(r, 2, &text, &color, &format));
    std::u16string expected = u" ";
    for (char c : ownCodes[r - 1]) expected += static_cast<char16_t>(c);
    EXPECT_EQ(text, expected) << r;
    EXPECT_EQ(color, kQuoteOwnStock) << r;
    EXPECT_EQ(format, kCellRightEllipsis);
  }
  const int asks = static_cast<int>(server->Journal().size());
  // 代码 from the smallest, then the largest; the grid moves its arrow first.
  grid->SetSortState(2, -1);
  table->SendMessage(WM_GRID_SORT, 2, -1);
  for (int r = 2; r < grid->GetRowCount(); ++r) EXPECT_LT(Cell(r - 1, 2), Cell(r, 2)) << r;
  grid->SetSortState(2, 1);
  table->SendMessage(WM_GRID_SORT, 2, 1);
  for (int r = 2; r < grid->GetRowCount(); ++r) EXPECT_GT(Cell(r - 1, 2), Cell(r, 2)) << r;
  // 序号 clears the sort: file order again, rows may be dragged.
  table->SendMessage(WM_GRID_SORT, 0, 1);
  int column = -5, direction = -5;
  grid->GetSortState(&column, &direction);
  EXPECT_EQ(column, 0);
  EXPECT_EQ(direction, 0);
  std::u16string first = u" ";
  for (char c : ownCodes[0]) first += static_cast<char16_t>(c);
  EXPECT_EQ(Cell(1, 2), first);
  // Pages: numbered from page × rows + 1, the last page stops.
  const int pages = (45 + rows - 1) / rows;
  for (int p = 1; p < pages; ++p) {
    table->SendMessage(WM_GRID_PAGE, 0, 0);
    EXPECT_EQ(Cell(1, 0), Digits(p * rows + 1)) << p;
  }
  table->SendMessage(WM_GRID_PAGE, 0, 0);
  EXPECT_EQ(Cell(1, 0), Digits((pages - 1) * rows + 1));
  EXPECT_EQ(grid->GetRowCount(), 45 - (pages - 1) * rows + 1);
  for (int p = pages - 2; p >= 0; --p) {
    table->SendMessage(WM_GRID_PAGE, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(Cell(1, 0), Digits(p * rows + 1)) << p;
  }
  table->SendMessage(WM_GRID_PAGE, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(Cell(1, 0), u"1");
  desk.RunUntilIdle();
  EXPECT_EQ(static_cast<int>(server->Journal().size()), asks);  // all local
}

TEST_F(QuoteTable, EnterOnAnOwnStockOpensItWithTheList) {
  Open(45);
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  table->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(table->Bar()), 1);
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().tableType == 2 && table->ShownReply().records.size() == 45; }));
  const int rows = table->VisibleRowCount();
  table->SendMessage(WM_GRID_PAGE, 0, 0);  // page 1
  PlaceholderCalls().Clear();
  EXPECT_EQ(table->SendMessage(WM_GRID_ACTIVATE, reinterpret_cast<WPARAM>(grid), 3), 0);
  desk.RunUntilIdle();
  const StockListInfo* info = EngineStockListInfo(view->Engine());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->kind, 2);
  EXPECT_EQ(info->currentIndex, rows + 3);
  EXPECT_EQ(info->count, 45);
  bool shown = false;
  for (const std::string& call : PlaceholderCalls().Take())
    if (call.find("stock.ShowStock") == 0 && call.find(ownCodes[static_cast<size_t>(rows + 3)]) != std::string::npos)
      shown = true;
  EXPECT_TRUE(shown);
  // A negative row does nothing; a row past the copy gives an all-zero key.
  EXPECT_EQ(table->SendMessage(WM_GRID_ACTIVATE, reinterpret_cast<WPARAM>(grid), static_cast<LPARAM>(-1)), 1);
}

TEST_F(QuoteTable, OwnStockCommandsChangeTheWatchListAndTellTheFrame) {
  Open(1);
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  main.Take();
  auto saves = [&] {
    std::vector<std::pair<WPARAM, std::string>> out;
    for (const Posted& p : main.Take()) {
      if (p.msg != WM_SAVE_OWN_STOCKS) continue;
      std::unique_ptr<StockKey> key(reinterpret_cast<StockKey*>(p.lParam));
      out.emplace_back(p.wParam, key ? std::string(key->code) : std::string());
    }
    return out;
  };
  // Row 0 of the default table (smallest code) is not an own stock.
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  table->SendMessage(WM_GRID_CONTEXT_MENU, 0, 0);
  const std::string code(table->ShownReply().records[0].key.code);
  const int market = table->ShownReply().records[0].key.market;
  ASSERT_NE(table->ContextMenu(), nullptr);
  ASSERT_EQ(table->ContextMenu()->GetMenuItemID(0), 6000u);
  table->SendMessage(WM_COMMAND, 6000, 0);
  desk.RunUntilIdle();
  EXPECT_TRUE(IsOwnStock(view->Engine(), code.c_str(), market));
  EXPECT_EQ(saves(), (std::vector<std::pair<WPARAM, std::string>>{{1, code}}));
  // Added again: nothing.
  table->SendMessage(WM_COMMAND, 6000, 0);
  desk.RunUntilIdle();
  EXPECT_TRUE(saves().empty());
  // Removed twice: one notice.
  table->SendMessage(WM_COMMAND, 6001, 0);
  table->SendMessage(WM_COMMAND, 6001, 0);
  desk.RunUntilIdle();
  EXPECT_FALSE(IsOwnStock(view->Engine(), code.c_str(), market));
  EXPECT_EQ(saves(), (std::vector<std::pair<WPARAM, std::string>>{{2, code}}));
  // The own-stock table: removing the last own stock leaves the header.
  table->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(table->Bar()), 1);
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().tableType == 2 && table->ShownReply().records.size() == 1; }));
  grid->SetCurRow(0);
  table->SendMessage(WM_KEYDOWN, VK_DELETE, 0);
  desk.RunUntilIdle();
  EXPECT_EQ(GetOwnStockCount(view->Engine()), 0);
  EXPECT_EQ(grid->GetRowCount(), 1);
  EXPECT_EQ(saves(), (std::vector<std::pair<WPARAM, std::string>>{{2, ownCodes[0]}}));
}

TEST_F(QuoteTable, ContextMenusByTableType) {
  Open(1);
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  auto items = [&] {
    std::vector<UINT> ids;
    desk.Then([&] { desk.Key(VK_ESCAPE); });
    table->SendMessage(WM_GRID_CONTEXT_MENU, 0, 0);
    desk.RunUntilIdle();
    CMenuEx* m = table->ContextMenu();
    if (m)
      for (UINT i = 0; i < m->GetMenuItemCount(); ++i) ids.push_back(m->GetMenuItemID(static_cast<int>(i)));
    return ids;
  };
  EXPECT_EQ(items(), (std::vector<UINT>{6000, 6002, 6003, 6004, 6005, 6006, 6007}));
  table->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(table->Bar()), 1);
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().tableType == 2; }));
  EXPECT_EQ(items(), (std::vector<UINT>{6001, 6002, 6003, 6004, 6005, 6006, 6007}));
  // A negative row: no menu, and commands say no stock is selected.
  const size_t boxes = desk.Boxes().size();
  table->SendMessage(WM_GRID_CONTEXT_MENU, 0, static_cast<LPARAM>(-1));
  table->SendMessage(WM_COMMAND, 6002, 0);
  ASSERT_EQ(desk.Boxes().size(), boxes + 1);
  EXPECT_EQ(desk.Boxes().back().text, u"当前未选中任何证券！");
  EXPECT_EQ(desk.Boxes().back().caption, u"");
}

constexpr UINT kF5 = 0x74;

TEST_F(QuoteTable, KeysAndHorizontalScrolling) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  desk.RunUntilIdle();
  const int max = grid->GetScrollableColumnCount() - 1;
  ASSERT_GT(max, 2);
  main.Take();
  struct Case {
    const char* name;
    UINT message;
    UINT code;
    int position;  // after
  } const cases[] = {
      {"left at 0 stays", WM_KEYDOWN, VK_LEFT, 0},
      {"right", WM_KEYDOWN, VK_RIGHT, 1},
      {"line right", WM_HSCROLL, SB_LINERIGHT, 2},
      {"page left one column", WM_HSCROLL, SB_PAGELEFT, 1},
      {"thumb position ignored", WM_HSCROLL, SB_THUMBPOSITION, 1},
      {"end scroll ignored", WM_HSCROLL, SB_ENDSCROLL, 1},
      {"right end", WM_HSCROLL, SB_RIGHT, max},
      {"right at the maximum stays", WM_KEYDOWN, VK_RIGHT, max},
      {"line right clamped", WM_HSCROLL, SB_LINERIGHT, max},
      {"left end", WM_HSCROLL, SB_LEFT, 0},
  };
  for (const Case& c : cases) {
    if (c.message == WM_KEYDOWN) table->SendMessage(WM_KEYDOWN, c.code, 0);
    else table->SendMessage(WM_HSCROLL, c.code, reinterpret_cast<LPARAM>(table->HScrollBar()->m_hWnd));
    EXPECT_EQ(table->HorizontalPosition(), c.position) << c.name;
    EXPECT_EQ(grid->GetHScrollPos(), c.position) << c.name;
    EXPECT_EQ(table->HScrollBar()->GetScrollPos(), c.position) << c.name;
  }
  // Other keys reach the main window with the raw key.
  table->SendMessage(WM_KEYDOWN, kF5, 0);
  table->SendMessage(WM_KEYDOWN, 'A', 0);
  desk.RunUntilIdle();
  std::vector<LPARAM> keys;
  for (const Posted& p : main.Take())
    if (p.msg == WM_KEY_COMMAND && p.wParam == 0) keys.push_back(p.lParam);
  EXPECT_EQ(keys, (std::vector<LPARAM>{static_cast<LPARAM>(kF5), 'A'}));
}

TEST_F(QuoteTable, BlockMembersAskTheWholeId) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  const int64_t wide = (int64_t{0x12} << 32) | 0x345678;  // needs more than 32 bits
  struct Case {
    const char* name;
    int kind;
    int64_t id;
    const char* itemText;
  } const cases[] = {
      {"concept", 0, 88, "概 念▼"},
      {"region", 1, 89, "地 区▼"},
      {"industry", 2, wide, "行 业▼"},
      {"another kind keeps the text", 3, 90, "行 业▼"},
  };
  for (const Case& c : cases) {
    const int before = Asks();
    view->ShowBlockStocks(c.id, c.kind);
    ASSERT_TRUE(WaitFor([&] { return Asks() > before; })) << c.name;
    const ListAsk ask = LastAsk();
    EXPECT_EQ(ask.type, 40) << c.name;
    EXPECT_EQ(ask.list, c.id) << c.name;
    EXPECT_EQ(ask.start, 0) << c.name;
    EXPECT_EQ(ask.sort, 34) << c.name;
    EXPECT_EQ(ask.order, 0) << c.name;
    EXPECT_EQ(table->TableType(), 10) << c.name;
    EXPECT_EQ(table->Bar()->GetCurSel(), 4) << c.name;
    EXPECT_EQ(ItemText(4), c.itemText) << c.name;
    int column = 0, direction = 0;
    grid->GetSortState(&column, &direction);
    EXPECT_EQ(column, 6) << c.name;
    EXPECT_EQ(direction, 1) << c.name;
  }
  // Paging re-requests the shown page's whole id.
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().listId == 90; }));
  view->ShowBlockStocks(wide, 2);
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().listId == wide && grid->GetRowCount() > 1; }));
  table->SendMessage(WM_GRID_PAGE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return LastAsk().start == table->VisibleRowCount(); }));
  EXPECT_EQ(LastAsk().list, wide);
}

// The strip of grid column `column` in a snapshot of the main window, as
// the pixels' colours.
std::vector<QRgb> Strip(const QImage& shot, int left, int right, int top, int bottom) {
  std::vector<QRgb> out;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) out.push_back(shot.pixel(x, y));
  return out;
}

TEST_F(QuoteTable, APushChangesTheLastPriceAndTheCellFlashes) {
  Open();
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  desk.RunUntilIdle();
  const std::u16string before = Cell(1, 4) + Cell(2, 4) + Cell(3, 4) + Cell(4, 4) + Cell(5, 4);
  bool changed = false;
  for (int round = 0; round < 30 && !changed; ++round) {
    server->Tick();
    changed = desk.RunUntil([&] { return Cell(1, 4) + Cell(2, 4) + Cell(3, 4) + Cell(4, 4) + Cell(5, 4) != before; },
                            500);
  }
  ASSERT_TRUE(changed);
  desk.RunUntilIdle();
  // 现价 is grid column 4 (40 + 20 + 80 + 90 = 230 px from the left), 昨收
  // column 10; the grid starts 20 px below the top of the table.
  const QImage flashing = desk.Snapshot(main.m_hWnd);
  desk.Advance(1600);
  desk.RunUntilIdle();
  const QImage settled = desk.Snapshot(main.m_hWnd);
  const int bottom = 20 + grid->GetRowCount() * 26;
  EXPECT_NE(Strip(flashing, 232, 298, 40, std::min(bottom, 760)), Strip(settled, 232, 298, 40, std::min(bottom, 760)));
  EXPECT_EQ(Strip(flashing, 712, 778, 40, std::min(bottom, 760)), Strip(settled, 712, 778, 40, std::min(bottom, 760)));
  const std::string path = std::string(ORV_BINARY_DIR) + "/quotes/tests/quote_table_flash.png";
  EXPECT_TRUE(desk.SavePng(main.m_hWnd, path));
}

TEST_F(QuoteTable, SnapshotsOfTheOwnStockAndIndexTables) {
  Open(8);
  view->ShowQuoteTableReload(1);
  ASSERT_TRUE(WaitForRows(1));
  for (int i = 0; i < 3; ++i) server->Tick();
  table->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(table->Bar()), 1);
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().tableType == 2 && grid->GetRowCount() == 9; }));
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(main.m_hWnd, std::string(ORV_BINARY_DIR) + "/quotes/tests/quote_table_own.png"));
  table->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(table->Bar()), 2);
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().tableType == 3 && grid->GetRowCount() > 1; }));
  EXPECT_EQ(grid->GetColumnCount(), 20);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(main.m_hWnd, std::string(ORV_BINARY_DIR) + "/quotes/tests/quote_table_indices.png"));
  table->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(table->Bar()), 3);
  ASSERT_TRUE(WaitFor([&] { return table->ShownReply().tableType == 6 && grid->GetRowCount() > 1; }));
  EXPECT_EQ(grid->GetColumnCount(), 28);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(main.m_hWnd, std::string(ORV_BINARY_DIR) + "/quotes/tests/quote_table_futures.png"));
}

}  // namespace
}  // namespace quoteview_test
