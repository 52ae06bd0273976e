// Pixel rules of the drawing layer on memory pictures.
#include "platform/gdi/win_gdi.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A memory DC on a white colour bitmap of the given size.
class Canvas {
 public:
  Canvas(int w, int h) {
    EnsureGuiApplication();
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    old = SelectObject(dc, bitmap);
    RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  // Every pixel of the picture, for comparing whole pictures.
  std::vector<COLORREF> All(int w, int h) const {
    std::vector<COLORREF> v;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) v.push_back(At(x, y));
    return v;
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

TEST(GdiLines, EndPointIsNotSet) {
  struct Case {
    const char* name;
    POINT a, b;
  };
  const Case cases[] = {
      {"horizontal", {2, 5}, {10, 5}}, {"vertical", {5, 2}, {5, 10}}, {"diagonal", {2, 2}, {9, 9}}, {"backwards", {10, 5}, {2, 5}}};
  for (const Case& c : cases) {
    Canvas cv(16, 16);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HGDIOBJ old = SelectObject(cv.dc, pen);
    MoveToEx(cv.dc, c.a.x, c.a.y, nullptr);
    LineTo(cv.dc, c.b.x, c.b.y);
    EXPECT_EQ(cv.At(c.a.x, c.a.y), kRed) << c.name;
    EXPECT_EQ(cv.At(c.b.x, c.b.y), kWhite) << c.name;
    POINT cur;
    GetCurrentPositionEx(cv.dc, &cur);
    EXPECT_EQ(cur.x, c.b.x) << c.name;
    SelectObject(cv.dc, old);
    DeleteObject(pen);
  }
}

TEST(GdiLines, InvertingLineTwiceRestoresPicture) {
  Canvas cv(20, 20);
  RECT half{0, 0, 10, 20};
  HBRUSH blue = CreateSolidBrush(kBlue);
  FillRect(cv.dc, &half, blue);
  std::vector<COLORREF> before = cv.All(20, 20);
  SetROP2(cv.dc, R2_NOT);
  POINT pts[3] = {{1, 1}, {18, 10}, {3, 18}};
  Polyline(cv.dc, pts, 3);
  EXPECT_EQ(cv.At(1, 1), RGB(255, 255, 0));  // blue inverted
  EXPECT_EQ(cv.At(18, 10), kBlack);        // the inner point is set exactly once
  EXPECT_NE(cv.All(20, 20), before);
  Polyline(cv.dc, pts, 3);
  EXPECT_EQ(cv.All(20, 20), before);
  DeleteObject(blue);
}

TEST(GdiLines, AlternatePenSetsEveryOtherPixel) {
  Canvas cv(20, 4);
  LOGBRUSH lb{BS_SOLID, kBlack, 0};
  HPEN pen = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
  HGDIOBJ old = SelectObject(cv.dc, pen);
  MoveToEx(cv.dc, 0, 1, nullptr);
  LineTo(cv.dc, 12, 1);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(cv.At(x, 1), x % 2 == 0 ? kBlack : kWhite) << x;
  EXPECT_EQ(cv.At(12, 1), kWhite);
  SelectObject(cv.dc, old);
  DeleteObject(pen);
}

TEST(GdiLines, DashedPenLeavesGaps) {
  Canvas cv(40, 4);
  HPEN pen = CreatePen(PS_DASH, 1, kBlack);
  HGDIOBJ old = SelectObject(cv.dc, pen);
  SetBkMode(cv.dc, TRANSPARENT);
  MoveToEx(cv.dc, 0, 1, nullptr);
  LineTo(cv.dc, 39, 1);
  int dark = 0;
  for (int x = 0; x < 39; ++x) dark += cv.At(x, 1) == kBlack;
  EXPECT_GT(dark, 0);
  EXPECT_LT(dark, 39);
  SelectObject(cv.dc, old);
  DeleteObject(pen);
}

TEST(GdiFills, RightAndBottomEdgesAreExclusive) {
  Canvas cv(12, 12);
  HBRUSH red = CreateSolidBrush(kRed);
  RECT r{2, 3, 6, 8};
  FillRect(cv.dc, &r, red);
  EXPECT_EQ(cv.At(2, 3), kRed);
  EXPECT_EQ(cv.At(5, 7), kRed);
  EXPECT_EQ(cv.At(6, 7), kWhite);
  EXPECT_EQ(cv.At(5, 8), kWhite);
  EXPECT_EQ(cv.At(1, 3), kWhite);
  DeleteObject(red);
}

TEST(GdiFills, SystemColourBrushIndexAndStockBrushes) {
  Canvas cv(4, 4);
  RECT r{0, 0, 2, 2};
  FillRect(cv.dc, &r, reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
  EXPECT_EQ(cv.At(0, 0), GetSysColor(COLOR_BTNFACE));
  FillRect(cv.dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(cv.At(1, 1), kBlack);
  FillRect(cv.dc, &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(cv.At(1, 1), kBlack);
}

TEST(GdiFills, PatternBrushesTileFromTheOriginAndMonoTakesDcColours) {
  // A 2x1 monochrome pattern: black then white.
  const uint8_t bits[2] = {0x40, 0x00};  // one row padded to 16 bits: 0 1
  HBITMAP mono = CreateBitmap(2, 1, 1, 1, bits);
  HBRUSH brush = CreatePatternBrush(mono);
  DeleteObject(mono);  // the brush keeps its own copy
  Canvas cv(6, 2);
  SetTextColor(cv.dc, kRed);
  SetBkColor(cv.dc, kBlue);
  RECT r{0, 0, 6, 2};
  FillRect(cv.dc, &r, brush);
  EXPECT_EQ(cv.At(0, 0), kRed);
  EXPECT_EQ(cv.At(1, 0), kBlue);
  EXPECT_EQ(cv.At(4, 1), kRed);
  DeleteObject(brush);
}

TEST(GdiShapes, RectangleOutlineAndInterior) {
  Canvas cv(12, 12);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HBRUSH brush = CreateSolidBrush(kBlue);
  HGDIOBJ oldPen = SelectObject(cv.dc, pen);
  HGDIOBJ oldBrush = SelectObject(cv.dc, brush);
  Rectangle(cv.dc, 1, 1, 8, 6);
  EXPECT_EQ(cv.At(1, 1), kRed);
  EXPECT_EQ(cv.At(7, 5), kRed);   // the outline ends one pixel inside right and bottom
  EXPECT_EQ(cv.At(8, 5), kWhite);
  EXPECT_EQ(cv.At(7, 6), kWhite);
  EXPECT_EQ(cv.At(4, 3), kBlue);
  // Hollow brush keeps the inside; a null pen fills one pixel less.
  SelectObject(cv.dc, GetStockObject(HOLLOW_BRUSH));
  Rectangle(cv.dc, 0, 0, 12, 12);
  EXPECT_EQ(cv.At(4, 3), kBlue);
  SelectObject(cv.dc, GetStockObject(NULL_PEN));
  SelectObject(cv.dc, brush);
  Rectangle(cv.dc, 8, 8, 11, 11);
  EXPECT_EQ(cv.At(9, 9), kBlue);
  EXPECT_EQ(cv.At(10, 10), kWhite);
  SelectObject(cv.dc, oldPen);
  SelectObject(cv.dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(brush);
}

TEST(GdiObjects, SelectReturnsPreviousAndDeleteWaitsForRelease) {
  Canvas cv(4, 4);
  HPEN a = CreatePen(PS_SOLID, 1, kRed);
  HPEN b = CreatePen(PS_SOLID, 1, kBlue);
  HGDIOBJ first = SelectObject(cv.dc, a);
  EXPECT_EQ(first, GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(cv.dc, b), a);
  // Deleting a selected pen keeps it usable until it is deselected.
  EXPECT_TRUE(DeleteObject(b));
  MoveToEx(cv.dc, 0, 0, nullptr);
  LineTo(cv.dc, 3, 0);
  EXPECT_EQ(cv.At(0, 0), kBlue);
  EXPECT_EQ(SelectObject(cv.dc, first), b);
  EXPECT_EQ(GetObjectType(b), 0u);
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));  // stock objects stay
  EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
  BITMAP bm;
  EXPECT_EQ(GetObjectW(cv.bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 4);
  EXPECT_EQ(bm.bmHeight, 4);
}

TEST(GdiObjects, LiveCountFollowsCreationDeletionAndSelection) {
  Canvas cv(4, 4);
  const int brushes = GdiObjectCountForTesting(OBJ_BRUSH);
  const int pens = GdiObjectCountForTesting(OBJ_PEN);
  const int all = GdiObjectCountForTesting(0);
  HBRUSH a = CreateSolidBrush(kRed);
  HBRUSH b = CreateSolidBrush(kBlue);
  EXPECT_EQ(GdiObjectCountForTesting(OBJ_BRUSH), brushes + 2);
  EXPECT_EQ(GdiObjectCountForTesting(OBJ_PEN), pens);
  EXPECT_EQ(GdiObjectCountForTesting(0), all + 2);
  GetStockObject(GRAY_BRUSH);  // stock objects are not counted
  EXPECT_EQ(GdiObjectCountForTesting(OBJ_BRUSH), brushes + 2);
  HGDIOBJ old = SelectObject(cv.dc, b);
  DeleteObject(a);
  DeleteObject(b);  // selected: alive until deselected
  EXPECT_EQ(GdiObjectCountForTesting(OBJ_BRUSH), brushes + 1);
  SelectObject(cv.dc, old);
  EXPECT_EQ(GdiObjectCountForTesting(OBJ_BRUSH), brushes);
}

TEST(GdiClip, RegionsClipDrawing) {
  Canvas cv(20, 20);
  HRGN rgn = CreateRectRgn(5, 5, 10, 10);
  SelectClipRgn(cv.dc, rgn);
  DeleteObject(rgn);  // the DC keeps its own copy
  RECT all{0, 0, 20, 20};
  HBRUSH red = CreateSolidBrush(kRed);
  FillRect(cv.dc, &all, red);
  EXPECT_EQ(cv.At(5, 5), kRed);
  EXPECT_EQ(cv.At(9, 9), kRed);
  EXPECT_EQ(cv.At(10, 9), kWhite);
  EXPECT_EQ(cv.At(4, 5), kWhite);
  ExcludeClipRect(cv.dc, 6, 6, 8, 8);
  HBRUSH blue = CreateSolidBrush(kBlue);
  FillRect(cv.dc, &all, blue);
  EXPECT_EQ(cv.At(6, 6), kRed);
  EXPECT_EQ(cv.At(5, 5), kBlue);
  RECT box;
  GetClipBox(cv.dc, &box);
  EXPECT_EQ(box.left, 5);
  EXPECT_EQ(box.right, 10);
  SelectClipRgn(cv.dc, nullptr);
  FillRect(cv.dc, &all, blue);
  EXPECT_EQ(cv.At(0, 0), kBlue);
  DeleteObject(red);
  DeleteObject(blue);
}

// One-pixel lines under a clip of several thin strips (an update region of
// a cursor's strips): every pixel inside a strip is set, none outside, also
// when a line leaves one strip and enters another.
TEST(GdiClip, LinesUnderAClipOfManyRectangles) {
  Canvas cv(40, 40);
  HRGN rgn = CreateRectRgn(10, 0, 13, 40);
  for (const RECT& r : {RECT{0, 20, 40, 23}, RECT{30, 30, 35, 35}, RECT{0, 5, 4, 6}}) {
    HRGN part = CreateRectRgnIndirect(&r);
    CombineRgn(rgn, rgn, part, RGN_OR);
    DeleteObject(part);
  }
  SelectClipRgn(cv.dc, rgn);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(cv.dc, pen);
  SetROP2(cv.dc, R2_COPYPEN);
  for (int y = 0; y < 40; ++y) {
    MoveToEx(cv.dc, 0, y, nullptr);
    LineTo(cv.dc, 40, y);
  }
  SelectObject(cv.dc, old);
  DeleteObject(pen);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(cv.At(x, y) == kRed, PtInRegion(rgn, x, y) != FALSE) << x << "," << y;
  DeleteObject(rgn);
}

TEST(GdiBlits, RasterOperationsAndColourKey) {
  Canvas src(4, 1), dst(4, 1);
  const COLORREF srcColors[4] = {RGB(255, 0, 255), RGB(0x0F, 0xF0, 0x33), kRed, RGB(255, 0, 255)};
  for (int x = 0; x < 4; ++x) SetPixel(src.dc, x, 0, srcColors[x]);
  struct Case {
    const char* name;
    DWORD rop;
    COLORREF dstBefore;
    COLORREF expected1;  // pixel 1 after the blit
  };
  const Case cases[] = {
      {"copy", SRCCOPY, RGB(0x33, 0x33, 0x33), RGB(0x0F, 0xF0, 0x33)},
      {"and", SRCAND, RGB(0x3C, 0x3C, 0xFF), RGB(0x0C, 0x30, 0x33)},
      {"or", SRCPAINT, RGB(0x30, 0x03, 0x00), RGB(0x3F, 0xF3, 0x33)},
  };
  for (const Case& c : cases) {
    SetPixel(dst.dc, 1, 0, c.dstBefore);
    BitBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, c.rop);
    EXPECT_EQ(dst.At(1, 0), c.expected1) << c.name;
  }
  for (int x = 0; x < 4; ++x) SetPixel(dst.dc, x, 0, kBlack);
  TransparentBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, 4, 1, RGB(255, 0, 255));
  EXPECT_EQ(dst.At(0, 0), kBlack);
  EXPECT_EQ(dst.At(1, 0), srcColors[1]);
  EXPECT_EQ(dst.At(2, 0), kRed);
  EXPECT_EQ(dst.At(3, 0), kBlack);
}

TEST(GdiBlits, StretchBltScalesNearest) {
  Canvas src(2, 1), dst(8, 2);
  SetPixel(src.dc, 0, 0, kRed);
  SetPixel(src.dc, 1, 0, kBlue);
  StretchBlt(dst.dc, 0, 0, 8, 2, src.dc, 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), kRed);
  EXPECT_EQ(dst.At(3, 1), kRed);
  EXPECT_EQ(dst.At(4, 0), kBlue);
  EXPECT_EQ(dst.At(7, 1), kBlue);
}

TEST(GdiBlits, AlphaBlendConstantAndPerPixel) {
  Canvas dst(2, 1);
  SetPixel(dst.dc, 0, 0, kBlack);
  SetPixel(dst.dc, 1, 0, kBlack);
  Canvas src(2, 1);
  SetPixel(src.dc, 0, 0, kWhite);
  SetPixel(src.dc, 1, 0, kWhite);
  BLENDFUNCTION half;
  half.SourceConstantAlpha = 128;
  AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, half);
  EXPECT_EQ(GetRValue(dst.At(0, 0)), 128);

  // Per-pixel: a premultiplied 32-bit section, one opaque red and one
  // half-transparent white pixel, over blue.
  BITMAPINFO info;
  info.bmiHeader.biWidth = 2;
  info.bmiHeader.biHeight = -1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  auto* px = static_cast<uint32_t*>(bits);
  px[0] = 0xFFFF0000u;  // opaque red
  px[1] = 0x80808080u;  // half white, premultiplied
  HDC sdc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(sdc, section);
  SetPixel(dst.dc, 0, 0, kBlue);
  SetPixel(dst.dc, 1, 0, kBlue);
  BLENDFUNCTION perPixel;
  perPixel.AlphaFormat = AC_SRC_ALPHA;
  AlphaBlend(dst.dc, 0, 0, 2, 1, sdc, 0, 0, 2, 1, perPixel);
  EXPECT_EQ(dst.At(0, 0), kRed);
  COLORREF mixed = dst.At(1, 0);
  EXPECT_NEAR(GetRValue(mixed), 128, 1);
  EXPECT_NEAR(GetBValue(mixed), 255, 1);
  SelectObject(sdc, old);
  DeleteDC(sdc);
  DeleteObject(section);
}

TEST(GdiBlits, MonochromeConversions) {
  // Colour to monochrome: the source's background colour becomes white,
  // everything else black.
  Canvas colour(3, 1);
  SetPixel(colour.dc, 0, 0, kRed);
  SetPixel(colour.dc, 1, 0, kBlue);
  SetPixel(colour.dc, 2, 0, kRed);
  SetBkColor(colour.dc, kRed);
  HDC mdc = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateBitmap(3, 1, 1, 1, nullptr);
  HGDIOBJ old = SelectObject(mdc, mono);
  BitBlt(mdc, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(mdc, 0, 0), kWhite);
  EXPECT_EQ(GetPixel(mdc, 1, 0), kBlack);
  // Monochrome to colour: black takes the text colour, white the background.
  Canvas out(3, 1);
  SetTextColor(out.dc, RGB(1, 2, 3));
  SetBkColor(out.dc, RGB(9, 8, 7));
  BitBlt(out.dc, 0, 0, 3, 1, mdc, 0, 0, SRCCOPY);
  EXPECT_EQ(out.At(0, 0), RGB(9, 8, 7));
  EXPECT_EQ(out.At(1, 0), RGB(1, 2, 3));
  // A memory DC still holding its default bitmap makes monochrome bitmaps.
  HDC fresh = CreateCompatibleDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(fresh, 5, 5);
  BITMAP bm;
  GetObjectW(b, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  DeleteObject(b);
  DeleteDC(fresh);
  SelectObject(mdc, old);
  DeleteObject(mono);
  DeleteDC(mdc);
}

TEST(GdiBlits, StretchDIBitsFromPalettedBottomUpPicture) {
  struct {
    BITMAPINFO info;
  } dib;
  dib.info.bmiHeader.biWidth = 3;
  dib.info.bmiHeader.biHeight = 2;  // bottom-up
  dib.info.bmiHeader.biBitCount = 8;
  dib.info.bmiHeader.biClrUsed = 3;
  dib.info.bmiColors[0] = RGBQUAD{0, 0, 0, 0};
  dib.info.bmiColors[1] = RGBQUAD{0, 0, 255, 0};    // red
  dib.info.bmiColors[2] = RGBQUAD{255, 0, 0, 0};    // blue
  const uint8_t bits[8] = {1, 1, 1, 0, 2, 0, 2, 0};  // rows of 4 bytes; first row is the bottom one
  Canvas cv(6, 4);
  StretchDIBits(cv.dc, 0, 0, 6, 4, 0, 0, 3, 2, bits, &dib.info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(cv.At(0, 0), kBlue);   // top row from the second stored row
  EXPECT_EQ(cv.At(2, 0), kBlack);
  EXPECT_EQ(cv.At(0, 3), kRed);    // bottom row from the first stored row
  EXPECT_EQ(cv.At(5, 3), kRed);
}

TEST(GdiFrames, FocusRectTwiceRestoresAndEdgesUseSystemColours) {
  Canvas cv(20, 20);
  std::vector<COLORREF> before = cv.All(20, 20);
  RECT r{2, 2, 15, 12};
  DrawFocusRect(cv.dc, &r);
  EXPECT_NE(cv.All(20, 20), before);
  DrawFocusRect(cv.dc, &r);
  EXPECT_EQ(cv.All(20, 20), before);

  RECT e{0, 0, 10, 10};
  DrawEdge(cv.dc, &e, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  EXPECT_EQ(cv.At(0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(cv.At(9, 9), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(cv.At(1, 1), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(e.left, 2);
  EXPECT_EQ(e.bottom, 8);
}

TEST(GdiFrames, FrameControlStatesDiffer) {
  struct Case {
    const char* name;
    UINT a, b;
  };
  const Case cases[] = {
      {"check box checked", DFCS_BUTTONCHECK, DFCS_BUTTONCHECK | DFCS_CHECKED},
      {"check box inactive", DFCS_BUTTONCHECK | DFCS_CHECKED, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE},
      {"radio checked", DFCS_BUTTONRADIO, DFCS_BUTTONRADIO | DFCS_CHECKED},
      {"radio pushed", DFCS_BUTTONRADIO, DFCS_BUTTONRADIO | DFCS_PUSHED},
      {"push pushed", DFCS_BUTTONPUSH, DFCS_BUTTONPUSH | DFCS_PUSHED},
      {"push checked", DFCS_BUTTONPUSH, DFCS_BUTTONPUSH | DFCS_CHECKED},
  };
  for (const Case& c : cases) {
    Canvas one(20, 20), two(20, 20);
    RECT r{2, 2, 17, 17};
    DrawFrameControl(one.dc, &r, DFC_BUTTON, c.a);
    DrawFrameControl(two.dc, &r, DFC_BUTTON, c.b);
    EXPECT_NE(one.All(20, 20), two.All(20, 20)) << c.name;
    EXPECT_EQ(one.At(0, 0), kWhite) << c.name;  // nothing outside the rectangle
  }
  Canvas push(20, 10);
  RECT r{0, 0, 20, 10};
  DrawFrameControl(push.dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH);
  EXPECT_EQ(push.At(10, 5), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(push.At(19, 9), GetSysColor(COLOR_3DDKSHADOW));
}

TEST(GdiSystem, FixedColoursAndMetrics) {
  struct ColourCase {
    int index;
    COLORREF value;
  };
  const ColourCase colours[] = {{COLOR_WINDOW, RGB(255, 255, 255)},  {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
                                {COLOR_BTNFACE, RGB(240, 240, 240)}, {COLOR_BTNSHADOW, RGB(160, 160, 160)},
                                {COLOR_HIGHLIGHT, RGB(51, 153, 255)}, {COLOR_GRAYTEXT, RGB(109, 109, 109)},
                                {COLOR_3DDKSHADOW, RGB(105, 105, 105)}, {COLOR_HOTLIGHT, RGB(0, 102, 204)}};
  for (const auto& c : colours) EXPECT_EQ(GetSysColor(c.index), c.value) << c.index;
  EXPECT_EQ(GetSysColor(99), 0u);
  struct MetricCase {
    int index;
    int value;
  };
  const MetricCase metrics[] = {{SM_CXVSCROLL, 17}, {SM_CXSIZE, 18}, {SM_CXEDGE, 2}, {SM_CXBORDER, 1},
                                {SM_CXDOUBLECLK, 4}, {SM_CXSCREEN, 1920}, {SM_CYSCREEN, 1080}, {SM_CYCAPTION, 22}};
  for (const auto& m : metrics) EXPECT_EQ(GetSystemMetrics(m.index), m.value) << m.index;
  EXPECT_EQ(GetSystemMetrics(999), 0);
}

// Counts the pixels of a colour in the rectangle.
int CountOf(const Canvas& cv, RECT r, COLORREF c) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += cv.At(x, y) == c;
  return n;
}

// The bounding box of the pixels of a colour.
RECT BoxOf(const Canvas& cv, RECT r, COLORREF c) {
  RECT b{r.right, r.bottom, r.left, r.top};
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (cv.At(x, y) == c) {
        b.left = std::min<LONG>(b.left, x), b.top = std::min<LONG>(b.top, y);
        b.right = std::max<LONG>(b.right, x + 1), b.bottom = std::max<LONG>(b.bottom, y + 1);
      }
  return b;
}

TEST(GdiFrames, GlyphsFillTheirRectangle) {
  struct Case {
    const char* name;
    UINT type, state;
    COLORREF glyph;
    int minExtent;  // of the glyph's box, in pixels, in a 48x48 rectangle
  };
  const COLORREF text = GetSysColor(COLOR_BTNTEXT);
  const Case cases[] = {
      {"check mark", DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED, GetSysColor(COLOR_WINDOWTEXT), 30},
      {"radio dot", DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED, GetSysColor(COLOR_WINDOWTEXT), 12},
      {"scroll up", DFC_SCROLL, DFCS_SCROLLUP, text, 20},
      {"scroll right", DFC_SCROLL, DFCS_SCROLLRIGHT, text, 20},
      {"combo arrow", DFC_SCROLL, DFCS_SCROLLCOMBOBOX, text, 20},
      {"caption close", DFC_CAPTION, DFCS_CAPTIONCLOSE, text, 20},
      {"caption max", DFC_CAPTION, DFCS_CAPTIONMAX, text, 20},
      {"menu check", DFC_MENU, DFCS_MENUCHECK, kBlack, 30},
      {"menu arrow", DFC_MENU, DFCS_MENUARROW, kBlack, 20},
  };
  for (const Case& c : cases) {
    Canvas cv(52, 52);
    RECT r{2, 2, 50, 50};
    ASSERT_TRUE(DrawFrameControl(cv.dc, &r, c.type, c.state)) << c.name;
    RECT box = BoxOf(cv, r, c.glyph);
    EXPECT_GE(std::max(box.right - box.left, box.bottom - box.top), c.minExtent) << c.name;
    EXPECT_EQ(cv.At(0, 0), kWhite) << c.name;  // nothing outside the rectangle
    EXPECT_EQ(cv.At(51, 51), kWhite) << c.name;
  }
  // Menu glyphs are black on white; pushed caption buttons move the glyph.
  Canvas menu(20, 20);
  RECT m{0, 0, 20, 20};
  DrawFrameControl(menu.dc, &m, DFC_MENU, DFCS_MENUBULLET);
  EXPECT_EQ(CountOf(menu, m, kBlack) + CountOf(menu, m, kWhite), 400);
  Canvas up(30, 30), down(30, 30);
  RECT c{0, 0, 30, 30};
  DrawFrameControl(up.dc, &c, DFC_CAPTION, DFCS_CAPTIONCLOSE);
  DrawFrameControl(down.dc, &c, DFC_CAPTION, DFCS_CAPTIONCLOSE | DFCS_PUSHED);
  RECT a = BoxOf(up, c, text), b = BoxOf(down, c, text);
  EXPECT_EQ(b.left, a.left + 1);
  EXPECT_EQ(b.top, a.top + 1);
  EXPECT_FALSE(DrawFrameControl(up.dc, &c, 99, 0));
}

TEST(GdiFrames, IndeterminateCheckBoxIsGrey) {
  Canvas checked(20, 20), mixed(20, 20);
  RECT r{2, 2, 15, 15};
  DrawFrameControl(checked.dc, &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  DrawFrameControl(mixed.dc, &r, DFC_BUTTON, DFCS_BUTTON3STATE | DFCS_CHECKED);
  RECT inside{4, 4, 13, 13};
  EXPECT_GT(CountOf(checked, inside, GetSysColor(COLOR_WINDOWTEXT)), 10);
  EXPECT_EQ(CountOf(mixed, inside, GetSysColor(COLOR_WINDOWTEXT)), 0);
  EXPECT_EQ(CountOf(mixed, inside, GetSysColor(COLOR_BTNSHADOW)),
            CountOf(checked, inside, GetSysColor(COLOR_WINDOWTEXT)));  // the same mark, grey
  EXPECT_GT(CountOf(mixed, inside, GetSysColor(COLOR_BTNFACE)), 30);
}

TEST(GdiGradients, RectanglesInterpolateAcrossOrDown) {
  TRIVERTEX v[2];
  v[0].x = 0, v[0].y = 0, v[0].Red = 0, v[0].Green = 0, v[0].Blue = 0xFF00;
  v[1].x = 101, v[1].y = 10, v[1].Red = 0xFF00, v[1].Green = 0, v[1].Blue = 0;
  GRADIENT_RECT gr{0, 1};
  Canvas h(120, 20);
  ASSERT_TRUE(GradientFill(h.dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(h.At(0, 5), RGB(0, 0, 255));
  EXPECT_EQ(h.At(100, 5), RGB(255, 0, 0));
  EXPECT_EQ(h.At(50, 5), RGB(127, 0, 127));
  EXPECT_EQ(h.At(50, 10), kWhite);   // bottom edge excluded
  EXPECT_EQ(h.At(101, 5), kWhite);   // right edge excluded
  Canvas vert(20, 120);
  v[1].x = 10, v[1].y = 101;
  ASSERT_TRUE(GradientFill(vert.dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(vert.At(5, 0), RGB(0, 0, 255));
  EXPECT_EQ(vert.At(5, 100), RGB(255, 0, 0));
  GRADIENT_RECT bad{0, 2};
  EXPECT_FALSE(GradientFill(vert.dc, v, 2, &bad, 1, GRADIENT_FILL_RECT_V));
  EXPECT_FALSE(GradientFill(vert.dc, v, 2, &gr, 1, 2));  // triangles are not drawn
}

TEST(GdiText, DisabledTextIsEmbossed) {
  Canvas cv(80, 30);
  RECT all{0, 0, 80, 30};
  FillRect(cv.dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  WString text = u"禁用";
  HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, u"宋体");
  HGDIOBJ oldFont = SelectObject(cv.dc, font);
  ASSERT_TRUE(DrawStateW(cv.dc, nullptr, nullptr, reinterpret_cast<LPARAM>(text.c_str()), 0, 5, 5, 0, 0,
                         DST_TEXT | DSS_DISABLED));
  RECT shadow = BoxOf(cv, all, GetSysColor(COLOR_BTNSHADOW));
  RECT light = BoxOf(cv, all, GetSysColor(COLOR_BTNHIGHLIGHT));
  ASSERT_LT(shadow.left, shadow.right);
  ASSERT_LT(light.left, light.right);
  EXPECT_EQ(light.right, shadow.right + 1);   // the highlight one pixel down and right
  EXPECT_EQ(light.bottom, shadow.bottom + 1);
  Canvas normal(80, 30);
  SetTextColor(normal.dc, kRed);
  SelectObject(normal.dc, font);
  DrawStateW(normal.dc, nullptr, nullptr, reinterpret_cast<LPARAM>(text.c_str()), 0, 5, 5, 0, 0, DST_TEXT);
  EXPECT_GT(CountOf(normal, all, kRed), 10);
  EXPECT_FALSE(DrawStateW(normal.dc, nullptr, nullptr, 0, 0, 5, 5, 0, 0, DST_TEXT));
  SelectObject(cv.dc, oldFont);
  DeleteObject(font);
}

// Blits read the source in place; within one picture an overlapping copy
// still moves the original pixels, in every direction, and a source outside
// the picture reads black.
TEST(GdiBlits, WithinOnePictureAndOutsideTheSource) {
  auto paint = [](Canvas& cv) {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) SetPixel(cv.dc, x, y, RGB(x * 16, y * 16, 7));
  };
  struct Case {
    const char* name;
    int x, y, sx, sy;
  };
  const Case cases[] = {
      {"right", 3, 0, 0, 0}, {"left", 0, 0, 3, 0}, {"down", 0, 3, 0, 0}, {"up", 0, 0, 0, 3},
      {"diagonal", 2, 2, 0, 0}, {"apart", 10, 10, 0, 0}};
  for (const Case& c : cases) {
    Canvas cv(16, 16);
    paint(cv);
    ASSERT_TRUE(BitBlt(cv.dc, c.x, c.y, 6, 6, cv.dc, c.sx, c.sy, SRCCOPY)) << c.name;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x)
        ASSERT_EQ(cv.At(c.x + x, c.y + y), RGB((c.sx + x) * 16, (c.sy + y) * 16, 7)) << c.name << " " << x << "," << y;
  }
  Canvas from(8, 8), to(8, 8);
  paint(from);
  ASSERT_TRUE(BitBlt(to.dc, 0, 0, 8, 8, from.dc, 4, 4, SRCCOPY));
  EXPECT_EQ(to.At(0, 0), RGB(64, 64, 7));
  EXPECT_EQ(to.At(3, 3), RGB(112, 112, 7));
  EXPECT_EQ(to.At(4, 4), kBlack);  // beyond the source picture
  ASSERT_TRUE(BitBlt(to.dc, 0, 0, 2, 2, from.dc, 0, 0, SRCINVERT));  // other operations read in place too
  EXPECT_EQ(to.At(1, 1), RGB(80 ^ 16, 80 ^ 16, 0));
}

// Pie and Arc run counter-clockwise from the first radial point to the
// second; equal points make a full turn.
TEST(GdiShapes, PieAndArcFollowTheRadialPoints) {
  HBRUSH red = CreateSolidBrush(kRed);
  HPEN blue = CreatePen(PS_SOLID, 1, kBlue);
  struct Case {
    const char* name;
    int x1, y1, x2, y2;
    bool topRight, bottomLeft;  // whether those quadrants are filled
  };
  const Case cases[] = {{"first quadrant", 40, 20, 20, 0, true, false},
                        {"three quadrants", 20, 0, 40, 20, false, true},
                        {"full turn", 40, 20, 40, 20, true, true}};
  for (const Case& c : cases) {
    Canvas cv(41, 41);
    HGDIOBJ ob = SelectObject(cv.dc, red), op = SelectObject(cv.dc, blue);
    ASSERT_TRUE(Pie(cv.dc, 0, 0, 40, 40, c.x1, c.y1, c.x2, c.y2)) << c.name;
    EXPECT_EQ(cv.At(28, 12) == kRed, c.topRight) << c.name;
    EXPECT_EQ(cv.At(12, 28) == kRed, c.bottomLeft) << c.name;
    Canvas arc(41, 41);
    SelectObject(arc.dc, blue);
    ASSERT_TRUE(Arc(arc.dc, 0, 0, 40, 40, c.x1, c.y1, c.x2, c.y2)) << c.name;
    RECT tr{22, 0, 41, 18}, bl{0, 22, 18, 41};
    EXPECT_EQ(CountOf(arc, tr, kBlue) > 0, c.topRight) << c.name;
    EXPECT_EQ(CountOf(arc, bl, kBlue) > 0, c.bottomLeft) << c.name;
    SelectObject(cv.dc, ob);
    SelectObject(cv.dc, op);
    SelectObject(arc.dc, GetStockObject(BLACK_PEN));
  }
  DeleteObject(red);
  DeleteObject(blue);
}

}  // namespace
