// What the test desktop and the screen host need of the window system.
// Not for use outside platform/.
#pragma once

#include "platform/gdi/win_gdi.h"

#include <QImage>

#include <functional>

// The screen size GetSystemMetrics reports (1920x1080 until told): the
// host sets the real screen's, the test desktop its own.
void SetScreenSize(int width, int height);

// True once some thread has become the UI thread.
bool HasUiThread();

// Mouse input kinds for InjectMouse.
enum class MouseInput { Move, LeftDown, LeftUp, RightDown, RightUp, MiddleDown, MiddleUp, Wheel };

// Routes real or synthetic input the way the platform does: hit testing
// (or the capture), activation, double clicks by class style, cursor
// questions, leave and hover notices; the messages are posted to the queue.
// UI thread only.
void InjectMouse(MouseInput kind, POINT screenPt, int wheelDelta = 0);
// A key going down (with its repeat count) or up, to the focus window.
void InjectKey(UINT vk, bool down, int repeat = 1);
// A character committed by an input method (or typed with no key code).
void InjectChar(WCHAR ch);
// Sets the state of a modifier or lock key without a message (host use).
void SetKeyDown(UINT vk, bool down);

// Forgets pressed keys and buttons, capture, mouse tracking, the last
// click, the focus and the active window (test desktop).
void ResetInputState();

// The backing picture of a top-level window (null for other handles).
QImage* TopLevelBacking(HWND top);
// The window's rectangle in its top-level window's picture.
bool WindowRectInBacking(HWND hwnd, QRect* rect);

// Due time of the earliest timer or hover notice; false when none.
bool NextTimerDue(ULONGLONG* due);
// True when a message, a cross-thread call, a paint or a due timer waits.
bool HasPendingWork();
// Waits (UI thread) until another thread posts, invalidates or asks for a
// call, or until timeoutMs passes.
void WaitForWork(DWORD timeoutMs);
// Runs the message loop until nothing is left to do (WM_QUIT is left in
// place). Returns the number of messages dispatched. UI thread only.
int PumpUntilIdle(int maxMessages = 100000);

// Called (UI thread) by GetMessageW, in whatever loop runs it, each time the
// queue has nothing left to do and before it waits; answering true asks to be
// called again within a few milliseconds. The test desktop runs its steps
// from here. Null removes the hook.
void SetIdleHook(std::function<bool()> hook);

// The framework's PreTranslateMessage walk: PumpUntilIdle asks it before
// translating and dispatching; TRUE means the message was taken.
void SetMessageFilter(BOOL (*filter)(MSG*));

// The on-screen host: told about top-level windows; it turns Qt's input
// into InjectMouse/InjectKey calls and copies backing pictures to screen.
class ScreenHost {
 public:
  virtual ~ScreenHost() = default;
  virtual void TopLevelChanged(HWND top) = 0;    // shown, hidden, moved, sized, retitled
  virtual void TopLevelDestroyed(HWND top) = 0;
  virtual void Flush(HWND top) = 0;              // the picture changed
  virtual void CursorChanged(HCURSOR cursor) = 0;
  // A native window inside the top-level one, covering the child window, for
  // another process to embed into; 0 when the host cannot make one.
  virtual std::uintptr_t NativeChild(HWND child) = 0;
  virtual void NativeChildChanged(HWND child) = 0;  // moved, sized, shown or hidden
  virtual void NativeChildDestroyed(HWND child) = 0;
  // Puts the native window of this process's top-level window inside a
  // foreign native window (embedding, client side); false when it cannot.
  virtual bool EmbedTopLevel(HWND /*top*/, std::uintptr_t /*nativeParent*/) { return false; }
};
// Asks the screen host, when one runs, to embed a top-level window.
bool EmbedTopLevelOnScreen(HWND top, std::uintptr_t nativeParent);
void SetScreenHost(ScreenHost* host);
// The Qt host's window of a top-level window (null when none); and turning
// the host off again (tests; windows shown meanwhile must be destroyed first).
class QWindow;
QWindow* ScreenWindowOf(HWND top);
void DisableScreenHost();
// Information for the host.
struct TopLevelInfo {
  bool visible = false;
  bool popup = false;      // no native frame
  bool owned = false;      // has an owner (menus, tips, drop-down lists)
  bool maximized = false;
  QRect rect;              // screen rectangle
  WString title;
  DWORD style = 0;         // the window style (caption buttons of the native frame)
  bool appWindow = false;  // WS_EX_APPWINDOW: a task-bar entry even when owned
  HICON icon = nullptr;    // the big icon, else the small one
};
// The picture of an icon from LoadIconW; a null picture for another handle.
QImage IconPicture(HICON icon);
// The native child's place: its rectangle in the top-level window and
// whether it is visible.
bool GetNativeChildInfo(HWND child, HWND* top, QRect* rectInTop, bool* visible);
bool GetTopLevelInfo(HWND top, TopLevelInfo* info);
// The caret's window and rectangle in that window's client coordinates;
// false when no window has a caret.
bool GetCaretRect(HWND* hwnd, RECT* rect);
// Called by the host when the native frame moved or resized the window.
void HostMovedTopLevel(HWND top, const QRect& screenRect);
