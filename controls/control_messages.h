// Message numbers the skinned controls send to their parents, to the
// application's main window, or among their own parts.
#pragma once

#include "platform/window/win_user.h"

// The tab bar to the application's main window (both sent, so the title in
// lParam is valid only during the call): show the page of a tab (wParam the
// tab's page value, lParam its UTF-8 title), and a tab is being closed.
constexpr UINT WM_OPEN_TAB = 10102;
constexpr UINT WM_CLOSE_TAB = 10103;

// A tab button to its bar (sent; wParam 0, lParam the CTabButton): a click
// on the tab outside its close box, and a click in the close box.
constexpr UINT WM_TABBUTTON_SELECT = WM_USER + 1;
constexpr UINT WM_TABBUTTON_CLOSE = WM_USER + 2;
