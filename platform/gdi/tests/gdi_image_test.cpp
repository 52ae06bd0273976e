// Pictures through CImage: PNG with alpha, BMP and JPEG files, drawn,
// stretched, keyed and blended.
#include "platform/mfc/afx.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string TempPath(const char* name) {
  return std::string(ORV_BINARY_DIR) + "/gdi_image_" + std::to_string(getpid()) + "_" + name;
}

// A 4x2 picture: magenta key pixels in column 0, half-transparent white in
// column 3 (when alpha is kept), red elsewhere.
QImage Sample(bool alpha) {
  QImage img(4, 2, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  for (int y = 0; y < 2; ++y) {
    img.setPixel(0, y, 0xFFFF00FFu);
    img.setPixel(1, y, 0xFFFF0000u);
    img.setPixel(2, y, 0xFFFF0000u);
    img.setPixel(3, y, alpha ? 0x80FFFFFFu : 0xFF00FF00u);
  }
  return img;
}

class Target {
 public:
  Target() {
    dc = CreateCompatibleDC(nullptr);
    bmp = CreateBitmap(16, 8, 1, 32, nullptr);  // black
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

TEST(CImageFiles, LoadsPngBmpAndJpeg) {
  EnsureGuiApplication();
  struct Case {
    const char* name;
    const char* format;
    bool alpha;
    int bpp;
  };
  const Case cases[] = {{"a.png", "PNG", true, 32}, {"b.bmp", "BMP", false, 24}, {"c.jpg", "JPEG", false, 24}};
  for (const Case& c : cases) {
    std::string path = TempPath(c.name);
    ASSERT_TRUE(Sample(c.alpha).save(QString::fromStdString(path), c.format)) << c.name;
    CImage image;
    // Paths may use the platform's backslash.
    std::string windowsPath = path;
    for (char& ch : windowsPath)
      if (ch == '/') ch = '\\';
    EXPECT_EQ(image.Load(windowsPath), S_OK) << c.name;
    EXPECT_EQ(image.GetWidth(), 4) << c.name;
    EXPECT_EQ(image.GetHeight(), 2) << c.name;
    EXPECT_EQ(image.GetBPP(), c.bpp) << c.name;
    std::remove(path.c_str());
  }
  CImage missing;
  EXPECT_EQ(missing.Load(TempPath("none.png")), E_FAIL);
  EXPECT_TRUE(missing.IsNull());
  EXPECT_FALSE(missing.Draw(nullptr, 0, 0));
}

TEST(CImageFiles, DrawStretchesKeysAndBlends) {
  EnsureGuiApplication();
  std::string path = TempPath("d.png");
  ASSERT_TRUE(Sample(true).save(QString::fromStdString(path), "PNG"));
  CImage image;
  ASSERT_EQ(image.Load(path), S_OK);
  std::remove(path.c_str());
  {
    Target t;
    image.Draw(t.dc, 0, 0, 8, 4);  // stretched twice, blended by alpha
    EXPECT_EQ(GetPixel(t.dc, 2, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 5, 3), RGB(255, 0, 0));
    COLORREF half = GetPixel(t.dc, 7, 0);
    EXPECT_NEAR(GetRValue(half), 128, 2);
    EXPECT_EQ(GetPixel(t.dc, 9, 0), RGB(0, 0, 0));
  }
  {
    Target t;
    image.TransparentBlt(t.dc, 0, 0, 4, 2, RGB(255, 0, 255));
    EXPECT_EQ(GetPixel(t.dc, 0, 0), RGB(0, 0, 0));  // the key colour is skipped
    EXPECT_EQ(GetPixel(t.dc, 1, 0), RGB(255, 0, 0));
  }
  {
    Target t;
    image.StretchBlt(t.dc, 0, 0, 4, 2, SRCCOPY);
    EXPECT_EQ(GetPixel(t.dc, 0, 1), RGB(255, 0, 255));
  }
  {
    // One frame of a strip: columns 1..2 (red) stretched over 6 pixels,
    // nothing outside the destination.
    Target t;
    image.StretchBlt(t.dc, RECT{2, 0, 8, 4}, RECT{1, 0, 3, 2});
    EXPECT_EQ(GetPixel(t.dc, 2, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 7, 3), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 8, 0), RGB(0, 0, 0));
  }
  {
    // Columns 0..1 (key, red) doubled: the key's half stays untouched.
    Target t;
    image.TransparentBlt(t.dc, RECT{0, 0, 4, 2}, RECT{0, 0, 2, 2}, RGB(255, 0, 255));
    EXPECT_EQ(GetPixel(t.dc, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 1, 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 2, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 3, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(t.dc, 4, 0), RGB(0, 0, 0));
  }
}

TEST(Clipboard, TextRoundTrip) {
  SetClipboardText(u"600000 浦发银行");
  EXPECT_EQ(GetClipboardText(), u"600000 浦发银行");
}

}  // namespace
