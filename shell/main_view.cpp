#include "shell/main_view.h"

#include "shell/frame_messages.h"

BOOL CMainView::PreTranslateMessage(MSG* msg) {
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return CWnd::PreTranslateMessage(msg);
  if (msg->wParam == VK_PROCESSKEY) msg->wParam = ImmGetVirtualKey(msg->hwnd);
  if (msg->wParam >= VK_F1 && msg->wParam <= VK_F1 + 11) {
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_KEY_COMMAND, 0, kKeyFunctionBase + msg->wParam);
    return TRUE;
  }
  return CWnd::PreTranslateMessage(msg);
}

void CMainView::OnKeyDown(UINT key, UINT, UINT) {
  if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_KEY_COMMAND, 0, key);
}

LRESULT CMainView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TABLEBAR_SELECT) {
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_VIEW_SWITCH, wParam, lParam);
    return 0;
  }
  return CWnd::WindowProc(msg, wParam, lParam);
}
