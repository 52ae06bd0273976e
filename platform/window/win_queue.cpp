// The queue: the UI thread, cross-thread calls, sending, posting, peeking,
// waiting, translating and dispatching messages.
#include "platform/window/win_system.h"
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
    if (RunModuleMessageFilter(&msg)) {
      ++count;
      continue;
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
// Messages.

namespace winsys {
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
}  // namespace winsys

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
  // Only a UI thread has a queue; another process's is reached through its port.
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
        const bool input = msg->lPrivate == MSG_INPUT;
        if (input && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN))
          SetKeyDown(static_cast<UINT>(msg->wParam), true);
        if (input && (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP))
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
          QPoint o = ClientOriginOnScreenLocked(t);
          *msg = MSG{target, WM_MOUSEHOVER, KeyFlagsLocked(), MAKELPARAM(pt.x - o.x(), pt.y - o.y()),
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

namespace winsys {
std::function<bool()> g_idleHook;  // UI thread only
}  // namespace winsys

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

namespace winsys {
WCHAR CharForKeyLocked(UINT vk) {
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
}  // namespace winsys

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  WCHAR ch;
  {
    Guard g(W().lock);
    ch = CharForKeyLocked(static_cast<UINT>(msg->wParam));
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
  bool frameOnly;
  {
    Guard g(W().lock);
    Win* w = Find(msg->hwnd);
    if (!w) return 0;
    serial = w->paintSerial;
    frameOnly = w->update.isEmpty();
  }
  if (frameOnly) {
    // Only the frame needs drawing.
    PaintNonClient(msg->hwnd);
    return 0;
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
