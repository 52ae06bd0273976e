// The drawing helpers and UI fonts, on memory pictures.
#include "foundation/draw_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h) {
    EnsureGuiApplication();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateBitmap(w, h, 1, 32, nullptr);
    old = SelectObject(dc, bitmap);
    FillRectColor(dc, &all_, 0xFFFFFF);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  int CountOf(COLORREF c) const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) n += At(x, y) == c;
    return n;
  }
  std::vector<COLORREF> All() const {
    std::vector<COLORREF> v;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) v.push_back(At(x, y));
    return v;
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;

 private:
  int w_, h_;
  RECT all_{0, 0, w_, h_};
};

// Runs before ChooseUiFontFace is ever called in this process.
TEST(UiFonts, BeforeChoosingTheFaceHeightsStayAsGiven) {
  EXPECT_EQ(WString(GetUiFontFace()), u"宋体");
  EXPECT_EQ(ScaleFontHeight(12), 12);
  EXPECT_EQ(ScaleFontHeight(18), 18);
}

TEST(UiFonts, ChoosingFindsYaHeiAndScalesHeights) {
  Canvas cv(4, 4);
  ChooseUiFontFace(cv.dc);
  EXPECT_EQ(WString(GetUiFontFace()), u"微软雅黑");
  struct Case {
    int height, scaled;
  };
  const Case cases[] = {{12, 16}, {14, 18}, {16, 20}, {18, 22}, {10, 16}, {0, 16}};
  for (const Case& c : cases) EXPECT_EQ(ScaleFontHeight(c.height), c.scaled) << c.height;
  HFONT font = CreateUiFont(GetUiFontFace(), 12);
  LOGFONTW lf;
  ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(lf.lfHeight, 16);
  EXPECT_EQ(lf.lfWidth, 0);
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfQuality, 5);
  EXPECT_EQ(lf.lfPitchAndFamily, 32);
  EXPECT_EQ(lf.lfCharSet, 0);
  EXPECT_EQ(WString(lf.lfFaceName), u"微软雅黑");
  // Any face is scaled by the chosen UI face.
  HFONT song = CreateUiFont(u"宋体", 14);
  GetObjectW(song, sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, 18);
  DeleteObject(font);
  DeleteObject(song);
}

TEST(UiFonts, MeasureTextWidthInBothEncodings) {
  Canvas cv(4, 4);
  HFONT font = CreateUiFont(u"宋体", 12);
  HGDIOBJ old = SelectObject(cv.dc, font);
  int wide = MeasureTextWidth(cv.dc, u"上证 123", 1);
  int narrow = MeasureTextWidth(cv.dc, "上证 123", 0);
  EXPECT_GT(wide, 20);
  EXPECT_EQ(wide, narrow);
  EXPECT_EQ(MeasureTextWidth(cv.dc, nullptr, 1), 0);
  EXPECT_EQ(MeasureTextWidth(cv.dc, "", 0), 0);
  SelectObject(cv.dc, old);
  DeleteObject(font);
}

TEST(DrawHelpers, ColoursAreSwappedAndTheTopByteIgnored) {
  struct Case {
    const char* name;
    uint32_t color;
    COLORREF pixel;
  };
  const Case cases[] = {{"red", 0xFF0000, RGB(255, 0, 0)},
                        {"blue", 0x0000FF, RGB(0, 0, 255)},
                        {"top byte", 0xAA00FF00, RGB(0, 255, 0)},
                        {"mixed", 0x98A4B4, RGB(0x98, 0xA4, 0xB4)}};
  for (const Case& c : cases) {
    Canvas cv(4, 4);
    RECT r{0, 0, 2, 2};
    FillRectColor(cv.dc, &r, c.color);
    EXPECT_EQ(cv.At(1, 1), c.pixel) << c.name;
    EXPECT_EQ(cv.At(2, 2), kWhite) << c.name;
  }
}

TEST(DrawHelpers, LinesLeaveTheirEndPointAndStyleOneAlternates) {
  Canvas cv(20, 4);
  DrawLine(cv.dc, 0, 1, 10, 1, 0xFF0000, 0);
  EXPECT_EQ(cv.At(9, 1), RGB(255, 0, 0));
  EXPECT_EQ(cv.At(10, 1), kWhite);
  DrawLine(cv.dc, 0, 2, 10, 2, 0x0000FF, 1);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(cv.At(x, 2), x % 2 ? kWhite : RGB(0, 0, 255)) << x;
  DrawLineStyled(cv.dc, 12, 0, 12, 4, 0x00FF00, 0, 3);
  EXPECT_EQ(cv.At(11, 2), RGB(0, 255, 0));  // a width-3 pen covers both sides
}

TEST(DrawHelpers, DrawLineRopInvertsAndLeavesTheMode) {
  Canvas cv(20, 20);
  FillRectColor(cv.dc, nullptr, 0);  // null rectangle: nothing
  RECT half{0, 0, 20, 10};
  FillRectColor(cv.dc, &half, 0x336699);
  std::vector<COLORREF> before = cv.All();
  DrawLineRop(cv.dc, 3, 0, 3, 20, 0xFFFFFF, 0, 1, R2_NOT);
  EXPECT_EQ(GetROP2(cv.dc), R2_NOT);
  EXPECT_EQ(cv.At(3, 15), RGB(0, 0, 0));
  EXPECT_EQ(cv.At(3, 5), RGB(0xCC, 0x99, 0x66));
  DrawLineRop(cv.dc, 3, 0, 3, 20, 0xFFFFFF, 0, 1, R2_NOT);
  EXPECT_EQ(cv.All(), before);
}

TEST(DrawHelpers, PolylineSkipsLeadingPointsAtOrAboveTheTop) {
  Canvas cv(30, 10);
  const POINT pts[5] = {{0, 0}, {5, 0}, {10, 5}, {15, 7}, {20, 0}};
  DrawPolylineSkipLeading(cv.dc, pts, 5, 0xFF0000);
  const COLORREF red = RGB(255, 0, 0);
  EXPECT_EQ(cv.At(2, 0), kWhite);   // the first two segments are left out
  EXPECT_EQ(cv.At(7, 2), kWhite);
  EXPECT_EQ(cv.At(10, 5), red);     // from the third point
  EXPECT_EQ(cv.At(15, 7), red);
  EXPECT_EQ(cv.At(20, 0), kWhite);  // the last point itself is not set
  EXPECT_GT(cv.CountOf(red), 10);

  Canvas none(30, 10);
  const POINT flat[3] = {{0, 0}, {5, -1}, {10, 0}};
  DrawPolylineSkipLeading(none.dc, flat, 3, 0xFF0000);
  DrawPolylineWidth(none.dc, pts, 5, 0xFF0000, 2.9);  // first y is 0: nothing
  DrawPolylineWidth(none.dc, nullptr, 5, 0xFF0000, 1);
  const POINT negative[3] = {{1, -1}, {9, 9}, {1, 9}};
  FillPolygon(none.dc, negative, 3, 0xFF0000);
  FillPolygon(none.dc, pts, 0, 0xFF0000);
  EXPECT_EQ(none.CountOf(red), 0);
  const POINT tri[3] = {{1, 1}, {9, 9}, {1, 9}};
  FillPolygon(none.dc, tri, 3, 0xFF0000);
  EXPECT_EQ(none.At(2, 7), red);
}

TEST(DrawHelpers, BarsOneOrMorePixelsWide) {
  const COLORREF outline = RGB(255, 0, 0), fill = RGB(0, 0, 255);
  Canvas thin(20, 20);
  const RECT lines[2] = {{2, 2, 3, 15}, {6, 4, 7, 15}};
  DrawBars(thin.dc, lines, 2, 0xFF0000, 0x0000FF, 0);
  EXPECT_EQ(thin.At(2, 10), outline);
  EXPECT_EQ(thin.At(6, 4), outline);
  EXPECT_EQ(thin.CountOf(fill), 0);
  EXPECT_EQ(thin.CountOf(outline), 13 + 11);

  Canvas wide(20, 20);
  const RECT bars[2] = {{2, 2, 8, 15}, {10, 4, 16, 15}};
  DrawBars(wide.dc, bars, 2, 0xFF0000, 0x0000FF, 0);
  EXPECT_EQ(wide.At(2, 2), outline);
  EXPECT_EQ(wide.At(7, 14), outline);
  EXPECT_EQ(wide.At(5, 8), fill);
  EXPECT_EQ(wide.At(8, 8), kWhite);
  DrawBars(wide.dc, bars, 0, 0x00FF00, 0x00FF00, 0);
  EXPECT_EQ(wide.CountOf(RGB(0, 255, 0)), 0);

  Canvas dashed(40, 10);
  RECT box{0, 0, 40, 10};
  DrawRectangle(dashed.dc, &box, 0x000000, 1);
  int dark = 0;
  for (int x = 0; x < 40; ++x) dark += dashed.At(x, 0) == RGB(0, 0, 0);
  EXPECT_GT(dark, 10);
  EXPECT_LT(dark, 40);
  EXPECT_EQ(dashed.At(20, 5), kWhite);  // outline only
}

TEST(DrawHelpers, TextRightAlignedCentredAndClipped) {
  Canvas cv(200, 40);
  HFONT font = CreateUiFont(u"宋体", 12);
  HGDIOBJ old = SelectObject(cv.dc, font);
  SetBkMode(cv.dc, TRANSPARENT);
  RECT box{20, 5, 120, 35};
  DrawTextInRect(cv.dc, &box, u"10.25", 0xFF0000, 2);
  EXPECT_EQ(GetTextColor(cv.dc), RGB(255, 0, 0));
  int left = 200, right = -1, top = 40, bottom = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) {
      if (cv.At(x, y) == kWhite) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  EXPECT_GT(right, 110);
  EXPECT_LT(right, 120);
  EXPECT_GT(left, 60);
  EXPECT_NEAR(top - 5, 34 - bottom, 5);
  // A long UTF-8 text is cut to 255 units and clipped to the rectangle.
  std::string longText;
  for (int i = 0; i < 400; ++i) longText += "涨";
  Canvas clip(200, 40);
  SelectObject(clip.dc, font);
  RECT narrow{10, 0, 60, 40};
  DrawTextUtf8InRect(clip.dc, &narrow, longText.c_str(), 0x000000, 0);
  DrawTextUtf8InRect(clip.dc, &narrow, nullptr, 0x000000, 0);
  int outside = 0, inside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) {
      bool ink = clip.At(x, y) != kWhite;
      (x >= 10 && x < 60 ? inside : outside) += ink;
    }
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
  SelectObject(cv.dc, old);
  DeleteObject(font);
}

TEST(DrawHelpers, SelectAndDeleteWrappers) {
  Canvas cv(4, 4);
  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  HGDIOBJ saved = nullptr;
  HGDIOBJ previous = SelectGdiObjectSave(cv.dc, pen, &saved);
  EXPECT_EQ(previous, GetStockObject(BLACK_PEN));
  EXPECT_EQ(saved, previous);
  EXPECT_EQ(SelectGdiObject(cv.dc, saved), pen);
  DeleteGdiObject(pen);
  DeleteGdiObject(nullptr);
  EXPECT_EQ(GetObjectType(pen), 0u);
  NoOpPaint(cv.dc, 1, 2);
}

}  // namespace
