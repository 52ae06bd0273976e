// Shared pieces of the grid tests: a grid that records its paints and how
// deep it is inside its own input handlers, a parent that logs every grid
// notice (a notice arriving while the grid is inside a handler was sent,
// any other was posted), and a fixture with both on the test desktop.
#pragma once

#include "controls/grid_ctrl.h"
#include "controls/tests/resource_fixture.h"
#include "foundation/draw_helpers.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <QImage>

#include <functional>

#include <string>
#include <vector>

namespace grid_test {

// Colours chosen so a probe tells every surface apart.
constexpr COLORREF kHeaderBk = RGB(40, 40, 48);
constexpr COLORREF kGridLine = RGB(200, 0, 200);
constexpr COLORREF kEvenRow = RGB(0, 0, 40);
constexpr COLORREF kOddRow = RGB(0, 40, 0);
constexpr COLORREF kSelected = RGB(8, 48, 107);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr UINT kRight = 0x26;  // right-aligned, vertically centred, one line
constexpr UINT kCentre = 0x25;
constexpr UINT kLeft = 0x24;

inline COLORREF PixelOf(const QImage& img, int x, int y) {
  QRgb c = img.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// Pixels in [x0, x1) x [y0, y1) that differ from the colour.
inline int CountOther(const QImage& img, COLORREF c, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += PixelOf(img, x, y) != c;
  return n;
}

inline int CountColor(const QImage& img, COLORREF c, int x0, int y0, int x1, int y1) {
  return (x1 - x0) * (y1 - y0) - CountOther(img, c, x0, y0, x1, y1);
}

struct Notice {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool sent;
  int curRowDuring;  // the grid's current row when the notice arrived
};

class ProbeGrid : public CGridCtrl {
 public:
  int depth = 0;
  int paintCount = 0;
  bool skipSize = false;  // WM_SIZE never reaches the grid
  std::vector<RECT> updateRects;  // each paint's update rectangle

 protected:
  void OnPaint() override {
    RECT rc{};
    ::GetUpdateRect(m_hWnd, &rc, FALSE);
    updateRects.push_back(rc);
    ++paintCount;
    CGridCtrl::OnPaint();
  }
  void OnSize(UINT type, int cx, int cy) override {
    if (!skipSize) CGridCtrl::OnSize(type, cx, cy);
  }
  void OnLButtonDown(UINT f, CPoint p) override { Inside([&] { CGridCtrl::OnLButtonDown(f, p); }); }
  void OnRButtonDown(UINT f, CPoint p) override { Inside([&] { CGridCtrl::OnRButtonDown(f, p); }); }
  void OnLButtonDblClk(UINT f, CPoint p) override { Inside([&] { CGridCtrl::OnLButtonDblClk(f, p); }); }
  void OnLButtonUp(UINT f, CPoint p) override { Inside([&] { CGridCtrl::OnLButtonUp(f, p); }); }
  void OnMouseMove(UINT f, CPoint p) override { Inside([&] { CGridCtrl::OnMouseMove(f, p); }); }
  void OnKeyDown(UINT k, UINT r, UINT f) override { Inside([&] { CGridCtrl::OnKeyDown(k, r, f); }); }
  void OnTimer(UINT_PTR id) override { Inside([&] { CGridCtrl::OnTimer(id); }); }
  BOOL OnMouseWheel(UINT f, short d, CPoint p) override {
    BOOL handled = FALSE;
    Inside([&] { handled = CGridCtrl::OnMouseWheel(f, d, p); });
    return handled;
  }

 private:
  template <class F>
  void Inside(F f) {
    ++depth;
    f();
    --depth;
  }
};

class RecordingParent : public CWnd {
 public:
  ProbeGrid* grid = nullptr;
  std::vector<Notice> log;
  std::function<void(const Notice&)> onContextMenu;

  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    const bool gridNotice = msg >= WM_GRID_ACTIVATE && msg <= WM_GRID_DROP;
    if (gridNotice || msg == WM_KEYDOWN) {
      Notice n{msg, w, l, grid && grid->depth > 0, grid ? grid->GetCurRow() : 0};
      log.push_back(n);
      if (msg == WM_GRID_CONTEXT_MENU && onContextMenu) onContextMenu(n);
      if (gridNotice) return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(128, 128, 128));
  }
};

// The desktop, a parent at (0, 0) and a grid filling it. The grid is made
// after the fonts, as at run time.
class GridFixture : public testing::Test {
 protected:
  TestDesktop desk;
  RecordingParent parent;
  ProbeGrid* grid = nullptr;

  void SetUp() override { orvtest::UseProgramFonts(); }
  void TearDown() override {
    if (grid && grid->m_hWnd) grid->DestroyWindow();
    delete grid;
    grid = nullptr;
    if (parent.m_hWnd) parent.DestroyWindow();
  }
  // Makes the parent and the grid with the given client size.
  void Make(int width, int height) {
    ASSERT_TRUE(parent.CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE, CRect(0, 0, width, height), nullptr, 0));
    grid = new ProbeGrid;
    parent.grid = grid;
    grid->SetHeaderBkColor(kHeaderBk);
    grid->SetGridLineColor(kGridLine);
    grid->SetRowColors(kEvenRow, kOddRow);
    ASSERT_TRUE(grid->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, width, height), &parent, 1));
    desk.RunUntilIdle();
  }
  // rows data rows of columns columns of width pixels; cell texts from
  // text(r, c) (null: left empty), titles "C<c>".
  template <class F>
  void Fill(int rows, int columns, int width, F text, UINT format = kRight) {
    grid->SetRowCount(rows + 1);
    grid->SetColumnCount(columns);
    for (int c = 0; c < columns; ++c) {
      std::u16string title = u"C" + std::u16string(1, char16_t(u'0' + c % 10));
      grid->SetCell(0, c, title.c_str(), kWhite, format, 0);
      grid->SetColumnWidth(c, width);
    }
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c) {
        std::u16string t = text(r, c);
        if (!t.empty()) grid->SetCell(r + 1, c, t.c_str(), kWhite, format, 0);
      }
  }
  void FillEmpty(int rows, int columns, int width) {
    Fill(rows, columns, width, [](int, int) { return std::u16string(); });
  }
  QImage Paint() {
    grid->Invalidate();
    desk.RunUntilIdle();
    return desk.Snapshot(grid->m_hWnd);
  }
  std::vector<Notice> Of(UINT msg) const {
    std::vector<Notice> v;
    for (auto& n : parent.log)
      if (n.msg == msg) v.push_back(n);
    return v;
  }
};

}  // namespace grid_test
