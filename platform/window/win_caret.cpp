// The caret and the clipboard.
#include "platform/window/win_system.h"

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

// The caret is drawn by the layer: an inverted rectangle at the caret
// position that blinks every 530 ms while shown, taken off while the window
// paints (BeginPaint) and put back afterwards (EndPaint).
namespace winsys {
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
}  // namespace winsys

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

bool GetCaretRect(HWND* hwnd, RECT* rect) {
  Guard g(W().lock);
  Wm& w = W();
  if (!w.caretHwnd || !Find(w.caretHwnd)) return false;
  if (hwnd) *hwnd = w.caretHwnd;
  if (rect)
    *rect = RECT{w.caretPos.x, w.caretPos.y, w.caretPos.x + w.caretSize.cx, w.caretPos.y + w.caretSize.cy};
  return true;
}
