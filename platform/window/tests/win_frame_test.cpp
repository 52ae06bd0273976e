// Caption-less frames: system commands, the work area, WM_GETMINMAXINFO,
// non-client presses and WM_NCPAINT.
#include <gtest/gtest.h>

#include <vector>

#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"

namespace {

class FrameWindow : public CWnd {
 public:
  std::vector<UINT> asked;            // WM_GETMINMAXINFO, WM_NCLBUTTONDOWN, WM_NCLBUTTONDBLCLK, WM_NCPAINT
  std::vector<WPARAM> hits;           // the hit codes of the non-client presses
  LRESULT hitAnswer = HTCLIENT;       // what WM_NCHITTEST answers above y 30
  bool defaultNcPaint = true;
  POINT maxSize{0, 0};                // WM_GETMINMAXINFO's maximised size when set

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_GETMINMAXINFO: {
        asked.push_back(msg);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (maxSize.x > 0) info->ptMaxSize = maxSize;
        return 0;
      }
      case WM_NCHITTEST: {
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(&pt);
        return pt.y < 30 ? hitAnswer : HTCLIENT;
      }
      case WM_NCLBUTTONDOWN:
      case WM_NCLBUTTONDBLCLK:
        asked.push_back(msg);
        hits.push_back(wParam);
        break;
      case WM_NCPAINT:
        asked.push_back(msg);
        if (!defaultNcPaint) return 0;
        break;
      default: break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

TEST(WinFrameWindow, WorkAreaAndSystemCommands) {
  TestDesktop desk;
  desk.SetScreenSize(1600, 900);
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(CRect(work), CRect(0, 0, 1600, 860));
  EXPECT_FALSE(SystemParametersInfoW(0x1234, 0, &work, 0));
  EXPECT_EQ(ImmGetVirtualKey(nullptr), 0u);

  FrameWindow w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, u"f", WS_POPUP | WS_THICKFRAME | WS_VISIBLE, CRect(100, 50, 700, 450), nullptr, 0));
  w.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE);
  CRect rc;
  w.GetWindowRect(&rc);
  EXPECT_EQ(rc, CRect(work));
  EXPECT_TRUE(w.IsZoomed());
  EXPECT_EQ(std::count(w.asked.begin(), w.asked.end(), WM_GETMINMAXINFO), 1);

  w.SendMessage(WM_SYSCOMMAND, SC_RESTORE);
  w.GetWindowRect(&rc);
  EXPECT_EQ(rc, CRect(100, 50, 700, 450));
  EXPECT_FALSE(w.IsZoomed());

  w.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
  EXPECT_TRUE(w.IsIconic());
  w.ShowWindow(SW_RESTORE);
  EXPECT_FALSE(w.IsIconic());

  // The window's own answer decides the maximised size.
  w.maxSize = POINT{800, 600};
  w.ShowWindow(SW_MAXIMIZE);
  w.GetWindowRect(&rc);
  EXPECT_EQ(rc, CRect(0, 0, 800, 600));
  w.DestroyWindow();
}

TEST(WinFrameWindow, NonClientPressesAndCaptionDefaults) {
  TestDesktop desk;
  FrameWindow w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, u"f", WS_POPUP | WS_VISIBLE, CRect(100, 100, 500, 400), nullptr, 0));
  // Client presses stay client presses.
  desk.Click(w.GetSafeHwnd(), 50, 10);
  EXPECT_TRUE(w.hits.empty());

  // A caption press moves the window with the mouse until release.
  w.hitAnswer = HTCAPTION;
  desk.Then([&] { desk.MoveMouse(w.GetSafeHwnd(), 80, 25); });
  desk.Then([&] { desk.MouseUp(w.GetSafeHwnd(), 80, 25); });
  desk.MouseDown(w.GetSafeHwnd(), 50, 10);
  desk.RunUntilIdle();
  ASSERT_FALSE(desk.StepsTimedOut());
  EXPECT_EQ(w.hits, (std::vector<WPARAM>{HTCAPTION}));
  CRect rc;
  w.GetWindowRect(&rc);
  EXPECT_EQ(rc.TopLeft(), CPoint(130, 115));

  // A double click on the caption maximises, whatever the class style, and
  // a second one restores.
  desk.Advance(1000);
  desk.DoubleClick(w.GetSafeHwnd(), 50, 10);
  EXPECT_EQ(w.hits.back(), static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(w.asked.back(), WM_GETMINMAXINFO);
  EXPECT_TRUE(w.IsZoomed());
  desk.Advance(1000);
  desk.DoubleClick(w.GetSafeHwnd(), 50, 10);
  EXPECT_FALSE(w.IsZoomed());
  w.GetWindowRect(&rc);
  EXPECT_EQ(rc.TopLeft(), CPoint(130, 115));
  w.DestroyWindow();
}

TEST(WinFrameWindow, NcPaintIsAskedAndItsDefaultDrawsTheFrame) {
  TestDesktop desk;
  FrameWindow w;
  w.defaultNcPaint = false;
  ASSERT_TRUE(w.CreateEx(0, nullptr, u"f", WS_POPUP | WS_THICKFRAME | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
  desk.RunUntilIdle();
  EXPECT_EQ(std::count(w.asked.begin(), w.asked.end(), WM_NCPAINT), 1);
  // Nobody drew the frame: its pixels are what the window DC left (here the
  // picture's initial colour), not the platform's raised edge.
  const QImage bare = desk.Snapshot(w.GetSafeHwnd());
  w.defaultNcPaint = true;
  w.RedrawWindow(nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
  desk.RunUntilIdle();
  const QImage framed = desk.Snapshot(w.GetSafeHwnd());
  EXPECT_NE(bare.pixel(0, 50), framed.pixel(0, 50));

  // A handler that draws its own border in the window DC.
  CDC* dc = w.GetWindowDC();
  ASSERT_NE(dc, nullptr);
  dc->FillSolidRect(CRect(0, 0, 200, 2), RGB(32, 71, 139));
  w.ReleaseDC(dc);
  EXPECT_EQ(desk.Snapshot(w.GetSafeHwnd()).pixelColor(100, 0), QColor(32, 71, 139));
  w.DestroyWindow();
}

}  // namespace
