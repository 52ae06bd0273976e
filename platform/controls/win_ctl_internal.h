// Helpers shared by the standard controls. Not for use outside platform/.
#pragma once

#include "platform/controls/win_controls.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace ctl {

// Registers one of the layer's window classes (no class brush unless given:
// the controls paint all of their client area).
void RegisterControlClass(LPCWSTR name, WNDPROC proc, UINT style, LPCWSTR cursor = IDC_ARROW,
                          HBRUSH background = nullptr);

// Per-window state of one control class, kept by handle (UI thread only).
template <class State>
class StateMap {
 public:
  State* Get(HWND h) {
    auto it = map_.find(h);
    return it == map_.end() ? nullptr : it->second.get();
  }
  State* Make(HWND h) { return (map_[h] = std::make_unique<State>()).get(); }
  void Drop(HWND h) { map_.erase(h); }

 private:
  std::unordered_map<HWND, std::unique_ptr<State>> map_;
};

// WM_PAINT and WM_PRINTCLIENT of a control: paint(dc) draws into the DC that
// WM_PRINTCLIENT passes in wParam, or between BeginPaint and EndPaint.
template <class PaintFn>
LRESULT PaintControl(HWND h, WPARAM w, PaintFn paint) {
  if (w) {
    paint(reinterpret_cast<HDC>(w));
    return 0;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  paint(dc);
  EndPaint(h, &ps);
  return 0;
}

// The first visible line a WM_VSCROLL request asks for in a list of count
// lines showing page at a time, kept within the list; -1 for a request that
// moves nothing.
inline int ScrolledTop(WPARAM w, int top, int page, int count) {
  switch (LOWORD(w)) {
    case SB_LINEUP: --top; break;
    case SB_LINEDOWN: ++top; break;
    case SB_PAGEUP: top -= page; break;
    case SB_PAGEDOWN: top += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: top = static_cast<short>(HIWORD(w)); break;
    default: return -1;
  }
  return std::clamp(top, 0, std::max(0, count - page));
}

inline DWORD Style(HWND h) { return static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)); }
inline int Id(HWND h) { return GetDlgCtrlID(h); }

// WM_COMMAND with a notification code to the parent.
inline void Notify(HWND h, UINT code) {
  HWND parent = GetParent(h);
  if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(Id(h), code), reinterpret_cast<LPARAM>(h));
}

// The control's font (WM_SETFONT) or the default GUI font.
inline HFONT FontOf(HWND h) {
  auto f = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
  return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// Asks the parent for colours (WM_CTLCOLOR*): the DC is set to the default
// colours first so the parent's answer overrides them; a null answer gives
// the default brush.
inline HBRUSH AskColors(HWND h, HDC dc, UINT msg) {
  bool editLike = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, GetSysColor(editLike ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
  HWND parent = GetParent(h);
  HBRUSH b = nullptr;
  if (parent)
    b = reinterpret_cast<HBRUSH>(SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h)));
  if (!b) b = GetSysColorBrush(editLike ? COLOR_WINDOW : COLOR_BTNFACE);
  return b;
}

inline bool IsNullBrush(HBRUSH b) {
  LOGBRUSH lb{};
  return b == GetStockObject(NULL_BRUSH) ||
         (GetObjectW(b, sizeof lb, &lb) == sizeof lb && lb.lbStyle == BS_NULL);
}

inline int TextHeight(HDC dc) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  return tm.tmHeight;
}

inline int TextWidth(HDC dc, const WCHAR* s, int n) {
  if (n <= 0) return 0;
  SIZE sz{};
  GetTextExtentPoint32W(dc, s, n, &sz);
  return sz.cx;
}

// An arrow button of a scroll bar, combo box or up-down control: the
// classic raised face (flat and shifted while pushed) with a triangle
// pointing up (0), down (1), left (2) or right (3).
inline void DrawArrowButton(HDC dc, RECT r, int direction, bool pushed, bool disabled) {
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  RECT e = r;
  if (pushed) FrameRect(dc, &e, GetSysColorBrush(COLOR_BTNSHADOW));
  else DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
  int w = r.right - r.left, h = r.bottom - r.top;
  int size = std::max(2, std::min(w, h) / 4);
  int cx = r.left + w / 2 + (pushed ? 1 : 0), cy = r.top + h / 2 + (pushed ? 1 : 0);
  POINT p[3];
  switch (direction) {
    case 0: p[0] = {cx - size, cy + size / 2}, p[1] = {cx + size, cy + size / 2}, p[2] = {cx, cy - size / 2 - 1}; break;
    case 1: p[0] = {cx - size, cy - size / 2}, p[1] = {cx + size, cy - size / 2}, p[2] = {cx, cy + size / 2 + 1}; break;
    case 2: p[0] = {cx + size / 2, cy - size}, p[1] = {cx + size / 2, cy + size}, p[2] = {cx - size / 2 - 1, cy}; break;
    default: p[0] = {cx - size / 2, cy - size}, p[1] = {cx - size / 2, cy + size}, p[2] = {cx + size / 2 + 1, cy}; break;
  }
  HBRUSH b = GetSysColorBrush(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
  HGDIOBJ ob = SelectObject(dc, b);
  HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, p, 3);
  SelectObject(dc, op);
  SelectObject(dc, ob);
}

// Registration pieces of each control file.
void RegisterButton();
void RegisterEdit();
void RegisterStatic();
void RegisterScrollBar();
void RegisterListBox();
void RegisterProgressUpDown();
void RegisterListView();
void RegisterTreeView();
void RegisterToolTip();
void RegisterMenuClass();
void RegisterDialogClass();
void InstallMessageBox();

}  // namespace ctl
