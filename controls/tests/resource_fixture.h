// Test support for controls that paint from skin pictures.
//
// The build's top folder is the program folder: make_skins writes every
// picture below it (res/..., login_res/...) and the text files of res/ are
// copied there. A test that needs a picture of known pixels writes its own
// with WriteProbePicture into a temporary folder and points the working
// folder (relative "res\..." paths) or the resource folder (bitmap
// resources by id) at it for the length of one test.
#pragma once

#include "platform/gdi/win_gdi.h"

#include <string>
#include <vector>

namespace orvtest {

// The build's program folder, ending in '/'.
std::string BuildProgramFolder();

// Makes folder the working directory until the object goes, then returns
// to the one before. Ok() is false (and nothing changed) when the folder
// cannot be entered.
class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const std::string& folder);
  ~ScopedWorkingFolder();
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;
  bool Ok() const { return ok_; }

 private:
  std::string previous_;
  bool ok_ = false;
};

// Makes folder the resource folder (LoadBitmapW's bitmap/<id>.bmp) until
// the object goes, then restores the previous one.
class ScopedResourceFolder {
 public:
  explicit ScopedResourceFolder(const std::string& folder);
  ~ScopedResourceFolder();
  ScopedResourceFolder(const ScopedResourceFolder&) = delete;
  ScopedResourceFolder& operator=(const ScopedResourceFolder&) = delete;

 private:
  std::string previous_;
};

// A fresh temporary folder, removed with its content when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }  // ends in '/'; empty on failure

 private:
  std::string path_;
};

// A picture of known pixels. The picture is cut into framesAcross x
// framesDown equal cells (frames of a strip, cells of a scroll-bar bitmap);
// cell i (row-major) is filled with ProbeCellColor(i), and its four corner
// pixels with ProbeCornerColor(i, corner) (corner 0 top-left, 1 top-right,
// 2 bottom-left, 3 bottom-right), so a test sees which part of which cell
// a control drew and whether it was stretched or cut.
// Then, in this order: every rectangle of `transparent` becomes fully
// transparent (PNG only), and every rectangle of `keyed` is painted keyColor.
struct ProbePicture {
  int width = 0;
  int height = 0;
  int framesAcross = 1;
  int framesDown = 1;
  bool bmp = false;                    // 24-bit BMP instead of 32-bit PNG
  std::vector<RECT> transparent;       // picture coordinates, right/bottom excluded
  std::vector<RECT> keyed;
  COLORREF keyColor = RGB(255, 0, 255);
};

// A probe of width x height cut into framesAcross x framesDown cells.
ProbePicture Probe(int width, int height, int framesAcross = 1, int framesDown = 1, bool bmp = false);

// The flat colour of cell index and the marker colour of one of its
// corners; all are distinct from each other, from black and white and from
// the usual key colours for index < 64.
COLORREF ProbeCellColor(int index);
COLORREF ProbeCornerColor(int index, int corner);

// Writes the picture to path ('\' accepted), creating missing folders.
// False when the description is invalid (no size, cells that do not divide
// the picture) or the file cannot be written.
bool WriteProbePicture(const std::string& path, const ProbePicture& picture);

// Loads the source res/fonts.conf and chooses the UI face on a screen DC,
// as a program does at start, so the UI face is 微软雅黑 and the dialog faces
// are served. Idempotent.
void UseProgramFonts();

}  // namespace orvtest
