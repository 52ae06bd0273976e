// A filled quote table as the terminal shows it, with the generated skins of
// the build's program folder, saved as a PNG under the build folder for
// checking by eye, with a few probes of what must be there.
#include "controls/tests/grid_test_support.h"

#include <string>

using namespace grid_test;

namespace {

class GridSnapshot : public GridFixture {};

struct Quote {
  const char16_t* code;
  const char16_t* name;
  double price, change;
};

std::u16string Number(double v, int decimals = 2) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

TEST_F(GridSnapshot, QuoteTable) {
  constexpr int kW = 1024, kH = 600;
  Make(kW, kH);
  const COLORREF up = RGB(255, 50, 50), down = RGB(0, 210, 60), flat = RGB(230, 230, 230), yellow = RGB(255, 220, 0);
  grid->SetHeaderBkColor(RGB(20, 24, 36));
  grid->SetGridLineColor(RGB(58, 74, 102));
  grid->SetRowColors(RGB(0, 0, 0), RGB(10, 12, 18));
  grid->SetSelectedRowColor(RGB(47, 79, 134));
  grid->SetRowLines(1);
  grid->SetRightBorder(1, 0x3A4A66);
  grid->EnableChangeFlash(1);
  {
    orvtest::ScopedWorkingFolder cd(orvtest::BuildProgramFolder());
    ASSERT_TRUE(cd.Ok());
    grid->LoadHeaderImage(u"res\\grid_head_bg.png");
    grid->LoadTagImage(u"res\\Tag.png");
  }
  const Quote quotes[] = {
      {u"600000", u"浦发银行", 7.82, 0.12},   {u"600036", u"招商银行", 33.15, -0.41}, {u"600519", u"贵州茅台", 1688.00, 12.5},
      {u"601318", u"中国平安", 45.60, -0.80}, {u"000001", u"平安银行", 11.02, 0.00},  {u"000002", u"万科Ａ", 8.95, -0.21},
      {u"600028", u"中国石化", 6.01, 0.05},   {u"601857", u"中国石油", 8.47, 0.13},   {u"300750", u"宁德时代", 198.30, 4.72},
      {u"002594", u"比亚迪", 245.10, -3.36},  {u"600900", u"长江电力", 28.66, 0.31},  {u"601988", u"中国银行", 4.51, 0.00},
      {u"688981", u"中芯国际", 52.77, 1.05},  {u"000858", u"五粮液", 142.00, -1.90},  {u"601012", u"隆基绿能", 19.88, -0.52},
      {u"600030", u"中信证券", 21.34, 0.44},  {u"000333", u"美的集团", 63.70, 0.95},  {u"601166", u"兴业银行", 16.72, -0.08},
      {u"600276", u"恒瑞医药", 44.21, 0.67},  {u"002415", u"海康威视", 31.09, -0.27}, {u"601888", u"中国中免", 70.15, 2.10},
  };
  const int rows = static_cast<int>(std::size(quotes));
  const char16_t* titles[] = {u"序", u"代码", u"名称", u"最新", u"涨跌", u"涨幅%", u"买入", u"卖出", u"总量", u"现量", u"换手%", u"市盈率"};
  const int widths[] = {44, 84, 100, 90, 84, 84, 90, 90, 110, 80, 80, 88};  // 1024 in all
  constexpr int kColumns = 12;
  auto fill = [&](double bump) {
    grid->SetRowCount(rows + 1);
    grid->SetColumnCount(kColumns);
    for (int c = 0; c < kColumns; ++c) {
      grid->SetCell(0, c, titles[c], RGB(200, 210, 230), c == 2 ? 0x25 : 0x26, 0);
      grid->SetColumnWidth(c, widths[c]);
      grid->SetColumnSortable(c, c >= 3);
      grid->SetColumnFlash(c, c == 3 || c == 4);
    }
    grid->SetGroupCount(3);
    grid->SetGroupCell(0, u"", RGB(200, 210, 230), 0x25, 0);
    grid->SetGroupCell(1, u"行情", yellow, 0x25, 0);
    grid->SetGroupCell(2, u"成交", yellow, 0x25, 0);
    grid->SetGroupWidth(0, 44);
    grid->SetGroupWidth(1, 84 + 100 + 90 + 84 + 84 + 90 + 90);
    grid->SetGroupWidth(2, 110 + 80 + 80 + 88);
    for (int r = 0; r < rows; ++r) {
      const Quote& q = quotes[r];
      const double price = q.price + (r == 2 || r == 8 ? bump : 0);
      const double change = q.change + (r == 2 || r == 8 ? bump : 0);
      const COLORREF tone = change > 0 ? up : change < 0 ? down : flat;
      const double base = price - change;
      grid->SetCell(r + 1, 0, Number(r + 1, 0).c_str(), flat, 0x25, 10);  // clear of the tag
      grid->SetCell(r + 1, 1, q.code, yellow, 0x26, 0);
      grid->SetCell(r + 1, 2, q.name, yellow, 0x8025, 0);
      grid->SetCell(r + 1, 3, Number(price).c_str(), tone, 0x26, 0);
      grid->SetCell(r + 1, 4, Number(change).c_str(), tone, 0x26, 0);
      grid->SetCell(r + 1, 5, Number(base > 0 ? change * 100 / base : 0).c_str(), tone, 0x26, 0);
      grid->SetCell(r + 1, 6, Number(price - 0.01).c_str(), tone, 0x26, 0);
      grid->SetCell(r + 1, 7, Number(price + 0.01).c_str(), tone, 0x26, 0);
      grid->SetCell(r + 1, 8, Number(120000 + r * 7919, 0).c_str(), yellow, 0x26, 0);
      grid->SetCell(r + 1, 9, Number(300 + r * 37, 0).c_str(), flat, 0x26, 0);
      grid->SetCell(r + 1, 10, Number(0.35 + r * 0.11).c_str(), flat, 0x26, 0);
      grid->SetCell(r + 1, 11, Number(8.2 + r * 1.7).c_str(), flat, 0x26, 0);
    }
    grid->SetKeyColumn(1);
  };
  fill(0);
  fill(0.05);  // two rows changed: their price and change cells flash
  grid->SetSortState(5, 1);
  grid->SetCurRow(4);
  QImage img = Paint();
  const std::string path = std::string(ORV_BINARY_DIR) + "/grid_snapshot.png";
  ASSERT_TRUE(desk.SavePng(grid->m_hWnd, path));
  EXPECT_GT(CountColor(img, kRed, 0, 26, kW, 52), 0);  // the sort arrow
  EXPECT_EQ(CountColor(img, RGB(20, 24, 36), 0, 27, kW, 51), 0);  // the header picture, not the colour
  EXPECT_GT(CountColor(img, RGB(47, 79, 134), 0, 52 + 26 * 4, 44, 78 + 26 * 4), 0);  // the current row
}

}  // namespace
