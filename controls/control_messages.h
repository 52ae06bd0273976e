// Message numbers the controls send or post to their owners. Owners include
// this header and compare the numbers; wParam and lParam are described
// beside each control's notice in the control's header.
#pragma once

#include "platform/kernel/win_types.h"

// The status bar (status_bar.h), sent to its parent.
constexpr UINT WM_STATUS_LABEL_CLICK = 1225;  // (0, 0): left press on the label
constexpr UINT WM_STATUS_DBLCLK = 1226;       // (part - 1, banner text index or 0)

// The table bar (table_bar.h), posted.
constexpr UINT WM_TABLEBAR_SELECT = 4001;  // to the parent: (bar object, tab index)
constexpr UINT WM_KEY_COMMAND = 4600;      // to the main window: (0, virtual-key code)
