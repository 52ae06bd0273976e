// Default handling of messages (DefWindowProcW).
#include "platform/window/win_system.h"
#include "platform/window/win_icons.h"

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
// Default handling.

namespace {

// The parent of a child window; null for top-level windows.
HWND ParentOf(HWND hwnd) {
  return WithWin(hwnd, HWND{}, [](Win& w) { return w.Child() ? w.parent : HWND{}; });
}

// Passes the message to the parent of a child window (0 for top-level ones).
LRESULT ToParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND parent = ParentOf(hwnd);
  return parent ? SendMessageW(parent, msg, wParam, lParam) : 0;
}

LRESULT OnSetText(HWND hwnd, LPCWSTR text) {
  HWND top = nullptr;
  if (!WithWin(hwnd, false, [&](Win& w) {
        w.text = FromZ(text);
        if (!w.Child()) top = hwnd;
        return true;
      }))
    return FALSE;
  if (top) NotifyHost(top);
  return TRUE;
}

LRESULT OnGetIcon(HWND hwnd, WPARAM which) {
  const int slot = which == ICON_BIG ? 1 : 0;
  return WithWin(hwnd, LRESULT{0}, [&](Win& w) { return reinterpret_cast<LRESULT>(w.icons[slot]); });
}

LRESULT OnSetIcon(HWND hwnd, WPARAM which, HICON icon) {
  const int slot = which == ICON_BIG ? 1 : 0;
  HICON old = nullptr;
  HWND top = nullptr;
  if (!WithWin(hwnd, false, [&](Win& w) {
        old = w.icons[slot];
        w.icons[slot] = icon;
        if (!w.Child()) top = hwnd;
        return true;
      }))
    return 0;
  if (top) NotifyHost(top);
  return reinterpret_cast<LRESULT>(old);
}

LRESULT OnSetFont(HWND hwnd, HFONT font, bool redraw) {
  if (WithWin(hwnd, false, [&](Win& w) { return w.font = font, true; }) && redraw)
    InvalidateRect(hwnd, nullptr, TRUE);
  return 0;
}

LRESULT OnGetFont(HWND hwnd) {
  return WithWin(hwnd, LRESULT{0}, [](Win& w) { return reinterpret_cast<LRESULT>(w.font); });
}

LRESULT OnSetRedraw(HWND hwnd, bool redraw) {
  WithWin(hwnd, false, [&](Win& w) { return w.redraw = redraw, true; });
  return 0;
}

LRESULT OnPaint(HWND hwnd, WPARAM dc) {
  if (dc) return 0;  // asked to paint into a given DC: a plain window has nothing
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  EndPaint(hwnd, &ps);
  return 0;
}

// Erases with the class brush (none: nothing erased).
LRESULT OnEraseBackground(HWND hwnd, HDC dc) {
  HBRUSH brush = WithWin(hwnd, HBRUSH{}, [](Win& w) { return w.cls->background; });
  if (!brush || !AsBrush(brush) || AsBrush(brush)->style == BS_NULL) return 0;
  RECT rc;
  GetClientRect(hwnd, &rc);
  FillRect(dc, &rc, brush);
  return 1;
}

// WM_MOVE and WM_SIZE for what the position change did.
LRESULT OnWindowPosChanged(HWND hwnd, const WINDOWPOS* pos) {
  QSize client;
  QPoint at;
  DWORD style = 0;
  if (!WithWin(hwnd, false, [&](Win& w) {
        client = ClientRectOfLocked(&w).size();
        at = w.rect.topLeft();
        style = w.style;
        return true;
      }))
    return 0;
  if (pos && !(pos->flags & SWP_NOMOVE)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(at.x(), at.y()));
  if (pos && !(pos->flags & SWP_NOSIZE)) {
    WPARAM type = (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : (style & WS_MINIMIZE) ? SIZE_MINIMIZED : SIZE_RESTORED;
    SendMessageW(hwnd, WM_SIZE, type, MAKELPARAM(client.width(), client.height()));
  }
  return 0;
}

// The parent may answer first; otherwise the class cursor in the client area.
LRESULT OnSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HCURSOR cursor = WithWin(hwnd, HCURSOR{}, [](Win& w) { return w.cls->cursor; });
  HWND parent = ParentOf(hwnd);
  if (parent && SendMessageW(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
  const int hit = LOWORD(static_cast<std::uintptr_t>(lParam));
  if (hit == HTCLIENT && cursor) SetCursor(cursor);
  if (IsSizingHitCode(hit)) {
    LPCWSTR shape = (hit == HTTOP || hit == HTBOTTOM)           ? IDC_SIZENS
                    : (hit == HTLEFT || hit == HTRIGHT)         ? IDC_SIZEWE
                    : (hit == HTTOPLEFT || hit == HTBOTTOMRIGHT) ? IDC_SIZENWSE
                                                                 : IDC_SIZENESW;
    SetCursor(LoadCursorW(nullptr, shape));
  }
  return FALSE;
}

// The sizing loop of WM_SYSCOMMAND SC_SIZE + edge (WMSZ_*): the mouse moves
// that edge from where the loop began; the rectangle keeps within the track
// sizes of WM_GETMINMAXINFO. Release ends it; Esc, the capture taken away or
// a WM_QUIT put the starting rectangle back.
void RunSizingLoop(HWND hwnd, int edge) {
  if (edge < WMSZ_LEFT || edge > WMSZ_BOTTOMRIGHT || !IsWindow(hwnd)) return;
  RECT start;
  GetWindowRect(hwnd, &start);
  POINT from;
  GetCursorPos(&from);
  MINMAXINFO limits{};
  limits.ptMinTrackSize = POINT{0, 0};
  limits.ptMaxTrackSize = POINT{32767, 32767};
  SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  const HWND parent = ParentOf(hwnd);
  const bool left = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
  const bool right = edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT;
  const bool top = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
  const bool bottom = edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT;
  // Places the window at a screen rectangle (in its parent's client
  // coordinates for a child).
  auto place = [&](RECT r) {
    POINT corner{r.left, r.top};
    if (parent) ScreenToClient(parent, &corner);
    RECT now;
    GetWindowRect(hwnd, &now);
    if (EqualRect(&now, &r)) return;
    MoveWindow(hwnd, corner.x, corner.y, r.right - r.left, r.bottom - r.top, TRUE);
  };
  auto follow = [&](POINT at) {
    RECT r = start;
    const int dx = at.x - from.x, dy = at.y - from.y;
    if (left) r.left += dx;
    if (right) r.right += dx;
    if (top) r.top += dy;
    if (bottom) r.bottom += dy;
    const int width = std::clamp<int>(r.right - r.left, std::max<int>(0, limits.ptMinTrackSize.x),
                                      std::max<int>(limits.ptMinTrackSize.x, limits.ptMaxTrackSize.x));
    const int height = std::clamp<int>(r.bottom - r.top, std::max<int>(0, limits.ptMinTrackSize.y),
                                       std::max<int>(limits.ptMinTrackSize.y, limits.ptMaxTrackSize.y));
    if (left) r.left = r.right - width; else r.right = r.left + width;
    if (top) r.top = r.bottom - height; else r.bottom = r.top + height;
    place(r);
  };
  SetCapture(hwnd);
  SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
  bool restore = false, quit = false;
  int quitCode = 0;
  MSG msg;
  for (;;) {
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      restore = true;
      break;
    }
    if (msg.message == WM_MOUSEMOVE) {
      POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      ClientToScreen(msg.hwnd, &at);
      follow(at);
    } else if (msg.message == WM_LBUTTONUP) {
      POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      ClientToScreen(msg.hwnd, &at);
      follow(at);
      break;
    } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      restore = true;
      break;
    } else if ((msg.message >= WM_KEYDOWN && msg.message <= WM_SYSCHAR) ||
               (msg.message >= WM_MOUSEMOVE && msg.message <= WM_MBUTTONDBLCLK)) {
      // taken by the loop
    } else {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!IsWindow(hwnd)) return;
    if (GetCapture() != hwnd) {
      restore = true;
      break;
    }
  }
  if (restore) place(start);
  if (GetCapture() == hwnd) ReleaseCapture();
  SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
  if (quit) PostQuitMessage(quitCode);
}

// WM_CONTEXTMENU at the screen point of the release.
LRESULT OnRButtonUp(HWND hwnd, LPARAM lParam) {
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ClientToScreen(hwnd, &pt);
  SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(pt.x, pt.y));
  return 0;
}

// The menu key and Shift+F10 ask for the context menu from the keyboard.
LRESULT OnKeyUp(HWND hwnd, WPARAM key) {
  if (key == VK_APPS || (key == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000)))
    SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(-1, -1));
  return 0;
}

LRESULT OnActivate(HWND hwnd, WPARAM state) {
  if (LOWORD(state) == 0) return 0;
  HWND f = GetFocus();
  if (f != hwnd && !IsChild(hwnd, f)) SetFocus(hwnd);
  return 0;
}

// A child's parent answers first.
LRESULT OnMouseActivate(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  LRESULT r = ToParent(hwnd, WM_MOUSEACTIVATE, wParam, lParam);
  return r ? r : MA_ACTIVATE;
}

// The system colours: window colours for edits and lists, face colours else.
LRESULT OnCtlColor(UINT msg, HDC dc) {
  bool editLike = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
}

}  // namespace

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT: return OnSetText(hwnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT: return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH: return GetWindowTextLengthW(hwnd);
    case WM_SETFONT: return OnSetFont(hwnd, reinterpret_cast<HFONT>(wParam), LOWORD(static_cast<std::uintptr_t>(lParam)));
    case WM_GETFONT: return OnGetFont(hwnd);
    case WM_SETREDRAW: return OnSetRedraw(hwnd, wParam != 0);
    case WM_PAINT: return OnPaint(hwnd, wParam);
    case WM_ERASEBKGND: return OnEraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_PRINT: return SendMessageW(hwnd, WM_PRINTCLIENT, wParam, lParam);  // the client part: the window's own
    case WM_PRINTCLIENT: return 0;
    case WM_WINDOWPOSCHANGED: return OnWindowPosChanged(hwnd, reinterpret_cast<const WINDOWPOS*>(lParam));
    case WM_SETCURSOR: return OnSetCursor(hwnd, wParam, lParam);
    case WM_MOUSEWHEEL: return ToParent(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST: return HTCLIENT;
    case WM_NCLBUTTONDOWN:
      if (IsSizingHitCode(static_cast<LRESULT>(wParam))) {
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_SIZE + (wParam - HTLEFT + 1), lParam);
        return 0;
      }
      return DefFrameMessage(hwnd, msg, wParam, lParam);
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_SIZE) {
        RunSizingLoop(hwnd, static_cast<int>(wParam & 0xF));
        return 0;
      }
      return DefFrameMessage(hwnd, msg, wParam, lParam);
    case WM_NCPAINT:
    case WM_NCLBUTTONDBLCLK: return DefFrameMessage(hwnd, msg, wParam, lParam);
    case WM_RBUTTONUP: return OnRButtonUp(hwnd, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP: return OnKeyUp(hwnd, wParam);
    case WM_CONTEXTMENU: return ToParent(hwnd, msg, wParam, lParam);
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_ACTIVATE: return OnActivate(hwnd, wParam);
    case WM_MOUSEACTIVATE: return OnMouseActivate(hwnd, wParam, lParam);
    case WM_GETMINMAXINFO: return 0;
    case WM_GETICON: return OnGetIcon(hwnd, wParam);
    case WM_SETICON: return OnSetIcon(hwnd, wParam, reinterpret_cast<HICON>(lParam));
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return OnCtlColor(msg, reinterpret_cast<HDC>(wParam));
    default: return 0;
  }
}
