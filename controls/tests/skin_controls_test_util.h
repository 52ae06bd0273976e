// Shared pieces of the skinned-control tests: a top-level parent that
// records what its children tell it (and can play an owner that moves a
// scroll bar's position), pixel probes and the 144 x 48 probe skin.
#pragma once

#include "controls/tests/resource_fixture.h"
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Kept apart from the other areas' test helpers.
namespace skinctl {

using namespace orvtest;

struct Heard {
  UINT msg = 0;
  UINT code = 0;       // scroll code, WM_COMMAND code, NMHDR code
  int position = 0;    // scroll notices: the high word
  HWND from = nullptr; // scroll notices: lParam; WM_NOTIFY: hwndFrom
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD drawStage = 0;  // NM_CUSTOMDRAW
  UINT itemState = 0;   // NM_CUSTOMDRAW: uItemState
  int subItem = -1;     // list custom draw
};

class RecordingParent : public CWnd {
 public:
  std::vector<Heard> heard;
  COLORREF fill = RGB(30, 34, 42);  // painted background
  bool ownsScrollBars = false;       // answer scroll notices as an owner does
  LRESULT customDrawAnswer = CDRF_DODEFAULT;
  LRESULT (*customDraw)(RecordingParent&, LPARAM) = nullptr;

  bool Make(int w, int h) {
    return CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE, CRect(50, 50, 50 + w, 50 + h),
                    nullptr, 0) != FALSE;
  }
  std::vector<Heard> Of(UINT msg) const {
    std::vector<Heard> v;
    for (const auto& h : heard)
      if (h.msg == msg) v.push_back(h);
    return v;
  }
  int Count(UINT msg, UINT code) const {
    int n = 0;
    for (const auto& h : heard) n += h.msg == msg && h.code == code;
    return n;
  }

 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, fill);
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    Heard h;
    h.msg = msg;
    h.wParam = w;
    h.lParam = l;
    switch (msg) {
      case WM_VSCROLL:
      case WM_HSCROLL:
        h.code = LOWORD(w);
        h.position = static_cast<short>(HIWORD(w));
        h.from = reinterpret_cast<HWND>(l);
        heard.push_back(h);
        if (ownsScrollBars) MoveBar(h);
        return 0;
      case WM_COMMAND:
        h.code = HIWORD(w);
        heard.push_back(h);
        return CWnd::WindowProc(msg, w, l);
      case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(l);
        h.code = hdr->code;
        h.from = hdr->hwndFrom;
        if (hdr->code == NM_CUSTOMDRAW) {
          auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(l);
          h.drawStage = cd->dwDrawStage;
          h.itemState = cd->uItemState;
          WCHAR cls[64] = {};
          ::GetClassNameW(hdr->hwndFrom, cls, 64);
          if (WString(cls) == WC_LISTVIEW) h.subItem = reinterpret_cast<NMLVCUSTOMDRAW*>(l)->iSubItem;
          heard.push_back(h);
          return customDraw ? customDraw(*this, l) : customDrawAnswer;
        }
        if (hdr->code == LVN_GETDISPINFOW) h.position = reinterpret_cast<NMLVDISPINFOW*>(l)->item.iItem;
        heard.push_back(h);  // everything is recorded, also what the control answers itself
        return CWnd::WindowProc(msg, w, l);
      }
      case WM_KEYDOWN:
        h.code = static_cast<UINT>(w);
        heard.push_back(h);
        return 0;
      default:
        if (msg >= 5000 && msg < 6000) {
          heard.push_back(h);
          return 0;
        }
        return CWnd::WindowProc(msg, w, l);
    }
  }

 private:
  // Sets the position like an owner: steps, clamped to min … max - page + 1.
  static void MoveBar(const Heard& h) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ::GetScrollInfo(h.from, SB_CTL, &si);
    int pos = si.nPos;
    switch (h.code) {
      case SB_LINEUP: pos -= 1; break;
      case SB_LINEDOWN: pos += 1; break;
      case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
      case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK: pos = h.position; break;
      default: return;
    }
    pos = std::max(si.nMin, std::min(pos, si.nMax - static_cast<int>(si.nPage) + 1));
    ::SetScrollPos(h.from, SB_CTL, pos, TRUE);
  }
};

// The colour of a window's pixel (client coordinates of a frameless window).
inline COLORREF Pixel(const TestDesktop& desk, HWND hwnd, int x, int y) {
  QImage image = desk.Snapshot(hwnd);
  if (image.isNull() || x < 0 || y < 0 || x >= image.width() || y >= image.height()) return CLR_INVALID;
  const QRgb p = image.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

// Pixels of a rectangle that have a colour.
inline int CountColor(const TestDesktop& desk, HWND hwnd, const RECT& rc, COLORREF color) {
  QImage image = desk.Snapshot(hwnd);
  int n = 0;
  for (int y = std::max(0L, static_cast<long>(rc.top)); y < rc.bottom && y < image.height(); ++y)
    for (int x = std::max(0L, static_cast<long>(rc.left)); x < rc.right && x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += RGB(qRed(p), qGreen(p), qBlue(p)) == color;
    }
  return n;
}

// Pixels of a rectangle within tolerance of a colour on every channel
// (antialiased text reaches its colour only on its strongest strokes).
inline int CountNear(const TestDesktop& desk, HWND hwnd, const RECT& rc, COLORREF color, int tolerance) {
  QImage image = desk.Snapshot(hwnd);
  int n = 0;
  for (int y = std::max(0L, static_cast<long>(rc.top)); y < rc.bottom && y < image.height(); ++y)
    for (int x = std::max(0L, static_cast<long>(rc.left)); x < rc.right && x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += std::abs(qRed(p) - GetRValue(color)) <= tolerance && std::abs(qGreen(p) - GetGValue(color)) <= tolerance &&
           std::abs(qBlue(p) - GetBValue(color)) <= tolerance;
    }
  return n;
}

// The 144 x 48 skin of 9 x 3 probe cells as a 24-bit bitmap resource: the
// folder holds bitmap/<id>.bmp while the object lives, and Load gives a
// bitmap of it.
class ProbeSkin {
 public:
  static constexpr int kId = 9001;
  ProbeSkin() {
    ProbePicture probe = Probe(144, 48, 9, 3, true);
    ok_ = !folder_.Path().empty() && WriteProbePicture(folder_.Path() + "bitmap/9001.bmp", probe);
    resources_ = std::make_unique<ScopedResourceFolder>(folder_.Path());
  }
  bool Ok() const { return ok_; }
  // A bitmap of the skin; the caller owns it.
  HBITMAP Load() const { return LoadBitmapW(nullptr, MAKEINTRESOURCEW(kId)); }
  // Cell colour of (row, column) and one of its corner markers.
  static COLORREF Cell(int row, int column) { return ProbeCellColor(row * 9 + column); }
  static COLORREF Corner(int row, int column, int corner) { return ProbeCornerColor(row * 9 + column, corner); }

 private:
  TempFolder folder_;
  std::unique_ptr<ScopedResourceFolder> resources_;
  bool ok_ = false;
};

// Where snapshots go: <build>/snapshots/skin_controls/<name>.png.
inline std::string SnapshotPath(const std::string& name) {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/snapshots/skin_controls/";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder + name + ".png";
}

}  // namespace skinctl
