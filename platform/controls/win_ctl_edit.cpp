// EDIT: single-line and multi-line text entry. The text is the window's
// own text (GetWindowText reads it); lines of a multi-line edit end with
// "\r\n". Caret, selection by mouse and Shift+keys, clipboard (Ctrl+X/C/V,
// WM_CUT/COPY/PASTE/CLEAR), one level of undo, password masking (switchable
// by EM_SETPASSWORDCHAR), read-only, digits only, a text limit (EN_MAXTEXT),
// EN_CHANGE after every change made by the user or by WM_SETTEXT.
// Characters committed by an input method arrive as WM_CHAR like typed ones.
// Colours: WM_CTLCOLOREDIT, or WM_CTLCOLORSTATIC when read-only or disabled.
#include "platform/controls/win_ctl_internal.h"

#include <algorithm>

namespace {

constexpr int kMargin = 2;

struct Edit {
  int caret = 0;   // active end of the selection
  int anchor = 0;  // fixed end
  int scrollX = 0;        // single line: pixels scrolled left
  int firstLine = 0;      // multi-line: first visible line
  int limit = 30000;
  WCHAR password = 0;
  bool focus = false;
  bool dragging = false;
  bool modified = false;
  bool canUndo = false;
  WString undoText;
  int undoCaret = 0;
};

ctl::StateMap<Edit>& Edits() {
  static ctl::StateMap<Edit> map;
  return map;
}

bool Multi(HWND h) { return (ctl::Style(h) & ES_MULTILINE) != 0; }
WString TextOf(HWND h) { return GetWindowTextString(h); }

// Line starts of a multi-line text ("\r\n" separated); one line otherwise.
std::vector<int> LineStarts(const WString& t, bool multi) {
  std::vector<int> starts{0};
  if (!multi) return starts;
  for (size_t i = 0; i + 1 < t.size(); ++i)
    if (t[i] == u'\r' && t[i + 1] == u'\n') starts.push_back(static_cast<int>(i + 2));
  return starts;
}
int LineEnd(const WString& t, const std::vector<int>& starts, size_t line) {
  return line + 1 < starts.size() ? starts[line + 1] - 2 : static_cast<int>(t.size());
}
size_t LineOf(const std::vector<int>& starts, int pos) {
  size_t line = 0;
  while (line + 1 < starts.size() && starts[line + 1] <= pos) ++line;
  return line;
}

// The text as shown (password characters in place of the text).
WString Shown(const Edit* e, const WString& t) {
  if (!e->password) return t;
  return WString(t.size(), e->password);
}

struct Layout {
  HDC dc;
  HGDIOBJ old;
  int lineHeight;
};
Layout Begin(HWND h) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  return Layout{dc, old, ctl::TextHeight(dc)};
}
void End(HWND h, Layout& lay) {
  SelectObject(lay.dc, lay.old);
  ReleaseDC(h, lay.dc);
}

RECT TextArea(HWND h) {
  RECT rc;
  GetClientRect(h, &rc);
  rc.left += kMargin, rc.right -= kMargin, rc.top += 1;
  HWND bar = GetWindowScrollBar(h, SB_VERT);
  if (bar && IsWindowVisible(bar)) rc.right -= GetSystemMetrics(SM_CXVSCROLL);
  return rc;
}

// Pixel position of a character index (client coordinates).
POINT PosOf(HWND h, Edit* e, HDC dc, int lineHeight, int pos) {
  WString t = TextOf(h);
  WString s = Shown(e, t);
  RECT area = TextArea(h);
  auto starts = LineStarts(t, Multi(h));
  size_t line = LineOf(starts, pos);
  int x = ctl::TextWidth(dc, s.c_str() + starts[line], pos - starts[line]);
  if (!Multi(h)) return POINT{area.left + x - e->scrollX, area.top};
  return POINT{area.left + x, area.top + (static_cast<int>(line) - e->firstLine) * lineHeight};
}

int HitTest(HWND h, Edit* e, POINT p) {
  Layout lay = Begin(h);
  WString t = TextOf(h);
  WString s = Shown(e, t);
  RECT area = TextArea(h);
  auto starts = LineStarts(t, Multi(h));
  size_t line = 0;
  int x = p.x - area.left;
  if (Multi(h)) {
    int l = e->firstLine + (p.y - area.top) / std::max(1, lay.lineHeight);
    if (p.y < area.top) l = e->firstLine - 1;
    line = static_cast<size_t>(std::clamp(l, 0, static_cast<int>(starts.size()) - 1));
  } else {
    x += e->scrollX;
  }
  int begin = starts[line], end = LineEnd(t, starts, line);
  int best = begin;
  int prevW = 0;
  for (int i = begin + 1; i <= end; ++i) {
    int wdt = ctl::TextWidth(lay.dc, s.c_str() + begin, i - begin);
    if (x >= (prevW + wdt) / 2) best = i;
    else break;
    prevW = wdt;
  }
  End(h, lay);
  return best;
}

// Keeps the caret visible and moves the system caret to it.
void ScrollToCaret(HWND h, Edit* e) {
  Layout lay = Begin(h);
  RECT area = TextArea(h);
  WString t = TextOf(h);
  if (Multi(h)) {
    auto starts = LineStarts(t, true);
    int line = static_cast<int>(LineOf(starts, e->caret));
    int visible = std::max(1, static_cast<int>((area.bottom - area.top) / std::max(1, lay.lineHeight)));
    int old = e->firstLine;
    if (line < e->firstLine) e->firstLine = line;
    if (line >= e->firstLine + visible) e->firstLine = line - visible + 1;
    if (old != e->firstLine) InvalidateRect(h, nullptr, TRUE);
    HWND bar = GetWindowScrollBar(h, SB_VERT);
    if (ctl::Style(h) & WS_VSCROLL) {
      SCROLLINFO si;
      si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
      si.nMin = 0;
      si.nMax = static_cast<int>(starts.size()) - 1;
      si.nPage = static_cast<UINT>(visible);
      si.nPos = e->firstLine;
      SetScrollInfo(h, SB_VERT, &si, TRUE);
    }
    (void)bar;
  } else {
    WString s = Shown(e, t);
    int x = ctl::TextWidth(lay.dc, s.c_str(), e->caret);
    int width = area.right - area.left;
    int old = e->scrollX;
    if (x - e->scrollX > width - 1) e->scrollX = x - width + width / 4;
    if (x < e->scrollX) e->scrollX = std::max(0, x - width / 4);
    if (old != e->scrollX) InvalidateRect(h, nullptr, TRUE);
  }
  if (e->focus) {
    POINT p = PosOf(h, e, lay.dc, lay.lineHeight, e->caret);
    SetCaretPos(p.x, p.y);
  }
  End(h, lay);
}

void SetSel(HWND h, Edit* e, int anchor, int caret) {
  int n = static_cast<int>(TextOf(h).size());
  anchor = std::clamp(anchor, 0, n);
  caret = std::clamp(caret, 0, n);
  if (anchor == e->anchor && caret == e->caret) {
    ScrollToCaret(h, e);
    return;
  }
  e->anchor = anchor;
  e->caret = caret;
  InvalidateRect(h, nullptr, TRUE);
  ScrollToCaret(h, e);
}

void StoreText(HWND h, const WString& t) { DefWindowProcW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str())); }

// Replaces the selection with text typed or pasted by the user; applies the
// limit, the digits-only rule and the line rule of single-line edits.
bool ReplaceSelection(HWND h, Edit* e, WString text, bool undoable, bool notify) {
  WString t = TextOf(h);
  int a = std::min(e->anchor, e->caret), b = std::max(e->anchor, e->caret);
  if (!Multi(h)) {
    size_t cut = text.find_first_of(u"\r\n");
    if (cut != WString::npos) text.resize(cut);
  }
  DWORD style = ctl::Style(h);
  if (style & ES_UPPERCASE)
    for (auto& c : text) c = (c >= u'a' && c <= u'z') ? c - 32 : c;
  if (style & ES_LOWERCASE)
    for (auto& c : text) c = (c >= u'A' && c <= u'Z') ? c + 32 : c;
  int room = e->limit - (static_cast<int>(t.size()) - (b - a));
  bool cutShort = false;
  if (static_cast<int>(text.size()) > room) {
    text.resize(static_cast<size_t>(std::max(0, room)));
    cutShort = true;
  }
  if (text.empty() && a == b) {
    if (cutShort) ctl::Notify(h, EN_MAXTEXT);
    return false;
  }
  if (undoable) {
    e->undoText = t;
    e->undoCaret = e->caret;
    e->canUndo = true;
  }
  t.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), text);
  StoreText(h, t);
  e->caret = e->anchor = a + static_cast<int>(text.size());
  e->modified = true;
  InvalidateRect(h, nullptr, TRUE);
  ScrollToCaret(h, e);
  if (notify) {
    ctl::Notify(h, EN_UPDATE);
    ctl::Notify(h, EN_CHANGE);
  }
  if (cutShort) ctl::Notify(h, EN_MAXTEXT);
  return true;
}

WString Selected(HWND h, Edit* e) {
  WString t = TextOf(h);
  int a = std::min(e->anchor, e->caret), b = std::max(e->anchor, e->caret);
  return t.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
}

bool ReadOnly(HWND h) { return (ctl::Style(h) & ES_READONLY) != 0; }

void Copy(HWND h, Edit* e) {
  if (e->password) return;  // password text never leaves the edit
  WString s = Selected(h, e);
  if (!s.empty()) SetClipboardText(s);
}

void Undo(HWND h, Edit* e) {
  if (!e->canUndo) return;
  WString now = TextOf(h);
  int caretNow = e->caret;
  StoreText(h, e->undoText);
  e->caret = e->anchor = std::min(e->undoCaret, static_cast<int>(e->undoText.size()));
  e->undoText = now;  // a second undo redoes
  e->undoCaret = caretNow;
  InvalidateRect(h, nullptr, TRUE);
  ScrollToCaret(h, e);
  ctl::Notify(h, EN_UPDATE);
  ctl::Notify(h, EN_CHANGE);
}

bool IsWordChar(WCHAR c) { return c != u' ' && c != u'\t' && c != u'\r' && c != u'\n'; }

void KeyDown(HWND h, Edit* e, UINT vk) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  WString t = TextOf(h);
  int n = static_cast<int>(t.size());
  auto starts = LineStarts(t, Multi(h));
  size_t line = LineOf(starts, e->caret);
  int to = e->caret;
  switch (vk) {
    case VK_LEFT:
      if (!shift && e->anchor != e->caret) to = std::min(e->anchor, e->caret);
      else if (ctrl) {
        while (to > 0 && !IsWordChar(t[to - 1])) --to;
        while (to > 0 && IsWordChar(t[to - 1])) --to;
      } else if (to > 0) to -= (to >= 2 && t[to - 1] == u'\n' && t[to - 2] == u'\r') ? 2 : 1;
      break;
    case VK_RIGHT:
      if (!shift && e->anchor != e->caret) to = std::max(e->anchor, e->caret);
      else if (ctrl) {
        while (to < n && IsWordChar(t[to])) ++to;
        while (to < n && !IsWordChar(t[to])) ++to;
      } else if (to < n) to += (to + 1 < n && t[to] == u'\r' && t[to + 1] == u'\n') ? 2 : 1;
      break;
    case VK_HOME:
      to = ctrl ? 0 : starts[line];
      break;
    case VK_END:
      to = ctrl ? n : LineEnd(t, starts, line);
      break;
    case VK_UP:
    case VK_DOWN: {
      if (!Multi(h)) {
        to = vk == VK_UP ? (to > 0 ? to - 1 : 0) : std::min(n, to + 1);
        break;
      }
      if ((vk == VK_UP && line == 0) || (vk == VK_DOWN && line + 1 >= starts.size())) break;
      Layout lay = Begin(h);
      POINT p = PosOf(h, e, lay.dc, lay.lineHeight, e->caret);
      int lh = lay.lineHeight;
      End(h, lay);
      p.y += vk == VK_UP ? -lh : lh;
      // Hit testing needs the line on screen; step the view first.
      size_t target = vk == VK_UP ? line - 1 : line + 1;
      if (static_cast<int>(target) < e->firstLine) e->firstLine = static_cast<int>(target), p.y += lh;
      to = HitTest(h, e, p);
      break;
    }
    case VK_DELETE:
      if (ReadOnly(h)) return;
      if (shift) {  // Shift+Delete cuts
        Copy(h, e);
        ReplaceSelection(h, e, u"", true, true);
        return;
      }
      if (e->anchor == e->caret) {
        if (e->caret >= n) return;
        e->anchor = e->caret + ((e->caret + 1 < n && t[e->caret] == u'\r' && t[e->caret + 1] == u'\n') ? 2 : 1);
      }
      ReplaceSelection(h, e, u"", true, true);
      return;
    case VK_INSERT:
      if (ctrl) Copy(h, e);
      else if (shift && !ReadOnly(h)) ReplaceSelection(h, e, GetClipboardText(), true, true);
      return;
    default:
      if (ctrl) {
        if (vk == 'C') Copy(h, e);
        else if (vk == 'X' && !ReadOnly(h)) {
          if (!e->password) Copy(h, e);
          if (!e->password) ReplaceSelection(h, e, u"", true, true);
        } else if (vk == 'V' && !ReadOnly(h)) {
          ReplaceSelection(h, e, GetClipboardText(), true, true);
        } else if (vk == 'Z' && !ReadOnly(h)) {
          Undo(h, e);
        } else if (vk == 'A') {
          SetSel(h, e, 0, n);
        }
      }
      return;
  }
  SetSel(h, e, shift ? e->anchor : to, to);
}

void Char(HWND h, Edit* e, WCHAR c) {
  if (c < 0x20 && c != u'\b' && c != u'\r' && c != u'\t') return;  // control keys (Ctrl+letters)
  if (ReadOnly(h)) return;
  DWORD style = ctl::Style(h);
  if (c == u'\b') {
    if (GetKeyState(VK_CONTROL) < 0) return;
    if (e->anchor == e->caret) {
      if (e->caret == 0) return;
      WString t = TextOf(h);
      int back = (e->caret >= 2 && t[e->caret - 1] == u'\n' && t[e->caret - 2] == u'\r') ? 2 : 1;
      e->anchor = e->caret - back;
    }
    ReplaceSelection(h, e, u"", true, true);
    return;
  }
  if (c == u'\r') {
    if (Multi(h)) ReplaceSelection(h, e, u"\r\n", true, true);
    return;
  }
  if (c == u'\t') {
    if (Multi(h)) ReplaceSelection(h, e, u"\t", true, true);
    return;
  }
  if ((style & ES_NUMBER) && !(c >= u'0' && c <= u'9')) return;
  ReplaceSelection(h, e, WString(1, c), true, true);
}

void Paint(HWND h, Edit* e, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  HGDIOBJ oldFont = SelectObject(dc, ctl::FontOf(h));
  bool greyed = ReadOnly(h) || !IsWindowEnabled(h);
  HBRUSH bg = ctl::AskColors(h, dc, greyed ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
  if (!ctl::IsNullBrush(bg)) FillRect(dc, &rc, bg);
  COLORREF textColor = IsWindowEnabled(h) ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
  COLORREF bkColor = GetBkColor(dc);
  WString t = TextOf(h);
  WString s = Shown(e, t);
  RECT area = TextArea(h);
  int lh = ctl::TextHeight(dc);
  auto starts = LineStarts(t, Multi(h));
  int selA = std::min(e->anchor, e->caret), selB = std::max(e->anchor, e->caret);
  bool showSel = e->focus || (ctl::Style(h) & ES_NOHIDESEL);
  IntersectClipRect(dc, area.left, area.top - 1, area.right, rc.bottom);
  SetBkMode(dc, TRANSPARENT);
  for (size_t line = Multi(h) ? static_cast<size_t>(e->firstLine) : 0; line < starts.size(); ++line) {
    int y = area.top + (static_cast<int>(line) - (Multi(h) ? e->firstLine : 0)) * lh;
    if (y >= rc.bottom) break;
    int begin = starts[line], end = LineEnd(t, starts, line);
    int x0 = area.left - (Multi(h) ? 0 : e->scrollX);
    // Alignment of single-line text that fits.
    if (!Multi(h)) {
      int wdt = ctl::TextWidth(dc, s.c_str(), static_cast<int>(s.size()));
      DWORD align = ctl::Style(h) & (ES_CENTER | ES_RIGHT);
      if (align == ES_CENTER) x0 += std::max(0, (static_cast<int>(area.right - area.left) - wdt) / 2);
      else if (align == ES_RIGHT) x0 += std::max(0, static_cast<int>(area.right - area.left) - wdt);
    }
    // Three runs: before, inside and after the selection.
    int cuts[4] = {begin, std::clamp(selA, begin, end), std::clamp(selB, begin, end), end};
    for (int run = 0; run < 3; ++run) {
      int a = cuts[run], b = cuts[run + 1];
      if (b <= a) continue;
      int xa = x0 + ctl::TextWidth(dc, s.c_str() + begin, a - begin);
      int xb = x0 + ctl::TextWidth(dc, s.c_str() + begin, b - begin);
      bool sel = run == 1 && showSel;
      if (sel) {
        RECT r{xa, y, xb, y + lh};
        FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      } else {
        SetTextColor(dc, textColor);
      }
      TextOutW(dc, xa, y, s.c_str() + a, b - a);
    }
  }
  SetBkColor(dc, bkColor);
  SelectObject(dc, oldFont);
}

// ---------------------------------------------------------------------------
// Messages, one function each.

POINT PointOf(LPARAM l) { return POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)}; }

LRESULT OnNcCreate(HWND h, WPARAM w, LPARAM l) {
  Edit* e = Edits().Make(h);
  auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
  if (cs && (cs->style & ES_PASSWORD)) e->password = u'*';
  return DefWindowProcW(h, WM_NCCREATE, w, l);
}

LRESULT OnCreate(HWND h, Edit* e) {
  if (Multi(h) && (ctl::Style(h) & WS_VSCROLL)) ScrollToCaret(h, e);
  return 0;
}

LRESULT OnGetDlgCode(HWND h, const MSG* m) {
  LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
  bool wantReturn = Multi(h) && (ctl::Style(h) & ES_WANTRETURN);
  if (wantReturn) code |= DLGC_WANTALLKEYS;
  if (m && wantReturn && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
  return code;
}

LRESULT OnSetCursor(HWND h, WPARAM w, LPARAM l) {
  if (LOWORD(static_cast<std::uintptr_t>(l)) != HTCLIENT) return DefWindowProcW(h, WM_SETCURSOR, w, l);
  SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
  return TRUE;
}

LRESULT OnSetFocus(HWND h, Edit* e) {
  e->focus = true;
  Layout lay = Begin(h);
  CreateCaret(h, nullptr, 1, lay.lineHeight);
  End(h, lay);
  ScrollToCaret(h, e);
  ShowCaret(h);
  InvalidateRect(h, nullptr, TRUE);
  ctl::Notify(h, EN_SETFOCUS);
  return 0;
}

LRESULT OnKillFocus(HWND h, Edit* e) {
  e->focus = false;
  e->dragging = false;
  DestroyCaret();
  InvalidateRect(h, nullptr, TRUE);
  ctl::Notify(h, EN_KILLFOCUS);
  return 0;
}

LRESULT Repaint(HWND h) {
  InvalidateRect(h, nullptr, TRUE);
  return 0;
}

LRESULT OnSize(HWND h, Edit* e) {
  ScrollToCaret(h, e);
  return 0;
}

LRESULT OnButtonDown(HWND h, Edit* e, WPARAM keys, POINT p) {
  if (GetFocus() != h) SetFocus(h);
  int pos = HitTest(h, e, p);
  SetSel(h, e, (keys & MK_SHIFT) ? e->anchor : pos, pos);
  SetCapture(h);
  e->dragging = true;
  return 0;
}

// A double click selects the word under the mouse.
LRESULT OnDoubleClick(HWND h, Edit* e, POINT p) {
  WString t = TextOf(h);
  int pos = HitTest(h, e, p);
  int a = pos, b = pos;
  while (a > 0 && IsWordChar(t[a - 1])) --a;
  while (b < static_cast<int>(t.size()) && IsWordChar(t[b])) ++b;
  SetSel(h, e, a, b);
  return 0;
}

LRESULT OnMouseMove(HWND h, Edit* e, POINT p) {
  if (e->dragging) SetSel(h, e, e->anchor, HitTest(h, e, p));
  return 0;
}

LRESULT OnButtonUp(HWND h, Edit* e) {
  if (!e->dragging) return 0;
  e->dragging = false;
  if (GetCapture() == h) ReleaseCapture();
  return 0;
}

LRESULT OnCaptureChanged(Edit* e) {
  e->dragging = false;
  return 0;
}

LRESULT OnKeyDown(HWND h, Edit* e, WPARAM key) {
  KeyDown(h, e, static_cast<UINT>(key));
  return 0;
}

LRESULT OnChar(HWND h, Edit* e, WPARAM ch) {
  Char(h, e, static_cast<WCHAR>(ch));
  return 0;
}

LRESULT OnVScroll(HWND h, Edit* e, WPARAM w) {
  if (!Multi(h)) return 0;
  int lines = static_cast<int>(LineStarts(TextOf(h), true).size());
  int first = e->firstLine;
  switch (LOWORD(w)) {
    case SB_LINEUP: --first; break;
    case SB_LINEDOWN: ++first; break;
    case SB_PAGEUP: first -= 5; break;
    case SB_PAGEDOWN: first += 5; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: first = static_cast<short>(HIWORD(w)); break;
    case SB_TOP: first = 0; break;
    case SB_BOTTOM: first = lines - 1; break;
    default: return 0;
  }
  first = std::clamp(first, 0, std::max(0, lines - 1));
  if (first == e->firstLine) return 0;
  e->firstLine = first;
  SetScrollPos(h, SB_VERT, first, TRUE);
  InvalidateRect(h, nullptr, TRUE);
  ctl::Notify(h, EN_VSCROLL);
  return 0;
}

WString TextArg(LPARAM l) {
  auto* text = reinterpret_cast<LPCWSTR>(l);
  return text ? WString(text) : WString();
}

LRESULT OnSetText(HWND h, Edit* e, LPARAM l) {
  StoreText(h, TextArg(l));
  e->caret = e->anchor = 0;
  e->scrollX = 0;
  e->firstLine = 0;
  e->canUndo = false;
  e->modified = false;
  InvalidateRect(h, nullptr, TRUE);
  ScrollToCaret(h, e);
  ctl::Notify(h, EN_UPDATE);
  ctl::Notify(h, EN_CHANGE);
  return TRUE;
}

// Masked text never reaches the clipboard.
LRESULT OnCut(HWND h, Edit* e) {
  if (ReadOnly(h) || e->password) return 0;
  Copy(h, e);
  ReplaceSelection(h, e, u"", true, true);
  return 0;
}

LRESULT OnCopy(HWND h, Edit* e) {
  Copy(h, e);
  return 0;
}

LRESULT OnPaste(HWND h, Edit* e) {
  if (!ReadOnly(h)) ReplaceSelection(h, e, GetClipboardText(), true, true);
  return 0;
}

LRESULT OnClear(HWND h, Edit* e) {
  if (!ReadOnly(h)) ReplaceSelection(h, e, u"", true, true);
  return 0;
}

LRESULT OnUndo(HWND h, Edit* e) {
  Undo(h, e);
  return e->canUndo;
}

LRESULT EmptyUndo(Edit* e) {
  e->canUndo = false;
  return 0;
}

LRESULT GetSelection(Edit* e, WPARAM w, LPARAM l) {
  int a = std::min(e->anchor, e->caret), b = std::max(e->anchor, e->caret);
  if (w) *reinterpret_cast<DWORD*>(w) = static_cast<DWORD>(a);
  if (l) *reinterpret_cast<DWORD*>(l) = static_cast<DWORD>(b);
  return MAKELONG(a, b);
}

// -1 as the start removes the selection; an end beyond the text is its end.
LRESULT SetSelection(HWND h, Edit* e, WPARAM w, LPARAM l) {
  int n = static_cast<int>(TextOf(h).size());
  int a = static_cast<int>(w), b = static_cast<int>(l);
  if (a < 0) {
    SetSel(h, e, e->caret, e->caret);
    return 0;
  }
  if (b < 0 || b > n) b = n;
  SetSel(h, e, a, b);
  return 0;
}

LRESULT ReplaceSel(HWND h, Edit* e, WPARAM canUndo, LPARAM l) {
  ReplaceSelection(h, e, TextArg(l), canUndo != 0, true);
  return 0;
}

LRESULT SetLimit(Edit* e, WPARAM w) {
  int v = static_cast<int>(w);
  e->limit = v <= 0 ? 0x7FFFFFFE : v;
  return 0;
}

LRESULT SetPasswordChar(HWND h, Edit* e, WPARAM ch) {
  e->password = static_cast<WCHAR>(ch);
  InvalidateRect(h, nullptr, TRUE);
  ScrollToCaret(h, e);
  return 0;
}

LRESULT SetReadOnly(HWND h, WPARAM on) {
  DWORD s = ctl::Style(h);
  SetWindowLongPtrW(h, GWL_STYLE, on ? (s | ES_READONLY) : (s & ~ES_READONLY));
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

LRESULT SetModify(Edit* e, WPARAM on) {
  e->modified = on != 0;
  return 0;
}

LRESULT LineCount(HWND h) { return static_cast<LRESULT>(LineStarts(TextOf(h), Multi(h)).size()); }

LRESULT LineIndex(HWND h, Edit* e, WPARAM w) {
  auto starts = LineStarts(TextOf(h), Multi(h));
  int line = static_cast<int>(w);
  if (line < 0) line = static_cast<int>(LineOf(starts, e->caret));
  return line < static_cast<int>(starts.size()) ? starts[static_cast<size_t>(line)] : -1;
}

LRESULT LineFromChar(HWND h, Edit* e, WPARAM w) {
  auto starts = LineStarts(TextOf(h), Multi(h));
  int pos = static_cast<int>(w) < 0 ? e->caret : static_cast<int>(w);
  return static_cast<LRESULT>(LineOf(starts, pos));
}

LRESULT LineLength(HWND h, Edit* e, WPARAM w) {
  WString t = TextOf(h);
  auto starts = LineStarts(t, Multi(h));
  int pos = static_cast<int>(w) < 0 ? e->caret : static_cast<int>(w);
  size_t line = LineOf(starts, std::clamp(pos, 0, static_cast<int>(t.size())));
  return LineEnd(t, starts, line) - starts[line];
}

// The first WORD of the buffer holds its capacity; no terminator is added.
LRESULT GetLine(HWND h, WPARAM w, WCHAR* out) {
  WString t = TextOf(h);
  auto starts = LineStarts(t, Multi(h));
  size_t line = static_cast<size_t>(w);
  if (!out || line >= starts.size()) return 0;
  int cap = *reinterpret_cast<WORD*>(out);
  int len = std::min(cap, LineEnd(t, starts, line) - starts[line]);
  std::copy(t.begin() + starts[line], t.begin() + starts[line] + len, out);
  return len;
}

LRESULT LineScroll(HWND h, Edit* e, LPARAM lines) {
  if (!Multi(h)) return TRUE;
  int count = static_cast<int>(LineStarts(TextOf(h), true).size());
  e->firstLine = std::clamp(e->firstLine + static_cast<int>(lines), 0, std::max(0, count - 1));
  InvalidateRect(h, nullptr, TRUE);
  if (ctl::Style(h) & WS_VSCROLL) SetScrollPos(h, SB_VERT, e->firstLine, TRUE);
  return TRUE;
}

LRESULT ScrollCaret(HWND h, Edit* e) {
  ScrollToCaret(h, e);
  return TRUE;
}

LRESULT GetRect(HWND h, RECT* r) {
  if (r) *r = TextArea(h);
  return 0;
}

LRESULT EditProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) return OnNcCreate(h, w, l);
  if (msg == WM_NCDESTROY) {
    Edits().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  Edit* e = Edits().Get(h);
  if (!e) return DefWindowProcW(h, msg, w, l);
  switch (msg) {
    case WM_CREATE: return OnCreate(h, e);
    case WM_GETDLGCODE: return OnGetDlgCode(h, reinterpret_cast<const MSG*>(l));
    case WM_SETCURSOR: return OnSetCursor(h, w, l);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: return ctl::PaintControl(h, w, [&](HDC dc) { Paint(h, e, dc); });
    case WM_SETFOCUS: return OnSetFocus(h, e);
    case WM_KILLFOCUS: return OnKillFocus(h, e);
    case WM_ENABLE: return Repaint(h);
    case WM_SIZE: return OnSize(h, e);
    case WM_LBUTTONDOWN: return OnButtonDown(h, e, w, PointOf(l));
    case WM_LBUTTONDBLCLK: return OnDoubleClick(h, e, PointOf(l));
    case WM_MOUSEMOVE: return OnMouseMove(h, e, PointOf(l));
    case WM_LBUTTONUP: return OnButtonUp(h, e);
    case WM_CAPTURECHANGED: return OnCaptureChanged(e);
    case WM_KEYDOWN: return OnKeyDown(h, e, w);
    case WM_CHAR:
    case WM_IME_CHAR: return OnChar(h, e, w);
    case WM_VSCROLL: return OnVScroll(h, e, w);
    case WM_SETTEXT: return OnSetText(h, e, l);
    case WM_CUT: return OnCut(h, e);
    case WM_COPY: return OnCopy(h, e);
    case WM_PASTE: return OnPaste(h, e);
    case WM_CLEAR: return OnClear(h, e);
    case WM_UNDO:
    case EM_UNDO: return OnUndo(h, e);
    case EM_CANUNDO: return e->canUndo;
    case EM_EMPTYUNDOBUFFER: return EmptyUndo(e);
    case EM_GETSEL: return GetSelection(e, w, l);
    case EM_SETSEL: return SetSelection(h, e, w, l);
    case EM_REPLACESEL: return ReplaceSel(h, e, w, l);
    case EM_SETLIMITTEXT: return SetLimit(e, w);
    case EM_GETLIMITTEXT: return e->limit;
    case EM_SETPASSWORDCHAR: return SetPasswordChar(h, e, w);
    case EM_GETPASSWORDCHAR: return e->password;
    case EM_SETREADONLY: return SetReadOnly(h, w);
    case EM_GETMODIFY: return e->modified;
    case EM_SETMODIFY: return SetModify(e, w);
    case EM_GETLINECOUNT: return LineCount(h);
    case EM_LINEINDEX: return LineIndex(h, e, w);
    case EM_LINEFROMCHAR: return LineFromChar(h, e, w);
    case EM_LINELENGTH: return LineLength(h, e, w);
    case EM_GETLINE: return GetLine(h, w, reinterpret_cast<WCHAR*>(l));
    case EM_GETFIRSTVISIBLELINE: return Multi(h) ? e->firstLine : 0;
    case EM_LINESCROLL: return LineScroll(h, e, l);
    case EM_SCROLLCARET: return ScrollCaret(h, e);
    case EM_GETRECT: return GetRect(h, reinterpret_cast<RECT*>(l));
    default: return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterEdit() {
  RegisterControlClass(WC_EDIT, EditProc, CS_DBLCLKS | CS_PARENTDC, IDC_IBEAM);
}
}  // namespace ctl
