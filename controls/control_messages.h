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

// The status bar (status_bar.h), sent to its parent.
constexpr UINT WM_STATUS_LABEL_CLICK = 1225;  // (0, 0): left press on the label
constexpr UINT WM_STATUS_DBLCLK = 1226;       // (part - 1, banner text index or 0)

// The table bar (table_bar.h), posted.
constexpr UINT WM_TABLEBAR_SELECT = 4001;  // to the parent: (bar object, tab index)
constexpr UINT WM_KEY_COMMAND = 4600;      // to the main window: (0, virtual-key code)

// The pop-up list (pop_list.h), posted to its parent on a double click on a
// row: wParam the list object, lParam the row.
constexpr UINT WM_POPLIST_DBLCLK = 5325;

// An indicator tool bar (CIndexToolsBar) to its parent (posted): a tab was
// chosen, wParam the bar object, lParam the tab's index.
constexpr UINT WM_INDEXBAR_SELECT = 4000;
