// The fund-flow pie: row heights, totals and net, the slices (probed at
// angles inside each), negative and zero amounts, the help box's edges,
// and the data right that changes nothing drawn.
#include "charts/index_dialogs.h"
#include "stockpage/tests/panels_test_support.h"

#include <cmath>

using namespace board_test;
using namespace panel_test;

namespace {

// Records the help requests instead of running the dialog.
class HelpRecordingPie : public Recording<CPieView> {
 public:
  std::vector<std::u16string> helps;

 protected:
  void ShowHelp(const WCHAR* name) override { helps.push_back(name); }
};

FundFlowRecord Flow(std::initializer_list<int64_t> in, std::initializer_list<int64_t> out) {
  FundFlowRecord r{};
  std::memcpy(r.code, "600000", 7);
  r.market = 1;
  int i = 0;
  for (int64_t v : in) r.amounts[i++] = v;  // 小单, 中单, 大单, 特大
  i = 4;
  for (int64_t v : out) r.amounts[i++] = v;
  return r;
}

class PiePanel : public ViewFixture<HelpRecordingPie> {
 protected:
  // The pixel at angle a (percent of the circle, 25 straight up) and radius
  // r from the pie's centre, for a panel of height h.
  uint32_t At(const QImage& img, double a, int r) {
    const int h = CPieView::RowHeight(img.height());
    const int d = std::max(0, std::min(img.height() - 7 * h - 4, img.width() - 84 - 4));
    const double theta = a / 100.0 * 2 * M_PI;
    const int x = 86 + d / 2 + static_cast<int>(std::lround(std::cos(theta) * r));
    const int y = 3 * h - static_cast<int>(std::lround(std::sin(theta) * r));
    return PixelRgb(img, x, y);
  }
};

TEST(PiePanelRows, HeightsOfTheElevenRows) {
  EXPECT_EQ(CPieView::RowHeight(286), 26);
  EXPECT_EQ(CPieView::RowHeight(200), 26);
  EXPECT_EQ(CPieView::RowHeight(287), 26);
  EXPECT_EQ(CPieView::RowHeight(330), 30);
  EXPECT_EQ(CPieView::RowHeight(0), 26);
}

TEST_F(PiePanel, InflowExampleTotalsAndSlices) {
  Make(270, 330);  // h 30, m 114; D = min(330 - 214, 182) = 116
  const FundFlowRecord r = Flow({300, 100, 0, 0}, {});
  view->SetFundFlow(&r);
  const std::vector<TextCall> calls = Calls();
  const TextCall* in = Find(calls, u"400");
  ASSERT_TRUE(in);
  EXPECT_EQ(in->rect.top, 60) << "total inflow in (6, 2h, 84, 3h)";
  EXPECT_EQ(in->color, 0xFFFF00u);
  const std::vector<TextCall> fours = All(calls, u"400");
  ASSERT_EQ(fours.size(), 2u);
  EXPECT_EQ(fours[1].rect.left, 42 + 114) << "net in (42 + m, 5h, ...)";
  EXPECT_EQ(fours[1].rect.top, 150);
  const TextCall* out = nullptr;
  for (const TextCall& c : calls)
    if (c.text == u"-" && c.rect.top == 120 && c.rect.left == 6) out = &c;
  EXPECT_TRUE(out) << "total outflow \"-\"";
  EXPECT_TRUE(Find(calls, u"300"));
  EXPECT_EQ(Find(calls, u"300")->rect.top, 7 * 30 + 3 * 30) << "小单 is the fourth class row";

  const QImage img = Paint();
  // 中单 from 25 to 37.5, 小单 from 37.5 to 75: probe inside each.
  EXPECT_EQ(At(img, 31, 30), 0xF67E7Fu) << "中单";
  EXPECT_EQ(At(img, 50, 30), 0xFEADAEu) << "小单";
  EXPECT_EQ(At(img, 70, 40), 0xFEADAEu) << "小单 ends at 75";
  for (double a : {80.0, 90.0, 0.0, 10.0, 20.0}) EXPECT_EQ(At(img, a, 30), 0x000000u) << "right half empty at " << a;
  EXPECT_EQ(PixelRgb(img, 0, 100), 0x303030u);
}

TEST_F(PiePanel, NegativeNetAndAmounts) {
  Make(270, 286);
  FundFlowRecord r = Flow({0, 0, 0, 0}, {12345, 0, 0, 0});
  view->SetFundFlow(&r);
  EXPECT_TRUE(Find(Calls(), u"-1.23万"));
  r = Flow({0, 0, 0, 0}, {123456789, 0, 0, 0});
  view->SetFundFlow(&r);
  EXPECT_TRUE(Find(Calls(), u"-1.23亿"));

  // A negative amount turns the angle back without a slice: 特大 -100 then
  // 大单 200 of a total of 100 (in) sends a back to 25 - 50 and forward to
  // 25 + 50: the 大单 slice runs from 25 (the start point) to 75.
  r = Flow({0, 0, 200, -100}, {});
  view->SetFundFlow(&r);
  const QImage img = Paint();
  EXPECT_EQ(At(img, 50, 25), 0xFA5151u) << "大单";
  EXPECT_FALSE(HasColor(img, 0xD60303, 86, 0, 270, 7 * 26)) << "no 特大 slice above the legend";
  const std::vector<TextCall> calls = view->log.Calls();
  EXPECT_TRUE(Find(calls, u"-100"));
}

TEST_F(PiePanel, AllZeroDrawsTheFrameAndDashes) {
  Make(270, 286);
  const FundFlowRecord r = Flow({0, 0, 0, 0}, {0, 0, 0, 0});
  view->SetFundFlow(&r);
  const std::vector<TextCall> calls = Calls();
  EXPECT_EQ(All(calls, u"-").size(), 11u) << "two totals, the net and eight amounts";
  const QImage img = Paint();
  for (uint32_t c : CPieView::kInflowColors) EXPECT_FALSE(HasColor(img, c, 86, 26, 270, 130));
  for (uint32_t c : CPieView::kOutflowColors) EXPECT_FALSE(HasColor(img, c, 86, 26, 270, 130));
  EXPECT_TRUE(HasColor(img, 0xD60303, 0, 7 * 26, 270, 286)) << "legend keys stay";
}

TEST_F(PiePanel, HelpBoxOpensOnlyStrictlyInside) {
  Make(270, 286);
  desk->Click(view->m_hWnd, 270 - 25, 1);
  desk->RunUntilIdle();
  ASSERT_EQ(view->helps.size(), 1u);
  EXPECT_EQ(view->helps[0], u"龙虎看盘");
  desk->Click(view->m_hWnd, 270 - 26, 5);
  desk->Click(view->m_hWnd, 260, 0);
  desk->Click(view->m_hWnd, 100, 100);
  desk->RunUntilIdle();
  EXPECT_EQ(view->helps.size(), 1u);
}

TEST_F(PiePanel, TheRealHelpDialogRunsWithoutThePanelLock) {
  Make(270, 286);
  CPieView real;
  ASSERT_TRUE(real.CreateEx(0, nullptr, u"pie", WS_POPUP | WS_VISIBLE, CRect(300, 0, 570, 286), nullptr, 0));
  desk->RunUntilIdle();
  RegisterIndexDialogTemplates();
  bool painted = false;
  desk->Until([] { return ::FindWindowW(nullptr, u"龙虎看盘") != nullptr; });
  desk->Then([&] {
    const FundFlowRecord r = Flow({300, 100, 0, 0}, {});
    real.SetFundFlow(&r);  // takes the lock while the dialog is open
    real.Invalidate();
    real.UpdateWindow();
    painted = true;
    desk->Key(VK_ESCAPE);
  });
  desk->Click(real.m_hWnd, 270 - 13, 13);
  desk->RunUntilIdle();
  EXPECT_TRUE(painted);
  EXPECT_FALSE(::FindWindowW(nullptr, u"龙虎看盘"));
  real.DestroyWindow();
}

TEST_F(PiePanel, DataRightChangesNoPixel) {
  Make(270, 286);
  const FundFlowRecord r = Flow({300, 100, 50, 7}, {20, 1000, 0, 12345});
  view->SetFundFlow(&r);
  view->SetOrderFlow(&r);
  const QImage before = Paint();
  view->SetDataRight(1);
  EXPECT_EQ(Paint(), before);
  view->SetDataRight(0);
  EXPECT_EQ(Paint(), before);
  view->Clear();
  EXPECT_NE(Paint(), before);
}

}  // namespace
