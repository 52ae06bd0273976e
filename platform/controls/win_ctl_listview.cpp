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
  int trackColumn = -1;    // the column whose divider is dragged
  int trackLeft = 0;       // its left edge
  int pressedColumn = -1;  // the column pressed (a click until released)
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
  // Only the rows and cells the update region touches are asked for and
  // drawn (an owner-data parent answers LVN_GETDISPINFOW for each).
  RECT clip = rc;
  if (GetClipBox(dc, &clip) == ERROR) clip = rc;
  for (int i = v->top; i < n; ++i) {
    int y = hh + (i - v->top) * rh;
    if (y >= rc.bottom || y >= clip.bottom) break;
    if (y + rh <= clip.top) continue;
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
      if (cell.right <= clip.left || cell.left >= clip.right) continue;
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

// ---------------------------------------------------------------------------
// The column header.

LRESULT SendHeader(HWND h, ListView* v, UINT code, int column) {
  NMHEADERW nm;
  HDITEMW item;
  Notify(h, &nm.hdr, code);
  nm.iItem = column;
  if (column >= 0 && column < static_cast<int>(v->columns.size())) {
    item.mask = HDI_WIDTH;
    item.cxy = v->columns[static_cast<size_t>(column)].width;
    nm.pitem = &item;
  }
  return SendNotify(h, &nm.hdr);
}

int ColumnLeft(ListView* v, int column) {
  int x = 0;
  for (int c = 0; c < column; ++c) x += v->columns[static_cast<size_t>(c)].width;
  return x;
}

// The column whose right edge (within kDividerSlop pixels) is at x, the
// last one when several zero-width columns share it; -1 for none.
constexpr int kDividerSlop = 2;
int DividerAt(ListView* v, int x) {
  int found = -1, right = 0;
  for (size_t c = 0; c < v->columns.size(); ++c) {
    right += v->columns[c].width;
    if (x >= right - kDividerSlop && x <= right + kDividerSlop) found = static_cast<int>(c);
  }
  return found;
}

int ColumnAt(ListView* v, int x) {
  int left = 0;
  for (size_t c = 0; c < v->columns.size(); ++c) {
    int w = v->columns[c].width;
    if (x >= left && x < left + w) return static_cast<int>(c);
    left += w;
  }
  return -1;
}

void HeaderDown(HWND h, ListView* v, POINT p, bool dbl) {
  int divider = DividerAt(v, p.x);
  if (divider >= 0) {
    if (dbl) {
      SendHeader(h, v, HDN_DIVIDERDBLCLICKW, divider);
      return;
    }
    if (SendHeader(h, v, HDN_BEGINTRACKW, divider)) return;  // refused
    v->trackColumn = divider;
    v->trackLeft = ColumnLeft(v, divider);
    SetCapture(h);
    return;
  }
  v->pressedColumn = ColumnAt(v, p.x);
  if (v->pressedColumn >= 0) SetCapture(h);
}

void HeaderTrack(HWND h, ListView* v, POINT p) {
  Column& c = v->columns[static_cast<size_t>(v->trackColumn)];
  int width = std::max(0, static_cast<int>(p.x) - v->trackLeft);
  if (width == c.width) return;
  c.width = width;
  SendHeader(h, v, HDN_TRACKW, v->trackColumn);
  InvalidateRect(h, nullptr, TRUE);
}

void HeaderUp(HWND h, ListView* v, POINT p) {
  int tracked = v->trackColumn, pressed = v->pressedColumn;
  v->trackColumn = v->pressedColumn = -1;
  if (GetCapture() == h) ReleaseCapture();
  if (tracked >= 0 && tracked < static_cast<int>(v->columns.size())) {
    SendHeader(h, v, HDN_ENDTRACKW, tracked);
    SendHeader(h, v, HDN_ITEMCHANGEDW, tracked);
    return;
  }
  if (pressed < 0 || p.y < 0 || p.y >= HeaderHeight(h) || ColumnAt(v, p.x) != pressed) return;
  SendHeader(h, v, HDN_ITEMCLICKW, pressed);
  NMLISTVIEW nm;
  Notify(h, &nm.hdr, LVN_COLUMNCLICK);
  nm.iItem = -1;
  nm.iSubItem = pressed;
  nm.ptAction = p;
  SendNotify(h, &nm.hdr);
}

// ---------------------------------------------------------------------------
// Messages, one function each.

POINT PointOf(LPARAM l) { return POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)}; }

void Deselect(HWND h, ListView* v) {
  for (int k = 0; k < Count(h, v); ++k)
    if (StateOf(h, v, k) & LVIS_SELECTED) ChangeState(h, v, k, LVIS_SELECTED, 0);
}

LRESULT OnButtonDown(HWND h, ListView* v, UINT msg, POINT p) {
  SetFocus(h);
  if (p.y < HeaderHeight(h) && msg != WM_RBUTTONDOWN) {
    HeaderDown(h, v, p, msg == WM_LBUTTONDBLCLK);
    return 0;
  }
  int sub = 0;
  bool onCheck = false;
  int i = HitItem(h, v, p, &sub, &onCheck);
  if (onCheck && i >= 0 && msg == WM_LBUTTONDOWN) {
    UINT s = StateOf(h, v, i) & LVIS_STATEIMAGEMASK;
    ChangeState(h, v, i, LVIS_STATEIMAGEMASK,
                s == INDEXTOSTATEIMAGEMASK(2) ? INDEXTOSTATEIMAGEMASK(1) : INDEXTOSTATEIMAGEMASK(2));
  }
  if (i >= 0)
    SelectOnly(h, v, i);
  else
    Deselect(h, v);  // a press on no item clears the selection
  UpdateWindow(h);
  if (msg != WM_RBUTTONDOWN) SendClick(h, msg == WM_LBUTTONDOWN ? NM_CLICK : NM_DBLCLK, i, sub, p);
  return 0;
}

// NM_RCLICK once the right button is released, then WM_CONTEXTMENU.
LRESULT OnRButtonUp(HWND h, ListView* v, WPARAM w, LPARAM l) {
  POINT p = PointOf(l);
  int sub = 0;
  bool onCheck = false;
  int i = HitItem(h, v, p, &sub, &onCheck);
  SendClick(h, NM_RCLICK, i, sub, p);
  return IsWindow(h) ? DefWindowProcW(h, WM_RBUTTONUP, w, l) : 0;
}

LRESULT OnMouseMove(HWND h, ListView* v, POINT p) {
  if (v->trackColumn >= 0 && v->trackColumn < static_cast<int>(v->columns.size())) HeaderTrack(h, v, p);
  return 0;
}

LRESULT OnLButtonUp(HWND h, ListView* v, POINT p) {
  if (v->trackColumn >= 0 || v->pressedColumn >= 0) HeaderUp(h, v, p);
  return 0;
}

LRESULT OnCaptureChanged(ListView* v) {
  v->trackColumn = v->pressedColumn = -1;
  return 0;
}

void ToggleCheck(HWND h, ListView* v, int i) {
  UINT s = StateOf(h, v, i) & LVIS_STATEIMAGEMASK;
  ChangeState(h, v, i, LVIS_STATEIMAGEMASK,
              s == INDEXTOSTATEIMAGEMASK(2) ? INDEXTOSTATEIMAGEMASK(1) : INDEXTOSTATEIMAGEMASK(2));
}

LRESULT OnKeyDown(HWND h, ListView* v, WPARAM key) {
  int n = Count(h, v);
  int f = FocusItem(h, v);
  int to = f;
  switch (key) {
    case VK_UP: to = f < 0 ? 0 : std::max(0, f - 1); break;
    case VK_DOWN: to = f < 0 ? 0 : std::min(n - 1, f + 1); break;
    case VK_HOME: to = 0; break;
    case VK_END: to = n - 1; break;
    case VK_PRIOR: to = std::max(0, f - PerPage(h) + 1); break;
    case VK_NEXT: to = std::min(n - 1, f + PerPage(h) - 1); break;
    case VK_SPACE:
      if (f >= 0 && (v->exStyle & LVS_EX_CHECKBOXES)) ToggleCheck(h, v, f);
      return 0;
    default: return 0;
  }
  if (n > 0 && to >= 0) SelectOnly(h, v, to);
  return 0;
}

void ScrollTo(HWND h, ListView* v, int top) {
  v->top = top;
  UpdateBar(h, v);
  InvalidateRect(h, nullptr, TRUE);
}

LRESULT OnVScroll(HWND h, ListView* v, WPARAM w) {
  int top = ctl::ScrolledTop(w, v->top, PerPage(h), Count(h, v));
  if (top >= 0) ScrollTo(h, v, top);
  return 0;
}

LRESULT OnWheel(HWND h, ListView* v, WPARAM w) {
  int lines = -GET_WHEEL_DELTA_WPARAM(w) / WHEEL_DELTA * 3;
  ScrollTo(h, v, std::clamp(v->top + lines, 0, std::max(0, Count(h, v) - PerPage(h))));
  return 0;
}

LRESULT OnFocus(HWND h, ListView* v, bool gained) {
  v->focus = gained;
  InvalidateRect(h, nullptr, FALSE);
  return 0;
}

LRESULT SetExStyle(HWND h, ListView* v, WPARAM w, LPARAM l) {
  DWORD old = v->exStyle;
  DWORD mask = w ? static_cast<DWORD>(w) : 0xFFFFFFFFu;
  v->exStyle = (v->exStyle & ~mask) | (static_cast<DWORD>(l) & mask);
  if ((v->exStyle & LVS_EX_CHECKBOXES) && !(old & LVS_EX_CHECKBOXES) && !OwnerData(h))
    for (auto& r : v->rows)
      if (!(r.state & LVIS_STATEIMAGEMASK)) r.state |= INDEXTOSTATEIMAGEMASK(1);
  InvalidateRect(h, nullptr, TRUE);
  return old;
}

LRESULT InsertColumn(HWND h, ListView* v, WPARAM w, const LVCOLUMNW* c) {
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

LRESULT DeleteColumn(HWND h, ListView* v, size_t c) {
  if (c >= v->columns.size()) return FALSE;
  v->columns.erase(v->columns.begin() + static_cast<std::ptrdiff_t>(c));
  for (auto& r : v->rows)
    if (c < r.texts.size()) r.texts.erase(r.texts.begin() + static_cast<std::ptrdiff_t>(c));
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

LRESULT SetColumnWidth(HWND h, ListView* v, size_t c, LPARAM l) {
  if (c >= v->columns.size()) return FALSE;
  v->columns[c].width = std::max(0, static_cast<int>(static_cast<short>(LOWORD(static_cast<std::uintptr_t>(l)))));
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

LRESULT SetItemCount(HWND h, ListView* v, WPARAM w) {
  if (OwnerData(h)) {
    v->ownerCount = std::max(0, static_cast<int>(w));
    v->ownerState.assign(static_cast<size_t>(v->ownerCount), 0);
    v->top = std::clamp(v->top, 0, std::max(0, v->ownerCount - 1));
    v->mark = -1;
  }
  UpdateBar(h, v);
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

LRESULT InsertItem(HWND h, ListView* v, const LVITEMW* it) {
  if (!it || OwnerData(h)) return -1;
  int at = std::clamp(it->iItem, 0, Count(h, v));
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

LRESULT SetItem(HWND h, ListView* v, UINT msg, WPARAM w, const LVITEMW* it) {
  int i = msg == LVM_SETITEMW ? (it ? it->iItem : -1) : static_cast<int>(w);
  if (!it || i < 0 || i >= Count(h, v) || OwnerData(h)) return FALSE;
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

LRESULT GetItem(HWND h, ListView* v, UINT msg, WPARAM w, LVITEMW* it) {
  int i = msg == LVM_GETITEMW ? (it ? it->iItem : -1) : static_cast<int>(w);
  if (!it || i < 0 || i >= Count(h, v)) return 0;
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

LRESULT DeleteItem(HWND h, ListView* v, int i) {
  int n = Count(h, v);
  if (i < 0 || i >= n || OwnerData(h)) return FALSE;
  v->rows.erase(v->rows.begin() + i);
  if (v->mark == i) v->mark = -1;
  else if (v->mark > i) --v->mark;
  v->top = std::clamp(v->top, 0, std::max(0, n - 1 - PerPage(h)));
  UpdateBar(h, v);
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

LRESULT DeleteAllItems(HWND h, ListView* v) {
  v->rows.clear();
  v->ownerCount = 0;
  v->ownerState.clear();
  v->top = 0;
  v->mark = -1;
  UpdateBar(h, v);
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

LRESULT GetNextItem(HWND h, ListView* v, int start, LPARAM l) {
  UINT flags = LOWORD(static_cast<std::uintptr_t>(l));
  UINT want = ((flags & LVNI_SELECTED) ? LVIS_SELECTED : 0) | ((flags & LVNI_FOCUSED) ? LVIS_FOCUSED : 0);
  for (int k = std::max(0, start + 1); k < Count(h, v); ++k)
    if ((StateOf(h, v, k) & want) == want) return k;
  return -1;
}

LRESULT SetItemState(HWND h, ListView* v, int i, const LVITEMW* it) {
  int n = Count(h, v);
  if (!it) return FALSE;
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

LRESULT GetItemState(HWND h, ListView* v, int i, UINT mask) {
  return i >= 0 && i < Count(h, v) ? StateOf(h, v, i) & mask : 0;
}

LRESULT SelectedCount(HWND h, ListView* v) {
  int k = 0;
  for (int i = 0; i < Count(h, v); ++i) k += (StateOf(h, v, i) & LVIS_SELECTED) != 0;
  return k;
}

LRESULT SetSelectionMark(ListView* v, int mark) {
  int old = v->mark;
  v->mark = mark;
  return old;
}

LRESULT EnsureVisibleMsg(HWND h, ListView* v, int i) {
  EnsureVisible(h, v, i);
  return TRUE;
}

LRESULT ItemRect(HWND h, ListView* v, UINT msg, int i, RECT* r) {
  if (!r || i < 0 || i >= Count(h, v)) return FALSE;
  int sub = msg == LVM_GETSUBITEMRECT ? r->top : 0;
  int code = r->left;
  if (sub < 0 || sub >= static_cast<int>(std::max<size_t>(v->columns.size(), 1))) return FALSE;
  *r = SubItemRect(h, v, i, sub, code);
  if (msg == LVM_GETSUBITEMRECT && sub > 0) return TRUE;
  if (code == LVIR_LABEL && !v->columns.empty()) r->right = v->columns[0].width;
  return TRUE;
}

LRESULT HitTest(HWND h, ListView* v, LVHITTESTINFO* ht) {
  if (!ht) return -1;
  bool onCheck = false;
  int sub = 0;
  ht->iItem = HitItem(h, v, ht->pt, &sub, &onCheck);
  ht->iSubItem = std::max(0, sub);
  ht->flags = ht->iItem < 0 ? LVHT_NOWHERE : onCheck ? LVHT_ONITEMSTATEICON : LVHT_ONITEMLABEL;
  return ht->iItem;
}

LRESULT SetColour(HWND h, COLORREF* slot, LPARAM l) {
  *slot = static_cast<COLORREF>(l);
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

template <class T>
T* Ptr(LPARAM l) {
  return reinterpret_cast<T*>(l);
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
  int i = static_cast<int>(w);
  switch (msg) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: return ctl::PaintControl(h, w, [&](HDC dc) { PaintView(h, v, dc); });
    case WM_SIZE: UpdateBar(h, v); return 0;
    case WM_SETFOCUS: return OnFocus(h, v, true);
    case WM_KILLFOCUS: return OnFocus(h, v, false);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: return OnButtonDown(h, v, msg, PointOf(l));
    case WM_RBUTTONUP: return OnRButtonUp(h, v, w, l);
    case WM_MOUSEMOVE: return OnMouseMove(h, v, PointOf(l));
    case WM_LBUTTONUP: return OnLButtonUp(h, v, PointOf(l));
    case WM_CAPTURECHANGED: return OnCaptureChanged(v);
    case WM_KEYDOWN: return OnKeyDown(h, v, w);
    case WM_VSCROLL: return OnVScroll(h, v, w);
    case WM_MOUSEWHEEL: return OnWheel(h, v, w);
    case LVM_SETEXTENDEDLISTVIEWSTYLE: return SetExStyle(h, v, w, l);
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return v->exStyle;
    case LVM_INSERTCOLUMNW: return InsertColumn(h, v, w, Ptr<const LVCOLUMNW>(l));
    case LVM_DELETECOLUMN: return DeleteColumn(h, v, static_cast<size_t>(w));
    case LVM_GETCOLUMNWIDTH: return w < v->columns.size() ? v->columns[w].width : 0;
    case LVM_SETCOLUMNWIDTH: return SetColumnWidth(h, v, static_cast<size_t>(w), l);
    case LVM_SETITEMCOUNT: return SetItemCount(h, v, w);
    case LVM_GETITEMCOUNT: return Count(h, v);
    case LVM_INSERTITEMW: return InsertItem(h, v, Ptr<const LVITEMW>(l));
    case LVM_SETITEMW:
    case LVM_SETITEMTEXTW: return SetItem(h, v, msg, w, Ptr<const LVITEMW>(l));
    case LVM_GETITEMW:
    case LVM_GETITEMTEXTW: return GetItem(h, v, msg, w, Ptr<LVITEMW>(l));
    case LVM_DELETEITEM: return DeleteItem(h, v, i);
    case LVM_DELETEALLITEMS: return DeleteAllItems(h, v);
    case LVM_GETNEXTITEM: return GetNextItem(h, v, i, l);
    case LVM_SETITEMSTATE: return SetItemState(h, v, i, Ptr<const LVITEMW>(l));
    case LVM_GETITEMSTATE: return GetItemState(h, v, i, static_cast<UINT>(l));
    case LVM_GETSELECTEDCOUNT: return SelectedCount(h, v);
    case LVM_GETSELECTIONMARK: return v->mark;
    case LVM_SETSELECTIONMARK: return SetSelectionMark(v, static_cast<int>(l));
    case LVM_ENSUREVISIBLE: return EnsureVisibleMsg(h, v, i);
    case LVM_GETTOPINDEX: return v->top;
    case LVM_GETCOUNTPERPAGE: return PerPage(h);
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT: return ItemRect(h, v, msg, i, Ptr<RECT>(l));
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: return HitTest(h, v, Ptr<LVHITTESTINFO>(l));
    case LVM_SETBKCOLOR: return SetColour(h, &v->bk, l);
    case LVM_SETTEXTCOLOR: return SetColour(h, &v->text, l);
    case LVM_SETTEXTBKCOLOR: return SetColour(h, &v->textBk, l);
    default: return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterListView() {
  RegisterControlClass(WC_LISTVIEW, ListViewProc, CS_DBLCLKS | CS_PARENTDC);
}
}  // namespace ctl
