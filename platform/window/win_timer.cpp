// Window timers.
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
