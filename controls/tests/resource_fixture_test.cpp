// Bitmap resources by id, the program and starting folders, and the probe
// pictures the control tests draw from.
#include "controls/tests/resource_fixture.h"

#include "foundation/draw_helpers.h"
#include "platform/mfc/afx.h"
#include "platform/kernel/kernel_files.h"

#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace {

using namespace orvtest;

std::string WorkingFolder() {
  char buffer[4096];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) + "/" : std::string();
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
  QImage* image = GetBitmapImage(bitmap);
  if (!image) return CLR_INVALID;
  const QRgb p = image->pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

TEST(ResourceFixture, ProbePictureCellsAndCornersAreDistinct) {
  TempFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  ProbePicture probe;
  probe.width = 40;
  probe.height = 20;
  probe.framesAcross = 4;
  probe.framesDown = 2;
  probe.transparent = {RECT{0, 0, 2, 2}};
  probe.keyed = {RECT{38, 18, 40, 20}};
  probe.keyColor = RGB(0x49, 0x49, 0x49);
  const std::string path = folder.Path() + "res\\sub\\probe.png";
  ASSERT_TRUE(WriteProbePicture(path, probe));
  QImage image(QString::fromStdString(NativePath(path)));
  ASSERT_EQ(image.size(), QSize(40, 20));
  auto at = [&](int x, int y) {
    const QRgb p = image.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
  };
  EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);
  EXPECT_EQ(at(39, 19), RGB(0x49, 0x49, 0x49));
  EXPECT_EQ(at(15, 5), ProbeCellColor(1));      // row 0, cell 1 (10x10 cells)
  EXPECT_EQ(at(10, 0), ProbeCornerColor(1, 0));
  EXPECT_EQ(at(19, 9), ProbeCornerColor(1, 3));
  EXPECT_EQ(at(25, 15), ProbeCellColor(6));     // row 1, cell 2
  EXPECT_EQ(at(29, 10), ProbeCornerColor(6, 1));
  for (int i = 0; i < 64; ++i)
    for (int j = 0; j < i; ++j) ASSERT_NE(ProbeCellColor(i), ProbeCellColor(j)) << i << " " << j;
  EXPECT_NE(ProbeCellColor(3), ProbeCornerColor(3, 0));

  struct Case {
    const char* name;
    ProbePicture picture;
  };
  Case bad[] = {
      {"no size", ProbePicture{}},
      {"cells do not divide the width", Probe(10, 10, 3, 1)},
      {"cells do not divide the height", Probe(10, 10, 1, 3)},
      {"transparency in a bitmap", Probe(10, 10, 1, 1, true)},
  };
  bad[3].picture.transparent = {RECT{0, 0, 1, 1}};
  for (const Case& c : bad) EXPECT_FALSE(WriteProbePicture(folder.Path() + "bad.png", c.picture)) << c.name;
}

TEST(ResourceFixture, WorkingFolderSwitchesBackAndProgramFontsServeTheDialogFaces) {
  const std::string before = WorkingFolder();
  {
    TempFolder folder;
    ScopedWorkingFolder enter(folder.Path());
    ASSERT_TRUE(enter.Ok());
    EXPECT_EQ(std::filesystem::canonical(WorkingFolder()), std::filesystem::canonical(folder.Path()));
  }
  EXPECT_EQ(WorkingFolder(), before);
  {
    ScopedWorkingFolder missing("/nonexistent/orv-folder");
    EXPECT_FALSE(missing.Ok());
    EXPECT_EQ(WorkingFolder(), before);
  }

  UseProgramFonts();
  EXPECT_EQ(WString(GetUiFontFace()), u"微软雅黑");
}

// A 144x48 24-bit bitmap of 9 x 3 probe cells, as the scroll-bar skins are.
TEST(ResourceLoading, BitmapResourcesByIdFromTheResourceFolder) {
  TempFolder folder;
  const ProbePicture cells = Probe(144, 48, 9, 3, true);
  ASSERT_TRUE(WriteProbePicture(folder.Path() + "bitmap/147.bmp", cells));
  ScopedResourceFolder resources(folder.Path());
  EXPECT_EQ(ResourceFolder(), folder.Path());

  HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(147));
  ASSERT_NE(bitmap, nullptr);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 144);
  EXPECT_EQ(bm.bmHeight, 48);
  EXPECT_EQ(bm.bmBitsPixel, 24);
  EXPECT_EQ(PixelOf(bitmap, 8, 8), ProbeCellColor(0));
  EXPECT_EQ(PixelOf(bitmap, 143, 47), ProbeCornerColor(26, 3));  // BMP rows are stored bottom-up
  DeleteObject(bitmap);

  CBitmap owned;
  ASSERT_TRUE(owned.LoadBitmap(147));
  ASSERT_EQ(owned.GetBitmap(&bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 144);
  HBITMAP handed = static_cast<HBITMAP>(owned.Detach());
  EXPECT_EQ(owned.m_hObject, nullptr);
  EXPECT_EQ(PixelOf(handed, 20, 20), ProbeCellColor(10));
  DeleteObject(handed);
}

TEST(ResourceLoading, MissingUnreadableOrShortBitmapsGiveNull) {
  TempFolder folder;
  ASSERT_TRUE(CreateFolderTree(folder.Path() + "bitmap"));
  ASSERT_TRUE(WriteProbePicture(folder.Path() + "bitmap/300.png", Probe(16, 16)));
  const std::string png = folder.Path() + "bitmap/300.png";
  ASSERT_EQ(::rename(png.c_str(), (folder.Path() + "bitmap/301.bmp").c_str()), 0);  // a PNG named .bmp
  ASSERT_TRUE(WriteProbePicture(folder.Path() + "bitmap/302.bmp", Probe(64, 64, 1, 1, true)));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(folder.Path() + "bitmap/302.bmp", &bytes));
  bytes.resize(bytes.size() / 2);  // the header still says 64x64
  ASSERT_TRUE(WriteWholeFile(folder.Path() + "bitmap/302.bmp", bytes.data(), bytes.size()));
  ASSERT_TRUE(WriteWholeFile(folder.Path() + "bitmap/303.bmp", "BM", 2));

  ScopedResourceFolder resources(folder.Path());
  struct Case {
    const char* name;
    int id;
  };
  const Case cases[] = {{"missing", 999}, {"not a bitmap", 301}, {"short", 302}, {"header only", 303}, {"id 0", 0}};
  for (const Case& c : cases) EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(c.id)), nullptr) << c.name;
  CBitmap none;
  EXPECT_FALSE(none.LoadBitmap(999));
  EXPECT_EQ(none.m_hObject, nullptr);
}

TEST(ResourceLoading, ResourceFolderDefaultsBesideTheProgramAndSwitchesBack) {
  const std::string standard = ProgramFolder() + "res/";
  {
    ScopedResourceFolder resources("/tmp/elsewhere");
    EXPECT_EQ(ResourceFolder(), "/tmp/elsewhere/");
  }
  EXPECT_EQ(ResourceFolder(), standard);
}

TEST(ResourceLoading, EnterProgramFolderKeepsTheStartingFolder) {
  const std::string started = StartingFolder();
  ASSERT_FALSE(started.empty());
  ScopedWorkingFolder restore(WorkingFolder());  // comes back to this folder afterwards
  ASSERT_TRUE(restore.Ok());
  TempFolder elsewhere;
  ASSERT_EQ(::chdir(elsewhere.Path().c_str()), 0);
  ASSERT_TRUE(EnterProgramFolder());
  EXPECT_EQ(WorkingFolder(), ProgramFolder());
  EXPECT_EQ(StartingFolder(), started);

  // Command-line paths keep meaning the folder the user started in.
  struct Case {
    const char* path;
    std::string expected;
  };
  const Case cases[] = {{"shot.png", started + "shot.png"},
                        {"out\\shot.png", started + "out/shot.png"},
                        {"/tmp/shot.png", "/tmp/shot.png"},
                        {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(PathFromStartingFolder(c.path), c.expected) << c.path;
}

}  // namespace
