// Shared pieces of the indicator window tests: the program's fonts, pixel
// probes, a parent window that records the tool bar's notices, and where
// the snapshots go.
#pragma once

#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

// Rectangles in test messages as (left, top, right, bottom).
inline void PrintTo(const CRect& r, std::ostream* os) {
  *os << '(' << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ')';
}

namespace indicatorui {

// The UI face chosen as at start-up, before any window makes its font.
inline void UseProgramFonts() {
  LoadFontAliases(std::string(ORV_SOURCE_DIR) + "/res/fonts.conf");
  HDC dc = GetDC(nullptr);
  ChooseUiFontFace(dc);
  ReleaseDC(nullptr, dc);
}

inline std::string SnapshotPath(const std::string& name) {
  return std::string(ORV_BINARY_DIR) + "/snapshots/" + name;
}

// 0xRRGGBB as a pixel colour.
inline COLORREF Rgb(uint32_t c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

inline COLORREF PixelOf(const QImage& img, int x, int y) {
  QRgb c = img.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// Pixels within tolerance of c in every channel inside r.
inline int CountNear(const QImage& img, COLORREF c, int tolerance, QRect r) {
  int n = 0;
  r = r.intersected(img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      COLORREF p = PixelOf(img, x, y);
      n += std::abs(GetRValue(p) - GetRValue(c)) <= tolerance && std::abs(GetGValue(p) - GetGValue(c)) <= tolerance &&
           std::abs(GetBValue(p) - GetBValue(c)) <= tolerance;
    }
  return n;
}

// Pixels inside r that are the colour c blended over black (anti-aliased
// text drawn in c on the black bar), at least 35 % of its strength.
inline int CountTinted(const QImage& img, COLORREF c, QRect r) {
  const int channels[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
  const int top = std::max({channels[0], channels[1], channels[2]});
  int n = 0;
  r = r.intersected(img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      COLORREF p = PixelOf(img, x, y);
      const int got[3] = {GetRValue(p), GetGValue(p), GetBValue(p)};
      const int peak = std::max({got[0], got[1], got[2]});
      if (top == 0 || peak * 100 < top * 35) continue;
      bool match = true;
      for (int i = 0; i < 3; ++i) match = match && std::abs(got[i] - channels[i] * peak / top) <= 14;
      n += match;
    }
  return n;
}

struct Notice {
  WPARAM bar;
  LPARAM index;
};

// A top-level window that records WM_INDEXBAR_SELECT.
class RecordingParent : public CWnd {
 public:
  std::vector<Notice> notices;
  BOOL Make(int w, int h) {
    return CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, w, h), nullptr, 0);
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_INDEXBAR_SELECT) {
      notices.push_back({w, l});
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(0, 0, 0));
  }
};

inline HWND MenuWindow() { return FindWindowW(WC_POPUPMENU, nullptr); }

}  // namespace indicatorui
