// Input, focus and capture: focus, activation, capture, key state, cursors,
// mouse tracking, and the routing of injected input.
#include "platform/window/win_system.h"
#include "platform/window/win_remote.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

using namespace winsys;

// ---------------------------------------------------------------------------
// Focus, activation, capture.

HWND GetFocus() {
  Guard g(W().lock);
  return W().focus;
}

HWND SetFocus(HWND hwnd) {
  if (!UiThreadHere()) return OnUi([&] { return SetFocus(hwnd); });
  HWND old;
  {
    Guard g(W().lock);
    if (hwnd && !Find(hwnd)) return nullptr;
    old = W().focus;
    if (old == hwnd) return old;
    W().focus = hwnd;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && IsWindow(hwnd)) {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (top && GetActiveWindow() != top) {
      Guard g(W().lock);
      W().active = top;
    }
    SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  return old;
}

HWND GetActiveWindow() {
  Guard g(W().lock);
  return W().active;
}

namespace winsys {
// Activation with its WM_ACTIVATE code: WA_ACTIVE (1) for a program's
// activation, WA_CLICKACTIVE (2) for a mouse click.
HWND ActivateWindow(HWND hwnd, WPARAM code);
}  // namespace winsys

HWND SetActiveWindow(HWND hwnd) { return ActivateWindow(hwnd, 1); }

namespace winsys {
HWND ActivateWindow(HWND hwnd, WPARAM code) {
  if (!UiThreadHere()) return OnUi([&] { return ActivateWindow(hwnd, code); });
  HWND old;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w || w->Child()) return nullptr;
    old = W().active;
    if (old == hwnd) return old;
    W().active = hwnd;
  }
  // Menu windows never activate: another window becoming active means the
  // owner lost the focus, and a menu being tracked closes.
  EndMenu();
  if (old && IsWindow(old)) SendMessageW(old, WM_ACTIVATE, 0, reinterpret_cast<LPARAM>(hwnd));
  SendMessageW(hwnd, WM_ACTIVATE, code, reinterpret_cast<LPARAM>(old));
  return old;
}
}  // namespace winsys

BOOL SetForegroundWindow(HWND hwnd) {
  if (IsForeignHandle(hwnd)) return RemoteSetForegroundWindow(hwnd);
  return SetActiveWindow(hwnd) != nullptr || GetActiveWindow() == hwnd; }
HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND SetCapture(HWND hwnd) {
  HWND old;
  {
    Guard g(W().lock);
    if (!Find(hwnd)) return nullptr;
    old = W().capture;
    W().capture = hwnd;
  }
  if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old;
  {
    Guard g(W().lock);
    old = W().capture;
    W().capture = nullptr;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  Guard g(W().lock);
  return W().capture;
}

short GetKeyState(int vk) {
  Guard g(W().lock);
  BYTE k = W().keys[vk & 0xFF];
  return static_cast<short>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

short GetAsyncKeyState(int vk) { return static_cast<short>(GetKeyState(vk) & 0x8000); }

BOOL GetCursorPos(POINT* pt) {
  if (!pt) return FALSE;
  Guard g(W().lock);
  *pt = W().mouse;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  Guard g(W().lock);
  W().mouse = POINT{x, y};
  return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  auto id = reinterpret_cast<std::uintptr_t>(name);
  if (id < 32512 || id > 32651) return nullptr;
  return reinterpret_cast<HCURSOR>(id);
}

int CursorShapeOf(HCURSOR cursor) {
  auto id = reinterpret_cast<std::uintptr_t>(cursor);
  return (id >= 32512 && id <= 32651) ? static_cast<int>(id) : 0;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old;
  ScreenHost* host;
  {
    Guard g(W().lock);
    old = W().cursor;
    W().cursor = cursor;
    host = W().host;
  }
  if (host && old != cursor) host->CursorChanged(cursor);
  return old;
}

HCURSOR GetCursor() {
  Guard g(W().lock);
  return W().cursor;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* tme) {
  if (!tme) return FALSE;
  HWND under = nullptr;
  {
    Guard g(W().lock);
    if (tme->dwFlags & TME_CANCEL) {
      if (W().trackHwnd == tme->hwndTrack) {
        W().trackFlags &= ~(tme->dwFlags & (TME_LEAVE | TME_HOVER));
        if (!(W().trackFlags & (TME_LEAVE | TME_HOVER))) W().trackHwnd = nullptr;
      }
      return TRUE;
    }
    if (!Find(tme->hwndTrack)) return FALSE;
  }
  under = HitTest(W().mouse);
  {
    Guard g(W().lock);
    Wm& w = W();
    if (w.trackHwnd != tme->hwndTrack) w.trackFlags = 0;
    w.trackHwnd = tme->hwndTrack;
    w.trackFlags |= tme->dwFlags & (TME_LEAVE | TME_HOVER);
    if (tme->dwFlags & TME_HOVER) {
      w.hoverTime = tme->dwHoverTime == HOVER_DEFAULT ? 400 : tme->dwHoverTime;
      w.hoverDue = UiTickCount64() + w.hoverTime;
      w.hoverPt = w.mouse;
    }
    // Asked while the mouse is elsewhere: the leave notice comes at once.
    if ((tme->dwFlags & TME_LEAVE) && under != tme->hwndTrack) {
      PostLocked(tme->hwndTrack, WM_MOUSELEAVE, 0, 0);
      w.trackFlags &= ~TME_LEAVE;
      if (!(w.trackFlags & TME_HOVER)) w.trackHwnd = nullptr;
    }
  }
  WakeUi();
  return TRUE;
}

// ---------------------------------------------------------------------------
// Input routing.

void SetKeyDown(UINT vk, bool down) {
  Guard g(W().lock);
  BYTE& k = W().keys[vk & 0xFF];
  if (down && !(k & 0x80)) k ^= 0x01;
  k = static_cast<BYTE>(down ? (k | 0x80) : (k & ~0x80));
}

void ResetInputState() {
  Guard g(W().lock);
  Wm& w = W();
  std::fill(std::begin(w.keys), std::end(w.keys), 0);
  w.capture = nullptr;
  w.trackHwnd = nullptr;
  w.trackFlags = 0;
  w.hoverDue = 0;
  w.lastDownHwnd = nullptr;
  w.focus = nullptr;
  w.active = nullptr;
  w.mouse = POINT{-32000, -32000};
  w.posted.clear();
  if (w.caretTimer) {
    UINT_PTR blink = w.caretTimer;
    w.timers.erase(std::remove_if(w.timers.begin(), w.timers.end(),
                                  [&](const TimerRec& t) { return !t.hwnd && t.id == blink; }),
                   w.timers.end());
  }
  w.caretHwnd = nullptr;
  w.caretOn = false;
  w.caretTimer = 0;
  w.quit = false;
}

// A left press where the window answers a non-client hit code becomes
// WM_NCLBUTTONDOWN, or WM_NCLBUTTONDBLCLK for the second of a double click
// (whatever the class style), with the code and the screen point. False for
// presses in the client area.
static bool PostNonClientPress(HWND target, POINT pt) {
  const LRESULT hit = SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
  if (hit == HTCLIENT || hit == HTTRANSPARENT || hit == HTNOWHERE || hit == HTERROR) return false;
  Guard g(W().lock);
  Wm& w = W();
  UINT msg = WM_NCLBUTTONDOWN;
  const ULONGLONG now = UiTickCount64();
  const bool dbl = w.lastDownHwnd == target && w.lastDownMsg == WM_NCLBUTTONDOWN &&
                   now - w.lastDownTime <= GetDoubleClickTime() &&
                   std::abs(pt.x - w.lastDownPt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
                   std::abs(pt.y - w.lastDownPt.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
  if (dbl) {
    msg = WM_NCLBUTTONDBLCLK;
    w.lastDownHwnd = nullptr;
  } else {
    w.lastDownHwnd = target;
    w.lastDownMsg = WM_NCLBUTTONDOWN;
    w.lastDownTime = now;
    w.lastDownPt = pt;
  }
  PostLocked(target, msg, static_cast<WPARAM>(hit), MAKELPARAM(pt.x, pt.y));
  WakeUi();
  return true;
}

void InjectMouse(MouseInput kind, POINT pt, int wheelDelta) {
  InitUiThread();
  LRESULT hitCode = HTCLIENT;
  HWND under = HitTest(pt, &hitCode);
  HWND leaveTarget = nullptr;
  {
    Guard g(W().lock);
    Wm& w = W();
    w.mouse = pt;
    switch (kind) {
      case MouseInput::LeftDown: w.keys[VK_LBUTTON] |= 0x80; break;
      case MouseInput::LeftUp: w.keys[VK_LBUTTON] &= ~0x80; break;
      case MouseInput::RightDown: w.keys[VK_RBUTTON] |= 0x80; break;
      case MouseInput::RightUp: w.keys[VK_RBUTTON] &= ~0x80; break;
      case MouseInput::MiddleDown: w.keys[VK_MBUTTON] |= 0x80; break;
      case MouseInput::MiddleUp: w.keys[VK_MBUTTON] &= ~0x80; break;
      default: break;
    }
    if (w.trackHwnd && under != w.trackHwnd && (w.trackFlags & TME_LEAVE)) {
      leaveTarget = w.trackHwnd;
      w.trackHwnd = nullptr;
      w.trackFlags = 0;
      w.hoverDue = 0;
    }
    if (w.trackHwnd && (w.trackFlags & TME_HOVER) &&
        (std::abs(pt.x - w.hoverPt.x) > 2 || std::abs(pt.y - w.hoverPt.y) > 2)) {
      w.hoverPt = pt;
      w.hoverDue = UiTickCount64() + w.hoverTime;
    }
    if (leaveTarget) PostLocked(leaveTarget, WM_MOUSELEAVE, 0, 0);
  }
  HWND capture = GetCapture();
  HWND target = capture ? capture : under;
  if (!target) return;
  if (!capture && !IsWindowEnabled(target)) return;  // disabled windows take no mouse input
  bool down = kind == MouseInput::LeftDown || kind == MouseInput::RightDown || kind == MouseInput::MiddleDown;
  UINT msg = 0;
  switch (kind) {
    case MouseInput::Move: msg = WM_MOUSEMOVE; break;
    case MouseInput::LeftDown: msg = WM_LBUTTONDOWN; break;
    case MouseInput::LeftUp: msg = WM_LBUTTONUP; break;
    case MouseInput::RightDown: msg = WM_RBUTTONDOWN; break;
    case MouseInput::RightUp: msg = WM_RBUTTONUP; break;
    case MouseInput::MiddleDown: msg = WM_MBUTTONDOWN; break;
    case MouseInput::MiddleUp: msg = WM_MBUTTONUP; break;
    case MouseInput::Wheel: msg = WM_MOUSEWHEEL; break;
  }
  if (kind == MouseInput::Wheel) {
    HWND focus = GetFocus();
    HWND wheelTarget = focus ? focus : target;
    Guard g(W().lock);
    PostLocked(wheelTarget, WM_MOUSEWHEEL, MAKEWPARAM(KeyFlagsLocked(), wheelDelta), MAKELPARAM(pt.x, pt.y));
    WakeUi();
    return;
  }
  if (down && !capture) {
    // The window is asked whether the press activates its top-level window
    // (tool tips and pop-up menus answer no) and whether it is eaten.
    HWND top = GetAncestor(target, GA_ROOT);
    bool noActivate = (GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0;
    LRESULT answer = SendMessageW(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top), MAKELPARAM(HTCLIENT, msg));
    if (!noActivate && answer != MA_NOACTIVATE && answer != MA_NOACTIVATEANDEAT && top && GetActiveWindow() != top)
      ActivateWindow(top, 2);  // WA_CLICKACTIVE
    if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return;
  }
  // Over a sizing edge (and not captured) the window gets the non-client
  // messages with the hit code and the screen point.
  bool sizingEdge = !capture && IsSizingHitCode(hitCode);
  if (!capture)
    SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                 MAKELPARAM(sizingEdge ? hitCode : HTCLIENT, msg));
  if (sizingEdge && (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP)) {
    UINT nc = msg == WM_MOUSEMOVE ? WM_NCMOUSEMOVE : msg == WM_LBUTTONDOWN ? WM_NCLBUTTONDOWN : WM_NCLBUTTONUP;
    Guard g(W().lock);
    PostLocked(target, nc, static_cast<WPARAM>(hitCode), MAKELPARAM(pt.x, pt.y));
    WakeUi();
    return;
  }
  // Other non-client presses (a caption, say) get WM_NCLBUTTONDOWN or
  // WM_NCLBUTTONDBLCLK.
  if (kind == MouseInput::LeftDown && !capture && PostNonClientPress(target, pt)) return;
  Guard g(W().lock);
  Wm& w = W();
  Win* t = Find(target);
  if (!t) return;
  if (down) {
    ULONGLONG now = UiTickCount64();
    bool dbl = (t->cls->style & CS_DBLCLKS) && w.lastDownHwnd == target && w.lastDownMsg == msg &&
               now - w.lastDownTime <= GetDoubleClickTime() &&
               std::abs(pt.x - w.lastDownPt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
               std::abs(pt.y - w.lastDownPt.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
    if (dbl) {
      msg += 2;  // WM_xBUTTONDBLCLK
      w.lastDownHwnd = nullptr;
    } else {
      w.lastDownHwnd = target;
      w.lastDownMsg = msg;
      w.lastDownTime = now;
      w.lastDownPt = pt;
    }
  }
  QPoint o = ClientOriginOnScreenLocked(t);
  PostLocked(target, msg, KeyFlagsLocked(), MAKELPARAM(pt.x - o.x(), pt.y - o.y()));
  WakeUi();
}

void InjectKey(UINT vk, bool down, int repeat) {
  InitUiThread();
  Guard g(W().lock);
  Wm& w = W();
  bool wasDown = (w.keys[vk & 0xFF] & 0x80) != 0;
  HWND target = w.focus ? w.focus : w.active;
  if (!target) {
    SetKeyDown(vk, down);
    return;
  }
  // The key state changes when the message is taken from the queue, so
  // GetKeyState answers as of the message being handled.
  LPARAM l = (repeat & 0xFFFF) | ((static_cast<LPARAM>(vk) & 0xFF) << 16);
  if (wasDown) l |= 1 << 30;
  if (!down) l |= static_cast<LPARAM>(0xC0000000u);
  // Keys with Alt held, Alt itself and F10 are system keys.
  bool alt = (w.keys[VK_MENU] & 0x80) != 0 || vk == VK_MENU;
  bool system = alt || vk == VK_F1 + 9;
  if (alt) l |= 1 << 29;
  UINT msg = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  PostLocked(target, msg, vk, l);
  w.posted.back().lPrivate = MSG_INPUT;
  WakeUi();
}

void InjectChar(WCHAR ch) {
  Guard g(W().lock);
  Wm& w = W();
  HWND target = w.focus ? w.focus : w.active;
  if (!target) return;
  PostLocked(target, WM_CHAR, ch, 1);
  WakeUi();
}
