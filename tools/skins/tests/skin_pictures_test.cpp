// The pictures and text files of the build's program folder, checked
// against the sizes, formats and frame layouts the windows draw them with.
// The table is this test's own, so a wrong description fails here.
#include "controls/gif_decoder.h"
#include "foundation/config_store.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_global_memory.h"
#include "platform/kernel/kernel_ini.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/gdi/win_gdi.h"
#include "tools/skins/tests/temp_folder.h"

#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

enum class Kind { Opaque, Alpha, Key };
enum class Text { None, Dark, Light };  // the caption colour drawn over the picture

struct Picture {
  const char* path;  // as the windows write it
  int width, height;
  const char* format;  // as QImageReader names it
  Kind kind;
  Text text;
  unsigned key;  // 0xRRGGBB for Kind::Key
};

constexpr unsigned kNoKey = 0;

const std::vector<Picture>& Table() {
  static const std::vector<Picture> table = {
      {"res\\status.png", 64, 20, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\statusgap.png", 2, 20, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\grid_head_bg.png", 64, 26, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\Tag.png", 8, 8, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\drag.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\background.png", 353, 190, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\key.png", 32, 28, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\other.png", 64, 28, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\enter.png", 70, 28, "png", Kind::Opaque, Text::None, kNoKey},
      {"login_res\\VexloStart.gif", 583, 270, "gif", Kind::Opaque, Text::None, kNoKey},
      {"res\\bitmap\\147.bmp", 144, 48, "bmp", Kind::Opaque, Text::None, kNoKey},
      {"res\\bitmap\\154.bmp", 144, 48, "bmp", Kind::Opaque, Text::None, kNoKey},
      {"res\\icon\\128.png", 48, 48, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\bar.png", 16, 40, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\logo.png", 198, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\gap.png", 2, 28, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\barbtn.png", 96, 28, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\dBar.png", 96, 28, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\dgap.png", 2, 28, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\BackUp.png", 31, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\BackDown.png", 31, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\ForwordUp.png", 31, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\ForwordDown.png", 31, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\MinUp.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\MinDown.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\MaxUp.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\MaxDown.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\RestoreUp.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\RestoreDown.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\CloseUp.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\CloseDown.png", 28, 40, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\tabbar_bg.png", 64, 32, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\tabbar_showmore.png", 17, 32, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\tabbar_btn.png", 360, 32, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\tabbar_close.png", 42, 14, "png", Kind::Key, Text::None, 0x494949},
      {"login_res\\login.png", 583, 87, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"login_res\\btnLogin.png", 81, 69, "png", Kind::Opaque, Text::None, kNoKey},
      {"login_res\\btnClose.png", 22, 22, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\update.png", 480, 300, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\updateBG.png", 480, 81, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\updateBtn.png", 56, 36, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\processBG.png", 470, 28, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\process.png", 470, 28, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\popmsg_bg.png", 260, 160, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\popmsg_close.png", 33, 26, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\popmsg_close_sel.png", 33, 26, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\popmsg_OK.png", 66, 22, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\popmsg_ok.png", 66, 22, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\quote_table_bg.png", 64, 20, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\quote_table_item_bg.png", 98, 20, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\quote_table_item_sel_bg.png", 98, 20, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\quote_table_item_v_bg.png", 22, 110, "png", Kind::Key, Text::None, 0xFF00FF},
      {"res\\quote_table_item_sel_v_bg.png", 22, 110, "png", Kind::Key, Text::None, 0xFF00FF},
      {"res\\quote_table_item_vl_bg.png", 22, 140, "png", Kind::Key, Text::None, 0xFF00FF},
      {"res\\quote_table_item_sel_vl_bg.png", 22, 140, "png", Kind::Key, Text::None, 0xFF00FF},
      {"res\\Tactical_title_bg.png", 64, 20, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\factor.png", 58, 16, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\F10_table_item_bg.png", 82, 20, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\F10_table_item_sel_bg.png", 82, 20, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\world_map.png", 600, 300, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\world_up.png", 10, 10, "png", Kind::Key, Text::None, 0xFFFFFF},
      {"res\\world_down.png", 10, 10, "png", Kind::Key, Text::None, 0xFFFFFF},
      {"res\\world_rise.png", 12, 12, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\world_fall.png", 12, 12, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\MainStatus_bg.png", 64, 30, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\trade_tab_item_bg.png", 98, 30, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\trade_tab_item_sel_bg.png", 98, 30, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\login_bg.png", 566, 416, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\Key.jpg", 18, 13, "jpeg", Kind::Opaque, Text::None, kNoKey},
      {"res\\InfoStatus_bg.png", 64, 30, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\trade_btn_bg.png", 51, 25, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\trade_btn_sel_bg.png", 51, 25, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\trade_sel_btn_bg.png", 51, 25, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\trade_min.png", 25, 30, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\trade_max.png", 25, 30, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\trade_close.png", 25, 30, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\deal_bg.png", 400, 300, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\buysale_bg.png", 200, 256, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\Query_bg.png", 64, 30, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\icon\\220.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\icon\\221.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\icon\\222.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\icon\\223.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\icon\\224.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\icon\\225.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\icon\\226.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\icon\\227.png", 16, 16, "png", Kind::Alpha, Text::None, kNoKey},
      {"res\\blog_head.png", 50, 50, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\blog_pic.png", 120, 80, "png", Kind::Opaque, Text::None, kNoKey},
      {"res\\btn_more.png", 96, 16, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\btn_moreleft.png", 76, 16, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\btn_moreright.png", 76, 16, "png", Kind::Opaque, Text::Light, kNoKey},
      {"res\\btn_import.png", 72, 16, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\btn_dhnow.png", 52, 20, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\btn_dhleft.png", 52, 20, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\btn_dhmid.png", 52, 20, "png", Kind::Opaque, Text::Dark, kNoKey},
      {"res\\btn_dhright.png", 52, 20, "png", Kind::Opaque, Text::Dark, kNoKey},
  };
  return table;
}

std::string InBuild(const std::string& path) { return std::string(ORV_BINARY_DIR) + "/" + NativePath(path); }

QImage Read(const std::string& path) {
  QImageReader reader(QString::fromStdString(InBuild(path)));
  reader.setDecideFormatFromContent(true);
  return reader.read();
}

unsigned Rgb(QRgb p) { return p & 0xFFFFFF; }

double Luminance(QRgb p) { return 0.2126 * qRed(p) + 0.7152 * qGreen(p) + 0.0722 * qBlue(p); }

double MeanLuminance(const QImage& image, const QRect& area) {
  double sum = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) sum += Luminance(image.pixel(x, y));
  return sum / (area.width() * area.height());
}

// The mean colour of an area as one number per channel, for comparing frames.
std::vector<double> MeanColour(const QImage& image, const QRect& area) {
  std::vector<double> mean(4, 0);
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = image.pixel(x, y);
      mean[0] += qRed(p), mean[1] += qGreen(p), mean[2] += qBlue(p), mean[3] += qAlpha(p);
    }
  for (double& v : mean) v /= area.width() * area.height();
  return mean;
}

bool SamePixels(const QImage& image, const QRect& a, const QRect& b) {
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (image.pixel(a.left() + x, a.top() + y) != image.pixel(b.left() + x, b.top() + y)) return false;
  return true;
}

int DistinctColours(const QImage& image, const QRect& area) {
  std::set<QRgb> colours;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) colours.insert(image.pixel(x, y));
  return static_cast<int>(colours.size());
}

TEST(SkinPictures, EveryPictureHasItsSizeFormatAndTransparency) {
  for (const Picture& p : Table()) {
    SCOPED_TRACE(p.path);
    QImageReader reader(QString::fromStdString(InBuild(p.path)));
    reader.setDecideFormatFromContent(true);
    EXPECT_EQ(reader.format().toStdString(), p.format);
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), p.width);
    EXPECT_EQ(image.height(), p.height);
    int translucent = 0, keyed = 0, magenta = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        translucent += qAlpha(image.pixel(x, y)) < 255;
        keyed += p.kind == Kind::Key && Rgb(image.pixel(x, y)) == p.key;
        magenta += Rgb(image.pixel(x, y)) == 0xFF00FF;
      }
    // Pictures drawn opaque would show the key colour as it is.
    if (p.kind == Kind::Opaque) {
      EXPECT_EQ(magenta, 0);
    }
    if (p.kind == Kind::Alpha) {
      EXPECT_GT(translucent, 0);
    } else {
      EXPECT_EQ(translucent, 0);
    }
    if (p.kind == Kind::Key) {
      EXPECT_GT(keyed, 0);
    }
  }
}

TEST(SkinPictures, CaptionsReadOnTheirPictures) {
  for (const Picture& p : Table()) {
    if (p.text == Text::None) continue;
    SCOPED_TRACE(p.path);
    const QImage image = Read(p.path);
    ASSERT_FALSE(image.isNull());
    const double mean = MeanLuminance(image, image.rect());
    if (p.text == Text::Dark) {
      EXPECT_GT(mean, 150) << "black captions need a light picture";
    } else {
      EXPECT_LT(mean, 90) << "white captions need a dark picture";
    }
  }
}

TEST(SkinPictures, TabBarFramesAndCloseStrip) {
  const QImage tabs = Read("res\\tabbar_btn.png");
  ASSERT_EQ(tabs.size(), QSize(360, 32));
  std::vector<std::vector<double>> means;
  for (int f = 0; f < 4; ++f) means.push_back(MeanColour(tabs, QRect(f * 90, 0, 90, 32)));
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < a; ++b) EXPECT_NE(means[a], means[b]) << "frames " << a << " and " << b;
  for (int f = 0; f < 2; ++f)
    for (int y = 0; y < 32; ++y)
      for (int x = f * 90; x < f * 90 + 90; ++x) ASSERT_EQ(qAlpha(tabs.pixel(x, y)), 255) << "home frame " << f;
  for (int f = 2; f < 4; ++f) {
    EXPECT_EQ(qAlpha(tabs.pixel(f * 90, 0)), 0) << "frame " << f;
    EXPECT_EQ(qAlpha(tabs.pixel(f * 90 + 89, 0)), 0) << "frame " << f;
    EXPECT_EQ(qAlpha(tabs.pixel(f * 90 + 45, 16)), 255) << "frame " << f;
  }

  const QImage close = Read("res\\tabbar_close.png");
  ASSERT_EQ(close.size(), QSize(42, 14));
  for (int f = 0; f < 3; ++f) {
    SCOPED_TRACE(f);
    for (const QPoint corner : {QPoint(0, 0), QPoint(13, 0), QPoint(0, 13), QPoint(13, 13)})
      EXPECT_EQ(Rgb(close.pixel(f * 14 + corner.x(), corner.y())), 0x494949u);
    EXPECT_NE(Rgb(close.pixel(f * 14 + 7, 7)), 0x494949u);
  }
  EXPECT_NE(MeanColour(close, QRect(0, 0, 14, 14)), MeanColour(close, QRect(14, 0, 14, 14)));
}

TEST(SkinPictures, VerticalTabsCutTheirOverlapInMagenta) {
  for (const char* path : {"res\\quote_table_item_v_bg.png", "res\\quote_table_item_sel_v_bg.png",
                           "res\\quote_table_item_vl_bg.png", "res\\quote_table_item_sel_vl_bg.png"}) {
    SCOPED_TRACE(path);
    const QImage image = Read(path);
    ASSERT_EQ(image.width(), 22);
    EXPECT_EQ(Rgb(image.pixel(0, 0)), 0xFF00FFu);
    EXPECT_EQ(Rgb(image.pixel(21, 0)), 0xFF00FFu);
    EXPECT_EQ(Rgb(image.pixel(0, 6)), 0xFF00FFu);
    EXPECT_EQ(Rgb(image.pixel(21, 6)), 0xFF00FFu);
    EXPECT_NE(Rgb(image.pixel(11, 0)), 0xFF00FFu);
    for (int y = 12; y < image.height(); ++y)
      for (int x = 0; x < 22; ++x) ASSERT_NE(Rgb(image.pixel(x, y)), 0xFF00FFu) << x << "," << y;
  }
}

TEST(SkinPictures, ScrollBarCellsShowTheirStatesGlyphsAndThumbEnds) {
  for (const char* path : {"res\\bitmap\\147.bmp", "res\\bitmap\\154.bmp"}) {
    SCOPED_TRACE(path);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(InBuild(path), &bytes));
    ASSERT_GT(bytes.size(), 30u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24) << "24 bits a pixel, no alpha";
    const QImage image = Read(path);
    ASSERT_EQ(image.size(), QSize(144, 48));
    EXPECT_FALSE(image.hasAlphaChannel());
    auto cell = [](int col, int row) { return QRect(col * 16, row * 16, 16, 16); };
    for (int col = 0; col < 8; ++col) {
      SCOPED_TRACE(col);
      EXPECT_FALSE(SamePixels(image, cell(col, 0), cell(col, 1)));
      EXPECT_FALSE(SamePixels(image, cell(col, 1), cell(col, 2)));
      EXPECT_FALSE(SamePixels(image, cell(col, 0), cell(col, 2)));
    }
    for (int row = 0; row < 3; ++row) {
      for (int col : {0, 1, 4, 5}) EXPECT_GT(DistinctColours(image, cell(col, row)), 2) << "arrow " << col;
      const QRect v = cell(2, row), h = cell(6, row);
      EXPECT_NE(MeanColour(image, QRect(v.left(), v.top(), 16, 3)), MeanColour(image, QRect(v.left(), v.top() + 6, 16, 4)));
      EXPECT_NE(MeanColour(image, QRect(v.left(), v.bottom() - 2, 16, 3)), MeanColour(image, QRect(v.left(), v.top() + 6, 16, 4)));
      EXPECT_NE(MeanColour(image, QRect(h.left(), h.top(), 3, 16)), MeanColour(image, QRect(h.left() + 6, h.top(), 4, 16)));
      EXPECT_NE(MeanColour(image, QRect(h.right() - 2, h.top(), 3, 16)), MeanColour(image, QRect(h.left() + 6, h.top(), 4, 16)));
    }
  }
}

TEST(SkinPictures, LoginAnimationDecodesIntoTwelveFrames) {
  const std::u16string path = Utf8ToWide(InBuild("login_res\\VexloStart.gif"));
  HGLOBAL block = LoadGifFrames(reinterpret_cast<const WCHAR*>(path.c_str()));
  ASSERT_NE(block, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(GlobalLock(block));
  auto u16 = [&](size_t at) { return bytes[at] | bytes[at + 1] << 8; };
  auto u32 = [&](size_t at) { return static_cast<unsigned>(u16(at) | u16(at + 2) << 16); };
  EXPECT_EQ(u16(4), 12);
  EXPECT_EQ(u32(8), 583u);
  EXPECT_EQ(u32(12), 270u);
  for (int i = 0; i < u16(4); ++i) {
    EXPECT_EQ(u32(20 + 8 * i), static_cast<unsigned>(i + 1));
    EXPECT_EQ(u32(24 + 8 * i), 100u) << "frame " << i;
  }
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(SkinTextFiles, ThemeNamesTabBarPicturesThatExist) {
  const std::string theme = InBuild("res/theme.ini");
  std::set<std::string> known;
  for (const Picture& p : Table()) known.insert(p.path);
  for (const char* key : {"tabbar_background", "tabbar_showmore", "tabbar_btnbackground", "tabbar_close"}) {
    SCOPED_TRACE(key);
    char value[256];
    std::memset(value, '#', sizeof value);
    const DWORD n = GetPrivateProfileStringA("tabbar", key, "", value, sizeof value, theme.c_str());
    ASSERT_GT(n, 0u);
    EXPECT_TRUE(known.count(value)) << value;
    EXPECT_TRUE(FileExists(InBuild(value))) << value;
  }
}

TEST(SkinTextFiles, EveryIndicatorHasItsHelpText) {
  TempFolder user;
  SetAppDataFolderForTesting(user.Path());
  SetInstallFolderForTesting(ORV_BINARY_DIR);
  InitAppFolders();
  LoadIndexHelp();
  for (const char* name : {"MACD", "BOLL", "KDJ", "RSI", "WR", "BIAS", "CCI", "DMA", "BRAR", "PSY", "VOL", "DDX",
                           "DDY", "DDZ", "BBD", "主力持仓", "散户持仓", "买卖力道", "弹出使用说明", "龙虎看盘"}) {
    SCOPED_TRACE(name);
    char* text = GetIndexHelpText(name);
    ASSERT_NE(text, nullptr);
    EXPECT_GT(std::strlen(text), 0u);
    EXPECT_LT(std::strlen(text), 1023u) << "the reader would cut it";
    std::free(text);
  }
  FreeIndexHelp();
  SetInstallFolderForTesting("");
  SetAppDataFolderForTesting("");
}

int CollectFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM param) {
  reinterpret_cast<std::set<std::u16string>*>(param)->insert(reinterpret_cast<const char16_t*>(lf->lfFaceName));
  return 1;
}

TEST(SkinTextFiles, FontFileServesTheDialogFaces) {
  ASSERT_TRUE(LoadFontAliases(InBuild("res/fonts.conf")));
  std::set<std::u16string> faces;
  HDC dc = GetDC(nullptr);
  EnumFontsW(dc, nullptr, CollectFace, reinterpret_cast<LPARAM>(&faces));
  ReleaseDC(nullptr, dc);
  for (const char16_t* face : {u"微软雅黑", u"宋体", u"MS Shell Dlg", u"Microsoft Sans Serif"})
    EXPECT_TRUE(faces.count(face)) << WideToUtf8(std::u16string_view(face));
}

}  // namespace
