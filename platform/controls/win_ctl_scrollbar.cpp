// SCROLLBAR: the scroll-bar control and the bars of WS_VSCROLL/WS_HSCROLL
// windows. The bar never moves itself: it reports SB_LINE*/SB_PAGE*/
// SB_THUMBTRACK/SB_THUMBPOSITION and SB_ENDSCROLL to its parent (or, for a
// window's bar, to that window with a null bar handle) and shows the
// position the owner sets through SetScrollInfo/SetScrollPos.
#include "platform/controls/win_ctl_internal.h"

#include <algorithm>

namespace {

constexpr int kVertBarId = 0xFFF1, kHorzBarId = 0xFFF0;
constexpr UINT_PTR kRepeatTimer = 1;

enum class Part { None, ArrowLow, PageLow, Thumb, PageHigh, ArrowHigh };

struct Bar {
  SCROLLINFO si;
  bool windowBar = false;  // a window's SB_VERT/SB_HORZ bar
  bool tracking = false;
  Part pressed = Part::None;
  bool over = false;
  int dragOffset = 0;      // pixels from the thumb's start to the press point
};

ctl::StateMap<Bar>& Bars() {
  static ctl::StateMap<Bar> map;
  return map;
}

bool Vertical(HWND h) { return (ctl::Style(h) & SBS_VERT) != 0; }

struct Geometry {
  int length = 0, thickness = 0, arrow = 0;
  int thumbStart = 0, thumbSize = 0;  // along the bar; size 0: no thumb
};

int MaxPos(const SCROLLINFO& si) {
  int m = si.nMax - std::max<int>(static_cast<int>(si.nPage) - 1, 0);
  return std::max(m, si.nMin);
}
bool CanScroll(const SCROLLINFO& si) { return MaxPos(si) > si.nMin; }

Geometry Measure(HWND h, const Bar* b, int pos) {
  RECT rc;
  GetClientRect(h, &rc);
  Geometry g;
  bool v = Vertical(h);
  g.length = v ? rc.bottom : rc.right;
  g.thickness = v ? rc.right : rc.bottom;
  g.arrow = std::min(g.thickness, g.length / 2);
  int track = g.length - 2 * g.arrow;
  if (!CanScroll(b->si) || !IsWindowEnabled(h) || track < 8) return g;
  int range = b->si.nMax - b->si.nMin + 1;
  int size = b->si.nPage ? static_cast<int>(static_cast<long long>(track) * static_cast<int>(b->si.nPage) / range)
                         : g.thickness;
  size = std::clamp(size, std::min(8, track), track);
  int span = MaxPos(b->si) - b->si.nMin;
  g.thumbSize = size;
  g.thumbStart = g.arrow + (span > 0 ? static_cast<int>(static_cast<long long>(track - size) * (pos - b->si.nMin) / span) : 0);
  return g;
}

Part HitPart(HWND h, const Bar* b, POINT p) {
  Geometry g = Measure(h, b, b->si.nPos);
  int at = Vertical(h) ? p.y : p.x;
  if (at < 0 || at >= g.length) return Part::None;
  if (at < g.arrow) return Part::ArrowLow;
  if (at >= g.length - g.arrow) return Part::ArrowHigh;
  if (!g.thumbSize) return Part::None;
  if (at < g.thumbStart) return Part::PageLow;
  if (at >= g.thumbStart + g.thumbSize) return Part::PageHigh;
  return Part::Thumb;
}

void Tell(HWND h, Bar* b, UINT code, int pos = 0) {
  UINT msg = Vertical(h) ? WM_VSCROLL : WM_HSCROLL;
  HWND parent = GetParent(h);
  if (!parent) return;
  SendMessageW(parent, msg, MAKEWPARAM(code, pos), b->windowBar ? 0 : reinterpret_cast<LPARAM>(h));
}

void Paint(HWND h, Bar* b, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  bool v = Vertical(h);
  int pos = b->tracking && b->pressed == Part::Thumb ? b->si.nTrackPos : b->si.nPos;
  Geometry g = Measure(h, b, pos);
  bool enabled = IsWindowEnabled(h) && CanScroll(b->si);
  // Track: the classic checkered light grey.
  HBRUSH track = b->windowBar ? nullptr
                              : reinterpret_cast<HBRUSH>(SendMessageW(GetParent(h), WM_CTLCOLORSCROLLBAR,
                                                                      reinterpret_cast<WPARAM>(dc),
                                                                      reinterpret_cast<LPARAM>(h)));
  if (track) {
    FillRect(dc, &rc, track);
  } else {
    // The classic track: white and button face in a checkerboard.
    static const WORD kDither[8] = {0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555};
    HBITMAP bits = CreateBitmap(8, 8, 1, 1, kDither);
    HBRUSH dither = CreatePatternBrush(bits);
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    COLORREF oldBk = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    FillRect(dc, &rc, dither);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBk);
    DeleteObject(dither);
    DeleteObject(bits);
  }
  auto partRect = [&](int start, int size) {
    return v ? RECT{0, start, g.thickness, start + size} : RECT{start, 0, start + size, g.thickness};
  };
  if (b->pressed == Part::PageLow && b->over && g.thumbSize) {
    RECT r = partRect(g.arrow, g.thumbStart - g.arrow);
    FillRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW));
  }
  if (b->pressed == Part::PageHigh && b->over && g.thumbSize) {
    RECT r = partRect(g.thumbStart + g.thumbSize, g.length - g.arrow - g.thumbStart - g.thumbSize);
    FillRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW));
  }
  RECT low = partRect(0, g.arrow), high = partRect(g.length - g.arrow, g.arrow);
  ctl::DrawArrowButton(dc, low, v ? 0 : 2, b->pressed == Part::ArrowLow && b->over, !enabled);
  ctl::DrawArrowButton(dc, high, v ? 1 : 3, b->pressed == Part::ArrowHigh && b->over, !enabled);
  if (g.thumbSize) {
    RECT t = partRect(g.thumbStart, g.thumbSize);
    FillRect(dc, &t, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
  }
}

void Repaint(HWND h) {
  InvalidateRect(h, nullptr, FALSE);
  UpdateWindow(h);
}

UINT CodeOf(Part p) {
  switch (p) {
    case Part::ArrowLow: return SB_LINEUP;
    case Part::ArrowHigh: return SB_LINEDOWN;
    case Part::PageLow: return SB_PAGEUP;
    case Part::PageHigh: return SB_PAGEDOWN;
    default: return SB_ENDSCROLL;
  }
}

int PosFromPixel(HWND h, const Bar* b, int thumbStart) {
  Geometry g = Measure(h, b, b->si.nPos);
  int track = g.length - 2 * g.arrow - g.thumbSize;
  int span = MaxPos(b->si) - b->si.nMin;
  if (track <= 0) return b->si.nMin;
  int offset = std::clamp(thumbStart - g.arrow, 0, track);
  return b->si.nMin + static_cast<int>((static_cast<long long>(offset) * span + track / 2) / track);
}

LRESULT ScrollBarProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Bar* b = Bars().Get(h);
  if (msg == WM_NCCREATE) {
    b = Bars().Make(h);
    b->si.nMax = 100;
    int id = ctl::Id(h);
    b->windowBar = (id == kVertBarId || id == kHorzBarId) && (ctl::Style(h) & WS_CHILD) &&
                   GetWindowLongPtrW(h, GWLP_USERDATA) == 0x5C0B;
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    Bars().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (!b) return DefWindowProcW(h, msg, w, l);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return ctl::PaintControl(h, w, [&](HDC dc) { Paint(h, b, dc); });
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      Part part = HitPart(h, b, p);
      if (part == Part::None) return 0;
      b->pressed = part;
      b->over = true;
      b->tracking = true;
      SetCapture(h);
      if (part == Part::Thumb) {
        Geometry g = Measure(h, b, b->si.nPos);
        b->dragOffset = (Vertical(h) ? p.y : p.x) - g.thumbStart;
        b->si.nTrackPos = b->si.nPos;
      } else {
        Tell(h, b, CodeOf(part));
        SetTimer(h, kRepeatTimer, 400, nullptr);
      }
      Repaint(h);
      return 0;
    }
    case WM_TIMER:
      if (w == kRepeatTimer && b->tracking && b->pressed != Part::Thumb) {
        SetTimer(h, kRepeatTimer, 50, nullptr);
        if (b->over && (b->pressed == Part::ArrowLow || b->pressed == Part::ArrowHigh ||
                        HitPart(h, b, [&] {
                          POINT c;
                          GetCursorPos(&c);
                          ScreenToClient(h, &c);
                          return c;
                        }()) == b->pressed))
          Tell(h, b, CodeOf(b->pressed));
      }
      return 0;
    case WM_MOUSEMOVE: {
      if (!b->tracking) return 0;
      POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      if (b->pressed == Part::Thumb) {
        int pos = PosFromPixel(h, b, (Vertical(h) ? p.y : p.x) - b->dragOffset);
        if (pos != b->si.nTrackPos) {
          b->si.nTrackPos = pos;
          Tell(h, b, SB_THUMBTRACK, pos);
          Repaint(h);
        }
      } else {
        bool over = HitPart(h, b, p) == b->pressed;
        if (over != b->over) {
          b->over = over;
          Repaint(h);
        }
      }
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
      if (!b->tracking) return 0;
      if (msg == WM_CAPTURECHANGED && reinterpret_cast<HWND>(l) == h) return 0;
      b->tracking = false;
      KillTimer(h, kRepeatTimer);
      Part was = b->pressed;
      b->pressed = Part::None;
      if (msg == WM_LBUTTONUP && GetCapture() == h) ReleaseCapture();
      if (was == Part::Thumb) Tell(h, b, SB_THUMBPOSITION, b->si.nTrackPos);
      Tell(h, b, SB_ENDSCROLL);
      Repaint(h);
      return 0;
    }
    case WM_ENABLE:
      Repaint(h);
      return 0;
    case SBM_SETSCROLLINFO: {
      auto* si = reinterpret_cast<const SCROLLINFO*>(l);
      if (!si) return b->si.nPos;
      if (si->fMask & SIF_RANGE) b->si.nMin = si->nMin, b->si.nMax = std::max(si->nMin, si->nMax);
      if (si->fMask & SIF_PAGE) b->si.nPage = si->nPage;
      if (si->fMask & SIF_POS) b->si.nPos = si->nPos;
      if (si->fMask & SIF_DISABLENOSCROLL) b->si.fMask |= SIF_DISABLENOSCROLL;
      b->si.nPage = std::min<UINT>(b->si.nPage, static_cast<UINT>(b->si.nMax - b->si.nMin + 1));
      b->si.nPos = std::clamp(b->si.nPos, b->si.nMin, MaxPos(b->si));
      if (w) Repaint(h);
      return b->si.nPos;
    }
    case SBM_GETSCROLLINFO: {
      auto* si = reinterpret_cast<SCROLLINFO*>(l);
      if (!si) return FALSE;
      if (si->fMask & SIF_RANGE) si->nMin = b->si.nMin, si->nMax = b->si.nMax;
      if (si->fMask & SIF_PAGE) si->nPage = b->si.nPage;
      if (si->fMask & SIF_POS) si->nPos = b->si.nPos;
      if (si->fMask & SIF_TRACKPOS) si->nTrackPos = b->tracking ? b->si.nTrackPos : b->si.nPos;
      return TRUE;
    }
    case SBM_SETPOS: {
      int old = b->si.nPos;
      b->si.nPos = std::clamp(static_cast<int>(w), b->si.nMin, MaxPos(b->si));
      if (l) Repaint(h);
      return old;
    }
    case SBM_GETPOS:
      return b->si.nPos;
    case SBM_SETRANGE:
      b->si.nMin = static_cast<int>(w);
      b->si.nMax = std::max(static_cast<int>(w), static_cast<int>(l));
      b->si.nPos = std::clamp(b->si.nPos, b->si.nMin, MaxPos(b->si));
      Repaint(h);
      return 0;
    case SBM_GETRANGE:
      if (w) *reinterpret_cast<int*>(w) = b->si.nMin;
      if (l) *reinterpret_cast<int*>(l) = b->si.nMax;
      return 0;
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

// The scroll-bar child that shows a window's bar, made on first use and kept
// along the client edge.
HWND WindowBar(HWND hwnd, int bar, bool make) {
  int id = bar == SB_VERT ? kVertBarId : kHorzBarId;
  HWND found = nullptr;
  for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetDlgCtrlID(c) == id && GetWindowLongPtrW(c, GWLP_USERDATA) == 0x5C0B) found = c;
  if (found || !make) return found;
  RECT rc;
  GetClientRect(hwnd, &rc);
  int t = GetSystemMetrics(bar == SB_VERT ? SM_CXVSCROLL : SM_CYHSCROLL);
  // Mark the child before creation completes so the procedure knows it is a
  // window's bar: the user data is set right after creation, and the bar
  // only consults it through its NCCREATE copy, so create hidden then mark.
  HWND child = CreateWindowExW(0, WC_SCROLLBAR, u"", WS_CHILD | (bar == SB_VERT ? SBS_VERT : SBS_HORZ),
                               bar == SB_VERT ? rc.right - t : 0, bar == SB_VERT ? 0 : rc.bottom - t,
                               bar == SB_VERT ? t : rc.right, bar == SB_VERT ? rc.bottom : t, hwnd,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
  if (!child) return nullptr;
  SetWindowLongPtrW(child, GWLP_USERDATA, 0x5C0B);
  if (Bar* b = Bars().Get(child)) b->windowBar = true;
  return child;
}

void PlaceWindowBar(HWND hwnd, HWND child, int bar) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  int t = GetSystemMetrics(bar == SB_VERT ? SM_CXVSCROLL : SM_CYHSCROLL);
  if (bar == SB_VERT)
    MoveWindow(child, rc.right - t, 0, t, rc.bottom, TRUE);
  else
    MoveWindow(child, 0, rc.bottom - t, rc.right, t, TRUE);
}

}  // namespace

HWND GetWindowScrollBar(HWND hwnd, int bar) {
  if (bar != SB_VERT && bar != SB_HORZ) return nullptr;
  return WindowBar(hwnd, bar, false);
}

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO si, BOOL redraw) {
  if (!si) return 0;
  if (bar == SB_CTL)
    return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(si)));
  if (bar != SB_VERT && bar != SB_HORZ) return 0;
  HWND child = WindowBar(hwnd, bar, true);
  if (!child) return 0;
  int pos = static_cast<int>(SendMessageW(child, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(si)));
  Bar* b = Bars().Get(child);
  bool show = b && (CanScroll(b->si) || (si->fMask & SIF_DISABLENOSCROLL));
  if (show) PlaceWindowBar(hwnd, child, bar);
  ShowWindow(child, show ? SW_SHOWNA : SW_HIDE);
  return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO si) {
  if (!si) return FALSE;
  if (bar == SB_CTL) return static_cast<BOOL>(SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(si)));
  HWND child = GetWindowScrollBar(hwnd, bar);
  if (!child) return FALSE;
  return static_cast<BOOL>(SendMessageW(child, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(si)));
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  SCROLLINFO old;
  old.fMask = SIF_POS;
  GetScrollInfo(hwnd, bar, &old);
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return old.nPos;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  if (bar == SB_CTL) return ShowWindow(hwnd, show ? SW_SHOWNA : SW_HIDE), TRUE;
  for (int which : {SB_HORZ, SB_VERT}) {
    if (bar != which && bar != SB_BOTH) continue;
    HWND child = WindowBar(hwnd, which, show != FALSE);
    if (!child) continue;
    if (show) PlaceWindowBar(hwnd, child, which);
    ShowWindow(child, show ? SW_SHOWNA : SW_HIDE);
  }
  return TRUE;
}

namespace ctl {
void RegisterScrollBar() {
  RegisterControlClass(WC_SCROLLBAR, ScrollBarProc, CS_DBLCLKS | CS_PARENTDC);
}
}  // namespace ctl
