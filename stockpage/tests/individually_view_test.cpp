// The tick-by-tick panel: shortened times, the highlight by absolute trade
// number, and the state without the data right.
#include "stockpage/tests/panels_test_support.h"

using namespace board_test;
using namespace panel_test;

namespace {

std::unique_ptr<TickByTickArea> Trades(std::initializer_list<int32_t> times, int32_t total) {
  auto area = std::make_unique<TickByTickArea>();
  std::memset(area.get(), 0, sizeof(TickByTickArea));
  area->key = Key("600000", "浦发银行", 1, 2, 2);
  area->referencePrice = 10.0f;
  area->total = total;
  int i = 0;
  for (int32_t t : times) {
    area->rows[i] = Tick(10.0f + i * 0.01f, 100 * (i + 1), t, i % 2 ? 'S' : 'B');
    ++i;
  }
  area->rowCount = i;
  return area;
}

class TickByTick : public ViewFixture<Recording<CIndividuallyView>> {};

TEST_F(TickByTick, RepeatedMinutesShowOnlyTheSeconds) {
  Make(160, 26 + 20 * 5);
  view->SetDataRight(1);
  auto area = Trades({93001, 93005, 93100}, 3);
  view->SetTickArea(area.get());
  std::vector<TextCall> calls = Calls();
  EXPECT_TRUE(Find(calls, u"09:30:01"));
  EXPECT_TRUE(Find(calls, u":05"));
  EXPECT_TRUE(Find(calls, u"09:31:00"));
  EXPECT_GE(Find(calls, u"09:30:01")->rect.right, 57);
  EXPECT_EQ(Find(calls, u":05")->rect.right, Find(calls, u"09:30:01")->rect.right);
  EXPECT_EQ(Find(calls, u"09:30:01")->rect.top, 26);

  // The first row shown is always full, even when its minute repeats the
  // row before it (which is not shown): three rows fit.
  view->SetWindowPos(nullptr, 0, 0, 160, 26 + 20 * 2 + 9, SWP_NOZORDER | SWP_NOMOVE);
  calls = Calls();
  EXPECT_FALSE(Find(calls, u"09:30:01"));
  EXPECT_TRUE(Find(calls, u"09:30:05"));
  EXPECT_EQ(Find(calls, u"09:30:05")->rect.top, 26 + 9 / 2) << "rows centred in the spare height";
  ASSERT_TRUE(Find(calls, u"300"));
  EXPECT_EQ(Find(calls, u"300")->color, 0xFFFF00u) << "kind 2 below 500";
}

TEST_F(TickByTick, HighlightMarksTheNewestRowOnly) {
  Make(160, 26 + 20 * 4);
  view->SetDataRight(1);
  auto area = Trades({93001, 93005, 93100, 93101}, 1000);
  view->SetTickArea(area.get());
  view->SetHighlight(999, 1000);
  QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, 4, 26 + 3 * 20 + 1), 0x0000AAu);
  EXPECT_FALSE(HasColor(img, 0x0000AA, 0, 26, 160, 26 + 3 * 20));
  view->SetHighlight(996, 998);
  img = Paint();
  EXPECT_EQ(PixelRgb(img, 4, 26 + 0 * 20 + 1), 0x0000AAu) << "trade 996 is the first row";
  EXPECT_EQ(PixelRgb(img, 4, 26 + 1 * 20 + 1), 0x0000AAu);
  EXPECT_NE(PixelRgb(img, 4, 26 + 2 * 20 + 1), 0x0000AAu);
  area->total = -1;  // not answered: no absolute numbers
  view->SetTickArea(area.get());
  img = Paint();
  EXPECT_FALSE(HasColor(img, 0x0000AA, 0, 26, 160, 106));
}

TEST_F(TickByTick, WithoutTheRightOnlyTheTitleAndTheMessage) {
  Make(200, 200);
  auto area = Trades({93001, 93005}, 2);
  view->SetTickArea(area.get());
  std::vector<TextCall> calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].text, u"逐笔成交");
  EXPECT_EQ(calls[1].text, u"您没有权限查询当前数据！");
  const RECT r = view->MessageRect();
  EXPECT_EQ(r.top, 80);
  EXPECT_EQ(r.bottom, 100);
  EXPECT_EQ(r.left + r.right, 200 - (200 - (r.right - r.left)) % 2) << "centred";
  EXPECT_EQ(calls[1].rect.left, r.left);
  // Hostile counts are held at the room.
  area->rowCount = 100000;
  view->SetDataRight(1);
  view->SetTickArea(area.get());
  EXPECT_GT(Calls().size(), 2u);
}

}  // namespace
