// Shared pieces of the controls tests: a parent window that records the
// notifications it receives, and pixel counting. Modal loops (menus,
// dialogs, message boxes) are driven with TestDesktop's steps.
#pragma once

#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"
#include "platform/window/win_internal.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

struct Note {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  UINT code = 0;  // WM_COMMAND: HIWORD; WM_NOTIFY: the NMHDR code
  int id = 0;
  UINT itemState = 0;  // WM_DRAWITEM
  HFONT font = nullptr;  // WM_DRAWITEM: font selected in the item's DC
  int delta = 0;         // UDN_DELTAPOS
};

// A top-level window that records what its children tell it and may answer
// colour questions.
class Parent : public CWnd {
 public:
  std::vector<Note> notes;
  HBRUSH colorBrush = nullptr;  // answer to WM_CTLCOLOR* when set
  COLORREF colorText = 0;
  std::vector<UINT> colorAsks;
  COLORREF fill = RGB(240, 240, 240);
  std::function<void(LPMEASUREITEMSTRUCT)> onMeasure;
  std::function<void(LPDRAWITEMSTRUCT)> onDraw;

  bool Make(int w = 400, int h = 300) {
    return CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE, CRect(100, 100, 100 + w, 100 + h), nullptr, 0);
  }
  std::vector<Note> Of(UINT msg) const {
    std::vector<Note> v;
    for (auto& n : notes)
      if (n.msg == msg) v.push_back(n);
    return v;
  }
  int Commands(int id, UINT code) const {
    int k = 0;
    for (auto& n : notes) k += n.msg == WM_COMMAND && n.id == id && n.code == code;
    return k;
  }

  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    Note n{msg, w, l};
    switch (msg) {
      case WM_COMMAND:
        n.id = LOWORD(w);
        n.code = HIWORD(w);
        notes.push_back(n);
        return 0;
      case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(l);
        n.id = static_cast<int>(hdr->idFrom);
        n.code = hdr->code;
        if (hdr->code == UDN_DELTAPOS) n.delta = reinterpret_cast<NMUPDOWN*>(l)->iDelta;
        notes.push_back(n);
        return 0;
      }
      case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<LPDRAWITEMSTRUCT>(l);
        n.id = static_cast<int>(dis->itemID);
        n.code = dis->CtlType;
        n.itemState = dis->itemState;
        n.font = static_cast<HFONT>(GetCurrentObject(dis->hDC, OBJ_FONT));
        notes.push_back(n);
        if (onDraw) onDraw(dis);
        return TRUE;
      }
      case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<LPMEASUREITEMSTRUCT>(l);
        n.id = static_cast<int>(mis->itemID);
        notes.push_back(n);
        if (onMeasure) onMeasure(mis);
        return TRUE;
      }
      case WM_HSCROLL:
      case WM_VSCROLL:
        n.code = LOWORD(w);
        notes.push_back(n);
        return 0;
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORLISTBOX:
        colorAsks.push_back(msg);
        if (colorBrush) {
          SetTextColor(reinterpret_cast<HDC>(w), colorText);
          SetBkMode(reinterpret_cast<HDC>(w), TRANSPARENT);
          return reinterpret_cast<LRESULT>(colorBrush);
        }
        return 0;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        notes.push_back(n);
        break;
      default:
        break;
    }
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, fill);
  }
};

inline COLORREF PixelOf(const QImage& img, int x, int y) {
  QRgb c = img.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}
// Number of pixels of the colour in the rectangle of the picture.
inline int CountColor(const QImage& img, COLORREF c, QRect r = QRect()) {
  if (r.isNull()) r = img.rect();
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += PixelOf(img, x, y) == c;
  return n;
}
