// The grid's input: message sequences against a recording parent (each
// notice marked sent or posted), selection repaint, sorting and the drag.
#include "controls/tests/grid_test_support.h"

#include <functional>

using namespace grid_test;

namespace {

constexpr int kWidth = 400;
constexpr int kRows = 30;            // data rows
constexpr int kHeight = 26 + 10 * 26;  // ten whole rows visible
constexpr WPARAM kGrid = 0x6A1D;       // stands for the grid's address

int RowY(int visibleIndex) { return 26 + visibleIndex * 26 + 13; }

struct Expect {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool sent = false;
};

class GridInput : public GridFixture {
 protected:
  void MakeFilled(int rows = kRows) {
    Make(kWidth, kHeight);
    Refill(rows);
  }
  void Refill(int rows) {
    FillEmpty(rows, 3, 100);
    grid->SetColumnSortable(0, 1);
    grid->SetColumnSortable(1, 1);
    grid->SetCurRow(-2);
    grid->SetTopRow(0);
    grid->SetSortState(-1, 0);
    Paint();
    grid->SetFocus();
    desk.Advance(1000);  // the next press is no double click
    parent.log.clear();
  }
  void ExpectLog(const std::vector<Expect>& expected) {
    ASSERT_EQ(parent.log.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      const Notice& n = parent.log[i];
      const Expect& e = expected[i];
      EXPECT_EQ(n.msg, e.msg);
      EXPECT_EQ(n.wParam, e.wParam == kGrid ? reinterpret_cast<WPARAM>(static_cast<CGridCtrl*>(grid)) : e.wParam);
      EXPECT_EQ(n.lParam, e.lParam);
      EXPECT_EQ(n.sent, e.sent);
    }
  }
};

struct Case {
  const char* name;
  std::function<void(CGridCtrl&)> setup;
  std::function<void(TestDesktop&, HWND)> act;
  std::vector<Expect> expected;
  int cur, top;
};

void RunCases(GridInput& t, TestDesktop& desk, ProbeGrid*& grid, const std::vector<Case>& cases,
              const std::function<void(int)>& refill, const std::function<void(const std::vector<Expect>&)>& check) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    refill(kRows);
    c.setup(*grid);
    c.act(desk, grid->m_hWnd);
    check(c.expected);
    EXPECT_EQ(grid->GetCurRow(), c.cur);
    EXPECT_EQ(grid->GetTopRow(), c.top);
  }
  (void)t;
}

auto Cur(int cur, int top = 0) {
  return [=](CGridCtrl& g) { g.SetTopRow(top), g.SetCurRow(cur); };
}
auto Press(UINT vk) {
  return [=](TestDesktop& d, HWND) { d.Key(vk); };
}
auto Wheel(int delta) {
  return [=](TestDesktop& d, HWND h) { d.Wheel(h, 50, RowY(2), delta); };
}

TEST_F(GridInput, KeysAndWheelMoveTheCurrentRow) {
  MakeFilled();
  const LPARAM last = kRows;  // row count - 1
  const std::vector<Case> cases = {
      {"Down at the view's bottom scrolls", Cur(9), Press(VK_DOWN), {{WM_GRID_SCROLL, 1, 0}}, 10, 1},
      {"Down inside the view", Cur(3), Press(VK_DOWN), {{WM_GRID_SCROLL, 0, 0}}, 4, 0},
      {"Up above the view scrolls back", Cur(5, 5), Press(VK_UP), {{WM_GRID_SCROLL, 4, 0}}, 4, 4},
      {"Up from the first row pages back", Cur(0), Press(VK_UP), {{WM_GRID_PAGE, WPARAM(-1), 0}, {WM_GRID_SCROLL, 0, 0}}, 0, 0},
      {"Down from the last row pages on", Cur(kRows - 1, 20), Press(VK_DOWN),
       {{WM_GRID_PAGE, 0, last}, {WM_GRID_SCROLL, 20, 0}}, kRows - 1, 20},
      {"Down with no current row pages back", Cur(-2), Press(VK_DOWN),
       {{WM_GRID_PAGE, WPARAM(-1), 0}, {WM_GRID_SCROLL, 0, 0}}, 0, 0},
      {"wheel -240 moves down two", Cur(3), Wheel(-240), {{WM_GRID_SCROLL, 0, 0}}, 5, 0},
      {"wheel 60 moves nothing", Cur(3), Wheel(60), {{WM_GRID_SCROLL, 0, 0}}, 3, 0},
      {"wheel 0 moves nothing", Cur(3), Wheel(0), {{WM_GRID_SCROLL, 0, 0}}, 3, 0},
      {"wheel past the view scrolls just enough", Cur(9), Wheel(-360), {{WM_GRID_SCROLL, 3, 0}}, 12, 3},
      {"wheel above the view", Cur(6, 5), Wheel(240), {{WM_GRID_SCROLL, 4, 0}}, 4, 4},
      {"wheel before the first row", Cur(0), Wheel(120), {{WM_GRID_PAGE, WPARAM(-1), 0}, {WM_GRID_SCROLL, 0, 0}}, 0, 0},
      {"wheel past the last row", Cur(kRows - 1, 20), Wheel(-240), {{WM_GRID_PAGE, 0, last}, {WM_GRID_SCROLL, 20, 0}}, kRows - 1, 20},
      {"Enter activates", Cur(4), Press(VK_RETURN), {{WM_GRID_ACTIVATE, kGrid, 4}}, 4, 0},
      {"Enter with no current row", Cur(-2), Press(VK_RETURN), {}, -2, 0},
      {"Page Up", Cur(4), Press(VK_PRIOR), {{WM_GRID_PAGE, WPARAM(-1), 4}}, 4, 0},
      {"Page Down", Cur(4), Press(VK_NEXT), {{WM_GRID_PAGE, 0, 4}}, 4, 0},
      {"Home to the parent", Cur(4), Press(VK_HOME), {{WM_KEYDOWN, VK_HOME, 0}}, 4, 0},
      {"End to the parent", Cur(4), Press(VK_END), {{WM_KEYDOWN, VK_END, 0}}, 4, 0},
      {"Left to the parent", Cur(4), Press(VK_LEFT), {{WM_KEYDOWN, VK_LEFT, 0}}, 4, 0},
      {"Right to the parent", Cur(4), Press(VK_RIGHT), {{WM_KEYDOWN, VK_RIGHT, 0}}, 4, 0},
      {"a letter to the parent", Cur(4), Press('A'), {{WM_KEYDOWN, 'A', 0}}, 4, 0},
      {"a repeated key moves once per message", Cur(4), [](TestDesktop& d, HWND) { d.KeyDown(VK_DOWN, 3), d.KeyUp(VK_DOWN); },
       {{WM_GRID_SCROLL, 0, 0}}, 5, 0},
  };
  RunCases(*this, desk, grid, cases, [this](int r) { Refill(r); }, [this](const auto& e) { ExpectLog(e); });
  // The next paint brings a current row past the end back to the last data row.
  Refill(kRows);
  grid->SetCurRow(kRows - 1);
  desk.Key(VK_DOWN);
  Paint();
  EXPECT_EQ(grid->GetCurRow(), kRows - 1);
}

TEST_F(GridInput, ClicksSortSelectAndActivate) {
  MakeFilled();
  auto click = [](int x, int y) { return [=](TestDesktop& d, HWND h) { d.Click(h, x, y); }; };
  auto sort = [](int column, int direction) { return [=](CGridCtrl& g) { g.SetSortState(column, direction); }; };
  auto none = [](CGridCtrl&) {};
  const std::vector<Case> cases = {
      {"first click on a sortable title", none, click(50, 13), {{WM_GRID_SORT, 0, 1}}, -2, 0},
      {"a kept direction", sort(-1, -1), click(50, 13), {{WM_GRID_SORT, 0, -1}}, -2, 0},
      {"second click negates", sort(0, 1), click(50, 13), {{WM_GRID_SORT, 0, -1}}, -2, 0},
      {"another title keeps the direction", sort(0, -1), click(150, 13), {{WM_GRID_SORT, 1, -1}}, -2, 0},
      {"the border pixel belongs to the left title", sort(0, 1), click(100, 13), {{WM_GRID_SORT, 0, -1}}, -2, 0},
      {"direction 0 on the sort column stays 0", sort(0, 0), click(50, 13), {{WM_GRID_SORT, 0, 0}}, -2, 0},
      {"a title that is not sortable", none, click(250, 13), {}, -2, 0},
      {"a data row selects", Cur(-2), click(50, RowY(2)), {{WM_GRID_SELECT, kGrid, 2}}, 2, 0},
      {"a data row under a scrolled view", Cur(9, 5), click(50, RowY(2)), {{WM_GRID_SELECT, kGrid, 7}}, 7, 5},
      {"the current row again", Cur(2), click(50, RowY(2)), {}, 2, 0},
      {"a right click selects and asks for a menu", Cur(2), [](TestDesktop& d, HWND h) { d.RightClick(h, 60, RowY(5)); },
       {{WM_GRID_CONTEXT_MENU, WPARAM(60 | (RowY(5) << 16)), 5, true}}, 5, 0},
      {"a right click in the header", Cur(2), [](TestDesktop& d, HWND h) { d.RightClick(h, 60, 13); }, {}, 2, 0},
      {"a double click selects, then activates", Cur(-2), [](TestDesktop& d, HWND h) { d.DoubleClick(h, 50, RowY(4)); },
       {{WM_GRID_SELECT, kGrid, 4}, {WM_GRID_ACTIVATE, kGrid, 4}}, 4, 0},
      {"a double click in the header with no row", Cur(-2), [](TestDesktop& d, HWND h) { d.DoubleClick(h, 250, 13); },
       {{WM_GRID_ACTIVATE, kGrid, -2}}, -2, 0},
      {"a double click with no press before it", Cur(-2),
       [](TestDesktop& d, HWND h) { ::SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, RowY(3))), d.RunUntilIdle(); },
       {{WM_GRID_ACTIVATE, kGrid, -2}}, -2, 0},
      {"a double click in the header with a row", Cur(3), [](TestDesktop& d, HWND h) { d.DoubleClick(h, 250, 13); }, {},
       3, 0},
  };
  RunCases(*this, desk, grid, cases, [this](int r) { Refill(r); }, [this](const auto& e) { ExpectLog(e); });
}

TEST_F(GridInput, ClicksOutsideTheRowsDoNothing) {
  MakeFilled(3);
  // A double click in the group row counts as one in the header: with no
  // current row it posts the negative row, so only presses are tried there.
  struct Place {
    const char* name;
    int groups;
    int y;
    bool doubleClick;
  };
  const Place places[] = {{"below the last row", 0, RowY(4), true}, {"in the group row", 2, 5, false}};
  for (const auto& p : places) {
    SCOPED_TRACE(p.name);
    Refill(3);
    grid->SetGroupCount(p.groups);
    desk.Click(grid->m_hWnd, 50, p.y);
    desk.Advance(1000);
    if (p.doubleClick) desk.DoubleClick(grid->m_hWnd, 50, p.y);
    desk.Advance(1000);
    desk.RightClick(grid->m_hWnd, 50, p.y);
    EXPECT_TRUE(parent.log.empty());
    EXPECT_EQ(grid->GetCurRow(), -2);
  }
}

TEST_F(GridInput, PressesTakeTheFocus) {
  MakeFilled();
  for (bool right : {false, true}) {
    parent.SetFocus();
    desk.RunUntilIdle();
    ASSERT_NE(::GetFocus(), grid->m_hWnd);
    desk.MouseDown(grid->m_hWnd, 50, right ? RowY(1) : 13, right);
    desk.MouseUp(grid->m_hWnd, 50, right ? RowY(1) : 13, right);
    EXPECT_EQ(::GetFocus(), grid->m_hWnd) << right;
  }
}

// The parent's menu handler runs inside the right press and sees the row
// the press selected.
TEST_F(GridInput, ContextMenuSeesTheNewRow) {
  MakeFilled();
  int seen = -99;
  parent.onContextMenu = [&](const Notice& n) { seen = n.curRowDuring; };
  grid->SetCurRow(1);
  desk.RightClick(grid->m_hWnd, 30, RowY(6));
  EXPECT_EQ(seen, 6);
  EXPECT_TRUE(Of(WM_GRID_SELECT).empty());
}

// A selection repaints the two bands only, and before the press handler
// returns.
TEST_F(GridInput, SelectionRepaintsTwoBandsAtOnce) {
  MakeFilled();
  grid->SetCurRow(2);
  Paint();
  grid->updateRects.clear();
  int paintsInside = -1;
  parent.onContextMenu = nullptr;
  const int before = grid->paintCount;
  desk.MouseDown(grid->m_hWnd, 50, RowY(5));
  paintsInside = grid->paintCount - before;
  desk.MouseUp(grid->m_hWnd, 50, RowY(5));
  ASSERT_EQ(grid->updateRects.size(), 1u);
  EXPECT_EQ(paintsInside, 1);
  const RECT r = grid->updateRects[0];
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, kWidth);
  EXPECT_EQ(r.top, 26 + 2 * 26);
  EXPECT_EQ(r.bottom, 26 + 6 * 26);
  QImage img = desk.Snapshot(grid->m_hWnd);
  EXPECT_EQ(PixelOf(img, 5, RowY(5)), kSelected);
  EXPECT_NE(PixelOf(img, 5, RowY(2)), kSelected);
}

TEST_F(GridInput, DragStartsOnlyAfterHoldingStill) {
  MakeFilled();
  const HWND h = grid->m_hWnd;
  struct DragCase {
    const char* name;
    std::function<void(TestDesktop&)> act;
    std::vector<Expect> expected;
  };
  auto hold = [h](TestDesktop& d) {
    d.MoveMouse(h, 50, RowY(2));
    d.MouseDown(h, 50, RowY(2));
    d.Advance(500);
  };
  const std::vector<DragCase> cases = {
      {"hold still, move, drop", [&](TestDesktop& d) {
         hold(d);
         d.MoveMouse(h, 60, RowY(6));
         d.MouseUp(h, 60, RowY(6));
       }, {{WM_GRID_DRAG_BEGIN, 0, 2}, {WM_GRID_DROP, 0, 6}}},
      {"drop above the rows", [&](TestDesktop& d) {
         hold(d);
         d.MoveMouse(h, 60, 5);
         d.MouseUp(h, 60, 5);
       }, {{WM_GRID_DRAG_BEGIN, 0, 2}, {WM_GRID_DROP, 0, 0}}},
      {"drop on a lower row", [&](TestDesktop& d) {
         hold(d);
         d.MoveMouse(h, 60, RowY(9));
         d.MouseUp(h, 60, RowY(9));
       }, {{WM_GRID_DRAG_BEGIN, 0, 2}, {WM_GRID_DROP, 0, 9}}},
      {"a move before 500 ms", [&](TestDesktop& d) {
         d.MoveMouse(h, 50, RowY(2));
         d.MouseDown(h, 50, RowY(2));
         d.Advance(300);
         d.MoveMouse(h, 52, RowY(2));
         d.Advance(600);
         d.MouseUp(h, 52, RowY(2));
       }, {}},
      {"the right button held cancels", [&](TestDesktop& d) {
         hold(d);
         d.MouseDown(h, 60, RowY(2), true);
         d.MoveMouse(h, 60, RowY(5));
         d.MouseUp(h, 60, RowY(5), true);
         d.MouseUp(h, 60, RowY(5));
       }, {{WM_GRID_DRAG_BEGIN, 0, 2}, {WM_GRID_CONTEXT_MENU, WPARAM(60 | (RowY(2) << 16)), 2, true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Refill(kRows);
    grid->EnableRowDrag(1);
    grid->SetCurRow(2);
    c.act(desk);
    ExpectLog(c.expected);
  }
  // A drop below the rows is at most the last slot.
  Refill(3);
  grid->EnableRowDrag(1);
  grid->SetCurRow(1);
  desk.MoveMouse(h, 50, RowY(1));
  desk.MouseDown(h, 50, RowY(1));
  desk.Advance(500);
  desk.MoveMouse(h, 50, RowY(9));
  desk.MouseUp(h, 50, RowY(9));
  ExpectLog({{WM_GRID_DRAG_BEGIN, 0, 1}, {WM_GRID_DROP, 0, 3}});
  // Without row drag nothing is armed.
  Refill(kRows);
  grid->EnableRowDrag(0);
  grid->SetCurRow(2);
  desk.MoveMouse(h, 50, RowY(2));
  desk.MouseDown(h, 50, RowY(2));
  desk.Advance(600);
  desk.MouseUp(h, 50, RowY(2));
  EXPECT_TRUE(parent.log.empty());
}

}  // namespace
