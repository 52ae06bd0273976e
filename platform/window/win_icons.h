// Icons and window pictures: icon resources by number, a window's icon
// (WM_SETICON / WM_GETICON), the task-bar flag of top-level windows, and a
// window's pixels written to a file.
#pragma once

#include "platform/window/win_user.h"

// A top-level window with a task-bar entry on screen even when it has an
// owner (owned windows are tool windows otherwise).
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Icon resources are pictures of the resource folder (see LoadBitmapW):
// resource id N is <folder>/icon/N.png. Null and a trace when the name is
// not an id or the picture cannot be read. The instance is ignored. Each
// call gives a new icon, freed by DestroyIcon.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
BOOL DestroyIcon(HICON icon);

// WM_SETICON (wParam ICON_SMALL or ICON_BIG, lParam the icon) keeps the
// window's icon and answers the previous one; WM_GETICON answers it. On
// screen a top-level window shows its big icon (else its small one). The
// window does not own the icon.
constexpr UINT WM_SETICON = 0x0080;
constexpr WPARAM ICON_SMALL = 0, ICON_BIG = 1;
// Asked of a window shown minimised without a class icon; answers an icon.
constexpr UINT WM_QUERYDRAGICON = 0x0037;
// The framework's CWnd::SetIcon / GetIcon.
inline HICON SetWindowIcon(HWND hwnd, HICON icon, BOOL big) {
  return reinterpret_cast<HICON>(
      SendMessageW(hwnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}
inline HICON GetWindowIcon(HWND hwnd, BOOL big) {
  return reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, big ? ICON_BIG : ICON_SMALL, 0));
}

// Code of a hook call about a message being delivered (WH_CALLWNDPROC).
constexpr int HC_ACTION = 0;

// Writes the window's pixels as they are in its top-level window's picture
// (what the test desktop's Snapshot reads) to a PNG file at path (UTF-8).
// UI thread. FALSE for an invalid handle or a file that cannot be written.
BOOL SaveWindowPicture(HWND hwnd, const char* path);
