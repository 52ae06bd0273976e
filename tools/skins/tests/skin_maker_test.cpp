// The generator: deterministic output, and loud failures for a faulty
// description or a missing font, leaving no half-written file.
#include "tools/skins/skin_maker.h"

#include "platform/kernel/kernel_files.h"
#include "platform/gdi/win_gdi.h"
#include "tools/skins/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

const std::string kDescription = std::string(ORV_SOURCE_DIR) + "/tools/skins/skins.ini";

TEST(SkinMaker, TwoRunsWriteByteIdenticalFiles) {
  EnsureGuiApplication();
  TempFolder a, b;
  std::string error;
  ASSERT_TRUE(MakeSkins({kDescription, a.Path(), a.Path() + "sheet.png"}, &error)) << error;
  ASSERT_TRUE(MakeSkins({kDescription, b.Path(), ""}, &error)) << error;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(a.Path())) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = std::filesystem::relative(entry.path(), a.Path()).string();
    if (relative == "sheet.png") continue;
    SCOPED_TRACE(relative);
    std::string first, second;
    ASSERT_TRUE(ReadWholeFile(entry.path().string(), &first));
    ASSERT_TRUE(ReadWholeFile(b.Path() + relative, &second));
    EXPECT_TRUE(first == second);
    ++files;
  }
  EXPECT_GT(files, 80);
  EXPECT_TRUE(FileExists(a.Path() + "sheet.png"));
  EXPECT_FALSE(FileExists(b.Path() + "sheet.png"));
}

// One good picture, then the faulty lines.
const char kGood[] =
    "[palette]\n"
    "ink=#0B0D12\n"
    "[res\\good.png]\n"
    "size=8x4\n"
    "format=png\n"
    "draw=gradient\n"
    "fill=ink\n";

TEST(SkinMaker, DescriptionFaultsNameTheirLine) {
  EnsureGuiApplication();
  struct Case {
    const char* name;
    const char* tail;      // appended to kGood (which has 7 lines)
    const char* message;   // expected error
  };
  const Case cases[] = {
      {"unknown key", "[res\\a.png]\nsize=8x4\nformat=png\ndraw=gradient\nshade=#000000\n", "skins.ini:12: unknown key 'shade'"},
      {"unknown prefix", "[res\\a.png]\nsize=8x4\nformat=png\ndraw=gradient\nx1.fill=#000000\n", "skins.ini:12: unknown key 'x1.fill'"},
      {"unknown painter", "[res\\a.png]\nsize=8x4\nformat=png\ndraw=sparkle\n", "skins.ini:11: unknown painter 'sparkle'"},
      {"size not WxH", "[res\\a.png]\nsize=8 by 4\nformat=png\ndraw=gradient\n", "skins.ini:9: size '8 by 4' is not WxH"},
      {"size too large", "[res\\a.png]\nsize=5000x4\nformat=png\ndraw=gradient\n", "skins.ini:9: size '5000x4' is not WxH"},
      {"size zero", "[res\\a.png]\nsize=0x4\nformat=png\ndraw=gradient\n", "skins.ini:9: size '0x4' is not WxH"},
      {"frames do not divide", "[res\\a.png]\nsize=10x4\nformat=png\nframes=3 across\ndraw=gradient\n", "skins.ini:11: frames do not divide the width"},
      {"malformed colour", "[res\\a.png]\nsize=8x4\nformat=png\ndraw=gradient\nfill=#12345G\n", "skins.ini:12: malformed colour '#12345G'"},
      {"unknown colour name", "[res\\a.png]\nsize=8x4\nformat=png\ndraw=gradient\nfill=inky\n", "skins.ini:12: malformed colour 'inky'"},
      {"unknown glyph", "[res\\a.png]\nsize=8x4\nformat=png\ndraw=glyph\nglyph=unicorn\n", "skins.ini:12: unknown glyph 'unicorn'"},
      {"duplicate section", "[res\\good.png]\nsize=8x4\nformat=png\ndraw=gradient\n", "skins.ini:8: duplicate section [res\\good.png]"},
      {"unknown format", "[res\\a.png]\nsize=8x4\nformat=tiff\ndraw=gradient\n", "skins.ini:10: unknown format 'tiff'"},
      {"missing size", "[res\\a.png]\nformat=png\ndraw=gradient\n", "skins.ini:8: missing 'size'"},
      {"label the font lacks", "[res\\a.png]\nsize=40x20\nformat=png\ndraw=text\nlabel=\xF0\x9F\x80\x80\n",
       "skins.ini:12: the font 'WenQuanYi Micro Hei' lacks a character of label"},
      {"glyph outside the frame", "[res\\a.png]\nsize=8x4\nformat=png\ndraw=glyph\nglyph=dot\nglyph_rect=0 0 9 4\n",
       "skins.ini:13: glyph_rect lies outside the frame"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder.Path() + "skins.ini", kGood, sizeof kGood - 1));
    std::string text = std::string(kGood) + c.tail;
    ASSERT_TRUE(WriteWholeFile(folder.Path() + "skins.ini", text.data(), text.size()));
    std::string error;
    EXPECT_FALSE(MakeSkins({folder.Path() + "skins.ini", folder.Path() + "out", ""}, &error));
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
    EXPECT_FALSE(FileExists(folder.Path() + "out/res/a.png"));
  }
}

TEST(SkinMaker, MissingFontStopsBeforeDrawing) {
  EnsureGuiApplication();
  TempFolder folder;
  const std::string text = std::string("[palette]\nfont=Orvenna Missing Sans\n") + (kGood + 10);
  ASSERT_TRUE(WriteWholeFile(folder.Path() + "skins.ini", text.data(), text.size()));
  std::string error;
  EXPECT_FALSE(MakeSkins({folder.Path() + "skins.ini", folder.Path() + "out", ""}, &error));
  EXPECT_NE(error.find("Orvenna Missing Sans"), std::string::npos) << error;
  EXPECT_FALSE(FolderExists(folder.Path() + "out"));
}

TEST(SkinMaker, CommandLineNeedsDescriptionAndFolder) {
  char name[] = "make_skins", out[] = "--out", folder[] = "/tmp";
  char* argv[] = {name, out, folder, nullptr};
  EXPECT_EQ(MakeSkinsMain(3, argv), 2);
  char stray[] = "--colour";
  char* argv2[] = {name, stray, folder, nullptr};
  EXPECT_EQ(MakeSkinsMain(3, argv2), 2);
}

}  // namespace
