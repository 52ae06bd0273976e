// The window system: handles, the window tree and its lifetime (classes,
// creation, destruction, geometry, hit testing), the host and desktop
// access, and message boxes. The other jobs live beside it (win_queue.cpp,
// win_defproc.cpp, win_paint.cpp, win_input.cpp, win_caret.cpp,
// win_timer.cpp, win_hooks.cpp); win_system.h holds what they share.
//
// Design: one record per window in a map from handle to record, guarded by
// the layer's recursive lock. The lock is held only while records are read
// or changed, never while a window procedure runs, so a procedure may call
// any layer function and other threads are never blocked by a handler.
// Windows are created, changed and destroyed on the UI thread; other threads
// hand such calls to it (RunOnUiThread) and wait. Posting, invalidation and
// timers change records under the lock from any thread and wake the UI
// thread.
//
// Queue order, as the platform takes messages: cross-thread calls first,
// then posted and input messages in order, then WM_PAINT for the first
// invalid window in tree order (parents before children), then due timers.
#include "platform/window/win_system.h"
#include "platform/window/win_icons.h"
#include "platform/window/win_remote.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

using namespace winsys;

namespace winsys {

Wm& W() {
  static Wm* wm = new Wm;
  return *wm;
}


Win* Find(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto& m = W().windows;
  auto it = m.find(hwnd);
  if (it == m.end()) return nullptr;
  return it->second.get();
}

WString Lower(const WString& s) {
  WString out = s;
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return out;
}

WString FromZ(LPCWSTR s) {
  if (!s) return WString();
  if (reinterpret_cast<std::uintptr_t>(s) < 0x10000) return WString();
  return WString(s);
}

void Trace(const char* text) {
  std::string line(text);
  line += '\n';
  OutputDebugStringA(line.c_str());
}

// Wakes the UI thread, whether it waits on the layer's condition or in
// Qt's event loop. Qt's loop is woken through an event descriptor that it
// watches (a write is all another thread does: no Qt object is touched off
// the UI thread); one pending wake-up at a time is enough.
void WakeUi() {
  Wm& w = W();
  w.wake.notify_all();
  int fd = w.wakeFd.load();
  if (fd >= 0 && !w.wakePosted.exchange(true)) {
    uint64_t one = 1;
    ssize_t n = write(fd, &one, sizeof one);
    (void)n;
  }
}

// Non-client insets (frame) of a window.
int InsetLocked(const Win* w) {
  if (!w->Child() && (w->style & WS_CAPTION) == WS_CAPTION) return 0;  // the native frame stands in
  int n = 0;
  if (w->style & WS_THICKFRAME)
    n = 4;
  else if (w->style & WS_DLGFRAME)
    n = 3;
  else if (w->style & WS_BORDER)
    n = 1;
  if (w->exStyle & WS_EX_CLIENTEDGE) n += 2;
  if (w->exStyle & WS_EX_STATICEDGE) n += 1;
  if ((w->exStyle & WS_EX_DLGMODALFRAME) && !(w->style & (WS_THICKFRAME | WS_DLGFRAME))) n += 3;
  return n;
}

QRect ClientRectOfLocked(const Win* w) {
  int n = InsetLocked(w);
  return QRect(0, 0, std::max(0, w->rect.width() - 2 * n), std::max(0, w->rect.height() - 2 * n));
}

Win* TopOfLocked(Win* w) {
  while (w && w->Child()) w = Find(w->parent);
  return w;
}

// Position of the window's top-left corner in its top-level picture.
QPoint OriginInTopLocked(Win* w) {
  QPoint p(0, 0);
  while (w && w->Child()) {
    p += w->rect.topLeft();
    Win* parent = Find(w->parent);
    if (!parent) break;
    int n = InsetLocked(parent);
    p += QPoint(n, n);
    w = parent;
  }
  return p;
}

// Position of the window's client origin in screen coordinates.
QPoint ClientOriginOnScreenLocked(Win* w) {
  Win* top = TopOfLocked(w);
  QPoint p = OriginInTopLocked(w) + QPoint(InsetLocked(w), InsetLocked(w));
  if (top) p += top->rect.topLeft();
  return p;
}

bool VisibleChainLocked(Win* w) {
  while (w) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!w->Child()) return true;
    w = Find(w->parent);
  }
  return false;
}

bool RedrawChainLocked(Win* w) {
  while (w) {
    if (!w->redraw) return false;
    if (!w->Child()) return true;
    w = Find(w->parent);
  }
  return true;
}

// The region of the top-level picture that the window may draw on.
QRegion VisibleRegionLocked(Win* w, bool client) {
  QPoint org = OriginInTopLocked(w);
  int n = InsetLocked(w);
  QRect area = client ? QRect(org + QPoint(n, n), ClientRectOfLocked(w).size()) : QRect(org, w->rect.size());
  QRegion r(area);
  Win* c = w;
  while (c && c->Child()) {
    Win* p = Find(c->parent);
    if (!p) break;
    QPoint porg = OriginInTopLocked(p);
    int pn = InsetLocked(p);
    r &= QRegion(QRect(porg + QPoint(pn, pn), ClientRectOfLocked(p).size()));
    if (c->style & WS_CLIPSIBLINGS) {
      for (HWND sib : p->children) {
        if (sib == c->hwnd) break;
        Win* s = Find(sib);
        if (s && (s->style & WS_VISIBLE)) r -= QRegion(QRect(OriginInTopLocked(s), s->rect.size()));
      }
    }
    c = p;
  }
  if (client && (w->style & WS_CLIPCHILDREN)) {
    for (HWND ch : w->children) {
      Win* s = Find(ch);
      if (s && (s->style & WS_VISIBLE)) r -= QRegion(QRect(OriginInTopLocked(s), s->rect.size()));
    }
  }
  return r;
}

// children: the children the region covers are invalidated as well unless
// the window has WS_CLIPCHILDREN; allChildren (RDW_ALLCHILDREN): whatever
// the styles, all the way down.
void InvalidateLocked(Win* w, const QRegion& clientRgn, bool erase, bool children, bool allChildren) {
  if (!w || w->destroying) return;
  QRegion r = clientRgn & QRegion(ClientRectOfLocked(w));
  if (r.isEmpty()) return;
  w->update |= r;
  if (erase) w->erase = true;
  if (!allChildren && (!children || (w->style & WS_CLIPCHILDREN))) return;
  for (HWND ch : w->children) {
    Win* c = Find(ch);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    int n = InsetLocked(c);
    QRegion part = r & QRegion(c->rect);
    if (part.isEmpty()) continue;
    c->ncDirty = true;
    InvalidateLocked(c, part.translated(-c->rect.topLeft() - QPoint(n, n)), erase, true, allChildren);
  }
}

// Invalidates the part of the parent (or nothing for top-level windows)
// that a window covered at rect.
void ExposeParentLocked(Win* w, const QRect& rect) {
  if (!w->Child()) return;
  Win* p = Find(w->parent);
  if (!p) return;
  InvalidateLocked(p, QRegion(rect), true, true);
}

void FullInvalidateLocked(Win* w) {
  w->ncDirty = true;
  InvalidateLocked(w, QRegion(ClientRectOfLocked(w)), true, true);
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc;
  std::vector<HOOKPROC> hooks;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return 0;
    proc = w->proc;
    for (auto& [h, rec] : W().hooks)
      if (rec.kind == WH_CALLWNDPROC) hooks.push_back(rec.proc);
  }
  if (!hooks.empty()) {
    CWPSTRUCT cwp{lParam, wParam, msg, hwnd};
    for (HOOKPROC hp : hooks) hp(0, 0, reinterpret_cast<LPARAM>(&cwp));
  }
  if (!proc) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return proc(hwnd, msg, wParam, lParam);
}

// Tells the host that native children in the tree of hwnd may have moved.
void NotifyNativeChildren(HWND hwnd) {
  ScreenHost* host;
  std::vector<HWND> natives;
  {
    Guard g(W().lock);
    host = W().host;
    std::vector<HWND> stack{hwnd};
    while (!stack.empty()) {
      Win* w = Find(stack.back());
      stack.pop_back();
      if (!w) continue;
      if (w->nativeChild) natives.push_back(w->hwnd);
      stack.insert(stack.end(), w->children.begin(), w->children.end());
    }
  }
  for (HWND h : natives) {
    if (host) host->NativeChildChanged(h);
    EmbeddingSlotChanged(h);  // a client in another process follows
  }
}

void NotifyHost(HWND top) {
  ScreenHost* host;
  {
    Guard g(W().lock);
    host = W().host;
    Win* w = Find(top);
    if (!w || w->Child()) return;
  }
  if (host) host->TopLevelChanged(top);
}

void PaintNonClient(HWND hwnd) {
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w || !w->ncDirty) return;
    w->ncDirty = false;
    if (InsetLocked(w) == 0) return;
  }
  SendMessageW(hwnd, WM_NCPAINT, 1, 0);
}

void DrawNonClientLocked(Win* w, HWND hwnd) {
  w->ncDirty = false;
  if (InsetLocked(w) == 0) return;
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  RECT r{0, 0, w->rect.width(), w->rect.height()};
  if (w->style & WS_THICKFRAME) {
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    for (int i = 0; i < 2; ++i) {
      FrameRect(dc, &r, face);
      r.left++, r.top++, r.right--, r.bottom--;
    }
  } else if (w->style & WS_DLGFRAME || ((w->exStyle & WS_EX_DLGMODALFRAME))) {
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    r.left++, r.top++, r.right--, r.bottom--;
  } else if (w->style & WS_BORDER) {
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    r.left++, r.top++, r.right--, r.bottom--;
  }
  if (w->exStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (w->exStyle & WS_EX_STATICEDGE) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  ReleaseDC(hwnd, dc);
}

HWND FirstInvalidLocked(HWND hwnd) {
  Win* w = Find(hwnd);
  if (!w || !(w->style & WS_VISIBLE) || !w->redraw) return nullptr;
  if (!w->update.isEmpty() || (w->ncDirty && InsetLocked(w) > 0)) return hwnd;
  for (HWND ch : w->children) {
    if (HWND found = FirstInvalidLocked(ch)) return found;
  }
  return nullptr;
}

HWND NextPaintWindowLocked() {
  for (HWND top : W().topLevels) {
    if (HWND h = FirstInvalidLocked(top)) return h;
  }
  return nullptr;
}

bool UiThreadHere() {
  Wm& w = W();
  return !w.hasUiThread || w.uiThread == std::this_thread::get_id();
}


void RunCalls() {
  Wm& w = W();
  for (;;) {
    std::shared_ptr<CrossCall> call;
    {
      Guard g(w.lock);
      if (w.calls.empty()) return;
      call = w.calls.front();
      w.calls.pop_front();
    }
    call->fn();
    {
      Guard g(w.lock);
      call->done = true;
    }
    w.wake.notify_all();
  }
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && m.hwnd != hwnd && !IsChild(hwnd, m.hwnd)) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

void FlushScreens() {
  ScreenHost* host;
  std::vector<HWND> dirty;
  {
    Guard g(W().lock);
    host = W().host;
    if (!host) return;
    for (HWND top : W().topLevels) {
      Win* w = Find(top);
      if (w && w->screenDirty.exchange(false)) dirty.push_back(top);
    }
  }
  for (HWND h : dirty) host->Flush(h);
}

UINT KeyFlagsLocked() {
  Wm& w = W();
  UINT f = 0;
  if (w.keys[VK_LBUTTON] & 0x80) f |= MK_LBUTTON;
  if (w.keys[VK_RBUTTON] & 0x80) f |= MK_RBUTTON;
  if (w.keys[VK_MBUTTON] & 0x80) f |= MK_MBUTTON;
  if (w.keys[VK_SHIFT] & 0x80) f |= MK_SHIFT;
  if (w.keys[VK_CONTROL] & 0x80) f |= MK_CONTROL;
  return f;
}

void PostLocked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = static_cast<DWORD>(UiTickCount64());
  m.pt = W().mouse;
  W().posted.push_back(m);
}

}  // namespace winsys

namespace winsys {
std::atomic<BOOL (*)(MSG*)> g_messageFilter{nullptr};
}  // namespace winsys

void SetMessageFilter(BOOL (*filter)(MSG*)) { g_messageFilter = filter; }

namespace winsys {
void DrawCaret(bool on);
}  // namespace winsys


// ---------------------------------------------------------------------------
// Classes.

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  Guard g(W().lock);
  WString key = Lower(FromZ(wc->lpszClassName));
  auto it = W().classes.find(key);
  if (it != W().classes.end()) return it->second->atom;
  auto rec = std::make_unique<ClassRec>();
  rec->name = FromZ(wc->lpszClassName);
  rec->style = wc->style;
  rec->proc = wc->lpfnWndProc;
  rec->background = wc->hbrBackground;
  rec->cursor = wc->hCursor;
  rec->atom = W().nextAtom++;
  ATOM atom = rec->atom;
  W().classes[key] = std::move(rec);
  return atom;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* out) {
  Guard g(W().lock);
  auto it = W().classes.find(Lower(FromZ(className)));
  if (it == W().classes.end()) return FALSE;
  if (out) {
    out->style = it->second->style;
    out->lpfnWndProc = it->second->proc;
    out->hbrBackground = it->second->background;
    out->hCursor = it->second->cursor;
    out->lpszClassName = it->second->name.c_str();
  }
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR out, int capacity) {
  if (!out || capacity <= 0) return 0;
  return WithWin(hwnd, 0, [&](Win& w) {
    int n = std::min<int>(static_cast<int>(w.cls->name.size()), capacity - 1);
    std::copy(w.cls->name.begin(), w.cls->name.begin() + n, out);
    out[n] = 0;
    return n;
  });
}

// ---------------------------------------------------------------------------
// Creation and destruction.

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int cx,
                     int cy, HWND parent, HMENU hMenu, HINSTANCE hInstance, void* param) {
  if (!UiThreadHere()) {
    return OnUi([&] {
      return CreateWindowExW(exStyle, className, windowName, style, x, y, cx, cy, parent, hMenu, hInstance, param);
    });
  }
  InitUiThread();
  RegisterStandardControls();  // the controls' classes exist before any window
  HWND hwnd;
  {
    Guard g(W().lock);
    auto it = W().classes.find(Lower(FromZ(className)));
    if (it == W().classes.end()) {
      Trace("CreateWindowExW: class not registered");
      return nullptr;
    }
    if ((style & WS_CHILD) && !Find(parent)) {
      Trace("CreateWindowExW: child window without a valid parent");
      return nullptr;
    }
    auto win = std::make_unique<Win>();
    hwnd = reinterpret_cast<HWND>(HandleInstanceBits() | W().nextHandle);
    W().nextHandle += 4;
    win->hwnd = hwnd;
    win->cls = it->second.get();
    win->proc = win->cls->proc;
    win->style = style;
    win->exStyle = exStyle;
    win->text = FromZ(windowName);
    win->rect = QRect(x, y, std::max(cx, 0), std::max(cy, 0));
    if (style & WS_CHILD) {
      win->parent = parent;
      win->id = reinterpret_cast<UINT_PTR>(hMenu);
      Find(parent)->children.push_back(hwnd);  // new children go to the bottom
    } else {
      win->owner = parent;
      win->backing = std::make_unique<QImage>(std::max(cx, 1), std::max(cy, 1), QImage::Format_RGB32);
      win->backing->fill(0xFFFFFFFFu);
      W().topLevels.insert(W().topLevels.begin(), hwnd);
    }
    W().windows[hwnd] = std::move(win);
  }
  CREATESTRUCTW cs;
  cs.lpCreateParams = param;
  cs.hInstance = hInstance;
  cs.hMenu = hMenu;
  cs.hwndParent = parent;
  cs.cx = cx;
  cs.cy = cy;
  cs.x = x;
  cs.y = y;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  // Creation hooks see the window before its first message.
  std::vector<HOOKPROC> cbt;
  {
    Guard g(W().lock);
    for (auto& [h, rec] : W().hooks)
      if (rec.kind == WH_CBT) cbt.push_back(rec.proc);
  }
  CBT_CREATEWNDW info{&cs, nullptr};
  for (HOOKPROC hp : cbt) {
    if (hp(HCBT_CREATEWND, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(&info)) != 0) {
      DestroyWindow(hwnd);
      return nullptr;
    }
  }
  if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  QSize client;
  QPoint pos;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return nullptr;
    w->created = true;
    client = ClientRectOfLocked(w).size();
    pos = w->rect.topLeft();
  }
  SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.width(), client.height()));
  SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(pos.x(), pos.y()));
  bool topVisible = false, activate = false;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_VISIBLE) {
      FullInvalidateLocked(w);
      topVisible = !w->Child();
    }
    activate = topVisible && !(w->exStyle & WS_EX_NOACTIVATE);
  }
  if (topVisible) NotifyHost(hwnd);
  if (activate) SetActiveWindow(hwnd);
  return hwnd;
}

namespace winsys {

void CollectTreeLocked(HWND hwnd, std::vector<HWND>* out) {
  Win* w = Find(hwnd);
  if (!w) return;
  out->push_back(hwnd);
  for (HWND ch : w->children) CollectTreeLocked(ch, out);
}

}  // namespace winsys

BOOL DestroyWindow(HWND hwnd) {
  if (!UiThreadHere()) return OnUi([&] { return DestroyWindow(hwnd); });
  // Windows it owns (pop-ups, dialogs) go first.
  std::vector<HWND> owned;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w || w->destroying) return FALSE;
    for (HWND top : W().topLevels) {
      Win* t = Find(top);
      if (t && t->owner == hwnd && !t->destroying) owned.push_back(top);
    }
  }
  for (HWND h : owned) DestroyWindow(h);
  std::vector<HWND> tree;
  bool wasVisible = false;
  HWND parent = nullptr;
  QRect rect;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w || w->destroying) return FALSE;
    CollectTreeLocked(hwnd, &tree);
    for (HWND h : tree) Find(h)->destroying = true;
    wasVisible = (w->style & WS_VISIBLE) != 0;
    parent = w->Child() ? w->parent : nullptr;
    rect = w->rect;
    if (wasVisible && w->Child()) ExposeParentLocked(w, rect);
  }
  // Hooks see the destruction first.
  std::vector<HOOKPROC> cbt;
  {
    Guard g(W().lock);
    for (auto& [h, rec] : W().hooks)
      if (rec.kind == WH_CBT) cbt.push_back(rec.proc);
  }
  for (HOOKPROC hp : cbt) hp(HCBT_DESTROYWND, reinterpret_cast<WPARAM>(hwnd), 0);
  // Focus and capture leave the tree first.
  {
    HWND focus, capture;
    {
      Guard g(W().lock);
      focus = W().focus;
      capture = W().capture;
    }
    if (capture && std::find(tree.begin(), tree.end(), capture) != tree.end()) ReleaseCapture();
    if (focus && std::find(tree.begin(), tree.end(), focus) != tree.end()) {
      Guard g(W().lock);
      W().focus = nullptr;
    }
  }
  for (HWND h : tree) CallProc(h, WM_DESTROY, 0, 0);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) CallProc(*it, WM_NCDESTROY, 0, 0);
  ScreenHost* host = nullptr;
  bool top = false;
  std::vector<HWND> natives;
  {
    Guard g(W().lock);
    Wm& wm = W();
    Win* w = Find(hwnd);
    top = w && !w->Child();
    host = wm.host;
    if (parent) {
      if (Win* p = Find(parent)) p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd), p->children.end());
    } else {
      wm.topLevels.erase(std::remove(wm.topLevels.begin(), wm.topLevels.end(), hwnd), wm.topLevels.end());
    }
    for (HWND h : tree) {
      if (Win* d = Find(h); d && d->nativeChild) natives.push_back(h);
      wm.timers.erase(std::remove_if(wm.timers.begin(), wm.timers.end(), [&](const TimerRec& t) { return t.hwnd == h; }),
                      wm.timers.end());
      if (wm.trackHwnd == h) wm.trackHwnd = nullptr;
      if (wm.active == h) wm.active = nullptr;
      if (wm.caretHwnd == h) {
        wm.caretHwnd = nullptr;
        wm.caretOn = false;
        UINT_PTR blink = wm.caretTimer;
        wm.caretTimer = 0;
        wm.timers.erase(std::remove_if(wm.timers.begin(), wm.timers.end(),
                                       [&](const TimerRec& t) { return !t.hwnd && t.id == blink; }),
                        wm.timers.end());
      }
      if (wm.lastDownHwnd == h) wm.lastDownHwnd = nullptr;
      if (wm.focus == h) wm.focus = nullptr;
      wm.windows.erase(h);
    }
  }
  for (HWND h : natives) {
    if (host) host->NativeChildDestroyed(h);
    EmbeddingSlotDestroyed(h);
  }
  if (top && host) host->TopLevelDestroyed(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  if (IsForeignHandle(hwnd)) return RemoteIsWindow(hwnd);
  return WithWin(hwnd, FALSE, [](Win&) { return TRUE; });
}

BOOL IsChild(HWND parent, HWND hwnd) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  while (w && w->Child()) {
    if (w->parent == parent) return TRUE;
    w = Find(w->parent);
  }
  return FALSE;
}

HWND GetParent(HWND hwnd) {
  return WithWin(hwnd, HWND{}, [](Win& w) { return w.Child() ? w.parent : w.owner; });
}

HWND SetParent(HWND hwnd, HWND newParent) {
  if (!UiThreadHere()) return OnUi([&] { return SetParent(hwnd, newParent); });
  Guard g(W().lock);
  Win* w = Find(hwnd);
  Win* p = Find(newParent);
  if (!w || !p || !w->Child()) return nullptr;
  HWND old = w->parent;
  if (Win* op = Find(old)) op->children.erase(std::remove(op->children.begin(), op->children.end(), hwnd), op->children.end());
  w->parent = newParent;
  p->children.insert(p->children.begin(), hwnd);
  FullInvalidateLocked(w);
  return old;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return nullptr;
  if (flags == GA_PARENT) return w->Child() ? w->parent : nullptr;
  Win* top = TopOfLocked(w);
  return top ? top->hwnd : nullptr;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return nullptr;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (cmd == GW_OWNER) return w->Child() ? nullptr : w->owner;
  const std::vector<HWND>* list = &W().topLevels;
  if (w->Child()) {
    Win* p = Find(w->parent);
    if (!p) return nullptr;
    list = &p->children;
  }
  auto it = std::find(list->begin(), list->end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return (it != list->end() && it + 1 != list->end()) ? *(it + 1) : nullptr;
    case GW_HWNDPREV: return (it != list->begin() && it != list->end()) ? *(it - 1) : nullptr;
    default: return nullptr;
  }
}

HWND GetTopWindow(HWND hwnd) {
  if (!hwnd) {
    Guard g(W().lock);
    return W().topLevels.empty() ? nullptr : W().topLevels.front();
  }
  return GetWindow(hwnd, GW_CHILD);
}

HWND GetDlgItem(HWND parent, int id) {
  Guard g(W().lock);
  Win* p = Find(parent);
  if (!p) return nullptr;
  for (HWND ch : p->children) {
    Win* c = Find(ch);
    if (c && c->id == static_cast<UINT_PTR>(id)) return ch;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  return WithWin(hwnd, 0, [](Win& w) { return w.Child() ? static_cast<int>(w.id) : 0; });
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  return WithWin(hwnd, LONG_PTR{0}, [&](Win& w) -> LONG_PTR {
    switch (index) {
      case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w.style));
      case GWL_EXSTYLE: return static_cast<LONG_PTR>(w.exStyle);
      case GWLP_ID: return static_cast<LONG_PTR>(w.id);
      case GWLP_USERDATA: return w.userData;
      case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w.proc);
      case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w.Child() ? w.parent : w.owner);
      default: return 0;
    }
  });
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  bool styleChange = index == GWL_STYLE || index == GWL_EXSTYLE;
  if (styleChange && !UiThreadHere()) return OnUi([&] { return SetWindowLongPtrW(hwnd, index, value); });
  LONG_PTR old = 0;
  bool topStyle = false;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
      case GWL_STYLE:
        old = static_cast<LONG_PTR>(static_cast<LONG>(w->style));
        w->style = static_cast<DWORD>(value);
        topStyle = !w->Child();
        break;
      case GWL_EXSTYLE:
        old = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        break;
      case GWLP_ID:
        old = static_cast<LONG_PTR>(w->id);
        w->id = static_cast<UINT_PTR>(value);
        break;
      case GWLP_USERDATA:
        old = w->userData;
        w->userData = value;
        break;
      case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
      default:
        return 0;
    }
  }
  // The native frame shows the caption buttons the new style asks for.
  if (topStyle) NotifyHost(hwnd);
  return old;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return 0;
  return proc(hwnd, msg, wParam, lParam);
}

BOOL EnumChildWindows(HWND parent, const std::function<BOOL(HWND)>& callback) {
  std::vector<HWND> tree;
  {
    Guard g(W().lock);
    CollectTreeLocked(parent, &tree);
  }
  for (size_t i = 1; i < tree.size(); ++i) {
    if (!IsWindow(tree[i])) continue;
    if (!callback(tree[i])) return FALSE;
  }
  return TRUE;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR title) {
  if (HWND local = FindLocalWindow(className, title)) return local;
  return RemoteFindWindow(className, title);
}

HWND FindLocalWindow(LPCWSTR className, LPCWSTR title) {
  Guard g(W().lock);
  for (HWND top : W().topLevels) {
    Win* w = Find(top);
    if (!w) continue;
    if (className && Lower(FromZ(className)) != Lower(w->cls->name)) continue;
    if (title && FromZ(title) != w->text) continue;
    return top;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Geometry.

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (!rect) return FALSE;
  if (IsForeignHandle(hwnd)) return RemoteGetWindowRect(hwnd, rect);
  return WithWin(hwnd, FALSE, [&](Win& w) {
    Win* top = TopOfLocked(&w);
    QPoint p = OriginInTopLocked(&w) + (top ? top->rect.topLeft() : QPoint());
    *rect = RECT{p.x(), p.y(), p.x() + w.rect.width(), p.y() + w.rect.height()};
    return TRUE;
  });
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!rect) return FALSE;
  return WithWin(hwnd, FALSE, [&](Win& w) {
    QRect c = ClientRectOfLocked(&w);
    *rect = RECT{0, 0, c.width(), c.height()};
    return TRUE;
  });
}

BOOL ClientToScreen(HWND hwnd, POINT* pt) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !pt) return FALSE;
  QPoint o = ClientOriginOnScreenLocked(w);
  pt->x += o.x();
  pt->y += o.y();
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* pt) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !pt) return FALSE;
  QPoint o = ClientOriginOnScreenLocked(w);
  pt->x -= o.x();
  pt->y -= o.y();
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* pts, UINT count) {
  Guard g(W().lock);
  QPoint a = from ? (Find(from) ? ClientOriginOnScreenLocked(Find(from)) : QPoint()) : QPoint();
  QPoint b = to ? (Find(to) ? ClientOriginOnScreenLocked(Find(to)) : QPoint()) : QPoint();
  QPoint d = a - b;
  for (UINT i = 0; i < count; ++i) {
    pts[i].x += d.x();
    pts[i].y += d.y();
  }
  return MAKELONG(d.x(), d.y());
}

BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

namespace winsys {
void ReorderLocked(Win* w, HWND after) {
  std::vector<HWND>* list = &W().topLevels;
  if (w->Child()) {
    Win* p = Find(w->parent);
    if (!p) return;
    list = &p->children;
  }
  list->erase(std::remove(list->begin(), list->end(), w->hwnd), list->end());
  if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
    list->insert(list->begin(), w->hwnd);
  } else if (after == HWND_BOTTOM) {
    list->push_back(w->hwnd);
  } else {
    auto it = std::find(list->begin(), list->end(), after);
    list->insert(it == list->end() ? list->begin() : it + 1, w->hwnd);
  }
}
}  // namespace winsys

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (!UiThreadHere()) return OnUi([&] { return SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags); });
  WINDOWPOS pos;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    pos.hwnd = hwnd;
    pos.hwndInsertAfter = insertAfter;
    pos.x = (flags & SWP_NOMOVE) ? w->rect.x() : x;
    pos.y = (flags & SWP_NOMOVE) ? w->rect.y() : y;
    pos.cx = (flags & SWP_NOSIZE) ? w->rect.width() : std::max(cx, 0);
    pos.cy = (flags & SWP_NOSIZE) ? w->rect.height() : std::max(cy, 0);
    pos.flags = flags;
  }
  if (!(flags & SWP_NOSENDCHANGING)) SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  bool moved = false, sized = false, top = false;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    QRect old = w->rect;
    QRect now(pos.x, pos.y, std::max(pos.cx, 0), std::max(pos.cy, 0));
    moved = old.topLeft() != now.topLeft();
    sized = old.size() != now.size();
    top = !w->Child();
    bool visible = (w->style & WS_VISIBLE) != 0;
    if (moved || sized) {
      if (visible && !(pos.flags & SWP_NOREDRAW)) ExposeParentLocked(w, old);
      w->rect = now;
      if (top && sized) {
        QImage grown(std::max(now.width(), 1), std::max(now.height(), 1), QImage::Format_RGB32);
        grown.fill(0xFFFFFFFFu);
        for (int yy = 0; yy < std::min(grown.height(), w->backing->height()); ++yy)
          std::memcpy(grown.scanLine(yy), w->backing->constScanLine(yy),
                      4 * static_cast<size_t>(std::min(grown.width(), w->backing->width())));
        *w->backing = grown;
      }
      if (visible && !(pos.flags & SWP_NOREDRAW)) {
        FullInvalidateLocked(w);
      } else if (visible && sized) {
        // Without redraw only the newly uncovered part is painted.
        QRegion fresh = QRegion(ClientRectOfLocked(w)) - QRegion(QRect(QPoint(0, 0), old.size()));
        InvalidateLocked(w, fresh, true, true);
      }
    }
    if (!(pos.flags & SWP_NOZORDER)) {
      ReorderLocked(w, pos.hwndInsertAfter);
      if (visible) FullInvalidateLocked(w);
    }
    if (pos.flags & SWP_FRAMECHANGED) FullInvalidateLocked(w);
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOWNA);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (moved || sized || (flags & SWP_FRAMECHANGED)) {
    pos.flags = flags | (moved ? 0 : SWP_NOMOVE) | (sized ? 0 : SWP_NOSIZE);
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  }
  if (top) NotifyHost(hwnd);
  NotifyNativeChildren(hwnd);
  return TRUE;
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL ShowWindow(HWND hwnd, int cmd) {
  if (IsForeignHandle(hwnd)) return RemoteShowWindow(hwnd, cmd);
  if (!UiThreadHere()) return OnUi([&] { return ShowWindow(hwnd, cmd); });
  bool was, show = cmd != SW_HIDE, top;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    was = (w->style & WS_VISIBLE) != 0;
    top = !w->Child();
  }
  if (was != show) SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  HWND focusToMove = nullptr;
  bool wasZoomed = false;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    wasZoomed = (w->style & WS_MAXIMIZE) != 0;
    if (cmd == SW_MAXIMIZE) w->style |= WS_MAXIMIZE;
    if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) w->style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
    if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE) w->style |= WS_MINIMIZE;
    if (was != show) {
      if (show) {
        w->style |= WS_VISIBLE;
        FullInvalidateLocked(w);
      } else {
        w->style &= ~WS_VISIBLE;
        ExposeParentLocked(w, w->rect);
        HWND f = W().focus;
        if (f && (f == hwnd || IsChild(hwnd, f))) focusToMove = w->Child() ? w->parent : nullptr;
        if (f && (f == hwnd || IsChild(hwnd, f)) && !w->Child()) W().focus = nullptr;
      }
    }
  }
  if (focusToMove) SetFocus(focusToMove);
  if (top && (cmd == SW_MAXIMIZE || cmd == SW_RESTORE)) ApplyWindowState(hwnd, cmd, wasZoomed);
  NotifyNativeChildren(hwnd);
  if (top) {
    NotifyHost(hwnd);
    if (show && !was && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE) SetActiveWindow(hwnd);
  }
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  Guard g(W().lock);
  return VisibleChainLocked(Find(hwnd)) ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
  return WithWin(hwnd, FALSE, [](Win& w) { return (w.style & WS_MINIMIZE) ? TRUE : FALSE; });
}

BOOL IsZoomed(HWND hwnd) {
  return WithWin(hwnd, FALSE, [](Win& w) { return (w.style & WS_MAXIMIZE) ? TRUE : FALSE; });
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  if (!UiThreadHere()) return OnUi([&] { return EnableWindow(hwnd, enable); });
  bool wasDisabled;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable)
      w->style &= ~WS_DISABLED;
    else
      w->style |= WS_DISABLED;
  }
  if (!enable) {
    HWND f = GetFocus();
    if (f == hwnd || IsChild(hwnd, f)) SetFocus(nullptr);
    if (GetCapture() == hwnd) ReleaseCapture();
  }
  SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  return WithWin(hwnd, FALSE, [](Win& w) { return (w.style & WS_DISABLED) ? FALSE : TRUE; });
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!UiThreadHere()) return OnUi([&] { return SetWindowTextW(hwnd, text); });
  if (!IsWindow(hwnd)) return FALSE;
  return static_cast<BOOL>(SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

WString GetWindowTextString(HWND hwnd) {
  return WithWin(hwnd, WString(), [](Win& w) { return w.text; });
}

int GetWindowTextW(HWND hwnd, LPWSTR out, int capacity) {
  if (!out || capacity <= 0) return 0;
  WString t = IsForeignHandle(hwnd) ? RemoteGetWindowText(hwnd) : GetWindowTextString(hwnd);
  int n = std::min<int>(static_cast<int>(t.size()), capacity - 1);
  std::copy(t.begin(), t.begin() + n, out);
  out[n] = 0;
  return n;
}

int GetWindowTextLengthW(HWND hwnd) { return static_cast<int>(GetWindowTextString(hwnd).size()); }

namespace winsys {
// The deepest visible window at a point of the parent's client area, skipping
// the excluded windows (those that answered HTTRANSPARENT).
HWND HitChildLocked(Win* parent, QPoint clientPt, const std::vector<HWND>& excluded) {
  for (HWND ch : parent->children) {
    Win* c = Find(ch);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    if (!c->rect.contains(clientPt)) continue;
    if (std::find(excluded.begin(), excluded.end(), ch) != excluded.end()) continue;
    int n = InsetLocked(c);
    QPoint inner = clientPt - c->rect.topLeft() - QPoint(n, n);
    if (!(c->style & WS_DISABLED)) {
      if (HWND deeper = HitChildLocked(c, inner, excluded)) return deeper;
    }
    return ch;
  }
  return nullptr;
}

HWND HitTop(POINT pt) {
  Guard g(W().lock);
  for (HWND top : W().topLevels) {
    Win* t = Find(top);
    if (!t || !(t->style & WS_VISIBLE)) continue;
    if (t->rect.contains(QPoint(pt.x, pt.y))) return top;
  }
  return nullptr;
}

// Hit testing with WM_NCHITTEST: windows answering HTTRANSPARENT let the
// windows beneath them take the mouse.
HWND HitTest(POINT pt, LRESULT* code) {
  if (code) *code = HTCLIENT;
  HWND top = HitTop(pt);
  if (!top) return nullptr;
  std::vector<HWND> excluded;
  for (int guard = 0; guard < 64; ++guard) {
    HWND hit;
    {
      Guard g(W().lock);
      Win* t = Find(top);
      if (!t) return nullptr;
      int n = InsetLocked(t);
      QPoint clientPt = QPoint(pt.x, pt.y) - t->rect.topLeft() - QPoint(n, n);
      hit = HitChildLocked(t, clientPt, excluded);
      if (!hit) return top;
    }
    LRESULT answer = SendMessageW(hit, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    if (answer != HTTRANSPARENT) {
      if (code) *code = answer;
      return hit;
    }
    excluded.push_back(hit);
  }
  return top;
}
}  // namespace winsys

HWND WindowFromPoint(POINT pt) { return HitTest(pt); }

HWND ChildWindowFromPoint(HWND parent, POINT pt) {
  Guard g(W().lock);
  Win* p = Find(parent);
  if (!p) return nullptr;
  for (HWND ch : p->children) {
    Win* c = Find(ch);
    if (c && c->rect.contains(QPoint(pt.x, pt.y))) return ch;
  }
  return QRect(QPoint(0, 0), ClientRectOfLocked(p).size()).contains(QPoint(pt.x, pt.y)) ? parent : nullptr;
}

// ---------------------------------------------------------------------------
// Host and desktop access.

QImage* TopLevelBacking(HWND top) {
  return WithWin(top, static_cast<QImage*>(nullptr), [](Win& w) { return w.Child() ? nullptr : w.backing.get(); });
}

bool WindowRectInBacking(HWND hwnd, QRect* rect) {
  if (!rect) return false;
  return WithWin(hwnd, false, [&](Win& w) {
    *rect = QRect(OriginInTopLocked(&w), w.rect.size());
    return true;
  });
}

std::uintptr_t GetNativeWindowId(HWND hwnd) {
  if (IsForeignHandle(hwnd)) return RemoteNativeWindowId(hwnd);
  if (!UiThreadHere()) return OnUi([&] { return GetNativeWindowId(hwnd); });
  ScreenHost* host;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    host = W().host;
    if (!w || !w->Child()) return 0;
    w->nativeChild = true;
    // Without a screen (the test desktop) the handle itself is the token.
    if (!host) return reinterpret_cast<std::uintptr_t>(hwnd);
  }
  return host->NativeChild(hwnd);
}

bool GetNativeChildInfo(HWND child, HWND* top, QRect* rectInTop, bool* visible) {
  Guard g(W().lock);
  Win* w = Find(child);
  if (!w || !w->Child()) return false;
  Win* t = TopOfLocked(w);
  if (!t) return false;
  if (top) *top = t->hwnd;
  if (rectInTop) *rectInTop = QRect(OriginInTopLocked(w), w->rect.size());
  if (visible) *visible = VisibleChainLocked(w);
  return true;
}

bool EmbedTopLevelOnScreen(HWND top, std::uintptr_t nativeParent) {
  ScreenHost* host;
  {
    Guard g(W().lock);
    host = W().host;
  }
  return host && host->EmbedTopLevel(top, nativeParent);
}

void SetScreenHost(ScreenHost* host) {
  Guard g(W().lock);
  W().host = host;
}

bool GetTopLevelInfo(HWND top, TopLevelInfo* info) {
  if (!info) return false;
  return WithWin(top, false, [&](Win& w) {
    if (w.Child()) return false;
    info->visible = (w.style & WS_VISIBLE) != 0;
    info->popup = (w.style & WS_CAPTION) != WS_CAPTION;
    info->owned = w.owner != nullptr;
    info->maximized = (w.style & WS_MAXIMIZE) != 0;
    info->rect = w.rect;
    info->title = w.text;
    info->style = w.style;
    info->exStyle = w.exStyle;
    info->appWindow = (w.exStyle & WS_EX_APPWINDOW) != 0;
    info->icon = w.icons[ICON_BIG] ? w.icons[ICON_BIG] : w.icons[ICON_SMALL];
    return true;
  });
}

void HostMovedTopLevel(HWND top, const QRect& rect) {
  {
    Guard g(W().lock);
    Win* w = Find(top);
    if (!w || w->rect == rect) return;
  }
  SetWindowPos(top, nullptr, rect.x(), rect.y(), rect.width(), rect.height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------
// Message boxes.

void SetMessageBoxSink(MessageBoxSink sink) {
  Guard g(W().lock);
  W().boxSink = std::move(sink);
}

void SetMessageBoxImplementation(MessageBoxSink impl) {
  Guard g(W().lock);
  W().boxImpl = std::move(impl);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  int testAnswer = 0;
  if (RecordTestBox(FromZ(text), FromZ(caption), type, &testAnswer)) return testAnswer;
  MessageBoxSink sink, impl;
  {
    Guard g(W().lock);
    sink = W().boxSink;
    impl = W().boxImpl;
  }
  WString t = FromZ(text), c = FromZ(caption);
  if (sink) return sink(owner, t, c, type);
  if (impl) {
    int answer = 0;
    RunOnUiThread([&] { answer = impl(owner, t, c, type); });
    return answer;
  }
  std::string line = "MessageBox: " + QString::fromStdU16String(c).toStdString() + ": " +
                     QString::fromStdU16String(t).toStdString() + "\n";
  OutputDebugStringA(line.c_str());
  UINT kind = type & 0xF;
  return (kind == MB_YESNO || kind == MB_YESNOCANCEL) ? IDYES : IDOK;
}
