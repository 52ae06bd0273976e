// Caption-less frames: system commands, maximising to the work area, the
// non-client presses and their default handling, WM_NCPAINT's default.
#include "platform/window/win_system.h"

using namespace winsys;

UINT ImmGetVirtualKey(HWND) { return 0; }

namespace winsys {

// The maximised rectangle the window asks for: the work area unless its
// WM_GETMINMAXINFO says otherwise, never below its minimum tracking size.
static QRect MaximizedRect(HWND hwnd) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  MINMAXINFO info{};
  info.ptMaxPosition = POINT{work.left, work.top};
  info.ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
  info.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
  info.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  const int w = std::max(info.ptMaxSize.x, info.ptMinTrackSize.x);
  const int h = std::max(info.ptMaxSize.y, info.ptMinTrackSize.y);
  return QRect(info.ptMaxPosition.x, info.ptMaxPosition.y, w, h);
}

void ApplyWindowState(HWND hwnd, int cmd, bool wasZoomed) {
  if (cmd == SW_MAXIMIZE) {
    const QRect target = MaximizedRect(hwnd);
    {
      Guard g(W().lock);
      Win* w = Find(hwnd);
      if (!w) return;
      if (!wasZoomed) w->restoreRect = w->rect;
    }
    SetWindowPos(hwnd, nullptr, target.x(), target.y(), target.width(), target.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  if (cmd != SW_RESTORE || !wasZoomed) return;
  QRect back;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w || w->restoreRect.isEmpty()) return;
    back = w->restoreRect;
  }
  SetWindowPos(hwnd, nullptr, back.x(), back.y(), back.width(), back.height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moves a top-level window with the mouse from the press at screen point
// start until the left button is released.
static void MoveLoop(HWND hwnd, POINT start) {
  if ((GetKeyState(VK_LBUTTON) & 0x8000) == 0) return;  // released already
  RECT origin{};
  GetWindowRect(hwnd, &origin);
  SetCapture(hwnd);
  MSG m{};
  while (GetCapture() == hwnd && GetMessageW(&m, nullptr, 0, 0)) {
    if (m.hwnd == hwnd && m.message == WM_MOUSEMOVE) {
      POINT p{};
      GetCursorPos(&p);
      SetWindowPos(hwnd, nullptr, origin.left + p.x - start.x, origin.top + p.y - start.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      continue;
    }
    if (m.message == WM_LBUTTONUP) break;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
  if (GetCapture() == hwnd) ReleaseCapture();
}

LRESULT DefFrameMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool top = false;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return 0;
    top = !w->Child();
    if (msg == WM_NCPAINT) {
      DrawNonClientLocked(w, hwnd);
      return 0;
    }
  }
  if (!top) return 0;
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wParam == HTCAPTION && !IsZoomed(hwnd))
        MoveLoop(hwnd, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTCAPTION) SendMessageW(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      return 0;
    default: return 0;
  }
}

}  // namespace winsys
