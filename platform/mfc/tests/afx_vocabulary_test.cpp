// Framework vocabulary: CImage drawing a cell of a sprite sheet, and the
// CTLCOLOR_* kinds OnCtlColor is told.
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A black 16x8 picture to draw into.
class Target {
 public:
  Target() {
    dc = CreateCompatibleDC(nullptr);
    bmp = CreateBitmap(16, 8, 1, 32, nullptr);
    old = SelectObject(dc, bmp);
  }
  ~Target() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
};

// A 2x1 sheet of 4x4 cells: red (with a magenta key pixel at its corner)
// and, on the right, half-transparent white.
void MakeSheet(CImage* sheet) {
  ASSERT_TRUE(sheet->Create(8, 4, 32));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) sheet->SetPixel(x, y, x < 4 ? RGB(255, 0, 0) : RGB(255, 255, 255));
  sheet->SetPixel(0, 0, RGB(255, 0, 255));
}

TEST(CImageSourceRects, CellsOfASheetAreDrawnAlone) {
  EnsureGuiApplication();
  CImage sheet;
  MakeSheet(&sheet);
  {
    Target t;  // the right cell stretched to 8x8 at (4, 0)
    ASSERT_TRUE(sheet.StretchBlt(t.dc, CRect(4, 0, 12, 8), CRect(4, 0, 8, 4)));
    EXPECT_EQ(GetPixel(t.dc, 4, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(t.dc, 11, 7), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(t.dc, 3, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 12, 0), RGB(0, 0, 0));
  }
  {
    Target t;  // the left cell keyed: its magenta corner is skipped
    ASSERT_TRUE(sheet.TransparentBlt(t.dc, 0, 0, 4, 4, 0, 0, 4, 4, RGB(255, 0, 255)));
    EXPECT_EQ(GetPixel(t.dc, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 1, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 4, 0), RGB(0, 0, 0));  // nothing of the right cell
  }
  {
    Target t;  // the right cell at half constant alpha over black
    ASSERT_TRUE(sheet.AlphaBlend(t.dc, CRect(0, 0, 4, 4), CRect(4, 0, 8, 4), 128));
    EXPECT_NEAR(GetRValue(GetPixel(t.dc, 1, 1)), 128, 2);
    EXPECT_EQ(GetPixel(t.dc, 5, 1), RGB(0, 0, 0));
  }
  CImage empty;
  Target t;
  EXPECT_FALSE(empty.StretchBlt(t.dc, 0, 0, 4, 4, 0, 0, 4, 4));
}

class ColourAsker : public CWnd {
 public:
  std::vector<UINT> kinds;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind) override {
    kinds.push_back(kind);
    return CWnd::OnCtlColor(dc, wnd, kind);
  }
};

TEST(CtlColorKinds, OnCtlColorIsToldTheControlKind) {
  TestDesktop desk;
  ColourAsker parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"p", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 100, 30), &parent, 1));
  CStatic label;
  ASSERT_TRUE(label.Create(u"标签", WS_CHILD | WS_VISIBLE, CRect(10, 40, 100, 60), &parent, 2));
  desk.RunUntilIdle();
  auto has = [&](UINT k) { return std::find(parent.kinds.begin(), parent.kinds.end(), k) != parent.kinds.end(); };
  EXPECT_TRUE(has(CTLCOLOR_EDIT));
  EXPECT_TRUE(has(CTLCOLOR_STATIC));
  EXPECT_EQ(CTLCOLOR_STATIC, WM_CTLCOLORSTATIC - WM_CTLCOLORMSGBOX);
}

}  // namespace
