// System metrics: the classic fixed sizes, and the screen's size — the real
// screen's while the on-screen host runs, a settable one on the test desktop.
#include "platform/window/win_internal.h"

#include <atomic>

namespace {
std::atomic<int> g_screenWidth{1920}, g_screenHeight{1080};
constexpr int kTaskBar = 40, kCaption = 22, kFrame = 8;
}  // namespace

void SetScreenSize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  g_screenWidth = width;
  g_screenHeight = height;
}

int GetSystemMetrics(int index) {
  int w = g_screenWidth, h = g_screenHeight;
  switch (index) {
    case SM_CXSCREEN: case SM_CXVIRTUALSCREEN: case SM_CXFULLSCREEN: return w;
    case SM_CYSCREEN: case SM_CYVIRTUALSCREEN: return h;
    case SM_CYFULLSCREEN: return h - kTaskBar - kCaption;
    case SM_CXMAXIMIZED: return w + 2 * kFrame;
    case SM_CYMAXIMIZED: return h - kTaskBar + 2 * kFrame;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return kCaption;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 20;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CYSMCAPTION: return 16;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_CMONITORS: return 1;
    default: return 0;
  }
}

UINT GetDoubleClickTime() { return 500; }

BOOL SystemParametersInfoW(UINT action, UINT, void* value, UINT) {
  if (action != SPI_GETWORKAREA || value == nullptr) return FALSE;
  *static_cast<RECT*>(value) = RECT{0, 0, g_screenWidth, g_screenHeight - kTaskBar};
  return TRUE;
}
