// The font of the trade pages' controls.
#pragma once

#include "platform/mfc/afx.h"

// The UI face with 12-pixel characters: the pages' fixed places give a
// five-character caption ("股东代码：") 60 pixels, which the program's
// scaled 14-pixel font would clip. The caller deletes it.
HFONT CreateTradePageFont();
