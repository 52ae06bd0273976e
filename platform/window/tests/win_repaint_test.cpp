// Repainting children through RedrawWindow, and showing each paint pass on
// screen whichever loop pumps.
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"
#include "platform/window/win_internal.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

class Counted : public CWnd {
 public:
  int paints = 0;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    ++paints;
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(20, 40, 60));
  }
};

TEST(WinRedraw, AllChildrenReachesChildrenOfAClippingParent) {
  TestDesktop desk;
  Counted parent, child, grandchild;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"p", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 300, 200),
                              nullptr, 0));
  ASSERT_TRUE(child.CreateEx(0, nullptr, u"c", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(10, 10, 110, 60),
                             &parent, 1));
  ASSERT_TRUE(grandchild.CreateEx(0, nullptr, u"g", WS_CHILD | WS_VISIBLE, CRect(5, 5, 25, 25), &child, 2));
  desk.RunUntilIdle();
  struct Case {
    const char* name;
    UINT flags;
    int parent, child, grandchild;  // paints each gets
  };
  const Case cases[] = {
      {"clipping parent alone", RDW_INVALIDATE, 1, 0, 0},
      {"all children", RDW_INVALIDATE | RDW_ALLCHILDREN, 1, 1, 1},
      {"no children", RDW_INVALIDATE | RDW_NOCHILDREN | RDW_ALLCHILDREN, 1, 1, 1},  // ALLCHILDREN wins
      {"all children, painted at once", RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW, 1, 1, 1},
  };
  for (const Case& c : cases) {
    parent.paints = child.paints = grandchild.paints = 0;
    RedrawWindow(parent.m_hWnd, nullptr, nullptr, c.flags);
    if (c.flags & RDW_UPDATENOW) {
      EXPECT_EQ(child.paints, c.child) << c.name << ": before the queue runs";
    }
    desk.RunUntilIdle();
    EXPECT_EQ(parent.paints, c.parent) << c.name;
    EXPECT_EQ(child.paints, c.child) << c.name;
    EXPECT_EQ(grandchild.paints, c.grandchild) << c.name;
  }
}

// A screen host that only counts what it is asked to show.
class CountingHost : public ScreenHost {
 public:
  std::map<HWND, int> flushes;
  void TopLevelChanged(HWND) override {}
  void TopLevelDestroyed(HWND) override {}
  void Flush(HWND top) override { ++flushes[top]; }
  void CursorChanged(HCURSOR) override {}
  std::uintptr_t NativeChild(HWND) override { return 0; }
  void NativeChildChanged(HWND) override {}
  void NativeChildDestroyed(HWND) override {}
};

TEST(WinRedraw, EachPaintPassReachesTheScreenInAPeekMessageLoop) {
  TestDesktop desk;
  CountingHost host;
  SetScreenHost(&host);
  Counted top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"t", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
  desk.RunUntilIdle();
  host.flushes.clear();
  top.paints = 0;
  // A busy loop: it peeks and dispatches while work keeps arriving and
  // never waits in GetMessage.
  for (int round = 0; round < 3; ++round) {
    int before = host.flushes[top.m_hWnd];
    top.Invalidate(FALSE);
    PostMessageW(top.m_hWnd, WM_NULL, 0, 0);
    MSG msg;
    int guard = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && ++guard < 100) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    EXPECT_GT(host.flushes[top.m_hWnd], before) << "round " << round;
  }
  EXPECT_EQ(top.paints, 3);
  top.DestroyWindow();
  SetScreenHost(nullptr);
}

}  // namespace
