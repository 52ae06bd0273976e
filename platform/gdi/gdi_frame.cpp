// The classic 3-D look drawn by hand: edges, focus rectangles, the push
// button frame, check box and radio glyphs, frame-control glyphs and
// gradients; and the fixed table of system colours they are drawn in.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>
#include <cmath>

namespace {

// Standard desktop colours (COLORREF words), indexed by COLOR_*.
constexpr COLORREF kSysColors[31] = {
    RGB(200, 200, 200),  // COLOR_SCROLLBAR
    RGB(0, 0, 0),        // COLOR_BACKGROUND
    RGB(153, 180, 209),  // COLOR_ACTIVECAPTION
    RGB(191, 205, 219),  // COLOR_INACTIVECAPTION
    RGB(240, 240, 240),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(100, 100, 100),  // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(0, 0, 0),        // COLOR_CAPTIONTEXT
    RGB(180, 180, 180),  // COLOR_ACTIVEBORDER
    RGB(244, 247, 252),  // COLOR_INACTIVEBORDER
    RGB(171, 171, 171),  // COLOR_APPWORKSPACE
    RGB(51, 153, 255),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(240, 240, 240),  // COLOR_BTNFACE
    RGB(160, 160, 160),  // COLOR_BTNSHADOW
    RGB(109, 109, 109),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(67, 78, 84),     // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(105, 105, 105),  // COLOR_3DDKSHADOW
    RGB(227, 227, 227),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(0, 0, 0),        // 25 (unused)
    RGB(0, 102, 204),    // COLOR_HOTLIGHT
    RGB(185, 209, 234),  // COLOR_GRADIENTACTIVECAPTION
    RGB(215, 228, 242),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(51, 153, 255),   // COLOR_MENUHILIGHT
    RGB(240, 240, 240),  // COLOR_MENUBAR
};

void Fill(HDC hdc, int l, int t, int r, int b, COLORREF c) {
  if (r <= l || b <= t) return;
  BrushObject brush;
  brush.gdiType = OBJ_BRUSH;
  brush.color = c;
  FillImageRect(hdc, QRect(hdc->ToImage(l, t), hdc->ToImage(r - 1, b - 1)), &brush);
}

void Pixel(HDC hdc, int x, int y, COLORREF c) { Fill(hdc, x, y, x + 1, y + 1, c); }

// One ring of an edge: top and left in tl, bottom and right in br.
void Ring(HDC hdc, const RECT& r, COLORREF tl, COLORREF br, UINT flags) {
  if (flags & BF_TOP) Fill(hdc, r.left, r.top, r.right - 1, r.top + 1, tl);
  if (flags & BF_LEFT) Fill(hdc, r.left, r.top, r.left + 1, r.bottom - 1, tl);
  if (flags & BF_BOTTOM) Fill(hdc, r.left, r.bottom - 1, r.right, r.bottom, br);
  if (flags & BF_RIGHT) Fill(hdc, r.right - 1, r.top, r.right, r.bottom, br);
}

void Shrink(RECT* r, UINT flags) {
  if (flags & BF_LEFT) ++r->left;
  if (flags & BF_TOP) ++r->top;
  if (flags & BF_RIGHT) --r->right;
  if (flags & BF_BOTTOM) --r->bottom;
}

// The check mark in the square of side s at (x, y): at the classic size
// (s = 9) the classic pixels, otherwise the same shape scaled.
void Tick(HDC hdc, int x, int y, int s, COLORREF mark) {
  if (s == 9) {
    static const int kDrop[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i)
      for (int k = 0; k < 3; ++k) Pixel(hdc, x + 1 + i, y + 1 + kDrop[i] + k, mark);
    return;
  }
  int w = std::max(3, s - 2), thick = std::max(1, (s + 3) / 4);
  int low = (w - 1) / 3;  // the column where the mark is lowest
  int rise = s - 2 - thick;  // height the long stroke climbs
  for (int i = 0; i < w; ++i) {
    int top = i <= low ? rise - low + i : rise - (i - low) * rise / std::max(1, w - 1 - low);
    Fill(hdc, x + 1 + i, y + 1 + top, x + 2 + i, y + 1 + top + thick, mark);
  }
}

// The largest centred square of rc.
RECT Square(const RECT& rc) {
  int side = std::max(0, std::min(rc.right - rc.left, rc.bottom - rc.top));
  int l = rc.left + (rc.right - rc.left - side) / 2;
  int t = rc.top + (rc.bottom - rc.top - side) / 2;
  return RECT{l, t, l + side, t + side};
}

void CheckBox(HDC hdc, const RECT& rc, UINT state) {
  RECT box = Square(rc);
  int l = box.left, t = box.top, side = box.right - box.left;
  if (state & DFCS_FLAT) {
    Ring(hdc, box, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), BF_RECT);
    Shrink(&box, BF_RECT);
  } else {
    RECT edge = box;
    DrawEdge(hdc, &edge, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    box = edge;
  }
  bool indeterminate = (state & DFCS_BUTTON3STATE) && (state & DFCS_CHECKED);
  bool grey = indeterminate || (state & (DFCS_PUSHED | DFCS_INACTIVE));
  Fill(hdc, box.left, box.top, box.right, box.bottom, GetSysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW));
  if (!(state & DFCS_CHECKED)) return;
  COLORREF mark = GetSysColor(indeterminate               ? COLOR_BTNSHADOW
                              : (state & DFCS_INACTIVE) ? COLOR_GRAYTEXT
                                                        : COLOR_WINDOWTEXT);
  int inner = side - 4;
  (void)l, (void)t;
  Tick(hdc, box.left, box.top, inner, mark);
}

void Radio(HDC hdc, const RECT& rc, UINT state) {
  RECT sq = Square(rc);
  int side = sq.right - sq.left, l = sq.left, t = sq.top;
  POINT origin;
  QImage* img = GetDCImage(hdc, &origin);
  if (!img) return;
  bool grey = state & (DFCS_PUSHED | DFCS_INACTIVE);
  // Concentric circles: the outer ring shadow/highlight, the inner ring
  // dark shadow/light, then the face and the dot.
  auto circle = [&](double inset, COLORREF upper, COLORREF lower, bool fill, COLORREF face) {
    double cx = l + side / 2.0, cy = t + side / 2.0, r = side / 2.0 - inset;
    for (int y = t; y < t + side; ++y) {
      for (int x = l; x < l + side; ++x) {
        double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        double d2 = dx * dx + dy * dy;
        if (d2 > r * r) continue;
        bool edge = d2 > (r - 1) * (r - 1);
        if (edge)
          Pixel(hdc, x, y, (dx + dy < 0) ? upper : lower);
        else if (fill)
          Pixel(hdc, x, y, face);
      }
    }
  };
  circle(0, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT), false, 0);
  circle(1, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT), true,
         GetSysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW));
  if (state & DFCS_CHECKED) {
    COLORREF dot = GetSysColor((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
    int c = side / 2;
    if (side <= 13) {  // the classic dot
      Fill(hdc, l + c - 2, t + c - 1, l + c + 2, t + c + 1, dot);
      Fill(hdc, l + c - 1, t + c - 2, l + c + 1, t + c + 2, dot);
    } else {
      double r = side / 6.0, cx = l + side / 2.0, cy = t + side / 2.0;
      for (int y = t; y < t + side; ++y)
        for (int x = l; x < l + side; ++x) {
          double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
          if (dx * dx + dy * dy <= r * r) Pixel(hdc, x, y, dot);
        }
    }
  }
}

// A solid triangle pointing in direction dir (0 up, 1 down, 2 left, 3
// right) centred in r, as large as the rectangle allows (base about half
// its smaller side).
void Arrow(HDC hdc, const RECT& r, int dir, COLORREF c) {
  int w = r.right - r.left, h = r.bottom - r.top;
  int n = std::max(1, (std::min(w, h) + 2) / 4);  // rows of the triangle
  bool vertical = dir < 2;
  int cx = r.left + w / 2, cy = r.top + h / 2;
  for (int i = 0; i < n; ++i) {
    int half = i;  // row i spans 2*i+1 pixels
    int k = (dir == 0 || dir == 2) ? i : n - 1 - i;
    if (vertical) {
      int y = cy - n / 2 + k;
      Fill(hdc, cx - half, y, cx + half + 1, y + 1, c);
    } else {
      int x = cx - n / 2 + k;
      Fill(hdc, x, cy - half, x + 1, cy + half + 1, c);
    }
  }
}

// A line of the given thickness from (x0, y0) to (x1, y1), by pixels.
void Stroke(HDC hdc, double x0, double y0, double x1, double y1, int thick, COLORREF c) {
  int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1;
  for (int i = 0; i <= steps; ++i) {
    double f = static_cast<double>(i) / steps;
    int x = static_cast<int>(x0 + (x1 - x0) * f), y = static_cast<int>(y0 + (y1 - y0) * f);
    Fill(hdc, x - thick / 2, y - thick / 2, x - thick / 2 + thick, y - thick / 2 + thick, c);
  }
}

void CaptionGlyph(HDC hdc, const RECT& r, UINT kind, COLORREF c) {
  int w = r.right - r.left, h = r.bottom - r.top;
  int side = std::min(w, h);
  int m = std::max(2, side / 4);  // margin around the glyph
  int thick = std::max(1, side / 8);
  RECT g{r.left + (w - side) / 2 + m, r.top + (h - side) / 2 + m, r.left + (w + side) / 2 - m,
         r.top + (h + side) / 2 - m};
  switch (kind) {
    case DFCS_CAPTIONCLOSE:
      Stroke(hdc, g.left, g.top, g.right - 1, g.bottom - 1, thick + 1, c);
      Stroke(hdc, g.right - 1, g.top, g.left, g.bottom - 1, thick + 1, c);
      break;
    case DFCS_CAPTIONMIN:
      Fill(hdc, g.left, g.bottom - thick - 1, g.right, g.bottom, c);
      break;
    case DFCS_CAPTIONMAX:
      Fill(hdc, g.left, g.top, g.right, g.top + thick + 1, c);
      Ring(hdc, g, c, c, BF_RECT);
      break;
    case DFCS_CAPTIONRESTORE: {
      int d = std::max(2, (g.right - g.left) / 3);
      RECT back{g.left + d, g.top, g.right, g.bottom - d};
      RECT front{g.left, g.top + d, g.right - d, g.bottom};
      Fill(hdc, back.left, back.top, back.right, back.top + thick, c);
      Ring(hdc, back, c, c, BF_RECT);
      Fill(hdc, front.left, front.top, front.right, front.bottom, GetSysColor(COLOR_BTNFACE));
      Fill(hdc, front.left, front.top, front.right, front.top + thick, c);
      Ring(hdc, front, c, c, BF_RECT);
      break;
    }
    default: {  // help: a question mark's dot and hook
      int cx = (g.left + g.right) / 2;
      Fill(hdc, cx - thick, g.bottom - 2 * thick, cx + thick, g.bottom, c);
      Stroke(hdc, g.left, g.top + thick, cx, g.top, thick, c);
      Stroke(hdc, cx, g.top, g.right - 1, g.top + (g.bottom - g.top) / 4, thick, c);
      Stroke(hdc, g.right - 1, g.top + (g.bottom - g.top) / 4, cx, g.bottom - 3 * thick, thick, c);
      break;
    }
  }
}

void MenuGlyph(HDC hdc, const RECT& r, UINT kind) {
  COLORREF black = RGB(0, 0, 0);
  Fill(hdc, r.left, r.top, r.right, r.bottom, RGB(255, 255, 255));
  RECT sq = Square(r);
  int side = sq.right - sq.left;
  switch (kind) {
    case DFCS_MENUCHECK:
      Tick(hdc, sq.left + 1, sq.top + 1, std::max(3, side - 2), black);
      break;
    case DFCS_MENUBULLET: {
      double rad = side / 5.0, cx = sq.left + side / 2.0, cy = sq.top + side / 2.0;
      for (int y = sq.top; y < sq.bottom; ++y)
        for (int x = sq.left; x < sq.right; ++x) {
          double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
          if (dx * dx + dy * dy <= rad * rad) Pixel(hdc, x, y, black);
        }
      break;
    }
    case DFCS_MENUARROWRIGHT:
      Arrow(hdc, sq, 2, black);
      break;
    default:
      Arrow(hdc, sq, 3, black);
      break;
  }
}

void PushFrame(HDC hdc, RECT* rc, UINT state) {
  RECT r = *rc;
  if (state & DFCS_FLAT) {
    Ring(hdc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), BF_RECT);
    Shrink(&r, BF_RECT);
    Fill(hdc, r.left, r.top, r.right, r.bottom, GetSysColor(COLOR_BTNFACE));
  } else if (state & DFCS_CHECKED) {
    DrawEdge(hdc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    // The checked face is a dither of highlight and face.
    COLORREF a = GetSysColor(COLOR_BTNHIGHLIGHT), b = GetSysColor(COLOR_BTNFACE);
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) Pixel(hdc, x, y, ((x + y) & 1) ? a : b);
  } else if (state & DFCS_PUSHED) {
    Ring(hdc, r, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DDKSHADOW), BF_RECT);
    Shrink(&r, BF_RECT);
    Ring(hdc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), BF_RECT);
    Shrink(&r, BF_RECT);
    Fill(hdc, r.left, r.top, r.right, r.bottom, GetSysColor(COLOR_BTNFACE));
  } else {
    DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
  }
  if (state & DFCS_ADJUSTRECT) *rc = r;
}

}  // namespace

DWORD GetSysColor(int index) {
  if (index < 0 || index > 30) return 0;
  return kSysColors[index];
}

BOOL DrawEdge(HDC hdc, RECT* rc, UINT edge, UINT flags) {
  if (!rc || !IsValidDc(hdc) || !hdc->image) return FALSE;
  RECT r = *rc;
  COLORREF light = GetSysColor(COLOR_3DLIGHT), hilite = GetSysColor(COLOR_BTNHIGHLIGHT);
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), dark = GetSysColor(COLOR_3DDKSHADOW);
  UINT outer = edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER);
  UINT inner = edge & (BDR_RAISEDINNER | BDR_SUNKENINNER);
  if (flags & BF_MONO) {
    Ring(hdc, r, GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_WINDOWFRAME), flags);
    Shrink(&r, flags);
  } else if (flags & BF_FLAT) {
    Ring(hdc, r, shadow, shadow, flags);
    Shrink(&r, flags);
    if (inner) {
      Ring(hdc, r, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNFACE), flags);
      Shrink(&r, flags);
    }
  } else {
    bool soft = flags & BF_SOFT;
    if (outer == BDR_RAISEDOUTER) {
      Ring(hdc, r, soft ? hilite : light, dark, flags);
      Shrink(&r, flags);
    } else if (outer == BDR_SUNKENOUTER) {
      Ring(hdc, r, shadow, hilite, flags);
      Shrink(&r, flags);
    }
    if (inner == BDR_RAISEDINNER) {
      Ring(hdc, r, soft ? light : hilite, shadow, flags);
      Shrink(&r, flags);
    } else if (inner == BDR_SUNKENINNER) {
      Ring(hdc, r, dark, light, flags);
      Shrink(&r, flags);
    }
  }
  if (flags & BF_MIDDLE) Fill(hdc, r.left, r.top, r.right, r.bottom, GetSysColor(COLOR_BTNFACE));
  if (flags & BF_ADJUST) *rc = r;
  return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rc) {
  if (!rc || !IsValidDc(hdc) || !hdc->image) return FALSE;
  // Every other pixel of the border inverted, so drawing it twice removes it.
  const QRegion& clip = hdc->Clip();
  QImage* img = hdc->image;
  auto flip = [&](int x, int y) {
    QPoint p = hdc->ToImage(x, y);
    if (!clip.contains(p)) return;
    auto* line = reinterpret_cast<uint32_t*>(img->scanLine(p.y()));
    line[p.x()] = 0xFF000000u | (~line[p.x()] & 0xFFFFFFu);
  };
  int l = rc->left, t = rc->top, r = rc->right - 1, b = rc->bottom - 1;
  if (r < l || b < t) return TRUE;
  for (int x = l; x <= r; x += 2) flip(x, t);
  for (int x = l + ((b - t) & 1); x <= r && b != t; x += 2) flip(x, b);
  for (int y = t + 2; y < b; y += 2) flip(l, y);
  for (int y = t + 2 - ((r - l) & 1); y < b && r != l; y += 2)
    if (y > t) flip(r, y);
  NotifyDcDrawn(hdc);
  return TRUE;
}

BOOL DrawFrameControl(HDC hdc, RECT* rc, UINT type, UINT state) {
  if (!rc || !IsValidDc(hdc) || !hdc->image) return FALSE;
  UINT kind = state & 0xFF;
  COLORREF glyph = GetSysColor((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
  switch (type) {
    case DFC_BUTTON:
      if (state & DFCS_BUTTONPUSH) {
        PushFrame(hdc, rc, state);
      } else if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE)) {
        Radio(hdc, *rc, state);
      } else {
        CheckBox(hdc, *rc, state);
      }
      break;
    case DFC_SCROLL: {
      RECT face = *rc;
      PushFrame(hdc, &face, state & ~DFCS_ADJUSTRECT);
      RECT g = *rc;
      if (state & DFCS_PUSHED) OffsetRect(&g, 1, 1);
      if (kind == DFCS_SCROLLSIZEGRIP) {
        int side = std::min(g.right - g.left, g.bottom - g.top);
        for (int k = 3; k < side; k += 4)
          Stroke(hdc, g.right - k, g.bottom - 1, g.right - 1, g.bottom - k, 1, GetSysColor(COLOR_BTNSHADOW));
      } else {
        int dir = kind == DFCS_SCROLLCOMBOBOX ? 1 : static_cast<int>(kind & 3);
        Arrow(hdc, g, dir, glyph);
      }
      break;
    }
    case DFC_CAPTION: {
      RECT face = *rc;
      PushFrame(hdc, &face, state & ~DFCS_ADJUSTRECT);
      RECT g = *rc;
      if (state & DFCS_PUSHED) OffsetRect(&g, 1, 1);
      CaptionGlyph(hdc, g, kind, glyph);
      break;
    }
    case DFC_MENU:
      MenuGlyph(hdc, *rc, kind);
      break;
    default:
      return FALSE;
  }
  NotifyDcDrawn(hdc);
  return TRUE;
}

BOOL GradientFill(HDC hdc, const TRIVERTEX* v, ULONG count, const void* mesh, ULONG meshCount, ULONG mode) {
  if (!IsValidDc(hdc) || !hdc->image || !v || (!mesh && meshCount)) return FALSE;
  if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V) return FALSE;
  const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
  for (ULONG i = 0; i < meshCount; ++i) {
    if (rects[i].UpperLeft >= count || rects[i].LowerRight >= count) return FALSE;
    TRIVERTEX a = v[rects[i].UpperLeft], b = v[rects[i].LowerRight];
    if (a.x > b.x) std::swap(a.x, b.x);
    if (a.y > b.y) std::swap(a.y, b.y);
    bool h = mode == GRADIENT_FILL_RECT_H;
    int from = h ? a.x : a.y, to = h ? b.x : b.y;
    int span = std::max(1, to - from - 1);
    for (int k = from; k < to; ++k) {
      auto mix = [&](COLOR16 p, COLOR16 q) {
        return static_cast<int>((p + static_cast<long long>(q - p) * (k - from) / span) >> 8);
      };
      COLORREF c = RGB(mix(a.Red, b.Red), mix(a.Green, b.Green), mix(a.Blue, b.Blue));
      if (h)
        Fill(hdc, k, a.y, k + 1, b.y, c);
      else
        Fill(hdc, a.x, k, b.x, k + 1, c);
    }
  }
  NotifyDcDrawn(hdc);
  return TRUE;
}

int DrawDisabledTextW(HDC hdc, LPCWSTR text, int length, RECT* rect, UINT format) {
  if (!rect || (format & DT_CALCRECT)) return DrawTextW(hdc, text, length, rect, format);
  COLORREF old = SetTextColor(hdc, GetSysColor(COLOR_BTNHIGHLIGHT));
  int mode = SetBkMode(hdc, TRANSPARENT);
  RECT shifted = *rect;
  OffsetRect(&shifted, 1, 1);
  DrawTextW(hdc, text, length, &shifted, format);
  SetTextColor(hdc, GetSysColor(COLOR_BTNSHADOW));
  int height = DrawTextW(hdc, text, length, rect, format);
  SetTextColor(hdc, old);
  SetBkMode(hdc, mode);
  return height;
}

BOOL DrawStateW(HDC hdc, HBRUSH, void*, LPARAM data, WPARAM length, int x, int y, int, int, UINT flags) {
  UINT kind = flags & 0x000F;
  if (!IsValidDc(hdc) || (kind != DST_TEXT && kind != DST_PREFIXTEXT) || !data) return FALSE;
  auto text = reinterpret_cast<LPCWSTR>(data);
  int n = length ? static_cast<int>(length) : -1;
  UINT format = DT_SINGLELINE | DT_NOCLIP | (kind == DST_TEXT ? DT_NOPREFIX : 0);
  RECT r{x, y, x + 1, y + 1};
  if (flags & DSS_DISABLED) {
    DrawDisabledTextW(hdc, text, n, &r, format);
  } else {
    int mode = SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, text, n, &r, format);
    SetBkMode(hdc, mode);
  }
  return TRUE;
}
