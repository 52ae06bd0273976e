// tooltips_class32: tools are whole windows (TTF_IDISHWND, or no rectangle)
// or rectangles of a window; the owner relays mouse messages (RelayEvent).
// Resting on a tool for the initial delay shows the tip below the cursor;
// it goes after the auto-pop time, on a button press, or when the mouse
// leaves the tool. TTS_ALWAYSTIP shows tips whether or not the owner is
// active (without it, only while the tool's top-level window is active).
#include "platform/controls/win_ctl_internal.h"

#include <algorithm>

namespace {

constexpr UINT_PTR kShowTimer = 1, kPopTimer = 2;

struct Tool {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  RECT rect;
  bool wholeWindow = true;
  WString text;
};

struct Tip {
  std::vector<Tool> tools;
  bool active = true;
  int initial = 500, autopop = 5000, reshow = 100;
  COLORREF text = CLR_INVALID, back = CLR_INVALID;
  int current = -1;   // tool under the mouse
  bool shown = false;
};

ctl::StateMap<Tip>& Tips() {
  static ctl::StateMap<Tip> map;
  return map;
}

int FindTool(Tip* t, HWND hwnd, UINT_PTR id) {
  for (size_t i = 0; i < t->tools.size(); ++i)
    if (t->tools[i].hwnd == hwnd && t->tools[i].id == id) return static_cast<int>(i);
  return -1;
}

// The tool under a screen point.
int ToolAt(Tip* t, POINT screen) {
  HWND under = WindowFromPoint(screen);
  for (size_t i = 0; i < t->tools.size(); ++i) {
    const Tool& tool = t->tools[i];
    if (tool.wholeWindow) {
      if (under == tool.hwnd || IsChild(tool.hwnd, under)) return static_cast<int>(i);
      continue;
    }
    POINT p = screen;
    ScreenToClient(tool.hwnd, &p);
    const RECT& r = tool.rect;
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

SIZE Measure(HWND h, const WString& text) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  RECT r{0, 0, 400, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return SIZE{r.right + 8, r.bottom + 4};
}

void Hide(HWND h, Tip* t) {
  KillTimer(h, kPopTimer);
  if (t->shown) {
    t->shown = false;
    ShowWindow(h, SW_HIDE);
  }
}

void Show(HWND h, Tip* t) {
  if (t->current < 0 || !t->active) return;
  const Tool& tool = t->tools[static_cast<size_t>(t->current)];
  if (!(ctl::Style(h) & TTS_ALWAYSTIP)) {
    HWND top = GetAncestor(tool.hwnd, GA_ROOT);
    if (GetActiveWindow() != top) return;
  }
  SetWindowTextW(h, tool.text.c_str());
  SIZE s = Measure(h, tool.text);
  POINT c;
  GetCursorPos(&c);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  int x = std::clamp<int>(c.x, 0, std::max<int>(0, sw - s.cx));
  int y = c.y + 20;
  if (y + s.cy > sh) y = c.y - s.cy - 2;
  SetWindowPos(h, HWND_TOPMOST, x, y, s.cx, s.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(h, nullptr, TRUE);
  t->shown = true;
  SetTimer(h, kPopTimer, static_cast<UINT>(std::max(t->autopop, 10)), nullptr);
}

void Paint(HWND h, Tip* t, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  HBRUSH b = CreateSolidBrush(t->back == CLR_INVALID ? GetSysColor(COLOR_INFOBK) : t->back);
  FillRect(dc, &rc, b);
  DeleteObject(b);
  FrameRect(dc, &rc, GetSysColorBrush(COLOR_3DDKSHADOW));
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, t->text == CLR_INVALID ? GetSysColor(COLOR_INFOTEXT) : t->text);
  WString s = GetWindowTextString(h);
  RECT tr{rc.left + 4, rc.top + 2, rc.right - 4, rc.bottom - 2};
  DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &tr, DT_NOPREFIX);
  SelectObject(dc, old);
}

void Relay(HWND h, Tip* t, const MSG* m) {
  if (!m) return;
  switch (m->message) {
    case WM_MOUSEMOVE: {
      POINT p = m->pt;
      if (m->hwnd) {
        p = POINT{GET_X_LPARAM(m->lParam), GET_Y_LPARAM(m->lParam)};
        ClientToScreen(m->hwnd, &p);
      }
      int tool = ToolAt(t, p);
      if (tool != t->current) {
        bool wasShown = t->shown;
        Hide(h, t);
        KillTimer(h, kShowTimer);
        t->current = tool;
        if (tool >= 0 && t->active)
          SetTimer(h, kShowTimer, static_cast<UINT>(std::max(wasShown ? t->reshow : t->initial, 10)), nullptr);
      }
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MOUSELEAVE:
      KillTimer(h, kShowTimer);
      Hide(h, t);
      if (m->message == WM_MOUSELEAVE) t->current = -1;
      break;
    default:
      break;
  }
}

LRESULT TipProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Tip* t = Tips().Get(h);
  if (msg == WM_NCCREATE) {
    Tips().Make(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    Tips().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (!t) return DefWindowProcW(h, msg, w, l);
  switch (msg) {
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      Paint(h, t, dc);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_TIMER:
      if (w == kShowTimer) {
        KillTimer(h, kShowTimer);
        Show(h, t);
      } else if (w == kPopTimer) {
        Hide(h, t);
      }
      return 0;
    case TTM_ADDTOOLW:
    case TTM_UPDATETIPTEXTW: {
      auto* ti = reinterpret_cast<const TTTOOLINFOW*>(l);
      if (!ti || !ti->hwnd) return FALSE;
      UINT_PTR id = ti->uId;
      int at = FindTool(t, ti->hwnd, id);
      if (msg == TTM_UPDATETIPTEXTW) {
        if (at < 0) return 0;
        t->tools[static_cast<size_t>(at)].text = ti->lpszText ? WString(ti->lpszText) : WString();
        if (t->shown && at == t->current) {
          SetWindowTextW(h, ti->lpszText ? ti->lpszText : u"");
          InvalidateRect(h, nullptr, TRUE);
        }
        return 0;
      }
      Tool tool;
      tool.hwnd = (ti->uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(ti->uId) : ti->hwnd;
      tool.id = id;
      tool.rect = ti->rect;
      tool.wholeWindow = (ti->uFlags & TTF_IDISHWND) || (ti->rect.right <= ti->rect.left || ti->rect.bottom <= ti->rect.top);
      tool.text = ti->lpszText ? WString(ti->lpszText) : WString();
      tool.hwnd = IsWindow(tool.hwnd) ? tool.hwnd : ti->hwnd;
      if (at >= 0) t->tools[static_cast<size_t>(at)] = tool;
      else t->tools.push_back(tool);
      return TRUE;
    }
    case TTM_DELTOOLW: {
      auto* ti = reinterpret_cast<const TTTOOLINFOW*>(l);
      if (!ti) return 0;
      int at = FindTool(t, ti->hwnd, ti->uId);
      if (at >= 0) {
        if (at == t->current) Hide(h, t), t->current = -1;
        else if (at < t->current) --t->current;
        t->tools.erase(t->tools.begin() + at);
      }
      return 0;
    }
    case TTM_GETTOOLCOUNT:
      return static_cast<LRESULT>(t->tools.size());
    case TTM_ACTIVATE:
      t->active = w != 0;
      if (!t->active) {
        KillTimer(h, kShowTimer);
        Hide(h, t);
      }
      return 0;
    case TTM_SETDELAYTIME: {
      int ms = static_cast<short>(LOWORD(static_cast<std::uintptr_t>(l)));
      switch (w) {
        case TTDT_AUTOMATIC:
          if (ms < 0) ms = 500;
          t->initial = ms, t->autopop = ms * 10, t->reshow = ms / 5;
          break;
        case TTDT_INITIAL: t->initial = ms < 0 ? 500 : ms; break;
        case TTDT_AUTOPOP: t->autopop = ms < 0 ? 5000 : ms; break;
        case TTDT_RESHOW: t->reshow = ms < 0 ? 100 : ms; break;
        default: break;
      }
      return 0;
    }
    case TTM_GETDELAYTIME:
      return w == TTDT_INITIAL ? t->initial : w == TTDT_AUTOPOP ? t->autopop : w == TTDT_RESHOW ? t->reshow : t->initial;
    case TTM_SETTIPTEXTCOLOR:
      t->text = static_cast<COLORREF>(w);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case TTM_SETTIPBKCOLOR:
      t->back = static_cast<COLORREF>(w);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case TTM_RELAYEVENT:
      Relay(h, t, reinterpret_cast<const MSG*>(l));
      return 0;
    case TTM_POP:
      KillTimer(h, kShowTimer);
      Hide(h, t);
      return 0;
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterToolTip() {
  RegisterControlClass(TOOLTIPS_CLASS, TipProc, CS_SAVEBITS | CS_DROPSHADOW);
}
}  // namespace ctl
