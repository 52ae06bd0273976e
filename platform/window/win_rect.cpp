// The rectangle functions and scrolling a window's picture.
#include "platform/gdi/win_gdi.h"

#include <algorithm>
#include <vector>

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
  if (!r) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }

BOOL CopyRect(RECT* dst, const RECT* src) {
  if (!dst || !src) return FALSE;
  *dst = *src;
  return TRUE;
}

BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }

BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL PtInRect(const RECT* r, POINT p) {
  return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}

BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left += dx, r->right += dx, r->top += dy, r->bottom += dy;
  return TRUE;
}

BOOL InflateRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left -= dx, r->right += dx, r->top -= dy, r->bottom += dy;
  return TRUE;
}

BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    *dst = RECT{};
    return FALSE;
  }
  *dst = r;
  return TRUE;
}

BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return FALSE;
  bool ea = IsRectEmpty(a), eb = IsRectEmpty(b);
  if (ea && eb) {
    *dst = RECT{};
    return FALSE;
  }
  if (ea) {
    *dst = *b;
  } else if (eb) {
    *dst = *a;
  } else {
    *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
  }
  return TRUE;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN rgnUpdate,
                   RECT* rcUpdate, UINT flags) {
  RECT client;
  if (!GetClientRect(hwnd, &client)) return ERROR;
  RECT area = client;
  if (scroll) IntersectRect(&area, &area, scroll);
  if (clip) IntersectRect(&area, &area, clip);
  // The pixels that stay inside the area move; the rest of it is uncovered.
  RECT moved = area;
  OffsetRect(&moved, dx, dy);
  RECT dst;
  bool any = IntersectRect(&dst, &moved, &area);
  HRGN uncovered = CreateRectRgn(area.left, area.top, area.right, area.bottom);
  if (any) {
    HDC dc = GetDC(hwnd);
    BitBlt(dc, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top, dc, dst.left - dx, dst.top - dy,
           SRCCOPY);
    ReleaseDC(hwnd, dc);
    HRGN kept = CreateRectRgn(dst.left, dst.top, dst.right, dst.bottom);
    CombineRgn(uncovered, uncovered, kept, RGN_DIFF);
    DeleteObject(kept);
  }
  if (flags & SW_SCROLLCHILDREN) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    for (HWND c : children) {
      RECT r;
      GetWindowRect(c, &r);
      POINT tl{r.left, r.top};
      ScreenToClient(hwnd, &tl);
      RECT inParent{tl.x, tl.y, tl.x + (r.right - r.left), tl.y + (r.bottom - r.top)};
      RECT common;
      if (scroll && !IntersectRect(&common, &inParent, scroll)) continue;
      SetWindowPos(c, nullptr, tl.x + dx, tl.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  RECT box{};
  int kind = GetRgnBox(uncovered, &box);
  if (rgnUpdate) CombineRgn(rgnUpdate, uncovered, nullptr, RGN_COPY);
  if (rcUpdate) *rcUpdate = box;
  if (flags & SW_INVALIDATE) InvalidateRgn(hwnd, uncovered, (flags & SW_ERASE) != 0);
  DeleteObject(uncovered);
  return kind;
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip) {
  UINT flags = SW_INVALIDATE | SW_ERASE | (rect ? 0 : SW_SCROLLCHILDREN);
  return ScrollWindowEx(hwnd, dx, dy, rect, clip, nullptr, nullptr, flags) != ERROR;
}
