// Records behind the GDI handles, shared by the drawing sources and the
// window system. Not for use outside platform/.
#pragma once

#include "platform/gdi/win_gdi.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRegion>

#include <atomic>
#include <memory>
#include <vector>

struct PenObject : HPEN__ {
  int style = PS_SOLID;  // PS_* style part (PS_ALTERNATE, PS_DASH, ...)
  int width = 1;
  COLORREF color = 0;
  bool stock = false;
  bool dcPen = false;  // DC_PEN: the DC's pen colour
  bool Cosmetic() const { return width <= 1; }
};

struct BrushObject : HBRUSH__ {
  UINT style = BS_SOLID;
  COLORREF color = 0;
  int hatch = 0;
  QImage pattern;  // BS_PATTERN: the picture, tiled from the brush origin
  bool monoPattern = false;  // from a monochrome bitmap: black takes the text colour, white the background
  bool stock = false;
  bool dcBrush = false;  // DC_BRUSH: the DC's brush colour
};

struct FontObject : HFONT__ {
  LOGFONTW lf;
  uint64_t serial = 0;  // never reused; keys the per-thread QFont copies
  QFont qfont;          // the description (creating thread); each thread draws with its own copy
  int pixelSize = 12;   // the resolved pixel size, read by every thread
  int ascent = 0;   // metrics measured once at creation
  int descent = 0;
  int height = 0;   // ascent + descent
  int internalLeading = 0;
  int externalLeading = 0;
  int aveCharWidth = 0;
  int maxCharWidth = 0;
  bool stock = false;
};

struct BitmapObject : HBITMAP__ {
  QImage image;       // RGB32 for colour bitmaps, black/white RGB32 for monochrome
  bool mono = false;
  bool stock = false;  // the 1x1 default bitmap of memory DCs
  int bitsPixel = 32;
};

struct RegionObject : HRGN__ {
  QRegion rgn;
};

// Converts a COLORREF to the 0xAARRGGBB word of an RGB32 picture.
inline uint32_t ToPixel(COLORREF c) {
  return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF FromPixel(uint32_t p) {
  return ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16);
}

struct DcState {
  PenObject* pen = nullptr;
  BrushObject* brush = nullptr;
  FontObject* font = nullptr;
  BitmapObject* bitmap = nullptr;
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  COLORREF dcBrushColor = 0xFFFFFF;
  COLORREF dcPenColor = 0;
  int bkMode = OPAQUE;
  int rop2 = R2_COPYPEN;
  int stretchMode = BLACKONWHITE;
  int polyFillMode = ALTERNATE;
  UINT textAlign = 0;
  QPoint viewportOrg;
  QPoint brushOrg;
  POINT curPos;
  bool hasClip = false;
  QRegion clip;  // device coordinates, valid when hasClip
};

struct HDC__ {
  bool memory = true;
  HWND hwnd = nullptr;          // window DCs
  QImage* image = nullptr;      // the picture drawn on
  QPoint deviceOrigin;          // picture position of device (0, 0)
  bool hasVis = false;          // window DCs: visible region of the window
  QRegion vis;                  // picture coordinates
  DcState s;
  std::vector<DcState> saved;
  std::unique_ptr<BitmapObject> defaultBitmap;  // memory DCs: 1x1 monochrome
  bool paintDc = false;         // made by BeginPaint
  std::atomic<bool>* screenDirty = nullptr;  // window DCs: the top-level's "copy to screen" flag

  // The effective clip in picture coordinates, recomputed when dirty.
  const QRegion& Clip();
  void ClipChanged() { clipDirty = true; }
  bool clipDirty = true;
  QRegion clipCache;
  QRect ImageRect() const { return image ? image->rect() : QRect(); }
  QPoint ToImage(int x, int y) const {
    return QPoint(x + s.viewportOrg.x() + deviceOrigin.x(), y + s.viewportOrg.y() + deviceOrigin.y());
  }
  QPoint Offset() const { return s.viewportOrg + deviceOrigin; }
};

// Window system hooks used by the DC code.
HDC MakeWindowDc(HWND hwnd, bool client, const QRegion* extraClip);
void FreeWindowDc(HDC hdc);
bool IsValidDc(HDC hdc);
// Marks the picture of a window DC as changed so the screen host copies it.
inline void NotifyDcDrawn(HDC hdc) {
  if (hdc->screenDirty) hdc->screenDirty->store(true, std::memory_order_relaxed);
}

void RegisterGdiObject(HGDIOBJ obj);  // makes a new object known to SelectObject
// The default GUI font (宋体 -12) and stock objects.
FontObject* DefaultGuiFont();
PenObject* AsPen(HGDIOBJ obj);
BrushObject* AsBrush(HGDIOBJ obj);  // accepts (HBRUSH)(COLOR_x + 1)
FontObject* AsFont(HGDIOBJ obj);
BitmapObject* AsBitmap(HGDIOBJ obj);
RegionObject* AsRegion(HGDIOBJ obj);

// Fills a rectangle in picture coordinates with a brush, clipped.
void FillImageRect(HDC hdc, const QRect& imageRect, BrushObject* brush);
// This thread's own copy of a font (QFont internals are not shared
// between threads) and its metrics.
struct ThreadFont {
  QFont font;
  QFontMetrics metrics;
};
const ThreadFont& FontForThread(FontObject* font);
// Resolves the face name the way the enumeration reports it.
QString ResolveFace(const QString& face);
