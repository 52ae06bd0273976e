// The pop-up list: scroll bar shown only when needed, presses, double
// clicks, the wheel and its self-posted scroll, bar notices, cells and
// painting.
#include "controls/pop_list.h"
#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "controls/skin_scroll_bar.h"
#include "controls/tests/skin_controls_test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace orvtest;
using namespace skinctl;

constexpr COLORREF kOutline = RGB(0x69, 0xB0, 0xFF);
constexpr COLORREF kSelection = RGB(0x05, 0x3A, 0x74);
constexpr UINT kCentred = DT_SINGLELINE | DT_VCENTER;

class PopListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFonts();
    ASSERT_TRUE(parent.Make(400, 300));
  }
  void TearDown() override { parent.DestroyWindow(); }
  // A list 300 wide and tall enough for `rows` rows below the title.
  void Make(int visibleRows) {
    ASSERT_TRUE(list.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 310, 10 + 20 * (visibleRows + 1)), &parent,
                            77));
    desk.RunUntilIdle();
  }
  HWND Bar() const { return list.ScrollBar()->m_hWnd; }
  SCROLLINFO BarInfo() const {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ::GetScrollInfo(Bar(), SB_CTL, &si);
    return si;
  }
  void FillRows(int columns, int rows) {
    list.SetGridSize(columns, rows);
    for (int r = 0; r < rows; ++r) list.SetItem(r, 0, ("第" + std::to_string(r) + "条").c_str(), 0xFFFFFF, kCentred, 0);
    desk.RunUntilIdle();
  }
  TestDesktop desk;
  ScopedResourceFolder resources{BuildProgramFolder() + "res/"};
  RecordingParent parent;
  CVexloPopListView list;
};

TEST_F(PopListTest, ScrollBarShowsOnlyWhenTheRowsDoNotFit) {
  Make(8);
  EXPECT_EQ(list.GetVisibleRows(), 8);
  FillRows(2, 5);
  EXPECT_FALSE(IsWindowVisible(Bar()));
  FillRows(2, 12);
  ASSERT_TRUE(IsWindowVisible(Bar()));
  SCROLLINFO si = BarInfo();
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 4);
  EXPECT_EQ(si.nPage, 1u);
  EXPECT_EQ(si.nPos, 0);
  CRect rc;
  ::GetWindowRect(Bar(), &rc);
  list.ScreenToClient(&rc);
  EXPECT_EQ(rc, CRect(300 - 17, 21, 300 - 1, 180 - 1));
  // The skin (bitmap 154) made it one 16-pixel cell wide and paints it.
  EXPECT_NE(Pixel(desk, Bar(), 8, 8), CLR_INVALID);
  MINMAXINFO mmi{};
  list.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  EXPECT_EQ(mmi.ptMaxTrackSize.x, 500);
  EXPECT_EQ(mmi.ptMaxTrackSize.y, 300);
}

TEST_F(PopListTest, PressesSelectRowsAndDoubleClicksPostTheAbsoluteRow) {
  Make(8);
  FillRows(2, 5);
  desk.Click(list.m_hWnd, 50, 10);  // title bar
  EXPECT_EQ(list.GetSelectedRow(), -1);
  desk.Advance(600);
  desk.Click(list.m_hWnd, 50, 25);  // first band
  EXPECT_EQ(list.GetSelectedRow(), 0);
  desk.Advance(600);
  desk.Click(list.m_hWnd, 50, 20 + 6 * 20 + 5);  // below the last row
  EXPECT_EQ(list.GetSelectedRow(), 0);
  EXPECT_TRUE(parent.Of(WM_POPLIST_DBLCLK).empty());

  FillRows(2, 12);
  for (int i = 0; i < 2; ++i) list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(Bar()));
  ASSERT_EQ(list.GetTopRow(), 2);
  desk.Advance(600);
  desk.DoubleClick(list.m_hWnd, 50, 20 + 2 * 20 + 10);  // third band
  std::vector<Heard> picks = parent.Of(WM_POPLIST_DBLCLK);
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0].wParam, reinterpret_cast<WPARAM>(&list));
  EXPECT_EQ(picks[0].lParam, 4);
  EXPECT_EQ(list.GetSelectedRow(), 4);
  desk.Advance(600);
  desk.DoubleClick(list.m_hWnd, 50, 5);  // the title bar does nothing
  EXPECT_EQ(parent.Of(WM_POPLIST_DBLCLK).size(), 1u);
}

TEST_F(PopListTest, WheelMovesTheSelectionAndTheBarFollows) {
  Make(8);
  FillRows(1, 12);
  desk.Click(list.m_hWnd, 50, 25);
  for (int i = 0; i < 9; ++i) desk.Wheel(list.m_hWnd, 50, 50, -120);
  desk.RunUntilIdle();
  EXPECT_EQ(list.GetSelectedRow(), 9);
  EXPECT_EQ(list.GetTopRow(), 2);
  EXPECT_EQ(BarInfo().nPos, 2);  // WM_GRID_SCROLL posted to the list itself
  for (int i = 0; i < 4; ++i) desk.Wheel(list.m_hWnd, 50, 50, -120);
  desk.RunUntilIdle();
  EXPECT_EQ(list.GetSelectedRow(), 11);  // the last row stays selected
  EXPECT_EQ(list.GetTopRow(), 12 - 8);
  EXPECT_EQ(BarInfo().nPos, 4);
  desk.Wheel(list.m_hWnd, 50, 50, 3 * 120);
  desk.RunUntilIdle();
  EXPECT_EQ(list.GetSelectedRow(), 8);
  EXPECT_EQ(list.GetTopRow(), 4);
  desk.Wheel(list.m_hWnd, 50, 50, 20 * 120);
  desk.RunUntilIdle();
  EXPECT_EQ(list.GetSelectedRow(), 0);
  EXPECT_EQ(list.GetTopRow(), 0);
  EXPECT_EQ(BarInfo().nPos, 0);
  // The self-posted scroll clamps what it is given.
  list.SendMessage(WM_GRID_SCROLL, 99, 0);
  EXPECT_EQ(list.GetTopRow(), 4);
  EXPECT_EQ(BarInfo().nPos, 4);
}

TEST_F(PopListTest, BarNoticesMoveTheTopRowClampedAndOnlyFromItsOwnBar) {
  Make(8);
  FillRows(1, 12);
  struct Step {
    UINT code;
    int top;
  } steps[] = {{SB_LINEDOWN, 1}, {SB_PAGEDOWN, 2}, {SB_BOTTOM, 4}, {SB_LINEDOWN, 4}, {SB_PAGEUP, 3},
               {SB_TOP, 0},      {SB_LINEUP, 0},   {SB_THUMBPOSITION, 0}, {SB_ENDSCROLL, 0}};
  for (const auto& s : steps) {
    list.SendMessage(WM_VSCROLL, MAKEWPARAM(s.code, 0), reinterpret_cast<LPARAM>(Bar()));
    EXPECT_EQ(list.GetTopRow(), s.top) << s.code;
    EXPECT_EQ(BarInfo().nPos, s.top) << s.code;
  }
  list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), reinterpret_cast<LPARAM>(parent.m_hWnd));
  EXPECT_EQ(list.GetTopRow(), 0);
  // Dragging the bar's thumb scrolls the rows as it goes.
  desk.RunUntilIdle();
  CVexloScrollBar* bar = list.ScrollBar();
  const int thumb = bar->PartSpan(5).start;
  desk.MouseDown(Bar(), 8, thumb + 2);
  desk.MoveMouse(Bar(), 8, thumb + 200);
  EXPECT_EQ(list.GetTopRow(), 4);
  desk.MouseUp(Bar(), 8, thumb + 200);
  EXPECT_EQ(list.GetTopRow(), 4);
  EXPECT_EQ(BarInfo().nTrackPos, -1);
}

TEST_F(PopListTest, CellsTitlesAndGridSizesAreBounded) {
  Make(8);
  static const char kAddress[] = "news/20261210/1.htm";
  list.SetGridSize(2, 3);
  list.SetItem(1, 1, "公告", 0xFF0000, kCentred, reinterpret_cast<std::uintptr_t>(kAddress));
  list.SetItem(3, 0, "out", 0, 0, 1);
  list.SetItem(0, 2, "out", 0, 0, 1);
  list.SetItem(-1, 0, "out", 0, 0, 1);
  list.SetItem(0, 0, nullptr, 0, 0, 1);
  struct Case {
    int row, column;
    const char* expected;
  } cases[] = {{1, 1, kAddress}, {0, 0, ""}, {3, 0, ""}, {0, 2, ""}, {-1, 0, ""}, {0, -1, ""}};
  for (const auto& c : cases) EXPECT_STREQ(list.GetItemData(c.row, c.column), c.expected) << c.row << "," << c.column;

  std::string title(254, 'a');
  title += "浦发银行";  // the 255-byte cut falls inside 浦
  title += std::string(40, 'b');
  list.SetTitle(title.c_str());
  EXPECT_EQ(std::string(list.GetTitle()), std::string(254, 'a'));
  list.SetTitle("信息地雷");
  list.SetTitle(nullptr);
  EXPECT_STREQ(list.GetTitle(), "信息地雷");

  struct Size {
    const char* name;
    int columns, rows;
  } sizes[] = {{"negative", -2, 5}, {"zero rows", 3, 0}, {"absurd", 1000, 1000}};
  for (const auto& s : sizes) {
    list.SetGridSize(s.columns, s.rows);
    EXPECT_STREQ(list.GetItemData(0, 0), "") << s.name;
    list.SetItem(0, 0, "x", 0, 0, 5);
    EXPECT_STREQ(list.GetItemData(0, 0), "") << s.name;
    EXPECT_FALSE(IsWindowVisible(Bar())) << s.name;
  }
  // Malformed UTF-8 paints without reading past the text.
  list.SetGridSize(1, 2);
  list.SetItem(0, 0, "\xE6\xB5", 0xFFFFFF, kCentred, 0);
  list.SetItem(1, 0, "\x80\xFF\xC3", 0xFFFFFF, kCentred, 0);
  list.Invalidate();
  desk.RunUntilIdle();
}

TEST_F(PopListTest, PaintsTitleRowsSelectionAndAlignedCells) {
  Make(8);
  list.SetTitle("信息地雷");
  list.SetGridSize(3, 3);
  list.SetItem(0, 0, "左", 0xFFFFFF, DT_LEFT | kCentred, 0);
  list.SetItem(0, 1, "中", 0xFFFFFF, DT_CENTER | kCentred, 0);
  list.SetItem(0, 2, "右", 0xFFFFFF, DT_RIGHT | kCentred, 0);
  list.SetItem(1, 0, "第二条", 0xFFFFFF, kCentred, 0);
  desk.RunUntilIdle();
  desk.Click(list.m_hWnd, 100, 45);  // row 1
  HWND h = list.m_hWnd;
  EXPECT_EQ(Pixel(desk, h, 0, 100), kOutline);
  EXPECT_EQ(Pixel(desk, h, 299, 100), kOutline);
  EXPECT_EQ(Pixel(desk, h, 150, 150), RGB(0, 0, 0));
  EXPECT_EQ(Pixel(desk, h, 250, 10), kOutline);  // title band
  EXPECT_GT(CountColor(desk, h, CRect(10, 0, 150, 20), RGB(0, 0, 0)), 5);  // black title text
  EXPECT_EQ(Pixel(desk, h, 5, 45), kSelection);
  EXPECT_EQ(Pixel(desk, h, 5, 25), RGB(0, 0, 0));  // other rows have no bar
  EXPECT_EQ(Pixel(desk, h, 5, 65), RGB(0, 0, 0));
  // The bar spans left + 1 … right - 1 and its band's top … bottom - 1.
  EXPECT_EQ(Pixel(desk, h, 298, 45), kSelection);
  EXPECT_EQ(Pixel(desk, h, 5, 41), kSelection);
  EXPECT_EQ(Pixel(desk, h, 5, 58), kSelection);
  EXPECT_EQ(Pixel(desk, h, 5, 59), RGB(0, 0, 0));
  auto inkAt = [&](int left, int right) { return CountNear(desk, h, CRect(left, 21, right, 40), RGB(255, 255, 255), 60); };
  EXPECT_GT(inkAt(10, 40), 3);
  EXPECT_GT(inkAt(140, 175), 3);
  EXPECT_GT(inkAt(270, 300), 3);
  EXPECT_EQ(inkAt(60, 120), 0);
  EXPECT_EQ(inkAt(190, 250), 0);
  // Keys go to the parent as posted WM_KEYDOWN.
  desk.Key(VK_RETURN);
  ASSERT_EQ(parent.Of(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(parent.Of(WM_KEYDOWN)[0].wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_EQ(parent.Of(WM_KEYDOWN)[0].lParam, 0);
}

}  // namespace
