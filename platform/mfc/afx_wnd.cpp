// CWnd: handle map, creation through the creation hook, subclassing,
// message dispatch to the virtual handlers with reflection, and CWinApp.
#include "platform/mfc/afx.h"

#include "platform/kernel/debug_sink.h"
#include "platform/controls/win_controls.h"
#include "platform/kernel/kernel_files.h"
#include "platform/window/win_internal.h"

#include <QGuiApplication>

#include <cstdlib>
#include <mutex>
#include <typeinfo>
#include <unordered_map>
#include <vector>

namespace {

std::mutex& MapLock() {
  static std::mutex lock;
  return lock;
}
// The objects attached to windows, one map per resource module: a loaded
// library (a plug-in) attaching its own object to a window of the program
// does not replace the program's object. FromHandlePermanent answers from the
// calling thread's current module. Messages go to the window's owner: the
// object of the module that attached first (within one module the latest
// Attach, as before).
struct WindowMaps {
  std::unordered_map<HINSTANCE, std::unordered_map<HWND, CWnd*>> byModule;
  std::unordered_map<HWND, CWnd*> owner;
};
WindowMaps& Maps() {
  static auto* maps = new WindowMaps();
  return *maps;
}

// The object messages of hwnd are dispatched to.
CWnd* OwnerOf(HWND hwnd) {
  if (!hwnd) return nullptr;
  std::lock_guard<std::mutex> guard(MapLock());
  auto it = Maps().owner.find(hwnd);
  return it == Maps().owner.end() ? nullptr : it->second;
}
std::unordered_map<HWND, std::unique_ptr<CWnd>>& Temporary() {
  static auto* map = new std::unordered_map<HWND, std::unique_ptr<CWnd>>();
  return *map;
}

// The message each nested WindowProc call is handling, for Default().
struct CurrentMessage {
  CWnd* wnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT defResult = 0;
  bool defaulted = false;
};
thread_local std::vector<CurrentMessage> t_current;

CWnd* g_creating = nullptr;  // the object whose window is being created (UI thread)
HHOOK g_cbtHook = nullptr;
CWinApp* g_app = nullptr;

BOOL FilterMessage(MSG* msg) { return AfxPreTranslateMessage(msg); }

void EnsureDefaultClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSW wc;
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = CWnd::DefaultClassName();
    RegisterClassW(&wc);
    SetMessageFilter(FilterMessage);
  });
}

}  // namespace

LRESULT AfxCbtHook(int code, WPARAM wParam, LPARAM) {
  if (code != HCBT_CREATEWND || !g_creating) return 0;
  CWnd* wnd = g_creating;
  g_creating = nullptr;
  HWND hwnd = reinterpret_cast<HWND>(wParam);
  wnd->Attach(hwnd);
  wnd->PreSubclassWindow();
  auto old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
  if (old != AfxWndProc) wnd->m_pfnSuper = old;
  return 0;
}

LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = OwnerOf(hwnd);
  if (!wnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
  t_current.push_back(CurrentMessage{wnd, msg, wParam, lParam});
  LRESULT r = wnd->WindowProc(msg, wParam, lParam);
  t_current.pop_back();
  return r;
}

// ---------------------------------------------------------------------------
// Handle map.

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (temporary_ || !m_hWnd) return;
  if (::IsWindow(m_hWnd)) {
    // The window must not outlive its object: its procedure would reach a
    // destroyed object.
    ::DestroyWindow(m_hWnd);
  }
  Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  if (!hwnd) return nullptr;
  const HINSTANCE module = GetResourceModule();
  std::lock_guard<std::mutex> guard(MapLock());
  auto map = Maps().byModule.find(module);
  if (map == Maps().byModule.end()) return nullptr;
  auto it = map->second.find(hwnd);
  return it == map->second.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (CWnd* w = FromHandlePermanent(hwnd)) return w;
  std::lock_guard<std::mutex> guard(MapLock());
  auto& temps = Temporary();
  if (temps.size() > 256) {
    for (auto it = temps.begin(); it != temps.end();) {
      if (!::IsWindow(it->first))
        it = temps.erase(it);
      else
        ++it;
    }
  }
  auto it = temps.find(hwnd);
  if (it != temps.end()) return it->second.get();
  auto wnd = std::make_unique<CWnd>();
  wnd->m_hWnd = hwnd;
  wnd->temporary_ = true;
  CWnd* result = wnd.get();
  temps[hwnd] = std::move(wnd);
  return result;
}

BOOL CWnd::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd) return FALSE;
  m_hWnd = hwnd;
  module_ = GetResourceModule();
  std::lock_guard<std::mutex> guard(MapLock());
  WindowMaps& maps = Maps();
  maps.byModule[module_][hwnd] = this;
  auto owner = maps.owner.find(hwnd);
  if (owner == maps.owner.end() || owner->second->module_ == module_) maps.owner[hwnd] = this;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hwnd = m_hWnd;
  if (hwnd) {
    std::lock_guard<std::mutex> guard(MapLock());
    WindowMaps& maps = Maps();
    auto map = maps.byModule.find(module_);
    if (map != maps.byModule.end()) {
      auto it = map->second.find(hwnd);
      if (it != map->second.end() && it->second == this) map->second.erase(it);
      if (map->second.empty()) maps.byModule.erase(map);
    }
    auto owner = maps.owner.find(hwnd);
    if (owner != maps.owner.end() && owner->second == this) {
      maps.owner.erase(owner);
      // Another module's object for the window takes the messages over.
      for (auto& [module, windows] : maps.byModule) {
        auto other = windows.find(hwnd);
        if (other == windows.end()) continue;
        maps.owner[hwnd] = other->second;
        break;
      }
    }
  }
  m_hWnd = nullptr;
  return hwnd;
}

const WCHAR* CWnd::DefaultClassName() { return u"AfxWnd"; }

// ---------------------------------------------------------------------------
// Creation and subclassing.

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  void*) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, void* param) {
  HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(id)) : nullptr;
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr, menu, param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int w, int h,
                    HWND parent, HMENU idOrMenu, void* param) {
  if (HasUiThread() && !IsUiThread()) {
    BOOL ok = FALSE;
    RunOnUiThread([&] { ok = CreateEx(exStyle, className, windowName, style, x, y, w, h, parent, idOrMenu, param); });
    return ok;
  }
  if (m_hWnd) {
    OutputDebugStringA("CWnd::CreateEx: the object already has a window\n");
    return FALSE;
  }
  InitUiThread();
  EnsureDefaultClass();
  if (!g_cbtHook) g_cbtHook = SetWindowsHookExW(WH_CBT, AfxCbtHook, nullptr, 0);
  CREATESTRUCTW cs;
  cs.dwExStyle = exStyle;
  cs.lpszClass = className ? className : DefaultClassName();
  cs.lpszName = windowName;
  cs.style = static_cast<LONG>(style);
  cs.x = x;
  cs.y = y;
  cs.cx = w;
  cs.cy = h;
  cs.hwndParent = parent;
  cs.hMenu = idOrMenu;
  cs.lpCreateParams = param;
  if (!PreCreateWindow(cs)) return FALSE;
  g_creating = this;
  HWND hwnd = CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                              cs.cx, cs.cy, cs.hwndParent, cs.hMenu, nullptr, cs.lpCreateParams);
  g_creating = nullptr;
  if (!hwnd && m_hWnd) Detach();
  return hwnd != nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
  // A window taken over (a modeless dialog's, say) gets the framework's
  // PreTranslateMessage in every loop, as one the framework created does.
  EnsureDefaultClass();
  if (!Attach(hwnd)) return FALSE;
  PreSubclassWindow();
  auto old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
  if (old != AfxWndProc) m_pfnSuper = old;
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (!parent) return FALSE;
  HWND child = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
  return child ? SubclassWindow(child) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (!m_hWnd) return nullptr;
  if (m_pfnSuper) SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  m_pfnSuper = nullptr;
  return Detach();
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTW&) { return TRUE; }
void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}
BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

// ---------------------------------------------------------------------------
// Dispatch.

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  // The default handling may dispatch nested messages, which grow the
  // record stack: keep an index, never a reference, across the call.
  for (size_t i = t_current.size(); i-- > 0;) {
    if (t_current[i].wnd != this) continue;
    CurrentMessage m = t_current[i];
    LRESULT r = DefWindowProc(m.msg, m.wParam, m.lParam);
    if (i < t_current.size()) {
      t_current[i].defResult = r;
      t_current[i].defaulted = true;
    }
    return r;
  }
  return 0;
}

namespace {
CurrentMessage* Current(CWnd* wnd) {
  for (auto it = t_current.rbegin(); it != t_current.rend(); ++it)
    if (it->wnd == wnd) return &*it;
  return nullptr;
}

// Runs a handler that returns nothing; the message's result is what the
// default handling gave, or 0 when the handler did not call it.
template <class Fn>
LRESULT VoidHandler(CWnd* wnd, Fn fn) {
  CurrentMessage* cur = Current(wnd);
  if (cur) {
    cur->defaulted = false;
    cur->defResult = 0;
  }
  fn();
  cur = Current(wnd);
  return cur && cur->defaulted ? cur->defResult : 0;
}

BOOL Reflect(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  CWnd* c = OwnerOf(child);
  return c && c->OnChildNotify(message, wParam, lParam, result);
}
}  // namespace

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  CPoint pt(lParam);
  UINT flags = static_cast<UINT>(wParam);
  switch (message) {
    case WM_CREATE:
      *result = OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
      return TRUE;
    case WM_DESTROY:
      *result = VoidHandler(this, [&] { OnDestroy(); });
      return TRUE;
    case WM_NCDESTROY: {
      *result = VoidHandler(this, [&] { OnNcDestroy(); });
      if (g_app && g_app->m_pMainWnd == this) {
        g_app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
      }
      Detach();
      PostNcDestroy();  // may delete this
      return TRUE;
    }
    case WM_CLOSE:
      *result = VoidHandler(this, [&] { OnClose(); });
      return TRUE;
    case WM_PAINT:
      if (wParam) return FALSE;  // painting into a given DC is the class procedure's business
      *result = VoidHandler(this, [&] { OnPaint(); });
      return TRUE;
    case WM_ERASEBKGND:
      *result = OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));
      return TRUE;
    case WM_SIZE:
      *result = VoidHandler(this, [&] { OnSize(flags, LOWORD(static_cast<std::uintptr_t>(lParam)), HIWORD(static_cast<std::uintptr_t>(lParam))); });
      return TRUE;
    case WM_MOVE:
      *result = VoidHandler(this, [&] { OnMove(pt.x, pt.y); });
      return TRUE;
    case WM_TIMER:
      *result = VoidHandler(this, [&] { OnTimer(wParam); });
      return TRUE;
    case WM_MOUSEMOVE:
      *result = VoidHandler(this, [&] { OnMouseMove(flags, pt); });
      return TRUE;
    case WM_LBUTTONDOWN:
      *result = VoidHandler(this, [&] { OnLButtonDown(flags, pt); });
      return TRUE;
    case WM_LBUTTONUP:
      *result = VoidHandler(this, [&] { OnLButtonUp(flags, pt); });
      return TRUE;
    case WM_LBUTTONDBLCLK:
      *result = VoidHandler(this, [&] { OnLButtonDblClk(flags, pt); });
      return TRUE;
    case WM_RBUTTONDOWN:
      *result = VoidHandler(this, [&] { OnRButtonDown(flags, pt); });
      return TRUE;
    case WM_RBUTTONUP:
      *result = VoidHandler(this, [&] { OnRButtonUp(flags, pt); });
      return TRUE;
    case WM_RBUTTONDBLCLK:
      *result = VoidHandler(this, [&] { OnRButtonDblClk(flags, pt); });
      return TRUE;
    case WM_CONTEXTMENU:
      *result = VoidHandler(this, [&] {
        OnContextMenu(FromHandle(reinterpret_cast<HWND>(wParam)),
                      CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
      });
      return TRUE;
    case WM_MBUTTONDOWN:
      *result = VoidHandler(this, [&] { OnMButtonDown(flags, pt); });
      return TRUE;
    case WM_MBUTTONUP:
      *result = VoidHandler(this, [&] { OnMButtonUp(flags, pt); });
      return TRUE;
    case WM_MOUSEWHEEL:
      *result = OnMouseWheel(LOWORD(wParam), GET_WHEEL_DELTA_WPARAM(wParam), pt);
      return TRUE;
    case WM_MOUSELEAVE:
      *result = VoidHandler(this, [&] { OnMouseLeave(); });
      return TRUE;
    case WM_MOUSEHOVER:
      *result = VoidHandler(this, [&] { OnMouseHover(flags, pt); });
      return TRUE;
    case WM_KEYDOWN:
      *result = VoidHandler(this, [&] {
        OnKeyDown(flags, LOWORD(static_cast<std::uintptr_t>(lParam)), HIWORD(static_cast<std::uintptr_t>(lParam)));
      });
      return TRUE;
    case WM_KEYUP:
      *result = VoidHandler(this, [&] {
        OnKeyUp(flags, LOWORD(static_cast<std::uintptr_t>(lParam)), HIWORD(static_cast<std::uintptr_t>(lParam)));
      });
      return TRUE;
    case WM_CHAR:
      *result = VoidHandler(this, [&] {
        OnChar(flags, LOWORD(static_cast<std::uintptr_t>(lParam)), HIWORD(static_cast<std::uintptr_t>(lParam)));
      });
      return TRUE;
    case WM_SETFOCUS:
      *result = VoidHandler(this, [&] { OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam))); });
      return TRUE;
    case WM_KILLFOCUS:
      *result = VoidHandler(this, [&] { OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam))); });
      return TRUE;
    case WM_SETCURSOR:
      *result = OnSetCursor(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(static_cast<std::uintptr_t>(lParam)),
                            HIWORD(static_cast<std::uintptr_t>(lParam)));
      return TRUE;
    case WM_SHOWWINDOW:
      *result = VoidHandler(this, [&] { OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); });
      return TRUE;
    case WM_ENABLE:
      *result = VoidHandler(this, [&] { OnEnable(static_cast<BOOL>(wParam)); });
      return TRUE;
    case WM_CAPTURECHANGED:
      *result = VoidHandler(this, [&] { OnCaptureChanged(FromHandle(reinterpret_cast<HWND>(lParam))); });
      return TRUE;
    case WM_ACTIVATE:
      *result = VoidHandler(this, [&] {
        OnActivate(LOWORD(wParam), FromHandle(reinterpret_cast<HWND>(lParam)), HIWORD(wParam));
      });
      return TRUE;
    case WM_GETMINMAXINFO:
      *result = VoidHandler(this, [&] { OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); });
      return TRUE;
    case WM_NCPAINT:
      *result = VoidHandler(this, [&] { OnNcPaint(); });
      return TRUE;
    case WM_WINDOWPOSCHANGING:
      *result = VoidHandler(this, [&] { OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam)); });
      return TRUE;
    case WM_WINDOWPOSCHANGED:
      *result = VoidHandler(this, [&] { OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam)); });
      return TRUE;
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) {
        *result = 0;
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      if (hdr && Reflect(hdr->hwndFrom, message, wParam, lParam, result)) return TRUE;
      *result = 0;
      return OnNotify(wParam, lParam, result);
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
      if (dis && dis->CtlType != ODT_MENU && Reflect(dis->hwndItem, message, wParam, lParam, result)) return TRUE;
      *result = VoidHandler(this, [&] { OnDrawItem(static_cast<int>(wParam), dis); });
      return TRUE;
    }
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
      if (mis && mis->CtlType != ODT_MENU &&
          Reflect(::GetDlgItem(m_hWnd, static_cast<int>(mis->CtlID)), message, wParam, lParam, result))
        return TRUE;
      *result = VoidHandler(this, [&] { OnMeasureItem(static_cast<int>(wParam), mis); });
      return TRUE;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      HWND ctrl = reinterpret_cast<HWND>(lParam);
      if (ctrl != m_hWnd && Reflect(ctrl, message, wParam, lParam, result)) return TRUE;
      *result = reinterpret_cast<LRESULT>(OnCtlColor(CDC::FromHandle(reinterpret_cast<HDC>(wParam)), FromHandle(ctrl),
                                                     message - WM_CTLCOLORMSGBOX));
      return TRUE;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
      HWND bar = reinterpret_cast<HWND>(lParam);
      if (bar && Reflect(bar, message, wParam, lParam, result)) return TRUE;
      *result = VoidHandler(this, [&] {
        if (message == WM_HSCROLL)
          OnHScroll(LOWORD(wParam), HIWORD(wParam), FromHandle(bar));
        else
          OnVScroll(LOWORD(wParam), HIWORD(wParam), FromHandle(bar));
      });
      return TRUE;
    }
    default:
      return FALSE;
  }
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  HWND ctrl = reinterpret_cast<HWND>(lParam);
  LRESULT r = 0;
  if (ctrl && Reflect(ctrl, WM_COMMAND, wParam, lParam, &r)) return TRUE;
  return OnCmdMsg(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
}

BOOL CWnd::OnCmdMsg(UINT, int) { return FALSE; }
BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }
BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnRButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnMButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnMButtonUp(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
void CWnd::OnMouseLeave() { Default(); }
void CWnd::OnMouseHover(UINT, CPoint) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnEnable(BOOL) { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CWnd*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CWnd*) { Default(); }
// Owner-drawn menu items go to the CMenu object that owns the menu handle
// (afx_ctl.cpp); other items get default handling.
BOOL AfxDrawMenuItem(LPDRAWITEMSTRUCT dis);
BOOL AfxMeasureMenuItem(LPMEASUREITEMSTRUCT mis);
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT dis) {
  if (dis && dis->CtlType == ODT_MENU && AfxDrawMenuItem(dis)) return;
  Default();
}
void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT mis) {
  if (mis && mis->CtlType == ODT_MENU && AfxMeasureMenuItem(mis)) return;
  Default();
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
void CWnd::OnNcPaint() { Default(); }

// ---------------------------------------------------------------------------
// Operations.

DWORD CWnd::GetStyle() const { return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }

namespace {
BOOL Modify(HWND hwnd, int index, DWORD remove, DWORD add, UINT swpFlags) {
  DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, index));
  DWORD now = (style & ~remove) | add;
  if (now == style) return FALSE;
  SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(now));
  if (swpFlags)
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
  return TRUE;
}
}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) { return Modify(m_hWnd, GWL_STYLE, remove, add, swpFlags); }
BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) {
  return Modify(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

void CWnd::ClientToScreen(RECT* rc) const {
  POINT a{rc->left, rc->top}, b{rc->right, rc->bottom};
  ::ClientToScreen(m_hWnd, &a);
  ::ClientToScreen(m_hWnd, &b);
  *rc = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::ScreenToClient(RECT* rc) const {
  POINT a{rc->left, rc->top}, b{rc->right, rc->bottom};
  ::ScreenToClient(m_hWnd, &a);
  ::ScreenToClient(m_hWnd, &b);
  *rc = RECT{a.x, a.y, b.x, b.y};
}

BOOL CWnd::SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
  HWND insert = after == nullptr ? HWND_TOP : after->m_hWnd;
  return ::SetWindowPos(m_hWnd, insert, x, y, cx, cy, flags);
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw);
}

CFont* CWnd::GetFont() const {
  auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
  return font ? CFont::FromHandle(font) : nullptr;
}

CDC* CWnd::GetDC() {
  HDC dc = ::GetDC(m_hWnd);
  if (!dc) return nullptr;
  auto* wrapper = new CDC;
  wrapper->Attach(dc);
  return wrapper;
}

CDC* CWnd::GetWindowDC() {
  HDC dc = ::GetWindowDC(m_hWnd);
  if (!dc) return nullptr;
  auto* wrapper = new CDC;
  wrapper->Attach(dc);
  return wrapper;
}

int CWnd::ReleaseDC(CDC* dc) {
  if (!dc) return 0;
  int r = ::ReleaseDC(m_hWnd, dc->Detach());
  delete dc;
  return r;
}

// ---------------------------------------------------------------------------
// The application.

CWinApp::CWinApp() { g_app = this; }
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

BOOL CWinApp::PreTranslateMessage(MSG*) { return FALSE; }

BOOL AfxPreTranslateMessage(MSG* msg) {
  for (HWND h = msg->hwnd; h; h = (GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr) {
    CWnd* w = CWnd::FromHandlePermanent(h);
    if (w && w->PreTranslateMessage(msg)) return TRUE;
  }
  return g_app && g_app->PreTranslateMessage(msg);
}

int CWinApp::Run() {
  EnsureDefaultClass();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (RunModuleMessageFilter(&msg) || AfxPreTranslateMessage(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return ExitInstance();
}

int AfxWinMain(int argc, char** argv) {
  // Every relative "res\\..." path of the windows is read beside the program.
  if (!EnterProgramFolder()) OutputDebugStringA("AfxWinMain: cannot enter the program folder\n");
  static int qtArgc = argc;
  if (!QCoreApplication::instance()) new QGuiApplication(qtArgc, argv);
  LoadDefaultFontAliases();
  InitUiThread();
  EnsureDefaultClass();
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (!platform || std::string(platform) != "offscreen") EnableScreenHost();
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
