// Messages the stock page posts to itself only.
#pragma once

#include "platform/mfc/afx.h"

// From the first K-line reply (connection thread) to the UI thread: request
// the related data of the kinds whose bits are set in wParam (1 << kind).
constexpr UINT WM_REQUEST_RELATED_DATA = WM_USER + 0x248;
