// Sizing edges of a child window: hit codes reaching WM_SETCURSOR and the
// non-client mouse messages, the sizing loop of WM_SYSCOMMAND SC_SIZE, the
// tool-window style, and icons by resource id.
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_icons.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <QImage>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// A child whose top 3 pixels are its top sizing edge, with a largest and a
// smallest height, logging its sizes and non-client presses.
class EdgeChild : public CWnd {
 public:
  int maxHeight = 300;
  int minHeight = 40;
  std::vector<int> heights;
  std::vector<WPARAM> ncDowns;
  std::vector<int> cursorHits;

  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    switch (msg) {
      case WM_NCHITTEST: {
        POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        ScreenToClient(&p);
        return p.y < 3 ? HTTOP : HTCLIENT;
      }
      case WM_SETCURSOR:
        cursorHits.push_back(LOWORD(static_cast<std::uintptr_t>(l)));
        break;
      case WM_NCLBUTTONDOWN:
        ncDowns.push_back(w);
        break;
      case WM_SIZE:
        heights.push_back(HIWORD(static_cast<std::uintptr_t>(l)));
        break;
      case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(l);
        info->ptMaxTrackSize = POINT{10000, maxHeight};
        info->ptMinTrackSize = POINT{0, minHeight};
        return 0;
      }
      default:
        break;
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

class WinSizingLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(top.CreateEx(0, nullptr, u"main", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 500), nullptr, 0));
    // The child sits along the bottom: top 300, 200 high.
    ASSERT_TRUE(child.CreateEx(0, nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 300, 400, 500), &top, 1));
    desk.RunUntilIdle();
    child.heights.clear();
  }
  CRect ChildRect() {
    CRect r;
    child.GetWindowRect(&r);
    top.ScreenToClient(&r);
    return r;
  }
  TestDesktop desk;
  CWnd top;
  EdgeChild child;
};

TEST_F(WinSizingLoop, EdgeHitsReachTheCursorAndTheNonClientPress) {
  desk.MoveMouse(top, 50, 301);
  ASSERT_FALSE(child.cursorHits.empty());
  EXPECT_EQ(child.cursorHits.back(), HTTOP);
  // Default handling shows the north-south cursor over a top edge.
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZENS));
  desk.MoveMouse(top, 50, 350);
  EXPECT_EQ(child.cursorHits.back(), HTCLIENT);
  EXPECT_TRUE(child.ncDowns.empty());
  // A press inside the client is an ordinary one; Esc ends the loop a press
  // on the edge starts (nothing moved).
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  desk.MouseDown(top, 50, 301);
  ASSERT_EQ(child.ncDowns.size(), 1u);
  EXPECT_EQ(child.ncDowns[0], static_cast<WPARAM>(HTTOP));
  EXPECT_EQ(ChildRect(), CRect(0, 300, 400, 500));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WinSizingLoop, TheTopEdgeFollowsTheMouseWithinTheTrackSizes) {
  struct Case {
    const char* name;
    int toY;         // where the mouse goes (main window's client)
    int expectTop;   // child's top afterwards, bottom stays at 500
  };
  const Case cases[] = {
      {"up by 50", 251, 250},
      {"beyond the largest height stops there", 20, 200},
      {"below the smallest height stops there", 490, 460},
  };
  for (const Case& c : cases) {
    child.MoveWindow(0, 300, 400, 200);
    child.heights.clear();
    desk.Then([&] { desk.MoveMouse(top, 60, (c.toY + 301) / 2); });
    desk.Then([&] { desk.MoveMouse(top, 60, c.toY); });
    desk.Then([&] { desk.MouseUp(top, 60, c.toY); });
    desk.MouseDown(top, 50, 301);
    EXPECT_EQ(ChildRect(), CRect(0, c.expectTop, 400, 500)) << c.name;
    // Live: a WM_SIZE for the step half way and for the end.
    EXPECT_FALSE(child.heights.empty()) << c.name;
    EXPECT_EQ(GetCapture(), nullptr) << c.name;
  }
}

TEST_F(WinSizingLoop, EscapeAndLostCapturePutTheStartBack) {
  for (int way = 0; way < 2; ++way) {
    desk.Then([&] { desk.MoveMouse(top, 60, 200); });
    desk.Then([&] {
      EXPECT_EQ(ChildRect().top, 200);  // moved live
      if (way == 0) desk.Key(VK_ESCAPE);
      else {
        // Another window takes the capture; the loop notices with the next
        // message it gets.
        SetCapture(top);
        PostMessageW(top, WM_NULL, 0, 0);
      }
    });
    desk.MouseDown(top, 50, 301);
    EXPECT_EQ(ChildRect(), CRect(0, 300, 400, 500)) << way;
    EXPECT_EQ(child.heights.back(), 200) << way;
    ReleaseCapture();
  }
}

TEST(WinToolWindow, TheExtendedStyleIsKept) {
  TestDesktop desk;
  CWnd w;
  ASSERT_TRUE(w.CreateEx(WS_EX_TOOLWINDOW, nullptr, u"tool", WS_POPUP | WS_VISIBLE, CRect(0, 0, 50, 50), nullptr, 0));
  EXPECT_TRUE(GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  w.DestroyWindow();
}

TEST(WinIconResources, IconsByIdFillAnImageList) {
  TestDesktop desk;
  const std::string folder = std::filesystem::temp_directory_path().string() + "/orv_icons_" +
                             std::to_string(getpid()) + "/";
  std::filesystem::create_directories(folder + "icon");
  QImage picture(32, 32, QImage::Format_ARGB32);
  picture.fill(qRgba(0, 0, 0, 0));
  for (int y = 8; y < 24; ++y)
    for (int x = 8; x < 24; ++x) picture.setPixel(x, y, qRgba(200, 30, 40, 255));
  ASSERT_TRUE(picture.save(QString::fromStdString(folder + "icon/220.png")));
  const std::string before = ResourceFolder();
  SetResourceFolder(folder);
  HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(220));
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(221)), nullptr);  // missing file
  EXPECT_EQ(LoadIconW(nullptr, u"name"), nullptr);                 // not an id
  SetResourceFolder(before);
  ASSERT_NE(icon, nullptr);
  CImageList list;
  ASSERT_TRUE(list.Create(16, 16, 0, 1, 1));
  EXPECT_EQ(list.Add(icon), 0);
  EXPECT_EQ(list.Add(static_cast<HICON>(nullptr)), -1);
  EXPECT_EQ(list.GetImageCount(), 1);
  // Drawn scaled to 16 x 16 with its transparent border.
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP target = CreateCompatibleBitmap(screen, 16, 16);
  HGDIOBJ old = SelectObject(mem, target);
  RECT all{0, 0, 16, 16};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(mem, &all, white);
  ASSERT_TRUE(ImageList_Draw(list, 0, mem, 0, 0, 0));
  EXPECT_EQ(GetPixel(mem, 8, 8), RGB(200, 30, 40));
  EXPECT_EQ(GetPixel(mem, 1, 1), RGB(255, 255, 255));
  SelectObject(mem, old);
  DeleteObject(target);
  DeleteObject(white);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  std::filesystem::remove_all(folder);
}

}  // namespace
