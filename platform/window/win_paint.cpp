// Painting and invalidation: update regions, BeginPaint/EndPaint, window DCs.
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
// Painting.

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!WithWin(hwnd, false, [&](Win& w) {
        QRegion r = rect ? QRegion(QRectOf(*rect)) : QRegion(ClientRectOfLocked(&w));
        if (!rect) w.ncDirty = true;
        InvalidateLocked(&w, r, erase != 0, true);
        return true;
      }))
    return FALSE;
  WakeUi();
  return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
  RegionObject* r = AsRegion(rgn);
  if (!r) return InvalidateRect(hwnd, nullptr, erase);
  if (!WithWin(hwnd, false, [&](Win& w) { return InvalidateLocked(&w, r->rgn, erase != 0, true), true; }))
    return FALSE;
  WakeUi();
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  return WithWin(hwnd, FALSE, [&](Win& w) {
    if (!rect) {
      w.update = QRegion();
      w.erase = false;
    } else {
      w.update -= QRegion(QRectOf(*rect));
    }
    return TRUE;
  });
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  return WithWin(hwnd, FALSE, [&](Win& w) {
    QRect b = w.update.boundingRect();
    if (rect) *rect = b.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    return b.isEmpty() ? FALSE : TRUE;
  });
}

BOOL UpdateWindow(HWND hwnd) {
  if (!UiThreadHere()) return OnUi([&] { return UpdateWindow(hwnd); });
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    if (w->update.isEmpty() || !VisibleChainLocked(w) || !RedrawChainLocked(w)) return TRUE;
  }
  MSG m{hwnd, WM_PAINT, 0, 0, 0, POINT{}};
  DispatchMessageW(&m);
  FlushScreens();
  return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags) {
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    QRegion r = rgn && AsRegion(rgn) ? AsRegion(rgn)->rgn
                : rect ? QRegion(QRectOf(*rect))
                       : QRegion(ClientRectOfLocked(w));
    bool all = (flags & RDW_ALLCHILDREN) != 0;
    bool children = all || !(flags & RDW_NOCHILDREN);
    if (flags & RDW_INVALIDATE) InvalidateLocked(w, r, (flags & RDW_ERASE) != 0, children, all);
    if (flags & RDW_FRAME) w->ncDirty = true;
    if (flags & RDW_VALIDATE) {
      w->update -= r;
      if (w->update.isEmpty()) w->erase = false;
    }
  }
  if (flags & RDW_UPDATENOW) {
    std::vector<HWND> tree;
    {
      Guard g(W().lock);
      CollectTreeLocked(hwnd, &tree);
    }
    for (HWND h : tree) UpdateWindow(h);
  }
  WakeUi();
  return TRUE;
}

// A window without WS_CLIPCHILDREN paints over its children wherever its
// update region reaches them. Those of them (and everything below them) that
// painted already, before this pass, paint again after it, so they are never
// left covered; the ones still waiting paint after their parent anyway.
static void CoverChildrenLocked(Win* w, const QRegion& update) {
  if (w->style & WS_CLIPCHILDREN) return;
  for (HWND ch : w->children) {
    Win* c = Find(ch);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    QRegion part = update & QRegion(c->rect);
    if (part.isEmpty()) continue;
    int n = InsetLocked(c);
    c->ncDirty = true;
    InvalidateLocked(c, part.translated(-c->rect.topLeft() - QPoint(n, n)), true, true, true);
  }
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  *ps = PAINTSTRUCT();
  bool caretHere;
  {
    Guard g(W().lock);
    caretHere = W().caretHwnd == hwnd && W().caretOn;
  }
  if (caretHere) {
    DrawCaret(false);
    Guard g(W().lock);
    W().caretPainting = true;
  }
  PaintNonClient(hwnd);
  QRegion update;
  bool erase;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return nullptr;
    update = w->update;
    erase = w->erase;
    w->update = QRegion();
    w->erase = false;
    w->paintSerial++;
    CoverChildrenLocked(w, update);
  }
  HDC dc = GetDC(hwnd);
  if (!dc) return nullptr;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    int n = InsetLocked(w);
    dc->vis &= update.translated(OriginInTopLocked(w) + QPoint(n, n));
    dc->ClipChanged();
  }
  dc->paintDc = true;
  QRect b = update.boundingRect();
  ps->hdc = dc;
  ps->rcPaint = b.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
  if (erase) ps->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (!ps || !ps->hdc) return FALSE;
  ReleaseDC(hwnd, ps->hdc);
  bool restore;
  {
    Guard g(W().lock);
    restore = W().caretPainting && W().caretHwnd == hwnd;
    W().caretPainting = false;
  }
  if (restore) DrawCaret(true);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) {
    // A screen DC: a memory picture the size of the screen, for measuring
    // and for making compatible DCs and bitmaps.
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP screen = CreateCompatibleBitmap(nullptr, 1, 1);
    SelectObject(dc, screen);
    DeleteObject(screen);
    return dc;
  }
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return nullptr;
  Win* top = TopOfLocked(w);
  if (!top || !top->backing) return nullptr;
  HDC dc = MakeWindowDc(hwnd, true, nullptr);
  dc->image = top->backing.get();
  int n = InsetLocked(w);
  dc->deviceOrigin = OriginInTopLocked(w) + QPoint(n, n);
  dc->hasVis = true;
  dc->vis = VisibleChainLocked(w) ? VisibleRegionLocked(w, true) : QRegion();
  dc->screenDirty = &top->screenDirty;
  dc->ClipChanged();
  return dc;
}

HDC GetWindowDC(HWND hwnd) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return nullptr;
  Win* top = TopOfLocked(w);
  if (!top || !top->backing) return nullptr;
  HDC dc = MakeWindowDc(hwnd, false, nullptr);
  dc->image = top->backing.get();
  dc->deviceOrigin = OriginInTopLocked(w);
  dc->hasVis = true;
  dc->vis = VisibleChainLocked(w) ? VisibleRegionLocked(w, false) : QRegion();
  dc->screenDirty = &top->screenDirty;
  dc->ClipChanged();
  return dc;
}

int ReleaseDC(HWND, HDC hdc) {
  if (!hdc) return 0;
  if (hdc->memory) {
    DeleteDC(hdc);
    return 1;
  }
  FreeWindowDc(hdc);
  return 1;
}
