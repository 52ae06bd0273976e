// Stateless drawing helpers and the UI fonts.
//
// Colours here are 0xRRGGBB integers (red in bits 16-23; the top byte is
// ignored); every helper swaps red and blue into the platform's colour word
// before drawing. Each helper creates its own pens and brushes, selects
// them, draws, selects the previous objects back and deletes its own; it
// never changes the DC's font, text alignment or background mode.
// DrawLineRop also sets the DC's mix mode and leaves it set.
//
// Style 1 selects each function's patterned pen (the alternate pen for
// lines, a dashed pen for outlines); any other style a solid pen.
//
// The UI font state is process-wide: ChooseUiFontFace writes it once at
// start-up (before any window makes a UI font); afterwards it is only read.
#pragma once

#include "platform/gdi/win_gdi.h"

#include <cstdint>

// The platform's colour word of a 0xRRGGBB colour.
COLORREF ColorFromRgb(uint32_t rgb);

void FillRectColor(HDC dc, const RECT* rect, uint32_t color);
// Fills count rectangles with one brush; nothing for null rects or count <= 0.
void FillRects(HDC dc, const RECT* rects, int count, uint32_t color);
// A line from (x1, y1) to (x2, y2) without its end point.
void DrawLineStyled(HDC dc, int x1, int y1, int x2, int y2, uint32_t color, int style, int width);
void DrawLine(HDC dc, int x1, int y1, int x2, int y2, uint32_t color, int style);
// As DrawLineStyled after SetROP2(dc, mixMode); the mode stays set.
void DrawLineRop(HDC dc, int x1, int y1, int x2, int y2, uint32_t color, int style, int width, int mixMode);
// A one-pixel polyline from the first point whose y is above 0 through
// every later point; nothing when no point has y > 0.
void DrawPolylineSkipLeading(HDC dc, const POINT* points, int count, uint32_t color);
// A solid polyline of the width (truncated toward zero) through all points;
// nothing for null points, count <= 0 or a first point with y <= 0.
void DrawPolylineWidth(HDC dc, const POINT* points, int count, uint32_t color, double width);
// A polygon outlined and filled in the colour; nothing for null points, a
// first point with negative y, or count <= 0.
void FillPolygon(HDC dc, const POINT* points, int count, uint32_t color);
// Outline only (hollow brush), one-pixel pen, dashed for style 1.
void DrawRectangle(HDC dc, const RECT* rect, uint32_t color, int style);
void DrawRectangles(HDC dc, const RECT* rects, int count, uint32_t color, int style);
// One-pixel outline (dashed for style 1) and a solid fill.
void DrawRoundRect(HDC dc, const RECT* rect, uint32_t penColor, uint32_t fillColor, int style, int cornerWidth,
                   int cornerHeight);
// Candle and volume bars: when the first rectangle is 1 pixel wide all are
// filled with the outline colour; otherwise filled with the fill colour
// and outlined. Nothing for count 0.
void DrawBars(HDC dc, const RECT* rects, int count, uint32_t outlineColor, uint32_t fillColor, int style);
// One line of text, vertically centred in the rectangle; alignment 0 left,
// 1 centred, 2 right (other values draw left-aligned). The text colour is
// set only when it differs; the background mode is the caller's. Nothing
// for a null text.
void DrawTextAligned(HDC dc, const RECT* rect, const WCHAR* text, uint32_t color, int alignment);
void DrawTextInRect(HDC dc, const RECT* rect, const WCHAR* text, uint32_t color, int alignment);
// The same for UTF-8 text, converted to at most 255 UTF-16 units (a longer
// text is cut there, never inside a surrogate pair); nothing for a null or
// empty text.
void DrawTextUtf8InRect(HDC dc, const RECT* rect, const char* text, uint32_t color, int alignment);
// An empty painter entry of the K-line engine: draws nothing.
void NoOpPaint(...);
HGDIOBJ SelectGdiObject(HDC dc, HGDIOBJ obj);
// As SelectGdiObject, also storing the previous object at *previous (when
// previous is not null).
HGDIOBJ SelectGdiObjectSave(HDC dc, HGDIOBJ obj, HGDIOBJ* previous);
void DeleteGdiObject(HGDIOBJ obj);

// Enumerates the DC's fonts: when one is named "微软雅黑" that face becomes
// the UI face, otherwise "宋体". The enumeration always runs to its end.
void ChooseUiFontFace(HDC dc);
// The chosen UI face ("宋体" until ChooseUiFontFace found "微软雅黑").
const WCHAR* GetUiFontFace();
// With "微软雅黑" chosen: height + 4, at least 16; otherwise the height.
int ScaleFontHeight(int height);
// A new font of height ScaleFontHeight(height), weight 400, quality 5,
// pitch and family 32, in the given face. The caller deletes it.
HFONT CreateUiFont(const WCHAR* face, int height);
// The text's width in pixels in the DC's font; isUtf16 non-zero: text is a
// zero-ended UTF-16 text, zero: UTF-8. 0 for a null text.
int MeasureTextWidth(HDC dc, const void* text, int isUtf16);
