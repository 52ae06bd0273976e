// Device contexts, GDI objects, lines, shapes, fills, regions and blits.
//
// One-pixel lines and rectangle fills are written straight into the picture
// so that the platform's pixel rules hold exactly (end points, exclusive
// edges, mix modes, styled pens); curves, wide pens and text go through a
// QPainter that lives for one call, clipped to the DC's region.
#include "platform/gdi/gdi_internal.h"

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"

#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace {

std::mutex& LiveLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_set<HGDIOBJ>& Live() {
  static auto* set = new std::unordered_set<HGDIOBJ>();
  return *set;
}
std::unordered_set<HDC>& LiveDcs() {
  static auto* set = new std::unordered_set<HDC>();
  return *set;
}

template <class T>
T* Register(T* obj) {
  std::lock_guard<std::mutex> guard(LiveLock());
  Live().insert(obj);
  return obj;
}

bool IsLive(HGDIOBJ obj) {
  if (!obj) return false;
  std::lock_guard<std::mutex> guard(LiveLock());
  return Live().count(obj) != 0;
}

bool IsStock(HGDIOBJ obj) {
  switch (obj->gdiType) {
    case OBJ_PEN:
      return static_cast<PenObject*>(obj)->stock;
    case OBJ_BRUSH:
      return static_cast<BrushObject*>(obj)->stock;
    case OBJ_FONT:
      return static_cast<FontObject*>(obj)->stock;
    case OBJ_BITMAP:
      return static_cast<BitmapObject*>(obj)->stock;
    default:
      return false;
  }
}

void FreeObject(HGDIOBJ obj) {
  {
    std::lock_guard<std::mutex> guard(LiveLock());
    Live().erase(obj);
  }
  delete obj;
}

void Retain(HGDIOBJ obj) {
  if (obj) obj->selectCount.fetch_add(1);
}
void Release(HGDIOBJ obj) {
  if (!obj) return;
  if (obj->selectCount.fetch_sub(1) == 1 && obj->deletePending.load()) FreeObject(obj);
}

PenObject* MakeStockPen(int style, COLORREF color, bool dcPen = false) {
  auto* p = new PenObject;
  p->gdiType = OBJ_PEN;
  p->style = style;
  p->color = color;
  p->stock = true;
  p->dcPen = dcPen;
  return Register(p);
}
BrushObject* MakeStockBrush(UINT style, COLORREF color, bool dcBrush = false) {
  auto* b = new BrushObject;
  b->gdiType = OBJ_BRUSH;
  b->style = style;
  b->color = color;
  b->stock = true;
  b->dcBrush = dcBrush;
  return Register(b);
}

struct StockTable {
  HGDIOBJ objects[20] = {};
  BrushObject* sysBrushes[31] = {};
};

StockTable& Stock() {
  static StockTable* table = [] {
    auto* t = new StockTable;
    t->objects[WHITE_BRUSH] = MakeStockBrush(BS_SOLID, RGB(255, 255, 255));
    t->objects[LTGRAY_BRUSH] = MakeStockBrush(BS_SOLID, RGB(192, 192, 192));
    t->objects[GRAY_BRUSH] = MakeStockBrush(BS_SOLID, RGB(128, 128, 128));
    t->objects[DKGRAY_BRUSH] = MakeStockBrush(BS_SOLID, RGB(64, 64, 64));
    t->objects[BLACK_BRUSH] = MakeStockBrush(BS_SOLID, RGB(0, 0, 0));
    t->objects[NULL_BRUSH] = MakeStockBrush(BS_NULL, 0);
    t->objects[WHITE_PEN] = MakeStockPen(PS_SOLID, RGB(255, 255, 255));
    t->objects[BLACK_PEN] = MakeStockPen(PS_SOLID, RGB(0, 0, 0));
    t->objects[NULL_PEN] = MakeStockPen(PS_NULL, 0);
    t->objects[DC_BRUSH] = MakeStockBrush(BS_SOLID, RGB(255, 255, 255), true);
    t->objects[DC_PEN] = MakeStockPen(PS_SOLID, 0, true);
    for (int i = 0; i <= 30; ++i) t->sysBrushes[i] = MakeStockBrush(BS_SOLID, GetSysColor(i));
    return t;
  }();
  return *table;
}

BitmapObject* NewBitmap(int w, int h, bool mono, QImage::Format format = QImage::Format_RGB32) {
  auto* b = new BitmapObject;
  b->gdiType = OBJ_BITMAP;
  b->image = QImage(std::max(w, 1), std::max(h, 1), format);
  b->image.fill(mono ? 0xFFFFFFFFu : 0xFF000000u);
  b->mono = mono;
  b->bitsPixel = mono ? 1 : 32;
  return b;
}

COLORREF PenColor(HDC dc) {
  PenObject* pen = dc->s.pen;
  return pen->dcPen ? dc->s.dcPenColor : pen->color;
}

uint32_t Rop2(int rop, uint32_t d, uint32_t p) {
  uint32_t r;
  switch (rop) {
    case R2_BLACK: r = 0; break;
    case R2_NOTMERGEPEN: r = ~(d | p); break;
    case R2_MASKNOTPEN: r = d & ~p; break;
    case R2_NOTCOPYPEN: r = ~p; break;
    case R2_MASKPENNOT: r = p & ~d; break;
    case R2_NOT: r = ~d; break;
    case R2_XORPEN: r = d ^ p; break;
    case R2_NOTMASKPEN: r = ~(d & p); break;
    case R2_MASKPEN: r = d & p; break;
    case R2_NOTXORPEN: r = ~(d ^ p); break;
    case R2_NOP: r = d; break;
    case R2_MERGENOTPEN: r = d | ~p; break;
    case R2_MERGEPENNOT: r = p | ~d; break;
    case R2_MERGEPEN: r = d | p; break;
    case R2_WHITE: r = 0xFFFFFF; break;
    default: r = p; break;
  }
  return 0xFF000000u | (r & 0xFFFFFFu);
}

uint32_t MonoMap(uint32_t p) {
  int lum = (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
  return lum >= 128 ? 0xFFFFFFFFu : 0xFF000000u;
}

bool DcIsMono(HDC dc) { return dc->memory && dc->s.bitmap && dc->s.bitmap->mono; }

// Writes single pixels under the DC's clip and mix mode.
class PixelWriter {
 public:
  explicit PixelWriter(HDC dc) : dc_(dc), clip_(dc->Clip()) {
    simple_ = clip_.rectCount() <= 1;
    box_ = clip_.boundingRect();
    mono_ = DcIsMono(dc);
  }
  void Put(int x, int y, uint32_t color) {
    if (!box_.contains(x, y)) return;
    if (!simple_ && !InClip(x, y)) return;
    auto* line = reinterpret_cast<uint32_t*>(dc_->image->scanLine(y));
    uint32_t v = Rop2(dc_->s.rop2, line[x], color);
    line[x] = mono_ ? MonoMap(v) : v;
  }

 private:
  // Lines run along one rectangle of a clip made of many (an update region
  // of thin strips): the rectangle of the last pixel is asked first.
  bool InClip(int x, int y) {
    if (last_.contains(x, y)) return true;
    for (const QRect& r : clip_) {
      if (r.contains(x, y)) {
        last_ = r;
        return true;
      }
    }
    return false;
  }

  HDC dc_;
  const QRegion& clip_;
  QRect box_;
  QRect last_;
  bool simple_ = true;
  bool mono_ = false;
};

// The on/off pattern of a cosmetic styled pen, in pixels.
std::vector<int> PenPattern(int style) {
  switch (style) {
    case PS_DASH: return {18, 6};
    case PS_DOT: return {3, 3};
    case PS_DASHDOT: return {9, 6, 3, 6};
    case PS_DASHDOTDOT: return {9, 3, 3, 3, 3, 3};
    case PS_ALTERNATE: return {1, 1};
    default: return {};
  }
}

struct StyleState {
  std::vector<int> pattern;
  size_t index = 0;
  int left = 0;
  bool On() const { return pattern.empty() || (index % 2) == 0; }
  void Step() {
    if (pattern.empty()) return;
    if (--left <= 0) {
      index = (index + 1) % pattern.size();
      left = pattern[index];
    }
  }
};

// A one-pixel line from a to b in picture coordinates, b itself not set.
void CosmeticLine(HDC dc, QPoint a, QPoint b, StyleState& style) {
  PixelWriter writer(dc);
  uint32_t color = ToPixel(PenColor(dc));
  uint32_t gap = ToPixel(dc->s.bkColor);
  bool fillGaps = dc->s.bkMode == OPAQUE && dc->s.pen->style != PS_ALTERNATE && !style.pattern.empty();
  int x = a.x(), y = a.y();
  int dx = std::abs(b.x() - x), dy = std::abs(b.y() - y);
  int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
  int err = dx - dy;
  while (x != b.x() || y != b.y()) {
    if (style.On())
      writer.Put(x, y, color);
    else if (fillGaps)
      writer.Put(x, y, gap);
    style.Step();
    int e2 = 2 * err;
    if (e2 > -dy) {
      err -= dy;
      x += sx;
    }
    if (e2 < dx) {
      err += dx;
      y += sy;
    }
  }
}

StyleState NewStyle(HDC dc) {
  StyleState st;
  st.pattern = PenPattern(dc->s.pen->style);
  if (!st.pattern.empty()) st.left = st.pattern[0];
  return st;
}

QPainter::CompositionMode CompositionFor(int rop) {
  switch (rop) {
    case R2_NOT: return QPainter::RasterOp_NotDestination;
    case R2_XORPEN: return QPainter::RasterOp_SourceXorDestination;
    case R2_MASKPEN: return QPainter::RasterOp_SourceAndDestination;
    case R2_MERGEPEN: return QPainter::RasterOp_SourceOrDestination;
    case R2_NOTCOPYPEN: return QPainter::RasterOp_NotSource;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

QColor QColorOf(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Sets up a painter for one call: clip, translation to logical coordinates,
// no antialiasing, the mix mode.
void Prepare(QPainter& p, HDC dc) {
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setClipRegion(dc->Clip());
  p.setCompositionMode(CompositionFor(dc->s.rop2));
  p.translate(dc->Offset());
}

QBrush QBrushOf(HDC dc, BrushObject* b) {
  if (!b || b->style == BS_NULL) return Qt::NoBrush;
  if (b->style == BS_PATTERN) {
    QBrush brush(b->pattern);
    return brush;
  }
  COLORREF c = b->dcBrush ? dc->s.dcBrushColor : b->color;
  if (b->style == BS_HATCHED) {
    static const Qt::BrushStyle kHatch[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                            Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(QColorOf(c), kHatch[std::clamp(b->hatch, 0, 5)]);
  }
  return QBrush(QColorOf(c));
}

QPen QPenOf(HDC dc) {
  PenObject* pen = dc->s.pen;
  if (pen->style == PS_NULL) return Qt::NoPen;
  QPen qp(QColorOf(PenColor(dc)));
  qp.setWidth(std::max(pen->width, 1));
  qp.setCapStyle(Qt::RoundCap);
  qp.setJoinStyle(Qt::RoundJoin);
  if (pen->width <= 1) qp.setCosmetic(true);
  return qp;
}

bool NullPen(HDC dc) { return dc->s.pen->style == PS_NULL; }

bool CheckDc(HDC dc, const char* where) {
  if (IsValidDc(dc) && dc->image && !dc->image->isNull()) return true;
  std::string line = std::string(where) + ": invalid device context\n";
  OutputDebugStringA(line.c_str());
  return false;
}

void FillRectPixels(HDC dc, const QRect& r, uint32_t color, int rop) {
  bool mono = DcIsMono(dc);
  if (mono) color = MonoMap(color);
  for (const QRect& c : dc->Clip()) {
    QRect a = c.intersected(r);
    if (a.isEmpty()) continue;
    for (int y = a.top(); y <= a.bottom(); ++y) {
      auto* line = reinterpret_cast<uint32_t*>(dc->image->scanLine(y));
      if (rop == R2_COPYPEN) {
        std::fill(line + a.left(), line + a.right() + 1, color);
      } else {
        for (int x = a.left(); x <= a.right(); ++x) line[x] = Rop2(rop, line[x], color);
      }
    }
  }
}

void FillWithBrush(HDC dc, const QRect& r, BrushObject* brush, int rop) {
  if (!brush || brush->style == BS_NULL || r.isEmpty()) return;
  if (brush->style == BS_SOLID) {
    COLORREF c = brush->dcBrush ? dc->s.dcBrushColor : brush->color;
    FillRectPixels(dc, r, ToPixel(c), rop);
    return;
  }
  if (brush->style == BS_PATTERN && !brush->pattern.isNull() && rop == R2_COPYPEN) {
    const QImage& pat = brush->pattern;
    int pw = pat.width(), ph = pat.height();
    uint32_t fg = ToPixel(dc->s.textColor), bg = ToPixel(dc->s.bkColor);
    bool mono = brush->monoPattern;
    QPoint org = dc->deviceOrigin + dc->s.brushOrg;
    for (const QRect& c : dc->Clip()) {
      QRect a = c.intersected(r);
      if (a.isEmpty()) continue;
      for (int y = a.top(); y <= a.bottom(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(dc->image->scanLine(y));
        int py = ((y - org.y()) % ph + ph) % ph;
        auto* src = reinterpret_cast<const uint32_t*>(pat.constScanLine(py));
        for (int x = a.left(); x <= a.right(); ++x) {
          int px = ((x - org.x()) % pw + pw) % pw;
          uint32_t v = src[px] | 0xFF000000u;
          if (mono) v = v == 0xFFFFFFFFu ? bg : fg;
          line[x] = v;
        }
      }
    }
    return;
  }
  QPainter p(dc->image);
  p.setClipRegion(dc->Clip());
  p.setCompositionMode(CompositionFor(rop));
  p.setBrushOrigin(dc->deviceOrigin + dc->s.brushOrg);
  p.fillRect(r, QBrushOf(dc, brush));
}

void DrawPolyline(HDC dc, const POINT* pts, int count, bool closed) {
  if (count < 2 || NullPen(dc)) return;
  if (dc->s.pen->Cosmetic()) {
    StyleState st = NewStyle(dc);
    for (int i = 0; i + 1 < count; ++i)
      CosmeticLine(dc, dc->ToImage(pts[i].x, pts[i].y), dc->ToImage(pts[i + 1].x, pts[i + 1].y), st);
    if (closed)
      CosmeticLine(dc, dc->ToImage(pts[count - 1].x, pts[count - 1].y), dc->ToImage(pts[0].x, pts[0].y), st);
  } else {
    QPainter p(dc->image);
    Prepare(p, dc);
    p.setPen(QPenOf(dc));
    QPolygon poly;
    for (int i = 0; i < count; ++i) poly << QPoint(pts[i].x, pts[i].y);
    if (closed)
      p.drawPolygon(poly);
    else
      p.drawPolyline(poly);
  }
  NotifyDcDrawn(dc);
}

}  // namespace

void RegisterGdiObject(HGDIOBJ obj) { Register(obj); }

// ---------------------------------------------------------------------------
// Object lookups.

PenObject* AsPen(HGDIOBJ obj) {
  return obj && obj->gdiType == OBJ_PEN ? static_cast<PenObject*>(obj) : nullptr;
}
BrushObject* AsBrush(HGDIOBJ obj) {
  auto value = reinterpret_cast<std::uintptr_t>(obj);
  if (value > 0 && value <= 31) return Stock().sysBrushes[value - 1];
  return obj && obj->gdiType == OBJ_BRUSH ? static_cast<BrushObject*>(obj) : nullptr;
}
FontObject* AsFont(HGDIOBJ obj) {
  return obj && obj->gdiType == OBJ_FONT ? static_cast<FontObject*>(obj) : nullptr;
}
BitmapObject* AsBitmap(HGDIOBJ obj) {
  return obj && obj->gdiType == OBJ_BITMAP ? static_cast<BitmapObject*>(obj) : nullptr;
}
RegionObject* AsRegion(HGDIOBJ obj) {
  return obj && obj->gdiType == OBJ_REGION ? static_cast<RegionObject*>(obj) : nullptr;
}

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || index > 30) return nullptr;
  return Stock().sysBrushes[index];
}

HGDIOBJ GetStockObject(int index) {
  if (index == DEFAULT_GUI_FONT || index == SYSTEM_FONT || index == ANSI_VAR_FONT ||
      index == DEVICE_DEFAULT_FONT || index == ANSI_FIXED_FONT || index == OEM_FIXED_FONT ||
      index == SYSTEM_FIXED_FONT)
    return DefaultGuiFont();
  if (index < 0 || index >= 20) return nullptr;
  return Stock().objects[index];
}

const QRegion& HDC__::Clip() {
  if (!clipDirty) return clipCache;
  QRegion r = hasVis ? vis : QRegion(ImageRect());
  if (s.hasClip) r &= s.clip.translated(deviceOrigin);
  r &= QRegion(ImageRect());
  clipCache = r;
  clipDirty = false;
  return clipCache;
}

namespace {

void InitDcState(HDC dc) {
  dc->s.pen = static_cast<PenObject*>(GetStockObject(BLACK_PEN));
  dc->s.brush = static_cast<BrushObject*>(GetStockObject(WHITE_BRUSH));
  dc->s.font = DefaultGuiFont();
  Retain(dc->s.pen);
  Retain(dc->s.brush);
  Retain(dc->s.font);
}

void ReleaseState(DcState& s) {
  Release(s.pen);
  Release(s.brush);
  Release(s.font);
  Release(s.bitmap);
}

void RetainState(DcState& s) {
  Retain(s.pen);
  Retain(s.brush);
  Retain(s.font);
  Retain(s.bitmap);
}

}  // namespace

bool IsValidDc(HDC hdc) {
  if (!hdc) return false;
  std::lock_guard<std::mutex> guard(LiveLock());
  return LiveDcs().count(hdc) != 0;
}

HDC MakeWindowDc(HWND hwnd, bool, const QRegion*) {
  auto* dc = new HDC__;
  dc->memory = false;
  dc->hwnd = hwnd;
  InitDcState(dc);
  std::lock_guard<std::mutex> guard(LiveLock());
  LiveDcs().insert(dc);
  return dc;
}

void FreeWindowDc(HDC hdc) {
  {
    std::lock_guard<std::mutex> guard(LiveLock());
    if (!LiveDcs().erase(hdc)) return;
  }
  for (auto& s : hdc->saved) ReleaseState(s);
  ReleaseState(hdc->s);
  delete hdc;
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new HDC__;
  dc->memory = true;
  dc->defaultBitmap.reset(NewBitmap(1, 1, true));
  dc->defaultBitmap->stock = true;
  Register(dc->defaultBitmap.get());
  dc->s.bitmap = dc->defaultBitmap.get();
  dc->image = &dc->s.bitmap->image;
  InitDcState(dc);
  Retain(dc->s.bitmap);
  std::lock_guard<std::mutex> guard(LiveLock());
  LiveDcs().insert(dc);
  return dc;
}

BOOL DeleteDC(HDC hdc) {
  if (!IsValidDc(hdc) || !hdc->memory) {
    if (hdc && IsValidDc(hdc)) FreeWindowDc(hdc);
    return hdc ? TRUE : FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(LiveLock());
    LiveDcs().erase(hdc);
  }
  for (auto& s : hdc->saved) ReleaseState(s);
  ReleaseState(hdc->s);
  {
    std::lock_guard<std::mutex> guard(LiveLock());
    Live().erase(hdc->defaultBitmap.get());
  }
  delete hdc;
  return TRUE;
}

int SaveDC(HDC hdc) {
  if (!IsValidDc(hdc)) return 0;
  hdc->saved.push_back(hdc->s);
  RetainState(hdc->saved.back());
  return static_cast<int>(hdc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved) {
  if (!IsValidDc(hdc)) return FALSE;
  int n = static_cast<int>(hdc->saved.size());
  int index = saved < 0 ? n + saved : saved - 1;
  if (index < 0 || index >= n) return FALSE;
  DcState target = hdc->saved[index];
  RetainState(target);
  ReleaseState(hdc->s);
  hdc->s = target;
  for (int i = index; i < n; ++i) ReleaseState(hdc->saved[i]);
  hdc->saved.resize(index);
  if (hdc->memory) hdc->image = &hdc->s.bitmap->image;
  hdc->ClipChanged();
  return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  if (!IsValidDc(hdc) || !obj) return nullptr;
  if (reinterpret_cast<std::uintptr_t>(obj) <= 31) return nullptr;
  if (!IsLive(obj)) return nullptr;
  HGDIOBJ previous = nullptr;
  switch (obj->gdiType) {
    case OBJ_PEN:
      previous = hdc->s.pen;
      hdc->s.pen = static_cast<PenObject*>(obj);
      break;
    case OBJ_BRUSH:
      previous = hdc->s.brush;
      hdc->s.brush = static_cast<BrushObject*>(obj);
      break;
    case OBJ_FONT:
      previous = hdc->s.font;
      hdc->s.font = static_cast<FontObject*>(obj);
      break;
    case OBJ_BITMAP: {
      if (!hdc->memory) return nullptr;
      auto* bmp = static_cast<BitmapObject*>(obj);
      previous = hdc->s.bitmap;
      hdc->s.bitmap = bmp;
      hdc->image = &bmp->image;
      hdc->ClipChanged();
      break;
    }
    case OBJ_REGION:
      return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(SelectClipRgn(hdc, static_cast<HRGN>(obj))));
    default:
      return nullptr;
  }
  Retain(obj);
  Release(previous);
  return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  if (!IsValidDc(hdc)) return nullptr;
  switch (type) {
    case OBJ_PEN: return hdc->s.pen;
    case OBJ_BRUSH: return hdc->s.brush;
    case OBJ_FONT: return hdc->s.font;
    case OBJ_BITMAP: return hdc->s.bitmap;
    default: return nullptr;
  }
}

BOOL DeleteObject(HGDIOBJ obj) {
  if (!obj) return FALSE;
  if (reinterpret_cast<std::uintptr_t>(obj) <= 31) return TRUE;
  if (!IsLive(obj)) return FALSE;
  if (IsStock(obj)) return TRUE;
  if (obj->selectCount.load() > 0) {
    obj->deletePending = true;
    if (obj->selectCount.load() > 0) return TRUE;
  }
  FreeObject(obj);
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ obj) {
  if (!IsLive(obj)) return 0;
  return static_cast<DWORD>(obj->gdiType);
}

int GdiObjectCountForTesting(DWORD type) {
  std::lock_guard<std::mutex> guard(LiveLock());
  int count = 0;
  for (HGDIOBJ obj : Live()) {
    if (type != 0 && static_cast<DWORD>(obj->gdiType) != type) continue;
    if (!IsStock(obj)) ++count;
  }
  return count;
}

int GetObjectW(HGDIOBJ obj, int size, void* out) {
  if (!IsLive(obj)) return 0;
  if (auto* bmp = AsBitmap(obj)) {
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm;
    bm.bmWidth = bmp->image.width();
    bm.bmHeight = bmp->image.height();
    bm.bmBitsPixel = static_cast<WORD>(bmp->bitsPixel);
    bm.bmWidthBytes = bmp->mono ? ((bm.bmWidth + 15) / 16) * 2 : bm.bmWidth * 4;
    bm.bmPlanes = 1;
    std::memcpy(out, &bm, sizeof bm);
    return sizeof(BITMAP);
  }
  if (auto* font = AsFont(obj)) {
    if (!out) return sizeof(LOGFONTW);
    if (size < static_cast<int>(sizeof(LOGFONTW))) return 0;
    std::memcpy(out, &font->lf, sizeof(LOGFONTW));
    return sizeof(LOGFONTW);
  }
  if (auto* pen = AsPen(obj)) {
    if (!out) return sizeof(LOGPEN);
    if (size < static_cast<int>(sizeof(LOGPEN))) return 0;
    LOGPEN lp;
    lp.lopnStyle = static_cast<UINT>(pen->style);
    lp.lopnWidth.x = pen->width;
    lp.lopnColor = pen->color;
    std::memcpy(out, &lp, sizeof lp);
    return sizeof(LOGPEN);
  }
  if (auto* brush = AsBrush(obj)) {
    if (!out) return sizeof(LOGBRUSH);
    if (size < static_cast<int>(sizeof(LOGBRUSH))) return 0;
    LOGBRUSH lb;
    lb.lbStyle = brush->style;
    lb.lbColor = brush->color;
    lb.lbHatch = static_cast<std::uintptr_t>(brush->hatch);
    std::memcpy(out, &lb, sizeof lb);
    return sizeof(LOGBRUSH);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// DC attributes.

#define DC_SETTER(Name, field, Type, fail)        \
  Type Name(HDC hdc, Type value) {                \
    if (!IsValidDc(hdc)) return fail;             \
    Type old = static_cast<Type>(hdc->s.field);   \
    hdc->s.field = value;                         \
    return old;                                   \
  }
DC_SETTER(SetTextColor, textColor, COLORREF, CLR_INVALID)
DC_SETTER(SetBkColor, bkColor, COLORREF, CLR_INVALID)
DC_SETTER(SetBkMode, bkMode, int, 0)
DC_SETTER(SetROP2, rop2, int, 0)
DC_SETTER(SetStretchBltMode, stretchMode, int, 0)
DC_SETTER(SetPolyFillMode, polyFillMode, int, 0)
DC_SETTER(SetTextAlign, textAlign, UINT, 0xFFFFFFFF)
DC_SETTER(SetDCBrushColor, dcBrushColor, COLORREF, CLR_INVALID)
DC_SETTER(SetDCPenColor, dcPenColor, COLORREF, CLR_INVALID)
#undef DC_SETTER

COLORREF GetTextColor(HDC hdc) { return IsValidDc(hdc) ? hdc->s.textColor : CLR_INVALID; }
COLORREF GetBkColor(HDC hdc) { return IsValidDc(hdc) ? hdc->s.bkColor : CLR_INVALID; }
int GetBkMode(HDC hdc) { return IsValidDc(hdc) ? hdc->s.bkMode : 0; }
int GetROP2(HDC hdc) { return IsValidDc(hdc) ? hdc->s.rop2 : 0; }
UINT GetTextAlign(HDC hdc) { return IsValidDc(hdc) ? hdc->s.textAlign : 0; }

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
  if (!IsValidDc(hdc)) return FALSE;
  if (old) *old = POINT{hdc->s.viewportOrg.x(), hdc->s.viewportOrg.y()};
  hdc->s.viewportOrg = QPoint(x, y);
  return TRUE;
}
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old) {
  if (!IsValidDc(hdc)) return FALSE;
  return SetViewportOrgEx(hdc, hdc->s.viewportOrg.x() + dx, hdc->s.viewportOrg.y() + dy, old);
}
BOOL GetViewportOrgEx(HDC hdc, POINT* org) {
  if (!IsValidDc(hdc) || !org) return FALSE;
  *org = POINT{hdc->s.viewportOrg.x(), hdc->s.viewportOrg.y()};
  return TRUE;
}
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* old) {
  if (!IsValidDc(hdc)) return FALSE;
  if (old) *old = POINT{hdc->s.brushOrg.x(), hdc->s.brushOrg.y()};
  hdc->s.brushOrg = QPoint(x, y);
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}

QImage* GetDCImage(HDC hdc, POINT* originInImage) {
  if (!IsValidDc(hdc)) return nullptr;
  if (originInImage) *originInImage = POINT{hdc->Offset().x(), hdc->Offset().y()};
  return hdc->image;
}

// ---------------------------------------------------------------------------
// Object creation.

HPEN CreatePen(int style, int width, COLORREF color) {
  auto* p = new PenObject;
  p->gdiType = OBJ_PEN;
  p->style = style & PS_STYLE_MASK;
  p->width = std::max(width, 1);
  p->color = color;
  if (p->style != PS_SOLID && p->style != PS_NULL && p->style != PS_INSIDEFRAME && p->width > 1)
    p->style = PS_SOLID;  // styled pens are one pixel wide only
  return Register(p);
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD, const DWORD*) {
  auto* p = new PenObject;
  p->gdiType = OBJ_PEN;
  p->style = static_cast<int>(style & PS_STYLE_MASK);
  p->width = (style & PS_GEOMETRIC) ? std::max<int>(static_cast<int>(width), 1) : 1;
  p->color = brush ? brush->lbColor : 0;
  if (brush && brush->lbStyle == BS_NULL) p->style = PS_NULL;
  return Register(p);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new BrushObject;
  b->gdiType = OBJ_BRUSH;
  b->color = color;
  return Register(b);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return nullptr;
  auto* b = new BrushObject;
  b->gdiType = OBJ_BRUSH;
  b->style = lb->lbStyle;
  b->color = lb->lbColor;
  b->hatch = static_cast<int>(lb->lbHatch);
  if (b->style == BS_PATTERN) {
    BitmapObject* bmp = AsBitmap(reinterpret_cast<HGDIOBJ>(lb->lbHatch));
    if (!bmp) {
      delete b;
      return nullptr;
    }
    b->pattern = bmp->image.convertToFormat(QImage::Format_RGB32);
  }
  return Register(b);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  BitmapObject* bmp = AsBitmap(bitmap);
  if (!bmp || !IsLive(bitmap)) return nullptr;
  auto* b = new BrushObject;
  b->gdiType = OBJ_BRUSH;
  b->style = BS_PATTERN;
  b->pattern = bmp->image.convertToFormat(QImage::Format_RGB32);
  b->monoPattern = bmp->mono;
  return Register(b);
}

HBRUSH CreateHatchBrush(int style, COLORREF color) {
  auto* b = new BrushObject;
  b->gdiType = OBJ_BRUSH;
  b->style = BS_HATCHED;
  b->hatch = style;
  b->color = color;
  return Register(b);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return nullptr;
  // As on the platform: a memory DC still holding its 1x1 default bitmap
  // gives a monochrome bitmap.
  bool mono = IsValidDc(hdc) && hdc->memory && hdc->s.bitmap && hdc->s.bitmap->mono;
  return Register(NewBitmap(width, height, mono));
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits) {
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return nullptr;
  bool mono = bitsPerPixel == 1;
  BitmapObject* b = NewBitmap(width, height, mono);
  if (bits) {
    auto* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
      auto* line = reinterpret_cast<uint32_t*>(b->image.scanLine(y));
      if (mono) {
        int stride = ((width + 15) / 16) * 2;
        const uint8_t* row = src + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x)
          line[x] = (row[x / 8] & (0x80 >> (x % 8))) ? 0xFFFFFFFFu : 0xFF000000u;
      } else {
        const uint8_t* row = src + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x)
          line[x] = 0xFF000000u | (row[x * 4 + 2] << 16) | (row[x * 4 + 1] << 8) | row[x * 4];
      }
    }
  }
  return Register(b);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD) {
  if (!info || info->bmiHeader.biBitCount != 32) return nullptr;
  int w = info->bmiHeader.biWidth;
  int h = std::abs(info->bmiHeader.biHeight);
  if (w <= 0 || h <= 0 || w > 32767 || h > 32767) return nullptr;
  BitmapObject* b = NewBitmap(w, h, false, QImage::Format_ARGB32_Premultiplied);
  b->image.fill(0);
  if (bits) *bits = b->image.bits();
  return Register(b);
}

HBITMAP CreateBitmapFromImage(const QImage& image) {
  if (image.isNull()) return nullptr;
  auto* b = new BitmapObject;
  b->gdiType = OBJ_BITMAP;
  b->image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                     : image.convertToFormat(QImage::Format_RGB32);
  return Register(b);
}

QImage* GetBitmapImage(HBITMAP bitmap) {
  BitmapObject* b = AsBitmap(bitmap);
  return b && IsLive(bitmap) ? &b->image : nullptr;
}

namespace {
std::mutex g_resourceFolderLock;
std::string g_resourceFolder;  // empty: below the program folder
}  // namespace

std::string ResourceFolder() {
  {
    std::lock_guard<std::mutex> guard(g_resourceFolderLock);
    if (!g_resourceFolder.empty()) return g_resourceFolder;
  }
  std::string program = ProgramFolder();
  return program.empty() ? std::string() : program + "res/";
}

void SetResourceFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::lock_guard<std::mutex> guard(g_resourceFolderLock);
  g_resourceFolder = std::move(folder);
}

namespace {
// True when the file holds every pixel byte its header announces (an
// uncompressed bitmap cut short would otherwise be read with a black tail).
bool BitmapFileComplete(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes) || bytes.size() < 34 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  auto u16 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
  };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  const uint32_t compression = u32(30);
  if (compression != 0 && compression != 3) return true;  // compressed: the decoder checks its runs
  const uint64_t width = u32(18);
  const int32_t height = static_cast<int32_t>(u32(22));
  const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  const uint64_t stride = (width * u16(28) + 31) / 32 * 4;
  return u32(10) + stride * rows <= bytes.size();
}
}  // namespace

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR name) {
  const auto id = reinterpret_cast<std::uintptr_t>(name);
  if (id == 0 || id > 0xFFFF) {
    OutputDebugStringA("LoadBitmapW: only resource ids are supported\n");
    return nullptr;
  }
  const std::string path = ResourceFolder() + "bitmap/" + std::to_string(id) + ".bmp";
  QImageReader reader(QString::fromStdString(path));
  reader.setDecideFormatFromContent(true);
  const QSize declared = reader.size();
  QImage image;
  if (reader.format() != "bmp" || !BitmapFileComplete(path) || !reader.read(&image) ||
      image.size() != declared) {
    OutputDebugStringA(("LoadBitmapW: cannot read bitmap " + path + "\n").c_str());
    return nullptr;
  }
  HBITMAP bitmap = CreateBitmapFromImage(image.convertToFormat(QImage::Format_RGB32));
  if (auto* b = AsBitmap(bitmap)) b->bitsPixel = 24;
  return bitmap;
}

// ---------------------------------------------------------------------------
// Regions.

namespace {
RegionObject* NewRegion(const QRegion& r) {
  auto* o = new RegionObject;
  o->gdiType = OBJ_REGION;
  o->rgn = r;
  return Register(o);
}
int RegionKind(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
QRect ToQRect(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }
}  // namespace

HRGN CreateRectRgn(int l, int t, int r, int b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  return NewRegion(QRegion(ToQRect(l, t, r, b)));
}
HRGN CreateRectRgnIndirect(const RECT* rc) {
  return rc ? CreateRectRgn(rc->left, rc->top, rc->right, rc->bottom) : nullptr;
}
HRGN CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
  QPainterPath path;
  path.addRoundedRect(QRectF(l, t, r - l - 1, b - t - 1), w / 2.0, h / 2.0);
  return NewRegion(QRegion(path.toFillPolygon().toPolygon()));
}
HRGN CreateEllipticRgn(int l, int t, int r, int b) {
  return NewRegion(QRegion(ToQRect(l, t, r, b), QRegion::Ellipse));
}
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode) {
  RegionObject* d = AsRegion(dst);
  RegionObject* a = AsRegion(src1);
  RegionObject* b = AsRegion(src2);
  if (!d || !a) return ERROR;
  if (mode == RGN_COPY) {
    d->rgn = a->rgn;
    return RegionKind(d->rgn);
  }
  if (!b) return ERROR;
  switch (mode) {
    case RGN_AND: d->rgn = a->rgn & b->rgn; break;
    case RGN_OR: d->rgn = a->rgn | b->rgn; break;
    case RGN_XOR: d->rgn = a->rgn ^ b->rgn; break;
    case RGN_DIFF: d->rgn = a->rgn - b->rgn; break;
    default: return ERROR;
  }
  return RegionKind(d->rgn);
}
BOOL SetRectRgn(HRGN rgn, int l, int t, int r, int b) {
  RegionObject* o = AsRegion(rgn);
  if (!o) return FALSE;
  o->rgn = QRegion(ToQRect(l, t, r, b));
  return TRUE;
}
int OffsetRgn(HRGN rgn, int dx, int dy) {
  RegionObject* o = AsRegion(rgn);
  if (!o) return ERROR;
  o->rgn.translate(dx, dy);
  return RegionKind(o->rgn);
}
int GetRgnBox(HRGN rgn, RECT* rect) {
  RegionObject* o = AsRegion(rgn);
  if (!o || !rect) return ERROR;
  QRect r = o->rgn.boundingRect();
  *rect = r.isEmpty() ? RECT{} : RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
  return RegionKind(o->rgn);
}
BOOL PtInRegion(HRGN rgn, int x, int y) {
  RegionObject* o = AsRegion(rgn);
  return o && o->rgn.contains(QPoint(x, y));
}
BOOL RectInRegion(HRGN rgn, const RECT* rc) {
  RegionObject* o = AsRegion(rgn);
  return o && rc && o->rgn.intersects(ToQRect(rc->left, rc->top, rc->right, rc->bottom));
}
BOOL EqualRgn(HRGN a, HRGN b) {
  RegionObject* x = AsRegion(a);
  RegionObject* y = AsRegion(b);
  return x && y && x->rgn == y->rgn;
}

int SelectClipRgn(HDC hdc, HRGN rgn) { return ExtSelectClipRgn(hdc, rgn, RGN_COPY); }

int ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode) {
  if (!IsValidDc(hdc)) return ERROR;
  RegionObject* o = AsRegion(rgn);
  hdc->ClipChanged();
  if (!o) {
    if (mode != RGN_COPY) return ERROR;
    hdc->s.hasClip = false;
    hdc->s.clip = QRegion();
    return RegionKind(hdc->Clip());
  }
  // Regions are in device units: the viewport origin does not move them.
  QRegion base = hdc->s.hasClip ? hdc->s.clip : QRegion(hdc->ImageRect().translated(-hdc->deviceOrigin));
  switch (mode) {
    case RGN_COPY: hdc->s.clip = o->rgn; break;
    case RGN_AND: hdc->s.clip = base & o->rgn; break;
    case RGN_OR: hdc->s.clip = base | o->rgn; break;
    case RGN_XOR: hdc->s.clip = base ^ o->rgn; break;
    case RGN_DIFF: hdc->s.clip = base - o->rgn; break;
    default: return ERROR;
  }
  hdc->s.hasClip = true;
  return RegionKind(hdc->Clip());
}

int IntersectClipRect(HDC hdc, int l, int t, int r, int b) {
  if (!IsValidDc(hdc)) return ERROR;
  QRect rc = ToQRect(l, t, r, b).translated(hdc->s.viewportOrg);
  QRegion base = hdc->s.hasClip ? hdc->s.clip : QRegion(hdc->ImageRect().translated(-hdc->deviceOrigin));
  hdc->s.clip = base & QRegion(rc);
  hdc->s.hasClip = true;
  hdc->ClipChanged();
  return RegionKind(hdc->Clip());
}

int ExcludeClipRect(HDC hdc, int l, int t, int r, int b) {
  if (!IsValidDc(hdc)) return ERROR;
  QRect rc = ToQRect(l, t, r, b).translated(hdc->s.viewportOrg);
  QRegion base = hdc->s.hasClip ? hdc->s.clip : QRegion(hdc->ImageRect().translated(-hdc->deviceOrigin));
  hdc->s.clip = base - QRegion(rc);
  hdc->s.hasClip = true;
  hdc->ClipChanged();
  return RegionKind(hdc->Clip());
}

int GetClipBox(HDC hdc, RECT* rect) {
  if (!IsValidDc(hdc) || !rect) return ERROR;
  QRect r = hdc->Clip().boundingRect().translated(-hdc->Offset());
  *rect = r.isEmpty() ? RECT{} : RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
  return RegionKind(hdc->Clip());
}

int GetClipRgn(HDC hdc, HRGN rgn) {
  RegionObject* o = AsRegion(rgn);
  if (!IsValidDc(hdc) || !o) return -1;
  if (!hdc->s.hasClip) return 0;
  o->rgn = hdc->s.clip;
  return 1;
}

BOOL PtVisible(HDC hdc, int x, int y) {
  return IsValidDc(hdc) && hdc->Clip().contains(hdc->ToImage(x, y));
}

// ---------------------------------------------------------------------------
// Lines and shapes.

BOOL MoveToEx(HDC hdc, int x, int y, POINT* old) {
  if (!IsValidDc(hdc)) return FALSE;
  if (old) *old = hdc->s.curPos;
  hdc->s.curPos = POINT{x, y};
  return TRUE;
}

BOOL GetCurrentPositionEx(HDC hdc, POINT* pt) {
  if (!IsValidDc(hdc) || !pt) return FALSE;
  *pt = hdc->s.curPos;
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  if (!CheckDc(hdc, "LineTo")) return FALSE;
  POINT pts[2] = {hdc->s.curPos, POINT{x, y}};
  DrawPolyline(hdc, pts, 2, false);
  hdc->s.curPos = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* pts, int count) {
  if (!CheckDc(hdc, "Polyline") || !pts || count < 2) return FALSE;
  DrawPolyline(hdc, pts, count, false);
  return TRUE;
}

BOOL PolylineTo(HDC hdc, const POINT* pts, DWORD count) {
  if (!CheckDc(hdc, "PolylineTo") || !pts || count == 0) return FALSE;
  std::vector<POINT> all;
  all.reserve(count + 1);
  all.push_back(hdc->s.curPos);
  all.insert(all.end(), pts, pts + count);
  DrawPolyline(hdc, all.data(), static_cast<int>(all.size()), false);
  hdc->s.curPos = pts[count - 1];
  return TRUE;
}

BOOL PolyPolyline(HDC hdc, const POINT* pts, const DWORD* counts, DWORD polys) {
  if (!CheckDc(hdc, "PolyPolyline") || !pts || !counts) return FALSE;
  for (DWORD i = 0; i < polys; ++i) {
    DrawPolyline(hdc, pts, static_cast<int>(counts[i]), false);
    pts += counts[i];
  }
  return TRUE;
}

BOOL Rectangle(HDC hdc, int l, int t, int r, int b) {
  if (!CheckDc(hdc, "Rectangle")) return FALSE;
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  PenObject* pen = hdc->s.pen;
  int rop = hdc->s.rop2;
  if (pen->style == PS_NULL) {
    // Without a pen the filled area is one pixel smaller each way.
    FillWithBrush(hdc, QRect(hdc->ToImage(l, t), hdc->ToImage(r - 2, b - 2)), hdc->s.brush, rop);
    NotifyDcDrawn(hdc);
    return TRUE;
  }
  if (r - l < 1 || b - t < 1) return TRUE;
  if (pen->Cosmetic()) {
    if (r - l > 2 && b - t > 2)
      FillWithBrush(hdc, QRect(hdc->ToImage(l + 1, t + 1), hdc->ToImage(r - 2, b - 2)), hdc->s.brush, rop);
    POINT pts[5] = {{l, t}, {r - 1, t}, {r - 1, b - 1}, {l, b - 1}, {l, t}};
    DrawPolyline(hdc, pts, 5, false);
    return TRUE;
  }
  int w = pen->width;
  QRectF frame(l, t, r - l - 1, b - t - 1);
  if (pen->style == PS_INSIDEFRAME) frame.adjust(w / 2.0 - 0.5, w / 2.0 - 0.5, -(w / 2.0 - 0.5), -(w / 2.0 - 0.5));
  QPainter p(hdc->image);
  Prepare(p, hdc);
  p.setBrush(QBrushOf(hdc, hdc->s.brush));
  QPen qp = QPenOf(hdc);
  qp.setJoinStyle(Qt::MiterJoin);
  p.setPen(qp);
  p.drawRect(frame);
  NotifyDcDrawn(hdc);
  return TRUE;
}

namespace {
template <class Fn>
BOOL PaintShape(HDC hdc, const char* where, Fn draw) {
  if (!CheckDc(hdc, where)) return FALSE;
  QPainter p(hdc->image);
  Prepare(p, hdc);
  p.setBrushOrigin(hdc->deviceOrigin + hdc->s.brushOrg - hdc->Offset());
  p.setBrush(QBrushOf(hdc, hdc->s.brush));
  p.setPen(QPenOf(hdc));
  draw(p);
  NotifyDcDrawn(hdc);
  return TRUE;
}
QRectF ShapeRect(HDC hdc, int l, int t, int r, int b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  double shrink = NullPen(hdc) ? 0.0 : 1.0;
  PenObject* pen = hdc->s.pen;
  QRectF rc(l, t, r - l - shrink, b - t - shrink);
  if (pen->style == PS_INSIDEFRAME && pen->width > 1) {
    double h = pen->width / 2.0 - 0.5;
    rc.adjust(h, h, -h, -h);
  }
  return rc;
}
}  // namespace

BOOL RoundRect(HDC hdc, int l, int t, int r, int b, int w, int h) {
  return PaintShape(hdc, "RoundRect", [&](QPainter& p) {
    p.drawRoundedRect(ShapeRect(hdc, l, t, r, b), w / 2.0, h / 2.0);
  });
}

BOOL Ellipse(HDC hdc, int l, int t, int r, int b) {
  return PaintShape(hdc, "Ellipse", [&](QPainter& p) { p.drawEllipse(ShapeRect(hdc, l, t, r, b)); });
}

BOOL Polygon(HDC hdc, const POINT* pts, int count) {
  if (!pts || count < 2) return FALSE;
  if (!CheckDc(hdc, "Polygon")) return FALSE;
  QPolygon poly;
  for (int i = 0; i < count; ++i) poly << QPoint(pts[i].x, pts[i].y);
  BrushObject* brush = hdc->s.brush;
  if (brush && brush->style != BS_NULL) {
    QPainter p(hdc->image);
    Prepare(p, hdc);
    p.setPen(Qt::NoPen);
    p.setBrush(QBrushOf(hdc, brush));
    p.drawPolygon(poly, hdc->s.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  }
  DrawPolyline(hdc, pts, count, true);
  NotifyDcDrawn(hdc);
  return TRUE;
}

namespace {
// The start angle and the counter-clockwise span (Qt's 1/16 degrees) from
// the ellipse's centre towards the radial points (x1, y1) and (x2, y2); a
// zero span is a full turn, as the platform draws it.
struct ArcAngles {
  int start16, span16;
};
ArcAngles AnglesOf(const QRectF& rc, int x1, int y1, int x2, int y2) {
  QPointF c = rc.center();
  double a1 = std::atan2(-(y1 - c.y()), x1 - c.x()) * 180 / M_PI;
  double a2 = std::atan2(-(y2 - c.y()), x2 - c.x()) * 180 / M_PI;
  double span = a2 - a1;
  if (span <= 0) span += 360;
  return ArcAngles{static_cast<int>(a1 * 16), static_cast<int>(span * 16)};
}
}  // namespace

BOOL Pie(HDC hdc, int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
  return PaintShape(hdc, "Pie", [&](QPainter& p) {
    QRectF rc = ShapeRect(hdc, l, t, r, b);
    ArcAngles a = AnglesOf(rc, x1, y1, x2, y2);
    p.drawPie(rc, a.start16, a.span16);
  });
}

BOOL Arc(HDC hdc, int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
  return PaintShape(hdc, "Arc", [&](QPainter& p) {
    QRectF rc = ShapeRect(hdc, l, t, r, b);
    ArcAngles a = AnglesOf(rc, x1, y1, x2, y2);
    p.drawArc(rc, a.start16, a.span16);
  });
}

void FillImageRect(HDC hdc, const QRect& imageRect, BrushObject* brush) {
  FillWithBrush(hdc, imageRect, brush, R2_COPYPEN);
}

int FillRect(HDC hdc, const RECT* rc, HBRUSH brush) {
  if (!rc || !CheckDc(hdc, "FillRect")) return 0;
  BrushObject* b = AsBrush(brush);
  if (!b) return 0;
  if (rc->right <= rc->left || rc->bottom <= rc->top) return 1;
  FillWithBrush(hdc, QRect(hdc->ToImage(rc->left, rc->top), hdc->ToImage(rc->right - 1, rc->bottom - 1)), b,
                R2_COPYPEN);
  NotifyDcDrawn(hdc);
  return 1;
}

int FrameRect(HDC hdc, const RECT* rc, HBRUSH brush) {
  if (!rc || !CheckDc(hdc, "FrameRect")) return 0;
  BrushObject* b = AsBrush(brush);
  if (!b || rc->right <= rc->left || rc->bottom <= rc->top) return 0;
  RECT sides[4] = {{rc->left, rc->top, rc->right, rc->top + 1},
                   {rc->left, rc->bottom - 1, rc->right, rc->bottom},
                   {rc->left, rc->top, rc->left + 1, rc->bottom},
                   {rc->right - 1, rc->top, rc->right, rc->bottom}};
  for (const RECT& s : sides) FillRect(hdc, &s, brush);
  return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rc) {
  if (!rc || !CheckDc(hdc, "InvertRect")) return FALSE;
  FillRectPixels(hdc, QRect(hdc->ToImage(rc->left, rc->top), hdc->ToImage(rc->right - 1, rc->bottom - 1)), 0,
                 R2_NOT);
  NotifyDcDrawn(hdc);
  return TRUE;
}

BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
  RegionObject* o = AsRegion(rgn);
  BrushObject* b = AsBrush(brush);
  if (!o || !b || !CheckDc(hdc, "FillRgn")) return FALSE;
  for (const QRect& r : o->rgn) FillWithBrush(hdc, r.translated(hdc->Offset()), b, R2_COPYPEN);
  NotifyDcDrawn(hdc);
  return TRUE;
}

BOOL FrameRgn(HDC hdc, HRGN rgn, HBRUSH brush, int w, int h) {
  RegionObject* o = AsRegion(rgn);
  BrushObject* b = AsBrush(brush);
  if (!o || !b || !CheckDc(hdc, "FrameRgn")) return FALSE;
  QRegion inner = o->rgn & o->rgn.translated(w, 0) & o->rgn.translated(-w, 0) & o->rgn.translated(0, h) &
                  o->rgn.translated(0, -h);
  for (const QRect& r : o->rgn - inner) FillWithBrush(hdc, r.translated(hdc->Offset()), b, R2_COPYPEN);
  NotifyDcDrawn(hdc);
  return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  if (!CheckDc(hdc, "SetPixel")) return CLR_INVALID;
  QPoint p = hdc->ToImage(x, y);
  if (!hdc->Clip().contains(p)) return CLR_INVALID;
  auto* line = reinterpret_cast<uint32_t*>(hdc->image->scanLine(p.y()));
  line[p.x()] = DcIsMono(hdc) ? MonoMap(ToPixel(color)) : ToPixel(color);
  NotifyDcDrawn(hdc);
  return color;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  if (!IsValidDc(hdc) || !hdc->image) return CLR_INVALID;
  QPoint p = hdc->ToImage(x, y);
  if (!hdc->ImageRect().contains(p)) return CLR_INVALID;
  return FromPixel(reinterpret_cast<const uint32_t*>(hdc->image->constScanLine(p.y()))[p.x()]);
}

// ---------------------------------------------------------------------------
// Blits.

namespace {

uint32_t Rop3(DWORD rop, uint32_t d, uint32_t s, uint32_t pat) {
  uint32_t r;
  switch (rop) {
    case SRCCOPY: r = s; break;
    case SRCPAINT: r = d | s; break;
    case SRCAND: r = d & s; break;
    case SRCINVERT: r = d ^ s; break;
    case SRCERASE: r = s & ~d; break;
    case NOTSRCCOPY: r = ~s; break;
    case NOTSRCERASE: r = ~(d | s); break;
    case MERGEPAINT: r = ~s | d; break;
    case PATCOPY: r = pat; break;
    case PATINVERT: r = d ^ pat; break;
    case DSTINVERT: r = ~d; break;
    case BLACKNESS: r = 0; break;
    case WHITENESS: r = 0xFFFFFF; break;
    default: r = s; break;
  }
  return r & 0xFFFFFFu;
}

bool UsesSource(DWORD rop) {
  return rop != PATCOPY && rop != PATINVERT && rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS;
}

// Source pixels converted to the destination's kind: a monochrome source
// takes the destination's text colour for black and background colour for
// white; a colour source into a monochrome destination turns the source
// DC's background colour white and everything else black.
QImage ConvertSource(HDC dst, HDC src, const QImage& part) {
  bool srcMono = DcIsMono(src);
  bool dstMono = DcIsMono(dst);
  if (srcMono == dstMono) return part;
  QImage out = part.convertToFormat(QImage::Format_RGB32);
  uint32_t fg = ToPixel(dst->s.textColor), bg = ToPixel(dst->s.bkColor);
  uint32_t key = ToPixel(src->s.bkColor) & 0xFFFFFFu;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<uint32_t*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if (srcMono)
        line[x] = (line[x] & 0xFFFFFFu) == 0xFFFFFFu ? bg : fg;
      else
        line[x] = (line[x] & 0xFFFFFFu) == key ? 0xFFFFFFFFu : 0xFF000000u;
    }
  }
  return out;
}

// The source rectangle's pixels (picture coordinates of src), with parts
// outside the source picture left black.
QImage SourcePart(HDC src, int sx, int sy, int sw, int sh) {
  QPoint o = src->ToImage(sx, sy);
  return src->image->copy(QRect(o.x(), o.y(), sw, sh));
}

// The source rectangle without copying: a read-only picture over the
// source's own pixels, when the rectangle lies inside the source picture and
// the blit cannot overwrite pixels it still has to read (a different
// picture, or no overlap with the target). Otherwise the copying SourcePart.
QImage SourceView(HDC src, int sx, int sy, int sw, int sh, HDC dst, const QRect& target) {
  QPoint o = src->ToImage(sx, sy);
  QRect r(o.x(), o.y(), sw, sh);
  const QImage& img = *src->image;
  bool inside = img.rect().contains(r);
  bool direct = img.format() == QImage::Format_RGB32 || img.format() == QImage::Format_ARGB32_Premultiplied;
  bool overlap = src->image == dst->image && r.intersects(target);
  if (!inside || !direct || overlap) return SourcePart(src, sx, sy, sw, sh);
  const uchar* bits = img.constBits() + static_cast<qsizetype>(r.top()) * img.bytesPerLine() + r.left() * 4;
  return QImage(bits, sw, sh, img.bytesPerLine(), img.format());
}

void BlitImage(HDC dst, const QRect& target, const QImage& source, DWORD rop) {
  bool dstMono = DcIsMono(dst);
  bool keepAlpha = dst->image->format() == QImage::Format_ARGB32_Premultiplied && rop == SRCCOPY;
  QImage src = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32_Premultiplied
                   ? source
                   : source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  uint32_t pat = 0;
  BrushObject* brush = dst->s.brush;
  if (brush && brush->style == BS_SOLID) pat = ToPixel(brush->dcBrush ? dst->s.dcBrushColor : brush->color);
  bool useSource = UsesSource(rop);
  if (rop == SRCCOPY && !dstMono && src.format() == QImage::Format_RGB32 &&
      dst->image->format() == QImage::Format_RGB32) {
    for (const QRect& c : dst->Clip()) {
      QRect a = c.intersected(target);
      if (a.isEmpty()) continue;
      for (int y = a.top(); y <= a.bottom(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(dst->image->scanLine(y));
        auto* srow = reinterpret_cast<const uint32_t*>(src.constScanLine(y - target.top()));
        std::memcpy(line + a.left(), srow + (a.left() - target.left()), sizeof(uint32_t) * a.width());
      }
    }
    return;
  }
  for (const QRect& c : dst->Clip()) {
    QRect a = c.intersected(target);
    if (a.isEmpty()) continue;
    for (int y = a.top(); y <= a.bottom(); ++y) {
      auto* line = reinterpret_cast<uint32_t*>(dst->image->scanLine(y));
      const uint32_t* srow = useSource ? reinterpret_cast<const uint32_t*>(src.constScanLine(y - target.top())) : nullptr;
      for (int x = a.left(); x <= a.right(); ++x) {
        uint32_t s = srow ? srow[x - target.left()] : 0;
        if (keepAlpha) {
          line[x] = s;
          continue;
        }
        uint32_t v = 0xFF000000u | Rop3(rop, line[x], s, pat);
        line[x] = dstMono ? MonoMap(v) : v;
      }
    }
  }
}

QImage Scaled(const QImage& img, int w, int h, bool smooth) {
  if (img.width() == std::abs(w) && img.height() == std::abs(h) && w > 0 && h > 0) return img;
  QImage out = img.scaled(std::abs(w), std::abs(h), Qt::IgnoreAspectRatio,
                          smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
  if (w < 0 || h < 0) out = out.mirrored(w < 0, h < 0);
  return out;
}

QRect TargetRect(HDC dst, int x, int y, int w, int h) {
  if (w < 0) {
    x += w;
    w = -w;
  }
  if (h < 0) {
    y += h;
    h = -h;
  }
  return QRect(dst->ToImage(x, y), QSize(w, h));
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  if (!CheckDc(dst, "BitBlt")) return FALSE;
  if (w <= 0 || h <= 0) return TRUE;
  QImage part;
  QRect target(dst->ToImage(x, y), QSize(w, h));
  if (UsesSource(rop)) {
    if (!CheckDc(src, "BitBlt")) return FALSE;
    part = ConvertSource(dst, src, SourceView(src, sx, sy, w, h, dst, target));
  }
  BlitImage(dst, target, part, rop);
  NotifyDcDrawn(dst);
  return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  if (!CheckDc(hdc, "PatBlt")) return FALSE;
  if (rop == PATCOPY && hdc->s.brush && hdc->s.brush->style != BS_SOLID) {
    FillWithBrush(hdc, TargetRect(hdc, x, y, w, h), hdc->s.brush, R2_COPYPEN);
  } else {
    BlitImage(hdc, TargetRect(hdc, x, y, w, h), QImage(), rop);
  }
  NotifyDcDrawn(hdc);
  return TRUE;
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
  if (!CheckDc(dst, "StretchBlt")) return FALSE;
  if (w == 0 || h == 0) return TRUE;
  if (std::abs(w) > 32767 || std::abs(h) > 32767 || std::abs(sw) > 32767 || std::abs(sh) > 32767) return FALSE;
  if (!dst->Clip().intersects(TargetRect(dst, x, y, w, h))) return TRUE;  // nothing visible: no scaling
  QImage part;
  if (UsesSource(rop)) {
    if (!CheckDc(src, "StretchBlt")) return FALSE;
    if (sw == 0 || sh == 0) return FALSE;
    int ax = sw < 0 ? sx + sw : sx, ay = sh < 0 ? sy + sh : sy;
    part = SourcePart(src, ax, ay, std::abs(sw), std::abs(sh));
    bool flipX = (sw < 0) != (w < 0), flipY = (sh < 0) != (h < 0);
    part = Scaled(part, flipX ? -std::abs(w) : std::abs(w), flipY ? -std::abs(h) : std::abs(h),
                  dst->s.stretchMode == HALFTONE);
    part = ConvertSource(dst, src, part);
  }
  BlitImage(dst, TargetRect(dst, x, y, w, h), part, rop);
  NotifyDcDrawn(dst);
  return TRUE;
}

BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    UINT keyColor) {
  if (!CheckDc(dst, "TransparentBlt") || !CheckDc(src, "TransparentBlt")) return FALSE;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || w > 32767 || h > 32767) return FALSE;
  if (!dst->Clip().intersects(QRect(dst->ToImage(x, y), QSize(w, h)))) return TRUE;
  QImage part = Scaled(SourcePart(src, sx, sy, sw, sh).convertToFormat(QImage::Format_RGB32), w, h, false);
  uint32_t key = ToPixel(keyColor) & 0xFFFFFFu;
  QRect target(dst->ToImage(x, y), QSize(w, h));
  for (const QRect& c : dst->Clip()) {
    QRect a = c.intersected(target);
    for (int yy = a.top(); yy <= a.bottom() && !a.isEmpty(); ++yy) {
      auto* line = reinterpret_cast<uint32_t*>(dst->image->scanLine(yy));
      auto* srow = reinterpret_cast<const uint32_t*>(part.constScanLine(yy - target.top()));
      for (int xx = a.left(); xx <= a.right(); ++xx) {
        uint32_t s = srow[xx - target.left()];
        if ((s & 0xFFFFFFu) != key) line[xx] = s | 0xFF000000u;
      }
    }
  }
  NotifyDcDrawn(dst);
  return TRUE;
}

BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend) {
  if (!CheckDc(dst, "AlphaBlend") || !CheckDc(src, "AlphaBlend")) return FALSE;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || w > 32767 || h > 32767) return FALSE;
  if (!dst->Clip().intersects(QRect(dst->ToImage(x, y), QSize(w, h)))) return TRUE;
  QImage part = SourcePart(src, sx, sy, sw, sh);
  bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  part = part.convertToFormat(perPixel ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  part = Scaled(part, w, h, dst->s.stretchMode == HALFTONE);
  const uint32_t ca = blend.SourceConstantAlpha;
  QRect target(dst->ToImage(x, y), QSize(w, h));
  for (const QRect& c : dst->Clip()) {
    QRect a = c.intersected(target);
    for (int yy = a.top(); yy <= a.bottom() && !a.isEmpty(); ++yy) {
      auto* line = reinterpret_cast<uint32_t*>(dst->image->scanLine(yy));
      auto* srow = reinterpret_cast<const uint32_t*>(part.constScanLine(yy - target.top()));
      for (int xx = a.left(); xx <= a.right(); ++xx) {
        uint32_t s = srow[xx - target.left()];
        uint32_t d = line[xx];
        uint32_t sa = perPixel ? (s >> 24) : 255;
        // Source channels are premultiplied by sa; scale them and the
        // source alpha by the constant alpha.
        uint32_t effA = (sa * ca + 127) / 255;
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
          uint32_t sc = (s >> shift) & 0xFF;
          uint32_t dc = (d >> shift) & 0xFF;
          uint32_t v = (sc * ca + 127) / 255 + (dc * (255 - effA) + 127) / 255;
          out |= std::min<uint32_t>(v, 255) << shift;
        }
        line[xx] = out;
      }
    }
  }
  NotifyDcDrawn(dst);
  return TRUE;
}

namespace {
// Builds an RGB32 picture from a DIB; empty on an unsupported format.
QImage DibToImage(const void* bits, const BITMAPINFO* info) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int w = h.biWidth, rows = std::abs(h.biHeight);
  if (w <= 0 || rows <= 0 || w > 32767 || rows > 32767 || h.biCompression != BI_RGB) return QImage();
  int bpp = h.biBitCount;
  if (bpp != 8 && bpp != 24 && bpp != 32) return QImage();
  size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  QImage img(w, rows, QImage::Format_RGB32);
  auto* src = static_cast<const uint8_t*>(bits);
  uint32_t palette[256];
  int colors = bpp == 8 ? static_cast<int>(h.biClrUsed ? std::min<DWORD>(h.biClrUsed, 256) : 256) : 0;
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD& q = info->bmiColors[i < colors ? i : 0];
    palette[i] = 0xFF000000u | (q.rgbRed << 16) | (q.rgbGreen << 8) | q.rgbBlue;
  }
  for (int y = 0; y < rows; ++y) {
    int srcRow = h.biHeight > 0 ? rows - 1 - y : y;
    const uint8_t* row = src + stride * srcRow;
    auto* line = reinterpret_cast<uint32_t*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
      if (bpp == 8)
        line[x] = palette[row[x]];
      else if (bpp == 24)
        line[x] = 0xFF000000u | (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
      else
        line[x] = 0xFF000000u | (row[x * 4 + 2] << 16) | (row[x * 4 + 1] << 8) | row[x * 4];
    }
  }
  return img;
}
}  // namespace

int StretchDIBits(HDC hdc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT, DWORD rop) {
  if (!CheckDc(hdc, "StretchDIBits") || !bits || !info) return 0;
  if (std::abs(w) > 32767 || std::abs(h) > 32767) return 0;
  QImage img = DibToImage(bits, info);
  if (img.isNull() || sw <= 0 || sh <= 0) return 0;
  // DIB source coordinates count from the bottom row for bottom-up DIBs.
  int top = info->bmiHeader.biHeight > 0 ? img.height() - sy - sh : sy;
  QImage part = Scaled(img.copy(QRect(sx, top, sw, sh)), w, h, hdc->s.stretchMode == HALFTONE);
  BlitImage(hdc, TargetRect(hdc, x, y, w, h), part, rop);
  NotifyDcDrawn(hdc);
  return std::abs(info->bmiHeader.biHeight);
}

int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT usage) {
  StretchDIBits(hdc, x, y, static_cast<int>(w), static_cast<int>(h), sx, sy, static_cast<int>(w),
                static_cast<int>(h), bits, info, usage, SRCCOPY);
  return static_cast<int>(lines);
}
