// What names the main program: its title, its messages and commands shared
// by the start-up, the login dialog and the main frame.
#pragma once

#include "platform/mfc/afx.h"

// The window text of the login dialog and of the main frame, and the key of
// the single-instance search.
extern const WCHAR kProgramTitle[];  // u"Orvenna证券VIP终端"

// The per-user instance lock of the main program.
extern const char kInstanceLockName[];

// Posted to the login dialog when the whole chain has run (wParam, lParam 0).
constexpr UINT WM_LOGIN_FINISHED = 3000;

// The framework's about command.
constexpr UINT ID_APP_ABOUT = 57664;
