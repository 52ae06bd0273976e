// The minute chart view in the test desktop: cursor clicks, strip repaints,
// the marker hover and its driven clock, arrow keys, context menu, data
// right, resize, the pop-up list hand-over, the marker slots, a network
// thread feeding the view while the UI works, and snapshots of what
// simbroker serves.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "charts/min_view.h"
#include "charts/minute_chart.h"
#include "charts/minute_chart_indicators.h"
#include "charts/tests/minute_view_support.h"
#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "platform/window/win_desktop.h"

using namespace minute_test;

namespace {

struct Notice {
  UINT msg;
  WPARAM w;
  LPARAM l;
};

// The stock page stand-in: records the view's notices.
class RecordingParent : public CWnd {
 public:
  std::vector<Notice> notices;
  bool Make(int w, int h) {
    return CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, w, h), nullptr, 0) !=
           FALSE;
  }
  std::vector<Notice> Of(UINT msg) const {
    std::vector<Notice> v;
    for (const Notice& n : notices)
      if (n.msg == msg) v.push_back(n);
    return v;
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_CHART_MENU_MIN || msg == WM_MINUTE_MINE_PICK || msg == WM_POPLIST_DBLCLK) {
      notices.push_back({msg, w, l});
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

bool Posted(HWND hwnd, UINT msg) {
  MSG m;
  return PeekMessageW(&m, hwnd, msg, msg, PM_NOREMOVE) != FALSE;
}

class MinViewTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  RecordingParent parent;
  std::unique_ptr<CMinView> view;
  TradingHoursTable hours = StandardHours();
  std::unique_ptr<MinuteArea> area = PlainArea();
  void SetUp() override {
    ASSERT_TRUE(parent.Make(1000, 600));
    view = std::make_unique<CMinView>();
    ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1000, 600), &parent, 0));
    view->SetDataRight(1);
    view->SetStock(area.get(), &hours);
    desk.RunUntilIdle();
  }
  void TearDown() override { view.reset(); }
  MinuteChart* C() { return view->Chart(); }
  // An x whose slot is s.
  int XOfSlot(int s) {
    for (int x = 70; x < C()->Bounds.right; ++x)
      if (MinuteSlotOfX(C(), x) == s) return x;
    return -1;
  }
  void Plant(int x, int y) {
    HDC dc = ::GetDC(view->m_hWnd);
    const RECT r{x, y, x + 1, y + 1};
    FillRectColor(dc, &r, 0xFF00FF);
    ::ReleaseDC(view->m_hWnd, dc);
  }
  bool Kept(int x, int y) { return desk.Snapshot(view->m_hWnd).pixel(x, y) == qRgb(255, 0, 255); }
};

TEST_F(MinViewTest, ClickShowsAndHidesTheCrossHairWithTheTip) {
  view->ShowCrossHair(false);
  desk.Click(view->m_hWnd, XOfSlot(100), 120);
  EXPECT_TRUE(view->IsCrossHairShown());
  EXPECT_EQ(C()->Cursor, 100);
  EXPECT_TRUE(view->TipView().IsWindowVisible());
  // The press alone (a click's move would first carry the cursor along).
  view->SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(XOfSlot(150), 120));
  desk.RunUntilIdle();
  EXPECT_FALSE(view->IsCrossHairShown());
  EXPECT_FALSE(view->TipView().IsWindowVisible());
  EXPECT_EQ(C()->Cursor, 100) << "the slot is kept";
  // The lines are drawn over the picture only while the cross-hair is on.
  EXPECT_NE(desk.Snapshot(view->m_hWnd).pixel(static_cast<int>(C()->PointX[100]), C()->PriceTop + 5), qRgb(255, 255, 255));
}

TEST_F(MinViewTest, MouseMovesRepaintOnlyTheCursorStrips) {
  desk.Click(view->m_hWnd, 10, 10);  // the cross-hair was on: off
  desk.Click(view->m_hWnd, XOfSlot(60), 100);
  ASSERT_TRUE(view->IsCrossHairShown());
  desk.RunUntilIdle();
  const int far = XOfSlot(200), farY = C()->VolumeTop + 20;
  const int newX = XOfSlot(90);
  const QImage before = desk.Snapshot(view->m_hWnd);
  Plant(far, farY);
  Plant(newX, C()->PriceTop + 150);  // inside the next vertical strip
  desk.MoveMouse(view->m_hWnd, newX, 100);
  desk.RunUntilIdle();
  EXPECT_EQ(C()->Cursor, 90);
  EXPECT_TRUE(Kept(far, farY)) << "a move repaints strips, never the whole client";
  EXPECT_FALSE(Kept(newX, C()->PriceTop + 150)) << "the new vertical strip is repainted";
  // A move to the same position does nothing.
  Plant(newX, C()->PriceTop + 150);
  desk.MoveMouse(view->m_hWnd, newX, 100);
  desk.RunUntilIdle();
  EXPECT_TRUE(Kept(newX, C()->PriceTop + 150));
  // The cursor lines show over the picture at the new slot.
  const QImage shot = desk.Snapshot(view->m_hWnd);
  const int lineX = GetMinuteCursorX(C());
  for (int y : {C()->PriceTop + 10, C()->VolumeTop + 10}) {
    EXPECT_EQ(shot.pixel(lineX, y) & 0xFFFFFF, ~before.pixel(lineX, y) & 0xFFFFFF) << "inverted at " << y;
    EXPECT_EQ(shot.pixel(lineX + 4, y), before.pixel(lineX + 4, y));
  }
}

TEST_F(MinViewTest, RestingOnAMarkerPostsItsIndexOnce) {
  NewsRecord items[] = {MineItem("1000"), MineItem("1400")};
  NewsListArea mines{};
  mines.records = items;
  mines.recordCount = 2;
  view->SetMineList(&mines);
  desk.RunUntilIdle();
  ASSERT_EQ(C()->MineMarkCount, 2);
  for (bool crossHair : {true, false}) {
    SCOPED_TRACE(crossHair);
    view->ShowCrossHair(crossHair);
    parent.notices.clear();
    const ChartPoint m = C()->MineMarks[1];
    desk.MoveMouse(view->m_hWnd, m.x + 4, m.y + 4);
    desk.Advance(999);
    EXPECT_TRUE(parent.Of(WM_MINUTE_MINE_PICK).empty());
    desk.Advance(1);
    desk.RunUntilIdle();
    auto picks = parent.Of(WM_MINUTE_MINE_PICK);
    ASSERT_EQ(picks.size(), 1u);
    EXPECT_EQ(picks[0].w, static_cast<WPARAM>((m.y + 4) << 16 | (m.x + 4)));
    EXPECT_EQ(picks[0].l, 1);
    // Moving inside the marker starts nothing new.
    desk.MoveMouse(view->m_hWnd, m.x + 6, m.y + 5);
    desk.Advance(3000);
    desk.RunUntilIdle();
    EXPECT_EQ(parent.Of(WM_MINUTE_MINE_PICK).size(), 1u);
    // Leaving posts (0, 1) once.
    view->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(m.x + 40, m.y + 40));
    EXPECT_TRUE(Posted(parent.m_hWnd, WM_MINUTE_MINE_PICK));
    desk.RunUntilIdle();
    desk.MoveMouse(view->m_hWnd, m.x + 60, m.y + 40);
    desk.Advance(2000);
    desk.RunUntilIdle();
    picks = parent.Of(WM_MINUTE_MINE_PICK);
    ASSERT_EQ(picks.size(), 2u);
    EXPECT_EQ(picks[1].w, 0u);
    EXPECT_EQ(picks[1].l, 1);
  }
  // An unknown timer and a timer without a mine list post nothing.
  parent.notices.clear();
  view->SendMessage(WM_TIMER, 4242, 0);
  view->SetMineList(nullptr);
  view->SendMessage(WM_TIMER, 10000, 0);
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.notices.empty());
}

TEST_F(MinViewTest, ArrowKeysSettleThenStepAndStopAtTheEnds) {
  view->ClearChart();
  view->SetStock(area.get(), &hours);
  desk.RunUntilIdle();
  ASSERT_EQ(C()->Cursor, -1);
  ASSERT_FALSE(view->TipView().IsWindowVisible());
  view->MoveCursorLeft();
  EXPECT_EQ(C()->Cursor, 0);
  EXPECT_TRUE(view->IsCrossHairShown());
  EXPECT_TRUE(view->TipView().IsWindowVisible());
  view->MoveCursorRight();
  EXPECT_EQ(C()->Cursor, 1);
  C()->Cursor = 241;
  view->MoveCursorRight();
  EXPECT_EQ(C()->Cursor, 241);
  C()->Cursor = 0;
  view->MoveCursorLeft();
  EXPECT_EQ(C()->Cursor, 0);
  // A click hid the cross-hair and kept slot 30: a key shows it there and moves on.
  desk.Click(view->m_hWnd, XOfSlot(30), 100);
  desk.Click(view->m_hWnd, XOfSlot(30), 100);
  ASSERT_EQ(C()->Cursor, 30);
  view->MoveCursorLeft();
  view->MoveCursorLeft();
  ASSERT_TRUE(view->IsCrossHairShown());
  EXPECT_EQ(C()->Cursor, 28);
  EXPECT_EQ(C()->CursorY, C()->PriceLine[28].y);
  // Without data keys change nothing.
  view->ClearChart();
  desk.RunUntilIdle();
  EXPECT_FALSE(view->TipView().IsWindowVisible()) << "the refresh hides the tip after ClearChart";
  view->MoveCursorRight();
  EXPECT_EQ(C()->Cursor, -1);
}

TEST_F(MinViewTest, RightClickSendsTheMenuNoticeWithTheScreenPoint) {
  parent.MoveWindow(100, 50, 1000, 600);
  desk.RunUntilIdle();
  view->SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(200, 150));
  auto menus = parent.Of(WM_CHART_MENU_MIN);
  ASSERT_EQ(menus.size(), 1u) << "sent, so recorded before the queue runs";
  EXPECT_EQ(menus[0].w, static_cast<WPARAM>(200 << 16 | 300));
  EXPECT_EQ(menus[0].l, 6000);
}

TEST_F(MinViewTest, WithoutTheDataRightLevelTwoKindsShowTheRefusal) {
  view->SetDataRight(0);
  for (int kind = 0; kind <= 11; ++kind) {
    SCOPED_TRACE(kind);
    view->SetSubChart(kind);
    desk.RunUntilIdle();
    const RECT r = view->NoRightRect();
    EXPECT_EQ(r.right > r.left, kind > 1);
    if (kind <= 1) continue;
    EXPECT_EQ(r.top, C()->SubTop + C()->SubHeight / 2 - 20);
    EXPECT_EQ(r.bottom - r.top, 20);
    EXPECT_NEAR((r.left + r.right) / 2, 500, 1);
    int white = 0;
    const QImage shot = desk.Snapshot(view->m_hWnd);
    for (int x = r.left; x < r.right; ++x)
      for (int y = r.top; y < r.bottom; ++y)
        white += qRed(shot.pixel(x, y)) > 200 && qGreen(shot.pixel(x, y)) > 200 && qBlue(shot.pixel(x, y)) > 200;
    EXPECT_GT(white, 40);
    // The sub-chart stays drawn behind the text: the frame's right edge.
    EXPECT_NE(shot.pixel(C()->Bounds.right - 58 - 1, C()->SubTop + 4), qRgb(0, 0, 0));
  }
  view->SetDataRight(1);
  view->Invalidate(FALSE);
  desk.RunUntilIdle();
  EXPECT_EQ(view->NoRightRect().right, view->NoRightRect().left);
}

TEST_F(MinViewTest, ResizeKeepsTheCursorOnTheDataAndRemakesThePicture) {
  view->MoveCursorLeft();
  C()->Cursor = 500;  // beyond the data: the resize settles it
  view->MoveWindow(0, 0, 700, 420);
  desk.RunUntilIdle();
  EXPECT_EQ(C()->Bounds.right, 700);
  EXPECT_EQ(C()->Cursor, 241);
  EXPECT_EQ(C()->CursorY, C()->PriceLine[241].y);
  EXPECT_EQ(desk.Snapshot(view->m_hWnd).width(), 700);
  // The frame's right edge moved with the picture.
  EXPECT_NE(desk.Snapshot(view->m_hWnd).pixel(700 - 58 - 1, C()->PriceTop + 30), qRgb(0, 0, 0));
  // Too narrow for slots: no cursor from a click, no crash; then back.
  view->MoveWindow(0, 0, 100, 300);
  desk.RunUntilIdle();
  desk.Click(view->m_hWnd, 50, 50);
  desk.Click(view->m_hWnd, 60, 50);
  desk.MoveMouse(view->m_hWnd, 70, 60);
  desk.RunUntilIdle();
  // No picture (a size of 0 here, a failed bitmap alike): black, nothing else.
  view->SendMessage(WM_SIZE, 0, 0);
  view->Invalidate(FALSE);
  desk.RunUntilIdle();
  const QImage none = desk.Snapshot(view->m_hWnd);
  auto inChild = [&](CWnd& child, int x, int y) {
    if (!child.IsWindowVisible()) return false;
    CRect r;
    child.GetWindowRect(&r);
    view->ScreenToClient(&r);
    return r.PtInRect(POINT{x, y});
  };
  for (int x = 0; x < none.width(); x += 7)
    for (int y = 0; y < none.height(); y += 7)
      if (!inChild(view->TipView(), x, y) && !inChild(view->SubTitleView(), x, y)) {
        ASSERT_EQ(none.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
      }
  view->MoveWindow(0, 0, 1000, 600);
  desk.RunUntilIdle();
  EXPECT_EQ(desk.Snapshot(view->m_hWnd).width(), 1000);
}

TEST_F(MinViewTest, PopListDoubleClicksPassOnlyRowsOfTheMineList) {
  NewsRecord items[] = {MineItem("1000"), MineItem("1000"), MineItem("1030")};
  NewsListArea mines{};
  mines.records = items;
  mines.recordCount = 3;
  view->SendMessage(WM_POPLIST_DBLCLK, 77, 0);  // no list yet
  view->SetMineList(&mines);
  desk.RunUntilIdle();
  for (LPARAM row : {LPARAM{3}, LPARAM{4}, LPARAM{-1}}) view->SendMessage(WM_POPLIST_DBLCLK, 77, row);
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.Of(WM_POPLIST_DBLCLK).empty());
  view->SendMessage(WM_POPLIST_DBLCLK, 77, 2);
  EXPECT_TRUE(Posted(parent.m_hWnd, WM_POPLIST_DBLCLK));
  desk.RunUntilIdle();
  auto passed = parent.Of(WM_POPLIST_DBLCLK);
  ASSERT_EQ(passed.size(), 1u);
  EXPECT_EQ(passed[0].w, 77u);
  EXPECT_EQ(passed[0].l, 2);
}

TEST_F(MinViewTest, MinuteSlotsAreThePlacementsSlots) {
  EXPECT_EQ(view->GetMinuteSlot("202612101000"), 0) << "no mine list yet";
  struct Case {
    const char* hhmm;
    int slot;
  } cases[] = {{"0900", 0},   {"0930", 0},   {"1000", 30},  {"1129", 119}, {"1130", 120},
               {"1200", 120}, {"1300", 120}, {"1301", 121}, {"1400", 180}, {"1500", 240},
               {"1530", 240}, {"10", 0}};
  std::vector<NewsRecord> items;
  for (const Case& c : cases) items.push_back(MineItem(c.hhmm));
  std::snprintf(items.back().longTime, sizeof items.back().longTime, "2026121");  // short text
  NewsListArea mines{};
  mines.records = items.data();
  mines.recordCount = static_cast<int32_t>(items.size());
  view->SetMineList(&mines);
  desk.RunUntilIdle();
  const int w = C()->Bounds.right - 130;
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(cases[i].hhmm);
    const int slot = view->GetMinuteSlot(items[i].longTime);
    EXPECT_EQ(slot, cases[i].slot);
    EXPECT_EQ(C()->MineMarks[i].x, w * slot / C()->PointCount + 68) << "the marker's slot";
  }
  // Marks that come before the data, or a new width: placed again.
  view->ClearChart();
  view->SetMineList(&mines);
  view->SetStock(area.get(), &hours);
  view->MoveWindow(0, 0, 800, 500);
  desk.RunUntilIdle();
  ASSERT_EQ(C()->MineMarkCount, static_cast<int>(items.size()));
  EXPECT_EQ(C()->MineMarks[2].x, (800 - 130) * 30 / C()->PointCount + 68);
  EXPECT_EQ(view->IsSameMinuteSlot("202612101300", "202612101130"), 1);
  EXPECT_EQ(view->IsSameMinuteSlot("202612101301", "202612101130"), 0);
  // A night session: open 21:00, first close 02:30 after midnight.
  TradingHoursTable night{};
  night.count = 1;
  night.entries[0] = {2100, 230, 900, 1015, 0, 0, 1, 230, 405};
  view->SetStock(area.get(), &night);
  desk.RunUntilIdle();
  // The placement compares hhmm with the sessions as plain numbers, so the
  // evening's minutes land after the day session and the morning's before
  // the open; the slot function agrees with the markers.
  EXPECT_EQ(view->GetMinuteSlot("202612102200"), 330 + 75);
  EXPECT_EQ(view->GetMinuteSlot("202612100930"), 0);
  EXPECT_EQ(view->GetMinuteSlot("202612100100"), 0);
}

// A network thread hands fresh data and mine lists to the view and then
// rewrites the engine's areas, while the UI thread moves, clicks and
// resizes; the view draws only its copies (run under ThreadSanitizer).
TEST_F(MinViewTest, NetworkThreadFeedsWhileTheUiWorks) {
  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0};
  auto engineArea = PlainArea(242);
  std::vector<NewsRecord> items(40, MineItem("1015"));
  NewsListArea engineMines{};
  engineMines.records = items.data();
  engineMines.recordCount = 40;
  std::thread worker([&] {
    for (int i = 0; i < 300 && !stop; ++i) {
      if (i % 50 == 49) view->ClearChart();
      engineArea->points[10].price = 10.0f + static_cast<float>(i) * 0.001f;
      engineArea->pointsHeld = 200 + i % 42;
      engineMines.recordCount = 1 + i % 40;
      view->SetStock(engineArea.get(), &hours);
      view->SetMineList(&engineMines);
      // The decoder rewrites the engine's areas after the call.
      engineArea->pointsHeld = 1024;
      engineArea->points[10].price = -1.0f;
      std::snprintf(items[i % 40].longTime, sizeof items[0].longTime, "x");
      engineMines.recordCount = 0;
      ++rounds;
    }
  });
  for (int step = 0; rounds < 300; ++step) {
    switch (step % 4) {
      case 0: desk.MoveMouse(view->m_hWnd, 100 + step % 700, 100 + step % 300); break;
      case 1: desk.Click(view->m_hWnd, 120 + step % 600, 120); break;
      case 2: view->MoveCursorRight(); break;
      default: view->MoveWindow(0, 0, 900 + step % 100, 560); break;
    }
    desk.RunUntilIdle();
  }
  stop = true;
  worker.join();
  desk.RunUntilIdle();
  EXPECT_EQ(C()->Data->pointsHeld, 200 + 299 % 42);
  EXPECT_FLOAT_EQ(C()->Data->points[10].price, 10.0f + 299 * 0.001f);
  EXPECT_EQ(C()->MineList->recordCount, 1 + 299 % 40);
}

// More points than slots, a mine list longer than the markers' room with
// short and non-digit times, a name longer than its field, a previous close
// of 0 and an hours entry of zeros: painted, hovered and keyed without a
// read past an array (run under ASan).
TEST_F(MinViewTest, BadDataIsDrawnWithoutReadingPastItsArrays) {
  auto big = PlainArea(1024);
  std::memset(big->key.name, 'N', sizeof big->key.name);  // not terminated
  std::vector<NewsRecord> items(400, MineItem("1000"));
  for (size_t i = 0; i < items.size(); i += 3) std::snprintf(items[i].longTime, sizeof items[i].longTime, "2026ab");
  for (size_t i = 1; i < items.size(); i += 3) std::memset(items[i].longTime, '9', sizeof items[i].longTime);
  NewsListArea mines{};
  mines.records = items.data();
  mines.recordCount = 400;
  TradingHoursTable zeros{};
  zeros.count = 1;
  for (const TradingHoursTable* h : {&hours, &zeros}) {
    for (float close : {10.0f, 0.0f}) {
      big->previousClose = close;
      view->SetStock(big.get(), h);
      view->SetMineList(&mines);
      for (int kind : {0, 1, 2, 3, 6, 8, 11, 12, -1}) {
        view->SetSubChart(kind);
        desk.RunUntilIdle();
      }
      EXPECT_EQ(C()->MineMarkCount, kMineMarkRoom);
      EXPECT_LE(MinuteChartPointCount(C()), C()->PointCount);
      view->MoveCursorRight();
      desk.MoveMouse(view->m_hWnd, 900, 50);
      desk.Click(view->m_hWnd, 990, 300);
      view->SendMessage(WM_POPLIST_DBLCLK, 0, 399);
      desk.RunUntilIdle();
    }
  }
}

// What simbroker serves for a whole day, for the eye: a stock with the
// cross-hair, the tip, the MACD title and the day's mine marks; an index
// with its strength bars.
TEST(MinViewServed, SnapshotsOfAServedDay) {
  TestDesktop desk;
  static const ServedDay day;
  const TradingHoursTable hours = StandardHours();
  struct Shot {
    const char* code;
    int market;
    const char* file;
  } shots[] = {{"600000", 1, "min_view_stock.png"}, {"1A0001", 1, "min_view_index.png"}};
  for (const Shot& s : shots) {
    SCOPED_TRACE(s.code);
    auto area = day.Minutes(s.code, s.market);
    ASSERT_TRUE(area);
    ASSERT_EQ(area->pointsHeld, 242);
    const bool index = std::string(s.code) == "1A0001";
    if (index)  // the index strength the server does not send yet
      for (int i = 0; i < area->pointsHeld; ++i)
        area->points[i].field7 = static_cast<int16_t>(((i * 37) % 200) - 90 + (i % 11) * 3);
    NewsListArea mines = day.Mines(s.code, s.market);
    EXPECT_EQ(mines.recordCount, 3);
    RecordingParent parent;
    ASSERT_TRUE(parent.Make(1000, 600));
    auto view = std::make_unique<CMinView>();
    ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1000, 600), &parent, 0));
    view->SetDataRight(1);
    view->SetStock(area.get(), &hours);
    view->SetMineList(&mines);
    view->SetSubChart(kMinuteSubMacd);
    desk.RunUntilIdle();
    MinuteChart* c = view->Chart();
    EXPECT_EQ(c->MineMarkCount, 3);
    if (index) {
      EXPECT_GT(c->UpBarCount + c->DownBarCount, 0);
    }
    view->ShowCrossHair(false);
    desk.Click(view->m_hWnd, [&] {
      for (int x = 70; x < 1000; ++x)
        if (MinuteSlotOfX(c, x) == 150) return x;
      return 0;
    }(), 200);
    desk.RunUntilIdle();
    EXPECT_EQ(c->Cursor, 150);
    if (const char* folder = std::getenv("ORV_SNAPSHOT_DIR")) {
      EXPECT_TRUE(desk.SavePng(parent.m_hWnd, std::string(folder) + "/" + s.file));
    }
    view.reset();
    parent.DestroyWindow();
    ReleaseNewsListArea(&mines);
  }
}

}  // namespace
