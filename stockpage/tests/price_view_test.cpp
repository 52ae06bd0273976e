// The bid/ask board and the index board: texts, rectangles and colours of
// each paint (recorded), pixels where a colour matters, and bad records.
#include "stockpage/tests/board_test_support.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace board_test;

namespace {

constexpr int kW = 202;
constexpr int kH = 226;
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kWhite = 0xFFFFFF, kYellow = 0xFFFF00;

QuoteRecord Stock(float reference, uint8_t decimals = 2, uint8_t market = 1) {
  QuoteRecord q{};
  std::strcpy(q.key.code, "600000");
  std::strcpy(q.key.name, "浦发银行");
  q.key.decimals = decimals;
  q.key.market = market;
  q.key.kind = 2;
  q.previousClose = reference;
  q.askPrice1 = reference + 0.01f;
  q.bidPrice1 = reference - 0.01f;
  q.askVolume1 = 100;
  q.bidVolume1 = 200;
  return q;
}

// The price and volume calls of row i (0 = top row) when the title is shown.
struct Row {
  const TextCall* price = nullptr;
  const TextCall* volume = nullptr;
};

Row RowAt(const std::vector<TextCall>& calls, int top) {
  Row row;
  for (const TextCall& c : calls) {
    if (c.rect.top != top || c.color == 0xAAAAAA) continue;
    if (c.alignment == 1) row.price = &c;
    if (c.alignment == 2) row.volume = &c;
  }
  return row;
}

class PriceView : public ViewFixture<RecordingPriceView> {};

TEST_F(PriceView, ClearedStockLayoutShowsTenLevelLabelsOnly) {
  Make(kW, kH);
  QuoteRecord q = Stock(10.0f);
  view->SetQuote(&q);
  view->Clear();
  const std::vector<TextCall> calls = Calls();
  EXPECT_EQ(view->LevelMode(), 0);
  const char16_t* expected[] = {u"卖⑩", u"卖⑨", u"卖⑧", u"卖⑦", u"卖⑥", u"卖⑤", u"卖④", u"卖③", u"卖②", u"卖①",
                                u"买①", u"买②", u"买③", u"买④", u"买⑤", u"买⑥", u"买⑦", u"买⑧", u"买⑨", u"买⑩"};
  ASSERT_EQ(calls.size(), 20u) << "labels only: no title text, no figures";
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(calls[i].text, expected[i]) << i;
    EXPECT_EQ(calls[i].rect.top, 26 + 20 * i) << i;
    EXPECT_EQ(calls[i].rect.left, 2);
    EXPECT_EQ(calls[i].rect.right, kW / 2 + 2);
    EXPECT_EQ(calls[i].color, 0xAAAAAAu);
  }
  const QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, kW / 2, 13), 0x292929u) << "an empty title band";
  EXPECT_EQ(PixelRgb(img, kW / 2, 26), 0x303030u) << "the line at y0";
  EXPECT_EQ(PixelRgb(img, kW - 20, 100), 0x000000u);
}

TEST_F(PriceView, FiveLevelsColouredAgainstTheReference) {
  Make(kW, kH);
  QuoteRecord q = Stock(10.0f);
  q.askPrice2 = 10.0f;   // equal: white
  q.askPrice3 = 0.0f;    // missing, reference above 0: "-" in green
  q.bidPrice2 = 10.5f;   // above: red
  view->SetQuote(&q);
  std::vector<TextCall> calls = Calls();
  EXPECT_EQ(view->LevelMode(), 1);
  ASSERT_TRUE(Find(calls, u"600000  浦发银行"));
  EXPECT_EQ(Find(calls, u"600000  浦发银行")->color, kYellow);
  EXPECT_FALSE(Find(calls, u"卖⑥")) << "five levels";
  // Rows: 卖⑤ 卖④ 卖③ 卖② 卖① 买① 买② ...
  auto row = [&](int i) { return RowAt(calls, 26 + 20 * i); };
  ASSERT_TRUE(row(4).price && row(5).price && row(2).price && row(3).price && row(6).price);
  EXPECT_EQ(row(4).price->text, u"10.01");
  EXPECT_EQ(row(4).price->color, kRed);
  EXPECT_EQ(row(5).price->text, u"9.99");
  EXPECT_EQ(row(5).price->color, kGreen);
  EXPECT_EQ(row(3).price->color, kWhite);
  EXPECT_EQ(row(2).price->text, u"-");
  EXPECT_EQ(row(2).price->color, kGreen);
  EXPECT_EQ(row(6).price->color, kRed);
  EXPECT_EQ(row(4).volume->text, u"100");
  EXPECT_EQ(row(4).volume->color, kYellow);
  EXPECT_EQ(row(4).volume->rect.left, kW / 2 + 2);
  EXPECT_EQ(row(4).volume->rect.right, kW - 5);

  QuoteRecord zero = Stock(0.0f);
  zero.askPrice3 = 0.0f;
  view->SetQuote(&zero);
  calls = Calls();
  ASSERT_TRUE(row(2).price);
  EXPECT_EQ(row(2).price->text, u"-");
  EXPECT_EQ(row(2).price->color, kWhite) << "missing price with a reference of 0";
}

TEST_F(PriceView, VolumeTexts) {
  Make(kW, kH);
  struct Case {
    int64_t volume;
    std::u16string text;
  };
  const Case cases[] = {{0, u"-"}, {9999, u"9999"}, {10000, u"1.00万"}, {123456789, u"1.23亿"}, {-20000, u"-2.00万"}};
  for (const Case& c : cases) {
    QuoteRecord q = Stock(10.0f);
    q.askVolume1 = c.volume;
    view->SetQuote(&q);
    const std::vector<TextCall> calls = Calls();
    const Row r = RowAt(calls, 26 + 20 * 4);
    ASSERT_TRUE(r.volume);
    EXPECT_EQ(r.volume->text, c.text) << c.volume;
  }
}

TEST_F(PriceView, DecimalsByte) {
  Make(kW, kH);
  struct Case {
    uint8_t decimals;
    std::u16string text;
  };
  const Case cases[] = {{2, u"10.25"}, {3, u"10.250"}, {0, u"10.250"}, {1, u"10.250"}, {4, u"10.250"}};
  for (const Case& c : cases) {
    QuoteRecord q = Stock(10.0f, c.decimals);
    q.askPrice1 = 10.25f;
    view->SetQuote(&q);
    const std::vector<TextCall> calls = Calls();
    const Row r = RowAt(calls, 26 + 20 * 4);
    ASSERT_TRUE(r.price);
    EXPECT_EQ(r.price->text, c.text) << int(c.decimals);
  }
}

TEST_F(PriceView, FuturesColouredAgainstThePreviousSettlement) {
  EXPECT_TRUE(IsFuturesMarket(19));
  Make(kW, kH);
  for (uint8_t market : {uint8_t(1), uint8_t(19)}) {
    QuoteRecord q = Stock(10.0f, 2, market);
    q.previousSettlement = 11.0f;
    q.askPrice1 = 10.5f;  // above the close, below the settlement
    view->SetQuote(&q);
    const std::vector<TextCall> calls = Calls();
    const Row r = RowAt(calls, 26 + 20 * 4);
    ASSERT_TRUE(r.price);
    EXPECT_EQ(r.price->color, market == 19 ? kGreen : kRed) << int(market);
  }
}

TEST_F(PriceView, LabelAndVolumeWidthsComeFromThePaintDc) {
  Make(kW, kH);
  QuoteRecord q = Stock(10.0f);
  view->SetQuote(&q);
  std::vector<TextCall> calls = Calls();
  HDC fresh = ::GetDC(view->m_hWnd);
  const int labelWidth = MeasureTextWidth(fresh, u"买①", 1);
  const int narrowWidth = MeasureTextWidth(fresh, u"200", 1);
  const int wideWidth = MeasureTextWidth(fresh, u"1234.57亿", 1);
  ::ReleaseDC(view->m_hWnd, fresh);
  EXPECT_GT(labelWidth, 0);
  const Row before = RowAt(calls, 26);
  ASSERT_TRUE(before.price);
  EXPECT_EQ(before.price->rect.left, labelWidth);
  EXPECT_EQ(before.price->rect.right, kW - narrowWidth);
  const int rightBefore = before.price->rect.right;

  // A tenth-level volume, never shown in five levels, narrows the column.
  q.bidVolume10 = 123456789000;
  view->SetQuote(&q);
  calls = Calls();
  const Row after = RowAt(calls, 26);
  ASSERT_TRUE(after.price);
  EXPECT_EQ(after.price->rect.right, kW - wideWidth);
  EXPECT_LT(after.price->rect.right, rightBefore);
  EXPECT_FALSE(Find(calls, u"1234.57亿"));
}

TEST_F(PriceView, IndexRecordSwitchesToTheIndexBoard) {
  Make(kW, 200);
  QuoteRecord q = Stock(3000.0f);
  q.key.kind = 1;
  view->SetQuote(&q);
  const std::vector<TextCall> calls = Calls();
  EXPECT_EQ(view->LevelMode(), 2);
  EXPECT_TRUE(calls.empty()) << "no order-book rows, and nothing more without an index table";
}

TEST_F(PriceView, HiddenTitleStartsAtTheTop) {
  Make(kW, 200);
  view->SetLayoutMode(0);
  QuoteRecord q = Stock(10.0f);
  view->SetQuote(&q);
  const std::vector<TextCall> calls = Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].text, u"卖⑤");
  EXPECT_EQ(calls[0].rect.top, 0);
  EXPECT_FALSE(Find(calls, u"600000  浦发银行"));
  const Row r = RowAt(calls, 0);
  ASSERT_TRUE(r.price);
  const QImage img = Paint();
  EXPECT_NE(PixelRgb(img, kW / 2, 13), 0x292929u);
}

TEST_F(PriceView, DataRightChangesNothing) {
  Make(kW, kH);
  QuoteRecord q = Stock(10.0f);
  view->SetQuote(&q);
  const std::vector<std::u16string> before = Texts(Calls());
  for (int right : {0, 1, 2, -1}) {
    view->SetDataRight(right);
    EXPECT_EQ(Texts(Calls()), before) << right;
  }
}

TEST_F(PriceView, BadRecordsDrawBoundedTexts) {
  Make(kW, kH);
  QuoteRecord q = Stock(10.0f);
  std::memset(q.key.code, '7', sizeof q.key.code);
  std::memset(q.key.name, 'N', sizeof q.key.name);  // no terminator
  q.askPrice1 = std::numeric_limits<float>::quiet_NaN();
  q.askPrice2 = std::numeric_limits<float>::infinity();
  q.previousClose = std::numeric_limits<float>::quiet_NaN();
  q.askVolume1 = std::numeric_limits<int64_t>::min();
  q.bidVolume1 = std::numeric_limits<int64_t>::max();
  view->SetQuote(&q);
  const std::vector<TextCall> calls = Calls();
  EXPECT_TRUE(Find(calls, u"777777  NNNNNNNNNNNNNNNNNNNNNNNN"));
  EXPECT_TRUE(Find(calls, u"-92233720368.55亿"));
  EXPECT_TRUE(Find(calls, u"92233720368.55亿"));
  for (const TextCall& c : calls) EXPECT_LE(c.text.size(), 63u);
}

TEST_F(PriceView, EmptyWindowsDrawNothing) {
  for (SIZE size : {SIZE{0, 0}, SIZE{0, 50}, SIZE{50, 0}}) {
    RecordingPriceView v;
    ASSERT_TRUE(v.CreateEx(0, nullptr, u"board", WS_POPUP | WS_VISIBLE, CRect(0, 0, size.cx, size.cy), nullptr, 0));
    QuoteRecord q = Stock(10.0f);
    v.SetQuote(&q);
    v.Invalidate();
    desk->RunUntilIdle();
    EXPECT_TRUE(v.log.Calls().empty());
    v.DestroyWindow();
  }
}

TEST_F(PriceView, SimbrokerRecordsOfEachKind) {
  Make(kW, kH);
  simbroker::MarketData data(11);
  for (int i = 0; i < 10; ++i) data.Step();
  struct Case {
    const char* code;
    int market;
    int mode;
    size_t decimalsShown;  // digits after the point of the best ask
  };
  const Case cases[] = {{"600000", 1, 1, 2}, {"000001", 2, 1, 2}, {"510050", 1, 1, 3}, {"1A0001", 1, 2, 0}};
  for (const Case& c : cases) {
    QuoteRecord q{};
    ASSERT_TRUE(DecodeSimQuote(data, c.code, c.market, &q)) << c.code;
    view->SetQuote(&q);
    const std::vector<TextCall> calls = Calls();
    EXPECT_EQ(view->LevelMode(), c.mode) << c.code;
    if (c.mode == 2) continue;
    const Row best = RowAt(calls, 26 + 20 * 4);
    ASSERT_TRUE(best.price && best.volume) << c.code;
    const std::u16string& price = best.price->text;
    EXPECT_EQ(price.size() - price.find(u'.') - 1, c.decimalsShown) << c.code;
    EXPECT_EQ(best.price->color, q.askPrice1 > q.previousClose ? kRed : q.askPrice1 < q.previousClose ? kGreen : kWhite);
    EXPECT_NE(best.volume->text, u"-") << c.code;
  }
}

// ---------------------------------------------------------------------------
// The index board.

class IndexBoard : public ViewFixture<RecordingPriceView> {
 protected:
  void SetUp() override {
    ViewFixture::SetUp();
    Make(kW, 200);
    view->SetLayoutMode(0);
    index = QuoteRecord{};
    std::strcpy(index.key.code, "1A0001");
    std::strcpy(index.key.name, "上证指数");
    index.key.market = 1;
    index.key.kind = 1;
    index.key.decimals = 2;
  }
  void AddRow(const char* name, uint8_t market, float close, float last, uint8_t decimals = 2) {
    QuoteRecord& r = table->records[table->recordsHeld++];
    std::snprintf(r.key.name, sizeof r.key.name, "%s", name);
    r.key.market = market;
    r.key.kind = 1;
    r.key.decimals = decimals;
    r.previousClose = close;
    r.lastPrice = last;
    table->recordCount = static_cast<uint16_t>(table->recordsHeld);
  }
  QuoteRecord index{};
  std::unique_ptr<FieldTableArea> table = std::make_unique<FieldTableArea>();
};

TEST_F(IndexBoard, NoTableShowsBlackAndSideLines) {
  view->SetQuote(&index);
  const std::vector<TextCall> calls = Calls();
  EXPECT_TRUE(calls.empty());
  const QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, 0, 100), 0x303030u);
  EXPECT_EQ(PixelRgb(img, kW / 2, 10), 0x000000u);
  EXPECT_EQ(PixelRgb(img, kW / 2, 20), 0x000000u) << "no breadth line";
}

TEST_F(IndexBoard, BreadthRowReadsTheIndexCounts) {
  struct Case {
    int16_t rising, falling;
    std::u16string risingText, fallingText;
  };
  const Case cases[] = {{0, 7, u"-", u"7"}, {12345, 0, u"1.23万", u"-"}, {-3, 999, u"-3", u"999"}};
  AddRow("上证指数", 1, 3000.0f, 3010.0f);
  table->records[0].risingCount = 77;  // a row's counts are not the index's
  for (const Case& c : cases) {
    index.risingCount = c.rising;
    index.fallingCount = c.falling;
    view->SetQuote(&index);
    view->SetIndexTable(table.get());
    const std::vector<TextCall> calls = Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].text, u"上涨家");
    EXPECT_EQ(calls[1].text, c.risingText);
    EXPECT_EQ(calls[1].color, kRed);
    EXPECT_EQ(calls[1].alignment, 2);
    EXPECT_EQ(calls[1].rect.right, (kW - 10) / 2 + 2);
    EXPECT_EQ(calls[2].text, u"下跌家");
    EXPECT_EQ(calls[2].rect.left, (kW - 10) / 2 + 2 + 5);
    EXPECT_EQ(calls[3].text, c.fallingText);
    EXPECT_EQ(calls[3].color, kGreen);
  }
  const QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, kW / 2, 20), 0x303030u) << "the line under the breadth row";
}

TEST_F(IndexBoard, RowsOfTheIndexMarketWithoutGaps) {
  AddRow("上证指数", 1, 3000.0f, 3030.0f);   // above: red, 1.00%
  AddRow("深证成指", 2, 9000.0f, 9100.0f);   // other market: skipped
  AddRow("沪深300", 1, 3500.0f, 3500.0f);    // equal: white
  AddRow("上证50", 1, 2500.0f, 2475.0f);     // below: green
  AddRow("低价指数", 1, 0.4f, 0.5f, 3);      // last below 1: change "-" white
  AddRow("新指数", 1, 0.0f, 12.3f);          // close 0: "-" white
  view->SetQuote(&index);
  view->SetIndexTable(table.get());
  const std::vector<TextCall> calls = Calls();
  struct Expect {
    std::u16string name, price, change;
    uint32_t priceColor, changeColor;
  };
  const Expect rows[] = {{u"上证指数", u"3030.00", u"1.00%", kRed, kRed},
                         {u"沪深300", u"3500.00", u"0.00%", kWhite, kWhite},
                         {u"上证50", u"2475.00", u"-1.00%", kGreen, kGreen},
                         {u"低价指数", u"0.500", u"-", kRed, kWhite},
                         {u"新指数", u"12.30", u"-", kRed, kWhite}};
  ASSERT_EQ(calls.size(), 4u + 3 * std::size(rows));
  EXPECT_FALSE(Find(calls, u"深证成指"));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const TextCall* c = &calls[4 + 3 * i];
    const int top = 20 + 20 * static_cast<int>(i);
    EXPECT_EQ(c[0].text, rows[i].name);
    EXPECT_EQ(c[0].rect.top, top) << "no gap";
    EXPECT_EQ(c[0].color, 0xAAAAAAu);
    EXPECT_EQ(c[1].text, rows[i].price);
    EXPECT_EQ(c[1].color, rows[i].priceColor);
    EXPECT_EQ(c[1].rect.left, kW / 3 + 10);
    EXPECT_EQ(c[2].text, rows[i].change);
    EXPECT_EQ(c[2].color, rows[i].changeColor) << Utf8(rows[i].name);
    EXPECT_EQ(c[2].alignment, 2);
  }
}

TEST_F(IndexBoard, TableWithoutTheMarketLeavesTheBreadthRow) {
  AddRow("深证成指", 2, 9000.0f, 9100.0f);
  view->SetQuote(&index);
  view->SetIndexTable(table.get());
  EXPECT_EQ(Calls().size(), 4u);
}

TEST_F(IndexBoard, RowCountsAreClampedToTheTable) {
  for (int i = 0; i < 64; ++i) AddRow("上证指数", 1, 3000.0f, 3001.0f);
  view->SetQuote(&index);
  table->recordsHeld = 1000;
  view->SetIndexTable(table.get());
  EXPECT_EQ(Calls().size(), 4u + 3 * 64) << "rows below the window fall outside the picture";
  table->recordsHeld = -5;
  view->SetIndexTable(table.get());
  EXPECT_EQ(Calls().size(), 4u);
}

TEST_F(IndexBoard, CopiesTheTable) {
  AddRow("上证指数", 1, 3000.0f, 3030.0f);
  view->SetQuote(&index);
  view->SetIndexTable(table.get());
  table->records[0].lastPrice = 1.0f;  // the engine rewrites its area
  index.key.market = 2;
  const std::vector<TextCall> calls = Calls();
  ASSERT_TRUE(Find(calls, u"3030.00"));
}

}  // namespace
