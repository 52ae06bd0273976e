// The device-context and GDI object wrappers, CRect helpers and CImage.
#include "platform/mfc/afx.h"

#include "platform/gdi/gdi_internal.h"

#include <QImageReader>

#include <mutex>
#include <typeindex>
#include <unordered_map>

namespace {

std::mutex& ObjLock() {
  static std::mutex lock;
  return lock;
}
// Objects that own their handle.
std::unordered_map<HGDIOBJ, CGdiObject*>& Owners() {
  static auto* map = new std::unordered_map<HGDIOBJ, CGdiObject*>();
  return *map;
}

// Temporary wrappers for handles no wrapper owns, one per thread and type.
// They only carry the handle value, so a reused value stays correct; the
// table is emptied when it grows large.
template <class T, class H>
T* TemporaryFor(H handle) {
  thread_local std::unordered_map<const void*, std::unique_ptr<T>> temps;
  if (temps.size() > 4096) temps.clear();
  auto& slot = temps[static_cast<const void*>(handle)];
  if (!slot) slot = std::make_unique<T>();
  return slot.get();
}

template <class T, class H>
T* WrapperFor(H handle) {
  if (!handle) return nullptr;
  {
    std::lock_guard<std::mutex> guard(ObjLock());
    auto it = Owners().find(handle);
    if (it != Owners().end()) {
      if (auto* typed = dynamic_cast<T*>(it->second)) return typed;
    }
  }
  T* temp = TemporaryFor<T>(handle);
  temp->m_hObject = handle;
  return temp;
}

}  // namespace

// ---------------------------------------------------------------------------
// CRect.

void CRect::NormalizeRect() {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
}

bool CRect::IntersectRect(const RECT& a, const RECT& b) {
  left = std::max(a.left, b.left);
  top = std::max(a.top, b.top);
  right = std::min(a.right, b.right);
  bottom = std::min(a.bottom, b.bottom);
  if (IsRectEmpty()) {
    SetRectEmpty();
    return false;
  }
  return true;
}

bool CRect::UnionRect(const RECT& a, const RECT& b) {
  CRect ra(a), rb(b);
  if (ra.IsRectEmpty()) {
    *this = rb;
  } else if (rb.IsRectEmpty()) {
    *this = ra;
  } else {
    SetRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom));
  }
  return !IsRectEmpty();
}

// ---------------------------------------------------------------------------
// GDI objects.

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ obj) {
  if (!obj || m_hObject) return FALSE;
  m_hObject = obj;
  std::lock_guard<std::mutex> guard(ObjLock());
  Owners()[obj] = this;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ obj = m_hObject;
  if (obj) {
    std::lock_guard<std::mutex> guard(ObjLock());
    auto it = Owners().find(obj);
    if (it != Owners().end() && it->second == this) Owners().erase(it);
  }
  m_hObject = nullptr;
  return obj;
}

BOOL CGdiObject::DeleteObject() {
  bool owner;
  {
    std::lock_guard<std::mutex> guard(ObjLock());
    auto it = Owners().find(m_hObject);
    owner = it != Owners().end() && it->second == this;
  }
  if (!owner) {
    m_hObject = nullptr;  // a temporary wrapper never deletes
    return FALSE;
  }
  HGDIOBJ obj = Detach();
  return ::DeleteObject(obj);
}

BOOL CGdiObject::CreateStockObject(int index) { return Attach(GetStockObject(index)); }

CGdiObject* CGdiObject::FromHandle(HGDIOBJ obj) { return WrapperFor<CGdiObject>(obj); }
CPen* CPen::FromHandle(HPEN pen) { return WrapperFor<CPen>(static_cast<HGDIOBJ>(pen)); }
CBrush* CBrush::FromHandle(HBRUSH brush) { return WrapperFor<CBrush>(static_cast<HGDIOBJ>(brush)); }
CFont* CFont::FromHandle(HFONT font) { return WrapperFor<CFont>(static_cast<HGDIOBJ>(font)); }
CBitmap* CBitmap::FromHandle(HBITMAP bitmap) { return WrapperFor<CBitmap>(static_cast<HGDIOBJ>(bitmap)); }
CRgn* CRgn::FromHandle(HRGN rgn) { return WrapperFor<CRgn>(static_cast<HGDIOBJ>(rgn)); }

BOOL CBrush::CreatePatternBrush(CBitmap* bitmap) {
  return bitmap ? Attach(::CreatePatternBrush(static_cast<HBITMAP>(bitmap->m_hObject))) : FALSE;
}

BOOL CFont::CreatePointFont(int pointSize, LPCWSTR face, CDC*) {
  LOGFONTW lf;
  lf.lfHeight = -((pointSize * 96 + 360) / 720);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  if (face) {
    for (int i = 0; i < LF_FACESIZE - 1 && face[i]; ++i) lf.lfFaceName[i] = face[i];
  }
  return CreateFontIndirect(&lf);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}

CSize CBitmap::GetBitmapDimension() const {
  BITMAP bm;
  if (!GetBitmap(&bm)) return CSize(0, 0);
  return CSize(bm.bmWidth, bm.bmHeight);
}

// ---------------------------------------------------------------------------
// CDC.

CDC::~CDC() {
  if (owned_ && m_hDC) ::DeleteDC(m_hDC);
}

BOOL CDC::Attach(HDC hdc) {
  if (!hdc || m_hDC) return FALSE;
  m_hDC = hdc;
  return TRUE;
}

HDC CDC::Detach() {
  HDC hdc = m_hDC;
  m_hDC = nullptr;
  owned_ = false;
  return hdc;
}

CDC* CDC::FromHandle(HDC hdc) {
  if (!hdc) return nullptr;
  CDC* temp = TemporaryFor<CDC>(hdc);
  temp->m_hDC = hdc;
  return temp;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
  if (m_hDC) return FALSE;
  m_hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
  owned_ = m_hDC != nullptr;
  return owned_;
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  BOOL ok = ::DeleteDC(m_hDC);
  m_hDC = nullptr;
  owned_ = false;
  return ok;
}

CPen* CDC::SelectObject(CPen* pen) {
  if (!pen) return nullptr;
  return CPen::FromHandle(static_cast<HPEN>(::SelectObject(m_hDC, pen->m_hObject)));
}
CBrush* CDC::SelectObject(CBrush* brush) {
  if (!brush) return nullptr;
  return CBrush::FromHandle(static_cast<HBRUSH>(::SelectObject(m_hDC, brush->m_hObject)));
}
CFont* CDC::SelectObject(CFont* font) {
  if (!font) return nullptr;
  return CFont::FromHandle(static_cast<HFONT>(::SelectObject(m_hDC, font->m_hObject)));
}
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  if (!bitmap) return nullptr;
  return CBitmap::FromHandle(static_cast<HBITMAP>(::SelectObject(m_hDC, bitmap->m_hObject)));
}
CGdiObject* CDC::SelectObject(CGdiObject* obj) {
  if (!obj) return nullptr;
  return CGdiObject::FromHandle(::SelectObject(m_hDC, obj->m_hObject));
}
CGdiObject* CDC::SelectStockObject(int index) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, GetStockObject(index)));
}
CFont* CDC::GetCurrentFont() const {
  return CFont::FromHandle(static_cast<HFONT>(GetCurrentObject(m_hDC, OBJ_FONT)));
}
CBitmap* CDC::GetCurrentBitmap() const {
  return CBitmap::FromHandle(static_cast<HBITMAP>(GetCurrentObject(m_hDC, OBJ_BITMAP)));
}

CPoint CDC::SetViewportOrg(int x, int y) {
  POINT old{};
  ::SetViewportOrgEx(m_hDC, x, y, &old);
  return old;
}
CPoint CDC::GetViewportOrg() const {
  POINT p{};
  ::GetViewportOrgEx(m_hDC, &p);
  return p;
}
CPoint CDC::OffsetViewportOrg(int dx, int dy) {
  POINT old{};
  ::OffsetViewportOrgEx(m_hDC, dx, dy, &old);
  return old;
}
CPoint CDC::MoveTo(int x, int y) {
  POINT old{};
  ::MoveToEx(m_hDC, x, y, &old);
  return old;
}

void CDC::FillSolidRect(const RECT* rc, COLORREF color) {
  ::SetBkColor(m_hDC, color);
  ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rc, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  RECT rc{x, y, x + cx, y + cy};
  FillSolidRect(&rc, color);
}

void CDC::Draw3dRect(const RECT* rc, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
  FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}

CSize CDC::GetTextExtent(const WString& text) const {
  return GetTextExtent(text.c_str(), static_cast<int>(text.size()));
}

CSize CDC::GetTextExtent(LPCWSTR text, int length) const {
  SIZE s{};
  ::GetTextExtentPoint32W(m_hDC, text, length, &s);
  return s;
}

CPaintDC::CPaintDC(CWnd* wnd) : hwnd_(wnd ? wnd->m_hWnd : nullptr) { Attach(BeginPaint(hwnd_, &m_ps)); }
CPaintDC::~CPaintDC() {
  if (m_hDC) {
    Detach();
    EndPaint(hwnd_, &m_ps);
  }
}

CClientDC::CClientDC(CWnd* wnd) : hwnd_(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetDC(hwnd_)); }
CClientDC::~CClientDC() {
  if (m_hDC) ::ReleaseDC(hwnd_, Detach());
}

CWindowDC::CWindowDC(CWnd* wnd) : hwnd_(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetWindowDC(hwnd_)); }
CWindowDC::~CWindowDC() {
  if (m_hDC) ::ReleaseDC(hwnd_, Detach());
}

// ---------------------------------------------------------------------------
// CImage.

CImage::~CImage() { Destroy(); }

void CImage::Destroy() {
  ReleaseDC();
  if (bitmap_) ::DeleteObject(bitmap_);
  bitmap_ = nullptr;
}

long CImage::Load(const std::string& utf8Path) {
  Destroy();
  std::string path = utf8Path;
  for (char& c : path)
    if (c == '\\') c = '/';
  QImageReader reader(QString::fromStdString(path));
  QImage img = reader.read();
  if (img.isNull()) return E_FAIL;
  bitmap_ = CreateBitmapFromImage(img);
  return bitmap_ ? S_OK : E_FAIL;
}

long CImage::Load(LPCWSTR path) {
  if (!path) return E_FAIL;
  return Load(QString::fromStdU16String(WString(path)).toStdString());
}

BOOL CImage::Create(int width, int height, int bpp) {
  Destroy();
  if (width <= 0 || height == 0) return FALSE;
  QImage img(width, std::abs(height), bpp == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  img.fill(bpp == 32 ? 0u : 0xFF000000u);
  bitmap_ = CreateBitmapFromImage(img);
  return bitmap_ != nullptr;
}

int CImage::GetWidth() const {
  QImage* img = GetBitmapImage(bitmap_);
  return img ? img->width() : 0;
}
int CImage::GetHeight() const {
  QImage* img = GetBitmapImage(bitmap_);
  return img ? img->height() : 0;
}
int CImage::GetBPP() const {
  QImage* img = GetBitmapImage(bitmap_);
  if (!img) return 0;
  return img->hasAlphaChannel() ? 32 : 24;
}

COLORREF CImage::GetPixel(int x, int y) const {
  QImage* img = GetBitmapImage(bitmap_);
  if (!img || !img->rect().contains(x, y)) return CLR_INVALID;
  return FromPixel(img->pixel(x, y));
}

void CImage::SetPixel(int x, int y, COLORREF c) {
  QImage* img = GetBitmapImage(bitmap_);
  if (img && img->rect().contains(x, y)) img->setPixel(x, y, ToPixel(c));
}

HDC CImage::GetDC() const {
  if (!bitmap_) return nullptr;
  if (!dc_) {
    dc_ = ::CreateCompatibleDC(nullptr);
    oldBitmap_ = ::SelectObject(dc_, bitmap_);
  }
  return dc_;
}

void CImage::ReleaseDC() const {
  if (!dc_) return;
  ::SelectObject(dc_, oldBitmap_);
  ::DeleteDC(dc_);
  dc_ = nullptr;
  oldBitmap_ = nullptr;
}

BOOL CImage::Draw(HDC dst, int x, int y, int w, int h) const {
  RECT d{x, y, x + w, y + h};
  RECT s{0, 0, GetWidth(), GetHeight()};
  return Draw(dst, d, s);
}

BOOL CImage::Draw(HDC dst, const RECT& d, const RECT& s) const {
  if (!bitmap_) return FALSE;
  HDC src = GetDC();
  BOOL ok;
  int w = d.right - d.left, h = d.bottom - d.top, sw = s.right - s.left, sh = s.bottom - s.top;
  if (GetBPP() == 32) {
    BLENDFUNCTION bf;
    bf.AlphaFormat = AC_SRC_ALPHA;
    ok = ::AlphaBlend(dst, d.left, d.top, w, h, src, s.left, s.top, sw, sh, bf);
  } else {
    ::SetStretchBltMode(dst, COLORONCOLOR);
    ok = ::StretchBlt(dst, d.left, d.top, w, h, src, s.left, s.top, sw, sh, SRCCOPY);
  }
  ReleaseDC();
  return ok;
}

BOOL CImage::BitBlt(HDC dst, int x, int y, DWORD rop) const {
  if (!bitmap_) return FALSE;
  BOOL ok = ::BitBlt(dst, x, y, GetWidth(), GetHeight(), GetDC(), 0, 0, rop);
  ReleaseDC();
  return ok;
}

BOOL CImage::StretchBlt(HDC dst, int x, int y, int w, int h, DWORD rop) const {
  if (!bitmap_) return FALSE;
  BOOL ok = ::StretchBlt(dst, x, y, w, h, GetDC(), 0, 0, GetWidth(), GetHeight(), rop);
  ReleaseDC();
  return ok;
}

BOOL CImage::TransparentBlt(HDC dst, int x, int y, int w, int h, UINT key) const {
  return TransparentBlt(dst, x, y, w, h, 0, 0, GetWidth(), GetHeight(), key);
}

BOOL CImage::AlphaBlend(HDC dst, int x, int y, int w, int h, BYTE alpha) const {
  return AlphaBlend(dst, x, y, w, h, 0, 0, GetWidth(), GetHeight(), alpha);
}

BOOL CImage::StretchBlt(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, DWORD rop) const {
  if (!bitmap_) return FALSE;
  BOOL ok = ::StretchBlt(dst, x, y, w, h, GetDC(), sx, sy, sw, sh, rop);
  ReleaseDC();
  return ok;
}

BOOL CImage::TransparentBlt(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, UINT key) const {
  if (!bitmap_) return FALSE;
  BOOL ok = ::TransparentBlt(dst, x, y, w, h, GetDC(), sx, sy, sw, sh, key);
  ReleaseDC();
  return ok;
}

BOOL CImage::AlphaBlend(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, BYTE alpha,
                        BYTE op) const {
  if (!bitmap_) return FALSE;
  BLENDFUNCTION bf;
  bf.BlendOp = op;
  bf.SourceConstantAlpha = alpha;
  bf.AlphaFormat = GetBPP() == 32 ? AC_SRC_ALPHA : 0;
  BOOL ok = ::AlphaBlend(dst, x, y, w, h, GetDC(), sx, sy, sw, sh, bf);
  ReleaseDC();
  return ok;
}
