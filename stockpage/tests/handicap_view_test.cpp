// The quote summary: the row model for the edge cases of the record, and
// what a paint draws (labels, title row, lines, colours) at the page's
// sizes.
#include "stockpage/tests/panels_test_support.h"

using namespace board_test;
using namespace panel_test;

namespace {

QuoteRecord StockRecord() {
  QuoteRecord q{};
  q.key = Key("600000", "浦发银行", 1);
  q.previousClose = 10.0f;
  q.open = 10.1f;
  q.high = 10.5f;
  q.low = 9.8f;
  q.lastPrice = 10.2f;
  q.change = 0.2f;
  q.limitUp = 11.0f;
  q.limitDown = 9.0f;
  q.turnoverRate = 123;
  q.volumeRatio = 12399;
  q.totalVolume = 123456789;
  q.amount = 12345;
  q.outerVolume = 60000;
  q.innerVolume = 63456789;
  return q;
}

std::u16string Value(const HandicapRows& rows, int row, int column) { return rows.cells[row][column].value; }

TEST(HandicapRows, NoRecordGivesTheStockLabelsOnly) {
  HandicapRows rows;
  BuildHandicapRows(nullptr, &rows);
  EXPECT_FALSE(rows.futures);
  EXPECT_EQ(std::u16string(rows.cells[0][0].label), u"现价");
  EXPECT_EQ(std::u16string(rows.cells[5][1].label), u"量比");
  for (auto& row : rows.cells)
    for (auto& cell : row) EXPECT_EQ(cell.value[0], 0);
}

TEST(HandicapRows, StockValuesAndEdgeCases) {
  QuoteRecord q = StockRecord();
  HandicapRows rows;
  BuildHandicapRows(&q, &rows);
  EXPECT_EQ(Value(rows, 0, 0), u"10.20");
  EXPECT_EQ(rows.cells[0][0].color, panel::kRed);
  EXPECT_EQ(Value(rows, 2, 0), u"2.00%");
  EXPECT_EQ(Value(rows, 3, 1), u"0.10");
  EXPECT_EQ(Value(rows, 5, 0), u"1.23%");
  EXPECT_EQ(rows.cells[5][0].color, panel::kYellow);
  EXPECT_EQ(Value(rows, 5, 1), u"1.23");
  EXPECT_EQ(rows.cells[5][1].color, panel::kRed);
  EXPECT_EQ(Value(rows, 6, 0), u"1.23亿");
  EXPECT_EQ(Value(rows, 6, 1), u"1.23万");
  EXPECT_EQ(rows.cells[7][0].color, panel::kRed);
  EXPECT_EQ(rows.cells[7][1].color, panel::kGreen);

  // Last price 0.
  q = StockRecord();
  q.lastPrice = 0;
  BuildHandicapRows(&q, &rows);
  EXPECT_EQ(Value(rows, 0, 0), u"-");
  EXPECT_EQ(rows.cells[0][0].color, panel::kGreen) << "0 against the previous close";
  EXPECT_EQ(Value(rows, 2, 0), u"0.00%");
  EXPECT_EQ(Value(rows, 3, 0), u"0.00%");

  // Open 0: 今涨 "-" in the colour of the cell before (今幅: 10.2 against 0).
  q = StockRecord();
  q.open = 0;
  BuildHandicapRows(&q, &rows);
  EXPECT_EQ(Value(rows, 0, 1), u"-");
  EXPECT_EQ(Value(rows, 3, 0), u"0.00%");
  EXPECT_EQ(Value(rows, 3, 1), u"-");
  EXPECT_EQ(rows.cells[3][1].color, rows.cells[3][0].color);
  EXPECT_EQ(rows.cells[3][1].color, panel::kRed);

  // 涨跌 0 is written; a zero previous close colours white and gives 0.00%.
  q = StockRecord();
  q.change = 0;
  q.previousClose = 0;
  q.lastPrice = 0;
  BuildHandicapRows(&q, &rows);
  EXPECT_EQ(Value(rows, 1, 0), u"0.00");
  EXPECT_EQ(rows.cells[1][0].color, panel::kWhite);
  EXPECT_EQ(Value(rows, 2, 0), u"0.00%");
  EXPECT_EQ(rows.cells[0][0].color, panel::kWhite);

  // A negative inner volume (total below outer) keeps its sign.
  q = StockRecord();
  q.totalVolume = 10000;
  q.outerVolume = 22345;
  SetUnflooredInnerVolume(&q);
  BuildHandicapRows(&q, &rows);
  EXPECT_EQ(Value(rows, 7, 1), u"-1.23万");

  // A decimals byte other than 2 prints three decimals.
  q = StockRecord();
  q.key.decimals = 3;
  BuildHandicapRows(&q, &rows);
  EXPECT_EQ(Value(rows, 0, 0), u"10.200");
}

TEST(HandicapRows, FuturesMarketsTakeTheFuturesRows) {
  for (int market : {3, 4, 5, 19, 2, 1}) {
    QuoteRecord q = StockRecord();
    q.key.market = static_cast<uint8_t>(market);
    q.previousSettlement = 10.3f;  // id 703: 10.2 is below it, 10.0 close too
    q.averagePrice = 10.4f;
    q.settlementPrice = 10.3f;
    q.currentVolume = 15;
    q.openInterest = 54321;
    q.openInterestChange = -12;
    HandicapRows rows;
    BuildHandicapRows(&q, &rows);
    const bool futures = market != 1 && market != 2;
    EXPECT_EQ(rows.futures, futures) << market;
    if (!futures) {
      EXPECT_EQ(rows.cells[0][0].color, panel::kRed) << "against the previous close";
      continue;
    }
    EXPECT_EQ(std::u16string(rows.cells[3][0].label), u"均价");
    EXPECT_EQ(rows.cells[0][0].color, panel::kGreen) << "现价 against id 703";
    EXPECT_EQ(rows.cells[0][1].color, panel::kGreen) << "今开 against id 703";
    EXPECT_EQ(rows.cells[1][1].color, panel::kRed) << "最高 against id 703";
    EXPECT_EQ(rows.cells[1][0].color, panel::kRed) << "涨跌 by sign";
    EXPECT_EQ(Value(rows, 2, 0), u"-0.97%");
    EXPECT_EQ(rows.cells[3][0].color, panel::kRed);
    EXPECT_EQ(Value(rows, 3, 1), u"10.00");
    EXPECT_EQ(rows.cells[3][1].color, panel::kGreen) << "昨收 against id 703";
    EXPECT_EQ(Value(rows, 4, 0), u"15");
    EXPECT_EQ(rows.cells[4][1].color, panel::kWhite) << "结算 equal to id 703";
    EXPECT_EQ(Value(rows, 6, 0), u"5.43万");
    EXPECT_EQ(Value(rows, 6, 1), u"-12");
  }
}

class HandicapPaint : public ViewFixture<Recording<CHandicapView>> {};

TEST_F(HandicapPaint, NoRecordDrawsLabelsAndInIndexModeAnEmptyTitleBar) {
  Make(202, 186);
  std::vector<TextCall> calls = Calls();
  EXPECT_EQ(calls.size(), 16u) << "labels only";
  EXPECT_EQ(Find(calls, u"现价")->rect.top, 0);
  QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, 100, 10), 0x000000u);
  view->SetIndexMode(1);
  calls = Calls();
  EXPECT_EQ(calls.size(), 16u);
  EXPECT_EQ(Find(calls, u"现价")->rect.top, 26);
  EXPECT_EQ(Find(calls, u"外盘")->rect.bottom, 186) << "186 px with the title";
  img = Paint();
  EXPECT_EQ(PixelRgb(img, 100, 10), 0x292929u) << "empty title bar";
}

TEST_F(HandicapPaint, StockRenderProbes) {
  Make(202, 186);
  const QuoteRecord q = StockRecord();
  view->SetQuote(&q);
  const std::vector<TextCall> calls = Calls();
  const TextCall* last = Find(calls, u"10.20");
  ASSERT_TRUE(last);
  // Left cell 1 .. 1 + (202 - 4) / 2 = 100, right cell 102 .. 201.
  EXPECT_EQ(last->rect.left, 1);
  EXPECT_EQ(last->rect.right, 100);
  EXPECT_EQ(last->alignment, 2);
  EXPECT_EQ(Find(calls, u"今开")->rect.left, 102);
  EXPECT_EQ(Find(calls, u"今开")->rect.right, 201);
  EXPECT_FALSE(Find(calls, u"600000  浦发银行")) << "no title in the stock layout";
  EXPECT_EQ(Find(calls, u"外盘")->rect.bottom, 160) << "the stock layout needs 160 px";

  const QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, 0, 100), 0x303030u) << "left line";
  EXPECT_EQ(PixelRgb(img, 150, 0), 0x303030u) << "line at the top of row 1";
  EXPECT_EQ(PixelRgb(img, 150, 140), 0x303030u) << "line at the top of row 8";
  EXPECT_EQ(PixelRgb(img, 150, 170), 0x000000u) << "black background";
  EXPECT_TRUE(HasColor(img, 0xFF0000, 50, 1, 100, 19)) << "red 现价 above the previous close";
}

TEST_F(HandicapPaint, FuturesLayoutHasItsTitleAndClipsRowsBelowTheWindow) {
  Make(270, 150);
  QuoteRecord q = StockRecord();
  q.key = Key("IF2406", "沪深主连", 3, 2, 0);
  q.previousSettlement = 10.0f;
  view->SetQuote(&q);
  const std::vector<TextCall> calls = Calls();
  const TextCall* title = Find(calls, u"IF2406  沪深主连");
  ASSERT_TRUE(title) << "title although the index flag is 0";
  EXPECT_EQ(title->color, 0xFFFF00u);
  EXPECT_EQ(Find(calls, u"外盘")->rect.bottom, 186) << "the futures layout needs 186 px";
  const QImage img = Paint();
  EXPECT_TRUE(HasColor(img, 0xFFFF00, 40, 2, 230, 24)) << "yellow title text";
  EXPECT_EQ(img.height(), 150);
}

}  // namespace
