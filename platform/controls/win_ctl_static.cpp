// STATIC: text (left, centred, right; word wrap unless SS_LEFTNOWORDWRAP or
// SS_SIMPLE), rectangles, frames and etched lines. Colours come from
// WM_CTLCOLORSTATIC; a null brush leaves the parent's picture under the
// text. Transparent to the mouse unless SS_NOTIFY.
#include "platform/controls/win_ctl_internal.h"

namespace {

void PaintStatic(HWND h, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  DWORD style = ctl::Style(h);
  DWORD type = style & SS_TYPEMASK;
  switch (type) {
    case SS_BLACKRECT:
      FillRect(dc, &rc, GetSysColorBrush(COLOR_3DDKSHADOW));
      return;
    case SS_GRAYRECT:
      FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNSHADOW));
      return;
    case SS_WHITERECT:
      FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
      return;
    case SS_BLACKFRAME:
      FrameRect(dc, &rc, GetSysColorBrush(COLOR_3DDKSHADOW));
      return;
    case SS_ETCHEDHORZ:
      DrawEdge(dc, &rc, EDGE_ETCHED, BF_TOP);
      return;
    case SS_ETCHEDVERT:
      DrawEdge(dc, &rc, EDGE_ETCHED, BF_LEFT);
      return;
    case SS_ETCHEDFRAME:
      DrawEdge(dc, &rc, EDGE_ETCHED, BF_RECT);
      return;
    case SS_OWNERDRAW: {
      DRAWITEMSTRUCT dis;
      dis.CtlType = ODT_STATIC;
      dis.CtlID = static_cast<UINT>(ctl::Id(h));
      dis.itemAction = ODA_DRAWENTIRE;
      dis.hwndItem = h;
      dis.hDC = dc;
      dis.rcItem = rc;
      if (GetParent(h)) SendMessageW(GetParent(h), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
      return;
    }
    default:
      break;
  }
  HGDIOBJ oldFont = SelectObject(dc, ctl::FontOf(h));
  HBRUSH bg = ctl::AskColors(h, dc, WM_CTLCOLORSTATIC);
  if (!ctl::IsNullBrush(bg)) FillRect(dc, &rc, bg);
  bool enabled = IsWindowEnabled(h);
  UINT fmt = DT_NOCLIP;
  if (type == SS_CENTER) fmt |= DT_CENTER | DT_WORDBREAK;
  else if (type == SS_RIGHT) fmt |= DT_RIGHT | DT_WORDBREAK;
  else if (type == SS_LEFT) fmt |= DT_WORDBREAK;
  else fmt |= DT_SINGLELINE;
  if (style & SS_CENTERIMAGE) fmt = (fmt & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  if (style & SS_NOPREFIX) fmt |= DT_NOPREFIX;
  if (style & SS_ENDELLIPSIS) fmt |= DT_END_ELLIPSIS;
  fmt &= ~DT_NOCLIP;
  SetBkMode(dc, TRANSPARENT);
  WString text = GetWindowTextString(h);
  if (enabled)
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, fmt);
  else
    DrawDisabledTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, fmt);  // embossed
  SelectObject(dc, oldFont);
}

LRESULT StaticProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_NCHITTEST:
      return (ctl::Style(h) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return ctl::PaintControl(h, w, [&](HDC dc) { PaintStatic(h, dc); });
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(h, msg, w, l);
      InvalidateRect(h, nullptr, TRUE);
      return r;
    }
    case WM_ENABLE:
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
      if (ctl::Style(h) & SS_NOTIFY) ctl::Notify(h, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (ctl::Style(h) & SS_NOTIFY) ctl::Notify(h, STN_DBLCLK);
      return 0;
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterStatic() {
  RegisterControlClass(WC_STATIC, StaticProc, CS_DBLCLKS | CS_PARENTDC);
}
}  // namespace ctl
