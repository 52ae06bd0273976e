// The main quote table inside the quote view against simbroker's market-data
// server: the default table, board commands, sorting and paging, read back
// from the server's journal and the grid's cells; and snapshots.
#include <algorithm>

#include "quotes/quote_grid_view.h"
#include "quotes/tests/quote_view_test_support.h"

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
  void Open() {
    WriteDefaultFiles();
    simbroker::MarketServerOptions options;
    options.extraStocks = 120;  // more than two pages of the 1280 x 800 table
    server = StartServer(options);
    ASSERT_NE(server, nullptr);
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
  const int total = static_cast<int>(server->Data().All().size());
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

}  // namespace
}  // namespace quoteview_test
