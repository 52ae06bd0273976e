// Window hooks (WH_CBT, WH_CALLWNDPROC): installed here, called by CallProc.
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
