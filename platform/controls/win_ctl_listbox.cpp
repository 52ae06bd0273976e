// LISTBOX and COMBOBOX as the forms use them: single selection, strings
// with item data, sorted adding (LBS_SORT/CBS_SORT) while an explicit
// insertion index is kept as given, LBN_SELCHANGE/LBN_DBLCLK (LBS_NOTIFY),
// and combo boxes in the drop-down-list and drop-down styles whose list
// drops in a pop-up window; CBN_SELCHANGE for a selection by the user.
#include "platform/controls/win_ctl_internal.h"

#include <algorithm>

namespace {

struct Entry {
  WString text;
  LPARAM data = 0;
};

struct ListBox {
  std::vector<Entry> items;
  int sel = -1;
  int top = 0;
  bool focus = false;
  bool tracking = false;
  HWND combo = nullptr;  // the combo box a dropped list belongs to
};

ctl::StateMap<ListBox>& Lists() {
  static ctl::StateMap<ListBox> map;
  return map;
}

constexpr const WCHAR* kComboListClass = u"ComboLBox";

int ItemHeight(HWND h) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  int th = ctl::TextHeight(dc);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return th + 2;
}

int Visible(HWND h) {
  RECT rc;
  GetClientRect(h, &rc);
  return std::max(1, static_cast<int>(rc.bottom / std::max(1, ItemHeight(h))));
}

void UpdateBar(HWND h, ListBox* lb) {
  if (!(ctl::Style(h) & WS_VSCROLL)) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = std::max(0, static_cast<int>(lb->items.size()) - 1);
  si.nPage = static_cast<UINT>(Visible(h));
  si.nPos = lb->top;
  SetScrollInfo(h, SB_VERT, &si, TRUE);
}

void EnsureVisible(HWND h, ListBox* lb, int i) {
  if (i < 0) return;
  int vis = Visible(h);
  if (i < lb->top) lb->top = i;
  if (i >= lb->top + vis) lb->top = i - vis + 1;
  UpdateBar(h, lb);
}

void PaintList(HWND h, ListBox* lb, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  HBRUSH bg = lb->combo ? GetSysColorBrush(COLOR_WINDOW) : ctl::AskColors(h, dc, WM_CTLCOLORLISTBOX);
  if (lb->combo) SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  COLORREF text = IsWindowEnabled(h) ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
  FillRect(dc, &rc, bg);
  HWND bar = GetWindowScrollBar(h, SB_VERT);
  int right = rc.right - (bar && IsWindowVisible(bar) ? GetSystemMetrics(SM_CXVSCROLL) : 0);
  int ih = ItemHeight(h);
  SetBkMode(dc, TRANSPARENT);
  for (int i = lb->top, y = 0; i < static_cast<int>(lb->items.size()) && y < rc.bottom; ++i, y += ih) {
    RECT r{0, y, right, y + ih};
    bool sel = i == lb->sel;
    if (sel) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, sel ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
    RECT tr{r.left + 2, r.top, r.right - 2, r.bottom};
    const WString& s = lb->items[static_cast<size_t>(i)].text;
    DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (sel && lb->focus) DrawFocusRect(dc, &r);
  }
  SelectObject(dc, old);
}

void Select(HWND h, ListBox* lb, int i, bool notify) {
  if (i < -1 || i >= static_cast<int>(lb->items.size())) i = -1;
  bool changed = i != lb->sel;
  lb->sel = i;
  EnsureVisible(h, lb, i);
  InvalidateRect(h, nullptr, TRUE);
  if (changed && notify && (ctl::Style(h) & LBS_NOTIFY) && !lb->combo) ctl::Notify(h, LBN_SELCHANGE);
}

int SortedIndex(const ListBox* lb, const WString& s) {
  auto it = std::upper_bound(lb->items.begin(), lb->items.end(), s,
                             [](const WString& a, const Entry& b) { return a < b.text; });
  return static_cast<int>(it - lb->items.begin());
}

int IndexAt(HWND h, ListBox* lb, int y) {
  int i = lb->top + y / std::max(1, ItemHeight(h));
  return (y >= 0 && i < static_cast<int>(lb->items.size())) ? i : -1;
}

void CloseDrop(HWND list, bool accept);

// ---------------------------------------------------------------------------
// List box messages, one function each. In a combo box's drop-down the
// mouse chooses on release and a press outside closes it.

bool InClient(HWND h, int x, int y) {
  RECT rc;
  GetClientRect(h, &rc);
  return x >= 0 && y >= 0 && x < rc.right && y < rc.bottom;
}

bool ValidIndex(ListBox* lb, WPARAM w) {
  int i = static_cast<int>(w);
  return i >= 0 && i < static_cast<int>(lb->items.size());
}

LRESULT OnNcCreate(HWND h, WPARAM w, LPARAM l) {
  ListBox* lb = Lists().Make(h);
  auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
  if (cs && (cs->style & WS_POPUP)) lb->combo = reinterpret_cast<HWND>(cs->lpCreateParams);
  return DefWindowProcW(h, WM_NCCREATE, w, l);
}

LRESULT OnFocus(HWND h, ListBox* lb, bool gained) {
  lb->focus = gained;
  InvalidateRect(h, nullptr, TRUE);
  return 0;
}

LRESULT OnButtonDown(HWND h, ListBox* lb, int x, int y) {
  if (lb->combo) {
    if (!InClient(h, x, y)) CloseDrop(h, false);
    return 0;
  }
  SetFocus(h);
  int i = IndexAt(h, lb, y);
  if (i >= 0) Select(h, lb, i, true);
  return 0;
}

LRESULT OnMouseMove(HWND h, ListBox* lb, int x, int y) {
  if (!lb->combo) return 0;
  int i = IndexAt(h, lb, y);
  RECT rc;
  GetClientRect(h, &rc);
  if (i >= 0 && x >= 0 && x < rc.right) Select(h, lb, i, false);
  return 0;
}

LRESULT OnButtonUp(HWND h, ListBox* lb, int x, int y) {
  if (lb->combo && InClient(h, x, y) && IndexAt(h, lb, y) >= 0) {
    Select(h, lb, IndexAt(h, lb, y), false);
    CloseDrop(h, true);
  }
  return 0;
}

LRESULT OnDoubleClick(HWND h, ListBox* lb, int y) {
  if (lb->combo) return 0;
  int i = IndexAt(h, lb, y);
  if (i < 0) return 0;
  Select(h, lb, i, true);
  if (ctl::Style(h) & LBS_NOTIFY) ctl::Notify(h, LBN_DBLCLK);
  return 0;
}

LRESULT OnKeyDown(HWND h, ListBox* lb, WPARAM key) {
  int n = static_cast<int>(lb->items.size());
  int i = lb->sel;
  switch (key) {
    case VK_UP: i = std::max(0, i - 1); break;
    case VK_DOWN: i = std::min(n - 1, i + 1); break;
    case VK_HOME: i = 0; break;
    case VK_END: i = n - 1; break;
    case VK_PRIOR: i = std::max(0, i - Visible(h) + 1); break;
    case VK_NEXT: i = std::min(n - 1, i + Visible(h) - 1); break;
    case VK_RETURN: if (lb->combo) CloseDrop(h, true); return 0;
    case VK_ESCAPE: if (lb->combo) CloseDrop(h, false); return 0;
    default: return 0;
  }
  if (n > 0) Select(h, lb, i, true);
  return 0;
}

void Refresh(HWND h, ListBox* lb) {
  UpdateBar(h, lb);
  InvalidateRect(h, nullptr, TRUE);
}

LRESULT OnVScroll(HWND h, ListBox* lb, WPARAM w) {
  int top = ctl::ScrolledTop(w, lb->top, Visible(h), static_cast<int>(lb->items.size()));
  if (top < 0) return 0;
  lb->top = top;
  Refresh(h, lb);
  return 0;
}

// LB_ADDSTRING goes to its sorted place with LBS_SORT (else the end);
// LB_INSERTSTRING at the index asked (-1: the end), sorted or not.
LRESULT AddString(HWND h, ListBox* lb, UINT msg, WPARAM w, LPARAM l) {
  int n = static_cast<int>(lb->items.size());
  WString s = l ? WString(reinterpret_cast<LPCWSTR>(l)) : WString();
  bool sorted = (ctl::Style(h) & LBS_SORT) != 0;
  int at = msg == LB_ADDSTRING ? (sorted ? SortedIndex(lb, s) : n)
                               : (static_cast<int>(w) < 0 || static_cast<int>(w) > n ? n : static_cast<int>(w));
  lb->items.insert(lb->items.begin() + at, Entry{s, 0});
  if (lb->sel >= at) ++lb->sel;
  Refresh(h, lb);
  return at;
}

LRESULT DeleteString(HWND h, ListBox* lb, WPARAM w) {
  if (!ValidIndex(lb, w)) return LB_ERR;
  int i = static_cast<int>(w), n = static_cast<int>(lb->items.size());
  lb->items.erase(lb->items.begin() + i);
  if (lb->sel == i) lb->sel = -1;
  else if (lb->sel > i) --lb->sel;
  lb->top = std::clamp(lb->top, 0, std::max(0, n - 1 - Visible(h)));
  Refresh(h, lb);
  return n - 1;
}

LRESULT ResetContent(HWND h, ListBox* lb) {
  lb->items.clear();
  lb->sel = -1;
  lb->top = 0;
  Refresh(h, lb);
  return 0;
}

LRESULT SetCurSel(HWND h, ListBox* lb, WPARAM w) {
  Select(h, lb, static_cast<int>(w), false);
  return lb->sel == static_cast<int>(w) ? lb->sel : LB_ERR;
}

LRESULT TextLen(ListBox* lb, WPARAM w) {
  return ValidIndex(lb, w) ? static_cast<LRESULT>(lb->items[w].text.size()) : LB_ERR;
}

// The caller sized the buffer by LB_GETTEXTLEN.
LRESULT GetText(ListBox* lb, WPARAM w, WCHAR* out) {
  if (!ValidIndex(lb, w) || !out) return LB_ERR;
  const WString& s = lb->items[w].text;
  std::copy(s.begin(), s.end(), out);
  out[s.size()] = 0;
  return static_cast<LRESULT>(s.size());
}

LRESULT GetItemData(ListBox* lb, WPARAM w) { return ValidIndex(lb, w) ? lb->items[w].data : LB_ERR; }

LRESULT SetItemData(ListBox* lb, WPARAM w, LPARAM data) {
  if (!ValidIndex(lb, w)) return LB_ERR;
  lb->items[w].data = data;
  return 0;
}

LRESULT SetTopIndex(HWND h, ListBox* lb, WPARAM w) {
  lb->top = std::clamp(static_cast<int>(w), 0, std::max(0, static_cast<int>(lb->items.size()) - 1));
  Refresh(h, lb);
  return 0;
}

// Searches after the start index, wrapping, without regard to ASCII case:
// a prefix (LB_FINDSTRING) or the whole text (LB_FINDSTRINGEXACT).
LRESULT FindString(ListBox* lb, UINT msg, WPARAM start, LPARAM l) {
  int n = static_cast<int>(lb->items.size());
  WString s = l ? WString(reinterpret_cast<LPCWSTR>(l)) : WString();
  auto lower = [](WString v) {
    for (auto& c : v) c = (c >= u'A' && c <= u'Z') ? c + 32 : c;
    return v;
  };
  WString q = lower(s);
  for (int k = 0; k < n; ++k) {
    int i = (static_cast<int>(start) + 1 + k + n) % std::max(1, n);
    WString t = lower(lb->items[static_cast<size_t>(i)].text);
    if (msg == LB_FINDSTRINGEXACT ? t == q : t.compare(0, q.size(), q) == 0) return i;
  }
  return LB_ERR;
}

LRESULT ListProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) return OnNcCreate(h, w, l);
  if (msg == WM_NCDESTROY) {
    Lists().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  ListBox* lb = Lists().Get(h);
  if (!lb) return DefWindowProcW(h, msg, w, l);
  int x = GET_X_LPARAM(l), y = GET_Y_LPARAM(l);
  switch (msg) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEACTIVATE: return lb->combo ? MA_NOACTIVATE : DefWindowProcW(h, msg, w, l);
    case WM_PAINT:
    case WM_PRINTCLIENT: return ctl::PaintControl(h, w, [&](HDC dc) { PaintList(h, lb, dc); });
    case WM_SIZE: UpdateBar(h, lb); return 0;
    case WM_SETFOCUS: return OnFocus(h, lb, true);
    case WM_KILLFOCUS: return OnFocus(h, lb, false);
    case WM_LBUTTONDOWN: return OnButtonDown(h, lb, x, y);
    case WM_MOUSEMOVE: return OnMouseMove(h, lb, x, y);
    case WM_LBUTTONUP: return OnButtonUp(h, lb, x, y);
    case WM_LBUTTONDBLCLK: return OnDoubleClick(h, lb, y);
    case WM_KEYDOWN: return OnKeyDown(h, lb, w);
    case WM_VSCROLL: return OnVScroll(h, lb, w);
    case LB_ADDSTRING:
    case LB_INSERTSTRING: return AddString(h, lb, msg, w, l);
    case LB_DELETESTRING: return DeleteString(h, lb, w);
    case LB_RESETCONTENT: return ResetContent(h, lb);
    case LB_SETCURSEL: return SetCurSel(h, lb, w);
    case LB_GETCURSEL: return lb->sel;
    case LB_GETCOUNT: return static_cast<LRESULT>(lb->items.size());
    case LB_GETTEXTLEN: return TextLen(lb, w);
    case LB_GETTEXT: return GetText(lb, w, reinterpret_cast<WCHAR*>(l));
    case LB_GETITEMDATA: return GetItemData(lb, w);
    case LB_SETITEMDATA: return SetItemData(lb, w, l);
    case LB_GETTOPINDEX: return lb->top;
    case LB_SETTOPINDEX: return SetTopIndex(h, lb, w);
    case LB_GETITEMHEIGHT: return ItemHeight(h);
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT: return FindString(lb, msg, w, l);
    default: return DefWindowProcW(h, msg, w, l);
  }
}

// ---------------------------------------------------------------------------
// Combo box: the list is a LISTBOX child kept hidden (its items are the
// combo's); dropping shows a "ComboLBox" pop-up copy under the combo.

struct Combo {
  HWND list = nullptr;  // hidden storage list
  HWND edit = nullptr;  // CBS_DROPDOWN
  HWND drop = nullptr;  // the dropped pop-up list while open
  bool focus = false;
};

ctl::StateMap<Combo>& Combos() {
  static ctl::StateMap<Combo> map;
  return map;
}

DWORD ComboKind(HWND h) { return ctl::Style(h) & 0x3; }

RECT ButtonRect(HWND h) {
  RECT rc;
  GetClientRect(h, &rc);
  int w = GetSystemMetrics(SM_CXVSCROLL);
  return RECT{rc.right - w, 0, rc.right, rc.bottom};
}

void ShowSelectionText(HWND h, Combo* c) {
  int sel = static_cast<int>(SendMessageW(c->list, LB_GETCURSEL, 0, 0));
  WString text;
  if (sel >= 0) {
    int len = static_cast<int>(SendMessageW(c->list, LB_GETTEXTLEN, sel, 0));
    text.resize(static_cast<size_t>(len) + 1);
    SendMessageW(c->list, LB_GETTEXT, sel, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(len));
  }
  DefWindowProcW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (c->edit) SetWindowTextW(c->edit, text.c_str());
  InvalidateRect(h, nullptr, TRUE);
}

void PaintCombo(HWND h, Combo* c, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  bool list = ComboKind(h) == CBS_DROPDOWNLIST;
  HBRUSH bg = ctl::AskColors(h, dc, list ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
  if (list) bg = GetSysColorBrush(COLOR_WINDOW), SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  FillRect(dc, &rc, bg);
  RECT frame = rc;
  DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
  RECT b = ButtonRect(h);
  b.top += 2, b.bottom -= 2, b.right -= 2;
  ctl::DrawArrowButton(dc, b, 1, c->drop != nullptr, !IsWindowEnabled(h));
  if (list) {
    RECT t{3, 3, b.left - 1, rc.bottom - 3};
    if (c->focus && !c->drop) {
      FillRect(dc, &t, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    if (!IsWindowEnabled(h)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    WString s = GetWindowTextString(h);
    RECT tt{t.left + 2, t.top, t.right, t.bottom};
    DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &tt, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (c->focus && !c->drop) DrawFocusRect(dc, &t);
  }
  SelectObject(dc, old);
}

void OpenDrop(HWND h, Combo* c) {
  if (c->drop) return;
  ctl::Notify(h, CBN_DROPDOWN);
  RECT wr;
  GetWindowRect(h, &wr);
  int n = static_cast<int>(SendMessageW(c->list, LB_GETCOUNT, 0, 0));
  int ih = static_cast<int>(SendMessageW(c->list, LB_GETITEMHEIGHT, 0, 0));
  int rows = std::clamp(n, 1, 8);
  DWORD style = WS_POPUP | WS_BORDER | (n > rows ? WS_VSCROLL : 0);
  c->drop = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kComboListClass, u"", style,
                            wr.left, wr.bottom, wr.right - wr.left, rows * ih + 2, h, nullptr, nullptr, h);
  if (!c->drop) return;
  SendMessageW(c->drop, WM_SETFONT, reinterpret_cast<WPARAM>(ctl::FontOf(h)), FALSE);
  for (int i = 0; i < n; ++i) {
    int len = static_cast<int>(SendMessageW(c->list, LB_GETTEXTLEN, i, 0));
    WString s(static_cast<size_t>(len) + 1, u'\0');
    SendMessageW(c->list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(s.data()));
    SendMessageW(c->drop, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.c_str()));
  }
  SendMessageW(c->drop, LB_SETCURSEL, SendMessageW(c->list, LB_GETCURSEL, 0, 0), 0);
  ShowWindow(c->drop, SW_SHOWNA);
  SetCapture(c->drop);
  InvalidateRect(h, nullptr, TRUE);
}

void CloseDrop(HWND list, bool accept) {
  ListBox* lb = Lists().Get(list);
  if (!lb || !lb->combo) return;
  HWND h = lb->combo;
  Combo* c = Combos().Get(h);
  if (!c || c->drop != list) return;
  int chosen = lb->sel;
  c->drop = nullptr;
  if (GetCapture() == list) ReleaseCapture();
  DestroyWindow(list);
  InvalidateRect(h, nullptr, TRUE);
  ctl::Notify(h, CBN_CLOSEUP);
  if (accept && chosen >= 0 && chosen != SendMessageW(c->list, LB_GETCURSEL, 0, 0)) {
    SendMessageW(c->list, LB_SETCURSEL, chosen, 0);
    ShowSelectionText(h, c);
    ctl::Notify(h, CBN_SELENDOK);
    ctl::Notify(h, CBN_SELCHANGE);
  }
}

LRESULT ComboProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Combo* c = Combos().Get(h);
  if (msg == WM_NCCREATE) {
    Combos().Make(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    if (c && c->drop && IsWindow(c->drop)) DestroyWindow(c->drop);
    Combos().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (!c) return DefWindowProcW(h, msg, w, l);
  switch (msg) {
    case WM_CREATE: {
      DWORD sort = (ctl::Style(h) & CBS_SORT) ? LBS_SORT : 0;
      c->list = CreateWindowExW(0, WC_LISTBOX, u"", WS_CHILD | sort, 0, 0, 0, 0, h,
                                reinterpret_cast<HMENU>(1000), nullptr, nullptr);
      if (ComboKind(h) == CBS_DROPDOWN) {
        RECT rc;
        GetClientRect(h, &rc);
        RECT b = ButtonRect(h);
        c->edit = CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 3, 3, b.left - 4,
                                  rc.bottom - 6, h, reinterpret_cast<HMENU>(1001), nullptr, nullptr);
      }
      return 0;
    }
    case WM_SETFONT:
      DefWindowProcW(h, msg, w, l);
      if (c->list) SendMessageW(c->list, WM_SETFONT, w, 0);
      if (c->edit) SendMessageW(c->edit, WM_SETFONT, w, 0);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return ctl::PaintControl(h, w, [&](HDC dc) { PaintCombo(h, c, dc); });
    case WM_SETFOCUS:
      c->focus = true;
      if (c->edit) SetFocus(c->edit);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_KILLFOCUS:
      c->focus = false;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
      if (GetFocus() != h && !c->edit) SetFocus(h);
      if (c->drop) CloseDrop(c->drop, false);
      else OpenDrop(h, c);
      return 0;
    case WM_KEYDOWN: {
      int sel = static_cast<int>(SendMessageW(c->list, LB_GETCURSEL, 0, 0));
      int n = static_cast<int>(SendMessageW(c->list, LB_GETCOUNT, 0, 0));
      int to = sel;
      if (w == VK_UP) to = std::max(0, sel - 1);
      else if (w == VK_DOWN) to = std::min(n - 1, sel + 1);
      else if (w == VK_F1 + 3) { OpenDrop(h, c); return 0; }
      else return 0;
      if (to != sel && to >= 0) {
        SendMessageW(c->list, LB_SETCURSEL, to, 0);
        ShowSelectionText(h, c);
        ctl::Notify(h, CBN_SELCHANGE);
      }
      return 0;
    }
    case WM_COMMAND:
      if (c->edit && reinterpret_cast<HWND>(l) == c->edit && HIWORD(w) == EN_CHANGE) {
        DefWindowProcW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(GetWindowTextString(c->edit).c_str()));
        ctl::Notify(h, CBN_EDITCHANGE);
      }
      return 0;
    case WM_SETTEXT:
      DefWindowProcW(h, msg, w, l);
      if (c->edit) SetWindowTextW(c->edit, reinterpret_cast<LPCWSTR>(l));
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    case CB_ADDSTRING: return SendMessageW(c->list, LB_ADDSTRING, w, l);
    case CB_INSERTSTRING: return SendMessageW(c->list, LB_INSERTSTRING, w, l);
    case CB_DELETESTRING: {
      LRESULT r = SendMessageW(c->list, LB_DELETESTRING, w, l);
      ShowSelectionText(h, c);
      return r;
    }
    case CB_RESETCONTENT:
      SendMessageW(c->list, LB_RESETCONTENT, 0, 0);
      ShowSelectionText(h, c);
      return 0;
    case CB_GETCOUNT: return SendMessageW(c->list, LB_GETCOUNT, 0, 0);
    case CB_GETCURSEL: return SendMessageW(c->list, LB_GETCURSEL, 0, 0);
    case CB_SETCURSEL: {
      LRESULT r = SendMessageW(c->list, LB_SETCURSEL, w, 0);
      ShowSelectionText(h, c);
      return r;
    }
    case CB_GETLBTEXT: return SendMessageW(c->list, LB_GETTEXT, w, l);
    case CB_GETLBTEXTLEN: return SendMessageW(c->list, LB_GETTEXTLEN, w, l);
    case CB_GETITEMDATA: return SendMessageW(c->list, LB_GETITEMDATA, w, l);
    case CB_SETITEMDATA: return SendMessageW(c->list, LB_SETITEMDATA, w, l);
    case CB_FINDSTRING: return SendMessageW(c->list, LB_FINDSTRING, w, l);
    case CB_FINDSTRINGEXACT: return SendMessageW(c->list, LB_FINDSTRINGEXACT, w, l);
    case CB_SHOWDROPDOWN:
      if (w) OpenDrop(h, c);
      else if (c->drop) CloseDrop(c->drop, false);
      return TRUE;
    case CB_GETDROPPEDSTATE: return c->drop != nullptr;
    case CB_LIMITTEXT:
      if (c->edit) SendMessageW(c->edit, EM_LIMITTEXT, w, 0);
      return TRUE;
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterListBox() {
  RegisterControlClass(WC_LISTBOX, ListProc, CS_DBLCLKS | CS_PARENTDC);
  RegisterControlClass(kComboListClass, ListProc, CS_SAVEBITS);
  RegisterControlClass(WC_COMBOBOX, ComboProc, CS_DBLCLKS | CS_PARENTDC);
}
}  // namespace ctl
