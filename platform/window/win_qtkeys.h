// The layer's mapping of Qt key codes to virtual-key codes, for programs
// that receive Qt key events themselves (the browser program) and must
// report the same codes as the layer's windows.
#pragma once

#include "platform/kernel/win_types.h"

// The virtual-key code of a Qt::Key value; 0 for keys the layer does not map.
UINT VirtualKeyFromQtKey(int qtKey);
