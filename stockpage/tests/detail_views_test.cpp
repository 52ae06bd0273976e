// The tick lists: columns and capacity, the first tick shown, the colours
// of stock and futures rows, the selection with its page notices to the
// parent, and the compact list's rows and header.
#include "stockpage/tests/panels_test_support.h"

using namespace board_test;
using namespace panel_test;

namespace {

// A parent that records every WM_TICK_PAGE as it is sent and, when given an
// answer, hands the list another area from inside the notice.
class PageParent : public CWnd {
 public:
  std::vector<LPARAM> notices;
  std::function<void(LPARAM)> answer;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_TICK_PAGE) {
      EXPECT_EQ(w, 0u);
      notices.push_back(l);
      if (answer) answer(l);
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

class DetailView : public testing::Test {
 protected:
  void SetUp() override {
    desk = std::make_unique<TestDesktop>();
    UseProgramFonts();
    ASSERT_TRUE(parent.CreateEx(0, nullptr, u"page", WS_POPUP | WS_VISIBLE, CRect(0, 0, 900, 600), nullptr, 0));
  }
  void TearDown() override {
    if (list.m_hWnd) list.DestroyWindow();
    parent.DestroyWindow();
    desk.reset();
  }
  void Make(int w, int h) {
    ASSERT_TRUE(list.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, w, h), &parent, 1));
    desk->RunUntilIdle();
  }
  std::vector<TextCall> Calls() {
    list.Invalidate();
    desk->RunUntilIdle();
    return list.log.Calls();
  }
  QImage Picture() {
    list.Invalidate();
    desk->RunUntilIdle();
    return desk->Snapshot(list.m_hWnd);
  }
  std::unique_ptr<TestDesktop> desk;
  PageParent parent;
  Recording<CDetailView> list;
};

TEST_F(DetailView, ColumnsAndCapacity) {
  Make(650, 20 + 16 * 10 + 7);
  auto ticks = MakeTicks(3);
  list.SetTicks(ticks.get());
  EXPECT_EQ(list.ColumnCount(), 3);
  EXPECT_EQ(list.GetCapacity(), 30);
  std::vector<TextCall> calls = Calls();
  std::vector<TextCall> heads = All(calls, u"时间");
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[1].rect.left, 216) << "650 / 3";
  EXPECT_EQ(heads[2].rect.left, 432);

  list.SetWindowPos(nullptr, 0, 0, 150, 100, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_EQ(list.ColumnCount(), 1) << "narrower than a column: still one";
  EXPECT_EQ(list.GetCapacity(), (100 - 20) / 16);
  list.SetWindowPos(nullptr, 0, 0, 650, 10, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_EQ(list.GetCapacity(), 0) << "below the header";
  Calls();

  // Futures: 300-pixel columns until a resize, then 200-pixel ones until
  // the next futures area.
  list.SetWindowPos(nullptr, 0, 0, 650, 200, SWP_NOZORDER | SWP_NOMOVE);
  auto futures = MakeFuturesTicks({FuturesTick(3500, 2, 93000, 'B', 1, 0, 3)});
  list.SetTicks(nullptr);
  list.SetFuturesTicks(futures.get());
  EXPECT_EQ(list.ColumnCount(), 2);
  EXPECT_EQ(list.ColumnWidth(), 300);
  list.SetWindowPos(nullptr, 0, 0, 660, 200, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_EQ(list.ColumnCount(), 3);
  EXPECT_EQ(list.GetCapacity(), 11 * 3);
  list.SetFuturesTicks(futures.get());
  EXPECT_EQ(list.ColumnCount(), 2);
  calls = Calls();
  EXPECT_EQ(All(calls, u"性质").size(), 2u);
}

TEST_F(DetailView, FirstTickShownFillsFromTheTopOrTakesTheNewest) {
  const int rows = 10;
  Make(650, 20 + 16 * rows);
  auto ten = MakeTicks(10);
  list.SetTicks(ten.get());
  std::vector<TextCall> calls = Calls();
  EXPECT_EQ(list.FirstTickShown(), 0);
  const TextCall* first = Find(calls, u"09:30:00");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->rect.top, 20);
  EXPECT_EQ(first->rect.left, 2);
  EXPECT_EQ(Find(calls, u"09:30:09")->rect.top, 20 + 9 * 16);

  auto many = MakeTicks(1000);
  list.SetTicks(many.get());
  calls = Calls();
  EXPECT_EQ(list.FirstTickShown(), 1000 - rows * 3);
  int times = 0;
  for (const TextCall& c : calls)
    if (c.color == 0xAAAAAA) ++times;
  EXPECT_EQ(times, rows * 3);
  // Tick 970 is 09:46:10 (i / 60 minutes, i % 60 seconds).
  EXPECT_EQ(Find(calls, u"09:46:10")->rect.top, 20);

  // A hostile count is held at the area's room; a negative one is no rows.
  many->ticksHeld = 5000;
  list.SetTicks(many.get());
  Calls();
  EXPECT_EQ(list.FirstTickShown(), kTickRoom - rows * 3);
  many->ticksHeld = -3;
  list.SetTicks(many.get());
  calls = Calls();
  EXPECT_EQ(list.FirstTickShown(), 0);
  EXPECT_EQ(calls.size(), 12u) << "headers only";
}

TEST_F(DetailView, StockVolumeAndDirectionColours) {
  Make(300, 20 + 16 * 6);
  auto level2 = MakeTicks(0, 10.0f, 2);
  level2->ticks[0] = Tick(10.01f, 499, 93000, 'B', 3);
  level2->ticks[1] = Tick(9.99f, 500, 93001, 'S', 4);
  level2->ticks[2] = Tick(10.0f, 500, 93002, 0, 5);
  level2->ticksHeld = 3;
  list.SetTicks(level2.get());
  std::vector<TextCall> calls = Calls();
  EXPECT_EQ(Find(calls, u"499")->color, 0xFFFF00u);
  EXPECT_EQ(All(calls, u"500")[0].color, 0xFF00FFu) << "kind 2, 500";
  EXPECT_EQ(Find(calls, u"B")->color, 0xFF0000u);
  EXPECT_EQ(Find(calls, u"S")->color, 0x00FF00u);
  EXPECT_EQ(Find(calls, u"10.01")->color, 0xFF0000u);
  EXPECT_EQ(Find(calls, u"9.99")->color, 0x00FF00u);
  EXPECT_EQ(Find(calls, u"10.00")->color, 0xFFFFFFu);
  EXPECT_EQ(Find(calls, u"5")->color, 0xFFFF00u) << "trade count";
  EXPECT_EQ(All(calls, u"B").size() + All(calls, u"S").size(), 2u) << "no letter for another byte";

  level2->key.kind = 1;
  list.SetTicks(level2.get());
  calls = Calls();
  for (const TextCall& c : All(calls, u"500")) EXPECT_EQ(c.color, 0xFFFF00u) << "kind 1";
}

TEST_F(DetailView, FuturesRowsTakeTheColourOfTheRowAbove) {
  Make(300, 20 + 16 * 3);  // one column of three rows
  auto futures = MakeFuturesTicks({
      FuturesTick(3500, 11, 93000, 0, 1, 0, 3),    // top of the column: grey
      FuturesTick(3501, 12, 93001, 'S', 0, 1, 5),  // green
      FuturesTick(3499, 13, 93002, 0, 2, 2, 9),    // keeps green; nature 9: ""
      FuturesTick(3500, 14, 93003, 'B', 1, 1, 7),  // second page of rows
  });
  futures->key.decimals = 2;
  list.SetFuturesTicks(futures.get());
  std::vector<TextCall> calls = Calls();
  EXPECT_EQ(list.FirstTickShown(), 1);
  EXPECT_FALSE(Find(calls, u"11"));
  EXPECT_EQ(Find(calls, u"12")->color, 0x00FF00u);
  EXPECT_EQ(Find(calls, u"13")->color, 0x00FF00u) << "neither B nor S: the row above's colour";
  EXPECT_EQ(Find(calls, u"14")->color, 0xFF0000u);
  EXPECT_EQ(Find(calls, u"多平")->color, 0x00FF00u);
  EXPECT_EQ(Find(calls, u"多开")->rect.left, 7 * ((300 - 10) / 8));
  EXPECT_EQ(Find(calls, u"3501.00")->color, 0xFF0000u);

  futures = MakeFuturesTicks({FuturesTick(3500, 11, 93000, 0, 1, 0, 3)});
  list.SetFuturesTicks(futures.get());
  calls = Calls();
  EXPECT_EQ(Find(calls, u"11")->color, 0xAAAAAAu) << "grey at the top of a column";
  EXPECT_EQ(Find(calls, u"双开")->color, 0xAAAAAAu);
}

TEST_F(DetailView, SelectionAndPageNotices) {
  const int rows = 4;
  Make(200, 20 + 16 * rows);
  list.SelectPrevRow();
  list.SelectNextRow();
  EXPECT_TRUE(parent.notices.empty()) << "nothing without an area";
  EXPECT_EQ(list.Selection(), -1);

  auto ticks = MakeTicks(10);
  list.SetTicks(ticks.get());
  Calls();  // the paint sets the first tick shown: 6
  list.SelectPrevRow();
  EXPECT_EQ(list.Selection(), 3) << "the first Up selects the newest row shown";
  list.SelectPrevRow();
  list.SelectPrevRow();
  list.SelectPrevRow();
  EXPECT_EQ(list.Selection(), 0);
  EXPECT_TRUE(parent.notices.empty());
  list.SelectPrevRow();
  EXPECT_EQ(list.Selection(), 3) << "up from the first row: the last row shown";
  ASSERT_EQ(parent.notices, std::vector<LPARAM>({1}));
  list.SelectNextRow();
  EXPECT_EQ(list.Selection(), 3) << "down on the last row stays";
  EXPECT_EQ(parent.notices, std::vector<LPARAM>({1, 0}));

  // The selected row is filled blue.
  const QImage img = Picture();
  EXPECT_EQ(PixelRgb(img, 5, 20 + 3 * 16 + 1), 0x0000FFu);

  // The parent answers by handing older ticks, from inside the notice.
  auto older = MakeTicks(4);
  parent.answer = [&](LPARAM l) {
    if (l == 1) list.SetTicks(older.get());
  };
  list.SelectPrevRow();
  list.SelectPrevRow();
  list.SelectPrevRow();
  list.SelectPrevRow();
  EXPECT_EQ(parent.notices.back(), 1);
  std::vector<TextCall> calls = Calls();
  EXPECT_TRUE(Find(calls, u"09:30:03"));
  EXPECT_FALSE(Find(calls, u"09:30:09"));

  list.Clear();
  EXPECT_EQ(list.Selection(), -1);
  const size_t before = parent.notices.size();
  list.SelectNextRow();
  EXPECT_EQ(parent.notices.size(), before);
}

class DetailSmall : public ViewFixture<Recording<CDetailSmallView>> {};

TEST_F(DetailSmall, NewestRowsWithThePriceBetweenTimeAndVolume) {
  Make(202, 26 + 20 * 5 + 7);
  std::vector<TextCall> calls = Calls();
  ASSERT_EQ(calls.size(), 1u) << "frame and title only";
  EXPECT_EQ(calls[0].text, u"成交明细");

  auto ticks = MakeTicks(12);
  ticks->ticks[11].volume = 123456;
  view->SetTicks(ticks.get());
  calls = Calls();
  EXPECT_FALSE(Find(calls, u"09:30:06"));
  const TextCall* first = Find(calls, u"09:30:07");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->rect.top, 26);
  EXPECT_EQ(Find(calls, u"09:30:11")->rect.top, 26 + 4 * 20);
  const TextCall* price = nullptr;
  for (const TextCall& c : calls)
    if (c.rect.top == 26 && c.alignment == 1 && c.text != u"B" && c.text != u"S") price = &c;
  ASSERT_TRUE(price);
  // Measured on the row font: the left edge after the time, the right edge
  // before the widest volume ("12.35万").
  EXPECT_GT(price->rect.left, 2 + 40);
  EXPECT_LT(price->rect.right, 202 - 20 - 30);
  EXPECT_EQ(Find(calls, u"12.35万")->color, 0xFFFF00u);
  const QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, 100, 5), 0x292929u);
  EXPECT_EQ(PixelRgb(img, 0, 100), 0x303030u);
}

TEST_F(DetailSmall, FuturesHeaderOffsetAndPositionChange) {
  const int w = 202, h = 26 + 20 * 4;  // (h - 26) / 20 = 4: first = n - 4 + 1
  Make(w, h);
  auto futures = MakeFuturesTicks({
      FuturesTick(3500, 1, 93000, 'B', 0, 0, 1),
      FuturesTick(3500, 2, 93001, 'B', 0, 0, 1),
      FuturesTick(3501, 3, 93002, 'S', 5, 2, 2),
      FuturesTick(3499, 4, 93003, 0, 1, 4, 8),
      FuturesTick(3500, 5, 93004, 'B', 3, 0, 0),
  });
  view->SetFuturesTicks(futures.get());
  std::vector<TextCall> calls = Calls();
  EXPECT_EQ(Find(calls, u"时间")->rect.top, 26);
  EXPECT_EQ(Find(calls, u"现手")->rect.right, 3 * w / 4 - 25);
  EXPECT_EQ(Find(calls, u"增仓")->rect.left, 3 * w / 4);
  EXPECT_FALSE(Find(calls, u"09:30:01")) << "first row shown = 5 - 4 + 1";
  EXPECT_EQ(Find(calls, u"09:30:02")->rect.top, 46);
  EXPECT_EQ(Find(calls, u"3")->color, 0x00FF00u) << "volume in the direction colour";
  EXPECT_EQ(Find(calls, u"-3")->color, 0x00FF00u) << "open 1 - close 4, keeps the row above's colour";
  EXPECT_EQ(Find(calls, u"空平")->color, 0x00FF00u);
  EXPECT_EQ(Find(calls, u"双平")->color, 0x00FF00u);
  EXPECT_EQ(Find(calls, u"5")->color, 0xFF0000u);
}

}  // namespace
