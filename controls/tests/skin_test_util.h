// Shared pieces of the skinned-control tests: a parent that records what
// its buttons tell it, fixture pictures and pixel probes.
#pragma once

#include "controls/foo_button.h"
#include "controls/tests/resource_fixture.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <string>
#include <vector>

namespace skintest {

inline COLORREF PixelOf(const QImage& img, int x, int y) {
  QRgb c = img.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// Pixels of the colour inside r (the whole picture when r is null).
inline int CountColor(const QImage& img, COLORREF c, QRect r = QRect()) {
  if (r.isNull()) r = img.rect();
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += PixelOf(img, x, y) == c;
  return n;
}

// Pixels within tolerance of the colour in every channel, inside r.
inline int CountNear(const QImage& img, COLORREF c, int tolerance, QRect r = QRect()) {
  if (r.isNull()) r = img.rect();
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      COLORREF p = PixelOf(img, x, y);
      n += std::abs(GetRValue(p) - GetRValue(c)) <= tolerance && std::abs(GetGValue(p) - GetGValue(c)) <= tolerance &&
           std::abs(GetBValue(p) - GetBValue(c)) <= tolerance;
    }
  return n;
}

// The bounding box of the pixels of colour c inside r (the whole picture
// when r is null); null when none.
inline QRect BoxOf(const QImage& img, COLORREF c, QRect r = QRect()) {
  if (r.isNull()) r = img.rect();
  QRect box;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (PixelOf(img, x, y) == c) box = box.united(QRect(x, y, 1, 1));
  return box;
}

inline WString Wide(const std::string& s) { return QString::fromStdString(s).toStdU16String(); }

// A probe picture of one flat colour (its whole area painted as the "key"
// colour) written to path; returns the path.
inline std::string WriteFlatPicture(const std::string& path, int w, int h, COLORREF color) {
  orvtest::ProbePicture p = orvtest::Probe(w, h);
  p.keyed.push_back(RECT{0, 0, w, h});
  p.keyColor = color;
  EXPECT_TRUE(orvtest::WriteProbePicture(path, p)) << path;
  return path;
}

struct Command {
  int id;
  UINT code;
  BOOL arrowPressed;  // asked of the FooButton inside the handler
  int check;
};

// A top-level window that records commands (with the button's state as
// seen during the call), posted keys and everything else it gets.
class Recorder : public CWnd {
 public:
  std::vector<Command> commands;
  std::vector<MSG> keys;
  bool Make(int w = 400, int h = 200) {
    return CreateEx(0, nullptr, u"recorder", WS_POPUP | WS_VISIBLE, CRect(100, 100, 100 + w, 100 + h), nullptr, 0);
  }
  int Clicks(int id) const {
    int n = 0;
    for (auto& c : commands) n += c.id == id && c.code == BN_CLICKED;
    return n;
  }
  BOOL OnCommand(WPARAM w, LPARAM l) override {
    Command c{LOWORD(w), HIWORD(w), FALSE, -1};
    if (auto* b = dynamic_cast<FooButton*>(CWnd::FromHandlePermanent(reinterpret_cast<HWND>(l)))) {
      c.arrowPressed = b->IsArrowPressed();
      c.check = b->GetCheck();
    }
    commands.push_back(c);
    return TRUE;
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_KEYDOWN) keys.push_back(MSG{m_hWnd, msg, w, l, 0, {}});
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(20, 20, 20));
  }
};

}  // namespace skintest
