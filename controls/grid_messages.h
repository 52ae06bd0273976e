// Notifications of the grid control (controls/grid_ctrl.h) to its parent.
//
// All are posted except WM_GRID_CONTEXT_MENU, which is sent so the parent
// shows its menu before the grid's handler returns. "grid" below is the
// address of the CGridCtrl object (parents compare it with their members);
// rows are data-row indexes (0 = first data row). A negative row means no
// row is current.
#pragma once

#include "platform/window/win_user.h"

// wParam grid, lParam current row: Enter on a data row, double click.
constexpr UINT WM_GRID_ACTIVATE = 5000;
// wParam screen point (x low 16 bits, y high 16 bits), lParam current row.
constexpr UINT WM_GRID_CONTEXT_MENU = 5001;
// wParam sort column, lParam direction (1, -1, or 0 when it was 0).
constexpr UINT WM_GRID_SORT = 5002;
// wParam -1 previous page / 0 next page, lParam current row after the move.
constexpr UINT WM_GRID_PAGE = 5003;
// wParam grid, lParam new current row: left click on another data row.
constexpr UINT WM_GRID_SELECT = 5004;
// wParam top row after the event, lParam 0: every Up/Down key and wheel event.
constexpr UINT WM_GRID_SCROLL = 5005;
// wParam 0, lParam current row: the left button stayed 500 ms on it.
constexpr UINT WM_GRID_DRAG_BEGIN = 5006;
// wParam 0, lParam drop slot (a data row, 0 … row count - 1).
constexpr UINT WM_GRID_DROP = 5007;
