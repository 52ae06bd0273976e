#include "trading/ui/trade_page_font.h"

#include "foundation/draw_helpers.h"

HFONT CreateTradePageFont() {
  return CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     CLEARTYPE_QUALITY, 32, GetUiFontFace());
}
