// Default handling of messages (DefWindowProcW).
#include "platform/window/win_system.h"

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

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_SETTEXT: {
      auto text = reinterpret_cast<LPCWSTR>(lParam);
      HWND top = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return FALSE;
        w->text = FromZ(text);
        if (!w->Child()) top = hwnd;
      }
      if (top) NotifyHost(top);
      return TRUE;
    }
    case WM_GETTEXT: {
      return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH:
      return GetWindowTextLengthW(hwnd);
    case WM_SETFONT: {
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return 0;
        w->font = reinterpret_cast<HFONT>(wParam);
      }
      if (LOWORD(static_cast<std::uintptr_t>(lParam))) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_GETFONT: {
      Guard g(W().lock);
      Win* w = Find(hwnd);
      return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_SETREDRAW: {
      Guard g(W().lock);
      Win* w = Find(hwnd);
      if (w) w->redraw = wParam != 0;
      return 0;
    }
    case WM_PAINT: {
      if (wParam) return 0;  // asked to paint into a given DC: a plain window has nothing
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return 0;
        brush = w->cls->background;
      }
      if (!brush || !AsBrush(brush) || AsBrush(brush)->style == BS_NULL) return 0;
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
      return 1;
    }
    case WM_PRINT:
      // The client part is asked of the window itself.
      return SendMessageW(hwnd, WM_PRINTCLIENT, wParam, lParam);
    case WM_PRINTCLIENT:
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      QSize client;
      QPoint at;
      DWORD style;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return 0;
        client = ClientRectOf(w).size();
        at = w->rect.topLeft();
        style = w->style;
      }
      if (pos && !(pos->flags & SWP_NOMOVE)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(at.x(), at.y()));
      if (pos && !(pos->flags & SWP_NOSIZE)) {
        WPARAM type = (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : (style & WS_MINIMIZE) ? SIZE_MINIMIZED : SIZE_RESTORED;
        SendMessageW(hwnd, WM_SIZE, type, MAKELPARAM(client.width(), client.height()));
      }
      return 0;
    }
    case WM_SETCURSOR: {
      // The parent may answer first; otherwise the class cursor in the client area.
      HWND parent = nullptr;
      HCURSOR cursor = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return FALSE;
        if (w->Child()) parent = w->parent;
        cursor = w->cls->cursor;
      }
      if (parent && SendMessageW(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (LOWORD(static_cast<std::uintptr_t>(lParam)) == HTCLIENT && cursor) SetCursor(cursor);
      return FALSE;
    }
    case WM_MOUSEWHEEL: {
      HWND parent = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (w && w->Child()) parent = w->parent;
      }
      return parent ? SendMessageW(parent, msg, wParam, lParam) : 0;
    }
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_RBUTTONUP: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &pt);
      SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(pt.x, pt.y));
      return 0;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (wParam == VK_APPS || (wParam == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000)))
        SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(-1, -1));
      return 0;
    case WM_CONTEXTMENU: {
      HWND parent = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (w && w->Child()) parent = w->parent;
      }
      return parent ? SendMessageW(parent, msg, wParam, lParam) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != 0) {
        HWND f = GetFocus();
        if (f != hwnd && !IsChild(hwnd, f)) SetFocus(hwnd);
      }
      return 0;
    case WM_MOUSEACTIVATE: {
      // A child's parent answers first.
      HWND parent = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (w && w->Child()) parent = w->parent;
      }
      if (parent) {
        LRESULT r = SendMessageW(parent, msg, wParam, lParam);
        if (r) return r;
      }
      return MA_ACTIVATE;
    }
    case WM_GETMINMAXINFO:
    case WM_GETICON:
      return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      bool editLike = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    default:
      return 0;
  }
}
