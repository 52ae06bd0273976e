// The on-screen host on the offscreen Qt platform: top-level windows become
// QRasterWindows, and Qt's input becomes the platform's messages.
#include "platform/afx.h"
#include "platform/win_desktop.h"
#include "platform/win_internal.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

#include <vector>

namespace {

class Recorder : public CWnd {
 public:
  std::vector<MSG> seen;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_KEYDOWN || msg == WM_CHAR || msg == WM_SIZE ||
        msg == WM_CLOSE)
      seen.push_back(MSG{m_hWnd, msg, w, l, 0, POINT{}});
    if (msg == WM_CLOSE) return 0;
    return CWnd::WindowProc(msg, w, l);
  }
  bool Saw(UINT msg, WPARAM w = static_cast<WPARAM>(-1)) const {
    for (const MSG& m : seen)
      if (m.message == msg && (w == static_cast<WPARAM>(-1) || m.wParam == w)) return true;
    return false;
  }
};

class ScreenHostTest : public ::testing::Test {
 protected:
  void SetUp() override { EnableScreenHost(); }
  void TearDown() override { DisableScreenHost(); }
  TestDesktop desktop;
};

TEST_F(ScreenHostTest, TopLevelWindowsAppearAndTakeQtInput) {
  Recorder top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"行情窗口", WS_POPUP | WS_VISIBLE, CRect(40, 30, 240, 130), nullptr, 0));
  desktop.RunUntilIdle();
  QWindow* qw = ScreenWindowOf(top);
  ASSERT_NE(qw, nullptr);
  EXPECT_TRUE(qw->isVisible());
  EXPECT_EQ(qw->geometry(), QRect(40, 30, 200, 100));
  EXPECT_EQ(qw->title().toStdU16String(), u"行情窗口");
  EXPECT_TRUE(qw->flags() & Qt::FramelessWindowHint);

  QMouseEvent press(QEvent::MouseButtonPress, QPointF(15, 25), QPointF(55, 55), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(qw, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(15, 25), QPointF(55, 55), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(qw, &release);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QCoreApplication::sendEvent(qw, &key);
  desktop.RunUntilIdle();
  ASSERT_TRUE(top.Saw(WM_LBUTTONDOWN));
  for (const MSG& m : top.seen) {
    if (m.message != WM_LBUTTONDOWN) continue;
    EXPECT_EQ(GET_X_LPARAM(m.lParam), 15);
    EXPECT_EQ(GET_Y_LPARAM(m.lParam), 25);
  }
  EXPECT_TRUE(top.Saw(WM_LBUTTONUP));
  EXPECT_TRUE(top.Saw(WM_KEYDOWN, 'A'));
  EXPECT_TRUE(top.Saw(WM_CHAR, 'a'));

  // The native frame resizing the window reaches it as WM_SIZE; closing it
  // asks the window with WM_CLOSE.
  top.seen.clear();
  qw->resize(300, 150);
  desktop.RunUntilIdle();
  EXPECT_TRUE(top.Saw(WM_SIZE));
  CRect rc;
  top.GetClientRect(&rc);
  EXPECT_EQ(rc.Width(), 300);
  qw->close();
  desktop.RunUntilIdle();
  EXPECT_TRUE(top.Saw(WM_CLOSE));

  top.ShowWindow(SW_HIDE);
  EXPECT_FALSE(qw->isVisible());
  HWND handle = top;
  top.DestroyWindow();
  EXPECT_EQ(ScreenWindowOf(handle), nullptr);
}

TEST_F(ScreenHostTest, CaptionButtonsFollowTheStyle) {
  Recorder top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"提示信息", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr,
                           0));
  desktop.RunUntilIdle();
  QWindow* qw = ScreenWindowOf(top);
  ASSERT_NE(qw, nullptr);
  const Qt::WindowFlags buttons =
      Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
  EXPECT_EQ(qw->flags() & buttons, buttons);
  EXPECT_FALSE(qw->flags() & Qt::FramelessWindowHint);
  struct Case {
    const char* name;
    DWORD remove;
    Qt::WindowFlags shown;
  };
  const Case cases[] = {
      {"no maximise box", WS_MAXIMIZEBOX, Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint},
      {"no minimise box", WS_MINIMIZEBOX, Qt::WindowCloseButtonHint},
      {"no system menu", WS_SYSMENU, {}},
  };
  for (const Case& c : cases) {
    top.ModifyStyle(c.remove, 0);
    EXPECT_EQ(qw->flags() & buttons, c.shown) << c.name;
    EXPECT_TRUE(qw->isVisible()) << c.name;
  }
  top.ModifyStyle(0, WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  EXPECT_EQ(qw->flags() & buttons, buttons);
  top.DestroyWindow();
}

TEST_F(ScreenHostTest, NativeChildFollowsItsWindow) {
  Recorder top, view;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"浏览", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 400, 300), nullptr, 0));
  ASSERT_TRUE(view.CreateEx(0, nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(10, 20, 110, 120), &top, 5));
  std::uintptr_t id = GetNativeWindowId(view);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(GetNativeWindowId(view), id);
  EXPECT_EQ(GetNativeWindowId(top), 0u);  // top-level windows have their own
  QWindow* host = ScreenWindowOf(top);
  ASSERT_NE(host, nullptr);
  QWindow* native = nullptr;
  for (QObject* child : host->children())
    if (auto* w = qobject_cast<QWindow*>(child)) native = w;
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(native->geometry(), QRect(10, 20, 100, 100));
  view.MoveWindow(50, 60, 70, 80);
  EXPECT_EQ(native->geometry(), QRect(50, 60, 70, 80));
  view.ShowWindow(SW_HIDE);
  EXPECT_FALSE(native->isVisible());
  top.DestroyWindow();
}

}  // namespace
