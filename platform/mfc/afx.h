// The framework classes the system's windows are written in: CWnd with
// virtual message handlers (no message-map macros: override the handler,
// or WindowProc for numbered custom messages), CWinApp, the device-context
// and GDI object wrappers, CRect/CPoint/CSize and CImage for PNG, JPEG and
// BMP pictures.
//
// A handler's base version does the default handling (Default()), so an
// override calls the base before or after its own code, or not at all, as
// the platform's message maps do.
#pragma once

#include "platform/gdi/win_gdi.h"

#include <memory>
#include <string>

class CDC;
class CFont;
class CWnd;

// ---------------------------------------------------------------------------
// Geometry.

class CSize : public SIZE {
 public:
  CSize() = default;
  CSize(int x, int y) { cx = x, cy = y; }
  CSize(SIZE s) : SIZE(s) {}
  bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
  bool operator!=(const SIZE& o) const { return !(*this == o); }
};

class CPoint : public POINT {
 public:
  CPoint() = default;
  CPoint(int px, int py) { x = px, y = py; }
  CPoint(POINT p) : POINT(p) {}
  // From a packed lParam (signed 16-bit halves).
  explicit CPoint(LPARAM l) { x = GET_X_LPARAM(l), y = GET_Y_LPARAM(l); }
  void Offset(int dx, int dy) { x += dx, y += dy; }
  bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
  bool operator!=(const POINT& o) const { return !(*this == o); }
  CPoint operator+(const POINT& o) const { return CPoint(x + o.x, y + o.y); }
  CPoint operator-(const POINT& o) const { return CPoint(x - o.x, y - o.y); }
};

class CRect : public RECT {
 public:
  CRect() = default;
  CRect(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
  CRect(const RECT& r) : RECT(r) {}
  CRect(POINT p, SIZE s) { left = p.x, top = p.y, right = p.x + s.cx, bottom = p.y + s.cy; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void SetRect(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
  void SetRectEmpty() { left = top = right = bottom = 0; }
  void OffsetRect(int dx, int dy) { left += dx, right += dx, top += dy, bottom += dy; }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void MoveToX(int x) { right = x + Width(), left = x; }
  void MoveToY(int y) { bottom = y + Height(), top = y; }
  void MoveToXY(int x, int y) { MoveToX(x), MoveToY(y); }
  void InflateRect(int dx, int dy) { left -= dx, right += dx, top -= dy, bottom += dy; }
  void InflateRect(int l, int t, int r, int b) { left -= l, top -= t, right += r, bottom += b; }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
  void NormalizeRect();
  bool IntersectRect(const RECT& a, const RECT& b);
  bool UnionRect(const RECT& a, const RECT& b);
  bool operator==(const RECT& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const RECT& o) const { return !(*this == o); }
  operator RECT*() { return this; }
  operator const RECT*() const { return this; }
};

// ---------------------------------------------------------------------------
// GDI objects. An object made through a wrapper belongs to it and is
// deleted with it; FromHandle gives the owning wrapper or a temporary one
// (valid until the UI thread is next idle).

class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject();
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  HGDIOBJ m_hObject = nullptr;
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }
  BOOL Attach(HGDIOBJ obj);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int size, void* out) const { return GetObjectW(m_hObject, size, out); }
  BOOL CreateStockObject(int index);
  static CGdiObject* FromHandle(HGDIOBJ obj);
};

class CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
  BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
  operator HPEN() const { return static_cast<HPEN>(m_hObject); }
  static CPen* FromHandle(HPEN pen);
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
  BOOL CreatePatternBrush(class CBitmap* bitmap);
  BOOL CreateSysColorBrush(int index) { return Attach(GetSysColorBrush(index)); }
  BOOL CreateHatchBrush(int style, COLORREF color) { return Attach(::CreateHatchBrush(style, color)); }
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
  static CBrush* FromHandle(HBRUSH brush);
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTW* lf) { return Attach(::CreateFontIndirectW(lf)); }
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                  BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                  BYTE quality, BYTE pitchAndFamily, LPCWSTR face) {
    return Attach(::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                                charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face));
  }
  // Size in tenths of a point at 96 dots per inch: 90 makes a -12 height.
  BOOL CreatePointFont(int pointSize, LPCWSTR face, CDC* dc = nullptr);
  int GetLogFont(LOGFONTW* lf) const { return GetObjectW(m_hObject, sizeof(LOGFONTW), lf); }
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
  static CFont* FromHandle(HFONT font);
};

class CBitmap : public CGdiObject {
 public:
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
  }
  // The bitmap resource id (see LoadBitmapW); FALSE when it cannot be read.
  BOOL LoadBitmap(UINT id) { return Attach(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(static_cast<int>(id)))); }
  int GetBitmap(BITMAP* bm) const { return GetObjectW(m_hObject, sizeof(BITMAP), bm); }
  CSize GetBitmapDimension() const;
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
  static CBitmap* FromHandle(HBITMAP bitmap);
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRectRgnIndirect(const RECT* rc) { return Attach(::CreateRectRgnIndirect(rc)); }
  BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
    return Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
  }
  BOOL CreateEllipticRgn(int l, int t, int r, int b) { return Attach(::CreateEllipticRgn(l, t, r, b)); }
  int CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    return ::CombineRgn(*this, a ? static_cast<HRGN>(a->m_hObject) : nullptr,
                        b ? static_cast<HRGN>(b->m_hObject) : nullptr, mode);
  }
  int OffsetRgn(int dx, int dy) { return ::OffsetRgn(*this, dx, dy); }
  BOOL PtInRegion(int x, int y) const { return ::PtInRegion(*this, x, y); }
  BOOL SetRectRgn(int l, int t, int r, int b) { return ::SetRectRgn(*this, l, t, r, b); }
  int GetRgnBox(RECT* rc) const { return ::GetRgnBox(*this, rc); }
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }
  static CRgn* FromHandle(HRGN rgn);
};

// ---------------------------------------------------------------------------
// Device contexts.

class CDC {
 public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  HDC m_hDC = nullptr;
  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }
  BOOL Attach(HDC hdc);
  HDC Detach();
  static CDC* FromHandle(HDC hdc);

  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();
  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }

  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  CGdiObject* SelectObject(CGdiObject* obj);
  int SelectObject(CRgn* rgn) { return ::SelectClipRgn(m_hDC, rgn ? static_cast<HRGN>(rgn->m_hObject) : nullptr); }
  HGDIOBJ SelectObject(HGDIOBJ obj) { return ::SelectObject(m_hDC, obj); }
  CGdiObject* SelectStockObject(int index);
  CFont* GetCurrentFont() const;
  CBitmap* GetCurrentBitmap() const;

  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  int GetBkMode() const { return ::GetBkMode(m_hDC); }
  int SetROP2(int mode) { return ::SetROP2(m_hDC, mode); }
  int GetROP2() const { return ::GetROP2(m_hDC); }
  int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
  UINT SetTextAlign(UINT a) { return ::SetTextAlign(m_hDC, a); }
  CPoint SetViewportOrg(int x, int y);
  CPoint GetViewportOrg() const;
  CPoint OffsetViewportOrg(int dx, int dy);

  CPoint MoveTo(int x, int y);
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return ::LineTo(m_hDC, p.x, p.y); }
  BOOL Polyline(const POINT* pts, int count) { return ::Polyline(m_hDC, pts, count); }
  BOOL Polygon(const POINT* pts, int count) { return ::Polygon(m_hDC, pts, count); }
  BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
  BOOL Rectangle(const RECT* rc) { return ::Rectangle(m_hDC, rc->left, rc->top, rc->right, rc->bottom); }
  BOOL RoundRect(int l, int t, int r, int b, int w, int h) { return ::RoundRect(m_hDC, l, t, r, b, w, h); }
  BOOL RoundRect(const RECT* rc, POINT p) {
    return ::RoundRect(m_hDC, rc->left, rc->top, rc->right, rc->bottom, p.x, p.y);
  }
  BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
  BOOL Ellipse(const RECT* rc) { return ::Ellipse(m_hDC, rc->left, rc->top, rc->right, rc->bottom); }
  void FillRect(const RECT* rc, CBrush* brush) { ::FillRect(m_hDC, rc, brush ? static_cast<HBRUSH>(brush->m_hObject) : nullptr); }
  void FrameRect(const RECT* rc, CBrush* brush) { ::FrameRect(m_hDC, rc, brush ? static_cast<HBRUSH>(brush->m_hObject) : nullptr); }
  void InvertRect(const RECT* rc) { ::InvertRect(m_hDC, rc); }
  // Fills with a colour; the DC's background colour is left at that colour,
  // as the platform's implementation does.
  void FillSolidRect(const RECT* rc, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  void Draw3dRect(const RECT* rc, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  BOOL DrawEdge(RECT* rc, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rc, edge, flags); }
  void DrawFocusRect(const RECT* rc) { ::DrawFocusRect(m_hDC, rc); }
  BOOL DrawFrameControl(RECT* rc, UINT type, UINT state) { return ::DrawFrameControl(m_hDC, rc, type, state); }
  BOOL GradientFill(TRIVERTEX* vertices, ULONG count, void* mesh, ULONG meshCount, ULONG mode) {
    return ::GradientFill(m_hDC, vertices, count, mesh, meshCount, mode);
  }
  COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  BOOL BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, rop);
  }
  BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, rop);
  }
  BOOL TransparentBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, UINT key) {
    return ::TransparentBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, key);
  }
  BOOL AlphaBlend(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, BLENDFUNCTION bf) {
    return ::AlphaBlend(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, bf);
  }
  BOOL PatBlt(int x, int y, int w, int h, DWORD rop) { return ::PatBlt(m_hDC, x, y, w, h, rop); }
  int SelectClipRgn(CRgn* rgn) { return ::SelectClipRgn(m_hDC, rgn ? static_cast<HRGN>(rgn->m_hObject) : nullptr); }
  int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
  int IntersectClipRect(const RECT* rc) { return ::IntersectClipRect(m_hDC, rc->left, rc->top, rc->right, rc->bottom); }
  int ExcludeClipRect(int l, int t, int r, int b) { return ::ExcludeClipRect(m_hDC, l, t, r, b); }
  int ExcludeClipRect(const RECT* rc) { return ::ExcludeClipRect(m_hDC, rc->left, rc->top, rc->right, rc->bottom); }
  int GetClipBox(RECT* rc) const { return ::GetClipBox(m_hDC, rc); }

  int DrawText(const WString& text, RECT* rc, UINT format) {
    return ::DrawTextW(m_hDC, text.c_str(), static_cast<int>(text.size()), rc, format);
  }
  int DrawText(LPCWSTR text, int length, RECT* rc, UINT format) { return ::DrawTextW(m_hDC, text, length, rc, format); }
  BOOL TextOut(int x, int y, const WString& text) {
    return ::TextOutW(m_hDC, x, y, text.c_str(), static_cast<int>(text.size()));
  }
  BOOL TextOut(int x, int y, LPCWSTR text, int length) { return ::TextOutW(m_hDC, x, y, text, length); }
  BOOL ExtTextOut(int x, int y, UINT options, const RECT* rc, const WString& text, const int* dx = nullptr) {
    return ::ExtTextOutW(m_hDC, x, y, options, rc, text.c_str(), static_cast<UINT>(text.size()), dx);
  }
  CSize GetTextExtent(const WString& text) const;
  CSize GetTextExtent(LPCWSTR text, int length) const;
  BOOL GetTextMetrics(TEXTMETRICW* tm) const { return ::GetTextMetricsW(m_hDC, tm); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

 protected:
  bool owned_ = false;  // m_hDC was made by this object (memory DC)
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* wnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps;

 private:
  HWND hwnd_ = nullptr;
};

class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* wnd);
  ~CClientDC() override;

 private:
  HWND hwnd_ = nullptr;
};

class CWindowDC : public CDC {
 public:
  explicit CWindowDC(CWnd* wnd);
  ~CWindowDC() override;

 private:
  HWND hwnd_ = nullptr;
};

// ---------------------------------------------------------------------------
// Pictures (PNG, JPEG, BMP) through QImage, in place of the framework's
// image class.

constexpr long S_OK = 0;
constexpr long E_FAIL = static_cast<long>(0x80004005L);

class CImage {
 public:
  CImage() = default;
  ~CImage();
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;
  long Load(LPCWSTR path);                 // S_OK or E_FAIL; `\` accepted as a separator
  long Load(const std::string& utf8Path);
  BOOL Create(int width, int height, int bpp);  // bpp 24 or 32 (32 keeps alpha)
  void Destroy();
  bool IsNull() const { return bitmap_ == nullptr; }
  int GetWidth() const;
  int GetHeight() const;
  int GetBPP() const;
  COLORREF GetPixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF c);
  operator HBITMAP() const { return bitmap_; }
  // Draws the picture stretched into the rectangle; pictures with alpha are
  // blended, others copied.
  BOOL Draw(HDC dst, int x, int y, int w, int h) const;
  BOOL Draw(HDC dst, const RECT& rc) const { return Draw(dst, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top); }
  BOOL Draw(HDC dst, int x, int y) const { return Draw(dst, x, y, GetWidth(), GetHeight()); }
  BOOL Draw(HDC dst, const RECT& dstRc, const RECT& srcRc) const;
  BOOL BitBlt(HDC dst, int x, int y, DWORD rop = SRCCOPY) const;
  BOOL StretchBlt(HDC dst, int x, int y, int w, int h, DWORD rop = SRCCOPY) const;
  BOOL StretchBlt(HDC dst, const RECT& rc, DWORD rop = SRCCOPY) const {
    return StretchBlt(dst, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, rop);
  }
  BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, UINT key) const;
  BOOL TransparentBlt(HDC dst, const RECT& rc, UINT key) const {
    return TransparentBlt(dst, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, key);
  }
  BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, BYTE alpha = 255) const;
  // The same with a source rectangle of the picture (a sprite sheet's cell).
  BOOL StretchBlt(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, DWORD rop = SRCCOPY) const;
  BOOL StretchBlt(HDC dst, const RECT& dstRc, const RECT& srcRc, DWORD rop = SRCCOPY) const {
    return StretchBlt(dst, dstRc.left, dstRc.top, dstRc.right - dstRc.left, dstRc.bottom - dstRc.top, srcRc.left,
                      srcRc.top, srcRc.right - srcRc.left, srcRc.bottom - srcRc.top, rop);
  }
  BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, UINT key) const;
  BOOL TransparentBlt(HDC dst, const RECT& dstRc, const RECT& srcRc, UINT key) const {
    return TransparentBlt(dst, dstRc.left, dstRc.top, dstRc.right - dstRc.left, dstRc.bottom - dstRc.top,
                          srcRc.left, srcRc.top, srcRc.right - srcRc.left, srcRc.bottom - srcRc.top, key);
  }
  BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, BYTE alpha = 255,
                  BYTE op = AC_SRC_OVER) const;
  BOOL AlphaBlend(HDC dst, const RECT& dstRc, const RECT& srcRc, BYTE alpha = 255, BYTE op = AC_SRC_OVER) const {
    return AlphaBlend(dst, dstRc.left, dstRc.top, dstRc.right - dstRc.left, dstRc.bottom - dstRc.top, srcRc.left,
                      srcRc.top, srcRc.right - srcRc.left, srcRc.bottom - srcRc.top, alpha, op);
  }
  // A memory DC with the picture selected; release with ReleaseDC.
  HDC GetDC() const;
  void ReleaseDC() const;

 private:
  HBITMAP bitmap_ = nullptr;
  mutable HDC dc_ = nullptr;
  mutable HGDIOBJ oldBitmap_ = nullptr;
};

// ---------------------------------------------------------------------------
// Windows.

class CWnd {
 public:
  CWnd();
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }
  static CWnd* FromHandle(HWND hwnd);           // permanent object or a temporary wrapper
  // The object the calling thread's current module attached to the handle;
  // null when that module attached none (each module keeps its own map).
  static CWnd* FromHandlePermanent(HWND hwnd);
  BOOL Attach(HWND hwnd);
  HWND Detach();

  // Creation with the framework's default class ("AfxWnd": double clicks,
  // arrow cursor, no background brush) when className is null.
  virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                      UINT id, void* context = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id, void* param = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int w, int h,
                HWND parent, HMENU idOrMenu, void* param = nullptr);
  // Takes over an existing window: PreSubclassWindow, then the object's
  // procedure replaces the window's, which stays reachable through
  // DefWindowProc.
  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();
  virtual BOOL DestroyWindow();
  static const WCHAR* DefaultClassName();  // u"AfxWnd"

  // Overridables.
  virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
  virtual void PreSubclassWindow();
  virtual void PostNcDestroy();
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL PreTranslateMessage(MSG* msg);
  // WM_COMMAND: the control's reflection first, then OnCmdMsg; FALSE passes
  // the message to default handling.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // Command handlers by id; nCode is the notification code (0 for menus,
  // accelerators and button clicks). TRUE when handled.
  virtual BOOL OnCmdMsg(UINT nID, int nCode);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // A notification reflected from the parent to the control object
  // (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*,
  // WM_HSCROLL, WM_VSCROLL). TRUE and *result when the control answers.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Default handling of the message being handled.
  LRESULT Default();

  // Message handlers; each base version does the default handling.
  virtual int OnCreate(LPCREATESTRUCT cs);
  virtual void OnDestroy();
  virtual void OnNcDestroy();
  virtual void OnClose();
  virtual void OnPaint();
  virtual BOOL OnEraseBkgnd(CDC* dc);
  virtual void OnSize(UINT type, int cx, int cy);
  virtual void OnMove(int x, int y);
  virtual void OnTimer(UINT_PTR id);
  virtual void OnMouseMove(UINT flags, CPoint point);
  virtual void OnLButtonDown(UINT flags, CPoint point);
  virtual void OnLButtonUp(UINT flags, CPoint point);
  virtual void OnLButtonDblClk(UINT flags, CPoint point);
  virtual void OnRButtonDown(UINT flags, CPoint point);
  virtual void OnRButtonUp(UINT flags, CPoint point);
  // WM_CONTEXTMENU: the window clicked and the screen point ((-1, -1) from
  // the keyboard); the default passes it to the parent.
  virtual void OnContextMenu(CWnd* wnd, CPoint screenPoint);
  virtual void OnRButtonDblClk(UINT flags, CPoint point);
  virtual void OnMButtonDown(UINT flags, CPoint point);
  virtual void OnMButtonUp(UINT flags, CPoint point);
  virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint screenPoint);
  virtual void OnMouseLeave();
  virtual void OnMouseHover(UINT flags, CPoint point);
  virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
  virtual void OnKeyUp(UINT key, UINT repeat, UINT flags);
  virtual void OnChar(UINT ch, UINT repeat, UINT flags);
  virtual void OnSetFocus(CWnd* oldWnd);
  virtual void OnKillFocus(CWnd* newWnd);
  virtual BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  virtual void OnShowWindow(BOOL show, UINT status);
  virtual void OnEnable(BOOL enable);
  virtual void OnCaptureChanged(CWnd* wnd);
  virtual void OnActivate(UINT state, CWnd* other, BOOL minimized);
  virtual void OnHScroll(UINT code, UINT pos, CWnd* bar);
  virtual void OnVScroll(UINT code, UINT pos, CWnd* bar);
  virtual void OnDrawItem(int id, LPDRAWITEMSTRUCT dis);
  virtual void OnMeasureItem(int id, LPMEASUREITEMSTRUCT mis);
  virtual HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
  virtual void OnGetMinMaxInfo(MINMAXINFO* info);
  virtual void OnWindowPosChanging(WINDOWPOS* pos);
  virtual void OnWindowPosChanged(WINDOWPOS* pos);
  virtual void OnNcPaint();

  // Operations.
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  // Removes and adds style bits; with swpFlags non-zero also SetWindowPos
  // (no move, size, z-order or activation) with them. TRUE when changed.
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
  void GetClientRect(RECT* rc) const { ::GetClientRect(m_hWnd, rc); }
  void GetWindowRect(RECT* rc) const { ::GetWindowRect(m_hWnd, rc); }
  void ClientToScreen(POINT* p) const { ::ClientToScreen(m_hWnd, p); }
  void ClientToScreen(RECT* rc) const;
  void ScreenToClient(POINT* p) const { ::ScreenToClient(m_hWnd, p); }
  void ScreenToClient(RECT* rc) const;
  void MapWindowPoints(CWnd* to, POINT* pts, UINT count) const {
    ::MapWindowPoints(m_hWnd, to ? to->m_hWnd : nullptr, pts, count);
  }
  void MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) { ::MoveWindow(m_hWnd, x, y, w, h, repaint); }
  void MoveWindow(const RECT* rc, BOOL repaint = TRUE) {
    ::MoveWindow(m_hWnd, rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, repaint);
  }
  BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags);
  BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
  void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
  void SetWindowText(const WString& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
  int GetWindowText(LPWSTR out, int capacity) const { return ::GetWindowTextW(m_hWnd, out, capacity); }
  WString GetWindowText() const { return ::GetWindowTextString(m_hWnd); }
  int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(const RECT* rc, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rc, erase); }
  void InvalidateRgn(CRgn* rgn, BOOL erase = TRUE) {
    ::InvalidateRgn(m_hWnd, rgn ? static_cast<HRGN>(rgn->m_hObject) : nullptr, erase);
  }
  void ValidateRect(const RECT* rc) { ::ValidateRect(m_hWnd, rc); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  void ScrollWindow(int dx, int dy, const RECT* rect = nullptr, const RECT* clip = nullptr) {
    ::ScrollWindow(m_hWnd, dx, dy, rect, clip);
  }
  int ScrollWindowEx(int dx, int dy, const RECT* scroll, const RECT* clip, CRgn* update, RECT* rcUpdate,
                     UINT flags) {
    return ::ScrollWindowEx(m_hWnd, dx, dy, scroll, clip, update ? static_cast<HRGN>(update->m_hObject) : nullptr,
                            rcUpdate, flags);
  }
  BOOL RedrawWindow(const RECT* rc = nullptr, CRgn* rgn = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
    return ::RedrawWindow(m_hWnd, rc, rgn ? static_cast<HRGN>(rgn->m_hObject) : nullptr, flags);
  }
  void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, redraw, 0); }
  CDC* GetDC();
  CDC* GetWindowDC();
  int ReleaseDC(CDC* dc);
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, elapse, proc); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
  static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
  CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
  CWnd* GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }
  CWnd* SetParent(CWnd* parent) { return FromHandle(::SetParent(m_hWnd, parent ? parent->m_hWnd : nullptr)); }
  CWnd* GetTopLevelParent() const { return FromHandle(::GetAncestor(m_hWnd, GA_ROOT)); }
  CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  int SetDlgCtrlID(int id) { return static_cast<int>(::SetWindowLongPtrW(m_hWnd, GWLP_ID, id)); }
  CWnd* GetWindow(UINT cmd) const { return FromHandle(::GetWindow(m_hWnd, cmd)); }
  BOOL IsChild(const CWnd* wnd) const { return wnd && ::IsChild(m_hWnd, wnd->m_hWnd); }
  void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
  BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
  CWnd* SetActiveWindow() { return FromHandle(::SetActiveWindow(m_hWnd)); }
  CWnd* ChildWindowFromPoint(POINT p) const { return FromHandle(::ChildWindowFromPoint(m_hWnd, p)); }
  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
  }
  BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, msg, wParam, lParam);
  }
  int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK) {
    return ::MessageBoxW(m_hWnd, text, caption, type);
  }

  // The procedure that was in place before the object took the window
  // (the class procedure for created windows).
  WNDPROC m_pfnSuper = nullptr;

 private:
  friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT AfxCbtHook(int, WPARAM, LPARAM);
  bool temporary_ = false;
  HINSTANCE module_ = nullptr;  // the resource module current at Attach: whose map holds the object
};

LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// The application.

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  // The message loop: PreTranslateMessage down the tree, then translate and
  // dispatch, until WM_QUIT. Returns ExitInstance().
  virtual int Run();
  virtual BOOL PreTranslateMessage(MSG* msg);
  CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// Offers the message to PreTranslateMessage of the window and its parents
// up to the top-level window, then to the application. TRUE when taken.
BOOL AfxPreTranslateMessage(MSG* msg);
// Program entry for a window program: makes the program folder the working
// directory (EnterProgramFolder), creates the Qt application (the
// screen host unless QT_QPA_PLATFORM is "offscreen"), loads res/fonts.conf,
// runs InitInstance and, when it succeeds, Run.
int AfxWinMain(int argc, char** argv);
// Shows top-level windows on screen (QRasterWindow per window).
void EnableScreenHost();
