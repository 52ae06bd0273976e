// Message numbers the controls send or post to their owners. Owners include
// this header and compare the numbers; wParam and lParam are described
// beside each control's notice in the control's header.
#pragma once

#include "platform/kernel/win_types.h"

// The pop-up list (pop_list.h), posted to its parent on a double click on a
// row: (list object, row).
constexpr UINT WM_POPLIST_DBLCLK = 5325;
