// The block list view on the test desktop: cells read back from the grid,
// scroll state from the bars, notices recorded by its parents, and a worker
// thread standing in for the network thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "marketdata/own_stocks.h"
#include "marketdata/tests/engine_test_support.h"
#include "monitor/block_list_view.h"
#include "monitor/tests/monitor_test_support.h"
#include "platform/window/win_desktop.h"

using namespace monitor_test;

namespace {

struct Notice {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// A window that records the notices of the list.
class RecordingWnd : public CWnd {
 public:
  std::vector<Notice> log;
  std::vector<Notice> Of(UINT message) const {
    std::vector<Notice> out;
    for (const Notice& n : log)
      if (n.message == message) out.push_back(n);
    return out;
  }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_BLOCK_LIST_PICK || msg == WM_GRID_SORT || msg == WM_KEYDOWN || msg == WM_LIST_COMMAND_NOTICE)
      log.push_back({msg, w, l});
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(40, 40, 40));
  }
};

struct Cell {
  std::u16string text;
  COLORREF color = 0xDEADBEEF;
  UINT format = 0xDEAD;
};

// The engine (not connected) on a temporary data root, the desktop, a
// recording parent and a 700 x 300 list in it.
class BlockListFixture : public engine_test::EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    desk = std::make_unique<TestDesktop>();
    UseProgramFonts();
    SetResourceFolder(std::string(ORV_BINARY_DIR) + "/res/");
    ASSERT_TRUE(parent.CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                CRect(0, 0, 700, 300), nullptr, 0));
    list = std::make_unique<CBlockListView>();
    ASSERT_TRUE(list->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 700, 300), &parent, 77));
    desk->RunUntilIdle();
  }
  void TearDown() override {
    list.reset();
    if (parent.m_hWnd) parent.DestroyWindow();
    desk.reset();
    SetResourceFolder("");
    EngineFixture::TearDown();
  }
  CGridCtrl* Grid() { return list->GetGrid(); }
  // Matrix row (0 = header).
  Cell At(int row, int column) {
    Cell c;
    WString text;
    Grid()->GetCell(row, column, &text, &c.color, &c.format);
    c.text = text;
    return c;
  }
  SCROLLINFO Info(CVexloScrollBar* bar) {
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, -99, -99, 99, -99, -99};
    bar->GetScrollInfo(&si);
    return si;
  }
  // The grid's top row is read before a paint corrects it to what fits.
  void VScroll(int code, int pos = 0, HWND bar = nullptr) {
    ::SendMessageW(list->m_hWnd, WM_VSCROLL, MAKEWPARAM(code, pos),
                   reinterpret_cast<LPARAM>(bar ? bar : list->GetVertBar()->m_hWnd));
  }
  void HScroll(int code, int pos = 0, HWND bar = nullptr) {
    ::SendMessageW(list->m_hWnd, WM_HSCROLL, MAKEWPARAM(code, pos),
                   reinterpret_cast<LPARAM>(bar ? bar : list->GetHorzBar()->m_hWnd));
    desk->RunUntilIdle();
  }

  std::unique_ptr<TestDesktop> desk;
  RecordingWnd parent;
  std::unique_ptr<CBlockListView> list;
  simbroker::MarketData data{7};
};

// The simulated market with enough stocks for pages deep into a list.
simbroker::MarketData& LargeMarket() {
  static simbroker::MarketData* market = [] {
    auto* m = new simbroker::MarketData(7);
    m->AddStocks(simbroker::SyntheticStocks(200, 3));
    return m;
  }();
  return *market;
}

constexpr UINT kL = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kC = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kR = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;

// --- Headers ---------------------------------------------------------------

TEST_F(BlockListFixture, ResetListBuildsTheHeaderOfEachKind) {
  struct Column {
    std::u16string title;
    int width;
    UINT align;
    BYTE sortable;
  };
  struct Case {
    const char* name;
    int selector, kind;
    std::vector<Column> columns;
  } cases[] = {
      {"fund flow, industries", 0, 0,
       {{u"序号", 40, kR, 0}, {u"", 20, kC, 0}, {u"代码", 80, kL, 0}, {u"行业", 100, kL, 0},
        {u"涨幅%", 80, kR, 1}, {u"主力净流入", 100, kR, 1}, {u"现价", 80, kR, 1}, {u"涨跌", 80, kR, 1},
        {u"总量", 80, kR, 1}, {u"超大单净流入", 110, kR, 1}, {u"大单净流入", 100, kR, 1},
        {u"中单净流入", 100, kR, 1}, {u"小单净流入", 100, kR, 1}}},
      {"fund flow, concepts", 1, 0, {{u"序号", 40, kR, 0}, {u"", 20, kC, 0}, {u"代码", 80, kL, 0}, {u"概念", 100, kL, 0}}},
      {"block ranking", 0, 1,
       {{u"板块名称", 165, kL, 0}, {u"涨幅", 165, kR, 0}, {u"涨跌", 165, kR, 0}, {u"量比", 165, kR, 0}}},
      {"related quotes, reset header", 0, 2,
       {{u"名称", 80, kR, 0}, {u"", 20, kC, 0}, {u"现价", 80, kL, 0}, {u"涨幅%", 80, kR, 1},
        {u"量比", 80, kR, 1}, {u"涨跌", 80, kR, 1}, {u"总量", 80, kR, 1}, {u"换手率", 80, kR, 1},
        {u"现量", 80, kR, 1}, {u"总金额", 100, kR, 1}, {u"买一", 80, kR, 0}, {u"卖一", 80, kR, 0},
        {u"昨收", 80, kR, 1}, {u"今开", 80, kR, 1}, {u"最高", 80, kR, 1}, {u"最低", 80, kR, 1}}},
  };
  const int counts[] = {13, 13, 4, 16};
  int k = 0;
  for (const Case& c : cases) {
    list->ResetList(c.selector, c.kind);
    EXPECT_EQ(list->GetKind(), c.kind) << c.name;
    EXPECT_EQ(Grid()->GetRowCount(), 1) << c.name;
    EXPECT_EQ(Grid()->GetColumnCount(), counts[k++]) << c.name;
    for (size_t i = 0; i < c.columns.size(); ++i) {
      const Cell cell = At(0, static_cast<int>(i));
      EXPECT_EQ(cell.text, c.columns[i].title) << c.name << " column " << i;
      EXPECT_EQ(cell.color, kBlockHeader) << c.name << " column " << i;
      EXPECT_EQ(cell.format, c.columns[i].align) << c.name << " column " << i;
      EXPECT_EQ(Grid()->GetColumnWidth(static_cast<int>(i)), c.columns[i].width) << c.name << " column " << i;
      EXPECT_EQ(Grid()->GetColumnSortable(static_cast<int>(i)), c.columns[i].sortable) << c.name << " column " << i;
    }
  }
  // The fill writes kind 2's own header: "名称" centred, "现价" right and sortable.
  SimSortedList page(data, 40, 0, 3);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  EXPECT_EQ(At(0, 0).format, kC);
  EXPECT_EQ(At(0, 2).format, kR);
  EXPECT_EQ(Grid()->GetColumnSortable(2), 1);
}

TEST_F(BlockListFixture, ResetListEmptiesPositionsAndBars) {
  list->ResetList(0, 2);
  SimSortedList page(data, 40, 0, 10);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  VScroll(SB_BOTTOM);
  HScroll(SB_RIGHT);
  ASSERT_EQ(Info(list->GetVertBar()).nPos, 6);
  list->ResetList(1, 0);
  desk->RunUntilIdle();
  for (CVexloScrollBar* bar : {list->GetHorzBar(), list->GetVertBar()}) {
    const SCROLLINFO si = Info(bar);
    EXPECT_EQ(si.nMin, 0);
    EXPECT_EQ(si.nMax, 0);
    EXPECT_EQ(si.nPage, 0u);
    EXPECT_EQ(si.nPos, 0);
  }
  EXPECT_EQ(Grid()->GetTopRow(), 0);
  EXPECT_EQ(Grid()->GetHScrollPos(), 0);
  int column = -9, order = -9;
  Grid()->GetSortState(&column, &order);
  EXPECT_EQ(column, 1);
  EXPECT_EQ(order, 0);
}

// --- Fills -----------------------------------------------------------------

TEST_F(BlockListFixture, FundFlowNumbersFromTheRequestStartWithCodesAndNames) {
  list->ResetList(0, 0);
  SimSortedList page(LargeMarket(), 40, 100, 5);
  ASSERT_EQ(page.area.recordCount, 5);
  QuoteListParams params{};
  params.start = 100;
  list->FillFundFlow(engine, &params, &page.area, 1);
  desk->RunUntilIdle();
  ASSERT_EQ(Grid()->GetRowCount(), 6);
  EXPECT_EQ(At(0, 3).text, u"概念");
  for (int i = 0; i < 5; ++i) {
    const QuoteRecord& r = page.area.list.records[i];
    EXPECT_EQ(At(i + 1, 0).text, std::u16string(u"10") + char16_t(u'1' + i));
    EXPECT_EQ(At(i + 1, 0).color, kBlockNeutral);
    std::u16string code = u" ";
    for (int k = 0; k < 6; ++k) code += char16_t(r.key.code[k]);
    EXPECT_EQ(At(i + 1, 2).text, code);
    EXPECT_EQ(At(i + 1, 2).format, kL);
    EXPECT_EQ(Utf8(At(i + 1, 3).text), std::string(r.key.name));
    EXPECT_EQ(At(i + 1, 3).color, kBlockName);
  }
  // Kind, positions and scroll ranges: 9 scrollable columns, 5 rows, page 4.
  EXPECT_EQ(list->GetKind(), 0);
  SCROLLINFO h = Info(list->GetHorzBar()), v = Info(list->GetVertBar());
  EXPECT_EQ(h.nMax, 8);
  EXPECT_EQ(h.nPage, 1u);
  EXPECT_EQ(v.nMax, 4);
  EXPECT_EQ(v.nPage, 4u);
  // Without the request's parameters the rows count from 1.
  list->FillFundFlow(engine, nullptr, &page.area, 0);
  EXPECT_EQ(At(1, 0).text, u"1");
  EXPECT_EQ(At(0, 3).text, u"行业");
}

TEST_F(BlockListFixture, FundFlowCountsAndSigns) {
  struct Case {
    const char* name;
    int64_t value;
    std::u16string mainText;   // column 5, zero "-"
    std::u16string orderText;  // columns 9-12, zero "0"
    COLORREF color;
  } cases[] = {
      {"wan", 12345, u"1.23万", u"1.23万", kBlockRise},
      {"plain", 9999, u"9999", u"9999", kBlockRise},
      {"yi", 150000000, u"1.50亿", u"1.50亿", kBlockRise},
      {"negative wan", -25000000, u"-2500.00万", u"-2500.00万", kBlockFall},
      {"zero", 0, u"-", u"0", kBlockNeutral},
  };
  list->ResetList(0, 0);
  HandList hand(5);
  for (int i = 0; i < 5; ++i) {
    hand[i].mainNetInflow = cases[i].value;
    hand[i].superLargeNetInflow = cases[i].value;
    hand[i].largeNetInflow = cases[i].value;
    hand[i].mediumNetInflow = cases[i].value;
    hand[i].smallNetInflow = cases[i].value;
    hand[i].totalVolume = cases[i].value;
  }
  list->FillFundFlow(engine, nullptr, &hand.area, 0);
  for (int i = 0; i < 5; ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(At(i + 1, 5).text, c.mainText) << c.name;
    EXPECT_EQ(At(i + 1, 5).color, c.color) << c.name;
    for (int col = 9; col <= 12; ++col) {
      EXPECT_EQ(At(i + 1, col).text, c.orderText) << c.name << " column " << col;
      EXPECT_EQ(At(i + 1, col).color, c.color) << c.name << " column " << col;
    }
    EXPECT_EQ(At(i + 1, 8).text, c.mainText) << c.name << ": volume";
    EXPECT_EQ(At(i + 1, 8).color, kBlockName) << c.name;
  }
}

TEST_F(BlockListFixture, RelatedQuotesTextsAndColours) {
  ASSERT_EQ(AddOwnStock(engine, "600003", 1), 0);
  list->ResetList(0, 2);
  HandList hand(5);
  hand[0].volumeRatio = 0;       // "-" in the fall colour
  hand[1].volumeRatio = 10000;   // 1.00 neutral
  hand[2].volumeRatio = 10001;   // rise
  hand[3].lastPrice = 0;         // "-" under 现价, change percent still formatted
  hand[3].changePercent = 0;
  hand[4].key.decimals = 3;
  hand[4].lastPrice = 10.5f;
  hand[4].bidPrice1 = 9.5f;
  hand[4].turnoverRate = 345;
  hand[4].amount = 150000000;
  hand[4].currentVolume = 0;
  list->FillRelatedQuotes(engine, nullptr, &hand.area);

  struct Expect {
    const char* name;
    int row, column;
    std::u16string text;
    COLORREF color;
  } cases[] = {
      {"ratio zero", 1, 4, u"-", kBlockFall},
      {"ratio one", 2, 4, u"1.00", kBlockNeutral},
      {"ratio above one", 3, 4, u"1.00", kBlockRise},
      {"no last price", 4, 2, u"-", kBlockFall},
      {"no last price: change", 4, 3, u"0.00%", kBlockFall},
      {"own stock", 4, 0, u"股票3", kBlockOwnName},
      {"other stock", 1, 0, u"股票0", kBlockName},
      {"three decimals", 5, 2, u"10.500", kBlockRise},
      {"bid against close", 5, 10, u"9.500", kBlockFall},
      {"previous close neutral", 5, 12, u"10.000", kBlockNeutral},
      {"turnover", 5, 7, u"3.45%", kBlockTurnover},
      {"current volume zero", 5, 8, u"-", kBlockTurnover},
      {"amount", 5, 9, u"1.50亿", kBlockAmount},
      {"unchanged price", 1, 2, u"10.00", kBlockNeutral},
  };
  for (const Expect& e : cases) {
    const Cell cell = At(e.row, e.column);
    EXPECT_EQ(cell.text, e.text) << e.name;
    EXPECT_EQ(cell.color, e.color) << e.name;
    EXPECT_EQ(cell.format, e.column == 0 ? kL : kR) << e.name;
  }
}

TEST_F(BlockListFixture, BlockRankingHasFixedColumnsAndStopsAtItsLastBlock) {
  list->ResetList(0, 1);
  std::vector<std::pair<std::string, int>> stocks;
  for (const simbroker::SimStock& s : data.All()) {
    if (stocks.size() == 10) break;
    stocks.push_back({s.code, s.market});
  }
  SimStockList blocks(data, stocks);
  ASSERT_EQ(blocks.area.recordCount, 10);
  blocks.area.list.records[0].changePercent = -5;
  blocks.area.list.records[0].change = 0;
  list->FillBlockRanking(engine, &blocks.area);
  desk->RunUntilIdle();
  EXPECT_EQ(Grid()->GetColumnCount(), 4);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(Grid()->GetColumnWidth(c), 700 / 4 - 10);
  EXPECT_EQ(At(1, 0).text[0], u' ');
  EXPECT_EQ(At(1, 1).color, kBlockFall) << "by the sign of the change percent";
  EXPECT_EQ(At(1, 2).color, kBlockNeutral) << "by the sign of the change";
  SCROLLINFO h = Info(list->GetHorzBar());
  EXPECT_EQ(h.nMin, 0);
  EXPECT_EQ(h.nMax, -1);
  EXPECT_EQ(h.nPage, 1u);
  VScroll(SB_BOTTOM);
  EXPECT_EQ(Info(list->GetVertBar()).nPos, 9);
  HScroll(SB_RIGHT);
  EXPECT_EQ(Grid()->GetHScrollPos(), 0) << "an empty range keeps the minimum";
}

TEST_F(BlockListFixture, EmptyAndHostileAreasLeaveTheHeaderOnly) {
  list->ResetList(0, 2);
  HandList empty(0);
  list->FillRelatedQuotes(engine, nullptr, &empty.area);
  desk->RunUntilIdle();
  EXPECT_EQ(Grid()->GetRowCount(), 1);
  EXPECT_EQ(Grid()->GetColumnCount(), 16);
  EXPECT_EQ(Info(list->GetVertBar()).nMax, -1);
  EXPECT_EQ(Info(list->GetVertBar()).nMin, 0);

  struct Case {
    const char* name;
    int records, recordCount, capacity, held;
    bool nullArray;
    int rows;
  } cases[] = {
      {"count beyond the array", 3, 60000, 3, 3, false, 3},
      {"negative capacity and held", 3, 3, -1, -7, false, 0},
      {"null array", 0, 5, 5, 5, true, 0},
  };
  for (const Case& c : cases) {
    HandList hand(c.records);
    hand.area.recordCount = static_cast<uint16_t>(c.recordCount);
    hand.area.list.capacity = c.capacity;
    hand.area.recordsHeld = c.held;
    if (c.nullArray) hand.area.list.records = nullptr;
    list->FillRelatedQuotes(engine, nullptr, &hand.area);
    list->FillFundFlow(engine, nullptr, &hand.area, 0);
    EXPECT_EQ(Grid()->GetRowCount(), c.rows + 1) << c.name;
  }
  list->FillRelatedQuotes(engine, nullptr, nullptr);
  list->FillBlockRanking(engine, nullptr);
  EXPECT_EQ(Grid()->GetRowCount(), 1);

  // Names and codes without a terminator are read within their bytes.
  HandList raw(1);
  std::memset(raw[0].key.name, 'N', sizeof raw[0].key.name);
  std::memset(raw[0].key.code, '6', sizeof raw[0].key.code);
  list->FillFundFlow(engine, nullptr, &raw.area, 0);
  EXPECT_EQ(At(1, 3).text, std::u16string(24, u'N'));
  EXPECT_EQ(At(1, 2).text, u" 666666");
}

TEST_F(BlockListFixture, FillBeforeResetKeepsKindMinusOne) {
  SimSortedList page(data, 42, 0, 4);
  ASSERT_EQ(page.area.recordCount, 4);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  EXPECT_EQ(list->GetKind(), -1);
  EXPECT_EQ(Grid()->GetRowCount(), 5);
  EXPECT_EQ(At(0, 2).text, u"现价");
}

TEST(BlockListWithoutWindow, OperationsDoNothing) {
  CBlockListView list;
  HandList hand(3);
  list.ResetList(0, 2);
  list.FillRelatedQuotes(nullptr, nullptr, &hand.area);
  list.FillFundFlow(nullptr, nullptr, &hand.area, 0);
  list.ShowList(1);
  EXPECT_EQ(list.GetKind(), -1);
  EXPECT_EQ(list.GetGrid()->GetRowCount(), 0);
}

// --- Scrolling -------------------------------------------------------------

TEST_F(BlockListFixture, VerticalCodesMoveRowsWithinTheRange) {
  struct Case {
    const char* name;
    int from;  // position before the message
    int code, pos;
    int expected;  // -100: unchanged (the code is ignored)
  } cases[] = {
      {"line down", 2, SB_LINEDOWN, 0, 3},
      {"line up", 2, SB_LINEUP, 0, 1},
      {"line up at the top", 0, SB_LINEUP, 0, 0},
      {"page down", 1, SB_PAGEDOWN, 0, 5},
      {"page down past the end", 4, SB_PAGEDOWN, 0, 6},
      {"page up", 5, SB_PAGEUP, 0, 1},
      {"thumb track", 0, SB_THUMBTRACK, 4, 4},
      {"thumb track beyond", 0, SB_THUMBTRACK, 40, 6},
      {"thumb position: the bar's position", 3, SB_THUMBPOSITION, 5, 3},
      {"top", 5, SB_TOP, 0, 0},
      {"bottom", 0, SB_BOTTOM, 0, 6},
      {"end scroll ignored", 2, SB_ENDSCROLL, 0, -100},
      {"unknown code ignored", 2, 77, 0, -100},
  };
  list->ResetList(0, 2);
  SimSortedList page(data, 40, 0, 10);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  for (const Case& c : cases) {
    VScroll(SB_THUMBTRACK, c.from);
    ASSERT_EQ(Info(list->GetVertBar()).nPos, c.from) << c.name;
    Grid()->SetCurRow(-1);
    VScroll(c.code, c.pos);
    const int want = c.expected == -100 ? c.from : c.expected;
    EXPECT_EQ(Info(list->GetVertBar()).nPos, want) << c.name;
    EXPECT_EQ(Grid()->GetTopRow(), want) << c.name;
    EXPECT_EQ(Grid()->GetCurRow(), c.expected == -100 ? -1 : want) << c.name;
    desk->RunUntilIdle();
  }
  // A message from a bar that is not the list's changes nothing.
  VScroll(SB_THUMBTRACK, 2);
  VScroll(SB_BOTTOM, 0, list->GetHorzBar()->m_hWnd);
  EXPECT_EQ(Info(list->GetVertBar()).nPos, 2);
}

TEST_F(BlockListFixture, HorizontalCodesMoveColumnsWithinTheRange) {
  struct Case {
    const char* name;
    int from, code, pos;
    int expected;  // -100: unchanged
  } cases[] = {
      {"line right", 2, SB_LINERIGHT, 0, 3},
      {"page right is one column", 2, SB_PAGERIGHT, 0, 3},
      {"line left", 2, SB_LINELEFT, 0, 1},
      {"page left is one column", 2, SB_PAGELEFT, 0, 1},
      {"left edge", 0, SB_LINELEFT, 0, 0},
      {"thumb track", 0, SB_THUMBTRACK, 7, 7},
      {"thumb track beyond", 0, SB_THUMBTRACK, 30, 11},
      {"left", 5, SB_LEFT, 0, 0},
      {"right", 0, SB_RIGHT, 0, 11},
      {"thumb position ignored", 2, SB_THUMBPOSITION, 9, -100},
      {"end scroll ignored", 2, SB_ENDSCROLL, 0, -100},
  };
  list->ResetList(0, 2);
  SimSortedList page(data, 40, 0, 10);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  for (const Case& c : cases) {
    HScroll(SB_THUMBTRACK, c.from);
    ASSERT_EQ(Info(list->GetHorzBar()).nPos, c.from) << c.name;
    HScroll(c.code, c.pos);
    const int want = c.expected == -100 ? c.from : c.expected;
    EXPECT_EQ(Info(list->GetHorzBar()).nPos, want) << c.name;
    EXPECT_EQ(Grid()->GetHScrollPos(), want) << c.name;
  }
  // The next fill keeps the horizontal position.
  HScroll(SB_THUMBTRACK, 4);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  EXPECT_EQ(Grid()->GetHScrollPos(), 4);
  EXPECT_EQ(Info(list->GetHorzBar()).nPos, 4);
}

TEST_F(BlockListFixture, KeyboardScrollInTheGridIsKeptByTheNextFill) {
  list->ResetList(0, 2);
  SimSortedList page(data, 40, 0, 10);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  EXPECT_EQ(::SendMessageW(list->m_hWnd, WM_GRID_SCROLL, 5, 0), 1);
  EXPECT_EQ(Info(list->GetVertBar()).nPos, 5);
  EXPECT_EQ(::SendMessageW(list->m_hWnd, WM_GRID_SCROLL, 50, 0), 1);
  EXPECT_EQ(Info(list->GetVertBar()).nPos, 6) << "clamped to max - page + 1";
  ::SendMessageW(list->m_hWnd, WM_GRID_SCROLL, 5, 0);
  // The fill posts its record with the old vertical position (0); the
  // handler applies the scrolled one.
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  EXPECT_EQ(Info(list->GetVertBar()).nPos, 5);
}

TEST_F(BlockListFixture, ScrollInfoMessagesAreTakenOnlyWithTheListsOwnRecords) {
  list->ResetList(0, 2);
  SimSortedList page(data, 40, 0, 10);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  SCROLLINFO foreign{sizeof(SCROLLINFO), SIF_ALL, 0, 500, 1, 300, 0};
  EXPECT_EQ(::SendMessageW(list->m_hWnd, WM_APPLY_SCROLLINFO, reinterpret_cast<WPARAM>(list->GetVertBar()),
                           reinterpret_cast<LPARAM>(&foreign)),
            0);
  EXPECT_EQ(::SendMessageW(list->m_hWnd, WM_APPLY_SCROLLINFO, 0, 0), 0);
  EXPECT_EQ(Info(list->GetVertBar()).nMax, 9);
  EXPECT_EQ(Info(list->GetHorzBar()).nMax, 11);
}

// --- Notices ---------------------------------------------------------------

TEST_F(BlockListFixture, ActivationSortAndKeysReachTheParent) {
  list->ResetList(0, 2);
  SimSortedList page(data, 40, 0, 10);
  list->FillRelatedQuotes(engine, nullptr, &page.area);
  desk->RunUntilIdle();
  // Row 3 lies below the 26-pixel header, 26 pixels a row; the grid sits at (1, 1).
  desk->DoubleClick(Grid()->m_hWnd, 40, 26 + 3 * 26 + 13);
  desk->RunUntilIdle();
  auto picks = parent.Of(WM_BLOCK_LIST_PICK);
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0].wParam, reinterpret_cast<WPARAM>(Grid()));
  EXPECT_EQ(picks[0].lParam, 3);

  parent.log.clear();
  EXPECT_EQ(::SendMessageW(list->m_hWnd, WM_GRID_ACTIVATE, reinterpret_cast<WPARAM>(Grid()), -1), 1);
  ::SendMessageW(list->m_hWnd, WM_GRID_SORT, 5, -1);
  ::SendMessageW(list->m_hWnd, WM_GRID_SORT, 5, 1);
  ::SendMessageW(list->m_hWnd, WM_KEYDOWN, VK_F1, 3);
  desk->RunUntilIdle();
  EXPECT_TRUE(parent.Of(WM_BLOCK_LIST_PICK).empty());
  auto sorts = parent.Of(WM_GRID_SORT);
  ASSERT_EQ(sorts.size(), 2u);
  EXPECT_EQ(sorts[0].wParam, reinterpret_cast<WPARAM>(list.get()));
  EXPECT_EQ(sorts[0].lParam, static_cast<LPARAM>(0xFFFF0005u));
  EXPECT_EQ(sorts[1].lParam, static_cast<LPARAM>(5 | 1 << 16));
  auto keys = parent.Of(WM_KEYDOWN);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_F1));
  EXPECT_EQ(keys[0].lParam, 3);

  // A click on a sortable header goes through the grid.
  parent.log.clear();
  desk->Click(Grid()->m_hWnd, 80 + 20 + 40, 13);  // "现价"
  desk->RunUntilIdle();
  sorts = parent.Of(WM_GRID_SORT);
  ASSERT_EQ(sorts.size(), 1u);
  EXPECT_EQ(sorts[0].lParam & 0xFFFF, 2);
}

TEST_F(BlockListFixture, CommandsReachTheThirdParentOnly) {
  RecordingWnd top, middle, inner;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"top", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 300), nullptr, 0));
  ASSERT_TRUE(middle.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 300), &top, 1));
  ASSERT_TRUE(inner.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 300), &middle, 2));
  CBlockListView deep;
  ASSERT_TRUE(deep.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 300), &inner, 3));
  ::SendMessageW(deep.m_hWnd, WM_COMMAND, 4321, 0);
  desk->RunUntilIdle();
  auto notices = top.Of(WM_LIST_COMMAND_NOTICE);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].wParam, 4321u);
  EXPECT_EQ(notices[0].lParam, 0);
  EXPECT_TRUE(middle.Of(WM_LIST_COMMAND_NOTICE).empty());
  EXPECT_TRUE(inner.Of(WM_LIST_COMMAND_NOTICE).empty());

  // The fixture's list has one parent: nobody is told.
  ::SendMessageW(list->m_hWnd, WM_COMMAND, 4321, 0);
  desk->RunUntilIdle();
  EXPECT_TRUE(parent.Of(WM_LIST_COMMAND_NOTICE).empty());
  deep.DestroyWindow();
  top.DestroyWindow();
}

TEST_F(BlockListFixture, LayoutAndFrame) {
  list->ResetList(0, 0);
  list->ShowList(0);
  desk->RunUntilIdle();
  CRect g, h, v;
  Grid()->GetWindowRect(&g);
  list->GetHorzBar()->GetWindowRect(&h);
  list->GetVertBar()->GetWindowRect(&v);
  EXPECT_EQ(g, CRect(1, 1, 683, 283));
  EXPECT_EQ(h.left, 1);
  EXPECT_EQ(h.bottom, 299);
  EXPECT_EQ(h.Height(), 16);
  EXPECT_EQ(v.top, 1);
  EXPECT_EQ(v.right, 699);
  EXPECT_EQ(v.Width(), 16);
  const QImage shot = desk->Snapshot(parent.m_hWnd);
  EXPECT_EQ(shot.pixel(0, 0) & 0xFFFFFF, 0u) << "the frame is black";
  EXPECT_EQ(shot.pixel(699, 150) & 0xFFFFFF, 0u);
  int column = -9, order = -9;
  Grid()->GetSortState(&column, &order);
  EXPECT_EQ(column, 0);
  EXPECT_EQ(order, 0);
}

// --- Threads ---------------------------------------------------------------

TEST_F(BlockListFixture, WorkerFillsWhileTheUiScrollsResizesAndResets) {
  list->ResetList(0, 2);
  // Pages of different lengths, decoded beforehand; the worker cycles them.
  std::vector<std::unique_ptr<SimSortedList>> pages;
  for (int rows : {3, 12, 7, 20}) pages.push_back(std::make_unique<SimSortedList>(data, 40, rows, rows));
  constexpr int kFills = 300;
  std::atomic<bool> stopUi{false}, uiStopped{false};
  std::thread worker([&] {
    for (int i = 0; i < kFills; ++i) {
      if (i == kFills - 1) {
        stopUi = true;
        while (!uiStopped) std::this_thread::yield();
      }
      const SortedQuoteListArea* area = &pages[static_cast<size_t>(i) % pages.size()]->area;
      if (i % 3 == 0) list->FillFundFlow(engine, nullptr, area, 0);
      else list->FillRelatedQuotes(engine, nullptr, area);
    }
  });
  int step = 0;
  while (!stopUi) {
    switch (step++ % 5) {
      case 0: VScroll(SB_LINEDOWN, 0); break;
      case 1: HScroll(SB_LINERIGHT); break;
      case 2: list->MoveWindow(CRect(0, 0, 500 + step % 200, 200 + step % 100)); break;
      case 3: ::SendMessageW(list->m_hWnd, WM_GRID_SCROLL, static_cast<WPARAM>(step % 9), 0); break;
      case 4: list->ResetList(step % 2, 2); break;
    }
    desk->RunUntilIdle();
  }
  uiStopped = true;
  worker.join();
  desk->RunUntilIdle();
  // The last fill (index kFills - 1: related quotes of the page 299 % 4).
  const SortedQuoteListArea& last = pages[(kFills - 1) % pages.size()]->area;
  ASSERT_EQ(Grid()->GetRowCount(), last.recordCount + 1);
  EXPECT_EQ(Grid()->GetColumnCount(), 16);
  for (int i = 0; i < last.recordCount; ++i)
    EXPECT_EQ(Utf8(At(i + 1, 0).text), std::string(last.list.records[i].key.name)) << i;
  EXPECT_EQ(Info(list->GetVertBar()).nMax, last.recordCount - 1);
}

}  // namespace
