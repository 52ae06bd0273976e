// The classic 3-D look drawn by hand: edges, focus rectangles, the push
// button frame, check box and radio glyphs; and the fixed table of system
// colours and metrics they are drawn in.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>

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

void CheckBox(HDC hdc, const RECT& rc, UINT state) {
  int side = std::min({13, rc.right - rc.left, rc.bottom - rc.top});
  int l = rc.left + (rc.right - rc.left - side) / 2;
  int t = rc.top + (rc.bottom - rc.top - side) / 2;
  RECT box{l, t, l + side, t + side};
  if (state & DFCS_FLAT) {
    Ring(hdc, box, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), BF_RECT);
    Shrink(&box, BF_RECT);
  } else {
    RECT edge = box;
    DrawEdge(hdc, &edge, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    box = edge;
  }
  bool grey = state & (DFCS_PUSHED | DFCS_INACTIVE);
  Fill(hdc, box.left, box.top, box.right, box.bottom, GetSysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW));
  if (!(state & DFCS_CHECKED)) return;
  COLORREF mark = GetSysColor((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
  // The tick: seven columns, three pixels tall, down then up.
  int x0 = l + (side - 7) / 2, y0 = t + (side - 7) / 2 + 2;
  static const int kDrop[7] = {2, 3, 4, 3, 2, 1, 0};
  for (int i = 0; i < 7; ++i)
    for (int k = 0; k < 3; ++k) Pixel(hdc, x0 + i, y0 + kDrop[i] + k, mark);
}

void Radio(HDC hdc, const RECT& rc, UINT state) {
  int side = std::min({12, rc.right - rc.left, rc.bottom - rc.top});
  int l = rc.left + (rc.right - rc.left - side) / 2;
  int t = rc.top + (rc.bottom - rc.top - side) / 2;
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
    Fill(hdc, l + c - 2, t + c - 1, l + c + 2, t + c + 1, dot);
    Fill(hdc, l + c - 1, t + c - 2, l + c + 1, t + c + 2, dot);
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

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: case SM_CXVIRTUALSCREEN: case SM_CXFULLSCREEN: return 1920;
    case SM_CYSCREEN: case SM_CYVIRTUALSCREEN: return 1080;
    case SM_CYFULLSCREEN: return 1080 - 40 - 22;
    case SM_CXMAXIMIZED: return 1920 + 16;
    case SM_CYMAXIMIZED: return 1080 - 40 + 16;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return 22;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 20;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CYSMCAPTION: return 16;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_CMONITORS: return 1;
    default: return 0;
  }
}

UINT GetDoubleClickTime() { return 500; }

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
  if (type != DFC_BUTTON) return FALSE;
  if (state & DFCS_BUTTONPUSH) {
    PushFrame(hdc, rc, state);
  } else if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE)) {
    Radio(hdc, *rc, state);
  } else {
    CheckBox(hdc, *rc, state);
  }
  NotifyDcDrawn(hdc);
  return TRUE;
}
