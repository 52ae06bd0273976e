// Shared pieces of the panel tests (status bar, table bar, pop view,
// dialogs): a window that records the notices it receives and tells sent
// from posted ones, a step runner that acts inside modal loops, and pixel
// helpers over snapshots.
#pragma once

#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <ostream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Rectangles print as their edges in failure messages.
inline void PrintTo(const CRect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace panels {

// How deep the test's control subclasses are inside their own input
// handlers. A notice that reaches a Recorder while this is above 0 was sent
// from the handler; any other was posted (it came from the queue).
inline int& InputDepth() {
  static int depth = 0;
  return depth;
}
struct InInput {
  InInput() { ++InputDepth(); }
  ~InInput() { --InputDepth(); }
  InInput(const InInput&) = delete;
  InInput& operator=(const InInput&) = delete;
};

struct Notice {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool sent;
};

// A top-level window that logs every message numbered in `watch`.
class Recorder : public CWnd {
 public:
  std::vector<UINT> watch;
  std::vector<Notice> notices;

  bool Make(int x, int y, int w, int h) {
    return CreateEx(0, nullptr, u"recorder", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(x, y, x + w, y + h),
                    nullptr, 0) != FALSE;
  }
  std::vector<Notice> Of(UINT msg) const {
    std::vector<Notice> v;
    for (const Notice& n : notices)
      if (n.msg == msg) v.push_back(n);
    return v;
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    for (UINT m : watch)
      if (m == msg) {
        notices.push_back({msg, w, l, InputDepth() > 0});
        return 0;
      }
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(40, 40, 40));
  }
};

// Steps run one after another as posted messages, so they run inside
// whatever loop is pumping (a dialog's modal loop). A step returning false
// is tried again later.
class Stepper : public CWnd {
 public:
  std::deque<std::function<bool()>> steps;
  int tries = 0;
  bool Make() { return CreateEx(0, nullptr, u"stepper", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0) != FALSE; }
  void Add(std::function<bool()> step) { steps.push_back(std::move(step)); }
  void Then(std::function<void()> step) {
    steps.push_back([step] {
      step();
      return true;
    });
  }
  void Start() { PostMessage(WM_APP + 11); }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg != WM_APP + 11) return CWnd::WindowProc(msg, w, l);
    if (steps.empty()) return 0;
    if (steps.front()()) {
      steps.pop_front();
    } else if (++tries > 20000) {
      ADD_FAILURE() << "a step never became ready";
      steps.clear();
      return 0;
    }
    if (!steps.empty()) PostMessage(WM_APP + 11);
    return 0;
  }
};

inline COLORREF PixelAt(const QImage& img, int x, int y) {
  QRgb c = img.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// Close to the colour (anti-aliased text keeps its colour only in the
// middle of its strokes).
inline bool Near(COLORREF a, COLORREF b, int tolerance = 24) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Pixels close to the colour in the rectangle [left, right) x [top, bottom)
// of the picture (clipped to it).
inline int CountNear(const QImage& img, COLORREF c, RECT r, int tolerance = 24) {
  int n = 0;
  for (int y = std::max(0, int(r.top)); y < std::min(img.height(), int(r.bottom)); ++y)
    for (int x = std::max(0, int(r.left)); x < std::min(img.width(), int(r.right)); ++x)
      n += Near(PixelAt(img, x, y), c, tolerance);
  return n;
}

// The first and last columns holding a pixel close to the colour in the
// rows [top, bottom); {-1, -1} when there is none.
inline std::pair<int, int> ColumnsOf(const QImage& img, COLORREF c, int top, int bottom, int tolerance = 40) {
  std::pair<int, int> span{-1, -1};
  for (int x = 0; x < img.width(); ++x)
    for (int y = std::max(0, top); y < std::min(img.height(), bottom); ++y)
      if (Near(PixelAt(img, x, y), c, tolerance)) {
        if (span.first < 0) span.first = x;
        span.second = x;
        break;
      }
  return span;
}

// Where snapshots go: the build folder's snapshots/ (created on demand).
inline std::string SnapshotPath(const std::string& name) {
  std::string folder = std::string(ORV_BINARY_DIR) + "/snapshots";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder + "/" + name;
}

}  // namespace panels
