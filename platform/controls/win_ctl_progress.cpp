// msctls_progress32 and msctls_updown32. The progress bar fills the
// position's share of its range in the highlight colour (classic blocks);
// a subclass may paint over it. The up-down control without a buddy keeps
// its default range 100..0, so the upper arrow asks for a delta of -1 and
// the lower one +1 (UDN_DELTAPOS, then WM_VSCROLL with SB_THUMBPOSITION).
#include "platform/controls/win_ctl_internal.h"

#include <algorithm>

namespace {

struct Progress {
  int lo = 0, hi = 100, pos = 0, step = 10;
  COLORREF bar = CLR_INVALID, back = CLR_INVALID;
};
ctl::StateMap<Progress>& Progresses() {
  static ctl::StateMap<Progress> map;
  return map;
}

void PaintProgress(HWND h, Progress* p, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  HBRUSH back = CreateSolidBrush(p->back == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : p->back);
  FillRect(dc, &rc, back);
  DeleteObject(back);
  RECT in = rc;
  DrawEdge(dc, &in, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  int span = std::max(1, p->hi - p->lo);
  int width = in.right - in.left;
  int fill = static_cast<int>(static_cast<long long>(width) * (p->pos - p->lo) / span);
  HBRUSH bar = CreateSolidBrush(p->bar == CLR_INVALID ? GetSysColor(COLOR_HIGHLIGHT) : p->bar);
  int block = std::max(2, (in.bottom - in.top) * 2 / 3);
  for (int x = 0; x < fill; x += block + 2) {
    RECT b{in.left + 1 + x, in.top + 1, std::min<int>(in.left + 1 + x + block, in.left + fill), in.bottom - 1};
    if (b.right > b.left) FillRect(dc, &b, bar);
  }
  DeleteObject(bar);
}

LRESULT ProgressProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Progress* p = Progresses().Get(h);
  if (msg == WM_NCCREATE) {
    Progresses().Make(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    Progresses().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (!p) return DefWindowProcW(h, msg, w, l);
  auto set = [&](int pos) {
    int old = p->pos;
    p->pos = std::clamp(pos, p->lo, p->hi);
    if (old != p->pos) InvalidateRect(h, nullptr, FALSE);
    return old;
  };
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return ctl::PaintControl(h, w, [&](HDC dc) { PaintProgress(h, p, dc); });
    case PBM_SETRANGE: {
      LRESULT old = MAKELONG(p->lo, p->hi);
      p->lo = LOWORD(static_cast<std::uintptr_t>(l));
      p->hi = HIWORD(static_cast<std::uintptr_t>(l));
      set(p->pos);
      InvalidateRect(h, nullptr, FALSE);
      return old;
    }
    case PBM_SETRANGE32: {
      LRESULT old = MAKELONG(p->lo, p->hi);
      p->lo = static_cast<int>(w);
      p->hi = static_cast<int>(l);
      set(p->pos);
      InvalidateRect(h, nullptr, FALSE);
      return old;
    }
    case PBM_GETRANGE:
      return w ? p->lo : p->hi;
    case PBM_SETPOS: return set(static_cast<int>(w));
    case PBM_DELTAPOS: return set(p->pos + static_cast<int>(w));
    case PBM_GETPOS: return p->pos;
    case PBM_SETSTEP: {
      int old = p->step;
      p->step = static_cast<int>(w);
      return old;
    }
    case PBM_STEPIT: {
      int next = p->pos + p->step;
      if (next > p->hi) next = p->lo + (next - p->hi);  // wraps as the platform does
      return set(next);
    }
    case PBM_SETBARCOLOR: {
      COLORREF old = p->bar;
      p->bar = static_cast<COLORREF>(l);
      InvalidateRect(h, nullptr, FALSE);
      return old;
    }
    case PBM_SETBKCOLOR: {
      COLORREF old = p->back;
      p->back = static_cast<COLORREF>(l);
      InvalidateRect(h, nullptr, FALSE);
      return old;
    }
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

// ---------------------------------------------------------------------------

struct UpDown {
  int lo = 100, hi = 0, pos = 0;  // default range: 100 at the bottom, 0 at the top
  int pressed = 0;                // -1 upper arrow, +1 lower arrow
};
ctl::StateMap<UpDown>& UpDowns() {
  static ctl::StateMap<UpDown> map;
  return map;
}

bool Horizontal(HWND h) { return (ctl::Style(h) & UDS_HORZ) != 0; }

void PaintUpDown(HWND h, UpDown* u, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  bool horz = Horizontal(h);
  RECT a = rc, b = rc;
  if (horz) a.right = b.left = (rc.left + rc.right) / 2;
  else a.bottom = b.top = (rc.top + rc.bottom) / 2;
  bool dis = !IsWindowEnabled(h);
  ctl::DrawArrowButton(dc, a, horz ? 2 : 0, u->pressed == -1, dis);
  ctl::DrawArrowButton(dc, b, horz ? 3 : 1, u->pressed == 1, dis);
}

// The delta of a press on the arrow: the upper (left) arrow moves towards
// the range's upper value, whichever way round the range is.
void Step(HWND h, UpDown* u, int arrow) {
  int towardsHigh = arrow < 0 ? 1 : -1;
  int dir = (u->hi >= u->lo ? 1 : -1) * towardsHigh;
  NMUPDOWN nm;
  nm.hdr.hwndFrom = h;
  nm.hdr.idFrom = static_cast<UINT_PTR>(ctl::Id(h));
  nm.hdr.code = UDN_DELTAPOS;
  nm.iPos = u->pos;
  nm.iDelta = dir;
  HWND parent = GetParent(h);
  if (parent && SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm))) return;  // refused
  int lo = std::min(u->lo, u->hi), hi = std::max(u->lo, u->hi);
  int next = u->pos + nm.iDelta;
  if (next < lo || next > hi) {
    if (!(ctl::Style(h) & UDS_WRAP)) next = std::clamp(next, lo, hi);
    else next = next < lo ? hi : lo;
  }
  u->pos = next;
  if (parent)
    SendMessageW(parent, Horizontal(h) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, u->pos),
                 reinterpret_cast<LPARAM>(h));
}

LRESULT UpDownProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  UpDown* u = UpDowns().Get(h);
  if (msg == WM_NCCREATE) {
    UpDowns().Make(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    UpDowns().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (!u) return DefWindowProcW(h, msg, w, l);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      PaintUpDown(h, u, dc);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      RECT rc;
      GetClientRect(h, &rc);
      bool first = Horizontal(h) ? GET_X_LPARAM(l) < (rc.left + rc.right) / 2 : GET_Y_LPARAM(l) < (rc.top + rc.bottom) / 2;
      u->pressed = first ? -1 : 1;
      SetCapture(h);
      InvalidateRect(h, nullptr, FALSE);
      UpdateWindow(h);
      Step(h, u, u->pressed);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (u->pressed) {
        u->pressed = 0;
        if (msg == WM_LBUTTONUP && GetCapture() == h) ReleaseCapture();
        InvalidateRect(h, nullptr, FALSE);
        if (GetParent(h))
          SendMessageW(GetParent(h), Horizontal(h) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, u->pos),
                       reinterpret_cast<LPARAM>(h));
      }
      return 0;
    case UDM_SETRANGE:
      u->hi = static_cast<short>(LOWORD(static_cast<std::uintptr_t>(l)));
      u->lo = static_cast<short>(HIWORD(static_cast<std::uintptr_t>(l)));
      return 0;
    case UDM_GETRANGE:
      return MAKELONG(u->hi, u->lo);
    case UDM_SETRANGE32:
      u->lo = static_cast<int>(w);
      u->hi = static_cast<int>(l);
      return 0;
    case UDM_GETRANGE32:
      if (w) *reinterpret_cast<int*>(w) = u->lo;
      if (l) *reinterpret_cast<int*>(l) = u->hi;
      return 0;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
      int old = u->pos;
      u->pos = std::clamp(static_cast<int>(msg == UDM_SETPOS ? static_cast<short>(LOWORD(static_cast<std::uintptr_t>(l))) : l),
                          std::min(u->lo, u->hi), std::max(u->lo, u->hi));
      return old;
    }
    case UDM_GETPOS:
    case UDM_GETPOS32:
      return u->pos;
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterProgressUpDown() {
  RegisterControlClass(PROGRESS_CLASS, ProgressProc, CS_PARENTDC);
  RegisterControlClass(UPDOWN_CLASS, UpDownProc, CS_DBLCLKS | CS_PARENTDC);
}
}  // namespace ctl
