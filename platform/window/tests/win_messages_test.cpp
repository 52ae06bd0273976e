// Message order, painting, input routing, focus, capture, timers and the
// framework's dispatch, on the test desktop.
#include "platform/mfc/afx.h"
#include "platform/kernel/debug_sink.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

struct Entry {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Entry>& Log() {
  static std::vector<Entry> log;
  return log;
}

std::vector<UINT> Messages(HWND hwnd, std::initializer_list<UINT> only = {}) {
  std::vector<UINT> out;
  for (const Entry& e : Log()) {
    if (hwnd && e.hwnd != hwnd) continue;
    if (only.size() && std::find(only.begin(), only.end(), e.msg) == only.end()) continue;
    out.push_back(e.msg);
  }
  return out;
}

int Count(HWND hwnd, UINT msg) {
  int n = 0;
  for (const Entry& e : Log()) n += (e.hwnd == hwnd && e.msg == msg);
  return n;
}

// A window that logs every message and paints its client area in a colour.
class Probe : public CWnd {
 public:
  COLORREF fill = RGB(255, 0, 0);
  bool paints = true;
  bool eraseAnswer = true;
  int hitTest = HTCLIENT;
  std::function<void(UINT, WPARAM, LPARAM)> onMessage;

  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    Log().push_back(Entry{m_hWnd, msg, w, l});
    if (onMessage) onMessage(msg, w, l);
    if (msg == WM_NCHITTEST && hitTest != HTCLIENT) return hitTest;
    return CWnd::WindowProc(msg, w, l);
  }
  void OnPaint() override {
    CPaintDC dc(this);
    lastErase = dc.m_ps.fErase;
    if (!paints) return;
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, fill);
  }
  BOOL OnEraseBkgnd(CDC* dc) override { return eraseAnswer ? TRUE : CWnd::OnEraseBkgnd(dc); }
  BOOL lastErase = FALSE;

  bool MakeTop(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE) {
    return CreateEx(0, nullptr, u"probe", style, CRect(x, y, x + w, y + h), nullptr, 0);
  }
  bool MakeChild(CWnd* parent, int x, int y, int w, int h, UINT id = 100, DWORD style = WS_CHILD | WS_VISIBLE,
                 LPCWSTR cls = nullptr) {
    return CreateEx(0, cls, u"", style, CRect(x, y, x + w, y + h), parent, id);
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Log().clear(); }
  TestDesktop desktop;
};

TEST_F(WindowTest, SendRunsAtOncePostArrivesLaterInOrder) {
  Probe top;
  ASSERT_TRUE(top.MakeTop(0, 0, 100, 100));
  desktop.RunUntilIdle();
  Log().clear();
  PostMessageW(top, WM_USER + 1, 1, 0);
  PostMessageW(top, WM_USER + 2, 2, 0);
  SendMessageW(top, WM_USER + 3, 3, 0);
  EXPECT_EQ(Messages(top), (std::vector<UINT>{WM_USER + 3}));
  desktop.RunUntilIdle();
  EXPECT_EQ(Messages(top), (std::vector<UINT>{WM_USER + 3, WM_USER + 1, WM_USER + 2}));
  // Thread messages reach the loop with no window; other thread ids have no queue.
  EXPECT_TRUE(PostThreadMessageW(GetUiThreadId(), WM_APP + 1, 5, 0));
  EXPECT_FALSE(PostThreadMessageW(GetUiThreadId() + 1000, WM_APP + 1, 5, 0));
  MSG thread;
  ASSERT_TRUE(PeekMessageW(&thread, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(thread.hwnd, nullptr);
  EXPECT_EQ(thread.message, static_cast<UINT>(WM_APP + 1));
  // A window procedure's result comes back through SendMessage.
  top.onMessage = nullptr;
  EXPECT_EQ(SendMessageW(top, WM_NCHITTEST, 0, 0), HTCLIENT);
}

TEST_F(WindowTest, MovingDeliversSizeBeforeReturning) {
  Probe top, child;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 200));
  ASSERT_TRUE(child.MakeChild(&top, 0, 0, 0, 0));
  Log().clear();
  child.MoveWindow(10, 20, 50, 30, FALSE);
  ASSERT_EQ(Count(child, WM_SIZE), 1);
  const Entry* size = nullptr;
  for (const Entry& e : Log())
    if (e.hwnd == child.m_hWnd && e.msg == WM_SIZE) size = &e;
  EXPECT_EQ(LOWORD(static_cast<std::uintptr_t>(size->lParam)), 50);
  EXPECT_EQ(HIWORD(static_cast<std::uintptr_t>(size->lParam)), 30);
  CRect wr;
  child.GetWindowRect(&wr);
  EXPECT_EQ(wr, CRect(10, 20, 60, 50));
  // Moving without a size change gives no WM_SIZE.
  Log().clear();
  child.SetWindowPos(nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Count(child, WM_SIZE), 0);
  EXPECT_EQ(Count(child, WM_MOVE), 1);
}

TEST_F(WindowTest, PaintComesWhenTheQueueIsEmpty) {
  Probe top;
  ASSERT_TRUE(top.MakeTop(0, 0, 50, 50));
  desktop.RunUntilIdle();
  Log().clear();
  top.Invalidate(FALSE);
  PostMessageW(top, WM_USER, 0, 0);
  desktop.RunUntilIdle();
  EXPECT_EQ(Messages(top, {WM_USER, WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_USER, WM_PAINT}));
  // The erase flag reaches WM_ERASEBKGND inside BeginPaint; its answer
  // decides fErase.
  Log().clear();
  top.Invalidate(TRUE);
  desktop.RunUntilIdle();
  EXPECT_EQ(Messages(top, {WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
  EXPECT_FALSE(top.lastErase);
  top.eraseAnswer = false;
  top.Invalidate(TRUE);
  desktop.RunUntilIdle();
  EXPECT_TRUE(top.lastErase);
  // UpdateWindow paints before returning.
  Log().clear();
  top.Invalidate(FALSE);
  top.UpdateWindow();
  EXPECT_EQ(Count(top, WM_PAINT), 1);
}

TEST_F(WindowTest, RedrawOffHoldsPaintingThenOneRepaint) {
  Probe top;
  ASSERT_TRUE(top.MakeTop(0, 0, 50, 50));
  desktop.RunUntilIdle();
  Log().clear();
  top.SetRedraw(FALSE);
  top.Invalidate();
  top.Invalidate();
  desktop.RunUntilIdle();
  EXPECT_EQ(Count(top, WM_PAINT), 0);
  top.SetRedraw(TRUE);
  top.Invalidate();
  desktop.RunUntilIdle();
  EXPECT_EQ(Count(top, WM_PAINT), 1);
}

TEST_F(WindowTest, UnpaintedPixelsStayAndClassBrushErases) {
  Probe top, bare, brushed;
  top.fill = RGB(255, 0, 0);
  ASSERT_TRUE(top.MakeTop(0, 0, 100, 50));
  desktop.RunUntilIdle();
  // A child with no background brush that draws nothing shows what was there.
  bare.paints = false;
  bare.eraseAnswer = false;
  ASSERT_TRUE(bare.MakeChild(&top, 10, 10, 20, 20, 1));
  // A child whose class has a white brush is erased to white.
  WNDCLASSW wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = u"ProbeWhite";
  RegisterClassW(&wc);
  brushed.paints = false;
  brushed.eraseAnswer = false;
  ASSERT_TRUE(brushed.MakeChild(&top, 50, 10, 20, 20, 2, WS_CHILD | WS_VISIBLE, u"ProbeWhite"));
  desktop.RunUntilIdle();
  QImage shot = desktop.Snapshot(top);
  EXPECT_EQ(shot.pixel(15, 15), 0xFFFF0000u);
  EXPECT_EQ(shot.pixel(55, 15), 0xFFFFFFFFu);
  EXPECT_EQ(desktop.Snapshot(brushed).pixel(0, 0), 0xFFFFFFFFu);
}

TEST_F(WindowTest, ClipChildrenAndSiblings) {
  Probe parent, child, upper, lower;
  parent.fill = RGB(0, 0, 255);
  ASSERT_TRUE(parent.MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN));
  child.fill = RGB(0, 255, 0);
  ASSERT_TRUE(child.MakeChild(&parent, 10, 10, 20, 20, 1));
  desktop.RunUntilIdle();
  Log().clear();
  parent.Invalidate(FALSE);
  desktop.RunUntilIdle();
  EXPECT_EQ(Count(child, WM_PAINT), 0);  // a clip-children parent does not invalidate its children
  EXPECT_EQ(desktop.Snapshot(parent).pixel(15, 15), 0xFF00FF00u);

  // Overlapping siblings: the first created is on top; a clip-siblings
  // window below never paints over it.
  upper.fill = RGB(255, 255, 0);
  lower.fill = RGB(255, 0, 255);
  ASSERT_TRUE(upper.MakeChild(&parent, 50, 50, 30, 30, 2, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS));
  ASSERT_TRUE(lower.MakeChild(&parent, 60, 60, 30, 30, 3, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS));
  desktop.RunUntilIdle();
  lower.Invalidate();
  desktop.RunUntilIdle();
  QImage shot = desktop.Snapshot(parent);
  EXPECT_EQ(shot.pixel(65, 65), 0xFFFFFF00u);
  EXPECT_EQ(shot.pixel(85, 85), 0xFFFF00FFu);
  // Hit testing follows the same order.
  POINT p{65, 65};
  EXPECT_EQ(WindowFromPoint(p), upper.m_hWnd);
}

TEST_F(WindowTest, ChildrenPaintAfterTheirParentAndWindowDcDrawingStays) {
  Probe parent, child;
  parent.fill = RGB(0, 0, 255);
  ASSERT_TRUE(parent.MakeTop(0, 0, 100, 100));  // no WS_CLIPCHILDREN
  child.fill = RGB(0, 255, 0);
  ASSERT_TRUE(child.MakeChild(&parent, 10, 10, 20, 20, 1));
  desktop.RunUntilIdle();
  Log().clear();
  parent.Invalidate(FALSE);
  desktop.RunUntilIdle();
  EXPECT_EQ(Messages(nullptr, {WM_PAINT}), (std::vector<UINT>{WM_PAINT, WM_PAINT}));
  EXPECT_EQ(Log().front().hwnd, parent.m_hWnd);
  EXPECT_EQ(desktop.Snapshot(parent).pixel(15, 15), 0xFF00FF00u);
  // Drawing through GetDC outside painting stays in the picture until
  // something repaints it.
  CClientDC dc(&child);
  CRect spot(0, 0, 5, 5);
  dc.FillSolidRect(&spot, RGB(255, 255, 0));
  CRect other(50, 50, 60, 60);
  parent.InvalidateRect(&other, FALSE);
  desktop.RunUntilIdle();
  EXPECT_EQ(desktop.Snapshot(child).pixel(2, 2), 0xFFFFFF00u);
  EXPECT_EQ(desktop.Snapshot(child).pixel(7, 7), 0xFF00FF00u);
}

// A child that paints before its parent's pending pass (a button redrawing
// its focus with UpdateWindow while the dialog's first paint still waits) is
// painted again after the parent, which has no WS_CLIPCHILDREN, covers it;
// so is a grandchild under a clipping child.
TEST_F(WindowTest, ChildThatPaintedFirstIsRepaintedAfterItsParentCoversIt) {
  Probe parent, child, grandchild;
  parent.fill = RGB(0, 0, 255);
  ASSERT_TRUE(parent.MakeTop(0, 0, 100, 100));  // no WS_CLIPCHILDREN
  child.fill = RGB(0, 255, 0);
  ASSERT_TRUE(child.MakeChild(&parent, 10, 10, 40, 40, 1, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));
  grandchild.fill = RGB(255, 255, 0);
  ASSERT_TRUE(grandchild.MakeChild(&child, 20, 20, 10, 10, 2));
  desktop.RunUntilIdle();
  for (bool update : {false, true}) {
    SCOPED_TRACE(update ? "parent painted by UpdateWindow" : "parent painted by the queue");
    Log().clear();
    parent.Invalidate(FALSE);
    grandchild.UpdateWindow();
    child.UpdateWindow();  // both paint before their parent
    if (update) parent.UpdateWindow();
    desktop.RunUntilIdle();
    QImage shot = desktop.Snapshot(parent);
    EXPECT_EQ(shot.pixel(5, 5), 0xFF0000FFu);
    EXPECT_EQ(shot.pixel(15, 15), 0xFF00FF00u);
    EXPECT_EQ(shot.pixel(35, 35), 0xFFFFFF00u);
    std::vector<HWND> order;
    for (const Entry& e : Log())
      if (e.msg == WM_PAINT) order.push_back(e.hwnd);
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order[order.size() - 3], parent.m_hWnd);
    EXPECT_EQ(order[order.size() - 2], child.m_hWnd);
    EXPECT_EQ(order.back(), grandchild.m_hWnd);
  }
  // A pass of the parent elsewhere leaves the child alone.
  Log().clear();
  CRect other(60, 60, 90, 90);
  parent.InvalidateRect(&other, FALSE);
  desktop.RunUntilIdle();
  EXPECT_EQ(Count(child, WM_PAINT), 0);
}

TEST_F(WindowTest, CaptureTakesTheMouseOutsideTheWindow) {
  Probe top, a, b;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 100));
  ASSERT_TRUE(a.MakeChild(&top, 0, 0, 50, 50, 1));
  ASSERT_TRUE(b.MakeChild(&top, 100, 0, 50, 50, 2));
  a.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == WM_LBUTTONDOWN) a.SetCapture();
    if (msg == WM_LBUTTONUP) ReleaseCapture();
  };
  desktop.RunUntilIdle();
  Log().clear();
  desktop.MouseDown(a, 10, 10);
  desktop.MoveMouse(b, 5, 5);
  desktop.MouseUp(b, 5, 5);
  EXPECT_EQ(Count(b, WM_MOUSEMOVE), 0);
  EXPECT_EQ(Count(b, WM_LBUTTONUP), 0);
  ASSERT_EQ(Count(a, WM_LBUTTONUP), 1);
  for (const Entry& e : Log()) {
    if (e.hwnd == a.m_hWnd && e.msg == WM_LBUTTONUP) {
      EXPECT_EQ(GET_X_LPARAM(e.lParam), 105);
    }
  }
  EXPECT_EQ(GetCapture(), nullptr);
  desktop.Click(b, 5, 5);
  EXPECT_EQ(Messages(b, {WM_LBUTTONDOWN, WM_LBUTTONUP}), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(WindowTest, DoubleClicksOnlyForClassesThatAskForThem) {
  WNDCLASSW wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"ProbeNoDbl";
  RegisterClassW(&wc);
  Probe top, dbl, plain;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 100));
  ASSERT_TRUE(dbl.MakeChild(&top, 0, 0, 50, 50, 1));
  ASSERT_TRUE(plain.MakeChild(&top, 100, 0, 50, 50, 2, WS_CHILD | WS_VISIBLE, u"ProbeNoDbl"));
  desktop.DoubleClick(dbl, 5, 5);
  desktop.Advance(1000);
  desktop.DoubleClick(plain, 5, 5);
  std::initializer_list<UINT> clicks = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK};
  EXPECT_EQ(Messages(dbl, clicks), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
  EXPECT_EQ(Messages(plain, clicks), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
  // Two clicks further apart in time than the double-click time stay single.
  Log().clear();
  desktop.Click(dbl, 5, 5);
  desktop.Advance(600);
  desktop.Click(dbl, 5, 5);
  EXPECT_EQ(Count(dbl, WM_LBUTTONDBLCLK), 0);
}

TEST_F(WindowTest, LeaveAndHoverNotices) {
  Probe top, a, b;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 100));
  ASSERT_TRUE(a.MakeChild(&top, 0, 0, 50, 50, 1));
  ASSERT_TRUE(b.MakeChild(&top, 100, 0, 50, 50, 2));
  a.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg != WM_MOUSEMOVE) return;
    TRACKMOUSEEVENT tme;
    tme.dwFlags = TME_LEAVE | TME_HOVER;
    tme.hwndTrack = a;
    tme.dwHoverTime = 100;
    TrackMouseEvent(&tme);
  };
  desktop.MoveMouse(a, 10, 10);
  EXPECT_EQ(Count(a, WM_MOUSEHOVER), 0);
  desktop.Advance(150);
  EXPECT_EQ(Count(a, WM_MOUSEHOVER), 1);
  desktop.MoveMouse(b, 10, 10);
  EXPECT_EQ(Count(a, WM_MOUSELEAVE), 1);
  desktop.MoveMouse(b, 12, 12);
  EXPECT_EQ(Count(a, WM_MOUSELEAVE), 1);
  // Asked while the mouse is elsewhere, the leave notice comes at once.
  TRACKMOUSEEVENT tme;
  tme.dwFlags = TME_LEAVE;
  tme.hwndTrack = a;
  TrackMouseEvent(&tme);
  desktop.RunUntilIdle();
  EXPECT_EQ(Count(a, WM_MOUSELEAVE), 2);
}

TEST_F(WindowTest, TimersByWindowAndId) {
  Probe top;
  ASSERT_TRUE(top.MakeTop(0, 0, 50, 50));
  desktop.RunUntilIdle();
  Log().clear();
  top.SetTimer(1, 100);
  top.SetTimer(2, 250);
  desktop.Advance(500);
  int ticks1 = 0, ticks2 = 0;
  for (const Entry& e : Log()) {
    if (e.msg != WM_TIMER) continue;
    ticks1 += e.wParam == 1;
    ticks2 += e.wParam == 2;
  }
  EXPECT_EQ(ticks1, 5);
  EXPECT_EQ(ticks2, 2);
  // Setting an existing id restarts it.
  Log().clear();
  top.SetTimer(1, 100);
  desktop.Advance(60);
  top.SetTimer(1, 100);
  desktop.Advance(60);
  EXPECT_EQ(Count(top, WM_TIMER), 0);
  desktop.Advance(50);
  EXPECT_EQ(Count(top, WM_TIMER), 1);
  EXPECT_TRUE(top.KillTimer(1));
  EXPECT_TRUE(top.KillTimer(2));
  EXPECT_FALSE(top.KillTimer(2));
  Log().clear();
  desktop.Advance(1000);
  EXPECT_EQ(Count(top, WM_TIMER), 0);
  EXPECT_EQ(desktop.Now() - 1000000, 1670u);
}

TEST_F(WindowTest, FocusKeysAndTyping) {
  Probe top, a, b;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 100));
  ASSERT_TRUE(a.MakeChild(&top, 0, 0, 50, 50, 1));
  ASSERT_TRUE(b.MakeChild(&top, 100, 0, 50, 50, 2));
  desktop.RunUntilIdle();
  a.SetFocus();
  Log().clear();
  b.SetFocus();
  EXPECT_EQ(Messages(nullptr, {WM_SETFOCUS, WM_KILLFOCUS}), (std::vector<UINT>{WM_KILLFOCUS, WM_SETFOCUS}));
  EXPECT_EQ(Log()[0].hwnd, a.m_hWnd);
  Log().clear();
  bool shiftSeen = false;
  b.onMessage = [&](UINT msg, WPARAM w, LPARAM) {
    if (msg == WM_KEYDOWN && w == 'B') shiftSeen = GetKeyState(VK_SHIFT) < 0;
  };
  desktop.Type(u"aB1 中");
  std::u16string chars;
  for (const Entry& e : Log())
    if (e.hwnd == b.m_hWnd && e.msg == WM_CHAR) chars += static_cast<char16_t>(e.wParam);
  EXPECT_EQ(chars, u"aB1 中");
  EXPECT_TRUE(shiftSeen);
  EXPECT_EQ(Count(a, WM_CHAR), 0);
  // Key down, character and key up arrive in that order; repeat counts
  // travel in lParam.
  Log().clear();
  desktop.KeyDown(VK_RETURN, 3);
  desktop.KeyUp(VK_RETURN);
  EXPECT_EQ(Messages(b, {WM_KEYDOWN, WM_CHAR, WM_KEYUP}), (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
  EXPECT_EQ(Log()[0].lParam & 0xFFFF, 3);
  // With Alt held keys are system keys.
  Log().clear();
  desktop.KeyDown(VK_MENU);
  desktop.Key('X');
  desktop.KeyUp(VK_MENU);
  EXPECT_EQ(Count(b, WM_KEYDOWN), 0);
  EXPECT_EQ(Count(b, WM_SYSKEYDOWN), 2);
  EXPECT_EQ(Count(b, WM_SYSCHAR), 1);
}

TEST_F(WindowTest, PostedKeyMessagesLeaveTheKeyStateAlone) {
  // A control that passes each key on to its parent by posting it: the
  // copies must not press keys the keyboard has already released.
  Probe top, edit;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 100));
  ASSERT_TRUE(edit.MakeChild(&top, 0, 0, 50, 50, 1));
  edit.onMessage = [&](UINT msg, WPARAM w, LPARAM) {
    if (msg == WM_KEYDOWN) top.PostMessage(WM_KEYDOWN, w, 0);
  };
  edit.SetFocus();
  std::vector<bool> ctrlAtTop;
  top.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == WM_KEYDOWN) ctrlAtTop.push_back(GetKeyState(VK_CONTROL) < 0);
  };
  desktop.Key('C', false, true);
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);
  EXPECT_GE(GetKeyState('C'), 0);
  ASSERT_EQ(ctrlAtTop.size(), 2u);
  top.PostMessage(WM_KEYDOWN, VK_SHIFT, 0);
  top.PostMessage(WM_KEYUP, VK_CONTROL, 0);
  desktop.RunUntilIdle();
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  // Keyboard input still moves the state.
  bool ctrlSeen = false;
  edit.onMessage = [&](UINT msg, WPARAM w, LPARAM) {
    if (msg == WM_KEYDOWN && w == 'V') ctrlSeen = GetKeyState(VK_CONTROL) < 0;
  };
  desktop.Key('V', false, true);
  EXPECT_TRUE(ctrlSeen);
}

TEST_F(WindowTest, WheelGoesToTheFocusAndBubblesUp) {
  Probe top, child;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 100));
  ASSERT_TRUE(child.MakeChild(&top, 0, 0, 50, 50, 1));
  child.SetFocus();
  desktop.Wheel(top, 150, 50, -240);
  EXPECT_EQ(Count(child, WM_MOUSEWHEEL), 1);
  ASSERT_EQ(Count(top, WM_MOUSEWHEEL), 1);  // default handling passes it to the parent
  for (const Entry& e : Log()) {
    if (e.msg == WM_MOUSEWHEEL) {
      EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(e.wParam), -240);
    }
  }
}

TEST_F(WindowTest, PressesActivateUnlessTheWindowSaysNo) {
  Probe main, tip;
  ASSERT_TRUE(main.MakeTop(0, 0, 100, 100));
  ASSERT_TRUE(tip.MakeTop(200, 0, 50, 20, WS_POPUP));
  tip.ShowWindow(SW_SHOWNA);
  EXPECT_EQ(GetActiveWindow(), main.m_hWnd);
  // A window answering MA_NOACTIVATE keeps the active window as it is.
  class NoActivate : public Probe {
   public:
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
      if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
      return Probe::WindowProc(msg, w, l);
    }
  } quiet;
  ASSERT_TRUE(quiet.MakeTop(300, 0, 50, 20, WS_POPUP));
  quiet.ShowWindow(SW_SHOWNOACTIVATE);
  desktop.Click(quiet, 5, 5);
  EXPECT_EQ(GetActiveWindow(), main.m_hWnd);
  EXPECT_EQ(Count(quiet, WM_LBUTTONDOWN), 1);
  desktop.Click(tip, 5, 5);
  EXPECT_EQ(GetActiveWindow(), tip.m_hWnd);
  EXPECT_EQ(GetFocus(), tip.m_hWnd);
}

TEST_F(WindowTest, TransparentAndDisabledWindowsInHitTesting) {
  Probe top, glass, off;
  ASSERT_TRUE(top.MakeTop(0, 0, 200, 100));
  ASSERT_TRUE(glass.MakeChild(&top, 0, 0, 50, 50, 1));
  ASSERT_TRUE(off.MakeChild(&top, 100, 0, 50, 50, 2));
  glass.hitTest = HTTRANSPARENT;
  off.EnableWindow(FALSE);
  desktop.Click(glass, 10, 10);
  desktop.Click(off, 10, 10);
  EXPECT_EQ(Count(glass, WM_LBUTTONDOWN), 0);
  EXPECT_EQ(Count(top, WM_LBUTTONDOWN), 1);
  EXPECT_EQ(Count(off, WM_LBUTTONDOWN), 0);
}

LRESULT g_previousCalls = 0;
WNDPROC g_previous = nullptr;
LRESULT Replacement(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_USER + 7) return 77;
  ++g_previousCalls;
  return CallWindowProcW(g_previous, hwnd, msg, w, l);
}

std::vector<WString> g_created;
LRESULT CreationHook(int code, WPARAM, LPARAM l) {
  if (code == HCBT_CREATEWND) g_created.push_back(WString(reinterpret_cast<CBT_CREATEWNDW*>(l)->lpcs->lpszClass));
  return 0;
}

TEST_F(WindowTest, ReplacedProceduresAndCreationHook) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, CreationHook, nullptr, 0);
  Probe top;
  ASSERT_TRUE(top.MakeTop(0, 0, 50, 50));
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(g_created, (std::vector<WString>{u"AfxWnd"}));
  g_previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Replacement)));
  EXPECT_EQ(g_previous, AfxWndProc);
  EXPECT_EQ(SendMessageW(top, WM_USER + 7, 0, 0), 77);
  Log().clear();
  SendMessageW(top, WM_USER + 8, 0, 0);
  EXPECT_EQ(g_previousCalls, 1);
  EXPECT_EQ(Count(top, WM_USER + 8), 1);  // the object still sees what is passed on
  SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
}

class Control : public Probe {
 public:
  std::vector<UINT> reflected;
  bool answer = true;
  BOOL OnChildNotify(UINT msg, WPARAM, LPARAM, LRESULT* result) override {
    reflected.push_back(msg);
    *result = 42;
    return answer;
  }
};

class Owner : public Probe {
 public:
  std::vector<std::pair<UINT, int>> commands;
  int drawItems = 0;
  BOOL OnCmdMsg(UINT id, int code) override {
    commands.emplace_back(id, code);
    return TRUE;
  }
  void OnDrawItem(int, LPDRAWITEMSTRUCT) override { ++drawItems; }
};

TEST_F(WindowTest, NotificationsAreReflectedToTheControlFirst) {
  Owner owner;
  Control control;
  ASSERT_TRUE(owner.MakeTop(0, 0, 100, 100));
  ASSERT_TRUE(control.MakeChild(&owner, 0, 0, 20, 20, 7));
  DRAWITEMSTRUCT dis;
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = 7;
  dis.hwndItem = control;
  EXPECT_EQ(SendMessageW(owner, WM_DRAWITEM, 7, reinterpret_cast<LPARAM>(&dis)), 42);
  EXPECT_EQ(owner.drawItems, 0);
  EXPECT_EQ(SendMessageW(owner, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(control.m_hWnd)), 42);
  NMHDR hdr{control, 7, NM_CLICK};
  EXPECT_EQ(SendMessageW(owner, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&hdr)), 42);
  EXPECT_EQ(control.reflected, (std::vector<UINT>{WM_DRAWITEM, WM_CTLCOLORSTATIC, WM_NOTIFY}));
  // When the control does not answer, the owner's handlers run: commands
  // reach OnCmdMsg with their id and notification code.
  control.answer = false;
  SendMessageW(owner, WM_DRAWITEM, 7, reinterpret_cast<LPARAM>(&dis));
  EXPECT_EQ(owner.drawItems, 1);
  SendMessageW(owner, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(control.m_hWnd));
  SendMessageW(owner, WM_COMMAND, MAKEWPARAM(12101, 0), 0);
  EXPECT_EQ(owner.commands, (std::vector<std::pair<UINT, int>>{{7, 0}, {12101, 0}}));
}

TEST_F(WindowTest, DestroyOrderAndHandlesAreNeverReused) {
  Probe top, child;
  ASSERT_TRUE(top.MakeTop(0, 0, 100, 100));
  ASSERT_TRUE(child.MakeChild(&top, 0, 0, 20, 20));
  HWND topHandle = top, childHandle = child;
  Log().clear();
  top.DestroyWindow();
  std::vector<std::pair<HWND, UINT>> order;
  for (const Entry& e : Log())
    if (e.msg == WM_DESTROY || e.msg == WM_NCDESTROY) order.emplace_back(e.hwnd, e.msg);
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{
                       {topHandle, WM_DESTROY}, {childHandle, WM_DESTROY}, {childHandle, WM_NCDESTROY}, {topHandle, WM_NCDESTROY}}));
  EXPECT_FALSE(IsWindow(topHandle));
  EXPECT_FALSE(IsWindow(childHandle));
  EXPECT_EQ(top.m_hWnd, nullptr);
  EXPECT_EQ(child.m_hWnd, nullptr);
  EXPECT_FALSE(PostMessageW(topHandle, WM_USER, 0, 0));
  // Pop-ups owned by a window go with it, before it.
  Probe owner, popup;
  ASSERT_TRUE(owner.MakeTop(0, 0, 100, 100));
  ASSERT_TRUE(popup.CreateEx(0, nullptr, u"", WS_POPUP, CRect(0, 0, 10, 10), &owner, 0));
  EXPECT_EQ(GetParent(popup), owner.m_hWnd);
  HWND popupHandle = popup;
  Log().clear();
  owner.DestroyWindow();
  EXPECT_FALSE(IsWindow(popupHandle));
  EXPECT_EQ(Log().front().hwnd, popupHandle);
  Probe again;
  ASSERT_TRUE(again.MakeTop(0, 0, 10, 10));
  EXPECT_NE(again.m_hWnd, topHandle);
  EXPECT_NE(again.m_hWnd, childHandle);
}

TEST_F(WindowTest, TheCaretBlinksAndStaysOutOfPainting) {
  Probe top;
  top.fill = RGB(255, 255, 255);
  ASSERT_TRUE(top.MakeTop(0, 0, 60, 40));
  desktop.RunUntilIdle();
  auto at = [&](int x, int y) { return desktop.Snapshot(top).pixel(x, y); };
  ASSERT_TRUE(CreateCaret(top, nullptr, 2, 10));
  SetCaretPos(5, 5);
  EXPECT_EQ(at(5, 5), 0xFFFFFFFFu);  // created hidden
  ShowCaret(top);
  EXPECT_EQ(at(5, 5), 0xFF000000u);
  EXPECT_EQ(at(6, 14), 0xFF000000u);
  EXPECT_EQ(at(7, 5), 0xFFFFFFFFu);
  desktop.Advance(530);
  EXPECT_EQ(at(5, 5), 0xFFFFFFFFu);
  desktop.Advance(530);
  EXPECT_EQ(at(5, 5), 0xFF000000u);
  // Painting takes the caret off and puts it back.
  top.Invalidate();
  desktop.RunUntilIdle();
  EXPECT_EQ(at(5, 5), 0xFF000000u);
  SetCaretPos(20, 5);
  EXPECT_EQ(at(5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(at(20, 5), 0xFF000000u);
  HideCaret(top);
  EXPECT_EQ(at(20, 5), 0xFFFFFFFFu);
  DestroyCaret();
  desktop.Advance(2000);
  EXPECT_EQ(at(20, 5), 0xFFFFFFFFu);
}

TEST_F(WindowTest, APaintHandlerThatNeverValidatesIsNotAskedForever) {
  class Lazy : public Probe {
   public:
    void OnPaint() override {}  // never calls BeginPaint
  } lazy;
  ASSERT_TRUE(lazy.MakeTop(0, 0, 20, 20));
  DebugCapture capture;
  desktop.RunUntilIdle();
  EXPECT_EQ(Count(lazy, WM_PAINT), 1);
  EXPECT_TRUE(capture.Contains("did not validate"));
  desktop.RunUntilIdle();
  EXPECT_EQ(Count(lazy, WM_PAINT), 1);
}

TEST_F(WindowTest, AnObjectTakesItsWindowWithIt) {
  HWND handle;
  {
    Probe scoped;
    ASSERT_TRUE(scoped.MakeTop(0, 0, 20, 20));
    handle = scoped;
  }
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(CWnd::FromHandlePermanent(handle), nullptr);
  EXPECT_EQ(SendMessageW(handle, WM_USER, 0, 0), 0);
}

class App : public CWinApp {
 public:
  int ExitInstance() override { return 9; }
};

TEST_F(WindowTest, QuitComesAfterTheQueueAndTheMainWindowEndsTheLoop) {
  App app;
  Probe main;
  ASSERT_TRUE(main.MakeTop(0, 0, 50, 50));
  app.m_pMainWnd = &main;
  EXPECT_EQ(AfxGetApp(), &app);
  EXPECT_EQ(AfxGetMainWnd(), &main);
  desktop.RunUntilIdle();
  PostQuitMessage(3);
  PostMessageW(main, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.wParam, 3u);
  // Destroying the main window (here by a posted WM_CLOSE) ends Run.
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(app.Run(), 9);
  EXPECT_FALSE(main.IsWindow());
  EXPECT_EQ(AfxGetMainWnd(), nullptr);
}

class Filter : public Probe {
 public:
  BOOL PreTranslateMessage(MSG* msg) override { return msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE; }
};

TEST_F(WindowTest, PreTranslateMessageWalksUpTheTree) {
  Filter top;
  Probe child;
  ASSERT_TRUE(top.MakeTop(0, 0, 100, 100));
  ASSERT_TRUE(child.MakeChild(&top, 0, 0, 20, 20));
  child.SetFocus();
  desktop.Key(VK_ESCAPE);
  desktop.Key(VK_TAB);
  EXPECT_EQ(Count(child, WM_KEYDOWN), 1);
  EXPECT_EQ(Log().back().hwnd, child.m_hWnd);
}

TEST_F(WindowTest, StylesGeometryAndMessageBoxes) {
  Probe top, child;
  ASSERT_TRUE(top.MakeTop(100, 50, 200, 100));
  ASSERT_TRUE(child.MakeChild(&top, 10, 10, 50, 30, 9, WS_CHILD | WS_VISIBLE | WS_BORDER));
  CRect client;
  child.GetClientRect(&client);
  EXPECT_EQ(client, CRect(0, 0, 48, 28));
  desktop.RunUntilIdle();
  EXPECT_EQ(desktop.Snapshot(child).pixel(0, 0), 0xFF646464u);  // the thin frame in COLOR_WINDOWFRAME
  EXPECT_EQ(desktop.Snapshot(child).pixel(1, 1), 0xFFFF0000u);  // the client area the window painted
  POINT p{0, 0};
  child.ClientToScreen(&p);
  EXPECT_EQ(p.x, 111);
  EXPECT_EQ(p.y, 61);
  EXPECT_TRUE(child.ModifyStyle(WS_BORDER, 0, SWP_FRAMECHANGED));
  EXPECT_FALSE(child.ModifyStyle(WS_BORDER, 0, SWP_FRAMECHANGED));
  child.GetClientRect(&client);
  EXPECT_EQ(client, CRect(0, 0, 50, 30));
  EXPECT_EQ(GetDlgItem(top, 9), child.m_hWnd);
  EXPECT_EQ(child.GetDlgCtrlID(), 9);
  EXPECT_EQ(CWnd::FromHandle(child.m_hWnd), &child);
  child.ShowWindow(SW_HIDE);
  EXPECT_FALSE(child.IsWindowVisible());
  top.SetWindowText(u"行情");
  EXPECT_EQ(top.GetWindowText(), u"行情");
  desktop.SetBoxAnswer(IDNO);
  EXPECT_EQ(MessageBoxW(top, u"确定退出吗?", u"提示", MB_YESNO), IDNO);
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_EQ(desktop.Boxes()[0].caption, u"提示");
  EXPECT_TRUE(desktop.SavePng(top, std::string(ORV_BINARY_DIR) + "/window_test.png"));
}

}  // namespace
