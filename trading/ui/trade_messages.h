// Messages of the trading windows. Numbers are per window class: 10000 is
// also the main frame's own menu message, 0x11F8 also the program-wide key
// message (WM_KEY_COMMAND, told apart by wParam 1000).
#pragma once

#include "controls/control_messages.h"

#include "platform/kernel/win_types.h"

// To a trade window: a reply waits in its inbox (trade_reply_inbox.h).
constexpr UINT WM_TRADE_REPLY = 0x11FB;
// To the login dialog: a reply waits in its inbox; lParam the request status
// (0 completed, 1 failed, 2 timed out).
constexpr UINT WM_TRADE_LOGIN_REPLY = 0x1202;
// To the navigation list: (10000, item) selects item 0 买入, 1 卖出, 2 撤单,
// 3 银证转账, 4 资金股份, 5 历史成交 without acting on it; any item repaints.
constexpr UINT WM_TRADE_NAV_SELECT = 10000;
constexpr WPARAM kTradeNavSelectTag = 10000;
// To the trade panel: (1000, 100) runs today's orders, (1000, 101) shows the
// transfer records.
constexpr UINT WM_TRADE_PANEL_COMMAND = 0x11F8;
constexpr WPARAM kTradePanelCommandTag = 1000;
constexpr LPARAM kTradePanelTodayOrders = 100;
constexpr LPARAM kTradePanelTransferRecords = 101;
// To the main window after every resize of the trade window: (width, height);
// the main window's relayout message.
constexpr UINT WM_TRADE_RELAYOUT_MAIN = WM_RELAYOUT_MAIN;
