// The column catalogue: every set's columns (header, width, format, sortable
// flag), the cell rules, the grid layout a set makes, and the row numbers of
// the table's fills from a hand-built reply copy.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controls/grid_ctrl.h"
#include "quotes/column_sets.h"
#include "quotes/quote_formats.h"

namespace {

std::string Utf8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// "header/width/format/sortable" of every column, joined by spaces.
std::string Describe(const ColumnSet& set) {
  std::string out;
  char buffer[64];
  for (const ColumnDef& c : set.columns) {
    std::snprintf(buffer, sizeof buffer, "/%d/%x/%d", c.width, c.format, c.sortable);
    if (!out.empty()) out += ' ';
    out += (c.header.empty() ? std::string("_") : Utf8(c.header)) + buffer;
  }
  return out;
}

TEST(ColumnSets, EverySetColumnByColumn) {
  const std::string stockHead = "序号/40/26/0 _/20/25/0 代码/80/26/1 名称/90/26/0 ";
  const std::string stockBody =
      "现价/70/26/1 涨跌/80/26/1 涨幅/80/26/1 总量/80/26/1 换手率/80/26/1 现量/80/26/1 昨收/80/26/1 "
      "今开/80/26/1 最高/80/26/1 最低/80/26/1 量比/70/26/1 委比/70/26/1 振幅/70/26/1 内盘/80/26/0 外盘/80/26/0 ";
  struct Case {
    const char* name;
    ColumnSet set;
    size_t count;
    std::string columns;
  } const cases[] = {
      {"stock list", StockListSet(90, false), 22,
       stockHead + stockBody + "买一/70/26/0 卖一/70/26/0 市盈率/70/26/1"},
      {"stock list of Hong Kong", StockListSet(150, false), 22,
       "序号/40/26/0 _/20/25/0 代码/80/26/1 名称/150/26/0 " + stockBody + "买一/70/26/0 卖一/70/26/0 市盈率/70/26/1"},
      {"stock list with its market", StockListSet(90, true), 22,
       "序号/40/26/0 所属市场/90/26/0 代码/80/26/1 名称/90/26/0 " + stockBody +
           "买一/70/26/0 卖一/70/26/0 市盈率/70/26/1"},
      {"own stocks", OwnStockSet(), 22,
       "序号/40/26/1 _/20/25/0 代码/80/8026/1 名称/90/8026/0 现价/70/26/1 涨跌/80/26/1 涨幅/80/26/1 总量/80/26/1 "
       "换手率/80/26/1 现量/80/26/1 昨收/80/26/1 今开/80/26/1 最高/80/26/1 最低/80/26/1 量比/70/26/1 委比/70/26/1 "
       "振幅/70/26/1 内盘/80/26/1 外盘/80/26/1 买一/70/26/1 卖一/70/26/1 市盈率/70/26/1"},
      {"block list", BlockListSet(), 20,
       "序号/40/26/0 _/20/25/0 代码/80/8026/1 名称/90/8026/0 " + stockBody + "市盈率/70/26/1"},
      {"index table", IndexTableSet(150), 20,
       "序号/40/26/0 _/20/25/0 代码/80/26/0 名称/150/26/0 现价/80/26/0 涨跌/80/26/0 涨幅/80/26/0 总量/80/26/0 "
       "换手率/80/26/0 现量/80/26/0 昨收/80/26/0 今开/80/26/0 最高/80/26/0 最低/80/26/0 量比/70/26/0 委比/70/26/0 "
       "振幅/70/26/0 内盘/80/26/0 外盘/80/26/0 市盈率/70/26/0"},
      {"index category", IndexCategorySet(90), 19,
       "序号/40/26/0 _/20/25/0 代码/80/26/0 名称/90/26/0 现价/80/26/0 涨跌/80/26/0 涨幅/80/26/0 总量/80/26/0 "
       "换手率/80/26/0 现量/80/26/0 昨收/80/26/0 今开/80/26/0 最高/80/26/0 最低/80/26/0 量比/70/26/0 委比/70/26/0 "
       "振幅/70/26/0 内盘/80/26/0 外盘/80/26/0"},
      {"index futures", FuturesSet(true), 28,
       "序号/40/26/0 _/20/25/0 代码/80/26/0 名称/90/26/0 现价/80/26/0 涨幅/80/26/0 涨跌/80/26/0 期现差/80/26/0 "
       "叫买/80/26/0 叫卖/80/26/0 买量/80/26/0 卖量/80/26/0 现手/80/26/0 总手/80/26/0 持仓量/80/26/0 增仓/80/26/0 "
       "日增仓/80/26/0 金额/80/26/0 昨结/80/26/0 今结/80/26/0 振幅/70/26/0 量比/70/26/0 昨收/80/26/0 今开/80/26/0 "
       "最高/80/26/0 最低/80/26/0 内盘/80/26/0 外盘/80/26/0"},
      {"commodity futures", FuturesSet(false), 27,
       "序号/40/26/0 _/20/25/0 代码/80/26/0 名称/90/26/0 现价/80/26/0 涨幅/80/26/0 涨跌/80/26/0 "
       "叫买/80/26/0 叫卖/80/26/0 买量/80/26/0 卖量/80/26/0 现手/80/26/0 总手/80/26/0 持仓量/80/26/0 增仓/80/26/0 "
       "日增仓/80/26/0 金额/80/26/0 昨结/80/26/0 今结/80/26/0 振幅/70/26/0 量比/70/26/0 昨收/80/26/0 今开/80/26/0 "
       "最高/80/26/0 最低/80/26/0 内盘/80/26/0 外盘/80/26/0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.set.columns.size(), c.count) << c.name;
    EXPECT_EQ(Describe(c.set), c.columns) << c.name;
    EXPECT_EQ(c.set.keyColumn, 2) << c.name;
    EXPECT_EQ(c.set.flashColumn, 4) << c.name;
  }
}

TEST(ColumnSets, SortCodesByGridColumn) {
  struct Case {
    const char* name;
    ColumnSet set;
    std::vector<int> codes;  // grid columns 0..n-1
  } const cases[] = {
      {"22 columns", StockListSet(90, false),
       {0, 0, 1, 0, 8, 35, 34, 9, 37, 10, 4, 5, 6, 7, 33, 38, 41, 0, 0, 0, 0, 40}},
      {"20-column blocks", BlockListSet(), {0, 0, 1, 0, 8, 35, 34, 9, 37, 10, 4, 5, 6, 7, 33, 38, 41, 0, 0, 40}},
      {"index table", IndexTableSet(90), std::vector<int>(20, 0)},
      {"own stocks (sorted locally)", OwnStockSet(), std::vector<int>(22, 0)},
  };
  for (const Case& c : cases) {
    for (size_t col = 0; col < c.codes.size(); ++col)
      EXPECT_EQ(ColumnSortCode(c.set, static_cast<int>(col)), c.codes[col]) << c.name << " column " << col;
    EXPECT_EQ(ColumnSortCode(c.set, static_cast<int>(c.codes.size())), 0) << c.name;
    EXPECT_EQ(ColumnSortCode(c.set, -1), 0) << c.name;
  }
}

QuoteRecord Record() {
  QuoteRecord r{};
  std::memcpy(r.key.code, "600000", 6);
  std::memcpy(r.key.name, "浦发银行", std::strlen("浦发银行"));
  r.key.decimals = 2;
  r.key.market = 1;
  r.key.kind = 2;
  r.previousClose = 10.0f;
  r.lastPrice = 10.5f;
  r.change = 0.5f;
  r.changePercent = 500;
  r.volumeRatio = 10000;
  r.previousSettlement = 11.0f;
  return r;
}

struct Cell {
  std::u16string text;
  COLORREF color;
};

Cell CellOf(const ColumnSet& set, int column, const QuoteRecord& r, bool own = false, int number = 1) {
  char16_t out[64];
  std::fill(std::begin(out), std::end(out), u'#');
  COLORREF color = 0x123456;
  FormatSetCell(set, column, r, number, own, out, 64, &color);
  return {out, color};
}

TEST(ColumnSets, CellRules) {
  const ColumnSet stocks = StockListSet(90, false);
  const ColumnSet futures = FuturesSet(true);
  const ColumnSet markets = StockListSet(90, true);
  struct Case {
    const char* name;
    const ColumnSet* set;
    int column;
    void (*edit)(QuoteRecord*);
    bool own;
    std::u16string text;
    COLORREF color;
  } const cases[] = {
      {"price above the close", &stocks, 4, [](QuoteRecord*) {}, false, u"10.50", kQuoteRise},
      {"price 0.0", &stocks, 4, [](QuoteRecord* r) { r->lastPrice = 0.0f; }, false, u"-", kQuoteFall},
      {"price equal", &stocks, 4, [](QuoteRecord* r) { r->lastPrice = 10.0f; }, false, u"10.00", kQuoteFlat},
      {"three decimals", &stocks, 4, [](QuoteRecord* r) { r->key.decimals = 3; }, false, u"10.500", kQuoteRise},
      {"change exactly 0.0", &stocks, 5, [](QuoteRecord* r) { r->change = 0.0f; }, false, u"-", kQuoteRise},
      {"percent 0", &stocks, 6, [](QuoteRecord* r) { r->changePercent = 0; }, false, u"0.00%", kQuoteRise},
      {"volume 9,999", &stocks, 7, [](QuoteRecord* r) { r->totalVolume = 9999; }, false, u"9999", kQuoteCode},
      {"volume 10,000", &stocks, 7, [](QuoteRecord* r) { r->totalVolume = 10000; }, false, u"1.00万", kQuoteCode},
      {"volume 1e8", &stocks, 7, [](QuoteRecord* r) { r->totalVolume = 100000000; }, false, u"1.00亿", kQuoteCode},
      {"volume -20,000", &stocks, 9, [](QuoteRecord* r) { r->currentVolume = -20000; }, false, u"-2.00万",
       kQuoteVolume},
      {"volume 0", &stocks, 7, [](QuoteRecord*) {}, false, u"-", kQuoteCode},
      {"volume ratio 1.00", &stocks, 14, [](QuoteRecord*) {}, false, u"1.00", kQuoteFlat},
      {"volume ratio 0", &stocks, 14, [](QuoteRecord* r) { r->volumeRatio = 0; }, false, u"-", kQuoteFall},
      {"order ratio below 0", &stocks, 15, [](QuoteRecord* r) { r->orderRatio = -150; }, false, u"-1.50%",
       kQuoteFall},
      {"order ratio above 0", &stocks, 15, [](QuoteRecord* r) { r->orderRatio = 150; }, false, u"1.50%", kQuoteRise},
      {"close always flat", &stocks, 10, [](QuoteRecord*) {}, false, u"10.00", kQuoteFlat},
      {"inner volume green", &stocks, 17, [](QuoteRecord* r) { r->innerVolume = 500; }, false, u"500", kQuoteFall},
      {"outer volume red", &stocks, 18, [](QuoteRecord* r) { r->outerVolume = 700; }, false, u"700", kQuoteRise},
      {"code of a stock", &stocks, 2, [](QuoteRecord*) {}, false, u" 600000", kQuoteCode},
      {"code of an own stock", &stocks, 2, [](QuoteRecord*) {}, true, u" 600000", kQuoteOwnStock},
      {"name of an own stock", &stocks, 3, [](QuoteRecord*) {}, true, u"浦发银行", kQuoteOwnStock},
      {"row number", &stocks, 0, [](QuoteRecord*) {}, false, u"41", kQuoteFlat},
      {"market 1", &markets, 1, [](QuoteRecord*) {}, false, u"上证", kQuoteCode},
      {"market 2", &markets, 1, [](QuoteRecord* r) { r->key.market = 2; }, false, u"深证", kQuoteCode},
      {"market 3", &markets, 1, [](QuoteRecord* r) { r->key.market = 3; }, false, u"香港", kQuoteCode},
      {"market 4", &markets, 1, [](QuoteRecord* r) { r->key.market = 4; }, false, u"期货", kQuoteCode},
      {"market 5", &markets, 1, [](QuoteRecord* r) { r->key.market = 5; }, false, u"", kQuoteCode},
      // Futures compare with the previous settlement (11.0).
      {"futures price below settlement", &futures, 4, [](QuoteRecord*) {}, false, u"10.50", kQuoteFall},
      {"futures settlement flat", &futures, 18, [](QuoteRecord*) {}, false, u"11.00", kQuoteFlat},
      {"futures basis by sign", &futures, 7, [](QuoteRecord* r) { r->basis = -2.5f; }, false, u"-2.50", kQuoteFall},
      {"futures 内盘 is the outer volume", &futures, 26, [](QuoteRecord* r) { r->outerVolume = 30; }, false, u"30",
       kQuoteRise},
      {"futures 外盘 is the inner volume", &futures, 27, [](QuoteRecord* r) { r->innerVolume = 40; }, false, u"40",
       kQuoteFall},
      {"futures amount aqua", &futures, 17, [](QuoteRecord* r) { r->amount = 20000; }, false, u"2.00万",
       kQuoteAmount},
  };
  for (const Case& c : cases) {
    QuoteRecord r = Record();
    c.edit(&r);
    const Cell cell = CellOf(*c.set, c.column, r, c.own, 41);
    EXPECT_EQ(cell.text, c.text) << c.name;
    EXPECT_EQ(cell.color, c.color) << c.name;
  }
}

TEST(ColumnSets, VariantsChangeOnlyWhatTheySay) {
  ColumnSet board = StockListSet(90, false);
  board.SetHeader(6, u"涨速");
  board.SetCodeNameFormat(kCellRightEllipsis);
  board.SetSortable({0, 6});
  board.keyColumn = -1;
  const ColumnSet plain = StockListSet(90, false);
  EXPECT_EQ(board.columns[6].header, u"涨速");
  EXPECT_EQ(board.columns[2].format, kCellRightEllipsis);
  EXPECT_EQ(board.columns[3].format, kCellRightEllipsis);
  EXPECT_EQ(board.columns[4].format, kCellRight);
  for (size_t c = 0; c < board.columns.size(); ++c)
    EXPECT_EQ(board.columns[c].sortable, (c == 0 || c == 6) ? 1 : 0) << c;
  EXPECT_EQ(plain.columns[6].header, u"涨幅");
  EXPECT_EQ(plain.keyColumn, 2);
}

TEST(ColumnSets, LayoutAndRowsInTheGrid) {
  CGridCtrl grid;
  const ColumnSet set = BlockListSet();
  grid.SetRowCount(3);
  ApplyColumnSet(&grid, set);
  QuoteRecord r = Record();
  r.peRatio = 123456;
  FillSetRow(&grid, set, 1, r, 2, false);
  EXPECT_EQ(grid.GetColumnCount(), 20);
  EXPECT_EQ(grid.GetKeyColumn(), 2);
  EXPECT_EQ(grid.GetColumnWidth(19), 70);
  EXPECT_EQ(grid.GetColumnSortable(19), 1);
  WString text;
  COLORREF color = 0;
  UINT format = 0;
  ASSERT_TRUE(grid.GetCell(0, 19, &text, &color, &format));
  EXPECT_EQ(text, u"市盈率");
  EXPECT_EQ(color, kQuoteHeader);
  ASSERT_TRUE(grid.GetCell(2, 19, &text, &color, &format));
  EXPECT_EQ(text, u"12.35");
  EXPECT_EQ(color, kQuoteVolume);
  ASSERT_TRUE(grid.GetCell(2, 0, &text, &color, &format));
  EXPECT_EQ(text, u"2");
  ASSERT_TRUE(grid.GetCell(2, 2, &text, &color, &format));
  EXPECT_EQ(format, kCellRightEllipsis);
  ASSERT_TRUE(grid.GetCell(2, 1, &text, &color, &format));
  EXPECT_EQ(text, u"");  // the blank column gets no cell
}

}  // namespace
