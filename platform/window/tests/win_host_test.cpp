// The on-screen host on the offscreen Qt platform: top-level windows become
// QRasterWindows, and Qt's input becomes the platform's messages.
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"
#include "platform/window/win_internal.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
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

// An unowned pop-up is an application window (task-bar entry); an owned
// one is a tool window.
TEST_F(ScreenHostTest, UnownedPopupIsAnApplicationWindow) {
  CWnd main, tip;
  ASSERT_TRUE(main.CreateEx(0, nullptr, u"主窗口", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
  ASSERT_TRUE(tip.CreateEx(0, nullptr, u"", WS_POPUP | WS_VISIBLE, CRect(10, 10, 60, 30), &main, 0));
  desktop.RunUntilIdle();
  QWindow* qm = ScreenWindowOf(main);
  QWindow* qt = ScreenWindowOf(tip);
  ASSERT_TRUE(qm && qt);
  EXPECT_EQ(qm->flags() & Qt::WindowType_Mask, Qt::Window);
  EXPECT_TRUE(qm->flags() & Qt::FramelessWindowHint);
  EXPECT_EQ(qt->flags() & Qt::WindowType_Mask, Qt::Tool);
}

// The input method: on while an edit has the focus, its candidates at the
// caret; its commits reach the edit as characters.
TEST_F(ScreenHostTest, InputMethodFollowsTheEditAndItsCaret) {
  CWnd top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"下单", WS_POPUP | WS_VISIBLE, CRect(50, 40, 350, 240), nullptr, 0));
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, CRect(20, 30, 220, 54), &top, 1));
  CButton button;
  ASSERT_TRUE(button.Create(u"确定", WS_CHILD | WS_VISIBLE, CRect(20, 80, 100, 104), &top, 2));
  desktop.RunUntilIdle();
  QWindow* qw = ScreenWindowOf(top);
  ASSERT_NE(qw, nullptr);
  auto ask = [&] {
    QInputMethodQueryEvent q(Qt::ImEnabled | Qt::ImCursorRectangle);
    QCoreApplication::sendEvent(qw, &q);
    return std::make_pair(q.value(Qt::ImEnabled).toBool(), q.value(Qt::ImCursorRectangle).toRect());
  };
  button.SetFocus();
  desktop.RunUntilIdle();
  EXPECT_FALSE(ask().first);
  edit.SetFocus();
  desktop.RunUntilIdle();
  auto [enabled, rect] = ask();
  EXPECT_TRUE(enabled);
  POINT caret{};
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(rect.topLeft(), QPoint(20 + caret.x, 30 + caret.y));
  EXPECT_GT(rect.height(), 8);

  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("中文"));
  QCoreApplication::sendEvent(qw, &commit);
  desktop.RunUntilIdle();
  EXPECT_EQ(GetWindowTextString(edit.m_hWnd), u"中文");
}

// A press in another program's window (here: another Qt window taking the
// focus) closes an open menu.
TEST_F(ScreenHostTest, MenuClosesWhenAnotherProgramTakesTheFocus) {
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, u"行情", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
  desktop.RunUntilIdle();
  HMENU m = CreatePopupMenu();
  AppendMenuW(m, MF_STRING, 1, u"刷新");
  QWindow other;
  other.setGeometry(400, 0, 100, 100);
  desktop.Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
  desktop.Then([&] {
    other.show();
    other.requestActivate();
  });
  desktop.Until([] { return false; }, 5000);  // bounds the wait should the menu stay open
  EXPECT_FALSE(TrackPopupMenu(m, TPM_RETURNCMD, 20, 20, 0, owner.m_hWnd, nullptr));
  EXPECT_FALSE(desktop.StepsTimedOut());
  EXPECT_EQ(FindWindowW(WC_POPUPMENU, nullptr), nullptr);
  DestroyMenu(m);
}

// On screen the metrics report the real screen; without the host, the
// desktop's size again.
TEST_F(ScreenHostTest, ScreenSizeIsTheRealScreens) {
  QRect real = QGuiApplication::primaryScreen()->virtualGeometry();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), real.width());
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), real.height());
  DisableScreenHost();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  EnableScreenHost();
}

}  // namespace
