// BUTTON: push buttons (default and owner-drawn), check boxes, radio
// buttons and group boxes. A press captures the mouse and shows the pushed
// state while the mouse is over the button; releasing inside clicks,
// releasing outside does not. Space clicks the focused button.
#include "platform/controls/win_ctl_internal.h"

namespace {

struct Button {
  UINT check = BST_UNCHECKED;
  bool pushed = false;    // drawn pressed
  bool tracking = false;  // mouse pressed on it and captured
  bool spaceDown = false;
  bool focus = false;
};

ctl::StateMap<Button>& Buttons() {
  static ctl::StateMap<Button> map;
  return map;
}

DWORD Kind(HWND h) { return ctl::Style(h) & BS_TYPEMASK; }
bool IsCheck(DWORD k) { return k == BS_CHECKBOX || k == BS_AUTOCHECKBOX || k == BS_3STATE || k == BS_AUTO3STATE; }
bool IsRadio(DWORD k) { return k == BS_RADIOBUTTON || k == BS_AUTORADIOBUTTON; }

void Redraw(HWND h) {
  InvalidateRect(h, nullptr, TRUE);
  UpdateWindow(h);
}

void SetPushed(HWND h, Button* b, bool pushed) {
  if (b->pushed == pushed) return;
  b->pushed = pushed;
  Redraw(h);
}

// The auto radio buttons of h's group (WS_GROUP starts a group) other than h.
void UncheckGroup(HWND h) {
  HWND parent = GetParent(h);
  if (!parent) return;
  HWND first = h;
  while (!(ctl::Style(first) & WS_GROUP)) {
    HWND prev = GetWindow(first, GW_HWNDPREV);
    if (!prev) break;
    first = prev;
  }
  for (HWND c = first; c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (c != first && (ctl::Style(c) & WS_GROUP)) break;
    if (c == h) continue;
    WCHAR cls[16] = {};
    GetClassNameW(c, cls, 16);
    if (WString(cls) != u"Button") continue;
    if ((ctl::Style(c) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) SendMessageW(c, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

void Click(HWND h) {
  DWORD k = Kind(h);
  Button* b = Buttons().Get(h);
  if (!b) return;
  if (k == BS_AUTOCHECKBOX) {
    SendMessageW(h, BM_SETCHECK, b->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  } else if (k == BS_AUTO3STATE) {
    SendMessageW(h, BM_SETCHECK, (b->check + 1) % 3, 0);
  } else if (k == BS_AUTORADIOBUTTON) {
    UncheckGroup(h);
    SendMessageW(h, BM_SETCHECK, BST_CHECKED, 0);
  }
  ctl::Notify(h, BN_CLICKED);
}

void PaintButton(HWND h, HDC dc, Button* b) {
  RECT rc;
  GetClientRect(h, &rc);
  DWORD style = ctl::Style(h);
  DWORD k = style & BS_TYPEMASK;
  bool enabled = IsWindowEnabled(h);
  HGDIOBJ oldFont = SelectObject(dc, ctl::FontOf(h));
  if (k == BS_OWNERDRAW) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(ctl::Id(h));
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (b->pushed ? ODS_SELECTED : 0) | (b->focus ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
    dis.hwndItem = h;
    dis.hDC = dc;
    dis.rcItem = rc;
    HWND parent = GetParent(h);
    if (parent) SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    SelectObject(dc, oldFont);
    return;
  }
  HBRUSH bg = ctl::AskColors(h, dc, k == BS_PUSHBUTTON || k == BS_DEFPUSHBUTTON ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC);
  WString text = GetWindowTextString(h);
  SetBkMode(dc, TRANSPARENT);
  // Disabled texts are embossed.
  auto label = [&](RECT* r, UINT fmt) {
    if (enabled)
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), r, fmt);
    else
      DrawDisabledTextW(dc, text.c_str(), static_cast<int>(text.size()), r, fmt);
  };
  if (k == BS_PUSHBUTTON || k == BS_DEFPUSHBUTTON) {
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    RECT r = rc;
    if (k == BS_DEFPUSHBUTTON) {
      FrameRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW));
      r.left += 1, r.top += 1, r.right -= 1, r.bottom -= 1;
    }
    if (b->pushed) {
      FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
      RECT e = r;
      DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    }
    RECT t = r;
    if (b->pushed) t.left += 2, t.top += 2, t.right += 1, t.bottom += 1;
    label(&t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (b->focus) {
      RECT f = r;
      f.left += 3, f.top += 3, f.right -= 3, f.bottom -= 3;
      DrawFocusRect(dc, &f);
    }
  } else if (k == BS_GROUPBOX) {
    int th = ctl::TextHeight(dc);
    if (!ctl::IsNullBrush(bg)) FillRect(dc, &rc, bg);
    RECT frame = rc;
    frame.top += th / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!text.empty()) {
      int w = ctl::TextWidth(dc, text.c_str(), static_cast<int>(text.size()));
      RECT t{8, 0, 8 + w + 4, th};
      if (!ctl::IsNullBrush(bg)) FillRect(dc, &t, bg);
      RECT at{10, 0, 10 + w, th};
      label(&at, DT_SINGLELINE | DT_NOCLIP);
    }
  } else {
    if (!ctl::IsNullBrush(bg)) FillRect(dc, &rc, bg);
    int box = 13;
    int top = (rc.bottom - rc.top - box) / 2;
    bool left = !(style & BS_LEFTTEXT);
    RECT br{left ? 0 : rc.right - box, top, left ? box : rc.right, top + box};
    UINT state = IsRadio(k) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    // A radio button draws checked only for 1; a check box for 1 and 2, which
    // a three-state box draws as the grey, indeterminate mark.
    if (IsRadio(k) ? b->check == BST_CHECKED : b->check != BST_UNCHECKED) state |= DFCS_CHECKED;
    if ((k == BS_3STATE || k == BS_AUTO3STATE) && b->check == BST_INDETERMINATE) state |= DFCS_BUTTON3STATE;
    if (b->pushed) state |= DFCS_PUSHED;
    if (!enabled) state |= DFCS_INACTIVE;
    DrawFrameControl(dc, &br, DFC_BUTTON, state);
    RECT t{left ? box + 4 : 0, 0, left ? rc.right : rc.right - box - 4, rc.bottom};
    RECT calc = t;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &calc, DT_SINGLELINE | DT_VCENTER | DT_CALCRECT);
    label(&t, DT_SINGLELINE | DT_VCENTER);
    if (b->focus && !text.empty()) {
      int th = ctl::TextHeight(dc);
      RECT f{t.left - 1, (rc.bottom - th) / 2 - 1, t.left + (calc.right - calc.left) + 1, (rc.bottom + th) / 2 + 1};
      DrawFocusRect(dc, &f);
    }
  }
  SelectObject(dc, oldFont);
}

LRESULT ButtonProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Button* b = Buttons().Get(h);
  switch (msg) {
    case WM_NCCREATE:
      Buttons().Make(h);
      return DefWindowProcW(h, msg, w, l);
    case WM_NCDESTROY:
      Buttons().Drop(h);
      return DefWindowProcW(h, msg, w, l);
    default:
      break;
  }
  if (!b) return DefWindowProcW(h, msg, w, l);
  DWORD k = Kind(h);
  switch (msg) {
    case WM_GETDLGCODE:
      if (k == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (k == BS_PUSHBUTTON || k == BS_OWNERDRAW) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (IsRadio(k)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      if (k == BS_GROUPBOX) return DLGC_STATIC;
      return DLGC_BUTTON;
    case WM_NCHITTEST:
      return k == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case WM_ERASEBKGND:
      return 1;  // painting covers the button
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return ctl::PaintControl(h, w, [&](HDC dc) { PaintButton(h, dc, b); });
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (k == BS_GROUPBOX) return 0;
      SetFocus(h);
      SetCapture(h);
      b->tracking = true;
      SetPushed(h, b, true);
      return 0;
    case WM_MOUSEMOVE:
      if (b->tracking) {
        RECT rc;
        GetClientRect(h, &rc);
        POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        bool inside = p.x >= rc.left && p.x < rc.right && p.y >= rc.top && p.y < rc.bottom;
        SetPushed(h, b, inside);
      }
      return 0;
    case WM_LBUTTONUP:
      if (b->tracking) {
        bool click = b->pushed;
        b->tracking = false;
        SetPushed(h, b, false);
        if (GetCapture() == h) ReleaseCapture();
        if (click) Click(h);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (b->tracking && reinterpret_cast<HWND>(l) != h) {
        b->tracking = false;
        SetPushed(h, b, false);
      }
      return 0;
    case WM_KEYDOWN:
      if (w == VK_SPACE && k != BS_GROUPBOX) {
        if (!b->spaceDown) {
          b->spaceDown = true;
          SetPushed(h, b, true);
        }
        return 0;
      }
      break;
    case WM_KEYUP:
      if (w == VK_SPACE && b->spaceDown) {
        b->spaceDown = false;
        bool click = b->pushed;
        SetPushed(h, b, false);
        if (click) Click(h);
        return 0;
      }
      break;
    case WM_CHAR:
      if (w == u' ') return 0;
      break;
    case WM_SETFOCUS:
      b->focus = true;
      Redraw(h);
      if (ctl::Style(h) & BS_NOTIFY) ctl::Notify(h, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      b->focus = false;
      b->spaceDown = false;
      if (b->pushed && !b->tracking) b->pushed = false;
      Redraw(h);
      if (ctl::Style(h) & BS_NOTIFY) ctl::Notify(h, BN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      if (!w) {
        b->tracking = false;
        b->pushed = false;
        if (GetCapture() == h) ReleaseCapture();
      }
      Redraw(h);
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(h, msg, w, l);
      Redraw(h);
      return r;
    }
    case BM_GETCHECK:
      return IsCheck(k) || IsRadio(k) ? b->check : BST_UNCHECKED;
    case BM_SETCHECK: {
      UINT v = static_cast<UINT>(w);
      if (v > BST_INDETERMINATE) v = BST_CHECKED;
      if (v == BST_INDETERMINATE && k != BS_3STATE && k != BS_AUTO3STATE && !IsRadio(k)) v = BST_CHECKED;
      if ((IsCheck(k) || IsRadio(k)) && b->check != v) {
        b->check = v;
        Redraw(h);
      }
      return 0;
    }
    case BM_GETSTATE:
      return (IsCheck(k) || IsRadio(k) ? b->check : 0) | (b->pushed ? BST_PUSHED : 0) | (b->focus ? BST_FOCUS : 0);
    case BM_SETSTATE:
      SetPushed(h, b, w != 0);
      return 0;
    case BM_SETSTYLE: {
      DWORD s = (ctl::Style(h) & ~BS_TYPEMASK) | (static_cast<DWORD>(w) & BS_TYPEMASK);
      SetWindowLongPtrW(h, GWL_STYLE, s);
      if (LOWORD(static_cast<std::uintptr_t>(l))) Redraw(h);
      return 0;
    }
    case BM_CLICK:
      if (IsWindowEnabled(h)) Click(h);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(h, msg, w, l);
}

}  // namespace

namespace ctl {
void RegisterButton() {
  RegisterControlClass(WC_BUTTON, ButtonProc, CS_DBLCLKS | CS_PARENTDC);
}
}  // namespace ctl
