// CMainView: the empty child window that covers the main frame's client area
// above the status bar. It is the parent of the quote view, the trade view,
// the navigation bar and the tab bar, and the host of every tab's browser
// view.
//
// Keys: before translation, a key-down whose code is 229 (VK_PROCESSKEY) is
// replaced by ImmGetVirtualKey of its window; F1 to F12 pressed in any of its
// descendants are posted to the application's main window as WM_KEY_COMMAND
// (0, 40000 + key) and eaten. A key-down that reaches the view itself is
// posted on as WM_KEY_COMMAND (0, key). Message 4001 is re-posted unchanged
// to the parent as WM_VIEW_SWITCH.
#pragma once

#include "platform/mfc/afx.h"

class CMainView : public CWnd {
 public:
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
