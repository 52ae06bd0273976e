// The window system: handles, the tree, the queue, painting, input routing,
// focus, capture and timers.
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
#include "platform/window/win_internal.h"
#include "platform/window/win_remote.h"
#include "platform/controls/win_controls.h"

#include "platform/kernel/debug_sink.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_thread.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QGuiApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

struct ClassRec {
  WString name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;
  HCURSOR cursor = nullptr;
  ATOM atom = 0;
};

struct Win {
  HWND hwnd = nullptr;
  ClassRec* cls = nullptr;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  UINT_PTR id = 0;
  LONG_PTR userData = 0;
  HWND parent = nullptr;  // WS_CHILD windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;  // z-order, top first
  QRect rect;             // parent client coordinates; screen for top-level windows
  WString text;
  HFONT font = nullptr;
  QRegion update;         // client coordinates
  bool erase = false;
  bool ncDirty = true;
  bool redraw = true;
  bool destroying = false;
  bool created = false;
  bool nativeChild = false;  // a native window of the host covers it
  int paintSerial = 0;    // counts BeginPaint calls
  std::unique_ptr<QImage> backing;  // top-level windows
  std::atomic<bool> screenDirty{false};

  bool Child() const { return (style & WS_CHILD) != 0; }
};

struct TimerRec {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  ULONGLONG due;
  TIMERPROC proc;
};

struct CrossCall {
  std::function<void()> fn;
  bool done = false;
};

struct HookRec {
  int kind;
  HOOKPROC proc;
};

struct Wm {
  std::recursive_mutex lock;
  std::condition_variable_any wake;
  std::unordered_map<HWND, std::unique_ptr<Win>> windows;
  std::vector<HWND> topLevels;  // z-order, top first
  std::map<WString, std::unique_ptr<ClassRec>> classes;  // lower-case names
  std::uintptr_t nextHandle = 0x10010;
  ATOM nextAtom = 0xC000;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<CrossCall>> calls;
  std::vector<TimerRec> timers;
  UINT_PTR nextTimerId = 0x10000;
  std::thread::id uiThread;
  DWORD uiThreadId = 0;  // the kernel's id of the UI thread
  bool hasUiThread = false;
  bool quit = false;
  int quitCode = 0;
  HWND focus = nullptr;
  HWND capture = nullptr;
  HWND active = nullptr;
  POINT mouse;
  // Mouse tracking.
  HWND trackHwnd = nullptr;
  DWORD trackFlags = 0;
  DWORD hoverTime = 400;
  ULONGLONG hoverDue = 0;
  POINT hoverPt;
  // Double-click detection.
  HWND lastDownHwnd = nullptr;
  UINT lastDownMsg = 0;
  ULONGLONG lastDownTime = 0;
  POINT lastDownPt;
  BYTE keys[256] = {};
  DWORD lastMessageTime = 0;
  std::vector<std::pair<HHOOK, HookRec>> hooks;
  std::uintptr_t nextHook = 1;
  HCURSOR cursor = nullptr;
  // Caret.
  HWND caretHwnd = nullptr;
  POINT caretPos;
  SIZE caretSize;
  int caretHidden = 1;
  bool caretOn = false;       // the caret's pixels are inverted now
  UINT_PTR caretTimer = 0;    // its blink timer
  bool caretPainting = false; // taken off for BeginPaint
  WString clipboard;
  MessageBoxSink boxSink;
  MessageBoxSink boxImpl;
  ScreenHost* host = nullptr;
  QObject* waker = nullptr;
  std::atomic<bool> wakePosted{false};
  std::atomic<int> wakeFd{-1};  // event descriptor Qt's loop watches
  QTimer* wakeTimer = nullptr;  // ends Qt's wait when the next timer is due
};

Wm& W() {
  static Wm* wm = new Wm;
  return *wm;
}

using Guard = std::lock_guard<std::recursive_mutex>;

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
int Inset(const Win* w) {
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

QRect ClientRectOf(const Win* w) {
  int n = Inset(w);
  return QRect(0, 0, std::max(0, w->rect.width() - 2 * n), std::max(0, w->rect.height() - 2 * n));
}

Win* TopOf(Win* w) {
  while (w && w->Child()) w = Find(w->parent);
  return w;
}

// Position of the window's top-left corner in its top-level picture.
QPoint OriginInTop(Win* w) {
  QPoint p(0, 0);
  while (w && w->Child()) {
    p += w->rect.topLeft();
    Win* parent = Find(w->parent);
    if (!parent) break;
    int n = Inset(parent);
    p += QPoint(n, n);
    w = parent;
  }
  return p;
}

// Position of the window's client origin in screen coordinates.
QPoint ClientOriginOnScreen(Win* w) {
  Win* top = TopOf(w);
  QPoint p = OriginInTop(w) + QPoint(Inset(w), Inset(w));
  if (top) p += top->rect.topLeft();
  return p;
}

bool VisibleChain(Win* w) {
  while (w) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!w->Child()) return true;
    w = Find(w->parent);
  }
  return false;
}

bool RedrawChain(Win* w) {
  while (w) {
    if (!w->redraw) return false;
    if (!w->Child()) return true;
    w = Find(w->parent);
  }
  return true;
}

// The region of the top-level picture that the window may draw on.
QRegion VisibleRegion(Win* w, bool client) {
  QPoint org = OriginInTop(w);
  int n = Inset(w);
  QRect area = client ? QRect(org + QPoint(n, n), ClientRectOf(w).size()) : QRect(org, w->rect.size());
  QRegion r(area);
  Win* c = w;
  while (c && c->Child()) {
    Win* p = Find(c->parent);
    if (!p) break;
    QPoint porg = OriginInTop(p);
    int pn = Inset(p);
    r &= QRegion(QRect(porg + QPoint(pn, pn), ClientRectOf(p).size()));
    if (c->style & WS_CLIPSIBLINGS) {
      for (HWND sib : p->children) {
        if (sib == c->hwnd) break;
        Win* s = Find(sib);
        if (s && (s->style & WS_VISIBLE)) r -= QRegion(QRect(OriginInTop(s), s->rect.size()));
      }
    }
    c = p;
  }
  if (client && (w->style & WS_CLIPCHILDREN)) {
    for (HWND ch : w->children) {
      Win* s = Find(ch);
      if (s && (s->style & WS_VISIBLE)) r -= QRegion(QRect(OriginInTop(s), s->rect.size()));
    }
  }
  return r;
}

// children: the children the region covers are invalidated as well unless
// the window has WS_CLIPCHILDREN; allChildren (RDW_ALLCHILDREN): whatever
// the styles, all the way down.
void InvalidateLocked(Win* w, const QRegion& clientRgn, bool erase, bool children, bool allChildren = false) {
  if (!w || w->destroying) return;
  QRegion r = clientRgn & QRegion(ClientRectOf(w));
  if (r.isEmpty()) return;
  w->update |= r;
  if (erase) w->erase = true;
  if (!allChildren && (!children || (w->style & WS_CLIPCHILDREN))) return;
  for (HWND ch : w->children) {
    Win* c = Find(ch);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    int n = Inset(c);
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
  InvalidateLocked(w, QRegion(ClientRectOf(w)), true, true);
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
    EmbeddingSlotChanged(h);
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

void DrawNonClient(Win* w, HWND hwnd) {
  if (!w->ncDirty) return;
  w->ncDirty = false;
  if (Inset(w) == 0) return;
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

HWND FirstInvalid(HWND hwnd) {
  Win* w = Find(hwnd);
  if (!w || !(w->style & WS_VISIBLE) || !w->redraw) return nullptr;
  if (!w->update.isEmpty() || (w->ncDirty && Inset(w) > 0)) return hwnd;
  for (HWND ch : w->children) {
    if (HWND found = FirstInvalid(ch)) return found;
  }
  return nullptr;
}

HWND NextPaintWindowLocked() {
  for (HWND top : W().topLevels) {
    if (HWND h = FirstInvalid(top)) return h;
  }
  return nullptr;
}

bool UiThreadHere() {
  Wm& w = W();
  return !w.hasUiThread || w.uiThread == std::this_thread::get_id();
}

template <class Fn>
auto OnUi(Fn fn) -> decltype(fn()) {
  if (UiThreadHere()) return fn();
  decltype(fn()) result{};
  RunOnUiThread([&] { result = fn(); });
  return result;
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

UINT KeyFlags() {
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

}  // namespace

namespace {
std::atomic<BOOL (*)(MSG*)> g_messageFilter{nullptr};
}  // namespace

void SetMessageFilter(BOOL (*filter)(MSG*)) { g_messageFilter = filter; }

namespace {
void DrawCaret(bool on);
}  // namespace

// ---------------------------------------------------------------------------
// UI thread, clock, cross-thread calls.

void InitUiThread() {
  Wm& w = W();
  {
    Guard g(w.lock);
    if (w.hasUiThread) return;
    w.uiThread = std::this_thread::get_id();
    w.uiThreadId = GetCurrentThreadId();
    w.hasUiThread = true;
  }
  EnsureGuiApplication();
  if (QCoreApplication::instance() && QCoreApplication::instance()->thread() == QThread::currentThread()) {
    auto* waker = new QObject();
    auto* timer = new QTimer(waker);
    timer->setSingleShot(true);
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd >= 0) {
      auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, waker);
      QObject::connect(notifier, &QSocketNotifier::activated, waker, [fd] {
        uint64_t count = 0;
        ssize_t n = read(fd, &count, sizeof count);
        (void)n;
      });
    }
    Guard g(w.lock);
    w.waker = waker;
    w.wakeTimer = timer;
    w.wakeFd = fd;
  }
}

bool HasUiThread() {
  Guard g(W().lock);
  return W().hasUiThread;
}

bool IsUiThread() { return W().hasUiThread && W().uiThread == std::this_thread::get_id(); }

DWORD GetUiThreadId() {
  Guard g(W().lock);
  return W().uiThreadId;
}

ULONGLONG UiTickCount64() { return GetTickCount64(); }

void RunOnUiThread(const std::function<void()>& fn) {
  if (UiThreadHere()) {
    fn();
    return;
  }
  auto call = std::make_shared<CrossCall>();
  call->fn = fn;
  Wm& w = W();
  {
    Guard g(w.lock);
    w.calls.push_back(call);
  }
  WakeUi();
  std::unique_lock<std::recursive_mutex> lk(w.lock);
  w.wake.wait(lk, [&] { return call->done; });
}

void QueueUiCall(std::function<void()> fn) {
  auto call = std::make_shared<CrossCall>();
  call->fn = std::move(fn);
  {
    Guard g(W().lock);
    W().calls.push_back(call);
  }
  WakeUi();
}

void RunQueuedCalls() { RunCalls(); }

void SetUiThreadIdForPorts(DWORD id) {
  Guard g(W().lock);
  if (W().hasUiThread) W().uiThreadId = id;
}

bool NextTimerDue(ULONGLONG* due) {
  Guard g(W().lock);
  bool any = false;
  ULONGLONG best = 0;
  for (auto& t : W().timers) {
    if (!any || t.due < best) best = t.due;
    any = true;
  }
  if (W().trackHwnd && (W().trackFlags & TME_HOVER) && W().hoverDue) {
    if (!any || W().hoverDue < best) best = W().hoverDue;
    any = true;
  }
  if (any && due) *due = best;
  return any;
}

bool HasPendingWork() {
  Guard g(W().lock);
  Wm& w = W();
  if (!w.posted.empty() || !w.calls.empty()) return true;
  if (NextPaintWindowLocked()) return true;
  ULONGLONG now = UiTickCount64();
  for (auto& t : w.timers)
    if (t.due <= now) return true;
  return false;
}

void WaitForWork(DWORD timeoutMs) {
  Wm& w = W();
  std::unique_lock<std::recursive_mutex> lk(w.lock);
  if (!w.posted.empty() || !w.calls.empty() || NextPaintWindowLocked()) return;
  w.wake.wait_for(lk, std::chrono::milliseconds(timeoutMs));
}

int PumpUntilIdle(int maxMessages) {
  int count = 0;
  MSG msg;
  while (count < maxMessages) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the real loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    BOOL (*filter)(MSG*) = g_messageFilter.load();
    if (!filter || !filter(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    ++count;
  }
  if (QCoreApplication::instance() && IsUiThread())
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  FlushScreens();
  return count;
}

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
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !out || capacity <= 0) return 0;
  int n = std::min<int>(static_cast<int>(w->cls->name.size()), capacity - 1);
  std::copy(w->cls->name.begin(), w->cls->name.begin() + n, out);
  out[n] = 0;
  return n;
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
    client = ClientRectOf(w).size();
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

namespace {

void CollectTree(HWND hwnd, std::vector<HWND>* out) {
  Win* w = Find(hwnd);
  if (!w) return;
  out->push_back(hwnd);
  for (HWND ch : w->children) CollectTree(ch, out);
}

}  // namespace

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
    CollectTree(hwnd, &tree);
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
  Guard g(W().lock);
  Win* w = Find(hwnd);
  return w != nullptr;
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
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return nullptr;
  return w->Child() ? w->parent : w->owner;
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
  Win* top = TopOf(w);
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
  Guard g(W().lock);
  Win* w = Find(hwnd);
  return w && w->Child() ? static_cast<int>(w->id) : 0;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_ID: return static_cast<LONG_PTR>(w->id);
    case GWLP_USERDATA: return w->userData;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->Child() ? w->parent : w->owner);
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  bool styleChange = index == GWL_STYLE || index == GWL_EXSTYLE;
  if (styleChange && !UiThreadHere()) return OnUi([&] { return SetWindowLongPtrW(hwnd, index, value); });
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(static_cast<LONG>(w->style));
      w->style = static_cast<DWORD>(value);
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
    CollectTree(parent, &tree);
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
  if (IsForeignHandle(hwnd)) return RemoteGetWindowRect(hwnd, rect);
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !rect) return FALSE;
  Win* top = TopOf(w);
  QPoint p = OriginInTop(w) + (top ? top->rect.topLeft() : QPoint());
  *rect = RECT{p.x(), p.y(), p.x() + w->rect.width(), p.y() + w->rect.height()};
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !rect) return FALSE;
  QRect c = ClientRectOf(w);
  *rect = RECT{0, 0, c.width(), c.height()};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* pt) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !pt) return FALSE;
  QPoint o = ClientOriginOnScreen(w);
  pt->x += o.x();
  pt->y += o.y();
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* pt) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !pt) return FALSE;
  QPoint o = ClientOriginOnScreen(w);
  pt->x -= o.x();
  pt->y -= o.y();
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* pts, UINT count) {
  Guard g(W().lock);
  QPoint a = from ? (Find(from) ? ClientOriginOnScreen(Find(from)) : QPoint()) : QPoint();
  QPoint b = to ? (Find(to) ? ClientOriginOnScreen(Find(to)) : QPoint()) : QPoint();
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

namespace {
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
}  // namespace

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
        QRegion fresh = QRegion(ClientRectOf(w)) - QRegion(QRect(QPoint(0, 0), old.size()));
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
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
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
  NotifyNativeChildren(hwnd);
  if (top) {
    NotifyHost(hwnd);
    if (show && !was && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE) SetActiveWindow(hwnd);
  }
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  Guard g(W().lock);
  return VisibleChain(Find(hwnd)) ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  return w && (w->style & WS_MINIMIZE);
}

BOOL IsZoomed(HWND hwnd) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  return w && (w->style & WS_MAXIMIZE);
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
  Guard g(W().lock);
  Win* w = Find(hwnd);
  return w && !(w->style & WS_DISABLED);
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!UiThreadHere()) return OnUi([&] { return SetWindowTextW(hwnd, text); });
  if (!IsWindow(hwnd)) return FALSE;
  return static_cast<BOOL>(SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

WString GetWindowTextString(HWND hwnd) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  return w ? w->text : WString();
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

namespace {
// The deepest visible window at a point of the parent's client area, skipping
// the excluded windows (those that answered HTTRANSPARENT).
HWND HitChildLocked(Win* parent, QPoint clientPt, const std::vector<HWND>& excluded) {
  for (HWND ch : parent->children) {
    Win* c = Find(ch);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    if (!c->rect.contains(clientPt)) continue;
    if (std::find(excluded.begin(), excluded.end(), ch) != excluded.end()) continue;
    int n = Inset(c);
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
HWND HitTest(POINT pt) {
  HWND top = HitTop(pt);
  if (!top) return nullptr;
  std::vector<HWND> excluded;
  for (int guard = 0; guard < 64; ++guard) {
    HWND hit;
    {
      Guard g(W().lock);
      Win* t = Find(top);
      if (!t) return nullptr;
      int n = Inset(t);
      QPoint clientPt = QPoint(pt.x, pt.y) - t->rect.topLeft() - QPoint(n, n);
      hit = HitChildLocked(t, clientPt, excluded);
      if (!hit) return top;
    }
    LRESULT code = SendMessageW(hit, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    if (code != HTTRANSPARENT) return hit;
    excluded.push_back(hit);
  }
  return top;
}
}  // namespace

HWND WindowFromPoint(POINT pt) { return HitTest(pt); }

HWND ChildWindowFromPoint(HWND parent, POINT pt) {
  Guard g(W().lock);
  Win* p = Find(parent);
  if (!p) return nullptr;
  for (HWND ch : p->children) {
    Win* c = Find(ch);
    if (c && c->rect.contains(QPoint(pt.x, pt.y))) return ch;
  }
  return QRect(QPoint(0, 0), ClientRectOf(p).size()).contains(QPoint(pt.x, pt.y)) ? parent : nullptr;
}

// ---------------------------------------------------------------------------
// Messages.

namespace {
// True while the UI thread runs a handler for a message another thread sent
// (InSendMessage); each handler run sets it for its own duration.
bool g_inInterThreadSend = false;  // UI thread only

LRESULT CallProcAsSend(bool fromOtherThread, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool outer = g_inInterThreadSend;
  g_inInterThreadSend = fromOtherThread;
  LRESULT r = CallProc(hwnd, msg, wParam, lParam);
  g_inInterThreadSend = outer;
  return r;
}
}  // namespace

LRESULT CallWindowAsSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return CallProcAsSend(true, hwnd, msg, wParam, lParam);
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (IsForeignHandle(hwnd)) return RemoteSendMessage(hwnd, msg, wParam, lParam, CrossProcessSendTimeout(), nullptr);
  if (!UiThreadHere()) return OnUi([&] { return CallProcAsSend(true, hwnd, msg, wParam, lParam); });
  return CallProcAsSend(false, hwnd, msg, wParam, lParam);
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (IsForeignHandle(hwnd)) return RemotePostMessage(hwnd, msg, wParam, lParam);
  {
    Guard g(W().lock);
    if (hwnd && !Find(hwnd)) return FALSE;
    PostLocked(hwnd, msg, wParam, lParam);
  }
  WakeUi();
  return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (threadId != GetUiThreadId()) return RemotePostThreadMessage(threadId, msg, wParam, lParam);
  return PostMessageW(nullptr, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  {
    Guard g(W().lock);
    W().quit = true;
    W().quitCode = exitCode;
  }
  WakeUi();
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT removeFlags) {
  if (!msg) return FALSE;
  W().wakePosted = false;
  RunCalls();
  Wm& w = W();
  bool remove = (removeFlags & PM_REMOVE) != 0;
  {
    Guard g(w.lock);
    for (auto it = w.posted.begin(); it != w.posted.end(); ++it) {
      if (!Matches(*it, hwnd, lo, hi)) continue;
      *msg = *it;
      if (remove) {
        w.posted.erase(it);
        if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN)
          SetKeyDown(static_cast<UINT>(msg->wParam), true);
        if (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP)
          SetKeyDown(static_cast<UINT>(msg->wParam), false);
      }
      w.lastMessageTime = msg->time;
      return TRUE;
    }
    ULONGLONG now = UiTickCount64();
    bool wantPaint = (lo == 0 && hi == 0) || (WM_PAINT >= lo && WM_PAINT <= hi);
    if (wantPaint) {
      HWND p = NextPaintWindowLocked();
      if (p && (!hwnd || p == hwnd || IsChild(hwnd, p))) {
        *msg = MSG{p, WM_PAINT, 0, 0, static_cast<DWORD>(now), w.mouse};
        return TRUE;
      }
    }
    bool wantTimer = (lo == 0 && hi == 0) || (WM_TIMER >= lo && WM_TIMER <= hi);
    if (wantTimer) {
      TimerRec* best = nullptr;
      for (auto& t : w.timers) {
        if (t.due > now) continue;
        if (hwnd && t.hwnd != hwnd) continue;
        if (!best || t.due < best->due) best = &t;
      }
      if (best) {
        *msg = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), static_cast<DWORD>(now),
                   w.mouse};
        if (remove) best->due = now + best->elapse;
        w.lastMessageTime = msg->time;
        return TRUE;
      }
      if (w.trackHwnd && (w.trackFlags & TME_HOVER) && w.hoverDue && w.hoverDue <= now) {
        HWND target = w.trackHwnd;
        POINT pt = w.mouse;
        Win* t = Find(target);
        if (t) {
          QPoint o = ClientOriginOnScreen(t);
          *msg = MSG{target, WM_MOUSEHOVER, KeyFlags(), MAKELPARAM(pt.x - o.x(), pt.y - o.y()),
                     static_cast<DWORD>(now), pt};
          if (remove) {
            w.trackFlags &= ~TME_HOVER;
            w.hoverDue = 0;
            if (!(w.trackFlags & TME_LEAVE)) w.trackHwnd = nullptr;
          }
          return TRUE;
        }
      }
    }
    if (w.quit && (lo == 0 && hi == 0)) {
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(w.quitCode), 0, static_cast<DWORD>(now), w.mouse};
      if (remove) w.quit = false;
      return TRUE;
    }
  }
  return FALSE;
}

namespace {
std::function<bool()> g_idleHook;  // UI thread only
}  // namespace

void SetIdleHook(std::function<bool()> hook) { g_idleHook = std::move(hook); }

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
  InitUiThread();
  for (;;) {
    if (PeekMessageW(msg, hwnd, lo, hi, PM_REMOVE)) return msg->message != WM_QUIT;
    FlushScreens();
    bool again = false;
    if (g_idleHook && IsUiThread()) {
      std::function<bool()> hook = g_idleHook;  // a step may replace the hook
      again = hook();
      if (HasPendingWork()) continue;
    }
    // Wait for Qt's input, another thread's work or the next timer; a
    // driven clock moves without real time, so the wait is capped.
    ULONGLONG due = 0;
    DWORD wait = again ? 5 : 100;
    if (NextTimerDue(&due)) {
      ULONGLONG now = UiTickCount64();
      wait = due > now ? static_cast<DWORD>(std::min<ULONGLONG>(due - now, wait)) : 0;
    }
    if (HasPendingWork()) continue;
    QTimer* timer = W().wakeTimer;
    if (timer && IsUiThread()) {
      timer->start(static_cast<int>(wait));
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      timer->stop();
    } else {
      WaitForWork(wait);
    }
  }
}

namespace {
WCHAR CharForKey(UINT vk) {
  Wm& w = W();
  bool shift = (w.keys[VK_SHIFT] & 0x80) != 0;
  bool ctrl = (w.keys[VK_CONTROL] & 0x80) != 0;
  bool caps = (w.keys[VK_CAPITAL] & 0x01) != 0;
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return static_cast<WCHAR>(vk - 'A' + 1);
    bool upper = shift != caps;
    return static_cast<WCHAR>(upper ? vk : vk - 'A' + 'a');
  }
  if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    return static_cast<WCHAR>(shift ? shifted[vk - '0'] : vk);
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return static_cast<WCHAR>('0' + vk - VK_NUMPAD0);
  switch (vk) {
    case VK_SPACE: return u' ';
    case VK_RETURN: return u'\r';
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    case VK_MULTIPLY: return u'*';
    case VK_ADD: return u'+';
    case VK_SUBTRACT: return u'-';
    case VK_DECIMAL: return u'.';
    case VK_DIVIDE: return u'/';
    case VK_OEM_1: return shift ? u':' : u';';
    case VK_OEM_PLUS: return shift ? u'+' : u'=';
    case VK_OEM_COMMA: return shift ? u'<' : u',';
    case VK_OEM_MINUS: return shift ? u'_' : u'-';
    case VK_OEM_PERIOD: return shift ? u'>' : u'.';
    case VK_OEM_2: return shift ? u'?' : u'/';
    default: return 0;
  }
}
}  // namespace

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  WCHAR ch;
  {
    Guard g(W().lock);
    ch = CharForKey(static_cast<UINT>(msg->wParam));
    if (!ch) return FALSE;
    MSG m = *msg;
    m.message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    m.wParam = ch;
    // The character comes before any key message still queued.
    W().posted.push_front(m);
  }
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd) {
    if (msg && msg->message == WM_TIMER && msg->lParam)
      reinterpret_cast<TIMERPROC>(msg->lParam)(nullptr, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  if (msg->message != WM_PAINT) return CallProcAsSend(false, msg->hwnd, msg->message, msg->wParam, msg->lParam);
  int serial;
  {
    Guard g(W().lock);
    Win* w = Find(msg->hwnd);
    if (!w) return 0;
    serial = w->paintSerial;
    if (w->update.isEmpty()) {
      // Only the frame needs drawing.
      DrawNonClient(w, msg->hwnd);
      return 0;
    }
  }
  LRESULT r = CallProcAsSend(false, msg->hwnd, WM_PAINT, 0, 0);
  bool passDone;
  {
    Guard g(W().lock);
    Win* w = Find(msg->hwnd);
    if (w && w->paintSerial == serial && !w->update.isEmpty()) {
      // A handler that never began painting would be asked forever.
      Trace("DispatchMessageW: WM_PAINT handler did not validate the window");
      w->update = QRegion();
      w->erase = false;
    }
    passDone = NextPaintWindowLocked() == nullptr;
  }
  // The paint pass is over: show it, whichever loop pumps (a PeekMessage
  // loop may never go idle).
  if (passDone) FlushScreens();
  return r;
}

DWORD GetMessageTime() {
  Guard g(W().lock);
  return W().lastMessageTime;
}

BOOL InSendMessage() { return IsUiThread() && g_inInterThreadSend; }

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD) {
  if (!proc || (idHook != WH_CBT && idHook != WH_CALLWNDPROC)) return nullptr;
  Guard g(W().lock);
  HHOOK h = reinterpret_cast<HHOOK>(W().nextHook++);
  W().hooks.insert(W().hooks.begin(), {h, HookRec{idHook, proc}});
  return h;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  Guard g(W().lock);
  auto& v = W().hooks;
  auto it = std::find_if(v.begin(), v.end(), [&](auto& p) { return p.first == hook; });
  if (it == v.end()) return FALSE;
  v.erase(it);
  return TRUE;
}

// Every installed hook is called by the layer itself in turn, so the next
// hook needs no call here.
LRESULT CallNextHookEx(HHOOK, int, WPARAM, LPARAM) { return 0; }

// ---------------------------------------------------------------------------
// Default handling.

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_SETTEXT: {
      auto text = reinterpret_cast<LPCWSTR>(lParam);
      HWND top = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return FALSE;
        w->text = FromZ(text);
        if (!w->Child()) top = hwnd;
      }
      if (top) NotifyHost(top);
      return TRUE;
    }
    case WM_GETTEXT: {
      return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH:
      return GetWindowTextLengthW(hwnd);
    case WM_SETFONT: {
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return 0;
        w->font = reinterpret_cast<HFONT>(wParam);
      }
      if (LOWORD(static_cast<std::uintptr_t>(lParam))) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_GETFONT: {
      Guard g(W().lock);
      Win* w = Find(hwnd);
      return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_SETREDRAW: {
      Guard g(W().lock);
      Win* w = Find(hwnd);
      if (w) w->redraw = wParam != 0;
      return 0;
    }
    case WM_PAINT: {
      if (wParam) return 0;  // asked to paint into a given DC: a plain window has nothing
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return 0;
        brush = w->cls->background;
      }
      if (!brush || !AsBrush(brush) || AsBrush(brush)->style == BS_NULL) return 0;
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
      return 1;
    }
    case WM_PRINT:
      // The client part is asked of the window itself.
      return SendMessageW(hwnd, WM_PRINTCLIENT, wParam, lParam);
    case WM_PRINTCLIENT:
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      QSize client;
      QPoint at;
      DWORD style;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return 0;
        client = ClientRectOf(w).size();
        at = w->rect.topLeft();
        style = w->style;
      }
      if (pos && !(pos->flags & SWP_NOMOVE)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(at.x(), at.y()));
      if (pos && !(pos->flags & SWP_NOSIZE)) {
        WPARAM type = (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : (style & WS_MINIMIZE) ? SIZE_MINIMIZED : SIZE_RESTORED;
        SendMessageW(hwnd, WM_SIZE, type, MAKELPARAM(client.width(), client.height()));
      }
      return 0;
    }
    case WM_SETCURSOR: {
      // The parent may answer first; otherwise the class cursor in the client area.
      HWND parent = nullptr;
      HCURSOR cursor = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (!w) return FALSE;
        if (w->Child()) parent = w->parent;
        cursor = w->cls->cursor;
      }
      if (parent && SendMessageW(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (LOWORD(static_cast<std::uintptr_t>(lParam)) == HTCLIENT && cursor) SetCursor(cursor);
      return FALSE;
    }
    case WM_MOUSEWHEEL: {
      HWND parent = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (w && w->Child()) parent = w->parent;
      }
      return parent ? SendMessageW(parent, msg, wParam, lParam) : 0;
    }
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_RBUTTONUP: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &pt);
      SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(pt.x, pt.y));
      return 0;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (wParam == VK_APPS || (wParam == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000)))
        SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(-1, -1));
      return 0;
    case WM_CONTEXTMENU: {
      HWND parent = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (w && w->Child()) parent = w->parent;
      }
      return parent ? SendMessageW(parent, msg, wParam, lParam) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != 0) {
        HWND f = GetFocus();
        if (f != hwnd && !IsChild(hwnd, f)) SetFocus(hwnd);
      }
      return 0;
    case WM_MOUSEACTIVATE: {
      // A child's parent answers first.
      HWND parent = nullptr;
      {
        Guard g(W().lock);
        Win* w = Find(hwnd);
        if (w && w->Child()) parent = w->parent;
      }
      if (parent) {
        LRESULT r = SendMessageW(parent, msg, wParam, lParam);
        if (r) return r;
      }
      return MA_ACTIVATE;
    }
    case WM_GETMINMAXINFO:
    case WM_GETICON:
      return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      bool editLike = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Painting.

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    QRegion r = rect ? QRegion(QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)))
                     : QRegion(ClientRectOf(w));
    if (!rect) w->ncDirty = true;
    InvalidateLocked(w, r, erase != 0, true);
  }
  WakeUi();
  return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
  RegionObject* r = AsRegion(rgn);
  if (!r) return InvalidateRect(hwnd, nullptr, erase);
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    InvalidateLocked(w, r->rgn, erase != 0, true);
  }
  WakeUi();
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return FALSE;
  if (!rect) {
    w->update = QRegion();
    w->erase = false;
  } else {
    w->update -= QRegion(QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)));
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return FALSE;
  QRect b = w->update.boundingRect();
  if (rect) *rect = b.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
  return !b.isEmpty();
}

BOOL UpdateWindow(HWND hwnd) {
  if (!UiThreadHere()) return OnUi([&] { return UpdateWindow(hwnd); });
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    if (w->update.isEmpty() || !VisibleChain(w) || !RedrawChain(w)) return TRUE;
  }
  MSG m{hwnd, WM_PAINT, 0, 0, 0, POINT{}};
  DispatchMessageW(&m);
  FlushScreens();
  return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags) {
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return FALSE;
    QRegion r = rgn && AsRegion(rgn) ? AsRegion(rgn)->rgn
                : rect ? QRegion(QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)))
                       : QRegion(ClientRectOf(w));
    bool all = (flags & RDW_ALLCHILDREN) != 0;
    bool children = all || !(flags & RDW_NOCHILDREN);
    if (flags & RDW_INVALIDATE) InvalidateLocked(w, r, (flags & RDW_ERASE) != 0, children, all);
    if (flags & RDW_FRAME) w->ncDirty = true;
    if (flags & RDW_VALIDATE) {
      w->update -= r;
      if (w->update.isEmpty()) w->erase = false;
    }
  }
  if (flags & RDW_UPDATENOW) {
    std::vector<HWND> tree;
    {
      Guard g(W().lock);
      CollectTree(hwnd, &tree);
    }
    for (HWND h : tree) UpdateWindow(h);
  }
  WakeUi();
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  *ps = PAINTSTRUCT();
  bool caretHere;
  {
    Guard g(W().lock);
    caretHere = W().caretHwnd == hwnd && W().caretOn;
  }
  if (caretHere) {
    DrawCaret(false);
    Guard g(W().lock);
    W().caretPainting = true;
  }
  QRegion update;
  bool erase;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w) return nullptr;
    DrawNonClient(w, hwnd);
    update = w->update;
    erase = w->erase;
    w->update = QRegion();
    w->erase = false;
    w->paintSerial++;
  }
  HDC dc = GetDC(hwnd);
  if (!dc) return nullptr;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    int n = Inset(w);
    dc->vis &= update.translated(OriginInTop(w) + QPoint(n, n));
    dc->ClipChanged();
  }
  dc->paintDc = true;
  QRect b = update.boundingRect();
  ps->hdc = dc;
  ps->rcPaint = b.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
  if (erase) ps->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (!ps || !ps->hdc) return FALSE;
  ReleaseDC(hwnd, ps->hdc);
  bool restore;
  {
    Guard g(W().lock);
    restore = W().caretPainting && W().caretHwnd == hwnd;
    W().caretPainting = false;
  }
  if (restore) DrawCaret(true);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) {
    // A screen DC: a memory picture the size of the screen, for measuring
    // and for making compatible DCs and bitmaps.
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP screen = CreateCompatibleBitmap(nullptr, 1, 1);
    SelectObject(dc, screen);
    DeleteObject(screen);
    return dc;
  }
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return nullptr;
  Win* top = TopOf(w);
  if (!top || !top->backing) return nullptr;
  HDC dc = MakeWindowDc(hwnd, true, nullptr);
  dc->image = top->backing.get();
  int n = Inset(w);
  dc->deviceOrigin = OriginInTop(w) + QPoint(n, n);
  dc->hasVis = true;
  dc->vis = VisibleChain(w) ? VisibleRegion(w, true) : QRegion();
  dc->screenDirty = &top->screenDirty;
  dc->ClipChanged();
  return dc;
}

HDC GetWindowDC(HWND hwnd) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w) return nullptr;
  Win* top = TopOf(w);
  if (!top || !top->backing) return nullptr;
  HDC dc = MakeWindowDc(hwnd, false, nullptr);
  dc->image = top->backing.get();
  dc->deviceOrigin = OriginInTop(w);
  dc->hasVis = true;
  dc->vis = VisibleChain(w) ? VisibleRegion(w, false) : QRegion();
  dc->screenDirty = &top->screenDirty;
  dc->ClipChanged();
  return dc;
}

int ReleaseDC(HWND, HDC hdc) {
  if (!hdc) return 0;
  if (hdc->memory) {
    DeleteDC(hdc);
    return 1;
  }
  FreeWindowDc(hdc);
  return 1;
}

// ---------------------------------------------------------------------------
// Focus, activation, capture.

HWND GetFocus() {
  Guard g(W().lock);
  return W().focus;
}

HWND SetFocus(HWND hwnd) {
  if (!UiThreadHere()) return OnUi([&] { return SetFocus(hwnd); });
  HWND old;
  {
    Guard g(W().lock);
    if (hwnd && !Find(hwnd)) return nullptr;
    old = W().focus;
    if (old == hwnd) return old;
    W().focus = hwnd;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && IsWindow(hwnd)) {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (top && GetActiveWindow() != top) {
      Guard g(W().lock);
      W().active = top;
    }
    SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  return old;
}

HWND GetActiveWindow() {
  Guard g(W().lock);
  return W().active;
}

namespace {
// Activation with its WM_ACTIVATE code: WA_ACTIVE (1) for a program's
// activation, WA_CLICKACTIVE (2) for a mouse click.
HWND ActivateWindow(HWND hwnd, WPARAM code);
}  // namespace

HWND SetActiveWindow(HWND hwnd) { return ActivateWindow(hwnd, 1); }

namespace {
HWND ActivateWindow(HWND hwnd, WPARAM code) {
  if (!UiThreadHere()) return OnUi([&] { return ActivateWindow(hwnd, code); });
  HWND old;
  {
    Guard g(W().lock);
    Win* w = Find(hwnd);
    if (!w || w->Child()) return nullptr;
    old = W().active;
    if (old == hwnd) return old;
    W().active = hwnd;
  }
  // Menu windows never activate: another window becoming active means the
  // owner lost the focus, and a menu being tracked closes.
  EndMenu();
  if (old && IsWindow(old)) SendMessageW(old, WM_ACTIVATE, 0, reinterpret_cast<LPARAM>(hwnd));
  SendMessageW(hwnd, WM_ACTIVATE, code, reinterpret_cast<LPARAM>(old));
  return old;
}
}  // namespace

BOOL SetForegroundWindow(HWND hwnd) {
  if (IsForeignHandle(hwnd)) return RemoteSetForegroundWindow(hwnd);
  return SetActiveWindow(hwnd) != nullptr || GetActiveWindow() == hwnd; }
HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND SetCapture(HWND hwnd) {
  HWND old;
  {
    Guard g(W().lock);
    if (!Find(hwnd)) return nullptr;
    old = W().capture;
    W().capture = hwnd;
  }
  if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old;
  {
    Guard g(W().lock);
    old = W().capture;
    W().capture = nullptr;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  Guard g(W().lock);
  return W().capture;
}

short GetKeyState(int vk) {
  Guard g(W().lock);
  BYTE k = W().keys[vk & 0xFF];
  return static_cast<short>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

short GetAsyncKeyState(int vk) { return static_cast<short>(GetKeyState(vk) & 0x8000); }

BOOL GetCursorPos(POINT* pt) {
  if (!pt) return FALSE;
  Guard g(W().lock);
  *pt = W().mouse;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  Guard g(W().lock);
  W().mouse = POINT{x, y};
  return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  auto id = reinterpret_cast<std::uintptr_t>(name);
  if (id < 32512 || id > 32651) return nullptr;
  return reinterpret_cast<HCURSOR>(id);
}

int CursorShapeOf(HCURSOR cursor) {
  auto id = reinterpret_cast<std::uintptr_t>(cursor);
  return (id >= 32512 && id <= 32651) ? static_cast<int>(id) : 0;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old;
  ScreenHost* host;
  {
    Guard g(W().lock);
    old = W().cursor;
    W().cursor = cursor;
    host = W().host;
  }
  if (host && old != cursor) host->CursorChanged(cursor);
  return old;
}

HCURSOR GetCursor() {
  Guard g(W().lock);
  return W().cursor;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* tme) {
  if (!tme) return FALSE;
  HWND under = nullptr;
  {
    Guard g(W().lock);
    if (tme->dwFlags & TME_CANCEL) {
      if (W().trackHwnd == tme->hwndTrack) {
        W().trackFlags &= ~(tme->dwFlags & (TME_LEAVE | TME_HOVER));
        if (!(W().trackFlags & (TME_LEAVE | TME_HOVER))) W().trackHwnd = nullptr;
      }
      return TRUE;
    }
    if (!Find(tme->hwndTrack)) return FALSE;
  }
  under = HitTest(W().mouse);
  {
    Guard g(W().lock);
    Wm& w = W();
    if (w.trackHwnd != tme->hwndTrack) w.trackFlags = 0;
    w.trackHwnd = tme->hwndTrack;
    w.trackFlags |= tme->dwFlags & (TME_LEAVE | TME_HOVER);
    if (tme->dwFlags & TME_HOVER) {
      w.hoverTime = tme->dwHoverTime == HOVER_DEFAULT ? 400 : tme->dwHoverTime;
      w.hoverDue = UiTickCount64() + w.hoverTime;
      w.hoverPt = w.mouse;
    }
    // Asked while the mouse is elsewhere: the leave notice comes at once.
    if ((tme->dwFlags & TME_LEAVE) && under != tme->hwndTrack) {
      PostLocked(tme->hwndTrack, WM_MOUSELEAVE, 0, 0);
      w.trackFlags &= ~TME_LEAVE;
      if (!(w.trackFlags & TME_HOVER)) w.trackHwnd = nullptr;
    }
  }
  WakeUi();
  return TRUE;
}

// The caret is drawn by the layer: an inverted rectangle at the caret
// position that blinks every 530 ms while shown, taken off while the window
// paints (BeginPaint) and put back afterwards (EndPaint).
namespace {
constexpr UINT kCaretBlinkMs = 530;

// Inverts the caret rectangle in its window (UI thread, lock not held).
void FlipCaret(HWND hwnd, POINT pos, SIZE size) {
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  PatBlt(dc, pos.x, pos.y, size.cx, size.cy, DSTINVERT);
  ReleaseDC(hwnd, dc);
}

// Sets the caret's pixels on or off.
void DrawCaret(bool on) {
  HWND hwnd;
  POINT pos;
  SIZE size;
  {
    Guard g(W().lock);
    Wm& w = W();
    if (!w.caretHwnd || w.caretOn == on) return;
    w.caretOn = on;
    hwnd = w.caretHwnd;
    pos = w.caretPos;
    size = w.caretSize;
  }
  FlipCaret(hwnd, pos, size);
}

void CaretBlink(HWND, UINT, UINT_PTR, DWORD) {
  bool show;
  {
    Guard g(W().lock);
    show = W().caretHwnd && W().caretHidden == 0 && !W().caretOn;
  }
  DrawCaret(show);
}

void RestartBlink() {
  UINT_PTR id;
  {
    Guard g(W().lock);
    id = W().caretTimer;
  }
  if (id) KillTimer(nullptr, id);
  UINT_PTR fresh = SetTimer(nullptr, 0, kCaretBlinkMs, CaretBlink);
  Guard g(W().lock);
  W().caretTimer = fresh;
}
}  // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
  if (!IsWindow(hwnd)) return FALSE;
  DestroyCaret();
  Guard g(W().lock);
  W().caretHwnd = hwnd;
  W().caretSize = SIZE{width > 0 ? width : 1, height > 0 ? height : 1};
  W().caretHidden = 1;
  W().caretOn = false;
  return TRUE;
}

BOOL SetCaretPos(int x, int y) {
  bool wasOn;
  {
    Guard g(W().lock);
    wasOn = W().caretOn;
  }
  DrawCaret(false);
  {
    Guard g(W().lock);
    W().caretPos = POINT{x, y};
  }
  if (wasOn) DrawCaret(true);
  return TRUE;
}

BOOL ShowCaret(HWND) {
  bool show;
  {
    Guard g(W().lock);
    if (!W().caretHwnd) return FALSE;
    if (W().caretHidden > 0) W().caretHidden--;
    show = W().caretHidden == 0;
  }
  if (show) {
    DrawCaret(true);
    RestartBlink();
  }
  return TRUE;
}

BOOL HideCaret(HWND) {
  {
    Guard g(W().lock);
    if (!W().caretHwnd) return FALSE;
    W().caretHidden++;
  }
  DrawCaret(false);
  return TRUE;
}

BOOL DestroyCaret() {
  DrawCaret(false);
  UINT_PTR id;
  {
    Guard g(W().lock);
    W().caretHwnd = nullptr;
    id = W().caretTimer;
    W().caretTimer = 0;
  }
  if (id) KillTimer(nullptr, id);
  return TRUE;
}

BOOL GetCaretPos(POINT* pt) {
  if (!pt) return FALSE;
  Guard g(W().lock);
  *pt = W().caretPos;
  return TRUE;
}

// On screen the desktop's clipboard is used too, so text moves between
// programs; off screen the layer's own copy serves.
BOOL SetClipboardText(const WString& text) {
  bool onScreen;
  {
    Guard g(W().lock);
    W().clipboard = text;
    onScreen = W().host != nullptr;
  }
  if (onScreen && IsUiThread() && QGuiApplication::clipboard())
    QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
  return TRUE;
}
WString GetClipboardText() {
  bool onScreen;
  {
    Guard g(W().lock);
    onScreen = W().host != nullptr;
  }
  if (onScreen && IsUiThread() && QGuiApplication::clipboard()) {
    QString t = QGuiApplication::clipboard()->text();
    if (!t.isEmpty()) return t.toStdU16String();
  }
  Guard g(W().lock);
  return W().clipboard;
}

// ---------------------------------------------------------------------------
// Timers.

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  {
    Guard g(W().lock);
    Wm& w = W();
    if (hwnd && !Find(hwnd)) return 0;
    UINT elapse = std::max<UINT>(elapseMs, 10);
    ULONGLONG due = UiTickCount64() + elapse;
    if (!hwnd) id = w.nextTimerId++;
    for (auto& t : w.timers) {
      if (t.hwnd == hwnd && t.id == id) {
        t.elapse = elapse;
        t.due = due;
        t.proc = proc;
        return hwnd ? (id ? id : 1) : id;
      }
    }
    w.timers.push_back(TimerRec{hwnd, id, elapse, due, proc});
  }
  WakeUi();
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  Guard g(W().lock);
  auto& v = W().timers;
  auto it = std::find_if(v.begin(), v.end(), [&](const TimerRec& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == v.end()) return FALSE;
  v.erase(it);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Input routing.

void SetKeyDown(UINT vk, bool down) {
  Guard g(W().lock);
  BYTE& k = W().keys[vk & 0xFF];
  if (down && !(k & 0x80)) k ^= 0x01;
  k = static_cast<BYTE>(down ? (k | 0x80) : (k & ~0x80));
}

void ResetInputState() {
  Guard g(W().lock);
  Wm& w = W();
  std::fill(std::begin(w.keys), std::end(w.keys), 0);
  w.capture = nullptr;
  w.trackHwnd = nullptr;
  w.trackFlags = 0;
  w.hoverDue = 0;
  w.lastDownHwnd = nullptr;
  w.focus = nullptr;
  w.active = nullptr;
  w.mouse = POINT{-32000, -32000};
  w.posted.clear();
  if (w.caretTimer) {
    UINT_PTR blink = w.caretTimer;
    w.timers.erase(std::remove_if(w.timers.begin(), w.timers.end(),
                                  [&](const TimerRec& t) { return !t.hwnd && t.id == blink; }),
                   w.timers.end());
  }
  w.caretHwnd = nullptr;
  w.caretOn = false;
  w.caretTimer = 0;
  w.quit = false;
}

void InjectMouse(MouseInput kind, POINT pt, int wheelDelta) {
  InitUiThread();
  HWND under = HitTest(pt);
  HWND leaveTarget = nullptr;
  {
    Guard g(W().lock);
    Wm& w = W();
    w.mouse = pt;
    switch (kind) {
      case MouseInput::LeftDown: w.keys[VK_LBUTTON] |= 0x80; break;
      case MouseInput::LeftUp: w.keys[VK_LBUTTON] &= ~0x80; break;
      case MouseInput::RightDown: w.keys[VK_RBUTTON] |= 0x80; break;
      case MouseInput::RightUp: w.keys[VK_RBUTTON] &= ~0x80; break;
      case MouseInput::MiddleDown: w.keys[VK_MBUTTON] |= 0x80; break;
      case MouseInput::MiddleUp: w.keys[VK_MBUTTON] &= ~0x80; break;
      default: break;
    }
    if (w.trackHwnd && under != w.trackHwnd && (w.trackFlags & TME_LEAVE)) {
      leaveTarget = w.trackHwnd;
      w.trackHwnd = nullptr;
      w.trackFlags = 0;
      w.hoverDue = 0;
    }
    if (w.trackHwnd && (w.trackFlags & TME_HOVER) &&
        (std::abs(pt.x - w.hoverPt.x) > 2 || std::abs(pt.y - w.hoverPt.y) > 2)) {
      w.hoverPt = pt;
      w.hoverDue = UiTickCount64() + w.hoverTime;
    }
    if (leaveTarget) PostLocked(leaveTarget, WM_MOUSELEAVE, 0, 0);
  }
  HWND capture = GetCapture();
  HWND target = capture ? capture : under;
  if (!target) return;
  if (!capture && !IsWindowEnabled(target)) return;  // disabled windows take no mouse input
  bool down = kind == MouseInput::LeftDown || kind == MouseInput::RightDown || kind == MouseInput::MiddleDown;
  UINT msg = 0;
  switch (kind) {
    case MouseInput::Move: msg = WM_MOUSEMOVE; break;
    case MouseInput::LeftDown: msg = WM_LBUTTONDOWN; break;
    case MouseInput::LeftUp: msg = WM_LBUTTONUP; break;
    case MouseInput::RightDown: msg = WM_RBUTTONDOWN; break;
    case MouseInput::RightUp: msg = WM_RBUTTONUP; break;
    case MouseInput::MiddleDown: msg = WM_MBUTTONDOWN; break;
    case MouseInput::MiddleUp: msg = WM_MBUTTONUP; break;
    case MouseInput::Wheel: msg = WM_MOUSEWHEEL; break;
  }
  if (kind == MouseInput::Wheel) {
    HWND focus = GetFocus();
    HWND wheelTarget = focus ? focus : target;
    Guard g(W().lock);
    PostLocked(wheelTarget, WM_MOUSEWHEEL, MAKEWPARAM(KeyFlags(), wheelDelta), MAKELPARAM(pt.x, pt.y));
    WakeUi();
    return;
  }
  if (down && !capture) {
    // The window is asked whether the press activates its top-level window
    // (tool tips and pop-up menus answer no) and whether it is eaten.
    HWND top = GetAncestor(target, GA_ROOT);
    bool noActivate = (GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0;
    LRESULT answer = SendMessageW(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top), MAKELPARAM(HTCLIENT, msg));
    if (!noActivate && answer != MA_NOACTIVATE && answer != MA_NOACTIVATEANDEAT && top && GetActiveWindow() != top)
      ActivateWindow(top, 2);  // WA_CLICKACTIVE
    if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return;
  }
  if (!capture) SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, msg));
  Guard g(W().lock);
  Wm& w = W();
  Win* t = Find(target);
  if (!t) return;
  if (down) {
    ULONGLONG now = UiTickCount64();
    bool dbl = (t->cls->style & CS_DBLCLKS) && w.lastDownHwnd == target && w.lastDownMsg == msg &&
               now - w.lastDownTime <= GetDoubleClickTime() &&
               std::abs(pt.x - w.lastDownPt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
               std::abs(pt.y - w.lastDownPt.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
    if (dbl) {
      msg += 2;  // WM_xBUTTONDBLCLK
      w.lastDownHwnd = nullptr;
    } else {
      w.lastDownHwnd = target;
      w.lastDownMsg = msg;
      w.lastDownTime = now;
      w.lastDownPt = pt;
    }
  }
  QPoint o = ClientOriginOnScreen(t);
  PostLocked(target, msg, KeyFlags(), MAKELPARAM(pt.x - o.x(), pt.y - o.y()));
  WakeUi();
}

void InjectKey(UINT vk, bool down, int repeat) {
  InitUiThread();
  Guard g(W().lock);
  Wm& w = W();
  bool wasDown = (w.keys[vk & 0xFF] & 0x80) != 0;
  HWND target = w.focus ? w.focus : w.active;
  if (!target) {
    SetKeyDown(vk, down);
    return;
  }
  // The key state changes when the message is taken from the queue, so
  // GetKeyState answers as of the message being handled.
  LPARAM l = (repeat & 0xFFFF) | ((static_cast<LPARAM>(vk) & 0xFF) << 16);
  if (wasDown) l |= 1 << 30;
  if (!down) l |= static_cast<LPARAM>(0xC0000000u);
  // Keys with Alt held, Alt itself and F10 are system keys.
  bool alt = (w.keys[VK_MENU] & 0x80) != 0 || vk == VK_MENU;
  bool system = alt || vk == VK_F1 + 9;
  if (alt) l |= 1 << 29;
  UINT msg = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  PostLocked(target, msg, vk, l);
  WakeUi();
}

void InjectChar(WCHAR ch) {
  Guard g(W().lock);
  Wm& w = W();
  HWND target = w.focus ? w.focus : w.active;
  if (!target) return;
  PostLocked(target, WM_CHAR, ch, 1);
  WakeUi();
}

// ---------------------------------------------------------------------------
// Host and desktop access.

QImage* TopLevelBacking(HWND top) {
  Guard g(W().lock);
  Win* w = Find(top);
  return w && !w->Child() ? w->backing.get() : nullptr;
}

bool WindowRectInBacking(HWND hwnd, QRect* rect) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  if (!w || !rect) return false;
  *rect = QRect(OriginInTop(w), w->rect.size());
  return true;
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
  Win* t = TopOf(w);
  if (!t) return false;
  if (top) *top = t->hwnd;
  if (rectInTop) *rectInTop = QRect(OriginInTop(w), w->rect.size());
  if (visible) *visible = VisibleChain(w);
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
  Guard g(W().lock);
  Win* w = Find(top);
  if (!w || w->Child() || !info) return false;
  info->visible = (w->style & WS_VISIBLE) != 0;
  info->popup = (w->style & WS_CAPTION) != WS_CAPTION;
  info->owned = w->owner != nullptr;
  info->maximized = (w->style & WS_MAXIMIZE) != 0;
  info->rect = w->rect;
  info->title = w->text;
  return true;
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

bool GetCaretRect(HWND* hwnd, RECT* rect) {
  Guard g(W().lock);
  Wm& w = W();
  if (!w.caretHwnd || !Find(w.caretHwnd)) return false;
  if (hwnd) *hwnd = w.caretHwnd;
  if (rect)
    *rect = RECT{w.caretPos.x, w.caretPos.y, w.caretPos.x + w.caretSize.cx, w.caretPos.y + w.caretSize.cy};
  return true;
}
