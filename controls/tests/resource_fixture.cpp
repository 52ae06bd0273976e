#include "controls/tests/resource_fixture.h"

#include "foundation/draw_helpers.h"
#include "platform/kernel/kernel_files.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace orvtest {

std::string BuildProgramFolder() { return std::string(ORV_BINARY_DIR) + "/"; }

ScopedWorkingFolder::ScopedWorkingFolder(const std::string& folder) {
  char buffer[4096];
  if (!::getcwd(buffer, sizeof buffer)) return;
  previous_ = buffer;
  ok_ = ::chdir(NativePath(folder).c_str()) == 0;
}

ScopedWorkingFolder::~ScopedWorkingFolder() {
  if (ok_) (void)::chdir(previous_.c_str());
}

ScopedResourceFolder::ScopedResourceFolder(const std::string& folder) : previous_(ResourceFolder()) {
  SetResourceFolder(NativePath(folder));
}

ScopedResourceFolder::~ScopedResourceFolder() { SetResourceFolder(previous_); }

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvres-XXXXXX").string();
  if (::mkdtemp(pattern.data())) path_ = pattern + "/";
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

ProbePicture Probe(int width, int height, int framesAcross, int framesDown, bool bmp) {
  ProbePicture picture;
  picture.width = width;
  picture.height = height;
  picture.framesAcross = framesAcross;
  picture.framesDown = framesDown;
  picture.bmp = bmp;
  return picture;
}

COLORREF ProbeCellColor(int index) {
  return RGB(16 + (index * 37) % 224, 200 - 2 * (index % 64), 64);
}

COLORREF ProbeCornerColor(int index, int corner) {
  return RGB(16 + (index * 37) % 224, 200 - 2 * (index % 64), 128 + 32 * (corner & 3));
}

namespace {

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

void FillRectIn(QImage& image, const RECT& rc, const QColor& color) {
  for (int y = std::max(0L, static_cast<long>(rc.top)); y < std::min(static_cast<long>(image.height()), static_cast<long>(rc.bottom)); ++y)
    for (int x = std::max(0L, static_cast<long>(rc.left)); x < std::min(static_cast<long>(image.width()), static_cast<long>(rc.right)); ++x)
      image.setPixelColor(x, y, color);
}

}  // namespace

bool WriteProbePicture(const std::string& path, const ProbePicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.framesAcross <= 0 || picture.framesDown <= 0)
    return false;
  if (picture.width % picture.framesAcross != 0 || picture.height % picture.framesDown != 0) return false;
  if (picture.bmp && !picture.transparent.empty()) return false;
  QImage image(picture.width, picture.height, QImage::Format_ARGB32);
  const int cellW = picture.width / picture.framesAcross;
  const int cellH = picture.height / picture.framesDown;
  for (int row = 0; row < picture.framesDown; ++row) {
    for (int col = 0; col < picture.framesAcross; ++col) {
      const int index = row * picture.framesAcross + col;
      const int left = col * cellW, top = row * cellH;
      FillRectIn(image, RECT{left, top, left + cellW, top + cellH}, ToQColor(ProbeCellColor(index)));
      const int xs[4] = {left, left + cellW - 1, left, left + cellW - 1};
      const int ys[4] = {top, top, top + cellH - 1, top + cellH - 1};
      for (int corner = 0; corner < 4; ++corner)
        image.setPixelColor(xs[corner], ys[corner], ToQColor(ProbeCornerColor(index, corner)));
    }
  }
  for (const RECT& rc : picture.transparent) FillRectIn(image, rc, QColor(0, 0, 0, 0));
  for (const RECT& rc : picture.keyed) FillRectIn(image, rc, ToQColor(picture.keyColor));

  const std::string native = NativePath(path);
  const size_t slash = native.rfind('/');
  if (slash != std::string::npos && slash > 0 && !CreateFolderTree(native.substr(0, slash))) return false;
  if (picture.bmp) return image.convertToFormat(QImage::Format_RGB888).save(QString::fromStdString(native), "BMP");
  return image.save(QString::fromStdString(native), "PNG");
}

void UseProgramFonts() {
  LoadFontAliases(std::string(ORV_SOURCE_DIR) + "/res/fonts.conf");
  HDC dc = GetDC(nullptr);
  ChooseUiFontFace(dc);
  ReleaseDC(nullptr, dc);
}

}  // namespace orvtest
