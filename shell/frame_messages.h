// Message numbers of the main frame and its children, and the frame's fixed
// command ids. Numbers that other libraries send to the frame live in
// controls/control_messages.h and shell/brisel_helper_interface.h.
//
// Posted messages that carry a key or a text carry a heap copy owned by the
// message: the final handler frees it (`delete` for a StockKey, `delete[]`
// for a text), a relay passes it on unchanged. Sent messages lend their
// pointers for the call only.
#pragma once

#include "controls/control_messages.h"
#include "shell/brisel_helper_interface.h"

constexpr UINT WM_MENU_COMMAND = 0x0465;     // navigation bar → frame (sent): (command id, 0); answers 1
constexpr UINT WM_NAV_BACK = 0x0466;         // (300, 0); answers 1
constexpr UINT WM_NAV_FORWARD = 0x0467;      // (301, 0); answers 1
constexpr UINT WM_VIEW_SWITCH = 0x0FA1;      // main view → frame: lParam 0 home page, 1 quote view
constexpr UINT WM_FOCUS_MAIN_VIEW = 4601;    // focus to the main view
constexpr UINT WM_BUILD_MENUS = 10000;       // builds the navigation bar's menus
constexpr UINT WM_OPEN_HOME = 10100;         // shows the home page

// Command ids the frame carries out itself (WM_MENU_COMMAND); any other id
// is the "resourceCode" of a downloaded menu entry.
enum FrameCommand : UINT {
  kCmdSelectSite = 5001,
  kCmdRepairDictionary = 5002,
  kCmdImportWatchList = 5003,
  kCmdDownloadDayBars = 5004,
  kCmdOrder = 5005,
  kCmdTutorials = 5007,
  kCmdAbout = 5008,
  kCmdVersion = 5009,
  kCmdExit = 5010,
  kCmdChangePassword = 5011,
  kCmdSystemMenu = 5000,
  kCmdFirstFixed = 5001,
  kCmdLastFixed = 5019,
};

// The frame's WM_COMMAND that connects the quote engine.
constexpr UINT ID_CONNECT_ENGINE = 32772;

// Key values of WM_KEY_COMMAND beyond the virtual-key codes.
constexpr int kKeyFunctionBase = 40000;  // F1 to F12: 40112 to 40123
constexpr int kKeyF3 = 40114;
constexpr int kKeyF4 = 40115;
constexpr int kKeyF6 = 40117;
constexpr int kKeyF9 = 40120;
constexpr int kKeyF12 = 40123;
constexpr int kKeyCode05 = 40124;        // the command code "05"
constexpr int kKeyTrading = 4602;        // starts the trading terminal

// WM_QUICK_TRADE requests.
constexpr WPARAM kQuickNormalBuy = 4606;
constexpr WPARAM kQuickNormalSell = 4607;
constexpr WPARAM kQuickFlashBuy = 4608;
constexpr WPARAM kQuickFlashSell = 4609;
