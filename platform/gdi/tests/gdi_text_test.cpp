// Fonts and text: DrawText alignment, clipping, ellipsis and line breaks,
// the height convention, and the UI faces served through the alias file.
#include "platform/gdi/gdi_internal.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPainter>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

void LoadAliasesOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    EnsureGuiApplication();
    ASSERT_TRUE(LoadFontAliases(std::string(ORV_SOURCE_DIR) + "/res/fonts.conf"));
  });
}

HFONT MakeFont(int height, const char16_t* face) {
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 32, face);
}

class TextCanvas {
 public:
  TextCanvas(int w, int h, HFONT font) : w_(w), h_(h) {
    LoadAliasesOnce();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateBitmap(w, h, 1, 32, nullptr);
    oldBitmap = SelectObject(dc, bitmap);
    Clear();
    if (font) oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
  }
  ~TextCanvas() {
    if (oldFont) SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Clear() {
    RECT all{0, 0, w_, h_};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  // The bounding box of every pixel that is not white; empty when none.
  RECT Ink() const {
    RECT r{w_, h_, -1, -1};
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        if (GetPixel(dc, x, y) == kWhite) continue;
        r.left = std::min<LONG>(r.left, x);
        r.top = std::min<LONG>(r.top, y);
        r.right = std::max<LONG>(r.right, x + 1);
        r.bottom = std::max<LONG>(r.bottom, y + 1);
      }
    if (r.right < 0) return RECT{};
    return r;
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  HGDIOBJ oldFont = nullptr;

 private:
  int w_, h_;
};

TEST(GdiText, AlignmentWithinTheRectangle) {
  HFONT font = MakeFont(-16, u"宋体");
  TextCanvas cv(200, 40, font);
  RECT box{10, 5, 190, 35};
  struct Case {
    const char* name;
    UINT format;
  };
  const Case cases[] = {{"left", DT_LEFT}, {"center", DT_CENTER}, {"right", DT_RIGHT}};
  std::vector<RECT> inks;
  for (const Case& c : cases) {
    cv.Clear();
    RECT r = box;
    DrawTextW(cv.dc, u"行情 123", -1, &r, c.format | DT_SINGLELINE | DT_VCENTER);
    inks.push_back(cv.Ink());
    EXPECT_GE(inks.back().left, box.left) << c.name;
    EXPECT_LE(inks.back().right, box.right) << c.name;
  }
  EXPECT_LT(inks[0].left, box.left + 4);
  EXPECT_GT(inks[2].right, box.right - 4);
  int centre = (inks[1].left + inks[1].right) / 2;
  EXPECT_NEAR(centre, (box.left + box.right) / 2, 3);
  // Vertically centred: equal room above and below, within a few pixels.
  EXPECT_NEAR(inks[0].top - box.top, box.bottom - inks[0].bottom, 6);
  DeleteObject(font);
}

TEST(GdiText, CalcRectMeasuresWithoutDrawing) {
  HFONT font = MakeFont(-12, u"宋体");
  TextCanvas cv(300, 100, font);
  SIZE extent;
  GetTextExtentPoint32W(cv.dc, u"上证指数", 4, &extent);
  RECT r{5, 5, 5, 5};
  int height = DrawTextW(cv.dc, u"上证指数", -1, &r, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r.right - r.left, extent.cx);
  EXPECT_EQ(r.bottom - r.top, height);
  EXPECT_EQ(cv.Ink().right, 0);  // nothing drawn
  // Word breaking: a narrow box gives several lines of the font's height.
  TEXTMETRICW tm;
  GetTextMetricsW(cv.dc, &tm);
  RECT wrap{0, 0, 60, 0};
  int h = DrawTextW(cv.dc, u"one two three four", -1, &wrap, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GE(h, 2 * tm.tmHeight);
  EXPECT_EQ(h % tm.tmHeight, 0);
  EXPECT_LE(wrap.right, 60);
  RECT lines{0, 0, 300, 0};
  EXPECT_EQ(DrawTextW(cv.dc, u"a\r\nb\nc", -1, &lines, DT_CALCRECT), 3 * tm.tmHeight);
  DeleteObject(font);
}

TEST(GdiText, ClippedUnlessNoClipAndEllipsisFits) {
  HFONT font = MakeFont(-16, u"宋体");
  TextCanvas cv(300, 40, font);
  const char16_t* text = u"一段很长很长的文字会被截断 abcdefghijklmnop";
  RECT box{10, 5, 110, 35};
  RECT r = box;
  DrawTextW(cv.dc, text, -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
  EXPECT_LE(cv.Ink().right, box.right);
  cv.Clear();
  r = box;
  DrawTextW(cv.dc, text, -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
  EXPECT_GT(cv.Ink().right, box.right);
  cv.Clear();
  r = box;
  DrawTextW(cv.dc, text, -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOCLIP);
  EXPECT_LE(cv.Ink().right, box.right);
  EXPECT_GT(cv.Ink().right, box.right - 20);
  DeleteObject(font);
}

TEST(GdiText, OpaqueBackgroundAndTextColour) {
  HFONT font = MakeFont(-14, u"宋体");
  TextCanvas cv(100, 30, font);
  SetBkMode(cv.dc, OPAQUE);
  SetBkColor(cv.dc, RGB(0, 0, 255));
  SetTextColor(cv.dc, RGB(255, 0, 0));
  RECT r{0, 0, 100, 30};
  DrawTextW(cv.dc, u"MMMM", -1, &r, DT_LEFT | DT_TOP | DT_SINGLELINE);
  EXPECT_EQ(GetPixel(cv.dc, 0, 0), RGB(0, 0, 255));
  bool red = false;
  for (int x = 0; x < 40 && !red; ++x)
    for (int y = 0; y < 16 && !red; ++y) red = GetPixel(cv.dc, x, y) == RGB(255, 0, 0);
  EXPECT_TRUE(red);
  EXPECT_EQ(GetPixel(cv.dc, 99, 29), kWhite);
  DeleteObject(font);
}

TEST(GdiFonts, HeightConvention) {
  LoadAliasesOnce();
  HDC dc = CreateCompatibleDC(nullptr);
  struct Case {
    const char* name;
    int height;
  };
  const Case cases[] = {{"cell 16", 16}, {"cell 20", 20}, {"character 12", -12}, {"character 18", -18}};
  for (const Case& c : cases) {
    HFONT font = MakeFont(c.height, u"微软雅黑");
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    if (c.height > 0)
      EXPECT_NEAR(tm.tmHeight, c.height, 1) << c.name;
    else
      EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, -c.height, 1) << c.name;
    SelectObject(dc, old);
    DeleteObject(font);
  }
  // The default GUI font is what a fresh DC measures with.
  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  EXPECT_GT(tm.tmHeight, 10);
  WCHAR face[LF_FACESIZE];
  GetTextFaceW(dc, LF_FACESIZE, face);
  EXPECT_EQ(WString(face), u"宋体");
  DeleteDC(dc);
}

int CollectFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM param) {
  reinterpret_cast<std::vector<WString>*>(param)->push_back(WString(lf->lfFaceName));
  return 1;
}

TEST(GdiFonts, AliasFacesAreEnumeratedAndServedByCjkFaces) {
  LoadAliasesOnce();
  std::vector<WString> faces;
  EnumFontsW(nullptr, nullptr, CollectFace, reinterpret_cast<LPARAM>(&faces));
  EXPECT_NE(std::find(faces.begin(), faces.end(), u"微软雅黑"), faces.end());
  EXPECT_NE(std::find(faces.begin(), faces.end(), u"宋体"), faces.end());
  std::vector<WString> only;
  EnumFontsW(nullptr, u"微软雅黑", CollectFace, reinterpret_cast<LPARAM>(&only));
  ASSERT_EQ(only.size(), 1u);

  struct Case {
    const char16_t* face;
    const char* served;
  };
  const Case cases[] = {{u"微软雅黑", "WenQuanYi Micro Hei"}, {u"宋体", "WenQuanYi Zen Hei"}};
  for (const Case& c : cases) {
    HFONT font = MakeFont(-16, c.face);
    QFontInfo info(*GetQFont(font));
    EXPECT_EQ(info.family().toStdString(), c.served);
    DeleteObject(font);
  }
}

TEST(GdiFonts, ChineseTextIsDrawnWithTheCjkFace) {
  // The same text through the alias and through the real face gives the
  // same pixels.
  HFONT alias = MakeFont(-16, u"微软雅黑");
  HFONT real = MakeFont(-16, u"WenQuanYi Micro Hei");
  TextCanvas a(120, 24, alias), b(120, 24, real);
  RECT r{0, 0, 120, 24};
  DrawTextW(a.dc, u"涨跌幅", -1, &r, DT_SINGLELINE);
  r = RECT{0, 0, 120, 24};
  DrawTextW(b.dc, u"涨跌幅", -1, &r, DT_SINGLELINE);
  RECT ink = a.Ink();
  EXPECT_GT(ink.right - ink.left, 30);  // three ideographs of 16 pixels
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 120; ++x) ASSERT_EQ(GetPixel(a.dc, x, y), GetPixel(b.dc, x, y)) << x << "," << y;
  DeleteObject(alias);
  DeleteObject(real);
}

}  // namespace

namespace {

// The alias file found below the working directory is handed to fontconfig
// by its absolute path (fontconfig would resolve a relative one against its
// own folder and refuse it).
TEST(GdiFontAliases, RelativePathIsResolvedAgainstTheWorkingDirectory) {
  EnsureGuiApplication();
  namespace fs = std::filesystem;
  fs::path dir = fs::path(ORV_BINARY_DIR) / ("gdi_alias_" + std::to_string(getpid()));
  fs::create_directories(dir / "res");
  fs::copy_file(fs::path(ORV_SOURCE_DIR) / "res/fonts.conf", dir / "res/fonts.conf",
                fs::copy_options::overwrite_existing);
  fs::path before = fs::current_path();
  fs::current_path(dir);
  bool loaded = LoadFontAliases("res/fonts.conf");
  fs::current_path(before);
  fs::remove_all(dir);
  EXPECT_TRUE(loaded);
}

}  // namespace

namespace {

// Texts drawn from the shaping cache are the very pixels QPainter draws for
// the same font, the first time and again from the cache.
TEST(GdiText, CachedShapingDrawsWhatQPainterDraws) {
  LoadAliasesOnce();
  struct Case {
    const char16_t* face;
    int height;
    DWORD quality;
    const char16_t* text;
  };
  const Case cases[] = {{u"宋体", -12, ANTIALIASED_QUALITY, u"浦发银行 600000"},
                        {u"微软雅黑", -16, CLEARTYPE_QUALITY, u"+10.02%"},
                        {u"宋体", -14, NONANTIALIASED_QUALITY, u"成交量 12345手"}};
  for (const Case& c : cases) {
    HFONT font = CreateFontW(c.height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, c.quality, 0, c.face);
    TextCanvas cv(200, 30, font);
    QImage reference(200, 30, QImage::Format_RGB32);
    reference.fill(Qt::white);
    {
      QPainter p(&reference);
      p.setRenderHint(QPainter::TextAntialiasing, c.quality != NONANTIALIASED_QUALITY);
      p.setFont(*GetQFont(font));
      p.setPen(Qt::black);
      TEXTMETRICW tm;
      GetTextMetricsW(cv.dc, &tm);
      p.drawText(QPoint(3, 4 + tm.tmAscent), QString::fromStdU16String(c.text));
    }
    for (int round = 0; round < 2; ++round) {
      cv.Clear();
      RECT r{3, 4, 200, 30};
      DrawTextW(cv.dc, c.text, -1, &r, DT_SINGLELINE | DT_NOPREFIX);
      int differ = 0;
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x) {
          QRgb q = reference.pixel(x, y);
          differ += GetPixel(cv.dc, x, y) != RGB(qRed(q), qGreen(q), qBlue(q));
        }
      EXPECT_EQ(differ, 0) << QString::fromStdU16String(c.text).toStdString() << " round " << round;
    }
    SelectObject(cv.dc, GetStockObject(DEFAULT_GUI_FONT));
    cv.oldFont = nullptr;
    DeleteObject(font);
  }
}

}  // namespace
