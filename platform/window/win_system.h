// The records of the window system and the helpers its sources share
// (platform/window/win_*.cpp, one job each: tree and lifetime, queue and
// dispatch, default handling, painting, input and focus, caret and
// clipboard, timers, hooks). Not for use outside platform/window/.
//
// The lock rule: W().lock, a recursive mutex, guards the records below (see
// each record for the exceptions). Helpers whose names end in "Locked" expect
// the caller to hold it; every other function takes it itself. It is never
// held while a window procedure, a hook or a host callback runs, so those may
// call any function of the layer. The common "lock, find the window, bail
// out, read fields" is WithWin.
#pragma once

#include "platform/window/win_internal.h"
#include "platform/controls/win_controls.h"

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_thread.h"

#include <QImage>
#include <QRect>
#include <QRegion>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

class QObject;
class QTimer;

namespace winsys {

struct ClassRec {
  WString name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;
  HCURSOR cursor = nullptr;
  ATOM atom = 0;
};

// One window. Every field is guarded by W().lock except screenDirty (atomic)
// and the backing picture's pixels (drawn by whoever holds a DC on it, see
// gdi/); hwnd, cls and the Child() kind never change after creation.
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
  HICON icons[2] = {};    // WM_SETICON: ICON_SMALL, ICON_BIG (not owned)
  HFONT font = nullptr;
  QRegion update;         // client coordinates
  bool erase = false;
  bool ncDirty = true;
  bool redraw = true;
  bool destroying = false;
  bool created = false;
  bool nativeChild = false;  // a native window of the host covers it
  QRect restoreRect;      // top-level windows: the rectangle before maximising
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

// The window system's state. Every field is guarded by `lock` except the
// atomics (wakePosted, wakeFd) and the Qt objects (waker, wakeTimer), which
// only the UI thread touches.
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

Wm& W();
using Guard = std::lock_guard<std::recursive_mutex>;

Win* Find(HWND hwnd);
WString Lower(const WString& s);
WString FromZ(LPCWSTR s);
void Trace(const char* text);
void WakeUi();
int InsetLocked(const Win* w);
QRect ClientRectOfLocked(const Win* w);
Win* TopOfLocked(Win* w);
QPoint OriginInTopLocked(Win* w);
QPoint ClientOriginOnScreenLocked(Win* w);
bool VisibleChainLocked(Win* w);
bool RedrawChainLocked(Win* w);
QRegion VisibleRegionLocked(Win* w, bool client);
void InvalidateLocked(Win* w, const QRegion& clientRgn, bool erase, bool children, bool allChildren = false);
void ExposeParentLocked(Win* w, const QRect& rect);
void FullInvalidateLocked(Win* w);
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void NotifyNativeChildren(HWND hwnd);
void NotifyHost(HWND top);
void DrawNonClientLocked(Win* w, HWND hwnd);
// Outside the lock: when the frame needs drawing, sends WM_NCPAINT (whose
// default handling is DrawNonClientLocked).
void PaintNonClient(HWND hwnd);
// win_frame.cpp: sizes a top-level window for SW_MAXIMIZE and SW_RESTORE
// (after the style changed), and the default handling of WM_NCPAINT,
// WM_SYSCOMMAND, WM_NCLBUTTONDOWN and WM_NCLBUTTONDBLCLK.
void ApplyWindowState(HWND hwnd, int cmd, bool wasZoomed);
LRESULT DefFrameMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HWND FirstInvalidLocked(HWND hwnd);
HWND NextPaintWindowLocked();
bool UiThreadHere();
void RunCalls();
bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi);
void FlushScreens();
UINT KeyFlagsLocked();
void PostLocked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void CollectTreeLocked(HWND hwnd, std::vector<HWND>* out);
void ReorderLocked(Win* w, HWND after);
HWND HitChildLocked(Win* parent, QPoint clientPt, const std::vector<HWND>& excluded);
HWND HitTop(POINT pt);
HWND HitTest(POINT pt, LRESULT* code = nullptr);  // code: the window's WM_NCHITTEST answer (HTCLIENT for a top-level window)
LRESULT CallProcAsSend(bool fromOtherThread, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
WCHAR CharForKeyLocked(UINT vk);
HWND ActivateWindow(HWND hwnd, WPARAM code);
void FlipCaret(HWND hwnd, POINT pos, SIZE size);
void DrawCaret(bool on);
void CaretBlink(HWND, UINT, UINT_PTR, DWORD);
void RestartBlink();

// A RECT (right and bottom excluded) as a QRect.
inline QRect QRectOf(const RECT& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

// Under the lock: fn(window record) for a live window, def for any other handle.
template <class R, class Fn>
R WithWin(HWND hwnd, R def, Fn fn) {
  Guard g(W().lock);
  Win* w = Find(hwnd);
  return w ? fn(*w) : def;
}

// Runs fn on the UI thread and waits for its result (the calling thread is
// not the UI thread).
template <class Fn>
auto OnUi(Fn fn) -> decltype(fn()) {
  if (UiThreadHere()) return fn();
  decltype(fn()) result{};
  RunOnUiThread([&] { result = fn(); });
  return result;
}

// Shared state of the queue (UI thread unless atomic).
extern std::atomic<BOOL (*)(MSG*)> g_messageFilter;  // SetMessageFilter
extern bool g_inInterThreadSend;                      // InSendMessage

}  // namespace winsys
