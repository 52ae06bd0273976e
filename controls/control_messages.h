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

// List windows filled on a network thread (monitor/): a list's own request,
// posted to itself by a fill, to apply one of its kept scroll-info records to
// one of its bars on the UI thread (wParam the bar object, lParam the record).
// A command that reached a list goes on as WM_LIST_COMMAND_NOTICE (below).
constexpr UINT WM_APPLY_SCROLLINFO = 5319;

// The pop-up list (pop_list.h), posted to its parent on a double click on a
// row: wParam the list object, lParam the row.
constexpr UINT WM_POPLIST_DBLCLK = 5325;

// An indicator tool bar (CIndexToolsBar) to its parent (posted): a tab was
// chosen, wParam the bar object, lParam the tab's index.
constexpr UINT WM_INDEXBAR_SELECT = 4000;

// The on-screen keyboard to its dialog, and the dialog on to its target
// (sent; lParam valid only during the call): wParam 0 confirm, 1 exit,
// 2 delete the last character, 3 append the one-character UTF-16 text at
// lParam. Other values are passed on unchanged.
constexpr UINT WM_SOFTKEY_INPUT = 0x7E8;
enum SoftKeyInput : WPARAM { kSoftKeyConfirm = 0, kSoftKeyExit = 1, kSoftKeyDelete = 2, kSoftKeyText = 3 };

// The on-screen keyboard's children, and the keyboard inside its dialog.
constexpr UINT IDC_SOFTKEY_LABEL = 12100;
constexpr UINT IDC_SOFTKEY_OK = 12101;
constexpr UINT IDC_SOFTKEY_EXIT = 12102;
constexpr UINT IDC_SOFTKEY_DELETE = 12103;
constexpr UINT IDC_SOFTKEY_CASE = 12104;
constexpr UINT IDC_SOFTKEY_FIRST = 12105;  // character key i is IDC_SOFTKEY_FIRST + i, i < 36
constexpr UINT IDC_SOFTKEYBOARD = 12199;
// The keyboard dialog's template.
constexpr UINT IDD_SOFTKEY = 228;

// Chart windows (charts/): notices to their parents and main window.
constexpr UINT WM_CHART_REFRESH = 5320;        // to itself: invalidate, update the title windows
constexpr UINT WM_KLINE_RELDATA_READY = 5322;  // (data type, 0) from the related-data fetcher
constexpr UINT WM_KLINE_EXRIGHTS = 5324;       // (y << 16 | x, item) hover; (0, 1) left; (0, 0) double click
constexpr UINT WM_RATING_MARK_PICK = 5326;     // (y << 16 | x, YYYYMMDD); (0, 1) left
constexpr UINT WM_KLINE_CLICK = 5327;          // (view, y * 65536 + x)
constexpr UINT WM_NEWS_MARK_PICK = 5331;       // (y << 16 | x, YYYYMMDD); (0, 1) left
constexpr UINT WM_STOCKPAGE_NOTE = 5332;       // (0, 0) the cursor bar changed
constexpr UINT WM_CHART_MENU_KLINE = 7000;     // sent: (screen y << 16 | x, 7000)
constexpr UINT WM_KLINE_PANE_LAYOUT = 7200;    // sent: (screen y << 16 | x, 7200)
constexpr UINT WM_POP_HTML = 10101;            // sent to the main window: (UTF-16 address, title)
constexpr UINT WM_CHART_MENU_MIN = 6000;       // sent by the minute view: (screen y << 16 | x, 6000)
constexpr UINT WM_MINUTE_MINE_PICK = 5330;     // posted by the minute view: (y << 16 | x, mark index); (0, 1) left
constexpr UINT WM_MINICHART_BUTTON = 5321;     // sent by a mini chart window: (title button id, window index)
constexpr UINT WM_MINICHART_DBLCLK = 4611;     // sent by a mini chart window: (window index, 1 minute / 2 K-line)
constexpr UINT WM_LIST_COMMAND_NOTICE = 5318;  // a command passed on to the main window (command's wParam, 0)

// Between the pages, the quote view and the main frame. A posted message
// that carries a key or a text carries a heap copy owned by the message
// (`new StockKey` / `new char[]`): its final handler frees it, a relay
// passes it on unchanged. Sent messages lend their pointers for the call.
constexpr UINT WM_RELAYOUT_MAIN = 4604;        // trade view → main window: (0, 0) shown or hidden
constexpr UINT WM_QUICK_TRADE = 4605;          // → main window: (4606 buy, 4607 sell, 4608 flash buy, 4609 flash sell)
constexpr UINT WM_SELECT_SITE = 5313;          // → main window: the site selection
constexpr UINT WM_SHOW_BLOCK_STOCKS = 5314;    // → main window: (block kind 0/1/2, block id)
constexpr UINT WM_SAVE_OWN_STOCKS = 5315;      // → main window: (1 added / 2 removed, StockKey copy; 3 whole list, 0)
constexpr UINT WM_GET_OWN_STOCKS = 5316;       // → main window: download the watch list
constexpr UINT WM_RELOAD_QUOTE_TABLE = 5317;   // → main window: reload the main quote table
constexpr UINT WM_OPEN_ANALYSIS_TAB = 5329;    // quote view → main window: open the market-analysis tab
constexpr UINT WM_FIND_STOCK_CODE = 5334;      // quote view → main window: (StockKey copy, 0)
constexpr UINT WM_SHOW_STOCK = 20000;          // (open mode, StockKey copy)
constexpr UINT WM_SET_STOCK_LIST = 20005;      // (StockListInfo, list payload)
constexpr UINT WM_SHOW_INDEX_LIST = 20006;     // (code text copy or 0, 0)

// The stock page (stockpage/quote_details_view.h) and what it receives.
constexpr UINT WM_TOGGLE_CHART = 4500;          // page to itself (Enter): minute ↔ K-line; 1 when toggled
constexpr UINT WM_ALERT_ROW_PICK = 5100;        // alert list → page: (0, StockKey copy)
constexpr UINT WM_EXRIGHTS_MENU = 5323;         // page to itself: (screen y << 16 | x, 5323)
constexpr UINT WM_PERIOD_MENU = 7100;           // page to itself: (screen y << 16 | x, 7100)
constexpr UINT WM_BROWSER_DEFAULT_PAGE = 10200; // page to itself: (helper, 0) navigate to the default page
constexpr UINT WM_TICK_ROW_DBLCLK = 20003;      // ignored by the page
constexpr UINT WM_SHOW_TICK_LIST = 20004;       // page: show the full tick list
constexpr UINT WM_F10_ITEM_REQUEST = 20007;     // F10 view or page → page: (item index, 0)
constexpr UINT WM_OPEN_ORDER_PAGE = 45000;      // page: open the "PCOrder" address in the web browser
