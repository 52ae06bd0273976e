// Drawing of the platform layer: device contexts over QImage pictures (never
// QPixmap, so memory pictures are drawn on any thread), GDI objects, lines,
// shapes, fills, blits, regions and text, with the pixel rules the system's
// windows rely on:
//   - a one-pixel line does not set its end point; a polyline sets each
//     inner point once;
//   - rectangles fill up to but not including their right and bottom edges;
//   - R2_NOT inverts, so drawing the same line twice restores the picture;
//   - TransparentBlt skips the key colour; AlphaBlend takes premultiplied
//     per-pixel alpha and a constant alpha;
//   - colours are COLORREF words with red in the low byte.
// A DC is used by one thread at a time; different DCs may be used by
// different threads at once. Window DCs belong to the UI thread.
#pragma once

#include "platform/window/win_user.h"

#include <functional>

class QImage;
class QFont;

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Object types.
constexpr int OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_FONT = 6, OBJ_BITMAP = 7,
              OBJ_REGION = 8, OBJ_MEMDC = 10, OBJ_EXTPEN = 11;

// Pens.
constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4,
              PS_NULL = 5, PS_INSIDEFRAME = 6, PS_USERSTYLE = 7, PS_ALTERNATE = 8,
              PS_STYLE_MASK = 0x0F, PS_ENDCAP_ROUND = 0x000, PS_ENDCAP_SQUARE = 0x100,
              PS_ENDCAP_FLAT = 0x200, PS_JOIN_ROUND = 0x0000, PS_JOIN_BEVEL = 0x1000,
              PS_JOIN_MITER = 0x2000, PS_COSMETIC = 0x00000, PS_GEOMETRIC = 0x10000;
// Brushes.
constexpr UINT BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3;
struct LOGBRUSH {
  UINT lbStyle = BS_SOLID;
  COLORREF lbColor = 0;
  std::uintptr_t lbHatch = 0;
};
struct LOGPEN {
  UINT lopnStyle = PS_SOLID;
  POINT lopnWidth;
  COLORREF lopnColor = 0;
};

// Stock objects.
constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3,
              BLACK_BRUSH = 4, NULL_BRUSH = 5, HOLLOW_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
              NULL_PEN = 8, OEM_FIXED_FONT = 10, ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12,
              SYSTEM_FONT = 13, DEVICE_DEFAULT_FONT = 14, SYSTEM_FIXED_FONT = 16,
              DEFAULT_GUI_FONT = 17, DC_BRUSH = 18, DC_PEN = 19;

// Mix modes, background modes, blits.
constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4,
              R2_MASKPENNOT = 5, R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9,
              R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12, R2_COPYPEN = 13,
              R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;
constexpr int TRANSPARENT = 1, OPAQUE = 2;
constexpr DWORD SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6,
                SRCINVERT = 0x00660046, SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008,
                NOTSRCERASE = 0x001100A6, MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021,
                PATINVERT = 0x005A0049, DSTINVERT = 0x00550009, BLACKNESS = 0x00000042,
                WHITENESS = 0x00FF0062;
constexpr int BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4;
constexpr int ALTERNATE = 1, WINDING = 2;
constexpr BYTE AC_SRC_OVER = 0x00, AC_SRC_ALPHA = 0x01;
struct BLENDFUNCTION {
  BYTE BlendOp = AC_SRC_OVER;
  BYTE BlendFlags = 0;
  BYTE SourceConstantAlpha = 255;
  BYTE AlphaFormat = 0;
};

// Regions.
constexpr int ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;
constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;

// Text alignment for TextOut.
constexpr UINT TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0, TA_BOTTOM = 8,
               TA_BASELINE = 24, TA_UPDATECP = 1;
constexpr UINT ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004;

// DrawText formats.
constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
               DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20,
               DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80, DT_NOCLIP = 0x100,
               DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
               DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000,
               DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
               DT_WORD_ELLIPSIS = 0x40000, DT_HIDEPREFIX = 0x100000;

// Edges and frame controls.
constexpr UINT BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4,
               BDR_SUNKENINNER = 0x8, EDGE_RAISED = 0x5, EDGE_SUNKEN = 0xA, EDGE_ETCHED = 0x6,
               EDGE_BUMP = 0x9;
constexpr UINT BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_TOPLEFT = 0x3,
               BF_BOTTOMRIGHT = 0xC, BF_RECT = 0xF, BF_MIDDLE = 0x800, BF_SOFT = 0x1000,
               BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000;
constexpr UINT DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4;
constexpr UINT DFCS_BUTTONCHECK = 0x0000, DFCS_BUTTONRADIOIMAGE = 0x0001,
               DFCS_BUTTONRADIOMASK = 0x0002, DFCS_BUTTONRADIO = 0x0004,
               DFCS_BUTTON3STATE = 0x0008, DFCS_BUTTONPUSH = 0x0010,
               DFCS_SCROLLUP = 0x0000, DFCS_SCROLLDOWN = 0x0001, DFCS_SCROLLLEFT = 0x0002,
               DFCS_SCROLLRIGHT = 0x0003,
               DFCS_SCROLLCOMBOBOX = 0x0005, DFCS_SCROLLSIZEGRIP = 0x0008,
               DFCS_CAPTIONCLOSE = 0x0000, DFCS_CAPTIONMIN = 0x0001, DFCS_CAPTIONMAX = 0x0002,
               DFCS_CAPTIONRESTORE = 0x0003, DFCS_CAPTIONHELP = 0x0004,
               DFCS_MENUARROW = 0x0000, DFCS_MENUCHECK = 0x0001, DFCS_MENUBULLET = 0x0002,
               DFCS_MENUARROWRIGHT = 0x0004,
               DFCS_INACTIVE = 0x0100, DFCS_PUSHED = 0x0200,
               DFCS_CHECKED = 0x0400, DFCS_ADJUSTRECT = 0x2000, DFCS_FLAT = 0x4000,
               DFCS_MONO = 0x8000;

// Gradients (GradientFill with the rectangle modes).
using COLOR16 = unsigned short;  // a colour channel in the high byte
struct TRIVERTEX {
  LONG x = 0;
  LONG y = 0;
  COLOR16 Red = 0;
  COLOR16 Green = 0;
  COLOR16 Blue = 0;
  COLOR16 Alpha = 0;
};
struct GRADIENT_RECT {
  ULONG UpperLeft = 0;
  ULONG LowerRight = 0;
};

// DrawState: text drawn normally or embossed as disabled.
constexpr UINT DST_TEXT = 0x0001, DST_PREFIXTEXT = 0x0002, DSS_NORMAL = 0x0000, DSS_DISABLED = 0x0020,
               DSS_RIGHT = 0x8000;

// Fonts.
constexpr int LF_FACESIZE = 32;
constexpr int FW_DONTCARE = 0, FW_THIN = 100, FW_LIGHT = 300, FW_NORMAL = 400,
              FW_MEDIUM = 500, FW_SEMIBOLD = 600, FW_BOLD = 700, FW_HEAVY = 900;
constexpr BYTE ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, GB2312_CHARSET = 134;
constexpr BYTE OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0, DEFAULT_QUALITY = 0,
               DRAFT_QUALITY = 1, PROOF_QUALITY = 2, NONANTIALIASED_QUALITY = 3,
               ANTIALIASED_QUALITY = 4, CLEARTYPE_QUALITY = 5, DEFAULT_PITCH = 0,
               FIXED_PITCH = 1, VARIABLE_PITCH = 2, FF_DONTCARE = 0, FF_ROMAN = 16,
               FF_SWISS = 32, FF_MODERN = 48;
struct LOGFONTW {
  LONG lfHeight = 0;
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = 0;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  WCHAR lfFaceName[LF_FACESIZE] = {};
};
using LOGFONT = LOGFONTW;
struct TEXTMETRICW {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
  LONG tmOverhang = 0;
  LONG tmDigitizedAspectX = 96;
  LONG tmDigitizedAspectY = 96;
  WCHAR tmFirstChar = 0x20;
  WCHAR tmLastChar = 0xFFFD;
  WCHAR tmDefaultChar = 0x3F;
  WCHAR tmBreakChar = 0x20;
  BYTE tmItalic = 0;
  BYTE tmUnderlined = 0;
  BYTE tmStruckOut = 0;
  BYTE tmPitchAndFamily = 0;
  BYTE tmCharSet = 0;
};
using TEXTMETRIC = TEXTMETRICW;
constexpr DWORD RASTER_FONTTYPE = 1, DEVICE_FONTTYPE = 2, TRUETYPE_FONTTYPE = 4;
using FONTENUMPROCW = int (*)(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM);

// Bitmaps and DIBs.
struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 1;
  WORD bmBitsPixel = 0;
  void* bmBits = nullptr;
};
struct BITMAPINFOHEADER {
  DWORD biSize = sizeof(BITMAPINFOHEADER);
  LONG biWidth = 0;
  LONG biHeight = 0;  // positive: bottom-up rows
  WORD biPlanes = 1;
  WORD biBitCount = 0;  // 8, 24 or 32
  DWORD biCompression = 0;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;  // palette entries; 0 means 1 << biBitCount for 8 bits
  DWORD biClrImportant = 0;
};
struct RGBQUAD {
  BYTE rgbBlue = 0;
  BYTE rgbGreen = 0;
  BYTE rgbRed = 0;
  BYTE rgbReserved = 0;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

// ---------------------------------------------------------------------------
// Device contexts.
HDC CreateCompatibleDC(HDC hdc);  // a memory DC holding a 1x1 monochrome bitmap
BOOL DeleteDC(HDC hdc);
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int saved);  // negative: relative to the latest
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);  // the previous object; null on failure
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
HGDIOBJ GetStockObject(int index);
BOOL DeleteObject(HGDIOBJ obj);  // stock objects and null: no-op TRUE
int GetObjectW(HGDIOBJ obj, int size, void* out);
DWORD GetObjectType(HGDIOBJ obj);
// Tests: how many objects of the type (OBJ_PEN, OBJ_BRUSH, OBJ_FONT,
// OBJ_BITMAP, OBJ_REGION; 0 for every type) are alive, stock objects not
// counted. An object deleted while selected counts until it is deselected.
int GdiObjectCountForTesting(DWORD type);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
int SetROP2(HDC hdc, int mode);
int GetROP2(HDC hdc);
int SetStretchBltMode(HDC hdc, int mode);
int SetPolyFillMode(HDC hdc, int mode);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
COLORREF SetDCBrushColor(HDC hdc, COLORREF color);
COLORREF SetDCPenColor(HDC hdc, COLORREF color);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old);
BOOL GetViewportOrgEx(HDC hdc, POINT* org);
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* old);
int GetDeviceCaps(HDC hdc, int index);
constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, LOGPIXELSX = 88,
              LOGPIXELSY = 90;
// The picture a DC draws on, and the offset of the DC's logical origin in
// it (tests and the host read pixels through it). Null for an invalid DC.
QImage* GetDCImage(HDC hdc, POINT* originInImage);

// Objects.
HPEN CreatePen(int style, int width, COLORREF color);
HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                  const DWORD* styles);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
HBRUSH CreatePatternBrush(HBITMAP bitmap);  // copies the picture
constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3,
              HS_CROSS = 4, HS_DIAGCROSS = 5;
HBRUSH CreateHatchBrush(int style, COLORREF color);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// planes 1, bitsPerPixel 1 (monochrome) or 32; bits (may be null) are rows
// padded to 16 bits for monochrome, 32-bit words BGRA otherwise.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A 32-bit top-down or bottom-up section whose pixels the caller writes
// through *bits (BGRA words, rows of width*4 bytes).
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, void*,
                         DWORD);
// A bitmap holding a copy of the picture (ARGB32 premultiplied keeps alpha).
HBITMAP CreateBitmapFromImage(const QImage& image);
// The picture of a bitmap (read and write); null for an invalid handle.
QImage* GetBitmapImage(HBITMAP bitmap);
// Bitmap resources are files of the resource folder: resource id N is
// <folder>/bitmap/N.bmp (24-bit, GetObject reports 24 bits per pixel). Null
// and a trace line when the name is not an id or the file is missing, not a
// bitmap, or shorter than its header says. The instance is ignored.
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
// The resource folder, ending in '/': ProgramFolder() + "res/" unless
// SetResourceFolder chose another one (tests); an empty text restores it.
std::string ResourceFolder();
void SetResourceFolder(std::string folder);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int w, int h);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT* rect);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);

// Clipping (logical coordinates).
int SelectClipRgn(HDC hdc, HRGN rgn);  // copies; null removes the clip region
int ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
int GetClipBox(HDC hdc, RECT* rect);
int GetClipRgn(HDC hdc, HRGN rgn);  // 1 and the region; 0 when none is selected
BOOL PtVisible(HDC hdc, int x, int y);

// Lines and shapes.
BOOL MoveToEx(HDC hdc, int x, int y, POINT* old);
BOOL LineTo(HDC hdc, int x, int y);
BOOL GetCurrentPositionEx(HDC hdc, POINT* pt);
BOOL Polyline(HDC hdc, const POINT* pts, int count);
BOOL PolylineTo(HDC hdc, const POINT* pts, DWORD count);
BOOL PolyPolyline(HDC hdc, const POINT* pts, const DWORD* counts, DWORD polys);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int w, int h);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL Polygon(HDC hdc, const POINT* pts, int count);
BOOL Pie(HDC hdc, int l, int t, int r, int b, int x1, int y1, int x2, int y2);
BOOL Arc(HDC hdc, int l, int t, int r, int b, int x1, int y1, int x2, int y2);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);  // (HBRUSH)(COLOR_x + 1) accepted
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* rect);
BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush);
BOOL FrameRgn(HDC hdc, HRGN rgn, HBRUSH brush, int w, int h);
BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);  // CLR_INVALID outside the picture
BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags);
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
// The classic frame controls. Their glyphs (check mark, radio dot, scroll
// arrows, caption buttons, menu marks) are scaled to fill the rectangle
// (check boxes and radio buttons: its largest centred square). DFC_MENU
// glyphs are black on white, for use as a mask. DFCS_BUTTON3STATE with
// DFCS_CHECKED is the indeterminate check box: a grey mark on the face colour.
BOOL DrawFrameControl(HDC hdc, RECT* rect, UINT type, UINT state);
constexpr ULONG GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1;
// Fills each GRADIENT_RECT (two vertex indices: upper left, lower right)
// with the colours interpolated left to right (RECT_H) or top to bottom
// (RECT_V). FALSE for another mode or a bad index.
BOOL GradientFill(HDC hdc, const TRIVERTEX* vertices, ULONG count, const void* mesh, ULONG meshCount, ULONG mode);
// Text (DST_TEXT; DST_PREFIXTEXT handles '&') at x, y in the DC's font:
// DSS_NORMAL in the text colour, DSS_DISABLED embossed (the highlight
// colour one pixel down and right, the shadow colour over it). data is the
// text, length its length (0: up to its zero). Brush and size are unused.
BOOL DrawStateW(HDC hdc, HBRUSH brush, void* proc, LPARAM data, WPARAM length, int x, int y, int cx, int cy,
                UINT flags);
// DrawText drawing disabled (embossed) text: the same layout as DrawTextW.
int DrawDisabledTextW(HDC hdc, LPCWSTR text, int length, RECT* rect, UINT format);

// Blits.
BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop);
BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                    int sh, UINT keyColor);
BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend);
// Draws a DIB (8-bit palettised, 24- or 32-bit) stretched; the bits are
// rows padded to 4 bytes, bottom-up when biHeight > 0. The caller vouches
// that bits hold |biHeight| rows. Returns the number of scan lines drawn.
int StretchDIBits(HDC hdc, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);

// Text.
int DrawTextW(HDC hdc, LPCWSTR text, int length, RECT* rect, UINT format);  // -1: zero-ended
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int length);
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text,
                 UINT length, const int* dx);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int length, SIZE* size);
BOOL GetTextExtentPointW(HDC hdc, LPCWSTR text, int length, SIZE* size);
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm);
int GetTextFaceW(HDC hdc, int capacity, LPWSTR out);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                  DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                  LPCWSTR face);
HFONT CreateFontIndirectW(const LOGFONTW* lf);
// Calls proc for every font face (one call per face), also for the alias
// faces of the loaded font-alias file; with a face name only for that face.
// Returns the last callback result (0 stops the enumeration).
int EnumFontsW(HDC hdc, LPCWSTR face, FONTENUMPROCW proc, LPARAM lParam);
int EnumFontFamiliesW(HDC hdc, LPCWSTR face, FONTENUMPROCW proc, LPARAM lParam);
// The Qt font a font handle stands for (null for an invalid handle).
const QFont* GetQFont(HFONT font);

// Reads the fontconfig alias file (fonts the system names by their
// Windows face, served by installed faces) into the process's font
// configuration and remembers the alias names for the enumeration. Call it
// before the first text is drawn. False when the file cannot be read.
bool LoadFontAliases(const std::string& path);
// The default place: res/fonts.conf below the program folder, then below
// the working directory. True when one was loaded.
bool LoadDefaultFontAliases();

// Makes sure the Qt GUI application object that fonts and windows need
// exists (created on first use with the offscreen platform when no
// display is set).
void EnsureGuiApplication();
