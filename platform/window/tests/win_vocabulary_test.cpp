// The rectangle functions, WM_CONTEXTMENU and scrolling a window's picture.
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(WinRect, FreeFunctions) {
  RECT a, b{5, 5, 15, 15}, out;
  ASSERT_TRUE(SetRect(&a, 0, 0, 10, 10));
  struct Case {
    const char* name;
    RECT x, y;
    BOOL intersects;
    RECT common, both;
  };
  const Case cases[] = {
      {"overlap", {0, 0, 10, 10}, {5, 5, 15, 15}, TRUE, {5, 5, 10, 10}, {0, 0, 15, 15}},
      {"touching edges do not overlap", {0, 0, 10, 10}, {10, 0, 20, 10}, FALSE, {}, {0, 0, 20, 10}},
      {"inside", {0, 0, 10, 10}, {2, 3, 4, 5}, TRUE, {2, 3, 4, 5}, {0, 0, 10, 10}},
      {"an empty one is ignored by the union", {0, 0, 10, 10}, {50, 50, 50, 60}, FALSE, {}, {0, 0, 10, 10}},
      {"both empty", {3, 3, 3, 3}, {7, 7, 6, 9}, FALSE, {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IntersectRect(&out, &c.x, &c.y), c.intersects) << c.name;
    EXPECT_TRUE(EqualRect(&out, &c.common)) << c.name;
    BOOL any = UnionRect(&out, &c.x, &c.y);
    EXPECT_EQ(any, !IsRectEmpty(&c.both)) << c.name;
    EXPECT_TRUE(EqualRect(&out, &c.both)) << c.name;
  }
  EXPECT_TRUE(PtInRect(&a, POINT{0, 0}));
  EXPECT_FALSE(PtInRect(&a, POINT{10, 5}));  // right and bottom are outside
  EXPECT_FALSE(PtInRect(&a, POINT{5, 10}));
  ASSERT_TRUE(OffsetRect(&b, -5, 1));
  EXPECT_TRUE(EqualRect(&b, &a) == FALSE);
  RECT expect{0, 6, 10, 16};
  EXPECT_TRUE(EqualRect(&b, &expect));
  ASSERT_TRUE(InflateRect(&b, 2, -3));
  expect = RECT{-2, 9, 12, 13};
  EXPECT_TRUE(EqualRect(&b, &expect));
  ASSERT_TRUE(CopyRect(&out, &b));
  EXPECT_TRUE(EqualRect(&out, &b));
  ASSERT_TRUE(SetRectEmpty(&out));
  EXPECT_TRUE(IsRectEmpty(&out));
  EXPECT_TRUE(IsRectEmpty(nullptr));
  EXPECT_FALSE(IntersectRect(nullptr, &a, &b));
  EXPECT_FALSE(PtInRect(nullptr, POINT{0, 0}));
  EXPECT_FALSE(EqualRect(&a, nullptr));
}

// Records WM_CONTEXTMENU and the framework's OnContextMenu.
class Menus : public CWnd {
 public:
  std::vector<std::pair<HWND, CPoint>> asked;  // (window clicked, point)
  bool handle = true;
  void OnContextMenu(CWnd* wnd, CPoint pt) override {
    if (!handle) return CWnd::OnContextMenu(wnd, pt);
    asked.emplace_back(wnd ? wnd->m_hWnd : nullptr, pt);
  }
};

TEST(WinContextMenu, RightClickAndMenuKeyAskTheWindowThenItsParent) {
  TestDesktop desk;
  Menus parent, child;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"p", WS_POPUP | WS_VISIBLE, CRect(100, 100, 400, 300), nullptr, 0));
  ASSERT_TRUE(child.CreateEx(0, nullptr, u"c", WS_CHILD | WS_VISIBLE, CRect(10, 10, 110, 60), &parent, 5));
  desk.RightClick(child.m_hWnd, 20, 30);
  ASSERT_EQ(child.asked.size(), 1u);
  EXPECT_EQ(child.asked[0].first, child.m_hWnd);
  EXPECT_EQ(child.asked[0].second, CPoint(100 + 10 + 20, 100 + 10 + 30));  // screen coordinates
  EXPECT_TRUE(parent.asked.empty());

  child.handle = false;  // default handling passes it up
  desk.RightClick(child.m_hWnd, 5, 5);
  ASSERT_EQ(parent.asked.size(), 1u);
  EXPECT_EQ(parent.asked[0].first, child.m_hWnd);

  child.SetFocus();
  desk.Key(VK_APPS);
  ASSERT_EQ(parent.asked.size(), 2u);
  EXPECT_EQ(parent.asked[1].second, CPoint(-1, -1));
  desk.Key(VK_F10, true);
  EXPECT_EQ(parent.asked.size(), 3u);
}

// A window that paints horizontal bands and records its paint rectangles.
class Bands : public CWnd {
 public:
  std::vector<CRect> painted;
  int offset = 0;  // the content scrolled by
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    painted.push_back(CRect(dc.m_ps.rcPaint));
    for (int y = 0; y < 200; ++y) {
      int row = y + offset;
      COLORREF c = RGB((row * 7) & 0xFF, (row * 3) & 0xFF, 100);
      dc.FillSolidRect(0, y, 200, 1, c);
    }
  }
};

TEST(WinScroll, PicturesMoveAndOnlyTheUncoveredPartIsPainted) {
  TestDesktop desk;
  Bands w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, u"b", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 200), nullptr, 0));
  CWnd child;
  ASSERT_TRUE(child.CreateEx(0, nullptr, u"c", WS_CHILD, CRect(10, 50, 30, 70), &w, 1));
  desk.RunUntilIdle();
  QImage before = desk.Snapshot(w.m_hWnd);
  w.painted.clear();
  w.offset = 15;
  w.ScrollWindow(0, -15);  // content up by 15: rows 185..199 uncovered
  EXPECT_TRUE(w.painted.empty());  // painting waits for the queue
  desk.RunUntilIdle();
  ASSERT_EQ(w.painted.size(), 1u);
  EXPECT_EQ(w.painted[0], CRect(0, 185, 200, 200));
  QImage after = desk.Snapshot(w.m_hWnd);
  for (int y : {0, 50, 184}) EXPECT_EQ(after.pixel(40, y), before.pixel(40, y + 15)) << y;  // moved
  EXPECT_EQ(after.pixel(40, 199) & 0xFFFFFF, static_cast<QRgb>(((214 * 7) & 0xFF) << 16 | ((214 * 3) & 0xFF) << 8 | 100));
  CRect rc;
  child.GetWindowRect(&rc);
  EXPECT_EQ(rc.TopLeft(), CPoint(10, 35));  // a null scroll rectangle moves the children

  // ScrollWindowEx with a scroll rectangle: the update region is returned
  // and nothing is invalidated without SW_INVALIDATE; children stay.
  w.painted.clear();
  RECT part{0, 0, 100, 100}, update{};
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(ScrollWindowEx(w.m_hWnd, 20, 0, &part, nullptr, rgn, &update, 0), SIMPLEREGION);
  RECT expect{0, 0, 20, 100};
  EXPECT_TRUE(EqualRect(&update, &expect));
  RECT box{};
  GetRgnBox(rgn, &box);
  EXPECT_TRUE(EqualRect(&box, &expect));
  DeleteObject(rgn);
  desk.RunUntilIdle();
  EXPECT_TRUE(w.painted.empty());
  child.GetWindowRect(&rc);
  EXPECT_EQ(rc.TopLeft(), CPoint(10, 35));
  EXPECT_EQ(ScrollWindowEx(nullptr, 1, 1, nullptr, nullptr, nullptr, nullptr, 0), ERROR);
}

}  // namespace
