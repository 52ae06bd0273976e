#include "foundation/draw_helpers.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

const WCHAR kYaHei[] = u"微软雅黑";
const WCHAR kSongTi[] = u"宋体";

// Written once by ChooseUiFontFace, read afterwards.
std::atomic<bool> g_yaheiFound{false};
std::atomic<const WCHAR*> g_chosenFace{kSongTi};

HPEN MakePen(uint32_t color, int style, int width) {
  if (style == 1) {
    LOGBRUSH lb;
    lb.lbStyle = BS_SOLID;
    lb.lbColor = ColorFromRgb(color);
    return ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
  }
  return CreatePen(PS_SOLID, width, ColorFromRgb(color));
}

HPEN MakeOutlinePen(uint32_t color, int style) {
  return CreatePen(style == 1 ? PS_DASH : PS_SOLID, 1, ColorFromRgb(color));
}

// Decodes UTF-8 into UTF-16, at most maxUnits units (0: no limit), never
// splitting a surrogate pair; malformed bytes become U+FFFD.
WString Utf8ToUtf16(const char* text, size_t maxUnits) {
  WString out;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t n = std::strlen(text);
  size_t i = 0;
  while (i < n) {
    uint32_t cp = 0xFFFD;
    unsigned char c = s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > n) {
      ++i;
    } else {
      cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
      bool ok = true;
      for (size_t k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (s[i + k] & 0x3F);
      }
      if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = 0xFFFD;
        i += 1;
      } else {
        i += len;
      }
    }
    size_t units = cp >= 0x10000 ? 2 : 1;
    if (maxUnits && out.size() + units > maxUnits) break;
    if (units == 2) {
      cp -= 0x10000;
      out += static_cast<WCHAR>(0xD800 + (cp >> 10));
      out += static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<WCHAR>(cp);
    }
  }
  return out;
}

int EnumUiFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM) {
  if (WString(lf->lfFaceName) == kYaHei) {
    g_yaheiFound = true;
    g_chosenFace = kYaHei;
  }
  return 1;
}

}  // namespace

COLORREF ColorFromRgb(uint32_t rgb) { return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu); }

void FillRectColor(HDC dc, const RECT* rect, uint32_t color) {
  if (!rect) return;
  HBRUSH brush = CreateSolidBrush(ColorFromRgb(color));
  FillRect(dc, rect, brush);
  DeleteObject(brush);
}

void FillRects(HDC dc, const RECT* rects, int count, uint32_t color) {
  if (!rects || count <= 0) return;
  HBRUSH brush = CreateSolidBrush(ColorFromRgb(color));
  for (int i = 0; i < count; ++i) FillRect(dc, &rects[i], brush);
  DeleteObject(brush);
}

void DrawLineStyled(HDC dc, int x1, int y1, int x2, int y2, uint32_t color, int style, int width) {
  HPEN pen = MakePen(color, style, width);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void DrawLine(HDC dc, int x1, int y1, int x2, int y2, uint32_t color, int style) {
  DrawLineStyled(dc, x1, y1, x2, y2, color, style, 1);
}

void DrawLineRop(HDC dc, int x1, int y1, int x2, int y2, uint32_t color, int style, int width, int mixMode) {
  SetROP2(dc, mixMode);
  DrawLineStyled(dc, x1, y1, x2, y2, color, style, width);
}

void DrawPolylineSkipLeading(HDC dc, const POINT* points, int count, uint32_t color) {
  if (!points || count <= 0) return;
  int first = 0;
  while (first < count && points[first].y <= 0) ++first;
  if (first >= count) return;
  HPEN pen = CreatePen(PS_SOLID, 1, ColorFromRgb(color));
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, points + first, count - first);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void DrawPolylineWidth(HDC dc, const POINT* points, int count, uint32_t color, double width) {
  if (!points || count <= 0 || points[0].y <= 0) return;
  HPEN pen = CreatePen(PS_SOLID, static_cast<int>(width), ColorFromRgb(color));
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, points, count);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void FillPolygon(HDC dc, const POINT* points, int count, uint32_t color) {
  if (!points || count <= 0 || points[0].y < 0) return;
  HPEN pen = CreatePen(PS_SOLID, 1, ColorFromRgb(color));
  HBRUSH brush = CreateSolidBrush(ColorFromRgb(color));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  Polygon(dc, points, count);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

void DrawRectangles(HDC dc, const RECT* rects, int count, uint32_t color, int style) {
  if (!rects || count <= 0) return;
  HPEN pen = MakeOutlinePen(color, style);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
  for (int i = 0; i < count; ++i) Rectangle(dc, rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void DrawRectangle(HDC dc, const RECT* rect, uint32_t color, int style) { DrawRectangles(dc, rect, 1, color, style); }

void DrawRoundRect(HDC dc, const RECT* rect, uint32_t penColor, uint32_t fillColor, int style, int cornerWidth,
                   int cornerHeight) {
  if (!rect) return;
  HPEN pen = MakeOutlinePen(penColor, style);
  HBRUSH brush = CreateSolidBrush(ColorFromRgb(fillColor));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  RoundRect(dc, rect->left, rect->top, rect->right, rect->bottom, cornerWidth, cornerHeight);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

void DrawBars(HDC dc, const RECT* rects, int count, uint32_t outlineColor, uint32_t fillColor, int style) {
  if (!rects || count <= 0) return;
  if (rects[0].right - rects[0].left == 1) {
    FillRects(dc, rects, count, outlineColor);
    return;
  }
  FillRects(dc, rects, count, fillColor);
  DrawRectangles(dc, rects, count, outlineColor, style);
}

void DrawTextAligned(HDC dc, const RECT* rect, const WCHAR* text, uint32_t color, int alignment) {
  if (!text || !rect) return;
  COLORREF c = ColorFromRgb(color);
  if (GetTextColor(dc) != c) SetTextColor(dc, c);
  UINT format = DT_SINGLELINE | DT_VCENTER;
  if (alignment == 1)
    format |= DT_CENTER;
  else if (alignment == 2)
    format |= DT_RIGHT;
  RECT r = *rect;
  DrawTextW(dc, text, -1, &r, format);
}

void DrawTextInRect(HDC dc, const RECT* rect, const WCHAR* text, uint32_t color, int alignment) {
  DrawTextAligned(dc, rect, text, color, alignment);
}

void DrawTextUtf8InRect(HDC dc, const RECT* rect, const char* text, uint32_t color, int alignment) {
  if (!text || !*text) return;
  WString wide = Utf8ToUtf16(text, 255);
  DrawTextInRect(dc, rect, wide.c_str(), color, alignment);
}

void NoOpPaint(...) {}

HGDIOBJ SelectGdiObject(HDC dc, HGDIOBJ obj) { return SelectObject(dc, obj); }

HGDIOBJ SelectGdiObjectSave(HDC dc, HGDIOBJ obj, HGDIOBJ* previous) {
  HGDIOBJ old = SelectObject(dc, obj);
  if (previous) *previous = old;
  return old;
}

void DeleteGdiObject(HGDIOBJ obj) {
  if (obj) DeleteObject(obj);
}

void ChooseUiFontFace(HDC dc) {
  g_yaheiFound = false;
  g_chosenFace = kSongTi;
  EnumFontsW(dc, nullptr, EnumUiFace, 0);
}

const WCHAR* GetUiFontFace() { return g_chosenFace.load(); }

int ScaleFontHeight(int height) {
  if (g_chosenFace.load() != kYaHei) return height;
  return height + 4 < 16 ? 16 : height + 4;
}

HFONT CreateUiFont(const WCHAR* face, int height) {
  return CreateFontW(ScaleFontHeight(height), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 32, face);
}

int MeasureTextWidth(HDC dc, const void* text, int isUtf16) {
  if (!text) return 0;
  WString wide = isUtf16 ? WString(static_cast<const WCHAR*>(text)) : Utf8ToUtf16(static_cast<const char*>(text), 0);
  SIZE size{};
  if (!GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size)) return 0;
  return size.cx;
}
