// Dialogs: the "#32770" class, templates in dialog units, the modal loop,
// the dialog keyboard (Tab, arrows, Enter, Esc), and the message box built
// on them.
#include "platform/controls/win_ctl_internal.h"
#include "platform/window/win_remote.h"

#include <algorithm>
#include <climits>
#include <map>
#include <mutex>

namespace {

struct Dialog {
  DLGPROC proc = nullptr;
  HFONT font = nullptr;
  SIZE base{6, 13};
  bool ended = false;
  INT_PTR result = 0;
  int defId = IDOK;
  HWND lastFocus = nullptr;
  bool initialFocus = false;  // lastFocus is WM_INITDIALOG's default: select its text on activation
};

ctl::StateMap<Dialog>& Dialogs() {
  static ctl::StateMap<Dialog> map;
  return map;
}

// Templates by (resource module, id); the program's module is null.
std::map<std::pair<HINSTANCE, int>, const DialogTemplate*>& Templates() {
  static std::map<std::pair<HINSTANCE, int>, const DialogTemplate*> map;
  return map;
}

thread_local HINSTANCE t_resourceModule = nullptr;  // the thread's current resource module

// Its own visibility: the dialog itself may still be hidden.
bool Usable(HWND c) { return (ctl::Style(c) & WS_VISIBLE) && IsWindowEnabled(c); }

// Direct children of the dialog in tab (creation) order.
std::vector<HWND> Controls(HWND dlg) {
  std::vector<HWND> v;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) v.push_back(c);
  return v;
}

// The dialog's child that holds hwnd (hwnd itself when it is a child).
HWND ControlHolding(HWND dlg, HWND hwnd) {
  while (hwnd && GetParent(hwnd) != dlg) hwnd = GetParent(hwnd);
  return hwnd;
}

INT_PTR CallProc(Dialog* d, HWND h, UINT msg, WPARAM w, LPARAM l) {
  return d && d->proc ? d->proc(h, msg, w, l) : FALSE;
}

void FocusControl(HWND dlg, HWND ctl) {
  if (!ctl) return;
  SetFocus(ctl);
  if (SendMessageW(ctl, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(ctl, EM_SETSEL, 0, -1);
  if (Dialog* d = Dialogs().Get(dlg)) d->lastFocus = ctl;
}

int DefaultId(HWND dlg, Dialog* d) {
  for (HWND c : Controls(dlg))
    if (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return GetDlgCtrlID(c);
  return d ? d->defId : IDOK;
}

LRESULT DialogProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Dialog* d = Dialogs().Get(h);
  if (msg == WM_NCDESTROY) {
    CallProc(d, h, msg, w, l);
    Dialogs().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (!d) return DefWindowProcW(h, msg, w, l);
  INT_PTR handled = CallProc(d, h, msg, w, l);
  if (handled) {
    switch (msg) {
      case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_INITDIALOG:
        return handled;
      default:
        return 0;
    }
  }
  switch (msg) {
    case WM_ERASEBKGND: {
      auto dc = reinterpret_cast<HDC>(w);
      HBRUSH b = reinterpret_cast<HBRUSH>(SendMessageW(h, WM_CTLCOLORDLG, w, reinterpret_cast<LPARAM>(h)));
      if (!b) b = GetSysColorBrush(COLOR_BTNFACE);
      RECT rc;
      GetClientRect(h, &rc);
      if (!ctl::IsNullBrush(b)) FillRect(dc, &rc, b);
      return 1;
    }
    case WM_CLOSE:
      SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h, IDCANCEL)));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(w) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f && IsChild(h, f)) d->lastFocus = f;
      } else {
        HWND f = GetFocus();
        if (!f || !IsChild(h, f)) {
          HWND target = d->lastFocus && IsWindow(d->lastFocus) ? d->lastFocus : GetNextDlgTabItem(h, nullptr, FALSE);
          if (target && d->initialFocus) FocusControl(h, target);
          else if (target) SetFocus(target);
          else SetFocus(h);
        }
        d->initialFocus = false;
      }
      return 0;
    case WM_SETFOCUS: {
      HWND target = d->lastFocus && IsWindow(d->lastFocus) ? d->lastFocus : GetNextDlgTabItem(h, nullptr, FALSE);
      if (target) SetFocus(target);
      return 0;
    }
    case DM_GETDEFID:
      return MAKELONG(DefaultId(h, d), DC_HASDEFID);
    case DM_SETDEFID:
      d->defId = static_cast<int>(w);
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND target = l ? reinterpret_cast<HWND>(w) : GetNextDlgTabItem(h, GetFocus(), w != 0);
      FocusControl(h, target);
      return 0;
    }
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d->font);
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

HFONT FontFor(const WCHAR* face, int points) {
  static std::mutex lock;
  static std::map<std::pair<WString, int>, HFONT> fonts;
  std::lock_guard<std::mutex> g(lock);
  WString f = face ? WString(face) : WString(u"MS Shell Dlg");
  auto key = std::make_pair(f, points);
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  int height = -(points * 96 + 36) / 72;
  HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, f.c_str());
  fonts[key] = font;
  return font;
}

}  // namespace

HINSTANCE GetResourceModule() { return t_resourceModule; }

HINSTANCE SetResourceModule(HINSTANCE module) {
  HINSTANCE previous = t_resourceModule;
  t_resourceModule = module;
  return previous;
}

namespace {
std::mutex& ModuleFilterLock() {
  static std::mutex lock;
  return lock;
}
std::map<HINSTANCE, BOOL (*)(MSG*)>& ModuleFilters() {
  static auto* filters = new std::map<HINSTANCE, BOOL (*)(MSG*)>();
  return *filters;
}
}  // namespace

void SetModuleMessageFilter(HINSTANCE module, BOOL (*filter)(MSG*)) {
  std::lock_guard<std::mutex> guard(ModuleFilterLock());
  if (filter != nullptr) ModuleFilters()[module] = filter;
  else ModuleFilters().erase(module);
}

BOOL RunModuleMessageFilter(MSG* msg) {
  BOOL (*filter)(MSG*) = nullptr;
  {
    std::lock_guard<std::mutex> guard(ModuleFilterLock());
    auto it = ModuleFilters().find(t_resourceModule);
    if (it != ModuleFilters().end()) filter = it->second;
  }
  return filter != nullptr && filter(msg);
}

void RegisterDialogTemplate(int id, const DialogTemplate* tmpl) { Templates()[{t_resourceModule, id}] = tmpl; }

const DialogTemplate* FindDialogTemplate(int id) {
  auto it = Templates().find({t_resourceModule, id});
  if (it == Templates().end() && t_resourceModule != nullptr) it = Templates().find({nullptr, id});
  return it == Templates().end() ? nullptr : it->second;
}

void ForgetDialogTemplates(HINSTANCE module) {
  auto& map = Templates();
  for (auto it = map.lower_bound({module, INT_MIN}); it != map.end() && it->first.first == module;) it = map.erase(it);
}

HFONT DialogTemplateFont(const DialogTemplate& tmpl) { return FontFor(tmpl.fontFace, tmpl.pointSize); }

SIZE DialogBaseUnits(HFONT font) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  static const WCHAR kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE sz{};
  GetTextExtentPoint32W(dc, kLetters, 52, &sz);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  return SIZE{std::max<LONG>(1, (sz.cx / 26 + 1) / 2), std::max<LONG>(1, tm.tmHeight)};
}

BOOL MapDialogRect(HWND dlg, RECT* rect) {
  Dialog* d = Dialogs().Get(dlg);
  if (!d || !rect) return FALSE;
  rect->left = rect->left * d->base.cx / 4;
  rect->right = rect->right * d->base.cx / 4;
  rect->top = rect->top * d->base.cy / 8;
  rect->bottom = rect->bottom * d->base.cy / 8;
  return TRUE;
}

HWND CreateDialogIndirectParamW(HINSTANCE, const DialogTemplate* tmpl, HWND parent, DLGPROC proc, LPARAM param,
                                const std::function<void(HWND)>& created) {
  if (!tmpl) return nullptr;
  RegisterStandardControls();
  HFONT font = DialogTemplateFont(*tmpl);
  SIZE base = DialogBaseUnits(font);
  auto px = [&](int v) { return v * base.cx / 4; };
  auto py = [&](int v) { return v * base.cy / 8; };
  DWORD style = tmpl->style & ~WS_VISIBLE;
  bool child = (style & WS_CHILD) != 0;
  int x = px(tmpl->x), y = py(tmpl->y), cx = px(tmpl->cx), cy = py(tmpl->cy);
  // Frames the layer draws sit inside the window: grow by them so the client
  // area is the template's size.
  int inset = 0;
  if (style & WS_THICKFRAME) inset = GetSystemMetrics(SM_CXFRAME);
  else if ((style & WS_DLGFRAME) || (tmpl->exStyle & WS_EX_DLGMODALFRAME)) inset = GetSystemMetrics(SM_CXDLGFRAME);
  else if (style & WS_BORDER) inset = 1;
  if ((style & WS_CAPTION) == WS_CAPTION) inset = 0;  // the native frame is outside
  cx += 2 * inset, cy += 2 * inset;
  // Another process's window places the dialog but cannot own it (nor is
  // it disabled while the dialog runs).
  bool foreign = IsForeignHandle(parent);
  HWND root = foreign ? parent : GetAncestor(parent, GA_ROOT);
  RECT pr{};
  if (!child && parent && GetWindowRect(root, &pr)) {
    if (tmpl->style & DS_CENTER) x = pr.left + (pr.right - pr.left - cx) / 2, y = pr.top + (pr.bottom - pr.top - cy) / 2;
    else x += pr.left, y += pr.top;
  }
  HWND owner = parent && !child ? (foreign ? nullptr : root) : parent;
  HWND h = CreateWindowExW(tmpl->exStyle | WS_EX_CONTROLPARENT, WC_DIALOG, tmpl->caption ? tmpl->caption : u"", style,
                           x, y, cx, cy, owner, nullptr, nullptr, nullptr);
  if (!h) return nullptr;
  Dialog* d = Dialogs().Make(h);
  d->proc = proc;
  d->font = font;
  d->base = base;
  if (created) created(h);
  for (const DialogItem& it : tmpl->items) {
    DWORD s = it.style;
    if (!(s & WS_POPUP)) s |= WS_CHILD;
    HWND c = CreateWindowExW(it.exStyle, it.className, it.text ? it.text : u"", s, px(it.x), py(it.y), px(it.cx),
                             py(it.cy), h, reinterpret_cast<HMENU>(static_cast<INT_PTR>(it.id)), nullptr, nullptr);
    if (c) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  LRESULT focus = SendMessageW(h, WM_INITDIALOG, 0, param);
  if (!IsWindow(h)) return nullptr;
  // The default focus is given when the dialog is first activated (the
  // dialog is still hidden here).
  if (focus) {
    d = Dialogs().Get(h);
    if (d) {
      d->lastFocus = GetNextDlgTabItem(h, nullptr, FALSE);
      d->initialFocus = d->lastFocus != nullptr;
    }
  }
  if (tmpl->style & WS_VISIBLE) ShowWindow(h, SW_SHOW);
  return h;
}

INT_PTR RunModalDialog(HWND dlg, HWND owner, BOOL (*filter)(MSG*)) {
  if (!IsWindow(dlg)) return -1;
  HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  bool reenable = top && IsWindowEnabled(top);
  if (reenable) EnableWindow(top, FALSE);
  if (!IsWindowVisible(dlg)) ShowWindow(dlg, SW_SHOW);
  SetActiveWindow(dlg);
  MSG msg;
  bool quit = false;
  int quitCode = 0;
  while (IsWindow(dlg) && !IsDialogEnded(dlg)) {
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (RunModuleMessageFilter(&msg)) continue;
    if (filter && filter(&msg)) continue;
    if (IsDialogMessageW(dlg, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  INT_PTR result = -1;
  if (Dialog* d = Dialogs().Get(dlg)) result = d->ended ? d->result : IDCANCEL;
  if (reenable) EnableWindow(top, TRUE);
  if (IsWindow(dlg)) {
    ShowWindow(dlg, SW_HIDE);
    if (top && IsWindow(top)) SetActiveWindow(top);
  } else if (top && IsWindow(top)) {
    SetActiveWindow(top);
  }
  if (quit) PostQuitMessage(quitCode);  // the outer loop sees it too
  return result;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE inst, const DialogTemplate* tmpl, HWND parent, DLGPROC proc, LPARAM param,
                                const std::function<void(HWND)>& created) {
  HWND dlg = CreateDialogIndirectParamW(inst, tmpl, parent, proc, param, created);
  if (!dlg) return -1;
  INT_PTR r = RunModalDialog(dlg, parent);
  if (IsWindow(dlg)) DestroyWindow(dlg);
  return r;
}

BOOL EndDialog(HWND dlg, INT_PTR result) {
  Dialog* d = Dialogs().Get(dlg);
  if (!d) return FALSE;
  d->ended = true;
  d->result = result;
  PostMessageW(dlg, WM_NULL, 0, 0);  // wakes the modal loop
  return TRUE;
}

BOOL IsDialogEnded(HWND dlg) {
  Dialog* d = Dialogs().Get(dlg);
  return d && d->ended;
}

HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
  auto v = Controls(dlg);
  std::vector<HWND> stops;
  for (HWND c : v)
    if ((ctl::Style(c) & WS_TABSTOP) && Usable(c)) stops.push_back(c);
  if (stops.empty()) return nullptr;
  HWND from = ctl ? ControlHolding(dlg, ctl) : nullptr;
  // Position of the current control among all children.
  auto at = std::find(v.begin(), v.end(), from);
  if (at == v.end()) return previous ? stops.back() : stops.front();
  size_t i = static_cast<size_t>(at - v.begin());
  for (size_t step = 1; step <= v.size(); ++step) {
    size_t j = previous ? (i + v.size() - step) % v.size() : (i + step) % v.size();
    HWND c = v[j];
    if ((ctl::Style(c) & WS_TABSTOP) && Usable(c)) {
      // Within a group of radio buttons, Tab goes to the checked one.
      if (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
        for (HWND g = c; g; g = GetNextDlgGroupItem(dlg, g, FALSE)) {
          if (SendMessageW(g, BM_GETCHECK, 0, 0) == BST_CHECKED) return g;
          if (GetNextDlgGroupItem(dlg, g, FALSE) == c) break;
        }
      }
      return c;
    }
  }
  return from;
}

HWND GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous) {
  auto v = Controls(dlg);
  HWND from = ControlHolding(dlg, ctl);
  auto at = std::find(v.begin(), v.end(), from);
  if (at == v.end()) return nullptr;
  size_t i = static_cast<size_t>(at - v.begin());
  size_t start = i, end = i;
  while (start > 0 && !(ctl::Style(v[start]) & WS_GROUP)) --start;
  end = start + 1;
  while (end < v.size() && !(ctl::Style(v[end]) & WS_GROUP)) ++end;
  size_t n = end - start;
  for (size_t step = 1; step < n; ++step) {
    size_t j = start + (previous ? (i - start + n - step) % n : (i - start + step) % n);
    if (Usable(v[j])) return v[j];
  }
  return from;
}

BOOL IsDialogMessageW(HWND dlg, MSG* msg) {
  if (!msg || !dlg || !IsWindow(dlg)) return FALSE;
  if (msg->hwnd != dlg && !IsChild(dlg, msg->hwnd)) return FALSE;
  bool key = msg->message == WM_KEYDOWN || msg->message == WM_CHAR;
  if (key) {
    UINT vk = static_cast<UINT>(msg->wParam);
    LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (!(code & (DLGC_WANTMESSAGE | DLGC_WANTALLKEYS))) {
      if (msg->message == WM_CHAR) {
        if (vk == u'\t' || vk == u'\r' || vk == 0x1B) return TRUE;  // eaten: the key did the work
      } else {
        switch (vk) {
          case VK_TAB:
            if (code & DLGC_WANTTAB) break;
            FocusControl(dlg, GetNextDlgTabItem(dlg, msg->hwnd, GetKeyState(VK_SHIFT) < 0));
            return TRUE;
          case VK_RETURN: {
            HWND f = GetFocus();
            int id = 0;
            HWND ctl = nullptr;
            if (f && IsChild(dlg, f) && (SendMessageW(f, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
              ctl = f;
              id = GetDlgCtrlID(f);
            } else {
              id = LOWORD(SendMessageW(dlg, DM_GETDEFID, 0, 0));
              ctl = GetDlgItem(dlg, id);
            }
            if (ctl && !IsWindowEnabled(ctl)) return TRUE;
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(ctl));
            return TRUE;
          }
          case VK_ESCAPE: {
            HWND ctl = GetDlgItem(dlg, IDCANCEL);
            if (ctl && !IsWindowEnabled(ctl)) return TRUE;
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(ctl));
            return TRUE;
          }
          case VK_LEFT:
          case VK_UP:
          case VK_RIGHT:
          case VK_DOWN: {
            if (code & DLGC_WANTARROWS) break;
            HWND next = GetNextDlgGroupItem(dlg, msg->hwnd, vk == VK_LEFT || vk == VK_UP);
            if (next && next != ControlHolding(dlg, msg->hwnd)) {
              FocusControl(dlg, next);
              LRESULT nc = SendMessageW(next, WM_GETDLGCODE, 0, 0);
              if ((nc & DLGC_RADIOBUTTON) && (ctl::Style(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessageW(next, BM_CLICK, 0, 0);
            }
            return TRUE;
          }
          default:
            break;
        }
      }
    }
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}

BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) { return SetWindowTextW(GetDlgItem(dlg, id), text); }

UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR out, int capacity) {
  return static_cast<UINT>(GetWindowTextW(GetDlgItem(dlg, id), out, capacity));
}

BOOL SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned) {
  std::string s = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
  WString w(s.begin(), s.end());
  return SetDlgItemTextW(dlg, id, w.c_str());
}

UINT GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned) {
  WString t = GetWindowTextString(GetDlgItem(dlg, id));
  size_t i = 0;
  while (i < t.size() && t[i] == u' ') ++i;
  bool neg = false;
  if (isSigned && i < t.size() && t[i] == u'-') neg = true, ++i;
  long long v = 0;
  size_t digits = 0;
  for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9' && digits < 12; ++i, ++digits) v = v * 10 + (t[i] - u'0');
  bool ok = digits > 0 && digits < 12 && (isSigned ? v <= 2147483648LL : v <= 4294967295LL);
  if (translated) *translated = ok;
  if (!ok) return 0;
  return static_cast<UINT>(neg ? -v : v);
}

BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
  return SendMessageW(GetDlgItem(dlg, id), BM_SETCHECK, check, 0), TRUE;
}

UINT IsDlgButtonChecked(HWND dlg, int id) {
  return static_cast<UINT>(SendMessageW(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dlg, int firstId, int lastId, int checkId) {
  for (int id = firstId; id <= lastId; ++id)
    if (HWND c = GetDlgItem(dlg, id)) SendMessageW(c, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
  return TRUE;
}

LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND c = GetDlgItem(dlg, id);
  return c ? SendMessageW(c, msg, wParam, lParam) : 0;
}

// ---------------------------------------------------------------------------
// The message box: a dialog with the text (wrapped at 400 pixels), an icon
// for the MB_ICON* kinds and the buttons of the set, run modally on the UI
// thread (the window system forwards calls from other threads here and the
// caller waits for the answer).

namespace {

constexpr int kBoxTextId = 0xFFFF;

struct BoxInfo {
  UINT type;
  int icon;  // 0, MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK
};

INT_PTR BoxProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_COMMAND && HIWORD(w) == BN_CLICKED) {
    int id = LOWORD(w);
    if (id == IDCANCEL) {
      // Esc answers Cancel only when the box has a Cancel (or is OK only).
      UINT kind = static_cast<UINT>(GetWindowLongPtrW(h, GWLP_USERDATA)) & 0xF;
      if (kind == MB_YESNO) return TRUE;
      if (kind == MB_OK) id = IDOK;
    }
    EndDialog(h, id);
    return TRUE;
  }
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(h, GWLP_USERDATA, l);
    return TRUE;
  }
  if (msg == WM_PAINT) {
    UINT icon = static_cast<UINT>(GetWindowLongPtrW(h, GWLP_USERDATA)) & 0xF0;
    if (!icon) return FALSE;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    COLORREF fill = icon == MB_ICONHAND ? RGB(220, 40, 40)
                    : icon == MB_ICONEXCLAMATION ? RGB(250, 200, 30)
                                                 : RGB(40, 100, 220);
    HBRUSH b = CreateSolidBrush(fill);
    HGDIOBJ ob = SelectObject(dc, b);
    HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, 14, 14, 46, 46);
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(b);
    const WCHAR* mark = icon == MB_ICONHAND ? u"X" : icon == MB_ICONQUESTION ? u"?" : icon == MB_ICONEXCLAMATION ? u"!" : u"i";
    HFONT f = CreateFontW(-22, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"宋体");
    HGDIOBJ of = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, icon == MB_ICONEXCLAMATION ? RGB(0, 0, 0) : RGB(255, 255, 255));
    RECT r{14, 14, 46, 46};
    DrawTextW(dc, mark, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, of);
    DeleteObject(f);
    EndPaint(h, &ps);
    return TRUE;
  }
  return FALSE;
}

int ShowBox(HWND owner, const WString& text, const WString& caption, UINT type) {
  UINT kind = type & 0xF;
  UINT icon = type & 0xF0;
  struct Btn {
    int id;
    const WCHAR* label;
  };
  std::vector<Btn> buttons;
  switch (kind) {
    case MB_OKCANCEL: buttons = {{IDOK, u"确定"}, {IDCANCEL, u"取消"}}; break;
    case MB_YESNO: buttons = {{IDYES, u"是(&Y)"}, {IDNO, u"否(&N)"}}; break;
    case MB_YESNOCANCEL: buttons = {{IDYES, u"是(&Y)"}, {IDNO, u"否(&N)"}, {IDCANCEL, u"取消"}}; break;
    default: buttons = {{IDOK, u"确定"}}; break;
  }
  // Measure the text in the dialog font, in pixels, then build the template
  // in dialog units of that font.
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
  t.caption = caption.c_str();
  t.pointSize = 9;
  t.fontFace = u"宋体";
  HFONT font = DialogTemplateFont(t);
  SIZE base = DialogBaseUnits(font);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  RECT tr{0, 0, 400, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  auto dux = [&](int px) { return (px * 4 + base.cx - 1) / base.cx; };
  auto duy = [&](int px) { return (px * 8 + base.cy - 1) / base.cy; };
  int iconW = icon ? 60 : 14;
  int textW = std::max<int>(tr.right, 60), textH = std::max<int>(tr.bottom, icon ? 32 : base.cy);
  int btnW = dux(75), btnH = duy(23), gap = dux(8);
  int rowW = static_cast<int>(buttons.size()) * btnW + (static_cast<int>(buttons.size()) - 1) * gap;
  int cx = std::max(dux(iconW + textW + 20), rowW + 2 * dux(10));
  int textTop = duy(icon ? 22 : 16);
  int cy = textTop + duy(textH) + duy(16) + btnH + duy(10);
  t.cx = cx;
  t.cy = cy;
  t.items.push_back(DialogItem{kBoxTextId, WC_STATIC, text.c_str(), WS_VISIBLE | SS_LEFT | SS_NOPREFIX, dux(iconW),
                               textTop, dux(textW + 4), duy(textH)});
  int x = (cx - rowW) / 2;
  for (size_t i = 0; i < buttons.size(); ++i) {
    DWORD style = WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON | WS_GROUP : BS_PUSHBUTTON);
    t.items.push_back(DialogItem{buttons[i].id, WC_BUTTON, buttons[i].label, style, x, cy - btnH - duy(10), btnW, btnH});
    x += btnW + gap;
  }
  HWND parent = owner && IsWindow(owner) ? owner : GetActiveWindow();
  INT_PTR r = DialogBoxIndirectParamW(nullptr, &t, parent, BoxProc, static_cast<LPARAM>(type));
  if (r <= 0) return kind == MB_YESNO ? IDNO : IDCANCEL;
  return static_cast<int>(r);
}

}  // namespace

namespace ctl {
void RegisterDialogClass() {
  RegisterControlClass(WC_DIALOG, DialogProc, CS_DBLCLKS | CS_SAVEBITS);
}

void InstallMessageBox() { SetMessageBoxImplementation(ShowBox); }
}  // namespace ctl
