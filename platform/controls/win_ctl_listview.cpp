// SysListView32 in report mode: columns with widths (zero-width columns
// keep their text as storage), ordinary items with sub-item texts, check
// boxes, grid lines, full-row or label selection, single selection, a focus
// item, Up/Down/Home/End/Page navigation, owner data (LVS_OWNERDATA: the
// parent supplies texts on demand through LVN_GETDISPINFOW) and custom draw
// (NM_CUSTOMDRAW at the pre-paint, item and sub-item stages).
#include "platform/controls/win_ctl_internal.h"

#include <algorithm>

namespace {

struct Column {
  WString text;
  int width = 0;
  int fmt = LVCFMT_LEFT;
};

struct Row {
  std::vector<WString> texts;  // by sub-item
  UINT state = 0;
  LPARAM param = 0;
};

struct ListView {
  std::vector<Column> columns;
  std::vector<Row> rows;       // ordinary items
  int ownerCount = 0;          // LVS_OWNERDATA
  std::vector<UINT> ownerState;  // selection/focus of owner-data items
  DWORD exStyle = 0;
  int top = 0;
  int mark = -1;
  bool focus = false;
  COLORREF bk = CLR_INVALID, text = CLR_INVALID, textBk = CLR_INVALID;
};

ctl::StateMap<ListView>& Views() {
  static ctl::StateMap<ListView> map;
  return map;
}

bool OwnerData(HWND h) { return (ctl::Style(h) & LVS_OWNERDATA) != 0; }
int Count(HWND h, ListView* v) { return OwnerData(h) ? v->ownerCount : static_cast<int>(v->rows.size()); }

UINT& StateOf(HWND h, ListView* v, int i) {
  if (OwnerData(h)) return v->ownerState[static_cast<size_t>(i)];
  return v->rows[static_cast<size_t>(i)].state;
}

int RowHeight(HWND h) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  int th = ctl::TextHeight(dc);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return std::max(th + 4, 16);
}

int HeaderHeight(HWND h) { return (ctl::Style(h) & LVS_NOCOLUMNHEADER) ? 0 : RowHeight(h) + 4; }

int PerPage(HWND h) {
  RECT rc;
  GetClientRect(h, &rc);
  return std::max(1, static_cast<int>((rc.bottom - HeaderHeight(h)) / RowHeight(h)));
}

void Notify(HWND h, NMHDR* hdr, UINT code) {
  hdr->hwndFrom = h;
  hdr->idFrom = static_cast<UINT_PTR>(ctl::Id(h));
  hdr->code = code;
}

LRESULT SendNotify(HWND h, NMHDR* hdr) {
  HWND parent = GetParent(h);
  return parent ? SendMessageW(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr)) : 0;
}

// The text of an item's sub-item: stored, or asked of the parent.
WString TextOf(HWND h, ListView* v, int i, int sub) {
  if (!OwnerData(h)) {
    const Row& r = v->rows[static_cast<size_t>(i)];
    return static_cast<size_t>(sub) < r.texts.size() ? r.texts[static_cast<size_t>(sub)] : WString();
  }
  WCHAR buf[260] = {};
  NMLVDISPINFOW di;
  Notify(h, &di.hdr, LVN_GETDISPINFOW);
  di.item.mask = LVIF_TEXT;
  di.item.iItem = i;
  di.item.iSubItem = sub;
  di.item.pszText = buf;
  di.item.cchTextMax = 260;
  SendNotify(h, &di.hdr);
  if (!di.item.pszText) return {};
  WString s;
  for (int k = 0; k < 260 && di.item.pszText[k]; ++k) s += di.item.pszText[k];  // bounded by the buffer
  return s;
}

int TotalWidth(ListView* v) {
  int w = 0;
  for (auto& c : v->columns) w += c.width;
  return w;
}

RECT SubItemRect(HWND h, ListView* v, int i, int sub, int code) {
  int y = HeaderHeight(h) + (i - v->top) * RowHeight(h);
  int x = 0;
  for (int c = 0; c < sub && c < static_cast<int>(v->columns.size()); ++c) x += v->columns[static_cast<size_t>(c)].width;
  int w = sub < static_cast<int>(v->columns.size()) ? v->columns[static_cast<size_t>(sub)].width : 0;
  if (sub == 0 && code == LVIR_BOUNDS) w = TotalWidth(v);
  RECT r{x, y, x + w, y + RowHeight(h)};
  if (sub == 0 && code == LVIR_LABEL && (v->exStyle & LVS_EX_CHECKBOXES)) r.left += 18;
  return r;
}

void UpdateBar(HWND h, ListView* v) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = std::max(0, Count(h, v) - 1);
  si.nPage = static_cast<UINT>(PerPage(h));
  si.nPos = v->top;
  if (Count(h, v) > PerPage(h) || GetWindowScrollBar(h, SB_VERT)) SetScrollInfo(h, SB_VERT, &si, TRUE);
}

void EnsureVisible(HWND h, ListView* v, int i) {
  if (i < 0) return;
  int page = PerPage(h);
  int old = v->top;
  if (i < v->top) v->top = i;
  if (i >= v->top + page) v->top = i - page + 1;
  if (old != v->top) {
    UpdateBar(h, v);
    InvalidateRect(h, nullptr, TRUE);
  }
}

void ChangeState(HWND h, ListView* v, int i, UINT mask, UINT state) {
  UINT& s = StateOf(h, v, i);
  UINT old = s;
  s = (s & ~mask) | (state & mask);
  if (old == s) return;
  NMLISTVIEW nm;
  Notify(h, &nm.hdr, LVN_ITEMCHANGED);
  nm.iItem = i;
  nm.uNewState = s;
  nm.uOldState = old;
  nm.uChanged = LVIF_STATE;
  if (!OwnerData(h)) nm.lParam = v->rows[static_cast<size_t>(i)].param;
  SendNotify(h, &nm.hdr);
  InvalidateRect(h, nullptr, FALSE);
}

// Clicking or moving to an item: it alone is selected and has the focus.
void SelectOnly(HWND h, ListView* v, int i) {
  int n = Count(h, v);
  for (int k = 0; k < n; ++k)
    if (k != i && (StateOf(h, v, k) & (LVIS_SELECTED | LVIS_FOCUSED))) ChangeState(h, v, k, LVIS_SELECTED | LVIS_FOCUSED, 0);
  if (i >= 0 && i < n) {
    ChangeState(h, v, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    v->mark = i;
    EnsureVisible(h, v, i);
  }
}

int FocusItem(HWND h, ListView* v) {
  for (int k = 0; k < Count(h, v); ++k)
    if (StateOf(h, v, k) & LVIS_FOCUSED) return k;
  return -1;
}

int HitItem(HWND h, ListView* v, POINT p, int* sub, bool* onCheck) {
  int hh = HeaderHeight(h);
  if (p.y < hh) return -1;
  int i = v->top + (p.y - hh) / RowHeight(h);
  if (i >= Count(h, v)) return -1;
  int x = 0;
  *sub = -1;
  for (size_t c = 0; c < v->columns.size(); ++c) {
    if (p.x >= x && p.x < x + v->columns[c].width) *sub = static_cast<int>(c);
    x += v->columns[c].width;
  }
  *onCheck = (v->exStyle & LVS_EX_CHECKBOXES) && p.x >= 2 && p.x < 17;
  if (*sub < 0) return (v->exStyle & LVS_EX_FULLROWSELECT) && p.x < x ? i : -1;
  return i;
}

void PaintHeader(HWND h, ListView* v, HDC dc, const RECT& rc) {
  int hh = HeaderHeight(h);
  if (!hh) return;
  int x = 0;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  for (auto& c : v->columns) {
    if (c.width <= 0) continue;
    RECT r{x, 0, x + c.width, hh};
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT e = r;
    DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    RECT t{r.left + 6, r.top, r.right - 6, r.bottom};
    UINT fmt = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS |
               (c.fmt == LVCFMT_RIGHT ? DT_RIGHT : c.fmt == LVCFMT_CENTER ? DT_CENTER : DT_LEFT);
    DrawTextW(dc, c.text.c_str(), static_cast<int>(c.text.size()), &t, fmt);
    x += c.width;
  }
  if (x < rc.right) {
    RECT r{x, 0, rc.right, hh};
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT e = r;
    DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
  }
}

void PaintView(HWND h, ListView* v, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  HGDIOBJ oldFont = SelectObject(dc, ctl::FontOf(h));
  COLORREF bk = v->bk == CLR_INVALID ? GetSysColor(COLOR_WINDOW) : v->bk;
  HBRUSH bkBrush = CreateSolidBrush(bk);
  FillRect(dc, &rc, bkBrush);
  DeleteObject(bkBrush);

  NMLVCUSTOMDRAW cd;
  Notify(h, &cd.nmcd.hdr, NM_CUSTOMDRAW);
  cd.nmcd.dwDrawStage = CDDS_PREPAINT;
  cd.nmcd.hdc = dc;
  cd.nmcd.rc = rc;
  LRESULT pre = SendNotify(h, &cd.nmcd.hdr);
  if (pre & CDRF_SKIPDEFAULT) {
    SelectObject(dc, oldFont);
    return;
  }
  int n = Count(h, v), rh = RowHeight(h), hh = HeaderHeight(h);
  bool full = (v->exStyle & LVS_EX_FULLROWSELECT) != 0;
  bool showSel = v->focus || (ctl::Style(h) & LVS_SHOWSELALWAYS);
  for (int i = v->top; i < n; ++i) {
    int y = hh + (i - v->top) * rh;
    if (y >= rc.bottom) break;
    UINT state = StateOf(h, v, i);
    bool sel = (state & LVIS_SELECTED) && showSel;
    RECT rowRect = SubItemRect(h, v, i, 0, LVIR_BOUNDS);
    LRESULT itemAnswer = CDRF_DODEFAULT;
    COLORREF text = v->text == CLR_INVALID ? GetSysColor(COLOR_WINDOWTEXT) : v->text;
    COLORREF textBk = v->textBk == CLR_INVALID ? bk : v->textBk;
    if (pre & CDRF_NOTIFYITEMDRAW) {
      cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
      cd.nmcd.rc = rowRect;
      cd.nmcd.dwItemSpec = static_cast<std::uintptr_t>(i);
      cd.nmcd.uItemState = ((state & LVIS_SELECTED) ? CDIS_SELECTED : 0) | ((state & LVIS_FOCUSED) && v->focus ? CDIS_FOCUS : 0);
      cd.nmcd.lItemlParam = OwnerData(h) ? 0 : v->rows[static_cast<size_t>(i)].param;
      cd.iSubItem = 0;
      cd.clrText = text;
      cd.clrTextBk = textBk;
      itemAnswer = SendNotify(h, &cd.nmcd.hdr);
      if (itemAnswer & CDRF_SKIPDEFAULT) continue;
      text = cd.clrText;
      textBk = cd.clrTextBk;
    }
    for (size_t c = 0; c < v->columns.size(); ++c) {
      if (v->columns[c].width <= 0) continue;
      RECT cell = SubItemRect(h, v, i, static_cast<int>(c), LVIR_BOUNDS);
      if (c == 0) cell.right = cell.left + v->columns[0].width;
      COLORREF ct = text, cb = textBk;
      if (itemAnswer & CDRF_NOTIFYSUBITEMDRAW) {
        cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
        cd.nmcd.rc = cell;
        cd.iSubItem = static_cast<int>(c);
        cd.clrText = text;
        cd.clrTextBk = textBk;
        LRESULT a = SendNotify(h, &cd.nmcd.hdr);
        if (a & CDRF_SKIPDEFAULT) continue;
        ct = cd.clrText;
        cb = cd.clrTextBk;
      }
      RECT label = cell;
      if (c == 0 && (v->exStyle & LVS_EX_CHECKBOXES)) {
        RECT box{cell.left + 3, cell.top + (rh - 13) / 2, cell.left + 16, cell.top + (rh - 13) / 2 + 13};
        UINT checked = (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2) ? DFCS_CHECKED : 0;
        DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | checked);
        label.left += 18;
      }
      bool hl = sel && (full || c == 0);
      HBRUSH b = CreateSolidBrush(hl ? GetSysColor(COLOR_HIGHLIGHT) : cb);
      FillRect(dc, &label, b);
      DeleteObject(b);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, hl ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ct);
      WString s = TextOf(h, v, i, static_cast<int>(c));
      RECT t{label.left + 4, label.top, label.right - 4, label.bottom};
      int fmt = v->columns[c].fmt;
      DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &t,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX |
                    (fmt == LVCFMT_RIGHT ? DT_RIGHT : fmt == LVCFMT_CENTER ? DT_CENTER : DT_LEFT));
    }
    if ((state & LVIS_FOCUSED) && v->focus) {
      RECT f = full ? rowRect : SubItemRect(h, v, i, 0, LVIR_LABEL);
      if (!full && !v->columns.empty()) f.right = v->columns[0].width;
      DrawFocusRect(dc, &f);
    }
  }
  if (v->exStyle & LVS_EX_GRIDLINES) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DLIGHT) == 0 ? RGB(227, 227, 227) : GetSysColor(COLOR_3DLIGHT));
    HGDIOBJ op = SelectObject(dc, pen);
    int right = std::min<int>(TotalWidth(v), rc.right);
    for (int y = hh + rh - 1; y < rc.bottom; y += rh) {
      MoveToEx(dc, 0, y, nullptr);
      LineTo(dc, right, y);
    }
    int x = 0;
    for (auto& c : v->columns) {
      x += c.width;
      if (c.width <= 0) continue;
      MoveToEx(dc, x - 1, hh, nullptr);
      LineTo(dc, x - 1, rc.bottom);
    }
    SelectObject(dc, op);
    DeleteObject(pen);
  }
  PaintHeader(h, v, dc, rc);
  if (pre & CDRF_NOTIFYPOSTPAINT) {
    cd.nmcd.dwDrawStage = CDDS_POSTPAINT;
    cd.nmcd.rc = rc;
    SendNotify(h, &cd.nmcd.hdr);
  }
  SelectObject(dc, oldFont);
}

void SendClick(HWND h, UINT code, int item, int sub, POINT p) {
  NMITEMACTIVATE nm;
  Notify(h, &nm.hdr, code);
  nm.iItem = item;
  nm.iSubItem = sub;
  nm.ptAction = p;
  SendNotify(h, &nm.hdr);
}

LRESULT ListViewProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  ListView* v = Views().Get(h);
  if (msg == WM_NCCREATE) {
    Views().Make(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    Views().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (!v) return DefWindowProcW(h, msg, w, l);
  int n = Count(h, v);
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return ctl::PaintControl(h, w, [&](HDC dc) { PaintView(h, v, dc); });
    case WM_SIZE:
      UpdateBar(h, v);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      v->focus = msg == WM_SETFOCUS;
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
      SetFocus(h);
      POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      int sub = 0;
      bool onCheck = false;
      int i = HitItem(h, v, p, &sub, &onCheck);
      if (onCheck && i >= 0 && msg == WM_LBUTTONDOWN) {
        UINT s = StateOf(h, v, i) & LVIS_STATEIMAGEMASK;
        ChangeState(h, v, i, LVIS_STATEIMAGEMASK, s == INDEXTOSTATEIMAGEMASK(2) ? INDEXTOSTATEIMAGEMASK(1) : INDEXTOSTATEIMAGEMASK(2));
      }
      if (i >= 0) SelectOnly(h, v, i);
      else if (!(ctl::Style(h) & LVS_SHOWSELALWAYS) || true) {
        for (int k = 0; k < n; ++k)
          if (StateOf(h, v, k) & LVIS_SELECTED) ChangeState(h, v, k, LVIS_SELECTED, 0);
      }
      UpdateWindow(h);
      UINT code = msg == WM_LBUTTONDOWN ? NM_CLICK : msg == WM_LBUTTONDBLCLK ? NM_DBLCLK : static_cast<UINT>(-5);
      SendClick(h, code, i, sub, p);
      return 0;
    }
    case WM_KEYDOWN: {
      int f = FocusItem(h, v);
      int to = f;
      switch (w) {
        case VK_UP: to = f < 0 ? 0 : std::max(0, f - 1); break;
        case VK_DOWN: to = f < 0 ? 0 : std::min(n - 1, f + 1); break;
        case VK_HOME: to = 0; break;
        case VK_END: to = n - 1; break;
        case VK_PRIOR: to = std::max(0, f - PerPage(h) + 1); break;
        case VK_NEXT: to = std::min(n - 1, f + PerPage(h) - 1); break;
        case VK_SPACE:
          if (f >= 0 && (v->exStyle & LVS_EX_CHECKBOXES)) {
            UINT s = StateOf(h, v, f) & LVIS_STATEIMAGEMASK;
            ChangeState(h, v, f, LVIS_STATEIMAGEMASK,
                        s == INDEXTOSTATEIMAGEMASK(2) ? INDEXTOSTATEIMAGEMASK(1) : INDEXTOSTATEIMAGEMASK(2));
          }
          return 0;
        default: return 0;
      }
      if (n > 0 && to >= 0) SelectOnly(h, v, to);
      return 0;
    }
    case WM_VSCROLL: {
      int top = ctl::ScrolledTop(w, v->top, PerPage(h), n);
      if (top < 0) return 0;
      v->top = top;
      UpdateBar(h, v);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      int lines = -GET_WHEEL_DELTA_WPARAM(w) / WHEEL_DELTA * 3;
      v->top = std::clamp(v->top + lines, 0, std::max(0, n - PerPage(h)));
      UpdateBar(h, v);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD old = v->exStyle;
      DWORD mask = w ? static_cast<DWORD>(w) : 0xFFFFFFFFu;
      v->exStyle = (v->exStyle & ~mask) | (static_cast<DWORD>(l) & mask);
      if ((v->exStyle & LVS_EX_CHECKBOXES) && !(old & LVS_EX_CHECKBOXES) && !OwnerData(h))
        for (auto& r : v->rows)
          if (!(r.state & LVIS_STATEIMAGEMASK)) r.state |= INDEXTOSTATEIMAGEMASK(1);
      InvalidateRect(h, nullptr, TRUE);
      return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return v->exStyle;
    case LVM_INSERTCOLUMNW: {
      auto* c = reinterpret_cast<const LVCOLUMNW*>(l);
      if (!c) return -1;
      int at = std::clamp(static_cast<int>(w), 0, static_cast<int>(v->columns.size()));
      Column col;
      if (c->mask & LVCF_WIDTH) col.width = std::max(0, c->cx);
      if (c->mask & LVCF_FMT) col.fmt = c->fmt & 3;
      if ((c->mask & LVCF_TEXT) && c->pszText) col.text = c->pszText;
      v->columns.insert(v->columns.begin() + at, col);
      for (auto& r : v->rows)
        if (static_cast<size_t>(at) <= r.texts.size()) r.texts.insert(r.texts.begin() + at, WString());
      InvalidateRect(h, nullptr, TRUE);
      return at;
    }
    case LVM_DELETECOLUMN: {
      size_t c = static_cast<size_t>(w);
      if (c >= v->columns.size()) return FALSE;
      v->columns.erase(v->columns.begin() + static_cast<std::ptrdiff_t>(c));
      for (auto& r : v->rows)
        if (c < r.texts.size()) r.texts.erase(r.texts.begin() + static_cast<std::ptrdiff_t>(c));
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH:
      return w < v->columns.size() ? v->columns[w].width : 0;
    case LVM_SETCOLUMNWIDTH:
      if (w >= v->columns.size()) return FALSE;
      v->columns[w].width = std::max(0, static_cast<int>(static_cast<short>(LOWORD(static_cast<std::uintptr_t>(l)))));
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    case LVM_SETITEMCOUNT:
      if (OwnerData(h)) {
        v->ownerCount = std::max(0, static_cast<int>(w));
        v->ownerState.assign(static_cast<size_t>(v->ownerCount), 0);
        v->top = std::clamp(v->top, 0, std::max(0, v->ownerCount - 1));
        v->mark = -1;
      }
      UpdateBar(h, v);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    case LVM_GETITEMCOUNT:
      return n;
    case LVM_INSERTITEMW: {
      auto* it = reinterpret_cast<const LVITEMW*>(l);
      if (!it || OwnerData(h)) return -1;
      int at = std::clamp(it->iItem, 0, n);
      Row r;
      r.texts.resize(std::max<size_t>(v->columns.size(), 1));
      if ((it->mask & LVIF_TEXT) && it->pszText) r.texts[0] = it->pszText;
      if (it->mask & LVIF_PARAM) r.param = it->lParam;
      if (it->mask & LVIF_STATE) r.state = it->state & it->stateMask;
      if ((v->exStyle & LVS_EX_CHECKBOXES) && !(r.state & LVIS_STATEIMAGEMASK)) r.state |= INDEXTOSTATEIMAGEMASK(1);
      v->rows.insert(v->rows.begin() + at, r);
      if (v->mark >= at) ++v->mark;
      UpdateBar(h, v);
      InvalidateRect(h, nullptr, TRUE);
      return at;
    }
    case LVM_SETITEMW:
    case LVM_SETITEMTEXTW: {
      auto* it = reinterpret_cast<const LVITEMW*>(l);
      int i = msg == LVM_SETITEMW ? (it ? it->iItem : -1) : static_cast<int>(w);
      if (!it || i < 0 || i >= n || OwnerData(h)) return FALSE;
      Row& r = v->rows[static_cast<size_t>(i)];
      if ((msg == LVM_SETITEMTEXTW || (it->mask & LVIF_TEXT)) && it->iSubItem >= 0 && it->iSubItem < 64) {
        if (r.texts.size() <= static_cast<size_t>(it->iSubItem)) r.texts.resize(static_cast<size_t>(it->iSubItem) + 1);
        r.texts[static_cast<size_t>(it->iSubItem)] = it->pszText ? WString(it->pszText) : WString();
      }
      if (msg == LVM_SETITEMW && (it->mask & LVIF_PARAM)) r.param = it->lParam;
      if (msg == LVM_SETITEMW && (it->mask & LVIF_STATE)) ChangeState(h, v, i, it->stateMask, it->state);
      InvalidateRect(h, nullptr, FALSE);
      return TRUE;
    }
    case LVM_GETITEMW:
    case LVM_GETITEMTEXTW: {
      auto* it = reinterpret_cast<LVITEMW*>(l);
      int i = msg == LVM_GETITEMW ? (it ? it->iItem : -1) : static_cast<int>(w);
      if (!it || i < 0 || i >= n) return 0;
      if (msg == LVM_GETITEMTEXTW || (it->mask & LVIF_TEXT)) {
        WString s = TextOf(h, v, i, it->iSubItem);
        if (!it->pszText || it->cchTextMax <= 0) return 0;
        int k = std::min<int>(static_cast<int>(s.size()), it->cchTextMax - 1);
        std::copy(s.begin(), s.begin() + k, it->pszText);
        it->pszText[k] = 0;
        if (msg == LVM_GETITEMTEXTW) return k;
      }
      if (it->mask & LVIF_STATE) it->state = StateOf(h, v, i) & it->stateMask;
      if ((it->mask & LVIF_PARAM) && !OwnerData(h)) it->lParam = v->rows[static_cast<size_t>(i)].param;
      return TRUE;
    }
    case LVM_DELETEITEM: {
      int i = static_cast<int>(w);
      if (i < 0 || i >= n || OwnerData(h)) return FALSE;
      v->rows.erase(v->rows.begin() + i);
      if (v->mark == i) v->mark = -1;
      else if (v->mark > i) --v->mark;
      v->top = std::clamp(v->top, 0, std::max(0, n - 1 - PerPage(h)));
      UpdateBar(h, v);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case LVM_DELETEALLITEMS:
      v->rows.clear();
      v->ownerCount = 0;
      v->ownerState.clear();
      v->top = 0;
      v->mark = -1;
      UpdateBar(h, v);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    case LVM_GETNEXTITEM: {
      int start = static_cast<int>(w);
      UINT flags = LOWORD(static_cast<std::uintptr_t>(l));
      UINT want = ((flags & LVNI_SELECTED) ? LVIS_SELECTED : 0) | ((flags & LVNI_FOCUSED) ? LVIS_FOCUSED : 0);
      for (int k = std::max(0, start + 1); k < n; ++k)
        if ((StateOf(h, v, k) & want) == want) return k;
      return -1;
    }
    case LVM_SETITEMSTATE: {
      auto* it = reinterpret_cast<const LVITEMW*>(l);
      if (!it) return FALSE;
      int i = static_cast<int>(w);
      bool single = (ctl::Style(h) & LVS_SINGLESEL) != 0;
      if (i == -1) {
        for (int k = 0; k < n; ++k) ChangeState(h, v, k, it->stateMask, it->state);
        return TRUE;
      }
      if (i < 0 || i >= n) return FALSE;
      if ((it->stateMask & it->state & LVIS_SELECTED) && single)
        for (int k = 0; k < n; ++k)
          if (k != i) ChangeState(h, v, k, LVIS_SELECTED, 0);
      if (it->stateMask & it->state & LVIS_FOCUSED)
        for (int k = 0; k < n; ++k)
          if (k != i) ChangeState(h, v, k, LVIS_FOCUSED, 0);
      ChangeState(h, v, i, it->stateMask, it->state);
      return TRUE;
    }
    case LVM_GETITEMSTATE:
      return static_cast<int>(w) >= 0 && static_cast<int>(w) < n ? StateOf(h, v, static_cast<int>(w)) & static_cast<UINT>(l) : 0;
    case LVM_GETSELECTEDCOUNT: {
      int k = 0;
      for (int i = 0; i < n; ++i) k += (StateOf(h, v, i) & LVIS_SELECTED) != 0;
      return k;
    }
    case LVM_GETSELECTIONMARK:
      return v->mark;
    case LVM_SETSELECTIONMARK: {
      int old = v->mark;
      v->mark = static_cast<int>(l);
      return old;
    }
    case LVM_ENSUREVISIBLE:
      EnsureVisible(h, v, static_cast<int>(w));
      return TRUE;
    case LVM_GETTOPINDEX:
      return v->top;
    case LVM_GETCOUNTPERPAGE:
      return PerPage(h);
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(l);
      if (!r || static_cast<int>(w) < 0 || static_cast<int>(w) >= n) return FALSE;
      int sub = msg == LVM_GETSUBITEMRECT ? r->top : 0;
      int code = r->left;
      if (sub < 0 || sub >= static_cast<int>(std::max<size_t>(v->columns.size(), 1))) return FALSE;
      *r = SubItemRect(h, v, static_cast<int>(w), sub, code);
      if (msg == LVM_GETSUBITEMRECT && sub > 0) return TRUE;
      if (code == LVIR_LABEL && !v->columns.empty()) r->right = v->columns[0].width;
      return TRUE;
    }
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: {
      auto* ht = reinterpret_cast<LVHITTESTINFO*>(l);
      if (!ht) return -1;
      bool onCheck = false;
      int sub = 0;
      ht->iItem = HitItem(h, v, ht->pt, &sub, &onCheck);
      ht->iSubItem = std::max(0, sub);
      ht->flags = ht->iItem < 0 ? LVHT_NOWHERE : onCheck ? LVHT_ONITEMSTATEICON : LVHT_ONITEMLABEL;
      return ht->iItem;
    }
    case LVM_SETBKCOLOR:
      v->bk = static_cast<COLORREF>(l);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    case LVM_SETTEXTCOLOR:
      v->text = static_cast<COLORREF>(l);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    case LVM_SETTEXTBKCOLOR:
      v->textBk = static_cast<COLORREF>(l);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterListView() {
  WNDCLASSW wc;
  wc.style = CS_DBLCLKS | CS_PARENTDC;
  wc.lpfnWndProc = ListViewProc;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = WC_LISTVIEW;
  RegisterClassW(&wc);
}
}  // namespace ctl
